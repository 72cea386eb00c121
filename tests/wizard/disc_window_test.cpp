// The disc flows as a user clicks through them: the installer program on a
// private X server, a set of two install discs built by the fixtures with
// one "drive" folder (CORVANE_DISC, or mounted where the program searches
// for it) into which the test puts the disc the program asks for, input
// through XTEST, the screens read off the screen.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/installer_run.h"
#include "support/log_capture.h"
#include "support/release_builder.h"
#include "support/screen_text.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wizard_view.h"
#include "support/wizard_window.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "window/mnw.h"

namespace view = wizard_view;

namespace {

constexpr const char* kInstallName = "v910";

const std::vector<std::string> kInstallSteps = {"Welcome",        "Pick Destination", "License",
                                                "Select Scenery", "Install",          "Finish"};

// Scenery tiles of the release: (column, row), the file's path, its size in
// KB (a whole number, so that every choice of tiles needs its own amount)
// and its disc.
struct tile_file {
  int column, row;
  std::string path;
  int kb;
  int disc;
};
const std::vector<tile_file> kTiles = {
    {10, 13, "Global Scenery/+40-080/+45-073.dsf", 1, 0},
    {11, 13, "Global Scenery/+40-070/+45-063.dsf", 2, 0},
    {12, 13, "Global Scenery/+40-060/+45-053.dsf", 4, 1},
    {19, 7, "Global Scenery/-20+010/-15+015.dsf", 8, 1},
};
std::string tile_content(const tile_file& t) { return std::string(static_cast<std::size_t>(t.kb) * 1024, 'a' + t.column % 26); }

// The simulator's own files (1 KB each when unpacked) and their discs.
const std::map<std::string, std::string> kSimFiles = {
    {"Airfoils/wing.dat", "wing section"},
    {"Instructions/readme.txt", "read me"},
    {"Resources/a.txt", "alpha"},
    {"Resources/late.txt", "on the second disc"},
};

std::string needed(int kb) { return "Disk space needed to install: " + std::to_string(kb) + " KB."; }

class DiscWindow : public WizardWindowTest {
 protected:
  // The release of kSimFiles and kTiles, late.txt and two tiles on the
  // second disc.
  void publish_release() {
    // Disc by disc, so that the run asks for each disc once.
    for (int disc = 0; disc < 2; ++disc) {
      for (const auto& [path, content] : kSimFiles)
        if ((path == "Resources/late.txt" ? 1 : 0) == disc) builder.add(path, content, 0, disc);
      for (const tile_file& t : kTiles)
        if (t.disc == disc) builder.add(t.path, tile_content(t), 0, disc);
    }
    publish();
  }
  void publish() {
    std::string error;
    ASSERT_TRUE(builder.publish_discs(work / "discs/", kInstallName, 2, &error)) << error;
  }

  // Puts disc n into the drive, taking out the one in it. The drive is one
  // folder throughout, so that it can also be mounted.
  // The program knows a disc by its description file, which it may look
  // for at any moment: the file goes in last and comes out first, so that
  // the program never sees a disc half put in.
  void insert(int n) {
    eject();
    move_all(ReleaseBuilder::disc_folder(work / "discs/", n), drive, false);
    in_drive = n;
  }
  void eject() {
    mkdir(drive.c_str(), 0755);
    if (in_drive >= 0) move_all(drive, ReleaseBuilder::disc_folder(work / "discs/", in_drive), true);
    in_drive = -1;
  }
  static void move_all(const std::string& from, const std::string& to, bool description_first) {
    namespace fs = std::filesystem;
    const std::string description = "dvd_version.txt";
    const auto move = [&](const std::string& name) {
      ASSERT_EQ(rename((from + name).c_str(), (to + name).c_str()), 0) << from + name;
    };
    const bool has_description = exists_at_all(from + description);
    if (description_first && has_description) move(description);
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(from))
      if (e.path().filename() != description) names.push_back(e.path().filename().string());
    for (const std::string& name : names) move(name);
    if (!description_first && has_description) move(description);
  }
  std::string on_disc(int n, const std::string& path) {
    const std::string folder = in_drive == n ? drive : ReleaseBuilder::disc_folder(work / "discs/", n);
    return folder + kInstallName + "/" + builder.table_path(path);
  }

