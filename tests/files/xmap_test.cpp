#include "files/xmap.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "runtime/globals.h"
#include "support/guarded_reader.h"
#include "support/temp_dir.h"
#include "support/log_capture.h"
#include "window/macibm.h"

namespace {

// True when some mapping of this process is backed by the file at path.
bool is_mapped(const std::string& path) {
  return read_file("/proc/self/maps").find(path) != std::string::npos;
}

// True when this process holds a descriptor open on the file at path.
bool has_descriptor_on(const std::string& path) {
  DIR* d = opendir("/proc/self/fd");
  if (!d) return false;
  bool found = false;
  while (dirent* e = readdir(d)) {
    char target[4096];
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path) found = true;
  }
  closedir(d);
  return found;
}

std::string mapped_text(const xmap_class& r) { return std::string(r.start, static_cast<std::size_t>(r.end - r.start)); }

}  // namespace

TEST(XmapMapping, MissingEmptyAndOneByteFiles) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "empty", ""));
  ASSERT_TRUE(write_file(dir / "one", "Q"));

  xmap_class missing(dir / "nothing");
  EXPECT_EQ(missing.start, nullptr);
  EXPECT_EQ(missing.cursor, nullptr);
  EXPECT_EQ(missing.end, nullptr);
  EXPECT_EQ(missing.fd, -1);

  xmap_class empty(dir / "empty");
  ASSERT_NE(empty.start, nullptr);
  EXPECT_EQ(empty.end, empty.start);
  EXPECT_EQ(empty.cursor, empty.start);
  EXPECT_EQ(empty.remaining(), 0);
  EXPECT_FALSE(is_mapped(dir / "empty"));
  EXPECT_FALSE(has_descriptor_on(dir / "empty"));

  xmap_class one(dir / "one");
  ASSERT_NE(one.start, nullptr);
  EXPECT_EQ(mapped_text(one), "Q");
  EXPECT_EQ(one.cursor, one.start);
  EXPECT_TRUE(is_mapped(dir / "one"));
  // The mapping outlives the descriptor, which is not kept open.
  EXPECT_EQ(one.fd, -1);
  EXPECT_FALSE(has_descriptor_on(dir / "one"));

  xmap_class none("");
  EXPECT_EQ(none.start, nullptr);
  EXPECT_EQ(none.cursor, nullptr);
  EXPECT_EQ(none.end, nullptr);
  EXPECT_EQ(none.path, "");
}

TEST(XmapMapping, FoldersAndPipesAreNotRead) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  // Opening a FIFO for reading would wait for a writer; the reader must not.
  xmap_class pipe(dir / "pipe");
  EXPECT_EQ(pipe.start, nullptr);
  xmap_class folder(dir / "folder");
  EXPECT_EQ(folder.start, nullptr);
  EXPECT_FALSE(has_descriptor_on(dir / "pipe"));
  EXPECT_FALSE(has_descriptor_on(dir / "folder"));
}

TEST(XmapMapping, RetryAndDestructionReleaseTheMapping) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "first.bin", "first file"));
  ASSERT_TRUE(write_file(dir / "second.bin", "second"));
  {
    xmap_class r(dir / "first.bin");
    ASSERT_TRUE(is_mapped(dir / "first.bin"));
    r.cursor = r.end;

    ASSERT_NE(r.retry(dir / "second.bin"), nullptr);
    EXPECT_FALSE(is_mapped(dir / "first.bin"));
    EXPECT_TRUE(is_mapped(dir / "second.bin"));
    EXPECT_EQ(mapped_text(r), "second");
    EXPECT_EQ(r.cursor, r.start);
    EXPECT_EQ(r.path, dir / "second.bin");

    // A failed retry leaves nothing behind, not even a cursor into the
    // released data.
    EXPECT_EQ(r.retry(dir / "missing.bin"), nullptr);
    EXPECT_FALSE(is_mapped(dir / "second.bin"));
    EXPECT_EQ(r.start, nullptr);
    EXPECT_EQ(r.cursor, nullptr);
    EXPECT_EQ(r.end, nullptr);

    ASSERT_NE(r.retry(dir / "second.bin"), nullptr);
  }
  EXPECT_FALSE(is_mapped(dir / "second.bin"));
}

TEST(XmapMapping, ViewOfCallerMemoryIsNeitherCopiedNorReleased) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "f", "mapped"));
  std::string text = "caller";
  {
    xmap_class r(dir / "f");
    r.view(text.data(), static_cast<std::int64_t>(text.size()));
    EXPECT_FALSE(is_mapped(dir / "f"));
    EXPECT_EQ(r.start, text.data());
    EXPECT_EQ(r.remaining(), 6);
    r.view(nullptr, 0);
    ASSERT_NE(r.start, nullptr);
    EXPECT_EQ(r.start, r.end);
    r.view(text.data(), 3);
  }
  EXPECT_EQ(text, "caller");  // and the destructor did not unmap it (ASan would complain)
}

