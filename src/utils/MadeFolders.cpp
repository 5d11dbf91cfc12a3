#include "utils/MadeFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Port/FileName.h"
#include "Port/MsgMan.h"

namespace Hvd {

namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool MadeFolders::Make(const std::string& path, unsigned mode) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  // Each step in turn, as a recursive make goes, so that the one made here is known.
  for (std::size_t next = 0; next != std::string::npos;) {
    next = path.find('/', next + 1);
    const std::string step = path.substr(0, next);
    if (step.empty() || step.back() == '/' || IsFolder(step)) continue;
    if (!Port::File::mkdir(Port::StringBase<char>(step), false, mode)) {
      if (errno == EEXIST && IsFolder(step)) continue;  // made meanwhile by another: not ours
      return false;
    }
    struct stat info {};
    if (::lstat(step.c_str(), &info) == 0) m_made.push_back(Made{step, info.st_dev, info.st_ino});
  }
  return true;
}

bool MadeFolders::TakeBack() {
  bool all = true;
  while (!m_made.empty()) {
    const Made made = m_made.back();
    m_made.pop_back();
    struct stat info {};
    if (::lstat(made.path.c_str(), &info) != 0) {
      if (errno == ENOENT) continue;
    } else if (!S_ISDIR(info.st_mode) || info.st_dev != made.device || info.st_ino != made.inode) {
      break;  // another's now, and what lies above it holds it
    }
    if (Port::File::rmdir(Port::StringBase<char>(made.path))) continue;
    const int error = errno;
    if (error == ENOTEMPTY || error == EEXIST) break;  // what it holds now is someone's
    Port_MsgManData::createObject("ProjectMgmt", "MadeFolders", __LINE__, "")
        .issueWarning("The folder \"%s\" this command made could not be removed: %s.\n", made.path.c_str(),
                      std::strerror(error));
    all = false;
    break;
  }
  m_made.clear();
  return all;
}

}  // namespace Hvd
