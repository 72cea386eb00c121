// The texture manager: the record table and name hash, loading, upload,
// binding with its per-unit cache, release and unload.
//
// Sections: buffers and globals; size rules; loading; upload; binding;
// release, unload and counters.
// The GL entry points with their ARB names are called directly.
#define GL_GLEXT_PROTOTYPES 1
#include "textures/tman.h"

#include <unistd.h>

#include <cstdio>

#include "engine/web_host.h"
#include "runtime/alert.h"
#include "runtime/debug.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/queues.h"
#include "runtime/xtim.h"
#include "textures/image_ops.h"
#include "textures/ogl_extensions.h"

// ---------------------------------------------------------------------------
// Buffers and globals

namespace {

alignas(16) unsigned char scratch_array_storage[kScratchBytes + 15];
alignas(16) unsigned char scratch_array_temp_storage[kScratchBytes + 15];

constexpr const char kScratchPrefix[] = "scratch_array";

bool is_scratch_name(const std::string& name) { return name.compare(0, 13, kScratchPrefix) == 0; }

std::string fmt(const char* format, double value) {
  char buf[64];
  snprintf(buf, sizeof buf, format, value);
  return buf;
}

[[noreturn]] void fatal(const std::string& l1, const std::string& l2, const std::string& l3,
                        const std::string& l4, int line) {
  __MACIBM_alert(0, l1, l2, l3, l4, t_exit, kTmanSourceName, line);
  _exit(1);  // the alert does not come back from type 2
}

}  // namespace

unsigned char* scratch_array = scratch_array_storage;
int scratch_dx = 0, scratch_dy = 0;
unsigned char* scratch_array_temp = scratch_array_temp_storage;
int num_units = 0;
void (*tman_show_init)(const std::string& message, float* fraction) = nullptr;

tman_class tman;

tman_class::tman_class() {
  UTL_critical_section_create(&lock);
  tex_hash_.reserve(100);
}

tman_class::~tman_class() { UTL_critical_section_destroy(&lock); }

void tman_class::check_ref(int ref, const std::string& name_hint) {
  if (ref >= 0 && ref < static_cast<int>(ref_dat.size())) return;
  fatal("missing non-scenery texture - how?", "", fmt("ref=%6.0f", ref), name_hint, __LINE__);
}

// Takes every name that leads to the record out of the name table. A record
// whose new image was missing keeps its old name while the table gives it
// the new one, so looking up its own name alone would leave the new name
// behind, leading a later load to a free record without counting it.
void tman_class::unhash(int ref) {
  for (auto it = tex_hash_.begin(); it != tex_hash_.end();) {
    if (it->second == ref)
      it = tex_hash_.erase(it);
    else
      ++it;
  }
}

// ---------------------------------------------------------------------------
// Size rules

void check_dxy(int side, const std::string& name) {
  if (side >= 1 && side <= 2048) return;
  fatal("Trying to create a texture either less than 1 or greater than 2048!", name, "value:",
        fmt("%1.0f", side), __LINE__);
}

namespace {

float level_factor(int level) {
  switch (level) {
    case 4: return 0.5f;
    case 3: return 0.25f;
    case 2: return 0.125f;
    case 1: return 0.0625f;
    case 0: return 0.03125f;
    default: return 1.0f;  // 5 and anything unknown
  }
}

float clamp01(float f) { return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; }

int next_pow2(int side) {
  int p = 1;
  while (p < side && p < (1 << 30)) p <<= 1;
  return p;
}

}  // namespace

