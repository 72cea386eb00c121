// Asynchronous scenery texture loading: records waiting in state 101 are
// registered one at a time, decoded on a worker thread and uploaded on the
// GL thread, or all loaded at once behind a progress splash.
#include <algorithm>
#include <string>

#include "runtime/queues.h"
#include "textures/tman.h"

namespace {

// The one load in flight.
tex_load_vars async_vars;

}  // namespace

int tman_class::load_scenery_async_register(tman_force_finish_obj* finisher) {
  const int size = static_cast<int>(ref_dat.size());
  for (int i = std::max(async_index, 0); i < size; ++i) {
    const ref_dat_struct& rec = ref_dat[i];
    if (rec.load_state != tex_state_pending) continue;
    async_vars = tex_load_vars();
    async_vars.ref = i;
    async_vars.filter = rec.filter;
    async_vars.fail_mode = rec.fail_mode;
    async_vars.name = rec.name;
    force_finish = finisher;
    async_load = &async_vars;
    return 1;
  }
  async_index = size;
  return 0;
}

void tman_class::load_scenery_async_work() {
  if (!async_load) return;
  async_io_result = load_texture_io(async_load);
}

void tman_class::load_scenery_async_finalize() {
  if (!async_load) return;
  load_texture_ogl(async_load, async_io_result);
  force_finish = nullptr;
  async_load = nullptr;
}

int tman_class::num_remaining_async_texes() {
  UTL_scoped_lock hold(&lock);
  int n = 0;
  for (std::size_t i = static_cast<std::size_t>(std::max(async_index, 0)); i < ref_dat.size(); ++i)
    n += ref_dat[i].load_state == tex_state_pending;
  return n;
}

void tman_class::force_load_tex(int ref) {
  UTL_scoped_lock hold(&lock);
  check_ref(ref, "");
  const ref_dat_struct rec = ref_dat[ref];
  if (rec.load_state != tex_state_loaded)
    load_texture_int(static_cast<tex_fail_mode>(rec.fail_mode), ref, rec.filter, rec.name);
}

void tman_class::load_all_scenery_texes() {
  UTL_scoped_lock hold(&lock);
  const float total = static_cast<float>(num_remaining_async_texes());
  int k = 0;
  for (std::size_t i = static_cast<std::size_t>(std::max(async_index, 0)); i < ref_dat.size(); ++i) {
    if (ref_dat[i].load_state != tex_state_pending) continue;
    const ref_dat_struct rec = ref_dat[i];
    load_texture_int(static_cast<tex_fail_mode>(rec.fail_mode), static_cast<int>(i), rec.filter, rec.name);
    if (k % 40 == 0) {
      const std::size_t slash = rec.name.rfind('/');
      const std::string message =
          "Loading scenery texture " + (slash == std::string::npos ? rec.name : rec.name.substr(slash + 1)) + ".";
      float fraction = static_cast<float>(k) / total;
      UTL_critical_section_unlock(&lock);
      if (tman_show_init) tman_show_init(message, &fraction);
      UTL_critical_section_lock(&lock);
    }
    ++k;
  }
  async_index = static_cast<int>(ref_dat.size());
}
