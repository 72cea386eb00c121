// The web demo install as a user clicks through it: the installer program
// started with "--demo" on a private X server, the update servers on
// 127.0.0.1 reached through the proxy preferences, input through XTEST, the
// screens read off the screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
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
#include "support/wizard_view.h"
#include "support/window_manager.h"
#include "support/wizard_window.h"
#include "support/x_input.h"
#include "support/x_server.h"

namespace view = wizard_view;

namespace {

// The release's name; with an underscore, which the name field must show
// whole.
const std::string kInstallName = "v9_10";
const std::vector<std::string> kSteps = {"Welcome",          "License", "Check Servers",
                                         "Pick Destination", "Install", "Finish"};
const std::string kServerPath = "/corvane/" + kInstallName + "/";

// The demo: 606 KB of files for Linux (the stub simulator among them), a
// file for another system and one that the release removed.
const std::string kSimulator = "#!/bin/sh\n{ echo \"args:$*\"; pwd; } > \"$0.started\"\n";
std::map<std::string, std::string> demo_files() {
  return {
      {"Airfoils/wing.dat", "wing section"},
      {"Instructions/readme.txt", "read me"},
      {"Resources/a.txt", "alpha"},
      {"Resources/zbig.bin", std::string(600 * 1024, 'z')},
      {"Global Scenery/+40-080/+45-073.dsf", std::string(2048, 's')},
      {"Corvane-i686", kSimulator},
  };
}

// Every plain file under folder, by its path below it.
std::map<std::string, std::string> files_under(const std::string& folder) {
  std::map<std::string, std::string> found;
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) found[fs::relative(it->path(), folder).string()] = read_file(it->path().string());
  return found;
}

class DemoWindow : public WebWizardWindowTest {
 protected:
  using WebWizardWindowTest::WebWizardWindowTest;
  void SetUp() override {
    WebWizardWindowTest::SetUp();
    ASSERT_TRUE(std::filesystem::create_directories(me));
  }
  std::unique_ptr<InstallerRun> start() { return start_program(through_proxy({"--demo"}), {"HOME=" + me}); }

  // The user's home folder is named in letters beyond ASCII, which the
  // font draws letter by letter: é and ñ from their own cells, ü and ç as
  // u and c.
  const std::string me = home / "\xC3\xA9t\xC3\xA9_\xC3\xBC" "ber_fa\xC3\xA7" "ade_ni\xC3\xB1o/";
  const std::string me_drawn = home / "\xE9t\xE9_uber_facade_ni\xF1o/";

  // The question whether to cancel the running install.
  void sees_cancel_question() {
    ASSERT_TRUE(sees({view::question("Are you sure you want to cancel the installation?  This will delete the "
                                     "partially installed copy of the Corvane 9 demo."),
                      view::question_explain(0, "the demo installation and delete partial installation."),
                      view::question_explain(1, "the demo installation process.")}));
  }
  // Back on the running install brings it.
  void back_to_question() {
    click(clicks::back);
    sees_cancel_question();
  }
  std::string will_create(const std::string& name) {
    return "I will create the folder '" + name + "' in the directory '" + me_drawn + "'.\n\n(The folder " + name +
           " will appear on your desktop.)";
  }
};

}  // namespace

