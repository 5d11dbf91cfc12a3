// What a project's views answer once the parser reads their files: the compile order, the top
// unit and instance, the hierarchy, on the real project, design, views, transform engine, base
// services and HDL parser, with the designs under tests/data/hdl.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/EventIds.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/StandIns.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Factory.h"
#include "core/Sets.h"
#include "design/DesignDoubles.h"
#include "design/design/Placement.h"
#include "design/view/CView.h"
#include "files/FileViewPlacement.h"
#include "project/project/CProject.h"
#include "support/FakeProject.h"
#include "support/ViewDouble.h"
#include "utils/DmUtils.h"
#include "utils/NetlistLookup.h"

namespace view_order_test {
namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

const fs::path kData = HDL_TEST_DATA;

std::string BaseName(CitI::IInterface* file) {
  AutoCast<Prjrep::IFileNameHelper> names(file);
  Text name;
  if (names) std::ignore = names->GetShortName(&name);
  return name.str();
}

Names NamesOf(IHdlFileIterator* files) {
  Names names;
  for (; files != nullptr && !files->IsDone(); std::ignore = files->Next()) names.push_back(BaseName(files->Current()));
  return names;
}

bool Before(const Names& order, const std::string& first, const std::string& second) {
  const auto a = std::find(order.begin(), order.end(), first);
  const auto b = std::find(order.begin(), order.end(), second);
  return a != order.end() && b != order.end() && a < b;
}

class ViewOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE") &&
                CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = fs::temp_directory_path() /
            ("view_order_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
    m_project = AutoRelease<IProject>(CitP::Factory::CreateInstance(ClassId::Project()));
    m_design = AutoRelease<IDesign>(CitP::Factory::CreateInstance(ClassId::Design()));
    ASSERT_TRUE(m_project && m_design);
    CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir / "p.xhlc").c_str(), m_design.Get(), false);
    ASSERT_EQ(AutoCast<ICompAdmin>(m_design.Get())->InitializeAfterCreate(m_project.Get(), nullptr), kSuccess);
    AutoRelease<IDesignPlatform> platform;
    ASSERT_EQ(m_design->GetDesignPlatform(platform.Receive()), kSuccess);
    ASSERT_EQ(platform->NotifyChanges(), kSuccess);  // the first notice builds the views
    AutoRelease<ISourceLibrary> work;
    ASSERT_EQ(AutoCast<ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("work", work.Receive()), kSuccess);
  }
  void TearDown() override {
    m_files.clear();
    if (m_design) std::ignore = AutoCast<ICompAdmin>(m_design.Get())->Teardown();
    m_project = nullptr;
    m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    fs::remove_all(m_dir);
  }

  // Copies the design's files into the project folder, adds them for implementation and
  // behavioural simulation, and places them in the views.
  void AddDesign(const std::string& design) {
    for (const auto& entry : fs::directory_iterator(kData / design)) {
      if (entry.path().filename() == "EXPECT" || !entry.is_regular_file()) continue;
      fs::copy_file(entry.path(), m_dir / entry.path().filename());
      AddFile(entry.path().filename().string());
    }
    Place();
  }
  IHdlFile* AddFile(const std::string& name) {
    AutoRelease<IHdlFile> file;
    EXPECT_EQ(AutoCast<IFileManager>(m_project.Get())->ProjectAddFile((m_dir / name).c_str(), nullptr, file.Receive()),
              kSuccess)
        << name;
    AutoCast<IViewClassAssociation> classes(file.Get());
    EXPECT_TRUE(classes && classes->SetBit(0) == kSuccess && classes->SetBit(1) == kSuccess);
    return m_files[name] = AutoPtr<IHdlFile>(file.Get());
  }
  void Place() { FileTypeViewCache(m_project.Get()).UpdateAllFileViews(); }
  // Rewrites a file and tells its views, as the project does when it sees the change on disk.
  void Edit(const std::string& name, const std::string& text) {
    // Later than the last stamp, however quickly edits follow each other.
    const auto earlier = fs::last_write_time(m_dir / name);
    std::ofstream(m_dir / name) << text;
    fs::last_write_time(m_dir / name, std::max(earlier, fs::last_write_time(m_dir / name)) + std::chrono::seconds(5));
    ASSERT_EQ(m_files.at(name)->CheckFileOnDisk(), kSuccess);
    ASSERT_EQ(m_files.at(name)->SetModified(true), kSuccess);
  }

  IView* View(const char* type) {
    AutoRelease<IViewIterator> views;
    EXPECT_EQ(AutoCast<IViewManager>(m_design.Get())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (GetDefDataIdName(views->Current()) == type) return views->Current();
    }
    ADD_FAILURE() << "no view " << type;
    return nullptr;
  }
  Names Order(IView* view, IHdlDesignUnit* top = nullptr, std::uint32_t flags = 0) {
    AutoRelease<IHdlFileIterator> files;
    EXPECT_EQ(view->GetCompileOrder(top, flags, files.Receive()), kSuccess);
    return NamesOf(files.Get());
  }
  std::string Top(IView* view) {
    Text name;
    EXPECT_EQ(view->GetTopName(&name), kSuccess);
    return name.str();
  }
  std::string TopInstance(IView* view) {
    Text path;
    EXPECT_EQ(view->GetTopInstance(&path), kSuccess);
    return path.str();
  }
  void SetSetting(IView* view, const char* key, const char* value) {
    AutoRelease<IPropertyInstance> instance(AutoCast<IKeyedPropertySet>(view)->Lookup(key));
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->SetValue(value), kSuccess);
  }
  std::string Hierarchy(IView* view, const char* mode) {
    return AutoCast<IViewTclHelper>(view)->GetViewHierarchy(nullptr, "", mode).str();
  }
  std::uint64_t Id(const std::string& name, std::uint32_t target = 2) {
    std::uint64_t id = 0;
    EXPECT_EQ(AutoCast<ICompileOrder>(m_files.at(name).Get())->GetSequenceID(target, &id), kSuccess);
    return id;
  }

  design_tests::Listener m_heard;  // outlives the views it listens to
  fs::path m_dir;
  AutoRelease<IProject> m_project;
  AutoRelease<IDesign> m_design;
  std::map<std::string, AutoPtr<IHdlFile>> m_files;
};

