// Fuzzes the server-list reader with arbitrary bytes as the body of
// "serverlist9.txt". The input is copied into a heap buffer of exactly its
// size, so AddressSanitizer catches any read past the end, and what the
// reader stores is checked against what the HTTP client accepts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/installer_state.h"
#include "engine/server_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);

  stg.get_beta = size % 2;
  install_name = "Not Yet Scanned";
  const int n = read_server_list(copy.get(), copy.get() + size);

  if (n != stg.num_servers || n < 0 || n > kMaxServers) abort();
  for (int i = 0; i < n; ++i) {
    const std::string& host = server_name[i];
    const std::string& path = server_path[i];
    // A server the client would refuse with a fatal alert must never be stored.
    if (host.empty() || host.back() == '/') abort();
    if (path.empty() || path[0] != '/' || path.back() != '/') abort();
  }
  if (n > 0) {
    const int index = pick_server_index(n);
    if (index < 0 || index >= n) abort();
  }
  return 0;
}
