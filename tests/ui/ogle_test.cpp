// The text-edit engine over fixed-width callbacks: every character is 6
// units wide, lines are 10 apart, the visible area is 60 by 30 units at
// (100, 50), so it shows 10 characters on each of 3 lines.
#include "ui/ogle.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace {

using Rect4 = std::array<float, 4>;

class FixedEdit : public OGLE {
 public:
  explicit FixedEdit(std::string t, float wrap_width = 60.0f) : text(std::move(t)), wrap(wrap_width) {}

  std::string text;
  float wrap;
  const float vis[4] = {100.0f, 50.0f, 160.0f, 80.0f};
  float ox = 0.0f;  // visible left minus logical left
  float sy = 0.0f;  // logical top minus visible top
  float logical_height = 0.0f;
  int replaces = 0;
  std::vector<std::string> drawn;
  std::vector<std::array<float, 2>> drawn_at;
  std::vector<Rect4> marks;  // highlight rectangles and carets, in order

  OGLE_Rec* r() { return rec; }
  std::vector<int> lines() const { return rec->line_starts; }
  std::array<int, 2> sel() const { return {rec->sel_start, rec->sel_end}; }

  void GetVisibleBounds(float* out) override { std::copy(vis, vis + 4, out); }
  void GetLogicalBounds(float* out) override {
    const float top = vis[3] + sy;
    out[0] = vis[0] - ox;
    out[1] = top - logical_height;
    out[2] = out[0] + wrap;
    out[3] = top;
  }
  void SetLogicalHeight(float h) override { logical_height = h; }
  void ScrollTo(float* offset) override {
    ox = offset[0];
    const float bottom = vis[1] - offset[1];
    sy = bottom + logical_height - vis[3];
  }
  void GetText(const char** s, const char** e) override {
    *s = text.data();
    *e = text.data() + text.size();
  }
  void ReplaceText(int start, int end, const char* ts, const char* te) override {
    ++replaces;
    EXPECT_LE(0, start);
    EXPECT_LE(start, end);
    EXPECT_LE(end, static_cast<int>(text.size())) << "an edit must stay inside the text";
    text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start),
                 ts == te ? std::string() : std::string(ts, te));
  }
  float GetLineHeight() override { return 10.0f; }
  float MeasureString(const char* s, const char* e) override { return 6.0f * static_cast<float>(e - s); }
  int FitStringFwd(const char* s, const char* e, float width) override {
    int n = 0;
    for (const char* p = s; p < e && width > 0.0f; ++p, ++n) width -= 6.0f;
    return n;
  }
  int FitStringRev(const char* s, const char* e, float width) override {
    int n = 0;
    for (const char* p = e; p > s && (n == 0 || width > 0.0f); --p, ++n) width -= 6.0f;
    return n;
  }
  void DrawString(const char* s, const char* e, float x, float y) override {
    drawn.emplace_back(s, e);
    drawn_at.push_back({x, y});
  }
  void DrawSelection(float* rect) override { marks.push_back({rect[0], rect[1], rect[2], rect[3]}); }
  const char* WordBreak(const char* s, const char* e) override {
    while (s < e && std::isspace(static_cast<unsigned char>(*s))) ++s;
    while (s < e && !std::isspace(static_cast<unsigned char>(*s))) ++s;
    return s;
  }

  void keys(const std::string& typed) {
    for (char c : typed) Key(c, 0);
  }
  void caret(int at) { SetSelection(at, at); }
};

using Lines = std::vector<int>;
using Sel = std::array<int, 2>;

}  // namespace

TEST(OgleLayout, WrapsAtWordsKeepingBlanksAndBreakBytes) {
  FixedEdit empty("");
  EXPECT_EQ(OGLE_CharPosToLine(empty.r(), 0), -1) << "nothing laid out yet";
  empty.Repaginate();
  EXPECT_EQ(empty.lines(), Lines{0});
  EXPECT_EQ(empty.logical_height, 10.0f);

  FixedEdit words("hello world foo");  // "hello " then "world foo" (54 of 60 units)
  words.Repaginate();
  EXPECT_EQ(words.lines(), (Lines{0, 6}));
  EXPECT_EQ(words.logical_height, 20.0f);
  EXPECT_EQ(OGLE_CharPosToLine(words.r(), 5), 0);
  EXPECT_EQ(OGLE_CharPosToLine(words.r(), 6), 1) << "a line start belongs to its own line";
  EXPECT_EQ(OGLE_CharPosToLine(words.r(), 15), 1);

  FixedEdit exact("abcde fghi");  // exactly 60 units: still one line
  exact.Repaginate();
  EXPECT_EQ(exact.lines(), Lines{0});

  FixedEdit breaks("a \nb\rc\n");  // a blank before LF keeps the break; no empty last line
  breaks.Repaginate();
  EXPECT_EQ(breaks.lines(), (Lines{0, 3, 5}));

  FixedEdit trailing("ab          ");  // trailing blanks are not measured
  trailing.Repaginate();
  EXPECT_EQ(trailing.lines(), Lines{0});

  FixedEdit long_word("abcdefghijklmnop");  // cut one byte per line until the rest fits
  long_word.Repaginate();
  EXPECT_EQ(long_word.lines(), (Lines{0, 1, 2, 3, 4, 5, 6}));

  // A relayout after the text shrank leaves no line beyond its end.
  words.text = "hi";
  words.Repaginate();
  EXPECT_EQ(words.lines(), Lines{0});
}

