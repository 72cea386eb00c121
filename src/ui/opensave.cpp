// The open and save dialog: its file types, folder rules and modal loop.
#include "ui/opensave.h"

#include "files/folder_list.h"
#include "files/io_utils.h"
#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/focus.h"
#include "ui/folder_chooser.h"
#include "ui/font.h"
#include "ui/list_search.h"
#include "ui/preview.h"
#include "ui/textlist.h"
#include "ui/widgets.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

// Rows 13 to 16 are the output and resource folders of two sibling
// products; the misspelt folder of row 15 is the one those products use.
constexpr opensave_type kTypes[kOpenSaveTypes] = {
    {"", "", preview_none},                                     // 0 every file
    {"", "", preview_none},                                     // 1 folders only
    {"", ".BMP", preview_none},                                 // 2 .BMP and .PNG
    {"", ".ACF", preview_aircraft},                             // 3
    {"", ".AFL", preview_none},                                 // 4
    {"", ".WPN", preview_none},                                 // 5
    {"", ".WAV", preview_none},                                 // 6
    {"", ".OBJ", preview_none},                                 // 7
    {"", "", preview_comment},                                  // 8 .FDR
    {"Output/situations/", ".SIT", preview_none},               // 9
    {"Output/movies/", ".SMO", preview_none},                   // 10
    {"Output/FMS plans/", ".FMS", preview_none},                // 11
    {"", "", preview_none},                                     // 12 images of the panel folders
    {"Rovamo Output/tracks/", ".TRA", preview_none},            // 13
    {"Rovamo Output/cars/", ".CAR", preview_none},              // 14
    {"Starfold Reosources/spaceships/", ".SPA", preview_none},  // 15
    {"Starfold Resources/regions/", ".REG", preview_none},      // 16
    {"", "", preview_none},                                     // 17 .DSF
    {"", ".HGT", preview_none},                                 // 18
    {"", ".TXT", preview_none},                                 // 19
    {"sim/", "", preview_empty},                                // 20 nothing
    {"sim/", "", preview_none},                                 // 21 the command registry
};

constexpr const char kSource[] = "RAdorud/OOPS_cpp/butn";

// The level of the path pop-up; kept between calls.
int level = 0;

}  // namespace

opensave_levels opensave_make_levels(const std::string& work_path) {
  const chooser_levels below = chooser_make_levels(work_path);
  opensave_levels lv;
  lv.slots.push_back(std::string());
  lv.names.push_back("Halden folder");
  lv.slots.insert(lv.slots.end(), below.slots.begin(), below.slots.end());
  lv.names.insert(lv.names.end(), below.names.begin(), below.names.end());
  for (std::size_t k = 0; k < lv.names.size(); ++k) lv.list += (k ? "-" : "") + lv.names[k];
  return lv;
}

int opensave_level_index(const opensave_levels& levels, const std::string& work_path, int current) {
  for (std::size_t k = levels.slots.size(); k-- > 0;)
    if (levels.slots[k] == work_path) return static_cast<int>(k);
  return current;
}

int BTN_opensave(int window, int file_type, std::string* path) {
  if (window != wind_file_dialog && window != wind_opensave)
    __MACIBM_alert(0, "Bad open_save arg to BTN_opensave!", "", "", "", t_exit, kSource, 1611);
  if (file_type < 0 || file_type >= kOpenSaveTypes)
    __MACIBM_alert(0, "Bad file_type arg to BTN_opensave!", "", "", "", t_exit, kSource, 1612);
  const bool open_variant = window == wind_file_dialog;
  const int return_window = mnw.cur_wind;

  std::string work = opensave_start_folder(*path, file_type);
  folder_listing folder;
  int selection = folder.read(work, file_type) / 2;
  int centre = selection;
  std::string name;
  MACIBM_startwind(window, 0);

  while (mnw.cur_wind == window) {
    // The entry selected in the last listing, named from that listing's
    // own folder.
    const int shown = folder.count();
    const int previewed = selection >= 0 && selection < shown ? selection : 0;
    stand_io_dialog(window, file_type,
                    shown == 0 ? std::string("-") : folder.path + folder.names[static_cast<std::size_t>(previewed)]);

    const int n = folder.follow(work, file_type);
    const int activated = BTN_list_and_search(0, kOpenSaveListX, kOpenSaveListY, 0, 0, &centre, &selection, 0, n - 1,
                                              open_variant ? nullptr : &name, "File:", BTN_name_from_vector,
                                              &folder.shown, nullptr, nullptr, BTN_type_from_vector, &folder.types);

    const opensave_levels levels = opensave_make_levels(work);
    for (std::size_t k = 1; k < levels.names.size(); ++k) {
      const float L = static_cast<float>(k);
      OGL_string(47, kOpenSaveStairX + kOpenSaveStairStep * L, kOpenSaveStairY - kOpenSaveStairStep * L,
                 levels.names[k], 9999.0f, charset_prop, 0);
    }
    level = opensave_level_index(levels, work, level);

    const int save_pressed = !open_variant && BTN_action(kOpenSaveSaveX, kOpenSaveButtonY, 0, 0, 1, "Save", "-");
    const int open_pressed = open_variant && BTN_action(kOpenSaveOpenX, kOpenSaveButtonY, 0, 0, 1, "Open", "-");
    const std::string cancel = stls.cancel_caption.empty() ? std::string("Cancel") : stls.cancel_caption;
    if (BTN_action(kOpenSaveCancelX, kOpenSaveButtonY, 0, 0, 1, cancel, "-") || escape_hit) {
      MACIBM_startwind(return_window, 0);
      return 0;
    }

    if (BTN_textlist(kOpenSavePopupX, kOpenSavePopupY, &level, levels.list, "")) {
      if (level >= 0 && static_cast<std::size_t>(level) < levels.slots.size())
        work = levels.slots[static_cast<std::size_t>(level)];
      MACIBM_event_proc();
      continue;
    }

    if (!open_variant && (save_pressed || return_hit) && !name.empty()) {
      *path = work + opensave_save_name(name, file_type);
      MACIBM_startwind(return_window, 0);
      return 1;
    }

    if (activated || (return_hit && open_variant) || open_pressed) {
      const bool valid = selection >= 0 && selection < n;
      const std::size_t sel = static_cast<std::size_t>(selection);
      if (valid && folder.types[sel] == ftype_folder) {
        work += folder.names[sel] + "/";
        selection = folder.read(work, file_type) / 2;
      } else if (open_variant && valid) {
        *path = work + folder.names[sel];
        MACIBM_startwind(return_window, 0);
        return 1;
      }
    }

    if (delete_hit && !work.empty()) {
      work = opensave_parent(work);
      selection = folder.read(work, file_type) / 2;
    }
    MACIBM_event_proc();
  }
  return 0;
}

const opensave_type& opensave_type_of(int file_type) {
  return kTypes[file_type >= 0 && file_type < kOpenSaveTypes ? file_type : 0];
}

std::string opensave_start_folder(const std::string& path, int file_type) {
  if (path.empty()) return opensave_type_of(file_type).folder;
  if (path.find('/') == std::string::npos) return std::string();
  return opensave_parent(path);
}

std::string opensave_parent(const std::string& work_path) {
  if (work_path.size() == 2 && work_path[1] == '/') return std::string();
  return folder_part(work_path);
}

std::string opensave_save_name(const std::string& name, int file_type) {
  std::string out = name;
  if (out.size() > 4 && out[out.size() - 4] == '.') out.resize(out.size() - 4);
  return out + opensave_type_of(file_type).extension;
}
