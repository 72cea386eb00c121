// The built-in image g_tex_map: the two world maps, 504 x 504 RGBA.
// The generator's raw output is embedded as it is; the build names the file
// in CORVANE_IMAGE_FILE.
asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".globl g_tex_map\n"
    ".type g_tex_map, @object\n"
    "g_tex_map:\n"
    ".incbin \"" CORVANE_IMAGE_FILE "\"\n"
    ".size g_tex_map, . - g_tex_map\n"
    ".popsection\n");
