// The directory file reader: records, histories, field rules, the header
// check, the fatal alerts, the path-safety rule and truncated input.

#include "engine/directory.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/installer_state.h"
#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "wizard/wizard.h"

namespace {

const std::string kHeader = "I\n900 version\nINSTALLER\n";
const std::string kSig = "0123456789abcdef0123456789abcdef";

// One line per version, histories separated by "|", for comparing tables.
std::string dump_table() {
  std::ostringstream out;
  for (const file_history_struct& h : sim_info) {
    out << "|";
    for (const file_version_struct& v : h.versions)
      out << v.path << ";" << v.platform << ";" << v.extra_value << ";" << v.size_kb << ";" << v.unpacked_kb
          << ";" << v.sig_want << ";" << v.disk << ";" << v.is_global_scenery << ";" << v.lon_col << ";"
          << v.lat_row << "\n";
  }
  return out.str();
}

// Saves the globals the reader changes, gives each test a zeroed state
// record and sends the log to a file of the test's own folder.
class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    saved_info_.swap(sim_info);
    std::memcpy(&saved_stg_, &stg, sizeof stg);
    saved_deleted_.swap(deleted_files);
    saved_app_done_ = app_done;
    std::memset(&stg, 0, sizeof stg);
    app_done = 0;
    xer.open(dir_ / "log.txt", std::ios::out | std::ios::trunc);
  }
  void TearDown() override {
    xer.close();
    sim_info.swap(saved_info_);
    std::memcpy(&stg, &saved_stg_, sizeof stg);
    deleted_files.swap(saved_deleted_);
    app_done = saved_app_done_;
  }

  // Writes header + body as the directory file and reads it.
  int read(const std::string& body, const std::string& header = kHeader) {
    const std::string path = dir_ / "directory.txt";
    EXPECT_TRUE(write_file(path, header + body));
    return read_directory(path);
  }

  // Parses a body from a heap buffer of exactly its size, so that AddressSanitizer
  // reports any read past its end.
  static int parse(const std::string& body, std::string* bad_path = nullptr) {
    std::unique_ptr<char[]> buf(new char[body.size()]);
    if (!body.empty()) std::memcpy(buf.get(), body.data(), body.size());
    return parse_directory(buf.get(), buf.get() + body.size(), bad_path);
  }

  std::string log() {
    xer.flush();
    return read_file(dir_ / "log.txt");
  }

  static std::string file(const std::string& name, int platform = 0, int kb = 1, const std::string& sig = kSig) {
    return "FILE 0 " + std::to_string(platform) + " 0 " + std::to_string(kb) + " " + std::to_string(2 * kb) +
           " " + sig + " " + name + "\n";
  }

  TempDir dir_;

 private:
  std::vector<file_history_struct> saved_info_;
  stg_struct saved_stg_;
  std::set<std::string> saved_deleted_;
  int saved_app_done_ = 0;
};

using DirectoryDeathTest = DirectoryTest;

// A realistic directory: several folders, a disc change, histories, a
// scenery tile and a removed file.
const std::string kRealistic =
    "DIR Halden/\n"
    "DISK 1\n"
    "FILE 1 0 0 120 340 " + kSig + " Corvane 9.exe\n"
    "FILE 1 3 0 121 341 fedcba9876543210fedcba9876543210 Corvane 9.exe\n"
    "DIR Halden/Resources/\n"
    "FILE 2 0 0 12 40 GONE old.txt\n"
    "  FILE\t3 6  7 8 9 " + kSig + "\tdefault data/earth nav.dat \r\n"
    "FILE 6 0 0 -3 -9 " + kSig + " \n"
    "\r\n"
    "DISK 2 (scenery)\n"
    "DIR Halden/Custom Scenery/Global Scenery/-global terrain-/+40-080/\n"
    "FILE 4 0 0 5000 9000 " + kSig + " +45-075.dsf\n"
    "REM a line that means nothing to the reader\n"
    "FILE 5 0 0 1 1 " + kSig + " +45-075.dsf\n";

// ------------------------------------------------------------ whole file

TEST_F(DirectoryTest, HeaderOnlyGivesAnEmptyTable) {
  stg.has_scenery = 1;
  stg.has_sim = 1;
  stg.tile_avail[3][4] = 1;
  sim_info.push_back(file_history_struct{{file_version_struct{}}});

  EXPECT_EQ(read(""), 3);
  EXPECT_TRUE(sim_info.empty());
  EXPECT_EQ(stg.has_scenery, 0);
  EXPECT_EQ(stg.has_sim, 0);
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) EXPECT_EQ(stg.tile_avail[c][r], 0) << c << "," << r;
}

