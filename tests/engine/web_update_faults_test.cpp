// The web update when things go wrong: archives that are not the released
// files, a temporary folder or an install folder that cannot be written,
// and servers that fail, driven end to end against a real HTTP server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/web_update_rig.h"
#include "files/archives.h"
#include "files/folder_list.h"
#include "files/io_utils.h"
#include "files/temp_folder.h"
#include "runtime/globals.h"
#include "support/unprivileged.h"

namespace {

using Files = std::map<std::string, std::string>;

std::string text_of(unsigned seed, std::size_t size) {
  std::string s;
  unsigned x = seed * 2654435761u + 7;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 16) % 26);
  }
  return s;
}

class WebUpdateFaults : public UpdateRig {
 protected:
  // Release a installed, release b served: every file changed.
  void set_up(int files, std::size_t size) {
    for (int i = 0; i < files; ++i) {
      const std::string path = "Airfoils/f" + std::to_string(i) + ".afl";
      a[path] = text_of(100 + i, size);
      b[path] = text_of(200 + i, size + 100);
    }
    builder.add_update(a, b);
    publish();
    ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  }

  // Serves, in place of the archive of path, one that holds a file of the
  // same name with the given bytes.
  void serve_instead(const std::string& path, const std::string& content) {
    const std::string source = work / ("forged/" + last_component(path));
    ASSERT_TRUE(write_file(source, content));
    const std::string served = www.path() + request_of(path).substr(1);
    ASSERT_EQ(file_to_zip(source, served), 0);
  }

  // Archives after the first two trickle in, so that the failure of the
  // first, found when its unpacking comes back from the pool while the
  // streams go on, is seen long before any of them is complete.
  void trickle_after_second() {
    TestHttpServer::FaultSpec slow;
    slow.fault = TestHttpServer::Fault::slow;
    slow.bytes = 64;
    slow.delay_ms = 100;
    for (const auto& [path, content] : b)
      if (path != "Airfoils/f0.afl" && path != "Airfoils/f1.afl") server->set_fault(request_of(path), slow);
  }

  // The install stopped at its first file: an error, that file's old bytes
  // kept and not counted, nothing counted that was not put in place, and no
  // file after the third (which the one stream may have started while the
  // first was being unpacked) asked for.
  void expect_stopped_at_first(const RunStats& stats) {
    EXPECT_EQ(stats.result, 1);
    EXPECT_EQ(stg.had_errors, 1);
    const std::string first = "Airfoils/f0.afl";
    EXPECT_EQ(read_file(local(first)), a[first]) << "the file there before stays";
    EXPECT_EQ(current_version(index_of(first)).is_current, 0);
    const file_version_struct& second = current_version(index_of("Airfoils/f1.afl"));
    EXPECT_LE(stats.max_installed, second.is_current ? second.unpacked_kb : 0.0f)
        << "the file that was not put in place is not counted";
    EXPECT_LE(server->count(request_of("Airfoils/f2.afl")), 1);
    EXPECT_EQ(server->count(request_of("Airfoils/f3.afl")), 0) << "the run ends at the failure";
    for (const auto& [path, content] : a) {
      const std::string now = read_file(local(path));
      EXPECT_TRUE(now == content || (path == "Airfoils/f1.afl" && now == b[path])) << path;
      EXPECT_EQ(current_version(index_of(path)).is_current, now == b[path] ? 1 : 0) << path;
    }
    EXPECT_EQ(listing_count(dest_dir_path + "Airfoils/"), a.size()) << "no temporary file is left";
  }

  static std::size_t listing_count(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<int> types;
    return static_cast<std::size_t>(opensave_getitems(folder, 0, names, types));
  }

  Files a, b;
};

TEST_F(WebUpdateFaults, AnArchiveWhoseFileIsNotTheReleasedOneLeavesTheOldFileAndAnError) {
  set_up(4, 3000);
  const std::string forged = text_of(999, 3000);
  serve_instead("Airfoils/f0.afl", forged);
  trickle_after_second();
  stg.stream_count = 1;

  RunStats stats;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(road(stats));
  const std::string shown = testing::internal::GetCapturedStderr();
  expect_stopped_at_first(stats);
  EXPECT_NE(shown.find(error_str(err_wrong_signature)), std::string::npos) << shown;
  // Both signatures are in the log.
  const std::string log = log_text();
  EXPECT_NE(log.find("its signature is " + ReleaseBuilder::md5_of(forged) + ", the directory wants " +
                     ReleaseBuilder::md5_of(b["Airfoils/f0.afl"])),
            std::string::npos)
      << log;
}

