// Layout of the texture font: glyph positions, alignment, wrapping, the
// character sets, and the number formats.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/question.h"

namespace {

struct drawn_line {
  std::vector<quad_corners> glyphs;
};

// Records what a string would draw.
class recorder : public text_target {
 public:
  int select(int charset, int) override { return charset == 102 ? 10 : charset == 103 ? 15 : 0; }
  void begin_line() override { lines.emplace_back(); }
  void glyph(const quad_corners& q) override { lines.back().glyphs.push_back(q); }
  std::vector<drawn_line> lines;

  std::vector<float> xs(std::size_t line) const {
    std::vector<float> out;
    for (const quad_corners& q : lines.at(line).glyphs) out.push_back(q.v[0][0]);
    return out;
  }
};

TEST(Font, AdvancesAndCells) {
  EXPECT_EQ(OGL_char_width('H'), 8);
  EXPECT_EQ(OGL_char_width('%'), 11);
  EXPECT_EQ(OGL_char_width(0xE9), 6);
  EXPECT_EQ(OGL_char_width(0xFB), 3);
  EXPECT_EQ(OGL_char_width('"'), 0);
  EXPECT_EQ(OGL_char_width('~'), 0);
  EXPECT_EQ(OGL_char_width(0x80), 0);
  EXPECT_EQ(OGL_text_width("Hello"), 8 + 6 + 3 + 3 + 7);

  int c = -1, r = -1;
  EXPECT_TRUE(OGL_glyph_cell('e', &c, &r));
  EXPECT_EQ(c, 20);
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(OGL_glyph_cell('@', &c, &r));
  EXPECT_EQ(c, 1);
  EXPECT_EQ(r, 3);
  EXPECT_TRUE(OGL_glyph_cell(0xF1, &c, &r));  // ñ
  EXPECT_EQ(c, 19);
  EXPECT_EQ(r, 4);
  EXPECT_FALSE(OGL_glyph_cell('"', &c, &r));
  EXPECT_EQ(c, 0);
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(OGL_glyph_cell(0xFF, &c, &r));
}

TEST(Font, GlyphQuad) {
  const quad_corners q = OGL_glyph_quad(100.7f, 50.2f, 0, 0, 14, 15, 'H', 100);
  // H sits in column 4, row 1: s 56, t 15 of the atlas; pen made whole, 4 below.
  EXPECT_EQ(q.v[0][0], 100);
  EXPECT_EQ(q.v[0][1], 46);
  EXPECT_EQ(q.v[2][0], 114);
  EXPECT_EQ(q.v[2][1], 61);
  EXPECT_FLOAT_EQ(q.v[0][2], 56.0f / 512);
  EXPECT_FLOAT_EQ(q.v[0][3], 15.0f / 512);
  EXPECT_FLOAT_EQ(q.v[2][3], 30.0f / 512);
  const quad_corners sheet = OGL_glyph_quad(0, 0, 0, 0, 13, 13, 85, 103);
  EXPECT_FLOAT_EQ(sheet.v[0][2], 13.0f * 5 / 512);  // 85 % 40
  EXPECT_FLOAT_EQ(sheet.v[0][3], 13.0f * 2 / 512);  // 85 / 40
}

TEST(Font, LeftAndCentredLines) {
  recorder left;
  EXPECT_EQ(text_string(left, 43, 100, 50, "Hello", 9999, 100, 0, 0, 0), 50);
  ASSERT_EQ(left.lines.size(), 1u);
  EXPECT_EQ(left.xs(0), (std::vector<float>{100, 108, 114, 117, 120}));
  EXPECT_EQ(left.lines[0].glyphs[0].v[0][1], 44);  // y - 2, then 4 below the pen

  recorder centred;
  text_string(centred, 43, 100, 50, "Hello", 0, 100, 1, 0, 0);
  EXPECT_EQ(centred.xs(0), (std::vector<float>{86, 94, 100, 103, 106}));

  recorder right;
  text_string(right, 43, 100, 50, "Hello", 0, 100, 2, 0, 0);
  EXPECT_EQ(right.xs(0).front(), 73);

  // In a sub-window the origin is added once.
  recorder sub;
  EXPECT_EQ(text_string(sub, 43, 10.4f, 20, "a", 9999, 100, 0, 190, 175), 20);
  EXPECT_EQ(sub.xs(0).front(), 200);

  // Fixed advance: measured with the table, drawn 10 apart.
  recorder fixed;
  text_string(fixed, 43, 100, 50, "12", 9999, 102, 1, 0, 0);
  EXPECT_EQ(fixed.xs(0), (std::vector<float>{94, 104}));
}

TEST(Font, UnmappedAndControlBytes) {
  recorder r;
  text_string(r, 43, 0, 20, std::string("a\"b\tc\r\n\xE9\xF1\x81", 10), 9999, 100, 0, 0, 0);
  ASSERT_EQ(r.lines.size(), 1u);  // LF does not break a one-line string
  // a, ", b, c, é, ñ and 0x81 draw; TAB, CR and LF are skipped.
  ASSERT_EQ(r.lines[0].glyphs.size(), 7u);
  EXPECT_EQ(r.xs(0), (std::vector<float>{0, 6, 6, 13, 18, 24, 30}));
  EXPECT_EQ(r.lines[0].glyphs[1].v[0][2], 0.0f);  // '"' is the blank cell
  EXPECT_FLOAT_EQ(r.lines[0].glyphs[4].v[0][2], 14.0f * 11 / 512);  // é
  EXPECT_FLOAT_EQ(r.lines[0].glyphs[4].v[0][3], 60.0f / 512);
  EXPECT_EQ(r.lines[0].glyphs[6].v[0][2], 0.0f);

  // UTF-8: é from its cell, ü as u, ß as ss, € as '?'; each counts once.
  recorder utf;
  text_string(utf, 43, 0, 20, "\xC3\xA9\xC3\xBC\xC3\x9F\xE2\x82\xAC", 9999, 100, 0, 0, 0);
  ASSERT_EQ(utf.lines[0].glyphs.size(), 5u);
  EXPECT_EQ(utf.xs(0), (std::vector<float>{0, 6, 13, 17, 21}));
  EXPECT_FLOAT_EQ(utf.lines[0].glyphs[0].v[0][2], 14.0f * 11 / 512);
  EXPECT_FLOAT_EQ(utf.lines[0].glyphs[1].v[0][2], 14.0f * 10 / 512);  // u
  EXPECT_FLOAT_EQ(utf.lines[0].glyphs[4].v[0][2], 14.0f * 4 / 512);   // ?
  EXPECT_EQ(OGL_text_width("\xC3\xB1"), OGL_text_width("\xF1"));

  recorder empty;
  EXPECT_EQ(text_string(empty, 43, 3.5f, 20.4f, "", 100, 100, 0, 0, 0), 20);
  EXPECT_EQ(text_string(empty, 43, 3.5f, 20.6f, "", 0, 100, 0, 0, 0), 21);
  for (const drawn_line& l : empty.lines) EXPECT_TRUE(l.glyphs.empty());
}

TEST(Font, Wrapping) {
  // The space stays on the first line; "bb" starts 10 lower.
  recorder r;
  EXPECT_EQ(text_string(r, 43, 0, 100, "aa bb", 15, 100, 0, 0, 0), 80);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].glyphs.size(), 3u);
  EXPECT_EQ(r.lines[1].glyphs.size(), 2u);
  EXPECT_EQ(r.lines[1].glyphs[0].v[0][1], r.lines[0].glyphs[0].v[0][1] - 10);

  // A trailing LF: the line is drawn once and y moves down once.
  recorder lf;
  EXPECT_EQ(text_string(lf, 43, 0, 100, "abc\n", 9998.5f, 100, 0, 0, 0), 90);
  EXPECT_EQ(lf.lines.size(), 1u);

  // LF breaks in wrap mode; the estimate runs on over LF to the next break.
  recorder two;
  EXPECT_EQ(text_string(two, 43, 0, 100, "ab\ncd", 500, 100, 0, 0, 0), 80);
  EXPECT_EQ(two.lines.size(), 2u);

  // Every line of centred wrapped text is centred on x.
  recorder centred;
  text_string(centred, 43, 200, 100, "aaaa aaaa aaaa", 30, 100, 1, 0, 0);
  ASSERT_EQ(centred.lines.size(), 3u);
  EXPECT_EQ(centred.xs(2).front(), 200 - 12);

  // A word wider than its line is broken at the line's end, also behind a
  // word the estimate let stay: of 13 W's (11 units) after "ab ", 7 fit.
  recorder word;
  text_string(word, 43, 0, 100, "ab " + std::string(13, 'W'), 100, 100, 0, 0, 0);
  ASSERT_EQ(word.lines.size(), 2u);
  EXPECT_EQ(word.lines[0].glyphs.size(), 10u);
}

