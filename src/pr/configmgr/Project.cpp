// The static project the manager belongs to, and the manager's autonym.
#include "framework/CAutonymBase.h"
#include "pr/CConfigurationMgr.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

Status CConfigurationMgr::XIProjectCompReference::SetProject(CitI::IInterface* project) {
  Status result = kSuccess;
  This().SetProject(Prjrep::AutoCast<IProject>(project).Get(), result);
  return result;
}

void CConfigurationMgr::SetProject(IProject* project, Status& result) {
  PropertyAccessor properties(project);
  const std::string type = properties.GetPropertyValue("PROP_HierarchicalProjectType").str();
  if (!type.empty() && type != "N/A" && type != "Static") {
    // A flavor's or configuration's project carries no manager of its own.
    result = kNotAStaticProject;
  } else {
    properties.SetPropertyValue("PROP_HierarchicalProjectType", "Static");
    m_project = project;
    std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActivePRProject", project, true);
    std::ignore = RegisterNamedObject(project, "ConfigManager", &m_XIProjectCompReference, true);
  }
  RefreshProjectName();
}

void CConfigurationMgr::RefreshProjectName() {
  // The project's full path, by which its repository is known: the directories of
  // configurations and flavors are made beside it.
  m_projectName = GetObjectFullPath(m_project.Get());
}

Status CConfigurationMgr::XIProjectCompReference::GetProject(IProject** project) {
  if (project == nullptr) return kFailure;
  Prjrep::AutoOut<IProject> out(project);
  std::ignore = out.Assign(This().m_project.Get());
  return *project != nullptr ? kSuccess : kFailure;
}

Status CConfigurationMgr::XIProjectReference::GetProjectFileName(Port::StringBase<char>* path) {
  if (path == nullptr) return kFailure;
  *path = This().m_projectName;
  return kSuccess;
}

Status CConfigurationMgr::XIProjectReference::SetProjectFileName(const Port::StringBase<char>& path) {
  This().m_projectName = path;
  return kSuccess;
}

Status CConfigurationMgr::XIAutoNaming::GetAutonym(Prjrep::IAutonym** autonym) {
  if (autonym == nullptr) return kFailure;
  auto* made = new CConfigurationMgrAutonym;
  made->SetObject(&This().m_XIConfigurationManager);
  Prjrep::AutoRelease<Prjrep::IAutonym> held(made);
  *autonym = held.Detach();
  return *autonym != nullptr ? kSuccess : kFailure;
}

}  // namespace Hvd
