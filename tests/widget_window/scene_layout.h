// Where the widget window's fields scene puts its widgets, in the units of
// the folder chooser's window (561 by 474, its origin at (120, 63) of the
// 800 by 600 screen), shared by the scene and its tests.
#pragma once

namespace scene {

constexpr float kFirstX = 100, kFirstY = 400;
constexpr float kSecondX = 100, kSecondY = 370;
constexpr float kFieldW = 200;
constexpr float kNumberX = 100, kNumberY = 300;
constexpr float kListX = 280, kListY = 240;

// The screen pixel of a point of the window.
constexpr int kOriginX = 120, kOriginY = 63, kScreenH = 600;
constexpr int px(float x) { return kOriginX + static_cast<int>(x); }
constexpr int py(float y) { return kScreenH - kOriginY - static_cast<int>(y); }

}  // namespace scene
