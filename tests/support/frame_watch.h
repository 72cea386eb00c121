// Counting the frames a program puts on its window, from the damage the
// window takes (the DAMAGE extension): each buffer swap draws the whole
// window once. A test gives input and then waits for frames, so that the
// program has taken the input before the next one comes, however slowly it
// runs.
//
// Why two frames: the events a program reads in one pass all count in that
// pass's frame, and the program's swap waits until the server has drawn it.
// A frame drawn after the input reached the server ends a pass whose
// successor reads the input at the latest; that successor's frame is the
// second.
#pragma once

#include <functional>

#include "support/wait.h"

typedef struct _XDisplay Display;

class FrameWatch {
 public:
  // Watches `window` through the test's connection to the server.
  FrameWatch(Display* display, unsigned long window);
  ~FrameWatch();
  FrameWatch(const FrameWatch&) = delete;
  FrameWatch& operator=(const FrameWatch&) = delete;

  bool ok() const { return damage_ != 0; }

  // Frames counted from here on are those drawn after the requests that the
  // test makes from now on.
  void mark();
  // Waits until `frames` frames were drawn after the mark.
  bool wait(int frames, int timeout_ms = kProgramTimeoutMs);

  // Gives the input, marks, and waits until the program has read it (two
  // frames). False when the frames did not come in time.
  bool taken(const std::function<void()>& input, int timeout_ms = kProgramTimeoutMs);

 private:
  void read_events();

  Display* display_;
  unsigned long damage_ = 0;
  int event_base_ = 0;
  unsigned long mark_serial_ = 0;
  int frames_ = 0;
};
