#pragma once
// The project's state, Project::Impl, for the files that each keep one part of it. Its members are
// grouped by that part below, each group under the file that works on it:
//   ProjectFiles.cpp      the records of files and units, the includes, the file order
//   ProjectScan.cpp       the scans, each file's with the macros the files before it leave
//   ProjectBinding.cpp    the live model: the units bound by slot, edit by edit
//   ProjectTops.cpp       the hierarchies measured by slot, the tops ranked from them, and the
//                         caches that let a query skip what an edit left alone
//   ProjectModel.cpp      the reference model: every unit bound by dense index, with its messages
//   ProjectOrder.cpp      the compile order of units and of files (with Orderer.cpp)
//   ProjectHierarchy.cpp  the reference model's hierarchies and the cursors that walk them
//   Project.cpp           the public calls, each bringing up to date the parts it answers from
// What an edit costs is decided in the first four; the reference model is rebuilt whole, and only
// when something asked for needs it after a change. The small functions that the loops of several
// parts call are defined here, in the class, so that each part inlines them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "HdlScan/Project.h"
#include "HdlScan/Scan.h"
#include "HierarchySnapshot.h"
#include "Orderer.h"
#include "ProjectRecords.h"
#include "ScanCommon.h"

namespace Hdl::scan {

class MacroHistory;

struct Project::Impl {
  // ---- names: every text once, and its folded form by symbol

  // Shared with the hierarchy snapshots, whose names are views into it.
  std::shared_ptr<StringPool> poolOwner = std::make_shared<StringPool>();
  StringPool& pool = *poolOwner;
  std::vector<Sym> folded;  // by symbol; kNone until asked for
  Sym work = 0;

  Impl() { work = pool.Intern("work"); }

  Sym Fold(Sym sym) {
    if (folded.size() < pool.Size()) folded.resize(pool.Size(), kNone);
    if (folded[sym] == kNone) {
      const Sym result = pool.Intern(detail::FoldVhdl(pool.View(sym)));
      if (folded.size() < pool.Size()) folded.resize(pool.Size(), kNone);
      folded[sym] = result;
      folded[result] = result;
      NoteExtended(result);
    }
    return folded[sym];
  }

  // Names meet across the languages as each reads them: a VHDL extended name (\m$1\) is its
  // characters, as a Verilog name (\m$1 ) is, and a basic one has no case. By the key of each
  // extended name: the bucket its units are listed under, that of its characters read as a Verilog
  // name, and those characters.
  std::unordered_map<Sym, std::pair<Sym, Sym>> extendedNames;

  void NoteExtended(Sym key) {
    const std::string_view text = pool.View(key);
    if (text.size() < 3 || text.front() != '\\' || text.back() != '\\' || extendedNames.count(key) != 0) return;
    std::string characters;
    for (std::size_t at = 1; at + 1 < text.size(); ++at) {
      characters.push_back(text[at]);
      if (text[at] == '\\' && text[at + 1] == '\\' && at + 2 < text.size()) ++at;  // a doubled backslash
    }
    const Sym spelled = pool.Intern(characters);
    const Sym bucket = Bucket(Fold(spelled));
    extendedNames[key] = {bucket, spelled};
  }

  // Where units of the key are listed.
  Sym Bucket(Sym key) const {
    if (extendedNames.empty()) return key;
    const auto found = extendedNames.find(key);
    return found == extendedNames.end() ? key : found->second.first;
  }

  // The characters an extended name stands for; any other key as it is.
  Sym Spelled(Sym key) const {
    if (extendedNames.empty()) return key;
    const auto found = extendedNames.find(key);
    return found == extendedNames.end() ? key : found->second.second;
  }

  // The unit's name as its language reads it: a VHDL name folded, or the characters of an
  // extended one; a Verilog name as written.
  Sym Reading(const UnitRec& unit) const { return IsVhdl(unit.kind) ? Spelled(unit.key) : unit.name; }

  // Whether the unit is the one a name looked up names: `key` folded, `exact` the name as a Verilog
  // asker wrote it (0 for a VHDL asker). A VHDL basic name has no case; an extended one, or a
  // Verilog one, names the unit of the same characters in the other language.
  bool Names(const UnitRec& unit, Sym key, Sym exact, bool fromVhdl) const {
    if (IsVhdl(unit.kind)) return unit.key == key || (!fromVhdl && exact != 0 && Spelled(unit.key) == exact);
    if (exact != 0) return unit.name == exact;
    if (fromVhdl && Spelled(key) != key) return unit.name == Spelled(key);
    return unit.key == key;
  }

