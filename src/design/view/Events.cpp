// What the view does with the events of its files, its libraries, other views and its own
// setting instances.

#include "Hvd/EventIds.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/NetlistLookup.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

// Sent by a property instance, as its sender, when its value changed.
CITI_DEFINE_ID(PropertyChanged, "{37A5117E-576E-4170-AE29-EB1EF84875D0}")


bool NewBool(CitI::IInterface* instance) {
  AutoCast<IBoolPropertyInstance> flag(instance);
  bool value = false;
  return flag && flag->GetBool(&value) == kSuccess && value;
}

}  // namespace

Status CView::HandleEvent(CView* self, Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: View::HandleEvent - Invalid Parameter.\n");
  AutoPtr<IView> keep(&self->m_XIView);
  Port::XUID id;
  std::ignore = event->GetEventId(id);
  // Whatever a file of the view tells may concern what the parser was handed of it.
  AutoRelease<CitI::IInterface> sender;
  {
    AutoRelease<CitI::IInterface> about;
    std::ignore = event->GetSender(sender.Receive());
    std::ignore = event->GetArgument(about.Receive());
    self->NoteFileEvent(sender.Get());
    if (RootOf(about.Get()) != RootOf(sender.Get())) self->NoteFileEvent(about.Get());
  }
  if (id == EventId::ViewChanged() || id == EventId::LibraryMembership()) {
    if (id == EventId::LibraryMembership()) self->ForgetTopRootWeightsOf(sender.Get());
    self->OnChange();
  } else if (id == EventId::FileModified()) {
    if (self->GetDisableAutoHierRegen()) {
      self->OnChange();
    } else {
      AutoRelease<CitI::IInterface> argument;
      std::ignore = event->GetArgument(argument.Receive());
      std::ignore = SendEvent(&self->m_XIView, EventId::ForwardedChange(), argument.Get());
      self->RefreshAfterChange();
    }
  } else if (id == EventId::HdlFileEvent()) {
    AutoRelease<CitI::IInterface> argument;
    std::ignore = event->GetArgument(argument.Receive());
    if (self->DropFileQuietly(argument.Get())) self->FollowDroppedFile();
  } else if (id == EventId::FileChanged()) {
    // A file of the view that is the user's again and of a kind the view does not take leaves
    // it at once, whether or not the view reads its sources' includes now. A view parsing now
    // lets it go after its look, with its managed files.
    if (self->m_quietReads == 0 && self->HoldsUntakenUserFile(sender.Get()) && self->DropFileQuietly(sender.Get()))
      self->FollowDroppedFile();
  } else if (id == PropertyChanged()) {
    AutoRelease<CitI::IInterface> sender;
    std::ignore = event->GetSender(sender.Receive());
    if (AutoCast<IPropertyInstance> instance(sender.Get()); instance) self->OnPropertyChanged(instance.Get());
  }
  return kSuccess;
}

// The parser's mirror, the order and the top still hold the file: they follow as a refresh would
// make them, but without the view's change event, since the file left quietly. Within a batch
// the refresh at its end does it.
void CView::FollowDroppedFile() {
  if (Port::SafeRead(m_batchCount) >= 1 || m_refreshing) {
    m_refreshPending = true;
    return;
  }
  std::ignore = InitializeHDLPackageWrapper();
  m_compileOrderDirty = true;
  if (!GetDisableAutoHierRegen()) UpdateTopUnit();
}

bool CView::DropFileQuietly(CitI::IInterface* file) {
  AutoPtr<IHdlDesignUnit> unit(file);
  if (!unit || !m_XIDesignUnitSet.EraseEntryOf(unit.Get())) return false;
  std::ignore = RemoveViewFromFile(unit.Get());
  std::ignore = UnRegisterForNotifications(unit.Get());
  return true;
}

