// Flavors: made for a module with a project of their own, made for an instance path (module
// and partition found or made), found and deleted by name.
#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Events.h"
#include "core/XmlChars.h"
#include "pr/CPRHelper.h"
#include "pr/helper/DesignWalk.h"
#include "pr/helper/Diagnostics.h"
#include "pr/helper/Names.h"
#include "pr/helper/LinkedSteps.h"
#include "pr/helper/Shared.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {

using String = Port::StringBase<char>;

// Composes the configuration again when the scope is left, however it is left.
class ComposeAgain {
 public:
  ComposeAgain(ICompositionControl* configuration, CitI::IInterface* argument)
      : m_configuration(configuration), m_argument(argument) {}
  ComposeAgain(const ComposeAgain&) = delete;
  ComposeAgain& operator=(const ComposeAgain&) = delete;
  ~ComposeAgain() {
    if (m_configuration.Get() != nullptr) std::ignore = m_configuration->Compose(m_argument.Get());
  }

 private:
  Prjrep::AutoPtr<ICompositionControl> m_configuration;
  Prjrep::AutoPtr<CitI::IInterface> m_argument;
};

String LeafOf(const String& path) {
  const std::size_t at = path.str().rfind('/');
  return at == std::string::npos ? path : String(path.str().substr(at + 1));
}

}  // namespace

Status CPRHelper::XIFlavorHelper::CreateFlavorFromPRModule(CitI::IInterface* context, const String& name,
                                                         IPRModule* module, IFlavor** flavor) {
  CPRHelper& self = This();
  Prjrep::AutoOut<IFlavor> out(flavor);
  Prjrep::AutoRelease<CitI::IInterface> found;
  std::ignore = self.m_XIPRSolutionHelper.GetConfigManager(context, false, found.Receive());
  Prjrep::AutoCast<IConfigurationManager> manager(found.Get());
  if (manager.Get() == nullptr)
    return prhelper::Report(1523, "Could not get the ConfigurationManager", __PRETTY_FUNCTION__);
  // Checked before anything is made: the name becomes the project's directory and file.
  if (!prhelper::CheckProjectName(manager.Get(), name, "flavor", nullptr)) return kFailure;
  Prjrep::AutoRelease<IFlavor> made(CitP::Factory::CreateInstance(ClassId::Flavor()));
  if (made.Get() == nullptr) return prhelper::Report(1513, "Could not create a Flavor component", __PRETTY_FUNCTION__);
  Prjrep::AutoCast<Prjrep::IName> naming(made.Get());
  if (naming.Get() == nullptr) return prhelper::Report(1516, "Could not get the IName interface", __PRETTY_FUNCTION__);
  std::ignore = naming->SetName(name);
  String file;
  prhelper::MakeFlavorProjectFileName(file, &self.m_XIPRSolutionHelper, manager.Get(), name);
  if (file.empty()) {
    Port_MsgManData::debugStub("ERROR: Could not make the flavor project filename.\n");
    return kFailure;
  }
  Prjrep::AutoCast<ISettableFlavor> settable(made.Get());
  if (settable.Get() == nullptr)
    return prhelper::Report(1534, "Could not get the ISettableFlavor interface", __PRETTY_FUNCTION__);
  Prjrep::AutoRelease<CitI::IInterface> staticProject;
  std::ignore = self.m_XIPRSolutionHelper.GetContextProject(manager.Get(), staticProject.Receive());
  Prjrep::AutoRelease<CitI::IInterface> flavorProject;
  std::ignore = self.m_XIPRSolutionHelper.CreateHvdProject(staticProject.Get(), file, flavorProject.Receive());
  if (flavorProject.Get() == nullptr)
    return prhelper::Report(1543, "Could not create a new HVD project for the flavor.", __PRETTY_FUNCTION__);
  std::ignore = settable->SetProject(flavorProject.Get());
  std::ignore = settable->SetPRModule(FindAutonymInSet(manager.Get(), module).Get());
  Prjrep::AutoCast<ISettablePRModule> settableModule(module);
  if (settableModule.Get() == nullptr)
    return prhelper::Report(1561, "Could not get the ISettablePRModule interface", __PRETTY_FUNCTION__);
  std::ignore = settableModule->AddFlavor(made.Get());
  String instancePath;
  std::ignore = module->GetInstancePath(instancePath);
  std::ignore = prhelper::DistributePartitionFiles(instancePath, Prjrep::AutoCast<IProject>(staticProject.Get()).Get(),
                                                   Prjrep::AutoCast<IProject>(flavorProject.Get()).Get());
  std::ignore = SendEvent(manager.Get(), EventId::FlavorCreated(), made.Get());
  std::ignore = out.Assign(made.Get());
  return kSuccess;
}

