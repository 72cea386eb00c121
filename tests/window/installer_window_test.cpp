// The installer program's window on a private X server: the window and its
// window-manager properties, the log header and the capability lines, the
// full-screen request, the orderly end and the runs without a display.
// Google Test first: the X headers define None and Bool as macros.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/threads.h"
#include "support/installer_run.h"
#include "support/wait.h"
#include "support/window_manager.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/ogl_extensions.h"

namespace {

// What the X server's GL says about itself, asked through a context of the
// test's own on the same server.
struct gl_facts {
  std::string vendor, renderer, version, extensions, glx_extensions;
  int max_texture_size = 0;
};

gl_facts ask_gl(Display* display) {
  gl_facts f;
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
  if (!visual) return f;
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  XSetWindowAttributes a{};
  a.colormap = XCreateColormap(display, DefaultRootWindow(display), visual->visual, AllocNone);
  const Window w = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 16, 16, 0, visual->depth, InputOutput,
                                 visual->visual, CWColormap, &a);
  if (context && glXMakeCurrent(display, w, context)) {
    f.vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    f.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    f.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    f.extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    f.glx_extensions = glXGetClientString(display, GLX_EXTENSIONS);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &f.max_texture_size);
    glXMakeCurrent(display, None, nullptr);
  }
  if (context) glXDestroyContext(display, context);
  XDestroyWindow(display, w);
  XFreeColormap(display, a.colormap);
  XFree(visual);
  return f;
}

// The lines of /proc/cpuinfo and /proc/meminfo that the header copies.
std::string processor_lines() {
  std::string lines;
  std::ifstream cpu("/proc/cpuinfo");
  for (std::string line; std::getline(cpu, line);)
    if (line.rfind("processor", 0) == 0 || line.rfind("model name", 0) == 0 || line.rfind("cpu MHz", 0) == 0)
      lines += line + "\n";
  std::ifstream mem("/proc/meminfo");
  for (std::string line; std::getline(mem, line);)
    if (line.rfind("MemTotal", 0) == 0) lines += line + "\n";
  return lines;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Index of the first line that begins with `prefix`; -1 when none.
int line_starting(const std::vector<std::string>& lines, const std::string& prefix) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  return -1;
}

}  // namespace

