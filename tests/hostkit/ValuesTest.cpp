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
using V = std::vector<std::string>;

TEST(StringTest, TrimSplitCompareAndFormatOfAnyLength) {
  const char* trimmed[] = {"aybyx", "xyayb", "ayb"};  // inner characters stay
  for (int mode : {String::kTrimLeading, String::kTrimTrailing, String::kTrimBoth}) {
    EXPECT_EQ(String("xyaybyx").Trim("xy", mode), trimmed[mode]) << mode;
    EXPECT_EQ(String("xxxx").Trim("x", mode), "") << mode;
    EXPECT_TRUE(String("xax").Trim("", mode) == "xax" && String("xax").Trim(nullptr, mode) == "xax") << mode;
  }
  const String accented("\xE9");  // compared as unsigned bytes, shorter first
  EXPECT_TRUE(accented.Compare("z") > 0 && String("z") < accented && !(accented < String("z")));
  EXPECT_TRUE(String("abc").Compare("abcd") < 0 && String("B").Compare("a") < 0);
  auto fields = [](const char* text, const char* separators) {
    V out;
    for (const String& field : String(text).Split(separators)) out.push_back(field.str());
    return out;
  };
  EXPECT_EQ(fields(",a,,b;", ",;"), (V{"", "a", "", "b", ""}));
  EXPECT_EQ(fields("", ","), (V{""}));
  EXPECT_EQ(fields("a,b", ""), (V{"a,b"}));
  String s("old content");  // Format replaces the content with output of any length
  EXPECT_EQ(s.Format("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
  const std::string big(5000, 'q');
  EXPECT_EQ(s.Format("<%s>", big.c_str()).str(), "<" + big + ">");
  EXPECT_EQ(s.Format("%0*d", 2000, 7).str(), std::string(1999, '0') + "7");
}

// The text constructor is usable in constant expressions, which the id macros rely on.
static_assert(XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}") == XUID(0xc569a98287c54d45ull, 0x8a2c17b796723bdcull));

TEST(XuidTest, TextIsReadRegardlessOfCaseWrittenInUpperCaseAndMalformedTextThrows) {
  const XUID id("{80b45faf-a340-43e6-b60b-0435fadea5f3}");
  EXPECT_EQ(id, XUID("{80B45faf-A340-43e6-b60B-0435FADEa5f3}"));
  EXPECT_EQ(id.GetAsString(), "{80B45FAF-A340-43E6-B60B-0435FADEA5F3}");
  EXPECT_TRUE(XUID().IsNull() && !id.IsNull());
  const XUID a(1, ~0ull), b(2, 0), c(2, 1), top(0x8000000000000000ull, 0);  // by halves, unsigned
  EXPECT_TRUE(a < b && b < c && c < top && !(b < a || c < b || b < b));
  // No braces, a digit short or long, a dash moved, not a hex digit, trailing text.
  for (const char* text : {"", "80b45faf-a340-43e6-b60b-0435fadea5f3", "{80b45faf-a340-43e6-b60b-0435fadea5f}",
                           "{80b45faf-a340-43e6-b60b-0435fadea5f33}", "{80b45fa-fa340-43e6-b60b-0435fadea5f3}",
                           "{80b45fag-a340-43e6-b60b-0435fadea5f3}", "{80b45faf-a340-43e6-b60b-0435fadea5f3}x",
                           static_cast<const char*>(nullptr)}) {
    EXPECT_THROW(XUID{text}, std::invalid_argument) << (text ? text : "null");
  }
}

TEST(XuidTest, NewIdsAreDistinctAcrossThreadsAndRoundTripThroughText) {
  constexpr int kThreads = 8, kEach = 1000;
  std::vector<XUID> made(kThreads * kEach);
  {
    std::vector<std::jthread> threads;  // joined at the end of the block
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] { std::generate_n(&made[t * kEach], kEach, XUID::New); });
  }
  for (const XUID& id : made) ASSERT_TRUE(!id.IsNull() && XUID(id.GetAsString().c_str()) == id);
  EXPECT_EQ(std::set<XUID>(made.begin(), made.end()).size(), made.size());
}

TEST(TimeTest, NormalizeCarriesWholeSecondsAndCTimeMatchesTheLibrary) {
  const std::int64_t cases[][4] = {{1, 3500000, 4, 500000},
                                   {5, -2500000, 2, 500000},
                                   {0, -1000000, -1, 0},
                                   {-3, -1, -4, 999999},
                                   {0, 1000000000007, 1000000, 7},
                                   {5, 250000, 5, 250000},
                                   {10, -1000000000001, -999991, 999999}};
  for (const auto& c : cases) {
    UT_CPUTIME::TimeVal v{c[0], c[1]};
    UT_CPUTIME::normalize(v);
    EXPECT_TRUE(v.sec == c[2] && v.usec == c[3]) << c[0] << "s " << c[1] << "us";
  }
  String text, none("stale");
  std::int64_t seconds = 1700000000;
  const std::time_t t = static_cast<std::time_t>(seconds);
  char expected[64];
  UT_TIME::CTime(&seconds, text);
  UT_TIME::CTime(nullptr, none);
  EXPECT_TRUE(ctime_r(&t, expected) != nullptr && text == expected && none.empty()) << text.str();
}

}  // namespace
