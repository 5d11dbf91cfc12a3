// The HDL parser component, loaded by name the way the host loads it: files go in through the
// component and come back as the same objects; units, orders and the design graph follow the
// files and the configuration's properties.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace fs = std::filesystem;

// A property whose name comes from its definition's id.
class CFakeProperty final : public TComponent<CFakeProperty> {
 public:
  CFakeProperty(std::string id, std::string value) : m_id(std::move(id)), m_value(std::move(value)) {}
  auto QueryTable() {
    return Table(Row<IPropertyInstance>(&m_XIPropertyInstance), Row<IPropertyTemplate>(&m_XIPropertyTemplate),
                 Row<IDefDataId>(&m_XIDefDataId), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIPropertyInstance));
  }

 private:
  struct XIPropertyInstance : TNested<CFakeProperty, IPropertyInstance> {
    using TNested::TNested;
    Status GetName(Text* name) override { return *name = "Some Label", kSuccess; }  // not the property's name
    Status GetValue(Text* value) override { return *value = This().m_value, kSuccess; }
    Status SetValue(const Text& value) override { return This().m_value = value.str(), kSuccess; }
    Status GetTemplate(IPropertyTemplate** definition) override {
      return Prjrep::AutoOut<IPropertyTemplate>(definition).Assign(this), kSuccess;
    }
    Status IsDefault(bool* isDefault) override { return *isDefault = false, kSuccess; }
  } m_XIPropertyInstance{this};
  struct XIPropertyTemplate : TNested<CFakeProperty, IPropertyTemplate> {
    using TNested::TNested;
    Status GetDependencies(IDefDataIdIterator**) override { return kNotSupported; }
    Status GetDefaultValue(Text*) override { return kNotSupported; }
  } m_XIPropertyTemplate{this};
  struct XIDefDataId : TNested<CFakeProperty, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override { return *name = This().m_id, kSuccess; }
  } m_XIDefDataId{this};
  Prjrep::TRefCountHelper<CFakeProperty> m_refCount{this};
  std::string m_id;
  std::string m_value;
};

std::string NameOf(CitI::IInterface* unit) {
  Text name;
  AutoCast<Prjrep::IName> named(unit);
  return named && named->GetName(name) == kSuccess ? name.str() : "";
}

std::string TypeOf(CitI::IInterface* unit) {
  AutoRelease<IDesignUnitType> type;
  Text name;
  AutoCast<IDesignUnit> du(unit);
  if (!du || du->GetDesignUnitType(type.Receive()) != kSuccess) return "";
  AutoCast<IDefDataId> id(type.Get());
  return id && id->GetDefDataIdName(&name) == kSuccess ? name.str() : "";
}

class HdlProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    std::ignore = root.Assign(CitP::Factory::CreateInstance(HdlProjectClassId()));
    ASSERT_TRUE(root);
    project = AutoCast<IHdlProject>(root.Get());
    files = AutoCast<IHdlFileSet>(root.Get());
    elaboration = AutoCast<IHdlElaborationData2>(root.Get());
    ASSERT_TRUE(project && files && elaboration);
    // One folder per test: the tests of the suite run side by side.
    dir = fs::path(::testing::TempDir()) /
          ("hdlparser_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    nodes.clear();
    project = nullptr;
    files = nullptr;
    elaboration = nullptr;
    std::ignore = root.Assign(nullptr);
    CitP::Factory::Shutdown();
  }

  // A parser file made and added in the order a view uses.
  AutoPtr<IHdlFile> Add(const std::string& directory, const std::string& name, std::uint64_t sequence) {
    AutoRelease<IHdlFile> file;
    EXPECT_EQ(project->CreateFile(file.Receive()), kSuccess);
    EXPECT_TRUE(file);
    if (!file) return nullptr;
    EXPECT_TRUE(file->SetPath(directory + "/", name) == kSuccess && file->SetParserName("HDL") == kSuccess &&
                file.As<ICompAdmin>()->InitializeAfterCreate(nullptr, nullptr) == kSuccess &&
                file.As<ISourceLibraryMember>()->SetLibrary(nullptr) == kSuccess &&
                file.As<IFileCompReference>()->SetFileComponent(nullptr) == kSuccess &&
                file->SetSequenceId(sequence) == kSuccess && file.As<IHdlFileV4>()->SetViewId(7) == kSuccess);
    EXPECT_EQ(files->Add(file.Get()), kSuccess);
    return AutoPtr<IHdlFile>(std::move(file));
  }
  std::map<std::string, IHdlFile*> AddFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(std::string(HDL_TEST_DATA) + "/" + folder)) {
      if (entry.path().filename() != "EXPECT" && entry.is_regular_file()) names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    std::map<std::string, IHdlFile*> added;
    for (const std::string& name : names) {
      kept.push_back(Add(std::string(HDL_TEST_DATA) + "/" + folder, name, kept.size() + 1));
      added[name] = kept.back().Get();
    }
    return added;
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }

  std::vector<IHdlFile*> Walk(IHdlFileIterator* it) {
    std::vector<IHdlFile*> out;
    for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.push_back(it->Current());
    return out;
  }
  std::vector<IHdlFile*> Order() {
    AutoRelease<IHdlFileIterator> it;
    EXPECT_EQ(elaboration->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), it.Receive()), kSuccess);
    return Walk(it.Get());
  }
  // Every node below the root by its instance path, with its unit's name; `nodes` keeps the nodes.
  void Collect(IHdlNetListNode* node, std::map<std::string, std::string>& out) {
    AutoRelease<IHdlNetListNodeIterator> children;
    ASSERT_EQ(node->GetChildren(children.Receive()), kSuccess);
    for (; !children->IsDone(); std::ignore = children->Next()) {
      AutoCast<IHdlNetListNode> child(children->CurrentItem());
      Text path;
      ASSERT_EQ(child.As<UtilI::ITclCollectable>()->GetName(&path), kSuccess);
      AutoRelease<CitI::IInterface> unit(child->GetDesignUnit());
      out[path.str()] = NameOf(unit.Get());
      nodes[path.str()] = AutoPtr<IHdlNetListNode>(child);
      Collect(child.Get(), out);
    }
  }
  std::map<std::string, std::string> Graph() {
    AutoRelease<IHdlNetListNode> top;
    std::map<std::string, std::string> out;
    nodes.clear();
    EXPECT_EQ(elaboration->GetDesignGraph(top.Receive()), kSuccess);
    if (top) Collect(top.Get(), out);
    return out;
  }
  void SetProperties(const std::vector<std::pair<std::string, std::string>>& properties) {
    AutoRelease<IHdlParserConfig> config;
    ASSERT_EQ(project->GetParserConfig(config.Receive()), kSuccess);
    AutoCast<IPropertyInstanceSet> set(config.Get());
    ASSERT_TRUE(set);
    ASSERT_EQ(set->Clear(), kSuccess);
    for (const auto& [id, value] : properties) {
      AutoRelease<IPropertyInstance> property(new CFakeProperty(id, value));
      ASSERT_EQ(set->Add(property.Get()), kSuccess);
    }
  }

  AutoRelease<CitI::IInterface> root;
  AutoCast<IHdlProject> project;
  AutoCast<IHdlFileSet> files;
  AutoCast<IHdlElaborationData2> elaboration;
  std::vector<AutoPtr<IHdlFile>> kept;
  std::map<std::string, AutoPtr<IHdlNetListNode>> nodes;
  fs::path dir;
};

