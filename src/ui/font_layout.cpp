// Layout of the texture font: advances, glyph cells, lines, wrapping and
// numbers. Nothing here touches GL.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/font.h"

namespace {

// The glyph grid, row by row (21 cells each); '\0' stands for the Latin-1
// cells written out below.
const char* const kGridRows[5] = {
    " 0123456789AaBbCcDdEe",
    "FfGgHhIiJjKkLlMmNnOoP",
    "pQqRrSsTtUuVvWwXxYyZz",
    "!@#$%^&*()-_+=[]|\\':;",
    "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF",
};

struct glyph_tables {
  signed char column[256];
  signed char row[256];
  unsigned char advance[256];

  glyph_tables() {
    std::memset(column, -1, sizeof column);
    std::memset(row, -1, sizeof row);
    std::memset(advance, 0, sizeof advance);
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 21; ++c) {
        const unsigned char b = static_cast<unsigned char>(kGridRows[r][c]);
        column[b] = static_cast<signed char>(c);
        row[b] = static_cast<signed char>(r);
      }
    static const struct {
      int width;
      const char* bytes;
    } kAdvances[] = {
        {2, ",."},
        {3, " '/:;I\\`ijl|\xFB"},
        {4, "!()-J[]frst"},
        {5, "c"},
        {6, "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA"},
        {7, "+<=>BCKRVXYbdghnopqu"},
        {8, "&ADGHNU"},
        {9, "@OQw"},
        {10, "Mm"},
        {11, "%W"},
    };
    for (const auto& a : kAdvances)
      for (const char* p = a.bytes; *p; ++p) advance[static_cast<unsigned char>(*p)] = static_cast<unsigned char>(a.width);
  }
};

const glyph_tables& tables() {
  static const glyph_tables t;
  return t;
}

bool breaks_word(char c) { return c == ' ' || c == '-' || c == '/'; }

// The grid's stand-ins for the Latin-1 letters it has no cell of: the base
// letter, or two letters for the ligatures and thorn; indexed from 0xC0.
const char* const kBaseLetters[64] = {
    "A", nullptr, "A", "A", "A", "A", "AE", "C", "E", nullptr, "E", "E", "I", nullptr, "I", "I",
    "D", nullptr, "O", nullptr, "O", "O", "O", nullptr, "O", "U", nullptr, "U", "U", "Y", "Th", "ss",
    "a", nullptr, "a", "a", "a", "a", "ae", "c", "e", nullptr, "e", "e", "i", nullptr, "i", "i",
    "d", nullptr, "o", nullptr, "o", "o", "o", nullptr, "o", "u", nullptr, "u", "u", "y", "th", "y",
};

// Drawn for a character the grid cannot show.
constexpr unsigned char kStandIn = '?';

// The code point of the valid UTF-8 sequence at text[i] and its length; 0
// when no valid sequence of two bytes or more starts there.
std::size_t utf8_sequence(const std::string& text, std::size_t i, unsigned* code) {
  const unsigned char b = static_cast<unsigned char>(text[i]);
  std::size_t n;
  unsigned cp, least;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, cp = b & 0x1Fu, least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, cp = b & 0x0Fu, least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, cp = b & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < n) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *code = cp;
  return n;
}

char digit_char(double d) { return (d >= 0.0 && d <= 9.0) ? static_cast<char>('0' + static_cast<int>(d)) : '0'; }

// The digit of weight 10^k of the rounded magnitude r, taken in floating
// point so that no huge value is ever converted to an integer.
char digit_of(long double r, int k) {
  const long double q = std::floor(r / std::pow(10.0L, k));
  return digit_char(static_cast<double>(std::fmod(q, 10.0L)));
}

struct number_parts {
  float a;
  long double p, r;
  int n;
  bool sign;
  bool finite;
};

number_parts split_number(float value, int decimals) {
  number_parts np;
  np.finite = std::isfinite(value);
  np.a = std::fabs(value);
  np.p = static_cast<long double>(np.a) * std::pow(10.0L, decimals);
  np.r = np.p + 0.5L;
  static const long double kThresholds[] = {9, 99, 999, 9999, 99999, 999999, 9999999, 100000000, 1000000000};
  np.n = 1;
  for (long double t : kThresholds)
    if (np.p > t) ++np.n;
  np.sign = value < 0.0f && np.p > 0.1L;
  return np;
}

