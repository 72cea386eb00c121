// Menu text files, written by the tests and loaded into the menu table.
#include "window/menu_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "support/temp_dir.h"
#include "window/menus.h"
#include "window/mnw.h"

namespace {

class MenuFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.x_res = 800;
    mnw.y_res = 600;
    MACIBM_clear_menus(1);
    ASSERT_TRUE(dir_.ok());
  }
  void TearDown() override {
    mnw = saved_;
    menu.clear();
  }
  // Writes menus/<language folder>/<name> under the test folder.
  void write_menus(const std::string& body, const std::string& name = "menus.txt",
                   const std::string& header = "I\n1 version\n") {
    ASSERT_TRUE(write_file(dir_ / (menu_language_folder(mnw.lang) + name), header + body));
  }
  void load(const std::string& name = "menus.txt") { MACIBM_read_menus(dir_.path(), name); }

  TempDir dir_;
  mnw_struct saved_{};
};

// The body alone, from a heap buffer of exactly its size.
void load_body(const std::string& body) {
  std::unique_ptr<char[]> copy(new char[body.size() + 1]);
  std::memcpy(copy.get(), body.data(), body.size());
  MACIBM_read_menu_body(copy.get(), copy.get() + body.size());
}

}  // namespace

TEST_F(MenuFile, BlocksBecomeMenusWithItemsAndSeparators) {
  write_menus(
      "0 File\n1 Open\n2 Save\n0 -\n-\n"
      "0 Edit\n7 Undo\n=8 not a number\n-\n"
      "2 Recent\n12 first.acf\n-\n");
  load();
  EXPECT_EQ(menu[0].title, "File");
  EXPECT_EQ(menu[0].parent, -1);
  ASSERT_EQ(menu[0].items.size(), 3u);
  EXPECT_EQ(menu[0].items[0].text, "Open");
  EXPECT_EQ(menu[0].items[0].id, 1);
  EXPECT_EQ(menu[0].items[1].id, 2);
  EXPECT_EQ(menu[0].items[2].text, "-");
  EXPECT_EQ(menu[0].items[2].id, 0);
  EXPECT_EQ(menu[0].items[2].t - menu[0].items[2].b, 2);
  EXPECT_EQ(menu[0].items[0].coded, 0);

  EXPECT_EQ(menu[1].title, "Edit");
  EXPECT_EQ(menu[1].l, menu[0].r) << "the second bar title follows the first";
  ASSERT_EQ(menu[1].items.size(), 2u);
  EXPECT_EQ(menu[1].items[1].id, -1) << "a word that is no number reads as -1";
  EXPECT_EQ(menu[1].items[1].text, "not a number");

  // Code 2 is item 2 of menu 0: the separator's row.
  EXPECT_EQ(menu[2].parent, 0);
  EXPECT_EQ(menu[2].b, menu[0].items[2].b);
  EXPECT_EQ(menu[2].items[0].text, "first.acf");
  EXPECT_EQ(menu[3].title, "") << "menus the file does not reach stay as they were";
}

TEST_F(MenuFile, LineEndsBlanksAndTabsFollowTheLineRules) {
  using namespace std::string_literals;
  write_menus(
      "\r\n\r\n   0 File  \r\n\r\n\t 1    Open\tnow\r\n\0\0 2\tTabbed\r\n- \r\n-\r\n"
      "0 Last\n5\n-\n"s);
  load();
  EXPECT_EQ(menu[0].title, "File  ") << "trailing spaces stay";
  ASSERT_EQ(menu[0].items.size(), 3u);
  EXPECT_EQ(menu[0].items[0].id, 1);
  EXPECT_EQ(menu[0].items[0].text, "Open\tnow");
  EXPECT_EQ(menu[0].items[1].id, -1) << "a tab does not end the number word";
  EXPECT_EQ(menu[0].items[1].text, "");
  EXPECT_EQ(menu[0].items[2].text, "") << "'- ' is an item line, not the end of the block";
  EXPECT_EQ(menu[0].items[2].id, 0);
  EXPECT_EQ(menu[1].title, "Last");
  ASSERT_EQ(menu[1].items.size(), 1u);
  EXPECT_EQ(menu[1].items[0].id, 5) << "a number word without a blank is the whole line";
  EXPECT_EQ(menu[1].items[0].text, "");
}

TEST_F(MenuFile, NonAsciiTextsAreKeptAsBytes) {
  write_menus("0 Fen\xC3\xAAtre\n1 \xE9t\xE9\n-\n");
  load();
  EXPECT_EQ(menu[0].title, "Fen\xC3\xAAtre");
  EXPECT_EQ(menu[0].items[0].text, "\xE9t\xE9");
  EXPECT_EQ(menu[0].items[0].r, 30 + 6 + 4 + 6);
}

