// The program's own GL window opened inside the test process on a private X
// server, so that a test can give input through XTEST, run passes of the
// event loop and look at the window state they leave. The window is made as
// the start-up makes it (size, window and context, layout, first window);
// the log, the probe and the workers are left out. The window is destroyed
// and the window state reset when the object goes away.
#pragma once

#include <functional>

class XServer;

class LiveWindow {
 public:
  explicit LiveWindow(const XServer& x);
  ~LiveWindow();
  LiveWindow(const LiveWindow&) = delete;
  LiveWindow& operator=(const LiveWindow&) = delete;

  bool ok() const { return ok_; }

  // One pass of the event loop.
  void pass();
  // Runs passes until `condition` holds after one; false when it still does
  // not after timeout_ms.
  bool pass_until(const std::function<bool()>& condition, int timeout_ms = 10000);
  // Runs passes until a frame drawn from now on is on the screen, as the
  // server tells, and for the double-click time more, as a user looks
  // before a click of its own: a click given then acts on what it shows.
  bool pass_until_shown(int timeout_ms = 10000);

 private:
  bool ok_ = false;
  const XServer& x_;
};
