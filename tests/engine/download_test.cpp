// The download streams step by step: handing out files, the number of
// streams, deleting files and the folders they leave empty, unpacking one
// archive, and what a reset clears.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/web_update_rig.h"
#include "files/archives.h"
#include "files/folder_list.h"
#include "files/io_utils.h"

namespace {

// Runs python3 with a script; true when it succeeds.
bool python(const std::string& script) {
  FILE* p = popen("python3 -", "w");
  if (!p) return false;
  fputs(script.c_str(), p);
  return pclose(p) == 0;
}

// A zip archive at zip holding entries given as (name, content); a content
// starting with "->" makes a symbolic-link entry to the rest of it.
bool make_zip(const std::string& zip, const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string script = "import zipfile\nz = zipfile.ZipFile(" + std::string("'''") + zip + "''', 'w')\n";
  for (const auto& [name, content] : entries) {
    if (content.compare(0, 2, "->") == 0) {
      script += "i = zipfile.ZipInfo('''" + name + "''')\ni.create_system = 3\ni.external_attr = 0xA1FF << 16\n" +
                "z.writestr(i, '''" + content.substr(2) + "''')\n";
    } else {
      script += "z.writestr('''" + name + "''', '''" + content + "''')\n";
    }
  }
  script += "z.close()\n";
  return python(script);
}

class Streams : public UpdateRig {
 protected:
  // A table of files that need nothing (neither installed nor deleted).
  void idle_table(int n) {
    sim_info.clear();
    for (int i = 0; i < n; ++i) {
      file_version_struct v;
      v.path = "Halden/f" + std::to_string(i);
      v.sig_want = "x";
      sim_info.push_back(file_history_struct{{v}});
    }
  }
  int active() const {
    int n = 0;
    for (int s = 0; s < kStreams; ++s) n += next.slot_active[s] ? 1 : 0;
    return n;
  }
  // Sets the measured rate: KB arrived within the first second.
  void set_rate(float kb_per_second) {
    next.start_time = xtim.elapsed;
    next.kb_downloaded = kb_per_second;
  }
};

TEST_F(Streams, FilesAreHandedOutInOrderAndTheEndIsSeenOneCallLater) {
  idle_table(3);
  next.reset_all_streams();
  stg.stream_count = 2;
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(next.slot_file[0], 0);
  EXPECT_EQ(next.slot_file[1], 1);
  EXPECT_EQ(stg.file_action, action_not_needed);
  EXPECT_EQ(crnt_file_name, "f1.zip");
  current_version(2).is_current = 1;
  EXPECT_EQ(grab_files(), 0);  // file 2; stream 1 takes the end of the table
  EXPECT_EQ(stg.file_action, action_current);
  EXPECT_EQ(next.all_done, 0);
  EXPECT_EQ(grab_files(), 1);
  EXPECT_EQ(next.all_done, 1);
  EXPECT_EQ(next.next_file, 3);
  EXPECT_EQ(grab_files(), 1);

  // An empty table ends in the first call; with every stream off (no reset)
  // there is nothing to do either.
  sim_info.clear();
  next.reset_all_streams();
  EXPECT_EQ(grab_files(), 1);
  next = next_class{};
  EXPECT_EQ(grab_files(), 1);
}

TEST_F(Streams, TheNumberOfStreamsFollowsTheRateUnlessFixed) {
  EXPECT_EQ(streams_for_rate(50.0), 2);
  EXPECT_EQ(streams_for_rate(50.5), 4);
  EXPECT_EQ(streams_for_rate(100.5), 6);
  EXPECT_EQ(streams_for_rate(150.5), 8);
  EXPECT_EQ(streams_for_rate(200.0), 8);
  EXPECT_EQ(streams_for_rate(200.5), 9);

  // 60 KB/s: each finished file switches one more stream on; one switched
  // on above the stream that finished takes its first file in the same call.
  idle_table(20);
  stg.stream_count = 0;
  next.reset_all_streams();
  set_rate(60.0f);
  grab_files();
  EXPECT_EQ(active(), 4);
  EXPECT_EQ(next.next_file, 4);

  // 40 KB/s with four running: finished streams are switched off until two
  // remain; they keep their file index and get no other.
  set_rate(40.0f);
  grab_files();
  EXPECT_EQ(active(), 2);
  EXPECT_FALSE(next.slot_active[0]);
  EXPECT_FALSE(next.slot_active[1]);
  EXPECT_EQ(next.slot_file[0], 4);

  // Fixed at one stream: the first stream to finish a file is switched off.
  stg.stream_count = 1;
  next.reset_all_streams();
  set_rate(500.0f);
  grab_files();
  EXPECT_EQ(active(), 1);
  EXPECT_TRUE(next.slot_active[1]);
  grab_files();
  EXPECT_EQ(active(), 1);
  EXPECT_EQ(next.next_file, 3);
}

TEST_F(Streams, DeletedFilesLeaveTheirEmptyFoldersToBeRemovedDeepestFirst) {
  stg.log_actions = 1;
  ASSERT_TRUE(write_file(local("p/q/r/name"), "gone"));
  ASSERT_TRUE(write_file(local("p/q/r/other"), "gone too"));
  ASSERT_TRUE(write_file(local("p/side/kept"), "a file of the user"));
  ASSERT_TRUE(write_file(local("h/.hidden"), "hidden"));
  ASSERT_TRUE(write_file(local("h/x"), "gone"));
  ASSERT_TRUE(write_file(work / "outside/placeholder", ""));
  ASSERT_EQ(unlink((work / "outside/placeholder").c_str()), 0);
  deleted_files.insert(work / "outside/");  // never the engine's to remove
  sim_info.clear();
  for (const char* path : {"Halden/p/q/r/name", "Halden/p/q/r/other", "Halden/h/x"}) {
    file_version_struct v;
    v.path = path;
    v.sig_want = kSigGone;
    v.do_delete = 1;
    sim_info.push_back(file_history_struct{{v}});
  }
  stg.stream_count = 1;
  next.reset_all_streams();
  int calls = 0;
  while (!grab_files() && ++calls < 10) {
  }
  ASSERT_LT(calls, 10);
  EXPECT_EQ(stg.file_action, action_deleting);

  EXPECT_TRUE(deleted_files.count(local("p/q/r/")));
  EXPECT_TRUE(deleted_files.count(local("p/q/")));
  EXPECT_TRUE(deleted_files.count(local("p/")));
  EXPECT_FALSE(deleted_files.count(dest_dir_path));
  EXPECT_FALSE(exists_at_all(local("p/q")));
  EXPECT_TRUE(exists_at_all(local("p/side/kept")));
  EXPECT_TRUE(exists_at_all(local("h/.hidden")));
  EXPECT_FALSE(exists_at_all(local("h/x")));
  EXPECT_TRUE(exists_at_all(work / "outside"));

  const std::string log = log_text();
  EXPECT_NE(log.find("now we want to nuke a file: DELETING  file " + local("p/q/r/name") + ", with result=0.\n"),
            std::string::npos);
  const std::size_t deeper = log.find("cleanup: DELETING  file " + local("p/q/r/") + ", with result=0.\n");
  const std::size_t upper = log.find("cleanup: DELETING  file " + local("p/q/") + ", with result=0.\n");
  EXPECT_NE(deeper, std::string::npos);
  EXPECT_NE(upper, std::string::npos);
  EXPECT_LT(deeper, upper);
  EXPECT_NE(log.find("cleanup: DELETING  file " + local("h/") + ", with result=" + std::to_string(ENOTEMPTY)),
            std::string::npos);
}

TEST_F(Streams, AFailedDeletionIsAnErrorOfTheRunAndAlreadyGoneIsNot) {
  ASSERT_TRUE(write_file(local("a/folder/inside"), "x"));
  ASSERT_TRUE(write_file(local("a/plain"), "p"));
  struct Case {
    const char* path;
    int had_errors;
  };
  for (const Case& c : {Case{"Halden/a/missing", 0}, Case{"Halden/a/plain", 0}, Case{"Halden/a/folder", 1}}) {
    SCOPED_TRACE(c.path);
    stg.had_errors = 0;
    sim_info.clear();
    file_version_struct v;
    v.path = c.path;
    v.sig_want = kSigGone;
    v.do_delete = 1;
    sim_info.push_back(file_history_struct{{v}});
    next.reset_all_streams();
    int r = 0;
    for (int calls = 0; calls < 10 && !r; ++calls) r = grab_files();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(stg.had_errors, c.had_errors);
  }
  EXPECT_FALSE(exists_at_all(local("a/plain")));
  EXPECT_TRUE(exists_at_all(local("a/folder/inside")));

  // Without an install folder the same path relative to the working
  // folder is left alone.
  const std::string cwd = work / "cwd/";
  ASSERT_TRUE(write_file(cwd + "a/plain", "elsewhere"));
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  dest_dir_path.clear();
  stg.had_errors = 0;
  sim_info.clear();
  file_version_struct v;
  v.path = "Halden/a/plain";
  v.sig_want = kSigGone;
  v.do_delete = 1;
  sim_info.push_back(file_history_struct{{v}});
  next.reset_all_streams();
  for (int calls = 0; calls < 10 && !grab_files(); ++calls) {
  }
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(read_file(cwd + "a/plain"), "elsewhere");
  EXPECT_EQ(stg.had_errors, 1);
}

TEST_F(Streams, AFailedDeletionIsAlwaysLogged) {
  stg.log_actions = 0;
  ASSERT_TRUE(write_file(local("a/folder/inside"), "x"));
  sim_info.clear();
  for (const char* path : {"Halden/a/folder", "Halden/a/missing"}) {
    file_version_struct v;
    v.path = path;
    v.sig_want = kSigGone;
    v.do_delete = 1;
    sim_info.push_back(file_history_struct{{v}});
  }
  next.reset_all_streams();
  while (!grab_files()) {
  }
  const std::string log = log_text();
  EXPECT_NE(log.find("DELETING  file " + local("a/folder") + ", with result=" + std::to_string(EISDIR)),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find(local("a/missing")), std::string::npos) << "a file already gone is no failure";
  EXPECT_TRUE(exists_at_all(local("a/folder/inside")));
}

TEST_F(Streams, AnArchiveUnpacksOnlyTheFileItIsFor) {
  const std::string folder = local("Resources/");
  ASSERT_TRUE(write_file(folder + "a.txt", "old a"));
  ASSERT_TRUE(write_file(folder + "other.txt", "the user's other file"));
  const std::string archive = temp_path + "0.zip";

  ASSERT_TRUE(make_zip(archive, {{"a.txt", "new a"}}));
  EXPECT_EQ(extract_and_delete_file(archive, folder + "a.txt"), 0);
  EXPECT_EQ(read_file(folder + "a.txt"), "new a");
  EXPECT_FALSE(exists_at_all(archive));
  EXPECT_EQ(stg.had_errors, 0);

  // An entry spelled in other letter case is the file all the same, and is
  // written under the name it should have.
  ASSERT_TRUE(make_zip(archive, {{"A.TXT", "upper a"}}));
  EXPECT_EQ(extract_and_delete_file(archive, folder + "a.txt"), 0);
  EXPECT_EQ(read_file(folder + "a.txt"), "upper a");
  EXPECT_FALSE(exists_at_all(folder + "A.TXT"));
  ASSERT_TRUE(make_zip(archive, {{"a.txt", "new a"}}));
  EXPECT_EQ(extract_and_delete_file(archive, folder + "a.txt"), 0);

  struct Bad {
    const char* what;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  const Bad bad[] = {
      {"a second entry", {{"a.txt", "bad a"}, {"other.txt", "overwritten"}}},
      {"another name", {{"other.txt", "overwritten"}}},
      {"a climbing name", {{"../a.txt", "bad a"}}},
      {"a folder entry", {{"a.txt/", ""}}},
      {"a link", {{"a.txt", "->other.txt"}}},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    stg.had_errors = 0;
    ASSERT_TRUE(make_zip(archive, b.entries));
    testing::internal::CaptureStderr();
    EXPECT_EQ(extract_and_delete_file(archive, folder + "a.txt"), err_not_the_file);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("The installer cannot extract a file."), std::string::npos);
    EXPECT_NE(shown.find("Error: " + error_str(err_not_the_file)), std::string::npos) << shown;
    EXPECT_EQ(stg.had_errors, 1);
    EXPECT_FALSE(exists_at_all(archive));
    EXPECT_EQ(read_file(folder + "a.txt"), "new a");
    EXPECT_EQ(read_file(folder + "other.txt"), "the user's other file");
    EXPECT_FALSE(exists_at_all(local("a.txt")));
  }
  EXPECT_NE(log_text().find("it should hold only the file \"a.txt\""), std::string::npos);

  // An archive without entries installs nothing either.
  stg.had_errors = 0;
  ASSERT_TRUE(make_zip(archive, {}));
  testing::internal::CaptureStderr();
  EXPECT_NE(extract_and_delete_file(archive, folder + "a.txt"), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(stg.had_errors, 1);
  EXPECT_EQ(read_file(folder + "a.txt"), "new a");

  // A 7z archive of the file unpacks by the 7z reader.
  stg.had_errors = 0;
  ASSERT_TRUE(write_file(work / "7z/a.txt", "7z a"));
  ASSERT_EQ(system(("cd '" + work / "7z" + "' && 7z a -bd a.7z a.txt > /dev/null").c_str()), 0);
  EXPECT_EQ(extract_and_delete_file(work / "7z/a.7z", folder + "a.txt"), 0);
  EXPECT_EQ(read_file(folder + "a.txt"), "7z a");
  EXPECT_FALSE(exists_at_all(work / "7z/a.7z"));
}

TEST_F(Streams, AFailedDownloadIsRetriedByItsOwnStreamOnly) {
  std::map<std::string, std::string> a;
  std::map<std::string, std::string> b;
  for (int i = 0; i < 6; ++i) {
    a["Resources/f" + std::to_string(i)] = "a" + std::to_string(i);
    b["Resources/f" + std::to_string(i)] = std::string(3000 + i, static_cast<char>('k' + i));
  }
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  TestHttpServer::FaultSpec once;
  once.fault = TestHttpServer::Fault::status;
  once.status = 503;
  once.times = 1;
  server->set_fault(request_of("Resources/f1"), once);
  // Answers far longer than the archives, with a length, without one and in
  // chunks: each such try fails, and nothing over the file's bound is
  // written.
  const TestHttpServer::Fault too_long[] = {TestHttpServer::Fault::long_body, TestHttpServer::Fault::unannounced,
                                            TestHttpServer::Fault::chunked};
  for (int k = 0; k < 3; ++k) {
    TestHttpServer::FaultSpec big;
    big.fault = too_long[k];
    big.bytes = 16 << 20;
    big.times = 1;
    server->set_fault(request_of("Resources/f" + std::to_string(k + 2)), big);
  }
  stg.stream_count = 2;

  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  int64_t bound = 0;
  for (int i = 0; i < 6; ++i)
    bound = std::max(bound, archive_download_limit(current_version(index_of("Resources/f" + std::to_string(i)))));
  ASSERT_LT(bound, 128 << 10);
  int64_t most = 0;
  on_call = [&] {
    for (const auto& e : std::filesystem::directory_iterator(temp_path))
      if (e.is_regular_file()) most = std::max<int64_t>(most, static_cast<int64_t>(e.file_size()));
  };
  const float to_install = stg.kb_to_install;
  ASSERT_EQ(start_install(), 1);
  const RunStats stats = run_install();
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_TRUE(stats.saw_failure);
  EXPECT_LE(most, bound);
  for (int i : {1, 2, 3, 4}) EXPECT_EQ(server->count(request_of("Resources/f" + std::to_string(i))), 2) << i;
  for (int i : {0, 5}) EXPECT_EQ(server->count(request_of("Resources/f" + std::to_string(i))), 1) << i;
  EXPECT_FLOAT_EQ(stats.max_installed, to_install) << "nothing is counted twice";
  expect_release_on_disk(b, {});
  EXPECT_EQ(occurrences(log_text(), "   GetOSErr   =" + std::to_string(EFBIG) + "\n"), 3) << log_text();
}

TEST_F(Streams, AResetDropsTransfersInFlightAndTheStreamArchives) {
  // Bytes that do not compress, so that the archive trickles for seconds.
  std::string noise(200000, '\0');
  unsigned r = 12345;
  for (char& c : noise) {
    r = r * 1103515245u + 12345u;
    c = static_cast<char>(r >> 23);
  }
  std::map<std::string, std::string> first = {{"Resources/x.txt", noise}};
  builder.add_update({}, first);
  builder.add("Resources/y.txt", "the file of the second run");
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {}));
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 1000;
  slow.delay_ms = 30;
  server->set_fault(request_of("Resources/x.txt"), slow);

  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  // The first run works on x.txt only; it is left while x.txt comes in.
  current_version(index_of("Resources/y.txt")).sig_have = current_version(index_of("Resources/y.txt")).sig_want;
  stg.stream_count = 1;
  ASSERT_EQ(start_install(), 1);
  run_install(0.3);
  ASSERT_TRUE(http.slots[kFirstStreamHttp]) << "x.txt should still be coming in";
  ASSERT_TRUE(write_file(stream_archive(3), "left over"));

