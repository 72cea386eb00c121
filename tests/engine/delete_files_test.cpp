// Deleting the files marked for deletion and the folders they leave empty.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/delete_files.h"
#include "engine/installer_state.h"
#include "runtime/globals.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace {

// Keeps the engine's globals and gives each test an install folder
// "<tmp>/Corvane 9/" and its own log.
class DeleteFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_sim_ = sim_info;
    saved_dest_ = dest_dir_path;
    saved_stg_ = stg;
    sim_info.clear();
    dest_ = dir_ / "Corvane 9/";
    ASSERT_EQ(mkdir(dest_.c_str(), 0755), 0);
    dest_dir_path = dest_;
    stg.log_actions = 1;
    stg.file_action = action_not_needed;
  }
  void TearDown() override {
    sim_info = saved_sim_;
    dest_dir_path = saved_dest_;
    stg = saved_stg_;
  }

  // Adds a file to the table, its current version installed and marked as
  // given; path is below the install folder. Returns its index.
  int add(const std::string& path, bool do_delete, bool make_file = true) {
    if (make_file) {
      EXPECT_TRUE(write_file(dest_ + path, "data of " + path));
    }
    file_version_struct older;
    older.path = "Corvane 9/" + path;
    older.sig_want = "00000000000000000000000000000000";
    file_version_struct v;
    v.path = "Corvane 9/" + path;
    v.sig_want = kSigGone;
    v.sig_have = "0123456789abcdef0123456789abcdef";
    v.is_current = 1;
    v.do_delete = do_delete ? 1 : 0;
    sim_info.push_back(file_history_struct{{older, v}});
    return static_cast<int>(sim_info.size()) - 1;
  }

  bool marked_absent(int i) {
    const file_version_struct& v = current_version(i);
    return v.is_current == 0 && v.sig_have == kSigNone;
  }
  bool left_as_it_was(int i) {
    const file_version_struct& v = current_version(i);
    return v.is_current == 1 && v.sig_have == "0123456789abcdef0123456789abcdef";
  }

  std::string deleting(const std::string& path, int code) {
    return "DELETING  file " + dest_ + path + ", with result=" + std::to_string(code) + ".\n";
  }
  std::string cleanup(const std::string& folder, int code) {
    return "cleanup: DELETING  file " + dest_ + folder + ", with result=" + std::to_string(code) + ".\n";
  }

  TempDir dir_;
  LogCapture log_{dir_ / "log.txt"};
  std::string dest_;

 private:
  std::vector<file_history_struct> saved_sim_;
  std::string saved_dest_;
  stg_struct saved_stg_;
};

}  // namespace

TEST_F(DeleteFiles, NothingMarkedTouchesNothing) {
  const int a = add("Aircraft/a.acf", false);
  const int b = add("top.txt", false);

  delete_files();
  EXPECT_EQ(read_file(dest_ + "Aircraft/a.acf"), "data of Aircraft/a.acf");
  EXPECT_TRUE(exists_at_all(dest_ + "top.txt"));
  EXPECT_TRUE(left_as_it_was(a));
  EXPECT_TRUE(left_as_it_was(b));
  EXPECT_EQ(stg.file_action, action_not_needed);
  EXPECT_EQ(log_.text(), "");
}

TEST_F(DeleteFiles, TwoFilesInOneFolderThenTheFolderOnce) {
  const int a = add("Output/a.txt", true);
  const int b = add("Output/b.txt", true);

  delete_files();
  EXPECT_FALSE(exists_at_all(dest_ + "Output"));
  EXPECT_TRUE(marked_absent(a));
  EXPECT_TRUE(marked_absent(b));
  EXPECT_EQ(stg.file_action, action_deleting);
  EXPECT_EQ(log_.text(), deleting("Output/a.txt", 0) + deleting("Output/b.txt", 0) + cleanup("Output/", 0));
  EXPECT_TRUE(exists_at_all(dest_)) << "the install folder itself stays, even when empty";
}

TEST_F(DeleteFiles, DeepChainIsRemovedDeepestFirst) {
  add("p/q/r/name.dat", true);

  delete_files();
  EXPECT_FALSE(exists_at_all(dest_ + "p"));
  EXPECT_EQ(log_.text(),
            deleting("p/q/r/name.dat", 0) + cleanup("p/q/r/", 0) + cleanup("p/q/", 0) + cleanup("p/", 0));
}

TEST_F(DeleteFiles, AFileDirectlyInTheInstallFolderVisitsNoFolder) {
  const int a = add("top.txt", true);

  delete_files();
  EXPECT_FALSE(exists_at_all(dest_ + "top.txt"));
  EXPECT_TRUE(marked_absent(a));
  EXPECT_EQ(log_.text(), deleting("top.txt", 0));
}

