// Choosing the language file by the language index.
#include "ui/language.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "runtime/translate.h"
#include "support/temp_dir.h"
#include "window/mnw.h"

namespace {

// Runs each test inside a fresh folder holding a language file per folder,
// each translating "Hello" to the folder's own word; restores the working
// folder and the language index afterwards.
class Language : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    saved_cwd = buf;
    saved_lang = mnw.lang;
    const char* const folders[] = {"text/english/", "text/french/", "text/german/", "text/italian/",
                                   "text/spanish/", "text/portugese/", "text/korean/"};
    for (const char* folder : folders) {
      ASSERT_TRUE(write_file(dir / ("Resources/" + std::string(folder) + "Installer2.txt"),
                             "I\n900 version\nTRANSLATION\nSTRING Hello====" + std::string(folder) + "\n"));
    }
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(saved_cwd.c_str()), 0);
    mnw.lang = saved_lang;
    UTL_translate_clear();
  }

  static std::string chosen(int lang) {
    mnw.lang = lang;
    MACIBM_setupforlang();
    return UTL_translate_string("Hello");
  }

  TempDir dir;
  std::string saved_cwd;
  int saved_lang = 0;
};

}  // namespace

TEST_F(Language, EachIndexReadsItsFolder) {
  EXPECT_EQ(chosen(3), "text/italian/");
  EXPECT_EQ(chosen(1), "text/french/");
  EXPECT_EQ(chosen(2), "text/german/");
  EXPECT_EQ(chosen(4), "text/spanish/");
  EXPECT_EQ(chosen(5), "text/portugese/");
  EXPECT_EQ(chosen(6), "text/korean/");
}

TEST_F(Language, EnglishReadsNoFileAndClears) {
  EXPECT_EQ(chosen(3), "text/italian/");
  EXPECT_EQ(chosen(0), "Hello") << "index 0 clears the tables even with an English file present";
}

TEST_F(Language, IndexWithoutAFolderReadsTheResourcesFile) {
  ASSERT_TRUE(write_file(dir / "Resources/Installer2.txt", "I\n900 version\nTRANSLATION\nSTRING Hello====top\n"));
  EXPECT_EQ(chosen(7), "top");
  EXPECT_EQ(chosen(-1), "top");
}

TEST_F(Language, MissingFileLeavesEnglish) {
  EXPECT_EQ(chosen(3), "text/italian/");
  ASSERT_EQ(unlink("Resources/text/german/Installer2.txt"), 0);
  EXPECT_EQ(chosen(2), "Hello");
}