float TEX_get_scale(const std::string& name, int filter, int dx, int dy, int* scaled_dx, int* scaled_dy,
                    int* tex_dx, int* tex_dy, int force) {
  if (dx < 1) check_dxy(dx, name);
  if (dy < 1) check_dxy(dy, name);
  float factor = level_factor(mnw.tex_res);
  if (filter & tex_res_up) factor = clamp01(factor * 2.0f);
  if (filter & tex_res_down) factor = clamp01(factor * 0.5f);
  if (filter & tex_full_res) factor = 1.0f;
  if (force == 1) factor = 1.0f;
  if (factor < 1.0f / dx) factor = 1.0f / dx;
  if (factor < 1.0f / dy) factor = 1.0f / dy;
  while (factor * dx > glExt.max_texture_size || factor * dy > glExt.max_texture_size) factor *= 0.5f;
  *scaled_dx = static_cast<int>(factor * dx);
  *scaled_dy = static_cast<int>(factor * dy);
  if (filter & tex_no_pow2) {
    *tex_dx = *scaled_dx;
    *tex_dy = *scaled_dy;
  } else {
    *tex_dx = next_pow2(*scaled_dx);
    *tex_dy = next_pow2(*scaled_dy);
  }
  check_dxy(dx, name);
  check_dxy(dy, name);
  check_dxy(*scaled_dx, name);
  check_dxy(*scaled_dy, name);
  check_dxy(*tex_dx, name);
  check_dxy(*tex_dy, name);
  return factor;
}

float tman_class::scale_rat() { return level_factor(mnw.tex_res); }

// ---------------------------------------------------------------------------
// Loading

namespace {

// Refs whose loads never show the splash line.
bool splash_exempt(int ref) {
  return ref == 0 || ref == 312 || ref == t_interface || ref == 396 || ref == t_blank_gray ||
         (ref >= 427 && ref <= 442);
}

}  // namespace

int tman_class::load_texture(tex_fail_mode fail, int manual_ref, int filter, tex_load_time load_time,
                             const std::string& name) {
  if (name.empty()) return 0;

  const double now = static_cast<double>(xtim_class::microsecs()) * 1e-6;
  const double previous = last_t_;
  last_t_ = now;
  if (now > previous + 1.0 && load_time == tex_load_now && !is_scratch_name(name) &&
      !splash_exempt(manual_ref) && tman_show_init) {
    tman_show_init("Loading bitmap " + name + ".", nullptr);
  }

  UTL_scoped_lock hold(&lock);
  if (load_time < 100 || load_time > 102)
    fatal("Trying to create an invalid texture load_time!", name, "value:", fmt("%1.0f", load_time), __LINE__);
  if (manual_ref < 0 || manual_ref > kFirstDynamicRef)
    fatal("Trying to bind too low or high a manual_ref!", name, "value:", fmt("%1.0f", manual_ref), __LINE__);

  int number;
  if (manual_ref > 0) {
    number = manual_ref;
  } else {
    auto known = tex_hash_.find(name);
    if (known != tex_hash_.end()) {
      const int r = known->second;
      ref_dat_struct& rec = ref_dat[r];
      rec.ref_count += 1;
      if (rec.load_state == tex_state_loaded) return r;
      return load_texture_int(fail, r, filter, name);
    }
    // The highest free record of the dynamic range, else one past the end.
    const int size = static_cast<int>(ref_dat.size());
    number = size < kFirstDynamicRef ? kFirstDynamicRef : size;
    for (int i = kFirstDynamicRef; i < size; ++i)
      if (ref_dat[i].format == 0) number = i;
  }

  if (number >= static_cast<int>(ref_dat.size())) ref_dat.resize(number + 1);
  ref_dat_struct& rec = ref_dat[number];

  // A name keeps the ref it already has: the four built-in images share one.
  unhash(number);
  tex_hash_.emplace(name, number);

  if (rec.format == 0) {
    rec.name = name;
    rec.tex_id = 0;
    rec.ref_count = manual_ref == 0 ? 1 : -1;
    rec.filter = filter;
    rec.format = GL_RGBA;
    rec.vram = 0;
    rec.load_state = tex_state_loaded;
    rec.dx = rec.dy = rec.tex_dx = rec.tex_dy = 0.0f;
    rec.fail_mode = fail;
    total_count += 1;
  }

  const int loaded = load_texture_int(fail, number, filter, name);
  return (loaded != 0 || manual_ref == 0) ? number : 0;
}

