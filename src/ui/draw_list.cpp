// The frame list: records a frame's drawing, compares it with the frame on
// the screen, and submits it to GL in batches when it differs.
#include "ui/draw_list.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/ui_calls.h"
#include "runtime/xtim.h"
#include "textures/tman.h"
#include "ui/draw.h"
#include "ui/gl_state.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

struct vertex {
  float x, y, z;
  float s, t;
  float r, g, b, a;
  float nx, ny, nz;
};

// What a run of vertices is drawn in, besides its vertices. Only 4-byte
// members: runs compare as bytes.
struct run_state {
  int codes[6];        // the state switch's arguments
  int texture;         // GL texture name on unit 0; -1 while none was chosen
  int texture_mode;
  int scissor_on;
  int box[4];
  unsigned blend_src, blend_dst;
  float point_size;
};

enum command_kind : int {
  k_draw,
  k_clear,
  k_push,
  k_pop,
  k_translate,
  k_rotate,
  k_offset,
  k_specular,
};

// One entry of the list: a run of vertices of one primitive kind in one
// state, or an operation in its place in the order (a clear, a matrix step,
// a light or offset setting). Only 4-byte members.
struct command {
  int kind;
  int prim;
  int first, count;  // vertices of a run
  run_state state;   // of a run or a clear
  float f[4];        // the operation's numbers
};

struct frame_list {
  std::vector<command> commands;
  std::vector<vertex> vertices;
  bool transformed = false;  // holds a matrix step, a light or an offset
  bool animated = false;     // shows what the frame timer animates

  void clear() {
    commands.clear();
    vertices.clear();
    transformed = false;
    animated = false;
  }
  bool same(const frame_list& o) const {
    return commands.size() == o.commands.size() && vertices.size() == o.vertices.size() &&
           std::memcmp(commands.data(), o.commands.data(), commands.size() * sizeof(command)) == 0 &&
           std::memcmp(vertices.data(), o.vertices.data(), vertices.size() * sizeof(vertex)) == 0;
  }
};

const GLenum kGlPrims[] = {GL_POINTS,         GL_LINES,        GL_LINE_LOOP, GL_LINE_STRIP, GL_TRIANGLES,
                           GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,     GL_QUAD_STRIP};

// Vertices per primitive of the kinds whose primitives stand alone, so that
// runs of them join into one draw; 0 for the kinds that are one primitive.
int vertices_per_primitive(int prim) {
  switch (prim) {
    case dl_points: return 1;
    case dl_lines: return 2;
    case dl_triangles: return 3;
    case dl_quads: return 4;
    default: return 0;
  }
}

// The fewest vertices a primitive of a joined-up kind draws anything with.
int least_vertices(int prim) {
  switch (prim) {
    case dl_line_loop:
    case dl_line_strip: return 2;
    case dl_quad_strip: return 4;
    default: return 3;
  }
}

// Changes are found tile by tile: a tile of the window shows the same
// pixels in two frames when the same primitives, in the same state and in
// the same order, touch it in both. Each tile keeps a hash of the
// primitives that touch it (by their bounding box, a pixel wider), in
// drawing order.
constexpr int kTile = 32;
// Rectangles drawn again one by one at most; more, and the frame is drawn
// whole.
constexpr std::size_t kMostParts = 8;

// The shortest time between two frames drawn that answer nobody: those that
// show an animation of the frame timer, and those that show the progress of
// work. A fifth of the frame timer's pulse period (62.8 ms, 15.9 frames a
// second) shows every period as the same five steps when frames keep that
// cadence.
constexpr std::chrono::steady_clock::duration kAnimationGap =
    std::chrono::microseconds(static_cast<long long>(kPulsePeriodSeconds / 5 * 1e6 + 0.5));
constexpr std::chrono::steady_clock::duration kProgressGap = std::chrono::microseconds(1000000 / 15);
// How long a pass may wait for input after a frame end that found nothing
// new: a worker's news or a timer is seen this late at most.
constexpr long kQuietWaitUs = 50000;

struct pixel_box {
  int x0, y0, x1, y1;  // inclusive; empty when x1 < x0 or y1 < y0
  bool empty() const { return x1 < x0 || y1 < y0; }
};

struct tile_grid {
  int columns = 0, rows = 0;
  std::vector<std::uint64_t> hash;
  std::vector<pixel_box> boxes;  // the pixels each command can touch
  std::vector<pixel_box> prims;  // ... and each primitive of a run, from the run's first_prim on
  std::vector<std::size_t> first_prim;  // per command
};

