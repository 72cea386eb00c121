#include "support/wizard_window.h"

#include <cstdlib>

#include "support/wizard_view.h"
#include "support/x_input.h"
#include "support/x_observe.h"

void WizardWindowTest::SetUp() { ASSERT_TRUE(x.ok() && work.ok() && home.ok()); }

void WizardWindowTest::TearDown() { set_window_area(0, 0, 0, 0); }

std::unique_ptr<InstallerRun> WizardWindowTest::start_program(std::vector<std::string> args,
                                                              std::vector<std::string> env, bool (*before_exec)()) {
  InstallerRun::Options o;
  o.before_exec = before_exec;
  o.args = std::move(args);
  o.env = {"HOME=" + home.path()};
  for (const std::string& e : env) (e.rfind("HOME=", 0) == 0 ? o.env[0] : o.env.emplace_back()) = e;
  o.unset = {"HOME"};
  auto run = std::make_unique<InstallerRun>(&x, o);
  EXPECT_TRUE(run->started());
  return run;
}

void WizardWindowTest::list_copies(const std::vector<std::string>& folders) {
  std::string text;
  for (const std::string& f : folders) text += f + "\n";
  ASSERT_TRUE(write_file(home / ".corvane/corvane_install.txt", text));
}

bool WizardWindowTest::sees(const std::vector<screen_text>& texts, int timeout_ms) {
  std::string why;
  if (wait_for_texts(x.display(), texts, timeout_ms, &why)) return true;
  ADD_FAILURE() << "not on screen: " << why;
  return false;
}

bool WizardWindowTest::shows_now(const screen_text& t) { return shows_text(Screenshot::grab(x.display()), t); }

void WizardWindowTest::sees_steps(const std::vector<std::string>& steps, int current) {
  for (std::size_t i = 0; i < steps.size(); ++i)
    EXPECT_TRUE(sees({wizard_view::step(static_cast<int>(i), steps[i], static_cast<int>(i) == current)})) << steps[i];
}

void WizardWindowTest::click(click_point p) {
  EXPECT_TRUE(program_caught_up(x.display())) << "the program read no key in time";
  wizard_view::click(x.display(), p);
}

bool WizardWindowTest::window_framed_by(WindowManager& wm) {
  const unsigned long w = wm.framed_window("Halden", kProgramTimeoutMs);
  if (!w) return false;
  const window_geometry g = geometry_of(x.display(), w);
  set_window_area(g.x, g.y, g.width, g.height);
  return true;
}

void WizardWindowTest::close_by_window_manager() {
  key_down(x.display(), "Alt_L");
  key_tap(x.display(), "F4");
  key_up(x.display(), "Alt_L");
}

void WizardWindowTest::retype_name(const std::string& name) {
  click(clicks::install_name_field);
  key_tap(x.display(), "End");
  for (int i = 0; i < 12; ++i) key_tap(x.display(), "BackSpace");
  wizard_view::type(x.display(), name);
}

void WebWizardWindowTest::SetUp() {
  WizardWindowTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(www.ok());
  server = std::make_unique<TestHttpServer>(www.path());
}

std::vector<std::string> WebWizardWindowTest::through_proxy(std::vector<std::string> args) const {
  args.push_back("--pref:_proxy_host=127.0.0.1");
  args.push_back("--pref:_proxy_port_int=" + std::to_string(server->port()));
  return args;
}

void WebWizardWindowTest::serve_slowly(const std::string& path, long long bytes, int delay_ms) {
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = bytes;
  slow.delay_ms = delay_ms;
  server->set_fault(path, slow);
}
