// The compile order. Keeps, of Project::Impl: each unit's needs (depStart, deps), the
// configurations that go last (late), the order of the units (order, position) and of the files
// (fileOrder), and the messages of their cycles (orderMessages). Worked out from the reference
// model by the Orderer only when an order, the messages or the order of architectures is asked for
// after a change (orderDirty).

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "MacroHistory.h"
#include "ProjectImpl.h"

namespace Hdl::scan {

namespace {

// Whether one file needs another through the files' needs, over all of them or the hard ones only,
// with the needs that library clauses add as they are met. A search for one file keeps what it
// learnt: a file found to need it, or whose whole reach was read without it, is not read again.
class FileNeeds {
 public:
  FileNeeds(std::size_t n, const std::vector<Orderer::Edge>& edges)
      : m_start(n + 1, 0), m_next(edges.size()), m_hard(edges.size()), m_added(n), m_stamp(n, 0), m_state(n, 0) {
    for (const Orderer::Edge& e : edges) ++m_start[e.from + 1];
    for (std::size_t i = 0; i < n; ++i) m_start[i + 1] += m_start[i];
    std::vector<std::uint32_t> at(m_start.begin(), m_start.end() - 1);
    for (const Orderer::Edge& e : edges) {
      m_next[at[e.from]] = e.to;
      m_hard[at[e.from]++] = e.hard;
    }
  }

  void Add(std::uint32_t from, std::uint32_t to) { m_added[from].push_back(to); }

  // Starts the searches for the files that need `target`.
  void Seek(std::uint32_t target, bool hardOnly) {
    ++m_round;
    m_target = target;
    m_hardOnly = hardOnly;
  }

  // Whether `from` needs the target. On a search's first call that finds it, `path` gets the
  // files from `from` to the target.
  bool Needs(std::uint32_t from, std::vector<std::uint32_t>* path = nullptr) {
    if (Known(from)) return m_state[from] == kNeeding;
    m_frames.clear();
    m_visited.clear();
    Enter(from);
    while (!m_frames.empty()) {
      Frame& top = m_frames.back();
      const std::uint32_t at = top.node;
      const std::uint32_t own = m_start[at + 1] - m_start[at];
      bool found = at == m_target;
      std::uint32_t next = kNone;
      while (!found && next == kNone && top.cursor < own + m_added[at].size()) {
        const std::uint32_t k = top.cursor++;
        if (k < own && m_hardOnly && !m_hard[m_start[at] + k]) continue;
        const std::uint32_t to = k < own ? m_next[m_start[at] + k] : m_added[at][k - own];
        if (!Known(to)) {
          next = to;
        } else {
          found = m_state[to] == kNeeding;
        }
      }
      if (found) {
        // Those on the way need it; the others read are left unknown, since a way back onto the
        // path may have been all that held them.
        for (std::uint32_t node : m_visited) m_stamp[node] = 0;
        for (const Frame& frame : m_frames) {
          Mark(frame.node, kNeeding);
          if (path != nullptr) path->push_back(frame.node);
        }
        return true;
      }
      if (next != kNone) {
        Enter(next);
      } else {
        m_frames.pop_back();
      }
    }
    for (std::uint32_t node : m_visited) m_state[node] = kClear;  // the whole reach was read
    return false;
  }

 private:
  static constexpr std::uint8_t kOpen = 0, kClear = 1, kNeeding = 2;
  struct Frame {
    std::uint32_t node;
    std::uint32_t cursor;
  };

  bool Known(std::uint32_t node) const { return m_stamp[node] == m_round; }
  void Mark(std::uint32_t node, std::uint8_t state) {
    m_stamp[node] = m_round;
    m_state[node] = state;
  }
  void Enter(std::uint32_t node) {
    Mark(node, kOpen);
    m_visited.push_back(node);
    m_frames.push_back({node, 0});
  }

