// Push buttons: clicks read from the window state, and scripted clicks.
#include <gtest/gtest.h>

#include "ui/widgets.h"
#include "window/mnw.h"

namespace {

class Buttons : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw.click = 0;
    mnw.open_menu = -1;
    BTN_script_clear();
  }
  void TearDown() override {
    mnw = saved_;
    BTN_script_clear();
  }
  void click_at(float x, float y) {
    mnw.click = 1;
    mnw.mouse_x = x;
    mnw.mouse_y = y;
  }
  mnw_struct saved_{};
};

TEST_F(Buttons, AClickCountsInsideHalfTheWidthAndTenUnitsOfTheCentre) {
  click_at(100 + 79.5f, 50 + 9.5f);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 1);
  click_at(100 - 80.5f, 50);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
  click_at(100, 50 - 10.5f);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);

  // No click this frame, or a menu open: nothing.
  click_at(100, 50);
  mnw.click = 0;
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
  click_at(100, 50);
  mnw.open_menu = 2;
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
}

TEST_F(Buttons, ScriptedClicksAreTakenInOrderByTheButtonOfTheirLabel) {
  BTN_script_click("B");
  BTN_script_click("A");
  EXPECT_EQ(BTN_script_pending(), 2);
  EXPECT_EQ(BTN_script_next(), "B");
  // A button of another label does not take the head of the queue.
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "A", "-"), 0);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "B", "-"), 1);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "B", "-"), 0);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "A", "-"), 1);
  EXPECT_EQ(BTN_script_pending(), 0);
  EXPECT_EQ(BTN_script_next(), "");

  BTN_script_click("C");
  BTN_script_clear();
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "C", "-"), 0);
}

}  // namespace
