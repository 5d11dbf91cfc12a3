// The small containers under event lists and vector sets, checked against plain models
// through every size at which their storage changes form.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "core/Events.h"
#include "core/Sets.h"

namespace {

int* Pointer(int i) { return reinterpret_cast<int*>(static_cast<std::uintptr_t>(64 + 16 * i)); }

// Positions hold across removals; an emptied entry is reused first; Compact keeps the order.
TEST(SlotListTest, AgreesWithAModelWhileItGrowsPastASearchAndShrinksBack) {
  std::mt19937 random(7);
  for (int range : {3, 9, 12, 40}) {
    Hvd::TSlotList<int*> list;
    std::vector<int*> model;  // entry by entry, null when emptied
    for (int step = 0; step < 3000; ++step) {
      int* p = Pointer(static_cast<int>(random() % range));
      const auto at = std::find(model.begin(), model.end(), p);
      const int action = static_cast<int>(random() % 20);
      if (action == 0) {
        list.Compact();
        model.erase(std::remove(model.begin(), model.end(), nullptr), model.end());
      } else if (action < 10 && at == model.end()) {
        list.Add(p);
        const auto empty = std::find(model.begin(), model.end(), nullptr);
        if (empty != model.end()) {
          *empty = p;
        } else {
          model.push_back(p);
        }
      } else {
        EXPECT_EQ(list.Remove(p), at != model.end());
        if (at != model.end()) *at = nullptr;
      }
      ASSERT_EQ(list.Length(), model.size()) << "range " << range << " step " << step;
      for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(list.At(i), model[i]);
      ASSERT_EQ(list.Count(), model.size() - std::count(model.begin(), model.end(), nullptr));
      for (int i = 0; i < range; ++i) {
        ASSERT_EQ(list.Contains(Pointer(i)), std::count(model.begin(), model.end(), Pointer(i)) == 1);
      }
    }
    EXPECT_FALSE(list.Contains(nullptr)) << "an emptied entry lists nothing";
    EXPECT_FALSE(list.Remove(nullptr));
  }
}

// A long list through many rebuilds of its index, with removals leaving removed cells behind
// and entries reused: every pointer is found at its entry, and none that left is found.
TEST(SlotListTest, FindsEveryEntryOfALongListThroughRebuildsAndReusedEntries) {
  std::mt19937 random(5);
  constexpr int kRange = 3000;
  Hvd::TSlotList<int*> list;
  std::vector<int*> model;
  std::vector<int> where(kRange, -1);  // the entry of each pointer, -1 when not listed
  for (int step = 0; step < 60000; ++step) {
    const int i = static_cast<int>(random() % kRange);
    // Mostly additions at first, mostly removals later: the list grows, then empties out.
    const bool add = static_cast<int>(random() % 60000) >= step;
    if (add && where[i] < 0) {
      list.Add(Pointer(i));
      const auto empty = std::find(model.begin(), model.end(), nullptr);
      where[i] = static_cast<int>(empty - model.begin());
      if (empty != model.end()) {
        *empty = Pointer(i);
      } else {
        model.push_back(Pointer(i));
      }
    } else if (!add) {
      ASSERT_EQ(list.Remove(Pointer(i)), where[i] >= 0) << "step " << step;
      if (where[i] >= 0) model[static_cast<std::size_t>(where[i])] = nullptr;
      where[i] = -1;
    }
    if (step % 997 == 0) {
      if (step % 3 == 0) {
        list.Compact();
        model.erase(std::remove(model.begin(), model.end(), nullptr), model.end());
        for (std::size_t at = 0; at < model.size(); ++at) where[(reinterpret_cast<std::uintptr_t>(model[at]) - 64) / 16] = static_cast<int>(at);
      }
      ASSERT_EQ(list.Length(), model.size());
      for (std::size_t at = 0; at < model.size(); ++at) ASSERT_EQ(list.At(at), model[at]);
      for (int k = 0; k < kRange; ++k) ASSERT_EQ(list.Contains(Pointer(k)), where[k] >= 0) << "step " << step;
    }
  }
}

TEST(FrontErasedVectorTest, AgreesWithADequeUnderFrontAndMiddleRemovals) {
  std::mt19937 random(11);
  Prjrep::TFrontErasedVector<int*> vector;
  std::deque<int*> model;
  for (int step = 0; step < 5000; ++step) {
    const int action = static_cast<int>(random() % 10);
    if (action < 4 || model.empty()) {
      vector.push_back(Pointer(step));
      model.push_back(Pointer(step));
    } else if (action < 8) {
      const auto next = vector.erase(vector.begin());
      model.pop_front();
      ASSERT_EQ(next, vector.begin());
    } else if (action == 8) {
      const auto at = static_cast<std::ptrdiff_t>(random() % model.size());
      const auto next = vector.erase(vector.begin() + at);
      model.erase(model.begin() + at);
      ASSERT_EQ(next - vector.begin(), at);
    } else if (random() % 8 == 0) {
      Prjrep::TFrontErasedVector<int*> other;
      other.swap(vector);
      vector.swap(other);
      if (random() % 2 == 0) {
        vector.clear();
        model.clear();
      }
    }
    ASSERT_EQ(vector.size(), model.size()) << "step " << step;
    ASSERT_EQ(vector.empty(), model.empty());
    ASSERT_TRUE(std::equal(vector.begin(), vector.end(), model.begin(), model.end()));
    if (!model.empty()) {
      ASSERT_EQ(vector[model.size() - 1], model.back());
    }
  }
}

}  // namespace
