#pragma once
// The project's source files: listing, adding, finding and removing them.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

// The older ids of the file manager; the same object answers all three.
class IFileManagerV1 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{73A54BF1-35D9-42e7-9FE7-F7C1E6E4B928}")

  // A new iterator over the project's files in the order they were added.
  virtual Hvd::Status GetProjectFiles(IHdlFileIterator** files) = 0;
  // 1 added (and placed in the "work" library); 0 added but there is no "work" library,
  // or the file is missing or is the project itself; kAlreadyInProject when the file is
  // there already, which `file` then receives. `type` may be null: the extension decides.
  virtual Hvd::Status ProjectAddFile(const Port::StringBase<char>& path, IFileType* type, IHdlFile** file) = 0;
  virtual Hvd::Status ProjectRemoveFile(IHdlFileIterator* at) = 0;
  virtual Hvd::Status CheckFiles() = 0;
  virtual Hvd::Status RemoveFileByPath(const Port::StringBase<char>& path) = 0;
  // `file` is the file, or a component that refers to one.
  virtual Hvd::Status RemoveFileByHdlFile(CitI::IInterface* file) = 0;
  // 1 with a new iterator left at the file; 0 when not found.
  virtual Hvd::Status FindFileByPath(const Port::StringBase<char>& path, IHdlFileIterator** at) = 0;
  virtual Hvd::Status FindFileByHdlFile(CitI::IInterface* file, IHdlFileIterator** at) = 0;
  // The file of that exact full name with one reference.
  virtual Hvd::Status FindFileCompFromName(const Port::StringBase<char>& name, IHdlFile** file) = 0;
};

class IFileManagerV2 : public IFileManagerV1 {
 public:
  CITI_DECLARE_IID("{9A20F959-AFCA-4806-BF2D-908D6529120C}")
};

class IFileManager : public IFileManagerV2 {
 public:
  CITI_DECLARE_IID("{f7802c82-be0b-4e13-b254-8c62b36e7934}")
};

// The result of adding a file that is in the project already: a plain 6.
inline constexpr Status kAlreadyInProject{6};

class IProjectInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0EAA14DC-A7E7-4f38-A54F-E61DE223C971}")

  // The first file, in the order added, whose two name parts are these; with `userFilesOnly`
  // only files the user added. True when `file` received one (with a reference).
  virtual bool FindFileByNameParts(const Port::StringBase<char>& first, const Port::StringBase<char>& second,
                                   bool userFilesOnly, IHdlFile** file) = 0;
  // ProjectAddFile without the test that the file exists.
  virtual Hvd::Status ProjectAddFile(const Port::StringBase<char>& path, IFileType* type, IHdlFile** file) = 0;
  // The project files written under another name; the project's own paths and stamps stay.
  // `fileMap` maps the files' paths into the copy; null writes them as they are.
  virtual Hvd::Status ProjectWriteAs(const Port::StringBase<char>& path, CitI::IInterface* fileMap) = 0;
  // A copy at `path` with its own description, working directory (relative to the copy's
  // directory, or empty for that directory) and build macro (kept when empty); the generated
  // file only when `writeGenerated`.
  virtual Hvd::Status ProjectWriteCopy(const Port::StringBase<char>& path, CitI::IInterface* fileMap,
                                       const Port::StringBase<char>& description,
                                       const Port::StringBase<char>& workingDirectory,
                                       const Port::StringBase<char>& buildMacro, bool writeGenerated) = 0;
};

// A listener's answer to a question the project broadcasts (such as "may I reload?").
class IConflictReport : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{f4aeefcc-3ce4-4ad7-bf5e-773f8d0f21a7}")

  // 1 when the listener has no objection.
  virtual Hvd::Status GetStatus() = 0;
};

class IConflictReportIterator : public Prjrep::TIIterator<IConflictReport*> {
 public:
  CITI_DECLARE_IID("{69562cb5-b105-46e8-a48c-e1e02ca97812}")
};

class IConflictReportSet : public Prjrep::TISet<IConflictReport*, IConflictReportIterator> {
 public:
  CITI_DECLARE_IID("{71b89a0a-ff43-422d-99be-0ca548ec8b97}")
};

}  // namespace Hvd
