// Keyboard translation with injected keysyms, and what a translated key does:
// the focused field, the hit flags, the last key and the key commands.
#include "window/keys.h"

#include <gtest/gtest.h>

#include <set>

#include "ui/focus.h"
#include "window/cmnd.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

constexpr long kPressType = 2, kReleaseType = 3;
constexpr long kShift = 1, kLock = 2, kControl = 4, kAlt = 8, kNumLock = 16;

// A key whose two levels are the same keysym, as most function keys are.
key_event one(unsigned long keysym, long state = 0, long type = kPressType, const char* name = "x") {
  return keys_class::translate(type, keysym, keysym, name, keysym, state);
}

struct Expect {
  int vkey, ch, flags;
};
void expect(const key_event& e, Expect want, const char* what) {
  EXPECT_FALSE(e.drop) << what;
  EXPECT_EQ(e.vkey, want.vkey) << what;
  EXPECT_EQ(e.ch, want.ch) << what;
  EXPECT_EQ(e.flags, want.flags) << what;
}

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw.cur_wind = 0;
    mnw.keys_off = 0;
    mnw.last_char = 0;
    return_hit = escape_hit = delete_hit = 0;
    focus_id = 0;
    BTN_begin_focus_ring();
    k.last_vkey = k.last_flags = 0;
  }
  void TearDown() override {
    SetUp();
    cmnd = cmnd_class();
  }
  keys_class k;
};

}  // namespace

TEST(KeyTables, EveryKeysymOnceAndTheVocabularyComplete) {
  ASSERT_EQ(kLinMappingsCount, 109);
  ASSERT_EQ(kLinMappingsNumbersCount, 10);
  std::set<uint32_t> seen;
  for (int i = 0; i < kLinMappingsCount; ++i) EXPECT_TRUE(seen.insert(kLinMappings[i].keysym).second);
  EXPECT_EQ(kLinMappings[0].keysym, 0xFF08u);
  EXPECT_EQ(kLinMappings[108].vkey, 189);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(kLinMappingsNumbers[i].vkey, 48 + i);
}

TEST(KeyTranslation, LettersAndModifiers) {
  expect(keys_class::translate(kPressType, 'a', 'a', "a", 'A', 0), {65, 'a', 8}, "a");
  expect(keys_class::translate(kReleaseType, 'a', 'a', "a", 'A', 0), {65, 'a', 16}, "a released");
  expect(keys_class::translate(kPressType, 'a', 'A', "A", 'A', kShift), {65, 'A', 9}, "Shift+a");
  expect(keys_class::translate(kPressType, 'a', 'a', "a", 'A', kControl), {65, 0, 12}, "Control+a");
  expect(keys_class::translate(kPressType, 'a', 'a', "a", 'A', kAlt), {65, 0, 10}, "Alt+a");
  expect(keys_class::translate(kPressType, 'a', 'a', "a", 'A', kLock), {65, 'a', 8}, "Caps Lock is ignored");
  expect(one(0xFF51, kControl), {37, 28, 12}, "Control+Left");
  expect(one(0xFF54), {40, 31, 8}, "Down");
  expect(one(0xFF08), {8, 8, 8}, "BackSpace");
  expect(one(0xFF09, kShift), {9, 9, 9}, "Shift+Tab");
  expect(one(0xFF0D), {13, 13, 8}, "Return");
  expect(one(0xFF1B), {27, 27, 8}, "Escape");
  expect(one(0x7D), {178, 0x7D, 8}, "the brace keysym");
}

TEST(KeyTranslation, FunctionKeysCarryNoCharacter) {
  expect(one(0xFFFF), {46, 0, 8}, "Delete");
  expect(one(0xFF50), {36, 0, 8}, "Home");
  expect(one(0xFF57), {35, 0, 8}, "End");
  expect(one(0xFF63), {45, 0, 8}, "Insert");
  expect(one(0xFF55), {33, 0, 8}, "PageUp");
  expect(one(0xFFBE), {112, 0, 8}, "F1");
  expect(one(0xFF8D), {188, 13, 8}, "keypad Enter is a Return");
  expect(one(0xE9), {0, 0xE9, 8}, "a Latin-1 letter outside the table still types");
  expect(one(0x6C1), {0, 0, 8}, "a keysym beyond Latin-1 gives no byte");
}

