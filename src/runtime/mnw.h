// The window and input state of the current frame. Defined and kept by the
// window layer (window/mnw.cpp); every layer reads it.
#pragma once

// Window ids: the main window and the modal sub-windows.
enum wind_id {
  wind_main = 0,
  wind_eula = 1,
  wind_prefs = 2,
  wind_keys = 991,
  wind_livery = 992,
  wind_about = 993,
  wind_alert = 994,
  wind_nuke_alert = 995,
  wind_question = 996,
  wind_abort_question = 997,
  wind_file_dialog = 998,
  wind_opensave = 999,
};

struct mnw_struct {
  int alias_req;        // anti-aliasing level asked for, 0..4
  int alias_got;        // anti-aliasing level obtained
  int swap_wind;        // window whose buffers are swapped; always 0
  void* visual;         // XVisualInfo* of the GL windows
  unsigned long window[2];  // X windows: [0] main, [1] second monitor
  void* context[2];     // GLXContext: [0] main, [1] second monitor
  void* display;        // Display*; null while no X connection is open
  int sec_mon_inuse;
  int sec_mon_open;
  int cur_wind;         // id of the current window; -1 before the first frame
  int view_count;       // changes of what is shown: a window made current, a new screen of the wizard
  int modal;            // 1 while a modal sub-window is current
  float wind_x, wind_y; // origin of the current window in layout units
  float wind_w, wind_h; // size of the current window in layout units
  float wind_grown;     // height a box has grown by, above its usual size, to hold its texts
  int cursor_type;
  int open_menu;        // index of the open menu, -1 when none
  int x_res, y_res;     // main window size in pixels
  int col_res;
  int set_res;
  int tex_res;
  int x_res_req, y_res_req;
  int col_res_req;
  float inset_x;
  float view_l, view_b, view_w, view_h;
  float scale;          // pixels per layout unit
  float mouse_x, mouse_y;  // pointer in the current window's units, y upward
  int click;            // a button went down this frame
  int double_click;     // this frame's click came soon after the previous one
  int release;          // a button came up this frame
  int down;             // a button is held
  int held;             // the button has been held for more than 0.25 s
  int quick_click;      // this frame's release came soon after its click
  int wheel;
  int key_down;
  int last_char;
  float last_move_time;   // frame-timer seconds of the last pointer activity
  float last_click_time;  // frame-timer seconds of the last click
  int key_held;
  int lang;             // 0 English, 1 French, 2 German, 3 Italian, 4 Spanish, 5 Portuguese, 6 Korean
  int profiling;        // frame-timer profile chart on; never set here
  int keys_off;
};

extern mnw_struct mnw;
