// The reference model and its messages. Keeps, of Project::Impl: every unit numbered densely in
// file order (dense, denseOf) and bound by name as the live model binds it, with the needs that
// the compile order follows (edges, secondaryStart, secondaries, secondaryUsers, and libraryNeeds,
// the library clauses no need keeps) and the instances that hierarchies follow (instanceStart,
// instanceEdges, instantiated); the messages of binding (modelMessages) and of queries
// (queryMessages). Resolve rebuilds it whole, and only when an
// answer needs it after a change (dirty): its cost is the project's, which is why the tops and
// hierarchies answer from the live model where they can.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

std::string Project::Impl::Describe(const UnitRec& unit) const {
  std::string text(pool.View(unit.name));
  if (unit.kind == UnitKind::kVhdlArchitecture) text = std::string(pool.View(unit.primary)) + "(" + text + ")";
  if (unit.kind == UnitKind::kVhdlPackageBody) text += "(body)";
  return "'" + text + "'";
}

// Messages of queries, kept once however often the query is repeated.
void Project::Impl::QueryMessage(Message message) {
  for (const Message& known : queryMessages) {
    if (known.kind == message.kind && known.text == message.text) return;
  }
  queryMessages.push_back(std::move(message));
  ++queryVersion;
  messagesStale = true;
}

void Project::Impl::ModelMessage(MessageKind kind, const UnitRec& unit, std::uint32_t line, std::string text) {
  const FileRec& file = files[unit.file];
  Message message;
  message.kind = kind;
  message.severity = Severity::kWarning;
  message.path = std::string(pool.View(file.path));
  message.line = line;
  message.text = std::move(text);
  message.file = file.handle;
  messageSink->push_back(std::move(message));
}

void Project::Impl::Missing(const UnitRec& unit, const RefRec& ref, const char* what) {
  std::string name(pool.View(ref.name));
  if (ref.library != 0) name = std::string(pool.View(ref.library)) + "." + name;
  ModelMessage(MessageKind::kMissingUnit, unit, ref.line,
               std::string(what) + " '" + name + "' needed by " + Describe(unit) + " is not in the project");
}

