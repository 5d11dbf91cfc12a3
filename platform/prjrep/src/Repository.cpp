#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Components.h"
#include "Hvd/Status.h"
#include "NameTable.h"
#include "Port/FaultInjection.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IRegKeyPairs.h"
#include "Prjrep/Storage.h"
#include "StorageNode.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;

// The storage of the root that holds the key sections, one item each; apart from the
// storages that clients open by name.
constexpr char kKeySections[] = "#keys";

// One key section: its item holds the pairs as key and value strings, in the order added.
class CRegKeyPairs final : public Hvd::TComponent<CRegKeyPairs> {
 public:
  CRegKeyPairs(IStorage* sections, const Text& name) : m_sections(sections), m_name(name) {}

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IRegKeyPairs>(&m_XIRegKeyPairs), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

 private:
  using Pairs = std::vector<std::pair<Text, Text>>;

  Pairs ReadAll() {
    Pairs pairs;
    AutoRelease<IStorage> item;
    if (m_sections->OpenItem(m_name, kRead, item.Receive()) != kSuccess) return pairs;
    Text key, value;
    while (item->ReadString(&key) == kSuccess && item->ReadString(&value) == kSuccess) pairs.emplace_back(key, value);
    return pairs;
  }

  struct XIRegKeyPairs : Hvd::TNested<CRegKeyPairs, IRegKeyPairs> {
    using TNested::TNested;
    Status GetValue(const Text& key, Text* value) override {
      if (value == nullptr) return kFailure;
      *value = Text();
      for (const auto& pair : This().ReadAll()) {
        if (pair.first == key) return *value = pair.second, kSuccess;
      }
      return kFailure;
    }
    // The item is written anew: a stream is only ever appended to.
    Status SetValue(const Text& key, const Text& value) override {
      CRegKeyPairs& self = This();
      Pairs pairs = self.ReadAll();
      const auto at = std::find_if(pairs.begin(), pairs.end(), [&](const auto& pair) { return pair.first == key; });
      if (at != pairs.end()) {
        at->second = value;
      } else {
        pairs.emplace_back(key, value);
      }
      AutoRelease<IStorage> item;
      if (const Status status = self.m_sections->OpenItem(self.m_name, kCreate, item.Receive()); status != kSuccess) {
        return status;
      }
      for (const auto& pair : pairs) {
        if (item->WriteString(&pair.first) != kSuccess || item->WriteString(&pair.second) != kSuccess) return kFailure;
      }
      return kSuccess;
    }
  } m_XIRegKeyPairs{this};

  TRefCountHelper<CRegKeyPairs> m_refCount{this};
  AutoPtr<IStorage> m_sections;
  Text m_name;
};

