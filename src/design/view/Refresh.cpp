// The refresh: what the view recomputes after its files or settings changed, run at once or
// held back while a batch is open and then run once, at the end of the last batch.

#include "Hvd/EventIds.h"
#include "design/view/CView.h"

namespace Hvd {

void CView::RefreshAfterChange() {
  if (Port::SafeRead(m_batchCount) >= 1 || m_refreshing) {
    m_refreshPending = true;
    return;
  }
  Refresh();
}

void CView::Refresh() {
  Prjrep::AutoPtr<IView> keep(&m_XIView);  // a receiver may let go of the view
  m_refreshing = true;
  std::ignore = InitializeHDLPackageWrapper();
  m_compileOrderDirty = true;
  UpdateTopUnit();
  std::ignore = SendEvent(&m_XIView, EventId::ViewChanged(), &m_eventSender);
  m_refreshPending = false;
  m_refreshing = false;
}

// The count is read once more before the refresh: a batch begun meanwhile takes the pending
// refresh over. A count below zero (an end without a begin) counts as no batch open. A batch
// ended by a receiver of this view's own refresh leaves the refresh to finish.
Status CView::XIBatchDelay::EndBatch() {
  CView& self = This();
  if (Port::SafeDecr(self.m_batchCount) < 1 && self.m_refreshPending && !self.m_refreshing &&
      Port::SafeRead(self.m_batchCount) < 1)
    self.Refresh();
  return kSuccess;
}

}  // namespace Hvd