  next.reset_all_streams();
  for (int slot = kFirstStreamHttp; slot < kFirstStreamHttp + kStreams; ++slot) EXPECT_FALSE(http.slots[slot]);
  for (int s = 0; s < kStreams; ++s) EXPECT_FALSE(exists_at_all(stream_archive(s)));

  // The second run wants y.txt only, first in the table order of its own
  // streams: it must get y.txt, never the rest of x.txt's transfer.
  current_version(index_of("Resources/x.txt")).do_install = 0;
  current_version(index_of("Resources/y.txt")).do_install = 1;
  current_version(index_of("Resources/y.txt")).is_current = 0;
  sim_info.erase(sim_info.begin() + index_of("Resources/x.txt"));
  next.reset_all_streams();
  const RunStats stats = run_install();
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(read_file(local("Resources/y.txt")), "the file of the second run");
  EXPECT_FALSE(exists_at_all(local("Resources/x.txt")));
}

TEST_F(Streams, TheDownloadStepWaitsForItsTransfersAndEndsEarlyWhenNothingCanMove) {
  std::string noise(60000, '\0');
  unsigned r = 777;
  for (char& c : noise) {
    r = r * 1103515245u + 12345u;
    c = static_cast<char>(r >> 23);
  }
  builder.add_update({}, {{"Resources/slow.bin", noise}, {"Resources/broken.bin", "never served"}});
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {}));
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 8000;
  slow.delay_ms = 25;
  server->set_fault(request_of("Resources/slow.bin"), slow);
  TestHttpServer::FaultSpec unavailable;
  unavailable.fault = TestHttpServer::Fault::status;
  unavailable.status = 503;
  server->set_fault(request_of("Resources/broken.bin"), unavailable);
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  current_version(index_of("Resources/broken.bin")).sig_have = current_version(index_of("Resources/broken.bin")).sig_want;
  stg.stream_count = 1;
  ASSERT_EQ(start_install(), 1);

  // Streams that want their next file have work at once.
  EXPECT_TRUE(wait_for_streams(5.0));
  // The archive trickles in eight pieces 25 ms apart: waiting between calls
  // takes a few calls per piece, where calling again and again would take
  // tens of thousands.
  const RunStats stats = run_install();
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(read_file(local("Resources/slow.bin")), noise);
  EXPECT_LE(stats.calls, 40 * stats.frames + 100) << stats.frames << " frames";
  EXPECT_LE(stats.calls, 400);
  // A run with nothing to fetch: the slice ends with the result as soon as
  // every stream is idle, and then there is nothing to wait for.
  current_version(index_of("Resources/slow.bin")).do_install = 0;
  next.reset_all_streams();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(grab_files_slice(5.0), 1);
  EXPECT_FALSE(wait_for_streams(5.0));

  // A stream whose transfer failed rests until the frame timer moves: the
  // slice returns at once instead of calling grab_files for the rest of it.
  current_version(index_of("Resources/broken.bin")).do_install = 1;
  current_version(index_of("Resources/broken.bin")).is_current = 0;
  next.reset_all_streams();
  xtim.xtim_update();
  EXPECT_EQ(grab_files_slice(5.0), 0);
  EXPECT_EQ(stg.download_failed, 1);
  EXPECT_FALSE(wait_for_streams(5.0));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
  EXPECT_EQ(server->count(request_of("Resources/broken.bin")), 1);
}

