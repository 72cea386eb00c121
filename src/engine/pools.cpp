#include "engine/pools.h"

#include <algorithm>

#include "engine/checksum.h"
#include "engine/disc_install.h"
#include "engine/download.h"
#include "runtime/threads.h"

void stop_engine_pools() {
  checksum_directory_kill();
  install_files_kill();
  grab_files_kill();
}

int unpack_pool_threads() {
  const int usable = UTL_count_usable_processors();
  return std::max(usable, std::min(2 * usable, UTL_count_processors()));
}
