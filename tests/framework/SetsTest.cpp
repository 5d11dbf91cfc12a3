// Sets and iterators against a simple model, over random sequences of operations.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Prjrep/IStringSet.h"
#include "framework/AssociativeSets.h"
#include "framework/Sets.h"
#include "framework/StringSets.h"
#include "support/Fakes.h"

using namespace testing_support;

namespace {

class ITestAIterator : public Prjrep::TIIterator<ITestA*> {
 public:
  CITI_DECLARE_IID("{0D0D0D0D-4444-4444-8444-444444444401}")
};
class ITestASet : public Prjrep::TISet<ITestA*, ITestAIterator> {
 public:
  CITI_DECLARE_IID("{0D0D0D0D-4444-4444-8444-444444444402}")
};

using ListSet = Prjrep::TSequenceSetHelper<ITestA*, ITestASet, ITestAIterator, std::list<ITestA*>>;
using VectorSet = Prjrep::TSequenceSetHelper<ITestA*, ITestASet, ITestAIterator, std::vector<ITestA*>>;
using CountedSet = Hvd::TRefdSequenceSetHelper<ITestA*, ITestASet, ITestAIterator, std::list<ITestA*>>;
using KeyedSet = Prjrep::TAssociativeSetHelper<ITestA*, ITestASet, ITestAIterator>;
using StringVectorSet =
    Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::vector<Port::StringBase<char>>>;
using StringListSet =
    Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::list<Port::StringBase<char>>>;

// The set-container form: each pointer once, in pointer order, no references.
class PointerSet : public Prjrep::TSetHelper<ITestA*, ITestASet, ITestAIterator, std::set<ITestA*>> {
 public:
  std::uint64_t Add(ITestA* element) override {
    m_elements.insert(element);
    return 1;
  }
  ITestA* GetAt(const Position& pos) override { return AtEnd(pos) ? nullptr : *pos; }
};

// A pool of test elements, each with the test's own reference.
struct Pool {
  std::vector<std::unique_ptr<CountLog>> logs;
  std::vector<FakeComponent*> items;
  explicit Pool(int n) {
    for (int i = 0; i < n; ++i) {
      logs.push_back(std::make_unique<CountLog>());
      items.push_back(new FakeComponent(*logs.back()));
    }
  }
  ~Pool() {
    for (FakeComponent* item : items) Prjrep::ReleaseInterface(item);
    for (auto& log : logs) EXPECT_EQ(log->destroyed, 1);
  }
  int IndexOf(ITestA* element) const {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i]->AsA() == element) return static_cast<int>(i);
    }
    return -1;
  }
};

// How a sequence model sees one kind of set: element values and the references they carry.
struct PointerElements {
  Pool pool{5};
  ITestA* Make(int i) { return pool.items[i]->AsA(); }
  int Index(ITestA* e) { return e == nullptr ? -1 : pool.IndexOf(e); }
  static constexpr bool kCounted = true;
  void CheckCounts(const std::vector<int>& model) {
    for (std::size_t i = 0; i < pool.items.size(); ++i) {
      int expected = 1;
      for (int v : model) expected += v == static_cast<int>(i);
      ASSERT_EQ(pool.items[i]->Count(), expected) << "element " << i;
    }
  }
};

struct StringElements {
  Port::StringBase<char> Make(int i) { return Port::StringBase<char>(std::string(static_cast<std::size_t>(i), 'x')); }
  int Index(const Port::StringBase<char>& s) { return s.empty() ? -1 : static_cast<int>(s.size()); }
  static constexpr bool kCounted = false;
  void CheckCounts(const std::vector<int>&) {}
};

