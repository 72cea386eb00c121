#include "wizard/wizard.h"

#include <cstring>

#include "ui/draw.h"
#include "window/mnw.h"
#include "wizard/layout.h"

int app_done = 0;
std::string cmd_line_path;

std::string path_option(int argc, const char* const* argv) {
  if (argc >= 3 && argv[1] && argv[2] && std::strcmp(argv[1], "-path") == 0) return argv[2];
  return std::string();
}

int str_to_int(const std::string& text) {
  if (text.empty()) return -1;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-')) return -1;

  std::size_t start = 0;
  int sign = 1;
  if (text[0] == '+' || text[0] == '-') {
    sign = text[0] == '-' ? -1 : 1;
    start = 1;
  }
  if (text.size() - start > 9) return -1;

  // A sign after the first character counts as the digit +1 or -1 in its place.
  int value = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = c == '+' ? 1 : c == '-' ? -1 : c - '0';
    value = value * 10 + digit;
  }
  return sign * value;
}

void APP_update() {
  // The wizard has no screens yet: its frame is the empty window, and the
  // Quit button's place ends the run.
  OGL_plot_back_col();
  if (mnw.click && on_button(kQuitButton, mnw.mouse_x, mnw.mouse_y)) app_done = 1;
}

void APP_handlemenu(int /*id*/) {}
