#include "window/menu_files.h"

#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "window/menus.h"
#include "window/mnw.h"

namespace {

constexpr int kKorean = 6;

bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }
bool is_gap(char c) { return is_line_end(c) || c == '\t' || c == ' '; }

// Reads the lines of a menu body; every scan stops at the end of the data.
class line_reader {
 public:
  line_reader(const char* p, const char* end) : p_(p), end_(end) { skip_gaps(); }

  // The next line without its leading blanks; false at the end of the data.
  bool next(std::string* line) {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
    const char* start = p_;
    while (p_ < end_ && !is_line_end(*p_)) ++p_;
    line->assign(start, static_cast<std::size_t>(p_ - start));
    skip_gaps();
    return !line->empty();
  }

 private:
  void skip_gaps() {
    while (p_ < end_ && is_gap(*p_)) ++p_;
  }

  const char* p_;
  const char* end_;
};

// Splits "<number> <text>": the number word ends at the first space (a tab
// belongs to it), the spaces after it are dropped.
void split_line(const std::string& line, int* number, std::string* text) {
  const std::size_t space = line.find(' ');
  if (space == std::string::npos) {
    *number = str_to_int(line);
    text->clear();
    return;
  }
  *number = str_to_int(line.substr(0, space));
  const std::size_t rest = line.find_first_not_of(' ', space);
  if (rest == std::string::npos)
    text->clear();
  else
    text->assign(line, rest, std::string::npos);
}

}  // namespace

std::string menu_language_folder(int lang) {
  static const char* const kFolders[] = {"menus/english/", "menus/french/",    "menus/german/", "menus/italian/",
                                         "menus/spanish/", "menus/portugese/", "menus/korean/"};
  if (lang < 0 || lang > 6) return std::string();
  return kFolders[lang];
}

void char_string_to_int_string(std::string* text) {
  if (text->empty() || (*text)[0] == '-' || (*text)[0] == '=') return;
  const std::string& in = *text;
  std::string out;
  std::size_t i = 0;
  for (;;) {
    while (i < in.size() && in[i] == ' ') ++i;
    if (i >= in.size()) break;
    int value = 0;
    for (int digits = 0; digits < 3 && i < in.size() && in[i] != ' '; ++digits, ++i) {
      const char c = in[i];
      const int d = c >= '0' && c <= '9' ? c - '0' : c == '+' ? 1 : c == '-' ? -1 : 0;
      value = value * 10 + d;
    }
    if (value >= 0) {
      out.push_back(static_cast<char>(value / 127 + 1));
      out.push_back(static_cast<char>(value % 127 + 1));
    }
  }
  *text = out;
}

std::vector<menu_file_block> menu_file_parse(const char* data, const char* end) {
  std::vector<menu_file_block> blocks;
  line_reader lines(data, end);
  std::string line;
  while (lines.next(&line)) {
    blocks.emplace_back();
    menu_file_block& block = blocks.back();
    split_line(line, &block.code, &block.title);
    for (;;) {
      if (!lines.next(&line)) return blocks;  // the data ended inside the block
      if (line == "-") break;
      block.items.emplace_back();
      split_line(line, &block.items.back().id, &block.items.back().text);
    }
  }
  return blocks;
}

void MACIBM_read_menu_body(const char* data, const char* end) {
  std::vector<menu_file_block> blocks = menu_file_parse(data, end);
  const bool korean = mnw.lang == kKorean;
  for (std::size_t m = 0; m < blocks.size(); ++m) {
    menu_file_block& block = blocks[m];
    if (korean) char_string_to_int_string(&block.title);
    const int n = m > static_cast<std::size_t>(kMenuSlots) ? kMenuSlots : static_cast<int>(m);
    MACIBM_create_menu(n, block.code, block.title);
    for (std::size_t k = 0; k < block.items.size(); ++k) {
      if (korean) char_string_to_int_string(&block.items[k].text);
      const int item = k > static_cast<std::size_t>(kMenuItemSlots) ? kMenuItemSlots : static_cast<int>(k);
      MACIBM_append_menu(n, item, block.items[k].id, block.items[k].text, 0);
    }
  }
}

void MACIBM_read_menus(std::string folder, std::string file) {
  MACIBM_clear_menus(2);
  const std::string path = folder + menu_language_folder(mnw.lang) + file;
  xmap_class reader(path);
  static const int kVersions[] = {1, 0};
  if (!reader.start || reader.check_file(header_text, kVersions, nullptr, nullptr) != 1) {
    __MACIBM_alert(0, "Cannot open file!", path, "Trash this copy and re-install Corvane.", "", t_exit,
                   "RAdorud/GenC/hl_mnw", 963);
    return;
  }
  MACIBM_read_menu_body(reader.cursor, reader.end);
}