TEST_F(HdlProjectTest, MixedFilesComeBackByIdentityWithUnitsGraphAndCompileOrders) {
  std::map<std::string, IHdlFile*> added = AddFolder("mixed");
  const std::vector<IHdlFile*> order = Order();
  ASSERT_EQ(order.size(), added.size());
  const auto at = [&](const char* name) { return std::find(order.begin(), order.end(), added[name]) - order.begin(); };
  for (auto [before, after] : std::vector<std::pair<const char*, const char*>>{{"mixed_pkg.vhd", "mux2.vhd"},
                                                                               {"mux2.vhd", "shifter.v"},
                                                                               {"shifter.v", "ctrl.vhd"},
                                                                               {"ctrl.vhd", "tb_mixed.sv"}}) {
    EXPECT_LT(at(before), at(after)) << before << " before " << after;
  }
  // The set hands out the very files added, in the order they came.
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  std::vector<IHdlFile*> all;
  for (auto& file : kept) all.push_back(file.Get());
  EXPECT_EQ(Walk(it.Get()), all);

  // Units answer both unit interfaces and name their DESUT type; they point back at their file.
  const std::vector<std::tuple<std::string, std::set<std::string>>> expected = {
      {"ctrl.vhd", {"ctrl:DESUT_VHDL_ENTITY", "ctrl(rtl):DESUT_VHDL_ARCHITECTURE"}},
      {"shifter.v", {"shifter:DESUT_VERILOG_MODULE"}},
  };
  for (const auto& [name, units] : expected) {
    AutoRelease<IHdlDesignUnitIterator> found;
    ASSERT_EQ(added[name]->GetDesignUnits(nullptr, found.Receive()), kSuccess);
    std::set<std::string> seen;
    for (; !found->IsDone(); std::ignore = found->Next()) {
      IHdlDesignUnit* unit = found->Current();
      seen.insert(NameOf(unit) + ":" + TypeOf(unit));
      AutoRelease<IHdlFile> file;
      ASSERT_EQ(AutoCast<IHdlElement>(unit)->GetHdlFile(file.Receive()), kSuccess);
      EXPECT_EQ(file.Get(), added[name]);
    }
    EXPECT_EQ(seen, units) << name;
  }

  // The graph names instance paths; the order for the dut leaves out the testbench, through a
  // node or through its unit.
  EXPECT_EQ(Graph(), (std::map<std::string, std::string>{{"tb_mixed", "tb_mixed"},
                                                         {"tb_mixed/dut", "ctrl"},
                                                         {"tb_mixed/dut/u_shift", "shifter"},
                                                         {"tb_mixed/dut/u_shift/u_mux", "mux2"}}));
  Text instance;
  ASSERT_EQ(nodes["tb_mixed/dut/u_shift"]->GetInstanceName(&instance), kSuccess);
  EXPECT_EQ(instance.str(), "u_shift");
  AutoRelease<CitI::IInterface> unit(nodes["tb_mixed/dut"]->GetDesignUnit());
  AutoRelease<IHdlFileIterator> byNode, byUnit;
  ASSERT_EQ(elaboration->GetCompileOrder(nodes["tb_mixed/dut"].Get(), byNode.Receive()), kSuccess);
  const std::vector<IHdlFile*> needed = Walk(byNode.Get());
  EXPECT_EQ(needed.size(), added.size() - 1);
  EXPECT_EQ(std::count(needed.begin(), needed.end(), added["tb_mixed.sv"]), 0);
  ASSERT_EQ(elaboration->GetCompileOrder(AutoCast<IHdlDesignUnit>(unit.Get()).Get(), 0, byUnit.Receive()), kSuccess);
  EXPECT_EQ(Walk(byUnit.Get()), needed);

  // A configured top narrows the graph to itself.
  SetProperties({{"TOPDESIGNUNIT", "ctrl"}});
  const std::map<std::string, std::string> narrowed = Graph();
  EXPECT_TRUE(narrowed.count("ctrl/u_shift/u_mux") == 1 && narrowed.count("tb_mixed") == 0);
}

TEST_F(HdlProjectTest, ModifiedFilesAndSettingsAreTakenIntoAccount) {
  Write("cells.v", "module alt_cell(input c); endmodule\nmodule base_cell(input c); endmodule\n");
  Write("top.v",
        "`include \"defs.vh\"\nmodule top(input c);\n`ifdef USE_ALT\n  alt_cell u1(.c(c));\n`else\n"
        "  base_cell u1(.c(c));\n`endif\n  `CELL u2(.c(c));\nendmodule\n");
  fs::create_directories(dir / "inc");
  Write("inc/defs.vh", "`define CELL base_cell\n");
  AutoPtr<IHdlFile> top = Add(dir.string(), "top.v", 1);
  AutoPtr<IHdlFile> cells = Add(dir.string(), "cells.v", 2);
  SetProperties({{"QLBVERIINCLUDEDIR", (dir / "inc").string()}});
  // The unused cell is a top of its own.
  EXPECT_EQ(Graph(), (std::map<std::string, std::string>{
                         {"alt_cell", "alt_cell"}, {"top", "top"}, {"top/u1", "base_cell"}, {"top/u2", "base_cell"}}));

  // The macro comes from either list; the override list adds to the project's.
  SetProperties({{"QLBVERILOGMACROS", " OTHER ; USE_ALT"}, {"OVRAVERIINCLUDEDIR", "x|" + (dir / "inc").string()}});
  const std::map<std::string, std::string> graph = Graph();
  EXPECT_TRUE(graph.at("top/u1") == "alt_cell" && graph.at("top/u2") == "base_cell");

  // A changed file stays modified until the parser has read it again.
  bool modified = true;
  EXPECT_TRUE(top->IsModified(&modified) == kSuccess && !modified);
  Write("top.v", "module top(input c);\n  spare u9(.c(c));\nendmodule\nmodule spare(input c); endmodule\n");
  ASSERT_EQ(top->SetModified(true), kSuccess);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(top->IsModified(&modified) == kSuccess && modified) << "asked twice";
  EXPECT_EQ(elaboration->RefreshElaboration(), kSuccess);
  EXPECT_TRUE(top->IsModified(&modified) == kSuccess && !modified);
  EXPECT_EQ(Graph().at("top/u9"), "spare");
}

