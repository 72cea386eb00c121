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

using namespace std::string_literals;

namespace {

class MenuFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw = mnw_struct{};
    mnw.y_res = 600;
    MACIBM_clear_menus(1);
  }
  void TearDown() override {
    mnw = saved_;
    menu.clear();
  }
  // Writes the file under the language's folder and loads it.
  void load(const std::string& body, const std::string& header = "I\n1 version\n") {
    ASSERT_TRUE(write_file(dir_ / (menu_language_folder(mnw.lang) + "menus.txt"), header + body));
    MACIBM_read_menus(dir_.path(), "menus.txt");
  }
  TempDir dir_;
  mnw_struct saved_{};
};

}  // namespace

TEST_F(MenuFile, LinesBlocksAndTheirTexts) {
  load("\r\n\r\n  0 File  \r\n\t1    Open\tnow\r\n\0\0 2\tTabbed\r\n- \r\n0 -\r\n-\r\n"
       "0 Fen\xEAtre\n5\n=8 heading\n-\n"
       "3 Recent\n12 first.acf\n-\n0 Cut short\n1 Sa"s);
  const std::vector<item_struct>& file = menu[0].items;
  EXPECT_EQ(menu[0].title, "File  ") << "trailing blanks stay";
  ASSERT_EQ(file.size(), 4u);
  EXPECT_EQ(file[0].id, 1);
  EXPECT_EQ(file[0].text, "Open\tnow");
  EXPECT_EQ(file[1].id, -1) << "a tab belongs to the number word";
  EXPECT_EQ(file[2].text, "") << "'- ' is an item, not the end of the block";
  EXPECT_EQ(file[2].id, -1) << "a lone sign is no number";
  EXPECT_EQ(file[3].text, "-");
  EXPECT_EQ(file[3].t - file[3].b, 2);
  EXPECT_EQ(menu[1].title, "Fen\xEAtre");
  EXPECT_EQ(menu[1].l, menu[0].r);
  EXPECT_EQ(menu[1].items[0].id, 5) << "a number word without a blank is the whole line";
  EXPECT_EQ(menu[1].items[1].id, -1);
  EXPECT_EQ(menu[2].parent, 0) << "code 3: item 3 of menu 0";
  EXPECT_EQ(menu[2].b, file[3].b);
  EXPECT_EQ(menu[3].title, "Cut short") << "data that ends inside a block ends the file";
  EXPECT_EQ(menu[3].items[0].text, "Sa");
}

TEST_F(MenuFile, KoreanTextsBecomeGlyphCodes) {
  std::string t = "12 300 5";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, "\x01\x0D\x03\x2F\x01\x06");
  t = " 1234 +2 -5 x9";
  char_string_to_int_string(&t);
  EXPECT_EQ(t, "\x01\x7C\x01\x05\x01\x0D\x01\x0A") << "123 and 4, '+' counts 1, -5 is dropped";
  mnw.lang = 6;
  load("0 12 300\n1 5\n0 -\n2 =1 2\n-\n0 7\n-\n");
  EXPECT_EQ(menu[0].title, "\x01\x0D\x03\x2F");
  EXPECT_EQ(menu[0].items[0].text, "\x01\x06");
  EXPECT_EQ(menu[0].r, 8 * 4 + 30) << "Korean: 8 units a byte";
  EXPECT_EQ(menu[0].items[0].coded, 1);
  EXPECT_EQ(menu[0].items[0].t - menu[0].items[0].b, 14);
  EXPECT_EQ(menu[0].items[1].t - menu[0].items[1].b, 2);
  EXPECT_EQ(menu[0].items[1].text, "-");
  EXPECT_EQ(menu[0].items[2].text, "=1 2");
  EXPECT_EQ(menu[1].title, "\x01\x08") << "each line gets only its own glyphs";
}

TEST_F(MenuFile, AMissingFileABadHeaderAndAnOverlongTextAreFatal) {
  struct fatal {
    std::string header, file, message;
  };
  const std::string folder = dir_.path() + "menus/english/";
  for (const fatal& f : {fatal{"I\n2 version\n", "menus.txt", "Cannot open file!\n\n" + folder + "menus.txt"},
                         fatal{"", "none.txt", "Cannot open file!\n\n" + folder + "none.txt"},
                         fatal{"I\n1 version\n", "menus.txt", "Menu name too long in append_menu!"}}) {
    ASSERT_TRUE(write_file(folder + "menus.txt", f.header + "0 File\n1 " + std::string(40, 'x') + "\n-\n"));
    EXPECT_EXIT(
        {
          if (chdir(dir_.path().c_str()) == 0) MACIBM_read_menus(dir_.path(), f.file);
          _exit(0);
        },
        ::testing::ExitedWithCode(1), f.message);
  }
}

// Malformed bodies, biased to the bytes the reader tests, from heap buffers
// of exactly their size: under AddressSanitizer a read past the end fails.
TEST_F(MenuFile, RandomBodiesAreReadWithinTheirBytes) {
  std::mt19937 rng(20);
  const char alphabet[] = "013-= \t\r\n\0a+\xE9";
  for (int round = 0; round < 3000; ++round) {
    std::string body(rng() % 40, ' ');
    for (char& c : body) c = alphabet[rng() % (sizeof alphabet - 1)];
    mnw.lang = round % 2 ? 6 : 0;
    std::unique_ptr<char[]> copy(new char[body.size()]);
    std::memcpy(copy.get(), body.data(), body.size());
    MACIBM_read_menu_body(copy.get(), copy.get() + body.size());
    for (const menu_file_block& b : menu_file_parse(copy.get(), copy.get() + body.size()))
      ASSERT_EQ(b.title.find_first_of("\r\n"), std::string::npos);
  }
}
