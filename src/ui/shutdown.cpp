#include "ui/shutdown.h"

#include <X11/Xlib.h>

#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"
#include "runtime/threads.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

void MACIBM_finishup(int orderly) {
  if (orderly) {
    // A frame-rate test leaves the user's settings alone.
    if (!cmdline.has_option("--fps_test")) {
      pref.IO_set(11, 1);
      keys.keys_io(1);
    }
    THREAD_shutdown();
  }
  // The window goes: its size as the screen had it, then the GL contexts.
  if (mnw.display) {
    MACIBM_setres(0);
    if (mnw.sec_mon_open) MACIBM_nuke_context(1);
    MACIBM_nuke_context(0);
  }
  if (xer.is_open()) {
    xer.flush();
    xer.close();
  }
  if (mnw.display) XUngrabKeyboard(static_cast<Display*>(mnw.display), CurrentTime);
}