TEST_F(HdlProjectTest, RemovalAtAnIteratorLeavesItOnTheNextFile) {
  Write("a.v", "module a; b u(); endmodule\n");
  Write("b.v", "module b; c u(); endmodule\n");
  Write("c.v", "module c; endmodule\n");
  AutoPtr<IHdlFile> a = Add(dir.string(), "a.v", 1);
  AutoPtr<IHdlFile> b = Add(dir.string(), "b.v", 2);
  AutoPtr<IHdlFile> c = Add(dir.string(), "c.v", 3);
  EXPECT_EQ(Graph().count("a/u/u"), 1u);
  AutoRelease<IHdlFileIterator> it;
  ASSERT_EQ(files->GetIterator(it.Receive()), kSuccess);
  ASSERT_EQ(it->Next(), kSuccess);
  ASSERT_EQ(files->Remove(it.Get()), kSuccess);
  EXPECT_EQ(it->Current(), c.Get());
  EXPECT_EQ(files->Size(), 2u);
  EXPECT_EQ(Order(), (std::vector<IHdlFile*>{a.Get(), c.Get()}));  // a needs nothing known now
  EXPECT_EQ(Graph(), (std::map<std::string, std::string>{{"a", "a"}, {"a/u", ""}, {"c", "c"}}));  // u binds to nothing
  // A removed file can come back.
  EXPECT_EQ(files->Add(b.Get()), kSuccess);
  EXPECT_EQ(Graph().count("a/u/u"), 1u);
}

TEST_F(HdlProjectTest, BadInputFailsWithoutACrash) {
  AutoPtr<IHdlFile> missing = Add(dir.string(), "nowhere.vhd", 1);
  AutoRelease<IHdlDesignUnitIterator> units;
  EXPECT_NE(missing->GetDesignUnits(nullptr, units.Receive()), kSuccess);
  EXPECT_FALSE(units);
  EXPECT_EQ(Graph(), (std::map<std::string, std::string>{}));

  // Adding twice, a file of another kind, null outputs, an unknown top: failures, not crashes.
  EXPECT_NE(files->Add(missing.Get()), kSuccess);
  EXPECT_NE(files->Add(nullptr), kSuccess);
  AutoRelease<IHdlFile> loose;
  ASSERT_EQ(project->CreateFile(loose.Receive()), kSuccess);
  EXPECT_NE(loose->GetDesignUnits(nullptr, units.ReleaseAndReceive()), kSuccess);
  EXPECT_NE(project->CreateFile(nullptr), kSuccess);
  EXPECT_NE(project->GetParserConfig(nullptr), kSuccess);
  EXPECT_NE(elaboration->GetDesignGraph(nullptr), kSuccess);
  EXPECT_NE(elaboration->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), nullptr), kSuccess);
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(HdlProjectClassId()));
  AutoRelease<IHdlFile> foreign;
  ASSERT_EQ(AutoCast<IHdlProject>(other.Get())->CreateFile(foreign.Receive()), kSuccess);
  EXPECT_NE(files->Add(foreign.Get()), kSuccess);

  // Every parser file answers the interfaces a view mirrors its files through.
  EXPECT_TRUE(loose.TryAs<IHdlFileV3>() && loose.TryAs<IHdlFileV4>() && loose.TryAs<ICompAdmin>() &&
              loose.TryAs<ISourceLibraryMember>() && loose.TryAs<IFileCompReference>());
}

}  // namespace
