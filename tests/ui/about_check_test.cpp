// The about box's version check and installer steps against a real HTTP
// server on 127.0.0.1, reached through the proxy settings, and with the
// server down; the server list reader on cut and malformed lists.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/installer_state.h"
#include "files/archives.h"
#include "files/http.h"
#include "runtime/xtim.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "ui/about_box.h"

namespace {

const std::string kHeader = "I\n820 version\nSERVERS\n";

about_versions read_list(const std::string& body) {
  // An exact-size heap copy: a read past the end is caught.
  std::unique_ptr<char[]> copy(new char[body.size() + 1]);
  std::memcpy(copy.get(), body.data(), body.size());
  about_versions v;
  about_read_records(copy.get(), copy.get() + body.size(), v);
  return v;
}

about_state decided(int final_version, int beta_version, const std::string& extra = "") {
  about_state s;
  s.v = read_list("FINAL 9.20\nBETA 9.30b1\n" + extra);
  s.v.final_version = final_version;
  s.v.beta_version = beta_version;
  about_decide(s);
  return s;
}

class AboutCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(www.ok() && tmp.ok() && work.ok());
    server = std::make_unique<TestHttpServer>(www.path());
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server->port();
    temp_path = tmp.path();
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(work.path().c_str()), 0);
  }
  void TearDown() override {
    for (int slot = 0; slot < http_class::kSlots; ++slot) http.abort(slot);
    http.proxy_host.clear();
    http.proxy_port = 0;
    temp_path.clear();
    EXPECT_EQ(chdir(cwd), 0);
  }

  // Passes of the box, as its loop makes them, until done() or a time limit.
  template <class Pass, class Done>
  bool passes(Pass pass, Done done, double seconds = 15.0) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      xtim.xtim_update();
      pass();
      timespec ts{0, 1000000};
      nanosleep(&ts, nullptr);
    }
    return true;
  }
  bool check(about_state& s) {
    return passes([&] { about_check_step(s, temp_path + "serverlist9.txt"); }, [&] { return s.fetched != 0; });
  }
  bool install(about_state& s) {
    return passes([&] { about_installer_step(s, temp_path + "installer.zip"); },
                  [&] { return s.ins_state != about_downloading; });
  }

  TempDir www, tmp, work;
  std::unique_ptr<TestHttpServer> server;
  char cwd[4096];
};

}  // namespace

TEST(AboutVersions, RecordsAndTheDecision) {
  about_versions v = read_list(
      "  BETA 9.30 beta 1\n\nFINAL 9.20 release\r\nBETA_VERSION -7 more\nFINAL_VERSION 92000\n"
      "FINAL_INSTALLER_LIN www.example.com /files/ins 920.zip\nBETA_INSTALLER_LIN\tb.example.com\t/b.zip\n"
      "FINALS x\nSERVER s.example.com\n/p/\nFINAL_VERSIONS 5\n");
  EXPECT_EQ(v.found, 1);
  EXPECT_EQ(v.net, "9.20 release");
  EXPECT_EQ(v.net_beta, "9.30 beta 1");
  EXPECT_EQ(v.beta_version, -7) << "a leading '-' gives a negative number";
  EXPECT_EQ(v.final_version, 92000);
  EXPECT_EQ(v.final_server, "www.example.com");
  EXPECT_EQ(v.final_path, "/files/ins 920.zip");
  EXPECT_EQ(v.beta_server, "b.example.com");
  EXPECT_EQ(v.beta_path, "/b.zip");

  const std::string beta_at = "BETA_INSTALLER_LIN www.example.com /beta.zip\n";
  const std::string newer_beta =
      "There is a newer beta of Corvane available! Visit http://www.example.com/ to download the update.";
  const std::string newer_final =
      "There is a new version of Corvane available! Visit http://www.example.com/ to download the update.";
  const struct {
    int final_v, beta_v;
    std::string extra;
    int state, is_latest, is_beta;
    std::string message;
  } cases[] = {
      {-1, 99999, beta_at, about_message, 1, 0, "Can't connect to the net to find latest version."},
      {91001, 99999, beta_at, about_message, 1, 0, "Your version of Corvane is up to date."},
      {91000, 91001, beta_at, about_message, 1, 0, "You have the latest Corvane beta."},
      {91000, 91002, beta_at, about_offer, 0, 1, ""},
      {91000, 91002, "", about_message, 0, 1, newer_beta},
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com /final.zip\n", about_offer, 0, 0, ""},
      {91002, 0, beta_at, about_message, 0, 0, newer_final},
      // Locations the HTTP client would refuse count as none.
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com/ /final.zip\n", about_message, 0, 0, newer_final},
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com final.zip\n", about_message, 0, 0, newer_final},
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com\n", about_message, 0, 0, newer_final},
  };
  for (const auto& c : cases) {
    const about_state s = decided(c.final_v, c.beta_v, c.extra);
    SCOPED_TRACE(std::to_string(c.final_v) + " " + std::to_string(c.beta_v) + " " + c.extra);
    EXPECT_EQ(s.ins_state, c.state);
    EXPECT_EQ(s.is_latest, c.is_latest);
    EXPECT_EQ(s.is_beta, c.is_beta);
    EXPECT_EQ(about_status_line(s, 0, -1), c.message);
    if (c.state == about_offer) {
      EXPECT_EQ(s.installer_path, c.is_beta ? "/beta.zip" : "/final.zip");
    }
  }
  about_state s = decided(91000, 91002, beta_at);
  EXPECT_EQ(about_version_line(s), "The current beta version of Corvane is now 9.30b1.");
  s = decided(91001, 0);
  EXPECT_EQ(about_version_line(s), "The current version of Corvane is now 9.20.");
  EXPECT_EQ(about_version_line(about_state()),
            "I could not connect to the net to find the current version of Corvane at http://www.example.com/!");

  s.ins_state = about_downloading;
  EXPECT_EQ(about_status_line(s, 50, 200), "Downloading the installer...25% complete");
  EXPECT_EQ(about_status_line(s, 3000000000LL, 6000000000LL), "Downloading the installer...50% complete");
  EXPECT_EQ(about_status_line(s, 10, 0), "Downloading the installer...") << "a length of 0 is unknown";
  EXPECT_EQ(about_status_line(s, 0, -1), "Downloading the installer...");
  s.ins_state = about_offer;
  EXPECT_EQ(about_status_line(s, 0, -1), "");
}

