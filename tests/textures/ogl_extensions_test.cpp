// The capability probe's decisions, on the answers of drivers of every kind:
// versions, extension lists, missing entry points, limits, switches, null
// strings, the hardware minimum and the software renderer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/cmdline.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "textures/ogl_extensions.h"

namespace {

// A driver as the probe sees it. Null strings are allowed.
struct fake_driver {
  const char* vendor = "Test Vendor";
  const char* renderer = "Test Renderer";
  const char* version = "2.1.2";
  const char* extensions = "";
  const char* glx = "GLX_SGIX_fbconfig GLX_SGIX_pbuffer";
  const char* glsl = "1.20";
  std::map<GLenum, GLint> ints;
  std::map<GLenum, std::vector<GLfloat>> floats;
  std::set<std::string> missing;       // entry points the driver lacks
  std::vector<std::string> looked_up;  // entry points asked for, in order
  GLint fprog[4] = {0, 0, 0, 0};       // native instructions, ALU, TEX, indirections
  GLint vprog = 0;
};

fake_driver* driver = nullptr;

const GLubyte* text(const char* s) { return reinterpret_cast<const GLubyte*>(s); }

const GLubyte* get_string(GLenum name) {
  switch (name) {
    case GL_VENDOR: return text(driver->vendor);
    case GL_RENDERER: return text(driver->renderer);
    case GL_VERSION: return text(driver->version);
    case GL_EXTENSIONS: return text(driver->extensions);
    case GL_SHADING_LANGUAGE_VERSION_ARB: return text(driver->glsl);
    default: return nullptr;
  }
}

void get_integer(GLenum name, GLint* value) {
  const auto it = driver->ints.find(name);
  *value = it == driver->ints.end() ? 0 : it->second;
}

void get_float(GLenum name, GLfloat* value) {
  const auto it = driver->floats.find(name);
  if (it == driver->floats.end()) return;
  for (std::size_t i = 0; i < it->second.size(); ++i) value[i] = it->second[i];
}

const char* glx_extensions() { return driver->glx; }

void GLAPIENTRY get_program_iv(GLenum target, GLenum name, GLint* value) {
  *value = 0;
  if (target == GL_VERTEX_PROGRAM_ARB && name == GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB) *value = driver->vprog;
  if (target != GL_FRAGMENT_PROGRAM_ARB) return;
  if (name == GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB) *value = driver->fprog[0];
  if (name == GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB) *value = driver->fprog[1];
  if (name == GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB) *value = driver->fprog[2];
  if (name == GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB) *value = driver->fprog[3];
}

void GLAPIENTRY any_entry_point() {}

void (*get_proc_address(const char* name))() {
  driver->looked_up.push_back(name);
  if (driver->missing.count(name)) return nullptr;
  if (std::string(name) == "glGetProgramivARB") return reinterpret_cast<void (*)()>(get_program_iv);
  return any_entry_point;
}

const ogl_probe_source kFakeSource{get_string, get_integer, get_float, glx_extensions, get_proc_address};

class Probe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    // Warnings leave their memory report in the working folder.
    ASSERT_TRUE(getcwd(start_folder_, sizeof start_folder_));
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    saved_options_ = cmdline.options;
    saved_ren_ = ren;
    cmdline.options.clear();
    driver = &driver_;
  }
  void TearDown() override {
    cmdline.options = saved_options_;
    ren = saved_ren_;
    driver = nullptr;
    EXPECT_EQ(chdir(start_folder_), 0);
  }

  void option(const std::string& name) { cmdline.options[name] = ""; }

  // Runs the probe; its log lines and what it printed come back.
  void probe() {
    LogCapture capture(dir_ / "log.txt");
    testing::internal::CaptureStderr();
    ext_.init_extensions(kFakeSource);
    printed_ = testing::internal::GetCapturedStderr();
    log_ = capture.text();
  }

  std::vector<std::string> log_lines() const {
    std::vector<std::string> lines;
    std::istringstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool logged(const std::string& line) const { return log_.find(line + "\n") != std::string::npos; }
  bool asked_for(const std::string& name) const {
    for (const std::string& n : driver_.looked_up)
      if (n == name) return true;
    return false;
  }

  TempDir dir_;
  char start_folder_[4096] = {};
  std::map<std::string, std::string> saved_options_;
  ren_struct saved_ren_{};
  fake_driver driver_;
  OGL_extensions ext_;
  std::string log_, printed_;
};

}  // namespace

