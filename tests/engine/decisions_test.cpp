// The per-file decisions of an installation run and the question about
// files that the user changed, answered through scripted clicks or the
// window state, without a display.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/decisions.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/scripted_clicks.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

const std::string kA = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string kB = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
const std::string kC = "cccccccccccccccccccccccccccccccc";
const std::string kUser = "99999999999999999999999999999999";

class Decisions : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_stg_ = stg;
    saved_dest_ = dest_dir_path;
    stg.want_os = os_linux;
    std::memset(stg.tile_want, 0, sizeof stg.tile_want);
    set_install_filter(1, 1);
    dest_dir_path = "/inst/";
    sim_info.clear();
    BTN_script_clear();
    MACIBM_startwind(wind_main, 0);
    log_ = std::make_unique<LogCapture>(dir_ / "log.txt");
  }
  void TearDown() override {
    stg = saved_stg_;
    dest_dir_path = saved_dest_;
    sim_info.clear();
    BTN_script_clear();
    mnw.click = 0;
    log_.reset();
  }

  // A file whose versions have the signatures wants (the last is current),
  // found on disk as have.
  int add(const std::string& path, const std::vector<std::string>& wants, const std::string& have,
          float unpacked_kb = 1.0f) {
    file_history_struct h;
    for (const std::string& w : wants) {
      file_version_struct v;
      v.path = path;
      v.sig_want = w;
      v.unpacked_kb = unpacked_kb;
      h.versions.push_back(v);
    }
    h.versions.back().sig_have = have;
    sim_info.push_back(h);
    return static_cast<int>(sim_info.size()) - 1;
  }
  file_version_struct& cur(int i) { return current_version(i); }
  int questions() {
    const std::string log = log_->text();
    int n = 0;
    for (std::size_t at = log.find("File: "); at != std::string::npos; at = log.find("File: ", at + 1)) ++n;
    return n;
  }

  TempDir dir_;
  std::unique_ptr<LogCapture> log_;

 private:
  stg_struct saved_stg_{};
  std::string saved_dest_;
};

TEST_F(Decisions, TheOutcomeTableWithoutQuestions) {
  const int missing = add("H/a/missing", {kA}, kSigNone);
  const int missing_gone = add("H/a/missing_gone", {kA, kSigGone}, kSigNone);
  const int current = add("H/a/current", {kA, kB}, kB);
  const int older = add("H/a/older", {kA, kB, kC}, kA);
  const int older_gone = add("H/a/older_gone", {kA, kB, kSigGone}, kB);
  const int refused = add("H/a/refused", {kA}, kSigNone);
  sim_info[static_cast<std::size_t>(refused)].versions.back().platform = os_windows;
  cur(refused).do_install = 1;  // left from an earlier run

  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(cur(missing).do_install, 1);
  EXPECT_EQ(cur(missing_gone).do_install + cur(missing_gone).do_delete, 0);
  EXPECT_EQ(cur(current).do_install + cur(current).do_delete, 0);
  EXPECT_EQ(cur(older).do_install, 1);
  EXPECT_EQ(cur(older).do_delete, 0);
  EXPECT_EQ(cur(older_gone).do_delete, 1);
  EXPECT_EQ(cur(older_gone).do_install, 0);
  EXPECT_EQ(cur(refused).do_install, 0);
  EXPECT_EQ(questions(), 0);
}

TEST_F(Decisions, GlobalSceneryOfAnUnchosenTileIsRemoved) {
  const std::string dir = "H/Resources/default scenery/DSF 820 earth/+40-080/";
  const int same = add(dir + "+40-080.dsf", {kA}, kA);
  const int changed = add(dir + "+41-080.dsf", {kA}, kUser);
  const int absent = add(dir + "+42-080.dsf", {kA}, kSigNone);
  for (int i : {same, changed, absent}) {
    cur(i).is_global_scenery = 1;
    cur(i).lat_row = 13;
    cur(i).lon_col = 10;
  }
  BTN_script_click("DELETE THE OLD FILE");
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(cur(same).do_delete, 1);
  EXPECT_EQ(cur(changed).do_delete, 1);
  EXPECT_EQ(cur(absent).do_delete + cur(absent).do_install, 0);
  EXPECT_EQ(questions(), 1);
  EXPECT_EQ(BTN_script_pending(), 0);

  // With the tile chosen, the same files are left alone or installed.
  stg.tile_want[10][13] = 1;
  BTN_script_click("KEEP THE OLD FILE");
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(cur(same).do_delete + cur(same).do_install, 0);
  EXPECT_EQ(cur(changed).do_delete + cur(changed).do_install, 0);
  EXPECT_EQ(cur(absent).do_install, 1);
}

