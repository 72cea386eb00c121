// What the OpenGL implementation behind the window can do.
//
// `glExt` is filled once at start-up by init_extensions, on the main thread,
// right after the main window's context has been made current and before any
// worker thread or texture exists. From then on it is only read: by the
// texture code (sizes, clamping, mipmaps, compression), by the alert box (it
// unbinds a shader program and a framebuffer) and by the thread start (shared
// contexts). The entry points below are loaded by name for the features that
// are present; a pointer stays null when its feature is absent.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

// The entry points, in groups; each group is guarded by one flag.
#define OGL_VBO_PROCS(X)                                                                        \
  X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                                                   \
  X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)                                             \
  X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                                                   \
  X(PFNGLISBUFFERARBPROC, glIsBufferARB)                                                       \
  X(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                                                   \
  X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)                                             \
  X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)                                       \
  X(PFNGLMAPBUFFERARBPROC, glMapBufferARB)                                                     \
  X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)                                                 \
  X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB)                               \
  X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)

#define OGL_VPROG_PROCS(X)                                                                      \
  X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB)                                           \
  X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB)                                         \
  X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB)                                           \
  X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB)                                         \
  X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB)                                           \
  X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB)                                         \
  X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB)                                           \
  X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB)                                         \
  X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB)                                           \
  X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB)                                         \
  X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB)                                           \
  X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB)                                         \
  X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB)                                           \
  X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB)                                         \
  X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB)                                           \
  X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB)                                         \
  X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB)                                           \
  X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB)                                         \
  X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB)                                       \
  X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB)                                       \
  X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB)                                       \
  X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB)                                       \
  X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB)                                     \
  X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB)                                     \
  X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB)                                     \
  X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB)                                         \
  X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB)                                           \
  X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB)                                         \
  X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB)                                           \
  X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB)                                         \
  X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB)                                         \
  X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB)                                           \
  X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB)                                         \
  X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB)                                       \
  X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB)                                       \
  X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB)                                       \
  X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)                                 \
  X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)                         \
  X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)                       \
  X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB)                                             \
  X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB)                                                 \
  X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB)                                           \
  X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB)                                                 \
  X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB)                             \
  X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB)                           \
  X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB)                             \
  X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB)                           \
  X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB)                         \
  X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB)                       \
  X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB)                         \
  X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB)                       \
  X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB)                       \
  X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB)                       \
  X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB)                   \
  X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB)                   \
  X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB)                                               \
  X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB)                                       \
  X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB)                                     \
  X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB)                                     \
  X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB)                                     \
  X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB)                         \
  X(PFNGLISPROGRAMARBPROC, glIsProgramARB)

#define OGL_OCCLUDE_PROCS(X)                                                                    \
  X(PFNGLGENQUERIESARBPROC, glGenQueriesARB)                                                   \
  X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB)                                             \
  X(PFNGLISQUERYARBPROC, glIsQueryARB)                                                         \
  X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB)                                                   \
  X(PFNGLENDQUERYARBPROC, glEndQueryARB)                                                       \
  X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB)                                                   \
  X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB)                                       \
  X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)

#define OGL_SHAD_OBJS_PROCS(X)                                                                  \
  X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                                               \
  X(PFNGLGETHANDLEARBPROC, glGetHandleARB)                                                     \
  X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                                               \
  X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)                                   \
  X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                                               \
  X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)                                             \
  X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)                                 \
  X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                                               \
  X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                                                 \
  X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)                                       \
  X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB)                                         \
  X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                                                     \
  X(PFNGLUNIFORM2FARBPROC, glUniform2fARB)                                                     \
  X(PFNGLUNIFORM3FARBPROC, glUniform3fARB)                                                     \
  X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)                                                     \
  X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)                                                     \
  X(PFNGLUNIFORM2IARBPROC, glUniform2iARB)                                                     \
  X(PFNGLUNIFORM3IARBPROC, glUniform3iARB)                                                     \
  X(PFNGLUNIFORM4IARBPROC, glUniform4iARB)                                                     \
  X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB)                                                   \
  X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB)                                                   \
  X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB)                                                   \
  X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB)                                                   \
  X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB)                                                   \
  X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB)                                                   \
  X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB)                                                   \
  X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB)                                                   \
  X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB)                                       \
  X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)                                       \
  X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB)                                       \
  X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB)                               \
  X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB)                               \
  X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                                                   \
  X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB)                                   \
  X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)                                   \
  X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB)                                       \
  X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB)                                               \
  X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB)                                               \
  X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