struct recorder_state {
  bool on = false;
  frame_list now, shown;     // the frame being recorded; the frame on the screen
  frame_list set_aside;      // the frame being recorded, while an overlay is drawn
  tile_grid now_tiles, shown_tiles;
  bool shown_valid = false;  // the screen shows `shown`
  bool back_valid = false;   // the back buffer holds `shown` (the driver copies rectangles to the screen)
  bool window_pixels = true;  // the projection maps vertices to GL window pixels
  std::vector<pixel_box> parts, open_parts;  // the rectangles drawn again (room kept between frames)
  int redraw = 0;                // frame ends that show a frame whatever
  long long shown_textures = 0;  // the texture manager's change count when drawn
  // What the last frame drew in place and is not on the screen yet (empty
  // when nothing), and the window it goes to: it is put there at the next
  // frame end (or before anything else is drawn), by when the GL driver has
  // finished drawing it while the program went on with its work.
  pixel_box pending{0, 0, -1, -1};
  int pending_wind = 0;
  // The view (mnw.view_count) each frame was drawn for: the one waiting to
  // go on the screen and the one the screen shows.
  int pending_view = -1, screen_view = -1;
  bool copies = false;  // the driver was seen to copy rectangles to the screen
  // Pacing: when the last frame was drawn, and where the pointer was then.
  std::chrono::steady_clock::time_point drawn_at;
  float drawn_mouse_x = 0, drawn_mouse_y = 0;
  long quiet_wait_us = 0;  // what the last frame end allows the next pass to wait
  // A box closed while a frame was being drawn under it: what is recorded
  // until a whole frame begins is that frame's rest, which no frame end
  // shows.
  bool broken = false;

  // The attributes and state that recorded vertices and runs take.
  float s = 0, t = 0;
  float colour[4] = {1, 1, 1, 1};
  float normal[3] = {0, 0, 1};
  run_state state{};
  int prim = -1;            // the open primitive, -1 none
  std::size_t first = 0;    // its first vertex
  int depth = 0;            // matrix pushes not yet popped
  bool base_moved = false;  // a translation or rotation outside any push, this frame
};
recorder_state R;

bool has_gl() { return mnw.context[0] != nullptr; }

// --- Tiles ---

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  h *= 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 32);
}

std::uint64_t mix_bytes(std::uint64_t h, const void* data, std::size_t bytes) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (; bytes >= 8; bytes -= 8, p += 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    h = mix(h, v);
  }
  for (; bytes > 0; --bytes, ++p) h = mix(h, *p);
  return h;
}

pixel_box whole_window() { return {0, 0, mnw.x_res - 1, mnw.y_res - 1}; }

pixel_box meet(pixel_box a, const pixel_box& b) {
  a.x0 = std::max(a.x0, b.x0);
  a.y0 = std::max(a.y0, b.y0);
  a.x1 = std::min(a.x1, b.x1);
  a.y1 = std::min(a.y1, b.y1);
  return a;
}

pixel_box scissor_box(const run_state& s) {
  return {s.box[0], s.box[1], s.box[0] + s.box[2] - 1, s.box[1] + s.box[3] - 1};
}

// The pixels that vertices [first, first + count) can touch.
pixel_box reach(const vertex* v, int count, float margin) {
  float x0 = v[0].x, x1 = v[0].x, y0 = v[0].y, y1 = v[0].y;
  for (int i = 1; i < count; ++i) {
    x0 = std::min(x0, v[i].x);
    x1 = std::max(x1, v[i].x);
    y0 = std::min(y0, v[i].y);
    y1 = std::max(y1, v[i].y);
  }
  if (!(std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1))) return whole_window();
  auto to_pixel = [](float f) { return static_cast<int>(std::clamp(f, -1.0e6f, 1.0e6f)); };
  return {to_pixel(std::floor(x0 - margin)), to_pixel(std::floor(y0 - margin)), to_pixel(std::ceil(x1 + margin)),
          to_pixel(std::ceil(y1 + margin))};
}

void touch(tile_grid& g, const pixel_box& b, std::uint64_t h) {
  if (b.empty()) return;
  const int c0 = std::max(0, b.x0 / kTile), c1 = std::min(g.columns - 1, b.x1 / kTile);
  const int r0 = std::max(0, b.y0 / kTile), r1 = std::min(g.rows - 1, b.y1 / kTile);
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) {
      std::uint64_t& t = g.hash[static_cast<std::size_t>(r) * static_cast<std::size_t>(g.columns) +
                                static_cast<std::size_t>(c)];
      t = mix(t, h);
    }
}

