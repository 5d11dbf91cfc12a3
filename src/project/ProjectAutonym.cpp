#include "CitP/Factory.h"
#include "Prjrep/IProjectRepository.h"
#include "project/CProjectAutonym.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

CProjectAutonym::~CProjectAutonym() {
  if (m_owner != nullptr) m_owner->ForgetAutonym(this);
  m_project = nullptr;
  m_helper = nullptr;
}

IProject* CProjectAutonym::Project() const {
  return m_project ? m_project.Get() : (m_owner != nullptr ? m_owner->Face() : nullptr);
}

Status CProjectAutonym::XISaveAutonym::Resolve(CitI::IInterface* repository, CitI::IInterface** object) {
  CProjectAutonym& self = This();
  if (object != nullptr) *object = nullptr;
  AutoCast<Prjrep::IProjectRepositoryInternal> internal(repository);
  if (!internal) return kFailure;
  Port::StringBase<char> path;
  std::ignore = internal->GetPath(&path);
  // A repository that lives in memory has no path to open again: the project open on it is
  // the one it names.
  if (path.empty()) {
    AutoRelease<CitI::IInterface> open;
    std::ignore = FindNamedObjectIn(repository, "ActiveHvdProject", open.Receive());
    if (!AutoCast<IProject>(open.Get())) return kFailure;
    return Prjrep::AutoOut<CitI::IInterface>(object).Assign(open.Get()), kSuccess;
  }
  AutoRelease<IProjectHelper> helper(CitP::Factory::CreateInstance(ProjectHelperClassId()));
  if (!helper && CitP::Factory::LoadLibraryFactory("libHvd_Cvf"))
    helper = AutoRelease<IProjectHelper>(CitP::Factory::CreateInstance(ProjectHelperClassId()));
  // Opening a project that exists is the helper's second face; handing it out its first.
  AutoCast<IProjectHelper2> opener(helper.Get());
  const Status status = opener ? opener->OpenProject(path) : kFailure;
  self.m_helper = std::move(helper);
  if (self.m_helper) {
    AutoRelease<CitI::IInterface> project;
    std::ignore = self.m_helper->GetProject(project.Receive());
    self.m_project = AutoRelease<IProject>(std::move(project));
    Prjrep::AutoOut<CitI::IInterface>(object).Assign(self.m_project.Get());
  }
  return status;
}

Status CProjectAutonym::XISaveAutonym::GetObject(CitI::IInterface** object) {
  Prjrep::AutoOut<CitI::IInterface> out(object);
  return out.Assign(This().Project());
}

Status CProjectAutonym::XISaveAutonym::IsSame(CitI::IInterface* other, bool* same) {
  if (same != nullptr) *same = false;
  AutoCast<Prjrep::IPersist> persist(other);
  if (!persist) return kFailure;
  Port::XUID id;
  const Status status = persist->GetClassId(id);
  if (same != nullptr) *same = id == ClassId::ProjectAutonym();
  return status;
}

Status CProjectAutonym::XISaveAutonym::SaveObject(CitI::IInterface*) {
  CProjectAutonym& self = This();
  IProject* project = self.Project();
  bool open = false;
  if (project == nullptr || project->IsOpen(&open) != kSuccess || !open) return kSuccess;
  if (!self.m_helper) self.m_helper = GetCvfProject(project, false);
  return self.m_helper ? self.m_helper->AfterSourcesChanged(1) : project->Save();
}

Status CProjectAutonym::XISaveAutonym::CloseObject(CitI::IInterface*) {
  CProjectAutonym& self = This();
  IProject* project = self.Project();
  bool open = false;
  if (project == nullptr || project->IsOpen(&open) != kSuccess || !open) return kSuccess;
  if (!self.m_helper) self.m_helper = GetCvfProject(project, false);
  return self.m_helper ? self.m_helper->CloseProject() : project->ProjectClose(false);
}

}  // namespace Hvd
