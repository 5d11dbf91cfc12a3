// The HDL parser component, loaded by name as the host does: files go in and come back as the same objects;
// units, orders and the design graph follow the files and the configuration's properties.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "CitP/Factory.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlPortList.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "hostkit/TempDir.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast, Prjrep::AutoPtr, Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // a design graph: unit names by instance path

// A property whose name comes from its definition's id, not from its own label.
class CFakeProperty final : public TComponent<CFakeProperty, IPropertyInstance> {
 public:
  CFakeProperty(std::string id, std::string value) : m_id(std::move(id)), m_value(std::move(value)) {}
  auto QueryTable() {
    return Table(Row<IPropertyInstance>(this), Row<IPropertyTemplate>(&m_template), Row<IDefDataId>(&m_defDataId),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetName(Text* name) override { return *name = "Some Label", kSuccess; }
  Status GetValue(Text* value) override { return *value = m_value, kSuccess; }
  Status SetValue(const Text& value) override { return m_value = value.str(), kSuccess; }
  Status GetTemplate(IPropertyTemplate** definition) override {
    return Prjrep::AutoOut<IPropertyTemplate>(definition).Assign(&m_template), kSuccess;
  }
  Status IsDefault(bool* isDefault) override { return *isDefault = false, kSuccess; }

 private:
  struct XIPropertyTemplate : TNested<CFakeProperty, IPropertyTemplate> {
    using TNested::TNested;
    Status GetDependencies(IDefDataIdIterator**) override { return kNotSupported; }
    Status GetDefaultValue(Text*) override { return kNotSupported; }
  } m_template{this};
  struct XIDefDataId : TNested<CFakeProperty, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override { return *name = This().m_id, kSuccess; }
  } m_defDataId{this};
  Prjrep::TRefCountHelper<CFakeProperty> m_refCount{this};
  std::string m_id, m_value;
};

// A source library as the parser reads one: by its name.
class CFakeLibrary final : public TComponent<CFakeLibrary, Prjrep::IName> {
 public:
  explicit CFakeLibrary(std::string name) : m_name(std::move(name)) {}
  auto QueryTable() {
    return Table(Row<Prjrep::IName>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status SetName(const Text&) override { return kNotSupported; }
  Status GetName(Text& name) override { return name = m_name, kSuccess; }
  Status SetOwner(CitI::IInterface*) override { return kNotSupported; }

 private:
  Prjrep::TRefCountHelper<CFakeLibrary> m_refCount{this};
  std::string m_name;
};

// "name:TYPE" of a design unit.
std::string NameOf(CitI::IInterface* unit, bool withType = false) {
  Text name, type;
  AutoCast<Prjrep::IName> named(unit);
  AutoRelease<IDesignUnitType> definition;
  if (withType && AutoCast<IDesignUnit>(unit)->GetDesignUnitType(definition.Receive()) == kSuccess)
    std::ignore = AutoCast<IDefDataId>(definition.Get())->GetDefDataIdName(&type);
  return (named && named->GetName(name) == kSuccess ? name.str() : "") + (withType ? ":" + type.str() : "");
}

class HdlProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    std::ignore = root.Assign(CitP::Factory::CreateInstance(HdlProjectClassId()));
    project = AutoCast<IHdlProject>(root.Get()), files = AutoCast<IHdlFileSet>(root.Get());
    elaboration = AutoCast<IHdlElaborationData2>(root.Get());
    ASSERT_TRUE(project && files && elaboration);
  }
  void TearDown() override {
    nodes.clear();
    std::ignore = root.Assign(nullptr);
    CitP::Factory::Shutdown();
  }

  // A parser file made and added in the order a view uses; given a text, the file is written first.
  IHdlFile* Add(const fs::path& path, const char* text = nullptr) {
    if (text != nullptr) std::ofstream(path) << text;
    AutoRelease<IHdlFile> file;
    EXPECT_EQ(project->CreateFile(file.Receive()), kSuccess);
    if (!file) return nullptr;
    EXPECT_TRUE(file->SetPath(path.parent_path().string() + "/", path.filename().string()) == kSuccess &&
                file->SetParserName("HDL") == kSuccess &&
                file.As<ICompAdmin>()->InitializeAfterCreate(nullptr, nullptr) == kSuccess &&
                file.As<ISourceLibraryMember>()->SetLibrary(nullptr) == kSuccess &&
                file.As<IFileCompReference>()->SetFileComponent(nullptr) == kSuccess &&
                file->SetSequenceId(kept.size() + 1) == kSuccess && file.As<IHdlFileV4>()->SetViewId(7) == kSuccess);
    EXPECT_EQ(files->Add(file.Get()), kSuccess);
    return kept.emplace_back(std::move(file)).Get();
  }
  std::vector<IHdlFile*> Order(IHdlNetListNode* node = nullptr) {
    std::vector<IHdlFile*> out;
    AutoRelease<IHdlFileIterator> it;
    EXPECT_EQ(elaboration->GetCompileOrder(node, it.Receive()), kSuccess);
    for (; it && !it->IsDone(); std::ignore = it->Next()) out.push_back(it->Current());
    return out;
  }
  // Every node below `node` (the root if none) by its instance path, with its unit's name; `nodes` keeps them.
  Tree Graph(IHdlNetListNode* node = nullptr, Tree out = {}) {
    AutoRelease<IHdlNetListNode> top;
    AutoRelease<IHdlNetListNodeIterator> children;
    if (node == nullptr && (nodes.clear(), elaboration->GetDesignGraph(top.Receive()) != kSuccess || !top)) return out;
    EXPECT_EQ((node ? node : top.Get())->GetChildren(children.Receive()), kSuccess);
    for (; children && !children->IsDone(); std::ignore = children->Next()) {
      AutoCast<IHdlNetListNode> child(children->CurrentItem());
      Text path;
      EXPECT_EQ(child.As<UtilI::ITclCollectable>()->GetName(&path), kSuccess);
      AutoRelease<CitI::IInterface> unit(child->GetDesignUnit());
      out[path.str()] = NameOf(unit.Get());
      nodes[path.str()] = AutoPtr<IHdlNetListNode>(child);
      out = Graph(child.Get(), std::move(out));
    }
    return out;
  }
  void SetProperties(const std::vector<std::pair<std::string, std::string>>& properties) {
    AutoRelease<IHdlParserConfig> config;
    ASSERT_EQ(project->GetParserConfig(config.Receive()), kSuccess);
    AutoCast<IPropertyInstanceSet> set(config.Get());
    ASSERT_TRUE(set && set->Clear() == kSuccess);
    for (const auto& [id, value] : properties)
      ASSERT_EQ(set->Add(AutoRelease<IPropertyInstance>(new CFakeProperty(id, value)).Get()), kSuccess);
  }

