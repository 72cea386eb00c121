// The menu table: layout arithmetic of titles and items, removal, the box
// and highlight of an open menu, and the refusals of bad indexes.
#include "window/menus.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"
#include "window/mnw.h"

namespace {

struct rect {
  int l, b, r, t;
  bool operator==(const rect& o) const { return l == o.l && b == o.b && r == o.r && t == o.t; }
};
std::ostream& operator<<(std::ostream& os, const rect& r) {
  return os << "{" << r.l << ", " << r.b << ", " << r.r << ", " << r.t << "}";
}
rect of(const menu_struct& m) { return {m.l, m.b, m.r, m.t}; }
rect of(const item_struct& i) { return {i.l, i.b, i.r, i.t}; }

class MenuTable : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1.0f;
    MACIBM_clear_menus(1);
  }
  void TearDown() override {
    mnw = saved_;
    menu.clear();
  }
  mnw_struct saved_{};
};

// A fatal alert of the table ends the process with the alert's first line.
// The crash-report file it leaves goes to a folder of the test's own.
#define EXPECT_MENU_ALERT(statement, message)                             \
  do {                                                                    \
    TempDir dir_;                                                         \
    EXPECT_EXIT(                                                          \
        {                                                                 \
          if (chdir(dir_.path().c_str()) != 0) _exit(3);                  \
          statement;                                                      \
          _exit(0);                                                       \
        },                                                                \
        ::testing::ExitedWithCode(1), message);                           \
  } while (0)

}  // namespace

TEST_F(MenuTable, ClearMakesExactly1520EmptyMenusAndOtherModesChangeNothing) {
  menu.resize(3000);
  menu[5].title = "left over";
  MACIBM_clear_menus(1);
  ASSERT_EQ(menu.size(), 1520u);
  for (const menu_struct& m : menu) {
    ASSERT_EQ(m.title, "");
    ASSERT_EQ(m.parent, -1);
    ASSERT_EQ(of(m), (rect{0, 0, 0, 0}));
    ASSERT_TRUE(m.items.empty());
  }

  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  MACIBM_clear_menus(0);
  MACIBM_clear_menus(2);
  EXPECT_EQ(menu.size(), 1520u);
  EXPECT_EQ(menu[0].title, "File");
  EXPECT_EQ(menu[0].items.size(), 1u);

  MACIBM_clear_items(0);
  EXPECT_EQ(menu[0].title, "File");
  EXPECT_EQ(of(menu[0]), (rect{0, 582, 48, 600}));
  EXPECT_TRUE(menu[0].items.empty());
  MACIBM_clear_menu(0);
  EXPECT_EQ(menu[0].title, "");
  EXPECT_EQ(of(menu[0]), (rect{0, 0, 0, 0}));
}

TEST_F(MenuTable, TextWidthsFollowTheMenuFont) {
  EXPECT_EQ(menu_dx("File"), 18.0f);
  EXPECT_EQ(menu_dx("Edit"), 20.0f);
  EXPECT_EQ(menu_dx("Mm%W@"), 10 + 10 + 11 + 11 + 9);
  EXPECT_EQ(menu_dx(",. c&"), 2 + 2 + 3 + 5 + 8);
  EXPECT_EQ(menu_dx("\"{}~\t\x80\xFF"), 0.0f) << "quote, braces, tilde, control bytes and most high bytes";
  EXPECT_EQ(menu_dx("\xFB\xE9\xBF"), 3 + 6 + 6);
  mnw.lang = 6;
  EXPECT_EQ(menu_dx("\x01\x02\x03"), 24.0f) << "Korean: 8 per byte";
  EXPECT_EQ(accept_item(-7), 1);
}

