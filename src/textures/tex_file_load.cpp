// Loading an image file into the decode buffer.
#include "textures/tman.h"

// No image decoder is built in yet: every file reads as missing, and the
// manager applies the load's fail mode.
int load_any_into_scratch(std::string /*name*/, int /*filter*/, int* /*gl_format*/, int* /*has_mips*/,
                          signed char* /*bytes_per_pixel*/, int /*alpha_from_file*/, int* /*src_dx*/,
                          int* /*src_dy*/, int* /*pow2_dx*/, int* /*pow2_dy*/) {
  return 0;
}
