#include "pr/CConfigurationElement.h"

#include "Hvd/EventIds.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FileName.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"

namespace Hvd {

Status CConfigurationElement::XIConfigurationElement::GetIsStatic(bool* isStatic) {
  if (isStatic == nullptr) return kFailure;
  *isStatic = This().m_isStatic;
  return kSuccess;
}

Status CConfigurationElement::XIConfigurationElement::GetPRModule(IPRModule** module) {
  if (module == nullptr) return kFailure;
  Prjrep::AutoOut<IPRModule> out(module);
  std::ignore = out.Assign(pr::ResolveReference(This().m_module.Get()).Get());
  return *module != nullptr ? kSuccess : kFailure;
}

Status CConfigurationElement::XIConfigurationElement::GetFlavor(CitI::IInterface** flavor) {
  if (flavor == nullptr) return kFailure;
  Prjrep::AutoOut<CitI::IInterface> out(flavor);
  std::ignore = out.Assign(pr::ResolveReference(This().m_flavor.Get()).Get());
  return *flavor != nullptr ? kSuccess : kFailure;
}

Status CConfigurationElement::XIProjectCompReference::SetProject(CitI::IInterface* project) {
  This().m_project = SynthesizeHlcPlusAutonym(project);
  return This().m_project.Get() != nullptr ? kSuccess : kFailure;
}

Status CConfigurationElement::XIProjectCompReference::GetProject(IProject** project) {
  if (project == nullptr) return kFailure;
  Prjrep::AutoOut<IProject> out(project);
  if (This().m_project.Get() != nullptr) std::ignore = out.Assign(GetOwningProject(This().m_project.Get()).Get());
  return *project != nullptr ? kSuccess : kFailure;
}

Status CConfigurationElement::XISettableConfigurationElement::SetIsStatic(bool isStatic) {
  This().m_isStatic = isStatic;
  return kSuccess;
}

Status CConfigurationElement::XISettableConfigurationElement::SetPRModule(Prjrep::IAutonym* module) {
  This().m_module = module;
  return kSuccess;
}

Status CConfigurationElement::XISettableConfigurationElement::SetFlavor(CitI::IInterface* flavor) {
  CConfigurationElement& self = This();
  const Port::StringBase<char> oldPath = GetObjectFullPath(self.m_flavor.Get());
  const Port::StringBase<char> newPath = GetObjectFullPath(flavor);
  const bool differ = Port::File::namematch(oldPath.c_str(), newPath.c_str()) != 1;
  // Held for the whole change: its own receivers may let go of it.
  const Prjrep::AutoPtr<IConfiguration> configuration(self.m_configuration);
  if (!oldPath.empty() && differ) {
    Prjrep::AutoRelease<IProject> project = GetActiveProjectOfObject(configuration.Get());
    if (Prjrep::AutoCast<IFileManager> files(project.Get()); files.Get() != nullptr)
      std::ignore = files->RemoveFileByPath(oldPath);
    std::ignore = SendEvent(configuration.Get(), EventId::FlavorReplaced(), configuration.Get());
  }
  if (differ) {
    self.m_flavor = SynthesizeHlcPlusAutonym(flavor);
    std::ignore = self.ComposeFlavor();
  }
  return kSuccess;
}

Status CConfigurationElement::ComposeFlavor() {
  if (m_flavor.Get() == nullptr) return kSuccess;
  const Port::StringBase<char> path = GetObjectFullPath(m_flavor.Get());
  Prjrep::AutoRelease<IProjectHelper> helper = GetCvfProject(m_configuration, false);
  Prjrep::AutoCast<IProjSrcHelper> sources(helper.Get());
  return sources.Get() != nullptr ? sources->AddProjectSource(path, 0) : kFailure;
}

Status CConfigurationElement::XICompositionControl::Compose(CitI::IInterface*) {
  std::ignore = This().ComposeFlavor();
  return kSuccess;
}

Status CConfigurationElement::XICompAdmin::InitializeAfterCreate(CitI::IInterface* configuration, CitI::IInterface*) {
  This().m_configuration = Prjrep::AutoCast<IConfiguration>(configuration).Get();
  return kSuccess;
}

Status CConfigurationElement::XICompAdmin::InitializeAfterLoad(CitI::IInterface* configuration) {
  return InitializeAfterCreate(configuration, nullptr);
}

Status CConfigurationElement::XICompAdmin::Teardown() {
  CConfigurationElement& self = This();
  self.m_configuration = nullptr;
  self.m_module = nullptr;
  self.m_flavor = nullptr;
  return kSuccess;
}

Status CConfigurationElement::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // The first failed write is the answer: a record cut short is no saved record.
  if (const Status status = storage->WriteBool(m_isStatic); status != kSuccess) return status;
  for (Prjrep::IAutonym* reference : {m_module.Get(), m_flavor.Get(), m_project.Get()}) {
    if (const Status status = pr::WriteAutonym(storage, reference); status != kSuccess) return status;
  }
  return kSuccess;
}

Status CConfigurationElement::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  if (const Status status = storage->ReadBool(&m_isStatic); status != kSuccess) return status;
  for (Prjrep::AutoPtr<Prjrep::IAutonym>* reference : {&m_module, &m_flavor, &m_project}) {
    if (const Status status = pr::ReadAutonym(storage, *reference); status != kSuccess) return status;
  }
  return kSuccess;
}

}  // namespace Hvd
