// The file's names: what the file-name helper component keeps of its path, and the names the
// file derives from it.

#include <mutex>
#include <string>
#include <unordered_map>

#include "Port/FileName.h"
#include "files/file/CFile.h"

namespace Hvd {

namespace {

// The one text of `directory` that the files in it hold, while any holds it; null for an
// empty one. Entries of texts no file holds any more are dropped as the table grows.
std::shared_ptr<const CFile::String> SharedDirectory(const CFile::String& directory) {
  if (directory.empty()) return nullptr;
  static std::mutex s_lock;
  static std::unordered_map<std::string, std::weak_ptr<const CFile::String>> s_directories;
  static std::size_t s_sweepAt = 64;
  const std::lock_guard<std::mutex> hold(s_lock);
  std::weak_ptr<const CFile::String>& entry = s_directories[directory.str()];
  if (std::shared_ptr<const CFile::String> shared = entry.lock()) return shared;
  auto made = std::make_shared<const CFile::String>(directory);
  entry = made;
  if (s_directories.size() >= s_sweepAt) {
    std::erase_if(s_directories, [](const auto& each) { return each.second.expired(); });
    s_sweepAt = 2 * s_directories.size() + 64;
  }
  return made;
}

}  // namespace

void CFile::RefreshNames() {
  String shortName;
  String fullName;
  std::ignore = m_fileNameHelper->GetShortName(&shortName);
  std::ignore = m_fileNameHelper->GetFullName(&fullName);
  std::ignore = m_name.SetName(String("Module|") + shortName);
  const Port::FileName path(fullName);
  // The directory keeps its trailing separator: directory and name side by side form the
  // file's key.
  Port::FileName head(path.GetHead());
  String directory = head.MakeCanonical().GetPath();
  if (!directory.empty() && directory.str().back() != '/') directory += '/';
  const bool renamed =
      !(m_directory ? *m_directory == directory : directory.empty()) || !(m_fileName == path.GetTail());
  m_directory = SharedDirectory(directory);
  m_fileName = path.GetTail();
  // The files that include this one read its name among their children.
  if (!renamed) return;
  for (CFileRelationSet* parents : ParentSets()) {
    if (parents == nullptr) continue;
    for (const Prjrep::AutoPtr<IHdlFile>& parent : parents->Files()) {
      if (CFile* own = Of(parent.Get()); own != nullptr) own->ChildrenChanged();
    }
  }
}

Status CFile::XIHdlFile::GetPath(String* directory, String* name) {
  if (directory == nullptr || name == nullptr) return kInvalidParameter;
  // Assigned, not built anew: a caller that asks again reuses its text's room.
  if (This().m_directory) {
    *directory = *This().m_directory;
  } else {
    directory->str().clear();
  }
  *name = This().m_fileName;
  return kSuccess;
}

Status CFile::XIFileNameHelper::SetPathInDirectory(const String& path, const String& second,
                                                   const String& baseDirectory) {
  CFile& self = This();
  if (!self.m_fileNameHelper) return kFailure;
  const Status status = self.m_fileNameHelper->SetPathInDirectory(path, second, baseDirectory);
  if (status == kSuccess) self.RefreshNames();
  return status;
}

Status CFile::XIFileNameHelper::SetPath(const String& path, const String& second) {
  CFile& self = This();
  if (!self.m_fileNameHelper) return kFailure;
  const Status status = self.m_fileNameHelper->SetPath(path, second);
  if (status == kSuccess) self.RefreshNames();
  return status;
}

Status CFile::XIFileNameHelper::SetBaseDirectory(const String& directory) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->SetBaseDirectory(directory) : kFailure;
}

Status CFile::XIFileNameHelper::GetBaseDirectory(String* directory) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetBaseDirectory(directory) : kFailure;
}

Status CFile::XIFileNameHelper::GetPathOnDirectory(const String& directory, String* path) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetPathOnDirectory(directory, path) : kFailure;
}

Status CFile::XIFileNameHelper::GetDirectory(String* directory) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetDirectory(directory) : kFailure;
}

Status CFile::XIFileNameHelper::GetFullName(String* path) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetFullName(path) : kFailure;
}

Status CFile::XIFileNameHelper::GetRelativeName(String* path) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetRelativeName(path) : kFailure;
}

Status CFile::XIFileNameHelper::GetOsPath(String* path) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetOsPath(path) : kFailure;
}

Status CFile::XIFileNameHelper::GetShortName(String* name) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetShortName(name) : kFailure;
}

Status CFile::XIFileNameHelper::GetExtension(String* extension) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->GetExtension(extension) : kFailure;
}

Status CFile::XIFileNameHelper::IsInsideBase(bool* inside) {
  Prjrep::IFileNameHelper* helper = This().m_fileNameHelper.Get();
  return helper != nullptr ? helper->IsInsideBase(inside) : kFailure;
}

}  // namespace Hvd
