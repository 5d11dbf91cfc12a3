#pragma once
// Where each file of a project being copied lands in the copy: inside the source project's
// directory it keeps its place, the database directory follows the copy's working directory,
// and anything from elsewhere goes below the copy's remote-sources directory.

#include <map>

#include "Hvd/IProjectCopy.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Holders.h"

namespace Hvd {

// Not counted: it lives inside the copy that owns it, and so do the references handed out.
class CFileMapHelper final : public ICPFileMapInternal {
 public:
  using String = Port::StringBase<char>;

  CFileMapHelper() = default;
  explicit CFileMapHelper(CitI::IInterface* outer) : m_outer(outer) {}
  CFileMapHelper(const CFileMapHelper&) = delete;
  CFileMapHelper& operator=(const CFileMapHelper&) = delete;
  ~CFileMapHelper() override = default;

  // `sourceDirectory` is the directory of the source project file; `mapOnlyOnRequest` leaves
  // names alone unless a caller forces the mapping.
  [[nodiscard]] Status SetupMap(bool mappingActive, bool remoteSources, const String& sourceDirectory,
                                const String& destinationDirectory, const String& remoteSourcesDirectory,
                                bool mapOnlyOnRequest, const String& sourceRepositoryPath,
                                const String& destinationProjectPath, const String& destinationWorkingDirectory);

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  Status MapFileName(const String& path, String* mapped, bool force) override;
  Status MapWorkingFileName(const String& path, String* mapped, bool force) override;
  bool IsFromSourceWorkingDir(const String& path) override;
  bool IsInSourceDatabaseDir(const String& path) override;

 private:
  // Steps common to both maps: 1 with `*mapped` set when the name is to be mapped further,
  // kSuccess with `*done` set when it stays as it is, or the failure.
  Status Prepare(const String& path, String* mapped, bool force, bool* done);
  Status MapRemote(const String& path, String* mapped);
  Status MapName(const String& path, String* mapped, bool force);
  bool MapBelowSource(const String& path, String* mapped, bool force);
  Status MapWorkingName(const String& path, String* mapped, bool force);
  // A name this map gave is the copy's already: it stays as it is when asked again, as the
  // copy's build-macro path is when its project file is written.
  bool Given(const String& path) const;
  Status Remember(Status status, const String& path, const String* mapped);
  String InDestinationDatabase(const String& path) const;

  CitI::IInterface* m_outer = nullptr;  // borrowed
  bool m_mappingActive = false;
  bool m_remoteSources = false;
  bool m_mapOnlyOnRequest = false;
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> m_pathHelper;
  String m_sourceDirectory;  // normal
  String m_destinationDirectory;
  String m_remoteSourcesDirectory;
  String m_sourceRepositoryPath;
  String m_destinationRepositoryPath;
  String m_sourceDatabaseDirectory;
  String m_destinationDatabaseDirectory;
  String m_sourceWorkingDirectory;
  String m_destinationWorkingDirectory;
  // Each file from outside given a place below the remote-sources directory, and who holds
  // each place: two files never share one.
  std::map<String, String> m_remoteBySource;
  std::map<String, String> m_sourceByRemote;
  std::map<String, bool> m_given;
  // What each name was mapped to, forced where names map on request [1], else [0]: the
  // writers of a copy ask again for every file that the bundle copy asked for.
  std::map<std::string, std::string> m_mapped[2];
};

}  // namespace Hvd
