#include "project/snapshot/Restore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "core/RegularFile.h"
#include "Port/MsgMan.h"
#include "project/ProjectRoutines.h"
#include "project/snapshot/SnapshotPaths.h"
#include "utils/DirectoryLock.h"
#include "utils/FileUtils.h"
#include "utils/OwnedFolder.h"
#include "utils/PropertyAccessor.h"

namespace Hvd::Snapshots {

namespace {

using String = Port::StringBase<char>;
namespace fs = std::filesystem;

// A journal of the first form names the entries only; the second adds, after each entry that
// is switched in, the identity of its staged copy; the third adds to that identity what the
// copy holds, which no editor can set back as it can a modification time.
constexpr std::string_view kJournalHeader = "snapshot restore journal 1\n";
constexpr std::string_view kJournalHeaderWithIdentities = "snapshot restore journal 2\n";
constexpr std::string_view kJournalHeaderWithContents = "snapshot restore journal 3\n";
// A journal names the entries of one project: 100,000 of them take less than half of this.
constexpr std::uintmax_t kMaxJournalBytes = std::uintmax_t{16} << 20;

String Text(const fs::path& path) { return String(path.string()); }

fs::file_type TypeOf(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type();
}

bool Present(const fs::path& path) { return TypeOf(path) != fs::file_type::not_found; }

// The places of one restore's folder.
struct Folder {
  explicit Folder(const String& projectFile)
      : root(FileUtils::RestoreFolderOf(projectFile).str()),
        staged(root / "new"),
        kept(root / "old"),
        added(root / "added"),
        journal(root / "journal"),
        made(root / "made"),
        sealed(root / "made.seal"),
        generated{fs::path(projectFile.str()).stem().string() + ".ghlc", "hdlparser.log"} {}
  fs::path root;
  fs::path staged;  // the snapshot's copies, until each is put in place
  fs::path kept;    // the live entries they replaced
  fs::path added;   // a mark for each entry the project did not have, made before it moves in
  fs::path journal;
  // The folder's own proof, written as soon as the restore made it: a token in its mark, and that
  // token with the mark's identity in its record (see OwnedFolder::MarkSealed).
  fs::path made;
  fs::path sealed;
  // The entries that the project's open writes itself (the generated-project file, the
  // parser's log): what the restore's reopen wrote there is no user's.
  std::set<std::string> generated;
};

// What tells the entry a restore switched in from another put at its name since: its device,
// inode and type, and for a regular file, which can be written over in place, its size and
// modification time, none of which a rename changes, and a digest of what it holds, since an
// edit of the same size can have its modification time put back. (Its status-change time
// cannot be put back, but the restore's own rename changes it too.)
struct Identity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t type = 0;
  std::int64_t size = 0;
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  std::optional<std::uint64_t> digest;  // a regular file's, in a journal of the third form

  bool operator==(const Identity& other) const {
    if (device != other.device || inode != other.inode || type != other.type) return false;
    return type != S_IFREG || (size == other.size && seconds == other.seconds && nanoseconds == other.nanoseconds);
  }
  std::string Text() const {
    return std::to_string(device) + ':' + std::to_string(inode) + ':' + std::to_string(type) + ':' +
           std::to_string(size) + ':' + std::to_string(seconds) + ':' + std::to_string(nanoseconds) + ':' +
           std::to_string(digest.value_or(0));
  }
  static std::optional<Identity> Parse(std::string_view text, bool withDigest) {
    Identity identity;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    bool first = true;
    const auto field = [&](auto& value) {
      if (!std::exchange(first, false) && (at == end || *at++ != ':')) return false;
      const std::from_chars_result got = std::from_chars(at, end, value);
      at = got.ptr;
      return got.ec == std::errc();
    };
    if (!field(identity.device) || !field(identity.inode) || !field(identity.type) || !field(identity.size) ||
        !field(identity.seconds) || !field(identity.nanoseconds))
      return std::nullopt;
    if (withDigest) {
      std::uint64_t digest = 0;
      if (!field(digest)) return std::nullopt;
      if (identity.type == S_IFREG) identity.digest = digest;
    }
    if (at != end) return std::nullopt;
    return identity;
  }
};

// The identity of what is at `path` itself, a link not followed.
std::optional<Identity> IdentityOf(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  Identity identity;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.type = static_cast<std::uint64_t>(info.st_mode & S_IFMT);
  identity.size = static_cast<std::int64_t>(info.st_size);
  identity.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  identity.nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return identity;
}

// A digest of what the regular file at `path` holds, read no further than `size` bytes, its
// size when its identity was taken: none when it is no such file, or holds more or less.
std::optional<std::uint64_t> DigestOf(const fs::path& path, std::int64_t size) {
  // Only a regular file is opened at all: a device or FIFO at the name is never touched.
  struct stat seen {};
  if (::lstat(path.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode)) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  bool readable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::uint64_t digest = 14695981039346656037ull;  // FNV-1a
  std::int64_t total = 0;
  std::vector<unsigned char> buffer(1 << 16);
  while (readable && total <= size) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readable = false;
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) digest = (digest ^ buffer[static_cast<std::size_t>(i)]) * 1099511628211ull;
    total += got;
  }
  ::close(fd);
  if (!readable || total != size) return std::nullopt;
  return digest;
}

// One entry of the live project that a restore replaces with its staged copy, or, `removed`,
// takes away because the snapshot has none.
struct Entry {
  fs::path path;
  bool removed = false;
  std::optional<Identity> made;  // the staged copy's, recorded before any switch
};

