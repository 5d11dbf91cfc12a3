// The design platform: construction, set-up from the platform type, teardown and storage.

#include "CitP/Factory.h"
#include "Hvd/IDesign.h"
#include "Prjrep/IStorage.h"
#include "core/Diagnostics.h"
#include "design/platform/CDesignPlatform.h"

namespace Hvd {

CDesignPlatform::CDesignPlatform() : m_changedNames(Prjrep::AutoRelease<NameList>(new NameList())) {
  std::ignore = m_properties.SetOwner(this);
  std::ignore = m_changedStamp.SetToNow();
  ListenToPlatformEvents(true);
}

// Without the base services, or a service without a sender, the platform hears nothing.
void CDesignPlatform::ListenToPlatformEvents(bool report) {
  Prjrep::AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
  Prjrep::AutoRelease<CitI::IInterface> service;
  if (!services || services->GetService(PlatformEventServiceId(), service.Receive()) != kSuccess) return;
  Prjrep::AutoCast<Prjrep::IEventSender> sender(service.Get());
  if (!sender) return;
  if (sender->AddReceiver(&m_receiver) != kSuccess && report)
    std::ignore = Fail(kFailure, "Failed to attach the DesignPlatform to RunTTIC for receiving events.\n");
}

// The first platform type of the data store gives the name and the device properties. A
// platform emptied by a partial teardown is set up again this way, and listens again.
Status CDesignPlatform::XICompAdmin::InitializeAfterCreate(CitI::IInterface* design, CitI::IInterface*) {
  CDesignPlatform& self = This();
  Prjrep::AutoCast<IDesign> owner(design);
  if (!owner) return kFailure;
  Prjrep::AutoRelease<IDataStore> store;
  std::ignore = owner->GetDataStore(store.Receive());
  Prjrep::AutoCast<IDesignPlatformTypeStore> typeStore(store.Get());
  Prjrep::AutoRelease<IDesignPlatformTypeIterator> types;
  if (typeStore) std::ignore = typeStore->GetPlatformTypes(types.Receive());
  if (types) {
    std::ignore = types->Reset();
    if (!types->IsDone()) std::ignore = self.m_type.Assign(types->Current());
  }
  if (!self.m_type) {
    return Fail(kFailure,
                "ERROR: CDesignPlatform::XICompAdmin::InitializeAfterCreate - Could not get the Design Platform "
                "type.\n");
  }
  self.ListenToPlatformEvents(false);
  // Filled anew, the platform has news as a new one has: a design set up again after a partial
  // teardown (a reload) makes its views at the open's first notice, as a fresh open does,
  // whether or not the file read moves a device setting.
  ++self.m_changes;

  String name;
  if (Prjrep::AutoCast<IDefDataId> id(self.m_type.Get()); id) std::ignore = id->GetDefDataIdName(&name);
  std::ignore = self.m_name.SetName(name);

  Prjrep::AutoRelease<IPropertyManager> manager;
  std::ignore = owner->GetPropertyManager(manager.Receive());
  Prjrep::AutoRelease<IDefDataIdIterator> ids;
  std::ignore = self.m_type->GetPropertyTemplates(ids.Receive());
  if (!ids || !store || !manager) return kSuccess;
  for (std::ignore = ids->Reset(); !ids->IsDone(); std::ignore = ids->Next()) {
    Prjrep::AutoRelease<CitI::IInterface> found;
    std::ignore = store->FindByDefDataId(ids->Current(), found.Receive());
    Prjrep::AutoCast<IPropertyTemplate> definition(found.Get());
    if (!definition) continue;
    Prjrep::AutoRelease<IPropertyInstance> instance;
    if (manager->CreatePropertyInstance(definition, nullptr, instance.Receive()) != kSuccess || !instance) continue;
    std::ignore = self.m_properties.Add(instance);
    if (Prjrep::AutoCast<Prjrep::IEventSender> sender(instance.Get()); sender)
      std::ignore = sender->AddReceiver(&self.m_receiver);
  }
  return kSuccess;
}

Status CDesignPlatform::TearDown(bool full) {
  if (full) m_eventSender.RemoveAllReceivers();
  m_receiver.Detach(nullptr);
  std::ignore = m_type.Assign(nullptr);
  std::ignore = m_changedNames->Clear();
  std::ignore = m_properties.Clear();
  return kSuccess;
}

Status CDesignPlatform::XIDesignPlatform::GetName(String* name) {
  if (name == nullptr) return kInvalidParameter;
  return This().m_name.GetName(*name);
}

Status CDesignPlatform::XIDesignPlatform::GetProperties(IPropertyInstanceIterator** properties) {
  if (properties == nullptr) return kInvalidParameter;
  return This().m_properties.GetIterator(properties);
}

Status CDesignPlatform::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Fail(kInvalidParameter, "Bad argument value - _i_stream may not be NULL.\n");
  Status result = kSuccess;
  const String& name = m_name.Name();
  if (storage->WriteString(&name) != kSuccess) result = Fail(kFailure, "IName::Save did not return Success.\n");
  if (m_changedStamp.Save(storage) != kSuccess) result = Fail(kFailure, "ITimestamp::Save did not return Success.\n");
  if (m_properties.PersistSave(storage) != kSuccess)
    return Fail(kFailure, "IPropertyInstanceSet::Save did not return Success.\n");
  return result;
}

Status CDesignPlatform::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Fail(kInvalidParameter, "Bad argument value - _i_stream may not be NULL.\n");
  Status result = kSuccess;
  String name;
  if (storage->ReadString(&name) == kSuccess) {
    std::ignore = m_name.SetName(name);
  } else {
    result = Fail(kFailure, "IName::Load did not return Success.\n");
  }
  if (m_changedStamp.Load(storage) != kSuccess) result = Fail(kFailure, "ITimestamp::Load did not return Success.\n");
  if (m_properties.PersistLoad(storage) != kSuccess)
    return Fail(kFailure, "IPropertyInstanceSet::Load did not return Success.\n");
  return result;
}

}  // namespace Hvd
