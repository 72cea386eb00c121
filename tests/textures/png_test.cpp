#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "files/xmap.h"
#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_png.h"

namespace {

using fixture::png_spec;
using fixture::rows_of;

struct decoded {
  int result = 0;
  TEX_image_desc desc;
  int rows = 0;
  int row_bytes = 0;
  std::vector<unsigned char> px;  // the whole buffer
  // Byte c of pixel (x, y), y counted from the top of the picture.
  int at(int x, int y, int c) const {
    const int bpp = desc.format == GL_RGBA ? 4 : (desc.format == GL_RGB ? 3 : 1);
    return px[(desc.height - 1 - y) * row_bytes + x * bpp + c];
  }
};

// Writes the file and decodes it through the mapped-file entry point into a
// buffer the decoder allocates.
decoded load(const std::string& file, unsigned int format, int row_pixels = 0, int pow2 = 0, int follow = 0) {
  TempDir dir;
  write_file(dir / "a.png", file);
  xmap_class map(dir / "a.png");
  decoded d;
  unsigned char* data = nullptr;
  d.result = TEX_load_png(dir / "a.png", &map, data, format, row_pixels, pow2, follow, d.desc, 0);
  if (d.result != 1) return d;
  const int bpp = d.desc.format == GL_RGBA ? 4 : (d.desc.format == GL_RGB ? 3 : 1);
  d.row_bytes = bpp * d.desc.width + d.desc.pad;
  d.rows = pow2 ? TEX_next_pow2(d.desc.height) : d.desc.height;
  d.px.assign(data, data + d.rows * d.row_bytes);
  free(data);
  return d;
}

png_spec rgb_3x2() {
  png_spec s;
  s.width = 3;
  s.height = 2;
  s.rows = rows_of(3, 2, 3, [](int x, int y, int c) { return 10 * (y * 3 + x) + c + 1; });
  return s;
}

}  // namespace

TEST(PngRead, BottomUpRowsWithPowerOfTwoPadding) {
  decoded d = load(fixture::make_png(rgb_3x2()), GL_RGB);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.desc.format, GL_RGB);
  EXPECT_EQ(d.desc.width, 3);
  EXPECT_EQ(d.desc.height, 2);
  EXPECT_EQ(d.desc.pad, 0);
  EXPECT_EQ(d.desc.has_mipmaps, 0);
  // The PNG's top row is the buffer's last; gAMA 1/2.2 means no correction.
  EXPECT_EQ(d.px, (std::vector<unsigned char>{31, 32, 33, 41, 42, 43, 51, 52, 53, 1, 2, 3, 11, 12, 13, 21, 22, 23}));

  d = load(fixture::make_png(rgb_3x2()), GL_RGB, 0, 1);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.desc.pad, 3);
  ASSERT_EQ(d.px.size(), 24u);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{31, 32, 33, 41, 42, 43, 51, 52, 53, 0, 0, 0, 1, 2, 3, 11, 12, 13, 21,
                                              22, 23, 0, 0, 0}));

  png_spec s3 = rgb_3x2();
  s3.height = 3;
  s3.rows = rows_of(3, 3, 3, [](int, int, int) { return 200; });
  d = load(fixture::make_png(s3), GL_RGB, 0, 1);
  ASSERT_EQ(d.result, 1);
  ASSERT_EQ(d.rows, 4);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(d.px[i], i % 12 < 9 ? 200 : 0) << i;
  for (int i = 36; i < 48; ++i) EXPECT_EQ(d.px[i], 0) << "the row above the picture";
}

