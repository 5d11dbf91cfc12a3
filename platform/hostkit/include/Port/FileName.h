#pragma once
// Paths and files of the host's file system. Paths use '/' and compare
// case-sensitively.

#include "Port/StringBase.h"

namespace Port {

class FileName {
 public:
  FileName() = default;
  explicit FileName(const StringBase<char>& path) : m_path(path) {}

  const StringBase<char>& GetPath() const noexcept { return m_path; }
  // The path made absolute against the current directory; links are not
  // resolved.
  StringBase<char> GetAbsolutePath(bool resolveLinks = false) const;
  // Removes "." and ".." steps, repeated and trailing separators; with
  // `resolveLinks` the existing part of the path is also resolved through its
  // links. In an absolute path a ".." steps up from where the steps before it
  // lead, as the system takes it: that part is resolved through its links as
  // far as it exists. A relative path's ".." steps are folded by their letters.
  // A ".." after a link the system cannot follow (one that leads nowhere, or
  // to itself) is kept with the steps after it: the path names nothing, as
  // the system finds (LeadsNowhere).
  FileName& MakeCanonical(bool resolveLinks = false);
  // True when the path, absolute and made canonical, still holds a ".." step:
  // one after a link the system cannot follow, so it names no file.
  bool LeadsNowhere() const;
  // The directory part, always with its trailing separator ("/a/" of "/a/b.v",
  // "/" of "/b",
  // "" of "b.v"), so that a name appended to it forms a path. The two flags of
  // the host's signature change nothing on this host.
  StringBase<char> GetHead(bool = false, bool = false) const;
  // The last component ("b.v" of "/a/b.v").
  StringBase<char> GetTail() const;
  // Replaces the last component; an empty tail leaves the head ("/a/" of
  // "/a/b.v").
  FileName& SetTail(const StringBase<char>& tail);
  // The last component without its extension ("b" of "/a/b.v", ".rc" of
  // "/a/.rc").
  StringBase<char> GetBase() const;
  // The extension with its dot (".v" of "/a/b.v"), or "".
  StringBase<char> GetExtension() const;

  static char GetPathSeparator() noexcept { return '/'; }
  // False for an empty path and for one the host cannot name: a NUL byte, or a
  // component longer than the host allows.
  static bool IsValidPath(const StringBase<char>& path);

 private:
  StringBase<char> m_path;
};

// File-system operations. Operations answer true on success; predicates answer
// false also when the path cannot be examined. Each one can be made to fail by
// Port/FaultInjection.h.
class File {
 public:
  // 1 when the two names designate the same file name, else 0.
  static int namematch(const char* first, const char* second);

  // Links are followed: a dangling link does not exist.
  static bool exist(const StringBase<char>& path);
  static bool isdir(const StringBase<char>& path);
  static bool isfile(const StringBase<char>& path);
  static bool canread(const StringBase<char>& path);
  // A directory that can be listed (read and search rights).
  static bool canread_dir(const StringBase<char>& path);
  // A directory whose entries can be added and removed (write and search
  // rights).
  static bool canwrite_dir(const StringBase<char>& path);

  // Creates a directory with `mode` less the umask. With `recursive`, missing
  // parents are made too and an existing directory is a success; without, an
  // existing one is a failure.
  static bool mkdir(const StringBase<char>& path, bool recursive, unsigned mode = 0777);
  // Removes an empty directory; a link is never followed.
  static bool rmdir(const StringBase<char>& path);
  // Removes a file, a link (never its target) or another non-directory,
  // whatever its permissions. A path that does not exist is a success.
  static bool remove_f(const StringBase<char>& path);
  // Copies the contents and permission bits of `source` to `destination`
  // through a temporary file beside it that then replaces it, so a failure
  // leaves an existing destination intact.
  static bool copy_p(const StringBase<char>& source, const StringBase<char>& destination);
  // Sets the permission bits of `mode` (0444 read-only, 0666 read-write, ...)
  // less the umask, so access never widens past it. The owner always keeps read
  // and, on a directory, all its rights; a file keeps its execute bits as far
  // as the umask allows. Special bits are cleared.
  static bool chmod(const StringBase<char>& path, unsigned mode);
  static bool rename(const StringBase<char>& from, const StringBase<char>& to);

  // The current directory, or "" on failure.
  static StringBase<char> getcwd();
  static bool chdir(const StringBase<char>& path);
  // A name that no file has yet in `directory`, or in the temporary directory
  // ($TMPDIR, else /tmp) when it is null; "" on failure. Nothing is created.
  static StringBase<char> tmpnam(const char* directory);
};

}  // namespace Port
