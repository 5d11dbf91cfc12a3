// A child project composed into its parent: by its stop view, its generator and its views, with
// the device warning, the black box of a structural child, and the pruning and removal of
// what it brought in.

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

#include "ChildSupport.h"
#include "Hvd/IDesign.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IViewManager.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "childproject/FileComposer.h"
#include "project/project/CProject.h"
#include "childproject/Originators.h"
#include "utils/DmUtils.h"

namespace {

using namespace child_testing;

using CObjectSet =
    Hvd::TRefdSequenceSetHelper<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator, std::vector<CitI::IInterface*>>;

// A binding that leads back to a view upstream, which the engine itself never makes; it holds
// the view borrowed, so that it keeps nothing alive round the loop.
class BackBinding final : public Hvd::TComponent<BackBinding, Hvd::ITransformBindingInstance> {
 public:
  explicit BackBinding(Hvd::IView* target) : m_target(target) {}
  auto QueryTable() {
    return Table(Row<Hvd::ITransformBindingInstance>(this), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Hvd::Status GetDefinition(CitI::IInterface**) override { return Hvd::kFailure; }
  Hvd::Status GetTransformInstances(Hvd::ITransformInstanceIterator**) override { return Hvd::kFailure; }
  Hvd::Status GetTargets(Prjrep::IIterator** targets) override {
    ++m_followed;
    AutoRelease<Prjrep::ISet> set(new CObjectSet());
    std::ignore = set->Add(Hvd::RootOf(m_target));
    return set->GetIterator(targets);
  }
  Hvd::Status ReservedOperation5() override { return Hvd::kNotSupported; }
  Hvd::Status GetSecondSideObjects(Prjrep::ISet**) override { return Hvd::kFailure; }
  Hvd::Status GetFirstSideObjects(Prjrep::ISet**) override { return Hvd::kFailure; }
  int m_followed = 0;

 private:
  Prjrep::TRefCountHelper<BackBinding> m_refCount{this};
  Hvd::IView* m_target;
};
using Hvd::CChildProjectHelp, Hvd::FileComposer, Hvd::HasOriginatorMatching;

class ComposeFilesTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    m_parent = Open("proj/p.xhlc");
  }
  void TearDown() override {
    Hvd::SetReportDeviceMismatchOnce(false);
    ChildProjectTest::TearDown();
  }
  // Full paths of the units of the project's view of that name or hint, sorted.
  static std::vector<std::string> ViewFiles(Hvd::IProject* project, const char* name) {
    std::vector<std::string> names;
    Prjrep::AutoRelease<Hvd::IView> view = Hvd::FindViewByName(project, name);
    AutoRelease<Hvd::IHdlDesignUnitIterator> units;
    if (AutoCast<Hvd::IHdlDesignUnitSet> set(view.Get()); set) std::ignore = set->GetIterator(units.Receive());
    for (; units && !units->IsDone(); std::ignore = units->Next())
      names.push_back(Hvd::GetObjectFullPath(units->Current()).str());
    std::sort(names.begin(), names.end());
    return names;
  }
  static bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  // The developer diagnostics and warnings since the last clear, in order.
  static std::vector<std::string> Captured(Port_MsgManData::Severity severity) {
    std::vector<std::string> texts;
    for (const auto& record : Port_MsgManData::Captured())
      if (record.severity == severity) texts.push_back(record.text);
    return texts;
  }
  static std::vector<std::string> Diagnostics(const std::string& containing) {
    std::vector<std::string> texts;
    for (const std::string& text : Captured(Port_MsgManData::Severity::Debug))
      if (text.find(containing) != std::string::npos) texts.push_back(text);
    return texts;
  }
  static void Set(Hvd::IProject* project, const char* name, const char* value) {
    std::ignore = Hvd::SetPropertyValueByName(project, name, value);
  }
  std::string Get(Hvd::IProject* project, const char* name) { return Hvd::GetPropertyValueByName(project, name).str(); }
  // A source for implementation and simulation, as the suite adds one by default.
  AutoRelease<Hvd::IHdlFile> AddSource(Hvd::IProject* project, const std::string& relative,
                                       const std::string& text = "entity e is end;\n") {
    if (!fs::exists(m_root / relative)) WriteText(m_root / relative, text);
    AutoRelease<Hvd::IHdlFile> file = Add(project, relative);
    if (AutoCast<Hvd::IViewClassAssociation> classes(file.Get()); classes) {
      std::ignore = classes->SetBit(0);
      std::ignore = classes->SetBit(1);
    }
    return file;
  }
  // Adds the child's project file to the parent, as a user would.
  AutoRelease<Hvd::IHdlFile> AddChild(const std::string& relative) { return Add(m_parent, relative); }
  // Removes the parent's file of that path through its file list.
  void RemoveFromParent(const std::string& path) {
    AutoCast<Hvd::IFileManager> files(m_parent);
    AutoRelease<Hvd::IHdlFileIterator> at;
    ASSERT_EQ(files->GetProjectFiles(at.Receive()), kSuccess);
    for (; !at->IsDone(); std::ignore = at->Next()) {
      if (Hvd::GetObjectFullPath(at->Current()).str() == path) {
        ASSERT_EQ(files->ProjectRemoveFile(at.Get()), kSuccess);
        return;
      }
    }
    FAIL() << path;
  }
  static void AddToView(Hvd::IProject* project, const char* view, CitI::IInterface* file) {
    Prjrep::AutoRelease<Hvd::IView> found = Hvd::FindViewByName(project, view);
    ASSERT_TRUE(found) << view;
    ASSERT_EQ(AutoCast<Hvd::IHdlDesignUnitSet>(found.Get())->Add(AutoCast<Hvd::IHdlDesignUnit>(file).Get()), kSuccess);
  }
  static std::uint32_t OriginState(CitI::IInterface* file) {
    std::uint32_t state = 99;
    if (AutoCast<Hvd::IFile> record(file); record) std::ignore = record->GetOriginState(&state);
    return state;
  }

