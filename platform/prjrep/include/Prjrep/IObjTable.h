#pragma once
// The object tables of a repository's client area: one entry per stored object, each with
// its instance id, its class id and its record, in the order in which they were stored.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/IPersist.h"

namespace Prjrep {

class IObjectTableInfoIterator : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4903727c-5af1-4139-9448-3b0d47c9a838}")

  virtual Hvd::Status Reset() = 0;
  virtual bool IsDone() = 0;
  virtual Hvd::Status Next() = 0;
  // The current entry's instance and class ids. The three further arguments are kept for
  // callers that pass them; they are not used.
  virtual Hvd::Status GetInfo(Port::XUID* instanceId, Port::XUID* classId, std::int32_t reserved1,
                              std::int32_t reserved2, void* reserved3) = 0;
  // Loads the current entry's record into `object` through its PersistLoad. The object is
  // borrowed: it is neither counted nor asked for its class.
  virtual Hvd::Status LoadObject(IPersist* object) = 0;
};

// Answered by the storage of a client area.
class IObjTableAccess : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{683015d8-60bd-4989-a9d6-2b3aaa982e91}")

  // A new iterator over the area's object table, with one reference for the caller.
  virtual Hvd::Status GetObjectTableIterator(IObjectTableInfoIterator** iterator) = 0;
};

// What a storage holds, told without reading it.
class IStorageContents : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9b0f3c2a-6d41-4e8b-a5f7-2c81d04e6b93}")

  // Its values, child storages and items, together.
  virtual Hvd::Status CountContents(std::int64_t* count) = 0;
};

// Open modes of the repository's Open that the older repository's readers use: read an
// existing repository, create one when missing.
inline constexpr std::int32_t kOpenRepositoryRead = 43;
inline constexpr std::int32_t kOpenRepositoryCreate = 59;

}  // namespace Prjrep
