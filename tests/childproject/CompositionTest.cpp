// A child project's files in its parent: the per-file steps, their originators, library and
// view association, the decomposition, and the predicates on child projects.

#include <algorithm>

#include "ChildSupport.h"
#include "Hvd/IDesign.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IViewManager.h"
#include "childproject/ChildProjectHelp.h"
#include "childproject/FileComposer.h"
#include "core/Events.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace {

using namespace child_testing;
using Hvd::FileComposer, Hvd::OriginatorCount, Hvd::HasOriginatorMatching;

template <class... Faces>
struct AllOf : Faces... {};

// A project's Cvf project that keeps the sources handed back to it.
struct SourceTaker : Hvd::TComponent<SourceTaker, AllOf<Hvd::IProjectHelper, Hvd::IProjSrcHelper>> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IProjectHelper>(this), Hvd::Row<Hvd::IProjSrcHelper>(this),
                      Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(AsHelper()));
  }
  Hvd::Status HandOverSource(const Text& source) override {
    handed.push_back(source.str());
    return kSuccess;
  }
  Hvd::Status MakeProject(const Text&) override { return kNotSupported; }
  Hvd::Status AfterSourcesChanged(std::int32_t) override { return kNotSupported; }
  Hvd::Status CloseProject() override { return kNotSupported; }
  Hvd::Status AfterMakeProject() override { return kNotSupported; }
  Hvd::Status GetProject(CitI::IInterface** project) override { return *project = nullptr, kNotSupported; }
  Hvd::Status AddProjectSource(const Text&, std::int32_t) override { return kNotSupported; }
  Hvd::Status SetSourceViewAssociation(CitI::IInterface*, std::int32_t) override { return kNotSupported; }
  Hvd::IProjectHelper* AsHelper() { return this; }
  std::vector<std::string> handed;
  Prjrep::TRefCountHelper<SourceTaker> count{this};
};
// A new taker and its creating reference.
struct Taker {
  SourceTaker* operator->() const { return taker; }
  SourceTaker* taker = new SourceTaker;
  AutoRelease<Hvd::IProjectHelper> hold{taker->AsHelper()};
};

class CompositionTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    m_parent = Open("proj/p.xhlc");
    m_child = Open("proj/core/core.xhlc");
    m_a = Add(m_child, "proj/core/a.vhd");
    m_b = Add(m_child, "proj/core/b.vhd");
  }
  // The source-view association that the project's Cvf project knows for its file of `path`.
  static std::int32_t AssociationOf(Hvd::IProject* project, const std::string& path) {
    AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project, true);
    AutoRelease<Hvd::IHdlFile> file = Find(project, path);
    std::int32_t value = -1;
    EXPECT_EQ(AutoCast<Hvd::ISourceViewAssoc>(helper.Get())->GetSourceViewAssociation(file.Get(), &value), kSuccess);
    return value;
  }
  // Full paths of the units of the parent's view of that hint.
  std::vector<std::string> ViewFiles(const char* hint) {
    AutoRelease<Hvd::IHdlDesignUnitIterator> units;
    std::vector<std::string> names;
    if (AutoCast<Hvd::IHdlDesignUnitSet> set(View(hint).Get()); set) std::ignore = set->GetIterator(units.Receive());
    for (; units && !units->IsDone(); std::ignore = units->Next()) names.push_back(Hvd::GetObjectFullPath(units->Current()).str());
    return names;
  }
  AutoRelease<Hvd::IView> View(const char* hint) {
    Hvd::IDesign* design = nullptr;
    AutoRelease<Hvd::IViewIterator> at;
    if (m_parent->GetDesign(&design) != kSuccess ||
        AutoCast<Hvd::IViewManager>(design)->FindViewByHint(hint, at.Receive()) != kSuccess || !at || at->IsDone())
      return nullptr;
    return AutoRelease<Hvd::IView>(Prjrep::AutoReturn<Hvd::IView>(at->Current()).Get());
  }
  Hvd::IProject* m_parent = nullptr;
  Hvd::IProject* m_child = nullptr;
  AutoRelease<Hvd::IHdlFile> m_a, m_b;
};

