// The file's membership in one source library. The library lists its members without counting
// them; the file holds its library and tells it when it leaves.

#include <utility>

#include "Hvd/EventIds.h"
#include "childproject/Originators.h"
#include "core/Diagnostics.h"
#include "files/file/CFile.h"

namespace Hvd {

Status CFile::XISourceLibraryMember::GetLibrary(ISourceLibrary** library) {
  if (library == nullptr) return Fail(kInvalidParameter, "ERROR: CFile::GetLibrary - Invalid Parameter.\n");
  Prjrep::AutoOut<ISourceLibrary>(library).Assign(This().m_library.Get());
  return kSuccess;
}

Status CFile::ChangeLibrary(ISourceLibrary* next) {
  if (m_library) {
    if (Prjrep::AutoCast<ISourceLibraryInternal> leaving(m_library.Get()); leaving) {
      if (const Status status = leaving->DropFile(&m_XIFile); status != kSuccess) return status;
    }
  }
  m_library = next;
  return kSuccess;
}

// A library read back lists the file already; nothing has changed that anyone should hear of.
Status CFile::XISourceLibraryMemberInternal::AdoptLibrary(ISourceLibrary* library) {
  CFile& self = This();
  if (library == self.m_library.Get()) return kSuccess;
  return self.ChangeLibrary(library);
}

// The file changes library only once the new one has taken it: a library that refuses the file
// leaves it listed in, and holding, the one it had, so the two sides never disagree.
Status CFile::XISourceLibraryMember::SetLibrary(ISourceLibrary* library) {
  CFile& self = This();
  const Prjrep::AutoCast<ISourceLibrary> joining(library);
  if (joining.Get() == self.m_library.Get()) return kSuccess;
  if (!joining) return self.ChangeLibrary(nullptr);
  // The library being asked calls back with itself once it lists the file.
  if (joining.Get() == self.m_joining) return self.ChangeLibrary(joining.Get());

  ISourceLibrary* const asked = std::exchange(self.m_joining, joining.Get());
  Status result = joining->AddFileToLibrary(&self.m_XIHdlFile);
  self.m_joining = asked;
  // A library that lists the file already answers at once, without calling back.
  if (result == kSuccess && self.m_library.Get() != joining.Get()) result = self.ChangeLibrary(joining.Get());
  if (result == kSuccess) {
    result = SendEvent(&self.m_XIHdlFile, EventId::LibraryMembership(), joining.Get());
    std::ignore = SendEvent(&self.m_XIHdlFile, EventId::FileChanged(), &self.m_XIHdlFile);
    // The same file in the project it came from joins the library of that name there; a
    // library that refused the file has nothing to carry over.
    std::ignore = PropagateLibraryToOriginators(&self.m_XIFile);
  }
  return result;
}

}  // namespace Hvd
