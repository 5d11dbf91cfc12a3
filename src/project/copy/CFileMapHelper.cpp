#include "project/copy/CFileMapHelper.h"

#include <filesystem>
#include <string>
#include <vector>

#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "core/Diagnostics.h"
#include "project/copy/CopyPath.h"
#include "utils/Factory.h"

namespace Hvd {

namespace P = CopyPath;
using String = Port::StringBase<char>;

Status CFileMapHelper::SetupMap(bool mappingActive, bool remoteSources, const String& sourceDirectory,
                                const String& destinationDirectory, const String& remoteSourcesDirectory,
                                bool mapOnlyOnRequest, const String& sourceRepositoryPath,
                                const String& destinationProjectPath, const String& destinationWorkingDirectory) {
  m_mappingActive = mappingActive;
  m_remoteSources = remoteSources;
  m_destinationDirectory = destinationDirectory;
  m_remoteSourcesDirectory = remoteSourcesDirectory;
  m_mapOnlyOnRequest = mapOnlyOnRequest;
  m_remoteBySource.clear();
  m_sourceByRemote.clear();
  m_given.clear();
  m_mapped[0].clear();
  m_mapped[1].clear();

  m_sourceRepositoryPath = P::Normal(sourceRepositoryPath);
  m_sourceWorkingDirectory = P::Parent(m_sourceRepositoryPath);
  m_sourceDatabaseDirectory =
      P::Normal(P::Join(m_sourceWorkingDirectory, P::BaseName(m_sourceRepositoryPath) + String("_qdb")));

  // On this host a complete path is an absolute one.
  if (!destinationWorkingDirectory.empty() && destinationWorkingDirectory.str().front() != '/') {
    Port_MsgManData::createObject("ProjectMgmt", "../src/CProjectSaveHelper", __LINE__, "$Revision: 1.34.6.2 $")
        .issueWarning("CFileMapHelper::SetupMap destination working dir %s, is not a complete path\n",
                      destinationWorkingDirectory.c_str());
  }
  m_destinationWorkingDirectory = P::Normal(destinationWorkingDirectory);
  m_destinationRepositoryPath =
      P::Normal(P::Join(m_destinationWorkingDirectory, P::BaseName(destinationProjectPath) + String(".hlc")));
  m_destinationDatabaseDirectory =
      P::Normal(P::Join(m_destinationWorkingDirectory, P::BaseName(m_destinationRepositoryPath) + String("_qdb")));

  m_sourceDirectory = sourceDirectory.empty() ? String() : P::Normal(sourceDirectory);
  if (!sourceDirectory.empty()) {
    if (!m_pathHelper && !CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_pathHelper.Receive()))
      return kComponentNotCreated;
    std::ignore = m_pathHelper->SetBaseDirectory(sourceDirectory);
  }
  return kSuccess;
}

CitI::IInterface* CFileMapHelper::QueryInterface(const Port::XUID& iid) {
  if (m_outer != nullptr) return m_outer->QueryInterface(iid);
  if (iid == ICPFileMapInternal::GetIID() || iid == CitI::IInterface::GetIID())
    return static_cast<ICPFileMapInternal*>(this);
  return nullptr;
}

Status CFileMapHelper::Prepare(const String& path, String* mapped, bool force, bool* done) {
  *done = false;
  if (path.empty() || mapped == nullptr) return kInvalidParameter;
  *mapped = path;
  if ((m_mapOnlyOnRequest && !force) || (!m_mappingActive && !m_remoteSources)) {
    *done = true;
    return kSuccess;
  }
  if (!m_pathHelper) return kComponentNotCreated;
  return m_pathHelper->SetPath(path, String());
}

String CFileMapHelper::InDestinationDatabase(const String& path) const {
  String separator;
  separator.Format("%c", Port::FileName::GetPathSeparator());
  return m_destinationDatabaseDirectory + separator + P::Leaf(path);
}

