// The per-frame event loop: one pass reads the X events into the window
// state, shows what worker threads and the texture loader reported, runs the
// wizard frame unless a modal box is up, draws the mouse help and menus and
// swaps the buffers. Modal boxes run the same pass from their own loops.
#include <sys/select.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "files/http.h"
#include "runtime/alert.h"
#include "runtime/exceptions.h"
#include "runtime/globals.h"
#include "runtime/worker_pool.h"
#include "runtime/xtim.h"
#include "textures/tman.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/menus.h"
#include "window/mnw.h"
#include "window/mouse_help.h"
#include "window/ui_calls.h"

int linkey_shft = 0, linkey_ctrl = 0, linkey_optn = 0;

namespace {

constexpr long kFrameWaitUs = 16000;   // a pass waits this long for input
constexpr long kAlertWaitUs = 160000;  // ... while the alert box is up

// The pointer position while the pointer is outside the window: far from
// every widget.
constexpr float kPointerAway = -1.0e6f;

// When the last wait for input ended.
std::chrono::steady_clock::time_point last_wait_end;
// The last pass was quiet: it took no input, nothing was held down, no
// worker or download was at work, and its own work was short; the next may
// wait as long as its frame end allows.
bool last_pass_quiet = false;
// A pass whose own work took longer than this did work that goes on (the
// downloads' share of the frame): the next comes as soon as ever.
constexpr long kQuietWorkUs = 8000;

// A release that came in the same pass as its press: it takes effect on the
// next pass, so that the pass of a quick click still sees the button down.
int release_pending = 0;

// The window's size as the server last told it.
int window_width = 0, window_height = 0;

// The window manager asked to close the window; taken by the wizard.
int close_requested = 0;

Display* dpy() { return static_cast<Display*>(mnw.display); }

// A WM_DELETE_WINDOW message of the window-manager protocols: the user
// closed the window from its frame. Such messages are rare, so the atoms
// are looked up when one comes.
bool is_close_request(const XClientMessageEvent& m) {
  if (m.format != 32) return false;
  const Atom protocols = XInternAtom(m.display, "WM_PROTOCOLS", True);
  const Atom delete_window = XInternAtom(m.display, "WM_DELETE_WINDOW", True);
  return protocols != 0 && m.message_type == protocols && delete_window != 0 &&
         static_cast<Atom>(m.data.l[0]) == delete_window;
}

Bool LIN_handlewin(Display*, XEvent*, XPointer) { return True; }

bool is_key(const XEvent& e) { return e.type == KeyPress || e.type == KeyRelease; }

// A press or release of a button that clicks.
bool is_click(const XEvent& e) {
  return (e.type == ButtonPress || e.type == ButtonRelease) && e.xbutton.button <= 3;
}

// Return, Enter, Escape and Tab (Shift-Tab too): keys that no field takes,
// which close a box or move the focus.
bool leaves_the_field(XKeyEvent& key) {
  const KeySym sym = XkbKeycodeToKeysym(key.display, static_cast<KeyCode>(key.keycode), 0, 0);
  return sym == XK_Return || sym == XK_KP_Enter || sym == XK_Escape || sym == XK_Tab || sym == XK_ISO_Left_Tab;
}

bool waits_for_the_field(XEvent& e) {
  if (is_key(e) && BTN_focus_room() == 0) return true;
  const bool leaves =
      (e.type == ButtonPress && e.xbutton.button <= 3) || (e.type == KeyPress && leaves_the_field(e.xkey));
  return leaves && BTN_focus_unread();
}

// The server's time of the last key or button event read.
Time last_input_time = 0;

// The program's count of frames put on the screen, the server's time of
// the last key or button event it read and the count of the first frame
// published after it was read, published on the main window right after
// each frame goes on the screen: a whole frame, drawn after the pass read
// its events, that tests can wait for without seeing every change.
Atom frame_property = None;
bool input_unpublished = false;
long input_frame = 0;

// A press acts only on what its user saw. The server keeps the order of
// the events it sends and of the requests it takes, so the change of the
// frame property that follows a frame comes back (as a PropertyNotify)
// behind every press given before that frame: the view (mnw.view_count)
// of the newest frame published, the request that first published it, and
// the newest view known to be on the screen.
int view_published = -1;
unsigned long view_published_request = 0;
int view_on_screen = -1;

// The last press, taken or not: its time (the server's, or its arrival's
// for a press sent with no time of its own, as tools send them) and the
// view it was aimed at; -1 once a key came after it. A press within the
// double-click time of the one before is part of that press's run of
// clicks and is aimed where the run is: a double or triple click on a
// button that changes the view acts once, and the next press acts only
// after the presses have paused. Any other press is aimed at the view on
// the screen when it was given. A press is taken when it is aimed at the
// current view; a press not taken is not seen at all, nor is its release.
struct press_mark {
  bool sent;
  std::uint32_t time;
  int view;
  bool taken;
};
press_mark last_press{false, 0, -1, false};

bool aimed_at_the_current_view(const XButtonEvent& press) {
  const bool sent = press.time == CurrentTime;
  const auto time = static_cast<std::uint32_t>(
      sent ? std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                 .count()
           : press.time);
  // The clocks wrap around; an unsigned difference holds across.
  const bool in_run = last_press.view >= 0 && last_press.sent == sent &&
                      time - last_press.time < static_cast<std::uint32_t>(kDoubleClickSeconds * 1000.0f);
  last_press = {sent, time, in_run ? last_press.view : view_on_screen, false};
  last_press.taken = last_press.view == mnw.view_count;
  return last_press.taken;
}

void publish_frame(Display* display) {
  const Window w = static_cast<Window>(mnw.window[0]);
  if (w == 0) return;
  if (frame_property == None) frame_property = XInternAtom(display, "_CORVANE_FRAME_COUNT", False);
  const int view = OGL_shown_view();
  if (view != view_published) {
    view_published = view;
    view_published_request = NextRequest(display);
  }
  if (input_unpublished) {
    input_unpublished = false;
    input_frame = xtim.frame_count;
  }
  const long values[3] = {xtim.frame_count, static_cast<long>(last_input_time), input_frame};
  XChangeProperty(display, w, frame_property, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), 3);
  XFlush(display);
}

