// The texture manager: every texture of the program is named by an integer
// reference (its ref), and the manager `tman` keeps one record per ref.
//
// Refs 1 to 1135 are manual: the caller chooses them. Ref 0 asks the manager
// for a dynamic ref, found by name or taken from the free records at 1135 and
// above; dynamic records are reference-counted. A loaded texture's GL texture
// name is its ref. Pixels reach the manager through the shared buffer
// `scratch_array` (names beginning "scratch_array") or from an image file.
//
// Every refusal is a fatal alert: the caller broke a rule. All operations run
// on the thread that owns the GL context, except the parts of a load that
// only touch the table, which are guarded by the manager's recursive lock.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// What a missing image does.
enum tex_fail_mode {
  tex_fail_quiet = 0,  // nothing
  tex_fail_scene = 1,  // sets the scenery load-fail flag and logs
  tex_fail_plane = 2,  // sets the aircraft load-fail flag and logs
  tex_fail_instl = 3,  // sets the installation load-fail flag and logs
  tex_fail_fatal = 4,  // fatal alert
};

// When to load; 100 to 102 all load at once, only 100 may show the splash
// line. The same numbers are the record states.
enum tex_load_time {
  tex_load_now = 100,
};
enum tex_load_state {
  tex_state_loaded = 100,
  tex_state_pending = 101,  // waiting for the background loader
  tex_state_free = 102,
};

// The bit set every load carries. The low three bits are the pixel layout.
enum tex_filter_type {
  tex_layout_mask = 0x07,
  tex_rgb = 1,
  tex_rgba = 2,
  tex_alpha = 3,
  tex_rgb_file_alpha = 4,   // RGB; the alpha channel follows the file
  tex_rgba_file_alpha = 5,  // RGBA; the alpha channel follows the file
  tex_depth = 6,
  tex_rgb_7 = 7,
  tex_mipmap = 0x08,     // build a mipmap chain
  tex_clamp_st = 0x10,   // clamp both axes instead of repeating
  tex_clamp_s = 0x20,    // clamp the S axis
  tex_res_up = 0x40,     // one resolution step finer
  tex_res_down = 0x80,   // one resolution step coarser
  tex_full_res = 0x100,  // ignore the resolution level
  tex_scratch = 0x200,   // decode into and upload from scratch_array
  tex_flag_400 = 0x400,  // kept in the record only
  tex_float16 = 0x800,   // 16-bit float internal formats
  tex_sized8 = 0x1000,   // sized 8-bit internal formats
  tex_no_pow2 = 0x2000,  // upload at the scaled size
  tex_filter_max = 0x3FFF,
};

// Fixed refs.
enum tex_ref {
  t_interface = 392,   // widget and font atlas
  t_elements = 393,    // image buttons and the wizard panels
  t_world_map = 394,   // the two world maps
  t_background = 395,  // the wizard's backdrop
  t_blank_gray = 930,  // shown in place of a missing image; never loaded here
};
inline constexpr int kFirstDynamicRef = 1135;  // also the highest manual ref
inline constexpr int kLastManualRef = 1134;    // for release and unload

// Source name that the manager's alerts report.
inline constexpr const char* kTmanSourceName = "RAdorud/OOPS_cpp/tman";

// The shared pixel buffer: 16 MB, 16-byte aligned. Callers write an image
// into it, `scratch_dx` pixels per row (the width is also the row stride) and
// `scratch_dy` rows, then load a name beginning "scratch_array".
inline constexpr long kScratchBytes = 16L * 1024 * 1024;
extern unsigned char* scratch_array;
extern int scratch_dx, scratch_dy;
// The manager's own decode buffer for image files, 16 MB.
extern unsigned char* scratch_array_temp;

// The GL state switch's count of enabled texture units (0 when texturing is
// off). The drawing layer keeps it; the upload saves, sets and restores it.
extern int num_units;

// The start-up splash frame: the display layer installs its
// MACIBM_show_init here. Until then "Loading bitmap" lines go nowhere.
extern void (*tman_show_init)(const std::string& message, float* fraction);

// Called before every file load while asynchronous work is in flight.
class tman_force_finish_obj {
 public:
  virtual void finish() = 0;

 protected:
  ~tman_force_finish_obj() = default;
};

// The parameter block of one load.
struct tex_load_vars {
  int fail_mode = 0;
  int ref = 0;
  int filter = 0;
  int gl_format = 0;        // wanted; after a file decode, delivered
  int has_mips = 0;         // the pixels carry their own mip chain
  signed char bytes_per_pixel = 0;
  int alpha_from_file = 0;  // layouts 4 and 5
  int src_dx = 0, src_dy = 0;    // image size after scaling
  int pow2_dx = 0, pow2_dy = 0;  // size to upload
  std::string name;
  unsigned char* pixels = nullptr;
};

class tman_class {
 public:
  struct ref_dat_struct {
    std::string name = "un-inited";
    int tex_id = 0;          // GL texture name: the ref once loaded, 0 while free
    float dx = 0, dy = 0;    // image size after scaling
    float tex_dx = 0, tex_dy = 0;  // texture size as uploaded
    int vram = 0;            // bytes of texture memory
    int format = 0;          // GL pixel format; 0 marks a free record
    int load_state = tex_state_free;
    int filter = 0;
    int fail_mode = tex_fail_fatal;
    int ref_count = -1;      // -1 manual; dynamic: references, 0 waits for a purge
  };

