// The view's construction and destruction, its set-up and teardown, the view operations that
// answer for its type and design, and the links between the view and its files.

#include <algorithm>

#include "CitP/Factory.h"
#include "Hvd/IBaseServices.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

// The id under which the view's states are kept, as against a design's or a file's.
CITI_DEFINE_ID(ViewStatesId, "{71F1FD7D-AB0D-4da6-8FE5-2ADCB4AAF427}")


}  // namespace

CView::CView() {
  std::ignore = m_XIDesignUnitSet.SetOwner(this);
  m_states.SetOwner(&m_XIView);
  m_states.SetId(ViewStatesId());
  CreateComponentInterfaceRef(m_componentRef);
  SetComponentRefOwner(m_componentRef, &m_XIView);
  std::ignore = m_propertyContext.SetOwner(this);
}

CView::~CView() { std::ignore = ReleaseComponentRef(m_componentRef); }

Prjrep::AutoRelease<IProject> CView::Project() const {
  AutoRelease<IProject> project;
  if (m_design) std::ignore = m_design->GetProject(project.Receive());
  return project;
}

bool CView::IsProjectReadOnly() const {
  AutoRelease<IProject> project = Project();
  bool readOnly = false;
  if (project && project->GetReadOnly(&readOnly) != kSuccess) return false;
  return readOnly;
}

// The store is the process's one whichever way it is reached; a view being loaded has no
// design yet, so it asks the base services as the design would.
Prjrep::AutoRelease<IDataStore> CView::DataStore() const {
  AutoRelease<IDataStore> store;
  if (m_design) {
    std::ignore = m_design->GetDataStore(store.Receive());
    return store;
  }
  AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
  AutoRelease<CitI::IInterface> service;
  if (services) std::ignore = services->GetService(DataStoreServiceId(), service.Receive());
  return AutoRelease<IDataStore>(std::move(service));
}

CView::String CView::ViewTypeName() const {
  AutoCast<IDefDataId> id(m_viewType.Get());
  String name;
  if (id) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

Status CView::RegisterForNotifications(CitI::IInterface* object) {
  if (object == nullptr) return Fail(kInvalidParameter, "ERROR: View::RegisterForNotifications - Invalid Parameter.\n");
  AutoCast<Prjrep::IEventSender> sender(object);
  if (!sender) return kMissingInterface;
  return sender->AddReceiver(&m_eventReceiver);
}

Status CView::UnRegisterForNotifications(CitI::IInterface* object) {
  if (object == nullptr)
    return Fail(kInvalidParameter, "ERROR: View::UnRegisterForNotifications - Invalid Parameter.\n");
  AutoCast<Prjrep::IEventSender> sender(object);
  if (!sender) return kMissingInterface;
  return sender->RemoveReceiver(&m_eventReceiver);
}

bool CView::CheckDUinView(CitI::IInterface* object) {
  if (object == nullptr) {
    std::ignore = Fail(kInvalidParameter, "ERROR: View::CheckDUinView - Invalid Parameter.\n");
    return false;
  }
  AutoCast<IDesignUnit> unit(object);
  AutoRelease<IViewIterator> views;
  if (!unit || unit->GetViews(views.Receive()) != kSuccess || !views) return false;
  for (std::ignore = views->Reset(); !views->IsDone(); std::ignore = views->Next()) {
    if (RootOf(views->Current()) == this) return true;
  }
  return false;
}

void CView::AddViewToFile(CitI::IInterface* object) {
  if (CheckDUinView(object)) return;
  if (AutoCast<IViewSet> views(object); views) std::ignore = views->Add(&m_XIView);
}

Status CView::RemoveViewFromFile(CitI::IInterface* object) {
  AutoCast<IViewSet> views(object);
  AutoRelease<IViewIterator> it;
  if (!views || views->GetIterator(it.Receive()) != kSuccess || !it) return kFailure;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    if (RootOf(it->Current()) == this) return views->Remove(it);
  }
  return kFailure;
}

Status CView::XIView::GetType(IViewType** type) {
  if (type == nullptr) return Fail(kInvalidParameter, "ERROR: View::GetType - Invalid Parameter.\n");
  AutoOut<IViewType>(type).Assign(This().m_viewType.Get());
  return *type != nullptr ? kSuccess : kFailure;
}

Status CView::XIView::GetDesign(IDesign** design) {
  if (design == nullptr) return Fail(kInvalidParameter, "ERROR: View::GetDesign - Invalid Parameter.\n");
  AutoOut<IDesign>(design).Assign(This().m_design.Get());
  return *design != nullptr ? kSuccess : kFailure;
}