  AutoRelease<CitI::IInterface> root;
  AutoCast<IHdlProject> project;
  AutoCast<IHdlFileSet> files;
  AutoCast<IHdlElaborationData2> elaboration;
  std::vector<AutoPtr<IHdlFile>> kept;
  std::map<std::string, AutoPtr<IHdlNetListNode>> nodes;
  const TempDir m_temp;  // one folder per test: the tests of the suite run side by side
  const fs::path dir = m_temp.path();
};

TEST_F(HdlProjectTest, MixedFilesComeBackByIdentityWithUnitsGraphAndCompileOrders) {
  std::set<fs::path> paths;  // in a fixed order
  for (const auto& entry : fs::directory_iterator(fs::path(HDL_TEST_DATA) / "mixed")) paths.insert(entry.path());
  paths.erase(fs::path(HDL_TEST_DATA) / "mixed" / "EXPECT");
  std::map<std::string, IHdlFile*> added;
  for (const fs::path& path : paths) added[path.filename()] = Add(path);
  const std::vector<IHdlFile*> order = Order();
  ASSERT_EQ(order.size(), added.size());
  const auto at = [&](const char* name) { return std::find(order.begin(), order.end(), added[name]) - order.begin(); };
  const char* const chain[] = {"mixed_pkg.vhd", "mux2.vhd", "shifter.v", "ctrl.vhd", "tb_mixed.sv"};
  for (int i = 0; i < 4; ++i) EXPECT_LT(at(chain[i]), at(chain[i + 1])) << chain[i] << " before " << chain[i + 1];

  // Units answer both unit interfaces and name their DESUT type; they point back at their file.
  std::set<std::string> seen;
  for (const char* name : {"ctrl.vhd", "shifter.v"}) {
    AutoRelease<IHdlDesignUnitIterator> found;
    ASSERT_EQ(added[name]->GetDesignUnits(nullptr, found.Receive()), kSuccess);
    for (AutoRelease<IHdlFile> file; !found->IsDone(); std::ignore = found->Next()) {
      seen.insert(NameOf(found->Current(), true));
      ASSERT_EQ(AutoCast<IHdlElement>(found->Current())->GetHdlFile(file.ReleaseAndReceive()), kSuccess);
      EXPECT_EQ(file.Get(), added[name]);
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"ctrl:DESUT_VHDL_ENTITY", "ctrl(rtl):DESUT_VHDL_ARCHITECTURE",
                                         "shifter:DESUT_VERILOG_MODULE"}));

  // The graph names instance paths; the order for the dut leaves out the testbench.
  EXPECT_EQ(Graph(), (Tree{{"/tb_mixed", "tb_mixed"},
                           {"/tb_mixed/dut", "ctrl"},
                           {"/tb_mixed/dut/u_shift", "shifter"},
                           {"/tb_mixed/dut/u_shift/u_mux", "mux2"}}));
  EXPECT_EQ(Order(nodes["/tb_mixed/dut"].Get()), std::vector<IHdlFile*>(order.begin(), order.end() - 1));

  // Removal at an iterator leaves it on the next file; what was there binds to nothing until it comes back.
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  ASSERT_TRUE(it->Next() == kSuccess && it->Next() == kSuccess && files->Remove(it.Get()) == kSuccess);
  EXPECT_TRUE(it->Current() == added["shifter.v"] && files->Size() == 4u && Order().size() == 4u);
  EXPECT_EQ(Graph()["/tb_mixed/dut/u_shift/u_mux"], "");
  EXPECT_TRUE(files->Add(added["mux2.vhd"]) == kSuccess && Graph()["/tb_mixed/dut/u_shift/u_mux"] == "mux2");

