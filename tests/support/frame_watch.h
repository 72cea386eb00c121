// Counting the frames a program puts on its window. At the end of each pass
// of its event loop that put a frame on the screen, the program publishes
// its count of frames in the property _CORVANE_FRAME_COUNT of its main
// window; each change of the property is one whole frame, drawn after the
// pass had read its events. A test gives input and then waits for frames,
// so that the program has taken the input before the next one comes,
// however slowly it runs.
//
// Why two frames: a change the server makes after it took the input ends a
// pass that may have begun before the input came; the pass after it reads
// the input at the latest, and its change is the second. The program draws
// only frames that show something new, but it answers every key and button
// event with the frame of the pass that reads it and that of the next, so
// two such frames always come.
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

  bool ok() const { return watching_; }

  // Frames counted from here on are those the program finishes from now on.
  void mark();
  // Waits until `frames` frames were finished after the mark.
  bool wait(int frames, int timeout_ms = kProgramTimeoutMs);
  // The frames finished after the mark that the server has told of so far
  // (after a round trip: all that the program's requests so far made).
  int count();

  // Gives the input (each of its events followed by a round trip, as
  // x_input gives them, or all of them followed by one) and waits until the
  // program has read its last event (two frames after the server took it).
  // False when the frames did not come in time.
  bool taken(const std::function<void()>& input, int timeout_ms = kProgramTimeoutMs);

 private:
  void read_events();

  Display* display_;
  unsigned long window_ = 0;
  unsigned long property_ = 0;
  long old_mask_ = 0;
  bool watching_ = false;
  unsigned long mark_serial_ = 0;
  int frames_ = 0;
};
