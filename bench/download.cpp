// Downloads one file from a server on 127.0.0.1 through the installer's HTTP
// client, as the download step drives it: net_check, and between two calls
// a wait for the transfer's socket (http_class::wait_ready) for the rest of
// a 20 ms slice, slice after slice. Prints the time, the throughput, the
// number of calls and the process's own CPU time.
//
//   bench_download PORT PATH OUT
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/http.h"

namespace {

double cpu_seconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || argv[2][0] != '/') {
    std::fprintf(stderr, "usage: %s PORT /PATH OUT\n", argv[0]);
    return 2;
  }
  http.server_port = static_cast<unsigned short>(std::atoi(argv[1]));
  const std::string path = argv[2];
  const std::string out = argv[3];
  const int slot = 2;
  using clock_type = std::chrono::steady_clock;

  const double cpu0 = cpu_seconds();
  const auto t0 = clock_type::now();
  auto slice_end = t0 + std::chrono::milliseconds(20);
  int rc = 0;
  int64_t size = 0;
  long long calls = 0;
  while ((rc = http.net_check(slot, "127.0.0.1", path, out)) == 0) {
    if (http.content_length(slot) >= 0) size = http.content_length(slot);
    ++calls;
    auto now = clock_type::now();
    if (now >= slice_end) slice_end = now + std::chrono::milliseconds(20);
    http.wait_ready(&slot, 1, std::chrono::duration<double>(slice_end - now).count());
  }
  const auto t1 = clock_type::now();
  const double cpu = cpu_seconds() - cpu0;
  if (rc != 1) {
    std::fprintf(stderr, "download failed\n");
    return 1;
  }
  const double secs = std::chrono::duration<double>(t1 - t0).count();
  std::printf("%.3f s  %.1f MiB/s  (%lld calls)  cpu %.3f s\n", secs,
              static_cast<double>(size) / 1048576.0 / secs, calls, cpu);
  return 0;
}
