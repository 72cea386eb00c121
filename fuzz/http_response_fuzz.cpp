// Fuzzes the HTTP response parser (down_class::consume) with arbitrary bytes.
//
// Input layout: the first byte seeds how the rest is cut into pieces and,
// when even, gives both downloads a body limit of 16 times half its value;
// the rest is the server's answer. The answer is parsed twice by a download
// without connection or output file: once whole, from a heap buffer of
// exactly its size, and once cut into pieces of 1 to 64 bytes, each copied
// into its own heap buffer of exactly its size, so AddressSanitizer catches
// any read past the end of what arrived. Both runs must end in the same state,
// (apart from unparsed bytes left behind once an error stopped the parse),
// and that state must keep the parser's promises. Nothing here opens a file,
// writes the log or raises an alert.

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/http.h"

namespace {

void feed(down_class& d, const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> buf(new char[size ? size : 1]);
  if (size) std::memcpy(buf.get(), data, size);
  d.consume(buf.get(), size);
}

void check(const down_class& d) {
  if (d.file != -1 || d.socket) abort();
  if (d.error != 0 && d.error != EPROTO && d.error != EFBIG) abort();
  if (d.error == EFBIG && d.max_body < 0) abort();
  if (d.content_length < -1 || d.written < 0) abort();
  if (d.max_body >= 0 && d.written > d.max_body) abort();
  if (d.content_length >= 0 && d.written > d.content_length) abort();
  if (d.headers_done) {
    if (d.status < 200 || d.status > 999) abort();
    if (d.error == 0 && !d.receive_buffer.empty()) abort();
  } else {
    if (d.written != 0) abort();
    if (d.content_length != -1) abort();
    if (d.status < -1 || d.status > 999) abort();
    if (d.receive_buffer.size() > down_class::kMaxHeaderBytes) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint32_t seed = data[0] * 2654435761u + 1;
  const std::int64_t max_body = data[0] % 2 ? -1 : (data[0] >> 1) * 16;
  ++data;
  --size;

  down_class whole;
  whole.max_body = max_body;
  feed(whole, data, size);
  check(whole);

  down_class pieces;
  pieces.max_body = max_body;
  for (std::size_t off = 0; off < size;) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>(size - off, 1 + (seed >> 16) % 64);
    feed(pieces, data + off, n);
    off += n;
  }
  check(pieces);

  if (whole.headers_done != pieces.headers_done || whole.status != pieces.status ||
      whole.reason != pieces.reason || whole.headers != pieces.headers || whole.error != pieces.error ||
      whole.content_length != pieces.content_length || whole.written != pieces.written ||
      (whole.error == 0 && whole.receive_buffer != pieces.receive_buffer))
    abort();
  return 0;
}
