#include "Port/XUID.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "CitI/IInterface.h"

namespace {

using Port::XUID;

constexpr const char* kLower = "{80b45faf-a340-43e6-b60b-0435fadea5f3}";
constexpr const char* kUpper = "{80B45FAF-A340-43E6-B60B-0435FADEA5F3}";

// The text constructor is usable in constant expressions, which the id macros rely on.
static_assert(XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}") == XUID(0xc569a98287c54d45ull, 0x8a2c17b796723bdcull));

TEST(XuidTest, TextIsReadRegardlessOfCase) {
  const XUID lower(kLower);
  EXPECT_EQ(lower, XUID(kUpper));
  EXPECT_EQ(lower, XUID("{80B45faf-A340-43e6-b60B-0435FADEa5f3}"));
  EXPECT_EQ(lower.First(), 0x80b45fafa34043e6ull);
  EXPECT_EQ(lower.Second(), 0xb60b0435fadea5f3ull);
  EXPECT_FALSE(lower.IsNull());
  EXPECT_TRUE(XUID().IsNull());
  EXPECT_TRUE(XUID("{00000000-0000-0000-0000-000000000000}").IsNull());
}

TEST(XuidTest, TwoWordConstructorMatchesTextHalves) {
  EXPECT_EQ(XUID(0xc569a98287c54d45ull, 0x8a2c17b796723bdcull), XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}"));
  EXPECT_EQ(CitI::IInterface::GetIID(), XUID("{c569a982-87c5-4d45-8a2c-17b796723bdc}"));
  EXPECT_EQ(XUID(0x1ull, 0x0ull), XUID("{00000000-0000-0001-0000-000000000000}"));
  EXPECT_EQ(XUID(0x0ull, 0x1ull), XUID("{00000000-0000-0000-0000-000000000001}"));
}

TEST(XuidTest, MalformedTextThrows) {
  const char* const bad[] = {
      "",
      "80b45faf-a340-43e6-b60b-0435fadea5f3",      // no braces
      "{80b45faf-a340-43e6-b60b-0435fadea5f3",     // no closing brace
      "(80b45faf-a340-43e6-b60b-0435fadea5f3)",    // wrong brackets
      "{80b45faf-a340-43e6-b60b-0435fadea5f}",     // one digit short
      "{80b45faf-a340-43e6-b60b-0435fadea5f33}",   // one digit long
      "{80b45fa-fa340-43e6-b60b-0435fadea5f3}",    // dash moved
      "{80b45faf-a34043e6-b60b-0435fadea5f3-}",    // dash moved to the end
      "{80b45faf:a340:43e6:b60b:0435fadea5f3}",    // other separator
      "{80b45fag-a340-43e6-b60b-0435fadea5f3}",    // non-hex digit
      "{80b45faf-a340-43e6-b60b-0435fadea5 3}",    // space
      "{80b45faf-a340-43e6-b60b-0435fadea5f3}x",   // trailing text
      "{80b45faf-a340-43e6-b60b-0435fadea5f3} ",   // trailing space
  };
  for (const char* text : bad) EXPECT_THROW(XUID{text}, std::invalid_argument) << '"' << text << '"';
  EXPECT_THROW(XUID{static_cast<const char*>(nullptr)}, std::invalid_argument);
}

TEST(XuidTest, TextFormRoundTrips) {
  const XUID id(kLower);
  EXPECT_EQ(id.GetAsString(), kUpper);
  Port::StringBase<char> value("stale");
  id.GetValue(value);
  EXPECT_EQ(value, kUpper);
  EXPECT_EQ(XUID().GetAsString(), "{00000000-0000-0000-0000-000000000000}");

  for (int i = 0; i < 200; ++i) {
    const XUID n = XUID::New();
    const Port::StringBase<char> text = n.GetAsString();
    ASSERT_EQ(text.GetLength(), 38);
    ASSERT_EQ(XUID(text.c_str()), n) << text.c_str();
  }
}

TEST(XuidTest, LessOrdersByFirstThenSecondHalfUnsigned) {
  const XUID a(1, ~0ull), b(2, 0), c(2, 1), top(0x8000000000000000ull, 0);
  EXPECT_TRUE(a < b && b < c && c < top);
  EXPECT_FALSE(b < a || c < b || b < b);
}

TEST(XuidTest, NewGivesDistinctIdsAlsoAcrossThreads) {
  constexpr int kThreads = 8, kEach = 1000;
  std::vector<std::vector<XUID>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&made, t] {
      for (int i = 0; i < kEach; ++i) made[t].push_back(XUID::New());
    });
  }
  for (auto& t : threads) t.join();
  std::set<XUID> seen;
  for (const auto& ids : made) {
    for (const XUID& id : ids) {
      EXPECT_FALSE(id.IsNull());
      seen.insert(id);
    }
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
