#include "ui/folder_chooser.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/folder_list.h"
#include "runtime/globals.h"
#include "runtime/xtim.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/list_search.h"
#include "ui/textlist.h"
#include "ui/widgets.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

int plevel = 0;

std::string blank_out(std::string s, bool dashes) {
  for (char& c : s)
    if (c == '|' || (dashes && c == '-')) c = ' ';
  return s;
}

bool valid_new_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::string chooser_shown_name(const std::string& name) { return blank_out(name, false); }

int folder_listing::read(const std::string& folder, int filter) {
  path = folder;
  opensave_getitems(folder, filter, names, types);
  shown.clear();
  for (const std::string& n : names) shown.push_back(chooser_shown_name(n));
  when = xtim.elapsed;
  return count();
}

int folder_listing::follow(const std::string& folder, int filter) {
  if (path != folder || !(xtim.elapsed - when <= kRelistSeconds) || xtim.elapsed < when) read(folder, filter);
  return count();
}

chooser_levels chooser_make_levels(const std::string& work_path) {
  chooser_levels lv;
  std::vector<std::string> segments;
  for (std::size_t i = 0; i < work_path.size(); ++i) {
    if (i != 0 && work_path[i - 1] != '/') continue;
    std::size_t end = work_path.find('/', i);
    if (end == std::string::npos) end = work_path.size();
    segments.push_back(work_path.substr(i, end - i));
    lv.slots.push_back(work_path.substr(0, std::min(end + 1, work_path.size())));
  }
  if (lv.slots.size() > kChooserMaxLevels) {  // the deepest levels
    const std::size_t drop = lv.slots.size() - kChooserMaxLevels;
    lv.slots.erase(lv.slots.begin(), lv.slots.begin() + static_cast<std::ptrdiff_t>(drop));
    segments.erase(segments.begin(), segments.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  for (std::size_t k = 0; k < segments.size(); ++k) {
    lv.names.push_back(blank_out(segments[k], true));
    if (k == 0 && lv.slots[0].size() == 1 && lv.slots[0] == "/") lv.names[0] = "/";
  }
  for (std::size_t k = 0; k < lv.names.size(); ++k) lv.list += (k ? "-" : "") + lv.names[k];
  if (lv.names.empty()) lv.list = "/";
  return lv;
}

std::string chooser_result(const std::string& work_path, const std::vector<std::string>& names,
                           const std::vector<int>& types, int selection) {
  std::size_t skip = 0;
  while (skip + 1 < work_path.size() && work_path[skip] == '/' && work_path[skip + 1] == '/') ++skip;
  std::string result = work_path.substr(skip);
  if (selection >= 0 && static_cast<std::size_t>(selection) < names.size()) {
    result += names[static_cast<std::size_t>(selection)];
    if (static_cast<std::size_t>(selection) < types.size() && types[static_cast<std::size_t>(selection)] == 1)
      result += "/";
  }
  return result;
}

int GetFilePathFromUser(int, const std::string&, const std::string&, int, const char* start, char* out,
                        std::size_t out_size) {
  app_path.clear();
  std::string work = (start && start[0]) ? std::string(start) : std::string("/");
  if (work.back() != '/') work += '/';
  const int return_window = mnw.cur_wind;

  folder_listing folder;
  int selection = folder.read(work, kChooserFilter) / 2;
  int centre = selection;
  std::string name;
  MACIBM_startwind(wind_file_dialog, 0);

  while (mnw.cur_wind == wind_file_dialog) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    // The listing follows the work path at once and any other change within
    // a second; a frame never lists a folder otherwise.
    const int n = folder.follow(work, kChooserFilter);

    const int open = BTN_list_and_search(0, kChooserListX, kChooserListY, kChooserListW, 0.0f, &centre, &selection, 0,
                                         n - 1, &name, "File:", BTN_name_from_vector, &folder.shown, nullptr,
                                         nullptr, BTN_type_from_vector, &folder.types);
    BTN_frame2(15, 10.0f, 300.0f, 520.0f, 120.0f, "");
    BTN_frame1(9, 270.0f, 52.0f, 520.0f, 0);
    if (name.size() > kChooserNameMax) name.resize(kChooserNameMax);
    const float w = OGL_text_width(name);
    OGL_line(45, 1.0f, 26.0f + w, 48.0f, 26.0f + w, 55.0f);
    OGL_string(45, 25.0f, 49.0f, name, 440.0f, 100, 0);

    if (BTN_action(kChooserNewFolderX, kChooserButtonY, 0, 0, 1, "New Folder", "-")) {
      if (valid_new_name(name)) mkdir((work + name).c_str(), 0777);
      folder.when = -2.0f;  // list again on the next frame
    }

    const chooser_levels lv = chooser_make_levels(work);
    for (std::size_t k = 0; k < lv.names.size(); ++k) {
      if (k == 0 && lv.slots[0] == "/") continue;  // the root draws nothing
      const float L = static_cast<float>(k + 1);
      OGL_string(47, 20.0f + 10.0f * L, 415.0f - 10.0f * L, lv.names[k], 9999.0f, 100, 0);
    }
    for (std::size_t k = lv.slots.size(); k-- > 0;) {
      if (lv.slots[k] == work) {
        plevel = static_cast<int>(k);
        break;
      }
    }

    const int valid = selection >= 0 && selection < n;
    if (BTN_textlist(mnw.wind_w / 2.0f, kChooserLevelsY, &plevel, lv.list, "")) {
      if (plevel >= 0 && static_cast<std::size_t>(plevel) < lv.slots.size()) work = lv.slots[static_cast<std::size_t>(plevel)];
    } else if ((open || return_hit) && valid && folder.types[static_cast<std::size_t>(selection)] == 1) {
      work += folder.names[static_cast<std::size_t>(selection)] + "/";
      selection = folder.read(work, kChooserFilter) / 2;
    }

    if (BTN_action(kChooserCancelX, kChooserButtonY, 0, 0, 1, "Cancel", "-")) {
      MACIBM_startwind(return_window, 0);
      return 0;
    }
    if (BTN_action(kChooserSelectX, kChooserButtonY, 0, 0, 1, "Select", "-")) {
      printf("Work path is: %s\n", work.c_str());
      const std::string result = chooser_result(work, folder.names, folder.types, selection);
      if (out && result.size() < out_size) {
        std::memcpy(out, result.c_str(), result.size() + 1);
        MACIBM_startwind(return_window, 0);
        return 1;
      }
      MACIBM_alert(wind_file_dialog, "That folder's path is too long to use here.", result, "",
                   "Please choose a folder with a shorter path.", t_alert);
    }
    MACIBM_event_proc();
  }
  return 0;
}