  // A configured top narrows the graph to itself.
  SetProperties({{"TOPDESIGNUNIT", "ctrl"}});
  EXPECT_TRUE(Graph().contains("/ctrl/u_shift/u_mux") && !nodes.contains("/tb_mixed"));
}

// Views keep the first of the root nodes that score alike, so the parser puts the likely top first.
TEST_F(HdlProjectTest, RootNodesComeWithTheLikelyTopFirst) {
  for (const char* name : {"soc.v", "tb.v"}) Add(fs::path(HDL_TEST_DATA) / "tops" / name);
  AutoRelease<IHdlNetListNode> root;
  AutoRelease<IHdlNetListNodeIterator> children;
  ASSERT_TRUE(elaboration->GetDesignGraph(root.Receive()) == kSuccess &&
              root->GetChildren(children.Receive()) == kSuccess);
  std::vector<std::string> tops;
  for (; !children->IsDone(); std::ignore = children->Next())
    tops.push_back(NameOf(
        AutoRelease<CitI::IInterface>(AutoCast<IHdlNetListNode>(children->CurrentItem())->GetDesignUnit()).Get()));
  EXPECT_EQ(tops, (std::vector<std::string>{"soc", "pair", "shell", "core_wrap", "solo", "tb"}));
}

// Candidates of one name stand for the top found by that name: a core copied into several
// libraries gives as many roots, all one node, whose hierarchy is made once.
TEST_F(HdlProjectTest, RootsOfOneNameAreOneNode) {
  std::vector<AutoRelease<CFakeLibrary>> libraries;
  for (const char* name : {"copy1", "copy2", "copy3"}) {
    IHdlFile* file =
        Add(dir / (std::string(name) + ".vhd"),
            "entity top is port (c : bit); end;\narchitecture r of top is begin u : leaf port map (c); end;\n");
    libraries.emplace_back(new CFakeLibrary(name));
    auto* library = reinterpret_cast<ISourceLibrary*>(libraries.back().Get());
    ASSERT_EQ(AutoCast<ISourceLibraryMember>(file)->SetLibrary(library), kSuccess);
  }
  Add(dir / "leaf.vhd", "entity leaf is port (c : bit); end;\narchitecture r of leaf is begin end;\n");
  Add(dir / "other.vhd", "entity other is port (c : bit); end;\narchitecture r of other is begin end;\n");
  AutoRelease<IHdlNetListNode> root;
  AutoRelease<IHdlNetListNodeIterator> children;
  ASSERT_TRUE(elaboration->GetDesignGraph(root.Receive()) == kSuccess &&
              root->GetChildren(children.Receive()) == kSuccess);
  std::vector<std::string> tops;
  std::set<CitI::IInterface*> made;
  for (; !children->IsDone(); std::ignore = children->Next()) {
    AutoCast<IHdlNetListNode> node(children->CurrentItem());
    tops.push_back(NameOf(AutoRelease<CitI::IInterface>(node->GetDesignUnit()).Get()));
    made.insert(children->CurrentItem());
  }
  EXPECT_EQ(tops, (std::vector<std::string>{"top", "top", "top", "other"}));
  EXPECT_EQ(made.size(), 2u);
  EXPECT_EQ(Graph(), (Tree{{"/top", "top"}, {"/top/u", "leaf"}, {"/other", "other"}}));

  // Graph after graph, the roots of one name stay one node: the node of the top the name finds,
  // the same while that top is, and another once the first copy goes and the name finds the next.
  const auto roots = [&] {
    std::vector<CitI::IInterface*> out;
    AutoRelease<IHdlNetListNode> again;
    AutoRelease<IHdlNetListNodeIterator> at;
    EXPECT_TRUE(elaboration->GetDesignGraph(again.Receive()) == kSuccess &&
                again->GetChildren(at.Receive()) == kSuccess);
    for (; at && !at->IsDone(); std::ignore = at->Next()) out.push_back(at->CurrentItem());
    return out;
  };
  std::vector<CitI::IInterface*> first = roots();
  ASSERT_EQ(first.size(), 4u);
  Add(dir / "more.vhd", "entity more is port (c : bit); end;\narchitecture r of more is begin end;\n");
  std::vector<CitI::IInterface*> second = roots();
  ASSERT_EQ(second.size(), 5u);
  EXPECT_EQ(std::count(second.begin(), second.end(), first[0]), 3);
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  ASSERT_EQ(files->Remove(it.Get()), kSuccess);  // copy1
  const AutoPtr<CitI::IInterface> held(first[0]);  // no other node may take its address
  std::vector<CitI::IInterface*> third = roots();
  ASSERT_EQ(third.size(), 4u);
  EXPECT_EQ(std::count(third.begin(), third.end(), first[0]), 0);
  EXPECT_EQ(std::set<CitI::IInterface*>(third.begin(), third.end()).size(), 3u);
  EXPECT_EQ(Graph(), (Tree{{"/top", "top"}, {"/top/u", "leaf"}, {"/other", "other"}, {"/more", "more"}}));
}

