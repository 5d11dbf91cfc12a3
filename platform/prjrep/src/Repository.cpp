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
class CProjectRepository final : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return RepositoryClassId(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{IProjectRepository::GetIID(), &m_XIProjectRepository},
                                  {IProjectRepositoryInternal::GetIID(), &m_XIProjectRepositoryInternal},
                                  {IStorage::GetIID(), m_root.Storage()},
                                  {IStorageControl::GetIID(), m_root.Control()},
                                  {ISimpleNamedLookup::GetIID(), &m_named},
                                  {IAutonymLookup::GetIID(), &m_autonyms},
                                  {IRefCount::GetIID(), &m_refCount},
                                  {IRefCountV1::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), this}});
  }

  names::CNameTable& Table() { return m_table; }

 private:
  Status Open(const Text& path, const Text& clientArea, std::int32_t mode, IStorage** areaStorage,
              CitI::IInterface** other) {
    if (other != nullptr) *other = nullptr;
    AutoOut<IStorage> result(areaStorage);
    if (areaStorage == nullptr || path.empty()) return kFailure;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
      if (m_root.Control()->LoadFromFile(path.c_str()) != kSuccess) return kFailure;
    } else if (mode == kCreate) {
      m_root.Clear();
    } else {
      return kFailure;
    }
    m_path = path;
    // The area may be a path of storages; none names the root.
    AutoPtr<IStorage> area(m_root.Storage());
    for (const Text& name : clientArea.Split("/")) {
      if (name.empty()) continue;
      AutoRelease<IStorage> child;
      if (const Status status = area->OpenStorage(name, mode, child.Receive()); status != kSuccess) return status;
      area = child.Get();
    }
    return result.Assign(area.Get());
  }

  // Everything is written at once: the tree stays in memory, so there is nothing pending.
  Status Write() {
    if (m_path.empty()) return kSuccess;
    return m_root.Control()->SaveToFile(m_path.c_str());
  }

  struct XIProjectRepository : Hvd::TNested<CProjectRepository, IProjectRepository> {
    using TNested::TNested;
    Status Save(std::int32_t flags) override { return m_pThis->Write(); }
    Status Flush() override { return m_pThis->Write(); }
    Status Close() override { return m_pThis->Write(); }
  } m_XIProjectRepository{this};

  struct XIProjectRepositoryInternal : Hvd::TNested<CProjectRepository, IProjectRepositoryInternal> {
    using TNested::TNested;
    Status Open(const Text& path, const Text& clientArea, std::int32_t mode, IStorage** areaStorage,
                CitI::IInterface** other) override {
      return m_pThis->Open(path, clientArea, mode, areaStorage, other);
    }
    Status GetPath(Text* path) override {
      if (path == nullptr) return kFailure;
      *path = m_pThis->m_path;
      return kSuccess;
    }
    Status Close(std::int32_t flags) override { return m_pThis->Write(); }
  } m_XIProjectRepositoryInternal{this};

  names::TNamedLookup<CProjectRepository> m_named{this};
  names::TAutonymLookup<CProjectRepository> m_autonyms{this};
  TRefCountHelper<CProjectRepository> m_refCount{this};
  storage::EmbeddedRoot m_root{this};
  names::CNameTable m_table;
  Text m_path;
};

}  // namespace

void RegisterRepository() { RegisterFactoryOf<CProjectRepository>(); }

}  // namespace Prjrep::standins
