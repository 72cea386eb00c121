#include "support/live_window.h"

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>

#include "support/frame_watch.h"
#include "support/wait.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/ogl_extensions.h"
#include "textures/tman.h"
#include "ui/draw.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "wizard/wizard.h"

LiveWindow::LiveWindow(const XServer& x) : x_(x) {
  if (!x.ok() || mnw.display) return;
  setenv("DISPLAY", x.name().c_str(), 1);
  // The window fills the test's screen.
  mnw.x_res_req = x.width();
  mnw.y_res_req = x.height();
  mnw.col_res_req = 32;
  MACIBM_setres(1);
  MACIBM_make_context(0);
  OGL_pix_specs(0);
  // The built-in images, at full size, as the start-up loads them (the
  // probe is left out: the texture limits come from GL itself).
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  glExt.max_texture_size = max_size;
  ren.tex_units = 1;
  mnw.tex_res = 5;
  TEX_load_builtin_images();
  TEX_reset_bind();
  MACIBM_startwind(-1, 0);
  OGL_pix_specs(0);
  ok_ = true;
}

LiveWindow::~LiveWindow() {
  if (!ok_) return;
  // The images' textures go with the context: the next window of the run
  // loads them into its own.
  for (const builtin_image* image : {&kBackgroundImage, &kElementsImage, &kMapImage, &kInterfaceImage})
    tman.unload_texture(image->ref);
  TEX_reset_bind();
  MACIBM_nuke_context(0);
  XFree(mnw.visual);
  keep_gl_driver_loaded();
  XCloseDisplay(static_cast<Display*>(mnw.display));
  mnw = mnw_struct{};
  app_done = 0;
}

void LiveWindow::pass() { MACIBM_event_proc(); }

bool LiveWindow::pass_until(const std::function<bool()>& condition, int timeout_ms) {
  const auto deadline = wait_deadline(timeout_ms);
  do {
    pass();
    if (condition()) return true;
  } while (!wait_expired(deadline));
  return false;
}

bool LiveWindow::pass_until_shown(int timeout_ms) {
  FrameWatch frames(x_.display(), mnw.window[0]);
  const auto looked = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  return pass_until([&] { return frames.count() > 0 && std::chrono::steady_clock::now() > looked; }, timeout_ms);
}