TEST_F(ViewOrderTest, MixedDesignOrderTopAndHierarchy) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  IView* simulation = View("VIEW_AbstractSimulation");
  ASSERT_TRUE(synthesis && simulation);
  for (IView* view : {synthesis, simulation}) {
    const Names order = Order(view);
    ASSERT_EQ(order.size(), 5U) << GetDefDataIdName(view).str();
    EXPECT_TRUE(Before(order, "mixed_pkg.vhd", "mux2.vhd") && Before(order, "mux2.vhd", "shifter.v") &&
                Before(order, "shifter.v", "ctrl.vhd") && Before(order, "ctrl.vhd", "tb_mixed.sv"))
        << ::testing::PrintToString(order);
  }
  // The ids of the synthesis branch are numbered in that order.
  const Names order = Order(synthesis);
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(Id(order[i]), i + 1) << order[i];

  EXPECT_EQ(Top(synthesis), "tb_mixed");
  EXPECT_EQ(TopInstance(synthesis), "/tb_mixed");
  std::uint32_t manual = 9;
  EXPECT_TRUE(synthesis->IsTopManual(&manual) == kSuccess && manual == 0);
  AutoRelease<IHdlNetListNode> node;
  ASSERT_EQ(synthesis->FindBestTopNode(node.Receive()), kSuccess);
  EXPECT_EQ(CHdlNetListUtils::GetInstancePath(node.Get()).str(), "/tb_mixed");
  EXPECT_EQ(GetNodeDesignUnitName(FindViewNodeByInstancePath(synthesis, "/tb_mixed/dut/u_shift").Get()).str(),
            "shifter");
}

TEST_F(ViewOrderTest, MinorViewsAnswerWithTheirMajorViewAndTheTclHelperListsTheOrder) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  IView* pre = View("VIEW_PreSynthesis");
  ASSERT_TRUE(synthesis && pre);
  EXPECT_EQ(Order(pre), Order(synthesis));
  EXPECT_EQ(Top(pre), "tb_mixed");
  EXPECT_EQ(TopInstance(pre), "/tb_mixed");
  EXPECT_EQ(pre->SetTopInstance("/tb_mixed"), kFailure);  // only a major view keeps a top
  // Whether the top is chosen by hand is its major view's answer too.
  std::uint32_t manual = 9;
  EXPECT_TRUE(pre->IsTopManual(&manual) == kSuccess && manual == 0);
  SetSetting(synthesis, "AUTOTOP", "false");
  EXPECT_TRUE(pre->IsTopManual(&manual) == kSuccess && manual == 1);
  AutoRelease<IHdlNetListNode> root;
  ASSERT_EQ(AutoCast<IHdlElaborationData>(pre)->GetDesignGraph(root.Receive()), kSuccess);
  EXPECT_TRUE(FindNodeByInstancePath(root.Get(), "/tb_mixed/dut/u_shift/u_mux"));

  // The three layouts, in compile order, paths relative to the project.
  const std::string order[] = {"mixed_pkg.vhd", "mux2.vhd", "shifter.v", "ctrl.vhd", "tb_mixed.sv"};
  std::string plain, sources;
  for (const std::string& name : order) {
    plain += "work;" + name + ";UserSource$";
    const bool vhdl = name.ends_with(".vhd");
    sources += std::string("{") + (vhdl ? "vhdl" : "verilog") + " work \"" + name + "\"} ";
  }
  EXPECT_EQ(Hierarchy(synthesis, ""), plain);
  EXPECT_EQ(Hierarchy(synthesis, "QlbPrjSourceList"), sources);
  std::string modules;
  for (const std::string& name : order) modules += "Module|" + name + ";" + name + "$";
  EXPECT_EQ(Hierarchy(synthesis, "ModuleList"), modules);
  // An origin the layout has no word for leaves the field empty; the file is still listed.
  ASSERT_EQ(AutoCast<IFile>(m_files.at("mux2.vhd").Get())->SetOriginState(4), kSuccess);
  EXPECT_NE(Hierarchy(synthesis, "").find("work;mux2.vhd;$work;shifter.v;UserSource$"), std::string::npos)
      << Hierarchy(synthesis, "");
}

// A netlist is neither VHDL nor Verilog: it comes last in the synthesis order, and the source
// list, which names each file's language, leaves it out while the other layouts list it.
TEST_F(ViewOrderTest, ANetlistIsLeftOutOfTheSourceListAloneOfTheLayouts) {
  AddDesign("mixed");
  std::ofstream(m_dir / "net.edf") << "(edif net)\n";
  AddFile("net.edf");
  Place();
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  const Names order = Order(synthesis);
  ASSERT_EQ(order.size(), 6U);
  ASSERT_EQ(order.back(), "net.edf");
  std::string plain, sources, modules;
  for (const std::string& name : order) {
    plain += "work;" + name + ";UserSource$";
    modules += "Module|" + name + ";" + name + "$";
    if (name == "net.edf") continue;
    sources += std::string("{") + (name.ends_with(".vhd") ? "vhdl" : "verilog") + " work \"" + name + "\"} ";
  }
  EXPECT_EQ(Hierarchy(synthesis, ""), plain);
  EXPECT_EQ(Hierarchy(synthesis, "qlbprjsourcelist"), sources);
  EXPECT_EQ(Hierarchy(synthesis, "ModuleList"), modules);
}

// A view that is not major and finds no major view through its bindings (one made on its own)
// answers the files it holds, in the order their ids record, which no major view renumbers.
TEST_F(ViewOrderTest, AMinorViewWithoutAMajorViewAnswersItsFilesInTheirRecordedOrder) {
  AddDesign("mixed");
  std::ofstream(m_dir / "net.edf") << "(edif net)\n";
  AddFile("net.edf");
  Place();
  const Names order = Order(View("VIEW_AbstractSynthesis"));
  ASSERT_EQ(order.size(), 6U);
  AutoRelease<IViewType> type;
  ASSERT_EQ(View("VIEW_PreSynthesis")->GetType(type.Receive()), kSuccess);
  AutoRelease<IView> alone;
  ASSERT_EQ(AutoCast<IViewManager>(m_design.Get())->CreateView("alone", type, alone.Receive()), kSuccess);
  EXPECT_EQ(Order(alone), Names{});
  // Taken in against the order: it answers them in the order all the same.
  for (const char* name : {"net.edf", "ctrl.vhd", "mux2.vhd"})
    ASSERT_EQ(AutoCast<IHdlDesignUnitSet>(alone.Get())->Add(AutoCast<IHdlDesignUnit>(m_files.at(name).Get())),
              kSuccess)
        << name;
  EXPECT_EQ(Order(alone), (Names{"mux2.vhd", "ctrl.vhd", "net.edf"}));
  EXPECT_EQ(Hierarchy(alone, ""), "work;mux2.vhd;UserSource$work;ctrl.vhd;UserSource$work;net.edf;UserSource$");
  EXPECT_EQ(Order(View("VIEW_AbstractSynthesis")), order);
}

