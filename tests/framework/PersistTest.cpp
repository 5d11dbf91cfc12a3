// The standard IPersist of a component.

#include <gtest/gtest.h>

#include "core/Holders.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

// A component that can load but not save.
class CLoadOnly : public Hvd::TComponent<CLoadOnly> {
 public:
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-5555555555F1}")
  auto QueryTable() { return Hvd::Table(Hvd::Row<Prjrep::IPersist>(&m_persist), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::Status LoadFrom(Prjrep::IStorage*) { return Hvd::kSuccess; }
  Prjrep::TPersistHelper<CLoadOnly> m_persist{this};
};

TEST(PersistHelperTest, EachObjectHasItsOwnIdThatCanBeSetAndItsClassId) {
  Prjrep::AutoRelease<IRecord> a(CRecord::Make(1));
  Prjrep::AutoRelease<IRecord> b(CRecord::Make(2));
  Prjrep::AutoCast<Prjrep::IPersist> pa(a.Get());
  Port::XUID id[3];
  Port::XUID classId;
  std::ignore = pa->GetId(id[0]);
  std::ignore = Prjrep::AutoCast<Prjrep::IPersist>(b.Get())->GetId(id[1]);
  EXPECT_FALSE(id[0] == id[1] || id[0].IsNull());
  ASSERT_EQ(pa->SetId(id[1]), Hvd::kSuccess);  // no check: another object's id is accepted
  std::ignore = pa->GetId(id[2]);
  EXPECT_EQ(id[2], id[1]);
  std::ignore = pa->GetClassId(classId);
  EXPECT_EQ(classId, CRecord::GetCLSID());
  EXPECT_EQ(pa->QueryInterface(IRecord::GetIID()), a.Get());
}

TEST(PersistHelperTest, WithoutSaveRoutineOrOwnerNothingIsDone) {
  CLoadOnly component;
  EXPECT_EQ(component.m_persist.PersistSave(nullptr), Hvd::kNotSupported);
  CLoadOnly* owner = nullptr;
  EXPECT_EQ(component.m_persist.GetOwner(&owner), Hvd::kSuccess);
  EXPECT_EQ(owner, &component);
  EXPECT_EQ(component.m_persist.GetOwner(nullptr), Hvd::kFailure);
  EXPECT_EQ(component.m_persist.SetOwner(nullptr), Hvd::kFailure);
  EXPECT_EQ(component.m_persist.GetOwner(&owner), Hvd::kFailure);
  EXPECT_EQ(owner, nullptr);
  // A cleared owner: no query, load or save reaches freed or null memory.
  EXPECT_EQ(component.m_persist.QueryInterface(CitI::IInterface::GetIID()), nullptr);
  EXPECT_EQ(component.m_persist.PersistLoad(nullptr), Hvd::kFailure);
}

}  // namespace
