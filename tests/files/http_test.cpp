#include "files/http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "files/host_lookup.h"
#include "files/socket.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "support/wait.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

// A port on 127.0.0.1 where nothing listens.
unsigned short closed_port() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// Answers one connection on 127.0.0.1 with a scripted byte string: reads the
// request head, sends the pieces one by one with a pause between them, then
// closes.
class ScriptedServer {
 public:
  ScriptedServer(std::vector<std::string> pieces, int pause_ms = 2) : pieces_(std::move(pieces)), pause_ms_(pause_ms) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd_, 4);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread(&ScriptedServer::run, this);
  }
  // Splits one answer into pieces of `piece` bytes.
  ScriptedServer(const std::string& answer, std::size_t piece, int pause_ms)
      : ScriptedServer(split(answer, piece), pause_ms) {}
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  unsigned short port() const { return port_; }
  bool served() const { return served_; }

  static std::vector<std::string> split(const std::string& s, std::size_t piece) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size(); i += piece) out.push_back(s.substr(i, piece));
    return out;
  }

 private:
  void run() {
    int c = -1;
    while (!stop_ && c < 0) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (c < 0) return;
    int one = 1;
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string head;
    char buf[1024];
    while (!stop_ && head.find("\r\n\r\n") == std::string::npos) {
      pollfd p{c, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, static_cast<std::size_t>(n));
    }
    for (const std::string& piece : pieces_) {
      if (send(c, piece.data(), piece.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(piece.size())) break;
      if (pause_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
    }
    served_ = true;
    close(c);
  }

  std::vector<std::string> pieces_;
  int pause_ms_;
  int fd_ = -1;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> served_{false};
  std::thread thread_;
};

// Every test gets a fresh folder, the log on a file in it, a server on a
// folder "www/" in it, no proxy, and a frame timer far from any earlier
// test's failures (a failed slot rests for a second of that timer).
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.ok());
    saved_elapsed_ = xtim.elapsed;
    static int run = 0;
    xtim.elapsed = 1000.0f * static_cast<float>(++run);
    xer.close();
    xer.clear();
    xer.open(tmp / "log.txt", std::ios::out | std::ios::trunc);
    ASSERT_TRUE(write_file(tmp / "www/placeholder", ""));
    server.reset(new TestHttpServer(tmp / "www"));
    ASSERT_NE(server->port(), 0);
    http.proxy_host.clear();
    http.proxy_port_text.clear();
    http.proxy_port = 0;
    http.server_port = static_cast<unsigned short>(server->port());
  }
  void TearDown() override {
    for (int i = 0; i < http_class::kSlots; ++i) http.abort(i);
    server.reset();
    http.server_port = 80;
    http.proxy_host.clear();
    http.proxy_port = 0;
    xer.close();
    xer.clear();
    xtim.elapsed = saved_elapsed_;
  }

  std::string log() {
    xer.flush();
    return read_file(tmp / "log.txt");
  }

  // Calls net_check as the frame loop would until it answers; -1 when it
  // has not within the given real time (the frame timer does not move).
  int run(int slot, const std::string& srv, const std::string& dir, const std::string& out, double seconds = 10.0,
          int64_t max_body = -1) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      const int r = http.net_check(slot, srv, dir, out, max_body);
      if (r != 0) return r;
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  // Serves the scripted answer on the slot's next download of "/f", after
  // the rest that follows an earlier failure in the slot.
  int run_scripted(ScriptedServer& s, const std::string& out, int slot = 2) {
    xtim.elapsed += 2.0f;
    http.server_port = s.port();
    return run(slot, "127.0.0.1", "/f", out, 5.0);
  }

  TempDir tmp;
  std::unique_ptr<TestHttpServer> server;

 private:
  float saved_elapsed_ = 0.0f;
};

// --- downloads from a real server -----------------------------------------

TEST_F(HttpTest, DownloadsFileWithTheExactRequest) {
  const std::string data = random_bytes(3 * 1024 * 1024 + 17, 1);
  ASSERT_TRUE(write_file(tmp / "www/v9/data.bin", data));
  const std::string out = tmp / "data.bin";

  EXPECT_EQ(run(2, "127.0.0.1", "/v9/data.bin", out), 1);
  EXPECT_EQ(read_file(out), data);
  EXPECT_EQ(http.content_length(2), -1);  // the slot is free again
  EXPECT_EQ(http.written(2), 0);

  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].raw,
            "GET /v9/data.bin HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: 127.0.0.1\r\n"
            "User-agent: Installer-LIN/10r1");
  EXPECT_EQ(log().find("HTTP Error"), std::string::npos);
}

TEST_F(HttpTest, SpacesInThePathAreSentAsPercent20) {
  ASSERT_TRUE(write_file(tmp / "www/v9/my dir/a b+c.txt", "spaced"));
  const std::string out = tmp / "spaced.txt";
  EXPECT_EQ(run(0, "127.0.0.1", "/v9/my dir/a b+c.txt", out), 1);
  EXPECT_EQ(read_file(out), "spaced");
  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].target, "/v9/my%20dir/a%20b+c.txt");
}

