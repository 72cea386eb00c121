// Modal boxes: one loop that every box of the toolkit runs, and the
// question box built on it (texts and push buttons in a sub-window), which
// is declared with the engine that asks its questions.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/ui_calls.h"

// Makes `window` current and, while it stays current, calls pass() once per
// frame followed by one pass of the event loop. A pass that returns 0 or
// more ends the box with that answer (the pass makes the window to return
// to current itself). Returns -1 when something else made another window
// current.
int BTN_modal_loop(int window, const std::function<int()>& pass);

// A text of a box, drawn in colour 43 at (x, y), wrapped at `wrap`.
struct box_text {
  float x, y, wrap;
  int align;  // 0 left, 1 centred
  std::string text;
  bool flows;  // starts below the flowing text before it when that one reaches its place
};

// Where a box's texts stand: each flowing text at its place or on the line
// below the flowing text before it, whichever is lower. When they take
// lines below lowest_line the box grows at its top by `grown`, and every
// flowing text moves up with it, so that its last line is lowest_line; it
// grows by `room` at most, and then the flowing text of the most lines is
// cut in its middle: its start and its end (from its last '/', a file's
// name) stay whole, with "..." between.
struct box_layout {
  float grown = 0.0f;
  std::vector<float> y;            // each text's place in the grown box
  std::vector<std::string> shown;  // each text as it is shown
};
box_layout BTN_lay_out_box(const std::vector<box_text>& texts, float lowest_line, float room);

// How much taller than `height` a box may grow on this screen.
float BTN_box_room(float height);

// Draws the texts of a box where the layout puts them.
void BTN_draw_box_texts(const std::vector<box_text>& texts, const box_layout& layout);
