#include "files/archives.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "runtime/globals.h"
#include "support/temp_dir.h"
#include "support/log_capture.h"
#include "support/release_builder.h"
#include "support/unprivileged.h"

namespace {

// Runs a shell command; its exit status.
int sh(const std::string& command) {
  const int r = std::system(command.c_str());
  return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

// Runs a python3 script with arguments (the archive makers below); true
// when it succeeded. The script is written into dir.
bool py(const TempDir& dir, const std::string& script, const std::vector<std::string>& args = {}) {
  const std::string file = dir / "make.py";
  if (!write_file(file, "import os, struct, sys, zipfile, zlib\n" + script)) return false;
  std::string command = "python3 '" + file + "'";
  for (const auto& a : args) command += " '" + a + "'";
  return sh(command) == 0;
}

// Deterministic bytes that are not a short repeating pattern.
std::string noise(std::size_t size, std::uint32_t seed) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& ch : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    ch = static_cast<char>(x >> 11);
  }
  return s;
}

// Text that compresses well but not to nothing.
std::string words(std::size_t size, std::uint32_t seed) {
  static const char* kWords[] = {"gear ", "flap ", "trim ", "yaw ", "pitch ", "roll\n", "mach "};
  std::string s;
  const std::string n = noise(size, seed);
  for (std::size_t i = 0; s.size() < size; ++i)
    s += kWords[static_cast<unsigned char>(n[i % n.size()]) % 7];
  s.resize(size);
  return s;
}

// Names in a folder (without "." and ".."), sorted.
std::set<std::string> listing(const std::string& folder) {
  std::set<std::string> names;
  DIR* d = opendir(folder.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.insert(n);
  }
  closedir(d);
  return names;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

time_t mtime_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

bool is_link(const std::string& path) { return S_ISLNK(mode_of(path)); }

std::string link_text(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

time_t local_time(int year, int mon, int mday, int hour, int min, int sec) {
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = mday;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  t.tm_isdst = -1;
  return mktime(&t);
}

// Sets the process umask for the life of the object.
class Umask {
 public:
  explicit Umask(mode_t m) : old_(umask(m)) {}
  ~Umask() { umask(old_); }

 private:
  mode_t old_;
};

// Writes the zip sys.argv[1] with python's zipfile: the body adds entries
// with add() and link(); sys.argv[2:] are in `arg`.
const char kZipPrelude[] = R"py(
archive = sys.argv[1]
arg = sys.argv[2:]
z = zipfile.ZipFile(archive, 'w')
zero = []  # entries whose attributes become a real 0 (zipfile stores 0o600 for 0)
def add(name, data, attr=None, date=(2020, 5, 17, 13, 45, 30), method=zipfile.ZIP_DEFLATED):
    if isinstance(data, str): data = data.encode()
    i = zipfile.ZipInfo(name, date)
    i.compress_type = method
    if attr is not None: i.external_attr = attr
    z.writestr(i, data)
def link(name, text):
    add(name, text, attr=(0o120777 << 16), method=zipfile.ZIP_STORED)
)py";

const char kZipEpilogue[] = R"py(
z.close()
b = bytearray(open(archive, 'rb').read())
i = b.find(b'PK\x01\x02')
while i >= 0:
    n, e, c = struct.unpack('<HHH', b[i + 28:i + 34])
    if b[i + 46:i + 46 + n].decode() in zero: b[i + 38:i + 42] = bytes(4)
    i = b.find(b'PK\x01\x02', i + 46 + n + e + c)
open(archive, 'wb').write(b)
)py";

// Flips one byte of the data of the first entry of zip sys.argv[1],
// sys.argv[2] bytes into it.
const char kFlipFirstEntryByte[] = R"py(
path, at = sys.argv[1], int(sys.argv[2])
b = bytearray(open(path, 'rb').read())
n, e = struct.unpack('<HH', b[26:30])
b[30 + n + e + at] ^= 0x40
open(path, 'wb').write(b)
)py";

// Rewrites the first entry of zip sys.argv[1]: with sys.argv[2] "size" its
// compressed size, in both headers, runs far past the end of the file; with
// "extra" its local extra field does, so that its data would start there.
const char kStretchFirstEntry[] = R"py(
path, how = sys.argv[1], sys.argv[2]
b = bytearray(open(path, 'rb').read())
c = b.find(b'PK\x01\x02')
if how == 'size':
    b[18:22] = b[c + 20:c + 24] = struct.pack('<I', 0xFFFFFFF0)
else:
    b[28:30] = struct.pack('<H', 0xFFFF)
open(path, 'wb').write(b)
)py";

class ArchivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    out_ = dir_ / "out/";
    ASSERT_EQ(mkdir(out_.c_str(), 0755), 0);
  }

  // Makes a zip at dir_/name with the body's entries; its path.
  std::string make_zip(const std::string& name, const std::string& body,
                       std::vector<std::string> args = {}) {
    const std::string path = dir_ / name;
    args.insert(args.begin(), path);
    EXPECT_TRUE(py(dir_, kZipPrelude + body + kZipEpilogue, args));
    return path;
  }

  // Names left in the output folder that belong to no entry: temporary
  // files of a failed entry would show here.
  std::set<std::string> leftovers(const std::string& folder, const std::set<std::string>& allowed) {
    std::set<std::string> extra;
    for (const auto& n : listing(folder))
      if (!allowed.count(n)) extra.insert(n);
    return extra;
  }

  TempDir dir_;
  std::string out_;
};

// ---------------------------------------------------------------------------
// zip_to_file

TEST_F(ArchivesTest, ZipWritesFilesFoldersModesAndTimes) {
  const std::string big = words(3 * 1024 * 1024 + 123, 1);  // several chunks, deflated
  write_file(dir_ / "big.txt", big);
  const std::string zip = make_zip("a.zip", R"py(
add('sub/', '', attr=(0o40755 << 16) | 0x10)
add('sub/a.txt', 'alpha', attr=(0o100640 << 16))
add('run.sh', '#!/bin/sh\n', attr=(0o100755 << 16), date=(2011, 1, 2, 3, 4, 6))
add('big.txt', open(arg[0], 'rb').read(), attr=(0o100644 << 16))
add('empty', '', attr=(0o100600 << 16))
)py",
                                   {dir_ / "big.txt"});
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "sub/a.txt"), "alpha");
  EXPECT_EQ(read_file(out_ + "big.txt"), big);
  EXPECT_TRUE(exists_at_all(out_ + "empty"));
  EXPECT_EQ(read_file(out_ + "empty"), "");
  EXPECT_EQ(mode_of(out_ + "sub/a.txt") & 07777, 0640u);
  EXPECT_EQ(mode_of(out_ + "run.sh") & 07777, 0755u);
  EXPECT_EQ(mode_of(out_ + "empty") & 07777, 0600u);
  EXPECT_EQ(mtime_of(out_ + "sub/a.txt"), local_time(2020, 5, 17, 13, 45, 30));
  EXPECT_EQ(mtime_of(out_ + "run.sh"), local_time(2011, 1, 2, 3, 4, 6));
  EXPECT_EQ(leftovers(out_, {"sub", "run.sh", "big.txt", "empty"}), std::set<std::string>{});
  EXPECT_EQ(leftovers(out_ + "sub/", {"a.txt"}), std::set<std::string>{});
}

