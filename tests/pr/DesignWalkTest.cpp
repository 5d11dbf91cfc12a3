// The walk over an elaborated netlist that sorts a design's files by where they are used
// relative to a partition's instance path, on a netlist made of doubles; and the files it hands a
// flavor's project, on real projects whose parser finds what the files need and include.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Hvd/IConfiguration.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/StringSets.h"
#include "design/design/Placement.h"
#include "pr/PRSupport.h"
#include "pr/helper/DesignWalk.h"
#include "pr/helper/Names.h"
#include "support/FakeNetlist.h"
#include "utils/DmUtils.h"

namespace {

using Text = Port::StringBase<char>;
using Hvd::kNotSupported;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

// A source file named by its directory and name, placed at the given locators when it has any.
struct FileDouble final : Hvd::TComponent<FileDouble, Hvd::IHdlFile> {
  FileDouble(std::string directory, std::string name, std::vector<std::string> locators, bool hasLocators)
      : m_directory(std::move(directory)), m_name(std::move(name)), m_hasLocators(hasLocators) {
    std::ignore = m_locators.SetOwner(&m_refCount);
    for (const std::string& locator : locators) std::ignore = m_locators.Add(locator.c_str());
  }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IHdlFile>(this), Hvd::RowIf<Hvd::IDesignGraphLocatorSet>(m_hasLocators, &m_locators),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
    Hvd::Status CheckFileOnDisk() override { return kNotSupported; }
    Hvd::Status SetModified(bool) override { return kNotSupported; }
    Hvd::Status ReservedOperation4(CitI::IInterface**) override { return kNotSupported; }
    Hvd::Status SetPath(const Text&, const Text&) override { return kNotSupported; }
    Hvd::Status GetPath(Text* directory, Text* name) override {
      *directory = m_directory.c_str();
      *name = m_name.c_str();
      return Hvd::kSuccess;
    }
    Hvd::Status GetDesignUnits(Hvd::IHdlParserConfig*, Hvd::IHdlDesignUnitIterator**) override { return kNotSupported; }
    Hvd::Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface**) override {
      return kNotSupported;
    }
    Hvd::Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, Text*) override { return kNotSupported; }
    Hvd::Status SetParserName(const Text&) override { return kNotSupported; }
    Hvd::Status GetParserName(Text*) override { return kNotSupported; }
    Hvd::Status GetFileAddTarget(std::uint64_t*) override { return kNotSupported; }
    Hvd::Status GetSequenceId(std::uint64_t*) override { return kNotSupported; }
    Hvd::Status SetSequenceId(std::uint64_t) override { return kNotSupported; }
    Hvd::Status IsModified(bool*) override { return kNotSupported; }
  struct XLocators final : Prjrep::TStringSequenceSetHelper<Hvd::IDesignGraphLocatorSet, Prjrep::IStringIterator,
                                                           std::vector<Text>> {
    using TISet::Remove;
    Hvd::Status Remove(const Text&) override { return kNotSupported; }
    Hvd::Status Contains(const Text&, bool*) override { return kNotSupported; }
  };
  std::string m_directory, m_name;
  bool m_hasLocators;
  XLocators m_locators;
  Prjrep::TRefCountHelper<FileDouble> m_refCount{this};
};

// A design unit: a name and the file it is in.
struct UnitDouble final : Hvd::TComponent<UnitDouble, Prjrep::IName> {
  UnitDouble(std::string name, FileDouble* file) : m_name(std::move(name)), m_source(file) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IName>(this), Hvd::Row<Hvd::IHdlElement>(&m_element),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status SetName(const Text&) override { return kNotSupported; }
  Hvd::Status GetName(Text& name) override { return name = m_name.c_str(), Hvd::kSuccess; }
  Hvd::Status SetOwner(CitI::IInterface*) override { return kNotSupported; }
  struct XElement : Hvd::TNested<UnitDouble, Hvd::IHdlElement> {
    using TNested::TNested;
    Hvd::Status GetHdlFile(Hvd::IHdlFile** file) override {
      return Prjrep::AutoOut<Hvd::IHdlFile>(file).Assign(This().m_source.Get()), Hvd::kSuccess;
    }
    Hvd::Status GetSourceFile(Hvd::IHdlFile** file) override { return GetHdlFile(file); }
    Hvd::Status ReservedOperation4() override { return kNotSupported; }
    bool ReservedQuery5() override { return false; }
  };
  std::string m_name;
  AutoPtr<FileDouble> m_source;
  XElement m_element{this};
  Prjrep::TRefCountHelper<UnitDouble> m_refCount{this};
};

