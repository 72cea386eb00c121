// The web update as a user clicks through it: the installer program on a
// private X server, the update servers on 127.0.0.1 reached through the
// proxy preferences, input through XTEST, the screens read off the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/installer_run.h"
#include "support/release_builder.h"
#include "support/screen_text.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wizard_view.h"
#include "support/wizard_window.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "files/socket.h"
#include "sample/sample_release.h"
#include "runtime/xtim.h"
#include "ui/font.h"
#include "window/mnw.h"
#include "window/subwindows.h"
#include "wizard/disk_space.h"
#include "wizard/layout.h"

namespace view = wizard_view;

namespace {

constexpr const char* kInstallName = "v910";
const std::vector<std::string> kSteps = {"Welcome",         "Pick Destination", "Search for Updates",
                                         "Check Disk Space", "Install Updates",  "Finish"};

// Where the pen stands after the last line of a text that ends in '/'.
float last_line_end(const std::string& text, float wrap) {
  struct : text_target {
    int select(int, int) override { return 0; }
    void glyph(const quad_corners& q) override { end = q.v[0][0] + 3; }
    float end = 0;
  } r;
  text_string(r, 0, 0, 0, text, wrap, charset_prop, 0, 0, 0);
  return r.end;
}

// Bytes that do not compress, so that an archive is as large as its file.
std::string noise(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// The archive and unpacked sizes (KB) of the current version of each path,
// as the directory file lists them.
struct listed_size {
  float archive_kb = 0, unpacked_kb = 0;
};
std::map<std::string, listed_size> current_sizes(const std::string& directory) {
  std::map<std::string, listed_size> sizes;
  std::istringstream in(directory);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("FILE ", 0) != 0) continue;
    std::istringstream f(line.substr(5));
    std::string platform, os, extra, sig, path;
    listed_size s;
    f >> platform >> os >> extra >> s.archive_kb >> s.unpacked_kb >> sig;
    std::getline(f >> std::ws, path);
    sizes[path] = s;
  }
  return sizes;
}

class WebUpdateWindow : public WebWizardWindowTest {
 protected:
  void publish() {
    std::string error;
    ASSERT_TRUE(builder.publish(www.path(), servers, kInstallName, &error)) << error;
  }

  std::unique_ptr<InstallerRun> start(std::vector<std::string> args = {}) {
    return start_program(through_proxy(std::move(args)));
  }

  // The texts, and the step list with step `current` highlighted (none
  // for -1), all on one screen.
  static std::vector<screen_text> with_steps(std::vector<screen_text> texts, const std::vector<std::string>& steps,
                                             int current) {
    for (std::size_t i = 0; i < steps.size(); ++i)
      texts.push_back(view::step(static_cast<int>(i), steps[i], static_cast<int>(i) == current));
    return texts;
  }

  // A triple click, as people give one by habit, with the pauses of a
  // deliberate click around it; back once the program has read the clicks
  // (and the Shift key given after them).
  void triple_click(click_point p) {
    const auto pause = std::chrono::milliseconds(static_cast<int>(kDoubleClickSeconds * 1000) + 100);
    ASSERT_TRUE(program_caught_up(x.display()));
    FrameWatch frames(x.display(), wait_for_window(x.display(), "Halden", kProgramTimeoutMs));
    std::this_thread::sleep_for(pause);
    click_and_keys_at_once(x.display(), p.x, p.y, {}, 3);
    ASSERT_TRUE(frames.taken([&] { key_tap(x.display(), "Shift_L"); }));
    std::this_thread::sleep_for(pause);
  }

  // Whether two pictures agree within x0..x1, y0..y1.
  static bool same(const Screenshot& a, const Screenshot& b, int x0, int y0, int x1, int y1) {
    for (int py = y0; py <= y1; ++py)
      for (int px = x0; px <= x1; ++px)
        if (!(a.at(px, py) == b.at(px, py))) return false;
    return true;
  }

  // The pictures the screen shows from before `act` until it has settled
  // (300 ms without a change), looked at every few milliseconds; each
  // differs from the one before it where `alike` looks.
  template <class Act, class Alike>
  std::vector<Screenshot> pictures(Act act, Alike alike) {
    std::vector<Screenshot> seen = {Screenshot::grab(x.display())};
    act();
    using clock = std::chrono::steady_clock;
    for (auto last = clock::now(); clock::now() - last < std::chrono::milliseconds(seen.size() > 1 ? 300 : kProgramTimeoutMs);)
      if (Screenshot shot = Screenshot::grab(x.display()); !alike(shot, seen.back())) {
        seen.push_back(std::move(shot));
        last = clock::now();
      }
    return seen;
  }

  std::vector<ReleaseBuilder::Server> servers = {{"s1.example.com", "/corvane/", "s1|Test server one", true}};
  std::string copy = work / "Corvane 9/";
};

}  // namespace