TEST_F(ArchivesTest, ZipMadeByTheZipToolRoundTrips) {
  const std::string src = dir_ / "src/";
  write_file(src + "data/one.bin", noise(1500 * 1024, 2));  // stored or barely deflated
  write_file(src + "data/two.txt", words(200 * 1024, 3));
  write_file(src + "data/deep/three.txt", "three");
  write_file(src + "top.txt", "");
  const std::string zip = dir_ / "tool.zip";
  ASSERT_EQ(sh("cd '" + src + "' && zip -q -r '" + zip + "' data top.txt"), 0);
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  for (const char* f : {"data/one.bin", "data/two.txt", "data/deep/three.txt", "top.txt"})
    EXPECT_EQ(read_file(out_ + f), read_file(src + f)) << f;
  EXPECT_EQ(sh("diff -r '" + src + "' '" + out_ + "'"), 0);
}

TEST_F(ArchivesTest, ZipSkipsMacResourceEntries) {
  const std::string zip = make_zip("mac.zip", R"py(
add('__MACOSX/', '')
add('__MACOSX/._a.txt', 'fork')
add('__MACOSXfile', 'fork too')
add('a.txt', 'kept')
)py");
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(listing(out_), (std::set<std::string>{"a.txt"}));
  EXPECT_EQ(read_file(out_ + "a.txt"), "kept");

  // A name given with use_name goes to the first entry that is written.
  const std::string out2 = dir_ / "out2/";
  ASSERT_EQ(mkdir(out2.c_str(), 0755), 0);
  std::string name = "A.TXT";
  ASSERT_EQ(zip_to_file(zip, out2, &name, 1), 0);
  EXPECT_EQ(listing(out2), (std::set<std::string>{"A.TXT"}));
}

TEST_F(ArchivesTest, ZipFileInMissingFolderFailsWithTwoAndLogsTarget) {
  const std::string zip = make_zip("miss.zip", R"py(
add('first.txt', '1' * 3000000)
add('nosub/x.txt', 'x')
add('after.txt', '2')
)py");
  // Unchecked, the files are written one after the other; checked, the
  // temporary file of the second is made while the first is still written.
  unpack_check check;
  for (unpack_check* c : {static_cast<unpack_check*>(nullptr), &check}) {
    SCOPED_TRACE(c ? "checked" : "unchecked");
    std::filesystem::remove(out_ + "first.txt");
    LogCapture log(dir_ / "log.txt");
    EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0, c), ENOENT);
    // The first failure ends the extraction; earlier entries stay.
    EXPECT_EQ(listing(out_), (std::set<std::string>{"first.txt"}));
    EXPECT_EQ(read_file(out_ + "first.txt").size(), 3000000u);
    const std::string text = log.text();
    EXPECT_NE(text.find("Zip to file failed with error 2. file = "), std::string::npos) << text;
    EXPECT_NE(text.find(". inFile=" + out_ + "nosub/x.txt.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("UNZIP zip_to_file failed with err=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Zip to file failed with error err = 2. file = archives.cpp line = "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(". zip_file=" + zip + ", out_directory=" + out_ + ".\n"), std::string::npos)
        << text;
  }
}

TEST_F(ArchivesTest, ZipFolderEntryForExistingFolderIsFine) {
  ASSERT_EQ(mkdir((out_ + "sub").c_str(), 0700), 0);
  const std::string zip = make_zip("f.zip", R"py(
add('sub/', '', attr=(0o40755 << 16))
add('sub/f', 'f')
)py");
  EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "sub/f"), "f");
}

TEST_F(ArchivesTest, ZipEntriesWithoutUnixModeKeepCreationMode) {
  const Umask mask(022);
  const std::string zip = make_zip("dos.zip", R"py(
zero.append('zero'); add('zero', '0')
add('dos', '1', attr=0x20)  # the MS-DOS archive bit alone
add('ro', '2', attr=0x01)   # MS-DOS read-only, no Unix mode
)py");
  const time_t before = time(nullptr);
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  for (const char* f : {"zero", "dos", "ro"}) EXPECT_EQ(mode_of(out_ + f) & 07777, 0644u) << f;
  // Attributes 0: the time of creation; other attributes: the entry's date.
  EXPECT_GE(mtime_of(out_ + "zero"), before);
  EXPECT_EQ(mtime_of(out_ + "dos"), local_time(2020, 5, 17, 13, 45, 30));
  EXPECT_EQ(mtime_of(out_ + "ro"), local_time(2020, 5, 17, 13, 45, 30));
}

TEST_F(ArchivesTest, ZipEntriesWithoutPermissionBitsGetTheDefaultMode) {
  const Umask mask(022);
  const std::string zip = make_zip("noperm.zip", R"py(
add('plain', 'p', attr=(0o100000 << 16))
add('sub/', '', attr=(0o40000 << 16))
add('sub/f', 'f', attr=(0o100000 << 16) | 0x20)
)py");
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  for (const char* f : {"plain", "sub/f"}) {
    EXPECT_EQ(mode_of(out_ + f) & 07777, 0644u) << f;
    EXPECT_EQ(mtime_of(out_ + f), local_time(2020, 5, 17, 13, 45, 30)) << f;
  }
  EXPECT_EQ(read_file(out_ + "plain"), "p");
  EXPECT_EQ(read_file(out_ + "sub/f"), "f");
}

TEST_F(ArchivesTest, ZipLinkEntryReplacesExistingFile) {
  write_file(out_ + "link", "a plain file");
  const std::string zip = make_zip("l.zip", R"py(
add('target.txt', 'T')
link('link', 'target.txt')
add('sub/', '')
link('sub/up', '../target.txt')
)py");
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  ASSERT_TRUE(is_link(out_ + "link"));
  EXPECT_EQ(link_text(out_ + "link"), "target.txt");
  EXPECT_EQ(read_file(out_ + "link"), "T");
  EXPECT_EQ(link_text(out_ + "sub/up"), "../target.txt");
  EXPECT_EQ(read_file(out_ + "sub/up"), "T");
  EXPECT_EQ(leftovers(out_, {"link", "target.txt", "sub"}), std::set<std::string>{});
}

