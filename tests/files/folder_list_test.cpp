// Listing a folder by file type: typing, filtering and the name order.
#include "files/folder_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "window/cmnd.h"

namespace {

struct Listing {
  std::vector<std::string> names;
  std::vector<int> types;
  int count = -1;
};

Listing list(const std::string& folder, int filter) {
  Listing l;
  // Stale contents must be replaced, not appended to.
  l.names = {"stale"};
  l.types = {99};
  l.count = opensave_getitems(folder, filter, l.names, l.types);
  return l;
}

void make_dir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

// The order the folder's stream yields its entries in.
std::vector<std::string> stream_order(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d)) out.emplace_back(e->d_name);
  closedir(d);
  return out;
}

// The listing order, written independently of the code under test.
bool listed_before(const std::string& a, const std::string& b) {
  auto key = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return static_cast<signed char>(c);
  };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return key(x) < key(y); });
}

class FolderList : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  TempDir dir;
};

}  // namespace

TEST_F(FolderList, HiddenEntriesAndDotsAreNeverListed) {
  ASSERT_TRUE(write_file(dir / ".hidden", "x"));
  ASSERT_TRUE(write_file(dir / ".image.png", "x"));
  ASSERT_TRUE(write_file(dir / ".plane.acf", "x"));
  make_dir(dir / ".git");
  ASSERT_TRUE(write_file(dir / "seen.png", "x"));
  make_dir(dir / "folder");

  for (int filter : {0, 1, 2, 3, 12}) {
    const Listing l = list(dir.path(), filter);
    ASSERT_EQ(l.count, static_cast<int>(l.names.size())) << filter;
    ASSERT_EQ(l.names.size(), l.types.size()) << filter;
    for (const std::string& n : l.names) EXPECT_NE(n[0], '.') << "filter " << filter << " listed " << n;
  }
  const Listing all = list(dir.path(), 0);
  EXPECT_EQ(all.names, (std::vector<std::string>{"folder", "seen.png"}));
  EXPECT_EQ(all.types, (std::vector<int>{ftype_folder, ftype_image}));
}

TEST_F(FolderList, TypeFilterKeepsFoldersAndThatType) {
  ASSERT_TRUE(write_file(dir / "A.wpn", "x"));
  make_dir(dir / "sub");
  ASSERT_TRUE(write_file(dir / "b.acf", "x"));

  const Listing weapons = list(dir.path(), ftype_wpn);
  EXPECT_EQ(weapons.count, 2);
  EXPECT_EQ(weapons.names, (std::vector<std::string>{"A.wpn", "sub"}));
  EXPECT_EQ(weapons.types, (std::vector<int>{ftype_wpn, ftype_folder}));

  const Listing folders = list(dir.path(), ftype_folder);
  EXPECT_EQ(folders.names, (std::vector<std::string>{"sub"}));

  const Listing everything = list(dir.path(), 0);
  EXPECT_EQ(everything.names, (std::vector<std::string>{"A.wpn", "b.acf", "sub"}));
  EXPECT_EQ(everything.types, (std::vector<int>{ftype_wpn, ftype_acf, ftype_folder}));
}

TEST_F(FolderList, ExtensionsGiveTypesForFilesAndFolders) {
  const struct {
    const char* name;
    int type;
  } files[] = {
      {"a.afl", ftype_afl}, {"b.WPN", ftype_wpn}, {"c.Acf", ftype_acf}, {"d.obj", ftype_obj},
      {"e.sit", ftype_sit}, {"f.smo", ftype_smo}, {"g.txt", ftype_txt}, {"h.fms", ftype_fms},
      {"i.tra", ftype_tra}, {"j.car", ftype_car}, {"k.spa", ftype_spa}, {"l.reg", ftype_reg},
      {"m.wav", ftype_wav}, {"n.bmp", ftype_image}, {"o.PNG", ftype_image}, {"p.fdr", ftype_fdr},
      {"q.dsf", ftype_dsf}, {"r.hgt", ftype_hgt}, {"readme", ftype_file}, {"png", ftype_file},
      {"x.png.bak", ftype_file}, {"y.jpg", ftype_file},
  };
  for (const auto& f : files) ASSERT_TRUE(write_file(dir / f.name, "x"));
  make_dir(dir / "x.obj");
  make_dir(dir / "plain");

  const Listing all = list(dir.path(), 0);
  ASSERT_EQ(all.names.size(), sizeof files / sizeof files[0] + 2);
  for (std::size_t i = 0; i < all.names.size(); ++i) {
    int want = -1;
    for (const auto& f : files)
      if (all.names[i] == f.name) want = f.type;
    if (all.names[i] == "x.obj") want = ftype_obj;
    if (all.names[i] == "plain") want = ftype_folder;
    EXPECT_EQ(all.types[i], want) << all.names[i];
  }

  // The folder named like an object is no folder to the folder filter, but
  // passes the object filter; a folder without an extension passes both.
  EXPECT_EQ(list(dir.path(), ftype_folder).names, (std::vector<std::string>{"plain"}));
  EXPECT_EQ(list(dir.path(), ftype_obj).names, (std::vector<std::string>{"d.obj", "plain", "x.obj"}));

  // A type that matches no extension keeps the one it came with.
  int type = ftype_folder;
  EXPECT_TRUE(opensave_takeit("any/", "folder", 5, type));
  EXPECT_EQ(type, ftype_folder);
  type = ftype_file;
  EXPECT_FALSE(opensave_takeit("any/", "file", 5, type));
  EXPECT_EQ(type, ftype_file);
  EXPECT_FALSE(opensave_takeit("any/", "", 0, type));
}

