// The editing widgets in a real window on a private X server, driven as a
// user drives them: XTEST keys and clicks into the widget window program,
// whose standard output reports every change.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/installer_run.h"
#include "support/program_output.h"
#include "support/screen_text.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "ui/folder_chooser.h"
#include "widget_window/scene_layout.h"
#include "window/mnw.h"

namespace {

using namespace scene;

InstallerRun::Options scene_options(const std::string& name, std::vector<std::string> env = {}) {
  InstallerRun::Options o;
  o.executable = CORVANE_WIDGET_WINDOW_EXE;
  env.push_back("CORVANE_WIDGET_SCENE=" + name);
  env.push_back("LP_NUM_THREADS=2");
  o.env = env;
  return o;
}

// A click at a point of the scene's window, on what the screen shows.
void click(Display* d, click_point p, int hold_ms = 100) {
  EXPECT_TRUE(click_on_what_is_shown(d, p.x, p.y, hold_ms)) << "the program read no key in time";
}
void click(Display* d, float x, float y, int hold_ms = 100) {
  click(d, clicks::in_box(wind_file_dialog, x, y), hold_ms);
}

void pause_between_clicks() { std::this_thread::sleep_for(std::chrono::milliseconds(350)); }

void chord(Display* d, const std::string& modifier, const std::string& key) {
  key_down(d, modifier);
  key_tap(d, key);
  key_up(d, modifier);
}

// Letters (capitals with Shift), digits, '-', '.' and blanks.
void type(Display* d, const std::string& text) {
  for (char c : text) {
    if (c >= 'A' && c <= 'Z')
      chord(d, "Shift_L", std::string(1, static_cast<char>(c - 'A' + 'a')));
    else if (c == '-')
      key_tap(d, "minus");
    else if (c == '.')
      key_tap(d, "period");
    else if (c == ' ')
      key_tap(d, "space");
    else
      key_tap(d, std::string(1, c));
  }
}

std::string with_slash(const std::string& path) { return path.back() == '/' ? path : path + "/"; }

}  // namespace

TEST(EditingWindow, RealKeysAreTranslatedAsTheProgramSeesThem) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, scene_options("keys"));
  Output out(run);
  ASSERT_TRUE(out.next("ready")) << run.err();
  Display* d = x.display();

  key_tap(d, "a");
  EXPECT_TRUE(out.next("key vkey=65 char=97 flags=8"));
  EXPECT_TRUE(out.next("key vkey=65 char=97 flags=16"));
  chord(d, "Shift_L", "a");
  EXPECT_TRUE(out.next("key vkey=65 char=65 flags=9"));
  chord(d, "Control_L", "Right");
  EXPECT_TRUE(out.next("key vkey=39 char=29 flags=12"));
  chord(d, "Control_L", "a");
  EXPECT_TRUE(out.next("key vkey=65 char=0 flags=12"));
  key_tap(d, "KP_3");  // Num Lock off: the key's cursor function, no digit
  EXPECT_TRUE(out.next("key vkey=0 char=0 flags=8"));
  key_tap(d, "Num_Lock");
  key_tap(d, "KP_3");
  EXPECT_TRUE(out.next("key vkey=99 char=51 flags=8")) << "with Num Lock on, the digit";
  key_tap(d, "KP_Enter");
  EXPECT_TRUE(out.next("key vkey=188 char=13 flags=8"));
  key_tap(d, "Return");
  EXPECT_TRUE(out.next("key vkey=13 char=13 flags=8"));
  key_tap(d, "Escape");
  EXPECT_TRUE(out.next("key vkey=27 char=27 flags=8"));
  key_tap(d, "BackSpace");
  EXPECT_TRUE(out.next("key vkey=8 char=8 flags=8"));
  for (const char* k : {"Delete", "Home", "End", "Insert"}) key_tap(d, k);
  EXPECT_TRUE(out.next("key vkey=46 char=0 flags=8"));
  EXPECT_TRUE(out.next("key vkey=36 char=0 flags=8"));
  EXPECT_TRUE(out.next("key vkey=35 char=0 flags=8"));
  EXPECT_TRUE(out.next("key vkey=45 char=0 flags=8"));
  key_tap(d, "Caps_Lock");
  key_tap(d, "b");
  EXPECT_TRUE(out.next("key vkey=66 char=98 flags=8"));
  EXPECT_EQ(out.rest().find("Caps"), std::string::npos);
}