TEST_F(ArchivesTest, ZipNamePointerAndUseName) {
  const std::string zip = make_zip("n.zip", R"py(
add('one.txt', '1')
add('two.txt', '2')
add('three.txt', '3')
)py");
  std::string name = "unchanged";
  ASSERT_EQ(zip_to_file(zip, out_, &name, 0), 0);
  EXPECT_EQ(name, "one.txt");
  EXPECT_EQ(listing(out_), (std::set<std::string>{"one.txt", "two.txt", "three.txt"}));

  const std::string out2 = dir_ / "out2/";
  ASSERT_EQ(mkdir(out2.c_str(), 0755), 0);
  name = "renamed.txt";
  ASSERT_EQ(zip_to_file(zip, out2, &name, 1), 0);
  EXPECT_EQ(name, "one.txt");  // the stored name, whatever use_name did
  EXPECT_EQ(read_file(out2 + "renamed.txt"), "1");
  EXPECT_EQ(listing(out2), (std::set<std::string>{"renamed.txt", "two.txt", "three.txt"}));
}

TEST_F(ArchivesTest, ZipNamesLongerThan255BytesAreReadInFull) {
  const std::string a(200, 'a');
  const std::string b(200, 'b');
  const std::string zip =
      make_zip("long.zip", "add(arg[0], '')\nadd(arg[1], 'long')\n", {a + "/", a + "/" + b});
  std::string name;
  ASSERT_EQ(zip_to_file(zip, out_, &name, 0), 0);
  EXPECT_EQ(name, a + "/");
  EXPECT_EQ(read_file(out_ + a + "/" + b), "long");
}

TEST_F(ArchivesTest, ZipCrcFailureLeavesOldFileAndNoTemporary) {
  write_file(out_ + "f.txt", "OLD");
  const std::string zip =
      make_zip("crc.zip", "add('f.txt', 'NEW CONTENT ' * 1000, method=zipfile.ZIP_STORED)\n");
  ASSERT_TRUE(py(dir_, kFlipFirstEntryByte, {zip, "5000"}));
  // Checked, the CRC-32 is taken on a helper thread and still counts
  // before the signature, which is wrong too.
  unpack_check check;
  check.want_md5 = std::string(32, '0');
  for (unpack_check* c : {static_cast<unpack_check*>(nullptr), &check}) {
    SCOPED_TRACE(c ? "checked" : "unchecked");
    LogCapture log(dir_ / "log.txt");
    EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0, c), UNZ_CRCERROR);
    EXPECT_EQ(read_file(out_ + "f.txt"), "OLD");
    EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"}));
    EXPECT_NE(log.text().find("Zip to file failed with error -105. file = archives.cpp line = "),
              std::string::npos);
  }
}

TEST_F(ArchivesTest, ZipDamagedDeflateDataLeavesOldFile) {
  write_file(out_ + "f.txt", "OLD");
  const std::string zip =
      make_zip("bad.zip", "add('f.txt', b'x' * 100 + bytes(range(256)) * 4000)\n");
  ASSERT_TRUE(py(dir_, kFlipFirstEntryByte, {zip, "40"}));
  EXPECT_NE(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "f.txt"), "OLD");
  EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"}));

  // Data said to run, or to start, past the end of the archive is damaged
  // even when the bytes that are there come out whole: refused as such
  // before anything is written.
  const std::string long_data = make_zip("long.zip", "add('f.txt', 'NEW ' * 100)\n");
  ASSERT_TRUE(py(dir_, kStretchFirstEntry, {long_data, "size"}));
  const std::string late_data =
      make_zip("late.zip", "add('f.txt', '', method=zipfile.ZIP_STORED)\n");
  ASSERT_TRUE(py(dir_, kStretchFirstEntry, {late_data, "extra"}));
  unpack_check check;
  for (const std::string& damaged : {long_data, late_data}) {
    for (unpack_check* c : {static_cast<unpack_check*>(nullptr), &check}) {
      SCOPED_TRACE(damaged + (c ? " checked" : " unchecked"));
      write_file(out_ + "f.txt", "OLD");
      LogCapture log(dir_ / "log.txt");
      EXPECT_EQ(zip_to_file(damaged, out_, nullptr, 0, c), UNZ_BADZIPFILE);
      EXPECT_EQ(read_file(out_ + "f.txt"), "OLD");
      EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"}));
      EXPECT_NE(log.text().find("Zip to file failed with error -103. file = archives.cpp line = "),
                std::string::npos)
          << log.text();
    }
  }
}

// Writes copies of zip sys.argv[1] whose last entry's data is cut short by k
// bytes while the catalogue stays readable (its offset moved to match), as
// sys.argv[2] + "k.zip", for each k of sys.argv[3:].
const char kCutLastEntry[] = R"py(
b = open(sys.argv[1], 'rb').read()
cd_size, cd_off = struct.unpack('<II', b[-10:-2])
for k in map(int, sys.argv[3:]):
    e = bytearray(b[-22:])
    e[16:20] = struct.pack('<I', cd_off - k)
    open(sys.argv[2] + '%d.zip' % k, 'wb').write(b[:cd_off - k] + b[cd_off:-22] + bytes(e))
)py";

TEST_F(ArchivesTest, ZipTruncatedAnywhereFailsCleanly) {
  const std::string src = dir_ / "src/";
  write_file(src + "a.txt", words(40 * 1024, 4));
  write_file(src + "b.bin", noise(9000, 5));
  write_file(src + "c.txt", "c");
  const std::string zip = dir_ / "real.zip";
  // The same archive on every run: fixed times and no extra fields (times,
  // owners), so that no cut below reads bytes that differ from run to run,
  // which could by chance make a broken entry's checksum match.
  ASSERT_EQ(sh("cd '" + src + "' && export TZ=UTC && touch -d '2020-01-01 00:00:00' a.txt b.bin c.txt && zip -q -X '" + zip +
               "' a.txt b.bin c.txt"),
            0);
  const std::string whole = read_file(zip);
  ASSERT_GT(whole.size(), 9000u);

  const std::string out = dir_ / "t/";
  auto check = [&](const std::string& archive, const std::string& what) {
    std::filesystem::remove_all(out);
    ASSERT_TRUE(std::filesystem::create_directory(out));
    write_file(out + "a.txt", "OLD a");
    write_file(out + "b.bin", "OLD b");
    write_file(out + "c.txt", "OLD c");
    EXPECT_NE(zip_to_file(archive, out, nullptr, 0), 0) << what;
    // Each file is either untouched or complete; nothing else is there.
    EXPECT_EQ(listing(out), (std::set<std::string>{"a.txt", "b.bin", "c.txt"})) << what;
    for (const char* f : {"a.txt", "b.bin", "c.txt"}) {
      const std::string got = read_file(out + f);
      EXPECT_TRUE(got == "OLD " + std::string(f, 1) || got == read_file(src + f)) << what << f;
    }
  };
  LogCapture log(dir_ / "log.txt");

  // Cut after every n bytes: the catalogue at the end is gone.
  for (std::size_t len = 0; len < whole.size(); len += 61) {
    const std::string cut = dir_ / "prefix.zip";
    write_file(cut, whole.substr(0, len));
    check(cut, "prefix " + std::to_string(len));
  }

  // The last entry's data cut short: reading it runs into the catalogue and
  // past the end of the file.
  std::vector<std::string> ks;
  for (int k = 1; k < 200; ++k) ks.push_back(std::to_string(k));
  for (int k = 200; k < 9000; k += 211) ks.push_back(std::to_string(k));
  std::vector<std::string> args = {zip, dir_ / "cut_"};
  args.insert(args.end(), ks.begin(), ks.end());
  ASSERT_TRUE(py(dir_, kCutLastEntry, args));
  for (const auto& k : ks) check(dir_ / ("cut_" + k + ".zip"), "cut " + k);
}

