// Netlist lookups by instance path and by design-unit name, from a node and from a view, and the
// walk; every reference taken on the tree is given back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Port/MsgMan.h"
#include "framework/Holders.h"
#include "support/FakeNetlist.h"
#include "utils/NetlistLookup.h"

namespace {

using Hvd::IHdlNetListNode;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using testing_support::FakeNetlistView;
using testing_support::FakeNetNode;
using testing_support::NetlistObjects;

constexpr const char* kChildrenFailed = "ERROR: IHdlNetListNode::getChildren() did not return Success.\n";
constexpr const char* kChildrenMissing = "ERROR: IHdlNetListNode::getChildren() returned NULL.\n";

std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (const auto& record : Port_MsgManData::Captured()) texts.push_back(record.text);
  return texts;
}

IHdlNetListNode* Node(FakeNetNode* node) { return node; }

// root ("" / ROOT)
//   <sep>top (TOP)
//     <sep>top/u10 (MID)  -> <sep>top/u10/u2 (LEAF)
//     <sep>top/u1 (MID)   -> <sep>top/u1/u2 (LEAF)
// `sep` is "/" or "": instance paths with and without a leading separator.
class NetlistLookupTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    Port_MsgManData::ClearCaptured();
    const std::string s = GetParam();
    top = root.Add(s + "top", "TOP");
    u10 = top->Add(s + "top/u10", "MID");
    u10leaf = u10->Add(s + "top/u10/u2", "LEAF");
    u1 = top->Add(s + "top/u1", "MID");
    u1leaf = u1->Add(s + "top/u1/u2", "LEAF");
  }
  void TearDown() override {
    EXPECT_EQ(root.SubtreeReferences(), 0);
    EXPECT_EQ(NetlistObjects::s_alive, 0);
  }
  String P(const std::string& rest) const { return String(GetParam() + rest); }

  FakeNetNode root{"", "ROOT"};
  FakeNetNode* top = nullptr;
  FakeNetNode* u10 = nullptr;
  FakeNetNode* u10leaf = nullptr;
  FakeNetNode* u1 = nullptr;
  FakeNetNode* u1leaf = nullptr;
};

TEST_P(NetlistLookupTest, PathSearchDescendsOnlyAlongTheWantedBranch) {
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1/u2")), Node(u1leaf));
  // top/u10 followed by "/" does not begin top/u1/u2: neither entered nor its children read.
  EXPECT_EQ(u10->childrenCalls, 0);
  EXPECT_EQ(u10leaf->nameReads, 0);

  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u10/u2")), Node(u10leaf));
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top")), Node(top));
  EXPECT_EQ(Hvd::FindNodeByInstancePath(top, P("top/u1")), Node(u1));
  EXPECT_EQ(Hvd::FindNodeByInstancePath(u1leaf, P("top/u1/u2")), Node(u1leaf));

  // Not in the tree, outside the start's subtree, or only a prefix of a real path.
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u3")), nullptr);
  EXPECT_EQ(Hvd::FindNodeByInstancePath(u10, P("top/u1/u2")), nullptr);
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u")), nullptr);
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1/u2/deeper")), nullptr);
  EXPECT_TRUE(Texts().empty());
}

TEST_P(NetlistLookupTest, PathEqualToAChildsPathReturnsItWithoutLookingBelow) {
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), Node(u1));
  EXPECT_EQ(u1->childrenCalls, 0);
  EXPECT_EQ(u1leaf->nameReads, 0);
}

TEST_P(NetlistLookupTest, EmptyPathsAreNeverFound) {
  // The root's path is empty, and so is the wanted one: the search still walks below.
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, ""), nullptr);
  EXPECT_EQ(Hvd::FindNodeByInstancePath(nullptr, P("top")), nullptr);
}

TEST_P(NetlistLookupTest, SiblingWithTheSamePrefixIsSearchedAfterAFruitlessOne) {
  FakeNetNode* twin = root.Add(GetParam() + "top", "TWIN");
  FakeNetNode* inTwin = twin->Add(GetParam() + "top/u7", "LEAF");
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u7")), Node(inTwin));
  EXPECT_EQ(top->childrenCalls, 1);
}