void Project::Impl::Resolve() {
  if (!dirty) return;
  dirty = false;
  orderDirty = true;
  modelMessages.clear();
  orderMessages.clear();
  messagesStale = true;
  extentsStale = true;
  shape.reset();

  // Dense numbering in file order: it is also every tie-break.
  dense.clear();
  OrderFilesByPlace();
  for (std::uint32_t slot : inFileOrder)
    dense.insert(dense.end(), files[slot].units.begin(), files[slot].units.end());
  const std::size_t n = dense.size();
  denseOf.assign(units.size(), kNone);
  for (std::uint32_t i = 0; i < n; ++i) denseOf[dense[i]] = i;

  edges.clear();
  instanceStart.assign(n + 1, 0);
  instanceEdges.clear();
  instantiated.assign(n, false);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> secondaryPairs;  // (primary, secondary)
  secondaryUsers.clear();
  libraryNeeds.clear();
  definedAgain.clear();
  againInFile.clear();
  std::vector<Orderer::Edge> unitEdges;
  std::vector<std::pair<Sym, std::uint32_t>> named;  // the unit's library clauses: (library, line)

  for (std::uint32_t i = 0; i < n; ++i) {
    const UnitRec& unit = units[dense[i]];
    const Sym own = LibraryOf(unit);
    const bool vhdl = IsVhdl(unit.kind);
    unitEdges.clear();
    named.clear();
    auto edgeTo = [&](std::uint32_t target, bool hard, bool weak) {
      if (target != kNone && target != i) unitEdges.push_back({i, target, hard, weak});
    };
    // A name the unit's own file defined again before it is that unit when the file is compiled.
    auto seen = [&](std::uint32_t target) { return SeenInFile(unit.file, target); };
    auto need = [&](std::uint32_t target, bool hard) { edgeTo(seen(target), hard, false); };
    const std::uint32_t used = DuplicateCheck(i, unit);
    if (used != kNone && units[dense[used]].file != unit.file) {
      definedAgain.emplace_back(i, used);
      againInFile[std::uint64_t{unit.file} << 32 | used] = i;
    }
    // What a compile's library does not keep instantiates nothing (KeptLive).
    bool kept = used == kNone;
    // A file that found macros of earlier files follows them, unless that closes a cycle: a
    // package it imports from a later file counts for more, and where it found only what a
    // header it includes itself sets, a module it instantiates from a later file too.
    const FileMacros& macros = files[unit.file].Macros();
    for (std::uint32_t source : macros.macroSources) {
      const bool header = std::binary_search(macros.headerSources.begin(), macros.headerSources.end(), source);
      for (std::uint32_t other : files[source].units) edgeTo(denseOf[other], false, header);
    }

    std::uint32_t primary = kNone;  // the entity or package of a secondary unit
    if (unit.kind == UnitKind::kVhdlArchitecture || unit.kind == UnitKind::kVhdlPackageBody ||
        unit.kind == UnitKind::kVhdlConfiguration) {
      const bool body = unit.kind == UnitKind::kVhdlPackageBody;
      // An entity a Verilog module of its name replaced in the library is still compiled first.
      primary =
          Find(unit.primaryKey, body ? Bit(UnitKind::kVhdlPackage) : Bit(UnitKind::kVhdlEntity), own, 0, true, true);
      if (primary != kNone && DefinedAgainLive(dense[primary])) kept = false;
      if (primary == kNone) {
        kept = false;
        ModelMessage(MessageKind::kMissingUnit, unit, unit.line,
                     std::string(body ? "package '" : "entity '") + std::string(pool.View(unit.primary)) + "' of " +
                         Describe(unit) + " is not in the project");
      } else if (unit.kind == UnitKind::kVhdlConfiguration) {
        need(primary, true);
      } else if (const std::uint32_t owner = body ? kNone : OwnerOf(dense[i]);
                 owner != kNone && owner != dense[primary]) {
        // Analysed with a definition of its entity that a later one replaced: it is obsolete.
        kept = false;
        edgeTo(denseOf[owner], true, false);
        secondaryPairs.emplace_back(denseOf[owner], i);
      } else {
        kept = kept && (body || owner != kNone);
        need(primary, true);
        secondaryPairs.emplace_back(seen(primary), i);
      }
    }

    for (std::uint32_t r = 0; r < unit.refs.size(); ++r) {
      const RefRec& ref = unit.refs[r];
      Sym library = ref.library == work ? own : ref.library;
      switch (ref.kind) {
        case RefKind::kUse:
        case RefKind::kContext: {
          if (!IsProjectLibrary(library)) break;  // a library from outside, such as ieee
          const std::uint32_t mask =
              ref.kind == RefKind::kContext ? Bit(UnitKind::kVhdlContext) : (kVhdlPrimaries | kPackages);
          const std::uint32_t target = Find(ref.key, mask, library, 0, true);
          if (target == kNone) Missing(unit, ref, ref.kind == RefKind::kContext ? "context" : "unit");
          need(target, true);
          if (target != kNone && units[dense[target]].kind == UnitKind::kVhdlPackage) {
            secondaryUsers.emplace_back(i, seen(target));
          }
          break;
        }
        case RefKind::kInstance: {
          std::uint32_t target = Find(ref.key, kCells, own, vhdl ? 0 : ref.name, vhdl);
          if (target == kNone) target = Find(ref.key, kCells, 0, vhdl ? 0 : ref.name, vhdl);
          if (target == kNone) {
            Missing(unit, ref, vhdl ? "component" : "module");
          } else {
            if (kept) instantiated[target] = true;
            if (units[dense[target]].kind == UnitKind::kVhdlEntity) secondaryUsers.emplace_back(i, seen(target));
          }
          need(target, false);
          instanceEdges.push_back({r, target, kNone});
          ++instanceStart[i + 1];
          break;
        }
        case RefKind::kEntityInstance:
        case RefKind::kEntityBinding:
        case RefKind::kConfigurationInstance:
        case RefKind::kConfigurationBinding: {
          const bool entity = ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kEntityBinding;
          const bool outside = ref.library != 0 && !IsProjectLibrary(library);
          const std::uint32_t mask = entity ? Bit(UnitKind::kVhdlEntity) : Bit(UnitKind::kVhdlConfiguration);
          std::uint32_t target = outside ? kNone : Find(ref.key, mask, ref.library != 0 ? library : own, 0, true);
          if (target == kNone && ref.library == 0) target = Find(ref.key, mask, 0, 0, true);
          // Without a VHDL entity of that name a Verilog module is bound, its name compared as VHDL does.
          if (target == kNone && entity && !outside) {
            target = Find(ref.key, kVerilogCells, ref.library != 0 ? library : own, 0, true);
            if (target == kNone && ref.library == 0) target = Find(ref.key, kVerilogCells, 0, 0, true);
          }
          std::uint32_t architecture = kNone;
          if (target == kNone) {
            if (!outside) Missing(unit, ref, entity ? "entity" : "configuration");
          } else {
            need(target, true);
            if (entity && ref.secondary != 0 && units[dense[target]].kind == UnitKind::kVhdlEntity) {
              architecture = FindSecondary(target, UnitKind::kVhdlArchitecture, ref.secondary);
              if (architecture == kNone) {
                ModelMessage(MessageKind::kMissingUnit, unit, ref.line,
                             "architecture '" + std::string(pool.View(ref.secondary)) + "' of entity '" +
                                 std::string(pool.View(ref.name)) + "' is not in the project");
              }
              // Only the primary units a unit names must be analysed before it: the architecture
              // an instance or a binding names may follow, as its entity's file may hold them too.
              need(architecture, false);
            }
            if (kept) instantiated[target] = true;
            if (entity) secondaryUsers.emplace_back(i, seen(target));
            if (!entity) {
              const UnitRec& configuration = units[dense[target]];
              const std::uint32_t configured =
                  Find(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(configuration), 0, true);
              if (configured != kNone && kept) instantiated[configured] = true;
            }
          }
          if (ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kConfigurationInstance) {
            instanceEdges.push_back({r, target, architecture});
            ++instanceStart[i + 1];
          }
          break;
        }
        case RefKind::kArchitecture: {
          const std::uint32_t entity = Find(unit.primaryKey, Bit(UnitKind::kVhdlEntity), own, 0, true);
          if (entity == kNone) break;  // reported with the configuration
          const std::uint32_t architecture = FindSecondary(entity, UnitKind::kVhdlArchitecture, ref.key);
          if (architecture == kNone) Missing(unit, ref, "architecture");
          need(architecture, true);
          break;
        }
        case RefKind::kBind: {
          // Instantiated where the bind puts it, which the hierarchy does not follow: no top.
          std::uint32_t target = Find(ref.key, kCells, own, ref.name, false);
          if (target == kNone) target = Find(ref.key, kCells, 0, ref.name, false);
          if (target == kNone) {
            Missing(unit, ref, "module");
          } else if (kept) {
            instantiated[target] = true;
          }
          break;
        }
        case RefKind::kSelected: {
          // A package of a library the context clause of its entity or package names; otherwise a
          // record's field, or a name the compile rejects: no need either way, and nothing missing.
          if (primary == kNone || !IsProjectLibrary(library)) break;
          const std::vector<RefRec>& clauses = units[dense[seen(primary)]].refs;
          if (std::none_of(clauses.begin(), clauses.end(), [&](const RefRec& clause) {
                return clause.kind == RefKind::kLibrary && clause.library == library;
              })) {
            break;
          }
          const std::uint32_t target = Find(ref.key, Bit(UnitKind::kVhdlPackage), library, 0, true);
          need(target, true);
          if (target != kNone) secondaryUsers.emplace_back(i, seen(target));
          break;
        }
        case RefKind::kLibrary:
          // Its own library, and one from outside such as ieee, the unit finds without the project.
          if (library != own && IsProjectLibrary(library)) named.emplace_back(library, ref.line);
          break;
        case RefKind::kImport:
        case RefKind::kScope: {
          std::uint32_t target = Find(ref.key, kPackages, own, ref.name, false);
          if (target == kNone) target = Find(ref.key, kPackages, 0, ref.name, false);
          if (target == kNone && ref.kind == RefKind::kImport) Missing(unit, ref, "package");
          need(target, true);
          break;
        }
      }
    }
    // Analysing the unit needs each library it names to hold something already: a hard need into
    // the library sees to that, else the order adds one on a file of it.
    for (const auto& each : named) {
      const auto library = each.first;
      const bool reached = std::any_of(unitEdges.begin(), unitEdges.end(), [&](const Orderer::Edge& e) {
        return e.hard && LibraryOf(units[dense[e.to]]) == library;
      });
      if (!reached) libraryNeeds.push_back({i, library, each.second});
    }
    // Repeated needs of one unit count once; a hard one wins, then one that is not weak.
    std::sort(unitEdges.begin(), unitEdges.end(), [](const Orderer::Edge& a, const Orderer::Edge& b) {
      if (a.to != b.to) return a.to < b.to;
      return a.hard != b.hard ? a.hard > b.hard : a.weak < b.weak;
    });
    for (std::size_t k = 0; k < unitEdges.size(); ++k) {
      if (k == 0 || unitEdges[k].to != unitEdges[k - 1].to) edges.push_back(unitEdges[k]);
    }
  }
  for (std::size_t i = 0; i < n; ++i) instanceStart[i + 1] += instanceStart[i];

  // A configuration needs every architecture of its entity.
  secondaryStart.assign(n + 1, 0);
  for (const auto& [primary, secondary] : secondaryPairs) ++secondaryStart[primary + 1];
  for (std::size_t i = 0; i < n; ++i) secondaryStart[i + 1] += secondaryStart[i];
  secondaries.assign(secondaryPairs.size(), 0);
  {
    std::vector<std::uint32_t> fill(secondaryStart.begin(), secondaryStart.end() - 1);
    for (const auto& [primary, secondary] : secondaryPairs) secondaries[fill[primary]++] = secondary;
  }
}

// The unit used where `unit` is defined again, dense; kNone where it is the one used. In the same
// file the message names it by its line.
std::uint32_t Project::Impl::DuplicateCheck(std::uint32_t i, const UnitRec& unit) {
  const std::uint32_t used = UsedDefinition(dense[i]);
  if (used == dense[i]) return kNone;
  std::string where(pool.View(files[units[used].file].path));
  if (units[used].file == unit.file) where += " at line " + std::to_string(units[used].line);
  ModelMessage(MessageKind::kDuplicateUnit, unit, unit.line,
               Describe(unit) + " is defined again; the one in " + where + " is used");
  return denseOf[used];
}

// A top by name: an entity, module, program or configuration, the exact spelling first.
// FindTop, with a message when nothing of that name can be a top.
std::uint32_t Project::Impl::FindTopOrReport(std::string_view name, std::string_view library) {
  const std::uint32_t found = FindTop(name, library);
  if (found == kNone) ReportUnknownTop(name);
  return found;
}

std::uint32_t Project::Impl::FindTop(std::string_view name, std::string_view library) {
  return FindTopWith(name, library, [this](auto... args) { return Find(args...); });
}

}  // namespace Hdl::scan