TEST_F(ArchivesTest, ZipNotAnArchiveOrMissingGives20001) {
  LogCapture log(dir_ / "log.txt");
  write_file(dir_ / "not.zip", "this is plain text, not an archive\n");
  EXPECT_EQ(zip_to_file(dir_ / "not.zip", out_, nullptr, 0), err_zip_open);
  const std::string missing = dir_ / "missing.zip";
  EXPECT_EQ(zip_to_file(missing, out_, nullptr, 0), err_zip_open);
  std::string expected =
      "OK I am about to report that I could not open a zip file for extraction!\n";
  expected += "That incoming file is " + missing + "\n";
  expected += "In c-form, it is " + missing + "\n";
  expected += "The size is " + std::to_string(missing.size()) + "\n";
  expected += "Zip to file failed with error err = 20001. file = archives.cpp line = ";
  const std::string text = log.text();
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_TRUE(listing(out_).empty());
}

TEST_F(ArchivesTest, ZipWithoutEntriesFails) {
  // An archive of no entries is refused: the zip library either cannot open
  // it or finds no first entry to read.
  const std::string zip = make_zip("empty.zip", "");
  ASSERT_EQ(read_file(zip).size(), 22u);
  LogCapture log(dir_ / "log.txt");
  const int rc = zip_to_file(zip, out_, nullptr, 0);
  EXPECT_NE(rc, 0);
  EXPECT_NE(log.text().find("Zip to file failed with error err = " + std::to_string(rc) + ". "),
            std::string::npos);
  EXPECT_TRUE(listing(out_).empty());
}

// Writes by hand the zip sys.argv[1] whose one stored entry lies
// sys.argv[2] bytes into a sparse file, with plain 32-bit offsets.
const char kFarZip[] = R"py(
path, off = sys.argv[1], int(sys.argv[2])
data, name = b'far away', b'far.txt'
crc = zlib.crc32(data)
f = open(path, 'wb')
f.seek(off)
f.write(struct.pack('<IHHHHHIIIHH', 0x04034b50, 10, 0, 0, 0, 0x5000, crc, len(data), len(data),
                    len(name), 0) + name + data)
cd = f.tell()
f.write(struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 10, 0, 0, 0, 0x5000, crc, len(data),
                    len(data), len(name), 0, 0, 0, 0, 0o100644 << 16, off) + name)
end = f.tell()
f.write(struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, end - cd, cd, 0))
f.close()
)py";

bool is_sparse(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_blocks * 512 < (64 << 20);
}

TEST_F(ArchivesTest, ZipEntriesBeyond2GiBAreReached) {
  // The entry sits 3 GiB into a sparse file: its offsets overflow a signed
  // 32-bit position.
  const std::string zip = dir_ / "far.zip";
  ASSERT_TRUE(py(dir_, kFarZip, {zip, std::to_string(3LL << 30)}));
  if (!is_sparse(zip)) GTEST_SKIP() << "no sparse files in /tmp";
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "far.txt"), "far away");
  EXPECT_EQ(mode_of(out_ + "far.txt") & 07777, 0644u);
}

TEST_F(ArchivesTest, Zip64ArchiveBeyond4GiBUnpacksOrFailsCleanly) {
  // Offsets beyond 4 GiB need the zip64 records. The system's zip library
  // (1.1) misreads them on 64-bit hosts; then the archive must fail without
  // writing anything.
  const std::string zip = dir_ / "far64.zip";
  ASSERT_TRUE(py(dir_, R"py(
f = open(sys.argv[1], 'wb')
f.seek(5 << 30)
z = zipfile.ZipFile(f, 'w')
z.writestr('far.txt', b'far away')
z.close()
f.close()
)py",
                 {zip}));
  if (!is_sparse(zip)) GTEST_SKIP() << "no sparse files in /tmp";
  LogCapture log(dir_ / "log.txt");
  const int rc = zip_to_file(zip, out_, nullptr, 0);
  if (rc == 0) {
    EXPECT_EQ(read_file(out_ + "far.txt"), "far away");
  } else {
    EXPECT_TRUE(listing(out_).empty());
  }
}

// ---------------------------------------------------------------------------
// Hostile zip archives: nothing is written outside the output folder.

class HostileZipTest : public ArchivesTest {
 protected:
  void SetUp() override {
    ArchivesTest::SetUp();
    outside_ = dir_ / "outside/";
    ASSERT_EQ(mkdir(outside_.c_str(), 0755), 0);
  }
  // Extracts and expects the refusal, with its log line.
  void expect_refused(const std::string& zip, const std::string& what) {
    LogCapture log(dir_ / "log.txt");
    EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0), EPERM) << what;
    EXPECT_NE(log.text().find("refused the entry"), std::string::npos) << what;
    EXPECT_TRUE(listing(outside_).empty()) << what;
  }
  std::string outside_;
};

TEST_F(HostileZipTest, AbsoluteAndClimbingNamesAreRefused) {
  const std::vector<std::string> names = {outside_ + "abs.txt",    "../outside/up.txt",
                                          "a/../../outside/x.txt", "..",
                                          "../outside/dir/",       "/"};
  int i = 0;
  for (const auto& n : names) {
    const std::string zip =
        make_zip("h" + std::to_string(i++) + ".zip", "add('a/', '')\nadd(arg[0], 'evil')\n", {n});
    expect_refused(zip, n);
  }
  EXPECT_FALSE(exists_at_all(dir_ / "up.txt"));
  // "a/" came before the refused entry and stays; nothing else arrived.
  EXPECT_EQ(listing(out_), (std::set<std::string>{"a"}));
}

