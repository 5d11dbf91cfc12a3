// Configurations, their elements and the configuration manager on open projects.

#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IFileManager.h"
#include "Prjrep/IActivatible.h"
#include "Prjrep/IPersist.h"
#include "pr/PRSupport.h"
#include "utils/ShellScript.h"

namespace {

using namespace pr_testing;

constexpr Hvd::Status kInjected{0x1000000200000099ull};

struct ConfigurationTest : ProjectsTest {
  void SetUp() override {
    ProjectsTest::SetUp();
    m_manager = Create<Hvd::IConfigurationManager>(Hvd::ClassId::ConfigurationMgr());
    ASSERT_TRUE(m_manager);
  }
  void TearDown() override {
    if (m_manager) std::ignore = AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown();
    m_manager = nullptr;
    ProjectsTest::TearDown();
  }
  Hvd::IPRModuleManager* Modules() { return AutoCast<Hvd::IPRModuleManager>(m_manager.Get()); }
  // The manager on the static project "static", which has a project helper.
  Hvd::IProject* BindStatic() {
    Hvd::IProject* project = Project("static", true);
    EXPECT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(project), kSuccess);
    return project;
  }
  // A named flavor on its own project, which its repository knows as its "Flavor".
  AutoRelease<Hvd::IFlavor> FlavorOnProject(const std::string& name) {
    auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
    EXPECT_EQ(AutoCast<Prjrep::IName>(flavor.Get())->SetName(name.c_str()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetProject(Project(name)), kSuccess);
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Flavor", flavor.Get(), true), kSuccess);
    return flavor;
  }
  // A configuration of the manager, named and bound to its own project when a name is given.
  AutoRelease<Hvd::IConfiguration> NewConfiguration(const std::string& name = "", bool withHelper = false) {
    AutoRelease<Hvd::IConfiguration> configuration;
    EXPECT_EQ(m_manager->CreateConfiguration(configuration.Receive()), kSuccess);
    if (!name.empty()) {
      EXPECT_EQ(AutoCast<Prjrep::IName>(configuration.Get())->SetName(name.c_str()), kSuccess);
      EXPECT_EQ(AutoCast<Hvd::IConfigurationPrivate>(configuration.Get())->Initialize(Project(name, withHelper)),
                kSuccess);
      EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Configuration", configuration.Get(), true),
                kSuccess);
    }
    return configuration;
  }
  std::vector<AutoPtr<Hvd::IConfigurationElement>> Elements(Hvd::IConfiguration* configuration) {
    std::vector<AutoPtr<Hvd::IConfigurationElement>> elements;
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    for (std::ignore = configuration->GetElements(it.Receive()); it && !it->IsDone(); std::ignore = it->Next())
      elements.emplace_back(it->Current());
    return elements;
  }
  std::vector<CitI::IInterface*> Configurations(Hvd::IConfigurationManager* manager) {
    std::vector<CitI::IInterface*> members;
    AutoRelease<Hvd::IConfigurationIterator> it;
    for (std::ignore = manager->GetConfigurations(it.Receive()); it && !it->IsDone(); std::ignore = it->Next())
      members.push_back(it->Current());
    return members;
  }
  static CitI::IInterface* ModuleOf(Hvd::IConfigurationElement* element) {
    AutoRelease<Hvd::IPRModule> module;
    std::ignore = element->GetPRModule(module.Receive());
    return module.Get();  // borrowed: the manager holds it
  }
  static AutoRelease<CitI::IInterface> FlavorOf(Hvd::IConfigurationElement* element) {
    AutoRelease<CitI::IInterface> flavor;
    std::ignore = element->GetFlavor(flavor.Receive());
    return flavor;
  }
  static CitI::IInterface* Named(const char* name) {
    AutoRelease<CitI::IInterface> object;
    std::ignore = Hvd::FindNamedObject(name, object.Receive());
    return object.Get();  // compared only; the registry holds it
  }

  AutoRelease<Hvd::IConfigurationManager> m_manager;
};

