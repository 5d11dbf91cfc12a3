// Configurations made from flavor lists and from parallel lists of flavors and instance
// paths; found, deleted and given a flavor by name.
#include <string>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/IProjectHelper.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Events.h"
#include "core/XmlChars.h"
#include "pr/CPRHelper.h"
#include "pr/helper/Diagnostics.h"
#include "pr/helper/Names.h"
#include "pr/helper/Shared.h"
#include "utils/FileStamp.h"
#include "utils/FileUtils.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {


using String = Port::StringBase<char>;

// A blank name is refused before anything is made, as is one that cannot name the
// configuration's project directory or that another flavor or configuration has.
bool AcceptConfigurationName(CitI::IInterface* manager, const String& name) {
  if (name.empty()) {
    prhelper::UserError(__LINE__, "Configuration names must have a valid (non blank) name.");
    return false;
  }
  return prhelper::CheckProjectName(manager, name, "configuration", nullptr);
}

String InstancePathOf(IPRModule* module) {
  String path;
  if (module != nullptr) std::ignore = module->GetInstancePath(path);
  return path;
}

bool HasFlavor(IPRModule* module, const String& name) {
  Prjrep::AutoRelease<IFlavor> flavor;
  return module != nullptr && module->FindFlavorWithGivenName(name, flavor.Receive()) == kSuccess;
}

// The element for a partition: the first whose module is at `path`, else the last whose
// module is named `path`.
Prjrep::AutoPtr<IConfigurationElement> FindElement(IConfigurationElementIterator* elements, const String& path) {
  Prjrep::AutoPtr<IConfigurationElement> byName;
  for (std::ignore = elements->Reset(); !elements->IsDone(); std::ignore = elements->Next()) {
    IConfigurationElement* element = elements->Current();
    Prjrep::AutoRelease<IPRModule> module;
    if (element == nullptr || element->GetPRModule(module.Receive()) != kSuccess) continue;
    if (InstancePathOf(module.Get()).str() == path.str()) return Prjrep::AutoPtr<IConfigurationElement>(element);
    if (GetObjectName(module.Get()).str() == path.str()) byName = element;
  }
  return byName;
}

// A flavor name or instance path holding a NUL names none, and every message would end it
// there: refused before anything is made.
bool NulFreeEach(Prjrep::IStringIterator* each, const char* what) {
  bool fits = true;
  for (std::ignore = each != nullptr ? each->Reset() : kFailure; fits && each != nullptr && !each->IsDone();
       std::ignore = each->Next())
    fits = NulFree("ProjectMgmt", what, each->Current().str());
  return fits;
}

}  // namespace