TEST(KeyTranslation, DigitsAndTheKeypad) {
  expect(one(0xFFB5), {101, '5', 8}, "keypad 5 with KP_5 at the base");
  // A keypad key whose first level is its cursor function.
  const unsigned long kp_begin = 0xFF9D, kp_5 = 0xFFB5;
  expect(keys_class::translate(kPressType, kp_begin, kp_5, "KP_5", kp_5, kShift), {101, '5', 9}, "Shift selects the digit");
  expect(keys_class::translate(kPressType, kp_begin, kp_begin, "KP_Begin", kp_5, kNumLock), {101, '5', 8},
         "Num Lock selects the digit");
  expect(keys_class::translate(kPressType, kp_begin, kp_begin, "KP_Begin", kp_5, 0), {0, 0, 8},
         "without either it is no digit");
  expect(keys_class::translate(kPressType, 0xFF9F, 0xFF9F, "KP_Delete", 0xFFAE, kNumLock), {110, '.', 8},
         "the keypad decimal point");
  // A layout whose digit key gives a sign unshifted and the digit shifted.
  expect(keys_class::translate(kPressType, '&', '&', "ampersand", '1', 0), {49, '&', 8}, "digit by its shifted keysym");
}

TEST(KeyTranslation, LockAndModifierKeysAreDropped) {
  EXPECT_TRUE(one(0xFFE5, 0, kPressType, "Caps_Lock").drop);
  EXPECT_TRUE(one(0xFF7F, 0, kPressType, "Num_Lock").drop);
  EXPECT_TRUE(one(0xFF14, 0, kReleaseType, "Scroll_Lock").drop);
  EXPECT_TRUE(one(0xFFE1, 0, kPressType, "Shift_L").drop);
  EXPECT_TRUE(one(0xFFE3, kControl, kPressType, "Control_L").drop);
  EXPECT_FALSE(one(0xFFE4, kControl, kPressType, "Control_R").drop) << "only the left ones by name";
  EXPECT_TRUE(keys_class::translate(7, 0, 0, nullptr, 0, 0).drop) << "nothing at all";
  EXPECT_FALSE(one(0, 0, kPressType, nullptr).drop) << "a key without a name still travels";
}

TEST_F(KeysTest, UntakenKeysRaiseTheFlagsOfTheFrame) {
  k.deliver(one(0xFF0D));
  EXPECT_EQ(return_hit, 1);
  EXPECT_EQ(mnw.last_char, 13);
  EXPECT_EQ(k.last_vkey, 13);

  SetUp();
  k.deliver(one(0xFF8D));
  EXPECT_EQ(return_hit, 1) << "keypad Enter";
  EXPECT_EQ(k.last_vkey, 188);

  SetUp();
  k.deliver(one(0xFF1B));
  EXPECT_EQ(escape_hit, 1);
  EXPECT_EQ(return_hit + delete_hit, 0);
  k.deliver(one(0xFF08));
  EXPECT_EQ(delete_hit, 1);
  SetUp();
  k.deliver(one(0xFFFF));
  EXPECT_EQ(delete_hit, 1);
  EXPECT_EQ(mnw.last_char, 0) << "Delete has no character";

  SetUp();
  k.deliver(one(0xFF0D, kShift, kReleaseType));
  k.deliver(one(0xFF1B, 0, kReleaseType));
  EXPECT_EQ(return_hit + escape_hit + delete_hit, 0) << "releases raise nothing";
  EXPECT_EQ(k.last_vkey, 27);
  EXPECT_EQ(k.last_flags, 0);

  k.deliver(one(0xFFE5, 0, kPressType, "Caps_Lock"));
  EXPECT_EQ(k.last_vkey, 27) << "a lock key changes nothing";
}

