// Copying and removing folder trees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "files/temp_folder.h"
#include "files/tree_ops.h"
#include "window/macibm.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace {

mode_t mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

bool is_link(const std::string& path) { return S_ISLNK(mode_of(path)); }
bool is_folder(const std::string& path) { return S_ISDIR(mode_of(path)); }
bool is_plain_file(const std::string& path) { return S_ISREG(mode_of(path)); }

}  // namespace

TEST(CopyTree, SingleFileKeepsBytesAndPermissions) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "tool.sh", "#!/bin/sh\necho hi\n"));
  ASSERT_EQ(chmod((dir / "tool.sh").c_str(), 0750), 0);

  EXPECT_EQ(copy_file_recursive(dir / "tool.sh", dir / "copy.sh"), 0);
  EXPECT_EQ(read_file(dir / "copy.sh"), "#!/bin/sh\necho hi\n");
  EXPECT_EQ(mode_of(dir / "copy.sh") & 0777, 0750u);

  EXPECT_EQ(copy_file_recursive(dir / "missing", dir / "out"), ENOENT);
  EXPECT_FALSE(exists_at_all(dir / "out"));
}

TEST(CopyTree, CopiesVisibleEntriesIntoFolders0755AndLeavesHiddenOnesOut) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "src/a.txt", "a"));
  ASSERT_TRUE(write_file(dir / "src/sub/deeper/b.dat", "bbb"));
  ASSERT_TRUE(write_file(dir / "src/x.obj/inside.txt", "folder named like a file"));
  ASSERT_TRUE(write_file(dir / "src/.hidden", "h"));
  ASSERT_TRUE(write_file(dir / "src/.cache/c", "c"));
  ASSERT_EQ(mkdir((dir / "src/empty").c_str(), 0700), 0);
  ASSERT_EQ(chmod((dir / "src/sub").c_str(), 0700), 0);

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "dst"), 0);

  EXPECT_EQ(read_file(dir / "dst/a.txt"), "a");
  EXPECT_EQ(read_file(dir / "dst/sub/deeper/b.dat"), "bbb");
  EXPECT_TRUE(is_folder(dir / "dst/x.obj"));
  EXPECT_EQ(read_file(dir / "dst/x.obj/inside.txt"), "folder named like a file");
  EXPECT_TRUE(is_folder(dir / "dst/empty"));
  EXPECT_EQ(mode_of(dir / "dst/sub") & 0777, 0755u) << "new folders get 0755, not the source's mode";
  EXPECT_FALSE(exists_at_all(dir / "dst/.hidden"));
  EXPECT_FALSE(exists_at_all(dir / "dst/.cache"));
}

TEST(CopyTree, IntoAnExistingFolderOverwritesSameNamesAndKeepsTheRest) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "src/same.txt", "new"));
  ASSERT_TRUE(write_file(dir / "dst/same.txt", "old and longer"));
  ASSERT_TRUE(write_file(dir / "dst/other.txt", "kept"));
  ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "dst"), 0);
  EXPECT_EQ(read_file(dir / "dst/same.txt"), "new");
  EXPECT_EQ(read_file(dir / "dst/other.txt"), "kept");

  EXPECT_EQ(copy_file_recursive(dir / "empty", dir / "empty_copy"), 0);
  EXPECT_TRUE(is_folder(dir / "empty_copy"));
}

TEST(CopyTree, FollowsLinksButNeverCopiesAFolderIntoItself) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "outside/target.txt", "target"));
  ASSERT_TRUE(write_file(dir / "outside/tree/t.txt", "t"));
  ASSERT_TRUE(write_file(dir / "src/sub/file.txt", "f"));
  ASSERT_EQ(symlink((dir / "outside/target.txt").c_str(), (dir / "src/file_link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "outside/tree").c_str(), (dir / "src/folder_link").c_str()), 0);
  ASSERT_EQ(symlink("..", (dir / "src/sub/loop").c_str()), 0);           // back to src
  ASSERT_EQ(symlink(".", (dir / "src/self").c_str()), 0);                // src itself
  ASSERT_EQ(symlink("nowhere", (dir / "src/dangling").c_str()), 0);

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "dst"), 0);

  EXPECT_TRUE(is_plain_file(dir / "dst/file_link"));
  EXPECT_EQ(read_file(dir / "dst/file_link"), "target");
  EXPECT_TRUE(is_folder(dir / "dst/folder_link"));
  EXPECT_EQ(read_file(dir / "dst/folder_link/t.txt"), "t");
  EXPECT_EQ(read_file(dir / "dst/sub/file.txt"), "f");
  EXPECT_FALSE(exists_at_all(dir / "dst/sub/loop")) << "a link back up the tree is left out";
  EXPECT_FALSE(exists_at_all(dir / "dst/self"));
  EXPECT_FALSE(exists_at_all(dir / "dst/dangling"));
}

