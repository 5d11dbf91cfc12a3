#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

  bool Create(const std::string& target) {
    std::vector<char> name(target.begin(), target.end());
    static constexpr char kSuffix[] = ".tmp.XXXXXX";
    name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with its terminating zero
    if (Injected("mkstemp", target)) return false;
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) return false;
    m_name = name.data();
    return true;
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
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

Status WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* message) {
  if (path.empty()) return Failed(message, "naming", path, EINVAL);

  TemporaryFile temporary;
  if (!temporary.Create(path)) return Failed(message, "mkstemp (temporary file)", path, errno);

  // mkstemp makes the file private; keep the mode the target had, or the usual one for a new file.
  struct stat existing {};
  mode_t mode = 0;
  if (::stat(path.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(temporary.fd(), mode) != 0) return Failed(message, "fchmod", path, errno);

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
