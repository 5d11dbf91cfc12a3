#include "utils/FileUtils.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "Port/Dir.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "Port/XUID.h"
#include "framework/Interface.h"
#include "utils/DmUtils.h"

namespace Hvd {

using String = Port::StringBase<char>;

CFileNameSet::CFileNameSet() {
  m_set.Clear();
  // The set's counting calls and queries reach this object.
  m_set.SetOwner(&m_refCount);
}

CitI::IInterface* CFileNameSet::QueryInterface(const Port::XUID& iid) {
  return AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount},
                           {Prjrep::IStringSet::GetIID(), &m_set},
                           {CitI::IInterface::GetIID(), &m_set}});
}

namespace {

namespace fs = std::filesystem;

void Debug(const char* format, const String& a, const String& b = String()) {
  String text;
  text.Format(format, a.c_str(), b.c_str());
  Port_MsgManData::debugStub(text.c_str());
}

void Warn(int line, const char* format, const String& argument) {
  const Port_MsgManData messages =
      Port_MsgManData::createObject("ProjectMgmt", "../src/FileUtils", line, "$Revision: 1.35.16.1 $");
  String text;
  text.Format(format, argument.c_str());
  messages.issueWarning("%s", text.c_str());
}

String Separator() {
  String separator;
  separator.Format("%c", Port::FileName::GetPathSeparator());
  return separator;
}

fs::path AsPath(const String& path) { return fs::path(path.str()); }

// What the path itself is, a link not followed; not_found when it cannot be examined.
fs::file_type OwnType(const String& path) {
  std::error_code error;
  return fs::symlink_status(AsPath(path), error).type();
}

// Two existing names of one file: another spelling, a link or a hard link.
bool SameFile(const String& first, const String& second) {
  std::error_code error;
  return fs::equivalent(AsPath(first), AsPath(second), error) && !error;
}

String Canonical(const String& path) {
  Port::FileName name(Port::FileName(path).GetAbsolutePath(false));
  return name.MakeCanonical(true).GetPath();
}

bool EndsWithQdb(const String& name) {
  static constexpr std::string_view kSuffix = "_qdb";
  const std::string& text = name.str();
  return text.size() >= kSuffix.size() && text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// The link at `source` made again at `destination`, pointing where it points.
bool CopyLink(const String& source, const String& destination) {
  if (!Port::File::remove_f(destination)) return false;
  std::error_code error;
  fs::copy_symlink(AsPath(source), AsPath(destination), error);
  return !error;
}

Status CopyTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                Prjrep::IStringSet** failedFiles, const String& canonicalTop);

}  // namespace

Status ValidateOrCreateHLCPathDirectory(String& projectPath) {
  if (projectPath.empty()) {
    Port_MsgManData::debugStub(
        "DEBUG: ValidateOrCreateHLCPathDirectory cannot accept a non_empty path. Nothing to do.\n");
    return kFailure;
  }
  const Port::FileName name(projectPath);
  const String base = name.GetBase();
  const String extension = name.GetExtension();
  std::string directory = Port::FileName(name.GetAbsolutePath(false)).GetHead(false, false).str();
  if (projectPath == base || projectPath == base + extension) {
    directory += base.str();  // a bare project file gets a directory of its own
  } else if (directory.size() > 1 && directory.back() == Port::FileName::GetPathSeparator()) {
    directory.pop_back();
  }
  const String folder(directory);

  if (!Port::FileName::IsValidPath(folder)) {
    Warn(__LINE__, "Warning: Path=%s, contains invalid characters. Cannot create it.\n", folder);
    return kFailure;
  }
  if (!Port::File::exist(folder) && !Port::File::mkdir(folder, true)) {
    Warn(__LINE__, "Warning: Could not create directory %s\n", folder);
    return kFailure;
  }
  if (!Port::File::canread(folder) && !Port::File::canwrite_dir(folder)) {
    // Give the owner back its rights; what others may do stays as it was.
    std::error_code error;
    const auto current = static_cast<unsigned>(fs::status(AsPath(folder), error).permissions());
    if (error || !Port::File::chmod(folder, (current & 0777u) | 0700u)) {
      Warn(__LINE__, "Warning: Could not change permissions for directory %s\n", folder);
    }
  }
  if (!(projectPath == folder)) projectPath = folder + Separator() + base + extension;
  return kSuccess;
}