// Hashes the tiles of a frame, and the pixels each command and each of its
// primitives can touch.
void hash_tiles(const frame_list& list, tile_grid& g) {
  g.columns = (std::max(mnw.x_res, 1) + kTile - 1) / kTile;
  g.rows = (std::max(mnw.y_res, 1) + kTile - 1) / kTile;
  g.hash.assign(static_cast<std::size_t>(g.columns) * static_cast<std::size_t>(g.rows), 0);
  g.boxes.clear();
  g.prims.clear();
  g.first_prim.clear();
  const pixel_box window = whole_window();
  for (const command& c : list.commands) {
    const pixel_box clip = c.state.scissor_on ? meet(window, scissor_box(c.state)) : window;
    pixel_box all{0, 0, -1, -1};
    g.first_prim.push_back(g.prims.size());
    const std::uint64_t head = mix_bytes(mix(1, static_cast<std::uint64_t>(c.kind) << 8 | c.prim), &c.state,
                                         sizeof c.state);
    if (c.kind == k_clear) {
      all = clip;
      touch(g, clip, mix_bytes(head, c.f, sizeof c.f));
    } else if (c.kind == k_draw) {
      const int per = vertices_per_primitive(c.prim) > 0 ? vertices_per_primitive(c.prim) : c.count;
      const float margin = c.prim == dl_points ? c.state.point_size * 0.5f + 1.0f : 1.0f;
      const vertex* v = list.vertices.data() + c.first;
      for (int p = 0; p + per <= c.count; p += per) {
        const pixel_box b = meet(reach(v + p, per, margin), clip);
        g.prims.push_back(b);
        if (b.empty()) continue;
        touch(g, b, mix_bytes(head, v + p, sizeof(vertex) * static_cast<std::size_t>(per)));
        all = all.empty() ? b : pixel_box{std::min(all.x0, b.x0), std::min(all.y0, b.y0), std::max(all.x1, b.x1),
                                          std::max(all.y1, b.y1)};
      }
    }
    g.boxes.push_back(all);
  }
}