// Bytes that do not compress, so that an archive of them takes time to
// unpack.
std::string noise(std::size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (char& c : out) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return out;
}

// The names of the zip archives in a folder, one after the other.
std::string zips_in(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> types;
  opensave_getitems(folder, 0, names, types);
  std::string out;
  for (const std::string& n : names)
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".zip") == 0) out += n + " ";
  return out;
}

TEST_F(Streams, StreamsGoOnWhileArchivesAreUnpackedAndFilesCountOnlyOnceTheirUnpackingIsBack) {
  std::map<std::string, std::string> b = {{"Resources/big.bin", noise(24 << 20, 5)}};
  for (int i = 0; i < 6; ++i) b["Resources/s" + std::to_string(i) + ".txt"] = "small file " + std::to_string(i);
  builder.add_update({}, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, {}));
  stg.stream_count = 1;
  stg.log_actions = 1;
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  const float to_install = stg.kb_to_install;
  const int big = index_of("Resources/big.bin");
  ASSERT_EQ(big, 0) << "the large file comes first in the table";

  // Watched after every call: while the large file is on the pool it is
  // neither current nor counted, and the one stream is already fetching
  // the files after it.
  bool overlapped = false;
  bool counted_early = false;
  on_call = [&] {
    const bool big_pending = !current_version(big).is_current && next.kb_downloaded >= current_version(big).size_kb;
    if (big_pending && next.kb_installed >= current_version(big).unpacked_kb) counted_early = true;
    if (big_pending && unpacks_in_flight() > 0 && server->count(request_of("Resources/s0.txt")) > 0) overlapped = true;
  };
  ASSERT_EQ(start_install(), 1);
  const RunStats stats = run_install(60.0);
  on_call = nullptr;
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_TRUE(overlapped) << "the next download did not overlap the unpacking";
  EXPECT_FALSE(counted_early);
  EXPECT_GE(stats.max_unpacks, 1);
  EXPECT_FLOAT_EQ(stats.max_installed, to_install);
  EXPECT_EQ(web_unzip_pool, nullptr) << "the pool ends with the run";
  expect_release_on_disk(b, {});
  for (const auto& [path, content] : b) EXPECT_EQ(current_version(index_of(path)).is_current, 1) << path;
  // The archives handed to the pool are gone, and each file was logged once.
  EXPECT_EQ(zips_in(temp_path), "") << "no archive is left in the temporary folder";
  const std::string log = log_text();
  for (const auto& [path, content] : b) {
    const std::string line = "EXPANDING file " + local(path) + ", with result=0.\n";
    const std::size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << path;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << path;
  }
}