  Hvd::IProject* m_parent = nullptr;
};

// The stop view ends with "AbstractSynthesis": both passes run, the device warning is given
// once, what the child drops leaves the parent, its project file stays, and removing the
// child's project file from the parent takes the rest out. The child's constraints come in
// with the synthesis pass alone, for implementation only.
TEST_F(ComposeFilesTest, AnAbstractSynthesisChildComesInWarnsOnceAndLeavesAgain) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  std::ignore = AddSource(child, "proj/core/b.vhd");
  AutoRelease<Hvd::IHdlFile> ucf = AddSource(child, "proj/core/c.ucf");
  Set(child, "PROP_StopImpView", "VIEW_AbstractSynthesis");
  Set(child, "PROP_DevFamily", "Orvanta");
  const std::string family = Get(m_parent, "PROP_DevFamily");
  Hvd::SetReportDeviceMismatchOnce(true);
  Port_MsgManData::ClearCaptured();

  AutoRelease<Hvd::IHdlFile> childFile = AddChild("proj/core/core.xhlc");
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd");
  const std::string project = PathOf("proj/core/core.xhlc"), c = PathOf("proj/core/c.ucf");
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{project, a, b, c}));
  EXPECT_EQ(ViewFiles(m_parent, "SynthesisOnly"), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(ViewFiles(m_parent, "BehavioralSim"), (std::vector<std::string>{a, b}));
  AutoRelease<Hvd::IHdlFile> composed = Find(m_parent, a);
  EXPECT_TRUE(HasOriginatorMatching(child, composed.Get()) && !HasOriginatorMatching(m_parent, composed.Get()));

  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  const std::string warning = "The device settings for core 'core' do not match the HLC project settings.\n"
                              "Family mismatch \"Orvanta\" vs. \"" + family + "\"\n";
  EXPECT_EQ(Captured(Port_MsgManData::Severity::Warning), (std::vector<std::string>{warning}));

  // The child no longer holds b: it leaves the parent; the child's project file stays.
  ASSERT_EQ(AutoCast<Hvd::IFileManager>(child)->RemoveFileByPath(b.c_str()), kSuccess);
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{project, a, c}));
  EXPECT_EQ(Captured(Port_MsgManData::Severity::Warning).size(), 1u);

  RemoveFromParent(project);
  EXPECT_TRUE(FileNames(m_parent).empty());
  EXPECT_TRUE(ViewFiles(m_parent, "SynthesisOnly").empty());
}

// The parent follows its child: a file the child gains through one of its views comes in,
// and the parent's check and reconcile have the child look at its project file on disk.
TEST_F(ComposeFilesTest, TheParentFollowsItsChildsViewsAndChecksItsChildOnDisk) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  Set(child, "PROP_StopImpView", "VIEW_AbstractSynthesis");
  AutoRelease<Hvd::IHdlFile> childFile = AddChild("proj/core/core.xhlc");
  const std::string project = PathOf("proj/core/core.xhlc"), a = PathOf("proj/core/a.vhd");
  const std::string b = PathOf("proj/core/b.vhd");
  ASSERT_EQ(FileNames(m_parent), (std::vector<std::string>{project, a}));
  std::ignore = AddSource(child, "proj/core/b.vhd");
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{project, a, b})) << "told by the child's views";

  ASSERT_EQ(AutoCast<Hvd::IForceSave>(child)->ForceSave(), kSuccess);
  std::string text;
  {
    std::ifstream in(project, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const auto at = text.find("    <file vel_kv:name=\"b.vhd\"");
  const auto end = text.find("</file>\n", at);
  ASSERT_TRUE(at != std::string::npos && end != std::string::npos) << text;
  text.erase(at, end + 8 - at);
  const auto rewrite = [&](const std::string& content) {
    const auto before = fs::last_write_time(project);
    WriteText(project, content);
    fs::last_write_time(project, before + std::chrono::seconds(5));
  };
  rewrite(text);
  EXPECT_EQ(AutoCast<Hvd::IFileManager>(m_parent)->CheckFiles(), kSuccess);
  EXPECT_EQ(FileNames(child), (std::vector<std::string>{a})) << "the child read its file again";

  std::ignore = AddSource(child, "proj/core/b.vhd");
  ASSERT_EQ(FileNames(child).size(), 2u);
  rewrite(text + " ");
  EXPECT_EQ(m_parent->ReconcileProject(), kSuccess);
  EXPECT_EQ(FileNames(child), (std::vector<std::string>{a}));

  AutoRelease<Hvd::IProject> closed(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  EXPECT_EQ(closed->ReconcileProject(), Hvd::kProjectNotOpen);
}

// The pruning takes only what the child brought in and no longer holds.
TEST_F(ComposeFilesTest, PruningSparesTheChildsProjectFileItsTwinAndOtherOrigins) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  Hvd::IProject* second = Open("proj/second/second.xhlc");
  FileComposer composer(m_parent, child);
  AutoRelease<Hvd::IHdlFile> own = AddSource(m_parent, "proj/own.vhd");
  AutoRelease<Hvd::IHdlFile> gone = Add(m_parent, "proj/core/gone.vhd");
  AutoRelease<Hvd::IHdlFile> shared = Add(m_parent, "proj/core/shared.vhd");
  AutoRelease<Hvd::IHdlFile> held = Add(child, "proj/core/held.vhd");
  AutoRelease<Hvd::IHdlFile> heldHere = Add(m_parent, "proj/core/held.vhd");
  AutoRelease<Hvd::IHdlFile> twin = Add(m_parent, "proj/core/core.xhlc");
  for (CitI::IInterface* file : {gone.Get(), shared.Get(), heldHere.Get(), twin.Get()}) {
    std::ignore = Hvd::RemoveOriginator(file, m_parent);
    Hvd::AddOriginator(file, child);
  }
  Hvd::AddOriginator(shared.Get(), second);
  EXPECT_TRUE(composer.IsStaleChildFile(gone.Get()));
  EXPECT_FALSE(composer.IsStaleChildFile(own.Get()) || composer.IsStaleChildFile(twin.Get()) ||
               composer.IsStaleChildFile(heldHere.Get()) || composer.IsStaleChildFile(nullptr));
  EXPECT_TRUE(composer.IsStaleChildFile(shared.Get()));
  EXPECT_EQ(composer.RemoveStaleComposedFiles(), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/own.vhd"), PathOf("proj/core/shared.vhd"),
                                                           PathOf("proj/core/held.vhd"), PathOf("proj/core/core.xhlc")}));
  EXPECT_FALSE(HasOriginatorMatching(child, shared.Get()));
  EXPECT_EQ(FileComposer(nullptr, child).RemoveStaleComposedFiles(), kFailure);
}

