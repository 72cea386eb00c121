// The directory fetch against a real HTTP server on 127.0.0.1, reached
// through the proxy settings as the installer reaches its servers.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/directory.h"
#include "engine/installer_state.h"
#include "engine/server_list.h"
#include "files/archives.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "wizard/wizard.h"

namespace {

const std::string kListHeader = "I\n820 version\nSERVERS\n";
const std::string kDirectory =
    "I\n900 version\nINSTALLER\n"
    "DIR Halden/\n"
    "FILE 0 0 0 10 20 0123456789abcdef0123456789abcdef Resources/a.txt\n"
    "FILE 0 0 0 11 21 fedcba9876543210fedcba9876543210 Airfoils/b.afl\n";

class DirectoryFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(www.ok() && tmp.ok());
    server = std::make_unique<TestHttpServer>(www.path());
    saved_stg = stg;
    stg_reset_for_start();
    temp_path = tmp.path();
    install_name = no_install_name;
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server->port();
    sim_info.clear();
  }
  void TearDown() override {
    for (int slot = 0; slot < http_class::kSlots; ++slot) http.abort(slot);
    http.proxy_host.clear();
    http.proxy_port = 0;
    stg = saved_stg;
    sim_info.clear();
    temp_path.clear();
    install_name.clear();
    app_done = 0;
    xtim.xtim_update();
    for (int i = 0; i < kMaxServers; ++i) server_name[i] = server_path[i] = server_desc[i] = "";
  }

  // Puts the directory archive where a server with that path would serve it.
  void publish_directory(const std::string& server_folder, const std::string& text = kDirectory) {
    ASSERT_TRUE(write_file(tmp / "src/directory.txt", text));
    ASSERT_TRUE(write_file(www / (server_folder + "placeholder"), ""));
    ASSERT_EQ(file_to_zip(tmp / "src/directory.txt", www / (server_folder + "directory.txt.zip")), 0);
  }

  // Runs frames, as the search screen does, until done() or a time limit.
  template <class Done>
  bool run_frames(Done done, double seconds = 15.0) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      xtim.xtim_update();
      UTL_download_directory();
      timespec ts{0, 1000000};
      nanosleep(&ts, nullptr);
    }
    return true;
  }

  // Frames whose frame timer moves on 0.05 s each while no transfer of the
  // search is under way, however little real time passes, so that the
  // pauses between tries go by quickly. While one is, the timer keeps to
  // real time: a server that is slow to answer on a busy machine is never
  // given up as silent. The number of fast frames run; -1 when done() did
  // not come within the limit of fast frames (or of real time).
  template <class Done>
  int run_fast_frames(Done done, int limit = 20000) {
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    for (int frames = 0; frames < limit;) {
      if (done()) return frames;
      const auto now = std::chrono::steady_clock::now();
      if (now - start > std::chrono::milliseconds(kProgramTimeoutMs)) return -1;
      if (http.slots[0] || http.slots[1]) {
        xtim.elapsed += std::chrono::duration<float>(now - last).count();
      } else {
        xtim.elapsed += 0.05f;
        ++frames;
      }
      last = now;
      UTL_download_directory();
      timespec ts{0, 200000};
      nanosleep(&ts, nullptr);
    }
    return -1;
  }

  // A fresh search, as when the search screen is entered anew.
  void new_search() {
    for (int slot = 0; slot < 2; ++slot) http.abort(slot);
    stg_reset_for_start();
    install_name = no_install_name;
    server->clear_requests();
  }

  TempDir www, tmp;
  std::unique_ptr<TestHttpServer> server;
  stg_struct saved_stg{};
};

