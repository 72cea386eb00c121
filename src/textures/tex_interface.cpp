// The built-in image g_tex_interface: the widget and font atlas, 512 x 512 RGBA.
// The generator's raw output is embedded as it is; the build names the file
// in CORVANE_IMAGE_FILE.
asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".globl g_tex_interface\n"
    ".type g_tex_interface, @object\n"
    "g_tex_interface:\n"
    ".incbin \"" CORVANE_IMAGE_FILE "\"\n"
    ".size g_tex_interface, . - g_tex_interface\n"
    ".popsection\n");