TEST(InstallerWindow, OneFullScreenWindowWithItsHintsThenAnOrderlyEndOnQuit) {
  XServer x;
  ASSERT_TRUE(x.ok());
  Display* d = x.display();
  InstallerRun::Options o;
  o.env = {"DESKTOP_STARTUP_ID=launch-42"};
  InstallerRun run(&x, o);
  ASSERT_TRUE(run.started());
  const unsigned long w = wait_for_window(d, "Halden", kProgramTimeoutMs);
  ASSERT_NE(w, 0u) << run.err();

  EXPECT_EQ(windows_named(d, "Halden").size(), 1u);
  const window_geometry g = geometry_of(d, w);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);
  EXPECT_EQ(g.width, 800);
  EXPECT_EQ(g.height, 600);
  EXPECT_EQ(text_property(d, w, "WM_CLASS"), std::string("main_window\0Corvane\0", 20));
  EXPECT_EQ(text_property(d, w, "_NET_WM_NAME"), "Halden");
  EXPECT_EQ(text_property(d, w, "_NET_STARTUP_ID"), "launch-42");
  EXPECT_EQ(atom_property(d, w, "_NET_WM_WINDOW_TYPE"), std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
  EXPECT_EQ(atom_property(d, w, "_NET_WM_ALLOWED_ACTIONS"),
            (std::vector<std::string>{"_NET_WM_ACTION_CLOSE", "_NET_WM_ACTION_FULLSCREEN", "_NET_WM_ACTION_MOVE"}));
  EXPECT_EQ(atom_property(d, w, "WM_PROTOCOLS"), std::vector<std::string>{"WM_DELETE_WINDOW"})
      << "a close from the window manager comes as a message";
  EXPECT_EQ(atom_property(d, w, "_NET_WM_STATE"), std::vector<std::string>{"_NET_WM_STATE_FULLSCREEN"})
      << "the window covers the 800 x 600 screen";
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(d, w, &hints, &supplied));
  EXPECT_EQ(hints.flags, PMinSize | PMaxSize | PWinGravity);
  EXPECT_EQ(hints.min_width, 800);
  EXPECT_EQ(hints.max_width, 800);
  EXPECT_EQ(hints.min_height, 600);
  EXPECT_EQ(hints.max_height, 600);
  EXPECT_EQ(hints.win_gravity, CenterGravity);

  ASSERT_TRUE(run.wait_for_log("\nos_dir_prefs", kProgramTimeoutMs)) << run.log();
  EXPECT_EQ(quit_by_button(run, x, kProgramTimeoutMs), 0) << run.err();
  EXPECT_EQ(run.out(), "800 vs 800 X 600 vs 600\n") << "the resolution line of the orderly end";
  EXPECT_TRUE(windows_named(d, "Halden").empty()) << "the window went with the program";

  // The log: header, capabilities, workers, and the orderly end.
  const std::string log = run.log();
  const std::vector<std::string> lines = lines_of(log);
  EXPECT_EQ(log.rfind("Installer log.txt for Corvane Web Updater 2.03r1 compiled on ", 0), 0u) << log;
  EXPECT_NE(log.find("\n\nThis log file is generated automatically by Brightwell Labs applications and contains "
                     "diagnostics about your graphics hardware, installation, and any error conditions.\nIf you "
                     "need to contact tech support or file a bug, please send us this file. NOTE: this file is "
                     "rewritten every time you start ANY of your Halden applications.\n\n" +
                     processor_lines() + "\nHalden folder:'', case sensitive=1\n\n"),
            std::string::npos)
      << log;

  const gl_facts gl = ask_gl(d);
  ASSERT_FALSE(gl.version.empty());
  const int first = line_starting(lines, "OpenGL Vendor    : ");
  ASSERT_GE(first, 0) << log;
  ASSERT_LT(static_cast<std::size_t>(first + 32), lines.size()) << log;
  EXPECT_EQ(lines[first], "OpenGL Vendor    : " + gl.vendor);
  EXPECT_EQ(lines[first + 1], "OpenGL Render    : " + gl.renderer);
  EXPECT_EQ(lines[first + 2], "OpenGL Version   : " + gl.version + " (" +
                                  std::to_string(OGL_extensions::version_number(gl.version.c_str())) + ")");
  EXPECT_EQ(lines[first + 3], "OpenGL Extensions: " + gl.extensions);
  EXPECT_EQ(lines[first + 4], "GLX Extensions: " + gl.glx_extensions);
  // The 33 lines of the block follow one another.
  EXPECT_EQ(lines[first + 5].rfind("tex_clamp_avail  : ", 0), 0u);
  EXPECT_EQ(lines[first + 32].rfind("max point size   : ", 0), 0u);
  EXPECT_EQ(lines[first + 27], "threaded_avail   : 0");
  EXPECT_EQ(lines[first + 31], "max texture size : " + std::to_string(gl.max_texture_size));
  // Features that any version from 2.1 on brings by number alone.
  if (OGL_extensions::version_number(gl.version.c_str()) >= 210) {
    EXPECT_EQ(lines[first + 10], "vbo_avail        : 1");
    EXPECT_EQ(lines[first + 11], "pbo_avail        : 1");
    EXPECT_EQ(lines[first + 19], "occlude_avail    : 1");
  }
  const bool pbuffers = gl.glx_extensions.find("GLX_SGIX_fbconfig") != std::string::npos &&
                        gl.glx_extensions.find("GLX_SGIX_pbuffer") != std::string::npos;
  EXPECT_EQ(log.find("Disabling threaded OGL - we need pbuffer support for this.\n") != std::string::npos, !pbuffers);

  const int workers = line_starting(lines, "CPU count        : ");
  EXPECT_EQ(lines[static_cast<std::size_t>(workers)], "CPU count        : " + std::to_string(UTL_count_processors()));
  EXPECT_GT(workers, first) << "the workers start after the probe";
  EXPECT_NE(log.find("\nClean exit from threads.\n"), std::string::npos) << log;
}