struct NodeDouble;

struct ChildIterator final : Hvd::TComponent<ChildIterator, Hvd::IHdlNetListNodeIterator> {
  explicit ChildIterator(std::vector<AutoPtr<NodeDouble>>* children) : m_children(children) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IHdlNetListNodeIterator>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  CitI::IInterface* CurrentItem() override;
  Hvd::Status First() override { return m_at = 0, Hvd::kSuccess; }
  Hvd::Status Next() override { return ++m_at, Hvd::kSuccess; }
  bool IsDone() override { return m_at >= m_children->size(); }
  std::vector<AutoPtr<NodeDouble>>* m_children;
  std::size_t m_at = 0;
  Prjrep::TRefCountHelper<ChildIterator> m_refCount{this};
};

// An instance: its name (empty for a top-level one), its unit and its children.
struct NodeDouble final : Hvd::TComponent<NodeDouble, Hvd::IHdlNetListNode> {
  NodeDouble(std::string instance, UnitDouble* unit) : m_instance(std::move(instance)), m_unit(unit) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IHdlNetListNode>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetChildren(Hvd::IHdlNetListNodeIterator** children) override {
    *children = new ChildIterator(&m_children);
    return Hvd::kSuccess;
  }
  Hvd::Status ReservedOperation3() override { return kNotSupported; }
  CitI::IInterface* GetDesignUnit() override {
    if (m_unit.Get() == nullptr) return nullptr;
    Prjrep::AddRefObject(static_cast<Prjrep::IName*>(m_unit.Get()));
    return static_cast<Prjrep::IName*>(m_unit.Get());
  }
  Hvd::Status ReservedOperation5() override { return kNotSupported; }
  Hvd::Status GetInstanceName(Text* name) override { return *name = m_instance.c_str(), Hvd::kSuccess; }
  NodeDouble* Add(const std::string& instance, UnitDouble* unit) {
    AutoRelease<NodeDouble> child(new NodeDouble(instance, unit));
    m_children.emplace_back(child.Get());
    return child.Get();
  }
  std::string m_instance;
  AutoPtr<UnitDouble> m_unit;
  std::vector<AutoPtr<NodeDouble>> m_children;
  Prjrep::TRefCountHelper<NodeDouble> m_refCount{this};
};

CitI::IInterface* ChildIterator::CurrentItem() { return IsDone() ? nullptr : (*m_children)[m_at].Get(); }

std::vector<std::string> Keys(const Hvd::prhelper::FileKeyList& list) {
  std::vector<std::string> keys;
  for (const Text& key : list.Keys()) keys.push_back(key.str());
  return keys;
}

std::vector<std::string> Warnings() {
  std::vector<std::string> texts;
  for (const auto& record : Port_MsgManData::Captured())
    if (record.severity == Port_MsgManData::Severity::Warning) texts.push_back(record.text);
  return texts;
}

struct DesignWalkTest : ::testing::Test {
  void SetUp() override { Port_MsgManData::ClearCaptured(); }
  FileDouble* File(const std::string& name, std::vector<std::string> locators = {}, bool hasLocators = false) {
    m_files.emplace_back(AutoRelease<FileDouble>(new FileDouble("/src/", name, std::move(locators), hasLocators)));
    return m_files.back().Get();
  }
  UnitDouble* Unit(const std::string& name, FileDouble* file) {
    m_units.emplace_back(AutoRelease<UnitDouble>(new UnitDouble(name, file)));
    return m_units.back().Get();
  }
  std::vector<AutoPtr<FileDouble>> m_files;
  std::vector<AutoPtr<UnitDouble>> m_units;
  AutoRelease<NodeDouble> m_root{new NodeDouble("", nullptr)};
};

