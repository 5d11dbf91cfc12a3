// Flavors on their projects, their names, and their records through the repository.

#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Prjrep/IPersist.h"
#include "pr/PRSupport.h"

namespace {

using namespace pr_testing;

constexpr Hvd::Status kInjected{0x1000000200000099ull};

struct FlavorTest : ProjectsTest {
  // A named flavor on the project "<name>.xhlc", which the repository of that path knows as
  // its "Flavor", as an open flavor project's repository does.
  AutoRelease<Hvd::IFlavor> FlavorOnProject(const std::string& name, bool withHelper = true) {
    auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
    EXPECT_EQ(AutoCast<Prjrep::IName>(flavor.Get())->SetName(name.c_str()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetProject(Project(name, withHelper)), kSuccess);
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Flavor", flavor.Get(), true), kSuccess);
    return flavor;
  }
};

TEST_F(FlavorTest, AFlavorMarksItsProjectAndIsItsNamedFlavor) {
  auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  Hvd::IProject* project = Project("fast");
  EXPECT_EQ(TypeOf(project), "N/A");
  EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetProject(nullptr), kFailure);
  EXPECT_EQ(AutoCast<Hvd::IProjectCompReference>(flavor.Get())->SetProject(project), kSuccess);
  EXPECT_EQ(TypeOf(project), "Flavor");
  AutoRelease<CitI::IInterface> named;
  EXPECT_TRUE(Hvd::FindNamedObjectIn(project, "Flavor", named.Receive()) == kSuccess &&
              named.Get() == static_cast<CitI::IInterface*>(flavor.Get()));
  Text path;
  EXPECT_TRUE(AutoCast<Hvd::IProjectReference>(flavor.Get())->GetProjectFileName(&path) == kSuccess &&
              path.str() == PathOf("fast"));
  EXPECT_EQ(AutoCast<Hvd::IProjectReference>(flavor.Get())->SetProjectFileName("/elsewhere.xhlc"), kSuccess);
  EXPECT_EQ(Hvd::GetObjectFullPath(flavor.Get()).str(), PathOf("fast")) << "the file name is the project's";
  AutoRelease<Hvd::IProject> got;
  EXPECT_TRUE(flavor->GetProject(got.Receive()) == kSuccess && got.Get() == project);
  // Bound to nothing, the flavor lets go of its project.
  EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetProject(nullptr), kFailure);
  EXPECT_EQ(AutoCast<Hvd::IProjectReference>(flavor.Get())->GetProjectFileName(&path), kFailure);
}

TEST_F(FlavorTest, EveryRenameIsAnnouncedOnceAndANameMustBeAFileName) {
  auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  auto configuration = Create<Hvd::IConfiguration>(Hvd::ClassId::Configuration());
  for (CitI::IInterface* object : {static_cast<CitI::IInterface*>(flavor.Get()),
                                   static_cast<CitI::IInterface*>(configuration.Get())}) {
    Listener listener;
    Hvd::ConnectEventReceiver(object, &listener.receiver);
    AutoCast<Prjrep::IName> name(object);
    EXPECT_TRUE(name->SetName("fast") == kSuccess && name->SetName("fast") == kSuccess);
    EXPECT_EQ(listener.ids, (std::vector<Port::XUID>{Hvd::EventId::NameChanged(), Hvd::EventId::NameChanged()}));
    // Its name becomes a directory and a file name, which its project's files name: these are
    // refused and change nothing.
    for (const char* bad : {"", ".", "..", "a/b", "..\\up", "/abs", "a\x01", "a\x1b"})
      EXPECT_NE(name->SetName(bad), kSuccess) << bad;
    // A NUL is named to the user as what it is.
    Port_MsgManData::ClearCaptured();
    EXPECT_NE(name->SetName(Text(std::string("a\0b", 3))), kSuccess);
    EXPECT_TRUE(std::ranges::any_of(Port_MsgManData::Captured(), [](const auto& said) {
      return said.text.find("\"a\\x00b\" is refused") != std::string::npos;
    }));
    EXPECT_EQ(NameOf(object), "fast");
    EXPECT_EQ(listener.ids.size(), 2u);
  }
}

