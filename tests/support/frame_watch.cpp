#include "support/frame_watch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <thread>

FrameWatch::FrameWatch(Display* display, unsigned long window) : display_(display), window_(window) {
  XWindowAttributes attributes;
  if (!display_ || window_ == 0 || !XGetWindowAttributes(display_, window_, &attributes)) return;
  property_ = XInternAtom(display_, "_CORVANE_FRAME_COUNT", False);
  clock_ = XInternAtom(display_, "_CORVANE_TEST_CLOCK", False);
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
  XDeleteProperty(display_, window_, clock_);
  XSync(display_, False);
  // Events still queued for the watch go with it.
  XEvent e;
  while (XCheckTypedWindowEvent(display_, window_, PropertyNotify, &e)) {
  }
}

void FrameWatch::read_events() {
  XEvent e;
  while (XCheckTypedWindowEvent(display_, window_, PropertyNotify, &e)) {
    if (e.xproperty.atom == clock_) clock_time_ = e.xproperty.time;
    // An event carries the serial of the last of our requests that the
    // server had taken when it made the event.
    if (e.xproperty.atom == property_ && e.xproperty.state == PropertyNewValue && e.xproperty.serial >= mark_serial_)
      ++frames_;
  }
}

unsigned long FrameWatch::server_time() {
  const long zero = 0;
  XChangeProperty(display_, window_, clock_, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&zero), 1);
  // The change's event comes before the answer to the round trip.
  XSync(display_, False);
  read_events();
  return clock_time_;
}

bool FrameWatch::published(long* frames, unsigned long* input_time, long* input_frame) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window_, property_, 0, 3, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) != Success)
    return false;
  const bool ok = data && format == 32 && count == 3;
  if (ok) {
    const long* values = reinterpret_cast<const long*>(data);
    *frames = values[0];
    *input_time = static_cast<unsigned long>(values[1]);
    *input_frame = values[2];
  }
  if (data) XFree(data);
  return ok;
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
  // Every event read before now has a time up to this one; the server's
  // clock (in milliseconds) moves on before the input comes, so every
  // event of the input has a later time.
  const unsigned long before = server_time();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  input();
  // The frames of the passes may come and go between two looks: the
  // program tells which frame first followed its reading of the input.
  return wait_until(
      [&] {
        long frames = 0, input_frame = 0;
        unsigned long input_time = 0;
        // Times wrap around after 49 days.
        return published(&frames, &input_time, &input_frame) &&
               static_cast<std::int32_t>(static_cast<std::uint32_t>(input_time - before)) > 0 && frames > input_frame;
      },
      timeout_ms);
}
