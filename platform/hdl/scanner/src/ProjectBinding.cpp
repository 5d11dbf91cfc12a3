// The live model's bindings, by unit slot. Keeps, of Project::Impl: for each unit its instances as
// bound and the units it counts as instantiated (UnitRec's liveEdges and marks, instCount, and the
// roots that nothing instantiates), the names it looked up (UnitRec's watching, watchers), and the
// units waiting to bind again (toBind, bindQueued), which Sync binds before every answer. A unit
// that comes, goes or moves touches its name: only the units watching that name unbind, so an edit
// costs the units that looked up the names it touched. Touch also stamps the name (keyStamps) and
// marks that name's units for the next ranking, for ProjectTops.cpp.

#include <algorithm>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

void Project::Impl::Mark(std::uint32_t target, bool add) {
  DirtyRoot(target);
  if (add) {
    if (instCount[target]++ == 0) roots.erase(target);
  } else if (--instCount[target] == 0 && units[target].live && CanBeTop(units[target].kind)) {
    roots.insert(target);
  }
}

void Project::Impl::Unbind(std::uint32_t slot) {
  Unmeasure(slot);
  UnitRec& unit = units[slot];
  if (!unit.bound) return;
  unit.bound = false;
  for (std::uint32_t target : unit.marks) Mark(target, false);
  for (const std::uint64_t key : unit.watching) {
    const auto found = watchers.find(key);
    std::vector<std::uint32_t>& list = found->second;
    list.erase(std::find(list.begin(), list.end(), slot));
    if (list.empty()) watchers.erase(found);
  }
  unit.marks.clear();
  unit.watching.clear();
  unit.liveEdges.clear();
}

// Units under `key` in `library` came, went or moved: those that looked the name up there, or
// in every library, bind again.
void Project::Impl::Touch(Sym key, Sym library) {
  if (keyStamps.size() <= key) keyStamps.resize(std::max<std::size_t>(key + 1, pool.Size()), 0);
  keyStamps[key] = ++touches;
  DirtyName(key);
  for (const Sym scope : {Sym{0}, library}) {
    const auto found = watchers.find(WatchKey(key, scope));
    if (found == watchers.end()) continue;
    const std::vector<std::uint32_t> list = found->second;
    for (std::uint32_t slot : list) {
      Unbind(slot);
      Queue(slot);
    }
  }
}

void Project::Impl::Unlist(std::uint32_t slot, Sym library) {
  const std::uint64_t key = WatchKey(units[slot].IndexKey(), library);
  auto& bucket = libraryIndex[key];
  bucket.erase(std::find(bucket.begin(), bucket.end(), slot));
  if (bucket.empty()) libraryIndex.erase(key);
}

// The file's units find and are found otherwise: after a new library (moved from `previous`)
// or place in file order.
void Project::Impl::Rebind(const FileRec& file, Sym previous) {
  for (std::uint32_t slot : file.units) {
    if (previous != file.library) {
      Unlist(slot, previous);
      libraryIndex[WatchKey(units[slot].IndexKey(), file.library)].push_back(slot);
      Touch(units[slot].IndexKey(), previous);
    }
    Unbind(slot);
    Queue(slot);
    Touch(units[slot].IndexKey(), file.library);
  }
}

// Brings the live model up to the edits; every query does it first.
void Project::Impl::Sync() {
  if (!inclusionChanges.empty()) {
    // The units of a file that another came to include, or no longer includes, are used otherwise.
    std::sort(inclusionChanges.begin(), inclusionChanges.end());
    inclusionChanges.erase(std::unique(inclusionChanges.begin(), inclusionChanges.end()), inclusionChanges.end());
    for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
      const FileRec& file = files[slot];
      if (!file.live || !std::binary_search(inclusionChanges.begin(), inclusionChanges.end(), file.resolved)) continue;
      for (std::uint32_t unit : file.units) Touch(units[unit].IndexKey(), LibraryOf(units[unit]));
    }
    inclusionChanges.clear();
  }
  if (changed || !toBind.empty()) ++generation;
  if (changed) {
    changed = false;
    if (!queryMessages.empty()) ++queryVersion;
    queryMessages.clear();
    messagesStale = true;
    for (std::uint32_t slot : orderMeasured) Unmeasure(slot);
    orderMeasured.clear();
  }
  for (std::uint32_t slot : toBind) {
    bindQueued[slot] = 0;
    if (units[slot].live && !units[slot].bound) Bind(slot);
  }
  toBind.clear();
}

