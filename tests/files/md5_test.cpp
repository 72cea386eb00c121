#include "files/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "window/macibm.h"

namespace {

std::string hex_of(const unsigned char* digest) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < 16; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string md5_wide(const std::string& s) {
  MD5_CTX c;
  MD5Init(&c);
  MD5UpdateWide(&c, bytes(s), static_cast<std::int64_t>(s.size()));
  MD5Final(&c);
  return hex_of(c.digest);
}

// Runs a shell command and returns the first word of what it prints (the
// digest, for md5sum).
std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out.substr(0, out.find_first_of(" \n"));
}

std::string md5sum_of_file(const std::string& path) { return run("md5sum < '" + path + "'"); }

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

struct Rfc1321Case {
  const char* message;
  const char* digest;
};

const Rfc1321Case kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

class Md5FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    saved_case = g_case_sensitive;
  }
  void TearDown() override { g_case_sensitive = saved_case; }
  TempDir dir;
  int saved_case = 0;
};

TEST(Md5Memory, Rfc1321SuiteThroughEveryEntry) {
  for (const auto& t : kRfc1321) {
    const std::string m = t.message;
    SCOPED_TRACE(m);
    EXPECT_EQ(md5_wide(m), t.digest);

    MD5_CTX c;
    MD5Init(&c);
    MD5Update(&c, bytes(m), static_cast<unsigned short>(m.size()));
    MD5Final(&c);
    EXPECT_EQ(hex_of(c.digest), t.digest);

    // Byte by byte: every byte goes through the partial-block buffer.
    MD5Init(&c);
    for (unsigned char ch : m) MD5Update(&c, &ch, 1);
    MD5Final(&c);
    EXPECT_EQ(hex_of(c.digest), t.digest);
  }
}