// Takes the property changes at the head of the queue; true when nothing
// else is queued.
bool only_property_changes(Display* display) {
  XEvent e;
  while (XPending(display) > 0) {
    XPeekEvent(display, &e);
    if (e.type != PropertyNotify) return false;
    XNextEvent(display, &e);
    LIN_handleevt(&e);
  }
  return true;
}

// A frame went on the screen.
void frame_shown() {
  ++xtim.frame_count;
  if (Display* display = dpy()) publish_frame(display);
}

// The name of the key's unshifted keysym; null when it has none.
const char* key_name(XKeyEvent& key) {
  const KeySym sym = XkbKeycodeToKeysym(key.display, static_cast<KeyCode>(key.keycode), 0, 0);
  return sym == NoSymbol ? nullptr : XKeysymToString(sym);
}

bool is(const char* name, const char* a, const char* b) { return strcmp(name, a) == 0 || strcmp(name, b) == 0; }

void handle_key(XKeyEvent& key, bool press) {
  const char* name = key_name(key);
  if (!name) {
    printf("LINUX: Warning: X11 gave us a key %s with no keysym string! This isn't so good. Verify the mapping of "
           "whatever key you just hit.\n",
           press ? "press" : "release");
    return;
  }
  const int held = press ? 1 : 0;
  if (is(name, "Shift_L", "Shift_R")) {
    linkey_shft = held;
    return;
  }
  if (is(name, "Control_L", "Control_R")) {
    linkey_ctrl = held;
    return;
  }
  if (is(name, "Alt_L", "Alt_R")) {
    linkey_optn = held;
    return;
  }
  if (press) {
    if (is(name, "Super_L", "Super_R") || is(name, "Menu", "ISO_Level3_Shift")) return;
    last_press.view = -1;  // the run of clicks is over
    mnw.key_down = 1;
    mnw.key_held = 1;
  } else {
    mnw.key_held = 0;
  }
  keys.handle_key_raw(key.type, key.keycode, key.state);
}

