// The alert box and the engine's two questions as a user meets them: a
// program with the installer's own start-up raises the box in its window on
// a private X server, the test waits until the box is on screen and answers
// it with the pointer or the keyboard through XTEST.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/click_table.h"
#include "support/installer_run.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "window/mnw.h"

namespace {

InstallerRun::Options probe(const std::string& box, std::vector<std::string> args = {}) {
  InstallerRun::Options o;
  o.executable = MODAL_PROBE_EXE;
  o.env = {"MODAL_PROBE=" + box};
  o.args = std::move(args);
  return o;
}

// The colour a pixel of the window frame (style 11 at the box's own (0, 0))
// takes at box point (5, 5): its atlas texel over the window colour.
rgb frame_corner_colour() {
  const unsigned char* t = g_tex_interface + ((358 + 19) * 512 + (1 + 14)) * 4;
  const unsigned char* sw = nullptr;
  for (const interface_swatch& s : kInterfaceSwatches)
    if (s.entry == 34) sw = g_tex_interface + (s.row * 512 + s.x) * 4;
  const float a = t[3] / 255.0f;
  return {static_cast<int>(std::lround(a * t[0] + (1 - a) * sw[0])),
          static_cast<int>(std::lround(a * t[1] + (1 - a) * sw[1])),
          static_cast<int>(std::lround(a * t[2] + (1 - a) * sw[2]))};
}

bool near(const rgb& a, const rgb& b) {
  return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3;
}

// Waits until box `id` is drawn on screen: the corner of its window frame
// shows the frame's artwork.
bool box_on_screen(const XServer& x, int id) {
  const click_point p = clicks::in_box(id, 5, 5);
  const rgb want = frame_corner_colour();
  return wait_until(
      [&] {
        const Screenshot s = Screenshot::grab(x.display());
        return s.ok() && near(s.at(p.x, p.y), want);
      },
      kProgramTimeoutMs);
}

class ModalBox : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(x_.ok()); }
  XServer x_;
};

TEST_F(ModalBox, AWarningIsDismissedByAClickOnOkAndLogged) {
  InstallerRun run(&x_, probe("warning"));
  ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
  ASSERT_TRUE(box_on_screen(x_, wind_alert));
  // Nothing is logged while the box is up.
  EXPECT_EQ(run.log().find("Something is not quite right."), std::string::npos);
  ASSERT_TRUE(click_on_what_is_shown(x_.display(), clicks::alert_ok().x, clicks::alert_ok().y));
  ASSERT_TRUE(run.wait_for_log("returned to window 0", kProgramTimeoutMs)) << run.log();
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  const std::string log = run.log();
  EXPECT_NE(log.find("\nSomething is not quite right.\nSecond line of the warning.\n\nFourth line.\n(")
            , std::string::npos) << log;
  EXPECT_NE(log.find("modal_probe.cpp line "), std::string::npos);
}

TEST_F(ModalBox, AFatalAlertShowsItsBoxAndEndsWithOne) {
  InstallerRun run(&x_, probe("fatal"));
  ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
  ASSERT_TRUE(box_on_screen(x_, wind_alert));
  EXPECT_TRUE(run.running()) << "the box waits for the user";
  ASSERT_TRUE(click_on_what_is_shown(x_.display(), clicks::alert_ok().x, clicks::alert_ok().y));
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 1);
  const std::string log = run.log();
  EXPECT_NE(log.find("\nThis cannot go on.\n\n\n\n("), std::string::npos) << log;
  EXPECT_NE(log.find("modal_probe.cpp line "), std::string::npos) << log;
  EXPECT_EQ(log.find("the fatal alert returned"), std::string::npos);
}

TEST_F(ModalBox, UnderAFrameRateTestAlertsGoToTheLogOnly) {
  {
    InstallerRun run(&x_, probe("warning", {"--fps_test"}));
    ASSERT_TRUE(run.wait_for_log("returned to window 0", kProgramTimeoutMs)) << run.err();
    EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
    const std::string log = run.log();
    EXPECT_NE(log.find("Something is not quite right.\nSecond line of the warning.\n\nFourth line.\n("),
              std::string::npos);
    EXPECT_EQ(log.find("dump_mem_stats"), std::string::npos);
  }
  InstallerRun run(&x_, probe("fatal", {"--fps_test"}));
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 1) << "no box, nobody clicks";
  EXPECT_NE(run.log().find("This cannot go on.\n"), std::string::npos);
}

TEST_F(ModalBox, TheChangedFileQuestionTakesAClickOnItsButtons) {
  InstallerRun run(&x_, probe("changed"));
  ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
  ASSERT_TRUE(box_on_screen(x_, wind_question));
  ASSERT_TRUE(click_on_what_is_shown(x_.display(), clicks::changed_keep().x, clicks::changed_keep().y));
  ASSERT_TRUE(run.wait_for_log("answer 2", kProgramTimeoutMs)) << run.log();
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
}

TEST_F(ModalBox, TheTwoButtonQuestionTakesEitherButton) {
  {
    InstallerRun run(&x_, probe("abort"));
    ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
    ASSERT_TRUE(box_on_screen(x_, wind_abort_question));
    ASSERT_TRUE(click_on_what_is_shown(x_.display(), clicks::question_second().x, clicks::question_second().y));
    ASSERT_TRUE(run.wait_for_log("answer 0", kProgramTimeoutMs)) << run.log();
    EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  }
  {
    InstallerRun run(&x_, probe("abort"));
    ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
    ASSERT_TRUE(box_on_screen(x_, wind_abort_question));
    ASSERT_TRUE(click_on_what_is_shown(x_.display(), clicks::question_first().x, clicks::question_first().y));
    ASSERT_TRUE(run.wait_for_log("answer 1", kProgramTimeoutMs)) << run.log();
  }
}

// Return closes the alert as its button does, and closes the two-button
// question as neither of its buttons: answer 3, not the first button's 1.
TEST_F(ModalBox, ReturnClosesTheAlertAndLeavesTheQuestionWithNeitherButton) {
  {
    InstallerRun run(&x_, probe("warning"));
    ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
    ASSERT_TRUE(box_on_screen(x_, wind_alert));
    key_tap(x_.display(), "Return");
    ASSERT_TRUE(run.wait_for_log("returned to window 0", kProgramTimeoutMs)) << run.log();
    EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  }
  InstallerRun run(&x_, probe("abort"));
  ASSERT_TRUE(run.wait_for_log("probe ready", kProgramTimeoutMs)) << run.err();
  ASSERT_TRUE(box_on_screen(x_, wind_abort_question));
  key_tap(x_.display(), "Return");
  ASSERT_TRUE(run.wait_for_log("answer ", kProgramTimeoutMs)) << run.log();
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  const std::string log = run.log();
  EXPECT_NE(log.find("answer 3\n"), std::string::npos) << log;
}

}  // namespace