TEST_F(DirectoryFetchTest, FromServerListToTheFileTable) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader +
                                                      "FINAL v910\n"
                                                      "SERVER update.example.com\n"
                                                      "/corvane/\n"
                                                      "The first server\n"
                                                      "ENDOFLIST\n"));
  publish_directory("corvane/v910/");

  EXPECT_EQ(stg.num_servers, -1);
  ASSERT_TRUE(run_frames([] { return stg.dir_status == 3; }));
  EXPECT_EQ(stg.num_servers, 1);
  EXPECT_EQ(stg.server_index, 0);
  EXPECT_EQ(server_name[0], "update.example.com");
  EXPECT_EQ(server_path[0], "/corvane/v910/");
  EXPECT_EQ(server_desc[0], "The first server");
  ASSERT_EQ(sim_info.size(), 2u);
  EXPECT_EQ(sim_info[1].versions.back().path, "Halden/Airfoils/b.afl");
  EXPECT_FALSE(exists_at_all(tmp / "directory.txt.zip")) << "the archive is deleted after unpacking";
  EXPECT_TRUE(exists_at_all(tmp / "directory.txt"));

  const auto requests = server->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "http://www.example.com/serverlist9.txt");
  EXPECT_EQ(requests[0].host, "www.example.com");
  EXPECT_EQ(requests[1].target, "http://update.example.com/corvane/v910/directory.txt.zip");
  EXPECT_EQ(requests[1].host, "update.example.com");

  // Once read, the step does nothing more.
  UTL_download_directory();
  EXPECT_EQ(server->requests().size(), 2u);
}

TEST_F(DirectoryFetchTest, FinalAndBetaNamesAndTheOrderOfRecords) {
  const std::string list = kListHeader +
                           "SERVER early.example.com\n/e/\nBefore any name\n"
                           "BETA v911b\n"
                           "FINAL v910\n"
                           "SERVER a.example.com\n\n   /a/\n\n  Server A  \n";
  read_server_list(list.data() + kListHeader.size(), list.data() + list.size());
  ASSERT_EQ(stg.num_servers, 2);
  EXPECT_EQ(server_path[0], "/e/Not Yet Scanned/") << "a server before the name keeps the name then in force";
  EXPECT_EQ(server_path[1], "/a/v910/");
  EXPECT_EQ(server_desc[1], "Server A  ") << "leading blanks go, trailing blanks stay";

  stg.get_beta = 1;
  install_name = no_install_name;
  read_server_list(list.data() + kListHeader.size(), list.data() + list.size());
  EXPECT_EQ(server_path[1], "/a/v911b/");

  stg.get_beta = 0;
  install_name = no_install_name;
  const std::string beta_only = "BETA v911b\nSERVER a.example.com\n/a/\nA\n";
  read_server_list(beta_only.data(), beta_only.data() + beta_only.size());
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(server_path[0], "/a/Not Yet Scanned/");
}

TEST_F(DirectoryFetchTest, TenServersAtMostAndNothingAfterTheEnd) {
  std::string list;
  for (int i = 0; i < 12; ++i) list += "SERVER s" + std::to_string(i) + ".example.com\n/p" + std::to_string(i) + "/\nD\n";
  list += "SERVERS x.example.com\n/x/\nNot a record\nENDOFLIST\nSERVER late.example.com\n/l/\nL\n";
  EXPECT_EQ(read_server_list(list.data(), list.data() + list.size()), 10);
  EXPECT_EQ(stg.num_servers, 10);
  EXPECT_EQ(server_name[9], "s9.example.com");
  for (int i = 0; i < 10; ++i) EXPECT_NE(server_name[i], "late.example.com");

  const std::string no_end = "SERVER a.example.com\n/a/\nA\nSERVER b.example.com\n/b/\nB";
  EXPECT_EQ(read_server_list(no_end.data(), no_end.data() + no_end.size()), 2) << "read to the end of the data";
  EXPECT_EQ(server_desc[1], "B");
}

TEST_F(DirectoryFetchTest, BadServerRecordsAreSkipped) {
  TempDir logdir;
  LogCapture log(logdir / "log.txt");
  const std::string list =
      "SERVER\n/empty-host/\nE\n"
      "SERVER slash.example.com/\n/p/\nS\n"
      "SERVER rel.example.com\nno-leading-slash/\nR\n"
      "SERVER ok.example.com\n/no-final-slash\nOK\n";
  EXPECT_EQ(read_server_list(list.data(), list.data() + list.size()), 1);
  EXPECT_EQ(server_name[0], "ok.example.com");
  EXPECT_EQ(server_path[0], "/no-final-slash/Not Yet Scanned/");
  const std::string text = log.text();
  EXPECT_NE(text.find("\"slash.example.com/\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"rel.example.com\""), std::string::npos) << text;
}

