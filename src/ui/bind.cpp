#include "textures/tman.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "window/mnw.h"

void OGL_bind_tex(int tex_ref, int mode) {
  // Without a GL context (a run without a display) nothing is drawn, and
  // no texture is loaded to bind.
  if (!mnw.context[0]) return;
  // The reference is checked (and a missing texture reported) now, while
  // its frame is drawn, whenever GL gets the frame.
  DL_texture(tman.gl_name(tex_ref), mode);
}
