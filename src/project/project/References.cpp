// The project's references to other projects.

#include "core/Diagnostics.h"
#include "project/project/CProject.h"

namespace Hvd {

Status CProject::XIProjectReferenceSet::Add(IProjectReference* reference) {
  if (reference == nullptr)
    return Fail(kInvalidParameter, "ERROR: Project::ProjectReferenceAdd - Invalid Parameter.\n");
  if (!m_project->m_open) return Fail(kProjectNotOpen, "ERROR: Project::ProjectReferenceAdd - Project not open.\n");
  if (m_project->m_readOnly)
    return Fail(kProjectReadOnly, "ERROR: Project::ProjectReferenceAdd - Project is Read Only.\n");
  return ReferenceSetBase::Add(reference);
}

// The set gives up its own reference to the element it removes, and that is the only one
// to give up.
Status CProject::XIProjectReferenceSet::Remove(IProjectReferenceIterator* at) {
  if (at == nullptr) return Fail(kInvalidParameter, "ERROR: Project::ProjectReferenceRemove - Invalid Parameter.\n");
  if (!m_project->m_open) return Fail(kProjectNotOpen, "ERROR: Project::ProjectReferenceRemove - Project not open.\n");
  if (m_project->m_readOnly)
    return Fail(kProjectReadOnly, "ERROR: Project::ProjectReferenceRemove - Project is Read Only.\n");
  return ReferenceSetBase::Remove(at);
}

}  // namespace Hvd
