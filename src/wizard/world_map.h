// The world map of scenery tiles: 36 by 18 tiles of 10 by 10 degrees on
// which the user chooses the global scenery to install, by clicking a tile,
// by dragging over tiles, and with SELECT ALL and SELECT NONE. It is a part
// of a screen, drawn every frame by the scenery-choice screens; the choice
// is stg.tile_want, and the amounts to install are recomputed whenever it
// changes.
//
// The rules are pure functions of the pointer, the button flags and the
// grids, so that every gesture can be told without a window.
#pragma once

#include "engine/installer_state.h"

// What the map keeps from frame to frame: the drag's anchor (the pointer at
// the last click seen while a map showed) and the value a drag paints.
struct map_drag {
  float o_x = 0.0f, o_y = 0.0f;
  int o_use = 0;
};

// The pointer of one frame, in the main window's layout units.
struct map_pointer {
  float x = 0.0f, y = 0.0f;
  int click = 0;  // a button went down in this frame
  int down = 0;   // a button is held
};

typedef int tile_grid[kTileCols][kTileRows];

// Anchor, paint value and drag painting of one frame: a click moves the
// anchor to the pointer and, on a tile (edges included; on a shared edge
// the later tile in column-then-row order), sets the paint value to the
// opposite of that tile's choice; while a button is held every tile that
// overlaps the rectangle from the anchor to the pointer (strictly) takes
// the paint value, available or not. Returns 1 when any tile lay in the
// rectangle, even one that kept its value.
int world_map_paint(const map_pointer& p, map_drag& drag, tile_grid& want);

// SELECT ALL chooses every tile, SELECT NONE none (it wins when both are
// given). Returns 1 when either was given.
int world_map_select(int select_all, int select_none, tile_grid& want);

// Draws the map with the chosen tiles lit, applies this frame's pointer to
// stg.tile_want and recomputes the amounts when the choice changed. Once
// per frame, in the main window.
void UTIL_world_map();