  Sym FoldedIntern(std::string_view text) { return Fold(pool.Intern(text)); }

  // ---- files and units (ProjectFiles.cpp): the records by handle and by slot, the units by name,
  // the files that include a path, and the file order

  ChunkedRecords<FileRec> files;
  std::vector<std::uint32_t> freeFiles;
  HandleIndex byHandle;
  std::uint64_t nextSequence = 0;

  std::vector<UnitRec> units;
  std::vector<std::uint32_t> freeUnits;
  std::unordered_map<Sym, std::vector<std::uint32_t>> index;  // folded name -> unit slots
  // The same slots by folded name and library (WatchKey): with many libraries that share names,
  // a lookup within one library reads only that library's units.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> libraryIndex;
  std::unordered_map<Sym, std::uint32_t> libraryFiles;        // library -> live files in it
  std::unordered_map<Sym, std::vector<std::uint32_t>> includers;
  // Files that looked for an include at the path and found none: a file appearing there changes
  // what they read.
  std::unordered_map<Sym, std::vector<std::uint32_t>> seekers;
  std::vector<FileHandle> includeChanges;  // files whose includes changed since they were last asked for
  // Paths that project files came to include, or no longer include (IncludedByAnother), whose
  // files' units Sync touches.
  std::vector<Sym> inclusionChanges;

  // Files in file order and each one's place in it, rebuilt when files come, go or move.
  bool fileOrderStale = true;
  std::vector<std::uint32_t> inFileOrder;
  std::vector<std::uint32_t> placeOf;  // by file slot

  Sym Resolve(std::string_view path);
  static bool IsNormalPath(std::string_view path);
  void MarkIncluders(Sym path);
  void MarkListed(const std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath, Sym path);
  // Marks modified the files that looked in vain for a path that can be read now.
  void SeekAgain();
  void MarkLanguage(bool verilog);
  void MarkAll();
  void CountLibrary(Sym library, int delta);
  void DropUnits(FileRec& file);
  // `gone`: the file leaves the project, and what only it included is included no more.
  void DropIncludes(std::uint32_t slot, bool gone = false);
  static void DropFrom(std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath, const std::vector<Sym>& paths,
                       std::uint32_t slot);
  void Take(std::uint32_t slot, ScanResult& result);
  void OrderFilesByPlace();
  void PlaceAdded(std::uint32_t slot);
  void PlaceRemoved(std::uint32_t slot);

  FileRec* FileOf(FileHandle handle) {
    const std::uint32_t* slot = byHandle.Find(handle);
    return slot == nullptr ? nullptr : &files[*slot];
  }

  const FileRec* FileOf(FileHandle handle) const {
    const std::uint32_t* slot = byHandle.Find(handle);
    return slot == nullptr ? nullptr : &files[*slot];
  }

  Language LanguageOf(const FileRec& file) const {
    return file.language != Language::kAuto ? file.language : LanguageOfPath(pool.View(file.path));
  }

  void MarkModified(std::uint32_t slot) {
    FileRec& file = files[slot];
    file.modified = true;
    if (!file.queued) {
      file.queued = true;
      pending.push_back(slot);
    }
  }

  Sym LibraryOf(const UnitRec& unit) const { return files[unit.file].library; }

  // ---- scans (ProjectScan.cpp): the files waiting for a scan, what they are scanned with, and
  // whether the macros where a file starts may have changed

  std::vector<std::uint32_t> pending;  // marked modified since the last scan
  std::vector<std::string> macros;
  std::vector<std::string> includeDirs;
  std::optional<VhdlStandard> standard;
  std::string baseDirectory;
  Reader reader;
  // Scans that found or left macros; while there are none no file depends on another's macros.
  std::size_t macroFiles = 0;
  // Files went or moved, or a scan left other macros: the macros a file finds where it starts may
  // have changed. Only those named in movedNames can have, unless movedAllNames (a file that
  // undefines all, or a new file order).
  bool macrosMoved = false;
  std::vector<Sym> movedNames;
  bool movedAllNames = false;
  // The files whose last scans found each macro where they start, by the macro's name.
  std::unordered_map<Sym, std::vector<std::uint32_t>> finders;
  void DropFinders(std::uint32_t slot);
  std::size_t scanThreads = 0;  // 0: one a core, up to kMaxScanThreads

