// The opened project's top-module check: the synthesis view's top unit and the file it is in.

#include "project/TopModule.h"

#include <vector>

#include "Hvd/IHdlFile.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "utils/KeyedProperty.h"
#include "utils/NetlistLookup.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// The name of the design unit the node instantiates; empty for a node without one.
String UnitNameOf(IHdlNetListNode* node) {
  String name;
  Prjrep::AutoRelease<Prjrep::IName> unit(node->GetDesignUnit());
  if (unit) std::ignore = unit->GetName(name);
  return name;
}

// The path of the file the node's design unit comes from, as the view records its own top's.
String UnitFileOf(IHdlNetListNode* node) {
  Prjrep::AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
  Prjrep::AutoRelease<IHdlFile> file;
  String directory, name;
  if (Prjrep::AutoCast<IHdlElement> element(unit.Get()); element) std::ignore = element->GetSourceFile(file.Receive());
  if (!file || file->GetPath(&directory, &name) != kSuccess) return String();
  return String(directory.str() + name.str());
}

// The nodes below `node`, in the order it gives them.
std::vector<Prjrep::AutoPtr<IHdlNetListNode>> ChildrenOf(IHdlNetListNode* node) {
  std::vector<Prjrep::AutoPtr<IHdlNetListNode>> children;
  Prjrep::AutoRelease<IHdlNetListNodeIterator> it;
  if (node->GetChildren(it.Receive()) != kSuccess || !it) return children;
  for (std::ignore = it->First(); !it->IsDone(); std::ignore = it->Next()) {
    if (Prjrep::AutoCast<IHdlNetListNode> child(it->CurrentItem()); child) children.emplace_back(child.Get());
  }
  return children;
}

}  // namespace

bool FindTopUnitFile(const String& name, IHdlNetListNode* node, String* path) {
  if (node == nullptr) return false;
  if (UnitNameOf(node) == name) {
    *path = UnitFileOf(node);
    return true;
  }
  const std::vector<Prjrep::AutoPtr<IHdlNetListNode>> children = ChildrenOf(node);
  for (const auto& child : children) {
    if (UnitNameOf(child.Get()) != name) continue;
    *path = UnitFileOf(child.Get());
    return true;
  }
  for (const auto& child : children) {
    if (FindTopUnitFile(name, child.Get(), path)) return true;
  }
  return false;
}

void CheckTopModule(IDesign* design) {
  Prjrep::AutoCast<IViewManager> views(design);
  Prjrep::AutoRelease<IViewIterator> at;
  if (!views || views->FindViewByHint("SynthesisOnly", at.Receive()) != kSuccess || !at || at->IsDone()) return;
  IView* view = at->Current();
  String top;
  std::ignore = view->GetTopName(&top);
  Prjrep::AutoCast<IHdlDesignUnitSet> units(view);
  const bool hasUnits = units && units->Size() > 0;
  String topFile, topUnit;
  if (Prjrep::AutoCast<IKeyedPropertySet>(view)) {
    topFile = GetKeyedPropertyValue(view, "TOPDUFILE");
    topUnit = GetKeyedPropertyValue(view, "TOPDESIGNUNIT");
  }
  if (!topUnit.empty() && !top.empty() && topFile.empty() && hasUnits) {
    Port_MsgManData::debugStub("Need to set top instance on SynthesisOnly view\n");
    Prjrep::AutoRelease<IHdlNetListNode> root = GetViewNetListRoot(view);
    String path;
    std::ignore = FindTopUnitFile(top, root.Get(), &path);
    SetKeyedPropertyValue(view, "TOPDUFILE", path);
  }
  if (top.empty() && hasUnits) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, "")
        .issueInfo(
            "No valid implementable Top module is detected in this project.  In order to implement the design, an "
            "implementable module such as HDL, Schematic, or netlist should be added to the project and set as Top "
            "module.\n");
  }
}

}  // namespace Hvd
