#pragma once
// One snapshot of a project: a named, frozen copy kept under the project's "snapshots"
// directory, and the set and iterator through which the project's snapshots are listed.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

class IProject;

class ICheckpoint : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{BF854528-187B-44c3-92C8-AF0E1C30BBB2}")

  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  // Moves the snapshot's directory to the new name; 0 when the name is refused or taken.
  virtual Hvd::Status SetName(const Port::StringBase<char>& name) = 0;
  virtual Hvd::Status GetDescription(Port::StringBase<char>* description) = 0;
  // Also written into the snapshot's project when it can be opened; always 1.
  virtual Hvd::Status SetDescription(const Port::StringBase<char>& description) = 0;
  // Not supported: clears `*out` and answers all bits set.
  virtual Hvd::Status UnsupportedQuery(CitI::IInterface** out) = 0;
  virtual Hvd::Status UnsupportedOperation() = 0;
  // Writes the snapshot: a copy of the open project and its marker file.
  virtual Hvd::Status CreateCheckpointProject() = 0;
  // 1 when the snapshot's directory is gone.
  virtual Hvd::Status DeleteCheckpointFiles() = 0;
  // The snapshot's own project, open, with one reference for the caller when `project` is given.
  virtual Hvd::Status OpenCheckpointProject(IProject** project) = 0;
  virtual Hvd::Status CloseCheckpointProject() = 0;
  // Puts the snapshot's files over the live project and opens it again; the reopened project
  // goes to `*project` with one reference, the files that could not be copied to `*items`.
  virtual Hvd::Status RestoreCheckpointProject(IProject** project, std::int32_t reserved,
                                               Prjrep::IStringIterator** items) = 0;
};

class ICheckpointIterator : public Prjrep::TIIterator<ICheckpoint*> {
 public:
  CITI_DECLARE_IID("{1EFD8138-4CC1-4e55-835D-2B5D26439205}")
};

class ICheckpointSet : public Prjrep::TISet<ICheckpoint*, ICheckpointIterator> {
 public:
  CITI_DECLARE_IID("{012A320B-732F-454d-B919-79CDEC6F04C1}")
};

}  // namespace Hvd
