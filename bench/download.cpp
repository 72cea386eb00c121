// Downloads one file from a server on 127.0.0.1 through the installer's HTTP
// client, calling net_check in a tight loop as the frame loop would, and
// prints the time and the throughput.
//
//   bench_download PORT PATH OUT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/http.h"

int main(int argc, char** argv) {
  if (argc != 4 || argv[2][0] != '/') {
    std::fprintf(stderr, "usage: %s PORT /PATH OUT\n", argv[0]);
    return 2;
  }
  http.server_port = static_cast<unsigned short>(std::atoi(argv[1]));
  const std::string path = argv[2];
  const std::string out = argv[3];

  const auto t0 = std::chrono::steady_clock::now();
  int rc = 0;
  int64_t size = 0;
  long long calls = 0;
  while ((rc = http.net_check(2, "127.0.0.1", path, out)) == 0) {
    if (http.content_length(2) >= 0) size = http.content_length(2);
    ++calls;
  }
  const auto t1 = std::chrono::steady_clock::now();
  if (rc != 1) {
    std::fprintf(stderr, "download failed\n");
    return 1;
  }
  const double secs = std::chrono::duration<double>(t1 - t0).count();
  std::printf("%.3f s  %.1f MiB/s  (%lld calls)\n", secs, static_cast<double>(size) / 1048576.0 / secs, calls);
  return 0;
}
