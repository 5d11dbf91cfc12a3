#pragma once
// The stream's values, and their file form.
//
// File: the 8-byte magic, then little-endian u32 format version, u64 value count, u64
// payload length and u64 FNV-1a hash of the payload; then the payload: per value a tag
// byte and its fields (see Encode).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Port/XUID.h"

namespace Prjrep::storage {

inline constexpr std::int32_t kFormatVersion = 1;

// Stored in files: never renumber.
enum class Tag : std::uint8_t {
  Int32 = 1,
  Long = 2,
  Int64 = 3,
  Bool = 4,
  String = 5,
  Xuid = 6,
  Object = 7,     // begins an object record: class id, instance id, its data, End
  ObjectRef = 8,  // the same, written as an object reference
  End = 9,
  NullObject = 10,
  NullObjectRef = 11,
  BackRef = 12,  // an object written before: the position of its record
  BackRefRef = 13,
};

inline bool IsRecordBegin(Tag tag) noexcept { return tag == Tag::Object || tag == Tag::ObjectRef; }

struct Value {
  Tag tag = Tag::End;
  std::int64_t number = 0;  // int32, long, int64, bool (0 or 1), a back reference's position
  Port::XUID first;         // the xuid; a record's class id
  Port::XUID second;        // a record's instance id
  std::string text;
};

std::vector<std::uint8_t> Encode(const std::vector<Value>& values);

// False, leaving `out` alone, for anything that Encode would not have produced.
bool Decode(const std::uint8_t* data, std::size_t size, std::vector<Value>& out);

// Through a temporary file beside `path`, then a rename; no temporary is left on failure.
bool WriteFileAtomically(const char* path, const std::vector<std::uint8_t>& bytes);

// A regular file's whole content; false when it cannot be read or is implausibly large.
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes);

}  // namespace Prjrep::storage
