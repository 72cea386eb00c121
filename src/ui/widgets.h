// Immediate-mode widgets.
#pragma once

// Drops the keyboard focus, so that no text field is focused.
void BTN_unfocus_any();

// Index of the focused field in this frame's focus ring; -1 when none.
extern int focused_field;
