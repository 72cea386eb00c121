// The event loop on the program's own window, opened in this process on a
// private X server, with input given through XTEST: what reaches the window
// state, sub-windows, the tooltip and the idle cursor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "support/click_table.h"
#include "support/live_window.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/mouse_help.h"
#include "wizard/wizard.h"

namespace {

class EventLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    d_ = x_.display();
    window_.pass();
    ASSERT_EQ(mnw.cur_wind, 0) << "the first pass starts the main window";
  }

  // Moves the pointer and runs passes until the program has seen it there.
  void point_at(int x, int y) {
    pointer_to(d_, x, y);
    const float want_x = static_cast<float>(x) - mnw.wind_x;
    const float want_y = static_cast<float>(600 - y) - mnw.wind_y;
    ASSERT_TRUE(window_.pass_until([&] { return mnw.mouse_x == want_x && mnw.mouse_y == want_y; }))
        << "pointer at " << mnw.mouse_x << ", " << mnw.mouse_y;
  }

  XServer x_;
  LiveWindow window_{x_};
  Display* d_ = nullptr;
};

}  // namespace

TEST_F(EventLoop, PointerMotionReachesTheWindowStateWithYUpward) {
  point_at(400, 300);
  point_at(0, 0);
  EXPECT_EQ(mnw.mouse_y, 600.0f) << "the top-left pixel is y 600 in layout units";
  point_at(799, 599);
  EXPECT_EQ(mnw.mouse_x, 799.0f);
  EXPECT_EQ(mnw.mouse_y, 1.0f);
}

TEST_F(EventLoop, AClickIsSeenForOnePassAndTheButtonIsHeldUntilItsRelease) {
  point_at(300, 200);
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.click == 1; }));
  EXPECT_EQ(mnw.down, 1);
  EXPECT_EQ(mnw.release, 0);
  window_.pass();
  EXPECT_EQ(mnw.click, 0) << "a click lives for one pass";
  EXPECT_EQ(mnw.down, 1);

  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.release == 1; }));
  EXPECT_EQ(mnw.down, 0);
  window_.pass();
  EXPECT_EQ(mnw.release, 0);

  // The wheel counts steps and never clicks.
  for (int i = 0; i < 2; ++i) {
    button_down(d_, 4);
    button_up(d_, 4);
  }
  bool clicked = false;
  ASSERT_TRUE(window_.pass_until([&] {
    clicked = clicked || mnw.click;
    return mnw.wheel == 2;
  }));
  EXPECT_FALSE(clicked);
  button_down(d_, 5);
  button_up(d_, 5);
  ASSERT_TRUE(window_.pass_until([] { return mnw.wheel == 1; }));
  window_.pass();
  EXPECT_EQ(mnw.wheel, 1) << "passes do not clear the wheel";
}

TEST_F(EventLoop, AQuickClickHoldsTheButtonForItsOwnPassOnly) {
  point_at(300, 200);
  // Press and release both arrive before the program looks.
  button_down(d_);
  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.click == 1; }));
  EXPECT_EQ(mnw.down, 1) << "the pass of the click sees the button down";
  EXPECT_EQ(mnw.release, 0);
  ASSERT_TRUE(window_.pass_until([] { return mnw.release == 1; }, 1000));
  EXPECT_EQ(mnw.down, 0) << "and the next pass lets it go: nothing keeps dragging";
  window_.pass();
  EXPECT_EQ(mnw.down, 0);

  // Two quick clicks at two places before the program looks are two
  // clicks, each seen with its release where it was given, and neither
  // release is lost.
  button_down(d_);
  button_up(d_);
  pointer_to(d_, 500, 400);
  button_down(d_);
  button_up(d_);
  int clicks = 0, releases = 0;
  std::vector<float> click_x, release_x;
  EXPECT_TRUE(window_.pass_until(
      [&] {
        clicks += mnw.click;
        releases += mnw.release;
        if (mnw.click) click_x.push_back(mnw.mouse_x);
        if (mnw.release) release_x.push_back(mnw.mouse_x);
        return releases == 2;
      },
      kProgramTimeoutMs));
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(mnw.down, 0);
  ASSERT_EQ(click_x.size(), 2u);
  ASSERT_EQ(release_x.size(), 2u);
  EXPECT_LT(click_x[0], click_x[1]) << "the first click is seen where it was given, not where the pointer went";
  EXPECT_EQ(click_x[0], release_x[0]);
  EXPECT_EQ(click_x[1], release_x[1]);
}

TEST_F(EventLoop, KeysReachTheWindowStateAndModifiersStayApart) {
  key_down(d_, "a");
  ASSERT_TRUE(window_.pass_until([] { return mnw.key_down == 1; }));
  EXPECT_EQ(mnw.key_held, 1);
  window_.pass();
  EXPECT_EQ(mnw.key_down, 0) << "key_down lives for one pass";
  EXPECT_EQ(mnw.key_held, 1);
  key_up(d_, "a");
  ASSERT_TRUE(window_.pass_until([] { return mnw.key_held == 0; }));

  key_down(d_, "Shift_L");
  bool any_key = false;
  ASSERT_TRUE(window_.pass_until([&] {
    any_key = any_key || mnw.key_down;
    return linkey_shft == 1;
  }));
  EXPECT_FALSE(any_key) << "Shift alone is no key press";
  EXPECT_EQ(has_shiftkey(), 1);
  key_up(d_, "Shift_L");
  ASSERT_TRUE(window_.pass_until([] { return linkey_shft == 0; }));
}