TEST(CopyTree, OnlyPlainFilesAreCopied) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "src/a.txt", "a"));
  ASSERT_EQ(mkfifo((dir / "src/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir / "src/zeros").c_str()), 0);

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "dst"), 0);
  EXPECT_EQ(read_file(dir / "dst/a.txt"), "a");
  EXPECT_FALSE(exists_at_all(dir / "dst/pipe"));
  EXPECT_FALSE(exists_at_all(dir / "dst/zeros"));

  EXPECT_EQ(copy_file_recursive(dir / "src/pipe", dir / "pipe_copy"), EINVAL);
  EXPECT_FALSE(exists_at_all(dir / "pipe_copy"));
}

TEST(CopyTree, IntoItsOwnSubfolderCopiesEachEntryOnce) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "src/a.txt", "a"));
  ASSERT_TRUE(write_file(dir / "src/sub/b.txt", "b"));

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "src/inner"), 0);
  EXPECT_EQ(read_file(dir / "src/inner/a.txt"), "a");
  EXPECT_EQ(read_file(dir / "src/inner/sub/b.txt"), "b");
  EXPECT_FALSE(exists_at_all(dir / "src/inner/inner"));
}

TEST(CopyTree, ASourceSpelledInAnotherLetterCaseIsReadWhole) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "Disc/Halden/Top.txt", "top"));
  ASSERT_TRUE(write_file(dir / "Disc/Halden/Inner/Deep.txt", "deep"));
  const int saved = g_case_sensitive;
  g_case_sensitive = 1;
  const int single = copy_file_recursive(dir / "DISC/halden/top.TXT", dir / "one.txt");
  const int tree = copy_file_recursive(dir / "disc/HALDEN", dir / "copy");
  g_case_sensitive = saved;
  EXPECT_EQ(single, 0);
  EXPECT_EQ(read_file(dir / "one.txt"), "top");
  EXPECT_EQ(tree, 0);
  EXPECT_EQ(read_file(dir / "copy/Top.txt"), "top");
  EXPECT_EQ(read_file(dir / "copy/Inner/Deep.txt"), "deep");
}

TEST(CopyTree, StopsAtTheFirstFailureAndKeepsWhatWasCopied) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "src/a/x", "x"));
  ASSERT_TRUE(write_file(dir / "src/b/y", "y"));
  ASSERT_TRUE(write_file(dir / "src/c/z", "z"));
  ASSERT_TRUE(write_file(dir / "dst/b", "a file where the folder b should go"));

  EXPECT_EQ(copy_file_recursive(dir / "src", dir / "dst"), ENOTDIR);
  EXPECT_EQ(read_file(dir / "dst/a/x"), "x");
  EXPECT_FALSE(exists_at_all(dir / "dst/b/y"));
  EXPECT_FALSE(exists_at_all(dir / "dst/c")) << "the walk stops at the failure";
}