  std::vector<std::uint32_t> m_start, m_next;
  std::vector<std::uint8_t> m_hard;
  std::vector<std::vector<std::uint32_t>> m_added;  // hard
  std::vector<std::uint32_t> m_stamp;
  std::vector<std::uint8_t> m_state;
  std::uint32_t m_round = 0;
  std::uint32_t m_target = kNone;
  bool m_hardOnly = false;
  std::vector<Frame> m_frames;
  std::vector<std::uint32_t> m_visited;
};

}  // namespace

// The compile order of the bound model, with its cycle messages: worked out only when an order,
// the messages or the order of architectures is asked for.
void Project::Impl::ResolveOrder() {
  Resolve();
  if (!orderDirty) return;
  orderDirty = false;
  orderMessages.clear();
  messagesStale = true;
  messageSink = &orderMessages;
  struct Restore {
    std::vector<Message>*& sink;
    std::vector<Message>* was;
    ~Restore() { sink = was; }
  } restore{messageSink, &modelMessages};
  const std::size_t n = dense.size();
  for (std::uint32_t i = 0; i < n; ++i) {
    const UnitRec& unit = units[dense[i]];
    if (unit.kind != UnitKind::kVhdlConfiguration) continue;
    const std::uint32_t entity =
        SeenInFile(unit.file, Find(unit.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(unit), 0, true));
    if (entity == kNone) continue;
    for (std::uint32_t k = secondaryStart[entity]; k < secondaryStart[entity + 1]; ++k) {
      edges.push_back({i, secondaries[k], true, false});
    }
  }
  AppendSecondaryEdges(edges);
  // A library clause may be met by any file of the library: it is chosen among those the
  // defined-again edges leave free of the unit's file.
  AppendDefinedAgainEdges(edges);
  AppendLibraryEdges(edges);

  depStart.assign(n + 1, 0);
  for (const Orderer::Edge& e : edges) ++depStart[e.from + 1];
  for (std::size_t i = 0; i < n; ++i) depStart[i + 1] += depStart[i];
  deps.assign(edges.size(), 0);
  {
    std::vector<std::uint32_t> fill(depStart.begin(), depStart.end() - 1);
    for (const Orderer::Edge& e : edges) deps[fill[e.from]++] = e.to;
  }

  // Configurations that only configurations need go last; otherwise file order breaks ties.
  late.assign(n, false);
  {
    std::vector<bool> needed(n, false);
    std::vector<std::uint32_t> work;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (units[dense[i]].kind != UnitKind::kVhdlConfiguration) work.push_back(i);
    }
    while (!work.empty()) {
      const std::uint32_t at = work.back();
      work.pop_back();
      for (std::uint32_t k = depStart[at]; k < depStart[at + 1]; ++k) {
        if (!needed[deps[k]]) {
          needed[deps[k]] = true;
          work.push_back(deps[k]);
        }
      }
    }
    for (std::uint32_t i = 0; i < n; ++i)
      late[i] = units[dense[i]].kind == UnitKind::kVhdlConfiguration && !needed[i];
  }
  std::vector<std::uint64_t> keys(n);
  for (std::uint32_t i = 0; i < n; ++i) keys[i] = (std::uint64_t{late[i]} << 63) | i;
  std::vector<std::vector<std::uint32_t>> cycles;
  order = Orderer::Run(n, keys, edges, &cycles);
  position.assign(n, 0);
  for (std::uint32_t k = 0; k < n; ++k) position[order[k]] = k;
  std::vector<bool> inUnitCycle(files.size(), false);
  for (const auto& cycle : cycles) {
    std::string text = "units need each other:";
    for (std::uint32_t member : cycle) {
      text += " " + Describe(units[dense[member]]) + " ->";
      inUnitCycle[units[dense[member]].file] = true;
    }
    text += " " + Describe(units[dense[cycle.front()]]);
    const UnitRec& first = units[dense[cycle.front()]];
    ModelMessage(MessageKind::kCycle, first, first.line, std::move(text));
  }
  OrderFiles(inUnitCycle);
  ReportMacroOrder();
}