// From the demo's welcome to its finish: the warning about an installed
// copy, the licence, the server check, the name rules of the picker, the
// install left by Back and resumed with "Continue", cancelled with the
// question closed and with its button (each time only its new folder
// deleted), then installed to the end; the folder holds exactly the demo,
// is not listed as an installed copy, and the demo starts from the finish.
TEST_F(DemoWindow, InstallsTheDemoIntoANewFolderAndStartsIt) {
  for (const auto& [path, content] : demo_files()) {
    if (path == "Corvane-i686")
      builder.add_program(path, content);
    else
      builder.add(path, content);
    if (path == "Instructions/readme.txt") {
      builder.add("Resources/mac only.txt", "not for this system", 1);
      builder.add("Resources/old.txt", "removed by the release");
      builder.add_gone("Resources/old.txt");
    }
  }
  std::string error;
  ASSERT_TRUE(builder.publish(www.path(), {{"s1.example.com", "/corvane/", "s1|Test server one", true}}, kInstallName,
                              &error))
      << error;
  ASSERT_TRUE(write_file(me + "Taken/note.txt", "a folder of the user's"));
  // The directory comes slowly, so that the check can be watched; the large
  // file stalls, so that the install is still going when the user acts.
  serve_slowly(kServerPath + "directory.txt.zip", 64, 400);
  TestHttpServer::FaultSpec stall;
  stall.fault = TestHttpServer::Fault::stall;
  stall.bytes = 10;
  server->set_fault(kServerPath + "Halden/Resources/zbig.bin.zip", stall);

  const std::string copy = work / "Corvane 9/";
  ASSERT_TRUE(ReleaseBuilder::install(copy, {{"Resources/a.txt", "alpha"}}));
  const std::string listed = copy + "\n";
  ASSERT_TRUE(write_file(me + ".corvane/corvane_install.txt", listed));
  // Another installer holds the list's lock (stopped, say): this one starts all the same.
  const int held = open((me + ".corvane/corvane_install.txt.lock").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  auto run = start();
  ASSERT_TRUE(sees({view::title("Welcome"),
                    view::body("I will guide you through the process of installing the web demo of Corvane 9.\n\n"
                               "Warning: you already have Corvane 9 installed on this computer.  Are you sure you "
                               "want to install a new demo copy of Corvane 9?")}));
  close(held);
  sees_steps(kSteps, 0);
  click(clicks::next);
  const screen_text licence = view::title("End User License Agreement (EULA)");
  ASSERT_TRUE(sees({licence}));
  click(clicks::next);  // greyed until the agreement is accepted
  click(clicks::licence_box);
  click(clicks::next);

  ASSERT_TRUE(sees({view::title("Check Servers"), view::body("I am downloading demo info from s1.example.com"),
                    view::caption("I am checking the net for the latest version of Corvane 9 right now, and I am ",
                                  false)}));
  sees_steps(kSteps, 2);

  // The picker: the home folder (also the desktop) and the release's name.
  const screen_text picker = view::title("Pick Install Destination.");
  const screen_text defaults = view::body(will_create(kInstallName + " Demo"));
  const screen_text space_line = view::disk_line(2, "Disk space needed to install: 606 KB.");
  ASSERT_TRUE(sees({picker, defaults, space_line,
                    view::disk_line(4, "You have enough free disk space to install the Corvane9  demo at this location."),
                    view::install_name(kInstallName + " Demo")}));
  sees_steps(kSteps, 3);
  // Back to the licence and on again: still accepted, and the directory is
  // read again without a fetch.
  click(clicks::back);
  ASSERT_TRUE(sees({licence}));
  click(clicks::next);
  ASSERT_TRUE(sees({picker, defaults, space_line}));

  // A name far longer than its field shows its end while it is typed, and
  // its start after Home; at 255 bytes it is promised, one more is refused
  // before Next; emptied again for the rules below.
  std::string name;
  std::vector<std::string> keys = {"End", "Shift+Home"};
  for (int i = 0; i < 255; ++i) name += keys.emplace_back(1, static_cast<char>('a' + i % 26));
  click(clicks::install_name_field);
  click_and_keys_at_once(x.display(), 0, 0, keys, 0);
  screen_text end = view::install_name(name.substr(220)), start = view::install_name(name.substr(0, 30));
  end.x += kInstallNameW, end.align = 2, end.whole = start.whole = false;
  ASSERT_TRUE(sees({end}));
  key_tap(x.display(), "Home");
  ASSERT_TRUE(sees({start, view::body(will_create(name))}));
  click_and_keys_at_once(x.display(), 0, 0, {"End", "a"}, 0);
  ASSERT_TRUE(sees({picker, view::body("Please pick a shorter name: this one is longer than a folder name may be.")}));
  click(clicks::next);
  click(clicks::install_name_field);
  click_and_keys_at_once(x.display(), 0, 0, {"End", "Shift+Home", "BackSpace"}, 0);

  // The name rules: empty, "..", a path, a folder that exists; Next greyed.
  const screen_text ask_name = view::body("Please pick a name for your Corvane 9 installation...");
  for (const char* refused : {"", "..", "a/b"}) {
    retype_name(refused);
    ASSERT_TRUE(sees({picker, ask_name})) << refused;
    click(clicks::next);
  }
  retype_name("Taken");
  ASSERT_TRUE(sees({picker, view::body("The folder 'Taken' already exists in the dir '" + me_drawn +
                                       "'.\n\nPlease change the install name or destination.")}));
  click(clicks::next);
  // The longest name a folder may have is installed into.
  click(clicks::install_name_field);
  click_and_keys_at_once(x.display(), 0, 0, keys, 0);
  ASSERT_TRUE(sees({picker, view::body(will_create(name)), space_line}));
  click(clicks::next);

  // Installing, the large file held up; Back, and "Continue" goes on with
  // the same install.
  const std::string first = me + (name + "/");
  const screen_text installing = view::title("Installing");
  const screen_text big_file = view::caption("Downloading and installing zbig.bin.zip, currently ", false);
  ASSERT_TRUE(sees({installing}));
  sees_steps(kSteps, 4);
  ASSERT_TRUE(wait_until([&] { return exists_at_all(first + "Resources/a.txt"); }, kProgramTimeoutMs));
  back_to_question();
  click(clicks::question_second());
  ASSERT_TRUE(sees({installing, big_file}));

  // The question closed with neither button cancels the install as the
  // button does: the folder it made goes.
  back_to_question();
  key_tap(x.display(), "Return");
  ASSERT_TRUE(sees({picker, view::body(will_create(name)), space_line}));
  EXPECT_FALSE(exists_at_all(first));

  // Another folder, cancelled with the delete button: only it goes.
  click(clicks::install_name_field);
  click_and_keys_at_once(x.display(), 0, 0, {"End", "Shift+Home", "BackSpace"}, 0);
  retype_name("Demo Two");
  ASSERT_TRUE(sees({picker, view::body(will_create("Demo Two"))}));
  click(clicks::next);
  const std::string demo = me + "Demo Two/";
  ASSERT_TRUE(sees({installing}));
  ASSERT_TRUE(wait_until([&] { return exists_at_all(demo + "Resources/a.txt"); }, kProgramTimeoutMs));
  back_to_question();
  click(clicks::question_first());
  ASSERT_TRUE(sees({picker, view::body(will_create("Demo Two")), space_line}));
  EXPECT_FALSE(exists_at_all(demo));
  EXPECT_EQ(read_file(copy + "Resources/a.txt"), "alpha");
  EXPECT_EQ(read_file(me + "Taken/note.txt"), "a folder of the user's");

  // Installed to the end.
  server->clear_faults();
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finshed Web Demo Install"),
                    view::body("I have finished installing the Corvane 9 web demo at: " + demo + "."),
                    view::choice(0, "Fly Corvane 9 Now")}));
  sees_steps(kSteps, 5);
  EXPECT_EQ(files_under(demo), demo_files()) << "exactly the demo's files for this system";
  EXPECT_EQ(read_file(me + ".corvane/corvane_install.txt"), listed) << "the demo is not an installed copy";
  // One fetch of the directory; each file once for each of the three
  // set-ups ("Continue" made none).
  EXPECT_EQ(server->count(kServerPath + "directory.txt.zip"), 1);
  EXPECT_EQ(server->count(kServerPath + "Halden/Resources/a.txt.zip"), 3);
  EXPECT_EQ(server->count(kServerPath + "Halden/Resources/zbig.bin.zip"), 3);
  EXPECT_EQ(server->count(kServerPath + "Halden/Resources/mac only.txt.zip"), 0);

  // The demo starts from its folder; the installer ends with 1.
  click(clicks::choice(0));
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 1) << run->err();
  ASSERT_TRUE(wait_until([&] { return exists_at_all(demo + "Corvane-i686.started"); }, kProgramTimeoutMs));
  const std::string app = run->app_folder();
  EXPECT_TRUE(wait_until([&] { return read_file(demo + "Corvane-i686.started") == "args:\n" + app.substr(0, app.size() - 1) + "\n"; }, 5000))
      << read_file(demo + "Corvane-i686.started");
}