TEST_F(MenuFile, HeaderOnlyOrTruncatedDataLoadsWhatIsThere) {
  write_menus("");
  load();
  for (const menu_struct& m : menu) ASSERT_EQ(m.title, "");

  // Data that ends inside a block ends the file; what was read stays.
  load_body("0 File\n1 Open\n2 Sa");
  EXPECT_EQ(menu[0].title, "File");
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[1].text, "Sa");
  load_body("0 Only a title");
  EXPECT_EQ(menu[0].title, "Only a title");

  // A number word of any length is the whole word, read as -1.
  const std::string long_word(5000, '7');
  load_body("0 Menu\n" + long_word + "\n" + long_word + " text\n-\n");
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[0].id, -1);
  EXPECT_EQ(menu[0].items[1].text, "text");
}

TEST_F(MenuFile, KoreanTextsBecomeGlyphCodes) {
  std::string t = "12 300 5";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, std::string("\x01\x0D\x03\x2F\x01\x06"));
  t = "1234";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, std::string("\x01\x7C\x01\x05")) << "123 then 4";
  t = "  7  +2 -5 x9 ";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, std::string("\x01\x08\x01\x0D\x01\x0A")) << "'+' counts 1 (+2 is 12), -5 is dropped, 'x' counts 0";
  t = "999";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, std::string("\x08\x6F"));
  for (const char* same : {"", "-", "-12 3", "=12 3"}) {
    t = same;
    char_string_to_int_string(&t);
    EXPECT_EQ(t, same);
  }

  mnw.lang = 6;
  write_menus("0 12 300\n1 5\n0 -\n2 =1 2\n-\n0 7\n3 8\n-\n");
  load();
  EXPECT_EQ(menu[0].title, std::string("\x01\x0D\x03\x2F"));
  EXPECT_EQ(menu[0].r, 8 * 4 + 30);
  ASSERT_EQ(menu[0].items.size(), 3u);
  EXPECT_EQ(menu[0].items[0].text, std::string("\x01\x06"));
  EXPECT_EQ(menu[0].items[0].coded, 1);
  EXPECT_EQ(menu[0].items[0].t - menu[0].items[0].b, 14);
  EXPECT_EQ(menu[0].items[1].text, "-");
  EXPECT_EQ(menu[0].items[2].text, "=1 2");
  EXPECT_EQ(menu[1].title, std::string("\x01\x08")) << "each line gets only its own glyphs";
  EXPECT_EQ(menu[1].items[0].text, std::string("\x01\x09"));
}

TEST_F(MenuFile, LanguageFoldersAndAMissingFileOrBadHeaderAreFatal) {
  EXPECT_EQ(menu_language_folder(0), "menus/english/");
  EXPECT_EQ(menu_language_folder(5), "menus/portugese/");
  EXPECT_EQ(menu_language_folder(6), "menus/korean/");
  EXPECT_EQ(menu_language_folder(7), "");
  EXPECT_EQ(menu_language_folder(-1), "");

  mnw.lang = 2;
  write_menus("0 Datei\n-\n");
  load();
  EXPECT_EQ(menu[0].title, "Datei");

  write_menus("0 File\n-\n", "v2.txt", "I\n2 version\n");
  write_menus("0 File\n-\n", "noheader.txt", "");
  for (const char* name : {"missing.txt", "v2.txt", "noheader.txt"}) {
    const std::string path = dir_.path() + "menus/german/" + name;
    EXPECT_EXIT(
        {
          if (chdir(dir_.path().c_str()) != 0) _exit(3);
          load(name);
          _exit(0);
        },
        ::testing::ExitedWithCode(1), "Cannot open file!\n\n" + path + "\n\nTrash this copy and re-install Corvane.")
        << name;
  }
}

TEST_F(MenuFile, OverlongItemTextIsFatal) {
  write_menus("0 File\n1 " + std::string(40, 'x') + "\n-\n");
  EXPECT_EXIT(
      {
        if (chdir(dir_.path().c_str()) != 0) _exit(3);
        load();
        _exit(0);
      },
      ::testing::ExitedWithCode(1), "Menu name too long in append_menu!");
}

// Malformed bodies (random bytes biased to the characters the reader tests)
// from exact-size heap buffers: under AddressSanitizer any read past the end
// is caught. Texts stay short enough that no limit alert ends the run.
TEST_F(MenuFile, RandomBodiesAreReadWithinTheirBytes) {
  std::mt19937 rng(20);
  const char alphabet[] = {'0', '1', '3', '-', '=', ' ', '\t', '\r', '\n', '\0', 'a', '+', '\xE9'};
  for (int round = 0; round < 3000; ++round) {
    std::string body;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) body.push_back(alphabet[rng() % sizeof alphabet]);
    mnw.lang = round % 2 ? 6 : 0;
    const std::vector<menu_file_block> blocks = [&] {
      std::unique_ptr<char[]> copy(new char[body.size() + 1]);
      std::memcpy(copy.get(), body.data(), body.size());
      return menu_file_parse(copy.get(), copy.get() + body.size());
    }();
    for (const menu_file_block& b : blocks) {
      ASSERT_LE(b.title.size(), body.size());
      ASSERT_EQ(b.title.find_first_of("\r\n"), std::string::npos);
    }
    load_body(body);
  }
}
