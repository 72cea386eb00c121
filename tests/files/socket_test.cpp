#include "files/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A plain listening socket on 127.0.0.1 with a free port.
class RawListener {
 public:
  RawListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 8) != 0) return;
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~RawListener() {
    if (fd_ >= 0) close(fd_);
  }
  unsigned short port() const { return port_; }
  // Waits up to two seconds for a connection; -1 when none came.
  int accept_one() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int fd_ = -1;
  unsigned short port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
unsigned short closed_port() {
  RawListener l;
  return l.port();
}

unsigned long loopback() { return htonl(INADDR_LOOPBACK); }

// Polls until the status leaves `from` or two seconds pass.
int wait_status_change(PCSBSocket& s, int from) {
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  int st = s.GetStatus();
  while (st == from && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    st = s.GetStatus();
  }
  return st;
}

// Reads until n bytes came, the read fails, or two seconds pass.
std::string read_some(PCSBSocket& s, std::size_t n) {
  std::string out;
  char buf[4096];
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (out.size() < n && Clock::now() < deadline) {
    const int got = s.ReadData(buf, sizeof buf);
    if (got < 0) break;
    if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    out.append(buf, static_cast<std::size_t>(got > 0 ? got : 0));
  }
  return out;
}

// A client socket connected to listener, and the server's end of it.
struct Pair {
  PCSBSocket client{0, false};
  int server = -1;
  ~Pair() {
    if (server >= 0) close(server);
  }
};

void connect_pair(RawListener& listener, Pair* p) {
  ASSERT_EQ(p->client.GetStatus(), sock_idle);
  p->client.Connect(loopback(), listener.port());
  ASSERT_EQ(wait_status_change(p->client, sock_connecting), sock_connected);
  p->server = listener.accept_one();
  ASSERT_GE(p->server, 0);
}

TEST(SocketTest, ConnectsSendsAndReceivesWithoutBlocking) {
  RawListener listener;
  ASSERT_NE(listener.port(), 0);
  {
    // A client on any port holds no port before it connects.
    PCSBSocket unconnected(0, false);
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ASSERT_EQ(getsockname(unconnected.GetDescriptor(), reinterpret_cast<sockaddr*>(&local), &len), 0);
    EXPECT_EQ(local.sin_port, 0);
    EXPECT_EQ(unconnected.GetStatus(), sock_idle);
  }
  Pair p;
  ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));

  // The descriptor is not handed to programs this one starts.
  EXPECT_NE(fcntl(p.client.GetDescriptor(), F_GETFD) & FD_CLOEXEC, 0);

  // Nothing waiting: 0, still connected, peer not closed.
  char buf[64];
  EXPECT_EQ(p.client.ReadData(buf, sizeof buf), 0);
  EXPECT_EQ(p.client.GetStatus(), sock_connected);
  EXPECT_FALSE(p.client.ReceivedRelease());
  EXPECT_EQ(p.client.ReadData(buf, 0), 0);  // a zero-length read is not a close
  EXPECT_FALSE(p.client.ReceivedRelease());

  const std::string hello = "hello from the client";
  EXPECT_EQ(p.client.http_WriteData(hello.data(), static_cast<long>(hello.size())), static_cast<int>(hello.size()));
  std::string got(hello.size(), '\0');
  EXPECT_EQ(recv(p.server, &got[0], got.size(), MSG_WAITALL), static_cast<ssize_t>(hello.size()));
  EXPECT_EQ(got, hello);

  const std::string answer = "and back";
  ASSERT_EQ(send(p.server, answer.data(), answer.size(), 0), static_cast<ssize_t>(answer.size()));
  EXPECT_EQ(read_some(p.client, answer.size()), answer);

  PCSBSocket::ConnectionData cd{};
  p.client.GetAddresses(&cd);
  EXPECT_EQ(cd.remote_address, loopback());
  EXPECT_EQ(cd.remote_port, listener.port());
  EXPECT_EQ(cd.local_address, static_cast<uint32_t>(INADDR_LOOPBACK));
  EXPECT_NE(cd.local_port, 0);
  EXPECT_EQ(p.client.GetOSError(), 0);
}

