#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "files/xmap.h"
#include "runtime/globals.h"
#include "support/guarded_reader.h"
#include "support/temp_dir.h"

namespace {

const int k840_900[] = {840, 900, 0};

struct Checked {
  int version = 0;
  std::int64_t at = -1;  // cursor offset from the start
  std::string rest = "<untouched>";
  int swap = 0;
};

// Checks the header of data held in a heap block of exactly its size, so
// that any read past the end is caught by the address sanitizer.
Checked check_bytes(const std::string& data, int type, const int* versions, const char* keyword,
                    bool want_rest = true, int swap_before = 0) {
  std::unique_ptr<char[]> copy(new char[data.size()]);
  std::memcpy(copy.get(), data.data(), data.size());
  xmap_class r("");
  r.view(copy.get(), static_cast<std::int64_t>(data.size()));
  r.swap = swap_before;
  Checked c;
  c.version = r.check_file(type, versions, keyword, want_rest ? &c.rest : nullptr);
  EXPECT_TRUE(r.start <= r.cursor && r.cursor <= r.end);
  c.at = r.cursor - r.start;
  c.swap = r.swap;
  return c;
}

// Runs the check on a real file.
Checked check_file_at(const std::string& path, int type, const int* versions, const char* keyword) {
  xmap_class r(path);
  Checked c;
  c.version = r.check_file(type, versions, keyword, &c.rest);
  c.at = r.start ? r.cursor - r.start : -1;
  c.swap = r.swap;
  return c;
}

std::string bin(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

// ---- writing ----

TEST(OufOpen, WritesTheExactHeaders) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "text.txt", header_text, 900, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_FALSE(ouf.fail());
  EXPECT_EQ(read_file(dir / "text.txt"), "I\n900 version\n");

  ASSERT_EQ(ouf_open(dir / "owned.txt", header_text, 7, " by somebody"), 1);
  ouf.close();
  EXPECT_EQ(read_file(dir / "owned.txt"), "I\n7 version by somebody\n");

  ASSERT_EQ(ouf_open(dir / "seven.bin", header_binary, 7, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_EQ(read_file(dir / "seven.bin"), bin({0x69, 0x07, 0, 0, 0}));

  ASSERT_EQ(ouf_open(dir / "neg.bin", header_binary, -2, "no-copyright-string"), 1);
  ouf << "x";
  ouf.close();
  EXPECT_EQ(read_file(dir / "neg.bin"), bin({0x69, 0xfe, 0xff, 0xff, 0xff, 'x'}));
}

TEST(OufOpen, TextFilesGetFixedPointNumbers) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "f.txt", header_text, 1, "no-copyright-string"), 1);
  ouf << 1.5 << " " << 2e10;
  ouf.close();
  EXPECT_EQ(read_file(dir / "f.txt"), "I\n1 version\n1.500000 20000000000.000000");
  ouf.unsetf(std::ios::floatfield);
}

TEST(OufOpen, LowerCasesTheLastThreeCharacters) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "LIST.TXT", header_text, 1, "no-copyright-string"), 1);
  ASSERT_EQ(ouf_open(dir / "NAME.Ab", header_text, 1, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_TRUE(exists_at_all(dir / "LIST.txt"));
  EXPECT_FALSE(exists_at_all(dir / "LIST.TXT"));
  EXPECT_TRUE(exists_at_all(dir / "NAME.ab"));

  // Short relative paths: three characters stay, four are touched.
  char old_cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const int short_ok = ouf_open("X.T", header_text, 1, "no-copyright-string");
  const int four_ok = ouf_open("ABCD", header_text, 1, "no-copyright-string");
  ouf.close();
  ASSERT_EQ(chdir(old_cwd), 0);
  EXPECT_EQ(short_ok, 1);
  EXPECT_EQ(four_ok, 1);
  EXPECT_TRUE(exists_at_all(dir / "X.T"));
  EXPECT_TRUE(exists_at_all(dir / "Abcd"));
  EXPECT_FALSE(exists_at_all(dir / "ABCD"));
}

TEST(OufOpen, MakesOneMissingFolderButNotTwo) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "new/file.txt", header_text, 900, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_EQ(read_file(dir / "new/file.txt"), "I\n900 version\n");

  testing::internal::CaptureStderr();
  const int result = ouf_open(dir / "a/b/file.txt", header_text, 900, "no-copyright-string");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_NE(err.find("I could not save the file!"), std::string::npos) << err;
  EXPECT_NE(err.find(dir / "a/b/file.txt"), std::string::npos) << err;
  EXPECT_FALSE(exists_at_all(dir / "a"));
  // Whatever the caller then writes goes nowhere and shows as a failure.
  ouf << "body";
  EXPECT_TRUE(ouf.fail());
  EXPECT_FALSE(ouf.is_open());
}