// An older copy brought to the newest release from the welcome screen to
// the finish screen, and the simulator started from there.
TEST_F(WebUpdateWindow, UpdatesAnOlderCopyAndStartsTheSimulator) {
  const std::map<std::string, std::string> older = {
      {"Airfoils/wing.dat", "wing section"},
      {"Instructions/readme.txt", "read me, old"},
      {"Resources/a.txt", "alpha 1"},
      {"Resources/b.txt", "bravo, removed in the new release"},
      {"Global Scenery/+40-080/+45-073.dsf", "tile, old"},
  };
  const std::map<std::string, std::string> newer = {
      {"Airfoils/wing.dat", "wing section"},
      {"Instructions/readme.txt", "read me, new"},
      {"Resources/a.txt", "alpha 2"},
      {"Output/new.txt", "new in the release"},
      {"Resources/zbig.bin", noise(1200 * 1024, 7)},
      {"Global Scenery/+40-080/+45-073.dsf", "tile, new"},
      {"Global Scenery/+50+000/+51+007.dsf", "a tile this copy does not have"},
  };
  builder.add_update(older, newer);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(copy, older));
  ASSERT_EQ(rmdir((copy + "Output").c_str()), 0);
  ASSERT_TRUE(write_file(copy + "output", "the user's notes, not the folder Output"));
  // The simulator: a stub that notes how it was started.
  ASSERT_TRUE(write_file(copy + "Corvane-i686", "#!/bin/sh\n{ echo \"args:$*\"; pwd; } > \"$0.started\"\n"));
  ASSERT_EQ(chmod((copy + "Corvane-i686").c_str(), 0755), 0);
  list_copies({copy});
  // The large archive comes slowly, so the install screen can be watched.
  serve_slowly("/corvane/v910/Halden/Resources/zbig.bin.zip", 64 * 1024, 150);
  // A small file that also takes a while: two streams are then open at
  // once however the machine is loaded.
  serve_slowly("/corvane/v910/Halden/Output/new.txt.zip", 16, 60);

  auto run = start();
  ASSERT_TRUE(wait_for_installer_window(x, kProgramTimeoutMs)) << run->err();

  // Welcome, left with a triple click on Next: one screen on.
  ASSERT_TRUE(sees(with_steps({view::title("Corvane 9 Web Updater"),
                    view::body("I will guide you through the process of updating your copy of Corvane 9 to the "
                               "latest version.")}, kSteps, 0)));
  triple_click(clicks::next);

  // Pick Destination: the one listed copy is chosen already.
  ASSERT_TRUE(sees(with_steps({view::title("Pick Destination"),
                    view::body("Please select which copy of Corvane 9 you would like to update."),
                    view::copy_row(0, copy), view::copy_question(1)}, kSteps, 1)));
  click(clicks::next);

  // Search for updates goes on by itself to the disk-space check.
  const std::map<std::string, listed_size> sizes = current_sizes(builder.directory_text());
  float download_kb = 0, install_kb = 0;
  for (const char* path : {"Instructions/readme.txt", "Resources/a.txt", "Output/new.txt", "Resources/zbig.bin",
                           "Global Scenery/+40-080/+45-073.dsf"}) {
    download_kb += sizes.at(path).archive_kb;
    install_kb += sizes.at(path).unpacked_kb;
  }
  struct statvfs disk;
  ASSERT_EQ(statvfs(work.path().c_str(), &disk), 0);
  const float disk_kb = static_cast<float>(static_cast<unsigned long long>(disk.f_frsize) * disk.f_blocks / 1000);
  ASSERT_TRUE(sees(with_steps({view::title("Check Disk Space"),
                    view::body("You are about to download " + size_string(download_kb) +
                               " of compressed data to update to v910."),
                    view::disk_line(0, "Disk size: " + size_string(disk_kb)),
                    view::disk_line(2, "Disk space needed to install: " + size_string(install_kb) + "."),
                    view::disk_line(4, "You have enough free disk space to update Corvane 9"),
                    view::server(0, 1, "Test server one")}, kSteps, 3)));
  click(clicks::next);

  // Installing: the large file in hand while the others are done.
  ASSERT_TRUE(sees(with_steps({view::title("Installing"),
                    view::caption("Downloading and installing zbig.bin.zip, currently ", false)}, kSteps, 4)));

  // Finish.
  ASSERT_TRUE(sees(with_steps({view::title("Finshed Web Update"), view::body("I have finished updating " + copy + "."),
                    view::choice(0, "Fly Corvane Now")}, kSteps, 5)));
  EXPECT_FALSE(shows_now(view::title("Finished Web Update"))) << "the title is spelled as the installer spells it";
  EXPECT_GE(server->most_at_once(), 2) << "the files came over several streams at once";

  // The copy is the new release: changed and new files in, the removed one
  // gone, the unchanged one untouched; the scenery tile it has is brought
  // up to date and the one it has not is left out.
  const std::string other_tile = "Global Scenery/+50+000/+51+007.dsf";
  for (const auto& [path, content] : newer) {
    if (path == other_tile) continue;
    EXPECT_TRUE(read_file(copy + path) == content) << path;
  }
  EXPECT_FALSE(exists_at_all(copy + other_tile));
  EXPECT_EQ(server->count("/corvane/v910/Halden/" + other_tile + ".zip"), 0);
  EXPECT_FALSE(exists_at_all(copy + "Resources/b.txt"));
  EXPECT_EQ(server->count("/corvane/v910/Halden/Airfoils/wing.dat.zip"), 0) << "an unchanged file is not fetched";
  EXPECT_EQ(read_file(copy + "output"), "the user's notes, not the folder Output");
  for (const char* folder : {"Output/FMS plans", "Output/logbooks", "Output/movies", "Output/situations"})
    EXPECT_TRUE(exists_at_all(copy + folder)) << folder;

  // The simulator starts; the installer ends with 1.
  click(clicks::choice(0));
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 1) << run->err();
  ASSERT_TRUE(wait_until([&] { return exists_at_all(copy + "Corvane-i686.started"); }, kProgramTimeoutMs));
  EXPECT_TRUE(wait_until([&] { return read_file(copy + "Corvane-i686.started") == "args:\n" + run->app_folder().substr(0, run->app_folder().size() - 1) + "\n"; }, 5000))
      << read_file(copy + "Corvane-i686.started");
  const std::string log = run->log();
  EXPECT_NE(log.find("Launching: " + copy + "Corvane-i686 with \n"), std::string::npos) << log;
  EXPECT_EQ(log.find("An error occurred while creating new folders."), std::string::npos) << log;
  EXPECT_TRUE(exists_at_all(home / ".corvane/Corvane Installer.prf")) << "an orderly end before the start";

  // A newer release puts a folder where the user keeps a file: the file
  // stays, the rest of the release comes, and the finish tells of problems.
  builder.add("Resources/yours/new.txt", "no place for it");
  builder.add("Instructions/more.txt", "more to read");
  publish();
  ASSERT_TRUE(write_file(copy + "Resources/yours", "the user's own"));
  run = start();
  // Stopped once its first frame is known on the screen, not only seen.
  ASSERT_TRUE(wait_for_installer_window(x, kProgramTimeoutMs) && sees({view::title("Corvane 9 Web Updater")}));
  // Two clicks on Next given while the program is stalled (a busy machine):
  // one screen on, the one its user saw. Then clicks that a tool sends to
  // the window, with no time of their own, a second apart: each acts.
  kill(run->pid(), SIGSTOP);
  view::click(x.display(), clicks::next);
  view::click(x.display(), clicks::next);
  kill(run->pid(), SIGCONT);
  for (const char* title : {"Pick Destination", "Check Disk Space"}) {
    ASSERT_TRUE(sees({view::title(title)}));
    ASSERT_TRUE(program_caught_up(x.display()));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    pointer_to(x.display(), clicks::next.x, clicks::next.y);
    const std::string w = std::to_string(wait_for_window(x.display(), "Halden", kProgramTimeoutMs));
    ASSERT_EQ(std::system(("DISPLAY=" + x.name() + " xdotool click --window " + w + " 1").c_str()), 0);
  }
  ASSERT_TRUE(sees({view::body("There were problems updating Corvane.  You can try this updater again using a "
                               "different server.")}));
  EXPECT_EQ(read_file(copy + "Resources/yours"), "the user's own");
  EXPECT_EQ(read_file(copy + "Instructions/more.txt"), "more to read");
  EXPECT_NE(run->log().find("Did not install " + copy + "Resources/yours/new.txt"), std::string::npos) << run->log();
}

