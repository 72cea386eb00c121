#include "window/keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstring>

#include "window/cmnd.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/ui_calls.h"

int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;

keys_class keys;

// Base keysym to key code. No keysym occurs twice. The rows for 178 and 179
// hold the brace keysyms.
const lin_mapping kLinMappings[] = {
    {0xFF08, 8}, {0xFF09, 9}, {0xFF0B, 12}, {0xFF0D, 13}, {0xFF1B, 27}, {0x0020, 32}, {0xFF55, 33},
    {0xFF56, 34}, {0xFF57, 35}, {0xFF50, 36}, {0xFF51, 37}, {0xFF52, 38}, {0xFF53, 39}, {0xFF54, 40},
    {0xFF60, 41}, {0xFF61, 42}, {0xFF62, 43}, {0xFF63, 45}, {0xFFFF, 46}, {0xFF6A, 47}, {0x0030, 48},
    {0x0031, 49}, {0x0032, 50}, {0x0033, 51}, {0x0034, 52}, {0x0035, 53}, {0x0036, 54}, {0x0037, 55},
    {0x0038, 56}, {0x0039, 57}, {0x0061, 65}, {0x0062, 66}, {0x0063, 67}, {0x0064, 68}, {0x0065, 69},
    {0x0066, 70}, {0x0067, 71}, {0x0068, 72}, {0x0069, 73}, {0x006A, 74}, {0x006B, 75}, {0x006C, 76},
    {0x006D, 77}, {0x006E, 78}, {0x006F, 79}, {0x0070, 80}, {0x0071, 81}, {0x0072, 82}, {0x0073, 83},
    {0x0074, 84}, {0x0075, 85}, {0x0076, 86}, {0x0077, 87}, {0x0078, 88}, {0x0079, 89}, {0x007A, 90},
    {0xFFB0, 96}, {0xFFB1, 97}, {0xFFB2, 98}, {0xFFB3, 99}, {0xFFB4, 100}, {0xFFB5, 101}, {0xFFB6, 102},
    {0xFFB7, 103}, {0xFFB8, 104}, {0xFFB9, 105}, {0xFFAA, 106}, {0xFFAB, 107}, {0xFFAC, 108}, {0xFFAD, 109},
    {0xFFAE, 110}, {0xFFAF, 111}, {0xFFBE, 112}, {0xFFBF, 113}, {0xFFC0, 114}, {0xFFC1, 115}, {0xFFC2, 116},
    {0xFFC3, 117}, {0xFFC4, 118}, {0xFFC5, 119}, {0xFFC6, 120}, {0xFFC7, 121}, {0xFFC8, 122}, {0xFFC9, 123},
    {0xFFCA, 124}, {0xFFCB, 125}, {0xFFCC, 126}, {0xFFCD, 127}, {0xFFCE, 128}, {0xFFCF, 129}, {0xFFD0, 130},
    {0xFFD1, 131}, {0xFFD2, 132}, {0xFFD3, 133}, {0xFFD4, 134}, {0xFFD5, 135}, {0x003D, 176}, {0x002D, 177},
    {0x007D, 178}, {0x007B, 179}, {0x0027, 180}, {0x003B, 181}, {0x005C, 182}, {0x002C, 183}, {0x002F, 184},
    {0x002E, 185}, {0x0060, 186}, {0xFF8D, 188}, {0xFFBD, 189},
};
const int kLinMappingsCount = sizeof kLinMappings / sizeof kLinMappings[0];

const lin_mapping kLinMappingsNumbers[] = {
    {0x0030, 48}, {0x0031, 49}, {0x0032, 50}, {0x0033, 51}, {0x0034, 52},
    {0x0035, 53}, {0x0036, 54}, {0x0037, 55}, {0x0038, 56}, {0x0039, 57},
};
const int kLinMappingsNumbersCount = sizeof kLinMappingsNumbers / sizeof kLinMappingsNumbers[0];

namespace {

constexpr long kShiftMask = 1, kControlMask = 4, kAltMask = 8, kNumLockMask = 16;
constexpr int kPress = 8, kRelease = 16;

int find_vkey(const lin_mapping* table, int count, unsigned long keysym) {
  for (int i = 0; i < count; ++i)
    if (table[i].keysym == keysym) return table[i].vkey;
  return -1;
}

bool is_keypad_digit(unsigned long keysym) {
  return (keysym >= 0xFFB0 && keysym <= 0xFFB9) || keysym == 0xFFAE;
}

bool name_is(const char* name, const char* a, const char* b, const char* c) {
  return name && (std::strcmp(name, a) == 0 || std::strcmp(name, b) == 0 || std::strcmp(name, c) == 0);
}

bool is_return(int vkey) { return vkey == KVRM_VK_RETURN || vkey == KVRM_VK_ENTER || vkey == KVRM_VK_NUMPAD_ENT; }

}  // namespace

