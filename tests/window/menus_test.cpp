// The menu table: layout of titles and items, removal, the open menu's box
// and highlight, and the refusal of bad indexes.
#include "window/menus.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "window/mnw.h"

namespace {

struct rect {
  int l, b, r, t;
  bool operator==(const rect& o) const { return l == o.l && b == o.b && r == o.r && t == o.t; }
};
template <class T>
rect of(const T& m) {
  return {m.l, m.b, m.r, m.t};
}

class MenuTable : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.y_res = 600;
    menu.resize(3000);
    MACIBM_clear_menus(1);
  }
  void TearDown() override {
    mnw = saved_;
    menu.clear();
  }
  mnw_struct saved_{};
};

}  // namespace

TEST_F(MenuTable, TitlesItemsSubMenusAndRemoval) {
  ASSERT_EQ(menu.size(), 1520u);
  EXPECT_EQ(menu_dx("File"), 18.0f);
  EXPECT_EQ(menu_dx("\"{}~\t\x80"), 0.0f) << "quote, braces, tilde, control and most high bytes";
  MACIBM_create_menu(0, 0, "File");
  MACIBM_create_menu(1, 0, "Edit");
  EXPECT_TRUE(of(menu[0]) == (rect{0, 582, 48, 600}));
  EXPECT_TRUE(of(menu[1]) == (rect{48, 582, 98, 600}));
  MACIBM_create_menu(2, 0, "Plugins");
  MACIBM_create_menu(3, 0, std::string(41, 'b'));
  EXPECT_EQ(menu[3].l, 98) << "the title after Plugins starts where Plugins starts";
  EXPECT_EQ(menu[3].title, std::string(40, 'b'));

  // Rows stack 2 below the bar, a separator 2 high; every row so far takes
  // the widest entry; an item past the end leaves empty rows before it.
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  MACIBM_append_menu(0, 1, 0, "-", 1);
  MACIBM_append_menu(0, 3, 7, "Save As Something", 1);
  const int wide = static_cast<int>(menu_dx("Save As Something")) + 30;
  const std::vector<item_struct>& it = menu[0].items;
  EXPECT_TRUE(of(it[0]) == (rect{0, 568, wide, 580}));
  EXPECT_TRUE(of(it[1]) == (rect{0, 566, wide, 568}));
  EXPECT_TRUE(of(it[2]) == (rect{0, 554, wide, 566}));
  EXPECT_EQ(it[2].text, "");
  EXPECT_TRUE(of(it[3]) == (rect{0, 542, wide, 554}));
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  EXPECT_EQ(it[3].r, wide) << "later rows keep their width";

  // A sub-menu takes its parent item's rectangle; its first row that row, 2 lower.
  MACIBM_create_menu(7, 300 * 0 + 3, "More");
  MACIBM_append_menu(7, 0, 1, "Deeper", 1);
  EXPECT_EQ(menu[7].parent, 0);
  EXPECT_TRUE(of(menu[7]) == of(it[3]));
  EXPECT_EQ(menu[7].items[0].t, it[3].t - 2);

  // Removing a row moves the later ones up by its height.
  MACIBM_remove_menu_item(0, 1);
  EXPECT_EQ(it[1].b, 556);
  EXPECT_EQ(it[2].t, 556);

}

TEST_F(MenuTable, TheOpenMenusBoxAndHighlight) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  MACIBM_append_menu(0, 1, 1, "=Title", 1);
  MACIBM_append_menu(0, 2, 1, "-", 1);
  const std::vector<item_struct>& it = menu[0].items;
  menu_compute_box(menu[0]);
  EXPECT_EQ(m_y2, 582.0f);
  EXPECT_EQ(m_y1, it[2].b) << "a separator right under the lowest row is the bottom";
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[0].t), -1) << "the top edge is not highlighted";
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[0].b), 0) << "a shared edge goes to the upper row";
  EXPECT_EQ(menu_hover_item(menu[0], 10, it[1].b + 5), -1) << "'=' rows are never highlighted";
}

TEST_F(MenuTable, BadIndexesDoNothingAndLimitsAreFatal) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 1, "Open", 1);
  MACIBM_create_menu(5, 300 * 0 + 4, "No such item");
  MACIBM_create_menu(5, 300 * 9, "Menu 9 has no items");
  MACIBM_create_menu(5, -1, "Unreadable code");
  MACIBM_create_menu(-2, 0, "Negative");
  MACIBM_append_menu(-1, 0, 1, "x", 1);
  MACIBM_remove_menu_item(0, 1);
  MACIBM_clear_menu(1520);
  MACIBM_clear_menus(0);
  EXPECT_EQ(menu[5].title + std::to_string(menu[5].parent) + std::to_string(menu[5].r), "-10");
  EXPECT_EQ(menu[0].title, "File");
  EXPECT_EQ(menu[0].items.size(), 1u);
  menu.clear();
  MACIBM_append_menu(3, 0, 1, "Before the table", 1);
  EXPECT_TRUE(menu.empty());

  struct fatal {
    void (*call)();
    const char* message;
  };
  for (const fatal& f : {fatal{[] { MACIBM_append_menu(0, 1, 1, std::string(40, 'x'), 1); }, "Menu name too long"},
                         fatal{[] { MACIBM_append_menu(0, 300, 1, "x", 1); }, "Item index out of range in append"},
                         fatal{[] { MACIBM_create_menu(1520, 0, "x"); }, "Menu index out of range in create"},
                         fatal{[] { MACIBM_remove_menu_item(1520, 0); }, "Menu index out of range in append"}}) {
    TempDir dir;  // for the crash-report file
    EXPECT_EXIT(
        {
          MACIBM_clear_menus(1);
          if (chdir(dir.path().c_str()) == 0) f.call();
          _exit(0);
        },
        ::testing::ExitedWithCode(1), f.message);
  }
}