TEST_F(Streams, AStreamWhoseArchiveFindsNoRoomOnThePoolKeepsItUntilThereIs) {
  std::map<std::string, std::string> a;
  std::map<std::string, std::string> b;
  for (int i = 0; i < 24; ++i) {
    const std::string path = "Resources/f" + std::to_string(i % 3) + "/n" + std::to_string(i) + ".bin";
    a[path] = "old " + std::to_string(i);
    b[path] = noise(20000 + 3000 * static_cast<std::size_t>(i), 40u + static_cast<unsigned>(i));
  }
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  stg.stream_count = 4;
  web_unpacks_max = 1;
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  const float to_install = stg.kb_to_install;
  ASSERT_EQ(start_install(), 1);
  const RunStats stats = run_install(60.0);
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(stats.max_unpacks, 1);
  EXPECT_EQ(stats.max_active, 4);
  EXPECT_FLOAT_EQ(stats.max_installed, to_install);
  for (const auto& [path, content] : b) EXPECT_EQ(server->count(request_of(path)), 1) << path;
  expect_release_on_disk(b, {});
  EXPECT_EQ(zips_in(temp_path), "") << "no archive is left in the temporary folder";
  expect_all_current();
}

// Without a fixture: the child that runs the death test ends inside the
// alert, so nothing it made would be cleaned up.
TEST(StreamsDeathTest, APathWithoutAFileEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<file_history_struct> saved = sim_info;
  file_version_struct v;
  v.path = "Halden/folder/";
  v.do_install = 1;
  sim_info.assign(1, file_history_struct{{v}});
  next.reset_all_streams();
  EXPECT_EXIT(grab_files(), ::testing::ExitedWithCode(1), "found a path that has no file");
  sim_info = saved;
  next = next_class{};
}

}  // namespace
