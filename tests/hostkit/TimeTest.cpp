#include "Port/Time.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

TEST(TimeTest, NormalizeCarriesWholeSecondsIntoTheSecondsLeavingMicrosecondsInRange) {
  struct Case {
    std::int64_t sec, usec, wantSec, wantUsec;
  } const cases[] = {{5, 250000, 5, 250000},       {1, 3500000, 4, 500000},
                     {0, -1, -1, 999999},           {5, -2500000, 2, 500000},
                     {0, -1000000, -1, 0},          {-3, -1, -4, 999999},
                     {0, 1000000000007, 1000000, 7}, {10, -1000000000001, -999991, 999999}};
  for (const Case& c : cases) {
    UT_CPUTIME::TimeVal v{c.sec, c.usec};
    UT_CPUTIME::normalize(v);
    EXPECT_TRUE(v.sec == c.wantSec && v.usec == c.wantUsec) << c.sec << "s " << c.usec << "us";
  }
}

TEST(TimeTest, CTimeMatchesTheLibraryFormAndIsEmptyForNull) {
  Port::StringBase<char> text;
  std::int64_t seconds = 1700000000;
  const std::time_t t = static_cast<std::time_t>(seconds);
  char expected[64];
  ASSERT_NE(ctime_r(&t, expected), nullptr);
  UT_TIME::CTime(&seconds, text);
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.str().back(), '\n');
  UT_TIME::CTime(nullptr, text);
  EXPECT_TRUE(text.empty());
}

}  // namespace
