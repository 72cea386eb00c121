// The four images compiled into the program, from which the whole interface
// is drawn.
#pragma once

// Hands the four built-in images to the texture manager under their fixed
// references and takes the interface colours from the interface image. Run
// once by the display start-up, after the capability probe and the worker
// threads, before the first window is started.
void TEX_load_builtin_images();
