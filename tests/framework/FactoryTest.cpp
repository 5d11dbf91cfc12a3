// Factories and their registration.

#include <gtest/gtest.h>

#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "design/CView.h"
#include "framework/Factory.h"
#include "framework/Interface.h"
#include "framework/RegisteredClasses.h"
#include "framework/Holders.h"
#include "support/FakeNames.h"
#include "support/Fakes.h"

using namespace testing_support;

namespace {

std::vector<Port::XUID> AllClassIds() {
  namespace C = Hvd::ClassId;
  return {C::DesignPlatform(), C::Project(), C::Design(), C::View(), C::File(), C::SourceLibrary(), C::ProjectReference(),
          C::ZmrFileReader(), C::DirectoryProjectBundle(), C::ConfigurationMgr(), C::Configuration(), C::ConfigurationElement(),
          C::PRModule(), C::Flavor(), C::ProjectAutonym(), C::ConfigurationMgrAutonym(), C::ConfigurationAutonym(),
          C::FlavorAutonym(), C::PRModuleAutonym(), C::PRHelper(), C::ProjRefUtils(), C::DumperComp(), C::RepoMine(), C::ProjectInfo()};
}

struct RegisteredFactories : ::testing::Test {
  void SetUp() override { InstFactoryEntry(); }
  void TearDown() override { CitP::Factory::Shutdown(); }
};

TEST_F(RegisteredFactories, EachClassIsCreatedByItsOwnFactoryOnly) {
  const auto ids = AllClassIds();
  ASSERT_EQ(ids.size(), 24u);
  for (const Port::XUID& id : ids) {
    SCOPED_TRACE(id.GetAsString().c_str());
    CitI::IInterface* root = CitP::Factory::CreateInstance(id);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->QueryInterface(CitI::IInterface::GetIID()), root);
    auto* count = static_cast<Prjrep::IRefCount*>(root->QueryInterface(Prjrep::IRefCount::GetIID()));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->GetRefCount(), 1);
    EXPECT_EQ(root->QueryInterface(testing_support::ITestNone::GetIID()), nullptr);
    count->Release();
  }
}

template <class... X>
std::vector<CitI::IFactory*> MakeFactories(Hvd::TypeList<X...>) {
  return {new Port::TFactory<X>()...};
}

TEST(FactoryTest, EachFactoryRefusesEveryOtherRowAndCountsOnlyThroughTheHostInterface) {
  const auto ids = AllClassIds();
  const std::vector<CitI::IFactory*> factories = MakeFactories(Hvd::RegisteredClasses{});
  ASSERT_EQ(factories.size(), ids.size());
  for (std::size_t row = 0; row < factories.size(); ++row) {
    CitI::IFactory* factory = factories[row];
    for (std::size_t other = 0; other < ids.size(); ++other) {
      CitI::IInterface* made = factory->CreateInstance(ids[other]);
      EXPECT_EQ(made != nullptr, other == row) << "row " << row + 1 << ", class of row " << other + 1;
      Prjrep::ReleaseInterface(made);
    }
    EXPECT_EQ(factory->QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
    EXPECT_EQ(factory->QueryInterface(CitI::IInterface::GetIID()), factory);
    auto* count = static_cast<CommonI::IRefCount*>(factory->QueryInterface(CommonI::IRefCount::GetIID()));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->QueryInterface(CitI::IInterface::GetIID()), factory);
    std::int32_t n = 0;
    EXPECT_EQ(count->GetRefCount(n), 1u);
    EXPECT_EQ(n, 1);
    count->Release();
  }
}

TEST_F(RegisteredFactories, TheRegistryHoldsTheOnlyReference) {
  // Registering again over the entry's factories releases those: none may be left behind.
  CitP::Factory::Shutdown();
  InstFactoryEntry();
  InstFactoryEntry();
  CitI::IInterface* project = CitP::Factory::CreateInstance(Hvd::ClassId::Project());
  EXPECT_NE(project, nullptr) << "the second registration replaced the first";
  Prjrep::ReleaseInterface(project);
}