TEST_F(DirectoryFetchTest, FallsBackToAnotherServerAfterA404) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader +
                                                      "FINAL v9\n"
                                                      "SERVER gone.example.com\n/gone/\nGone\n"
                                                      "SERVER good.example.com\n/good/\nGood\n"));
  publish_directory("good/v9/");
  ASSERT_TRUE(run_frames([] { return stg.num_servers != -1; }));
  stg.server_index = 0;  // as if the user chose the first server
  ASSERT_TRUE(run_frames([] { return stg.dir_status == 3; }));
  EXPECT_EQ(stg.server_index, 1);
  EXPECT_GE(server->count("/gone/v9/directory.txt.zip"), 1);
  EXPECT_EQ(server->count("/good/v9/directory.txt.zip"), 1);
  EXPECT_EQ(sim_info.size(), 2u);
}

TEST_F(DirectoryFetchTest, AListWithoutServersIsFetchedAgainAfterAPause) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER bad/\n/x/\nX\nENDOFLIST\n"));
  ASSERT_TRUE(run_frames([&] { return server->count("/serverlist9.txt") >= 2; }));
  EXPECT_EQ(stg.num_servers, -1);
  EXPECT_EQ(stg.dir_status, 0);

  // With a usable list in place the fetch goes on.
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  publish_directory("s/v9/");
  ASSERT_TRUE(run_frames([] { return stg.dir_status == 3; }));
}

TEST_F(DirectoryFetchTest, ANewerServerListEndsTheRun) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", "I\n821 version\nSERVERS\nSERVER s.example.com\n/s/\nS\n"));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(run_frames([] { return app_done != 0; }));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(stg.format_too_new, 2);
  EXPECT_EQ(stg.num_servers, -1);
}

TEST_F(DirectoryFetchTest, ADamagedDirectoryArchiveIsReportedAndFetchedAgain) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  ASSERT_TRUE(write_file(www / "s/v9/directory.txt.zip", "PK this is no zip archive"));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(run_frames([&] { return server->count("/s/v9/directory.txt.zip") >= 2; }));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("The installer cannot extract a file."), std::string::npos) << err;
  EXPECT_NE(err.find("Destination Path/" + tmp.path()), std::string::npos) << err;
  EXPECT_EQ(stg.dir_status, 0);
  EXPECT_EQ(stg.server_index, 0);
}

