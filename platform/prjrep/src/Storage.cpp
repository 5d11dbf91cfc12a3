#include "Prjrep/Storage.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/Status.h"
#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/OldRecords.h"
#include "Components.h"
#include "StorageFormat.h"
#include "StorageNode.h"
#include "core/AtomicFile.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Prjrep::storage {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
}  // namespace

// A storage: its own stream of values, and child storages and items by name. An item is
// a stream without children.
//
// The stream: values appended at the end and read from a read position. Objects written
// are remembered by identity so that a second write stores a back reference; objects
// read are remembered by the position of their record so that a back reference finds
// them. Both memories hold a reference, so that a remembered address is never reused.
// An object never contains itself: a write or a back reference to an object whose own
// record is still being written or read is refused, since it would make a reference
// cycle that nothing could release and walks over it would never end.
class CStorage final : public Hvd::TComponent<CStorage> {
 public:
  // An embedded root leaves its queries and its count to `outer`.
  CStorage(bool item, CitI::IInterface* outer, std::string name = std::string())
      : m_item(item), m_outer(outer), m_name(std::move(name)) {}
  ~CStorage() override { Forget(); }

  // The root id is the node itself, so that holders of CStorage work.
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IStorage>(&m_XIStorage), Hvd::Row<IStorageControl>(&m_XIStorageControl),
                      Hvd::Row<IObjTableAccess>(&m_XIObjTableAccess), Hvd::Row<IStorageContents>(&m_XIStorageContents),
                      Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<IRefCountV1>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (m_outer != nullptr) return m_outer->QueryInterface(iid);
    // Tests take the table access away to reach their callers' failure paths.
    if (iid == IObjTableAccess::GetIID() && Port::FaultInjection::ShouldFail("IObjTableAccess")) return nullptr;
    return TComponent::QueryInterface(iid);
  }

  IStorage* AsStorage() { return &m_XIStorage; }
  IStorageControl* AsControl() { return &m_XIStorageControl; }

  void Clear() { Replace(Tree{}); }

 private:
  using Children = std::map<std::string, AutoPtr<CStorage>>;

  static AutoRelease<CStorage> NewNode(bool item, const std::string& name) {
    return AutoRelease<CStorage>(new CStorage(item, nullptr, name));
  }

  // The child storage reached by `name`: one name, or a path of names separated by "/".
  // A path that begins with "/" and this storage's own name starts here, so that a client
  // area and the paths below it are one storage however the client spells its name.
  CStorage* Walk(const std::string& name, std::int32_t mode) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= name.size()) {
      const std::size_t slash = name.find('/', at);
      const std::string part = name.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
      if (!part.empty()) parts.push_back(part);
      if (slash == std::string::npos) break;
      at = slash + 1;
    }
    std::size_t first = 0;
    if (!name.empty() && name[0] == '/' && parts.size() > 1 && !m_name.empty() && parts[0] == m_name) first = 1;
    if (parts.size() == first) return nullptr;
    CStorage* node = this;
    for (std::size_t i = first; i < parts.size(); ++i) {
      if (node->m_item) return nullptr;
      auto found = node->m_storages.find(parts[i]);
      if (found == node->m_storages.end()) {
        if (mode != kCreate) return nullptr;
        found = node->m_storages.emplace(parts[i], NewNode(false, parts[i])).first;
      }
      node = found->second.Get();
    }
    return node;
  }

  struct Written {
    std::size_t position;
    AutoPtr<CitI::IInterface> hold;
  };

  // Counts the operation; the injected status when it is the one chosen to fail.
  std::optional<Status> Tick() {
    ++m_operations;
    if (m_failCountdown > 0 && --m_failCountdown == 0) return m_failStatus;
    return std::nullopt;
  }

  // Keeps the end of each record, so that finding it never rescans the stream. Memory
  // running out leaves the stream as it was.
  Status Append(Value value) {
    const std::size_t at = m_values.size();
    const Tag tag = value.tag;
    m_ends.resize(at + 1, kOpen);
    m_ends[at] = kOpen;
    m_values.push_back(std::move(value));
    if (IsRecordBegin(tag)) {
      try {
        m_open.push_back(at);
      } catch (...) {
        m_values.pop_back();
        throw;
      }
    } else if (tag == Tag::End && !m_open.empty()) {
      m_ends[m_open.back()] = at + 1;
      m_open.pop_back();
    }
    return kSuccess;
  }

  // Values whose records nest, as a file holds them.
  void SetValues(std::vector<Value>&& values) {
    std::vector<std::size_t> ends(values.size(), kOpen);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (IsRecordBegin(values[i].tag)) {
        open.push_back(i);
      } else if (values[i].tag == Tag::End && !open.empty()) {
        ends[open.back()] = i + 1;
        open.pop_back();
      }
    }
    m_values.swap(values);
    m_ends.swap(ends);
    m_open.swap(open);
  }

  // The value at the read position when it has `tag`, else null; reads that fail leave
  // the position alone.
  const Value* Peek(Tag tag) const {
    if (m_readPos >= m_values.size() || m_values[m_readPos].tag != tag) return nullptr;
    return &m_values[m_readPos];
  }

  template <class T, class Take>
  Status ReadScalar(T* out, Tag tag, Take take) {
    if (auto injected = Tick()) return *injected;
    if (out == nullptr) return kFailure;
    const Value* v = Peek(tag);
    if (v == nullptr) return kFailure;
    take(*out, *v);
    ++m_readPos;
    return kSuccess;
  }

  Status WriteNumber(Tag tag, std::int64_t number) {
    if (auto injected = Tick()) return *injected;
    Value v;
    v.tag = tag;
    v.number = number;
    return Append(std::move(v));
  }

  // Past the End that closes the record begun at `begin`; the stream's end when the
  // record is not closed.
  std::size_t RecordEnd(std::size_t begin) const {
    if (begin >= m_values.size() || !IsRecordBegin(m_values[begin].tag)) {
      return std::min(begin + 1, m_values.size());
    }
    return m_ends[begin] != kOpen ? m_ends[begin] : m_values.size();
  }

  // Forgets the objects read from records in [from, to). The references are given up
  // after the memory is consistent, since an object's destruction may release others.
  void ForgetRead(std::size_t from, std::size_t to) {
    std::vector<AutoPtr<IPersist>> released;
    for (auto it = m_read.begin(); it != m_read.end();) {
      if (it->first >= from && it->first < to) {
        released.push_back(std::move(it->second));
        it = m_read.erase(it);
      } else {
        ++it;
      }
    }
  }

  void ForgetWrittenFrom(std::size_t from) {
    std::vector<AutoPtr<CitI::IInterface>> released;
    for (auto it = m_written.begin(); it != m_written.end();) {
      if (it->second.position >= from) {
        released.push_back(std::move(it->second.hold));
        it = m_written.erase(it);
      } else {
        ++it;
      }
    }
  }

  void Forget() {
    std::unordered_map<CitI::IInterface*, Written> written;
    std::unordered_map<std::size_t, AutoPtr<IPersist>> read;
    written.swap(m_written);
    read.swap(m_read);
  }

  // Undoes everything from `from` on, as if it had never been written. The records begun
  // before `from` that are still open enclose it: none of them closed after it.
  void TruncateTo(std::size_t from) {
    if (from < m_values.size()) {
      m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(from), m_values.end());
      m_ends.resize(from);
    }
    while (!m_open.empty() && m_open.back() >= from) m_open.pop_back();
    m_readPos = std::min(m_readPos, m_values.size());
    ForgetWrittenFrom(from);
    ForgetRead(from, static_cast<std::size_t>(-1));
  }

  Status WriteObjectAs(IPersist* object, bool asRef) {
    if (auto injected = Tick()) return *injected;
    Value v;
    if (object == nullptr) {
      v.tag = asRef ? Tag::NullObjectRef : Tag::NullObject;
      return Append(std::move(v));
    }
    CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID());
    if (root == nullptr) return kFailure;
    if (const auto found = m_written.find(root); found != m_written.end()) {
      if (m_ends[found->second.position] == kOpen) return kFailure;  // inside its own record
      v.tag = asRef ? Tag::BackRefRef : Tag::BackRef;
      v.number = static_cast<std::int64_t>(found->second.position);
      return Append(std::move(v));
    }
    if (m_open.size() >= static_cast<std::size_t>(kMaxDepth)) return kFailure;
    v.tag = asRef ? Tag::ObjectRef : Tag::Object;
    if (const Status status = object->GetClassId(v.first); status != kSuccess) return status;
    if (const Status status = object->GetId(v.second); status != kSuccess) return status;

    const std::size_t begin = m_values.size();
    std::ignore = Append(std::move(v));
    // Remembered before its own data, so that the object can refer to itself.
    m_written.insert_or_assign(root, Written{begin, AutoPtr<CitI::IInterface>(root)});
    const Status status = object->PersistSave(this->AsStorage());
    if (status != kSuccess) {
      TruncateTo(begin);
      return status;
    }
    Value end;
    end.tag = Tag::End;
    return Append(std::move(end));
  }

  Status ReadObjectAs(IPersist** out, bool asRef) {
    AutoOut<IPersist> result(out);
    if (auto injected = Tick()) return *injected;
    if (out == nullptr || m_readPos >= m_values.size()) return kFailure;
    const std::size_t at = m_readPos;
    const Tag tag = m_values[at].tag;
    if (tag == (asRef ? Tag::NullObjectRef : Tag::NullObject)) {
      ++m_readPos;
      return kSuccess;
    }
    if (tag == (asRef ? Tag::BackRefRef : Tag::BackRef)) {
      // A back reference to a record that was skipped or never read names nothing.
      ++m_readPos;
      const auto target = static_cast<std::size_t>(m_values[at].number);
      const auto found = m_read.find(target);
      if (found == m_read.end() || std::find(m_loading.begin(), m_loading.end(), target) != m_loading.end()) {
        return kFailure;
      }
      result.Assign(found->second.Get());
      return kSuccess;
    }
    if (tag != (asRef ? Tag::ObjectRef : Tag::Object)) return kFailure;
    return ReadRecord(at, result);
  }

  Status ReadRecord(std::size_t begin, AutoOut<IPersist>& result) {
    const Port::XUID classId = m_values[begin].first;
    const Port::XUID instanceId = m_values[begin].second;
    // A load that reads the stream again from an earlier point must not recurse forever.
    if (m_loading.size() >= static_cast<std::size_t>(kMaxDepth)) {
      m_readPos = RecordEnd(begin);
      return kFailure;
    }
    AutoRelease<CitI::IInterface> created(CitP::Factory::CreateInstance(classId));
    AutoCast<IPersist> persist(created.Get());
    if (persist.Get() == nullptr || persist->SetId(instanceId) != kSuccess) {
      m_readPos = RecordEnd(begin);
      return kFailure;
    }
    m_readPos = begin + 1;
    // Remembered before its own data, so that a back reference inside it is recognised
    // and refused.
    m_read.insert_or_assign(begin, AutoPtr<IPersist>(persist.Get()));
    m_loading.push_back(begin);
    Status status = persist->PersistLoad(this->AsStorage());
    m_loading.pop_back();
    // The object must have read exactly its own data: the read position is on its End.
    const std::size_t end = RecordEnd(begin);
    if (status == kSuccess && !(m_readPos + 1 == end && m_values[m_readPos].tag == Tag::End)) status = kFailure;
    if (status != kSuccess) {
      ForgetRead(begin, end);
      m_readPos = end;
      return status;
    }
    m_readPos = end;
    result.Assign(persist.Get());
    return kSuccess;
  }

  TreeView View() const {
    TreeView view;
    view.values = &m_values;
    for (const auto& [name, child] : m_storages) view.storages.push_back(NamedView{&name, child->View()});
    for (const auto& [name, item] : m_items) view.items.emplace_back(&name, &item->m_values);
    return view;
  }

  // Takes the tree's content and rewinds. What the node held before is given up once the
  // node is consistent again.
  void Replace(Tree&& tree) {
    Children storages;
    Children items;
    for (auto& [name, subtree] : tree.storages) {
      AutoPtr<CStorage> node = NewNode(false, name);
      node->Replace(std::move(subtree));
      storages.emplace_hint(storages.end(), std::move(name), std::move(node));
    }
    for (auto& [name, values] : tree.items) {
      AutoPtr<CStorage> node = NewNode(true, name);
      node->SetValues(std::move(values));
      items.emplace_hint(items.end(), std::move(name), std::move(node));
    }
    SetValues(std::move(tree.values));
    m_storages.swap(storages);
    m_items.swap(items);
    m_readPos = 0;
    Forget();
  }

  struct XIStorage : Hvd::TNested<CStorage, IStorage> {
    using TNested::TNested;

    Status GetFormatVersion(std::int32_t* version) override {
      if (auto injected = This().Tick()) return *injected;
      if (version == nullptr) return kFailure;
      *version = kFormatVersion;
      return kSuccess;
    }

    Status ReadObject(IPersist** object) override { return This().ReadObjectAs(object, false); }
    Status WriteObject(IPersist* object) override { return This().WriteObjectAs(object, false); }
    Status ReadObjectRef(IPersist** object) override { return This().ReadObjectAs(object, true); }
    Status WriteObjectRef(IPersist* object) override { return This().WriteObjectAs(object, true); }

    Status ReadBool(bool* value) override {
      return This().ReadScalar(value, Tag::Bool, [](bool& out, const Value& v) { out = v.number != 0; });
    }
    Status WriteBool(bool value) override { return This().WriteNumber(Tag::Bool, value ? 1 : 0); }

    Status ReadXuid(Port::XUID* value) override {
      return This().ReadScalar(value, Tag::Xuid, [](Port::XUID& out, const Value& v) { out = v.first; });
    }
    Status WriteXuid(const Port::XUID* value) override {
      if (auto injected = This().Tick()) return *injected;
      if (value == nullptr) return kFailure;
      Value v;
      v.tag = Tag::Xuid;
      v.first = *value;
      return This().Append(std::move(v));
    }

    Status ReadInt32(std::int32_t* value) override {
      return This().ReadScalar(value, Tag::Int32,
                               [](std::int32_t& out, const Value& v) { out = static_cast<std::int32_t>(v.number); });
    }
    Status WriteInt32(std::int32_t value) override { return This().WriteNumber(Tag::Int32, value); }

    Status ReadInt64(std::int64_t* value) override {
      return This().ReadScalar(value, Tag::Int64, [](std::int64_t& out, const Value& v) { out = v.number; });
    }
    Status WriteInt64(std::int64_t value) override { return This().WriteNumber(Tag::Int64, value); }

    Status ReadLong(std::int32_t* value) override {
      return This().ReadScalar(value, Tag::Long,
                               [](std::int32_t& out, const Value& v) { out = static_cast<std::int32_t>(v.number); });
    }
    Status WriteLong(std::int32_t value) override { return This().WriteNumber(Tag::Long, value); }

    Status ReadString(Port::StringBase<char>* value) override {
      return This().ReadScalar(value, Tag::String, [](Port::StringBase<char>& out, const Value& v) {
        out = Port::StringBase<char>(v.text);
      });
    }
    Status WriteString(const Port::StringBase<char>* value) override {
      if (auto injected = This().Tick()) return *injected;
      if (value == nullptr) return kFailure;
      Value v;
      v.tag = Tag::String;
      v.text = value->str();
      return This().Append(std::move(v));
    }

    Status OpenStorage(const Port::StringBase<char>& name, std::int32_t mode, IStorage** child) override;
    Status OpenItem(const Port::StringBase<char>& name, std::int32_t mode, IStorage** item) override;
    Status CloseItem(IStorage* item) override;
    Status Close(std::int32_t flags) override {
      if (auto injected = This().Tick()) return *injected;
      return kSuccess;
    }
  } m_XIStorage{this};

  struct XIStorageControl : Hvd::TNested<CStorage, IStorageControl> {
    using TNested::TNested;
    Status Rewind() override {
      CStorage& self = This();
      self.m_readPos = 0;
      self.Forget();
      return kSuccess;
    }
    Status SaveToFile(const char* path) override;
    Status LoadFromFile(const char* path) override;
    void FailOperation(std::int64_t k, Status status) override {
      This().m_failCountdown = k > 0 ? k : 0;
      This().m_failStatus = status;
    }
    std::int64_t OperationCount() override { return This().m_operations; }
    void ClearContents() override { This().Clear(); }
  } m_XIStorageControl{this};

  struct XIObjTableAccess : Hvd::TNested<CStorage, IObjTableAccess> {
    using TNested::TNested;
    Status GetObjectTableIterator(IObjectTableInfoIterator** iterator) override;
  } m_XIObjTableAccess{this};

  struct XIStorageContents : Hvd::TNested<CStorage, IStorageContents> {
    using TNested::TNested;
    Status CountContents(std::int64_t* count) override {
      if (count == nullptr) return kFailure;
      const CStorage& self = This();
      *count = static_cast<std::int64_t>(self.m_values.size() + self.m_storages.size() + self.m_items.size());
      return kSuccess;
    }
  } m_XIStorageContents{this};

  friend class CObjectTableIterator;

  TRefCountHelper<CStorage> m_refCount{this};

  const bool m_item;
  CitI::IInterface* const m_outer;
  const std::string m_name;
  Children m_storages;
  Children m_items;
  std::vector<Value> m_values;
  // Per value: past the End of the record it begins, kOpen until that End is written.
  static constexpr std::size_t kOpen = 0;
  std::vector<std::size_t> m_ends;
  std::vector<std::size_t> m_open;     // records being written, innermost last
  std::vector<std::size_t> m_loading;  // records being read, innermost last
  std::size_t m_readPos = 0;
  // Failures forget by range with a full walk; the common path is one lookup per object.
  std::unordered_map<CitI::IInterface*, Written> m_written;
  std::unordered_map<std::size_t, AutoPtr<IPersist>> m_read;  // by the position of the record
  std::int64_t m_operations = 0;
  std::int64_t m_failCountdown = 0;
  Status m_failStatus = kFailure;
};

