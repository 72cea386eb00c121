// Modal boxes: one loop that every box of the toolkit runs, and the
// question box built on it (texts and push buttons in a sub-window).
#pragma once

#include <functional>
#include <string>

// Makes `window` current and, while it stays current, calls pass() once per
// frame followed by one pass of the event loop. A pass that returns 0 or
// more ends the box with that answer (the pass makes the window to return
// to current itself). Returns -1 when something else made another window
// current.
int BTN_modal_loop(int window, const std::function<int()>& pass);

struct question_text {
  float x, y;    // window units
  float margin;  // wrapped at the window's width less this
  std::string text;
};

struct question_button {
  float x, y, w;  // centre and width of the push button
  std::string label;
  int answer;
};

// Asks a question in a modal sub-window: the texts in colour 43 and the
// buttons, until one is clicked. Returns that button's answer after making
// the main window current, or closed_answer when the window was closed
// another way. Without a display nobody can answer: unless a button answers
// at once, this is the fatal alert with the four lines of `headless`.
int BTN_question_box(int window, const question_text* texts, int text_count, const question_button* buttons,
                     int button_count, int closed_answer, const std::string headless[4]);
