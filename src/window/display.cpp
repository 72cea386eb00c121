// Display start-up: the log and its header, the command line, the GL window
// and the capability probe, the workers, the built-in images, the first
// window and the start-up splash.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/web_host.h"
#include "files/io_utils.h"
#include "runtime/cmdline.h"
#include "runtime/debug.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "textures/builtin_images.h"
#include "textures/ogl_extensions.h"
#include "textures/tman.h"
#include "window/macibm.h"
#include "window/menus.h"
#include "window/mnw.h"
#include "window/ui_calls.h"

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

  // The texture loader shows its "Loading bitmap" lines on the splash.
  tman_show_init = MACIBM_show_init;
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
  MACIBM_setres(1);
  MACIBM_make_context(0);
  OGL_pix_specs(0);
  glExt.init_extensions();
  THREAD_make_workers();
  TEX_load_builtin_images();
  MACIBM_clear_menus(1);
  MACIBM_startwind(-1, 0);
  OGL_pix_specs(0);
  ogl_inited = 1;
  MACIBM_setupforlang();
  // From here on drawing goes through the frame lists, the splash's too: it
  // is drawn as the event loop's frames are (from arrays of vertices), so
  // that the GL driver's shaders for it serve the first screen as well.
  // The event loop draws a frame only when it shows something new.
  OGL_frame_lists(1);
  MACIBM_show_init("Will init plugins.", nullptr);
  MACIBM_show_init("Starting application.", nullptr);
  // The splash is on the screen; the first frame starts afresh.
  OGL_drop_recorded();
}

void MACIBM_show_init(const std::string& message, float* fraction) {
  static int automatic = 0;  // calls without a fraction so far
  if (!plot_init_lights) return;
  const float x0 = mnw.inset_x - mnw.wind_x;
  const float y0 = -mnw.wind_y;

  OGL_plot_back_col();
  BTN_frame2(15, x0 + 10.0f, y0 + 31.0f, 460.0f, 200.0f, "");
  OGL_string(49, x0 + 22.0f, y0 + 210.0f, kMakerSite, 440.0f, 100, 0);
  float p = fraction ? *fraction : static_cast<float>(automatic++) * 0.01f;
  if (p < 0.02f) p = 0.02f;
  if (p > 1.0f) p = 1.0f;
  BTN_frame1(4, x0 + 512.0f, y0 + 15.0f, 1008.0f, 0);
  BTN_frame1(5, x0 + 8.0f + p * 1008.0f * 0.5f, y0 + 15.0f, p * 1008.0f, 0);
  OGL_string(61, x0 + 22.0f, y0 + 60.0f, message, 440.0f, 100, 0);
  OGL_sbuff();
}