TEST_F(WebUpdateFaults, AnArchiveFarLargerThanItsSizeLeavesTheOldFileAndAnError) {
  set_up(4, 3000);
  serve_instead("Airfoils/f0.afl", std::string(8 << 20, 'z'));  // the directory says about 3 KB
  trickle_after_second();
  stg.stream_count = 1;

  RunStats stats;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(road(stats));
  const std::string shown = testing::internal::GetCapturedStderr();
  expect_stopped_at_first(stats);
  EXPECT_NE(shown.find(error_str(err_too_large)), std::string::npos) << shown;
  EXPECT_NE(log_text().find("it is larger than the 5120 bytes the directory allows"), std::string::npos)
      << log_text();
}

TEST_F(WebUpdateFaults, AFullTemporaryFolderStopsTheRunWithAnAlertAndDamagesNothing) {
  set_up(8, 20000);
  stg.stream_count = 4;
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  ASSERT_EQ(start_install(), 1);
  // Every stream's archive lands on a full disc.
  for (int s = 0; s < kStreams; ++s) ASSERT_EQ(symlink("/dev/full", stream_archive(s).c_str()), 0);
  const int server_before = stg.server_index;

  testing::internal::CaptureStderr();
  RunStats stats = run_install(10.0);
  const std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stats.result, 1) << "the run stops instead of trying again";
  EXPECT_EQ(stg.had_errors, 1);
  EXPECT_FALSE(stats.saw_failure) << "not taken for a failure of the server";
  EXPECT_EQ(stg.server_index, server_before);
  EXPECT_NE(shown.find("The installer cannot save the files it downloads."), std::string::npos) << shown;
  EXPECT_NE(shown.find("Folder: " + temp_path), std::string::npos) << shown;
  EXPECT_NE(shown.find("Error: " + error_str(ENOSPC)), std::string::npos) << shown;
  EXPECT_EQ(shown.find("The installer cannot save", shown.find("The installer cannot save") + 1), std::string::npos)
      << "one alert, however many streams ran into it";
  int asked = 0;
  for (const auto& [path, content] : b) asked += server->count(request_of(path));
  EXPECT_LE(asked, kStreams) << "no file is asked for again";
  for (const auto& [path, content] : a) EXPECT_EQ(read_file(local(path)), content) << path;

  // With room again the next run brings the release.
  for (int s = 0; s < kStreams; ++s) unlink(stream_archive(s).c_str());
  stg.had_errors = 0;
  RunStats again;
  ASSERT_TRUE(road(again));
  EXPECT_EQ(again.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  expect_release_on_disk(b, {});
}

