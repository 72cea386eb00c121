// Names of keys and modifier sets, in three forms: the display form for
// people ("PageUp", modifier words "SHIFT", "ALT", "CTRL" joined by "+"),
// the code form of the plug-in interface's constants ("KVRM_VK_PRIOR",
// "kvrm_ShiftFlag"), and the character form that turns a typed character
// back into a key code and a Shift state. All of them work on the constant
// tables below and keep no state.
#pragma once

#include <string>

// One named key: its key code, the name of its constant and its display
// name. kKeyNameTable lists every named key code in ascending order and
// ends with a row whose names are null.
struct key_name_row {
  unsigned char vkey;
  const char* code_name;
  const char* display_name;
};
extern const key_name_row kKeyNameTable[];
constexpr int kKeyNameCount = 110;  // rows before the end row

// One typed character: the key code that types it and whether Shift is
// needed (US layout). Ends with an all-zero row.
struct ascii_translation {
  int character;
  int vkey;
  int shift;
};
extern const ascii_translation kAsciiTranslations[];
constexpr int kAsciiTranslationCount = 103;  // rows before the end row