// A unit that uses a package follows the package's body, one that instantiates an entity the
// entity's architectures: tools that elaborate as they compile need them. Soft, since package
// bodies may use each other and architectures may instantiate each other's entities.
void Project::Impl::AppendSecondaryEdges(std::vector<Orderer::Edge>& into) {
  std::sort(secondaryUsers.begin(), secondaryUsers.end());
  secondaryUsers.erase(std::unique(secondaryUsers.begin(), secondaryUsers.end()), secondaryUsers.end());
  for (const auto& [user, primary] : secondaryUsers) {
    for (std::uint32_t k = secondaryStart[primary]; k < secondaryStart[primary + 1]; ++k) {
      if (secondaries[k] != user) into.push_back({user, secondaries[k], false, false});
    }
  }
}

// A unit that names another library of the project follows one file of it, since analysing the
// unit needs the library to hold something already: of the files that do not need the unit's file,
// the one the order without the clauses puts first, so that the order moves as little as it can;
// failing that, one that needs it only through soft edges, which then give way. Where every file of
// the library needs the unit's file through hard edges, the order says so and adds nothing.
void Project::Impl::AppendLibraryEdges(std::vector<Orderer::Edge>& into) {
  if (libraryNeeds.empty()) return;
  const std::vector<std::uint32_t>& liveFiles = inFileOrder;
  const std::vector<Orderer::Edge> fileEdges = FileEdges(into);
  // The files of each library named, holding a unit, in the order they would take without the clauses.
  std::unordered_map<Sym, std::vector<std::uint32_t>> candidates;
  for (const LibraryNeed& need : libraryNeeds) candidates.try_emplace(need.library);
  {
    std::vector<std::uint64_t> keys(liveFiles.size());
    for (std::uint32_t k = 0; k < liveFiles.size(); ++k) keys[k] = k;
    for (std::uint32_t k : Orderer::Run(liveFiles.size(), keys, fileEdges, nullptr)) {
      const FileRec& file = files[liveFiles[k]];
      const auto found = candidates.find(file.library);
      if (found != candidates.end() && !file.units.empty()) found->second.push_back(k);
    }
  }
  FileNeeds needs(liveFiles.size(), fileEdges);
  // By file and library: the file of the library chosen, kNone where none can be.
  std::unordered_map<std::uint64_t, std::uint32_t> chosen;
  for (const LibraryNeed& need : libraryNeeds) {
    const UnitRec& unit = units[dense[need.unit]];
    const std::uint32_t from = placeOf[unit.file];
    const std::vector<std::uint32_t>& among = candidates[need.library];
    if (among.empty()) continue;  // no file of it holds a unit
    const auto [at, first] = chosen.try_emplace(std::uint64_t{from} << 32 | need.library, kNone);
    if (first) {
      for (const bool hardOnly : {false, true}) {
        needs.Seek(from, hardOnly);
        const auto free = std::find_if(among.begin(), among.end(), [&](std::uint32_t k) { return !needs.Needs(k); });
        if (free == among.end()) continue;
        at->second = *free;
        needs.Add(from, *free);
        break;
      }
      if (at->second == kNone) {
        std::vector<std::uint32_t> path;
        needs.Seek(from, true);
        needs.Needs(among.front(), &path);
        std::string text = "units need each other: " + Describe(unit) + " names library '" +
                           std::string(pool.View(need.library)) + "', whose every file needs its file:";
        for (std::size_t k = 0; k < path.size(); ++k)
          text += (k == 0 ? " " : " -> ") + std::string(pool.View(files[liveFiles[path[k]]].path));
        ModelMessage(MessageKind::kCycle, unit, need.line, std::move(text));
      }
    }
    if (at->second != kNone) into.push_back({need.unit, denseOf[files[liveFiles[at->second]].units.front()], true, false});
  }
}