// d.ddxE: the magnitude scaled below 999, with its exponent from 2 up.
std::string overflow_form(float a) {
  float m = a;
  int e = 2;
  // An infinite or not-a-number magnitude has no digits: its loop ends at once.
  if (!std::isfinite(m)) m = -1.0f;
  while (m >= 999.0f) {
    m = m * 0.1f;
    ++e;
  }
  std::string out;
  if (m < 0.0f) {
    out = "0.00x";
  } else {
    const int k = static_cast<int>(m + 0.5f);
    out += digit_char(k / 100 % 10);
    out += '.';
    out += digit_char(k / 10 % 10);
    out += digit_char(k % 10);
    out += 'x';
  }
  out += digit_char(e);
  return out;
}

}  // namespace

int OGL_char_width(unsigned char c) { return tables().advance[c]; }

text_char OGL_text_char(const std::string& text, std::size_t i) {
  text_char ch{1, 1, {static_cast<unsigned char>(text[i]), 0}};
  unsigned cp = 0;
  const std::size_t n = utf8_sequence(text, i, &cp);
  if (n == 0) return ch;  // a byte of its own, looked up as it is
  ch.bytes = n;
  if (cp < 0x100 && tables().column[cp] >= 0) {
    ch.glyph[0] = static_cast<unsigned char>(cp);
  } else if (cp == 0xA0) {
    ch.glyph[0] = ' ';  // no-break space
  } else if (cp >= 0xC0 && cp < 0x100 && kBaseLetters[cp - 0xC0]) {
    const char* base = kBaseLetters[cp - 0xC0];
    ch.glyphs = base[1] ? 2 : 1;
    ch.glyph[0] = static_cast<unsigned char>(base[0]);
    ch.glyph[1] = static_cast<unsigned char>(base[1]);
  } else {
    ch.glyph[0] = kStandIn;
  }
  return ch;
}

int OGL_text_char_width(const text_char& ch) {
  int w = tables().advance[ch.glyph[0]];
  if (ch.glyphs > 1) w += tables().advance[ch.glyph[1]];
  return w;
}

float OGL_text_width(const std::string& text) {
  int w = 0;
  for (std::size_t i = 0; i < text.size();) {
    const text_char ch = OGL_text_char(text, i);
    w += OGL_text_char_width(ch);
    i += ch.bytes;
  }
  return static_cast<float>(w);
}

bool OGL_glyph_cell(unsigned char c, int* column, int* row) {
  const glyph_tables& t = tables();
  if (t.column[c] < 0) {
    *column = 0;
    *row = 0;
    return false;
  }
  *column = t.column[c];
  *row = t.row[c];
  return true;
}

float OGL_round(float v) { return std::trunc(v < 0.0f ? v - 0.5f : v + 0.5f); }

quad_corners OGL_glyph_quad(float x, float y, float s_off, float t_off, float cell_w, float cell_h, int code,
                            int charset) {
  const float X = std::trunc(x);
  const float Y = std::trunc(y) - 4.0f;
  int column = 0, row = 0;
  if (charset == charset_sheet) {
    column = code % 40;
    row = code / 40;
  } else {
    OGL_glyph_cell(static_cast<unsigned char>(code), &column, &row);
  }
  const float s = s_off + cell_w * column;
  const float t = t_off + cell_h * row;
  float qw = cell_w, qh = cell_h;
  if (oglp > 1.0f) {
    qw *= oglp;
    qh *= oglp;
  }
  const float k = 1.0f / 512.0f;
  return quad_corners{{{X, Y, s * k, t * k},
                       {X, Y + qh, s * k, (t + cell_h) * k},
                       {X + qw, Y + qh, (s + cell_w) * k, (t + cell_h) * k},
                       {X + qw, Y, (s + cell_w) * k, t * k}}};
}

