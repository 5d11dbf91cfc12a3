// Hierarchies walked node by node against the whole trees, through edits; the gathered messages
// against those of a project built afresh.

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

std::string FieldsText(const HierarchyNode& node) {
  std::string text = node.path + "|" + node.instanceName + "|" + node.unitName;
  if (node.unit) text += "|" + node.unit->Label() + "@" + std::to_string(node.unit->file) + ":" + std::to_string(node.unit->line);
  if (node.architecture) text += "|" + node.architecture->Label();
  if (node.recursive) text += "|recursive";
  return text + "\n";
}

std::string TreeText(const HierarchyNode& node) {
  std::string text = FieldsText(node);
  for (const HierarchyNode& child : node.children) text += TreeText(child);
  return text;
}

std::string WalkText(const HierarchyCursor& cursor) {
  EXPECT_TRUE(cursor.Node().children.empty());
  std::string text = FieldsText(cursor.Node());
  for (const HierarchyCursor& child : cursor.Children()) text += WalkText(child);
  return text;
}

// Every top candidate and a few named tops, as whole trees and as walks.
std::pair<std::string, std::string> Both(Project& project) {
  std::vector<std::string> tops;
  for (const TopCandidate& top : project.TopCandidates()) tops.emplace_back(top.unit.name);
  for (const char* name : {"e", "c", "r", "mid"}) tops.emplace_back(name);
  std::string whole, walked;
  for (const std::string& top : tops) {
    const std::optional<HierarchyNode> tree = project.Hierarchy(top);
    const std::optional<HierarchyCursor> root = project.HierarchyRoot(top);
    EXPECT_EQ(tree.has_value(), root.has_value()) << top;
    whole += tree ? TreeText(*tree) : "none\n";
    walked += root ? WalkText(*root) : "none\n";
  }
  return {whole, walked};
}

const char* const kFiles[][2] = {
    {"e.vhd",
     "entity e is port (x : bit); end;"
     "architecture a1 of e is begin g : for i in 0 to 1 generate u : entity work.leaf; end generate; end;"
     "architecture a2 of e is begin v : entity work.mid; w : entity work.e(a1); end;"},
    {"leaf.vhd", "entity leaf is port (x : bit); end; architecture r of leaf is begin end;"},
    {"mid.v", "module mid (input a); leaf l0 (a); b : begin leaf l1 (a); end mid_gone m (a); endmodule"},
    {"c.vhd", "configuration c of e is for a1 end for; end;"},
    {"r.v", "module r (input a); r u_self (a); mid u_mid (a); endmodule"},
    {"t.v", "module t; e u_e (x); r u_r (x); mid u_mid (x); endmodule"},
};

TEST(LazyHierarchy, WalkedNodeByNodeItGivesTheWholeTreeAfterEveryEdit) {
  MemoryFiles files;
  Project project;
  project.SetReader(files.GetReader());
  FileHandle handle = 0;
  for (const auto& [path, text] : kFiles) {
    files.Set(path, text);
    ++handle;
    ASSERT_TRUE(project.AddFile(handle, path, static_cast<std::int64_t>(handle)));
    const auto [whole, walked] = Both(project);
    EXPECT_EQ(walked, whole) << "after adding " << path;
  }
  // Unit recursion through an entity's other architecture, and the self-instance of r.
  EXPECT_NE(Both(project).first.find("|recursive"), std::string::npos);
  // A cut tree is the same one, with its message once.
  project.SetMaxHierarchyNodes(4);
  auto [whole, walked] = Both(project);
  EXPECT_EQ(walked, whole);
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kHierarchyLimit) > 0, true);
  project.SetMaxHierarchyNodes(1000);

  files.Set("mid.v", "module mid (input a); leaf l0 (a); endmodule module mid_gone (input a); endmodule");
  ASSERT_TRUE(project.SetModified(3));
  std::tie(whole, walked) = Both(project);
  EXPECT_EQ(walked, whole) << "after a change";
  ASSERT_TRUE(project.SetLibrary(2, "other"));
  std::tie(whole, walked) = Both(project);
  EXPECT_EQ(walked, whole) << "after a library change";
  for (FileHandle removed : {5u, 2u, 1u}) {
    ASSERT_TRUE(project.Remove(removed));
    std::tie(whole, walked) = Both(project);
    EXPECT_EQ(walked, whole) << "after removing " << removed;
  }
}

