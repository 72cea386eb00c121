// The web update from end to end, headless: release A is installed in a
// Halden folder, the server offers release B, and the engine is driven the
// way the install screens drive it, against a real HTTP server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/web_update_rig.h"
#include "files/http.h"

namespace {

// Text of a given size that differs with the seed and compresses somewhat.
std::string blob(unsigned seed, std::size_t size) {
  std::string s;
  s.reserve(size);
  unsigned x = seed * 2654435761u + 1;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 16) % 26);
    if ((x >> 8) % 11 == 0) s += ' ';
  }
  s.resize(size);
  return s;
}

using Files = std::map<std::string, std::string>;

class WebUpdate : public UpdateRig {
 protected:
  // Release A: 24 files in several folders.
  Files release_a() {
    Files a;
    for (int i = 0; i < 6; ++i) a["Airfoils/wing" + std::to_string(i) + ".afl"] = blob(100 + i, 2000 + 700 * i);
    for (int i = 0; i < 6; ++i)
      a["Resources/plugins/plugin " + std::to_string(i) + ".txt"] = blob(200 + i, 3000 + 500 * i);
    for (int i = 0; i < 4; ++i) a["Instructions/page" + std::to_string(i) + ".txt"] = blob(300 + i, 1500);
    a["Resources/old/x.txt"] = blob(400, 900);
    a["Resources/old/deeper/y.txt"] = blob(401, 900);
    a["Resources/keep/z.txt"] = blob(402, 900);
    a["Resources/three.txt"] = blob(403, 2500);
    a["top level.txt"] = blob(404, 100);
    a["Output/situations/start.sit"] = blob(405, 600);
    a["Resources/empty.txt"] = "";
    a["Resources/sounds/engine.wav"] = blob(406, 20000);
    return a;
  }

  // Release B: eight files changed, three removed, four added.
  Files release_b(const Files& a) {
    Files b = a;
    for (int i = 0; i < 4; ++i) b["Airfoils/wing" + std::to_string(i) + ".afl"] = blob(500 + i, 2600 + 300 * i);
    for (int i = 0; i < 3; ++i)
      b["Resources/plugins/plugin " + std::to_string(i) + ".txt"] = blob(600 + i, 4000);
    b["Resources/three.txt"] = blob(700, 2700);
    b.erase("Resources/old/x.txt");
    b.erase("Resources/old/deeper/y.txt");
    b.erase("Resources/keep/z.txt");
    b["Resources/new/deep/n1.txt"] = blob(800, 5000);
    b["Resources/new/n2.txt"] = blob(801, 50);
    b["Airfoils/new wing.afl"] = blob(802, 7000);
    b["Resources/sounds/new.wav"] = "";
    return b;
  }

  static std::vector<std::string> removed_between(const Files& a, const Files& b) {
    std::vector<std::string> out;
    for (const auto& [path, content] : a)
      if (!b.count(path)) out.push_back(path);
    return out;
  }

  // Paths whose content in b differs from a or that b adds.
  static std::vector<std::string> changed_between(const Files& a, const Files& b) {
    std::vector<std::string> out;
    for (const auto& [path, content] : b) {
      const auto it = a.find(path);
      if (it == a.end() || it->second != content) out.push_back(path);
    }
    return out;
  }

  // Publishes the update from a to b (with "three.txt" also having an older
  // version than a's) and installs a, that older version of "three.txt"
  // included.
  void set_up_update(const Files& a, const Files& b) {
    builder.add("Resources/three.txt", kThreeOldest);
    builder.add_update(a, b);
    publish();
    Files installed = a;
    installed["Resources/three.txt"] = kThreeOldest;
    ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, installed));
  }

  const std::string kThreeOldest = blob(999, 2400);
};

