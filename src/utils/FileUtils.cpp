#include "utils/FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "Port/Dir.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "Port/XUID.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "core/RegularFile.h"
#include "core/Interface.h"
#include "utils/DmUtils.h"
#include "utils/FileMessages.h"
#include "utils/MadeFolders.h"
#include "utils/OwnedFolder.h"

namespace Hvd {

using String = Port::StringBase<char>;

CFileNameSet::CFileNameSet() {
  std::ignore = m_set.Clear();
  // The set's counting calls and queries reach this object.
  std::ignore = m_set.SetOwner(&m_refCount);
}

namespace {

namespace fs = std::filesystem;

using FileMessages::Debug;
using FileMessages::Warn;

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

String Canonical(const String& path) {
  Port::FileName name(Port::FileName(path).GetAbsolutePath(false));
  return name.MakeCanonical(true).GetPath();
}

bool EndsWithQdb(const String& name) {
  static constexpr std::string_view kSuffix = "_qdb";
  const std::string& text = name.str();
  return text.size() >= kSuffix.size() && text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// `path` without trailing separators and trailing "." steps, which would make a final link
// be followed.
String WithoutTrailingSteps(const String& path) {
  std::string text = path.str();
  while (text.size() > 1 && (text.back() == '/' || (text.back() == '.' && text[text.size() - 2] == '/'))) {
    text.pop_back();
  }
  return String(text);
}

String Join(const String& directory, const String& name) {
  if (directory.empty() || directory.str().back() == Port::FileName::GetPathSeparator()) return directory + name;
  return directory + Separator() + name;
}

// A FIFO, socket or device has no content to copy, and reading a FIFO would wait for a writer:
// a copy leaves it out and goes on with the rest.
constexpr const char* kSpecialFileLeftOut = "<%s> is not a regular file and is left out of the copy.\n";

// The walks below act by descriptor, not by path, yet the same failures can be injected into them.
bool Injected(const char* operation, const String& path) {
  if (!Port::FaultInjection::ShouldFail(operation, path.str())) return false;
  errno = EIO;
  return true;
}

constexpr int kDirectoryFlags = O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;
// The mark of a temporary directory, holding the token CreateTempDirectory gave.
constexpr const char* kTempMark = ".hvd_temp";

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) noexcept : m_fd(fd) {}
  Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
  }
  ~Descriptor() { Close(); }

  int Get() const noexcept { return m_fd; }
  bool IsOpen() const noexcept { return m_fd >= 0; }

 private:
  void Close() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }
  int m_fd;
};

