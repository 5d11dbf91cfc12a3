// Finding and making the configuration manager of a project, the separate projects of
// configurations and flavors, and the device settings those projects take from their parent.
#include <map>
#include <string>

#include "CitP/Factory.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "pr/CPRHelper.h"
#include "pr/helper/Diagnostics.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"
#include "utils/FileUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {
namespace {

// Goes back to the working directory it found, however the scope is left.
class WorkingDirectoryGuard {
 public:
  WorkingDirectoryGuard() : m_directory(Port::File::getcwd()) {}
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;
  ~WorkingDirectoryGuard() {
    if (!m_directory.empty()) std::ignore = Port::File::chdir(m_directory);
  }

 private:
  Port::StringBase<char> m_directory;
};

// The manager registered as "ConfigManager" in the named lookup of `object`.
Prjrep::AutoRelease<CitI::IInterface> ManagerIn(CitI::IInterface* object) {
  Prjrep::AutoRelease<CitI::IInterface> manager;
  if (object != nullptr) std::ignore = FindNamedObjectIn(object, "ConfigManager", manager.Receive());
  return manager;
}

}  // namespace

Status CPRHelper::XIPRSolutionHelper::GetConfigManager(CitI::IInterface* context, bool createWhenMissing,
                                                     CitI::IInterface** manager) {
  if (manager == nullptr) {
    Port_MsgManData::debugStub("ERROR: Invalid output parameter.\n");
    return kFailure;
  }
  Prjrep::AutoOut<CitI::IInterface> out(manager);
  Prjrep::AutoPtr<CitI::IInterface> found(Prjrep::AutoCast<IConfigurationManager>(context).Get());
  Prjrep::AutoPtr<IConfiguration> configuration(Prjrep::AutoCast<IConfiguration>(context).Get());
  if (found.Get() == nullptr && configuration.Get() == nullptr && context != nullptr) {
    Prjrep::AutoRelease<CitI::IInterface> project;
    std::ignore = GetContextProject(context, project.Receive());
    found = ManagerIn(project.Get());
    if (found.Get() == nullptr) {
      Prjrep::AutoRelease<CitI::IInterface> named;
      if (project.Get() != nullptr) std::ignore = FindNamedObjectIn(project.Get(), "Configuration", named.Receive());
      configuration = Prjrep::AutoCast<IConfiguration>(named.Get()).Get();
    }
  }
  if (found.Get() == nullptr && configuration.Get() != nullptr) {
    // The static element's object is the static project, which holds the manager.
    Prjrep::AutoRelease<IConfigurationElementIterator> it;
    std::ignore = configuration->GetElements(it.Receive());
    for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      bool isStatic = false;
      if (it->Current() == nullptr || it->Current()->GetIsStatic(&isStatic) != kSuccess || !isStatic) continue;
      Prjrep::AutoRelease<CitI::IInterface> staticProject;
      std::ignore = it->Current()->GetFlavor(staticProject.Receive());
      found = ManagerIn(staticProject.Get());
      break;
    }
  }
  if (found.Get() == nullptr) {
    Prjrep::AutoRelease<CitI::IInterface> active;
    std::ignore = FindNamedObject("ActivePRProject", active.Receive());
    found = ManagerIn(active.Get());
  }
  if (found.Get() == nullptr) {
    Prjrep::AutoRelease<CitI::IInterface> active;
    std::ignore = FindNamedObject("ActiveConfigManager", active.Receive());
    found = active.Get();
  }
  if (found.Get() == nullptr && createWhenMissing) {
    Prjrep::AutoRelease<CitI::IInterface> created;
    std::ignore = CreateConfigManager(context, created.Receive());
    found = created.Get();
  }
  std::ignore = out.Assign(Prjrep::AutoCast<IConfigurationManager>(found.Get()).Get());
  return *manager != nullptr ? kSuccess : kFailure;
}

Status CPRHelper::XIPRSolutionHelper::CreateConfigManager(CitI::IInterface* context, CitI::IInterface** manager) {
  Prjrep::AutoOut<CitI::IInterface> out(manager);
  Prjrep::AutoRelease<CitI::IInterface> project;
  std::ignore = GetContextProject(context, project.Receive());
  if (project.Get() == nullptr) std::ignore = FindNamedObject("ActiveHvdProject", project.Receive());
  if (project.Get() == nullptr) return PRHELPER_REPORT("Could not get the project for the provided context");
  Prjrep::AutoRelease<CitI::IInterface> made(CitP::Factory::CreateInstance(ClassId::ConfigurationMgr()));
  Prjrep::AutoCast<IProjectCompReference> reference(made.Get());
  if (reference.Get() == nullptr) return PRHELPER_REPORT("Could not get the IProjectCompReference interface");
  // A manager that its project refuses (a flavor's or configuration's) is not published.
  if (reference->SetProject(project.Get()) != kSuccess)
    return PRHELPER_REPORT("Could not bind the ConfigurationManager to the project");
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActiveConfigManager", made.Get(), true);
  std::ignore = out.Assign(made.Get());
  return manager != nullptr && *manager != nullptr ? kSuccess : kFailure;
}

