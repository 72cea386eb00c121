// What the widget window's box scenes show, shared by the scenes and their
// tests.
#pragma once

namespace box_scene {

// message
constexpr const char* kHead = "Head: ";
constexpr const char* kTail = "Tail.";
constexpr const char* kButtons[3] = {"First", "Second", "Third"};
constexpr const char* kMessage =
    "This message is long enough to be wrapped over three or more lines of the box, word by word.";

// opensave: an aircraft file's dialog, then a situation's
constexpr const char* kOpenStart = "Aircraft/General-Aviation/c4.acf";
constexpr int kOpenType = 3, kSaveType = 9;

// tabs (in window 998)
constexpr const char* kTabLabels[3] = {"One", "Two", "Three"};
constexpr float kDialX = 400, kDialY = 200;
constexpr float kShapeY = 150, kShapeR = 20;
constexpr float kDiscX = 100, kCircleX = 200, kArcX = 300;
constexpr int kDiscColour = 1, kCircleColour = 10, kArcColour = 15;

// The scenes; each returns the program's exit code.
int run_message();
int run_about();
int run_opensave();
int run_tabs();

}  // namespace box_scene
