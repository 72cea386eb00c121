// Where the widget window's fields scene puts its widgets, in the units of
// the modal window it runs in (the folder chooser's, 998), shared by the
// scene and its tests.
#pragma once

namespace scene {

constexpr float kFirstX = 100, kFirstY = 400;
constexpr float kSecondX = 100, kSecondY = 370;
constexpr float kFieldW = 200;
constexpr float kNumberX = 100, kNumberY = 300;
constexpr float kListX = 280, kListY = 240;

}  // namespace scene

// The path scene: a path field and a character-buffer path field in the
// question box's window (700 by 146, its origin at (50, 227)).
namespace path_scene {

constexpr float kPathX = 120, kPathY = 90, kPathW = 400;
constexpr float kBufferX = 120, kBufferY = 40, kBufferW = 200;
constexpr int kBufferMax = 8;

constexpr int kOriginX = 50, kOriginY = 227, kScreenH = 600;
constexpr int px(float x) { return kOriginX + static_cast<int>(x); }
constexpr int py(float y) { return kScreenH - kOriginY - static_cast<int>(y); }

}  // namespace path_scene