TEST_F(DesignWalkTest, FilesAreSortedByWhereTheirInstancesStand) {
  // /top: top.v; /top/u1: part.v (the partition) with /top/u1/c: leaf.v and /top/u1/s: shared.v;
  // /top/u10: near.v; /top/u2: shared.v.
  NodeDouble* top = m_root->Add("", Unit("Module|top", File("top.v")));
  NodeDouble* u1 = top->Add("u1", Unit("Module|part", File("part.v")));
  u1->Add("c", Unit("Module|leaf", File("leaf.v")));
  FileDouble* shared = File("shared.v");
  u1->Add("s", Unit("Module|shared", shared));
  top->Add("u10", Unit("Module|near", File("near.v")));
  top->Add("u2", Unit("Module|shared", shared));

  Hvd::prhelper::FileKeyList below, result;
  EXPECT_EQ(Hvd::prhelper::CollectPartitionFiles(m_root.Get(), "/top/u1", below, result), Hvd::kSuccess);
  EXPECT_EQ(Keys(below), (std::vector<std::string>{"/src/part.v", "/src/leaf.v", "/src/shared.v"}));
  // Used outside too, and not the partition's own: stays with the static project.
  EXPECT_EQ(Keys(result), (std::vector<std::string>{"/src/part.v", "/src/leaf.v"}));
  EXPECT_TRUE(Warnings().empty());

  struct Case {
    const char* path;
    int expected;
  };
  Hvd::prhelper::FileKeyList unused1, unused2;
  const Hvd::prhelper::RecordAboveBelow classify("/top/u1", unused1, unused2);
  for (const Case& c : {Case{"/top/u1", 0}, Case{"/top/u1/c", 1}, Case{"/top/u1/c/d", 1}, Case{"/top/u10", 2},
                        Case{"/top", 2}, Case{"/top/u2", 2}, Case{"", 2}, Case{"/top/u1x/c", 2}})
    EXPECT_EQ(classify.Classify(c.path), c.expected) << c.path;
}

TEST_F(DesignWalkTest, APartitionFileAlsoUsedOutsideIsWarnedAboutAndStillHandedOver) {
  FileDouble* part = File("part.v");
  NodeDouble* top = m_root->Add("", Unit("Module|top", File("top.v")));
  top->Add("u1", Unit("Module|part", part));
  top->Add("u3", Unit("Module|part", part));
  Hvd::prhelper::FileKeyList below, result;
  std::ignore = Hvd::prhelper::CollectPartitionFiles(m_root.Get(), "/top/u1", below, result);
  EXPECT_EQ(Keys(result), std::vector<std::string>{"/src/part.v"});
  EXPECT_EQ(Warnings(), std::vector<std::string>{
                            "Conflict encountered creating a separate project at path /top/u1 with file /src/part.v\n"
                            "Holes in the design hierarchy may exist.  Inspect your design and consider breaking up "
                            "the file in separate modules and/or replicating modules.\n"});
}

