// Sets stored through the repository's storage: round trips and failing storage.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "Prjrep/IStringSet.h"
#include "Prjrep/Storage.h"
#include "framework/AssociativeSets.h"
#include "framework/Sets.h"
#include "framework/StringSets.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

using ListSet = Prjrep::TSequenceSetHelper<IRecord*, IRecordSet, IRecordIterator, std::list<IRecord*>>;
using VectorSet = Prjrep::TSequenceSetHelper<IRecord*, IRecordSet, IRecordIterator, std::vector<IRecord*>>;
using CountedSet = Hvd::TRefdSequenceSetHelper<IRecord*, IRecordSet, IRecordIterator, std::list<IRecord*>>;
using KeyedSet = Prjrep::TAssociativeSetHelper<IRecord*, IRecordSet, IRecordIterator>;
using StringVectorSet =
    Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::vector<Port::StringBase<char>>>;
using StringListSet =
    Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::list<Port::StringBase<char>>>;

// A keyed set that works out each key from its element, as a library set does by name.
class ValueKeyedSet : public KeyedSet {
 public:
  std::uint64_t Add(IRecord* element) override {
    if (element == nullptr) return 0;
    return SetByKey(Port::StringBase<char>(std::to_string(element->Value())), element);
  }
};

template <class Set>
std::vector<std::int32_t> ValuesOf(Set& set) {
  std::vector<std::int32_t> values;
  IRecordIterator* it = nullptr;
  if (set.GetIterator(&it) != 1) return values;
  for (; !it->IsDone(); it->Next()) values.push_back(it->Current()->Value());
  Prjrep::ReleaseInterface(it);
  return values;
}

template <class Set>
std::vector<std::string> StringsOf(Set& set) {
  std::vector<std::string> values;
  Prjrep::IStringIterator* it = nullptr;
  if (set.GetIterator(&it) != 1) return values;
  for (; !it->IsDone(); it->Next()) values.push_back(it->Current().str());
  Prjrep::ReleaseInterface(it);
  return values;
}

Prjrep::IStorageControl* ControlOf(Prjrep::IStorage* storage) {
  return static_cast<Prjrep::IStorageControl*>(storage->QueryInterface(Prjrep::IStorageControl::GetIID()));
}

class SetPersistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CRecord::Register();
    m_alive = CRecord::s_alive;
  }
  void TearDown() override {
    CitP::Factory::Shutdown();
    EXPECT_EQ(CRecord::s_alive, m_alive) << "records left behind";
  }

  // Three records with the test's own references.
  struct Sources {
    IRecord* r[3] = {CRecord::Make(30), CRecord::Make(10), CRecord::Make(20)};
    ~Sources() {
      for (IRecord* each : r) Prjrep::ReleaseInterface(each);
    }
  };

  int m_alive = 0;
};