void report_texture_failures() {
  struct kind {
    int (tman_class::*has)() const;
    void (tman_class::*mute)();
    const char* line1;
    const char* line2;
    int source_line;
  };
  static const kind kKinds[] = {
      {&tman_class::has_scene_load_fail, &tman_class::mute_scene_load_fail,
       "Some scenery textures could not be loaded.",
       "This may be an installation problem or you may have a damaged add-on scenery package.", 1566},
      {&tman_class::has_plane_load_fail, &tman_class::mute_plane_load_fail,
       "Some textures for the aircraft you selected could not be loaded.",
       "This may be an installation problem or you may have a damaged add-on aircraft package.", 1567},
      {&tman_class::has_instl_load_fail, &tman_class::mute_instl_load_fail, "Some textures could not be loaded.",
       "This may be an installation problem.  Run the installer/updater again to get these missing textures.", 1568},
  };
  for (const kind& k : kKinds) {
    if (!(tman.*k.has)()) continue;
    __MACIBM_alert(0, k.line1, k.line2, "Please see the log.txt file for a detailed list of missing files.", "",
                   t_alert, "RAdorud/GenC/hl_mnw", k.source_line);
    (tman.*k.mute)();
  }
}

}  // namespace

void MACIBM_main_window_made() {
  // A new window on a new connection: nothing of it was shown yet.
  frame_property = None;
  view_published = view_on_screen = -1;
  view_published_request = 0;
  last_press = {false, 0, -1, false};
}

int MACIBM_take_close_request() {
  const int r = close_requested;
  close_requested = 0;
  return r;
}

int has_optionkey() { return linkey_optn; }
int has_shiftkey() { return linkey_shft; }
int has_capslock() { return 0; }

void MACIBM_load_mxy(unsigned long window, int px, int py) {
  const float scale = mnw.scale > 0.0f ? mnw.scale : 1.0f;
  if (mnw.sec_mon_open && mnw.sec_mon_inuse && mnw.window[1] != 0 && window == mnw.window[1]) {
    mnw.mouse_x = static_cast<float>(px) / scale + static_cast<float>(mnw.x_res) / scale;
    mnw.mouse_y = static_cast<float>(mnw.y_res - py) / scale;
    return;
  }
  mnw.mouse_x = static_cast<float>(px) / scale - mnw.wind_x;
  mnw.mouse_y = static_cast<float>(mnw.y_res - py) / scale - mnw.wind_y;
}

