#pragma once
// Source libraries and the project's library manager.

#include <cstdint>

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
  // Drops the file and tells it so; 1 when it was not there. The file is never listed
  // afterwards, whatever else fails, so a file may call this while it is torn down.
  virtual Hvd::Status RemoveFileFromLibrary(IHdlFile* file) = 0;
};

// What keeps libraries under their names, asked before a library takes another name: it
// answers whether the name may be taken and keeps the library under it when it may.
class ISourceLibraryKeeper {
 public:
  virtual Hvd::Status RenameSourceLibrary(ISourceLibrary* library, const Port::StringBase<char>& name) = 0;

 protected:
  ~ISourceLibraryKeeper() = default;
};

// What the library's members and its manager use, without checks or events.
class ISourceLibraryInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{1848A991-8023-41fa-8B23-514CD44EA8E8}")

  // Forgets every member without telling them.
  virtual Hvd::Status ClearFiles() = 0;
  // Forgets the file that `file` (any of its interfaces) is; 1 also when it was not listed.
  virtual Hvd::Status DropFile(CitI::IInterface* file) = 0;
  // Sets the library type (1 mixed, 2 Verilog, 3 VHDL) and with it the file types the
  // library accepts; 0 for any other type, which then accepts none. For a library made by
  // class id, whose type is not known at creation.
  virtual Hvd::Status SetLibraryType(std::int32_t type) = 0;
  // The keeper asked before every rename; null when none keeps the library any more.
  virtual Hvd::Status SetKeeper(ISourceLibraryKeeper* keeper) = 0;
};

class ISourceLibraryIterator : public Prjrep::TIIterator<ISourceLibrary*> {
 public:
  CITI_DECLARE_IID("{D4B8803A-BC40-401D-B962-AB7C67AADBC0}")
};

// Libraries kept by name: Add takes the key from the library's name.
class ISourceLibrarySet : public Prjrep::TISet<ISourceLibrary*, ISourceLibraryIterator> {
 public:
  CITI_DECLARE_IID("{D481268A-E3D5-4ce2-8A2E-420A5F5AA2F9}")
};

// Answered by the project.
class ISourceLibraryManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{8E35DC55-749A-4ef5-AC1A-99184459E548}")

  virtual Hvd::Status CreateSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) = 0;
  // Removes the library the iterator stands on; its files move to "work".
  virtual Hvd::Status RemoveSourceLibrary(ISourceLibraryIterator* at) = 0;
  // A new iterator over the libraries in name order, with one reference.
  virtual Hvd::Status GetSourceLibraries(ISourceLibraryIterator** libraries) = 0;
  // The library of that exact name with one reference, or null; 0 only for a null output.
  virtual Hvd::Status FindSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) = 0;
};

}  // namespace Hvd
