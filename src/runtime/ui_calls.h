// What the runtime calls in the interface above it. Defined in src/ui, whose
// headers include this one.
#pragma once

#include <string>

// Drops the keyboard focus of the widgets; the frame timer does so on a
// click, before the widgets see it.
void BTN_unfocus_any();

// A panel inside the current window: x or y below 0 means 10; a width below
// 0 reaches 10 short of the right edge, a height below 0 leaves top_reserve
// + 28 above. Writes the place right of and above the panel.
void BTN_subwin(float top_reserve, int style, float x, float y, float width, float height, std::string title,
                float* out_right, float* out_top);
// The current window's background panel (outer 1: style 11, else 12) with
// its title; inner 1 adds the inner bar, 21 nothing, any other style a panel.
void BTN_fillwin(int outer, int inner);

// Layout globals that BTN_subwin callers may keep.
extern float wx, wy;