TEST_F(HdlProjectTest, ModifiedFilesAndSettingsAreTakenIntoAccount) {
  fs::create_directories(dir / "inc");
  std::ofstream(dir / "inc/defs.vh") << "`define CELL base_cell\n";
  IHdlFile* top = Add(dir / "top.v",
                      "`include \"defs.vh\"\nmodule top(input c);\n`ifdef USE_ALT\n  alt_cell u1(.c(c));\n`else\n"
                      "  base_cell u1(.c(c));\n`endif\n  `CELL u2(.c(c));\nendmodule\n");
  Add(dir / "cells.v", "module alt_cell(input c); endmodule\nmodule base_cell(input c); endmodule\n");
  SetProperties({{"QLBVERIINCLUDEDIR", (dir / "inc").string()}});
  // The unused cell is a top of its own.
  EXPECT_EQ(Graph(),
            (Tree{{"/alt_cell", "alt_cell"}, {"/top", "top"}, {"/top/u1", "base_cell"}, {"/top/u2", "base_cell"}}));
  // The macro comes from either list; the override list adds to the project's.
  SetProperties({{"QLBVERILOGMACROS", " OTHER ; USE_ALT"}, {"OVRAVERIINCLUDEDIR", "x|" + (dir / "inc").string()}});
  EXPECT_EQ(Graph(), (Tree{{"/top", "top"}, {"/top/u1", "alt_cell"}, {"/top/u2", "base_cell"}}));

  // A changed file stays modified until the parser has read it again.
  auto modified = [&, is = true]() mutable { return top->IsModified(&is) == kSuccess && is; };
  EXPECT_FALSE(modified());
  std::ofstream(dir / "top.v")
      << "module top(input c);\n  spare u9(.c(c));\nendmodule\nmodule spare(input c); endmodule\n";
  ASSERT_EQ(top->SetModified(true), kSuccess);
  EXPECT_TRUE(modified() && modified()) << "asked twice";
  EXPECT_TRUE(elaboration->RefreshElaboration() == kSuccess && !modified());
  EXPECT_EQ(Graph().at("/top/u9"), "spare");
}

// A header outside the set, marked modified, has its includers read again, and only them.
TEST_F(HdlProjectTest, AHeaderOutsideTheSetMarkedModifiedHasOnlyItsIncludersReadAgain) {
  std::ofstream(dir / "body.vh") << "missing_x u ();\n";
  IHdlFile* top = Add(dir / "top.v", "module top;\n`include \"body.vh\"\nendmodule\n");
  IHdlFile* leaf = Add(dir / "leaf.v", "module leaf_a; endmodule\n");
  Graph();
  AutoRelease<IHdlFile> header;
  ASSERT_EQ(project->CreateFile(header.Receive()), kSuccess);
  ASSERT_TRUE(header->SetPath(dir.string() + "/", "body.vh") == kSuccess && header->SetModified(true) == kSuccess);
  bool modified[2] = {false, true};
  EXPECT_TRUE(top->IsModified(&modified[0]) == kSuccess && leaf->IsModified(&modified[1]) == kSuccess);
  EXPECT_TRUE(modified[0] && !modified[1]);
}

// A VHDL standard the view sets is read as set; once the view no longer sets one, the text reads
// as with none set, where a block comment hides what it holds.
TEST_F(HdlProjectTest, AVhdlStandardNoLongerSetReadsAsNoneSet) {
  Add(dir / "e.vhd", "/* entity hidden is end; */ entity shown is end;\n");
  SetProperties({{"VHDLSOURCEANALYSISSTANDARD", "93"}});
  EXPECT_EQ(Graph(), (Tree{{"/hidden", "hidden"}, {"/shown", "shown"}}));
  SetProperties({});
  EXPECT_EQ(Graph(), (Tree{{"/shown", "shown"}}));
}

// The ports of a unit by name, as the file declares them; a changed file gives its new ports.
TEST_F(HdlProjectTest, PortsOfAUnitAreReadFromItsDeclaration) {
  const auto ports = [&](const char* name) {
    std::vector<std::string> lines;
    AutoRelease<CitI::IInterface> found;
    if (elaboration->GetPorts(name, found.Receive()) != kSuccess) return lines;
    AutoCast<IHdlPortList> list(found.Get());
    for (const auto section : {HdlPortSection::kContext, HdlPortSection::kGenerics, HdlPortSection::kPorts}) {
      for (std::uint32_t i = 0; i < list->GetCount(section); ++i) {
        Text name, mode, type, dims, value;
        EXPECT_EQ(list->GetEntry(section, i, &name, &mode, &type, &dims, &value), kSuccess);
        lines.push_back(name.str() + "|" + mode.str() + "|" + type.str() + "|" + dims.str() + "|" + value.str());
      }
    }
    Text past;
    EXPECT_EQ(list->GetEntry(HdlPortSection::kPorts, list->GetCount(HdlPortSection::kPorts), &past, nullptr, nullptr,
                             nullptr, nullptr),
              kInvalidParameter);
    lines.push_back(list->IsAnsi() && list->IsComplete() ? "ansi" : "not ansi");
    return lines;
  };
  IHdlFile* vhdl = Add(dir / "core.vhd",
                       "library ieee;\nuse ieee.std_logic_1164.all;\nentity core is\n  generic (W : natural := 4);\n"
                       "  port (clk : in std_logic; d, q : inout std_logic_vector(W - 1 downto 0));\nend;\n");
  Add(dir / "leaf.v", "module leaf (a, y);\n  input [3:0] a;\n  output y;\nendmodule\n");
  EXPECT_EQ(ports("core"), (std::vector<std::string>{"library ieee;||||", "use ieee.std_logic_1164.all;||||",
                                                     "W||natural||4", "clk|in|std_logic||",
                                                     "d|inout|std_logic_vector(W - 1 downto 0)||",
                                                     "q|inout|std_logic_vector(W - 1 downto 0)||", "ansi"}));
  EXPECT_EQ(ports("leaf"), (std::vector<std::string>{"a|input|[3:0]||", "y|output|||", "not ansi"}));
  EXPECT_TRUE(ports("nothing").empty());
  std::ofstream(dir / "core.vhd") << "entity core is port (go : out bit); end;\n";
  ASSERT_EQ(vhdl->SetModified(true), kSuccess);
  EXPECT_EQ(ports("core"), (std::vector<std::string>{"go|out|bit||", "ansi"}));
  AutoRelease<CitI::IInterface> none;
  EXPECT_NE(elaboration->GetPorts(nullptr, none.Receive()), kSuccess);
  EXPECT_NE(elaboration->GetPorts("core", nullptr), kSuccess);
}