// The opened child with one reference for the caller. Storages are never emptied by an
// open: their other children must survive.
Status CStorage::XIStorage::OpenStorage(const Port::StringBase<char>& name, std::int32_t mode, IStorage** child) {
  CStorage& self = This();
  AutoOut<IStorage> result(child);
  if (auto injected = self.Tick()) return *injected;
  if (child == nullptr || self.m_item || (mode != kOpenExisting && mode != kCreate && mode != kRead)) return kFailure;
  CStorage* found = self.Walk(name.str(), mode);
  if (found == nullptr) return kFailure;
  return result.Assign(found->AsStorage());
}

Status CStorage::XIStorage::OpenItem(const Port::StringBase<char>& name, std::int32_t mode, IStorage** item) {
  CStorage& self = This();
  AutoOut<IStorage> result(item);
  if (auto injected = self.Tick()) return *injected;
  if (item == nullptr || self.m_item || (mode != kOpenExisting && mode != kCreate && mode != kRead)) return kFailure;
  auto found = self.m_items.find(name.str());
  if (found == self.m_items.end()) {
    if (mode != kCreate) return kFailure;
    found = self.m_items.emplace(name.str(), NewNode(true, name.str())).first;
  } else if (mode == kCreate) {
    found->second->Clear();  // a new write replaces the content
  } else if (mode == kRead) {
    std::ignore = found->second->AsControl()->Rewind();
  }
  return result.Assign(found->second->AsStorage());
}

