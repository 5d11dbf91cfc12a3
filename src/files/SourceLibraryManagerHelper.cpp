#include "files/SourceLibraryManagerHelper.h"

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/IProject.h"
#include "Prjrep/IName.h"
#include "core/Diagnostics.h"
#include "core/Events.h"

namespace Hvd {

Status CSourceLibraryManagerHelper::RemoveSourceLibrary(ISourceLibraryIterator*) { return kNotSupported; }

Status CSourceLibraryManagerHelper::GetSourceLibraries(ISourceLibraryIterator**) { return kNotSupported; }

Status CSourceLibraryManagerHelper::FindSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) {
  Prjrep::AutoOut<ISourceLibrary> out(library);
  if (library == nullptr) return kFailure;
  auto found = m_libraries.find(name.str());
  if (found != m_libraries.end()) out.Assign(found->second.Get());
  return kSuccess;
}

Status CSourceLibraryManagerHelper::CreateSourceLibraryOfType(const Port::StringBase<char>& name, int type,
                                                              ISourceLibrary** library) {
  if (name.empty())
    return Fail(kInvalidParameter,
                "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - No library name specified.\n");
  if (type == 0)
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - Invalid Library type <UNDEFINED>.\n");
  Prjrep::AutoOut<ISourceLibrary> out(library);
  if (Prjrep::AutoCast<IProject> project(m_owner); project) {
    bool open = false;
    if (Status status = project->IsOpen(&open); status != kSuccess) return status;
    if (!open)
      return Fail(kProjectNotOpen,
                  "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - Project is not opened.\n");
    bool readOnly = false;
    if (Status status = project->GetReadOnly(&readOnly); status != kSuccess) return status;
    if (readOnly)
      return Fail(kProjectReadOnly,
                  "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - Project is Read Only.\n");
  }
  if (m_libraries.count(name.str()) != 0) {
    return Fail(kSuccess, "INFO: Source library <%s> already exists.\n", name.c_str());
  }
  Prjrep::AutoRelease<ISourceLibrary> created(CitP::Factory::CreateInstance(ClassId::SourceLibrary()));
  Prjrep::AutoCast<Prjrep::IName> named(created.Get());
  if (!created || !named) return kMissingInterface;
  if (Status status = named->SetName(name); status != kSuccess) return status;
  m_libraries[name.str()] = created.Get();
  out.Assign(created.Get());
  return SendEvent(m_owner, EventId::LibraryCreated(), created.Get());
}

}  // namespace Hvd
