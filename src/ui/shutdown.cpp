#include "ui/shutdown.h"

#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"
#include "runtime/threads.h"

void MACIBM_finishup(int orderly) {
  if (orderly) {
    // A frame-rate test leaves the user's settings alone.
    if (!cmdline.has_option("--fps_test")) pref.IO_set(11, 1);
    THREAD_shutdown();
  }
  if (xer.is_open()) {
    xer.flush();
    xer.close();
  }
}