// The unit's instances and the units it counts as instantiated, bound as Resolve binds them.
void Project::Impl::Bind(std::uint32_t slot) {
  UnitRec& unit = units[slot];
  unit.bound = true;
  const Sym own = LibraryOf(unit);
  const bool vhdl = IsVhdl(unit.kind);
  // A lookup that found its unit in one library, or looked in no other, is settled by that
  // library's units alone.
  auto watch = [&](Sym name, Sym library) {
    const std::uint64_t key = WatchKey(name, library);
    if (std::find(unit.watching.begin(), unit.watching.end(), key) != unit.watching.end()) return;
    unit.watching.push_back(key);
    watchers[key].push_back(slot);
  };
  // What a compile's library does not keep instantiates nothing. Whether it keeps the unit is
  // settled by the units of its name and of its entity's, whose coming and going binds it again.
  bool kept = true;
  const bool instantiates = std::any_of(unit.refs.begin(), unit.refs.end(), [](const RefRec& ref) {
    return ref.kind == RefKind::kInstance || ref.kind == RefKind::kBind || ref.kind == RefKind::kEntityInstance ||
           ref.kind == RefKind::kEntityBinding || ref.kind == RefKind::kConfigurationInstance ||
           ref.kind == RefKind::kConfigurationBinding;
  });
  if (instantiates) {
    kept = KeptLive(slot);
    watch(unit.IndexKey(), own);
    if (unit.kind == UnitKind::kVhdlConfiguration) watch(unit.primaryBucket, own);
  }
  auto mark = [&](std::uint32_t target) {
    if (!kept) return;
    unit.marks.push_back(target);
    Mark(target, true);
  };
  for (std::uint32_t r = 0; r < unit.refs.size(); ++r) {
    const RefRec& ref = unit.refs[r];
    const Sym library = ref.library == work ? own : ref.library;
    switch (ref.kind) {
      case RefKind::kInstance: {
        std::uint32_t target = FindLive(ref.key, kCells, own, vhdl ? 0 : ref.name, vhdl);
        watch(Bucket(ref.key), target != kNone ? own : 0);
        if (target == kNone) target = FindLive(ref.key, kCells, 0, vhdl ? 0 : ref.name, vhdl);
        if (target != kNone) mark(target);
        unit.liveEdges.push_back({r, target, kNone});
        break;
      }
      case RefKind::kBind: {
        std::uint32_t target = FindLive(ref.key, kCells, own, ref.name, false);
        watch(Bucket(ref.key), target != kNone ? own : 0);
        if (target == kNone) target = FindLive(ref.key, kCells, 0, ref.name, false);
        if (target != kNone) mark(target);
        break;
      }
      case RefKind::kEntityInstance:
      case RefKind::kEntityBinding:
      case RefKind::kConfigurationInstance:
      case RefKind::kConfigurationBinding: {
        // A library outside the project holds no unit: nothing is found there either way.
        const bool entity = ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kEntityBinding;
        const std::uint32_t mask = entity ? Bit(UnitKind::kVhdlEntity) : Bit(UnitKind::kVhdlConfiguration);
        const Sym within = ref.library != 0 ? library : own;
        std::uint32_t target = FindLive(ref.key, mask, within, 0, true);
        watch(Bucket(ref.key), target != kNone || ref.library != 0 ? within : 0);
        if (target == kNone && ref.library == 0) target = FindLive(ref.key, mask, 0, 0, true);
        if (target == kNone && entity) {
          target = FindLive(ref.key, kVerilogCells, ref.library != 0 ? library : own, 0, true);
          if (target == kNone && ref.library == 0) target = FindLive(ref.key, kVerilogCells, 0, 0, true);
        }
        std::uint32_t architecture = kNone;
        if (target != kNone) {
          if (entity && ref.secondary != 0 && units[target].kind == UnitKind::kVhdlEntity) {
            architecture = FindSecondaryLive(target, UnitKind::kVhdlArchitecture, ref.secondary);
          }
          mark(target);
          if (!entity) {
            const UnitRec& configuration = units[target];
            watch(configuration.primaryBucket, LibraryOf(configuration));
            const std::uint32_t configured =
                FindLive(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(configuration), 0, true);
            if (configured != kNone) mark(configured);
          }
        }
        if (ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kConfigurationInstance) {
          unit.liveEdges.push_back({r, target, architecture});
        }
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace Hdl::scan