  std::unique_ptr<InstallerRun> start() { return start_program({"--disc"}, {"CORVANE_DISC=" + drive}); }
  // The program with a mount table of its own in which the drive is
  // mounted: it finds the disc as on a user's machine, by searching.
  // mount_ready is false when the test may not make such a table.
  bool mount_ready() {
    mounted_drive = drive;
    mount_point = work / "media";
    mkdir(drive.c_str(), 0755);
    mkdir(mount_point.c_str(), 0755);
    const pid_t child = fork();
    if (child == 0) _exit(mount_drive() ? 0 : 1);
    int status = 1;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::unique_ptr<InstallerRun> start_mounted() { return start_program({"--disc"}, {}, mount_drive); }
  static bool mount_drive() {
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(mounted_drive.c_str(), mount_point.c_str(), nullptr, MS_BIND, nullptr) == 0;
  }
  static inline std::string mounted_drive, mount_point;

  void stop_question_shown() {
    ASSERT_TRUE(sees({view::question("Are you sure you want to cancel the installation?  This will delete the "
                                     "partially installed copy of Corvane 9."),
                      view::question_explain(0, "the installation and delete partial installation."),
                      view::question_explain(1, "the installation process.")}));
  }

  std::string drive = work / "drive/";
  int in_drive = -1;
};

}  // namespace

