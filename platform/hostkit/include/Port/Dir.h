#pragma once
// The entries of one directory, read once when the listing is made.

#include <vector>

#include "Port/StringBase.h"

class UT_DIR {
 public:
  // What an entry is, seen without following links: a link to a directory is a
  // link.
  enum class Kind { kFile, kDirectory, kLink, kOther };
  struct Entry {
    Port::StringBase<char> name;
    Kind kind = Kind::kOther;
  };
  using const_iterator = std::vector<Entry>::const_iterator;

  // Lists `path` (a link naming a directory is followed), by name in byte order
  // and without
  // "." and "..". The options value of the host's signature changes nothing on
  // this host.
  explicit UT_DIR(const Port::StringBase<char>& path, int options = 0);

  // False when the path could not be listed; the listing is then empty.
  bool isValid() const noexcept { return m_valid; }
  const_iterator begin() const noexcept { return m_entries.begin(); }
  const_iterator end() const noexcept { return m_entries.end(); }

 private:
  std::vector<Entry> m_entries;
  bool m_valid = false;
};

using UT_DIR_ITERATOR = UT_DIR::const_iterator;