TEST_F(MenuTable, BarTitlesFollowEachOtherAcrossTheTop) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_create_menu(1, 0, "Edit");
  EXPECT_EQ(of(menu[0]), (rect{0, 582, 48, 600}));
  EXPECT_EQ(of(menu[1]), (rect{48, 582, 98, 600}));
  EXPECT_EQ(menu[1].parent, -1);

  // After "Plugins" the next title starts where "Plugins" starts.
  MACIBM_create_menu(2, 0, "Plugins");
  MACIBM_create_menu(3, 0, "Help");
  EXPECT_EQ(menu[2].l, 98);
  EXPECT_EQ(menu[3].l, 98);
  EXPECT_EQ(menu[3].r, 98 + 8 + 6 + 3 + 7 + 30);

  // Menu 0 always starts at the left edge; an empty title is 30 wide.
  MACIBM_create_menu(0, 0, "");
  EXPECT_EQ(of(menu[0]), (rect{0, 582, 30, 600}));

  const std::string forty(40, 'a'), forty_one(41, 'b');
  MACIBM_create_menu(4, 0, forty);
  MACIBM_create_menu(5, 0, forty_one);
  EXPECT_EQ(menu[4].title, forty);
  EXPECT_EQ(menu[5].title, std::string(40, 'b'));
}

TEST_F(MenuTable, ItemsStackBelowTheBarAndWidenTogether) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  EXPECT_EQ(of(menu[0].items[0]), (rect{0, 568, 30 + 9 + 7 + 6 + 7, 580})) << "2 units below the bar";
  MACIBM_append_menu(0, 1, 2, "Save As Something Longer", 1);
  MACIBM_append_menu(0, 2, 0, "-", 1);
  MACIBM_append_menu(0, 3, 3, "=Shown", 1);
  const std::vector<item_struct>& it = menu[0].items;
  ASSERT_EQ(it.size(), 4u);
  const int wide = static_cast<int>(menu_dx("Save As Something Longer")) + 30;
  EXPECT_EQ(of(it[0]), (rect{0, 568, wide, 580}));
  EXPECT_EQ(of(it[1]), (rect{0, 556, wide, 568}));
  EXPECT_EQ(of(it[2]), (rect{0, 554, wide, 556})) << "a separator row is 2 high";
  EXPECT_EQ(of(it[3]), (rect{0, 542, wide, 554}));
  EXPECT_EQ(it[1].id, 2);

  // A later, narrower item does not shrink the earlier ones; a wider one
  // widens only up to itself.
  MACIBM_create_menu(1, 0, "Edit");
  MACIBM_append_menu(1, 0, 1, "Cut", 1);
  MACIBM_append_menu(1, 1, 2, "A", 1);
  EXPECT_EQ(menu[1].items[0].r, 48 + 30 + 7 + 7 + 4);
  EXPECT_EQ(menu[1].items[1].r, 48 + 30 + 7 + 7 + 4);
  MACIBM_append_menu(1, 0, 1, "Mmmmm", 1);
  EXPECT_EQ(menu[1].items[0].r, 48 + 30 + 50);
  EXPECT_EQ(menu[1].items[1].r, 48 + 30 + 18) << "items after the appended one keep their rectangle";

  // A lone separator still widens the menu to 34.
  MACIBM_create_menu(2, 0, "X");
  MACIBM_append_menu(2, 0, 0, "-", 1);
  EXPECT_EQ(menu[2].items[0].r - menu[2].items[0].l, 34);
}

TEST_F(MenuTable, AppendingPastTheEndAddsEmptyFillersThatNothingShows) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 3, 9, "Quit", 1);
  ASSERT_EQ(menu[0].items.size(), 4u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(menu[0].items[k].text, "");
    EXPECT_EQ(menu[0].items[k].id, 0);
    EXPECT_EQ(menu[0].items[k].r, static_cast<int>(menu_dx("Quit")) + 30);
    EXPECT_EQ(menu_hover_item(menu[0], 5, menu[0].items[k].b + 1), -1);
  }
  EXPECT_EQ(menu[0].items[3].t, 580 - 36) << "the item keeps the place of the fourth row";
  menu_compute_box(menu[0]);
  EXPECT_EQ(m_y2, menu[0].items[3].t + 2) << "fillers take no part in the box";
}

