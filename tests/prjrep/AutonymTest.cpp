// The operation gate, the path and compound autonyms, and the project helper loaded by name.

#include <gtest/gtest.h>

#include "support/FakeProject.h"

#include <filesystem>
#include <string>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IStringSet.h"
#include "Prjrep/StandIns.h"
#include "framework/Holders.h"
#include "framework/Persist.h"
#include "support/Records.h"

namespace {

using namespace Prjrep;
using Status = std::uint64_t;
using Text = Port::StringBase<char>;
using Object = AutoRelease<CitI::IInterface>;
using testing_support::CRecord;
using testing_support::IRecord;

constexpr Port::XUID kRepository{"{cd48a8b1-2990-4881-8664-52802c04fdff}"};
constexpr Port::XUID kRegistry{"{4fed14a6-b46d-476d-8556-05048be1b55b}"};
constexpr Port::XUID kGate{"{60f0875e-b8d4-4abf-b271-75837f1c0ca9}"};
constexpr Port::XUID kPathNym{"{c6327cf3-ebf5-4a02-90ff-387e6c7d2f11}"};
constexpr Port::XUID kCompound{"{e4265341-05c3-4f14-9f2f-a47e72d5ae89}"};
constexpr Port::XUID kHelper{"{0725c3d2-5e9b-4383-a7b6-a80c932eac21}"};

template <class I>
AutoRelease<I> Create(const Port::XUID& clsid) {
  return AutoRelease<I>(CitP::Factory::CreateInstance(clsid));
}

// Stands for what its context's name table knows by its name.
class CLookupNym final : public IAutonym {
 public:
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-5555555555a1}")
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{IAutonym::GetIID(), this},
                                  {IPersist::GetIID(), &persist},
                                  {IRefCount::GetIID(), &count},
                                  {CitI::IInterface::GetIID(), this}});
  }
  Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override {
    AutoCast<ISimpleNamedLookup> names(context);
    return names.Get() ? names->Find(name, object) : 0;
  }
  Status GetName(Text* out) override { return *out = name, 1; }
  Status GetObject(CitI::IInterface** object) override { return *object = nullptr, 1; }
  Status IsSame(CitI::IInterface*, bool* same) override { return *same = false, 0; }
  Status LoadFrom(IStorage* storage) { return storage->ReadString(&name); }
  Status SaveTo(IStorage* storage) { return storage->WriteString(&name); }
  Text name;
  TPersistHelper<CLookupNym> persist{this};
  TRefCountHelper<CLookupNym> count{this};
};

AutoRelease<IAutonym> PathNym(const std::string& path) {
  auto nym = Create<IAutonym>(kPathNym);
  return AutoCast<IName>(nym.Get())->SetName(path.c_str()), std::move(nym);
}
AutoRelease<IAutonym> LookupNym(const char* name) {
  auto* nym = new CLookupNym;
  return nym->name = name, AutoRelease<IAutonym>(nym);
}
Text NameOf(IAutonym* nym) {
  Text name;
  return nym->GetName(&name), name;
}

struct AutonymTest : ::testing::Test {
  void SetUp() override {
    RegisterComponents();
    CRecord::Register();
    testing_support::RegisterTestFactory<CLookupNym>();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  }
  void TearDown() override {
    ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(dir);
    EXPECT_EQ(CRecord::s_alive, 0);
  }
  std::string dir = ::testing::TempDir() + "autonym_XXXXXX";
};

TEST_F(AutonymTest, EachGateCountsAndWalksItsOwnNamesAndTheRegistryHoldsOne) {
  auto gate = Create<ISimpleNamedLookup>(kGate), other = Create<ISimpleNamedLookup>(kGate);
  AutoCast<IStringSet> names(gate.Get());
  AutoRelease<IRecord> record(CRecord::Make(1));
  EXPECT_TRUE(gate->Add("b", record) == 1 && gate->Add("a", record) == 1 && gate->Add("a", record) == 0);
  EXPECT_TRUE(names->Size() == 2 && AutoCast<IStringSet>(other.Get())->Size() == 0);
  AutoRelease<IStringIterator> it;
  ASSERT_EQ(names->GetIterator(it.Receive()), 1u);
  EXPECT_TRUE(gate->Unregister("b") == 1 && names->Size() == 1);  // the walk goes on over its copy
  std::string walked;
  for (; !it->IsDone(); it->Next()) walked += it->Current().str();
  EXPECT_TRUE(walked == "ab" && it->Current().empty() && it->Next() == 0);
  EXPECT_TRUE(names->Add("c") == Hvd::kNotSupported && names->Clear() == Hvd::kNotSupported);

  Object shared;
  ASSERT_EQ(Create<ISimpleNamedLookup>(kRegistry)->Find("OperationGate", shared.Receive()), 1u);
  EXPECT_NE(AutoCast<IStringSet>(shared.Get()).Get(), nullptr);
}

TEST_F(AutonymTest, APathAutonymOpensItsRepositoryOnceAndTheRegistryHandsTheSameOneToItsTwin) {
  const std::string path = dir + "/a.rep";
  auto nym = PathNym(path), twin = PathNym(path);
  auto registry = Create<IAutonymLookup>(kRegistry);
  Object repo, again, held;
  ASSERT_EQ(registry->ResolveOrCreate(nym, nullptr, repo.Receive()), 1u);
  EXPECT_TRUE(nym->GetObject(held.Receive()) == 1 && held.Get() == repo.Get());
  EXPECT_TRUE(twin->Resolve(nullptr, again.Receive()) == 1 && again.Get() == repo.Get());
  EXPECT_TRUE(registry->ResolveOrCreate(PathNym(path), nullptr, again.Receive()) == 1 && again.Get() == repo.Get());
  bool same = true;
  EXPECT_TRUE(nym->IsSame(twin, &same) == 1 && same && nym->IsSame(PathNym(dir + "/b.rep"), &same) == 1 && !same);
  EXPECT_TRUE(nym->IsSame(registry, &same) == 0 && !same);
  EXPECT_TRUE(PathNym("")->Resolve(nullptr, again.Receive()) == 0 && again.Get() == nullptr);
}