TEST_F(HostileZipTest, EntriesThroughPlantedLinkAreRefused) {
  ASSERT_EQ(symlink(outside_.c_str(), (out_ + "planted").c_str()), 0);
  ASSERT_EQ(mkdir((out_ + "real").c_str(), 0755), 0);
  ASSERT_EQ(symlink(outside_.c_str(), (out_ + "real/deep").c_str()), 0);
  expect_refused(make_zip("p1.zip", "add('planted/x.txt', 'evil')\n"), "file through link");
  expect_refused(make_zip("p2.zip", "add('planted/sub/', '')\n"), "folder through link");
  expect_refused(make_zip("p3.zip", "link('planted/l', 'x')\n"), "link through link");
  expect_refused(make_zip("p4.zip", "add('real/ok.txt', 'ok')\nadd('real/deep/x.txt', 'evil')\n"),
                 "second level");
  EXPECT_EQ(read_file(out_ + "real/ok.txt"), "ok");
}

TEST_F(HostileZipTest, EntriesThroughLinkTheArchiveMadeAreRefused) {
  // The link points inside, but writing through any link is refused: the
  // folder found sound for the earlier entries must not be trusted after it.
  const std::string zip = make_zip("l.zip", R"py(
add('d/', '')
add('d/a.txt', 'a')
link('d2', 'd')
add('d2/b.txt', 'b')
)py");
  expect_refused(zip, "through d2");
  EXPECT_EQ(read_file(out_ + "d/a.txt"), "a");
  EXPECT_FALSE(exists_at_all(out_ + "d/b.txt"));
  EXPECT_EQ(link_text(out_ + "d2"), "d");
}

TEST_F(HostileZipTest, LinksPointingOutAreRefused) {
  const std::vector<std::pair<std::string, std::string>> links = {{"l", outside_},
                                                                  {"l", "../outside"},
                                                                  {"sub/l", "../../outside"},
                                                                  {"l", "sub/../../outside"},
                                                                  {"l", "sub/../x"},
                                                                  {"sub/l", "x/../../y"}};
  int i = 0;
  for (const auto& [name, text] : links) {
    const std::string zip = make_zip("k" + std::to_string(i++) + ".zip",
                                     "add('sub/', '')\nlink(arg[0], arg[1])\n", {name, text});
    expect_refused(zip, name + " -> " + text);
    EXPECT_FALSE(exists_at_all(out_ + name)) << text;
  }
  // Links that stay inside are made.
  const std::string zip = make_zip("ok.zip", R"py(
add('sub/', '')
link('sub/l', '../sub/./x')
link('l2', './sub')
)py");
  EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(link_text(out_ + "sub/l"), "../sub/./x");
  EXPECT_EQ(link_text(out_ + "l2"), "./sub");
}

TEST_F(ArchivesTest, ZipEntryIsCheckedWhileItIsWritten) {
  const std::string data = words(3 * 1024 * 1024 + 5, 21);  // several chunks
  write_file(dir_ / "f.txt", data);
  const std::string zip = make_zip("c.zip", "add('f.txt', open(arg[0], 'rb').read())\n", {dir_ / "f.txt"});
  const std::string sig = ReleaseBuilder::md5_of(data);
  const std::int64_t size = static_cast<std::int64_t>(data.size());

  // The right file, with the size limit just reached: put in place.
  unpack_check right;
  right.want_md5 = sig;
  right.max_bytes = size;
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0, &right), 0);
  EXPECT_EQ(read_file(out_ + "f.txt"), data);
  EXPECT_EQ(right.found_md5, sig);
  EXPECT_EQ(right.found_bytes, size);

  struct Case {
    const char* what;
    std::string want;
    std::int64_t max;
    int code;
  };
  const Case cases[] = {
      {"another signature", std::string(32, '0'), -1, err_wrong_signature},
      {"a signature in capitals", [&] {
         std::string up = sig;
         for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
         return up;
       }(), size + 1024, err_wrong_signature},
      {"one byte more than allowed", sig, size - 1, err_too_large},
      {"far larger than allowed", sig, 1024, err_too_large},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_file(out_ + "f.txt", "OLD");
    unpack_check check;
    check.want_md5 = c.want;
    check.max_bytes = c.max;
    EXPECT_EQ(zip_to_file(zip, out_, nullptr, 0, &check), c.code);
    EXPECT_EQ(read_file(out_ + "f.txt"), "OLD") << "the file there before stays";
    EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"})) << "no temporary file is left";
    if (c.code == err_wrong_signature) {
      EXPECT_EQ(check.found_md5, sig) << "the bytes' own signature";
    } else {
      EXPECT_GT(check.found_bytes, c.max);
    }
  }
  EXPECT_NE(error_str(err_wrong_signature), error_str(err_too_large));
  EXPECT_EQ(error_str(err_wrong_signature).find("Unknown"), std::string::npos);

  // Files small and large follow one another through the same hasher, each
  // checked on its own, the next one inflated while the one before is
  // hashed: the wanted file, one that is not, then the wanted file again,
  // which must not be put in place after the failure before it.
  const std::string other = data.substr(0, 700);
  write_file(dir_ / "other.txt", other);
  const std::string three = make_zip(
      "three.zip", "add('a.txt', open(arg[0], 'rb').read())\nadd('c.txt', open(arg[1], 'rb').read())\n"
                   "add('b.txt', open(arg[0], 'rb').read())\n", {dir_ / "f.txt", dir_ / "other.txt"});
  std::filesystem::remove(out_ + "f.txt");
  write_file(out_ + "c.txt", "OLD");
  unpack_check each;
  each.want_md5 = sig;
  EXPECT_EQ(zip_to_file(three, out_, nullptr, 0, &each), err_wrong_signature);
  EXPECT_EQ(read_file(out_ + "a.txt"), data);
  EXPECT_EQ(read_file(out_ + "c.txt"), "OLD");
  EXPECT_EQ(listing(out_), (std::set<std::string>{"a.txt", "c.txt"})) << "nothing of b.txt";
  EXPECT_EQ(each.found_md5, ReleaseBuilder::md5_of(other));
  EXPECT_EQ(each.found_bytes, 700);

  // Where a helper thread cannot be started (a user of its own, allowed no
  // more processes, or one more thread than it has), the unpacking goes on
  // without it, to the same end.
  const uid_t user = 100000 + static_cast<uid_t>(getpid() % 100000);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  ASSERT_EQ(chmod(out_.c_str(), 0777), 0);
  for (const std::string helper : {"writer", "naming"}) {
    if (helper == "naming" && geteuid() != 0) break;  // the user's other processes would count
    SCOPED_TRACE(helper);
    write_file(out_ + "a.txt", "OLD");
    LogCapture log(dir_ / "log.txt");
    const int alone = as_unprivileged_user(
        [&] {
          rlimit saved;
          if (getrlimit(RLIMIT_NPROC, &saved) != 0) return 2;
          rlimit low = saved;
          low.rlim_cur = helper == "writer" ? 0 : listing("/proc/self/task").size() + 1;
          if (setrlimit(RLIMIT_NPROC, &low) != 0) return 3;
          int r = 0;
          try {  // nothing may leave the child for the test's own code
            unpack_check c;
            c.want_md5 = sig;
            r = zip_to_file(three, out_, nullptr, 0, &c) == err_wrong_signature ? 0 : 1;
          } catch (...) {
            r = 4;
          }
          setrlimit(RLIMIT_NPROC, &saved);
          xer.flush();
          return r;
        },
        user);
    EXPECT_EQ(alone, 0);
    EXPECT_EQ(read_file(out_ + "a.txt"), data);
    EXPECT_EQ(read_file(out_ + "c.txt"), "OLD");
    EXPECT_EQ(listing(out_), (std::set<std::string>{"a.txt", "c.txt"}));
    // (The naming thread is wanted once a file starts before the one before
    // it is in place: on a loaded machine that may not happen.)
    const std::string text = log.text();
    EXPECT_EQ(occurrences(text, "without its writer thread, which could not be started: "),
              helper == "writer" ? 1 : 0)
        << text;
    EXPECT_LE(occurrences(text, " thread, which could not be started: "), 1) << text;
  }
  ASSERT_EQ(chmod(out_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0700), 0);

  // Writing the first file fails part way (the file size limit of this
  // process, lowered for the one call: a forked child could not start the
  // helper threads under every sanitizer): that failure is the result,
  // although the signature is wrong too; the signature is that of the
  // bytes counted, which stop soon after the limit; and the files after
  // it are kept out, their temporary files removed.
  write_file(out_ + "a.txt", "OLD");
  unpack_check cut;
  cut.want_md5 = std::string(32, '0');
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 1024 * 1024;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
  const int result = zip_to_file(three, out_, nullptr, 0, &cut);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, EFBIG);
  EXPECT_EQ(read_file(out_ + "a.txt"), "OLD");
  EXPECT_EQ(read_file(out_ + "c.txt"), "OLD");
  EXPECT_EQ(listing(out_), (std::set<std::string>{"a.txt", "c.txt"}));
  EXPECT_GT(cut.found_bytes, 1024 * 1024);
  EXPECT_LT(cut.found_bytes, size);
  EXPECT_EQ(cut.found_md5, ReleaseBuilder::md5_of(data.substr(0, static_cast<std::size_t>(cut.found_bytes))));
}