TEST_F(MenuTable, KoreanEntriesAreEightPerByteAndCodedRowsFourteenHigh) {
  mnw.lang = 6;
  MACIBM_create_menu(0, 0, "\x01\x02");
  EXPECT_EQ(menu[0].r, 16 + 30);
  MACIBM_append_menu(0, 0, 1, "\x01\x05\x02\x07", 0);
  MACIBM_append_menu(0, 1, 2, "abc", 1);
  MACIBM_append_menu(0, 2, 3, "-", 0);
  const std::vector<item_struct>& it = menu[0].items;
  EXPECT_EQ(it[0].coded, 1);
  EXPECT_EQ(it[1].coded, 0) << "plain text stays plain";
  EXPECT_EQ(of(it[0]), (rect{0, 566, 62, 580}));
  EXPECT_EQ(of(it[1]), (rect{0, 554, 62, 566}));
  EXPECT_EQ(it[2].t - it[2].b, 2) << "a coded separator is still 2 high";
  mnw.lang = 0;
  MACIBM_append_menu(0, 3, 4, "x", 0);
  EXPECT_EQ(it[3].coded, 0) << "only Korean codes its texts";
}

TEST_F(MenuTable, RemovingAnItemClosesItsGapAndKeepsTheWidth) {
  MACIBM_create_menu(0, 0, "File");
  for (int k = 0; k < 4; ++k) MACIBM_append_menu(0, k, k + 10, "Item " + std::to_string(k), 1);
  const int width = menu[0].items[0].r;
  const rect third = of(menu[0].items[2]);
  MACIBM_remove_menu_item(0, 1);
  ASSERT_EQ(menu[0].items.size(), 3u);
  EXPECT_EQ(menu[0].items[1].id, 12);
  EXPECT_EQ(of(menu[0].items[1]), (rect{third.l, third.b + 12, third.r, third.t + 12}));
  EXPECT_EQ(menu[0].items[2].t, menu[0].items[1].b);
  EXPECT_EQ(menu[0].items[0].r, width);

  // Removing a separator moves the rows by its own 2 units.
  MACIBM_append_menu(0, 3, 0, "-", 1);
  MACIBM_append_menu(0, 4, 20, "Last", 1);
  const int last_b = menu[0].items[4].b;
  MACIBM_remove_menu_item(0, 3);
  EXPECT_EQ(menu[0].items[3].b, last_b + 2);
}

TEST_F(MenuTable, SubMenuTakesItsParentItemsRectangle) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_create_menu(1, 0, "View");
  MACIBM_create_menu(2, 0, "Tools");
  for (int k = 0; k < 6; ++k) MACIBM_append_menu(2, k, k, "Tool " + std::to_string(k), 1);
  const float next_bar_x = menu[2].r;
  MACIBM_create_menu(7, 300 * 2 + 5, "More");
  EXPECT_EQ(menu[7].parent, 2);
  EXPECT_EQ(of(menu[7]), of(menu[2].items[5]));
  EXPECT_EQ(menu[7].title, "More");

  // A sub-menu's first row takes its parent item's row, 2 units lower.
  MACIBM_append_menu(7, 0, 1, "Deeper", 1);
  EXPECT_EQ(menu[7].items[0].b, menu[7].b - 2);
  EXPECT_EQ(menu[7].items[0].t, menu[7].t - 2);
  MACIBM_append_menu(7, 1, 2, "-", 1);
  EXPECT_EQ(menu[7].items[1].t, menu[7].items[0].b);

  // Sub-menus do not move the bar.
  MACIBM_create_menu(3, 0, "Help");
  EXPECT_EQ(menu[3].l, next_bar_x);
}