TEST_F(CompositionTest, AFileComesInOnceWithTheChildAsItsOnlyOriginator) {
  FileComposer composer(m_parent, m_child);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  ASSERT_TRUE(added);
  EXPECT_EQ(OriginatorCount(added.Get()), 1);
  EXPECT_TRUE(HasOriginatorMatching(m_child, added.Get()));
  EXPECT_FALSE(HasOriginatorMatching(m_parent, added.Get()));
  AutoRelease<Hvd::IHdlFile> again = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  EXPECT_EQ(Identity(again.Get()), Identity(added.Get()));
  EXPECT_EQ(FileNames(m_parent).size(), 1u);
  EXPECT_EQ(OriginatorCount(added.Get()), 1);
  // Missing on disk: nothing comes in.
  EXPECT_FALSE(composer.AddComposedFileByPath(PathOf("proj/core/none.vhd").c_str()));
  // Originator bookkeeping.
  EXPECT_EQ(Hvd::RemoveOriginator(added.Get(), m_parent), kFailure);
  EXPECT_EQ(OriginatorCount(added.Get()), 1);
  EXPECT_EQ(OriginatorCount(nullptr), -1);
  EXPECT_EQ(Hvd::CollectFileOriginators(added.Get(), m_child), kSuccess);
  EXPECT_EQ(OriginatorCount(added.Get()), 0);
  EXPECT_TRUE(HasOriginatorMatching(m_child, m_child));  // keeps no originators at all
}

TEST_F(CompositionTest, LibraryMembershipIsCarriedOnlyForFilesThatCameIn) {
  AutoRelease<Hvd::ISourceLibrary> corelib;
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryManager>(m_child)->CreateSourceLibrary("corelib", corelib.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(m_a.Get())->SetLibrary(corelib.Get()), kSuccess);
  ASSERT_EQ(Hvd::GetFileLibraryName(m_a.Get()).str(), "corelib");
  FileComposer composer(m_parent, m_child);
  // A file that did not come in gets no library, and none is made for it.
  composer.CopySourceLibraryMembership(m_a.Get(), nullptr);
  EXPECT_FALSE(HasLibrary(m_parent, "corelib"));
  EXPECT_EQ(Hvd::PropagateLibraryToOriginators(m_a.Get()), kSuccess);
  EXPECT_FALSE(HasLibrary(m_parent, "corelib"));

  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  composer.CopySourceLibraryMembership(m_a.Get(), added.Get());
  EXPECT_EQ(LibraryOf(added.Get()), "corelib");
  // A file in no library joins none.
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(m_b.Get())->SetLibrary(nullptr), kSuccess);
  AutoRelease<Hvd::IHdlFile> plain = composer.AddComposedFileByPath(PathOf("proj/core/b.vhd").c_str());
  const std::string before = LibraryOf(plain.Get());
  composer.CopySourceFileLibrary(m_b.Get());
  EXPECT_EQ(LibraryOf(plain.Get()), before);
}

// A library chosen in the parent for a file that came from the child is carried to the
// child's own file; a file of the parent's own carries nothing.
TEST_F(CompositionTest, ALibraryChosenForAComposedFileReachesTheChildsFile) {
  FileComposer composer(m_parent, m_child);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  ASSERT_TRUE(added);
  AutoRelease<Hvd::IHdlFile> own = Add(m_parent, "proj/own.vhd");
  AutoRelease<Hvd::ISourceLibrary> corelib, ownlib;
  AutoCast<Hvd::ISourceLibraryManager> libraries(m_parent);
  ASSERT_EQ(libraries->CreateSourceLibrary("corelib", corelib.Receive()), kSuccess);
  ASSERT_EQ(libraries->CreateSourceLibrary("ownlib", ownlib.Receive()), kSuccess);
  const std::string before = LibraryOf(m_a.Get());

  EXPECT_EQ(AutoCast<Hvd::ISourceLibraryMember>(added.Get())->SetLibrary(corelib.Get()), kSuccess);
  EXPECT_EQ(LibraryOf(m_a.Get()), "corelib");
  EXPECT_EQ(LibraryOf(m_b.Get()), before);
  EXPECT_EQ(AutoCast<Hvd::ISourceLibraryMember>(own.Get())->SetLibrary(ownlib.Get()), kSuccess);
  EXPECT_FALSE(HasLibrary(m_child, "ownlib"));
}