// A file changed by the user brings the question, answered by a click; the
// server the user picked fails and another one is asked, with the page
// saying so; a simulator that cannot be started is reported once, and Back
// and Quit still work.
TEST_F(WebUpdateWindow, AsksAboutAChangedFileAndSwitchesFromAFailingServer) {
  // The copy's files have paths of about 200 characters, which the
  // questions show on two lines, with '_' and descenders on lines that
  // have lines below.
  copy = work / "my_set/";
  while (copy.size() < 185) copy += "jumpy_quays_of_gypsy_pygmy_jigs/";
  // The removed file lies in a scenery folder named in capitals, placed on
  // its line where 6 units a letter would fit that name in the rest of the
  // line and its real width runs 10 or more past the box.
  const std::string scenery = "Custom Scenery/", capitals = "MAMMOTH_MOUNTAIN_WINTER_WONDERLAND/";
  const float wrap = wind_size_of(wind_question)->w - 40;
  std::string pad;
  while (pad.size() < 200) {
    const float pen = last_line_end(copy + pad + scenery, wrap);
    if (pen + 6.0f * 34 <= wrap && pen + OGL_text_width(capitals) >= wrap + 30) break;
    pad.insert(0, pad.empty() ? "x/" : "x");
  }
  ASSERT_LT(pad.size(), 200u);
  const std::string deep = pad + scenery + capitals + "Earth nav data/apt.dat";
  const auto file = [&](char f) { return f == 'd' ? deep : "Resources/" + std::string(1, f) + ".txt"; };
  servers = {{"s1.example.com", "/broken/", "s1|Broken server", false},
             {"s2.example.com", "/corvane/", "s2|Good server", true}};
  builder.add_update({{"Resources/a.txt", "alpha 1"}, {"Resources/b.txt", "bravo 1"}, {"Resources/c.txt", "charlie 1"},
                      {deep, "delta 1"}, {"Resources/keep.txt", "kept"}},
                     {{"Resources/a.txt", "alpha 2"}, {"Resources/b.txt", "bravo 2"}, {"Resources/c.txt", "charlie 2"},
                      {"Resources/keep.txt", "kept"}});
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(copy, {{"Resources/a.txt", "alpha, changed by the user"},
                                             {"Resources/b.txt", "bravo, changed by the user"},
                                             {"Resources/c.txt", "charlie, changed by the user"},
                                             {deep, "delta, changed by the user"},
                                             {"Resources/keep.txt", "kept"}}));
  float grown = 0;
  const auto question = [&](char f, bool is_delete) {
    return view::changed_file_question(copy + file(f), is_delete, &grown);
  };
  question('a', false);
  ASSERT_GT(grown, 0) << "the path takes one line";
  list_copies({copy});
  // The good server sends slowly, so the failure text stays up meanwhile.
  serve_slowly("/corvane/v910/Halden/Resources/a.txt.zip", 16, 120);

  auto run = start();
  ASSERT_TRUE(sees({view::title("Corvane 9 Web Updater")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Pick Destination")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Check Disk Space"), view::server(0, 2, "Broken server"),
                    view::server(1, 2, "Good server")}));
  // The user picks the first server, which has no files. Next, and a
  // click where the question's "overwrite" comes, are given while the
  // program is stalled: the question comes up, and only a click given on
  // it answers it.
  click(clicks::server_radio(0, 2));
  kill(run->pid(), SIGSTOP);
  view::click(x.display(), clicks::next);
  view::click(x.display(), clicks::changed_overwrite(grown));
  kill(run->pid(), SIGCONT);

  // The questions about the changed files: the first answered by a triple
  // click on "overwrite", whose later clicks answer nothing; the others are
  // asked, and kept, the removed file's with the delete question. Each
  // shows its three texts one below the other in a box grown to hold them.
  for (const std::string name : {"alpha", "bravo", "charlie", "delta"}) {
    const bool removed = name == "delta";
    ASSERT_TRUE(run->wait_for_log("File: " + copy + file(name[0]) + "  sig_want=" +
                                  (removed ? "GONE" : ReleaseBuilder::md5_of(name + " 2")) + "  sig_have=" +
                                  ReleaseBuilder::md5_of(name + ", changed by the user"), kProgramTimeoutMs)) << run->log();
    const std::vector<screen_text> texts = question(name[0], removed);
    ASSERT_TRUE(view::wait_for_box(x.display(), wind_question, kProgramTimeoutMs, grown));
    EXPECT_TRUE(sees(texts));
    if (name != "bravo") {
      name == "alpha" ? triple_click(clicks::changed_overwrite(grown)) : click(clicks::changed_keep(grown));
      continue;
    }
    // "keep" pressed: every picture until the next question is up shows the
    // other four buttons, the pressed look over the whole box.
    ASSERT_TRUE(program_caught_up(x.display()));
    const Screenshot before = Screenshot::grab(x.display());
    pointer_to(x.display(), clicks::changed_keep(grown).x, clicks::changed_keep(grown).y);
    const auto seen = pictures([&] { button_down(x.display()); },
                               [](const Screenshot& a, const Screenshot& b) { return same(a, b, 0, 0, 799, 599); });
    button_up(x.display());
    for (const Screenshot& shot : seen)
      for (const click_point b : {clicks::changed_overwrite(grown), clicks::changed_overwrite_all(grown),
                                  clicks::changed_keep_all(grown), clicks::changed_cancel(grown)})
        EXPECT_TRUE(same(shot, before, b.x - 30, b.y - 6, b.x + 30, b.y + 6)) << "a button missing";
  }

  // The text names the file as it is now asked for, from the other server,
  // whose radio button is now the one on.
  EXPECT_TRUE(sees({view::title("Installing"),
                    view::body("I can not download the file '/corvane/v910/Halden/Resources/a.txt.zip'.\n\nYour "
                               "internet connection may not be working, or the server could be undergoing "
                               "maintainance or an upgrade right now.\n\nI am trying another server now to see if I "
                               "can still get you a download...")}));
  ASSERT_TRUE(sees({view::title("Finshed Web Update"), view::body("I have finished updating " + copy + "."),
                    view::choice(0, "Fly Corvane Now")}));
  EXPECT_EQ(read_file(copy + "Resources/a.txt"), "alpha 2");
  EXPECT_EQ(read_file(copy + "Resources/b.txt"), "bravo, changed by the user");
  EXPECT_EQ(read_file(copy + "Resources/c.txt"), "charlie, changed by the user");
  EXPECT_EQ(read_file(copy + deep), "delta, changed by the user");
  EXPECT_EQ(server->count("/broken/v910/Halden/Resources/a.txt.zip"), 1);
  EXPECT_EQ(server->count("/corvane/v910/Halden/Resources/a.txt.zip"), 1);
  EXPECT_EQ(server->count("/corvane/v910/Halden/Resources/keep.txt.zip"), 0);

  // This copy has no simulator: the start fails, once, with an alert.
  click(clicks::choice(0));
  ASSERT_TRUE(sees({view::alert_line(0, "I could not start Corvane."),
                    view::alert_line(1, copy + "Corvane-i686")}));
  click(clicks::alert_ok());
  ASSERT_TRUE(run->wait_for_log("\nI could not start Corvane.\n" + copy + "Corvane-i686\n", kProgramTimeoutMs))
      << run->log();
  // Back leads to the finish screen again; Quit ends in order.
  click(clicks::back);
  ASSERT_TRUE(sees({view::title("Finshed Web Update")}));
  const std::string log = run->log();
  EXPECT_EQ(occurrences(log, "Launching: "), 1) << "one start for one visit";
  click(clicks::next_as_quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
}