TEST_F(ViewOrderTest, OrderAndTopFollowEditsAndCyclesOrMissingUnitsStillGiveAnOrder) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  // A new unit that instantiates the top becomes the top.
  std::ofstream(m_dir / "chip.v") << "module chip;\n  tb_mixed u_tb ();\nendmodule\n";
  AddFile("chip.v");
  Place();
  EXPECT_EQ(Top(synthesis), "chip");
  EXPECT_EQ(TopInstance(synthesis), "/chip");
  Names order = Order(synthesis);
  EXPECT_TRUE(order.size() == 6U && order.back() == "chip.v") << ::testing::PrintToString(order);
  // The control no longer uses the shifter: the shifter and the mux it needs become a second root,
  // and the order no longer puts them before the control.
  Edit("ctrl.vhd", "entity ctrl is\n  port (a, b : in bit; y : out bit);\nend entity;\n"
                   "architecture rtl of ctrl is\nbegin\n  y <= a;\nend architecture;\n");
  EXPECT_EQ(Top(synthesis), "chip");
  EXPECT_FALSE(FindViewNodeByInstancePath(synthesis, "/chip/u_tb/dut/u_shift"));
  order = Order(synthesis);
  EXPECT_TRUE(Before(order, "ctrl.vhd", "tb_mixed.sv") && Before(order, "mux2.vhd", "shifter.v"));

  // The project drops the bench: the view's parser and top follow; the shifter, which the edited
  // control no longer uses, is the deepest root left.
  ASSERT_EQ(AutoCast<IFileManager>(m_project.Get())->RemoveFileByPath((m_dir / "chip.v").c_str()), kSuccess);
  ASSERT_EQ(AutoCast<IFileManager>(m_project.Get())->RemoveFileByPath((m_dir / "tb_mixed.sv").c_str()), kSuccess);
  EXPECT_EQ(Top(synthesis), "shifter");
  EXPECT_EQ(Order(synthesis).size(), 4U);

  m_files.clear();
  for (const char* design : {"cycle", "missing"}) {
    SCOPED_TRACE(design);
    TearDown();
    SetUp();
    AddDesign(design);
    IView* view = View("VIEW_AbstractSynthesis");
    const Names got = Order(view);
    EXPECT_EQ(got.size(), m_files.size()) << ::testing::PrintToString(got);
    if (std::string(design) == "cycle") {
      EXPECT_TRUE(Before(got, "pkg_a.vhd", "user.vhd") && Before(got, "pkg_b.vhd", "user.vhd"));
    } else {
      EXPECT_EQ(Top(view), "top");
      EXPECT_EQ(GetNodeDesignUnitName(FindViewNodeByInstancePath(view, "/top/u3").Get()).str(), "present");
    }
  }
}

// A top chosen by the user stays through refreshes; a hierarchy that lost its nodes leaves the
// chosen top alone rather than saving an empty one.
TEST_F(ViewOrderTest, TopsSetByTheUserOrLeftWithoutNodesAreKept) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  m_heard.Listen(synthesis);
  const Port::XUID topChanged{"{764a3be1-14bc-45d2-beba-1bd819005626}"};
  EXPECT_EQ(synthesis->SetTopInstance("/tb_mixed/dut"), kSuccess);
  EXPECT_EQ(synthesis->SetTopInstance("/tb_mixed/dut"), kSuccess);
  EXPECT_EQ(m_heard.Count(topChanged), 1);
  EXPECT_EQ(Top(synthesis), "ctrl");
  EXPECT_EQ(TopInstance(synthesis), "/tb_mixed/dut");
  std::uint32_t manual = 0;
  EXPECT_TRUE(synthesis->IsTopManual(&manual) == kSuccess && manual == 1);
  // A path that names no node names its first instance.
  EXPECT_EQ(synthesis->SetTopInstance("/nowhere/u1"), kSuccess);
  EXPECT_EQ(Top(synthesis), "nowhere");
  EXPECT_EQ(TopInstance(synthesis), "/nowhere");

  // With the order kept by hand, the path still names the top, and a refresh keeps it.
  SetSetting(synthesis, "AUTOCOMPILEORDER", "false");
  EXPECT_EQ(synthesis->SetTopInstance("/tb_mixed/dut"), kSuccess);
  std::ignore = AutoCast<IHdlElaborationData2>(synthesis)->RefreshElaboration();
  EXPECT_EQ(Top(synthesis), "tb_mixed");
  EXPECT_EQ(TopInstance(synthesis), "/tb_mixed");

  // The automatic top, then every file gone from the view but still the project's: the top stays
  // what it was.
  SetSetting(synthesis, "AUTOCOMPILEORDER", "true");
  SetSetting(synthesis, "AUTOTOP", "true");
  EXPECT_EQ(Top(synthesis), "tb_mixed");
  AutoCast<IBatchDelay> batch(synthesis);
  ASSERT_EQ(batch->BeginBatch(), kSuccess);
  for (AutoRelease<IFileIterator> files; AutoCast<IFileSet>(synthesis)->Size() > 0;) {
    ASSERT_EQ(AutoCast<IFileSet>(synthesis)->GetIterator(files.ReleaseAndReceive()), kSuccess);
    ASSERT_EQ(AutoCast<IFileSet>(synthesis)->Remove(files), kSuccess);
  }
  ASSERT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(Top(synthesis), "tb_mixed");
  EXPECT_EQ(TopInstance(synthesis), "/tb_mixed");
}

// A library change weighs the roots again: while the leaf is in another library, a's instance of
// work.leaf is unbound, and a stays the top when b, unbound too, comes; once the leaf joins a's
// library the instance is bound, a weighs less, and b is the top that follows.
TEST_F(ViewOrderTest, ATopFollowsTheLibraryChangeThatBindsItsInstance) {
  std::ofstream(m_dir / "a.vhd") << "entity a is port (c : in bit); end;\n"
                                    "architecture r of a is begin u : entity work.leaf port map (c); end;\n";
  std::ofstream(m_dir / "leaf.vhd") << "entity leaf is port (c : in bit); end;\narchitecture r of leaf is begin end;\n";
  std::ofstream(m_dir / "b.vhd") << "entity b is port (c : in bit); end;\n"
                                    "architecture r of b is begin u : entity work.absent port map (c); end;\n";
  for (const char* name : {"a.vhd", "leaf.vhd"}) AddFile(name);
  AutoRelease<ISourceLibrary> mylib;
  ASSERT_EQ(AutoCast<ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("mylib", mylib.Receive()), kSuccess);
  const auto joinMylib = [&](const char* name) {
    return AutoCast<ISourceLibraryMember>(m_files.at(name).Get())->SetLibrary(mylib.Get());
  };
  ASSERT_EQ(joinMylib("a.vhd"), kSuccess);
  Place();
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  EXPECT_EQ(Top(synthesis), "a");
  EXPECT_TRUE(FindViewNodeByInstancePath(synthesis, "/leaf"));
  AddFile("b.vhd");
  Place();
  EXPECT_EQ(Top(synthesis), "a") << "the top keeps its place against a root that weighs a little more";

  ASSERT_EQ(joinMylib("leaf.vhd"), kSuccess);
  EXPECT_EQ(Top(synthesis), "b");
  EXPECT_EQ(TopInstance(synthesis), "/b");
  EXPECT_EQ(GetNodeDesignUnitName(FindViewNodeByInstancePath(synthesis, "/a/u").Get()).str(), "leaf");
}

