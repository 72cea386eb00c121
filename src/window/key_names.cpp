#include "window/key_names.h"

#include <cctype>
#include <string>

#include "window/keys.h"

const key_name_row kKeyNameTable[] = {
    {8, "KVRM_VK_BACK", "Backspace"},
    {9, "KVRM_VK_TAB", "Tab"},
    {12, "KVRM_VK_CLEAR", "Clear"},
    {13, "KVRM_VK_RETURN", "Return"},
    {27, "KVRM_VK_ESCAPE", "Escape"},
    {32, "KVRM_VK_SPACE", "Space"},
    {33, "KVRM_VK_PRIOR", "PageUp"},
    {34, "KVRM_VK_NEXT", "PageDown"},
    {35, "KVRM_VK_END", "End"},
    {36, "KVRM_VK_HOME", "Home"},
    {37, "KVRM_VK_LEFT", "Left"},
    {38, "KVRM_VK_UP", "Up"},
    {39, "KVRM_VK_RIGHT", "Right"},
    {40, "KVRM_VK_DOWN", "Down"},
    {41, "KVRM_VK_SELECT", "Select"},
    {42, "KVRM_VK_PRINT", "Print"},
    {43, "KVRM_VK_EXECUTE", "Execute"},
    {44, "KVRM_VK_SNAPSHOT", "Snapshot"},
    {45, "KVRM_VK_INSERT", "Insert"},
    {46, "KVRM_VK_DELETE", "Delete"},
    {47, "KVRM_VK_HELP", "Help"},
    {48, "KVRM_VK_0", "0"},
    {49, "KVRM_VK_1", "1"},
    {50, "KVRM_VK_2", "2"},
    {51, "KVRM_VK_3", "3"},
    {52, "KVRM_VK_4", "4"},
    {53, "KVRM_VK_5", "5"},
    {54, "KVRM_VK_6", "6"},
    {55, "KVRM_VK_7", "7"},
    {56, "KVRM_VK_8", "8"},
    {57, "KVRM_VK_9", "9"},
    {65, "KVRM_VK_A", "A"},
    {66, "KVRM_VK_B", "B"},
    {67, "KVRM_VK_C", "C"},
    {68, "KVRM_VK_D", "D"},
    {69, "KVRM_VK_E", "E"},
    {70, "KVRM_VK_F", "F"},
    {71, "KVRM_VK_G", "G"},
    {72, "KVRM_VK_H", "H"},
    {73, "KVRM_VK_I", "I"},
    {74, "KVRM_VK_J", "J"},
    {75, "KVRM_VK_K", "K"},
    {76, "KVRM_VK_L", "L"},
    {77, "KVRM_VK_M", "M"},
    {78, "KVRM_VK_N", "N"},
    {79, "KVRM_VK_O", "O"},
    {80, "KVRM_VK_P", "P"},
    {81, "KVRM_VK_Q", "Q"},
    {82, "KVRM_VK_R", "R"},
    {83, "KVRM_VK_S", "S"},
    {84, "KVRM_VK_T", "T"},
    {85, "KVRM_VK_U", "U"},
    {86, "KVRM_VK_V", "V"},
    {87, "KVRM_VK_W", "W"},
    {88, "KVRM_VK_X", "X"},
    {89, "KVRM_VK_Y", "Y"},
    {90, "KVRM_VK_Z", "Z"},
    {96, "KVRM_VK_NUMPAD0", "Numpad-0"},
    {97, "KVRM_VK_NUMPAD1", "Numpad-1"},
    {98, "KVRM_VK_NUMPAD2", "Numpad-2"},
    {99, "KVRM_VK_NUMPAD3", "Numpad-3"},
    {100, "KVRM_VK_NUMPAD4", "Numpad-4"},
    {101, "KVRM_VK_NUMPAD5", "Numpad-5"},
    {102, "KVRM_VK_NUMPAD6", "Numpad-6"},
    {103, "KVRM_VK_NUMPAD7", "Numpad-7"},
    {104, "KVRM_VK_NUMPAD8", "Numpad-8"},
    {105, "KVRM_VK_NUMPAD9", "Numpad-9"},
    {106, "KVRM_VK_MULTIPLY", "Numpad-*"},
    {107, "KVRM_VK_ADD", "Numpad-+"},
    {109, "KVRM_VK_SUBTRACT", "Numpad--"},
    {110, "KVRM_VK_DECIMAL", "Numpad-."},
    {111, "KVRM_VK_DIVIDE", "Numpad-/"},
    {112, "KVRM_VK_F1", "F1"},
    {113, "KVRM_VK_F2", "F2"},
    {114, "KVRM_VK_F3", "F3"},
    {115, "KVRM_VK_F4", "F4"},
    {116, "KVRM_VK_F5", "F5"},
    {117, "KVRM_VK_F6", "F6"},
    {118, "KVRM_VK_F7", "F7"},
    {119, "KVRM_VK_F8", "F8"},
    {120, "KVRM_VK_F9", "F9"},
    {121, "KVRM_VK_F10", "F10"},
    {122, "KVRM_VK_F11", "F11"},
    {123, "KVRM_VK_F12", "F12"},
    {124, "KVRM_VK_F13", "F13"},
    {125, "KVRM_VK_F14", "F14"},
    {126, "KVRM_VK_F15", "F15"},
    {127, "KVRM_VK_F16", "F16"},
    {128, "KVRM_VK_F17", "F17"},
    {129, "KVRM_VK_F18", "F18"},
    {130, "KVRM_VK_F19", "F19"},
    {131, "KVRM_VK_F20", "F20"},
    {132, "KVRM_VK_F21", "F21"},
    {133, "KVRM_VK_F22", "F22"},
    {134, "KVRM_VK_F23", "F23"},
    {135, "KVRM_VK_F24", "F24"},
    {176, "KVRM_VK_EQUAL", "="},
    {177, "KVRM_VK_MINUS", "-"},
    {178, "KVRM_VK_RBRACE", "]"},
    {179, "KVRM_VK_LBRACE", "["},
    {180, "KVRM_VK_QUOTE", "'"},
    {181, "KVRM_VK_SEMICOLON", ";"},
    {182, "KVRM_VK_BACKSLASH", "\\"},
    {183, "KVRM_VK_COMMA", ","},
    {184, "KVRM_VK_SLASH", "/"},
    {185, "KVRM_VK_PERIOD", "."},
    {186, "KVRM_VK_BACKQUOTE", "`"},
    {187, "KVRM_VK_ENTER", "Enter"},
    {188, "KVRM_VK_NUMPAD_ENT", "Numpad-Enter"},
    {189, "KVRM_VK_NUMPAD_EQ", "Numpad-="},
    {0, nullptr, nullptr},
};
static_assert(sizeof kKeyNameTable / sizeof kKeyNameTable[0] == kKeyNameCount + 1, "110 named keys and the end row");