TEST_F(WebUpdateFaults, AReadOnlyInstallFolderStopsTheRunWithAnAlertAndDamagesNothing) {
  set_up(4, 3000);
  // The folders of the installed copy can be read but not written; the
  // temporary folder can be written by anyone.
  ASSERT_EQ(chmod(work.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(temp_path.c_str(), 0777), 0);
  for (const char* folder : {"", "Airfoils", "Instructions", "Output", "Resources"})
    ASSERT_EQ(chmod((dest_dir_path + folder).c_str(), 0555), 0) << folder;

  // Checked where the run took place: under root that is a child process.
  const std::string err_file = work / "stderr.txt";
  ASSERT_TRUE(write_file(err_file, ""));
  ASSERT_EQ(chmod(err_file.c_str(), 0666), 0);
  const int failed = as_unprivileged_user([&] {
    if (!freopen(err_file.c_str(), "w", stderr)) return 64;
    if (!fetch_directory() || !scan()) return 1;
    int bits = 0;
    if (start_install() != -1) bits |= 2;
    for (const auto& [path, content] : b)
      if (server->count(request_of(path)) != 0) bits |= 4;
    return bits;
  });
  for (const char* folder : {"", "Airfoils", "Instructions", "Output", "Resources"})
    chmod((dest_dir_path + folder).c_str(), 0755);
  EXPECT_EQ(failed, 0) << "1: the road stopped before the install, 2: the install was not refused, "
                          "4: a file was downloaded";
  // One alert, naming the folder and the reason.
  const std::string shown = read_file(err_file);
  EXPECT_EQ(occurrences(shown, "Halden Error:"), 1) << shown;
  EXPECT_NE(shown.find("Install Location: " + dest_dir_path), std::string::npos) << shown;
  EXPECT_NE(shown.find("Error: " + error_str(EACCES)), std::string::npos) << shown;
  for (const auto& [path, content] : a) EXPECT_EQ(read_file(local(path)), content) << path;
  EXPECT_EQ(listing_count(dest_dir_path + "Airfoils/"), a.size());
}

TEST_F(WebUpdateFaults, ARunKilledPartWayIsSetRightByTheNextRun) {
  for (int i = 0; i < 16; ++i) {
    const std::string path = (i % 2 ? "Airfoils/" : "Resources/plugins/") + std::string("f") + std::to_string(i) + ".txt";
    a[path] = text_of(300 + i, 20000);
    b[path] = text_of(400 + i, 60000 + 1000 * i);
  }
  a["Resources/old/gone.txt"] = text_of(500, 100);
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  stg.stream_count = 4;
  // The archives trickle, and one of them never ends, so the run is in the
  // middle of its work when it is killed, however quick or slow it is.
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 2048;
  slow.delay_ms = 20;
  for (const auto& [path, content] : b) server->set_fault(request_of(path), slow);
  TestHttpServer::FaultSpec stall;
  stall.fault = TestHttpServer::Fault::stall;
  stall.bytes = 100;
  server->set_fault(request_of("Resources/plugins/f0.txt"), stall);

  const auto installed = [&] {
    int n = 0;
    for (const auto& [path, content] : b) n += read_file(local(path)) == content ? 1 : 0;
    return n;
  };
  xer.flush();
  const pid_t run = fork();
  if (run == 0) {
    RunStats stats;
    _exit(road(stats, 60.0) ? 0 : 2);
  }
  ASSERT_GT(run, 0);
  const auto limit = deadline(30.0);
  while (installed() < 2 && std::chrono::steady_clock::now() < limit) nap();
  kill(run, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(run, &status, 0), run);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed, with "
                                   << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  EXPECT_LT(installed(), static_cast<int>(b.size()));
  // What a kill in the middle of writing a file leaves beside it.
  ASSERT_TRUE(write_file(local("Airfoils/f1.txt") + temp_beside_suffix(), "half of f1"));
  ASSERT_TRUE(write_file(local("Resources/plugins/f2.txt") + temp_beside_suffix(), "half of f2"));
  ASSERT_TRUE(write_file(local("") + "top" + temp_beside_suffix(), "half of something"));

  server->clear_faults();
  RunStats again;
  ASSERT_TRUE(road(again));
  EXPECT_EQ(again.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  // Exactly the release's files, each with its bytes, and nothing else.
  std::map<std::string, std::string> on_disk;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dest_dir_path))
    if (!e.is_directory()) on_disk[e.path().string().substr(dest_dir_path.size())] = read_file(e.path().string());
  EXPECT_TRUE(on_disk == b) << on_disk.size() << " files on disk, " << b.size() << " in the release";
  for (const auto& [path, content] : on_disk) EXPECT_TRUE(b.count(path)) << "left over: " << path;
  expect_all_current();
}

TEST_F(WebUpdateFaults, AFailedDownloadIsAskedForAgainFromAnotherServer) {
  for (int i = 0; i < 6; ++i) {
    a["Resources/f" + std::to_string(i) + ".txt"] = text_of(10 + i, 1000);
    b["Resources/f" + std::to_string(i) + ".txt"] = text_of(30 + i, 1200);
  }
  builder.add_update(a, b);
  servers = {{"down.example.com", "/down/", "Has no files", false}, {"up.example.com", "/up/", "Works", true}};
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  // The working server's archives trickle: a transfer from it never ends in
  // the call that starts it, so a failure is not cleared by a success in
  // the same call before the frame could see it.
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 400;
  slow.delay_ms = 10;
  for (const auto& [path, content] : b) server->set_fault(request_of(path, "/up/"), slow);
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  // The user picked the failing server, and the draws that follow would
  // all name it again under the plain pick rule.
  stg.server_index = 0;
  unsigned seed = 1;
  for (;; ++seed) {
    srand(seed);
    bool all_first = true;
    for (int k = 0; k < 6; ++k) all_first = all_first && pick_server_index(2) == 0;
    if (all_first) break;
  }
  srand(seed);
  ASSERT_EQ(start_install(), 1);
  RunStats stats = run_install();

  ASSERT_EQ(stats.result, 1);
  EXPECT_TRUE(stats.saw_failure);
  EXPECT_EQ(stg.server_index, 1);
  int failed = 0;
  for (const auto& [path, content] : b) failed += server->count(request_of(path, "/down/"));
  EXPECT_GE(failed, 1);
  // Only the files in flight on the failing server are asked there, and
  // those of any transfer from the working server that failed on its way
  // (a loaded machine), since a failure always turns to the other server.
  const std::string log = log_text();
  EXPECT_LE(failed, 2 + occurrences(log, "   server     =up.example.com\n")) << log;
  expect_release_on_disk(b, {});
}

