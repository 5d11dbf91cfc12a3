#include <sys/stat.h>

#include <string>

#include "Components.h"
#include "Hvd/Status.h"
#include "NameTable.h"
#include "Prjrep/IProjectRepository.h"
#include "StorageNode.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;

// The project repository: a storage tree kept in memory and written to one file, and a
// name table of its own. Its root storage is embedded in it.
class CProjectRepository final : public Hvd::TComponent<CProjectRepository> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Repository(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IProjectRepository>(&m_XIProjectRepository),
                      Hvd::Row<IProjectRepositoryInternal>(&m_XIProjectRepositoryInternal),
                      Hvd::Row<IStorage>(m_root.Storage()), Hvd::Row<IStorageControl>(m_root.Control()),
                      Hvd::Row<ISimpleNamedLookup>(&m_XISimpleNamedLookup),
                      Hvd::Row<IAutonymLookup>(&m_XIAutonymLookup), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  names::CNameTable& Table() { return m_table; }

 private:
  // Everything is written at once: the tree stays in memory, so there is nothing pending.
  Status Write() {
    if (m_path.empty()) return kSuccess;
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

  names::XISimpleNamedLookup<CProjectRepository> m_XISimpleNamedLookup{this};
  names::XIAutonymLookup<CProjectRepository> m_XIAutonymLookup{this};
  TRefCountHelper<CProjectRepository> m_refCount{this};
  storage::EmbeddedRoot m_root{this};
  names::CNameTable m_table;
  Text m_path;
};

Status CProjectRepository::XIProjectRepositoryInternal::Open(const Text& path, const Text& clientArea,
                                                             std::int32_t mode, IStorage** areaStorage,
                                                             CitI::IInterface** other) {
  CProjectRepository& self = This();
  if (other != nullptr) *other = nullptr;
  AutoOut<IStorage> result(areaStorage);
  if (areaStorage == nullptr || path.empty()) return kFailure;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (self.m_root.Control()->LoadFromFile(path.c_str()) != kSuccess) return kFailure;
  } else if (mode == kCreate) {
    self.m_root.Clear();
  } else {
    return kFailure;
  }
  self.m_path = path;
  // The area may be a path of storages; none names the root.
  AutoPtr<IStorage> area(self.m_root.Storage());
  for (const Text& name : clientArea.Split("/")) {
    if (name.empty()) continue;
    AutoRelease<IStorage> child;
    if (const Status status = area->OpenStorage(name, mode, child.Receive()); status != kSuccess) return status;
    area = child.Get();
  }
  return result.Assign(area.Get());
}

}  // namespace

void RegisterRepository() { Hvd::RegisterFactoriesOf<CProjectRepository>(); }

}  // namespace Prjrep::standins