Status CPRHelper::XIConfigurationHelper::CreateConfigurationFromFlavorList(CitI::IInterface* context,
                                                                         const String& name, const String& flavors,
                                                                         IConfiguration** configuration) {
  CPRHelper& self = This();
  Prjrep::AutoOut<IConfiguration> out(configuration);
  if (flavors.empty()) {
    Port_MsgManData::debugStub(
        "DEBUG: No flavor names provided in \"Configuration new\"call; will create an empty configuration with no "
        "flavors.\n");
  }
  std::vector<String> names = prhelper::SplitFlavorList(flavors);
  const std::size_t given = names.size();
  Prjrep::AutoRelease<CitI::IInterface> manager;
  std::ignore = self.m_XIPRSolutionHelper.GetConfigManager(context, true, manager.Receive());
  if (manager.Get() == nullptr) return PRHELPER_REPORT("Could not get or create a ConfigurationManager");
  if (!AcceptConfigurationName(manager.Get(), name)) return kFailure;
  if (!NulFree("ProjectMgmt", "The flavor list", flavors.str())) return kFailure;
  Prjrep::AutoCast<IPRModuleManager> modules(manager.Get());
  if (modules.Get() == nullptr) return PRHELPER_REPORT("Could not get IPRModuleManager interface");
  Prjrep::AutoRelease<IPRModuleIterator> module;
  std::ignore = modules->GetPRModules(module.Receive());
  if (module.Get() == nullptr) return PRHELPER_REPORT("Could not get a PRModule iterator");

  Prjrep::AutoRelease<Prjrep::IStringSet> chosen((new CFileNameSet)->GetStringSet());
  Prjrep::AutoRelease<Prjrep::IStringSet> paths((new CFileNameSet)->GetStringSet());
  std::size_t taken = 0;
  // Each module takes the earliest name in the list that is one of its flavors.
  for (; !module->IsDone(); std::ignore = module->Next()) {
    IPRModule* current = module->Current();
    if (current == nullptr) return PRHELPER_REPORT("NULL PRModule");
    for (auto it = names.begin(); it != names.end(); ++it) {
      if (!HasFlavor(current, *it)) continue;
      std::ignore = chosen->Add(*it);
      std::ignore = paths->Add(InstancePathOf(current));
      names.erase(it);
      ++taken;
      break;
    }
  }
  if (taken < given) {
    for (std::ignore = module->Reset(); !module->IsDone(); std::ignore = module->Next()) {
      IPRModule* current = module->Current();
      for (auto it = names.begin(); it != names.end();) {
        if (!HasFlavor(current, *it)) {
          ++it;
          continue;
        }
        prhelper::UserWarning(__LINE__, "Multiple reconfigurable modules specified for <%s> ignoring <%s>\n",
                              InstancePathOf(current).c_str(), it->c_str());
        it = names.erase(it);
      }
    }
    for (const String& left : names) {
      prhelper::UserError(__LINE__,
                          "Reconfigurable module <%s> not found.  Check the name or create the named reconfigurable "
                          "module first.",
                          left.c_str());
    }
  }
  Prjrep::AutoRelease<Prjrep::IStringIterator> flavorNames;
  Prjrep::AutoRelease<Prjrep::IStringIterator> instancePaths;
  std::ignore = chosen->GetIterator(flavorNames.Receive());
  std::ignore = paths->GetIterator(instancePaths.Receive());
  Prjrep::AutoRelease<IConfiguration> made;
  std::ignore = CreateConfigurationFromFlavorAndInstPathList(manager.Get(), name, flavorNames.Get(),
                                                             instancePaths.Get(), made.Receive());
  std::ignore = out.Assign(made.Get());
  return made.Get() != nullptr ? kSuccess : kFailure;
}

