// Autonyms against the repository and registry stand-ins.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/StandIns.h"
#include "framework/CAutonymBase.h"
#include "framework/Factory.h"
#include "framework/Names.h"
#include "framework/Persist.h"
#include "support/Records.h"

namespace {

const Port::XUID kRepositoryClass("{cd48a8b1-2990-4881-8664-52802c04fdff}");

// What an autonym stands for: a named component stored with its name, torn down on close.
class CThing : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{2B2B2B2B-8888-4888-8888-888888888801}")
  CThing() { ++s_alive; }
  ~CThing() override { --s_alive; }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{Prjrep::IName::GetIID(), &m_name},
                                  {Prjrep::IPersist::GetIID(), &m_persist},
                                  {Hvd::ICompAdmin::GetIID(), &m_admin},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), this}});
  }
  std::uint64_t LoadFrom(Prjrep::IStorage* storage) {
    Port::StringBase<char> name;
    const std::uint64_t status = storage->ReadString(&name);
    m_name.SetName(name);
    return status;
  }
  std::uint64_t SaveTo(Prjrep::IStorage* storage) { return storage->WriteString(&m_name.Name()); }

  static CThing* Make(const char* name) {
    auto* thing = new CThing;
    thing->m_name.SetName(name);
    return thing;
  }
  std::string Name() const { return m_name.Name().str(); }

  static inline int s_alive = 0;
  int teardowns = 0;
  struct XAdmin : Hvd::TNested<CThing, Hvd::ICompAdmin> {
    using TNested::TNested;
    std::uint64_t InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return 1; }
    std::uint64_t InitializeAfterLoad(CitI::IInterface*) override { return 1; }
    std::uint64_t RegisterForNotifications() override { return 1; }
    std::uint64_t Teardown() override {
      ++m_pThis->teardowns;
      return 1;
    }
  } m_admin{this};
  Prjrep::CNameHelper m_name{this};
  Prjrep::TPersistHelper<CThing> m_persist{this};
  Prjrep::TRefCountHelper<CThing> m_refCount{this};
};

class AutonymTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    testing_support::RegisterTestFactory<CThing>();
    m_path = ::testing::TempDir() + "autonym_" + std::to_string(getpid()) + ".hlc";
  }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::remove(m_path.c_str());
    EXPECT_EQ(CThing::s_alive, 0);
  }

  static Prjrep::AutoRelease<Prjrep::ISaveAutonym> MakeAutonym(const Port::XUID& clsid) {
    return Prjrep::AutoRelease<Prjrep::ISaveAutonym>(CitP::Factory::CreateInstance(clsid));
  }
  Prjrep::AutoRelease<Prjrep::IProjectRepository> OpenRepository(std::int32_t mode) {
    Prjrep::AutoRelease<Prjrep::IProjectRepositoryInternal> internal(CitP::Factory::CreateInstance(kRepositoryClass));
    Prjrep::AutoRelease<Prjrep::IStorage> root;
    CitI::IInterface* other = nullptr;
    EXPECT_EQ(internal->Open(m_path.c_str(), "", mode, root.Receive(), &other), 1u);
    return Prjrep::AutoRelease<Prjrep::IProjectRepository>(internal.Detach());
  }
  // An autonym made by its component: it holds the component from the start.
  template <class Autonym>
  static Prjrep::AutoRelease<Prjrep::ISaveAutonym> MakeHolding(CitI::IInterface* object) {
    auto* autonym = new Autonym;
    autonym->SetObject(object);
    return Prjrep::AutoRelease<Prjrep::ISaveAutonym>(autonym);
  }

  std::string m_path;
};

