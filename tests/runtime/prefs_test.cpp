// The preferences files: reading, writing, command-line overrides and damaged
// files.
#include "runtime/prefs.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/installer_state.h"
#include "files/http.h"
#include "runtime/cmdline.h"
#include "support/guarded_reader.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "window/mnw.h"

namespace {

const std::string kHeader = "I\n9002 version\n";

std::vector<std::string> entries_of(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) out.emplace_back(e->d_name);
  closedir(d);
  return out;
}

// Each test runs with HOME at a fresh folder and the working folder at
// another, and leaves the settings, the command line, HOME and the working
// folder as it found them.
class Prefs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home.ok());
    ASSERT_TRUE(work.ok());
    saved_stg = stg;
    saved_mnw = mnw;
    saved_host = http.proxy_host;
    saved_port_text = http.proxy_port_text;
    saved_port = http.proxy_port;
    saved_options = cmdline.options;
    const char* h = getenv("HOME");
    had_home = h != nullptr;
    if (h) saved_home = h;
    ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);

    setenv("HOME", home.path().c_str(), 1);
    ASSERT_EQ(chdir(work.path().c_str()), 0);
    cmdline.options.clear();
    set_state(0, 0, "", "", 0, 0, 0);
  }
  void TearDown() override {
    if (chdir(saved_cwd) != 0) ADD_FAILURE() << "could not return to " << saved_cwd;
    if (had_home)
      setenv("HOME", saved_home.c_str(), 1);
    else
      unsetenv("HOME");
    stg = saved_stg;
    mnw = saved_mnw;
    http.proxy_host = saved_host;
    http.proxy_port_text = saved_port_text;
    http.proxy_port = saved_port;
    cmdline.options = saved_options;
  }

  static void set_state(int streams, int log, const std::string& host, const std::string& port_text,
                        int port, int beta, int lang) {
    stg.stream_count = streams;
    stg.log_actions = log;
    http.proxy_host = host;
    http.proxy_port_text = port_text;
    http.proxy_port = port;
    stg.get_beta = beta;
    mnw.lang = lang;
  }

  std::string prefs_folder() const { return home / ".corvane/"; }
  std::string prefs_file() const { return home / ".corvane/Corvane Installer.prf"; }
  void write_prefs(const std::string& content) { ASSERT_TRUE(write_file(prefs_file(), content)); }

  TempDir home;
  TempDir work;
  stg_struct saved_stg;
  mnw_struct saved_mnw;
  std::string saved_host, saved_port_text;
  int saved_port = 0;
  std::map<std::string, std::string> saved_options;
  bool had_home = false;
  std::string saved_home;
  char saved_cwd[4096];
};

}  // namespace

TEST_F(Prefs, EveryKeyRoundTrips) {
  set_state(3, 1, "proxy host  ", "8080", 8080, 1, 4);
  pref.IO_set(11, 1);
  ASSERT_TRUE(exists_at_all(prefs_file()));
  // Only the finished file is left in the folder.
  EXPECT_EQ(entries_of(prefs_folder()), std::vector<std::string>{"Corvane Installer.prf"});

  set_state(0, 0, "", "", 0, 0, 0);
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 3);
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(http.proxy_host, "proxy host  ");  // blanks inside and at the end kept
  EXPECT_EQ(http.proxy_port_text, "8080");
  EXPECT_EQ(http.proxy_port, 8080);
  EXPECT_EQ(stg.get_beta, 1);
  EXPECT_EQ(mnw.lang, 4);

  // The highest values in range and extreme integers of the unchecked keys
  // survive too; leading blanks of a text do not.
  set_state(4, INT_MAX, "  lead", "", 65535, INT_MIN, 6);
  pref.IO_set(11, 1);
  set_state(0, 0, "", "", 0, 0, 0);
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 4);
  EXPECT_EQ(stg.log_actions, INT_MAX);
  EXPECT_EQ(http.proxy_host, "lead");
  EXPECT_EQ(http.proxy_port, 65535);
  EXPECT_EQ(stg.get_beta, INT_MIN);
  EXPECT_EQ(mnw.lang, 6);
}

