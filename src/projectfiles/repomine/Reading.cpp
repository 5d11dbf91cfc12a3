// Reading an older repository: the version test, the object tables into the migration
// state, the links between the old objects, the snapshot descriptions, and the clearing of
// the repository's lock and client areas.

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "CitP/Factory.h"
#include "Port/FileName.h"
#include "Port/Version.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IRegKeyPairs.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "projectfiles/RepoMine.h"

using Hvd::Fail;
using Hvd::kSuccess;
using Hvd::Status;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

namespace {

constexpr char kClient[] = "Corvane";

// Absolute and canonical, so that one project has one name.
String IdText(const Port::XUID& id) { return id.GetAsString(); }

// A repository opened for reading, closed when the scope ends.
class OpenedRepository {
 public:
  OpenedRepository(const String& path, const char* area) {
    m_component.Assign(CitP::Factory::CreateInstance(Prjrep::ClassId::Repository()));
    AutoCast<Prjrep::IProjectRepositoryInternal> internal(m_component.Get());
    m_repository = AutoCast<Prjrep::IProjectRepository>(m_component.Get()).Get();
    if (!internal || m_repository == nullptr) {
      m_status = m_component ? Hvd::kMissingInterface : Hvd::kComponentNotCreated;
      return;
    }
    m_status = internal->Open(path, area, Prjrep::kOpenRepositoryRead, m_area.Receive(), nullptr);
    m_opened = true;
    if (m_status == kSuccess && !m_area) m_status = Hvd::kFailure;
  }
  ~OpenedRepository() {
    m_area = nullptr;
    if (m_opened) std::ignore = m_repository->Close();
  }
  OpenedRepository(const OpenedRepository&) = delete;
  OpenedRepository& operator=(const OpenedRepository&) = delete;

  Status GetStatus() const noexcept { return m_status; }
  Prjrep::IStorage* Area() const noexcept { return m_area.Get(); }

