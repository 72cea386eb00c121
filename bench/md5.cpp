// Hashes one file with calc_file_md5 and prints the signature and the time.
#include <chrono>
#include <cstdio>
#include <string>

#include "files/md5.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::string sig;
  const auto t0 = std::chrono::steady_clock::now();
  const int rc = calc_file_md5(argv[1], sig);
  const auto t1 = std::chrono::steady_clock::now();
  if (rc != 0) {
    std::fprintf(stderr, "%s: cannot read (%d)\n", argv[1], rc);
    return 1;
  }
  const double secs = std::chrono::duration<double>(t1 - t0).count();
  std::printf("%s  %s\n%.3f s\n", sig.c_str(), argv[1], secs);
  return 0;
}
