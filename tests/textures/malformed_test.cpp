// Damaged image files: every reader gets each one in a heap block of exactly
// its size (and, when it writes into the caller's buffer, a buffer of
// exactly the size it needs or one byte less), so that AddressSanitizer
// catches any access past the end. The readers must refuse or read them,
// never crash.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "textures/image_fixtures.h"
#include "textures/tex_bmp.h"
#include "textures/tex_dds.h"
#include "textures/tex_png.h"

namespace {

using bgr = std::array<unsigned char, 3>;

// Decodes with the reader allocating; 1, 0 or -1 as the reader says, and
// the PNG reader's reason for a refusal in *reason.
int decode(char kind, const std::string& file, unsigned int format = GL_RGBA, int pow2 = 1, std::string* reason = nullptr) {
  std::vector<unsigned char> bytes(file.begin(), file.end());
  const unsigned char* p = bytes.empty() ? reinterpret_cast<const unsigned char*>("") : bytes.data();
  const auto n = static_cast<std::int64_t>(bytes.size());
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  image_refusal why;
  int r = 0;
  if (kind == 'p') r = TEX_decode_png(p, n, "x", data, 0, format, 0, pow2, 1, desc, why);
  if (kind == 'b') r = TEX_decode_bmp(p, n, "x", data, 0, format, 0, pow2, desc, why);
  if (kind == 'd') {
    const unsigned char* at = nullptr;
    r = TEX_parse_dds(p, n, at, desc);
    if (r == 1) {
      std::vector<unsigned char> chain(at, at + TEX_bytes_needed_for_image(desc));  // reads every byte claimed
    }
    return r;
  }
  EXPECT_TRUE(r == 1 ? data != nullptr : data == nullptr) << "a refused decode frees its buffer";
  EXPECT_TRUE(r >= 0 || !why.lines[0].empty());
  if (reason) *reason = why.lines[1];
  free(data);
  return r;
}

std::string noisy_png(int w, int h, int type, bool interlace) {
  fixture::png_spec s;
  s.width = w;
  s.height = h;
  s.color_type = type;
  s.interlace = interlace;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < 16; ++i) s.palette.push_back(png_color{static_cast<png_byte>(i * 16), 9, 7});
    s.trns = {0, 50, 100};
  }
  const int ch = type == PNG_COLOR_TYPE_RGBA ? 4 : (type == PNG_COLOR_TYPE_RGB ? 3 : 1);
  s.rows = fixture::rows_of(w, h, ch, [type](int x, int y, int c) { return (x * 31 + y * 17 + c * 5) % (type == 3 ? 16 : 256); });
  return fixture::make_png(s);
}

// Sets a 4-byte big-endian field of the header chunk and puts its CRC right,
// so that the value, not a bad checksum, is what the reader meets.
std::string with_ihdr(std::string png, int offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) png[16 + offset + i] = static_cast<char>(value >> (24 - 8 * i));
  const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const unsigned char*>(png.data()) + 12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return png;
}

// The PNG with a chunk put in after its header chunk; length is what the
// chunk claims.
std::string with_chunk(const std::string& png, const std::string& type, const std::string& data, std::uint32_t length) {
  auto be32 = [](std::uint32_t v) {
    std::string b;
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (24 - 8 * i));
    return b;
  };
  const std::string body = type + data;
  const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const unsigned char*>(body.data()), body.size()));
  return png.substr(0, 33) + be32(length) + body + be32(crc) + png.substr(33);
}

const std::string bmp = fixture::make_bmp(5, 3, [](int x, int y) { return bgr{static_cast<unsigned char>(x), static_cast<unsigned char>(y), 9}; });
const std::string dds = fixture::make_dds("DXT5", 0x4, 16, 8, 0xA1007, 0x401008, 128 + 32 + 16 + 16 + 16);

}  // namespace