// A stream count, language or proxy port number outside what the program can
// use is put back to 0 and logged, whether it came from the file or from a
// "--pref:" option; the values at the edges of each range are kept quietly.
TEST_F(Prefs, OutOfRangeValuesBecomeZero) {
  struct Key {
    const char* key;
    int* value;
    int lo, hi;
  };
  const Key keys[] = {
      {"_stream_count", &stg.stream_count, 0, 4},
      {"_lang", &mnw.lang, 0, 6},
      {"_proxy_port_int", &http.proxy_port, 0, 65535},
  };
  LogCapture log(work / "log.txt");
  std::size_t logged = 0;
  for (const Key& k : keys) {
    for (bool from_option : {false, true}) {
      for (const long long v : {static_cast<long long>(k.lo) - 1, static_cast<long long>(k.hi) + 1,
                                static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX),
                                static_cast<long long>(k.lo), static_cast<long long>(k.hi)}) {
        const std::string text = std::to_string(v);
        const bool in_range = v >= k.lo && v <= k.hi;
        cmdline.options.clear();
        if (from_option) {
          // The file says something valid; the option wins and is checked.
          write_prefs(kHeader + k.key + " 1\n");
          cmdline.options[std::string("--pref:") + k.key] = text;
        } else {
          write_prefs(kHeader + k.key + " " + text + "\n");
        }
        *k.value = 3;
        pref.IO_set(11, 0);
        const std::string where = std::string(k.key) + " = " + text + (from_option ? " (option)" : " (file)");
        EXPECT_EQ(*k.value, in_range ? static_cast<int>(v) : 0) << where;

        const std::string all = log.text();
        const std::string line = std::string("Preferences: ") + k.key + " " + text + " is out of range; using 0.\n";
        if (in_range) {
          EXPECT_EQ(all.size(), logged) << where << ": " << all.substr(logged);
        } else {
          EXPECT_EQ(all.substr(logged), line) << where;
        }
        logged = all.size();
      }
    }
  }
  cmdline.options.clear();

  // What was put back is what is saved.
  write_prefs(kHeader + "_stream_count 5\n_lang -1\n_proxy_port_int 70000\n_get_beta 1\n");
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.get_beta, 1);
  pref.IO_set(11, 1);
  const std::string saved = read_file(prefs_file());
  for (const char* line : {"\n_stream_count 0\n", "\n_proxy_port_int 0\n", "\n_lang 0\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << saved;

  // The display preferences check their language too.
  ASSERT_TRUE(write_file(work / "Resources/preferences/Res Halden.prf", kHeader + "_lang 7\n"));
  mnw.lang = 2;
  pref.IO_set(10, 0);
  EXPECT_EQ(mnw.lang, 0);
  EXPECT_NE(log.text().find("Preferences: _lang 7 is out of range; using 0.\n"), std::string::npos);
}

TEST_F(Prefs, WrittenFileHasExactBytes) {
  set_state(0, 1, "", "", 0, 0, 0);
  pref.IO_set(11, 1);
  EXPECT_EQ(read_file(prefs_file()), kHeader +
                                         "_stream_count 0\n_log_actions 1\n_proxy_port_int 0\n"
                                         "_get_beta 0\n_lang 0\n");

  set_state(2, 0, "proxy.example.com", "3128", 3128, 1, 2);
  pref.IO_set(11, 1);
  EXPECT_EQ(read_file(prefs_file()), kHeader +
                                         "_stream_count 2\n_log_actions 0\n_proxy_host proxy.example.com\n"
                                         "_proxy_port 3128\n_proxy_port_int 3128\n_get_beta 1\n_lang 2\n");
}

TEST_F(Prefs, ReadingFollowsTheLineRules) {
  write_prefs(kHeader +
              "\n\n  _lang\t5\r\n"
              "_unknown whatever\r\n"
              "_stream_count\r\n"          // no value: 0
              "_get_beta 3abc\n"           // digits up to the letters
              "_log_actions 1\n"
              "_log_actions 7\n"           // the later line wins
              "_proxy_port \t 81 \t\n"     // blanks before the value skipped, after it kept
              "_proxy_port_int +12\n");
  set_state(4, 0, "kept", "", 9, 0, 0);
  pref.IO_set(11, 0);
  EXPECT_EQ(mnw.lang, 5);
  EXPECT_EQ(stg.stream_count, 0);
  EXPECT_EQ(stg.get_beta, 3);
  EXPECT_EQ(stg.log_actions, 7);
  EXPECT_EQ(http.proxy_port_text, "81 \t");
  EXPECT_EQ(http.proxy_port, 12);
  EXPECT_EQ(http.proxy_host, "kept");  // absent key: unchanged
}

TEST_F(Prefs, CommandLineOptionsWinOverTheFile) {
  write_prefs(kHeader + "_stream_count 4\n_proxy_host from.file\n_get_beta 1\n");
  cmdline.options["--pref:_stream_count"] = "2";
  cmdline.options["--pref:_proxy_host"] = "";  // given without "=": an empty value
  cmdline.options["--pref:_lang"] = "3";
  cmdline.options["--pref:_nonsense"] = "1";
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 2);
  EXPECT_EQ(http.proxy_host, "");
  EXPECT_EQ(mnw.lang, 3);
  EXPECT_EQ(stg.get_beta, 1);  // no option: the file's value

  // What the option gave is what is saved.
  pref.IO_set(11, 1);
  const std::string saved = read_file(prefs_file());
  EXPECT_NE(saved.find("\n_stream_count 2\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("_proxy_host"), std::string::npos) << saved;

  // Options apply when there is no file at all.
  ASSERT_EQ(unlink(prefs_file().c_str()), 0);
  stg.stream_count = 0;
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 2);
}

TEST_F(Prefs, MissingOrForeignFilesLeaveTheValues) {
  const std::string body = "_stream_count 4\n_log_actions 1\n_lang 2\n";
  const std::vector<std::string> ignored = {
      "",                                 // no file at all (nothing written below)
      std::string(),                      // an empty file
      "I\n9001 version\n" + body,         // another version
      "X\n9002 version\n" + body,         // not a text header
      "I\n90020 version\n" + body,        // a longer number
      std::string("i\x2a\x23\0\0", 5) + body,  // a binary header
      "I\n" + body,                       // no version line
  };
  for (std::size_t i = 0; i < ignored.size(); ++i) {
    if (i > 0) write_prefs(ignored[i]);
    set_state(1, 0, "h", "p", 5, 0, 6);
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.stream_count, 1) << i;
    EXPECT_EQ(stg.log_actions, 0) << i;
    EXPECT_EQ(mnw.lang, 6) << i;
    EXPECT_EQ(http.proxy_host, "h") << i;
  }

  // The "A" dialect is read like "I", and a folder in place of the file
  // reads as no file.
  write_prefs("A\n9002 version\n" + body);
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 4);
  ASSERT_EQ(unlink(prefs_file().c_str()), 0);
  ASSERT_EQ(mkdir(prefs_file().c_str(), 0755), 0);
  stg.stream_count = 1;
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 1);
}