TEST_F(WebUpdateFaults, AFailedDeletionAndAFileNoServerHasAreErrorsOfARunThatGoesOn) {
  for (int i = 0; i < 6; ++i) a["Resources/f" + std::to_string(i) + ".txt"] = text_of(50 + i, 800);
  for (int i = 0; i < 4; ++i) b["Resources/f" + std::to_string(i) + ".txt"] = text_of(60 + i, 900);
  b["Resources/new.txt"] = text_of(70, 500);  // f4 and f5 are removed
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  // No server has the archive of f1.
  ASSERT_EQ(std::remove((www.path() + request_of("Resources/f1.txt").substr(1)).c_str()), 0);
  ASSERT_TRUE(write_file(local("Resources/locked/inside"), "keeps its folder from being deleted"));
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  ASSERT_EQ(start_install(), 1);
  // First in the table: a deletion that fails.
  file_version_struct locked;
  locked.path = "Halden/Resources/locked";
  locked.sig_want = kSigGone;
  locked.do_delete = 1;
  sim_info.insert(sim_info.begin(), file_history_struct{{locked}});

  RunStats stats = run_install(30.0);
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 1);
  EXPECT_EQ(server->count(request_of("Resources/f1.txt")), kDownloadTriesPerServer) << "given up on its one server";
  Files expected = b;
  expected["Resources/f1.txt"] = a["Resources/f1.txt"];
  expect_release_on_disk(expected, {"Resources/f4.txt", "Resources/f5.txt"});
  EXPECT_TRUE(exists_at_all(local("Resources/locked/inside")));
  const std::string log = log_text();
  EXPECT_NE(log.find("DELETING  file " + local("Resources/locked") + ", with result=" + std::to_string(EISDIR)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Gave up downloading " + request_of("Resources/f1.txt")), std::string::npos) << log;
}

TEST_F(WebUpdateFaults, FilesStoredInAnotherLetterCaseAreTheOnesReplacedAndDeleted) {
  // "Tile.dds" was renamed "tile.dds" in the new release: the copy, which
  // already holds the new name, keeps it.
  a = {{"Resources/target.txt", "old target"}, {"Resources/old.txt", "old"}, {"Resources/Plugins/p.txt", "old p"},
       {"Resources/Tile.dds", "tile"}};
  b = {{"Resources/target.txt", "new target"}, {"Resources/Plugins/p.txt", "new p"}, {"Resources/tile.dds", "tile"}};
  builder.add_update(a, b);
  publish();
  // The copy spells them otherwise than the directory.
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"Resources/Target.txt", "old target"},
                                                      {"Resources/Old.txt", "old"},
                                                      {"Resources/plugins/P.TXT", "old p"},
                                                      {"Resources/tile.dds", "tile"}}));
  RunStats stats;
  ASSERT_TRUE(road(stats));
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(read_file(local("Resources/Target.txt")), "new target");
  EXPECT_EQ(read_file(local("Resources/plugins/P.TXT")), "new p");
  EXPECT_FALSE(exists_at_all(local("Resources/Old.txt")));
  EXPECT_EQ(read_file(local("Resources/tile.dds")), "tile");
  // No second file or folder beside the first.
  for (const char* path : {"Resources/target.txt", "Resources/Plugins", "Resources/plugins/p.txt"})
    EXPECT_FALSE(exists_at_all(local(path))) << path;
  expect_all_current();
}

