// The key assignment window: its rules on their own, and the window itself
// on the program's GL window, opened in this process on a private X server
// of 1024 by 768 with input through XTEST: rows selected, keys captured,
// duplicate bindings removed, commands chosen, rows added and scrolled.
#include "window/keys_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/live_window.h"
#include "support/x_input.h"
#include "support/x_server.h"
#include "ui/draw.h"
#include "window/cmnd.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

TEST(KeyWindowRules, RowLabelsPathSplitsAndTheSelectionKeptInTheTable) {
  EXPECT_EQ(keys_row_label(key_binding{65, 5, 0, 0}), "-SHIFT+CTRL A");
  EXPECT_EQ(keys_row_label(key_binding{112, 1, 0, 0}), "-SHIFT F1");
  EXPECT_EQ(keys_row_label(key_binding{0, 0, 0, 0}), "-<none>");
  EXPECT_EQ(keys_row_label(key_binding{33, 8, 0, 0}), "-PageUp") << "the press bit is no modifier";

  struct split {
    const char* path;
    const char *leaf, *group, *parent;
  };
  for (const split& s : std::vector<split>{{"sim/operation/none", "none", "sim/operation/", "sim/"},
                                           {"sim/-none-/-none-", "-none-", "sim/-none-/", "sim/"},
                                           {"sim/view/", "view/", "sim/", ""},
                                           {"top", "top", "", ""},
                                           {"", "", "", ""},
                                           {"/", "/", "", ""},
                                           {"a/b", "b", "a/", ""}}) {
    std::string leaf = "x", group = "x", parent = "x";
    keys_split_path(s.path, &leaf, &group, &parent);
    EXPECT_EQ(leaf, s.leaf) << s.path;
    EXPECT_EQ(group, s.group) << s.path;
    EXPECT_EQ(parent, s.parent) << s.path;
  }

  int selection = 5, scroll = 0;
  keys_window_fit(3, &selection, &scroll);
  EXPECT_EQ(selection, -1) << "a selection past the table is dropped";
  selection = 2;
  scroll = 9;
  keys_window_fit(3, &selection, &scroll);
  EXPECT_EQ(selection, 2);
  EXPECT_EQ(scroll, 0) << "34 rows or fewer never scroll";
  scroll = 9;
  keys_window_fit(40, &selection, &scroll);
  EXPECT_EQ(scroll, 6);
  scroll = -3;
  keys_window_fit(40, &selection, &scroll);
  EXPECT_EQ(scroll, 0);
  selection = 0;
  keys_window_fit(0, &selection, &scroll);
  EXPECT_EQ(selection, -1);
}

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

class KeyWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    d_ = x_.display();
    saved_registry_ = {cmnd.names, cmnd.paths, cmnd.descriptions};
    saved_types_ = {cmnd.types, cmnd.press_counts};
    none_ = cmnd.add_cmd("sim/operation/none", "Nothing to do.");
    quit_ = cmnd.add_cmd("sim/operation/quit", "Ends the run.");
    forward_ = cmnd.add_cmd("sim/view/forward", "Look ahead.");
    back_ = cmnd.add_cmd("sim/view/back", "Look back.");
    keys.bindings.clear();
    window_.pass();
    MACIBM_startwind(wind_keys, 0);
    ASSERT_EQ(mnw.wind_x, 0.0f);
    ASSERT_EQ(mnw.wind_y, 0.0f);
    frame();
  }
  void TearDown() override {
    keys.bindings.clear();
    // The window forgets its selection with the rows.
    frame();
    cmnd.names = saved_registry_[0];
    cmnd.paths = saved_registry_[1];
    cmnd.descriptions = saved_registry_[2];
    cmnd.types = saved_types_[0];
    cmnd.press_counts = saved_types_[1];
  }

  // One frame of the window: drawn and hit-tested, then a pass of the loop.
  void frame() {
    OGL_plot_back_col();
    keys.keys_wind(0);
    window_.pass();
  }
  bool frame_until(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
      frame();
      if (condition()) return true;
    }
    return false;
  }
  // A click at a point of the window: the press is held until the window
  // has handled it, then released.
  void click(float x, float y) {
    pointer_to(d_, static_cast<int>(x), kScreenH - static_cast<int>(y));
    ASSERT_TRUE(frame_until([&] { return mnw.mouse_x == static_cast<int>(x) && mnw.mouse_y == static_cast<int>(y); }));
    button_down(d_);
    ASSERT_TRUE(frame_until([] { return mnw.click == 1; }));
    frame();  // the widgets see this frame's click
    button_up(d_);
    ASSERT_TRUE(frame_until([] { return mnw.down == 0; }));
  }
  void click_row(int r) { click(kKeyRowX, kKeyRowTopY - kKeyRowStep * static_cast<float>(r)); }
  // A key with modifiers, as a user types it.
  void type(const std::vector<std::string>& modifiers, const std::string& key) {
    for (const std::string& m : modifiers) key_down(d_, m);
    key_down(d_, key);
    ASSERT_TRUE(frame_until([] { return mnw.key_held == 1; }));
    key_up(d_, key);
    for (const std::string& m : modifiers) key_up(d_, m);
    ASSERT_TRUE(frame_until([] { return mnw.key_held == 0; }));
    frame();
  }

  XServer x_{kScreenW, kScreenH};
  LiveWindow window_{x_};
  Display* d_ = nullptr;
  std::vector<std::vector<std::string>> saved_registry_;
  std::vector<std::vector<int>> saved_types_;
  int none_ = 0, quit_ = 0, forward_ = 0, back_ = 0;
};

}  // namespace

