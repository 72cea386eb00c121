#include "support/frame_watch.h"

#include <X11/Xlib.h>

FrameWatch::FrameWatch(Display* display, unsigned long window) : display_(display), window_(window) {
  XWindowAttributes attributes;
  if (!display_ || window_ == 0 || !XGetWindowAttributes(display_, window_, &attributes)) return;
  property_ = XInternAtom(display_, "_CORVANE_FRAME_COUNT", False);
  // The test's own choice of events on the window stays; property changes
  // are added to it while the watch lives.
  old_mask_ = attributes.your_event_mask;
  XSelectInput(display_, window_, old_mask_ | PropertyChangeMask);
  XSync(display_, False);
  watching_ = true;
  mark();
}

FrameWatch::~FrameWatch() {
  if (!watching_) return;
  XSelectInput(display_, window_, old_mask_);
  XSync(display_, False);
  // Events still queued for the watch go with it.
  XEvent e;
  while (XCheckTypedWindowEvent(display_, window_, PropertyNotify, &e)) {
  }
}

void FrameWatch::read_events() {
  XEvent e;
  while (XCheckTypedWindowEvent(display_, window_, PropertyNotify, &e)) {
    // An event carries the serial of the last of our requests that the
    // server had taken when it made the event.
    if (e.xproperty.atom == property_ && e.xproperty.state == PropertyNewValue && e.xproperty.serial >= mark_serial_)
      ++frames_;
  }
}

void FrameWatch::mark() {
  if (!watching_) return;
  read_events();
  // The server's events carry the last request of ours that it had taken
  // when it made them: from the answer to this round trip on, every frame
  // counts.
  XSync(display_, False);
  read_events();
  mark_serial_ = LastKnownRequestProcessed(display_);
  frames_ = 0;
}

bool FrameWatch::wait(int frames, int timeout_ms) {
  if (!watching_) return false;
  return wait_until(
      [&] {
        XSync(display_, False);
        read_events();
        return frames_ >= frames;
      },
      timeout_ms);
}

int FrameWatch::count() {
  if (!watching_) return 0;
  XSync(display_, False);
  read_events();
  return frames_;
}

bool FrameWatch::taken(const std::function<void()>& input, int timeout_ms) {
  if (!watching_) return false;
  read_events();
  input();
  // Frames count from the input's last event on: those the program
  // finished after the server had taken it, whether or not they came in
  // while the input was being given. The input ends with a round trip, so
  // its last event is the request before the one the round trip answered.
  mark_serial_ = LastKnownRequestProcessed(display_) - 1;
  frames_ = 0;
  return wait(2, timeout_ms);
}
