// Fuzzes the about box's reading of the server list with arbitrary bytes as
// the body after the header, and the decision taken on what it read. The
// input is copied into a heap buffer of exactly its size, so
// AddressSanitizer catches any read past the end; an installer offered for
// download must name a location that the HTTP client accepts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ui/about_box.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);

  about_state s;
  about_read_records(copy.get(), copy.get() + size, s.v);
  about_decide(s);
  if (s.ins_state == about_offer) {
    const std::string& host = s.installer_server;
    const std::string& path = s.installer_path;
    if (host.empty() || host.find('/') != std::string::npos) abort();
    if (path.empty() || path[0] != '/') abort();
  } else if (s.ins_state != about_message || s.err_msg.empty()) {
    abort();
  }
  return 0;
}