// One directory of a removal: its entries, read once, and how to know it again.
struct Level {
  String path;  // for the messages only
  // Each name with whether it was a directory when read.
  std::vector<std::pair<String, bool>> entries;
  std::size_t next = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

// Reads the directory open as `fd` into `level`, in byte order so failures come in a stable
// order; warns and answers false when it cannot be emptied.
bool Enter(int fd, const String& path, Level& level) {
  if (Injected("canwrite_dir", path) || ::faccessat(fd, ".", W_OK | X_OK, 0) != 0) {
    Warn(__LINE__, "Could not remove read-only directory <%s> - cleanup failed.\n", path);
    return false;
  }
  struct stat info;
  // fdopendir takes the descriptor it is given; a copy leaves ours for the *at calls.
  const int copy = Injected("UT_DIR", path) || ::fstat(fd, &info) != 0 ? -1 : ::dup(fd);
  DIR* stream = copy < 0 ? nullptr : ::fdopendir(copy);
  if (stream == nullptr) {
    if (copy >= 0) ::close(copy);
    Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", path);
    return false;
  }
  ::rewinddir(stream);
  level.path = path;
  level.device = info.st_dev;
  level.inode = info.st_ino;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) break;
    const String name(entry->d_name);
    if (name == "." || name == "..") continue;
    struct stat child;
    const bool directory = ::fstatat(fd, entry->d_name, &child, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(child.st_mode);
    level.entries.emplace_back(name, directory);
  }
  const bool complete = errno == 0;
  ::closedir(stream);
  if (!complete) {
    Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", path);
    return false;
  }
  std::sort(level.entries.begin(), level.entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return true;
}

// Removes everything below the directory open as `top` and read into `entered`. Every step is
// taken from an open directory and no link is followed, so a tree changed meanwhile cannot lead
// outside it. Only the directory being worked on is held open and the walk keeps its own stack,
// so depth costs neither descriptors nor call stack; it climbs back through "..", checked to be
// the directory it came from.
Status RemoveBelow(Descriptor top, Level entered) {
  std::vector<Level> levels;
  levels.push_back(std::move(entered));
  Descriptor current = std::move(top);
  Status result = kSuccess;
  while (true) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      if (levels.size() == 1) return result;
      Descriptor parent(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      const String child = level.path;
      levels.pop_back();
      const Level& up = levels.back();
      struct stat info;
      if (!parent.IsOpen() || ::fstat(parent.Get(), &info) != 0 || info.st_dev != up.device ||
          info.st_ino != up.inode) {
        // Moved away while being emptied: where the walk would go back to is not the tree.
        Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", up.path);
        return kCleanupFailed;
      }
      current = std::move(parent);
      const String& name = up.entries[up.next - 1].first;
      if (Injected("rmdir", child) || (::unlinkat(current.Get(), name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)) {
        Warn(__LINE__, "Could not remove the directory <%s> - cleanup failed.\n", child);
        result = kCleanupFailed;
      }
      continue;
    }

    const auto& [name, directory] = level.entries[level.next++];
    const String entryPath = Join(level.path, name);
    if (directory) {
      Descriptor child(::openat(current.Get(), name.c_str(), kDirectoryFlags));
      if (child.IsOpen()) {
        Level below;
        if (Enter(child.Get(), entryPath, below)) {
          levels.push_back(std::move(below));
          current = std::move(child);
        } else {
          result = kCleanupFailed;
        }
        continue;
      }
      if (errno == ENOENT) continue;
      if (errno != ELOOP && errno != ENOTDIR) {
        Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", entryPath);
        result = kCleanupFailed;
        continue;
      }
      // No longer a directory: taken away like a file.
    }
    if (Injected("remove_f", entryPath) || (::unlinkat(current.Get(), name.c_str(), 0) != 0 && errno != ENOENT)) {
      Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", entryPath);
      result = kCleanupFailed;
    }
  }
}

// A copy that records what it writes, so that its refusal can take it back, is one the user
// asked for: a step that fails says which name and why, which the refusal alone does not.
void TellRefused(const MadeFolders* made, const std::string& sentence, int error) {
  if (made != nullptr) FileMessages::Error(__LINE__, "%s.\n", String(sentence + ": " + std::strerror(error)));
}

std::string Quoted(const String& path) { return "\"" + path.str() + "\""; }

// Frees `path` for what a copy writes there: with `made`, what is there is kept aside until the
// copy is kept; without, it is removed.
bool Free(const String& path, MadeFolders* made) {
  if (made == nullptr) return Port::File::remove_f(path);
  if (made->SetAside(path.str())) return true;
  const int error = errno;
  TellRefused(made, "What is at " + Quoted(path) + " could not be set aside for the copy", error);
  errno = error;
  return false;
}

// The link at `source` made again at `destination`, pointing where it points.
bool CopyLinkAt(const String& source, const String& destination, MadeFolders* made) {
  if (!Free(destination, made)) return false;
  std::error_code error;
  fs::copy_symlink(AsPath(source), AsPath(destination), error);
  if (error) {
    TellRefused(made, "The link " + Quoted(source) + " could not be copied to " + Quoted(destination), error.value());
    if (made != nullptr) made->PutBack(destination.str());
    return false;
  }
  if (made != nullptr) made->Wrote(destination.str());
  return true;
}

// `directory` and the folders on the way to it made, recorded in `made` when given.
bool MakeFolders(const String& directory, MadeFolders* made) {
  if (made == nullptr) return Port::File::mkdir(directory, true);
  if (made->Make(WithoutTrailingSteps(directory).str())) return true;
  TellRefused(made, "The folder " + Quoted(WithoutTrailingSteps(directory)) + " could not be made", errno);
  return false;
}

Status CopyTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                Prjrep::IStringSet** failedFiles, const String& canonicalTop, MadeFolders* made);

}  // namespace

