#include "runtime/prefs.h"

#include "engine/installer_state.h"
#include "files/http.h"

void pref_io_installer_settings(scan_class& scan, int dir) {
  scan.int_io_in_range(&stg.stream_count, "_stream_count", 0, 4);
  scan.int_io(&stg.log_actions, "_log_actions");
  if (dir == 0 || !http.proxy_host.empty()) scan.fetch_or_get(http.proxy_host, http.proxy_host, "_proxy_host");
  if (dir == 0 || !http.proxy_port_text.empty())
    scan.fetch_or_get(http.proxy_port_text, http.proxy_port_text, "_proxy_port");
  scan.int_io_in_range(&http.proxy_port, "_proxy_port_int", 0, 65535);
  scan.int_io(&stg.get_beta, "_get_beta");
}
