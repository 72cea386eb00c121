#include "textures/tman.h"
#include "ui/draw.h"
#include "window/mnw.h"

void OGL_bind_tex(int tex_ref, int mode) {
  // Without a GL context (a run without a display) nothing is drawn, and
  // no texture is loaded to bind.
  if (!mnw.context[0]) return;
  tman.bind_ref(tex_ref, 0, mode);
}
