// The standard IPersist of a component.

#include <gtest/gtest.h>

#include "framework/Holders.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

// A component that can load but not save.
class CLoadOnly : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-5555555555F1}")
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{Prjrep::IPersist::GetIID(), &m_persist}, {CitI::IInterface::GetIID(), this}});
  }
  std::uint64_t LoadFrom(Prjrep::IStorage*) { return 1; }
  Prjrep::TPersistHelper<CLoadOnly> m_persist{this};
};

TEST(PersistHelperTest, IdsAndOwner) {
  Prjrep::AutoRelease<IRecord> a(CRecord::Make(1));
  Prjrep::AutoRelease<IRecord> b(CRecord::Make(2));
  Prjrep::AutoCast<Prjrep::IPersist> pa(a.Get()), pb(b.Get());
  Port::XUID idA, idB, classA, classB;
  ASSERT_EQ(pa->GetId(idA), 1u);
  ASSERT_EQ(pb->GetId(idB), 1u);
  EXPECT_FALSE(idA == idB);
  EXPECT_FALSE(idA.IsNull());
  pa->GetClassId(classA);
  pb->GetClassId(classB);
  EXPECT_EQ(classA, CRecord::GetCLSID());
  EXPECT_EQ(classA, classB);
  ASSERT_EQ(pa->SetId(idB), 1u);  // no check: another object's id is accepted
  pa->GetId(idA);
  EXPECT_EQ(idA, idB);
  EXPECT_EQ(pa->QueryInterface(IRecord::GetIID()), a.Get());
}

TEST(PersistHelperTest, WithoutSaveRoutineOrOwnerNothingIsDone) {
  CLoadOnly component;
  EXPECT_EQ(component.m_persist.PersistSave(nullptr), Hvd::kNotSupported);
  CLoadOnly* owner = nullptr;
  EXPECT_EQ(component.m_persist.GetOwner(&owner), 1u);
  EXPECT_EQ(owner, &component);
  EXPECT_EQ(component.m_persist.GetOwner(nullptr), 0u);
  EXPECT_EQ(component.m_persist.SetOwner(nullptr), 0u);
  EXPECT_EQ(component.m_persist.GetOwner(&owner), 0u);
  EXPECT_EQ(owner, nullptr);
  // A cleared owner: no query, load or save reaches freed or null memory.
  EXPECT_EQ(component.m_persist.QueryInterface(CitI::IInterface::GetIID()), nullptr);
  EXPECT_EQ(component.m_persist.PersistLoad(nullptr), 0u);
}

}  // namespace