namespace FileUtils {

Status CopyFile(const String& source, const String& destination, std::uint32_t mode) {
  // Names compare exactly here; other spellings of one file are caught once both exist.
  if (destination == source) return kSuccess;
  if (!Port::File::exist(source)) {
    Debug("FileUtils::CopyFile - Source File <%s> doesn't exist.\n", source);
    return kDirectoryWriteFailed;
  }
  if (Port::File::exist(destination) && SameFile(source, destination)) return kSuccess;

  // A file or a link is replaced by the copy's rename; anything else must go first.
  const fs::file_type present = OwnType(destination);
  if (present != fs::file_type::not_found && present != fs::file_type::regular && present != fs::file_type::symlink &&
      !Port::File::remove_f(destination)) {
    Debug("FileUtils::CopyFile - Failed to clean out destination path <%s>.\n", destination);
    return kDirectoryWriteFailed;
  }

  Port::FileName directoryName(destination);
  directoryName.SetTail("");
  const String directory = directoryName.GetPath();
  // Without its trailing separator, so that a file of that name is seen as one.
  String bare = directory;
  if (bare.size() > 1 && bare.str().back() == Port::FileName::GetPathSeparator()) bare.str().pop_back();
  if (!directory.empty()) {  // empty: the current directory
    if (Port::File::exist(bare)) {
      if (!Port::File::isdir(bare)) {
        Debug("FileUtils::CopyFile - Destination target <%s> is not a directory.\n", directory);
        return kDirectoryWriteFailed;
      }
    } else if (!Port::File::mkdir(directory, true)) {
      Debug("FileUtils::CopyFile - Couldn't create the Destination directory <%s>.\n", directory);
      return kDirectoryWriteFailed;
    }
  }

  if (!Port::File::copy_p(source, destination)) {
    Debug("FileUtils::CopyFile - Failed to copy file <%s> to <%s>\n", source, destination);
    return kDirectoryWriteFailed;
  }

  // chmod keeps within the umask and never takes the owner's rights.
  if (mode == kReadOnly && !Port::File::chmod(destination, 0444)) {
    Debug("FileUtils::CopyFile - Failed to change file <%s> to Read-Only\n", destination);
    return kDirectoryWriteFailed;
  }
  if (mode == kReadWrite && !Port::File::chmod(destination, 0666)) {
    Debug("FileUtils::CopyFile - Failed to change file <%s> to Read-Write\n", destination);
    return kDirectoryWriteFailed;
  }
  return kSuccess;
}

Status RemoveDirectoryTree(const String& directory, bool removeSelf) {
  // A link given as the directory is taken away itself; its target is never entered.
  if (OwnType(directory) == fs::file_type::symlink) {
    if (!removeSelf) return kSuccess;
    if (!Port::File::remove_f(directory)) {
      Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", directory);
      return kCleanupFailed;
    }
    return kSuccess;
  }
  if (!Port::File::canwrite_dir(directory)) {
    Warn(__LINE__, "Could not remove read-only directory <%s> - cleanup failed.\n", directory);
    return kCleanupFailed;
  }
  UT_DIR listing(directory, 0);
  if (!listing.isValid()) {
    Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", directory);
    return kCleanupFailed;
  }

  Status result = kSuccess;
  const String separator = Separator();
  for (const UT_DIR::Entry& entry : listing) {
    if (entry.name == "." || entry.name == "..") continue;
    const String path = directory + separator + entry.name;
    if (entry.kind == UT_DIR::Kind::kDirectory) {
      const Status status = RemoveDirectoryTree(path, true);
      if (status != kSuccess) result = status;
    } else if (entry.kind == UT_DIR::Kind::kFile || entry.kind == UT_DIR::Kind::kLink) {
      if (!Port::File::remove_f(path)) {
        Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", path);
        result = kCleanupFailed;
      }
    }
  }

  if (removeSelf && !Port::File::rmdir(directory)) {
    Warn(__LINE__, "Could not remove the directory <%s> - cleanup failed.\n", directory);
    result = kCleanupFailed;
  }
  return result;
}

Status RemoveItem(const String& path) {
  const fs::file_type type = OwnType(path);
  if (type == fs::file_type::directory && Port::File::isdir(path)) return RemoveDirectoryTree(path, true);
  if ((type == fs::file_type::regular && Port::File::isfile(path)) || type == fs::file_type::symlink) {
    if (!Port::File::remove_f(path)) {
      Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", path);
      return kCleanupFailed;
    }
  }
  return kSuccess;
}

Status ZipDirectory(const String& directory, const String& archive) {
  const String zip = Port_Env::GetExecFileName("zip", true);
  if (zip.empty()) {
    Port_MsgManData::debugStub("ERROR: FileUtils::ZipDirectory - Unable to find Velmor Zip program\n");
    return kZipNotFound;
  }
  // Shown in the message; the program gets the pieces as separate arguments.
  const String command = "\"" + zip + "\" -q -r \"" + archive + "\" .";
  const auto hasQuote = [](const String& text) { return text.str().find('"') != std::string::npos; };
  if (hasQuote(directory) || hasQuote(archive)) {
    Debug("ERROR: FileUtils::ZipDirectory - Failed to run the command <%s>\n", command);
    return kZipNotFound;
  }
  if (!Port::File::isdir(directory)) {
    Debug("ERROR: FileUtils::ZipDirectory -  Unable to change directory to <%s>\n", directory);
    return kZipNotFound;
  }

  // The child starts in the directory; ours never changes.
  Port::Process process;
  process.SetWorkingDirectory(directory);
  if (process.Run({zip, "-q", "-r", archive, "."}) != 0) {
    Debug("ERROR: FileUtils::ZipDirectory - Failed to run the command <%s>\n", command);
    return kZipNotFound;
  }
  return kSuccess;
}

Status CreateTempDirectory(String& outPath) {
  outPath = "";
  String name = Port::FileName(Port::File::tmpnam(nullptr)).GetAbsolutePath(false);
  std::string id = Port::XUID::New().GetAsString().str();
  for (char& c : id) {
    if (c == '{') c = '_';
  }
  if (!id.empty()) id.pop_back();
  name += id.c_str();

  if (Port::File::exist(name) || OwnType(name) != fs::file_type::not_found) {
    const Status cleared = RemoveDirectoryTree(name, true);
    if (cleared != kSuccess) return cleared;
  }
  // The copies put here are the user's: no one else may read them.
  if (!Port::File::mkdir(name, false, 0700)) {
    Debug("FileUtils::CreateTempDirectory - Unable to create temporary directory <%s>\n", name);
    return kTempDirNotCreated;
  }
  outPath = name;
  return kSuccess;
}

Status CopyDirectoryTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                         Prjrep::IStringSet** failedFiles) {
  return CopyTree(sourceDir, destinationDir, mode, failedFiles, String());
}

