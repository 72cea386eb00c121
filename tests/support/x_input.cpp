#include "support/x_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include "support/x_observe.h"

void pointer_at(Display* display, int* x, int* y) {
  Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &root, &child, x, y, &wx, &wy, &mask);
  int ox = 0, oy = 0;
  window_origin(&ox, &oy);
  *x -= ox;
  *y -= oy;
}

void pointer_to(Display* display, int x, int y) {
  int px = -1, py = -1;
  pointer_at(display, &px, &py);
  const int screen = DefaultScreen(display);
  int ox = 0, oy = 0;
  window_origin(&ox, &oy);
  if (px == x && py == y) {
    XTestFakeMotionEvent(display, screen, ox + (x > 0 ? x - 1 : x + 1), oy + y, CurrentTime);
    XSync(display, False);
  }
  XTestFakeMotionEvent(display, screen, ox + x, oy + y, CurrentTime);
  XSync(display, False);
}

void button_down(Display* display, int button) {
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display, False);
}

void button_up(Display* display, int button) {
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display, False);
}

void click_at(Display* display, int x, int y, int hold_ms, int button) {
  pointer_to(display, x, y);
  button_down(display, button);
  usleep(static_cast<useconds_t>(hold_ms) * 1000);
  button_up(display, button);
}

namespace {

KeyCode code_of(Display* display, const std::string& keysym) {
  const KeySym sym = XStringToKeysym(keysym.c_str());
  return sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
}

void key(Display* display, const std::string& keysym, bool down) {
  const KeyCode code = code_of(display, keysym);
  if (code == 0) return;
  XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
  XSync(display, False);
}

}  // namespace

void click_and_keys_at_once(Display* display, int x, int y, const std::vector<std::string>& keysyms, int clicks) {
  if (clicks > 0) pointer_to(display, x, y);
  for (int i = 0; i < 2 * clicks; ++i) XTestFakeButtonEvent(display, 1, i % 2 == 0, CurrentTime);
  const KeyCode shift = code_of(display, "Shift_L");
  for (const std::string& k : keysyms) {
    const bool shifted = k.rfind("Shift+", 0) == 0;
    const KeyCode code = code_of(display, shifted ? k.substr(6) : k);
    if (code == 0) continue;
    if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
  }
  XSync(display, False);
}

void key_down(Display* display, const std::string& keysym) { key(display, keysym, true); }
void key_up(Display* display, const std::string& keysym) { key(display, keysym, false); }

void key_tap(Display* display, const std::string& keysym, int hold_ms) {
  key_down(display, keysym);
  usleep(static_cast<useconds_t>(hold_ms) * 1000);
  key_up(display, keysym);
}
