// The project over the scanner: what it scans when, how settings and removals reach the model,
// ties in the order, libraries, and the hierarchy's guards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

std::vector<std::string> Labels(const std::vector<UnitInfo>& units) {
  std::vector<std::string> labels;
  for (const UnitInfo& unit : units) labels.push_back(unit.Label());
  return labels;
}

std::vector<std::string> TopNames(Project& project) {
  std::vector<std::string> names;
  for (const TopCandidate& top : project.TopCandidates()) names.emplace_back(top.unit.name);
  return names;
}

class ProjectTest : public testing::Test {
 protected:
  void SetUp() override { project.SetReader(files.GetReader()); }
  void Add(FileHandle handle, const std::string& path, std::string text, std::int64_t order = 0) {
    files.Set(path, std::move(text));
    ASSERT_TRUE(project.AddFile(handle, path, order == 0 ? static_cast<std::int64_t>(handle) : order));
  }
  MemoryFiles files;
  Project project;
};

TEST_F(ProjectTest, ScansOnlyWhatChangedAndOnlyWhenAsked) {
  Add(1, "a.vhd", "entity a is port (x : bit); end;");
  Add(2, "b.vhd", "entity b is end; architecture r of b is begin u : entity work.a port map (x); end;");
  Add(3, "c.v", "module c; endmodule");
  EXPECT_TRUE(project.IsModified(1));
  EXPECT_EQ(files.TotalReads(), 0);  // nothing before a query

  EXPECT_EQ(project.Units().size(), 4u);
  EXPECT_FALSE(project.IsModified(1));
  EXPECT_FALSE(project.IsModified(3));
  EXPECT_EQ(files.TotalReads(), 3);
  project.GetCompileOrder();
  project.TopCandidates();
  EXPECT_EQ(files.TotalReads(), 3);

  files.Set("a.vhd", "entity a2 is port (x : bit); end;");
  EXPECT_TRUE(project.SetModified(1));
  EXPECT_TRUE(project.IsModified(1));
  EXPECT_FALSE(project.IsModified(2));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_FALSE(project.IsModified(1));
  EXPECT_EQ(files.Reads("a.vhd"), 2);
  EXPECT_EQ(files.Reads("b.vhd"), 1);
  EXPECT_EQ(Labels(project.UnitsOf(1)), std::vector<std::string>{"a2"});
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 1);
  EXPECT_FALSE(project.SetModified(99));
}

TEST_F(ProjectTest, AChangedIncludeRescansTheFilesThatIncludeIt) {
  Add(1, "/d/defs.vh", "`define CELL fast");
  Add(2, "/d/top.v",
      "`include \"defs.vh\"\n`include \"/x/outside.vh\"\nmodule top; `CELL u (x); `SLOW s (x); endmodule");
  Add(3, "/d/other.v", "module fast; endmodule");
  files.Set("/x/outside.vh", "`define SLOW slow");
  project.Update();

  files.Set("/d/defs.vh", "`define CELL slow");
  project.SetModified(1);
  EXPECT_TRUE(project.IsModified(2));
  EXPECT_FALSE(project.IsModified(3));
  EXPECT_EQ(project.Update(), 2u);

  project.SetPathModified("/x/outside.vh");
  EXPECT_TRUE(project.IsModified(2));
  EXPECT_FALSE(project.IsModified(1));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_EQ(TopNames(project), (std::vector<std::string>{"top", "fast"}));
}

TEST_F(ProjectTest, SettingsRescanTheFilesTheyAffect) {
  Add(1, "top.v", "module top; `ifdef FAST fast u (x); `else slow u (x); `endif endmodule");
  Add(2, "cells.v", "module fast; endmodule module slow; endmodule");
  Add(3, "e.vhd", "/* entity hidden is end; */ entity shown is end;");
  EXPECT_EQ(TopNames(project), (std::vector<std::string>{"fast", "top", "hidden", "shown"}));

  project.SetMacros({"FAST"});
  EXPECT_TRUE(project.IsModified(1));
  EXPECT_FALSE(project.IsModified(3));
  EXPECT_EQ(project.Update(), 2u);
  EXPECT_EQ(TopNames(project), (std::vector<std::string>{"top", "slow", "hidden", "shown"}));
  project.SetMacros({"FAST"});
  EXPECT_EQ(project.Update(), 0u);

  EXPECT_FALSE(project.SetVhdlStandard("2009"));
  EXPECT_TRUE(project.SetVhdlStandard("2008"));
  EXPECT_EQ(project.GetVhdlStandard(), VhdlStandard::k2008);
  EXPECT_FALSE(project.IsModified(1));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_EQ(TopNames(project), (std::vector<std::string>{"top", "slow", "shown"}));

  project.SetIncludeDirs({"inc"});
  EXPECT_EQ(project.Update(), 2u);
}