// A class that answers the path-name interface, and one that does not.
template <bool kAnswers>
class CFakeNamer : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() {
    static const Port::XUID s_id(kAnswers ? "{5E5E5E5E-0000-4000-8000-000000000001}"
                                          : "{5E5E5E5E-0000-4000-8000-000000000002}");
    return s_id;
  }
  CFakeNamer() { ++s_alive; }
  ~CFakeNamer() override { --s_alive; }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (kAnswers && iid == Prjrep::IFileNameHelper::GetIID()) return &m_namer;
    return Hvd::AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
  }
  struct XNamer : testing_support::FakeFileNameHelperBase {
    explicit XNamer(CFakeNamer* owner) : m_pThis(owner) {}
    CitI::IInterface* QueryInterface(const Port::XUID& iid) override { return m_pThis->QueryInterface(iid); }
    CFakeNamer* m_pThis;
  } m_namer{this};
  Prjrep::TRefCountHelper<CFakeNamer> m_refCount{this};
  static inline int s_alive = 0;
};

TEST_F(RegisteredFactories, FileNameHelperIsHandedOutOrGivenUp) {
  auto registerFactory = [](CitI::IFactory* factory, const Port::XUID& id) {
    CitP::Factory::RegisterFactory(id, factory);
    Prjrep::ReleaseInterface(factory);
  };
  registerFactory(new Port::TFactory<CFakeNamer<true>>, CFakeNamer<true>::GetCLSID());
  registerFactory(new Port::TFactory<CFakeNamer<false>>, CFakeNamer<false>::GetCLSID());

  Prjrep::IFileNameHelper* helper = reinterpret_cast<Prjrep::IFileNameHelper*>(0x1);
  EXPECT_TRUE(Hvd::CreateFileNameHelper(CFakeNamer<true>::GetCLSID(), &helper));
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(CFakeNamer<true>::s_alive, 1);
  Prjrep::ReleaseInterface(helper);
  EXPECT_EQ(CFakeNamer<true>::s_alive, 0);

  EXPECT_FALSE(Hvd::CreateFileNameHelper(CFakeNamer<false>::GetCLSID(), &helper));
  EXPECT_EQ(helper, nullptr);
  EXPECT_EQ(CFakeNamer<false>::s_alive, 0);  // created, then given up again
  EXPECT_FALSE(Hvd::CreateFileNameHelper(Port::XUID::New(), &helper));
  EXPECT_FALSE(Hvd::CreateFileNameHelper(CFakeNamer<true>::GetCLSID(), nullptr));
}

class CFakeRegistry : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{4FED14A6-B46D-476D-8556-05048BE1B55B}")
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
  }
  Prjrep::TRefCountHelper<CFakeRegistry> m_refCount{this};
};

TEST_F(RegisteredFactories, NamedObjectRegistryIsCreatedByItsClassId) {
  EXPECT_EQ(Hvd::GetNamedObjectRegistryCLSID(), nullptr);  // none registered yet
  auto* factory = new Port::TFactory<CFakeRegistry>;
  CitP::Factory::RegisterFactory(CFakeRegistry::GetCLSID(), factory);
  Prjrep::ReleaseInterface(factory);
  Prjrep::AutoRelease<CFakeRegistry> registry(Hvd::GetNamedObjectRegistryCLSID());
  EXPECT_NE(registry.Get(), nullptr);
}

TEST(ViewKeysTest, ListedOnceInListOrder) {
  const auto& keys = Hvd::ViewSettingKeys();
  const std::vector<std::string> expected{
      "TOPDESIGNUNIT", "TOPDUFILE", "TOPINSTANCEPATH", "AUTOTOP", "AUTOCOMPILEORDER", "QUORLIN",
      "QUORLINFILENAME", "BRANCH", "SUBBRANCH", "FILTERFILESFROMCOMPILEORDER", "QLBVERILOGMACROS",
      "QLBVERIINCLUDEDIR", "OVRAVERILOGMACROS", "OVRAVERIINCLUDEDIR", "DISABLEAUTOHIERREGEN",
      "VHDLSOURCEANALYSISSTANDARD"};
  ASSERT_EQ(keys.size(), expected.size());
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].str(), expected[i]);
  EXPECT_EQ(&Hvd::ViewSettingKeys(), &keys);
  EXPECT_EQ(Hvd::ViewSettingKeys().size(), 16u);
}

}  // namespace
