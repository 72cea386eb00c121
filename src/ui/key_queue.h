// The key queue of one widget kind: what the focus ring appends for the
// focused field, read back by the widget function on its next call.
#pragma once

#include <algorithm>

#include "ui/focus.h"

struct BTN_key_queue {
  static constexpr int kSlots = 64;
  int char_slot[kSlots] = {};
  int vkey_slot[kSlots] = {};
  int flag_slot[kSlots] = {};
  int id_slot[kSlots] = {};
  int ctr_slot = 0;

  int enter(int id, int accept_mask, int take_focus) {
    return BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, kSlots, accept_mask,
                              take_focus);
  }

  void clear(int i) { char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0; }

  // Visits the queued keys of field id in order: apply(ch, vkey, flags) for
  // each press (releases are taken without effect), then clears them. Keys of
  // other fields stay in order; cleared entries are squeezed out, so keys
  // left behind by a field that is no longer drawn never fill the queue.
  template <class Apply>
  void consume(int id, Apply apply) {
    const int n = std::clamp(ctr_slot, 0, kSlots);
    int kept = 0;
    for (int i = 0; i < n; ++i) {
      if (id_slot[i] == id) {
        if ((char_slot[i] != 0 || vkey_slot[i] != 0) && !(flag_slot[i] & 16))
          apply(char_slot[i], vkey_slot[i], flag_slot[i]);
        clear(i);
      }
      if (id_slot[i] == 0) continue;
      if (kept != i) {
        char_slot[kept] = char_slot[i];
        vkey_slot[kept] = vkey_slot[i];
        flag_slot[kept] = flag_slot[i];
        id_slot[kept] = id_slot[i];
        clear(i);
      }
      ++kept;
    }
    ctr_slot = kept;
  }
};