// ---------------------------------------------------------------------------
// p7z_to_file

class SevenZipTest : public ArchivesTest {
 protected:
  // Packs the files of dir_/src/ (names relative to it) into dir_/name with
  // the given 7z switches; its path.
  std::string make_7z(const std::string& name, const std::string& switches,
                      const std::string& files) {
    const std::string path = dir_ / name;
    EXPECT_EQ(sh("cd '" + dir_ / "src" + "' && LC_ALL=C.UTF-8 7z a -bd -bso0 -bsp0 " + switches +
                 " '" + path + "' " + files),
              0);
    return path;
  }
};

TEST_F(SevenZipTest, SolidAndNonSolidArchivesUnpack) {
  const std::string src = dir_ / "src/";
  write_file(src + "a.txt", words(300 * 1024, 6));
  write_file(src + "b.txt", words(2 * 1024 * 1024 + 77, 7));  // beyond one chunk
  write_file(src + "c.txt", "");
  write_file(src + "d.bin", noise(70000, 8));
  for (const std::string solid : {"-ms=on", "-ms=off"}) {
    const std::string archive = make_7z("x" + solid + ".7z", solid, "a.txt b.txt c.txt d.bin");
    const std::string out = dir_ / ("o" + solid + "/");
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    std::string name;
    ASSERT_EQ(p7z_to_file(archive, out, &name, 0), 0) << solid;
    for (const char* f : {"a.txt", "b.txt", "c.txt", "d.bin"})
      EXPECT_EQ(read_file(out + f), read_file(src + f)) << solid << " " << f;
    EXPECT_EQ(listing(out), (std::set<std::string>{"a.txt", "b.txt", "c.txt", "d.bin"})) << solid;
    // The full path of the last file written.
    EXPECT_TRUE(name.rfind(out, 0) == 0 && listing(out).count(name.substr(out.size())) == 1)
        << name;
  }
}

TEST_F(SevenZipTest, NamePointerUseNameAndKeptMode) {
  write_file(dir_ / "src/only.txt", "only");
  const std::string archive = make_7z("one.7z", "", "only.txt");
  std::string name = "other.txt";
  ASSERT_EQ(p7z_to_file(archive, out_, &name, 1), 0);
  EXPECT_EQ(name, out_ + "other.txt");
  EXPECT_EQ(read_file(out_ + "other.txt"), "only");
  EXPECT_EQ(listing(out_), (std::set<std::string>{"other.txt"}));

  // An existing target is replaced but keeps its permission bits.
  write_file(out_ + "only.txt", "OLD");
  ASSERT_EQ(chmod((out_ + "only.txt").c_str(), 0751), 0);
  ASSERT_EQ(p7z_to_file(archive, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "only.txt"), "only");
  EXPECT_EQ(mode_of(out_ + "only.txt") & 07777, 0751u);
}

TEST_F(SevenZipTest, FoldersMakeNothingAndParentsAreNotMade) {
  write_file(dir_ / "src/sub/inner/f.txt", "f");
  ASSERT_EQ(mkdir((dir_ / "src/empty").c_str(), 0755), 0);
  const std::string folders = make_7z("folders.7z", "", "empty");
  EXPECT_EQ(p7z_to_file(folders, out_, nullptr, 0), 0);
  EXPECT_TRUE(listing(out_).empty());

  const std::string nested = make_7z("nested.7z", "", "sub");
  EXPECT_EQ(p7z_to_file(nested, out_, nullptr, 0), ENOENT);
  EXPECT_TRUE(listing(out_).empty());
  ASSERT_EQ(sh("mkdir -p '" + out_ + "sub/inner'"), 0);
  EXPECT_EQ(p7z_to_file(nested, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "sub/inner/f.txt"), "f");
}