TEST_F(WebUpdate, BringsAnInstalledReleaseUpToTheNextOne) {
  const Files a = release_a();
  const Files b = release_b(a);
  set_up_update(a, b);
  ASSERT_TRUE(write_file(local("Resources/keep/mine.txt"), "the user's own file"));
  stg.stream_count = 4;

  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  const float to_install = stg.kb_to_install;
  EXPECT_EQ(stg.files_to_get, static_cast<int>(changed_between(a, b).size()));
  ASSERT_EQ(start_install(), 1);
  RunStats stats = run_install();

  ASSERT_EQ(stats.result, 1) << "the run did not finish";
  EXPECT_EQ(stg.had_errors, 0);
  EXPECT_EQ(stg.download_failed, 0);
  expect_release_on_disk(b, removed_between(a, b));
  EXPECT_EQ(read_file(local("Resources/keep/mine.txt")), "the user's own file");

  // Folders that the removals left empty are gone; a folder that still
  // holds a file of the user's stays.
  EXPECT_FALSE(exists_at_all(local("Resources/old/deeper")));
  EXPECT_FALSE(exists_at_all(local("Resources/old")));
  EXPECT_TRUE(exists_at_all(local("Resources/keep/")));
  EXPECT_TRUE(exists_at_all(local("Resources/")));

  // Each changed file was fetched exactly once, unchanged files never, and
  // no question came up (every local file was a released version).
  for (const std::string& path : changed_between(a, b)) EXPECT_EQ(server->count(request_of(path)), 1) << path;
  for (const auto& [path, content] : b)
    if (a.count(path) && a.at(path) == content && path != "Resources/three.txt") {
      EXPECT_EQ(server->count(request_of(path)), 0) << path;
    }
  EXPECT_EQ(log_text().find("File: "), std::string::npos);

  // Four streams ran; the counters reached the total and never passed it.
  EXPECT_EQ(stats.max_active, 4);
  EXPECT_FLOAT_EQ(stats.max_installed, to_install);
  for (int s = 0; s < kStreams; ++s) EXPECT_FALSE(exists_at_all(stream_archive(s))) << s;

  // The working folders are there.
  for (const char* folder : {"Output/FMS plans", "Output/logbooks", "Output/movies", "Resources/preferences"})
    EXPECT_TRUE(exists_at_all(local(folder))) << folder;

  expect_all_current();
}

TEST_F(WebUpdate, ChangedFilesBringTheQuestionAndItsAnswersAreFollowed) {
  Files a;
  Files b;
  for (const char* f : {"m1", "m2", "m3", "m4"}) {
    a[std::string("Resources/act/") + f + ".txt"] = blob(f[1] * 7u, 800);
    b[std::string("Resources/act/") + f + ".txt"] = blob(f[1] * 13u, 900);
  }
  a["Resources/act/gone.txt"] = blob(31, 500);  // removed by b
  for (const char* f : {"k1", "k2"}) {
    a[std::string("Resources/keep/") + f + ".txt"] = blob(f[1] * 17u, 800);
    b[std::string("Resources/keep/") + f + ".txt"] = blob(f[1] * 19u, 900);
  }
  for (const char* f : {"o1", "o2"}) {
    a[std::string("Airfoils/") + f + ".afl"] = blob(f[1] * 23u, 800);
    b[std::string("Airfoils/") + f + ".afl"] = blob(f[1] * 29u, 900);
  }
  a["Instructions/old.txt"] = blob(41, 300);  // removed by b
  b["Instructions/new.txt"] = blob(42, 300);
  builder.add_update(a, b);
  publish();

  // Every file was changed by the user except m4, which is release a's.
  Files installed;
  for (const auto& [path, content] : a) installed[path] = "changed by the user: " + path;
  installed["Resources/act/m4.txt"] = a["Resources/act/m4.txt"];
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, installed));

  // Table order: Airfoils/o1, o2, Instructions/old, Resources/act/gone, m1..m4,
  // Resources/keep/k1, k2, then the new file.
  BTN_script_click("OVERWRITE THE OLD FILE");                     // Airfoils/o1
  BTN_script_click("KEEP THE OLD FILE");                          // Airfoils/o2
  BTN_script_click("KEEP THE OLD FILE");                          // Instructions/old (delete question)
  BTN_script_click("DELETE EVERY OLD FILE IN THIS DIRECTORY");    // Resources/act/gone: also m1..m3
  BTN_script_click("KEEP EVERY OLD FILE IN THIS DIRECTORY");      // Resources/keep/k1: also k2

  RunStats stats;
  ASSERT_TRUE(road(stats));
  ASSERT_EQ(stats.result, 1);
  EXPECT_EQ(BTN_script_pending(), 0) << "a question was not asked";
  const std::string log = log_text();
  EXPECT_EQ(occurrences(log, "File: "), 5);
  EXPECT_NE(log.find("File: " + local("Airfoils/o1.afl") + "  sig_want=" +
                     ReleaseBuilder::md5_of(b["Airfoils/o1.afl"]) + "  sig_have="),
            std::string::npos);

  EXPECT_EQ(read_file(local("Airfoils/o1.afl")), b["Airfoils/o1.afl"]);
  EXPECT_EQ(read_file(local("Airfoils/o2.afl")), installed["Airfoils/o2.afl"]);
  EXPECT_EQ(read_file(local("Instructions/old.txt")), installed["Instructions/old.txt"]);
  EXPECT_FALSE(exists_at_all(local("Resources/act/gone.txt")));
  for (const char* f : {"m1", "m2", "m3", "m4"}) {
    const std::string path = std::string("Resources/act/") + f + ".txt";
    EXPECT_EQ(read_file(local(path)), b[path]) << path;
  }
  for (const char* f : {"k1", "k2"}) {
    const std::string path = std::string("Resources/keep/") + f + ".txt";
    EXPECT_EQ(read_file(local(path)), installed[path]) << path;
  }
  EXPECT_EQ(read_file(local("Instructions/new.txt")), b["Instructions/new.txt"]);
}

