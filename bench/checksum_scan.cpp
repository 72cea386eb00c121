// The checksum scan over a large install folder, polled as the wizard's frame
// loop polls it.
//
//   bench_checksum_scan make DIR mixed|even|small
//       makes a tree under DIR:
//       mixed: 4,000 files totalling 2 GiB in 40 folders: 3,990 files of 8
//              to 256 KiB and 10 large files sharing the rest, one large
//              file in every fourth folder;
//       even:  4,000 files of 2 GiB / 4,000 bytes each (about 512 KiB);
//       small: 100,000 files of 1 to 8 KiB in 100 folders.
//   bench_checksum_scan scan DIR SUMS [POLL_MS [REMOVED]]
//       builds the file table from SUMS (md5sum output for the files of DIR,
//       paths relative to DIR) with each file's size in KB, as a directory
//       gives it, scans DIR with checksum_directory called once per poll
//       with POLL_MS milliseconds (default 16, as the window's frame loop
//       waits) between polls, checks that every file came out current, and
//       prints one line:
//       "scan_ns=<wall time of the scan> polls=<n> longest_poll_us=<x> ..."
//       with the longest poll by the wall clock and by the thread's CPU time,
//       the longest poll that the scheduler did not interrupt, and how many
//       polls were interrupted or gave up the processor themselves, and the
//       last poll (the one that completes the scan) by both clocks. With
//       REMOVED above 0, that many files spread evenly over the table are
//       ones that the release removes (a history of the file's version and
//       then "GONE") while they are still on disk: the scan must find each
//       with its signature. With SCAN_TRACE set in the environment every
//       poll over 2 ms is described on standard error.
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "runtime/threads.h"

namespace {

constexpr int kFiles = 4000;
constexpr int kLargeFiles = 10;
constexpr std::uint64_t kTotalBytes = 2ull << 30;
constexpr int kFolders = 40;

bool write_random_file(const std::string& path, std::uint64_t size, std::mt19937_64& rng) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<std::uint64_t> block(8192);
  std::uint64_t left = size;
  while (left > 0) {
    for (auto& w : block) w = rng();
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size() * 8));
    if (std::fwrite(block.data(), 1, n, f) != n) {
      std::fclose(f);
      return false;
    }
    left -= n;
  }
  return std::fclose(f) == 0;
}

int make_small_tree(const std::string& dir) {
  std::mt19937_64 rng(20240612);
  std::uniform_int_distribution<std::uint64_t> size(1 << 10, 8 << 10);
  constexpr int kSmallFiles = 100000;
  constexpr int kSmallFolders = 100;
  std::uint64_t total = 0;
  for (int i = 0; i < kSmallFiles; ++i) {
    char folder[32], name[32];
    std::snprintf(folder, sizeof folder, "s%03d/", i % kSmallFolders);
    std::snprintf(name, sizeof name, "f%06d.bin", i);
    if (i < kSmallFolders) make_folder(dir + folder);
    const std::uint64_t n = size(rng);
    if (!write_random_file(dir + folder + name, n, rng)) {
      std::fprintf(stderr, "cannot write %s%s%s\n", dir.c_str(), folder, name);
      return 1;
    }
    total += n;
  }
  std::printf("made %d files, %llu bytes (small)\n", kSmallFiles, static_cast<unsigned long long>(total));
  return 0;
}

int make_tree(const std::string& dir, const std::string& layout) {
  if (layout == "small") return make_small_tree(dir);
  std::mt19937_64 rng(20240611);
  std::vector<std::uint64_t> sizes;
  if (layout == "even") {
    for (int i = 0; i < kFiles; ++i) sizes.push_back(kTotalBytes / kFiles + (static_cast<std::uint64_t>(i) < kTotalBytes % kFiles ? 1 : 0));
  } else if (layout == "mixed") {
    std::uniform_int_distribution<std::uint64_t> small(8 << 10, 256 << 10);
    std::uint64_t small_total = 0;
    for (int i = 0; i < kFiles - kLargeFiles; ++i) {
      sizes.push_back(small(rng));
      small_total += sizes.back();
    }
    const std::uint64_t rest = kTotalBytes - small_total;
    // One large file in every fourth folder: the large files are spread
    // over the table rather than bunched at one end.
    for (int i = 0; i < kLargeFiles; ++i) {
      const std::uint64_t size = rest / kLargeFiles + (static_cast<std::uint64_t>(i) < rest % kLargeFiles ? 1 : 0);
      const std::size_t at = static_cast<std::size_t>(i) * (sizes.size() / kLargeFiles) + 50;
      sizes.insert(sizes.begin() + static_cast<std::ptrdiff_t>(at), size);
    }
  } else {
    std::fprintf(stderr, "layout must be mixed, even or small\n");
    return 2;
  }
  const int per_folder = kFiles / kFolders;
  std::uint64_t total = 0;
  for (int i = 0; i < kFiles; ++i) {
    char folder[32], name[32];
    std::snprintf(folder, sizeof folder, "d%02d/", i / per_folder);
    std::snprintf(name, sizeof name, "f%04d.bin", i);
    if (i % per_folder == 0) make_folder(dir + folder);
    if (!write_random_file(dir + folder + name, sizes[static_cast<std::size_t>(i)], rng)) {
      std::fprintf(stderr, "cannot write %s%s%s\n", dir.c_str(), folder, name);
      return 1;
    }
    total += sizes[static_cast<std::size_t>(i)];
  }
  std::printf("made %d files, %llu bytes (%s)\n", kFiles, static_cast<unsigned long long>(total), layout.c_str());
  return 0;
}

// CPU time of the calling thread: a poll that took long on the wall clock
// but little CPU time waited, for a lock or for a processor.
double thread_cpu_us() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

