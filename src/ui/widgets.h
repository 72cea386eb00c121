// Immediate-mode widgets: each call draws its widget, tests this frame's
// input against the window state `mnw` and returns what happened, every
// frame. Positions are window units of the current window.
//
//   labels         BTN_expand_label, BTN_label_lines, BTN_util_draw_label
//   push button    BTN_action
//   check / radio  BTN_bool, BTN_is_int, BTN_xbyt, BTN_xchr, BTN_xbol
#pragma once

#include <string>

#include "window/ui_calls.h"

// --- Labels ---

// Splits a widget label "caption|second{xhelp" into its caption, the text
// for the widget's other side and the mouse help (the character right after
// '{' is skipped). The last '|' and the last '{' decide.
void BTN_expand_label(const std::string& label, std::string* caption, std::string* second, std::string* help);
// The lines that BTN_util_draw_label draws for text with a placement (0 on
// the left of a widget, 1 centred, 2 on its right): a leading '-' removed,
// and a text longer than 12 characters (9999 after a leading '-') broken at
// the space, '-' or '/' nearest its middle for placements 0 and 2. Returns
// the number of lines, 0 to 2.
int BTN_label_lines(const std::string& text, int placement, std::string* first, std::string* second);
// Draws one caption at (x, y): placement 0 ends at x, 1 is centred, 2 starts
// at x; colour 43, or 81 highlighted. Two lines sit at y + 5 and y - 5.
void BTN_util_draw_label(float x, float y, int placement, const std::string& text, int highlight);

// --- Buttons ---

// The width a push button takes for a label when none is given.
float BTN_action_width(const std::string& label);
// BTN_action and BTN_bool: declared with the window layer's calls.

// A radio button that is on while *value equals n and sets it to n.
int BTN_is_int(float x, float y, int* value, int n, std::string label);
int BTN_xbyt(float x, float y, unsigned char* value, std::string label);
int BTN_xchr(float x, float y, char* value, std::string label);
int BTN_xbol(float x, float y, bool* value, std::string label);

// Test hook: while set, every push button asks it whether a scripted click
// names its label (non-zero: the button counts as clicked this frame). The
// program never sets it.
extern int (*BTN_click_script)(const std::string& label);