// A root weighs its file's library as the file stands: a and b, each with an unbound instance,
// trade libraries below a top that outweighs both; once that top goes, b, now the one in work,
// is the top, although neither hierarchy changed and a weighed more when last looked at.
TEST_F(ViewOrderTest, EachRootWeighsTheLibraryItsFileIsInNow) {
  std::ofstream(m_dir / "t.v") << "module t;\n  m u ();\nendmodule\nmodule m;\n  gone g ();\nendmodule\n";
  std::ofstream(m_dir / "a.vhd") << "entity a is port (c : in bit); end;\n"
                                    "architecture r of a is begin u : entity work.absent port map (c); end;\n";
  std::ofstream(m_dir / "b.vhd") << "entity b is port (c : in bit); end;\n"
                                    "architecture r of b is begin u : entity work.absent port map (c); end;\n";
  for (const char* name : {"t.v", "a.vhd", "b.vhd"}) AddFile(name);
  auto* libraries = AutoCast<ISourceLibraryManager>(m_project.Get()).Get();
  AutoRelease<ISourceLibrary> mylib;
  AutoRelease<ISourceLibrary> work;
  ASSERT_EQ(libraries->CreateSourceLibrary("mylib", mylib.Receive()), kSuccess);
  ASSERT_EQ(libraries->FindSourceLibrary("work", work.Receive()), kSuccess);
  const auto join = [&](const char* name, ISourceLibrary* library) {
    return AutoCast<ISourceLibraryMember>(m_files.at(name).Get())->SetLibrary(library);
  };
  ASSERT_EQ(join("b.vhd", mylib.Get()), kSuccess);
  Place();
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(Top(synthesis), "t");

  ASSERT_EQ(join("a.vhd", mylib.Get()), kSuccess);
  ASSERT_EQ(join("b.vhd", work.Get()), kSuccess);
  EXPECT_EQ(Top(synthesis), "t");
  ASSERT_EQ(AutoCast<IFileManager>(m_project.Get())->RemoveFileByPath((m_dir / "t.v").c_str()), kSuccess);
  EXPECT_EQ(Top(synthesis), "b");
}

// Renumbering is all or nothing: a file that refuses its new id leaves every id as it was, and
// the order is computed again on the next request.
TEST_F(ViewOrderTest, ARefusedRenumberingLeavesNoMixedIdsAndIsTriedAgain) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(Order(synthesis).size(), 5U);
  // A new leaf, numbered last when it was added, that the bench now needs first.
  std::ofstream(m_dir / "early.v") << "module early;\nendmodule\n";
  AddFile("early.v");
  Place();
  // The bench is bound as a transform's input, so its id cannot change.
  AutoRelease<ITransformBindingInstanceSet> viewBindings, fileBindings;
  AutoRelease<ITransformBindingInstanceIterator> binding;
  ASSERT_EQ(AutoCast<ITransformBindingSets>(synthesis)->GetSecondBindingSet(viewBindings.Receive()), kSuccess);
  ASSERT_EQ(viewBindings->GetIterator(binding.Receive()), kSuccess);
  ASSERT_FALSE(binding->IsDone());
  ASSERT_EQ(AutoCast<ITransformBindingSets>(m_files.at("tb_mixed.sv").Get())->GetFirstBindingSet(fileBindings.Receive()),
            kSuccess);
  ASSERT_EQ(fileBindings->Add(binding->Current()), kSuccess);
  std::map<std::string, std::uint64_t> before;
  for (const auto& [name, file] : m_files) before[name] = Id(name);
  Edit("tb_mixed.sv", "module tb_mixed;\n  bit a, b, y;\n  early u_early ();\n  ctrl dut (.a(a), .b(b), .y(y));\nendmodule\n");
  Names order = Order(synthesis);
  for (const auto& [name, file] : m_files) EXPECT_EQ(Id(name), before[name]) << name;
  EXPECT_TRUE(Before(order, "tb_mixed.sv", "early.v")) << "the order stored before";

  ASSERT_EQ(fileBindings->Clear(), kSuccess);
  order = Order(synthesis);
  EXPECT_TRUE(order.size() == 6U && Before(order, "early.v", "tb_mixed.sv")) << ::testing::PrintToString(order);
}

// An order kept by hand: while AUTOCOMPILEORDER is off the view lists its files by the ids they
// were given, also after a change that has the order worked out again; turned on, the view
// numbers them from the hierarchy at once, before anyone asks for the order.
TEST_F(ViewOrderTest, AnOrderKeptByHandHoldsUntilTheViewOrdersAgain) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  const Names automatic = Order(synthesis);
  ASSERT_EQ(automatic.size(), 5U);
  SetSetting(synthesis, "AUTOCOMPILEORDER", "false");
  const Names byHand(automatic.rbegin(), automatic.rend());
  for (std::size_t i = 0; i < byHand.size(); ++i)
    ASSERT_EQ(AutoCast<ICompileOrder>(m_files.at(byHand[i]).Get())->SetSequenceID(2, i + 1), kSuccess);
  EXPECT_EQ(Order(synthesis), byHand);
  std::string bench;
  std::getline(std::ifstream(m_dir / "tb_mixed.sv"), bench, '\0');
  Edit("tb_mixed.sv", bench + "// edited\n");
  EXPECT_EQ(Order(synthesis), byHand);
  // A new top instance asks for the order again, and the hand-kept one still holds.
  SetSetting(synthesis, "TOPINSTANCEPATH", "/tb_mixed/dut");
  EXPECT_EQ(Order(synthesis), byHand);

  SetSetting(synthesis, "AUTOCOMPILEORDER", "true");
  for (std::size_t i = 0; i < automatic.size(); ++i) EXPECT_EQ(Id(automatic[i]), i + 1) << automatic[i];
  EXPECT_EQ(Order(synthesis), automatic);
}