// A compile that follows the order ends with the unit used in the library, the first in file
// order, where a unit is defined again: the file of the one defined again comes first. Where that
// file needs the other through hard edges, no order can, and the order says so, once for the two.
void Project::Impl::AppendDefinedAgainEdges(std::vector<Orderer::Edge>& into) {
  if (definedAgain.empty()) return;
  FileNeeds needs(inFileOrder.size(), FileEdges(into));
  std::vector<std::uint64_t> reported;
  for (const auto& [again, used] : definedAgain) {
    const UnitRec& unit = units[dense[again]];
    const std::uint32_t from = placeOf[units[dense[used]].file];
    const std::uint32_t to = placeOf[unit.file];
    needs.Seek(from, true);
    if (!needs.Needs(to)) {
      needs.Add(from, to);
      into.push_back({used, again, true, false});
      continue;
    }
    const std::uint64_t pair = std::uint64_t{to} << 32 | from;
    if (std::find(reported.begin(), reported.end(), pair) != reported.end()) continue;
    reported.push_back(pair);
    const std::string usedPath(pool.View(files[units[dense[used]].file].path));
    ModelMessage(MessageKind::kCycle, unit, unit.line,
                 Describe(unit) + " is defined again in " + std::string(pool.View(files[unit.file].path)) +
                     ", which needs " + usedPath + ": no compile order ends with the one in " + usedPath +
                     ", which is used");
  }
}

// Ordering reports only cycles of hard edges, among units or among files. A configuration's hard
// edges to its entity's architectures are added only as the order is worked out, so a project
// with configurations is ordered; the secondary edges added then are soft and close no such cycle.
bool Project::Impl::OrderMayReport() {
  if (!libraryNeeds.empty()) return true;  // a library whose files all need the unit's file
  if (!definedAgain.empty()) return true;  // a file with a unit defined again that needs the used one's
  if (macroFiles > 0) {  // a file that found a macro another file leaves (ReportMacroOrder)
    std::unordered_set<std::string_view> left;
    bool clears = false;
    for (std::uint32_t slot : inFileOrder) {
      const FileMacros& macros = files[slot].Macros();
      clears = clears || macros.undefinesAll;
      for (const MacroState& macro : macros.macrosLeft) left.insert(macro.name);
    }
    for (std::uint32_t slot : inFileOrder) {
      for (const MacroState& found : files[slot].Macros().macrosFound) {
        if (clears || left.count(found.name) != 0) return true;
      }
    }
  }
  for (std::uint32_t slot : dense) {
    if (units[slot].kind == UnitKind::kVhdlConfiguration) return true;
  }
  return Orderer::HasHardCycle(dense.size(), edges) || Orderer::HasHardCycle(inFileOrder.size(), FileEdges(edges));
}

void Project::Impl::ResolveOrderMessages() {
  Resolve();
  // While the order waits, it has reported nothing: Resolve emptied its messages.
  if (orderDirty && OrderMayReport()) ResolveOrder();
}

std::vector<Orderer::Edge> Project::Impl::FileEdges(const std::vector<Orderer::Edge>& unitEdges) const {
  const std::vector<std::uint32_t>& liveFiles = inFileOrder;
  const std::vector<std::uint32_t>& fileDense = placeOf;
  // Unit edges come grouped by the unit that needs, and units by file: one pass drops repeats.
  std::vector<Orderer::Edge> fileEdges;
  std::vector<std::uint32_t> lastFrom(liveFiles.size(), kNone);
  std::vector<std::uint32_t> edgeOf(liveFiles.size(), 0);
  for (const Orderer::Edge& e : unitEdges) {
    const std::uint32_t from = fileDense[units[dense[e.from]].file];
    const std::uint32_t to = fileDense[units[dense[e.to]].file];
    if (from == to) continue;
    if (lastFrom[to] == from) {
      fileEdges[edgeOf[to]].hard = fileEdges[edgeOf[to]].hard || e.hard;
      fileEdges[edgeOf[to]].weak = fileEdges[edgeOf[to]].weak && e.weak;
      continue;
    }
    lastFrom[to] = from;
    edgeOf[to] = static_cast<std::uint32_t>(fileEdges.size());
    fileEdges.push_back({from, to, e.hard, e.weak});
  }
  for (std::uint32_t slot : liveFiles) {  // for the files without units, which no unit edge gave
    const FileMacros& macros = files[slot].Macros();
    for (std::uint32_t source : macros.macroSources) {
      const bool header = std::binary_search(macros.headerSources.begin(), macros.headerSources.end(), source);
      fileEdges.push_back({fileDense[slot], fileDense[source], false, header});
    }
  }
  return fileEdges;
}

