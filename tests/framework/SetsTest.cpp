// Sets and iterators: against a simple model over random sequences of operations, and stored
// through the repository's storage, in round trips and with failing storage.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "Prjrep/Storage.h"
#include "support/Fakes.h"
#include "support/SetKinds.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::string>;
using Control = Prjrep::AutoCast<Prjrep::IStorageControl>;

class ITestAIterator : public Prjrep::TIIterator<ITestA*> {
 public:
  CITI_DECLARE_IID("{0D0D0D0D-4444-4444-8444-444444444401}")
};
class ITestASet : public Prjrep::TISet<ITestA*, ITestAIterator> {
 public:
  CITI_DECLARE_IID("{0D0D0D0D-4444-4444-8444-444444444402}")
};

using Sets = SetKinds<ITestA*, ITestASet, ITestAIterator>;
using ListSet = Sets::List;

// How a model sees the elements of a pointer set: five test components, each with the
// test's own reference, numbered 0 to 4; -1 for none. The last two answer only the
// host's count interface, which a set must count through all the same.
struct PointerElements {
  static constexpr bool kCounted = true;
  CountLog logs[5];
  std::vector<FakeComponent*> items;
  PointerElements() {
    for (int i = 0; i < 5; ++i)
      items.push_back(new FakeComponent(logs[i], i < 3 ? Counting::Prjrep : Counting::Common));
  }
  ~PointerElements() {
    for (FakeComponent* item : items) Prjrep::ReleaseInterface(item);
    for (const CountLog& log : logs) EXPECT_EQ(log.destroyed, 1);
  }
  ITestA* Make(int i) { return items[i]->AsA(); }
  int Index(ITestA* e) {
    for (int i = 0; i < 5; ++i)
      if (items[i]->AsA() == e) return i;
    return -1;
  }
  // The test's reference and one for each time the element is in the set.
  void CheckCounts(const std::vector<int>& model) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(items[i]->Count(), 1 + std::count(model.begin(), model.end(), i)) << i;
  }
};

// The strings of string sets: element i is i characters long.
struct StringElements {
  static constexpr bool kCounted = false;
  Port::StringBase<char> Make(int i) { return Port::StringBase<char>(std::string(static_cast<std::size_t>(i), 'x')); }
  int Index(const Port::StringBase<char>& s) { return s.empty() ? -1 : static_cast<int>(s.size()); }
  void CheckCounts(const std::vector<int>&) {}
};