TEST(EditingWindow, StringFieldsTakeOnlyTextAndTabMovesTheFocus) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, scene_options("fields"));
  Output out(run);
  ASSERT_TRUE(out.next("ready") && wait_for_installer_window(x, kProgramTimeoutMs)) << run.err();
  Display* d = x.display();

  click(d, kFirstX + 20, kFirstY + 4);
  ASSERT_TRUE(out.next("focus=1"));
  type(d, "hello");
  ASSERT_TRUE(out.next("first=[hello]"));
  key_tap(d, "BackSpace");
  ASSERT_TRUE(out.next("first=[hell]"));
  key_tap(d, "Home");
  type(d, "X");
  ASSERT_TRUE(out.next("first=[Xhell]"));
  key_tap(d, "End");
  type(d, "Y");
  ASSERT_TRUE(out.next("first=[XhellY]"));
  key_tap(d, "Left");
  key_tap(d, "Left");
  key_tap(d, "Delete");
  ASSERT_TRUE(out.next("first=[XhelY]"));

  // None of these may put a byte into the text.
  for (const char* k : {"Insert", "Prior", "Next", "F1", "Up", "Down"}) key_tap(d, k);
  chord(d, "Control_L", "a");
  chord(d, "Alt_L", "b");
  chord(d, "Control_L", "Left");  // moves the caret only
  chord(d, "Control_L", "Right");
  key_tap(d, "Escape");
  ASSERT_TRUE(out.next("escape 1")) << "Escape is the window's";
  key_tap(d, "Return");
  ASSERT_TRUE(out.next("return 1")) << "and so is Return";
  key_tap(d, "KP_Enter");
  ASSERT_TRUE(out.next("return 2")) << "keypad Enter acts as Return";
  key_tap(d, "Num_Lock");
  key_tap(d, "KP_5");
  type(d, "z");
  ASSERT_TRUE(out.next("first=[XhelY5z]")) << "Down took the caret to the end; the keypad digit typed";

  // Shift-Left and Shift-Home select; a letter replaces the selection.
  chord(d, "Shift_L", "Left");
  type(d, "Z");
  ASSERT_TRUE(out.next("first=[XhelY5Z]"));
  key_tap(d, "Left");
  chord(d, "Shift_L", "Home");
  type(d, "Q");
  ASSERT_TRUE(out.next("first=[QZ]"));

  // Tab: the second field with all its text selected, which typing replaces.
  key_tap(d, "Tab");
  ASSERT_TRUE(out.next("focus=2"));
  type(d, "p");
  ASSERT_TRUE(out.next("second=[p]"));
  // A text longer than the field scrolls it; once Backspace has made it
  // fit again, the field shows it from its start.
  const std::string long_text = "p the quick brown fox jumps over the lazy dog and more";
  type(d, long_text.substr(1));
  ASSERT_TRUE(out.next("second=[" + long_text + "]"));
  const std::string fits = long_text.substr(0, 7);
  for (std::size_t i = fits.size(); i < long_text.size(); ++i) key_tap(d, "BackSpace");
  ASSERT_TRUE(out.next("second=[" + fits + "]"));
  screen_text shown;
  shown.x = kSecondX;
  shown.y = kSecondY;
  shown.text = fits;
  shown.colour = 45;
  shown.whole = false;  // the caret follows the text
  const click_point origin = clicks::box_origin(wind_file_dialog);
  shown.ox = static_cast<float>(origin.x);
  shown.oy = static_cast<float>(origin.y);
  std::string why;
  EXPECT_TRUE(wait_for_text(d, shown, kProgramTimeoutMs, &why)) << why;
  // A burst of 200 characters, as a paste comes, arrives whole and in order.
  std::vector<std::string> burst;
  for (int i = 0; i < 200; ++i) burst.emplace_back(1, static_cast<char>('a' + i * 7 % 26));
  click_and_keys_at_once(d, 0, 0, burst, 0);
  ASSERT_TRUE(out.next("second=[" + std::accumulate(burst.begin(), burst.end(), fits) + "]"));
  chord(d, "Shift_L", "Tab");
  ASSERT_TRUE(out.next("focus=1"));
  type(d, "w");
  ASSERT_TRUE(out.next("first=[w]")) << "Tab into a field selects its whole text";
  key_tap(d, "Tab");
  key_tap(d, "Tab");
  ASSERT_TRUE(out.next("focus=3")) << "the numeric field is in the ring";
  key_tap(d, "Tab");
  ASSERT_TRUE(out.next("focus=1")) << "and the ring wraps";

  // A click outside every field drops the focus; keys then go to the window.
  pause_between_clicks();
  click(d, 500, 100);
  ASSERT_TRUE(out.next("focus=0"));
  key_tap(d, "Delete");
  ASSERT_TRUE(out.next("delete 1"));
  EXPECT_EQ(out.rest().find("first="), std::string::npos) << "no key reached a field without the focus";
}

