#pragma once
// The bundle an archive is gathered in. A file of the project that would land in the bundle
// under the name it has below the project file's directory is not copied: it is only named, to
// be zipped from where it is. Everything else (files the map renames, remote sources, files with
// companions, links, names that a list of names cannot carry) is copied into the bundle
// directory by a directory bundle, as for any copy. Zipping the bundle directory and then the
// named files gives the archive that zipping a full copy would.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Hvd/IProjectCopy.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Holders.h"

namespace Hvd {

class CArchiveBundle final : public IProjectBundle {
 public:
  using String = Port::StringBase<char>;

  CArchiveBundle();
  CArchiveBundle(const CArchiveBundle&) = delete;
  CArchiveBundle& operator=(const CArchiveBundle&) = delete;
  ~CArchiveBundle() override = default;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

  Status Initialize(const String& name, const String& location, const String& sourceDirectory) override;
  Status Create(bool copyMode) override;
  Status Delete() override;
  Status Exists(bool* exists) override;
  Status Open(std::uint32_t mode) override;
  Status Close(bool keep) override;
  Status Rename(const String& name) override;
  Status AddItem(const String& sourcePath, const String& newPath) override;
  Status ReservedOperation9() override { return kNotSupported; }
  Status ReservedOperation10() override { return kNotSupported; }
  Status GetItemPath(const String& item, String* path) override;
  Status ExtractTo(const String& targetDirectory, Prjrep::IStringIterator** failed) override;
  Status ReservedOperation13() override { return kNotSupported; }

  // The directory the named files are relative to.
  const String& SourceDirectory() const noexcept { return m_sourceDirectory; }
  // The named files and directories, each directory before what it holds, leaving out every
  // name that the bundle directory holds itself, or will hold (`coming`, names below the bundle
  // directory): its copy is the one that counts.
  std::vector<String> NamesToZip(const std::set<std::string>& coming = {}) const;

 private:
  // The name below the source directory under which `sourcePath` would land in the bundle, when
  // it lands there unrenamed; else "".
  std::string UnrenamedName(const String& sourcePath, const String& newPath);
  // Names a file, or a directory with all it holds as a tree copy takes it. False when the item
  // must be copied instead; `status` is the failure of a file that cannot be read.
  bool Name(const std::string& relative, Status& status);
  bool NameTree(const std::string& relative, std::vector<std::string>& names, Status& status);
  void NameWithParents(const std::string& relative);
  void ForgetNames();
  // What `name` in `directory` is, a link not followed, from one listing of the directory;
  // 'n' when there is none, 'f' a file, 'd' a directory, 'o' anything else.
  char KindOf(const std::string& directory, const std::string& name);

  Prjrep::AutoRelease<IProjectBundle> m_directory;
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> m_from;
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> m_to;
  String m_sourceDirectory;
  String m_bundleDirectory;
  std::set<std::string> m_named;
  std::map<std::string, std::map<std::string, char>> m_listings;
  // A project's files come directory by directory: the last directory listed, the last way
  // down found to be all directories, and the last directory (with its '/') whose parents
  // were named.
  const std::string* m_lastListed = nullptr;
  std::map<std::string, char>* m_lastListing = nullptr;
  std::string m_wayChecked;
  std::string m_parentsNamed;
  bool m_writable = false;
};

}  // namespace Hvd