bool overlaps(const pixel_box& a, const pixel_box& b) {
  return !a.empty() && !b.empty() && a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

// The rectangles of the tiles whose hashes differ, at most `most`: rows of
// changed tiles, joined with the rows above when they span the same columns.
// Empty when nothing differs; false when there would be more. `open` is
// room for the rectangles still growing.
bool changed_rectangles(const tile_grid& a, const tile_grid& b, std::vector<pixel_box>& out,
                        std::vector<pixel_box>& open, std::size_t most) {
  out.clear();
  open.clear();
  const pixel_box window = whole_window();
  auto in_pixels = [&](const pixel_box& t) {
    return meet({t.x0 * kTile, t.y0 * kTile, (t.x1 + 1) * kTile - 1, (t.y1 + 1) * kTile - 1}, window);
  };
  auto differs = [&](std::size_t at) { return a.hash[at] != b.hash[at]; };
  for (int r = 0; r < a.rows; ++r) {
    const std::size_t row = static_cast<std::size_t>(r) * static_cast<std::size_t>(a.columns);
    for (int c = 0; c < a.columns; ++c) {
      if (!differs(row + static_cast<std::size_t>(c))) continue;
      int e = c;
      while (e + 1 < a.columns && differs(row + static_cast<std::size_t>(e + 1))) ++e;
      bool joined = false;
      for (pixel_box& o : open)
        if (o.y1 == r - 1 && o.x0 == c && o.x1 == e) {
          o.y1 = r;
          joined = true;
          break;
        }
      if (!joined) open.push_back({c, r, e, r});
      c = e;
    }
    // The rectangles that did not grow in this row are finished.
    std::size_t k = 0;
    for (std::size_t i = 0; i < open.size(); ++i) {
      if (open[i].y1 == r)
        open[k++] = open[i];
      else
        out.push_back(in_pixels(open[i]));
    }
    open.resize(k);
    if (out.size() + open.size() > most) return false;
  }
  for (const pixel_box& o : open) out.push_back(in_pixels(o));
  return true;
}

// --- Submitting ---

void apply_scissor(const run_state& s, const pixel_box* clip) {
  if (!s.scissor_on && !clip) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  pixel_box b = s.scissor_on ? scissor_box(s) : *clip;
  if (s.scissor_on && clip) b = meet(b, *clip);
  glEnable(GL_SCISSOR_TEST);
  if (b.empty())
    glScissor(0, 0, 0, 0);
  else
    glScissor(b.x0, b.y0, b.x1 - b.x0 + 1, b.y1 - b.y0 + 1);
}

// GL takes state s, touching only what differs from `had` (everything when
// fresh).
void apply(const run_state& s, run_state& had, bool& fresh, const pixel_box* clip) {
  OGL_setstate_gl(s.codes[0], s.codes[1], s.codes[2], s.codes[3], s.codes[4], s.codes[5]);
  if (s.texture >= 0 && (fresh || s.texture != had.texture || s.texture_mode != had.texture_mode))
    TEX_bind_ref(s.texture, 0, s.texture_mode);
  if (fresh || s.scissor_on != had.scissor_on || std::memcmp(s.box, had.box, sizeof s.box) != 0)
    apply_scissor(s, clip);
  if (fresh || s.blend_src != had.blend_src || s.blend_dst != had.blend_dst) glBlendFunc(s.blend_src, s.blend_dst);
  if (fresh || s.point_size != had.point_size) glPointSize(s.point_size);
  had = s;
  fresh = false;
}

void set_specular(float level) {
  const float spec[4] = {level, level, level, 1.0f};
  glLightfv(GL_LIGHT0, GL_SPECULAR, spec);
  glMaterialfv(GL_FRONT, GL_SPECULAR, spec);
  glMateriali(GL_FRONT, GL_SHININESS, 128);
}

void set_polygon_offset(int level) {
  if (level == 0) {
    glDisable(GL_POLYGON_OFFSET_FILL);
    return;
  }
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(static_cast<float>(level) * -10.0f, -1.0f);
}

// Draws a list into the back buffer: all of it, or (clip and the tiles'
// boxes given) only the pixels inside clip.
void submit(const frame_list& list, const pixel_box* clip = nullptr, const tile_grid* tiles = nullptr) {
  if (list.commands.empty() || !has_gl()) return;
  const vertex* v = list.vertices.data();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(vertex), &v->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(vertex), &v->s);
  glColorPointer(4, GL_FLOAT, sizeof(vertex), &v->r);
  glNormalPointer(GL_FLOAT, sizeof(vertex), &v->nx);
  bool normals = false;
  glMatrixMode(GL_MODELVIEW);

  run_state had{};
  bool fresh = true;
  for (std::size_t i = 0; i < list.commands.size(); ++i) {
    const command& c = list.commands[i];
    if (clip && tiles && (c.kind == k_draw || c.kind == k_clear) && !overlaps(tiles->boxes[i], *clip)) continue;
    switch (c.kind) {
      case k_draw: {
        apply(c.state, had, fresh, clip);
        const bool lit = c.state.codes[2] == gl_lit_on;
        if (lit != normals) {
          normals = lit;
          if (lit)
            glEnableClientState(GL_NORMAL_ARRAY);
          else
            glDisableClientState(GL_NORMAL_ARRAY);
        }
        const int per = vertices_per_primitive(c.prim);
        if (!clip || !tiles || per == 0) {
          glDrawArrays(kGlPrims[c.prim], c.first, c.count);
          break;
        }
        // Of a run of separate primitives, only those that reach into clip,
        // in their order: the others cannot change a pixel inside it.
        const pixel_box* box = tiles->prims.data() + tiles->first_prim[i];
        const int n = c.count / per;
        for (int p = 0; p < n;) {
          if (!overlaps(box[p], *clip)) {
            ++p;
            continue;
          }
          int e = p + 1;
          while (e < n && overlaps(box[e], *clip)) ++e;
          glDrawArrays(kGlPrims[c.prim], c.first + p * per, (e - p) * per);
          p = e;
        }
        break;
      }
      case k_clear:
        apply(c.state, had, fresh, clip);
        glClearColor(c.f[0], c.f[1], c.f[2], c.f[3]);
        glClear(GL_COLOR_BUFFER_BIT);
        break;
      case k_push: glPushMatrix(); break;
      case k_pop: glPopMatrix(); break;
      case k_translate: glTranslatef(c.f[0], c.f[1], c.f[2]); break;
      case k_rotate: glRotatef(c.f[0], c.f[1], c.f[2], c.f[3]); break;
      case k_offset: set_polygon_offset(static_cast<int>(c.f[0])); break;
      case k_specular: set_specular(c.f[0]); break;
      default: break;
    }
  }
  if (normals) glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  // What follows straight to GL (an alert's set-up, an upload) finds the
  // colour and the scissor box the recording holds.
  glColor4fv(R.colour);
  apply_scissor(R.state, nullptr);
}

