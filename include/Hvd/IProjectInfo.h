#pragma once
// Reading, querying and editing one project source file without opening its project.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

// The operations that need a read file answer 0 (after clearing their output) until
// ReadProjectData succeeded. Edits change the parsed document only; WriteProjectData writes it.
class IProjectInfo : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{EDF80158-4DDA-4903-BF28-064776022AE5}")

  // Reads the .xhlc of `path` (its extension is replaced); 1 when it was parsed, else 0.
  virtual Hvd::Status ReadProjectData(const Port::StringBase<char>& path) = 0;
  // One record per association of a file: "path,type,association,seqIDinc,library".
  virtual Hvd::Status GetAssociations(Prjrep::IStringSet** associations) = 0;
  // 0 Implementation, 1 behavioural, 2 post-translate, 3 post-map, 4 post-route simulation,
  // 5 every file; any other index the files without a numbered branch.
  virtual Hvd::Status GetFilesOfBranch(std::uint32_t branch, Prjrep::IStringSet** files) = 0;
  virtual Hvd::Status GetLibraryNames(Prjrep::IStringSet** names) = 0;
  virtual Hvd::Status GetAllProperties(IPropertyInstanceSet** properties) = 0;
  // 1 when the file lists the property, else 0.
  virtual Hvd::Status GetProperty(const Port::StringBase<char>& name, IPropertyInstance** property) = 0;
  virtual Hvd::Status WriteProjectData(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status SetProperty(const Port::StringBase<char>& name, const Port::StringBase<char>& value) = 0;
  // `associations` is a ","-separated list of branch names.
  virtual Hvd::Status AddFile(const Port::StringBase<char>& name, const Port::StringBase<char>& type,
                              const Port::StringBase<char>& associations, const Port::StringBase<char>& library) = 0;
  virtual Hvd::Status AddFileWithSequence(const Port::StringBase<char>& name, const Port::StringBase<char>& type,
                                          const Port::StringBase<char>& associations,
                                          const Port::StringBase<char>& library,
                                          const Port::StringBase<char>& seqIdInc) = 0;
  // 1 also when the library is listed already.
  virtual Hvd::Status AddLibrary(const Port::StringBase<char>& name) = 0;
  // Writes an empty project source file.
  virtual Hvd::Status WriteNewProjectFile(const Port::StringBase<char>& path) = 0;
  // The product version that wrote the file.
  virtual Hvd::Status GetHlcVersion(Port::StringBase<char>* version) = 0;
  // The project's configuration directory, created when missing; 0 when the project
  // directory does not exist or the configuration directory cannot be made.
  virtual Hvd::Status GetConfigDir(const Port::StringBase<char>& projectDirectory,
                                   Port::StringBase<char>* directory) = 0;
  // The library named for the file, "" when none; 0 when the file is not listed.
  virtual Hvd::Status GetFileLibrary(const Port::StringBase<char>& file, Port::StringBase<char>* library) = 0;
  // The filter file's path in the configuration directory (the file itself is not made).
  virtual Hvd::Status GetFilterFile(const Port::StringBase<char>& projectDirectory, Port::StringBase<char>* path) = 0;
  // The files of that type ("" for all), once each, sorted.
  virtual Hvd::Status GetFileList(const Port::StringBase<char>& type, Prjrep::IStringIterator** files) = 0;
  virtual bool HasFiles(const Port::StringBase<char>& type) = 0;
};

}  // namespace Hvd