TEST(OufOpen, AHeaderThatCannotBeWrittenIsAFailure) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  // /dev/full opens fine but every write fails with "no space left".
  testing::internal::CaptureStderr();
  const int text = ouf_open("/dev/full", header_text, 900, "no-copyright-string");
  const int binary = ouf_open("/dev/full", header_binary, 900, "no-copyright-string");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(text, 0);
  EXPECT_EQ(binary, 0);
  EXPECT_NE(err.find("I could not save the file!"), std::string::npos) << err;
  ouf.clear();
}

TEST(OufOpen, WhatItWritesReadsBack) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "d.txt", header_text, 900, "no-copyright-string"), 1);
  ouf << "INSTALLER\nFILE x\n";
  ouf.close();
  ASSERT_FALSE(ouf.fail());
  xmap_class r(dir / "d.txt");
  std::string rest = "x";
  EXPECT_EQ(r.check_file(header_text, k840_900, "INSTALLER", &rest), 900);
  EXPECT_EQ(rest, "version");
  EXPECT_EQ(std::string(r.cursor, static_cast<std::size_t>(r.remaining())), "FILE x\n");

  ASSERT_EQ(ouf_open(dir / "d.bin", header_binary, 840, "no-copyright-string"), 1);
  ouf << "body";
  ouf.close();
  ASSERT_FALSE(ouf.fail());
  xmap_class b(dir / "d.bin");
  b.swap = 1;
  EXPECT_EQ(b.check_file(header_binary, k840_900, nullptr, nullptr), 840);
  EXPECT_EQ(b.swap, 0);
  EXPECT_EQ(b.cursor - b.start, 5);
}

TEST(FileHeaderDeathTest, UnknownTypesAreFatal) {
  TempDir dir;
  EXPECT_EXIT(ouf_open(dir / "x.txt", 3, 1, "no-copyright-string"), ::testing::ExitedWithCode(1),
              "Bad ouf_open type!");
  EXPECT_FALSE(exists_at_all(dir / "x.txt"));
  ASSERT_TRUE(write_file(dir / "y.txt", "I\n1 version\n"));
  xmap_class r(dir / "y.txt");
  EXPECT_EXIT(r.check_file(10002, k840_900, nullptr, nullptr), ::testing::ExitedWithCode(1),
              "Bad check_file type!");
}

// ---- reading: binary ----

TEST(CheckFileBinary, MarkSetsTheByteOrder) {
  Checked big = check_bytes(bin({'a', 0x00, 0x00, 0x03, 0x84, 0, 0, 0, 1}), header_binary, k840_900, nullptr);
  EXPECT_EQ(big.version, 900);
  EXPECT_EQ(big.swap, 1);
  EXPECT_EQ(big.at, 5);
  EXPECT_EQ(big.rest, "<untouched>");

  Checked little = check_bytes(bin({'i', 0x84, 0x03, 0x00, 0x00}), header_binary, k840_900, nullptr, true, 1);
  EXPECT_EQ(little.version, 900);
  EXPECT_EQ(little.swap, 0);
  EXPECT_EQ(little.at, 5);

  // The wrong order reads a version that is not in the list.
  EXPECT_EQ(check_bytes(bin({'i', 0x00, 0x00, 0x03, 0x84}), header_binary, k840_900, nullptr).version, 0);
  EXPECT_EQ(check_bytes(bin({'I', 0x84, 0x03, 0x00, 0x00}), header_binary, k840_900, nullptr).version, 0);
  const int negative[] = {-2, 0};
  EXPECT_EQ(check_bytes(bin({'a', 0xff, 0xff, 0xff, 0xfe}), header_binary, negative, nullptr).version, -2);
}

