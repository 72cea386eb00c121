// The menu table and the operations that fill it.
#include "window/menus.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "runtime/alert.h"
#include "window/mnw.h"

std::vector<menu_struct> menu;
int active_popup_code = 0, select_popup_code = 0, popup_menu_select = 0;

namespace {

constexpr const char* kSource = "RAdorud/GenC/hl_mnw";
constexpr int kKorean = 6;

// Advance widths of the menu font, by byte; bytes not listed have none.
struct advance_table {
  unsigned char w[256] = {};
  advance_table() {
    auto set = [this](const char* bytes, int width) {
      for (const char* p = bytes; *p; ++p) w[static_cast<unsigned char>(*p)] = static_cast<unsigned char>(width);
    };
    set(",.", 2);
    set(" '/:;I\\`ijl|\xFB", 3);
    set("!()-J[]frst", 4);
    set("c", 5);
    set("#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA", 6);
    set("+<=>BCKRVXYbdghnopqu", 7);
    set("&ADGHNU", 8);
    set("@OQw", 9);
    set("Mm", 10);
    set("%W", 11);
  }
};
const advance_table kAdvance;

// A layout position cut toward zero into a rectangle edge.
short edge(float v) {
  const float t = std::trunc(v);
  if (!(t > SHRT_MIN)) return SHRT_MIN;
  if (t >= SHRT_MAX) return SHRT_MAX;
  return static_cast<short>(t);
}

// The width a title or item needs.
float entry_width(const std::string& text) { return menu_dx(text) + 30.0f; }

bool in_table(int n) { return n >= 0 && n < static_cast<int>(menu.size()); }

// Left edge of the next title of the menu bar.
float bar_x = 0.0f;

// Places row k of a menu, h units high: the first row just below the bar
// (or on its parent item's row for a sub-menu), the others right under the
// row before.
void place_row(menu_struct& m, std::size_t k, int h) {
  item_struct& it = m.items[k];
  if (k == 0 && m.parent == -1) {
    it.b = edge(static_cast<float>(m.b - h - 2));
    it.t = edge(static_cast<float>(m.b - 2));
  } else if (k == 0) {
    it.b = edge(static_cast<float>(m.b - 2));
    it.t = edge(static_cast<float>(m.t - 2));
  } else {
    it.t = m.items[k - 1].b;
    it.b = edge(static_cast<float>(it.t - h));
  }
}

}  // namespace

float menu_dx(std::string text) {
  if (mnw.lang == kKorean) return 8.0f * static_cast<float>(text.size());
  int width = 0;
  for (char c : text) width += kAdvance.w[static_cast<unsigned char>(c)];
  return static_cast<float>(width);
}

int accept_item(int /*id*/) { return 1; }

void MACIBM_clear_menus(int how) {
  if (how != 1) return;
  menu.assign(kMenuSlots, menu_struct{});
}

void MACIBM_clear_menu(int n) {
  if (in_table(n)) menu[static_cast<std::size_t>(n)] = menu_struct{};
}

void MACIBM_clear_items(int n) {
  if (in_table(n)) menu[static_cast<std::size_t>(n)].items.clear();
}

void MACIBM_create_menu(int n, int parent_code, std::string title) {
  if (n > kMenuSlots - 1) {
    __MACIBM_alert(0, "Menu index out of range in create_menu!", "", "", title, t_exit, kSource, 70);
    return;
  }
  if (!in_table(n)) return;
  if (title.size() > kMenuTitleMax - 1) title.resize(kMenuTitleMax);

  if (parent_code != 0) {
    const int p = parent_code / kMenuItemSlots;
    const int i = parent_code % kMenuItemSlots;
    if (!in_table(p) || i < 0 || i >= static_cast<int>(menu[static_cast<std::size_t>(p)].items.size())) return;
    const item_struct& opener = menu[static_cast<std::size_t>(p)].items[static_cast<std::size_t>(i)];
    menu_struct& m = menu[static_cast<std::size_t>(n)];
    m.title = title;
    m.parent = p;
    m.l = opener.l;
    m.b = opener.b;
    m.r = opener.r;
    m.t = opener.t;
    return;
  }

  menu_struct& m = menu[static_cast<std::size_t>(n)];
  const float w = entry_width(title);
  const float left = n == 0 ? 0.0f : bar_x;
  m.title = title;
  m.parent = -1;
  m.l = edge(left);
  m.r = edge(left + w);
  m.b = edge(static_cast<float>(mnw.y_res - kMenuBarHeight));
  m.t = edge(static_cast<float>(mnw.y_res));
  bar_x = m.title == "Plugins" ? left : static_cast<float>(m.r);
}

