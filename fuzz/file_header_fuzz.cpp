// Checks the shared file header of arbitrary bytes with both header types,
// with and without a type word and a rest string. The bytes are copied into a
// heap block of exactly their size and read in place, so any read past the
// end is caught by the address sanitizer. Only the two valid header types are
// used, and reads through read_n_rev stay within the data, so no fatal alert
// can end the run. The log is not open: the line report formats into nothing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "files/xmap.h"

namespace {

const int versions[] = {1, 7, 9, 840, 900, -5, 5, 999999999, 0};
const char* const keywords[] = {nullptr, "INSTALLER", "SERVERS", "DVD", "TRANSLATION", ""};

bool listed(int v) {
  for (const int* p = versions; *p; ++p)
    if (*p == v) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size]);
  if (size) std::memcpy(copy.get(), data, size);
  const std::int64_t n = static_cast<std::int64_t>(size);

  xmap_class r("");
  for (int type : {header_binary, header_text}) {
    for (const char* keyword : keywords) {
      for (bool with_rest : {false, true}) {
        r.view(copy.get(), n);
        std::string rest;
        const int v = r.check_file(type, versions, keyword, with_rest ? &rest : nullptr);

        if (r.cursor < r.start || r.cursor > r.end) __builtin_trap();
        if (v != 0 && !listed(v)) __builtin_trap();
        if (rest.size() > size) __builtin_trap();
        if (v != 0 && type == header_binary && r.cursor - r.start < 5) __builtin_trap();
        if (type == header_binary && !rest.empty()) __builtin_trap();

        // The rest of the body as a reader would take it.
        r.TXT_xer_line();
        unsigned char word[16];
        const std::int64_t take = r.remaining() < 16 ? r.remaining() : 16;
        r.read_n_rev(word, take);
        r.TXT_xer_line();
      }
    }
  }
  return 0;
}
