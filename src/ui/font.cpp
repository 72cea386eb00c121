// The texture font, drawn through the frame list.
#include "ui/alert.h"
#include "ui/colr.h"
#include "ui/draw_list.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/mnw.h"

namespace {

// Sends glyphs to GL: one quads primitive per line.
class gl_text_target : public text_target {
 public:
  int select(int charset, int colour) override {
    float s, t, w, h;
    return OGL_strtex(charset, colour, &s, &t, &w, &h);
  }
  void begin_line() override { DL_begin(dl_quads); }
  void glyph(const quad_corners& q) override { sink_.quad(q); }
  void end_line() override { DL_end(); }

 private:
  gl_quad_sink sink_;
};

}  // namespace

int OGL_strtex(int charset, int colour, float* s_off, float* t_off, float* cell_w, float* cell_h) {
  int tex = t_interface, adv = 0;
  float size = 0.0f;
  switch (charset) {
    case charset_prop: size = 14.0f; adv = 0; break;
    case charset_fixed: size = 14.0f; adv = 10; break;
    case charset_sheet: tex = t_glyph_sheet_103; size = 13.0f; adv = 15; break;
    default:
      __MACIBM_alert(0, "String proc with bad charset!", "", "", "", t_exit, "oglp", __LINE__);
      return 0;
  }
  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_setcolor(colour, 1.0f);
  OGL_bind_tex(tex, 0);
  *s_off = 0.0f;
  *t_off = 0.0f;
  *cell_w = size;
  *cell_h = charset == charset_sheet ? 13.0f : 15.0f;
  return adv;
}

void OGL_char(float x, float y, float s_off, float t_off, float cell_w, float cell_h, int ch, int charset) {
  const quad_corners q = OGL_glyph_quad(x, y, s_off, t_off, cell_w, cell_h, ch, charset);
  gl_quad_sink().quad(q);
}

void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align) {
  gl_text_target target;
  text_one_line(target, colour, x, y, text, charset, align);
}

float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width, int charset, int align) {
  gl_text_target target;
  return text_string(target, colour, x, y, text, wrap_width, charset, align, mnw.wind_x, mnw.wind_y);
}

void OGL_gray_string(int colour, float x_centre, float y, std::string text) {
  const float half = OGL_text_width(text) / 2.0f;
  OGL_grayrect(x_centre - half - 2.0f, y - 2.0f, x_centre + half + 2.0f, y + 8.0f, 0.5f);
  OGL_string(colour, x_centre - half, y, text, 9999.0f, charset_prop, 0);
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset) {
  if (charset != charset_fixed) {
    OGL_string(colour, x, y, OGL_number_text(value, digits, decimals), 9999.0f, charset, 0);
    return;
  }
  float s, t, w, h;
  OGL_strtex(charset_fixed, colour, &s, &t, &w, &h);
  const float X0 = OGL_round(x + mnw.wind_x) - 10.0f;
  const float Y0 = OGL_round(y + mnw.wind_y) - 2.0f;
  number_glyph glyphs[32];
  const int n = OGL_number_glyphs(value, digits, decimals, glyphs);
  DL_begin(dl_quads);
  for (int i = 0; i < n; ++i)
    OGL_char(X0 + glyphs[i].dx, Y0, s, t, w, h, static_cast<unsigned char>(glyphs[i].c), charset_fixed);
  DL_end();
}

void OGL_boxed_string(float x_centre, float y, const std::string& label, const std::string& text, int charset,
                      int colour) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  float width = 100.0f;
  if (charset == charset_fixed) width = 10.0f * static_cast<float>(text.size()) + 7.0f;
  if (charset == charset_prop) width = OGL_text_width(text) + 7.0f;
  BTN_frame1(9, x_centre, y + 3.0f, width, 0);
  const float left = x_centre - width / 2.0f;
  BTN_util_draw_label(left - 8.0f, y, 0, caption, 0);
  BTN_util_draw_label(x_centre + width / 2.0f + 8.0f, y, 2, second, 0);
  OGL_string(colour, left + 4.0f, y, text, 9999.0f, charset, 0);
}