TEST_F(DirectoryFetchTest, ADirectoryArchiveWithMoreThanTheDirectoryIsRefused) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  TempDir logdir, staging;
  ASSERT_TRUE(logdir.ok() && staging.ok());
  LogCapture log(logdir / "log.txt");
  ASSERT_TRUE(write_file(staging / "extra/directory.txt", kDirectory));
  ASSERT_TRUE(write_file(staging / "extra/intruder.txt", "not part of the directory"));
  ASSERT_TRUE(write_file(staging / "link/placeholder", ""));
  // A link entry in the directory's place, to the server list beside it.
  ASSERT_EQ(symlink("serverlist9.txt", (staging / "link/directory.txt").c_str()), 0);
  struct Case {
    const char* what;
    std::string command;
    int code;
  };
  const std::string archive = www / "s/v9/directory.txt.zip";
  ASSERT_TRUE(write_file(www / "s/v9/placeholder", ""));
  const Case cases[] = {
      {"a second file", "cd '" + staging / "extra" + "' && zip -q '" + archive + "' directory.txt intruder.txt",
       err_not_the_file},
      {"a link", "cd '" + staging / "link" + "' && zip -q -y '" + archive + "' directory.txt", err_not_the_file},
      {"a file larger than any directory",
       "python3 -c \"import zipfile\nwith zipfile.ZipFile('" + archive +
           "', 'w', zipfile.ZIP_DEFLATED) as z, z.open('directory.txt', 'w') as f:\n"
           "  for i in range(" + std::to_string(kDirectoryMaxBytes / (1 << 20) + 1) +
           "): f.write(bytes(1 << 20))\"",
       err_too_large},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(archive.c_str());
    ASSERT_EQ(std::system(c.command.c_str()), 0);
    const int fetched = server->count("/s/v9/directory.txt.zip");
    const std::string refused = "cannot be unpacked: " + error_str(c.code);
    const int refusals = occurrences(log.text(), refused);
    testing::internal::CaptureStderr();
    // Refused like an archive that cannot be unpacked: reported, and
    // fetched again, and refused again (then nothing of it is left).
    ASSERT_TRUE(run_frames([&] {
      return server->count("/s/v9/directory.txt.zip") >= fetched + 2 && occurrences(log.text(), refused) >= refusals + 2;
    }));
    const std::string err = testing::internal::GetCapturedStderr();
    if (&c == &cases[0]) {
      // The first failure of a search is shown, the later ones logged.
      EXPECT_NE(err.find("The installer cannot extract a file."), std::string::npos) << err;
      EXPECT_NE(err.find("Error: " + error_str(c.code)), std::string::npos) << err;
    } else {
      EXPECT_EQ(err.find("The installer cannot extract a file."), std::string::npos) << err;
    }
    EXPECT_NE(log.text().find("cannot be unpacked: " + error_str(c.code)), std::string::npos);
    EXPECT_EQ(stg.dir_status, 0);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_FALSE(exists_at_all(tmp / "directory.txt"));
    EXPECT_FALSE(exists_at_all(tmp / "intruder.txt"));
    EXPECT_FALSE(exists_at_all(tmp / "directory.txt.zip"));
  }
  const std::string text = log.text();
  const std::string refusal =
      "Refused to unpack " + tmp / "directory.txt.zip" + ": it should hold only the file \"directory.txt\"";
  EXPECT_NE(text.find(refusal), std::string::npos) << text;
}

TEST_F(DirectoryFetchTest, AnswersThatAreNoUsableListEndTheSearchAfterBoundedTries) {
  struct Case {
    const char* what;
    std::string body;
  };
  const Case cases[] = {
      {"an error page", "<html><body>Internal Server Error</body></html>\n"},
      {"an empty answer", ""},
      {"a page whose first line begins with I", "Index of /\n900 versions of nothing\n"},
      {"a list of the wrong kind", "I\n820 version\nINSTALLER\nSERVER s.example.com\n/s/\nS\n"},
      {"a list without a usable server", kListHeader + "FINAL v9\nSERVER bad/\n/x/\nX\n"},
      {"a list whose version name is empty", kListHeader + "FINAL   \nSERVER s.example.com\n/s/\nS\n"},
  };
  publish_directory("s/v9/");
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    new_search();
    ASSERT_TRUE(write_file(www / "serverlist9.txt", c.body));
    ASSERT_GE(run_fast_frames([] { return stg.dir_status != 0; }), 0);
    EXPECT_EQ(stg.dir_status, 2) << "the screens' \"problem reading\" state";
    EXPECT_EQ(stg.num_servers, 0);
    EXPECT_EQ(server->count("/serverlist9.txt"), kMaxFetchTries);
    EXPECT_EQ(server->count("/s/v9/directory.txt.zip"), 0);
    EXPECT_EQ(install_name, no_install_name);
    EXPECT_EQ(app_done, 0) << "no newer-installer end for an answer that is no list";
    EXPECT_EQ(stg.format_too_new, 0);
    // The search stays over.
    EXPECT_EQ(run_fast_frames([] { return false; }, 40), -1);
    EXPECT_EQ(server->count("/serverlist9.txt"), kMaxFetchTries);
  }
  testing::internal::GetCapturedStderr();

  // The list's own transfer failing is bounded the same way.
  new_search();
  std::remove((www / "serverlist9.txt").c_str());
  ASSERT_GE(run_fast_frames([] { return stg.dir_status != 0; }), 0);
  EXPECT_EQ(stg.dir_status, 2);
  EXPECT_EQ(server->count("/serverlist9.txt"), kMaxFetchTries);

  // Asked for again (its screen entered anew), the search that gave up
  // starts afresh, and then finds the directory.
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  EXPECT_TRUE(restart_failed_directory_search());
  ASSERT_GE(run_fast_frames([] { return stg.dir_status == 3 || stg.dir_status == 2; }), 0);
  EXPECT_EQ(stg.dir_status, 3);
  EXPECT_EQ(server->count("/serverlist9.txt"), kMaxFetchTries + 1);
  EXPECT_FALSE(restart_failed_directory_search()) << "a search that found the directory stays done";
  EXPECT_EQ(stg.dir_status, 3);

  // A good list after a few bad answers is still taken.
  new_search();
  ASSERT_TRUE(write_file(www / "serverlist9.txt", "garbage"));
  ASSERT_GE(run_fast_frames([&] { return server->count("/serverlist9.txt") >= 3; }), 0);
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  ASSERT_GE(run_fast_frames([] { return stg.dir_status == 3 || stg.dir_status == 2; }), 0);
  EXPECT_EQ(stg.dir_status, 3);
  EXPECT_EQ(install_name, "v9");
}

