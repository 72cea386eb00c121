// The built-in image g_tex_background: the wizard's backdrop, 800 x 600 RGB.
// The generator's raw output is embedded as it is; the build names the file
// in CORVANE_IMAGE_FILE.
asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".globl g_tex_background\n"
    ".type g_tex_background, @object\n"
    "g_tex_background:\n"
    ".incbin \"" CORVANE_IMAGE_FILE "\"\n"
    ".size g_tex_background, . - g_tex_background\n"
    ".popsection\n");