TEST(AboutVersions, CutAndMalformedListsAreReadWithinTheirBytes) {
  using namespace std::string_literals;
  const std::string list =
      "BETA 9.30\nFINAL 9.20\nBETA_VERSION 91002\nFINAL_VERSION -\nFINAL_INSTALLER_LIN h /p\n"
      "BETA_INSTALLER_LIN\n\0\0BETA_VERSION 99999999999999999999\nFINAL_VERSION 12x\n"s;
  for (std::size_t n = 0; n <= list.size(); ++n) {
    const about_versions v = read_list(list.substr(0, n));
    EXPECT_EQ(v.found, n >= 15 ? 1 : 0) << n;
  }
  const about_versions v = read_list(list);
  EXPECT_EQ(v.final_version, 0) << "a number that is not one reads as 0";
  EXPECT_EQ(v.beta_version, 2147483647) << "an over-long number is clamped";
  EXPECT_EQ(v.beta_server, "");
}

TEST_F(AboutCheckTest, ServerListThroughTheProxyOncePerOpening) {
  about_state s;
  // The server is down: nothing changes and the fetch is not repeated in
  // this opening.
  server->stop();
  ASSERT_TRUE(check(s));
  EXPECT_EQ(s.ins_state, about_idle);
  EXPECT_EQ(s.v.found, 0);
  EXPECT_EQ(about_version_line(s).rfind("I could not connect", 0), 0u);
  EXPECT_EQ(about_status_line(s, 0, -1), "");
  ASSERT_TRUE(server->start());
  for (int i = 0; i < 50; ++i) about_check_step(s, temp_path + "serverlist9.txt");
  EXPECT_EQ(server->count("/serverlist9.txt"), 0);
  about_close(s);

  // A list without a FINAL record: read once, fetched again next opening.
  ASSERT_TRUE(write_file(www / "serverlist9.txt", kHeader + "BETA 9.30\nBETA_VERSION 91002\n"));
  ASSERT_TRUE(check(s));
  EXPECT_EQ(about_status_line(s, 0, -1), "Can't connect to the net to find latest version.");
  ASSERT_EQ(server->requests().size(), 1u);
  EXPECT_EQ(server->requests()[0].target, "http://www.example.com/serverlist9.txt");
  about_close(s);

  // Another kind of file is no list; then a newer final release.
  ASSERT_TRUE(write_file(www / "serverlist9.txt", "I\n820 version\nDIRECTORY\nFINAL 9.20\nFINAL_VERSION 92000\n"));
  ASSERT_TRUE(check(s));
  EXPECT_EQ(s.v.found, 0);
  about_close(s);
  ASSERT_TRUE(write_file(www / "serverlist9.txt",
                         kHeader + "FINAL 9.20\nFINAL_VERSION 92000\nFINAL_INSTALLER_LIN www.example.com /i.zip\n"));
  ASSERT_TRUE(check(s));
  EXPECT_EQ(s.ins_state, about_offer);
  EXPECT_EQ(about_version_line(s), "The current version of Corvane is now 9.20.");
  about_close(s);
  server->clear_requests();
  for (int i = 0; i < 20; ++i) about_check_step(s, temp_path + "serverlist9.txt");
  EXPECT_EQ(server->requests().size(), 0u) << "a list with FINAL is not fetched again in this run";
}