int tman_class::load_texture_int(tex_fail_mode fail, int ref, int filter, const std::string& name) {
  if (force_finish && !is_scratch_name(name)) force_finish->finish();
  if (filter < 0 || filter > tex_filter_max)
    fatal("Trying to bind an invalid filter type!", name, "value:", fmt("%1.0f", filter), __LINE__);
  tex_load_vars v;
  v.fail_mode = fail;
  v.ref = ref;
  v.filter = filter;
  v.name = name;
  const int io = load_texture_io(&v);
  return load_texture_ogl(&v, io);
}

int tman_class::load_texture_io(tex_load_vars* v) {
  v->has_mips = 0;
  v->alpha_from_file = 0;
  switch (v->filter & tex_layout_mask) {
    case 0:
      fatal("BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0.", "", "", "", __LINE__);
    case tex_rgb:
    case tex_rgb_7: v->gl_format = GL_RGB; v->bytes_per_pixel = 3; break;
    case tex_rgba: v->gl_format = GL_RGBA; v->bytes_per_pixel = 4; break;
    case tex_alpha: v->gl_format = GL_ALPHA; v->bytes_per_pixel = 1; break;
    case tex_rgb_file_alpha: v->gl_format = GL_RGB; v->bytes_per_pixel = 3; v->alpha_from_file = 1; break;
    case tex_rgba_file_alpha: v->gl_format = GL_RGBA; v->bytes_per_pixel = 4; v->alpha_from_file = 1; break;
    case tex_depth: v->gl_format = GL_DEPTH_COMPONENT; v->bytes_per_pixel = 1; break;
  }

  int result = 0;
  if (v->name.empty()) {
    result = 0;
  } else if (is_scratch_name(v->name)) {
    check_dxy(scratch_dx, v->name);
    check_dxy(scratch_dy, v->name);
    TEX_get_scale(v->name, v->filter, scratch_dx, scratch_dy, &v->src_dx, &v->src_dy, &v->pow2_dx, &v->pow2_dy, 1);
    v->pixels = scratch_array;
    result = 1;
  } else if (load_any_into_scratch(v->name, v->filter, &v->gl_format, &v->has_mips, &v->bytes_per_pixel,
                                   v->alpha_from_file, &v->src_dx, &v->src_dy, &v->pow2_dx, &v->pow2_dy)) {
    v->pixels = scratch_array_temp;
    result = 2;
  }
  if (v->filter & tex_scratch) v->pixels = scratch_array;
  return result;
}

// ---------------------------------------------------------------------------
// Upload

namespace {

bool is_compressed(int format) {
  return format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
         format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

bool is_nearest_ref(int ref) { return ref == t_interface || ref == 419 || (ref >= 425 && ref <= 442); }

int internal_format_for(int gl_format, int filter) {
  int f = gl_format;
  if (f == GL_BGRA) f = GL_RGBA;
  if (f == GL_BGR) f = GL_RGB;
  if (filter & tex_float16) {
    if (f == GL_RGB) f = GL_RGB16F_ARB;
    else if (f == GL_RGBA) f = GL_RGBA16F_ARB;
    else if (f == GL_ALPHA) f = GL_ALPHA16F_ARB;
  }
  if (gl_format == GL_DEPTH_COMPONENT) f = GL_DEPTH_COMPONENT24;
  if (filter & tex_sized8) {
    if (f == GL_RGB) f = GL_RGB8;
    else if (f == GL_RGBA) f = GL_RGBA8;
  }
  return f;
}

// Gives every fully transparent pixel the mean colour of the visible pixels
// within two pixels of it, so that filtering does not bleed a dark fringe
// into the visible edge. Alpha stays 0.
void edge_fill(unsigned char* pixels, int w, int h) {
  const long row = static_cast<long>(w) * 4;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      unsigned char* p = pixels + y * row + x * 4;
      if (p[3] != 0) continue;
      unsigned sum[3] = {0, 0, 0}, count = 0;
      for (int yy = (y - 2 < 0 ? 0 : y - 2); yy <= y + 2 && yy < h; ++yy) {
        for (int xx = (x - 2 < 0 ? 0 : x - 2); xx <= x + 2 && xx < w; ++xx) {
          const unsigned char* q = pixels + yy * row + xx * 4;
          if (q[3] == 0) continue;
          sum[0] += q[0];
          sum[1] += q[1];
          sum[2] += q[2];
          ++count;
        }
      }
      if (count > 0) {
        p[0] = static_cast<unsigned char>(sum[0] / count);
        p[1] = static_cast<unsigned char>(sum[1] / count);
        p[2] = static_cast<unsigned char>(sum[2] / count);
      }
    }
  }
}

