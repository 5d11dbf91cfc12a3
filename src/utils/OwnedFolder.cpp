#include "utils/OwnedFolder.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <optional>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "core/RegularFile.h"
#include "utils/FileUtils.h"

namespace Hvd::OwnedFolder {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTokenLength = 32;

bool IsOwnFolder(const std::string& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The identity of the mark at `path`: device, inode and change time, then its birth time where
// the file system gives one. Empty when it is no regular file of one name. ("statx" withholds
// the birth time, as the file systems that keep none do.)
std::string Seal(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW,
              STATX_TYPE | STATX_NLINK | STATX_INO | STATX_CTIME | STATX_BTIME, &info) != 0 ||
      !S_ISREG(info.stx_mode) || info.stx_nlink != 1 || (info.stx_mask & STATX_CTIME) == 0)
    return std::string();
  const auto time = [](const struct statx_timestamp& at) {
    return std::to_string(at.tv_sec) + "." + std::to_string(at.tv_nsec);
  };
  std::string seal = std::to_string(info.stx_dev_major) + ":" + std::to_string(info.stx_dev_minor) + " " +
                     std::to_string(info.stx_ino) + " " + time(info.stx_ctime);
  if ((info.stx_mask & STATX_BTIME) != 0 && !Port::FaultInjection::ShouldFail("statx", path))
    seal += " " + time(info.stx_btime);
  return seal;
}

// The device number a seal gives as "major:minor".
std::optional<std::uint64_t> DeviceOf(std::string_view field) {
  unsigned high = 0;
  unsigned low = 0;
  const char* const end = field.data() + field.size();
  const std::from_chars_result first = std::from_chars(field.data(), end, high);
  if (first.ec != std::errc() || first.ptr == end || *first.ptr != ':') return std::nullopt;
  const std::from_chars_result second = std::from_chars(first.ptr + 1, end, low);
  if (second.ec != std::errc() || second.ptr != end) return std::nullopt;
  return makedev(high, low);
}

// Whether two seals name one file: inode and change time alike, and birth time too when both
// have one. The device may have another number: a disk mounted again gets one, and no copy of
// the mark, on any disk, has its change time.
bool SameSeal(std::string_view recorded, std::string_view now, SealedDevices* devices) {
  const auto fields = [](std::string_view seal) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= seal.size();) {
      const std::size_t space = std::min(seal.find(' ', at), seal.size());
      parts.push_back(seal.substr(at, space - at));
      at = space + 1;
    }
    return parts;
  };
  const std::vector<std::string_view> mine = fields(recorded);
  const std::vector<std::string_view> theirs = fields(now);
  if (mine.size() < 3 || mine.size() > 4 || theirs.size() < 3) return false;
  const std::optional<std::uint64_t> was = DeviceOf(mine[0]);
  const std::optional<std::uint64_t> is = DeviceOf(theirs[0]);
  if (!was || !is || !std::equal(mine.begin() + 1, mine.begin() + 3, theirs.begin() + 1)) return false;
  if (mine.size() == 4 && theirs.size() == 4 && mine[3] != theirs[3]) return false;
  if (devices != nullptr) *devices = SealedDevices{*was, *is};
  return true;
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

bool IsToken(std::string_view text) {
  return text.size() == kTokenLength && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string Make(const std::string& folder, const char* name, unsigned mode) {
  std::string token = NewToken();
  if (token.empty() || !Port::File::mkdir(Port::StringBase<char>(folder), false, mode)) return std::string();
  if (Mark(folder, name, token)) return token;
  // The mark's failure is the one to tell, not the clean-up's.
  const int error = errno;
  if (HoldsNothing(folder, name)) std::ignore = RemoveMarkLast(folder, name);
  errno = error;
  return std::string();
}

bool Mark(const std::string& folder, const char* name, const std::string& token) {
  return IsToken(token) && FileUtils::WriteNewFile(Port::StringBase<char>(folder + "/" + name), token + "\n");
}

bool Proves(const std::string& folder, const char* name, const std::string& token) {
  if (!IsToken(token) || !IsOwnFolder(folder)) return false;
  std::string text;
  return ReadOwnRegularFile(folder + "/" + name, text, kTokenLength + 1) && text == token + "\n";
}

bool MarkSealed(const std::string& folder, const char* name, const char* record) {
  // Readable by whoever may read the folder: here the change time proves, not the token's secrecy,
  // and a chmod or chown to let another user read it would change that time.
  const std::string token = NewToken();
  if (!IsToken(token) || !FileUtils::WriteNewFile(Port::StringBase<char>(folder + "/" + name), token + "\n", 0644)) return false;
  const std::string seal = Seal(folder + "/" + name);
  return !seal.empty() && FileUtils::WriteNewFile(Port::StringBase<char>(folder + "/" + record), token + " " + seal + "\n", 0644);
}

bool ProvesSealed(const std::string& folder, const char* name, const char* record, SealedDevices* devices) {
  std::string text;
  // A token, a space, and device, inode and two times: well within this.
  if (!IsOwnFolder(folder) || !ReadOwnRegularFile(folder + "/" + record, text, 256) || text.size() < kTokenLength + 2 ||
      text[kTokenLength] != ' ' || text.back() != '\n')
    return false;
  const std::string token = text.substr(0, kTokenLength);
  const std::string_view seal = std::string_view(text).substr(kTokenLength + 1, text.size() - kTokenLength - 2);
  return Proves(folder, name, token) && SameSeal(seal, Seal(folder + "/" + name), devices);
}

bool HoldsNothing(const std::string& folder, const char* name, const char* record) {
  if (!IsOwnFolder(folder)) return false;
  std::error_code error;
  for (fs::directory_iterator each(folder, error); !error && each != fs::directory_iterator(); each.increment(error)) {
    const bool mark = each->path().filename() == name;
    if (!mark && (record == nullptr || each->path().filename() != record)) return false;
    struct stat info {};
    if (::lstat(each->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size == 0) continue;
    std::string text;
    if (!mark || !ReadOwnRegularFile(each->path().string(), text, kTokenLength + 1) || text.empty() ||
        text.back() != '\n' ||
        !IsToken(std::string_view(text).substr(0, text.size() - 1)))
      return false;
  }
  return !error;
}

bool RemoveMarkLast(const std::string& folder, const char* name, const char* record) {
  if (!IsOwnFolder(folder)) return false;
  // Everything in the folder but its proof.
  const auto others = [&](std::vector<fs::path>& into) {
    std::error_code error;
    for (fs::directory_iterator each(folder, error); !error && each != fs::directory_iterator(); each.increment(error)) {
      if (each->path().filename() != name && (record == nullptr || each->path().filename() != record))
        into.push_back(each->path());
    }
    return !error;
  };
  std::vector<fs::path> entries;
  if (!others(entries)) return false;
  bool removed = true;
  for (const fs::path& entry : entries)
    removed = FileUtils::RemoveItem(Port::StringBase<char>(entry.string())) == kSuccess && removed;
  // What a removal passes over (a FIFO, a device) keeps the folder, and the proof stays with it.
  entries.clear();
  if (!removed || !others(entries) || !entries.empty()) return false;
  for (const char* last : {record, name}) {
    if (last == nullptr) continue;
    const Port::StringBase<char> path(folder + "/" + last);
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !Port::File::remove_f(path)) return false;
  }
  return Port::File::rmdir(Port::StringBase<char>(folder));
}

bool Remove(const std::string& folder, const char* name, const std::string& token) {
  return (Proves(folder, name, token) || HoldsNothing(folder, name)) && RemoveMarkLast(folder, name);
}

}  // namespace Hvd::OwnedFolder