int scan_tree(const std::string& dir, const std::string& sums_path, int poll_ms, long long removed) {
  // md5sum lines: 32 hex digits, two blanks, the path ("./" first from find).
  std::ifstream sums(sums_path);
  std::string line;
  sim_info.clear();
  while (std::getline(sums, line)) {
    if (line.size() < 35) continue;
    std::string rel = line.substr(34);
    if (rel.compare(0, 2, "./") == 0) rel.erase(0, 2);
    file_version_struct v;
    v.sig_want = line.substr(0, 32);
    v.path = "Corvane 9/" + rel;
    struct stat st;
    if (stat((dir + rel).c_str(), &st) == 0) v.unpacked_kb = static_cast<float>((st.st_size + 1023) / 1024);
    sim_info.push_back(file_history_struct{{v}});
  }
  if (sim_info.empty()) {
    std::fprintf(stderr, "no files in %s\n", sums_path.c_str());
    return 1;
  }
  const long long total = static_cast<long long>(sim_info.size());
  if (removed > total) removed = total;
  for (long long i = 0; removed > 0 && i < total; ++i) {
    if ((i + 1) * removed / total == i * removed / total) continue;
    file_version_struct gone = sim_info[static_cast<std::size_t>(i)].versions.back();
    gone.sig_want = kSigGone;
    sim_info[static_cast<std::size_t>(i)].versions.push_back(gone);
  }
  dest_dir_path = dir;
  stg.want_os = os_linux;
  // As the display start-up does: the thread layer and its idle workers.
  THREAD_init();
  THREAD_make_workers();

  using Clock = std::chrono::steady_clock;
  int queued = 0;
  float fraction = 0;
  int polls = 0;
  double longest_us = 0, total_poll_us = 0, first_us = 0, last_us = 0, longest_cpu_us = 0, last_cpu_us = 0;
  int longest_at = 0;
  // Polls that the scheduler interrupted, and the longest poll that it did
  // not; polls that gave up the processor themselves (waited on a lock).
  int preempted = 0, waited = 0;
  double longest_whole_us = 0;
  const auto start = Clock::now();
  for (;;) {
    rusage r0{}, r1{};
    getrusage(RUSAGE_THREAD, &r0);
    const auto t0 = Clock::now();
    const double cpu0 = thread_cpu_us();
    const int done = checksum_directory(queued, fraction);
    const double cpu_us = thread_cpu_us() - cpu0;
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    getrusage(RUSAGE_THREAD, &r1);
    if (r1.ru_nivcsw != r0.ru_nivcsw) {
      ++preempted;
    } else if (us > longest_whole_us) {
      longest_whole_us = us;
    }
    if (r1.ru_nvcsw != r0.ru_nvcsw) ++waited;
    if (getenv("SCAN_TRACE") && us > 2000)
      std::fprintf(stderr, "poll %d: %.0f us wall, %.0f us cpu, %ld voluntary %ld involuntary switches, queued %d\n",
                   polls + 1, us, cpu_us, r1.ru_nvcsw - r0.ru_nvcsw, r1.ru_nivcsw - r0.ru_nivcsw, queued);
    if (cpu_us > longest_cpu_us) longest_cpu_us = cpu_us;
    ++polls;
    total_poll_us += us;
    if (polls == 1) first_us = us;
    last_us = us;
    last_cpu_us = cpu_us;
    if (us > longest_us) {
      longest_us = us;
      longest_at = polls;
    }
    if (done) break;
    const timespec pause{poll_ms / 1000, static_cast<long>(poll_ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
  }
  const auto scan_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();

  // A removed file is found on disk with the signature of the version
  // before its removal; every other file is current.
  int wrong = 0;
  for (std::size_t i = 0; i < sim_info.size(); ++i) {
    const std::vector<file_version_struct>& versions = sim_info[i].versions;
    const file_version_struct& v = versions.back();
    const bool right = v.sig_want == kSigGone ? v.sig_have == versions.front().sig_want : v.is_current == 1;
    if (!right && ++wrong <= 5) std::fprintf(stderr, "not as on disk: %s\n", v.path.c_str());
  }
  THREAD_shutdown();
  if (wrong) {
    std::fprintf(stderr, "%d of %zu files did not match md5sum\n", wrong, sim_info.size());
    return 1;
  }
  std::printf("scan_ns=%lld polls=%d longest_poll_us=%.0f (poll %d) longest_poll_cpu_us=%.0f first_poll_us=%.0f last_poll_us=%.0f "
              "last_poll_cpu_us=%.0f longest_unpreempted_poll_us=%.0f preempted_polls=%d waiting_polls=%d "
              "mean_poll_us=%.1f files=%zu removed=%lld\n",
              static_cast<long long>(scan_ns), polls, longest_us, longest_at, longest_cpu_us, first_us, last_us,
              last_cpu_us, longest_whole_us, preempted, waited, total_poll_us / polls, sim_info.size(), removed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "make") {
    std::string dir = argv[2];
    if (dir.back() != '/') dir += '/';
    return make_tree(dir, argv[3]);
  }
  if (argc >= 4 && argc <= 6 && std::string(argv[1]) == "scan") {
    std::string dir = argv[2];
    if (dir.back() != '/') dir += '/';
    return scan_tree(dir, argv[3], argc >= 5 ? std::atoi(argv[4]) : 16, argc == 6 ? std::atoll(argv[5]) : 0);
  }
  std::fprintf(stderr, "usage: %s make DIR mixed|even|small | %s scan DIR SUMS [POLL_MS [REMOVED]]\n", argv[0],
               argv[0]);
  return 2;
}