namespace {

// A window manager of the least kind, for the full-screen request: it maps
// what asks to be mapped, grants every configure request and keeps the
// state messages that reach the root window.
class RecordingWindowManager {
 public:
  explicit RecordingWindowManager(Display* d) : d_(d) {
    XSelectInput(d_, DefaultRootWindow(d_), SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(d_, False);
  }
  // Handles what has arrived.
  void serve() {
    while (XPending(d_)) {
      XEvent e;
      XNextEvent(d_, &e);
      if (e.type == MapRequest) {
        XMapWindow(d_, e.xmaprequest.window);
      } else if (e.type == ConfigureRequest) {
        XWindowChanges c{};
        c.x = e.xconfigurerequest.x;
        c.y = e.xconfigurerequest.y;
        c.width = e.xconfigurerequest.width;
        c.height = e.xconfigurerequest.height;
        XConfigureWindow(d_, e.xconfigurerequest.window,
                         static_cast<unsigned>(e.xconfigurerequest.value_mask) & (CWX | CWY | CWWidth | CWHeight), &c);
      } else if (e.type == ClientMessage &&
                 e.xclient.message_type == XInternAtom(d_, "_NET_WM_STATE", False)) {
        state_requests.push_back(e.xclient);
      }
    }
    XFlush(d_);
  }
  std::vector<XClientMessageEvent> state_requests;

 private:
  Display* d_;
};

struct fullscreen_seen {
  std::vector<XClientMessageEvent> requests;
  std::vector<std::string> state;
  std::string out;
  int exit_code = -3;
};

fullscreen_seen run_under_window_manager(int width, int height) {
  fullscreen_seen seen;
  XServer x(width, height);
  if (!x.ok()) return seen;
  Display* d = x.display();
  RecordingWindowManager wm(d);
  InstallerRun run(&x);
  unsigned long w = 0;
  wait_until(
      [&] {
        wm.serve();
        const std::vector<unsigned long> named = windows_named(d, "Halden");
        XWindowAttributes a;
        if (!named.empty() && XGetWindowAttributes(d, named.front(), &a) && a.map_state == IsViewable)
          w = named.front();
        return w != 0;
      },
      kProgramTimeoutMs);
  if (!w) return seen;
  wm.serve();
  seen.requests = wm.state_requests;
  seen.state = atom_property(d, w, "_NET_WM_STATE");
  run.wait_for_log("\nos_dir_prefs", kProgramTimeoutMs);
  pointer_to(d, 55, 577);
  button_down(d);
  button_up(d);
  wait_until(
      [&] {
        wm.serve();
        return !run.running();
      },
      kProgramTimeoutMs);
  seen.exit_code = run.wait_exit(0);
  seen.out = run.out();
  return seen;
}

}  // namespace

TEST(InstallerWindow, AsksForFullScreenOnAScreenOfItsSizeOnly) {
  const fullscreen_seen small = run_under_window_manager(800, 600);
  ASSERT_EQ(small.requests.size(), 1u);
  EXPECT_EQ(small.requests[0].format, 32);
  EXPECT_EQ(small.requests[0].data.l[0], 1) << "add";
  EXPECT_EQ(small.requests[0].data.l[2], 0);
  EXPECT_EQ(small.state, std::vector<std::string>{"_NET_WM_STATE_FULLSCREEN"});
  EXPECT_EQ(small.exit_code, 0);
  EXPECT_EQ(small.out, "800 vs 800 X 600 vs 600\n");

  const fullscreen_seen large = run_under_window_manager(1024, 768);
  ASSERT_EQ(large.requests.size(), 1u);
  EXPECT_EQ(large.requests[0].data.l[0], 0) << "remove";
  EXPECT_TRUE(large.state.empty());
  EXPECT_EQ(large.exit_code, 0);
  EXPECT_EQ(large.out, "") << "a screen of 1024 x 768 keeps its size: nothing to restore";
}

// Under a real window manager on a screen larger than the window: the
// window keeps its title bar, and Alt+F4 (the manager's close) is the
// welcome screen's Quit: an orderly end with 0 and the preferences written.
TEST(InstallerWindow, UnderAWindowManagerClosingTheFrameIsQuit) {
  XServer x(1280, 1024);
  ASSERT_TRUE(x.ok());
  WindowManager wm(x);
  ASSERT_TRUE(wm.ok());
  InstallerRun run(&x);
  const unsigned long w = wm.framed_window("Halden", kProgramTimeoutMs);
  ASSERT_NE(w, 0u) << run.err();
  const std::vector<long> frame = wm.frame_extents(w);
  ASSERT_EQ(frame.size(), 4u);
  EXPECT_GT(frame[2], 0) << "a title bar above the window";

  ASSERT_TRUE(run.wait_for_log("\nos_dir_prefs", kProgramTimeoutMs)) << run.log();
  const std::string prefs = run.home() + "/.corvane/Corvane Installer.prf";
  EXPECT_FALSE(exists_at_all(prefs));
  key_down(x.display(), "Alt_L");
  key_tap(x.display(), "F4");
  key_up(x.display(), "Alt_L");
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0) << run.err();
  EXPECT_NE(read_file(prefs).find("_stream_count"), std::string::npos) << "the preferences were written";
  const std::string log = run.log();
  const std::size_t asked = log.find("\nThe window manager asked to close the window.\n");
  const std::size_t ended = log.find("\nClean exit from threads.\n");
  EXPECT_TRUE(asked != std::string::npos && ended != std::string::npos && asked < ended) << log;
}