TEST_F(AutonymTest, NamesIdentityAndStoredForm) {
  auto configuration = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  auto other = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  auto flavor = MakeAutonym(Hvd::ClassId::FlavorAutonym());
  ASSERT_NE(configuration.Get(), nullptr);
  EXPECT_EQ(configuration->QueryInterface(CitI::IInterface::GetIID()), configuration.Get());
  EXPECT_EQ(configuration->QueryInterface(Prjrep::IAutonym::GetIID()), configuration.Get());
  auto* persist = static_cast<Prjrep::IPersist*>(configuration->QueryInterface(Prjrep::IPersist::GetIID()));
  ASSERT_NE(persist, nullptr);
  Port::XUID classId;
  persist->GetClassId(classId);
  EXPECT_EQ(classId, Hvd::ClassId::ConfigurationAutonym());
  EXPECT_EQ(persist->PersistSave(nullptr), 1u);

  Port::StringBase<char> name;
  flavor->GetName(&name);
  EXPECT_EQ(name, "Flavor");
  EXPECT_EQ(configuration->GetName(nullptr), 0u);
  bool same = false;
  EXPECT_EQ(configuration->IsSame(other, &same), 1u);
  EXPECT_TRUE(same);
  configuration->IsSame(flavor, &same);
  EXPECT_FALSE(same);
  CThing* thing = CThing::Make("t");
  same = true;
  EXPECT_EQ(configuration->IsSame(thing, &same), 0u);
  EXPECT_FALSE(same);
  CitI::IInterface* object = thing;
  EXPECT_EQ(configuration->GetObject(&object), 1u);
  EXPECT_EQ(object, nullptr);
  Prjrep::ReleaseInterface(thing);
}

TEST_F(AutonymTest, AHeldObjectResolvesWithoutARepositoryAndNoRepositoryGivesNothing) {
  auto empty = MakeAutonym(Hvd::ClassId::FlavorAutonym());
  CitI::IInterface* object = nullptr;
  EXPECT_EQ(empty->Resolve(nullptr, &object), 0u);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(empty->SaveObject(nullptr), 0u);

  CThing* thing = CThing::Make("held");
  auto autonym = MakeHolding<Hvd::CFlavorAutonym>(thing);
  Prjrep::ReleaseInterface(thing);  // the autonym keeps it
  ASSERT_EQ(autonym->Resolve(nullptr, &object), 1u);
  EXPECT_EQ(object, static_cast<CitI::IInterface*>(thing));
  Prjrep::ReleaseInterface(object);
}

// Saved into a repository file, found again from storage after the names were forgotten,
// then by name; closing withdraws, tears down and drops it.
TEST_F(AutonymTest, SaveResolveFromStorageThenByNameThenClose) {
  {
    auto repository = OpenRepository(Prjrep::kCreate);
    CThing* thing = CThing::Make("alpha");
    auto autonym = MakeHolding<Hvd::CConfigurationAutonym>(thing);
    Prjrep::ReleaseInterface(thing);
    ASSERT_EQ(autonym->SaveObject(repository), 1u);
    ASSERT_EQ(repository->Close(), 1u);
  }
  Prjrep::ResetNamedObjectRegistry();
  ASSERT_EQ(CThing::s_alive, 0);

  auto repository = OpenRepository(Prjrep::kOpenExisting);
  auto first = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  CitI::IInterface* fromStorage = nullptr;
  ASSERT_EQ(first->Resolve(repository, &fromStorage), 1u);
  ASSERT_NE(fromStorage, nullptr);
  auto* thing = static_cast<CThing*>(fromStorage);
  EXPECT_EQ(thing->Name(), "alpha");

  auto second = MakeAutonym(Hvd::ClassId::ConfigurationAutonym());
  CitI::IInterface* byName = nullptr;
  ASSERT_EQ(second->Resolve(repository, &byName), 1u);
  EXPECT_EQ(byName, fromStorage) << "registered under its lookup name by the first resolve";
  EXPECT_EQ(CThing::s_alive, 1);
  Prjrep::ReleaseInterface(byName);

  Prjrep::ReleaseInterface(fromStorage);
  EXPECT_EQ(first->CloseObject(repository), 1u);
  EXPECT_EQ(thing->teardowns, 1);
  auto* names = static_cast<Prjrep::ISimpleNamedLookup*>(repository->QueryInterface(Prjrep::ISimpleNamedLookup::GetIID()));
  CitI::IInterface* left = nullptr;
  names->Find("Configuration", &left);
  EXPECT_EQ(left, nullptr) << "withdrawn from the repository's names";
  CitI::IInterface* held = thing;
  first->GetObject(&held);
  EXPECT_EQ(held, nullptr);
  second->CloseObject(repository);
}

}  // namespace
