// The frame driver on the program's own window: screens of the test's own
// fill the record, the passes of the event loop run the driver, and XTEST
// clicks the bar, the choices and the server list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/installer_state.h"
#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/live_window.h"
#include "support/screen_text.h"
#include "support/wait.h"
#include "support/wizard_view.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "window/mnw.h"
#include "window/ui_calls.h"
#include "wizard/layout.h"
#include "wizard/wizard.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/subwindows.h"

// After gtest: Xlib defines None and Bool.
#include <X11/Xlib.h>

#include <X11/Xlib.h>

namespace view = wizard_view;

namespace {

// What the screens fill in, set by the test between passes.
struct screen_plan {
  std::string title;
  float progress = -1.0f;
  std::string caption;
  int result = 0;
  screen_func back = nullptr, next = nullptr;
  int servers = 0;
  std::vector<std::string> choices;
  std::vector<screen_func> targets;
  void (*kill)() = nullptr;
  int (*quit_question)() = nullptr;
};
screen_plan plan;
std::vector<int> first_frames_a, first_frames_b;
int kills = 0;

void fill(wizard_screen& ws) {
  ws.title = plan.title;
  ws.progress = plan.progress;
  ws.progress_text = plan.caption;
  ws.back_screen = plan.back;
  ws.next_screen = plan.next;
  ws.show_servers = plan.servers;
  ws.choices = plan.choices;
  ws.choice_funcs = plan.targets;
  ws.kill = plan.kill;
  ws.quit_question = plan.quit_question;
}
int screen_a(int first_frame, wizard_screen& ws) {
  first_frames_a.push_back(first_frame);
  fill(ws);
  return plan.result;
}
int screen_b(int first_frame, wizard_screen& ws) {
  first_frames_b.push_back(first_frame);
  fill(ws);
  ws.title = "Screen B";
  return 0;
}
// A flow's first screen: it fills in the flow's steps in its first frame.
int screen_with_steps(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    const flow_step steps[] = {{"Begin", screen_with_steps}, {"Second", screen_b}};
    set_steps(steps, 2);
  }
  fill(ws);
  return 0;
}
void count_kill() { ++kills; }
int questions = 0, quit_answer = 0;
int ask_quit() {
  ++questions;
  return quit_answer;
}

class FrameDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    saved_stg_ = stg;
    plan = screen_plan{};
    first_frames_a.clear();
    first_frames_b.clear();
    kills = 0;
    g_wizard = screen_a;
    const flow_step steps[] = {{"First", screen_a}, {"Second", screen_b}, {"Third", nullptr}};
    set_steps(steps, 3);
  }
  void TearDown() override {
    stg = saved_stg_;
    step_names.clear();
    step_funcs.clear();
    app_done = 0;
  }

  void passes(int n) {
    for (int i = 0; i < n; ++i) window_.pass();
  }
  // A click, then passes until the condition holds.
  bool click_until(click_point p, const std::function<bool()>& condition) {
    view::click(x_.display(), p);
    return window_.pass_until(condition, 5000);
  }
  bool shows(const screen_text& t) {
    std::string why;
    const bool ok = shows_text(Screenshot::grab(x_.display()), t, &why);
    if (!ok) ADD_FAILURE() << why;
    return ok;
  }
  // What a window manager sends when the user closes the window.
  void close_window() {
    Display* d = x_.display();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = static_cast<Window>(mnw.window[0]);
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
    XSync(d, False);
  }
  rgb pixel(float x, float y) { return Screenshot::grab(x_.display()).at(static_cast<int>(x), 600 - static_cast<int>(y)); }

  XServer x_;
  LiveWindow window_{x_};
  stg_struct saved_stg_{};
};

}  // namespace

