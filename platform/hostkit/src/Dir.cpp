#include "Port/Dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "Port/FaultInjection.h"

namespace {

UT_DIR::Kind KindOf(int directoryFd, const dirent& entry) {
  // The listing's own type, when the file system gives one, saves a look at each entry.
  switch (entry.d_type) {
    case DT_LNK: return UT_DIR::Kind::kLink;
    case DT_DIR: return UT_DIR::Kind::kDirectory;
    case DT_REG: return UT_DIR::Kind::kFile;
    case DT_UNKNOWN: break;
    default: return UT_DIR::Kind::kOther;
  }
  const char* name = entry.d_name;
  struct stat info;
  if (::fstatat(directoryFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return UT_DIR::Kind::kOther;
  if (S_ISLNK(info.st_mode)) return UT_DIR::Kind::kLink;
  if (S_ISDIR(info.st_mode)) return UT_DIR::Kind::kDirectory;
  if (S_ISREG(info.st_mode)) return UT_DIR::Kind::kFile;
  return UT_DIR::Kind::kOther;
}

}  // namespace

UT_DIR::UT_DIR(const Port::StringBase<char>& path, int) {
  if (Port::FaultInjection::ShouldFail("UT_DIR", path.str())) return;
  DIR* directory = ::opendir(path.c_str());
  if (directory == nullptr) return;
  const int fd = ::dirfd(directory);
  while (const dirent* entry = ::readdir(directory)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    m_entries.push_back(Entry{Port::StringBase<char>(entry->d_name), KindOf(fd, *entry)});
  }
  ::closedir(directory);
  std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  m_valid = true;
}