// A box's texts one below another: a path of three lines pushes the closing
// line down and grows the box by two lines; a text beside a button stays.
// With room for one more line only, the path keeps its start and its name.
TEST(Font, BoxTextsFlowAndGrowTheirBox) {
  std::string path = "/home/pilot/";
  while (OGL_text_lines(path + "a.txt", 660) < 3) path += "jumpy_quays_of_gypsy_pygmy_jigs/";
  path += "a.txt";
  const std::vector<box_text> texts = {{20, 100, 660, 0, "I am about to install:", true}, {20, 90, 660, 0, path, true},
                                       {20, 80, 660, 0, "What to do?", true}, {150, 53, 490, 0, "button", false}};
  EXPECT_EQ(BTN_lay_out_box(texts, 80, 1000).y, (std::vector<float>{120, 110, 80, 53}));
  const std::string cut = BTN_lay_out_box(texts, 80, 10).shown[1];
  EXPECT_EQ(OGL_text_lines(cut, 660), 2);
  EXPECT_EQ(cut.substr(0, 20) + cut.substr(cut.size() - 9), path.substr(0, 20) + ".../a.txt");

  // Two long paths are both cut until they fit, a folder keeping its name.
  std::vector<box_text> two = texts;
  two[2].text = "'" + path.substr(0, path.size() - 5) + "last_folder/'.";
  const box_layout both = BTN_lay_out_box(two, 80, 20);
  EXPECT_EQ(both.grown, 20);
  EXPECT_EQ(OGL_text_lines(both.shown[1], 660), 2);
  EXPECT_EQ(OGL_text_lines(both.shown[2], 660), 2);
  EXPECT_EQ(both.shown[2].substr(both.shown[2].size() - 18), ".../last_folder/'.");
}