TEST(Md5Memory, TransformCompressesOneBlock) {
  // "abc" padded by hand into one block: 0x80, zeros, then the length of 24
  // bits; the state after one Transform is the digest.
  unsigned char block[64] = {'a', 'b', 'c', 0x80};
  block[56] = 24;
  MD5_CTX c;
  MD5Init(&c);
  Transform(c.state, block);
  unsigned char digest[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<unsigned char>(c.state[i] >> (8 * j));
  EXPECT_EQ(hex_of(digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5Memory, SplittingTheInputNeverChangesTheDigest) {
  const std::string data = noise(1000, 7);
  const std::string whole = md5_wide(data);
  // Two cuts anywhere, including at 0, at the end, on and off block bounds;
  // the data sits at an odd address too.
  const std::string shifted = "x" + data;
  const unsigned char* base = bytes(shifted) + 1;
  const std::int64_t n = static_cast<std::int64_t>(data.size());
  for (std::int64_t i = 0; i <= n; i += 7) {
    for (std::int64_t j = i; j <= n; j += 61) {
      MD5_CTX c;
      MD5Init(&c);
      MD5UpdateWide(&c, base, i);
      MD5UpdateWide(&c, base + i, j - i);
      MD5UpdateWide(&c, base + j, -5);  // a negative length adds nothing
      MD5UpdateWide(&c, base + j, n - j);
      MD5Final(&c);
      ASSERT_EQ(hex_of(c.digest), whole) << "cuts at " << i << " and " << j;
    }
  }
}

TEST(Md5Memory, EveryLengthAcrossTwoBlocksMatchesMd5sum) {
  // The padding takes one or two blocks depending on the length modulo 64;
  // every length from 0 to 129 bytes is checked against md5sum.
  TempDir dir;
  const std::string data = noise(130, 11);
  ASSERT_TRUE(write_file(dir / "d", data));
  FILE* p = popen(("for n in $(seq 0 129); do head -c $n '" + dir / "d" + "' | md5sum; done").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::vector<std::string> expected;
  char line[256];
  while (std::fgets(line, sizeof line, p)) expected.push_back(std::string(line).substr(0, 32));
  pclose(p);
  ASSERT_EQ(expected.size(), 130u);
  for (std::size_t n = 0; n < expected.size(); ++n)
    EXPECT_EQ(md5_wide(data.substr(0, n)), expected[n]) << n << " bytes";
}

TEST(Md5Memory, SixteenBitAndWideUpdatesAgreeOnLargeInputs) {
  const std::string data = noise(200000, 3);
  MD5_CTX c;
  MD5Init(&c);
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t piece = std::min<std::size_t>(65535, data.size() - at);
    MD5Update(&c, bytes(data) + at, static_cast<unsigned short>(piece));
    at += piece;
  }
  MD5Final(&c);
  EXPECT_EQ(hex_of(c.digest), md5_wide(data));

  TempDir dir;
  ASSERT_TRUE(write_file(dir / "d", data));
  EXPECT_EQ(hex_of(c.digest), md5sum_of_file(dir / "d"));
}

TEST(Md5Memory, BitCountCarriesPastFourGigabits) {
  // 600 MiB (over 2^32 bits) of "abcdefg\n" repeated, fed in pieces that are
  // not whole blocks, against md5sum of the same stream.
  const std::int64_t total = 600ll << 20;
  const std::string expected = run("yes abcdefg | head -c " + std::to_string(total) + " | md5sum");
  ASSERT_EQ(expected.size(), 32u);

  std::string pattern;
  while (pattern.size() < (1u << 20)) pattern += "abcdefg\n";
  const std::int64_t piece = static_cast<std::int64_t>(pattern.size()) - 8;  // a multiple of 8, not of 64
  MD5_CTX c;
  MD5Init(&c);
  for (std::int64_t done = 0; done < total; done += piece)
    MD5UpdateWide(&c, bytes(pattern), std::min(piece, total - done));
  const std::uint64_t bits = static_cast<std::uint64_t>(c.count[1]) << 32 | c.count[0];
  EXPECT_EQ(bits, static_cast<std::uint64_t>(total) * 8);
  MD5Final(&c);
  EXPECT_EQ(hex_of(c.digest), expected);
}

TEST_F(Md5FileTest, Rfc1321SuiteAsFiles) {
  int i = 0;
  for (const auto& t : kRfc1321) {
    const std::string path = dir / ("m" + std::to_string(i++));
    ASSERT_TRUE(write_file(path, t.message));
    std::string sig = "NONE";
    EXPECT_EQ(calc_file_md5(path, sig), 0) << path;
    EXPECT_EQ(sig, t.digest) << "message \"" << t.message << "\"";
  }
}

TEST_F(Md5FileTest, SizesAroundPieceAndChunkBoundsMatchMd5sum) {
  const std::size_t sizes[] = {63, 64, 65, 65535, 65536, 65537, (1u << 20) - 1, 1u << 20,
                               (3u << 20) + 12345};
  for (std::size_t size : sizes) {
    const std::string path = dir / ("f" + std::to_string(size));
    ASSERT_TRUE(write_file(path, noise(size, static_cast<std::uint32_t>(size))));
    std::string sig;
    ASSERT_EQ(calc_file_md5(path, sig), 0) << size;
    EXPECT_EQ(sig, md5sum_of_file(path)) << size;
  }
}

TEST_F(Md5FileTest, UnreadablePathsFailAndLeaveTheSignature) {
  std::string sig = "NONE";
  EXPECT_EQ(calc_file_md5(dir / "missing", sig), err_file_open);
  EXPECT_EQ(sig, "NONE");

  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  EXPECT_EQ(calc_file_md5(dir / "folder", sig), err_file_open);
  EXPECT_EQ(calc_file_md5(dir / "folder/", sig), err_file_open);
  EXPECT_EQ(sig, "NONE");

  // A FIFO is refused at once instead of waiting for a writer.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  auto pending = std::async(std::launch::async, [&] {
    std::string s = "NONE";
    const int rc = calc_file_md5(dir / "fifo", s);
    return rc == err_file_open && s == "NONE";
  });
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(pending.get());

  EXPECT_EQ(calc_file_md5("", sig), err_file_open);
  EXPECT_EQ(sig, "NONE");
}

TEST_F(Md5FileTest, FileWhoseLengthDiffersFromItsSizeFails) {
  // A file that changes length while it is read must not get a signature.
  // Files under /proc are regular files whose size reads as 0 whatever they
  // hold, which gives the same mismatch without a race.
  std::string sig = "NONE";
  EXPECT_EQ(calc_file_md5("/proc/self/status", sig), err_file_open);
  EXPECT_EQ(sig, "NONE");
}

TEST_F(Md5FileTest, FileWithoutReadPermissionFails) {
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // reachable by an ordinary user
  const std::string path = dir / "secret";
  ASSERT_TRUE(write_file(path, "hidden"));
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_EQ(as_unprivileged_user([&] {
              std::string sig = "NONE";
              const int r = calc_file_md5(path, sig);
              return r == err_file_open && sig == "NONE" ? 0 : 1;
            }),
            0);
}

TEST_F(Md5FileTest, RepairsLetterCaseOnlyWhenTheFileSystemNeedsIt) {
  ASSERT_TRUE(write_file(dir / "data/File.bin", "abc"));
  const std::string asked = dir / "DATA/file.BIN";

  g_case_sensitive = 1;
  std::string sig;
  ASSERT_EQ(calc_file_md5(asked, sig), 0);
  EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(asked, dir / "DATA/file.BIN");

  // Without the repair the wrongly cased path names nothing here.
  g_case_sensitive = 0;
  std::string other = "NONE";
  EXPECT_EQ(calc_file_md5(asked, other), err_file_open);
  EXPECT_EQ(other, "NONE");
}

TEST_F(Md5FileTest, WorkerThreadsHashAtOnce) {
  std::vector<std::string> paths, expected;
  for (int i = 0; i < 8; ++i) {
    const std::string path = dir / ("t" + std::to_string(i));
    const std::string data = noise((1u << 20) + 1000u * static_cast<unsigned>(i), 100 + i);
    ASSERT_TRUE(write_file(path, data));
    paths.push_back(path);
    expected.push_back(md5_wide(data));
  }
  std::vector<std::future<std::string>> results;
  for (int round = 0; round < 3; ++round)
    for (const auto& p : paths)
      results.push_back(std::async(std::launch::async, [p] {
        std::string s;
        return calc_file_md5(p, s) == 0 ? s : std::string("failed");
      }));
  for (std::size_t i = 0; i < results.size(); ++i)
    EXPECT_EQ(results[i].get(), expected[i % paths.size()]) << paths[i % paths.size()];
}

}  // namespace