  ScanOptions Options() const;
  void FillHistory(MacroHistory& history) const;
  std::size_t ScanThreads(std::size_t files) const;
  bool ScanInFileOrder(std::vector<std::uint32_t>& slots, const ScanOptions& options, MacroHistory& history);
  std::vector<std::uint32_t> Disagreeing(const MacroHistory& history, const std::vector<std::uint32_t>* among,
                                         const std::vector<Sym>* names = nullptr);
  bool SettleOneByOne(std::vector<std::uint32_t>& slots, const ScanOptions& options, MacroHistory& history,
                      std::vector<bool>& counted, std::size_t& scanned);
  static bool SetInSharedHeader(const FileRec& file, const FileRec& sourceFile, const std::string& name);
  std::size_t Update();

  // ---- the live model (ProjectBinding.cpp), by unit slot: what tops, hierarchies and interfaces
  // need, kept up to date edit by edit. A unit that comes or goes, or whose file changes library or
  // place, binds again the units that looked up its name; what they measured is dropped, and so is
  // what the units above them measured. The reference model below is what the live one answers as.

  bool changed = true;                                           // since the last query
  // Units that looked a name up: under the name and the library when the lookup kept to that
  // library, else under the name alone (library 0), which units of every library concern.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> watchers;
  std::vector<std::uint32_t> instCount;                          // by slot: the units that instantiate it
  std::unordered_set<std::uint32_t> roots;                       // units that can be top and nothing instantiates
  std::vector<std::uint32_t> toBind;
  std::vector<std::uint8_t> bindQueued;  // by slot

  void Mark(std::uint32_t target, bool add);
  void Unbind(std::uint32_t slot);
  void Touch(Sym key, Sym library);
  void Unlist(std::uint32_t slot, Sym library);
  void Rebind(const FileRec& file, Sym previous);
  void Sync();
  void Bind(std::uint32_t slot);

  void GrowSlots() {
    const std::size_t n = units.size();
    if (instCount.size() >= n) return;
    instCount.resize(n, 0);
    measured.resize(n);
    bindQueued.resize(n, 0);
    onPath.resize(n, 0);
  }

  void Queue(std::uint32_t slot) {
    if (bindQueued[slot]) return;
    bindQueued[slot] = 1;
    toBind.push_back(slot);
  }

  // The units listed under `bucket`: of one library, or of every library when `library` is 0.
  const std::vector<std::uint32_t>* Listed(Sym bucket, Sym library) const {
    if (library == 0) {
      const auto found = index.find(bucket);
      return found == index.end() ? nullptr : &found->second;
    }
    const auto found = libraryIndex.find(WatchKey(bucket, library));
    return found == libraryIndex.end() ? nullptr : &found->second;
  }

  // File order, the tie-break of the model: earlier is less. Within one VHDL file the later unit
  // is less: a compile analyses the file unit by unit, so of a unit defined twice there it keeps
  // the second.
  bool Before(std::uint32_t a, std::uint32_t b) const {
    const FileRec& fileA = files[units[a].file];
    const FileRec& fileB = files[units[b].file];
    if (fileA.order != fileB.order) return fileA.order < fileB.order;
    if (fileA.sequence != fileB.sequence) return fileA.sequence < fileB.sequence;
    if (IsVhdl(units[a].kind)) return units[a].position > units[b].position;
    return units[a].position < units[b].position;
  }

