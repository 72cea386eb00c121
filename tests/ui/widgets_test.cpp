// Labels, push buttons, check boxes and radio buttons against the window
// state, without a display; and scripted clicks.
#include <gtest/gtest.h>

#include "runtime/globals.h"
#include "support/scripted_clicks.h"
#include "ui/enterstring.h"
#include "ui/focus.h"
#include "ui/font.h"
#include "ui/widgets.h"
#include "window/mnw.h"

namespace {

TEST(Labels, Pieces) {
  struct Case {
    const char *label, *caption, *second, *help;
  };
  const Case cases[] = {
      {"Cancel", "Cancel", "", ""},
      {"|log installer actions", "", "log installer actions", ""},
      {"a|b{xc", "a", "b", "c"},
      {"a|b|c", "a|b", "c", ""},
      {"a{b|c", "a{b", "", "|c"},
      {"{", "", "", ""},
      {"x{y", "x", "", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    std::string caption = "?", second = "?", help = "?";
    BTN_expand_label(c.label, &caption, &second, &help);
    EXPECT_EQ(caption, c.caption) << c.label;
    EXPECT_EQ(second, c.second) << c.label;
    EXPECT_EQ(help, c.help) << c.label;
  }
}

TEST(Labels, TwoLineCaptions) {
  std::string a, b;
  EXPECT_EQ(BTN_label_lines("Pick Destination", 0, &a, &b), 2);
  EXPECT_EQ(a, "Pick");
  EXPECT_EQ(b, "Destination");
  EXPECT_EQ(BTN_label_lines("Search for Updates", 2, &a, &b), 2);
  EXPECT_EQ(a, "Search for");
  EXPECT_EQ(b, "Updates");
  // Equal distance: the earlier separator wins.
  EXPECT_EQ(BTN_label_lines("abcd/efg-ijkl", 0, &a, &b), 2);
  EXPECT_EQ(a, "abcd");
  EXPECT_EQ(b, "efg-ijkl");
  EXPECT_EQ(BTN_label_lines("abcdefghijkl ", 0, &a, &b), 1);  // separator only at the end
  EXPECT_EQ(a, "abcdefghijkl ");
  EXPECT_EQ(BTN_label_lines("abcdefghijklmno", 0, &a, &b), 1);
  EXPECT_EQ(BTN_label_lines("-proxy host", 0, &a, &b), 1);
  EXPECT_EQ(a, "proxy host");
  EXPECT_EQ(BTN_label_lines("-" + std::string(20, 'x') + " " + std::string(19, 'y'), 0, &a, &b), 1);
  EXPECT_EQ(BTN_label_lines("twenty characters ok", 1, &a, &b), 1);
  EXPECT_EQ(BTN_label_lines("", 0, &a, &b), 0);
  EXPECT_EQ(BTN_label_lines("x", 3, &a, &b), 0);
}

class Widgets : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = mnw;
    mnw.click = 0;
    mnw.open_menu = -1;
    mnw.wind_x = mnw.wind_y = 0;
    stls.mouse_help.clear();
    BTN_script_clear();
  }
  void TearDown() override {
    mnw = saved_;
    BTN_script_clear();
  }
  void click_at(float x, float y) {
    mnw.click = 1;
    mnw.mouse_x = x;
    mnw.mouse_y = y;
  }
  mnw_struct saved_{};
};

TEST_F(Widgets, PushButtonHitRectangle) {
  EXPECT_EQ(BTN_action_width("Cancel"), 21 + OGL_text_width("Cancel"));
  EXPECT_EQ(BTN_action_width(""), 21);
  // Edges included.
  click_at(100 + 80, 50 + 10);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 1);
  click_at(100 - 80, 50 - 10);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 0, "OK", "-"), 1);
  click_at(100 + 80.5f, 50);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
  click_at(100, 50 + 10.5f);
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
  // A fitted width: "Cancel" is 21 + 31 wide.
  const float half = BTN_action_width("Cancel") / 2;
  click_at(100 + half, 50);
  EXPECT_EQ(BTN_action(100, 50, -1, 0, 1, "Cancel", "F1"), 1);
  click_at(100 + half + 1, 50);
  EXPECT_EQ(BTN_action(100, 50, -1, 0, 1, "Cancel", "F1"), 0);

  click_at(100, 50);
  mnw.click = 0;
  EXPECT_EQ(BTN_action(100, 50, 160, 1, 2, "OK", "-"), 0);
  click_at(100, 50);
  mnw.open_menu = 3;
  EXPECT_EQ(BTN_action(100, 50, 160, 0, 1, "OK", "-"), 0);
}