TEST_F(DeleteFiles, FoldersStillHoldingSomethingStay) {
  const int keep = add("p/keep.txt", false);
  const int gone = add("p/gone.txt", true);
  add("h/gone.txt", true);
  ASSERT_TRUE(write_file(dest_ + "h/.hidden", "user's"));

  delete_files();
  EXPECT_EQ(read_file(dest_ + "p/keep.txt"), "data of p/keep.txt");
  EXPECT_FALSE(exists_at_all(dest_ + "p/gone.txt"));
  EXPECT_TRUE(left_as_it_was(keep));
  EXPECT_TRUE(marked_absent(gone));
  // The folder with only a hidden file lists as empty, but removing it
  // fails and keeps the file.
  EXPECT_EQ(read_file(dest_ + "h/.hidden"), "user's");
  EXPECT_EQ(log_.text(), deleting("p/gone.txt", 0) + deleting("h/gone.txt", 0) + cleanup("h/", ENOTEMPTY));
}

TEST_F(DeleteFiles, AFileAlreadyGoneCountsAsDeleted) {
  const int a = add("sub/never_there.txt", true, false);

  delete_files();
  EXPECT_TRUE(marked_absent(a));
  // Its folder was never there either.
  EXPECT_EQ(log_.text(), deleting("sub/never_there.txt", ENOENT) + cleanup("sub/", ENOENT));

  // Without log_actions the same leaves no line.
  stg.log_actions = 0;
  const int b = add("never_either.txt", true, false);
  delete_files();
  EXPECT_TRUE(marked_absent(b));
  EXPECT_EQ(log_.text(), deleting("sub/never_there.txt", ENOENT) + cleanup("sub/", ENOENT));
}

TEST_F(DeleteFiles, AFailedDeletionIsAlwaysLoggedAndKeepsTheRecord) {
  stg.log_actions = 0;
  // A folder where the file should be cannot be deleted as a file.
  ASSERT_TRUE(write_file(dest_ + "Resources/plugins/inside.txt", "user's"));
  const int a = add("Resources/plugins", true, false);
  const int b = add("Resources/other.txt", true);

  delete_files();
  EXPECT_TRUE(left_as_it_was(a));
  EXPECT_TRUE(marked_absent(b));
  EXPECT_EQ(read_file(dest_ + "Resources/plugins/inside.txt"), "user's");
  EXPECT_FALSE(exists_at_all(dest_ + "Resources/other.txt"));
  EXPECT_EQ(log_.text(), deleting("Resources/plugins", EISDIR)) << "successes stay quiet";
}

TEST_F(DeleteFiles, AFileInAReadOnlyFolderStaysMarkedPresent) {
  stg.log_actions = 0;
  const int a = add("locked/a.txt", true);
  ASSERT_EQ(chmod((dest_ + "locked").c_str(), 0555), 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);

  // Checked where the deletion ran: under root that is a child process.
  const int failed = as_unprivileged_user([&] {
    delete_files();
    return (left_as_it_was(a) ? 0 : 1) | (log_.text() == deleting("locked/a.txt", EACCES) ? 0 : 2);
  });
  EXPECT_EQ(failed, 0) << "1: the record was marked absent, 2: the log differs: " << log_.text();
  EXPECT_EQ(read_file(dest_ + "locked/a.txt"), "data of locked/a.txt");
}

TEST_F(DeleteFiles, WithoutAnInstallFolderNothingIsDeleted) {
  // The same path relative to the current folder must survive.
  const std::string cwd = dir_ / "cwd/";
  ASSERT_TRUE(write_file(cwd + "p/name.txt", "elsewhere"));
  char saved_cwd[4096];
  ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  const int a = add("p/name.txt", true);
  dest_dir_path = "";

  delete_files();
  EXPECT_EQ(chdir(saved_cwd), 0);
  EXPECT_EQ(read_file(cwd + "p/name.txt"), "elsewhere");
  EXPECT_TRUE(left_as_it_was(a));
  EXPECT_EQ(log_.text(), "");
}

TEST(FolderChain, FoldersBelowTheRootOnly) {
  std::set<std::string> folders;
  add_folder_chain(folders, "/d/p/q/r/name", "/d/");
  EXPECT_EQ(folders, (std::set<std::string>{"/d/p/", "/d/p/q/", "/d/p/q/r/"}));

  add_folder_chain(folders, "/d/p/q/other", "/d/");
  add_folder_chain(folders, "/d/top", "/d/");
  add_folder_chain(folders, "/elsewhere/x/y", "/d/");
  add_folder_chain(folders, "/dx/y", "/d");  // a root without its '/' is still the folder "/d/"
  add_folder_chain(folders, "/d/z", "/d");
  EXPECT_EQ(folders, (std::set<std::string>{"/d/p/", "/d/p/q/", "/d/p/q/r/"}));
}

TEST(FolderChain, OnlyEmptyFoldersBelowTheRootAreRemoved) {
  TempDir dir;
  const std::string root = dir / "root/";
  ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root + "empty").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(root + "full/f", "f"));
  ASSERT_EQ(mkdir((dir / "outside").c_str(), 0755), 0);

  remove_empty_folders({dir.path(), root, root + "empty/", root + "full/", dir / "outside/"}, root);
  EXPECT_FALSE(exists_at_all(root + "empty"));
  EXPECT_EQ(read_file(root + "full/f"), "f");
  EXPECT_TRUE(exists_at_all(root)) << "the root itself is never removed";
  EXPECT_TRUE(exists_at_all(dir / "outside"));
}
