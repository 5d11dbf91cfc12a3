// The host's value types: strings, ids and times.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Port/StringBase.h"
#include "Port/Time.h"
#include "Port/XUID.h"

namespace {

using String = Port::StringBase<char>;
using Port::XUID;

TEST(StringTest, TrimStripsTheChosenEndsSplitKeepsEmptyFieldsAndCompareIsByUnsignedBytes) {
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimLeading), "abcyx");
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimTrailing), "xyabc");
  EXPECT_EQ(String(" \t a b \t ").Trim(" \t", String::kTrimBoth), "a b");  // inner characters stay
  for (int mode : {String::kTrimLeading, String::kTrimTrailing, String::kTrimBoth}) {
    EXPECT_EQ(String("xxxx").Trim("x", mode), "") << mode;
    EXPECT_EQ(String("xax").Trim("", mode), "xax") << mode;
    EXPECT_EQ(String("xax").Trim(nullptr, mode), "xax") << mode;
  }
  const String accented("\xE9");  // compared as unsigned bytes, shorter first
  EXPECT_TRUE(accented.Compare("z") > 0 && String("z") < accented && !(accented < String("z")));
  EXPECT_TRUE(String("abc").Compare("abcd") < 0 && String("B").Compare("a") < 0);
  // Split keeps empty fields.
  auto fields = [](const char* text, const char* separators) {
    std::vector<std::string> out;
    for (const String& field : String(text).Split(separators)) out.push_back(field.str());
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(fields(",a,,b;", ",;"), (V{"", "a", "", "b", ""}));
  EXPECT_EQ(fields("", ","), (V{""}));
  EXPECT_EQ(fields("a,b", ""), (V{"a,b"}));
}

TEST(StringTest, FormatReplacesTheContentWithOutputOfAnyLength) {
  String s("old content");
  EXPECT_EQ(s.Format("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
  const std::string big(5000, 'q');
  EXPECT_EQ(s.Format("<%s>", big.c_str()).str(), "<" + big + ">");
  EXPECT_EQ(s.Format("%0*d", 2000, 7).str(), std::string(1999, '0') + "7");
}

// The text constructor is usable in constant expressions, which the id macros rely on.
static_assert(XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}") == XUID(0xc569a98287c54d45ull, 0x8a2c17b796723bdcull));

TEST(XuidTest, TextIsReadRegardlessOfCaseAndWrittenInUpperCase) {
  const XUID id("{80b45faf-a340-43e6-b60b-0435fadea5f3}");
  EXPECT_EQ(id, XUID("{80B45faf-A340-43e6-b60B-0435FADEa5f3}"));
  EXPECT_EQ(id, XUID(0x80b45fafa34043e6ull, 0xb60b0435fadea5f3ull));
  EXPECT_EQ(id.GetAsString(), "{80B45FAF-A340-43E6-B60B-0435FADEA5F3}");
  EXPECT_TRUE(XUID().IsNull() && !id.IsNull());
  const XUID a(1, ~0ull), b(2, 0), c(2, 1), top(0x8000000000000000ull, 0);  // by halves, unsigned
  EXPECT_TRUE(a < b && b < c && c < top && !(b < a || c < b || b < b));
}

TEST(XuidTest, MalformedTextThrows) {
  const char* const bad[] = {
      "",
      "80b45faf-a340-43e6-b60b-0435fadea5f3",     // no braces
      "{80b45faf-a340-43e6-b60b-0435fadea5f}",    // one digit short
      "{80b45faf-a340-43e6-b60b-0435fadea5f33}",  // one digit long
      "{80b45fa-fa340-43e6-b60b-0435fadea5f3}",   // dash moved
      "{80b45fag-a340-43e6-b60b-0435fadea5f3}",   // not a hex digit
      "{80b45faf-a340-43e6-b60b-0435fadea5f3}x",  // trailing text
      nullptr,
  };
  for (const char* text : bad) EXPECT_THROW(XUID{text}, std::invalid_argument) << (text ? text : "null");
}

TEST(XuidTest, NewIdsAreDistinctAcrossThreadsAndRoundTripThroughText) {
  constexpr int kThreads = 8, kEach = 1000;
  std::vector<XUID> made(kThreads * kEach);
  {
    std::vector<std::jthread> threads;  // joined at the end of the block
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] { std::generate_n(&made[t * kEach], kEach, XUID::New); });
    }
  }
  for (const XUID& id : made) {
    ASSERT_FALSE(id.IsNull());
    ASSERT_EQ(XUID(id.GetAsString().c_str()), id) << id.GetAsString().c_str();
  }
  EXPECT_EQ(std::set<XUID>(made.begin(), made.end()).size(), made.size());
}

TEST(TimeTest, NormalizeCarriesWholeSecondsLeavingMicrosecondsInRange) {
  struct Case {
    std::int64_t sec, usec, wantSec, wantUsec;
  } const cases[] = {{5, 250000, 5, 250000},
                     {1, 3500000, 4, 500000},
                     {0, -1, -1, 999999},
                     {5, -2500000, 2, 500000},
                     {0, -1000000, -1, 0},
                     {-3, -1, -4, 999999},
                     {0, 1000000000007, 1000000, 7},
                     {10, -1000000000001, -999991, 999999}};
  for (const Case& c : cases) {
    UT_CPUTIME::TimeVal v{c.sec, c.usec};
    UT_CPUTIME::normalize(v);
    EXPECT_TRUE(v.sec == c.wantSec && v.usec == c.wantUsec) << c.sec << "s " << c.usec << "us";
  }
}

TEST(TimeTest, CTimeMatchesTheLibraryFormAndIsEmptyForNull) {
  String text;
  std::int64_t seconds = 1700000000;
  const std::time_t t = static_cast<std::time_t>(seconds);
  char expected[64];
  ASSERT_NE(ctime_r(&t, expected), nullptr);
  UT_TIME::CTime(&seconds, text);
  EXPECT_EQ(text, expected);
  UT_TIME::CTime(nullptr, text);
  EXPECT_TRUE(text.empty());
}

}  // namespace
