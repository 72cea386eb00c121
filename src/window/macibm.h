// Display start-up, the GL window, windows and the per-frame event loop.
#pragma once

#include <string>

#include "files/find_path.h"  // g_case_sensitive, set here
#include "files/io_utils.h"   // MACIBM_set_app_path, defined here
#include "runtime/threads.h"

// Set once the GL window is up; until then alerts print instead of showing a box.
extern int ogl_inited;

// Set by the first window start: from then on the start-up splash draws.
extern int plot_init_lights;

// The display start-up: run once on the main thread before the main loop.
// Heads the log, parses the command line, opens the GL window, probes
// OpenGL, starts the workers, uploads the built-in images and shows the
// start-up splash. Ends the process when there is no display or no GL.
void MACIBM_init(int argc, const char* const* argv);

// One frame of the start-up splash with `message` and a progress bar (the
// automatic progress when fraction is null), then a buffer swap. Draws
// nothing until the first window has been started.
void MACIBM_show_init(const std::string& message, float* fraction);

// ---------------------------------------------------------------------------
// The GL window

// Opens the display when needed, chooses a visual with the best granted
// anti-aliasing, creates the window (which 0; 1 is a second monitor's beside
// it) with its hints and properties, maps it and makes its context current.
// Returns 1; without a visual or a context the process ends with exit code 1.
int MACIBM_make_context(int which);

// Takes the requested window size (mode 1 at start-up, 0 at shutdown) and,
// when the screen calls for it, applies it to the window and sets its
// full-screen state. The screen mode itself is never changed.
void MACIBM_setres(int mode);

// Destroys GL context `which` and its X window.
void MACIBM_nuke_context(int which);

// Shows the back buffer of window `which`.
void MACIBM_swap_buffers(int which);
// Copies a rectangle of window `which`'s back buffer to the screen (x, y
// its lower-left corner in GL window pixels); the back buffer keeps its
// pixels. 0, and nothing done, when the GL driver cannot.
int MACIBM_copy_sub_buffer(int which, int x, int y, int w, int h);

// The visual attributes of one anti-aliasing attempt (level 0 none, 1 to 4
// for 2 to 16 samples; other levels leave the base list as it is). Fills 15
// ints.
void MACIBM_glx_visual_attributes(int level, int* attributes);

// ---------------------------------------------------------------------------
// Windows and clicks

// Makes a window current: size, centred origin, modal flag; drops the focus,
// closes menus and clears the pending click state.
void MACIBM_startwind(int window, int flag);

// Makes the current box `grown` units taller than its usual size (0: its
// usual size), centred anew; it keeps that height until another window is
// made current.
void MACIBM_grow_wind(float grown);

// A mouse press (forced 0) or Return in a sub-window (forced 1): closes a
// closable sub-window hit in a top corner, or applies the menu rules.
void MACIBM_handleclick(int forced);

// ---------------------------------------------------------------------------
// The event loop

// One pass of the event loop: input, failures, timer, the wizard frame, the
// mouse help and menus, the buffer swap.
void MACIBM_event_proc();

// The application's frame, which the event loop runs while no modal box is
// up, and its answer to a chosen menu item (the installer has no menus of
// its own). Defined by the wizard.
void APP_update();
void APP_handlemenu(int id);

// The window manager asked to close the window (its close button, Alt+F4):
// 1 once for each request, which the caller then acts on as the user's
// Quit; 0 when none is pending. A request that comes while a modal box is
// up is not kept: the box is answered first.
int MACIBM_take_close_request();

// The main window was made anew (on a connection that may be to another
// server): the event loop looks up the name of the property in which it
// publishes its frames again.
void MACIBM_main_window_made();

// Turns one X event into the window state and key calls.
typedef union _XEvent XEvent;
int LIN_handleevt(XEvent* event);

// The pointer at pixel (px, py) of X window `window`, into mouse_x, mouse_y.
void MACIBM_load_mxy(unsigned long window, int px, int py);

// The modifier keys as the key events left them.
int has_optionkey();
int has_shiftkey();
int has_capslock();

// 1 while a Shift, Control or Alt key is held.
extern int linkey_shft, linkey_ctrl, linkey_optn;
