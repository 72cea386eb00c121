// Layout of the texture font: advances, glyph cells, lines, wrapping and
// numbers. Nothing here touches GL.
#include <cmath>
#include <cstring>

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

float OGL_text_width(const std::string& text) {
  int w = 0;
  for (char c : text) w += tables().advance[static_cast<unsigned char>(c)];
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
  for (char ch : text) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b == 13 || b == 10 || b == 9) continue;
    out.glyph(OGL_glyph_quad(x, y, g.s_off, g.t_off, g.cell_w, g.cell_h, b, charset));
    x += adv > 0 ? static_cast<float>(adv) : static_cast<float>(OGL_char_width(b));
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
  const auto width_of = [adv](char c) {
    return adv > 0 ? static_cast<float>(adv) : static_cast<float>(OGL_char_width(static_cast<unsigned char>(c)));
  };
  std::string line;
  std::size_t word = 0;  // where the line's last word begins in line
  float pen = X;
  const std::size_t count = text.size();
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[i];
    const float w = width_of(c);
    // A word wider than a whole line would run past the line's end: it is
    // broken there. A word that fits a line wraps as a whole, at the break
    // before it; a blank may hang past the end, where it shows nothing.
    if (c != '\n' && c != ' ' && pen + w > right && !line.empty()) {
      float word_width = 0.0f;
      for (std::size_t k = word; k < line.size(); ++k) word_width += width_of(line[k]);
      for (std::size_t j = i; j < count && text[j] != ' ' && text[j] != '\n'; ++j) {
        word_width += width_of(text[j]);
        if (breaks_word(text[j])) break;  // a '-' or '/' ends the word, on its line
      }
      if (word_width > wrap_width) {
        text_one_line(out, colour, X, Y, line, charset, align);
        Y -= 10.0f;
        line.clear();
        word = 0;
        pen = X;
      }
    }
    line += c;
    if (c == '\n') {
      text_one_line(out, colour, X, Y, line, charset, align);
      Y -= 10.0f;
      line.clear();
      word = 0;
      pen = X;
      continue;
    }
    pen += w;
    if (i + 1 == count) {
      text_one_line(out, colour, X, Y, line, charset, align);
      Y -= 10.0f;
    } else if (breaks_word(c)) {
      word = line.size();
      std::size_t n = 0;
      for (std::size_t j = i + 1; j < count && !breaks_word(text[j]); ++j) ++n;
      if (pen + 6.0f * static_cast<float>(n) > right) {
        text_one_line(out, colour, X, Y, line, charset, align);
        Y -= 10.0f;
        line.clear();
        word = 0;
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
