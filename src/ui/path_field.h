// Path and file selection fields: a one-line text field showing a path, with
// a small folder button to its left that opens the modal folder chooser and
// writes the chosen folder back.
//
// Safety: the character-buffer variants never write more than max_len
// bytes (the text cut to max_len - 1 characters and its terminating zero),
// and never more than 500.
#pragma once

#include <string>

#include "window/ui_calls.h"

// Layout of the folder button, relative to the field's (x, y).
constexpr float kPathButtonLeft = -30.0f, kPathButtonRight = -4.0f;  // drawn
constexpr float kPathButtonBottom = -10.0f, kPathButtonTop = 16.0f;
constexpr float kPathHitLeft = -28.0f, kPathHitRight = -6.0f;  // clickable
constexpr float kPathHitBottom = -8.0f, kPathHitTop = 12.0f;

// BTN_select_path_stl: declared with the window layer's calls.

// The same over a zero-terminated buffer of at least max_len bytes.
int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int max_len, std::string label,
                        float width, int focus);

// A file field: *path holds a full path, file_name its file name. The field
// shows the folder of *path with file_name; when a folder is chosen, *path
// becomes it and file_name its last component.
int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* file_name, std::string* path,
                        int max_len, std::string label, float width);