// Files the parser finds for the view's files are managed by the view: they come with a new
// hierarchy, in one refresh however many there are, and go when the hierarchy drops them.
TEST_F(ViewOrderTest, ManagedFilesFollowTheHierarchyInOneRefresh) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(Top(synthesis), "tb_mixed");
  AutoCast<IHdlFileV4> includer(m_files.at("tb_mixed.sv").Get());
  const char* names[] = {"a.v", "b.v", "c.v"};
  for (const char* name : names) {
    std::ofstream(m_dir / name) << "// included\n";
    ASSERT_EQ(includer->AddChildFileByName(1, (m_dir / name).c_str(), nullptr), kSuccess);
  }
  m_heard.Listen(synthesis);
  const std::string bench = "module tb_mixed;\n  bit a, b, y;\n  ctrl dut (.a(a), .b(b), .y(y));\nendmodule\n";
  // With the hierarchy parsed only on request, the change waits; the order asks for the parse,
  // which finds the new files.
  SetSetting(synthesis, "DISABLEAUTOHIERREGEN", "true");
  Edit("tb_mixed.sv", bench);
  EXPECT_EQ(m_heard.Count(EventId::ViewChanged()), 0);
  EXPECT_EQ(Order(synthesis).size(), 5U) << "managed files never enter the order";
  EXPECT_EQ(AutoCast<IFileSet>(synthesis)->Size(), 8U);
  EXPECT_EQ(m_heard.Count(EventId::FileAddedToView()), 3);
  EXPECT_EQ(m_heard.Count(EventId::ViewChanged()), 1);

  // The bench no longer includes them: its next scan drops them.
  SetSetting(synthesis, "DISABLEAUTOHIERREGEN", "false");
  ASSERT_EQ(includer->RemoveAllChildFiles(1), kSuccess);
  Edit("tb_mixed.sv", bench);
  EXPECT_EQ(Top(synthesis), "tb_mixed");
  EXPECT_EQ(AutoCast<IFileSet>(synthesis)->Size(), 5U);
}

// A file that lets a child go without telling its views still loses it at the next hierarchy,
// which another file's edit brings.
TEST_F(ViewOrderTest, AChildLetGoQuietlyLeavesTheViewWithTheNextHierarchy) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(Top(synthesis), "tb_mixed");
  AutoCast<IHdlFileV4> includer(m_files.at("tb_mixed.sv").Get());
  AutoRelease<IHdlFile> kept, dropped;
  std::ofstream(m_dir / "kept.vh") << "// included\n";
  std::ofstream(m_dir / "dropped.vh") << "// included\n";
  ASSERT_EQ(includer->AddChildFileByName(1, (m_dir / "kept.vh").c_str(), kept.Receive()), kSuccess);
  ASSERT_EQ(includer->AddChildFileByName(1, (m_dir / "dropped.vh").c_str(), dropped.Receive()), kSuccess);
  const auto addLeaf = [&](const std::string& name) {
    std::ofstream(m_dir / (name + ".v")) << "module " << name << ";\nendmodule\n";
    AddFile(name + ".v");
    Place();
    EXPECT_EQ(Top(synthesis), "tb_mixed");
  };
  addLeaf("early");
  ASSERT_EQ(AutoCast<IFileSet>(synthesis)->Size(), 8U);

  ASSERT_EQ(includer->RemoveChildFile(1, dropped.Get()), kSuccess);
  addLeaf("late");
  EXPECT_EQ(AutoCast<IFileSet>(synthesis)->Size(), 8U) << "late.v in, dropped.vh out";
  const auto holds = [&](IHdlFile* file) {
    AutoRelease<IFileIterator> at;
    EXPECT_EQ(AutoCast<IFileSet>(synthesis)->GetIterator(at.Receive()), kSuccess);
    for (; at && !at->IsDone(); std::ignore = at->Next()) {
      if (RootOf(at->Current()) == RootOf(file)) return true;
    }
    return false;
  };
  EXPECT_TRUE(holds(kept.Get()));
  EXPECT_FALSE(holds(dropped.Get()));
}

// A generated core's file leads to the project file it was generated with, by base name.
TEST_F(ViewOrderTest, ACoreLeadsToItsGeneratorProjectFile) {
  for (const char* name : {"fifo.mdx", "ram.mxhlc", "fifo.mxhlc", "fifo.vhd"}) {
    std::ofstream(m_dir / name) << "\n";
    AddFile(name);
  }
  AutoRelease<IFile> found;
  ASSERT_EQ(GetMoldrixHlcFile(m_project.Get(), AutoCast<IFile>(m_files.at("fifo.mdx").Get()), found.Receive()),
            kSuccess);
  EXPECT_EQ(RootOf(found.Get()), RootOf(m_files.at("fifo.mxhlc").Get()));
  ASSERT_EQ(GetMoldrixHlcFile(m_project.Get(), AutoCast<IFile>(m_files.at("fifo.vhd").Get()), found.ReleaseAndReceive()),
            kSuccess);
  EXPECT_FALSE(found);
  EXPECT_EQ(GetMoldrixHlcFile(m_project.Get(), nullptr, found.ReleaseAndReceive()), kBadParameters);
}

