// The options window and the small helpers the screens share: the image
// buttons cut from the elements strip, and the size text in megabytes or
// gigabytes.
#pragma once

#include <string>

// The options window: a modal sub-window in which the user changes the
// operating system to download for, action logging, betas, a fixed number
// of download streams and the proxy. It edits the live settings every frame
// (they are saved with the preferences at an orderly end) and returns when
// the window is closed.
void handle_prefs();

// An image button cut from the elements strip: the w by h picture whose
// lower-left corner is at texel (s, t) drawn with its lower-left corner at
// (x, y). With enabled set, the pointer over it shows the hover look and a
// held button the pressed look; mode 2 draws it greyed (half opacity).
// Returns 1 when this frame's click lies on it (edges included), whatever
// enabled and mode say.
int interface_rect(float x, float y, float s, float t, float w, float h, int enabled, int mode);

// A size in KB as megabytes ("12.3 Meg") or, from 1000 MB, gigabytes
// ("2.5 Gig"), with one decimal.
void set_size_str(float kb, std::string* out);