Status ValidateOrCreateHLCPathDirectory(String& projectPath) {
  if (projectPath.empty()) {
    return Fail(kFailure, "DEBUG: ValidateOrCreateHLCPathDirectory cannot accept a non_empty path. Nothing to do.\n");
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

bool SameFile(const String& first, const String& second) {
  std::error_code error;
  return fs::equivalent(AsPath(first), AsPath(second), error) && !error;
}

bool IsFolder(const String& path) {
  std::error_code error;
  return fs::is_directory(AsPath(path), error) && !error;
}

Status CopyFile(const String& source, const String& destination, std::uint32_t mode, MadeFolders* made) {
  // Names compare exactly here; other spellings of one file are caught once both exist.
  if (destination == source) return kSuccess;
  if (!Port::File::exist(source)) {
    TellRefused(made, "The file " + Quoted(source) + " could not be copied to " + Quoted(destination), errno);
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Source File <%s> doesn't exist.\n", source.c_str());
  }
  if (Port::File::exist(destination) && SameFile(source, destination)) return kSuccess;

  // A file or a link is replaced by the copy's rename; anything else must go first. Recorded,
  // what was there is kept aside instead, to be put back if the command is refused.
  const fs::file_type present = OwnType(destination);
  const bool aside = made != nullptr && present != fs::file_type::not_found && present != fs::file_type::directory;
  if (aside ? !Free(destination, made)
            : present != fs::file_type::not_found && present != fs::file_type::regular &&
                  present != fs::file_type::symlink && !Port::File::remove_f(destination)) {
    if (!aside) TellRefused(made, "What is at " + Quoted(destination) + " could not be replaced", errno);
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Failed to clean out destination path <%s>.\n",
                destination.c_str());
  }
  // Not written, it leaves the name as it found it.
  const auto refused = [&] {
    if (aside) made->PutBack(destination.str());
    return kDirectoryWriteFailed;
  };

  Port::FileName directoryName(destination);
  directoryName.SetTail("");
  const String directory = directoryName.GetPath();
  // Without its trailing separator, so that a file of that name is seen as one.
  String bare = directory;
  if (bare.size() > 1 && bare.str().back() == Port::FileName::GetPathSeparator()) bare.str().pop_back();
  if (!directory.empty()) {  // empty: the current directory
    if (Port::File::exist(bare)) {
      if (!Port::File::isdir(bare)) {
        TellRefused(made, "The folder " + Quoted(bare) + " could not be written", ENOTDIR);
        return Fail(refused(), "FileUtils::CopyFile - Destination target <%s> is not a directory.\n",
                    directory.c_str());
      }
    } else if (!MakeFolders(directory, made)) {
      return Fail(refused(), "FileUtils::CopyFile - Couldn't create the Destination directory <%s>.\n",
                  directory.c_str());
    }
  }

  if (!Port::File::copy_p(source, destination)) {
    TellRefused(made, "The file " + Quoted(source) + " could not be copied to " + Quoted(destination), errno);
    return Fail(refused(), "FileUtils::CopyFile - Failed to copy file <%s> to <%s>\n", source.c_str(),
                destination.c_str());
  }

  // chmod keeps within the umask and never takes the owner's rights. The file is written either
  // way, and is recorded once its mode, which changes its change time, is set.
  Status status = kSuccess;
  if (mode == kReadOnly && !Port::File::chmod(destination, 0444)) {
    TellRefused(made, "The copy " + Quoted(destination) + " could not be made read-only", errno);
    status = Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Failed to change file <%s> to Read-Only\n",
                  destination.c_str());
  }
  if (mode == kReadWrite && !Port::File::chmod(destination, 0666)) {
    TellRefused(made, "The copy " + Quoted(destination) + " could not be made writable", errno);
    status = Fail(kDirectoryWriteFailed, "FileUtils::CopyFile - Failed to change file <%s> to Read-Write\n",
                  destination.c_str());
  }
  if (made != nullptr) made->Wrote(destination.str());
  return status;
}

Status RemoveDirectoryTree(const String& given, bool removeSelf) {
  const String directory = WithoutTrailingSteps(given);
  // A link given as the directory is taken away itself; its target is never entered.
  if (OwnType(directory) == fs::file_type::symlink) {
    if (!removeSelf) return kSuccess;
    if (!Port::File::remove_f(directory)) {
      Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", directory);
      return kCleanupFailed;
    }
    return kSuccess;
  }
  Descriptor top(::open(directory.c_str(), kDirectoryFlags));
  if (!top.IsOpen()) {
    Warn(__LINE__, "Could not remove invalid directory <%s> - cleanup failed.\n", directory);
    return kCleanupFailed;
  }
  Level entered;
  if (!Enter(top.Get(), directory, entered)) return kCleanupFailed;
  Status result = RemoveBelow(std::move(top), std::move(entered));
  if (removeSelf && !Port::File::rmdir(directory)) {
    Warn(__LINE__, "Could not remove the directory <%s> - cleanup failed.\n", directory);
    result = kCleanupFailed;
  }
  return result;
}