// A core's project as the parent's views meet it: its design hands out one pre-synthesis view,
// whose order is the files given.
struct CoreView final : testing_support::TViewDouble<CoreView> {
  auto QueryTable() { return Table(Row<IView>(this), Row<Prjrep::IRefCount>(&count), Row<CitI::IInterface>(this)); }
  Status GetType(IViewType** type) override { return *type = nullptr, kNotSupported; }
  Status GetDesign(IDesign** design) override { return *design = nullptr, kNotSupported; }
  Status GetElaborationData(IHdlElaborationData** data) override { return *data = nullptr, kNotSupported; }
  Status GetCompileOrder(IHdlDesignUnit*, std::uint32_t, IHdlFileIterator** files) override {
    using Files = TRefdSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::vector<IHdlFile*>>;
    AutoRelease<IHdlFileSet> set(new Files());
    for (const AutoPtr<IHdlFile>& file : order) std::ignore = set->Add(file.Get());
    return set->GetIterator(files);
  }
  std::vector<AutoPtr<IHdlFile>> order;
  Prjrep::TRefCountHelper<CoreView> count{this};
};
struct CoreViewAt final : TComponent<CoreViewAt, IViewIterator> {
  explicit CoreViewAt(IView* view) : view(view) {}
  auto QueryTable() {
    return Table(Row<IViewIterator>(this), Row<Prjrep::IRefCount>(&count), Row<CitI::IInterface>(this));
  }
  IView* Current() override { return done ? nullptr : view.Get(); }
  Status Reset() override { return done = false, kSuccess; }
  Status Next() override { return done = true, kSuccess; }
  bool IsDone() override { return done; }
  AutoPtr<IView> view;
  bool done = false;
  Prjrep::TRefCountHelper<CoreViewAt> count{this};
};
struct CoreProject final : testing_support::FakeProject {
  struct Design final : TComponent<Design, IViewManager> {
    auto QueryTable() { return Table(Row<IViewManager>(this), Row<IDesign>(&design), Row<CitI::IInterface>(this)); }
    Status GetViews(IViewIterator** views) override { return *views = nullptr, kNotSupported; }
    Status CreateView(const Text&, IViewType*, IView** made) override { return *made = nullptr, kNotSupported; }
    Status RemoveViewAt(IViewIterator*) override { return kNotSupported; }
    Status RemoveView(IView*) override { return kNotSupported; }
    Status FindViewByHint(const Text& hint, IViewIterator** at) override {
      *at = hint == "PreSynthesis" ? new CoreViewAt(view) : nullptr;
      return *at != nullptr ? kSuccess : kFailure;
    }
    Status FindView(IView*, IViewIterator** at) override { return *at = nullptr, kNotSupported; }
    struct XIDesign final : TNested<Design, IDesign> {
      using TNested::TNested;
      Status GetDesignPlatform(IDesignPlatform**) override { return kNotSupported; }
      Status SetDesignPlatform(IDesignPlatform*) override { return kNotSupported; }
      Status GetDesignUnits(IHdlDesignUnitIterator**) override { return kNotSupported; }
      Status GetTOE(ITransformEngine**) override { return kNotSupported; }
      Status GetDataStore(IDataStore**) override { return kNotSupported; }
      Status GetPropertyManager(IPropertyManager**) override { return kNotSupported; }
      Status GetProject(IProject**) override { return kNotSupported; }
      Status GetDefaultParserConfig(IHdlParserConfig**) override { return kNotSupported; }
    } design{this};
    CoreView* view = nullptr;
  };
  // Without a reference, as a project hands out its design.
  Status GetDesign(IDesign** out) override { return *out = &design.design, kSuccess; }
  Design design;
};

// A core generated in VHDL as "x.VHD" stands for the parent's Verilog "x.v" of the same base
// name: the extension is told as VHDL whatever its case.
TEST_F(ViewOrderTest, ACoresUpperCaseVhdlFileIsThePartnerOfTheParentsVerilogFile) {
  for (const char* name : {"x.mdx", "x.mxhlc"}) {
    std::ofstream(m_dir / name) << "\n";
    AddFile(name);
  }
  std::ofstream(m_dir / "x.v") << "module x;\nendmodule\n";
  AddFile("x.v");
  Place();
  IView* synthesis = View("VIEW_AbstractSynthesis");
  IView* pre = View("VIEW_PreSynthesis");
  ASSERT_TRUE(synthesis && pre);
  ASSERT_EQ(Order(synthesis), Names{"x.v"});
  // The core's file, in the synthesis view and taking part in the order. No view type here lists
  // a core's unit type: the view takes the file as one that it manages itself.
  ASSERT_EQ(AutoCast<IFile>(m_files.at("x.mdx").Get())->SetOriginState(3), kSuccess);
  ASSERT_EQ(AutoCast<IFileSet>(synthesis)->Add(AutoCast<IFile>(m_files.at("x.mdx").Get())), kSuccess);
  ASSERT_EQ(AutoCast<ICompileOrder>(m_files.at("x.mdx").Get())->SetSequenceID(2, 7), kSuccess);

  // The core's project, active in the repository of its generator project file.
  AutoRelease<CoreView> coreView(new CoreView);
  AutoRelease<CoreProject> core(new CoreProject);
  core->design.view = coreView.Get();
  AutoRelease<IDataStore> store;
  AutoRelease<CitI::IInterface> vhdl;
  ASSERT_EQ(m_design->GetDataStore(store.Receive()), kSuccess);
  ASSERT_EQ(store->FindDefData("FILE_VHDL", vhdl.Receive()), kSuccess);
  // "x.VHD" has its partner in the parent; "y.VHD" has none and stays the core's own.
  std::vector<AutoRelease<IHdlFile>> coreFiles;
  for (const char* name : {"x.VHD", "y.VHD"}) {
    AutoRelease<IHdlFile> file(CitP::Factory::CreateInstance(ClassId::File()));
    ASSERT_EQ(AutoCast<ICompAdmin>(file.Get())->InitializeAfterCreate(m_design.Get(), vhdl.Get()), kSuccess);
    ASSERT_EQ(AutoCast<Prjrep::IFileNameHelper>(file.Get())->SetPathInDirectory(name, "", m_dir.c_str()), kSuccess);
    coreView->order.emplace_back(file.Get());
    coreFiles.push_back(std::move(file));
  }
  AutoRelease<Prjrep::IProjectRepository> repository(CitP::Factory::CreateInstance(Prjrep::ClassId::Repository()));
  ASSERT_EQ(RegisterRepositoryByName(GetObjectFullPath(m_files.at("x.mxhlc").Get()).c_str(), repository.Get()),
            kSuccess);
  ASSERT_EQ(RegisterNamedObject(repository.Get(), "ActiveHvdProject", core.Get(), true), kSuccess);

  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Order(pre), (Names{"x.v", "y.VHD"})) << "the parent's file stands for the core's, once";
  int missing = 0;
  for (const auto& message : Port_MsgManData::Captured())
    missing += message.text ==
               "Warning CView::NormalizeChildCompileOrderCollection(): Missing child project file from parent's view\n";
  EXPECT_EQ(missing, 1) << "only the core's file without a partner is missing";

  std::ignore = AutoCast<Prjrep::ISimpleNamedLookup>(repository.Get())->UnregisterObject(core.Get());
  for (const AutoRelease<IHdlFile>& file : coreFiles) std::ignore = AutoCast<ICompAdmin>(file.Get())->Teardown();
}

}  // namespace
}  // namespace view_order_test