TEST_F(Decisions, FolderAnswersCoverLaterChangedFilesOfTheSameFolderOnly) {
  const int first = add("H/a/one", {kA}, kUser);
  const int same_folder_gone = add("H/a/two", {kA, kSigGone}, kUser);
  const int sub_folder = add("H/a/sub/three", {kA}, kUser);
  const int kept_first = add("H/b/four", {kA}, kUser);
  const int kept_later = add("H/b/five", {kA, kSigGone}, kUser);
  const int other = add("H/c/six", {kA}, kUser);

  BTN_script_click("OVERWRITE EVERY OLD FILE IN THIS DIRECTORY");  // one, and two without asking
  BTN_script_click("OVERWRITE THE OLD FILE");                      // sub/three: a folder of its own
  BTN_script_click("KEEP EVERY OLD FILE IN THIS DIRECTORY");       // four, and five without asking
  BTN_script_click("KEEP THE OLD FILE");                           // six
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(BTN_script_pending(), 0);
  EXPECT_EQ(questions(), 4);
  EXPECT_EQ(cur(first).do_install, 1);
  EXPECT_EQ(cur(same_folder_gone).do_delete, 1);
  EXPECT_EQ(cur(sub_folder).do_install, 1);
  EXPECT_EQ(cur(kept_first).do_install, 0);
  EXPECT_EQ(cur(kept_later).do_delete, 0);
  EXPECT_EQ(cur(other).do_install, 0);
  const std::string log = log_->text();
  EXPECT_NE(log.find("File: /inst/a/one  sig_want=" + kA + "  sig_have=" + kUser + "\n"), std::string::npos);
  EXPECT_EQ(log.find("/inst/a/two"), std::string::npos) << "a file decided by a folder answer is not logged";

  // Nothing is remembered into the next run.
  BTN_script_click("KEEP THE OLD FILE");
  BTN_script_click("KEEP THE OLD FILE");
  BTN_script_click("KEEP THE OLD FILE");
  BTN_script_click("KEEP THE OLD FILE");
  BTN_script_click("KEEP THE OLD FILE");
  BTN_script_click("KEEP THE OLD FILE");
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(BTN_script_pending(), 0);
  EXPECT_EQ(cur(first).do_install, 0);
}

TEST_F(Decisions, CancelStopsAtOnceAndLeavesTheRestAsItWas) {
  const int first = add("H/a/one", {kA}, kUser, 10.0f);
  const int second = add("H/b/two", {kA}, kUser, 20.0f);
  const int third = add("H/c/three", {kA}, kUser, 30.0f);
  cur(third).do_delete = 1;  // from an earlier run
  for (int i : {first, second, third}) cur(i).progress_mark = 0.25f;

  BTN_script_click("OVERWRITE THE OLD FILE");
  BTN_script_click("CANCEL THE WHOLE INSTALLATION!");
  EXPECT_EQ(choose_files(), 0);
  EXPECT_EQ(cur(first).do_install, 1);
  EXPECT_EQ(cur(second).do_install, 0);
  EXPECT_EQ(cur(third).do_delete, 1);
  for (int i : {first, second, third}) EXPECT_EQ(cur(i).progress_mark, 0.25f);
  EXPECT_EQ(mnw.cur_wind, wind_main) << "the main window is current again";
}

