// Reconfigurable modules, their autonyms and flavors.

#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Prjrep/IPersist.h"
#include "pr/PRSupport.h"

namespace {

using namespace pr_testing;

AutoRelease<Hvd::IFlavor> NewFlavor(const char* name) {
  auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  EXPECT_EQ(AutoCast<Prjrep::IName>(flavor.Get())->SetName(name), kSuccess);
  return flavor;
}

std::vector<std::string> FlavorNames(Hvd::IPRModule* module) {
  std::vector<std::string> names;
  AutoRelease<Hvd::IFlavorSet> set;
  AutoRelease<Hvd::IFlavorIterator> it;
  if (module->GetFlavorSet(set.Receive()) == kSuccess) std::ignore = set->GetIterator(it.Receive());
  for (; it && !it->IsDone(); std::ignore = it->Next()) names.push_back(NameOf(it->Current()));
  return names;
}

using ModuleTest = PRTest;

TEST_F(ModuleTest, TheModuleAndFlavorAnswerEveryRowOfTheirTables) {
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  ASSERT_TRUE(module);
  ExpectAnswers<Hvd::IPRModule, Hvd::ISettablePRModule, Hvd::IPRProperties, Prjrep::IName, Prjrep::IPersist,
                Prjrep::IRefCount, Prjrep::IEventSender, Prjrep::IEventReceiver, Prjrep::IAutoNaming,
                Hvd::ICompAdmin>(module.Get());
  EXPECT_EQ(module->QueryInterface(CitI::IInterface::GetIID()), static_cast<CitI::IInterface*>(module.Get()));
  EXPECT_EQ(AutoCast<Hvd::IPRProperties>(module.Get())->ReservedOperation2(), kNotSupported);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(module.Get())->InitializeAfterLoad(nullptr), kNotSupported);
  Port::XUID id;
  EXPECT_TRUE(AutoCast<Prjrep::IPersist>(module.Get())->GetClassId(id) == kSuccess && id == Hvd::ClassId::PRModule());

  auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  ASSERT_TRUE(flavor);
  ExpectAnswers<Hvd::IFlavor, Hvd::ISettableFlavor, Hvd::IPRProperties, Hvd::IProjectReference,
                Hvd::IProjectCompReference, Prjrep::IAutoNaming, Hvd::ICompAdmin, Prjrep::IName, Prjrep::IPersist,
                Prjrep::IRefCount, Prjrep::IEventSender, Prjrep::IEventReceiver>(flavor.Get());
  EXPECT_EQ(flavor->QueryInterface(CitI::IInterface::GetIID()), static_cast<CitI::IInterface*>(flavor.Get()));

  // A new flavor: no name, no text, no module, no project.
  Text text("stale");
  AutoRelease<CitI::IInterface> owner;
  AutoRelease<Hvd::IProject> project;
  EXPECT_TRUE(flavor->GetText(&text) == kSuccess && text.empty() && NameOf(flavor.Get()).empty());
  EXPECT_TRUE(flavor->GetPRModule(owner.Receive()) == kSuccess && !owner);
  EXPECT_TRUE(flavor->GetProject(project.Receive()) == kFailure && !project);
  EXPECT_EQ(AutoCast<Hvd::IProjectReference>(flavor.Get())->GetProjectFileName(&text), kFailure);
  EXPECT_EQ(flavor->GetText(nullptr), kFailure);
}

TEST_F(ModuleTest, AFlavorJoinsOnceAndLeavesWithItsActiveMarkAndModule) {
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  AutoCast<Hvd::ISettablePRModule> settable(module.Get());
  auto a = NewFlavor("a"), b = NewFlavor("b");
  AutoRelease<Hvd::IFlavor> active;
  EXPECT_TRUE(module->GetActiveFlavor(active.Receive()) == kFailure && !active);
  EXPECT_EQ(settable->AddFlavor(nullptr), kFailure);
  EXPECT_TRUE(settable->AddFlavor(a) == kSuccess && settable->AddFlavor(b) == kSuccess);
  EXPECT_EQ(settable->AddFlavor(a), kFailure) << "already a member";
  EXPECT_EQ(FlavorNames(module), (std::vector<std::string>{"a", "b"}));

  // The module's own face announces the active flavor; the settable face does not.
  AutoRelease<CitI::IInterface> named;
  EXPECT_EQ(settable->SetActiveFlavor(b), kSuccess);
  EXPECT_EQ(Hvd::FindNamedObject("ActiveFlavor", named.Receive()), kFailure);
  EXPECT_EQ(module->SetActiveFlavor(a), kSuccess);
  EXPECT_TRUE(Hvd::FindNamedObject("ActiveFlavor", named.ReleaseAndReceive()) == kSuccess &&
              named.Get() == static_cast<CitI::IInterface*>(a.Get()));
  auto nym = Create<Prjrep::IAutonym>(Hvd::ClassId::PRModuleAutonym());
  EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(a.Get())->SetPRModule(nym), kSuccess);

  // Removing the active flavor clears the mark and the flavor's module; the registry keeps it.
  EXPECT_EQ(settable->RemoveFlavor(a), kSuccess);
  EXPECT_TRUE(module->GetActiveFlavor(active.Receive()) == kFailure && !active);
  AutoRelease<CitI::IInterface> owner;
  EXPECT_TRUE(a->GetPRModule(owner.Receive()) == kSuccess && !owner);
  EXPECT_TRUE(Hvd::FindNamedObject("ActiveFlavor", named.ReleaseAndReceive()) == kSuccess &&
              named.Get() == static_cast<CitI::IInterface*>(a.Get()));
  // Cleared through the module's own face, the name no longer names a flavor.
  EXPECT_EQ(module->SetActiveFlavor(nullptr), kSuccess);
  EXPECT_TRUE(Hvd::FindNamedObject("ActiveFlavor", named.ReleaseAndReceive()) == kFailure && !named);
  EXPECT_EQ(settable->RemoveFlavor(a), kFailure) << "no longer a member";
  EXPECT_EQ(settable->RemoveFlavor(nullptr), kFailure);
  EXPECT_EQ(FlavorNames(module), (std::vector<std::string>{"b"}));

  // Taken apart, the module has no set and takes no flavor.
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(module.Get())->Teardown(), kSuccess);
  AutoRelease<Hvd::IFlavorSet> set;
  EXPECT_TRUE(module->GetFlavorSet(set.Receive()) == kFailure && !set);
  EXPECT_TRUE(settable->AddFlavor(a) == kFailure && settable->RemoveFlavor(b) == kFailure);
}

