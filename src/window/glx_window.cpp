// The X11 window and its GLX context: the display connection, the visual,
// the main window with its window-manager hints, the fixed GL state, the
// window size, the contexts of worker threads and the teardown.
#include <GL/gl.h>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/globals.h"
#include "runtime/threads.h"
#include "textures/builtin_images.h"
#include "textures/tman.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/mouse_help.h"
#include "window/ui_calls.h"

namespace {

Display* dpy() { return static_cast<Display*>(mnw.display); }

// The driver's copy of a back-buffer rectangle to the screen, when it has one.
typedef void (*copy_sub_buffer_fn)(Display*, GLXDrawable, int, int, int, int);
copy_sub_buffer_fn copy_sub_buffer = nullptr;

// Opens the connection on first use. Without a display nothing of this
// program can be shown: one line says so and the run ends.
Display* open_display() {
  if (!mnw.display) {
    mnw.display = XOpenDisplay(nullptr);
    if (!mnw.display) {
      const char* name = getenv("DISPLAY");
      fprintf(stderr, "Halden: cannot open the X display \"%s\"; the installer needs a graphical display to run.\n",
              name ? name : "");
      xer << "Could not open the X display.\n";
      xer.flush();
      exit(1);
    }
  }
  return dpy();
}

[[noreturn]] void no_gl(const char* message) {
  printf("%s\n", message);
  fflush(stdout);
  xer << message << "\n";
  xer.flush();
  exit(1);
}

// The base visual: double-buffered RGBA with a depth buffer; the first two
// values are replaced by the multisampling of each attempt.
const int kInitVisual[15] = {GLX_SAMPLE_BUFFERS, 1, GLX_SAMPLES, 0, GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1,
                             GLX_GREEN_SIZE,     1, GLX_BLUE_SIZE, 1, GLX_DEPTH_SIZE, 2, None};

Atom atom(const char* name) { return XInternAtom(dpy(), name, False); }

void set_atoms(Window w, const char* property, const Atom* values, int count) {
  XChangeProperty(dpy(), w, atom(property), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

void set_utf8(Window w, const char* property, const char* text) {
  XChangeProperty(dpy(), w, atom(property), atom("UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text), static_cast<int>(strlen(text)));
}

// Minimum = maximum = the window size, centred: the window manager cannot
// resize the window.
void fix_size_hints(Window w, int width, int height) {
  XSizeHints hints;
  memset(&hints, 0, sizeof hints);
  long supplied = 0;
  XGetWMNormalHints(dpy(), w, &hints, &supplied);
  hints.flags = PMinSize | PMaxSize | PWinGravity;
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  hints.win_gravity = CenterGravity;
  XSetWMNormalHints(dpy(), w, &hints);
}

void set_fullscreen_state(Window w, bool full) {
  const Atom fullscreen = atom("_NET_WM_STATE_FULLSCREEN");
  set_atoms(w, "_NET_WM_STATE", &fullscreen, full ? 1 : 0);
}

void fixed_gl_state() {
  const GLfloat no_ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glAlphaFunc(GL_GREATER, 0.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glHint(GL_FOG_HINT, GL_FASTEST);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DITHER);
  glDisable(GL_COLOR_LOGIC_OP);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_NORMALIZE);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  if (mnw.alias_got > 0) glEnable(GL_MULTISAMPLE);
  glDepthMask(GL_FALSE);
  // The drawing layer's state cache starts from this context's state.
  OGL_forget_state();
  OGL_setstate(1, 0, 3, 4, 9, 11);
}

// What MACIBM_setres saw on its first call.
struct first_screen {
  bool taken = false;
  int width = 0, height = 0, depth = 0;
  int change = 0;
};
first_screen recorded;

}  // namespace

void MACIBM_glx_visual_attributes(int level, int* attributes) {
  memcpy(attributes, kInitVisual, sizeof kInitVisual);
  static const int kSamples[5] = {0, 2, 4, 8, 16};
  if (level >= 0 && level <= 4) {
    attributes[1] = level == 0 ? 0 : 1;
    attributes[3] = kSamples[level];
  }
}

int MACIBM_make_context(int which) {
  const int x = which == 1 ? mnw.x_res : 0;
  Display* display = open_display();
  const int screen = XDefaultScreen(display);

  // The best anti-aliasing the driver grants, down to none.
  XVisualInfo* visual = nullptr;
  mnw.visual = nullptr;
  mnw.alias_got = mnw.alias_req + 1;
  while (!visual) {
    --mnw.alias_got;
    if (mnw.alias_got < 0)
      no_gl("Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's seriously wonky on your "
            "machine.");
    int attributes[15];
    MACIBM_glx_visual_attributes(mnw.alias_got, attributes);
    visual = glXChooseVisual(display, screen, attributes);
  }
  mnw.visual = visual;

  GLXContext share = which == 1 ? static_cast<GLXContext>(mnw.context[0]) : nullptr;
  GLXContext context = glXCreateContext(display, visual, share, True);
  if (!context) no_gl("I could not create an OpenGL context for the window.");
  mnw.context[which] = context;

  const Window root = RootWindow(display, visual->screen);
  XSetWindowAttributes attributes;
  memset(&attributes, 0, sizeof attributes);
  attributes.border_pixel = 0;
  attributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          ButtonMotionMask | VisibilityChangeMask | StructureNotifyMask | SubstructureNotifyMask |
                          ExposureMask | FocusChangeMask | LeaveWindowMask | PropertyChangeMask;
  const Window w = XCreateWindow(display, root, x, 0, static_cast<unsigned>(mnw.x_res), static_cast<unsigned>(mnw.y_res),
                                 0, visual->depth, InputOutput, visual->visual,
                                 CWBorderPixel | CWColormap | CWEventMask, &attributes);
  mnw.window[which] = w;
  if (which == 0) MACIBM_main_window_made();

  // The atoms of the properties below, asked for in one round trip; each
  // one asked for by name afterwards comes from Xlib's cache.
  static const char* const kAtomNames[] = {"UTF8_STRING",
                                           "_NET_STARTUP_ID",
                                           "_NET_WM_NAME",
                                           "_NET_WM_WINDOW_TYPE",
                                           "_NET_WM_WINDOW_TYPE_NORMAL",
                                           "_NET_WM_ALLOWED_ACTIONS",
                                           "_NET_WM_ACTION_CLOSE",
                                           "_NET_WM_ACTION_FULLSCREEN",
                                           "_NET_WM_ACTION_MOVE",
                                           "WM_DELETE_WINDOW",
                                           "_NET_WM_STATE",
                                           "_NET_WM_STATE_FULLSCREEN"};
  constexpr int kAtomCount = static_cast<int>(sizeof kAtomNames / sizeof kAtomNames[0]);
  Atom interned[kAtomCount];
  XInternAtoms(display, const_cast<char**>(kAtomNames), kAtomCount, False, interned);

  char name[] = "Halden";
  char* names[] = {name};
  XTextProperty text;
  if (XStringListToTextProperty(names, 1, &text)) {
    XSetWMName(display, w, &text);
    XFree(text.value);
  }

  if (XClassHint* hint = XAllocClassHint()) {
    char res_name[] = "main_window";
    char res_class[] = "Corvane";
    hint->res_name = res_name;
    hint->res_class = res_class;
    XSetClassHint(display, w, hint);
    XFree(hint);
  }

  fix_size_hints(w, mnw.x_res, mnw.y_res);

  if (const char* startup = getenv("DESKTOP_STARTUP_ID")) set_utf8(w, "_NET_STARTUP_ID", startup);
  set_utf8(w, "_NET_WM_NAME", "Halden");
  const Atom type = atom("_NET_WM_WINDOW_TYPE_NORMAL");
  set_atoms(w, "_NET_WM_WINDOW_TYPE", &type, 1);
  const Atom actions[3] = {atom("_NET_WM_ACTION_CLOSE"), atom("_NET_WM_ACTION_FULLSCREEN"),
                           atom("_NET_WM_ACTION_MOVE")};
  set_atoms(w, "_NET_WM_ALLOWED_ACTIONS", actions, 3);
  // The window manager's close (its close button, Alt+F4) comes to the
  // program as a message instead of cutting the connection: the wizard
  // ends the run as its Quit does.
  Atom delete_window = atom("WM_DELETE_WINDOW");
  XSetWMProtocols(display, w, &delete_window, 1);

  // Full screen when the window covers the screen on either side.
  const bool full =
      XDisplayWidth(display, screen) == mnw.x_res || XDisplayHeight(display, screen) == mnw.y_res;
  set_fullscreen_state(w, full);
  XEvent request;
  memset(&request, 0, sizeof request);
  request.xclient.type = ClientMessage;
  request.xclient.window = w;
  request.xclient.message_type = atom("_NET_WM_STATE");
  request.xclient.format = 32;
  request.xclient.data.l[0] = full ? 1 : 0;
  request.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_FULLSCREEN"));
  request.xclient.data.l[2] = 0;
  XSendEvent(display, RootWindow(display, screen), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &request);

  XMapWindow(display, w);
  XEvent first;
  XMaskEvent(display, ~0L, &first);

  if (!glXMakeCurrent(display, w, context)) no_gl("I could not make the window's OpenGL context current.");
  fixed_gl_state();
  if (which == 0) {
    // The window shows its colour at once, while the start-up goes on (the
    // splash's first drawing has the GL driver compile its first shaders).
    float c[3];
    if (TEX_interface_colour(34, c)) {
      glClearColor(c[0], c[1], c[2], 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      glXSwapBuffers(display, w);
    }
    const char* glx = glXQueryExtensionsString(display, screen);
    copy_sub_buffer = glx && strstr(glx, "GLX_MESA_copy_sub_buffer")
                          ? reinterpret_cast<copy_sub_buffer_fn>(
                                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")))
                          : nullptr;
  }
  // A new context has no texture bound.
  if (which == 1) tman.reset_bind();
  return 1;
}

void MACIBM_setres(int mode) {
  mnw.x_res = mnw.x_res_req;
  mnw.y_res = mnw.y_res_req;
  mnw.col_res = mnw.col_res_req;

  Display* display = open_display();
  const int screen = XDefaultScreen(display);
  const int W = XDisplayWidth(display, screen);
  const int H = XDisplayHeight(display, screen);
  const int D = XDefaultDepth(display, screen);
  const int change = W < 1024 || H < 768 ? 1 : mnw.set_res;
  if (!recorded.taken) {
    recorded.taken = true;
    recorded.width = W;
    recorded.height = H;
    recorded.depth = D;
    recorded.change = change;
  }

  if (mode == 1) {
    if (!change) return;
    if (W == mnw.x_res_req && H == mnw.y_res_req && D == mnw.col_res_req) return;
  } else if (!recorded.change) {
    return;
  }

  const Window w = static_cast<Window>(mnw.window[0]);
  if (!w) return;
  fix_size_hints(w, mnw.x_res, mnw.y_res);
  XResizeWindow(display, w, static_cast<unsigned>(mnw.x_res), static_cast<unsigned>(mnw.y_res));
  printf("%d vs %d X %d vs %d\n", W, mnw.x_res, H, mnw.y_res);
  set_fullscreen_state(w, W == mnw.x_res && H == mnw.y_res);
}

GLXContext MACIBM_make_context_loader() {
  if (!mnw.visual) return nullptr;
  GLXContext context = glXCreateContext(dpy(), static_cast<XVisualInfo*>(mnw.visual),
                                        static_cast<GLXContext>(mnw.context[0]), True);
  if (!context) {
    xer << "glXCreateContext failed.\n";
    xer.flush();
  }
  return context;
}

bool MACIBM_set_context_loader(GLXContext context) {
  const auto from_visual = reinterpret_cast<PFNGLXGETFBCONFIGFROMVISUALSGIXPROC>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXGetFBConfigFromVisualSGIX")));
  const auto make_pbuffer = reinterpret_cast<PFNGLXCREATEGLXPBUFFERSGIXPROC>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateGLXPbufferSGIX")));
  if (!from_visual || !make_pbuffer) {
    xer << "No pbuffer extension found.\n";
    xer.flush();
    return false;
  }
  GLXFBConfigSGIX config = from_visual(dpy(), static_cast<XVisualInfo*>(mnw.visual));
  if (!config) {
    xer << "Unable to get config from visual.\n";
    xer.flush();
    return false;
  }
  int no_attributes[] = {None};
  GLXPbufferSGIX pbuffer = make_pbuffer(dpy(), config, 64, 64, no_attributes);
  if (!pbuffer) {
    xer << "Unable to build pbuffer.\n";
    xer.flush();
    return false;
  }
  if (!glXMakeCurrent(dpy(), pbuffer, context)) {
    xer << "Unable to make the loader context current.\n";
    xer.flush();
    return false;
  }
  return true;
}

void MACIBM_nuke_context(int which) {
  if (!mnw.display) return;
  if (which == 0) {
    mouse_help_end();
  }
  if (mnw.context[which]) {
    if (glXGetCurrentContext() == static_cast<GLXContext>(mnw.context[which])) glXMakeCurrent(dpy(), None, nullptr);
    glXDestroyContext(dpy(), static_cast<GLXContext>(mnw.context[which]));
  }
  if (mnw.window[which]) XDestroyWindow(dpy(), static_cast<Window>(mnw.window[which]));
  XFlush(dpy());
}

void MACIBM_swap_buffers(int which) {
  if (!mnw.display || !mnw.window[which]) return;
  glXSwapBuffers(dpy(), static_cast<GLXDrawable>(mnw.window[which]));
}

int MACIBM_copy_sub_buffer(int which, int x, int y, int w, int h) {
  if (!mnw.display || !mnw.window[which] || !copy_sub_buffer) return 0;
  copy_sub_buffer(dpy(), static_cast<GLXDrawable>(mnw.window[which]), x, y, w, h);
  return 1;
}