TEST(MalformedImages, EveryTruncation) {
  for (const std::string& png : {noisy_png(9, 7, PNG_COLOR_TYPE_RGB, false), noisy_png(9, 7, PNG_COLOR_TYPE_RGBA, true),
                                 noisy_png(9, 7, PNG_COLOR_TYPE_PALETTE, false)}) {
    EXPECT_EQ(decode('p', png), 1);
    for (std::size_t n = 0; n + 12 < png.size(); ++n) EXPECT_EQ(decode('p', png.substr(0, n)), n < 8 ? 0 : -1) << n;
  }
  EXPECT_EQ(decode('b', bmp), 1);
  EXPECT_EQ(decode('b', bmp.substr(0, bmp.size() - 1)), 1) << "the last row's padding is not needed";
  for (std::size_t n = 0; n + 1 < bmp.size(); ++n) EXPECT_EQ(decode('b', bmp.substr(0, n)), -1) << n;
  EXPECT_EQ(decode('d', dds), 1);
  for (std::size_t n = 0; n < dds.size(); ++n) EXPECT_EQ(decode('d', dds.substr(0, n)), 0) << n;
}

TEST(MalformedImages, ZeroNegativeAndHugeSizesOffsetsAndChains) {
  const std::string png = noisy_png(4, 4, PNG_COLOR_TYPE_RGB, false);
  for (std::uint32_t v : {0u, 2049u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(decode('p', with_ihdr(png, 0, v)), -1) << v;
    EXPECT_EQ(decode('p', with_ihdr(png, 4, v)), -1) << v;
    std::string w = bmp, h = bmp;
    fixture::put32(w, 18, v);
    fixture::put32(h, 22, v);
    EXPECT_EQ(decode('b', w), -1) << v;
    EXPECT_EQ(decode('b', h), -1) << v;
    EXPECT_EQ(decode('d', fixture::make_dds("DXT1", 0x4, static_cast<int>(v), 8, 0, 0, 4096)), 0) << v;
    EXPECT_EQ(decode('d', fixture::make_dds("DXT1", 0x4, 8, static_cast<int>(v), 0, 0, 4096)), 0) << v;
  }
  EXPECT_EQ(decode('p', with_ihdr(png, 4, 2000)), -1) << "fewer rows than the header says";
  // A chunk that claims more than the file holds is refused before libpng
  // sizes a buffer by it (this 45-byte file once had it ask for 2 GB).
  std::string reason;
  EXPECT_EQ(decode('p', with_chunk(png, "tEXt", "abcd", 0x7FFFFFF0).substr(0, 45), GL_RGBA, 1, &reason), -1);
  EXPECT_EQ(reason, "a chunk runs past the end of the file");
  // A colour profile that says it inflates to 4 MB is passed over without
  // being inflated, as every profile is.
  std::string icc(132, '\0');
  icc.replace(0, 4, "\x00\x3D\x09\x00", 4);
  for (auto [at, word] : {std::pair{12, "mntr"}, {16, "RGB "}, {20, "XYZ "}, {36, "acsp"}}) icc.replace(at, 4, word);
  std::string z(200, '\0');
  uLongf zn = z.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&z[0]), &zn, reinterpret_cast<const Bytef*>(icc.data()), icc.size(), 0), Z_OK);
  const std::string profile = std::string("icc\0\0", 5) + z.substr(0, zn);
  TempDir dir;
  LogCapture log(dir / "log.txt");
  EXPECT_EQ(decode('p', with_chunk(png, "iCCP", profile, static_cast<std::uint32_t>(profile.size()))), 1);
  // So are texts and suggested palettes, however many and large: the
  // pixels come out as without them, and libpng has nothing to say.
  const std::string plain = noisy_png(9, 7, PNG_COLOR_TYPE_PALETTE, false);
  const std::string text(7800000, 'a');
  std::string deflated(compressBound(text.size()), '\0');
  uLongf dn = deflated.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&deflated[0]), &dn, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9), Z_OK);
  deflated.resize(dn);
  const std::pair<const char*, std::string> extras[] = {
      {"zTXt", std::string("Comment\0\0", 9) + deflated},
      {"iTXt", std::string("Note\0\1\0en\0Note\0", 15) + deflated},
      {"iCCP", std::string("icc\0\0", 5) + deflated},
      {"tEXt", std::string("Title\0", 6) + text.substr(0, 60000)},
      {"sPLT", std::string("pal\0\x08", 5) + text.substr(0, 6 * 10000)}};
  std::string crowded = plain;
  for (int i = 0; i < 20; ++i)
    for (const auto& [type, data] : extras) crowded = with_chunk(crowded, type, data, static_cast<std::uint32_t>(data.size()));
  auto pixels = [](const std::string& file) {
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    image_refusal why;
    std::vector<unsigned char> px;
    if (TEX_decode_png(reinterpret_cast<const unsigned char*>(file.data()), static_cast<std::int64_t>(file.size()), "x",
                       data, 0, GL_RGBA, 0, 0, 0, desc, why) == 1)
      px.assign(data, data + 4 * desc.width * desc.height);
    free(data);
    return px;
  };
  const std::vector<unsigned char> want = pixels(plain);
  ASSERT_EQ(want.size(), 9u * 7 * 4);
  EXPECT_EQ(pixels(crowded), want);
  EXPECT_EQ(log.text().find("PNG warning"), std::string::npos) << log.text();
  for (std::uint32_t off : {0u, 60u, 0xFFFFFFFFu}) {
    std::string o = bmp;
    fixture::put32(o, 10, off);
    EXPECT_EQ(decode('b', o), off == 0 ? 1 : -1) << off;  // rows may start inside the header
  }
  for (int format : {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}) {
    const char* four = format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT ? "DXT1" : format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT ? "DXT3" : "DXT5";
    for (int w : {1, 3, 64})
      for (int h : {1, 5, 64}) {
        TEX_image_desc d;
        d.format = format;
        d.width = w;
        d.height = h;
        d.has_mipmaps = 1;
        const auto need = static_cast<std::size_t>(TEX_bytes_needed_for_image(d));
        EXPECT_EQ(decode('d', fixture::make_dds(four, 0x4, w, h, 0xA1007, 0x401008, need)), 1);
        EXPECT_EQ(decode('d', fixture::make_dds(four, 0x4, w, h, 0xA1007, 0x401008, need - 1)), 0) << "short chain";
      }
  }
  EXPECT_EQ(decode('d', fixture::make_dds(nullptr, 0x41, 2048, 2048, 0, 0, 2048 * 2048 * 4 - 1)), 0);
}