// Drives a set and a model through the same random operations and compares them after
// every step. The model is the set's content in its order: a sequence set appends, a keyed
// set keeps its keys in order and replaces the element of a key it has. An iterator is the
// index it stands on; none once done or stale, which only Reset undoes.
template <class Set, class Iterator, class Elements>
void RunModelSteps(Set& set, Elements& elements, unsigned seed, int steps) {
  constexpr bool kKeyed = std::is_same_v<Set, Sets::Keyed>;
  const std::string keys[] = {"b", "a", "ab", "B", "\xE9", "", std::string("a\0b", 3)};
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<std::pair<std::string, int>> model;  // key and element number
  struct LiveIterator {
    Iterator* it = nullptr;
    std::optional<std::size_t> at;
  } live[3];

  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    LiveIterator& l = live[pick(3)];
    const int op = pick(9);
    if (op >= 3 && op <= 6 && l.it == nullptr) continue;  // needs an iterator
    switch (op) {
      case 0:
      case 1:  // add
        if constexpr (kKeyed) {
          const std::string& key = keys[pick(7)];
          const int v = pick(5);
          ASSERT_EQ(set.SetByKey(Port::StringBase<char>(key), elements.Make(v)), kSuccess);
          const auto at = std::find_if(model.begin(), model.end(), [&](auto& e) { return e.first >= key; });
          if (at != model.end() && at->first == key) {
            at->second = v;
            break;
          }
          for (auto& each : live)
            if (each.at && *each.at >= static_cast<std::size_t>(at - model.begin())) ++*each.at;
          model.emplace(at, key, v);
        } else {
          const int v = 1 + pick(4);
          ASSERT_EQ(set.Add(elements.Make(v)), kSuccess);
          model.emplace_back("", v);
        }
        break;
      case 2:  // a new iterator in this slot
        if (l.it != nullptr) Prjrep::ReleaseInterface(l.it);
        ASSERT_EQ(set.GetIterator(&l.it), kSuccess);
        l.at = 0;
        break;
      case 3:  // remove through the iterator, which moves on to the next element
        ASSERT_EQ(set.Remove(l.it), l.at ? kSuccess : kFailure);
        if (!l.at) break;
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(*l.at));
        for (auto& other : live) {
          if (&other == &l || !other.at) continue;
          if (*other.at == *l.at) {
            other.at.reset();
          } else if (*other.at > *l.at) {
            --*other.at;
          }
        }
        break;
      case 4:
      case 5:  // step on
        ASSERT_EQ(l.it->Next(), l.at ? kSuccess : kFailure);
        if (l.at) ++*l.at;
        break;
      case 6:
        ASSERT_EQ(l.it->Reset(), kSuccess);
        l.at = 0;
        break;
      case 7:
        if (pick(4) != 0) break;  // clears are rarer
        ASSERT_EQ(set.Clear(), kSuccess);
        model.clear();
        for (auto& other : live) other.at.reset();
        break;
      case 8:  // refused: null in a pointer set, and Add in a keyed set
        if constexpr (kKeyed) {
          ASSERT_EQ(set.Add(elements.Make(0)), Hvd::kNotSupported);
          ASSERT_EQ(set.SetByKey(Port::StringBase<char>(keys[pick(7)]), nullptr), kFailure);
        } else if constexpr (Elements::kCounted) {
          ASSERT_EQ(set.Add(nullptr), kFailure);
        }
        break;
    }
    ASSERT_EQ(set.Size(), model.size());
    std::vector<int> values;
    for (const auto& [key, v] : model) values.push_back(v);
    elements.CheckCounts(values);
    for (auto& each : live) {
      if (each.at && *each.at >= model.size()) each.at.reset();  // done stays done
      if (each.it == nullptr) continue;
      ASSERT_EQ(each.it->IsDone(), !each.at);
      ASSERT_EQ(elements.Index(each.it->Current()), each.at ? values[*each.at] : -1);
    }
  }
  for (auto& each : live)
    if (each.it != nullptr) Prjrep::ReleaseInterface(each.it);
}

// A new set and new elements for each seed.
template <class Set, class Iterator, class Elements>
void RunModel(unsigned seeds, unsigned firstSeed = 1) {
  for (unsigned seed = firstSeed; seed < firstSeed + seeds; ++seed) {
    Elements elements;
    auto* set = new Set;
    RunModelSteps<Set, Iterator>(*set, elements, seed, 300);
    if constexpr (std::is_same_v<Set, Sets::Counted>) {
      Prjrep::ReleaseInterface(set);
    } else {
      delete set;
    }
  }
}

TEST(SetModelTest, EverySetKind) {
  RunModel<ListSet, ITestAIterator, PointerElements>(40);
  RunModel<Sets::Vector, ITestAIterator, PointerElements>(40);
  RunModel<Sets::Counted, ITestAIterator, PointerElements>(20);
  RunModel<Sets::Keyed, ITestAIterator, PointerElements>(40);
  RunModel<StringVectorSet, Prjrep::IStringIterator, StringElements>(20);
  RunModel<StringListSet, Prjrep::IStringIterator, StringElements>(20, 101);
}