Status CopyItem(const String& source, const String& destination, std::uint32_t mode) {
  if (Port::File::isdir(source)) {
    Prjrep::AutoRelease<Prjrep::IStringSet> failed;
    const Status status = CopyDirectoryTree(source, destination, mode, failed.Receive());
    return failed.Get() != nullptr ? kDirectoryWriteFailed : status;
  }
  if (Port::File::isfile(source)) return CopyFile(source, destination, mode);
  Debug("FileUtils::CopyItem() - Source Item \"%s\" doesn't appear to exist.\n", source);
  return kDirectoryWriteFailed;
}

String GetObjectDirectory(CitI::IInterface* object) {
  Port::FileName head(Port::FileName(GetObjectFullPath(object)).GetHead(false, false));
  return head.MakeCanonical(false).GetPath();
}

}  // namespace FileUtils

namespace {

Status CopyTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                Prjrep::IStringSet** failedFiles, const String& canonicalTop) {
  if (!Port::File::canread_dir(sourceDir)) {
    Debug("FileUtils::CopyDirectoryTree - Unable to read source directory <%s>\n", sourceDir);
    return kDirectoryWriteFailed;
  }
  if (!Port::File::exist(destinationDir) && !Port::File::mkdir(destinationDir, true)) {
    Debug("FileUtils::CopyDirectoryTree - Unable to create destination directory <%s>\n", destinationDir);
    return kDirectoryWriteFailed;
  }
  if (!Port::File::canwrite_dir(destinationDir)) {
    Debug("FileUtils::CopyDirectoryTree - Unable to write destination directory <%s>\n", destinationDir);
    return kDirectoryWriteFailed;
  }
  UT_DIR listing(sourceDir, 0);
  if (!listing.isValid()) {
    Debug("FileUtils::CopyDirectoryTree - Invalid directory <%s>\n", sourceDir);
    return kDirectoryWriteFailed;
  }

  // The walk never enters the tree being filled, wherever it lies below the source.
  const String destinationTop = canonicalTop.empty() ? Canonical(destinationDir) : canonicalTop;

  Status result = kSuccess;
  const auto fail = [&result](Status status) {
    if (result == kSuccess) result = status;
  };
  const String separator = Separator();
  for (const UT_DIR::Entry& entry : listing) {
    const String& name = entry.name;
    if (name == "." || name == ".." || EndsWithQdb(name) || name == "snapshots" || name == destinationDir) continue;
    const String sourcePath = sourceDir + separator + name;
    const String destinationPath = destinationDir + separator + name;

    if (entry.kind == UT_DIR::Kind::kDirectory) {
      if (Canonical(sourcePath) == destinationTop) continue;
      const Status status = CopyTree(sourcePath, destinationPath, mode, failedFiles, destinationTop);
      if (status != kSuccess) {
        Debug("FileUtils::CopyDirectoryTree - Unable to copy sub directory <%s>\n", sourcePath);
        fail(status);
      }
      continue;
    }

    // A link is copied as a link, so nothing outside the source is read.
    const bool isLink = entry.kind == UT_DIR::Kind::kLink;
    if (!isLink && entry.kind != UT_DIR::Kind::kFile) {
      fail(kDirectoryWriteFailed);
      continue;
    }
    const Status status = isLink ? (CopyLink(sourcePath, destinationPath) ? kSuccess : kDirectoryWriteFailed)
                                 : FileUtils::CopyFile(sourcePath, destinationPath, mode);
    if (status == kSuccess) continue;
    fail(status);
    if (failedFiles == nullptr) continue;
    if (*failedFiles == nullptr) *failedFiles = (new CFileNameSet())->GetStringSet();
    (*failedFiles)->Add(destinationPath);
  }
  return result;
}

}  // namespace
}  // namespace Hvd