TEST_F(HttpTest, BytesThatCannotStandInARequestAreSentPercentEncoded) {
  // '#' and '?' would end the path, '%' would start an escape, and a
  // non-ASCII byte may not appear raw at all. A path is a file's name: what
  // looks like an escape in it ("%20") is part of the name.
  ASSERT_TRUE(write_file(tmp / "www/v9/a#b%c\xC3\xA9?.txt", "odd name"));
  ASSERT_TRUE(write_file(tmp / "www/v9/a%20b.txt", "not the space"));
  ASSERT_TRUE(write_file(tmp / "www/v9/a b.txt", "the space"));
  const std::string out = tmp / "odd.txt";
  EXPECT_EQ(run(0, "127.0.0.1", "/v9/a#b%c\xC3\xA9?.txt", out), 1);
  EXPECT_EQ(read_file(out), "odd name");
  EXPECT_EQ(run(0, "127.0.0.1", "/v9/a%20b.txt", out), 1);
  EXPECT_EQ(read_file(out), "not the space");

  // Every other byte that is not allowed in a request target, controls and
  // DEL among them; the characters that may stand raw stay as they are.
  const std::string name = "\"<>\\^`{|}\x01\t\x7F [x]~!$&'()*+,;=:@-._";
  ASSERT_TRUE(write_file(tmp / ("www/v9/" + name), "every byte"));
  const std::string out2 = tmp / "every.txt";
  EXPECT_EQ(run(0, "127.0.0.1", "/v9/" + name, out2), 1);
  EXPECT_EQ(read_file(out2), "every byte");

  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 3u);
  EXPECT_EQ(reqs[0].target, "/v9/a%23b%25c%C3%A9%3F.txt");
  EXPECT_EQ(reqs[1].target, "/v9/a%2520b.txt");
  EXPECT_EQ(reqs[2].target, "/v9/%22%3C%3E%5C%5E%60%7B%7C%7D%01%09%7F%20[x]~!$&'()*+,;=:@-._");
}

TEST_F(HttpTest, EmptyBodyCreatesAnEmptyFile) {
  ASSERT_TRUE(write_file(tmp / "www/empty.txt", ""));
  const std::string out = tmp / "empty.txt";
  ASSERT_TRUE(write_file(out, "old content"));
  // Content-Length 0 finishes in the step that reads the header.
  EXPECT_EQ(run(1, "127.0.0.1", "/empty.txt", out), 1);
  EXPECT_TRUE(exists_at_all(out));
  EXPECT_EQ(read_file(out), "");
}

TEST_F(HttpTest, NotFoundFailsWithTheErrorReport) {
  const std::string out = tmp / "missing.bin";
  EXPECT_EQ(run(3, "127.0.0.1", "/missing.bin", out), 2);
  EXPECT_NE(log().find("HTTP Error for " + out + "\n"
                       "   server     =127.0.0.1\n"
                       "   file       =/missing.bin\n"
                       "   IsDone     =1\n"
                       "   IsComplete =1\n"
                       "   IsErr      =0\n"
                       "   GetStat    =3\n"
                       "   GetOSErr   =0\n"
                       "   response   =Not Found (#404)\n"
                       "\n"),
            std::string::npos)
      << log();
}

TEST_F(HttpTest, ServerErrorStatusFails) {
  ASSERT_TRUE(write_file(tmp / "www/busy.bin", "data"));
  TestHttpServer::FaultSpec f;
  f.fault = TestHttpServer::Fault::status;
  f.status = 503;
  server->set_fault("/busy.bin", f);
  EXPECT_EQ(run(2, "127.0.0.1", "/busy.bin", tmp / "busy.bin"), 2);
  EXPECT_NE(log().find("   response   =Service Unavailable (#503)\n"), std::string::npos);
}

TEST_F(HttpTest, ProxyGetsTheAbsoluteFormAndTheConnection) {
  ASSERT_TRUE(write_file(tmp / "www/v9/a b.txt", "through the proxy"));
  // The servers' own port: only the proxy can answer here.
  http.server_port = 80;
  http.proxy_host = "127.0.0.1";
  http.proxy_port = server->port();
  const std::string out = tmp / "proxied.txt";

  EXPECT_EQ(run(4, "updates.example.com", "/v9/a b.txt", out), 1);
  EXPECT_EQ(read_file(out), "through the proxy");
  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].raw,
            "GET http://updates.example.com/v9/a%20b.txt HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: updates.example.com\r\n"
            "User-agent: Installer-LIN/10r1");
  EXPECT_TRUE(UseProxy("updates.example.com", 80));
  EXPECT_STREQ(ProxyHost("updates.example.com", 80), "127.0.0.1");
  EXPECT_EQ(ProxyPort("updates.example.com", 80), server->port());

  // An excluded host ending goes direct.
  gProxyExclude.push_back(".example.com");
  EXPECT_FALSE(UseProxy("updates.example.com", 80));
  EXPECT_STREQ(ProxyHost("updates.example.com", 80), "updates.example.com");
  EXPECT_EQ(ProxyPort("updates.example.com", 80), 80);
  gProxyExclude.clear();
}