TEST_F(DirectoryTest, ReadingEmptiesDeletedFilesAndTheTotals) {
  deleted_files = {"/tmp/x/", "/tmp/y/"};
  stg.kb_to_download = 5;
  stg.kb_to_install = 6;
  stg.files_to_get = 7;
  stg.files_to_delete = 8;
  EXPECT_EQ(read(file("Halden/a")), 3);
  EXPECT_TRUE(deleted_files.empty());
  EXPECT_EQ(stg.kb_to_download, 0.0f);
  EXPECT_EQ(stg.kb_to_install, 0.0f);
  EXPECT_EQ(stg.files_to_get, 0);
  EXPECT_EQ(stg.files_to_delete, 0);
}

TEST_F(DirectoryTest, RealisticDirectory) {
  ASSERT_EQ(read(kRealistic), 3);
  ASSERT_EQ(sim_info.size(), 4u);

  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  const file_version_struct& exe = current_version(0);
  EXPECT_EQ(exe.path, "Halden/Corvane 9.exe");
  EXPECT_EQ(exe.platform, 3);
  EXPECT_EQ(exe.size_kb, 121.0f);
  EXPECT_EQ(exe.unpacked_kb, 341.0f);
  EXPECT_EQ(exe.sig_want, "fedcba9876543210fedcba9876543210");
  EXPECT_EQ(exe.disk, 1);
  EXPECT_EQ(sim_info[0].versions[0].platform, 0);

  EXPECT_EQ(current_version(1).path, "Halden/Resources/old.txt");
  EXPECT_EQ(current_version(1).sig_want, "GONE");

  const file_version_struct& nav = current_version(2);
  EXPECT_EQ(nav.path, "Halden/Resources/default data/earth nav.dat ");
  EXPECT_EQ(nav.platform, 6);
  EXPECT_EQ(nav.extra_value, 7);
  EXPECT_EQ(nav.size_kb, 8.0f);
  EXPECT_EQ(nav.unpacked_kb, 9.0f);
  EXPECT_EQ(nav.disk, 1);

  ASSERT_EQ(sim_info[3].versions.size(), 2u);
  const file_version_struct& tile = current_version(3);
  EXPECT_EQ(tile.disk, 2);
  EXPECT_EQ(tile.is_global_scenery, 1);
  EXPECT_EQ(tile.lat_row, 13);
  EXPECT_EQ(tile.lon_col, 10);
  EXPECT_EQ(stg.tile_avail[10][13], 1);
  EXPECT_EQ(stg.has_scenery, 1);
  EXPECT_EQ(stg.has_sim, 1);
}

// -------------------------------------------------------------- histories

TEST_F(DirectoryTest, SamePathInARowIsOneHistoryAndLaterASecondOne) {
  ASSERT_EQ(read(file("Halden/a", 0, 1) + file("Halden/a", 0, 2) + file("Halden/b", 0, 3) +
                 file("Halden/a", 0, 4)),
            3);
  ASSERT_EQ(sim_info.size(), 3u);
  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  EXPECT_EQ(sim_info[0].versions[0].size_kb, 1.0f);
  EXPECT_EQ(current_version(0).size_kb, 2.0f);
  EXPECT_EQ(current_version(1).path, "Halden/b");
  ASSERT_EQ(sim_info[2].versions.size(), 1u);
  EXPECT_EQ(current_version(2).path, "Halden/a");
  EXPECT_EQ(current_version(2).size_kb, 4.0f);
}

TEST_F(DirectoryTest, FieldsOfARemovedFile) {
  ASSERT_EQ(read("FILE 0 3 0 12 40 GONE Resources/old.txt\n"), 3);
  ASSERT_EQ(sim_info.size(), 1u);
  const file_version_struct& v = current_version(0);
  EXPECT_EQ(v.path, "Resources/old.txt");
  EXPECT_EQ(v.platform, 3);
  EXPECT_EQ(v.extra_value, 0);
  EXPECT_EQ(v.size_kb, 12.0f);
  EXPECT_EQ(v.unpacked_kb, 40.0f);
  EXPECT_EQ(v.sig_want, "GONE");
  EXPECT_EQ(v.sig_have, "");
  EXPECT_EQ(v.disk, 0);
  EXPECT_EQ(v.is_global_scenery, 0);
  EXPECT_EQ(v.is_current + v.do_install + v.do_delete, 0);
  EXPECT_EQ(v.progress_mark, 0.0f);
  EXPECT_EQ(stg.has_sim, 1);
  EXPECT_EQ(stg.has_scenery, 0);
}