TEST_F(WebUpdate, CancellingTheQuestionTouchesNothing) {
  Files a = {{"Airfoils/a.afl", blob(1, 500)}, {"Airfoils/b.afl", blob(2, 500)}, {"Resources/c.txt", blob(3, 500)}};
  Files b = {{"Airfoils/a.afl", blob(4, 500)}, {"Airfoils/b.afl", blob(5, 500)}, {"Resources/c.txt", blob(6, 500)},
             {"Resources/new/d.txt", blob(7, 500)}};
  builder.add_update(a, b);
  publish();
  Files installed = a;
  installed["Airfoils/a.afl"] = "mine";
  installed["Resources/c.txt"] = "mine too";
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, installed));

  BTN_script_click("OVERWRITE THE OLD FILE");
  BTN_script_click("CANCEL THE WHOLE INSTALLATION!");
  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  EXPECT_EQ(start_install(), 0);

  // The first file keeps its decision, the cancelled one and the later ones
  // are not decided; nothing was created, fetched or changed.
  EXPECT_EQ(current_version(index_of("Airfoils/a.afl")).do_install, 1);
  EXPECT_EQ(current_version(index_of("Resources/c.txt")).do_install, 0);
  EXPECT_EQ(current_version(index_of("Resources/new/d.txt")).do_install, 0);
  EXPECT_FALSE(exists_at_all(local("Resources/new")));
  EXPECT_FALSE(exists_at_all(local("Output/FMS plans")));
  for (const auto& [path, content] : installed) EXPECT_EQ(read_file(local(path)), content) << path;
  for (const auto& request : server->requests()) EXPECT_EQ(request.path.find("/Halden/"), std::string::npos);
}