TEST_F(Prefs, LineBreaksInValuesCannotAddLines) {
  const std::string host = std::string("evil\n_stream_count 4\r\n_get_beta 1\0x", 35);
  set_state(0, 0, host, "80\r\n", 80, 0, 0);
  pref.IO_set(11, 1);
  EXPECT_EQ(read_file(prefs_file()), kHeader +
                                         "_stream_count 0\n_log_actions 0\n"
                                         "_proxy_host evil_stream_count 4_get_beta 1x\n"
                                         "_proxy_port 80\n_proxy_port_int 80\n_get_beta 0\n_lang 0\n");
  set_state(0, 0, "", "", 0, 0, 0);
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 0);
  EXPECT_EQ(stg.get_beta, 0);
  EXPECT_EQ(http.proxy_host, "evil_stream_count 4_get_beta 1x");
  EXPECT_EQ(http.proxy_port_text, "80");
}

TEST_F(Prefs, WithoutHomeNothingIsReadOrWritten) {
  LogCapture log(work / "log.txt");
  // A preferences file in the working folder and one in the would-be folder
  // of an empty path are both left alone.
  ASSERT_TRUE(write_file(work / "Corvane Installer.prf", kHeader + "_stream_count 4\n"));
  ASSERT_TRUE(write_file(work / ".corvane/Corvane Installer.prf", kHeader + "_stream_count 4\n"));
  const std::string before_cwd = read_file(work / "Corvane Installer.prf");

  for (bool set_but_empty : {false, true}) {
    if (set_but_empty)
      setenv("HOME", "", 1);
    else
      unsetenv("HOME");
    EXPECT_EQ(pref_file_path(11), "");

    set_state(1, 0, "", "", 0, 0, 0);
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.stream_count, 1);

    set_state(3, 1, "host", "1", 1, 1, 1);
    pref.IO_set(11, 1);
    std::vector<std::string> in_work = entries_of(work.path());
    std::sort(in_work.begin(), in_work.end());
    EXPECT_EQ(in_work, (std::vector<std::string>{".corvane", "Corvane Installer.prf", "log.txt"}));
    EXPECT_EQ(entries_of(work / ".corvane"), std::vector<std::string>{"Corvane Installer.prf"});
    EXPECT_EQ(read_file(work / "Corvane Installer.prf"), before_cwd);
    EXPECT_EQ(read_file(work / ".corvane/Corvane Installer.prf"), before_cwd);
    EXPECT_TRUE(entries_of(home.path()).empty());
  }
  EXPECT_NE(log.text().find("Preferences not saved: there is no home folder"), std::string::npos);
}

