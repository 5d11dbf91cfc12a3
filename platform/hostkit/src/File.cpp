#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "Port/FaultInjection.h"
#include "Port/FileName.h"

namespace Port {

namespace {

// An injected failure looks like an I/O error to whoever reads errno.
bool Injected(std::string_view operation, const StringBase<char>& path) {
  if (!FaultInjection::ShouldFail(operation, path.str())) return false;
  errno = EIO;
  return true;
}

bool Stat(const StringBase<char>& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

bool IsDirectory(const StringBase<char>& path) {
  struct stat info;
  return Stat(path, info) && S_ISDIR(info.st_mode);
}

// The umask, read without changing it: setting it to read it would race with
// other threads.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

std::string RandomLetters(std::size_t count) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string letters;
  for (std::size_t i = 0; i < count; ++i) letters += kLetters[pick(generator)];
  return letters;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyContents(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<std::size_t>(got))) return false;
  }
}

}  // namespace

bool File::exist(const StringBase<char>& path) {
  struct stat info;
  return !Injected("exist", path) && Stat(path, info);
}

bool File::isdir(const StringBase<char>& path) { return !Injected("isdir", path) && IsDirectory(path); }

bool File::isfile(const StringBase<char>& path) {
  struct stat info;
  return !Injected("isfile", path) && Stat(path, info) && S_ISREG(info.st_mode);
}

bool File::canread(const StringBase<char>& path) {
  return !Injected("canread", path) && ::access(path.c_str(), R_OK) == 0;
}

bool File::canread_dir(const StringBase<char>& path) {
  return !Injected("canread_dir", path) && IsDirectory(path) && ::access(path.c_str(), R_OK | X_OK) == 0;
}

bool File::canwrite_dir(const StringBase<char>& path) {
  return !Injected("canwrite_dir", path) && IsDirectory(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

bool File::mkdir(const StringBase<char>& path, bool recursive, unsigned mode) {
  if (Injected("mkdir", path)) return false;
  if (path.empty()) return false;
  if (!recursive) return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
  // Each step of the path in turn, so parents get the same mode.
  const std::string& text = path.str();
  std::size_t next = 0;
  while (next != std::string::npos) {
    next = text.find('/', next + 1);
    const std::string step = text.substr(0, next);
    if (step.empty() || step.back() == '/') continue;
    if (::mkdir(step.c_str(), static_cast<mode_t>(mode)) != 0 && !(errno == EEXIST && IsDirectory(step))) return false;
  }
  return true;
}

bool File::rmdir(const StringBase<char>& path) { return !Injected("rmdir", path) && ::rmdir(path.c_str()) == 0; }

bool File::remove_f(const StringBase<char>& path) {
  if (Injected("remove_f", path)) return false;
  // unlink removes a link itself and needs no rights on the file, only on its
  // directory.
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool File::copy_p(const StringBase<char>& source, const StringBase<char>& destination) {
  // Opened without waiting: a FIFO would otherwise block the open until some writer came. Only
  // a regular file is copied, and it reads as usual once the flag is cleared.
  const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (from < 0) return false;
  struct stat info;
  if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(from, F_SETFL, O_RDONLY) != 0) {
    ::close(from);
    return false;
  }
  // A short name beside the target, so the final rename stays within one file
  // system. A name taken (a copy killed before its rename left it) is drawn again.
  std::string temporary;
  int to = -1;
  for (int attempt = 0; attempt < 100 && to < 0; ++attempt) {
    temporary = FileName(destination).GetHead().str() + ".copy_" + RandomLetters(10);
    to = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (to < 0 && errno != EEXIST) break;
  }
  if (to < 0) {
    ::close(from);
    return false;
  }
  bool done = CopyContents(from, to) && ::fchmod(to, info.st_mode & 07777) == 0;
  ::close(from);
  done = ::close(to) == 0 && done;
  // An injected failure strikes after the copy is written, before it replaces
  // the target.
  done = done && !Injected("copy_p", destination) && ::rename(temporary.c_str(), destination.c_str()) == 0;
  if (!done) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
  }
  return done;
}

bool File::chmod(const StringBase<char>& path, unsigned mode) {
  if (Injected("chmod", path)) return false;
  struct stat info;
  if (!Stat(path, info)) return false;
  const mode_t mask = CurrentUmask();
  mode_t wanted;
  if (S_ISDIR(info.st_mode)) {
    wanted = (static_cast<mode_t>(mode) & 0777 & ~mask) | S_IRWXU;
  } else {
    wanted = (((static_cast<mode_t>(mode) & 0666) | (info.st_mode & 0111)) & ~mask) | S_IRUSR;
  }
  return ::chmod(path.c_str(), wanted) == 0;
}

bool File::rename(const StringBase<char>& from, const StringBase<char>& to) {
  return !Injected("rename", from) && ::rename(from.c_str(), to.c_str()) == 0;
}

StringBase<char> File::getcwd() {
  if (Injected("getcwd", StringBase<char>())) return StringBase<char>();
  char* current = ::getcwd(nullptr, 0);
  if (current == nullptr) return StringBase<char>();
  StringBase<char> result(current);
  std::free(current);
  return result;
}

bool File::chdir(const StringBase<char>& path) { return !Injected("chdir", path) && ::chdir(path.c_str()) == 0; }

StringBase<char> File::tmpnam(const char* directory) {
  std::string base;
  if (directory != nullptr) {
    base = directory;
  } else {
    const char* fromEnvironment = std::getenv("TMPDIR");
    base = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp";
  }
  if (Injected("tmpnam", StringBase<char>(base))) return StringBase<char>();
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = base + "tmp" + RandomLetters(10);
    struct stat info;
    if (::lstat(name.c_str(), &info) != 0 && errno == ENOENT) return StringBase<char>(name);
  }
  return StringBase<char>();
}

}  // namespace Port