TEST_F(WebUpdateFaults, APathListedTwiceOnceRemovedKeepsItsFileRunAfterRun) {
  b = {{"Resources/twice.txt", "kept"}, {"Resources/zz.txt", "listed after it"}, {"Resources/two.txt", "later"},
       {"Resources/back.txt", "new"}, {"Resources/dbl.txt", "dbl"}};
  builder.add_update(b, b);
  publish();
  ASSERT_TRUE(
      ReleaseBuilder::install(dest_dir_path, {{"Resources/twice.txt", "kept"}, {"Resources/back.txt", "old"}}));
  // twice.txt listed again after zz.txt: its version, then removed; two.txt
  // kept twice, first with another signature; back.txt removed, then added
  // again after two.txt; dbl.txt listed as Resources//dbl.txt (asked for
  // so) and removed under the other spelling.
  std::string text = builder.directory_text() + "FILE 0 0 0 1 1 " + ReleaseBuilder::md5_of("kept") +
                     " Resources/twice.txt\nFILE 0 0 0 0 0 GONE Resources/twice.txt\n" +
                     "FILE 0 0 0 0 0 GONE Resources/dbl.txt\n";
  text.replace(text.find(" Resources/dbl.txt"), 18, " Resources//dbl.txt");
  text.insert(text.find("FILE "), "FILE 0 0 0 1 1 " + ReleaseBuilder::md5_of("old") + " Resources/back.txt\n" +
                                      "FILE 0 0 0 0 0 GONE Resources/back.txt\nFILE 0 0 0 1 1 " +
                                      ReleaseBuilder::md5_of("earlier") + " Resources/two.txt\n");
  ASSERT_TRUE(write_file(work / "d/directory.txt", text));
  ASSERT_EQ(file_to_zip(work / "d/directory.txt", www / "corvane/v910/directory.txt.zip"), 0);
  for (int run = 1; run <= 3; ++run) BTN_script_click("KEEP EVERY OLD FILE IN THIS DIRECTORY");
  const std::vector<std::string> names = {"twice", "two", "back", "/dbl"};
  RunStats stats;
  for (int run = 1; run <= 3; ++run) {
    ASSERT_TRUE(road(stats) && stats.result == 1 && stg.had_errors == 0);
    std::string now;
    for (const std::string& f : names) now += read_file(local("Resources/" + f + ".txt"));
    EXPECT_EQ(now, "keptlaternewdbl") << run;
    // Up to date from the second run: nothing to fetch or delete.
    EXPECT_EQ(stg.files_to_get + stg.files_to_delete, run == 1 ? 4 : 0) << "run " << run;
  }
  int asked = 0;
  for (const std::string& f : names) asked += server->count(request_of("Resources/" + f + ".txt"));
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(log_text().find("File: "), std::string::npos) << "no question";
}

}  // namespace

namespace {

// The names in folder (sorted, names beginning with '.' left out).
std::vector<std::string> names_of(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> types;
  opensave_getitems(folder, 0, names, types);
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

TEST_F(WebUpdateFaults, NewFilesAndTheWorkingFoldersGoIntoAFolderSpelledOtherwiseThanTheDirectory) {
  a = {{"Resources/a.txt", "old a"}};
  b = {{"Resources/a.txt", "new a"}, {"Resources/new.txt", "new"}, {"Resources/sub/deep.txt", "deep"},
       {"Output/logbooks/first.txt", "first"}, {"Resources/Notes", "file"}, {"Resources/Empty", "file"}};
  builder.add_update(a, b);
  publish();
  // The copy spells its folders in lower case; two of the user's folders
  // are named like files of the release.
  ASSERT_TRUE(write_file(local("resources/a.txt"), "old a"));
  ASSERT_TRUE(write_file(local("resources/notes/mine.txt"), "mine"));
  ASSERT_TRUE(std::filesystem::create_directories(local("resources/empty")));
  ASSERT_TRUE(std::filesystem::create_directories(local("output")));
  ASSERT_TRUE(std::filesystem::create_directories(local("Airfoils")));
  RunStats stats;
  ASSERT_TRUE(road(stats));
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  // No second folder beside the one that is there.
  EXPECT_EQ(names_of(dest_dir_path), (Names{"Airfoils", "output", "resources"}));
  EXPECT_EQ(names_of(local("resources/")),
            (Names{"Empty", "Notes", "a.txt", "empty", "new.txt", "notes", "preferences", "sub"}));
  EXPECT_EQ(read_file(local("resources/Notes")) + read_file(local("resources/notes/mine.txt")), "filemine");
  EXPECT_EQ(names_of(local("output/")), (Names{"FMS plans", "logbooks", "movies", "situations"}));
  EXPECT_EQ(read_file(local("resources/a.txt")), "new a");
  EXPECT_EQ(read_file(local("resources/sub/deep.txt")), "deep");
  EXPECT_EQ(read_file(local("output/logbooks/first.txt")), "first");
  // The next run finds every file and fetches nothing again.
  const int asked = server->count(request_of("Resources/new.txt"));
  expect_all_current();
  ASSERT_TRUE(start_install() == 1);
  EXPECT_EQ(run_install().result, 1);
  EXPECT_EQ(server->count(request_of("Resources/new.txt")), asked);
  EXPECT_EQ(names_of(dest_dir_path), (Names{"Airfoils", "output", "resources"}));
}

TEST_F(WebUpdateFaults, ARenameThatOnlyChangesLetterCaseKeepsTheFile) {
  // Readme.txt becomes README.txt with the same bytes; Notes.txt becomes
  // NOTES.txt and changes; the copy spells both in lower case.
  builder.add("Readme.txt", "read me");
  builder.add_gone("Readme.txt");
  builder.add("README.txt", "read me");
  builder.add("Notes.txt", "notes 1");
  builder.add_gone("Notes.txt");
  builder.add("NOTES.txt", "notes 1");
  builder.add("NOTES.txt", "notes 2");
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {{"readme.txt", "read me"}, {"notes.txt", "notes 1"}}));
  RunStats stats;
  ASSERT_TRUE(road(stats));
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(read_file(local("readme.txt")), "read me");
  EXPECT_EQ(read_file(local("notes.txt")), "notes 2");
  EXPECT_EQ(names_of(dest_dir_path),
            (Names{"Airfoils", "Instructions", "Output", "Resources", "notes.txt", "readme.txt"}));
  expect_all_current();
}