TEST_F(Prefs, FailedWriteKeepsTheEarlierFile) {
  const std::string old_file = kHeader + "_stream_count 4\n_log_actions 1\n";
  write_prefs(old_file);
  set_state(2, 0, std::string(300, 'h'), "8080", 8080, 0, 0);

  // The file may grow to 20 bytes only: the header fits, the lines do not, so
  // the close fails. Run in a child, which alone gets the limit.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {20, 20};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    scan_class scan(prefs_file(), 1);
    scan.int_io(&stg.stream_count, "_stream_count");
    scan.fetch_or_get(http.proxy_host, http.proxy_host, "_proxy_host");
    _exit(scan.close() == 0 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "close() must report the failed write";
  EXPECT_EQ(read_file(prefs_file()), old_file);
  EXPECT_EQ(entries_of(prefs_folder()), std::vector<std::string>{"Corvane Installer.prf"});

  // The same through IO_set.
  const pid_t second = fork();
  ASSERT_GE(second, 0);
  if (second == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {20, 20};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    pref.IO_set(11, 1);
    _exit(0);
  }
  ASSERT_EQ(waitpid(second, &status, 0), second);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(read_file(prefs_file()), old_file);
  EXPECT_EQ(entries_of(prefs_folder()), std::vector<std::string>{"Corvane Installer.prf"});

  // Without the limit the same state is written.
  pref.IO_set(11, 1);
  EXPECT_NE(read_file(prefs_file()), old_file);
  EXPECT_NE(read_file(prefs_file()).find("_stream_count 2\n"), std::string::npos);
}

TEST_F(Prefs, ReadOnlyFolderKeepsTheEarlierFile) {
  const std::string old_file = kHeader + "_stream_count 4\n";
  write_prefs(old_file);
  ASSERT_EQ(chmod(home.path().c_str(), 0755), 0);  // reachable by an ordinary user
  ASSERT_EQ(chmod(prefs_folder().c_str(), 0555), 0);
  set_state(2, 0, "", "", 0, 0, 0);
  // Root writes into read-only folders: the write runs as an ordinary user.
  EXPECT_EQ(as_unprivileged_user([] {
              pref.IO_set(11, 1);
              return 0;
            }),
            0);
  chmod(prefs_folder().c_str(), 0755);
  EXPECT_EQ(read_file(prefs_file()), old_file);
  EXPECT_EQ(entries_of(prefs_folder()), std::vector<std::string>{"Corvane Installer.prf"});
}

TEST_F(Prefs, FailedRenameLeavesNoTemporary) {
  // A folder where the file should be cannot be replaced by it.
  ASSERT_TRUE(write_file(prefs_file() + "/inside", "keep"));
  LogCapture log(work / "log.txt");
  scan_class scan(prefs_file(), 1);
  scan.int_io(&stg.stream_count, "_stream_count");
  EXPECT_EQ(scan.close(), 0);
  EXPECT_EQ(scan.close(), 1);  // nothing left to close
  EXPECT_EQ(read_file(prefs_file() + "/inside"), "keep");
  EXPECT_EQ(entries_of(prefs_folder()), std::vector<std::string>{"Corvane Installer.prf"});
  EXPECT_NE(log.text().find("Preferences not saved to"), std::string::npos);
}

TEST_F(Prefs, DisplayAndHeaderOnlyFiles) {
  ASSERT_EQ(mkdir("Resources", 0755), 0);
  mnw.x_res_req = 1280;
  mnw.y_res_req = 1024;
  mnw.col_res_req = 32;
  mnw.set_res = 1;
  mnw.lang = 2;
  mnw.alias_req = 4;
  mnw.sec_mon_inuse = 1;
  pref.IO_set(10, 1);
  const std::string display = read_file(work / "Resources/preferences/Res Halden.prf");
  EXPECT_EQ(display.compare(0, kHeader.size(), kHeader), 0) << display;
  for (const char* line : {"\n_x_res_req_ALL 1280\n_y_res_req_ALL 1024\n_col_res_req 32\n_set_res 1\n"
                           "_lang 2\n_alias_req 4\n_keylist_up ",
                           "\n_sec_mon_inuse 1\n_prefs_found 1\n"})
    EXPECT_NE(display.find(line), std::string::npos) << display;

  mnw.x_res_req = mnw.y_res_req = mnw.col_res_req = mnw.set_res = mnw.lang = mnw.alias_req = 0;
  mnw.sec_mon_inuse = 0;
  pref.IO_set(10, 0);
  EXPECT_EQ(mnw.x_res_req, 1280);
  EXPECT_EQ(mnw.y_res_req, 1024);
  EXPECT_EQ(mnw.col_res_req, 32);
  EXPECT_EQ(mnw.set_res, 1);
  EXPECT_EQ(mnw.lang, 2);
  EXPECT_EQ(mnw.alias_req, 4);
  EXPECT_EQ(mnw.sec_mon_inuse, 1);

  // Sizes out of range become 1024 x 768, whether read or written.
  mnw.x_res_req = 599;
  mnw.y_res_req = 10000;
  pref.IO_set(10, 1);
  EXPECT_EQ(mnw.x_res_req, 1024);
  EXPECT_EQ(mnw.y_res_req, 768);
  // A missing file still sets the size from what was carried (599 x 10000).
  ASSERT_EQ(unlink("Resources/preferences/Res Halden.prf"), 0);
  mnw.x_res_req = 1600;
  mnw.y_res_req = 1200;
  pref.IO_set(10, 0);
  EXPECT_EQ(mnw.x_res_req, 1024);
  EXPECT_EQ(mnw.y_res_req, 768);

  // File 12 holds the header only.
  pref.IO_set(12, 1);
  EXPECT_EQ(read_file(work / "Resources/preferences/Cal Corvane.prf"), kHeader);

  // Other numbers and directions touch nothing.
  pref.IO_set(13, 1);
  pref.IO_set(11, 2);
  EXPECT_EQ(entries_of(work / "Resources/preferences"), std::vector<std::string>{"Cal Corvane.prf"});
  EXPECT_TRUE(entries_of(home.path()).empty());
  EXPECT_EQ(pref.IO_sta(0, 0, "x"), 0);
}

TEST(PrefsParse, IntegersAsAtoiWithoutOverflow) {
  const struct {
    const char* text;
    int want;
  } cases[] = {
      {"", 0},
      {"42", 42},
      {"  \t\v\f42", 42},
      {"-7", -7},
      {"+5", 5},
      {"3abc", 3},
      {"abc", 0},
      {"- 5", 0},
      {"--5", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", INT_MAX},
      {"-2147483649", INT_MIN},
      {"000000000000000000000000000012", 12},
      {"99999999999999999999999999999999", INT_MAX},
      {"-99999999999999999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(pref_parse_int(c.text), c.want) << '"' << c.text << '"';
  EXPECT_EQ(pref_parse_int(std::string("12\0" "34", 5)), 12);
}

TEST(PrefsParse, EveryPrefixOfAFileReadsWithinItsBytes) {
  const std::string file = kHeader +
                           "_stream_count 3\r\n_log_actions 1\n\n_proxy_host a b  \n_proxy_port\t8080\n"
                           "_proxy_port_int 8080\n_get_beta 1\n_lang 4";
  std::map<std::string, std::string> full;
  ASSERT_EQ(pref_parse_file(file.data(), file.data() + file.size(), full), 1);
  ASSERT_EQ(full.size(), 7u);
  EXPECT_EQ(full["_proxy_host"], "a b  ");
  EXPECT_EQ(full["_lang"], "4");

  for (std::size_t len = 0; len <= file.size(); ++len) {
    // A block of exactly len bytes: AddressSanitizer sees any read past it.
    std::unique_ptr<char[]> block(new char[len]);
    memcpy(block.get(), file.data(), len);
    std::map<std::string, std::string> values = {{"stale", "x"}};
    const int ok = pref_parse_file(block.get(), block.get() + len, values);
    // "I\n9002" is the shortest prefix whose version reads as 9002.
    EXPECT_EQ(ok, len >= 6 ? 1 : 0) << len;
    // Every pair read is a pair of the whole file, or the start of one.
    for (const auto& [key, value] : values) {
      bool found = false;
      for (const auto& [k, v] : full)
        if (k.compare(0, key.size(), key) == 0 && v.compare(0, value.size(), value) == 0) found = true;
      EXPECT_TRUE(found) << len << ": " << key << "=" << value;
    }
    if (len == file.size()) {
      EXPECT_EQ(values, full);
    }
  }
}

TEST(PrefsParse, MalformedBodies) {
  const struct {
    std::string body;
    std::map<std::string, std::string> want;
  } cases[] = {
      {"", {}},
      {std::string(5, '\0'), {}},
      {"\r\r\n\n \t", {}},
      {"key", {{"key", ""}}},
      {"key ", {{"key", ""}}},
      {"key \t", {{"key", ""}}},
      {"key value", {{"key", "value"}}},
      {std::string("a 1\0b 2\0\0c", 10), {{"a", "1"}, {"b", "2"}, {"c", ""}}},
      {"\xff\xfe \x80\x81", {{"\xff\xfe", "\x80\x81"}}},
      {"a 1\na 2\na", {{"a", ""}}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<char[]> block(new char[c.body.size()]);
    memcpy(block.get(), c.body.data(), c.body.size());
    std::map<std::string, std::string> values;
    pref_parse_body(block.get(), block.get() + c.body.size(), values);
    EXPECT_EQ(values, c.want) << c.body;
  }
  std::map<std::string, std::string> values;
  pref_parse_body(nullptr, nullptr, values);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(pref_parse_file(nullptr, nullptr, values), 0);
}

TEST(PrefsParse, MappedFileEndingMidValueAtAPageEdge) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::string file = kHeader + "_proxy_host ";
  file += std::string(page - file.size(), 'h');
  ASSERT_TRUE(write_file(dir / "edge.prf", file));
  GuardedReader guarded(dir / "edge.prf");
  if (!guarded.guarded()) GTEST_SKIP() << "could not place a guard page after the mapping";
  std::map<std::string, std::string> values;
  ASSERT_EQ(pref_parse_file(guarded.reader.start, guarded.reader.end, values), 1);
  EXPECT_EQ(values["_proxy_host"].size(), page - kHeader.size() - 12);
}
