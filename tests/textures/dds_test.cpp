#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "files/xmap.h"
#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_dds.h"

namespace {

constexpr std::uint32_t kMipFlags = 0xA1007;  // with the mipmap-count flag
constexpr std::uint32_t kMipCaps = 0x401008;  // with the mipmap cap

std::uint32_t word_at(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8) |
         (static_cast<unsigned char>(s[at + 2]) << 16) | (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24);
}

}  // namespace

TEST(DdsRead, FormatsFlagsAndThePointerIntoTheFile) {
  struct {
    const char* fourcc;
    std::uint32_t pixel_flags;
    int format;
  } cases[] = {
      {"DXT1", 0x4, GL_COMPRESSED_RGB_S3TC_DXT1_EXT},  {"DXT3", 0x4, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
      {"DXT5", 0x4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}, {"DXT5", 0x44, GL_BGR},
      {"DXT5", 0x45, GL_BGRA},                         {nullptr, 0x40, GL_BGR},
  };
  TempDir dir;
  for (const auto& c : cases) {
    write_file(dir / "t.dds", fixture::make_dds(c.fourcc, c.pixel_flags, 8, 4, kMipFlags, kMipCaps, 4096));
    xmap_class map(dir / "t.dds");
    const unsigned char* data = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_dds(dir / "t.dds", &map, data, desc), 1) << c.pixel_flags;
    EXPECT_EQ(desc.format, c.format);
    EXPECT_EQ(desc.width, 8);
    EXPECT_EQ(desc.height, 4);
    EXPECT_EQ(desc.pad, 0);
    EXPECT_EQ(desc.has_mipmaps, 1);
    EXPECT_EQ(data, reinterpret_cast<const unsigned char*>(map.start) + 128);
  }

  const unsigned char* data = nullptr;
  TEX_image_desc desc;
  const std::string dxt2 = fixture::make_dds("DXT2", 0x4, 8, 8, kMipFlags, kMipCaps, 4096);
  EXPECT_EQ(TEX_parse_dds(reinterpret_cast<const unsigned char*>(dxt2.data()), dxt2.size(), data, desc), 0);
  const std::string neither = fixture::make_dds("DXT1", 0x0, 8, 8, kMipFlags, kMipCaps, 4096);
  EXPECT_EQ(TEX_parse_dds(reinterpret_cast<const unsigned char*>(neither.data()), neither.size(), data, desc), 0);
  // The mipmap-count flag without the mipmap cap: one level only.
  const std::string flat = fixture::make_dds("DXT1", 0x4, 8, 8, kMipFlags, 0x1008, 32);
  ASSERT_EQ(TEX_parse_dds(reinterpret_cast<const unsigned char*>(flat.data()), flat.size(), data, desc), 1);
  EXPECT_EQ(desc.has_mipmaps, 0);
}

TEST(DdsRead, ShortOrOversizedFilesAreRefusedQuietly) {
  const unsigned char* data = nullptr;
  TEX_image_desc desc;
  auto parse = [&](const std::string& s) {
    return TEX_parse_dds(reinterpret_cast<const unsigned char*>(s.data()), static_cast<std::int64_t>(s.size()), data,
                         desc);
  };
  // 8 x 8 DXT1 with its chain: 4 blocks + 1 + 1 + 1 = 56 bytes.
  const std::string good = fixture::make_dds("DXT1", 0x4, 8, 8, kMipFlags, kMipCaps, 56);
  EXPECT_EQ(parse(good), 1);
  EXPECT_EQ(parse(good.substr(0, good.size() - 1)), 0) << "short chain";
  EXPECT_EQ(parse(good.substr(0, 127)), 0) << "short header";
  EXPECT_EQ(parse(fixture::make_dds("DXT1", 0x4, 0, 8, kMipFlags, kMipCaps, 56)), 0);
  EXPECT_EQ(parse(fixture::make_dds("DXT1", 0x4, 8, 2049, kMipFlags, kMipCaps, 56)), 0);
  EXPECT_EQ(parse(fixture::make_dds("DXT1", 0x4, -8, 8, kMipFlags, kMipCaps, 56)), 0);
  // Raw BGRA 2048 x 2048 needs 16 MB after the header.
  EXPECT_EQ(parse(fixture::make_dds(nullptr, 0x41, 2048, 2048, 0, 0, 100)), 0);
  std::string magic = good;
  magic[3] = 'X';
  EXPECT_EQ(parse(magic), 0);

  TempDir dir;
  xmap_class none(dir / "none.dds");
  EXPECT_EQ(TEX_load_dds(dir / "none.dds", &none, data, desc), 0);
}

