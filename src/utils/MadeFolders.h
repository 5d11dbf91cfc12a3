#pragma once
// The folders one command makes on the way to a path, and the files it writes into them, so that
// the command, refused, takes back exactly those: each file it wrote that is still the file it
// wrote, then each folder it made in this call that is still the folder it made and holds
// nothing. A folder that was there before, or that holds anything now, is never touched; nor is
// a file another put at a name the command wrote. What was at a name the command writes is kept
// aside until the command's result is kept, and put back when it is refused.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Hvd {

class MadeFolders {
 public:
  MadeFolders() = default;
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  // Keeps what it made, and what it set aside where it is: taking back or keeping is asked for.
  ~MadeFolders() = default;

  // Makes `path` and the folders missing on the way to it, with `mode`, recording each one made
  // here. True when `path` is a folder afterwards; errno tells why not.
  bool Make(const std::string& path, unsigned mode = 0777);

  // Records the file or link at `path`, which the command has just written there, as it is now:
  // the command writes nothing to it afterwards. Written again, it is recorded again. What was
  // at the name before is to be set aside first (SetAside). A folder there, which SetAside leaves,
  // is not recorded: the write failed on it.
  void Wrote(const std::string& path);

  // Frees `path` for the command to write, keeping what is there: a file, a link (never what it
  // leads to) or any other entry but a folder is renamed to a private name beside it, in its
  // folder held open, and recorded as it is there; one the command wrote itself is removed. A
  // folder stays: a write there fails as it would. True when the name is free of all but a
  // folder; errno tells why not, and then nothing moved.
  bool SetAside(const std::string& path);
  // Puts back at once what the last SetAside of `path` moved, as TakeBack would, while the name
  // is free: for a write that failed before it reached the name.
  void PutBack(const std::string& path);

  // Takes back the files recorded, each only while the name holds the very file written (never
  // what a link there leads to), then the folders recorded, the deepest first, each only while
  // it is still the folder made and holds nothing, then puts back what was set aside, the last
  // first, each while its private name still holds it and its own name is free. A folder that
  // holds something stays, and so do those above it that hold it; one gone already, or a file
  // gone with its folder, is passed over. A file or folder that another's now stands in place
  // of, one that should go and could not, and one set aside that could not be put back (with
  // the name that keeps it), is named in a warning (with the system's reason). False when one
  // stayed so.
  bool TakeBack();

  // A folder made that stays because it holds something is named too (the deepest only), as the
  // place a refused copy leaves: where the command writes into folders it made, what stays there
  // is what another put there or what it could not take back.
  void NameWhatStays() noexcept { m_nameWhatStays = true; }

  // What was recorded is the command's result now, kept; what was set aside for it goes, each
  // only while its private name still holds it, a failure named in a warning.
  void Keep();

 private:
  // What tells a file or folder made here from another put at its name since: device, inode and
  // type, and its birth time where the file system keeps one, which a reused inode does not
  // keep. A file's size and its modification and change times are recorded as written: the
  // change time cannot be set back. A folder's cannot be kept, as each entry changes them.
  struct Time {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    bool operator==(const Time&) const = default;
  };
  struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    unsigned type = 0;
    std::uint64_t size = 0;
    Time modified;
    Time changed;
    std::optional<Time> born;
  };
  struct Made {
    std::string path;
    Identity identity;
  };
  // What stood at `path` before the command wrote there, kept as `name` in the same folder.
  struct Aside {
    std::string path;
    std::string name;
    Identity identity;
  };
  // What `name` in the folder open as `at` (AT_FDCWD: from here) is itself, a link not followed.
  static std::optional<Identity> IdentityAt(int at, const char* name);
  // Whether `now` is the file or folder recorded as `was`.
  static bool Same(const Identity& was, const Identity& now);
  static bool TakeBackFile(const std::string& path, const Identity& written);
  static bool GiveBack(const Aside& aside);

  std::vector<Made> m_made;                   // folders, outermost first
  std::map<std::string, Identity> m_written;  // files and links, by path
  std::vector<Aside> m_asides;                // in the order set aside
  bool m_nameWhatStays = false;
};

}  // namespace Hvd