  // Find, by slot. Of an entity and a Verilog cell that one library holds under one name, only the
  // one used is found (UsedDefinition), unless `replacedToo`.
  std::uint32_t FindLive(Sym key, std::uint32_t mask, Sym library, Sym exact, bool fromVhdl,
                         bool replacedToo = false) const {
    const std::vector<std::uint32_t>* listed = Listed(Bucket(key), library);
    if (listed == nullptr) return kNone;
    const Sym asked = exact != 0 ? exact : Spelled(key);
    // The asker's language first, then the unit whose name reads as the asker's, then the least
    // name (VHDL binds among Verilog modules that differ only in case by name, not by file order),
    // then as Before tells it.
    const auto better = [&](std::uint32_t a, std::uint32_t b) {
      const bool otherA = IsVhdl(units[a].kind) != fromVhdl;
      const bool otherB = IsVhdl(units[b].kind) != fromVhdl;
      if (otherA != otherB) return !otherA;
      const Sym readA = Reading(units[a]);
      const Sym readB = Reading(units[b]);
      if (readA == readB) return Before(a, b);
      if ((readA == asked) != (readB == asked)) return readA == asked;
      return pool.View(readA) < pool.View(readB);
    };
    std::uint32_t best = kNone;
    for (std::uint32_t slot : *listed) {
      const UnitRec& unit = units[slot];
      if (!(mask & Bit(unit.kind)) || (library != 0 && LibraryOf(unit) != library)) continue;
      if (!Names(unit, key, exact, fromVhdl) || (best != kNone && !better(slot, best))) continue;
      // A unit alone under its name in its library is defined once; where the list is that
      // library's, it is the one the unit's own look-up would walk.
      if (!replacedToo && (Bit(unit.kind) & kCells) && listed->size() > 1 &&
          (library != 0 ? UsedDefinitionAmong(slot, listed) : UsedDefinition(slot)) != slot)
        continue;
      best = slot;
    }
    return best;
  }

  // Whether `other` defines the unit `unit` defines: of its kind, name and library, and a
  // secondary unit of the same primary one. A compile's library holds only one of them.
  // An entity and a Verilog module (interface, program, primitive) whose names read alike are one
  // unit of the library too, as a mixed-language compile keeps one of them.
  bool SameDefinition(const UnitRec& unit, const UnitRec& other) const {
    if (other.kind != unit.kind) {  // the kinds first: most units listed beside one are its secondaries
      const std::uint32_t both = Bit(unit.kind) | Bit(other.kind);
      return (both & Bit(UnitKind::kVhdlEntity)) != 0 && (both & kVerilogCells) != 0 &&
             LibraryOf(other) == LibraryOf(unit) && Reading(unit) == Reading(other);
    }
    if (LibraryOf(other) != LibraryOf(unit)) return false;
    const bool same = IsVhdl(unit.kind) ? other.key == unit.key : other.name == unit.name;
    return same && (!IsSecondary(unit.kind) || other.primaryKey == unit.primaryKey);
  }

  // Whether another project file includes the file: it is compiled as part of that one, and is no
  // file of a compile order of its own.
  bool IncludedByAnother(std::uint32_t fileSlot) const {
    const auto found = includers.find(files[fileSlot].resolved);
    return found != includers.end() &&
           std::any_of(found->second.begin(), found->second.end(), [&](std::uint32_t s) { return s != fileSlot; });
  }

  // Of the units of the unit's kind, name and library, the one used: a compile's library holds
  // only that one, the least as Before tells it of those whose files no project file includes.
  std::uint32_t UsedDefinition(std::uint32_t slot) const {
    const UnitRec& unit = units[slot];
    return UsedDefinitionAmong(slot, Listed(unit.IndexKey(), LibraryOf(unit)));
  }

  // The same, `listed` being the units listed under the unit's name in its library.
  std::uint32_t UsedDefinitionAmong(std::uint32_t slot, const std::vector<std::uint32_t>* listed) const {
    const UnitRec& unit = units[slot];
    std::uint32_t used = slot;
    if (listed == nullptr || listed->size() < 2) return used;
    std::optional<bool> usedIncluded;  // looked up only once another definition is met
    for (std::uint32_t other : *listed) {
      if (other == slot || !SameDefinition(unit, units[other])) continue;
      if (!usedIncluded) usedIncluded = IncludedByAnother(unit.file);
      const bool included = IncludedByAnother(units[other].file);
      if (included != *usedIncluded ? !included : Before(other, used)) {
        used = other;
        usedIncluded = included;
      }
    }
    return used;
  }

  // Whether another unit of the unit's kind, name and library is the one used: the unit is then
  // no top of its own.
  bool DefinedAgainLive(std::uint32_t slot) const { return UsedDefinition(slot) != slot; }