 private:
  AutoRelease<CitI::IInterface> m_component;
  Prjrep::IProjectRepository* m_repository = nullptr;  // borrowed from the component
  AutoRelease<Prjrep::IStorage> m_area;
  Status m_status = Hvd::kFailure;
  bool m_opened = false;
};

// A path component taken from old data: one plain name.
bool IsPlainName(const String& name) {
  return !name.empty() && name != "." && name != ".." && name.str().find('/') == std::string::npos &&
         name.str().find('\0') == std::string::npos;
}

bool IsRealDirectory(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

String CanonicalPath(const String& path) {
  if (path.empty()) return path;
  return Port::FileName(Port::FileName(path).GetAbsolutePath()).MakeCanonical().GetPath();
}

String AssociationName(std::uint32_t bits) {
  if (bits == 0) return "none";
  const bool implementation = (bits & 0x1u) != 0;
  const bool simulation = (bits & 0x3Eu) != 0;
  if (implementation && simulation) return "all";
  if (implementation) return "implementation";
  if (simulation) return "simulation";
  return "";
}

String OriginationName(std::uint32_t code) {
  switch (code) {
    case 1:
      return "generated";
    case 2:
      return "imported";
    default:
      return "user";
  }
}

RepoMine::RepoMine() : m_state(std::make_unique<MigrationState>()) {}
RepoMine::RepoMine(const String& path) : m_fileName(CanonicalPath(path)), m_state(std::make_unique<MigrationState>()) {}
RepoMine::~RepoMine() = default;

bool RepoMine::IsMigratable() {
  std::int32_t version = 0;
  {
    const OpenedRepository opened(m_fileName, kClient);
    if (opened.GetStatus() != kSuccess) return false;
    version = ReadProjectVersion(opened.Area());
  }
  return version != 0 && version < 14;
}

std::int32_t RepoMine::ReadProjectVersion(Prjrep::IStorage* storage) {
  if (storage == nullptr) return 0;
  std::int64_t contents = 0;
  AutoCast<Prjrep::IStorageContents> listing(storage);
  if (!listing || listing->CountContents(&contents) != kSuccess || contents == 0) return 0;
  // No version recorded, or none that can be read, is the last version before they were.
  constexpr std::int32_t kUnrecorded = 13;
  AutoRelease<Prjrep::IStorage> main, stream;
  if (storage->OpenStorage("/Corvane/hvd_project_main", Prjrep::kOpenExisting, main.Receive()) != kSuccess || !main)
    return kUnrecorded;
  if (main->OpenItem("hvd_project_main", Prjrep::kRead, stream.Receive()) != kSuccess || !stream) return kUnrecorded;
  std::int32_t version = 0;
  if (stream->ReadInt32(&version) != kSuccess) return kUnrecorded;
  return version;
}

Status RepoMine::OpenRepository() {
  {
    const OpenedRepository opened(m_fileName, kClient);
    if (opened.GetStatus() != kSuccess)
      return Fail(opened.GetStatus(), "ERROR: RepoMine::OpenRepository - Could not open the repository of \"%s\".\n",
                  m_fileName.c_str());
    AutoCast<Prjrep::IObjTableAccess> access(opened.Area());
    if (!access)
      return Fail(Hvd::kMissingInterface, "ERROR: RepoMine::OpenRepository - No object table in \"%s\".\n",
                  m_fileName.c_str());
    m_state->Version = ReadProjectVersion(opened.Area());
    AutoRelease<Prjrep::IObjectTableInfoIterator> it;
    if (access->GetObjectTableIterator(it.Receive()) != kSuccess || !it)
      return Fail(Hvd::kFailure, "ERROR: RepoMine::OpenRepository - The object table of \"%s\" cannot be read.\n",
                  m_fileName.c_str());
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
      Port::XUID instanceId, classId;
      if (it->GetInfo(&instanceId, &classId, 0, 0, nullptr) != kSuccess) continue;
      std::unique_ptr<PersistHelper> loader = CreateLoaderForClassId(classId);
      if (!loader) continue;
      std::ignore = loader->SetId(instanceId);
      // A damaged record is left out whole, so that no half-read file or name is built.
      if (it->LoadObject(loader.get()) != kSuccess) {
        std::ignore = Fail(kSuccess, "WARNING: RepoMine::OpenRepository - Skipped the damaged record of instance id, \"%s\".\n",
                           IdText(instanceId).c_str());
        continue;
      }
      if (auto* property = dynamic_cast<PropLoader*>(loader.get())) {
        m_state->Properties.emplace_back(property->Name, property->Value);
        continue;
      }
      m_state->ById[instanceId] = loader.get();
      if (dynamic_cast<DbObjectLoader*>(loader.get()) != nullptr) {
        m_state->DbObjects.push_back(std::move(loader));
      } else if (dynamic_cast<DdmDesignUnitLoader*>(loader.get()) != nullptr) {
        m_state->DesignUnits.push_back(std::move(loader));
      } else {
        m_state->Others.push_back(std::move(loader));
      }
    }
  }
  CorrelateFileData();
  WriteSnapshotDescriptions();
  return kSuccess;
}

void RepoMine::CorrelateFileData() {
  MigrationState& state = *m_state;
  if (state.Version >= 13) {
    for (const auto& other : state.Others) {
      auto* file = dynamic_cast<DdmFileLoader*>(other.get());
      if (file == nullptr) continue;
      if (auto* library = state.Find<SourceLibraryLoader>(file->LibraryId)) file->LibraryName = library->Name;
      if (auto* assoc = state.Find<ViewAssocLoader>(file->ViewAssocId); assoc && assoc->Bits != 0)
        file->AssociationBits |= assoc->Bits;
    }
    return;
  }
  for (const auto& object : state.DbObjects) {
    auto* hdl = dynamic_cast<HdlFileLoader*>(object.get());
    if (hdl == nullptr) continue;
    auto* file = state.Find<DdmFileLoader>(hdl->FusedDdmFileId);
    if (file == nullptr) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::CorrelateFileData - Could not find the fused ddm file with instance id, \"%s\".\n",
                         IdText(hdl->FusedDdmFileId).c_str());
      continue;
    }
    file->FileName = hdl->FileName;
    if (auto* library = state.Find<SourceLibraryLoader>(file->LibraryId)) file->LibraryName = library->Name;
  }
  for (const auto& unit : state.DesignUnits) {
    auto* du = dynamic_cast<DdmDesignUnitLoader*>(unit.get());
    if (du == nullptr) continue;
    ViewAssocLoader* assoc = state.Find<ViewAssocLoader>(du->ViewAssocId);
    if (assoc == nullptr) {
      if (auto* map = state.Find<XuidKeyMapLoader>(du->KeyMapId)) assoc = state.Find<ViewAssocLoader>(map->ViewAssocId);
    }
    if (assoc == nullptr || assoc->Bits == 0) continue;
    auto* element = state.Find<HdlElementLoader>(du->FusedHdlElementId);
    if (element == nullptr) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::CorrelateFileData - Could not find fused HdlElement with instance id, \"%s\".\n",
                         IdText(du->FusedHdlElementId).c_str());
      continue;
    }
    auto* holder = state.Find<DbObjectLoader>(element->ParentId);
    if (holder == nullptr) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::CorrelateFileData - Could not find ParserConfigHolder with instance id, \"%s\".\n",
                         IdText(element->ParentId).c_str());
      continue;
    }
    auto* hdl = state.Find<HdlFileLoader>(holder->ParentId);
    if (hdl == nullptr) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::CorrelateFileData - Could not find HdlFile with instance id, \"%s\".\n",
                         IdText(holder->ParentId).c_str());
      continue;
    }
    auto* file = state.Find<DdmFileLoader>(hdl->FusedDdmFileId);
    if (file == nullptr) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::CorrelateFileData - Could not find fused DdmFile with instance id, \"%s\".\n",
                         IdText(hdl->FusedDdmFileId).c_str());
      continue;
    }
    file->AssociationBits |= assoc->Bits;
  }
}

