// Image files into the decode buffer, and the asynchronous scenery loading
// around it. Uploads happen only for missing images here (no GL call).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/cmdline.h"
#include "support/temp_dir.h"
#include "textures/dxt_flip.h"
#include "textures/image_fixtures.h"
#include "textures/ogl_extensions.h"
#include "textures/tex_dds.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "window/mnw.h"

namespace {

struct loaded {
  int result, format, mips, bpp, sx, sy, tx, ty;
};

loaded load(const std::string& name, int filter, signed char bpp = 3) {
  loaded l{};
  l.format = GL_RGB;
  l.result = load_any_into_scratch(name, filter, &l.format, &l.mips, &bpp, 0, &l.sx, &l.sy, &l.tx, &l.ty);
  l.bpp = bpp;
  return l;
}

std::string grey_png(int v) {
  fixture::png_spec s;
  s.color_type = PNG_COLOR_TYPE_GRAY;
  s.rows = {{static_cast<unsigned char>(v)}};
  return fixture::make_png(s);
}

class FileLoad : public testing::Test {
 protected:
  void SetUp() override {
    mnw.tex_res = 5;
    glExt.max_texture_size = 2048;
    colr.gamma_on = 0;
  }
  void TearDown() override {
    mnw.tex_res = 5;
    colr.gamma_on = 1;
    cmdline.options.erase("--no_dds");
  }
  TempDir dir;
};

}  // namespace

TEST_F(FileLoad, NamesTriedAndTheSignatureDecides) {
  write_file(dir / "t.dds", grey_png(10));  // a PNG under the .dds name
  write_file(dir / "t.png", grey_png(20));
  write_file(dir / "t.bmp", fixture::make_bmp(1, 1, [](int, int) { return std::array<unsigned char, 3>{30, 30, 30}; }));
  write_file(dir / "tex", grey_png(40));
  write_file(dir / "u.jpg", grey_png(15));
  write_file(dir / "empty.dds", "");
  write_file(dir / "empty.png", grey_png(50));
  auto value = [&](const std::string& name) { return load(dir / name, tex_rgb).result ? scratch_array_temp[0] : -1; };
  EXPECT_EQ(value("t.png"), 10) << ".dds first";
  cmdline.options["--no_dds"] = "";
  EXPECT_EQ(value("t.png"), 20);
  EXPECT_EQ(value("u.jpg"), 15) << "the name itself first";
  EXPECT_EQ(value("tex"), 40);
  cmdline.options.erase("--no_dds");
  EXPECT_EQ(value("empty.png"), -1) << "an empty .dds ends the search";
  unlink((dir / "t.dds").c_str());
  unlink((dir / "t.png").c_str());
  EXPECT_EQ(value("t.png"), 30);
  EXPECT_EQ(value("none.png"), -1);
  // tex_scratch decodes into the shared buffer instead.
  scratch_array[0] = 0;
  ASSERT_EQ(load(dir / "tex", tex_rgb | tex_scratch).result, 1);
  EXPECT_EQ(scratch_array[0], 40);
}

TEST_F(FileLoad, PngShrunkAndLaidOutForTheUpload) {
  // 100 x 60 RGB whose red is the column and green the row, at factor 0.25:
  // shrunk by 4 to 25 x 15 and laid out as 32 x 16 rows.
  fixture::png_spec s;
  s.width = 100;
  s.height = 60;
  s.rows = fixture::rows_of(100, 60, 3, [](int x, int y, int c) { return c == 0 ? x : c == 1 ? y : 7; });
  write_file(dir / "p.png", fixture::make_png(s));
  mnw.tex_res = 3;
  const loaded l = load(dir / "p.png", tex_rgb);
  ASSERT_EQ(l.result, 1);
  EXPECT_EQ((std::vector<int>{l.format, l.mips, l.bpp, l.sx, l.sy, l.tx, l.ty}),
            (std::vector<int>{GL_RGB, 0, 3, 25, 15, 32, 16}));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      const unsigned char* p = scratch_array_temp + (y * 32 + x) * 3;
      const bool inside = x < 25 && y < 15;
      // Buffer row y is picture row 59 - 4y - 1.5 on average (bottom-up).
      EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}),
                inside ? (std::vector<int>{4 * x + 1, (4 * (59 - 4 * y) - 6) / 4, 7}) : (std::vector<int>{0, 0, 0}))
          << x << "," << y;
    }
}

