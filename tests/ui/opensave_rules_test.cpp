// The open and save dialog's rules (file types, start folders, save names,
// going up) and the preview panel's readers, on files made here, short and
// malformed ones among them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/guarded_reader.h"
#include "support/temp_dir.h"
#include "ui/opensave.h"
#include "ui/preview.h"

namespace {

// An aircraft file: the binary header ('i' and a little-endian version, or
// 'a' and a big-endian one), then `body`.
std::string aircraft(int version, const std::string& body, char mark = 'i') {
  std::string f(1, mark);
  for (int i = 0; i < 4; ++i) {
    const int shift = mark == 'i' ? 8 * i : 8 * (3 - i);
    f += static_cast<char>((static_cast<unsigned>(version) >> shift) & 0xFF);
  }
  return f + body;
}

// A header block with the four texts at their offsets.
std::string block_with(const char* a, const char* b, const char* c, const char* d) {
  std::string block(kVehHeaderBytes, '\0');
  const char* texts[4] = {a, b, c, d};
  for (int i = 0; i < 4; ++i) std::memcpy(&block[kVehTextOffsets[i]], texts[i], std::strlen(texts[i]));
  return block;
}

}  // namespace

TEST(OpenSaveRules, TypesStartFoldersAndSaveNames) {
  EXPECT_STREQ(opensave_type_of(9).folder, "Output/situations/");
  EXPECT_STREQ(opensave_type_of(13).folder, "Rovamo Output/tracks/");
  EXPECT_STREQ(opensave_type_of(20).folder, "sim/");
  EXPECT_EQ(opensave_type_of(3).preview, preview_aircraft);
  EXPECT_EQ(opensave_type_of(8).preview, preview_comment);
  EXPECT_EQ(opensave_type_of(20).preview, preview_empty);
  EXPECT_EQ(opensave_type_of(99).folder, opensave_type_of(0).folder);

  EXPECT_EQ(opensave_start_folder("", 3), "");
  EXPECT_EQ(opensave_start_folder("", 13), "Rovamo Output/tracks/");
  EXPECT_EQ(opensave_start_folder("Aircraft/General Aviation/c4.acf", 3), "Aircraft/General Aviation/");
  EXPECT_EQ(opensave_start_folder("Aircraft/General Aviation/", 3), "Aircraft/");
  EXPECT_EQ(opensave_start_folder("c4.acf", 13), "") << "a path without '/' opens the root";
  EXPECT_EQ(opensave_start_folder("a/", 0), "") << "a one-letter folder opens its parent too";

  EXPECT_EQ(opensave_save_name("flight.sit", 9), "flight.SIT");
  EXPECT_EQ(opensave_save_name("my.glider", 3), "my.glider.ACF");
  EXPECT_EQ(opensave_save_name(".abc", 3), ".abc.ACF");
  EXPECT_EQ(opensave_save_name("track.fdr", 8), "track");
  EXPECT_EQ(opensave_save_name("x.bmp", 2), "x.BMP");
  EXPECT_EQ(opensave_save_name("name", 0), "name");

  EXPECT_EQ(opensave_parent("Aircraft/General Aviation/"), "Aircraft/");
  EXPECT_EQ(opensave_parent("Aircraft/"), "");
  EXPECT_EQ(opensave_parent("a/"), "");
  EXPECT_EQ(opensave_parent("a/b/"), "a/");
  EXPECT_EQ(opensave_parent(""), "");
}

TEST(OpenSaveRules, PathLevelsOfThePopUp) {
  opensave_levels lv = opensave_make_levels("");
  EXPECT_EQ(lv.slots, std::vector<std::string>{""});
  EXPECT_EQ(lv.list, "Halden folder");
  EXPECT_EQ(opensave_level_index(lv, "", 7), 0);

  lv = opensave_make_levels("Rovamo Output/tracks/");
  EXPECT_EQ(lv.slots, (std::vector<std::string>{"", "Rovamo Output/", "Rovamo Output/tracks/"}));
  EXPECT_EQ(lv.list, "Halden folder-Rovamo Output-tracks");
  EXPECT_EQ(opensave_level_index(lv, "Rovamo Output/tracks/", 0), 2);
  EXPECT_EQ(opensave_level_index(lv, "elsewhere/", 1), 1) << "no slot matches: the level stays";

  lv = opensave_make_levels("Aircraft/General-Aviation/Odd|Name/");
  EXPECT_EQ(lv.slots[2], "Aircraft/General-Aviation/") << "the path keeps the folder's own name";
  EXPECT_EQ(lv.names[2], "General Aviation");
  EXPECT_EQ(lv.names[3], "Odd Name");
  EXPECT_EQ(lv.list.find('|'), std::string::npos) << "the pop-up refuses a '|'";

  std::string deep;
  for (int i = 0; i < 400; ++i) deep += "d/";
  lv = opensave_make_levels(deep);
  EXPECT_LE(lv.slots.size(), 300u) << "the pop-up takes at most 300 entries";
  EXPECT_EQ(lv.slots.back(), deep);
  EXPECT_EQ(opensave_level_index(lv, deep, 0), static_cast<int>(lv.slots.size()) - 1);
}

