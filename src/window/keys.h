// The keyboard: key events from the X event handler, the per-frame key flags
// and the repeat of held key commands.
#pragma once

#include <vector>

// One key bound to a command.
struct key_binding {
  int vkey;        // key code; 0 unbound
  int flags;       // modifier bits that must be held
  int cmnd_index;  // the command in the registry
  int pressed;     // 1 from the press that fired it until its key comes up
};

class keys_class {
 public:
  int last_vkey = 0;   // key code of the last key recorded
  int last_flags = 0;  // its modifier bits
  std::vector<key_binding> bindings;

  // One X key event: type (2 press, 3 release), X keycode, X modifier state.
  void handle_key_raw(long type, long keycode, long state);
  // Once per frame: repeats the commands of held bindings.
  void run_repeat_keys();
  // Direction 0 resets the binding table; any other does nothing.
  void keys_io(int direction);
};

extern keys_class keys;

// Return, Escape and Delete pressed this frame with no field taking them;
// cleared at the start of every pass of the event loop.
extern int return_hit, escape_hit, delete_hit;