TEST_F(KeysTest, AKeyTakenByTheFocusedFieldGoesNoFurther) {
  int chars[64], vkeys[64], flags[64], ids[64], ctr = 0;
  BTN_register_focus(77, chars, vkeys, flags, ids, &ctr, 64, 0x1F4, 1);
  k.deliver(one(0xFFFF));
  k.deliver(keys_class::translate(kPressType, 'q', 'q', "q", 'Q', 0));
  EXPECT_EQ(ctr, 2);
  EXPECT_EQ(vkeys[0], 46);
  EXPECT_EQ(chars[1], 'q');
  EXPECT_EQ(delete_hit, 0);
  EXPECT_EQ(k.last_vkey, 0);
  EXPECT_EQ(mnw.last_char, 0);
  k.deliver(one(0xFF0D));
  EXPECT_EQ(return_hit, 1) << "Return is never a field's";
}

TEST_F(KeysTest, BoundKeysPressAndReleaseTheirCommands) {
  const int c = cmnd.add_cmd("sim/test/fire", "Test command");
  k.bindings.push_back({65, 4, c, 0});
  k.deliver(keys_class::translate(kPressType, 'a', 'a', "a", 'A', kControl));
  EXPECT_EQ(cmnd.press_counts[static_cast<std::size_t>(c)], 1);
  EXPECT_EQ(k.bindings[0].pressed, 1);
  k.run_repeat_keys();
  k.deliver(keys_class::translate(kReleaseType, 'a', 'a', "a", 'A', 0));
  EXPECT_EQ(cmnd.press_counts[static_cast<std::size_t>(c)], 0) << "released without Control still releases";
  EXPECT_EQ(k.bindings[0].pressed, 0);

  k.deliver(keys_class::translate(kPressType, 'a', 'a', "a", 'A', 0));
  EXPECT_EQ(cmnd.press_counts[static_cast<std::size_t>(c)], 0) << "modifiers must match exactly";

  mnw.keys_off = 1;
  k.deliver(keys_class::translate(kPressType, 'a', 'a', "a", 'A', kControl));
  EXPECT_EQ(k.bindings[0].pressed, 0) << "commands are off";
  k.bindings.push_back({188, 0, c, 0});
  k.deliver(one(0xFF8D));
  EXPECT_EQ(k.bindings[1].pressed, 1) << "except for the Return keys";
  mnw.keys_off = 0;

  mnw.cur_wind = wind_opensave;
  k.handle_key(0, 65, 4 | 8);
  EXPECT_EQ(k.bindings[0].pressed, 1) << "handle_key does not look at the window";

  k.keys_io(1);
  EXPECT_EQ(k.bindings.size(), 2u);
  k.keys_io(0);
  ASSERT_EQ(k.bindings.size(), 1u);
  EXPECT_EQ(k.bindings[0].vkey, 0);
  EXPECT_EQ(k.bindings[0].cmnd_index, 0);
  EXPECT_EQ(k.bindings[0].pressed, 1) << "the first row keeps its pressed state";
}

TEST_F(KeysTest, ReturnClosesAClosableSubWindow) {
  MACIBM_startwind(wind_prefs, 0);
  k.last_vkey = 5;
  k.deliver(one(0xFF0D));
  EXPECT_EQ(mnw.cur_wind, 0) << "the options window closes";
  EXPECT_EQ(k.last_vkey, 5) << "and the press is not recorded";

  MACIBM_startwind(wind_file_dialog, 0);
  k.deliver(one(0xFF8D));
  EXPECT_EQ(mnw.cur_wind, wind_file_dialog) << "the folder chooser is left only by its buttons";
  EXPECT_EQ(return_hit, 1);
  MACIBM_startwind(0, 0);
}