TEST_F(DesignWalkTest, LocatorsPlaceAFileOnBothSidesAndPathsStartAtTheTopUnit) {
  // The include file is used inside the partition and outside it by its locators alone.
  FileDouble* header = File("defs.vh", {"/top/u1/x", "/top/u2"}, true);
  NodeDouble* top = m_root->Add("", Unit("Module|top", File("top.v")));
  NodeDouble* u1 = top->Add("u1", Unit("Module|part", File("part.v")));
  u1->Add("inc", Unit("Module|defs", header));
  // A nameless node below the top has no path; its named child starts again at "/".
  NodeDouble* nameless = top->Add("", Unit("Module|odd", File("odd.v")));
  nameless->Add("u1", Unit("Module|again", File("again.v")));
  Hvd::prhelper::FileKeyList below, result;
  std::ignore = Hvd::prhelper::CollectPartitionFiles(m_root.Get(), "/top/u1", below, result);
  EXPECT_EQ(Keys(below), (std::vector<std::string>{"/src/part.v", "/src/defs.vh"}));
  EXPECT_EQ(Keys(result), (std::vector<std::string>{"/src/part.v"}));

  EXPECT_EQ(Hvd::prhelper::BuildNodePath(top, "").str(), "/top");
  EXPECT_EQ(Hvd::prhelper::BuildNodePath(u1, "/top").str(), "/top/u1");
  EXPECT_EQ(Hvd::prhelper::BuildNodePath(nameless, "/top").str(), "");
  EXPECT_EQ(Hvd::prhelper::BuildNodePath(nullptr, "/top").str(), "");
}

// Answers only the full path of a context: the path it was given.
struct PathOnlySolution final : Hvd::TComponent<PathOnlySolution, Hvd::IPRSolutionHelper> {
  explicit PathOnlySolution(std::string path) : m_path(std::move(path)) {}
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IPRSolutionHelper>(this), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::Status RunTclCommand(const Text&, bool) override { return kNotSupported; }
  Hvd::Status GetConfigManager(CitI::IInterface*, bool, CitI::IInterface**) override { return kNotSupported; }
  Hvd::Status CreateConfigManager(CitI::IInterface*, CitI::IInterface**) override { return kNotSupported; }
  Hvd::Status FindRepositoryObject(const Text&, const Text&, CitI::IInterface**) override { return kNotSupported; }
  Hvd::Status CreateHvdProject(CitI::IInterface*, const Text&, CitI::IInterface**) override { return kNotSupported; }
  Hvd::Status GetContextFullPath(CitI::IInterface*, Text* path) override {
    *path = m_path.c_str();
    return m_path.empty() ? Hvd::kSuccess : Hvd::kFailure;
  }
  Hvd::Status GetContextProject(CitI::IInterface*, CitI::IInterface**) override { return kNotSupported; }
  std::string m_path;
};

// The synthesis view's type: named by its definition id.
struct SynthesisType final : Hvd::TComponent<SynthesisType, Hvd::IDefDataId> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IDefDataId>(this), Hvd::Row<Hvd::IViewType>(&m_type),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetDefDataIdName(Text* name) override { return *name = "VIEW_AbstractSynthesis", Hvd::kSuccess; }
  testing_support::TViewTypeDouble<SynthesisType> m_type{this};
  Prjrep::TRefCountHelper<SynthesisType> m_refCount{this};
};

// A view elaborated to a fake netlist that counts the references taken on it.
struct SynthesisView final : testing_support::FakeNetlistView {
  using FakeNetlistView::FakeNetlistView;
  Hvd::Status GetType(Hvd::IViewType** type) override {
    AutoRelease<SynthesisType> made(new SynthesisType);
    return Prjrep::AutoOut<Hvd::IViewType>(type).Assign(made.Get()), Hvd::kSuccess;
  }
};

struct OneViewIterator final : Hvd::TComponent<OneViewIterator, Hvd::IViewIterator> {
  explicit OneViewIterator(Hvd::IView* view) : m_view(view) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IViewIterator>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::IView* Current() override { return m_done ? nullptr : m_view; }
  Hvd::Status Reset() override { return m_done = false, Hvd::kSuccess; }
  Hvd::Status Next() override { return m_done = true, Hvd::kSuccess; }
  bool IsDone() override { return m_done; }
  Hvd::IView* m_view;
  bool m_done = false;
  Prjrep::TRefCountHelper<OneViewIterator> m_refCount{this};
};

