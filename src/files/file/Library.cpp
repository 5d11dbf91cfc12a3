// The file's membership in one source library. The library lists its members without counting
// them; the file holds its library and tells it when it leaves.

#include "Hvd/EventIds.h"
#include "core/Diagnostics.h"
#include "files/file/CFile.h"

namespace Hvd {

Status CFile::XISourceLibraryMember::GetLibrary(ISourceLibrary** library) {
  if (library == nullptr) return Fail(kInvalidParameter, "ERROR: CFile::GetLibrary - Invalid Parameter.\n");
  Prjrep::AutoOut<ISourceLibrary>(library).Assign(This().m_library.Get());
  return kSuccess;
}

Status CFile::XISourceLibraryMember::SetLibrary(ISourceLibrary* library) {
  CFile& self = This();
  const Prjrep::AutoCast<ISourceLibrary> joining(library);
  if (joining.Get() == self.m_library.Get()) return kSuccess;
  if (self.m_library) {
    if (Prjrep::AutoCast<ISourceLibraryInternal> leaving(self.m_library.Get()); leaving) {
      if (const Status status = leaving->DropFile(&self.m_XIFile); status != kSuccess) return status;
    }
  }
  self.m_library = joining.Get();
  if (!joining) return kSuccess;
  // The library calls back with itself, which the file then holds already.
  Status result = joining->AddFileToLibrary(&self.m_XIHdlFile);
  if (result == kSuccess) {
    result = SendEvent(&self.m_XIHdlFile, EventId::LibraryMembership(), joining.Get());
    std::ignore = SendEvent(&self.m_XIHdlFile, EventId::FileChanged(), &self.m_XIHdlFile);
  }
  return result;
}

}  // namespace Hvd