// Halves a copy held as int and as float together: a power of two reaches
// 1 with both equal.
bool is_pow2_side(int side) {
  if (side <= 1) return true;
  int i = side;
  float f = static_cast<float>(side);
  while (i > 1) {
    i >>= 1;
    f *= 0.5f;
  }
  const float diff = f - static_cast<float>(i);
  return diff <= 0.0001f && diff >= -0.0001f;
}

}  // namespace

namespace {
void forget_bound(int tex);
}  // namespace

int tman_class::load_texture_ogl(tex_load_vars* v, int io_result) {
  const int ref = v->ref;
  if (ref < 0 || ref >= static_cast<int>(ref_dat.size()))
    fatal("(manual_ref>=ref_dat.size()!",
          "maybe we tried to load some texture thatis not avail, and we have not loaded the t_blank_gray yet?", "",
          "", __LINE__);
  ref_dat_struct& R = ref_dat[ref];
  const int F = v->filter;

  if (io_result == 0) {
    // A texture the record held before is let go: it no longer counts as
    // loaded, and its own GL texture is deleted.
    if (R.load_state == tex_state_loaded && R.vram != 0) loaded_count -= 1;
    if (R.tex_id == ref && ref != t_blank_gray) {
      const GLuint gl_name = static_cast<GLuint>(ref);
      glDeleteTextures(1, &gl_name);
      forget_bound(ref);
    }
    // Whatever the record showed, it now shows the fallback or nothing.
    ++changes;
    // The record shows the blank fallback, or nothing at all when the
    // fallback itself is not loaded.
    const bool have_blank = static_cast<int>(ref_dat.size()) > t_blank_gray &&
                            ref_dat[t_blank_gray].load_state == tex_state_loaded &&
                            ref_dat[t_blank_gray].format != 0;
    if (have_blank) {
      const ref_dat_struct& blank = ref_dat[t_blank_gray];
      R.tex_id = blank.tex_id;
      R.dx = blank.dx;
      R.dy = blank.dy;
      R.tex_dx = blank.tex_dx;
      R.tex_dy = blank.tex_dy;
      R.format = blank.format;
    } else {
      R.tex_id = 0;
      R.dx = R.dy = R.tex_dx = R.tex_dy = 0.0f;
      if (R.format == 0) R.format = GL_RGBA;  // stays a record in use
    }
    R.vram = 0;
    R.load_state = tex_state_loaded;
    switch (v->fail_mode) {
      case tex_fail_quiet: return 0;
      case tex_fail_scene: if (scene_load_fail == 0) scene_load_fail = 1; break;
      case tex_fail_plane: if (plane_load_fail == 0) plane_load_fail = 1; break;
      case tex_fail_instl: if (instl_load_fail == 0) instl_load_fail = 1; break;
      case tex_fail_fatal:
        fatal("Trying to load a texture that you do not have!", "This smacks of a mis-installed copy of Corvane!",
              std::string("Get a new download from ") + kMakerHost + ". The missing file is:", v->name, __LINE__);
      default: break;
    }
    xer << "WARNING: we are missing the texture: " << v->name << ".\n";
    return 0;
  }

  const int gl_format = v->gl_format;
  const bool mip = (F & tex_mipmap) != 0;
  const bool compressed = is_compressed(gl_format);
  const int internal_format = internal_format_for(gl_format, F);
  const bool hw_mips = mip && glExt.automini_avail && !compressed && !(F & tex_sized8);
  const bool sw_mips = mip && !hw_mips && !v->has_mips;
  const bool refill = R.load_state == tex_state_loaded && R.format == gl_format &&
                      R.tex_dx == static_cast<float>(v->pow2_dx) && R.tex_dy == static_cast<float>(v->pow2_dy) &&
                      R.tex_id == ref && (!mip || hw_mips);
  const bool fill_edges = v->bytes_per_pixel == 4 && io_result != 1 && !compressed && !v->has_mips;
  const bool nearest = is_nearest_ref(ref);

  if (R.vram == 0) loaded_count += 1;
  ++changes;
  R.name = v->name;
  R.tex_id = ref;
  R.load_state = tex_state_loaded;
  R.dx = static_cast<float>(v->src_dx);
  R.dy = static_cast<float>(v->src_dy);
  R.tex_dx = static_cast<float>(v->pow2_dx);
  R.tex_dy = static_cast<float>(v->pow2_dy);
  R.format = gl_format;
  R.filter = F;
  const long double bytes = static_cast<long double>(v->pow2_dx) * v->pow2_dy * v->bytes_per_pixel;
  R.vram = static_cast<int>(bytes * (mip ? static_cast<long double>(1.33f) : 1.0L));

  if (ref == 0) {
    std::string name;
    {
      UTL_scoped_lock hold(&lock);
      name = R.name;
    }
    fatal("Trying to bind a null ref!", "ref=     0, tex=     0", "", name, __LINE__);
  }

  if (fill_edges) edge_fill(v->pixels, v->pow2_dx, v->pow2_dy);

  if (!(F & tex_no_pow2)) {
    if (!is_pow2_side(v->pow2_dx) || !is_pow2_side(v->pow2_dy))
      fatal("load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", __LINE__);
  }
  check_dxy(v->pow2_dx, v->name);
  check_dxy(v->pow2_dy, v->name);

  const int saved_units = num_units;
  num_units = 1;
  if (saved_units == 0) {
    glEnable(GL_TEXTURE_2D);
    TEX_bind_ref(ref, 0, 0);
    num_units = 0;
    glDisable(GL_TEXTURE_2D);
  } else {
    TEX_bind_ref(ref, 0, 0);
    num_units = saved_units;
  }

  // Rows are packed: no padding to four bytes.
  GLint saved_alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved_alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  TEX_image_desc level_desc = {gl_format, v->pow2_dx, v->pow2_dy, 0, 0};
  unsigned char* pointer = v->pixels;
  for (int level = 0;; ++level) {
    const int64_t size = TEX_bytes_needed_for_image(level_desc);
    if (hw_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
    if (compressed) {
      if (glExt.glCompressedTexImage2DARB)
        glExt.glCompressedTexImage2DARB(GL_TEXTURE_2D, level, gl_format, level_desc.width, level_desc.height, 0,
                                        static_cast<GLsizei>(size), pointer);
    } else if (refill) {
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, level_desc.width, level_desc.height, gl_format,
                      GL_UNSIGNED_BYTE, pointer);
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, internal_format, level_desc.width, level_desc.height, 0, gl_format,
                   GL_UNSIGNED_BYTE, pointer);
    }
    if (level_desc.width == 1 && level_desc.height == 1) break;
    if (v->has_mips) {
      pointer += size;
      v->pixels = pointer;
      if (level_desc.width > 1) level_desc.width /= 2;
      if (level_desc.height > 1) level_desc.height /= 2;
    } else if (sw_mips) {
      TEX_downscale(level_desc, v->pixels, level_desc.width > 1 ? 2 : 1, level_desc.height > 1 ? 2 : 1);
    } else {
      break;
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, saved_alignment);

  if (compressed) {
    GLint is_comp = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &is_comp);
    if (is_comp) {
      GLint comp_size = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &comp_size);
      R.vram = static_cast<int>(static_cast<long double>(comp_size) *
                                (mip ? static_cast<long double>(1.33f) : 1.0L));
    }
  }

  const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (F & (tex_clamp_st | tex_clamp_s)) ? clamp : GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (F & tex_clamp_st) ? clamp : GL_REPEAT);
  if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
  if (nearest) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  if (gl_format == GL_DEPTH_COMPONENT) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
  }
  return ref;
}