// ---------------------------------------------------------------- records

TEST_F(DirectoryTest, KeywordWithoutBlankIsSkippedAndPrefixStays) {
  ASSERT_EQ(read("DIR Halden/\nDIR\n" + file("a") + "DIRECTORY Other/\n" + file("b") + "DISK\n" + file("c") +
                 "DISK 4 more\n" + file("d") + "FILEX 0 0 0 1 1 x Halden/e\nfile 0 0 0 1 1 x Halden/f\n"),
            3);
  ASSERT_EQ(sim_info.size(), 4u);
  EXPECT_EQ(current_version(0).path, "Halden/a");
  EXPECT_EQ(current_version(1).path, "Halden/b");
  EXPECT_EQ(current_version(2).path, "Halden/c");
  EXPECT_EQ(current_version(2).disk, 0);
  EXPECT_EQ(current_version(3).path, "Halden/d");
  EXPECT_EQ(current_version(3).disk, 4);
}

TEST_F(DirectoryTest, PrefixIsJoinedAsItStands) {
  ASSERT_EQ(read("DIR\tHalden/Re\t\n" + file("sources/x") + "DIR \n" + file("Top/y")), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  EXPECT_EQ(current_version(0).path, "Halden/Re\tsources/x");
  EXPECT_EQ(current_version(1).path, "Top/y");
}

TEST_F(DirectoryTest, DropRulesLookAtTheNameOnly) {
  ASSERT_EQ(read("DIR Halden/900 red terrain/\n" + file("a", 0, 1) + file("Earth Orbit Textures/b") +
                 file("x Earth Orbit Textures", 0, 9) + file("a", 0, 2) + "DIR Halden/\n" +
                 file("c 900 red terrain d")),
            3);
  // The dropped records neither add nor split a history.
  ASSERT_EQ(sim_info.size(), 1u);
  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  EXPECT_EQ(current_version(0).path, "Halden/900 red terrain/a");
  EXPECT_EQ(current_version(0).size_kb, 2.0f);
}

TEST_F(DirectoryTest, PlatformIsClampedToItsRange) {
  ASSERT_EQ(read(file("H/a", 9) + file("H/b", -1) + file("H/c", 4) + "FILE 0 +2 0 1 1 s H/d\n" +
                 "FILE 0 -2147483649 0 1 1 s H/e\n"),
            3);
  ASSERT_EQ(sim_info.size(), 5u);
  EXPECT_EQ(current_version(0).platform, 6);
  EXPECT_EQ(current_version(1).platform, 0);
  EXPECT_EQ(current_version(2).platform, 4);
  EXPECT_EQ(current_version(3).platform, 2);
  EXPECT_EQ(current_version(4).platform, 0);
}

TEST_F(DirectoryTest, NumbersThatAreNotNumbersOrTooBig) {
  ASSERT_EQ(read("FILE 0 3x 12abc 1.5 -7 s H/a\n"
                 "FILE 0 - 99999999999 2147483647 00000000000000000000042 s H/b\n"
                 "FILE 0 3 -99999999999 + ++4 s H/c\n"),
            3);
  ASSERT_EQ(sim_info.size(), 3u);
  EXPECT_EQ(current_version(0).platform, 0);
  EXPECT_EQ(current_version(0).extra_value, 0);
  EXPECT_EQ(current_version(0).size_kb, 0.0f);
  EXPECT_EQ(current_version(0).unpacked_kb, 0.0f) << "a size below 0 counts as 0";
  EXPECT_EQ(current_version(1).platform, 0);
  EXPECT_EQ(current_version(1).extra_value, INT_MAX);
  EXPECT_EQ(current_version(1).size_kb, static_cast<float>(INT_MAX));
  EXPECT_EQ(current_version(1).unpacked_kb, 42.0f);
  EXPECT_EQ(current_version(2).platform, 3);
  EXPECT_EQ(current_version(2).extra_value, INT_MIN);
  EXPECT_EQ(current_version(2).size_kb, 0.0f);
  EXPECT_EQ(current_version(2).unpacked_kb, 0.0f);
  EXPECT_EQ(current_version(2).sig_want, "s");
}

TEST_F(DirectoryTest, MissingFieldsAreZeroAndEmptyWithoutEatingTheNextLine) {
  // With the whole path in the prefix, a record without a name still names a file.
  ASSERT_EQ(read("DIR Halden/readme.txt\nDISK 3\nFILE 0 2\nDIR Halden/\n" + file("next", 1, 5)), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  const file_version_struct& v = current_version(0);
  EXPECT_EQ(v.path, "Halden/readme.txt");
  EXPECT_EQ(v.platform, 2);
  EXPECT_EQ(v.extra_value, 0);
  EXPECT_EQ(v.size_kb, 0.0f);
  EXPECT_EQ(v.unpacked_kb, 0.0f);
  EXPECT_EQ(v.sig_want, "");
  EXPECT_EQ(v.disk, 3);
  EXPECT_EQ(current_version(1).path, "Halden/next");
  EXPECT_EQ(current_version(1).platform, 1);
  EXPECT_EQ(current_version(1).size_kb, 5.0f);
}

TEST_F(DirectoryTest, NamesKeepInnerAndTrailingBlanks) {
  ASSERT_EQ(read("FILE 0 0 0 1 1 " + kSig + " \t  Halden/Custom Scenery/My  Place/earth nav.dat \t \n"), 3);
  ASSERT_EQ(sim_info.size(), 1u);
  EXPECT_EQ(current_version(0).path, "Halden/Custom Scenery/My  Place/earth nav.dat \t ");
  EXPECT_EQ(current_version(0).sig_want, kSig);
}

TEST_F(DirectoryTest, EveryLineEndReadsTheSame) {
  const std::vector<std::string> lines = {"DIR Halden/Resources/", "DISK 2", "FILE 1 3 5 12 40 " + kSig + " a b",
                                          "   ", "FILE 1 3 5 12 40 GONE a b", "DIR Halden/", "FILE 0 0 0 1 1 s c"};
  const std::vector<std::string> line_ends = {"\n", "\r", "\r\n", std::string(1, '\0')};
  std::string expected;
  for (const std::string& eol : line_ends) {
    std::string body;
    for (const std::string& l : lines) body += l + eol;
    ASSERT_EQ(read(body), 3);
    const std::string table = dump_table();
    if (expected.empty()) {
      ASSERT_EQ(sim_info.size(), 2u);
      EXPECT_EQ(current_version(0).path, "Halden/Resources/a b");
      EXPECT_EQ(sim_info[0].versions.size(), 2u);
      EXPECT_EQ(current_version(1).path, "Halden/c");
      expected = table;
    } else {
      EXPECT_EQ(table, expected) << "line end " << static_cast<int>(eol[0]);
    }
  }
}

// ---------------------------------------------------------------- scenery

TEST_F(DirectoryTest, SceneryTilesMarkTheGridEvenWhenRemoved) {
  const std::string terrain = "DIR Halden/Custom Scenery/Global Scenery/-global terrain-/+40-080/\n";
  ASSERT_EQ(read(terrain + file("+45-075.dsf") + file("+45-075.dsf", 0, 1, "GONE") + file("-90-180.dsf", 2) +
                 file("+99-075.dsf") + file("+45-075.txt")),
            3);
  ASSERT_EQ(sim_info.size(), 4u);
  EXPECT_EQ(current_version(0).sig_want, "GONE");
  EXPECT_EQ(current_version(0).is_global_scenery, 1);
  EXPECT_EQ(stg.tile_avail[10][13], 1);
  EXPECT_EQ(current_version(1).is_global_scenery, 1);
  EXPECT_EQ(stg.tile_avail[0][0], 1);
  // No tile in the name, or not a tile file at all: an ordinary file.
  EXPECT_EQ(current_version(2).is_global_scenery, 0);
  EXPECT_EQ(current_version(2).lat_row, 0);
  EXPECT_EQ(current_version(2).lon_col, 0);
  EXPECT_EQ(current_version(3).is_global_scenery, 0);
  int marked = 0;
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) marked += stg.tile_avail[c][r];
  EXPECT_EQ(marked, 2);
  EXPECT_EQ(stg.has_scenery, 1);
  EXPECT_EQ(stg.has_sim, 1);
}

TEST_F(DirectoryTest, OnlySceneryMeansNoSimulatorFiles) {
  stg.has_sim = 1;
  ASSERT_EQ(read("DIR Halden/Global Scenery/x/\n" + file("+00+000.dsf")), 3);
  EXPECT_EQ(stg.has_scenery, 1);
  EXPECT_EQ(stg.has_sim, 0);
  EXPECT_EQ(stg.tile_avail[18][9], 1);
}

// ----------------------------------------------------------------- header

TEST_F(DirectoryTest, HeaderVersion840IsAccepted) {
  EXPECT_EQ(read(file("Halden/a"), "A\r\n840 version\r\nINSTALLER\r\n"), 3);
  EXPECT_EQ(sim_info.size(), 1u);
  EXPECT_EQ(app_done, 0);
  EXPECT_EQ(stg.format_too_new, 0);
}

TEST_F(DirectoryTest, RefusedHeaderShowsTheNoticeAndLeavesTheTableEmpty) {
  const std::vector<std::string> headers = {"I\n901 version\nINSTALLER\n", "I\n900 version\nSERVERS\n",
                                            "I\n900 version\n", "", "X\n900 version\nINSTALLER\n"};
  for (const std::string& header : headers) {
    sim_info.push_back(file_history_struct{{file_version_struct{}}});
    same_path_rings = {0};
    listed_paths[{0, 0}] = "Halden//a";
    deleted_files = {"/tmp/x/"};
    stg.files_to_get = 3;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read(file("Halden/a"), header), 2) << header;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(sim_info.empty() && same_path_rings.empty() && listed_paths.empty()) << header;
    EXPECT_TRUE(deleted_files.empty()) << header;
    EXPECT_EQ(stg.files_to_get, 0) << header;
    EXPECT_EQ(stg.format_too_new, 2) << header;
    EXPECT_EQ(app_done, 1) << header;
    EXPECT_NE(err.find("finding file formats that are newer than I can understand!"), std::string::npos) << err;
    EXPECT_NE(err.find("you need to get a new installer!"), std::string::npos) << err;
    EXPECT_NE(err.find("grab it at the download section of http://www.example.com/."), std::string::npos) << err;
    EXPECT_NE(err.find(dir_ / "directory.txt"), std::string::npos) << err;
    stg.format_too_new = 0;
    app_done = 0;
  }
}

