// OpenGL capabilities found at start-up, and the renderer record.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

class OGL_extensions {
 public:
  // Worker threads may get GL contexts that share objects with the main one.
  int threaded = 0;

  // Capabilities the texture code reads (0 or 1).
  int tex_clamp_avail = 0;  // clamp-to-edge wrap
  int combine_avail = 0;    // the COMBINE texture environment
  int automini_avail = 0;   // hardware mipmap generation
  int aniso_avail = 0;      // anisotropic filtering
  int max_texture_size = 0; // GL_MAX_TEXTURE_SIZE

  // Compressed upload, loaded by name; null when not available.
  PFNGLCOMPRESSEDTEXIMAGE2DARBPROC glCompressedTexImage2DARB = nullptr;

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
