// Fixtures of the tests that click through the wizard: the installer
// program on a private X server with a home folder of the test's own, its
// screens read off the screen and clicks given as a user gives them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/click_table.h"
#include "support/http_server.h"
#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/screen_text.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/window_manager.h"
#include "support/x_server.h"

class WizardWindowTest : public ::testing::Test {
 protected:
  WizardWindowTest() = default;
  // A screen of another size than the window's 800 x 600.
  WizardWindowTest(int width, int height) : x(width, height) {}
  void TearDown() override;
  void SetUp() override;

  // The program started as the user starts it, with `args`, HOME the
  // test's home folder (unless env names another) and the "NAME=value"
  // entries of `env`;
  // before_exec as in InstallerRun::Options.
  std::unique_ptr<InstallerRun> start_program(std::vector<std::string> args, std::vector<std::string> env = {},
                                              bool (*before_exec)() = nullptr);

  // Lists these folders as the installed copies.
  void list_copies(const std::vector<std::string>& folders);

  // Waits until the screen shows all the texts; a failure names the first
  // that is missing (and, as every failure, leaves a picture of the screen:
  // failure_shot.cpp).
  bool sees(const std::vector<screen_text>& texts, int timeout_ms = kProgramTimeoutMs);
  // The screen shows the text now.
  bool shows_now(const screen_text& t);
  // Each step of the list, step `current` highlighted (none for -1).
  void sees_steps(const std::vector<std::string>& steps, int current);

  // A click given once the program has put what the screen shows on it
  // (its frame property came back), as a user looks before a click.
  void click(click_point p);
  // Under a window manager: waits until it has framed and focused the
  // program's window, and counts the screen and the pointer from the
  // window's corner from then on. False when that does not happen.
  bool window_framed_by(WindowManager& wm);
  // Alt+F4, the window manager's close.
  void close_by_window_manager();
  // Empties the install name field and types another name into it.
  void retype_name(const std::string& name);

  XServer x;
  TempDir work, home;
  ReleaseBuilder builder{work / "staging/"};
};

// With update servers: www served on 127.0.0.1, reached through the
// program's proxy preferences.
class WebWizardWindowTest : public WizardWindowTest {
 protected:
  using WizardWindowTest::WizardWindowTest;
  void SetUp() override;

  // args followed by the proxy preferences that lead to the server.
  std::vector<std::string> through_proxy(std::vector<std::string> args) const;
  // The server sends path in pieces of `bytes` with delay_ms between them.
  void serve_slowly(const std::string& path, long long bytes, int delay_ms);

  TempDir www;
  std::unique_ptr<TestHttpServer> server;
};
