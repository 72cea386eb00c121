// The about box's version check and installer steps against a real HTTP
// server on 127.0.0.1 reached through the proxy settings, and with the
// server down; the server list reader on cut and malformed lists.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/installer_state.h"
#include "files/http.h"
#include "runtime/xtim.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "ui/about_box.h"

namespace {

about_versions read_list(const std::string& body) {
  std::unique_ptr<char[]> copy(new char[body.size() + 1]);  // exact size: a read past the end is caught
  std::memcpy(copy.get(), body.data(), body.size());
  about_versions v;
  about_read_records(copy.get(), copy.get() + body.size(), v);
  return v;
}

const std::string kNewerBeta =
    "There is a newer beta of Corvane available! Visit http://www.example.com/ to download the update.";
const std::string kNewerFinal =
    "There is a new version of Corvane available! Visit http://www.example.com/ to download the update.";

}  // namespace

TEST(AboutVersions, RecordsAndTheDecision) {
  using namespace std::string_literals;
  const about_versions v = read_list(
      "  BETA 9.30 beta 1\n\nFINAL 9.20\r\nBETA_VERSION -7 more\nFINAL_VERSION 92000\n\0"
      "FINAL_INSTALLER_LIN www.example.com /ins 920.zip\nBETA_INSTALLER_LIN\tb.example.com\t/b.zip\nFINALS x\n"s);
  EXPECT_EQ(v.found, 1);
  EXPECT_EQ(v.net + "|" + v.net_beta, "9.20|9.30 beta 1");
  EXPECT_EQ(v.beta_version, -7);
  EXPECT_EQ(v.final_version, 92000);
  EXPECT_EQ(v.final_server + "|" + v.final_path + "|" + v.beta_server + "|" + v.beta_path,
            "www.example.com|/ins 920.zip|b.example.com|/b.zip");
  const std::string list = "BETA 9.30\nFINAL 9.20\nBETA_VERSION 99999999999999999999\nFINAL_VERSION 12x\n";
  for (std::size_t n = 0; n <= list.size(); ++n) EXPECT_EQ(read_list(list.substr(0, n)).found, n >= 15 ? 1 : 0);
  EXPECT_EQ(read_list(list).beta_version, 2147483647) << "clamped";
  EXPECT_EQ(read_list(list).final_version, 0) << "not a number";

  const std::string beta_at = "BETA_INSTALLER_LIN www.example.com /beta.zip\n";
  const std::string final_at = "FINAL_INSTALLER_LIN www.example.com /final.zip\n";
  const struct {
    int final_v, beta_v;
    std::string where, status;  // status "" : the button is offered
  } cases[] = {
      {-1, 99999, beta_at, "Can't connect to the net to find latest version."},
      {91001, 99999, beta_at, "Your version of Corvane is up to date."},
      {91000, 91001, beta_at, "You have the latest Corvane beta."},
      {91000, 91002, beta_at, ""},
      {91000, 91002, final_at, kNewerBeta},
      {91002, 0, final_at, ""},
      {91002, 0, beta_at, kNewerFinal},
      // Locations the HTTP client would refuse count as none.
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com/ /final.zip\n", kNewerFinal},
      {91002, 0, "FINAL_INSTALLER_LIN www.example.com final.zip\n", kNewerFinal},
  };
  for (const auto& c : cases) {
    about_state s;
    s.v = read_list("FINAL 9.20\nBETA 9.30b1\n" + c.where + "FINAL_VERSION " + std::to_string(c.final_v) +
                    "\nBETA_VERSION " + std::to_string(c.beta_v) + "\n");
    about_decide(s);
    SCOPED_TRACE(std::to_string(c.final_v) + " " + std::to_string(c.beta_v) + " " + c.where);
    EXPECT_EQ(s.ins_state, c.status.empty() ? about_offer : about_message);
    EXPECT_EQ(about_status_line(s, 0, -1), c.status);
    EXPECT_EQ(s.is_latest, c.status.empty() || c.status.rfind("There is", 0) == 0 ? 0 : 1);
    EXPECT_EQ(about_version_line(s), s.is_beta ? "The current beta version of Corvane is now 9.30b1."
                                               : "The current version of Corvane is now 9.20.");
  }

  about_state s;
  s.ins_state = about_downloading;
  EXPECT_EQ(about_status_line(s, 3000000000LL, 6000000000LL), "Downloading the installer...50% complete");
  EXPECT_EQ(about_status_line(s, 10, 0), "Downloading the installer...") << "a length of 0 is unknown";
}

