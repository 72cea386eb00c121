// Keyboard translation and key flags.
//
// Every X key press and release becomes the program's own key event: a key
// code (Windows virtual-key numbers below 136, own codes 176 to 189), a
// character (0 while Control or Alt is held; 28 to 31 for the arrows) and a
// flags word (1 Shift, 2 Alt, 4 Control, 8 press, 16 release). The focused
// field is asked first; a key that no field takes raises this frame's
// Return, Escape and Delete flags, closes a closable sub-window on Return,
// is recorded as the last key and fires the key commands bound to it.
//
// Characters are never taken from keysyms above the Latin-1 range: a
// function key that the translation does not give a character of its own
// (Delete, Home, End, Insert, PageUp ...) carries character 0, so it can
// never type a stray byte into a text field. The keypad Enter key acts as
// Return wherever Return acts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Set when Return (or an Enter key), Escape, or Delete or Backspace was
// pressed in this frame and no field took it; the event loop clears them at
// the start of every frame.
extern int return_hit;
extern int escape_hit;
extern int delete_hit;

// Key codes that the translation and its users test.
enum {
  KVRM_VK_BACK = 8,
  KVRM_VK_TAB = 9,
  KVRM_VK_RETURN = 13,
  KVRM_VK_ESCAPE = 27,
  KVRM_VK_PRIOR = 33,
  KVRM_VK_NEXT = 34,
  KVRM_VK_END = 35,
  KVRM_VK_HOME = 36,
  KVRM_VK_LEFT = 37,
  KVRM_VK_UP = 38,
  KVRM_VK_RIGHT = 39,
  KVRM_VK_DOWN = 40,
  KVRM_VK_INSERT = 45,
  KVRM_VK_DELETE = 46,
  KVRM_VK_NUMPAD0 = 96,
  KVRM_VK_DECIMAL = 110,
  KVRM_VK_F1 = 112,
  KVRM_VK_ENTER = 187,
  KVRM_VK_NUMPAD_ENT = 188,
};

// One row of a keysym table.
struct lin_mapping {
  uint32_t keysym;
  uint8_t vkey;
};
// The whole key vocabulary by base keysym (109 rows), and the digits alone
// (10 rows), which are also looked up by a key's shifted keysym.
extern const lin_mapping kLinMappings[];
extern const int kLinMappingsCount;
extern const lin_mapping kLinMappingsNumbers[];
extern const int kLinMappingsNumbersCount;

// One binding of a key to a command of the registry.
struct key_binding {
  int vkey;        // 0 unbound
  int flags;       // exact modifier bits (0 to 7)
  int cmnd_index;  // the command in cmnd
  int pressed;     // 1 from the press that fired it until its key's release
};

// One translated key event; drop says that nothing is to be done with it.
struct key_event {
  int vkey = 0;
  int ch = 0;
  int flags = 0;
  bool drop = false;
};

class keys_class {
 public:
  int last_vkey = 0;   // key code of the last key recorded
  int last_flags = 0;  // its modifier bits
  // A key press was recorded into last_vkey and last_flags during this pass
  // of the event loop (cleared at the start of every pass). A press that a
  // field took, a Return that closed a sub-window and a dropped key (a lock
  // key) are not recorded.
  int key_recorded = 0;
  std::vector<key_binding> bindings;

  // One X key event: type 2 press or 3 release, the X keycode (low 8 bits
  // used) and the X modifier state.
  void handle_key_raw(long type, long keycode, long state);

  // The translation alone, from the keysyms of the key: at index 0 (base), at
  // the level that Shift selects (level, with its name, null when it has
  // none) and at index 1 (shifted).
  static key_event translate(long type, unsigned long base, unsigned long level, const char* level_name,
                             unsigned long shifted, long state);

  // Hands a translated key on: the focused field, then the hit flags and the
  // sub-window close, the last key, and the key commands.
  void deliver(const key_event& event);

  // The key-command step for an already translated key; the first argument
  // is ignored.
  void handle_key(int, int vkey, int flags);
  // Presses every binding of the key whose modifiers match exactly, and
  // releases every pressed binding of the key on its release.
  void execute_key_cmnd(int vkey, int flags);
  // Once per frame: held bindings repeat their command.
  void run_repeat_keys();
  // Whether a key that repeats its command every frame is held down.
  bool any_pressed() const;
  // Direction 0 resets the bindings to the defaults; anything else does
  // nothing (nothing is saved).
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

  // --- The key assignment window (keys_window.cpp) ---

  // Draws and runs one frame of the window in the current window: the list
  // of bindings, and unless list_only the command chooser of the selected
  // one.
  void keys_wind(int list_only);
};

extern keys_class keys;
