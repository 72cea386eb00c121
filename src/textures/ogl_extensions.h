// OpenGL capabilities found at start-up, and the renderer record.
#pragma once

class OGL_extensions {
 public:
  // Worker threads may get GL contexts that share objects with the main one.
  int threaded = 0;

  // A worker's GL context could not be set up: background loading is
  // switched off, with one warning.
  void threaded_ogl_failed();
};

extern OGL_extensions glExt;

// What the GL implementation reports about itself.
struct ren_struct {
  float max_aniso;
  int tex_units;
  int tex_image_units;
  int tex_coords;
  const char* gl_vendor;
  const char* gl_renderer;
  const char* gl_version;
  const char* gl_extensions;
};

extern ren_struct ren;