bool CFileMapHelper::Given(const String& path) const { return !path.empty() && m_given.count(P::Normal(path)) != 0; }

Status CFileMapHelper::Remember(Status status, const String& path, const String* mapped) {
  if (status == kSuccess && mapped != nullptr && !mapped->empty() && !(*mapped == path))
    m_given[P::Normal(*mapped)] = true;
  return status;
}

Status CFileMapHelper::MapFileName(const String& path, String* mapped, bool force) {
  if (Given(path) && mapped != nullptr) {
    *mapped = path;
    return kSuccess;
  }
  // The map is settled by SetupMap and a remote file keeps the place it was first given, so a
  // name maps as it did before. Forcing changes a name only where names map on request.
  std::map<std::string, std::string>& known = m_mapped[force && m_mapOnlyOnRequest ? 1 : 0];
  if (mapped != nullptr) {
    if (const auto found = known.find(path.str()); found != known.end()) {
      *mapped = String(found->second);
      return kSuccess;
    }
  }
  const Status status = Remember(MapName(path, mapped, force), path, mapped);
  if (status == kSuccess && mapped != nullptr) known.emplace(path.str(), mapped->str());
  return status;
}

Status CFileMapHelper::MapWorkingFileName(const String& path, String* mapped, bool force) {
  if (Given(path) && mapped != nullptr) {
    *mapped = path;
    return kSuccess;
  }
  return Remember(MapWorkingName(path, mapped, force), path, mapped);
}

Status CFileMapHelper::MapName(const String& path, String* mapped, bool force) {
  if (MapBelowSource(path, mapped, force)) return kSuccess;
  bool done = false;
  if (const Status prepared = Prepare(path, mapped, force, &done); prepared != kSuccess || done) return prepared;
  bool inside = false;
  std::ignore = m_pathHelper->IsInsideBase(&inside);
  if (inside) {
    if (!m_mappingActive || m_destinationDirectory.empty()) return kSuccess;
    if (IsInSourceDatabaseDir(path)) {
      *mapped = InDestinationDatabase(path);
      return kSuccess;
    }
    String rebuilt;
    if (const Status status = m_pathHelper->GetPathOnDirectory(m_destinationDirectory, &rebuilt); status != kSuccess)
      return status;
    *mapped = rebuilt;
    return kSuccess;
  }
  if (!m_remoteSources || m_remoteSourcesDirectory.empty()) return kSuccess;
  return MapRemote(path, mapped);
}

// A complete, normal path below the source directory, mapped as the path helper would work it
// out, without it: most of a copy's files are such. False for any other path.
bool CFileMapHelper::MapBelowSource(const String& path, String* mapped, bool force) {
  if (mapped == nullptr || !m_pathHelper || (m_mapOnlyOnRequest && !force) || (!m_mappingActive && !m_remoteSources))
    return false;
  const std::string& text = path.str();
  const std::string& base = m_sourceDirectory.str();
  const auto plain = [](const std::string& place) { return place.find('\\') == std::string::npos; };
  if (base.size() < 2 || base.front() != '/' || !plain(base) || !plain(m_destinationDirectory.str()) ||
      text.size() <= base.size() + 1 || text[base.size()] != '/' || text.compare(0, base.size(), base) != 0 ||
      !P::IsNormal(path))
    return false;
  *mapped = path;
  if (!m_mappingActive || m_destinationDirectory.empty()) return true;
  *mapped = IsInSourceDatabaseDir(path)
                ? InDestinationDatabase(path)
                : P::Normal(P::Join(m_destinationDirectory, String(text.substr(base.size() + 1))));
  return true;
}