Status CPRHelper::XIConfigurationHelper::CreateConfigurationFromFlavorAndInstPathList(
    CitI::IInterface* context, const String& name, Prjrep::IStringIterator* flavors,
    Prjrep::IStringIterator* instancePaths, IConfiguration** configuration) {
  CPRHelper& self = This();
  Prjrep::AutoOut<IConfiguration> out(configuration);
  Prjrep::AutoRelease<CitI::IInterface> found;
  std::ignore = self.m_XIPRSolutionHelper.GetConfigManager(context, true, found.Receive());
  Prjrep::AutoCast<IConfigurationManager> manager(found.Get());
  if (manager.Get() == nullptr) return PRHELPER_REPORT("Could not get or create a ConfigurationManager");
  if (!AcceptConfigurationName(manager.Get(), name) || !NulFreeEach(flavors, "The flavor name") ||
      !NulFreeEach(instancePaths, "The instance path"))
    return kFailure;
  Prjrep::AutoRelease<IConfiguration> made;
  std::ignore = manager->CreateConfiguration(made.Receive());
  if (made.Get() == nullptr) return PRHELPER_REPORT("Could not create a Configuration");
  Prjrep::AutoCast<Prjrep::IName> naming(made.Get());
  if (naming.Get() == nullptr) return PRHELPER_REPORT("Could not get the IName interface");
  std::ignore = naming->SetName(name);

  String file;
  prhelper::MakeFlavorProjectFileName(file, &self.m_XIPRSolutionHelper, manager.Get(), name);
  if (file.empty()) {
    Port_MsgManData::debugStub("ERROR: Could not make the flavor project filename.\n");
    return kFailure;
  }
  Prjrep::AutoRelease<CitI::IInterface> top;
  std::ignore = self.m_XIPRSolutionHelper.GetContextProject(manager.Get(), top.Receive());
  Prjrep::AutoRelease<CitI::IInterface> project;
  std::ignore = self.m_XIPRSolutionHelper.CreateHvdProject(top.Get(), file, project.Receive());
  Prjrep::AutoCast<IProjectCompReference> reference(made.Get());
  if (reference.Get() == nullptr) return PRHELPER_REPORT("Could not get the IProjectCompReference interface");
  // A configuration without its project could never be composed: it does not stay.
  if (Prjrep::AutoCast<IProject>(project.Get()).Get() == nullptr ||
      reference->SetProject(Prjrep::AutoCast<IProject>(project.Get()).Get()) != kSuccess) {
    prhelper::UserError(__LINE__, "Could not create the project <%s> of configuration <%s>.\n", file.c_str(),
                        name.c_str());
    std::ignore = manager->RemoveConfiguration(made.Get());
    return kFailure;
  }

  std::ignore = flavors != nullptr ? flavors->Reset() : kFailure;
  std::ignore = instancePaths != nullptr ? instancePaths->Reset() : kFailure;
  for (; flavors != nullptr && instancePaths != nullptr && !flavors->IsDone() && !instancePaths->IsDone();
       std::ignore = flavors->Next(), std::ignore = instancePaths->Next()) {
    const String flavorName = flavors->Current();
    const String path = instancePaths->Current();
    Prjrep::AutoRelease<IConfigurationElementIterator> elements;
    std::ignore = made->GetElements(elements.Receive());
    if (elements.Get() == nullptr) return PRHELPER_REPORT("Could not get a Configuration iterator.");
    Prjrep::AutoPtr<IConfigurationElement> element = FindElement(elements.Get(), path);
    if (element.Get() == nullptr) {
      prhelper::UserWarning(__LINE__, "Could not find reconfigurable partition at <%s>.", path.c_str());
      continue;
    }
    Prjrep::AutoRelease<IPRModule> module;
    std::ignore = element->GetPRModule(module.Receive());
    if (module.Get() == nullptr)
      return PRHELPER_REPORT("Could not get the PRModule associated for the specified Configuration.");
    Prjrep::AutoRelease<IFlavorSet> flavorSet;
    std::ignore = module->GetFlavorSet(flavorSet.Receive());
    if (flavorSet.Get() == nullptr) return PRHELPER_REPORT("Could not get the Flavor set.");
    Prjrep::AutoRelease<IFlavorIterator> flavor;
    std::ignore = flavorSet->GetIterator(flavor.Receive());
    if (flavor.Get() == nullptr) return PRHELPER_REPORT("Could not get a Flavor iterator.");
    bool set = false;
    for (; !flavor->IsDone() && !set; std::ignore = flavor->Next()) {
      if (GetObjectName(flavor->Current()).str() != flavorName.str()) continue;
      if (Prjrep::AutoCast<ISettableConfigurationElement> settable(element.Get()); settable.Get() != nullptr)
        std::ignore = settable->SetFlavor(flavor->Current());
      set = true;
    }
    if (!set) {
      prhelper::UserWarning(__LINE__, "Did not find reconfigurable module <%s> at <%s>.", flavorName.c_str(),
                            path.c_str());
    }
  }
  std::ignore = manager->AddConfiguration(made.Get());
  if (Prjrep::AutoCast<ICompositionControl> composition(made.Get()); composition.Get() != nullptr)
    std::ignore = composition->Compose(manager.Get());
  if (Prjrep::AutoRelease<IProjectHelper> helper = GetCvfProject(made.Get(), false); helper.Get() != nullptr)
    std::ignore = helper->AfterSourcesChanged(1);
  std::ignore = out.Assign(made.Get());
  return kSuccess;
}

