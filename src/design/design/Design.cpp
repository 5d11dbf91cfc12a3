// The design: construction, set-up on a project, and the accessors of IDesign.

#include <vector>

#include "CitP/Factory.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ITransformEngine.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "design/design/CDesign.h"
#include "design/design/Placement.h"
#include "files/FileViewPlacement.h"

namespace Hvd {

namespace {

using String = CDesign::String;

// The states of a design are told apart from those of views and files by this id.
CITI_DEFINE_ID(DesignStatesId, "{E2D76E6F-6301-492b-9154-29E427D8B330}")

using DesignUnitList =
    TRefdSequenceSetHelper<IHdlDesignUnit*, IHdlDesignUnitSet, IHdlDesignUnitIterator, std::vector<IHdlDesignUnit*>>;

}  // namespace

CDesign::CDesign() {
  InstallFileViewPlacer(&PlaceProjectFileInViews);
  m_states.SetOwner(&m_XIDesign);
  m_states.SetId(DesignStatesId());
  std::ignore = m_propertyContext.SetOwner(this);
  std::ignore = m_views.SetOwner(&m_XIDesign);
  std::ignore = m_properties.SetOwner(&m_XIDesign);
}

// A design that was never set up may still hold views (made after a load); they are torn
// down too, since views and files hold each other until then.
CDesign::~CDesign() {
  std::ignore = TearDown(true);
  m_engine = nullptr;
  TearDownViews();
}

Status CDesign::XICompAdmin::InitializeAfterCreate(CitI::IInterface* project, CitI::IInterface*) {
  CDesign& self = This();
  self.m_project = Prjrep::AutoCast<IProject>(project);
  if (!self.m_project)
    return Fail(kInvalidParameter, "ERROR: Design::InitializeAfterCreate - Invalid Parameter: expected IProject.\n");

  self.m_engine = Prjrep::AutoRelease<ITransformEngine>(CitP::Factory::CreateInstance(TransformEngineClassId()));
  if (self.m_engine) std::ignore = self.m_engine->SetProject(self.m_project);

  if (!self.m_propertyManager) {
    self.m_propertyManager =
        Prjrep::AutoRelease<IPropertyManager>(CitP::Factory::CreateInstance(PropertyManagerClassId()));
    if (Prjrep::AutoCast<Ppm::IPropertyMgrInternal> internal(self.m_propertyManager.Get()); internal)
      std::ignore = internal->SetProject(self.m_project);
  }

  self.SetUpPlatform();
  self.CreateDesignNameProperty();

  self.m_initialised = self.m_propertyManager && self.m_platform && self.m_engine && self.m_properties.Size() > 0;
  return self.m_initialised ? kSuccess : kFailure;
}

// A new platform is made and set up; a platform that a partial teardown emptied is set up
// again, so that a reloaded project keeps hearing of device changes.
void CDesign::SetUpPlatform() {
  if (m_platform && !m_platformEmptied) return;
  if (!m_platform)
    m_platform = Prjrep::AutoRelease<IDesignPlatform>(CitP::Factory::CreateInstance(ClassId::DesignPlatform()));
  if (!m_platform) return;
  m_platformEmptied = false;
  if (Prjrep::AutoCast<ICompAdmin> admin(m_platform.Get()); admin)
    std::ignore = admin->InitializeAfterCreate(&m_XIDesign, nullptr);
  ConnectEventReceiver(m_platform, &m_receiver);
}

// Missing definition data, template or manager leave the design without the property.
void CDesign::CreateDesignNameProperty() {
  Prjrep::AutoRelease<IDataStore> store = DataStore();
  Prjrep::AutoRelease<IPropertyTemplate> definition;
  if (!store || store->FindPropertyTemplate("PROP_DesignName", definition.Receive()) != kSuccess || !definition ||
      !m_propertyManager)
    return;
  Prjrep::AutoRelease<IPropertyInstance> instance;
  if (m_propertyManager->CreatePropertyInstance(definition, &m_propertyContext, instance.Receive()) != kSuccess ||
      !instance)
    return;
  ConnectEventReceiver(instance, &m_receiver);
  if (m_project) {
    String projectName;
    if (Prjrep::AutoCast<Prjrep::IName> named(m_project.Get()); named) std::ignore = named->GetName(projectName);
    const String name = Port::FileName(projectName).GetBase();
    std::ignore = m_name.SetName(name);
    std::ignore = instance->SetValue(name);
  }
  std::ignore = m_properties.Add(instance);
}

Prjrep::AutoRelease<IDataStore> CDesign::DataStore() {
  Prjrep::AutoRelease<IDataStore> store;
  std::ignore = m_XIDesign.GetDataStore(store.Receive());
  return store;
}

Status CDesign::XICompAdmin::InitializeAfterLoad(CitI::IInterface* project) {
  CDesign& self = This();
  if (self.m_project)
    return Fail(kOwnerMissing, "ERROR: Design::InitializeAfterLoad - Project has already been set.\n");
  Prjrep::AutoCast<IProject> owner(project);
  if (!owner)
    return Fail(kInvalidParameter, "ERROR: Design::InitializeAfterLoad - Invalid Parameter: expected IProject.\n");
  if (!self.m_engine)
    return Fail(kOwnerMissing, "ERROR: Design::InitializeAfterLoad - missing Transform Engine component.\n");
  self.m_project = owner;
  std::ignore = self.m_engine->SetProject(owner);
  ConnectEventReceiver(owner, &self.m_receiver);

  Prjrep::AutoRelease<IViewIterator> views;
  if (self.m_views.GetIterator(views.Receive()) != kSuccess) return kFailure;
  Status result = kSuccess;
  for (std::ignore = views->Reset(); !views->IsDone(); std::ignore = views->Next()) {
    Prjrep::AutoCast<ICompAdmin> admin(views->Current());
    if (!admin) {
      std::ignore = Fail(kFailure, "ERROR: Design::InitializeAfterLoad - Could not get the IView interface.\n");
      return kFailure;
    }
    const Status status = admin->InitializeAfterLoad(&self.m_XICompAdmin);
    if (result == kSuccess) result = status;
  }
  return result;
}

Status CDesign::XICompAdmin::RegisterForNotifications() {
  Prjrep::AutoRelease<IViewIterator> views;
  if (This().m_views.GetIterator(views.Receive()) != kSuccess) return kFailure;
  Status result = kSuccess;
  for (std::ignore = views->Reset(); !views->IsDone(); std::ignore = views->Next()) {
    Prjrep::AutoCast<ICompAdmin> admin(views->Current());
    const Status status = admin ? admin->RegisterForNotifications() : kMissingInterface;
    if (result == kSuccess) result = status;
  }
  return result;
}

Status CDesign::GetContextParent(IPropertyContext** parent) {
  if (parent == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetContextParent - Invalid Parameter.\n");
  Prjrep::AutoCast<IPropertyContext> context(m_project.Get());
  // Without a project that is a context, the caller's pointer is left as it was.
  if (!context) return kMissingInterface;
  return Prjrep::AutoOut<IPropertyContext>(parent).Assign(context);
}

// --- IDesign ------------------------------------------------------------------------------

Status CDesign::XIDesign::GetDesignPlatform(IDesignPlatform** platform) {
  CDesign& self = This();
  if (!self.m_project) return Fail(kOwnerMissing, "ERROR: Design::GetDesignPlatform - No parent Project for Design.\n");
  if (platform == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetDesignPlatform - Invalid Parameter.\n");
  Prjrep::AutoOut<IDesignPlatform> result(platform);
  if (!self.m_platform) return Fail(kOwnerMissing, "ERROR: Design::GetDesignPlatform - No Design Platform object.\n");
  return result.Assign(self.m_platform);
}

Status CDesign::XIDesign::SetDesignPlatform(IDesignPlatform*) {
  return Fail(kNotSupported, "ERROR: Design::SetDesignPlatform - Function not Implemented.\n");
}

Status CDesign::XIDesign::GetDesignUnits(IHdlDesignUnitIterator** units) {
  CDesign& self = This();
  if (!self.m_project) return Fail(kOwnerMissing, "ERROR: Design::GetDesignUnits - No parent Project for Design.\n");
  if (units == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetDesignUnits - Invalid Parameter.\n");
  *units = nullptr;
  Prjrep::AutoRelease<IHdlDesignUnitSet> list(new DesignUnitList());
  Prjrep::AutoCast<IFileManager> files(self.m_project.Get());
  Prjrep::AutoRelease<IHdlFileIterator> it;
  if (files && files->GetProjectFiles(it.Receive()) == kSuccess && it) {
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
      if (Prjrep::AutoCast<IHdlDesignUnit> unit(it->Current()); unit) std::ignore = list->Add(unit);
    }
  }
  return list->GetIterator(units);
}

Status CDesign::XIDesign::GetTOE(ITransformEngine** engine) {
  CDesign& self = This();
  if (!self.m_project) return Fail(kOwnerMissing, "ERROR: Design::GetTOE - No parent Project for Design.\n");
  if (engine == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetTOE - Invalid Parameter.\n");
  Prjrep::AutoOut<ITransformEngine> result(engine);
  if (!self.m_engine) return Fail(kOwnerMissing, "ERROR: Design::GetTOE - No TOE Object.\n");
  return result.Assign(self.m_engine);
}

// A new base-services component each time: the store it gives is the process's one.
Status CDesign::XIDesign::GetDataStore(IDataStore** store) {
  if (store == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetDataStore - Invalid Parameter.\n");
  Prjrep::AutoOut<IDataStore> result(store);
  Prjrep::AutoRelease<CitI::IInterface> made(CitP::Factory::CreateInstance(BaseServicesClassId()));
  if (!made) return Fail(kComponentNotCreated, "ERROR: Design::GetDataStore - Failed BaseServices Factory create.\n");
  Prjrep::AutoCast<IBaseServices> services(made.Get());
  if (!services) return kComponentNotCreated;
  Prjrep::AutoRelease<CitI::IInterface> service;
  const Status status = services->GetService(DataStoreServiceId(), service.Receive());
  if (status != kSuccess) return status;
  Prjrep::AutoRelease<IDataStore> found(std::move(service));
  if (!found) return kComponentNotCreated;
  std::ignore = result.Assign(found);
  return kSuccess;
}

Status CDesign::XIDesign::GetPropertyManager(IPropertyManager** manager) {
  CDesign& self = This();
  if (!self.m_project)
    return Fail(kOwnerMissing, "ERROR: Design::GetPropertyManager - No parent Project for Design.\n");
  if (manager == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetPropertyManager - Invalid Parameter.\n");
  Prjrep::AutoOut<IPropertyManager> result(manager);
  if (!self.m_propertyManager)
    return Fail(kOwnerMissing, "ERROR: Design::GetPropertyManager - No Property Manager Object.\n");
  return result.Assign(self.m_propertyManager);
}

Status CDesign::XIDesign::GetProject(IProject** project) {
  if (project == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetProject - Invalid Parameter.\n");
  Prjrep::AutoOut<IProject> result(project);
  if (!This().m_project) return kOwnerMissing;
  return result.Assign(This().m_project);
}

Status CDesign::XIDesign::GetDefaultParserConfig(IHdlParserConfig** config) {
  if (config == nullptr) return Fail(kInvalidParameter, "ERROR: Design::GetDefaultParserConfig - Invalid Parameter.\n");
  *config = nullptr;
  return kNotSupported;
}

}  // namespace Hvd