void Project::Impl::OrderFiles(const std::vector<bool>& inUnitCycle) {
  const std::vector<std::uint32_t>& liveFiles = inFileOrder;
  const std::vector<Orderer::Edge> fileEdges = FileEdges(edges);
  std::vector<std::uint64_t> keys(liveFiles.size());
  for (std::uint32_t k = 0; k < liveFiles.size(); ++k) {
    const FileRec& file = files[liveFiles[k]];
    bool allLate = !file.units.empty();
    for (std::uint32_t slot : file.units) allLate = allLate && late[denseOf[slot]];
    keys[k] = (std::uint64_t{allLate} << 63) | k;
  }
  std::vector<std::vector<std::uint32_t>> cycles;
  const std::vector<std::uint32_t> sorted = Orderer::Run(liveFiles.size(), keys, fileEdges, &cycles);
  fileOrder.clear();
  compiledAt.assign(files.size(), kNone);
  for (std::uint32_t k : sorted) {
    compiledAt[liveFiles[k]] = static_cast<std::uint32_t>(fileOrder.size());
    fileOrder.push_back(liveFiles[k]);
  }
  for (const auto& cycle : cycles) {
    bool known = true;
    for (std::uint32_t member : cycle) known = known && inUnitCycle[liveFiles[member]];
    if (known) continue;
    std::string text = "files need each other, though their units do not:";
    for (std::uint32_t member : cycle) text += " " + std::string(pool.View(files[liveFiles[member]].path));
    const FileRec& first = files[liveFiles[cycle.front()]];
    Message message;
    message.kind = MessageKind::kFileCycle;
    message.path = std::string(pool.View(first.path));
    message.text = std::move(text);
    message.file = first.handle;
    orderMessages.push_back(std::move(message));
  }
}