// A project sharing the parent's repository name (same base name, same working directory) is
// the file's own project under another path: a library chosen for a file it supplied is not
// carried to it.
TEST_F(CompositionTest, ALibraryIsNotCarriedToAnOriginatorOfTheSameNameAsTheFilesProject) {
  Hvd::IProject* twin = Open("proj/twin/p.xhlc");
  AutoRelease<Hvd::IHdlFile> own = Add(twin, "proj/twin/t.vhd");
  ASSERT_EQ(AutoCast<Hvd::IProject3>(twin)->ChangeWorkingDirectory(PathOf("proj").c_str(), false, false), kSuccess);
  Text parentName, twinName;
  ASSERT_TRUE(m_parent->GetRepositoryPath(&parentName) == kSuccess && twin->GetRepositoryPath(&twinName) == kSuccess);
  ASSERT_EQ(twinName, parentName);
  FileComposer composer(m_parent, twin);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/twin/t.vhd").c_str());
  ASSERT_TRUE(added);
  ASSERT_TRUE(HasOriginatorMatching(twin, added.Get()));
  const std::string before = LibraryOf(own.Get());
  AutoRelease<Hvd::ISourceLibrary> corelib;
  AutoCast<Hvd::ISourceLibraryManager> libraries(m_parent);
  ASSERT_EQ(libraries->CreateSourceLibrary("corelib", corelib.Receive()), kSuccess);

  EXPECT_EQ(AutoCast<Hvd::ISourceLibraryMember>(added.Get())->SetLibrary(corelib.Get()), kSuccess);
  EXPECT_EQ(LibraryOf(added.Get()), "corelib");
  EXPECT_EQ(LibraryOf(own.Get()), before);
  EXPECT_FALSE(HasLibrary(twin, "corelib"));
}

// The child's association of its own unit comes over; the parent's unit is not the child's.
TEST_F(CompositionTest, ViewAssociationsComeFromTheChildsOwnFile) {
  AutoRelease<Hvd::IProjectHelper> childHelper = Hvd::GetCvfProject(m_child, true);
  ASSERT_EQ(AutoCast<Hvd::IProjSrcHelper>(childHelper.Get())->SetSourceViewAssociation(m_a.Get(), 3), kSuccess);
  FileComposer composer(m_parent, m_child);
  AutoRelease<Hvd::IHdlFile> added =
      composer.AddComposedFileWithDesignUnitAssociation(PathOf("proj/core/a.vhd").c_str());
  ASSERT_TRUE(added);
  EXPECT_TRUE(HasOriginatorMatching(m_child, added.Get()) && !HasOriginatorMatching(m_parent, added.Get()));
  EXPECT_EQ(AssociationOf(m_parent, PathOf("proj/core/a.vhd")), 3);
  EXPECT_EQ(AssociationOf(m_child, PathOf("proj/core/a.vhd")), 3);

  FileComposer synthesis(m_parent, m_child, 4);
  AutoRelease<Hvd::IHdlFile> kind = synthesis.AddComposedFileWithViewAssociation(PathOf("proj/core/b.vhd").c_str());
  ASSERT_TRUE(kind);
  EXPECT_EQ(AssociationOf(m_parent, PathOf("proj/core/b.vhd")), 4);
  EXPECT_EQ(AssociationOf(m_child, PathOf("proj/core/b.vhd")), 0);

  synthesis.SetFileViewClassForKind(7, PathOf("proj/core/b.vhd").c_str());
  AutoCast<Hvd::IViewClassAssociation> classes(kind.Get());
  EXPECT_TRUE(classes->TestBit(3));
  synthesis.AddFileToCompose(AutoCast<Hvd::IFile>(kind.Get()).Get());
  synthesis.AddFileToCompose(AutoCast<Hvd::IFile>(kind.Get()).Get());
  EXPECT_EQ(synthesis.FilesToCompose().size(), 1u);
  std::ignore = classes->ClearBit(0);
  synthesis.SetComposedFilesViewClass(4);
  EXPECT_TRUE(classes->TestBit(0));
}

