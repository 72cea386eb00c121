#include "files/io_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "window/macibm.h"


namespace {

// Names in a folder, without "." and "..".
std::set<std::string> list_folder(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.insert(n);
    }
    closedir(d);
  }
  return names;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

// Sets g_case_sensitive for one test and puts it back afterwards.
class CaseSensitivity {
 public:
  explicit CaseSensitivity(int value) : saved_(g_case_sensitive) { g_case_sensitive = value; }
  ~CaseSensitivity() { g_case_sensitive = saved_; }

 private:
  int saved_;
};

// Sets or unsets an environment variable for one test and restores it.
class EnvVar {
 public:
  explicit EnvVar(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) old_ = v;
  }
  ~EnvVar() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }
  void set(const std::string& v) { setenv(name_, v.c_str(), 1); }
  void unset() { unsetenv(name_); }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

class FileApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  TempDir dir;
};

// ---------------------------------------------------------------- error texts

TEST(ErrorStrTest, SystemErrorsReadAsSentences) {
  EXPECT_EQ(error_str(13),
            "Permission denied. Perhaps you do not have access to a directory or file system");
  EXPECT_EQ(error_str(2), "No such file or directory");
  EXPECT_EQ(error_str(28), "No space left on device. Perhaps your hard drive is full");
  EXPECT_EQ(error_str(39), "Directory not empty");
  EXPECT_EQ(error_str(30), "The destination file system is read-only");
}

TEST(ErrorStrTest, OwnCodesHaveTheirTexts) {
  EXPECT_EQ(error_str(20001), "We were unable to open a zip file. It may be missing or damaged");
  EXPECT_EQ(error_str(20007),
            "We were unable to connct to the network due to an internal reconnect error");
  EXPECT_EQ(error_str(20012),
            "Part of the downloaded zip file is corrupted (the resource fork header is bad)");
  std::set<std::string> texts;
  for (int code = 20001; code <= 20012; ++code) {
    const std::string t = error_str(code);
    EXPECT_EQ(t.find("Unknown error"), std::string::npos) << code;
    EXPECT_NE(t.back(), '.') << code;
    texts.insert(t);
  }
  EXPECT_EQ(texts.size(), 12u);  // each code its own text
}

TEST(ErrorStrTest, CodesWithoutTextShowTheirNumber) {
  EXPECT_EQ(error_str(0), "Unknown error occurred (0)");
  EXPECT_EQ(error_str(20013), "Unknown error occurred (20013)");
  EXPECT_EQ(error_str(20014), "Unknown error occurred (20014)");
  EXPECT_EQ(error_str(-11), "Unknown error occurred (-11)");
  EXPECT_EQ(error_str(-2147483647 - 1), "Unknown error occurred (-2147483648)");
}

TEST(ErrorStrTest, ReportingPolicy) {
  EXPECT_EQ(show_make_dir_err(0), 0);
  EXPECT_EQ(show_make_dir_err(EEXIST), 0);
  EXPECT_EQ(show_make_dir_err(ENOENT), 1);
  EXPECT_EQ(show_make_dir_err(EACCES), 1);
  EXPECT_EQ(show_del_err(ENOENT), 0);
}

// ----------------------------------------------------------- existence tests

TEST_F(FileApiTest, ExistenceTestsTellFoldersFromFiles) {
  CaseSensitivity cs(0);
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "sub/f.txt", "x"));

  EXPECT_TRUE(dir_exists(dir / "sub"));
  EXPECT_TRUE(dir_exists(dir / "sub/"));
  EXPECT_FALSE(file_exists(dir / "sub"));
  EXPECT_FALSE(file_exists(dir / "sub/"));
  EXPECT_TRUE(file_exists(dir / "sub/f.txt"));
  EXPECT_FALSE(dir_exists(dir / "sub/f.txt"));
  EXPECT_FALSE(file_exists(dir / "sub/nothing"));
  EXPECT_FALSE(dir_exists(dir / "nothing/"));
  EXPECT_TRUE(dir_exists("/"));
}

TEST_F(FileApiTest, ExistenceTestsFollowLinks) {
  CaseSensitivity cs(0);
  ASSERT_EQ(mkdir((dir / "real").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "real/f", "x"));
  ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "to_dir").c_str()), 0);
  ASSERT_EQ(symlink((dir / "real/f").c_str(), (dir / "to_file").c_str()), 0);
  ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);

  EXPECT_TRUE(dir_exists(dir / "to_dir/"));
  EXPECT_FALSE(file_exists(dir / "to_dir"));
  EXPECT_TRUE(file_exists(dir / "to_file"));
  EXPECT_FALSE(file_exists(dir / "dangling"));
  EXPECT_FALSE(dir_exists(dir / "dangling"));
}