// A new copy from the disc welcome to the finish: the destination (a name
// refused, a folder that exists, another parent folder, a name typed), the
// licence, the scenery chosen on the map by clicks, a drag and the two
// buttons, the install over both discs with the switch and a stop question
// answered "Continue"; the copy holds exactly the chosen files and is
// listed, and the welcome then offers the hub. Its run fails (no
// simulator) and Back returns to the hub; a second copy's scenery choice
// scans a huge file frame by frame and Quit ends it.
TEST_F(DiscWindow, InstallsANewCopyFromTwoDiscs) {
  publish_release();
  insert(0);
  ASSERT_TRUE(write_file(home / "Taken/note.txt", "a folder of the user's"));
  ASSERT_TRUE(write_file(home / "Games/note.txt", "the user's games"));
  auto run = start();

  ASSERT_TRUE(sees({view::title("Corvane 9 Installer"),
                    view::body("Welcome to the Corvane 9 Installer.  I will guide you through the proess of "
                               "installing v910.")}));
  sees_steps(kInstallSteps, 0);
  click(clicks::next);

  // The destination: the home folder (also the desktop) and the disc's name.
  const std::string parent = home.path();
  ASSERT_TRUE(sees({view::title("Pick Install Destination."),
                    view::body("I will create the folder 'v910' in the directory '" + parent +
                               "'.\n\n(The folder v910 will appear on your desktop.)"),
                    view::disk_line(2, needed(19)),
                    view::disk_line(4, "You have enough free disk space to install Corvane 9 at this location.")}));
  sees_steps(kInstallSteps, 1);
  const screen_text ask_name = view::body("Please pick a name for your Corvane 9 installation...");
  retype_name("");
  ASSERT_TRUE(sees({ask_name}));
  // A name that would climb out of the parent is no name; Next stays greyed.
  retype_name("x/../..");
  ASSERT_TRUE(sees({ask_name}));
  click(clicks::next);
  retype_name("Taken");
  ASSERT_TRUE(sees({view::title("Pick Install Destination."),
                    view::body("The folder 'Taken' already exists in the dir '" + parent +
                               "'.\n\nPlease change the install name or destination.")}));
  click(clicks::next);
  // Another parent folder, picked in the folder chooser: no desktop note.
  click(clicks::change_destination);
  ASSERT_TRUE(view::wait_for_box(x.display(), wind_file_dialog, kProgramTimeoutMs));
  key_tap(x.display(), "Tab");
  view::type(x.display(), "Ga");
  click(clicks::chooser_select());
  ASSERT_TRUE(sees({view::body("I will create the folder 'Taken' in the directory '" + parent + "Games/'.")}));
  retype_name("My Corvane");
  const std::string copy = parent + "Games/My Corvane/";
  ASSERT_TRUE(sees({view::body("I will create the folder 'My Corvane' in the directory '" + parent + "Games/'."),
                    view::disk_line(2, needed(19))}));
  click(clicks::next);

  // The licence: Next only once it is accepted, and again after Back.
  const screen_text licence_title = view::title("End User License Agreement (EULA)");
  ASSERT_TRUE(sees({licence_title,
                    view::body("You may use this flight simulator.\n\nYou may not make copies of this program.\n\nYou "
                               "may not share the artwork of the simulator, or anything made from it, with anyone "
                               "else unless its maker has said that you may."),
                    view::licence_sentence("I accept this agreement.")}));
  sees_steps(kInstallSteps, 2);
  click(clicks::licence_box);
  click(clicks::back);
  ASSERT_TRUE(sees({view::title("Pick Install Destination.")}));
  click(clicks::next);
  ASSERT_TRUE(sees({licence_title}));
  click(clicks::next);  // greyed: the acceptance went with the visit before
  click(clicks::licence_box);
  click(clicks::next);

  // The map: every tile with scenery is chosen (4 KB of the simulator and
  // 15 of scenery); each gesture shows in the amount needed.
  ASSERT_TRUE(sees({view::title("Select Scenery"),
                    view::body("Please pick the scenery you would like to install now.  You can use this installer "
                               "to add more scenery or remove scenery later.  If you fly into an area with no "
                               "scenery installed, you will see only ocean.\n\nClick on the world map to pick select "
                               "regions to install."),
                    view::disk_line(2, needed(19)),
                    view::disk_line(4, "You have enough free disk space to install Corvane 9 with the selected "
                                       "scenery.")}));
  sees_steps(kInstallSteps, 3);
  // (The amounts before and after each gesture differ in digits that do
  // not look alike, so that each is told apart from the one before.)
  click(clicks::world_tile(19, 7));
  ASSERT_TRUE(sees({view::disk_line(2, needed(11))}));
  // A press on a chosen tile dragged over its neighbour (to its left)
  // clears both.
  const click_point from = clicks::world_tile(12, 13), to = clicks::world_tile(11, 13);
  pointer_to(x.display(), from.x, from.y);
  usleep(400 * 1000);  // not a double click
  ASSERT_TRUE(program_caught_up(x.display()));
  button_down(x.display());
  ASSERT_TRUE(sees({view::disk_line(2, needed(7))}));
  pointer_to(x.display(), to.x, to.y);
  ASSERT_TRUE(sees({view::disk_line(2, needed(5))}));
  button_up(x.display());
  click(clicks::select_none);
  ASSERT_TRUE(sees({view::disk_line(2, needed(4))}));
  click(clicks::select_all);
  ASSERT_TRUE(sees({view::disk_line(2, needed(19))}));
  click(clicks::world_tile(11, 13));
  ASSERT_TRUE(sees({view::disk_line(2, needed(17))}));
  click(clicks::world_tile(12, 13));
  ASSERT_TRUE(sees({view::disk_line(2, needed(13))}));
  click(clicks::next);

  // The files of the first disc, then the second disc is asked for.
  const screen_text change = view::title("Installing Corvane - Please Change DVDs");
  const screen_text insert_two = view::body("Please insert DVD number 2 and click continue.");
  ASSERT_TRUE(sees({change, insert_two}));
  sees_steps(kInstallSteps, -1);
  for (const char* path : {"Airfoils/wing.dat", "Instructions/readme.txt", "Resources/a.txt"})
    EXPECT_EQ(read_file(copy + path), kSimFiles.at(path)) << path;
  // Back asks whether to cancel; "Continue" goes on with the same run. So
  // does Quit, whose "Continue" keeps the program running.
  for (click_point p : {clicks::back, clicks::quit}) {
    click(p);
    stop_question_shown();
    click(clicks::question_second());
    ASSERT_TRUE(sees({change, insert_two}));
  }
  // Next with the first disc still in: asked again. The same screen stays,
  // so the click is known taken (the drive looked into) only from the
  // program's frames: the second disc goes in after that.
  FrameWatch frames(x.display(), wait_for_window(x.display(), "Halden", kProgramTimeoutMs));
  ASSERT_TRUE(program_caught_up(x.display()));
  ASSERT_TRUE(frames.taken([&] { view::click(x.display(), clicks::next); }));
  ASSERT_TRUE(sees({change, insert_two}));
  insert(1);
  click(clicks::next);

  ASSERT_TRUE(sees({view::title("Finished Installing Corvane"), view::body("Installation was successful."),
                    view::choice(0, "Run Corvane Now")}));
  sees_steps(kInstallSteps, 5);
  for (const auto& [path, content] : kSimFiles) EXPECT_EQ(read_file(copy + path), content) << path;
  for (const tile_file& t : kTiles) {
    const bool chosen = t.column == 10 || t.column == 19;
    EXPECT_EQ(exists_at_all(copy + t.path), chosen) << t.path;
    if (chosen) {
      EXPECT_TRUE(read_file(copy + t.path) == tile_content(t)) << t.path;
    }
  }
  for (const char* folder : {"Output/FMS plans", "Resources/preferences"})
    EXPECT_TRUE(exists_at_all(copy + folder)) << folder;
  EXPECT_EQ(read_file(home / ".corvane/corvane_install.txt"), copy + "\n");
  const std::string log = run->log();
  EXPECT_EQ(log.find("Starting install at "), log.rfind("Starting install at ")) << "one run, resumed: " << log;

  // Back on the welcome, the new copy makes it the hub.
  click(clicks::back);
  const screen_text hub =
      view::body("You already have Corvane 9 installed on this computer.  What would you like to do?");
  ASSERT_TRUE(sees({hub, view::choice(0, "Run Corvane Now"), view::choice(1, "Add Or Remove Scenery"),
                    view::choice(2, "Repair Corvane"), view::choice(3, "Install A Second Copy of Corvane")}));

  // Run the one copy, which has no simulator: the start fails once, and
  // Back leads to the hub, not into the same start again.
  click(clicks::choice(0));
  ASSERT_TRUE(sees({view::alert_line(0, "I could not start Corvane."), view::alert_line(1, copy + "Corvane-i686")}));
  click(clicks::alert_ok());
  click(clicks::back);
  ASSERT_TRUE(sees({hub}));
  EXPECT_EQ(occurrences(run->log(), "Launching: "), 1) << run->log();

  // A second copy, into a folder that something else fills with a file of
  // a quarter terabyte (sparse) before the scenery choice: the choice
  // scans it frame by frame, showing how far it is, and Quit answers.
  click(clicks::choice(3));
  ASSERT_TRUE(sees({view::title("Pick Install Destination.")}));
  retype_name("Big");
  const std::string big = parent + "Games/Big/";
  ASSERT_TRUE(sees({view::body("I will create the folder 'Big' in the directory '" + parent + "Games/'.")}));
  click(clicks::next);
  ASSERT_TRUE(sees({licence_title}));
  ASSERT_TRUE(write_file(big + "Resources/a.txt", ""));
  ASSERT_EQ(truncate((big + "Resources/a.txt").c_str(), 256LL << 30), 0);
  click(clicks::licence_box);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Select Scenery"),
                    view::body("I am scanning " + big + " to see what files need updating."),
                    view::caption("Scanning ", false)}));
  click(clicks::quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
  EXPECT_EQ(occurrences(run->log(), " End of MD5 at "), 0) << "Quit while it scanned";
}

