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
// second. The program draws only frames that show something new, but it
// answers every key and button event with the frame of the pass that reads
// it and that of the next, so two such frames always come.
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

  // Frames counted from here on are those the server draws from now on.
  void mark();
  // Waits until `frames` frames were drawn after the mark.
  bool wait(int frames, int timeout_ms = kProgramTimeoutMs);
  // The frames drawn after the mark that the server has told of so far
  // (after a round trip: all that the program's requests so far made).
  int count();

  // Gives the input (each of its events followed by a round trip, as
  // x_input gives them) and waits until the program has read its last event
  // (two frames after the server took it). False when the frames did not
  // come in time.
  bool taken(const std::function<void()>& input, int timeout_ms = kProgramTimeoutMs);

 private:
  void read_events();

  Display* display_;
  unsigned long damage_ = 0;
  int event_base_ = 0;
  unsigned long mark_serial_ = 0;
  int frames_ = 0;
};