TEST(DeleteTree, RemovesEverythingHiddenEntriesAndFoldersNamedLikeFilesIncluded) {
  TempDir dir;
  const std::string root = dir / "tree/";
  ASSERT_TRUE(write_file(root + "a.txt", "a"));
  ASSERT_TRUE(write_file(root + ".hidden", "h"));
  ASSERT_TRUE(write_file(root + ".cache/deep/.x", "x"));
  ASSERT_TRUE(write_file(root + "x.obj/inside.png", "p"));
  ASSERT_TRUE(write_file(root + "sub/sub2/b.acf", "b"));
  ASSERT_EQ(mkdir((root + "empty.txt").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo((root + "pipe").c_str(), 0600), 0);

  EXPECT_EQ(recursive_delete_folder(root), 0);
  EXPECT_FALSE(exists_at_all(dir / "tree"));
}

TEST(DeleteTree, RemovesLinksThemselvesAndLeavesTheirTargetsAlone) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "outside/keep.txt", "keep"));
  ASSERT_TRUE(write_file(dir / "outside/tree/keep2.txt", "keep2"));
  const std::string root = dir / "tree/";
  ASSERT_TRUE(write_file(root + "sub/f", "f"));
  ASSERT_EQ(symlink((dir / "outside/keep.txt").c_str(), (root + "file_link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "outside/tree").c_str(), (root + "folder_link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "outside").c_str(), (root + "sub/.hidden_link").c_str()), 0);
  ASSERT_EQ(symlink("..", (root + "sub/loop").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (root + "dangling").c_str()), 0);

  EXPECT_EQ(recursive_delete_folder(root), 0);
  EXPECT_FALSE(exists_at_all(dir / "tree"));
  EXPECT_EQ(read_file(dir / "outside/keep.txt"), "keep");
  EXPECT_EQ(read_file(dir / "outside/tree/keep2.txt"), "keep2");
}

TEST(DeleteTree, AFolderThatIsALinkIsRemovedAsALink) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "real/keep.txt", "keep"));
  ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "alias").c_str()), 0);
  ASSERT_TRUE(is_link(dir / "alias"));

  EXPECT_EQ(recursive_delete_folder(dir / "alias/"), 0);
  EXPECT_FALSE(exists_at_all(dir / "alias"));
  EXPECT_EQ(read_file(dir / "real/keep.txt"), "keep");
}

TEST(DeleteTree, MissingFolderOrPlainFile) {
  TempDir dir;
  EXPECT_EQ(recursive_delete_folder(dir / "missing/"), ENOENT);
  EXPECT_EQ(recursive_delete_folder(""), ENOENT);

  ASSERT_TRUE(write_file(dir / "plain", "p"));
  EXPECT_EQ(recursive_delete_folder(dir / "plain/"), ENOTDIR);
  EXPECT_EQ(read_file(dir / "plain"), "p");
}

