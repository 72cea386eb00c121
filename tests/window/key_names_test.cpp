// Key names: display names, code names and typed characters, and the
// look-ups of the binding table.
#include "window/key_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "window/keys.h"

TEST(KeyNames, DisplayAndCodeNamesRoundTrip) {
  std::set<int> seen;
  int last = 0;
  for (const key_name_row* r = kKeyNameTable; r->display_name; ++r) {
    ASSERT_GT(r->vkey, last) << "ascending key codes";
    last = r->vkey;
    seen.insert(r->vkey);
    EXPECT_EQ(keys_class::str_to_vkey(r->display_name), r->vkey) << r->display_name;
    EXPECT_EQ(keys_class::vkey_to_str(r->vkey), r->display_name);
    EXPECT_EQ(keys_class::vkey_to_code(r->vkey), r->code_name);
    EXPECT_EQ(std::string(r->code_name).rfind("KVRM_VK_", 0), 0u);
  }
  EXPECT_EQ(seen.size(), 110u);
  EXPECT_EQ(seen.count(108), 0u) << "the keypad separator has no name";

  EXPECT_EQ(keys_class::vkey_to_str(8), "Backspace");
  EXPECT_EQ(keys_class::vkey_to_str(182), "\\");
  EXPECT_EQ(keys_class::vkey_to_str(108), "<none>");
  EXPECT_EQ(keys_class::vkey_to_str(0), "<none>");
  EXPECT_EQ(keys_class::vkey_to_str(256 + 8), "Backspace") << "key codes are 8-bit";
  EXPECT_EQ(keys_class::vkey_to_code(108), "108");
  EXPECT_EQ(keys_class::vkey_to_code(44), "KVRM_VK_SNAPSHOT");
  EXPECT_EQ(keys_class::vkey_to_code(33), "KVRM_VK_PRIOR");
  EXPECT_EQ(keys_class::str_to_vkey("pageup"), 33);
  EXPECT_EQ(keys_class::str_to_vkey("numpad-enter"), 188);
  EXPECT_EQ(keys_class::str_to_vkey("NUMPAD--"), 109);
  EXPECT_EQ(keys_class::str_to_vkey(""), 0);
  EXPECT_EQ(keys_class::str_to_vkey("Page"), 0) << "a prefix is not a name";
  EXPECT_EQ(keys_class::str_to_vkey("PageUpX"), 0);
}

TEST(KeyNames, TypedCharactersGiveTheirKeyAndShift) {
  int vkey = -1, shift = -1;
  EXPECT_EQ(keys_class::ascii_to_vkey('A', vkey, shift), 1);
  EXPECT_EQ(vkey, 65);
  EXPECT_EQ(shift, 1);
  EXPECT_EQ(keys_class::ascii_to_vkey('\r', vkey, shift), 1);
  EXPECT_EQ(vkey, 13);
  EXPECT_EQ(shift, 0);
  EXPECT_EQ(keys_class::ascii_to_vkey(30, vkey, shift), 1);
  EXPECT_EQ(vkey, 38) << "character 30 is the Up arrow";
  EXPECT_EQ(keys_class::ascii_to_vkey(200, vkey, shift), 0);
  EXPECT_EQ(vkey, 0);
  EXPECT_EQ(shift, 0);
  vkey = shift = 7;
  EXPECT_EQ(keys_class::ascii_to_vkey(0, vkey, shift), 0) << "the end row is never found";
  EXPECT_EQ(vkey + shift, 0);

  // Every printable character is typed by a named key, and with Shift
  // exactly when the US layout needs it: the shifted row of each key holds
  // the character's neighbour on the same key.
  const std::string unshifted = "`1234567890-=[]\\;',./", shifted = "~!@#$%^&*()_+{}|:\"<>?";
  for (std::size_t i = 0; i < unshifted.size(); ++i) {
    int v1 = 0, s1 = 0, v2 = 0, s2 = 0;
    ASSERT_EQ(keys_class::ascii_to_vkey(unshifted[i], v1, s1), 1);
    ASSERT_EQ(keys_class::ascii_to_vkey(shifted[i], v2, s2), 1);
    EXPECT_EQ(v1, v2) << "'" << unshifted[i] << "' and '" << shifted[i] << "' share a key";
    EXPECT_EQ(s1, 0);
    EXPECT_EQ(s2, 1);
  }
  for (int c = 32; c < 127; ++c) {
    ASSERT_EQ(keys_class::ascii_to_vkey(c, vkey, shift), 1) << c;
    EXPECT_NE(keys_class::vkey_to_str(vkey), "<none>") << c;
  }
  keys_class::ascii_to_vkey('&', vkey, shift);
  EXPECT_EQ(vkey, 55);
  keys_class::ascii_to_vkey('}', vkey, shift);
  EXPECT_EQ(vkey, 178);
}

TEST(KeyNames, ModifierWordsReadBack) {
  EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
  EXPECT_EQ(keys_class::flag_to_str(8), "<none>");
  EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(6 | 16), "ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_code(0), "0");
  EXPECT_EQ(keys_class::flag_to_code(5), "kvrm_ShiftFlag+kvrm_ControlFlag");
  EXPECT_EQ(keys_class::flag_to_code(2), "kvrm_OptionAltFlag");
  for (int f = 0; f < 8; ++f) EXPECT_EQ(keys_class::str_to_flag(keys_class::flag_to_str(f)), f) << f;
  EXPECT_EQ(keys_class::str_to_flag("CTRLSHIFT"), 5) << "words run together";
  EXPECT_EQ(keys_class::str_to_flag("shift"), 0) << "case counts";
}

TEST(KeyNames, BindingLookUps) {
  keys_class k;
  k.bindings = {{65, 5, 3, 0}, {65, 0, 4, 0}, {112, 1, 3, 0}, {8, 0, 6, 0}, {0, 0, 7, 0}};
  EXPECT_EQ(k.key_bound_to(65, 5), 3);
  EXPECT_EQ(k.key_bound_to(65, 0), 4);
  EXPECT_EQ(k.key_bound_to(65, 1), 0) << "modifiers must match exactly";
  EXPECT_EQ(k.get_key_for_cmnd(3), "SHIFT+CTRL-a") << "the first binding of the command";
  EXPECT_EQ(k.get_key_for_cmnd(4), "a");
  EXPECT_EQ(k.get_key_for_cmnd(6), "backspace");
  EXPECT_EQ(k.get_key_for_cmnd(7), "<none>");
  EXPECT_EQ(k.get_key_for_cmnd(9), "");
  k.bindings[0].flags = 1;
  k.bindings[0].vkey = 112;
  EXPECT_EQ(k.get_key_for_cmnd(3), "SHIFT-f1");
}
