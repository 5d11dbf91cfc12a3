// Autonyms against the repository and registry stand-ins.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IProjectRepository.h"
#include "framework/CAutonymBase.h"
#include "utils/Factory.h"
#include "support/EventNode.h"

using testing_support::CNode;

namespace {

class AutonymTest : public testing_support::NodeFixture {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    NodeFixture::SetUp();
  }
  void TearDown() override {
    NodeFixture::TearDown();
    std::remove(m_path.c_str());
  }

  static Prjrep::AutoRelease<Prjrep::ISaveAutonym> MakeAutonym(const Port::XUID& clsid) {
    return Prjrep::AutoRelease<Prjrep::ISaveAutonym>(CitP::Factory::CreateInstance(clsid));
  }
  Prjrep::AutoRelease<Prjrep::IProjectRepository> OpenRepository(std::int32_t mode) {
    Prjrep::AutoRelease<Prjrep::IProjectRepositoryInternal> internal(
        CitP::Factory::CreateInstance(Prjrep::ClassId::Repository()));
    Prjrep::AutoRelease<Prjrep::IStorage> root;
    CitI::IInterface* other = nullptr;
    EXPECT_EQ(internal->Open(m_path.c_str(), "", mode, root.Receive(), &other), Hvd::kSuccess);
    return Prjrep::AutoRelease<Prjrep::IProjectRepository>(internal.Detach());
  }
  // An autonym made by its component: it holds the component from the start.
  template <class Autonym>
  static Prjrep::AutoRelease<Prjrep::ISaveAutonym> MakeHolding(CitI::IInterface* object) {
    auto* autonym = new Autonym;
    autonym->SetObject(object);
    return Prjrep::AutoRelease<Prjrep::ISaveAutonym>(autonym);
  }

  const std::string m_path = ::testing::TempDir() + "autonym_" + std::to_string(getpid()) + ".hlc";
};

// Names and identity, the empty stored form, and a held object found without a repository.
TEST_F(AutonymTest, NamesIdentityAndAHeldObjectResolvesWithoutARepository) {
  auto configuration = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  auto other = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  auto flavor = MakeAutonym(Hvd::ClassId::FlavorAutonym());
  EXPECT_EQ(Prjrep::AutoCast<Prjrep::IPersist>(configuration.Get())->PersistSave(nullptr), Hvd::kSuccess);
  Port::StringBase<char> name;
  std::ignore = flavor->GetName(&name);
  EXPECT_EQ(name, "Flavor");
  bool same[3] = {false, true, true};
  CNode* thing = CNode::Make("held");
  EXPECT_EQ((std::tuple{configuration->IsSame(other, &same[0]), configuration->IsSame(flavor, &same[1]),
                        configuration->IsSame(thing, &same[2]), same[0], same[1], same[2]}),
            (std::tuple{Hvd::kSuccess, Hvd::kSuccess, Hvd::kFailure, true, false, false}));

  CitI::IInterface* object = flavor.Get();  // a stale value, overwritten
  EXPECT_EQ(flavor->GetObject(&object), Hvd::kSuccess);
  EXPECT_EQ((std::tuple{object, flavor->Resolve(nullptr, &object), object, flavor->SaveObject(nullptr)}),
            (std::tuple{nullptr, Hvd::kFailure, nullptr, Hvd::kFailure}));
  auto holding = MakeHolding<Hvd::CFlavorAutonym>(thing);
  thing->Release();  // the autonym keeps it
  ASSERT_EQ(holding->Resolve(nullptr, &object), Hvd::kSuccess);
  EXPECT_EQ(object, static_cast<CitI::IInterface*>(thing));
  Prjrep::ReleaseInterface(object);
}

// Saved into a repository file, found again from storage after the names were forgotten,
// then by name; closing withdraws, tears down and drops it.
TEST_F(AutonymTest, SaveResolveFromStorageThenByNameThenClose) {
  {
    auto repository = OpenRepository(Prjrep::kCreate);
    CNode* thing = CNode::Make("alpha");
    auto autonym = MakeHolding<Hvd::CConfigurationAutonym>(thing);
    thing->Release();
    ASSERT_EQ(autonym->SaveObject(repository), Hvd::kSuccess);
    ASSERT_EQ(repository->Close(), Hvd::kSuccess);
  }
  Prjrep::ResetNamedObjectRegistry();
  ASSERT_EQ(CNode::s_alive, 0);

  auto repository = OpenRepository(Prjrep::kOpenExisting);
  auto first = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  CitI::IInterface* fromStorage = nullptr;
  ASSERT_EQ(first->Resolve(repository, &fromStorage), Hvd::kSuccess);
  auto* thing = static_cast<CNode*>(fromStorage);
  ASSERT_TRUE(thing != nullptr && thing->m_name.Name() == "alpha");

  auto second = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  CitI::IInterface* byName = nullptr;
  ASSERT_EQ(second->Resolve(repository, &byName), Hvd::kSuccess);
  EXPECT_EQ(byName, fromStorage) << "registered under its lookup name by the first resolve";
  EXPECT_EQ(CNode::s_alive, 1);
  Prjrep::ReleaseInterface(byName);
  Prjrep::ReleaseInterface(fromStorage);
  EXPECT_EQ(first->CloseObject(repository), Hvd::kSuccess);
  EXPECT_EQ(thing->teardowns, 1);
  CitI::IInterface *left = nullptr, *held = thing;
  std::ignore = Prjrep::AutoCast<Prjrep::ISimpleNamedLookup>(repository.Get())->Find("Configuration", &left);
  std::ignore = first->GetObject(&held);
  EXPECT_TRUE(left == nullptr && held == nullptr) << "withdrawn from the repository's names and the autonym";
  std::ignore = second->CloseObject(repository);
}

}  // namespace
