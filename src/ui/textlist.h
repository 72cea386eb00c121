// The text list: a bar that shows the current entry of a short list; a click
// opens the whole list as a pop-up (the event layer's pop-up menu slot), and
// the entry then clicked becomes the bound value on the box's next call.
#pragma once

#include <string>
#include <vector>

// Entries separated by '-' in entries; label's parts are drawn left and
// right of the bar and its help text is the bar's mouse help. Returns 1 on
// the call that applies a pick from this box's pop-up. A '|' in entries and
// more than 300 entries are fatal alerts.
int BTN_textlist(float x, float y, int* value, std::string entries, std::string label);

// Splits entries at every '-'. Returns 0, or 1 for a '|' in the text, 2 for
// more than 300 entries.
int textlist_entries(const std::string& entries, std::vector<std::string>* out);

// The code that names a box at (x, y) in the pop-up protocol: y * 1024 + x,
// never the idle value 0.
int textlist_code(float x, float y);
