#pragma once
// What the migration reads from an older repository, and what it will build.

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "Port/StringBase.h"
#include "Port/XUID.h"
#include "projectfiles/repomine/Loaders.h"

using StringPair = std::pair<Port::StringBase<char>, Port::StringBase<char>>;

// `path` made absolute and canonical, so that one old project is found however it was spelled;
// empty stays empty.
Port::StringBase<char> CanonicalPath(const Port::StringBase<char>& path);

// Every old object read, by kind; each loader is owned by exactly one list.
struct MigrationState {
  std::vector<std::unique_ptr<PersistHelper>> DbObjects;    // HDL files, elements, parser holders
  std::vector<std::unique_ptr<PersistHelper>> Others;       // files, libraries, associations, key maps, snapshots
  std::vector<std::unique_ptr<PersistHelper>> DesignUnits;  // design units
  std::map<Port::XUID, PersistHelper*> ById;                // borrowed
  std::vector<StringPair> Properties;
  std::int32_t Version = 0;

  // The loader under `id` when it is a T; a null id is never looked up.
  template <class T>
  T* Find(const Port::XUID& id) const {
    if (id.IsNull()) return nullptr;
    const auto found = ById.find(id);
    return found == ById.end() ? nullptr : dynamic_cast<T*>(found->second);
  }
};

struct FileRecord {
  Port::StringBase<char> Name;
  Port::StringBase<char> Library;      // "" and "work" mean none
  Port::StringBase<char> Origination;  // "user", "generated" or "imported"
  Port::StringBase<char> Association;  // "none", "all", "simulation" or "implementation"
};

struct BuildRecords {
  std::vector<StringPair> Properties;
  std::vector<FileRecord> Files;
};

// The name of a view-association mask: bit 0 is implementation, bits 1 to 5 simulation.
Port::StringBase<char> AssociationName(std::uint32_t bits);
// The name of an old origination code.
Port::StringBase<char> OriginationName(std::uint32_t code);
