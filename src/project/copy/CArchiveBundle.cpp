#include "project/copy/CArchiveBundle.h"


#include <filesystem>
#include <string_view>
#include <system_error>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Port/Dir.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Prjrep/ClassIds.h"
#include "core/Diagnostics.h"
#include "project/copy/CopyPath.h"
#include "utils/FileUtils.h"
#include "utils/Factory.h"

namespace Hvd {

namespace P = CopyPath;
namespace fs = std::filesystem;
using String = Port::StringBase<char>;

namespace {

// A zip list holds one name a line.
bool ListCarries(std::string_view name) { return name.find_first_of("\n\r") == std::string_view::npos; }

bool EndsWithQdb(std::string_view name) { return name.size() >= 4 && name.substr(name.size() - 4) == "_qdb"; }

// A copy would read it here, and the same failure can be injected. One that cannot be read
// fails the zip that reads it.
bool Readable(const std::string& path) { return !Port::FaultInjection::ShouldFail("copy_p", path); }

}  // namespace

CArchiveBundle::CArchiveBundle() {
  m_directory = Prjrep::AutoRelease<IProjectBundle>(CitP::Factory::CreateInstance(ClassId::DirectoryProjectBundle()));
  if (!CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_from.Receive()) ||
      !CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_to.Receive())) {
    m_from = nullptr;
    m_to = nullptr;
  }
}

CitI::IInterface* CArchiveBundle::QueryInterface(const Port::XUID& iid) {
  if (iid == IProjectBundle::GetIID() || iid == CitI::IInterface::GetIID()) return this;
  return nullptr;
}

Status CArchiveBundle::Initialize(const String& name, const String& location, const String& sourceDirectory) {
  if (!m_directory) return kComponentNotCreated;
  const Status status = m_directory->Initialize(name, location, sourceDirectory);
  if (status != kSuccess) return status;
  m_sourceDirectory = P::Normal(sourceDirectory);
  m_wayChecked.clear();  // it was below the directory before
  m_bundleDirectory = P::Normal(P::Join(location, name));
  if (m_from && m_to &&
      (m_from->SetBaseDirectory(m_sourceDirectory) != kSuccess || m_to->SetBaseDirectory(m_bundleDirectory) != kSuccess)) {
    m_from = nullptr;  // every item is then copied
    m_to = nullptr;
  }
  return kSuccess;
}

Status CArchiveBundle::Create(bool copyMode) {
  const Status status = m_directory ? m_directory->Create(copyMode) : kComponentNotCreated;
  m_writable = status == kSuccess;
  return status;
}

Status CArchiveBundle::Open(std::uint32_t mode) {
  const Status status = m_directory ? m_directory->Open(mode) : kComponentNotCreated;
  m_writable = status == kSuccess && (mode & 2u) != 0;
  return status;
}

Status CArchiveBundle::Close(bool keep) {
  m_writable = false;
  if (!keep) ForgetNames();
  return m_directory ? m_directory->Close(keep) : kComponentNotCreated;
}

Status CArchiveBundle::Delete() {
  m_writable = false;
  ForgetNames();
  return m_directory ? m_directory->Delete() : kComponentNotCreated;
}

Status CArchiveBundle::Exists(bool* exists) {
  return m_directory ? m_directory->Exists(exists) : kComponentNotCreated;
}

Status CArchiveBundle::Rename(const String&) { return kNotSupported; }

Status CArchiveBundle::GetItemPath(const String& item, String* path) {
  if (path != nullptr) *path = String();
  return m_directory ? m_directory->GetItemPath(item, path) : kComponentNotCreated;
}

Status CArchiveBundle::ExtractTo(const String&, Prjrep::IStringIterator** failed) {
  if (failed != nullptr) *failed = nullptr;
  return kNotSupported;
}

Status CArchiveBundle::AddItem(const String& sourcePath, const String& newPath) {
  if (!m_directory) return kComponentNotCreated;
  if (m_writable) {
    const std::string relative = UnrenamedName(sourcePath, newPath);
    Status status = kSuccess;
    if (!relative.empty() && Name(relative, status)) return status;
  }
  return m_directory->AddItem(sourcePath, newPath);
}

std::string CArchiveBundle::UnrenamedName(const String& sourcePath, const String& newPath) {
  if (!m_from || !m_to || sourcePath.empty()) return {};
  // A complete, normal path below the source directory is named by what follows it, as the
  // path helper would name it.
  const std::string& source = sourcePath.str();
  const std::string& base = m_sourceDirectory.str();
  if (newPath.empty() && base.size() > 1 && base.front() == '/' && source.size() > base.size() + 1 && source[base.size()] == '/' &&
      source.compare(0, base.size(), base) == 0 && P::IsNormal(sourcePath))
    return source.substr(base.size() + 1);
  if (m_from->SetPath(sourcePath, String()) != kSuccess) return {};
  bool inside = false;
  String relative;
  if (m_from->IsInsideBase(&inside) != kSuccess || !inside || m_from->GetRelativeName(&relative) != kSuccess)
    return {};
  relative = P::Normal(relative);
  const std::string& text = relative.str();
  if (text.empty() || text == "." || text == ".." || text.front() == '/' || text.compare(0, 3, "../") == 0) return {};
  if (!newPath.empty()) {
    String destination;
    if (m_to->SetPath(newPath, String()) != kSuccess || m_to->GetFullName(&destination) != kSuccess ||
        !P::Same(destination, P::Join(m_bundleDirectory, relative)))
      return {};
  }
  return text;
}