TEST(Numbers, TextForm) {
  EXPECT_EQ(OGL_number_text(42, 5, 0), "00,042");
  EXPECT_EQ(OGL_number_text(-1234.5f, 6, 1), "-01,234.5");
  EXPECT_EQ(OGL_number_text(3.14159f, 5, 2), "003.14");
  EXPECT_EQ(OGL_number_text(9.2f, 1, 0), "0.09x2");
  EXPECT_EQ(OGL_number_text(1234, 3, 0), "1.23x3");
  EXPECT_EQ(OGL_number_text(123456, 4, 0), "1.23x5");
  EXPECT_EQ(OGL_number_text(5.5f, 0, 0), "0.06x2");
  EXPECT_EQ(OGL_number_text(-0.0004f, 3, 2), "0.00");
  EXPECT_EQ(OGL_number_text(1234567, 7, 0), "1,234,567");
  // Huge and non-finite values never become integers.
  EXPECT_EQ(OGL_number_text(3e38f, 3, 0), "3.00x0");
  const std::string wide = OGL_number_text(3e38f, 40, 0);
  EXPECT_EQ(wide.size(), 43u);  // three separators
  EXPECT_EQ(wide.substr(0, 2), "03");
  EXPECT_EQ(OGL_number_text(INFINITY, 5, 0), "0.00x2");
  EXPECT_EQ(OGL_number_text(-INFINITY, 5, 0), "-0.00x2");
  EXPECT_EQ(OGL_number_text(NAN, 5, 0), "0.00x2");
}

std::string glyph_text(float value, int digits, int decimals, std::vector<float>* xs = nullptr) {
  number_glyph g[32];
  const int n = OGL_number_glyphs(value, digits, decimals, g);
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += g[i].c;
    if (xs) xs->push_back(g[i].dx);
  }
  return s;
}

TEST(Numbers, FixedGrid) {
  std::vector<float> xs;
  EXPECT_EQ(glyph_text(3.14159f, 5, 2, &xs), ".00314");
  EXPECT_EQ(xs, (std::vector<float>{35, 10, 20, 30, 40, 50}));
  EXPECT_EQ(glyph_text(-0.004f, 3, 2), "-.000");
  EXPECT_EQ(glyph_text(-0.0004f, 3, 2), ".000");
  EXPECT_EQ(glyph_text(1234, 3, 0), "234");
  std::vector<float> wide;
  EXPECT_EQ(glyph_text(1, 12, 0, &wide).size(), 3u + 11u);  // three commas, 11 digits
  EXPECT_EQ(wide.back(), 110);
  EXPECT_EQ(glyph_text(INFINITY, 5, 0), "0.00x2");
  EXPECT_EQ(glyph_text(1e10f, 5, 0), ",00000");  // a separator, no overflow form
}

}  // namespace