TEST(ProbeVersion, HundredTimesMajorPlusTenTimesMinor) {
  EXPECT_EQ(OGL_extensions::version_number("2.1.2 NVIDIA 169.12"), 210);
  EXPECT_EQ(OGL_extensions::version_number("1.5.0"), 150);
  EXPECT_EQ(OGL_extensions::version_number("2.0"), 200);
  EXPECT_EQ(OGL_extensions::version_number("1.10"), 200) << "a minor of 10 adds 100";
  EXPECT_EQ(OGL_extensions::version_number("4.5 (Compatibility Profile) Mesa 22.3.6"), 450);
  EXPECT_EQ(OGL_extensions::version_number("OpenGL ES 2.0"), 100);
  EXPECT_EQ(OGL_extensions::version_number("2"), 100);
  EXPECT_EQ(OGL_extensions::version_number(""), 100);
  EXPECT_EQ(OGL_extensions::version_number(nullptr), 100);
}

TEST_F(Probe, AVersionTwoOneDriverHasItsFeaturesByNumberAndLogsThirtyThreeLines) {
  driver_.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4},
                  {GL_MAX_TEXTURE_SIZE, 2048},
                  {GL_MAX_VERTEX_ATTRIBS_ARB, 16},
                  {GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, 512},
                  {GL_MAX_VARYING_FLOATS_ARB, 32},
                  {GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, 8},
                  {GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, 4},
                  {GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, 1024}};
  driver_.floats = {{GL_POINT_SIZE_RANGE, {1.0f, 63.375f}}};
  probe();

  for (int OGL_extensions::*on :
       {&OGL_extensions::multitex_avail, &OGL_extensions::tex_clamp_avail, &OGL_extensions::add_env_avail,
        &OGL_extensions::combine_avail, &OGL_extensions::tex_comp_avail, &OGL_extensions::vbo_avail,
        &OGL_extensions::pbo_avail, &OGL_extensions::automini_avail, &OGL_extensions::fsaa_avail,
        &OGL_extensions::sprites_avail, &OGL_extensions::depth_tex_avail, &OGL_extensions::occlude_avail,
        &OGL_extensions::shad_objs_avail, &OGL_extensions::vshader_avail, &OGL_extensions::fshader_avail,
        &OGL_extensions::glsl_avail})
    EXPECT_EQ(ext_.*on, 1);
  for (int OGL_extensions::*off :
       {&OGL_extensions::dis_fog_avail, &OGL_extensions::vprog_avail, &OGL_extensions::fprog_avail,
        &OGL_extensions::aniso_avail, &OGL_extensions::gshader_avail, &OGL_extensions::framebuf_avail,
        &OGL_extensions::sblend_avail, &OGL_extensions::first_gen_shaders, &OGL_extensions::threaded_avail})
    EXPECT_EQ(ext_.*off, 0);
  EXPECT_NE(ext_.glBindBufferARB, nullptr);
  EXPECT_NE(ext_.glGetQueryObjectuivARB, nullptr);
  EXPECT_NE(ext_.glGetAttribLocationARB, nullptr);
  EXPECT_NE(ext_.glGetCompressedTexImageARB, nullptr);
  EXPECT_EQ(ext_.glGenProgramsARB, nullptr) << "vertex programs come by extension only";
  EXPECT_FALSE(asked_for("glGenRenderbuffersEXT"));
  EXPECT_EQ(ext_.max_texture_size, 2048);
  EXPECT_EQ(ren.tex_units, 4);
  EXPECT_EQ(ren.tex_image_units, 4);
  EXPECT_EQ(ren.tex_coords, 4);
  EXPECT_EQ(ren.max_aniso, 1.0f);
  EXPECT_STREQ(ren.gl_vendor, "Test Vendor");

  const std::vector<std::string> expected = {
      "OpenGL Vendor    : Test Vendor",
      "OpenGL Render    : Test Renderer",
      "OpenGL Version   : 2.1.2 (210)",
      "OpenGL Extensions: ",
      "GLX Extensions: GLX_SGIX_fbconfig GLX_SGIX_pbuffer",
      "tex_clamp_avail  : 1",
      "add_env_avail    : 1",
      "combine_avail    : 1",
      "dis_fog_avail    : 0",
      "tex_comp_avail   : 1",
      "vbo_avail        : 1",
      "pbo_avail        : 1",
      "vprog_avail      : 0 (0)",
      "fprog_avail      : 0 (0/0/0/0)",
      "automini_avail   : 1",
      "aniso_avail      : 0",
      "fsaa_avail       : 1",
      "sprites_avail    : 1",
      "depth_tex_avail  : 1",
      "occlude_avail    : 1",
      "shad_objs_avail  : 1",
      "vshader_avail    : 1 (16/512/32/8/4/1024)",
      "fshader_avail    : 1 (1024)",
      "gshader_avail    : 0",
      "glsl_avail       : 1 (1.20)",
      "framebuf_avail   : 0",
      "sblend_avail     : 0",
      "threaded_avail   : 0",
      "first-gen shaders: 0",
      "max tex units    : 4 (4/4)",
      "max iso filtering: 1",
      "max texture size : 2048",
      "max point size   : 63.375",
  };
  EXPECT_EQ(log_lines(), expected);
  EXPECT_EQ(printed_, "") << "no alert";
}