TEST(DdsWrite, HeaderLevelsAndReadingBack) {
  TempDir dir;
  // 8 x 2 RGB with pad 1.
  TEX_image_desc rgb;
  rgb.format = GL_RGB;
  rgb.width = 8;
  rgb.height = 2;
  rgb.pad = 1;
  std::vector<unsigned char> px(25 * 2, 0);
  for (int x = 0; x < 8; ++x) {
    px[x * 3] = 255;        // bottom row red
    px[25 + x * 3 + 2] = 255;  // top row blue
  }
  ASSERT_EQ(TEX_save_dds(dir / "rgb.dds", px.data(), rgb), 1);
  const std::string file = read_file(dir / "rgb.dds");
  ASSERT_EQ(file.size(), 128u + 16 + 8 + 8 + 8);
  EXPECT_EQ(file.substr(0, 4), "DDS ");
  EXPECT_EQ(word_at(file, 4), 124u);
  EXPECT_EQ(word_at(file, 8), 0xA1007u);
  EXPECT_EQ(word_at(file, 12), 2u);
  EXPECT_EQ(word_at(file, 16), 8u);
  EXPECT_EQ(word_at(file, 20), 16u);
  EXPECT_EQ(word_at(file, 28), 4u);
  EXPECT_EQ(word_at(file, 76), 32u);
  EXPECT_EQ(word_at(file, 80), 4u);
  EXPECT_EQ(file.substr(84, 4), "DXT1");
  EXPECT_EQ(word_at(file, 108), 0x401008u);

  // Read back: the whole chain, exactly the bytes its descriptor counts.
  xmap_class map(dir / "rgb.dds");
  const unsigned char* data = nullptr;
  TEX_image_desc back;
  ASSERT_EQ(TEX_load_dds(dir / "rgb.dds", &map, data, back), 1);
  EXPECT_EQ(back.has_mipmaps, 1);
  EXPECT_EQ(TEX_bytes_needed_for_image(back), static_cast<std::int64_t>(file.size()) - 128);
  // The file is top-down: its first row is blue.
  const std::vector<unsigned char> top = fixture::decode_dxt(data, 8, 2, back.format);
  EXPECT_GT(top[2], 240);
  EXPECT_LT(top[0], 16);
  EXPECT_GT(top[8 * 4], 240) << "second row red";
  // The 1 x 1 level is the mean, purple.
  const std::vector<unsigned char> last = fixture::decode_dxt(data + 16 + 8 + 8, 1, 1, back.format);
  EXPECT_NEAR(last[0], 127, 8);
  EXPECT_NEAR(last[2], 127, 8);

  // 4 x 4 RGBA: DXT5, three levels of 16 bytes, alpha kept.
  TEX_image_desc rgba;
  rgba.format = GL_RGBA;
  rgba.width = 4;
  rgba.height = 4;
  std::vector<unsigned char> p4(64);
  for (int i = 0; i < 16; ++i) {
    p4[i * 4] = 200;
    p4[i * 4 + 3] = static_cast<unsigned char>(i * 16);
  }
  ASSERT_EQ(TEX_save_dds(dir / "rgba.dds", p4.data(), rgba), 1);
  const std::string f4 = read_file(dir / "rgba.dds");
  ASSERT_EQ(f4.size(), 128u + 48);
  EXPECT_EQ(f4.substr(84, 4), "DXT5");
  EXPECT_EQ(word_at(f4, 28), 3u);
  const std::vector<unsigned char> dec =
      fixture::decode_dxt(reinterpret_cast<const unsigned char*>(f4.data()) + 128, 4, 4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
  EXPECT_NEAR(dec[3], 12 * 16, 20) << "top-left of the file is the image's top row";

  rgba.width = 1;
  rgba.height = 1;
  ASSERT_EQ(TEX_save_dds(dir / "one.dds", p4.data(), rgba), 1);
  const std::string f1 = read_file(dir / "one.dds");
  EXPECT_EQ(f1.size(), 128u + 16);
  EXPECT_EQ(word_at(f1, 28), 1u);

  EXPECT_EQ(TEX_save_dds(dir / "missing/x.dds", p4.data(), rgba), 0);
}

TEST(DdsWrite, FailedWriteLeavesTheOldFile) {
  // The compression library runs on an OpenMP thread pool, which a forked
  // child does not get: the file-size limit is lowered in this process for
  // the one call instead.
  TempDir dir;
  write_file(dir / "t.dds", "keep me");
  TEX_image_desc desc;
  desc.format = GL_RGBA;
  desc.width = 64;
  desc.height = 64;
  std::vector<unsigned char> px(64 * 64 * 4, 77);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 1000;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
  const int result = TEX_save_dds(dir / "t.dds", px.data(), desc);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(read_file(dir / "t.dds"), "keep me");
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(entries, 1) << "no temporary file left";
}

TEST(DdsWriteDeathTest, OnlyRgbAndRgba) {
  TEX_image_desc desc;
  desc.format = GL_ALPHA;
  desc.width = 1;
  desc.height = 1;
  unsigned char px[1] = {};
  EXPECT_EXIT(TEX_save_dds("/tmp/never.dds", px, desc), ::testing::ExitedWithCode(1),
              "rel_assert Error!(.|\n)*in_desc.format == GL_RGBA \\|\\| in_desc.format == GL_RGB(.|\n)*TEX_save_dds");
}