TEST_P(NetlistLookupTest, ChildrenThatAreNotNodesArePassedOver) {
  // An entry without the node interface, whose name is empty or even the wanted path.
  root.Add("", "", false);
  top->Add(GetParam() + "top/u1", "STRAY", false);
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1/u2")), Node(u1leaf));
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), Node(u1));
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "STRAY"), nullptr);

  std::vector<CitI::IInterface*> seen;
  Hvd::WalkNetList(&root, [&](IHdlNetListNode* node, std::int32_t) { seen.push_back(node); });
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_TRUE(Texts().empty());
}

TEST_P(NetlistLookupTest, UnitNameSearchIsPreOrderFromTheStartNodeIncluded) {
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "ROOT"), Node(&root));
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "MID"), Node(u10));
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "LEAF"), Node(u10leaf));
  EXPECT_EQ(Hvd::FindNodeByDuName(u1, "LEAF"), Node(u1leaf));
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "leaf"), nullptr);
  EXPECT_EQ(Hvd::FindNodeByDuName(u1, "TOP"), nullptr);

  // A node without a design unit has the empty name.
  FakeNetNode* anonymous = u1->Add(GetParam() + "top/u1/anon", "");
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, ""), Node(anonymous));
  EXPECT_EQ(Hvd::FindNodeByDuName(anonymous, ""), Node(anonymous));
  EXPECT_TRUE(Texts().empty());
}

TEST_P(NetlistLookupTest, UnitNameSearchFromNullIsReportedToTheUser) {
  EXPECT_EQ(Hvd::FindNodeByDuName(nullptr, "TOP"), nullptr);
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].severity, Port_MsgManData::Severity::Error);
  EXPECT_EQ(records[0].category, "ProjectMgmt");
  EXPECT_EQ(records[0].source, "../src/DmUtils");
  EXPECT_EQ(records[0].line, 212);
  EXPECT_EQ(records[0].revision, "$Revision: 1.58 $");
  EXPECT_EQ(records[0].text, "Invalid argument for FindNodeByDuName: The iNode argument may not be NULL.\n");
}

TEST_P(NetlistLookupTest, FailingChildListsAndNames) {
  // A failing status with an iterator: reported, and the search carries on.
  top->childrenStatus = 0;
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), Node(u1));
  EXPECT_EQ(Texts(), std::vector<std::string>{kChildrenFailed});

  // No iterator at all: the branch ends there.
  Port_MsgManData::ClearCaptured();
  top->childrenMissing = true;
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), nullptr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kChildrenFailed, kChildrenMissing}));
  Port_MsgManData::ClearCaptured();
  top->childrenStatus = 1;
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "LEAF"), nullptr);
  EXPECT_EQ(Texts(), std::vector<std::string>{kChildrenMissing});

  // The walk reports nothing and simply stops there.
  Port_MsgManData::ClearCaptured();
  int visits = 0;
  Hvd::WalkNetList(&root, [&](IHdlNetListNode*, std::int32_t) { ++visits; });
  EXPECT_EQ(visits, 2);
  EXPECT_TRUE(Texts().empty());

  // A name that cannot be read is reported; what was written still counts.
  u1->nameStatus = 0;
  EXPECT_EQ(Hvd::CHdlNetListUtils::GetInstancePath(u1), P("top/u1"));
  EXPECT_EQ(Texts(),
            std::vector<std::string>{
                "ERROR: CHdlNetListUtils::GetInstancePath - ITclCollectable::GetName() did not return Success.\n"});
  EXPECT_EQ(Hvd::CHdlNetListUtils::GetInstancePath(nullptr), "");
}

TEST_P(NetlistLookupTest, WalkVisitsEveryNodeInPreOrder) {
  std::vector<std::pair<CitI::IInterface*, std::int32_t>> seen;
  Hvd::WalkNetList(&root, [&](IHdlNetListNode* node, std::int32_t flags) { seen.emplace_back(node, flags); });
  const std::vector<std::pair<CitI::IInterface*, std::int32_t>> expected{
      {Node(&root), 0}, {Node(top), 0}, {Node(u10), 0}, {Node(u10leaf), 0}, {Node(u1), 0}, {Node(u1leaf), 0}};
  EXPECT_EQ(seen, expected);

  seen.clear();
  Hvd::WalkNetList(nullptr, [&](IHdlNetListNode* node, std::int32_t flags) { seen.emplace_back(node, flags); });
  EXPECT_EQ(seen, (std::vector<std::pair<CitI::IInterface*, std::int32_t>>{{nullptr, 0}}));
}