Status RemoveItem(const String& given) {
  const String path = WithoutTrailingSteps(given);
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

Status RemoveFileWithin(const String& given, const std::vector<String>& folders) {
  const fs::path path = AsPath(given);
  const fs::path leaf = path.filename();
  if (!path.is_absolute() || leaf.empty() || leaf == "." || leaf == "..") return kFailure;
  std::error_code error;
  const fs::path place = fs::canonical(path.parent_path(), error);
  if (error) return error == std::errc::no_such_file_or_directory ? kSuccess : kFailure;
  for (const String& folder : folders) {
    if (folder.empty()) continue;
    const fs::path root = fs::canonical(AsPath(folder), error);
    if (error) continue;
    const fs::path below = place.lexically_relative(root);
    if (below.empty() || *below.begin() == "..") continue;
    // Both are free of links and "..", so what is left are the steps down from the folder.
    Descriptor at(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const fs::path& step : below) {
      if (!at.IsOpen() || step == ".") continue;
      at = Descriptor(::openat(at.Get(), step.c_str(), kDirectoryFlags));
    }
    struct stat info;
    if (!at.IsOpen()) return kFailure;
    if (::fstatat(at.Get(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT ? kSuccess : kFailure;
    }
    if (!S_ISREG(info.st_mode)) return kFailure;
    if (Injected("remove_f", given) || (::unlinkat(at.Get(), leaf.c_str(), 0) != 0 && errno != ENOENT)) {
      Warn(__LINE__, "Could not remove the file <%s> - cleanup failed.\n", given);
      return kCleanupFailed;
    }
    return kSuccess;
  }
  Debug("FileUtils::RemoveFileWithin - <%s> lies outside the folders it may be removed from.\n", given);
  return kFailure;
}

Status ZipDirectory(const String& directory, const String& archive) {
  const String zip = Port_Env::GetExecFileName("zip", true);
  if (zip.empty()) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipDirectory - Unable to find Velmor Zip program\n");
  }
  // zip reads a name starting with "-" as an option and refuses "--" before the archive, so it
  // gets the archive by absolute path. A relative one is inside the directory, where zip runs.
  const bool relative = archive.empty() || archive.str().front() != Port::FileName::GetPathSeparator();
  const String target = Port::FileName(relative ? Join(directory, archive) : archive).GetAbsolutePath(false);
  // Shown in the message; the program gets the pieces as separate arguments.
  const String command = "\"" + zip + "\" -q -r -y \"" + target + "\" .";
  const auto hasQuote = [](const String& text) { return text.str().find('"') != std::string::npos; };
  if (hasQuote(directory) || hasQuote(archive)) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipDirectory - Failed to run the command <%s>\n", command.c_str());
  }
  if (!Port::File::isdir(directory)) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipDirectory -  Unable to change directory to <%s>\n",
                directory.c_str());
  }
  // zip puts ".zip" after a last step without a dot, which would leave the archive elsewhere.
  const std::string& text = target.str();
  if (text.find('.', text.rfind(Port::FileName::GetPathSeparator()) + 1) == std::string::npos) {
    return Fail(kZipNotFound,
                "ERROR: FileUtils::ZipDirectory - The archive <%s> has no extension: zip would add \".zip\" to it\n",
                target.c_str());
  }

  // The child starts in the directory; ours never changes.
  Port::Process process;
  process.SetWorkingDirectory(directory);
  if (process.Run({zip, "-q", "-r", "-y", target, "."}) != 0) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipDirectory - Failed to run the command <%s>\n", command.c_str());
  }
  if (!Port::File::isfile(target)) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipDirectory - No archive was made at <%s>\n", target.c_str());
  }
  return kSuccess;
}

Status ZipNames(const String& directory, const std::vector<String>& names, const String& archive) {
  NamesZipJob job;
  if (const Status prepared = job.Prepare(directory, names, archive); prepared != kSuccess) return prepared;
  job.Run();
  return job.Finish();
}

NamesZipJob::~NamesZipJob() {
  if (m_listWritten) std::ignore = RemoveItem(m_list);
}

