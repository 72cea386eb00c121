// The open and save dialog: its file types, folder rules and modal loop.
#include "ui/opensave.h"

#include "files/io_utils.h"

namespace {

// Rows 13 to 16 are the output and resource folders of two sibling
// products; the misspelt folder of row 15 is the one those products use.
constexpr opensave_type kTypes[kOpenSaveTypes] = {
    {"", "", preview_none},                                  // 0 every file
    {"", "", preview_none},                                  // 1 folders only
    {"", ".BMP", preview_none},                              // 2 .BMP and .PNG
    {"", ".ACF", preview_aircraft},                          // 3
    {"", ".AFL", preview_none},                              // 4
    {"", ".WPN", preview_none},                              // 5
    {"", ".WAV", preview_none},                              // 6
    {"", ".OBJ", preview_none},                              // 7
    {"", "", preview_comment},                               // 8 .FDR
    {"Output/situations/", ".SIT", preview_none},            // 9
    {"Output/movies/", ".SMO", preview_none},                // 10
    {"Output/FMS plans/", ".FMS", preview_none},             // 11
    {"", "", preview_none},                                  // 12 images of the panel folders
    {"Rovamo Output/tracks/", ".TRA", preview_none},         // 13
    {"Rovamo Output/cars/", ".CAR", preview_none},           // 14
    {"Starfold Reosources/spaceships/", ".SPA", preview_none},  // 15
    {"Starfold Resources/regions/", ".REG", preview_none},   // 16
    {"", "", preview_none},                                  // 17 .DSF
    {"", ".HGT", preview_none},                              // 18
    {"", ".TXT", preview_none},                              // 19
    {"sim/", "", preview_empty},                             // 20 nothing
    {"sim/", "", preview_none},                              // 21 the command registry
};

}  // namespace

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