TEST(PngRead, ChannelRulesForEveryColourType) {
  // Grey into RGBA: R = G = B = grey, A = 255.
  png_spec grey;
  grey.width = 2;
  grey.height = 1;
  grey.color_type = PNG_COLOR_TYPE_GRAY;
  grey.rows = rows_of(2, 1, 1, [](int x, int, int) { return 70 + x; });
  decoded d = load(fixture::make_png(grey), GL_RGBA);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{70, 70, 70, 255, 71, 71, 71, 255}));

  // RGBA asked as RGB with follow_alpha comes back RGBA; without, alpha goes.
  png_spec rgba;
  rgba.width = 2;
  rgba.height = 1;
  rgba.color_type = PNG_COLOR_TYPE_RGBA;
  rgba.rows = rows_of(2, 1, 4, [](int x, int, int c) { return 100 + 10 * x + c; });
  d = load(fixture::make_png(rgba), GL_RGB, 0, 0, 1);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.desc.format, GL_RGBA);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{100, 101, 102, 103, 110, 111, 112, 113}));
  d = load(fixture::make_png(rgba), GL_RGB);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{100, 101, 102, 110, 111, 112}));
  // And RGB asked as RGBA with follow_alpha comes back RGB.
  d = load(fixture::make_png(rgb_3x2()), GL_RGBA, 0, 0, 1);
  EXPECT_EQ(d.desc.format, GL_RGB);
  d = load(fixture::make_png(rgb_3x2()), GL_RGBA);
  EXPECT_EQ(d.desc.format, GL_RGBA);
  EXPECT_EQ(d.at(2, 1, 3), 255);

  // Colour into ALPHA: the library's grey value, which weighs the channels
  // in linear light; GL_ALPHA never changes.
  png_spec prim;
  prim.width = 5;
  prim.height = 1;
  prim.rows = {{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0}};
  d = load(fixture::make_png(prim), GL_ALPHA, 0, 0, 1);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.desc.format, GL_ALPHA);
  ASSERT_EQ(d.px.size(), 5u);
  const double weight[3] = {0.2126, 0.7152, 0.0722};
  for (int x = 0; x < 3; ++x) EXPECT_NEAR(d.px[x], 255 * std::pow(weight[x], 1 / 2.2), 3) << x;
  EXPECT_EQ(d.px[3], 255);
  EXPECT_EQ(d.px[4], 0);

  // 16 bits per channel come out as their high byte.
  png_spec deep;
  deep.width = 2;
  deep.height = 1;
  deep.bit_depth = 16;
  deep.rows = rows_of(2, 1, 6, [](int x, int, int c) { return c % 2 == 0 ? 40 + 50 * x + c : 0xEE; });
  d = load(fixture::make_png(deep), GL_RGB);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{40, 42, 44, 90, 92, 94}));

  // 1-bit grey as ALPHA: one byte per pixel, 0 or 255.
  png_spec bits;
  bits.width = 10;
  bits.height = 2;
  bits.color_type = PNG_COLOR_TYPE_GRAY;
  bits.bit_depth = 1;
  bits.rows = {{0xA5, 0x80}, {0x00, 0x40}};
  d = load(fixture::make_png(bits), GL_ALPHA);
  ASSERT_EQ(d.result, 1);
  const int top[10] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 0};
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(d.at(x, 0, 0), top[x] ? 255 : 0) << x;
    EXPECT_EQ(d.at(x, 1, 0), x == 9 ? 255 : 0) << x;
  }
}

TEST(PngRead, TransparencyChunkCountsAsAlpha) {
  png_spec pal;
  pal.width = 3;
  pal.height = 1;
  pal.color_type = PNG_COLOR_TYPE_PALETTE;
  pal.bit_depth = 4;
  pal.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  pal.trns = {0, 128};
  pal.rows = {{0x01, 0x20}};
  const std::string file = fixture::make_png(pal);

  decoded d = load(file, GL_RGB);
  ASSERT_EQ(d.result, 1);
  EXPECT_EQ(d.desc.format, GL_RGB);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{255, 0, 0, 0, 255, 0, 0, 0, 255})) << "3 bytes a pixel, alpha gone";
  d = load(file, GL_RGBA);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}));
  d = load(file, GL_RGB, 0, 0, 1);
  EXPECT_EQ(d.desc.format, GL_RGBA) << "the file has alpha through its tRNS chunk";
  EXPECT_EQ(d.px.size(), 12u);
  d = load(file, GL_ALPHA);
  ASSERT_EQ(d.px.size(), 3u);
  EXPECT_NEAR(d.px[1], 255 * std::pow(0.7152, 1 / 2.2), 3);

  png_spec grey;
  grey.width = 2;
  grey.height = 1;
  grey.color_type = PNG_COLOR_TYPE_GRAY;
  grey.grey_trns = true;
  grey.grey_trns_value = 9;
  grey.rows = {{9, 200}};
  d = load(fixture::make_png(grey), GL_RGB, 0, 0, 1);
  EXPECT_EQ(d.desc.format, GL_RGBA);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{9, 9, 9, 0, 200, 200, 200, 255}));
  d = load(fixture::make_png(grey), GL_ALPHA);
  EXPECT_EQ(d.px, (std::vector<unsigned char>{9, 200}));
}