// The colour left white (green in monochrome) with the global alpha factor,
// as a frame end leaves it.
void white_colour() {
  const float m = OGL_monochrome ? 0.0f : 1.0f;
  const float white[4] = {m, 1.0f, m, OGL_alpha_factor};
  std::memcpy(R.colour, white, sizeof white);
  if (!R.on || has_gl()) glColor4fv(white);
}

// Puts the back buffer on the screen: rectangle `box` of it when the driver
// copies rectangles (the back buffer keeps its pixels), else the whole of it
// by a swap. True when the back buffer still holds what it held.
bool show(const pixel_box& box) {
  white_colour();
  xtim.profile_chart("sb1", 0);
  R.screen_view = mnw.view_count;
  const bool copied = !box.empty() && MACIBM_copy_sub_buffer(mnw.swap_wind, box.x0, box.y0, box.x1 - box.x0 + 1,
                                                              box.y1 - box.y0 + 1);
  if (!copied) MACIBM_swap_buffers(mnw.swap_wind);
  xtim.profile_chart("sb2", 0);
  return copied;
}

// Puts what the last frame drew in place on the screen: one rectangle, the
// bounding box of its changed parts, so that the X server shows the whole
// frame at once and never half of it. True when there was any.
bool present_pending() {
  if (R.pending.empty()) return false;
  const pixel_box box = R.pending;
  R.pending = pixel_box{0, 0, -1, -1};
  R.screen_view = R.pending_view;
  xtim.profile_chart("sb1", 0);
  MACIBM_copy_sub_buffer(R.pending_wind, box.x0, box.y0, box.x1 - box.x0 + 1, box.y1 - box.y0 + 1);
  xtim.profile_chart("sb2", 0);
  return has_gl();
}

// Draws `list`, a frame that differs from the one on the screen (or is due
// whatever), into the back buffer: only the tiles that changed when the back
// buffer still holds the frame on the screen, else all of it. With the
// driver's copies its rectangles go on the screen at the next frame end (or
// before then), while the GL driver draws; without them the frame is
// swapped at once. The list becomes the frame on the screen and `list` is
// left empty. True when the frame was put on the screen at once.
bool draw_frame(frame_list& list, bool forced, long long textures) {
  hash_tiles(list, R.now_tiles);
  std::vector<pixel_box>& parts = R.parts;
  const bool in_place = R.back_valid && textures == R.shown_textures && R.window_pixels && !list.transformed &&
                        !R.shown.transformed && R.now_tiles.columns == R.shown_tiles.columns &&
                        R.now_tiles.rows == R.shown_tiles.rows &&
                        changed_rectangles(R.now_tiles, R.shown_tiles, parts, R.open_parts, kMostParts);
  pixel_box shown_part{0, 0, -1, -1};
  if (in_place) {
    for (const pixel_box& p : parts) {
      submit(list, &p, &R.now_tiles);
      shown_part = shown_part.empty() ? p
                                      : pixel_box{std::min(shown_part.x0, p.x0), std::min(shown_part.y0, p.y0),
                                                  std::max(shown_part.x1, p.x1), std::max(shown_part.y1, p.y1)};
    }
  } else {
    submit(list);
    shown_part = whole_window();
  }
  // A frame asked for shows the whole window, changed or not.
  if (forced) shown_part = whole_window();
  bool drawn = false;
  if (R.copies && !shown_part.empty()) {
    if (has_gl()) glFlush();
    R.pending = shown_part;
    R.pending_wind = mnw.swap_wind;
    R.pending_view = mnw.view_count;
    R.back_valid = true;
  } else {
    drawn = !shown_part.empty() && has_gl();
    if (!shown_part.empty()) R.copies = R.back_valid = show(shown_part);
  }
  std::swap(list, R.shown);
  std::swap(R.now_tiles, R.shown_tiles);
  R.shown_valid = true;
  R.shown_textures = textures;
  list.clear();
  return drawn;
}

// --- Recording ---

void record_operation(int kind, float a, float b = 0, float c = 0, float d = 0) {
  command op{};
  op.kind = kind;
  op.f[0] = a;
  op.f[1] = b;
  op.f[2] = c;
  op.f[3] = d;
  R.now.commands.push_back(op);
  R.now.transformed = true;
}

