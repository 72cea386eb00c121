#include "ui/draw.h"

// The texture manager has no binding yet: drawing is untextured until it has.
void OGL_bind_tex(int /*tex_ref*/, int /*mode*/) {}