TEST_F(FrameDriver, FirstFramesResultsAndTheButtonBar) {
  // The program's first frame already shows the steps that its first
  // screen fills in then.
  step_names.clear();
  step_funcs.clear();
  g_wizard = screen_with_steps;
  passes(1);
  EXPECT_TRUE(shows(view::step(0, "Begin", true)));
  EXPECT_TRUE(shows(view::step(1, "Second", false)));
  const flow_step steps[] = {{"First", screen_a}, {"Second", screen_b}, {"Third", nullptr}};
  set_steps(steps, 3);
  g_wizard = screen_a;

  plan.title = "Screen A";
  passes(3);
  EXPECT_EQ(first_frames_a, (std::vector<int>{1, 0, 0})) << "first only after a change of screen";
  EXPECT_TRUE(shows(view::title("Screen A")));
  EXPECT_TRUE(shows(view::step(0, "First", true)));
  EXPECT_TRUE(shows(view::step(1, "Second", false)));
  EXPECT_EQ(step_names.size(), 2u) << "a step without a screen is left out";

  // A result without a next screen stays.
  plan.result = 1;
  passes(2);
  EXPECT_EQ(g_wizard, screen_a);
  EXPECT_EQ(first_frames_a.back(), 0);

  // Back and Next without targets ignore clicks.
  plan.result = 0;
  for (click_point p : {clicks::next, clicks::back}) {
    view::click(x_.display(), p);
    passes(30);
    EXPECT_EQ(g_wizard, screen_a);
  }

  // Next with a target moves on; the new screen has its first frame.
  plan.next = screen_b;
  ASSERT_TRUE(click_until(clicks::next, [] { return !first_frames_b.empty(); }));
  EXPECT_EQ(first_frames_b.front(), 1);
  passes(2);
  EXPECT_TRUE(shows(view::title("Screen B")));
  EXPECT_TRUE(shows(view::step(0, "First", false)));
  EXPECT_TRUE(shows(view::step(1, "Second", true)));

  // Back to A, which starts anew; A's own result then advances at once.
  plan.back = screen_a;
  plan.next = nullptr;
  ASSERT_TRUE(click_until(clicks::back, [] { return g_wizard == screen_a; }));
  const std::size_t a_frames = first_frames_a.size();
  plan.next = screen_b;
  plan.result = 1;
  first_frames_b.clear();
  ASSERT_TRUE(window_.pass_until([] { return !first_frames_b.empty(); }, 5000));
  EXPECT_EQ(first_frames_a[a_frames], 1);

  // Quit runs the kill callback and ends the loop.
  plan = screen_plan{};
  plan.kill = count_kill;
  ASSERT_TRUE(click_until(clicks::quit, [] { return app_done != 0; }));
  EXPECT_EQ(kills, 1);
}

// Closing the window from its frame is the screen's Quit: its question
// first, then its kill callback; on the last step, the Next button's Quit.
// A close while a box is up is not kept.
TEST_F(FrameDriver, ClosingTheWindowIsTheScreensQuit) {
  plan.kill = count_kill;
  plan.quit_question = ask_quit;
  questions = quit_answer = 0;
  passes(2);
  close_window();
  ASSERT_TRUE(window_.pass_until([] { return questions == 1; }));
  passes(2);
  EXPECT_EQ(app_done, 0) << "the user went on";
  EXPECT_EQ(kills, 0);
  quit_answer = 1;
  close_window();
  ASSERT_TRUE(window_.pass_until([] { return app_done != 0; }));
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(kills, 1);

  app_done = 0;
  MACIBM_startwind(wind_alert, 0);
  close_window();
  passes(3);
  MACIBM_startwind(0, 0);
  passes(3);
  EXPECT_EQ(questions, 2) << "not kept while the box was up";
  EXPECT_EQ(app_done, 0);

  plan = screen_plan{};
  plan.next = wizard_quit;
  passes(2);
  close_window();
  ASSERT_TRUE(window_.pass_until([] { return app_done != 0; }));
  EXPECT_EQ(g_wizard, wizard_quit);
}

TEST_F(FrameDriver, NextShowsQuitOnTheLastStep) {
  plan.next = wizard_quit;
  passes(2);
  ASSERT_TRUE(click_until(clicks::next_as_quit, [] { return app_done != 0; }));
  EXPECT_EQ(g_wizard, wizard_quit);

  // No screen at all ends the program too.
  app_done = 0;
  g_wizard = nullptr;
  passes(1);
  EXPECT_EQ(app_done, 1);
}