Status CPRHelper::XIFlavorHelper::CreateFlavorFromInstPath(CitI::IInterface* context, const String& name,
                                                         const String& instancePath, IFlavor** flavor) {
  CPRHelper& self = This();
  Prjrep::AutoOut<IFlavor> out(flavor);
  if (instancePath.empty()) {
    prhelper::UserError(__LINE__,
                        "Need a valid non empty Instance Path to associate this new reconfigurable module with.\nFailed "
                        "to Create a Flavor\n");
    return kFailure;
  }
  // The path names the module's partition, which the project's files hold.
  if (!XmlFits("ProjectMgmt", "The instance path", instancePath.str())) return kFailure;
  const String leaf = LeafOf(instancePath);
  Prjrep::AutoPtr<IPRModuleManager> modules(Prjrep::AutoCast<IPRModuleManager>(context).Get());
  if (modules.Get() == nullptr) {
    Prjrep::AutoRelease<CitI::IInterface> found;
    std::ignore = self.m_XIPRSolutionHelper.GetConfigManager(context, true, found.Receive());
    modules = Prjrep::AutoCast<IPRModuleManager>(found.Get()).Get();
  }
  if (modules.Get() == nullptr) {
    Port_MsgManData::debugStub("iPRModMgr. Fatal Error - Could not get Hvd::IPRModuleManager.\n");
    return kFailure;
  }
  Prjrep::AutoRelease<IProject> top;
  if (Prjrep::AutoCast<IProjectCompReference> reference(modules.Get()); reference.Get() != nullptr)
    std::ignore = reference->GetProject(top.Receive());
  Prjrep::AutoRelease<IConfiguration> active;
  if (Prjrep::AutoCast<IConfigurationManager> manager(modules.Get()); manager.Get() != nullptr)
    std::ignore = manager->GetActiveConfiguration(active.Receive());
  Prjrep::AutoCast<ICompositionControl> composition(active.Get());
  if (composition.Get() != nullptr) std::ignore = composition->Decompose(top.Get());
  // The active configuration is whole again whichever way this operation ends.
  const ComposeAgain recompose(composition.Get(), top.Get());

  // A name the flavor could not have is refused before its module and partition are made.
  if (!prhelper::CheckProjectName(modules.Get(), name, "flavor", nullptr)) return kFailure;
  Prjrep::AutoRelease<IPRModule> module;
  std::ignore = modules->FindPRModule(instancePath, module.Receive());
  const bool madeHere = module.Get() == nullptr;
  if (madeHere) std::ignore = modules->CreatePRModule(instancePath, module.Receive());
  if (module.Get() == nullptr) {
    String reason;
    reason.Format("Could not get or create a PRModule at %s", instancePath.c_str());
    return PRHELPER_REPORT(reason.c_str());
  }
  Prjrep::AutoCast<Prjrep::IName> naming(module.Get());
  if (naming.Get() == nullptr) return PRHELPER_REPORT("Could not get the IName interface");
  std::ignore = naming->SetName(leaf);
  const Status kept = prseams::KeepPartitionAt(GetObjectFullPath(top.Get()), instancePath);
  if (kept == kSuccess) return CreateFlavorFromPRModule(context, name, module.Get(), flavor);

  // A module without its partition would stay in the project without a flavor: the one made
  // for this flavor goes again, one that was there stays.
  if (madeHere && modules->RemovePRModule(module.Get()) != kSuccess) {
    prhelper::UserWarning(__LINE__,
                          "The reconfigurable module made at the instance path \"%s\" could not be removed again.\n",
                          instancePath.c_str());
  }
  if (kept == kNotSupported) {
    // The user hears the cause; the answer stays the report's.
    prhelper::UserError(__LINE__,
                        "Could not create a partition at the instance path \"%s\": the project \"%s\" has no "
                        "hierarchical-design project to keep it in.\nFailed to Create a Flavor\n",
                        instancePath.c_str(), GetObjectFullPath(top.Get()).c_str());
    return PRHELPER_REPORT("Could not get the HDProject for the provided context");
  }
  if (instancePath.str()[0] != '/') {
    prhelper::UserError(__LINE__,
                        "Could not create a partition at the instance path \"%s\": an instance path begins at the top "
                        "with \"/\", as \"/%s\" does.\nFailed to Create a Flavor\n",
                        instancePath.c_str(), instancePath.c_str());
  } else {
    prhelper::UserError(__LINE__,
                        "Could not create a partition at the instance path \"%s\".\nFailed to Create a Flavor\n",
                        instancePath.c_str());
  }
  String reason;
  reason.Format("Could not get or create a partition at %s", instancePath.c_str());
  return PRHELPER_REPORT(reason.c_str());
}