TEST(SocketTest, PeerCloseIsSeenOnlyByReceiving) {
  RawListener listener;
  Pair p;
  ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));
  const std::string last = "last words";
  ASSERT_EQ(send(p.server, last.data(), last.size(), 0), static_cast<ssize_t>(last.size()));
  close(p.server);
  p.server = -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  // The status does not notice; the data before the close still arrives.
  EXPECT_EQ(p.client.GetStatus(), sock_connected);
  EXPECT_EQ(read_some(p.client, last.size()), last);
  char buf[64];
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (!p.client.ReceivedRelease() && Clock::now() < deadline) EXPECT_EQ(p.client.ReadData(buf, sizeof buf), 0);
  EXPECT_TRUE(p.client.ReceivedRelease());
  EXPECT_EQ(p.client.GetStatus(), sock_connected);

  p.client.Disconnect();
  EXPECT_EQ(p.client.GetStatus(), sock_closed);
}

TEST(SocketTest, ReceiveAfterBothSidesReleasedCloses) {
  RawListener listener;
  Pair p;
  ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));
  p.client.Release();
  EXPECT_EQ(p.client.GetStatus(), sock_connected);
  char buf[16];
  EXPECT_EQ(recv(p.server, buf, sizeof buf, 0), 0);  // the server sees our end
  shutdown(p.server, SHUT_WR);

  int got = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while ((got = p.client.ReadData(buf, sizeof buf)) == 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(got, -1);
  EXPECT_TRUE(p.client.ReceivedRelease());
  EXPECT_EQ(p.client.GetStatus(), sock_closed);

  // Sending after this side released fails with EPIPE, an unexpected error,
  // and does not raise SIGPIPE (which would end this test program).
  EXPECT_EQ(p.client.http_WriteData("x", 1), -1);
  EXPECT_EQ(p.client.GetStatus(), sock_error);
  EXPECT_EQ(p.client.GetOSError(), EPIPE);
}

TEST(SocketTest, ResetByPeerClosesOnSend) {
  RawListener listener;
  Pair p;
  ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));
  linger lg{1, 0};  // close with a reset
  setsockopt(p.server, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  close(p.server);
  p.server = -1;

  int rc = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while ((rc = p.client.http_WriteData("ping", 4)) >= 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(p.client.GetStatus(), sock_closed);
  EXPECT_EQ(p.client.GetOSError(), ECONNRESET);
}

TEST(SocketTest, RefusedConnectionEndsClosedWithTheReason) {
  PCSBSocket s(0, false);
  s.Connect(loopback(), closed_port());
  // On Linux a non-blocking connect to a closed loopback port returns
  // EINPROGRESS; poll then reports the socket ready with an error, so the
  // status goes from 2 straight to 4 and the saved error says why.
  const int st = wait_status_change(s, sock_connecting);
  EXPECT_EQ(st, sock_closed);
  EXPECT_EQ(s.GetOSError(), ECONNREFUSED);
  EXPECT_EQ(s.GetStatus(), st);
  s.Disconnect();
  EXPECT_EQ(s.GetStatus(), sock_closed);
}

TEST(SocketTest, DisconnectClosesFromEveryStatus) {
  PCSBSocket fresh(0, false);
  fresh.Disconnect();
  EXPECT_EQ(fresh.GetStatus(), sock_closed);

  PCSBSocket listening(0, true);
  listening.Disconnect();
  EXPECT_EQ(listening.GetStatus(), sock_closed);

  RawListener listener;
  Pair p;
  ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));
  p.client.Disconnect();
  EXPECT_EQ(p.client.GetStatus(), sock_closed);
  char buf[4];
  EXPECT_EQ(recv(p.server, buf, sizeof buf, 0), 0);  // the peer sees the close
}