TEST_F(FolderList, NamesEqualIgnoringCaseKeepTheStreamOrder) {
  ASSERT_TRUE(write_file(dir / "b", "x"));
  ASSERT_TRUE(write_file(dir / "A", "x"));
  ASSERT_TRUE(write_file(dir / "a", "x"));
  const Listing l = list(dir.path(), 0);
  ASSERT_EQ(l.count, 3);
  EXPECT_EQ(l.names[2], "b");

  // A and a compare equal: they come out in the order the folder yields them.
  std::vector<std::string> streamed;
  for (const std::string& n : stream_order(dir.path()))
    if (n == "A" || n == "a") streamed.push_back(n);
  EXPECT_EQ((std::vector<std::string>{l.names[0], l.names[1]}), streamed);
}

TEST_F(FolderList, OrderFoldsLettersAndTakesBytesAsSigned) {
  // '_' (0x5F) lies between 'Z' and 'a': folding puts it before every letter.
  // Bytes 0x80 and up are negative and come before everything else; a
  // proper prefix comes before the longer name.
  const std::vector<std::string> want = {"\xc3\xa9t\xc3\xa9", "0file", "_x", "ab", "abc", "Apple2", "apple3",
                                         "Zed"};
  for (const std::string& n : want) ASSERT_TRUE(write_file(dir / n, "x"));
  EXPECT_EQ(list(dir.path(), 0).names, want);
}

TEST_F(FolderList, ImageFilterLeavesOutPanelBitmapsAndNumberedVariants) {
  ASSERT_TRUE(write_file(dir / "gauge.png", "x"));
  ASSERT_TRUE(write_file(dir / "gauge-1.png", "x"));
  ASSERT_TRUE(write_file(dir / "Gauge-4.PNG", "x"));
  ASSERT_TRUE(write_file(dir / "gauge-5.png", "x"));
  ASSERT_TRUE(write_file(dir / "photo.bmp", "x"));
  ASSERT_TRUE(write_file(dir / "notes.txt", "x"));
  make_dir(dir / "more");
  make_dir(dir / "old-2.bak");

  const Listing l = list(dir.path(), ftype_images_filter);
  EXPECT_EQ(l.names, (std::vector<std::string>{"gauge-5.png", "gauge.png", "more", "photo.bmp"}));
  EXPECT_EQ(l.types, (std::vector<int>{ftype_image, ftype_image, ftype_folder, ftype_image}));

  // Everything under the panel-bitmap folder is refused, in any letter case,
  // folders included, and so is the folder itself: the first 32 characters
  // decide. A shorter path is not refused.
  const std::string panels = "Resources/bitmaps/cockpit/-panels-/";
  int type = ftype_file;
  EXPECT_FALSE(opensave_takeit(panels, "gauge.png", ftype_images_filter, type));
  type = ftype_folder;
  EXPECT_FALSE(opensave_takeit("resources/BITMAPS/Cockpit/-panels-/", "sub", ftype_images_filter, type));
  type = ftype_file;
  EXPECT_FALSE(opensave_takeit("Resources/bitmaps/cockpit/-panelX", "y.png", ftype_images_filter, type));
  type = ftype_folder;
  EXPECT_TRUE(opensave_takeit("Resources/bitmaps/cockpit/", "-pane", ftype_images_filter, type));
  type = ftype_file;
  EXPECT_TRUE(opensave_takeit("Resources/bitmaps/cockpit/-other/", "gauge.png", ftype_images_filter, type));

  // Listed through a relative folder from the working folder as well.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_TRUE(write_file(dir / (panels + "panel.png"), "x"));
  ASSERT_TRUE(write_file(dir / "Resources/bitmaps/cockpit/dial.png", "x"));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const Listing in_panels = list(panels, ftype_images_filter);
  const Listing beside = list("Resources/bitmaps/cockpit/", ftype_images_filter);
  const Listing unfiltered = list(panels, 0);
  ASSERT_EQ(chdir(here), 0);
  EXPECT_EQ(in_panels.count, 0);
  EXPECT_EQ(beside.names, (std::vector<std::string>{"dial.png"}));
  EXPECT_EQ(unfiltered.names, (std::vector<std::string>{"panel.png"}));
}

