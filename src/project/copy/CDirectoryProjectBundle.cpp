#include "project/copy/CDirectoryProjectBundle.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#include "Port/FileName.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "project/copy/CopyPath.h"
#include "utils/Factory.h"
#include "utils/FileUtils.h"

namespace Hvd {

namespace P = CopyPath;
namespace fs = std::filesystem;
using String = Port::StringBase<char>;

namespace {

// The companions an IP-core description brings along, in the order they are copied.
constexpr const char* kCoreCompanions[] = {".asy", ".vho", ".veo", ".v", ".vhd", ".edn", ".ngc", ".sym", ".mif", ".ucf"};

Prjrep::AutoRelease<Prjrep::IFileNameHelper> NewPathHelper() {
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> helper;
  std::ignore = CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), helper.Receive());
  return helper;
}

String WithExtension(const Port::FileName& path, const String& extension) {
  const String directory = path.GetHead();
  return directory + path.GetBase() + extension;
}

// An item of the source directory that is a link keeps being one where it keeps its place, so
// the copy holds what the project holds: the link, not what it leads to, which may lie outside
// the project, be missing or lead back into it. Where the copy already made a directory in its
// place (for sources reached through it), the link's contents join that directory.
bool KeepsLink(const String& source, const String& destination, const String& bundle, Prjrep::IFileNameHelper* from,
               bool inside) {
  std::error_code error;
  if (!inside || fs::symlink_status(fs::path(source.str()), error).type() != fs::file_type::symlink) return false;
  if (fs::symlink_status(fs::path(destination.str()), error).type() == fs::file_type::directory) return false;
  String relative;
  if (from->GetRelativeName(&relative) != kSuccess || relative.empty()) return false;
  return P::Same(destination, P::Join(bundle, relative));
}

}  // namespace

String CDirectoryProjectBundle::Directory() const { return P::Normal(m_path.GetPath()); }

void CDirectoryProjectBundle::CopyCompanion(const Port::FileName& source, const Port::FileName& destination,
                                            const String& extension, Status& status) {
  const String from = WithExtension(source, extension);
  if (!Port::File::isfile(from)) return;
  // The first failure is the item's answer: a companion copied after it does not make it whole.
  const Status copied =
      FileUtils::CopyFile(from, WithExtension(destination, extension), FileUtils::kKeepPermissions, Made());
  if (status == kSuccess) status = copied;
}

