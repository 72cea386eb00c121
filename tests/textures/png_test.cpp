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
using bytes = std::vector<unsigned char>;

// Decodes the file through the mapped-file entry point; the whole buffer.
bytes load(const std::string& file, unsigned int format, int pow2 = 0, int follow = 0, TEX_image_desc* out = nullptr) {
  TempDir dir;
  write_file(dir / "a.png", file);
  xmap_class map(dir / "a.png");
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  if (TEX_load_png(dir / "a.png", &map, data, format, 0, pow2, follow, desc, 0) != 1) return {};
  if (out) *out = desc;
  const int rows = pow2 ? TEX_next_pow2(desc.height) : desc.height;
  bytes px(data, data + rows * (TEX_bytes_per_pixel(desc.format) * desc.width + desc.pad));
  free(data);
  return px;
}

png_spec spec(int w, int h, int type, int depth, bytes packed_rows_top_down) {
  png_spec s;
  s.width = w;
  s.height = h;
  s.color_type = type;
  s.bit_depth = depth;
  const std::size_t row = packed_rows_top_down.size() / h;
  for (int y = 0; y < h; ++y) s.rows.emplace_back(packed_rows_top_down.begin() + y * row, packed_rows_top_down.begin() + (y + 1) * row);
  return s;
}

}  // namespace

TEST(PngRead, EveryColourTypeIntoEveryFormat) {
  const png_spec rgb = spec(3, 2, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 11, 12, 13, 21, 22, 23, 31, 32, 33, 41, 42, 43, 51, 52, 53});
  const png_spec grey = spec(2, 1, PNG_COLOR_TYPE_GRAY, 8, {70, 71});
  const png_spec rgba = spec(2, 1, PNG_COLOR_TYPE_RGBA, 8, {100, 101, 102, 103, 110, 111, 112, 113});
  const png_spec deep = spec(2, 1, PNG_COLOR_TYPE_RGB, 16, {40, 1, 42, 1, 44, 1, 90, 1, 92, 1, 94, 1});
  const png_spec bits = spec(10, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA5, 0x80});
  png_spec pal = spec(3, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01, 0x20});
  pal.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  pal.trns = {0, 128};
  png_spec keyed = spec(2, 1, PNG_COLOR_TYPE_GRAY, 8, {9, 200});
  keyed.grey_key = 9;
  const int G = static_cast<int>(std::lround(255 * std::pow(0.7152, 1 / 2.2)));  // green's grey, in linear light
  struct {
    const png_spec* s;
    unsigned int format;
    int pow2, follow;
    int want_format;
    bytes want;  // bottom-up, with the padding
  } cases[] = {
      {&rgb, GL_RGB, 0, 0, GL_RGB, {31, 32, 33, 41, 42, 43, 51, 52, 53, 1, 2, 3, 11, 12, 13, 21, 22, 23}},
      {&rgb, GL_RGB, 1, 0, GL_RGB, {31, 32, 33, 41, 42, 43, 51, 52, 53, 0, 0, 0, 1, 2, 3, 11, 12, 13, 21, 22, 23, 0, 0, 0}},
      {&rgb, GL_RGBA, 0, 1, GL_RGB, {31, 32, 33, 41, 42, 43, 51, 52, 53, 1, 2, 3, 11, 12, 13, 21, 22, 23}},
      {&grey, GL_RGBA, 0, 0, GL_RGBA, {70, 70, 70, 255, 71, 71, 71, 255}},
      {&rgba, GL_RGB, 0, 1, GL_RGBA, {100, 101, 102, 103, 110, 111, 112, 113}},
      {&rgba, GL_RGB, 0, 0, GL_RGB, {100, 101, 102, 110, 111, 112}},
      {&deep, GL_RGB, 0, 0, GL_RGB, {40, 42, 44, 90, 92, 94}},
      {&bits, GL_ALPHA, 0, 0, GL_ALPHA, {255, 0, 255, 0, 0, 255, 0, 255, 255, 0}},
      {&pal, GL_RGB, 0, 0, GL_RGB, {255, 0, 0, 0, 255, 0, 0, 0, 255}},
      {&pal, GL_RGB, 0, 1, GL_RGBA, {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}},
      {&pal, GL_ALPHA, 1, 1, GL_ALPHA, {0, static_cast<unsigned char>(G), 0, 0}},
      {&keyed, GL_RGB, 0, 1, GL_RGBA, {9, 9, 9, 0, 200, 200, 200, 255}},
      {&keyed, GL_ALPHA, 0, 0, GL_ALPHA, {9, 200}},
  };
  for (const auto& c : cases) {
    TEX_image_desc desc;
    bytes got = load(fixture::make_png(*c.s), c.format, c.pow2, c.follow, &desc);
    // The palette's blue comes out as its own grey; compare the green only.
    if (c.want_format == GL_ALPHA && c.s == &pal) got[0] = got[2] = 0;
    EXPECT_EQ(desc.format, c.want_format);
    EXPECT_EQ(got, c.want) << "colour type " << c.s->color_type << ", format " << std::hex << c.format;
  }
  // Without gAMA the file counts as gamma 1.8 and comes out brighter.
  png_spec dull = spec(4, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 64, 128, 255});
  dull.gamma = 0;
  const bytes bright = load(fixture::make_png(dull), GL_ALPHA);
  for (int x = 0; x < 4; ++x) EXPECT_NEAR(bright[x], 255.0 * std::pow(dull.rows[0][x] / 255.0, 1.8 / 2.2), 1);
}