TEST_F(HttpTest, ThroughAProxyAServerOnAnotherPortIsNamedWithItsPort) {
  ASSERT_TRUE(write_file(tmp / "www/v9/p.txt", "port named"));
  // Direct connections would go to a closed port: only the proxy answers,
  // and it can reach the server only by the port named in the request.
  const unsigned short port = closed_port();
  http.server_port = port;
  http.proxy_host = "127.0.0.1";
  http.proxy_port = server->port();
  const std::string out = tmp / "port.txt";

  EXPECT_EQ(run(3, "updates.example.com", "/v9/p.txt", out), 1);
  EXPECT_EQ(read_file(out), "port named");
  // A server name that carries its port already gets no second one.
  EXPECT_EQ(run(3, "other.example.com:8080", "/v9/p.txt", out), 1);
  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 2u);
  const std::string authority = "updates.example.com:" + std::to_string(port);
  EXPECT_EQ(reqs[0].raw,
            "GET http://" + authority + "/v9/p.txt HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: " + authority + "\r\n"
            "User-agent: Installer-LIN/10r1");
  EXPECT_EQ(reqs[1].target, "http://other.example.com:8080/v9/p.txt");
  EXPECT_EQ(reqs[1].host, "other.example.com:8080");

  // Without the proxy a direct request keeps the bare name.
  http.proxy_port = 0;
  http.server_port = static_cast<unsigned short>(server->port());
  EXPECT_EQ(run(3, "127.0.0.1", "/v9/p.txt", out), 1);
  ASSERT_EQ(server->requests().size(), 3u);
  EXPECT_EQ(server->requests()[2].host, "127.0.0.1");
}

TEST_F(HttpTest, AProxyPortOutsideOneTo65535IgnoresTheProxyHost) {
  ASSERT_TRUE(write_file(tmp / "www/direct.txt", "direct"));
  http.proxy_host = "nonexistent.invalid";
  // The -1 of a port text that is no number, and ports the network cannot
  // take, leave the proxy off.
  for (int port : {-1, 65536, 70000}) {
    http.proxy_port = port;
    EXPECT_FALSE(UseProxy("127.0.0.1", 80)) << port;
  }
  http.proxy_port = 65535;
  EXPECT_TRUE(UseProxy("127.0.0.1", 80));
  http.proxy_port = 0;
  EXPECT_FALSE(UseProxy("127.0.0.1", 80));
  EXPECT_EQ(run(2, "127.0.0.1", "/direct.txt", tmp / "direct.txt"), 1);
  const auto reqs = server->requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].target, "/direct.txt");
}