// A parent that may not lose files keeps what the child no longer supplies, still recorded as
// the child's, so that the pruning takes it once the parent may change again. Were it left as
// the parent's own, no later pruning or decomposition would ever take it.
TEST_F(ComposeFilesTest, AStaleFileTheParentCannotLoseStaysTheChildsUntilItCan) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  const std::string a = PathOf("proj/core/a.vhd"), b = PathOf("proj/core/b.vhd");
  std::ignore = Add(child, "proj/core/a.vhd");
  std::ignore = Add(child, "proj/core/b.vhd");
  FileComposer composer(m_parent, child);
  AutoRelease<Hvd::IHdlFile> first = composer.AddComposedFileByPath(a.c_str());
  AutoRelease<Hvd::IHdlFile> second = composer.AddComposedFileByPath(b.c_str());
  ASSERT_TRUE(first && second);
  for (const std::string& path : {a, b})
    ASSERT_EQ(AutoCast<Hvd::IFileManager>(child)->RemoveFileByPath(path.c_str()), kSuccess);
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(m_parent->GetDesign(&design), kSuccess);
  Hvd::CProject::FromInterface(m_parent)->EnterOpenState(PathOf("proj/p.xhlc").c_str(), design, true);

  EXPECT_EQ(FileComposer(m_parent, child).RemoveStaleComposedFiles(), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{a, b}));
  for (Hvd::IHdlFile* file : {first.Get(), second.Get()}) {
    EXPECT_EQ(Hvd::OriginatorCount(file), 1);
    EXPECT_TRUE(HasOriginatorMatching(child, file));
    EXPECT_FALSE(HasOriginatorMatching(m_parent, file));
  }

  Hvd::CProject::FromInterface(m_parent)->EnterOpenState(PathOf("proj/p.xhlc").c_str(), design, false);
  EXPECT_EQ(FileComposer(m_parent, child).RemoveStaleComposedFiles(), kSuccess);
  EXPECT_TRUE(FileNames(m_parent).empty());
}

// A generated core whose generator project is not among the project's files leads to none; a
// project file of another core, or a source of the core's name, is not its generator project.
TEST_F(ComposeFilesTest, ACoreWithoutItsGeneratorProjectAmongTheFilesLeadsToNone) {
  AutoRelease<Hvd::IHdlFile> core;
  for (const char* name : {"proj/fifo.mdx", "proj/ram.mxhlc", "proj/fifo.vhd"}) {
    WriteText(m_root / name, "\n");
    AutoRelease<Hvd::IHdlFile> added = Add(m_parent, name);
    if (core.Get() == nullptr) core = std::move(added);
  }
  AutoRelease<Hvd::IFile> found;
  ASSERT_EQ(Hvd::GetMoldrixHlcFile(m_parent, AutoCast<Hvd::IFile>(core.Get()), found.Receive()), kSuccess);
  EXPECT_FALSE(found);
  WriteText(m_root / "proj/fifo.mxhlc", "\n");
  AutoRelease<Hvd::IHdlFile> generator = Add(m_parent, "proj/fifo.mxhlc");
  ASSERT_EQ(Hvd::GetMoldrixHlcFile(m_parent, AutoCast<Hvd::IFile>(core.Get()), found.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Identity(found.Get()), Identity(generator.Get()));
}

// Nothing is composed or reported unless both projects are there.
TEST_F(ComposeFilesTest, ANullProjectComposesNothingAndGivesNoWarning) {
  ASSERT_FALSE(Get(m_parent, "PROP_DevFamily").empty());
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, nullptr), kFailure);
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(nullptr, m_parent), kFailure);
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(nullptr, nullptr), kFailure);
  EXPECT_TRUE(Port_MsgManData::Captured().empty());
}

// A start view of that kind runs the behavioural pass alone: no constraints come in.
TEST_F(ComposeFilesTest, AnAbstractSynthesisStartViewRunsOnlyTheBehaviouralPass) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> ucf = AddSource(child, "proj/core/c.ucf");
  AddToView(child, "PreSynthesis", ucf.Get());
  Set(child, "PROP_StartImpView", "VIEW_AbstractSynthesis");
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/a.vhd")}));
  // Without a device difference there is nothing to warn about.
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning).empty());
}