TEST(EditingWindow, NumericFieldByArrowsAndKeysAndTheTextListPopUp) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, scene_options("fields"));
  Output out(run);
  ASSERT_TRUE(out.next("ready") && wait_for_installer_window(x, kProgramTimeoutMs)) << run.err();
  ASSERT_TRUE(out.next("streams=1")) << "0 is clamped into 1..4";
  ASSERT_TRUE(out.next("os=0"));
  Display* d = x.display();

  click(d, kNumberX + 5, kNumberY + 15);  // the up arrow
  ASSERT_TRUE(out.next("streams=2"));
  pause_between_clicks();
  click(d, kNumberX + 5, kNumberY - 10);  // the down arrow
  ASSERT_TRUE(out.next("streams=1"));
  pause_between_clicks();
  click(d, kNumberX + 5, kNumberY + 3);  // the digit: focus, no step
  ASSERT_TRUE(out.next("focus=3"));
  key_tap(d, "3");
  ASSERT_TRUE(out.next("streams=3"));
  key_tap(d, "Up");
  ASSERT_TRUE(out.next("streams=4"));
  // The field clamps once a frame, after the keys of the frame: Up and Down
  // in frames of their own.
  FrameWatch frames(d, wait_for_window(d, "Halden", kProgramTimeoutMs));
  ASSERT_TRUE(frames.ok());
  ASSERT_TRUE(frames.taken([&] { key_tap(d, "Up"); }));
  key_tap(d, "Down");
  ASSERT_TRUE(out.next("streams=3")) << "Up on 4 stays 4";
  key_tap(d, "7");
  ASSERT_TRUE(out.next("streams=4")) << "7 is clamped to 4";
  key_tap(d, "Num_Lock");
  key_tap(d, "KP_2");
  ASSERT_TRUE(out.next("streams=2"));
  type(d, "a");
  key_tap(d, "BackSpace");
  ASSERT_TRUE(out.next("delete 1")) << "Backspace is not a numeric field's key";

  // The text list: its bar opens the pop-up; a click on Linux picks it. The
  // pop-up opens in the frame of the first click: the second comes later.
  const click_point bar = clicks::in_box(wind_file_dialog, kListX, kListY + 3);
  pause_between_clicks();
  ASSERT_TRUE(frames.taken([&] { click_at(d, bar.x, bar.y); }));
  pause_between_clicks();
  click(d, kListX, kListY - 24 + 3);  // two rows below the bar
  ASSERT_TRUE(out.next("os=2"));
  pause_between_clicks();
  ASSERT_TRUE(frames.taken([&] { click_at(d, bar.x, bar.y); }));
  pause_between_clicks();
  click(d, kListX, kListY + 24 + 3);  // Macintosh, now two rows above
  ASSERT_TRUE(out.next("os=0"));
}

namespace {

// A folder tree for the chooser.
class ChooserTree {
 public:
  ChooserTree() {
    for (const char* p : {"alpha", "beta", "gamma", "gamma/inner", "pipe|name", "pipe|name/deep"})
      mkdir((dir_ / p).c_str(), 0755);
    std::ofstream(dir_ / "file.txt") << "not a folder";
    mkdir((dir_ / ".hidden").c_str(), 0755);
  }
  std::string root() const { return with_slash(dir_.path()); }

 private:
  TempDir dir_;
};

bool chooser_up(const XServer& x) {
  return wait_for_installer_window(x, kProgramTimeoutMs) && wait_until(
      [&] {
        const Screenshot s = Screenshot::grab(x.display());
        return s.ok() && !(s.at(5, 5) == rgb{255, 0, 255});
      },
      kProgramTimeoutMs);
}


}  // namespace

