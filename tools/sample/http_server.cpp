#include "sample/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

bool send_all(int fd, const char* data, std::size_t len) {
  while (len > 0) {
    ssize_t n = send(fd, data, len, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool send_all(int fd, const std::string& s) { return send_all(fd, s.data(), s.size()); }

// Sends count bytes of the file from offset; false when the peer went away.
bool send_file_range(int sock, int file, long long offset, long long count) {
  off_t off = static_cast<off_t>(offset);
  while (count > 0) {
    ssize_t n = sendfile(sock, file, &off, static_cast<std::size_t>(std::min<long long>(count, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    count -= n;
  }
  return true;
}

std::string percent_decode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string status_text(int status) {
  switch (status) {
    case 200: return "OK";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

}  // namespace

TestHttpServer::TestHttpServer(const std::string& root) : root_(root) {
  // sendfile() to a client that went away raises SIGPIPE; the installer
  // ignores it from start-up, and so does the process that runs the server.
  signal(SIGPIPE, SIG_IGN);
  if (!root_.empty() && root_.back() == '/') root_.pop_back();
  start();
}

TestHttpServer::~TestHttpServer() { stop(); }

bool TestHttpServer::start() {
  if (running_) return true;
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port_));
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listen_fd_, 64) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  socklen_t len = sizeof addr;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  running_ = true;
  acceptor_ = std::thread(&TestHttpServer::accept_loop, this);
  return true;
}

void TestHttpServer::stop() {
  if (!running_) return;
  running_ = false;
  shutdown(listen_fd_, SHUT_RDWR);
  acceptor_.join();
  close(listen_fd_);
  listen_fd_ = -1;
  std::unique_lock<std::mutex> lock(mutex_);
  for (int fd : open_fds_) shutdown(fd, SHUT_RDWR);
  idle_.wait(lock, [this] { return active_ == 0; });
}

void TestHttpServer::accept_loop() {
  while (running_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) {
      close(fd);
      break;
    }
    open_fds_.push_back(fd);
    ++active_;
    if (active_ > most_active_) most_active_ = active_;
    std::thread(&TestHttpServer::serve, this, fd).detach();
  }
}

void TestHttpServer::set_fault(const std::string& path, const FaultSpec& spec) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[path] = spec;
}

int TestHttpServer::most_at_once() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return most_active_;
}

void TestHttpServer::clear_faults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

bool TestHttpServer::take_fault(const std::string& path, FaultSpec* spec) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = faults_.find(path);
  if (it == faults_.end() || it->second.times == 0) return false;
  *spec = it->second;
  if (it->second.times > 0) --it->second.times;
  return true;
}

std::vector<TestHttpServer::Request> TestHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestHttpServer::clear_requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

int TestHttpServer::count(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                        [&](const Request& r) { return r.path == path; }));
}

