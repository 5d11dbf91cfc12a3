#pragma once
// An advisory lock on a directory, between processes and between holders in one process. The
// directory is opened without following a link at its name; the lock goes with its holder,
// and with its process when that is killed.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace Hvd {

class DirectoryLock {
 public:
  DirectoryLock() = default;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  ~DirectoryLock() { Release(); }

  // Takes the lock, shared or not, waiting for it only when told to. False when the
  // directory cannot be opened as one or the lock is held elsewhere.
  bool Take(const std::string& directory, bool wait, bool shared = false) {
    Release();
    m_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd >= 0 && Lock((shared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB))) return true;
    Release();
    return false;
  }
  // A shared lock made exclusive, when no other holder has it.
  bool TryExclusive() { return m_fd >= 0 && Lock(LOCK_EX | LOCK_NB); }
  // True while the directory locked is still the one at `path`, not one made there since.
  bool Is(const std::string& path) const {
    struct stat held {};
    struct stat there {};
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 && ::lstat(path.c_str(), &there) == 0 &&
           held.st_dev == there.st_dev && held.st_ino == there.st_ino;
  }
  bool Held() const noexcept { return m_fd >= 0; }
  void Release() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  bool Lock(int operation) {
    int result = 0;
    do {
      result = ::flock(m_fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }
  int m_fd = -1;
};

}  // namespace Hvd
