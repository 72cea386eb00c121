#include "ui/textlist.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widget_parts.h"
#include "ui/widgets.h"
#include "window/menus.h"
#include "window/mnw.h"

namespace {

constexpr int kMaxEntries = 300;

short to_short(float v) {
  const float t = std::trunc(v);
  if (!(t > SHRT_MIN)) return SHRT_MIN;
  if (t >= SHRT_MAX) return SHRT_MAX;
  return static_cast<short>(t);
}

}  // namespace

int textlist_entries(const std::string& entries, std::vector<std::string>* out) {
  out->assign(1, std::string());
  for (char c : entries) {
    if (c == '|') return 1;
    if (c == '-') {
      if (out->size() >= static_cast<std::size_t>(kMaxEntries)) return 2;
      out->emplace_back();
    } else {
      out->back().push_back(c);
    }
  }
  return 0;
}

int textlist_code(float x, float y) {
  const double c = std::trunc(static_cast<double>(static_cast<float>(y * 1024.0f + x)));
  int code = c <= INT_MIN ? INT_MIN + 1 : (c >= INT_MAX ? INT_MAX : static_cast<int>(c));
  if (code == 0) code = INT_MIN;  // the idle value of the pop-up protocol names no box
  return code;
}

int BTN_textlist(float x, float y, int* value, std::string entries, std::string label) {
  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);

  std::vector<std::string> entry;
  switch (textlist_entries(entries, &entry)) {
    case 1: MACIBM_alert(0, "Found | char in text string!", entries, "", label, t_exit); return 0;
    case 2: MACIBM_alert(0, "BTN_text_list overflow!", entries, "", label, t_exit); return 0;
    default: break;
  }
  const int last = static_cast<int>(entry.size()) - 1;
  *value = std::clamp(*value, 0, last);

  float w = 0.0f;
  for (const std::string& e : entry) w = std::max(w, std::trunc(OGL_text_width(e)));
  const float half = w / 2.0f;

  BTN_frame1(10, x + 10.0f, y + 5.0f, w + 28.0f, 0);
  BTN_util_draw_label(x - half - 5.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + half + 25.0f, y, 2, second, 0);

  const bool hover = BTN_inside(mnw.mouse_x, mnw.mouse_y, x - half - 5.0f, y - 2.0f, x + half + 25.0f, y + 8.0f);
  const int code = textlist_code(x, y);
  if (mnw.click && code != active_popup_code && hover) active_popup_code = code;

  int result = 0;
  if (code == select_popup_code) {
    *value = std::clamp(popup_menu_select, 0, last);
    select_popup_code = 0;
    result = 1;
  }

  if (code != active_popup_code) {
    OGL_string(38, x, y, entry[static_cast<std::size_t>(*value)], 9999.0f, 100, 1);
    if (hover) stls.mouse_help = help;
    return result;
  }

  // Open: lend the entries to the pop-up slot, the current one on the bar.
  mnw.open_menu = kPopupSlot;
  if (menu.size() <= static_cast<std::size_t>(kPopupSlot)) menu.resize(kPopupSlot + 1);
  menu_struct& slot = menu[kPopupSlot];
  const int v = *value;
  slot.parent = -1;
  slot.l = static_cast<short>(to_short(x - half) - 2);
  slot.r = static_cast<short>(to_short(x + half) + 4);
  slot.b = to_short(y - 12.0f * (last - v));
  slot.t = static_cast<short>(slot.b + 12 + 12 * last);
  slot.items.resize(entry.size());
  float lowest = 384.0f, highest = 384.0f;
  for (int i = 0; i <= last; ++i) {
    item_struct& item = slot.items[static_cast<std::size_t>(i)];
    item.text = entry[static_cast<std::size_t>(i)];
    item.coded = 0;
    item.l = slot.l;
    item.r = slot.r;
    item.b = to_short(y - 12.0f * (i - v) - 3.0f);
    item.t = to_short(y + 9.0f - 12.0f * (i - v));
    lowest = std::min(lowest, static_cast<float>(item.b));
    highest = std::max(highest, static_cast<float>(item.t));
  }
  // A pop-up that does not fit the window walks one row per frame.
  if (lowest < 0.0f) *value += 1;
  if (highest > static_cast<float>(mnw.y_res)) *value -= 1;
  return result;
}