TEST_F(ConfigurationTest, TheManagerConfigurationAndElementAnswerEveryRowOfTheirTables) {
  ExpectAnswers<Hvd::IConfigurationManager, Prjrep::IAutoNaming, Prjrep::IPersist, Prjrep::IName, Prjrep::IRefCount,
                Hvd::IProjectCompReference, Hvd::IProjectReference, Prjrep::IEventSender, Prjrep::IEventReceiver,
                Hvd::ICompAdmin, Hvd::IPRModuleManager>(m_manager.Get());
  EXPECT_EQ(m_manager->QueryInterface(CitI::IInterface::GetIID()), static_cast<CitI::IInterface*>(m_manager.Get()));
  EXPECT_TRUE(m_manager->ReservedOperation4() == kNotSupported && m_manager->ReservedOperation7() == kNotSupported &&
              m_manager->ReservedOperation8() == kNotSupported);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(m_manager.Get())->RegisterForNotifications(), kNotSupported);

  auto configuration = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
  ExpectAnswers<Hvd::IConfiguration, Hvd::IConfigurationPrivate, Hvd::ICompositionControl, Prjrep::IActivatible,
                Prjrep::IName, Prjrep::IPersist, Prjrep::IRefCount, Prjrep::IEventSender, Prjrep::IEventReceiver,
                Prjrep::IAutoNaming, Hvd::IProjectCompReference, Hvd::IProjectReference, Hvd::ICompAdmin>(
      configuration.Get());
  EXPECT_EQ(AutoCast<Prjrep::IActivatible>(configuration.Get())->ReservedOperation1(), kNotSupported);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(configuration.Get())->InitializeAfterCreate(nullptr, nullptr), kNotSupported);

  auto element = Create<Hvd::IConfigurationElement>(Hvd::ClassId::ConfigurationElement());
  ExpectAnswers<Hvd::IConfigurationElement, Prjrep::IName, Prjrep::IPersist, Prjrep::IRefCount, Prjrep::IEventSender,
                Prjrep::IEventReceiver, Hvd::IProjectCompReference, Hvd::ISettableConfigurationElement,
                Hvd::ICompositionControl, Hvd::ICompAdmin>(element.Get());
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(element.Get())->RegisterForNotifications(), kNotSupported);

  // Each stored object names its own class; a new element and configuration are empty.
  Port::XUID id;
  EXPECT_TRUE(AutoCast<Prjrep::IPersist>(configuration.Get())->GetClassId(id) == kSuccess &&
              id == Hvd::ClassId::Configuration());
  bool isStatic = true;
  EXPECT_TRUE(element->GetIsStatic(&isStatic) == kSuccess && !isStatic);
  EXPECT_TRUE(!ModuleOf(element) && !FlavorOf(element));
  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(element.Get())->Compose(nullptr), kSuccess);
  EXPECT_TRUE(Elements(configuration).empty());
  Text path("stale");
  EXPECT_TRUE(AutoCast<Hvd::IProjectReference>(configuration.Get())->GetProjectFileName(&path) == kFailure &&
              path.empty());

  // The manager, a configuration and a flavor each name themselves by their kind.
  auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  const std::pair<CitI::IInterface*, const char*> kinds[] = {
      {m_manager.Get(), "ConfigManager"}, {configuration.Get(), "Configuration"}, {flavor.Get(), "Flavor"}};
  for (const auto& [object, kind] : kinds) {
    AutoRelease<Prjrep::IAutonym> autonym;
    AutoRelease<CitI::IInterface> named;
    ASSERT_EQ(AutoCast<Prjrep::IAutoNaming>(object)->GetAutonym(autonym.Receive()), kSuccess);
    EXPECT_TRUE(autonym->GetName(&path) == kSuccess && path.str() == kind);
    EXPECT_TRUE(autonym->GetObject(named.Receive()) == kSuccess && named.Get() == Hvd::RootOf(object));
    EXPECT_EQ(AutoCast<Prjrep::IAutoNaming>(object)->GetAutonym(nullptr), kFailure);
  }
}

TEST_F(ConfigurationTest, OnlyAStaticProjectTakesAManagerAndBecomesStatic) {
  Hvd::IProject* plain = Project("plain");
  AutoCast<Hvd::IProjectCompReference> binding(m_manager.Get());
  EXPECT_EQ(binding->SetProject(plain), kSuccess);
  EXPECT_EQ(TypeOf(plain), "Static");
  EXPECT_EQ(Named("ActivePRProject"), static_cast<CitI::IInterface*>(plain));
  AutoRelease<CitI::IInterface> manager;
  EXPECT_TRUE(Hvd::FindNamedObjectIn(plain, "ConfigManager", manager.Receive()) == kSuccess &&
              Hvd::RootOf(manager.Get()) == Hvd::RootOf(m_manager.Get()));
  Text name;
  EXPECT_TRUE(AutoCast<Hvd::IProjectReference>(m_manager.Get())->GetProjectFileName(&name) == kSuccess && !name.empty());
  AutoCast<Hvd::IProjectReference> reference(m_manager.Get());
  EXPECT_EQ(reference->SetProjectFileName("/elsewhere/top.xhlc"), kSuccess);
  EXPECT_TRUE(reference->GetProjectFileName(&name) == kSuccess && name.str() == "/elsewhere/top.xhlc");
  EXPECT_EQ(binding->SetProject(plain), kSuccess) << "a static project again";

  for (const char* type : {"Flavor", "Configuration"}) {
    Hvd::IProject* other = Project(type);
    Hvd::PropertyAccessor(other).SetPropertyValue("PROP_HierarchicalProjectType", type);
    EXPECT_EQ(binding->SetProject(other), Hvd::kNotAStaticProject);
    EXPECT_EQ(TypeOf(other), type);
    AutoRelease<Hvd::IProject> held;
    EXPECT_TRUE(binding->GetProject(held.Receive()) == kSuccess && held.Get() == plain) << "the project is kept";
  }
}

