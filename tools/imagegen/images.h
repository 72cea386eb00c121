// The four built-in images and what drawing them needs.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

namespace gen {

// Where the generator finds its inputs.
struct Inputs {
  std::string font_regular;  // DejaVu Sans
  std::string font_bold;     // DejaVu Sans Bold
  std::string land_mask;     // the committed run-length land mask
};

// The house colours of the artwork.
namespace palette {
inline const RGBA ink = rgb(34, 41, 53);           // dark text on light surfaces
inline const RGBA navy = rgb(13, 27, 44);          // deepest surface
inline const RGBA slate = rgb(51, 67, 86);         // window background
inline const RGBA slate_dark = rgb(33, 45, 60);    // dark surfaces
inline const RGBA slate_mid = rgb(64, 82, 104);    // raised dark surfaces
inline const RGBA paper = rgb(246, 248, 250);      // light surfaces
inline const RGBA paper_shade = rgb(228, 233, 239);
inline const RGBA rule = rgb(160, 171, 186);       // borders on light surfaces
inline const RGBA mint = rgb(127, 220, 175);       // accent on dark surfaces
inline const RGBA teal = rgb(32, 134, 116);        // accent on light surfaces
inline const RGBA teal_light = rgb(52, 160, 138);
inline const RGBA shadow = rgb(6, 14, 24);
}  // namespace palette

Canvas draw_background();
Canvas draw_elements(const Inputs& in);
// Fails (returns false) when the land mask cannot be read.
bool draw_map(const Inputs& in, Canvas* out);
Canvas draw_interface(const Inputs& in);

// Review sheets: mock screens put together from the images by the same
// slicing rules the program uses, each with its file name.
struct Sheet {
  std::string name;
  Canvas canvas;
};
std::vector<Sheet> draw_previews(const Canvas& background, const Canvas& elements, const Canvas& map,
                                 const Canvas& interface);

}  // namespace gen