  tman_class();
  ~tman_class();
  tman_class(const tman_class&) = delete;
  tman_class& operator=(const tman_class&) = delete;

  // Loading.
  // Loads `name` under `manual_ref` (0: a dynamic ref) and returns the ref
  // used, or 0 for an empty name or a manual load whose image is missing.
  int load_texture(tex_fail_mode fail, int manual_ref, int filter, tex_load_time load_time,
                   const std::string& name);
  // The load proper for a chosen record; the ref, or 0 when the image is missing.
  int load_texture_int(tex_fail_mode fail, int ref, int filter, const std::string& name);
  // Finds the pixels: 1 from scratch_array, 2 decoded from a file, 0 none.
  int load_texture_io(tex_load_vars* v);
  // Uploads the block's pixels as GL texture `ref` (or applies the
  // missing-image rules when io_result is 0); the ref, or 0 when missing.
  int load_texture_ogl(tex_load_vars* v, int io_result);

  // Binding. gl_name is the GL texture name that bind_ref binds for a ref
  // (a pending record shows the blank grey), after the same checks.
  void bind_ref(int ref, int unit, int mode);
  int gl_name(int ref);
  void reset_bind();
  void set_blend_level(int unit, float level);

  // Asynchronous scenery loading, one pending record (state 101) at a time:
  // register it on the GL thread (1, or 0 when none is left), decode it on
  // a worker, upload it on the GL thread. The first three take no lock.
  int load_scenery_async_register(tman_force_finish_obj* finisher);
  void load_scenery_async_work();
  void load_scenery_async_finalize();
  // Pending records from async_index on; loading one now; loading them all
  // behind the start-up splash.
  int num_remaining_async_texes();
  void force_load_tex(int ref);
  void load_all_scenery_texes();

  // Release, unload and the counters.
  void release_texture(int ref);
  void unload_texture(int ref);
  void unload_texture_internal(int ref, int from_purge);
  void purge_unused_texes();
  int total_texes();
  int loaded_texes();
  int64_t tot_vram();
  float scale_rat();

  // Load-fail flags: 0 nothing to report, 1 not yet reported, 2 muted.
  int has_scene_load_fail() const { return scene_load_fail == 1; }
  int has_plane_load_fail() const { return plane_load_fail == 1; }
  int has_instl_load_fail() const { return instl_load_fail == 1; }
  void reset_scene_load_fail() { scene_load_fail = 0; }
  void reset_plane_load_fail() { plane_load_fail = 0; }
  void reset_instl_load_fail() { instl_load_fail = 0; }
  void mute_scene_load_fail() { scene_load_fail = 2; }
  void mute_plane_load_fail() { plane_load_fail = 2; }
  void mute_instl_load_fail() { instl_load_fail = 2; }

  long long changes = 0;  // textures uploaded or deleted so far: a picture that shows them changes
  int async_index = 0;    // where the background loader looks for pending records
  int loaded_count = 0;   // records that hold texture memory
  int total_count = 0;    // records in use
  std::vector<ref_dat_struct> ref_dat;  // indexed by ref; only grows
  int scene_load_fail = 0;
  int plane_load_fail = 0;
  int instl_load_fail = 0;
  tex_load_vars* async_load = nullptr;  // the background load in flight
  int async_io_result = 0;
  tman_force_finish_obj* force_finish = nullptr;
  pthread_mutex_t lock;   // recursive; guards the table, the hash and the counters

 private:
  // Ends the program unless `ref` names a record of the table.
  void check_ref(int ref, const std::string& name_hint);
  // Drops every name that points at `ref` from the name table.
  void unhash(int ref);

  std::unordered_map<std::string, int> tex_hash_;  // name -> ref
  double last_t_ = 0.0;  // time of the previous load, for the splash line
};

extern tman_class tman;

// Size rules. Returns the scale factor for an image of dx x dy pixels and
// writes the scaled size and the upload size; force 1 means a factor of 1.
float TEX_get_scale(const std::string& name, int filter, int dx, int dy, int* scaled_dx, int* scaled_dy,
                    int* tex_dx, int* tex_dy, int force);
// Ends the program unless 1 <= side <= 2048.
void check_dxy(int side, const std::string& name);

// The per-unit bind cache of units 0 to 7 and the texture environments.
void TEX_bind_ref(int tex, int unit, int mode);
void TEX_reset_bind();
void TEX_set_blend_level(int unit, float level);

// Decodes the image file `name` (trying its other extensions) into the
// decode buffer, or into scratch_array with tex_scratch. 1 when an image was
// decoded, 0 when no usable file was found.
int load_any_into_scratch(std::string name, int filter, int* gl_format, int* has_mips,
                          signed char* bytes_per_pixel, int alpha_from_file, int* src_dx, int* src_dy,
                          int* pow2_dx, int* pow2_dy);