TEST(XmapMapping, CaseOfThePathIsRepairedWhenTheFileSystemCaresAboutIt) {
  TempDir dir;
  ASSERT_TRUE(write_file(dir / "data/file.txt", "contents"));
  const int saved = g_case_sensitive;

  g_case_sensitive = 1;
  xmap_class repaired(dir / "Data/File.TXT");
  g_case_sensitive = 0;
  xmap_class as_written(dir / "Data/File.TXT");
  g_case_sensitive = saved;

  ASSERT_NE(repaired.start, nullptr);
  EXPECT_EQ(mapped_text(repaired), "contents");
  EXPECT_EQ(as_written.start, nullptr);
}

TEST(XmapMapping, FilesOverFourGigabytesMapWhole) {
  TempDir dir;
  const std::int64_t size = (5ll << 30) + 3;
  const std::string p = dir / "big.bin";
  const int f = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(f, 0);
  // A sparse file: holes cost no disk space.
  ASSERT_EQ(pwrite(f, "Z", 1, size - 1), 1);
  ASSERT_EQ(close(f), 0);

  xmap_class r(p);
  ASSERT_NE(r.start, nullptr);
  EXPECT_EQ(r.remaining(), size);
  EXPECT_EQ(r.end[-1], 'Z');
  EXPECT_EQ(r.end[-2], '\0');
}