TEST_F(WebUpdateFaults, AFolderThatBecomesAFileOrAFileThatBecomesAFolderIsInstalledAndTheUsersFilesStay) {
  // thing/ becomes a file, listed after the files it held; stuff/ becomes a
  // file listed before them; blob becomes a folder; mine/ becomes a file,
  // but holds a file of the user's as well.
  for (const char* name : {"thing/a.txt", "thing/b.txt", "mine/x.txt"}) {
    builder.add(std::string("Resources/") + name, name);
    builder.add_gone(std::string("Resources/") + name);
  }
  builder.add("Resources/thing", "thing is a file now");
  builder.add("Resources/stuff", "stuff is a file now");
  builder.add("Resources/stuff/deeper/c.txt", "c");
  builder.add_gone("Resources/stuff/deeper/c.txt");
  builder.add("Resources/blob", "blob");
  builder.add_gone("Resources/blob");
  builder.add("Resources/blob/inner.txt", "inner");
  builder.add("Resources/mine", "mine is a file now");
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(
      dest_dir_path, {{"Resources/thing/a.txt", "thing/a.txt"}, {"Resources/thing/b.txt", "thing/b.txt"},
                      {"Resources/stuff/deeper/c.txt", "c"}, {"Resources/blob", "blob"},
                      {"Resources/mine/x.txt", "mine/x.txt"}, {"Resources/mine/user.txt", "the user's"}}));
  RunStats stats;
  ASSERT_TRUE(road(stats));
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 1) << "mine could not be installed";
  EXPECT_EQ(read_file(local("Resources/thing")), "thing is a file now");
  EXPECT_EQ(read_file(local("Resources/stuff")), "stuff is a file now");
  EXPECT_EQ(read_file(local("Resources/blob/inner.txt")), "inner");
  EXPECT_EQ(read_file(local("Resources/mine/user.txt")), "the user's");
  EXPECT_FALSE(exists_at_all(local("Resources/mine/x.txt")));
  EXPECT_NE(log_text().find("Did not install " + local("Resources/mine") + ": "), std::string::npos) << log_text();
  // The next scan wants only mine, and the next run fails it the same way.
  ASSERT_TRUE(scan());
  EXPECT_EQ(stg.files_to_get, 1);
  EXPECT_EQ(stg.files_to_delete, 0);
  EXPECT_EQ(current_version(index_of("Resources/mine")).is_current, 0);
  stg.had_errors = 0;
  ASSERT_TRUE(start_install() == 1);
  EXPECT_EQ(run_install().result, 1);
  EXPECT_EQ(stg.had_errors, 1);
  EXPECT_EQ(read_file(local("Resources/mine/user.txt")), "the user's");
}

}  // namespace
