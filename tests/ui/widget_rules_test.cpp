// The rules of the widgets that need no window: numeric arithmetic, the
// text list's entries and codes, the folder chooser's levels and result, the
// list's type-ahead search, the slider's geometry and the text field's font
// callbacks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "ui/enterstring.h"
#include "ui/focus.h"
#include "ui/folder_chooser.h"
#include "ui/list_search.h"
#include "ui/numeric.h"
#include "ui/slider.h"
#include "ui/textlist.h"

using Strings = std::vector<std::string>;

TEST(NumericRules, StepsDigitsAndRounding) {
  EXPECT_EQ(num_cell_step(5, 2, 0), 100.0);
  EXPECT_EQ(num_cell_step(5, 2, 4), 0.01);
  EXPECT_EQ(num_cell_step(1, 0, 0), 1.0);
  EXPECT_NEAR(num_set_digit(123.45, 100.0, 9), 923.45, 1e-9);
  EXPECT_NEAR(num_set_digit(-123.45, 10.0, 0), -103.45, 1e-9) << "the sign stays";
  EXPECT_NEAR(num_set_digit(5.0, 0.1, 7), 5.7, 1e-9);

  EXPECT_EQ(num_normalise(0, 1, 4, 0), 1.0);
  EXPECT_EQ(num_normalise(7, 1, 4, 0), 4.0);
  EXPECT_EQ(num_normalise(1.25, -9, 9, 1), 1.3) << "halves away from zero";
  EXPECT_EQ(num_normalise(-1.25, -9, 9, 1), -1.3);
  EXPECT_EQ(num_normalise(NAN, 2, 9, 0), 2.0);
  // Far beyond what an int holds: nothing overflows.
  EXPECT_EQ(num_normalise(3e9, 0, 1e10, 0), 3e9);
  EXPECT_EQ(num_normalise(-9999999999.0, -1e10, 0, 0), -9999999999.0);
  EXPECT_DOUBLE_EQ(num_normalise(1e20, 0, 1e30, 3), 1e20);

  EXPECT_EQ(num_all_nines(1, 0), 9.0);
  EXPECT_NEAR(num_all_nines(5, 2), 999.99, 1e-9);
  EXPECT_EQ(num_all_nines(12, 0), 9999999999.0) << "digit counts beyond 10 take 10";
  EXPECT_EQ(num_all_nines(0, 0), 9.0);
}

TEST(NumericRules, CharacterFieldAlphabet) {
  EXPECT_EQ(chars_alphabet_at(chars_alphabet_index('A') + 1), 'B');
  EXPECT_EQ(chars_alphabet_at(chars_alphabet_index(' ') - 1), '-');
  EXPECT_EQ(chars_alphabet_at(chars_alphabet_index('-') + 1), ' ');
  EXPECT_EQ(chars_alphabet_at(chars_alphabet_index('b') - 1), 'A');
  EXPECT_EQ(chars_alphabet_index('#'), chars_alphabet_index('0'));
}

TEST(TextListRules, EntriesAndCodes) {
  Strings e;
  EXPECT_EQ(textlist_entries("Macintosh-Windows-Linux", &e), 0);
  EXPECT_EQ(e, (Strings{"Macintosh", "Windows", "Linux"}));
  EXPECT_EQ(textlist_entries("", &e), 0);
  EXPECT_EQ(e, Strings{""});
  EXPECT_EQ(textlist_entries("-a-", &e), 0);
  EXPECT_EQ(e, (Strings{"", "a", ""}));
  EXPECT_EQ(textlist_entries("a|b", &e), 1);
  EXPECT_EQ(textlist_entries(std::string(299, '-'), &e), 0);
  EXPECT_EQ(e.size(), 300u);
  EXPECT_EQ(textlist_entries(std::string(300, '-'), &e), 2);

  EXPECT_EQ(textlist_code(200, 310), 317640);
  EXPECT_NE(textlist_code(0.5f, 0.0f), 0) << "no box has the idle code";
  EXPECT_NE(textlist_code(0.0f, 0.0f), 0);
  EXPECT_EQ(textlist_code(1e9f, 1e9f), INT_MAX);
}

TEST(FolderChooserRules, LevelsShowBlanksAndKeepThePath) {
  chooser_levels lv = chooser_make_levels("/home/user/");
  EXPECT_EQ(lv.slots, (Strings{"/", "/home/", "/home/user/"}));
  EXPECT_EQ(lv.list, "/-home-user");
  lv = chooser_make_levels("/");
  EXPECT_EQ(lv.slots, Strings{"/"});
  EXPECT_EQ(lv.list, "/");
  lv = chooser_make_levels("/a-b/c|d/");
  EXPECT_EQ(lv.slots, (Strings{"/", "/a-b/", "/a-b/c|d/"}));
  EXPECT_EQ(lv.list, "/-a b-c d") << "neither '-' nor '|' reaches the pop-up";
  Strings parsed;
  EXPECT_EQ(textlist_entries(lv.list, &parsed), 0);
  EXPECT_EQ(parsed.size(), 3u);
  EXPECT_EQ(chooser_shown_name("x|y-z"), "x y-z");

  std::string deep = "/";
  for (int i = 0; i < 350; ++i) deep += "d" + std::to_string(i) + "/";
  lv = chooser_make_levels(deep);
  ASSERT_EQ(lv.slots.size(), kChooserMaxLevels);
  EXPECT_EQ(lv.slots.back(), deep) << "the deepest levels are kept";
  EXPECT_EQ(lv.names.back(), "d349");
  EXPECT_EQ(textlist_entries(lv.list, &parsed), 0) << "the pop-up takes them all";
}

