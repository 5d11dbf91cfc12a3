#pragma once
// An advisory lock on a directory, between processes and between holders in one process. The
// directory is opened without following a link at its name; the lock goes with its holder,
// and with its process when that is killed. Any process that can read the directory can hold
// it, a stopped one among them, so a wait for it ends.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace Hvd {

class DirectoryLock {
 public:
  DirectoryLock() = default;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  ~DirectoryLock() { Release(); }

  // How long a lock held elsewhere is waited for, when waited for: its holders keep it only
  // while they make or take away a few entries.
  static constexpr std::chrono::milliseconds kWaitBound{3000};

  // Takes the lock, shared or not, waiting for it up to kWaitBound only when told to. False
  // when the directory cannot be opened as one or the lock is held elsewhere (then Busy()).
  bool Take(const std::string& directory, bool wait, bool shared = false) {
    Release();
    m_busy = false;
    m_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0) return false;
    const int operation = (shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto until = std::chrono::steady_clock::now() + (wait ? kWaitBound : std::chrono::milliseconds(0));
    while (!Lock(operation)) {
      const bool held = errno == EWOULDBLOCK;
      if (!held || std::chrono::steady_clock::now() >= until) {
        m_busy = held;
        Release();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  // Whether the last Take failed because another holder kept the lock.
  bool Busy() const noexcept { return m_busy; }
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
  bool m_busy = false;
};

}  // namespace Hvd
