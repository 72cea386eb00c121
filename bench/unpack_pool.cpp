// Unpacks many single-file zip archives through an unpack pool as the web
// update does: one task per archive on a pool of the engine's size and
// room, each checking that the archive holds its one file and unpacking it
// with the size and signature that the directory wants. Prints the time
// from the pool's start to the last task taken back.
//
//   bench_unpack_pool LIST ARCHIVE_FOLDER OUT_FOLDER
//
// LIST holds one line per file: its path below OUT_FOLDER, its signature
// and its size in bytes; its archive is ARCHIVE_FOLDER/PATH.zip. The
// folders of OUT_FOLDER must exist. Exits with 1 when any task failed.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/archive_check.h"
#include "engine/download.h"
#include "files/archives.h"
#include "runtime/threads.h"
#include "runtime/worker_pool.h"
#ifndef CORVANE_BENCH_OLD_TREE
#include "engine/pools.h"
#endif

namespace {

// The pool's size as the engine makes it.
int pool_threads() {
#ifdef CORVANE_BENCH_OLD_TREE
  return UTL_count_processors();  // what the engine used before it asked the affinity mask
#else
  return unpack_pool_threads();
#endif
}

class unpack_task : public UTL_work_task {
 public:
  unpack_task(std::string from, std::string to, const std::string& md5, std::int64_t size)
      : archive(std::move(from)), destination(std::move(to)) {
    check.want_md5 = md5;
    check.max_bytes = size;
  }
  void do_it() override { err = unpack_single_file(archive, destination, &refusal, &check); }
  int check_error(std::string& message) override {
    message = refusal;
    return err;
  }

  std::string archive;
  std::string destination;
  unpack_check check;
  std::string refusal;
  int err = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s LIST ARCHIVE_FOLDER OUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<unpack_task*> tasks;
  std::ifstream list(argv[1]);
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string path, md5;
    std::int64_t size = -1;
    if (!(fields >> path >> md5 >> size)) continue;
    tasks.push_back(new unpack_task(std::string(argv[2]) + "/" + path + ".zip", std::string(argv[3]) + "/" + path,
                                    md5, size));
  }
  if (tasks.empty()) {
    std::fprintf(stderr, "no archives listed\n");
    return 2;
  }

  const int threads = pool_threads();
  const auto t0 = std::chrono::steady_clock::now();
  auto* pool = new UTL_worker_threads(threads, web_unpacks_max);
  std::size_t next = 0;
  int failed = 0;
  auto take = [&](UTL_work_task* done) {
    std::string message;
    if (done->check_error(message) != 0) {
      ++failed;
      std::fprintf(stderr, "%s", message.c_str());
    }
    delete done;
  };
  while (next < tasks.size()) {
    while (next < tasks.size() && pool->has_free_slot()) pool->enqueue_task(tasks[next++]);
    if (UTL_work_task* done = pool->wait_retired_tasks()) take(done);
  }
  while (UTL_work_task* done = pool->wait_retired_tasks()) take(done);
  delete pool;
  const auto t1 = std::chrono::steady_clock::now();
  std::printf("files=%zu threads=%d failed=%d total_ns=%lld\n", tasks.size(), threads, failed,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count()));
  return failed == 0 ? 0 : 1;
}
