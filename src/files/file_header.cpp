// The shared file header: ouf_open writes it, xmap_class::check_file reads it.
//
// Binary: one byte 'i' (little-endian body) or 'a' (big-endian body), then
// the version as a signed 32-bit number in the body's order.
// Text: a line starting with "I" (or "A"), a line "<version> version<rest>",
// and, in files that name their kind, a line starting with the type word.
// The reader skips blanks, tabs, CR, LF and NUL bytes between the lines.

#include <cstdint>
#include <string>

#include "files/io_utils.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/text_chars.h"

namespace {

using text_chars::is_blank;
using text_chars::is_gap;
using text_chars::is_line_end;

const char* skip_blanks(const char* p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
  return p;
}
const char* skip_gaps(const char* p, const char* end) {
  while (p < end && is_gap(*p)) ++p;
  return p;
}
const char* to_line_end(const char* p, const char* end) {
  while (p < end && !is_line_end(*p)) ++p;
  return p;
}

// The version of a text header: optional blanks, an optional "-" then an
// optional "+", and up to 9 decimal digits ending at a blank, tab, CR, LF,
// NUL or the end of the data. Anything else (a blank after the sign, a
// character that is not a digit, a longer number) reads as 0, which no list
// accepts. Leaves p after the token.
int read_text_version(const char*& p, const char* end) {
  p = skip_blanks(p, end);
  bool negative = false;
  bool sign = false;
  if (p < end && *p == '-') {
    negative = true;
    sign = true;
    ++p;
  }
  if (p < end && *p == '+') {
    negative = false;
    sign = true;
    ++p;
  }
  if (sign && p < end && is_blank(*p)) return 0;

  int value = 0;
  int digits = 0;
  bool bad = false;
  for (; p < end && !is_gap(*p); ++p) {
    if (*p < '0' || *p > '9' || ++digits > 9) {
      bad = true;
      continue;
    }
    value = value * 10 + (*p - '0');
  }
  if (bad) return 0;
  return negative ? -value : value;
}

bool accepted(int version, const int* versions) {
  if (!versions || version == 0) return false;
  for (; *versions != 0; ++versions)
    if (*versions == version) return true;
  return false;
}

}  // namespace

int xmap_class::check_file(int type, const int* versions, const char* keyword, std::string* rest) {
  if (type != header_binary && type != header_text)
    __MACIBM_alert(0, "Bad check_file type!", path, "", "", t_exit, "xmap", 12);

  if (!start || start == end) return 0;

  const char* p = start;
  int version = 0;
  if (type == header_binary) {
    const char mark = *p++;
    if (mark == 'a') {
      swap = 1;
    } else if (mark == 'i') {
      swap = 0;
    } else {
      cursor = p;
      return 0;
    }
    if (end - p >= 4) {
      const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
      std::uint32_t v = swap ? (std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                                std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]})
                             : (std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                                std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24);
      version = static_cast<std::int32_t>(v);
      p += 4;
    }
  } else {
    // The dialect letter says nothing about byte order: swap is left alone.
    const char letter = *p++;
    p = skip_gaps(to_line_end(p, end), end);
    if (letter != 'A' && letter != 'I') {
      cursor = p;
      return 0;
    }
    version = read_text_version(p, end);
    p = skip_blanks(p, end);
    const char* rest_start = p;
    p = to_line_end(p, end);
    if (rest) rest->assign(rest_start, static_cast<std::size_t>(p - rest_start));
    p = skip_gaps(p, end);
  }
  cursor = p;

  if (!accepted(version, versions)) return 0;
  if (!keyword) return version;

  // The type word must be followed by a blank, a line end or the end of the
  // data: "INSTALL" does not match "INSTALLER".
  p = skip_blanks(p, end);
  const char* word = p;
  const char* k = keyword;
  while (*k && p < end && *p == *k) {
    ++p;
    ++k;
  }
  if (*k || (p < end && !is_gap(*p))) {
    cursor = word;
    return 0;
  }
  cursor = skip_gaps(to_line_end(skip_blanks(p, end), end), end);
  return version;
}

int ouf_open(std::string path, int type, int version, std::string copyright) {
  if (type != header_binary && type != header_text)
    __MACIBM_alert(0, "Bad ouf_open type!", path, "", "", t_exit, "io_utils", 800);

  // The extension of the file is written in lower case.
  std::string full = app_path + path;
  if (full.size() >= 4)
    for (std::size_t i = full.size() - 3; i < full.size(); ++i)
      if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] - 'A' + 'a');

  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ouf.is_open()) ouf.close();
    ouf.clear();
    if (type == header_binary) {
      ouf.open(full, std::ios::out | std::ios::binary | std::ios::trunc);
      const std::uint32_t v = static_cast<std::uint32_t>(version);
      const char bytes[5] = {'i', static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                             static_cast<char>((v >> 16) & 0xff), static_cast<char>((v >> 24) & 0xff)};
      ouf.write(bytes, sizeof bytes);
    } else {
      ouf.open(full, std::ios::out | std::ios::trunc);
      ouf << std::fixed;
      ouf << "I\n" << version << " version";
      if (copyright != "no-copyright-string") ouf << copyright;
      ouf << "\n";
    }
    // The header must really have reached the file, not only the buffer.
    ouf.flush();
    if (ouf.good()) return 1;

    if (attempt == 0) {
      // Perhaps the folder is missing: make that one folder and try again.
      std::size_t slash = full.rfind('/');
      if (slash != std::string::npos && slash + 1 == full.size() && slash > 0)
        slash = full.rfind('/', slash - 1);
      if (slash != std::string::npos) make_folder(full.substr(0, slash + 1));
    }
  }

  // Leave the stream closed and failed, so that any write to it fails too.
  if (ouf.is_open()) ouf.close();
  ouf.setstate(std::ios::failbit);
  __MACIBM_alert(0,
                 "I could not save the file! Could the directory that the file sits in be missing? Or flagged "
                 "as READ-ONLY by the operating system? (Windows machines typically do this).",
                 full, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
                 "Try putting this app in the background and then flag the file as NOT read-only, or creating "
                 "the folder listed in the path above.",
                 t_alert, "io_utils", 854);
  return 0;
}