TEST_F(EventLoop, ASubWindowIsCentredTakesClicksInItsOwnUnitsAndClosesFromItsCorner) {
  MACIBM_startwind(wind_prefs, 0);
  ASSERT_TRUE(window_.pass_until_shown()) << "a click is given on what the screen shows";
  EXPECT_EQ(mnw.modal, 1);
  EXPECT_EQ(mnw.wind_x, 100.0f);
  EXPECT_EQ(mnw.wind_y, 110.0f);
  const click_point inside = clicks::in_box(wind_prefs, 40, 30);
  EXPECT_EQ(inside.x, 140);
  EXPECT_EQ(inside.y, 460);
  point_at(inside.x, inside.y);
  EXPECT_EQ(mnw.mouse_x, 40.0f);
  EXPECT_EQ(mnw.mouse_y, 30.0f);
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.click == 1; }));
  EXPECT_EQ(mnw.cur_wind, wind_prefs) << "a click inside leaves the box up";
  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.release == 1; }));

  // The alert box cannot be closed from its corner.
  MACIBM_startwind(wind_alert, 0);
  ASSERT_TRUE(window_.pass_until_shown());
  const click_point alert_corner = clicks::in_box(wind_alert, 5, 245);
  point_at(alert_corner.x, alert_corner.y);
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.click == 1; }));
  EXPECT_EQ(mnw.cur_wind, wind_alert);
  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.release == 1; }));

  // The options window closes from its top-left corner.
  MACIBM_startwind(wind_prefs, 0);
  ASSERT_TRUE(window_.pass_until_shown());
  const click_point corner = clicks::options_close_left();
  point_at(corner.x, corner.y);
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.cur_wind == 0; }));
  EXPECT_EQ(mnw.modal, 0);
  EXPECT_EQ(mnw.wind_x, 0.0f);
  button_up(d_);
  ASSERT_TRUE(window_.pass_until([] { return mnw.release == 1; }));
}

TEST_F(EventLoop, TheTooltipComesAfterASecondOfRestAndOnlyWhileAWidgetAsks) {
  point_at(500, 300);
  const float moved = mnw.last_move_time;
  const std::string help = "Checks the copy of the simulator against the released files.";

  struct seen {
    float rest;
    bool shown;
  };
  std::vector<seen> passes;
  ASSERT_TRUE(window_.pass_until(
      [&] {
        const bool shown = mouse_help_last.text == help;
        passes.push_back({xtim.elapsed - moved, shown});
        EXPECT_TRUE(stls.mouse_help.empty()) << "the help text is used up by every pass";
        stls.mouse_help = help;  // a widget under the pointer asks again for the next pass
        return shown;
      },
      5000));
  EXPECT_EQ(mnw.last_move_time, moved) << "the pointer rested";
  for (std::size_t i = 0; i + 1 < passes.size(); ++i) EXPECT_LE(passes[i].rest, 1.0f) << "pass " << i;
  EXPECT_GT(passes.back().rest, 1.0f);
  ASSERT_GE(passes.size(), 2u);

  const mouse_help_box box = mouse_help_place(help.size(), 500, 300, 0, 0, 800, 600);
  EXPECT_EQ(mouse_help_last.box.x, box.x);
  EXPECT_EQ(mouse_help_last.box.y, box.y);
  EXPECT_EQ(mouse_help_last.box.h, 60.0f);

  // No widget asks: no tooltip, however long the rest.
  stls.mouse_help.clear();
  window_.pass();
  EXPECT_TRUE(mouse_help_last.text.empty());
}

TEST_F(EventLoop, TheCursorHidesAfterTenIdleSecondsInTheMainWindowOnly) {
  point_at(200, 200);
  window_.pass();
  EXPECT_EQ(OS_mouse_showing, 1);

  mnw.last_move_time = xtim.elapsed - 10.5f;  // ten seconds and more without a move
  window_.pass();
  EXPECT_EQ(mnw.cursor_type, 2);
  EXPECT_EQ(OS_mouse_showing, 0);

  point_at(210, 200);  // any movement brings it back
  window_.pass();
  EXPECT_EQ(OS_mouse_showing, 1);

  MACIBM_startwind(wind_alert, 0);
  mnw.last_move_time = xtim.elapsed - 60.0f;
  window_.pass();
  EXPECT_EQ(OS_mouse_showing, 1) << "the alert box always shows the cursor";
  EXPECT_EQ(mnw.cursor_type, 0);
  MACIBM_startwind(0, 0);
}

TEST_F(EventLoop, TheWizardFrameIsSwappedOverTheBackdrop) {
  // The window's start loaded the built-in images: the wizard's frame shows
  // the backdrop one texel per pixel outside its panels (texel rows count
  // from the bottom).
  window_.pass();
  const auto backdrop = [](int x, int y) {
    const unsigned char* t = g_tex_background + ((599 - y) * 800 + x) * 3;
    return rgb{t[0], t[1], t[2]};
  };
  const Screenshot shot = wait_for_screen(
      d_, [&](const Screenshot& s) { return s.at(5, 5) == backdrop(5, 5); }, 10000);
  for (const click_point p : {click_point{0, 0}, click_point{400, 20}, click_point{799, 599}, click_point{205, 300}})
    EXPECT_EQ(shot.at(p.x, p.y), backdrop(p.x, p.y)) << p.x << ", " << p.y;
}

TEST_F(EventLoop, QuitInTheWizardEndsTheLoop) {
  point_at(clicks::quit.x, clicks::quit.y);
  button_down(d_);
  ASSERT_TRUE(window_.pass_until([] { return app_done != 0; }));
  button_up(d_);
}