TEST(MalformedImages, TheCallersBufferIsNeverOverrun) {
  const std::string png = noisy_png(7, 5, PNG_COLOR_TYPE_RGB, true);
  const std::string b = fixture::make_bmp(7, 5, [](int, int) { return bgr{5, 6, 7}; });
  for (int pow2 : {0, 1})
    for (int row_pixels : {0, 7, 11}) {
      image_layout l;
      std::string why;
      ASSERT_TRUE(TEX_plan_layout(7, 5, 4, row_pixels, pow2, l, why));
      for (std::int64_t size : {l.total, l.total - 1}) {
        std::vector<unsigned char> buf(static_cast<std::size_t>(size));
        unsigned char* data = buf.data();
        TEX_image_desc desc;
        image_refusal no;
        const int want = size == l.total ? 1 : -1;
        EXPECT_EQ(TEX_decode_png(reinterpret_cast<const unsigned char*>(png.data()), png.size(), "x", data, size, GL_RGBA,
                                 row_pixels, pow2, 0, desc, no), want);
        EXPECT_EQ(TEX_decode_bmp(reinterpret_cast<const unsigned char*>(b.data()), b.size(), "x", data, size, GL_RGBA,
                                 row_pixels, pow2, desc, no), want);
        EXPECT_EQ(data, buf.data());
      }
    }
}