// A compile that follows the order reads each file with the macros that the files before it there
// leave, where the scan, which follows file order, read it with those that the files before it in
// file order leave. Where the two read a macro the file tests or uses otherwise, the messages name
// the macro, the line where the file first looked at it and the file that makes the difference:
// one the order puts after it, which left the macro as the scan found it, or else the one compiled
// before it that leaves it otherwise. A use of a macro undefined in both, that a file after it in
// the compile order defines, is named too. A macro set in a header the file includes itself, such
// as its guard, reads the same either way.
void Project::Impl::ReportMacroOrder() {
  if (macroFiles == 0) return;
  const std::vector<std::uint32_t>& compiled = compiledAt;  // by file slot: its place in fileOrder
  MacroHistory inCompileOrder(macros);
  for (std::uint32_t k = 0; k < fileOrder.size(); ++k) {
    const FileRec& file = files[fileOrder[k]];
    if (file.HasMacros()) inCompileOrder.Add(k, fileOrder[k], file.macros->undefinesAll, file.macros->macrosLeft);
  }
  // By name, in compile order: the places of the files that leave the macro defined. Made only
  // when some file used a macro undefined.
  std::unordered_map<std::string_view, std::vector<std::uint32_t>> definers;
  bool definersMade = false;
  const auto report = [&](const FileRec& file, std::uint32_t line, std::string text) {
    Message message;
    message.kind = MessageKind::kMacroOrder;
    message.path = std::string(pool.View(file.path));
    message.line = line;
    message.text = std::move(text);
    message.file = file.handle;
    orderMessages.push_back(std::move(message));
  };
  const auto pathOf = [&](std::uint32_t slot) { return std::string(pool.View(files[slot].path)); };
  for (std::uint32_t slot : inFileOrder) {
    if (!files[slot].HasMacros() || compiled[slot] == kNone) continue;
    const FileRec& file = files[slot];
    const FileMacros& macros = *file.macros;
    for (std::size_t k = 0; k < macros.macrosFound.size(); ++k) {
      const MacroState& found = macros.macrosFound[k];
      const MacroHistory::Found read = inCompileOrder.At(found.name, compiled[slot]);
      if (read.definition == found.definition) continue;
      const std::uint32_t line = k < macros.macrosFoundAt.size() ? macros.macrosFoundAt[k] : 0;
      const std::uint32_t source = k < macros.foundSources.size() ? macros.foundSources[k] : kNone;
      if (source != kNone && compiled[source] > compiled[slot]) {
        if (SetInSharedHeader(file, files[source], found.name)) continue;
        report(file, line,
               "macro '" + found.name + "' is used before " + pathOf(source) + " " +
                   (found.definition ? "defines" : "undefines") + " it");
        continue;
      }
      if (read.source == kNone || SetInSharedHeader(file, files[read.source], found.name)) continue;
      const char* as = !found.definition ? "undefined" : !read.definition ? "defined" : "with another value";
      report(file, line,
             "macro '" + found.name + "' is read " + as + " in file order, though " + pathOf(read.source) +
                 ", compiled before it, " + (read.definition ? "defines" : "undefines") + " it");
    }
    for (std::size_t k = 0; k < macros.macrosUsedUndefined.size(); ++k) {
      const std::string& name = macros.macrosUsedUndefined[k];
      if (inCompileOrder.At(name, compiled[slot]).definition) continue;  // read defined there: named above
      if (!definersMade) {
        definersMade = true;
        for (std::uint32_t at = 0; at < fileOrder.size(); ++at) {
          for (const MacroState& left : files[fileOrder[at]].Macros().macrosLeft) {
            if (left.definition) definers[left.name].push_back(at);
          }
        }
      }
      const auto found = definers.find(name);
      if (found == definers.end()) continue;
      const auto after = std::upper_bound(found->second.begin(), found->second.end(), compiled[slot]);
      if (after == found->second.end()) continue;
      report(file, k < macros.macrosUsedUndefinedAt.size() ? macros.macrosUsedUndefinedAt[k] : 0,
             "macro '" + name + "' is used before " + pathOf(fileOrder[*after]) + " defines it");
    }
  }
}

CompileOrder Project::Impl::OrderOf(const std::vector<bool>* wanted) const {
  CompileOrder result;
  std::vector<bool> fileWanted(files.size(), wanted == nullptr);
  std::vector<std::uint32_t> work;
  for (std::uint32_t i : order) {
    if (wanted != nullptr && !(*wanted)[i]) continue;
    result.units.push_back(Info(i));
    if (!fileWanted[units[dense[i]].file]) work.push_back(units[dense[i]].file);
    fileWanted[units[dense[i]].file] = true;
  }
  // With the files whose macros they find, though these may hold no unit that is needed.
  while (!work.empty()) {
    const std::uint32_t slot = work.back();
    work.pop_back();
    for (std::uint32_t source : files[slot].Macros().macroSources) {
      if (!fileWanted[source]) work.push_back(source);
      fileWanted[source] = true;
    }
  }
  for (std::uint32_t slot : fileOrder) {
    if (fileWanted[slot]) result.files.push_back(files[slot].handle);
  }
  return result;
}

// Everything `top` needs, with the architectures of the entities and the bodies of the packages.
std::vector<bool> Project::Impl::Closure(std::uint32_t top) const {
  std::vector<bool> seen(dense.size(), false);
  std::vector<std::uint32_t> work{top};
  seen[top] = true;
  while (!work.empty()) {
    const std::uint32_t at = work.back();
    work.pop_back();
    auto reach = [&](std::uint32_t next) {
      if (!seen[next]) {
        seen[next] = true;
        work.push_back(next);
      }
    };
    for (std::uint32_t k = depStart[at]; k < depStart[at + 1]; ++k) reach(deps[k]);
    for (std::uint32_t k = secondaryStart[at]; k < secondaryStart[at + 1]; ++k) reach(secondaries[k]);
  }
  return seen;
}

}  // namespace Hdl::scan
