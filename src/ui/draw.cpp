#include "ui/draw.h"

#include <GL/gl.h>

#include "ui/colr.h"
#include "window/macibm.h"
#include "window/mnw.h"

void OGL_plot_back_col() {
  const float* c = colr.rgb[34];
  glClearColor(c[0], c[1], c[2], 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void OGL_sbuff() { MACIBM_swap_buffers(mnw.swap_wind); }

void OGL_pix_specs(int) {
  mnw.view_l = 0.0f;
  mnw.view_b = 0.0f;
  mnw.view_w = static_cast<float>(mnw.x_res);
  mnw.view_h = static_cast<float>(mnw.y_res);
  mnw.scale = 1.0f;
  const float inset = (static_cast<float>(mnw.x_res) - 1024.0f) * 0.5f;
  mnw.inset_x = inset > 0.0f && mnw.cur_wind != -1 ? inset : 0.0f;
  if (mnw.cur_wind >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
}

void OGL_viewport(int mode, float, float, float, float, float, float, float, float, float, float, float zoom,
                  int) {
  if (mode != 2) return;
  if (zoom == 0.0f) zoom = 1.0f;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(mnw.view_l / zoom, (mnw.view_l + mnw.view_w) / zoom, mnw.view_b / zoom, (mnw.view_b + mnw.view_h) / zoom,
          -1.0, 1.0);
  glViewport(0, 0, mnw.x_res, mnw.y_res);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void BTN_frame1(int /*style*/, float /*x_centre*/, float /*y_centre*/, float /*width*/, int /*colour*/) {}

void BTN_frame2(int /*style*/, float /*x*/, float /*y*/, float /*width*/, float /*height*/, std::string /*title*/) {}

void OGL_2dquad(int, int, float, float, float, float, float, float, float, float, float, float, float, float, float,
                float, float, float, float, int, int) {}

void BTN_fillwin(int /*outer*/, int /*inner*/) {}

void BTN_subwin(float x, int y, std::string /*title*/, float* right, float* top) {
  // Nothing is drawn, so the panel takes no room.
  if (right) *right = x;
  if (top) *top = static_cast<float>(y);
}

float OGL_string(int /*colour*/, float /*x*/, float y, const std::string& /*text*/, float /*wrap_width*/,
                 int /*charset*/, int /*align*/) {
  return y;
}