// The US layout: '&' is typed with Shift on the 7 key and '}' with Shift on
// the ']' key.
const ascii_translation kAsciiTranslations[] = {
    {13, 13, 0}, {27, 27, 0}, {9, 9, 0}, {8, 8, 0}, {28, 37, 0}, {29, 39, 0},
    {30, 38, 0}, {31, 40, 0}, {' ', 32, 0}, {'!', 49, 1}, {'"', 180, 1}, {'#', 51, 1},
    {'$', 52, 1}, {'%', 53, 1}, {'&', 55, 1}, {'\'', 180, 0}, {'(', 57, 1}, {')', 48, 1},
    {'*', 56, 1}, {'+', 176, 1}, {',', 183, 0}, {'-', 177, 0}, {'.', 185, 0}, {'/', 184, 0},
    {'0', 48, 0}, {'1', 49, 0}, {'2', 50, 0}, {'3', 51, 0}, {'4', 52, 0}, {'5', 53, 0},
    {'6', 54, 0}, {'7', 55, 0}, {'8', 56, 0}, {'9', 57, 0}, {':', 181, 1}, {';', 181, 0},
    {'<', 183, 1}, {'=', 176, 0}, {'>', 185, 1}, {'?', 184, 1}, {'@', 50, 1}, {'A', 65, 1},
    {'B', 66, 1}, {'C', 67, 1}, {'D', 68, 1}, {'E', 69, 1}, {'F', 70, 1}, {'G', 71, 1},
    {'H', 72, 1}, {'I', 73, 1}, {'J', 74, 1}, {'K', 75, 1}, {'L', 76, 1}, {'M', 77, 1},
    {'N', 78, 1}, {'O', 79, 1}, {'P', 80, 1}, {'Q', 81, 1}, {'R', 82, 1}, {'S', 83, 1},
    {'T', 84, 1}, {'U', 85, 1}, {'V', 86, 1}, {'W', 87, 1}, {'X', 88, 1}, {'Y', 89, 1},
    {'Z', 90, 1}, {'[', 179, 0}, {'\\', 182, 0}, {']', 178, 0}, {'^', 54, 1}, {'_', 177, 1},
    {'`', 186, 0}, {'a', 65, 0}, {'b', 66, 0}, {'c', 67, 0}, {'d', 68, 0}, {'e', 69, 0},
    {'f', 70, 0}, {'g', 71, 0}, {'h', 72, 0}, {'i', 73, 0}, {'j', 74, 0}, {'k', 75, 0},
    {'l', 76, 0}, {'m', 77, 0}, {'n', 78, 0}, {'o', 79, 0}, {'p', 80, 0}, {'q', 81, 0},
    {'r', 82, 0}, {'s', 83, 0}, {'t', 84, 0}, {'u', 85, 0}, {'v', 86, 0}, {'w', 87, 0},
    {'x', 88, 0}, {'y', 89, 0}, {'z', 90, 0}, {'{', 179, 1}, {'|', 182, 1}, {'}', 178, 1},
    {'~', 186, 1},
    {0, 0, 0},
};
static_assert(sizeof kAsciiTranslations / sizeof kAsciiTranslations[0] == kAsciiTranslationCount + 1,
              "103 characters and the end row");