TEST_F(ProjectTest, RemovingAFileTakesItsUnitsAway) {
  Add(1, "leaf.vhd", "entity leaf is port (a : bit); end;");
  Add(2, "top.vhd", "entity top is end; architecture r of top is begin u : entity work.leaf port map (a); end;");
  EXPECT_EQ(TopNames(project), std::vector<std::string>{"top"});
  EXPECT_FALSE(project.AddFile(1, "again.vhd", 5));

  EXPECT_TRUE(project.Remove(1));
  EXPECT_FALSE(project.Remove(1));
  EXPECT_FALSE(project.Contains(1));
  EXPECT_EQ(project.FileCount(), 1u);
  EXPECT_EQ(Labels(project.GetCompileOrder().units), (std::vector<std::string>{"top", "top(r)"}));
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 1);

  // The handle may come back with another file.
  Add(1, "leaf2.vhd", "entity leaf is port (a : bit); end;");
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 0);
  EXPECT_EQ(project.PathOf(1), "leaf2.vhd");
}

TEST_F(ProjectTest, TiesGoByTheProjectOrderThenByAddition) {
  Add(1, "x.v", "module x; endmodule", 20);
  Add(2, "y.v", "module y; endmodule", 10);
  Add(3, "z.v", "module z; endmodule", 10);
  EXPECT_EQ(Labels(project.GetCompileOrder().units), (std::vector<std::string>{"y", "z", "x"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 3, 1}));
  project.SetOrder(1, 5);
  EXPECT_EQ(Labels(project.GetCompileOrder().units), (std::vector<std::string>{"x", "y", "z"}));
}

TEST_F(ProjectTest, ConfigurationsComeLastUnlessSomethingNeedsThem) {
  Add(1, "cfg.vhd", "configuration c1 of e is for a end for; end;");
  Add(2, "e.vhd", "entity e is end; architecture a of e is begin end;");
  Add(3, "u.vhd", "entity u is end; architecture a of u is begin i : configuration work.c2; end;");
  Add(4, "c2.vhd", "configuration c2 of e is for a end for; end;");
  EXPECT_EQ(Labels(project.GetCompileOrder().units), (std::vector<std::string>{"e", "e(a)", "u", "c2", "u(a)", "c1"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 4, 3, 1}));
}

TEST_F(ProjectTest, LibrariesScopeWhatNamesBindTo) {
  Add(1, "p.vhd", "package p is end;");
  Add(2, "u.vhd", "library lib2; use lib2.p.all; use outside.q.all; entity u is end;");
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 0);  // no project file in lib2
  project.SetLibrary(1, "other");
  project.AddFile(3, "lib2.vhd", 3, "LIB2");
  files.Set("lib2.vhd", "entity filler is end;");
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 1);
  project.SetLibrary(1, "lib2");
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 0);
  EXPECT_EQ(project.UnitsOf(1)[0].library, "lib2");
  EXPECT_EQ(Labels(project.GetCompileOrder("u").units), (std::vector<std::string>{"p", "u"}));
}

TEST_F(ProjectTest, DuplicatesAreReportedAndTheFirstIsUsed) {
  Add(1, "a.v", "module dup (input a); endmodule");
  Add(2, "b.v", "module dup; endmodule module Dup; endmodule");
  const std::vector<Message> messages = project.Messages();
  ASSERT_EQ(CountMessages(messages, MessageKind::kDuplicateUnit), 1);
  EXPECT_EQ(messages.back().file, 2u);
  const std::optional<HierarchyNode> tree = project.Hierarchy("dup");
  ASSERT_TRUE(tree.has_value());
  EXPECT_TRUE(tree->unit->hasPorts);
  EXPECT_EQ(tree->unit->file, 1u);
}