// The child's files and list entries leave; the user's own, those of a second child and
// project files stay.
TEST_F(CompositionTest, DecomposeTakesOutWhatOnlyTheChildBroughtIn) {
  Hvd::IProject* second = Open("proj/second/second.xhlc");
  AutoRelease<Hvd::IHdlFile> own = Add(m_parent, "proj/own.vhd");
  FileComposer composer(m_parent, m_child);
  FileComposer other(m_parent, second);
  ASSERT_TRUE(composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str()));
  AutoRelease<Hvd::IHdlFile> shared = composer.AddComposedFileByPath(PathOf("proj/core/b.vhd").c_str());
  ASSERT_TRUE(other.AddComposedFileByPath(PathOf("proj/core/b.vhd").c_str()));
  Hvd::AddOriginator(own.Get(), m_child);  // the user's file also named by the child
  std::ignore = Hvd::SetPropertyValueByName(m_parent, "PROP_qlbVerilogMacros", "USER|CORE");
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_qlbVerilogMacros", "CORE");

  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(m_parent)->Decompose(m_child), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/own.vhd"), PathOf("proj/core/b.vhd")}));
  EXPECT_EQ(OriginatorCount(shared.Get()), 1);
  EXPECT_TRUE(HasOriginatorMatching(second, shared.Get()));
  EXPECT_TRUE(HasOriginatorMatching(m_parent, own.Get()) && !HasOriginatorMatching(m_child, own.Get()));
  EXPECT_EQ(Hvd::GetPropertyValueByName(m_parent, "PROP_qlbVerilogMacros").str(), "USER");
  EXPECT_EQ(Hvd::UpdateComposedFileOriginators(nullptr, m_child), kFailure);
}

// Saved, closed and opened again, the parent holds the child's files through the child alone:
// they leave with it, and the file the user added before the child stays.
TEST_F(CompositionTest, AReopenedParentLetsTheChildsFilesGoWithTheChild) {
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd"), core = PathOf("proj/core/core.xhlc");
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_StopImpView", "VIEW_AbstractSynthesis");
  for (Hvd::IHdlFile* file : {m_a.Get(), m_b.Get()}) {  // for implementation and simulation
    ASSERT_EQ(AutoCast<Hvd::IViewClassAssociation>(file)->SetBit(0), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::IViewClassAssociation>(file)->SetBit(1), kSuccess);
  }
  std::ignore = Add(m_parent, "proj/core/b.vhd");
  std::ignore = Add(m_parent, "proj/core/core.xhlc");
  ASSERT_EQ(FileNames(m_parent), (std::vector<std::string>{b, core, a}));
  ASSERT_EQ(m_parent->ProjectClose(true), kSuccess);

  Hvd::IProject* parent = Open("proj/p.xhlc");
  ASSERT_TRUE(Find(parent, a) && Find(parent, core));
  ASSERT_EQ(AutoCast<Hvd::IFileManager>(parent)->RemoveFileByPath(core.c_str()), kSuccess);
  EXPECT_EQ(FileNames(parent), std::vector<std::string>{b});
  EXPECT_TRUE(HasOriginatorMatching(parent, Find(parent, b).Get()));
}