TEST_F(Probe, PixelBuffersNeedVersionTwoOneOrTheirExtension) {
  driver_.version = "2.0";
  probe();
  EXPECT_EQ(ext_.pbo_avail, 0);
  EXPECT_EQ(ext_.vbo_avail, 1);

  OGL_extensions again;
  driver_.extensions = "GL_ARB_pixel_buffer_object";
  LogCapture capture(dir_ / "again.txt");
  again.init_extensions(kFakeSource);
  EXPECT_EQ(again.pbo_avail, 1);
}

TEST_F(Probe, DisableVboSkipsTheBufferEntryPointsWhileNoVbosOnlyClearsTheFlags) {
  option("--disable-vbo");
  probe();
  EXPECT_EQ(ext_.vbo_avail, 0);
  EXPECT_EQ(ext_.pbo_avail, 0);
  EXPECT_FALSE(asked_for("glBindBufferARB"));
  EXPECT_EQ(ext_.glBindBufferARB, nullptr);
  const std::vector<std::string> lines = log_lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "VBOs disabled on user's request.");
  EXPECT_EQ(lines[1],
            "Disabling PBOs because VBOs are not available.  This probably means that VBOs are disabled for "
            "compatibility reasons.");

  cmdline.options.clear();
  option("--no_vbos");
  OGL_extensions other;
  ext_ = other;
  driver_.looked_up.clear();
  probe();
  EXPECT_EQ(ext_.vbo_avail, 0);
  EXPECT_EQ(ext_.pbo_avail, 0);
  EXPECT_NE(ext_.glBindBufferARB, nullptr) << "the switch comes after the loading";
  EXPECT_EQ(log_.find("VBOs"), std::string::npos) << log_;
}

