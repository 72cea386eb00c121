#include "textures/builtin_images.h"

// No image is built in yet: the interface is drawn in plain colours.
void TEX_load_builtin_images() {}
