#include <gtest/gtest.h>
#include <time.h>

#include <cmath>
#include <cstdint>

#include "runtime/xtim.h"
#include "ui/colr.h"
#include "ui/focus.h"
#include "window/mnw.h"

namespace {

// The clock the timer tests drive: it moves only when a test says so.
uint64_t fake_us = 0;
uint64_t fake_clock() { return fake_us; }
void sleep_s(double s) { fake_us += static_cast<uint64_t>(std::llround(s * 1e6)); }

// Runs passes of the timer the way the event loop does: the per-pass click
// and release flags are cleared before each pass's input arrives.
class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_us = 5000000;
    xtim_class::set_clock(&fake_clock);
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.cur_wind = 0;
    mnw.last_click_time = -10.0f;  // no click shortly before the test
  }
  void TearDown() override {
    mnw = saved_;
    xtim_class::set_clock(nullptr);
  }

  void pass(int click = 0, int release = 0) {
    mnw.click = click;
    mnw.release = release;
    tim.xtim_update();
  }

  xtim_class tim;
  mnw_struct saved_{};
};

}  // namespace

TEST_F(TimerTest, ElapsedStartsAtZeroAndNeverDecreases) {
  pass();
  EXPECT_EQ(tim.elapsed, 0.0f);
  float last = tim.elapsed;
  for (int i = 0; i < 50; ++i) {
    sleep_s(0.001);
    pass();
    ASSERT_GE(tim.elapsed, last);
    last = tim.elapsed;
  }
  EXPECT_NEAR(last, 0.05f, 1e-5f);
}

TEST_F(TimerTest, FrameEstimateFollowsThePassRateWithinBounds) {
  // Passes 10 ms apart lower the estimate from 0.02 toward 0.01 s, by at most
  // the fourth root of the clamped ratio on each tenth pass.
  pass();
  const float after_first = tim.frame_period[1];
  EXPECT_NEAR(after_first, 0.02f * std::pow(0.5f, 0.25f), 1e-6f) << "the first measurement spans no time";
  float prev = after_first;
  for (int n = 1; n <= 200; ++n) {
    sleep_s(0.010);
    pass();
    if (n % 10 == 0) {
      EXPECT_LE(tim.frame_period[1], prev * 1.11f);
      EXPECT_GE(tim.frame_period[1], prev * 0.84f);
      prev = tim.frame_period[1];
    }
    ASSERT_GE(tim.frame_period[0], 0.0010000999f);
    ASSERT_LE(tim.frame_period[0], 0.05263158f);
    ASSERT_EQ(tim.frame_period[0], tim.frame_period[2]);
  }
  EXPECT_NEAR(tim.frame_period[1], 0.010f, 0.0005f) << "passes exactly 10 ms apart";
}

TEST_F(TimerTest, ModalBoxesOnlyRebaseTheMeasurement) {
  for (int i = 0; i < 11; ++i) pass();
  const float before = tim.frame_period[1];
  const float ratio = tim.period_ratio;
  mnw.cur_wind = 995;
  for (int i = 0; i < 5; ++i) {
    sleep_s(0.1);
    pass();
  }
  EXPECT_EQ(tim.frame_period[1], before);
  EXPECT_EQ(tim.period_ratio, ratio);

  // Back in the main window, the next measurement spans only the passes since
  // the last re-base: half a second in the box does not count as slow frames.
  mnw.cur_wind = 0;
  for (int i = 0; i < 10; ++i) pass();
  EXPECT_LT(tim.period_ratio, 1.0f) << "the time in the box was counted";
}

TEST_F(TimerTest, SubWindowsKeepTheirOwnEstimate) {
  for (int i = 0; i < 31; ++i) pass();  // four quick measurements lower the main estimate
  const float main_estimate = tim.frame_period[0];
  EXPECT_LT(main_estimate, 0.011f);

  mnw.cur_wind = 2;
  pass();
  EXPECT_NEAR(tim.frame_period[0], 0.02f * std::pow(0.5f, 0.25f), 1e-6f) << "the sub-window estimate starts at 0.02";

  mnw.cur_wind = 0;
  pass();
  EXPECT_EQ(tim.frame_period[0], main_estimate) << "the main estimate was kept";
}

