#include "utils/MadeFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "utils/OwnedFolder.h"

namespace Hvd {

namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Port_MsgManData Messages(int line) { return Port_MsgManData::createObject("ProjectMgmt", "MadeFolders", line, ""); }

// The folder `path` lies in and its name there.
std::pair<std::string, std::string> Split(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// A folder open to look at and change its entries by name, closed when it goes.
struct OpenFolder {
  explicit OpenFolder(const std::string& path) : at(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder() {
    if (at >= 0) ::close(at);
  }
  int at;
};

// Renames `from` to `to` in the folder `at`, never over what is at `to`.
bool RenameToFree(int at, const std::string& from, const std::string& to, const std::string& path) {
  if (Port::FaultInjection::ShouldFail("rename", path)) {
    errno = EIO;
    return false;
  }
  if (::renameat2(at, from.c_str(), at, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot be asked so: the name is looked at first.
  struct stat info {};
  if (::fstatat(at, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(at, from.c_str(), at, to.c_str()) == 0;
}

}  // namespace

std::optional<MadeFolders::Identity> MadeFolders::IdentityAt(int at, const char* name) {
  struct statx info {};
  if (::statx(at, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return std::nullopt;
  const auto time = [](const struct statx_timestamp& stamp) { return Time{stamp.tv_sec, stamp.tv_nsec}; };
  Identity identity;
  identity.device = (static_cast<std::uint64_t>(info.stx_dev_major) << 32) | info.stx_dev_minor;
  identity.inode = info.stx_ino;
  identity.type = info.stx_mode & S_IFMT;
  identity.size = info.stx_size;
  identity.modified = time(info.stx_mtime);
  identity.changed = time(info.stx_ctime);
  if ((info.stx_mask & STATX_BTIME) != 0) identity.born = time(info.stx_btime);
  return identity;
}

bool MadeFolders::Same(const Identity& was, const Identity& now) {
  if (was.device != now.device || was.inode != now.inode || was.type != now.type) return false;
  if (was.born && now.born && !(*was.born == *now.born)) return false;
  return was.type == S_IFDIR ||
         (was.size == now.size && was.modified == now.modified && was.changed == now.changed);
}

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
      // Something else on the way: the folder asked for cannot be below it.
      if (errno == EEXIST && next != std::string::npos) errno = ENOTDIR;
      return false;
    }
    if (const std::optional<Identity> made = IdentityAt(AT_FDCWD, step.c_str()))
      m_made.push_back(Made{step, *made});
  }
  return true;
}

void MadeFolders::Wrote(const std::string& path) {
  // A folder there is none of its writing: SetAside leaves one in place, and the write fails on it.
  const std::optional<Identity> written = IdentityAt(AT_FDCWD, path.c_str());
  if (written && written->type != S_IFDIR) {
    m_written[path] = *written;
  } else {
    m_written.erase(path);
  }
}

bool MadeFolders::SetAside(const std::string& path) {
  const auto [folder, name] = Split(path);
  const OpenFolder open(folder);
  if (open.at < 0) return errno == ENOENT || errno == ENOTDIR;  // no folder: nothing at the name
  const std::optional<Identity> now = IdentityAt(open.at, name.c_str());
  if (!now) return errno == ENOENT;
  if (now->type == S_IFDIR) return true;
  if (const auto own = m_written.find(path); own != m_written.end() && Same(own->second, *now)) {
    // Its own: written over, it is no longer its result.
    if (::unlinkat(open.at, name.c_str(), 0) != 0 && errno != ENOENT) return false;
    m_written.erase(own);
    return true;
  }
  // A private name beside it, drawn again while taken; a short one where the name is long.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string token = OwnedFolder::NewToken();
    if (token.empty()) return false;
    const std::string aside = name.size() + 15 > NAME_MAX ? ".aside-" + token : name + ".aside-" + token.substr(0, 8);
    if (RenameToFree(open.at, name, aside, path)) {
      // As it is under its private name: the rename changed its change time.
      m_asides.push_back(Aside{path, aside, IdentityAt(open.at, aside.c_str()).value_or(*now)});
      return true;
    }
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

void MadeFolders::PutBack(const std::string& path) {
  const auto last =
      std::find_if(m_asides.rbegin(), m_asides.rend(), [&path](const Aside& aside) { return aside.path == path; });
  if (last == m_asides.rend()) return;
  const Aside aside = *last;
  m_asides.erase(std::next(last).base());
  GiveBack(aside);
}

// Moved back in its folder held open, while its private name holds what was moved there and its
// own name nothing: what the command or another put there since stays.
bool MadeFolders::GiveBack(const Aside& aside) {
  const auto [folder, name] = Split(aside.path);
  const std::string kept = folder + "/" + aside.name;
  const OpenFolder open(folder);
  const std::optional<Identity> now = open.at < 0 ? std::nullopt : IdentityAt(open.at, aside.name.c_str());
  if (now && !Same(aside.identity, *now)) {
    Messages(__LINE__).issueWarning(
        "What was at \"%s\" could not be put back: another is at \"%s\", where it was kept, now.\n",
        aside.path.c_str(), kept.c_str());
    return false;
  }
  if (now && RenameToFree(open.at, aside.name, name, kept)) return true;
  const int error = errno;
  if (now) {
    Messages(__LINE__).issueWarning("What was at \"%s\" could not be put back: %s. It is kept as \"%s\".\n",
                                    aside.path.c_str(), std::strerror(error), kept.c_str());
  } else {
    Messages(__LINE__).issueWarning("What was at \"%s\" could not be put back from \"%s\": %s.\n", aside.path.c_str(),
                                    kept.c_str(), std::strerror(error));
  }
  return false;
}

void MadeFolders::Keep() {
  m_made.clear();
  m_written.clear();
  // What the command wrote over goes, as a write over it would have taken it.
  for (const Aside& aside : m_asides) {
    const std::string folder = Split(aside.path).first;
    const std::string kept = folder + "/" + aside.name;
    const OpenFolder open(folder);
    const std::optional<Identity> now = open.at < 0 ? std::nullopt : IdentityAt(open.at, aside.name.c_str());
    int error = errno;
    if (!now) {
      if (error == ENOENT || error == ENOTDIR) continue;  // gone already
    } else if (!Same(aside.identity, *now)) {
      Messages(__LINE__).issueWarning("\"%s\" is left: it no longer holds what was at \"%s\".\n", kept.c_str(),
                                      aside.path.c_str());
      continue;
    } else if (!IdentityAt(open.at, Split(aside.path).second.c_str()) && errno == ENOENT) {
      // Nothing took its place (a step that wrote nothing there after all): it is the user's still.
      std::ignore = GiveBack(aside);
      continue;
    } else if (Port::FaultInjection::ShouldFail("remove_f", kept)) {
      error = EIO;
    } else if (::unlinkat(open.at, aside.name.c_str(), 0) == 0 || errno == ENOENT) {
      continue;
    } else {
      error = errno;
    }
    Messages(__LINE__).issueWarning("What was at \"%s\", kept as \"%s\", could not be removed: %s.\n",
                                    aside.path.c_str(), kept.c_str(), std::strerror(error));
  }
  m_asides.clear();
}

// Looked at and removed from its folder held open, so that the name compared is the name removed.
// The way to the folder may pass through a link: the file is known by what it is, wherever it lies.
bool MadeFolders::TakeBackFile(const std::string& path, const Identity& written) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const int at = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::optional<Identity> now = at < 0 ? std::nullopt : IdentityAt(at, name.c_str());
  int error = errno;
  const bool ours = now && Same(written, *now);
  bool removed = false;
  if (ours) {
    if (Port::FaultInjection::ShouldFail("remove_f", path)) {
      error = EIO;
    } else {
      removed = ::unlinkat(at, name.c_str(), 0) == 0 || errno == ENOENT;
      error = errno;
    }
  }
  if (at >= 0) ::close(at);
  if (removed || (!now && (error == ENOENT || error == ENOTDIR))) return true;  // gone already
  if (now && !ours) {
    Messages(__LINE__).issueWarning("The file \"%s\" this command wrote is left: another file is at its name now.\n",
                                    path.c_str());
  } else {
    Messages(__LINE__).issueWarning("The file \"%s\" this command wrote could not be removed: %s.\n", path.c_str(),
                                    std::strerror(error));
  }
  return false;
}

bool MadeFolders::TakeBack() {
  bool all = true;
  // What stays, so that a folder that stays for holding it is not named again.
  std::vector<std::string> stays;
  const auto holdsWhatStays = [&stays](const std::string& folder) {
    return std::any_of(stays.begin(), stays.end(), [&folder](const std::string& path) {
      return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
    });
  };
  // The files first: the folders hold them.
  for (const auto& [path, written] : m_written) {
    if (TakeBackFile(path, written)) continue;
    all = false;
    stays.push_back(path);
  }
  m_written.clear();
  while (!m_made.empty()) {
    const Made made = m_made.back();
    m_made.pop_back();
    // Looked at and removed in its folder held open, as a file is: a folder on the way put in
    // place of another since leads the removal nowhere else.
    const std::size_t slash = made.path.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : made.path.substr(0, slash);
    const std::string name = slash == std::string::npos ? made.path : made.path.substr(slash + 1);
    const int at = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::optional<Identity> now = at < 0 ? std::nullopt : IdentityAt(at, name.c_str());
    if (!now && (errno == ENOENT || errno == ENOTDIR)) {
      if (at >= 0) ::close(at);
      continue;
    }
    if (now && !Same(made.identity, *now)) {
      ::close(at);
      // What stands there is another's: it stays, and what lies above it holds it.
      Messages(__LINE__).issueWarning("The folder \"%s\" this command made is left: another is at its name now.\n",
                                      made.path.c_str());
      all = false;
      stays.push_back(made.path);
      continue;
    }
    int error = errno;
    bool removed = false;
    if (now && Port::FaultInjection::ShouldFail("rmdir", made.path)) {
      error = EIO;
    } else if (now) {
      removed = ::unlinkat(at, name.c_str(), AT_REMOVEDIR) == 0;
      error = errno;
    }
    if (at >= 0) ::close(at);
    if (removed) continue;
    if (error == ENOTEMPTY || error == EEXIST) {  // what it holds now is someone's
      if (m_nameWhatStays && !holdsWhatStays(made.path)) {
        Messages(__LINE__).issueWarning(
            "The folder \"%s\" this command made is left: it holds what this command did not write there.\n",
            made.path.c_str());
        all = false;
      }
      stays.push_back(made.path);
      continue;
    }
    Messages(__LINE__).issueWarning("The folder \"%s\" this command made could not be removed: %s.\n",
                                    made.path.c_str(), std::strerror(error));
    all = false;
    stays.push_back(made.path);
  }
  // Last, once the names they stood at are free again: a link put aside for a folder made there.
  for (auto aside = m_asides.rbegin(); aside != m_asides.rend(); ++aside) all = GiveBack(*aside) && all;
  m_asides.clear();
  return all;
}

}  // namespace Hvd