void MACIBM_append_menu(int n, int item, int id, std::string text, int plain) {
  if (n < 0 || item < 0) return;
  if (n > kMenuSlots - 1) {
    __MACIBM_alert(0, "Menu index out of range in append_menu!", "", "", text, t_exit, kSource, 110);
    return;
  }
  if (item > kMenuItemSlots - 1) {
    __MACIBM_alert(0, "Item index out of range in append_menu!", "", "", text, t_exit, kSource, 111);
    return;
  }
  if (text.size() > kMenuItemTextMax) {
    __MACIBM_alert(0, "Menu name too long in append_menu!", "", "", text, t_exit, kSource, 112);
    return;
  }
  if (!in_table(n)) return;

  menu_struct& m = menu[static_cast<std::size_t>(n)];
  const std::size_t k = static_cast<std::size_t>(item);
  // Empty fillers before the item keep the rows of plain items, so that the
  // item lands where it would with them filled in.
  for (std::size_t j = m.items.size(); j < k; ++j) {
    m.items.emplace_back();
    place_row(m, j, 12);
  }
  if (k >= m.items.size()) m.items.resize(k + 1);
  item_struct& it = m.items[k];
  it.text = text;
  it.id = id;
  it.coded = mnw.lang == kKorean && plain == 0 ? 1 : 0;

  int h = it.coded ? 14 : 12;
  if (!text.empty() && text[0] == '-') h = 2;
  place_row(m, k, h);

  float widest = 0.0f;
  for (std::size_t i = 0; i <= k; ++i) widest = std::max(widest, entry_width(m.items[i].text));
  for (std::size_t i = 0; i <= k; ++i) {
    m.items[i].l = m.l;
    m.items[i].r = edge(static_cast<float>(m.l) + widest);
  }
}

void MACIBM_remove_menu_item(int n, int item) {
  if (item < 0 || n < 0) return;
  if (n > kMenuSlots - 1) {
    __MACIBM_alert(0, "Menu index out of range in append_menu!", "", "", "", t_exit, kSource, 178);
    return;
  }
  if (item > kMenuItemSlots - 1) {
    __MACIBM_alert(0, "Item index out of range in append_menu!", "", "", "", t_exit, kSource, 179);
    return;
  }
  if (!in_table(n)) return;
  std::vector<item_struct>& items = menu[static_cast<std::size_t>(n)].items;
  const std::size_t k = static_cast<std::size_t>(item);
  if (k >= items.size()) return;

  const int h = items[k].t - items[k].b;
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(k));
  for (std::size_t i = k; i < items.size(); ++i) {
    items[i].b = edge(static_cast<float>(items[i].b + h));
    items[i].t = edge(static_cast<float>(items[i].t + h));
  }
}

int menu_hover_item(const menu_struct& m, float x, float y) {
  int hovered = -1;
  for (std::size_t k = 0; k < m.items.size(); ++k) {
    const item_struct& it = m.items[k];
    if (it.text.empty() || it.text[0] == '-' || it.text[0] == '=') continue;
    if (it.l <= x && x <= it.r && it.b <= y && y <= it.t - 1) hovered = static_cast<int>(k);
  }
  return hovered;
}

float m_x1 = 0.0f, m_y1 = 0.0f, m_x2 = 0.0f, m_y2 = 0.0f;

void menu_compute_box(const menu_struct& m) {
  float x1 = 9999.0f, y1 = 9999.0f, x2 = 0.0f, y2 = 0.0f;
  bool any = false;
  for (const item_struct& it : m.items) {
    if (it.text.empty()) continue;
    any = true;
    x1 = std::min(x1, static_cast<float>(it.l));
    x2 = std::max(x2, static_cast<float>(it.r));
    // Each edge is compared with the box as already widened by 2: a thin
    // separator right under the lowest row becomes the bottom itself.
    if (it.b < y1) y1 = static_cast<float>(it.b - 2);
    if (it.t > y2) y2 = static_cast<float>(it.t + 2);
  }
  if (!any) x1 = y1 = x2 = y2 = 0.0f;
  m_x1 = x1;
  m_y1 = y1;
  m_x2 = x2;
  m_y2 = y2;
}