// Drives a sequence set and a model (a vector of element numbers, iterators as indices)
// through the same random operations and compares them after every step.
template <class Set, class Iterator, class Elements>
void RunSequenceModel(Set& set, Elements& elements, unsigned seed, int steps) {
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<int> model;
  struct LiveIterator {
    Iterator* it = nullptr;
    std::optional<std::size_t> at;  // empty: stale
  };
  LiveIterator live[3];
  auto done = [&](const LiveIterator& l) { return !l.at || *l.at >= model.size(); };

  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    LiveIterator& l = live[pick(3)];
    switch (pick(9)) {
      case 0:
      case 1: {  // add
        const int v = 1 + pick(4);
        ASSERT_EQ(set.Add(elements.Make(v)), 1u);
        for (auto& other : live) {
          if (other.at && *other.at >= model.size()) other.at = model.size() + 1;  // done stays done
        }
        model.push_back(v);
        break;
      }
      case 2:  // a new iterator in this slot
        if (l.it != nullptr) Prjrep::ReleaseInterface(l.it);
        ASSERT_EQ(set.GetIterator(&l.it), 1u);
        l.at = 0;
        break;
      case 3:  // remove through the iterator
        if (l.it == nullptr) break;
        if (done(l)) {
          ASSERT_EQ(set.Remove(l.it), 0u);
          break;
        }
        {
          const std::size_t at = *l.at;
          ASSERT_EQ(set.Remove(l.it), 1u);
          model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
          for (auto& other : live) {
            if (&other == &l || !other.at) continue;
            if (*other.at == at) other.at.reset();
            else if (*other.at > at) --*other.at;
          }
        }
        break;
      case 4:
      case 5:  // step on
        if (l.it == nullptr) break;
        ASSERT_EQ(l.it->Next(), done(l) ? 0u : 1u);
        if (!done(l)) ++*l.at;
        break;
      case 6:
        if (l.it == nullptr) break;
        ASSERT_EQ(l.it->Reset(), 1u);
        l.at = 0;
        break;
      case 7:
        if (pick(4) != 0) break;  // clears are rarer
        ASSERT_EQ(set.Clear(), 1u);
        model.clear();
        for (auto& other : live) other.at.reset();
        break;
      case 8:  // null is refused by pointer sets
        if constexpr (Elements::kCounted) {
          ASSERT_EQ(set.Add(nullptr), 0u);
        }
        break;
    }
    ASSERT_EQ(set.Size(), model.size());
    for (auto& each : live) {
      if (each.it == nullptr) continue;
      ASSERT_EQ(each.it->IsDone(), done(each));
      ASSERT_EQ(elements.Index(each.it->Current()), done(each) ? -1 : model[*each.at]);
    }
    elements.CheckCounts(model);
  }
  for (auto& each : live) {
    if (each.it != nullptr) Prjrep::ReleaseInterface(each.it);
  }
}

TEST(SequenceSetModelTest, ListSet) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    PointerElements elements;
    ListSet set;
    RunSequenceModel<ListSet, ITestAIterator>(set, elements, seed, 300);
  }
}

TEST(SequenceSetModelTest, VectorSet) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    PointerElements elements;
    VectorSet set;
    RunSequenceModel<VectorSet, ITestAIterator>(set, elements, seed, 300);
  }
}

TEST(SequenceSetModelTest, CountedSet) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    PointerElements elements;
    auto* set = new CountedSet;
    RunSequenceModel<CountedSet, ITestAIterator>(*set, elements, seed, 300);
    Prjrep::ReleaseInterface(set);
  }
}

TEST(SequenceSetModelTest, StringSets) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    StringElements elements;
    StringVectorSet vectorSet;
    RunSequenceModel<StringVectorSet, Prjrep::IStringIterator>(vectorSet, elements, seed, 300);
    StringListSet listSet;
    RunSequenceModel<StringListSet, Prjrep::IStringIterator>(listSet, elements, seed + 100, 300);
  }
}