  // Whether a compile's library keeps the unit, so that what it instantiates counts: not a unit
  // defined again, nor an architecture, package body or configuration whose entity or package is
  // not in its library (or is replaced there by a Verilog module), which a compiler refuses.
  bool KeptLive(std::uint32_t slot) const {
    if (DefinedAgainLive(slot)) return false;
    const UnitRec& unit = units[slot];
    if (!IsSecondary(unit.kind) && unit.kind != UnitKind::kVhdlConfiguration) return true;
    const std::uint32_t mask =
        unit.kind == UnitKind::kVhdlPackageBody ? Bit(UnitKind::kVhdlPackage) : Bit(UnitKind::kVhdlEntity);
    const std::uint32_t primary = FindLive(unit.primaryKey, mask, LibraryOf(unit), 0, true);
    return primary != kNone && (unit.kind != UnitKind::kVhdlArchitecture || OwnerOf(slot) == primary);
  }

  // The entity an architecture was analysed with, by slot: the last of its name before it in its
  // own file, else the one its library keeps from another file; kNone where that one stands after
  // it in its file. Where a later definition replaced it, the architecture is obsolete.
  std::uint32_t OwnerOf(std::uint32_t architecture) const {
    const UnitRec& unit = units[architecture];
    const std::vector<std::uint32_t>* listed = Listed(unit.IndexKey(), LibraryOf(unit));
    std::uint32_t owner = kNone;
    for (std::size_t k = 0; listed != nullptr && k < listed->size(); ++k) {
      const UnitRec& other = units[(*listed)[k]];
      if (other.kind == UnitKind::kVhdlEntity && other.key == unit.primaryKey && other.file == unit.file &&
          other.position < unit.position &&
          (owner == kNone || units[owner].position < other.position))
        owner = (*listed)[k];
    }
    if (owner != kNone) return owner;
    owner = FindLive(unit.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(unit), 0, true);
    return owner != kNone && units[owner].file != unit.file ? owner : kNone;
  }

  std::uint32_t FindSecondaryLive(std::uint32_t primary, UnitKind kind, Sym key) const {
    const UnitRec& owner = units[primary];
    const std::vector<std::uint32_t>* listed = Listed(owner.IndexKey(), LibraryOf(owner));
    if (listed == nullptr) return kNone;
    std::uint32_t best = kNone;
    for (std::uint32_t slot : *listed) {
      const UnitRec& unit = units[slot];
      if (unit.kind != kind || LibraryOf(unit) != LibraryOf(owner) || unit.primaryKey != owner.key ||
          (key != 0 && unit.key != key))
        continue;
      if (best == kNone || Before(slot, best)) best = slot;
    }
    return best;
  }

  UnitInfo InfoOf(std::uint32_t slot) const {
    const UnitRec& unit = units[slot];
    const FileRec& file = files[unit.file];
    UnitInfo info;
    info.kind = unit.kind;
    info.name = pool.View(unit.name);
    info.primary = pool.View(unit.primary);
    info.library = pool.View(file.library);
    info.path = pool.View(file.path);
    info.file = file.handle;
    info.line = unit.line;
    info.hasPorts = unit.hasPorts;
    info.complete = unit.complete;
    return info;
  }

  // ---- measured hierarchies and the tops (ProjectTops.cpp): the hierarchy below each unit as
  // bound, the tops as last ranked, and the stamps and versions that tell what still holds

