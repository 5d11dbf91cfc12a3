#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Hvd {

bool ReadRegularFile(const std::string& path, std::string& bytes, std::uintmax_t maxBytes, std::string* message) {
  bytes.clear();
  const auto failed = [&](const std::string& why) {
    bytes.clear();
    if (message != nullptr) *message = "cannot read \"" + path + "\": " + why;
    return false;
  };
  // O_NONBLOCK: opening a FIFO for reading otherwise waits for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failed(std::string("open failed: ") + std::strerror(errno));
  const struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return failed(std::string("stat failed: ") + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return failed("it is not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return failed("it is too large");
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    return failed(std::string("fcntl failed: ") + std::strerror(errno));
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(std::string("read failed: ") + std::strerror(errno));
    }
    // A file that grows while it is read is held to the same bound.
    if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) return failed("it is too large");
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace Hvd
