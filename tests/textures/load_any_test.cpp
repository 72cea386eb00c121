#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_load_any.h"

namespace {

using bgr = std::array<unsigned char, 3>;

// A 1 x 1 PNG of one grey value, and a 1 x 1 bitmap of another.
std::string png_of(int v) {
  fixture::png_spec s;
  s.color_type = PNG_COLOR_TYPE_GRAY;
  s.rows = {{static_cast<unsigned char>(v)}};
  return fixture::make_png(s);
}
std::string bmp_of(int v) {
  return fixture::make_bmp(1, 1, [v](int, int) {
    return bgr{static_cast<unsigned char>(v), static_cast<unsigned char>(v), static_cast<unsigned char>(v)};
  });
}

// Loads as GL_ALPHA (no gamma on either path); the byte read, or -1.
int load_value(int (*fn)(const std::string&, unsigned char*&, unsigned int, int, int, TEX_image_desc&, std::int64_t),
               const std::string& path) {
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  if (!fn(path, data, GL_ALPHA, 0, 0, desc, 0)) return -1;
  const int v = data[0];
  free(data);
  return v;
}

}  // namespace

TEST(LoadAny, TheFirstBytesChooseTheReader) {
  TempDir dir;
  write_file(dir / "p.bmp", png_of(40));  // a PNG under a bitmap's name
  write_file(dir / "b.png", bmp_of(50));  // and the other way round
  write_file(dir / "seven", std::string("BM12345"));
  write_file(dir / "t.dds", fixture::make_dds("DXT1", 0x4, 4, 4, 0, 0, 8));
  write_file(dir / "text.txt", "just some text here");
  EXPECT_EQ(load_value(TEX_load_any, dir / "p.bmp"), 40);
  EXPECT_EQ(load_value(TEX_load_any, dir / "b.png"), 50);
  EXPECT_EQ(load_value(TEX_load_any, dir / "seven"), -1) << "fewer than 8 bytes";
  EXPECT_EQ(load_value(TEX_load_any, dir / "t.dds"), -1) << "DDS is not read here";
  EXPECT_EQ(load_value(TEX_load_any, dir / "text.txt"), -1);
  EXPECT_EQ(load_value(TEX_load_any, dir / "none.png"), -1);

  // Into a 2048-pixel-wide shared buffer: the picture lands in its corner.
  std::vector<unsigned char> shared(2048 * 4 * 2, 0xAB);
  unsigned char* data = shared.data();
  TEX_image_desc desc;
  ASSERT_EQ(TEX_load_any(dir / "b.png", data, GL_RGBA, 2048, 0, desc, shared.size()), 1);
  EXPECT_EQ(desc.pad, 2047 * 4);
  EXPECT_EQ(shared[3], 255);
  EXPECT_EQ(shared[4], 0xAB);
}

TEST(LoadAny, NamesTriedWithPngThenBmp) {
  TempDir dir;
  write_file(dir / "sky.bmp", bmp_of(60));
  EXPECT_EQ(load_value(TEX_load_any_ext, dir / "sky.jpg"), 60);
  write_file(dir / "sky.png", png_of(70));
  EXPECT_EQ(load_value(TEX_load_any_ext, dir / "sky.jpg"), 70) << ".png first";
  EXPECT_EQ(load_value(TEX_load_any_ext, dir / "sky"), 70);
  // A path of four characters or fewer keeps its text: "a.b" tries
  // "a.b.png". A longer extension is not replaced.
  write_file(dir / "photo.jpeg.bmp", bmp_of(80));
  EXPECT_EQ(load_value(TEX_load_any_ext, dir / "photo.jpeg"), 80);
  write_file(dir / "a.b.png", png_of(90));
  char* cwd = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const int short_name = load_value(TEX_load_any_ext, "a.b");
  ASSERT_EQ(chdir(cwd), 0);
  free(cwd);
  EXPECT_EQ(short_name, 90);
  EXPECT_EQ(TEX_change_extension("sky.jpg", ".dds"), "sky.dds");
  EXPECT_EQ(TEX_change_extension("a.b", ".dds"), "a.b");
  EXPECT_EQ(TEX_change_extension(".png", ".dds"), ".png");
  EXPECT_EQ(TEX_change_extension("x.png", ".dds"), "x.dds");
  EXPECT_EQ(TEX_change_extension("photo.jpeg", ".dds"), "photo.jpeg");
}