namespace {

const key_name_row* row_of(int vkey) {
  const unsigned char code = static_cast<unsigned char>(vkey);
  for (const key_name_row* r = kKeyNameTable; r->display_name; ++r)
    if (r->vkey == code) return r;
  return nullptr;
}

// The set bits of flags (1, 2, 4) as words joined by "+"; `none` for none.
std::string flag_words(int flags, const char* shift, const char* alt, const char* ctrl, const char* none) {
  std::string out;
  auto add = [&out](const char* word) {
    if (!out.empty()) out += '+';
    out += word;
  };
  if (flags & 1) add(shift);
  if (flags & 2) add(alt);
  if (flags & 4) add(ctrl);
  return out.empty() ? std::string(none) : out;
}

bool same_ignoring_case(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

}  // namespace

int keys_class::key_bound_to(int vkey, int flags) const {
  for (const key_binding& b : bindings)
    if (b.vkey == vkey && b.flags == flags) return b.cmnd_index;
  return 0;
}

std::string keys_class::get_key_for_cmnd(int cmnd_index) const {
  for (const key_binding& b : bindings) {
    if (b.cmnd_index != cmnd_index) continue;
    std::string name = vkey_to_str(b.vkey);
    if (!name.empty() && name[0] >= 'A' && name[0] <= 'Z') name[0] = static_cast<char>(name[0] - 'A' + 'a');
    return b.flags == 0 ? name : flag_to_str(b.flags) + "-" + name;
  }
  return std::string();
}

int keys_class::ascii_to_vkey(int character, int& vkey, int& shift) {
  vkey = 0;
  shift = 0;
  for (const ascii_translation* r = kAsciiTranslations; r->character; ++r) {
    if (r->character != character) continue;
    vkey = r->vkey;
    shift = r->shift;
    return 1;
  }
  return 0;
}

std::string keys_class::vkey_to_str(int vkey) {
  const key_name_row* r = row_of(vkey);
  return r ? r->display_name : "<none>";
}

int keys_class::str_to_vkey(std::string name) {
  for (const key_name_row* r = kKeyNameTable; r->display_name; ++r)
    if (same_ignoring_case(name, r->display_name)) return r->vkey;
  return 0;
}

std::string keys_class::vkey_to_code(int vkey) {
  const key_name_row* r = row_of(vkey);
  return r ? std::string(r->code_name) : std::to_string(vkey);
}

std::string keys_class::flag_to_str(int flags) { return flag_words(flags, "SHIFT", "ALT", "CTRL", "<none>"); }

std::string keys_class::flag_to_code(int flags) {
  return flag_words(flags, "kvrm_ShiftFlag", "kvrm_OptionAltFlag", "kvrm_ControlFlag", "0");
}

int keys_class::str_to_flag(std::string text) {
  int flags = 0;
  if (text.find("SHIFT") != std::string::npos) flags |= 1;
  if (text.find("ALT") != std::string::npos) flags |= 2;
  if (text.find("CTRL") != std::string::npos) flags |= 4;
  return flags;
}

void keys_class::debug() {}