TEST_F(FileApiTest, ExistenceTestsRepairLetterCase) {
  ASSERT_EQ(mkdir((dir / "Aircraft").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "Aircraft/c4.acf", "x"));
  {
    CaseSensitivity cs(1);
    EXPECT_TRUE(dir_exists(dir / "AIRCRAFT/"));
    EXPECT_TRUE(dir_exists(dir / "AIRCRAFT"));
    EXPECT_TRUE(file_exists(dir / "aircraft/C4.ACF"));
    EXPECT_FALSE(file_exists(dir / "aircraft/c5.acf"));
  }
  {
    CaseSensitivity cs(0);
    EXPECT_FALSE(dir_exists(dir / "AIRCRAFT/"));
    EXPECT_FALSE(file_exists(dir / "aircraft/C4.ACF"));
  }
}

TEST_F(FileApiTest, LongPathsAndOddCharactersAreOrdinaryPaths) {
  CaseSensitivity cs(1);
  // A real folder chain well past 600 characters, with '\' and ':' in names.
  std::string real = dir.path();
  std::string asked = dir.path();
  for (int i = 0; i < 11; ++i) {
    const std::string name = "Level:" + std::to_string(i) + "\\" + std::string(50, 'q');
    real += name + "/";
    asked += "LEVEL:" + std::to_string(i) + "\\" + std::string(50, 'Q') + "/";
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0) << real;
  }
  ASSERT_TRUE(write_file(real + "end.txt", "x"));
  ASSERT_GT(asked.size(), 600u);

  EXPECT_TRUE(dir_exists(asked));
  EXPECT_TRUE(file_exists(asked + "END.TXT"));
  EXPECT_FALSE(file_exists(asked + "missing.txt"));
  EXPECT_FALSE(dir_exists(std::string(5000, 'z')));
}

// ------------------------------------------------- creating and deleting

TEST_F(FileApiTest, MakeFolder) {
  EXPECT_EQ(make_folder(dir / "a"), 0);
  EXPECT_TRUE(dir_exists(dir / "a"));
  EXPECT_EQ(make_folder(dir / "a/b/"), 0);
  EXPECT_TRUE(dir_exists(dir / "a/b"));
  EXPECT_EQ(make_folder(dir / "a"), EEXIST);
  EXPECT_EQ(make_folder(dir / "a/b/"), EEXIST);

  sErrFile = nullptr;
  sErrLine = 0;
  EXPECT_EQ(make_folder(dir / "missing/child"), ENOENT);
  EXPECT_FALSE(dir_exists(dir / "missing"));
  EXPECT_NE(sErrFile, nullptr);
  EXPECT_NE(sErrLine, 0);
}

TEST_F(FileApiTest, DeleteFile) {
  EXPECT_EQ(delete_file(""), 0);

  ASSERT_TRUE(write_file(dir / "f", "x"));
  EXPECT_EQ(delete_file(dir / "f"), 0);
  EXPECT_FALSE(exists_at_all(dir / "f"));
  EXPECT_EQ(delete_file(dir / "f"), ENOENT);

  ASSERT_EQ(mkdir((dir / "full").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "full/keep", "x"));
  sErrLine = 0;
  EXPECT_EQ(delete_file(dir / "full/"), ENOTEMPTY);
  EXPECT_NE(sErrLine, 0);
  EXPECT_EQ(read_file(dir / "full/keep"), "x");

  ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);
  EXPECT_EQ(delete_file(dir / "empty/"), 0);
  EXPECT_FALSE(exists_at_all(dir / "empty"));
}

TEST_F(FileApiTest, DeleteFileRemovesALinkNotItsTarget) {
  ASSERT_TRUE(write_file(dir / "target", "precious"));
  ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
  EXPECT_EQ(delete_file(dir / "link"), 0);
  EXPECT_FALSE(exists_at_all(dir / "link"));
  EXPECT_EQ(read_file(dir / "target"), "precious");
}

TEST_F(FileApiTest, RenameFile) {
  ASSERT_TRUE(write_file(dir / "old", "body"));
  EXPECT_EQ(rename_file(dir.path(), "old", "new"), 0);
  EXPECT_FALSE(exists_at_all(dir / "old"));
  EXPECT_EQ(read_file(dir / "new"), "body");
  sErrLine = 0;
  EXPECT_EQ(rename_file(dir.path(), "old", "other"), ENOENT);
  EXPECT_NE(sErrLine, 0);
}