// ---------------------------------------------------------------------------
// Binding

namespace {

constexpr int kCachedUnits = 8;
int o_tex[kCachedUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};  // GL name last bound per unit
int o_mod[kCachedUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};  // environment last set per unit

UTL_stat gKillTex("perf/kill_tex", UTL_stat_tunable, 0.0f);

struct combine_arg {
  GLenum source, operand;
};
constexpr combine_arg PREV_RGB{GL_PREVIOUS, GL_SRC_COLOR}, PREV_A{GL_PREVIOUS, GL_SRC_ALPHA},
    PREV_1MA{GL_PREVIOUS, GL_ONE_MINUS_SRC_ALPHA}, TEX_RGB{GL_TEXTURE, GL_SRC_COLOR}, TEX_A{GL_TEXTURE, GL_SRC_ALPHA},
    CONST_RGB{GL_CONSTANT, GL_SRC_COLOR}, CONST_A{GL_CONSTANT, GL_SRC_ALPHA}, PRIM_RGB{GL_PRIMARY_COLOR, GL_SRC_COLOR};
constexpr combine_arg NONE{0, 0};

struct recipe {
  int mode;
  int colour;  // 0 none, 1 white before the mode, 2 white after it, 3 black after it
  GLenum rgb_func;
  combine_arg rgb[3];
  GLenum alpha_func;
  combine_arg alpha[3];
  bool alpha_scale;  // set GL_ALPHA_SCALE
  float scale;
};

constexpr recipe kRecipes[] = {
    {1, 0, GL_ADD, {PREV_RGB, TEX_RGB, NONE}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {2, 0, GL_ADD, {PREV_RGB, TEX_RGB, NONE}, GL_ADD, {PREV_A, TEX_A, NONE}, true, 1},
    {10, 0, GL_MODULATE, {PREV_RGB, TEX_RGB, NONE}, GL_REPLACE, {TEX_A, NONE, NONE}, true, 1},
    {11, 0, GL_REPLACE, {PREV_RGB, NONE, NONE}, GL_SUBTRACT, {TEX_A, PREV_A, NONE}, true, 4},
    {12, 0, GL_REPLACE, {PREV_RGB, NONE, NONE}, GL_MODULATE, {PREV_1MA, TEX_A, NONE}, true, 1},
    {13, 2, GL_MODULATE, {PREV_RGB, PREV_1MA, NONE}, GL_REPLACE, {CONST_A, NONE, NONE}, true, 1},
    {14, 0, GL_REPLACE, {PREV_RGB, NONE, NONE}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {15, 1, GL_REPLACE, {PREV_RGB, NONE, NONE}, GL_REPLACE, {CONST_A, NONE, NONE}, true, 1},
    {16, 1, GL_MODULATE, {PREV_RGB, TEX_RGB, NONE}, GL_REPLACE, {CONST_A, NONE, NONE}, true, 1},
    {17, 1, GL_REPLACE, {TEX_A, NONE, NONE}, GL_REPLACE, {CONST_A, NONE, NONE}, true, 1},
    {18, 0, GL_INTERPOLATE, {TEX_RGB, PREV_RGB, TEX_A}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {19, 0, GL_INTERPOLATE, {TEX_RGB, PREV_RGB, PREV_A}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {20, 0, GL_MODULATE, {PREV_RGB, TEX_A, NONE}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {21, 0, GL_INTERPOLATE, {TEX_RGB, PREV_RGB, CONST_RGB}, GL_INTERPOLATE, {TEX_A, PREV_A, CONST_A}, true, 1},
    {22, 0, GL_INTERPOLATE, {TEX_RGB, CONST_RGB, TEX_A}, GL_REPLACE, {PREV_A, NONE, NONE}, true, 1},
    {23, 0, GL_MODULATE, {PREV_RGB, PRIM_RGB, NONE}, GL_REPLACE, {PREV_A, NONE, NONE}, false, 1},
    {24, 3, GL_INTERPOLATE, {PRIM_RGB, CONST_RGB, TEX_RGB}, GL_REPLACE, {TEX_A, NONE, NONE}, true, 1},
};

const recipe* find_recipe(int mode) {
  for (const recipe& r : kRecipes)
    if (r.mode == mode) return &r;
  return nullptr;
}

constexpr GLenum kSourceRGB[3] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB};
constexpr GLenum kOperandRGB[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
constexpr GLenum kSourceAlpha[3] = {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA};
constexpr GLenum kOperandAlpha[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};

void apply_recipe(const recipe& r) {
  static const GLfloat white[4] = {1, 1, 1, 1};
  static const GLfloat black[4] = {0, 0, 0, 0};
  // Recipe 24 passes everything after its colour through the float form.
  const bool as_float = r.mode == 24;
  auto env = [as_float](GLenum pname, GLenum value) {
    if (as_float) glTexEnvf(GL_TEXTURE_ENV, pname, static_cast<GLfloat>(value));
    else glTexEnvi(GL_TEXTURE_ENV, pname, static_cast<GLint>(value));
  };
  if (r.colour == 1) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
  env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
  if (r.colour == 2) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
  if (r.colour == 3) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, black);
  env(GL_COMBINE_RGB, r.rgb_func);
  for (int i = 0; i < 3 && r.rgb[i].source; ++i) {
    env(kSourceRGB[i], r.rgb[i].source);
    env(kOperandRGB[i], r.rgb[i].operand);
  }
  env(GL_COMBINE_ALPHA, r.alpha_func);
  for (int i = 0; i < 3 && r.alpha[i].source; ++i) {
    env(kSourceAlpha[i], r.alpha[i].source);
    env(kOperandAlpha[i], r.alpha[i].operand);
  }
  if (r.alpha_scale) {
    if (as_float) glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, r.scale);
    else glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, static_cast<GLint>(r.scale));
  }
}

void set_env(int m) {
  const recipe* r = glExt.combine_avail ? find_recipe(m) : nullptr;
  if (r) apply_recipe(*r);
  else glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, m);
}

// Forgets every unit that holds GL texture `tex`, so that the next bind of a
// reused name reaches GL.
void forget_bound(int tex) {
  for (int u = 0; u < kCachedUnits; ++u)
    if (o_tex[u] == tex) o_tex[u] = -1;
}

}  // namespace

void TEX_bind_ref(int tex, int unit, int mode) {
  const int m = mode == 0 ? GL_MODULATE : mode;
  if (gKillTex.value != 0.0f) tex = tex == t_interface ? t_interface : t_blank_gray;

  if (unit < 0 || unit >= kCachedUnits) {
    // Outside the cache: straight to GL.
    if (unit > 0) glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, tex);
    if (m != 25) set_env(m);
    if (unit > 0) glActiveTexture(GL_TEXTURE0);
    return;
  }