TEST_F(ConfigurationTest, AConfigurationHasTheStaticElementAndOneElementPerModuleFollowingTheModules) {
  Hvd::IProject* staticProject = BindStatic();
  auto fast = FlavorOnProject("fast"), slow = FlavorOnProject("slow"), only = FlavorOnProject("only");
  AutoRelease<Hvd::IPRModule> u1, u2;
  ASSERT_TRUE(Modules()->CreatePRModule("/top/u1", u1.Receive()) == kSuccess &&
              Modules()->CreatePRModule("/top/u2", u2.Receive()) == kSuccess);
  EXPECT_EQ(Named("ActivePRModule"), static_cast<CitI::IInterface*>(u2.Get()));
  // u1 takes its first flavor, u2 its active one.
  ASSERT_TRUE(AutoCast<Hvd::ISettablePRModule>(u1.Get())->AddFlavor(fast) == kSuccess &&
              AutoCast<Hvd::ISettablePRModule>(u1.Get())->AddFlavor(slow) == kSuccess);
  ASSERT_TRUE(AutoCast<Hvd::ISettablePRModule>(u2.Get())->AddFlavor(only) == kSuccess &&
              AutoCast<Hvd::ISettablePRModule>(u2.Get())->SetActiveFlavor(only) == kSuccess);

  auto first = NewConfiguration("first");
  EXPECT_EQ(TypeOf(m_projects.back()), "Configuration");
  AutoRelease<CitI::IInterface> named;
  EXPECT_TRUE(Hvd::FindNamedObjectIn(m_projects.back().Get(), "Configuration", named.Receive()) == kSuccess &&
              named.Get() == static_cast<CitI::IInterface*>(first.Get()));
  auto elements = Elements(first);
  ASSERT_EQ(elements.size(), 3u);
  bool isStatic = false;
  EXPECT_TRUE(elements[0]->GetIsStatic(&isStatic) == kSuccess && isStatic && !ModuleOf(elements[0]));
  EXPECT_EQ(FlavorOf(elements[0]).Get(), static_cast<CitI::IInterface*>(staticProject));
  EXPECT_TRUE(ModuleOf(elements[1]) == Hvd::RootOf(u1.Get()) && FlavorOf(elements[1]).Get() == Hvd::RootOf(fast.Get()));
  EXPECT_TRUE(ModuleOf(elements[2]) == Hvd::RootOf(u2.Get()) && FlavorOf(elements[2]).Get() == Hvd::RootOf(only.Get()));

  // A module made later gets an element in every configuration; without flavors it has none.
  auto second = NewConfiguration();
  AutoRelease<Hvd::IPRModule> u3;
  ASSERT_EQ(Modules()->CreatePRModule("/top/u3", u3.Receive()), kSuccess);
  for (auto* configuration : {first.Get(), second.Get()}) {
    elements = Elements(configuration);
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_TRUE(ModuleOf(elements[3]) == Hvd::RootOf(u3.Get()) && !FlavorOf(elements[3]));
  }
  AutoRelease<Hvd::IPRModule> found;
  EXPECT_TRUE(Modules()->FindPRModule("/top/u3", found.Receive()) == kSuccess && found.Get() == u3.Get());
  EXPECT_TRUE(Modules()->FindPRModule("/TOP/u3", found.ReleaseAndReceive()) == kFailure && !found);
  EXPECT_EQ(Modules()->FindPRModule("/top/u3", nullptr), kFailure);

  // Removing a module takes its element out of every configuration and says so.
  EXPECT_EQ(m_manager->RemovePRModule(u1), kSuccess);
  EXPECT_EQ(Modules()->RemovePRModule(u1), kFailure) << "no longer a member";
  for (auto* configuration : {first.Get(), second.Get()}) {
    elements = Elements(configuration);
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_TRUE(ModuleOf(elements[1]) == Hvd::RootOf(u2.Get()) && ModuleOf(elements[2]) == Hvd::RootOf(u3.Get()));
  }
  // The private face removes the first element of a module only.
  EXPECT_EQ(AutoCast<Hvd::IConfigurationPrivate>(first.Get())->RemoveElementForPRModule(u2), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IConfigurationPrivate>(first.Get())->RemoveElementForPRModule(u2), kFailure);
  EXPECT_EQ(Elements(first).size(), 2u);
  // Made without an output, an element is still added; the answer says nothing was handed out.
  EXPECT_EQ(AutoCast<Hvd::IConfigurationPrivate>(first.Get())->CreateElement(u2, nullptr), kFailure);
  EXPECT_EQ(Elements(first).size(), 3u);
}