// ------------------------------------------------------------------- copying

TEST_F(FileApiTest, CopyFileCopiesContentAndPermissions) {
  // Larger than one copy buffer and not a multiple of it.
  std::string body;
  for (unsigned i = 0; i < 700000; ++i) body += static_cast<char>((i * 7919u) % 251u);
  ASSERT_TRUE(write_file(dir / "src.bin", body));
  ASSERT_EQ(chmod((dir / "src.bin").c_str(), 0751), 0);
  // An older, longer destination must be replaced whole.
  ASSERT_TRUE(write_file(dir / "dst.bin", body + body));

  EXPECT_EQ(copy_file(dir / "src.bin", dir / "dst.bin"), 0);
  EXPECT_TRUE(read_file(dir / "dst.bin") == body);
  EXPECT_EQ(mode_of(dir / "dst.bin"), 0751u);
  EXPECT_EQ(list_folder(dir.path()), (std::set<std::string>{"src.bin", "dst.bin"}));
}

TEST_F(FileApiTest, CopyFileOfAnEmptySource) {
  ASSERT_TRUE(write_file(dir / "empty", ""));
  ASSERT_EQ(chmod((dir / "empty").c_str(), 0604), 0);
  EXPECT_EQ(copy_file(dir / "empty", dir / "copy"), 0);
  EXPECT_TRUE(exists_at_all(dir / "copy"));
  EXPECT_EQ(read_file(dir / "copy"), "");
  EXPECT_EQ(mode_of(dir / "copy"), 0604u);
}

TEST_F(FileApiTest, CopyFileOntoItselfKeepsTheFile) {
  ASSERT_TRUE(write_file(dir / "same", "unchanged"));
  EXPECT_EQ(copy_file(dir / "same", dir / "same"), 0);
  EXPECT_EQ(read_file(dir / "same"), "unchanged");
}

TEST_F(FileApiTest, CopyFileWithoutASourceLeavesTheDestinationAlone) {
  ASSERT_TRUE(write_file(dir / "dst", "good old data"));
  EXPECT_EQ(copy_file(dir / "missing", dir / "dst"), ENOENT);
  EXPECT_EQ(read_file(dir / "dst"), "good old data");

  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  EXPECT_EQ(copy_file(dir / "folder", dir / "dst"), EISDIR);
  EXPECT_EQ(read_file(dir / "dst"), "good old data");
  EXPECT_EQ(copy_file(dir / "missing", dir / "new"), ENOENT);
  EXPECT_EQ(list_folder(dir.path()), (std::set<std::string>{"dst", "folder"}));
}

TEST_F(FileApiTest, CopyFileIntoAMissingFolder) {
  ASSERT_TRUE(write_file(dir / "src", "data"));
  EXPECT_EQ(copy_file(dir / "src", dir / "nowhere/dst"), ENOENT);
  EXPECT_FALSE(exists_at_all(dir / "nowhere"));
}

TEST_F(FileApiTest, CopyFileIntoAnUnwritableFolderKeepsTheOldFile) {
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // reachable by an ordinary user
  ASSERT_TRUE(write_file(dir / "src", "new data"));
  ASSERT_EQ(mkdir((dir / "locked").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "locked/dst", "old data"));
  ASSERT_EQ(chmod((dir / "src").c_str(), 0644), 0);
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0555), 0);
  EXPECT_EQ(as_unprivileged_user([&] { return copy_file(dir / "src", dir / "locked/dst"); }), EACCES);
  EXPECT_EQ(read_file(dir / "locked/dst"), "old data");
  EXPECT_EQ(list_folder(dir / "locked"), (std::set<std::string>{"dst"}));
  chmod((dir / "locked").c_str(), 0755);
}

TEST_F(FileApiTest, CopyFileWithALongFileName) {
  // The temporary name must still fit when the final name is at the limit.
  const std::string name(255, 'n');
  ASSERT_TRUE(write_file(dir / "src", "long"));
  EXPECT_EQ(copy_file(dir / "src", dir / name), 0);
  EXPECT_EQ(read_file(dir / name), "long");
  EXPECT_EQ(list_folder(dir.path()), (std::set<std::string>{"src", name}));
}

