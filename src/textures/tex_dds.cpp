#include "textures/tex_dds.h"

#include <squish.h>

#include <cstdlib>
#include <cstring>

#include "files/pending_file.h"
#include "files/xmap.h"
#include "runtime/alert.h"
#include "runtime/globals.h"

namespace {

const char kSource[] = "RAdorud/TEX/TEX_dds";

// Header flags.
constexpr std::uint32_t kFlagMipmapCount = 0x20000;
constexpr std::uint32_t kPixelFourCC = 0x4;
constexpr std::uint32_t kPixelRGB = 0x40;
constexpr std::uint32_t kPixelAlpha = 0x1;
constexpr std::uint32_t kCapsMipmap = 0x400000;

std::uint32_t get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

int TEX_parse_dds(const unsigned char* bytes, std::int64_t size, const unsigned char*& data, TEX_image_desc& desc) {
  if (!bytes || size < kDdsHeaderBytes) return 0;
  if (std::memcmp(bytes, "DDS ", 4) != 0) return 0;

  const std::uint32_t flags = get32(bytes + 8);
  const std::uint32_t pixel_flags = get32(bytes + 80);
  const std::uint32_t caps = get32(bytes + 108);
  int format = 0;
  if (pixel_flags & kPixelFourCC) {
    const unsigned char* four = bytes + 84;
    if (std::memcmp(four, "DXT1", 4) == 0) {
      format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    } else if (std::memcmp(four, "DXT3", 4) == 0) {
      format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    } else if (std::memcmp(four, "DXT5", 4) == 0) {
      format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    } else {
      return 0;
    }
  }
  // Raw pixels win over a FourCC; their bit count and masks are not read.
  if (pixel_flags & kPixelRGB) format = (pixel_flags & kPixelAlpha) ? GL_BGRA : GL_BGR;
  if (!format) return 0;

  const std::uint32_t width = get32(bytes + 16);
  const std::uint32_t height = get32(bytes + 12);
  if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide) return 0;

  TEX_image_desc d;
  d.format = format;
  d.width = static_cast<int>(width);
  d.height = static_cast<int>(height);
  d.pad = 0;
  d.has_mipmaps = (flags & kFlagMipmapCount) && (caps & kCapsMipmap) ? 1 : 0;
  if (TEX_bytes_needed_for_image(d) > size - kDdsHeaderBytes) return 0;

  desc = d;
  data = bytes + kDdsHeaderBytes;
  return 1;
}

int TEX_load_dds(const std::string&, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc) {
  if (!file || !file->start) return 0;
  return TEX_parse_dds(reinterpret_cast<const unsigned char*>(file->start), file->end - file->start, data, desc);
}

int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc) {
  if (desc.format != GL_RGBA && desc.format != GL_RGB) {
    __MACIBM_alert(0, "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                   "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                   "Please report this to Brightwell Labs.", t_exit, kSource, __LINE__);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1 || desc.pad < 0 || !pixels) return 0;
  const int bpp = desc.format == GL_RGBA ? 4 : 3;
  const int flags = (desc.format == GL_RGBA ? squish::kDxt5 : squish::kDxt1) | squish::kColourIterativeClusterFit;

  PendingFile out;
  if (out.create(app_path + path) != 0) return 0;

  // The work image is top-down RGBA, as the file stores its rows.
  const std::int64_t w0 = desc.width;
  const std::int64_t h0 = desc.height;
  unsigned char* work = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w0 * h0 * 4)));
  const std::int64_t top_bytes = squish::GetStorageRequirements(desc.width, desc.height, flags);
  unsigned char* blocks = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(top_bytes)));
  if (!work || !blocks) {
    std::free(work);
    std::free(blocks);
    return 0;
  }
  const std::int64_t in_row = w0 * bpp + desc.pad;
  for (std::int64_t y = 0; y < h0; ++y) {
    const unsigned char* s = pixels + y * in_row;
    unsigned char* d = work + (h0 - 1 - y) * w0 * 4;
    for (std::int64_t x = 0; x < w0; ++x, s += bpp, d += 4) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = bpp == 4 ? s[3] : 255;
    }
  }

  int levels = 1;
  for (std::int64_t w = w0, h = h0; w > 1 || h > 1; ++levels) {
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }

  unsigned char header[kDdsHeaderBytes] = {};
  std::memcpy(header, "DDS ", 4);
  put32(header + 4, 124);
  put32(header + 8, 0xA1007);
  put32(header + 12, static_cast<std::uint32_t>(h0));
  put32(header + 16, static_cast<std::uint32_t>(w0));
  put32(header + 20, static_cast<std::uint32_t>(top_bytes));
  put32(header + 28, static_cast<std::uint32_t>(levels));
  put32(header + 76, 32);
  put32(header + 80, kPixelFourCC);
  std::memcpy(header + 84, desc.format == GL_RGBA ? "DXT5" : "DXT1", 4);
  put32(header + 108, 0x401008);
  int err = out.write(reinterpret_cast<const char*>(header), sizeof header);

  int w = desc.width;
  int h = desc.height;
  for (int level = 0; level < levels && !err; ++level) {
    squish::CompressImage(work, w, h, blocks, flags);
    err = out.write(reinterpret_cast<const char*>(blocks),
                    static_cast<std::size_t>(squish::GetStorageRequirements(w, h, flags)));
    if (w == 1 && h == 1) break;
    // Next level in place: each new pixel is the mean of the 2 x 2 (or 2 x 1)
    // box below it; an odd side drops its last column or row.
    const int nw = w > 1 ? w / 2 : 1;
    const int nh = h > 1 ? h / 2 : 1;
    const int sx = w > 1 ? 2 : 1;
    const int sy = h > 1 ? 2 : 1;
    const int shift = (sx == 2) + (sy == 2);
    for (int j = 0; j < nh; ++j) {
      for (int i = 0; i < nw; ++i) {
        unsigned sum[4] = {0, 0, 0, 0};
        for (int y = 0; y < sy; ++y) {
          const unsigned char* p = work + ((static_cast<std::int64_t>(j) * sy + y) * w + i * sx) * 4;
          for (int x = 0; x < sx; ++x, p += 4) {
            for (int c = 0; c < 4; ++c) sum[c] += p[c];
          }
        }
        unsigned char* d = work + (static_cast<std::int64_t>(j) * nw + i) * 4;
        for (int c = 0; c < 4; ++c) d[c] = static_cast<unsigned char>(sum[c] >> shift);
      }
    }
    w = nw;
    h = nh;
  }
  std::free(work);
  std::free(blocks);
  if (err || out.close_checked() != 0 || out.rename_over() != 0) return 0;
  return 1;
}
