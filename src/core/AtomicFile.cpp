#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "Port/FaultInjection.h"

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

// The folder of a '/' path, without its trailing separator.
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The temporaries of a target lie beside it under a short name of their own, whatever the length
// of the target's: ".hvd.", a hash of the target's name and eight random letters, 30 bytes in all.
std::string TemporaryPrefix(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a: the same in every process
  for (std::size_t i = slash == std::string::npos ? 0 : slash + 1; i < target.size(); ++i) {
    hash = (hash ^ static_cast<unsigned char>(target[i])) * 1099511628211u;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".hvd." + hex + ".";
}

// Eight letters and digits, different in each call and each thread.
std::string RandomName() {
  static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  thread_local std::mt19937_64 s_random{std::random_device{}()};
  std::string name(8, '0');
  for (char& c : name) c = kLetters[s_random() % (sizeof kLetters - 1)];
  return name;
}

// The temporary file until it has been renamed over the target: removed when anything fails.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    CloseQuietly();
    if (!m_name.empty()) ::unlink(m_name.c_str());
  }

  // Made as open makes any new file, so the umask applies; a name taken is tried again.
  bool Create(const std::string& target) {
    if (Injected("open", target)) return false;
    const std::string prefix = TemporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = prefix + RandomName();
      m_fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
      if (m_fd >= 0) {
        m_name = std::move(name);
        return true;
      }
      if (errno != EEXIST) return false;
    }
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
  void CloseQuietly() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

  int m_fd = -1;
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

// The rename is durable only once the directory's entry is on the disk; a failure here no
// longer changes the outcome, so it is not reported.
void SyncDirectoryOf(const std::string& path) {
  const int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

Status WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* message) {
  if (path.empty()) return Failed(message, "naming", path, EINVAL);

  TemporaryFile temporary;
  if (!temporary.Create(path)) return Failed(message, "open (temporary file)", path, errno);

  // A new file keeps the mode open gave it under the umask; a replaced one keeps its own.
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && ::fchmod(temporary.fd(), existing.st_mode & 07777) != 0) {
    return Failed(message, "fchmod", path, errno);
  }

  if (Injected("write", path) || !WriteAll(temporary.fd(), bytes)) return Failed(message, "write", path, errno);
  if (Injected("fsync", path) || ::fsync(temporary.fd()) != 0) return Failed(message, "fsync", path, errno);
  if (Injected("close", path) || !temporary.Close()) return Failed(message, "close", path, errno);
  if (Injected("rename", path) || ::rename(temporary.name().c_str(), path.c_str()) != 0) {
    return Failed(message, "rename", path, errno);
  }
  temporary.Keep();
  SyncDirectoryOf(path);
  return kSuccess;
}

}  // namespace Hvd