TEST_F(ConfigurationTest, ActivationDecomposesTheOldOneAndAnnouncesTheNewFromManagerThenConfiguration) {
  BindStatic();
  auto a = NewConfiguration("a"), b = NewConfiguration("b");
  Listener fromManager, fromA, fromB;
  Hvd::ConnectEventReceiver(m_manager.Get(), &fromManager.receiver);
  Hvd::ConnectEventReceiver(a.Get(), &fromA.receiver);
  Hvd::ConnectEventReceiver(b.Get(), &fromB.receiver);
  const std::vector<Port::XUID> activated{Hvd::EventId::ConfigurationActivated()};

  EXPECT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  EXPECT_TRUE(fromManager.ids == activated && fromA.ids == activated && fromB.ids.empty());
  EXPECT_EQ(Named("ActiveConfiguration"), static_cast<CitI::IInterface*>(a.Get()));
  AutoRelease<Hvd::IConfiguration> active;
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.Receive()) == kSuccess && active.Get() == a.Get());

  // The active one again: nothing happens.
  fromManager.ids.clear(), fromA.ids.clear();
  DebugLines();
  EXPECT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  EXPECT_TRUE(fromManager.ids.empty() && fromA.ids.empty());
  EXPECT_TRUE(DebugLines().empty()) << "no composition was tried";

  // Another member: the old one is taken apart first, then the new one composed.
  {
    const SyncSteps steps;
    EXPECT_EQ(m_manager->SetActiveConfiguration(b), kSuccess);
    EXPECT_TRUE(steps.TakenApartThenComposed());
  }
  EXPECT_TRUE(fromManager.ids == activated && fromB.ids == activated && fromA.ids.empty());

  // Not a member: refused, nothing changes.
  auto stranger = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
  EXPECT_EQ(m_manager->SetActiveConfiguration(stranger), kFailure);
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.ReleaseAndReceive()) == kSuccess && active.Get() == b.Get());
  EXPECT_EQ(m_manager->GetActiveConfiguration(nullptr), kFailure);

  // With the switch set, even to nothing, the active repository stays where it was.
  CitI::IInterface* repository = Named("ActiveRepository");
  setenv("VEL_CORVANE_NO_SET_ACTIVE_REPO_CONFIG", "", 1);
  EXPECT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  unsetenv("VEL_CORVANE_NO_SET_ACTIVE_REPO_CONFIG");
  EXPECT_EQ(Named("ActiveRepository"), repository);

  // Deactivation leaves none active and the static project active again.
  EXPECT_EQ(m_manager->SetActiveConfiguration(nullptr), kSuccess);
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.ReleaseAndReceive()) == kFailure && !active);
  EXPECT_EQ(Named("ActiveHvdProject"), static_cast<CitI::IInterface*>(m_projects.front().Get()));
  EXPECT_EQ(Named("ActiveRepository"), Hvd::RootOf(m_repositories.front().Get()));
}

TEST_F(ConfigurationTest, TwoConfigurationsWithoutProjectsAreNeverTakenForOne) {
  BindStatic();
  auto a = NewConfiguration(), b = NewConfiguration();
  ASSERT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  Listener fromB;
  Hvd::ConnectEventReceiver(b.Get(), &fromB.receiver);
  EXPECT_EQ(m_manager->SetActiveConfiguration(b), kSuccess);
  AutoRelease<Hvd::IConfiguration> active;
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.Receive()) == kSuccess && active.Get() == b.Get());
  EXPECT_EQ(fromB.ids, std::vector<Port::XUID>{Hvd::EventId::ConfigurationActivated()});
  // Removing the one that is not active leaves the active one active.
  EXPECT_EQ(m_manager->RemoveConfiguration(a), kSuccess);
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.ReleaseAndReceive()) == kSuccess && active.Get() == b.Get());
}

TEST_F(ConfigurationTest, AddingMovesToTheEndAndRemovingTheActiveOneDeactivatesIt) {
  BindStatic();
  auto a = NewConfiguration("a"), b = NewConfiguration("b");
  Listener fromManager, fromA;
  Hvd::ConnectEventReceiver(m_manager.Get(), &fromManager.receiver);
  Hvd::ConnectEventReceiver(a.Get(), &fromA.receiver);
  EXPECT_EQ(m_manager->AddConfiguration(a), kSuccess);
  EXPECT_EQ(Configurations(m_manager), (std::vector<CitI::IInterface*>{b.Get(), a.Get()}));
  EXPECT_EQ(fromManager.ids, std::vector<Port::XUID>{Hvd::EventId::ConfigurationManagerChanged()});

  ASSERT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  fromManager.ids.clear(), fromA.ids.clear();
  EXPECT_EQ(m_manager->RemoveConfiguration(a), kSuccess);
  EXPECT_EQ(fromA.ids, std::vector<Port::XUID>{Hvd::EventId::ConfigurationRemoved()}) << "sent by the removed one";
  EXPECT_EQ(fromManager.ids.back(), Hvd::EventId::ConfigurationManagerChanged());
  AutoRelease<Hvd::IConfiguration> active;
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.Receive()) == kFailure && !active);
  EXPECT_EQ(Configurations(m_manager), std::vector<CitI::IInterface*>{b.Get()});
  EXPECT_EQ(m_manager->RemoveConfiguration(a), kFailure) << "no longer a member";
  // Created without an output, a configuration is still added.
  EXPECT_EQ(m_manager->CreateConfiguration(nullptr), kFailure);
  EXPECT_EQ(Configurations(m_manager).size(), 2u);
}

