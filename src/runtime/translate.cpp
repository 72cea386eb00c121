#include "runtime/translate.h"

#include <cstring>
#include <set>
#include <unordered_map>

#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "runtime/text_chars.h"
#include "runtime/xmap.h"

namespace {

std::unordered_map<std::string, std::string> dictionary;  // English text -> translation
std::set<std::string> logged;  // texts reported as missing since the last load or clear
int has_translation = 0;       // a language file was read
int log_missing = 0;           // ... and "--missing_strings" was given

// Replaces every occurrence of pattern in s. The search goes on after the
// inserted text, so a replacement that contains the pattern cannot loop.
void STR_replace_all(std::string& s, const std::string& pattern, const std::string& replacement) {
  if (pattern.empty()) return;
  std::string::size_type pos = 0;
  while ((pos = s.find(pattern, pos)) != std::string::npos) {
    s.replace(pos, pattern.size(), replacement);
    pos += replacement.size();
  }
}

// The language file's only escapes: backslash-r and backslash-n.
void STR_unescape(std::string& s) {
  STR_replace_all(s, "\\r", "\r");
  STR_replace_all(s, "\\n", "\n");
}

using text_chars::is_blank;
using text_chars::is_line_end;
using text_chars::is_gap;

// Reads one translation line (the text after "STRING" and its one blank).
void add_line(const std::string& line) {
  const std::string::size_type split = line.find("====");
  if (split == std::string::npos) {
    xer << "ERROR: language file line " << line << " missing ==== splitter.\n";
    return;
  }
  if (split + 4 == line.size()) {
    xer << "ERROR: language file line " << line << " missing right side translation.\n";
    return;
  }
  std::string english = line.substr(0, split);
  std::string translation = line.substr(split + 4);
  STR_unescape(english);
  STR_unescape(translation);
  const auto found = dictionary.find(english);
  if (found != dictionary.end()) {
    xer << "ERROR: language line " << line << " is a second translation of " << found->first << "===="
        << found->second << "\n";
    return;
  }
  dictionary.emplace(std::move(english), std::move(translation));
}

}  // namespace

void UTL_translate_clear() {
  dictionary.clear();
  logged.clear();
  has_translation = 0;
  log_missing = 0;
}

void UTL_translate_load(const std::string& path) {
  UTL_translate_clear();

  xmap_class file(path);
  if (!file.start) return;
  static const int versions[] = {900, 0};
  if (file.check_file(header_text, versions, "TRANSLATION", nullptr) == 0) return;
  UTL_translate_load_body(file.cursor, file.end);
}

void UTL_translate_load_body(const char* begin, const char* end) {
  UTL_translate_clear();

  // The data has no terminating NUL: every step below is bounded by end.
  const char* p = begin;
  static const char kWord[] = "STRING";
  const std::ptrdiff_t word_len = sizeof kWord - 1;

  while (p && p < end && is_gap(*p)) ++p;
  while (p && p < end) {
    while (p < end && is_blank(*p)) ++p;
    // The word, then exactly one blank or tab that is not part of the text.
    if (end - p > word_len && memcmp(p, kWord, word_len) == 0 && is_blank(p[word_len])) {
      p += word_len + 1;
      const char* const text = p;
      while (p < end && !is_line_end(*p)) ++p;
      const std::string line(text, p);
      while (p < end && is_gap(*p)) ++p;
      add_line(line);
    } else {
      while (p < end && !is_line_end(*p)) ++p;
      while (p < end && is_gap(*p)) ++p;
    }
  }

  has_translation = 1;
  log_missing = cmdline.has_option("--missing_strings");
}

std::string UTL_translate_string(const std::string& text) {
  if (!has_translation) return text;
  const auto found = dictionary.find(text);
  if (found != dictionary.end()) return found->second;
  if (log_missing && logged.insert(text).second) {
    std::string copy = text;
    STR_replace_all(copy, "\r", "\\r");
    STR_replace_all(copy, "\n", "\\n");
    xer << "STRING " << copy << "====" << copy << "\n";
  }
  return text;
}
