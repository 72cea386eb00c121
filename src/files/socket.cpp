#include "files/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Errors that mean the connection is gone rather than that something is
// wrong with the program or the system.
bool connection_gone(int err) {
  switch (err) {
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case EHOSTUNREACH:
      return true;
    default:
      return false;
  }
}

void set_non_blocking(int fd) {
  int on = 1;
  ioctl(fd, FIONBIO, &on);
}

// True when host ends in the ".invalid" domain, which by convention never
// names a host (RFC 6761): such names fail without a name-server query.
bool reserved_invalid(const char* host) {
  std::size_t n = std::strlen(host);
  while (n > 0 && host[n - 1] == '.') --n;  // a fully qualified "x.invalid."
  static const char kSuffix[] = "invalid";
  const std::size_t k = sizeof kSuffix - 1;
  if (n < k || strncasecmp(host + n - k, kSuffix, k) != 0) return false;
  return n == k || host[n - k - 1] == '.';
}

}  // namespace

int printf_null(char*, ...) { return 0; }

PCSBSocket::PCSBSocket(unsigned short port, bool listen) {
  descriptor_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor_ < 0) {
    fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
    status_ = sock_error;
    os_error_ = errno;
    return;
  }

  int one = 1;
  if (setsockopt(descriptor_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0)
    printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

  // A client on any port is bound by its connect: the system then picks
  // the port for the address it connects to, and may reuse one that a
  // closed connection to another address still holds. Binding to port 0
  // first would reserve a port of its own for every download, and a run of
  // thousands of short downloads could use them all up.
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(port);
  if ((listen || port != 0) && bind(descriptor_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
    status_ = sock_error;
    os_error_ = errno;
    return;
  }

  set_non_blocking(descriptor_);

  if (listen) {
    listening_ = true;
    if (::listen(descriptor_, 128) != 0) {
      fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
      status_ = sock_error;
      os_error_ = errno;
    }
  }
}

PCSBSocket::PCSBSocket(int descriptor) : descriptor_(descriptor), status_(sock_connected) {
  set_non_blocking(descriptor_);
}

PCSBSocket::~PCSBSocket() {
  if (descriptor_ >= 0) {
    shutdown(descriptor_, SHUT_RDWR);
    close(descriptor_);
  }
}

void PCSBSocket::Connect(unsigned long address, unsigned short port) {
  status_ = sock_connecting;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = static_cast<in_addr_t>(address);
  addr.sin_port = htons(port);
  if (connect(descriptor_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    status_ = sock_connected;
    return;
  }
  if (errno == EAGAIN || errno == EINPROGRESS) return;
  fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", errno);
  status_ = sock_error;
  os_error_ = errno;
}

int PCSBSocket::GetStatus() {
  if (status_ == sock_idle) {
    if (!listening_) return status_;
    pollfd p{descriptor_, POLLIN, 0};
    const int r = poll(&p, 1, 0);
    if (r == 0 || (r < 0 && errno == EINTR)) return status_;
    if (r < 0) {
      fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", r);
      status_ = sock_error;
      os_error_ = errno;
      return status_;
    }
    status_ = sock_connecting;  // a connection is waiting for Accept
    return status_;
  }

  if (status_ == sock_connecting) {
    pollfd p{descriptor_, POLLOUT | POLLPRI, 0};
    const int r = poll(&p, 1, 0);
    if (r == 0 || (r < 0 && errno == EINTR)) return status_;
    if (r < 0) {
      const int err = errno;
      fprintf(stderr, "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n", r, err,
              descriptor_);
      status_ = sock_error;
      os_error_ = err;
      return status_;
    }
    const short bad = POLLERR | POLLHUP | POLLNVAL | POLLPRI;
    if ((p.revents & POLLOUT) && !(p.revents & bad)) {
      status_ = sock_connected;
      return status_;
    }
    // The connect failed (refused, unreachable, timed out): keep the reason.
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(descriptor_, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err != 0) os_error_ = err;
    status_ = sock_closed;
    return status_;
  }

  return status_;
}

int PCSBSocket::http_WriteData(const void* data, long length) {
  if (length <= 0) return 0;
  const ssize_t n = send(descriptor_, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  if (n >= 0) return static_cast<int>(n);
  const int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  os_error_ = err;
  if (connection_gone(err)) {
    status_ = sock_closed;
    return -1;
  }
  fprintf(stderr, "LINUX: NET: Some sort of error while sending! %d\n", err);
  status_ = sock_error;
  return -1;
}

int PCSBSocket::ReadData(void* buffer, long length) {
  // A zero-length receive would return 0 and look like the peer closing.
  if (length <= 0) return 0;
  const ssize_t n = recv(descriptor_, buffer, static_cast<std::size_t>(length), 0);
  if (n > 0) return static_cast<int>(n);
  if (n == 0) {
    peer_closed_ = true;
    if (released_) {
      status_ = sock_closed;
      return -1;
    }
    return 0;
  }
  const int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  os_error_ = err;
  if (connection_gone(err)) {
    status_ = sock_closed;
    return -1;
  }
  fprintf(stderr, "LINUX: NET: Some sort of error while recving! %d\n", err);
  status_ = sock_error;
  return -1;
}

void PCSBSocket::Disconnect() {
  if (descriptor_ >= 0) shutdown(descriptor_, SHUT_RDWR);
  status_ = sock_closed;
}

void PCSBSocket::Release() {
  released_ = true;
  if (shutdown(descriptor_, SHUT_WR) != 0) {
    status_ = sock_error;
    os_error_ = errno;
  }
}

PCSBSocket* PCSBSocket::Accept() {
  status_ = sock_idle;
  const int fd = accept4(descriptor_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return nullptr;
  return new PCSBSocket(fd);
}

void PCSBSocket::GetAddresses(ConnectionData* out) {
  sockaddr_in local{};
  sockaddr_in remote{};
  socklen_t len = sizeof local;
  getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &len);
  len = sizeof remote;
  getpeername(descriptor_, reinterpret_cast<sockaddr*>(&remote), &len);
  out->local_address = ntohl(local.sin_addr.s_addr);
  out->local_port = ntohs(local.sin_port);
  out->remote_address = remote.sin_addr.s_addr;
  out->remote_port = ntohs(remote.sin_port);
}

bool PCSBSocket::IsReservedInvalid(const char* host) { return reserved_invalid(host); }

unsigned long PCSBSocket::LookupAddress(const char* host) {
  if (!host || !*host) return 0;
  const in_addr_t dotted = inet_addr(host);
  if (dotted != INADDR_NONE) return dotted;
  if (reserved_invalid(host)) return 0;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return 0;
  unsigned long address = 0;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr) {
      address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  freeaddrinfo(found);
  return address;
}
