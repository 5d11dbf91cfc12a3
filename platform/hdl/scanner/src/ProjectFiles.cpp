// The records of files and units. Keeps, of Project::Impl: each file by handle (byHandle) and by
// slot (files, freeFiles, nextSequence); each unit by slot (units, freeUnits) and by folded name,
// in every library and in its own (index, libraryIndex); the live files of each library
// (libraryFiles); the files that included a path or looked for it in vain (includers, seekers,
// includeChanges); and the file order (inFileOrder, placeOf, fileOrderStale). Take brings a file's
// scan in and DropUnits takes its units out; each unit that comes or goes touches its name, which
// binds again only the units that looked that name up. A file added after all others, or removed,
// moves only the files after it in the file order; a new order sorts them all again.

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "ProjectImpl.h"

namespace Hdl::scan {

Sym Project::Impl::Resolve(std::string_view path) {
  if (baseDirectory.empty() && IsNormalPath(path)) return pool.Intern(path);  // most are: no copy
  return pool.Intern(baseDirectory.empty() ? detail::NormalizePath(path) : detail::JoinPath(baseDirectory, path));
}

// What NormalizePath gives back unchanged: no empty, "." or ".." steps.
bool Project::Impl::IsNormalPath(std::string_view path) {
  if (path.empty() || (path.size() > 1 && path.back() == '/')) return false;
  for (std::size_t at = path[0] == '/' ? 1 : 0; at <= path.size();) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view step = path.substr(at, slash - at);
    if (step.empty() ? path != "/" : step == "." || step == "..") return false;
    at = slash + 1;
  }
  return true;
}

// The files that included the path, or looked for an include there in vain.
void Project::Impl::MarkIncluders(Sym path) {
  MarkListed(includers, path);
  MarkListed(seekers, path);
}

void Project::Impl::MarkListed(const std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath, Sym path) {
  const auto found = byPath.find(path);
  if (found == byPath.end()) return;
  for (std::uint32_t slot : found->second) {
    if (files[slot].live) MarkModified(slot);
  }
}

// A header written where files looked for it in vain, which nobody adds to the project or
// announces, is found as a fresh project would find it. Each path is read as an include is, so a
// path that cannot be opened costs one failed open and nothing is waited on.
void Project::Impl::SeekAgain() {
  std::vector<Sym> found;
  std::string text;
  for (const auto& [path, slots] : seekers) {
    const std::string name(pool.View(path));
    if (ReadSource(reader, name, &text) == ReadStatus::kOk) found.push_back(path);
  }
  for (Sym path : found) MarkListed(seekers, path);
}

void Project::Impl::MarkLanguage(bool verilog) {
  for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
    if (!files[slot].live) continue;
    const Language language = LanguageOf(files[slot]);
    if ((language == Language::kVhdl) != verilog) MarkModified(slot);
  }
}

void Project::Impl::MarkAll() {
  for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
    if (files[slot].live) MarkModified(slot);
  }
}

void Project::Impl::CountLibrary(Sym library, int delta) {
  std::uint32_t& count = libraryFiles[library];
  count = static_cast<std::uint32_t>(static_cast<int>(count) + delta);
  if (count == 0) libraryFiles.erase(library);
}

void Project::Impl::DropUnits(FileRec& file) {
  for (std::uint32_t slot : file.units) {
    UnitRec& unit = units[slot];
    auto& bucket = index[unit.IndexKey()];
    bucket.erase(std::find(bucket.begin(), bucket.end(), slot));
    if (bucket.empty()) index.erase(unit.IndexKey());
    Unlist(slot, LibraryOf(unit));
    Unbind(slot);
    unit.live = false;  // the units that counted it as instantiated let go of it as no top
    roots.erase(slot);
    DirtyRoot(slot);
    Touch(unit.IndexKey(), LibraryOf(unit));
    unit = UnitRec{};
    freeUnits.push_back(slot);
  }
  file.units.clear();
}

void Project::Impl::DropIncludes(std::uint32_t slot, bool gone) {
  FileRec& file = files[slot];
  DropFrom(includers, file.includes, slot);
  for (Sym path : file.includes) {
    if (gone && !includers.contains(path)) inclusionChanges.push_back(path);
  }
  DropFrom(seekers, file.includesMissing, slot);
  file.includes.clear();
  file.includesMissing.clear();
}

void Project::Impl::DropFinders(std::uint32_t slot) {
  if (!files[slot].macros) return;
  std::vector<Sym> names;
  for (const MacroState& found : files[slot].macros->macrosFound) names.push_back(pool.Intern(found.name));
  DropFrom(finders, names, slot);
}

void Project::Impl::DropFrom(std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath,
                              const std::vector<Sym>& paths, std::uint32_t slot) {
  for (Sym path : paths) {
    auto found = byPath.find(path);
    if (found == byPath.end()) continue;
    auto& list = found->second;
    list.erase(std::remove(list.begin(), list.end(), slot), list.end());
    if (list.empty()) byPath.erase(found);
  }
}

