#include "textures/ogl_extensions.h"

#include "ui/alert.h"

OGL_extensions glExt;
ren_struct ren;

void OGL_extensions::threaded_ogl_failed() {
  if (!threaded) return;
  threaded = 0;
  MACIBM_alert(0, "OpenGL failed to set up for loading in the background.",
               "Textures will be loaded in the foreground instead.", "", "", t_alert);
}
