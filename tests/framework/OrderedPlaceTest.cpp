// Looking for a key's place next to the entry placed last gives what a search of the whole map
// gives, wherever that entry stands and whatever the key.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "core/OrderedPlace.h"

namespace {

TEST(OrderedPlaceTest, GivesTheLowerBoundFromAnyStartingEntry) {
  std::mt19937 random(11);
  std::map<std::string, int> map;
  auto last = map.end();
  for (int step = 0; step < 3000; ++step) {
    // Mostly the next name in order, as a project's files come; now and then any name.
    const int number = random() % 4 == 0 ? static_cast<int>(random() % 500) : step % 500;
    const std::string key = "src/d" + std::to_string(number / 50) + "/unit_" + std::to_string(number);
    const auto place = Hvd::LowerBoundAfter(map, last, key);
    ASSERT_EQ(place, map.lower_bound(key)) << key;
    if (random() % 5 == 0 && place != map.end()) {
      // The entry placed last may go; what stands for it then is the end.
      if (place == last) last = map.end();
      map.erase(place);
    } else {
      last = map.emplace_hint(place, key, step);
    }
  }
}

}  // namespace