// The project repository: a storage tree kept in memory and written to one file, and a
// name table of its own. Its root storage is embedded in it.
class CProjectRepository final : public Hvd::TComponent<CProjectRepository> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Repository(); }

  auto QueryTable() {
    return Hvd::Table(
        Hvd::Row<IProjectRepository>(&m_XIProjectRepository),
        Hvd::Row<IProjectRepositoryInternal>(&m_XIProjectRepositoryInternal), Hvd::Row<IStorage>(m_root.Storage()),
        Hvd::Row<IStorageControl>(m_root.Control()), Hvd::Row<ISimpleNamedLookup>(&m_XISimpleNamedLookup),
        Hvd::Row<IAutonymLookup>(&m_XIAutonymLookup), Hvd::Row<IRegKeyStorage>(&m_XIRegKeyStorage),
        Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  names::CNameTable& Table() { return m_table; }

 private:
  // Everything is written at once: the tree stays in memory, so there is nothing pending.
  Status Write() {
    // A repository opened to be read is never written back.
    if (m_path.empty() || m_readOnly) return kSuccess;
    return m_root.Control()->SaveToFile(m_path.c_str());
  }

  struct XIProjectRepository : Hvd::TNested<CProjectRepository, IProjectRepository> {
    using TNested::TNested;
    Status Save(std::int32_t flags) override { return This().Write(); }
    Status Flush() override { return This().Write(); }
    Status Close() override { return This().Write(); }
  } m_XIProjectRepository{this};

  struct XIProjectRepositoryInternal : Hvd::TNested<CProjectRepository, IProjectRepositoryInternal> {
    using TNested::TNested;
    Status Open(const Text& path, const Text& clientArea, std::int32_t mode, IStorage** areaStorage,
                CitI::IInterface** other) override;
    Status GetPath(Text* path) override {
      if (path == nullptr) return kFailure;
      *path = This().m_path;
      return kSuccess;
    }
    Status Close(std::int32_t flags) override { return This().Write(); }
  } m_XIProjectRepositoryInternal{this};

  struct XIRegKeyStorage : Hvd::TNested<CProjectRepository, IRegKeyStorage> {
    using TNested::TNested;
    Status OpenKey(const Text& name, std::int32_t mode, IRegKeyPairs** keys) override;
  } m_XIRegKeyStorage{this};

  names::XISimpleNamedLookup<CProjectRepository> m_XISimpleNamedLookup{this};
  names::XIAutonymLookup<CProjectRepository> m_XIAutonymLookup{this};
  TRefCountHelper<CProjectRepository> m_refCount{this};
  storage::EmbeddedRoot m_root{this};
  names::CNameTable m_table;
  Text m_path;
  bool m_readOnly = false;
};

Status CProjectRepository::XIProjectRepositoryInternal::Open(const Text& path, const Text& clientArea,
                                                             std::int32_t mode, IStorage** areaStorage,
                                                             CitI::IInterface** other) {
  CProjectRepository& self = This();
  if (other != nullptr) *other = nullptr;
  AutoOut<IStorage> result(areaStorage);
  if (areaStorage == nullptr || path.empty()) return kFailure;
  // Tests make the open fail here, since a root process can read any file.
  if (Port::FaultInjection::ShouldFail("RepositoryOpen", path.str())) return kFailure;
  // Reading wants an existing repository and area; the other modes make what is missing.
  const bool reading = mode == kOpenRepositoryRead || mode == kOpenExisting || mode == kRead;
  const std::int32_t walk = reading ? kOpenExisting : kCreate;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (self.m_root.Control()->LoadFromFile(path.c_str()) != kSuccess) return kFailure;
  } else if (!reading) {
    self.m_root.Clear();
  } else {
    return kFailure;
  }
  self.m_path = path;
  self.m_readOnly = mode == kOpenRepositoryRead;
  // The area may be a path of storages; none names the root.
  AutoPtr<IStorage> area(self.m_root.Storage());
  bool named = false;
  for (const Text& name : clientArea.Split("/")) {
    if (name.empty()) continue;
    AutoRelease<IStorage> child;
    if (const Status status = area->OpenStorage(name, walk, child.Receive()); status != kSuccess) return status;
    area = child.Get();
    named = true;
  }
  // Opening a client area to write it starts it afresh; the root is never emptied so.
  if (mode == kCreate && named) {
    if (AutoCast<IStorageControl> control(area.Get()); control) control->ClearContents();
  }
  return result.Assign(area.Get());
}

// Opening an existing section never empties it, in either mode.
Status CProjectRepository::XIRegKeyStorage::OpenKey(const Text& name, std::int32_t mode, IRegKeyPairs** keys) {
  AutoOut<IRegKeyPairs> result(keys);
  if (keys == nullptr || name.empty() || (mode != kOpenExisting && mode != kCreate)) return kFailure;
  AutoRelease<IStorage> sections, item;
  IStorage* root = This().m_root.Storage();
  if (const Status status = root->OpenStorage(kKeySections, mode, sections.Receive()); status != kSuccess) {
    return status;
  }
  if (sections->OpenItem(name, kOpenExisting, item.Receive()) != kSuccess) {
    if (const Status status = sections->OpenItem(name, mode, item.ReleaseAndReceive()); status != kSuccess) {
      return status;
    }
  }
  return result.Assign(AutoRelease<IRegKeyPairs>(new CRegKeyPairs(sections, name)).Get());
}

}  // namespace

void RegisterRepository() { Hvd::RegisterFactoriesOf<CProjectRepository>(); }

}  // namespace Prjrep::standins