// A generated core's files come into the parent imported, and the parent's generated-project
// file leaves them to the core: reopened, the parent takes from the core what the core holds
// then, a file the core dropped meanwhile does not come back as the parent's own, and what came
// leaves with the core.
TEST_F(CompositionTest, AReopenedParentTakesTheCoresImportedFilesFromTheCoreAlone) {
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd"), core = PathOf("proj/core/core.xhlc");
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_ProjectGeneratorType", "Moldrix");
  std::ignore = Add(m_parent, "proj/core/core.xhlc");
  for (const std::string& file : {a, b}) {
    std::uint32_t state = 0;
    ASSERT_TRUE(Find(m_parent, file)) << file;
    ASSERT_EQ(AutoCast<Hvd::IFile>(Find(m_parent, file).Get())->GetOriginState(&state), kSuccess);
    ASSERT_EQ(state, 2u) << file;
  }
  ASSERT_EQ(m_parent->ProjectClose(true), kSuccess);  // the core with it
  Hvd::IProject* alone = Open("proj/core/core.xhlc");
  ASSERT_EQ(AutoCast<Hvd::IFileManager>(alone)->RemoveFileByPath(b.c_str()), kSuccess);
  ASSERT_EQ(alone->ProjectClose(true), kSuccess);

  Hvd::IProject* parent = Open("proj/p.xhlc");
  EXPECT_FALSE(Find(parent, b));
  AutoRelease<Hvd::IHdlFile> kept = Find(parent, a);
  ASSERT_TRUE(kept);
  EXPECT_FALSE(HasOriginatorMatching(parent, kept.Get()));
  EXPECT_EQ(OriginatorCount(kept.Get()), 1);
  ASSERT_EQ(AutoCast<Hvd::IFileManager>(parent)->RemoveFileByPath(core.c_str()), kSuccess);
  EXPECT_TRUE(FileNames(parent).empty());
}

// A parent's clean-up spares its child's own files on disk, passes over a stale file that only
// the child may remove (it stays in both) to clean what follows, and cleans the child after.
TEST_F(CompositionTest, AParentsCleanUpSparesTheChildsFilesAndCleansTheChildAfter) {
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd"), core = PathOf("proj/core/core.xhlc");
  const std::string childGenerated = PathOf("proj/core/core.ghlc");
  const auto generated = [this](Hvd::IProject* project, const std::string& relative) {
    AutoRelease<Hvd::IHdlFile> file = Add(project, relative);
    AutoCast<Hvd::IFile> record(file.Get());
    ASSERT_TRUE(record && record->SetOriginState(1) == kSuccess && record->SetFileFlag(false) == kSuccess) << relative;
  };
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_ProjectGeneratorType", "Moldrix");
  generated(m_child, "proj/core/stale.vhd");
  std::ignore = Add(m_parent, "proj/core/core.xhlc");
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_child)->ForceSave(), kSuccess);
  ASSERT_TRUE(fs::exists(childGenerated));
  // The parent names the child's generated file as one of its own generated files, after the
  // child's sources; a composed source is gone from disk.
  generated(m_parent, "proj/core/core.ghlc");
  generated(m_parent, "proj/own.vhd");
  fs::remove(a);
  ASSERT_EQ(FileNames(m_parent), (std::vector<std::string>{core, a, b, childGenerated, PathOf("proj/own.vhd")}));

  EXPECT_EQ(m_parent->ProjectCleanUp(), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{core, a, b}));
  EXPECT_TRUE(fs::exists(childGenerated) && fs::exists(core) && fs::exists(b));
  EXPECT_FALSE(fs::exists(PathOf("proj/own.vhd")));
  EXPECT_EQ(FileNames(m_child), (std::vector<std::string>{a, b}));
  EXPECT_FALSE(fs::exists(PathOf("proj/core/stale.vhd")));
}

