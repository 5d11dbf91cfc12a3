#pragma once
// Copying a project elsewhere: where each file lands in the copy, the container the copy is
// gathered in, and the project's own copy, save-as and archive operations.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

// Where a file of the project being copied lands in the copy.
class ICPFileMapInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{822167F6-3C9C-4de7-9D7F-891696DCC319}")

  // The copy's name for `path`; with `force`, even when the map maps only on request.
  virtual Hvd::Status MapFileName(const Port::StringBase<char>& path, Port::StringBase<char>* mapped, bool force) = 0;
  // The same for a file of the working directory.
  virtual Hvd::Status MapWorkingFileName(const Port::StringBase<char>& path, Port::StringBase<char>* mapped,
                                         bool force) = 0;
  virtual bool IsFromSourceWorkingDir(const Port::StringBase<char>& path) = 0;
  virtual bool IsInSourceDatabaseDir(const Port::StringBase<char>& path) = 0;
};

// A named container, at a location, filled item by item with files of a source directory.
class IProjectBundle : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D9CE6F21-2DE3-42af-9F47-3C2B23D7413D}")

  virtual Hvd::Status Initialize(const Port::StringBase<char>& name, const Port::StringBase<char>& location,
                                 const Port::StringBase<char>& sourceDirectory) = 0;
  virtual Hvd::Status Create(bool copyMode) = 0;
  virtual Hvd::Status Delete() = 0;
  virtual Hvd::Status Exists(bool* exists) = 0;
  // Bit 2 of `mode` opens it for writing.
  virtual Hvd::Status Open(std::uint32_t mode) = 0;
  virtual Hvd::Status Close(bool keep) = 0;
  virtual Hvd::Status Rename(const Port::StringBase<char>& name) = 0;
  virtual Hvd::Status AddItem(const Port::StringBase<char>& sourcePath, const Port::StringBase<char>& newPath) = 0;
  // Not supported by any bundle of this library.
  virtual Hvd::Status ReservedOperation9() = 0;
  virtual Hvd::Status ReservedOperation10() = 0;
  virtual Hvd::Status GetItemPath(const Port::StringBase<char>& item, Port::StringBase<char>* path) = 0;
  // The files that could not be copied are handed out with one reference (null when none).
  virtual Hvd::Status ExtractTo(const Port::StringBase<char>& targetDirectory, Prjrep::IStringIterator** failed) = 0;
  virtual Hvd::Status ReservedOperation13() = 0;
};

// The project's own copies. All three ids answer the same object.
class IProjectSaveAsArchive : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B9511B43-2F98-4152-9B5E-1B364DC23855}")

  virtual Hvd::Status SaveAs(const Port::StringBase<char>& targetPath) = 0;
  // The name of the copy's directory of sources from outside the project, given back.
  virtual Hvd::Status SaveAsArchive(const Port::StringBase<char>& archivePath,
                                    Port::StringBase<char>* remoteSourcesName) = 0;
};

class IProjectSaveAsArchive2 : public IProjectSaveAsArchive {
 public:
  CITI_DECLARE_IID("{83e1c5bd-2e1b-417d-9f3b-f2c9ccc7dd98}")

  // `remoteSourcesName` in: the name wanted ("remote_sources" when empty); out: the one used.
  virtual Hvd::Status CopyProject(const Port::StringBase<char>& targetPath, std::uint32_t options,
                                  const Port::StringBase<char>& workingDirectory,
                                  const Port::StringBase<char>& description,
                                  Port::StringBase<char>* remoteSourcesName) = 0;
};

class IProjectSaveAsArchive3 : public IProjectSaveAsArchive2 {
 public:
  CITI_DECLARE_IID("{C446CBB7-A845-441d-B4DF-8802B9A18E19}")

  virtual Hvd::Status CopyProjectTo(const Port::StringBase<char>& projectFileName,
                                    const Port::StringBase<char>& destinationDirectory,
                                    const Port::StringBase<char>& workingDirectory,
                                    const Port::StringBase<char>& description, bool copyContents,
                                    bool writeGenerated) = 0;
  virtual Hvd::Status Archive(const Port::StringBase<char>& archivePath, std::uint32_t options,
                              Port::StringBase<char>* remoteSourcesName) = 0;
};

}  // namespace Hvd