TEST(SequenceSetTest, IteratorsKeepACountedSetAliveOutliveAnUncountedOneRemoveFromTheirOwnOnlyAndCountTheOwner) {
  PointerElements elements;
  auto* counted = new Sets::Counted;
  std::ignore = counted->Add(elements.Make(0));
  ITestAIterator* it = nullptr;
  ASSERT_EQ(counted->GetIterator(&it), Hvd::kSuccess);
  Prjrep::ReleaseInterface(counted);  // the creator lets go; the iterator keeps it
  EXPECT_EQ(it->Current(), elements.Make(0));
  Prjrep::ReleaseInterface(it);  // destroys the set, which releases its element
  elements.CheckCounts({});

  auto plain = std::make_unique<ListSet>();  // no owner, no count: nothing keeps it alive
  std::ignore = plain->Add(elements.Make(1));
  EXPECT_EQ(plain->QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
  ASSERT_EQ(plain->GetIterator(&it), Hvd::kSuccess);
  ListSet other;
  std::ignore = other.Add(elements.Make(0));
  EXPECT_EQ(other.Remove(it), Hvd::kFailure);  // a foreign iterator
  EXPECT_EQ(other.Remove(nullptr), Hvd::kFailure);
  elements.CheckCounts({0, 1});
  plain.reset();
  EXPECT_TRUE(it->IsDone() && it->Current() == nullptr);
  EXPECT_EQ((std::vector<Status>{it->Next(), it->Reset()}), (std::vector<Status>{kFailure, kFailure}));
  Prjrep::ReleaseInterface(it);

  // An owned set answers its owner's ids, and its iterators count the owner.
  auto* owner = elements.items[4];
  {
    ListSet set;
    std::ignore = set.SetOwner(owner->AsA());
    EXPECT_EQ(set.QueryInterface(ITestASet::GetIID()), &set);
    EXPECT_EQ(set.QueryInterface(ITestB::GetIID()), owner->AsB());
    ITestAIterator* it = nullptr;
    ASSERT_EQ(set.GetIterator(&it), Hvd::kSuccess);
    EXPECT_EQ(owner->Count(), 2);
    EXPECT_EQ(it->QueryInterface(ITestB::GetIID()), nullptr);  // iterators do not forward
    Prjrep::ReleaseInterface(it);
  }
  EXPECT_EQ(owner->Count(), 1);
}

// An element whose release reaches back into the set that holds it.
TEST(SequenceSetTest, ElementsLeaveTheSetBeforeTheyAreReleased) {
  struct Reentrant : FakeComponent {
    Reentrant(CountLog& log, ListSet& set, std::size_t& seen) : FakeComponent(log), set(set), seen(seen) {}
    ~Reentrant() override { seen = set.Size(); }
    ListSet& set;
    std::size_t& seen;
  };
  CountLog log;
  std::size_t seen = 99;
  ListSet set;
  auto* element = new Reentrant(log, set, seen);
  std::ignore = set.Add(element->AsA()), std::ignore = set.Add(element->AsA());
  Prjrep::ReleaseInterface(element);  // the set's two references remain
  std::ignore = set.Clear();
  EXPECT_TRUE(log.destroyed == 1 && seen == 0) << seen;
}

// A position of a string set names the string GetAt reads there, also once strings before it
// have gone; at the end nothing is written.
TEST(StringSetTest, GetAtIntoCopiesTheStringAtAPositionAndNothingAtTheEnd) {
  StringVectorSet strings;
  for (const char* text : {"a", "b", "c"}) ASSERT_EQ(strings.Add(Port::StringBase<char>(text)), kSuccess);
  Port::StringBase<char> out("untouched");
  EXPECT_TRUE(strings.GetAtInto(1, out) == kSuccess && out.str() == "b");
  Prjrep::IStringIterator* first = nullptr;
  ASSERT_EQ(strings.GetIterator(&first), kSuccess);
  ASSERT_EQ(strings.Remove(first), kSuccess);
  Prjrep::ReleaseInterface(first);
  for (std::size_t at : {0u, 1u}) {
    EXPECT_EQ(strings.GetAtInto(at, out), kSuccess);
    EXPECT_EQ(out.str(), strings.GetAt(at).str()) << at;
  }
  EXPECT_EQ(out.str(), "c");
  EXPECT_EQ(strings.GetAtInto(2, out), kFailure);
  EXPECT_EQ(out.str(), "c") << "left as it was";
}

TEST(PointerSetTest, EachPointerOnceWithoutReferencesAndRemovalStepsBack) {
  PointerElements elements;
  Sets::Pointer set;
  for (int i : {0, 1, 2, 0, 1, 2}) std::ignore = set.Add(elements.Make(i));
  EXPECT_EQ(set.Size(), 3u);
  elements.CheckCounts({});
  EXPECT_EQ(set.PersistSave(nullptr), Hvd::kNotSupported);
  ITestAIterator* it = nullptr;
  ASSERT_EQ(set.GetIterator(&it), Hvd::kSuccess);
  ITestA* first = it->Current();
  std::ignore = it->Next();
  ASSERT_EQ(set.Remove(it), Hvd::kSuccess);  // the middle one: back to the first
  EXPECT_EQ(it->Current(), first);
  std::ignore = it->Next();
  ITestA* third = it->Current();
  std::ignore = it->Reset();
  ASSERT_EQ(set.Remove(it), kSuccess);  // the first: on to the new first
  EXPECT_TRUE(third != nullptr && it->Current() == third);
  Prjrep::ReleaseInterface(it);
}

// A keyed set that works out each key from its element, as a library set does by name.
class ValueKeyedSet : public RecordSets::Keyed {
 public:
  Hvd::Status Add(IRecord* element) override {
    if (element == nullptr) return Hvd::kFailure;
    return SetByKey(Port::StringBase<char>(std::to_string(element->Value())), element);
  }
};

std::string TextOf(IRecord* record) { return std::to_string(record->Value()); }
std::string TextOf(const Port::StringBase<char>& text) { return text.str(); }

// The elements of a set in its order, as text.
template <class T, class Iterator>
Strings ContentsOf(Prjrep::TISet<T, Iterator>& set) {
  Strings contents;
  Iterator* it = nullptr;
  if (set.GetIterator(&it) != Hvd::kSuccess) return contents;
  for (; !it->IsDone(); std::ignore = it->Next()) contents.push_back(TextOf(it->Current()));
  Prjrep::ReleaseInterface(it);
  return contents;
}

// One set of every kind, stored and loaded in one order.
struct EveryKind {
  RecordSets::List list;
  RecordSets::Vector vector;
  RecordSets::Counted* counted = new RecordSets::Counted;
  ValueKeyedSet keyed;
  StringVectorSet strings;
  StringListSet locators;
  ~EveryKind() { Prjrep::ReleaseInterface(counted); }
  std::vector<Hvd::Status> Save(Prjrep::IStorage* s) {  // a braced list is evaluated in order
    return {list.PersistSave(s),  vector.PersistSave(s),  counted->PersistSave(s),
            keyed.PersistSave(s), strings.PersistSave(s), locators.PersistSave(s)};
  }
  std::vector<Hvd::Status> Load(Prjrep::IStorage* s) {
    return {list.PersistLoad(s),  vector.PersistLoad(s),  counted->PersistLoad(s),
            keyed.PersistLoad(s), strings.PersistLoad(s), locators.PersistLoad(s)};
  }
  std::vector<Strings> Contents() {
    return {ContentsOf(list),  ContentsOf(vector),  ContentsOf(*counted),
            ContentsOf(keyed), ContentsOf(strings), ContentsOf(locators)};
  }
};

class SetPersistTest : public ::testing::Test {
 protected:
  void SetUp() override { CRecord::Register(); }
  void TearDown() override {
    CitP::Factory::Shutdown();
    EXPECT_EQ(CRecord::s_alive, 0) << "records left behind";
  }

  // Three records with the test's own references.
  struct Sources {
    IRecord* r[3] = {CRecord::Make(30), CRecord::Make(10), CRecord::Make(20)};
    ~Sources() {
      for (IRecord* each : r) Prjrep::ReleaseInterface(each);
    }
  };
};

TEST_F(SetPersistTest, EverySetKindRoundTripsThroughAFile) {
  const std::string path = ::testing::TempDir() + "sets_" + std::to_string(getpid()) + ".stg";
  const std::vector<Hvd::Status> ok(6, Hvd::kSuccess);
  {
    Sources src;
    EveryKind sets;
    for (IRecord* r : src.r) {
      for (auto* set : std::initializer_list<IRecordSet*>{&sets.list, &sets.vector, sets.counted, &sets.keyed})
        std::ignore = set->Add(r);
    }
    std::ignore = sets.list.Add(src.r[0]);  // the same object twice
    for (const char* s : {"b", "", "a", "b"}) std::ignore = sets.strings.Add(s), std::ignore = sets.locators.Add(s);
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ASSERT_EQ(sets.Save(storage), ok);
    ASSERT_EQ(Control(storage.Get())->SaveToFile(path.c_str()), Hvd::kSuccess);
  }
  // A fresh start: nothing of the writing side is left, the class is registered anew.
  CitP::Factory::Shutdown();
  ASSERT_EQ(CRecord::s_alive, 0);
  CRecord::Register();
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(Control(storage.Get())->LoadFromFile(path.c_str()), Hvd::kSuccess);
  std::remove(path.c_str());
  EveryKind sets;
  ASSERT_EQ(sets.Load(storage), ok);
  const Strings records{"30", "10", "20"}, strings{"b", "", "a", "b"};
  EXPECT_EQ(sets.Contents(),
            (std::vector<Strings>{{"30", "10", "20", "30"}, records, records, {"10", "20", "30"}, strings, strings}));
  // Each stored record came back as one object, shared by every set that held it.
  EXPECT_EQ(CRecord::s_alive, 3);
}

TEST_F(SetPersistTest, LoadingAppendsANegativeCountReadsNothingAndAKeyedSetThatCannotAddRefuses) {
  Sources src;
  RecordSets::List list;
  RecordSets::Keyed plain;
  std::ignore = list.Add(src.r[0]), std::ignore = list.Add(src.r[1]);
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  const std::vector<Status> saved{list.PersistSave(storage), list.PersistSave(storage), storage->WriteInt32(-1)};
  ASSERT_EQ(saved, std::vector<Status>(3, kSuccess));
  EXPECT_EQ((std::vector<Status>{list.PersistLoad(storage), plain.PersistLoad(storage), list.PersistLoad(storage)}),
            (std::vector<Status>{kSuccess, Hvd::kNotSupported, kSuccess}));
  EXPECT_EQ(ContentsOf(list), (Strings{"30", "10", "30", "10"}));
  EXPECT_EQ(plain.Size(), 0u);
}

// For every k: the k-th storage operation fails; the operation that met it reports the
// failure, the receiving set is unchanged and nothing is left behind.
TEST_F(SetPersistTest, AStorageFailingAtEveryOperation) {
  constexpr Hvd::Status kInjected{0x77};
  bool reachedTheEnd = false;
  for (std::int64_t k = 1; !reachedTheEnd; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    ASSERT_LT(k, 100);
    Sources src;
    RecordSets::List list;
    StringVectorSet strings;
    for (IRecord* r : src.r) std::ignore = list.Add(r);
    std::ignore = strings.Add("x"), std::ignore = strings.Add("y");
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    Control(storage.Get())->FailOperation(k, kInjected);

    Hvd::Status status = list.PersistSave(storage);
    if (status != Hvd::kSuccess) {
      EXPECT_EQ(status, kInjected);
      continue;
    }
    if (strings.PersistSave(storage) != Hvd::kSuccess) continue;  // string sets answer 0
    std::ignore = Control(storage.Get())->Rewind();

    RecordSets::List loaded;
    std::ignore = loaded.Add(src.r[2]);
    status = loaded.PersistLoad(storage);
    if (status != Hvd::kSuccess) {
      EXPECT_EQ(status, kInjected);
      EXPECT_EQ(ContentsOf(loaded), Strings{"20"}) << "a failed load leaves the set as it was";
      continue;
    }
    EXPECT_EQ(ContentsOf(loaded), (Strings{"20", "30", "10", "20"}));
    StringListSet loadedStrings;
    if (loadedStrings.PersistLoad(storage) != Hvd::kSuccess) {
      EXPECT_EQ(loadedStrings.Size(), 0u);
      continue;
    }
    EXPECT_EQ(ContentsOf(loadedStrings), (Strings{"x", "y"}));
    reachedTheEnd = true;
  }
}


// A plain set keeps no record of its own: loading reads nothing, saving writes nothing, and
// both say that they are not supported.
TEST_F(SetPersistTest, APlainSetNeitherReadsNorWritesARecord) {
  PointerElements elements;
  Sets::Pointer set;
  std::ignore = set.Add(elements.Make(0));
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(storage->WriteInt32(2), kSuccess);
  EXPECT_EQ(set.PersistSave(storage), Hvd::kNotSupported);
  ASSERT_EQ(storage->WriteInt32(7), kSuccess);
  std::ignore = Control(storage.Get())->Rewind();
  EXPECT_EQ(set.PersistLoad(storage), Hvd::kNotSupported);
  std::int32_t first = 0, second = 0;
  EXPECT_TRUE(storage->ReadInt32(&first) == kSuccess && storage->ReadInt32(&second) == kSuccess);
  EXPECT_EQ(std::vector<std::int32_t>({first, second}), std::vector<std::int32_t>({2, 7}));
  EXPECT_EQ(set.Size(), 1u);
}

}  // namespace