TEST(SequenceSetTest, IteratorsKeepACountedSetAliveAndOutliveAnUncountedOne) {
  PointerElements elements;
  auto* counted = new CountedSet;
  counted->Add(elements.Make(0));
  ITestAIterator* it = nullptr;
  ASSERT_EQ(counted->GetIterator(&it), 1u);
  Prjrep::ReleaseInterface(counted);  // the creator lets go; the iterator keeps it
  EXPECT_EQ(it->Current(), elements.Make(0));
  EXPECT_EQ(elements.pool.items[0]->Count(), 2);
  Prjrep::ReleaseInterface(it);  // destroys the set, which releases its element
  EXPECT_EQ(elements.pool.items[0]->Count(), 1);

  auto plain = std::make_unique<ListSet>();  // no owner, no count: nothing keeps it alive
  plain->Add(elements.Make(1));
  EXPECT_EQ(plain->QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
  ASSERT_EQ(plain->GetIterator(&it), 1u);
  plain.reset();
  EXPECT_TRUE(it->IsDone());
  EXPECT_EQ(it->Current(), nullptr);
  EXPECT_EQ(it->Next(), 0u);
  EXPECT_EQ(it->Reset(), 0u);
  Prjrep::ReleaseInterface(it);
  EXPECT_EQ(elements.pool.items[1]->Count(), 1);
}

TEST(SequenceSetTest, AnOwnedSetAnswersItsOwnerAndIteratorsCountTheOwner) {
  CountLog ownerLog;
  auto* owner = new FakeComponent(ownerLog);
  {
    ListSet set;
    set.SetOwner(owner->AsA());
    EXPECT_EQ(set.QueryInterface(ITestASet::GetIID()), &set);
    EXPECT_EQ(set.QueryInterface(ITestB::GetIID()), owner->AsB());
    ITestAIterator* it = nullptr;
    ASSERT_EQ(set.GetIterator(&it), 1u);
    EXPECT_EQ(owner->Count(), 2);
    EXPECT_EQ(it->QueryInterface(ITestB::GetIID()), nullptr);  // iterators do not forward
    Prjrep::ReleaseInterface(it);
    EXPECT_EQ(owner->Count(), 1);
  }
  Prjrep::ReleaseInterface(owner);
}

TEST(SequenceSetTest, ForeignAndStaleIteratorsAreRefused) {
  PointerElements elements;
  ListSet a, b;
  a.Add(elements.Make(0));
  b.Add(elements.Make(1));
  ITestAIterator* fromB = nullptr;
  ASSERT_EQ(b.GetIterator(&fromB), 1u);
  EXPECT_EQ(a.Remove(fromB), 0u);
  EXPECT_EQ(a.Size(), 1u);
  EXPECT_EQ(b.Size(), 1u);
  EXPECT_EQ(a.Remove(nullptr), 0u);
  b.Clear();
  EXPECT_EQ(b.Remove(fromB), 0u);  // stale after the clear
  Prjrep::ReleaseInterface(fromB);
}

// Elements whose release reaches back into the set that holds them.
TEST(SequenceSetTest, ElementsLeaveTheSetBeforeTheyAreReleased) {
  struct Reentrant : FakeComponent {
    using FakeComponent::FakeComponent;
    ListSet* set = nullptr;
    std::size_t sizeSeen = 99;
    ~Reentrant() override { sizeSeen = set->Size(); *seen = sizeSeen; }
    std::size_t* seen = nullptr;
  };
  CountLog log;
  std::size_t seen = 99;
  ListSet set;
  auto* element = new Reentrant(log);
  element->set = &set;
  element->seen = &seen;
  set.Add(element->AsA());
  set.Add(element->AsA());
  Prjrep::ReleaseInterface(element);  // the set's two references remain
  set.Clear();
  EXPECT_EQ(log.destroyed, 1);
  EXPECT_EQ(seen, 0u);
}

TEST(SequenceSetTest, AnElementCountedOnlyByTheHostInterfaceIsTakenAndGivenUpAlike) {
  CountLog log;
  auto* element = new FakeComponent(log, Counting::Common);
  {
    ListSet set;
    set.Add(element->AsA());
    set.Add(element->AsA());
    EXPECT_EQ(element->Count(), 3);
    ITestAIterator* it = nullptr;
    set.GetIterator(&it);
    set.Remove(it);
    EXPECT_EQ(element->Count(), 2);
    Prjrep::ReleaseInterface(it);
  }
  EXPECT_EQ(element->Count(), 1);
  EXPECT_EQ(log.addRefs, log.releases);
  Prjrep::ReleaseInterface(element);
}

TEST(PointerSetTest, EachPointerOnceWithoutReferencesAndRemovalStepsBack) {
  PointerElements elements;
  PointerSet set;
  for (int i = 0; i < 3; ++i) {
    set.Add(elements.Make(i));
    set.Add(elements.Make(i));
  }
  EXPECT_EQ(set.Size(), 3u);
  elements.CheckCounts({});
  EXPECT_EQ(set.PersistSave(nullptr), Hvd::kNotSupported);
  EXPECT_EQ(set.PersistLoad(nullptr), Hvd::kNotSupported);

  ITestAIterator* it = nullptr;
  ASSERT_EQ(set.GetIterator(&it), 1u);
  ITestA* first = it->Current();
  it->Next();
  ASSERT_EQ(set.Remove(it), 1u);  // the middle one: back to the first
  EXPECT_EQ(it->Current(), first);
  it->Next();
  ITestA* third = it->Current();
  EXPECT_NE(third, nullptr);
  it->Reset();
  ASSERT_EQ(set.Remove(it), 1u);  // the first: on to the new first
  EXPECT_EQ(it->Current(), third);
  Prjrep::ReleaseInterface(it);
}

// A keyed-set model: the map of keys, iterators as the key they stand on.
TEST(AssociativeSetModelTest, RandomOperations) {
  const char* const keys[] = {"b", "a", "ab", "B", "\xE9", "a\0b"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    PointerElements elements;
    KeyedSet set;
    std::map<std::string, int> model;
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    struct LiveIterator {
      ITestAIterator* it = nullptr;
      std::optional<std::string> at;  // empty: at the end or stale
    } live[2];
    for (int step = 0; step < 300; ++step) {
      LiveIterator& l = live[pick(2)];
      switch (pick(6)) {
        case 0:
        case 1: {
          const std::string key = pick(6) == 5 ? std::string("a\0b", 3) : std::string(keys[pick(5)]);
          const int v = pick(5);
          ASSERT_EQ(set.SetByKey(Port::StringBase<char>(key), elements.Make(v)), 1u);
          model[key] = v;
          break;
        }
        case 2:
          if (l.it != nullptr) Prjrep::ReleaseInterface(l.it);
          ASSERT_EQ(set.GetIterator(&l.it), 1u);
          l.at = model.empty() ? std::nullopt : std::optional<std::string>(model.begin()->first);
          break;
        case 3:
          if (l.it == nullptr) break;
          if (!l.at) {
            ASSERT_EQ(set.Remove(l.it), 0u);
            break;
          }
          {
            ASSERT_EQ(set.Remove(l.it), 1u);
            auto next = model.erase(model.find(*l.at));
            for (auto& other : live) {
              if (&other != &l && other.at == l.at) other.at.reset();
            }
            l.at = next == model.end() ? std::nullopt : std::optional<std::string>(next->first);
          }
          break;
        case 4:
          if (l.it == nullptr) break;
          ASSERT_EQ(l.it->Next(), l.at ? 1u : 0u);
          if (l.at) {
            auto next = std::next(model.find(*l.at));
            l.at = next == model.end() ? std::nullopt : std::optional<std::string>(next->first);
          }
          break;
        case 5:
          ASSERT_EQ(set.Add(elements.Make(0)), Hvd::kNotSupported);
          if (pick(5) == 0) {
            set.Clear();
            model.clear();
            for (auto& other : live) other.at.reset();
          }
          break;
      }
      ASSERT_EQ(set.Size(), model.size());
      std::vector<int> values;
      for (auto& [key, v] : model) values.push_back(v);
      elements.CheckCounts(values);
      for (auto& each : live) {
        if (each.it == nullptr) continue;
        ASSERT_EQ(each.it->IsDone(), !each.at.has_value());
        ASSERT_EQ(elements.Index(each.it->Current()), each.at ? model[*each.at] : -1);
      }
    }
    for (auto& each : live) {
      if (each.it != nullptr) Prjrep::ReleaseInterface(each.it);
    }
  }
}

TEST(AssociativeSetTest, KeysOrderAsUnsignedBytesShorterFirst) {
  PointerElements elements;
  KeyedSet set;
  const std::string keys[] = {"b", "a", "ab", "B", "\xE9", "z", std::string("a\0", 2), ""};
  for (std::size_t i = 0; i < std::size(keys); ++i) set.SetByKey(Port::StringBase<char>(keys[i]), elements.Make(i % 5));
  ITestAIterator* it = nullptr;
  ASSERT_EQ(set.GetIterator(&it), 1u);
  std::vector<int> order;
  for (; !it->IsDone(); it->Next()) order.push_back(elements.Index(it->Current()));
  Prjrep::ReleaseInterface(it);
  // "", "B", "a", "a\0", "ab", "b", "z", "\xE9"
  EXPECT_EQ(order, (std::vector<int>{7 % 5, 3, 1, 6 % 5, 2, 0, 5 % 5, 4}));
}

TEST(AssociativeSetTest, ReplacingAndRefusingNull) {
  PointerElements elements;
  KeyedSet set;
  ASSERT_EQ(set.SetByKey("k", elements.Make(0)), 1u);
  ASSERT_EQ(set.SetByKey("k", elements.Make(0)), 1u);  // already there: unchanged
  EXPECT_EQ(elements.pool.items[0]->Count(), 2);
  ASSERT_EQ(set.SetByKey("k", elements.Make(1)), 1u);
  EXPECT_EQ(elements.pool.items[0]->Count(), 1);
  EXPECT_EQ(elements.pool.items[1]->Count(), 2);
  EXPECT_EQ(set.SetByKey("k", nullptr), 0u);
  EXPECT_EQ(set.SetByKey("n", nullptr), 0u);
  EXPECT_EQ(set.Size(), 1u);
  EXPECT_EQ(elements.pool.items[1]->Count(), 2);
}

}  // namespace
