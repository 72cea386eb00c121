// The installer wizard: the screen model, the frame driver that draws the
// wizard around the current screen once per frame, and the wizard's shared
// state.
//
// A screen is a function called once per frame with a fresh wizard_screen to
// fill; it keeps its own state in globals or statics, never in the record.
// Screens never draw the frame and never change the current screen: they
// fill the record (and may draw widgets of their own while they run), and
// the driver moves on by a button, a choice or the screen's own result.
#pragma once

#include <string>
#include <vector>

#include "runtime/globals.h"  // app_done, str_to_int
#include "window/macibm.h"    // APP_update and APP_handlemenu, defined here

struct wizard_screen;

// A screen: first_frame is 1 on the first frame it runs after another
// screen was current; a non-zero result asks to advance to next_screen.
typedef int (*screen_func)(int first_frame, wizard_screen& ws);

// What one screen fills in for one frame.
struct wizard_screen {
  std::string title;
  std::string body;
  screen_func back_screen = nullptr;  // null greys Back
  screen_func next_screen = nullptr;  // null greys Next; wizard_quit shows Next as Quit
  float progress = -1.0f;             // 0..1; below 0: no bar and no caption
  std::string progress_text;          // caption under the bar
  int show_servers = 0;               // draw the update-server radio list
  int prefs_ok = 0;                   // the Options button is enabled
  std::vector<std::string> choices;   // choice buttons, top to bottom
  std::vector<screen_func> choice_funcs;  // the target of each choice
  void (*kill)() = nullptr;           // run when the user quits (stops long work)
  // Asked when the user quits, before kill (a running install's cancel
  // question): 0 keeps the program running, anything else goes on quitting.
  int (*quit_question)() = nullptr;
};

// The current screen; null ends the program. Only APP_update changes it.
extern screen_func g_wizard;

// The steps of the current flow as the left panel lists them, filled by the
// flow's first screen; the two have the same length.
extern std::vector<std::string> step_names;
extern std::vector<screen_func> step_funcs;

// One step of a flow's list: its name (translated when the list is set) and
// its screen.
struct flow_step {
  const char* name;
  screen_func screen;
};
// Makes these the steps of the current flow, leaving out the ones whose
// screen is null.
void set_steps(const flow_step* steps, int count);

// The screen that ran in the frame before this one (null before the first).
// During a screen's first frame it is the screen the wizard came from.
screen_func wizard_last_screen();

// The folder named on the command line after "-path"; empty without it.
extern std::string cmd_line_path;

// The folder the command line names with "-path": the second argument when
// the first is exactly "-path", with a final "/" added when it lacks one;
// empty otherwise. Later arguments are not looked at.
std::string path_option(int argc, const char* const* argv);

// The screen that ends the program: sets app_done and returns 1. Screens
// put it into next_screen on the last step of a flow.
int wizard_quit(int first_frame, wizard_screen& ws);

// A hook of the window layer that the installer leaves empty.
void function_key(int key);