TEST(SocketTest, ListeningSideAcceptsAndReturnsToIdle) {
  PCSBSocket listener(0, true);
  ASSERT_EQ(listener.GetStatus(), sock_idle);
  PCSBSocket::ConnectionData cd{};
  listener.GetAddresses(&cd);
  ASSERT_NE(cd.local_port, 0);

  // Nothing pending: stays idle, Accept gives nothing.
  EXPECT_EQ(listener.GetStatus(), sock_idle);
  EXPECT_EQ(listener.Accept(), nullptr);
  EXPECT_EQ(listener.GetStatus(), sock_idle);

  const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(client, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = loopback();
  addr.sin_port = htons(cd.local_port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  EXPECT_EQ(wait_status_change(listener, sock_idle), sock_connecting);
  std::unique_ptr<PCSBSocket> accepted(listener.Accept());
  ASSERT_NE(accepted, nullptr);
  EXPECT_EQ(listener.GetStatus(), sock_idle);
  EXPECT_EQ(accepted->GetStatus(), sock_connected);
  EXPECT_NE(fcntl(accepted->GetDescriptor(), F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(accepted->GetDescriptor(), F_GETFD) & FD_CLOEXEC, 0);

  PCSBSocket::ConnectionData acd{};
  accepted->GetAddresses(&acd);
  EXPECT_EQ(acd.local_port, cd.local_port);
  EXPECT_EQ(acd.remote_address, loopback());

  char buf[16];
  EXPECT_EQ(accepted->ReadData(buf, sizeof buf), 0);  // nothing yet, no blocking
  ASSERT_EQ(send(client, "abc", 3, 0), 3);
  EXPECT_EQ(read_some(*accepted, 3), "abc");
  EXPECT_EQ(accepted->http_WriteData("xyz", 3), 3);
  EXPECT_EQ(recv(client, buf, 3, MSG_WAITALL), 3);
  EXPECT_EQ(std::string(buf, 3), "xyz");
  close(client);
}

// With more than 1024 descriptors open, the socket's own number is above
// what a select()-based poll could handle; the status must still work.
TEST(SocketTest, WorksWithDescriptorsAbove1023) {
  rlimit lim{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &lim), 0);
  if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low";
  const rlimit old = lim;
  if (lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < 1200) {
    lim.rlim_cur = 1200;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lim), 0);
  }
  std::vector<int> fillers;
  const int base = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(base, 0);
  fillers.push_back(base);
  while (fillers.back() < 1030) {
    const int fd = fcntl(base, F_DUPFD_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    fillers.push_back(fd);
  }

  {
    RawListener listener;
    Pair p;
    EXPECT_GT(p.client.GetDescriptor(), 1023);
    ASSERT_NO_FATAL_FAILURE(connect_pair(listener, &p));
    ASSERT_EQ(send(p.server, "big", 3, 0), 3);
    EXPECT_EQ(read_some(p.client, 3), "big");

    PCSBSocket high_listener(0, true);
    EXPECT_GT(high_listener.GetDescriptor(), 1023);
    EXPECT_EQ(high_listener.GetStatus(), sock_idle);
  }

  for (int fd : fillers) close(fd);
  setrlimit(RLIMIT_NOFILE, &old);
}

TEST(SocketTest, LookupAddress) {
  // Dotted addresses come back as they are, in network byte order.
  EXPECT_EQ(PCSBSocket::LookupAddress("127.0.0.1"), loopback());
  EXPECT_EQ(PCSBSocket::LookupAddress("10.1.2.3"), static_cast<unsigned long>(inet_addr("10.1.2.3")));
  // The broadcast address equals the "not dotted" marker and goes through the
  // name look-up, which still understands it.
  EXPECT_EQ(PCSBSocket::LookupAddress("255.255.255.255"), 0xFFFFFFFFUL);
  // Unknown names give 0; the reserved .invalid domain never reaches a name
  // server.
  EXPECT_EQ(PCSBSocket::LookupAddress("nonexistent.invalid"), 0UL);
  EXPECT_EQ(PCSBSocket::LookupAddress("NONEXISTENT.INVALID."), 0UL);
  EXPECT_EQ(PCSBSocket::LookupAddress("invalid"), 0UL);
  EXPECT_EQ(PCSBSocket::LookupAddress(""), 0UL);
}

}  // namespace
