#pragma once
// Lookups in the elaborated HDL netlist of a view: nodes by instance path or by design-unit name,
// and a walk over a subtree. The tree belongs to the parser component; nothing is cached.

#include <cstdint>
#include <functional>

#include "CitI/IInterface.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IView.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

class CHdlNetListUtils {
 public:
  // The node's Tcl name, "" for null or for an object without one.
  static Port::StringBase<char> GetInstancePath(CitI::IInterface* node);
};

// The node of `node`'s subtree whose instance path is `path`, or null; no reference is added. Only
// the branches whose path leads to `path` are entered; a node with an empty path is never returned,
// a null start gives null, and children that are not netlist nodes are passed over.
IHdlNetListNode* FindNodeByInstancePath(IHdlNetListNode* node, const Port::StringBase<char>& path);
// The first node in pre-order, `node` included, whose design unit is named `name`, or null; no
// reference is added. A null start is reported to the user.
IHdlNetListNode* FindNodeByDuName(IHdlNetListNode* node, const Port::StringBase<char>& name);

// The same searches from the root of a view's netlist; the node comes with a reference for the
// caller. An empty path or name finds nothing.
Prjrep::AutoRelease<IHdlNetListNode> FindViewNodeByInstancePath(IView* view, const Port::StringBase<char>& path);
Prjrep::AutoRelease<IHdlNetListNode> FindViewNodeByDuName(IView* view, const Port::StringBase<char>& name);
// The node of the top whose unit is `name`, spelt so or else alike but for case, before the first
// node in pre-order below the tops; with a reference for the caller, or empty.
Prjrep::AutoRelease<IHdlNetListNode> FindViewTopByDuName(IView* view, const Port::StringBase<char>& name);
// The root of the view's netlist with a reference for the caller, or empty.
Prjrep::AutoRelease<IHdlNetListNode> GetViewNetListRoot(IView* view);

// Calls `visitor` with (node, 0) for `node` (also when null) and then for every node below it in
// pre-order.
using NetListVisitor = std::function<void(IHdlNetListNode* node, std::int32_t flags)>;
void WalkNetList(IHdlNetListNode* node, const NetListVisitor& visitor);

}  // namespace Hvd
