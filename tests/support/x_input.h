// Input as a user gives it, through the XTEST extension of the test's X
// server: pointer moves, button presses and releases, keys. Every call waits
// until the server has taken the event (a round trip), so events arrive at
// the program in the order the test made them.
#pragma once

#include <string>
#include <vector>

typedef struct _XDisplay Display;

// Moves the pointer to (x, y) from the corner of the window area
// (x_observe.h; the screen's corner without a window manager). A program learns the pointer
// position only from motion, so when the pointer already is there it is
// first moved one pixel away and back.
void pointer_to(Display* display, int x, int y);
// Where the pointer is now, from that corner.
void pointer_at(Display* display, int* x, int* y);

// Button 1 to 3 (or 4, 5: the wheel) goes down or up.
void button_down(Display* display, int button = 1);
void button_up(Display* display, int button = 1);

// A user's click at (x, y): move there, press, hold, release. Hold long
// enough for the program to see the button down in a frame of its own.
void click_at(Display* display, int x, int y, int hold_ms = 100, int button = 1);

// A key by its keysym name ("Return", "a", "Shift_L") goes down or up.
void key_down(Display* display, const std::string& keysym);
void key_up(Display* display, const std::string& keysym);
// Press and release.
void key_tap(Display* display, const std::string& keysym, int hold_ms = 30);

// A click at (x, y) and then keys (pressed and released in turn), given in
// one burst with a single round trip at its end, as a fast user's click and
// typing reach a slow program: all in one pass of its event loop. With
// `clicks` 2 or 3, a double or triple click as fast as one comes; with 0,
// keys alone (a paste). A keysym "Shift+name" is that key with Shift held.
void click_and_keys_at_once(Display* display, int x, int y, const std::vector<std::string>& keysyms,
                            int clicks = 1);
