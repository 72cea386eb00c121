// Key names: display names, code names and typed characters, and the
// look-ups of the binding table.
#include "window/key_names.h"

#include <gtest/gtest.h>

#include <string>

#include "window/keys.h"

TEST(KeyNames, NamesRoundTripAndUnnamedCodesFallBack) {
  int count = 0;
  for (const key_name_row* r = kKeyNameTable; r->display_name; ++r, ++count) {
    EXPECT_EQ(keys_class::str_to_vkey(r->display_name), r->vkey) << r->display_name;
    EXPECT_EQ(keys_class::vkey_to_str(r->vkey), r->display_name);
    EXPECT_EQ(keys_class::vkey_to_code(r->vkey), r->code_name);
  }
  EXPECT_EQ(count, 110);
  EXPECT_EQ(keys_class::vkey_to_str(108), "<none>");
  EXPECT_EQ(keys_class::vkey_to_code(108), "108");
  EXPECT_EQ(keys_class::vkey_to_str(256 + 8), "Backspace") << "key codes are 8-bit";
  EXPECT_EQ(keys_class::str_to_vkey("numpad-enter"), 188);
  EXPECT_EQ(keys_class::str_to_vkey("Page"), 0);

  for (int f = 0; f < 8; ++f) EXPECT_EQ(keys_class::str_to_flag(keys_class::flag_to_str(f)), f);
  EXPECT_EQ(keys_class::flag_to_str(8), "<none>");
  EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_code(0), "0");
  EXPECT_EQ(keys_class::flag_to_code(5), "kvrm_ShiftFlag+kvrm_ControlFlag");
}

TEST(KeyNames, TypedCharactersGiveTheirKeyAndShift) {
  int vkey = -1, shift = -1;
  EXPECT_EQ(keys_class::ascii_to_vkey('\r', vkey, shift), 1);
  EXPECT_EQ(vkey + shift, 13);
  EXPECT_EQ(keys_class::ascii_to_vkey(30, vkey, shift), 1);
  EXPECT_EQ(vkey, 38) << "30 is the Up arrow";
  EXPECT_EQ(keys_class::ascii_to_vkey(200, vkey, shift), 0);
  EXPECT_EQ(vkey + shift, 0);
  // The two characters of every key of the US layout share its code, the
  // second with Shift ('&' on the 7 key, '}' on the ']' key included).
  const std::string plain = "`1234567890-=[]\\;',./abcxyz", shifted = "~!@#$%^&*()_+{}|:\"<>?ABCXYZ";
  for (std::size_t i = 0; i < plain.size(); ++i) {
    int v1 = 0, s1 = 0, v2 = 0, s2 = 0;
    ASSERT_EQ(keys_class::ascii_to_vkey(plain[i], v1, s1) + keys_class::ascii_to_vkey(shifted[i], v2, s2), 2);
    EXPECT_EQ(v1, v2) << plain[i] << shifted[i];
    EXPECT_EQ(s1 * 2 + s2, 1) << plain[i] << shifted[i];
    EXPECT_NE(keys_class::vkey_to_str(v1), "<none>");
  }
}

TEST(KeyNames, BindingLookUps) {
  keys_class k;
  k.bindings = {{65, 5, 3, 0}, {65, 0, 4, 0}, {8, 0, 6, 0}, {0, 0, 7, 0}};
  EXPECT_EQ(k.key_bound_to(65, 5), 3);
  EXPECT_EQ(k.key_bound_to(65, 1), 0) << "modifiers match exactly";
  EXPECT_EQ(k.get_key_for_cmnd(3), "SHIFT+CTRL-a");
  EXPECT_EQ(k.get_key_for_cmnd(4), "a");
  EXPECT_EQ(k.get_key_for_cmnd(6), "backspace");
  EXPECT_EQ(k.get_key_for_cmnd(7), "<none>");
  EXPECT_EQ(k.get_key_for_cmnd(9), "");
}