// A name as a restore writes it in its journal: steps below the project's folder, each one a
// name, so that it can neither leave the folder nor be spelled two ways.
bool JournalName(std::string_view name) {
  if (name.empty() || fs::path(name).has_root_name()) return false;
  for (std::size_t at = 0;;) {
    const std::size_t slash = std::min(name.find('/', at), name.size());
    const std::string_view step = name.substr(at, slash - at);
    if (step.empty() || step == "." || step == "..") return false;
    if (slash == name.size()) return true;
    at = slash + 1;
  }
}

// True when `relative` names an entry below `root` and no directory on the way to it is a link
// or anything but a directory, so that a rename there stays below root. A missing directory
// on the way is accepted only when `missingAllowed`.
bool Below(const fs::path& root, const fs::path& relative, bool missingAllowed) {
  if (relative.empty() || relative.is_absolute() || relative.has_root_name()) return false;
  fs::path at = root;
  std::vector<fs::path> parts(relative.begin(), relative.end());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string part = parts[i].string();
    if (part.empty() || part == "." || part == "..") return false;
    if (i + 1 == parts.size()) break;
    at /= parts[i];
    const fs::file_type type = TypeOf(at);
    if (type == fs::file_type::not_found && missingAllowed) continue;
    if (type != fs::file_type::directory) return false;
  }
  return true;
}

bool MakeParents(const fs::path& root, const fs::path& relative) {
  const fs::path parent = (root / relative).parent_path();
  return TypeOf(parent) == fs::file_type::directory || Port::File::mkdir(Text(parent), true);
}

// The staged entries to put in place: a directory that the snapshot and the live project both
// hold as real directories is entered; anything else is one entry, replaced whole, so that a
// live link is replaced rather than written through. A restore folder the snapshot holds, this
// restore's own (`own`) or that of a project whose file stands beside it in the snapshot or the
// project, is no entry of the project: a take by an earlier version copied the project's folder
// whole, a restore folder left standing there then (a killed one's) among it. Put in place it
// would take the place of this restore's own proof and journal, or of another project's, whose
// kept files would then go with this restore's folder, or stop that project's next open with a
// journal its folder does not prove.
bool CollectEntries(const fs::path& staged, const fs::path& live, const fs::path& relative,
                    std::vector<Entry>& entries, const fs::path& own) {
  std::error_code error;
  fs::directory_iterator each(staged / relative, error);
  if (error) return false;
  std::set<std::string> restores = FileUtils::RestoreFolderNames(Text(staged / relative));
  restores.merge(FileUtils::RestoreFolderNames(Text(live / relative)));
  std::vector<fs::path> names;
  for (const fs::directory_entry& entry : each) {
    const fs::path name = entry.path().filename();
    if ((relative.empty() && name == own) ||
        (restores.count(name.string()) != 0 && TypeOf(entry.path()) == fs::file_type::directory))
      continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const fs::path& name : names) {
    const fs::path entry = relative.empty() ? name : relative / name;
    if (TypeOf(staged / entry) == fs::file_type::directory && TypeOf(live / entry) == fs::file_type::directory) {
      if (!CollectEntries(staged, live, entry, entries, own)) return false;
    } else {
      entries.push_back({entry, false, std::nullopt});
    }
  }
  return true;
}

// The first entry that the snapshot holds as no folder while a real folder stands at its name in
// the project (a link to one is replaced as a link): the folder would go aside with the replaced
// files and be removed with them, though it is none of the snapshot's, and what it holds is the
// user's. Looked at with lstat only; a directory on the way is one CollectEntries went through.
std::optional<fs::path> FolderAtAFilesName(const fs::path& live, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries)
    if (!entry.removed && TypeOf(live / entry.path) == fs::file_type::directory) return live / entry.path;
  return std::nullopt;
}

Status FolderRefused(const fs::path& folder) {
  return Fail(kFailure,
              "ERROR: ICheckpoint::RestoreCheckpointProject - \"%s\" is a folder where the snapshot has a file: the "
              "restore would remove the folder and all it holds, so nothing is restored. Move the folder elsewhere "
              "to restore the snapshot.\n",
              folder.c_str());
}

// Written whole under another name and renamed into place: a journal is there entire or not.
// The identity of each staged copy is taken into it first, so that an undo, at any point,
// knows the copy when it finds it in the live project.
bool WriteJournal(const Folder& folder, std::vector<Entry>& entries) {
  std::string text(kJournalHeaderWithContents);
  bool removals = false;
  for (Entry& entry : entries) {
    // The entries to take away without a replacement follow the others, after an empty name.
    if (entry.removed && !std::exchange(removals, true)) text += '\0';
    text += entry.path.generic_string();
    text += '\0';
    if (entry.removed) continue;
    entry.made = IdentityOf(folder.staged / entry.path);
    if (!entry.made) return false;
    if (entry.made->type == S_IFREG && !(entry.made->digest = DigestOf(folder.staged / entry.path, entry.made->size)))
      return false;
    text += entry.made->Text();
    text += '\0';
  }
  // One that could not be read back would stop every open, should this restore be killed.
  if (text.size() > kMaxJournalBytes) return false;
  const fs::path part = folder.root / "journal.part";
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* data = text.data();
  std::size_t left = text.size();
  bool written = true;
  while (written && left > 0) {
    const ssize_t done = ::write(fd, data, left);
    if (done < 0 && errno == EINTR) continue;
    written = done > 0;
    if (written) {
      data += done;
      left -= static_cast<std::size_t>(done);
    }
  }
  written = ::fsync(fd) == 0 && written;
  written = ::close(fd) == 0 && written;
  return written && Port::File::rename(Text(part), Text(folder.journal));
}