TEST_F(FileApiTest, CopyFileRefusesPipesAndDevices) {
  ASSERT_TRUE(write_file(dir / "dst", "good old data"));
  // A pipe without a writer: an open that waited for one would hang here.
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(copy_file(dir / "pipe", dir / "dst"), EINVAL);
  // A device that never ends would fill the disc.
  ASSERT_EQ(symlink("/dev/zero", (dir / "zeros").c_str()), 0);
  EXPECT_EQ(copy_file(dir / "zeros", dir / "dst"), EINVAL);
  EXPECT_EQ(copy_file(dir / "zeros", dir / "new"), EINVAL);
  EXPECT_EQ(read_file(dir / "dst"), "good old data");
  EXPECT_EQ(list_folder(dir.path()), (std::set<std::string>{"dst", "pipe", "zeros"}));
}

// ------------------------------------------------------- writing and naming

TEST_F(FileApiTest, WriteAllWritesEverythingAndCountsWhatWasWritten) {
  std::string body;
  for (unsigned i = 0; i < 300000; ++i) body += static_cast<char>(i % 253u);
  const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  std::size_t done = 1;
  EXPECT_EQ(write_all(fd, body.data(), body.size(), &done), 0);
  EXPECT_EQ(done, body.size());
  EXPECT_EQ(write_all(fd, body.data(), 0, &done), 0);
  EXPECT_EQ(done, 0u);
  ASSERT_EQ(close(fd), 0);
  EXPECT_TRUE(read_file(dir / "out") == body);

  done = 1;
  EXPECT_EQ(write_all(fd, body.data(), 10, &done), EBADF);  // closed above
  EXPECT_EQ(done, 0u);

  // A write cut short by the file size limit: the error of the write that
  // failed, and only the bytes that reached the file counted.
  const std::string limited = dir / "limited";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    const int f = open(limited.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (f < 0) _exit(4);
    std::size_t n = 0;
    const int err = write_all(f, body.data(), 10000, &n);
    close(f);
    _exit(err == EFBIG && n == 4096 ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(read_file(limited), body.substr(0, 4096));
}

TEST(TempNameTest, BesideThePathAndWithinTheNameLimit) {
  EXPECT_EQ(temp_name_beside("/a/b/name.txt", ".XXXXXX"), "/a/b/name.txt.XXXXXX");
  EXPECT_EQ(temp_name_beside("name", ".abc"), "name.abc");
  EXPECT_EQ(temp_name_beside("/a/", ".t"), "/a/.t");

  const std::string long_name(NAME_MAX, 'n');
  const std::string t = temp_name_beside("/x/y/" + long_name, ".XXXXXX");
  EXPECT_EQ(t, "/x/y/" + std::string(NAME_MAX - 7, 'n') + ".XXXXXX");
  EXPECT_EQ(t.size() - 5, static_cast<std::size_t>(NAME_MAX));
  // Only the final name is shortened, never the folders before it.
  const std::string long_folder = "/" + std::string(300, 'f') + "/";
  EXPECT_EQ(temp_name_beside(long_folder + "n", ".s"), long_folder + "n.s");
}

TEST(PathPartsTest, LastComponentAndFolderPart) {
  EXPECT_EQ(last_component("/v9/Halden/Resources/a.txt.zip"), "a.txt.zip");
  EXPECT_EQ(last_component("a.txt"), "a.txt");
  EXPECT_EQ(last_component("/a/b/"), "b/");
  EXPECT_EQ(last_component("ab/"), "ab/");
  EXPECT_EQ(last_component("a/"), "");
  EXPECT_EQ(last_component("/"), "");
  EXPECT_EQ(last_component(""), "");
  EXPECT_EQ(folder_part("/d/p/q/name"), "/d/p/q/");
  EXPECT_EQ(folder_part("/d/p/q"), "/d/p/");
  EXPECT_EQ(folder_part("/a/b/"), "/a/");
  EXPECT_EQ(folder_part("a/"), "a/");
  EXPECT_EQ(folder_part("ab/"), "");
  EXPECT_EQ(folder_part("name"), "");
  EXPECT_EQ(folder_part(""), "");
}

// ---------------------------------------------------------------- free space

TEST_F(FileApiTest, FreeSpace) {
  unsigned long long total = 0, free = 0;
  EXPECT_EQ(get_free_space("/", &total, &free), 0);
  EXPECT_GT(total, 0u);
  EXPECT_LE(free, total);
  struct statvfs vfs;
  ASSERT_EQ(statvfs("/", &vfs), 0);
  EXPECT_EQ(total, static_cast<unsigned long long>(vfs.f_frsize) * vfs.f_blocks);
  EXPECT_EQ(get_free_space("/", nullptr, nullptr), 0);

  EXPECT_EQ(get_free_space("name_without_slash", &total, &free), ENOENT);

  // "a/b/" asks about "a/": b need not exist, a must.
  ASSERT_EQ(mkdir((dir / "a").c_str(), 0755), 0);
  EXPECT_EQ(get_free_space(dir / "a/b/", &total, &free), 0);
  EXPECT_LE(free, total);
  EXPECT_EQ(get_free_space(dir / "a/file.dat", &total, nullptr), 0);
  EXPECT_EQ(get_free_space(dir / "x/b/", &total, &free), ENOENT);
}

// ----------------------------------------------------------- standard folders

TEST_F(FileApiTest, StandardFoldersFromHome) {
  EnvVar home("HOME");
  home.set(dir / "home");
  ASSERT_EQ(mkdir((dir / "home").c_str(), 0755), 0);

  std::string s;
  get_OS_abs_path(os_dir_desktop, s);
  EXPECT_EQ(s, dir / "home/");
  s.clear();
  get_OS_abs_path(os_dir_default_apps, s);
  EXPECT_EQ(s, dir / "home/");
  get_OS_abs_path(os_dir_temp, s);
  EXPECT_EQ(s, "/tmp/");
  get_OS_abs_path(os_dir_prefs, s);
  EXPECT_EQ(s, dir / "home/.corvane/");
  EXPECT_TRUE(dir_exists(s));
  get_OS_abs_path(os_dir_prefs, s);  // an existing folder is fine
  EXPECT_EQ(s, dir / "home/.corvane/");

  s = "keep";
  get_OS_abs_path(static_cast<os_dir_type>(7), s);
  EXPECT_EQ(s, "keep");
}

TEST_F(FileApiTest, StandardFoldersWithoutHome) {
  EnvVar home("HOME");
  char old_cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);

  for (int empty = 0; empty < 2; ++empty) {
    if (empty)
      home.set("");
    else
      home.unset();
    for (os_dir_type t : {os_dir_desktop, os_dir_default_apps, os_dir_prefs}) {
      std::string s = "unchanged";
      get_OS_abs_path(t, s);
      EXPECT_EQ(s, "unchanged") << "kind " << t << (empty ? " with empty HOME" : "");
    }
  }
  ASSERT_EQ(chdir(old_cwd), 0);
  EXPECT_TRUE(list_folder(dir.path()).empty());  // nothing made in the current folder
}

TEST(StandardFolderTest, OwnProgram) {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  ASSERT_GT(n, 0);
  const std::string exe(buf, static_cast<std::size_t>(n));

  std::string s;
  get_OS_abs_path(os_dir_this_app_file, s);
  EXPECT_EQ(s, exe);
  get_OS_abs_path(os_dir_this_app, s);
  EXPECT_EQ(s, exe.substr(0, exe.rfind('/') + 1));
}

// -------------------------------------------------------- large address flag

std::string little_endian(unsigned value, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xff);
  return s;
}