// Takes a file's scan in place of the last one; what it does not keep stays in `result`.
void Project::Impl::Take(std::uint32_t slot, ScanResult& result) {
  DropUnits(files[slot]);
  const std::vector<Sym> includedBefore = files[slot].includes;
  DropIncludes(slot);
  DropFinders(slot);
  FileRec& file = files[slot];
  file.modified = false;
  if (file.HasMacros()) --macroFiles;
  if (result.macrosFound.empty() && !result.undefinesAll && result.macrosLeft.empty() &&
      result.macrosLeftIn.empty() && result.macrosUsedUndefined.empty()) {
    file.macros.reset();
  } else {
    if (!file.macros) file.macros = std::make_unique<FileMacros>();
    FileMacros& macros = *file.macros;
    macros.macrosFound = std::move(result.macrosFound);
    macros.macrosFoundAt = std::move(result.macrosFoundAt);
    for (const MacroState& found : macros.macrosFound) finders[pool.Intern(found.name)].push_back(slot);
    macros.undefinesAll = result.undefinesAll;
    macros.macrosLeft = std::move(result.macrosLeft);
    macros.macrosLeftIn.clear();
    for (const std::string& in : result.macrosLeftIn) macros.macrosLeftIn.push_back(in.empty() ? kNone : pool.Intern(in));
    macros.macrosUsedUndefined = std::move(result.macrosUsedUndefined);
    macros.macrosUsedUndefinedAt = std::move(result.macrosUsedUndefinedAt);
    macros.foundSources.clear();
    macros.macroSources.clear();
    macros.headerSources.clear();
  }
  if (file.HasMacros()) ++macroFiles;
  file.messages = std::move(result.messages);
  for (Message& message : file.messages) message.file = file.handle;
  for (const std::string& include : result.includes) {
    const Sym path = pool.Intern(include);
    file.includes.push_back(path);
    includers[path].push_back(slot);
  }
  for (const std::string& missing : result.includesMissing) {
    const Sym path = pool.Intern(missing);
    file.includesMissing.push_back(path);
    seekers[path].push_back(slot);
  }
  if (file.includes != includedBefore) {
    if (!file.includesChanged) {
      file.includesChanged = true;
      includeChanges.push_back(file.handle);
    }
    // A path this file alone includes now, or that nothing includes any more.
    for (Sym path : file.includes) {
      if (includers[path].size() == 1 &&
          std::find(includedBefore.begin(), includedBefore.end(), path) == includedBefore.end()) {
        inclusionChanges.push_back(path);
      }
    }
    for (Sym path : includedBefore) {
      if (!includers.contains(path)) inclusionChanges.push_back(path);
    }
  }
  std::uint32_t position = 0;
  for (Unit& scanned : result.units) {
    std::uint32_t unitSlot;
    if (freeUnits.empty()) {
      unitSlot = static_cast<std::uint32_t>(units.size());
      units.emplace_back();
    } else {
      unitSlot = freeUnits.back();
      freeUnits.pop_back();
    }
    UnitRec& unit = units[unitSlot];
    unit.file = slot;
    unit.kind = scanned.kind;
    unit.name = pool.Intern(scanned.name);
    unit.key = Fold(unit.name);
    unit.primary = pool.Intern(scanned.primary);
    unit.primaryKey = Fold(unit.primary);
    unit.bucket = Bucket(unit.key);
    unit.primaryBucket = Bucket(unit.primaryKey);
    unit.line = scanned.line;
    unit.position = position++;
    unit.hasPorts = scanned.hasPorts;
    unit.complete = scanned.complete;
    unit.interface = std::move(scanned.interface);
    unit.live = true;
    unit.refs.reserve(scanned.references.size());
    for (const Reference& ref : scanned.references) {
      RefRec rec{};
      rec.kind = ref.kind;
      rec.library = ref.library.empty() ? 0 : FoldedIntern(ref.library);
      rec.name = pool.Intern(ref.name);
      rec.key = Fold(rec.name);
      rec.secondary = ref.secondary.empty() ? 0 : FoldedIntern(ref.secondary);
      rec.label = ref.label.empty() ? 0 : pool.Intern(ref.label);
      rec.line = ref.line;
      rec.scope = ref.scope;
      unit.refs.push_back(rec);
    }
    unit.scopes.clear();
    for (const Scope& scope : scanned.scopes) unit.scopes.push_back({pool.Intern(scope.label), scope.parent});
    index[unit.IndexKey()].push_back(unitSlot);
    libraryIndex[WatchKey(unit.IndexKey(), file.library)].push_back(unitSlot);
    file.units.push_back(unitSlot);
    GrowSlots();
    if (CanBeTop(unit.kind) && instCount[unitSlot] == 0) {
      roots.insert(unitSlot);
      DirtyRoot(unitSlot);
    }
    Touch(unit.IndexKey(), file.library);
    Queue(unitSlot);
  }
}

void Project::Impl::OrderFilesByPlace() {
  if (!fileOrderStale) return;
  fileOrderStale = false;
  inFileOrder.clear();
  for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
    if (files[slot].live) inFileOrder.push_back(slot);
  }
  std::sort(inFileOrder.begin(), inFileOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
    return files[a].order != files[b].order ? files[a].order < files[b].order : files[a].sequence < files[b].sequence;
  });
  placeOf.assign(files.size(), kNone);
  for (std::uint32_t k = 0; k < inFileOrder.size(); ++k) placeOf[inFileOrder[k]] = k;
}

// A file added after every other in file order (the usual case: the next sequence, no smaller
// order) goes last without sorting them all again.
void Project::Impl::PlaceAdded(std::uint32_t slot) {
  if (fileOrderStale) return;
  const FileRec& file = files[slot];
  if (!inFileOrder.empty() && files[inFileOrder.back()].order > file.order) {
    fileOrderStale = true;
    return;
  }
  if (placeOf.size() < files.size()) placeOf.resize(files.size(), kNone);
  placeOf[slot] = static_cast<std::uint32_t>(inFileOrder.size());
  inFileOrder.push_back(slot);
}

// A file that goes leaves the others in their order; only those after it move up.
void Project::Impl::PlaceRemoved(std::uint32_t slot) {
  if (fileOrderStale) return;
  const std::uint32_t place = placeOf[slot];
  inFileOrder.erase(inFileOrder.begin() + place);
  placeOf[slot] = kNone;
  for (std::uint32_t k = place; k < inFileOrder.size(); ++k) placeOf[inFileOrder[k]] = k;
}

}  // namespace Hdl::scan