namespace {

// On a screen larger than the window, under a real window manager.
class DemoUnderWindowManager : public DemoWindow {
 protected:
  DemoUnderWindowManager() : DemoWindow(1280, 1024) {}
};

}  // namespace

// Closing the window from its frame during the install is the install's
// Quit: the cancel question comes; "Continue" goes on with the install, and
// the cancel button deletes the folder the install made and ends the program
// in order, with 0 and the preferences written.
TEST_F(DemoUnderWindowManager, ClosingTheWindowDuringTheInstallAsksTheCancelQuestion) {
  builder.add("Resources/a.txt", "alpha");
  builder.add("Resources/zbig.bin", std::string(600 * 1024, 'z'));
  std::string error;
  ASSERT_TRUE(builder.publish(www.path(), {{"s1.example.com", "/corvane/", "s1|Test server one", true}}, kInstallName,
                              &error))
      << error;
  TestHttpServer::FaultSpec stall;
  stall.fault = TestHttpServer::Fault::stall;
  stall.bytes = 10;
  server->set_fault(kServerPath + "Halden/Resources/zbig.bin.zip", stall);

  WindowManager wm(x);
  ASSERT_TRUE(wm.ok());
  auto run = start();
  ASSERT_TRUE(window_framed_by(wm));
  ASSERT_TRUE(sees({view::title("Welcome")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("End User License Agreement (EULA)")}));
  click(clicks::licence_box);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Pick Install Destination.")}));
  click(clicks::next);
  const std::string demo = me + (kInstallName + " Demo/");
  ASSERT_TRUE(sees({view::title("Installing")}));
  ASSERT_TRUE(wait_until([&] { return exists_at_all(demo + "Resources/a.txt"); }, kProgramTimeoutMs));

  close_by_window_manager();
  sees_cancel_question();
  click(clicks::question_second());
  ASSERT_TRUE(sees({view::title("Installing"),
                    view::caption("Downloading and installing zbig.bin.zip, currently ", false)}));
  EXPECT_TRUE(run->running());

  close_by_window_manager();
  sees_cancel_question();
  click(clicks::question_first());
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
  EXPECT_FALSE(exists_at_all(demo)) << "what the install made is deleted";
  EXPECT_TRUE(exists_at_all(me + ".corvane/Corvane Installer.prf")) << "the preferences were written";
}
