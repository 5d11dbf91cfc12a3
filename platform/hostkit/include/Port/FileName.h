#pragma once
// Paths and files of the host's file system. Paths use '/' and compare case-sensitively.

#include "Port/StringBase.h"

namespace Port {

class FileName {
 public:
  FileName() = default;
  explicit FileName(const StringBase<char>& path) : m_path(path) {}

  const StringBase<char>& GetPath() const noexcept { return m_path; }
  // The path made absolute against the current directory; links are not resolved.
  StringBase<char> GetAbsolutePath(bool resolveLinks = false) const;
  // Removes "." and ".." steps, repeated and trailing separators.
  FileName& MakeCanonical();
  // The last component ("b.v" of "/a/b.v").
  StringBase<char> GetTail() const;

 private:
  StringBase<char> m_path;
};

class File {
 public:
  // 1 when the two names designate the same file name, else 0.
  static int namematch(const char* first, const char* second);
};

}  // namespace Port
