#include <gtest/gtest.h>

#include <cstdlib>
#include <iomanip>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/globals.h"
#include "support/temp_dir.h"

TEST(IntRand, EqualBoundsReturnThemWithoutDrawing) {
  srand(7);
  const int expected_next = rand();
  srand(7);
  EXPECT_EQ(int_rand(3, 3), 3);
  EXPECT_EQ(int_rand(0, 0), 0);
  EXPECT_EQ(rand(), expected_next) << "equal bounds must not consume a random number";
}

TEST(IntRand, StaysInRangeAndReachesEveryValue) {
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int v = int_rand(0, 9);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 9);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 10u);
  for (int i = 0; i < 200; ++i) {
    const int v = int_rand(-5, -3);
    ASSERT_GE(v, -5);
    ASSERT_LE(v, -3);
  }
}

TEST(IntRand, WidestRangeDoesNotOverflow) {
  for (int i = 0; i < 100; ++i) {
    const int v = int_rand(INT32_MIN, INT32_MAX);
    (void)v;  // every int is in range; the check is that UBSan sees no overflow
  }
  for (int i = 0; i < 100; ++i) EXPECT_LE(int_rand(INT32_MIN, INT32_MIN + 1), INT32_MIN + 1);
}

TEST(IntRandDeathTest, ReversedRangeIsFatal) {
  EXPECT_EXIT(int_rand(5, 4), ::testing::ExitedWithCode(1), "int rand range negative!(.|\n)*lo=5 hi=4");
}

namespace {
std::string fmt(float v, int digits, int decimals, int blank_sign) {
  std::string s = "unchanged";
  flt_to_str(v, &s, digits, decimals, blank_sign);
  return s;
}
}  // namespace

TEST(FltToStr, FieldLayout) {
  EXPECT_EQ(fmt(3.14159f, 5, 2, 0), "  3.14");
  EXPECT_EQ(fmt(-2.5f, 3, 1, 0), "- 2.5");
  EXPECT_EQ(fmt(2.5f, 3, 1, 1), "  2.5");
  EXPECT_EQ(fmt(0.004f, 3, 2, 0), "0.00");
  EXPECT_EQ(fmt(7.0f, 5, 0, 0), "    7");
  EXPECT_EQ(fmt(0.0f, 4, 0, 0), "   0");
  EXPECT_EQ(fmt(1234.5f, 6, 1, 0), " 1234.5");
  EXPECT_EQ(fmt(105.0f, 5, 0, 0), "  105") << "inner zeros stay";
}

TEST(FltToStr, NarrowFieldsAndSigns) {
  EXPECT_EQ(fmt(123.0f, 0, 0, 0), "123");
  EXPECT_EQ(fmt(-0.001f, 1, 0, 0), "-0") << "the sign follows the value before rounding";
  EXPECT_EQ(fmt(-3.25f, 1, 2, 0), "-3.25");
  EXPECT_EQ(fmt(9.996f, 3, 2, 0), "10.00") << "rounding carries into the whole part";
  EXPECT_EQ(fmt(2.5f, 1, 0, 0), "3") << "halves round away from zero";
  EXPECT_EQ(fmt(-2.5f, 1, 0, 0), "-3");
}

TEST(FltToStr, NegativeDecimalsLeaveOutputUnchanged) {
  EXPECT_EQ(fmt(1.5f, 3, -1, 0), "unchanged");
  EXPECT_EQ(fmt(0.0f, 0, -7, 1), "unchanged");
}

TEST(FltToStr, HugeAndManyDecimalsStayDefined) {
  // More decimals than an int scale can hold are capped, not undefined.
  EXPECT_EQ(fmt(1.0f, 12, 12, 0), "  1.000000000");
  EXPECT_EQ(fmt(3e9f, 12, 0, 0), "3000000000") << "the whole part has at most ten digits";
}

TEST(NumberTables, SineCosineAndFixedRatios) {
  UTL_init_tables();
  EXPECT_FLOAT_EQ(lookup_sin[90], 1.0f);
  EXPECT_FLOAT_EQ(lookup_cos[0], 1.0f);
  EXPECT_NEAR(lookup_sin[30], 0.5f, 1e-6f);
  EXPECT_NEAR(lookup_cos[180], -1.0f, 1e-6f);
  EXPECT_NEAR(lookup_sin[360], 0.0f, 1e-5f);

  std::vector<float> first(randrat, randrat + 10000);
  for (float r : first) {
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
  UTL_init_tables();
  EXPECT_EQ(std::vector<float>(randrat, randrat + 10000), first) << "the ratios are the same in every run";
  srand(1);
  EXPECT_FLOAT_EQ(randrat[0], static_cast<float>(rand()) * 4.6561471e-10f);
}

TEST(LogStream, ThreadsWritingAtOnceLoseNothing) {
  TempDir dir;
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  ASSERT_TRUE(xer.is_open());
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int n = 0; n < 2000; ++n) {
        // A whole line in one piece stays whole; numbers go through the
        // formatting path character by character.
        xer << ("line " + std::to_string(t) + "\n");
        xer << n % 10;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  xer.close();
  EXPECT_FALSE(xer.fail());

  const std::string log = read_file(dir / "log.txt");
  std::size_t lines = 0;
  for (std::size_t at = log.find("line "); at != std::string::npos; at = log.find("line ", at + 1)) {
    ASSERT_LT(at + 6, log.size());
    EXPECT_EQ(log[at + 6], '\n');
    ++lines;
  }
  EXPECT_EQ(lines, 8000u);
  EXPECT_EQ(log.size(), 8000u * 7 + 8000u);
}

TEST(LogStream, LinesBuiltInPiecesStayWholeAndEachThreadFormatsItsOwn) {
  TempDir dir;
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  xer.setf(std::ios::fixed, std::ios::floatfield);
  constexpr int kLines = 3000;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      // Two threads switch to hexadecimal and a precision of their own;
      // the others must not see it.
      if (t % 2) xer << std::hex << std::setprecision(1);
      for (int n = 0; n < kLines; ++n) xer << "t" << t << " n=" << 255 << " x=" << 0.25 << " end\n";
    });
  }
  for (std::thread& w : writers) w.join();
  xer.close();

  std::istringstream log(read_file(dir / "log.txt"));
  int count[4] = {};
  for (std::string line; std::getline(log, line);) {
    ASSERT_EQ(line.size() > 2 && line[0] == 't', true) << line;
    const int t = line[1] - '0';
    ASSERT_TRUE(t >= 0 && t < 4) << line;
    EXPECT_EQ(line, t % 2 ? "t" + std::to_string(t) + " n=ff x=0.2 end" : "t" + std::to_string(t) + " n=255 x=0.250000 end");
    ++count[t];
  }
  for (int t = 0; t < 4; ++t) EXPECT_EQ(count[t], kLines) << t;
  xer.setf(std::ios::fmtflags(), std::ios::floatfield);
}

TEST(LogStream, ReopensAndAppends) {
  TempDir dir;
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  xer << "first " << 1 << "\n";
  xer.close();
  xer.open(dir / "log.txt", std::ios::out | std::ios::app);
  xer << "second " << 2.5 << "\n";
  xer.close();
  EXPECT_EQ(read_file(dir / "log.txt"), "first 1\nsecond 2.5\n");
  xer << "dropped while closed";
  xer.clear();
}