TEST(CheckFileBinary, BodyOfABigEndianFileIsSwapped) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "big.bin", bin({'a', 0, 0, 3, 0x84, 0x01, 0x02, 0x03, 0x04, 0x05})));
  xmap_class r(dir / "big.bin");
  ASSERT_EQ(r.check_file(header_binary, k840_900, nullptr, nullptr), 900);
  unsigned char word[5];
  r.read_n_rev(word, 5);
  const unsigned char want[5] = {0x04, 0x03, 0x02, 0x01, 0x05};
  EXPECT_EQ(std::memcmp(word, want, 5), 0);
}

TEST(CheckFileBinary, KeywordIsTestedAfterTheVersion) {
  const std::string head = bin({'i', 0x84, 0x03, 0, 0});
  EXPECT_EQ(check_bytes(head + "DVD\nbody", header_binary, k840_900, "DVD").version, 900);
  EXPECT_EQ(check_bytes(head + "DVD\nbody", header_binary, k840_900, "DVD").at, 9);
  EXPECT_EQ(check_bytes(head + "DVDX", header_binary, k840_900, "DVD").at, 5);
  EXPECT_EQ(check_bytes(head, header_binary, k840_900, "DVD").version, 0);
}

// ---- reading: text ----

TEST(CheckFileText, LooseLayoutWithRestAndKeyword) {
  const std::string file = "A and more\r\n\r\n  900  any title\r\nINSTALLER\r\nFILE first";
  const std::size_t body = file.find("FILE");
  const std::size_t word = file.find("INSTALLER");

  Checked c = check_bytes(file, header_text, k840_900, "INSTALLER");
  EXPECT_EQ(c.version, 900);
  EXPECT_EQ(c.rest, "any title");
  EXPECT_EQ(c.at, static_cast<std::int64_t>(body));

  c = check_bytes(file, header_text, k840_900, "INSTALLER", false);
  EXPECT_EQ(c.version, 900);
  EXPECT_EQ(c.at, static_cast<std::int64_t>(body));

  // "INSTALL" is only the start of the word in the file.
  c = check_bytes(file, header_text, k840_900, "INSTALL");
  EXPECT_EQ(c.version, 0);
  EXPECT_EQ(c.at, static_cast<std::int64_t>(word));

  // Without a keyword the cursor stops at the type word line.
  c = check_bytes(file, header_text, k840_900, nullptr);
  EXPECT_EQ(c.version, 900);
  EXPECT_EQ(c.at, static_cast<std::int64_t>(word));

  // A version that is not accepted fails even though the keyword fits.
  const int others[] = {840, 0};
  c = check_bytes(file, header_text, others, "INSTALLER");
  EXPECT_EQ(c.version, 0);
  EXPECT_EQ(c.at, static_cast<std::int64_t>(word));
  const int none[] = {0};
  EXPECT_EQ(check_bytes(file, header_text, none, nullptr).version, 0);
  EXPECT_EQ(check_bytes(file, header_text, nullptr, nullptr).version, 0);
}

TEST(CheckFileText, SignsOfTheVersion) {
  const int list[] = {-5, 5, 0};
  struct Case {
    const char* line;
    int version;
  } cases[] = {
      {"-5 version", -5}, {"-+5 version", 5}, {"+5 version", 5}, {"- 5 version", 0},
      {"+ 5 version", 0}, {"+-5 version", 0}, {"--5 version", 0}, {"\t-5\tversion", -5},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(check_bytes(std::string("I\n") + k.line + "\n", header_text, list, nullptr).version, k.version)
        << k.line;
  }
}