// With "-path" the copy is not chosen: the step list has no such step.
// Back during the scan stops it and the directory is read afresh; the sizes
// come out as before (the table is replaced, not added to). Quit during a
// scan stops it and the program ends in order.
TEST_F(WebUpdateWindow, PathOptionSkipsTheChoiceAndBackDuringTheScanStartsAfresh) {
  builder.add_update({{"Resources/a.txt", "alpha 1"}, {"Resources/huge.dat", "small in the release"}},
                     {{"Resources/a.txt", "alpha 2"}, {"Resources/huge.dat", "small in the release"}});
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(copy, {{"Resources/a.txt", "alpha 1"}}));
  // A large file (sparse: it takes no room) keeps the scan busy for a
  // second or two; the sanitizers' builds read it several times slower.
#if defined(__SANITIZE_THREAD__)
  constexpr long long kHugeBytes = 64LL << 20;
#elif defined(__SANITIZE_ADDRESS__)
  constexpr long long kHugeBytes = 256LL << 20;
#else
  constexpr long long kHugeBytes = 1LL << 30;
#endif
  const std::string huge = copy + "Resources/huge.dat";
  ASSERT_TRUE(write_file(huge, ""));
  ASSERT_EQ(truncate(huge.c_str(), kHugeBytes), 0);

  // The folder is given without its final "/".
  auto run = start({"-path", copy.substr(0, copy.size() - 1)});
  const std::vector<std::string> steps = {"Welcome", "Search for Updates", "Check Disk Space", "Install Updates",
                                          "Finish"};
  ASSERT_TRUE(sees(with_steps({view::title("Corvane 9 Web Updater")}, steps, 0)));
  EXPECT_FALSE(shows_now(view::step(1, "Pick Destination", false)));
  click(clicks::next);

  const screen_text scanning = view::body("I am scanning " + copy + " to see what files need updating.");
  ASSERT_TRUE(sees(with_steps({view::title("Search for Updates"), scanning}, steps, 1)));
  click(clicks::back);
  // Pick Destination is not a step of this flow: no step is lit.
  ASSERT_TRUE(sees(with_steps({view::title("Pick Destination"), view::copy_question(0)}, steps, -1)));
  click(clicks::next);

  ASSERT_TRUE(sees({view::title("Search for Updates"), scanning}));
  const std::map<std::string, listed_size> sizes = current_sizes(builder.directory_text());
  const float download_kb = sizes.at("Resources/a.txt").archive_kb + sizes.at("Resources/huge.dat").archive_kb;
  // The scan of the large file is work that a busy machine serves slowly
  // (its threads run at a lower priority than other programs'): it is
  // given longer than a screen that only has to be drawn.
  ASSERT_TRUE(sees({view::title("Check Disk Space"),
                    view::body("You are about to download " + size_string(download_kb) +
                               " of compressed data to update to v910.")},
                   3 * kProgramTimeoutMs));

  // Back to the search, and Quit while it scans.
  click(clicks::back);
  ASSERT_TRUE(sees({view::title("Search for Updates"), scanning}));
  click(clicks::quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
  const std::string log = run->log();
  EXPECT_EQ(occurrences(log, " Start of MD5 at "), 3) << log;
  EXPECT_EQ(server->count("/serverlist9.txt"), 1) << "the list and the directory are fetched once";
  EXPECT_EQ(server->count("/corvane/v910/directory.txt.zip"), 1);
  EXPECT_NE(log.find("\nClean exit from threads.\n"), std::string::npos) << log;
}

