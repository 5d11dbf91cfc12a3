// The compile order. Keeps, of Project::Impl: each unit's needs (depStart, deps), the
// configurations that go last (late), the order of the units (order, position) and of the files
// (fileOrder), and the messages of their cycles (orderMessages). Worked out from the reference
// model by the Orderer only when an order, the messages or the order of architectures is asked for
// after a change (orderDirty).

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

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
    const std::uint32_t entity = Find(unit.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(unit), 0, true);
    if (entity == kNone) continue;
    for (std::uint32_t k = secondaryStart[entity]; k < secondaryStart[entity + 1]; ++k) {
      edges.push_back({i, secondaries[k], true, false});
    }
  }
  AppendSecondaryEdges(edges);

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

// Ordering reports only cycles of hard edges, among units or among files. A configuration's hard
// edges to its entity's architectures are added only as the order is worked out, so a project
// with configurations is ordered; the secondary edges added then are soft and close no such cycle.
bool Project::Impl::OrderMayReport() {
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
  for (std::uint32_t k : sorted) fileOrder.push_back(liveFiles[k]);
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
