// Mouse help and the cursor: the tooltip of the widget under a resting
// pointer, the system cursor hidden while idle, and the drawn sprite cursors
// that some widgets ask for.
#pragma once

#include <string>

// The tooltip box for a help text with the pointer at (mouse_x, mouse_y) of
// a window whose origin is (wind_x, wind_y) in an x_res by y_res screen: the
// text's corner (x, y) and its height h; the frame around it reaches 10
// units further on every side and is 420 wide.
struct mouse_help_box {
  float x, y, h;
};
mouse_help_box mouse_help_place(std::size_t text_length, float mouse_x, float mouse_y, float wind_x, float wind_y,
                                int x_res, int y_res);

// What the last pass showed: the help text drawn as a tooltip (empty when
// none) and where.
struct mouse_help_shown {
  std::string text;
  mouse_help_box box;
};
extern mouse_help_shown mouse_help_last;

// The cell of the interface image that sprite cursor `type` (3 and above)
// draws: texture coordinates from (u0, v0) to (u1, v1).
struct cursor_cell {
  float u0, v0, u1, v1;
};
cursor_cell cursor_sprite_cell(int type, int button_down);

// Once per frame and at every window start: the tooltip, then the cursor
// for this frame's cursor_type.
void mouse_help_per_wind(int wind);

// The system cursor is shown (it is hidden while idle or under a sprite).
extern int OS_mouse_showing;
// The last frame had a plug-in cursor (type 1).
extern int mouse_was_plugin;

// The main window goes: its cursors go with it.
void mouse_help_end();

// An X cursor that shows nothing.
typedef struct _XDisplay Display;
unsigned long LIN_create_null_cursor(Display* display, unsigned long window);