TEST_F(ModuleTest, FlavorsAreFoundByTheirExactNameTheFirstOfTwoFirst) {
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  AutoCast<Hvd::ISettablePRModule> settable(module.Get());
  auto first = NewFlavor("fast"), second = NewFlavor("fast"), other = NewFlavor("Slow");
  for (auto* flavor : {first.Get(), second.Get(), other.Get()}) ASSERT_EQ(settable->AddFlavor(flavor), kSuccess);
  AutoRelease<Hvd::IFlavor> found;
  DebugLines();
  EXPECT_TRUE(module->FindFlavorWithGivenName("fast", found.Receive()) == kSuccess && found.Get() == first.Get());
  EXPECT_TRUE(module->FindFlavorWithGivenName("slow", found.ReleaseAndReceive()) == kFailure && !found);
  EXPECT_TRUE(module->FindFlavorWithGivenName("fast ", found.ReleaseAndReceive()) == kFailure && !found);
  EXPECT_TRUE(DebugLines().empty());
  EXPECT_TRUE(module->FindFlavorWithGivenName("", found.ReleaseAndReceive()) == kFailure && !found);
  EXPECT_EQ(DebugLines(),
            std::vector<std::string>{"CPRModule::XIPRModule::FindFlavorWithGivenName -- blank flavor name.\n"});
  EXPECT_EQ(module->FindFlavorWithGivenName("fast", nullptr), kFailure);
  EXPECT_EQ(DebugLines(), std::vector<std::string>{"ERROR: Invalid output parameter.\n"});
}

TEST_F(ModuleTest, AutonymsOfOneModuleAreTheSameAndFindItAgainOnlyThroughAManager) {
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  auto twin = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  AutoRelease<Prjrep::IAutonym> one, two, other;
  AutoCast<Prjrep::IAutoNaming> naming(module.Get());
  ASSERT_TRUE(naming->GetAutonym(one.Receive()) == kSuccess && naming->GetAutonym(two.Receive()) == kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IAutoNaming>(twin.Get())->GetAutonym(other.Receive()), kSuccess);
  EXPECT_EQ(naming->GetAutonym(nullptr), kFailure);
  bool same = false;
  EXPECT_TRUE(one->IsSame(two, &same) == kSuccess && same);
  EXPECT_TRUE(one->IsSame(other, &same) == kSuccess && !same) << "modules are told apart by id, not name";
  EXPECT_EQ(one->IsSame(two, nullptr), kFailure);
  Port::XUID oneId, twoId;
  ASSERT_TRUE(AutoCast<Prjrep::IPersist>(one.Get())->GetId(oneId) == kSuccess &&
              AutoCast<Prjrep::IPersist>(two.Get())->GetId(twoId) == kSuccess);
  EXPECT_FALSE(oneId == twoId);

  // Stored, the autonym is the module's id alone; read back it is unbound until resolved.
  auto storage = NewStorage();
  ASSERT_EQ(storage->WriteObject(AutoCast<Prjrep::IPersist>(one.Get())), kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  AutoRelease<Prjrep::IPersist> read;
  ASSERT_EQ(storage->ReadObject(read.Receive()), kSuccess);
  AutoCast<Prjrep::IAutonym> loaded(read.Get());
  AutoRelease<CitI::IInterface> object;
  EXPECT_TRUE(loaded->GetObject(object.Receive()) == kSuccess && !object);
  EXPECT_TRUE(loaded->IsSame(one, &same) == kSuccess && same);
  EXPECT_TRUE(AutoCast<Prjrep::ISaveAutonym>(loaded.Get())->CloseObject(nullptr) == kSuccess) << "nothing bound";
  EXPECT_TRUE(loaded->Resolve(module.Get(), object.Receive()) == kFailure && !object) << "no manager";

  auto manager = Create<Hvd::IPRModuleManager>(Hvd::ClassId::ConfigurationMgr());
  AutoRelease<Hvd::IPRModule> made;
  ASSERT_EQ(manager->CreatePRModule("/top/u1", made.Receive()), kSuccess);
  // The manager's module carries the saved id, as a load would leave it.
  Port::XUID moduleId;
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(module.Get())->GetId(moduleId), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(made.Get())->SetId(moduleId), kSuccess);
  EXPECT_TRUE(loaded->Resolve(manager.Get(), object.Receive()) == kSuccess &&
              object.Get() == static_cast<CitI::IInterface*>(made.Get()));
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(manager.Get())->Teardown(), kSuccess);
}

}  // namespace
