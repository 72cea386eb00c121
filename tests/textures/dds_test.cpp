#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <vector>

#include "files/xmap.h"
#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_dds.h"

namespace {

constexpr std::uint32_t kMipFlags = 0xA1007;  // with the mipmap-count flag
constexpr std::uint32_t kMipCaps = 0x401008;  // with the mipmap cap

std::uint32_t word_at(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

int parse(const std::string& s, TEX_image_desc& desc) {
  const unsigned char* data = nullptr;
  return TEX_parse_dds(reinterpret_cast<const unsigned char*>(s.data()), static_cast<std::int64_t>(s.size()), data, desc);
}

}  // namespace

TEST(DdsRead, FormatsFlagsAndThePointerIntoTheFile) {
  const struct {
    const char* fourcc;
    std::uint32_t pixel_flags, caps;
    int format, mips;
  } cases[] = {
      {"DXT1", 0x4, kMipCaps, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 1}, {"DXT3", 0x4, kMipCaps, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 1},
      {"DXT5", 0x4, kMipCaps, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 1}, {"DXT5", 0x44, kMipCaps, GL_BGR, 1},
      {"DXT5", 0x45, kMipCaps, GL_BGRA, 1},                         {nullptr, 0x40, 0x1008, GL_BGR, 0},
      {"DXT2", 0x4, kMipCaps, 0, 0},                                {"DXT1", 0x0, kMipCaps, 0, 0},
  };
  TempDir dir;
  for (const auto& c : cases) {
    write_file(dir / "t.dds", fixture::make_dds(c.fourcc, c.pixel_flags, 8, 4, kMipFlags, c.caps, 4096));
    xmap_class map(dir / "t.dds");
    const unsigned char* data = nullptr;
    TEX_image_desc desc;
    EXPECT_EQ(TEX_load_dds(dir / "t.dds", &map, data, desc), c.format ? 1 : 0) << c.pixel_flags;
    if (!c.format) continue;
    EXPECT_EQ((std::vector<int>{desc.format, desc.width, desc.height, desc.pad, desc.has_mipmaps}),
              (std::vector<int>{c.format, 8, 4, 0, c.mips}));
    EXPECT_EQ(data, reinterpret_cast<const unsigned char*>(map.start) + 128);
  }
  xmap_class none(dir / "none.dds");
  const unsigned char* data = nullptr;
  TEX_image_desc desc;
  EXPECT_EQ(TEX_load_dds(dir / "none.dds", &none, data, desc), 0);
}

TEST(DdsWrite, HeaderLevelsAndReadingBack) {
  TempDir dir;
  TEX_image_desc rgb;  // 8 x 2 RGB with pad 1: bottom row red, top row blue
  rgb.format = GL_RGB;
  rgb.width = 8;
  rgb.height = 2;
  rgb.pad = 1;
  std::vector<unsigned char> px(25 * 2, 0);
  for (int x = 0; x < 8; ++x) px[x * 3] = px[25 + x * 3 + 2] = 255;
  ASSERT_EQ(TEX_save_dds(dir / "rgb.dds", px.data(), rgb), 1);
  const std::string file = read_file(dir / "rgb.dds");
  ASSERT_EQ(file.size(), 128u + 16 + 8 + 8 + 8);
  EXPECT_EQ(file.substr(0, 4) + file.substr(84, 4), "DDS DXT1");
  const std::size_t at[] = {4, 8, 12, 16, 20, 28, 76, 80, 108};
  const std::uint32_t want[] = {124, 0xA1007, 2, 8, 16, 4, 32, 4, 0x401008};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(word_at(file, at[i]), want[i]) << "offset " << at[i];
  TEX_image_desc back;
  ASSERT_EQ(parse(file, back), 1);
  EXPECT_EQ(back.has_mipmaps, 1);
  EXPECT_EQ(TEX_bytes_needed_for_image(back), static_cast<std::int64_t>(file.size()) - 128);
  const auto* blocks = reinterpret_cast<const unsigned char*>(file.data()) + 128;
  const auto top = fixture::decode_dxt(blocks, 8, 2, back.format);
  EXPECT_TRUE(top[2] > 240 && top[0] < 16 && top[32] > 240) << "top-down: blue row first, then red";
  const auto last = fixture::decode_dxt(blocks + 32, 1, 1, back.format);
  EXPECT_NEAR(last[0], 127, 8) << "the 1 x 1 level is the mean";
  EXPECT_NEAR(last[2], 127, 8);

  TEX_image_desc rgba = rgb;  // 4 x 4 RGBA: DXT5, three levels of 16 bytes
  rgba.format = GL_RGBA;
  rgba.width = rgba.height = 4;
  rgba.pad = 0;
  std::vector<unsigned char> p4(64);
  for (int i = 0; i < 16; ++i) p4[i * 4 + 3] = static_cast<unsigned char>(i * 16);
  ASSERT_EQ(TEX_save_dds(dir / "rgba.dds", p4.data(), rgba), 1);
  const std::string f4 = read_file(dir / "rgba.dds");
  EXPECT_EQ(f4.size(), 128u + 48);
  EXPECT_EQ(f4.substr(84, 4), "DXT5");
  EXPECT_EQ(word_at(f4, 28), 3u);
  const auto dec = fixture::decode_dxt(reinterpret_cast<const unsigned char*>(f4.data()) + 128, 4, 4,
                                       GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
  EXPECT_NEAR(dec[3], 12 * 16, 20) << "alpha kept, top row first";
  rgba.width = rgba.height = 1;
  ASSERT_EQ(TEX_save_dds(dir / "one.dds", p4.data(), rgba), 1);
  EXPECT_EQ(read_file(dir / "one.dds").size(), 128u + 16);
  EXPECT_EQ(TEX_save_dds(dir / "missing/x.dds", p4.data(), rgba), 0);

  // A failed write returns 0 and leaves the old file. The compression
  // library runs on an OpenMP pool that a forked child would not have, so
  // the file-size limit is lowered in this process for the one call.
  rgba.width = rgba.height = 64;
  std::vector<unsigned char> big(64 * 64 * 4, 77);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 1000;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
  const int result = TEX_save_dds(dir / "one.dds", big.data(), rgba);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(read_file(dir / "one.dds").size(), 128u + 16);
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(entries, 3) << "no temporary file left";
}

TEST(DdsWriteDeathTest, OnlyRgbAndRgba) {
  TEX_image_desc desc;
  desc.format = GL_ALPHA;
  desc.width = desc.height = 1;
  unsigned char px[1] = {};
  EXPECT_EXIT(TEX_save_dds("/tmp/never.dds", px, desc), ::testing::ExitedWithCode(1),
              "rel_assert Error!(.|\n)*in_desc.format == GL_RGBA \\|\\| in_desc.format == GL_RGB(.|\n)*TEX_save_dds");
}