// A design with that one view.
struct OneViewDesign final : Hvd::TComponent<OneViewDesign, Hvd::IViewManager> {
  explicit OneViewDesign(Hvd::IView* view) : m_view(view) {}
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IViewManager>(this), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::Status GetViews(Hvd::IViewIterator** views) override { return *views = new OneViewIterator(m_view), Hvd::kSuccess; }
  Hvd::Status CreateView(const Text&, Hvd::IViewType*, Hvd::IView**) override { return kNotSupported; }
  Hvd::Status RemoveViewAt(Hvd::IViewIterator*) override { return kNotSupported; }
  Hvd::Status RemoveView(Hvd::IView*) override { return kNotSupported; }
  Hvd::Status FindViewByHint(const Text&, Hvd::IViewIterator**) override { return kNotSupported; }
  Hvd::Status FindView(Hvd::IView*, Hvd::IViewIterator**) override { return kNotSupported; }
  Hvd::IView* m_view;
};

TEST(ElaboratedTopTest, TheTopAndItsElaborationDataAreHeldForAsLongAsTheWalkHasThem) {
  testing_support::FakeNetNode root("", "");
  SynthesisView view(&root);
  OneViewDesign design(&view);
  {
    const Hvd::prhelper::ElaboratedTop top = Hvd::prhelper::GetElaboratedTop(&design);
    EXPECT_EQ(top.top.Get(), static_cast<Hvd::IHdlNetListNode*>(&root));
    EXPECT_TRUE(view.References() > 0 && root.References() > 0) << "the walk's nodes stay alive";
  }
  EXPECT_TRUE(view.References() == 0 && root.References() == 0) << "and are let go afterwards";
  const Hvd::prhelper::ElaboratedTop none = Hvd::prhelper::GetElaboratedTop(nullptr);
  EXPECT_TRUE(none.top.Get() == nullptr && none.data.Get() == nullptr);
}

// The walk on real projects, with the suite's parser, views and transform engine: the static
// project's design is elaborated from files in a folder of the test's own, and each flavor's
// project takes its sources through the helper that its repository names.
class FlavorFilesTest : public pr_testing::PRTest {
 protected:
  using Names = std::vector<std::string>;