TEST_F(ConfigurationTest, TakenApartTheManagerLetsGoOfEverythingAndStartsAfreshWhenUsed) {
  BindStatic();
  auto a = NewConfiguration("a");
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(Modules()->CreatePRModule("/top/u1", module.Receive()), kSuccess);
  ASSERT_EQ(m_manager->SetActiveConfiguration(a), kSuccess);
  DebugLines();
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown(), kSuccess);
  for (const char* name : {"ActiveConfiguration", "ActiveConfigManager", "ActivePRModule", "ActivePRProject"})
    EXPECT_EQ(Named(name), nullptr) << name;
  AutoRelease<Hvd::IConfiguration> active;
  EXPECT_TRUE(m_manager->GetActiveConfiguration(active.Receive()) == kFailure && !active);
  AutoRelease<Hvd::IProject> project;
  EXPECT_TRUE(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->GetProject(project.Receive()) == kFailure);
  DebugLines();
  EXPECT_TRUE(Configurations(m_manager).empty());
  EXPECT_EQ(DebugLines(), std::vector<std::string>{
                              "Creating a new ConfigurationSet. This ConfigurationMgr may have already been uninitialized.\n"});
  EXPECT_TRUE(Configurations(m_manager).empty());
  EXPECT_TRUE(DebugLines().empty()) << "made once";
}

TEST_F(ConfigurationTest, TheManagerAndItsConfigurationsComeBackFromTheirRecords) {
  Hvd::IProject* staticProject = BindStatic();
  ASSERT_EQ(AutoCast<Prjrep::IName>(m_manager.Get())->SetName("pr"), kSuccess);
  auto fast = FlavorOnProject("fast");
  AutoRelease<Hvd::IPRModule> u1;
  ASSERT_EQ(Modules()->CreatePRModule("/top/u1", u1.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(u1.Get())->AddFlavor(fast), kSuccess);
  auto a = NewConfiguration("a"), b = NewConfiguration("b");

  auto managerRecord = NewStorage(), configurationRecord = NewStorage();
  AutoCast<Prjrep::IPersist> managerPersist(m_manager.Get()), configurationPersist(a.Get());
  ASSERT_TRUE(managerPersist->PersistSave(managerRecord) == kSuccess &&
              configurationPersist->PersistSave(configurationRecord) == kSuccess);
  const std::int64_t managerWrites = AutoCast<Prjrep::IStorageControl>(managerRecord.Get())->OperationCount();
  const std::int64_t configurationWrites =
      AutoCast<Prjrep::IStorageControl>(configurationRecord.Get())->OperationCount();
  std::ignore = AutoCast<Prjrep::IStorageControl>(managerRecord.Get())->Rewind();
  std::ignore = AutoCast<Prjrep::IStorageControl>(configurationRecord.Get())->Rewind();

  // The session that made the module is over: the registry no longer knows it.
  ASSERT_EQ(Hvd::ForwardToNamedObjectRegistry(u1.Get()), kSuccess);
  auto loaded = Create<Hvd::IConfigurationManager>(Hvd::ClassId::ConfigurationMgr());
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded.Get())->PersistLoad(managerRecord), kSuccess);
  EXPECT_EQ(NameOf(loaded.Get()), "pr");
  AutoRelease<Hvd::IProject> project;
  EXPECT_TRUE(AutoCast<Hvd::IProjectCompReference>(loaded.Get())->GetProject(project.Receive()) == kSuccess &&
              project.Get() == staticProject);
  EXPECT_EQ(Configurations(loaded), (std::vector<CitI::IInterface*>{a.Get(), b.Get()}));
  AutoRelease<Hvd::IConfiguration> active;
  EXPECT_TRUE(loaded->GetActiveConfiguration(active.Receive()) == kFailure && !active);
  EXPECT_EQ(Hvd::RootOf(Named("ActiveConfigManager")), Hvd::RootOf(loaded.Get()));
  AutoRelease<Hvd::IPRModule> module;
  Text path;
  ASSERT_EQ(AutoCast<Hvd::IPRModuleManager>(loaded.Get())->FindPRModule("/top/u1", module.Receive()), kSuccess);
  EXPECT_NE(module.Get(), u1.Get()) << "modules are stored whole";

  // The configuration read back refers to the module read back, found by its id.
  auto reread = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(reread.Get())->PersistLoad(configurationRecord), kSuccess);
  EXPECT_EQ(NameOf(reread.Get()), "a");
  EXPECT_EQ(Hvd::GetObjectFullPath(reread.Get()).str(), PathOf("a"));
  auto elements = Elements(reread);
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(FlavorOf(elements[0]).Get(), static_cast<CitI::IInterface*>(staticProject));
  EXPECT_EQ(ModuleOf(elements[1]), Hvd::RootOf(module.Get()));
  EXPECT_EQ(FlavorOf(elements[1]).Get(), Hvd::RootOf(fast.Get()));

  // Every write that fails is the answer of the save.
  for (std::int64_t k = 1; k <= managerWrites; ++k) {
    auto failing = NewStorage();
    AutoCast<Prjrep::IStorageControl>(failing.Get())->FailOperation(k, kInjected);
    EXPECT_EQ(managerPersist->PersistSave(failing), kInjected) << "manager write " << k;
  }
  for (std::int64_t k = 1; k <= configurationWrites; ++k) {
    auto failing = NewStorage();
    AutoCast<Prjrep::IStorageControl>(failing.Get())->FailOperation(k, kInjected);
    EXPECT_EQ(configurationPersist->PersistSave(failing), kInjected) << "configuration write " << k;
  }
  EXPECT_TRUE(managerPersist->PersistSave(nullptr) == kFailure && managerPersist->PersistLoad(nullptr) == kFailure);
  std::ignore = AutoCast<Hvd::ICompAdmin>(loaded.Get())->Teardown();
}

