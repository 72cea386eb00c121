// Menu text files: a whole menu bar with its menus, items and sub-menus,
// one file per language, loaded into the menu table.
//
// After the shared text header (version 1) the file holds one block per
// menu, in menu-number order from menu 0:
//   <sub-menu code> <title>      0 for a bar menu, else 300 * menu + item
//   <id> <item text>             zero or more
//   -                            a line that is exactly "-" ends the block
// Leading spaces and tabs and blank lines are skipped; CR, LF and NUL end a
// line. The number word runs to the first space (a word without one is the
// whole line, with an empty text). Data that ends inside a block ends the
// file with what was read so far. Korean files spell their texts as decimal
// glyph numbers.
#pragma once

#include <string>
#include <vector>

// Reads folder + the language's menu folder + file into the menu table.
// A missing file or a wrong header is a fatal alert.
void MACIBM_read_menus(std::string folder, std::string file);

// One block of a menu file as read: the menu line and its item lines.
struct menu_file_item {
  int id;
  std::string text;
};
struct menu_file_block {
  int code;           // sub-menu code of the menu line
  std::string title;
  std::vector<menu_file_item> items;
};

// Reads the body of a menu file (the bytes after its header) into blocks;
// stops at end and raises no alert. The last block may lack its "-" line.
std::vector<menu_file_block> menu_file_parse(const char* data, const char* end);

// Loads the body of a menu file into the menu table, block b into menu b;
// Korean texts are turned into glyph codes first.
void MACIBM_read_menu_body(const char* data, const char* end);

// The menu folder of a language index ("menus/english/" for 0 ...
// "menus/korean/" for 6); empty for any other index.
std::string menu_language_folder(int lang);

// Rewrites a text of glyph numbers ("12 300 5") into glyph-code pairs, two
// non-zero bytes per glyph. Empty texts and texts starting with '-' or '='
// stay as they are.
void char_string_to_int_string(std::string* text);