// Several installed copies: none is chosen until the user picks one; "Find
// It" refuses a folder that holds no copy and takes the copy above a folder
// inside one, adding it to the list; the update then works on that copy.
// A release that only removes a file, or only empties one (0 KB to
// install), is carried out; a copy with neither is up to date. A copy
// whose folder takes three lines is listed without covering the next row.
TEST_F(WebUpdateWindow, ChoosesAmongCopiesAndFindsOneThatIsNotListed) {
  const std::map<std::string, std::string> release = {{"Resources/a.txt", "same"}, {"Resources/empty.txt", ""}};
  builder.add_update({{"Resources/a.txt", "same"}, {"Resources/empty.txt", "emptied by the release"},
                      {"Resources/gone.txt", "removed by the release"}},
                     release);
  publish();
  const std::string first = work / "First copy/", second = work / "Second copy/", third = work / "Third copy/";
  ASSERT_TRUE(ReleaseBuilder::install(first, release));
  ASSERT_TRUE(ReleaseBuilder::install(second, {{"Resources/a.txt", "same"}, {"Resources/empty.txt", "emptied by the release"}}));
  ASSERT_TRUE(ReleaseBuilder::install(third, {{"Resources/a.txt", "same"}, {"Resources/empty.txt", ""},
                                              {"Resources/gone.txt", "removed by the release"}}));
  ASSERT_TRUE(write_file(work / "Not a copy/note.txt", "no copy here"));
  // A listed folder that is gone is not offered.
  list_copies({first, work / "Gone copy/", second});

  auto run = start();
  ASSERT_TRUE(sees({view::title("Corvane 9 Web Updater")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Pick Destination"),
                    view::body("You have more than one copy of Corvane 9 installed on this computer.  Please select "
                               "which copy of Corvane 9 you would like to update."),
                    view::copy_row(0, first), view::copy_row(1, second), view::copy_question(2)}));
  // Nothing chosen: Next does nothing.
  click(clicks::next);
  click(clicks::copy_row(1));
  ASSERT_TRUE(sees({view::title("Pick Destination")}));

  // "Find It" on a folder without a copy: the alert, and the choice stays.
  const auto find = [&](const std::string& type_ahead, const std::string& then) {
    click(clicks::find_it(2));
    ASSERT_TRUE(view::wait_for_box(x.display(), wind_file_dialog, kProgramTimeoutMs));
    // From the chosen copy up to the folder of the copies, then into the
    // folder picked by its first letters.
    click(clicks::chooser_path_bar());
    click(clicks::chooser_path_level(0, 1));
    key_tap(x.display(), "Tab");
    view::type(x.display(), type_ahead);
    if (!then.empty()) {
      key_tap(x.display(), "Return");
      view::type(x.display(), then);
    }
    click(clicks::chooser_select());
  };
  find("No", "");
  ASSERT_TRUE(sees({view::alert_line(0, "You selected the folder path:"),
                    view::alert_line(1, work / "Not a copy/"),
                    view::alert_line(2, "But it does not appear to be an installed copy of Corvane 9."),
                    view::alert_line(3, "Please be sure to select the folder that contains the Corvane application.")}));
  click(clicks::alert_ok());
  ASSERT_TRUE(sees({view::copy_row(1, second), view::copy_question(2)}));

  // A folder inside the third copy: the copy itself is found and listed.
  find("Th", "Re");
  ASSERT_TRUE(sees({view::copy_row(2, third), view::copy_question(3)}));
  EXPECT_EQ(read_file(home / ".corvane/corvane_install.txt"),
            first + "\n" + work / "Gone copy/" + "\n" + second + "\n" + third + "\n");

  // The update works on the copy found, whose only change is a removal.
  const auto update_to_end = [&](InstallerRun& program, const std::string& folder) {
    click(clicks::next);
    ASSERT_TRUE(sees({view::title("Check Disk Space"),
                      view::disk_line(2, "Disk space needed to install: 0 KB.")}));
    click(clicks::next);
    ASSERT_TRUE(sees({view::title("Finshed Web Update"), view::body("I have finished updating " + folder + ".")}));
    click(clicks::next_as_quit);
    EXPECT_EQ(program.wait_exit(kProgramTimeoutMs), 0) << program.err();
    for (const auto& [path, content] : release) EXPECT_EQ(read_file(folder + path), content) << folder << path;
    EXPECT_FALSE(exists_at_all(folder + "Resources/gone.txt"));
  };
  update_to_end(*run, third);

  // Run again on each of the two other copies, picked among the three.
  const auto pick = [&](int row) {
    auto again = start();
    EXPECT_TRUE(sees({view::title("Corvane 9 Web Updater")}));
    click(clicks::next);
    EXPECT_TRUE(sees({view::copy_row(row, row == 0 ? first : second), view::copy_question(3)}));
    click(clicks::copy_row(row));
    return again;
  };
  // The second copy's only change is a file that becomes empty.
  run = pick(1);
  update_to_end(*run, second);
  // The first has neither.
  run = pick(0);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finshed Web Update"),
                    view::body("This copy of Corvane (" + first + ") is already up to date."),
                    view::choice(0, "Fly Corvane Now")}));
  click(clicks::next_as_quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();

  // A copy whose folder takes three lines stands three lines tall: every
  // row is read whole inside the panel, and the row below it picks its own
  // copy.
  std::string far = work / "Kept";
  while (OGL_text_lines(far + "/", kPickTextWrap) < 3) far += "/Corvane copies of the flying club";
  far += "/";
  ASSERT_EQ(OGL_text_lines(far, kPickTextWrap), 3);
  ASSERT_TRUE(ReleaseBuilder::install(far, release));
  const std::vector<std::string> listed = {first, far, second, third};
  list_copies(listed);
  run = start();
  ASSERT_TRUE(sees({view::title("Corvane 9 Web Updater")}));
  click(clicks::next);
  ASSERT_TRUE(sees(view::copy_list(listed)));
  click(clicks::copy_row(listed, 2));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finshed Web Update"),
                    view::body("This copy of Corvane (" + second + ") is already up to date.")}));
  click(clicks::next_as_quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
  EXPECT_EQ(server->count("/corvane/v910/Halden/Resources/empty.txt.zip"), 1);
}

