// Reading and filtering a directory that lists one local path many times,
// beside one that lists as many different paths.
//
//   bench_directory_rings [FILES [RUNS [ONE_PATH]]]
//       makes two directory bodies of FILES records each (default 20,000):
//       "distinct" names FILES paths under the install folder; "one path"
//       names Resources/x.txt under FILES different first folders, which all
//       stand for the install folder, every other record removing the file.
//       One read of a body is parse_directory, the filter set as the web
//       update sets it, and one pass of want_this_f over the table (the
//       scan, the totals and the decisions each make such a pass). The two
//       are read RUNS times each (default 5), alternating, and the medians
//       are printed on one line:
//       "distinct_ns=<x> one_path_ns=<y> ratio=<y/x> taken=<a>/<b>"
//       with how many files of each the filter took (FILES and 1). With
//       ONE_PATH 0 only "distinct" is read (an older tree reads the other in
//       a time that grows with the square of FILES); its figures are 0.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/directory.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"

namespace {

const char kSig[] = "0123456789abcdef0123456789abcdef";

std::string body(int files, bool one_path) {
  std::string text;
  for (int i = 0; i < files; ++i) {
    const std::string n = std::to_string(i);
    if (one_path)
      text += std::string("FILE 0 0 0 1 1 ") + (i % 2 ? "GONE" : kSig) + " Copy " + n + "/Resources/x.txt\n";
    else
      text += std::string("FILE 0 0 0 1 1 ") + kSig + " Halden/Resources/f" + n + ".txt\n";
  }
  return text;
}

// One read and one filter pass; returns its time in nanoseconds and the
// number of files taken.
long long read_and_filter(const std::string& text, int& taken) {
  const auto t0 = std::chrono::steady_clock::now();
  if (parse_directory(text.data(), text.data() + text.size(), nullptr) != directory_parsed) std::exit(1);
  set_install_filter(1, 1);
  taken = 0;
  const int count = static_cast<int>(sim_info.size());
  for (int i = 0; i < count; ++i)
    taken += want_this_f(i, static_cast<int>(sim_info[static_cast<std::size_t>(i)].versions.size()) - 1);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
}

long long median(std::vector<long long> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const bool with_one_path = argc <= 3 || std::atoi(argv[3]) != 0;
  if (files < 1 || runs < 1) {
    std::fprintf(stderr, "usage: %s [FILES [RUNS [ONE_PATH]]]\n", argv[0]);
    return 2;
  }
  stg.want_os = os_linux;
  const std::string distinct = body(files, false);
  const std::string one_path = body(files, true);
  std::vector<long long> a, b;
  int taken_a = 0, taken_b = 0;
  for (int r = 0; r < runs; ++r) {
    a.push_back(read_and_filter(distinct, taken_a));
    if (with_one_path) b.push_back(read_and_filter(one_path, taken_b));
  }
  const long long ma = median(a), mb = with_one_path ? median(b) : 0;
  std::printf("distinct_ns=%lld one_path_ns=%lld ratio=%.2f taken=%d/%d\n", ma, mb,
              static_cast<double>(mb) / static_cast<double>(ma), taken_a, taken_b);
  return taken_a == files && taken_b == (with_one_path ? 1 : 0) ? 0 : 1;
}