Status NamesZipJob::Prepare(const String& directory, const std::vector<String>& names, const String& archive) {
  m_prepared = kFailure;
  m_exitCode = -1;
  m_count = static_cast<int>(names.size());
  m_directory = directory;
  m_archive = archive;
  if (names.empty()) return m_prepared = kSuccess;
  m_zip = Port_Env::GetExecFileName("zip", true);
  if (m_zip.empty()) return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - Unable to find Velmor Zip program\n");
  if (archive.empty() || archive.str().front() != Port::FileName::GetPathSeparator()) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - The archive <%s> is not a complete path\n",
                archive.c_str());
  }
  for (const String& name : names) {
    if (name.empty() || name.str().find_first_of("\n\r") != std::string::npos) {
      return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - The name <%s> cannot be given to zip in a list\n",
                  name.c_str());
    }
  }
  if (!Port::File::isdir(directory)) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - Unable to change directory to <%s>\n", directory.c_str());
  }
  m_list = archive + String(".names");
  {
    std::string text;
    for (const String& name : names) {
      text += name.str();
      text += '\n';
    }
    // Written whole, and never into a FIFO or through a link out of the archive's folder; read
    // once by zip and removed, it needs no flush to the disk.
    const String folder = Port::FileName(archive).GetHead();
    const UnflushedBelow unflushed(folder.str());
    std::string message;
    if (WriteOwnFileAtomically(m_list.str(), text, folder.str(), &message) != kSuccess) {
      return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - Unable to write the list of names <%s>: %s\n",
                  m_list.c_str(), message.c_str());
    }
    m_listWritten = true;
  }
  return m_prepared = kSuccess;
}

void NamesZipJob::Run() {
  if (m_prepared != kSuccess || !m_listWritten) return;
  // Names come from the list, where none is read as an option, and "-nw" keeps zip from
  // reading a bracket or star in one as a pattern.
  Port::Process process;
  process.SetWorkingDirectory(m_directory);
  process.SetStandardInput(m_list);
  m_exitCode = process.Run({m_zip, "-q", "-nw", m_archive, "-@"});
}

Status NamesZipJob::Finish() {
  if (m_prepared != kSuccess) return m_prepared;
  if (!m_listWritten) return kSuccess;  // nothing to zip
  std::ignore = RemoveItem(m_list);
  m_listWritten = false;
  if (m_exitCode != 0) {
    return Fail(kZipNotFound, "ERROR: FileUtils::ZipNames - zip could not add the %d names to <%s>: exit %d\n",
                m_count, m_archive.c_str(), m_exitCode);
  }
  return kSuccess;
}

namespace {

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::uint16_t Read16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;

// One part: its entries' data, and its central directory with each entry's offset moved by
// `base`. False when it is not a plain archive.
bool SplitPart(const std::string& bytes, std::uint64_t base, std::string& data, std::string& central,
               std::uint64_t& entries) {
  if (bytes.size() < kEndSize) return false;
  const std::size_t end = bytes.size() - kEndSize;
  if (Read32(bytes, end) != 0x06054b50 || Read16(bytes, end + 20) != 0) return false;  // no comment
  if (Read16(bytes, end + 4) != 0 || Read16(bytes, end + 6) != 0) return false;        // one disk
  const std::uint16_t count = Read16(bytes, end + 10);
  const std::uint32_t size = Read32(bytes, end + 12);
  const std::uint32_t offset = Read32(bytes, end + 16);
  if (Read16(bytes, end + 8) != count || count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF ||
      std::uint64_t{offset} + size != end)
    return false;
  central = bytes.substr(offset, size);
  std::size_t at = 0;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (at + kCentralSize > central.size() || Read32(central, at) != 0x02014b50) return false;
    const std::uint32_t local = Read32(central, at + 42);
    if (Read32(central, at + 20) == 0xFFFFFFFF || Read32(central, at + 24) == 0xFFFFFFFF || local == 0xFFFFFFFF ||
        Read16(central, at + 34) != 0 || local >= offset || base + local >= 0xFFFFFFFF)
      return false;
    Put32(central, at + 42, static_cast<std::uint32_t>(base + local));
    at += kCentralSize + Read16(central, at + 28) + Read16(central, at + 30) + Read16(central, at + 32);
  }
  if (at != central.size()) return false;
  data = bytes.substr(0, offset);
  entries = count;
  return true;
}

}  // namespace

bool ReadWholeFile(const char* path, std::string& bytes, std::string& why, std::uintmax_t maxBytes) {
  return Hvd::ReadRegularFile(path, bytes, maxBytes, &why);
}