TEST(PngRead, InterlacedGammaAndTheCallersBuffer) {
  png_spec s;
  s.width = 13;
  s.height = 11;
  s.color_type = PNG_COLOR_TYPE_RGBA;
  s.rows = rows_of(13, 11, 4, [](int x, int y, int c) { return (x * 37 + y * 11 + c * 71) & 255; });
  const decoded plain = load(fixture::make_png(s), GL_RGBA);
  s.interlace = true;
  const std::string interlaced = fixture::make_png(s);
  const decoded adam7 = load(interlaced, GL_RGBA);
  ASSERT_EQ(adam7.result, 1);
  EXPECT_EQ(adam7.px, plain.px);
  EXPECT_EQ(plain.at(5, 3, 2), (5 * 37 + 3 * 11 + 2 * 71) & 255);

  // Without gAMA the file is taken as gamma 1.8 and comes out brighter.
  png_spec g;
  g.width = 4;
  g.height = 1;
  g.color_type = PNG_COLOR_TYPE_GRAY;
  g.gamma = 0;
  g.rows = {{0, 64, 128, 255}};
  decoded d = load(fixture::make_png(g), GL_ALPHA);
  for (int x = 0; x < 4; ++x) {
    const int v = g.rows[0][x];
    EXPECT_NEAR(d.px[x], 255.0 * std::pow(v / 255.0, 1.8 / 2.2), 1) << v;
  }
  EXPECT_GT(d.px[1], 64);

  // Into the caller's buffer, rows of 5 pixels: the pad is not written.
  TempDir dir;
  write_file(dir / "b.png", interlaced);
  xmap_class map(dir / "b.png");
  std::vector<unsigned char> buf(16 * 4 * 11 + 1, 0xCD);
  unsigned char* data = buf.data();
  TEX_image_desc desc;
  ASSERT_EQ(TEX_load_png(dir / "b.png", &map, data, GL_RGBA, 16, 0, 0, desc, 16 * 4 * 11), 1);
  EXPECT_EQ(data, buf.data());
  EXPECT_EQ(desc.pad, 12);
  for (int y = 0; y < 11; ++y) {
    EXPECT_EQ(0, memcmp(&buf[y * 64], &plain.px[y * 52], 52)) << y;
    for (int i = 52; i < 64; ++i) EXPECT_EQ(buf[y * 64 + i], 0xCD);
  }
  EXPECT_EQ(buf.back(), 0xCD);
}

TEST(PngRead, MissingOrShortFileIsQuiet) {
  TempDir dir;
  xmap_class none(dir / "none.png");
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  EXPECT_EQ(TEX_load_png(dir / "none.png", &none, data, GL_RGB, 0, 0, 0, desc, 0), 0);
  write_file(dir / "short.png", fixture::make_png(rgb_3x2()).substr(0, 7));
  xmap_class shrt(dir / "short.png");
  EXPECT_EQ(TEX_load_png(dir / "short.png", &shrt, data, GL_RGB, 0, 0, 0, desc, 0), 0);
  EXPECT_EQ(data, nullptr);
}