namespace {

struct cell_geometry {
  float s_off = 0, t_off = 0, cell_w = 14, cell_h = 15;
};

cell_geometry geometry_of(int charset) {
  cell_geometry g;
  if (charset == charset_sheet) g.cell_w = g.cell_h = 13;
  return g;
}

}  // namespace

void text_one_line(text_target& out, int colour, float x, float y, const std::string& text, int charset,
                   int align) {
  const int adv = out.select(charset, colour);
  const cell_geometry g = geometry_of(charset);
  if (!text.empty()) {
    if (align == 1) x -= 0.5f * OGL_text_width(text);
    if (align == 2) x -= OGL_text_width(text);
  }
  out.begin_line();
  for (std::size_t i = 0; i < text.size();) {
    const text_char ch = OGL_text_char(text, i);
    i += ch.bytes;
    for (int k = 0; k < ch.glyphs; ++k) {
      const unsigned char b = ch.glyph[k];
      if (b == 13 || b == 10 || b == 9) continue;
      out.glyph(OGL_glyph_quad(x, y, g.s_off, g.t_off, g.cell_w, g.cell_h, b, charset));
      x += adv > 0 ? static_cast<float>(adv) : static_cast<float>(OGL_char_width(b));
    }
  }
  out.end_line();
}

float text_string(text_target& out, int colour, float x, float y, const std::string& text, float wrap_width,
                  int charset, int align, float ox, float oy) {
  const int adv = out.select(charset, colour);
  const float X = OGL_round(x + ox);
  float Y = OGL_round(y + oy - 2.0f);
  if (wrap_width <= 0.0f || wrap_width >= 9999.0f) {
    text_one_line(out, colour, X, Y, text, charset, align);
    return Y - oy + 2.0f;
  }
  const float right = X + wrap_width;
  const auto width_of = [adv](const text_char& ch) {
    return adv > 0 ? static_cast<float>(adv * ch.glyphs) : static_cast<float>(OGL_text_char_width(ch));
  };
  // The width of text[from, to).
  const auto measure = [&](std::size_t from, std::size_t to) {
    float w = 0.0f;
    for (std::size_t k = from; k < to;) {
      const text_char ch = OGL_text_char(text, k);
      w += width_of(ch);
      k += ch.bytes;
    }
    return w;
  };
  // The line being laid out is text[line, i); its last word starts at word.
  std::size_t line = 0, word = 0;
  const auto end_line = [&](std::size_t at) {
    text_one_line(out, colour, X, Y, text.substr(line, at - line), charset, align);
    Y -= 10.0f;
    line = word = at;
  };
  float pen = X;
  const std::size_t count = text.size();
  for (std::size_t i = 0; i < count;) {
    const char c = text[i];
    const text_char ch = OGL_text_char(text, i);
    const float w = width_of(ch);
    // A character that would run past the line's end: its word goes down
    // whole when it fits a line, else it is broken here. A blank may hang
    // past the end, where it shows nothing. A word is measured once: after
    // it went down, or was broken, it starts its line.
    if (c != '\n' && c != ' ' && pen + w > right && i > line) {
      if (word > line) {
        std::size_t end = i;
        while (end < count && text[end] != ' ' && text[end] != '\n') {
          const bool last = breaks_word(text[end]);  // a '-' or '/' ends the word, on its line
          end += OGL_text_char(text, end).bytes;
          if (last) break;
        }
        if (measure(word, end) <= wrap_width) {
          const std::size_t from = word;
          end_line(from);
          pen = X + measure(from, i);
        } else {
          end_line(i);
          pen = X;
        }
      } else {
        end_line(i);
        pen = X;
      }
    }
    i += ch.bytes;
    if (c == '\n') {
      end_line(i);
      pen = X;
      continue;
    }
    pen += w;
    if (i == count) {
      end_line(i);
    } else if (breaks_word(c)) {
      word = i;
      // The next word is estimated at 6 units a character.
      std::size_t n = 0;
      for (std::size_t j = i; j < count && !breaks_word(text[j]); j += OGL_text_char(text, j).bytes) ++n;
      if (pen + 6.0f * static_cast<float>(n) > right) {
        end_line(i);
        pen = X;
      }
    }
  }
  return Y - oy + 2.0f;
}