// The hint table, the type filter and the view kinds.
TEST_F(ComposeFilesTest, ViewHintsSelectViewsAndTheTypeFilterSelectsFiles) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::vector<AutoPtr<Hvd::IView>> views;
  Hvd::ExpandViewKind(child, "behavioralonly", views);
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(Hvd::GetDefDataIdName(views[0].Get()).str(), "VIEW_AbstractSynthesis");
  views.clear();
  Hvd::ExpandViewKind(child, "NoSuchView", views);
  EXPECT_TRUE(views.empty());
  Hvd::ExpandViewKind(child, "BehavioralSim", views);
  EXPECT_EQ(views.size(), 1u);
  EXPECT_TRUE(Hvd::IsAbstractSynthesisView("VIEW_AbstractSynthesis") && Hvd::IsStructuralView("VIEW_Structural") &&
              Hvd::IsPreSynthesisView("VIEW_PreSynthesis"));
  EXPECT_FALSE(Hvd::IsAbstractSynthesisView("VIEW_AbstractSynthesis\n") || Hvd::IsStructuralView("Structural2"));
  EXPECT_TRUE(Hvd::SameViewKind("VIEW_Structural", "Structural"));
  EXPECT_FALSE(Hvd::SameViewKind("VIEW_Structural", "VIEW_PreSynthesis") || Hvd::SameViewKind("", ""));

  AutoRelease<Hvd::IHdlFile> a = AddSource(child, "proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> ucf = AddSource(child, "proj/core/c.ucf");
  AddToView(child, "PreSynthesis", ucf.Get());
  FileComposer composer(m_parent, child);
  EXPECT_EQ(composer.ComposeViewHintFiles(), kFailure);  // no source views yet
  ASSERT_TRUE(composer.ExpandSourceViews("SimulationOnly"));
  ASSERT_TRUE(composer.ExpandSourceViews("PreSynthesis"));
  composer.AddIncludedType("FILE_NGC");
  EXPECT_EQ(composer.ComposeViewHintFiles(), kSuccess);  // nothing qualified
  EXPECT_TRUE(FileNames(m_parent).empty());
  composer.AddIncludedType("FILE_VHDL");
  composer.AddIncludedType("FILE_UCF");
  composer.AddExcludedType("FILE_UCF");
  EXPECT_EQ(composer.ComposeViewHintFiles(), kSuccess);
  // a.vhd is in both the simulation and the pre-synthesis view: it comes in once.
  EXPECT_EQ(composer.FilesToCompose().size(), 1u);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/a.vhd")}));
  // The synthesis kind: constraints come in with the synthesis association.
  composer.ClearExcludedTypes();
  composer.Reset(4);
  EXPECT_EQ(composer.ComposeViewHintFiles(), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/a.vhd"), PathOf("proj/core/c.ucf")}));
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(m_parent, true);
  std::int32_t association = -1;
  ASSERT_EQ(AutoCast<Hvd::ISourceViewAssoc>(helper.Get())
                ->GetSourceViewAssociation(Find(m_parent, PathOf("proj/core/c.ucf")).Get(), &association),
            kSuccess);
  EXPECT_EQ(association, 4);
  composer.ClearSourceViews();
  EXPECT_EQ(composer.SourceViewCount(), 0u);
}

// A child without a synthesis view stops the composition after the behavioural pass, which
// brought in what it found, and says which hint found no view.
TEST_F(ComposeFilesTest, AChildWithoutASynthesisViewStopsAfterTheBehaviouralPass) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  Set(child, "PROP_StopImpView", "VIEW_AbstractSynthesis");
  Hvd::IDesign* design = nullptr;  // the child's
  ASSERT_EQ(child->GetDesign(&design), kSuccess);
  Prjrep::AutoRelease<Hvd::IView> synthesis = Hvd::FindViewByName(child, "SynthesisOnly");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->RemoveView(synthesis.Get()), kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kFailure);
  EXPECT_EQ(
      Diagnostics("../src/CChildProjectHelp"),
      std::vector<std::string>{
          "ERROR: ../src/CChildProjectHelp(1213) : \"Invalid SourceView for ViewHint SynthesisOnly\" in function:\n"
          "'__int64 __cdecl Hvd::CChildProjectHelp::ComposeFiles(class Hvd::IProject *,class Hvd::IProject *)'.\n"});
  EXPECT_EQ(FileNames(m_parent), std::vector<std::string>{PathOf("proj/core/a.vhd")});
}

// A child with neither abstract view stops before either pass: it says which hint found no
// view, and nothing of the child comes in, its synthesis constraints included.
TEST_F(ComposeFilesTest, AChildWithoutAnAbstractViewStopsBeforeTheBehaviouralPass) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> ucf = AddSource(child, "proj/core/c.ucf");
  AddToView(child, "PreSynthesis", ucf.Get());
  Set(child, "PROP_StopImpView", "VIEW_AbstractSynthesis");
  Hvd::IDesign* design = nullptr;  // the child's
  ASSERT_EQ(child->GetDesign(&design), kSuccess);
  // A hint also finds a view whose type holds it (the later simulations): each one goes.
  for (const char* hint : {"AbstractSynth", "AbstractSim"}) {
    int removed = 0;
    for (Prjrep::AutoRelease<Hvd::IView> view; (view = Hvd::FindViewByName(child, hint)) && removed < 20; ++removed)
      ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->RemoveView(view.Get()), kSuccess) << hint;
    ASSERT_TRUE(removed > 0 && !Hvd::FindViewByName(child, hint)) << hint;
  }
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kFailure);
  EXPECT_EQ(
      Diagnostics("../src/CChildProjectHelp"),
      std::vector<std::string>{
          "ERROR: ../src/CChildProjectHelp(1201) : \"Invalid SourceView for ViewHint BehavioralOnly\" in function:\n"
          "'__int64 __cdecl Hvd::CChildProjectHelp::ComposeFiles(class Hvd::IProject *,class Hvd::IProject *)'.\n"});
  EXPECT_TRUE(FileNames(m_parent).empty());
}