// A parent that cannot lose files keeps them, still as the child's.
TEST_F(CompositionTest, AReadOnlyParentKeepsTheFilesWithTheirProvenance) {
  FileComposer composer(m_parent, m_child);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  ASSERT_TRUE(added);
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(m_parent->GetDesign(&design), kSuccess);
  Hvd::CProject::FromInterface(m_parent)->EnterOpenState(PathOf("proj/p.xhlc").c_str(), design, true);
  EXPECT_EQ(Hvd::UpdateComposedFileOriginators(m_parent, m_child), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/a.vhd")}));
  EXPECT_EQ(OriginatorCount(added.Get()), 1);
  EXPECT_TRUE(HasOriginatorMatching(m_child, added.Get()));
  EXPECT_FALSE(HasOriginatorMatching(m_parent, added.Get()));
  // Once it may change again, the next decomposition takes the file out.
  Hvd::CProject::FromInterface(m_parent)->EnterOpenState(PathOf("proj/p.xhlc").c_str(), design, false);
  EXPECT_EQ(Hvd::UpdateComposedFileOriginators(m_parent, m_child), kSuccess);
  EXPECT_TRUE(FileNames(m_parent).empty());
}

TEST_F(CompositionTest, SourcesAreHandedBackToTheirOriginators) {
  FileComposer composer(m_parent, m_child);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  EXPECT_EQ(Hvd::ComposeChildProjectSource(added.Get()), kSuccess);
  std::ignore = Hvd::RemoveOriginator(added.Get(), m_child);
  EXPECT_EQ(Hvd::ComposeChildProjectSource(added.Get()), kFailure);  // no originators
  // An originator whose project does not hold the source says so.
  Hvd::AddOriginator(added.Get(), Open("proj/other/other.xhlc"));
  EXPECT_EQ(Hvd::ComposeChildProjectSource(added.Get()), kFailure);
}

// A composed file the parent lets go of is handed back to the projects it came from, not to
// the parent; one taken out with its child goes back to no one.
TEST_F(CompositionTest, ARemovedComposedFileIsHandedBackToItsOriginators) {
  Taker parentTaker, childTaker;
  AutoRelease<Prjrep::IProjectRepository> parentRepository = Hvd::FindAutonymByName(PathOf("proj/p.xhlc").c_str(), false);
  AutoRelease<Prjrep::IProjectRepository> childRepository =
      Hvd::FindAutonymByName(PathOf("proj/core/core.xhlc").c_str(), false);
  ASSERT_TRUE(parentRepository && childRepository);
  FileComposer composer(m_parent, m_child);
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd");
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(a.c_str());
  ASSERT_TRUE(added && composer.AddComposedFileByPath(b.c_str()));
  ASSERT_EQ(Hvd::RegisterNamedObject(parentRepository.Get(), "CvfProject", parentTaker.hold.Get(), true), kSuccess);
  ASSERT_EQ(Hvd::RegisterNamedObject(childRepository.Get(), "CvfProject", childTaker.hold.Get(), true), kSuccess);
  Hvd::AddOriginator(added.Get(), m_parent);  // the parent may remove only a file it is an originator of

  ASSERT_EQ(AutoCast<Hvd::IFileManager>(m_parent)->RemoveFileByPath(a.c_str()), kSuccess);
  EXPECT_EQ(childTaker->handed, std::vector<std::string>{a});
  EXPECT_TRUE(parentTaker->handed.empty());
  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(m_parent)->Decompose(m_child), kSuccess);
  EXPECT_TRUE(FileNames(m_parent).empty());
  EXPECT_EQ(childTaker->handed, std::vector<std::string>{a});
  EXPECT_TRUE(parentTaker->handed.empty());
  for (Prjrep::IProjectRepository* repository : {parentRepository.Get(), childRepository.Get()})
    std::ignore = AutoCast<Prjrep::ISimpleNamedLookup>(repository)->Unregister("CvfProject");
}

// The core's description joins the parent once (its synthesis view decides whether it takes
// it); composed files leave a view again.
TEST_F(CompositionTest, FilesJoinAndLeaveTheParentsViews) {
  WriteText(m_root / "proj/core/core.mdx", "description\n");
  FileComposer composer(m_parent, m_child);
  composer.AddCoreDescriptionFile();
  ASSERT_TRUE(Find(m_parent, PathOf("proj/core/core.mdx")));
  composer.AddCoreDescriptionFile();
  EXPECT_EQ(FileNames(m_parent).size(), 1u);
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(PathOf("proj/core/a.vhd").c_str());
  ASSERT_TRUE(View("SynthesisOnly"));
  FileComposer::AddFileToViewAsDesignUnit(View("SynthesisOnly").Get(), added.Get());
  const auto has = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  ASSERT_TRUE(has(ViewFiles("SynthesisOnly"), PathOf("proj/core/a.vhd")));
  composer.AddFileToCompose(AutoCast<Hvd::IFile>(m_a.Get()).Get());
  EXPECT_EQ(composer.RemoveComposedFilesFromView("SynthesisOnly"), kFailure);
  EXPECT_FALSE(has(ViewFiles("SynthesisOnly"), PathOf("proj/core/a.vhd")));
}

