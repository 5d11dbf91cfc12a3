#include "pr/CFlavor.h"

#include "framework/CAutonymBase.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

Status CFlavor::XIFlavor::GetText(Port::StringBase<char>* text) {
  if (text == nullptr) return kFailure;
  *text = This().m_text;
  return kSuccess;
}

Status CFlavor::XIFlavor::GetPRModule(CitI::IInterface** module) {
  if (module == nullptr) return kFailure;
  Prjrep::AutoOut<CitI::IInterface> out(module);
  if (This().m_module.Get() == nullptr) return kSuccess;
  std::ignore = out.Assign(pr::ResolveReference(This().m_module.Get()).Get());
  return *module != nullptr ? kSuccess : kFailure;
}

Status CFlavor::GetProject(IProject** project) {
  if (project == nullptr) return kFailure;
  Prjrep::AutoOut<IProject> out(project);
  if (m_project.Get() == nullptr) return kFailure;
  std::ignore = out.Assign(GetOwningProject(m_project.Get()).Get());
  return *project != nullptr ? kSuccess : kFailure;
}

Status CFlavor::SetProject(CitI::IInterface* project) {
  m_project = SynthesizeHlcPlusAutonym(project);
  if (m_project.Get() == nullptr) return kFailure;
  {
    PropertyAccessor properties(Prjrep::AutoCast<IProject>(project).Get());
    properties.SetPropertyValue("PROP_HierarchicalProjectType", "Flavor");
  }
  std::ignore = RegisterNamedObject(project, "Flavor", &m_XIFlavor, true);
  return kSuccess;
}

Status CFlavor::XISettableFlavor::SetText(const Port::StringBase<char>& text) {
  This().m_text = text;
  return kSuccess;
}

Status CFlavor::XISettableFlavor::SetPRModule(Prjrep::IAutonym* module) {
  This().m_module = module;
  return kSuccess;
}

Status CFlavor::XIProjectReference::GetProjectFileName(Port::StringBase<char>* path) {
  if (path == nullptr) return kFailure;
  *path = GetObjectFullPath(This().m_project.Get());
  return path->empty() ? kFailure : kSuccess;
}

Status CFlavor::XIAutoNaming::GetAutonym(Prjrep::IAutonym** autonym) {
  if (autonym == nullptr) return kFailure;
  auto* made = new CFlavorAutonym;
  made->SetObject(&This().m_XIFlavor);
  Prjrep::AutoRelease<Prjrep::IAutonym> held(made);
  *autonym = held.Detach();
  return *autonym != nullptr ? kSuccess : kFailure;
}

Status CFlavor::XICompAdmin::Teardown() {
  std::ignore = ForwardToNamedObjectRegistry(this);
  return SaveOwningCvfProject(This().m_project.Get(), nullptr);
}

Status CFlavor::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // The first failed write is the answer: a record cut short is no saved record.
  if (const Status status = storage->WriteString(&m_name.Name()); status != kSuccess) return status;
  if (const Status status = storage->WriteString(&m_text); status != kSuccess) return status;
  if (const Status status = pr::WriteAutonym(storage, m_module.Get()); status != kSuccess) return status;
  return pr::WriteAutonym(storage, m_project.Get());
}

Status CFlavor::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  Port::StringBase<char> name;
  if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
  if (const Status status = m_name.Restore(name); status != kSuccess) return status;
  if (const Status status = storage->ReadString(&m_text); status != kSuccess) return status;
  if (const Status status = pr::ReadAutonym(storage, m_module); status != kSuccess) return status;
  return pr::ReadAutonym(storage, m_project);
}

}  // namespace Hvd