// A minimal MS-DOS stub followed at offset 0x80 by a PE signature and COFF
// header whose Characteristics are 0x0102, then some trailing bytes.
std::string small_pe() {
  std::string f(0x80, '\0');
  f[0] = 'M';
  f[1] = 'Z';
  f.replace(60, 4, little_endian(0x80, 4));
  f += std::string("PE\0\0", 4);
  f += little_endian(0x014c, 2);  // machine
  f += little_endian(3, 2);       // sections
  f += little_endian(0x12345678, 4);
  f += little_endian(0, 4);
  f += little_endian(0, 4);
  f += little_endian(0xe0, 2);    // optional header size
  f += little_endian(0x0102, 2);  // characteristics
  f += "trailing bytes that must survive";
  return f;
}

TEST_F(FileApiTest, LargeAddressAwareFlag) {
  const std::string before = small_pe();
  ASSERT_TRUE(write_file(dir / "app.exe", before));
  EXPECT_EQ(make_file_large_address_aware(dir / "app.exe"), 0);
  std::string expected = before;
  expected[0x80 + 22] = static_cast<char>(0x22);  // 0x0102 | 0x0020
  EXPECT_TRUE(read_file(dir / "app.exe") == expected);
  // Setting it again changes nothing.
  EXPECT_EQ(make_file_large_address_aware(dir / "app.exe"), 0);
  EXPECT_TRUE(read_file(dir / "app.exe") == expected);
}