namespace view_order_test {
namespace {

// A tree of entities: unit_i instantiates unit_{2i+1} and unit_{2i+2} when they exist.
void WriteTree(const fs::path& dir, int count) {
  for (int i = 0; i < count; ++i) {
    std::ofstream out(dir / ("unit_" + std::to_string(i) + ".vhd"));
    out << "entity unit_" << i << " is end;\narchitecture rtl of unit_" << i << " is\nbegin\n";
    for (int child : {2 * i + 1, 2 * i + 2}) {
      if (child < count) out << "  u" << child << " : entity work.unit_" << child << ";\n";
    }
    out << "end;\n";
  }
}

struct Answers {
  std::string top;
  std::string instance;
  Names order;
  Names files;
  bool operator==(const Answers&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answers& answers) {
  return out << answers.top << " " << answers.instance << " " << ::testing::PrintToString(answers.order) << " "
             << ::testing::PrintToString(answers.files);
}

Names FilesOf(IView* view) {
  AutoRelease<IFileIterator> files;
  Names names;
  EXPECT_EQ(AutoCast<IFileSet>(view)->GetIterator(files.Receive()), kSuccess);
  for (; files && !files->IsDone(); std::ignore = files->Next()) names.push_back(BaseName(files->Current()));
  std::sort(names.begin(), names.end());
  return names;
}

// Single adds and removals answer, after each, what a project given the same files at once
// answers, with the same events each time.
TEST_F(ViewOrderTest, SingleEditsAnswerAsAFreshProjectDoes) {
  constexpr int kUnits = 9;
  WriteTree(m_dir, kUnits);
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  auto answersOf = [&](IView* view) {
    return Answers{Top(view), TopInstance(view), Order(view), FilesOf(view)};
  };
  // A second project in its own folder, given the files in one go.
  auto fresh = [&](const std::vector<std::string>& names, int round) {
    const fs::path there = m_dir / ("fresh_" + std::to_string(round));
    fs::create_directories(there);
    AutoRelease<IProject> project(CitP::Factory::CreateInstance(ClassId::Project()));
    AutoRelease<IDesign> design(CitP::Factory::CreateInstance(ClassId::Design()));
    CProject::FromInterface(project.Get())->EnterOpenState((there / "p.xhlc").c_str(), design.Get(), false);
    EXPECT_EQ(AutoCast<ICompAdmin>(design.Get())->InitializeAfterCreate(project.Get(), nullptr), kSuccess);
    AutoRelease<IDesignPlatform> platform;
    EXPECT_EQ(design->GetDesignPlatform(platform.Receive()), kSuccess);
    std::ignore = platform->NotifyChanges();
    AutoRelease<ISourceLibrary> work;
    std::ignore = AutoCast<ISourceLibraryManager>(project.Get())->CreateSourceLibrary("work", work.Receive());
    {
      const FileViewPlacementHold hold;  // placed once, below
      for (const std::string& name : names) {
        AutoRelease<IHdlFile> file;
        EXPECT_EQ(AutoCast<IFileManager>(project.Get())->ProjectAddFile((m_dir / name).c_str(), nullptr, file.Receive()),
                  kSuccess);
        AutoCast<IViewClassAssociation> classes(file.Get());
        std::ignore = classes->SetBit(0) == kSuccess && classes->SetBit(1) == kSuccess;
      }
    }
    FileTypeViewCache(project.Get()).UpdateAllFileViews();
    Answers answers;
    AutoRelease<IViewIterator> views;
    EXPECT_EQ(AutoCast<IViewManager>(design.Get())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (GetDefDataIdName(views->Current()) == "VIEW_AbstractSynthesis") answers = answersOf(views->Current());
    }
    std::ignore = AutoCast<ICompAdmin>(design.Get())->Teardown();
    return answers;
  };

  m_heard.Listen(synthesis);
  std::vector<std::string> present;
  std::vector<std::vector<std::string>> heardPerEdit;
  auto heardNow = [&] {
    std::vector<std::string> kinds;
    for (const auto& heard : m_heard.heard) {
      if (heard.id == EventId::ViewChanged()) kinds.push_back("changed");
      if (heard.id == EventId::FileAddedToView()) kinds.push_back("added");
      if (heard.id == EventId::FileRemovedFromView()) kinds.push_back("removed");
    }
    m_heard.heard.clear();
    return kinds;
  };
  int round = 0;
  auto check = [&](const char* what) {
    const Answers now = answersOf(synthesis);
    EXPECT_EQ(now, fresh(present, ++round)) << what;
  };
  // The root first: each new unit hangs below the top, whose unbound instances it fills. (With
  // roots of equal rank the top stays where it was, which a fresh project cannot know.)
  for (int i = 0; i < kUnits; ++i) {
    const std::string name = "unit_" + std::to_string(i) + ".vhd";
    AddFile(name);
    present.push_back(name);
    heardPerEdit.push_back(heardNow());
    check(name.c_str());
  }
  // Removals from the middle split the tree below the root; removing the top, then the top chosen
  // next, leaves roots that the view weighed before.
  for (int i : {4, 1, 7, 0, 2}) {
    const std::string name = "unit_" + std::to_string(i) + ".vhd";
    ASSERT_EQ(AutoCast<IFileManager>(m_project.Get())->RemoveFileByPath((m_dir / name).c_str()), kSuccess);
    m_files.erase(name);
    present.erase(std::find(present.begin(), present.end(), name));
    heardPerEdit.push_back(heardNow());
    check(name.c_str());
  }
  // A removed file comes back.
  AddFile("unit_1.vhd");
  present.push_back("unit_1.vhd");
  heardPerEdit.push_back(heardNow());
  check("unit_1.vhd again");

  // Every add is heard as one file added and one change; a removal as no event of the view's.
  const std::vector<std::string> add{"added", "changed"};
  for (std::size_t i = 0; i < heardPerEdit.size(); ++i) {
    const bool isAdd = i < kUnits || i == heardPerEdit.size() - 1;
    EXPECT_EQ(heardPerEdit[i], isAdd ? add : std::vector<std::string>{}) << "edit " << i;
  }
}

}  // namespace
}  // namespace view_order_test

namespace view_order_test {
namespace {

bool Said(const std::string& text) {
  for (const auto& record : Port_MsgManData::Captured()) {
    if (record.text == text) return true;
  }
  return false;
}

// The locators a file holds, in their order.
Names PlacesOf(CitI::IInterface* file) {
  Names places;
  AutoCast<IDesignGraphLocatorSet> set(file);
  AutoRelease<Prjrep::IStringIterator> at;
  if (!set || set->GetIterator(at.Receive()) != kSuccess) return places;
  for (; at && !at->IsDone(); std::ignore = at->Next()) places.push_back(at->Current().str());
  return places;
}

// VEL_CORVANE_ASSOCSRC for one scope; unset again however the scope is left.
struct AssociationMaskSet {
  explicit AssociationMaskSet(const char* mask) {
    if (mask != nullptr) ::setenv("VEL_CORVANE_ASSOCSRC", mask, 1);
  }
  ~AssociationMaskSet() { ::unsetenv("VEL_CORVANE_ASSOCSRC"); }
};

// An empty path clears the top and leaves the automatic choice as it was; a path to an instance
// that nothing is bound to names the top after that instance.
TEST_F(ViewOrderTest, AnEmptyTopPathClearsTheTopAndAnUnboundInstanceNamesIt) {
  AddDesign("missing");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  ASSERT_EQ(Top(synthesis), "top");
  ASSERT_EQ(TopInstance(synthesis), "/top");
  m_heard.Listen(synthesis);
  const Port::XUID topChanged{"{764a3be1-14bc-45d2-beba-1bd819005626}"};

  EXPECT_EQ(synthesis->SetTopInstance(""), kSuccess);
  EXPECT_EQ(Top(synthesis), "");
  EXPECT_EQ(TopInstance(synthesis), "");
  EXPECT_EQ(m_heard.Count(topChanged), 1);
  std::uint32_t manual = 9;
  EXPECT_TRUE(synthesis->IsTopManual(&manual) == kSuccess && manual == 0) << "AUTOTOP is not touched";

  EXPECT_EQ(synthesis->SetTopInstance("/top/u1"), kSuccess);
  EXPECT_EQ(Top(synthesis), "u1");
  EXPECT_EQ(TopInstance(synthesis), "/top/u1");
  EXPECT_TRUE(synthesis->IsTopManual(&manual) == kSuccess && manual == 1);
}

// The top's readers and the design graph refuse a missing output, each with its own line.
TEST_F(ViewOrderTest, TheTopReadersAndTheDesignGraphRefuseAMissingOutput) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  ASSERT_TRUE(synthesis);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(synthesis->GetTopName(nullptr), kInvalidParameter);
  EXPECT_TRUE(Said("ERROR: IView::GetTopName() - Invalid argument: the du name may not be NULL.\n"));
  EXPECT_EQ(synthesis->GetTopInstance(nullptr), kInvalidParameter);
  EXPECT_TRUE(Said("ERROR: IView::GetTopInstance() - Invalid argument; pInstancePath may not be NULL.\n"));
  EXPECT_EQ(AutoCast<IHdlElaborationData>(synthesis)->GetDesignGraph(nullptr), kBadParameters);
  EXPECT_TRUE(Said("Error: XIHdlElaborationData::getDesignGraph - Invalid parameter(s).\n"));
  EXPECT_EQ(Top(synthesis), "tb_mixed") << "nothing changed";
}

// Files outside the instances (here the constraints) take a place from the new top: under the
// default mask, a one-name path gives them the unit at the previous top; the mask read from
// VEL_CORVANE_ASSOCSRC, in any C base, can give the path itself or no place at all.
TEST_F(ViewOrderTest, TheAssociationMaskChoosesThePlaceOfFilesOutsideTheInstances) {
  struct Case {
    const char* mask;
    const char* path;
    Names places;
  };
  const Case cases[] = {
      {nullptr, "/nowhere", {"/tb_mixed"}},
      {"0x0c", "/tb_mixed/dut", {"/tb_mixed/dut"}},
      {"0", "/tb_mixed/dut", {}},
      {"0x14", "/nowhere", {}},
      {"0x14", "/tb_mixed/dut", {"/tb_mixed"}},
  };
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask ? c.mask : "unset") + " " + c.path);
    const AssociationMaskSet mask(c.mask);
    if (!std::exchange(first, false)) {
      TearDown();
      SetUp();
    }
    std::ofstream(m_dir / "pins.ucf") << "NET a LOC = P1;\n";
    AddFile("pins.ucf");
    AddDesign("mixed");
    IView* synthesis = View("VIEW_AbstractSynthesis");
    ASSERT_TRUE(synthesis);
    ASSERT_EQ(TopInstance(synthesis), "/tb_mixed");
    ASSERT_TRUE(PlacesOf(m_files.at("pins.ucf").Get()).empty());
    EXPECT_EQ(synthesis->SetTopInstance(c.path), kSuccess);
    EXPECT_EQ(PlacesOf(m_files.at("pins.ucf").Get()), c.places);
    EXPECT_TRUE(PlacesOf(m_files.at("ctrl.vhd").Get()).empty()) << "an instance's file takes no place";
  }
}

