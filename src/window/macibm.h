// Display start-up, windows and the per-frame event loop.
#pragma once

#include <string>

// Set once the GL window is up; until then alerts print instead of showing a box.
extern int ogl_inited;

// Non-zero when the file system distinguishes letter case; 1 from the start.
extern int g_case_sensitive;

// Finds the running executable: its path (full != 0) or its folder with a
// final "/". Gives "./" when it cannot be found.
void MACIBM_set_app_path(std::string* out, int full);

// Makes a window current: size, centred origin, modal flag; drops the focus,
// closes menus and clears the pending click state.
void MACIBM_startwind(int window, int flag);

// One pass of the event loop.
void MACIBM_event_proc();

// The display start-up: run once on the main thread before the main loop.
// Opens and heads the log, fills the number tables and sets the window
// defaults.
void MACIBM_init(int argc, const char* const* argv);