TEST_F(SetPersistTest, EverySetKindRoundTripsThroughAFile) {
  const std::string path = ::testing::TempDir() + "sets_" + std::to_string(getpid()) + ".stg";
  {
    Sources src;
    ListSet list;
    VectorSet vector;
    auto* counted = new CountedSet;
    ValueKeyedSet keyed;
    StringVectorSet strings;
    StringListSet locators;
    for (IRecord* r : src.r) {
      list.Add(r);
      vector.Add(r);
      counted->Add(r);
      keyed.Add(r);
    }
    list.Add(src.r[0]);  // the same object twice
    for (const char* s : {"b", "", "a", "b"}) {
      strings.Add(s);
      locators.Add(s);
    }
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ASSERT_EQ(list.PersistSave(storage), 1u);
    ASSERT_EQ(vector.PersistSave(storage), 1u);
    ASSERT_EQ(counted->PersistSave(storage), 1u);
    ASSERT_EQ(keyed.PersistSave(storage), 1u);
    ASSERT_EQ(strings.PersistSave(storage), 1u);
    ASSERT_EQ(locators.PersistSave(storage), 1u);
    ASSERT_EQ(ControlOf(storage)->SaveToFile(path.c_str()), 1u);
    Prjrep::ReleaseInterface(counted);
  }
  // A fresh start: nothing of the writing side is left, the class is registered anew.
  CitP::Factory::Shutdown();
  ASSERT_EQ(CRecord::s_alive, m_alive);
  CRecord::Register();
  {
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ASSERT_EQ(ControlOf(storage)->LoadFromFile(path.c_str()), 1u);
    ListSet list;
    VectorSet vector;
    auto* counted = new CountedSet;
    ValueKeyedSet keyed;
    StringVectorSet strings;
    StringListSet locators;
    ASSERT_EQ(list.PersistLoad(storage), 1u);
    ASSERT_EQ(vector.PersistLoad(storage), 1u);
    ASSERT_EQ(counted->PersistLoad(storage), 1u);
    ASSERT_EQ(keyed.PersistLoad(storage), 1u);
    ASSERT_EQ(strings.PersistLoad(storage), 1u);
    ASSERT_EQ(locators.PersistLoad(storage), 1u);
    EXPECT_EQ(ValuesOf(list), (std::vector<std::int32_t>{30, 10, 20, 30}));
    EXPECT_EQ(ValuesOf(vector), (std::vector<std::int32_t>{30, 10, 20}));
    EXPECT_EQ(ValuesOf(*counted), (std::vector<std::int32_t>{30, 10, 20}));
    EXPECT_EQ(ValuesOf(keyed), (std::vector<std::int32_t>{10, 20, 30}));
    EXPECT_EQ(StringsOf(strings), (std::vector<std::string>{"b", "", "a", "b"}));
    EXPECT_EQ(StringsOf(locators), (std::vector<std::string>{"b", "", "a", "b"}));
    // Each stored record came back as one object, shared by every set that held it.
    EXPECT_EQ(CRecord::s_alive, m_alive + 3);
    Prjrep::ReleaseInterface(counted);
  }
  std::remove(path.c_str());
}

TEST_F(SetPersistTest, LoadingAppendsAndAKeyedSetThatCannotAddRefusesTheLoad) {
  Sources src;
  ListSet list;
  list.Add(src.r[0]);
  list.Add(src.r[1]);
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(list.PersistSave(storage), 1u);
  ASSERT_EQ(list.PersistSave(storage), 1u);
  ASSERT_EQ(storage->WriteInt32(-1), 1u);

  ASSERT_EQ(list.PersistLoad(storage), 1u);
  EXPECT_EQ(ValuesOf(list), (std::vector<std::int32_t>{30, 10, 30, 10}));
  KeyedSet plain;
  EXPECT_EQ(plain.PersistLoad(storage), Hvd::kNotSupported);
  EXPECT_EQ(plain.Size(), 0u);
  EXPECT_EQ(list.PersistLoad(storage), 1u);  // a negative count reads nothing
  EXPECT_EQ(list.Size(), 4u);
}

// For every k: the k-th storage operation fails; the operation that met it reports the
// failure, the receiving set is unchanged and nothing is left behind.
TEST_F(SetPersistTest, AStorageFailingAtEveryOperation) {
  constexpr std::uint64_t kInjected = 0x77;
  bool reachedTheEnd = false;
  for (std::int64_t k = 1; !reachedTheEnd; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    ASSERT_LT(k, 100);
    Sources src;
    ListSet list;
    StringVectorSet strings;
    for (IRecord* r : src.r) list.Add(r);
    strings.Add("x");
    strings.Add("y");
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    Prjrep::IStorageControl* control = ControlOf(storage);
    control->FailOperation(k, kInjected);

    std::uint64_t status = list.PersistSave(storage);
    if (status != 1) {
      EXPECT_EQ(status, kInjected);
      continue;
    }
    if (strings.PersistSave(storage) != 1) continue;  // string sets answer 0
    control->Rewind();

    ListSet loaded;
    loaded.Add(src.r[2]);
    status = loaded.PersistLoad(storage);
    if (status != 1) {
      EXPECT_EQ(status, kInjected);
      EXPECT_EQ(ValuesOf(loaded), (std::vector<std::int32_t>{20})) << "a failed load leaves the set as it was";
      continue;
    }
    EXPECT_EQ(ValuesOf(loaded), (std::vector<std::int32_t>{20, 30, 10, 20}));
    StringListSet loadedStrings;
    if (loadedStrings.PersistLoad(storage) != 1) {
      EXPECT_EQ(loadedStrings.Size(), 0u);
      continue;
    }
    EXPECT_EQ(StringsOf(loadedStrings), (std::vector<std::string>{"x", "y"}));
    reachedTheEnd = true;
  }
}

}  // namespace