TEST(InstallerWindow, AServerWithoutGlEndsTheRunWithItsMessage) {
  XServer x(800, 600, {"-extension", "GLX"});
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x);
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 1);
  EXPECT_EQ(run.out(),
            "Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's seriously wonky on your "
            "machine.\n");
  EXPECT_TRUE(windows_named(x.display(), "Halden").empty());
}

TEST(InstallerWindow, WithoutADisplayItSaysSoInOneLineAndEndsWithOne) {
  InstallerRun unset(nullptr);
  EXPECT_EQ(unset.wait_exit(kProgramTimeoutMs), 1);
  EXPECT_EQ(unset.err(),
            "Halden: cannot open the X display \"\"; the installer needs a graphical display to run.\n");

  InstallerRun::Options gone;
  gone.env = {"DISPLAY=:65000"};
  InstallerRun unreachable(nullptr, gone);
  EXPECT_EQ(unreachable.wait_exit(kProgramTimeoutMs), 1);
  EXPECT_EQ(unreachable.err(),
            "Halden: cannot open the X display \":65000\"; the installer needs a graphical display to run.\n");
  EXPECT_NE(unreachable.log().find("\nCould not open the X display.\n"), std::string::npos);

  // Help and the command list need no display.
  InstallerRun::Options help;
  help.args = {"--help"};
  InstallerRun with_help(nullptr, help);
  EXPECT_EQ(with_help.wait_exit(kProgramTimeoutMs), 0);
  EXPECT_NE(with_help.out().find("--fps_test"), std::string::npos) << with_help.out();
  InstallerRun::Options commands;
  commands.args = {"--cmnds"};
  InstallerRun with_commands(nullptr, commands);
  EXPECT_EQ(with_commands.wait_exit(kProgramTimeoutMs), 0);
  EXPECT_NE(with_commands.out().find("sim/"), std::string::npos) << with_commands.out();
}
