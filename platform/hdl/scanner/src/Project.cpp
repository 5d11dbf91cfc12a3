// The project over the scanner. Scans are kept per file in compact records of interned names; a
// name index lets one file's units come and go without touching the others. What tops and
// hierarchies need is kept up to date edit by edit by unit slot (the live model), so that an edit
// costs what it changes. The compile order and the messages of binding work on a dense copy of the
// graph, rebuilt only when one of them is asked for after a change; the live model answers as it.
//
// Here are the public calls. An edit changes the records and marks what is to be worked out again;
// a query brings up to date, in this order, the scans, the live model and, where its answer needs
// them, the reference model and the compile order, and answers from them. The state they keep is
// Project::Impl's (ProjectImpl.h names the file that keeps each part); this file keeps none.

#include "HdlScan/Project.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

std::string UnitInfo::Label() const {
  if (kind == UnitKind::kVhdlArchitecture) return std::string(primary) + "(" + std::string(name) + ")";
  if (kind == UnitKind::kVhdlPackageBody) return std::string(name) + "(body)";
  return std::string(name);
}

Project::Project() : m_impl(std::make_unique<Impl>()) {}
Project::~Project() = default;

bool Project::AddFile(FileHandle handle, std::string_view path, std::int64_t order, std::string_view library) {
  Impl& d = *m_impl;
  if (d.byHandle.Find(handle) != nullptr) return false;
  std::uint32_t slot;
  if (d.freeFiles.empty()) {
    slot = static_cast<std::uint32_t>(d.files.size());
    d.files.emplace_back();
  } else {
    slot = d.freeFiles.back();
    d.freeFiles.pop_back();
    d.files[slot] = FileRec{};
  }
  FileRec& file = d.files[slot];
  file.handle = handle;
  file.order = order;
  file.sequence = d.nextSequence++;
  file.path = d.pool.Intern(path);
  file.resolved = d.Resolve(path);
  file.library = d.FoldedIntern(library.empty() ? std::string_view("work") : library);
  file.live = true;
  d.byHandle.Insert(handle, slot);
  d.CountLibrary(file.library, +1);
  d.MarkModified(slot);
  d.MarkListed(d.seekers, file.resolved);  // an include looked for in vain is now found
  d.dirty = d.changed = true;
  d.PlaceAdded(slot);
  return true;
}

bool Project::Remove(FileHandle handle) {
  Impl& d = *m_impl;
  const std::uint32_t* found = d.byHandle.Find(handle);
  if (found == nullptr) return false;
  const std::uint32_t slot = *found;
  d.byHandle.Erase(handle);
  d.PlaceRemoved(slot);
  d.DropUnits(d.files[slot]);
  d.DropIncludes(slot, true);
  d.CountLibrary(d.files[slot].library, -1);
  if (d.files[slot].HasMacros()) --d.macroFiles;
  // The files after it start otherwise only when it left them macros.
  const FileMacros& left = d.files[slot].Macros();
  if (left.undefinesAll || !left.macrosLeft.empty()) d.macrosMoved = true;
  if (left.undefinesAll) d.movedAllNames = true;
  for (const MacroState& macro : left.macrosLeft) d.movedNames.push_back(d.pool.Intern(macro.name));
  d.DropFinders(slot);
  d.files[slot] = FileRec{};
  d.freeFiles.push_back(slot);
  d.dirty = d.changed = true;
  return true;
}

bool Project::SetPath(FileHandle handle, std::string_view path) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  file->path = m_impl->pool.Intern(path);
  file->resolved = m_impl->Resolve(path);
  m_impl->MarkModified(*m_impl->byHandle.Find(handle));
  m_impl->MarkListed(m_impl->seekers, file->resolved);
  return true;
}

bool Project::SetOrder(FileHandle handle, std::int64_t order) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  if (file->order != order) {
    m_impl->dirty = m_impl->changed = true;
    m_impl->fileOrderStale = true;
    m_impl->macrosMoved = true;
    m_impl->movedAllNames = true;
    file->order = order;
    m_impl->Rebind(*file, file->library);
  }
  return true;
}

bool Project::SetLibrary(FileHandle handle, std::string_view library) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  const Sym folded = m_impl->FoldedIntern(library.empty() ? std::string_view("work") : library);
  if (folded != file->library) {
    const Sym previous = file->library;
    m_impl->CountLibrary(previous, -1);
    m_impl->CountLibrary(folded, +1);
    file->library = folded;
    m_impl->dirty = m_impl->changed = true;
    m_impl->Rebind(*file, previous);
  }
  return true;
}

bool Project::SetLanguage(FileHandle handle, Language language) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  if (file->language != language) {
    file->language = language;
    m_impl->MarkModified(*m_impl->byHandle.Find(handle));
  }
  return true;
}

bool Project::SetModified(FileHandle handle) {
  const std::uint32_t* found = m_impl->byHandle.Find(handle);
  if (found == nullptr) return false;
  m_impl->MarkModified(*found);
  m_impl->MarkIncluders(m_impl->files[*found].resolved);
  return true;
}