Status CPRHelper::XIPRSolutionHelper::CreateHvdProject(CitI::IInterface* parent, const String& file,
                                                     CitI::IInterface** project) {
  Prjrep::AutoOut<CitI::IInterface> out(project);
  if (file.empty()) return PRHELPER_REPORT("Invalid project filename");
  String name = file;
  if (Port::FileName(name).GetExtension().str() != ".hlc") name += ".hlc";
  if (ValidateOrCreateHLCPathDirectory(name) != kSuccess) {
    String message;
    message.Format("DEBUG: Could not create directory for Config=%s at CWD=%s\n", file.c_str(),
                   Port::File::getcwd().c_str());
    Port_MsgManData::debugStub(message.c_str());
    return kFailure;
  }
  Prjrep::AutoRelease<IProjectHelper> helper(CitP::Factory::CreateInstance(ProjectHelperClassId()));
  if (helper.Get() == nullptr && CitP::Factory::LoadLibraryFactory("libHvd_Cvf"))
    helper.Assign(CitP::Factory::CreateInstance(ProjectHelperClassId()));
  if (helper.Get() == nullptr) return PRHELPER_REPORT("Could not get a ProjectHelper");
  Prjrep::AutoRelease<CitI::IInterface> made;
  {
    // The project component may move the process elsewhere.
    const WorkingDirectoryGuard stay;
    std::ignore = helper->MakeProject(name);
    std::ignore = helper->GetProject(made.Receive());
  }
  Prjrep::AutoCast<IProject> madeProject(made.Get());
  if (parent != nullptr && madeProject.Get() != nullptr)
    std::ignore = This().PushDesignPlatformProps(parent, madeProject.Get());
  std::ignore = helper->AfterMakeProject();
  std::ignore = out.Assign(made.Get());
  return project != nullptr && *project != nullptr ? kSuccess : kFailure;
}

Status CPRHelper::PushDesignPlatformProps(CitI::IInterface* source, IProject* destination) {
  Prjrep::AutoCast<IProject> sourceProject(source);
  IDesign* sourceDesign = nullptr;  // borrowed: each project keeps its design
  IDesign* destinationDesign = nullptr;
  if (sourceProject.Get() != nullptr) std::ignore = sourceProject->GetDesign(&sourceDesign);
  if (destination != nullptr) std::ignore = destination->GetDesign(&destinationDesign);
  Prjrep::AutoRelease<IDataStore> store;
  if (sourceDesign != nullptr) std::ignore = sourceDesign->GetDataStore(store.Receive());
  PropertyLevelOrder order(Prjrep::AutoCast<IPropertyTemplateStore>(store.Get()).Get(), 10);
  Prjrep::AutoRelease<IDesignPlatform> sourcePlatform;
  Prjrep::AutoRelease<IDesignPlatform> destinationPlatform;
  if (sourceDesign != nullptr) std::ignore = sourceDesign->GetDesignPlatform(sourcePlatform.Receive());
  if (sourcePlatform.Get() == nullptr) return PRHELPER_REPORT("Could not get the DesignPlatform");
  if (destinationDesign != nullptr)
    std::ignore = destinationDesign->GetDesignPlatform(destinationPlatform.Receive());
  if (destinationPlatform.Get() == nullptr) return PRHELPER_REPORT("Could not get the dest DesignPlatform");
  Prjrep::AutoRelease<IPropertyInstanceIterator> sourceProperties;
  Prjrep::AutoRelease<IPropertyInstanceIterator> destinationProperties;
  std::ignore = sourcePlatform->GetProperties(sourceProperties.Receive());
  if (sourceProperties.Get() == nullptr) return PRHELPER_REPORT("Could not get a Property iterator");
  std::ignore = destinationPlatform->GetProperties(destinationProperties.Receive());
  if (destinationProperties.Get() == nullptr) return PRHELPER_REPORT("Could not get a dest Property iterator");
  for (; !sourceProperties->IsDone(); std::ignore = sourceProperties->Next()) order.Add(sourceProperties->Current());
  // Each destination property by its name: the two platforms need not list them in the
  // order of the levels.
  std::map<std::string, Prjrep::AutoPtr<IPropertyInstance>> byName;
  for (; !destinationProperties->IsDone(); std::ignore = destinationProperties->Next()) {
    String name;
    if (destinationProperties->Current() != nullptr && destinationProperties->Current()->GetName(&name) == kSuccess)
      byName.emplace(name.str(), Prjrep::AutoPtr<IPropertyInstance>(destinationProperties->Current()));
  }
  for (int level = 0; level <= order.HighestLevel(); ++level) {
    for (const Prjrep::AutoPtr<IPropertyInstance>& property : order.Level(level)) {
      String name;
      String value;
      if (property.Get() == nullptr || property->GetName(&name) != kSuccess) continue;
      const auto match = byName.find(name.str());
      if (match == byName.end()) {
        String message;
        message.Format("Did not find matching property for \"%s\"\n", name.c_str());
        Port_MsgManData::debugStub(message.c_str());
        continue;
      }
      if (property->GetValue(&value) == kSuccess) std::ignore = match->second->SetValue(value);
    }
  }
  return kSuccess;
}

}  // namespace Hvd
