// The keyboard: key events from the X event handler, the per-frame key flags
// and the repeat of held key commands.
#pragma once

#include <string>
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

  // --- Bindings and key names (key_names.cpp) ---

  // The command bound to exactly this key and these modifiers; 0 (the
  // do-nothing command) when none is.
  int key_bound_to(int vkey, int flags) const;
  // How the first key bound to a command is shown ("SHIFT+CTRL-a", "f1");
  // empty when no key is.
  std::string get_key_for_cmnd(int cmnd_index) const;
  // The key code and Shift state that type a character; 0 with both outputs
  // 0 when no key does.
  static int ascii_to_vkey(int character, int& vkey, int& shift);
  // Display name of a key code ("PageUp"), "<none>" for an unnamed code.
  static std::string vkey_to_str(int vkey);
  // Key code of a display name, letter case ignored; 0 for none.
  static int str_to_vkey(std::string name);
  // Name of a key code's constant ("KVRM_VK_PRIOR"), or the code in decimal.
  static std::string vkey_to_code(int vkey);
  // Modifier bits as words: "SHIFT+ALT+CTRL", "<none>" for none.
  static std::string flag_to_str(int flags);
  // Modifier bits as constants: "kvrm_ShiftFlag+kvrm_ControlFlag", "0".
  static std::string flag_to_code(int flags);
  // Modifier bits named anywhere in a text ("SHIFT", "ALT", "CTRL").
  static int str_to_flag(std::string text);
  static void debug();
};

extern keys_class keys;

// Return, Escape and Delete pressed this frame with no field taking them;
// cleared at the start of every pass of the event loop.
extern int return_hit, escape_hit, delete_hit;