  std::vector<std::shared_ptr<const SourceNode>> measured;  // by slot; none: not measured
  // Measured where an entity's architecture was chosen by the compile order, which any edit may move.
  std::vector<std::uint32_t> orderMeasured;
  std::vector<std::uint8_t> onPath;  // by slot, while measuring
  // The tops as last ranked, with the fields that rank them; where each stands there, by slot.
  struct Ranked {
    std::uint32_t slot;
    bool bench;
    std::uint32_t depth;
    std::uint64_t nodes;
    std::int64_t order;
    std::uint64_t sequence;
    std::uint32_t position;
    bool operator==(const Ranked&) const = default;
  };
  std::vector<Ranked> rankedTops;
  // The ranking's working lists, kept with their room: a design of many roots is ranked after every edit.
  struct {
    std::vector<std::uint8_t> dropped;
    std::vector<Ranked> tops;
  } rankScratch;
  std::vector<TopRef> answerRefs;  // the last answer: rankedTops with their versions, or the reference model's
  std::vector<TopCandidate> answerCandidates;
  std::vector<std::uint32_t> rankedAt;
  // Counts the syncs that found edits: what a top elaborates to is read once per model, though the
  // graph ranks the tops and then checks their roots.
  std::uint64_t generation = 0;
  struct Elaborated {
    std::uint64_t generation = ~std::uint64_t{0};
    // What an entity elaborates to is settled by the units of its name alone, unless the compile
    // order chose among several architectures: it then holds while that name's stamp does.
    bool byName = false;
    std::uint64_t stamp = 0;
    std::pair<std::uint32_t, std::uint32_t> found;
  };
  std::vector<Elaborated> topElaborated;  // by slot
  // By key, the count of touches at the last one of its units: what was read from the units of
  // one name holds while its stamp stays, however many other names an edit touched.
  std::uint64_t touches = 0;
  std::vector<std::uint64_t> keyStamps;
  std::uint64_t KeyStamp(Sym key) const { return key < keyStamps.size() ? keyStamps[key] : 0; }
  // By slot, the root state last found unchanged for that top, with its name's stamp then: while
  // the stamp holds, the top's name still finds that unit and the unit's fields are as they were.
  struct RootCheck {
    const HierarchyCursor::State* state = nullptr;
    std::uint64_t stamp = 0;
  };
  std::vector<RootCheck> rootChecked;
  // The roots whose rank may have moved since the last ranking: those that came or went, whose
  // measurement was dropped, or whose name's units were touched. Ranking reads only them; a root
  // chosen by the compile order, or a configuration, is read every time.
  std::vector<std::uint32_t> rootsDirty;
  std::vector<std::uint8_t> rootDirtyFlag;  // by slot
  std::vector<std::uint32_t> rootsVolatile;
  bool allRootsDirty = true;
  std::vector<std::uint64_t> rootVersion;  // by slot: the count of touches when last ranked
  void DirtyRoot(std::uint32_t slot) {
    if (rootDirtyFlag.size() <= slot) rootDirtyFlag.resize(std::max<std::size_t>(slot + 1, units.size()), 0);
    if (rootDirtyFlag[slot]) return;
    rootDirtyFlag[slot] = 1;
    rootsDirty.push_back(slot);
  }
  // The units of one name, an entity and its architectures among them.
  void DirtyName(Sym key) {
    const auto found = index.find(key);
    if (found == index.end()) return;
    for (std::uint32_t slot : found->second) DirtyRoot(slot);
  }
  void DropDirtyRoots() {
    for (std::uint32_t slot : rootsDirty) rootDirtyFlag[slot] = 0;
    rootsDirty.clear();
    allRootsDirty = true;
  }
  // Units with ports first, then the deepest, the larger, and the later in file order, as Before tells it.
  static bool RanksBefore(const Ranked& a, const Ranked& b) {
    if (a.bench != b.bench) return b.bench;
    if (a.depth != b.depth) return a.depth > b.depth;
    if (a.nodes != b.nodes) return a.nodes > b.nodes;
    if (a.order != b.order) return b.order < a.order;
    if (a.sequence != b.sequence) return b.sequence < a.sequence;
    return b.position < a.position;
  }

  void Unmeasure(std::uint32_t slot);
  std::uint32_t DefaultArchitectureLive(std::uint32_t entity, bool* byOrder);
  bool HasOtherArchitecture(std::uint32_t entity, std::uint32_t architecture) const;
  std::pair<std::uint32_t, std::uint32_t> ElaborateLive(std::uint32_t unit, std::uint32_t architecture, bool* byOrder);
  bool Measure(std::uint32_t start);
  std::uint32_t FindTopLive(std::string_view name, std::string_view library);
  std::pair<std::uint32_t, std::uint32_t> ElaborateTop(std::uint32_t top);
  bool TopCandidatesLive();
  bool RootLiveStill(const HierarchyCursor::State& kept, std::uint32_t top, std::string_view topName, bool known);
  bool CheckedLately(const HierarchyCursor::State& kept, std::string_view topName) const;
  void NoteChecked(const HierarchyCursor::State& kept);
  bool SameInfo(const UnitInfo& info, std::uint32_t slot) const;
  HierarchyCursor RootLive(std::uint32_t top, std::string_view topName);
  void ReportUnknownTop(std::string_view name);