TEST(XmapMapping, MappingFailureIsLoggedAndTheDescriptorClosed) {
  // A sysfs attribute is a regular file with a size but cannot be mapped.
  const char* candidates[] = {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/kernel/profiling",
                              "/sys/power/state", "/sys/kernel/uevent_seqnum"};
  std::string target;
  for (const char* c : candidates) {
    struct stat st;
    if (stat(c, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && access(c, R_OK) == 0) {
      target = c;
      break;
    }
  }
  if (target.empty()) GTEST_SKIP() << "no readable sysfs attribute here";

  TempDir dir;
  std::string log;
  {
    LogCapture capture(dir / "log.txt");
    xmap_class r(target);
    EXPECT_EQ(r.start, nullptr);
    EXPECT_EQ(r.cursor, nullptr);
    EXPECT_EQ(r.end, nullptr);
    EXPECT_EQ(r.fd, -1);
    EXPECT_FALSE(has_descriptor_on(target));
    log = capture.text();
  }
  EXPECT_EQ(log.rfind("Mem file error.  Err=", 0), 0u) << log;
  EXPECT_NE(log.find(", file=" + target + "\n"), std::string::npos) << log;
}

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_ASAN 1
#endif
#endif

TEST(XmapMappingDeathTest, OutOfAddressSpaceIsAWarning) {
#ifdef CORVANE_ASAN
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#else
  TempDir dir;
  const std::string p = dir / "huge.bin";
  const int f = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(f, 0);
  ASSERT_EQ(ftruncate(f, 8ll << 30), 0);
  ASSERT_EQ(close(f), 0);
  const std::string log_file = dir / "log.txt";

  // The child limits its address space to far less than the file and exits
  // with 7 when the reader came back empty with no descriptor left open.
  auto child = [&] {
    xer.open(log_file, std::ios::out | std::ios::trunc);
    rlimit lim;
    lim.rlim_cur = lim.rlim_max = 4ull << 30;
    setrlimit(RLIMIT_AS, &lim);
    xmap_class r(p);
    const bool ok = r.start == nullptr && r.end == nullptr && r.fd == -1 && !has_descriptor_on(p);
    xer.close();
    _exit(ok ? 7 : 8);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(7), "mmap\\(\\) out of memory");
  EXPECT_EQ(read_file(log_file).rfind("Mem file error.  Err=12, file=" + p + "\n", 0), 0u) << read_file(log_file);
#endif
}

TEST(XmapReadNRev, SwapReversesWholeWordsOnly) {
  const unsigned char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  xmap_class r("");
  r.view(reinterpret_cast<const char*>(bytes), sizeof bytes);

  unsigned char out[10] = {};
  r.swap = 1;
  r.read_n_rev(out, 10);
  const unsigned char swapped[10] = {4, 3, 2, 1, 8, 7, 6, 5, 9, 10};
  EXPECT_EQ(std::memcmp(out, swapped, 10), 0);
  EXPECT_EQ(r.remaining(), 1);

  r.cursor = r.start;
  r.swap = 0;
  r.read_n_rev(out, 10);
  EXPECT_EQ(std::memcmp(out, bytes, 10), 0);

  // Up to the very last byte, and nothing at the end.
  unsigned char last = 0;
  r.read_n_rev(&last, 1);
  EXPECT_EQ(last, 11);
  r.read_n_rev(&last, 0);
  EXPECT_EQ(r.cursor, r.end);
}

TEST(XmapReadNRevDeathTest, ReadingPastTheEndIsFatal) {
  const char bytes[4] = {'a', 'b', 'c', 'd'};
  xmap_class r("");
  r.view(bytes, 4);
  r.cursor += 1;
  char out[8];
  EXPECT_EXIT(r.read_n_rev(out, 4), ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
  EXPECT_EXIT(r.read_n_rev(out, -1), ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
  xmap_class none("");
  EXPECT_EXIT(none.read_n_rev(out, 1), ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
}

TEST(XmapLineReport, SameLineNumberForEveryKindOfLineEnd) {
  TempDir dir;
  const std::string lf = "one\ntwo\n\nfour here\nfive";
  const std::string crlf = "one\r\ntwo\r\n\r\nfour here\r\nfive";
  const std::string cr = "one\rtwo\r\rfour here\rfive";
  LogCapture capture(dir / "log.txt");
  for (const std::string* text : {&lf, &crlf, &cr}) {
    // Exactly the text's bytes on the heap, so a read past the end is caught.
    std::unique_ptr<char[]> copy(new char[text->size()]);
    std::memcpy(copy.get(), text->data(), text->size());
    xmap_class r("");
    r.view(copy.get(), static_cast<std::int64_t>(text->size()));
    r.TXT_xer_line();                              // at the start
    r.cursor = r.start + text->find("here");       // inside a line
    r.TXT_xer_line();
    r.cursor = r.start + text->find("four");       // first byte of a line
    r.TXT_xer_line();
    r.cursor = r.end - 1;                          // last line, no line end
    r.TXT_xer_line();
    r.cursor = r.end;
    r.TXT_xer_line();
  }
  const std::string once = "1 \"one\"\n4 \"four here\"\n4 \"four here\"\n5 \"five\"\n5 \"five\"\n";
  EXPECT_EQ(capture.text(), once + once + once);
}

TEST(XmapLineReport, LastLineOfAPageSizedFileEndsAtTheData) {
  TempDir dir;
  const long page = sysconf(_SC_PAGESIZE);
  std::string text = "first\n" + std::string(static_cast<std::size_t>(page) - 6, 'x');
  ASSERT_TRUE(write_file(dir / "page.txt", text));
  LogCapture capture(dir / "log.txt");
  GuardedReader g(dir / "page.txt");
  if (!g.guarded()) GTEST_SKIP() << "could not place a guard page after the mapping";
  xmap_class& r = g.reader;
  ASSERT_EQ(r.remaining(), page);
  r.cursor = r.end - 1;
  r.TXT_xer_line();
  EXPECT_EQ(capture.text(), "2 \"" + text.substr(6) + "\"\n");
}

TEST(XmapIoFile, OpenForReadingAndWriting) {
  TempDir dir;
  int version = 900;
  xmap_class w("");
  ASSERT_EQ(w.io_file_open(1, dir / "prefs.txt", &version, header_text), 1);
  EXPECT_EQ(w.io_mode, 1);
  ouf << "BODY\n";
  EXPECT_EQ(w.io_file_close(), 1);
  EXPECT_EQ(read_file(dir / "prefs.txt"), "I\n900 version\nBODY\n");

  const int versions[] = {840, 900, 0};
  xmap_class r("");
  EXPECT_EQ(r.io_file_open(0, dir / "prefs.txt", const_cast<int*>(versions), header_text), 1);
  EXPECT_EQ(r.io_mode, 0);
  EXPECT_EQ(std::string(r.cursor, static_cast<std::size_t>(r.remaining())), "BODY\n");
  EXPECT_EQ(r.io_file_close(), 1);

  const int other[] = {7, 0};
  EXPECT_EQ(r.io_file_open(0, dir / "prefs.txt", const_cast<int*>(other), header_text), 0);
  EXPECT_EQ(r.io_file_open(0, dir / "missing.txt", const_cast<int*>(versions), header_text), 0);
  EXPECT_EQ(r.io_file_open(2, dir / "prefs.txt", const_cast<int*>(versions), header_text), 0);

  // A header that never reached the file is reported by the close too.
  testing::internal::CaptureStderr();
  EXPECT_EQ(w.io_file_open(1, dir / "no/such/folder.txt", &version, header_text), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(w.io_file_close(), 0);
}
