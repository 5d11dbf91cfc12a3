// The manager's record: configurations by reference, modules by value.
#include "pr/CConfigurationMgr.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"

namespace Hvd {

Status CConfigurationMgr::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // The first failed write is the answer: a record cut short is no saved record.
  if (const Status status = storage->WriteString(&m_name.Name()); status != kSuccess) return status;
  if (const Status status = PersistObjectAutonym(storage, m_project.Get()); status != kSuccess) return status;
  IConfigurationSet* configurations = m_configurations.Get();
  std::size_t count = configurations != nullptr ? configurations->Size() : 0;
  if (const Status status = storage->WriteInt32(static_cast<std::int32_t>(count)); status != kSuccess) return status;
  Prjrep::AutoRelease<IConfigurationIterator> it;
  if (configurations != nullptr) std::ignore = configurations->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (const Status status = PersistObjectAutonym(storage, it->Current()); status != kSuccess) return status;
  }
  IPRModuleSet* modules = Modules();
  count = modules->Size();
  if (const Status status = storage->WriteInt32(static_cast<std::int32_t>(count)); status != kSuccess) return status;
  Prjrep::AutoRelease<IPRModuleIterator> module;
  std::ignore = modules->GetIterator(module.Receive());
  for (; module.Get() != nullptr && !module->IsDone(); std::ignore = module->Next()) {
    Prjrep::AutoCast<Prjrep::IPersist> persist(module->Current());
    if (const Status status = storage->WriteObject(persist.Get()); status != kSuccess) return status;
  }
  return kSuccess;
}

Status CConfigurationMgr::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // Reading stops at the first failure, so a damaged count cannot run on.
  Port::StringBase<char> name;
  if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
  std::ignore = m_name.SetName(name);
  Prjrep::AutoRelease<CitI::IInterface> project;
  if (const Status status = pr::ReadReference(storage, project); status != kSuccess) return status;
  m_project = Prjrep::AutoCast<IProject>(project.Get()).Get();
  IConfigurationSet* configurations = Configurations();
  std::int32_t count = 0;
  if (const Status status = storage->ReadInt32(&count); status != kSuccess) return status;
  for (std::int32_t i = 0; i < count; ++i) {
    Prjrep::AutoRelease<CitI::IInterface> configuration;
    if (const Status status = pr::ReadReference(storage, configuration); status != kSuccess) return status;
    if (Prjrep::AutoCast<IConfiguration> member(configuration.Get()); member.Get() != nullptr)
      std::ignore = configurations->Add(member.Get());
  }
  IPRModuleSet* modules = Modules();
  if (const Status status = storage->ReadInt32(&count); status != kSuccess) return status;
  for (std::int32_t i = 0; i < count; ++i) {
    Prjrep::AutoRelease<Prjrep::IPersist> read;
    if (const Status status = storage->ReadObject(read.Receive()); status != kSuccess) return status;
    if (Prjrep::AutoCast<IPRModule> module(read.Get()); module.Get() != nullptr) std::ignore = modules->Add(module.Get());
  }
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActiveConfigManager", &m_XIConfigurationManager, true);
  if (m_project.Get() != nullptr) RefreshProjectName();
  return kSuccess;
}

}  // namespace Hvd
