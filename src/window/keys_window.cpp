#include "window/keys_window.h"

#include <algorithm>
#include <vector>

#include "window/cmnd.h"
#include "window/keys.h"
#include "window/mnw.h"
#include "window/ui_calls.h"

float wx1 = 0.0f, wy1 = 0.0f, wx2 = 0.0f, wx3 = 0.0f;

namespace {

int key_edit = -1;  // the selected row, -1 none
int k_cen = 0;      // the first row in view

constexpr float kTopReserve = 34.0f;
constexpr const char* kHelp =
    "Select the key you'd like to program from the list on the left of this screen and hit any key you like! Then "
    "select the group above and the item at right to assign some funtion to that keypress!";

// The text after the last '/' that is not the last character, and the text
// up to and including that '/'.
void split_last(const std::string& path, std::string* last, std::string* before) {
  const std::size_t slash = path.size() >= 2 ? path.rfind('/', path.size() - 2) : std::string::npos;
  if (slash == std::string::npos) {
    *last = path;
    before->clear();
    return;
  }
  *last = path.substr(slash + 1);
  *before = path.substr(0, slash + 1);
}

std::string command_path(int index) {
  return index >= 0 && index < static_cast<int>(cmnd.paths.size()) ? cmnd.paths[static_cast<std::size_t>(index)]
                                                                    : std::string();
}

}  // namespace

std::string keys_row_label(const key_binding& binding) {
  const std::string mods = keys_class::flag_to_str(binding.flags);
  return "-" + (mods == "<none>" ? std::string() : mods + " ") + keys_class::vkey_to_str(binding.vkey);
}

void keys_split_path(const std::string& path, std::string* leaf, std::string* group, std::string* parent) {
  split_last(path, leaf, group);
  std::string group_name;
  split_last(*group, &group_name, parent);
}

void keys_window_fit(int rows, int* selection, int* scroll) {
  if (*selection < -1 || *selection >= rows) *selection = -1;
  *scroll = std::clamp(*scroll, 0, std::max(0, rows - kKeyRowsShown));
}

int keys_window_selection() { return key_edit; }
int keys_window_scroll() { return k_cen; }

void keys_class::keys_wind(int list_only) {
  float top = 0.0f;
  BTN_subwin(kTopReserve, 16, 10, 10, 345, -1, "", &wx1, &wy1);
  wx1 += 20.0f;
  const float x0 = wx1;
  BTN_subwin(kTopReserve, 13, x0, 10, 184, 170, "", &wx2, &wy1);
  BTN_subwin(kTopReserve, 15, x0, wy1, 184, 100, "", &wx2, &wy1);
  BTN_subwin(kTopReserve, 13, x0, wy1, 184, -1, "", &wx2, &wy1);
  const float x1 = wx2;
  BTN_subwin(kTopReserve, 13, x1, 10, -1, -1, "", &wx3, &top);

  OGL_string(43, x0 + 92.0f, 160.0f, kHelp, 164.0f, 100, 1);

  if (BTN_action(x0 + 92.0f, kKeyAddY, 0.0f, 0, 1, "Add New Key Assignment", "-")) {
    bindings.push_back(key_binding{0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
    const int rows = static_cast<int>(bindings.size());
    if (rows > kKeyRowsShown) k_cen = rows - kKeyRowsShown;
  }

  // The table may have changed since the last frame (a reset, another
  // caller): the selection and the scroll position follow it.
  const int rows = static_cast<int>(bindings.size());
  keys_window_fit(rows, &key_edit, &k_cen);
  BTN_vert_slider(0, x0 - 15.0f, 30.0f, 686.0f, 0, rows - kKeyRowsShown, &k_cen);
  keys_window_fit(rows, &key_edit, &k_cen);

  for (int i = 0; i < rows; ++i) {
    const int r = i - k_cen;
    if (r < 0 || r >= kKeyRowsShown) continue;
    key_binding& row = bindings[static_cast<std::size_t>(i)];
    if (BTN_action(kKeyRowX, kKeyRowTopY - kKeyRowStep * r, kKeyRowW, i == key_edit ? 1 : 0, 1, keys_row_label(row),
                   "-"))
      key_edit = key_edit == i ? -1 : i;
    const std::string path = command_path(row.cmnd_index);
    OGL_string(45, 140.0f, kKeyRowTopY - 4.0f - kKeyRowStep * r, path.size() > 4 ? path.substr(4) : std::string(),
               9999.0f, 100, 0);

    // The selected row takes the key that went down this frame when that key
    // was recorded: a key a field took, a Return that closed a sub-window or
    // a lock key leaves an older key in last_vkey. No other row keeps the
    // same key and modifiers.
    if (i == key_edit && mnw.key_down && key_recorded) {
      row.vkey = last_vkey;
      row.flags = last_flags;
      for (int j = 0; j < rows; ++j) {
        key_binding& other = bindings[static_cast<std::size_t>(j)];
        if (j != i && other.vkey == row.vkey && other.flags == row.flags) other.vkey = other.flags = 0;
      }
    }
  }

  if (list_only || key_edit < 0) return;
  key_binding& row = bindings[static_cast<std::size_t>(key_edit)];
  if (row.cmnd_index < 0 || row.cmnd_index >= static_cast<int>(cmnd.paths.size())) return;

  std::string path = cmnd.paths[static_cast<std::size_t>(row.cmnd_index)];
  OGL_string(47, x0 + 10.0f, 270.0f, path, 174.0f, 100, 0);
  OGL_string(47, x0 + 10.0f, 240.0f, cmnd.descriptions[static_cast<std::size_t>(row.cmnd_index)], 174.0f, 100, 0);

  std::string leaf, group, parent;
  keys_split_path(path, &leaf, &group, &parent);

  std::vector<std::string> names;
  cmnd.get_cmds_in_path(parent, names);
  bool group_changed = false;
  for (std::size_t k = 0; k < names.size(); ++k) {
    int ticked = parent + names[k] == group ? 1 : 0;
    if (BTN_bool(x0 + 18.0f, kKeyListTopY - kKeyListStep * static_cast<float>(k), &ticked, "|" + names[k], 0)) {
      group = parent + names[k];
      group_changed = true;
    }
  }

  if (BTN_select_path_stl(610, 730, 998, 21, &path, 40, "|-custom cmnds from plugins", 280, 0))
    row.cmnd_index = cmnd.get_cmnd_by_name(path);

  cmnd.get_cmds_in_path(group, names);
  for (std::size_t k = 0; k < names.size(); ++k) {
    const float column = static_cast<float>(k / kKeyItemsPerColumn);
    const float line = static_cast<float>(k % kKeyItemsPerColumn);
    int ticked = group + names[k] == path ? 1 : 0;
    const bool clicked = BTN_bool(x1 + 18.0f + kKeyColumnStep * column, kKeyListTopY - kKeyListStep * line, &ticked,
                                  "|-" + names[k], 0) != 0;
    if (clicked || (k == 0 && group_changed)) {
      path = group + names[k];
      row.cmnd_index = cmnd.get_cmnd_by_name(path);
    }
  }
}