TEST(CheckFileText, MalformedVersionsReadAsZero) {
  const int list[] = {9, 900, 999999999, 1234567890, 123456789, 0};
  struct Case {
    const char* line;
    int version;
  } cases[] = {
      {"9x version", 0},
      {"x9 version", 0},
      {"9.0 version", 0},
      {"999999999 version", 999999999},
      {"1234567890 version", 0},  // ten digits
      {"12345678901234567890123 version", 0},
      {"0000000900 version", 0},
      {"0900 version", 900},
      {"version", 0},
      {"", 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(check_bytes(std::string("I\n") + k.line + "\n", header_text, list, nullptr).version, k.version)
        << k.line;
  }
}

TEST(CheckFileText, RestText) {
  EXPECT_EQ(check_bytes("I\n900\n", header_text, k840_900, nullptr).rest, "");
  EXPECT_EQ(check_bytes("I\n900", header_text, k840_900, nullptr).rest, "");
  EXPECT_EQ(check_bytes("I\n900 version  x \t\nB", header_text, k840_900, nullptr).rest, "version  x \t");
  EXPECT_EQ(check_bytes(std::string("I\n900 a\0b\n", 10), header_text, k840_900, nullptr).rest, "a");
  // Only a text header hands back a rest.
  EXPECT_EQ(check_bytes("X\n900 a\n", header_text, k840_900, nullptr).rest, "<untouched>");
}

TEST(CheckFileText, BadFirstLinesAndTheDialectLetter) {
  EXPECT_EQ(check_bytes("X\n900 version\n", header_text, k840_900, nullptr).version, 0);
  EXPECT_EQ(check_bytes("i\n900 version\n", header_text, k840_900, nullptr).version, 0);
  EXPECT_EQ(check_bytes("\nI\n900 version\n", header_text, k840_900, nullptr).version, 0);
  // Everything on the first line after the letter is ignored.
  EXPECT_EQ(check_bytes("I 900 version\n", header_text, k840_900, nullptr).version, 0);
  // The letter says nothing about byte order.
  Checked c = check_bytes("A\n900 version\n", header_text, k840_900, nullptr, true, 1);
  EXPECT_EQ(c.version, 900);
  EXPECT_EQ(c.swap, 1);
}

TEST(CheckFileText, NulBytesSeparateLikeLineEnds) {
  const std::string file("I\0\0900 version\0INSTALLER\0\0body", 30);
  Checked c = check_bytes(file, header_text, k840_900, "INSTALLER");
  EXPECT_EQ(c.version, 900);
  EXPECT_EQ(c.rest, "version");
  EXPECT_EQ(c.at, 26);
}

TEST(CheckFileText, KeywordEndings) {
  const std::string head = "I\n900 version\n";
  EXPECT_EQ(check_bytes(head + "INSTALLER", header_text, k840_900, "INSTALLER").at, 23);
  EXPECT_EQ(check_bytes(head + "INSTALLER\tjunk\n\nbody", header_text, k840_900, "INSTALLER").at, 30);
  EXPECT_EQ(check_bytes(head + "  SERVERS x\nbody", header_text, k840_900, "SERVERS").at, 26);
  EXPECT_EQ(check_bytes(head + "INSTALLERS\n", header_text, k840_900, "INSTALLER").version, 0);
  EXPECT_EQ(check_bytes(head + "installer\n", header_text, k840_900, "INSTALLER").version, 0);
  EXPECT_EQ(check_bytes(head + "INSTALL", header_text, k840_900, "INSTALLER").version, 0);
  EXPECT_EQ(check_bytes(head, header_text, k840_900, "INSTALLER").version, 0);
}

TEST(CheckFileText, CheckingAgainStartsFromTheTop) {
  const std::string file = "I\n900 version\nDVD\nbody";
  std::unique_ptr<char[]> copy(new char[file.size()]);
  std::memcpy(copy.get(), file.data(), file.size());
  xmap_class r("");
  r.view(copy.get(), static_cast<std::int64_t>(file.size()));
  ASSERT_EQ(r.check_file(header_text, k840_900, "DVD", nullptr), 900);
  r.cursor = r.end;
  EXPECT_EQ(r.check_file(header_text, k840_900, "DVD", nullptr), 900);
  EXPECT_EQ(r.cursor - r.start, 18);
}

// ---- reading: files that end anywhere ----

TEST(CheckFileEnds, MissingAndEmptyFilesGiveZero) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "empty", ""));
  for (int type : {header_binary, header_text}) {
    xmap_class missing(dir / "missing");
    EXPECT_EQ(missing.check_file(type, k840_900, nullptr, nullptr), 0);
    EXPECT_EQ(missing.cursor, nullptr);
    xmap_class empty(dir / "empty");
    EXPECT_EQ(empty.check_file(type, k840_900, "INSTALLER", nullptr), 0);
    EXPECT_EQ(empty.cursor, empty.start);
  }
}