TEST_F(FolderList, CommandFiltersListTheRegistry) {
  cmnd.add_cmd("folder_list_test/flaps/up", "Flaps up");
  cmnd.add_cmd("folder_list_test/flaps/down", "Flaps down");
  cmnd.add_cmd("folder_list_test/brakes", "Brakes");
  cmnd.add_cmd("folder_list_test/Autopilot/hdg", "Heading hold");

  // Sub-paths lose their '/' and are typed as folders; commands carry the filter.
  const Listing l = list("folder_list_test/", ftype_command_paths);
  EXPECT_EQ(l.count, 3);
  EXPECT_EQ(l.names, (std::vector<std::string>{"Autopilot", "brakes", "flaps"}));
  EXPECT_EQ(l.types, (std::vector<int>{ftype_folder, ftype_command_paths, ftype_folder}));

  const Listing deeper = list("folder_list_test/flaps/", ftype_command_paths);
  EXPECT_EQ(deeper.names, (std::vector<std::string>{"down", "up"}));
  EXPECT_EQ(deeper.types, (std::vector<int>{ftype_command_paths, ftype_command_paths}));

  // Filter 20 reads neither the registry nor a folder, even one that exists.
  ASSERT_TRUE(write_file(dir / "file.txt", "x"));
  const Listing none = list(dir.path(), ftype_commands);
  EXPECT_EQ(none.count, 0);
  EXPECT_TRUE(none.names.empty());
  EXPECT_TRUE(none.types.empty());
}

TEST_F(FolderList, FoldersThatCannotBeListed) {
  // A missing folder lists as empty.
  const Listing missing = list(dir / "nowhere/", 0);
  EXPECT_EQ(missing.count, 0);
  EXPECT_TRUE(missing.names.empty());
  EXPECT_TRUE(missing.types.empty());

  // An empty folder argument and "/" are not refused.
  EXPECT_EQ(list("", 0).count, 0);
  const Listing root = list("/", ftype_folder);
  EXPECT_GT(root.count, 0);
  EXPECT_NE(std::find(root.names.begin(), root.names.end(), "tmp"), root.names.end());
}

TEST_F(FolderList, FolderWithoutFinalSlashIsFatal) {
  const std::string folder = dir.path().substr(0, dir.path().size() - 1);
  EXPECT_EXIT(list(folder, 0), ::testing::ExitedWithCode(1),
              "Working path does not appear to be a directory!");
}

TEST_F(FolderList, LinksAreFollowedAndDanglingOnesLeftOut) {
  make_dir(dir / "real_folder");
  ASSERT_TRUE(write_file(dir / "real.acf", "x"));
  ASSERT_EQ(symlink((dir / "real_folder").c_str(), (dir / "folder_link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "real.acf").c_str(), (dir / "file_link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "gone.acf").c_str(), (dir / "dangling.acf").c_str()), 0);
  ASSERT_EQ(symlink("loop", (dir / "loop").c_str()), 0);

  const Listing l = list(dir.path(), 0);
  EXPECT_EQ(l.names, (std::vector<std::string>{"file_link", "folder_link", "real.acf", "real_folder"}));
  EXPECT_EQ(l.types, (std::vector<int>{ftype_file, ftype_folder, ftype_acf, ftype_folder}));
}

TEST_F(FolderList, LargeFolderListsCompleteAndSorted) {
  // Names in mixed case and with bytes above 0x7F, created in scrambled order.
  constexpr int kCount = 20000;
  std::vector<std::string> created;
  created.reserve(kCount);
  for (int i = 0; i < kCount; ++i) {
    const int k = (i * 7919) % kCount;
    char name[64];
    snprintf(name, sizeof name, "%c%05d%s", "aBcD\xc3z_0"[k % 8], k, k % 3 ? ".obj" : "");
    created.emplace_back(name);
    const int fd = open((dir / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(close(fd), 0);
  }

  const Listing l = list(dir.path(), 0);
  ASSERT_EQ(l.count, kCount);
  ASSERT_EQ(l.names.size(), static_cast<std::size_t>(kCount));
  for (std::size_t i = 1; i < l.names.size(); ++i)
    ASSERT_FALSE(listed_before(l.names[i], l.names[i - 1])) << l.names[i - 1] << " before " << l.names[i];
  std::vector<std::string> got = l.names, want = created;
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  for (std::size_t i = 0; i < l.names.size(); ++i)
    ASSERT_EQ(l.types[i], l.names[i].size() > 6 ? ftype_obj : ftype_file) << l.names[i];
}
