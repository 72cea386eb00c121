#include "textures/ogl_extensions.h"

#include <GL/glx.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "engine/web_host.h"
#include "runtime/alert.h"
#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/threads.h"

OGL_extensions glExt;
ren_struct ren = {1.0f, 1, 1, 1, "", "", "", ""};

namespace {

// The capability table: a flag is on from a version number, or when one of
// its extensions is named (a plain substring search, as the drivers' lists
// have always been read).
struct capability {
  int OGL_extensions::*flag;
  int version;  // 0: no version brings the feature
  const char* extensions[2];
};

const capability kCapabilities[] = {
    {&OGL_extensions::multitex_avail, 130, {"GL_ARB_multitexture", nullptr}},
    {&OGL_extensions::tex_clamp_avail, 120, {"GL_EXT_texture_edge_clamp", "GL_SGIS_texture_edge_clamp"}},
    {&OGL_extensions::add_env_avail, 130, {"GL_ARB_texture_env_add", "GL_EXT_texture_env_add"}},
    {&OGL_extensions::combine_avail, 130, {"GL_ARB_texture_env_combine", "GL_EXT_texture_env_combine"}},
    {&OGL_extensions::dis_fog_avail, 0, {"GL_NV_fog_distance", nullptr}},
    {&OGL_extensions::tex_comp_avail, 130, {"GL_ARB_texture_compression", nullptr}},
    {&OGL_extensions::vbo_avail, 150, {"GL_ARB_vertex_buffer_object", nullptr}},
    {&OGL_extensions::pbo_avail, 210, {"GL_ARB_pixel_buffer_object", nullptr}},
    {&OGL_extensions::vprog_avail, 0, {"GL_ARB_vertex_program", nullptr}},
    {&OGL_extensions::fprog_avail, 0, {"GL_ARB_fragment_program", nullptr}},
    {&OGL_extensions::automini_avail, 140, {"GL_SGIS_generate_mipmap", nullptr}},
    {&OGL_extensions::aniso_avail, 0, {"GL_EXT_texture_filter_anisotropic", nullptr}},
    {&OGL_extensions::fsaa_avail, 130, {"GL_ARB_multisample", nullptr}},
    {&OGL_extensions::sprites_avail, 200, {"GL_ARB_point_sprite", nullptr}},
    {&OGL_extensions::depth_tex_avail, 140, {"GL_ARB_depth_texture", nullptr}},
    {&OGL_extensions::occlude_avail, 150, {"GL_ARB_occlusion_query", nullptr}},
    {&OGL_extensions::shad_objs_avail, 200, {"GL_ARB_shader_objects", nullptr}},
    {&OGL_extensions::vshader_avail, 200, {"GL_ARB_vertex_shader", nullptr}},
    {&OGL_extensions::fshader_avail, 200, {"GL_ARB_fragment_shader", nullptr}},
    {&OGL_extensions::gshader_avail, 0, {"GL_EXT_geometry_shader4", nullptr}},
    {&OGL_extensions::glsl_avail, 200, {"GL_ARB_shading_language_100", nullptr}},
    {&OGL_extensions::framebuf_avail, 0, {"GL_EXT_framebuffer_object", nullptr}},
};

// The switches that only clear flags, in the order they are applied.
struct off_switch {
  const char* option;
  int OGL_extensions::*flags[2];
};

const off_switch kOffSwitches[] = {
    {"--no_vbos", {&OGL_extensions::vbo_avail, &OGL_extensions::pbo_avail}},
    {"--no_pbos", {&OGL_extensions::pbo_avail, nullptr}},
    {"--no_sprites", {&OGL_extensions::sprites_avail, nullptr}},
    {"--no_pixel_counters", {&OGL_extensions::occlude_avail, nullptr}},
    {"--no_aniso_filtering", {&OGL_extensions::aniso_avail, nullptr}},
    {"--no_hw_mipmap", {&OGL_extensions::automini_avail, nullptr}},
    {"--no_vshaders", {&OGL_extensions::vprog_avail, nullptr}},
    {"--no_fshaders", {&OGL_extensions::fprog_avail, nullptr}},
    {"--no_glsl", {&OGL_extensions::glsl_avail, nullptr}},
    {"--no_fbos", {&OGL_extensions::framebuf_avail, nullptr}},
    {"--no_threaded_ogl", {&OGL_extensions::threaded_avail, nullptr}},
    {"--no_sblend", {&OGL_extensions::sblend_avail, nullptr}},
};

bool has(const char* haystack, const char* needle) { return std::strstr(haystack, needle) != nullptr; }

// A string the implementation may not give: read as empty.
const char* gl_text(const ogl_probe_source& source, GLenum name) {
  const GLubyte* s = source.get_string(name);
  return s ? reinterpret_cast<const char*>(s) : "";
}

GLint get_int(const ogl_probe_source& source, GLenum name) {
  GLint value = 0;
  source.get_integer(name, &value);
  return value;
}

// Floats in the log keep the stream's default look (six significant digits,
// no trailing zeros), whatever notation the log is set to.
std::string float_text(float value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

// Loads one entry point of a group. A missing one is logged and switches its
// group off; the rest of the group is still loaded.
template <typename Proc>
void load_proc(const ogl_probe_source& source, const char* name, Proc& proc, int& group_flag) {
  proc = reinterpret_cast<Proc>(source.get_proc_address(name));
  if (!proc) {
    xer << "WARNING: extension missing proc " << name << "\n";
    group_flag = 0;
  }
}

// The window's own GL and GLX.
const GLubyte* window_get_string(GLenum name) { return glGetString(name); }
void window_get_integer(GLenum name, GLint* value) { glGetIntegerv(name, value); }
void window_get_float(GLenum name, GLfloat* value) { glGetFloatv(name, value); }
const char* window_glx_client_extensions() {
  Display* display = static_cast<Display*>(mnw.display);
  return display ? glXGetClientString(display, GLX_EXTENSIONS) : nullptr;
}
void (*window_get_proc_address(const char* name))() {
  return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

}  // namespace

OGL_extensions::OGL_extensions() = default;

int OGL_extensions::version_number(const char* version) {
  int major = 0, minor = 0;
  if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2) return 100 * major + 10 * minor;
  return 100;
}

void OGL_extensions::init_extensions() {
  const ogl_probe_source window_source{window_get_string, window_get_integer, window_get_float,
                                       window_glx_client_extensions, window_get_proc_address};
  init_extensions(window_source);
}

void OGL_extensions::init_extensions(const ogl_probe_source& source) {
  // Strings. A driver that answers with no string at all reads as empty:
  // the features then come from the version alone, which is 100.
  ren.gl_vendor = gl_text(source, GL_VENDOR);
  ren.gl_renderer = gl_text(source, GL_RENDERER);
  ren.gl_version = gl_text(source, GL_VERSION);
  ren.gl_extensions = gl_text(source, GL_EXTENSIONS);
  const char* glx_extensions = source.glx_client_extensions();
  if (!glx_extensions) glx_extensions = "";
  const char* const ext = ren.gl_extensions;

  const int version = version_number(ren.gl_version);

  for (const capability& c : kCapabilities) {
    int on = c.version != 0 && version >= c.version;
    for (const char* name : c.extensions)
      if (name && has(ext, name)) on = 1;
    this->*c.flag = on;
  }
  sblend_avail = has(ext, "GL_EXT_blend_func_separate") && has(ext, "GL_EXT_blend_equation_separate") ? 1 : 0;

  if (cmdline.has_option("--disable-vbo")) {
    xer << "VBOs disabled on user's request.\n";
    vbo_avail = 0;
  }

  if (glsl_avail && has(ren.gl_vendor, "NVIDIA") && !has(ext, "GL_NV_fragment_program2")) first_gen_shaders = 1;

  if (!has(glx_extensions, "GLX_SGIX_fbconfig") || !has(glx_extensions, "GLX_SGIX_pbuffer")) {
    xer << "Disabling threaded OGL - we need pbuffer support for this.\n";
    threaded_avail = 0;
  }

  // Entry points, group by group, each only while its flag is on.
#define OGL_LOAD_PROC(type, name) load_proc(source, #name, name, group_flag);
  {
    int& group_flag = vbo_avail;
    if (group_flag) { OGL_VBO_PROCS(OGL_LOAD_PROC) }
  }
  if (pbo_avail && !vbo_avail) {
    xer << "Disabling PBOs because VBOs are not available.  This probably means that VBOs are disabled for "
           "compatibility reasons.\n";
    pbo_avail = 0;
  }
  {
    int& group_flag = vprog_avail;
    if (group_flag) { OGL_VPROG_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = occlude_avail;
    if (group_flag) { OGL_OCCLUDE_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = shad_objs_avail;
    if (group_flag) { OGL_SHAD_OBJS_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = gshader_avail;
    if (group_flag) { OGL_GSHADER_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = vshader_avail;
    if (group_flag) { OGL_VSHADER_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = framebuf_avail;
    if (group_flag) { OGL_FRAMEBUF_PROCS(OGL_LOAD_PROC) }
  }
  {
    int& group_flag = tex_comp_avail;
    if (group_flag) { OGL_TEX_COMP_PROCS(OGL_LOAD_PROC) }
  }
#undef OGL_LOAD_PROC
  // The blend function is looked up only when the blend equation exists.
  if (sblend_avail) {
    load_proc(source, "glBlendEquationSeparateEXT", glBlendEquationSeparateEXT, sblend_avail);
    if (glBlendEquationSeparateEXT)
      load_proc(source, "glBlendFuncSeparateEXT", glBlendFuncSeparateEXT, sblend_avail);
  }

  if (!vprog_avail) fprog_avail = 0;
  if (!shad_objs_avail) {
    fshader_avail = 0;
    vshader_avail = 0;
    gshader_avail = 0;
  }
  if (!vshader_avail || !fshader_avail) glsl_avail = 0;

  // Program limits.
  GLint fprog_native = 0, fprog_alu = 0, fprog_tex = 0, fprog_indirections = 0, vprog_native = 0;
  if (fprog_avail && glGetProgramivARB) {
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &fprog_native);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, &fprog_alu);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, &fprog_tex);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, &fprog_indirections);
    if (fprog_native == 0 && !cmdline.has_option("--use_fprogs")) fprog_avail = 0;
    if (fprog_native < 100) first_gen_shaders = 1;
  }
  if (vprog_avail && glGetProgramivARB) {
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &vprog_native);
    if (vprog_native == 0 && !cmdline.has_option("--use_vprogs")) vprog_avail = 0;
  }

  // Shader limits, for the log.
  GLint vs_attribs = 0, vs_uniforms = 0, varyings = 0, combined_units = 0, vs_units = 0, fs_uniforms = 0;
  if (vshader_avail) {
    vs_attribs = get_int(source, GL_MAX_VERTEX_ATTRIBS_ARB);
    vs_uniforms = get_int(source, GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB);
    varyings = get_int(source, GL_MAX_VARYING_FLOATS_ARB);
    combined_units = get_int(source, GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB);
    vs_units = get_int(source, GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB);
  }
  if (fshader_avail) fs_uniforms = get_int(source, GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB);
  std::string glsl_version = "n/a";
  if (glsl_avail) {
    const GLubyte* s = source.get_string(GL_SHADING_LANGUAGE_VERSION_ARB);
    glsl_version = s ? reinterpret_cast<const char*>(s) : "<null string>";
  }

  // Limits.
  ren.max_aniso = 1.0f;
  ren.tex_units = get_int(source, GL_MAX_TEXTURE_UNITS_ARB);
  ren.tex_image_units = fprog_avail ? get_int(source, GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : ren.tex_units;
  ren.tex_coords = vprog_avail ? get_int(source, GL_MAX_TEXTURE_COORDS_ARB) : ren.tex_units;
  if (aniso_avail) source.get_float(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &ren.max_aniso);
  max_texture_size = get_int(source, GL_MAX_TEXTURE_SIZE);
  GLfloat point_sizes[2] = {0.0f, 0.0f};
  source.get_float(GL_POINT_SIZE_RANGE, point_sizes);
  if (ren.tex_units == 0) ren.tex_units = 1;

  for (const off_switch& s : kOffSwitches) {
    if (!cmdline.has_option(s.option)) continue;
    for (int OGL_extensions::*flag : s.flags)
      if (flag) this->*flag = 0;
  }
  if (cmdline.has_option("--no_aniso_filtering")) ren.max_aniso = 1.0f;

  // Worker threads never share the main context in this program.
  threaded_avail = 0;

  xer << "OpenGL Vendor    : " << ren.gl_vendor << "\n";
  xer << "OpenGL Render    : " << ren.gl_renderer << "\n";
  xer << "OpenGL Version   : " << ren.gl_version << " (" << version << ")\n";
  xer << "OpenGL Extensions: " << ren.gl_extensions << "\n";
  xer << "GLX Extensions: " << glx_extensions << "\n";
  xer << "tex_clamp_avail  : " << tex_clamp_avail << "\n";
  xer << "add_env_avail    : " << add_env_avail << "\n";
  xer << "combine_avail    : " << combine_avail << "\n";
  xer << "dis_fog_avail    : " << dis_fog_avail << "\n";
  xer << "tex_comp_avail   : " << tex_comp_avail << "\n";
  xer << "vbo_avail        : " << vbo_avail << "\n";
  xer << "pbo_avail        : " << pbo_avail << "\n";
  xer << "vprog_avail      : " << vprog_avail << " (" << vprog_native << ")\n";
  xer << "fprog_avail      : " << fprog_avail << " (" << fprog_native << "/" << fprog_alu << "/" << fprog_tex << "/"
      << fprog_indirections << ")\n";
  xer << "automini_avail   : " << automini_avail << "\n";
  xer << "aniso_avail      : " << aniso_avail << "\n";
  xer << "fsaa_avail       : " << fsaa_avail << "\n";
  xer << "sprites_avail    : " << sprites_avail << "\n";
  xer << "depth_tex_avail  : " << depth_tex_avail << "\n";
  xer << "occlude_avail    : " << occlude_avail << "\n";
  xer << "shad_objs_avail  : " << shad_objs_avail << "\n";
  xer << "vshader_avail    : " << vshader_avail << " (" << vs_attribs << "/" << vs_uniforms << "/" << varyings << "/"
      << combined_units << "/" << vs_units << "/" << fs_uniforms << ")\n";
  xer << "fshader_avail    : " << fshader_avail << " (" << fs_uniforms << ")\n";
  xer << "gshader_avail    : " << gshader_avail << "\n";
  xer << "glsl_avail       : " << glsl_avail << " (" << glsl_version << ")\n";
  xer << "framebuf_avail   : " << framebuf_avail << "\n";
  xer << "sblend_avail     : " << sblend_avail << "\n";
  xer << "threaded_avail   : " << threaded_avail << "\n";
  xer << "first-gen shaders: " << first_gen_shaders << "\n";
  xer << "max tex units    : " << ren.tex_units << " (" << ren.tex_image_units << "/" << ren.tex_coords << ")\n";
  xer << "max iso filtering: " << float_text(ren.max_aniso) << "\n";
  xer << "max texture size : " << max_texture_size << "\n";
  xer << "max point size   : " << float_text(point_sizes[1]) << "\n";

  if (glsl_avail && ren.tex_units <= ren.tex_image_units) ren.tex_units = ren.tex_image_units;

  if (!multitex_avail && version < 110) {
    const std::string first =
        "Your graphics hardware cannot support Corvane. Corvane requires a graphics card with 16 MB of VRAM and "
        "multitexturing.";
    if (cmdline.has_option("--force_run")) {
      MACIBM_alert(0, first, "Your system does not meet Corvane's hardware requirements.",
                   "You have used the force-run command inline option to run Corvane anyway, but it may crash.",
                   std::string("Go to ") + kMakerSite + " for system requirements and tech support information.",
                   t_alert);
    } else {
      MACIBM_alert(0, first, "First, try updating your graphics drivers.",
                   "If this does not help, check your graphics card specifications.",
                   "For tech support, email support@example.com", t_exit);
    }
  }

  const std::string renderer = ren.gl_renderer;
  if (renderer == "GENERIC" || renderer == "Generic" || renderer == "generic" || renderer == "Mesa GLX Indirect") {
    MACIBM_alert(0, "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.",
                 "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.",
                 "For you to fly realistically, you must use Corvane version Velmar, or get a 3-D accelerator card "
                 "that can handle OpenGL.",
                 std::string("See ") + kMakerHost + " for a list of the currently-compatible 3-D video cards.",
                 t_alert);
  }
}

int OGL_threaded_avail() { return glExt.threaded_avail; }

void OGL_threaded_ogl_failed() { glExt.threaded_ogl_failed(); }

void OGL_extensions::threaded_ogl_failed() {
  if (!threaded_avail) return;
  threaded_avail = 0;
  MACIBM_alert(0, "There was a problem setting up OpenGL.",
               "You can still fly, but you may experience pauses during flight while scenery loads.", "",
               "(Please send your log.txt file to Brightwell Labs for debugging purposes.)", t_alert);
}