// ----------------------------------------------------------- fatal alerts

TEST_F(DirectoryDeathTest, MissingFileIsFatal) {
  const std::string path = dir_ / "nothing/directory.txt";
  EXPECT_EXIT(read_directory(path), ::testing::ExitedWithCode(1),
              "I tried to read a directory file that does not exist!(.|\n)*The file is:(.|\n)*nothing/directory.txt");
}

TEST_F(DirectoryDeathTest, PathWithoutAFileIsFatal) {
  EXPECT_EXIT(read(file("Halden/a") + "DIR Halden/Resources/\nFILE 0 0 0 1 1 s sub/\n"),
              ::testing::ExitedWithCode(1),
              "found a path that has no file!(.|\n)*This is impossible to download or delete!(.|\n)*It is:(.|\n)*"
              "Halden/Resources/sub/");
}

TEST_F(DirectoryTest, ParserReportsAPathWithoutAFile) {
  std::string bad;
  EXPECT_EQ(parse(file("Halden/a") + file("Halden/b/"), &bad), directory_path_no_file);
  EXPECT_EQ(bad, "Halden/b/");
  EXPECT_TRUE(sim_info.empty());
  EXPECT_EQ(parse(file("Halden/a") + "FILE 0 0 0 1 1 s Halden/Earth Orbit Textures/\n"), directory_parsed);
  EXPECT_EQ(sim_info.size(), 1u);
}

