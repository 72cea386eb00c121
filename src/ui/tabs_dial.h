// Two small widgets: a tab of a tab row along the top of the current
// window, bound to the int that holds the selected tab, and a compass-style
// direction dial bound to a heading in degrees (0 up, growing clockwise).
#pragma once

#include <string>

// Tab n of a tab row; selected while *current equals n. A click on it sets
// *current to n and returns 1 (the mouse counts even while a menu is open).
int BTN_tab(int column, int row, int* current, int n, std::string label);

// A dial centred at (x, y) showing *heading; while the button is held over
// it the needle follows the mouse. style 0 draws the wide needle.
void plot_dir(float x, float y, float* heading, int style);

// --- Geometry, shared with the tests ---

// Tabs: 88 units apart from the left, rows 32 units apart from the top.
constexpr float kTabPitchX = 88.0f, kTabLeft = 53.0f;
constexpr float kTabPitchY = 32.0f, kTabTop = 38.0f;
// The quad reaches 49 units either side of the centre and 13 up and down;
// a click counts from 50 units left to 40 right of it.
constexpr float kTabHalfW = 49.0f, kTabHalfH = 13.0f;
constexpr float kTabHitLeft = 50.0f, kTabHitRight = 40.0f;
// The caption starts 40 units left of the centre and 4 below it.
constexpr float kTabTextDX = -40.0f, kTabTextDY = -4.0f;

// Centre of a tab in a window `window_h` units high.
void tab_centre(int column, int row, float window_h, float* cx, float* cy);
// A point on a tab of that centre, bounds included.
bool tab_hit(float cx, float cy, float mx, float my);

// The dial: the face is 56 by 58 units, the needle 10 by 42, and the mouse
// turns it within 30 units of the centre either way.
constexpr float kDialFaceHalfW = 28.0f, kDialFaceHalfH = 29.0f;
constexpr float kDialNeedleW = 10.0f, kDialNeedleH = 42.0f;
constexpr float kDialReach = 30.0f;
// The heading shown as three digits from here, relative to the centre.
constexpr float kDialNumberDX = -14.0f, kDialNumberDY = -2.0f;

// The heading from the dial's centre to a point dx right and dy above it,
// in degrees 0 to 360 (0 straight up, 90 to the right); 0 at the centre.
float dial_heading(float dx, float dy);
// A point within the dial's reach, bounds included.
bool dial_hit(float x, float y, float mx, float my);
