// Netlist lookups by instance path and by design-unit name, from a node and from a view, and the
// walk; every reference taken on the tree is given back.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "Port/MsgMan.h"
#include "core/Holders.h"
#include "support/FakeNetlist.h"
#include "utils/NetlistLookup.h"

namespace {

using Hvd::IHdlNetListNode;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using testing_support::FakeNetlistView;
using testing_support::FakeNetNode;
using testing_support::NetlistObjects;
using Texts = std::vector<std::string>;

constexpr const char* kChildrenFailed = "ERROR: IHdlNetListNode::getChildren() did not return Success.\n";
constexpr const char* kChildrenMissing = "ERROR: IHdlNetListNode::getChildren() returned NULL.\n";

Texts Captured() {
  Texts texts;
  for (const auto& record : Port_MsgManData::Captured()) texts.push_back(record.text);
  Port_MsgManData::ClearCaptured();
  return texts;
}

// The nodes a walk from `start` visits, in order.
std::vector<IHdlNetListNode*> Walked(IHdlNetListNode* start) {
  std::vector<IHdlNetListNode*> seen;
  Hvd::WalkNetList(start, [&](auto* node, std::int32_t flags) {
    EXPECT_EQ(flags, 0);
    seen.push_back(node);
  });
  return seen;
}

// root ("" / ROOT)
//   <sep>top (TOP)
//     <sep>top/u10 (MID)  -> <sep>top/u10/u2 (LEAF)
//     <sep>top/u1 (MID)   -> <sep>top/u1/u2 (LEAF)
// `sep` is "/" or "": instance paths with and without a leading separator.
class NetlistLookupTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { Port_MsgManData::ClearCaptured(); }
  void TearDown() override { EXPECT_TRUE(root.SubtreeReferences() == 0 && NetlistObjects::s_alive == 0); }
  String P(const std::string& rest) const { return String(GetParam() + rest); }

  FakeNetNode root{"", "ROOT"};
  FakeNetNode* top = root.Add(GetParam() + "top", "TOP");
  FakeNetNode* u10 = top->Add(GetParam() + "top/u10", "MID");
  FakeNetNode* u10leaf = u10->Add(GetParam() + "top/u10/u2", "LEAF");
  FakeNetNode* u1 = top->Add(GetParam() + "top/u1", "MID");
  FakeNetNode* u1leaf = u1->Add(GetParam() + "top/u1/u2", "LEAF");
};

// Entries without the node interface are passed over, whatever their name.
TEST_P(NetlistLookupTest, PathSearchFindsExactPathsInTheStartsSubtreeAndTheWalkVisitsEveryNode) {
  root.Add("", "", false);
  top->Add(GetParam() + "top/u1", "STRAY", false);
  // Found; then not in the tree, outside the start's subtree, a prefix of a real path, below a leaf.
  const std::vector<std::tuple<FakeNetNode*, std::string, FakeNetNode*>> cases = {
      {&root, "top/u1/u2", u1leaf}, {&root, "top/u10/u2", u10leaf}, {&root, "top", top},
      {top, "top/u1", u1},          {u1leaf, "top/u1/u2", u1leaf},  {&root, "top/u3", nullptr},
      {u10, "top/u1/u2", nullptr},  {&root, "top/u", nullptr},      {&root, "top/u1/u2/deeper", nullptr}};
  for (const auto& [start, path, found] : cases) EXPECT_EQ(Hvd::FindNodeByInstancePath(start, P(path)), found) << path;
  EXPECT_EQ(u10leaf->childrenCalls, 0) << "a match is not looked below";
  // The root's path is empty, and so is the wanted one; a null start finds nothing.
  EXPECT_FALSE(Hvd::FindNodeByInstancePath(&root, "") || Hvd::FindNodeByInstancePath(nullptr, P("top")) ||
               Hvd::FindNodeByDuName(&root, "STRAY"));
  EXPECT_EQ(Walked(&root), (std::vector<IHdlNetListNode*>{&root, top, u10, u10leaf, u1, u1leaf}));
  EXPECT_EQ(Walked(nullptr), std::vector<IHdlNetListNode*>{nullptr});
  // A sibling with the same path is searched after a fruitless one.
  FakeNetNode* inTwin = root.Add(GetParam() + "top", "TWIN")->Add(GetParam() + "top/u7", "LEAF");
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u7")), inTwin);
  EXPECT_TRUE(Captured().empty());
}