TEST_F(SevenZipTest, EmptyNotA7zAndMissing) {
  ASSERT_EQ(mkdir((dir_ / "src").c_str(), 0755), 0);
  const std::string empty = dir_ / "empty.7z";
  ASSERT_EQ(sh("cd '" + dir_ / "src" + "' && 7z a -bd -bso0 -bsp0 '" + empty + "'"), 0);
  ASSERT_EQ(read_file(empty).size(), 32u);  // the signature header alone
  std::string name = "untouched";
  EXPECT_EQ(p7z_to_file(empty, out_, &name, 0), 0);
  EXPECT_EQ(name, "untouched");
  EXPECT_TRUE(listing(out_).empty());

  write_file(dir_ / "text.7z", "no archive at all, just some text that is long enough\n");
  EXPECT_EQ(p7z_to_file(dir_ / "text.7z", out_, nullptr, 0), err_zip_open);
  write_file(dir_ / "zero.7z", "");
  EXPECT_EQ(p7z_to_file(dir_ / "zero.7z", out_, nullptr, 0), err_zip_open);
  // A zip is no 7z archive either.
  const std::string zip = make_zip("z.zip", "add('a', 'a')\n");
  EXPECT_EQ(p7z_to_file(zip, out_, nullptr, 0), err_zip_open);
  EXPECT_EQ(p7z_to_file(dir_ / "missing.7z", out_, nullptr, 0), ENOENT);
  EXPECT_TRUE(listing(out_).empty());
}

TEST_F(SevenZipTest, DamagedDataLeavesOldFile) {
  write_file(dir_ / "src/f.txt", words(100 * 1024, 9));
  for (const std::string method : {"-m0=Copy", "-m0=LZMA2"}) {
    const std::string archive = make_7z("d" + method + ".7z", method, "f.txt");
    std::string bytes = read_file(archive);
    // Inside the packed stream, which follows the 32-byte signature header.
    bytes[32 + 700] ^= 0x40;
    write_file(archive, bytes);
    write_file(out_ + "f.txt", "OLD");
    EXPECT_EQ(p7z_to_file(archive, out_, nullptr, 0), err_zip_read) << method;
    EXPECT_EQ(read_file(out_ + "f.txt"), "OLD") << method;
    EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"})) << method;
  }
}

TEST_F(SevenZipTest, FileIsCheckedWhileItIsWritten) {
  const std::string data = words(2 * 1024 * 1024 + 77, 22);
  write_file(dir_ / "src/f.txt", data);
  const std::string archive = make_7z("c.7z", "", "f.txt");
  const std::string sig = ReleaseBuilder::md5_of(data);

  unpack_check right;
  right.want_md5 = sig;
  right.max_bytes = static_cast<std::int64_t>(data.size()) + 1024;
  ASSERT_EQ(p7z_to_file(archive, out_, nullptr, 0, &right), 0);
  EXPECT_EQ(read_file(out_ + "f.txt"), data);
  EXPECT_EQ(right.found_md5, sig);

  for (const int code : {err_wrong_signature, err_too_large}) {
    write_file(out_ + "f.txt", "OLD");
    unpack_check check;
    check.want_md5 = code == err_wrong_signature ? ReleaseBuilder::md5_of("other") : sig;
    check.max_bytes = code == err_too_large ? 4096 : -1;
    EXPECT_EQ(p7z_to_file(archive, out_, nullptr, 0, &check), code);
    EXPECT_EQ(read_file(out_ + "f.txt"), "OLD") << code;
    EXPECT_EQ(listing(out_), (std::set<std::string>{"f.txt"})) << code;
  }
}

TEST_F(SevenZipTest, TruncatedAnywhereFailsCleanly) {
  write_file(dir_ / "src/a.txt", words(50 * 1024, 10));
  write_file(dir_ / "src/b.bin", noise(3000, 11));
  const std::string whole = read_file(make_7z("t.7z", "", "a.txt b.bin"));
  const std::string cut = dir_ / "cut.7z";
  for (std::size_t len = 0; len < whole.size(); len += 7) {
    write_file(cut, whole.substr(0, len));
    write_file(out_ + "a.txt", "OLD a");
    write_file(out_ + "b.bin", "OLD b");
    EXPECT_NE(p7z_to_file(cut, out_, nullptr, 0), 0) << len;
    EXPECT_EQ(read_file(out_ + "a.txt"), "OLD a") << len;
    EXPECT_EQ(read_file(out_ + "b.bin"), "OLD b") << len;
    EXPECT_EQ(listing(out_), (std::set<std::string>{"a.txt", "b.bin"})) << len;
  }
}

TEST_F(SevenZipTest, NonAsciiNamesArriveAsUtf8) {
  // Whatever the program's locale (the tests run in "C").
  write_file(dir_ / "src/Caf\xc3\xa9 \xc3\xbc.txt", "utf8");
  const std::string archive = make_7z("u.7z", "", "*.txt");
  ASSERT_EQ(p7z_to_file(archive, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "Caf\xc3\xa9 \xc3\xbc.txt"), "utf8");
}

TEST_F(SevenZipTest, LinksAreSkippedWithLogLine) {
  write_file(dir_ / "src/real.txt", "real");
  ASSERT_EQ(symlink("/etc/passwd", (dir_ / "src/link").c_str()), 0);
  const std::string archive = make_7z("l.7z", "-snl", "real.txt link");
  LogCapture log(dir_ / "log.txt");
  ASSERT_EQ(p7z_to_file(archive, out_, nullptr, 0), 0);
  EXPECT_EQ(listing(out_), (std::set<std::string>{"real.txt"}));
  EXPECT_NE(log.text().find("7z to file skipped \"link\": it is a symbolic link.\n"),
            std::string::npos)
      << log.text();
}

// Renames the 7-character item "QQQQQQQ" of the 7z archive sys.argv[1],
// made with a plain (uncompressed) header, to sys.argv[2] (same length),
// fixing the header CRCs.
const char kRename7zItem[] = R"py(
path = sys.argv[1]
b = bytearray(open(path, 'rb').read())
old, new = 'QQQQQQQ'.encode('utf-16-le'), sys.argv[2].encode('utf-16-le')
assert len(old) == len(new)
i = b.find(old)
assert i > 32
b[i:i + len(old)] = new
off, size = struct.unpack('<QQ', b[12:28])
b[28:32] = struct.pack('<I', zlib.crc32(b[32 + off:32 + off + size]))
b[8:12] = struct.pack('<I', zlib.crc32(b[12:32]))
open(path, 'wb').write(b)
)py";