TEST_F(FileLoad, DdsLevelsSkippedCopiedAndFlipped) {
  TEX_image_desc rgb;
  rgb.format = GL_RGB;
  rgb.width = rgb.height = 256;
  std::vector<unsigned char> px(256 * 256 * 3);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i / 3 % 256 + i / 768);
  ASSERT_EQ(TEX_save_dds(dir / "d.dds", px.data(), rgb), 1);
  const std::string file = read_file(dir / "d.dds");
  const auto* level1 = reinterpret_cast<const unsigned char*>(file.data()) + 128 + 256 * 256 / 2;
  for (int res : {5, 4}) {
    mnw.tex_res = res;
    const int side = res == 5 ? 256 : 128;
    const loaded l = load(dir / "d.png", tex_rgb);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ((std::vector<int>{l.format, l.mips, l.bpp, l.sx, l.tx}),
              (std::vector<int>{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 1, 3, side, side}));
    const auto* src = res == 5 ? level1 - 256 * 256 / 2 : level1;
    EXPECT_EQ(fixture::decode_dxt(scratch_array_temp, side, side, l.format),
              fixture::flipped_rows(fixture::decode_dxt(src, side, side, l.format), side, side));
  }
  // A transparent DXT1 chain becomes DXT1 with alpha; one without a chain
  // is not used.
  mnw.tex_res = 5;
  std::string see_through = fixture::make_dds("DXT1", 0x4, 4, 4, 0xA1007, 0x401008, 24);
  for (int b = 0; b < 3; ++b) std::memcpy(&see_through[128 + 8 * b], "\0\0\xff\xff\xff\xff\xff\xff", 8);
  write_file(dir / "a.dds", see_through);
  const loaded a = load(dir / "a.dds", tex_rgb);
  EXPECT_EQ((std::vector<int>{a.result, a.format, a.bpp}), (std::vector<int>{1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 4}));
  write_file(dir / "flat.dds", fixture::make_dds("DXT1", 0x4, 4, 4, 0xA1007, 0x1008, 8));
  EXPECT_EQ(load(dir / "flat.dds", tex_rgb).result, 0);

  // A detailed 12 x 10 DXT5 chain (its 10 and 5 rows high levels cannot be
  // turned over block by block) is decoded whole, every level exact.
  const fixture::chain c = fixture::compress_chain(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 12, 10, true, true);
  std::string odd = fixture::make_dds("DXT5", 0x4, 12, 10, 0xA1007, 0x401008, c.bytes.size());
  std::memcpy(&odd[128], c.bytes.data(), c.bytes.size());
  write_file(dir / "odd.dds", odd);
  const loaded o = load(dir / "odd.dds", tex_rgba | tex_no_pow2, 4);
  EXPECT_EQ((std::vector<int>{o.result, o.format, o.mips, o.bpp, o.tx, o.ty}),
            (std::vector<int>{1, GL_RGBA, 1, 4, 12, 10}));
  std::size_t at = 0, out_at = 0;
  for (auto [w, h] : c.sizes) {
    const std::vector<unsigned char> got(scratch_array_temp + out_at, scratch_array_temp + out_at + w * h * 4);
    EXPECT_EQ(got, fixture::flipped_rows(fixture::decode_dxt(&c.bytes[at], w, h, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT), w, h))
        << w << "x" << h;
    at += squish::GetStorageRequirements(w, h, squish::kDxt5);
    out_at += static_cast<std::size_t>(w) * h * 4;
  }
  // Decoded, a full-size 2048 x 2046 DXT1 chain fits the buffer as RGB; a
  // DXT5 one would need 22 MB as RGBA and is not used.
  TEX_image_desc big = {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2048, 2046, 0, 1};
  write_file(dir / "big1.dds", fixture::make_dds("DXT1", 0x4, 2048, 2046, 0xA1007, 0x401008, TEX_bytes_needed_for_image(big)));
  big.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  write_file(dir / "big5.dds", fixture::make_dds("DXT5", 0x4, 2048, 2046, 0xA1007, 0x401008, TEX_bytes_needed_for_image(big)));
  const loaded b1 = load(dir / "big1.dds", tex_rgb | tex_no_pow2);
  EXPECT_EQ((std::vector<int>{b1.result, b1.format, b1.bpp, b1.tx, b1.ty}), (std::vector<int>{1, GL_RGB, 3, 2048, 2046}));
  EXPECT_EQ(load(dir / "big5.dds", tex_rgba | tex_no_pow2, 4).result, 0);
}

