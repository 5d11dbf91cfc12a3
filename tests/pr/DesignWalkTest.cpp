// The walk over an elaborated netlist that sorts a design's files by where they are used
// relative to a partition's instance path, on a netlist made of doubles.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Hvd/IConfiguration.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/StringSets.h"
#include "pr/helper/DesignWalk.h"
#include "pr/helper/Names.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IViewManager.h"
#include "support/FakeNetlist.h"

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
