#pragma once
// The migration of a project of the older repository, as the Tcl migration layer reaches
// it: the old project's files and properties as Tcl lists, and the builder that puts files
// and properties into the current project.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IRepoMineTclStrings : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0f48b57a-2875-4341-912a-8222a399af5d}")

  // Reads the older project file at `path`; what an earlier Open read is forgotten first.
  // The repository's own answer: 1 when it was read.
  virtual Hvd::Status Open(const Port::StringBase<char>& path) = 0;
  // A Tcl list of {file library origination association} lists, one per old file.
  virtual Hvd::Status GetFileList(Port::StringBase<char>* list) = 0;
  // A Tcl list of {name value} lists, one per old property.
  virtual Hvd::Status GetPropertyList(Port::StringBase<char>* list) = 0;
};

class IProjectBuilder : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0d215222-ad5a-4429-98ac-545f726ce17c}")

  // The project file whose active project BuildProject builds into.
  virtual Hvd::Status SetProjectFile(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status AddFile(const Port::StringBase<char>& name, const Port::StringBase<char>& library,
                              const Port::StringBase<char>& origination) = 0;
  virtual Hvd::Status AddProperty(const Port::StringBase<char>& name, const Port::StringBase<char>& value) = 0;
  // Builds the files and properties added into the project.
  virtual Hvd::Status BuildProject() = 0;
  virtual Hvd::Status AddFileWithAssociation(const Port::StringBase<char>& name, const Port::StringBase<char>& library,
                                             const Port::StringBase<char>& origination,
                                             const Port::StringBase<char>& association) = 0;
};

}  // namespace Hvd
