#include "files/find_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"


namespace {

// Runs findPath on a private copy of path and returns the result.
std::string repaired(const std::string& path) {
  std::string buf = path;
  findPath(buf.data());
  EXPECT_EQ(buf.size(), path.size());
  return buf;
}

class FindPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(mkdir((dir / "data").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(dir / "data/file.txt", "x"));
  }
  TempDir dir;
};

TEST_F(FindPathTest, RepairsEveryWronglyCasedComponent) {
  EXPECT_EQ(repaired(dir / "Data/File.TXT"), dir / "data/file.txt");
  EXPECT_EQ(repaired(dir / "DATA/"), dir / "data/");
  EXPECT_EQ(repaired(dir / "DATA//FILE.TXT"), dir / "data//file.txt");
}

TEST_F(FindPathTest, StopsAtTheFirstMissingComponent) {
  // "Missing" matches nothing, so it and everything after it stay as written,
  // while the components in front of it are still repaired.
  EXPECT_EQ(repaired(dir / "Data/Missing/FILE.TXT"), dir / "data/Missing/FILE.TXT");
  EXPECT_EQ(repaired(dir / "X/Y"), dir / "X/Y");
  EXPECT_EQ(repaired(dir / "data/FILE.TXT/more"), dir / "data/FILE.TXT/more") << "a file is no folder";
  EXPECT_EQ(repaired(dir / "DATA"), dir / "DATA") << "a folder is no file";
}

TEST_F(FindPathTest, LeavesAnExistingPathAlone) {
  EXPECT_EQ(repaired(dir / "data/file.txt"), dir / "data/file.txt");
  EXPECT_EQ(repaired("/"), "/");
  std::string empty;
  findPath(empty.data());
  EXPECT_EQ(empty, "");
}

TEST_F(FindPathTest, KeepsAComponentThatExistsAsWrittenOverACaseTwin) {
  // Two folders that differ only in case: the one named exactly must win
  // whatever order the folder lists them in.
  ASSERT_EQ(mkdir((dir / "Foo").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "foo").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir / "Foo/bar", "1"));
  ASSERT_TRUE(write_file(dir / "foo/baz", "2"));
  EXPECT_EQ(repaired(dir / "Foo/BAR"), dir / "Foo/bar");
  EXPECT_EQ(repaired(dir / "foo/BAZ"), dir / "foo/baz");
}

TEST_F(FindPathTest, RepairsARelativePathFromTheCurrentFolder) {
  char old_cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const std::string got = repaired("DATA/File.txt");
  const std::string missing = repaired("Nothing/File.txt");
  ASSERT_EQ(chdir(old_cwd), 0);
  EXPECT_EQ(got, "data/file.txt");
  EXPECT_EQ(missing, "Nothing/File.txt");
}

TEST_F(FindPathTest, HandlesPathsFarLongerThanFiveHundredCharacters) {
  const std::string part(60, 'd');
  std::string real = dir.path();
  std::string asked = dir.path();
  for (int i = 0; i < 12; ++i) {
    real += part + "/";
    asked += std::string(60, 'D') + "/";
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0);
  }
  real += "Leaf.bin";
  asked += "LEAF.BIN";
  ASSERT_GT(asked.size(), 700u);
  ASSERT_TRUE(write_file(real, "leaf"));
  EXPECT_EQ(repaired(asked), real);
}

}  // namespace
