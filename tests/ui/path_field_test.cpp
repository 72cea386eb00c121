// The path fields: bad arguments end the program; in a real window on a
// private X server, driven through XTEST, a field is edited, a folder is
// chosen with its button through the folder chooser, a chooser cancelled
// leaves the path alone, and a character-buffer field keeps to its length.
#include "ui/path_field.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "files/folder_list.h"
#include "support/click_table.h"
#include "support/installer_run.h"
#include "support/program_output.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "ui/folder_chooser.h"
#include "widget_window/scene_layout.h"

using namespace path_scene;

TEST(PathFieldDeathTest, BadKindsAndTypesAreFatal) {
  static std::string path;
  static char buffer[8];
  struct fatal {
    void (*call)();
    const char* message;
  };
  const fatal cases[] = {
      {[] { BTN_select_path_stl(0, 0, 997, 0, &path, 40, "", 100, 0); }, "open_save arg to BTN_select_file_stl"},
      {[] { BTN_select_path_stl(0, 0, 998, 22, &path, 40, "", 100, 0); }, "file_type arg to BTN_select_file_stl"},
      {[] { BTN_select_path_chr(0, 0, 999, -1, buffer, 8, "", 100, 0); }, "file_type arg to BTN_select_file_chr"},
      {[] { BTN_select_file_chr(0, 0, 1000, 0, buffer, &path, 8, "", 100); }, "open_save arg to BTN_select_file_chr"},
  };
  for (const fatal& f : cases) {
    TempDir dir;  // for the crash-report file
    EXPECT_EXIT(
        {
          if (chdir(dir.path().c_str()) == 0) f.call();
          _exit(0);
        },
        ::testing::ExitedWithCode(1), std::string("Bad ") + f.message + "!");
  }
}

namespace {

InstallerRun::Options path_scene_options(std::vector<std::string> env) {
  InstallerRun::Options o;
  o.executable = CORVANE_WIDGET_WINDOW_EXE;
  env.push_back("CORVANE_WIDGET_SCENE=path");
  env.push_back("LP_NUM_THREADS=2");
  o.env = env;
  return o;
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The chooser's box covers this pixel; the scene's box does not.
constexpr int kProbeX = 300, kProbeY = 100;

bool chooser_is_up(const XServer& x, const rgb& background, bool up) {
  return wait_until(
      [&] {
        const Screenshot s = Screenshot::grab(x.display());
        return s.ok() && (s.at(kProbeX, kProbeY) == background) != up;
      },
      kProgramTimeoutMs);
}

}  // namespace

TEST(PathFieldWindow, AFolderIsChosenThroughTheChooserAndEditsReplaceThePath) {
  // The chooser opens at the top folder with its middle row selected; the
  // test walks to "tmp" with the arrow keys, which no timing can upset.
  std::vector<std::string> names;
  std::vector<int> types;
  const int count = opensave_getitems("/", kChooserFilter, names, types);
  const auto tmp = std::find(names.begin(), names.end(), "tmp");
  ASSERT_NE(tmp, names.end());
  const int steps = static_cast<int>(tmp - names.begin()) - count / 2;

  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, path_scene_options({"CORVANE_PATH=/home/user/data/", "CORVANE_BUFFER=abcdefghijklmnopqrst"}));
  Output out(run);
  ASSERT_TRUE(out.next("path=[/home/user/data/]")) << run.err();
  ASSERT_TRUE(out.next("buffer=[abcdefg]")) << "a buffer field keeps max length - 1 characters";
  ASSERT_TRUE(out.next("ready") && wait_for_installer_window(x, kProgramTimeoutMs));
  Display* d = x.display();
  const rgb background = Screenshot::grab(d).at(kProbeX, kProbeY);

  // The field shows the last component; typing at its end replaces the
  // whole path by the field's text, and chooses nothing.
  ASSERT_TRUE(click_on_what_is_shown(d, px(kPathX + 100), py(kPathY + 3)));
  key_tap(d, "End");
  key_tap(d, "x");
  ASSERT_TRUE(out.next("path=[data/x]"));

  // The button opens the chooser; "tmp" is selected and chosen.
  pause_ms(350);
  ASSERT_TRUE(click_on_what_is_shown(d, px(kPathX - 17), py(kPathY + 2)));
  ASSERT_TRUE(chooser_is_up(x, background, true));
  key_tap(d, "Tab");
  for (int i = 0; i < std::abs(steps); ++i) key_tap(d, steps > 0 ? "Down" : "Up");
  pause_ms(350);
  ASSERT_TRUE(click_on_what_is_shown(d, clicks::chooser_select().x, clicks::chooser_select().y));
  ASSERT_TRUE(out.next("chosen=[/tmp/]"));
  ASSERT_TRUE(out.next("path=[/tmp/]"));
  ASSERT_TRUE(chooser_is_up(x, background, false));

  // A cancelled chooser changes nothing: the next line is the buffer's edit.
  pause_ms(350);
  ASSERT_TRUE(click_on_what_is_shown(d, px(kPathX - 17), py(kPathY + 2)));
  ASSERT_TRUE(chooser_is_up(x, background, true));
  pause_ms(350);
  ASSERT_TRUE(click_on_what_is_shown(d, clicks::chooser_cancel().x, clicks::chooser_cancel().y));
  ASSERT_TRUE(chooser_is_up(x, background, false));
  pause_ms(350);
  ASSERT_TRUE(click_on_what_is_shown(d, px(kBufferX + 100), py(kBufferY + 3)));
  key_tap(d, "End");
  key_tap(d, "BackSpace");
  ASSERT_TRUE(out.next("buffer=[abcdef]"));
  const std::string all = run.out();
  EXPECT_EQ(all.find("chosen"), all.rfind("chosen")) << all;
  EXPECT_NE(all.find("path=[/tmp/]\nbuffer=[abcdef]\n"), std::string::npos) << "the path stays as chosen:\n" << all;
  run.kill();
}
