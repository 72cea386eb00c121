// Menus on the program's own window, opened in this process on a private X
// server with input through XTEST: the bar and its pull-down menus, the
// highlight, moving along the bar, choosing, and the pop-up list protocol.
#include <gtest/gtest.h>

#include "support/live_window.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "window/menus.h"
#include "window/mnw.h"

// After gtest: Xlib defines None.
#include <X11/Xlib.h>

namespace {

int py(float y) { return 600 - static_cast<int>(y); }

class MenuWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok() && window_.ok());
    MACIBM_clear_menus(1);
    MACIBM_create_menu(0, 0, "File");
    for (const char* text : {"Open", "-", "=Heading", "Recent", "Save"}) MACIBM_append_menu(0, n_++, 1, text, 1);
    MACIBM_create_menu(1, 0, "Edit");
    MACIBM_append_menu(1, 0, 5, "Cut", 1);
    MACIBM_create_menu(2, 300 * 0 + 3, "Recent");
    MACIBM_append_menu(2, 0, 7, "first.acf", 1);
    window_.pass();
  }
  void TearDown() override { menu.clear(); }

  void point(float x, float y) {
    pointer_to(x_.display(), static_cast<int>(x), py(y));
    ASSERT_TRUE(window_.pass_until([&] { return mnw.mouse_x == static_cast<int>(x) && mnw.mouse_y == y; }));
  }
  // Moves the pointer to a layout point (with `now` the press comes at once,
  // before a pass has seen the pointer there) and presses: returns whether
  // the press was left to the widgets.
  bool press(float x, float y, bool now = false) {
    pointer_to(x_.display(), static_cast<int>(x), py(y));
    if (!now) point(x, y);
    const int before = mnw.open_menu;
    button_down(x_.display());
    bool left = false;
    EXPECT_TRUE(window_.pass_until([&] { return (left = mnw.click == 1) || mnw.open_menu != before; }));
    button_up(x_.display());
    window_.pass_until([] { return mnw.down == 0 && mnw.release == 0; });
    return left;
  }
  Screenshot shot() {
    window_.pass();
    window_.pass();
    XSync(static_cast<Display*>(mnw.display), False);  // the swap travels on the program's connection
    return Screenshot::grab(x_.display());
  }
  static bool differs(const Screenshot& a, const Screenshot& b, int l, int bottom, int r, int t) {
    for (int y = py(t); y <= py(bottom); ++y)
      for (int x = l; x <= r; ++x)
        if (!(a.at(x, y) == b.at(x, y))) return true;
    return false;
  }

  XServer x_;
  LiveWindow window_{x_};
  int n_ = 0;
};

}  // namespace

TEST_F(MenuWindow, TitlesTrackingHighlightAndChoosing) {
  const item_struct open = menu[0].items[0], heading = menu[0].items[2], recent = menu[0].items[3];
  point(300, 300);
  const Screenshot closed = shot();
  EXPECT_FALSE(press(20, 591)) << "a title press is used up";
  EXPECT_EQ(mnw.open_menu, 0);
  const Screenshot opened = shot();
  EXPECT_TRUE(differs(closed, opened, 700, 583, 780, 599)) << "the bar spans the window";
  EXPECT_TRUE(differs(closed, opened, open.l, open.b, open.r, open.t));
  point(open.l + 30, open.b + 4);
  EXPECT_TRUE(differs(opened, shot(), open.l + 2, open.b + 1, open.l + 16, open.t - 2)) << "highlighted";

  // Moving along the bar switches menus; off the bar nothing changes; the
  // open title closes its menu; a press that comes with the move switches.
  point(menu[1].l + 10, 590);
  EXPECT_EQ(mnw.open_menu, 1);
  point(500, 590);
  EXPECT_EQ(mnw.open_menu, 1);
  EXPECT_FALSE(press(menu[1].l + 5, 590));
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_FALSE(differs(closed, shot(), 0, 0, 799, 599)) << "nothing of the menus is left";
  press(menu[1].l + 5, 590);
  EXPECT_FALSE(press(10, 590, true));
  EXPECT_EQ(mnw.open_menu, 0);

  // The top edge of the first row chooses it; a '=' row, a separator or a
  // press elsewhere only closes the menu and leaves the press.
  EXPECT_FALSE(press(open.l + 30, open.t));
  EXPECT_EQ(mnw.open_menu, -1);
  for (const float y : {heading.b + 5.0f, menu[0].items[1].b + 1.0f, 300.0f}) {
    press(20, 591);
    EXPECT_TRUE(press(y == 300.0f ? 700 : 30, y)) << y;
    EXPECT_EQ(mnw.open_menu, -1);
  }
  // An item with a sub-menu opens it in its place.
  press(20, 591);
  EXPECT_FALSE(press(recent.l + 30, recent.b + 5));
  EXPECT_EQ(mnw.open_menu, 2);
  EXPECT_FALSE(press(menu[2].items[0].l + 30, menu[2].items[0].b + 5));
  EXPECT_EQ(mnw.open_menu, -1);
}

TEST_F(MenuWindow, ThePopUpListHandsItsChoiceToItsWidget) {
  point(300, 300);
  const Screenshot closed = shot();
  // The widget with code 77 lends three entries to the pop-up slot each frame.
  auto fill = [] {
    if (active_popup_code != 77) return;
    menu_struct& slot = menu[kPopupSlot];
    slot = menu_struct{"", -1, 300, 300, 380, 336, {}};
    for (short i = 0; i < 3; ++i)
      slot.items.push_back(item_struct{"Entry", 0, 0, 300, short(324 - 12 * i), 380, short(336 - 12 * i)});
    mnw.open_menu = kPopupSlot;
  };
  active_popup_code = 77;
  fill();
  window_.pass();
  fill();
  const Screenshot popup = shot();
  EXPECT_TRUE(differs(closed, popup, 300, 300, 380, 336)) << "the list is drawn";
  EXPECT_FALSE(differs(closed, popup, 0, 583, 799, 599)) << "without the menu bar";

  // A menu of the bar without a title is no title: resting on it leaves the
  // list open.
  MACIBM_create_menu(3, 0, "");
  pointer_to(x_.display(), menu[3].l + 5, py(590));
  ASSERT_TRUE(window_.pass_until([&] {
    fill();
    return mnw.mouse_x == menu[3].l + 5;
  }));
  for (int i = 0; i < 3; ++i) {
    fill();
    window_.pass();
  }
  EXPECT_EQ(mnw.open_menu, kPopupSlot);
  EXPECT_EQ(active_popup_code, 77);
  fill();

  pointer_to(x_.display(), 320, py(306));
  button_down(x_.display());
  ASSERT_TRUE(window_.pass_until([&] {
    fill();
    return select_popup_code != 0;
  }));
  EXPECT_EQ(select_popup_code, 77);
  EXPECT_EQ(popup_menu_select, 2);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.click, 0);
  button_up(x_.display());
  select_popup_code = 0;
}