TEST_F(Probe, AMissingEntryPointDropsItsGroupAndWhatDependsOnIt) {
  driver_.missing = {"glUniform1fARB"};
  probe();
  EXPECT_EQ(ext_.shad_objs_avail, 0);
  EXPECT_EQ(ext_.glUniform1fARB, nullptr);
  EXPECT_NE(ext_.glUniform2fARB, nullptr) << "the rest of the group is still loaded";
  EXPECT_NE(ext_.glGetShaderSourceARB, nullptr);
  EXPECT_EQ(ext_.vshader_avail, 0);
  EXPECT_EQ(ext_.fshader_avail, 0);
  EXPECT_EQ(ext_.gshader_avail, 0);
  EXPECT_EQ(ext_.glsl_avail, 0);
  EXPECT_EQ(log_lines().front(), "WARNING: extension missing proc glUniform1fARB");
  EXPECT_TRUE(logged("glsl_avail       : 0 (n/a)"));
  EXPECT_TRUE(logged("vshader_avail    : 0 (0/0/0/0/0/0)"));
}

TEST_F(Probe, SeparateBlendingLooksForTheFunctionOnlyAfterTheEquation) {
  driver_.extensions = "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
  driver_.missing = {"glBlendEquationSeparateEXT"};
  probe();
  EXPECT_EQ(ext_.sblend_avail, 0);
  EXPECT_FALSE(asked_for("glBlendFuncSeparateEXT"));
  EXPECT_EQ(ext_.glBlendFuncSeparateEXT, nullptr);
  EXPECT_EQ(log_.find("WARNING: extension missing proc glBlendEquationSeparateEXT\n"), 0u) << log_;

  // One of the two names alone is not enough.
  OGL_extensions other;
  ext_ = other;
  driver_.missing.clear();
  driver_.extensions = "GL_EXT_blend_func_separate";
  probe();
  EXPECT_EQ(ext_.sblend_avail, 0);
}

TEST_F(Probe, FragmentProgramLimitsDecideTheProgramsAndTheFirstGenerationFlag) {
  driver_.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  driver_.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16},
                  {GL_MAX_TEXTURE_COORDS_ARB, 8}};
  driver_.vprog = 128;
  const struct {
    GLint native;
    bool use_fprogs;
    int fprog, first_gen;
  } cases[] = {{0, false, 0, 1}, {0, true, 1, 1}, {96, false, 1, 1}, {100, false, 1, 0}};
  for (const auto& c : cases) {
    cmdline.options.clear();
    if (c.use_fprogs) option("--use_fprogs");
    driver_.fprog[0] = c.native;
    driver_.fprog[1] = 50;
    driver_.fprog[2] = 40;
    driver_.fprog[3] = 4;
    ext_ = OGL_extensions();
    probe();
    EXPECT_EQ(ext_.fprog_avail, c.fprog) << c.native;
    EXPECT_EQ(ext_.first_gen_shaders, c.first_gen) << c.native;
    EXPECT_EQ(ext_.vprog_avail, 1);
    EXPECT_TRUE(logged("fprog_avail      : " + std::to_string(c.fprog) + " (" + std::to_string(c.native) +
                       "/50/40/4)"))
        << log_;
    EXPECT_TRUE(logged("vprog_avail      : 1 (128)"));
  }
  // The limits read when the programs are on.
  EXPECT_EQ(ren.tex_image_units, 16);
  EXPECT_EQ(ren.tex_coords, 8);

  driver_.vprog = 0;
  ext_ = OGL_extensions();
  probe();
  EXPECT_EQ(ext_.vprog_avail, 0);
  ext_ = OGL_extensions();
  option("--use_vprogs");
  probe();
  EXPECT_EQ(ext_.vprog_avail, 1);
}

TEST_F(Probe, FirstGenerationShadersByVendor) {
  driver_.vendor = "NVIDIA Corporation";
  probe();
  EXPECT_EQ(ext_.first_gen_shaders, 1);

  ext_ = OGL_extensions();
  driver_.extensions = "GL_NV_fragment_program2";
  probe();
  EXPECT_EQ(ext_.first_gen_shaders, 0);
}