TEST_F(Widgets, CheckBoxAndRadioButton) {
  int v = 0;
  mnw.mouse_x = 200;
  mnw.mouse_y = 100;
  EXPECT_EQ(BTN_bool(200, 100, &v, "Log|things{xhelp text", 0), 0);
  EXPECT_EQ(stls.mouse_help, "help text");  // hovering sets the help
  click_at(208, 112);  // corner of the 16 x 16 active area
  EXPECT_EQ(BTN_bool(200, 100, &v, "Log", 0), 1);
  EXPECT_EQ(v, 1);
  click_at(200, 95);  // inside the drawn box, below the active area
  EXPECT_EQ(BTN_bool(200, 100, &v, "Log", 0), 0);
  v = 5;
  click_at(200, 100);
  EXPECT_EQ(BTN_bool(200, 100, &v, "Log", 1), 1);
  EXPECT_EQ(v, 0);

  // While a menu is open nothing reacts, not even the help.
  stls.mouse_help.clear();
  mnw.open_menu = 1519;
  EXPECT_EQ(BTN_bool(200, 100, &v, "x{yhelp", 0), 0);
  EXPECT_EQ(stls.mouse_help, "");
  EXPECT_EQ(v, 0);
  mnw.open_menu = -1;

  int server = 2;
  EXPECT_EQ(BTN_is_int(200, 100, &server, 2, "|b"), 1);  // already on: stays
  EXPECT_EQ(server, 2);
  EXPECT_EQ(BTN_is_int(200, 100, &server, 4, "|d"), 1);
  EXPECT_EQ(server, 4);

  unsigned char byte = 7;
  char ch = 0;
  bool flag = true;
  mnw.click = 0;
  EXPECT_EQ(BTN_xbyt(200, 100, &byte, "b"), 0);
  EXPECT_EQ(byte, 7);  // another non-zero value is kept until clicked
  mnw.click = 1;
  EXPECT_EQ(BTN_xbyt(200, 100, &byte, "b"), 1);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(BTN_xchr(200, 100, &ch, "c"), 1);
  EXPECT_EQ(ch, 1);
  EXPECT_EQ(BTN_xbol(200, 100, &flag, "f"), 1);
  EXPECT_FALSE(flag);
}

// Keys typed before a Tab in one frame reach the field they were typed
// into; a field of a path takes only printable ASCII, other text also the
// Latin-1 letters of the font.
TEST_F(Widgets, StringFieldsKeepKeysTypedBeforeATabAndTakeTheirCharacters) {
  mnw.cur_wind = 0;
  std::string path, text;
  const auto frame = [&] {
    BTN_begin_focus_ring();
    BTN_enterstring(100, 100, &path, 64, "", 200, 1, field_chars::path);
    BTN_enterstring(100, 60, &text, 64, "", 200, 0);
  };
  const auto type = [](const std::string& keys) {
    for (char c : keys) {
      const int ch = static_cast<unsigned char>(c);
      const bool letter = (ch >= 'a' && ch <= 'z');
      BTN_dispatch_to_focus(ch, ch == 9 ? 9 : (letter ? ch - 'a' + 'A' : 0), 8);
    }
  };
  focus_id = 0;
  frame();
  type("abc\tdef");
  frame();
  EXPECT_EQ(path, "abc");
  EXPECT_EQ(text, "def");

  type("\xE9");
  frame();
  EXPECT_EQ(text, "def\xE9");
  BTN_dispatch_to_focus(9, 9, 8 | 1);  // Shift-Tab: the path field, its text selected
  type("\xE9");
  frame();
  EXPECT_EQ(path, "abc") << "nothing typed in place of the selection";
  type("_1");
  frame();
  EXPECT_EQ(path, "_1");
  focus_id = 0;
}

TEST_F(Widgets, ScriptedClicksAreTakenInOrderByTheButtonOfTheirLabel) {
  mnw.mouse_x = mnw.mouse_y = -500;
  BTN_script_click("B");
  BTN_script_click("A");
  EXPECT_EQ(BTN_script_pending(), 2);
  EXPECT_EQ(BTN_script_next(), "B");
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "A", "-"), 0);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "B", "-"), 1);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "B", "-"), 0);
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "A", "-"), 1);
  EXPECT_EQ(BTN_script_pending(), 0);
  EXPECT_EQ(BTN_script_next(), "");
  BTN_script_click("C");
  BTN_script_clear();
  EXPECT_EQ(BTN_action(10, 10, 50, 0, 1, "C", "-"), 0);
}

}  // namespace