TEST_F(HdlProjectTest, BadInputFailsWithoutACrash) {
  IHdlFile* missing = Add(dir / "nowhere.vhd");
  AutoRelease<IHdlDesignUnitIterator> units;
  EXPECT_TRUE(missing->GetDesignUnits(nullptr, units.Receive()) != kSuccess && !units && Graph().empty());

  // Adding twice, a file of another kind or of another project, null outputs: failures, not crashes.
  AutoRelease<IHdlFile> loose, foreign;
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(HdlProjectClassId()));
  ASSERT_EQ(project->CreateFile(loose.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<IHdlProject>(other.Get())->CreateFile(foreign.Receive()), kSuccess);
  int i = 0;
  for (const Status status : {files->Add(missing), files->Add(nullptr), files->Add(foreign.Get()),
                              loose->GetDesignUnits(nullptr, units.ReleaseAndReceive()), project->CreateFile(nullptr),
                              project->GetParserConfig(nullptr), elaboration->GetDesignGraph(nullptr),
                              elaboration->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), nullptr)}) {
    EXPECT_NE(status, kSuccess) << "call " << i++;
  }
}

// A graph makes its nodes as they are walked, from the design as it was when the graph was asked
// for; a node makes its children once.
TEST_F(HdlProjectTest, AGraphWalkedLaterShowsTheDesignItWasMadeFrom) {
  Add(dir / "top.vhd",
      "entity top is port (c : bit); end;\narchitecture r of top is begin\n"
      "  g : for i in 0 to 1 generate a : entity work.mid; end generate;\n  b : entity work.mid;\nend;\n");
  Add(dir / "mid.vhd", "entity mid is port (c : bit); end;\narchitecture r of mid is begin l : entity work.leaf; end;\n");
  IHdlFile* leaf = Add(dir / "leaf.vhd", "entity leaf is port (c : bit); end;\narchitecture r of leaf is begin end;\n");
  const Tree whole{{"/top", "top"},         {"/top/g/a", "mid"},   {"/top/g/a/l", "leaf"},
                   {"/top/b", "mid"},       {"/top/b/l", "leaf"}};
  AutoRelease<IHdlNetListNode> early;
  ASSERT_EQ(elaboration->GetDesignGraph(early.Receive()), kSuccess);
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  for (; !it->IsDone() && it->Current() != leaf; std::ignore = it->Next()) {
  }
  ASSERT_EQ(files->Remove(it.Get()), kSuccess);
  Tree later = whole;
  later["/top/g/a/l"] = later["/top/b/l"] = "";
  EXPECT_EQ(Graph(), later);
  EXPECT_EQ(Graph(early.Get()), whole);

  // Asked twice, a node gives the same children.
  AutoRelease<IHdlNetListNodeIterator> first, second;
  ASSERT_TRUE(nodes["/top/b"]->GetChildren(first.Receive()) == kSuccess &&
              nodes["/top/b"]->GetChildren(second.Receive()) == kSuccess);
  EXPECT_TRUE(!first->IsDone() && first->CurrentItem() == second->CurrentItem());
  // A graph outlives its project.
  AutoRelease<IHdlNetListNode> last;
  ASSERT_EQ(elaboration->GetDesignGraph(last.Receive()), kSuccess);
  nodes.clear();
  files = nullptr, project = nullptr, elaboration = nullptr;
  std::ignore = root.Assign(nullptr);
  EXPECT_EQ(Graph(last.Get()), later);
}

