// The flat pointer table under the tables kept for each file, checked against a plain map through
// growth and through removals that must shift the entries behind them back, around the end.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>

#include "core/PointerMap.h"

namespace {

const void* Key(int i) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(64 + 16 * i)); }

TEST(PointerMapTest, AgreesWithAMapThroughGrowthAndRemovals) {
  std::mt19937 random(3);
  for (int range : {5, 40, 3000}) {
    Hvd::TPointerMap<int> map;
    std::unordered_map<const void*, int> model;
    for (int step = 0; step < 40000; ++step) {
      const void* key = Key(static_cast<int>(random() % range));
      // Mostly insertions at first, mostly removals later: the table fills, then empties.
      if (static_cast<int>(random() % 40000) >= step) {
        const auto [value, added] = map.Insert(key, step);
        const auto [known, fresh] = model.emplace(key, step);
        ASSERT_EQ(added, fresh);
        ASSERT_EQ(*value, known->second);
        if (random() % 4 == 0) *value = known->second = -step;  // changed through the pointer
      } else {
        ASSERT_EQ(map.Erase(key), model.erase(key) == 1) << "range " << range << " step " << step;
      }
      ASSERT_EQ(map.Size(), model.size());
      if (step % 101 == 0) {
        for (int i = 0; i < range; ++i) {
          const int* found = map.Find(Key(i));
          const auto known = model.find(Key(i));
          ASSERT_EQ(found != nullptr, known != model.end()) << "range " << range << " step " << step;
          if (found != nullptr) {
            ASSERT_EQ(*found, known->second);
          }
        }
      }
    }
    EXPECT_EQ(map.Find(nullptr), nullptr);
    EXPECT_FALSE(map.Erase(nullptr));
    map.Clear();
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_EQ(map.Find(Key(1)), nullptr);
  }
}

}  // namespace