TEST(Preview, PathsIconsAndAircraftHeaders) {
  EXPECT_TRUE(preview_is_aircraft("Aircraft/x.acf/"));
  EXPECT_TRUE(preview_is_aircraft("A/C4.ACF"));
  EXPECT_FALSE(preview_is_aircraft("A/Glider.Acf"));
  EXPECT_TRUE(preview_is_flight_data("Output/t.fdr"));
  EXPECT_FALSE(preview_is_flight_data("Output/t.FDR"));
  EXPECT_EQ(preview_icon_name("Aircraft/a/c4.acf"), "Aircraft/a/c4_icon.png");
  EXPECT_EQ(preview_icon_name("Aircraft/a/c4acf"), "Aircraft/a/c4acf_icon.png");
  EXPECT_EQ(preview_icon_name(".acf"), ".acf_icon.png") << "four characters keep their dot";

  TempDir tmp;
  ASSERT_TRUE(tmp.ok());
  const std::string block = block_with("Name", "Author", "Description", "Studio");
  const struct {
    const char* name;
    std::string bytes;
    int accepted;
  } files[] = {
      {"good.acf", aircraft(8000, block + "trailing"), 1},
      {"big.acf", aircraft(902, block, 'a'), 1},
      {"v800.acf", aircraft(800, block), 0},
      {"short.acf", aircraft(900, block.substr(0, 2091)), 0},
      {"header_only.acf", aircraft(900, ""), 0},
      {"cut_header.acf", std::string("i\x84\x03", 3), 0},
      {"empty.acf", "", 0},
      {"text.acf", "I\n900 version\n", 0},
  };
  for (const auto& f : files) {
    ASSERT_TRUE(write_file(tmp / f.name, f.bytes));
    unsigned char got[kVehHeaderBytes];
    std::memset(got, 0x55, sizeof got);
    EXPECT_EQ(preview_read_aircraft(tmp / f.name, got), f.accepted) << f.name;
    const std::string want = f.accepted ? block : std::string(kVehHeaderBytes, '\0');
    EXPECT_EQ(std::memcmp(got, want.data(), kVehHeaderBytes), 0) << f.name << ": the block or all zero";
  }
  unsigned char got[kVehHeaderBytes];
  EXPECT_EQ(preview_read_aircraft(tmp / "missing.acf", got), 0);

  std::memcpy(got, block.data(), kVehHeaderBytes);
  EXPECT_EQ(preview_block_text(got, 1552), "Name");
  EXPECT_EQ(preview_block_text(got, 1012), "Studio");
  std::memset(got + 2052, 'x', kVehHeaderBytes - 2052);
  EXPECT_EQ(preview_block_text(got, 2052), std::string(40, 'x')) << "a text without its zero ends with the block";
  EXPECT_EQ(preview_block_text(got, kVehHeaderBytes), "");
}

TEST(Preview, FlightDataComments) {
  const struct {
    const char* body;
    const char* comment;
  } cases[] = {
      {"COMM,first flight\n", "first flight"},
      {"ACFT,x\ncomm, gusty\r\nCOMM,second\n", "gusty"},
      {"COMMENT,x\n", ""},
      {"COMM\nHello\n", "Hello"},
      {"WIND\nCOMM,skipped\nCOMM,taken\n", "taken"},
      {"  \tComm,\t indented", "indented"},
      {"COMM", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(preview_comment_in(c.body, c.body + std::strlen(c.body)), c.comment) << c.body;

  TempDir tmp;
  ASSERT_TRUE(tmp.ok());
  ASSERT_TRUE(write_file(tmp / "a.fdr", "I\n1 version\nCOMM,over the hills\n"));
  ASSERT_TRUE(write_file(tmp / "v2.fdr", "I\n2 version\nCOMM,no\n"));
  ASSERT_TRUE(write_file(tmp / "bare.fdr", "COMM,no header\n"));
  EXPECT_EQ(preview_flight_comment(tmp / "a.fdr"), "over the hills");
  EXPECT_EQ(preview_flight_comment(tmp / "v2.fdr"), "");
  EXPECT_EQ(preview_flight_comment(tmp / "bare.fdr"), "");
  EXPECT_EQ(preview_flight_comment(tmp / "missing.fdr"), "");

  // A comment that runs to the last byte of the file: the scan stops there.
  std::string page = "I\n1 version\n";
  page += std::string(4096 - page.size() - 10, ' ') + "COMM,edge";
  page += "!";
  ASSERT_EQ(page.size(), 4096u);
  ASSERT_TRUE(write_file(tmp / "edge.fdr", page));
  GuardedReader guarded(tmp / "edge.fdr");
  ASSERT_TRUE(guarded.guarded());
  EXPECT_EQ(preview_comment_in(guarded.reader.start + 12, guarded.reader.end), "edge!");
}