// ------------------------------------------------------------ path safety

TEST_F(DirectoryTest, PathsLeavingTheInstallFolderAreSkippedWithALogLine) {
  const std::vector<std::string> unsafe = {
      "Halden/../outside.txt", "Halden/a/../../outside.txt", "/etc/passwd", "Halden//etc/passwd",
      "Halden/a/./b",          "Halden/a/..",                "Halden/.",   "../x",
      "..",                    "."};
  std::string body = file("Halden/keep", 0, 1);
  for (const std::string& p : unsafe) body += file(p);
  body += file("Halden/keep", 0, 2);
  ASSERT_EQ(read(body), 3);

  // Skipped records do not split the history around them.
  ASSERT_EQ(sim_info.size(), 1u);
  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  EXPECT_EQ(current_version(0).size_kb, 2.0f);

  const std::string text = log();
  for (const std::string& p : unsafe)
    EXPECT_NE(text.find("leaves the install folder: \"" + p + "\"\n"), std::string::npos) << p << "\n" << text;
}

TEST_F(DirectoryTest, PathsLongerThanTheFileSystemAllowsAreSkippedWithALogLine) {
  const std::string saved_dest = dest_dir_path;
  dest_dir_path = dir_.path();
  const std::string longest_name(NAME_MAX, 'n');
  const std::string too_long_name(NAME_MAX + 1, 'n');
  std::string deep = "Halden";
  while (dest_dir_path.size() + deep.size() < PATH_MAX + 10) deep += "/" + std::string(200, 'd');
  const std::vector<std::string> skipped = {"Halden/" + too_long_name, "Halden/" + too_long_name + "/f.txt", deep};
  std::string body = file("Halden/before.txt");
  for (const std::string& p : skipped) body += file(p);
  body += file("Halden/" + longest_name);
  body += file("Halden/after.txt");
  const int result = read(body);
  dest_dir_path = saved_dest;
  ASSERT_EQ(result, 3);
  ASSERT_EQ(sim_info.size(), 3u) << "one entry does not stop the others";
  EXPECT_EQ(current_version(0).path, "Halden/before.txt");
  EXPECT_EQ(current_version(1).path, "Halden/" + longest_name) << "a name of the longest length allowed is kept";
  EXPECT_EQ(current_version(2).path, "Halden/after.txt");
  const std::string text = log();
  for (const std::string& p : skipped)
    EXPECT_NE(text.find("longer than the file system allows: \"" + p + "\"\n"), std::string::npos) << p;
}