TEST_F(KeyWindow, RowsTakeKeysOnceAndChooseTheirCommands) {
  // The add button appends unbound rows on the do-nothing command.
  for (int i = 0; i < 3; ++i) click(kKeyMiddleX + 92, kKeyAddY);
  ASSERT_EQ(keys.bindings.size(), 3u);
  for (const key_binding& b : keys.bindings) {
    EXPECT_EQ(b.vkey, 0);
    EXPECT_EQ(b.cmnd_index, none_);
  }

  // A key goes to nothing while no row is selected.
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys.bindings[2].vkey, 0);

  click_row(2);
  EXPECT_EQ(keys_window_selection(), 2);
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys.bindings[2].vkey, 112);
  EXPECT_EQ(keys.bindings[2].flags, 1);
  EXPECT_EQ(keys_row_label(keys.bindings[2]), "-SHIFT F1");

  // Another row that takes the same key and modifiers leaves the first one
  // unbound; the same key with other modifiers is another binding.
  click_row(0);
  EXPECT_EQ(keys_window_selection(), 0);
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys.bindings[0].vkey, 112);
  EXPECT_EQ(keys.bindings[2].vkey, 0);
  EXPECT_EQ(keys.bindings[2].flags, 0);
  click_row(1);
  type({"Control_L"}, "F1");
  EXPECT_EQ(keys.bindings[1].vkey, 112);
  EXPECT_EQ(keys.bindings[1].flags, 4);
  EXPECT_EQ(keys.bindings[0].vkey, 112) << "Shift+F1 stays where it is";
  type({}, "a");
  EXPECT_EQ(keys.bindings[1].vkey, 65) << "the selected row takes each new key";
  EXPECT_EQ(keys.bindings[1].flags, 0);

  // The groups of the selected row's command under "sim/": "-none-/" (the
  // built-in command), "operation/", "view/". Choosing a group takes its
  // first command at once; a command of the list is chosen by its box.
  click(kKeyMiddleX + 18, kKeyListTopY - kKeyListStep * 2 + 4);
  EXPECT_EQ(keys.bindings[1].cmnd_index, back_) << "sim/view/back comes first";
  click(kKeyRightX + 18, kKeyListTopY - kKeyListStep * 1 + 4);
  EXPECT_EQ(keys.bindings[1].cmnd_index, forward_);
  click(kKeyMiddleX + 18, kKeyListTopY - kKeyListStep * 1 + 4);
  EXPECT_EQ(keys.bindings[1].cmnd_index, none_);
  click(kKeyRightX + 18, kKeyListTopY - kKeyListStep * 1 + 4);
  EXPECT_EQ(keys.bindings[1].cmnd_index, quit_);
  EXPECT_EQ(keys.bindings[0].cmnd_index, none_) << "only the selected row changes";

  // Clicking the selected row again hides the chooser: its boxes do nothing.
  click_row(1);
  EXPECT_EQ(keys_window_selection(), -1);
  click(kKeyMiddleX + 18, kKeyListTopY - kKeyListStep * 2 + 4);
  EXPECT_EQ(keys.bindings[1].cmnd_index, quit_);
  type({}, "b");
  EXPECT_EQ(keys.bindings[1].vkey, 65);
}

TEST_F(KeyWindow, NewRowsScrollIntoViewAndASelectionGoesWithItsRow) {
  keys.bindings.assign(34, key_binding{0, 0, none_, 0});
  frame();
  EXPECT_EQ(keys_window_scroll(), 0);
  click(kKeyMiddleX + 92, kKeyAddY);
  ASSERT_EQ(keys.bindings.size(), 35u);
  EXPECT_EQ(keys_window_scroll(), 1) << "the 35th row is the last one in view";

  // The top row in view is now row 1; the last one row 34.
  click_row(33);
  EXPECT_EQ(keys_window_selection(), 34);
  type({}, "F5");
  EXPECT_EQ(keys.bindings[34].vkey, 116);

  // A reset cuts the table to its one default row under the window: the
  // selection and the scroll position follow it, and no key goes astray.
  keys.keys_io(0);
  ASSERT_EQ(keys.bindings.size(), 1u);
  frame();
  EXPECT_EQ(keys_window_selection(), -1);
  EXPECT_EQ(keys_window_scroll(), 0);
  type({}, "F6");
  for (const key_binding& b : keys.bindings) EXPECT_EQ(b.vkey, 0);
}
