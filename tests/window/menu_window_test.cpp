// Menus on the program's own window, opened in this process on a private X
// server with input through XTEST: the menu bar and its pull-down menus, the
// highlight, moving along the bar, choosing, and the pop-up list protocol.
#include <gtest/gtest.h>

#include <string>

#include "support/live_window.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "window/menus.h"
#include "window/mnw.h"

// After gtest: Xlib defines None.
#include <X11/Xlib.h>

namespace {

// The X11 pixel of a layout point of the main window.
int px(float x) { return static_cast<int>(x); }
int py(float y) { return 600 - static_cast<int>(y); }

class MenuWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    d_ = x_.display();
    MACIBM_clear_menus(1);
    // File: Open, a separator, a heading, Recent (with a sub-menu), Save.
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 1, "Open", 1);
    MACIBM_append_menu(0, 1, 0, "-", 1);
    MACIBM_append_menu(0, 2, 0, "=Heading", 1);
    MACIBM_append_menu(0, 3, 3, "Recent", 1);
    MACIBM_append_menu(0, 4, 4, "Save", 1);
    MACIBM_create_menu(1, 0, "Edit");
    MACIBM_append_menu(1, 0, 5, "Cut", 1);
    MACIBM_append_menu(1, 1, 6, "Paste", 1);
    MACIBM_create_menu(2, 300 * 0 + 3, "Recent");
    MACIBM_append_menu(2, 0, 7, "first.acf", 1);
    window_.pass();
    ASSERT_EQ(mnw.cur_wind, 0);
  }
  void TearDown() override {
    menu.clear();
    active_popup_code = select_popup_code = popup_menu_select = 0;
  }

  // Moves the pointer to a layout point and runs passes until the program
  // has seen it there.
  void point_at(float x, float y) {
    pointer_to(d_, px(x), py(y));
    ASSERT_TRUE(window_.pass_until([&] { return mnw.mouse_x == px(x) && mnw.mouse_y == 600 - py(y); }));
  }
  // Presses at a layout point; returns whether the click was left to the
  // widgets, after the pass that handled it. Every press of these tests
  // changes the open menu or leaves the click.
  // With `at_once` the press comes with the move, before a pass has seen
  // the pointer there.
  bool press_at(float x, float y, int* open_after, bool at_once = false) {
    if (at_once)
      pointer_to(d_, px(x), py(y));
    else
      point_at(x, y);
    const int before = mnw.open_menu;
    button_down(d_);
    bool left = false;
    EXPECT_TRUE(window_.pass_until([&] {
      left = mnw.click == 1;
      return left || mnw.open_menu != before;
    }));
    *open_after = mnw.open_menu;
    button_up(d_);
    window_.pass_until([] { return mnw.down == 0 && mnw.release == 0; });
    return left;
  }
  // A frame as it is on screen after a pass or two of unchanged state.
  Screenshot settled() {
    window_.pass();
    window_.pass();
    // The swap's image travels on the program's own connection.
    XSync(static_cast<Display*>(mnw.display), False);
    return Screenshot::grab(d_);
  }

  XServer x_;
  LiveWindow window_{x_};
  Display* d_ = nullptr;
};

// Whether any pixel of a layout rectangle differs between two frames.
bool differs(const Screenshot& a, const Screenshot& b, float l, float bottom, float r, float t) {
  for (int y = py(t); y <= py(bottom); ++y)
    for (int x = px(l); x <= px(r); ++x)
      if (!(a.at(x, y) == b.at(x, y))) return true;
  return false;
}

}  // namespace

TEST_F(MenuWindow, TitlesOpenAndCloseMenusAndTheBarFollowsThePointer) {
  const item_struct open = menu[0].items[0];
  point_at(300, 300);
  const Screenshot closed = settled();

  int now = -9;
  EXPECT_FALSE(press_at(20, 591, &now)) << "a title press is used up";
  EXPECT_EQ(now, 0);
  const Screenshot file_open = settled();
  EXPECT_TRUE(differs(closed, file_open, 700, 583, 780, 599)) << "the bar spans the whole width";
  EXPECT_TRUE(differs(closed, file_open, open.l, open.b, open.r, open.t)) << "the menu's box";
  EXPECT_FALSE(differs(closed, file_open, 200, 300, 400, 400));

  // The highlight follows the pointer over choosable items only.
  point_at(open.l + 30, open.b + 4);
  const Screenshot hover_open = settled();
  EXPECT_TRUE(differs(file_open, hover_open, open.l + 2, open.b + 1, open.l + 16, open.t - 2));
  const item_struct heading = menu[0].items[2];
  point_at(heading.l + 8, heading.b + 2);
  const Screenshot hover_heading = settled();
  EXPECT_FALSE(differs(file_open, hover_heading, heading.l + 2, heading.b + 1, heading.l + 16, heading.t - 2))
      << "a '=' item is never highlighted";

  // Moving along the bar switches menus without a click; moving off it
  // changes nothing.
  point_at(menu[1].l + 10, 590);
  EXPECT_EQ(mnw.open_menu, 1);
  point_at(500, 590);
  EXPECT_EQ(mnw.open_menu, 1);
  point_at(menu[0].l + 5, 590);
  EXPECT_EQ(mnw.open_menu, 0);

  // Pressing the open menu's title closes it.
  EXPECT_FALSE(press_at(menu[0].l + 5, 590, &now));
  EXPECT_EQ(now, -1);
  EXPECT_FALSE(differs(closed, settled(), 0, 0, 799, 599)) << "nothing of the menus is left";
  EXPECT_FALSE(press_at(menu[1].l + 5, 590, &now));
  EXPECT_EQ(now, 1);
  // Moving onto another title opens it at once; a press that comes with the
  // move switches menus all the same.
  EXPECT_FALSE(press_at(menu[0].l + 5, 590, &now, true)) << "another title switches menus";
  EXPECT_EQ(now, 0);
}

