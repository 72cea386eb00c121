// Counting the frames a program puts on its window. At the end of each pass
// of its event loop that put a frame on the screen, the program publishes
// in the property _CORVANE_FRAME_COUNT of its main window its count of
// frames, the server's time of the last key or button event it read and
// the count of the first frame it published after reading that event.
// Each change of the property is one whole frame, drawn after the pass had
// read its events. A test gives input and then waits for frames, so that
// the program has taken the input before the next one comes, however
// slowly it runs.
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

  // Gives the input, which holds key or button events (each followed by a
  // round trip, as x_input gives them, or all of them followed by one),
  // and waits until the program has read it and ended the pass after the
  // one that read it: a frame later than the first one published after
  // the program read input given since the input began. The program
  // answers every key and button event with the frame of the pass that
  // reads it and that of the next, so both come. False when they did not
  // come in time.
  bool taken(const std::function<void()>& input, int timeout_ms = kProgramTimeoutMs);

 private:
  void read_events();
  // The server's time now, from a property change of the test's own.
  unsigned long server_time();
  // The values the program last published; false while there are none.
  bool published(long* frames, unsigned long* input_time, long* input_frame);

  Display* display_;
  unsigned long window_ = 0;
  unsigned long property_ = 0;
  unsigned long clock_ = 0;
  unsigned long clock_time_ = 0;
  long old_mask_ = 0;
  bool watching_ = false;
  unsigned long mark_serial_ = 0;
  int frames_ = 0;
};