// Each view kind marks its own view class of a composed file: the simulation kinds 5 to 9 the
// classes 1 to 5, any other kind the implementation's.
TEST_F(ComposeFilesTest, EachViewKindMarksItsOwnViewClass) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  FileComposer composer(m_parent, child);
  const std::string path = PathOf("proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> added = composer.AddComposedFileByPath(path.c_str());
  AutoCast<Hvd::IViewClassAssociation> classes(added.Get());
  ASSERT_TRUE(classes);
  for (const auto& [kind, bit] : {std::pair{4, 0u}, {5, 1u}, {6, 2u}, {7, 3u}, {8, 4u}, {9, 5u}, {10, 0u}}) {
    for (std::uint32_t each = 0; each < 10; ++each) std::ignore = classes->ClearBit(each);
    composer.SetFileViewClassForKind(kind, path.c_str());
    for (std::uint32_t each = 0; each < 10; ++each)
      EXPECT_EQ(classes->TestBit(each), each == bit) << kind << " " << each;
  }
}

// The network variant: the file joins the views from the start view on, up to the stop view's
// kind, and a loop in the network ends the walk.
TEST_F(ComposeFilesTest, TheViewNetworkWalkStopsAtItsKindAndEndsOnALoop) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/a.vhd");
  const std::string a = PathOf("proj/core/a.vhd");
  FileComposer composer(m_parent, child);
  composer.SetStartStopViews("VIEW_PreSynthesis", "Structural");
  AutoRelease<Hvd::IHdlFile> added = composer.AddFileAlongViewNetwork(a.c_str());
  ASSERT_TRUE(added);
  EXPECT_TRUE(HasOriginatorMatching(child, added.Get()) && !HasOriginatorMatching(m_parent, added.Get()));
  EXPECT_EQ(ViewFiles(m_parent, "PreSynthesis"), (std::vector<std::string>{a}));
  EXPECT_EQ(ViewFiles(m_parent, "SynthesisOnly"), (std::vector<std::string>{a}));
  EXPECT_TRUE(ViewFiles(m_parent, "BehavioralSim").empty());  // not downstream of the start
  ASSERT_EQ(composer.ComposedPaths().size(), 1u);
  EXPECT_EQ(composer.ComposedPaths()[0].str(), a);
  EXPECT_FALSE(composer.IsStaleChildFile(added.Get()));  // added by the walk: kept

  // Structural leads back to pre-synthesis; with a stop view no view reaches, the walk must end.
  Prjrep::AutoRelease<Hvd::IView> preSynthesis = Hvd::FindViewByName(m_parent, "VIEW_PreSynthesis");
  Prjrep::AutoRelease<Hvd::IView> structural = Hvd::FindViewByName(m_parent, "VIEW_Structural");
  AutoRelease<Hvd::ITransformBindingInstanceSet> second;
  ASSERT_EQ(structural->GetSecondBindingSet(second.Receive()), kSuccess);
  BackBinding* back = new BackBinding(preSynthesis.Get());
  AutoRelease<Hvd::ITransformBindingInstance> held(back);
  ASSERT_EQ(second->Add(back), kSuccess);
  composer.WalkViewNetwork(preSynthesis.Get(), added.Get(), "NoSuchKind");
  EXPECT_EQ(back->m_followed, 1);
  composer.WalkViewNetwork(nullptr, added.Get(), "NoSuchKind");
  composer.WalkViewNetwork(preSynthesis.Get(), nullptr, "NoSuchKind");
  EXPECT_EQ(back->m_followed, 1);
  AutoRelease<Hvd::ITransformBindingInstanceIterator> at;
  ASSERT_EQ(second->GetIterator(at.Receive()), kSuccess);
  while (!at->IsDone() && at->Current() != back) std::ignore = at->Next();
  ASSERT_EQ(second->Remove(at.Get()), kSuccess);
  EXPECT_TRUE(FileComposer(m_parent, nullptr).AddFileAlongViewNetwork(a.c_str()));
  EXPECT_FALSE(FileComposer(nullptr, child).AddFileAlongViewNetwork(a.c_str()));
}

// A generated core stopping at "Structural" is composed as a pre-synthesis child: every file
// not generated comes in marked, the simulation files of the parent's language go to its
// pre-simulation view (a generated one too: only the first step passes those over), and the
// netlist goes to the parent's structural view.
TEST_F(ComposeFilesTest, AGeneratedCoreComesInAsAPreSynthesisChild) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  AutoRelease<Hvd::IHdlFile> a = AddSource(child, "proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> v = AddSource(child, "proj/core/v.v");
  AutoRelease<Hvd::IHdlFile> generated = AddSource(child, "proj/core/generated.vhd");
  AutoRelease<Hvd::IHdlFile> edif = AddSource(child, "proj/core/n.edf");
  AddToView(child, "PreSynthesis", edif.Get());
  Hvd::SetOriginState(generated.Get(), 1);
  Set(child, "PROP_ProjectGeneratorType", "Moldrix");
  Set(child, "PROP_StopImpView", "Structural");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);

  EXPECT_EQ(Get(child, "PROP_StopImpView"), "PreSynthesis");
  EXPECT_EQ(Get(child, "PROP_InsertIOBuffers"), "true");  // not a structural child
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/a.vhd"), PathOf("proj/core/v.v"),
                                                           PathOf("proj/core/n.edf"), PathOf("proj/core/generated.vhd")}));
  for (const std::string& name : FileNames(m_parent)) EXPECT_EQ(OriginState(Find(m_parent, name).Get()), 2u) << name;
  // The parent prefers VHDL: the Verilog file is in the project but in none of these views.
  EXPECT_EQ(ViewFiles(m_parent, "PreSimulation"),
            (std::vector<std::string>{PathOf("proj/core/a.vhd"), PathOf("proj/core/generated.vhd")}));
  EXPECT_EQ(ViewFiles(m_parent, "PreSynthesis"), (std::vector<std::string>{PathOf("proj/core/a.vhd")}));
  EXPECT_EQ(ViewFiles(m_parent, "Structural"), (std::vector<std::string>{PathOf("proj/core/n.edf")}));
  EXPECT_TRUE(Diagnostics("../src/CChildProjectHelp").empty());
}

