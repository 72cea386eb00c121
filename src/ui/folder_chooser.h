// The modal folder chooser: the user walks the folder tree from a start
// folder (down by double click or Return on a folder, up through the pop-up
// of path levels, sideways by creating a folder) and picks a folder with
// "Select". It runs its own loop in window 998 and returns when it closes.
//
// Safety: "New Folder" creates one folder inside the shown folder and
// nothing else (a name holding '/' or naming "." or ".." creates nothing);
// the chosen path is copied only when it fits the caller's buffer whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Layout of the chooser window (561 by 474 units), shared with its tests.
constexpr float kChooserListX = 10.0f, kChooserListY = 180.0f, kChooserListW = 520.0f;
constexpr float kChooserButtonY = 28.0f;
constexpr float kChooserCancelX = 35.0f, kChooserNewFolderX = 430.0f, kChooserSelectX = 510.0f;
constexpr float kChooserLevelsY = 438.0f;
constexpr std::size_t kChooserNameMax = 30;
constexpr std::size_t kChooserMaxLevels = 299;

// Opens the chooser at start (a folder path; null or empty means "/", and a
// missing final '/' is added). kind, prompt, button and flag are not shown.
// Returns 1 after "Select" with the chosen folder (ending in '/') in out,
// 0 after "Cancel" or when another window was made current; out is written
// only on 1. A chosen path that does not fit out_size bytes with its
// terminating zero is refused with an alert, and the chooser stays open.
int GetFilePathFromUser(int kind, const std::string& prompt, const std::string& button, int flag, const char* start,
                        char* out, std::size_t out_size);

// The levels of a folder path: the prefixes from "/" down to the path
// itself (slots) and their names for the pop-up (display: '-' and '|'
// shown as blanks). At most kChooserMaxLevels, the deepest ones.
struct chooser_levels {
  std::vector<std::string> slots;
  std::vector<std::string> names;
  std::string list;  // the names joined with '-'
};
chooser_levels chooser_make_levels(const std::string& work_path);

// A folder as the chooser and the file dialog list it: the entries, their
// types and the names as the list shows them ('|' as a blank). It follows a
// folder without reading it every frame: at once when the folder changes,
// else once a second.
struct folder_listing {
  std::string path;
  std::vector<std::string> names, shown;
  std::vector<int> types;
  float when = -1.0f;  // frame time of the last reading

  static constexpr float kRelistSeconds = 1.0f;
  // Lists folder (opensave_getitems with the filter) now; the count.
  int read(const std::string& folder, int filter);
  // Lists folder when it is another one or the last reading is old.
  int follow(const std::string& folder, int filter);
  int count() const { return static_cast<int>(names.size()); }
};

// The listing filter of the chooser: folders only.
constexpr int kChooserFilter = 1;

// A folder name as the list and the levels show it: '|' as a blank.
std::string chooser_shown_name(const std::string& name);

// What "Select" returns: the work path with a run of leading slashes made
// one, plus the selected folder's name and '/' when there is a selection.
std::string chooser_result(const std::string& work_path, const std::vector<std::string>& names,
                           const std::vector<int>& types, int selection);
