// Unpacks one zip archive into a folder with zip_to_file and prints the
// result, the time taken and the peak memory of the process. Each file's
// signature is taken while it is written, as the installs do.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "files/archives.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE OUT_FOLDER/\n", argv[0]);
    return 2;
  }
  std::string out = argv[2];
  if (out.empty() || out.back() != '/') out += '/';
  const auto t0 = std::chrono::steady_clock::now();
  unpack_check check;  // no signature wanted and no size limit: only taken
  const int rc = zip_to_file(argv[1], out, nullptr, 0, &check);
  const auto t1 = std::chrono::steady_clock::now();
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("result %d\n%.3f s\npeak %ld KiB\n", rc,
              std::chrono::duration<double>(t1 - t0).count(), ru.ru_maxrss);
  return rc == 0 ? 0 : 1;
}