Status CView::XIView::GetElaborationData(IHdlElaborationData** data) {
  if (data == nullptr) return Fail(kInvalidParameter, "ERROR: View::GetElaborationData - Invalid Parameter.\n");
  AutoOut<IHdlElaborationData> result(data);
  if (!This().m_design) return Fail(kOwnerMissing, "ERROR: View::GetElaborationData - No Design parent for View.\n");
  return result.Assign(&This().m_XIHdlElaborationData);
}

// The unit's type name must be one of the view type's, byte for byte.
Status CView::XIView::AcceptsDesignUnit(CitI::IInterface* object, bool* accepts) {
  if (accepts == nullptr) return kInvalidParameter;
  *accepts = false;
  if (object == nullptr) return kSuccess;
  const AutoRelease<IDefDataId> type = GetDesignUnitDefDataIdOf(object);
  if (!type) return kSuccess;
  const std::vector<String>& accepted = This().AcceptedUnitTypes();
  const std::vector<AutoPtr<IDefDataId>>& acceptedIds = This().m_acceptedIds;
  if (std::find(acceptedIds.begin(), acceptedIds.end(), type.Get()) != acceptedIds.end()) {
    *accepts = true;  // the very definition whose non-empty name is listed
    return kSuccess;
  }
  String typeName;
  std::ignore = type->GetDefDataIdName(&typeName);
  if (typeName.empty()) return kSuccess;
  *accepts = std::find(accepted.begin(), accepted.end(), typeName) != accepted.end();
  return kSuccess;
}

// Read once per view type: placing a project's files asks for every file.
const std::vector<CView::String>& CView::AcceptedUnitTypes() {
  if (m_acceptedFor == m_viewType.Get()) return m_acceptedUnitTypes;
  m_acceptedUnitTypes.clear();
  m_acceptedIds.clear();
  m_acceptedFor = m_viewType.Get();
  AutoRelease<IDefDataIdIterator> ids;
  if (!m_viewType || m_viewType->GetDesignUnitTypeIds(ids.Receive()) != kSuccess || !ids) return m_acceptedUnitTypes;
  for (std::ignore = ids->Reset(); !ids->IsDone(); std::ignore = ids->Next()) {
    String name;
    if (IDefDataId* id = ids->Current(); id != nullptr && id->GetDefDataIdName(&name) == kSuccess) {
      if (!name.empty()) m_acceptedIds.emplace_back(id);
      m_acceptedUnitTypes.push_back(name);
    }
  }
  return m_acceptedUnitTypes;
}

Status CView::XIView::GetParserConfig(IHdlParserConfig** config) {
  if (config == nullptr) return Fail(kInvalidParameter, "ERROR: View::GetParserConfig - Invalid Parameter.\n");
  *config = nullptr;
  if (!This().m_design) return Fail(kOwnerMissing, "ERROR: View::GetParserConfig - No Design parent for View.\n");
  return kNotSupported;
}

// A view that is not major answers with the major view it is bound to.
Status CView::XIView::IsTopManual(std::uint32_t* manual) {
  if (manual == nullptr) return kInvalidParameter;
  *manual = 0;
  CView& self = This();
  if (IsMajorView(this)) {
    *manual = self.GetAutoTop() ? 0 : 1;
  } else if (IView* major = self.FindMajorView(); major != nullptr) {
    std::ignore = major->IsTopManual(manual);
  }
  return kSuccess;
}

Status CView::XICompAdmin::InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) {
  CView& self = This();
  self.m_design = AutoCast<IDesign>(owner);
  self.m_viewType = AutoCast<IViewType>(definition).Get();
  if (!self.m_design)
    return Fail(kInvalidParameter, "ERROR: View::InitializeAfterCreate - Invalid Parameter: expected IDesign.\n");
  if (!self.m_viewType)
    return Fail(kInvalidParameter, "ERROR: View::InitializeAfterCreate - Invalid Parameter: expected IViewType.\n");
  std::ignore = self.CreateViewProperties();
  std::ignore = self.InitializeHDLPackageWrapper();
  return kSuccess;
}

Status CView::XICompAdmin::InitializeAfterLoad(CitI::IInterface* context) {
  CView& self = This();
  if (context == nullptr) {
    Port_MsgManData::createObject("ProjectMgmt", "../src/CView", 4660, "$Revision: 1.185 $")
        .issueError("Hvd::CView::CView_ICompAdmin::InitializeAfterLoad - Invalid parameter.\n");
    return kBadParameters;
  }
  std::ignore = self.InitializeHDLPackageWrapper();
  return InitializeComponentsAfterLoad(self.m_transformBindings.SecondSet(), context);
}