TEST(AboutVersions, FetchedOncePerOpeningThroughTheProxyAndInstallerFailures) {
  TempDir www, tmp, work;
  ASSERT_TRUE(www.ok() && tmp.ok() && work.ok());
  TestHttpServer server(www.path());
  http.proxy_host = "127.0.0.1";
  http.proxy_port = server.port();
  temp_path = tmp.path();
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(work.path().c_str()), 0);
  about_state s;
  // Passes of the box until done() or a time limit.
  auto passes = [&](auto pass, auto done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!done() && std::chrono::steady_clock::now() < limit) {
      xtim.xtim_update();
      pass();
      timespec ts{0, 1000000};
      nanosleep(&ts, nullptr);
    }
    return done();
  };
  auto check = [&] { return passes([&] { about_check_step(s, tmp / "list"); }, [&] { return s.fetched; }); };
  auto install = [&](const std::string& path) {
    s.installer_server = "www.example.com";
    s.installer_path = path;
    s.ins_state = about_downloading;
    return passes([&] { about_installer_step(s, tmp / "ins.zip"); }, [&] { return s.ins_state != about_downloading; });
  };

  // The server down: nothing changes, and the fetch is not made again in
  // this opening.
  server.stop();
  ASSERT_TRUE(check());
  EXPECT_EQ(s.ins_state, about_idle);
  EXPECT_EQ(about_version_line(s).rfind("I could not connect", 0), 0u);
  ASSERT_TRUE(server.start());
  for (int i = 0; i < 20; ++i) about_check_step(s, tmp / "list");
  EXPECT_EQ(server.count("/serverlist9.txt"), 0);
  about_close(s);

  // A list without FINAL is fetched again at the next opening; one with it
  // is not fetched again.
  const std::string header = "I\n820 version\nSERVERS\n";
  ASSERT_TRUE(write_file(www / "serverlist9.txt", header + "BETA 9.30\nBETA_VERSION 91002\n"));
  ASSERT_TRUE(check());
  EXPECT_EQ(about_status_line(s, 0, -1), "Can't connect to the net to find latest version.");
  EXPECT_EQ(server.requests().at(0).target, "http://www.example.com/serverlist9.txt");
  about_close(s);
  ASSERT_TRUE(write_file(www / "serverlist9.txt", header + "FINAL 9.20\nFINAL_VERSION 91001\n"));
  ASSERT_TRUE(check());
  EXPECT_EQ(about_status_line(s, 0, -1), "Your version of Corvane is up to date.");
  about_close(s);
  for (int i = 0; i < 20; ++i) about_check_step(s, tmp / "list");
  EXPECT_EQ(server.count("/serverlist9.txt"), 2);

  ASSERT_TRUE(install("/missing.zip"));
  EXPECT_EQ(about_status_line(s, 0, -1), "I was unable to download the installer from the net.");
  // A first entry that is a folder: unpacked into the working folder; its
  // name without the '/' is started, which exec refuses.
  ASSERT_EQ(std::system(("python3 -c \"import zipfile, sys; z = zipfile.ZipFile(sys.argv[1], 'w'); "
                         "z.writestr('Inst/', ''); z.writestr('Inst/run', 'x'); z.close()\" '" +
                         www / "i.zip" + "'")
                            .c_str()),
            0);
  ASSERT_TRUE(install("/i.zip"));
  EXPECT_EQ(s.installer_app_name, "Inst");
  EXPECT_EQ(read_file(work / "Inst/run"), "x");
  EXPECT_FALSE(exists_at_all(tmp / "ins.zip"));
  about_installer_step(s, tmp / "ins.zip");
  EXPECT_EQ(about_status_line(s, 0, -1).rfind("There was an error launching the installer: ", 0), 0u);
  EXPECT_NE(about_status_line(s, 0, -1).find("(13)"), std::string::npos);

  // Closing the box ends its own download, and only that.
  TestHttpServer::FaultSpec stall;
  stall.fault = TestHttpServer::Fault::stall;
  server.set_fault("/i.zip", stall);
  ASSERT_EQ(http.net_check(kAboutListSlot, "www.example.com", "/i.zip", tmp / "other"), 0);
  s.ins_state = about_downloading;
  about_installer_step(s, tmp / "ins.zip");
  about_close(s);
  EXPECT_EQ(http.slots[kAboutInstallerSlot], nullptr);
  EXPECT_NE(http.slots[kAboutListSlot], nullptr);

  for (int slot = 0; slot < http_class::kSlots; ++slot) http.abort(slot);
  http.proxy_host.clear();
  http.proxy_port = 0;
  temp_path.clear();
  EXPECT_EQ(chdir(cwd), 0);
}