int LIN_handleevt(XEvent* ev) {
  switch (ev->type) {
    case KeyPress:
    case KeyRelease:
    case ButtonPress:
    case ButtonRelease:
      last_input_time = ev->type == KeyPress || ev->type == KeyRelease ? ev->xkey.time : ev->xbutton.time;
      input_unpublished = true;
      // Input is answered by a frame even when it changes nothing on the
      // screen: the frame of this pass, and that of the next, in which the
      // widgets show what they made of it.
      OGL_redraw(2);
      break;
    case Expose:
    case MapNotify:
    case VisibilityNotify:
    case FocusIn:
    case FocusOut:
      // The server lost the picture, or shows it anew.
      OGL_redraw(1);
      break;
    case ConfigureNotify:
      if (ev->xconfigure.width != window_width || ev->xconfigure.height != window_height) OGL_buffers_lost();
      window_width = ev->xconfigure.width;
      window_height = ev->xconfigure.height;
      break;
    default:
      break;
  }
  switch (ev->type) {
    case KeyPress:
      handle_key(ev->xkey, true);
      break;
    case KeyRelease:
      handle_key(ev->xkey, false);
      break;
    case ButtonPress: {
      const unsigned button = ev->xbutton.button;
      if (button == 4) ++mnw.wheel;
      if (button == 5) --mnw.wheel;
      if (button > 3) break;
      if (!aimed_at_the_current_view(ev->xbutton)) break;
      MACIBM_load_mxy(ev->xbutton.window, ev->xbutton.x, ev->xbutton.y);
      // A press after a release of the same pass: the button is down again.
      mnw.release = 0;
      mnw.click = 1;
      MACIBM_handleclick(0);
      break;
    }
    case ButtonRelease:
      if (ev->xbutton.button > 3 || !last_press.taken) break;
      if (mnw.click)
        release_pending = 1;
      else
        mnw.release = 1;
      break;
    case LeaveNotify:
      // The pointer left the window (not for a window of its own): it is
      // over nothing of the program's, so nothing shows it hovering.
      if (ev->xcrossing.detail == NotifyInferior) break;
      mnw.mouse_x = mnw.mouse_y = kPointerAway;
      break;
    case MotionNotify:
      // The position the event tells of, not where the pointer is by the
      // time a slow pass reads it: a click read late lands where it was
      // given.
      MACIBM_load_mxy(ev->xmotion.window, ev->xmotion.x, ev->xmotion.y);
      break;
    case VisibilityNotify:
      MACIBM_startwind(mnw.cur_wind, 0);
      break;
    case PropertyNotify:
      if (ev->xproperty.atom == frame_property && ev->xproperty.window == static_cast<Window>(mnw.window[0]) &&
          ev->xproperty.serial >= view_published_request)
        view_on_screen = view_published;
      break;
    case DestroyNotify:
      MACIBM_startwind(0, 0);
      break;
    case ClientMessage:
      if (!is_close_request(ev->xclient)) break;
      // While a box is up it is answered first; the close is not kept.
      if (mnw.modal) {
        xer << "A close request from the window manager came while a box was open; it is not kept.\n";
        break;
      }
      xer << "The window manager asked to close the window.\n";
      close_requested = 1;
      break;
    case CreateNotify:
    case ConfigureNotify:
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case MappingNotify:
    case Expose:
    case FocusIn:
    case FocusOut:
      break;
    default:
      printf("LINUX: X11 threw me something different, and I don't know how to handle it. Please write to "
             "support@example.com and tell us what you were doing when this happened. Event ---> %d\n",
             ev->type);
      break;
  }
  return 0;
}

