// The tiled background picture and the screenshot writer.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "textures/image_ops.h"
#include "textures/tex_load_any.h"
#include "textures/tex_png.h"
#include "textures/tman.h"
#include "ui/alert.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "window/mnw.h"

namespace {

constexpr int kPictureRow = 2048;  // pixels per row of the picture as read
const char* const kPicture = "Resources/bitmaps/intro_REZ.png";

int shot_number = -1;

}  // namespace

void OGL_make_back_tex() {
  if (mnw.cur_wind != -1) return;
  std::memset(scratch_array, 0, kScratchBytes);
  TEX_image_desc desc;
  unsigned char* pixels = scratch_array;
  if (!TEX_load_any(kPicture, pixels, GL_RGBA, kPictureRow, 0, desc, kScratchBytes)) {
    __MACIBM_alert(0, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Corvane!",
                   "Please get a new download from www.example.com. The missing file is:", kPicture, t_exit,
                   "oglp", 991);
    return;
  }
  back_dx = desc.width;
  back_dy = desc.height;
  // The tiles are cut from a copy: the scratch buffer carries each tile.
  std::vector<unsigned char> picture(scratch_array, scratch_array + kScratchBytes);

  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      std::memset(scratch_array, 0, 512 * 512 * 4);
      const int rows = back_dy - 512 * r < 512 ? back_dy - 512 * r : 512;
      const int cols = back_dx - 512 * c < 512 ? back_dx - 512 * c : 512;
      if (rows > 0 && cols > 0) {
        for (int y = 0; y < rows; ++y) {
          const unsigned char* src = &picture[(static_cast<std::size_t>(512 * r + y) * kPictureRow + 512 * c) * 4];
          std::memcpy(scratch_array + static_cast<std::size_t>(y) * 512 * 4, src, static_cast<std::size_t>(cols) * 4);
        }
      }
      scratch_dx = 512;
      scratch_dy = 512;
      tman.load_texture(tex_fail_fatal, t_back_tile0 + 4 * r + c, 0x412, tex_load_now,
                        "scratch_array-t_tex_back (tile)");
    }
  }
}

void OGL_plot_back_tex() {
  const float W = static_cast<float>(mnw.x_res), H = static_cast<float>(mnw.y_res);
  const float bdx = static_cast<float>(back_dx), bdy = static_cast<float>(back_dy);
  float left, right, bottom, top;
  if (mnw.cur_wind == -1) {
    if (bdx > W) {
      left = W - bdx;
      right = W;
    } else {
      left = 0.0f;
      right = bdx;
    }
    float extra = bdy - H;
    extra = extra < 0.0f ? 0.0f : extra > 512.0f ? 512.0f : extra;
    top = H + extra;
    bottom = top - bdy;
    if (bdx < W || bdy < H) OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, W, H);
  } else {
    left = mnw.inset_x;
    right = mnw.inset_x + bdx;
    bottom = 0.0f;
    top = bdy;
  }
  const bool opaque = OGL_alpha_factor > 0.99f;
  OGL_setstate(gl_fog_off, 1, gl_lit_off, opaque ? gl_alpha_test : gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  float colour[4];
  if (colr.gl_colour(0, 1.0f, OGL_monochrome, OGL_alpha_factor, colour) && !opaque)
    DL_colour4(colour[0], colour[1], colour[2], colour[3]);
  else
    DL_colour3(colour);
  const float cw = (right - left) / 4.0f, ch = (top - bottom) / 4.0f;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const float x0 = left + cw * c, x1 = x0 + cw, y0 = bottom + ch * r, y1 = y0 + ch;
      const float cx0 = x0 < left ? left : x0, cx1 = x1 > right ? right : x1;
      const float cy0 = y0 < bottom ? bottom : y0, cy1 = y1 > top ? top : y1;
      if (!(cx1 > 0.0f && cx0 < W && cy1 > 0.0f && cy0 < H)) continue;
      OGL_bind_tex(t_back_tile0 + 4 * r + c, 0);
      DL_begin(dl_quads);
      DL_texcoord(st00[0], st00[1]);
      DL_vertex(x0, y0);
      DL_texcoord(st01[0], st01[1]);
      DL_vertex(x0, y1);
      DL_texcoord(st11[0], st11[1]);
      DL_vertex(x1, y1);
      DL_texcoord(st10[0], st10[1]);
      DL_vertex(x1, y0);
      DL_end();
    }
  }
}

std::string OGL_next_screenshot_name() {
  std::string name;
  do {
    ++shot_number;
    name = "screenshot_" + std::to_string(shot_number) + ".png";
  } while (file_exists(name));
  return name;
}

void OGL_screenshot(int save) {
  const int w = mnw.x_res < 0 ? 0 : mnw.x_res > 2048 ? 2048 : mnw.x_res;
  const int h = mnw.y_res < 0 ? 0 : mnw.y_res > 2048 ? 2048 : mnw.y_res;
  // What the frame has drawn so far is in the back buffer before it is read.
  DL_flush();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels((mnw.x_res - w) / 2, (mnw.y_res - h) / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
  if (!save) return;
  TEX_image_desc desc;
  desc.format = GL_RGB;
  desc.width = w;
  desc.height = h;
  TEX_save_png(OGL_next_screenshot_name(), desc, scratch_array);
}
