// The focus ring: Tab order, key classes, queues and the alert window.
#include "ui/focus.h"

#include <gtest/gtest.h>

#include "window/mnw.h"

namespace {

constexpr int kPress = 8, kRelease = 16, kShift = 1;

// One widget kind's queues, with a guard entry after the end.
struct Queue {
  int chars[65] = {}, vkeys[65] = {}, flags[65] = {}, ids[65] = {};
  int ctr = 0;
  int enter(int id, int mask, int take = 0, int slots = 64) {
    return BTN_register_focus(id, chars, vkeys, flags, ids, &ctr, slots, mask, take);
  }
};

class FocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw.cur_wind = 0;
    focus_id = 0;
    BTN_begin_focus_ring();
  }
  void TearDown() override {
    focus_id = 0;
    BTN_begin_focus_ring();
  }
  // Three fields, registered in this order.
  void three(Queue& q, int mask) {
    BTN_begin_focus_ring();
    q.enter(BTN_field_id(10, 20), mask);
    q.enter(BTN_field_id(10, 40), mask);
    q.enter(BTN_field_id(300, 40), mask);
  }
};

}  // namespace

TEST_F(FocusTest, FieldIdsComeFromTruncatedPositions) {
  EXPECT_EQ(BTN_field_id(85.9f, 40.2f), (85 << 13) + 40);
  EXPECT_EQ(BTN_field_id(85.0f, 40.0f), BTN_field_id(85.7f, 40.9f)) << "one field to the ring";
}

TEST_F(FocusTest, TabWalksTheRingBothWays) {
  Queue q;
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 0) << "no fields on screen";
  three(q, 0x1F4);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kRelease), 0) << "a Tab release moves nothing";
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 1);
  EXPECT_EQ(focus_id, BTN_field_id(10, 20)) << "the first field registered";
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress | kShift), 1);
  EXPECT_EQ(focus_id, BTN_field_id(300, 40)) << "Shift-Tab from the first gives the last";
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 1);
  EXPECT_EQ(focus_id, BTN_field_id(10, 20)) << "Tab from the last gives the first";
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kRelease), 0);
  EXPECT_EQ(q.ctr, 0) << "Tab is never queued by a field without the Tab class";

  // The focused field was not drawn in the last frame.
  BTN_begin_focus_ring();
  q.enter(BTN_field_id(50, 50), 0x1F4);
  EXPECT_EQ(BTN_dispatch_to_focus('a', 65, kPress), 0);
  EXPECT_EQ(focus_id, 0) << "the focus is lost";
  focus_id = BTN_field_id(10, 20);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 1) << "except by Tab, which takes the first field";
  EXPECT_EQ(focus_id, BTN_field_id(50, 50));

  // A field with the Tab class keeps Tab as a key.
  BTN_begin_focus_ring();
  q.enter(BTN_field_id(50, 50), kFocusTab);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 1);
  EXPECT_EQ(q.ctr, 1);
  EXPECT_EQ(focus_id, BTN_field_id(50, 50));
}

TEST_F(FocusTest, KeysAreQueuedByClassForTheFocusedField) {
  Queue q;
  BTN_begin_focus_ring();
  const int id = BTN_field_id(200, 100);
  EXPECT_EQ(q.enter(id, 0xD0, 1), 1) << "taking the focus reports it at once";

  // The numeric fields' mask: navigation keys, digits and signs.
  EXPECT_EQ(BTN_dispatch_to_focus('7', 103, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus('-', 177, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus(30, 38, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus('7', 103, kRelease), 1) << "releases are judged like presses";
  EXPECT_EQ(BTN_dispatch_to_focus('a', 65, kPress), 0);
  EXPECT_EQ(BTN_dispatch_to_focus(8, 8, kPress), 0);
  EXPECT_EQ(BTN_dispatch_to_focus(13, 13, kPress), 0);
  EXPECT_EQ(BTN_dispatch_to_focus(27, 27, kPress), 0);
  EXPECT_EQ(BTN_dispatch_to_focus('5', 187, kPress), 0) << "Enter is judged by its key code only";
  EXPECT_EQ(BTN_dispatch_to_focus(13, 188, kPress), 0) << "so is keypad Enter";
  ASSERT_EQ(q.ctr, 4);
  EXPECT_EQ(q.chars[0], '7');
  EXPECT_EQ(q.vkeys[2], 38);
  EXPECT_EQ(q.flags[3], kRelease);
  EXPECT_EQ(q.ids[1], id);

  // Other classes.
  Queue all;
  BTN_begin_focus_ring();
  all.enter(id, kFocusReturn | kFocusOther, 1);
  EXPECT_EQ(BTN_dispatch_to_focus(13, 188, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus(0, 112, kPress), 1) << "character 0 with an unlisted code";
  EXPECT_EQ(BTN_dispatch_to_focus(0x80, 0, kPress), 1) << "a byte the font has no letter for";
  EXPECT_EQ(BTN_dispatch_to_focus(0xE9, 0, kPress), 0) << "a Latin-1 letter of the font is printable";
  Queue text;
  BTN_begin_focus_ring();
  text.enter(id, 0x1F4, 1);
  EXPECT_EQ(BTN_dispatch_to_focus(0xE9, 0, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus('"', 0, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus(0, 46, kPress), 1) << "Delete";
  EXPECT_EQ(BTN_dispatch_to_focus(0, 0x7F, kPress), 0) << "a control byte";
}

TEST_F(FocusTest, FullQueueAndAlertWindowTakeNothing) {
  Queue q;
  BTN_begin_focus_ring();
  q.enter(BTN_field_id(1, 1), 0x1F4, 1, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(BTN_dispatch_to_focus('x', 88, kPress), 1);
  EXPECT_EQ(BTN_dispatch_to_focus('y', 89, kPress), 0) << "no room: not queued";
  EXPECT_EQ(q.ctr, 3);
  EXPECT_EQ(q.chars[3], 0) << "nothing written past the end";
  q.ctr = -2;
  EXPECT_EQ(BTN_dispatch_to_focus('y', 89, kPress), 0);
  EXPECT_EQ(q.chars[0], 'x');

  q.ctr = 0;
  mnw.cur_wind = wind_alert;
  const int before = focus_id;
  EXPECT_EQ(BTN_dispatch_to_focus('y', 89, kPress), 0);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kPress), 0);
  EXPECT_EQ(focus_id, before);
  EXPECT_EQ(q.ctr, 0);
}

TEST_F(FocusTest, FocusHelpers) {
  Queue q;
  BTN_focus_any();
  EXPECT_EQ(focus_id, 0);
  EXPECT_EQ(BTN_no_focus_yet(), 1);
  three(q, 0x1F4);
  BTN_window_has_focus();
  EXPECT_EQ(BTN_no_focus_yet(), 0);
  BTN_begin_focus_ring();
  EXPECT_EQ(wind_focus, 0) << "the claim lasts one frame";
  three(q, 0x1F4);
  BTN_focus_any();
  EXPECT_EQ(focus_id, BTN_field_id(10, 20));
  EXPECT_EQ(BTN_no_focus_yet(), 0);
  BTN_unfocus_any();
  EXPECT_EQ(focus_id, 0);
}
