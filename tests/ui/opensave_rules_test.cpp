// The open and save dialog's rules and the preview panel's readers, on files
// made here, short and foreign ones among them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/guarded_reader.h"
#include "support/temp_dir.h"
#include "ui/opensave.h"
#include "ui/preview.h"

TEST(OpenSaveRules, TypesFoldersNamesAndLevels) {
  EXPECT_STREQ(opensave_type_of(13).folder, "Rovamo Output/tracks/");
  EXPECT_EQ(opensave_type_of(20).preview, preview_empty);
  EXPECT_EQ(opensave_start_folder("", 9), "Output/situations/");
  EXPECT_EQ(opensave_start_folder("Aircraft/General Aviation/c4.acf", 3), "Aircraft/General Aviation/");
  EXPECT_EQ(opensave_start_folder("Aircraft/General Aviation/", 3), "Aircraft/");
  EXPECT_EQ(opensave_start_folder("c4.acf", 13), "") << "a path without '/' opens the root";
  EXPECT_EQ(opensave_parent("a/"), "") << "a one-letter folder goes up like any other";
  EXPECT_EQ(opensave_parent("a/b/"), "a/");

  const char* names[][3] = {{"flight.sit", "9", "flight.SIT"},
                            {"my.glider", "3", "my.glider.ACF"},
                            {".abc", "3", ".abc.ACF"},
                            {"track.fdr", "8", "track"}};
  for (const auto& n : names) EXPECT_EQ(opensave_save_name(n[0], std::atoi(n[1])), n[2]);

  opensave_levels lv = opensave_make_levels("");
  EXPECT_EQ(lv.list, "Halden folder");
  EXPECT_EQ(opensave_level_index(lv, "", 7), 0);
  lv = opensave_make_levels("Rovamo Output/tracks/");
  EXPECT_EQ(lv.slots, (std::vector<std::string>{"", "Rovamo Output/", "Rovamo Output/tracks/"}));
  EXPECT_EQ(lv.list, "Halden folder-Rovamo Output-tracks");
  EXPECT_EQ(opensave_level_index(lv, "Rovamo Output/tracks/", 0), 2);
  EXPECT_EQ(opensave_level_index(lv, "elsewhere/", 1), 1) << "no slot matches: the level stays";
  lv = opensave_make_levels("General-Aviation/Odd|Name/");
  EXPECT_EQ(lv.slots[1], "General-Aviation/");
  EXPECT_EQ(lv.list, "Halden folder-General Aviation-Odd Name") << "'-' and '|' show as blanks";
  std::string deep;
  for (int i = 0; i < 400; ++i) deep += "d/";
  EXPECT_LE(opensave_make_levels(deep).slots.size(), 300u) << "the pop-up takes at most 300 entries";
}

TEST(Preview, AircraftHeadersIconsAndComments) {
  EXPECT_TRUE(preview_is_aircraft("Aircraft/x.acf/"));
  EXPECT_FALSE(preview_is_aircraft("A/Glider.Acf"));
  EXPECT_FALSE(preview_is_flight_data("Output/t.FDR"));
  EXPECT_EQ(preview_icon_name("Aircraft/a/c4.acf"), "Aircraft/a/c4_icon.png");
  EXPECT_EQ(preview_icon_name("Aircraft/a/c4acf"), "Aircraft/a/c4acf_icon.png");

  TempDir tmp;
  ASSERT_TRUE(tmp.ok());
  std::string block(kVehHeaderBytes, '\0');
  std::memcpy(&block[1552], "Name", 4);
  std::memset(&block[2052], 'x', kVehHeaderBytes - 2052);  // no zero before the block's end
  auto aircraft = [](int v, char mark) {
    std::string h(1, mark);
    for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (mark == 'i' ? 8 * i : 8 * (3 - i)));
    return h;
  };
  const struct {
    std::string bytes;
    int accepted;
  } files[] = {{aircraft(8000, 'i') + block + "more", 1},
               {aircraft(902, 'a') + block, 1},
               {aircraft(800, 'i') + block, 0},
               {aircraft(900, 'i') + block.substr(0, 2091), 0},
               {"i\x84\x03", 0},
               {"", 0}};
  for (const auto& f : files) {
    ASSERT_TRUE(write_file(tmp / "f.acf", f.bytes));
    unsigned char got[kVehHeaderBytes];
    std::memset(got, 0x55, sizeof got);
    EXPECT_EQ(preview_read_aircraft(tmp / "f.acf", got), f.accepted) << f.bytes.size();
    const std::string want = f.accepted ? block : std::string(kVehHeaderBytes, '\0');
    EXPECT_EQ(std::memcmp(got, want.data(), kVehHeaderBytes), 0) << "the block, or all zero for a short file";
    if (f.accepted) {
      EXPECT_EQ(preview_block_text(got, 2052), std::string(40, 'x'));
    }
  }

  const char* comments[][2] = {{"COMM,first flight\n", "first flight"},
                               {"A,x\ncomm, gusty\r\nCOMM,no\n", "gusty"},
                               {"COMMENT,x\n", ""},
                               {"COMM\nHello\n", "Hello"},
                               {"WIND\nCOMM,skipped\nCOMM,taken\n", "taken"},
                               {"COMM", ""}};
  for (const auto& c : comments) EXPECT_EQ(preview_comment_in(c[0], c[0] + std::strlen(c[0])), c[1]) << c[0];
  ASSERT_TRUE(write_file(tmp / "a.fdr", "I\n1 version\nCOMM,over the hills\n"));
  ASSERT_TRUE(write_file(tmp / "v2.fdr", "I\n2 version\nCOMM,no\n"));
  EXPECT_EQ(preview_flight_comment(tmp / "a.fdr"), "over the hills");
  EXPECT_EQ(preview_flight_comment(tmp / "v2.fdr"), "");

  // A comment that runs to the last byte of a file: the scan stops there.
  std::string page = "I\n1 version\n";
  page += std::string(4096 - page.size() - 9, ' ') + "COMM,edge";
  ASSERT_TRUE(write_file(tmp / "edge.fdr", page));
  GuardedReader guarded(tmp / "edge.fdr");
  ASSERT_TRUE(guarded.guarded());
  EXPECT_EQ(preview_comment_in(guarded.reader.start + 12, guarded.reader.end), "edge");
}
