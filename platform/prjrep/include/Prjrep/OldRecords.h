#pragma once
// The values of the older repository's object records as its storage streams keep them.
// Each kind of value is stored with a type of its own, so a record read in another order
// than it was written fails at the first value that does not match.

#include <cstdint>

#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Port/XUID.h"
#include "Prjrep/IStorage.h"

namespace Prjrep::old {

// The name of the object table below a client area, and of the stream that records the
// project version below the "Corvane" area.
inline constexpr char kObjectTable[] = "#objects";

inline Hvd::Status ReadVersion(IStorage* s, std::int32_t* v) { return s->ReadInt32(v); }
inline Hvd::Status ReadInt(IStorage* s, std::int32_t* v) { return s->ReadInt32(v); }
inline Hvd::Status ReadCount(IStorage* s, std::uint32_t* v) {
  std::int32_t raw = 0;
  const Hvd::Status status = s->ReadLong(&raw);
  if (status == Hvd::kSuccess) *v = static_cast<std::uint32_t>(raw);
  return status;
}
inline Hvd::Status ReadWide(IStorage* s, std::int64_t* v) { return s->ReadInt64(v); }
inline Hvd::Status ReadItem(IStorage* s, std::int64_t* v) { return s->ReadInt64(v); }
inline Hvd::Status ReadBool(IStorage* s, bool* v) { return s->ReadBool(v); }
inline Hvd::Status ReadString(IStorage* s, Port::StringBase<char>* v) { return s->ReadString(v); }
inline Hvd::Status ReadFileName(IStorage* s, Port::StringBase<char>* v) { return s->ReadString(v); }
inline Hvd::Status ReadXuid(IStorage* s, Port::XUID* v) { return s->ReadXuid(v); }
// The value that closes an object header.
inline Hvd::Status ReadTag(IStorage* s, std::int32_t* v) { return s->ReadLong(v); }

// The writing side, for tools and tests that make older repositories.
inline Hvd::Status WriteVersion(IStorage* s, std::int32_t v) { return s->WriteInt32(v); }
inline Hvd::Status WriteInt(IStorage* s, std::int32_t v) { return s->WriteInt32(v); }
inline Hvd::Status WriteCount(IStorage* s, std::uint32_t v) { return s->WriteLong(static_cast<std::int32_t>(v)); }
inline Hvd::Status WriteWide(IStorage* s, std::int64_t v) { return s->WriteInt64(v); }
inline Hvd::Status WriteItem(IStorage* s, std::int64_t v) { return s->WriteInt64(v); }
inline Hvd::Status WriteBool(IStorage* s, bool v) { return s->WriteBool(v); }
inline Hvd::Status WriteString(IStorage* s, const Port::StringBase<char>& v) { return s->WriteString(&v); }
inline Hvd::Status WriteFileName(IStorage* s, const Port::StringBase<char>& v) { return s->WriteString(&v); }
inline Hvd::Status WriteXuid(IStorage* s, const Port::XUID& v) { return s->WriteXuid(&v); }
inline Hvd::Status WriteTag(IStorage* s, std::int32_t v) { return s->WriteLong(v); }

}  // namespace Prjrep::old
