// The install filter, scenery tile recognition, the wanted-tile grid, the
// path helpers and the totals shown before an install.

#include "engine/install_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/installer_state.h"

namespace {

// Saves the globals these tests change and gives each test a clean table,
// a zeroed state record with want_os 3 and the filter at (1, 1).
class InstallFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_info_.swap(sim_info);
    std::memcpy(&saved_stg_, &stg, sizeof stg);
    saved_want_sim_ = g_want_sim;
    saved_want_global_ = g_want_global;
    std::memset(&stg, 0, sizeof stg);
    stg.want_os = os_linux;
    set_install_filter(1, 1);
  }
  void TearDown() override {
    sim_info.swap(saved_info_);
    std::memcpy(&stg, &saved_stg_, sizeof stg);
    g_want_sim = saved_want_sim_;
    g_want_global = saved_want_global_;
  }

  static file_version_struct sim_file(const std::string& path, int platform = 0) {
    file_version_struct v;
    v.path = path;
    v.platform = platform;
    v.sig_want = "0123456789abcdef0123456789abcdef";
    v.sig_have = kSigNone;
    return v;
  }
  static file_version_struct tile_file(int lon_col, int lat_row, int platform = 0) {
    file_version_struct v = sim_file("Halden/Global Scenery/tile.dsf", platform);
    v.is_global_scenery = 1;
    v.lon_col = lon_col;
    v.lat_row = lat_row;
    return v;
  }
  // Appends a file with one version; returns its index.
  static int add(const file_version_struct& v) {
    sim_info.push_back(file_history_struct{{v}});
    return static_cast<int>(sim_info.size()) - 1;
  }

 private:
  std::vector<file_history_struct> saved_info_;
  stg_struct saved_stg_;
  int saved_want_sim_ = 1;
  int saved_want_global_ = 1;
};

// ---------------------------------------------------------------- filter

TEST_F(InstallFilterTest, PlatformCodesForLinux) {
  const int expected[7] = {1, 0, 0, 1, 0, 0, 1};
  for (int p = 0; p <= 6; ++p) {
    const int f = add(sim_file("Halden/x", p));
    const int g = add(tile_file(1, 1, p));
    EXPECT_EQ(want_this_f(f, 0), expected[p]) << "simulator file, platform " << p;
    EXPECT_EQ(want_this_f(g, 0), expected[p]) << "scenery file, platform " << p;
  }
}

TEST_F(InstallFilterTest, PlatformCodesForWindows) {
  stg.want_os = os_windows;
  const int expected[7] = {1, 0, 1, 0, 0, 0, 0};
  for (int p = 0; p <= 6; ++p) {
    const int f = add(sim_file("Halden/x", p));
    EXPECT_EQ(want_this_f(f, 0), expected[p]) << "platform " << p;
  }
}

TEST_F(InstallFilterTest, FilterSelectsSimulatorOrScenery) {
  const int sim = add(sim_file("Halden/x", 0));
  const int sim_linux = add(sim_file("Halden/y", 3));
  const int tile = add(tile_file(10, 13, 0));
  const int tile_mac = add(tile_file(10, 13, 1));

  set_install_filter(0, 1);
  EXPECT_EQ(g_want_sim, 0);
  EXPECT_EQ(g_want_global, 1);
  EXPECT_EQ(want_this_f(sim, 0), 0);
  EXPECT_EQ(want_this_f(sim_linux, 0), 0);
  EXPECT_EQ(want_this_f(tile, 0), 1);
  EXPECT_EQ(want_this_f(tile_mac, 0), 0);  // the platform still applies

  set_install_filter(1, 0);
  EXPECT_EQ(want_this_f(sim, 0), 1);
  EXPECT_EQ(want_this_f(sim_linux, 0), 1);
  EXPECT_EQ(want_this_f(tile, 0), 0);

  set_install_filter(0, 0);
  EXPECT_EQ(want_this_f(sim, 0), 0);
  EXPECT_EQ(want_this_f(tile, 0), 0);
}

