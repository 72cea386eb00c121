// The preview panel of the open dialog: the aircraft header texts and icon,
// or the comment line of a flight data file.
//
// Files are read only when the previewed path changes; every other frame
// draws from what was kept. A file that is short, foreign or unreadable
// shows nothing: the reader never asks for bytes the file does not hold.
#include "ui/preview.h"

#include <cstring>

#include "files/xmap.h"

namespace {

// Versions of the aircraft file that carry the header block.
constexpr int kVehVersions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};
// The flight data file's text header.
constexpr int kFlightDataVersions[] = {1, 0};

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

bool equals_ignoring_case(const char* p, std::size_t n, const char* word) {
  if (std::strlen(word) != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

bool preview_is_aircraft(const std::string& path) {
  return path.find(".acf") != std::string::npos || path.find(".ACF") != std::string::npos;
}

bool preview_is_flight_data(const std::string& path) { return path.find(".fdr") != std::string::npos; }

std::string preview_icon_name(const std::string& path) {
  const std::size_t n = path.size();
  const std::string stem = (n > 4 && path[n - 4] == '.') ? path.substr(0, n - 4) : path;
  return stem + "_icon.png";
}

int preview_read_aircraft(const std::string& path, unsigned char block[kVehHeaderBytes]) {
  std::memset(block, 0, kVehHeaderBytes);
  xmap_class file(path);
  if (!file.check_file(header_binary, kVehVersions, nullptr, nullptr)) return 0;
  if (file.remaining() < kVehHeaderBytes) return 0;
  // As stored: the texts are bytes, whatever order the header names.
  std::memcpy(block, file.cursor, kVehHeaderBytes);
  return 1;
}

std::string preview_block_text(const unsigned char block[kVehHeaderBytes], int offset) {
  if (offset < 0 || offset >= kVehHeaderBytes) return std::string();
  const char* p = reinterpret_cast<const char*>(block) + offset;
  const void* zero = std::memchr(p, 0, static_cast<std::size_t>(kVehHeaderBytes - offset));
  const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p)
                             : static_cast<std::size_t>(kVehHeaderBytes - offset);
  return std::string(p, n);
}

std::string preview_comment_in(const char* p, const char* end) {
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* field = p;
    while (p < end && *p != ',' && !is_line_end(*p)) ++p;
    const std::size_t field_len = static_cast<std::size_t>(p - field);
    // One separator, whichever it is: a line that holds its field alone
    // so lets the next line stand as its rest.
    if (p < end) ++p;
    if (equals_ignoring_case(field, field_len, "COMM")) {
      while (p < end && is_blank(*p)) ++p;
      const char* text = p;
      while (p < end && !is_line_end(*p)) ++p;
      return std::string(text, static_cast<std::size_t>(p - text));
    }
    while (p < end && !is_line_end(*p)) ++p;
    while (p < end && is_line_end(*p)) ++p;
  }
  return std::string();
}

std::string preview_flight_comment(const std::string& path) {
  xmap_class file(path);
  if (!file.check_file(header_text, kFlightDataVersions, nullptr, nullptr)) return std::string();
  return preview_comment_in(file.cursor, file.end);
}