void push_vertex(float x, float y, float z) {
  // Without a texture the coordinates that the last textured drawing left
  // mean nothing: they are not kept, so that they make no change of their own.
  const bool textured = R.state.codes[1] != 0;
  R.now.vertices.push_back(vertex{x, y, z, textured ? R.s : 0.0f, textured ? R.t : 0.0f, R.colour[0], R.colour[1],
                                  R.colour[2], R.colour[3], R.normal[0], R.normal[1], R.normal[2]});
}

// The recording starts from what GL holds now.
void take_gl_state() {
  const gl_state_cache& cache = OGL_state_cache();
  R.state = run_state{};
  R.state.codes[0] = cache.fog;
  R.state.codes[1] = cache.tex;
  R.state.codes[2] = cache.lighting;
  R.state.codes[3] = gl_alpha_none + cache.blend + 2 * cache.atest;
  R.state.codes[4] = cache.depth;
  R.state.codes[5] = cache.dwrite;
  R.state.texture = -1;
  R.state.blend_src = GL_SRC_ALPHA;
  R.state.blend_dst = GL_ONE_MINUS_SRC_ALPHA;
  R.state.point_size = 1.0f;
  if (!has_gl()) return;
  GLint v[4];
  R.state.scissor_on = glIsEnabled(GL_SCISSOR_TEST) ? 1 : 0;
  glGetIntegerv(GL_SCISSOR_BOX, v);
  std::copy(v, v + 4, R.state.box);
  glGetIntegerv(GL_BLEND_SRC, v);
  R.state.blend_src = static_cast<unsigned>(v[0]);
  glGetIntegerv(GL_BLEND_DST, v);
  R.state.blend_dst = static_cast<unsigned>(v[0]);
  glGetFloatv(GL_POINT_SIZE, &R.state.point_size);
  glGetFloatv(GL_CURRENT_COLOR, R.colour);
  GLfloat tc[4];
  glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
  R.s = tc[0];
  R.t = tc[1];
  glGetFloatv(GL_CURRENT_NORMAL, R.normal);
}

}  // namespace

// --- The drawing calls ---

void DL_begin(dl_prim prim) {
  if (!R.on) {
    glBegin(kGlPrims[prim]);
    return;
  }
  R.prim = prim;
  R.first = R.now.vertices.size();
}

void DL_end() {
  if (!R.on) {
    glEnd();
    return;
  }
  if (R.prim < 0) return;
  const int prim = R.prim;
  R.prim = -1;
  std::size_t n = R.now.vertices.size() - R.first;
  // An unfinished last primitive draws nothing, as in GL.
  const int per = vertices_per_primitive(prim);
  if (per > 0) n -= n % static_cast<std::size_t>(per);
  if (per == 0 && n < static_cast<std::size_t>(least_vertices(prim))) n = 0;
  R.now.vertices.resize(R.first + n);
  if (n == 0) return;
  if (per > 0 && !R.now.commands.empty()) {
    command& last = R.now.commands.back();
    if (last.kind == k_draw && last.prim == prim &&
        static_cast<std::size_t>(last.first) + static_cast<std::size_t>(last.count) == R.first &&
        std::memcmp(&last.state, &R.state, sizeof R.state) == 0) {
      last.count += static_cast<int>(n);
      return;
    }
  }
  command run{};
  run.kind = k_draw;
  run.prim = prim;
  run.first = static_cast<int>(R.first);
  run.count = static_cast<int>(n);
  run.state = R.state;
  R.now.commands.push_back(run);
}

void DL_abandon() {
  if (R.on && R.prim >= 0) DL_end();
}

void DL_vertex(float x, float y) {
  if (!R.on) {
    glVertex2f(x, y);
    return;
  }
  if (R.prim >= 0) push_vertex(x, y, 0.0f);
}

void DL_vertex3(float x, float y, float z) {
  if (!R.on) {
    glVertex3f(x, y, z);
    return;
  }
  if (R.prim >= 0) push_vertex(x, y, z);
}

void DL_texcoord(float s, float t) {
  if (!R.on) {
    glTexCoord2f(s, t);
    return;
  }
  R.s = s;
  R.t = t;
}

void DL_normal(float x, float y, float z) {
  if (!R.on) {
    glNormal3f(x, y, z);
    return;
  }
  R.normal[0] = x;
  R.normal[1] = y;
  R.normal[2] = z;
}

void DL_colour3(const float rgb[3]) {
  if (!R.on) {
    glColor3fv(rgb);
    return;
  }
  R.colour[0] = rgb[0];
  R.colour[1] = rgb[1];
  R.colour[2] = rgb[2];
  R.colour[3] = 1.0f;
}

