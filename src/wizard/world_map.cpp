#include "wizard/world_map.h"

#include <algorithm>

#include "engine/install_filter.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/draw_list.h"
#include "ui/gl_state.h"
#include "window/mnw.h"
#include "wizard/layout.h"
#include "wizard/sub_wins.h"

namespace {

constexpr int kTileColour = 49;  // white, so the texture shows as it is

float tile_left(int c) { return kMapX + kTilePixels * static_cast<float>(c); }
float tile_bottom(int r) { return kMapY + kTilePixels * static_cast<float>(r); }

map_drag drag;  // shared by every screen that shows the map

}  // namespace

int world_map_paint(const map_pointer& p, map_drag& d, tile_grid& want) {
  if (p.click) {
    d.o_x = p.x;
    d.o_y = p.y;
    for (int c = 0; c < kTileCols; ++c)
      for (int r = 0; r < kTileRows; ++r) {
        const float l = tile_left(c), b = tile_bottom(r);
        if (p.x >= l && p.x <= l + kTilePixels && p.y >= b && p.y <= b + kTilePixels) d.o_use = want[c][r] ? 0 : 1;
      }
  }
  if (!p.down) return 0;

  const float left = std::min(d.o_x, p.x), right = std::max(d.o_x, p.x);
  const float bottom = std::min(d.o_y, p.y), top = std::max(d.o_y, p.y);
  int changed = 0;
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) {
      const float l = tile_left(c), b = tile_bottom(r);
      if (l + kTilePixels > left && l < right && b + kTilePixels > bottom && b < top) {
        want[c][r] = d.o_use;
        changed = 1;
      }
    }
  return changed;
}

int world_map_select(int select_all, int select_none, tile_grid& want) {
  if (!select_all && !select_none) return 0;
  const int value = select_none ? 0 : 1;
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) want[c][r] = value;
  return 1;
}

void UTIL_world_map() {
  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
  OGL_bind_tex(t_world_map, 0);

  map_pointer p;
  p.x = mnw.mouse_x;
  p.y = mnw.mouse_y;
  p.click = mnw.click;
  p.down = mnw.down;
  int changed = world_map_paint(p, drag, stg.tile_want);

  // The plain map whole, then each tile that has scenery from the coloured
  // map: opaque when chosen, half over the plain map when not.
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  const float s_right = kMapW / kMapTextureSize, t_top = kMapH / kMapTextureSize;
  DL_begin(dl_quads);
  DL_colour4(1, 1, 1, 1);
  DL_texcoord(0, 0);
  DL_vertex(kMapX + ox, kMapY + oy);
  DL_texcoord(0, t_top);
  DL_vertex(kMapX + ox, kMapY + kMapH + oy);
  DL_texcoord(s_right, t_top);
  DL_vertex(kMapX + kMapW + ox, kMapY + kMapH + oy);
  DL_texcoord(s_right, 0);
  DL_vertex(kMapX + kMapW + ox, kMapY + oy);
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) {
      if (!stg.tile_avail[c][r]) continue;
      OGL_setcolor(kTileColour, stg.tile_want[c][r] ? 1.0f : 0.5f);
      const float x0 = tile_left(c) + ox, y0 = tile_bottom(r) + oy;
      const float x1 = x0 + kTilePixels, y1 = y0 + kTilePixels;
      const float s0 = kTilePixels * static_cast<float>(c) / kMapTextureSize;
      const float s1 = s0 + kTilePixels / kMapTextureSize;
      const float t0 = (kColouredMapT + kTilePixels * static_cast<float>(r)) / kMapTextureSize;
      const float t1 = t0 + kTilePixels / kMapTextureSize;
      DL_texcoord(s0, t0);
      DL_vertex(x0, y0);
      DL_texcoord(s0, t1);
      DL_vertex(x0, y1);
      DL_texcoord(s1, t1);
      DL_vertex(x1, y1);
      DL_texcoord(s1, t0);
      DL_vertex(x1, y0);
    }
  DL_end();

  if (p.down) {
    OGL_setstate(gl_fog_off, 0, gl_lit_off, gl_alpha_blend, gl_depth_off, gl_dwrite_off);
    DL_colour4(0, 0, 0, 0.5f);
    DL_begin(dl_line_loop);
    DL_vertex(p.x + ox, p.y + oy);
    DL_vertex(drag.o_x + ox, p.y + oy);
    DL_vertex(drag.o_x + ox, drag.o_y + oy);
    DL_vertex(p.x + ox, drag.o_y + oy);
    DL_end();
  }

  const wizard_button& all = kSelectAllButton;
  const wizard_button& none = kSelectNoneButton;
  const int select_all = interface_rect(all.x, all.y, kSelectAllArtS, kButtonArtT, all.w, all.h, 1, 0);
  const int select_none = interface_rect(none.x, none.y, kSelectNoneArtS, kButtonArtT, none.w, none.h, 1, 0);
  changed |= world_map_select(select_all, select_none, stg.tile_want);
  if (changed) recalc_disk_sizes();
}
