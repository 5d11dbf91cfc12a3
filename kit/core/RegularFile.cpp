#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Hvd {

namespace {

// Room for `want` bytes, taken afresh: a string's own reserve may round up to double its room,
// past what the file holds.
template <class Bytes>
void Grow(Bytes& bytes, std::size_t want) {
  Bytes grown;
  grown.reserve(want);
  grown.insert(grown.end(), bytes.begin(), bytes.end());
  bytes.swap(grown);
}

template <class Bytes>
bool Read(const std::string& path, Bytes& bytes, std::uintmax_t maxBytes, std::string* message, bool own = false) {
  bytes.clear();
  const auto failed = [&](const std::string& why) {
    bytes.clear();
    if (message != nullptr) *message = "cannot read \"" + path + "\": " + why;
    return false;
  };
  if (own) {
    struct stat seen {};
    if (::lstat(path.c_str(), &seen) != 0) return failed(std::string("stat failed: ") + std::strerror(errno));
    if (!S_ISREG(seen.st_mode)) return failed("it is not a regular file");
  }
  // O_NONBLOCK: opening a FIFO for reading otherwise waits for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (own ? O_NOFOLLOW : 0));
  if (fd < 0) return failed(std::string("open failed: ") + std::strerror(errno));
  const struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return failed(std::string("stat failed: ") + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return failed("it is not a regular file");
  if (own && info.st_nlink != 1) return failed("it has another name");
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return failed("it is too large");
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    return failed(std::string("fcntl failed: ") + std::strerror(errno));
  // The size is only what the file claims: room grows with the bytes read, at most to double
  // them, and never past the claimed size, which a sparse file can make far larger than memory.
  const std::uintmax_t claimed = static_cast<std::uintmax_t>(info.st_size);
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(std::string("read failed: ") + std::strerror(errno));
    }
    const std::size_t size = bytes.size() + static_cast<std::size_t>(got);
    // A file that grows while it is read is held to the same bound.
    if (size > maxBytes) return failed("it is too large");
    if (size > bytes.capacity() && size <= claimed)
      Grow(bytes, static_cast<std::size_t>(std::min<std::uintmax_t>(claimed, std::max(size, 2 * bytes.capacity()))));
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::string& bytes, std::uintmax_t maxBytes, std::string* message) {
  return Read(path, bytes, maxBytes, message);
}

bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uintmax_t maxBytes,
                     std::string* message) {
  return Read(path, bytes, maxBytes, message);
}

bool ReadOwnRegularFile(const std::string& path, std::string& bytes, std::uintmax_t maxBytes, std::string* message) {
  return Read(path, bytes, maxBytes, message, true);
}

}  // namespace Hvd