// The language filter, origin state 1 and the netlists of the pre-synthesis composer; the
// DSP-tool composer takes everything of the simulation view.
TEST_F(ComposeFilesTest, PreSynthesisAndDspComposersFilterAsTheirKindsRequire) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  AutoRelease<Hvd::IHdlFile> a = AddSource(child, "proj/core/a.vhd");
  AutoRelease<Hvd::IHdlFile> v = AddSource(child, "proj/core/v.v");
  AutoRelease<Hvd::IHdlFile> generated = AddSource(child, "proj/core/g.v");
  AutoRelease<Hvd::IHdlFile> edif = AddSource(child, "proj/core/n.edf");
  AddToView(child, "PreSynthesis", edif.Get());
  Hvd::SetOriginState(generated.Get(), 1);
  Set(m_parent, "PROP_PreferredLanguage", "Verilog");
  ASSERT_EQ(Get(m_parent, "PROP_PreferredLanguage"), "Verilog");
  FileComposer composer(m_parent, child);
  EXPECT_EQ(composer.ComposePreSynthFiles(), kSuccess);
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/v.v"), PathOf("proj/core/n.edf")}));
  EXPECT_EQ(ViewFiles(m_parent, "PreSynthesis"), (std::vector<std::string>{PathOf("proj/core/v.v")}));
  EXPECT_EQ(ViewFiles(m_parent, "Structural"), (std::vector<std::string>{PathOf("proj/core/n.edf")}));

  Hvd::IProject* dsp = Open("proj/dsp/dsp.xhlc");
  Hvd::IProject* parent = Open("proj/second/p2.xhlc");
  AutoRelease<Hvd::IHdlFile> d1 = AddSource(dsp, "proj/dsp/d.vhd");
  AutoRelease<Hvd::IHdlFile> d2 = AddSource(dsp, "proj/dsp/d.v");
  Hvd::SetOriginState(d2.Get(), 1);
  Set(dsp, "PROP_ProjectGeneratorType", "TarvisDSP");
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(parent, dsp), kSuccess);
  const std::vector<std::string> both{PathOf("proj/dsp/d.v"), PathOf("proj/dsp/d.vhd")};
  EXPECT_EQ(ViewFiles(parent, "BehavioralSim"), both);
  EXPECT_EQ(OriginState(Find(parent, PathOf("proj/dsp/d.vhd")).Get()), 0u);
  EXPECT_TRUE(ViewFiles(parent, "PreSynthesis").empty());
}

// The composers check their views in their own orders and say which one is missing.
TEST_F(ComposeFilesTest, MissingViewsAreReportedInEachComposersOrder) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  const auto reason = [](const std::string& text) {
    const std::size_t open = text.find('"');
    return text.substr(open + 1, text.find('"', open + 1) - open - 1);
  };
  const auto run = [&](Hvd::Status (FileComposer::*composer)(), Hvd::IProject* to, Hvd::IProject* from) {
    Port_MsgManData::ClearCaptured();
    FileComposer record(to, from);
    EXPECT_EQ((record.*composer)(), kFailure);
    const std::vector<std::string> texts = Diagnostics("../src/CChildProjectHelp");
    return texts.size() == 1 ? reason(texts[0]) : std::string("?");
  };
  EXPECT_EQ(run(&FileComposer::ComposePreSynthFiles, nullptr, nullptr),
            "Could not get the PreSynthesis view from the dest project.");
  EXPECT_EQ(run(&FileComposer::ComposePreSynthFiles, m_parent, nullptr),
            "Could not get the PreSynthesis view from the source project.");
  EXPECT_EQ(run(&FileComposer::ComposeStructuralFiles, nullptr, nullptr),
            "Could not get the PreSynthesis view from the source project.");
  EXPECT_EQ(run(&FileComposer::ComposeStructuralFiles, nullptr, child),
            "Could not get the PreSynthesis view from the dest project.");
  EXPECT_EQ(run(&FileComposer::ComposeSimFilesForTarvis, nullptr, child),
            "Could not get the Behavioral Simulation view from the dest project.");
  EXPECT_EQ(run(&FileComposer::ComposeSimFilesForTarvis, m_parent, nullptr),
            "Could not get the Behavioral Simulation view from the source project.");
  EXPECT_EQ(run(&FileComposer::ComposeSimFilesForMoldrix, m_parent, nullptr),
            "Could not get the file iterator from the source project.");
  EXPECT_EQ(run(&FileComposer::ComposeSimFilesForMoldrix, nullptr, child),
            "Could not get the PreSimulation view from the dest project.");
}