TEST(PngReadDeathTest, RecognisedButUnreadableFilesEndTheProgram) {
  TempDir dir;
  auto run = [&](const std::string& file, unsigned int format, std::int64_t size) {
    write_file(dir / "x.png", file);
    xmap_class map(dir / "x.png");
    std::vector<unsigned char> buf(size > 0 ? size : 1);
    unsigned char* data = size > 0 ? buf.data() : nullptr;
    TEX_image_desc desc;
    TEX_load_png(dir / "x.png", &map, data, format, 0, 0, 0, desc, size);
  };
  const std::string good = fixture::make_png(rgb_3x2());
  EXPECT_EXIT(run("GIF89a and more", GL_RGB, 0), ::testing::ExitedWithCode(1),
              "PING-FILE ERROR!(.|\n)*is_png=!png_sig_cmp");
  EXPECT_EXIT(run(good.substr(0, good.size() - 30), GL_RGB, 0), ::testing::ExitedWithCode(1),
              "PNG error!(.|\n)*PING-FILE ERROR!(.|\n)*setjmp\\(png_ptr->jmpbuf");
  EXPECT_EXIT(run(good, GL_BGR, 0), ::testing::ExitedWithCode(1), "Illegal bits per pixel");
  EXPECT_EXIT(run(good, GL_RGB, 17), ::testing::ExitedWithCode(1), "image too large for its buffer");
  png_spec wide;
  wide.width = 2049;
  wide.height = 1;
  wide.color_type = PNG_COLOR_TYPE_GRAY;
  wide.rows = rows_of(2049, 1, 1, [](int, int, int) { return 0; });
  EXPECT_EXIT(run(fixture::make_png(wide), GL_RGB, 0), ::testing::ExitedWithCode(1), "PING-FILE ERROR!");
}

TEST(PngWrite, RoundTripsAndReplacesTheFile) {
  TempDir dir;
  // 5 x 4 RGBA with pad 3, bottom-up.
  TEX_image_desc desc;
  desc.format = GL_RGBA;
  desc.width = 5;
  desc.height = 4;
  desc.pad = 3;
  std::vector<unsigned char> px(23 * 4);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 13 + 7);
  write_file(dir / "shot.png", "old");
  ASSERT_EQ(TEX_save_png(dir / "shot.png", desc, px.data()), 1);

  xmap_class map(dir / "shot.png");
  unsigned char* data = nullptr;
  TEX_image_desc back;
  ASSERT_EQ(TEX_load_png(dir / "shot.png", &map, data, GL_RGBA, 0, 0, 0, back, 0), 1);
  EXPECT_EQ(back.width, 5);
  EXPECT_EQ(back.height, 4);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(0, memcmp(data + y * 20, &px[y * 23], 20)) << y;
  free(data);
  data = nullptr;

  // The file is a plain top-down PNG with gamma 1/2.2.
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&img, (dir / "shot.png").c_str()));
  EXPECT_EQ(img.width, 5u);
  img.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> top_down(PNG_IMAGE_SIZE(img));
  ASSERT_TRUE(png_image_finish_read(&img, nullptr, top_down.data(), 0, nullptr));
  EXPECT_EQ(0, memcmp(&top_down[0], &px[3 * 23], 20)) << "first file row is the buffer's last";

  // One byte a pixel, no pad.
  desc.format = GL_ALPHA;
  desc.pad = 0;
  ASSERT_EQ(TEX_save_png(dir / "a.png", desc, px.data()), 1);
  xmap_class amap(dir / "a.png");
  ASSERT_EQ(TEX_load_png(dir / "a.png", &amap, data, GL_ALPHA, 0, 0, 0, back, 0), 1);
  EXPECT_EQ(0, memcmp(data, px.data(), 20));
  free(data);

  EXPECT_EQ(TEX_save_png(dir / "no/such/folder/a.png", desc, px.data()), 0);
}

TEST(PngWrite, FailedWriteLeavesTheOldFile) {
  TempDir dir;
  write_file(dir / "shot.png", "keep me");
  EXPECT_EXIT(
      {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 4096;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        TEX_image_desc desc;
        desc.format = GL_RGB;
        desc.width = 256;
        desc.height = 256;
        std::vector<unsigned char> noise(256 * 256 * 3);
        unsigned seed = 1;
        for (auto& b : noise) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
        _exit(TEX_save_png(dir / "shot.png", desc, noise.data()) == 0 ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "PNG error!");
  EXPECT_EQ(read_file(dir / "shot.png"), "keep me");
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(entries, 1) << "no temporary file left";
}

TEST(PngWriteDeathTest, UnknownFormatIsFatal) {
  TEX_image_desc desc;
  desc.format = GL_BGRA;
  desc.width = 1;
  desc.height = 1;
  unsigned char px[4] = {};
  EXPECT_EXIT(TEX_save_png("/tmp/never.png", desc, px), ::testing::ExitedWithCode(1),
              "Illegal pixel format for png-write.");
}
