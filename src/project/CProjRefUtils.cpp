#include "project/CProjRefUtils.h"

#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {

// Passes the reference that a utility handed out on to the caller's output, null included.
template <class I>
Status HandOut(Prjrep::AutoRelease<I> found, I** out) {
  *out = found.Detach();
  return kSuccess;
}

}  // namespace

Status CProjRefUtils::GetOwningProject(CitI::IInterface* object, IProject** project) {
  if (project == nullptr)
    return Fail(kInvalidParameter, "ERROR: ProjRefUtils::GetOwningProject - Invalid Parameter.\n");
  return HandOut(Hvd::GetOwningProject(object), project);
}

Status CProjRefUtils::GetObjectFullPath(Port::StringBase<char>* path, CitI::IInterface* object) {
  if (path == nullptr) return Fail(kInvalidParameter, "ERROR: ProjRefUtils::GetObjectFullPath - Invalid Parameter.\n");
  *path = Hvd::GetObjectFullPath(object);
  return kSuccess;
}

Status CProjRefUtils::GetActiveProjectOfRepository(const Port::StringBase<char>& repository, IProject** project) {
  if (project == nullptr) {
    return Fail(kInvalidParameter, "ERROR: ProjRefUtils::GetActiveProjectOfRepository - Invalid Parameter.\n");
  }
  return HandOut(Hvd::GetActiveProjectOfRepository(repository), project);
}

Status CProjRefUtils::GetCvfProject(CitI::IInterface* object, IProjectHelper** helper) {
  if (helper == nullptr) return Fail(kInvalidParameter, "ERROR: ProjRefUtils::GetCvfProject - Invalid Parameter.\n");
  return HandOut(Hvd::GetCvfProject(object, false), helper);
}

}  // namespace Hvd