  // A top by name through `find` (the live model's or the reference's): the exact spelling first.
  template <class Finder>
  std::uint32_t FindTopWith(std::string_view name, std::string_view library, Finder find) {
    const Sym exact = pool.Intern(name);
    const Sym lib = library.empty() ? 0 : FoldedIntern(library);
    const std::uint32_t mask = kCells | Bit(UnitKind::kVhdlConfiguration);
    std::uint32_t found = find(Fold(exact), mask, lib, exact, false);
    if (found == kNone) found = find(Fold(exact), mask, lib, Sym{0}, false);
    return found;
  }

  // ---- the reference model (ProjectModel.cpp), rebuilt by Resolve when dirty and asked for: the
  // compile order, the messages, Units and whole hierarchies are read from it; the live model falls
  // back on it where a hierarchy comes round

  bool dirty = true;
  std::vector<std::uint32_t> dense;    // dense index -> unit slot, in file order
  std::vector<std::uint32_t> denseOf;  // unit slot -> dense index
  std::vector<Orderer::Edge> edges;
  std::vector<std::uint32_t> instanceStart;  // per dense unit, into instanceEdges
  std::vector<InstanceEdge> instanceEdges;
  std::vector<std::uint32_t> secondaryStart;  // per dense primary: its architectures or body
  std::vector<std::uint32_t> secondaries;
  std::vector<bool> instantiated;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> secondaryUsers;  // (user, primary)
  // Library clauses naming another library of the project that no need of their unit already
  // reaches: the order puts the unit after one file of that library (ProjectOrder.cpp).
  struct LibraryNeed {
    std::uint32_t unit;  // dense
    Sym library;
    std::uint32_t line;
  };
  std::vector<LibraryNeed> libraryNeeds;
  // Units defined again in another file than the one used (UsedDefinition): (the one
  // defined again, the one used), dense. The order puts the first's file before the second's.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> definedAgain;
  // By file slot and dense unit used: the unit of that name defined again in that file, which a
  // compile of the file leaves in the library for the units after it there to see.
  std::unordered_map<std::uint64_t, std::uint32_t> againInFile;
  std::uint32_t SeenInFile(std::uint32_t file, std::uint32_t target) const {
    if (target == kNone || againInFile.empty()) return target;
    const auto found = againInFile.find(std::uint64_t{file} << 32 | target);
    return found == againInFile.end() ? target : found->second;
  }

  bool IsProjectLibrary(Sym library) const { return libraryFiles.count(library) != 0; }
  void Resolve();
  std::uint32_t DuplicateCheck(std::uint32_t i, const UnitRec& unit);
  std::uint32_t FindTopOrReport(std::string_view name, std::string_view library);
  std::uint32_t FindTop(std::string_view name, std::string_view library);

  // The best unit under `key` of the kinds in `mask`: in `library` unless it is 0, the name spelt
  // exactly for Verilog kinds when `exact` is set, the language of the asker first, then as FindLive
  // tells it. FindLive's, by dense index.
  std::uint32_t Find(Sym key, std::uint32_t mask, Sym library, Sym exact, bool fromVhdl,
                     bool replacedToo = false) const {
    const std::uint32_t slot = FindLive(key, mask, library, exact, fromVhdl, replacedToo);
    return slot == kNone ? kNone : denseOf[slot];
  }

  // Secondary units of `primary` (architectures of an entity, the body of a package).
  std::uint32_t FindSecondary(std::uint32_t primary, UnitKind kind, Sym key) const {
    const std::uint32_t slot = FindSecondaryLive(dense[primary], kind, key);
    return slot == kNone ? kNone : denseOf[slot];
  }

  UnitInfo Info(std::uint32_t denseIndex) const { return InfoOf(dense[denseIndex]); }

  // Messages of binding, of ordering and of queries, kept apart since the order may be worked out
  // after a query; they are read in that sequence.
  std::vector<Message> modelMessages;
  std::vector<Message> orderMessages;
  std::vector<Message> queryMessages;
  std::uint64_t queryVersion = 0;  // counts the changes of queryMessages
  std::vector<Message>* messageSink = &modelMessages;
  // Every message in file order, gathered again only after the messages changed.
  std::vector<Message> allMessages;
  bool messagesStale = true;

