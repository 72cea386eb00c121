// The alert routine: off the main thread it forwards the report; on the
// main thread it logs, and shows a modal box in window 994 (or, without a
// window, prints) until the user dismisses it. A fatal alert never returns.
#include "ui/alert.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <cstdio>

#include "files/temp_folder.h"
#include "runtime/cmdline.h"
#include "runtime/debug.h"
#include "runtime/exceptions.h"
#include "runtime/globals.h"
#include "runtime/memory.h"
#include "runtime/threads.h"
#include "textures/ogl_extensions.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/question.h"
#include "ui/shutdown.h"
#include "ui/widgets.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/subwindows.h"

namespace {

int in_alert = 0;  // an alert is being handled on the main thread

// Whatever the caller was drawing, leave GL in a state the box can draw in.
void reset_gl_for_box() {
  // A primitive left open ends here, whether it went to GL or to the frame.
  if (OGL_frame_lists_on())
    DL_abandon();
  else
    glEnd();
  glEndList();
  for (int i = 0; i < 30; ++i) glGetError();
  OGL_nrml_colors();
  if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
  if (glExt.framebuf_avail && glExt.glBindFramebufferEXT) glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  OGL_scissors_end();
}

void run_box(int return_window, const std::string lines[4], int type, const std::string& where) {
  reset_gl_for_box();
  const float saved_x = mnw.mouse_x, saved_y = mnw.mouse_y;
  // The lines, centred and 40 units apart, each below the one before when
  // that one takes more lines; a fatal alert's source line last. They may
  // take the lines down to the source line's place; when they need more,
  // the box grows.
  const wind_size* box = wind_size_of(wind_alert);
  const float W = box->w;
  std::vector<box_text> texts;
  if (type != t_lang) {
    for (int i = 0; i < 4; ++i) texts.push_back({W / 2, 205.0f - 40.0f * i, W * 0.9f, 1, lines[i], true});
    if (type == t_exit) texts.push_back({W / 2, 45, W * 0.9f, 1, where, true});
  }
  const box_layout layout = BTN_lay_out_box(texts, 45, BTN_box_room(box->h));
  BTN_modal_loop(wind_alert, [&]() {
    MACIBM_grow_wind(layout.grown);
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 13, -1, 35, -1, -1, "", &wx, &wy);
    std::string caption = stls.ok_caption;
    if (type == t_lang) {
      static const char* const kLanguages[3] = {"|English", "|French", "|German"};
      for (int i = 0; i < 3; ++i) BTN_is_int(W / 2 - 25, 180.0f - 20.0f * i, &mnw.lang, i, kLanguages[i]);
      stls.window_title = "Language/";
      caption = "Accept";
    } else {
      BTN_draw_box_texts(texts, layout);
    }
    const int clicked = BTN_action(W / 2, 18, 0, 0, 1, caption, "-");
    if (!clicked && !return_hit) return -1;
    // The Return that closed the box is used up here, not by the caller.
    return_hit = 0;
    if (type == t_exit) return 1;
    MACIBM_startwind(return_window, 0);
    mnw.mouse_x = saved_x;
    mnw.mouse_y = saved_y;
    return 0;
  });
}

}  // namespace

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* source_file, int source_line) {
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
    if (type == t_exit) {
      remove_this_runs_temp_folder();
      _exit(1);
    }
    return;
  }

  const int recursive_error = in_alert ? 1 : 0;
  in_alert = 1;

  const std::string lines[4] = {line1, line2, line3, line4};
  if (!ogl_inited || recursive_error) {
    // Without a window the lines go to standard error; the log gets them below.
    fprintf(stderr, "Halden Error:\n%s\n\n%s\n\n%s\n\n%s\n\n%s\nSorry.\n", line1.c_str(), line2.c_str(),
            line3.c_str(), line4.c_str(), where.c_str());
    fflush(stderr);
  } else if (!(line1.empty() && line2.empty() && line3.empty() && line4.empty())) {
    run_box(return_window, lines, type, where);
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
    fflush(stderr);
    // Other threads may still be running: end at once, without exit handlers
    // or static destructors.
    _exit(1);
  }
  in_alert = 0;
}
