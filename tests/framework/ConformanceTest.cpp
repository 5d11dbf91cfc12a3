// What every registered component and its factory owe their clients. The component is checked
// row by row of its query table: each part reaches every other row and the one root, unknown ids
// reach nothing, queries take no reference, the count starts at 1 and the last release destroys
// it (once, or the sanitizers say so). The factory makes its own class only and is counted only
// through the host's interface.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Hvd/ClassIds.h"
#include "core/Holders.h"
#include "utils/Factory.h"
#include "library/RegisteredClasses.h"
#include "support/Fakes.h"

namespace {

const std::vector<Port::XUID> kRegistered = Hvd::ClassIdsOf(Hvd::RegisteredClasses{});

template <class X>
void CheckFactory() {
  auto* factory = new Port::TFactory<X>();
  for (const Port::XUID& other : kRegistered) {
    CitI::IInterface* made = factory->CreateInstance(other);
    EXPECT_EQ(made != nullptr, other == X::GetCLSID());
    Prjrep::ReleaseInterface(made);
  }
  EXPECT_EQ(factory->QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
  auto* count = static_cast<CommonI::IRefCount*>(factory->QueryInterface(CommonI::IRefCount::GetIID()));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->QueryInterface(CitI::IInterface::GetIID()), factory);
  std::int32_t n = 0;
  EXPECT_TRUE(count->GetRefCount(n) == 1u && n == 1) << n;
  count->Release();
}

template <class X>
void CheckComponent() {
  SCOPED_TRACE(X::GetCLSID().GetAsString().c_str());
  CheckFactory<X>();
  Port::TFactory<X> factory;
  CitI::IInterface* root = factory.CreateInstance(X::GetCLSID());  // its root and count: see the host's road
  Prjrep::AutoCast<Prjrep::IRefCount> count(root);
  ASSERT_TRUE(count);
  EXPECT_EQ(count->QueryInterface(Prjrep::IRefCountV1::GetIID()), count.Get()) << "the older id is the count's own";
  Port::XUID classId = X::GetCLSID();
  if (Prjrep::AutoCast<Prjrep::IPersist> persist(root); persist) std::ignore = persist->GetClassId(classId);
  EXPECT_EQ(classId, X::GetCLSID()) << "a stored object names its own class";

  // The table of a fresh object of the class: the created one is reached only as its root.
  X* object = new X();
  Prjrep::AutoRelease<CitI::IInterface> own(object->QueryInterface(CitI::IInterface::GetIID()));
  std::vector<std::pair<Port::XUID, CitI::IInterface*>> rows;
  object->QueryTable().ForEach([&](const Port::XUID& iid, CitI::IInterface* part) { rows.emplace_back(iid, part); });
  EXPECT_GE(rows.size(), 2u) << "a component answers at least its root and its count";
  const Port::XUID unknown = Port::XUID::New();
  for (const auto& [iid, part] : rows) {
    SCOPED_TRACE(iid.GetAsString().str());
    ASSERT_TRUE(part != nullptr && object->QueryInterface(iid) == part);
    for (const auto& row : rows) EXPECT_EQ(part->QueryInterface(row.first), object->QueryInterface(row.first));
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), own.Get());
    EXPECT_TRUE(part->QueryInterface(unknown) == nullptr && part->QueryInterface(Port::XUID()) == nullptr);
  }
  EXPECT_EQ(Prjrep::AutoCast<Prjrep::IRefCount>(own.Get())->GetRefCount(), 1);
  std::ignore = count->Release();
}

template <class... X>
void CheckAll(Hvd::TypeList<X...>) {
  (CheckComponent<X>(), ...);
}

TEST(ConformanceTest, EveryRegisteredClassAnswersItsTableConsistently) { CheckAll(Hvd::RegisteredClasses{}); }

// Registering again over the entry's factories releases those: none may be left behind, and the
// registry keeps serving every registered class.
TEST(ConformanceTest, TheRegistryHoldsTheOnlyReferenceAndServesAfterARegistrationAnew) {
  InstFactoryEntry();
  InstFactoryEntry();
  for (const Port::XUID& id : kRegistered) {
    CitI::IInterface* made = CitP::Factory::CreateInstance(id);
    EXPECT_NE(made, nullptr) << id.GetAsString().c_str();
    Prjrep::ReleaseInterface(made);
  }
  CitP::Factory::Shutdown();
}

// The rows themselves: a conditional row lets the query go on while it does not hold, and a
// lazy row is asked for its part only when its id is the one asked for.
TEST(ConformanceTest, ConditionalRowsPassOnAndLazyRowsAreAskedOnlyForTheirId) {
  using testing_support::ITestA, testing_support::ITestB;
  struct CParts : Hvd::TComponent<CParts> {
    struct XIA : Hvd::TNested<CParts, ITestA> {
      using TNested::TNested;
      int A() override { return 1; }
    } m_first{this}, m_second{this};
    bool m_firstAnswers = false;
    int m_lazyCalls = 0;
    auto QueryTable() {
      return Hvd::Table(Hvd::RowIf<ITestA>(m_firstAnswers, &m_first), Hvd::Row<ITestA>(&m_second),
                        Hvd::LazyRow<ITestB>([this]() -> ITestB* { return ++m_lazyCalls, nullptr; }),
                        Hvd::Row<CitI::IInterface>(this));
    }
  } parts;
  EXPECT_EQ(parts.QueryInterface(ITestA::GetIID()), static_cast<CitI::IInterface*>(&parts.m_second));
  parts.m_firstAnswers = true;
  EXPECT_EQ(parts.QueryInterface(ITestA::GetIID()), static_cast<CitI::IInterface*>(&parts.m_first));
  EXPECT_EQ(parts.QueryInterface(CitI::IInterface::GetIID()), &parts);
  EXPECT_EQ(parts.m_lazyCalls, 0);
  EXPECT_EQ(parts.QueryInterface(ITestB::GetIID()), nullptr);
  EXPECT_EQ(parts.m_lazyCalls, 1);
}

}  // namespace
