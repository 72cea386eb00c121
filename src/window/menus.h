// The menu table: pull-down menus of the menu bar and the pop-up list slot
// that the text-list widget fills. Rectangles are layout units of the
// current window, y upward; a point is inside when l <= x <= r, b <= y <= t.
//
// Every rectangle is computed when a title or item is set, so drawing and
// hit-testing only read them. A bar menu's rectangle is its title in the
// 18-unit strip across the top of the main window; a sub-menu's rectangle is
// the rectangle of the parent item that opens it.
//
// Safety: an index outside the table (or outside a menu's items) and a
// sub-menu code that names no item make an operation do nothing; indexes
// past the fixed limits (1519 menus, 299 items, 39-character texts) are the
// caller's programming errors and end the program with a fatal alert.
#pragma once

#include <string>
#include <vector>

struct item_struct {
  std::string text;  // "-..." a separator, "=..." shown but not choosable, "" skipped
  int id = 0;        // handed to the application when chosen
  char coded = 0;    // text in glyph-code pairs
  short l = 0, b = 0, r = 0, t = 0;
};

struct menu_struct {
  std::string title;
  int parent = -1;  // -1 for a menu of the bar
  short l = 0, b = 0, r = 0, t = 0;
  std::vector<item_struct> items;
};

// Slots 0 to 1518 are menus; 1519 is the pop-up list of a text-list widget.
constexpr int kMenuSlots = 1520;
constexpr int kPopupSlot = 1519;
constexpr int kMenuItemSlots = 300;  // items 0 to 299 per menu
constexpr std::size_t kMenuTitleMax = 40;
constexpr std::size_t kMenuItemTextMax = 39;
constexpr int kMenuBarHeight = 18;

extern std::vector<menu_struct> menu;

// The pop-up list protocol: the code of the widget whose list is open, the
// code of the widget whose item was just chosen, and the chosen item.
extern int active_popup_code, select_popup_code, popup_menu_select;

// A menu of the bar that has a title: only such menus are hit or tracked
// as titles. Empty slots have a zero rectangle at the window's corner, and
// a title-less menu shows nothing to point at.
inline bool menu_is_bar_title(const menu_struct& m) { return m.parent == -1 && !m.title.empty(); }

// With how 1: exactly kMenuSlots empty menus. Other values change nothing.
void MACIBM_clear_menus(int how);

// Menu n becomes empty: no title, parent -1, zero rectangle, no items.
void MACIBM_clear_menu(int n);

// Removes the items of menu n; title, parent and rectangle stay.
void MACIBM_clear_items(int n);

// Sets menu n's title (cut to 40 characters) and places it: parent_code 0
// puts it in the menu bar after the previous bar title (menu 0 at the left
// edge; a title "Plugins" leaves the next one starting where it starts);
// 300 * parent menu + parent item makes it a sub-menu at that item.
void MACIBM_create_menu(int n, int parent_code, std::string title);

// Sets item `item` of menu n (adding empty items before it when the list is
// shorter), stacks the rows below the title and widens items 0 to `item` to
// the widest of them. plain 0 marks the item coded when the language is
// Korean.
void MACIBM_append_menu(int n, int item, int id, std::string text, int plain);

// Removes one item; the later items move up into its row. Widths stay.
void MACIBM_remove_menu_item(int n, int item);

// Width of a menu text in layout units: the advance table of the menu font,
// or 8 per byte in Korean.
float menu_dx(std::string text);

// The item filter: every item is accepted.
int accept_item(int id);

// Draws the menu bar with the open menu, or the open pop-up list, over
// everything else in the frame; once per frame from the event loop.
void standard_gui();

// The box of the open menu (left, bottom, right, top) as the last
// standard_gui call computed it; menu_compute_box computes it for menu m:
// 2 units around its rows with text, all 0 when no row has text.
extern float m_x1, m_y1, m_x2, m_y2;
void menu_compute_box(const menu_struct& m);

// Index of the item of menu m that the pointer at (x, y) highlights, -1 for
// none: the last choosable item whose rectangle holds the point, its top
// edge excluded.
int menu_hover_item(const menu_struct& m, float x, float y);
