// A private X server for one test: Xvfb on a display number of its own
// choosing (so tests can run side by side), a screen of the given size at
// depth 24, no TCP. The test keeps a connection of its own to it for
// queries, screenshots and XTEST input. The server is stopped by its pid
// when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

typedef struct _XDisplay Display;

// X errors that requests of the test process met (Xlib would end the
// process on the first one; the fixture counts them instead).
extern int x_errors_seen;

// Keeps the GL driver that this process loaded in memory for the rest of
// the run (see x_server.cpp); called before a connection that used GL closes.
void keep_gl_driver_loaded();

class XServer {
 public:
  // extra_args go to the server after the usual ones ("-extension", "GLX").
  explicit XServer(int width = 800, int height = 600, std::vector<std::string> extra_args = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // The server answers and the test's connection is open.
  bool ok() const { return display_ != nullptr; }
  // The display name, as DISPLAY takes it (":7").
  const std::string& name() const { return name_; }
  // The test's own connection.
  Display* display() const { return display_; }
  int width() const { return width_; }
  int height() const { return height_; }
  pid_t pid() const { return pid_; }

  // The server of the test that runs now: the newest that is still there
  // (null when none is); a failing test's screenshot comes from it.
  static const XServer* current();

 private:
  int width_, height_;
  pid_t pid_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};