TEST_F(InstallFilterTest, FilterLooksAtTheVersionAsked) {
  file_history_struct h;
  h.versions = {sim_file("Halden/x", 1), sim_file("Halden/x", 6)};
  sim_info.push_back(h);
  EXPECT_EQ(want_this_f(0, 0), 0);
  EXPECT_EQ(want_this_f(0, 1), 1);
  // One local path listed for every system and again for Windows: the later
  // counts where the system takes it, decided anew when that changes.
  const int any = add(sim_file("Halden/z", 0)), win = add(sim_file("Other/z", 2));
  sim_info[1].same_path = win;
  sim_info[2].same_path = any;
  same_path_rings = {any};
  stg.want_os = os_windows;
  set_install_filter(1, 1);
  EXPECT_EQ(want_this_f(any, 0) * 10 + want_this_f(win, 0), 1);
  set_want_os(os_linux);
  EXPECT_EQ(want_this_f(any, 0) * 10 + want_this_f(win, 0), 10);
}

// ------------------------------------------------------ scenery file names

TEST_F(InstallFilterTest, GlobalSceneryPaths) {
  const struct {
    const char* path;
    int expected;
  } cases[] = {
      {"Halden/Custom Scenery/Alps/+45-073.dsf", 0},
      {"Halden/Global Scenery/+40-080/+45-073.DSF", 1},
      {"Global Scenery/.dsf", 1},  // 19 characters
      {"Halden/Global Scenery/+45-073.DsF", 1},
      {"Halden/Resources/-global overlays-/+45-073.dsf", 1},
      {"Halden/Resources/-global terrain-/+45-073.dsf", 1},
      {"Halden/Resources/default scenery/DSF 820 earth/+45-073.dsf", 1},
      {"Halden/global scenery/+45-073.dsf", 0},  // folder text is case-sensitive
      {"-global terrain-/+45-073.dsf", 0},       // needs the leading "/"
      {"Halden/Global Scenery/+45-073.dsf.zip", 0},
      {"Halden/Global Scenery/readme.txt", 0},
      {"Halden/Global Scenery/", 0},
      {".dsf", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(is_global_scenery_f(c.path), c.expected) << '"' << c.path << '"';
  EXPECT_EQ(is_global_scenery_f(nullptr), 0);
}

TEST_F(InstallFilterTest, FindSector) {
  const struct {
    const char* path;
    int result, lat_row, lon_col;
  } cases[] = {
      {"Halden/Global Scenery/+40-080/+45-073.dsf", 1, 13, 10},
      {"-05+010.dsf", 1, 8, 19},
      {"Global Scenery/-90-180.dsf", 1, 0, 0},
      {"Global Scenery/+89+179.dsf", 1, 17, 35},
      // Out of range: the values are still written.
      {"Global Scenery/+90+000.dsf", 0, 18, 18},
      {"Global Scenery/+00+180.dsf", 0, 9, 36},
      {"Global Scenery/-00-190.dsf", 0, 9, -1},
      // Division truncates toward zero: -91 and -189 still give 0.
      {"Global Scenery/-91-189.dsf", 1, 0, 0},
      // A single trailing "/" stays in the name; the tile is read from its start.
      {"Halden/Global Scenery/+45-073.dsf/", 1, 13, 10},
      {"+45-073/", 1, 13, 10},
      // Text that is not a number reads as -1.
      {"Global Scenery/abcdefg.dsf", 1, 8, 17},
      {"Global Scenery/+45xyz.dsf", 1, 13, 17},
      {"Global Scenery/+45", 1, 13, 17},
      // Names too short to hold a latitude.
      {"", 0, -1, -1},
      {"/", 0, -1, -1},
      {"+4", 0, -1, -1},
      {"Global Scenery/+4", 0, -1, -1},
      {"a/b/", 0, -1, -1},
  };
  for (const auto& c : cases) {
    int lon_col = 99, lat_row = 99;
    EXPECT_EQ(find_sector(&lon_col, &lat_row, c.path), c.result) << '"' << c.path << '"';
    EXPECT_EQ(lat_row, c.lat_row) << '"' << c.path << '"';
    EXPECT_EQ(lon_col, c.lon_col) << '"' << c.path << '"';
  }
}

// --------------------------------------------------------- wanted tiles

TEST_F(InstallFilterTest, TakeAllCopiesAvailableTiles) {
  stg.tile_avail[0][0] = 1;
  stg.tile_avail[10][13] = 1;
  stg.tile_avail[35][17] = 1;
  stg.tile_want[5][5] = 1;  // not available: cleared
  scenery_take_all();
  EXPECT_EQ(std::memcmp(stg.tile_want, stg.tile_avail, sizeof stg.tile_want), 0);
  EXPECT_EQ(stg.tile_want[5][5], 0);
  EXPECT_EQ(stg.tile_want[35][17], 1);
}

TEST_F(InstallFilterTest, TilesFromInstalledFiles) {
  file_version_struct present = tile_file(10, 13);
  present.sig_have = "fedcba9876543210fedcba9876543210";
  add(present);
  add(tile_file(19, 8));  // sig_have "NONE": nothing on disk
  current_version(add(tile_file(21, 8))).sig_have.clear();  // never scanned

  // Only the current version counts: an older version found on disk does not.
  file_version_struct old = tile_file(3, 4);
  old.sig_have = "fedcba9876543210fedcba9876543210";
  file_history_struct h;
  h.versions = {old, tile_file(3, 4)};
  sim_info.push_back(h);

  file_version_struct sim = sim_file("Halden/x.txt");
  sim.sig_have = "fedcba9876543210fedcba9876543210";
  sim.lon_col = 7;
  sim.lat_row = 7;
  add(sim);

  stg.tile_want[20][2] = 1;  // left over from an earlier choice
  set_install_filter(1, 0);  // the filter is not consulted
  scenery_from_install();

  int chosen = 0;
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) chosen += stg.tile_want[c][r];
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(stg.tile_want[10][13], 1);
  EXPECT_EQ(stg.tile_avail[10][13], 0);  // tile_avail untouched
}

// ------------------------------------------------------------ path helpers

TEST_F(InstallFilterTest, TrimDestFolder) {
  std::string p = "Halden/Resources/default data/earth.dat";
  trim_dest_folder(p);
  EXPECT_EQ(p, "Resources/default data/earth.dat");

  p = "readme.txt";
  trim_dest_folder(p);
  EXPECT_EQ(p, "readme.txt");

  p = "/abs/file";
  trim_dest_folder(p);
  EXPECT_EQ(p, "abs/file");

  p = "Halden/";
  trim_dest_folder(p);
  EXPECT_EQ(p, "");

  p = "";
  trim_dest_folder(p);
  EXPECT_EQ(p, "");

  // The local path: the install folder in place of the first component.
  const std::string saved = dest_dir_path;
  dest_dir_path = "/home/u/Corvane 9/";
  EXPECT_EQ(local_path("Halden/Resources/default data/earth.dat"), "/home/u/Corvane 9/Resources/default data/earth.dat");
  EXPECT_EQ(local_path("readme.txt"), "/home/u/Corvane 9/readme.txt");
  EXPECT_EQ(local_path("Halden/"), "/home/u/Corvane 9/");
  dest_dir_path = saved;
}

TEST_F(InstallFilterTest, PathHasNoFile) {
  EXPECT_EQ(path_has_no_file("Halden/Resources/"), 1);
  EXPECT_EQ(path_has_no_file("/"), 1);
  EXPECT_EQ(path_has_no_file("Halden/Resources/x.txt"), 0);
  EXPECT_EQ(path_has_no_file(""), 0);
}

// ------------------------------------------------------------------ totals

// A version with its archive and unpacked sizes and its on-disk state.
file_version_struct sized(file_version_struct v, float size_kb, float unpacked_kb, int is_current = 0) {
  v.size_kb = size_kb;
  v.unpacked_kb = unpacked_kb;
  v.is_current = is_current;
  return v;
}
file_version_struct gone(file_version_struct v) {
  v.sig_want = kSigGone;
  return v;
}

#define EXPECT_TOTALS(download, install, get, del)      \
  do {                                                  \
    recalc_disk_sizes();                                \
    EXPECT_FLOAT_EQ(stg.kb_to_download, (download));    \
    EXPECT_FLOAT_EQ(stg.kb_to_install, (install));      \
    EXPECT_EQ(stg.files_to_get, (get));                 \
    EXPECT_EQ(stg.files_to_delete, (del));              \
  } while (0)

TEST_F(InstallFilterTest, TotalsOfEmptyTableAreZero) {
  stg.kb_to_download = 5;
  stg.kb_to_install = 6;
  stg.files_to_get = 7;
  stg.files_to_delete = 8;
  EXPECT_TOTALS(0.0f, 0.0f, 0, 0);
}

TEST_F(InstallFilterTest, TotalsOfSimulatorFiles) {
  add(sized(sim_file("Halden/a"), 12.5f, 40.25f));          // missing
  add(sized(sim_file("Halden/b"), 1000, 2000, 1));          // current
  add(sized(sim_file("Halden/c", 6), 2.5f, 3.5f));          // missing, Linux only
  EXPECT_TOTALS(15.0f, 43.75f, 2, 0);
}

TEST_F(InstallFilterTest, TotalsOfRemovedFiles) {
  add(gone(sized(sim_file("Halden/a"), 12, 40)));  // not on disk: nothing to do
  EXPECT_TOTALS(0.0f, 0.0f, 0, 0);
  add(gone(sized(sim_file("Halden/b"), 12, 40, 1)));
  EXPECT_TOTALS(0.0f, 0.0f, 0, 1);
  // What the scan leaves for a removed file still on disk: its signature,
  // and never current.
  file_version_struct c = gone(sized(sim_file("Halden/c"), 12, 40));
  c.sig_have = "0123456789abcdef0123456789abcdef";
  add(c);
  EXPECT_TOTALS(0.0f, 0.0f, 0, 2);
  // Found absent, or not scanned at all: nothing to delete.
  current_version(2).sig_have = kSigNone;
  EXPECT_TOTALS(0.0f, 0.0f, 0, 1);
  current_version(2).sig_have.clear();
  EXPECT_TOTALS(0.0f, 0.0f, 0, 1);
}

TEST_F(InstallFilterTest, TotalsFollowChosenTiles) {
  add(sized(tile_file(10, 13), 5000, 9000, 1));  // installed and current
  add(sized(tile_file(19, 8), 300.5f, 700.25f));  // missing

  stg.tile_want[10][13] = 1;
  EXPECT_TOTALS(0.0f, 0.0f, 0, 0);

  // Deselecting the installed tile only adds a file to delete.
  stg.tile_want[10][13] = 0;
  EXPECT_TOTALS(0.0f, 0.0f, 0, 1);

  // Selecting the missing one adds its sizes and one file.
  stg.tile_want[10][13] = 1;
  stg.tile_want[19][8] = 1;
  EXPECT_TOTALS(300.5f, 700.25f, 1, 0);
}

TEST_F(InstallFilterTest, RemovedTileOnUnchosenTileCountsOnce) {
  add(gone(sized(tile_file(10, 13), 1, 1, 1)));
  EXPECT_TOTALS(0.0f, 0.0f, 0, 1);
}

TEST_F(InstallFilterTest, TotalsSkipFilesTheFilterRefuses) {
  add(sized(sim_file("Halden/mac", 1), 10, 20));
  add(gone(sized(sim_file("Halden/mac_gone", 1), 0, 0, 1)));
  add(sized(tile_file(1, 1), 30, 40));
  add(sized(tile_file(2, 2), 50, 60, 1));
  stg.tile_want[1][1] = 1;

  set_install_filter(1, 0);  // repair: no scenery
  EXPECT_TOTALS(0.0f, 0.0f, 0, 0);

  set_install_filter(0, 1);  // scenery only
  EXPECT_TOTALS(30.0f, 40.0f, 1, 1);
}

TEST_F(InstallFilterTest, OnlyTheCurrentVersionCounts) {
  // Three records of one path: the third is the current version.
  file_version_struct v3 = sized(sim_file("Halden/a"), 64, 128);
  v3.sig_want = "ffffffffffffffffffffffffffffffff";
  file_history_struct h;
  h.versions = {sized(sim_file("Halden/a"), 1, 2), gone(sized(sim_file("Halden/a"), 1, 2, 1)), v3};
  sim_info.push_back(h);

  EXPECT_EQ(&current_version(0), &sim_info[0].versions[2]);
  // The older "GONE" version on disk does not count for deletion.
  EXPECT_TOTALS(64.0f, 128.0f, 1, 0);

  // Once the third is installed nothing is left to do.
  sim_info[0].versions[2].is_current = 1;
  EXPECT_TOTALS(0.0f, 0.0f, 0, 0);
}

}  // namespace
