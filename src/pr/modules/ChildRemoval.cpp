#include "pr/modules/ChildRemoval.h"

#include "Port/FileName.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"
#include "utils/InterpHelp.h"
#include "utils/ShellScript.h"

namespace Hvd::pr {

using Text = Port::StringBase<char>;

namespace {

// Whether `configuration` is the manager's active one: by the projects' paths, and by
// identity while either has none.
bool IsActiveConfiguration(IConfigurationManager* manager, IConfiguration* configuration) {
  Prjrep::AutoRelease<IConfiguration> active;
  if (manager != nullptr) std::ignore = manager->GetActiveConfiguration(active.Receive());
  if (active.Get() == nullptr || configuration == nullptr) return false;
  const Text first = GetObjectFullPath(configuration), second = GetObjectFullPath(active.Get());
  if (first.empty() || second.empty()) return SameObject(configuration, active.Get());
  return Port::File::namematch(first.c_str(), second.c_str()) == 1;
}

// Decomposes an active configuration for the time its elements change.
class CompositionGuard {
 public:
  CompositionGuard(IConfigurationManager* manager, IConfiguration* configuration)
      : m_manager(manager), m_control(IsActiveConfiguration(manager, configuration) ? configuration : nullptr) {
    if (m_control.Get() != nullptr) std::ignore = m_control->Decompose(m_manager);
  }
  CompositionGuard(const CompositionGuard&) = delete;
  CompositionGuard& operator=(const CompositionGuard&) = delete;
  ~CompositionGuard() {
    if (m_control.Get() != nullptr) std::ignore = m_control->Compose(m_manager);
  }

 private:
  IConfigurationManager* m_manager;
  Prjrep::AutoPtr<ICompositionControl> m_control;
};

// `object` as `I`, with a reference of its own.
template <class I>
Prjrep::AutoRelease<I> Hold(CitI::IInterface* object) {
  Prjrep::AutoRelease<I> held;
  std::ignore = Prjrep::AutoOut<I>(held.Receive()).Assign(object);
  return held;
}

bool IsOpen(IConfiguration* configuration) { return GetActiveProjectOfObject(configuration).Get() != nullptr; }

}  // namespace

ActiveProjectsKeeper::ActiveProjectsKeeper() {
  Prjrep::AutoRelease<CitI::IInterface> project, repository;
  std::ignore = FindNamedObject("ActiveHvdProject", project.Receive());
  std::ignore = FindNamedObject("ActiveRepository", repository.Receive());
  m_project = std::move(project);
  m_repository = std::move(repository);
}

ActiveProjectsKeeper::~ActiveProjectsKeeper() {
  Prjrep::AutoRelease<CitI::IInterface> registry = GetNamedObjectRegistryCLSID();
  if (m_project.Get() != nullptr) std::ignore = RegisterNamedObject(registry.Get(), "ActiveHvdProject", m_project.Get(), true);
  if (m_repository.Get() != nullptr)
    std::ignore = RegisterNamedObject(registry.Get(), "ActiveRepository", m_repository.Get(), true);
}

Text RemoveChildScript(const Text& parent, const Text& child) {
  Text text("# remove a child project from a parent project: \n#\n");
  text += "set parentFileName " + TclWord(parent) + " \n";
  text += "set childFileName " + TclWord(child) + " \n";
  text += "if {![file isfile $parentFileName]} {\n";
  text += "   return -code error \"The project \\\"$parentFileName\\\" does not exist.\"\n";
  text += "}\n";
  text += "project open $parentFileName\n";
  text += "velfile remove $childFileName\n\n";
  return text;
}

bool WriteAndRunRemoveChildScript(const Text& parent, const Text& child) {
  if (child.empty()) return false;
  return RunShellScript(kRemoveChildScript, RemoveChildScript(parent, child).str());
}

Prjrep::AutoRelease<ISettableConfigurationElement> FindElementForFlavor(IConfiguration* configuration,
                                                                        CitI::IInterface* object) {
  const Text wanted = GetObjectFullPath(object);
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  if (configuration != nullptr) std::ignore = configuration->GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoRelease<CitI::IInterface> flavor;
    if (it->Current() == nullptr) continue;
    std::ignore = it->Current()->GetFlavor(flavor.Receive());
    if (flavor.Get() == nullptr) continue;
    const Text path = GetObjectFullPath(flavor.Get());
    // Two objects without a path are told apart by identity.
    const bool same = path.empty() || wanted.empty() ? SameObject(flavor.Get(), object)
                                                     : Port::File::namematch(path.c_str(), wanted.c_str()) == 1;
    if (same) return Hold<ISettableConfigurationElement>(it->Current());
  }
  return nullptr;
}