TEST_F(WebUpdate, AFailingServerIsReplacedByAnother) {
  Files a;
  Files b;
  for (int i = 0; i < 8; ++i) {
    a["Resources/f" + std::to_string(i) + ".txt"] = blob(10 + i, 1000);
    b["Resources/f" + std::to_string(i) + ".txt"] = blob(30 + i, 1200);
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
  // The user picked the first server. The server draws after the failures
  // come from a seed whose first draws all name the second server.
  stg.server_index = 0;
  unsigned seed = 1;
  for (;; ++seed) {
    srand(seed);
    bool all_second = true;
    for (int k = 0; k < 6; ++k) all_second = all_second && pick_server_index(2) == 1;
    if (all_second) break;
  }
  srand(seed);
  const float to_install = stg.kb_to_install;
  ASSERT_EQ(start_install(), 1);
  RunStats stats = run_install();

  ASSERT_EQ(stats.result, 1);
  EXPECT_TRUE(stats.saw_failure);
  EXPECT_EQ(stg.download_failed, 0);
  EXPECT_EQ(stg.server_index, 1);
  expect_release_on_disk(b, {});
  int failed = 0;
  for (const auto& [path, content] : b) {
    failed += server->count(request_of(path, "/down/"));
    EXPECT_GE(server->count(request_of(path, "/up/")), 1) << path;
  }
  EXPECT_FLOAT_EQ(stats.max_installed, to_install) << "no file is counted twice";
  EXPECT_GE(failed, 1);
  // Only the files in flight on the failing server are asked there, and
  // those of any transfer from the working server that failed on its way
  // (a loaded machine), since a failure always turns to the other server.
  const std::string log = log_text();
  EXPECT_LE(failed, 2 + occurrences(log, "   server     =up.example.com\n")) << log;
  expect_all_current();
}

TEST_F(WebUpdate, FixedAndAutomaticStreamCounts) {
  Files a;
  Files b;
  for (int i = 0; i < 10; ++i) {
    a["Resources/s" + std::to_string(i) + ".txt"] = blob(50 + i, 700);
    b["Resources/s" + std::to_string(i) + ".txt"] = blob(70 + i, 800);
  }
  builder.add_update(a, b);
  publish();

  struct Case {
    int stream_count;
    int max_active_low, max_active_high, final_active;
  };
  // One stream: the two that start are cut to one after the first file
  // (which may come within the first call). Two: never more. Automatic: at
  // least two, at most the four slots.
  for (const Case& c : {Case{1, 1, 2, 1}, Case{2, 2, 2, 2}, Case{4, 4, 4, 4}, Case{0, 2, 4, -1}}) {
    SCOPED_TRACE("stream_count " + std::to_string(c.stream_count));
    ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
    stg.stream_count = c.stream_count;
    RunStats stats;
    ASSERT_TRUE(road(stats));
    ASSERT_EQ(stats.result, 1);
    EXPECT_GE(stats.max_active, c.max_active_low);
    EXPECT_LE(stats.max_active, c.max_active_high);
    if (c.final_active >= 0) {
      EXPECT_EQ(stats.final_active, c.final_active);
    }
    expect_release_on_disk(b, {});
  }
}

TEST_F(WebUpdate, ARunStoppedHalfWayFinishesOnTheNextRun) {
  Files a;
  Files b;
  for (int i = 0; i < 16; ++i) {
    a["Resources/r/f" + std::to_string(i) + ".txt"] = blob(90 + i, 3000);
    b["Resources/r/f" + std::to_string(i) + ".txt"] = blob(120 + i, 40000 + 1000 * i);
  }
  a["Resources/r/gone.txt"] = blob(150, 100);
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  stg.stream_count = 4;

  // Later archives trickle, so transfers are in flight when the server goes.
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 2048;
  slow.delay_ms = 20;
  for (int i = 8; i < 16; ++i) server->set_fault(request_of("Resources/r/f" + std::to_string(i) + ".txt"), slow);

  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  const float to_install = stg.kb_to_install;
  ASSERT_EQ(start_install(), 1);
  RunStats first = run_install(20.0, [] { return next.kb_installed > 0.0f && next.next_file >= 10; });
  ASSERT_EQ(first.result, 0) << "the first run should have been stopped half-way";
  EXPECT_LT(next.kb_installed, to_install);

  // The server goes away: the transfers in flight fail and are retried.
  server->stop();
  RunStats failing = run_install(1.5);
  EXPECT_EQ(failing.result, 0);
  EXPECT_TRUE(failing.saw_failure);

  // The user leaves the screen; the streams are reset: nothing is left in
  // flight and no stream archive is left behind.
  next.reset_all_streams();
  for (int slot = kFirstStreamHttp; slot < kFirstStreamHttp + kStreams; ++slot) EXPECT_FALSE(http.slots[slot]);
  for (int s = 0; s < kStreams; ++s) EXPECT_FALSE(exists_at_all(stream_archive(s)));
  // No file is damaged: each holds release a's or b's bytes.
  for (const auto& [path, content] : b) {
    const std::string now = read_file(local(path));
    EXPECT_TRUE(now == content || now == a[path]) << path;
  }

  // Later the server is back and the update is run again from the search.
  ASSERT_TRUE(server->start());
  server->clear_faults();
  RunStats second;
  ASSERT_TRUE(road(second));
  ASSERT_EQ(second.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  expect_release_on_disk(b, {"Resources/r/gone.txt"});
  expect_all_current();
}

TEST_F(WebUpdate, NamesWithPercentSignsAndBytesThatEndAPathAreAskedForEscapedAndInstalled) {
  const Files a = {{"Resources/keep.txt", blob(1, 500)}};
  Files b = a;
  // Each name, as it is sent: a '%' is part of the name, so "a%20b.txt"
  // asks for its own archive, not for that of "a b.txt".
  const std::map<std::string, std::string> sent = {
      {"Resources/odd/50%off.txt", "50%25off.txt"}, {"Resources/odd/a%20b.txt", "a%2520b.txt"},
      {"Resources/odd/a b.txt", "a%20b.txt"},       {"Resources/odd/a#b.txt", "a%23b.txt"},
      {"Resources/odd/why?.txt", "why%3F.txt"},     {"Resources/odd/caf\xC3\xA9.txt", "caf%C3%A9.txt"}};
  unsigned seed = 10;
  for (const auto& [path, as_sent] : sent) b[path] = blob(++seed, 700);
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));

  RunStats stats;
  ASSERT_TRUE(road(stats));
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 0);
  expect_release_on_disk(b, {});
  const auto requests = server->requests();
  for (const auto& [path, as_sent] : sent) {
    const std::string tail = "/Halden/Resources/odd/" + as_sent + ".zip";
    int asked = 0;
    for (const auto& r : requests)
      asked += r.target.size() > tail.size() && r.target.compare(r.target.size() - tail.size(), tail.size(), tail) == 0;
    EXPECT_EQ(asked, 1) << path;
  }
  expect_all_current();
}