TEST(CheckFileEnds, EveryPrefixOfAValidHeader) {
  const std::string text = "I\r\n900 version\r\nINSTALLER\r\nbody";
  const std::size_t version_end = text.find(" version");
  const std::size_t word_end = text.find("INSTALLER") + 9;
  const std::string binary = bin({'a', 0, 0, 3, 0x84}) + "INSTALLER\nbody";
  for (std::size_t n = 1; n <= text.size(); ++n) {
    const std::string t = text.substr(0, n);
    EXPECT_EQ(check_bytes(t, header_text, k840_900, nullptr).version, n >= version_end ? 900 : 0) << n;
    EXPECT_EQ(check_bytes(t, header_text, k840_900, "INSTALLER").version, n >= word_end ? 900 : 0) << n;
    // The other type on the same bytes never reads past them either.
    EXPECT_EQ(check_bytes(t, header_binary, k840_900, "INSTALLER").version, 0) << n;
  }
  for (std::size_t n = 1; n <= binary.size(); ++n) {
    const std::string b = binary.substr(0, n);
    EXPECT_EQ(check_bytes(b, header_binary, k840_900, nullptr).version, n >= 5 ? 900 : 0) << n;
    EXPECT_EQ(check_bytes(b, header_binary, k840_900, "INSTALLER").version, n >= 14 ? 900 : 0) << n;
    EXPECT_EQ(check_bytes(b, header_text, k840_900, "INSTALLER").version, 0) << n;
  }
}

TEST(CheckFileEnds, SmallFilesEndingInTheHeader) {
  TempDir dir;
  const int nine[] = {9, 0};
  ASSERT_TRUE(write_file(dir / "i", "I"));
  ASSERT_TRUE(write_file(dir / "i9", "I\n9"));
  ASSERT_TRUE(write_file(dir / "a", "a"));
  EXPECT_EQ(check_file_at(dir / "i", header_text, nine, nullptr).version, 0);
  Checked c = check_file_at(dir / "i9", header_text, nine, nullptr);
  EXPECT_EQ(c.version, 9);
  EXPECT_EQ(c.at, 3);
  EXPECT_EQ(c.rest, "");
  EXPECT_EQ(check_file_at(dir / "i9", header_text, nine, "TRANSLATION").version, 0);
  EXPECT_EQ(check_file_at(dir / "a", header_binary, nine, nullptr).version, 0);
}

TEST(CheckFileEnds, PageSizedFilesEndingInTheHeader) {
  // Each file is one page long and mapped right in front of a no-access page.
  TempDir dir;
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::string head = "I\n900 version\n";
  struct Case {
    std::string content;
    const char* keyword;
    int version;
  } cases[] = {
      {"I" + std::string(page - 1, 'x'), nullptr, 0},                              // endless first line
      {"I" + std::string(page - 1, '\n'), nullptr, 0},                             // endless gap
      {"I\n" + std::string(page - 5, ' ') + "900", nullptr, 900},                  // digits to the end
      {"I\n900" + std::string(page - 5, ' '), nullptr, 900},                       // blanks to the end
      {"I\n900 " + std::string(page - 6, 'r'), nullptr, 900},                      // rest to the end
      {head + std::string(page - head.size() - 7, '\n') + "INSTALL", "INSTALLER", 0},
      {head + std::string(page - head.size() - 9, ' ') + "INSTALLER", "INSTALLER", 900},
      {head + "INSTALLER " + std::string(page - head.size() - 10, 'j'), "INSTALLER", 900},
      {"I\n-" + std::string(page - 3, '+'), nullptr, 0},
  };
  int i = 0;
  for (const Case& k : cases) {
    ASSERT_EQ(k.content.size(), page);
    const std::string p = dir / ("page" + std::to_string(i++));
    ASSERT_TRUE(write_file(p, k.content));
    GuardedReader g(p);
    if (!g.guarded()) GTEST_SKIP() << "could not place a guard page after the mapping";
    std::string rest;
    EXPECT_EQ(g.reader.check_file(header_text, k840_900, k.keyword, &rest), k.version) << p;
    if (k.version) {
      EXPECT_EQ(g.reader.cursor, g.reader.end) << p;
    }
  }
}