  std::string Describe(const UnitRec& unit) const;
  void QueryMessage(Message message);
  void ModelMessage(MessageKind kind, const UnitRec& unit, std::uint32_t line, std::string text);
  void Missing(const UnitRec& unit, const RefRec& ref, const char* what);

  // The messages in the order the project gives them: each file's scan in file order, then those
  // of the last binding, ordering and query.
  template <class Visit>
  void ForEachMessage(const Visit& visit) const {
    for (std::uint32_t slot : inFileOrder) {
      for (const Message& message : files[slot].messages) visit(message);
    }
    for (const auto* list : {&modelMessages, &orderMessages, &queryMessages}) {
      for (const Message& message : *list) visit(message);
    }
  }

  // ---- the compile order (ProjectOrder.cpp), worked out from the reference model only when an
  // order, the messages or the order of architectures is asked for

  // The order waits until asked for: ResolveOrder works it out from the bindings.
  bool orderDirty = true;
  std::vector<std::uint32_t> depStart;  // per dense unit: what it needs
  std::vector<std::uint32_t> deps;
  std::vector<bool> late;               // configurations that only configurations need
  std::vector<std::uint32_t> order;     // dense indices
  std::vector<std::uint32_t> position;  // dense -> place in order
  std::vector<std::uint32_t> fileOrder;
  std::vector<std::uint32_t> compiledAt;  // by file slot: its place in fileOrder

  // Whether a compile that follows the order analyses unit `a` after unit `b` (slots): the files
  // in their order, the units of one file as they stand there.
  bool AnalysedAfter(std::uint32_t a, std::uint32_t b) const {
    const std::uint32_t fileA = compiledAt[units[a].file], fileB = compiledAt[units[b].file];
    return fileA != fileB ? fileA > fileB : units[a].position > units[b].position;
  }

  void ResolveOrder();
  // The order's messages: worked out with the order only when ordering could report anything,
  // the order itself otherwise waiting until it is asked for.
  void ResolveOrderMessages();
  bool OrderMayReport();
  void AppendSecondaryEdges(std::vector<Orderer::Edge>& into);
  void AppendLibraryEdges(std::vector<Orderer::Edge>& into);
  void AppendDefinedAgainEdges(std::vector<Orderer::Edge>& into);
  std::vector<Orderer::Edge> FileEdges(const std::vector<Orderer::Edge>& unitEdges) const;
  void OrderFiles(const std::vector<bool>& inUnitCycle);
  void ReportMacroOrder();
  CompileOrder OrderOf(const std::vector<bool>* wanted) const;
  std::vector<bool> Closure(std::uint32_t top) const;

  // ---- the reference model's hierarchies (ProjectHierarchy.cpp): what each unit elaborates to,
  // and how deep and large the hierarchy below it is

  std::size_t maxNodes = 1000000;
  // How deep and how large the hierarchy below a unit whose instances are read (a module, an
  // architecture) is, by that unit's dense index. Followed as Hierarchy follows it: an instance that
  // binds to nothing, or closes a recursion, is one node that is not expanded.
  struct Extent {
    std::uint32_t depth = 1;
    std::uint64_t nodes = 1;  // held at the largest value a design with much reuse would pass
  };
  // Worked out from the model when first asked for: the extents of the hierarchies below every
  // unit, whether following instances comes round to a unit whose instances are already being
  // followed, and the snapshot that lazy hierarchies read.
  std::vector<Extent> extents;
  bool extentsStale = true;
  bool instanceCycle = false;
  std::shared_ptr<const HierarchyShape> shape;

  std::uint32_t DefaultArchitecture(std::uint32_t entity);
  std::pair<std::uint32_t, std::uint32_t> Elaborate(std::uint32_t unit, std::uint32_t architecture);
  std::string ScopePath(const UnitRec& unit, std::uint32_t scope) const;
  const std::shared_ptr<const HierarchyShape>& Shape();
  HierarchyCursor Root(std::uint32_t top, std::string_view topName);
  void Extents();
  std::optional<HierarchyNode> Hierarchy(std::uint32_t top, std::string_view topName);
  void ReportCut(const UnitRec& top);  // the top's hierarchy passes the node bound
};

}  // namespace Hdl::scan