// Each edit asks for the graph again: a top whose hierarchy the edit left alone is handed out as
// the same node, walked already; a top it changed comes as a new node, and the nodes a caller kept
// of the older graph still show the design they were made from.
TEST_F(HdlProjectTest, TopsAnEditLeavesAloneComeBackAsTheSameNodes) {
  IHdlFile* top = Add(dir / "top.vhd",
                      "entity top is port (c : bit); end;\narchitecture r of top is begin m : entity work.mid; end;\n");
  Add(dir / "mid.vhd", "entity mid is port (c : bit); end;\narchitecture r of mid is begin l : entity work.leaf; end;\n");
  IHdlFile* leaf = Add(dir / "leaf.vhd", "entity leaf is port (c : bit); end;\narchitecture r of leaf is begin end;\n");
  Add(dir / "side.vhd", "entity side is port (c : bit); end;\narchitecture r of side is begin end;\n");
  Add(dir / "deep.vhd", "entity deep is port (c : bit); end;\narchitecture r of deep is begin end;\n");
  EXPECT_EQ(Graph(), (Tree{{"/top", "top"},
                           {"/top/m", "mid"},
                           {"/top/m/l", "leaf"},
                           {"/side", "side"},
                           {"/deep", "deep"}}));
  const std::map<std::string, AutoPtr<IHdlNetListNode>> before = nodes;

  // Without the top, mid is a top of its own; side and deep are as they were.
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  for (; !it->IsDone() && it->Current() != top; std::ignore = it->Next()) {
  }
  ASSERT_EQ(files->Remove(it.Get()), kSuccess);
  EXPECT_EQ(Graph(), (Tree{{"/mid", "mid"}, {"/mid/l", "leaf"}, {"/side", "side"}, {"/deep", "deep"}}));
  EXPECT_EQ(nodes.at("/side").Get(), before.at("/side").Get());
  EXPECT_EQ(nodes.at("/deep").Get(), before.at("/deep").Get());
  const AutoPtr<IHdlNetListNode> mid = nodes.at("/mid");

  // A unit below a top changes: the top's node is made again, the others' stay.
  std::ofstream(dir / "leaf.vhd")
      << "entity leaf is port (c : bit); end;\narchitecture r of leaf is begin d : entity work.deep; end;\n";
  ASSERT_EQ(leaf->SetModified(true), kSuccess);
  EXPECT_EQ(Graph(), (Tree{{"/mid", "mid"}, {"/mid/l", "leaf"}, {"/mid/l/d", "deep"}, {"/side", "side"}}));
  EXPECT_NE(nodes.at("/mid").Get(), mid.Get());
  EXPECT_EQ(nodes.at("/side").Get(), before.at("/side").Get());

  // The nodes kept of the first graph still show the design as it was.
  EXPECT_EQ(Graph(before.at("/top").Get()), (Tree{{"/top/m", "mid"}, {"/top/m/l", "leaf"}}));
  EXPECT_EQ(Graph(mid.Get()), (Tree{{"/mid/l", "leaf"}}));
  EXPECT_EQ(NameOf(AutoRelease<CitI::IInterface>(before.at("/deep")->GetDesignUnit()).Get()), "deep");
}

// A design taken apart from its top, file by file in the order it was added, as a script does: each
// graph lists the roots left in the order a project given those files afresh lists them, and the
// roots an edit left alone come back as the nodes they were.
TEST_F(HdlProjectTest, ADesignTakenApartFromItsTopListsItsRootsAsAFreshProjectDoes) {
  constexpr int kUnits = 15;
  std::vector<fs::path> paths;
  for (int i = 0; i < kUnits; ++i) {
    std::string text = "entity u" + std::to_string(i) + " is port (c : bit); end;\narchitecture r of u" +
                       std::to_string(i) + " is begin\n";
    for (int child : {2 * i + 1, 2 * i + 2}) {
      if (child < kUnits) text += "  c" + std::to_string(child) + " : entity work.u" + std::to_string(child) + ";\n";
    }
    paths.push_back(dir / ("u" + std::to_string(i) + ".vhd"));
    Add(paths.back(), (text + "end;\n").c_str());
  }
  // The graph's roots in their order, each with its node.
  const auto roots = [](IHdlElaborationData* data) {
    std::vector<std::pair<std::string, AutoPtr<IHdlNetListNode>>> out;
    AutoRelease<IHdlNetListNode> top;
    AutoRelease<IHdlNetListNodeIterator> children;
    EXPECT_TRUE(data->GetDesignGraph(top.Receive()) == kSuccess && top &&
                top->GetChildren(children.Receive()) == kSuccess && children);
    for (; children && !children->IsDone(); std::ignore = children->Next()) {
      AutoCast<IHdlNetListNode> child(children->CurrentItem());
      Text path;
      EXPECT_EQ(child.As<UtilI::ITclCollectable>()->GetName(&path), kSuccess);
      out.emplace_back(path.str(), AutoPtr<IHdlNetListNode>(child));
    }
    return out;
  };
  std::map<std::string, AutoPtr<IHdlNetListNode>> before;
  for (const auto& [path, node] : roots(elaboration.Get())) before.emplace(path, node);
  for (int removed = 0; removed + 1 < kUnits; ++removed) {
    SCOPED_TRACE("without u0 to u" + std::to_string(removed));
    AutoRelease<IHdlFileIterator> it;
    ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
    ASSERT_EQ(files->Remove(it.Get()), kSuccess);  // the first file left is the next in add order
    // The same files given to a new project at once.
    AutoRelease<CitI::IInterface> fresh(CitP::Factory::CreateInstance(HdlProjectClassId()));
    std::vector<AutoRelease<IHdlFile>> freshFiles;
    for (std::size_t at = static_cast<std::size_t>(removed) + 1; at < paths.size(); ++at) {
      AutoRelease<IHdlFile> file;
      ASSERT_EQ(AutoCast<IHdlProject>(fresh.Get())->CreateFile(file.Receive()), kSuccess);
      ASSERT_TRUE(file->SetPath(dir.string() + "/", paths[at].filename().string()) == kSuccess &&
                  file->SetParserName("HDL") == kSuccess && file->SetSequenceId(at + 1) == kSuccess &&
                  AutoCast<IHdlFileSet>(fresh.Get())->Add(file.Get()) == kSuccess);
      freshFiles.push_back(std::move(file));
    }
    const auto now = roots(elaboration.Get());
    std::vector<std::string> names, freshNames;
    for (const auto& [path, node] : now) names.push_back(path);
    for (const auto& [path, node] : roots(AutoCast<IHdlElaborationData>(fresh.Get()).Get())) freshNames.push_back(path);
    EXPECT_EQ(names, freshNames);
    // Only the children of the unit removed are new roots.
    const std::string gone = "/u" + std::to_string(removed);
    for (const auto& [path, node] : now) {
      if (const auto kept = before.find(path); kept != before.end()) {
        EXPECT_EQ(node.Get(), kept->second.Get()) << path;
      }
    }
    before.clear();
    for (const auto& [path, node] : now) before.emplace(path, node);
    EXPECT_EQ(before.count(gone), 0U);
  }
}