Status JoinZips(const std::vector<String>& parts, const String& archive) {
  std::string data;
  std::string central;
  std::uint64_t entries = 0;
  for (const String& part : parts) {
    std::string bytes;
    std::string why;
    std::string partData;
    std::string partCentral;
    std::uint64_t partEntries = 0;
    // No part of a join can be larger than the join, which the 32-bit forms bound.
    if (!ReadWholeFile(part.c_str(), bytes, why, 0xFFFFFFFF))
      return Fail(kZipNotFound, "ERROR: FileUtils::JoinZips - Unable to read <%s>: %s\n", part.c_str(), why.c_str());
    if (!SplitPart(bytes, data.size(), partData, partCentral, partEntries))
      return Fail(kZipNotFound, "ERROR: FileUtils::JoinZips - <%s> is not an archive that can be joined\n", part.c_str());
    data += partData;
    central += partCentral;
    entries += partEntries;
  }
  if (entries >= 0xFFFF || data.size() + central.size() >= 0xFFFFFFFF)
    return Fail(kZipNotFound, "ERROR: FileUtils::JoinZips - <%s> would be too large to join\n", archive.c_str());
  std::string end(kEndSize, '\0');
  Put32(end, 0, 0x06054b50);
  Put16(end, 8, static_cast<std::uint16_t>(entries));
  Put16(end, 10, static_cast<std::uint16_t>(entries));
  Put32(end, 12, static_cast<std::uint32_t>(central.size()));
  Put32(end, 16, static_cast<std::uint32_t>(data.size()));
  // Written whole beside itself: a FIFO at the name is replaced, not waited on.
  std::string message;
  if (WriteFileAtomically(archive.str(), data + central + end, &message) != kSuccess)
    return Fail(kZipNotFound, "ERROR: FileUtils::JoinZips - Unable to write <%s>: %s\n", archive.c_str(), message.c_str());
  return kSuccess;
}

bool WriteNewFile(const String& path, std::string_view bytes, unsigned mode) {
  if (Injected("open", path)) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool written = !Injected("write", path);
  while (written && !bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) written = false;
    if (count > 0) bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  const int error = errno;
  const bool closed = ::close(fd) == 0;
  if (!written) errno = error;
  return written && closed;
}

String TemporaryDirectory() {
  const char* set = std::getenv("TMPDIR");
  return String(set != nullptr && *set != '\0' ? set : "/tmp");
}

Status CreateTempDirectory(String& outPath, std::string& token) {
  outPath = "";
  const String drawn = Port::File::tmpnam(nullptr);
  // Without a name drawn there is no temporary folder: an empty one would put it in the current
  // directory.
  if (drawn.empty()) {
    return Fail(kTempDirNotCreated,
                "FileUtils::CreateTempDirectory - Unable to create temporary directory in <%s>: no free name can be "
                "looked up there\n",
                TemporaryDirectory().c_str());
  }
  String name = Port::FileName(drawn).GetAbsolutePath(false);
  std::string id = Port::XUID::New().GetAsString().str();
  for (char& c : id) {
    if (c == '{') c = '_';
  }
  if (!id.empty()) id.pop_back();
  name += id.c_str();

  // Made anew and marked, so that it is taken away only while it proves itself this one: what is
  // at the name already is someone's and is never cleared. The copies put here are the user's:
  // no one else may read them.
  token = OwnedFolder::Make(name.str(), kTempMark, 0700);
  if (token.empty()) {
    const int error = errno;
    return Fail(kTempDirNotCreated, "FileUtils::CreateTempDirectory - Unable to create temporary directory <%s>: %s\n",
                name.c_str(), std::strerror(error));
  }
  outPath = name;
  return kSuccess;
}

Status RemoveTempDirectory(const String& path, const std::string& token) {
  if (OwnedFolder::Remove(path.str(), kTempMark, token)) return kSuccess;
  Warn(__LINE__, "Could not remove the temporary directory <%s>, or it is not the one made there - cleanup failed.\n",
       path);
  return kCleanupFailed;
}

namespace {
std::string RestoreFolderName(const fs::path& projectFile) { return "." + projectFile.stem().string() + ".restore"; }
bool IsProjectFileName(const fs::path& name) {
  const std::string extension = name.extension().string();
  return boost::algorithm::iequals(extension, ".xhlc") || boost::algorithm::iequals(extension, ".hlc");
}
}  // namespace

