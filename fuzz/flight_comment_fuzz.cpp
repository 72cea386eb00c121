// Fuzzes the preview's scan for the comment line of a flight data file with
// arbitrary bytes as the body after the header, in a heap buffer of exactly
// their size, so AddressSanitizer catches any read past the end.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ui/preview.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);
  const std::string comment = preview_comment_in(copy.get(), copy.get() + size);
  // The comment is one line of the input.
  if (comment.size() > size || comment.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) abort();
  return 0;
}