// The log holds the messages of the last scan: brought up to date by a compile order, a refresh or
// the close, not by an edit nor by the first scan, whose settings may yet change.
TEST_F(HdlProjectTest, TheLogFollowsTheScansWhenTheWholeProjectIsWorkedOut) {
  const fs::path log = dir / "hdlparser.log";
  const auto read = [&] {
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  ASSERT_EQ(project->SetWorkingDirectory(dir.string()), kSuccess);
  Add(dir / "a.vhd", "entity a is end;\narchitecture r of a is begin u : entity work.b; end;\n");
  Graph();
  EXPECT_FALSE(fs::exists(log));
  Order();
  const std::string missingB = "WARNING:" + (dir / "a.vhd").string() + ":2: entity 'work.b' needed by 'a(r)' is not in the project\n";
  EXPECT_EQ(read(), missingB);
  Add(dir / "b.vhd", "entity b is end;\narchitecture r of b is begin u : entity work.c; end;\n");
  Graph();
  EXPECT_EQ(read(), missingB);  // an edit leaves it
  // Another shell wrote what this one would: it is left as it is.
  const std::string missingC = "WARNING:" + (dir / "b.vhd").string() + ":2: entity 'work.c' needed by 'b(r)' is not in the project\n";
  std::ofstream(log) << missingC;
  const fs::file_time_type stamp = fs::last_write_time(log) - std::chrono::hours(1);
  fs::last_write_time(log, stamp);
  Order();
  EXPECT_EQ(read(), missingC);
  EXPECT_EQ(fs::last_write_time(log), stamp);
  Add(dir / "c.vhd", "entity c is end;\n");
  Graph();
  EXPECT_EQ(elaboration->RefreshElaboration(), kSuccess);
  EXPECT_EQ(read(), "");
  Add(dir / "d.vhd", "entity d is end;\narchitecture r of d is begin u : entity work.e; end;\n");
  Graph();
  EXPECT_EQ(read(), "");
  kept.clear(), nodes.clear();
  files = nullptr, project = nullptr, elaboration = nullptr;
  std::ignore = root.Assign(nullptr);
  EXPECT_EQ(read(), "WARNING:" + (dir / "d.vhd").string() + ":2: entity 'work.e' needed by 'd(r)' is not in the project\n");
}

// An included text is named in the log as holding no unit only once nothing includes it.
TEST_F(HdlProjectTest, TheLogNamesAnIncludedTextUnitLessOnceNothingIncludesIt) {
  ASSERT_EQ(project->SetWorkingDirectory(dir.string()), kSuccess);
  const auto said = [&] {
    std::ifstream in(dir / "hdlparser.log");
    const std::string log(std::istreambuf_iterator<char>(in), {});
    return log.find("WARNING:" + (dir / "drive.v").string() + ":0: no design unit found") != std::string::npos;
  };
  Add(dir / "top.v", "module top (output wire y);\n  `include \"drive.v\"\nendmodule\n");
  Add(dir / "drive.v", "assign y = 1'b1;\n");
  Order();
  EXPECT_FALSE(said());
  AutoRelease<IHdlFileIterator> it;
  ASSERT_TRUE(files->GetIterator(it.Receive()) == kSuccess && files->Remove(it.Get()) == kSuccess);  // top.v
  Order();
  EXPECT_TRUE(said());
}

// The log shows every name as messages do, its control characters escaped: a file, unit or include
// named with a newline or a C1 control (in UTF-8 or as a Latin-1 byte), whether the line's own path
// or within its text, neither ends its message's line nor writes a line of its own.
TEST_F(HdlProjectTest, TheLogEscapesTheNamesItShowsSoThatNoneForgesALine) {
  ASSERT_EQ(project->SetWorkingDirectory(dir.string()), kSuccess);
  const std::string where = dir.string() + "/";
  Add(dir / "a\nERROR:forged.v:1: forged message.v", "module top;\n  no_such_unit u();\nendmodule\n");
  Add(dir / "nel\xC2\x85" "csi\x9B" "31m.v",
      "module \\sub\xE2\x80\xA8unit\xC2\x85 ;\n  `include \"gone\r\xE2\x80\xA9.vh\"\n"
      "  \\missing\x9B" "2J u();\nendmodule\n");
  Add(dir / "e.vhd", "entity e is end;\narchitecture r of e is begin u : entity work.\\b\tc\xC2\x9B\\; end;\n");
  Add(dir / "again.v", "module top;\nendmodule\n");
  Order();
  std::ifstream in(dir / "hdlparser.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::string nel = where + "nel\\u0085csi\\x9b31m.v";
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "WARNING:" + nel + ":2: include file 'gone\\x0d\\u2029.vh' not found",
                       "WARNING:" + where + "a\\nERROR:forged.v:1: forged message.v:2: module 'no_such_unit' needed by "
                                            "'top' is not in the project",
                       "WARNING:" + nel + ":3: module 'missing\\x9b2J' needed by 'sub\\u2028unit\\u0085' is not in the "
                                          "project",
                       "WARNING:" + where +
                           "e.vhd:2: entity 'work.\\b\\tc\\u009b\\' needed by 'e(r)' is not in the project",
                       "WARNING:" + where + "again.v:1: 'top' is defined again; the one in " + where +
                           "a\\nERROR:forged.v:1: forged message.v is used",
                   }));
}

