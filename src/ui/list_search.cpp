#include "ui/list_search.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "runtime/xtim.h"
#include "ui/draw.h"
#include "ui/enterstring.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/key_queue.h"
#include "ui/slider.h"
#include "ui/widget_parts.h"
#include "window/keys.h"
#include "window/mnw.h"

namespace {

BTN_key_queue list_keys;
std::string type_ahead;
float last_type_ahead = -1.0f;
int current_list_id = 0;

// Atlas columns of the row icons by type; every icon spans t 82 to 94.
bool icon_columns(int type, float* s1, float* s2) {
  switch (type) {
    case 1: *s1 = 34; break;
    case 3: *s1 = 48; break;
    case 4: *s1 = 62; break;
    case 5: *s1 = 90; break;
    case 7: *s1 = 146; break;
    case 9: *s1 = 104; break;
    case 10: *s1 = 118; break;
    case 11: *s1 = 132; break;
    default: return false;
  }
  *s2 = *s1 + 12.0f;
  return true;
}

}  // namespace

int list_find_prefix(int first, int last, const std::string& prefix, BTN_name_func name, void* name_ref) {
  for (int i = first; i <= last; ++i) {
    const std::string n = name(i, name_ref);
    if (n.size() >= prefix.size() && strncasecmp(n.c_str(), prefix.c_str(), prefix.size()) == 0) return i;
  }
  return -1;
}

int BTN_list_and_search(int slider, float x, float y, float width, float height, int* centre, int* selection,
                        int first, int last, std::string* entry, const std::string& caption, BTN_name_func name,
                        void* name_ref, BTN_name_func second, void* second_ref, BTN_type_func type, void* type_ref) {
  const float x0 = BTN_round_half_away(x), y0 = BTN_round_half_away(y);
  const float W = width > 0.0f ? width : 290.0f;
  const float H = height > 0.0f ? height : 220.0f;
  const int R = height > 0.0f ? static_cast<int>(H * 0.05f) - 1 : 10;
  const float bottom = y0 - H / 2.0f, top = y0 + H / 2.0f;
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  const bool in_box = BTN_inside(mx, my, x0, bottom, x0 + W, top);

  const int id = static_cast<int>(y0) + static_cast<int>(static_cast<unsigned>(static_cast<int>(x0)) * 8192u);
  const int request = mnw.open_menu == -1 && mnw.click && in_box;
  const int focused = list_keys.enter(id, 496, request);
  if (focused && id != current_list_id) {
    type_ahead.clear();
    current_list_id = id;
  }

  const auto keep_visible = [&]() {
    if (*selection > *centre + R) *centre = *selection - R;
    if (*selection < *centre - R) *centre = *selection + R;
  };
  list_keys.consume(id, [&](int ch, int vkey, int) {
    if (vkey == KVRM_VK_DOWN) {
      *selection += 1;
      if (*selection > *centre + R) *centre = *selection - R;
    } else if (vkey == KVRM_VK_UP) {
      *selection -= 1;
      if (*selection < *centre - R) *centre = *selection + R;
    } else if (BTN_is_text_char(ch)) {
      if (xtim.elapsed - last_type_ahead > 1.0f) type_ahead.clear();
      last_type_ahead = xtim.elapsed;
      type_ahead.push_back(static_cast<char>(ch));
      if (first <= last) {
        const int i = list_find_prefix(first, last, type_ahead, name, name_ref);
        if (i >= 0) {
          *selection = i;
          keep_visible();
        }
      }
    }
  });

  // The entry names a file or a folder.
  if (entry) BTN_enterstring(x0 + 35.0f, y0 - 131.0f, entry, 36, caption, 252.0f, 1, field_chars::path);
  if (last < first) return 0;

  BTN_frame2(16, x0, bottom, W, H, "");
  if (first < last) BTN_vert_slider(slider, x0 + W + 16.0f, bottom, top, first, last, centre);
  if (in_box && mnw.wheel != 0) {
    *centre -= mnw.wheel;
    mnw.wheel = 0;
  }
  *centre = std::clamp(*centre, first, last);

  int result = 0;
  if (mnw.click && in_box) {
    const int row = static_cast<int>(BTN_round_half_away((my - y0) * 0.1f));
    *selection = *centre - row;
    result = mnw.double_click ? 1 : 0;
  }
  *selection = std::clamp(*selection, first, last);

  for (int k = -R; k <= R; ++k) {
    const int i = *centre + k;
    if (i < first || i > last) continue;
    const float yr = y0 - 10.0f * k;
    OGL_string(45, x0 + 20.0f, yr - 3.0f, name(i, name_ref), 9999.0f, 100, 0);
    if (second) OGL_string(45, x0 + 242.0f, yr - 3.0f, second(i, second_ref), 9999.0f, 100, 0);
    float s1, s2;
    if (type && icon_columns(type(i, type_ref), &s1, &s2))
      BTN_atlas_quad(x0 + 4.0f, yr - 6.0f, x0 + 16.0f, yr + 6.0f, s1, 82, s2, 94, 0);
    if (i == *selection) OGL_fillrect(12, 0.25f, x0 + 18.0f, yr - 5.0f, W - 22.0f, 10.0f);
  }
  if (focused) OGL_framerect(45, 1.0f, x0, bottom, W, H);
  return result;
}