TEST_P(NetlistLookupTest, UnitNameSearchIsPreOrderFromTheStartNodeIncluded) {
  FakeNetNode* anonymous = u1->Add(GetParam() + "top/u1/anon", "");  // no design unit: the empty name
  const std::vector<std::tuple<FakeNetNode*, const char*, FakeNetNode*>> cases = {
      {&root, "ROOT", &root},   {&root, "MID", u10},  {&root, "LEAF", u10leaf}, {u1, "LEAF", u1leaf},
      {&root, "leaf", nullptr}, {u1, "TOP", nullptr}, {&root, "", anonymous}};
  for (const auto& [start, name, found] : cases) EXPECT_EQ(Hvd::FindNodeByDuName(start, name), found) << name;
  EXPECT_TRUE(Captured().empty());
  EXPECT_EQ(Hvd::FindNodeByDuName(nullptr, "TOP"), nullptr);
  EXPECT_EQ(Captured(), Texts{"Invalid argument for FindNodeByDuName: The iNode argument may not be NULL.\n"});
}

TEST_P(NetlistLookupTest, FailingChildListsAndNames) {
  // A failing status with an iterator: reported, and the search carries on.
  top->childrenStatus = Hvd::kFailure;
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), u1);
  EXPECT_EQ(Captured(), Texts{kChildrenFailed});
  // No iterator at all: the branch ends there; the walk reports nothing and stops there.
  top->childrenMissing = true;
  EXPECT_EQ(Hvd::FindNodeByInstancePath(&root, P("top/u1")), nullptr);
  EXPECT_EQ(Captured(), (Texts{kChildrenFailed, kChildrenMissing}));
  top->childrenStatus = Hvd::kSuccess;
  EXPECT_EQ(Hvd::FindNodeByDuName(&root, "LEAF"), nullptr);
  EXPECT_EQ(Walked(&root), (std::vector<IHdlNetListNode*>{&root, top}));
  EXPECT_EQ(Captured(), Texts{kChildrenMissing}) << "the walk reports nothing";
  // A name that cannot be read is reported; what was written still counts.
  u1->nameStatus = Hvd::kFailure;
  EXPECT_EQ(Hvd::CHdlNetListUtils::GetInstancePath(u1), P("top/u1"));
  EXPECT_EQ(Captured(),
            Texts{"ERROR: CHdlNetListUtils::GetInstancePath - ITclCollectable::GetName() did not return Success.\n"});
}

TEST_P(NetlistLookupTest, ViewSearchesStartAtTheRootAndHandOutAReference) {
  FakeNetlistView view(&root);
  {
    AutoRelease<IHdlNetListNode> byPath = Hvd::FindViewNodeByInstancePath(&view, P("top/u1/u2"));
    AutoRelease<IHdlNetListNode> byUnit = Hvd::FindViewNodeByDuName(&view, "MID");
    AutoRelease<IHdlNetListNode> rootNode = Hvd::GetViewNetListRoot(&view);
    EXPECT_EQ((std::vector<IHdlNetListNode*>{byPath.Get(), byUnit.Get(), rootNode.Get()}),
              (std::vector<IHdlNetListNode*>{u1leaf, u10, &root}));
    EXPECT_EQ((std::vector<int>{u1leaf->References(), u10->References(), root.References(), view.References()}),
              (std::vector<int>{1, 1, 1, 0}));
  }
  // An empty path or name is not looked up at all.
  const int opened = root.childrenCalls;
  EXPECT_FALSE(Hvd::FindViewNodeByInstancePath(&view, "").Get() || Hvd::FindViewNodeByDuName(&view, "").Get());
  EXPECT_EQ(root.childrenCalls, opened);
  EXPECT_EQ(Hvd::FindViewNodeByInstancePath(&view, P("top/u9")).Get(), nullptr);
  EXPECT_TRUE(view.References() == 0 && Captured().empty());
  // Views without elaboration data are reported; a view without a root is not.
  const char* noData = "ERROR: Unable to get the IHdlElaborationData interface from the HDLView.\n";
  FakeNetlistView withoutData(&root, false), withoutRoot(nullptr);
  EXPECT_FALSE(Hvd::FindViewNodeByInstancePath(&withoutData, P("top")).Get() ||
               Hvd::FindViewNodeByDuName(&withoutData, "TOP").Get() || Hvd::GetViewNetListRoot(nullptr).Get());
  EXPECT_EQ(Captured(), (Texts{noData, noData, noData}));
  EXPECT_FALSE(Hvd::FindViewNodeByInstancePath(&withoutRoot, P("top")).Get() ||
               Hvd::GetViewNetListRoot(&withoutRoot).Get());
  EXPECT_TRUE(withoutRoot.References() == 0 && Captured().empty());
}

INSTANTIATE_TEST_SUITE_P(LeadingSeparator, NetlistLookupTest, ::testing::Values("/", ""),
                         [](const auto& info) { return info.param.empty() ? "Bare" : "Slash"; });

}  // namespace
