#include "support/frame_watch.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

FrameWatch::FrameWatch(Display* display, unsigned long window) : display_(display) {
  int error_base = 0;
  if (!display_ || window == 0 || !XDamageQueryExtension(display_, &event_base_, &error_base)) return;
  // One event per drawing request: its last rectangle has `more` clear.
  damage_ = XDamageCreate(display_, window, XDamageReportRawRectangles);
  XSync(display_, False);
  mark();
}

FrameWatch::~FrameWatch() {
  if (!damage_) return;
  XDamageDestroy(display_, damage_);
  XSync(display_, False);
  // Events still queued for the watch go with it.
  XEvent e;
  while (XCheckTypedEvent(display_, event_base_ + XDamageNotify, &e)) {
  }
}

void FrameWatch::read_events() {
  XEvent e;
  while (XCheckTypedEvent(display_, event_base_ + XDamageNotify, &e)) {
    const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(e);
    // An event carries the serial of the last of our requests that the
    // server had taken when it made the event.
    if (d.damage == damage_ && !d.more && d.serial >= mark_serial_) ++frames_;
  }
}

void FrameWatch::mark() {
  if (!damage_) return;
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
  if (!damage_) return false;
  return wait_until(
      [&] {
        XSync(display_, False);
        read_events();
        return frames_ >= frames;
      },
      timeout_ms);
}

int FrameWatch::count() {
  if (!damage_) return 0;
  XSync(display_, False);
  read_events();
  return frames_;
}

bool FrameWatch::taken(const std::function<void()>& input, int timeout_ms) {
  if (!damage_) return false;
  read_events();
  input();
  // Frames count from the input's last event on: those the server drew
  // after it had taken it, whether or not they came in while the input was
  // being given. Each event of the input ends with a round trip, so the
  // event is the request before the one the round trip had answered.
  mark_serial_ = LastKnownRequestProcessed(display_) - 1;
  frames_ = 0;
  return wait(2, timeout_ms);
}
