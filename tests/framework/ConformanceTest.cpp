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
#include "framework/Factory.h"
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
  EXPECT_EQ(count->GetRefCount(n), 1u);
  EXPECT_EQ(n, 1);
  count->Release();
}

template <class X>
void CheckComponent() {
  SCOPED_TRACE(X::GetCLSID().GetAsString().c_str());
  CheckFactory<X>();
  Port::TFactory<X> factory;
  CitI::IInterface* root = factory.CreateInstance(X::GetCLSID());
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->QueryInterface(CitI::IInterface::GetIID()), root);
  Prjrep::AutoCast<Prjrep::IRefCount> count(root);
  ASSERT_TRUE(count);
  EXPECT_EQ(count->QueryInterface(Prjrep::IRefCountV1::GetIID()), count.Get()) << "the older id is the count's own";
  EXPECT_EQ(count->GetRefCount(), 1);
  EXPECT_EQ(count->AddRef(), Hvd::kSuccess);
  EXPECT_EQ(count->GetRefCount(), 2);
  EXPECT_EQ(count->Release(), Hvd::kSuccess);
  if (Prjrep::AutoCast<Prjrep::IPersist> persist(root); persist) {
    Port::XUID classId;
    std::ignore = persist->GetClassId(classId);
    EXPECT_EQ(classId, X::GetCLSID()) << "a stored object names its own class";
  }

  // The table of a fresh object of the class: the created one is reached only as its root.
  X* object = new X();
  Prjrep::AutoRelease<CitI::IInterface> own(object->QueryInterface(CitI::IInterface::GetIID()));
  std::vector<std::pair<Port::XUID, CitI::IInterface*>> rows;
  object->QueryTable().ForEach([&](const Port::XUID& iid, CitI::IInterface* part) { rows.emplace_back(iid, part); });
  EXPECT_GE(rows.size(), 2u) << "a component answers at least its root and its count";
  const Port::XUID unknown = Port::XUID::New();
  for (const auto& [iid, part] : rows) {
    SCOPED_TRACE(iid.GetAsString().str());
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(object->QueryInterface(iid), part);
    for (const auto& row : rows) EXPECT_EQ(part->QueryInterface(row.first), object->QueryInterface(row.first));
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), own.Get());
    EXPECT_EQ(part->QueryInterface(unknown), nullptr);
    EXPECT_EQ(part->QueryInterface(Port::XUID()), nullptr);
  }
  EXPECT_EQ(Prjrep::AutoCast<Prjrep::IRefCount>(own.Get())->GetRefCount(), 1);
  std::ignore = count->Release();
}

template <class... Id>
std::vector<Port::XUID> Ids(const Id&... id) {
  return {id...};
}

template <class... X>
void CheckAll(Hvd::TypeList<X...>) {
  (CheckComponent<X>(), ...);
}

TEST(ConformanceTest, EveryRegisteredClassAnswersItsTableConsistently) { CheckAll(Hvd::RegisteredClasses{}); }

// The public class ids are the registration table's, in its order. Registering again over the
// entry's factories releases those: none may be left behind, and the registry keeps serving.
TEST(ConformanceTest, EveryPublicClassIdIsRegisteredAndTheRegistryHoldsTheOnlyReference) {
  namespace C = Hvd::ClassId;
  const std::vector<Port::XUID> ids =
      Ids(C::DesignPlatform(), C::Project(), C::Design(), C::View(), C::File(), C::SourceLibrary(),
          C::ProjectReference(), C::ZmrFileReader(), C::DirectoryProjectBundle(), C::ConfigurationMgr(),
          C::Configuration(), C::ConfigurationElement(), C::PRModule(), C::Flavor(), C::ProjectAutonym(),
          C::ConfigurationMgrAutonym(), C::ConfigurationAutonym(), C::FlavorAutonym(), C::PRModuleAutonym(),
          C::PRHelper(), C::ProjRefUtils(), C::DumperComp(), C::RepoMine(), C::ProjectInfo());
  EXPECT_EQ(ids, kRegistered);
  InstFactoryEntry();
  InstFactoryEntry();
  for (const Port::XUID& id : ids) {
    CitI::IInterface* made = CitP::Factory::CreateInstance(id);
    EXPECT_NE(made, nullptr) << id.GetAsString().c_str();
    Prjrep::ReleaseInterface(made);
  }
  CitP::Factory::Shutdown();
}

// The rows themselves: a conditional row lets the query go on while it does not hold, and a
// lazy row is asked for its part only when its id is the one asked for.
TEST(ConformanceTest, ConditionalRowsPassOnAndLazyRowsAreAskedOnlyForTheirId) {
  struct CParts : Hvd::TComponent<CParts> {
    struct XIA : Hvd::TNested<CParts, testing_support::ITestA> {
      using TNested::TNested;
      int A() override { return 1; }
    } m_first{this}, m_second{this};
    bool m_firstAnswers = false;
    int m_lazyCalls = 0;
    auto QueryTable() {
      return Hvd::Table(Hvd::RowIf<testing_support::ITestA>(m_firstAnswers, &m_first),
                        Hvd::Row<testing_support::ITestA>(&m_second),
                        Hvd::LazyRow<testing_support::ITestB>([this]() -> testing_support::ITestB* {
                          ++m_lazyCalls;
                          return nullptr;
                        }),
                        Hvd::Row<CitI::IInterface>(this));
    }
  } parts;
  const Port::XUID& a = testing_support::ITestA::GetIID();
  EXPECT_EQ(parts.QueryInterface(a), static_cast<CitI::IInterface*>(&parts.m_second));
  parts.m_firstAnswers = true;
  EXPECT_EQ(parts.QueryInterface(a), static_cast<CitI::IInterface*>(&parts.m_first));
  EXPECT_EQ(parts.QueryInterface(CitI::IInterface::GetIID()), &parts);
  EXPECT_EQ(parts.m_lazyCalls, 0);
  EXPECT_EQ(parts.QueryInterface(testing_support::ITestB::GetIID()), nullptr);
  EXPECT_EQ(parts.m_lazyCalls, 1);
}

}  // namespace
