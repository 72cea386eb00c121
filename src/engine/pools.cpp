#include "engine/pools.h"

#include "engine/checksum.h"
#include "engine/disc_install.h"
#include "engine/download.h"

void stop_engine_pools() {
  checksum_directory_kill();
  install_files_kill();
  grab_files_kill();
}
