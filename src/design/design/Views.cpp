// The design's view manager: making, finding and removing views.

#include <string_view>
#include <vector>

#include "CitP/Factory.h"
#include "core/Diagnostics.h"
#include "design/design/CDesign.h"
#include "design/design/ViewHints.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {


}  // namespace

Status CDesign::XIViewManager::GetViews(IViewIterator** views) {
  if (views == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetViews - Invalid Parameter.\n");
  return This().m_views.GetIterator(views);
}

// A view whose set-up fails is torn down and dropped, and the set-up's status is the answer:
// a view without its design or type would be listed and handed out as if it worked.
Status CDesign::XIViewManager::CreateView(const String& name, IViewType* type, IView** view) {
  CDesign& self = This();
  Prjrep::AutoOut<IView> result(view);
  if (!self.m_project) return Fail(kOwnerMissing, "ERROR: Design::CreateView - No parent Project for Design.\n");
  if (name.empty() || type == nullptr)
    return Fail(kInvalidParameter, "ERROR: Design::CreateView - Invalid Parameter.\n");
  bool readOnly = false;
  const Status asked = self.m_project->GetReadOnly(&readOnly);
  if (asked != kSuccess) return asked;
  if (readOnly) return Fail(kProjectReadOnly, "ERROR: Design::CreateView - Project is Read Only.\n");

  Prjrep::AutoRelease<IView> made(CitP::Factory::CreateInstance(ClassId::View()));
  if (!made) return kFailure;
  Prjrep::AutoCast<ICompAdmin> admin(made.Get());
  const Status setUp = admin ? admin->InitializeAfterCreate(&self.m_XIDesign, type) : kMissingInterface;
  if (setUp != kSuccess) {
    if (admin) std::ignore = admin->Teardown();
    return Fail(setUp, "ERROR: Design::CreateView - The view \"%s\" could not be set up.\n", name.c_str());
  }
  if (Prjrep::AutoCast<Prjrep::IName> named(made.Get()); named) std::ignore = named->SetName(name);
  std::ignore = self.m_views.Add(made);
  std::ignore = result.Assign(made);
  return kSuccess;
}

// The initial view is named after its type unless a name is given.
Prjrep::AutoRelease<IView> CDesign::CreateInitialView(const String& typeName, String viewName) {
  Prjrep::AutoRelease<IView> view;
  if (viewName.empty()) viewName = typeName;
  Prjrep::AutoRelease<IDataStore> store = DataStore();
  Prjrep::AutoCast<IViewTypeStore> viewTypes(store.Get());
  Prjrep::AutoRelease<Prjrep::IIterator> types;
  if (viewTypes) std::ignore = viewTypes->GetViewTypes(types.Receive());
  if (types) {
    for (std::ignore = types->Reset(); !types->IsDone(); std::ignore = types->Next()) {
      if (GetDefDataIdName(types->Current()).str() != typeName.str()) continue;
      Prjrep::AutoCast<IViewType> type(types->Current());
      std::ignore = m_XIViewManager.CreateView(viewName, type, view.Receive());
      return view;
    }
  }
  std::ignore = Fail(kFailure, "ERROR: Design::CreateInitialView - Couldn't find the \"Initial\" view type.\n");
  return view;
}

Prjrep::AutoRelease<IViewIterator> CDesign::FindInList(CitI::IInterface* view) {
  Prjrep::AutoRelease<IViewIterator> it;
  if (m_views.GetIterator(it.Receive()) != kSuccess) return it;
  CitI::IInterface* wanted = RootOf(view);
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    if (wanted != nullptr && RootOf(it->Current()) == wanted) break;
  }
  return it;
}

Status CDesign::XIViewManager::FindView(IView* view, IViewIterator** at) {
  if (at == nullptr) return kFailure;
  Prjrep::AutoOut<IViewIterator> result(at);
  Prjrep::AutoRelease<IViewIterator> it = This().FindInList(view);
  if (!it) return kFailure;
  std::ignore = result.Assign(it);
  return it->IsDone() ? kFailure : kSuccess;
}

// An exact or table match anywhere in the list wins over a name that merely contains the hint.
Status CDesign::XIViewManager::FindViewByHint(const String& hint, IViewIterator** at) {
  if (at == nullptr) return kFailure;
  Prjrep::AutoOut<IViewIterator> result(at);
  if (hint.empty()) return kFailure;
  Prjrep::AutoRelease<IViewIterator> it;
  if (GetViews(it.Receive()) != kSuccess || !it) return kFailure;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    IView* view = it->Current();
    if (ViewTypeMatchesHint(view, hint) || GetDefDataIdName(view).str() == hint.str()) break;
  }
  if (it->IsDone()) {
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
      if (GetDefDataIdName(it->Current()).str().find(hint.str()) != std::string::npos) break;
    }
  }
  std::ignore = result.Assign(it);
  return it->IsDone() ? kFailure : kSuccess;
}

// Only a view of this design is torn down: an iterator over another list may stand on a view
// that is not this design's to end.
Status CDesign::XIViewManager::RemoveViewAt(IViewIterator* at) {
  if (at == nullptr || at->IsDone()) return kSuccess;
  CDesign& self = This();
  Prjrep::AutoRelease<IViewIterator> own = self.FindInList(at->Current());
  if (!own || own->IsDone()) return kFailure;
  if (Prjrep::AutoCast<ICompAdmin> admin(own->Current()); admin) std::ignore = admin->Teardown();
  // The caller's iterator moves on when it is the list's own; else the list's own does.
  if (self.m_views.Remove(at) != kSuccess) std::ignore = self.m_views.Remove(own);
  return kSuccess;
}

Status CDesign::XIViewManager::RemoveView(IView* view) {
  Prjrep::AutoRelease<IViewIterator> at;
  if (FindView(view, at.Receive()) != kSuccess) return kFailure;
  return RemoveViewAt(at);
}

// Each view is torn down while the list still holds it, then the list lets go of them all.
void CDesign::TearDownViews() {
  std::vector<Prjrep::AutoPtr<ICompAdmin>> views;
  Prjrep::AutoRelease<IViewIterator> it;
  if (m_views.GetIterator(it.Receive()) == kSuccess && it) {
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) views.emplace_back(it->Current());
  }
  for (const auto& view : views) {
    if (view) std::ignore = view->Teardown();
  }
  std::ignore = m_views.Clear();
}

}  // namespace Hvd
