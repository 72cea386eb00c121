#include "engine/pools.h"

#include "engine/checksum.h"
#include "engine/disc_install.h"
#include "engine/download.h"
#include "runtime/threads.h"

void stop_engine_pools() {
  checksum_directory_kill();
  install_files_kill();
  grab_files_kill();
}

int unpack_pool_threads() { return 2 * UTL_count_usable_processors(); }