void DL_colour4(float r, float g, float b, float a) {
  if (!R.on) {
    glColor4f(r, g, b, a);
    return;
  }
  R.colour[0] = r;
  R.colour[1] = g;
  R.colour[2] = b;
  R.colour[3] = a;
}

void DL_state(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write) {
  if (!R.on) {
    OGL_setstate_gl(fog, tex_units, lighting, alpha, depth_test, depth_write);
    return;
  }
  int* c = R.state.codes;
  c[0] = fog;
  c[1] = tex_units;
  c[2] = lighting;
  c[3] = alpha;
  c[4] = depth_test;
  c[5] = depth_write;
}

void DL_texture(int name, int mode) {
  if (!R.on) {
    TEX_bind_ref(name, 0, mode);
    return;
  }
  R.state.texture = name;
  R.state.texture_mode = mode;
}

void DL_scissor(const int* box) {
  if (!R.on) {
    if (box) {
      glEnable(GL_SCISSOR_TEST);
      glScissor(box[0], box[1], box[2], box[3]);
    } else {
      glDisable(GL_SCISSOR_TEST);
    }
    return;
  }
  R.state.scissor_on = box ? 1 : 0;
  if (box) std::copy(box, box + 4, R.state.box);
}

void DL_blend(unsigned source, unsigned destination) {
  if (!R.on) {
    glBlendFunc(source, destination);
    return;
  }
  R.state.blend_src = source;
  R.state.blend_dst = destination;
}

void DL_blend_func(unsigned* source, unsigned* destination) {
  if (R.on) {
    *source = R.state.blend_src;
    *destination = R.state.blend_dst;
    return;
  }
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  *source = static_cast<unsigned>(src);
  *destination = static_cast<unsigned>(dst);
}

void DL_point_size(float size) {
  if (!R.on) {
    glPointSize(size);
    return;
  }
  R.state.point_size = size;
}

void DL_push_matrix() {
  if (!R.on) {
    glPushMatrix();
    return;
  }
  ++R.depth;
  record_operation(k_push, 0);
}

void DL_pop_matrix() {
  if (!R.on) {
    glPopMatrix();
    return;
  }
  if (R.depth > 0) --R.depth;
  record_operation(k_pop, 0);
}

void DL_translate(float x, float y, float z) {
  if (!R.on) {
    glTranslatef(x, y, z);
    return;
  }
  if (R.depth == 0) R.base_moved = true;
  record_operation(k_translate, x, y, z);
}

void DL_rotate(float degrees, float x, float y, float z) {
  if (!R.on) {
    glRotatef(degrees, x, y, z);
    return;
  }
  if (R.depth == 0) R.base_moved = true;
  record_operation(k_rotate, degrees, x, y, z);
}

bool DL_transformed() {
  if (R.on) return R.depth > 0 || R.base_moved;
  return false;
}

void DL_polygon_offset(int level) {
  if (!R.on) {
    set_polygon_offset(level);
    return;
  }
  record_operation(k_offset, static_cast<float>(level));
}

void DL_specular(float level) {
  if (!R.on) {
    set_specular(level);
    return;
  }
  record_operation(k_specular, level);
}