TEST_F(ProjectTest, UnknownTopsAndMissingFilesGiveMessages) {
  Add(1, "gone.vhd", "entity e is end;");
  files.Erase("gone.vhd");
  project.AddFile(2, "notes.txt", 2);
  EXPECT_TRUE(project.GetCompileOrder("nothing").units.empty());
  EXPECT_FALSE(project.Hierarchy("nothing").has_value());
  const std::vector<Message> messages = project.Messages();
  EXPECT_EQ(CountMessages(messages, MessageKind::kMissingFile), 1);
  EXPECT_EQ(CountMessages(messages, MessageKind::kUnknownLanguage), 1);
  EXPECT_EQ(CountMessages(messages, MessageKind::kUnknownTop), 1);  // asked twice, said once
  EXPECT_EQ(messages[0].file, 1u);
  EXPECT_EQ(messages[0].severity, Severity::kError);
}

TEST_F(ProjectTest, HierarchyStopsAtRecursionAndAtItsBound) {
  Add(1, "r.v", "module r (input a); r u_self (a); leaf u_leaf (a); endmodule module leaf (input a); endmodule");
  Add(2, "t.v", "module t; r u0 (x); r u1 (x); endmodule");
  std::optional<HierarchyNode> tree = project.Hierarchy("t");
  ASSERT_TRUE(tree.has_value());
  EXPECT_EQ(tree->instanceName, "");
  ASSERT_EQ(tree->children.size(), 2u);
  const HierarchyNode& u0 = tree->children[0];
  ASSERT_EQ(u0.children.size(), 2u);
  EXPECT_EQ(u0.children[0].path, "t/u0/u_self");
  EXPECT_TRUE(u0.children[0].recursive);
  EXPECT_TRUE(u0.children[0].children.empty());
  EXPECT_EQ(u0.children[1].path, "t/u0/u_leaf");
  EXPECT_EQ(TopNames(project), std::vector<std::string>{"t"});  // r instantiates itself but t does too

  project.SetMaxHierarchyNodes(3);
  tree = project.Hierarchy("t");
  ASSERT_TRUE(tree.has_value());
  EXPECT_EQ(tree->children.size(), 1u);
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kHierarchyLimit), 1);
}

TEST_F(ProjectTest, AConfigurationTopUsesItsArchitecture) {
  Add(1, "e.vhd",
      "entity e is end; architecture a1 of e is begin u : entity work.x; end;"
      "architecture a2 of e is begin v : entity work.y; end;");
  Add(2, "xy.vhd", "entity x is end; entity y is end;");
  Add(3, "c.vhd", "configuration c of e is for a1 end for; end;");
  std::optional<HierarchyNode> tree = project.Hierarchy("e");
  ASSERT_TRUE(tree.has_value());
  EXPECT_EQ(tree->architecture->Label(), "e(a2)");  // the last one compiled
  tree = project.Hierarchy("c");
  ASSERT_TRUE(tree.has_value());
  EXPECT_EQ(tree->unit->kind, UnitKind::kVhdlConfiguration);
  EXPECT_EQ(tree->architecture->Label(), "e(a1)");
  ASSERT_EQ(tree->children.size(), 1u);
  EXPECT_EQ(tree->children[0].path, "c/u");
  EXPECT_EQ(Labels(project.GetCompileOrder("c").units),
            (std::vector<std::string>{"e", "x", "e(a1)", "y", "e(a2)", "c"}));
}

TEST_F(ProjectTest, RelativePathsAreReadAgainstTheBaseDirectory) {
  files.Set("/proj/src/a.v", "`include \"defs.vh\"\nmodule a; `CELL u (x); endmodule");
  files.Set("/proj/inc/defs.vh", "`define CELL b");
  project.SetBaseDirectory("/proj");
  project.SetIncludeDirs({"inc"});
  project.AddFile(1, "src/a.v", 1);
  ASSERT_EQ(project.UnitsOf(1).size(), 1u);
  EXPECT_EQ(project.UnitsOf(1)[0].path, "src/a.v");
  const std::vector<Message> messages = project.Messages();  // module b is not in the project
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::kMissingUnit);
  EXPECT_EQ(files.Reads("/proj/inc/defs.vh"), 1);
}

// The definition data names the design-unit types the scanner gives its units.
TEST(UnitTypeNames, MatchTheDefinitionData) {
  std::ifstream in(HVD_DEFINITIONS_FILE);
  const std::string data((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(data.empty());
  for (UnitKind kind : {UnitKind::kVhdlEntity, UnitKind::kVhdlArchitecture, UnitKind::kVhdlPackage,
                        UnitKind::kVhdlPackageBody, UnitKind::kVerilogModule}) {
    EXPECT_NE(data.find(std::string("designUnitType name=\"") + UnitTypeName(kind) + "\""), std::string::npos)
        << UnitTypeName(kind);
  }
}

}  // namespace
