#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>

#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"

namespace Hvd {

namespace {

// An injected failure looks like a real one to the code below.
bool Injected(const char* operation, const std::string& path) {
  if (!Port::FaultInjection::ShouldFail(operation, path)) return false;
  errno = EIO;
  return true;
}

Status Failed(std::string* message, const char* step, const std::string& path, int error) {
  if (message != nullptr) {
    *message = "cannot write \"" + path + "\": " + step + " failed: " + std::strerror(error);
  }
  return kFailure;
}

// The folder part of a '/' path with its trailing separator; empty for a bare name.
std::string FolderPartOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A folder part as a name to open: the current folder for a bare name's.
std::string OpenableFolder(const std::string& folderPart) { return folderPart.empty() ? "." : folderPart; }

// The temporaries of a target lie beside it under a short name of their own, whatever the length
// of the target's: ".hvd.", a hash of the target's name and eight random letters, 30 bytes in all.
// The hash lets a write find the temporaries that earlier writes of its target left.
std::string TemporaryStem(const std::string& target) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a: the same in every process
  for (std::size_t i = FolderPartOf(target).size(); i < target.size(); ++i) {
    hash = (hash ^ static_cast<unsigned char>(target[i])) * 1099511628211u;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(".hvd.") + hex + ".";
}
constexpr std::size_t kRandomLetters = 8;

std::string RandomName() {
  static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";
  std::random_device device;  // not a generator: a forked writer must not repeat its parent's names
  std::uint64_t bits = (std::uint64_t{device()} << 32) | device();
  std::string name(kRandomLetters, '0');
  for (char& c : name) {
    c = kLetters[bits & 63];
    bits >>= 6;
  }
  return name;
}

// The file a chain of links ends at, or `path` when it is no link. The end need not exist: a
// write through a link to nothing makes the file it names. False, with errno, on a loop.
bool ResolveLinks(const std::string& path, std::string& resolved) {
  resolved = path;
  for (int hop = 0; hop < 40; ++hop) {  // as many as the kernel follows
    struct stat info {};
    if (::lstat(resolved.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISLNK(info.st_mode)) return true;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
    if (length <= 0) {
      if (length == 0) errno = EINVAL;
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    resolved = link.front() == '/' ? link : FolderPartOf(resolved) + link;
  }
  errno = ELOOP;
  return false;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A writer holds a lock on its temporary from creating it until it is renamed or removed; the
// kernel drops the lock of a writer that dies. A temporary of this target that no one holds is
// therefore left by a dead writer, and is removed.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderPartOf(target), stem = TemporaryStem(target);
  DIR* directory = ::opendir(OpenableFolder(folder).c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (name.size() != stem.size() + kRandomLetters || name.substr(0, stem.size()) != stem) continue;
    const std::string path = folder + std::string(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    // Still the file under that name once locked: not one renamed away and replaced meanwhile.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(directory);
}

// The temporary file until it has been renamed over the target: removed when anything fails.
// Its lock is held through a second descriptor, so that it outlasts the checked close of the
// written one and covers the rename.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    CloseQuietly(m_fd);
    if (!m_name.empty()) ::unlink(m_name.c_str());
    CloseQuietly(m_lock);
  }

  // Made as open makes any new file, so the umask applies; a name taken is tried again, and so
  // is one that another write removed as stale before this one had locked it.
  bool Create(const std::string& target) {
    const std::string prefix = FolderPartOf(target) + TemporaryStem(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = prefix + RandomName();
      m_fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
      if (m_fd < 0) {
        if (errno == EEXIST) continue;
        return false;
      }
      struct stat held {};
      struct stat named {};
      m_lock = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
      if (m_lock < 0 || ::flock(m_lock, LOCK_EX) != 0 || ::fstat(m_fd, &held) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        CloseQuietly(m_fd);
        CloseQuietly(m_lock);
        errno = error;
        return false;
      }
      if (::lstat(name.c_str(), &named) == 0 && SameFile(held, named)) {
        m_name = std::move(name);
        return true;
      }
      CloseQuietly(m_fd);
      CloseQuietly(m_lock);
    }
    errno = EEXIST;
    return false;
  }

  int fd() const noexcept { return m_fd; }
  const std::string& name() const noexcept { return m_name; }

  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

  // After the rename the name belongs to the target.
  void Keep() noexcept { m_name.clear(); }

 private:
  static void CloseQuietly(int& fd) noexcept {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  int m_fd = -1;
  int m_lock = -1;
  std::string m_name;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Gives the temporary the owner and group of the file it replaces, as far as the writer may, and
// answers the mode it is to have: the replaced file's, less a set-id bit whose owner or group
// could not be kept, as it would grant the writer's rights. Ownership is set before the mode,
// since a change of owner clears the set-id bits.
mode_t KeepOwnership(int fd, const struct stat& existing, const std::string& path) {
  mode_t mode = existing.st_mode & 07777;
  const bool injected = Injected("fchown", path);
  if (!injected && ::fchown(fd, existing.st_uid, existing.st_gid) == 0) return mode;
  if (!injected) std::ignore = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);  // a group of the writer's
  struct stat now {};
  const bool known = !injected && ::fstat(fd, &now) == 0;
  if (!known || now.st_uid != existing.st_uid) mode &= ~S_ISUID;
  if (!known || now.st_gid != existing.st_gid) mode &= ~S_ISGID;
  return mode;
}

// The rename is durable only once the directory's entry is on the disk; a failure here no
// longer changes the outcome, so it is not reported.
void SyncDirectoryOf(const std::string& path) {
  const int fd = ::open(OpenableFolder(FolderPartOf(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// In the static block: a library the host loads by name would otherwise keep it in dynamic TLS,
// which LeakSanitizer misreads once that library is unloaded.
__attribute__((tls_model("initial-exec"))) thread_local UnflushedBelow* t_unflushed = nullptr;

// True when a '/' path has no empty, "." or ".." step, so that its text says where it lies.
bool Plain(const std::string& path) {
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view step(path.data() + start, end - start);
    if (step.empty() || step == "." || step == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

UnflushedBelow::UnflushedBelow(std::string folder) : m_folder(std::move(folder)), m_outer(t_unflushed) {
  while (m_folder.size() > 1 && m_folder.back() == '/') m_folder.pop_back();
  t_unflushed = this;
}

UnflushedBelow::~UnflushedBelow() { t_unflushed = m_outer; }

bool UnflushedBelow::Covers(const std::string& path) {
  if (t_unflushed == nullptr || path.empty() || path.front() != '/' || !Plain(path)) return false;
  for (const UnflushedBelow* scope = t_unflushed; scope != nullptr; scope = scope->m_outer) {
    const std::string& folder = scope->m_folder;
    if (folder.size() > 1 && folder.front() == '/' && Plain(folder) && path.size() > folder.size() + 1 &&
        path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/')
      return true;
  }
  return false;
}

namespace {

// What a chain of links ends at, for a message: "\"end\", which ..." or "\"end\"".
std::string EndOfLink(const std::string& end, const struct stat* info) {
  const std::string named = "\"" + end + "\"";
  if (info == nullptr) return named + ", which does not exist";
  if (S_ISDIR(info->st_mode)) return named + ", a folder";
  if (S_ISFIFO(info->st_mode)) return named + ", a FIFO";
  if (S_ISSOCK(info->st_mode)) return named + ", a socket";
  if (S_ISCHR(info->st_mode) || S_ISBLK(info->st_mode)) return named + ", a device";
  return named;
}

// Whether the regular file `end` lies in `folder`, both with links resolved in every step.
bool LiesIn(const std::string& end, const std::string& folder) {
  char resolvedFolder[PATH_MAX];
  char resolvedEnd[PATH_MAX];
  if (::realpath(OpenableFolder(folder).c_str(), resolvedFolder) == nullptr ||
      ::realpath(OpenableFolder(FolderPartOf(end)).c_str(), resolvedEnd) == nullptr)
    return false;
  const std::string_view inside(resolvedFolder), at(resolvedEnd);
  if (inside == "/") return true;
  return at == inside || (at.size() > inside.size() && at.substr(0, inside.size()) == inside && at[inside.size()] == '/');
}

// The one writer; `ownFolder` is null for a file the user named, else the folder that a file the
// library writes on its own belongs to.
Status Write(const std::string& path, std::string_view bytes, std::string* message, const std::string* ownFolder) {
  if (path.empty()) return Failed(message, "naming", path, EINVAL);

  // Through a link, the file it ends at is replaced, beside itself; the link stays a link.
  std::string target;
  if (!ResolveLinks(path, target)) return Failed(message, "readlink", path, errno);
  // A link that is itself replaced makes a new file: nothing of what it led to is asked or kept.
  bool replacesLink = false;
  if (struct stat named {}; ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode)) {
    struct stat end {};
    const bool exists = ::lstat(target.c_str(), &end) == 0;
    const bool regular = exists && S_ISREG(end.st_mode);
    if (ownFolder != nullptr && !(regular && LiesIn(target, *ownFolder))) {
      std::string where = EndOfLink(target, exists ? &end : nullptr);
      if (regular) where += ", outside the folder \"" + *ownFolder + "\"";
      Port_MsgManData::createObject("ProjectMgmt", "AtomicFile", __LINE__, "1")
          .issueWarning("\"%s\" is a link to %s. It is replaced by a regular file, and what it leads to is left as it is.\n",
                        path.c_str(), where.c_str());
      target = path;
      replacesLink = true;
    } else if (!regular) {
      if (message != nullptr)
        *message = "cannot write \"" + path + "\": it is a link to " + EndOfLink(target, exists ? &end : nullptr) +
                   ", not to a regular file";
      return kFailure;
    }
  }
  // The rename asks only the folder: a file the writer may not write itself is refused here, as
  // an open for writing would refuse it.
  if (Injected("access", path) ||
      (!replacesLink && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)) {
    return Failed(message, "access", path, errno);
  }

  RemoveStaleTemporaries(target);
  TemporaryFile temporary;
  if (Injected("open", path) || !temporary.Create(target)) return Failed(message, "open (temporary file)", path, errno);

  // A new file keeps the mode open gave it under the umask; a replaced one keeps its own, and its
  // owner and group where they can be kept.
  struct stat existing {};
  if (!replacesLink && ::stat(target.c_str(), &existing) == 0 &&
      ::fchmod(temporary.fd(), KeepOwnership(temporary.fd(), existing, path)) != 0) {
    return Failed(message, "fchmod", path, errno);
  }

  if (Injected("write", path) || !WriteAll(temporary.fd(), bytes)) return Failed(message, "write", path, errno);
  const bool flushed = !UnflushedBelow::Covers(target);
  if (flushed && (Injected("fsync", path) || ::fsync(temporary.fd()) != 0)) return Failed(message, "fsync", path, errno);
  if (Injected("close", path) || !temporary.Close()) return Failed(message, "close", path, errno);
  if (Injected("rename", path) || ::rename(temporary.name().c_str(), target.c_str()) != 0) {
    return Failed(message, "rename", path, errno);
  }
  temporary.Keep();
  if (flushed) SyncDirectoryOf(target);
  return kSuccess;
}

}  // namespace

Status WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* message) {
  return Write(path, bytes, message, nullptr);
}

Status WriteOwnFileAtomically(const std::string& path, std::string_view bytes, const std::string& folder,
                              std::string* message) {
  return Write(path, bytes, message, &folder);
}

}  // namespace Hvd
