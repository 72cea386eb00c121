// The scrolling list with type-ahead search: a framed box of rows fed by
// callbacks, one selected row, a scroll bar, the mouse wheel, Up and Down,
// and typing that jumps to the first row whose name begins with what was
// just typed (letters typed more than a second apart start a new search).
// Optionally a one-line entry field for a string of the caller's is drawn
// under the box.
#pragma once

#include <string>

using BTN_name_func = std::string (*)(int index, void* ref);
using BTN_type_func = int (*)(int index, void* ref);

// x is the box's left edge and y the middle of its height; width and height
// 0 mean 290 and 220 (21 rows, 10 units apart). The caller keeps the row on
// the middle line (*centre) and the selected row (*selection), both clamped
// to first..last every call. Returns 1 on a frame with a double click inside
// the box (0 for an empty list).
int BTN_list_and_search(int slider, float x, float y, float width, float height, int* centre, int* selection,
                        int first, int last, std::string* entry, const std::string& caption, BTN_name_func name,
                        void* name_ref, BTN_name_func second, void* second_ref, BTN_type_func type, void* type_ref);

// The first index in first..last whose name begins with prefix, ignoring
// letter case; -1 when none does.
int list_find_prefix(int first, int last, const std::string& prefix, BTN_name_func name, void* name_ref);