TEST_F(Probe, SwitchesClearTheirFlagsAfterTheLimitsAreRead) {
  driver_.extensions =
      "GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic GL_EXT_framebuffer_object "
      "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
  driver_.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16}};
  driver_.floats = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, {16.0f}}};
  driver_.fprog[0] = 200;
  driver_.vprog = 200;
  probe();
  EXPECT_EQ(ext_.aniso_avail, 1);
  EXPECT_EQ(ren.max_aniso, 16.0f);
  EXPECT_TRUE(logged("max iso filtering: 16"));

  const struct {
    const char* option;
    int OGL_extensions::*flag;
  } switches[] = {
      {"--no_vbos", &OGL_extensions::vbo_avail},          {"--no_pbos", &OGL_extensions::pbo_avail},
      {"--no_sprites", &OGL_extensions::sprites_avail},   {"--no_pixel_counters", &OGL_extensions::occlude_avail},
      {"--no_aniso_filtering", &OGL_extensions::aniso_avail}, {"--no_hw_mipmap", &OGL_extensions::automini_avail},
      {"--no_vshaders", &OGL_extensions::vprog_avail},    {"--no_fshaders", &OGL_extensions::fprog_avail},
      {"--no_glsl", &OGL_extensions::glsl_avail},         {"--no_fbos", &OGL_extensions::framebuf_avail},
      {"--no_sblend", &OGL_extensions::sblend_avail},
  };
  for (const auto& s : switches) {
    cmdline.options.clear();
    option(s.option);
    ext_ = OGL_extensions();
    probe();
    EXPECT_EQ(ext_.*s.flag, 0) << s.option;
    EXPECT_EQ(ext_.threaded_avail, 0);
  }
  // The last switches left their readings alone.
  cmdline.options.clear();
  option("--no_fshaders");
  ext_ = OGL_extensions();
  probe();
  EXPECT_EQ(ext_.fprog_avail, 0);
  EXPECT_EQ(ext_.fshader_avail, 1) << "the fragment-program switch leaves the shaders";
  EXPECT_EQ(ren.tex_image_units, 16) << "read before the switches";
  cmdline.options.clear();
  option("--no_aniso_filtering");
  ext_ = OGL_extensions();
  probe();
  EXPECT_EQ(ren.max_aniso, 1.0f);
}

TEST_F(Probe, ShadersRaiseTheTextureUnitsToTheImageUnitsAfterTheLog) {
  driver_.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  driver_.fprog[0] = 200;
  driver_.vprog = 200;
  driver_.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16},
                  {GL_MAX_TEXTURE_COORDS_ARB, 8}};
  probe();
  EXPECT_TRUE(logged("max tex units    : 4 (16/8)")) << log_;
  EXPECT_EQ(ren.tex_units, 16);

  // No units at all: one, while the copies keep the zero.
  ext_ = OGL_extensions();
  driver_.extensions = "";
  driver_.ints.clear();
  probe();
  EXPECT_EQ(ren.tex_units, 1);
  EXPECT_EQ(ren.tex_image_units, 0);
  EXPECT_EQ(ren.tex_coords, 0);
}

