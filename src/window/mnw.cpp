#include "window/mnw.h"

// Zero-filled before the entry runs; the display start-up fills it.
mnw_struct mnw;