// Cut at any bound, a walk is the whole tree cut there: an entity reached through both its
// architectures or met again through another, and instances that come round.
TEST(LazyHierarchy, CutAtAnyBoundItIsTheWholeTreeCutThere) {
  MemoryFiles files;
  Project project;
  project.SetReader(files.GetReader());
  files.Set("c.vhd",
            "entity c0 is end; architecture r of c0 is begin end; entity c1 is end; entity c2 is end;"
            "architecture r of c1 is begin a : entity work.c0; b : entity work.c0; end;"
            "architecture b of c1 is begin a : entity work.c0; end;"
            "architecture r of c2 is begin a : entity work.c1(r); b : entity work.c1; end;"
            "architecture b of c2 is begin a : entity work.c1(b); b : entity work.c2(r); c : entity work.c1; end;");
  files.Set("ring.v", "module m0; m2 a (); m1 b (); endmodule module m1; m0 a (); m0 b (); m2 c (); endmodule"
                      "module m2; m1 a (); m1 b (); endmodule module rt; m2 u (); m0 v (); endmodule");
  ASSERT_TRUE(project.AddFile(1, "c.vhd", 1) && project.AddFile(2, "ring.v", 2));
  for (const char* top : {"c2", "rt"}) {
    for (std::size_t bound = 1; bound < 40; ++bound) {
      project.SetMaxHierarchyNodes(bound);
      const std::string walked = WalkText(*project.HierarchyRoot(top));
      EXPECT_EQ(walked, TreeText(*project.Hierarchy(top))) << top << " cut at " << bound;
    }
  }
}

TEST(LazyHierarchy, ACursorKeepsTheProjectAsItWasWhenMadeAndOutlivesIt) {
  MemoryFiles files;
  std::optional<HierarchyCursor> root;
  std::string before;
  {
    Project project;
    project.SetReader(files.GetReader());
    FileHandle handle = 0;
    for (const auto& [path, text] : kFiles) {
      files.Set(path, text);
      ++handle;
    ASSERT_TRUE(project.AddFile(handle, path, static_cast<std::int64_t>(handle)));
    }
    root = project.HierarchyRoot("t");
    ASSERT_TRUE(root.has_value());
    before = TreeText(*project.Hierarchy("t"));
    // Nothing below the top is made yet: what the edits change must not reach it.
    ASSERT_TRUE(project.Remove(2) && project.Remove(3));
    files.Set("e.vhd", "entity e is end; architecture z of e is begin end;");
    ASSERT_TRUE(project.SetModified(1));
    EXPECT_NE(TreeText(*project.Hierarchy("t")), before);
    EXPECT_EQ(WalkText(*root), before);
  }
  EXPECT_EQ(WalkText(*root), before);  // the names stay with the cursor
  EXPECT_FALSE(Project().HierarchyRoot("t").has_value());
}

TEST(GatheredMessages, FollowEveryEditAsAFreshProjectGivesThem) {
  MemoryFiles files;
  Project project;
  project.SetReader(files.GetReader());
  auto said = [](const std::vector<Message>& messages) {
    std::string text;
    for (const Message& message : messages) text += message.path + ":" + std::to_string(message.line) + " " + message.text + "\n";
    return text;
  };
  auto fresh = [&](const std::vector<std::pair<FileHandle, std::string>>& in) {
    Project again;
    again.SetReader(files.GetReader());
    for (const auto& [handle, path] : in) EXPECT_TRUE(again.AddFile(handle, path, static_cast<std::int64_t>(handle)));
    return said(again.Messages());
  };
  std::vector<std::pair<FileHandle, std::string>> in;
  FileHandle handle = 0;
  for (const auto& [path, text] : kFiles) {
    files.Set(path, text);
    in.emplace_back(++handle, path);
    ASSERT_TRUE(project.AddFile(handle, path, static_cast<std::int64_t>(handle)));
    EXPECT_EQ(said(project.Messages()), fresh(in)) << path;
  }
  ++handle;
  ASSERT_TRUE(project.AddFile(handle, "gone.v", static_cast<std::int64_t>(handle)));
  in.emplace_back(handle, "gone.v");
  EXPECT_FALSE(project.HierarchyRoot("nothing").has_value());  // a query's message joins them
  const std::string withQuery = said(project.Messages());
  EXPECT_NE(withQuery.find("no entity, module or configuration 'nothing'"), std::string::npos);
  EXPECT_EQ(Kinds(project.ScanMessagesOf(handle)), std::vector<MessageKind>{MessageKind::kMissingFile});
  EXPECT_TRUE(project.ScanMessagesOf(1).empty() && project.ScanMessagesOf(99).empty());
  ASSERT_TRUE(project.Remove(3));
  in.erase(in.begin() + 2);
  EXPECT_EQ(said(project.Messages()), fresh(in));
}

}  // namespace
