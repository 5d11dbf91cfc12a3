#pragma once
// Source libraries and the project's library manager.

#include "CitI/IInterface.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class ISourceLibrary : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7C2F9D39-7968-43b1-9E48-513B8B84AF4F}")

  virtual Hvd::Status IsFileTypeValidForLibrary(IFileType* type, bool* valid) = 0;
  // Takes the file (or the file an IFileCompReference refers to); 1 at once when it is there.
  virtual Hvd::Status AddFileToLibrary(IHdlFile* file) = 0;
  virtual Hvd::Status RemoveFileFromLibrary(IHdlFile* file) = 0;
};

class ISourceLibraryIterator : public Prjrep::TIIterator<ISourceLibrary*> {
 public:
  CITI_DECLARE_IID("{D4B8803A-BC40-401D-B962-AB7C67AADBC0}")
};

// Answered by the project.
class ISourceLibraryManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{8E35DC55-749A-4ef5-AC1A-99184459E548}")

  virtual Hvd::Status CreateSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) = 0;
  virtual Hvd::Status RemoveSourceLibrary(ISourceLibraryIterator* at) = 0;
  // A new iterator over the libraries in name order, with one reference.
  virtual Hvd::Status GetSourceLibraries(ISourceLibraryIterator** libraries) = 0;
  // The library of that exact name with one reference, or null; 0 only for a null output.
  virtual Hvd::Status FindSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) = 0;
};

}  // namespace Hvd
