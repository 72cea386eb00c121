// A minimal HTTP/1.1 file server for the download benchmark: serves the files
// of one folder on 127.0.0.1 with sendfile, one thread per connection, one
// request per connection. Prints the port it listens on as the first line of
// its output and runs until it is stopped.
//
//   bench_http_serve ROOT [PORT]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::string g_root;

bool send_all(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// "%20" and friends back to bytes.
std::string decode(const std::string& s) {
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

void serve(int fd) {
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    head.append(buf, static_cast<std::size_t>(n));
  }
  std::string target;
  const std::size_t sp1 = head.find(' ');
  const std::size_t sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
  if (sp2 != std::string::npos) target = head.substr(sp1 + 1, sp2 - sp1 - 1);
  if (target.rfind("http://", 0) == 0) {
    const std::size_t slash = target.find('/', 7);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  const std::string path = decode(target);

  int file = -1;
  struct stat st {};
  if (!path.empty() && path[0] == '/' && path.find("/..") == std::string::npos) {
    file = open((g_root + path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file >= 0 && (fstat(file, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(file);
      file = -1;
    }
  }
  if (file < 0) {
    send_all(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\nConnection: close\r\n\r\nnot found\n");
  } else {
    bool ok = send_all(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(st.st_size) +
                               "\r\nConnection: close\r\n\r\n");
    off_t off = 0;
    while (ok && off < st.st_size) {
      const ssize_t n = sendfile(fd, file, &off, static_cast<std::size_t>(st.st_size - off));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
    }
    close(file);
  }
  // Let the client read everything before the connection goes away.
  shutdown(fd, SHUT_WR);
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 5000) > 0 && recv(fd, buf, sizeof buf, 0) > 0) {
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s ROOT [PORT]\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  while (!g_root.empty() && g_root.back() == '/') g_root.pop_back();
  signal(SIGPIPE, SIG_IGN);

  const int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(argc == 3 ? std::atoi(argv[2]) : 0));
  if (lfd < 0 || bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(lfd, 64) != 0) {
    std::perror("bench_http_serve: listen");
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(lfd, reinterpret_cast<sockaddr*>(&addr), &len);
  std::printf("%d\n", ntohs(addr.sin_port));
  std::fflush(stdout);

  for (;;) {
    const int fd = accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::perror("bench_http_serve: accept");
      return 1;
    }
    std::thread(serve, fd).detach();
  }
}