TEST_F(FrameDriver, ProgressChoicesAndServers) {
  // The bar: its fill reaches 240 + 520 (0.96 p + 0.04).
  plan.caption = "Half way there";
  plan.progress = 0.5f;
  passes(3);
  EXPECT_TRUE(shows(view::caption("Half way there")));
  const rgb half_at_400 = pixel(400, kProgressY), half_at_600 = pixel(600, kProgressY);
  plan.progress = 1.5f;
  passes(2);
  const rgb full_at_400 = pixel(400, kProgressY), full_at_600 = pixel(600, kProgressY);
  EXPECT_TRUE(half_at_400 == full_at_400) << "filled in both";
  EXPECT_FALSE(half_at_600 == full_at_600) << "filled only when full";
  plan.progress = -1.0f;
  passes(2);
  EXPECT_FALSE(pixel(400, kProgressY) == full_at_400) << "no bar below 0";
  EXPECT_FALSE(shows_text(Screenshot::grab(x_.display()), view::caption("Half way there")));

  // Five choices, top to bottom; a click takes the wizard to its target.
  plan.choices = {"One", "Two", "Three", "Four", "Five"};
  plan.targets = {screen_a, screen_a, screen_a, screen_b, screen_a};
  passes(2);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(shows(view::choice(i, plan.choices[static_cast<std::size_t>(i)]))) << i;
  ASSERT_TRUE(click_until(clicks::choice(3), [] { return g_wizard == screen_b; }));

  // Three servers: the text after the last '|' up to the last '{'.
  plan.choices.clear();
  plan.targets.clear();
  plan.servers = 1;
  stg.num_servers = 3;
  stg.server_index = 0;
  server_desc[0] = "a|North{x";
  server_desc[1] = "b|Middle";
  server_desc[2] = "no bar, no text";
  passes(2);
  EXPECT_TRUE(shows(view::server(0, 3, "North")));
  EXPECT_TRUE(shows(view::server(1, 3, "Middle")));
  for (std::string& d : server_desc) d.clear();
  stg.num_servers = -1;
}

TEST_F(FrameDriver, AStaticScreenDrawsOnlyWhenItChangesOrIsExposed) {
  // The program's frames: recorded, drawn only when they show something new.
  OGL_frame_lists(1);
  struct lists_off {
    ~lists_off() { OGL_frame_lists(0); }
  } off;
  Display* d = x_.display();
  FrameWatch frames(d, mnw.window[0]);
  ASSERT_TRUE(frames.ok());
  plan.title = "Screen A";
  plan.next = screen_b;
  pointer_to(d, 400, 300);  // over the backdrop, nothing that reacts
  passes(5);
  EXPECT_TRUE(shows(view::title("Screen A")));

  // Settled: no frame however many passes run.
  frames.mark();
  passes(40);
  EXPECT_EQ(frames.count(), 0);
  // The pointer over nothing that reacts to it changes nothing either.
  pointer_to(d, 420, 310);
  passes(10);
  EXPECT_EQ(frames.count(), 0);

  // The server asks for the picture: it is shown again.
  frames.mark();
  XClearArea(d, mnw.window[0], 0, 0, 0, 0, True);
  XSync(d, False);
  ASSERT_TRUE(window_.pass_until([&] { return frames.count() >= 1; }, 5000));
  EXPECT_TRUE(shows(view::title("Screen A")));
  passes(10);
  EXPECT_EQ(frames.count(), 1) << "one frame for one expose";

  // The pointer over Next: its hover look is drawn, once.
  const rgb plain = pixel(clicks::next.x, 600 - clicks::next.y);
  const click_point beside{clicks::next.x - 12, 600 - clicks::next.y};
  const rgb beside_plain = pixel(beside.x, beside.y);
  frames.mark();
  pointer_to(d, clicks::next.x, clicks::next.y);
  ASSERT_TRUE(window_.pass_until([&] { return frames.count() >= 1; }, 5000));
  EXPECT_FALSE(pixel(clicks::next.x, 600 - clicks::next.y) == plain) << "the hover look";
  passes(10);
  EXPECT_EQ(frames.count(), 1);


  // A changed text.
  frames.mark();
  plan.title = "Screen A again";
  passes(10);
  EXPECT_EQ(frames.count(), 1);
  EXPECT_TRUE(shows(view::title("Screen A again")));

  // The pointer leaves the window for another one that comes up under it
  // (one pixel, on the button's centre): the button loses its hover look.
  ASSERT_FALSE(pixel(beside.x, beside.y) == beside_plain) << "the hover look reaches beside the centre";
  XSetWindowAttributes above{};
  above.override_redirect = True;
  const Window other = XCreateWindow(d, DefaultRootWindow(d), clicks::next.x, clicks::next.y, 1, 1, 0,
                                     CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &above);
  XMapRaised(d, other);
  XSync(d, False);
  EXPECT_TRUE(window_.pass_until([&] { return pixel(beside.x, beside.y) == beside_plain; }, 5000))
      << "the hover look stays after the pointer left";
  XDestroyWindow(d, other);
  XSync(d, False);
}
