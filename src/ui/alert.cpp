#include "ui/alert.h"

#include <unistd.h>

#include <cstdio>

#include "runtime/cmdline.h"
#include "runtime/debug.h"
#include "runtime/exceptions.h"
#include "runtime/globals.h"
#include "runtime/memory.h"
#include "runtime/threads.h"
#include "ui/shutdown.h"
#include "window/macibm.h"
#include "wizard/wizard.h"

namespace {
int in_alert = 0;  // an alert is being handled on the main thread
}

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* source_file, int source_line) {
  (void)return_window;
  // Only the main thread shows alerts: another thread hands its alert over
  // as a failure record. A fatal one ends the calling thread inside the send.
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    THREAD_send_exception(exce_class(line1, line2, line3, line4, source_file, source_line, type));
    return;
  }
  const std::string where =
      std::string("(") + (source_file ? source_file : "") + " line " + std::to_string(source_line) + ")";

  // A fatal alert leaves a crash-report file in the working folder. With no
  // frame and no address the dump writes nothing, so the file stays empty;
  // its close is not checked for the same reason, and a file that cannot be
  // opened is skipped.
  if (type == t_exit) {
    if (FILE* crawl = fopen("stack_crawl.txt", "a")) {
      UTL_dump_stack(crawl, nullptr, nullptr);
      fclose(crawl);
    }
  }

  // A frame-rate test runs unattended: the alert only goes to the log.
  if (cmdline.has_option("--fps_test")) {
    log_alert_lines("", line1, line2, line3, line4, where + "\n");
    if (type == t_exit) _exit(1);
    return;
  }

  const int recursive_error = in_alert ? 1 : 0;
  in_alert = 1;

  // Without a window the lines go to standard error; the log gets them below.
  if (!ogl_inited || recursive_error) {
    fprintf(stderr, "Halden Error:\n%s\n\n%s\n\n%s\n\n%s\n\n%s\nSorry.\n", line1.c_str(), line2.c_str(),
            line3.c_str(), line4.c_str(), where.c_str());
    fflush(stderr);
  }

  if (type == t_alert || type == t_exit || recursive_error) {
    dump_mem_stats(
        "This is the dump_mem_stats call from the following code: if(type==t_exit || type == t_alert || "
        "recursive_error)");
    log_alert_lines("\n", line1, line2, line3, line4, where + "\n");
  }

  if (type == t_exit || recursive_error) {
    MACIBM_finishup(0);
    app_done = 1;
    fflush(stdout);
    // Other threads may still be running: end at once, without exit handlers
    // or static destructors.
    _exit(1);
  }
  in_alert = 0;
}