// Files of one directory and parser each keep their own path and parser name: one that moves or
// changes parser leaves the others as they were, also after the project is gone; orders name only
// the files still in the project.
TEST_F(HdlProjectTest, FilesThatShareADirectoryKeepTheirOwnPathsAndLeaveOrdersWhenRemoved) {
  IHdlFile* a = Add(dir / "a.vhd", "entity a is end;\n");
  IHdlFile* b = Add(dir / "b.vhd", "entity b is end;\n");
  const auto path = [](IHdlFile* file) {
    Text directory, name, parser;
    EXPECT_TRUE(file->GetPath(&directory, &name) == kSuccess && file->GetParserName(&parser) == kSuccess);
    return directory.str() + name.str() + "|" + parser.str();
  };
  const std::string where = dir.string() + "/";
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "sub" / "a.vhd") << "entity a2 is end;\n";
  ASSERT_EQ(a->SetPath(where + "sub/", "a.vhd"), kSuccess);
  ASSERT_EQ(a->SetParserName("Other"), kSuccess);
  EXPECT_EQ(path(a), where + "sub/a.vhd|Other");
  EXPECT_EQ(path(b), where + "b.vhd|HDL");
  EXPECT_EQ(Order(), (std::vector<IHdlFile*>{a, b}));

  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  for (; !it->IsDone() && it->Current() != a; std::ignore = it->Next()) {
  }
  ASSERT_EQ(files->Remove(it.Get()), kSuccess);
  EXPECT_EQ(Order(), std::vector<IHdlFile*>{b});
  ASSERT_EQ(files->Add(a), kSuccess);
  EXPECT_EQ(Order().size(), 2u);

  nodes.clear();
  files = nullptr, project = nullptr, elaboration = nullptr;
  std::ignore = root.Assign(nullptr);
  EXPECT_EQ(path(a), where + "sub/a.vhd|Other");
  EXPECT_EQ(path(b), where + "b.vhd|HDL");
}

// A log of many messages is written whole, one line a message in file order; one that would come
// out the same is not written again, one that differs is.
TEST_F(HdlProjectTest, ALongLogIsWrittenWholeAndOnlyWhenItsTextChanges) {
  const fs::path log = dir / "hdlparser.log";
  const auto lines = [&] {
    std::ifstream in(log);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  };
  ASSERT_EQ(project->SetWorkingDirectory(dir.string()), kSuccess);
  constexpr int kFiles = 1500;  // well over one piece of the log
  for (int i = 0; i < kFiles; ++i) Add(dir / ("missing_" + std::to_string(i) + ".vhd"));
  Order();
  std::vector<std::string> said = lines();
  ASSERT_EQ(said.size(), static_cast<std::size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = (dir / ("missing_" + std::to_string(i) + ".vhd")).string() + ":";
    EXPECT_NE(said[i].find(path), std::string::npos) << i << ": " << said[i];
    EXPECT_TRUE(said[i].rfind("ERROR:", 0) == 0 || said[i].rfind("WARNING:", 0) == 0) << said[i];
  }
  const std::uintmax_t size = fs::file_size(log);

  std::ofstream(log, std::ios::app) << "marker\n";
  ASSERT_EQ(kept[7]->SetModified(true), kSuccess);  // scanned again, to the same messages
  Order();
  EXPECT_EQ(fs::file_size(log), size + 7);

  Add(dir / "extra.vhd", "entity extra is end;\narchitecture r of extra is begin u : entity work.gone; end;\n");
  Order();
  said = lines();
  ASSERT_EQ(said.size(), static_cast<std::size_t>(kFiles + 1));
  EXPECT_NE(said.back().find("work.gone"), std::string::npos);
  EXPECT_EQ(std::count(said.begin(), said.end(), "marker"), 0);
}

}  // namespace
