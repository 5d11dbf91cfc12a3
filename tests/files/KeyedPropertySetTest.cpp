// Property instances kept under names inside an owner: references, refused changes, removal
// while walking and queries answered by the owner.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Interface.h"
#include "core/RefCount.h"
#include "files/KeyedPropertySet.h"
#include "support/Fakes.h"

namespace {

using testing_support::ITestA;
using Text = Port::StringBase<char>;
using Instance = Prjrep::AutoRelease<Hvd::IPropertyInstance>;

int g_alive = 0;

struct Value : Hvd::TComponent<Value, Hvd::IPropertyInstance> {
  Value() { ++g_alive; }
  ~Value() override { --g_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPropertyInstance>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetName(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetValue(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status SetValue(const Text&) override { return Hvd::kNotSupported; }
  Hvd::Status GetTemplate(Hvd::IPropertyTemplate**) override { return Hvd::kNotSupported; }
  Hvd::Status IsDefault(bool*) override { return Hvd::kNotSupported; }
  Prjrep::TRefCountHelper<Value> count{this};
};

// An owner that keeps its properties in a keyed set.
struct Owner : Hvd::TComponent<Owner, ITestA> {
  int A() override { return 0; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<ITestA>(this), Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::CKeyedPropertySet properties{this};
  Prjrep::TRefCountHelper<Owner> count{this};
};

template <class I>
I* As(Hvd::CKeyedPropertySet& set) {
  return static_cast<I*>(set.QueryInterface(I::GetIID()));
}

TEST(KeyedPropertySetTest, KeepsOneReferencePerNameAndChangesOnlyByName) {
  {
    Hvd::CKeyedPropertySet set;  // without an owner
    Instance first(new Value);
    EXPECT_TRUE(set.SetProperty("BRANCH", first.Get()) == Hvd::kSuccess &&
                set.SetProperty("BRANCH", Instance(new Value).Get()) == Hvd::kSuccess);
    first = nullptr;
    EXPECT_TRUE(set.GetCount() == 1 && g_alive == 1) << "the replaced instance lost the set's reference";
    EXPECT_TRUE(set.GetProperty("BRANCH").Get() != nullptr && set.GetProperty("TOP").Get() == nullptr);
    Instance(As<Hvd::IKeyedPropertySet>(set)->Lookup("BRANCH")) = nullptr;
    EXPECT_EQ(g_alive, 1) << "the caller's reference is its own";

    auto* asSet = As<Hvd::IPropertyInstanceSet>(set);
    EXPECT_TRUE(set.Clear() == Hvd::kNotSupported && asSet->Remove(nullptr) == Hvd::kNotSupported &&
                asSet->Add(Instance(new Value).Get()) == Hvd::kNotSupported && set.GetCount() == 1);
    EXPECT_EQ(set.QueryInterface(CitI::IInterface::GetIID()), static_cast<CitI::IInterface*>(asSet));
    EXPECT_EQ(set.QueryInterface(ITestA::GetIID()), nullptr);
  }
  EXPECT_EQ(g_alive, 0);

  Prjrep::AutoRelease<Owner> owner(new Owner);
  Hvd::CKeyedPropertySet& set = owner->properties;
  for (const char* name : {"C", "A", "B"}) ASSERT_EQ(set.SetProperty(name, Instance(new Value).Get()), Hvd::kSuccess);
  EXPECT_EQ(set.QueryInterface(ITestA::GetIID()), owner->QueryInterface(ITestA::GetIID()));
  EXPECT_EQ(set.QueryInterface(CitI::IInterface::GetIID()), owner->QueryInterface(CitI::IInterface::GetIID()));
  Prjrep::AutoRelease<Hvd::IPropertyInstanceIterator> at;
  ASSERT_EQ(As<Hvd::IPropertyInstanceSet>(set)->GetIterator(at.Receive()), Hvd::kSuccess);
  EXPECT_EQ(owner->count.GetRefCount(), 2) << "an iterator keeps the owner, and so the set";
  std::vector<std::string> visited;
  for (auto pos = set.begin(); pos != set.end();) {
    visited.push_back(pos->first.str());
    set.RemoveAt(pos);
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_TRUE(set.GetCount() == 0 && g_alive == 0 && at->IsDone());
}

}  // namespace