void DL_clear(const float rgba[4]) {
  if (!R.on) {
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  // A clear of the whole window hides everything drawn before it: a whole
  // frame begins.
  if (!R.state.scissor_on && R.depth == 0 && !R.base_moved && R.prim < 0) {
    R.now.clear();
    R.broken = false;
  }
  command c{};
  c.kind = k_clear;
  c.state = R.state;
  std::copy(rgba, rgba + 4, c.f);
  R.now.commands.push_back(c);
}

// --- Frames ---

void DL_animated() {
  if (R.on) R.now.animated = true;
}

void OGL_frame_lists(int on) {
  if ((on != 0) == R.on) return;
  if (!on) {
    DL_abandon();
    present_pending();
    submit(R.now);
    R.on = false;
    R.now.clear();
    R.shown.clear();
    R.shown_valid = R.back_valid = false;
    return;
  }
  take_gl_state();
  R.on = true;
  R.now.clear();
  R.shown_valid = R.back_valid = false;
  R.depth = 0;
  R.base_moved = false;
  R.prim = -1;
}

int OGL_frame_lists_on() { return R.on ? 1 : 0; }

void OGL_drop_recorded() {
  if (!R.on) return;
  R.prim = -1;
  R.now.clear();
  R.depth = 0;
  R.base_moved = false;
  R.broken = false;
}

void OGL_frame_broken() {
  if (R.on) R.broken = true;
}

int OGL_shown_view() { return R.screen_view; }

int OGL_show_drawn() { return R.on && present_pending() ? 1 : 0; }

long OGL_quiet_wait_us() { return R.on ? R.quiet_wait_us : 0; }

void OGL_redraw(int frames) { R.redraw = std::max(R.redraw, frames); }

void OGL_buffers_lost() {
  R.pending = pixel_box{0, 0, -1, -1};
  R.back_valid = false;
  R.redraw = std::max(R.redraw, 1);
}

void DL_window_projection(bool pixels) { R.window_pixels = pixels; }
bool DL_window_projection() { return R.window_pixels; }

void DL_flush() {
  if (!R.on) return;
  DL_abandon();
  present_pending();
  submit(R.now);
  R.back_valid = false;
}

int OGL_end_frame() {
  if (!R.on) {
    OGL_sbuff();
    return 1;
  }
  DL_abandon();
  // What the last frame drew in place goes on the screen first.
  const bool presented = present_pending();
  if (R.broken) {
    // The rest of a frame that a box broke off: the whole frame that comes
    // next is drawn at once instead.
    R.now.clear();
    R.depth = 0;
    R.base_moved = false;
    R.redraw = std::max(R.redraw, 1);
    R.quiet_wait_us = 0;
    return presented ? 1 : 0;
  }
  bool drawn = false;
  const long long textures = tman.changes;
  const bool changed = !R.shown_valid || textures != R.shown_textures || !R.now.same(R.shown);
  const bool forced = R.redraw > 0;
  if (R.redraw > 0) --R.redraw;
  // A frame that answers nobody waits for its turn: it is drawn by the
  // first frame end at least kAnimationGap (it shows an animation) or
  // kProgressGap (the progress of work) after the last frame drawn, with
  // what it shows by then. Frames that answer input or the X server (a
  // redraw is due, the pointer moved) are drawn at once.
  const auto now = std::chrono::steady_clock::now();
  const bool answers =
      forced || !R.shown_valid || mnw.mouse_x != R.drawn_mouse_x || mnw.mouse_y != R.drawn_mouse_y;
  const bool animated = R.now.animated;
  const bool due = answers || now - R.drawn_at >= (animated ? kAnimationGap : kProgressGap);
  if ((changed && due) || forced) {
    // An animation keeps its cadence: the next one is due a gap after this
    // one was due, unless this frame came late by a whole gap or answers.
    const auto was_due = R.drawn_at + kAnimationGap;
    R.drawn_at = (!answers && animated && now - was_due < kAnimationGap) ? was_due : now;
    R.drawn_mouse_x = mnw.mouse_x;
    R.drawn_mouse_y = mnw.mouse_y;
    white_colour();
    drawn = draw_frame(R.now, forced, textures);
  }
  if (forced) {
    R.quiet_wait_us = 0;
  } else if (!changed) {
    R.quiet_wait_us = kQuietWaitUs;
  } else if (animated) {
    const auto left = R.drawn_at + kAnimationGap - now;
    R.quiet_wait_us = std::max(0L, static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
  } else {
    R.quiet_wait_us = 0;
  }
  R.now.clear();
  R.depth = 0;
  R.base_moved = false;
  return drawn || presented ? 1 : 0;
}

void OGL_overlay_begin() {
  if (!R.on) return;
  DL_abandon();
  std::swap(R.now, R.set_aside);
  R.now.clear();
}

void OGL_overlay_show() {
  if (!R.on) {
    OGL_sbuff();
    return;
  }
  DL_abandon();
  present_pending();
  // Only over a frame that the screen shows and that can be drawn again:
  // never over the part of a frame recorded so far.
  if (R.shown_valid && tman.changes == R.shown_textures && has_gl()) {
    if (!R.back_valid) submit(R.shown);
    submit(R.now);
    show(whole_window());
    R.shown_valid = R.back_valid = false;
  }
  std::swap(R.now, R.set_aside);
  R.set_aside.clear();
}

void OGL_sbuff() {
  if (!R.on) {
    white_colour();
    R.screen_view = mnw.view_count;
    xtim.profile_chart("sb1", 0);
    MACIBM_swap_buffers(mnw.swap_wind);
    xtim.profile_chart("sb2", 0);
    return;
  }
  // Shown at once, in the middle of a frame: the frame's end draws the
  // whole frame again.
  DL_abandon();
  present_pending();
  submit(R.now);
  show(whole_window());
  R.shown_valid = R.back_valid = false;
}
