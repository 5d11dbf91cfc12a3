// Path and compound autonyms, a repository file, and the helper loaded by name.

#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/Storage.h"
#include "core/Persist.h"
#include "prjrep/StandInFixture.h"
#include "support/FakeProject.h"

namespace {

using namespace Prjrep;
using namespace testing_support;
using AutonymTest = StandInFixture;

// Stands for what its context's name table knows by its name.
class CLookupNym final : public Hvd::TComponent<CLookupNym, IAutonym> {
 public:
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-5555555555a1}")
  explicit CLookupNym(const char* name = "") : name(name) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IAutonym>(this), Hvd::Row<IPersist>(&persist), Hvd::Row<IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override {
    AutoCast<ISimpleNamedLookup> names(context);
    return names.Get() ? names->Find(name, object) : kFailure;
  }
  Status GetName(Text* out) override { return *out = name, kSuccess; }
  Status GetObject(CitI::IInterface**) override { return kFailure; }
  Status IsSame(CitI::IInterface*, bool*) override { return kFailure; }
  Status LoadFrom(IStorage* storage) { return storage->ReadString(&name); }
  Status SaveTo(IStorage* storage) { return storage->WriteString(&name); }
  Text name;
  TPersistHelper<CLookupNym> persist{this};
  TRefCountHelper<CLookupNym> count{this};
};

TEST_F(AutonymTest, APathAutonymOpensOneRepositoryPerPathThatRegistriesShare) {
  const std::string path = dir / "a.rep";
  auto registry = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());
  auto another = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());  // the same table
  auto nym = PathNym(path);
  auto other = Create<CitI::IInterface>(ClassId::Repository());
  Object repo, again;
  AutoRelease<IAutonym> found;
  ASSERT_EQ(registry->ResolveOrCreate(nym, nullptr, repo.Receive()), kSuccess);
  EXPECT_TRUE(AutoCast<IProjectRepository>(repo.Get()) && another->FindAutonym(repo, found.Receive()) == kSuccess &&
              found.Get() == nym.Get());
  EXPECT_TRUE(another->ResolveOrCreate(PathNym(path), nullptr, again.Receive()) == kSuccess && again.Get() == repo);
  EXPECT_TRUE(PathNym(path)->Resolve(nullptr, again.ReleaseAndReceive()) == kSuccess && again.Get() == repo.Get());
  EXPECT_TRUE(registry->Resolve(PathNym(dir / "b.rep"), again.ReleaseAndReceive()) == kFailure && !again);
  EXPECT_TRUE(registry->ResolveOrCreate(PathNym(""), nullptr, again.Receive()) == kFailure && !again);

  EXPECT_EQ(registry->Register(PathNym(path), other), kSuccess);  // replaces, not adds
  EXPECT_TRUE(registry->Resolve(nym, again.Receive()) == kSuccess && again.Get() == other.Get());
  EXPECT_TRUE(registry->Unregister(PathNym(path)) == kSuccess &&
              registry->Resolve(nym, again.ReleaseAndReceive()) == kFailure);
}

TEST_F(AutonymTest, ACompoundResolvesEachElementInThePreviousOnesObjectHoldsNothingAndComesBackFromAStream) {
  RegisterTestFactory<CLookupNym>();
  const std::string path = dir / "a.rep";
  auto compound = Create<IAutonymSet>(ClassId::CompoundAutonym());
  AutoCast<IAutonym> nym(compound.Get());
  Text name;
  EXPECT_TRUE(compound->Add(PathNym(path)) == kSuccess &&
              compound->Add(AutoRelease<IAutonym>(new CLookupNym("rec"))) == kSuccess &&
              nym->GetName(&name) == kSuccess && name == (path + "|rec").c_str());

  Object repo, found;
  auto registry = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());
  ASSERT_EQ(registry->ResolveOrCreate(PathNym(path), nullptr, repo.Receive()), kSuccess);
  AutoCast<ISimpleNamedLookup> names(repo.Get());
  AutoRelease<IRecord> record(CRecord::Make(1));
  ASSERT_EQ(names->Add("rec", record), kSuccess);
  EXPECT_TRUE(nym->Resolve(nullptr, found.Receive()) == kSuccess && found.Get() == record.Get());
  EXPECT_TRUE(names->Unregister("rec") == kSuccess && nym->Resolve(nullptr, found.ReleaseAndReceive()) == kFailure &&
              !found);  // it held nothing

  // Through a stream and back: the same names.
  AutoRelease<IStorage> storage(CreateStorage());
  AutoRelease<IPersist> read;
  bool same = false;
  ASSERT_EQ(storage->WriteObject(AutoCast<IPersist>(nym)), kSuccess);
  std::ignore = AutoCast<IStorageControl>(storage.Get())->Rewind();
  ASSERT_EQ(storage->ReadObject(read.Receive()), kSuccess);
  EXPECT_TRUE(nym->IsSame(read, &same) == kSuccess && same);
}

TEST_F(AutonymTest, CompoundsThatContainThemselvesFailToNameCompareOrResolveInsteadOfRecursingForever) {
  auto a = Create<IAutonymSet>(ClassId::CompoundAutonym()), b = Create<IAutonymSet>(ClassId::CompoundAutonym());
  AutoCast<IAutonym> nymA(a.Get()), nymB(b.Get());
  ASSERT_TRUE(a->Add(nymA) == kSuccess && b->Add(nymA) == kSuccess &&
              a->Add(nymB) == kSuccess);  // a in itself, and a and b in each other
  Text name;
  Object found;
  bool same = true;
  for (IAutonym* nym : {nymA.Get(), nymB.Get()}) {
    EXPECT_EQ(nym->GetName(&name), kFailure);
    EXPECT_TRUE(nym->Resolve(nullptr, found.Receive()) == kFailure && found.Get() == nullptr);
    EXPECT_TRUE(nym->IsSame(nymA, &same) == kFailure && !same);
  }
  EXPECT_TRUE(a->Clear() == kSuccess && b->Clear() == kSuccess);  // the cycles are the test's own making
}

TEST_F(AutonymTest, TheProjectHelperLoadedByNameIsBoundToAProjectThatItSavesAndLetsGo) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
  auto helper = Create<Hvd::IProjectHelper>(Hvd::ProjectHelperClassId());
  AutoCast<Hvd::IProjectCompReference> reference(helper.Get());
  auto* project = new FakeProject;
  AutoRelease<Hvd::IProject> mine(project), got;
  ASSERT_TRUE(helper.Get() && reference.Get());
  EXPECT_TRUE(helper->AfterSourcesChanged(1) == kSuccess && reference->GetProject(got.Receive()) == kFailure);  // nothing bound
  EXPECT_TRUE(reference->SetProject(project) == kSuccess && project->count.GetRefCount() == 2);
  EXPECT_TRUE(reference->GetProject(got.Receive()) == kSuccess && got.Get() == project);
  EXPECT_EQ(helper->AfterSourcesChanged(1), Hvd::kNotSupported);  // the project's own answer
  got.Assign(nullptr);
  EXPECT_TRUE(helper->CloseProject() == kSuccess && project->count.GetRefCount() == 1 &&
              reference->GetProject(got.Receive()) == kFailure);
}

}  // namespace
