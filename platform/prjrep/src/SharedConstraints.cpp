// The shared constraint manager of a project's repository, and the autonym of its kind by
// which a project finds it. The manager keeps its data in the project's database folder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "AutonymPart.h"
#include "Components.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IProjectRepository.h"
#include "core/RefCount.h"
#include "core/RegularFile.h"

namespace Prjrep::standins {
namespace {

namespace fs = std::filesystem;
using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;

// Far past any project's constraints; the file is in a folder that a received project holds.
constexpr std::uintmax_t kMaxDataBytes = std::uintmax_t{64} << 20;

// "<folder>/<base>_qdb/cst.vbcd" for the repository or project file "<folder>/<base>.<ext>".
fs::path DataFileOf(const Text& path) {
  const fs::path file(path.str());
  return file.parent_path() / (file.stem().string() + "_qdb") / "cst.vbcd";
}

// The path of the repository's file; a repository kept in memory is known by the name it is
// registered under.
Text RepositoryPath(CitI::IInterface* repository) {
  Text path;
  if (AutoCast<IProjectRepositoryInternal> internal(repository); internal.Get() != nullptr)
    std::ignore = internal->GetPath(&path);
  if (!path.empty()) return path;
  AutoRelease<IAutonymLookup> registry(CitP::Factory::CreateInstance(ClassId::NamedObjectRegistry()));
  AutoRelease<IAutonym> named;
  if (registry.Get() != nullptr && registry->FindAutonym(repository, named.Receive()) == kSuccess &&
      named.Get() != nullptr)
    std::ignore = named->GetName(&path);
  return path;
}

class CSharedConstraintMgr final : public Hvd::TComponent<CSharedConstraintMgr> {
 public:
  explicit CSharedConstraintMgr(fs::path file) : m_file(std::move(file)) { std::ignore = Read(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ISharedConstraintMgr>(&m_XISharedConstraintMgr), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

 private:
  Status Read() {
    m_data = Text();
    std::error_code error;
    const fs::file_status status = fs::status(m_file, error);
    if (!fs::exists(status)) return kSuccess;
    if (!fs::is_regular_file(status)) return kFailure;
    // Checked again on the open itself, which never waits on a FIFO put there meanwhile.
    std::string data;
    if (!Hvd::ReadRegularFile(m_file.string(), data, kMaxDataBytes)) return kFailure;
    m_data = Text(data);
    return kSuccess;
  }

  // The file goes, or the link in its place; a folder of that name is not the manager's.
  Status Remove() {
    m_data = Text();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(m_file, error);
    if (!fs::exists(status) && !fs::is_symlink(status)) return kSuccess;
    if (!fs::is_regular_file(status) && !fs::is_symlink(status)) return kFailure;
    return fs::remove(m_file, error) ? kSuccess : kFailure;
  }

  struct XISharedConstraintMgr : Hvd::TNested<CSharedConstraintMgr, Hvd::ISharedConstraintMgr> {
    using TNested::TNested;
    Status Reload() override { return This().Read(); }
    Status CleanUp() override { return This().Remove(); }
    Status GetConstraintData(Text* data) override {
      if (data == nullptr) return kFailure;
      *data = This().m_data;
      return kSuccess;
    }
  } m_XISharedConstraintMgr{this};

  TRefCountHelper<CSharedConstraintMgr> m_refCount{this};
  fs::path m_file;
  Text m_data;
};

// The autonym of the manager's kind, created by the manager's class id. It holds no manager:
// resolved in a repository, it finds the one registered there, or makes the repository's
// manager and registers it, so that every way to it gives the same manager.
class CSharedConstraintMgrAutonym final : public Hvd::TComponent<CSharedConstraintMgrAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::SharedConstraintMgrClassId(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IAutonym>(&m_XIAutonym), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  Status NameOf(Text& name) const {
    name = GetCLSID().GetAsString();
    return kSuccess;
  }
  CitI::IInterface* Held() const { return nullptr; }

 private:
  struct XIAutonym final : TAutonymPart<CSharedConstraintMgrAutonym> {
    using TAutonymPart::TAutonymPart;
    Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override;
  } m_XIAutonym{this};
  TRefCountHelper<CSharedConstraintMgrAutonym> m_refCount{this};
};

Status CSharedConstraintMgrAutonym::XIAutonym::Resolve(CitI::IInterface* context, CitI::IInterface** object) {
  AutoOut<CitI::IInterface> result(object);
  AutoCast<IAutonymLookup> lookup(context);
  if (object == nullptr || lookup.Get() == nullptr || AutoCast<IProjectRepository>(context).Get() == nullptr)
    return kFailure;
  AutoRelease<CitI::IInterface> found;
  if (lookup->Resolve(this, found.Receive()) == kSuccess && found.Get() != nullptr) return result.Assign(found.Get());
  // Without an absolute path there is no folder to keep the data in.
  const Text path = RepositoryPath(context);
  if (path.empty() || !fs::path(path.str()).is_absolute()) return kFailure;
  AutoRelease<CitI::IInterface> manager(new CSharedConstraintMgr(DataFileOf(path)));
  if (const Status status = lookup->Register(this, manager.Get()); status != kSuccess) return status;
  return result.Assign(manager.Get());
}

}  // namespace

void RegisterSharedConstraintMgr() { Hvd::RegisterFactoriesOf<CSharedConstraintMgrAutonym>(); }

}  // namespace Prjrep::standins
