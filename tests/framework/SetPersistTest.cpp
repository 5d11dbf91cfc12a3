// Sets stored through the repository's storage: round trips and failing storage.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "Prjrep/Storage.h"
#include "support/SetKinds.h"

using namespace testing_support;

namespace {

using Hvd::Status;
using Strings = std::vector<std::string>;

// A keyed set that works out each key from its element, as a library set does by name.
class ValueKeyedSet : public RecordSets::Keyed {
 public:
  Status Add(IRecord* element) override {
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

Prjrep::IStorageControl* ControlOf(Prjrep::IStorage* storage) {
  return static_cast<Prjrep::IStorageControl*>(storage->QueryInterface(Prjrep::IStorageControl::GetIID()));
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
  std::vector<Status> Save(Prjrep::IStorage* s) {  // a braced list is evaluated in order
    return {list.PersistSave(s),    vector.PersistSave(s),  counted->PersistSave(s),
            keyed.PersistSave(s),   strings.PersistSave(s), locators.PersistSave(s)};
  }
  std::vector<Status> Load(Prjrep::IStorage* s) {
    return {list.PersistLoad(s),    vector.PersistLoad(s),  counted->PersistLoad(s),
            keyed.PersistLoad(s),   strings.PersistLoad(s), locators.PersistLoad(s)};
  }
};

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
  const std::vector<Status> ok(6, Hvd::kSuccess);
  {
    Sources src;
    EveryKind sets;
    for (IRecord* r : src.r) {
      std::ignore = sets.list.Add(r);
      std::ignore = sets.vector.Add(r);
      std::ignore = sets.counted->Add(r);
      std::ignore = sets.keyed.Add(r);
    }
    std::ignore = sets.list.Add(src.r[0]);  // the same object twice
    for (const char* s : {"b", "", "a", "b"}) {
      std::ignore = sets.strings.Add(s);
      std::ignore = sets.locators.Add(s);
    }
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ASSERT_EQ(sets.Save(storage), ok);
    ASSERT_EQ(ControlOf(storage)->SaveToFile(path.c_str()), Hvd::kSuccess);
  }
  // A fresh start: nothing of the writing side is left, the class is registered anew.
  CitP::Factory::Shutdown();
  ASSERT_EQ(CRecord::s_alive, m_alive);
  CRecord::Register();
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(ControlOf(storage)->LoadFromFile(path.c_str()), Hvd::kSuccess);
  std::remove(path.c_str());
  EveryKind sets;
  ASSERT_EQ(sets.Load(storage), ok);
  EXPECT_EQ(ContentsOf(sets.list), (Strings{"30", "10", "20", "30"}));
  EXPECT_EQ(ContentsOf(sets.vector), (Strings{"30", "10", "20"}));
  EXPECT_EQ(ContentsOf(*sets.counted), (Strings{"30", "10", "20"}));
  EXPECT_EQ(ContentsOf(sets.keyed), (Strings{"10", "20", "30"}));
  EXPECT_EQ(ContentsOf(sets.strings), (Strings{"b", "", "a", "b"}));
  EXPECT_EQ(ContentsOf(sets.locators), (Strings{"b", "", "a", "b"}));
  // Each stored record came back as one object, shared by every set that held it.
  EXPECT_EQ(CRecord::s_alive, m_alive + 3);
}

TEST_F(SetPersistTest, LoadingAppendsAndAKeyedSetThatCannotAddRefusesTheLoad) {
  Sources src;
  RecordSets::List list;
  std::ignore = list.Add(src.r[0]);
  std::ignore = list.Add(src.r[1]);
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(list.PersistSave(storage), Hvd::kSuccess);
  ASSERT_EQ(list.PersistSave(storage), Hvd::kSuccess);
  ASSERT_EQ(storage->WriteInt32(-1), Hvd::kSuccess);

  ASSERT_EQ(list.PersistLoad(storage), Hvd::kSuccess);
  EXPECT_EQ(ContentsOf(list), (Strings{"30", "10", "30", "10"}));
  RecordSets::Keyed plain;
  EXPECT_EQ(plain.PersistLoad(storage), Hvd::kNotSupported);
  EXPECT_EQ(plain.Size(), 0u);
  EXPECT_EQ(list.PersistLoad(storage), Hvd::kSuccess);  // a negative count reads nothing
  EXPECT_EQ(list.Size(), 4u);
}

// For every k: the k-th storage operation fails; the operation that met it reports the
// failure, the receiving set is unchanged and nothing is left behind.
TEST_F(SetPersistTest, AStorageFailingAtEveryOperation) {
  constexpr Status kInjected {0x77};
  bool reachedTheEnd = false;
  for (std::int64_t k = 1; !reachedTheEnd; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    ASSERT_LT(k, 100);
    Sources src;
    RecordSets::List list;
    StringVectorSet strings;
    for (IRecord* r : src.r) std::ignore = list.Add(r);
    std::ignore = strings.Add("x");
    std::ignore = strings.Add("y");
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ControlOf(storage)->FailOperation(k, kInjected);

    Status status = list.PersistSave(storage);
    if (status != Hvd::kSuccess) {
      EXPECT_EQ(status, kInjected);
      continue;
    }
    if (strings.PersistSave(storage) != Hvd::kSuccess) continue;  // string sets answer 0
    std::ignore = ControlOf(storage)->Rewind();

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

}  // namespace
