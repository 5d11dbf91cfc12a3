// The helper's project-wide services: Tcl with the helper bound, named objects of a
// repository, and the path and project of a context.
#include "CitP/Factory.h"
#include "Hvd/ITclInterp.h"
#include "Port/MsgMan.h"
#include "Prjrep/IAutonym.h"
#include "pr/CPRHelper.h"
#include "pr/helper/Diagnostics.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"

namespace Hvd {

Status CPRHelper::XIPRSolutionHelper::RunTclCommand(const String& command, bool appendThis) {
  if (!CitP::Factory::LoadLibraryFactory("libHvd_TOE")) return kFailure;
  return InterpHelp::RunCmd(command.c_str(), this, appendThis, nullptr);
}

Status CPRHelper::XIPRSolutionHelper::FindRepositoryObject(const String& repository, const String& name,
                                                         CitI::IInterface** object) {
  if (object == nullptr) {
    Port_MsgManData::debugStub("ERROR: Invalid output parameter.\n");
    return kFailure;
  }
  Prjrep::AutoOut<CitI::IInterface> out(object);
  Prjrep::AutoRelease<Prjrep::IProjectRepository> found = FindAutonymByName(repository.c_str(), false);
  if (name.empty()) {
    std::ignore = out.Assign(found.Get());
    return *object != nullptr ? kSuccess : kFailure;
  }
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(found.Get());
  if (names.Get() == nullptr) return kFailure;
  return names->Find(name, object);
}

Status CPRHelper::XIPRSolutionHelper::GetContextFullPath(CitI::IInterface* context, String* path) {
  if (path == nullptr) return kFailure;
  *path = GetObjectFullPath(context);
  // Answers whether the path is empty, not whether it was found.
  return path->empty() ? kSuccess : kFailure;
}

Status CPRHelper::XIPRSolutionHelper::GetContextProject(CitI::IInterface* context, CitI::IInterface** project) {
  if (project == nullptr) return kFailure;
  Prjrep::AutoOut<CitI::IInterface> out(project);
  std::ignore = out.Assign(GetOwningProject(context).Get());
  return *project != nullptr ? kSuccess : kFailure;
}

}  // namespace Hvd