#define OGL_VSHADER_PROCS(X)                                                                    \
  X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB)                                   \
  X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB)                                         \
  X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)

#define OGL_GSHADER_PROCS(X) X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)

#define OGL_FRAMEBUF_PROCS(X)                                                                   \
  X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT)                                           \
  X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                                       \
  X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                                 \
  X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                                       \
  X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                                 \
  X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)                   \
  X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT)                                             \
  X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                                         \
  X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                                   \
  X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                                         \
  X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)                           \
  X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT)                               \
  X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                               \
  X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT)                               \
  X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)                         \
  X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT) \
  X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)

#define OGL_TEX_COMP_PROCS(X)                                                                   \
  X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB)                               \
  X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB)                               \
  X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB)                               \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB)                         \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB)                         \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB)                         \
  X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)

#define OGL_SBLEND_PROCS(X)                                   \
  X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT) \
  X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)

// Where the probe reads the implementation's answers. The window's own GL
// and GLX are the usual source; the probe's decisions can be run on any
// other answers (a driver that lacks a feature, a null string).
struct ogl_probe_source {
  const GLubyte* (*get_string)(GLenum name);
  void (*get_integer)(GLenum name, GLint* value);
  void (*get_float)(GLenum name, GLfloat* value);
  const char* (*glx_client_extensions)();
  void (*(*get_proc_address)(const char* name))();
};

class OGL_extensions {
 public:
  // Every entry point null, every flag 0 except threaded_avail.
  OGL_extensions();

#define OGL_DECLARE_PROC(type, name) type name = nullptr;
  OGL_VBO_PROCS(OGL_DECLARE_PROC)
  OGL_VPROG_PROCS(OGL_DECLARE_PROC)
  OGL_OCCLUDE_PROCS(OGL_DECLARE_PROC)
  OGL_SHAD_OBJS_PROCS(OGL_DECLARE_PROC)
  OGL_VSHADER_PROCS(OGL_DECLARE_PROC)
  OGL_GSHADER_PROCS(OGL_DECLARE_PROC)
  OGL_FRAMEBUF_PROCS(OGL_DECLARE_PROC)
  OGL_TEX_COMP_PROCS(OGL_DECLARE_PROC)
  OGL_SBLEND_PROCS(OGL_DECLARE_PROC)
#undef OGL_DECLARE_PROC

  int multitex_avail = 0;
  int tex_clamp_avail = 0;
  int add_env_avail = 0;
  int combine_avail = 0;
  int dis_fog_avail = 0;
  int tex_comp_avail = 0;
  int vbo_avail = 0;
  int pbo_avail = 0;
  int vprog_avail = 0;
  int fprog_avail = 0;
  int automini_avail = 0;
  int aniso_avail = 0;
  int fsaa_avail = 0;
  int sprites_avail = 0;
  int depth_tex_avail = 0;
  int occlude_avail = 0;
  int shad_objs_avail = 0;
  int vshader_avail = 0;
  int fshader_avail = 0;
  int gshader_avail = 0;
  int glsl_avail = 0;
  int first_gen_shaders = 0;
  int framebuf_avail = 0;
  int sblend_avail = 0;
  int threaded_avail = 1;  // worker threads may share the main context's objects

  int max_texture_size = 0;

  // The probe, on the context that is current on the calling thread: fills
  // the flags, limits and entry points, applies the command-line switches,
  // logs the capabilities and refuses hardware below the minimum (a fatal
  // alert, unless "--force_run"). Once, at start-up.
  void init_extensions();
  // The same decisions on the answers of `source`.
  void init_extensions(const ogl_probe_source& source);

  // A worker's GL context could not be set up: shared contexts are switched
  // off, with one warning. Does nothing once they are off.
  void threaded_ogl_failed();

  // The GL version as a number: 100 × major + 10 × minor from a text that
  // begins "major.minor"; 100 for any other text.
  static int version_number(const char* version);
};

extern OGL_extensions glExt;

// What the GL implementation reports about itself; written by the probe.
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