// A minor view asked for the order of one top has its major view number the files for that top
// alone, so what the top does not need leaves the answer; the major view orders all its files
// again when next asked. The elaboration data's order ignores a top node given to it.
TEST_F(ViewOrderTest, AMinorViewAskedForOneTopListsOnlyWhatThatTopNeeds) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  IView* pre = View("VIEW_PreSynthesis");
  ASSERT_TRUE(synthesis && pre);
  const Names full = Order(synthesis);
  ASSERT_EQ(full.size(), 5U);
  const AutoRelease<IHdlNetListNode> dut = FindViewNodeByInstancePath(synthesis, "/tb_mixed/dut");
  ASSERT_TRUE(dut);
  AutoRelease<CitI::IInterface> unit(dut->GetDesignUnit());
  AutoCast<IHdlDesignUnit> ctrl(unit.Get());
  ASSERT_TRUE(ctrl);

  EXPECT_EQ(Order(pre, ctrl.Get()), (Names{"mixed_pkg.vhd", "mux2.vhd", "shifter.v", "ctrl.vhd"}));
  EXPECT_EQ(Id("tb_mixed.sv"), 0U) << "the bench is numbered out for that top";
  EXPECT_EQ(Order(synthesis), full);
  EXPECT_EQ(Id("tb_mixed.sv"), 5U);
  EXPECT_EQ(Order(pre), full);

  AutoCast<IHdlElaborationData> data(synthesis);
  AutoRelease<IHdlFileIterator> files;
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(data->GetCompileOrder(dut.Get(), files.Receive()), kSuccess);
  EXPECT_EQ(NamesOf(files.Get()), full);
  EXPECT_TRUE(Said("WARNING: XIHdlElaborationData::getCompileOrder - Ignoring _pIHdlNetListNodeTopNode value.\n"));
  EXPECT_EQ(data->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), nullptr), kBadParameters);
  EXPECT_TRUE(Said("WARNING: XIHdlElaborationData::getCompileOrder - Invalid parameter(s).\n"));
}

}  // namespace
}  // namespace view_order_test
