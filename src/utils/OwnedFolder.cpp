#include "utils/OwnedFolder.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Port/FileName.h"
#include "core/RegularFile.h"
#include "utils/FileUtils.h"

namespace Hvd::OwnedFolder {

namespace {

namespace fs = std::filesystem;

bool IsOwnFolder(const std::string& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string NewToken() {
  std::array<unsigned char, 16> bytes{};
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t read = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return std::string();
    got += static_cast<std::size_t>(read);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 0xF];
  }
  return token;
}

bool Mark(const std::string& folder, const char* name, const std::string& token) {
  if (token.empty()) return false;
  const std::string path = folder + "/" + name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string text = token + "\n";
  bool written = true;
  for (std::size_t done = 0; written && done < text.size();) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    written = wrote > 0;
    if (written) done += static_cast<std::size_t>(wrote);
  }
  return ::close(fd) == 0 && written;
}

bool Proves(const std::string& folder, const char* name, const std::string& token) {
  if (token.empty() || !IsOwnFolder(folder)) return false;
  std::string text;
  return ReadOwnRegularFile(folder + "/" + name, text, token.size() + 1) && text == token + "\n";
}

bool HoldsNothing(const std::string& folder, const char* name) {
  if (!IsOwnFolder(folder)) return false;
  std::error_code error;
  for (fs::directory_iterator each(folder, error); !error && each != fs::directory_iterator(); each.increment(error)) {
    if (each->path().filename() != name) return false;
    struct stat info {};
    if (::lstat(each->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0) return false;
  }
  return !error;
}

bool RemoveMarkLast(const std::string& folder, const char* name) {
  if (!IsOwnFolder(folder)) return false;
  bool removed = true;
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator each(folder, error); !error && each != fs::directory_iterator(); each.increment(error)) {
    if (each->path().filename() != name) entries.push_back(each->path());
  }
  if (error) return false;
  for (const fs::path& entry : entries)
    removed = FileUtils::RemoveItem(Port::StringBase<char>(entry.string())) == kSuccess && removed;
  if (!removed) return false;
  const Port::StringBase<char> mark(folder + "/" + name);
  struct stat info {};
  if (::lstat(mark.c_str(), &info) == 0 && !Port::File::remove_f(mark)) return false;
  return Port::File::rmdir(Port::StringBase<char>(folder));
}

}  // namespace Hvd::OwnedFolder
