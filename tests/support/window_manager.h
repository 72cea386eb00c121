// A real window manager on a test's X server, for what a desktop user
// meets: the title bar, the close button, Alt+F4.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/x_server.h"

// A window manager on the server as a desktop user has one: openbox with its
// usual bindings (Alt+F4 closes the focused window), a home folder of its
// own. Stopped by its pid when the object goes away.
class WindowManager {
 public:
  explicit WindowManager(const XServer& x);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // Running and managing the screen.
  bool ok() const { return managing_; }
  // The client window named `name` once the manager has framed it and given
  // it the focus; 0 when that does not happen in time.
  unsigned long framed_window(const std::string& name, int timeout_ms);
  // The frame around a client: left, right, top and bottom widths.
  std::vector<long> frame_extents(unsigned long window);

 private:
  Display* display_ = nullptr;
  TempDir home_;
  pid_t pid_ = -1;
  bool managing_ = false;
};