// A file from outside the source directory: its path relative to that directory, each
// leading ".." made a "_" directory of its own, below the remote-sources directory. Whole
// components are replaced, so nothing climbs out of that directory, and a place that another
// file already holds is not given twice.
Status CFileMapHelper::MapRemote(const String& path, String* mapped) {
  const String key = P::Normal(path);
  if (const auto known = m_remoteBySource.find(key); known != m_remoteBySource.end()) {
    *mapped = known->second;
    return kSuccess;
  }
  String relative;
  std::ignore = m_pathHelper->GetRelativeName(&relative);
  if (relative.empty()) std::ignore = m_pathHelper->GetFullName(&relative);
  std::string text = P::Slash(relative).str();
  std::vector<std::string> parts;
  if (!text.empty() && text.front() == '.') {
    bool leading = true;
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('/', start), text.size());
      std::string part = text.substr(start, end - start);
      start = end + 1;
      if (part.empty() || part == ".") continue;
      if (leading && part == "..") part = "_";
      else leading = false;
      if (part == "..") continue;  // never up, wherever it stands
      parts.push_back(part);
    }
  } else {
    // A root, or a drive and its root, goes with everything before the first '/'.
    const std::size_t slash = text.find('/');
    text = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('/', start), text.size());
      std::string part = text.substr(start, end - start);
      start = end + 1;
      if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    }
  }
  std::string inRemote;
  for (const std::string& part : parts) inRemote += (inRemote.empty() ? "" : "/") + part;
  if (inRemote.empty()) return kInvalidParameter;

  String place = P::Normal(P::Join(m_remoteSourcesDirectory, String(inRemote)));
  for (int other = 2; m_sourceByRemote.count(place) != 0; ++other) {
    place = P::Normal(P::Join(m_remoteSourcesDirectory, String("_" + std::to_string(other) + "/" + inRemote)));
  }
  m_remoteBySource[key] = place;
  m_sourceByRemote[place] = key;
  *mapped = place;
  return kSuccess;
}

Status CFileMapHelper::MapWorkingName(const String& path, String* mapped, bool force) {
  bool done = false;
  if (const Status prepared = Prepare(path, mapped, force, &done); prepared != kSuccess || done) return prepared;
  if (!IsFromSourceWorkingDir(path)) {
    String text;
    text.Format(
        "Hvd::CFileMapHelper::MapWorkingFileName called with a source\n-> %s\n which is not from the source working "
        "dir\n-> %s.\n",
        path.c_str(), m_sourceWorkingDirectory.c_str());
    Port_MsgManData::debugStub(text.c_str());
    return MapName(path, mapped, false);
  }
  if (IsInSourceDatabaseDir(path)) {
    *mapped = InDestinationDatabase(path);
    return kSuccess;
  }
  String base;
  std::ignore = m_pathHelper->GetBaseDirectory(&base);
  std::ignore = m_pathHelper->SetBaseDirectory(m_sourceWorkingDirectory);
  String relative;
  std::ignore = m_pathHelper->GetRelativeName(&relative);
  std::ignore = m_pathHelper->SetBaseDirectory(base);
  *mapped = P::Normal(m_destinationWorkingDirectory + String("/") + relative);
  return kSuccess;
}

bool CFileMapHelper::IsFromSourceWorkingDir(const String& path) {
  const String normal = P::Normal(path);
  const String& workingDirectory = m_sourceWorkingDirectory;
  if (P::Same(normal, workingDirectory)) return true;
  const String parent = P::Parent(normal);
  if (parent == workingDirectory) return true;
  if (P::Leaf(parent) == "_vmsgs") return P::Same(P::Parent(parent), workingDirectory);
  const String grandparent = P::Parent(parent);
  if (P::Leaf(grandparent) == "netemit") return P::Same(P::Parent(grandparent), workingDirectory);
  return IsInSourceDatabaseDir(path);
}

bool CFileMapHelper::IsInSourceDatabaseDir(const String& path) {
  return !m_sourceDatabaseDirectory.empty() && P::Same(P::Parent(path), m_sourceDatabaseDirectory);
}

}  // namespace Hvd