TEST_P(NetlistLookupTest, ViewSearchesStartAtTheRootAndHandOutAReference) {
  FakeNetlistView view(&root);
  {
    AutoRelease<IHdlNetListNode> found(Hvd::FindViewNodeByInstancePath(&view, P("top/u1/u2")));
    EXPECT_EQ(found.Get(), Node(u1leaf));
    EXPECT_EQ(u1leaf->References(), 1);
    EXPECT_EQ(root.References(), 0);
    EXPECT_EQ(view.References(), 0);

    AutoRelease<IHdlNetListNode> byUnit(Hvd::FindViewNodeByDuName(&view, "MID"));
    EXPECT_EQ(byUnit.Get(), Node(u10));
    EXPECT_EQ(u10->References(), 1);

    AutoRelease<IHdlNetListNode> rootNode(Hvd::GetViewNetListRoot(&view));
    EXPECT_EQ(rootNode.Get(), Node(&root));
    EXPECT_EQ(root.References(), 1);
  }
  EXPECT_EQ(view.References(), 0);

  // An empty path or name is not looked up at all.
  const int opened = root.childrenCalls;
  EXPECT_EQ(Hvd::FindViewNodeByInstancePath(&view, ""), nullptr);
  EXPECT_EQ(Hvd::FindViewNodeByDuName(&view, ""), nullptr);
  EXPECT_EQ(root.childrenCalls, opened);
  EXPECT_EQ(Hvd::FindViewNodeByInstancePath(&view, P("top/u9")), nullptr);
  EXPECT_TRUE(Texts().empty());
}

TEST_P(NetlistLookupTest, ViewsWithoutANetlist) {
  const char* noData = "ERROR: Unable to get the IHdlElaborationData interface from the HDLView.\n";
  FakeNetlistView withoutData(&root, false);
  EXPECT_EQ(Hvd::FindViewNodeByInstancePath(&withoutData, P("top")), nullptr);
  EXPECT_EQ(Hvd::FindViewNodeByDuName(&withoutData, "TOP"), nullptr);
  EXPECT_EQ(Hvd::GetViewNetListRoot(&withoutData), nullptr);
  EXPECT_EQ(Hvd::GetViewNetListRoot(nullptr), nullptr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{noData, noData, noData, noData}));

  Port_MsgManData::ClearCaptured();
  FakeNetlistView withoutRoot(nullptr);
  EXPECT_EQ(Hvd::FindViewNodeByInstancePath(&withoutRoot, P("top")), nullptr);
  EXPECT_EQ(Hvd::GetViewNetListRoot(&withoutRoot), nullptr);
  EXPECT_EQ(withoutRoot.References(), 0);
  EXPECT_TRUE(Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(LeadingSeparator, NetlistLookupTest, ::testing::Values("/", ""),
                         [](const auto& info) { return info.param.empty() ? "Bare" : "Slash"; });

TEST(NetlistLookupWideTest, EachChildOfAWideNodeIsNamedOnceAndNothingIsLeftHeld) {
  FakeNetNode top("/top", "TOP");
  constexpr int kChildren = 5000;
  std::vector<FakeNetNode*> children;
  for (int i = 0; i < kChildren; ++i) children.push_back(top.Add("/top/u" + std::to_string(i), "CELL"));
  children.back()->Add("/top/u" + std::to_string(kChildren - 1) + "/x", "LAST");

  const String last("/top/u" + std::to_string(kChildren - 1) + "/x");
  IHdlNetListNode* byPath = Hvd::FindNodeByInstancePath(&top, last);
  ASSERT_NE(byPath, nullptr);
  for (FakeNetNode* child : children) ASSERT_EQ(child->nameReads, 1);
  // Only the one child whose path leads there was opened.
  int opened = 0;
  for (FakeNetNode* child : children) opened += child->childrenCalls;
  EXPECT_EQ(opened, 1);

  EXPECT_EQ(Hvd::FindNodeByDuName(&top, "LAST"), byPath);

  int visits = 0;
  Hvd::WalkNetList(&top, [&](IHdlNetListNode*, std::int32_t) { ++visits; });
  EXPECT_EQ(visits, kChildren + 2);
  EXPECT_EQ(top.SubtreeReferences(), 0);
  EXPECT_EQ(NetlistObjects::s_alive, 0);
}

}  // namespace