TEST_F(FileApiTest, LargeAddressAwareFlagRefusesOtherFiles) {
  ASSERT_TRUE(write_file(dir / "text", std::string(200, 'T')));
  EXPECT_EQ(make_file_large_address_aware(dir / "text"), err_not_mz);

  std::string no_pe = small_pe();
  no_pe[0x81] = 'X';
  ASSERT_TRUE(write_file(dir / "no_pe.exe", no_pe));
  EXPECT_EQ(make_file_large_address_aware(dir / "no_pe.exe"), err_not_pe);
  EXPECT_TRUE(read_file(dir / "no_pe.exe") == no_pe);

  ASSERT_TRUE(write_file(dir / "short", "MZ"));
  EXPECT_EQ(make_file_large_address_aware(dir / "short"), EIO);
  // The DOS header is whole but the PE header is cut short.
  const std::string cut = small_pe().substr(0, 0x80 + 10);
  ASSERT_TRUE(write_file(dir / "cut.exe", cut));
  EXPECT_EQ(make_file_large_address_aware(dir / "cut.exe"), EIO);
  EXPECT_TRUE(read_file(dir / "cut.exe") == cut);
  // A PE offset far past the end of the file.
  std::string far = small_pe();
  far.replace(60, 4, little_endian(0xfffffff0u, 4));
  ASSERT_TRUE(write_file(dir / "far.exe", far));
  EXPECT_EQ(make_file_large_address_aware(dir / "far.exe"), EIO);

  EXPECT_EQ(make_file_large_address_aware(dir / "missing.exe"), ENOENT);
}

// ------------------------------------------------------ starting a program

TEST_F(FileApiTest, LaunchFailuresReturnToTheCaller) {
  EXPECT_EQ(launch_app(dir / "no_such_program", "arg"), ENOENT);
  ASSERT_TRUE(write_file(dir / "not_executable", "#!/bin/sh\n"));
  ASSERT_EQ(chmod((dir / "not_executable").c_str(), 0644), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(launch_app(dir / "not_executable", ""), EACCES);
  }
  ASSERT_TRUE(write_file(dir / "garbage", std::string(64, '\x01')));
  ASSERT_EQ(chmod((dir / "garbage").c_str(), 0755), 0);
  EXPECT_EQ(launch_app(dir / "garbage", ""), ENOEXEC);
  // Still here, and the failed children were reaped.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// Runs launch_app in a death-test child on a script that records its
// arguments, and returns what it recorded. The folder is handed to the child
// through the environment, because the child runs the test from its start.
std::string launch_and_record(const std::string& program_suffix, const std::string& argument) {
  const char* kVar = "CORVANE_FILES_LAUNCH_DIR";
  const char* inherited = std::getenv(kVar);
  std::unique_ptr<TempDir> own;  // made and removed by the parent only
  if (!inherited) own = std::make_unique<TempDir>();
  const std::string folder = inherited ? std::string(inherited) : own->path();
  if (!inherited) {
    EXPECT_TRUE(own->ok());
    const std::string script =
        "#!/bin/sh\n"
        "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > '" + folder +
        "marker.tmp'\nmv '" + folder + "marker.tmp' '" + folder + "marker'\n";
    EXPECT_TRUE(write_file(folder + "app", script));
    EXPECT_EQ(chmod((folder + "app").c_str(), 0755), 0);
    setenv(kVar, folder.c_str(), 1);
  }

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The orderly shutdown may save settings: keep them in the folder.
        setenv("HOME", folder.c_str(), 1);
        if (chdir(folder.c_str()) != 0) _exit(99);
        launch_app(folder + "app" + program_suffix, argument);
        _exit(98);  // must not get here
      },
      ::testing::ExitedWithCode(1), "");
  unsetenv(kVar);

  std::string marker;
  for (int i = 0; i < 100 && !exists_at_all(folder + "marker"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  marker = read_file(folder + "marker");
  return marker;
}

TEST(LaunchAppDeathTest, PassesTheFolderArgument) {
  EXPECT_EQ(launch_and_record("", "/some folder/with space"), "2\n[-path]\n[/some folder/with space]\n");
}

TEST(LaunchAppDeathTest, EmptyArgumentAndFinalSlash) {
  // "app/" names the program "app"; no argument means no "-path" either.
  EXPECT_EQ(launch_and_record("/", ""), "0\n");
}

}  // namespace
