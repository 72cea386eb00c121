// The key assignment window on the program's GL window, opened in this
// process on a private X server of 1024 by 768 with input through XTEST:
// rows selected, keys captured, duplicate bindings removed, commands chosen,
// rows added and scrolled, the selection kept inside the table.
#include "window/keys_window.h"

#include <gtest/gtest.h>

#include <functional>
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

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

class KeyWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    d_ = x_.display();
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
    frame();  // the window forgets its selection with the rows
    cmnd = saved_registry_;
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
  const cmnd_class saved_registry_ = cmnd;
  int none_ = 0, quit_ = 0, forward_ = 0, back_ = 0;
};

}  // namespace

TEST_F(KeyWindow, RowsTakeKeysOnceAndChooseTheirCommands) {
  for (int i = 0; i < 3; ++i) click(kKeyMiddleX + 92, kKeyAddY);
  ASSERT_EQ(keys.bindings.size(), 3u);
  EXPECT_EQ(keys.bindings[2].cmnd_index, none_) << "new rows are unbound, on the do-nothing command";
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys.bindings[2].vkey, 0) << "no row is selected";

  click_row(2);
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys_row_label(keys.bindings[2]), "-SHIFT F1");
  // Another row that takes the same key and modifiers unbinds the first;
  // the same key with other modifiers is another binding.
  click_row(0);
  type({"Shift_L"}, "F1");
  EXPECT_EQ(keys.bindings[0].vkey * 10 + keys.bindings[0].flags, 1121);
  EXPECT_EQ(keys.bindings[2].vkey + keys.bindings[2].flags, 0);
  click_row(1);
  type({"Control_L"}, "F1");
  EXPECT_EQ(keys.bindings[1].vkey * 10 + keys.bindings[1].flags, 1124);
  EXPECT_EQ(keys.bindings[0].vkey, 112);
  // A key that is not recorded (a lock key) binds nothing: not the last
  // key recorded, whose row keeps it.
  click_row(2);
  type({}, "Scroll_Lock");
  EXPECT_EQ(keys.bindings[2].vkey, 0);
  EXPECT_EQ(keys.bindings[1].vkey * 10 + keys.bindings[1].flags, 1124);
  click_row(1);

  // Groups under "sim/": "-none-/", "operation/", "view/". A group takes its
  // first command at once; a command is chosen by its box.
  auto group = [&](int k) { click(kKeyMiddleX + 18, kKeyListTopY - kKeyListStep * static_cast<float>(k) + 4); };
  auto command = [&](int k) { click(kKeyRightX + 18, kKeyListTopY - kKeyListStep * static_cast<float>(k) + 4); };
  group(2);
  EXPECT_EQ(keys.bindings[1].cmnd_index, back_);
  command(1);
  EXPECT_EQ(keys.bindings[1].cmnd_index, forward_);
  group(1);
  command(1);
  EXPECT_EQ(keys.bindings[1].cmnd_index, quit_);
  EXPECT_EQ(keys.bindings[0].cmnd_index, none_) << "only the selected row changes";

  // Clicking the selected row again hides the chooser and takes no keys.
  click_row(1);
  EXPECT_EQ(keys_window_selection(), -1);
  group(2);
  type({}, "b");
  EXPECT_EQ(keys.bindings[1].cmnd_index, quit_);
  EXPECT_EQ(keys.bindings[1].vkey, 112);
}

TEST_F(KeyWindow, NewRowsScrollIntoViewAndASelectionGoesWithItsRow) {
  keys.bindings.assign(34, key_binding{0, 0, none_, 0});
  click(kKeyMiddleX + 92, kKeyAddY);
  EXPECT_EQ(keys_window_scroll(), 1) << "the 35th row is the last one in view";
  click_row(33);
  EXPECT_EQ(keys_window_selection(), 34);
  type({}, "F5");
  EXPECT_EQ(keys.bindings[34].vkey, 116);

  // A reset cuts the table to its default row under the window: the
  // selection and the scroll position follow, and no key goes astray.
  keys.keys_io(0);
  frame();
  EXPECT_EQ(keys_window_selection(), -1);
  EXPECT_EQ(keys_window_scroll(), 0);
  type({}, "F6");
  EXPECT_EQ(keys.bindings[0].vkey, 0);
}