// An installed copy with a damaged and a missing file on the first disc and
// a damaged one on the second is repaired and then matches the release;
// its scenery then loses one tile and gains another, which deletes and
// installs exactly their files; the run flow among two listed copies then
// starts the simulator of the one worked on. The program starts before the
// disc is in the drive.
TEST_F(DiscWindow, RepairsACopyChangesItsSceneryAndRunsIt) {
  publish_release();
  const std::string copy = work / "Corvane 9/", other = work / "Other copy/";
  std::map<std::string, std::string> files = kSimFiles;
  files["Instructions/readme.txt"] = "read me, changed by mistake";
  files.erase("Resources/a.txt");
  files["Resources/late.txt"] = "damaged";
  files[kTiles[0].path] = tile_content(kTiles[0]);
  files[kTiles[1].path] = tile_content(kTiles[1]);
  ASSERT_TRUE(ReleaseBuilder::install(copy, files));
  ASSERT_TRUE(ReleaseBuilder::install(other, {}));
  // The simulator: a stub that notes that it was started.
  ASSERT_TRUE(write_file(copy + "Corvane-i686", "#!/bin/sh\necho started > \"$0.started\"\n"));
  ASSERT_EQ(chmod((copy + "Corvane-i686").c_str(), 0755), 0);
  list_copies({copy, other});

  auto run = start();
  ASSERT_TRUE(sees({view::title("Corvane 9 Installer"),
                    view::body("This DVD does not appear to be an Corvane 9 DVD.")}));
  insert(0);
  ASSERT_TRUE(sees({view::body("You already have Corvane 9 installed on this computer.  What would you like to do?"),
                    view::choice(2, "Repair Corvane"), view::choice(3, "Install A Second Copy of Corvane")}));
  // The destination of a second copy is left behind unused.
  click(clicks::choice(3));
  ASSERT_TRUE(sees({view::title("Pick Install Destination.")}));
  click(clicks::back);
  ASSERT_TRUE(sees({view::choice(2, "Repair Corvane")}));
  click(clicks::choice(2));

  // Repair: no copy is chosen until the user picks one; the destination
  // left behind is not one.
  const std::vector<std::string> repair_steps = {"Welcome",         "Select Corvane", "Scan For Problems",
                                                 "Confirm Repairs", "Repair Corvane", "Finish"};
  ASSERT_TRUE(sees({view::title("Repair Corvane 9"),
                    view::body("You have more than one copy of Corvane 9 installed on this computer.  Please pick "
                               "which copy of Corvane 9 you would like to repair."),
                    view::copy_row(0, copy), view::copy_row(1, other)}));
  sees_steps(repair_steps, 1);
  click(clicks::next);  // greyed: nothing happens
  click(clicks::copy_row(0));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Confirm Repairs"),
                    view::body("I need to install approximately 3 files to repair " + copy +
                               ".\n\nClick continue to begin repairing Corvane."),
                    view::disk_line(4, "You have enough free disk space to repair this copy of Corvane.")}));
  sees_steps(repair_steps, 3);
  click(clicks::next);
  // The two changed files are asked about, one after the other.
  for (const char* path : {"Instructions/readme.txt", "Resources/late.txt"}) {
    ASSERT_TRUE(run->wait_for_log("File: " + copy + path + "  sig_want=", kProgramTimeoutMs)) << run->log();
    ASSERT_TRUE(view::wait_for_box(x.display(), wind_question, kProgramTimeoutMs));
    click(clicks::changed_overwrite());
  }
  ASSERT_TRUE(sees({view::title("Repairing Corvane - Please Change DVDs"),
                    view::body("Please insert DVD number 2 and click continue.")}));
  insert(1);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finished Repairing Corvane."),
                    view::body("I have finished repairing " + copy + " - click Go Back to return to the main menu."),
                    view::choice(0, "Run Corvane Now")}));
  sees_steps(repair_steps, 5);
  for (const auto& [path, content] : kSimFiles) EXPECT_EQ(read_file(copy + path), content) << path;
  EXPECT_TRUE(read_file(copy + kTiles[1].path) == tile_content(kTiles[1])) << "the repair leaves the scenery";

  // Scenery: the copy just repaired stays chosen; the map starts with the
  // two tiles it has.
  click(clicks::back);
  ASSERT_TRUE(sees({view::choice(1, "Add Or Remove Scenery")}));
  click(clicks::choice(1));
  const std::vector<std::string> scenery_steps = {"Welcome",            "Select Corvane",  "Scan Existing Scenery",
                                                  "Select New Scenery", "Install Scenery", "Finish"};
  ASSERT_TRUE(sees({view::title("Select Corvane 9 to Add or Remove Scenery"),
                    view::body("You have more than one copy of Corvane 9 installed on this computer.  Please pick "
                               "which copy of Corvane 9 you would like to add scenery to.")}));
  sees_steps(scenery_steps, 1);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Select Scenery"),
                    view::body("Click on the world map to select what scenery you would like to install.  Scenery "
                               "that you deselect will be removed; scenery that you select will be installed.  If "
                               "you fly into an area with no scenery installed, you will see only ocean."),
                    view::disk_line(2, needed(0)),
                    view::disk_line(4, "You have enough free disk space to install this scenery.")}));
  sees_steps(scenery_steps, 3);
  click(clicks::world_tile(11, 13));
  click(clicks::world_tile(19, 7));
  ASSERT_TRUE(sees({view::disk_line(2, needed(8))}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finished With Add/Remove Scenery"),
                    view::body("I have successfully added and removed scenery to match your choices on the map."),
                    view::choice(0, "Run Corvane Now")}));
  EXPECT_TRUE(read_file(copy + kTiles[0].path) == tile_content(kTiles[0]));
  EXPECT_FALSE(exists_at_all(copy + "Global Scenery/+40-070")) << "the tile's file and its emptied folder go";
  EXPECT_FALSE(exists_at_all(copy + kTiles[2].path));
  EXPECT_TRUE(read_file(copy + kTiles[3].path) == tile_content(kTiles[3]));
  for (const auto& [path, content] : kSimFiles) EXPECT_EQ(read_file(copy + path), content) << path;

  // Run: the copy worked on is still chosen among the two.
  click(clicks::back);
  ASSERT_TRUE(sees({view::choice(0, "Run Corvane Now")}));
  click(clicks::choice(0));
  ASSERT_TRUE(sees({view::title("Run Corvane"),
                    view::body("You have more than one copy of Corvane 9 installed on this computer.  Please pick "
                               "which copy of Corvane 9 you would like to run."),
                    view::copy_row(0, copy), view::copy_row(1, other)}));
  click(clicks::next);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 1) << run->err();
  EXPECT_TRUE(wait_until([&] { return read_file(copy + "Corvane-i686.started") == "started\n"; }, kProgramTimeoutMs));
  EXPECT_NE(run->log().find("Launching: " + copy + "Corvane-i686 with \n"), std::string::npos) << run->log();
}

