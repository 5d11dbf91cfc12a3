#pragma once
// The macro history that a round of scans reads (ProjectScan.cpp): made afresh for each round from
// what the files' records leave, and kept up to date as the round's scans are taken.

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "HdlScan/Scan.h"
#include "ProjectRecords.h"
#include "ScanCommon.h"

namespace Hdl::scan {

// The macros where each file starts, as the files before it in file order leave them: the
// project's own macros, then each file's changes. Scans on other threads look into it while the
// project replaces what a file leaves, so both hold its lock.
class MacroHistory {
 public:
  struct Found {
    std::optional<MacroDefinition> definition;  // none: not defined
    std::uint32_t source = kNone;               // the file that left it so; kNone: the project's own
  };

  explicit MacroHistory(const std::vector<std::string>& given) {
    for (const std::string& setting : given) {
      std::string name;
      MacroDefinition definition;
      if (detail::ParseMacroSetting(setting, &name, &definition)) m_given[std::move(name)] = std::move(definition);
    }
  }

  // What the file `source` at `position` in file order leaves to the files after it.
  void Add(std::uint32_t position, std::uint32_t source, bool undefinesAll, const std::vector<MacroState>& left) {
    const std::unique_lock<std::shared_mutex> hold(m_lock);
    Insert(position, source, undefinesAll, left);
  }
  // The same file leaves something else now.
  void Replace(std::uint32_t position, std::uint32_t source, bool undefinedAll, const std::vector<MacroState>& was,
               bool undefinesAll, const std::vector<MacroState>& left) {
    const std::unique_lock<std::shared_mutex> hold(m_lock);
    auto of = [source](const Change& c) { return c.source == source; };
    if (undefinedAll) m_clears.erase(std::remove_if(m_clears.begin(), m_clears.end(), of), m_clears.end());
    for (const MacroState& state : was) {
      const auto found = m_changes.find(state.name);
      if (found != m_changes.end()) {
        std::erase_if(found->second, of);
        if (found->second.empty()) m_changes.erase(found);
      }
    }
    Insert(position, source, undefinesAll, left);
  }

  // The macro where the file at `position` starts.
  Found At(const std::string& name, std::uint32_t position) const {
    const std::shared_lock<std::shared_mutex> hold(m_lock);
    auto before = [position](const std::vector<Change>& list) {
      const auto at =
          std::partition_point(list.begin(), list.end(), [position](const Change& c) { return c.position < position; });
      return at == list.begin() ? nullptr : &*(at - 1);
    };
    const Change* cleared = before(m_clears);
    if (const auto found = m_changes.find(name); found != m_changes.end()) {
      const Change* change = before(found->second);
      if (change != nullptr && (cleared == nullptr || change->position >= cleared->position)) {
        return {change->definition, change->source};
      }
    }
    if (cleared != nullptr) return {std::nullopt, cleared->source};
    const auto given = m_given.find(name);
    if (given == m_given.end()) return {};
    return {given->second, kNone};
  }

 private:
  struct Change {
    std::uint32_t position;
    std::uint32_t source;
    std::optional<MacroDefinition> definition;
  };

  void Insert(std::uint32_t position, std::uint32_t source, bool undefinesAll, const std::vector<MacroState>& left) {
    auto after = [position](const auto& entry) { return entry.position > position; };
    if (undefinesAll) {
      m_clears.insert(std::find_if(m_clears.begin(), m_clears.end(), after), Change{position, source, {}});
    }
    for (const MacroState& state : left) {
      std::vector<Change>& changes = m_changes[state.name];
      changes.insert(std::find_if(changes.rbegin(), changes.rend(), [&](const Change& c) { return !after(c); }).base(),
                     Change{position, source, state.definition});
    }
  }

  std::unordered_map<std::string, MacroDefinition> m_given;
  std::unordered_map<std::string, std::vector<Change>> m_changes;  // by position
  std::vector<Change> m_clears;                                    // `undefineall`, by position
  mutable std::shared_mutex m_lock;
};

}  // namespace Hdl::scan