  if (o_tex[unit] == tex && o_mod[unit] == m) return;
  if (unit > 0) glActiveTexture(GL_TEXTURE0 + unit);
  if (o_tex[unit] != tex) {
    glBindTexture(GL_TEXTURE_2D, tex);
    o_tex[unit] = tex;
  }
  if (m != 25 && m != o_mod[unit]) {
    o_mod[unit] = m;
    set_env(m);
  }
  if (unit > 0) glActiveTexture(GL_TEXTURE0);
}

void TEX_reset_bind() {
  for (int u = 0; u < kCachedUnits; ++u) o_tex[u] = o_mod[u] = -1;
}

void TEX_set_blend_level(int unit, float level) {
  if (unit >= ren.tex_units) return;
  const GLfloat colour[4] = {level, level, level, level};
  if (unit < 1) {
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    return;
  }
  glActiveTexture(GL_TEXTURE0 + unit);
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  glActiveTexture(GL_TEXTURE0);
}

int tman_class::gl_name(int ref) {
  UTL_scoped_lock hold(&lock);
  // Ref 0 is "no texture", whether or not the table has a record 0.
  if (ref == 0 && ref_dat.empty()) return 0;
  check_ref(ref, "");
  const ref_dat_struct& rec = ref_dat[ref];
  int name = rec.tex_id;
  if (ref != 0 && rec.load_state != tex_state_loaded) {
    if (rec.load_state != tex_state_pending)
      fatal("missing non-scenery texture - how?", "", fmt("ref=%6.0f", ref), rec.name, __LINE__);
    name = t_blank_gray;
  }
  return name;
}