TEST_F(Decisions, ProgressMarks) {
  EXPECT_EQ(choose_files(), 1);  // an empty table

  const int a = add("H/a", {kA}, kSigNone, 10.0f);
  const int skipped = add("H/b", {kA}, kA, 99.0f);
  const int c = add("H/c", {kA}, kSigNone, 30.0f);
  const int refused = add("H/d", {kA}, kSigNone, 50.0f);
  sim_info[static_cast<std::size_t>(refused)].versions.back().platform = 4;
  ASSERT_EQ(choose_files(), 1);
  EXPECT_FLOAT_EQ(cur(a).progress_mark, 0.0f);
  EXPECT_FLOAT_EQ(cur(skipped).progress_mark, 0.25f);
  EXPECT_FLOAT_EQ(cur(c).progress_mark, 0.25f);
  EXPECT_FLOAT_EQ(cur(refused).progress_mark, 1.0f);

  // Nothing to install: every mark is one half.
  cur(a).sig_have = kA;
  cur(c).sig_have = kA;
  ASSERT_EQ(choose_files(), 1);
  for (int i : {a, skipped, c, refused}) EXPECT_FLOAT_EQ(cur(i).progress_mark, 0.5f);
}

// The folder-wide answers compare the folder part of the local paths.
TEST_F(Decisions, AnswerFolder) {
  EXPECT_EQ(folder_part("/inst/a/b.txt"), "/inst/a/");
  EXPECT_EQ(folder_part("/inst/a/"), "/inst/");
  EXPECT_EQ(folder_part("b.txt"), "");
  EXPECT_EQ(folder_part("/b"), "/");
  EXPECT_EQ(folder_part("a/"), "a/");
  EXPECT_EQ(folder_part(""), "");
}

TEST_F(Decisions, TheQuestionTakesEachAnswerAndTheLabelsOfItsKind) {
  struct Case {
    const char* label;
    int is_delete;
    int answer;
  };
  const Case cases[] = {
      {"OVERWRITE THE OLD FILE", 0, answer_act},
      {"KEEP THE OLD FILE", 0, answer_keep},
      {"OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", 0, answer_act_folder},
      {"KEEP EVERY OLD FILE IN THIS DIRECTORY", 0, answer_keep_folder},
      {"CANCEL THE WHOLE INSTALLATION!", 0, answer_cancel},
      {"DELETE THE OLD FILE", 1, answer_act},
      {"KEEP THE OLD FILE", 1, answer_keep},
      {"DELETE EVERY OLD FILE IN THIS DIRECTORY", 1, answer_act_folder},
      {"KEEP EVERY OLD FILE IN THIS DIRECTORY", 1, answer_keep_folder},
      {"CANCEL THE WHOLE INSTALLATION!", 1, answer_cancel},
  };
  for (const Case& c : cases) {
    BTN_script_click(c.label);
    EXPECT_EQ(select_alert("/inst/x", c.is_delete), c.answer) << c.label;
    EXPECT_EQ(BTN_script_pending(), 0) << c.label;
    EXPECT_EQ(mnw.cur_wind, wind_main);
  }
}

// Without a fixture: the child that runs the death test ends inside the
// alert, so nothing it made would be cleaned up.
TEST(DecisionsDeathTest, AQuestionWithNobodyToAnswerEndsAHeadlessRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<file_history_struct> saved = sim_info;
  const std::string saved_dest = dest_dir_path;
  dest_dir_path = "/inst/";
  BTN_script_clear();
  file_history_struct h;
  h.versions.resize(1);
  h.versions[0].path = "H/a/one";
  h.versions[0].sig_want = kA;
  h.versions[0].sig_have = kUser;
  sim_info.assign(1, h);
  EXPECT_EXIT(choose_files(), ::testing::ExitedWithCode(1), "there is no window to ask in");
  // A scripted answer of the other kind of question answers nothing either.
  BTN_script_click("OVERWRITE THE OLD FILE");
  EXPECT_EXIT(select_alert("/inst/x", 1), ::testing::ExitedWithCode(1), "there is no window to ask in");
  BTN_script_clear();
  sim_info = saved;
  dest_dir_path = saved_dest;
}

}  // namespace