String RestoreFolderOf(const String& projectFile) {
  const fs::path file(projectFile.str());
  return String((file.parent_path() / RestoreFolderName(file)).string());
}

std::set<std::string> RestoreFolderNames(const String& directory) {
  std::set<std::string> names;
  std::error_code error;
  for (fs::directory_iterator each(AsPath(directory), error); !error && each != fs::directory_iterator();
       each.increment(error)) {
    std::error_code typeError;
    if (IsProjectFileName(each->path()) && each->is_regular_file(typeError))
      names.insert(RestoreFolderName(each->path()));
  }
  return names;
}

std::set<std::string> RestoreFolderNames(const String& directory, const UT_DIR& listing) {
  std::set<std::string> names;
  for (const UT_DIR::Entry& entry : listing) {
    const fs::path name(entry.name.str());
    if (!IsProjectFileName(name)) continue;
    struct stat info {};
    if (entry.kind == UT_DIR::Kind::kFile ||
        (entry.kind == UT_DIR::Kind::kLink && ::stat((directory.str() + "/" + entry.name.str()).c_str(), &info) == 0 &&
         S_ISREG(info.st_mode)))
      names.insert(RestoreFolderName(name));
  }
  return names;
}

Status CopyDirectoryTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                         Prjrep::IStringSet** failedFiles) {
  return CopyTree(sourceDir, destinationDir, mode, failedFiles, String(), nullptr);
}

Status CopyLink(const String& source, const String& destination, MadeFolders* made) {
  const String directory(AsPath(destination).parent_path().string());
  if (!directory.empty() && !Port::File::isdir(directory) && !MakeFolders(directory, made)) {
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyLink - Couldn't create the Destination directory <%s>.\n",
                directory.c_str());
  }
  if (CopyLinkAt(source, destination, made)) return kSuccess;
  return Fail(kDirectoryWriteFailed, "FileUtils::CopyLink - Failed to copy the link <%s> to <%s>\n", source.c_str(),
              destination.c_str());
}

Status SetAside(const String& path, MadeFolders& made) {
  if (Free(path, &made)) return kSuccess;
  return Fail(kDirectoryWriteFailed, "FileUtils::SetAside - Could not set aside <%s>\n", path.c_str());
}

Status RemoveLinksBelow(const String& directory, const String& path, MadeFolders* made) {
  const fs::path top = AsPath(directory).lexically_normal();
  const fs::path relative = AsPath(path).lexically_normal().lexically_relative(top);
  if (top.empty() || relative.empty() || *relative.begin() == ".." || *relative.begin() == ".") return kSuccess;
  fs::path step = top;
  for (const fs::path& part : relative) {
    if (part.empty()) continue;
    step /= part;
    const String at(step.string());
    const fs::file_type type = OwnType(at);
    if (type == fs::file_type::not_found) return kSuccess;  // nothing further down exists yet
    if (type != fs::file_type::symlink) continue;
    if (!Free(at, made)) {
      return Fail(kDirectoryWriteFailed, "FileUtils::RemoveLinksBelow - Could not replace the link <%s> in <%s>\n",
                  at.c_str(), directory.c_str());
    }
    Debug("FileUtils::RemoveLinksBelow - Replaced the link <%s> in the copy\n", at);
    return kSuccess;  // what lay behind it is gone from the path
  }
  return kSuccess;
}

bool IsSpecialFile(const String& path) {
  switch (OwnType(path)) {
    case fs::file_type::fifo:
    case fs::file_type::socket:
    case fs::file_type::block:
    case fs::file_type::character:
      return true;
    default:
      return false;
  }
}

Status CopyItem(const String& source, const String& destination, std::uint32_t mode, MadeFolders* made) {
  if (Port::File::isdir(source)) {
    Prjrep::AutoRelease<Prjrep::IStringSet> failed;
    const Status status = CopyTree(source, destination, mode, failed.Receive(), String(), made);
    return failed.Get() != nullptr ? kDirectoryWriteFailed : status;
  }
  if (Port::File::isfile(source)) return CopyFile(source, destination, mode, made);
  if (IsSpecialFile(source)) {
    Warn(__LINE__, kSpecialFileLeftOut, source);
    return kSuccess;
  }
  return Fail(kDirectoryWriteFailed, "FileUtils::CopyItem() - Source Item \"%s\" doesn't appear to exist.\n",
              source.c_str());
}