TEST_F(DirectoryTest, UnusualButSafePathsAreKept) {
  const std::vector<std::string> safe = {"readme.txt", "Halden/.hidden", "Halden/a..b/c.", "Halden/a//b",
                                         "Halden/...", "Halden/..x/y"};
  std::string body;
  for (const std::string& p : safe) body += file(p);
  ASSERT_EQ(read(body), 3);
  ASSERT_EQ(sim_info.size(), safe.size());
  for (std::size_t i = 0; i < safe.size(); ++i) {
    const file_version_struct& v = current_version(static_cast<int>(i));
    // An empty component is read as none.
    EXPECT_EQ(v.path, safe[i] == "Halden/a//b" ? "Halden/a/b" : safe[i]);
  }
  // The server is asked for the spelling the directory gives.
  EXPECT_EQ(listed_paths, (std::map<std::pair<int, int>, std::string>{{{3, 0}, "Halden/a//b"}}));
  // Each version keeps its own spelling: here only the second.
  ASSERT_EQ(read(file("Halden/c/d") + file("Halden/c//d")), 3);
  EXPECT_EQ(listed_paths, (std::map<std::pair<int, int>, std::string>{{{0, 1}, "Halden/c//d"}}));
  EXPECT_EQ(log().find("leaves the install folder"), std::string::npos);
}

// An empty path, or a name-less record under the install folder's own name,
// would stand for the install folder itself: skipped, not a fatal alert.
TEST_F(DirectoryTest, PathNamingTheInstallFolderItselfIsSkipped) {
  // A record without a name under a folder names no file either: skipped
  // too, and the records after it are read.
  ASSERT_EQ(read("FILE 0 3\nFILE 0 0 0 1 1 s Halden/a\nDIR Halden/\nFILE 0 0 0 1 1 s\nFILE 0 0 0 1 1 s a\n"
                 "DIR Halden/Resources/\nFILE 0 0 0 1 1 s \t \nFILE 0 0 0 1 1 s b\n"),
            3);
  ASSERT_EQ(sim_info.size(), 2u);
  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  EXPECT_EQ(current_version(0).path, "Halden/a");
  EXPECT_EQ(current_version(1).path, "Halden/Resources/b");
  const std::string text = log();
  EXPECT_NE(text.find("without a file name under \"Halden/Resources/\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("leaves the install folder: \"\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("leaves the install folder: \"Halden/\"\n"), std::string::npos) << text;
}

// -------------------------------------------------------- truncated input