// A static project is cleaned through its configurations: an open configuration's project by
// its own clean-up and a save, a closed one by a clean-up script that names its project file,
// run in a shell of its own. The static project is marked while that runs, and a clean-up that
// finds the mark does nothing.
TEST_F(ConfigurationTest, AStaticProjectIsCleanedThroughEachConfigurationsProject) {
  Hvd::IProject* staticProject = BindStatic();
  auto open = NewConfiguration("open");
  Hvd::IProject* openProject = m_projects.back().Get();
  auto closed = NewConfiguration("closed");
  // Closed: its repository names it no longer.
  ASSERT_EQ(m_projects.back()->ProjectClose(false), kSuccess);
  AutoCast<Prjrep::ISimpleNamedLookup> names(m_repositories.back().Get());
  ASSERT_TRUE(names && names->UnregisterObject(m_projects.back().Get()) == kSuccess);
  ASSERT_FALSE(Hvd::GetActiveProjectOfObject(closed.Get()));
  ASSERT_TRUE(Hvd::GetActiveProjectOfObject(open.Get()));
  const std::string shell = m_dir + "/velsh", ran = m_dir + "/ran.tcl";
  const std::string staticFile = PathOf("static"), marks = m_dir + "/marks";
  // The shell also notes the mark that the static project's file holds while it runs.
  std::ofstream(shell) << "#!/bin/sh\ncat \"$1\" >> '" << ran << "'\ngrep -o 'PROP_PRHackRecursionGuard[^/]*' '"
                       << staticFile << "' >> '" << marks << "'\n";
  std::filesystem::permissions(shell, std::filesystem::perms::owner_all);
  const Hvd::ShellStandIn standIn(shell.c_str());
  Listener cleaned, cleanedStatic;
  Hvd::ConnectEventReceiver(openProject, &cleaned.receiver);
  Hvd::ConnectEventReceiver(staticProject, &cleanedStatic.receiver);
  const auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto script = [&] { return read(ran); };
  Hvd::PropertyAccessor guard(staticProject);

  guard.SetPropertyValue("PROP_PRHackRecursionGuard", "true");
  EXPECT_EQ(staticProject->ProjectCleanUp(), kSuccess);
  EXPECT_TRUE(cleaned.ids.empty() && script().empty()) << "marked: nothing is cleaned";
  EXPECT_EQ(guard.GetPropertyValue("PROP_PRHackRecursionGuard").str(), "true");

  // Saved just now, so that a save held back by the save delay would not write the mark.
  guard.SetPropertyValue("PROP_PRHackRecursionGuard", "false");
  auto saves = AutoCast<Hvd::IForceSave>(staticProject);
  ASSERT_TRUE(saves && saves->SetSaveDelay(60) == kSuccess && saves->ForceSave() == kSuccess);
  ASSERT_FALSE(std::filesystem::exists(PathOf("open")));
  EXPECT_EQ(staticProject->ProjectCleanUp(), kSuccess);
  EXPECT_TRUE(std::filesystem::exists(PathOf("open"))) << "the open configuration's project is saved";
  EXPECT_NE(read(marks).find("value=\"true\""), std::string::npos) << "marked on disk while the script ran";
  EXPECT_EQ(read(staticFile).find("PROP_PRHackRecursionGuard\" vel_kv:value=\"true\""), std::string::npos)
      << "and no longer once done";
  EXPECT_EQ(cleaned.ids, (std::vector<Port::XUID>{Hvd::EventId::CleanUpBegins(), Hvd::EventId::CleanUpEnds()}));
  EXPECT_TRUE(cleanedStatic.ids.empty()) << "the static project's own files are not cleaned";
  const std::string text = script();
  EXPECT_EQ(text.find("set filename " + PathOf("open")), std::string::npos);
  const auto named = text.find("set filename " + PathOf("closed") + " \n");
  EXPECT_NE(named, std::string::npos) << text;
  EXPECT_TRUE(named < text.find("project open $filename\nproject clean\n")) << text;
  EXPECT_EQ(guard.GetPropertyValue("PROP_PRHackRecursionGuard").str(), "false");
}