void tman_class::bind_ref(int ref, int unit, int mode) { TEX_bind_ref(gl_name(ref), unit, mode); }

void tman_class::reset_bind() { TEX_reset_bind(); }

void tman_class::set_blend_level(int unit, float level) { TEX_set_blend_level(unit, level); }

// ---------------------------------------------------------------------------
// Release, unload and counters

void tman_class::release_texture(int ref) {
  UTL_scoped_lock hold(&lock);
  check_ref(ref, "");
  ref_dat_struct& rec = ref_dat[ref];
  if (ref <= kLastManualRef)
    fatal("Trying to release a manual texture - use unload_texture.", fmt("%f", ref), rec.name, "", __LINE__);
  if (rec.ref_count == -1)
    fatal("Ref count is negative - was never reffed.", fmt("%f", ref), rec.name, "", __LINE__);
  rec.ref_count -= 1;
  if (rec.ref_count < 0) fatal("Ref count went negative", fmt("%f", ref), rec.name, "", __LINE__);
}

void tman_class::unload_texture(int ref) {
  UTL_scoped_lock hold(&lock);
  check_ref(ref, "");
  if (ref > kLastManualRef)
    fatal("Error: dynamic textures should be released, not unloaded.", ref_dat[ref].name, fmt("%f", ref), "",
          __LINE__);
  unload_texture_internal(ref, 0);
}

