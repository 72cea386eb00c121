#include "wizard/disk_space.h"

#include <cstdio>

#include "engine/installer_state.h"
#include "files/io_utils.h"
#include "ui/font.h"
#include "wizard/layout.h"
#include "wizard/screen_text.h"

namespace {

std::string printed(const char* format, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

}  // namespace

std::string size_string(float kb) {
  if (kb > 1024000.0f) return printed("%.1f GB", kb / 1048576.0f);
  if (kb > 1024.0f) return printed("%.0f MB", kb / 1024.0f);
  return printed("%.0f KB", kb);
}

std::string disk_space_text(float total_kb, float free_kb, float needed_kb, const std::string& ok_text,
                            const std::string& short_text) {
  return fill_in(T("Disk size: %s\nFree disk space: %s\nDisk space needed to install: %s.\n\n%s"),
                 {size_string(total_kb), size_string(free_kb), size_string(needed_kb),
                  needed_kb <= free_kb ? ok_text : short_text});
}

int UTIL_disk_space(const std::string& ok_text, const std::string& short_text) {
  unsigned long long total = 0, free = 0;
  if (get_free_space(dest_dir_path, &total, &free) != 0) return 1;
  const float total_kb = static_cast<float>(total / 1000), free_kb = static_cast<float>(free / 1000);
  const float needed_kb = stg.kb_to_install;
  OGL_string(45, kDiskTextX, kDiskTextY, disk_space_text(total_kb, free_kb, needed_kb, ok_text, short_text),
             kDiskTextWrap, charset_prop, 0);
  return needed_kb < free_kb ? 1 : 0;
}
