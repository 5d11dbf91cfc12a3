#include "StorageFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "core/RegularFile.h"

namespace Prjrep::storage {
namespace {

constexpr std::uint8_t kMagic[8] = {'H', 'v', 'd', 'S', 't', 'r', 'm', 0x1A};
constexpr std::size_t kHeaderSize = sizeof(kMagic) + 4 + 8 + 8 + 8;
// Far beyond any repository; refusing more keeps a stray path from exhausting memory.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& out) : m_out(out) {}
  void U8(std::uint8_t v) { m_out.push_back(v); }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) m_out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Xuid(const Port::XUID& id) {
    U64(id.First());
    U64(id.Second());
  }
  void Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_out.insert(m_out.end(), p, p + size);
  }

 private:
  std::vector<std::uint8_t>& m_out;
};

// Every read checks the bytes left first. A failed read ends the decoding.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : m_p(data), m_left(size) {}
  std::size_t Left() const { return m_left; }
  bool U8(std::uint8_t& v) {
    if (m_left < 1) return false;
    v = *m_p;
    Skip(1);
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (m_left < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{m_p[i]} << (8 * i);
    Skip(4);
    return true;
  }
  bool U64(std::uint64_t& v) {
    if (m_left < 8) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= std::uint64_t{m_p[i]} << (8 * i);
    Skip(8);
    return true;
  }
  bool Xuid(Port::XUID& id) {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    if (m_left < 16) return false;
    U64(first);
    U64(second);
    id = Port::XUID(first, second);
    return true;
  }
  bool Text(std::string& text) {
    std::uint64_t length = 0;
    if (!U64(length) || length > m_left) return false;
    text.assign(reinterpret_cast<const char*>(m_p), static_cast<std::size_t>(length));
    Skip(static_cast<std::size_t>(length));
    return true;
  }
  const std::uint8_t* Here() const { return m_p; }

 private:
  void Skip(std::size_t n) {
    m_p += n;
    m_left -= n;
  }
  const std::uint8_t* m_p;
  std::size_t m_left;
};

void EncodeValue(Writer& w, const Value& v) {
  w.U8(static_cast<std::uint8_t>(v.tag));
  switch (v.tag) {
    case Tag::Int32:
    case Tag::Long:
      w.U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(v.number)));
      break;
    case Tag::Int64:
    case Tag::BackRef:
    case Tag::BackRefRef:
      w.U64(static_cast<std::uint64_t>(v.number));
      break;
    case Tag::Bool:
      w.U8(v.number != 0 ? 1 : 0);
      break;
    case Tag::String:
      w.U64(v.text.size());
      w.Bytes(v.text.data(), v.text.size());
      break;
    case Tag::Xuid:
      w.Xuid(v.first);
      break;
    case Tag::Object:
    case Tag::ObjectRef:
      w.Xuid(v.first);
      w.Xuid(v.second);
      break;
    case Tag::End:
    case Tag::NullObject:
    case Tag::NullObjectRef:
      break;
  }
}

// The next value; `sofar` holds the values decoded before it.
bool DecodeValue(Reader& r, const std::vector<Value>& sofar, Value& v) {
  std::uint8_t tag = 0;
  if (!r.U8(tag)) return false;
  v.tag = static_cast<Tag>(tag);
  switch (v.tag) {
    case Tag::Int32:
    case Tag::Long: {
      std::uint32_t n = 0;
      if (!r.U32(n)) return false;
      v.number = static_cast<std::int32_t>(n);
      return true;
    }
    case Tag::Int64: {
      std::uint64_t n = 0;
      if (!r.U64(n)) return false;
      v.number = static_cast<std::int64_t>(n);
      return true;
    }
    case Tag::BackRef:
    case Tag::BackRefRef: {
      // Only ever to a record begun earlier in the stream.
      std::uint64_t at = 0;
      if (!r.U64(at) || at >= sofar.size() || !IsRecordBegin(sofar[static_cast<std::size_t>(at)].tag)) return false;
      v.number = static_cast<std::int64_t>(at);
      return true;
    }
    case Tag::Bool: {
      std::uint8_t b = 0;
      if (!r.U8(b) || b > 1) return false;
      v.number = b;
      return true;
    }
    case Tag::String:
      return r.Text(v.text);
    case Tag::Xuid:
      return r.Xuid(v.first);
    case Tag::Object:
    case Tag::ObjectRef:
      return r.Xuid(v.first) && r.Xuid(v.second);
    case Tag::End:
    case Tag::NullObject:
    case Tag::NullObjectRef:
      return true;
  }
  return false;  // unknown tag
}