TEST(OgleKeys, TypingBackspaceAndHorizontalArrows) {
  FixedEdit e("");
  e.Repaginate();
  e.Key(8, 0);
  EXPECT_EQ(e.replaces, 0) << "Backspace in an empty text edits nothing";
  e.keys("abcdef");
  EXPECT_EQ(e.text, "abcdef");
  EXPECT_EQ(e.sel(), (Sel{6, 6}));

  e.Key(29, 0);  // Right at the end stays
  EXPECT_EQ(e.sel(), (Sel{6, 6}));
  e.Key(8, 0);
  EXPECT_EQ(e.text, "abcde");
  EXPECT_EQ(e.sel(), (Sel{5, 5}));

  // Shift-Left makes the start active; Shift-Right crosses back.
  e.Key(28, 1);
  EXPECT_EQ(e.sel(), (Sel{4, 5}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.Key(28, 1);
  EXPECT_EQ(e.sel(), (Sel{3, 5}));
  e.Key(29, 1);
  e.Key(29, 1);
  EXPECT_EQ(e.sel(), (Sel{5, 5}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.Key(8, 0);  // Backspace with the start active still deletes backwards, then the end is active
  EXPECT_EQ(e.text, "abcd");
  EXPECT_EQ(e.r()->end_active, 1);

  // A typed byte replaces the selection; Left and Right collapse one.
  e.SetSelection(1, 3);
  e.Key('X', 0);
  EXPECT_EQ(e.text, "aXd");
  EXPECT_EQ(e.sel(), (Sel{2, 2}));
  e.SetSelection(0, 2);
  e.Key(28, 0);
  EXPECT_EQ(e.sel(), (Sel{0, 0}));
  e.Key(28, 0);
  EXPECT_EQ(e.sel(), (Sel{0, 0})) << "Left at the start stays";
  e.SetSelection(0, 2);
  e.Key(29, 0);
  EXPECT_EQ(e.sel(), (Sel{2, 2}));
  e.SetSelection(0, 3);
  e.Key(8, 0);
  EXPECT_EQ(e.text, "");

  // Backspace at the start only makes the end active.
  e.text = "ab";
  e.Repaginate();
  e.caret(1);
  e.Key(28, 1);
  ASSERT_EQ(e.r()->end_active, 0);
  e.caret(0);
  const int before = e.replaces;
  e.Key(8, 0);
  EXPECT_EQ(e.replaces, before);
  EXPECT_EQ(e.r()->end_active, 1);
}

TEST(OgleKeys, DeleteHomeAndEnd) {
  FixedEdit e("abcdef", 1024.0f);
  e.Repaginate();
  e.caret(2);
  OGLE_KeyDelete(e.r());
  EXPECT_EQ(e.text, "abdef");
  EXPECT_EQ(e.sel(), (Sel{2, 2}));
  e.SetSelection(1, 3);
  OGLE_KeyDelete(e.r());
  EXPECT_EQ(e.text, "aef");
  e.caret(3);
  const int before = e.replaces;
  OGLE_KeyDelete(e.r());
  EXPECT_EQ(e.replaces, before) << "Delete at the end edits nothing";

  OGLE_KeyHomeEnd(e.r(), 0, 0);
  EXPECT_EQ(e.sel(), (Sel{0, 0}));
  OGLE_KeyHomeEnd(e.r(), 1, 1);
  EXPECT_EQ(e.sel(), (Sel{0, 3}));
  OGLE_KeyHomeEnd(e.r(), 0, 0);
  e.caret(2);
  OGLE_KeyHomeEnd(e.r(), 0, 1);  // the active end crosses to the start
  EXPECT_EQ(e.sel(), (Sel{0, 2}));
  EXPECT_EQ(e.r()->end_active, 0);
  OGLE_KeyHomeEnd(e.r(), 1, 0);
  EXPECT_EQ(e.sel(), (Sel{3, 3}));
}

TEST(OgleKeys, VerticalMovesKeepTheColumn) {
  FixedEdit e("aaaa bbbb cccc", 30.0f);  // lines "aaaa ", "bbbb ", "cccc"
  e.Repaginate();
  ASSERT_EQ(e.lines(), (Lines{0, 5, 10}));

  e.caret(4);
  e.Key(31, 0);
  EXPECT_EQ(e.sel(), (Sel{9, 9}));
  EXPECT_EQ(e.r()->caret_x, 24.0f) << "the column survives Up and Down";
  e.Key(31, 0);
  EXPECT_EQ(e.sel(), (Sel{14, 14}));
  e.Key(31, 0);
  EXPECT_EQ(e.sel(), (Sel{14, 14})) << "Down on the last line goes to the end";
  e.Key(30, 0);
  e.Key(30, 0);
  EXPECT_EQ(e.sel(), (Sel{4, 4})) << "back in the same column";
  e.Key(30, 0);
  EXPECT_EQ(e.sel(), (Sel{0, 0})) << "Up on line 0 goes to the start";
  e.Key(29, 0);
  EXPECT_EQ(e.r()->caret_x, -1.0f) << "any other key forgets the column";

  e.caret(7);  // Shift-Up moves only the active end
  e.Key(30, 1);
  EXPECT_EQ(e.sel(), (Sel{2, 7}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.Key(31, 1);
  e.Key(31, 1);
  EXPECT_EQ(e.sel(), (Sel{7, 12}));
  EXPECT_EQ(e.r()->end_active, 1);
  e.Key(30, 0);  // with a selection, Up collapses to its start
  EXPECT_EQ(e.sel(), (Sel{7, 7}));
  e.SetSelection(2, 7);
  e.Key(31, 0);
  EXPECT_EQ(e.sel(), (Sel{7, 7}));
}

TEST(OgleMouse, ClicksDragsAndShiftClicks) {
  FixedEdit e("hello world foo");  // "hello " on the band 70..80, "world foo" on 60..70
  e.Repaginate();
  e.Click(100.0f + 6.0f * 2 + 1, 75.0f, 0);  // inside 'l' (the third byte)
  EXPECT_EQ(e.sel(), (Sel{3, 3}));
  e.Click(100.0f + 6.0f * 2, 75.0f, 0);  // exactly on its left edge
  EXPECT_EQ(e.sel(), (Sel{2, 2}));
  e.Click(20.0f, 65.0f, 0);  // left of the text: the line's start
  EXPECT_EQ(e.sel(), (Sel{6, 6}));
  e.Click(130.0f, 10.0f, 0);  // below the last line
  EXPECT_EQ(e.sel(), (Sel{15, 15}));
  e.Click(130.0f, 95.0f, 0);  // above line 0
  EXPECT_EQ(e.sel(), (Sel{0, 0}));

  e.Click(100.0f + 6 * 2, 65.0f, 0);  // offset 8, in "world"
  e.Click(100.0f + 6 * 3, 75.0f, 1);  // Shift-click before: the start moves
  EXPECT_EQ(e.sel(), (Sel{3, 8}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.Click(100.0f + 6 * 5, 75.0f, 1);  // at or after the start: the end moves (and shrinks)
  EXPECT_EQ(e.sel(), (Sel{3, 5}));
  EXPECT_EQ(e.r()->end_active, 1);

  e.Drag(100.0f + 6 * 1, 75.0f);  // the active end crosses the other
  EXPECT_EQ(e.sel(), (Sel{1, 3}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.Drag(100.0f + 6 * 4, 65.0f);
  EXPECT_EQ(e.sel(), (Sel{3, 10}));
  EXPECT_EQ(e.r()->end_active, 1);
}

TEST(OgleSelection, SetReplaceAndClampAgainstAChangedText) {
  FixedEdit e("abcde");
  e.Repaginate();
  e.SetSelection(7, 3);
  EXPECT_EQ(e.sel(), (Sel{3, 5}));
  EXPECT_EQ(e.r()->end_active, 0);
  e.SetSelection(-4, 2);
  EXPECT_EQ(e.sel(), (Sel{0, 2}));

  // An edit before the selection moves it; one inside its start shrinks it;
  // one after it leaves it alone.
  e.SetSelection(3, 5);
  OGLE_ReplaceText(e.r(), 0, 1, "XYZ", "XYZ" + 3);
  EXPECT_EQ(e.text, "XYZbcde");
  EXPECT_EQ(e.sel(), (Sel{5, 7}));
  OGLE_ReplaceText(e.r(), 4, 7, nullptr, nullptr);
  EXPECT_EQ(e.text, "XYZb");
  EXPECT_EQ(e.sel(), (Sel{4, 4}));
  e.SetSelection(0, 1);
  OGLE_ReplaceText(e.r(), 2, 4, "q", "q" + 1);
  EXPECT_EQ(e.sel(), (Sel{0, 1}));

  // The text shrinks behind the engine's back: no edit may reach past it.
  e.text = "abcdefgh";
  e.Repaginate();
  e.SetSelection(6, 8);
  e.text = "ab";
  e.Key('z', 0);
  EXPECT_EQ(e.text, "abz");
  e.SetSelection(3, 3);
  e.text = "a";
  e.Key(8, 0);
  EXPECT_EQ(e.text, "");
  e.text = "xy";
  e.r()->sel_start = 9;
  e.r()->sel_end = 12;
  OGLE_KeyDelete(e.r());
  EXPECT_EQ(e.text, "xy");
  EXPECT_EQ(e.sel(), (Sel{2, 2}));
}

TEST(OgleScroll, RevealsTheActiveEndHorizontallyAndVertically) {
  FixedEdit e("", 1024.0f);
  e.Repaginate();
  e.keys("abcdefghij");  // exactly fills the 60 visible units
  EXPECT_EQ(e.ox, 0.0f);
  e.keys("kl");  // the caret at 72 units: scrolled to put it on the right edge
  EXPECT_EQ(e.ox, 12.0f);
  OGLE_KeyHomeEnd(e.r(), 0, 0);
  EXPECT_EQ(e.ox, 0.0f) << "back to the left edge";
  e.Click(140.0f, 75.0f, 0);
  EXPECT_EQ(e.ox, 0.0f) << "a visible caret scrolls nothing";

  FixedEdit tall("a\nb\nc\nd\ne\nf");
  tall.Repaginate();
  ASSERT_EQ(tall.logical_height, 60.0f);
  tall.caret(8);  // line 4: the top of its band (40) is below the visible bottom (50)
  OGLE_RevealSelection(tall.r());
  EXPECT_EQ(tall.sy, 10.0f) << "brought just to the nearer edge, without a margin";
  tall.caret(0);
  OGLE_RevealSelection(tall.r());
  EXPECT_EQ(tall.sy, 0.0f);
}

TEST(OgleDraw, VisibleLinesHighlightAndCaret) {
  FixedEdit e("ab\ncd\nef\ngh\nij");  // five lines, three visible
  e.Repaginate();
  e.caret(3);  // start of line 1: drawn there, not at the end of line 0
  e.Draw(1);
  EXPECT_EQ(e.drawn, (std::vector<std::string>{"ab\n", "cd\n", "ef\n"}));
  EXPECT_EQ(e.drawn_at[1], (std::array<float, 2>{100.0f, 60.0f}));
  ASSERT_EQ(e.marks.size(), 1u);
  EXPECT_EQ(e.marks[0], (Rect4{100.0f, 60.0f, 100.0f, 70.0f}));

  e.marks.clear();
  e.Draw(0);
  EXPECT_TRUE(e.marks.empty()) << "no caret unless asked";

  // A selection from inside line 0 to the start of line 2: line 0 to the
  // logical right edge, line 1 to the end of its text, nothing on line 2.
  e.marks.clear();
  e.SetSelection(1, 6);
  e.Draw(1);
  ASSERT_EQ(e.marks.size(), 2u) << "no caret while text is selected";
  EXPECT_EQ(e.marks[0], (Rect4{106.0f, 70.0f, 160.0f, 80.0f}));
  EXPECT_EQ(e.marks[1], (Rect4{100.0f, 60.0f, 118.0f, 70.0f})) << "a line covered to its end: only its text";

  // Scrolled down by half a line: the partly visible lines are drawn too.
  e.drawn.clear();
  e.sy = 15.0f;
  e.Draw(0);
  EXPECT_EQ(e.drawn, (std::vector<std::string>{"cd\n", "ef\n", "gh\n", "ij"}));

  // The caret at the very end of a text ending in LF sits on the last line.
  FixedEdit lf("ab\n");
  lf.Repaginate();
  lf.caret(3);
  lf.Draw(1);
  ASSERT_EQ(lf.marks.size(), 1u);
  EXPECT_EQ(lf.marks[0], (Rect4{118.0f, 70.0f, 118.0f, 80.0f}));

  FixedEdit none("");
  none.Repaginate();
  none.Draw(1);
  ASSERT_EQ(none.marks.size(), 1u) << "an empty text still shows its caret";
  EXPECT_EQ(none.marks[0][0], 100.0f);
}
