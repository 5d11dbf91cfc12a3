#pragma once
// The repository's storage stream. Values come back in the order in which they were
// written; every operation returns 1 on success.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IPersist.h"

namespace Prjrep {

class IStorage : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{63a2caaf-683e-4bdf-b0aa-83d360bc199d}")

  // The format version of what the stream holds.
  virtual Hvd::Status GetFormatVersion(std::int32_t* version) = 0;

  // An object stored with its data. The object read comes with a reference for the
  // caller; null when null was written. The same object written twice reads back as one.
  virtual Hvd::Status ReadObject(IPersist** object) = 0;
  virtual Hvd::Status WriteObject(IPersist* object) = 0;
  // An object reference: the same, for objects that others refer to.
  virtual Hvd::Status ReadObjectRef(IPersist** object) = 0;
  virtual Hvd::Status WriteObjectRef(IPersist* object) = 0;

  virtual Hvd::Status ReadBool(bool* value) = 0;
  virtual Hvd::Status WriteBool(bool value) = 0;
  virtual Hvd::Status ReadXuid(Port::XUID* value) = 0;
  virtual Hvd::Status WriteXuid(const Port::XUID* value) = 0;
  // Counts and other 32-bit integers.
  virtual Hvd::Status ReadInt32(std::int32_t* value) = 0;
  virtual Hvd::Status WriteInt32(std::int32_t value) = 0;
  virtual Hvd::Status ReadInt64(std::int64_t* value) = 0;
  virtual Hvd::Status WriteInt64(std::int64_t value) = 0;
  // The second form of 32-bit count that some records use.
  virtual Hvd::Status ReadLong(std::int32_t* value) = 0;
  virtual Hvd::Status WriteLong(std::int32_t value) = 0;
  virtual Hvd::Status ReadString(Port::StringBase<char>* value) = 0;
  virtual Hvd::Status WriteString(const Port::StringBase<char>* value) = 0;

  // Storages form a tree: a storage holds child storages and items (streams of values),
  // each by name. The opened storage or item comes with one reference for the caller.
  // Modes: kOpenExisting fails for a missing name; kCreate opens or creates a storage and
  // creates or empties an item; kRead opens an existing item to read it.
  virtual Hvd::Status OpenStorage(const Port::StringBase<char>& name, std::int32_t mode, IStorage** child) = 0;
  virtual Hvd::Status OpenItem(const Port::StringBase<char>& name, std::int32_t mode, IStorage** item) = 0;
  virtual Hvd::Status CloseItem(IStorage* item) = 0;
  virtual Hvd::Status Close(std::int32_t flags) = 0;
};

// Open modes of OpenStorage and OpenItem.
inline constexpr std::int32_t kOpenExisting = 11;
inline constexpr std::int32_t kCreate = 27;
inline constexpr std::int32_t kRead = 1;

}  // namespace Prjrep
