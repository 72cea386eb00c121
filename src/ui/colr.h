// The colour calls of the drawing. The colour table itself is declared in
// the runtime (the frame timer animates it, the image readers use its gamma
// table) and defined here.
#pragma once

#include "runtime/colr.h"

// The spectrum entry that a scale from minimum to maximum shows i units up
// its height (0 to 999): the value there, kept within the bounds, as a share
// of the range; entry 0 for an empty range.
int spectrum_scale_index(float minimum, float maximum, int i);

// Sets the GL colour from entry `colour` at opacity alpha.
void OGL_setcolor(int colour, float alpha);
