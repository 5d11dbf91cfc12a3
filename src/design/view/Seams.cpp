// What the view answers for the compile order, the top unit and the hierarchy
// until those are built: every such operation checks its arguments, clears its outputs and
// answers "not supported"; the updates that a refresh asks for do nothing.

#include "core/Diagnostics.h"
#include "design/view/CView.h"

namespace Hvd {

Status CView::GetCompileOrder(IHdlDesignUnit*, std::uint32_t, bool, IHdlFileIterator** files) {
  if (files == nullptr) return Fail(kBadParameters, "Error: CView::GetCompileOrder() - Bad parameters.\n");
  *files = nullptr;
  return kNotSupported;
}

void CView::UpdateTopUnit() {}

IView* CView::FindMajorView() { return nullptr; }

Status CView::XIViewInternal::DetermineCompileOrderAutomatically(IHdlDesignUnit*, bool) { return kNotSupported; }

Status CView::XIView::GetTopName(String* name) {
  if (name == nullptr)
    return Fail(kInvalidParameter, "ERROR: IView::GetTopName() - Invalid argument: the du name may not be NULL.\n");
  return kNotSupported;
}

Status CView::XIView::GetTopInstance(String* path) {
  if (path == nullptr)
    return Fail(kInvalidParameter,
                "ERROR: IView::GetTopInstance() - Invalid argument; pInstancePath may not be NULL.\n");
  *path = String();
  return kNotSupported;
}

Status CView::XIView::SetTopInstance(const String&) { return kNotSupported; }

Status CView::XIView::FindBestTopNode(IHdlNetListNode** node) {
  if (node != nullptr) *node = nullptr;
  return kNotSupported;
}

Status CView::XIHdlElaborationData::GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) {
  if (top != nullptr)
    std::ignore =
        Fail(kFailure, "WARNING: XIHdlElaborationData::getCompileOrder - Ignoring _pIHdlNetListNodeTopNode value.\n");
  if (files == nullptr)
    return Fail(kBadParameters, "WARNING: XIHdlElaborationData::getCompileOrder - Invalid parameter(s).\n");
  return This().GetCompileOrder(nullptr, 0, This().GetAutoCompileOrder(), files);
}

Status CView::XIHdlElaborationData::GetDesignGraph(IHdlNetListNode** root) {
  if (root == nullptr)
    return Fail(kBadParameters, "Error: XIHdlElaborationData::getDesignGraph - Invalid parameter(s).\n");
  *root = nullptr;
  return kNotSupported;
}

}  // namespace Hvd
