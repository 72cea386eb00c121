#include "runtime/cmdline.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/cmnd.h"
#include "runtime/globals.h"

UTL_cmdline cmdline;

namespace {

// The text printed for "-h" and "--help".
const char kUsage[] =
    "Usage: Corvane [options...]\n"
    "\n"
    "Corvane can take a number of command-line flags, in the form of --flag or\n"
    "--flag=value.  OpenGL options are available for all Corvane-related\n"
    "applications; the frame-rate test is only for Corvane itself.  Here is a listof current flags:\n"
    "\n"
    "--help\n"
    "-h\n"
    "Prints this message listing all command-line options, then quits.\n"
    "\n"
    "--no_sound\n"
    "Runs without initializing sound - can help identify a problem with sound hardware.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "Normally Corvane uses all available hardware capabilities to maximize framerate.\n"
    "These options force Corvane not to use some aspects of hardware acceleration.\n"
    "This hurts framerate, but can sometimes allow you to work around driver bugs.\n"
    "--no_vbos\n"
    "Disable the use of vertex buffer objects, as defined by the OpenGL extension\n"
    "GL_ARB_vertex_buffer_object.  Vertex buffer objects keep geometry on the card\n"
    "and are used to accelerate all drawing.\n"
    "--no_fbos\n"
    "Disable the use of framebuffer obects, even if the hardware supports them.\n"
    "--no_pbos\n"
    "Disable the use of pixelbuffer obects, even if the hardware supports them.\n"
    "--no_sprites\n"
    "Disable the use of point sprites, as defined by GL_ARB_point_sprite.  Point\n"
    "sprites are used for runway lights, among other things.\n"
    "--no_pixel_counters\n"
    "Disable the use of pixel counters, as defined by GL_ARB_occlusion_query.  Pixel\n"
    "counters are used to calculate sun glare, among other things.\n"
    "--no_aniso_filtering\n"
    "Disable anisotropic filtering of textures, as defined by the OpenGL extension\n"
    "GL_EXT_texture_filter_anisotropic.  Anisotropic filtering is used to make\n"
    "runways and other textures look better at a distance.\n"
    "--no_hw_mipmap\n"
    "Disable hardware mipmap creation, as defined by GL_SGIS_generate_mipmap.\n"
    "Mipmaps are then made on the CPU, which is slower but avoids driver bugs\n"
    "in mipmap generation.\n"
    "--no_fshaders\n"
    "Disable the use of fragment shaders, even on hardware that reports having them.\n"
    "--no_vshaders\n"
    "Disable the use of vertex shaders, even on hardware that reports having them.\n"
    "--no_glsl\n"
    "Disable the use of GLSL, even on hardware theat supports it.\n"
    "--no_threaded_ogl\n"
    "Disable the use of OpenGL via multiple threads.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "In a few cases Corvane turns off certain hardware accelerations to work around\n"
    "known compatibility problems with some drivers.  These options force Corvane to\n"
    "use those accelerations anyway, if the card supports them.  Be warned: with them\n"
    "Corvane may crash.\n"
    "--use_vbos\n"
    "Force the use of VBOs, even on drivers where we have found them to be\n"
    "unstable in the past.\n"
    "--use_sprites\n"
    "Forces the use of point sprites, even on drivers where they cause bugs.\n"
    "--use_fshaders\n"
    "Force the use of fragment shaders, even if they would not normally be used.\n"
    "--use_vshaders\n"
    "Force the use of vertex shaders, even if they would not be used.\n"
    "--use_glsl\n"
    "Force the use of GLSL even on cards where we would avoid it due to driver compatibility problems.\n"
    "--force_run\n"
    "Run Corvane even on a machine that does not meet the minimum system\n"
    "requirements, such as a graphics card with fewer than two texture units.\n"
    "Corvane will try to start, but it is very likely to crash later on, and\n"
    "we cannot help you with problems that come up when running this way.\n"
    "Use this option at your own risk.\n"
    "\n"
    "FRAMERATE TEST\n"
    "--fps_test=n\n"
    "Run the framerate test number n.  n is a three-digit number: the first digit\n"
    "picks the camera angle, the second the complexity of the scenery, and the\n"
    "third the weather.  Corvane runs the test for 90 seconds, then quits and\n"
    "writes three framerates to its log file: the lowest, the average and the\n"
    "highest.  Use this to compare the speed of different machines or settings.\n"
    "In this mode the preferences file is ignored, so your own settings are\n"
    "neither used nor changed.\n"
    "--require_fps=n\n"
    "Use this together with --fps_test.  Instead of the normal test, Corvane runs\n"
    "one 30-second test with the flight model paused and then quits with exit\n"
    "code 0 when the framerate it measured was above n, or exit code 1 when it\n"
    "was below n.  This lets a script check whether a machine is fast enough\n"
    "for the settings of a test.\n";

// Stores one option, warning when the key was given before, and echoes it to
// the log.
void store_option(std::map<std::string, std::string>& options, const std::string& key,
                  const std::string& value) {
  if (options.count(key))
    xer << "WARNING: command line option " << key << "=" << value << "included twice.\n";
  options[key] = value;
  xer << "     '" << key;
  if (!value.empty()) xer << "'='" << value;
  xer << "'\n";
}

// Ends the process after a listing, with everything written so far on its way.
[[noreturn]] void finish_listing() {
  fflush(stdout);
  xer.flush();
  exit(0);
}

}  // namespace

void UTL_cmdline::init_unix(int argc, const char* const* argv) {
  // argv[0] is the program's name. A null argv or a null entry before argc
  // ends the list: there is nothing past it to read.
  for (int i = 1; argv && i < argc && argv[i]; ++i) {
    const char* arg = argv[i];
    const char* eq = strchr(arg, '=');
    if (eq)
      store_option(options, std::string(arg, eq), std::string(eq + 1));
    else
      store_option(options, std::string(arg), std::string());
  }
  init_common();
}

void UTL_cmdline::init_win(const char* line) {
  const auto is_blank = [](char c) { return isspace(static_cast<unsigned char>(c)) != 0; };
  for (const char* p = line; p && *p;) {
    while (*p && is_blank(*p)) ++p;
    if (!*p) break;
    const char* token = p;
    while (*p && !is_blank(*p)) ++p;
    const char* key_end = token;
    while (key_end < p && *key_end != '=') ++key_end;
    if (key_end == token) continue;  // no key: "=value"
    const char* value = key_end < p ? key_end + 1 : p;
    store_option(options, std::string(token, key_end), std::string(value, p));
  }
  init_common();
}

void UTL_cmdline::init_common() {
  const auto cmnds = options.find("--cmnds");
  if (cmnds != options.end()) {
    if (cmnds->second == "all") {
      for (size_t i = 0; i < cmnd.paths.size(); ++i) {
        const std::string& description = i < cmnd.descriptions.size() ? cmnd.descriptions[i] : std::string();
        printf("%-50s %s\n", cmnd.paths[i].c_str(), description.c_str());
      }
    } else {
      std::vector<std::string> names;
      cmnd.get_cmds_in_path(cmnds->second, names);
      for (const std::string& name : names) printf("%s\n", name.c_str());
    }
    finish_listing();
  }
  if (has_option("-h") || has_option("--help")) {
    fputs(kUsage, stdout);
    fputs("\n", stdout);
    finish_listing();
  }
}

int UTL_cmdline::has_option(const char* key) const {
  return key && options.count(key) ? 1 : 0;
}

std::string UTL_cmdline::get_option(const char* key) const {
  if (!key) return std::string();
  const auto it = options.find(key);
  return it == options.end() ? std::string() : it->second;
}
