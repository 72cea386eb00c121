// The key assignment window: a scrolling list of the key bindings on the
// left, a help text and an add button in the middle, and a command chooser
// (groups in the middle, commands on the right) for the selected binding. A
// binding takes its key when its row is selected and the key is pressed.
// keys_class::keys_wind draws and runs one frame of it.
#pragma once

#include <string>

struct key_binding;

// Window-corner coordinates shared by sub-window layouts: the panel calls of
// the key window write them and the layout reads them back.
extern float wx1, wy1, wx2, wx3;

// Layout of the key window, in units of the window it runs in.
constexpr int kKeyRowsShown = 34;           // binding rows in view
constexpr float kKeyRowX = 78.0f;           // centre of a row's button
constexpr float kKeyRowW = 120.0f;          // width of a row's button
constexpr float kKeyRowTopY = 689.0f;       // y of the first row in view
constexpr float kKeyRowStep = 20.0f;        // rows are this far apart
constexpr float kKeyMiddleX = 385.0f;       // left edge of the middle column
constexpr float kKeyRightX = 579.0f;        // left edge of the right panel
constexpr float kKeyAddY = 30.0f;           // y of the add button
constexpr float kKeyListTopY = 685.0f;      // y of the first group and command
constexpr float kKeyListStep = 15.0f;       // their spacing
constexpr float kKeyColumnStep = 148.0f;    // columns of the command list
constexpr int kKeyItemsPerColumn = 45;

// The label of a binding's row: "-", the modifier words and a space when
// any are set, then the key's display name ("-SHIFT+CTRL A", "-<none>").
std::string keys_row_label(const key_binding& binding);

// Splits a command path: leaf is the text after the last '/' that is not
// the path's last character (the whole path when there is none), group the
// path before it (with its '/'), parent the same split applied to group.
// "sim/operation/none" gives "none", "sim/operation/" and "sim/".
void keys_split_path(const std::string& path, std::string* leaf, std::string* group, std::string* parent);

// Keeps the window's selection and scroll position inside a table of
// `rows` bindings: a selection that indexes no row is dropped (-1), and the
// scroll position stays within 0 and rows - 34.
void keys_window_fit(int rows, int* selection, int* scroll);

// The selected row (-1 none) and the first row in view, as the window keeps
// them between frames.
int keys_window_selection();
int keys_window_scroll();