// Only into an existing snapshot folder of the project's own "snapshots" directory: the
// snapshot's name and project-file name come from the old file and are checked as plain
// names.
void RepoMine::WriteSnapshotDescriptions() {
  String head = Port::FileName(m_fileName).GetHead();
  if (head.size() > 1 && head.str().back() == '/') head.str().pop_back();
  for (const auto& other : m_state->Others) {
    auto* snapshot = dynamic_cast<CheckPointLoader*>(other.get());
    if (snapshot == nullptr) continue;
    const String tail = Port::FileName(snapshot->HlcFileName).GetTail();
    const std::string::size_type dot = tail.str().find_last_of('.');
    const String base = dot == std::string::npos ? tail : String(tail.str().substr(0, dot));
    if (!IsPlainName(snapshot->Name) || !IsPlainName(base)) {
      std::ignore = Fail(kSuccess, "WARNING: RepoMine::WriteSnapshotDescriptions - Skipped the snapshot \"%s\" of \"%s\".\n",
                         snapshot->Name.c_str(), snapshot->HlcFileName.c_str());
      continue;
    }
    const std::string folder = head.str() + "/snapshots/" + snapshot->Name.str();
    if (!IsRealDirectory(head.str() + "/snapshots") || !IsRealDirectory(folder)) continue;
    std::ignore =
        Hvd::WriteOwnFileAtomically(folder + "/" + base.str() + "_description.txt", snapshot->Comment.str(), folder);
  }
}

void RepoMine::CheckRepositoryLock() {
  const Port::FileName name(m_fileName);
  const String lock = name.GetHead() + name.GetBase() + "_qdb/tmp/hlc";
  // remove_all removes a link itself, never what it points to.
  std::error_code ignored;
  std::filesystem::remove_all(lock.str(), ignored);
  std::ignore = Port::File::remove_f(lock + ".lock");
}

Status RepoMine::TruncateCorvaneClientArea(const String& path) {
  if (!Port::File::exist(path))
    return Fail(Hvd::kOwnerMissing, "ERROR: RepoMine::TruncateCorvaneClientArea - Project file <%s> does not exist\n",
                path.c_str());
  for (const char* area : {kClient, "/ConstraintSystem", "/Cs", "/HierarchicalDesign"}) {
    AutoRelease<CitI::IInterface> component(CitP::Factory::CreateInstance(Prjrep::ClassId::Repository()));
    AutoCast<Prjrep::IProjectRepositoryInternal> internal(component.Get());
    AutoCast<Prjrep::IProjectRepository> repository(component.Get());
    if (!component) return Fail(Hvd::kComponentNotCreated, "ERROR: RepoMine::TruncateCorvaneClientArea - No repository component.\n");
    if (!internal || !repository) return Fail(Hvd::kMissingInterface, "ERROR: RepoMine::TruncateCorvaneClientArea - No repository interface.\n");
    AutoRelease<Prjrep::IStorage> storage;
    if (internal->Open(path, area, Prjrep::kCreate, storage.Receive(), nullptr) != kSuccess) continue;
    storage = nullptr;
    if (String(area) == kClient) {
      AutoCast<Prjrep::IRegKeyStorage> sections(component.Get());
      AutoRelease<Prjrep::IRegKeyPairs> keys;
      if (sections && sections->OpenKey("/Corvane11", Prjrep::kOpenExisting, keys.Receive()) == kSuccess && keys)
        std::ignore = keys->SetValue("HLC_VERSION_LAST_SAVED_WITH", Port::Version::getValue("version"));
    }
    std::ignore = repository->Flush();
    std::ignore = repository->Close();
  }
  return kSuccess;
}