Status CStorage::XIStorage::CloseItem(IStorage* item) {
  CStorage& self = This();
  if (auto injected = self.Tick()) return *injected;
  if (item == nullptr) return kFailure;
  CitI::IInterface* root = item->QueryInterface(CitI::IInterface::GetIID());
  for (auto& entry : self.m_items) {
    if (entry.second.Get() == root) return entry.second->AsControl()->Rewind();
  }
  return kFailure;
}

// The object table of a storage: its child storage kObjectTable, whose items are the
// entries in name order. An entry's stream holds its instance id, its class id and then
// the record. The iterator keeps the table alive and takes the entry names when reset.
class CObjectTableIterator final : public Hvd::TComponent<CObjectTableIterator> {
 public:
  explicit CObjectTableIterator(CStorage* table) : m_table(table) { Reload(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IObjectTableInfoIterator>(&m_XIIterator), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  IObjectTableInfoIterator* AsIterator() { return &m_XIIterator; }

 private:
  void Reload() {
    m_names.clear();
    if (m_table) {
      for (const auto& entry : m_table->m_items) m_names.push_back(entry.first);
    }
    m_at = 0;
  }

  // The current entry's stream, read from its first value.
  AutoRelease<IStorage> Entry() {
    AutoRelease<IStorage> entry;
    if (!m_table || m_at >= m_names.size()) return entry;
    std::ignore = m_table->AsStorage()->OpenItem(Port::StringBase<char>(m_names[m_at]), kRead, entry.Receive());
    return entry;
  }

  struct XIIterator : Hvd::TNested<CObjectTableIterator, IObjectTableInfoIterator> {
    using TNested::TNested;
    Status Reset() override {
      This().Reload();
      return kSuccess;
    }
    bool IsDone() override { return This().m_at >= This().m_names.size(); }
    Status Next() override {
      if (IsDone()) return kFailure;
      ++This().m_at;
      return kSuccess;
    }
    Status GetInfo(Port::XUID* instanceId, Port::XUID* classId, std::int32_t, std::int32_t, void*) override {
      if (instanceId != nullptr) *instanceId = Port::XUID();
      if (classId != nullptr) *classId = Port::XUID();
      if (instanceId == nullptr || classId == nullptr) return kFailure;
      AutoRelease<IStorage> entry = This().Entry();
      if (!entry) return kFailure;
      Port::XUID instance, type;
      if (entry->ReadXuid(&instance) != kSuccess || entry->ReadXuid(&type) != kSuccess) return kFailure;
      *instanceId = instance;
      *classId = type;
      return kSuccess;
    }
    Status LoadObject(IPersist* object) override {
      if (object == nullptr) return kFailure;
      AutoRelease<IStorage> entry = This().Entry();
      Port::XUID skipped;
      if (!entry || entry->ReadXuid(&skipped) != kSuccess || entry->ReadXuid(&skipped) != kSuccess) return kFailure;
      return object->PersistLoad(entry.Get());
    }
  } m_XIIterator{this};

  TRefCountHelper<CObjectTableIterator> m_refCount{this};
  AutoPtr<CStorage> m_table;
  std::vector<std::string> m_names;
  std::size_t m_at = 0;
};

Status CStorage::XIObjTableAccess::GetObjectTableIterator(IObjectTableInfoIterator** iterator) {
  AutoOut<IObjectTableInfoIterator> result(iterator);
  if (iterator == nullptr || This().m_item || Port::FaultInjection::ShouldFail("ObjectTableIterator")) return kFailure;
  const auto found = This().m_storages.find(old::kObjectTable);
  CStorage* table = found == This().m_storages.end() ? nullptr : found->second.Get();
  AutoRelease<CObjectTableIterator> created(new CObjectTableIterator(table));
  return result.Assign(created->AsIterator());
}

// Memory running out on a large file is a failed save or load, not an exception.
Status CStorage::XIStorageControl::SaveToFile(const char* path) try {
  std::vector<std::uint8_t> bytes;
  if (path == nullptr || !Encode(This().View(), bytes)) return kFailure;
  return Hvd::WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
} catch (const std::exception&) {
  return kFailure;
}

Status CStorage::XIStorageControl::LoadFromFile(const char* path) try {
  CStorage& self = This();
  std::vector<std::uint8_t> bytes;
  std::string why;
  Tree tree;
  if (!ReadWholeFile(path, bytes)) return kFailure;
  if (!Decode(bytes.data(), bytes.size(), tree, &why)) {
    // A storage the file holds but no one could reach is not dropped without a word.
    if (!why.empty())
      Port_MsgManData::createObject("ProjectMgmt", "Storage", 0, "")
          .issueError("The storage file \"%s\" is not read: it holds %s.\n", path, why.c_str());
    return kFailure;
  }
  if (self.m_item && (!tree.storages.empty() || !tree.items.empty())) return kFailure;
  self.Replace(std::move(tree));
  return kSuccess;
} catch (const std::exception&) {
  return kFailure;
}

EmbeddedRoot::EmbeddedRoot(CitI::IInterface* outer) : m_node(new CStorage(false, outer)) {}
EmbeddedRoot::~EmbeddedRoot() { delete m_node; }
IStorage* EmbeddedRoot::Storage() const { return m_node->AsStorage(); }
IStorageControl* EmbeddedRoot::Control() const { return m_node->AsControl(); }
void EmbeddedRoot::Clear() { m_node->Clear(); }

}  // namespace Prjrep::storage

namespace Prjrep {

IStorage* CreateStorage() { return (new storage::CStorage(false, nullptr))->AsStorage(); }

namespace standins {
namespace {

// Makes the memory storage by its class id.
class CMemoryStorageFactory final : public Hvd::TComponent<CMemoryStorageFactory, CitI::IFactory> {
 public:
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<CitI::IInterface>(this), Hvd::Row<CitI::IFactory>(this),
                      Hvd::Row<CommonI::IRefCount>(&m_refCount));
  }
  CitI::IInterface* CreateInstance(const Port::XUID& clsid) override {
    if (!(clsid == ClassId::MemoryStorage())) return nullptr;
    IStorage* made = CreateStorage();
    return made->QueryInterface(CitI::IInterface::GetIID());
  }

 private:
  CommonI::TRefCountHelper<CMemoryStorageFactory, 0> m_refCount{this};
};

}  // namespace

void RegisterMemoryStorage() {
  // The registry keeps the factory; the creation reference is given up.
  CitI::IFactory* factory = new CMemoryStorageFactory;
  CitP::Factory::RegisterFactory(ClassId::MemoryStorage(), factory);
  CommonI::ReleaseRef(factory);
}

}  // namespace standins
}  // namespace Prjrep
