#include <gtest/gtest.h>

#include "wizard/wizard.h"

TEST(StrToInt, Numbers) {
  EXPECT_EQ(str_to_int("0"), 0);
  EXPECT_EQ(str_to_int("42"), 42);
  EXPECT_EQ(str_to_int("+45"), 45);
  EXPECT_EQ(str_to_int("-073"), -73);
  EXPECT_EQ(str_to_int("123456789"), 123456789);
  EXPECT_EQ(str_to_int("-123456789"), -123456789);
}

TEST(StrToInt, RefusedTextGivesMinusOne) {
  EXPECT_EQ(str_to_int(""), -1);
  EXPECT_EQ(str_to_int("12a"), -1);
  EXPECT_EQ(str_to_int(" 1"), -1);
  EXPECT_EQ(str_to_int("1234567890"), -1) << "more than nine digits";
  EXPECT_EQ(str_to_int("+1234567890"), -1);
  EXPECT_EQ(str_to_int("-"), -1) << "a lone sign";
  EXPECT_EQ(str_to_int("+"), -1);
  EXPECT_EQ(str_to_int("999999999"), 999999999);
  EXPECT_EQ(str_to_int("-0"), 0);
}

TEST(StrToInt, InnerSignsCountAsDigits) {
  EXPECT_EQ(str_to_int("1-"), 9);   // 1 * 10 - 1
  EXPECT_EQ(str_to_int("2+"), 21);
  EXPECT_EQ(str_to_int("+-"), -1);  // sign +, then the digit -1
}
