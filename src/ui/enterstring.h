// The one-line text entry field and the callbacks that bind the text-edit
// engine to it (the texture font's advance widths, the field's rectangle,
// the caller's string).
//
// One engine record serves every string field: it belongs to the field that
// last took the focus, and stays bound to that field's text until another
// field takes the focus. Keys are queued for the focused field by the focus
// ring and applied on the field's next call as long as the engine is still
// bound to it, whether or not it still holds the focus (keys typed just
// before a Tab or a click are kept); they are dropped once another field has
// taken the engine. A field holds only printable bytes from character keys:
// 0x20 to 0x7E, and in a field of any text also the Latin-1 letters of the
// font. Delete removes the selection or the next byte, Home and End move the
// caret to the ends, and Insert, PageUp, PageDown and any key with Control
// or Alt insert nothing.
#pragma once

#include <string>

#include "ui/ogle.h"

// The engine's callbacks over the texture font and the focused field.
extern const OGLE_Callbacks OGLE_cbs;

// What a string field takes from character keys.
enum class field_chars {
  text,  // printable ASCII and the Latin-1 letters of the font
  path,  // printable ASCII only: a path, a file or folder name or a host name,
         // whose bytes reach the file system or the network as they are
};

// A text field at (x, y) (the left end and the baseline as OGL_string takes
// it), w wide, editing the caller's string in place; an edited text is cut
// to max_len bytes. auto_focus lets the field take the focus while no field
// has it. Returns 1 when this call changed the text.
int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label, float w, int auto_focus,
                    field_chars chars = field_chars::text);
// The same over a zero-terminated buffer of 500 bytes; a text of more than
// 499 bytes is a fatal alert.
int BTN_enterstring(float x, float y, char* buffer, int max_len, std::string label, float w, int auto_focus);
