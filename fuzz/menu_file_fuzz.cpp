// Fuzzes the menu file reader with arbitrary bytes as a menu file.
//
// The input's header is checked as the loader does it, then the body (the
// whole input when the header is refused, so the line reader sees every
// input) is copied into a heap buffer of exactly its size and read into
// blocks, so AddressSanitizer catches any read past the end. Every text is
// turned into glyph codes as a Korean file's would be, and the blocks are
// loaded into the menu table, in English and in Korean, skipping only what
// would stop the program for a valid reason (menu or item numbers past the
// table, texts past 39 characters).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "files/xmap.h"
#include "window/menu_files.h"
#include "window/menus.h"
#include "window/mnw.h"

namespace {

// What the table promises after any load.
void check_table() {
  if (menu.size() != static_cast<std::size_t>(kMenuSlots)) abort();
  for (const menu_struct& m : menu) {
    if (m.title.size() > kMenuTitleMax) abort();
    if (m.items.size() > static_cast<std::size_t>(kMenuItemSlots)) abort();
    if (m.parent < -1 || m.parent >= kMenuSlots) abort();
    for (std::size_t k = 1; k < m.items.size(); ++k)
      if (m.items[k].t != m.items[k - 1].b) abort();
  }
}

void load(std::vector<menu_file_block> blocks, int lang) {
  mnw.lang = lang;
  MACIBM_clear_menus(1);
  for (std::size_t m = 0; m < blocks.size() && m < static_cast<std::size_t>(kMenuSlots); ++m) {
    menu_file_block& b = blocks[m];
    if (lang == 6) char_string_to_int_string(&b.title);
    MACIBM_create_menu(static_cast<int>(m), b.code, b.title);
    for (std::size_t k = 0; k < b.items.size() && k < static_cast<std::size_t>(kMenuItemSlots); ++k) {
      if (lang == 6) char_string_to_int_string(&b.items[k].text);
      if (b.items[k].text.size() > kMenuItemTextMax) continue;
      MACIBM_append_menu(static_cast<int>(m), static_cast<int>(k), b.items[k].id, b.items[k].text, 0);
    }
    if (!b.items.empty()) MACIBM_remove_menu_item(static_cast<int>(m), static_cast<int>(b.items.size() / 2));
  }
  check_table();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);

  std::size_t body = 0;
  {
    xmap_class header("");
    header.view(copy.get(), static_cast<std::int64_t>(size));
    static const int kVersions[] = {1, 0};
    if (header.check_file(header_text, kVersions, nullptr, nullptr) == 1)
      body = static_cast<std::size_t>(header.cursor - header.start);
  }
  std::unique_ptr<char[]> rest(new char[size - body ? size - body : 1]);
  if (size - body) std::memcpy(rest.get(), copy.get() + body, size - body);
  const std::vector<menu_file_block> blocks = menu_file_parse(rest.get(), rest.get() + (size - body));

  mnw.y_res = 600;
  load(blocks, 0);
  load(blocks, 6);
  return 0;
}