TEST_F(FileLoad, AsynchronousRegistrationWorkAndFinish) {
  tman_class t;
  // Three records whose files are missing while they load (no upload), the
  // second of which appears before the background load.
  for (const char* n : {"a.png", "s.png", "c.png"}) t.load_texture(tex_fail_quiet, 0, tex_rgb, tex_load_now, dir / n);
  write_file(dir / "s.png", grey_png(60));
  EXPECT_EQ(t.load_scenery_async_register(nullptr), 0) << "nothing pending yet";
  EXPECT_EQ(t.async_index, static_cast<int>(t.ref_dat.size()));
  t.load_scenery_async_work();  // no registration: nothing happens
  EXPECT_EQ(t.async_io_result, 0);

  t.async_index = 0;
  for (int ref : {1135, 1136, 1137}) t.ref_dat[ref].load_state = tex_state_pending;
  EXPECT_EQ(t.num_remaining_async_texes(), 3);
  struct finisher : tman_force_finish_obj {
    int calls = 0;
    void finish() override { ++calls; }
  } fin;
  ASSERT_EQ(t.load_scenery_async_register(&fin), 1);
  ASSERT_EQ(t.load_scenery_async_register(&fin), 1) << "the same record again";
  EXPECT_EQ(t.async_load->ref, 1135);
  t.load_scenery_async_work();
  EXPECT_EQ(t.async_io_result, 0) << "a.png is missing";
  t.load_scenery_async_finalize();
  EXPECT_EQ(t.ref_dat[1135].load_state, tex_state_loaded);
  EXPECT_EQ(t.async_load, nullptr);
  EXPECT_EQ(t.force_finish, nullptr);
  ASSERT_EQ(t.load_scenery_async_register(&fin), 1);
  EXPECT_EQ(t.async_load->ref, 1136);
  t.load_scenery_async_work();
  EXPECT_EQ(t.async_io_result, 2);
  EXPECT_EQ(scratch_array_temp[0], 60);
  unlink((dir / "s.png").c_str());  // so that the forced load below uploads nothing
  t.force_load_tex(1136);  // the synchronous load asks the finisher first
  EXPECT_EQ(fin.calls, 1);
  t.force_load_tex(1135);  // already loaded: nothing
  EXPECT_EQ(fin.calls, 1);
}

TEST_F(FileLoad, LoadingAllPendingRecordsBehindTheSplash) {
  tman_class t;
  for (int i = 0; i < 85; ++i) {
    const int ref = t.load_texture(tex_fail_quiet, 0, tex_rgb, tex_load_now, dir / ("tile" + std::to_string(i) + ".png"));
    t.ref_dat[ref].load_state = tex_state_pending;
  }
  static std::vector<std::pair<std::string, float>> shown;
  shown.clear();
  tman_show_init = [](const std::string& m, float* f) { shown.emplace_back(m, *f); };
  t.load_all_scenery_texes();
  tman_show_init = nullptr;
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], std::make_pair(std::string("Loading scenery texture tile0.png."), 0.0f));
  EXPECT_FLOAT_EQ(shown[1].second, 40.0f / 85);
  EXPECT_FLOAT_EQ(shown[2].second, 80.0f / 85);
  EXPECT_EQ(t.num_remaining_async_texes(), 0);
  EXPECT_EQ(t.async_index, static_cast<int>(t.ref_dat.size()));
}

TEST(FileLoadDeathTest, BytesPerPixelOutsideOneToFour) {
  EXPECT_EXIT(load("x.png", tex_rgb, 5), ::testing::ExitedWithCode(1),
              "Trying to bind too low or high a number of bytes!(.|\n)*x.png(.|\n)*value:(.|\n)*5");
}