TEST_F(WebUpdate, AnArchiveThatCannotBeUnpackedEndsTheRunAndLeavesItsFileAlone) {
  Files a;
  Files b;
  for (const char* f : {"a", "b", "c", "d"}) {
    a[std::string("Airfoils/") + f + ".afl"] = blob(f[0], 900);
    b[std::string("Airfoils/") + f + ".afl"] = blob(f[0] + 100u, 900);
  }
  builder.add_update(a, b);
  publish();
  ASSERT_TRUE(ReleaseBuilder::install(dest_dir_path, a));
  // The archive of c.afl is damaged on the server: the right length, but
  // not a zip archive.
  const std::string served = www.path() + request_of("Airfoils/c.afl").substr(1);
  ASSERT_TRUE(write_file(served, std::string(read_file(served).size(), 'x')));
  // One stream: a and b are downloaded before c, and d only after c. The
  // stream goes on downloading while archives are unpacked, so d trickles:
  // the failure of c is seen long before d could be complete.
  stg.stream_count = 1;
  TestHttpServer::FaultSpec slow;
  slow.fault = TestHttpServer::Fault::slow;
  slow.bytes = 64;
  slow.delay_ms = 100;
  server->set_fault(request_of("Airfoils/d.afl"), slow);

  ASSERT_TRUE(fetch_directory());
  ASSERT_TRUE(scan());
  ASSERT_EQ(start_install(), 1);
  testing::internal::CaptureStderr();
  RunStats stats = run_install();
  const std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stats.result, 1);
  EXPECT_EQ(stg.had_errors, 1);
  EXPECT_NE(shown.find("The installer cannot extract a file."), std::string::npos);
  EXPECT_NE(log_text().find("The installer cannot extract a file."), std::string::npos);
  EXPECT_EQ(current_version(index_of("Airfoils/c.afl")).is_current, 0) << "a file that was not unpacked is not current";
  EXPECT_EQ(read_file(local("Airfoils/c.afl")), a["Airfoils/c.afl"]) << "the old file is left as it was";
  for (const char* f : {"Airfoils/a.afl", "Airfoils/b.afl"}) {
    EXPECT_EQ(read_file(local(f)), b[f]) << f;
    EXPECT_EQ(current_version(index_of(f)).is_current, 1) << f;
  }
  EXPECT_LE(stats.max_installed, current_version(index_of("Airfoils/a.afl")).unpacked_kb +
                                      current_version(index_of("Airfoils/b.afl")).unpacked_kb)
      << "the failed file is not counted as installed";
  EXPECT_LE(server->count(request_of("Airfoils/d.afl")), 1) << "the run ends at the failure";
  EXPECT_EQ(read_file(local("Airfoils/d.afl")), a["Airfoils/d.afl"]);
  EXPECT_EQ(current_version(index_of("Airfoils/d.afl")).is_current, 0);
  EXPECT_EQ(unpacks_in_flight(), 0) << "the reset took every unpacking back";
  EXPECT_EQ(web_unzip_pool, nullptr);
}

}  // namespace