TEST(PngRead, InterlacedIntoTheCallersRowsAndQuietMisses) {
  png_spec s = spec(13, 11, PNG_COLOR_TYPE_RGBA, 8, {});
  s.rows = rows_of(13, 11, 4, [](int x, int y, int c) { return (x * 37 + y * 11 + c * 71) & 255; });
  const bytes plain = load(fixture::make_png(s), GL_RGBA);
  ASSERT_EQ(plain.size(), 13u * 11 * 4);
  s.interlace = true;
  TempDir dir;
  write_file(dir / "i.png", fixture::make_png(s));
  xmap_class map(dir / "i.png");
  bytes buf(16 * 4 * 11, 0xCD);  // rows of 16 pixels
  unsigned char* data = buf.data();
  TEX_image_desc desc;
  ASSERT_EQ(TEX_load_png(dir / "i.png", &map, data, GL_RGBA, 16, 0, 0, desc, buf.size()), 1);
  EXPECT_EQ(desc.pad, 12);
  for (int y = 0; y < 11; ++y) {
    EXPECT_EQ(bytes(&buf[y * 64], &buf[y * 64 + 52]), bytes(&plain[y * 52], &plain[y * 52 + 52])) << y;
    EXPECT_EQ(bytes(&buf[y * 64 + 52], &buf[y * 64 + 64]), bytes(12, 0xCD)) << "the pad is not written";
  }
  data = nullptr;
  write_file(dir / "short.png", fixture::make_png(s).substr(0, 7));
  for (const char* name : {"none.png", "short.png"}) {
    xmap_class m(dir / name);
    EXPECT_EQ(TEX_load_png(dir / name, &m, data, GL_RGB, 0, 0, 0, desc, 0), 0) << name;
  }
}

TEST(PngReadDeathTest, RecognisedButUnreadableFilesEndTheProgram) {
  TempDir dir;
  auto run = [&](const std::string& file, unsigned int format, std::int64_t size) {
    write_file(dir / "x.png", file);
    xmap_class map(dir / "x.png");
    bytes buf(size > 0 ? size : 1);
    unsigned char* data = size > 0 ? buf.data() : nullptr;
    TEX_image_desc desc;
    TEX_load_png(dir / "x.png", &map, data, format, 0, 0, 0, desc, size);
  };
  const std::string good = fixture::make_png(spec(3, 2, PNG_COLOR_TYPE_GRAY, 8, bytes(6, 1)));
  const std::string wide = fixture::make_png(spec(2049, 1, PNG_COLOR_TYPE_GRAY, 8, bytes(2049, 1)));
  EXPECT_EXIT(run("GIF89a and more", GL_RGB, 0), ::testing::ExitedWithCode(1), "PING-FILE ERROR!(.|\n)*is_png=!png_sig_cmp");
  EXPECT_EXIT(run(good.substr(0, good.size() - 20), GL_RGB, 0), ::testing::ExitedWithCode(1),
              "PNG error!(.|\n)*PING-FILE ERROR!(.|\n)*setjmp\\(png_ptr->jmpbuf(.|\n)*x.png");
  EXPECT_EXIT(run(good, GL_BGR, 0), ::testing::ExitedWithCode(1), "Illegal bits per pixel");
  EXPECT_EXIT(run(good, GL_RGB, 17), ::testing::ExitedWithCode(1), "image too large for its buffer");
  EXPECT_EXIT(run(wide, GL_RGB, 0), ::testing::ExitedWithCode(1),
              "PING-FILE ERROR!\n\nimage too large: 2049 x 1 pixels, at most 2048 x 2048 can be read\n\n.*x.png");
}

TEST(PngWrite, RoundTripReplacingTheFileOrKeepingItOnFailure) {
  TempDir dir;
  TEX_image_desc desc;  // 5 x 4 RGBA with pad 3, bottom-up
  desc.format = GL_RGBA;
  desc.width = 5;
  desc.height = 4;
  desc.pad = 3;
  bytes px(23 * 4);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 13 + 7);
  write_file(dir / "shot.png", "old");
  ASSERT_EQ(TEX_save_png(dir / "shot.png", desc, px.data()), 1);
  TEX_image_desc back;
  const bytes got = load(read_file(dir / "shot.png"), GL_RGBA, 0, 0, &back);
  ASSERT_EQ(got.size(), 80u);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(bytes(&got[y * 20], &got[y * 20 + 20]), bytes(&px[y * 23], &px[y * 23 + 20]));
  desc.format = GL_ALPHA;
  desc.pad = 0;
  ASSERT_EQ(TEX_save_png(dir / "a.png", desc, px.data()), 1);
  EXPECT_EQ(load(read_file(dir / "a.png"), GL_ALPHA), bytes(px.begin(), px.begin() + 20));
  EXPECT_EQ(TEX_save_png(dir / "no/such/folder/a.png", desc, px.data()), 0);

  // A write that fails (the file-size limit) returns 0 and leaves the old file.
  EXPECT_EXIT(
      {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 4096;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        bytes noise(256 * 256);
        unsigned seed = 1;
        for (auto& b : noise) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
        desc.width = desc.height = 256;
        _exit(TEX_save_png(dir / "shot.png", desc, noise.data()) == 0 ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "PNG error!");
  EXPECT_EQ(load(read_file(dir / "shot.png"), GL_RGBA).size(), 80u) << "the old picture is still there";
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(entries, 2) << "no temporary file left";
}

TEST(PngWriteDeathTest, UnknownFormatIsFatal) {
  TEX_image_desc desc;
  desc.format = GL_BGRA;
  desc.width = desc.height = 1;
  unsigned char px[4] = {};
  EXPECT_EXIT(TEX_save_png("/tmp/never.png", desc, px), ::testing::ExitedWithCode(1), "Illegal pixel format for png-write.");
}