TEST_F(DirectoryFetchTest, AListOrDirectoryArchiveOverItsBoundIsAFailedTryAndNothingLargerIsWritten) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  publish_directory("s/v9/");
  TempDir logdir;
  ASSERT_TRUE(logdir.ok());
  LogCapture log(logdir / "log.txt");
  using Fault = TestHttpServer::Fault;
  struct Case {
    const char* what;
    std::string path;  // asked of the server
    std::string file;  // where it is written
    Fault fault;
    long long bytes;
    int64_t bound;
  };
  const Case cases[] = {
      {"a list with a length", "/serverlist9.txt", "serverlist9.txt", Fault::long_body, kServerListMaxBytes + 1,
       kServerListMaxBytes},
      {"a list without one", "/serverlist9.txt", "serverlist9.txt", Fault::unannounced, 4 << 20,
       kServerListMaxBytes},
      {"a list in chunks", "/serverlist9.txt", "serverlist9.txt", Fault::chunked, 4 << 20, kServerListMaxBytes},
      {"a directory with a length", "/s/v9/directory.txt.zip", "directory.txt.zip", Fault::long_body,
       kDirectoryMaxBytes + 1, kDirectoryMaxBytes},
      {"a directory without one", "/s/v9/directory.txt.zip", "directory.txt.zip", Fault::unannounced,
       kDirectoryMaxBytes + (4 << 20), kDirectoryMaxBytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    new_search();
    TestHttpServer::FaultSpec f;
    f.fault = c.fault;
    f.bytes = c.bytes;
    f.times = 1;
    server->set_fault(c.path, f);
    int64_t most = 0;
    ASSERT_GE(run_fast_frames([&] {
      struct stat st{};
      if (stat((tmp / c.file).c_str(), &st) == 0) most = std::max<int64_t>(most, st.st_size);
      return stg.dir_status == 3 || stg.dir_status == 2;
    }),
              0);
    // The next try took the good answer.
    EXPECT_EQ(stg.dir_status, 3);
    EXPECT_EQ(server->count(c.path), 2);
    EXPECT_LE(most, c.bound);
    EXPECT_EQ(sim_info.size(), 2u);
  }
  EXPECT_EQ(occurrences(log.text(), "   GetOSErr   =" + std::to_string(EFBIG) + "\n"), 5) << log.text();
}