key_event keys_class::translate(long type, unsigned long base, unsigned long level, const char* level_name,
                                unsigned long shifted, long state) {
  key_event ev;
  const bool shift = state & kShiftMask;
  const bool control = state & kControlMask;
  const bool alt = state & kAltMask;

  // Key code: by the base keysym; else a digit by the shifted keysym (layouts
  // whose digit keys give the digit only with Shift); else a keypad digit by
  // the shifted keysym when Num Lock and Shift together select it (keymaps
  // whose first level of a keypad key is its cursor function).
  int vkey = find_vkey(kLinMappings, kLinMappingsCount, base);
  if (vkey < 0) vkey = find_vkey(kLinMappingsNumbers, kLinMappingsNumbersCount, shifted);
  if (vkey < 0 && is_keypad_digit(shifted) && ((state & kNumLockMask) != 0) != shift)
    vkey = find_vkey(kLinMappings, kLinMappingsCount, shifted);
  if (vkey < 0) vkey = 0;

  if (name_is(level_name, "Num_Lock", "Caps_Lock", "Scroll_Lock")) {
    ev.drop = true;
    return ev;
  }

  int flags = (shift ? 1 : 0) | (control ? 4 : 0) | (alt ? 2 : 0);
  if (type == 2) flags |= kPress;
  if (type == 3) flags |= kRelease;

  // Only Latin-1 keysyms carry a character of their own.
  int ch = (!control && !alt && level <= 0xFF) ? static_cast<int>(level) : 0;

  if (name_is(level_name, "Shift_L", "Control_L", "Alt_L")) {
    ev.drop = true;
    return ev;
  }

  switch (vkey) {
    case KVRM_VK_BACK: case KVRM_VK_TAB: case KVRM_VK_RETURN: case KVRM_VK_ESCAPE: ch = vkey; break;
    case KVRM_VK_NUMPAD_ENT: ch = KVRM_VK_RETURN; break;
    case KVRM_VK_LEFT: ch = 28; break;
    case KVRM_VK_RIGHT: ch = 29; break;
    case KVRM_VK_UP: ch = 30; break;
    case KVRM_VK_DOWN: ch = 31; break;
    case KVRM_VK_DECIMAL: ch = '.'; break;
    default:
      if (vkey >= KVRM_VK_NUMPAD0 && vkey <= KVRM_VK_NUMPAD0 + 9) {
        ch = '0' + (vkey - KVRM_VK_NUMPAD0);
      } else if (flags == 0 && ch == 0 && vkey == 0) {
        ev.drop = true;
        return ev;
      }
  }
  ev.vkey = vkey;
  ev.ch = ch;
  ev.flags = flags;
  return ev;
}

void keys_class::handle_key_raw(long type, long keycode, long state) {
  Display* dpy = static_cast<Display*>(mnw.display);
  if (!dpy) return;
  const KeyCode kc = static_cast<KeyCode>(keycode & 0xFF);
  const KeySym base = XkbKeycodeToKeysym(dpy, kc, 0, 0);
  const KeySym shifted = XkbKeycodeToKeysym(dpy, kc, 0, 1);
  const KeySym level = (state & kShiftMask) ? shifted : base;
  const char* name = level == NoSymbol ? nullptr : XKeysymToString(level);
  deliver(translate(type, base, level, name, shifted, state));
}

void keys_class::deliver(const key_event& ev) {
  if (ev.drop) return;
  if (BTN_dispatch_to_focus(ev.ch, ev.vkey, ev.flags)) return;

  if (!(ev.flags & kRelease)) {
    if (is_return(ev.vkey)) return_hit = 1;
    if (ev.vkey == KVRM_VK_ESCAPE)
      escape_hit = 1;
    else if (ev.vkey == KVRM_VK_DELETE || ev.vkey == KVRM_VK_BACK)
      delete_hit = 1;
    if (mnw.cur_wind != 0 && return_hit) {
      MACIBM_handleclick(1);
      return;
    }
    if (ev.ch != 0) mnw.last_char = ev.ch;
  }

  last_vkey = ev.vkey;
  last_flags = ev.flags & 7;
  if (!(ev.flags & kRelease)) key_recorded = 1;

  if (mnw.cur_wind == wind_opensave) return;
  if (is_return(ev.vkey) || (!mnw.keys_off && ev.vkey != 0)) execute_key_cmnd(ev.vkey, ev.flags);
}

void keys_class::handle_key(int, int vkey, int flags) {
  if (is_return(vkey) || (!mnw.keys_off && vkey != 0)) execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
  for (key_binding& b : bindings) {
    if (b.vkey != vkey) continue;
    if (b.flags == (flags & 7) && (flags & kPress)) {
      cmnd.press_one(b.cmnd_index);
      b.pressed = 1;
    } else if (!b.pressed) {
      continue;
    }
    if (flags & kRelease) {
      cmnd.release_one(b.cmnd_index);
      b.pressed = 0;
    }
  }
}

void keys_class::run_repeat_keys() {
  for (const key_binding& b : bindings)
    if (b.pressed) cmnd.press_always(b.cmnd_index);
}

bool keys_class::any_pressed() const {
  for (const key_binding& b : bindings)
    if (b.pressed) return true;
  return false;
}

void keys_class::keys_io(int direction) {
  if (direction != 0 || default_command_count == 0) return;
  bindings.resize(1, key_binding{0, 0, 0, 0});
  const default_command& row = default_commands[0];
  bindings[0].vkey = row.default_vkey;
  bindings[0].flags = row.default_flags;
  bindings[0].cmnd_index = cmnd.get_cmnd_by_name(row.path);
}