TEST_F(AboutCheckTest, InstallerDownloadUnpackAndStartFailures) {
  about_state s;
  s.installer_server = "www.example.com";
  s.installer_path = "/missing.zip";
  s.ins_state = about_downloading;
  ASSERT_TRUE(install(s));
  EXPECT_EQ(about_status_line(s, 0, -1), "I was unable to download the installer from the net.");

  ASSERT_TRUE(write_file(www / "notzip.zip", "this is no archive"));
  s.installer_path = "/notzip.zip";
  s.ins_state = about_downloading;
  ASSERT_TRUE(install(s));
  EXPECT_EQ(about_status_line(s, 0, -1).rfind("There was an error unzipping the installer: ", 0), 0u)
      << about_status_line(s, 0, -1);
  EXPECT_NE(about_status_line(s, 0, -1).find("(20001)"), std::string::npos);

  // An archive whose first entry is a folder: unpacked into the working
  // folder, the folder's name without its '/' is started, which exec
  // refuses.
  ASSERT_EQ(std::system(("python3 -c \"import zipfile, sys; z = zipfile.ZipFile(sys.argv[1], 'w'); "
                         "z.writestr('Corvane Installer/', ''); z.writestr('Corvane Installer/run', 'x'); "
                         "z.close()\" '" + www / "ins.zip" + "'")
                            .c_str()),
            0);
  s.installer_path = "/ins.zip";
  s.ins_state = about_downloading;
  ASSERT_TRUE(install(s));
  EXPECT_EQ(s.ins_state, about_launching);
  EXPECT_EQ(s.installer_app_name, "Corvane Installer");
  EXPECT_EQ(read_file(work / "Corvane Installer/run"), "x");
  EXPECT_FALSE(exists_at_all(tmp / "installer.zip")) << "the archive goes once unpacked";
  about_installer_step(s, temp_path + "installer.zip");
  EXPECT_EQ(s.ins_state, about_message);
  EXPECT_EQ(about_status_line(s, 0, -1).rfind("There was an error launching the installer: ", 0), 0u);
  EXPECT_NE(about_status_line(s, 0, -1).find("(13)"), std::string::npos);
}

TEST_F(AboutCheckTest, ClosingTheBoxEndsItsOwnDownloadsOnly) {
  ASSERT_TRUE(write_file(www / "big.zip", std::string(1 << 20, 'z')));
  TestHttpServer::FaultSpec stall;
  stall.fault = TestHttpServer::Fault::stall;
  stall.bytes = 1000;
  server->set_fault("/big.zip", stall);
  about_state s;
  s.installer_server = "www.example.com";
  s.installer_path = "/big.zip";
  s.ins_state = about_downloading;
  ASSERT_TRUE(passes([&] { about_installer_step(s, temp_path + "installer.zip"); },
                     [&] { return http.written(kAboutInstallerSlot) >= 1000; }));
  EXPECT_EQ(about_status_line(s, http.written(1), http.content_length(1)),
            "Downloading the installer...0% complete");
  about_close(s);
  EXPECT_EQ(http.slots[kAboutInstallerSlot], nullptr);

  // A download the box did not start stays.
  ASSERT_EQ(http.net_check(kAboutListSlot, "www.example.com", "/big.zip", temp_path + "other"), 0);
  about_state t;
  t.v.found = 1;
  about_check_step(t, temp_path + "serverlist9.txt");
  about_close(t);
  EXPECT_NE(http.slots[kAboutListSlot], nullptr);
}
