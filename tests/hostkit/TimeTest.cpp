#include "Port/Time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

UT_CPUTIME::TimeVal Normalized(std::int64_t sec, std::int64_t usec) {
  UT_CPUTIME::TimeVal value{sec, usec};
  UT_CPUTIME::normalize(value);
  return value;
}

TEST(TimeTest, NormalizeCarriesWholeSecondsDown) {
  struct Case {
    std::int64_t sec, usec, wantSec, wantUsec;
  } const cases[] = {
      {5, 250000, 5, 250000},       {0, 1000000, 1, 0},           {1, 3500000, 4, 500000},
      {0, -1, -1, 999999},          {0, -1000000, -1, 0},         {5, -2500000, 2, 500000},
      {-3, -1, -4, 999999},         {0, 1000000000007, 1000000, 7}, {10, -1000000000001, -999991, 999999},
  };
  for (const Case& c : cases) {
    const auto v = Normalized(c.sec, c.usec);
    EXPECT_EQ(v.sec, c.wantSec) << c.sec << "s " << c.usec << "us";
    EXPECT_EQ(v.usec, c.wantUsec) << c.sec << "s " << c.usec << "us";
  }
}

TEST(TimeTest, CurrentTimeIsPlausible) {
  UT_CPUTIME::TimeVal now;
  ASSERT_EQ(UT_CPUTIME::GetCurrTime(now), 0);
  const std::int64_t wall = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_GT(now.sec, 1577836800);  // 2020-01-01
  EXPECT_LE(std::abs(now.sec - wall), 2);
  EXPECT_GE(now.usec, 0);
  EXPECT_LT(now.usec, 1000000);
}

TEST(TimeTest, CTimeMatchesLibraryForm) {
  Port::StringBase<char> text;
  for (std::int64_t seconds : {std::int64_t{0}, std::int64_t{1700000000}, std::int64_t{951782400}}) {
    UT_TIME::CTime(&seconds, text);
    const std::time_t t = static_cast<std::time_t>(seconds);
    char expected[64];
    ASSERT_NE(ctime_r(&t, expected), nullptr);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.size(), 25u);
    EXPECT_EQ(text.str().back(), '\n');
  }
  UT_TIME::CTime(nullptr, text);
  EXPECT_TRUE(text.empty());
}

}  // namespace
