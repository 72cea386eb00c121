// The world map's rules at their edges, without a window: which tile a
// press on a shared edge takes its paint value from, a press beside the
// map, and the two select buttons given together.
#include <gtest/gtest.h>

#include "wizard/layout.h"
#include "wizard/world_map.h"

namespace {

// A point inside tile (c, r), dx and dy from its lower-left corner.
map_pointer at_tile(int c, int r, float dx, float dy, int click, int down) {
  map_pointer p;
  p.x = kMapX + kTilePixels * static_cast<float>(c) + dx;
  p.y = kMapY + kTilePixels * static_cast<float>(r) + dy;
  p.click = click;
  p.down = down;
  return p;
}

int chosen(const tile_grid& g) {
  int n = 0;
  for (int c = 0; c < kTileCols; ++c)
    for (int r = 0; r < kTileRows; ++r) n += g[c][r];
  return n;
}

}  // namespace

TEST(WorldMap, EdgesPressesOffTheMapAndTheSelectButtons) {
  tile_grid want = {};
  map_drag drag;
  want[4][2] = 1;
  // On the edge shared by tiles 3 and 4 the later tile decides the paint
  // value; a box of no width touches no tile.
  EXPECT_EQ(world_map_paint(at_tile(4, 2, 0, 7, 1, 1), drag, want), 0);
  EXPECT_EQ(drag.o_use, 0);
  EXPECT_EQ(want[4][2], 1);
  // Dragged into the tile to the left, the box lies in that tile only.
  want[3][2] = 1;
  world_map_paint(at_tile(3, 2, 7, 7, 0, 1), drag, want);
  EXPECT_EQ(want[3][2], 0);
  EXPECT_EQ(want[4][2], 1);
  want[4][2] = 0;

  // A press beside the map keeps the last paint value and anchors there.
  want[0][0] = 1;
  map_pointer off = at_tile(0, 0, -30, 7, 1, 1);
  EXPECT_EQ(world_map_paint(off, drag, want), 0);
  EXPECT_EQ(drag.o_use, 0);
  world_map_paint(at_tile(0, 0, 7, 7, 0, 1), drag, want);
  EXPECT_EQ(want[0][0], 0) << "the drag from beside the map reaches the tile";

  EXPECT_EQ(world_map_select(0, 0, want), 0);
  EXPECT_EQ(world_map_select(1, 0, want), 1);
  EXPECT_EQ(chosen(want), kTileCols * kTileRows);
  EXPECT_EQ(world_map_select(1, 1, want), 1);
  EXPECT_EQ(chosen(want), 0) << "SELECT NONE wins";
}
