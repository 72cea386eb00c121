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
