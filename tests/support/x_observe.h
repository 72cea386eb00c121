// Looking at the screen of a test's X server: top-level windows and their
// properties, and pixels of a screenshot.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

// The windows whose WM_NAME is `name`: top-level ones, and under a window
// manager the ones inside its frames.
std::vector<unsigned long> windows_named(Display* display, const std::string& name);
// Such a window once one is on screen (mapped); 0 when none appeared in time.
unsigned long wait_for_window(Display* display, const std::string& name, int timeout_ms);

// A property of a window: a text (STRING or UTF8_STRING), a list of atom
// names, or a list of 32-bit values. Empty when the window has no such
// property.
std::string text_property(Display* display, unsigned long window, const std::string& property);
std::vector<std::string> atom_property(Display* display, unsigned long window, const std::string& property);
// The property exists on the window (it may be an empty list).
bool has_property(Display* display, unsigned long window, const std::string& property);

// Position of a window on the screen and its size.
struct window_geometry {
  int x = 0, y = 0, width = 0, height = 0;
};
window_geometry geometry_of(Display* display, unsigned long window);

struct rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Where the program's window lies on the screen: the whole screen from its
// corner without a window manager; under one, the window inside its frame
// (x, y, width, height). Screenshots show that area, and pointer positions
// count from its corner.
void set_window_area(int x, int y, int width, int height);
void window_origin(int* x, int* y);

// The window area (the whole screen, unless set otherwise) as it is now.
class Screenshot {
 public:
  static Screenshot grab(Display* display);
  bool ok() const { return width_ > 0; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The pixel at (x, y), y downward from the top.
  rgb at(int x, int y) const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB
};

// Takes screenshots until `condition` holds for one (a pixel probe of what
// the program draws); the last shot, whether or not it passed.
Screenshot wait_for_screen(Display* display, const std::function<bool(const Screenshot&)>& condition,
                           int timeout_ms);