char CArchiveBundle::KindOf(const std::string& directory, const std::string& name) {
  if (m_lastListed != nullptr && *m_lastListed == directory) {
    const auto found = m_lastListing->find(name);
    return found == m_lastListing->end() ? 'n' : found->second;
  }
  auto listing = m_listings.find(directory);
  if (listing == m_listings.end()) {
    listing = m_listings.emplace(directory, std::map<std::string, char>()).first;
    std::error_code error;
    for (fs::directory_iterator entry(directory, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
      // The type the listing read comes first; a link is never followed.
      std::error_code typeError;
      const char kind = entry->is_symlink(typeError)         ? 'o'
                        : entry->is_regular_file(typeError)  ? 'f'
                        : entry->is_directory(typeError)     ? 'd'
                                                             : 'o';
      listing->second[entry->path().filename().string()] = typeError ? 'o' : kind;
    }
    if (error) listing->second.clear();  // nothing known: every item of it is copied
  }
  m_lastListed = &listing->first;
  m_lastListing = &listing->second;
  const auto found = listing->second.find(name);
  return found == listing->second.end() ? 'n' : found->second;
}

bool CArchiveBundle::Name(const std::string& relative, Status& status) {
  if (!ListCarries(relative)) return false;
  const std::string full = m_sourceDirectory.str() + "/" + relative;
  const std::size_t slash = full.rfind('/');
  const std::string directory = full.substr(0, slash);
  const std::string leaf = full.substr(slash + 1);
  // The directory bundle copies companions beside an item; such an item is left to it.
  const std::size_t dot = leaf.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : leaf.substr(dot);
  if (dot == 0 || extension == ".mdx" || KindOf(directory, leaf.substr(0, dot) + ".sym") == 'f') return false;
  // An item reached through a link is copied, so that the link, which the copy keeps as a link,
  // and the item never stand side by side in the archive.
  const std::string way = relative.substr(0, std::min(relative.rfind('/'), relative.size()));
  if (way.empty() || way != m_wayChecked) {
    for (std::size_t at = relative.find('/'); at != std::string::npos; at = relative.find('/', at + 1)) {
      const std::string parent = m_sourceDirectory.str() + "/" + relative.substr(0, at);
      const std::size_t cut = parent.rfind('/');
      if (KindOf(parent.substr(0, cut), parent.substr(cut + 1)) != 'd') return false;
    }
    m_wayChecked = way;
  }
  const char kind = KindOf(directory, leaf);
  if (kind == 'f') {
    if (!Readable(full)) {
      status = Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Failed to copy file <%s> to <%s>\n", full.c_str(),
                    P::Join(m_bundleDirectory, String(relative)).c_str());
      return true;
    }
    NameWithParents(relative);
    return true;
  }
  if (kind != 'd') return false;  // links and the rest are copied as a copy takes them
  std::vector<std::string> names;
  if (!NameTree(relative, names, status)) {
    status = kSuccess;
    return false;
  }
  if (status != kSuccess) return true;
  NameWithParents(relative);
  m_named.insert(names.begin(), names.end());
  return true;
}

// What a tree copy takes of a directory: "_qdb" entries, "snapshots", the folders restores work
// in and the bundle directory stay out.
bool CArchiveBundle::NameTree(const std::string& relative, std::vector<std::string>& names, Status& status) {
  const String directory(m_sourceDirectory.str() + "/" + relative);
  if (!Port::File::canread_dir(directory)) return false;
  const UT_DIR listing(directory, 0);
  if (!listing.isValid()) return false;
  const std::set<std::string> restores = FileUtils::RestoreFolderNames(directory, listing);
  for (const UT_DIR::Entry& entry : listing) {
    const std::string& name = entry.name.str();
    if (name == "." || name == ".." || EndsWithQdb(name) || name == "snapshots") continue;
    if (entry.kind == UT_DIR::Kind::kDirectory && restores.count(name) != 0) continue;
    if (!ListCarries(name)) return false;
    const std::string child = relative + "/" + name;
    const std::string full = m_sourceDirectory.str() + "/" + child;
    if (entry.kind == UT_DIR::Kind::kDirectory) {
      std::error_code error;
      if (fs::equivalent(full, m_bundleDirectory.str(), error) && !error) continue;
      names.push_back(child);
      if (!NameTree(child, names, status)) return false;
      continue;
    }
    if (entry.kind != UT_DIR::Kind::kFile) return false;
    if (!Readable(full)) {
      if (status == kSuccess) {
        status = Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Failed to copy file <%s> to <%s>\n", full.c_str(),
                      P::Join(m_bundleDirectory, String(child)).c_str());
      }
      continue;
    }
    names.push_back(child);
  }
  return true;
}

void CArchiveBundle::ForgetNames() {
  m_named.clear();
  m_parentsNamed.clear();
}

void CArchiveBundle::NameWithParents(const std::string& relative) {
  const std::size_t last = relative.rfind('/');
  if (last != std::string::npos && relative.compare(0, last + 1, m_parentsNamed) != 0) {
    for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
      m_named.insert(relative.substr(0, slash));
    m_parentsNamed = relative.substr(0, last + 1);
  }
  m_named.insert(relative);
}

std::vector<String> CArchiveBundle::NamesToZip(const std::set<std::string>& coming) const {
  std::vector<String> names;
  names.reserve(m_named.size());
  // A parent sorts before what it holds: below a directory the bundle lacks, nothing is looked for.
  std::string missing;
  for (const std::string& name : m_named) {
    const bool below = !missing.empty() && name.size() > missing.size() && name[missing.size()] == '/' &&
                       name.compare(0, missing.size(), missing) == 0;
    if (coming.count(name) != 0) continue;
    if (!below) {
      std::error_code error;
      if (fs::symlink_status(m_bundleDirectory.str() + "/" + name, error).type() != fs::file_type::not_found)
        continue;
      missing = name;
    }
    names.emplace_back(name);
  }
  return names;
}

}  // namespace Hvd