Status CPRHelper::XIFlavorHelper::FindNamedFlavor(const String& name, const String& instancePath, IFlavor** flavor) {
  if (flavor == nullptr) return kFailure;
  Prjrep::AutoOut<IFlavor> out(flavor);
  Prjrep::AutoRelease<CitI::IInterface> found;
  std::ignore = This().m_XIPRSolutionHelper.GetConfigManager(nullptr, false, found.Receive());
  Prjrep::AutoCast<IPRModuleManager> modules(found.Get());
  if (modules.Get() == nullptr) return kSuccess;
  Prjrep::AutoRelease<IPRModuleIterator> it;
  std::ignore = modules->GetPRModules(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    IPRModule* module = it->Current();
    String path;
    if (module == nullptr || module->GetInstancePath(path) != kSuccess) continue;
    if (!instancePath.empty() && path.str() != instancePath.str()) continue;
    Prjrep::AutoRelease<IFlavor> match;
    if (module->FindFlavorWithGivenName(name, match.Receive()) == kSuccess && match.Get() != nullptr) {
      std::ignore = out.Assign(match.Get());
      break;
    }
  }
  return kSuccess;
}

Status CPRHelper::XIFlavorHelper::DeleteNamedFlavor(CitI::IInterface* context, const String& name) {
  Prjrep::AutoRelease<CitI::IInterface> found;
  std::ignore = This().m_XIPRSolutionHelper.GetConfigManager(context, false, found.Receive());
  Prjrep::AutoCast<IPRModuleManager> modules(found.Get());
  Prjrep::AutoCast<IConfigurationManager> manager(found.Get());
  if (modules.Get() == nullptr || manager.Get() == nullptr) return kFailure;
  Prjrep::AutoRelease<IPRModuleIterator> it;
  std::ignore = modules->GetPRModules(it.Receive());
  if (it.Get() == nullptr || it->IsDone()) return kFailure;
  bool removed = false;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoRelease<IFlavor> flavor;
    if (it->Current() == nullptr || it->Current()->FindFlavorWithGivenName(name, flavor.Receive()) != kSuccess ||
        flavor.Get() == nullptr)
      continue;
    removed = manager->RemoveFlavor(flavor.Get()) == kSuccess || removed;
  }
  return removed ? kSuccess : kFailure;
}

}  // namespace Hvd