TEST_F(DirectoryFetchTest, ADirectoryThatCannotBeHadEndsTheSearchAfterTriesOnOtherServers) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader +
                                                      "FINAL v9\n"
                                                      "SERVER a.example.com\n/a/\nA\n"
                                                      "SERVER b.example.com\n/b/\nB\n"
                                                      "SERVER c.example.com\n/c/\nC\n"));
  ASSERT_TRUE(write_file(www / "a/v9/directory.txt.zip", "PK this is no zip archive"));
  ASSERT_TRUE(write_file(www / "b/v9/directory.txt.zip", "neither is this"));
  // c serves none at all.
  testing::internal::CaptureStderr();
  ASSERT_GE(run_fast_frames([] { return stg.dir_status != 0; }), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stg.dir_status, 2);
  EXPECT_EQ(stg.num_servers, 3);
  EXPECT_EQ(app_done, 0);

  // Every try went to another server than the one before.
  std::vector<std::string> order;
  for (const auto& r : server->requests())
    if (r.path != "/serverlist9.txt") order.push_back(r.host);
  ASSERT_EQ(static_cast<int>(order.size()), kMaxFetchTries);
  for (std::size_t i = 1; i < order.size(); ++i) EXPECT_NE(order[i], order[i - 1]) << i;
  // Shown once, however often it happened.
  const std::size_t shown = err.find("The installer cannot extract a file.");
  EXPECT_TRUE(shown == std::string::npos || err.find("The installer cannot extract a file.", shown + 1) == std::string::npos)
      << err;
  EXPECT_FALSE(exists_at_all(tmp / "directory.txt.zip"));
}

TEST_F(DirectoryFetchTest, ATemporaryFolderThatCannotBeWrittenEndsTheSearchWithAnAlert) {
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kListHeader + "FINAL v9\nSERVER s.example.com\n/s/\nS\n"));
  publish_directory("s/v9/");
  struct Case {
    const char* what;
    std::string blocked;  // made unwritable in the temporary folder
    bool folder;          // blocked by a folder of that name, else by a full disc
    std::string reason;
  };
  const Case cases[] = {
      {"the server list on a full disc", "serverlist9.txt", false, error_str(ENOSPC)},
      {"the directory archive on a full disc", "directory.txt.zip", false, error_str(ENOSPC)},
      {"the directory file in the way of a folder", "directory.txt", true, error_str(EISDIR)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    new_search();
    const std::string blocked = tmp / c.blocked;
    if (c.folder)
      ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    else
      ASSERT_EQ(symlink("/dev/full", blocked.c_str()), 0);
    testing::internal::CaptureStderr();
    ASSERT_GE(run_fast_frames([] { return stg.dir_status != 0 && stg.dir_status != 1; }), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stg.dir_status, 2);
    EXPECT_NE(err.find("The installer cannot save the information it downloads."), std::string::npos) << err;
    EXPECT_NE(err.find("Folder: " + tmp.path()), std::string::npos) << err;
    EXPECT_NE(err.find("Error: " + c.reason), std::string::npos) << err;
    // Fetched once: no other server and no second try can help.
    EXPECT_EQ(server->count("/serverlist9.txt"), 1);
    EXPECT_LE(server->count("/s/v9/directory.txt.zip"), 1);
    EXPECT_EQ(app_done, 0);
    if (c.folder)
      rmdir(blocked.c_str());
    else
      unlink(blocked.c_str());
  }
}

TEST(ServerPick, FavoursTheHeadOfTheList) {
  EXPECT_EQ(server_index_for(10, 0.5), 3);
  EXPECT_EQ(server_index_for(10, 0.0), 0);
  EXPECT_EQ(server_index_for(10, 0.999999), 9);
  EXPECT_EQ(server_index_for(10, 1.0), 9) << "kept within the list";
  EXPECT_EQ(server_index_for(1, 0.99), 0);
  int first = 0;
  srand(12345);
  for (int i = 0; i < 4000; ++i) first += pick_server_index(4) == 0;
  EXPECT_NEAR(first / 4000.0, 0.397, 0.04);
}

TEST(ServerPick, AnotherServerIsNeverTheOneToAvoid) {
  srand(777);
  int counts[4] = {};
  for (int i = 0; i < 4000; ++i) {
    const int k = pick_other_server_index(4, 1);
    ASSERT_TRUE(k >= 0 && k < 4 && k != 1) << k;
    ++counts[k];
  }
  // Still biased toward the head of the list: the first of the three others.
  EXPECT_GT(counts[0], counts[2]);
  EXPECT_GT(counts[2], counts[3]);
  EXPECT_EQ(pick_other_server_index(1, 0), 0) << "with one server there is no other";
  EXPECT_EQ(pick_other_server_index(2, 0), 1);
  EXPECT_EQ(pick_other_server_index(2, 1), 0);
}

}  // namespace
