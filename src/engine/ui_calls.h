// What the install engine asks of the interface above it: a question to the
// user and the browser. Defined in src/ui, whose headers include this one.
#pragma once

#include <string>

struct question_text {
  float x, y;    // window units
  float margin;  // wrapped at the window's width less this
  std::string text;
  // A text that flows starts on the line below the last line of the
  // flowing text before it, when that one reaches down to its place.
  bool flows = true;
};

struct question_button {
  float x, y, w;  // centre and width of the push button
  std::string label;
  int answer;
};

// Asks a question in a modal sub-window: the texts in colour 43 and the
// buttons, until one is clicked. The flowing texts may take lines down to
// lowest_line; when they need more, the box grows taller at its top, as far
// as the screen allows (then the longest is cut in its middle), and the
// buttons keep their places at its bottom. Returns that button's answer
// after making the main window current, or closed_answer when the window
// was closed another way. Without a display nobody can answer: unless a
// button answers at once, this is the fatal alert with the four lines of
// `headless`.
int BTN_question_box(int window, const question_text* texts, int text_count, float lowest_line,
                     const question_button* buttons, int button_count, int closed_answer,
                     const std::string headless[4]);

// Asks the platform to open address in the user's browser. On this platform
// it does nothing and returns at once.
void go_to_URL(const std::string& address);
