// What every registered component owes its clients, checked row by row of its query table:
// each row's id reaches the same root, each part answers its own id, queries take no
// reference, the count starts at 1, and the last release destroys it (once, or the
// sanitizers say so).

#include <gtest/gtest.h>

#include <string>

#include "core/Holders.h"
#include "framework/Factory.h"
#include "library/RegisteredClasses.h"

namespace {

template <class X>
void CheckComponent() {
  SCOPED_TRACE(X::GetCLSID().GetAsString().c_str());
  Port::TFactory<X> factory;
  CitI::IInterface* root = factory.CreateInstance(X::GetCLSID());
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->QueryInterface(CitI::IInterface::GetIID()), root);
  Prjrep::AutoCast<Prjrep::IRefCount> count(root);
  ASSERT_TRUE(count);
  EXPECT_EQ(count->GetRefCount(), 1);

  // The table of a fresh object of the class: the created one is reached only as its root.
  X* object = new X();
  Prjrep::AutoRelease<CitI::IInterface> own(object->QueryInterface(CitI::IInterface::GetIID()));
  int rows = 0;
  object->QueryTable().ForEach([&](const Port::XUID& iid, CitI::IInterface* part) {
    SCOPED_TRACE("row " + std::to_string(++rows) + " " + iid.GetAsString().str());
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(object->QueryInterface(iid), part);
    EXPECT_EQ(part->QueryInterface(iid), part);
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), own.Get());
  });
  EXPECT_GE(rows, 2) << "a component answers at least its root and its count";
  EXPECT_EQ(Prjrep::AutoCast<Prjrep::IRefCount>(own.Get())->GetRefCount(), 1);

  std::ignore = count->Release();
}

template <class... X>
void CheckAll(Hvd::TypeList<X...>) {
  (CheckComponent<X>(), ...);
}

TEST(ConformanceTest, EveryRegisteredClassAnswersItsTableConsistently) { CheckAll(Hvd::RegisteredClasses{}); }

}  // namespace