  void SetUp() override {
    PRTest::SetUp();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE") &&
                CitP::Factory::LoadLibraryFactory("libHvd_Hdl") && CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
    m_dir = std::filesystem::temp_directory_path() / ("walk_" + std::to_string(getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    // The helpers hold their projects: they go first.
    for (const AutoPtr<Prjrep::IProjectRepository>& repository : m_repositories) {
      if (pr_testing::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names)
        std::ignore = names->Unregister("CvfProject");
    }
    m_repositories.clear();
    for (const AutoPtr<Hvd::IProject>& project : m_projects) std::ignore = project->ProjectClose(false);
    m_projects.clear();
    PRTest::TearDown();
    std::filesystem::remove_all(m_dir);
  }

  void Write(const std::string& name, const std::string& text) {
    // Later than the last stamp, however quickly writes follow each other.
    const std::filesystem::path path = m_dir / name;
    const bool rewritten = std::filesystem::exists(path);
    const auto earlier = rewritten ? std::filesystem::last_write_time(path) : std::filesystem::file_time_type();
    std::ofstream(path) << text;
    if (rewritten) std::filesystem::last_write_time(path, earlier + std::chrono::seconds(5));
  }
  Hvd::IProject* Open(const std::string& relative) {
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    std::filesystem::create_directories((m_dir / relative).parent_path());
    EXPECT_TRUE(project && project->Open((m_dir / relative).c_str()) == Hvd::kSuccess) << relative;
    m_projects.emplace_back(project.Get());
    return project.Get();
  }
  Hvd::IProject* FlavorProject(const std::string& name) {
    Hvd::IProject* project = Open(name + "/" + name + ".xhlc");
    AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project, true);
    AutoRelease<Prjrep::IProjectRepository> repository =
        Hvd::FindAutonymByName(Hvd::GetObjectFullPath(project).c_str(), true);
    EXPECT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), Hvd::kSuccess);
    m_repositories.emplace_back(repository.Get());
    return project;
  }
  // A source for implementation and simulation, as the shell adds one, in `library` when given.
  void Add(Hvd::IProject* project, const std::string& name, const char* library = nullptr) {
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(pr_testing::AutoCast<Hvd::IFileManager>(project)->ProjectAddFile((m_dir / name).c_str(), nullptr,
                                                                               file.Receive()),
              Hvd::kSuccess)
        << name;
    pr_testing::AutoCast<Hvd::IViewClassAssociation> classes(file.Get());
    ASSERT_TRUE(classes && classes->SetBit(0) == Hvd::kSuccess && classes->SetBit(1) == Hvd::kSuccess);
    if (library == nullptr) return;
    pr_testing::AutoCast<Hvd::ISourceLibraryManager> libraries(project);
    AutoRelease<Hvd::ISourceLibrary> found;
    if (libraries->FindSourceLibrary(library, found.Receive()) != Hvd::kSuccess || !found) {
      ASSERT_EQ(libraries->CreateSourceLibrary(library, found.ReleaseAndReceive()), Hvd::kSuccess);
    }
    ASSERT_EQ(pr_testing::AutoCast<Hvd::ISourceLibraryMember>(file.Get())->SetLibrary(found.Get()), Hvd::kSuccess);
  }
  // The project's files by their names in the test's folder, sorted.
  Names Files(Hvd::IProject* project) {
    Names names;
    AutoRelease<Hvd::IHdlFileIterator> files;
    std::ignore = pr_testing::AutoCast<Hvd::IFileManager>(project)->GetProjectFiles(files.Receive());
    for (; files && !files->IsDone(); std::ignore = files->Next())
      names.push_back(std::filesystem::relative(Hvd::GetObjectFullPath(files->Current()).str(), m_dir).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  AutoRelease<Hvd::IHdlFile> Find(Hvd::IProject* project, const std::string& name) {
    AutoRelease<Hvd::IHdlFile> file;
    std::ignore =
        pr_testing::AutoCast<Hvd::IFileManager>(project)->FindFileCompFromName((m_dir / name).c_str(), file.Receive());
    return file;
  }
  std::string LibraryOf(Hvd::IProject* project, const std::string& name) {
    AutoRelease<Hvd::ISourceLibrary> library;
    pr_testing::AutoCast<Hvd::ISourceLibraryMember> member(Find(project, name).Get());
    if (!member || member->GetLibrary(library.Receive()) != Hvd::kSuccess) return "";
    return pr_testing::NameOf(library.Get());
  }
  static Hvd::IView* SynthesisView(Hvd::IProject* project) {
    Hvd::IDesign* design = nullptr;  // borrowed: the project keeps its design
    AutoRelease<Hvd::IViewIterator> views;
    if (project->GetDesign(&design) != Hvd::kSuccess ||
        pr_testing::AutoCast<Hvd::IViewManager>(design)->GetViews(views.Receive()) != Hvd::kSuccess)
      return nullptr;
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (Hvd::GetDefDataIdName(views->Current()).str() == "VIEW_AbstractSynthesis") return views->Current();
    }
    return nullptr;
  }
  // The view's files, sorted, once it has elaborated the design as it now stands.
  Names ViewFiles(Hvd::IView* view) {
    AutoRelease<Hvd::IHdlNetListNode> root;
    std::ignore = pr_testing::AutoCast<Hvd::IHdlElaborationData>(view)->GetDesignGraph(root.Receive());
    Names names;
    AutoRelease<Hvd::IFileIterator> files;
    std::ignore = pr_testing::AutoCast<Hvd::IFileSet>(view)->GetIterator(files.Receive());
    for (; files && !files->IsDone(); std::ignore = files->Next())
      names.push_back(std::filesystem::relative(Hvd::GetObjectFullPath(files->Current()).str(), m_dir).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Rewrites a source and tells the project's views, as the project does when it sees the change.
  void Edit(Hvd::IProject* project, const std::string& name, const std::string& text) {
    Write(name, text);
    AutoRelease<Hvd::IHdlFile> file = Find(project, name);
    ASSERT_TRUE(file && file->CheckFileOnDisk() == Hvd::kSuccess && file->SetModified(true) == Hvd::kSuccess);
  }
  std::uint32_t OriginOf(Hvd::IProject* project, const std::string& name) {
    std::uint32_t origin = 99;
    AutoRelease<Hvd::IHdlFile> found = Find(project, name);
    if (pr_testing::AutoCast<Hvd::IFile> file(found.Get()); file) std::ignore = file->GetOriginState(&origin);
    return origin;
  }

  std::filesystem::path m_dir;
  std::vector<AutoPtr<Hvd::IProject>> m_projects;
  std::vector<AutoPtr<Prjrep::IProjectRepository>> m_repositories;
};

// A flavor's project gets what its module needs compiled: the package the module uses, with its
// body, each in the library it has in the static project; and the header that the module's file
// includes, which nobody added. The static project keeps them all, the header for as long as a
// file includes it.
TEST_F(FlavorFilesTest, AFlavorGetsItsModulesPackagesAndIncludesAndTheStaticProjectKeepsThem) {
  Write("count_pkg.vhd", "package count_pkg is\n  constant WIDTH : positive := 4;\nend package;\n");
  Write("count_body.vhd", "package body count_pkg is\nend package body;\n");
  Write("counter.vhd",
        "use work.count_pkg.all;\nentity counter is port (clk : in bit); end;\n"
        "architecture rtl of counter is\n  signal v : bit_vector(WIDTH - 1 downto 0);\nbegin\nend;\n");
  Write("defs.vh", "`define WIDTH 4\n");
  Write("part.v", "`include \"defs.vh\"\nmodule part(input clk);\n  wire [`WIDTH-1:0] w;\nendmodule\n");
  Write("top.vhd",
        "library mylib;\nentity top is port (clk : in bit); end;\narchitecture rtl of top is\n"
        "  component part port (clk : in bit); end component;\nbegin\n"
        "  u_counter : entity mylib.counter port map (clk => clk);\n  u_part : part port map (clk => clk);\nend;\n");
  Hvd::IProject* design = Open("static.xhlc");
  // The module's file comes before the package: only the compile order puts the package first.
  Add(design, "top.vhd");
  for (const char* name : {"counter.vhd", "count_body.vhd", "count_pkg.vhd"}) Add(design, name, "mylib");
  Add(design, "part.v");
  Hvd::FileTypeViewCache(design).UpdateAllFileViews();

  Hvd::IProject* counter = FlavorProject("fast");
  Hvd::IProject* part = FlavorProject("slim");
  ASSERT_EQ(Hvd::prhelper::DistributePartitionFiles("/top/u_counter", design, counter), Hvd::kSuccess);
  ASSERT_EQ(Hvd::prhelper::DistributePartitionFiles("/top/u_part", design, part), Hvd::kSuccess);
  EXPECT_EQ(Files(counter), (Names{"count_body.vhd", "count_pkg.vhd", "counter.vhd"}));
  for (const char* name : {"count_body.vhd", "count_pkg.vhd", "counter.vhd"})
    EXPECT_EQ(LibraryOf(counter, name), "mylib") << name;
  EXPECT_EQ(Files(part), (Names{"defs.vh", "part.v"}));
  EXPECT_EQ(Files(design), (Names{"count_body.vhd", "count_pkg.vhd", "counter.vhd", "defs.vh", "part.v", "top.vhd"}));
  EXPECT_EQ(OriginOf(design, "defs.vh"), 3u) << "managed by the views that found it";

  // A save (here not held back by the delay between saves) keeps the header while part.v includes
  // it, and lets it go once it no longer does.
  pr_testing::AutoCast<Hvd::IForceSave> save(design);
  ASSERT_EQ(save->ForceSave(), Hvd::kSuccess);
  EXPECT_EQ(OriginOf(design, "defs.vh"), 3u);
  Edit(design, "part.v", "module part(input clk);\n  wire [3:0] w;\nendmodule\n");
  ASSERT_EQ(save->ForceSave(), Hvd::kSuccess);
  EXPECT_EQ(OriginOf(design, "defs.vh"), 99u) << "no longer in the project";
}

// A header found only once the include folders are set is a managed file of the view for as long
// as any file includes it: the file that still does keeps it when the first one drops it.
TEST_F(FlavorFilesTest, AHeaderStaysInTheViewWhileAnyFileIncludesIt) {
  std::filesystem::create_directories(m_dir / "inc");
  Write("inc/defs.vh", "`define WIDTH 4\n");
  for (const char* name : {"a", "b"}) {
    Write(std::string(name) + ".v",
          std::string("`include \"defs.vh\"\nmodule ") + name + "(input clk);\n  wire [`WIDTH-1:0] w;\nendmodule\n");
  }
  Write("top.v", "module top(input clk);\n  a u_a(.clk(clk));\n  b u_b(.clk(clk));\nendmodule\n");
  Hvd::IProject* design = Open("static.xhlc");
  for (const char* name : {"top.v", "a.v", "b.v"}) Add(design, name);
  Hvd::FileTypeViewCache(design).UpdateAllFileViews();
  Hvd::IView* synthesis = SynthesisView(design);
  ASSERT_TRUE(synthesis);
  EXPECT_EQ(ViewFiles(synthesis), (Names{"a.v", "b.v", "top.v"}));

  AutoRelease<Hvd::IPropertyInstance> folders(
      pr_testing::AutoCast<Hvd::IKeyedPropertySet>(synthesis)->Lookup("QLBVERIINCLUDEDIR"));
  ASSERT_TRUE(folders && folders->SetValue((m_dir / "inc").c_str()) == Hvd::kSuccess);
  EXPECT_EQ(ViewFiles(synthesis), (Names{"a.v", "b.v", "inc/defs.vh", "top.v"}));
  Edit(design, "a.v", "module a(input clk);\nendmodule\n");
  EXPECT_EQ(ViewFiles(synthesis), (Names{"a.v", "b.v", "inc/defs.vh", "top.v"}));
  Edit(design, "b.v", "module b(input clk);\nendmodule\n");
  EXPECT_EQ(ViewFiles(synthesis), (Names{"a.v", "b.v", "top.v"}));
}

TEST(PRHelperNames, BarFieldsFlavorListsAndProjectFileNames) {
  struct Case {
    const char* base;
    const char* name;
    const char* expected;
  };
  for (const Case& c : {Case{"C:/designs/top/top.xhlc", "fast", "C:/designs/top/fast/fast.hlc"},
                        Case{"", "fast", "fast/fast.hlc"}, Case{"/d/top/", "fast", "/d/top/fast/fast.hlc"},
                        Case{"/d/top.xhlc", "a\\b", "/d/a/b/a/b.hlc"}, Case{"top.xhlc", "f", "f/f.hlc"},
                        Case{"//:/d/top.xhlc", "f", "/d/f/f.hlc"}}) {
    PathOnlySolution solution(c.base);
    Text out;
    Hvd::prhelper::MakeFlavorProjectFileName(out, &solution, nullptr, c.name);
    EXPECT_EQ(out.str(), c.expected) << c.base << " + " << c.name;
  }

  using Hvd::prhelper::SplitAtBar;
  EXPECT_EQ(SplitAtBar("Module|top").str(), "top");
  EXPECT_EQ(SplitAtBar("a|b|c").str(), "b");
  EXPECT_EQ(SplitAtBar("a|").str(), "");
  EXPECT_EQ(SplitAtBar("|x").str(), "x");
  EXPECT_EQ(SplitAtBar("plain").str(), "plain");
  EXPECT_EQ(SplitAtBar("").str(), "");

  auto split = [](const char* list) {
    std::vector<std::string> names;
    for (const Text& name : Hvd::prhelper::SplitFlavorList(list)) names.push_back(name.str());
    return names;
  };
  EXPECT_TRUE(split("").empty());
  EXPECT_EQ(split("a|b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(split("a||b|"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(split("\"a|b\"|c"), (std::vector<std::string>{"a|b", "c"}));
}

}  // namespace
