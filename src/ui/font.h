// The texture font: 14 x 15 glyph cells at the origin of the interface atlas,
// the advance widths of the proportional set, and the drawing of glyphs,
// lines, word-wrapped strings and numbers.
//
// Charsets: 100 proportional (every text of the program), 102 the same
// cells 10 px apart (digits of the numeric fields), 103 a 13 x 13 glyph
// sheet of its own (texture 396) addressed by code % 40 and code / 40.
// Texts are UTF-8: a valid sequence is one character, drawn from its cell
// in the grid, as its base letter when it is a Latin-1 letter the grid
// lacks (u for ü, ss for ß), else as a '?'. Any other byte is a character
// of its own, looked up as Latin-1; bytes without a glyph use the blank
// cell (0, 0). Every width and count of a text is one of characters.
#pragma once

#include <cstddef>
#include <string>

#include "ui/draw.h"
#include "window/ui_calls.h"

enum { charset_prop = 100, charset_fixed = 102, charset_sheet = 103 };

// --- Layout (no GL) ---

// Advance of one byte in the proportional set, in pixels (0 for bytes
// without a glyph).
int OGL_char_width(unsigned char c);
// One character of a text: the bytes it takes and the one or two bytes of
// the grid that draw it.
struct text_char {
  std::size_t bytes;
  int glyphs;
  unsigned char glyph[2];
};
// The character that starts at text[i] (i < text.size()).
text_char OGL_text_char(const std::string& text, std::size_t i);
// Its advance in the proportional set.
int OGL_text_char_width(const text_char& ch);
// Sum of the advances over every character of text.
float OGL_text_width(const std::string& text);
// The lines a text takes in the proportional set wrapped at wrap_width (0
// for an empty text).
int OGL_text_lines(const std::string& text, float wrap_width);
// The text itself when it takes at most `lines` lines at wrap_width; else
// with as little of its middle left out for "..." as lets it take that
// many. Its start and its end stay whole: the end from the '/' before its
// last name (a file's, or a folder's when it ends in '/'), else its last
// quarter. When no cut fits, the one that leaves out most.
std::string OGL_cut_to_lines(const std::string& text, float wrap_width, int lines);
// Cell of a byte in the glyph grid; false (and cell 0, 0) when it has none.
bool OGL_glyph_cell(unsigned char c, int* column, int* row);
// Rounds half away from zero to a whole number.
float OGL_round(float v);

// Where glyphs go. select() sets up a charset and colour and returns the
// fixed advance (0 proportional); each line is bracketed by begin_line and
// end_line.
class text_target {
 public:
  virtual ~text_target() = default;
  virtual int select(int charset, int colour) = 0;
  virtual void begin_line() {}
  virtual void glyph(const quad_corners& q) = 0;
  virtual void end_line() {}
};

// The quad of one glyph with its pen at (x, y); cell sizes and sheet offset
// in pixels of the 512 x 512 atlas.
quad_corners OGL_glyph_quad(float x, float y, float s_off, float t_off, float cell_w, float cell_h, int code,
                            int charset);
// One line at an absolute position (origin already added).
void text_one_line(text_target& out, int colour, float x, float y, const std::string& text, int charset,
                   int align);
// A string at window position (x, y) of a window whose origin is (ox, oy),
// wrapped when 0 < wrap_width < 9999. Returns the y below the last line.
float text_string(text_target& out, int colour, float x, float y, const std::string& text, float wrap_width,
                  int charset, int align, float ox, float oy);

// The text of a number for the charsets other than 102: exactly `digits`
// digit positions with `decimals` after the point, thousands separators,
// leading zeros; the overflow form d.ddxE when the number does not fit.
std::string OGL_number_text(float value, int digits, int decimals);

// One glyph of a number drawn in charset 102, at X0 + dx.
struct number_glyph {
  float dx;
  char c;
};
// The glyphs of OGL_number in charset 102 (room for 32); returns the count.
int OGL_number_glyphs(float value, int digits, int decimals, number_glyph* out);

// --- Drawing ---

// Selects a charset: text state, colour, texture; writes the sheet offset
// and cell size and returns the fixed advance (0, 10 or 15). An unknown
// charset is a fatal alert.
int OGL_strtex(int charset, int colour, float* s_off, float* t_off, float* cell_w, float* cell_h);
// Emits one glyph quad inside an open GL_QUADS primitive.
void OGL_char(float x, float y, float s_off, float t_off, float cell_w, float cell_h, int ch, int charset);
// One line at an absolute position (origin already added).
void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align);
// A centred string on a grey box.
void OGL_gray_string(int colour, float x_centre, float y, std::string text);
// A number with exactly `digits` digit positions, `decimals` of them after
// the point.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset);
// A read-only text in a field frame centred at x_centre, with the two parts
// of label on its left and right.
void OGL_boxed_string(float x_centre, float y, const std::string& label, const std::string& text, int charset,
                      int colour);