Prjrep::AutoRelease<IFlavor> GetDefaultFlavor(IPRModule* module) {
  Prjrep::AutoRelease<IFlavor> flavor;
  if (module == nullptr) return flavor;
  std::ignore = module->GetActiveFlavor(flavor.Receive());
  if (flavor.Get() != nullptr) return flavor;
  Prjrep::AutoRelease<IFlavorSet> set;
  std::ignore = module->GetFlavorSet(set.Receive());
  Prjrep::AutoRelease<IFlavorIterator> it;
  if (set.Get() != nullptr) std::ignore = set->GetIterator(it.Receive());
  if (it.Get() != nullptr && !it->IsDone()) flavor = Hold<IFlavor>(it->Current());
  return flavor;
}

void GetFlavorPathOfModule(IConfiguration* configuration, IPRModule* module, Text& path) {
  if (configuration == nullptr || module == nullptr) return;
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = configuration->GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoRelease<IPRModule> elementModule;
    if (it->Current() != nullptr) std::ignore = it->Current()->GetPRModule(elementModule.Receive());
    if (!SameObject(elementModule.Get(), module)) continue;
    Prjrep::AutoRelease<CitI::IInterface> flavor;
    std::ignore = it->Current()->GetFlavor(flavor.Receive());
    path = GetObjectFullPath(flavor.Get());
    return;
  }
}

void RemoveChildProject(IConfigurationManager* manager, IConfiguration* configuration, CitI::IInterface* flavor,
                        CitI::IInterface* replacement) {
  Prjrep::AutoRelease<ISettableConfigurationElement> element = FindElementForFlavor(configuration, flavor);
  if (element.Get() == nullptr) return;
  const bool open = IsOpen(configuration);
  {
    const CompositionGuard guard(manager, configuration);
    std::ignore = element->SetFlavor(replacement);
  }
  std::ignore = SaveOwningProject(configuration, nullptr);
  if (!open) std::ignore = WriteAndRunRemoveChildScript(GetObjectFullPath(configuration), GetObjectFullPath(flavor));
}

void RemoveModuleFromConfiguration(IConfigurationManager* manager, IConfiguration* configuration, IPRModule* module) {
  const bool open = IsOpen(configuration);
  Text child;
  GetFlavorPathOfModule(configuration, module, child);
  {
    const CompositionGuard guard(manager, configuration);
    if (Prjrep::AutoCast<IConfigurationPrivate> builder(configuration); builder.Get() != nullptr)
      std::ignore = builder->RemoveElementForPRModule(module);
  }
  std::ignore = SaveOwningProject(configuration, nullptr);
  if (!open) std::ignore = WriteAndRunRemoveChildScript(GetObjectFullPath(configuration), child);
}

Status RemoveFlavorFromManager(IConfigurationManager* manager, IFlavor* flavor) {
  if (flavor == nullptr) return kFailure;
  // Held: leaving its module may give up the last reference.
  const Prjrep::AutoPtr<IFlavor> held(flavor);
  Prjrep::AutoRelease<CitI::IInterface> owner;
  std::ignore = flavor->GetPRModule(owner.Receive());
  Prjrep::AutoCast<IPRModule> module(owner.Get());
  Prjrep::AutoCast<ISettablePRModule> settable(module.Get());
  if (settable.Get() == nullptr) return kFailure;
  const Status result = settable->RemoveFlavor(flavor);
  Prjrep::AutoRelease<IFlavor> replacement = GetDefaultFlavor(module.Get());
  Prjrep::AutoRelease<IConfigurationIterator> configurations;
  if (manager != nullptr) std::ignore = manager->GetConfigurations(configurations.Receive());
  if (configurations.Get() != nullptr) {
    const ActiveProjectsKeeper keeper;
    for (; !configurations->IsDone(); std::ignore = configurations->Next()) {
      const Prjrep::AutoPtr<IConfiguration> configuration(configurations->Current());
      RemoveChildProject(manager, configuration.Get(), flavor, replacement.Get());
    }
  }
  Prjrep::AutoRelease<IProject> staticProject;
  if (Prjrep::AutoCast<IProjectCompReference> reference(manager); reference.Get() != nullptr)
    std::ignore = reference->GetProject(staticProject.Receive());
  if (IsActiveProject(flavor)) SetActiveProject(staticProject.Get());
  if (IsActiveRepository(flavor)) SetActiveRepository(staticProject.Get());
  std::ignore = SaveOwningCvfProject(flavor, nullptr);
  return result;
}

}  // namespace Hvd::pr