// Connects the view to the bindings that lead from it and to its files; a file is told of the
// view once, however often the view registers.
Status CView::XICompAdmin::RegisterForNotifications() {
  CView& self = This();
  const Status result = RegisterComponentsForNotifications(self.m_transformBindings.SecondSet());
  for (const AutoPtr<IHdlDesignUnit>& unit : self.m_XIDesignUnitSet.Units()) {
    if (!unit) {
      std::ignore = Fail(kInvalidParameter, "ERROR: View::RegisterForNotifications - Invalid Parameter.\n");
      continue;
    }
    self.AddViewToFile(unit.Get());
    if (AutoCast<Prjrep::IEventSender> sender(unit.Get()); sender)
      std::ignore = sender->AddReceiver(&self.m_eventReceiver);
  }
  return result;
}

// Lets go of everything the view holds of others; the view stays a valid object until its
// last reference goes.
Status CView::XICompAdmin::Teardown() {
  CView& self = This();
  AutoPtr<IView> keep(this);  // files give up their references on the view below
  self.m_design = nullptr;
  self.m_eventReceiver.Detach(nullptr);
  self.m_eventSender.RemoveAllReceivers();
  for (const AutoPtr<IHdlDesignUnit>& unit : self.m_XIDesignUnitSet.Units())
    std::ignore = self.RemoveViewFromFile(unit.Get());
  std::ignore = self.m_XIDesignUnitSet.Clear();
  self.m_wrapperPending.clear();
  self.m_syncTouched.clear();
  self.m_syncParents.clear();
  self.m_syncWanted.clear();
  self.m_managedUnits.clear();
  for (auto pos = self.m_properties.begin(); pos != self.m_properties.end();) self.m_properties.RemoveAt(pos);
  self.m_parserProperties.clear();
  std::ignore = ClearTransformBindingSet(self.m_transformBindings.FirstSet());
  std::ignore = ClearTransformBindingSet(self.m_transformBindings.SecondSet());
  self.m_wrapper.reset();
  return kSuccess;
}

Status CView::XIAssociationSet::Add(CitI::IInterface* object) {
  CView& self = This();
  if (object == nullptr) return Fail(kInvalidParameter, "ERROR: View::AssociationSet Add - Invalid Parameter.\n");
  if (!self.m_design) return Fail(kOwnerMissing, "ERROR: View::IAssociationSet::Add - No Design parent for View.\n");
  if (self.IsProjectReadOnly())
    return Fail(kProjectReadOnly, "ERROR: View::AssociationSet Add - Project is Read Only.\n");
  return Fail(kNotSupported, "ERROR: View::AssociationSet Add - Method not implemented.\n");
}

Status CView::XIAssociationSet::Remove(CitI::IInterface* object) {
  CView& self = This();
  if (object == nullptr) return Fail(kInvalidParameter, "ERROR: View::AssociationSet Remove - Invalid Parameter.\n");
  if (!self.m_design) return Fail(kOwnerMissing, "ERROR: View::IAssociationSet Remove - No Design parent for View.\n");
  if (self.IsProjectReadOnly())
    return Fail(kProjectReadOnly, "ERROR: View::AssociationSet Remove - Project is Read Only.\n");
  return Fail(kNotSupported, "ERROR: View::AssociationSet Remove - Method not implemented.\n");
}

Status CView::XIAssociationSet::GetIterator(Prjrep::IIterator** associations) {
  if (associations == nullptr)
    return Fail(kInvalidParameter, "ERROR: View::AssociationSet GetIterator - Invalid Parameter.\n");
  *associations = nullptr;
  return kNotSupported;
}

std::size_t CView::XIAssociationSet::Size() {
  std::ignore = Fail(kFailure, "ERROR: View::AssociationSet Size - Method not implemented.\n");
  return 0;
}

Status CView::XIAssociationSet::Clear() {
  if (This().m_design && This().IsProjectReadOnly())
    return Fail(kProjectReadOnly, "ERROR: View::AssociationSet Clear - Project is Read Only.\n");
  return Fail(kNotSupported, "ERROR: View::AssociationSet Clear - Method not implemented.\n");
}

Status CView::XIHdlElaborationData::GetUndefinedInstances(CitI::IInterface** instances) {
  if (instances == nullptr)
    return Fail(kBadParameters, "ERROR: XIHdlElaborationData::getUndefinedInstances - Invalid Parameter.\n");
  *instances = nullptr;
  return Fail(kNotSupported, "ERROR: XIHdlElaborationData::getUndefinedInstances - Unimplemented method.\n");
}

Status CView::XIHdlElaborationData::GetPorts(const char* name, CitI::IInterface** ports) {
  if (name == nullptr || ports == nullptr)
    return Fail(kBadParameters, "Error: XIHdlElaborationData::getPorts - Invalid parameter(s).\n");
  *ports = nullptr;
  return Fail(kNotSupported, "Error: XIHdlElaborationData::getPorts - Unimplemented.\n");
}

}  // namespace Hvd