// Past each composer's first check: a core without a behavioural-simulation view, and a parent
// without a structural view, are reported with their own lines; what the Moldrix composer took
// in before its check stays.
TEST_F(ComposeFilesTest, ViewsMissingPastTheFirstCheckAreReportedByTheirOwnLines) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  AutoRelease<Hvd::IHdlFile> source = AddSource(child, "proj/core/a.vhd");
  const auto remove = [](Hvd::IProject* project, const char* name) {
    Hvd::IDesign* design = nullptr;
    ASSERT_EQ(project->GetDesign(&design), kSuccess);
    Prjrep::AutoRelease<Hvd::IView> view = Hvd::FindViewByName(project, name);
    ASSERT_TRUE(view) << name;
    ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->RemoveView(view.Get()), kSuccess);
  };
  const auto run = [&](Hvd::Status (FileComposer::*composer)()) {
    Port_MsgManData::ClearCaptured();
    FileComposer record(m_parent, child);
    EXPECT_EQ((record.*composer)(), kFailure);
    return Diagnostics("../src/CChildProjectHelp");
  };
  remove(child, "BehavioralSim");
  EXPECT_EQ(run(&FileComposer::ComposeSimFilesForMoldrix),
            std::vector<std::string>{"ERROR: ../src/CChildProjectHelp(2252) : \"Could not get the Behavioral "
                                     "Simulation view from the source project.\" in function:\n'__int64 __cdecl "
                                     "Hvd::FileComposer::ComposeSimFilesForMoldrix(void)'.\n"});
  EXPECT_EQ(FileNames(m_parent), std::vector<std::string>{PathOf("proj/core/a.vhd")});
  EXPECT_EQ(OriginState(Find(m_parent, PathOf("proj/core/a.vhd")).Get()), 2u);

  remove(m_parent, "Structural");
  EXPECT_EQ(run(&FileComposer::ComposePreSynthFiles),
            std::vector<std::string>{"ERROR: ../src/CChildProjectHelp(2282) : \"Could not get the Structural view "
                                     "from the dest project.\" in function:\n'__int64 __cdecl "
                                     "Hvd::FileComposer::ComposePreSynthFiles(void)'.\n"});
  EXPECT_EQ(run(&FileComposer::ComposeStructuralFiles),
            std::vector<std::string>{"ERROR: ../src/CChildProjectHelp(2328) : \"Could not get the Structural view "
                                     "from the dest project.\" in function:\n'__int64 __cdecl "
                                     "Hvd::FileComposer::ComposeStructuralFiles(void)'.\n"});
}

// A structural child: constraints and netlists of its pre-synthesis view, a black box of its
// top made beside it (whatever its folder is called) and added by its absolute path, and the
// IO-buffer settings on the child alone. The black box declares the top's generics and ports, with
// the clauses their types need, so that it stands in for the child in the parent's synthesis.
TEST_F(ComposeFilesTest, AStructuralChildBringsItsNetlistAndABlackBoxOfItsTop) {
  const std::string folder = "proj/c[pwd] $x \"q\"";
  Hvd::IProject* child = Open(folder + "/core.xhlc");
  AutoRelease<Hvd::IHdlFile> top = AddSource(child, folder + "/top.vhd",
                                             "library ieee;\nuse ieee.std_logic_1164.all;\n"
                                             "entity core_top is\n  generic (W : positive := 8);  -- bus width\n"
                                             "  port (clk, rst : in std_logic; d : in std_logic_vector(W - 1 downto 0);\n"
                                             "        q : out std_logic_vector(W - 1 downto 0));\nend;\n"
                                             "architecture a of core_top is begin end;\n");
  AutoRelease<Hvd::IHdlFile> ucf = AddSource(child, folder + "/c.ucf");
  AutoRelease<Hvd::IHdlFile> ngc = AddSource(child, folder + "/n.ngc");
  AddToView(child, "PreSynthesis", ucf.Get());
  AddToView(child, "PreSynthesis", ngc.Get());
  Set(child, "PROP_StopImpView", "VIEW_Structural");
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);

  const std::string blackBox = PathOf(folder + "/core_top_blackbox.vhd");
  ASSERT_TRUE(fs::exists(blackBox));
  std::ifstream in(blackBox);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "-- Black box of core_top, generated for the parent of core.xhlc.\n"
            "library ieee;\nuse ieee.std_logic_1164.all;\n\n"
            "entity core_top is\n"
            "  generic (\n    W : positive := 8\n  );\n"
            "  port (\n    clk : in std_logic;\n    rst : in std_logic;\n    d : in std_logic_vector(W - 1 downto 0);\n"
            "    q : out std_logic_vector(W - 1 downto 0)\n  );\n"
            "end entity core_top;\n");
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf(folder + "/c.ucf"), PathOf(folder + "/n.ngc"), blackBox}));
  EXPECT_EQ(ViewFiles(m_parent, "PreSynthesis"), (std::vector<std::string>{PathOf(folder + "/c.ucf"), blackBox}));
  EXPECT_EQ(ViewFiles(m_parent, "Structural"), (std::vector<std::string>{PathOf(folder + "/n.ngc")}));
  EXPECT_EQ(OriginState(Find(m_parent, PathOf(folder + "/c.ucf")).Get()), 2u);
  EXPECT_EQ(OriginState(Find(m_parent, PathOf(folder + "/n.ngc")).Get()), 0u);
  EXPECT_EQ(OriginState(Find(m_parent, blackBox).Get()), 2u);
  EXPECT_EQ(Get(child, "PROP_InsertIOBuffers"), "false");
  EXPECT_EQ(Get(child, "PROP_SynthDisableIOInsertion"), "true");
  EXPECT_EQ(Get(m_parent, "PROP_InsertIOBuffers"), "true");
  EXPECT_EQ(Get(m_parent, "PROP_SynthDisableIOInsertion"), "false");
}