TEST(DeleteTree, TheHomeFolderIsNeverEmptiedHoweverItIsNamed) {
  TempDir dir;
  const std::string home = dir / "home";
  ASSERT_TRUE(write_file(home + "/keep.txt", "k"));
  ASSERT_TRUE(write_file(home + "/sub/also.txt", "a"));
  ASSERT_EQ(symlink(dir.path().c_str(), (dir / "up").c_str()), 0);
  const char* old = getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", (home + "/").c_str(), 1);
  for (const std::string& name : {home + "/", home + "/sub/../", dir / "./home/", dir / "up/home/", dir / "up/./home"}) {
    EXPECT_EQ(recursive_delete_folder(name), EBUSY) << name;
    EXPECT_EQ(read_file(home + "/keep.txt"), "k") << name;
    EXPECT_EQ(read_file(home + "/sub/also.txt"), "a") << name;
  }
  // A link to it is removed as a link; a folder inside it can go.
  ASSERT_EQ(symlink(home.c_str(), (dir / "to_home").c_str()), 0);
  EXPECT_EQ(recursive_delete_folder(dir / "to_home/"), 0);
  EXPECT_FALSE(exists_at_all(dir / "to_home"));
  EXPECT_EQ(recursive_delete_folder(home + "/sub/"), 0);
  EXPECT_FALSE(exists_at_all(home + "/sub"));
  EXPECT_EQ(read_file(home + "/keep.txt"), "k");
  if (old)
    setenv("HOME", saved.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST(DeleteTree, StopsAtTheFirstFailureAndLeavesTheFolder) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string root = dir / "tree/";
  ASSERT_TRUE(write_file(root + "locked/stays.txt", "s"));
  ASSERT_EQ(chmod((root + "locked").c_str(), 0555), 0);

  EXPECT_EQ(as_unprivileged_user([&] { return recursive_delete_folder(root); }), EACCES);
  EXPECT_EQ(read_file(root + "locked/stays.txt"), "s");
  EXPECT_TRUE(is_folder(root));
}

TEST(DeleteTree, ManyEntriesInOneFolder) {
  TempDir dir;
  const std::string root = dir / "wide/";
  ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
  // Long names, so that the folder takes several reads while it is emptied.
  for (int i = 0; i < 600; ++i) {
    const std::string name = std::string(60, 'f') + std::to_string(i);
    const int fd = open((root + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }

  EXPECT_EQ(recursive_delete_folder(root), 0);
  EXPECT_FALSE(exists_at_all(dir / "wide"));
}

TEST(RunTempFolder, FoldersOfRunsThatNoLongerRunAreRemovedAndNothingElse) {
  TempDir dir;
  // A process that has ended: its id is free.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string dead = "corvane-" + std::to_string(gone) + "-";
  ASSERT_TRUE(write_file(dir / (dead + "Ab12Cd/download/2.zip"), "left"));
  ASSERT_TRUE(write_file(dir / (dead + "Zz99zz/x"), "left"));
  ASSERT_TRUE(write_file(dir / "corvane-1-abcdef/x", "pid 1 runs"));
  ASSERT_TRUE(write_file(dir / "corvane-test-abcdef/x", "another form"));
  ASSERT_TRUE(write_file(dir / (dead + "toolong/x"), "another form"));
  ASSERT_TRUE(write_file(dir / "outside/keep.txt", "keep"));
  ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / (dead + "Link00")).c_str()), 0);
  ASSERT_TRUE(write_file(dir / (dead + "File00"), "a file"));
  const std::string mine = make_run_temp_folder(dir.path());
  ASSERT_EQ(mine.rfind(dir / ("corvane-" + std::to_string(getpid()) + "-"), 0), 0u) << mine;
  // Folders of disc copies: one held by this process, one by a process that
  // has ended, one that was never held.
  int hold = -1;
  const std::string held = make_disc_copy_folder(dir.path(), &hold);
  ASSERT_EQ(held.rfind(dir / "corvane-disc-", 0), 0u) << held;
  ASSERT_GE(hold, 0);
  EXPECT_EQ(fcntl(hold, F_GETFD) & FD_CLOEXEC, 0) << "the hold passes to the copy that is started";
  const pid_t maker = fork();
  if (maker == 0) {
    int h = -1;
    _exit(make_disc_copy_folder(dir.path(), &h).empty() ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(maker, &status, 0), maker);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(write_file(dir / "corvane-disc-Old000/corvane_installer", "never held"));
  ASSERT_TRUE(write_file(dir / "corvane-disc-toolong/x", "another form"));
  // Disc copies' folders left under the name they have while being made:
  // by a run that has ended, by an earlier build, by a run that goes on,
  // and one that a running process holds.
  const std::string staged = "corvane-disc-new-" + std::to_string(gone) + "-";
  ASSERT_TRUE(write_file(dir / (staged + "Ab12Cd/.in-use"), ""));
  ASSERT_TRUE(write_file(dir / "corvane-disc-new-Old000/x", "earlier build"));
  ASSERT_TRUE(write_file(dir / "corvane-disc-new-1-abcdef/x", "pid 1 runs"));
  ASSERT_TRUE(write_file(dir / (staged + "Held00/.in-use"), ""));
  const int staged_hold = open((dir / (staged + "Held00/.in-use")).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(staged_hold, LOCK_SH), 0);

  EXPECT_EQ(remove_stale_run_temp_folders(dir.path()), 6);
  close(staged_hold);
  EXPECT_FALSE(exists_at_all(dir / (staged + "Ab12Cd")));
  EXPECT_FALSE(exists_at_all(dir / "corvane-disc-new-Old000"));
  EXPECT_TRUE(exists_at_all(dir / "corvane-disc-new-1-abcdef/x"));
  EXPECT_TRUE(exists_at_all(dir / (staged + "Held00")));
  EXPECT_FALSE(exists_at_all(dir / (dead + "Ab12Cd")));
  EXPECT_FALSE(exists_at_all(dir / (dead + "Zz99zz")));
  EXPECT_FALSE(exists_at_all(dir / "corvane-disc-Old000"));
  for (const std::string& kept : {dir / "corvane-1-abcdef/x", dir / "corvane-test-abcdef/x", dir / (dead + "toolong/x"),
                                  dir / "outside/keep.txt", dir / (dead + "File00"), dir / "corvane-disc-toolong/x"})
    EXPECT_TRUE(exists_at_all(kept)) << kept;
  EXPECT_TRUE(is_link(dir / (dead + "Link00")));
  EXPECT_TRUE(is_folder(mine)) << "this run's own folder stays";
  EXPECT_TRUE(is_folder(held)) << "a disc copy's folder stays while it is held";
  close(hold);
  EXPECT_EQ(remove_stale_run_temp_folders(dir.path()), 2);
  EXPECT_FALSE(exists_at_all(held));
  EXPECT_FALSE(exists_at_all(dir / (staged + "Held00")));

  // Only the folder this run made goes at its end.
  remove_this_runs_temp_folder();
  EXPECT_FALSE(exists_at_all(mine));
  EXPECT_TRUE(exists_at_all(dir / "corvane-1-abcdef/x"));
  remove_this_runs_temp_folder();  // nothing more to do
}

// The run's folder also goes when the run ends through exit() (a lost
// display), but never with a child of the run that ends before it.
TEST(RunTempFolder, GoesWithAnExitOfTheRunButNotOfItsChild) {
  TempDir dir;
  std::fflush(nullptr);  // the children's exits flush nothing of ours twice
  const pid_t run = fork();
  if (run == 0) {
    const std::string mine = make_run_temp_folder(dir.path());
    if (mine.empty() || !write_file(mine + "0.zip", "part")) _exit(2);
    const pid_t child = fork();
    if (child == 0) {
      remove_this_runs_temp_folder();
      exit(0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !exists_at_all(mine + "0.zip")) _exit(3);
    exit(1);
  }
  ASSERT_GT(run, 0);
  int status = 0;
  ASSERT_EQ(waitpid(run, &status, 0), run);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "2: no folder, 3: the child's end took it";
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TempBeside, OneRecognisableFormRemovedFromTheGivenFoldersOnly) {
  const std::string a = temp_beside_suffix();
  const std::string b = temp_beside_suffix();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(".cvpart-", 0), 0u);
  for (const std::string& name : {"file.txt" + a, "x" + b, a})
    EXPECT_TRUE(is_temp_beside_name(name)) << name;
  for (const char* name : {"file.txt", "file.cvpart-abc", "file.cvpart-ab.def"})
    EXPECT_FALSE(is_temp_beside_name(name)) << name;

  TempDir dir;
  ASSERT_TRUE(write_file(dir / "a/wing.afl", "keep"));
  ASSERT_TRUE(write_file(dir / ("a/wing.afl" + a), "left"));
  ASSERT_TRUE(write_file(dir / ("a/other" + b), "left"));
  ASSERT_TRUE(write_file(dir / ("b/untouched" + a), "not in the list"));
  ASSERT_EQ(mkdir((dir / ("a/folder" + b)).c_str(), 0755), 0);
  ASSERT_EQ(symlink("/nonexistent", (dir / ("a/link" + a)).c_str()), 0);
  const std::string folders[] = {dir / "a/", dir / "missing/"};
  EXPECT_EQ(remove_temp_beside_files(folders, 2), 3);
  EXPECT_EQ(read_file(dir / "a/wing.afl"), "keep");
  EXPECT_FALSE(exists_at_all(dir / ("a/wing.afl" + a)));
  EXPECT_FALSE(exists_at_all(dir / ("a/link" + a)));
  EXPECT_TRUE(is_folder(dir / ("a/folder" + b))) << "a folder is never taken for one";
  EXPECT_TRUE(exists_at_all(dir / ("b/untouched" + a)));
}

TEST(RunTempFolder, RemovedWithoutFollowingLinksAndMissingIsFine) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "outside/keep.txt", "keep"));
  const std::string temp = make_run_temp_folder(dir.path());
  ASSERT_FALSE(temp.empty());
  ASSERT_EQ(temp.back(), '/');
  EXPECT_EQ(mode_of(temp) & 0777, 0700u);
  ASSERT_TRUE(write_file(temp + "download/.part", "x"));
  ASSERT_EQ(symlink((dir / "outside").c_str(), (temp + "out").c_str()), 0);

  EXPECT_EQ(remove_run_temp_folder(temp), 0);
  EXPECT_FALSE(exists_at_all(temp));
  EXPECT_EQ(read_file(dir / "outside/keep.txt"), "keep");
  EXPECT_EQ(remove_run_temp_folder(temp), 0);
  EXPECT_EQ(remove_run_temp_folder(""), 0);
}