TEST_F(HttpTest, UnknownServerFailsAtTheFirstStep) {
  const std::string out = tmp / "nowhere.bin";
  EXPECT_EQ(http.net_check(2, "nonexistent.invalid", "/x.bin", out), 2);
  const std::string text = log();
  EXPECT_NE(text.find("Translated server nonexistent.invalid to IP addy: 0.0.0.0 and port = " +
                      std::to_string(server->port()) + "\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("   IsDone     =0\n"
                      "   IsComplete =0\n"
                      "   IsErr      =1\n"
                      "   GetStat    =0\n"
                      "   GetOSErr   =20011\n"
                      "   response   = (#0)\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(exists_at_all(out));
}

// A name server that answers only when the test lets it. A step that waited
// for it would wait a minute, after which it answers anyway and says so.
std::atomic<bool> lookup_may_answer{false};
std::atomic<bool> lookup_answered_unasked{false};
std::atomic<int> lookups_made{0};
unsigned long held_lookup(const char* host) {
  ++lookups_made;
  const auto give_up = wait_deadline(60000);
  while (!lookup_may_answer) {
    if (wait_expired(give_up)) {
      lookup_answered_unasked = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return std::string(host) == "files.example.com" ? htonl(INADDR_LOOPBACK) : 0;
}

TEST_F(HttpTest, ASlowNameLookupHoldsUpNoStepAndIsMadeOncePerRun) {
  ASSERT_TRUE(write_file(tmp / "www/f.bin", "content"));
  lookup_may_answer = false;
  lookup_answered_unasked = false;
  lookups_made = 0;
  reset_host_lookups(&held_lookup);
  // While the name server keeps silent, every step comes back, still
  // waiting for the address, and no step asks the name server again.
  for (int step = 0; step < 50; ++step) {
    EXPECT_EQ(http.net_check(2, "files.example.com", "/f.bin", tmp / "f.bin"), 0) << step;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_FALSE(lookup_answered_unasked) << "a step waited for the name server";
  // The lookup's thread may not have begun yet on a busy machine.
  EXPECT_TRUE(wait_until([] { return lookups_made > 0; }));
  EXPECT_EQ(lookups_made, 1);
  lookup_may_answer = true;
  EXPECT_EQ(run(2, "files.example.com", "/f.bin", tmp / "f.bin"), 1);
  EXPECT_EQ(read_file(tmp / "f.bin"), "content");
  // The address is kept: a second download asks nobody.
  EXPECT_EQ(run(3, "files.example.com", "/f.bin", tmp / "g.bin"), 1);
  EXPECT_EQ(lookups_made, 1);

  // An unknown name fails with the usual report, and is asked again later.
  EXPECT_EQ(run(4, "nowhere.example.com", "/f.bin", tmp / "h.bin"), 2);
  EXPECT_NE(log().find("Translated server nowhere.example.com to IP addy: 0.0.0.0"), std::string::npos) << log();
  EXPECT_NE(log().find("   GetOSErr   =20011\n"), std::string::npos) << log();
  xtim.elapsed += 2.0f;
  EXPECT_EQ(run(4, "nowhere.example.com", "/f.bin", tmp / "h.bin"), 2);
  EXPECT_EQ(lookups_made, 3);
  reset_host_lookups();
}

TEST_F(HttpTest, RefusedConnectionFailsWithTheReason) {
  http.server_port = closed_port();
  EXPECT_EQ(run(5, "127.0.0.1", "/x.bin", tmp / "x.bin"), 2);
  const std::string text = log();
  EXPECT_NE(text.find("   IsDone     =1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   GetOSErr   =111\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   response   = (#-1)\n"), std::string::npos) << text;
}

TEST_F(HttpTest, OutputFileInMissingFolderFails) {
  ASSERT_TRUE(write_file(tmp / "www/f.bin", "content"));
  const std::string out = tmp / "no/such/folder/f.bin";
  EXPECT_EQ(run(2, "127.0.0.1", "/f.bin", out), 2);
  const std::string text = log();
  EXPECT_NE(text.find("HTTP Error for " + out + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   IsErr      =1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   GetOSErr   =2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   response   =OK (#200)\n"), std::string::npos) << text;
  EXPECT_FALSE(exists_at_all(tmp / "no"));
}

TEST_F(HttpTest, AFailureToWriteHereIsToldFromTheServersFailures) {
  ASSERT_TRUE(write_file(tmp / "www/f.bin", random_bytes(200000, 4)));
  // A full disc: every write fails with ENOSPC.
  const std::string full = tmp / "full.bin";
  ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
  EXPECT_EQ(run(2, "127.0.0.1", "/f.bin", full), 2);
  EXPECT_EQ(http.local_error(2), ENOSPC);
  // A missing folder: the open fails.
  xtim.elapsed += 2.0f;
  EXPECT_EQ(run(3, "127.0.0.1", "/f.bin", tmp / "no/f.bin"), 2);
  EXPECT_EQ(http.local_error(3), ENOENT);

  // The server's failure is not one here; a new download forgets the old.
  xtim.elapsed += 2.0f;
  EXPECT_EQ(run(2, "127.0.0.1", "/missing.bin", tmp / "m.bin"), 2);
  EXPECT_EQ(http.local_error(2), 0);
  xtim.elapsed += 2.0f;
  EXPECT_EQ(run(3, "127.0.0.1", "/f.bin", tmp / "f.bin"), 1);
  EXPECT_EQ(http.local_error(3), 0);
  EXPECT_EQ(http.local_error(9), 0);
}

TEST_F(HttpTest, ServerClosingEarlyFailsAtOnce) {
  const std::string data = random_bytes(200000, 2);
  ASSERT_TRUE(write_file(tmp / "www/short.bin", data));
  TestHttpServer::FaultSpec f;
  f.fault = TestHttpServer::Fault::close_early;
  f.bytes = 5000;
  server->set_fault("/short.bin", f);
  const std::string out = tmp / "short.bin";
  // The frame timer stands still: only seeing the close can end this.
  EXPECT_EQ(run(2, "127.0.0.1", "/short.bin", out, 5.0), 2);
  EXPECT_EQ(read_file(out), data.substr(0, 5000));
  const std::string text = log();
  EXPECT_NE(text.find("   IsDone     =1\n"
                      "   IsComplete =0\n"
                      "   IsErr      =0\n"
                      "   GetStat    =3\n"),
            std::string::npos)
      << text;
}

TEST_F(HttpTest, StalledServerFailsAfterTheInactivityLimit) {
  ASSERT_TRUE(write_file(tmp / "www/stall.bin", random_bytes(100000, 3)));
  TestHttpServer::FaultSpec f;
  f.fault = TestHttpServer::Fault::stall;
  f.bytes = 1000;
  server->set_fault("/stall.bin", f);
  const std::string out = tmp / "stall.bin";

  // Run until the first 1000 bytes are in and the progress queries see them.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (http.written(2) < 1000 && Clock::now() < deadline) {
    ASSERT_EQ(http.net_check(2, "127.0.0.1", "/stall.bin", out), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_EQ(http.written(2), 1000);
  EXPECT_EQ(http.content_length(2), 100000);

  const float start = xtim.elapsed;
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(http.net_check(2, "127.0.0.1", "/stall.bin", out), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  xtim.elapsed = start + 29.5f;
  EXPECT_EQ(http.net_check(2, "127.0.0.1", "/stall.bin", out), 0);
  xtim.elapsed = start + 30.5f;
  EXPECT_EQ(http.net_check(2, "127.0.0.1", "/stall.bin", out), 2);
  EXPECT_EQ(http.content_length(2), -1);
  EXPECT_EQ(log().find("HTTP Error"), std::string::npos);  // no report for the limit
}

TEST_F(HttpTest, ABodyOverTheCallersLimitFailsAndNothingOverItIsWritten) {
  constexpr int64_t kLimit = 100000;
  ASSERT_TRUE(write_file(tmp / "www/fits.bin", random_bytes(kLimit, 5)));
  EXPECT_EQ(run(2, "127.0.0.1", "/fits.bin", tmp / "fits.bin", 10.0, kLimit), 1) << "a body of the limit is taken";
  EXPECT_EQ(read_file(tmp / "fits.bin").size(), static_cast<std::size_t>(kLimit));

  for (const auto fault : {TestHttpServer::Fault::long_body, TestHttpServer::Fault::unannounced,
                           TestHttpServer::Fault::chunked}) {
    SCOPED_TRACE(static_cast<int>(fault));
    TestHttpServer::FaultSpec f;
    f.fault = fault;
    f.bytes = 8 << 20;
    server->set_fault("/big.bin", f);
    const std::string out = tmp / "big.bin";
    ASSERT_TRUE(write_file(out, "previous"));
    xer.close();
    xer.open(tmp / "log.txt", std::ios::out | std::ios::trunc);
    xtim.elapsed += 2.0f;
    int r = 0;
    int64_t most = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((r = http.net_check(2, "127.0.0.1", "/big.bin", out, kLimit)) == 0 && Clock::now() < deadline) {
      struct stat st{};
      if (stat(out.c_str(), &st) == 0) most = std::max<int64_t>(most, st.st_size);
      most = std::max(most, http.written(2));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(r, 2);
    EXPECT_LE(most, kLimit);
    EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(EFBIG) + "\n"), std::string::npos) << log();
    EXPECT_EQ(http.local_error(2), 0) << "a failure of the server";
    if (fault == TestHttpServer::Fault::long_body) {
      // Refused with the header: the file there is not even opened.
      EXPECT_EQ(read_file(out), "previous");
    } else {
      EXPECT_FALSE(exists_at_all(out)) << "nothing of an answer cut off is kept";
    }
  }
}

TEST_F(HttpTest, FailedSlotRestsBeforeTheNextDownload) {
  ASSERT_TRUE(write_file(tmp / "www/good.txt", "good"));
  const std::string out = tmp / "good.txt";
  EXPECT_EQ(run(3, "127.0.0.1", "/missing.txt", out), 2);
  const float failed_at = xtim.elapsed;

  // Retrying at once starts nothing and reports "running".
  for (int i = 0; i < 20; ++i) EXPECT_EQ(http.net_check(3, "127.0.0.1", "/good.txt", out), 0);
  EXPECT_EQ(http.content_length(3), -1);
  xtim.elapsed = failed_at + 0.9f;
  EXPECT_EQ(http.net_check(3, "127.0.0.1", "/good.txt", out), 0);
  EXPECT_EQ(http.content_length(3), -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(server->count("/good.txt"), 0);

  // Another slot is not held back.
  EXPECT_EQ(run(4, "127.0.0.1", "/good.txt", tmp / "other.txt"), 1);
  EXPECT_EQ(server->count("/good.txt"), 1);

  // After the pause the slot starts again.
  xtim.elapsed = failed_at + 1.1f;
  EXPECT_EQ(run(3, "127.0.0.1", "/good.txt", out), 1);
  EXPECT_EQ(read_file(out), "good");
  EXPECT_EQ(server->count("/good.txt"), 2);
  // A success leaves no pause behind.
  EXPECT_EQ(run(3, "127.0.0.1", "/good.txt", out), 1);
}

TEST_F(HttpTest, AbortFreesTheSlotAndProgressIsVisible) {
  const std::string data = random_bytes(400000, 4);
  ASSERT_TRUE(write_file(tmp / "www/slow.bin", data));
  TestHttpServer::FaultSpec f;
  f.fault = TestHttpServer::Fault::slow;
  f.bytes = 20000;
  f.delay_ms = 30;
  f.times = 1;
  server->set_fault("/slow.bin", f);
  const std::string out = tmp / "slow.bin";

  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (http.written(5) < 20000 && Clock::now() < deadline) {
    ASSERT_EQ(http.net_check(5, "127.0.0.1", "/slow.bin", out), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  EXPECT_EQ(http.content_length(5), static_cast<int64_t>(data.size()));
  EXPECT_GE(http.written(5), 20000);
  EXPECT_LT(http.written(5), static_cast<int64_t>(data.size()));

  http.abort(5);
  EXPECT_EQ(http.content_length(5), -1);
  EXPECT_EQ(http.written(5), 0);
  // No pause after an abort: the next call starts a fresh download.
  EXPECT_EQ(run(5, "127.0.0.1", "/slow.bin", out), 1);
  EXPECT_EQ(read_file(out), data);
  EXPECT_EQ(server->count("/slow.bin"), 2);
}

TEST_F(HttpTest, AWaitSleepsUntilBytesComeInsteadOfCallingInVain) {
  const std::string data = random_bytes(200000, 5);
  ASSERT_TRUE(write_file(tmp / "www/trickle.bin", data));
  TestHttpServer::FaultSpec f;
  f.fault = TestHttpServer::Fault::slow;
  f.bytes = 20000;
  f.delay_ms = 30;
  server->set_fault("/trickle.bin", f);
  const std::string out = tmp / "trickle.bin";

  // Ten pieces 30 ms apart: a caller that waits between steps makes a few
  // steps per piece; one that called net_check again and again would make
  // thousands.
  const int slot = 2;
  int steps = 0;
  int r = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while ((r = http.net_check(slot, "127.0.0.1", "/trickle.bin", out)) == 0 && Clock::now() < deadline) {
    ++steps;
    http.wait_ready(&slot, 1, 1.0);
  }
  EXPECT_EQ(r, 1);
  EXPECT_EQ(read_file(out), data);
  EXPECT_GE(steps, 5);
  EXPECT_LE(steps, 80);

  // With no download among the slots listed, the wait only sleeps.
  const int free_slots[] = {2, 3};
  const auto t0 = Clock::now();
  EXPECT_EQ(http.wait_ready(free_slots, 2, 0.05), 0);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(45));
}

TEST_F(HttpTest, TheRestAfterAFailureIsToldOnTheFrameTimer) {
  ASSERT_TRUE(write_file(tmp / "www/good.txt", "good"));
  EXPECT_EQ(http.rest_left(3), 0.0f);
  EXPECT_EQ(run(3, "127.0.0.1", "/missing.txt", tmp / "x.txt"), 2);
  EXPECT_FLOAT_EQ(http.rest_left(3), http_class::kRetryPause);
  xtim.elapsed += 0.25f;
  EXPECT_FLOAT_EQ(http.rest_left(3), http_class::kRetryPause - 0.25f);
  EXPECT_EQ(http.rest_left(4), 0.0f) << "other slots do not rest";
  EXPECT_EQ(http.rest_left(-1), 0.0f);
  EXPECT_EQ(http.rest_left(http_class::kSlots), 0.0f);
  xtim.elapsed += http_class::kRetryPause;
  EXPECT_EQ(http.rest_left(3), 0.0f);
  EXPECT_EQ(run(3, "127.0.0.1", "/good.txt", tmp / "x.txt"), 1);
  EXPECT_EQ(http.rest_left(3), 0.0f);
}

// --- malformed and unusual answers ----------------------------------------

TEST_F(HttpTest, InterimResponseInTheSameChunkIsParsedAtOnce) {
  ScriptedServer s({"HTTP/1.1 100 Continue\r\nContent-Length: 99\r\n\r\n"
                    "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"});
  const std::string out = tmp / "interim.txt";
  EXPECT_EQ(run_scripted(s, out), 1);
  EXPECT_EQ(read_file(out), "hello");
}

TEST_F(HttpTest, StatusLineWithoutReasonIsAccepted) {
  for (const char* line : {"HTTP/1.1 200", "HTTP/1.1 200 ", "HTTP/1.0 204 No Content"}) {
    ScriptedServer s({std::string(line) + "\r\nContent-Length: 3\r\n\r\nabc"});
    const std::string out = tmp / "noreason.txt";
    EXPECT_EQ(run_scripted(s, out), 1) << line;
    EXPECT_EQ(read_file(out), "abc") << line;
  }
}

TEST_F(HttpTest, FirstContentLengthCounts) {
  ScriptedServer s({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 10\r\n\r\nabc"});
  const std::string out = tmp / "twice.txt";
  EXPECT_EQ(run_scripted(s, out), 1);
  EXPECT_EQ(read_file(out), "abc");
}

TEST_F(HttpTest, ContentLengthNameIgnoresCaseAndBlanksAroundTheValue) {
  {
    ScriptedServer s({"HTTP/1.1 200 OK\r\ncontent-length: 4\r\n\r\nlow!"});
    EXPECT_EQ(run_scripted(s, tmp / "a.txt"), 1);
    EXPECT_EQ(read_file(tmp / "a.txt"), "low!");
  }
  {
    ScriptedServer s({"HTTP/1.1 200 OK\r\nCONTENT-LENGTH: \t4 \r\n\r\nUP!!"});
    EXPECT_EQ(run_scripted(s, tmp / "b.txt"), 1);
    EXPECT_EQ(read_file(tmp / "b.txt"), "UP!!");
  }
}

TEST_F(HttpTest, MalformedContentLengthFailsAtOnce) {
  for (const char* value : {"3abc", "-3", "+3", "", " ", "3 4", "0x10", "99999999999999999999"}) {
    const std::string out = tmp / "bad.txt";
    ASSERT_TRUE(write_file(out, "previous"));
    ScriptedServer s({std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + value + "\r\n\r\nabc"});
    EXPECT_EQ(run_scripted(s, out), 2) << value;
    EXPECT_EQ(read_file(out), "previous") << value;  // not truncated for a bad answer
  }
  EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(EPROTO) + "\n"), std::string::npos) << log();
}

TEST_F(HttpTest, AnswerWithoutContentLengthFailsWhenTheServerCloses) {
  ScriptedServer s({"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nsome body"});
  const std::string out = tmp / "nolength.txt";
  EXPECT_EQ(run_scripted(s, out), 2);
  EXPECT_NE(log().find("HTTP Error for " + out), std::string::npos);
}

TEST_F(HttpTest, MoreBodyThanAnnouncedFailsAndIsNotWritten) {
  ScriptedServer s({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"});
  const std::string out = tmp / "long.txt";
  EXPECT_EQ(run_scripted(s, out), 2);
  EXPECT_EQ(read_file(out), "abc");
  EXPECT_NE(log().find("   GetOSErr   =" + std::to_string(EPROTO) + "\n"), std::string::npos) << log();
}

TEST_F(HttpTest, HeaderInOneByteChunksIsReassembled) {
  const std::string answer = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nX-Pad: 1\r\nContent-Length: 6\r\n\r\nbyte!!";
  ScriptedServer s(answer, 1, 1);
  const std::string out = tmp / "bytes.txt";
  EXPECT_EQ(run_scripted(s, out), 1);
  EXPECT_EQ(read_file(out), "byte!!");
}

TEST_F(HttpTest, TruncatedHeaderFailsAtOnce) {
  ScriptedServer s({"HTTP/1.1 200 OK\r\nContent-Len"});
  EXPECT_EQ(run_scripted(s, tmp / "trunc.txt"), 2);
  EXPECT_NE(log().find("   GetStat    =3\n"), std::string::npos) << log();
  EXPECT_FALSE(exists_at_all(tmp / "trunc.txt"));
}

TEST_F(HttpTest, GarbageInsteadOfAStatusLineFails) {
  for (const char* answer : {"garbage\r\n\r\nmore garbage", "HTTP/1.1 2000 OK\r\nContent-Length: 1\r\n\r\nx",
                             "HTTP/1.1 20x OK\r\nContent-Length: 1\r\n\r\nx", "\r\n\r\n\r\n"}) {
    ScriptedServer s({answer});
    EXPECT_EQ(run_scripted(s, tmp / "garbage.txt"), 2) << answer;
    EXPECT_FALSE(exists_at_all(tmp / "garbage.txt")) << answer;
  }
}

// --- the response parser on its own ----------------------------------------

struct Parsed {
  bool headers_done;
  int status;
  std::string reason;
  header_map headers;
  int error;
  int64_t content_length;
  int64_t written;
};

Parsed parse(const std::string& bytes, std::size_t piece, int64_t max_body = -1) {
  down_class d;
  d.max_body = max_body;
  for (std::size_t i = 0; i < bytes.size(); i += piece) {
    const std::string part = bytes.substr(i, piece);
    d.consume(part.data(), part.size());
  }
  return {d.headers_done, d.status, d.reason, d.headers, d.error, d.content_length, d.written};
}

void expect_same(const Parsed& a, const Parsed& b) {
  EXPECT_EQ(a.headers_done, b.headers_done);
  EXPECT_EQ(a.status, b.status);
  EXPECT_EQ(a.reason, b.reason);
  EXPECT_EQ(a.headers, b.headers);
  EXPECT_EQ(a.error, b.error);
  EXPECT_EQ(a.content_length, b.content_length);
  EXPECT_EQ(a.written, b.written);
}

TEST(HttpParseTest, StatusLineAndReason) {
  Parsed p = parse("HTTP/1.1 404 Not Found\r\n", 1000);
  EXPECT_EQ(p.status, 404);
  EXPECT_EQ(p.reason, "Not Found");
  p = parse("HTTP/1.1 200\r\n", 1000);
  EXPECT_EQ(p.status, 200);
  EXPECT_EQ(p.reason, "");
  p = parse("HTTP/1.1 200 \r\n", 1000);
  EXPECT_EQ(p.status, 200);
  EXPECT_EQ(p.reason, "");
  p = parse("HTTP/1.1 200OK\r\n", 1000);  // no blank after the code
  EXPECT_EQ(p.status, -1);
  p = parse("HTTP/1.1 20\r\n", 1000);
  EXPECT_EQ(p.status, -1);
  p = parse("XTTP/1.1 200 OK\r\n", 1000);
  EXPECT_EQ(p.status, -1);
}

TEST(HttpParseTest, OnlyCrLfEndsALine) {
  Parsed p = parse("HTTP/1.1 200 OK\nContent-Length: 3\n\nabc", 1000);
  EXPECT_FALSE(p.headers_done);
  EXPECT_EQ(p.status, -1);
  p = parse("HTTP/1.1 200 OK\r\nContent-Length: 3\r\r\n\r\nabc", 1000);
  EXPECT_TRUE(p.headers_done);
  EXPECT_EQ(p.content_length, -1);  // the value "3\r" is not a number...
  EXPECT_EQ(p.error, EPROTO);       // ...so the answer is refused
}

TEST(HttpParseTest, HeadersIgnoreCaseAndKeepTheFirst) {
  Parsed p = parse("HTTP/1.1 200 OK\r\nX-Name: one\r\nx-name: two\r\nNoColon\r\nTight:x\r\nContent-Length: 0\r\n\r\n",
                   1000);
  EXPECT_TRUE(p.headers_done);
  ASSERT_EQ(p.headers.count("X-NAME"), 1u);
  EXPECT_EQ(p.headers["x-name"], "one");
  EXPECT_EQ(p.headers.count("NoColon"), 0u);
  EXPECT_EQ(p.headers.count("Tight"), 0u);  // a header needs ": "
  EXPECT_EQ(p.headers.size(), 2u);
  EXPECT_EQ(p.content_length, 0);
  EXPECT_EQ(p.error, 0);
}

TEST(HttpParseTest, InterimHeadersAreDropped) {
  Parsed p = parse("HTTP/1.1 100 Continue\r\nContent-Length: 50\r\nX-Interim: yes\r\n\r\n"
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
                   1000);
  EXPECT_TRUE(p.headers_done);
  EXPECT_EQ(p.status, 200);
  EXPECT_EQ(p.headers.count("X-Interim"), 0u);
  EXPECT_EQ(p.content_length, 2);
  EXPECT_EQ(p.written, 2);
  EXPECT_EQ(p.error, 0);
}

TEST(HttpParseTest, LengthsAreSixtyFourBit) {
  Parsed p = parse("HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\nabc", 1000);
  EXPECT_EQ(p.error, 0);
  EXPECT_EQ(p.content_length, 5000000000LL);
  EXPECT_EQ(p.written, 3);
  p = parse("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", 1000);
  EXPECT_EQ(p.error, 0);
  EXPECT_EQ(p.content_length, INT64_MAX);
  p = parse("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n", 1000);
  EXPECT_EQ(p.error, EPROTO);
}

TEST(HttpParseTest, BodyBeyondTheLengthIsRefused) {
  Parsed p = parse("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcdefgh", 1000);
  EXPECT_EQ(p.error, EPROTO);
  EXPECT_EQ(p.written, 4);
  // The same when the extra bytes come in a later piece.
  p = parse("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcdefgh", 1);
  EXPECT_EQ(p.error, EPROTO);
  EXPECT_EQ(p.written, 4);
}

TEST(HttpParseTest, ABodyOverTheLimitIsRefusedWhereverTheBytesAreSplit) {
  for (std::size_t piece : {1, 3, 1000}) {
    SCOPED_TRACE(piece);
    Parsed p = parse("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world", piece, 10);
    EXPECT_TRUE(p.headers_done);
    EXPECT_EQ(p.error, EFBIG);
    EXPECT_EQ(p.written, 0);
    p = parse("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello worl", piece, 10);
    EXPECT_EQ(p.error, 0);
    EXPECT_EQ(p.written, 10);
    // Without a length the body is counted up to the limit.
    p = parse("HTTP/1.1 200 OK\r\n\r\nhello worl", piece, 10);
    EXPECT_EQ(p.error, 0);
    p = parse("HTTP/1.1 200 OK\r\n\r\nhello world", piece, 10);
    EXPECT_EQ(p.error, EFBIG);
    EXPECT_EQ(p.written, 10);
  }
}

TEST(HttpParseTest, OverlongHeaderIsRefused) {
  std::string answer = "HTTP/1.1 200 OK\r\n";
  while (answer.size() <= down_class::kMaxHeaderBytes) answer += "X-Filler: " + std::string(100, 'f') + "\r\n";
  Parsed lines = parse(answer, 4096);
  EXPECT_EQ(lines.error, EPROTO);
  // One endless line too, without waiting for its end.
  Parsed endless = parse("HTTP/1.1 200 OK\r\nX: " + std::string(down_class::kMaxHeaderBytes, 'y'), 65536);
  EXPECT_EQ(endless.error, EPROTO);
  EXPECT_FALSE(endless.headers_done);
}

TEST(HttpParseTest, ResultDoesNotDependOnHowTheBytesAreSplit) {
  const std::vector<std::string> answers = {
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n\r\nhello world",
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nA: b\r\n\r\nHTTP/1.1 201 Made\r\nContent-Length: 2\r\n\r\nxy",
      "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnotfound",
      "HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\nbody",
      "\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
      "HTTP/1.1 200 OK\r\r\r\n\r\n\r\n",
  };
  for (const std::string& a : answers) {
    const Parsed whole = parse(a, a.size() + 1);
    for (std::size_t piece : {1, 2, 3, 7, 16}) {
      SCOPED_TRACE(a + " / " + std::to_string(piece));
      expect_same(whole, parse(a, piece));
    }
  }
}

// --- programming errors end the program --------------------------------------

// No fixture here: the child process of a death test ends without cleaning
// up, so it must not make folders or start servers.
TEST(HttpDeathTest, BadSlotIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(http.net_check(6, "127.0.0.1", "/x", "/nonexistent-folder/x"), ::testing::ExitedWithCode(1),
              "Too many download objects requested!");
  EXPECT_EXIT(http.net_check(-1, "127.0.0.1", "/x", "/nonexistent-folder/x"), ::testing::ExitedWithCode(1),
              "Too many download objects requested!");
}

TEST(HttpDeathTest, ServerEndingInSlashIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(http.net_check(2, "127.0.0.1/", "/x", "/nonexistent-folder/x"), ::testing::ExitedWithCode(1),
              "You have a dirchar at the end of the server name!");
}

TEST(HttpDeathTest, DirWithoutLeadingSlashIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(http.net_check(2, "127.0.0.1", "v9/x", "/nonexistent-folder/x"), ::testing::ExitedWithCode(1),
              "You do not have a dirchar at the beginning of the directory name!");
  EXPECT_EXIT(http.net_check(2, "127.0.0.1", "", "/nonexistent-folder/x"), ::testing::ExitedWithCode(1),
              "You do not have a dirchar at the beginning of the directory name!");
}

}  // namespace