TEST_F(MenuTable, BadIndexesAndCodesDoNothing) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  const std::vector<menu_struct> before = menu;
  auto unchanged = [&before] {
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (menu[i].title != before[i].title || menu[i].parent != before[i].parent || !(of(menu[i]) == of(before[i])) ||
          menu[i].items.size() != before[i].items.size())
        return false;
    }
    return menu.size() == before.size();
  };

  MACIBM_create_menu(5, 300 * 0 + 4, "No such item");  // menu 0 has one item
  MACIBM_create_menu(5, 300 * 9 + 0, "Menu 9 has none");
  MACIBM_create_menu(5, -1, "Unreadable code");
  MACIBM_create_menu(5, 300 * 1600, "Past the table");
  MACIBM_create_menu(-2, 0, "Negative");
  MACIBM_append_menu(-1, 0, 1, "x", 1);
  MACIBM_append_menu(0, -1, 1, "x", 1);
  MACIBM_remove_menu_item(0, 1);
  MACIBM_remove_menu_item(0, -1);
  MACIBM_remove_menu_item(-1, 0);
  MACIBM_clear_menu(-1);
  MACIBM_clear_menu(1520);
  MACIBM_clear_items(1520);
  EXPECT_TRUE(unchanged());
  EXPECT_EQ(of(menu[5]), (rect{0, 0, 0, 0}));

  // Before the table is built every index lies outside it.
  menu.clear();
  MACIBM_create_menu(3, 0, "Early");
  MACIBM_append_menu(3, 0, 1, "Early", 1);
  MACIBM_remove_menu_item(3, 0);
  EXPECT_TRUE(menu.empty());
}

TEST_F(MenuTable, LimitsAreFatal) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, std::string(39, 'x'), 1);
  EXPECT_EQ(menu[0].items[0].text.size(), 39u);

  EXPECT_MENU_ALERT(MACIBM_append_menu(0, 1, 1, std::string(40, 'x'), 1), "Menu name too long in append_menu!");
  EXPECT_MENU_ALERT(MACIBM_append_menu(0, 300, 1, "x", 1), "Item index out of range in append_menu!");
  EXPECT_MENU_ALERT(MACIBM_append_menu(1520, 0, 1, "x", 1), "Menu index out of range in append_menu!");
  EXPECT_MENU_ALERT(MACIBM_create_menu(1520, 0, "Too far"), "Menu index out of range in create_menu!");
  EXPECT_MENU_ALERT(MACIBM_remove_menu_item(1520, 0), "Menu index out of range in append_menu!");
  EXPECT_MENU_ALERT(MACIBM_remove_menu_item(0, 300), "Item index out of range in append_menu!");
}

TEST_F(MenuTable, BoxAndHighlightOfAnOpenMenu) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  MACIBM_append_menu(0, 1, 2, "=Title", 1);
  MACIBM_append_menu(0, 2, 3, "Save", 1);
  const std::vector<item_struct>& it = menu[0].items;
  menu_compute_box(menu[0]);
  EXPECT_EQ(m_x1, 0.0f);
  EXPECT_EQ(m_x2, it[0].r);
  EXPECT_EQ(m_y2, 582.0f) << "2 above the first row";
  EXPECT_EQ(m_y1, it[2].b - 2.0f) << "2 below the lowest row";

  // On the top edge of the first row nothing is highlighted; on an edge
  // shared by two rows the upper one is.
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[0].t), -1);
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[0].t - 1), 0);
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[0].b), 0);
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[1].b + 5), -1) << "'=' items are never highlighted";
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[2].b), 2);
  EXPECT_EQ(menu_hover_item(menu[0], it[2].r + 1, it[2].b), -1);

  // A separator right under the lowest row is itself the bottom.
  MACIBM_append_menu(0, 3, 0, "-", 1);
  menu_compute_box(menu[0]);
  EXPECT_EQ(m_y1, it[3].b);
  // A separator after a gap is not: the box reaches 2 below it.
  MACIBM_create_menu(1, 0, "Edit");
  MACIBM_append_menu(1, 0, 1, "Cut", 1);
  MACIBM_append_menu(1, 2, 0, "-", 1);
  menu_compute_box(menu[1]);
  EXPECT_EQ(m_y1, menu[1].items[2].b - 2.0f);

  menu_compute_box(menu[9]);
  EXPECT_EQ(m_x1 + m_y1 + m_x2 + m_y2, 0.0f) << "a menu without text has an empty box";
}
