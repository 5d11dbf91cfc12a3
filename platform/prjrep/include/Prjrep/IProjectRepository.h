#pragma once
// The project repository: one file holding a tree of storages, and a name table of its own.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStorage.h"

namespace Prjrep {

class IProjectRepository : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4acc753f-32b2-4730-96e6-8cf7f75dde8b}")

  // Writes the repository to its file.
  virtual Hvd::Status Save(std::int32_t flags) = 0;
  // Writes what is pending; called before Close.
  virtual Hvd::Status Flush() = 0;
  // Writes the file; what the repository holds stays and can be opened again.
  virtual Hvd::Status Close() = 0;
};

class IProjectRepositoryInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B99C868C-8BF8-4022-B3EF-3132946FEB51}")

  // Opens the repository's file and hands out the storage of one client area of it (a
  // name or a path of names; none is the root), with one reference; `other` is cleared and
  // kept for callers that pass it. Modes: kOpenRepositoryRead (43) and kOpenExisting want
  // the file and the area to exist; kOpenRepositoryCreate (59) makes what is missing;
  // kCreate (27) does the same and empties the named area, for writing it afresh.
  virtual Hvd::Status Open(const Port::StringBase<char>& path, const Port::StringBase<char>& clientArea,
                             std::int32_t mode, IStorage** areaStorage, CitI::IInterface** other) = 0;
  // The path of the repository's file.
  virtual Hvd::Status GetPath(Port::StringBase<char>* path) = 0;
  // The closing call: writes the file, as IProjectRepository::Close does.
  virtual Hvd::Status Close(std::int32_t flags) = 0;
};

}  // namespace Prjrep