Status CPRHelper::XIConfigurationHelper::FindNamedConfiguration(CitI::IInterface* context, const String& name,
                                                              IConfiguration** configuration) {
  if (configuration == nullptr) return PRHELPER_REPORT("Invalid output parameter");
  Prjrep::AutoOut<IConfiguration> out(configuration);
  Prjrep::AutoRelease<CitI::IInterface> found;
  std::ignore = This().m_XIPRSolutionHelper.GetConfigManager(context, false, found.Receive());
  Prjrep::AutoCast<IConfigurationManager> manager(found.Get());
  if (manager.Get() == nullptr) return PRHELPER_REPORT("Could not get the ConfigurationManager");
  Prjrep::AutoRelease<IConfigurationIterator> it;
  std::ignore = manager->GetConfigurations(it.Receive());
  if (it.Get() == nullptr) return PRHELPER_REPORT("Could not get a Configuration iterator");
  for (; !it->IsDone(); std::ignore = it->Next()) {
    if (it->Current() != nullptr && GetObjectName(it->Current()).str() == name.str()) {
      std::ignore = out.Assign(it->Current());
      return kSuccess;
    }
  }
  return kFailure;
}

Status CPRHelper::XIConfigurationHelper::DeleteNamedConfiguration(CitI::IInterface* context, const String& name) {
  Prjrep::AutoRelease<IConfiguration> configuration;
  if (const Status found = FindNamedConfiguration(context, name, configuration.Receive());
      configuration.Get() == nullptr)
    return found;
  Prjrep::AutoRelease<CitI::IInterface> held;
  std::ignore = This().m_XIPRSolutionHelper.GetConfigManager(context, false, held.Receive());
  Prjrep::AutoCast<IConfigurationManager> manager(held.Get());
  if (manager.Get() == nullptr) return PRHELPER_REPORT("Could not get a ConfigurationManager");
  return manager->RemoveConfiguration(configuration.Get());
}

Status CPRHelper::XIConfigurationHelper::AssignReconfigurableModuleToConfiguration(CitI::IInterface* context,
                                                                                 const String& configurationName,
                                                                                 const String& flavorName) {
  Prjrep::AutoRelease<IConfiguration> configuration;
  if (const Status found = FindNamedConfiguration(context, configurationName, configuration.Receive());
      configuration.Get() == nullptr)
    return found;
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = configuration->GetElements(it.Receive());
  if (it.Get() == nullptr) return PRHELPER_REPORT("Could not get a Configuration iterator");
  for (; !it->IsDone(); std::ignore = it->Next()) {
    IConfigurationElement* element = it->Current();
    bool isStatic = false;
    if (element == nullptr || (element->GetIsStatic(&isStatic) == kSuccess && isStatic)) continue;
    Prjrep::AutoRelease<IPRModule> module;
    std::ignore = element->GetPRModule(module.Receive());
    Prjrep::AutoRelease<IFlavor> flavor;
    if (module.Get() == nullptr || module->FindFlavorWithGivenName(flavorName, flavor.Receive()) != kSuccess ||
        flavor.Get() == nullptr)
      continue;
    Prjrep::AutoCast<ISettableConfigurationElement> settable(element);
    const Status status = settable.Get() != nullptr ? settable->SetFlavor(flavor.Get()) : kFailure;
    if (Prjrep::AutoCast<ICompositionControl> composition(configuration.Get()); composition.Get() != nullptr)
      std::ignore = composition->Compose(element);
    std::ignore = SendEvent(configuration.Get(), EventId::ModuleAssignedToConfiguration(), configuration.Get());
    return status;
  }
  return kFailure;
}

}  // namespace Hvd