TEST(EditingWindow, FolderChooserSelectsAfterKeysTypeAheadAndDoubleClick) {
  XServer x;
  ASSERT_TRUE(x.ok());
  ChooserTree tree;
  // The start folder without its final '/'.
  InstallerRun run(&x, scene_options("chooser", {"CORVANE_CHOOSER_START=" + tree.root().substr(0, tree.root().size() - 1)}));
  Output out(run);
  ASSERT_TRUE(out.next("opening")) << run.err();
  ASSERT_TRUE(chooser_up(x));
  Display* d = x.display();

  FrameWatch frames(d, wait_for_window(d, "Halden", kProgramTimeoutMs));
  ASSERT_TRUE(frames.ok());

  // Folders alpha, beta, gamma, "pipe|name": the middle one (index 2) is
  // selected. Tab gives the list the keyboard; Up selects beta; type-ahead
  // "pi" jumps to the pipe folder, which Return enters safely. Each key
  // comes in a frame of its own, as a user's keys do: the focus moves
  // between frames.
  for (const char* key : {"Tab", "Up", "p", "i", "Return"}) ASSERT_TRUE(frames.taken([&] { key_tap(d, key); })) << key;
  // Inside "pipe|name": its one folder "deep" on the middle row; a double
  // click there enters it. The second press follows as soon as the program
  // has taken the first, well inside the double-click time; a press and its
  // release in one frame still click.
  const click_point row = clicks::chooser_row(0);
  pointer_to(d, row.x, row.y);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(frames.taken([&] {
      button_down(d);
      button_up(d);
    }));
  }
  pause_between_clicks();
  click(d, clicks::chooser_select());
  ASSERT_TRUE(out.next("result=[" + tree.root() + "pipe|name/deep/]")) << run.out();
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
}

TEST(EditingWindow, FolderChooserNewFolderLevelsSliderAndCancel) {
  XServer x;
  ASSERT_TRUE(x.ok());
  TempDir dir;
  for (int i = 0; i < 30; ++i) mkdir((dir / ("f" + std::string(i < 10 ? "0" : "") + std::to_string(i))).c_str(), 0755);
  const std::string root = with_slash(dir.path());
  {
    InstallerRun run(&x, scene_options("chooser", {"CORVANE_CHOOSER_START=" + root}));
    Output out(run);
    ASSERT_TRUE(out.next("opening")) << run.err();
    ASSERT_TRUE(chooser_up(x));
    Display* d = x.display();
    // The "File:" field has the keyboard: a name, then New Folder.
    type(d, "made-here");
    click(d, clicks::chooser_new_folder());
    EXPECT_TRUE(wait_until([&] {
      struct stat st;
      return stat((root + "made-here").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }));
    // The slider's lower arrow scrolls by one; a click on the middle row
    // then selects the row below the first middle one (f15, then f16).
    pause_between_clicks();
    click(d, clicks::chooser_scroll_down());
    pause_between_clicks();
    click(d, clicks::chooser_row(0));
    pause_between_clicks();
    click(d, clicks::chooser_select());
    ASSERT_TRUE(out.next("result=[" + root + "f16/]")) << run.out();
  }
  {
    InstallerRun run(&x, scene_options("chooser", {"CORVANE_CHOOSER_START=" + root + "f03/"}));
    Output out(run);
    ASSERT_TRUE(out.next("opening"));
    ASSERT_TRUE(chooser_up(x));
    click(x.display(), clicks::chooser_cancel());
    ASSERT_TRUE(out.next("cancelled untouched=1"));
  }
  {
    // The path pop-up: its bar opens the levels with the current one on the
    // bar; the row above it is the parent folder, whose first folder is then
    // selected (the empty folder's selection 0, kept).
    InstallerRun run(&x, scene_options("chooser", {"CORVANE_CHOOSER_START=" + root + "f03/"}));
    Output out(run);
    ASSERT_TRUE(out.next("opening"));
    ASSERT_TRUE(chooser_up(x));
    click(x.display(), clicks::chooser_path_bar());
    pause_between_clicks();
    click(x.display(), clicks::chooser_path_level(0, 1));
    pause_between_clicks();
    click(x.display(), clicks::chooser_select());
    ASSERT_TRUE(out.next("result=[" + root + "f00/]"));
  }
  {
    // A buffer too small for the path: Select is refused, the chooser stays.
    InstallerRun run(&x, scene_options("chooser", {"CORVANE_CHOOSER_START=" + root + "f03/", "CORVANE_CHOOSER_SIZE=8"}));
    Output out(run);
    ASSERT_TRUE(out.next("opening"));
    ASSERT_TRUE(chooser_up(x));
    click(x.display(), clicks::chooser_select());
    // Return dismisses the alert, which then logs its lines; before the
    // alert is up, Return in an empty folder does nothing.
    EXPECT_TRUE(wait_until([&] {
      key_tap(x.display(), "Return");
      return run.wait_for_log("too long", 500);
    }, kProgramTimeoutMs)) << run.log();
    pause_between_clicks();
    click(x.display(), clicks::chooser_cancel());
    ASSERT_TRUE(out.next("cancelled untouched=1"));
  }
}