void tman_class::unload_texture_internal(int ref, int /*from_purge*/) {
  check_ref(ref, "");
  ref_dat_struct& rec = ref_dat[ref];
  if (rec.tex_id != 0 && rec.tex_id != t_blank_gray) {
    const GLuint gl_name = static_cast<GLuint>(rec.tex_id);
    glDeleteTextures(1, &gl_name);
    forget_bound(rec.tex_id);
    ++changes;
  }
  if (rec.load_state == tex_state_loaded && rec.vram != 0) loaded_count -= 1;
  if (rec.format != 0) total_count -= 1;
  unhash(ref);
  rec = ref_dat_struct();
}

void tman_class::purge_unused_texes() {
  UTL_scoped_lock hold(&lock);
  for (int ref = kFirstDynamicRef; ref < static_cast<int>(ref_dat.size()); ++ref)
    if (ref_dat[ref].ref_count == 0) unload_texture_internal(ref, 1);
}

int tman_class::total_texes() {
  UTL_scoped_lock hold(&lock);
  return total_count;
}

int tman_class::loaded_texes() {
  UTL_scoped_lock hold(&lock);
  return loaded_count;
}

int64_t tman_class::tot_vram() {
  UTL_scoped_lock hold(&lock);
  int64_t total = static_cast<int64_t>(mnw.x_res) * mnw.y_res * mnw.col_res / 8;
  for (const ref_dat_struct& rec : ref_dat) total += rec.vram;
  return total;
}