TEST_F(DirectoryTest, FileEndingMidRecord) {
  struct Case {
    std::string tail;
    std::string last_path;  // path of the last history afterwards
    int disk;
  };
  const std::vector<Case> cases = {
      {"FILE 0 3", "Halden/a", 0},          // empty path: skipped
      {"DIR", "Halden/a", 0},               // keyword without blank
      {"DIR ", "Halden/a", 0},              // empty prefix, no FILE after it
      {"DISK", "Halden/a", 0},
      {"DISK 7", "Halden/a", 0},
      {"FILE", "Halden/a", 0},
      {"FILE 0 0 0 1 1 s Halden/last name", "Halden/last name", 0},
      {"FILE 0 0 0 1 1 s Halden/trailing  ", "Halden/trailing  ", 0},
      {"DISK 7\nFILE 0 0 0 1 1 s Halden/z", "Halden/z", 7},
      {"FILE 0 0 0 1 1 " + kSig, "Halden/a", 0},  // no name, empty prefix: empty path
      {"   \t", "Halden/a", 0},
      {"\r", "Halden/a", 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(read(file("Halden/a") + c.tail), 3) << c.tail;
    ASSERT_FALSE(sim_info.empty()) << c.tail;
    EXPECT_EQ(sim_info.back().versions.back().path, c.last_path) << c.tail;
    EXPECT_EQ(sim_info.back().versions.back().disk, c.disk) << c.tail;
  }
}

// Files of exactly one or two pages end at a page boundary of the mapping; a
// scan that ran on would hit whatever follows the mapping (often unmapped, but
// the kernel may place another mapping there, so this cannot be guaranteed;
// the heap-buffer test below is the exact check).
TEST_F(DirectoryTest, FileEndingAtAPageBoundary) {
  for (std::size_t size : {4096u, 8192u}) {
    const std::vector<std::pair<std::string, std::string>> tails = {
        {"FILE 0 0 0 1 1 s Halden/last", "Halden/last"},
        {"FILE 0 3", "Halden/a"},
        {"DIR", "Halden/a"},
        {"DISK 12", "Halden/a"}};
    for (const auto& [tail, last_path] : tails) {
      std::string body = file("Halden/a");
      const std::size_t fixed = kHeader.size() + body.size() + tail.size();
      ASSERT_LT(fixed + 2, size);
      body += "REM " + std::string(size - fixed - 5, 'x') + "\n";
      body += tail;
      ASSERT_EQ(kHeader.size() + body.size(), size);
      ASSERT_EQ(read(body), 3) << tail;
      ASSERT_FALSE(sim_info.empty());
      EXPECT_EQ(sim_info.back().versions.back().path, last_path) << tail;
    }
  }
}

TEST_F(DirectoryTest, EveryPrefixParsesWithinItsData) {
  for (std::size_t n = 0; n <= kRealistic.size(); ++n) {
    const std::string prefix = kRealistic.substr(0, n);
    std::string bad;
    const int result = parse(prefix, &bad);
    if (result == directory_path_no_file) {
      // A cut inside a name right after a "/", or before the name under a
      // prefix that names a folder.
      ASSERT_FALSE(bad.empty()) << n;
      EXPECT_EQ(bad.back(), '/') << n;
      EXPECT_TRUE(sim_info.empty()) << n;
      continue;
    }
    ASSERT_EQ(result, directory_parsed) << n;
    // The end of the data ends a record exactly as a line end does.
    const std::string cut = dump_table();
    ASSERT_EQ(parse(prefix + "\n"), directory_parsed) << n;
    EXPECT_EQ(cut, dump_table()) << n;
  }
  // The whole file, for reference.
  ASSERT_EQ(parse(kRealistic), directory_parsed);
  EXPECT_EQ(sim_info.size(), 4u);
}

TEST_F(DirectoryTest, EveryPrefixOfAFileReadsWithoutFault) {
  // Through the file reader too, with cuts that cannot end in a bare folder.
  const std::string body = "DIR Halden/R\nFILE 0 3 0 12 40 GONE old.txt\r\nDISK 2\nFILE 1 0 0 1 2 " + kSig +
                           " x y\n";
  for (std::size_t n = 0; n <= body.size(); ++n) {
    ASSERT_EQ(read(body.substr(0, n)), 3) << n;
    for (const file_history_struct& h : sim_info) {
      ASSERT_FALSE(h.versions.empty());
      EXPECT_EQ(h.versions.back().path.rfind("Halden/R", 0), 0u) << n;
    }
  }
  EXPECT_EQ(sim_info.size(), 2u);
}

}  // namespace