TEST_F(ConfigurationTest, AnElementOutlivingItsConfigurationNoLongerReachesIt) {
  BindStatic();
  auto fast = FlavorOnProject("fast"), slow = FlavorOnProject("slow");
  AutoPtr<Hvd::IConfigurationElement> element;
  Listener fromConfiguration;
  {
    auto configuration = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
    AutoRelease<Hvd::IConfigurationElement> made;
    ASSERT_EQ(AutoCast<Hvd::IConfigurationPrivate>(configuration.Get())->CreateElement(nullptr, made.Receive()), kSuccess);
    element = made.Get();
    Hvd::ConnectEventReceiver(configuration.Get(), &fromConfiguration.receiver);
    AutoCast<Hvd::ISettableConfigurationElement> settable(element.Get());
    ASSERT_EQ(settable->SetFlavor(fast), kSuccess);
    EXPECT_TRUE(fromConfiguration.ids.empty()) << "a first flavor replaces nothing";
    EXPECT_EQ(settable->SetFlavor(fast), kSuccess);
    EXPECT_TRUE(fromConfiguration.ids.empty()) << "the same flavor changes nothing";
    ASSERT_EQ(settable->SetFlavor(slow), kSuccess);
    EXPECT_EQ(fromConfiguration.ids, std::vector<Port::XUID>{Hvd::EventId::FlavorReplaced()});
  }
  // The configuration is gone; the element changes its flavor without reaching for it.
  EXPECT_EQ(AutoCast<Hvd::ISettableConfigurationElement>(element.Get())->SetFlavor(fast), kSuccess);
  EXPECT_EQ(fromConfiguration.ids.size(), 1u);
  EXPECT_EQ(FlavorOf(element).Get(), Hvd::RootOf(fast.Get()));
}

// A composition merges the static project's search paths into the configuration's own; a
// path list the static project holds empty is set as it is.
TEST_F(ConfigurationTest, ComposingMergesTheStaticProjectsPathListsIntoTheConfigurations) {
  Hvd::IProject* staticProject = BindStatic();
  auto configuration = NewConfiguration("c");
  Hvd::IProject* project = m_projects.back().Get();
  Hvd::PropertyAccessor from(staticProject), into(project);
  from.SetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax", "/shared|inc");
  into.SetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax", "/own|/shared");
  from.SetPropertyValue("PROP_ovraSpecifySearchDirectory", "");
  into.SetPropertyValue("PROP_ovraSpecifySearchDirectory", "/own");
  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(configuration.Get())->Compose(nullptr), kSuccess);
  EXPECT_EQ(into.GetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax").str(), "/own|/shared|" + m_dir + "/inc");
  EXPECT_EQ(into.GetPropertyValue("PROP_ovraSpecifySearchDirectory").str(), "");
  // Composed again, the list gains nothing it has.
  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(configuration.Get())->Compose(nullptr), kSuccess);
  EXPECT_EQ(into.GetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax").str(), "/own|/shared|" + m_dir + "/inc");
}

// The static project's settings come through the static element: a configuration made apart
// from the manager has none, composes all the same and keeps its project's own values.
TEST_F(ConfigurationTest, AConfigurationWithoutAStaticElementComposesWithoutTakingSettings) {
  Hvd::IProject* staticProject = BindStatic();
  Hvd::PropertyAccessor(staticProject).SetPropertyValue("PROP_FlowDebugLevel", "2");
  auto made = NewConfiguration("made");
  Hvd::IProject* madeProject = m_projects.back().Get();
  auto apart = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
  ASSERT_EQ(AutoCast<Prjrep::IName>(apart.Get())->SetName("apart"), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IConfigurationPrivate>(apart.Get())->Initialize(Project("apart")), kSuccess);
  Hvd::IProject* apartProject = m_projects.back().Get();
  ASSERT_TRUE(Elements(apart.Get()).empty());
  Hvd::PropertyAccessor apartProperties(apartProject);
  const std::string own = apartProperties.GetPropertyValue("PROP_FlowDebugLevel").str();
  ASSERT_NE(own, "2");

  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(apart.Get())->Compose(nullptr), kSuccess);
  EXPECT_EQ(apartProperties.GetPropertyValue("PROP_FlowDebugLevel").str(), own);
  EXPECT_EQ(TypeOf(apartProject), "Configuration");
  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(made.Get())->Compose(nullptr), kSuccess);
  EXPECT_EQ(Hvd::PropertyAccessor(madeProject).GetPropertyValue("PROP_FlowDebugLevel").str(), "2");
  std::ignore = AutoCast<Hvd::ICompAdmin>(apart.Get())->Teardown();
}