void Project::SetPathModified(std::string_view path) {
  const Sym resolved = m_impl->Resolve(path);
  for (std::uint32_t slot = 0; slot < m_impl->files.size(); ++slot) {
    if (m_impl->files[slot].live && m_impl->files[slot].resolved == resolved) m_impl->MarkModified(slot);
  }
  m_impl->MarkIncluders(resolved);
}

void Project::SetIncludeModified(std::string_view path) { m_impl->MarkIncluders(m_impl->Resolve(path)); }

bool Project::IsModified(FileHandle handle) const {
  const FileRec* file = m_impl->FileOf(handle);
  return file != nullptr && file->modified;
}

bool Project::Contains(FileHandle handle) const { return m_impl->byHandle.Find(handle) != nullptr; }
std::size_t Project::FileCount() const { return m_impl->byHandle.Size(); }

std::optional<std::string_view> Project::PathOf(FileHandle handle) const {
  const FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return std::nullopt;
  return m_impl->pool.View(file->path);
}

void Project::SetMacros(std::vector<std::string> macros) {
  if (macros == m_impl->macros) return;
  m_impl->macros = std::move(macros);
  m_impl->MarkLanguage(true);
}

void Project::SetIncludeDirs(std::vector<std::string> dirs) {
  if (dirs == m_impl->includeDirs) return;
  m_impl->includeDirs = std::move(dirs);
  m_impl->MarkLanguage(true);
}

bool Project::SetVhdlStandard(std::string_view standard) {
  VhdlStandard parsed;
  if (!ParseVhdlStandard(standard, &parsed)) return false;
  SetVhdlStandard(parsed);
  return true;
}

void Project::SetVhdlStandard(std::optional<VhdlStandard> standard) {
  if (standard == m_impl->standard) return;
  m_impl->standard = standard;
  m_impl->MarkLanguage(false);
}

void Project::SetBaseDirectory(std::string_view directory) {
  if (directory == m_impl->baseDirectory) return;
  m_impl->baseDirectory = std::string(directory);
  for (std::size_t slot = 0; slot < m_impl->files.size(); ++slot) {
    FileRec& file = m_impl->files[slot];
    if (file.live) file.resolved = m_impl->Resolve(m_impl->pool.View(file.path));
  }
  m_impl->MarkAll();
}

void Project::SetReader(Reader reader) {
  m_impl->reader = std::move(reader);
  m_impl->MarkAll();
}

const std::vector<std::string>& Project::Macros() const { return m_impl->macros; }
const std::vector<std::string>& Project::IncludeDirs() const { return m_impl->includeDirs; }
std::optional<VhdlStandard> Project::GetVhdlStandard() const { return m_impl->standard; }
void Project::SetMaxHierarchyNodes(std::size_t nodes) {
  m_impl->maxNodes = std::max<std::size_t>(nodes, 1);
  m_impl->allRootsDirty = true;  // a root's hierarchy may now be cut, or no longer
}
void Project::SetScanThreads(std::size_t threads) { m_impl->scanThreads = threads; }

std::size_t Project::Update() {
  m_impl->SeekAgain();
  return m_impl->Update();
}

std::vector<std::string_view> Project::IncludesOf(FileHandle handle) const {
  std::vector<std::string_view> paths;
  if (const FileRec* file = m_impl->FileOf(handle)) {
    for (const Sym path : file->includes) paths.push_back(m_impl->pool.View(path));
  }
  return paths;
}

// A file removed since is left out, and so is a file added under its handle but not scanned yet.
std::vector<FileHandle> Project::TakeIncludeChanges() {
  std::vector<FileHandle> changed;
  for (const FileHandle handle : std::exchange(m_impl->includeChanges, {})) {
    FileRec* file = m_impl->FileOf(handle);
    if (file == nullptr || !file->includesChanged) continue;
    file->includesChanged = false;
    changed.push_back(handle);
  }
  return changed;
}
void Project::Invalidate() {
  Impl& d = *m_impl;
  d.dirty = d.changed = true;
  d.allRootsDirty = true;
  for (std::uint32_t slot = 0; slot < d.units.size(); ++slot) {
    if (!d.units[slot].live) continue;
    d.Unbind(slot);
    d.Queue(slot);
  }
}

std::vector<UnitInfo> Project::Units() {
  m_impl->Update();
  m_impl->Sync();
  m_impl->Resolve();
  std::vector<UnitInfo> result;
  result.reserve(m_impl->dense.size());
  for (std::uint32_t i = 0; i < m_impl->dense.size(); ++i) result.push_back(m_impl->Info(i));
  return result;
}

std::vector<UnitInfo> Project::UnitsOf(FileHandle handle) {
  m_impl->Update();
  m_impl->Sync();
  std::vector<UnitInfo> result;
  const FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return result;
  for (std::uint32_t slot : file->units) result.push_back(m_impl->InfoOf(slot));
  return result;
}

CompileOrder Project::GetCompileOrder() {
  m_impl->Update();
  m_impl->Sync();
  m_impl->ResolveOrder();
  return m_impl->OrderOf(nullptr);
}