// The options window opened from the welcome screen, edited by clicks and
// typing, closed with Return; its values act at once and are saved at the
// orderly end.
TEST_F(WebUpdateWindow, OptionsAreEditedAndSavedAtExit) {
  auto run = start_program({});
  ASSERT_TRUE(sees({view::title("Corvane 9 Web Updater")}));
  click(clicks::options);
  ASSERT_TRUE(view::wait_for_box(x.display(), wind_prefs, kProgramTimeoutMs));

  click(clicks::options_log_box());
  click(clicks::options_beta_box());
  click(clicks::options_manual_streams_box());
  click(clicks::options_streams_up());
  // The operating system: Windows, chosen from the list's pop-up.
  click(clicks::options_os_list());
  click(clicks::options_os_item(1, 2));
  // The host field has the keyboard from the start.
  view::type(x.display(), "proxy");
  // The port field clicked and typed into at once, as a quick user does on
  // a slow machine: the keys go to the field the click chose, not to the
  // one that had the keyboard before it.
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  const click_point port = clicks::options_proxy_port();
  click_and_keys_at_once(x.display(), port.x, port.y, {"8", "0", "x"});
  ASSERT_TRUE(run->wait_for_log("The proxy port \"80x\" is not a number from 1 to 65535: downloads go without the proxy.",
                                kProgramTimeoutMs))
      << run->log();
  screen_text os = view::title("Windows");
  const click_point o_prefs = clicks::box_origin(wind_prefs);
  os.x = 200;
  os.y = 310;
  os.wrap = 9999;
  os.colour = 38;
  os.whole = false;  // white on the list's bar, whose ends are light
  os.ox = static_cast<float>(o_prefs.x);
  os.oy = static_cast<float>(o_prefs.y);
  EXPECT_TRUE(sees({os}));

  // The port mended, Shift-Tab back to the host, its whole name and Return,
  // given at once as a pasted line reaches a slow program: each key lands
  // in its field before the next field or Return takes the keyboard.
  // Return closes the box. Looked at every few milliseconds until it has
  // settled, the screen around the box (600 x 380 at 100, 110) shows the
  // box's frame, then the complete screen below it, and nothing between.
  auto same_around_box = [](const Screenshot& a, const Screenshot& b) {
    for (int py = 0; py < 600; ++py)
      for (int px = 0; px < 800; ++px)
        if ((px < 100 || px >= 700 || py < 110 || py >= 490) && !(a.at(px, py) == b.at(px, py))) return false;
    return true;
  };
  std::vector<std::string> burst = {"BackSpace", "8", "0", "Shift+Tab"};
  for (char c : std::string("proxy.example.net")) burst.push_back(c == '.' ? "period" : std::string(1, c));
  burst.push_back("Return");
  const auto seen = pictures([&] { click_and_keys_at_once(x.display(), 0, 0, burst, 0); }, same_around_box);

  // Back on the welcome screen, which now notes the betas.
  screen_text note = view::step(6, "You have chosen to download Corvane 9 betas.  If you do not want this, choose "
                                   "options and uncheck the beta option.", false);
  note.wrap = 160;
  note.colour = 69;
  ASSERT_TRUE(sees({view::title("Corvane 9 Web Updater"), note}));
  EXPECT_EQ(seen.size(), 2u) << "the box, then the screen below it";
  EXPECT_TRUE(same_around_box(seen.back(), Screenshot::grab(x.display())));
  click(clicks::quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
  const std::string saved = read_file(home / ".corvane/Corvane Installer.prf");
  EXPECT_EQ(saved,
            "I\n9002 version\n_stream_count 2\n_log_actions 1\n_proxy_host proxy.example.net\n_proxy_port 8080\n"
            "_proxy_port_int 8080\n_get_beta 1\n_lang 0\n");
}

// The README's sample run, started as "scripts/run.sh --sample" starts it:
// the sample program given the installer's path (here a copy of the
// installer of the test's own, so that the installer's log stays in the
// test's folder). The web update of the sample's older copy is clicked
// through and the question about the file its user changed answered with
// "overwrite": the copy then holds the sample release. The simulator started
// from the finish screen outlives the installer; when the sample program is
// told to end, the simulator and the sample folder go with it.
TEST_F(WebUpdateWindow, TheSampleRunBringsItsOlderCopyToTheSampleRelease) {
  namespace fs = std::filesystem;
  const std::string installer = work / "build/corvane_installer";
  std::error_code ec;
  fs::create_directories(work / "build", ec);
  fs::create_hard_link(CORVANE_INSTALLER_EXE, installer, ec);
  if (ec) {
    ASSERT_TRUE(fs::copy_file(CORVANE_INSTALLER_EXE, installer, ec)) << ec.message();
  }
  InstallerRun::Options options;
  options.executable = CORVANE_SAMPLE_EXE;
  options.args = {"--installer", installer};
  InstallerRun run(&x, options);
  ASSERT_TRUE(run.started());
  // However the test ends, the sample program is told to end as a user ends
  // it, so that it ends the installer and removes its folders rather than
  // being killed.
  struct EndsTheSample {
    InstallerRun& run;
    ~EndsTheSample() {
      if (run.running()) stop_child(run.pid(), kProgramTimeoutMs);
    }
  } ends_the_sample{run};

  // The sample names its folder and the older copy in it.
  const auto named = [&](const std::string& label) {
    const std::string out = "\n" + run.out();
    const std::size_t at = out.find("\n" + label);
    const std::size_t end = at == std::string::npos ? at : out.find('\n', at + 1);
    if (end == std::string::npos) return std::string();
    const std::size_t start = out.find_first_not_of(' ', at + 1 + label.size());
    return start < end ? out.substr(start, end - start) : std::string();
  };
  std::string folder, copy;
  wait_until(
      [&] {
        folder = named("Sample folder:");
        copy = named("Older copy:");
        return !copy.empty() || !run.running();
      },
      // Making the sample release is work that a busy machine serves slowly.
      3 * kProgramTimeoutMs);
  ASSERT_FALSE(copy.empty()) << run.out() << run.err();
  ASSERT_EQ(copy.rfind(folder, 0), 0u) << copy;
  // The sample's servers have names that no name server knows, so that
  // without the proxy nothing goes to a real host.
  std::vector<std::string> hosts;
  std::istringstream list(read_file(folder + "www/serverlist9.txt"));
  for (std::string line; std::getline(list, line);)
    if (line.rfind("SERVER ", 0) == 0) hosts.push_back(line.substr(7));
  EXPECT_EQ(hosts.size(), 2u);
  for (const std::string& host : hosts) EXPECT_TRUE(PCSBSocket::IsReservedInvalid(host.c_str())) << host;

  ASSERT_TRUE(sees(with_steps({view::title("Corvane 9 Web Updater")},
                              {"Welcome", "Search for Updates", "Check Disk Space", "Install Updates", "Finish"}, 0)));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Check Disk Space"), view::server(0, 2, "Sample server one"),
                    view::server(1, 2, "Sample server two")}));
  click(clicks::next);
  ASSERT_TRUE(view::wait_for_box(x.display(), wind_question, kProgramTimeoutMs));
  click(clicks::changed_overwrite());
  ASSERT_TRUE(sees({view::title("Finshed Web Update"), view::body("I have finished updating " + copy + ".")}));

  // Every file of the release but the scenery of tiles the copy did not
  // have, and nothing else: the removed file is gone.
  const sample::Release& release = sample::release();
  std::map<std::string, std::string> expected;
  for (const auto& [path, content] : release.current)
    if (path.rfind("Global Scenery/", 0) != 0 || release.older_copy.count(path)) expected[path] = content;
  std::map<std::string, std::string> found;
  for (fs::recursive_directory_iterator it(copy, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) found[fs::relative(it->path(), copy).string()] = read_file(it->path().string());
  EXPECT_FALSE(ec) << ec.message();
  std::vector<std::string> wrong;
  for (const auto& [path, content] : expected) {
    const auto f = found.find(path);
    if (f == found.end()) wrong.push_back("missing: " + path);
    else if (f->second != content) wrong.push_back("differs: " + path);
  }
  for (const auto& [path, content] : found)
    if (!expected.count(path)) wrong.push_back("not in the release: " + path);
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " files, the first " << (wrong.empty() ? "" : wrong.front());
  EXPECT_GT(expected.size(), 200u);

  // The simulator, here a stand-in that stays until it is ended, starts from
  // the finish screen and the installer ends; the sample program, now the
  // simulator's parent, waits for it. Told to end, it ends the simulator
  // before its folder goes.
  const std::string simulator = copy + "Corvane-i686";
  ASSERT_TRUE(write_file(simulator, "#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 600\n"));
  ASSERT_EQ(chmod(simulator.c_str(), 0755), 0);
  click(clicks::choice(0));
  long simulator_pid = 0;
  const auto parent_of = [](long pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t name_end = stat.rfind(')');
    return name_end == std::string::npos ? 0L : std::atol(stat.c_str() + name_end + 4);
  };
  ASSERT_TRUE(wait_until(
      [&] {
        simulator_pid = std::atol(read_file(simulator + ".pid").c_str());
        return (simulator_pid > 0 && parent_of(simulator_pid) == run.pid()) || !run.running();
      },
      kProgramTimeoutMs));
  ASSERT_TRUE(run.running()) << run.out() << run.err();
  EXPECT_TRUE(exists_at_all(folder)) << "the sample folder stays while the simulator runs";
  kill(run.pid(), SIGTERM);
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 128 + SIGTERM) << run.out() << run.err();
  const bool simulator_gone = kill(static_cast<pid_t>(simulator_pid), 0) != 0 && errno == ESRCH;
  EXPECT_TRUE(simulator_gone) << "the simulator goes with the sample program";
  if (!simulator_gone) kill(static_cast<pid_t>(simulator_pid), SIGKILL);
  EXPECT_FALSE(exists_at_all(folder)) << "the sample folder goes with the sample program";
  EXPECT_NE(run.out().find("\nThe sample folder " + folder + " is removed.\n"), std::string::npos) << run.out();
}
