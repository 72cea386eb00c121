// Modal boxes: one loop that every box of the toolkit runs, and the
// question box built on it (texts and push buttons in a sub-window), which
// is declared with the engine that asks its questions.
#pragma once

#include <functional>
#include <string>

#include "engine/ui_calls.h"

// Makes `window` current and, while it stays current, calls pass() once per
// frame followed by one pass of the event loop. A pass that returns 0 or
// more ends the box with that answer (the pass makes the window to return
// to current itself). Returns -1 when something else made another window
// current.
int BTN_modal_loop(int window, const std::function<int()>& pass);