// A parent follows its child's synthesis and simulation views, and the child itself when asked.
TEST_F(CompositionTest, ChildViewEventsReachTheParent) {
  struct Counter {
    static Hvd::Status Hear(Counter* self, Prjrep::IEvent*) {
      ++self->heard;
      return kSuccess;
    }
    int heard = 0;
    Prjrep::TBaseEventReceiverHelper<Counter> receiver{this, &Hear};
  } counter;
  const Port::XUID id = Port::XUID::New();
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(m_child->GetDesign(&design), kSuccess);
  AutoRelease<Hvd::IViewIterator> synthesis, simulation;
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint("SynthesisOnly", synthesis.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint("BehavioralSim", simulation.Receive()), kSuccess);
  ASSERT_TRUE(!synthesis->IsDone() && !simulation->IsDone());
  const auto sendAll = [&] {
    for (CitI::IInterface* sender : {static_cast<CitI::IInterface*>(m_child),
                                     static_cast<CitI::IInterface*>(synthesis->Current()),
                                     static_cast<CitI::IInterface*>(simulation->Current())})
      std::ignore = Hvd::SendEvent(sender, id, nullptr);
  };
  EXPECT_EQ(Hvd::RegisterChildViewEvents(&counter.receiver, nullptr, true), kFailure);
  ASSERT_EQ(Hvd::RegisterChildViewEvents(&counter.receiver, m_child, false), kSuccess);
  sendAll();
  EXPECT_EQ(counter.heard, 2);  // the two views only
  ASSERT_EQ(Hvd::UnregisterChildViewEvents(&counter.receiver, m_child, false), kSuccess);
  ASSERT_EQ(Hvd::RegisterChildViewEvents(&counter.receiver, m_child, true), kSuccess);
  sendAll();
  EXPECT_EQ(counter.heard, 5);
  ASSERT_EQ(Hvd::UnregisterChildViewEvents(&counter.receiver, m_child, true), kSuccess);
  sendAll();
  EXPECT_EQ(counter.heard, 5);
}

TEST_F(CompositionTest, DeviceSettingsAndRoles) {
  Text message("before\n");
  EXPECT_FALSE(Hvd::CompareDeviceSettings(m_parent, m_child, message));
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_DevSpeed", "-9");
  EXPECT_FALSE(Hvd::CompareDeviceSettings(m_parent, m_child, message));  // the speed grade is not compared
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_DevFamily", "Orvanta");
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_DevPackage", "cs%s99");
  const std::string family = Hvd::GetPropertyValueByName(m_parent, "PROP_DevFamily").str();
  ASSERT_EQ(Hvd::GetPropertyValueByName(m_child, "PROP_DevFamily").str(), "Orvanta");
  EXPECT_TRUE(Hvd::CompareDeviceSettings(m_parent, m_child, message));
  EXPECT_EQ(message.str(), "before\nFamily mismatch \"Orvanta\" vs. \"" + family + "\"\n");

  EXPECT_FALSE(Hvd::IsReportDeviceMismatchOnce());
  Hvd::SetDeviceMismatchReported();
  Hvd::SetReportDeviceMismatchOnce(true);
  EXPECT_TRUE(Hvd::IsReportDeviceMismatchOnce() && !Hvd::IsDeviceMismatchReported());
  Hvd::SetReportDeviceMismatchOnce(false);

  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_HierarchicalProjectType", "Flavor");
  EXPECT_TRUE(Hvd::IsFlavorHierarchicalProject(m_child) && Hvd::IsHierarchicalProjectType(m_child, "flavor"));
  EXPECT_FALSE(Hvd::IsStaticHierarchicalProject(m_child) || Hvd::IsConfigurationHierarchicalProject(m_child));
  EXPECT_TRUE(Hvd::IsNonHierarchicalProject(m_parent));
  std::ignore = Hvd::SetPropertyValueByName(m_child, "PROP_StopImpView", "AbstractSynthesis");
  EXPECT_EQ(Hvd::GetStopImpView(m_child).str(), "AbstractSynthesis");
  EXPECT_EQ(Hvd::GetStartImpView(m_child).str(), "");
  EXPECT_EQ(Hvd::ChildProjectHook(m_child, m_parent), kSuccess);
  EXPECT_EQ(Hvd::ChildProjectRecordHook(m_parent, m_child), kSuccess);
}

}  // namespace
