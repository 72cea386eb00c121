// The modal open and save dialog: the user walks the folders below the
// application folder (the root of relative paths, "Halden folder" in the
// path pop-up) and picks an existing file (open, window 998) or names a new
// one (save, window 999). A file-type code decides which files are listed,
// where the dialog opens when the caller names no path, which extension a
// saved name receives and what the preview panel shows.
//
// Paths are relative to the application folder; a folder path is empty for
// the root and otherwise ends in "/".
#pragma once

#include <string>
#include <vector>

// Shows the dialog in window 998 (open) or 999 (save) for file type 0 to 21;
// any other window or type is a fatal alert. Returns 1 with the chosen file
// (work path + name) in *path, or 0 after Cancel, Escape, or when another
// window was made current; *path is then unchanged. Main thread only; not
// re-entrant.
int BTN_opensave(int window, int file_type, std::string* path);

// --- Rules, shared with the tests ---

constexpr int kOpenSaveTypes = 22;

// What a file type means to the dialog.
enum opensave_preview { preview_none, preview_aircraft, preview_comment, preview_empty };
struct opensave_type {
  const char* folder;     // where the dialog opens without a caller's path ("" the root)
  const char* extension;  // appended to a saved name ("" none)
  opensave_preview preview;
};
// The entry of a file type; type 0's for a code outside 0 to 21.
const opensave_type& opensave_type_of(int file_type);

// The folder the dialog opens in: the type's folder for an empty path, the
// path without its last component when it holds a "/", else the root.
std::string opensave_start_folder(const std::string& path, int file_type);
// The folder one level up ("" stays ""). A one-letter folder at the root
// ("a/") goes up to the root like any other.
std::string opensave_parent(const std::string& work_path);
// The name a save gives back: a name longer than 4 characters whose fourth
// character from the end is "." loses its last 4 characters, then the
// type's extension is appended.
std::string opensave_save_name(const std::string& name, int file_type);

// The path levels of the pop-up: slot 0 is the root, then each folder of the
// work path in turn (the prefix up to and including its "/"); names are
// what the pop-up and the staircase show ('-' and '|' as blanks), joined by
// '-' into list.
struct opensave_levels {
  std::vector<std::string> slots;
  std::vector<std::string> names;
  std::string list;
};
opensave_levels opensave_make_levels(const std::string& work_path);
// The index of the last slot equal to the work path, or `current` when none.
int opensave_level_index(const opensave_levels& levels, const std::string& work_path, int current);

// Layout of the dialog (window units from its lower-left corner).
constexpr float kOpenSaveListX = 10.0f, kOpenSaveListY = 180.0f;
constexpr float kOpenSaveButtonY = 18.0f;
constexpr float kOpenSaveCancelX = 33.0f, kOpenSaveOpenX = 280.0f, kOpenSaveSaveX = 282.0f;
constexpr float kOpenSavePopupX = 150.0f, kOpenSavePopupY = 434.0f;
// The staircase of path levels: level L (from 1) at (20 + 10 L, 415 - 10 L).
constexpr float kOpenSaveStairX = 20.0f, kOpenSaveStairY = 415.0f, kOpenSaveStairStep = 10.0f;
