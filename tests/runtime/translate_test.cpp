// Language files and the translation lookup.
#include "runtime/translate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/cmdline.h"
#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "support/log_capture.h"

namespace {

const std::string kHeader = "I\n900 version\nTRANSLATION\n";

// Each test starts and ends in English, with "--missing_strings" as it found it.
class Translate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    saved_options = cmdline.options;
    UTL_translate_clear();
  }
  void TearDown() override {
    UTL_translate_clear();
    cmdline.options = saved_options;
  }

  // Writes a language file (header and body) and loads it.
  void load(const std::string& body, const std::string& header = kHeader) {
    const std::string path = dir / "Installer2.txt";
    ASSERT_TRUE(write_file(path, header + body));
    UTL_translate_load(path);
  }
  // Loads a body from a heap block of exactly its size, so that AddressSanitizer
  // sees any read past its end.
  static void load_body_exact(const std::string& body) {
    std::unique_ptr<char[]> copy(new char[body.size()]);
    memcpy(copy.get(), body.data(), body.size());
    UTL_translate_load_body(copy.get(), copy.get() + body.size());
  }

  static std::string tr(const std::string& s) { return UTL_translate_string(s); }

  TempDir dir;
  std::map<std::string, std::string> saved_options;
};

}  // namespace

TEST_F(Translate, NothingLoadedPassesTextsThrough) {
  EXPECT_EQ(tr("Hello"), "Hello");
  EXPECT_EQ(tr(""), "");
  EXPECT_EQ(tr(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST_F(Translate, LineTextStartsAfterOneBlankOrTab) {
  load("STRING  Hello====Bonjour\n"
       "STRING\tWorld====Monde\n"
       "  \t STRING Indented====Indenté\n"
       "STRING\t\tTabbed====Tabulé  \n");
  EXPECT_EQ(tr(" Hello"), "Bonjour") << "a second blank belongs to the text";
  EXPECT_EQ(tr("Hello"), "Hello");
  EXPECT_EQ(tr("World"), "Monde");
  EXPECT_EQ(tr("Indented"), "Indenté");
  EXPECT_EQ(tr("\tTabbed"), "Tabulé  ") << "trailing blanks belong to the translation";
}

TEST_F(Translate, OtherLinesAreIgnoredSilently) {
  LogCapture log(dir / "log.txt");
  load("\n\n# a comment====not read\n"
       "STRINGS Plural====Pluriel\n"
       "string lower====minuscule\n"
       "STRING\n"
       "STRING\rEndsAtCR====x\n"
       "TEXT Other====Autre\n"
       "STRING Kept====Gardé\n");
  EXPECT_EQ(tr("Plural"), "Plural");
  EXPECT_EQ(tr("lower"), "lower");
  EXPECT_EQ(tr("Other"), "Other");
  EXPECT_EQ(tr("EndsAtCR====x"), "EndsAtCR====x");
  EXPECT_EQ(tr("Kept"), "Gardé");
  EXPECT_EQ(log.text(), "");
}

TEST_F(Translate, BadLinesAreReportedAndTheRestIsRead) {
  LogCapture log(dir / "log.txt");
  load("STRING Hello====\n"
       "STRING No splitter here\n"
       "STRING Hello====B\n"
       "STRING a====b====c\n"
       "STRING ====empty English\n"
       "STRING Hello====Second\n");
  EXPECT_EQ(tr("Hello"), "B");
  EXPECT_EQ(tr("a"), "b====c");
  EXPECT_EQ(tr(""), "empty English");
  EXPECT_EQ(log.text(),
            "ERROR: language file line Hello==== missing right side translation.\n"
            "ERROR: language file line No splitter here missing ==== splitter.\n"
            "ERROR: language line Hello====Second is a second translation of Hello====B\n");
}

TEST_F(Translate, BackslashRAndNAreTheOnlyEscapes) {
  load("STRING two\\nlines====deux\\nlignes\n"
       "STRING ret\\rurn====re\\r\\ntour\n"
       "STRING tab\\there====tab\\tici\n"
       "STRING double\\\\n====d\\\\\\n\n"
       "STRING trailing\\====fin\\\n");
  EXPECT_EQ(tr("two\nlines"), "deux\nlignes");
  EXPECT_EQ(tr("two\\nlines"), "two\\nlines");
  EXPECT_EQ(tr("ret\rurn"), "re\r\ntour");
  EXPECT_EQ(tr("tab\\there"), "tab\\tici");
  EXPECT_EQ(tr("double\\\n"), "d\\\\\n");
  EXPECT_EQ(tr("trailing\\"), "fin\\");
}

TEST_F(Translate, EveryKindOfLineEndWorks) {
  const std::vector<std::string> ends = {"\n", "\r\n", "\r", std::string(1, '\0'), "\n\n\r\n", "\n \t "};
  for (const std::string& e : ends) {
    SCOPED_TRACE(testing::PrintToString(e));
    load("STRING One====Un" + e + "STRING Two====Deux" + e + "ignored line" + e + "STRING Three====Trois" + e);
    EXPECT_EQ(tr("One"), "Un");
    EXPECT_EQ(tr("Two"), "Deux");
    EXPECT_EQ(tr("Three"), "Trois");
  }
  // The header may end in CR too, with blank lines after it.
  load("STRING One====Un\r", "I\r900 version\rTRANSLATION\r\r\r");
  EXPECT_EQ(tr("One"), "Un");
}

TEST_F(Translate, RefusedHeadersLeaveEnglish) {
  const std::string body = "STRING Hello====Bonjour\n";
  const std::vector<std::string> headers = {
      "I\n901 version\nTRANSLATION\n", "I\n900 version\nINSTALLER\n", "I\n900 version\nTRANSLATIONS\n",
      "I\n900 version\n",              "X\n900 version\nTRANSLATION\n", "I\n9000 version\nTRANSLATION\n",
      "",
  };
  for (const std::string& h : headers) {
    SCOPED_TRACE(h);
    load("STRING Before====Avant\n");
    ASSERT_EQ(tr("Before"), "Avant");
    load(body, h);
    EXPECT_EQ(tr("Hello"), "Hello");
    EXPECT_EQ(tr("Before"), "Before") << "a failed load still clears the old tables";
  }
  UTL_translate_load(dir / "no such file.txt");
  EXPECT_EQ(tr("Hello"), "Hello");
  UTL_translate_load(dir.path());  // a folder
  EXPECT_EQ(tr("Hello"), "Hello");
}

TEST_F(Translate, ClearAndReloadReplaceTheTables) {
  load("STRING Hello====Bonjour\n");
  EXPECT_EQ(tr("Hello"), "Bonjour");
  UTL_translate_clear();
  EXPECT_EQ(tr("Hello"), "Hello");
  load("STRING Hello====Hallo\n");
  EXPECT_EQ(tr("Hello"), "Hallo");
  load("STRING Other====Andere\n");
  EXPECT_EQ(tr("Hello"), "Hello");
  EXPECT_EQ(tr("Other"), "Andere");
  load("");  // a header alone: loaded, nothing translated
  EXPECT_EQ(tr("Other"), "Other");
}

TEST_F(Translate, MissingStringsAreLoggedOncePerLoad) {
  cmdline.options["--missing_strings"] = "";
  LogCapture log(dir / "log.txt");

  EXPECT_EQ(tr("Untranslated"), "Untranslated");
  EXPECT_EQ(log.text(), "") << "nothing is logged while no file is loaded";

  load("STRING Known====Connu\n");
  EXPECT_EQ(tr("Two\nlines\r"), "Two\nlines\r");
  EXPECT_EQ(tr("Two\nlines\r"), "Two\nlines\r");
  EXPECT_EQ(tr("Known"), "Connu");
  EXPECT_EQ(log.text(), "STRING Two\\nlines\\r====Two\\nlines\\r\n");

  load("STRING Known====Connu\n");
  EXPECT_EQ(tr("Two\nlines\r"), "Two\nlines\r");
  EXPECT_EQ(log.text(),
            "STRING Two\\nlines\\r====Two\\nlines\\r\n"
            "STRING Two\\nlines\\r====Two\\nlines\\r\n");

  UTL_translate_clear();
  EXPECT_EQ(tr("After clear"), "After clear");
  EXPECT_EQ(log.text().find("After clear"), std::string::npos);
}

TEST_F(Translate, MissingStringsNeedTheOption) {
  cmdline.options.erase("--missing_strings");
  LogCapture log(dir / "log.txt");
  load("STRING Known====Connu\n");
  EXPECT_EQ(tr("Unknown"), "Unknown");
  EXPECT_EQ(log.text(), "");
}

// A file that ends anywhere, even inside the header, the word or a line, loads
// what is complete and never reads past its end.
TEST_F(Translate, EveryPrefixOfAFileLoadsSafely) {
  const std::string body =
      "STRING One====Un\n"
      "  STRING Two====Deux\r\n"
      "STRINGS skipped\n"
      "STRING Three====Trois\r"
      "STRING Four====Quatre";
  const std::string file = kHeader + body;
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"One", "Un"}, {"Two", "Deux"}, {"Three", "Trois"}, {"Four", "Quatre"}};

  for (size_t n = 0; n <= file.size(); ++n) {
    const std::string prefix = file.substr(0, n);
    SCOPED_TRACE(testing::PrintToString(prefix));
    ASSERT_TRUE(write_file(dir / "cut.txt", prefix));
    UTL_translate_load(dir / "cut.txt");

    for (const auto& [english, translation] : pairs) {
      const std::string result = tr(english);
      const std::string::size_type at = prefix.find(english + "====");
      if (at == std::string::npos || at + english.size() + 4 >= prefix.size()) {
        EXPECT_EQ(result, english) << "a line without its right side is not loaded";
        continue;
      }
      // Loaded: all of the translation, or as much of it as the file holds.
      const std::string held = prefix.substr(at + english.size() + 4);
      const std::string expected = held.size() < translation.size() ? held : translation;
      EXPECT_EQ(result, expected);
    }
  }
}

TEST_F(Translate, BodyEndingAnywhereIsReadInBounds) {
  LogCapture log(dir / "log.txt");
  static const char kBody[] =
      "  STRING One====Un\r\n"
      "STRING\tTwo====Deux\0"
      "STRING Three====\n"
      "STRINGS x\n"
      "STRING Four====Quatre====";
  const std::string full(kBody, sizeof kBody - 1);
  for (size_t n = 0; n <= full.size(); ++n) {
    SCOPED_TRACE(n);
    load_body_exact(full.substr(0, n));
  }
  // The whole body, read the same way.
  load_body_exact(full);
  EXPECT_EQ(tr("One"), "Un");
  EXPECT_EQ(tr("Two"), "Deux");
  EXPECT_EQ(tr("Three"), "Three");
  EXPECT_EQ(tr("Four"), "Quatre====");

  // The file's last bytes are the word itself, the word and its blank, or the splitter.
  for (const char* tail : {"STRING", "STRING ", "STRIN", "STRING X====", "STRING ====", "STRING\t===="}) {
    SCOPED_TRACE(tail);
    load_body_exact("STRING Early====Tôt\n" + std::string(tail));
    EXPECT_EQ(tr("Early"), "Tôt");
    load("STRING Early====Tôt\n" + std::string(tail));
    EXPECT_EQ(tr("Early"), "Tôt");
  }
  EXPECT_NE(log.text().find("ERROR: language file line X==== missing right side translation.\n"),
            std::string::npos);
  EXPECT_NE(log.text().find("ERROR: language file line  missing ==== splitter.\n"), std::string::npos);

  UTL_translate_load_body(nullptr, nullptr);
  EXPECT_EQ(tr("Early"), "Early");
}