TEST(FolderChooserRules, ResultOfSelect) {
  const Strings names = {"alpha", "beta"};
  const std::vector<int> types = {1, 1};
  EXPECT_EQ(chooser_result("/data/", names, types, 1), "/data/beta/");
  EXPECT_EQ(chooser_result("//data/", names, types, 0), "/data/alpha/");
  EXPECT_EQ(chooser_result("/data/", {}, {}, 0), "/data/") << "an empty folder gives itself";
  EXPECT_EQ(chooser_result("/data/", names, types, 5), "/data/");
  EXPECT_EQ(chooser_result("///", names, types, -1), "/");
}

TEST(ListRules, TypeAheadFindsTheFirstPrefixInAnyCase) {
  Strings names = {"Alpha", "bar", "Baz", "ba"};
  EXPECT_EQ(list_find_prefix(0, 3, "ba", BTN_name_from_vector, &names), 1);
  EXPECT_EQ(list_find_prefix(0, 3, "BAZ", BTN_name_from_vector, &names), 2);
  EXPECT_EQ(list_find_prefix(2, 3, "bar", BTN_name_from_vector, &names), -1);
  EXPECT_EQ(list_find_prefix(0, 3, "q", BTN_name_from_vector, &names), -1);
  EXPECT_EQ(BTN_name_from_vector(9, &names), "");
  std::vector<int> types = {1};
  EXPECT_EQ(BTN_type_from_vector(-1, &types), 0);
}

TEST(SliderRules, ThumbAndDrag) {
  EXPECT_EQ(vert_slider_thumb_y(100, 300, 0, 100, 0), 290.0f) << "lo at the top";
  EXPECT_EQ(vert_slider_thumb_y(100, 300, 0, 100, 100), 109.0f);
  EXPECT_EQ(vert_slider_thumb_y(100, 300, 0, 100, 500), 109.0f) << "clamped";
  EXPECT_EQ(vert_slider_drag_pos(100, 300, 0, 100, 111), 100);
  EXPECT_EQ(vert_slider_drag_pos(100, 300, 0, 100, 50), 100);
  EXPECT_EQ(vert_slider_drag_pos(100, 300, 0, 100, 289), 0);
  EXPECT_EQ(vert_slider_drag_pos(100, 300, 0, 100, 200), 50);
  EXPECT_EQ(vert_slider_drag_pos(100, 122, 4, 8, 0), 6) << "no track: the middle";
  EXPECT_EQ(vert_slider_drag_pos(100, 300, INT_MIN, INT_MAX, 111), INT_MAX) << "no overflow";
  EXPECT_GE(vert_slider_thumb_y(100, 300, INT_MIN, INT_MAX, 0), 109.0f);
}

TEST(TextFieldCallbacks, MeasureFitAndWordBreakOverTheFont) {
  const std::string wi = "Wi", abc = "abc", words = "  ab cd";
  EXPECT_EQ(OGLE_cbs.MeasureString(nullptr, wi.data(), wi.data()), 0.0f);
  EXPECT_EQ(OGLE_cbs.MeasureString(nullptr, wi.data(), wi.data() + 2), 14.0f);
  const char* a = abc.data();
  EXPECT_EQ(OGLE_cbs.FitStringFwd(nullptr, a, a + 3, 0.5f), 1);
  EXPECT_EQ(OGLE_cbs.FitStringFwd(nullptr, a, a + 3, 6.0f), 1);
  EXPECT_EQ(OGLE_cbs.FitStringFwd(nullptr, a, a + 3, 6.5f), 2);
  EXPECT_EQ(OGLE_cbs.FitStringFwd(nullptr, a, a + 3, 100.0f), 3);
  EXPECT_EQ(OGLE_cbs.FitStringFwd(nullptr, a, a + 3, 0.0f), 0);
  EXPECT_EQ(OGLE_cbs.FitStringRev(nullptr, a, a + 3, 0.0f), 1);
  EXPECT_EQ(OGLE_cbs.FitStringRev(nullptr, a, a + 3, 6.0f), 2) << "c (5) leaves 1, then b";
  EXPECT_EQ(OGLE_cbs.WordBreak(nullptr, words.data(), words.data() + words.size()), words.data() + 4);
  EXPECT_EQ(OGLE_cbs.GetLineHeight(nullptr), 11.0f);
}
