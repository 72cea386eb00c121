// The record syntax shared by the engine's own text files (the server list,
// the directory file, the disc description): after the shared header, a
// record is a line that begins, after optional blanks, with an upper-case
// keyword followed by a blank. A value is a number, a word or the rest of the
// line. Every scan takes the cursor by reference and stops at `end`: mapped
// data is not NUL-terminated.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/text_chars.h"

namespace record_scan {

using text_chars::is_blank;
using text_chars::is_line_end;
inline bool is_field_end(char c) { return text_chars::is_gap(c); }

inline void skip_blanks(const char*& p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
}

// Blanks, line ends and NULs between records.
inline void skip_white(const char*& p, const char* end) {
  while (p < end && is_field_end(*p)) ++p;
}

inline void skip_to_line_end(const char*& p, const char* end) {
  while (p < end && !is_line_end(*p)) ++p;
}

// The keyword at p followed by a blank (or, with line_end_ends, also by a
// line end or the end of the data). Leaves p after the keyword on a match.
inline bool take_keyword(const char*& p, const char* end, const char* keyword, bool line_end_ends = false) {
  const std::size_t n = std::strlen(keyword);
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left < n || std::memcmp(p, keyword, n) != 0) return false;
  if (left == n) {
    if (!line_end_ends) return false;
  } else if (!(is_blank(p[n]) || (line_end_ends && is_line_end(p[n])))) {
    return false;
  }
  p += n;
  return true;
}

// An integer field: an optional sign and decimal digits up to the next
// blank or line end. A missing field, or one that is not a number, reads as
// 0; values beyond the range of int are clamped to it.
inline int read_int(const char*& p, const char* end) {
  skip_blanks(p, end);
  const char* q = p;
  while (p < end && !is_field_end(*p)) ++p;
  bool negative = false;
  if (q < p && (*q == '-' || *q == '+')) {
    negative = *q == '-';
    ++q;
  }
  if (q == p) return 0;
  const std::int64_t cap = std::int64_t{std::numeric_limits<int>::max()} + 1;
  std::int64_t value = 0;
  for (; q < p; ++q) {
    if (*q < '0' || *q > '9') return 0;
    value = value * 10 + (*q - '0');
    if (value > cap) value = cap;  // stays small enough that *10 cannot overflow
  }
  if (negative) return static_cast<int>(-value);
  return value >= cap ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

// A word: everything up to the next blank or line end.
inline void read_word(const char*& p, const char* end, std::string& out) {
  skip_blanks(p, end);
  const char* q = p;
  while (p < end && !is_field_end(*p)) ++p;
  out.assign(q, static_cast<std::size_t>(p - q));
}

// The rest of the line: inner and trailing blanks belong to it.
inline void read_rest(const char*& p, const char* end, std::string& out) {
  skip_blanks(p, end);
  const char* q = p;
  skip_to_line_end(p, end);
  out.assign(q, static_cast<std::size_t>(p - q));
}

}  // namespace record_scan
