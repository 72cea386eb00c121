// Drawing of the menus: the menu bar with the open pull-down menu, or the
// pop-up list of a text-list widget, over everything else in the frame.
#include <cstddef>

#include "window/menus.h"
#include "window/mnw.h"
#include "window/ui_calls.h"

namespace {

constexpr int kKorean = 6;
constexpr int kDividerDark = 35, kHighlight = 36, kDividerLight = 37, kMenuText = 38;
constexpr float kHighlightAlpha = 0.25f;

bool has_text(const item_struct& it) { return !it.text.empty(); }

void highlight(short l, short b, short r, short t) {
  OGL_fillrect(kHighlight, kHighlightAlpha, l, b, static_cast<float>(r - l), static_cast<float>(t - b));
}

}  // namespace

void standard_gui() {
  const int open = mnw.open_menu;
  const int count = static_cast<int>(menu.size());

  if (open != -1 && open != kPopupSlot) {
    BTN_frame1(0, static_cast<float>(mnw.x_res / 2), static_cast<float>(mnw.y_res - 9), static_cast<float>(mnw.x_res),
               0);
    const int font = mnw.lang == kKorean ? 103 : 100;
    for (const menu_struct& m : menu)
      if (!m.title.empty() && m.parent == -1) OGL_string(kMenuText, m.l + 10, m.b + 6, m.title, 9999, font, 0);
  }
  if (open < 0 || open >= count) return;

  const menu_struct& m = menu[static_cast<std::size_t>(open)];
  menu_compute_box(m);
  const int hovered = menu_hover_item(m, mnw.mouse_x, mnw.mouse_y);

  // A menu without a single text has no box to show.
  if (m_x2 > m_x1) BTN_frame2(17, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
  if (m.parent == -1 && open != kPopupSlot) highlight(m.l, m.b, m.r, m.t);
  if (hovered >= 0) {
    const item_struct& it = m.items[static_cast<std::size_t>(hovered)];
    highlight(it.l, it.b, it.r, it.t);
  }

  // A column that starts further right is set off by a two-tone line.
  for (std::size_t k = 1; k < m.items.size(); ++k) {
    const item_struct& it = m.items[k];
    if (!has_text(it) || it.l == m.items[k - 1].l) continue;
    OGL_line(kDividerDark, 1, it.l - 1, m_y1 - 1, it.l - 1, m_y2);
    OGL_line(kDividerLight, 1, it.l, m_y2, it.l, m_y1 - 1);
  }

  const float indent = open == kPopupSlot ? 3.0f : 18.0f;
  for (const item_struct& it : m.items) {
    if (!has_text(it)) continue;
    if (it.text[0] == '-') {
      OGL_line(kDividerDark, 1, it.l, it.b + 1, it.r - 1, it.b + 1);
      OGL_line(kDividerLight, 1, it.l, it.b, it.r - 1, it.b);
      continue;
    }
    OGL_string(kMenuText, it.l + indent, it.b + 3, it.text, 9999, it.coded ? 103 : 100, 0);
  }

  // Items that open a sub-menu carry an arrow at their right end.
  for (const menu_struct& sub : menu)
    if (sub.parent == open) BTN_util_element(sub.r - 8, sub.b + 6, 167, 187, 9, 9, 0);
}
