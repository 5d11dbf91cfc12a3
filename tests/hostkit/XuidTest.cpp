#include "Port/XUID.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Port::XUID;

// The text constructor is usable in constant expressions, which the id macros rely on.
static_assert(XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}") == XUID(0xc569a98287c54d45ull, 0x8a2c17b796723bdcull));

TEST(XuidTest, TextIsReadRegardlessOfCaseAndWrittenInUpperCase) {
  const XUID id("{80b45faf-a340-43e6-b60b-0435fadea5f3}");
  EXPECT_EQ(id, XUID("{80B45faf-A340-43e6-b60B-0435FADEa5f3}"));
  EXPECT_EQ(id, XUID(0x80b45fafa34043e6ull, 0xb60b0435fadea5f3ull));
  EXPECT_EQ(id.GetAsString(), "{80B45FAF-A340-43E6-B60B-0435FADEA5F3}");
  Port::StringBase<char> value("stale");
  id.GetValue(value);
  EXPECT_EQ(value, "{80B45FAF-A340-43E6-B60B-0435FADEA5F3}");
  EXPECT_TRUE(XUID().IsNull() && !id.IsNull());
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

TEST(XuidTest, LessOrdersByFirstThenSecondHalfUnsigned) {
  const XUID a(1, ~0ull), b(2, 0), c(2, 1), top(0x8000000000000000ull, 0);
  EXPECT_TRUE(a < b && b < c && c < top);
  EXPECT_FALSE(b < a || c < b || b < b);
}

}  // namespace
