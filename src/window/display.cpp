// Display start-up.
#include <cstdio>
#include <cstring>
#include <string>

#include "files/io_utils.h"
#include "runtime/cmdline.h"
#include "runtime/debug.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "ui/language.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

// Copies the lines of a /proc file that begin with one of the prefixes.
void log_proc_lines(const char* file, const char* const* prefixes, const char* failure) {
  FILE* f = fopen(file, "r");
  if (!f) {
    xer << failure;
    return;
  }
  char line[512];
  while (fgets(line, sizeof line, f)) {
    for (const char* const* p = prefixes; *p; ++p) {
      if (strncmp(line, *p, strlen(*p)) == 0) {
        xer << line;
        break;
      }
    }
  }
  fclose(f);
}

void write_log_header() {
  xer << "Installer log.txt for " << "Corvane Web Updater 2.03r1" << " compiled on " << __DATE__ << " "
      << __TIME__ << "\n\n";
  xer << "This log file is generated automatically by Brightwell Labs applications and contains "
         "diagnostics about your graphics hardware, installation, and any error conditions.\n";
  xer << "If you need to contact tech support or file a bug, please send us this file. NOTE: this file "
         "is rewritten every time you start ANY of your Halden applications.\n\n";
  static const char* const cpu[] = {"processor", "model name", "cpu MHz", nullptr};
  log_proc_lines("/proc/cpuinfo", cpu, "Unable to read CPU information.\n");
  static const char* const mem[] = {"MemTotal", nullptr};
  log_proc_lines("/proc/meminfo", mem, "Unable to read mem information.\n");
  xer << "\nHalden folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
  xer.flush();
}

}  // namespace

void MACIBM_init(int argc, const char* const* argv) {
  UTL_debug_init();
  MACIBM_set_app_path(&app_path, 0);
  app_path.clear();

  std::string log_path;
  get_OS_abs_path(os_dir_this_app, log_path);
  xer.open(log_path + "Corvane Installer Log.txt", std::ios::out | std::ios::trunc);
  xer.setf(std::ios::fixed, std::ios::floatfield);

  UTL_init_tables();
  write_log_header();
  cmdline.init_unix(argc, argv);
  THREAD_init();

  mnw.x_res_req = 800;
  mnw.y_res_req = 600;
  mnw.tex_res = 5;
  mnw.col_res_req = 32;
  mnw.alias_req = 0;
  mnw.lang = 0;
  mnw.x_res = mnw.x_res_req;
  mnw.y_res = mnw.y_res_req;
  mnw.col_res = mnw.col_res_req;
  mnw.scale = 1.0f;
  mnw.view_w = static_cast<float>(mnw.x_res);
  mnw.view_h = static_cast<float>(mnw.y_res);
  THREAD_make_workers();
  MACIBM_startwind(-1, 0);
  MACIBM_setupforlang();
}