Status CDirectoryProjectBundle::XIProjectBundle::Initialize(const String& name, const String& location,
                                                            const String& sourceDirectory) {
  CDirectoryProjectBundle& self = This();
  if (self.m_initialized) return kOwnerMissing;
  if (name.empty()) return kInvalidParameter;
  self.m_name = name;
  self.m_location = location;
  self.m_sourceDirectory = sourceDirectory;
  self.m_path = Port::FileName(P::Join(location, name));
  self.m_initialized = true;
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Create(bool copyMode) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  const String directory = self.Directory();
  if (Port::File::isdir(directory)) {
    return Fail(kFailure, "ERROR: CDirectoryProjectBundle::Create - Directory ProjectBundle already exists at: \"%s\"\n",
                directory.c_str());
  }
  if (!self.m_made.Make(directory.str())) {
    const int error = errno;
    return Fail(kFailure,
                "ERROR: CDirectoryProjectBundle::Create - Creating the Directory ProjectBundle at: \"%s\": %s.\n",
                directory.c_str(), std::strerror(error));
  }
  // A refused copy that leaves its folder says so: the folder holds what another put there.
  self.m_made.NameWhatStays();
  self.m_createdHere = self.m_open = self.m_writable = true;
  self.m_copyMode = copyMode;
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Open(std::uint32_t mode) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  const String directory = self.Directory();
  if (!Port::File::isdir(directory)) {
    return Fail(kFailure, "ERROR: CDirectoryProjectBundle::Open - Directory ProjectBundle doesn't exist at: \"%s\"\n",
                directory.c_str());
  }
  self.m_writable = false;
  if ((mode & 2u) != 0) {
    if (!Port::File::canwrite_dir(directory)) return kFailure;
    self.m_writable = true;
    // A refused copy into it names a folder it made that stays for holding what another put there.
    self.m_made.NameWhatStays();
  }
  self.m_createdHere = false;
  self.m_open = true;
  self.m_copyMode = false;
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Exists(bool* exists) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  if (exists == nullptr) return kInvalidParameter;
  *exists = Port::File::isdir(self.Directory());
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Close(bool keep) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  // Dropped, it takes back the files its items wrote, each while it is still the file written,
  // then the folders made in it, its own when it made it and those on the way to it, while they
  // hold nothing: what was there before, what another put there meanwhile, or put in their
  // place, stays. Never a whole tree: its folder may be another's by now, or a link to one. What
  // the items wrote over goes back to its name; kept, the copy, what it was kept aside for goes.
  if (!keep) std::ignore = self.m_made.TakeBack();
  self.ClearState();
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Delete() {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  if (!Port::File::isdir(self.Directory())) return kSuccess;
  std::ignore = FileUtils::RemoveDirectoryTree(self.Directory(), true);
  self.ClearState();
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::Rename(const String& name) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  const String target = P::Normal(P::Join(self.m_location, name));
  if (!target.empty() && Port::File::exist(target)) {
    return Fail(kFailure, "CDirectoryProjectBundle::Rename - New Location \"%s\" already exists.\n", target.c_str());
  }
  if (!Port::File::rename(self.Directory(), target)) {
    return Fail(kFailure, "CDirectoryProjectBundle::Rename - Couldn't rename \"%s\" to \"%s\".\n",
                self.Directory().c_str(), target.c_str());
  }
  self.m_name = name;
  self.m_path = Port::FileName(target);
  return kSuccess;
}

Status CDirectoryProjectBundle::XIProjectBundle::AddItem(const String& sourcePath, const String& newPath) {
  CDirectoryProjectBundle& self = This();
  if (!self.m_initialized) return kNotSetUp;
  if (!self.m_open || !self.m_writable) return kOwnerMissing;
  if (sourcePath.empty()) return kInvalidParameter;

  Prjrep::AutoRelease<Prjrep::IFileNameHelper> from = NewPathHelper();
  if (!from) return kComponentNotCreated;
  std::ignore = from->SetBaseDirectory(self.m_sourceDirectory);
  std::ignore = from->SetPath(sourcePath, String());
  bool inside = false;
  std::ignore = from->IsInsideBase(&inside);
  if (!inside && newPath.empty()) {
    return Fail(kFailure,
                "CDirectoryProjectBundle::AddItem() - Attempting to add a non-local item (%s), without providing a "
                "new path\n.",
                sourcePath.c_str());
  }
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> to = NewPathHelper();
  if (!to) return kComponentNotCreated;
  std::ignore = to->SetBaseDirectory(self.Directory());
  if (newPath.empty()) {
    String relative;
    if (const Status status = from->GetRelativeName(&relative); status != kSuccess) return status;
    if (const Status status = to->SetPath(relative, String()); status != kSuccess) return status;
  } else if (const Status status = to->SetPath(newPath, String()); status != kSuccess) {
    return status;
  }
  String source;
  String destination;
  if (const Status status = from->GetFullName(&source); status != kSuccess) return status;
  if (const Status status = to->GetFullName(&destination); status != kSuccess) return status;

  // The copy writes only inside the bundle: a link on the way to the item's place is replaced,
  // never written through, and kept aside until the copy is kept.
  if (const Status cleared = FileUtils::RemoveLinksBelow(self.Directory(), destination, self.Made());
      cleared != kSuccess)
    return cleared;
  const std::uint32_t mode = self.m_copyMode ? FileUtils::kReadOnly : FileUtils::kKeepPermissions;
  Status status = KeepsLink(source, destination, self.Directory(), from.Get(), inside)
                      ? FileUtils::CopyLink(source, destination, self.Made())
                      : FileUtils::CopyItem(source, destination, mode, self.Made());

  const Port::FileName sourceName(source);
  const Port::FileName destinationName(destination);
  self.CopyCompanion(sourceName, destinationName, ".sym", status);
  if (sourceName.GetExtension() == ".mdx") {
    for (const char* extension : kCoreCompanions) self.CopyCompanion(sourceName, destinationName, extension, status);
    for (const char* suffix : {"_vbnd.tcl", "_ftype.txt"}) {
      const String from = sourceName.GetHead() + sourceName.GetBase() + String(suffix);
      if (!Port::File::isfile(from)) continue;
      const Status copied = FileUtils::CopyFile(from, destinationName.GetHead() + sourceName.GetBase() + String(suffix),
                                                FileUtils::kKeepPermissions, self.Made());
      if (status == kSuccess) status = copied;
    }
  }
  return status;
}

Status CDirectoryProjectBundle::XIProjectBundle::GetItemPath(const String& item, String* path) {
  CDirectoryProjectBundle& self = This();
  if (path != nullptr) *path = String();
  if (!self.m_initialized) return kNotSetUp;
  if (!self.m_open) return kOwnerMissing;
  if (item.empty() || path == nullptr) return kInvalidParameter;
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> helper = NewPathHelper();
  if (!helper) return kComponentNotCreated;
  std::ignore = helper->SetBaseDirectory(self.Directory());
  std::ignore = helper->SetPath(item, String());
  return helper->GetFullName(path);
}

// The copy's own status is the answer: a caller that goes on to discard its backup must know
// that the bundle did not arrive whole.
Status CDirectoryProjectBundle::XIProjectBundle::ExtractTo(const String& targetDirectory,
                                                           Prjrep::IStringIterator** failed) {
  CDirectoryProjectBundle& self = This();
  if (failed != nullptr) *failed = nullptr;
  String temporary;
  std::string token;
  if (const Status made = FileUtils::CreateTempDirectory(temporary, token); made != kSuccess) return made;
  // Below it, so that nothing of the target's lands on its mark.
  if (const Status saved = FileUtils::CopyDirectoryTree(targetDirectory, temporary + String("/saved"),
                                                        FileUtils::kKeepPermissions, nullptr);
      saved != kSuccess) {
    std::ignore = FileUtils::RemoveTempDirectory(temporary, token);
    return saved;
  }
  Prjrep::AutoRelease<Prjrep::IStringSet> failures;
  const Status copied =
      FileUtils::CopyDirectoryTree(self.Directory(), targetDirectory, FileUtils::kReadWrite, failures.Receive());
  if (failures && failed != nullptr) std::ignore = failures->GetIterator(failed);
  const Status removed = FileUtils::RemoveTempDirectory(temporary, token);
  return copied != kSuccess ? copied : removed;
}

}  // namespace Hvd
