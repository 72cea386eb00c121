#include "ui/focus.h"

#include <algorithm>
#include <climits>

#include "ui/widget_parts.h"
#include "window/mnw.h"

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;

int BTN_field_id(float x, float y) {
  const unsigned ux = static_cast<unsigned>(static_cast<int>(x));
  return static_cast<int>((ux << 13) + static_cast<unsigned>(static_cast<int>(y)));
}

bool BTN_is_text_char(int ch) {
  if (ch >= 0x20 && ch <= 0x7E) return true;
  switch (ch) {
    case 0xC1: case 0xC9: case 0xCD: case 0xD1: case 0xD3: case 0xDA:
    case 0xE1: case 0xE9: case 0xED: case 0xF1: case 0xF3: case 0xFA: case 0xFB:
      return true;
    default:
      return false;
  }
}

void BTN_begin_focus_ring() {
  focus_ring.clear();
  wind_focus = 0;
}

int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot, int* ctr_slot,
                       int slot_count, int accept_mask, int take_focus) {
  focus_ring.push_back({id, char_slot, vkey_slot, flag_slot, id_slot, ctr_slot, slot_count, accept_mask});
  if (take_focus) focus_id = id;
  return id == focus_id ? 1 : 0;
}

namespace {

constexpr int kRelease = 16;

// The accept-mask bit a key needs: by its key code first, else by its
// character.
int needed_bit(int ch, int vkey) {
  switch (vkey) {
    case 27: return kFocusEscape;
    case 9: return kFocusTab;
    case 13: case 187: case 188: return kFocusReturn;
    case 8: case 46: return kFocusDelete;
    default: break;
  }
  if (vkey >= 33 && vkey <= 40) return kFocusNavigation;
  if (ch == '+' || ch == '-') return kFocusSigns;
  if (ch >= '0' && ch <= '9') return kFocusDigits;
  if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) return kFocusLetters;
  if (BTN_is_text_char(ch)) return kFocusPrintable;
  return kFocusOther;
}

// Tab with no usable focus focuses the first field of the ring.
int tab_to_first(int vkey, int flags) {
  if (vkey == 9 && !(flags & kRelease) && !focus_ring.empty()) {
    focus_id = focus_ring.front().id;
    return 1;
  }
  return 0;
}

}  // namespace

int BTN_dispatch_to_focus(int ch, int vkey, int flags) {
  if (mnw.cur_wind == wind_alert) return 0;  // no field gets keys under an alert
  if (focus_id == 0) return tab_to_first(vkey, flags);

  std::size_t index = 0;
  while (index < focus_ring.size() && focus_ring[index].id != focus_id) ++index;
  if (index == focus_ring.size()) {  // the focused field was not drawn last frame
    if (tab_to_first(vkey, flags)) return 1;
    focus_id = 0;
    return 0;
  }
  const focus_info_t& f = focus_ring[index];

  if (vkey == 9 && !(f.accept_mask & kFocusTab) && !(flags & kRelease)) {
    const std::size_t n = focus_ring.size();
    const std::size_t next = (flags & 1) ? (index + n - 1) % n : (index + 1) % n;
    focus_id = focus_ring[next].id;
    return 1;
  }

  if (!(f.accept_mask & needed_bit(ch, vkey))) return 0;
  const int at = *f.ctr_slot;
  if (at < 0 || at >= f.slot_count) return 0;  // full: the key is not queued
  f.char_slot[at] = ch;
  f.vkey_slot[at] = vkey;
  f.flag_slot[at] = flags;
  f.id_slot[at] = focus_id;
  *f.ctr_slot = at + 1;
  return 1;
}

int BTN_focus_room() {
  if (mnw.cur_wind == wind_alert || focus_id == 0) return INT_MAX;
  for (const focus_info_t& f : focus_ring)
    if (f.id == focus_id) return std::max(0, f.slot_count - *f.ctr_slot);
  return INT_MAX;
}

int BTN_focus_unread() {
  if (focus_id == 0) return 0;
  for (const focus_info_t& f : focus_ring) {
    if (f.id != focus_id) continue;
    for (int i = 0; i < std::min(*f.ctr_slot, f.slot_count); ++i)
      if (f.id_slot[i] == focus_id) return 1;
    return 0;
  }
  return 0;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return (wind_focus == 0 && focus_id == 0) ? 1 : 0; }

std::string BTN_name_from_vector(int i, void* data) {
  const auto* v = static_cast<const std::vector<std::string>*>(data);
  return (i >= 0 && static_cast<std::size_t>(i) < v->size()) ? (*v)[static_cast<std::size_t>(i)] : std::string();
}

int BTN_type_from_vector(int i, void* data) {
  const auto* v = static_cast<const std::vector<int>*>(data);
  return (i >= 0 && static_cast<std::size_t>(i) < v->size()) ? (*v)[static_cast<std::size_t>(i)] : 0;
}

int BTN_zap_boxes(int pressed) {
  const float W = mnw.wind_w, H = mnw.wind_h;
  const float t1 = pressed ? 197.0f : 178.0f, t2 = t1 + 18.0f;
  BTN_atlas_quad(7.0f, H - 19.0f, 25.0f, H - 1.0f, 120.0f, t1, 138.0f, t2, 0);
  if (mnw.click && BTN_inside(mnw.mouse_x, mnw.mouse_y, 7.0f, H - 19.0f, 25.0f, H - 1.0f)) return 1;
  BTN_atlas_quad(W - 25.0f, H - 19.0f, W - 7.0f, H - 1.0f, 120.0f, t1, 138.0f, t2, 0);
  return (mnw.click && BTN_inside(mnw.mouse_x, mnw.mouse_y, W - 25.0f, H - 19.0f, W - 7.0f, H - 1.0f)) ? 1 : 0;
}