void CView::LookAgainForIncludes() {
  if (!IsMajorView(&m_XIView)) return;
  // Its files are as they were, so the parser would hand the hierarchy back unchanged, and the
  // view would never take its managed files again from it.
  if (m_wrapper) m_wrapper->ForgetHierarchy();
  m_includesMayChange = true;
  OnChange();
}

// With hierarchy regeneration left to the user, a change only marks the compile order and
// drops the parser's messages, which no longer fit.
void CView::OnChange() {
  if (GetDisableAutoHierRegen()) {
    m_compileOrderDirty = true;
    std::ignore = CHdlPackageWrapper::RemoveParserMessageFile();
    return;
  }
  RefreshAfterChange();
}

// Each branch raises the nesting depth: a write the view makes itself arrives with the depth
// at 1 already, so the branches see 2 and leave it alone.
void CView::OnPropertyChanged(CitI::IInterface* instance) {
  CitI::IInterface* changed = RootOf(instance);
  const auto is = [&](const String& key) {
    AutoRelease<IPropertyInstance> own = m_properties.GetProperty(key);
    return own && RootOf(own.Get()) == changed;
  };
  struct Depth {
    explicit Depth(std::int32_t& depth) : m_depth(depth), m_value(Port::SafeIncr(depth)) {}
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;
    ~Depth() { Port::SafeDecr(m_depth); }
    std::int32_t& m_depth;
    std::int32_t m_value;
  };

  if (is(ViewKey::kDisableAutoHierRegen) && !NewBool(instance) && m_compileOrderDirty) RefreshAfterChange();
  if (is(ViewKey::kQlbVerilogMacros) || is(ViewKey::kQlbVeriIncludeDir) || is(ViewKey::kOvraVerilogMacros) ||
      is(ViewKey::kOvraVeriIncludeDir) || is(ViewKey::kVhdlSourceAnalysisStandard)) {
    Depth depth(m_nestingDepth);
    m_includesMayChange = true;
    if (depth.m_value < 2) OnChange();
  }
  if (is(ViewKey::kTopDesignUnit)) {
    Depth depth(m_nestingDepth);
    if (depth.m_value < 2) UpdateTopUnit();
  }
  if (is(ViewKey::kTopInstancePath)) {
    Depth depth(m_nestingDepth);
    if (depth.m_value <= 1) {
      String path;
      std::ignore = AutoCast<IPropertyInstance>(instance)->GetValue(&path);
      const bool pathChanged = !(path == m_topInstancePathCache);
      m_topInstancePathCache = path;
      if (!GetAutoCompileOrder()) {
        if (pathChanged) m_compileOrderDirty = true;
      } else {
        // Only a unit found at the path names the top; an unknown path leaves the name alone.
        AutoRelease<IHdlNetListNode> node = FindViewNodeByInstancePath(&m_XIView, path);
        const String unitName = GetNodeDesignUnitName(node.Get());
        bool renamed = false;
        if (!unitName.empty() && !(unitName == GetTopDesignUnitName()))
          renamed = SetTopDesignUnitName(unitName) == kSuccess;
        if (renamed || pathChanged) m_compileOrderDirty = true;
      }
    }
  }
  if (is(ViewKey::kAutoTop) && NewBool(instance)) {
    UpdateTopUnit();
    if (IsAbstractSynthesisView(&m_XIView) && GetAutoCompileOrder()) {
      m_sequenceIdsChanged = false;
      AutoRelease<IHdlFileIterator> order;
      std::ignore = GetCompileOrder(nullptr, 0, true, order.Receive());
      if (m_sequenceIdsChanged) std::ignore = SendEvent(&m_XIView, EventId::FileChanged(), &m_XIView);
    }
  }
  if (is(ViewKey::kAutoCompileOrder) && IsAbstractSynthesisView(&m_XIView) && NewBool(instance)) {
    AutoRelease<IHdlFileIterator> order;
    std::ignore = GetCompileOrder(nullptr, 0, true, order.Receive());
  }
}

}  // namespace Hvd
