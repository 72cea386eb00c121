// Immediate-mode widgets: each call draws its widget and tests its input in
// the same call, every frame, against the window state `mnw`.
#pragma once

#include <string>

// Draws the two close boxes in the top corners of the current window;
// returns 1 when this frame's click hit one.
int BTN_zap_boxes(int pressed);

// A push button centred at (centre_x, y) of the current window with the
// label (key_label "-" for none). Returns 1 in the frame in which the user
// clicks inside it (within half the width of centre_x and 10 units of y,
// with no menu open), or when the next scripted click names its label;
// else 0. on_state and style choose the button's look, which is not drawn
// in this program; they do not change the result.
int BTN_action(float centre_x, float y, float width, int on_state, int style, std::string label,
               std::string key_label);

// Scripted input, for runs without anyone at the screen (tests, headless
// runs): queues a click on the button with this label. The next BTN_action
// call whose label equals the label at the head of the queue takes it off
// the queue and returns 1, as if the button had been clicked.
void BTN_script_click(const std::string& label);
// Number of scripted clicks not yet taken.
int BTN_script_pending();
// The label of the next scripted click; empty when none is queued.
std::string BTN_script_next();
// Drops every scripted click not yet taken.
void BTN_script_clear();