CompileOrder Project::GetCompileOrder(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  m_impl->ResolveOrder();
  const std::uint32_t found = m_impl->FindTopOrReport(top, library);
  if (found == kNone) {
    return {};
  }
  const std::vector<bool> wanted = m_impl->Closure(found);
  return m_impl->OrderOf(&wanted);
}

const std::vector<TopRef>& Project::TopRefs() {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  if (d.TopCandidatesLive()) return d.answerRefs;
  // Some hierarchy comes round: the whole model's walk settles how deep each is.
  d.Resolve();
  d.Extents();
  std::vector<std::uint32_t> tops;
  for (std::uint32_t i = 0; i < d.dense.size(); ++i) {
    const std::uint32_t slot = d.dense[i];
    if (CanBeTop(d.units[slot].kind) && !d.instantiated[i] && !d.DefinedAgainLive(slot)) tops.push_back(i);
  }
  // The unit a synthesis tool would pick comes first: the deepest hierarchy, then the larger, then
  // the later definition. Testbenches follow every unit with ports.
  const std::vector<Impl::Extent>& extents = d.extents;
  std::vector<std::pair<Impl::Extent, bool>> rank(d.dense.size());
  for (std::uint32_t i : tops) {
    const std::uint32_t source = d.Elaborate(i, kNone).first;
    rank[i] = {source == kNone ? Impl::Extent{} : extents[source], !d.units[d.dense[i]].hasPorts};
  }
  std::sort(tops.begin(), tops.end(), [&](std::uint32_t a, std::uint32_t b) {
    const auto& [extentA, benchA] = rank[a];
    const auto& [extentB, benchB] = rank[b];
    if (benchA != benchB) return benchB;
    if (extentA.depth != extentB.depth) return extentA.depth > extentB.depth;
    if (extentA.nodes != extentB.nodes) return extentA.nodes > extentB.nodes;
    return a > b;
  });
  // Ranked by the reference model, a candidate's version is not known.
  d.answerRefs.clear();
  for (std::uint32_t i : tops) d.answerRefs.push_back({d.dense[i] + 1, 0});
  return d.answerRefs;
}

UnitInfo Project::TopUnit(std::uint32_t id) const {
  return id == 0 || id > m_impl->units.size() ? UnitInfo{} : m_impl->InfoOf(id - 1);
}

const std::vector<TopCandidate>& Project::TopCandidates() {
  const std::vector<TopRef>& refs = TopRefs();
  std::vector<TopCandidate>& result = m_impl->answerCandidates;
  result.clear();
  result.reserve(refs.size());
  for (const TopRef& ref : refs) {
    result.push_back({TopUnit(ref.id), !m_impl->units[ref.id - 1].hasPorts, ref.version, ref.id});
  }
  return result;
}

std::optional<HierarchyNode> Project::Hierarchy(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  m_impl->Resolve();
  const std::uint32_t found = m_impl->FindTopOrReport(top, library);
  if (found == kNone) {
    return std::nullopt;
  }
  return m_impl->Hierarchy(found, top);
}

std::optional<HierarchyCursor> Project::HierarchyRoot(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  const std::uint32_t found = m_impl->FindTopLive(top, library);
  if (found == kNone) {
    m_impl->ReportUnknownTop(top);
    return std::nullopt;
  }
  return m_impl->RootLive(found, top);
}

bool Project::RootUnchanged(const HierarchyCursor& kept, std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  const HierarchyCursor::State& state = *kept.m_state;
  const bool known = library.empty() && m_impl->CheckedLately(state, top);
  // An unknown top is left to HierarchyRoot, which reports it.
  const std::uint32_t found = known ? state.unit : m_impl->FindTopLive(top, library);
  if (found == kNone || !m_impl->RootLiveStill(state, found, top, known)) return false;
  if (library.empty() && found == state.unit) m_impl->NoteChecked(state);
  return true;
}

std::optional<Interface> Project::InterfaceOf(std::string_view name, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  std::uint32_t found = m_impl->FindTopLive(name, library);
  if (found != kNone && m_impl->units[found].kind == UnitKind::kVhdlConfiguration) {
    const UnitRec& configuration = m_impl->units[found];
    found = m_impl->FindLive(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), m_impl->LibraryOf(configuration), 0,
                             true);
  }
  if (found == kNone) return std::nullopt;
  return m_impl->units[found].interface;
}

const std::vector<Message>& Project::Messages() {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  d.ResolveOrderMessages();
  if (d.messagesStale) {
    d.messagesStale = false;
    d.allMessages.clear();
    d.ForEachMessage([&d](const Message& message) { d.allMessages.push_back(message); });
  }
  return d.allMessages;
}

void Project::VisitMessages(const std::function<void(const Message&)>& visit) {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  d.ResolveOrderMessages();
  d.ForEachMessage(visit);
}

std::uint64_t Project::QueryMessagesVersion() const { return m_impl->queryVersion; }

const std::vector<Message>& Project::ScanMessagesOf(FileHandle handle) {
  static const std::vector<Message> kNoMessages;
  m_impl->Update();
  const FileRec* file = m_impl->FileOf(handle);
  return file != nullptr ? file->messages : kNoMessages;
}

}  // namespace Hdl::scan
