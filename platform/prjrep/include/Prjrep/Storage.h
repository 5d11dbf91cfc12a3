#pragma once
// The repository's storage stream in memory, backed by one file, and its control
// interface for tests and tools.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/IStorage.h"

namespace Prjrep {

// Answered by every stream that CreateStorage makes. Not thread-safe, like the stream.
class IStorageControl : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7d3b5c1e-42a9-4f06-b8e1-5c0a93d27f64}")

  // The next read starts at the first value. Forgets the objects read and written so far
  // and gives up the references kept for them.
  virtual Hvd::Status Rewind() = 0;

  // Writes the whole stream to `path` through a temporary file beside it, then a rename.
  // 1, or 0 when it could not.
  virtual Hvd::Status SaveToFile(const char* path) = 0;

  // Replaces the stream's content with the file's and rewinds. 0 for a missing,
  // unreadable, truncated or corrupt file, in which case nothing changes.
  virtual Hvd::Status LoadFromFile(const char* path) = 0;

  // Counting from now, the k-th IStorage operation returns `status` and does nothing
  // else; only that one. k <= 0 turns it off.
  virtual void FailOperation(std::int64_t k, Hvd::Status status) = 0;

  // IStorage operations since creation, those that failed included.
  virtual std::int64_t OperationCount() = 0;

  // Drops the storage's values, child storages and items.
  virtual void ClearContents() = 0;
};

// A new empty stream with one reference for the caller. It answers IStorage,
// IStorageControl, Prjrep::IRefCount and the root id.
__attribute__((visibility("default"))) IStorage* CreateStorage();

}  // namespace Prjrep