TEST_F(FlavorTest, TheRecordIsNameTextModuleAndProjectAndEachWriteThatFailsIsTheAnswer) {
  auto flavor = FlavorOnProject("fast");
  ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetText("opaque"), kSuccess);
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  AutoRelease<Prjrep::IAutonym> moduleNym;
  ASSERT_EQ(AutoCast<Prjrep::IAutoNaming>(module.Get())->GetAutonym(moduleNym.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetPRModule(moduleNym), kSuccess);
  AutoRelease<CitI::IInterface> owner;
  EXPECT_TRUE(flavor->GetPRModule(owner.Receive()) == kSuccess && owner.Get() == static_cast<CitI::IInterface*>(module.Get()));

  AutoCast<Prjrep::IPersist> persist(flavor.Get());
  auto storage = NewStorage();
  ASSERT_EQ(persist->PersistSave(storage), kSuccess);
  const std::int64_t writes = AutoCast<Prjrep::IStorageControl>(storage.Get())->OperationCount();
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  auto loaded = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded.Get())->PersistLoad(storage), kSuccess);
  Text text;
  EXPECT_TRUE(NameOf(loaded.Get()) == "fast" && loaded->GetText(&text) == kSuccess && text.str() == "opaque");
  EXPECT_EQ(Hvd::GetObjectFullPath(loaded.Get()).str(), PathOf("fast"));
  AutoRelease<Hvd::IProject> project;
  EXPECT_TRUE(loaded->GetProject(project.Receive()) == kSuccess && project.Get() == m_projects.back().Get());

  for (std::int64_t k = 1; k <= writes; ++k) {
    auto failing = NewStorage();
    AutoCast<Prjrep::IStorageControl>(failing.Get())->FailOperation(k, kInjected);
    EXPECT_EQ(persist->PersistSave(failing), kInjected) << "write " << k;
  }
  EXPECT_TRUE(persist->PersistSave(nullptr) == kFailure && persist->PersistLoad(nullptr) == kFailure);
  EXPECT_TRUE(flavor->GetPRModule(nullptr) == kFailure && flavor->GetProject(nullptr) == kFailure);
}

TEST_F(FlavorTest, AModuleKeepsItsFlavorsInOrderThroughItsRecord) {
  auto module = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  AutoCast<Hvd::ISettablePRModule> settable(module.Get());
  ASSERT_TRUE(AutoCast<Prjrep::IName>(module.Get())->SetName("m") == kSuccess &&
              settable->SetInstancePath("/top/u1") == kSuccess && settable->SetAuxiliaryString("aux") == kSuccess);
  auto storage = NewStorage();
  AutoCast<Prjrep::IPersist> persist(module.Get());
  ASSERT_EQ(persist->PersistSave(storage), kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  Text text;
  std::int32_t count = -1;
  for (const char* expected : {"m", "/top/u1", "aux"})
    EXPECT_TRUE(storage->ReadString(&text) == kSuccess && text.str() == expected);
  EXPECT_TRUE(storage->ReadInt32(&count) == kSuccess && count == 0) << "no flavors: the count 0";

  auto c = FlavorOnProject("c"), a = FlavorOnProject("a", false), b = FlavorOnProject("b");
  for (auto* flavor : {c.Get(), a.Get(), b.Get()}) ASSERT_EQ(settable->AddFlavor(flavor), kSuccess);
  storage = NewStorage();
  ASSERT_EQ(persist->PersistSave(storage), kSuccess);
  const std::int64_t writes = AutoCast<Prjrep::IStorageControl>(storage.Get())->OperationCount();
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  auto loaded = Create<Hvd::IPRModule>(Hvd::ClassId::PRModule());
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded.Get())->PersistLoad(storage), kSuccess);
  EXPECT_TRUE(loaded->GetInstancePath(text) == kSuccess && text.str() == "/top/u1");
  EXPECT_TRUE(loaded->GetAuxiliaryString(text) == kSuccess && text.str() == "aux" && NameOf(loaded.Get()) == "m");
  AutoRelease<Hvd::IFlavorSet> set;
  AutoRelease<Hvd::IFlavorIterator> it;
  ASSERT_TRUE(loaded->GetFlavorSet(set.Receive()) == kSuccess && set->GetIterator(it.Receive()) == kSuccess);
  std::vector<CitI::IInterface*> order;
  for (; !it->IsDone(); std::ignore = it->Next()) order.push_back(it->Current());
  EXPECT_EQ(order, (std::vector<CitI::IInterface*>{c.Get(), a.Get(), b.Get()}));

  for (std::int64_t k = 1; k <= writes; ++k) {
    auto failing = NewStorage();
    AutoCast<Prjrep::IStorageControl>(failing.Get())->FailOperation(k, kInjected);
    EXPECT_EQ(persist->PersistSave(failing), kInjected) << "write " << k;
  }
  // A count that runs past the record stops at the first read that fails.
  auto cut = NewStorage();
  for (const Text& value : {Text("m"), Text("/top/u1"), Text("aux")}) ASSERT_EQ(cut->WriteString(&value), kSuccess);
  ASSERT_EQ(cut->WriteInt32(1 << 30), kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(cut.Get())->Rewind();
  EXPECT_NE(AutoCast<Prjrep::IPersist>(loaded.Get())->PersistLoad(cut), kSuccess);

  // Taking the module apart closes each flavor's project through its helper; the second has
  // none, and its failure is the answer although the third closed.
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(module.Get())->Teardown(), kFailure);
  AutoRelease<Hvd::IFlavorSet> gone;
  EXPECT_TRUE(module->GetFlavorSet(gone.Receive()) == kFailure && !gone);
  std::ignore = AutoCast<Hvd::ICompAdmin>(loaded.Get())->Teardown();
}

}  // namespace
