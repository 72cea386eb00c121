// The least a GL program does to show its first frame: an 800 x 600 window
// with a legacy GLX context, one cleared frame swapped to the screen. It then
// waits until it is ended. The reference of the first-frame benchmark.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1,
                      GLX_DEPTH_SIZE, 2, None};
  XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
  if (!visual) return 1;
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  const Window root = RootWindow(display, visual->screen);
  XSetWindowAttributes a{};
  a.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  a.event_mask = StructureNotifyMask;
  const Window w = XCreateWindow(display, root, 0, 0, 800, 600, 0, visual->depth, InputOutput, visual->visual,
                                 CWColormap | CWEventMask, &a);
  XMapWindow(display, w);
  XEvent e;
  do XNextEvent(display, &e);
  while (e.type != MapNotify);
  glXMakeCurrent(display, w, context);
  glClearColor(0.2f, 0.26f, 0.34f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glXSwapBuffers(display, w);
  XFlush(display);
  for (;;) pause();
}
