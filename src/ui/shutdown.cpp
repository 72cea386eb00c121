#include "ui/shutdown.h"

#include <X11/Xlib.h>

#include "engine/pools.h"
#include "files/temp_folder.h"
#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"
#include "runtime/threads.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

void MACIBM_finishup(int orderly) {
  if (orderly) {
    // The engine's workers stop first, while the file table, the paths and
    // the temporary folder they use are all still there.
    stop_engine_pools();
    // A frame-rate test leaves the user's settings alone.
    if (!cmdline.has_option("--fps_test")) {
      pref.IO_set(11, 1);
      keys.keys_io(1);
    }
    THREAD_shutdown();
  }
  // Every exit the program controls takes this run's temporary files along.
  remove_this_runs_temp_folder();
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