TEST_F(Probe, SharedContextsAreOffWhateverTheDriverAndTheFailureThenSaysNothing) {
  probe();
  EXPECT_EQ(ext_.threaded_avail, 0);
  EXPECT_FALSE(logged("Disabling threaded OGL - we need pbuffer support for this."));

  ext_ = OGL_extensions();
  driver_.glx = "GLX_SGIX_fbconfig";
  probe();
  EXPECT_EQ(ext_.threaded_avail, 0);
  EXPECT_TRUE(logged("Disabling threaded OGL - we need pbuffer support for this."));

  testing::internal::CaptureStderr();
  ext_.threaded_ogl_failed();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Probe, ASoftwareRendererIsWarnedAboutAndTheRunGoesOn) {
  for (const char* name : {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"}) {
    driver_.renderer = name;
    ext_ = OGL_extensions();
    probe();
    EXPECT_NE(printed_.find("I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
                            "installed drivers."),
              std::string::npos)
        << name;
    EXPECT_NE(printed_.find("See www.example.com for a list of the currently-compatible 3-D video cards."),
              std::string::npos);
  }
  for (const char* name : {"Generic renderer", "llvmpipe (LLVM 15.0.6, 256 bits)", ""}) {
    driver_.renderer = name;
    ext_ = OGL_extensions();
    probe();
    EXPECT_EQ(printed_, "") << name;
  }
}

TEST_F(Probe, BelowTheMinimumWithForceRunBothBoxesShowHardwareFirst) {
  driver_.version = "1.0";
  driver_.renderer = "Generic";
  option("--force_run");
  probe();
  const std::size_t hardware = printed_.find("Your graphics hardware cannot support Corvane. Corvane requires a "
                                             "graphics card with 16 MB of VRAM and multitexturing.");
  const std::size_t software = printed_.find("I can not find a 3-D accelerator card");
  ASSERT_NE(hardware, std::string::npos) << printed_;
  ASSERT_NE(software, std::string::npos) << printed_;
  EXPECT_LT(hardware, software);
  EXPECT_NE(printed_.find("You have used the force-run command inline option to run Corvane anyway, but it may "
                          "crash."),
            std::string::npos);
  EXPECT_NE(printed_.find("Go to http://www.example.com/ for system requirements and tech support information."),
            std::string::npos);

  // Versions 1.1 and 1.2 without multitexturing pass.
  cmdline.options.clear();
  driver_.renderer = "Test Renderer";
  for (const char* version : {"1.1", "1.2"}) {
    driver_.version = version;
    ext_ = OGL_extensions();
    probe();
    EXPECT_EQ(ext_.multitex_avail, 0);
    EXPECT_EQ(printed_, "") << version;
  }
}

TEST_F(Probe, NullStringsReadAsEmpty) {
  driver_.vendor = nullptr;
  driver_.renderer = nullptr;
  driver_.version = nullptr;
  driver_.extensions = nullptr;
  driver_.glx = nullptr;
  driver_.glsl = nullptr;
  option("--force_run");
  probe();
  EXPECT_STREQ(ren.gl_vendor, "");
  EXPECT_STREQ(ren.gl_renderer, "");
  EXPECT_STREQ(ren.gl_version, "");
  EXPECT_STREQ(ren.gl_extensions, "");
  const std::vector<std::string> lines = log_lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "OpenGL Version   :  (100)"), lines.end()) << log_;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "GLX Extensions: "), lines.end());
  EXPECT_TRUE(logged("Disabling threaded OGL - we need pbuffer support for this."));
  EXPECT_EQ(ext_.multitex_avail, 0);
  EXPECT_EQ(ext_.vbo_avail, 0);
  EXPECT_NE(printed_.find("Your system does not meet Corvane's hardware requirements."), std::string::npos);

  // With shaders on and no shading-language version.
  ext_ = OGL_extensions();
  driver_.version = "2.1";
  probe();
  EXPECT_TRUE(logged("glsl_avail       : 1 (<null string>)")) << log_;
}

TEST(ProbeDeathTest, BelowTheMinimumEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  fake_driver old_card;
  old_card.version = "1.0.3";
  old_card.extensions = "GL_EXT_texture_edge_clamp";
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) _exit(3);
        driver = &old_card;
        cmdline.options.clear();
        OGL_extensions ext;
        ext.init_extensions(kFakeSource);
        _exit(0);  // not reached
      },
      ::testing::ExitedWithCode(1),
      "Your graphics hardware cannot support Corvane(.|\n)*First, try updating your graphics drivers\\.(.|\n)*"
      "For tech support, email support@example.com");
}
