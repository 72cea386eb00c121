#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_load_any.h"

namespace {

// A 1 x 1 grey PNG, and a 1 x 1 bitmap, of one value each.
std::string png_of(int v) {
  fixture::png_spec s;
  s.color_type = PNG_COLOR_TYPE_GRAY;
  s.rows = {{static_cast<unsigned char>(v)}};
  return fixture::make_png(s);
}
std::string bmp_of(int v) {
  const auto c = static_cast<unsigned char>(v);
  return fixture::make_bmp(1, 1, [c](int, int) { return std::array<unsigned char, 3>{c, c, c}; });
}

// The byte read as GL_ALPHA (no gamma on either path), or -1.
int value(bool by_ext, const std::string& path) {
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  const int r = by_ext ? TEX_load_any_ext(path, data, GL_ALPHA, 0, 0, desc, 0) : TEX_load_any(path, data, GL_ALPHA, 0, 0, desc, 0);
  const int v = r ? data[0] : -1;
  free(data);
  return v;
}

}  // namespace

TEST(LoadAny, TheFirstBytesChooseTheReaderAndTheNameTheCandidates) {
  TempDir dir;
  write_file(dir / "p.bmp", png_of(40));  // a PNG under a bitmap's name
  write_file(dir / "b.png", bmp_of(50));  // and the other way round
  write_file(dir / "seven", "BM12345");
  write_file(dir / "t.dds", fixture::make_dds("DXT1", 0x4, 4, 4, 0, 0, 8));
  const char* names[] = {"p.bmp", "b.png", "seven", "t.dds", "none.png"};
  const int want[] = {40, 50, -1, -1, -1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(value(false, dir / names[i]), want[i]) << names[i];

  // Into a 2048-pixel-wide shared buffer: the picture lands in its corner.
  std::vector<unsigned char> shared(2048 * 4 * 2, 0xAB);
  unsigned char* data = shared.data();
  TEX_image_desc desc;
  ASSERT_EQ(TEX_load_any(dir / "b.png", data, GL_RGBA, 2048, 0, desc, shared.size()), 1);
  EXPECT_EQ((std::vector<int>{desc.pad, shared[3], shared[4]}), (std::vector<int>{2047 * 4, 255, 0xAB}));

  // ".png" first, then ".bmp", in place of a three-letter extension only.
  write_file(dir / "sky.bmp", bmp_of(60));
  EXPECT_EQ(value(true, dir / "sky.jpg"), 60);
  write_file(dir / "sky.png", png_of(70));
  EXPECT_EQ(value(true, dir / "sky.jpg"), 70);
  EXPECT_EQ(value(true, dir / "sky"), 70);
  write_file(dir / "photo.jpeg.bmp", bmp_of(80));
  EXPECT_EQ(value(true, dir / "photo.jpeg"), 80);
  write_file(dir / "a.b.png", png_of(90));
  char* cwd = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const int short_name = value(true, "a.b");  // four characters or fewer: kept whole
  ASSERT_EQ(chdir(cwd), 0);
  free(cwd);
  EXPECT_EQ(short_name, 90);
  EXPECT_EQ(TEX_change_extension("sky.jpg", ".dds") + TEX_change_extension("a.b", ".dds") +
                TEX_change_extension("photo.jpeg", ".dds"),
            "sky.ddsa.bphoto.jpeg");
}