String GetObjectDirectory(CitI::IInterface* object) {
  Port::FileName head(Port::FileName(GetObjectFullPath(object)).GetHead(false, false));
  return head.MakeCanonical(false).GetPath();
}

}  // namespace FileUtils

namespace {

Status CopyTree(const String& sourceDir, const String& destinationDir, std::uint32_t mode,
                Prjrep::IStringSet** failedFiles, const String& canonicalTop, MadeFolders* made) {
  if (!Port::File::canread_dir(sourceDir)) {
    TellRefused(made, "The folder " + Quoted(sourceDir) + " could not be read", errno);
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyDirectoryTree - Unable to read source directory <%s>\n",
                sourceDir.c_str());
  }
  if (!Port::File::exist(destinationDir) && !MakeFolders(destinationDir, made)) {
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyDirectoryTree - Unable to create destination directory <%s>\n",
                destinationDir.c_str());
  }
  if (!Port::File::canwrite_dir(destinationDir)) {
    TellRefused(made, "The folder " + Quoted(destinationDir) + " could not be written", errno);
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyDirectoryTree - Unable to write destination directory <%s>\n",
                destinationDir.c_str());
  }
  UT_DIR listing(sourceDir, 0);
  if (!listing.isValid()) {
    return Fail(kDirectoryWriteFailed, "FileUtils::CopyDirectoryTree - Invalid directory <%s>\n", sourceDir.c_str());
  }

  // The walk never enters the tree being filled, wherever it lies below the source.
  const String destinationTop = canonicalTop.empty() ? Canonical(destinationDir) : canonicalTop;
  // Nor the folders restores of the projects there work in: no part of any project's content.
  const std::set<std::string> restores = FileUtils::RestoreFolderNames(sourceDir, listing);

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
      if (restores.count(name.str()) != 0 || Canonical(sourcePath) == destinationTop) continue;
      // A link where the directory goes would take the copy out of the destination.
      if (OwnType(destinationPath) == fs::file_type::symlink && !Free(destinationPath, made)) {
        Debug("FileUtils::CopyDirectoryTree - Unable to replace the link <%s>\n", destinationPath);
        fail(kDirectoryWriteFailed);
        continue;
      }
      const Status status = CopyTree(sourcePath, destinationPath, mode, failedFiles, destinationTop, made);
      if (status != kSuccess) {
        Debug("FileUtils::CopyDirectoryTree - Unable to copy sub directory <%s>\n", sourcePath);
        fail(status);
      }
      continue;
    }

    // A link is copied as a link, so nothing outside the source is read.
    const bool isLink = entry.kind == UT_DIR::Kind::kLink;
    if (!isLink && entry.kind != UT_DIR::Kind::kFile) {
      if (FileUtils::IsSpecialFile(sourcePath)) {
        Warn(__LINE__, kSpecialFileLeftOut, sourcePath);
        continue;
      }
      fail(kDirectoryWriteFailed);
      continue;
    }
    const Status status = isLink ? (CopyLinkAt(sourcePath, destinationPath, made) ? kSuccess : kDirectoryWriteFailed)
                                 : FileUtils::CopyFile(sourcePath, destinationPath, mode, made);
    if (status == kSuccess) continue;
    fail(status);
    if (failedFiles == nullptr) continue;
    if (*failedFiles == nullptr) *failedFiles = (new CFileNameSet())->GetStringSet();
    std::ignore = (*failedFiles)->Add(destinationPath);
  }
  return result;
}

}  // namespace
void FileMessages::Debug(const char* format, const String& a, const String& b) {
  Port_MsgManData::debugStub(Port::FormatMessage(format, a.c_str(), b.c_str()).c_str());
}

namespace {

Port_MsgManData FileMessagesFrom(int line) {
  return Port_MsgManData::createObject("ProjectMgmt", "../src/FileUtils", line, "$Revision: 1.35.16.1 $");
}

}  // namespace

void FileMessages::Warn(int line, const char* format, const String& argument) {
  FileMessagesFrom(line).issueComposed(Port_MsgManData::Severity::Warning,
                                       Port::FormatMessage(format, argument.c_str()));
}

void FileMessages::Error(int line, const char* format, const String& argument) {
  FileMessagesFrom(line).issueComposed(Port_MsgManData::Severity::Error,
                                       Port::FormatMessage(format, argument.c_str()));
}

}  // namespace Hvd