TEST_F(SevenZipTest, HostileNamesAreRefused) {
  const std::string outside = dir_ / "outside/";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  write_file(dir_ / "src/QQQQQQQ", "evil");
  for (const std::string bad : {"../evil", "/tmp/ev", "a/../.."}) {
    const std::string archive = make_7z("h.7z", "-mhc=off", "QQQQQQQ");
    ASSERT_TRUE(py(dir_, kRename7zItem, {archive, bad}));
    LogCapture log(dir_ / "log.txt");
    EXPECT_EQ(p7z_to_file(archive, out_, nullptr, 0), EPERM) << bad;
    EXPECT_NE(log.text().find("7z to file refused the entry \"" + bad + "\""), std::string::npos)
        << log.text();
    EXPECT_TRUE(listing(out_).empty()) << bad;
    EXPECT_FALSE(exists_at_all(dir_ / "evil"));
    unlink(archive.c_str());
  }
  // Through a link planted in the output folder.
  ASSERT_EQ(symlink(outside.c_str(), (out_ + "planted").c_str()), 0);
  write_file(dir_ / "src/planted/x.txt", "evil");
  const std::string archive = make_7z("p.7z", "", "planted/x.txt");
  EXPECT_EQ(p7z_to_file(archive, out_, nullptr, 0), EPERM);
  EXPECT_TRUE(listing(outside).empty());
}

TEST_F(SevenZipTest, StreamCallbacksUse64BitPositions) {
  const std::string path = dir_ / "sparse.bin";
  const std::int64_t far = std::int64_t{9} << 29;  // 4.5 GiB
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(far), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite("MARK", 1, 4, f), 4u);
    ASSERT_EQ(std::fclose(f), 0);
  }
  SzFileInStream in;
  in.file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(in.file, nullptr);
  in.buffer.resize(16);
  EXPECT_EQ(SzFileSeekImp(nullptr, &in, far, SEEK_SET), far);
  const void* data = nullptr;
  ASSERT_EQ(SzFileReadImp(nullptr, &in, &data), 4);
  EXPECT_EQ(std::string(static_cast<const char*>(data), 4), "MARK");
  EXPECT_EQ(SzFileReadImp(nullptr, &in, &data), 0);  // the end
  EXPECT_EQ(SzFileSeekImp(nullptr, &in, -4, SEEK_END), far);
  EXPECT_EQ(SzFileSeekImp(nullptr, &in, 0, SEEK_SET), 0);
  // Skipping stops at the end of the file.
  EXPECT_EQ(SzFileSkipImp(nullptr, &in, far - 10), far - 10);
  EXPECT_EQ(SzFileSkipImp(nullptr, &in, 100), 14);
  EXPECT_EQ(SzFileSkipImp(nullptr, &in, 100), 0);
  EXPECT_LT(SzFileSeekImp(nullptr, &in, -1, SEEK_SET), 0);
  std::fclose(in.file);
}

// ---------------------------------------------------------------------------
// file_to_zip

TEST_F(ArchivesTest, FileToZipRoundTrips) {
  const std::string src = dir_ / "src/data.bin";
  const std::string content = words(700 * 1024, 12) + noise(1500 * 1024, 13);
  write_file(src, content);
  ASSERT_EQ(chmod(src.c_str(), 0640), 0);
  const time_t when = local_time(2019, 8, 9, 10, 11, 12);
  const timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);

  const std::string zip = dir_ / "made.zip";
  write_file(zip, "an older file of that name");
  ASSERT_EQ(file_to_zip(src, zip), 0);
  // Another reader agrees on the name, the method, the mode and the data.
  EXPECT_TRUE(py(dir_, R"py(
[i] = zipfile.ZipFile(sys.argv[1]).infolist()
assert i.filename == 'data.bin' and i.compress_type == 8, i
assert i.external_attr >> 16 == 0o100640, oct(i.external_attr)
assert zipfile.ZipFile(sys.argv[1]).read(i) == open(sys.argv[2], 'rb').read()
)py",
                 {zip, src}));
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_EQ(read_file(out_ + "data.bin"), content);
  EXPECT_EQ(mode_of(out_ + "data.bin") & 07777, 0640u);
  EXPECT_EQ(mtime_of(out_ + "data.bin"), when);  // even seconds survive the zip's date

  write_file(dir_ / "empty", "");
  ASSERT_EQ(file_to_zip(dir_ / "empty", zip), 0);
  ASSERT_EQ(zip_to_file(zip, out_, nullptr, 0), 0);
  EXPECT_TRUE(exists_at_all(out_ + "empty"));
}

TEST_F(ArchivesTest, FileToZipFailures) {
  LogCapture log(dir_ / "log.txt");
  EXPECT_EQ(file_to_zip(dir_ / "missing", dir_ / "m.zip"), err_file_open);
  EXPECT_FALSE(exists_at_all(dir_ / "m.zip"));
  EXPECT_NE(log.text().find("file_to_zip failed with error 20006.\nfile = archives.cpp line = "),
            std::string::npos)
      << log.text();
  write_file(dir_ / "f", "f");
  EXPECT_EQ(file_to_zip(dir_ / "f", dir_ / "no/such/folder.zip"), err_zip_create);
}

TEST_F(ArchivesTest, FileToZipFailingPartWayLeavesNoArchive) {
  LogCapture log(dir_ / "log.txt");
  // Noise does not compress, so the archive outgrows the file size limit
  // set in the child long before it is finished.
  const std::string src = dir_ / "big.bin";
  write_file(src, noise(1024 * 1024, 14));
  const std::string zip = dir_ / "big.zip";
  write_file(zip, "an older file of that name");
  xer.flush();  // or the child would write the parent's pending log again
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    _exit(file_to_zip(src, zip) != 0 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the archive did not fail";
  EXPECT_FALSE(exists_at_all(zip)) << "an incomplete archive was left";
  EXPECT_EQ(listing(dir_.path()), (std::set<std::string>{"big.bin", "log.txt", "out"}));
}

TEST_F(ArchivesTest, FileToZipLeavesAFileItCannotOpenAlone) {
  const std::string src = dir_ / "f";
  write_file(src, "f");
  ASSERT_EQ(chmod(src.c_str(), 0644), 0);
  const std::string zip = dir_ / "locked.zip";
  write_file(zip, "not ours to remove");
  ASSERT_EQ(chmod(zip.c_str(), 0444), 0);
  // Reachable by an ordinary user, who could remove the file from the folder.
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  EXPECT_EQ(as_unprivileged_user([&] { return file_to_zip(src, zip) == err_zip_create ? 0 : 1; }), 0);
  EXPECT_EQ(read_file(zip), "not ours to remove");
  ASSERT_EQ(chmod(dir_.path().c_str(), 0700), 0);
}

}  // namespace
