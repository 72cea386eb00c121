// The character classes of the program's text files (preferences, language
// tables, the shared header, the engine's record files) and of the HTTP
// header lines: one definition for every reader.
#pragma once

namespace text_chars {

// A blank within a line: space or tab.
inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
// What ends a line: CR, LF, or a NUL byte.
inline bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }
// Either: what separates fields and records.
inline bool is_gap(char c) { return is_blank(c) || is_line_end(c); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace text_chars