void MACIBM_event_proc() {
  static int win_started = 0;
  xtim.profile_chart("init", 0);

  return_hit = escape_hit = delete_hit = 0;
  mnw.click = 0;
  mnw.key_down = 0;
  keys.key_recorded = 0;
  mnw.release = release_pending;
  release_pending = 0;

  if (mnw.cur_wind == -1) mnw.cur_wind = 0;
  if (!win_started) {
    win_started = 1;
    MACIBM_startwind(mnw.cur_wind, 0);
  }
  xtim.profile_chart("startwin", 0);

  // Without a display (headless runs) there are no events to wait for.
  bool took_input = false;
  if (Display* display = dpy()) {
    // Events Xlib has already read wake no select: only wait while none is queued.
    if (XPending(display) == 0) {
      const int fd = ConnectionNumber(display);
      fd_set readable;
      // The wait paces the frames: it counts from the end of the last one,
      // so a frame whose own work took that long (the install screen's
      // share for the downloads) is not held back on top of it.
      long full = mnw.cur_wind == 994 ? kAlertWaitUs : kFrameWaitUs;
      // A screen that shows nothing new, or only an animation, is not looked
      // at again before input comes or its animation is due.
      if (last_pass_quiet) full = std::max(full, OGL_quiet_wait_us());
      const auto spent = [&] {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - last_wait_end)
                                     .count());
      };
      // The last frame goes on the screen before the pass waits; in a pass
      // that leaves no time to wait, the frame end puts it there.
      if (spent() < full && OGL_show_drawn()) frame_shown();
      // The frame property coming back, as other property changes, is no
      // input: it is taken in passing and the wait goes on.
      do {
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval wait{0, std::clamp(full - spent(), 0L, full)};
        if (select(fd + 1, &readable, nullptr, nullptr, &wait) <= 0) break;
      } while (only_property_changes(display));
    } else if (OGL_show_drawn()) {
      // Events are waiting: the last frame goes on the screen before they
      // are taken, not a pass later.
      frame_shown();
    }
    last_wait_end = std::chrono::steady_clock::now();
    XEvent event;
    bool took_key = false, took_click = false;
    while (XCheckIfEvent(display, &event, LIN_handlewin, reinterpret_cast<XPointer>(mnw.window[0]))) {
      // Typed keys reach their field before anything takes the keyboard
      // from it. After a key, a pass stops taking events at a key the
      // focused field has no room for, and at a press or a key that closes
      // a box or moves the focus (Return, Enter, Escape, Tab) while the
      // field holds keys it has not read: its widget reads them in this
      // pass's frame, and the next pass takes the rest in order. A pass
      // takes at least one key, so that a queue nobody empties holds up
      // nothing. Keys typed after a click go where the click put the focus:
      // they wait for the next pass, after this frame's widgets took the
      // click, however late they reach the program.
      if ((took_key && waits_for_the_field(event)) || (took_click && is_key(event))) {
        XPutBackEvent(display, &event);
        break;
      }
      took_key = took_key || is_key(event);
      took_click = took_click || is_click(event);
      took_input = took_input || event.type != PropertyNotify;
      // A click after a click is a click of its own, and a release is seen
      // where it happened: a press, and the pointer's moves, wait for a
      // pass without a release, which they would otherwise take back or
      // move away from.
      const bool pointer = event.type == MotionNotify || (event.type == ButtonPress && event.xbutton.button <= 3);
      if (pointer && (mnw.release || release_pending)) {
        XPutBackEvent(display, &event);
        break;
      }
      LIN_handleevt(&event);
    }
  }
  xtim.profile_chart("event", 0);
  xtim.profile_chart("netlist", 0);

  if (mnw.cur_wind == 0) {
    THREAD_check_exception(1);
    if (mnw.cur_wind == 0) report_texture_failures();
  }

  xtim.xtim_update();
  keys.run_repeat_keys();
  mnw.cursor_type = 0;

  // While a menu is open, moving onto another title of the bar opens it.
  if (mnw.open_menu >= 0) {
    const int n = std::min(static_cast<int>(menu.size()), kPopupSlot);
    for (int i = 0; i < n; ++i) {
      const menu_struct& m = menu[static_cast<std::size_t>(i)];
      if (menu_is_bar_title(m) && i != mnw.open_menu && m.l <= mnw.mouse_x && mnw.mouse_x <= m.r &&
          m.b <= mnw.mouse_y && mnw.mouse_y <= m.t)
        MACIBM_handleclick(0);
    }
  }
  xtim.profile_chart("menu", 0);

  BTN_begin_focus_ring();
  if (!mnw.modal) APP_update();
  xtim.frame_mark = 0;
  mouse_help_per_wind(mnw.cur_wind);
  standard_gui();

  // The frame is drawn and swapped only when it shows something new. What
  // the last frame drew in place and is not on the screen yet goes there
  // first, and is published before this frame is drawn, not after.
  if (!qtim.mov_per_frame()) {
    if (OGL_show_drawn()) frame_shown();
    if (OGL_end_frame()) frame_shown();
  }
  const auto work = std::chrono::steady_clock::now() - last_wait_end;
  last_pass_quiet = !took_input && !mnw.down && !keys.any_pressed() && !UTL_worker_threads::any_in_flight() &&
                    !http.any_active() && work < std::chrono::microseconds(kQuietWorkUs);
  xtim.profile_chart("sbuff", 0);
  xtim.profile_chart("oglwork", 0);
  xtim.profile_chart("finish", 1);

  // What the frame logged reaches the file now, not at the next 64 KiB: a
  // log read while the program runs (or after it was killed) is up to date.
  // A frame that logged nothing makes no write.
  xer.flush();
}