TEST_F(AutonymTest, ACompoundResolvesEachElementInThePreviousOnesObjectHoldsNothingAndRoundTrips) {
  const std::string path = dir + "/a.rep";
  auto compound = Create<IAutonymSet>(kCompound), broken = Create<IAutonymSet>(kCompound);
  AutoCast<IAutonym> nym(compound.Get()), brokenNym(broken.Get());
  EXPECT_TRUE(compound->Add(PathNym(path)) == 1 && compound->Add(LookupNym("rec")) == 1 && compound->Add(nullptr) == 0);
  EXPECT_EQ(NameOf(nym), (path + "|rec").c_str());

  Object repo, found;
  ASSERT_EQ(Create<IAutonymLookup>(kRegistry)->ResolveOrCreate(PathNym(path), nullptr, repo.Receive()), 1u);
  AutoRelease<IRecord> first(CRecord::Make(1)), second(CRecord::Make(2));
  AutoCast<ISimpleNamedLookup> names(repo.Get());
  ASSERT_EQ(names->Add("rec", first), 1u);
  EXPECT_TRUE(nym->Resolve(nullptr, found.Receive()) == 1 && AutoCast<IRecord>(found.Get())->Value() == 1);
  EXPECT_TRUE(names->Register("rec", second) == 1 && nym->Resolve(nullptr, found.Receive()) == 1);
  EXPECT_EQ(AutoCast<IRecord>(found.Get())->Value(), 2);  // looked up again
  EXPECT_TRUE(nym->Resolve(nullptr, nullptr) == 0 && brokenNym->Resolve(nullptr, found.Receive()) == 0);
  EXPECT_TRUE(broken->Add(PathNym(path)) == 1 && broken->Add(LookupNym("none")) == 1);
  EXPECT_TRUE(brokenNym->Resolve(nullptr, found.Receive()) == 0 && found.Get() == nullptr);

  // Into an item of the repository, its file, and back through a fresh repository.
  AutoRelease<IStorage> item, root;
  AutoRelease<IPersist> read;
  ASSERT_TRUE(AutoCast<IStorage>(repo.Get())->OpenItem("Nym", kCreate, item.Receive()) == 1 &&
              item->WriteObject(AutoCast<IPersist>(nym.Get())) == 1 &&
              AutoCast<IProjectRepository>(repo.Get())->Close() == 1);
  auto fresh = Create<IProjectRepositoryInternal>(kRepository);
  ASSERT_TRUE(fresh->Open(path, "", kOpenExisting, root.Receive(), nullptr) == 1 &&
              root->OpenItem("Nym", kRead, item.Receive()) == 1 && item->ReadObject(read.Receive()) == 1);
  AutoCast<IAutonym> back(read.Get());
  bool same = false;
  ASSERT_NE(back.Get(), nullptr);
  EXPECT_TRUE(NameOf(back) == NameOf(nym) && back->IsSame(compound, &same) == 1 && same);
}

// A project that counts its saves.
class FakeProject final : public testing_support::FakeProjectBase {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(
        iid, {{Hvd::IProject::GetIID(), this}, {IRefCount::GetIID(), &count}, {CitI::IInterface::GetIID(), this}});
  }
  Status Save() override { return ++saves, 0x42; }
  int saves = 0;
  TRefCountHelper<FakeProject> count{this};
};

TEST_F(AutonymTest, TheProjectHelperLoadedByNameIsBoundToAProjectThatItSavesAndLetsGo) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
  auto helper = Create<Hvd::IProjectHelper>(kHelper);
  ASSERT_NE(helper.Get(), nullptr);
  AutoCast<Hvd::IProjectCompReference> reference(helper.Get());
  AutoCast<Hvd::IProjectCompReference> binding(helper.Get());
  auto* project = new FakeProject;
  AutoRelease<Hvd::IProject> mine(project), got;
  Object root;
  EXPECT_TRUE(reference->GetProject(got.Receive()) == 0 && got.Get() == nullptr && reference->GetProject(nullptr) == 0);
  EXPECT_TRUE(helper->SaveProject(0) == 1 && binding->SetProject(helper) == 0);
  EXPECT_TRUE(binding->SetProject(project) == 1 && project->count.GetRefCount() == 2);
  EXPECT_TRUE(helper->OpenProject("") == 0 && helper->OpenProject((dir + "/p.xpr").c_str()) == 1);
  EXPECT_TRUE(reference->GetProject(got.Receive()) == 1 && got.Get() == project);
  EXPECT_TRUE(helper->GetProjectObject(root.Receive()) == 1 && root.Get() == project);
  EXPECT_TRUE(helper->SaveProject(0) == 0x42 && project->saves == 1);
  got.Assign(nullptr), root.Assign(nullptr);
  EXPECT_TRUE(helper->CloseProject() == 1 && project->count.GetRefCount() == 1);
  EXPECT_TRUE(helper->GetProjectObject(root.Receive()) == 0 && root.Get() == nullptr);
}

}  // namespace