TEST_F(TimerTest, DoubleClickQuickClickAndHeld) {
  pass();
  pass(1, 0);  // first click
  EXPECT_EQ(mnw.double_click, 0);
  EXPECT_EQ(mnw.down, 1);
  sleep_s(0.05);
  pass(0, 1);  // release 0.05 s after the click
  EXPECT_EQ(mnw.quick_click, 1);
  EXPECT_EQ(mnw.down, 0);
  sleep_s(0.05);
  pass(1, 0);  // second click 0.1 s after the first
  EXPECT_EQ(mnw.double_click, 1);
  pass(0, 1);

  sleep_s(0.4);
  pass(1, 0);  // 0.4 s later: no double click
  EXPECT_EQ(mnw.double_click, 0);
  EXPECT_EQ(mnw.held, 0);
  sleep_s(0.4);
  pass(0, 1);  // released after 0.4 s: not quick
  EXPECT_EQ(mnw.quick_click, 0);

  pass(1, 0);
  pass();
  EXPECT_EQ(mnw.held, 0) << "not yet held";
  sleep_s(0.3);
  pass();
  EXPECT_EQ(mnw.held, 1) << "held after 0.25 s";
  pass();
  EXPECT_EQ(mnw.held, 1);
  pass(0, 1);
  EXPECT_EQ(mnw.held, 0) << "the release clears it";
  EXPECT_EQ(mnw.down, 0);
}

TEST_F(TimerTest, ClickDropsFocusAndMovementMarksActivity) {
  pass();
  focus_id = 3;
  sleep_s(0.02);
  pass(1, 0);
  EXPECT_EQ(focus_id, 0);
  EXPECT_FLOAT_EQ(mnw.last_click_time, tim.elapsed);
  EXPECT_FLOAT_EQ(mnw.last_move_time, tim.elapsed);

  sleep_s(0.02);
  mnw.mouse_x += 0.4f;  // too small to count
  pass();
  const float before = mnw.last_move_time;
  EXPECT_LT(before, tim.elapsed);
  sleep_s(0.02);
  mnw.mouse_y += 2.0f;
  pass();
  EXPECT_FLOAT_EQ(mnw.last_move_time, tim.elapsed);
}

TEST_F(TimerTest, OneSecondTriggerFiresAboutOncePerSecond) {
  int fired = 0;
  pass();
  for (int i = 0; i < 250; ++i) {
    sleep_s(0.01);
    pass();
    fired += tim.act_ot[3];
    for (int k = 0; k < 9; ++k) ASSERT_EQ(tim.sim_ot[k], 0) << "sim_time does not move";
  }
  EXPECT_EQ(fired, 2) << "2.5 s of passes";
}

TEST_F(TimerTest, PulseSetsHighlightColours) {
  pass();
  const float a = colr.blink;
  EXPECT_GE(a, 0.4f - 1e-6f);
  EXPECT_LE(a, 1.0f + 1e-6f);
  EXPECT_FLOAT_EQ(colr.rgb[79][0], a);
  EXPECT_FLOAT_EQ(colr.rgb[80][1], 0.5f * a);
  EXPECT_FLOAT_EQ(colr.rgb[82][2], a);
  EXPECT_FLOAT_EQ(colr.rgb[83][1], 0.8f * a);
  EXPECT_FLOAT_EQ(colr.rgb[84][2], 0.2f * a);
}

TEST(TimerCalendar, MonthAndDay) {
  xtim_class t;
  int m = -1, d = -1;
  t.day_of_year = 0;
  t.current_month_day(&m, &d);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(d, 1);
  t.day_of_year = 31;
  t.current_month_day(&m, &d);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(d, 1);
  t.day_of_year = 90;
  t.current_month_day(&m, &d);
  EXPECT_EQ(m, 3);
  EXPECT_EQ(d, 1);
  t.day_of_year = 364;
  t.current_month_day(&m, &d);
  EXPECT_EQ(m, 11);
  EXPECT_EQ(d, 31);
  for (float past : {365.0f, 400.0f, 1e9f}) {
    t.day_of_year = past;
    m = d = -1;
    t.current_month_day(&m, &d);
    EXPECT_EQ(m, 11) << past;
    EXPECT_EQ(d, 31) << past;
  }
}

TEST(TimerClock, MicrosecondsAndDeltas) {
  fake_us = 1000;
  xtim_class::set_clock(&fake_clock);
  uint64_t stamp = xtim_class::microsecs();
  EXPECT_EQ(stamp, 1000u);
  sleep_s(0.02);
  EXPECT_EQ(xtim_class::del_time(&stamp), 20000u);
  EXPECT_EQ(stamp, 21000u);
  EXPECT_EQ(xtim_class::del_time(&stamp), 0u);
  xtim_class::set_clock(nullptr);
  // The system's clock moves on by itself and never goes back.
  const uint64_t a = xtim_class::microsecs();
  const uint64_t b = xtim_class::microsecs();
  EXPECT_LE(a, b);

  float h, m, s;
  xtim_class::xtim_hrs_min_sec(3725.5f, &h, &m, &s);
  EXPECT_EQ(h, 1.0f);
  EXPECT_EQ(m, 2.0f);
  EXPECT_EQ(s, 5.0f);
}