// What the procedure answers is taken against the child's folder only: a relative name that
// exists in the working directory alone adds nothing, and a missing file adds nothing.
TEST_F(ComposeFilesTest, TheBlackBoxPathIsTakenAgainstTheChildsFolder) {
  Hvd::IProject* child = Open("proj/core/core.xhlc");
  std::ignore = AddSource(child, "proj/core/top.v",
                          "module core_top (clk, d, q);\n  parameter W = 4;\n  input clk;\n  input [W-1:0] d;\n"
                          "  output q;\n  reg [W-1:0] q;\nendmodule\n");
  Set(child, "PROP_StopImpView", "Structural");
  AutoRelease<Hvd::ITclInterp> tcl(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  ASSERT_TRUE(tcl);
  Text result;
  ASSERT_EQ(tcl->ExecuteCmd("rename ::velmor::Hvd::hvd_generateBlackBox ::velmor::Hvd::savedBlackBox\n"
                            "proc ::velmor::Hvd::hvd_generateBlackBox {path unit} {\n"
                            "  set ::blackBoxAsked $path\n  return $::blackBoxAnswer\n}",
                            result, 0),
            kSuccess);
  const fs::path before = fs::current_path();
  fs::create_directories(m_root / "elsewhere");
  fs::current_path(m_root / "elsewhere");
  WriteText(m_root / "elsewhere/only_here.vhd", "entity e is end;\n");
  const auto answer = [&](const std::string& path) {
    Text ignored;
    std::ignore = tcl->ExecuteCmd(("set ::blackBoxAnswer {" + path + "}").c_str(), ignored, 0);
    EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  };
  answer("only_here.vhd");
  answer(PathOf("proj/core/missing.vhd"));
  EXPECT_TRUE(FileNames(m_parent).empty());
  Text asked;
  ASSERT_EQ(tcl->ExecuteCmd("set ::blackBoxAsked", asked, 0), kSuccess);
  EXPECT_EQ(asked.str(), PathOf("proj/core/core.xhlc"));
  WriteText(m_root / "proj/core/bb/box.v", "module core_top();\nendmodule\n");
  answer("bb/../bb/box.v");
  EXPECT_EQ(FileNames(m_parent), (std::vector<std::string>{PathOf("proj/core/bb/box.v")}));
  fs::current_path(before);
  EXPECT_EQ(tcl->ExecuteCmd("rename ::velmor::Hvd::hvd_generateBlackBox {}\n"
                            "rename ::velmor::Hvd::savedBlackBox ::velmor::Hvd::hvd_generateBlackBox",
                            result, 0),
            kSuccess);
  // The suite's procedure: a Verilog top gets a module of its parameters and ports, declared as the
  // top declares them, beside the child.
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  EXPECT_EQ(FileNames(m_parent).back(), PathOf("proj/core/core_top_blackbox.v"));
  std::ifstream in(PathOf("proj/core/core_top_blackbox.v"));
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "// Black box of core_top, generated for the parent of core.xhlc.\n"
            "module core_top (clk, d, q);\n  parameter W = 4;\n  input clk;\n  input [W-1:0] d;\n"
            "  output reg [W-1:0] q;\nendmodule\n");
}

// A SystemVerilog top: its black box is SystemVerilog too, with the packages its types come from,
// packed dimensions, and an interface port without a direction.
TEST_F(ComposeFilesTest, ASystemVerilogTopGetsASystemVerilogBlackBox) {
  Hvd::IProject* child = Open("proj/sv/sv.xhlc");
  std::ignore = AddSource(child, "proj/sv/top.sv",
                          "import bus_pkg::*;\nmodule sv_top #(parameter int N = 2) (\n  input logic clk,\n"
                          "  input logic [N-1:0][7:0] d, // lanes\n  axi_if.slave bus,\n  output bus_pkg::resp_t r\n);\n"
                          "endmodule\n");
  Set(child, "PROP_StopImpView", "Structural");
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  const std::string blackBox = PathOf("proj/sv/sv_top_blackbox.sv");
  EXPECT_EQ(FileNames(m_parent), std::vector<std::string>{blackBox});
  std::ifstream in(blackBox);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            "// Black box of sv_top, generated for the parent of sv.xhlc.\nimport bus_pkg::*;\n"
            "module sv_top #(\n    parameter int N = 2\n) (\n    input logic clk,\n    input logic [N-1:0][7:0] d,\n"
            "    axi_if.slave bus,\n    output bus_pkg::resp_t r\n);\nendmodule\n");
}

// An escaped name may hold separators and dots: the box's file still lands beside the child.
TEST_F(ComposeFilesTest, AnEscapedTopNameKeepsTheBlackBoxBesideTheChild) {
  Hvd::IProject* child = Open("proj/esc/esc.xhlc");
  std::ignore = AddSource(child, "proj/esc/top.v", "module \\../../out*[x] (input a);\nendmodule\n");
  Set(child, "PROP_StopImpView", "Structural");
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  EXPECT_EQ(FileNames(m_parent), std::vector<std::string>{PathOf("proj/esc/______out__x__blackbox.v")});
  std::ifstream in(PathOf("proj/esc/______out__x__blackbox.v"));
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            "// Black box of ../../out*[x], generated for the parent of esc.xhlc.\n"
            "module \\../../out*[x]  (\n    input a\n);\nendmodule\n");
  // A second compose finds the box it wrote and writes it again.
  EXPECT_EQ(CChildProjectHelp::ComposeFiles(m_parent, child), kSuccess);
  EXPECT_EQ(FileNames(m_parent).size(), 1u);
}

}  // namespace
