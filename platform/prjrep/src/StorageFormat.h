#pragma once
// The stream's values, and the file form of a storage tree.
//
// File: the 8-byte magic, then little-endian u32 format version, u64 node count, u64
// payload length and u64 FNV-1a hash of the payload; then the payload, the root storage.
// A storage: its values (u64 count, then per value a tag byte and its fields, see Encode),
// its child storages (u64 count, then per child its name and the child storage) and its
// items (u64 count, then per item its name and its values). Names are a u64 length and
// the bytes, in ascending order without repeats; a child storage's name is never empty and
// holds no "/", since a path of names reaches it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Port/XUID.h"

namespace Prjrep::storage {

inline constexpr std::int32_t kFormatVersion = 2;
// Deeper trees, and objects nested deeper, are neither written nor read: this bounds the
// decoder's recursion and that of the objects loading each other.
inline constexpr int kMaxDepth = 128;

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

struct NamedTree;

// A decoded storage. Children are held through a type completed below, since a pair
// cannot hold the type that is still being defined.
struct Tree {
  std::vector<Value> values;
  std::vector<NamedTree> storages;
  std::vector<std::pair<std::string, std::vector<Value>>> items;
};

struct NamedTree {
  std::string name;
  Tree tree;
};

struct NamedView;

// A live storage as Encode reads it, without copies of its values. Children in name order.
struct TreeView {
  const std::vector<Value>* values = nullptr;
  std::vector<NamedView> storages;
  std::vector<std::pair<const std::string*, const std::vector<Value>*>> items;
};

struct NamedView {
  const std::string* name;
  TreeView view;
};

// Every End closes a record begun before it, every record is closed, and records nest no
// deeper than kMaxDepth.
bool RecordsNest(const std::vector<Value>& values) noexcept;

// Whether a path of names can reach a child storage of this name.
bool Reachable(const std::string& name) noexcept;

// False when the tree is deeper than kMaxDepth, a stream's records do not nest or a child
// storage's name is not Reachable.
bool Encode(const TreeView& root, std::vector<std::uint8_t>& file);

// False, leaving `out` alone, for anything that Encode would not have produced. When the
// refusal is for a child storage that no path could reach, `why` (when given) says so.
bool Decode(const std::uint8_t* data, std::size_t size, Tree& out, std::string* why = nullptr);

// A regular file's whole content; false when it cannot be read or is implausibly large. The
// open does not wait on a FIFO, and memory is taken as the bytes come.
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes);

}  // namespace Prjrep::storage
