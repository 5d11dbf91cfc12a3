#include "pr/CPRModuleAutonym.h"

#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"

namespace Hvd {

void CPRModuleAutonym::SetObject(CitI::IInterface* object) {
  std::ignore = m_object.Assign(object);
  if (Prjrep::AutoCast<Prjrep::IPersist> persist(object); persist.Get() != nullptr)
    std::ignore = persist->GetId(m_moduleId);
}

Status CPRModuleAutonym::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  return storage->ReadXuid(&m_moduleId);
}

Status CPRModuleAutonym::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  return storage->WriteXuid(&m_moduleId);
}

Status CPRModuleAutonym::XISaveAutonym::Resolve(CitI::IInterface* context, CitI::IInterface** object) {
  CPRModuleAutonym& self = This();
  Prjrep::AutoOut<CitI::IInterface> out(object);
  if (self.m_object.Get() != nullptr) {
    std::ignore = out.Assign(self.m_object.Get());
    return kSuccess;
  }
  Prjrep::AutoCast<IPRModuleManager> manager(context);
  Prjrep::AutoRelease<IPRModuleIterator> it;
  if (manager.Get() != nullptr) std::ignore = manager->GetPRModules(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoCast<Prjrep::IPersist> persist(it->Current());
    Port::XUID id;
    if (persist.Get() == nullptr || persist->GetId(id) != kSuccess || !(id == self.m_moduleId)) continue;
    std::ignore = self.m_object.Assign(it->Current());
    std::ignore = out.Assign(it->Current());
    return kSuccess;
  }
  return kFailure;
}

Status CPRModuleAutonym::XISaveAutonym::GetName(Port::StringBase<char>* name) {
  if (name == nullptr) return kFailure;
  *name = This().m_moduleId.GetAsString();
  return kSuccess;
}

Status CPRModuleAutonym::XISaveAutonym::GetObject(CitI::IInterface** object) {
  Prjrep::AutoOut<CitI::IInterface> out(object);
  std::ignore = out.Assign(This().m_object.Get());
  return kSuccess;
}

Status CPRModuleAutonym::XISaveAutonym::IsSame(CitI::IInterface* other, bool* same) {
  if (same == nullptr) return kFailure;
  *same = false;
  Prjrep::AutoCast<Prjrep::IAutonym> theirs(other);
  if (theirs.Get() != nullptr) {
    Port::StringBase<char> mine;
    Port::StringBase<char> their;
    std::ignore = GetName(&mine);
    std::ignore = theirs->GetName(&their);
    *same = mine.str() == their.str();
  }
  return kSuccess;
}

Status CPRModuleAutonym::XISaveAutonym::CloseObject(CitI::IInterface*) {
  Prjrep::AutoCast<ICompAdmin> admin(This().m_object.Get());
  return admin.Get() != nullptr ? admin->Teardown() : kSuccess;
}

}  // namespace Hvd