// Counts the nodes while it writes them.
bool EncodeNode(Writer& w, const TreeView& node, int depth, std::uint64_t& nodes) {
  if (depth > kMaxDepth || node.values == nullptr) return false;
  ++nodes;
  auto values = [&w](const std::vector<Value>& list) {
    if (!RecordsNest(list)) return false;
    w.U64(list.size());
    for (const Value& v : list) EncodeValue(w, v);
    return true;
  };
  auto name = [&w](const std::string& text) {
    w.U64(text.size());
    w.Bytes(text.data(), text.size());
  };
  if (!values(*node.values)) return false;
  w.U64(node.storages.size());
  for (const auto& [childName, child] : node.storages) {
    if (!Reachable(*childName)) return false;
    name(*childName);
    if (!EncodeNode(w, child, depth + 1, nodes)) return false;
  }
  w.U64(node.items.size());
  for (const auto& [itemName, item] : node.items) {
    if (item == nullptr) return false;
    name(*itemName);
    if (!values(*item)) return false;
  }
  return true;
}

// A count that cannot exceed the bytes left, each element taking at least one.
bool Count(Reader& r, std::uint64_t& count) { return r.U64(count) && count <= r.Left(); }

bool DecodeValues(Reader& r, std::vector<Value>& out) {
  std::uint64_t count = 0;
  if (!Count(r, count)) return false;
  // A value may take one byte in the file but far more in memory: reserve only what the
  // bytes left could pay for, and let real values grow the list beyond that.
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, r.Left() / sizeof(Value))));
  for (std::uint64_t i = 0; i < count; ++i) {
    Value v;
    if (!DecodeValue(r, out, v)) return false;
    out.push_back(std::move(v));
  }
  return RecordsNest(out);
}

// Names in strictly ascending order, as a map writes them: no repeats.
bool DecodeName(Reader& r, const std::string* previous, std::string& name) {
  return r.Text(name) && (previous == nullptr || *previous < name);
}

// `unreachable` gets the name of a child storage that no path could reach.
bool DecodeNode(Reader& r, int depth, std::uint64_t& nodes, Tree& node, std::optional<std::string>& unreachable) {
  if (depth > kMaxDepth) return false;
  ++nodes;
  if (!DecodeValues(r, node.values)) return false;
  std::uint64_t count = 0;
  if (!Count(r, count)) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    NamedTree child;
    if (!DecodeName(r, node.storages.empty() ? nullptr : &node.storages.back().name, child.name)) return false;
    if (!Reachable(child.name)) {
      unreachable = child.name;
      return false;
    }
    if (!DecodeNode(r, depth + 1, nodes, child.tree, unreachable)) return false;
    node.storages.push_back(std::move(child));
  }
  if (!Count(r, count)) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::pair<std::string, std::vector<Value>> item;
    if (!DecodeName(r, node.items.empty() ? nullptr : &node.items.back().first, item.first) ||
        !DecodeValues(r, item.second)) {
      return false;
    }
    node.items.push_back(std::move(item));
  }
  return true;
}

}  // namespace

bool Reachable(const std::string& name) noexcept { return !name.empty() && name.find('/') == std::string::npos; }

bool RecordsNest(const std::vector<Value>& values) noexcept {
  int depth = 0;
  for (const Value& v : values) {
    if (IsRecordBegin(v.tag)) {
      if (++depth > kMaxDepth) return false;
    } else if (v.tag == Tag::End && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

bool Encode(const TreeView& root, std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> payload;
  Writer body(payload);
  std::uint64_t nodes = 0;
  if (!EncodeNode(body, root, 0, nodes)) return false;

  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize + payload.size());
  Writer head(out);
  head.Bytes(kMagic, sizeof(kMagic));
  head.U32(static_cast<std::uint32_t>(kFormatVersion));
  head.U64(nodes);
  head.U64(payload.size());
  head.U64(Fnv1a(payload.data(), payload.size()));
  head.Bytes(payload.data(), payload.size());
  file.swap(out);
  return true;
}

bool Decode(const std::uint8_t* data, std::size_t size, Tree& out, std::string* why) {
  if (data == nullptr || size < kHeaderSize || std::memcmp(data, kMagic, sizeof(kMagic)) != 0) return false;
  Reader head(data + sizeof(kMagic), size - sizeof(kMagic));
  std::uint32_t version = 0;
  std::uint64_t count = 0;
  std::uint64_t payloadSize = 0;
  std::uint64_t hash = 0;
  head.U32(version);
  head.U64(count);
  head.U64(payloadSize);
  head.U64(hash);
  if (version != static_cast<std::uint32_t>(kFormatVersion)) return false;
  if (payloadSize != head.Left()) return false;
  if (Fnv1a(head.Here(), head.Left()) != hash) return false;

  Tree tree;
  std::uint64_t nodes = 0;
  std::optional<std::string> unreachable;
  Reader body(head.Here(), head.Left());
  if (!DecodeNode(body, 0, nodes, tree, unreachable) || nodes != count || body.Left() != 0) {
    if (unreachable && why != nullptr)
      *why = "a storage named \"" + *unreachable + "\", which no path of names reaches";
    return false;
  }
  out = std::move(tree);
  return true;
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
  if (path == nullptr || *path == '\0') return false;
  std::vector<std::uint8_t> content;
  if (!Hvd::ReadRegularFile(path, content, kMaxFileSize)) return false;
  bytes.swap(content);
  return true;
}

}  // namespace Prjrep::storage