TEST_F(MenuWindow, ItemsAreChosenOnTheirRowsAndOtherPressesCloseTheMenu) {
  int now = -9;
  const item_struct open = menu[0].items[0];
  // On the top edge of the first row the row is chosen: the menu closes and
  // the press is used up.
  press_at(20, 591, &now);
  EXPECT_FALSE(press_at(open.l + 30, open.t, &now));
  EXPECT_EQ(now, -1);

  // A '=' item cannot be chosen: the menu closes and the press stays for
  // the widgets; so it does for a separator and anywhere else.
  const item_struct heading = menu[0].items[2], line = menu[0].items[1];
  for (const float y : {heading.b + 5.0f, line.b + 1.0f}) {
    press_at(20, 591, &now);
    ASSERT_EQ(now, 0);
    EXPECT_TRUE(press_at(heading.l + 30, y, &now)) << y;
    EXPECT_EQ(now, -1);
  }
  press_at(20, 591, &now);
  EXPECT_TRUE(press_at(700, 300, &now));
  EXPECT_EQ(now, -1);

  // An item with a sub-menu opens it in its parent's place; its items are
  // chosen the same way.
  press_at(20, 591, &now);
  const item_struct recent = menu[0].items[3];
  EXPECT_FALSE(press_at(recent.l + 30, recent.b + 5, &now));
  EXPECT_EQ(now, 2);
  const item_struct first = menu[2].items[0];
  EXPECT_EQ(first.b, recent.b - 2);
  EXPECT_FALSE(press_at(first.l + 30, first.b + 5, &now));
  EXPECT_EQ(now, -1);
}

TEST_F(MenuWindow, TheSubMenuArrowMarksItsItem) {
  int now = -9;
  press_at(20, 591, &now);
  point_at(400, 300);
  const Screenshot shot = settled();
  // The arrow's 18 x 18 piece at the right end of the Recent row shows in
  // places where the plain Save row below it shows nothing of the kind.
  const item_struct recent = menu[0].items[3], save = menu[0].items[4];
  bool arrow = false;
  for (int dy = -4; dy <= 4 && !arrow; ++dy)
    for (int dx = -8; dx <= 8 && !arrow; ++dx)
      arrow = !(shot.at(px(recent.r - 8 + dx), py(recent.b + 6 + dy)) ==
                shot.at(px(save.r - 8 + dx), py(save.b + 6 + dy)));
  EXPECT_TRUE(arrow);
}

TEST_F(MenuWindow, ThePopUpListHandsItsChoiceToItsWidget) {
  point_at(300, 300);
  const Screenshot closed = settled();

  // The widget with code 77 lends its entries to the pop-up slot every frame.
  const short l = 300, r = 380;
  auto fill = [&] {
    if (active_popup_code != 77) return;
    menu_struct& slot = menu[kPopupSlot];
    slot.parent = -1;
    slot.l = l;
    slot.r = r;
    slot.b = 300;
    slot.t = 336;
    slot.items.resize(3);
    for (int i = 0; i < 3; ++i) {
      item_struct& it = slot.items[static_cast<std::size_t>(i)];
      it.text = "Entry " + std::to_string(i);
      it.l = l;
      it.r = r;
      it.t = static_cast<short>(336 - 12 * i);
      it.b = static_cast<short>(it.t - 12);
    }
    mnw.open_menu = kPopupSlot;
  };
  active_popup_code = 77;
  fill();
  window_.pass();
  fill();
  const Screenshot popup = settled();
  EXPECT_TRUE(differs(closed, popup, l, 300, r, 336)) << "the list is drawn";
  EXPECT_FALSE(differs(closed, popup, 0, 583, 799, 599)) << "without the menu bar";

  pointer_to(d_, px(l + 20), py(306));
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([&] {
    fill();
    return select_popup_code != 0;
  }));
  EXPECT_EQ(select_popup_code, 77);
  EXPECT_EQ(popup_menu_select, 2);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.click, 0);
  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.down == 0; }));
  fill();
  EXPECT_EQ(mnw.open_menu, -1) << "the widget no longer fills the slot";
}