void TestHttpServer::serve(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  // Read the request head.
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      if (!running_) break;
      continue;
    }
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<std::size_t>(n));
  }

  Request req;
  req.raw = head.substr(0, head.find("\r\n\r\n"));
  std::size_t line_end = req.raw.find("\r\n");
  std::string request_line = req.raw.substr(0, line_end);
  std::size_t sp1 = request_line.find(' ');
  std::size_t sp2 = request_line.rfind(' ');
  if (sp1 != std::string::npos && sp2 != std::string::npos && sp2 > sp1) {
    req.method = request_line.substr(0, sp1);
    req.target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
  }
  std::size_t pos = line_end == std::string::npos ? req.raw.size() : line_end + 2;
  while (pos < req.raw.size()) {
    std::size_t e = req.raw.find("\r\n", pos);
    if (e == std::string::npos) e = req.raw.size();
    std::string line = req.raw.substr(pos, e - pos);
    std::size_t colon = line.find(": ");
    if (colon != std::string::npos) req.headers[line.substr(0, colon)] = line.substr(colon + 2);
    pos = e + 2;
  }
  req.host = req.headers.count("Host") ? req.headers["Host"] : "";
  std::string target = req.target;
  if (target.rfind("http://", 0) == 0) {
    std::size_t slash = target.find('/', 7);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  req.path = percent_decode(target);
  if (!req.method.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(req);
  }

  FaultSpec fault;
  const bool faulty = !req.method.empty() && take_fault(req.path, &fault);

  auto finish = [&]() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_fds_.erase(std::remove(open_fds_.begin(), open_fds_.end(), fd), open_fds_.end());
    close(fd);
    if (--active_ == 0) idle_.notify_all();
  };

  if (req.method.empty() || (faulty && fault.fault == Fault::refuse)) {
    finish();
    return;
  }
  if (faulty && fault.fault == Fault::status) {
    const std::string body = "fault " + std::to_string(fault.status) + "\n";
    send_all(fd, "HTTP/1.1 " + std::to_string(fault.status) + " " + status_text(fault.status) +
                     "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    finish();
    return;
  }

  if (faulty && (fault.fault == Fault::long_body || fault.fault == Fault::unannounced ||
                 fault.fault == Fault::chunked)) {
    const bool chunked = fault.fault == Fault::chunked;
    std::string head = "HTTP/1.1 200 OK\r\n";
    if (fault.fault == Fault::long_body) head += "Content-Length: " + std::to_string(fault.bytes) + "\r\n";
    if (chunked) head += "Transfer-Encoding: chunked\r\n";
    bool ok = send_all(fd, head + "Connection: close\r\n\r\n");
    // Until the client gives up (the sends then fail) or all is sent.
    const std::string filler(64 * 1024, 'z');
    for (long long left = fault.bytes; ok && left > 0 && running_;) {
      const std::size_t n = static_cast<std::size_t>(std::min<long long>(left, static_cast<long long>(filler.size())));
      char size_line[32];
      snprintf(size_line, sizeof size_line, "%zx\r\n", n);
      ok = (!chunked || send_all(fd, size_line)) && send_all(fd, filler.data(), n) && (!chunked || send_all(fd, "\r\n"));
      left -= static_cast<long long>(n);
    }
    if (ok && chunked) send_all(fd, "0\r\n\r\n");
    shutdown(fd, SHUT_WR);
    for (int i = 0; i < 100 && running_; ++i) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) > 0 && recv(fd, buf, sizeof buf, 0) <= 0) break;
    }
    finish();
    return;
  }

  // Serve the file; paths that climb out of the folder are not found.
  int file = -1;
  struct stat st{};
  if (req.path.find("/../") == std::string::npos && req.path.rfind("/..", 0) != 0 && !req.path.empty() &&
      req.path[0] == '/') {
    file = open((root_ + req.path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file >= 0 && (fstat(file, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(file);
      file = -1;
    }
  }
  if (file < 0) {
    const std::string body = "not found\n";
    send_all(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\nConnection: close\r\n\r\n" + body);
    finish();
    return;
  }

  const long long size = st.st_size;
  bool ok = send_all(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                             "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n");
  if (ok && faulty && (fault.fault == Fault::close_early || fault.fault == Fault::stall)) {
    send_file_range(fd, file, 0, std::min(fault.bytes, size));
    if (fault.fault == Fault::stall) {
      // Hold the connection open, sending nothing, until the client gives up
      // or the server stops.
      while (running_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0 && recv(fd, buf, sizeof buf, 0) <= 0) break;
      }
    }
  } else if (ok && faulty && fault.fault == Fault::slow) {
    const long long piece = fault.bytes > 0 ? fault.bytes : 1024;
    for (long long off = 0; off < size && ok && running_; off += piece) {
      ok = send_file_range(fd, file, off, std::min(piece, size - off));
      std::this_thread::sleep_for(std::chrono::milliseconds(fault.delay_ms));
    }
  } else if (ok) {
    send_file_range(fd, file, 0, size);
  }
  close(file);
  // Let the client read everything before the connection goes away.
  shutdown(fd, SHUT_WR);
  for (int i = 0; i < 100 && running_; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) > 0 && recv(fd, buf, sizeof buf, 0) <= 0) break;
  }
  finish();
}