// The entries of the journal, or none, with `why` (when known) saying what is wrong with it.
std::optional<std::vector<Entry>> ReadJournal(const Folder& folder, std::string& why) {
  if (TypeOf(folder.journal) != fs::file_type::regular) return std::nullopt;
  std::string text;
  std::string message;
  // Read only as far as a journal can go: the folder may have come with the project.
  if (!ReadRegularFile(folder.journal.string(), text, kMaxJournalBytes, &message)) {
    why = message;
    return std::nullopt;
  }
  const auto headed = [&text](std::string_view header) { return text.compare(0, header.size(), header) == 0; };
  const bool contents = headed(kJournalHeaderWithContents);
  const bool identities = contents || headed(kJournalHeaderWithIdentities);
  if (!identities && !headed(kJournalHeader)) return std::nullopt;
  std::vector<Entry> entries;
  std::set<std::string> names;
  bool removals = false;
  std::size_t at = (identities ? kJournalHeaderWithIdentities : kJournalHeader).size();
  const auto field = [&](std::string& value) {
    const std::size_t end = text.find('\0', at);
    if (end == std::string::npos) return false;
    value = text.substr(at, end - at);
    at = end + 1;
    return true;
  };
  while (at < text.size()) {
    std::string name;
    if (!field(name)) return std::nullopt;
    if (name.empty()) {
      if (std::exchange(removals, true)) return std::nullopt;
      continue;
    }
    if (!JournalName(name)) {
      why = "it names \"" + name + "\", which is no entry of the project";
      return std::nullopt;
    }
    entries.push_back({fs::path(name), removals, std::nullopt});
    if (identities && !removals) {
      std::string identity;
      if (!field(identity) || !(entries.back().made = Identity::Parse(identity, contents))) return std::nullopt;
    }
    if (!names.insert(name).second) return std::nullopt;
  }
  // A restore replaces each entry whole: one entry inside another is no journal it wrote.
  for (const Entry& entry : entries) {
    fs::path up;
    for (const fs::path& step : entry.path.parent_path()) {
      up /= step;
      if (names.count(up.generic_string()) != 0) return std::nullopt;
    }
  }
  return entries;
}

// The entries the journal names, and the folders on the way to them.
struct Named {
  explicit Named(const std::vector<Entry>& journal) {
    for (const Entry& entry : journal) {
      entries.insert(entry.path.generic_string());
      fs::path up;
      for (const fs::path& step : entry.path.parent_path()) ways.insert((up /= step).generic_string());
    }
  }
  std::set<std::string> entries;
  std::set<std::string> ways;
};

// Whether `place`, old/ or added/, holds nothing but entries the journal names and the folders
// on the way to them: anything else a restore did not put there, and the journal then is no
// account of what the folder holds. `stray` gets the first other thing found.
bool OnlyNamed(const fs::path& place, const Named& named, std::string& stray) {
  if (TypeOf(place) == fs::file_type::not_found) return true;
  std::error_code error;
  for (fs::recursive_directory_iterator at(place, error), end; !error && at != end; at.increment(error)) {
    const std::string name = at->path().lexically_relative(place).generic_string();
    if (named.entries.count(name) != 0) {
      at.disable_recursion_pending();
      continue;
    }
    if (named.ways.count(name) != 0 && TypeOf(at->path()) == fs::file_type::directory) continue;
    stray = at->path().string();
    return false;
  }
  return !error;
}

