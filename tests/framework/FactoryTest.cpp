// Factories and their registration.

#include <gtest/gtest.h>

#include <vector>

#include "Hvd/ClassIds.h"
#include "design/CView.h"
#include "framework/Factory.h"
#include "library/RegisteredClasses.h"
#include "support/FakeNames.h"
#include "support/Fakes.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

std::vector<Port::XUID> AllClassIds() {
  namespace C = Hvd::ClassId;
  return {C::DesignPlatform(),
          C::Project(),
          C::Design(),
          C::View(),
          C::File(),
          C::SourceLibrary(),
          C::ProjectReference(),
          C::ZmrFileReader(),
          C::DirectoryProjectBundle(),
          C::ConfigurationMgr(),
          C::Configuration(),
          C::ConfigurationElement(),
          C::PRModule(),
          C::Flavor(),
          C::ProjectAutonym(),
          C::ConfigurationMgrAutonym(),
          C::ConfigurationAutonym(),
          C::FlavorAutonym(),
          C::PRModuleAutonym(),
          C::PRHelper(),
          C::ProjRefUtils(),
          C::DumperComp(),
          C::RepoMine(),
          C::ProjectInfo()};
}

struct RegisteredFactories : ::testing::Test {
  void SetUp() override { InstFactoryEntry(); }
  void TearDown() override { CitP::Factory::Shutdown(); }
};

template <class... X>
std::vector<CitI::IFactory*> MakeFactories(Hvd::TypeList<X...>) {
  return {new Port::TFactory<X>()...};
}

// Each factory makes its own class, as a root with one reference, and refuses every other.
TEST(FactoryTest, EachFactoryMakesItsOwnRowOnlyAndCountsOnlyThroughTheHostInterface) {
  const auto ids = AllClassIds();
  const std::vector<CitI::IFactory*> factories = MakeFactories(Hvd::RegisteredClasses{});
  ASSERT_EQ(factories.size(), ids.size());
  for (std::size_t row = 0; row < factories.size(); ++row) {
    CitI::IFactory* factory = factories[row];
    for (std::size_t other = 0; other < ids.size(); ++other) {
      CitI::IInterface* made = factory->CreateInstance(ids[other]);
      ASSERT_EQ(made != nullptr, other == row) << "row " << row + 1 << ", class of row " << other + 1;
      if (made == nullptr) continue;
      EXPECT_EQ(made->QueryInterface(CitI::IInterface::GetIID()), made);
      EXPECT_EQ(made->QueryInterface(ITestNone::GetIID()), nullptr);
      auto* count = static_cast<Prjrep::IRefCount*>(made->QueryInterface(Prjrep::IRefCount::GetIID()));
      ASSERT_NE(count, nullptr);
      EXPECT_EQ(count->GetRefCount(), 1);
      std::ignore = count->Release();
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
}

TEST_F(RegisteredFactories, EveryClassIsRegisteredAndTheRegistryHoldsTheOnlyReference) {
  // Registering again over the entry's factories releases those: none may be left behind.
  InstFactoryEntry();
  for (const Port::XUID& id : AllClassIds()) {
    CitI::IInterface* made = CitP::Factory::CreateInstance(id);
    EXPECT_NE(made, nullptr) << id.GetAsString().c_str();
    Prjrep::ReleaseInterface(made);
  }
}

// A component that is a path-name helper.
class CFakeNamer : public Hvd::TComponent<CFakeNamer, FakeFileNameHelperBase> {
 public:
  CITI_DECLARE_CLSID("{5E5E5E5E-0000-4000-8000-000000000001}")
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IFileNameHelper>(this), Hvd::Row<CitI::IInterface>(this),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  Prjrep::TRefCountHelper<CFakeNamer> m_refCount{this};
};

TEST_F(RegisteredFactories, FileNameHelperIsHandedOutOrGivenUp) {
  RegisterTestFactory<CFakeNamer>();
  CRecord::Register();
  Prjrep::IFileNameHelper* helper = reinterpret_cast<Prjrep::IFileNameHelper*>(0x1);
  EXPECT_TRUE(Hvd::CreateFileNameHelper(CFakeNamer::GetCLSID(), &helper));
  ASSERT_NE(helper, nullptr);
  Prjrep::ReleaseInterface(helper);
  EXPECT_FALSE(Hvd::CreateFileNameHelper(CRecord::GetCLSID(), &helper));  // a record is no path-name helper
  EXPECT_EQ(helper, nullptr);
  EXPECT_EQ(CRecord::s_alive, 0) << "created, then given up again";
  EXPECT_FALSE(Hvd::CreateFileNameHelper(Port::XUID::New(), &helper));
  EXPECT_FALSE(Hvd::CreateFileNameHelper(CFakeNamer::GetCLSID(), nullptr));
}

TEST(ViewKeysTest, ListedOnceInListOrder) {
  const std::vector<std::string> expected{"TOPDESIGNUNIT",
                                          "TOPDUFILE",
                                          "TOPINSTANCEPATH",
                                          "AUTOTOP",
                                          "AUTOCOMPILEORDER",
                                          "QUORLIN",
                                          "QUORLINFILENAME",
                                          "BRANCH",
                                          "SUBBRANCH",
                                          "FILTERFILESFROMCOMPILEORDER",
                                          "QLBVERILOGMACROS",
                                          "QLBVERIINCLUDEDIR",
                                          "OVRAVERILOGMACROS",
                                          "OVRAVERIINCLUDEDIR",
                                          "DISABLEAUTOHIERREGEN",
                                          "VHDLSOURCEANALYSISSTANDARD"};
  std::vector<std::string> keys;
  for (const auto& key : Hvd::ViewSettingKeys()) keys.push_back(key.str());
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(&Hvd::ViewSettingKeys(), &Hvd::ViewSettingKeys());
}

}  // namespace
