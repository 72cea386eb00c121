// The built-in image g_tex_elements: the image buttons and the wizard panels, 1024 x 70 RGBA.
// The generator's raw output is embedded as it is; the build names the file
// in CORVANE_IMAGE_FILE.
asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".globl g_tex_elements\n"
    ".type g_tex_elements, @object\n"
    "g_tex_elements:\n"
    ".incbin \"" CORVANE_IMAGE_FILE "\"\n"
    ".size g_tex_elements, . - g_tex_elements\n"
    ".popsection\n");