// Marks an entry that the project does not have as one that is being switched in.
bool MarkAdded(const Folder& folder, const fs::path& entry) {
  if (!MakeParents(folder.added, entry)) return false;
  const int fd = ::open((folder.added / entry).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  return fd >= 0 && ::close(fd) == 0;
}

// The live entry moves aside, or, when there is none, the entry is marked as added; then the
// staged one takes its place. Either the old copy or the mark is there before it does.
// An entry taken away only moves aside.
bool SwitchIn(const Folder& folder, const fs::path& live, const Entry& item) {
  const fs::path& entry = item.path;
  if (!Below(live, entry, false) || !Below(folder.kept, entry, true) || !Below(folder.added, entry, true)) return false;
  const fs::path target = live / entry;
  // A folder put at the name since the entries were looked at is the user's too.
  if (!item.removed && TypeOf(target) == fs::file_type::directory) return false;
  if (Present(target)) {
    if (!MakeParents(folder.kept, entry) || !Port::File::rename(Text(target), Text(folder.kept / entry))) return false;
  } else if (!item.removed && !MarkAdded(folder, entry)) {
    return false;
  }
  return item.removed || Port::File::rename(Text(folder.staged / entry), Text(target));
}

// What undoing one entry's switch takes.
struct Undo {
  bool takeOut = false;    // the live entry is the staged one, moved in
  bool keepAside = false;  // the live entry is not the restore's: it stays, beside, under a new name
  bool putBack = false;    // the old copy goes back to its place
};

// Works out, from what the restore's folder and the project hold, how far the entry's switch
// went. A switch began only when the entry's old copy is in old/ or its mark in added/: without
// either, the live entry is the project's own and is never touched, and its staged copy must
// still be there. Once begun, the live entry is the staged one moved in only when it is no
// longer staged and is the copy whose identity the journal recorded; anything else there was
// put there since, and is kept. No answer for a state that no restore leaves: a journal that
// does not match what is on disk is no ground for moving anything.
// Whether anything below the folder `path` changed after the journal was written, before any
// switch: a file a user put into, or wrote in, a folder the restore switched in is theirs. A
// folder that cannot be read through counts as changed.
bool ChangedBelowSince(const fs::path& path, const fs::path& journal) {
  struct stat written {};
  if (::lstat(journal.c_str(), &written) != 0) return true;
  const auto later = [&written](const struct stat& info) {
    return info.st_ctim.tv_sec != written.st_mtim.tv_sec ? info.st_ctim.tv_sec > written.st_mtim.tv_sec
                                                         : info.st_ctim.tv_nsec > written.st_mtim.tv_nsec;
  };
  std::error_code error;
  for (fs::recursive_directory_iterator each(path, error); !error && each != fs::recursive_directory_iterator();
       each.increment(error)) {
    struct stat info {};
    if (::lstat(each->path().c_str(), &info) != 0 || later(info)) return true;
  }
  return static_cast<bool>(error);
}

// `identity`, read now, as the journal took it: the disk the restore's folder is on, mounted again
// since under another number, gives its entries that number, and an entry on whichever disk
// has the recorded number now is none that the restore moved.
std::optional<Identity> AsRecorded(std::optional<Identity> identity, const OwnedFolder::SealedDevices& devices) {
  if (identity && devices.recorded != devices.now) {
    if (identity->device == devices.now) identity->device = devices.recorded;
    else if (identity->device == devices.recorded) identity.reset();
  }
  return identity;
}

std::optional<Undo> PlanBack(const Folder& folder, const fs::path& live, const Entry& item,
                             const OwnedFolder::SealedDevices& devices) {
  const fs::path& entry = item.path;
  if (!Below(live, entry, false) || !Below(folder.staged, entry, true) || !Below(folder.kept, entry, true) ||
      !Below(folder.added, entry, true))
    return std::nullopt;
  const bool kept = Present(folder.kept / entry);
  const bool staged = Present(folder.staged / entry);
  const bool there = Present(live / entry);
  // An entry taken away had nothing staged: it goes back when it went aside and its place is free.
  if (item.removed) return kept && there ? std::nullopt : std::optional<Undo>(Undo{false, false, kept});
  if (!kept && !Present(folder.added / entry)) return staged ? std::optional<Undo>(Undo{}) : std::nullopt;
  const std::optional<Identity> now = there ? AsRecorded(IdentityOf(live / entry), devices) : std::nullopt;
  const bool ours = there && !staged && item.made && now == item.made &&
                    (item.made->type != S_IFDIR || !ChangedBelowSince(live / entry, folder.journal)) &&
                    (!item.made->digest || DigestOf(live / entry, item.made->size) == item.made->digest);
  // A file the reopen wrote again is the library's, and goes as the staged one would.
  const bool rewritten = there && !ours && now && now->type == S_IFREG &&
                         folder.generated.count(entry.generic_string()) != 0;
  return Undo{ours || rewritten, there && !ours && !rewritten, kept};
}

// A rename that never replaces what is at `to`.
bool RenameToFree(const fs::path& from, const fs::path& to) {
  if (Port::FaultInjection::ShouldFail("rename", from.string())) {
    errno = EIO;
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot be asked so: the name is looked at first.
  if (Present(to)) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// The names a live entry that is not the restore's may be kept under, beside itself.
constexpr int kAsideNames = 1000;
fs::path AsideName(const fs::path& entry, int n) {
  fs::path aside = entry;
  aside += n == 0 ? std::string(".kept") : ".kept" + std::to_string(n);
  return aside;
}
bool NamedInJournal(const Named& named, const fs::path& aside) {
  return named.entries.count(aside.generic_string()) != 0 || named.ways.count(aside.generic_string()) != 0;
}

// Whether a name is free to keep the live `entry` under: looked at before anything moves, so
// that an undo that could not keep an entry moves none.
bool RoomAside(const fs::path& live, const fs::path& entry, const Named& named) {
  for (int n = 0; n < kAsideNames; ++n) {
    const fs::path aside = AsideName(entry, n);
    if (!NamedInJournal(named, aside) && !Present(live / aside)) return true;
  }
  return false;
}

// Moves the live entry, which the restore did not put there, beside itself under a new name
// that no entry of the journal has, and names it in a warning. Its staged place is filled
// first (with an empty file, when the staged copy had moved in), so that the entry, once its
// old copy is back, reads as one whose switch never began, whenever the undo is killed.
bool KeepAside(const Folder& folder, const fs::path& live, const fs::path& entry, const Named& named) {
  const fs::path target = live / entry;
  const fs::path staged = folder.staged / entry;
  if (!Present(staged)) {
    if (!MakeParents(folder.staged, entry)) return false;
    const int fd = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0 || ::close(fd) != 0) return false;
  }
  for (int n = 0; n < kAsideNames; ++n) {
    const fs::path aside = AsideName(entry, n);
    if (NamedInJournal(named, aside)) continue;
    if (RenameToFree(target, live / aside)) {
      Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
          .issueWarning(
              "\"%s\" was changed after a snapshot restore was interrupted, so its undo does not take it "
              "away: it is kept as \"%s\".\n",
              target.c_str(), (live / aside).c_str());
      return true;
    }
    if (errno != EEXIST && errno != ENOTEMPTY) return false;
  }
  return false;
}

// Undoes what PlanBack found of SwitchIn; doing it again changes nothing.
bool SwitchBack(const Folder& folder, const fs::path& live, const fs::path& entry, const Undo& undo,
                const Named& named) {
  const fs::path target = live / entry;
  if (undo.takeOut &&
      (!MakeParents(folder.staged, entry) || !Port::File::rename(Text(target), Text(folder.staged / entry))))
    return false;
  if (undo.keepAside && !KeepAside(folder, live, entry, named)) return false;
  // Never over what another process put at its name meanwhile: that waits for the next undo, which
  // keeps it aside.
  return !undo.putBack || RenameToFree(folder.kept / entry, target);
}

// Whether the folder proves itself one a restore made: a folder at the name that does not is
// none of the restore's, whatever it holds, a copy of one among them. `devices`, when given, gets
// the device numbers its disk had and has.
bool MadeByARestore(const Folder& folder, OwnedFolder::SealedDevices* devices = nullptr) {
  return OwnedFolder::ProvesSealed(folder.root.string(), folder.made.filename().c_str(),
                                   folder.sealed.filename().c_str(), devices);
}

// Proves the folder this restore just made its own.
bool MarkAsMade(const Folder& folder) {
  return OwnedFolder::MarkSealed(folder.root.string(), folder.made.filename().c_str(),
                                 folder.sealed.filename().c_str());
}

// Whether the folder holds nothing but what a kill leaves of its proof while it is made or goes.
bool HoldsNothing(const Folder& folder) {
  return OwnedFolder::HoldsNothing(folder.root.string(), folder.made.filename().c_str(),
                                   folder.sealed.filename().c_str());
}

// The folder of a restore that is over, once it proves itself the restore's: its journal first,
// so that a restore killed while the rest goes is never undone a second time; its proof last,
// so that what a kill leaves of it still proves itself the restore's, or holds nothing, and
// goes at the next open. `error`, when given, gets the system's reason for a removal that failed.
bool Discard(const Folder& folder, int* error = nullptr) {
  if (!MadeByARestore(folder) && !HoldsNothing(folder)) return false;
  if ((Present(folder.journal) && !Port::File::remove_f(Text(folder.journal))) ||
      !OwnedFolder::RemoveMarkLast(folder.root.string(), folder.made.filename().c_str(),
                                   folder.sealed.filename().c_str())) {
    if (error != nullptr) *error = errno;
    return false;
  }
  return true;
}

// Every replaced entry back in its place, last first, once the way back of each is known; the
// folder goes when all are back. kFailure, with nothing moved, when the journal does not match
// what is on disk; kDirectoryWriteFailed when a move failed, or, with nothing moved and `why`
// saying so, when a user's entry could not be kept aside.
Status PutBack(const Folder& folder, const fs::path& live, const std::vector<Entry>& entries,
               const OwnedFolder::SealedDevices& devices = {}, std::string* why = nullptr, int* error = nullptr) {
  std::vector<Undo> plan;
  plan.reserve(entries.size());
  for (const Entry& entry : entries) {
    const std::optional<Undo> undo = PlanBack(folder, live, entry, devices);
    if (!undo) return kFailure;
    plan.push_back(*undo);
  }
  const Named named(entries);
  for (std::size_t at = 0; at < entries.size(); ++at) {
    const Undo& undo = plan[at];
    const fs::path place = (live / entries[at].path).parent_path();
    if ((undo.takeOut || undo.keepAside || undo.putBack) && ::faccessat(AT_FDCWD, place.c_str(), W_OK, AT_EACCESS) != 0) {
      if (why != nullptr) *why = "\"" + place.string() + "\" cannot be written: " + std::strerror(errno);
      return kDirectoryWriteFailed;
    }
    if (undo.keepAside && !RoomAside(live, entries[at].path, named)) {
      if (why != nullptr)
        *why = "no name is free to keep \"" + (live / entries[at].path).string() + "\" beside itself (\".kept\" to \".kept" +
               std::to_string(kAsideNames - 1) + "\" are taken)";
      return kDirectoryWriteFailed;
    }
  }
  bool back = true;
  for (std::size_t at = entries.size(); at-- > 0;)
    back = SwitchBack(folder, live, entries[at].path, plan[at], named) && back;
  // All put back, the folder that stays is another failure than an undo that did not finish.
  if (!back) return kDirectoryWriteFailed;
  return Discard(folder, error) ? kSuccess : kCleanupFailed;
}

// The helper opens a project through its second face.
Status OpenThrough(IProjectHelper* helper, const String& projectFile) {
  Prjrep::AutoCast<IProjectHelper2> opener(helper);
  return opener ? opener->OpenProject(projectFile) : kMissingInterface;
}

// The project the helper has open, or empty.
Prjrep::AutoPtr<IProject> ProjectOf(IProjectHelper* helper) {
  Prjrep::AutoRelease<CitI::IInterface> object;
  if (helper->GetProject(object.Receive()) != kSuccess || !object) return {};
  return Prjrep::AutoPtr<IProject>(object.Get());
}

// The description is the project's own, not the snapshot's: the reopened project gets back the
// one it had and is saved with it, while the restore can still be undone.
Status Redescribe(IProjectHelper* helper, const String& description) {
  Prjrep::AutoPtr<IProject> project = ProjectOf(helper);
  if (!project) return kFailure;
  PropertyAccessor properties(project.Get());
  if (properties.GetPropertyValue("PROP_ProjectDescription") == description) return kSuccess;
  properties.SetPropertyValue("PROP_ProjectDescription", description);
  if (properties.GetPropertyValue("PROP_ProjectDescription") != description) return kFailure;
  Prjrep::AutoCast<IForceSave> saver(project.Get());
  return saver ? saver->ForceSave() : kMissingInterface;
}

// An undo that could not finish is the user's to know of: the project is not as it was, and its
// own files wait in the restore's folder.
Status NotPutBack(const Folder& folder, const String& projectFile, const std::string& why = std::string()) {
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueError("The interrupted snapshot restore of \"%s\" could not be undone%s%s. The project's own files that "
                  "it replaced are kept in \"%s\"; the project is not opened until the undo can finish.\n",
                  projectFile.c_str(), why.empty() ? "" : ": ", why.c_str(), folder.root.c_str());
  return Fail(kDirectoryWriteFailed,
              "ERROR: ICheckpoint::RestoreCheckpointProject - The project directory could not be put back; "
              "its backup is kept at: \"%s\".\n",
              folder.root.c_str());
}

// A journal that cannot be read, or that does not match the project, is kept with everything
// of its folder, and the project is left as it is for its user to look at. `why`, when known,
// says what is wrong with it.
Status Untrusted(const Folder& folder, const String& projectFile, const std::string& why = std::string()) {
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueError(
          "The journal of an interrupted snapshot restore of \"%s\" does not match the project's files: \"%s\"%s%s%s. "
          "Nothing was changed; the files the restore replaced are kept in \"%s\". Put back what is needed and "
          "remove \"%s\" to use the project.\n",
          projectFile.c_str(), folder.journal.c_str(), why.empty() ? "" : " (", why.c_str(), why.empty() ? "" : ")",
          folder.kept.c_str(), folder.root.c_str());
  return Fail(kFailure, "ERROR: ICheckpoint - The journal of an interrupted restore cannot be used: \"%s\".\n",
              folder.journal.c_str());
}

// The folder of a restore that it cannot take away, at its end or after it failed (`how` says
// which, and leads to what follows): no longer the one it made (its proof touched since), or one
// that keeps something. Nothing more of it is removed, and the user is told what it stops: the
// next open while it keeps its journal, else the next restore. `replaced`: the restore is done,
// and its old/ keeps the project's files as they were, their only copies, which removing the
// folder loses; the user is told where they are and how to get the project back by hand. A
// folder emptied whose own removal failed is named with the system's reason (`error`). The
// answer is `status`.
Status NotDiscarded(const Folder& folder, const String& projectFile, const char* how,
                    Status status = kCleanupFailed, bool replaced = false, int error = 0) {
  const bool proven = MadeByARestore(folder);
  const bool emptied = !proven && HoldsNothing(folder);
  const std::string why =
      proven    ? std::string("cannot be removed")
      : emptied ? "was emptied and could not itself be removed: " +
                      std::string(error != 0 ? std::strerror(error) : "the reason is not known")
                : "no longer proves itself the one it made (its mark \"" + folder.made.filename().string() +
                      "\" or its record was changed), so nothing in it is removed";
  std::string stops = Present(folder.journal)
                          ? "The project is not opened again while the folder is there: look through it and remove it."
                      : emptied ? "The project's next open tries again to remove it; a restore of this project fails "
                                  "until it is removed."
                                : "A restore of this project fails until it is removed.";
  if (replaced && Present(folder.kept)) {
    const std::string kept = "The project's own files that it replaced are kept in \"" + folder.kept.string() + "\"";
    const std::string keep = "to keep the restore, move out of the folder what you want to keep of them, and only "
                             "then remove it";
    if (!Present(folder.journal)) {
      stops = kept + ": " + keep + ". A restore of this project fails until it is removed.";
    } else if (proven) {
      // Its journal still proven, the next open takes it for a killed restore and undoes it.
      stops = kept + ", and the project's next open undoes the restore, putting them back; " + keep + ".";
    } else {
      const std::string added = Present(folder.added)
                                    ? ", take away each entry that \"" + folder.added.string() + "\" names"
                                    : std::string();
      stops = kept + ", and the project is not opened again while the folder is there. To get the project back as "
                     "it was, move each of them back to its place in \"" +
              fs::path(projectFile.str()).parent_path().string() + "\", in place of what is there" + added +
              ", and then remove the folder; " + keep + " (removing it alone loses them).";
    }
  }
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueError("The snapshot restore of \"%s\" %s its folder \"%s\" %s. %s\n", projectFile.c_str(), how,
                  folder.root.c_str(), why.c_str(), stops.c_str());
  return Fail(status,
              "ERROR: ICheckpoint::RestoreCheckpointProject - The restore's folder cannot be removed: \"%s\".\n",
              folder.root.c_str());
}

// Takes the folder of a restore that failed before it replaced anything away, or says that it
// stays; the answer is the failure's own.
Status FailedBeforeReplacing(const Folder& folder, const String& projectFile, Status status) {
  int error = 0;
  if (Discard(folder, &error) || !Present(folder.root)) return status;
  return NotDiscarded(folder, projectFile, "failed before it replaced any of the project's files, and", status, false,
                      error);
}

// A journal in a folder that does not prove itself the restore's is followed in no way, and the
// project may be half restored: the user is told where its own files are and how to put them
// back by hand, since taking the folder away alone would lose them.
Status NotProven(const Folder& folder, const String& projectFile) {
  const fs::path live = fs::path(projectFile.str()).parent_path();
  const std::string added =
      Present(folder.added) ? ", take away from there each entry that \"" + folder.added.string() + "\" names" : "";
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueError("\"%s\" holds the journal of a snapshot restore of \"%s\", but is no folder a snapshot restore "
                  "made there (a copy of one, one whose mark \"%s\" was touched since, or one an earlier version "
                  "made): the journal is not followed and nothing is moved. The project may be as a restore killed "
                  "on the way left it, and is not opened while the folder is there. The project's own files that "
                  "the restore replaced are kept in \"%s\": to get the project back, move each of them back to its "
                  "place in \"%s\", in place of what is there%s, and then remove \"%s\".\n",
                  folder.root.c_str(), projectFile.c_str(), folder.made.filename().c_str(), folder.kept.c_str(),
                  live.c_str(), added.c_str(), folder.root.c_str());
  return kFailure;
}


// The restore folders that a restore of this process holds while it works: its own reopen of
// the project is no open that finds another restore under way.
std::mutex g_heldLock;
std::set<std::string> g_held;

class HeldHere {
 public:
  explicit HeldHere(const fs::path& root) : m_root(root.string()) {
    const std::lock_guard<std::mutex> guard(g_heldLock);
    g_held.insert(m_root);
  }
  HeldHere(const HeldHere&) = delete;
  HeldHere& operator=(const HeldHere&) = delete;
  ~HeldHere() {
    const std::lock_guard<std::mutex> guard(g_heldLock);
    g_held.erase(m_root);
  }
  static bool Holds(const fs::path& root) {
    const std::lock_guard<std::mutex> guard(g_heldLock);
    return g_held.count(root.string()) != 0;
  }

 private:
  std::string m_root;
};

// A folder of a restore that is over, emptied, that could not itself be removed (`error` says
// why): the project is whole, and only a restore waits for it to go.
void EmptiedFolderStays(const Folder& folder, int error) {
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueWarning("The folder \"%s\" of a snapshot restore that is over was emptied and could not itself be "
                    "removed: %s. A restore of this project fails until it is removed.\n",
                    folder.root.c_str(), std::strerror(error));
}

void LeftAsItIs(const fs::path& path) {
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueWarning("\"%s\" is left as it is: it is no folder a snapshot restore made there. A restore of this "
                    "project fails until it is removed.\n",
                    path.c_str());
}

}  // namespace

Status FinishInterruptedRestore(const String& projectFile) {
  if (projectFile.empty()) return kSuccess;
  const Folder folder(projectFile);
  const fs::file_type type = TypeOf(folder.root);
  if (type == fs::file_type::not_found) return kSuccess;
  // Only a directory of its own is a restore's: anything else at the name stays, never followed.
  if (type != fs::file_type::directory) {
    LeftAsItIs(folder.root);
    return kSuccess;
  }
  // Held while a restore works in its folder, so that no other open or restore, in this
  // process or another, takes the folder for one that was killed.
  DirectoryLock lock;
  if (!lock.Take(folder.root.string(), false)) {
    if (lock.Busy() && HeldHere::Holds(folder.root)) return kSuccess;
    Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
        .issueError("A snapshot restore of \"%s\" is under way in another process, or its folder \"%s\" cannot be "
                    "read: the project is not opened until it is over.\n",
                    projectFile.c_str(), folder.root.c_str());
    return kOwnerMissing;
  }
  // Empty, or with only what is left of its proof, as a restore killed as it made its folder or
  // took it away leaves it, it holds nothing to lose.
  int error = 0;
  if (HoldsNothing(folder)) {
    if (!Discard(folder, &error) && Present(folder.root)) EmptiedFolderStays(folder, error);
    return kSuccess;
  }
  // Nothing in a folder that does not prove itself a restore's is read or moved, its journal
  // among it: it stays as it is, named. Without a journal the project is whole and opens; with
  // one it may be as a killed restore left it, which no open may pass for a project.
  OwnedFolder::SealedDevices devices;
  if (!MadeByARestore(folder, &devices)) {
    if (!Present(folder.journal)) {
      LeftAsItIs(folder.root);
      return kSuccess;
    }
    return NotProven(folder, projectFile);
  }
  // Without its journal the restore had not begun to replace anything, or had put everything
  // back: its folder goes. The project itself is whole either way, so a folder that cannot go is
  // only named.
  if (!Present(folder.journal)) {
    if (Discard(folder, &error)) return kSuccess;
    if (HoldsNothing(folder)) {
      EmptiedFolderStays(folder, error);
    } else {
      Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
          .issueWarning("The folder \"%s\" of a snapshot restore that is over cannot be removed. A restore of this "
                        "project fails until it is removed.\n",
                        folder.root.c_str());
    }
    return kSuccess;
  }
  std::string why;
  const std::optional<std::vector<Entry>> entries = ReadJournal(folder, why);
  // The folder's own places are directories or missing: nothing is moved through a link there.
  const auto own = [](const fs::path& place) {
    const fs::file_type type = TypeOf(place);
    return type == fs::file_type::directory || type == fs::file_type::not_found;
  };
  if (!entries || !own(folder.staged) || !own(folder.kept) || !own(folder.added))
    return Untrusted(folder, projectFile, why);
  // What old/ and added/ hold beyond the journal's entries may be the project's only copy.
  const Named named(*entries);
  std::string stray;
  if (!OnlyNamed(folder.kept, named, stray) || !OnlyNamed(folder.added, named, stray))
    return Untrusted(folder, projectFile, stray.empty() ? std::string() : "it does not name \"" + stray + "\"");
  const fs::path live = fs::path(projectFile.str()).parent_path();
  const Status back = PutBack(folder, live, *entries, devices, &why, &error);
  if (back == kFailure) return Untrusted(folder, projectFile);
  // Emptied, the folder keeps nothing of the project's, which is whole: it opens.
  if (back == kCleanupFailed && HoldsNothing(folder)) {
    EmptiedFolderStays(folder, error);
  } else if (back == kCleanupFailed) {
    return NotDiscarded(folder, projectFile, "was undone, the project is as it was before it, but",
                        kDirectoryWriteFailed, false, error);
  } else if (back != kSuccess) {
    return NotPutBack(folder, projectFile, why);
  }
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
      .issueWarning("A snapshot restore of \"%s\" was interrupted; the project is as it was before it.\n",
                    projectFile.c_str());
  return kSuccess;
}

// A restore that finds another one at work, or one it cannot undo, stops and touches nothing.
static Status AnotherRestore(const Folder& folder, Status status = kOwnerMissing) {
  return Fail(status,
              "ERROR: ICheckpoint::RestoreCheckpointProject - Another restore of the project is under way or "
              "could not be undone: \"%s\".\n",
              folder.root.c_str());
}

Status RestoreOver(IProjectBundle* bundle, IProjectHelper* helper, const String& projectDirectory,
                   const String& projectFile, Prjrep::IStringIterator** items) {
  if (items != nullptr) *items = nullptr;
  if (bundle == nullptr || helper == nullptr || projectDirectory.empty() || projectFile.empty()) return kFailure;
  const Folder folder(projectFile);
  const fs::path live(projectDirectory.str());

  // What a killed restore left is undone first; one still running is not disturbed.
  if (const Status finished = FinishInterruptedRestore(projectFile); finished != kSuccess) {
    return AnotherRestore(folder, finished == kOwnerMissing ? kOwnerMissing : kFailure);
  }
  DirectoryLock lock;
  // A folder another restore made meanwhile is its own: it is left alone, and this one stops.
  if (!Port::File::mkdir(Text(folder.root), false) && TypeOf(folder.root) != fs::file_type::not_found) {
    return AnotherRestore(folder);
  }
  if (TypeOf(folder.root) == fs::file_type::not_found || !lock.Take(folder.root.string(), false) ||
      !lock.Is(folder.root.string()) || !MarkAsMade(folder) || !Port::File::mkdir(Text(folder.staged), false)) {
    const Status failed = Fail(kDirectoryWriteFailed,
                               "ERROR: ICheckpoint::RestoreCheckpointProject - Cannot make the folder to perform the "
                               "restore: \"%s\".\n",
                               folder.root.c_str());
    // Without its lock the folder is another's, or gone.
    return lock.Is(folder.root.string()) ? FailedBeforeReplacing(folder, projectFile, failed) : failed;
  }
  const HeldHere held(folder.root);

  // Staged whole before the project is touched: a file that could not be staged fails the
  // restore, whatever the bundle answers.
  Prjrep::AutoRelease<Prjrep::IStringIterator> failed;
  Status status = bundle->ExtractTo(Text(folder.staged), failed.Receive());
  if (status == kSuccess && failed && !failed->IsDone()) status = kDirectoryWriteFailed;
  if (items != nullptr) *items = failed.Detach();
  if (status != kSuccess) {
    // The bundle keeps what it replaces in a temporary folder first: the project's folder is not
    // the one to blame then.
    if (status == kTempDirNotCreated) {
      status = Fail(status,
                    "ERROR: ICheckpoint::RestoreCheckpointProject - Cannot stage the snapshot to perform the restore: "
                    "no temporary folder can be made in \"%s\" (the temporary directory, TMPDIR).\n",
                    FileUtils::TemporaryDirectory().c_str());
    } else {
      status = Fail(status,
                    "ERROR: ICheckpoint::RestoreCheckpointProject - Cannot stage the snapshot in the Project "
                    "directory to perform the restore: \"%s\".\n",
                    folder.staged.c_str());
    }
    return FailedBeforeReplacing(folder, projectFile, status);
  }
  // The marker names the snapshot, never the live project.
  const String marker = ReplaceProjectExtension(projectFile, ".snp");
  std::ignore = Port::File::remove_f(Text(folder.staged / Port::FileName(marker).GetTail().str()));
  // Nor is the mark of a take that was killed before it let it go the project's.
  if (TypeOf(folder.staged / kTakeMark) == fs::file_type::regular)
    std::ignore = Port::File::remove_f(Text(folder.staged / kTakeMark));

  // A folder of the user's where the snapshot puts back a file stops the restore before the
  // project is closed; looked at again below, once it is, for one made meanwhile.
  if (std::vector<Entry> preview; CollectEntries(folder.staged, live, fs::path(), preview, folder.root.filename())) {
    if (const std::optional<fs::path> found = FolderAtAFilesName(live, preview))
      return FailedBeforeReplacing(folder, projectFile, FolderRefused(*found));
  }

  // Read before the close: the reopened project holds the snapshot's.
  std::optional<String> description;
  if (Prjrep::AutoPtr<IProject> project = ProjectOf(helper); project) {
    description = PropertyAccessor(project.Get()).GetPropertyValue("PROP_ProjectDescription");
  }
  const Status closed = helper->CloseProject();
  if (closed != kSuccess) return FailedBeforeReplacing(folder, projectFile, closed);

  std::vector<Entry> entries;
  const bool collected = CollectEntries(folder.staged, live, fs::path(), entries, folder.root.filename());
  // The partitions belong with the project file: a snapshot without them takes the project's
  // away, as its close has just written them.
  const fs::path partitions = fs::path(projectFile.str()).filename().replace_extension(".hdp");
  if (const fs::file_type type = TypeOf(live / partitions);
      !Present(folder.staged / partitions) && (type == fs::file_type::regular || type == fs::file_type::symlink))
    entries.push_back({partitions, true, std::nullopt});
  const std::optional<fs::path> refused = collected ? FolderAtAFilesName(live, entries) : std::nullopt;
  status = refused                                     ? FolderRefused(*refused)
           : collected && WriteJournal(folder, entries) ? kSuccess
                                                        : kDirectoryWriteFailed;
  std::size_t switched = 0;
  for (; status == kSuccess && switched < entries.size(); ++switched) {
    if (!SwitchIn(folder, live, entries[switched])) status = kDirectoryWriteFailed;
  }
  const bool opening = status == kSuccess;
  if (opening) status = OpenThrough(helper, projectFile);
  if (opening && status == kSuccess && description) status = Redescribe(helper, *description);
  if (status != kSuccess) {
    // A project that opened with errors is let go before its files are put back under it.
    if (opening) std::ignore = helper->CloseProject();
    int error = 0;
    const Status back = PutBack(folder, live, entries, {}, nullptr, &error);
    if (back == kFailure) std::ignore = Untrusted(folder, projectFile);
    else if (back == kCleanupFailed)
      std::ignore = NotDiscarded(folder, projectFile, "failed and put the project's files back, but",
                                 kCleanupFailed, false, error);
    else if (back != kSuccess) std::ignore = NotPutBack(folder, projectFile);
    // Let go first: the open tries once more to put back what could not be.
    lock.Release();
    std::ignore = OpenThrough(helper, projectFile);
    return status;
  }
  std::ignore = Port::File::remove_f(marker);
  // A folder left with its journal stops the next open: a restore that cannot take its own
  // folder away is not done.
  if (int error = 0; !Discard(folder, &error) && Present(folder.root))
    return NotDiscarded(folder, projectFile, "put the snapshot's files in place, but", kCleanupFailed, true, error);
  return kSuccess;
}

}  // namespace Hvd::Snapshots
