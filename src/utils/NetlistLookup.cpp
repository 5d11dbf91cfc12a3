#include "utils/NetlistLookup.h"

#include <cstring>

#include <boost/algorithm/string/predicate.hpp>

#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr const char* kChildrenFailed = "ERROR: IHdlNetListNode::getChildren() did not return Success.\n";
constexpr const char* kChildrenMissing = "ERROR: IHdlNetListNode::getChildren() returned NULL.\n";
constexpr const char* kNoElaborationData = "ERROR: Unable to get the IHdlElaborationData interface from the HDLView.\n";

// The children of `node` for a search, with the search's diagnostics; null when there are none.
AutoRelease<IHdlNetListNodeIterator> ChildrenOf(IHdlNetListNode* node) {
  AutoRelease<IHdlNetListNodeIterator> children;
  if (node->GetChildren(children.Receive()) != kSuccess) Port_MsgManData::debugStub(kChildrenFailed);
  if (children.Get() == nullptr) Port_MsgManData::debugStub(kChildrenMissing);
  return children;
}

// Calls `visit` with each child that is a netlist node, in iterator order, until it returns true.
template <class Visit>
IHdlNetListNode* FirstChildFound(IHdlNetListNodeIterator* children, Visit&& visit) {
  for (std::ignore = children->First(); !children->IsDone(); std::ignore = children->Next()) {
    AutoCast<IHdlNetListNode> child(children->CurrentItem());
    // An entry that is not a node has no subtree to search.
    if (child.Get() == nullptr) continue;
    if (IHdlNetListNode* found = visit(child.Get())) return found;
  }
  return nullptr;
}

// The wanted path lies in the subtree of a node whose path is `prefix`: it is that path, or
// it continues it below a "/".
bool LeadsTo(const String& prefix, const String& path) {
  if (prefix == path) return true;
  const std::size_t n = prefix.size();
  return path.size() >= n + 1 && std::memcmp(path.data(), prefix.data(), n) == 0 && path.data()[n] == '/';
}

// `nodePath` is the node's instance path, already read by the caller.
IHdlNetListNode* FindByPath(IHdlNetListNode* node, const String& nodePath, const String& path) {
  if (!nodePath.empty() && nodePath == path) return node;
  AutoRelease<IHdlNetListNodeIterator> children = ChildrenOf(node);
  if (children.Get() == nullptr) return nullptr;
  return FirstChildFound(children.Get(), [&](IHdlNetListNode* child) -> IHdlNetListNode* {
    const String childPath = CHdlNetListUtils::GetInstancePath(child);
    return LeadsTo(childPath, path) ? FindByPath(child, childPath, path) : nullptr;
  });
}

String DesignUnitName(IHdlNetListNode* node) {
  String name;
  AutoRelease<Prjrep::IName> unit(node->GetDesignUnit());
  if (unit.Get() != nullptr) std::ignore = unit->GetName(name);
  return name;
}

// The view's elaboration data, or null with the diagnostic.
AutoRelease<IHdlElaborationData> ElaborationDataOf(IView* view) {
  AutoRelease<IHdlElaborationData> data;
  if (view != nullptr) std::ignore = view->GetElaborationData(data.Receive());
  if (data.Get() == nullptr) Port_MsgManData::debugStub(kNoElaborationData);
  return data;
}

AutoRelease<IHdlNetListNode> RootOf(IView* view) {
  AutoRelease<IHdlNetListNode> root;
  AutoRelease<IHdlElaborationData> data = ElaborationDataOf(view);
  if (data.Get() != nullptr) std::ignore = data->GetDesignGraph(root.Receive());
  return root;
}

template <class Find>
AutoRelease<IHdlNetListNode> FindInView(IView* view, const String& wanted, Find find) {
  if (wanted.empty()) return nullptr;
  AutoRelease<IHdlNetListNode> root = RootOf(view);
  if (root.Get() == nullptr) return nullptr;
  // The search lends the node; the caller gets a reference of its own.
  return AutoRelease<IHdlNetListNode>(Prjrep::AutoReturn<IHdlNetListNode>(find(root.Get(), wanted)).Get());
}

}  // namespace

String CHdlNetListUtils::GetInstancePath(CitI::IInterface* node) {
  String path;
  AutoCast<UtilI::ITclCollectable> collectable(node);
  if (collectable.Get() != nullptr && collectable->GetName(&path) != kSuccess) {
    Port_MsgManData::debugStub(
        "ERROR: CHdlNetListUtils::GetInstancePath - ITclCollectable::GetName() did not return Success.\n");
  }
  return path;
}

IHdlNetListNode* FindNodeByInstancePath(IHdlNetListNode* node, const String& path) {
  if (node == nullptr) return nullptr;
  return FindByPath(node, CHdlNetListUtils::GetInstancePath(node), path);
}

IHdlNetListNode* FindNodeByDuName(IHdlNetListNode* node, const String& name) {
  if (node == nullptr) {
    static const Port_MsgManData s_messages =
        Port_MsgManData::createObject("ProjectMgmt", "../src/DmUtils", 212, "$Revision: 1.58 $");
    s_messages.issueError("Invalid argument for FindNodeByDuName: The iNode argument may not be NULL.\n");
    return nullptr;
  }
  if (DesignUnitName(node) == name) return node;
  AutoRelease<IHdlNetListNodeIterator> children = ChildrenOf(node);
  if (children.Get() == nullptr) return nullptr;
  return FirstChildFound(children.Get(), [&](IHdlNetListNode* child) { return FindNodeByDuName(child, name); });
}

AutoRelease<IHdlNetListNode> FindViewNodeByInstancePath(IView* view, const String& path) {
  return FindInView(view, path, FindNodeByInstancePath);
}

AutoRelease<IHdlNetListNode> FindViewNodeByDuName(IView* view, const String& name) {
  return FindInView(view, name, FindNodeByDuName);
}

// A top is one of the graph's tops: those are looked at first, by the parser's rule for names too
// (a VHDL name has no case), so that a name spelt otherwise than its unit does not send the search
// through every node below them.
AutoRelease<IHdlNetListNode> FindViewTopByDuName(IView* view, const String& name) {
  return FindInView(view, name, [](IHdlNetListNode* root, const String& wanted) -> IHdlNetListNode* {
    if (DesignUnitName(root) == wanted) return root;
    IHdlNetListNode* alike = nullptr;
    if (AutoRelease<IHdlNetListNodeIterator> tops = ChildrenOf(root); tops.Get() != nullptr) {
      IHdlNetListNode* same = FirstChildFound(tops.Get(), [&](IHdlNetListNode* top) -> IHdlNetListNode* {
        const String unit = DesignUnitName(top);
        if (unit == wanted) return top;
        if (alike == nullptr && boost::algorithm::iequals(unit.str(), wanted.str())) alike = top;
        return nullptr;
      });
      if (same != nullptr) return same;
    }
    return alike != nullptr ? alike : FindNodeByDuName(root, wanted);
  });
}

AutoRelease<IHdlNetListNode> GetViewNetListRoot(IView* view) { return RootOf(view); }

void WalkNetList(IHdlNetListNode* node, const NetListVisitor& visitor) {
  visitor(node, 0);
  if (node == nullptr) return;
  AutoRelease<IHdlNetListNodeIterator> children;
  std::ignore = node->GetChildren(children.Receive());
  if (children.Get() == nullptr) return;
  FirstChildFound(children.Get(), [&](IHdlNetListNode* child) -> IHdlNetListNode* {
    WalkNetList(child, visitor);
    return nullptr;
  });
}

}  // namespace Hvd