int OGL_text_lines(const std::string& text, float wrap_width) {
  if (text.empty()) return 0;
  class line_count : public text_target {
   public:
    int select(int, int) override { return 0; }
    void begin_line() override { ++lines; }
    void glyph(const quad_corners&) override {}
    int lines = 0;
  } count;
  text_string(count, 0, 0.0f, 0.0f, text, wrap_width, charset_prop, 0, 0.0f, 0.0f);
  return count.lines;
}

namespace {

// Where a text's end that a cut keeps starts: at the '/' before its last
// name (a path's file or last folder, with what follows it), or its last
// quarter when it has no such '/'; always at a character's start.
std::size_t kept_end(const std::string& text, const std::vector<std::size_t>& starts) {
  const auto names_after = [&](std::size_t p) {
    for (std::size_t k = p + 1; k < text.size(); ++k) {
      const unsigned char b = static_cast<unsigned char>(text[k]);
      if (std::isalnum(b) || b >= 0x80) return true;
      if (b == '/') return false;
    }
    return false;
  };
  std::size_t end = text.rfind('/');
  while (end != std::string::npos && end > 0 && !names_after(end)) end = text.rfind('/', end - 1);
  if (end == std::string::npos || end == 0) end = starts[starts.size() - starts.size() / 4 - 1];
  return end;
}

}  // namespace

std::string OGL_cut_to_lines(const std::string& text, float wrap_width, int lines) {
  if (OGL_text_lines(text, wrap_width) <= lines) return text;
  std::vector<std::size_t> starts;  // where each character starts, and the text's end
  for (std::size_t i = 0; i < text.size(); i += OGL_text_char(text, i).bytes) starts.push_back(i);
  starts.push_back(text.size());
  const std::size_t end = kept_end(text, starts);
  const std::size_t before = static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), end) - starts.begin());
  // The characters before `end` that are left out.
  const auto cut = [&](std::size_t n) { return text.substr(0, starts[before - n]) + "..." + text.substr(end); };
  std::size_t fits = before, too_few = 0;
  while (fits - too_few > 1) {
    const std::size_t mid = too_few + (fits - too_few) / 2;
    (OGL_text_lines(cut(mid), wrap_width) <= lines ? fits : too_few) = mid;
  }
  return cut(fits);
}

std::string OGL_number_text(float value, int digits, int decimals) {
  const number_parts np = split_number(value, decimals);
  std::string out = np.sign ? "-" : "";
  const int need = decimals + 1 > np.n ? decimals + 1 : np.n;
  if (digits < need || !np.finite) return out + overflow_form(np.a);
  const int int_digits = digits - decimals;
  int q = int_digits;
  for (int k = digits - 1; k >= 0; --k, --q) {
    if (k + 1 == decimals && int_digits > 0)
      out += '.';
    else if ((q == 3 || q == 6 || q == 9) && int_digits > q)
      out += ',';
    out += digit_of(np.r, k);
  }
  return out;
}

int OGL_number_glyphs(float value, int digits, int decimals, number_glyph* out) {
  const number_parts np = split_number(value, decimals);
  const int int_digits = digits - decimals;
  int n = 0;
  if (np.sign) out[n++] = {1.0f, '-'};
  if (!np.finite) {
    // Not a number to show digit by digit: the overflow form on the grid.
    const std::string form = overflow_form(np.a);
    for (std::size_t i = 0; i < form.size() && n < 32; ++i) out[n++] = {10.0f * static_cast<float>(i + 1), form[i]};
    return n;
  }
  if (decimals >= 1) out[n++] = {10.0f * (int_digits + 0.5f), '.'};
  for (int step : {3, 6, 9})
    if (int_digits > step) out[n++] = {10.0f * (int_digits - step + 0.5f), ','};
  const int D = digits < 11 ? digits : 11;
  for (int k = D - 1; k >= 0; --k) out[n++] = {10.0f * static_cast<float>(D - k), digit_of(np.r, k)};
  return n;
}
