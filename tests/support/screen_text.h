// Reading the program's texts off the screen: a text is laid out with the
// program's own font layout, and a screenshot shows it when every pixel its
// glyphs cover fully has the ink colour and no pixel its glyphs leave clear
// (inside the lines and a little beyond their ends) does. A different text,
// a misspelling, a text moved by a pixel or a longer text fails the test.
// The text must stand on a light ground (the wizard's panels, the boxes).
#pragma once

#include <string>
#include <vector>

#include "support/x_observe.h"

typedef struct _XDisplay Display;

struct screen_text {
  float x = 0, y = 0;     // where the program draws it, in layout units
  std::string text;
  float wrap = 9999.0f;   // wrap width as the program passes it
  int align = 0;          // 0 left, 1 centred, 2 right
  int colour = 12;        // colour-table entry of the ink
  float ox = 0, oy = 0;   // origin of the window it is drawn in (0 for the main window)
  bool whole = true;      // false: only the text's beginning is given, more may follow
  float right = 1e9f;     // no glyph of it may reach this x (its box's or panel's right edge)
};

// The colour a colour-table entry has on screen as the program sets it up.
rgb ink_of(int colour);

// Whether the shot shows the text; when not, why says what differs.
bool shows_text(const Screenshot& shot, const screen_text& t, std::string* why = nullptr);

// Waits until the screen shows the text; false (with why) when it does not
// in time.
bool wait_for_text(Display* display, const screen_text& t, int timeout_ms, std::string* why = nullptr);

// Waits until the screen shows every text at once.
bool wait_for_texts(Display* display, const std::vector<screen_text>& texts, int timeout_ms,
                    std::string* why = nullptr);