// An element finds the project it is bound to; taken apart it lets go of its configuration,
// module and flavor, and keeps its project.
TEST_F(ConfigurationTest, AnElementTakenApartKeepsOnlyItsProject) {
  BindStatic();
  auto fast = FlavorOnProject("fast"), slow = FlavorOnProject("slow");
  AutoRelease<Hvd::IPRModule> u1;
  ASSERT_EQ(Modules()->CreatePRModule("/top/u1", u1.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(u1.Get())->AddFlavor(fast), kSuccess);
  auto configuration = NewConfiguration("c");
  Hvd::IProject* project = m_projects.back().Get();
  auto elements = Elements(configuration);
  ASSERT_EQ(elements.size(), 2u);
  Hvd::IConfigurationElement* element = elements[1].Get();
  AutoCast<Hvd::IProjectCompReference> reference(element);
  AutoRelease<Hvd::IProject> bound;
  EXPECT_TRUE(reference->GetProject(bound.Receive()) == kFailure && !bound) << "bound to none yet";
  EXPECT_EQ(reference->SetProject(project), kSuccess);
  EXPECT_TRUE(reference->GetProject(bound.ReleaseAndReceive()) == kSuccess && bound.Get() == project);
  EXPECT_EQ(reference->GetProject(nullptr), kFailure);
  EXPECT_EQ(reference->SetProject(nullptr), kFailure);
  EXPECT_TRUE(reference->GetProject(bound.ReleaseAndReceive()) == kFailure && !bound);
  ASSERT_EQ(reference->SetProject(project), kSuccess);

  Listener fromConfiguration;
  Hvd::ConnectEventReceiver(configuration.Get(), &fromConfiguration.receiver);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(element)->Teardown(), kSuccess);
  EXPECT_TRUE(!ModuleOf(element) && !FlavorOf(element));
  EXPECT_TRUE(reference->GetProject(bound.ReleaseAndReceive()) == kSuccess && bound.Get() == project);
  // A flavor replaced now is no longer the configuration's to hear of.
  AutoCast<Hvd::ISettableConfigurationElement> settable(element);
  ASSERT_TRUE(settable->SetFlavor(slow) == kSuccess && settable->SetFlavor(fast) == kSuccess);
  EXPECT_EQ(FlavorOf(element).Get(), Hvd::RootOf(fast.Get()));
  EXPECT_TRUE(fromConfiguration.ids.empty());
}

}  // namespace

namespace {

using namespace pr_testing;

// Whether the project holds a file of that path.
bool Holds(Hvd::IProject* project, const std::string& path) {
  AutoRelease<Hvd::IHdlFileIterator> at;
  return AutoCast<Hvd::IFileManager>(project)->FindFileByPath(path.c_str(), at.Receive()) == kSuccess && at &&
         !at->IsDone();
}

struct ElementTest : ConfigurationTest {};

TEST_F(ElementTest, ChangingTheFlavorSwapsItsProjectFileInTheConfigurationsProject) {
  BindStatic();
  auto fast = FlavorOnProject("fast"), slow = FlavorOnProject("slow");
  for (const char* name : {"fast", "slow"}) std::ofstream(PathOf(name)) << "<project/>";
  AutoRelease<Hvd::IPRModule> u1;
  ASSERT_EQ(Modules()->CreatePRModule("/top/u1", u1.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(u1.Get())->AddFlavor(fast), kSuccess);
  auto configuration = NewConfiguration("c", true);
  Hvd::IProject* project = m_projects.back().Get();
  auto elements = Elements(configuration);
  ASSERT_EQ(elements.size(), 2u);
  // Bound to its project only after the element was made: composing it adds the flavor.
  EXPECT_FALSE(Holds(project, PathOf("fast")));
  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(elements[1].Get())->Compose(nullptr), kSuccess);
  EXPECT_TRUE(Holds(project, PathOf("fast")));

  Listener fromConfiguration;
  Hvd::ConnectEventReceiver(configuration.Get(), &fromConfiguration.receiver);
  AutoCast<Hvd::ISettableConfigurationElement> settable(elements[1].Get());
  EXPECT_EQ(settable->SetFlavor(slow), kSuccess);
  EXPECT_TRUE(!Holds(project, PathOf("fast")) && Holds(project, PathOf("slow")));
  EXPECT_EQ(fromConfiguration.ids, std::vector<Port::XUID>{Hvd::EventId::FlavorReplaced()});
  // No flavor: the replacement is announced again and nothing is composed.
  EXPECT_EQ(settable->SetFlavor(nullptr), kSuccess);
  EXPECT_EQ(fromConfiguration.ids.size(), 2u);
  EXPECT_FALSE(FlavorOf(elements[1]));
}

}  // namespace

namespace {

using namespace pr_testing;

using HelperTest = PRTest;

TEST_F(HelperTest, TheProjectHelperAddsSourcesOnlyToAProjectItHas) {
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(nullptr, true);
  ASSERT_TRUE(helper);
  AutoCast<Hvd::IProjSrcHelper> sources(helper.Get());
  AutoCast<Hvd::IProjectHelper2> opener(helper.Get());
  ASSERT_TRUE(sources && opener);
  EXPECT_EQ(helper->MakeProject(""), kFailure);
  EXPECT_EQ(sources->AddProjectSource("/nowhere/a.vhd", 0), kFailure) << "no project";
  EXPECT_EQ(sources->HandOverSource("/nowhere/a.vhd"), kNotSupported);
  EXPECT_EQ(opener->OpenProject("/nowhere/p.xhlc"), kFailure) << "nothing there to open: nothing bound";
  AutoRelease<CitI::IInterface> project;
  EXPECT_TRUE(helper->GetProject(project.Receive()) == kFailure && opener->GetProject(project.Receive()) == kFailure);
  EXPECT_TRUE(helper->AfterMakeProject() == kSuccess && helper->AfterSourcesChanged(1) == kSuccess &&
              helper->CloseProject() == kSuccess);
}

}  // namespace