// A disc with a damaged archive and a missing one: each failed file brings
// the error question, answered "Continue", "Cancel" or closed with Return;
// going back from the disc switch brings the stop question, answered
// "Continue", "Cancel" or closed with Return. Every answer but "Continue"
// deletes the folder of a run that made it, and takes it off the list of
// installed copies; the copy is finished with the errors told. The discs
// are found by searching the mount table, also at once after a search
// that found none.
TEST_F(DiscWindow, ErrorAndStopQuestionsWithEachAnswer) {
  builder.add("Airfoils/wing.dat", "wing section", 0, 0);
  builder.add("Instructions/manual.txt", "no place for it in the last two runs", 0, 0);
  builder.add("Resources/broken1.txt", "damaged on the disc", 0, 0);
  builder.add("Resources/a.txt", "alpha", 0, 0);
  builder.add("Resources/broken2.txt", "missing from the disc", 0, 0);
  builder.add("Resources/late.txt", "on the second disc", 0, 1);
  publish();
  ASSERT_TRUE(write_file(on_disc(0, "Resources/broken1.txt") + ".zip", "PK\x03\x04 this is no archive"));
  ASSERT_EQ(unlink((on_disc(0, "Resources/broken2.txt") + ".zip").c_str()), 0);
  if (!mount_ready()) GTEST_SKIP() << "no mount table of the program's own for the drive";
  insert(0);
  auto run = start_mounted();
  const std::string copy = home.path() + "v910/";

  ASSERT_TRUE(sees({view::title("Corvane 9 Installer")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Pick Install Destination.")}));
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("End User License Agreement (EULA)")}));
  click(clicks::licence_box);
  click(clicks::next);
  const screen_text scenery = view::title("Select Scenery");
  ASSERT_TRUE(sees({scenery}));

  // The two failures come in either order: the unpack of the damaged
  // archive, the copy of the missing one.
  const std::string head = "An error occurred during installation:\n\n";
  const screen_text unzip_failed = view::question(head + "I was unable to unzip the file ", false);
  const screen_text copy_failed = view::question(head + "I was unable to copy the file ", false);
  const auto failure_shown = [&](const screen_text* not_this) -> const screen_text* {
    const screen_text* seen = nullptr;
    wait_until(
        [&] {
          const Screenshot shot = Screenshot::grab(x.display());
          for (const screen_text* q : {&unzip_failed, &copy_failed})
            if (q != not_this && shows_text(shot, *q)) seen = q;
          return seen != nullptr;
        },
        kProgramTimeoutMs);
    if (!seen) sees({unzip_failed}, 100);
    EXPECT_TRUE(seen) << "no error question";
    EXPECT_TRUE(sees({view::question_explain(0, "the install."), view::question_explain(1, "the install.")}));
    return seen;
  };
  const screen_text change = view::title("Installing Corvane - Please Change DVDs");
  const auto both_continued = [&] {
    const screen_text* first = failure_shown(nullptr);
    click(clicks::question_second());
    failure_shown(first);
    click(clicks::question_second());
    ASSERT_TRUE(sees({change}));
  };

  // First run: "Continue" on one failure, Return on the other (which leads
  // to the stop question), then "Continue" there; at the disc switch, Back
  // and "Cancel" delete the folder the run made.
  click(clicks::next);
  const screen_text* first = failure_shown(nullptr);
  click(clicks::question_second());
  failure_shown(first);
  key_tap(x.display(), "Return");
  stop_question_shown();
  click(clicks::question_second());
  ASSERT_TRUE(sees({change}));
  EXPECT_EQ(read_file(copy + "Resources/a.txt"), "alpha");
  click(clicks::back);
  stop_question_shown();
  click(clicks::question_first());
  ASSERT_TRUE(sees({scenery}));
  EXPECT_FALSE(exists_at_all(copy)) << "the partial copy is deleted";

  // Second run: at the switch, Back and the question closed with Return
  // cancel it as "Cancel" does: the folder goes, and its line in the list.
  const std::string list = home / ".corvane/corvane_install.txt";
  click(clicks::next);
  both_continued();
  EXPECT_EQ(read_file(list), copy + "\n");
  click(clicks::back);
  stop_question_shown();
  key_tap(x.display(), "Return");
  ASSERT_TRUE(sees({scenery}));
  EXPECT_FALSE(exists_at_all(copy));
  EXPECT_EQ(read_file(list), "");

  // Third run, into a folder that the user made meanwhile: "Cancel" on the
  // error question, then on the stop question, stops it; the folder stays,
  // but the line the run added to the list goes, and only that.
  ASSERT_TRUE(write_file(copy + "note.txt", "the user's"));
  ASSERT_TRUE(write_file(copy + "Instructions", "the user's too"));  // where the release puts a folder
  ASSERT_TRUE(write_file(list, "/another/copy/\n"));
  click(clicks::next);
  failure_shown(nullptr);
  EXPECT_EQ(read_file(list), "/another/copy/\n" + copy + "\n");
  click(clicks::question_first());
  stop_question_shown();
  click(clicks::question_first());
  ASSERT_TRUE(sees({scenery}));
  EXPECT_EQ(read_file(copy + "Airfoils/wing.dat"), "wing section");
  EXPECT_EQ(read_file(copy + "note.txt"), "the user's");
  EXPECT_EQ(read_file(list), "/another/copy/\n");

  // Last run, to the end: the finish tells of the errors. At the switch,
  // Next with the drive empty finds no disc and asks again; the second
  // disc put in at once is then found by the next Next.
  click(clicks::next);
  both_continued();
  eject();
  FrameWatch frames(x.display(), wait_for_window(x.display(), "Halden", kProgramTimeoutMs));
  ASSERT_TRUE(program_caught_up(x.display()));
  // Taken: the pass after the one that read the click's release, the pass
  // that looks into the drive, has ended.
  ASSERT_TRUE(frames.taken([&] { view::click(x.display(), clicks::next); }));
  insert(1);
  click(clicks::next);
  ASSERT_TRUE(sees({view::title("Finished Installing Corvane"),
                    view::body("There were errors during the install; your copy of Corvane may not be usable.\n\nYou "
                               "can click Go Back and use the repair and add-remove scenery functions to try to "
                               "reinstall any missing or damaged files.")}));
  EXPECT_FALSE(shows_now(view::choice(0, "Run Corvane Now")));
  for (const char* path : {"Airfoils/wing.dat", "Resources/a.txt", "Resources/late.txt"})
    EXPECT_TRUE(exists_at_all(copy + path)) << path;
  EXPECT_EQ(read_file(copy + "Instructions"), "the user's too");
  for (const char* path : {"Resources/broken1.txt", "Resources/broken2.txt"})
    EXPECT_FALSE(exists_at_all(copy + path)) << path;
  click(clicks::next_as_quit);
  EXPECT_EQ(run->wait_exit(kProgramTimeoutMs), 0) << run->err();
}
