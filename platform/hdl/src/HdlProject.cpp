// The HDL parser project: parser files mirrored from a view, held in the project's file set and
// scanned through the design-file scanner, which gives their units, compile orders and hierarchy.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CitP/Factory.h"
#include "HdlElements.h"
#include "HdlScan/Project.h"
#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/Status.h"
#include "Port/MessageText.h"
#include "Prjrep/IName.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/RegularFile.h"
#include "core/Sets.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;
using Hdl::scan::FileHandle;

class CHdlParserFile;
class CHdlProject;

// How the project knows its own files among the files added to its set.
class IOwnParserFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6b4c82d2-32c9-49a3-9bee-0187252da45f}")
  virtual CHdlParserFile* Object() = 0;
};

// The private set interface behind the unit iterators handed out.
class IHdlDesignUnitList : public Prjrep::TISet<IHdlDesignUnit*, IHdlDesignUnitIterator> {
 public:
  CITI_DECLARE_IID("{303cde58-a24d-4cdb-8674-44300507e9c5}")
};

// What tells one log's text from another without holding it: a large project's messages run to
// megabytes. The length and two unrelated hashes, fed in pieces of any size.
struct LogDigest {
  std::uint64_t size = 0;
  std::uint64_t fnv = 14695981039346656037ull;
  std::uint64_t mix = 0x9E3779B97F4A7C15ull;

  void Add(std::string_view piece) {
    size += piece.size();
    for (const unsigned char c : piece) {
      fnv = (fnv ^ c) * 1099511628211ull;
      mix = (mix ^ c) * 0xFF51AFD7ED558CCDull;
      mix ^= mix >> 31;
    }
  }
  bool operator==(const LogDigest&) const = default;
};

// Shared by a project and the files it created, which outlive it when their callers hold them.
struct ProjectLink {
  CHdlProject* project = nullptr;

  // The text kept once for every file that names it: files of one directory, and of one parser,
  // are many. Valid as long as the link.
  const std::string* Shared(std::string_view text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    return &*m_texts.emplace(text).first;
  }

 private:
  std::mutex m_lock;
  std::unordered_set<std::string> m_texts;
};

const std::string& NoText() {
  static const std::string empty;
  return empty;
}

// A new iterator, with one reference, over a set made for it alone.
template <class T, class ISet, class IIterator, class Elements>
Status HandOutIterator(const Elements& elements, IIterator** out) {
  Prjrep::AutoOut<IIterator> result(out);
  if (out == nullptr) return kInvalidParameter;
  using Set = TRefdSequenceSetHelper<T, ISet, IIterator, std::vector<T>>;
  auto* set = new (std::nothrow) Set();
  if (set == nullptr) return kFailure;
  Prjrep::AutoRelease<ISet> held(set);
  for (const auto& element : elements) std::ignore = held->Add(element);
  Prjrep::AutoRelease<IIterator> iterator;
  if (held->GetIterator(iterator.Receive()) != kSuccess) return kFailure;
  return result.Assign(iterator);
}

class CHdlParserFile final : public TComponent<CHdlParserFile> {
 public:
  explicit CHdlParserFile(std::shared_ptr<ProjectLink> link) : m_link(std::move(link)) {}

  auto QueryTable() {
    return Table(Row<IHdlFile>(&m_XIHdlFile), Row<IHdlFileV3>(&m_XIHdlFileV3), Row<IHdlFileV4>(&m_XIHdlFileV4),
                 Row<ICompAdmin>(&m_XICompAdmin), Row<ISourceLibraryMember>(&m_XISourceLibraryMember),
                 Row<IFileCompReference>(&m_XIFileCompReference), Row<IOwnParserFile>(&m_XIOwnParserFile),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIHdlFile));
  }

  FileHandle Handle() { return reinterpret_cast<FileHandle>(this); }
  IHdlFile* AsHdlFile() { return &m_XIHdlFile; }
  const std::shared_ptr<ProjectLink>& Link() const { return m_link; }
  // The project that holds the file in its set, or null.
  CHdlProject* Holder() const { return m_added ? m_link->project : nullptr; }
  std::string Path() const;
  std::string LibraryName();
  Hdl::scan::Language Language();
  // Makes the files that the file's last scan included the children of its project file in the
  // view's category.
  void RecordIncludes(const std::vector<std::string>& includes);

  bool m_added = false;
  bool m_modified = false;  // marked before the file reached the scanner
  std::uint64_t m_sequenceId = 0;

 private:
  struct XIHdlFile : TNested<CHdlParserFile, IHdlFile> {
    using TNested::TNested;
    Status CheckFileOnDisk() override { return kSuccess; }
    Status SetModified(bool modified) override;
    Status ReservedOperation4(CitI::IInterface** object) override {
      if (object != nullptr) *object = nullptr;
      return kNotSupported;
    }
    Status SetPath(const Text& directory, const Text& name) override;
    Status GetPath(Text* directory, Text* name) override {
      if (directory == nullptr || name == nullptr) return kInvalidParameter;
      *directory = *This().m_directory;
      *name = This().m_name;
      return kSuccess;
    }
    Status GetDesignUnits(IHdlParserConfig* config, IHdlDesignUnitIterator** units) override;
    Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface** object) override {
      if (object != nullptr) *object = nullptr;
      return kNotSupported;
    }
    Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, Text* text) override {
      if (text != nullptr) *text = Text();
      return kNotSupported;
    }
    Status SetParserName(const Text& name) override;
    Status GetParserName(Text* name) override {
      if (name == nullptr) return kInvalidParameter;
      *name = *This().m_parserName;
      return kSuccess;
    }
    Status GetFileAddTarget(std::uint64_t* target) override { return GetSequenceId(target); }
    Status GetSequenceId(std::uint64_t* id) override {
      if (id == nullptr) return kInvalidParameter;
      *id = This().m_sequenceId;
      return kSuccess;
    }
    Status SetSequenceId(std::uint64_t id) override;
    Status IsModified(bool* modified) override;
  } m_XIHdlFile{this};

  struct XIHdlFileV3 : TNested<CHdlParserFile, IHdlFileV3> {
    using TNested::TNested;
    Status SetGlobalInclude(bool globalInclude) override {
      This().m_globalInclude = globalInclude;
      return kSuccess;
    }
    Status GetGlobalInclude(bool* globalInclude) override {
      if (globalInclude == nullptr) return kInvalidParameter;
      *globalInclude = This().m_globalInclude;
      return kSuccess;
    }
  } m_XIHdlFileV3{this};

  // Only the view id is kept: the scanner follows includes by itself, so the parser's files keep
  // no relations of their own and have none to give. What a file includes goes to its project
  // file instead (RecordIncludes).
  struct XIHdlFileV4 : TNested<CHdlParserFile, IHdlFileV4> {
    using TNested::TNested;
    Status ReservedOperation2() override { return kNotSupported; }
    Status SetViewId(std::uint32_t viewId) override {
      This().m_viewId = viewId;
      return kSuccess;
    }
    Status AddChildFileByName(std::uint32_t, const Text&, IHdlFile** child) override {
      if (child != nullptr) *child = nullptr;
      return kNotSupported;
    }
    Status RemoveChildFile(std::uint32_t, IHdlFile*) override { return kNotSupported; }
    Status RemoveAllChildFiles(std::uint32_t) override { return kSuccess; }
    Status AddParentFile(std::uint32_t, IHdlFile*) override { return kNotSupported; }
    Status RemoveParentFile(std::uint32_t, IHdlFile*) override { return kNotSupported; }
    Status GetChildFiles(std::uint32_t, IHdlFileIterator** children) override {
      return HandOutIterator<IHdlFile*, IHdlFileSet>(std::vector<IHdlFile*>{}, children);
    }
    Status GetParentFiles(std::uint32_t, IHdlFileIterator** parents) override {
      return HandOutIterator<IHdlFile*, IHdlFileSet>(std::vector<IHdlFile*>{}, parents);
    }
    Status HasNoParents(bool* none) override {
      if (none == nullptr) return kInvalidParameter;
      *none = true;
      return kSuccess;
    }
  } m_XIHdlFileV4{this};

  struct XICompAdmin : TNested<CHdlParserFile, ICompAdmin> {
    using TNested::TNested;
    // `definition` is the file's type; its name tells a VHDL file from the others.
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface* definition) override {
      This().m_type = definition;
      return kSuccess;
    }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kSuccess; }
    Status RegisterForNotifications() override { return kSuccess; }
    Status Teardown() override {
      This().m_type = nullptr;
      This().m_fileComponent = nullptr;
      This().m_library = nullptr;
      return kSuccess;
    }
  } m_XICompAdmin{this};

  struct XISourceLibraryMember : TNested<CHdlParserFile, ISourceLibraryMember> {
    using TNested::TNested;
    Status GetLibrary(ISourceLibrary** library) override;
    Status SetLibrary(ISourceLibrary* library) override;
  } m_XISourceLibraryMember{this};

  struct XIFileCompReference : TNested<CHdlParserFile, IFileCompReference> {
    using TNested::TNested;
    Status SetFileComponent(CitI::IInterface* file) override {
      This().m_fileComponent = file;
      return kSuccess;
    }
    Status GetFileComponent(CitI::IInterface** file) override {
      Prjrep::AutoOut<CitI::IInterface> result(file);
      if (file == nullptr || !This().m_fileComponent) return kFailure;
      return result.Assign(This().m_fileComponent);
    }
  } m_XIFileCompReference{this};

  struct XIOwnParserFile : TNested<CHdlParserFile, IOwnParserFile> {
    using TNested::TNested;
    CHdlParserFile* Object() override { return &This(); }
  } m_XIOwnParserFile{this};

  Prjrep::TRefCountHelper<CHdlParserFile> m_refCount{this};
  std::shared_ptr<ProjectLink> m_link;
  const std::string* m_directory = &NoText();  // the link's
  std::string m_name;
  const std::string* m_parserName = &NoText();  // the link's
  std::uint32_t m_viewId = 0;
  bool m_globalInclude = false;
  Prjrep::AutoPtr<CitI::IInterface> m_type;
  Prjrep::AutoPtr<CitI::IInterface> m_fileComponent;
  Prjrep::AutoPtr<CitI::IInterface> m_library;
};

// The project's files, each held with a reference and mirrored into the scanner.
class CFileSet final
    : public Prjrep::TSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::vector<IHdlFile*>> {
  using Base = Prjrep::TSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::vector<IHdlFile*>>;

 public:
  CFileSet(CHdlProject* project, Hdl::scan::Project* scanner) : m_project(project), m_scanner(scanner) {}
  // The project's scanner goes right after its files: they need not leave it one by one, which
  // for a large project would cost the square of its files.
  ~CFileSet() override {
    m_scanner = nullptr;
    std::ignore = Clear();
  }

  // Only a file that this project created, not yet in it.
  Status Add(IHdlFile* element) override;
  Status Clear() override {
    for (const auto& stored : m_elements) Forget(stored);
    return Base::Clear();
  }
  // Removes forward: the iterator stands on the next file.
  void Erase(Position& pos) override {
    if (!AtEnd(pos)) Forget(m_elements[pos]);
    Base::Erase(pos);
  }

  // The paths that the last scans of the set's files included.
  std::unordered_set<std::string_view> IncludedPaths() const {
    std::unordered_set<std::string_view> paths;
    if (m_scanner == nullptr) return paths;
    for (IHdlFile* file : m_elements) {
      if (CHdlParserFile* own = Own(file)) {
        for (const std::string_view path : m_scanner->IncludesOf(own->Handle())) paths.insert(path);
      }
    }
    return paths;
  }

  // The file of a scanner handle, without a reference; null when it is not in the set. The
  // scanner holds exactly the handles of the set's files, each the file's own address.
  IHdlFile* FileOf(FileHandle handle) {
    return m_scanner != nullptr && m_scanner->Contains(handle) ? reinterpret_cast<CHdlParserFile*>(handle)->AsHdlFile()
                                                                : nullptr;
  }

 private:
  static CHdlParserFile* Own(IHdlFile* file) {
    Prjrep::AutoCast<IOwnParserFile> own(file);
    return own ? own->Object() : nullptr;
  }
  void Forget(IHdlFile* file);

  CHdlProject* m_project;
  Hdl::scan::Project* m_scanner;
};

class CHdlProject final : public TComponent<CHdlProject> {
 public:
  static const Port::XUID& GetCLSID() { return HdlProjectClassId(); }

  CHdlProject() {
    m_link->project = this;
    std::ignore = m_files.SetOwner(this);
  }
  ~CHdlProject() override {
    WriteLog();
    m_link->project = nullptr;
  }

  auto QueryTable() {
    return Table(Row<IHdlProject>(&m_XIHdlProject), Row<IHdlFileSet>(&m_files),
                 Row<IHdlElaborationData2>(&m_XIHdlElaborationData), Row<IHdlElaborationData>(&m_XIHdlElaborationData),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIHdlProject));
  }

  Hdl::scan::Project& Scanner() { return m_scanner; }
  const std::shared_ptr<ProjectLink>& Link() const { return m_link; }
  // Takes the configuration's settings over and scans what changed; the messages wait for WriteLog.
  void Refresh();
  // Hands the includes of each file whose includes changed to the file (RecordIncludes).
  void RecordIncludes();
  // Writes the messages of the last scan where the parser works, when they are not there yet.
  void WriteLog();
  // An edit that scans nothing (a file removed, moved in the order or to another library) may
  // change the messages too: the next whole-project answer writes them.
  void MarkLogStale() { m_logStale = true; }
  std::vector<IHdlFile*> FilesOf(const Hdl::scan::CompileOrder& order) {
    std::vector<IHdlFile*> files;
    for (FileHandle handle : order.files) {
      if (IHdlFile* file = m_files.FileOf(handle)) files.push_back(file);
    }
    return files;
  }
  IHdlFile* FileOf(FileHandle handle) { return m_files.FileOf(handle); }

 private:
  struct XIHdlProject : TNested<CHdlProject, IHdlProject> {
    using TNested::TNested;
    Status CreateFile(IHdlFile** file) override {
      Prjrep::AutoOut<IHdlFile> result(file);
      if (file == nullptr) return kInvalidParameter;
      Prjrep::AutoRelease<IHdlFile> created(new (std::nothrow) CHdlParserFile(This().m_link));
      if (!created) return kFailure;
      return result.Assign(created);
    }
    Status GetParserConfig(IHdlParserConfig** config) override {
      Prjrep::AutoOut<IHdlParserConfig> result(config);
      if (config == nullptr || !This().m_config) return kFailure;
      return result.Assign(This().m_config);
    }
    Status SetWorkingDirectory(const Text& directory) override {
      CHdlProject& self = This();
      if (self.m_workingDirectory == directory.str()) return kSuccess;
      self.WriteLog();  // the old directory keeps what its last scans found
      self.m_workingDirectory = directory.str();
      self.m_logDigest.reset();
      return kSuccess;
    }
    Status SetProjectDirectory(const Text& directory) override {
      This().m_scanner.SetBaseDirectory(directory.str());
      return kSuccess;
    }
  } m_XIHdlProject{this};

  struct XIHdlElaborationData : TNested<CHdlProject, IHdlElaborationData2> {
    using TNested::TNested;
    Status GetUndefinedInstances(CitI::IInterface** instances) override {
      if (instances != nullptr) *instances = nullptr;
      return kNotSupported;
    }
    Status GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) override;
    Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t mode, IHdlFileIterator** files) override;
    Status GetPorts(const char* name, CitI::IInterface** ports) override;
    Status GetDesignGraph(IHdlNetListNode** root) override;
    Status RefreshElaboration() override {
      This().Refresh();
      This().WriteLog();
      return kSuccess;
    }
  } m_XIHdlElaborationData{this};

  // The files in the order for `top` (all files when empty).
  Status HandOutOrder(const std::string& top, IHdlFileIterator** files);
  static Prjrep::AutoRelease<IHdlNetListNode> NodeOf(const Hdl::scan::HierarchyCursor& cursor,
                                                     const std::shared_ptr<ProjectLink>& link);
  // The node of the top `name`, the one made for it before while its hierarchy is unchanged; null
  // when the project has no such top. `candidate`: the top candidate of that name being placed.
  IHdlNetListNode* TopNode(std::string_view name, const Hdl::scan::TopCandidate* candidate = nullptr);
  // The node kept for the candidate's own unit while the candidate's version vouches for it;
  // null when not known so cheaply.
  IHdlNetListNode* KeptNodeOf(const Hdl::scan::TopRef& candidate);
  // Drops the kept tops that the last design graph did not ask for.
  void ForgetTopsNotAskedFor();
  // The graph's tops in runs, each run the last graph's where that holds the same tops. A run ends
  // after a top whose address says so, so that an edit changes only the runs around it.
  NetListRuns RunsOf(const std::vector<IHdlNetListNode*>& tops);
  NetListRuns m_lastRuns;
  std::vector<IHdlNetListNode*> m_graphTops;  // the graph's tops while it is made, kept with its room

  // A top's node as last handed out, kept with what it was made from: the graph is asked for after
  // every edit, and each edit changes few tops of many.
  struct KeptTop {
    std::optional<Hdl::scan::HierarchyCursor> cursor;
    IHdlFile* file = nullptr;  // the unit's, as the node names it
    Prjrep::AutoPtr<IHdlNetListNode> node;
    std::uint64_t asked = 0;  // the graph that last asked for it by name
    std::uint32_t id = 0;     // the candidate whose unit the node is, while its version vouches for it
  };
  // Marks the kept top asked for by this graph.
  void Ask(KeptTop& kept) {
    if (Asked(kept)) return;
    kept.asked = m_graphs;
    ++m_asked;
  }
  bool Asked(const KeptTop& kept) const {
    return kept.asked == m_graphs || (kept.id != 0 && m_byId[kept.id].asked == m_graphs);
  }
  // The top now kept for the candidate's own unit, found by the candidate's id while its version
  // is the one the node was last found right for: nothing the node was made from changed since.
  // Held apart from the kept tops, so that a graph of many unchanged tops reads one small entry
  // for each.
  struct ByIdTop {
    std::uint64_t version = 0;
    IHdlNetListNode* node = nullptr;  // the kept top's; the entry goes before the kept top lets it go
    KeptTop* kept = nullptr;
    std::uint64_t asked = 0;  // the graph that last asked for it by id
  };
  void Vouch(KeptTop& kept, const Hdl::scan::TopCandidate* candidate);
  void Unvouch(KeptTop& kept) {
    if (kept.id != 0) m_byId[kept.id] = ByIdTop{};
    kept.id = 0;
  }
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };

  Prjrep::TRefCountHelper<CHdlProject> m_refCount{this};
  std::shared_ptr<ProjectLink> m_link = std::make_shared<ProjectLink>();
  Hdl::scan::Project m_scanner;
  CFileSet m_files{this, &m_scanner};
  Prjrep::AutoRelease<IHdlParserConfig> m_config = NewParserConfig();
  ParserSettings m_settings;
  std::string m_workingDirectory;
  // The log as last written in the working directory; none until a scan there wrote it.
  std::optional<LogDigest> m_logDigest;
  bool m_logStale = false;  // scans ran since
  std::uint64_t m_loggedQueries = 0;  // the scanner's QueryMessagesVersion when last written
  using KeptTops = std::unordered_map<std::string, KeptTop, TextHash, std::equal_to<>>;
  KeptTops m_keptTops;
  std::vector<ByIdTop> m_byId;  // by candidate id
  KeptTops::iterator Forget(KeptTops::iterator kept);
  std::uint64_t m_graphs = 0;  // design graphs made
  std::size_t m_asked = 0;     // kept tops this graph asked for
};

// --- files

namespace {

std::string JoinedPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/' || directory.back() == '\\') return directory + name;
  return directory + "/" + name;
}

}  // namespace

std::string CHdlParserFile::Path() const { return JoinedPath(*m_directory, m_name); }

// The library's name when it answers one; a file without a library is in "work".
std::string CHdlParserFile::LibraryName() {
  Prjrep::AutoCast<Prjrep::IName> name(m_library.Get());
  Text text;
  if (name && name->GetName(text) == kSuccess && !text.empty()) return text.str();
  return "work";
}

// The parser name of a file that holds no HDL (a pin file, a netlist): the file is kept, with no units.
constexpr std::string_view kNoHdlParser = "HdlParser:none";

Hdl::scan::Language CHdlParserFile::Language() {
  if (*m_parserName == kNoHdlParser) return Hdl::scan::Language::kNone;
  Prjrep::AutoCast<IDefDataId> type(m_type.Get());
  Text name;
  if (type && type->GetDefDataIdName(&name) == kSuccess && name.str() == "FILE_VHDL") {
    return Hdl::scan::Language::kVhdl;
  }
  return Hdl::scan::Language::kAuto;  // by extension, which tells Verilog from SystemVerilog
}

// The project file keeps, in the view's category, exactly the files the last scan included: a
// header that is no project file joins the project as one the views manage themselves. The project
// file then tells its views, which take their managed files from their files' children; adding a
// child tells them only when the child becomes managed.
void CHdlParserFile::RecordIncludes(const std::vector<std::string>& includes) {
  const Prjrep::AutoPtr<CitI::IInterface> component = m_fileComponent;
  Prjrep::AutoCast<IHdlFileV4> relations(component.Get());
  if (!relations) return;
  std::set<std::string> wanted(includes.begin(), includes.end());
  std::vector<Prjrep::AutoPtr<IHdlFile>> gone;
  Prjrep::AutoRelease<IHdlFileIterator> children;
  if (relations->GetChildFiles(m_viewId, children.Receive()) == kSuccess && children) {
    for (; !children->IsDone(); std::ignore = children->Next()) {
      IHdlFile* child = children->Current();
      Text directory;
      Text name;
      if (child == nullptr || child->GetPath(&directory, &name) != kSuccess) continue;
      if (wanted.erase(JoinedPath(directory.str(), name.str())) == 0) gone.emplace_back(child);
    }
  }
  if (gone.empty() && wanted.empty()) return;
  for (const Prjrep::AutoPtr<IHdlFile>& child : gone) std::ignore = relations->RemoveChildFile(m_viewId, child.Get());
  for (const std::string& path : wanted) std::ignore = relations->AddChildFileByName(m_viewId, path.c_str(), nullptr);
  std::ignore = SendEvent(component.Get(), EventId::FileChanged(), component.Get());
}

Status CHdlParserFile::XIHdlFile::SetModified(bool modified) {
  CHdlParserFile& self = This();
  self.m_modified = modified;
  if (!modified) return kSuccess;
  if (self.Holder() != nullptr) {
    std::ignore = self.Holder()->Scanner().SetModified(self.Handle());
  } else if (self.m_link->project != nullptr) {
    // Outside the set, the file is text that the set's files may include: they read it again.
    self.m_link->project->Scanner().SetIncludeModified(self.Path());
  }
  return kSuccess;
}

Status CHdlParserFile::XIHdlFile::SetPath(const Text& directory, const Text& name) {
  CHdlParserFile& self = This();
  self.m_directory = self.m_link->Shared(directory.str());
  self.m_name = name.str();
  if (self.Holder() != nullptr) std::ignore = self.Holder()->Scanner().SetPath(self.Handle(), self.Path());
  return kSuccess;
}

Status CHdlParserFile::XIHdlFile::SetParserName(const Text& name) {
  CHdlParserFile& self = This();
  self.m_parserName = self.m_link->Shared(name.str());
  if (self.Holder() != nullptr) std::ignore = self.Holder()->Scanner().SetLanguage(self.Handle(), self.Language());
  return kSuccess;
}

Status CHdlParserFile::XIHdlFile::SetSequenceId(std::uint64_t id) {
  CHdlParserFile& self = This();
  const bool moved = self.m_sequenceId != id;
  self.m_sequenceId = id;
  if (self.Holder() != nullptr) {
    std::ignore = self.Holder()->Scanner().SetOrder(self.Handle(), static_cast<std::int64_t>(id));
    if (moved) self.Holder()->MarkLogStale();
  }
  return kSuccess;
}

// A file in the project is modified until a scan has read it; one outside keeps its mark.
Status CHdlParserFile::XIHdlFile::IsModified(bool* modified) {
  if (modified == nullptr) return kInvalidParameter;
  CHdlParserFile& self = This();
  *modified = self.Holder() != nullptr ? self.Holder()->Scanner().IsModified(self.Handle()) : self.m_modified;
  return kSuccess;
}

// The units as the project's configuration reads them; a file that cannot be read fails.
Status CHdlParserFile::XIHdlFile::GetDesignUnits(IHdlParserConfig*, IHdlDesignUnitIterator** units) {
  Prjrep::AutoOut<IHdlDesignUnitIterator> result(units);
  CHdlParserFile& self = This();
  if (units == nullptr) return kInvalidParameter;
  CHdlProject* project = self.Holder();
  if (project == nullptr) return Fail(kFailure, "CHdlParserFile::GetDesignUnits - the file is in no project\n");
  project->Refresh();
  for (const Hdl::scan::Message& message : project->Scanner().ScanMessagesOf(self.Handle())) {
    if (message.file == self.Handle() &&
        (message.kind == Hdl::scan::MessageKind::kMissingFile || message.kind == Hdl::scan::MessageKind::kUnreadable)) {
      return Fail(kFailure, "CHdlParserFile::GetDesignUnits - %s\n", message.text.c_str());
    }
  }
  std::vector<Prjrep::AutoRelease<IHdlDesignUnit>> made;
  std::vector<IHdlDesignUnit*> found;
  for (const Hdl::scan::UnitInfo& unit : project->Scanner().UnitsOf(self.Handle())) {
    made.push_back(NewDesignUnit(unit, &self.m_XIHdlFile));
    if (made.back()) found.push_back(made.back().Get());
  }
  Prjrep::AutoRelease<IHdlDesignUnitIterator> iterator;
  const Status status = HandOutIterator<IHdlDesignUnit*, IHdlDesignUnitList>(found, iterator.Receive());
  if (status != kSuccess) return status;
  return result.Assign(iterator);
}

Status CHdlParserFile::XISourceLibraryMember::GetLibrary(ISourceLibrary** library) {
  if (library == nullptr) return kInvalidParameter;
  *library = nullptr;
  if (This().m_library) {
    Prjrep::AddRefObject(This().m_library.Get());
    // Every interface is a CitI::IInterface at its start (single inheritance throughout).
    *library = reinterpret_cast<ISourceLibrary*>(This().m_library.Get());
  }
  return kSuccess;
}

Status CHdlParserFile::XISourceLibraryMember::SetLibrary(ISourceLibrary* library) {
  CHdlParserFile& self = This();
  self.m_library = reinterpret_cast<CitI::IInterface*>(library);
  if (self.Holder() != nullptr) {
    std::ignore = self.Holder()->Scanner().SetLibrary(self.Handle(), self.LibraryName());
    self.Holder()->MarkLogStale();
  }
  return kSuccess;
}

// --- the file set

void CFileSet::Forget(IHdlFile* file) {
  CHdlParserFile* own = Own(file);
  if (m_scanner != nullptr && m_scanner->Remove(own->Handle())) m_project->MarkLogStale();
  own->m_added = false;
}

Status CFileSet::Add(IHdlFile* element) {
  CHdlParserFile* own = Own(element);
  if (own == nullptr || own->Link().get() != m_project->Link().get()) {
    return Fail(kFailure, "CHdlProject - only a file that the project created can be added\n");
  }
  if (own->m_added) return Fail(kFailure, "CHdlProject - the file is in the project already\n");
  if (!m_scanner->AddFile(own->Handle(), own->Path(), static_cast<std::int64_t>(own->m_sequenceId),
                          own->LibraryName())) {
    return kFailure;
  }
  std::ignore = m_scanner->SetLanguage(own->Handle(), own->Language());
  own->m_added = true;
  own->m_modified = false;
  return Base::Add(own->AsHdlFile());
}

// --- the project

void CHdlProject::Refresh() {
  ParserSettings settings = ReadSettings(m_config.Get());
  if (!(settings == m_settings)) {
    if (settings.macros != m_settings.macros) m_scanner.SetMacros(settings.macros);
    if (settings.includeDirs != m_settings.includeDirs) m_scanner.SetIncludeDirs(settings.includeDirs);
    if (settings.vhdlStandard != m_settings.vhdlStandard) {
      if (settings.vhdlStandard.empty()) {
        m_scanner.SetVhdlStandard(std::nullopt);
      } else if (!m_scanner.SetVhdlStandard(settings.vhdlStandard)) {
        std::ignore =
            Fail(kFailure, "CHdlProject - unknown VHDL standard \"%s\" ignored\n", settings.vhdlStandard.c_str());
      }
    }
    m_settings = std::move(settings);
  }
  const std::size_t scanned = m_scanner.Update();
  RecordIncludes();
  // Gathering every message and writing them all would cost each edit in proportion to the whole
  // project: they wait for a whole-project answer or the close. The open's own scan waits too:
  // the settings given right after it (include folders, macros) may take its messages back.
  if (scanned != 0 && !m_workingDirectory.empty()) m_logStale = true;
}

// A project file answers its views while it takes in its includes: each parser file is looked
// up again and held while it hands them over.
void CHdlProject::RecordIncludes() {
  const std::vector<FileHandle> changed = m_scanner.TakeIncludeChanges();
  if (changed.empty()) return;
  const Prjrep::AutoPtr<IHdlProject> keep(&m_XIHdlProject);
  for (const FileHandle handle : changed) {
    const Prjrep::AutoPtr<IHdlFile> file(m_files.FileOf(handle));
    if (!file) continue;
    std::vector<std::string> includes;
    for (const std::string_view path : m_scanner.IncludesOf(handle)) includes.emplace_back(path);
    reinterpret_cast<CHdlParserFile*>(handle)->RecordIncludes(includes);
  }
}

void CHdlProject::WriteLog() {
  // A query's message (a hierarchy cut at the node bound) comes with no scan, live or at an open.
  const bool queried = m_logDigest && m_scanner.QueryMessagesVersion() != m_loggedQueries;
  if ((!m_logStale && !queried) || m_workingDirectory.empty()) return;
  m_logStale = false;
  struct NoteQueries {
    CHdlProject& self;
    ~NoteQueries() { self.m_loggedQueries = self.m_scanner.QueryMessagesVersion(); }
  } note{*this};
  // The messages of the last scan, one line each, made and handed on a piece at a time. Their
  // paths and texts (the names of units, libraries and includes) are escaped as messages escape
  // them: a name can neither end its line nor write one of its own.
  // A file that sources include is read as a part of them, as a fresh open reads it: that it holds
  // no unit of its own says nothing, though the views hand it to the parser after some edits.
  std::optional<std::unordered_set<std::string_view>> included;
  const auto inPieces = [this, &included](const std::function<void(std::string_view)>& take) {
    constexpr std::size_t kPiece = 64 * 1024;
    std::string piece;
    m_scanner.VisitMessages([&](const Hdl::scan::Message& message) {
      if (message.kind == Hdl::scan::MessageKind::kNoUnit) {
        if (!included) included = m_files.IncludedPaths();
        if (included->count(message.path) > 0) return;
      }
      piece += message.severity == Hdl::scan::Severity::kError ? "ERROR:" : "WARNING:";
      piece += Port::EscapeControls(message.path);
      piece += ':';
      piece += std::to_string(message.line);
      piece += ": ";
      piece += Port::EscapeControls(message.text);
      piece += '\n';
      if (piece.size() >= kPiece) {
        take(piece);
        piece.clear();
      }
    });
    if (!piece.empty()) take(piece);
  };
  LogDigest digest;
  if (m_logDigest) {
    inPieces([&digest](std::string_view piece) { digest.Add(piece); });
    if (*m_logDigest == digest) return;
    digest = LogDigest();
  }
  // Written whole beside itself and never through a link out of the working directory: a
  // FIFO, device or outside file at the log's name in a received project is replaced, not
  // written into or waited on.
  std::string log;
  inPieces([&](std::string_view piece) {
    digest.Add(piece);
    log += piece;
  });
  const std::string path = m_workingDirectory + "/hdlparser.log";
  // The log may be there as it would be written (a project opened again, another shell that wrote
  // it since): left as it is, so that a read-only use changes nothing. Read only as a file of its
  // own, at most as long as the log.
  std::string there;
  if (Hvd::ReadOwnRegularFile(path, there, log.size()) && there == log) {
    m_logDigest = digest;
    return;
  }
  std::string message;
  // Not flushed to the disk: the next scan writes again what a crash might lose.
  const Hvd::UnflushedBelow unflushed(m_workingDirectory);
  if (Hvd::WriteOwnFileAtomically(path, log, m_workingDirectory, &message) != kSuccess)
    std::ignore = Fail(kFailure, "CHdlProject - the parser's log is not written: %s\n", message.c_str());
  m_logDigest = digest;
}

Status CHdlProject::HandOutOrder(const std::string& top, IHdlFileIterator** files) {
  if (files == nullptr) return kInvalidParameter;
  Refresh();
  WriteLog();  // the whole project is worked out for the order anyway
  const Hdl::scan::CompileOrder order = top.empty() ? m_scanner.GetCompileOrder() : m_scanner.GetCompileOrder(top);
  if (!top.empty() && order.units.empty()) {
    *files = nullptr;
    return Fail(kFailure, "CHdlProject::GetCompileOrder - unknown top \"%s\"\n", top.c_str());
  }
  return HandOutIterator<IHdlFile*, IHdlFileSet>(FilesOf(order), files);
}

// The top of a netlist node is its unit; the root stands for the whole project.
Status CHdlProject::XIHdlElaborationData::GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) {
  std::string name;
  if (top != nullptr) {
    Prjrep::AutoRelease<CitI::IInterface> unit(top->GetDesignUnit());
    Prjrep::AutoCast<IDesignUnit> named(unit.Get());
    Text text;
    if (named && named->GetDesignUnitName(&text) == kSuccess) name = text.str();
  }
  return This().HandOutOrder(name, files);
}

// Every mode gives the order of what `top` needs.
Status CHdlProject::XIHdlElaborationData::GetCompileOrder(IHdlDesignUnit* top, std::uint32_t,
                                                          IHdlFileIterator** files) {
  std::string name;
  Prjrep::AutoCast<IDesignUnit> named(top);
  Text text;
  if (named && named->GetDesignUnitName(&text) == kSuccess) name = text.str();
  return This().HandOutOrder(name, files);
}

// The ports of the entity, module, program or interface `name` (or of a configuration's entity),
// found as a top is; the object answers IHdlPortList.
Status CHdlProject::XIHdlElaborationData::GetPorts(const char* name, CitI::IInterface** ports) {
  Prjrep::AutoOut<CitI::IInterface> result(ports);
  if (name == nullptr || ports == nullptr) return kInvalidParameter;
  CHdlProject& self = This();
  self.Refresh();
  std::optional<Hdl::scan::Interface> found = self.m_scanner.InterfaceOf(name);
  if (!found) return Fail(kFailure, "CHdlProject::GetPorts - no entity or module \"%s\"\n", name);
  Prjrep::AutoRelease<IHdlPortList> list = NewPortList(std::move(*found));
  if (!list) return kFailure;
  return result.Assign(list.Get());
}

// Children are made when first asked for: the graph's callers mostly look at the tops and the
// level below. A unit names its file as the project holds it when the node is made.
Prjrep::AutoRelease<IHdlNetListNode> CHdlProject::NodeOf(const Hdl::scan::HierarchyCursor& cursor,
                                                         const std::shared_ptr<ProjectLink>& link) {
  const Hdl::scan::HierarchyNode& node = cursor.Node();
  Prjrep::AutoRelease<IHdlDesignUnit> unit;
  if (node.unit) {
    unit = NewDesignUnit(*node.unit, link->project != nullptr ? link->project->FileOf(node.unit->file) : nullptr);
  }
  NetListChildren children = [cursor, link]() {
    NetListRun made;
    for (const Hdl::scan::HierarchyCursor& child : cursor.Children()) made.emplace_back(NodeOf(child, link));
    return made;
  };
  // A top's instance is named after its unit, so that every node below the root has a name.
  // The path names the instances from the top down, each after a "/", as views store it.
  return NewNetListNode(node.path.empty() ? node.path : "/" + node.path,
                        node.instanceName.empty() ? node.unitName : node.instanceName, unit.Get(),
                        std::move(children));
}

IHdlNetListNode* CHdlProject::TopNode(std::string_view name, const Hdl::scan::TopCandidate* candidate) {
  auto found = m_keptTops.find(name);
  // Asked for already by this graph: candidates of one name (a core copied into several
  // libraries) share one node, whose hierarchy is then read once.
  if (found != m_keptTops.end() && Asked(found->second)) return found->second.node.Get();
  // Most tops are as they were at the last graph: checked against the model without a new cursor.
  if (found != m_keptTops.end() && found->second.node && m_scanner.RootUnchanged(*found->second.cursor, name)) {
    KeptTop& kept = found->second;
    const Hdl::scan::HierarchyNode& top = kept.cursor->Node();
    if (kept.file == (top.unit ? FileOf(top.unit->file) : nullptr)) {
      Ask(kept);
      Vouch(kept, candidate);
      return kept.node.Get();
    }
  }
  std::optional<Hdl::scan::HierarchyCursor> hierarchy = m_scanner.HierarchyRoot(name);
  if (!hierarchy) {
    if (found != m_keptTops.end()) Forget(found);
    return nullptr;
  }
  const Hdl::scan::HierarchyNode& top = hierarchy->Node();
  IHdlFile* file = top.unit ? FileOf(top.unit->file) : nullptr;
  if (found == m_keptTops.end()) found = m_keptTops.try_emplace(std::string(name)).first;
  KeptTop& kept = found->second;
  Ask(kept);
  // A caller may still hold the node: it is handed out again as it is, and a changed top gets a
  // new node rather than a changed one.
  if (!(kept.node && kept.file == file && kept.cursor->SameAs(*hierarchy))) {
    Unvouch(kept);
    kept.node = NodeOf(*hierarchy, m_link).Get();
    kept.cursor = std::move(hierarchy);
    kept.file = file;
  }
  if (!kept.node) {
    Forget(found);
    return nullptr;
  }
  Vouch(kept, candidate);
  return kept.node.Get();
}

// The candidate's version vouches for the kept top only when its node is the candidate's own unit's.
void CHdlProject::Vouch(KeptTop& kept, const Hdl::scan::TopCandidate* candidate) {
  Unvouch(kept);
  const Hdl::scan::HierarchyNode& top = kept.cursor->Node();
  if (candidate == nullptr || candidate->version == 0 || candidate->id == 0 || !top.unit) return;
  const Hdl::scan::UnitInfo& unit = *top.unit;
  if (unit.file != candidate->unit.file || unit.line != candidate->unit.line || unit.kind != candidate->unit.kind ||
      unit.name != candidate->unit.name)
    return;
  if (m_byId.size() <= candidate->id) m_byId.resize(candidate->id + 1);
  ByIdTop& entry = m_byId[candidate->id];
  if (entry.kept != nullptr) Unvouch(*entry.kept);
  kept.id = candidate->id;
  entry = {candidate->version, kept.node.Get(), &kept, m_graphs};
}

IHdlNetListNode* CHdlProject::KeptNodeOf(const Hdl::scan::TopRef& candidate) {
  if (candidate.version == 0 || candidate.id >= m_byId.size()) return nullptr;
  ByIdTop& entry = m_byId[candidate.id];
  if (entry.node == nullptr || entry.version != candidate.version) return nullptr;
  if (entry.asked != m_graphs) {
    entry.asked = m_graphs;
    ++m_asked;
  }
  return entry.node;
}

// What a kept top held goes with it.
CHdlProject::KeptTops::iterator CHdlProject::Forget(KeptTops::iterator kept) {
  Unvouch(kept->second);
  return m_keptTops.erase(kept);
}

// A graph leaves few kept tops unasked, those of the tops an edit took away: they are let go all
// at once when they have come to outnumber the tops asked for, so that a graph of many tops does
// not pass over them all each time.
void CHdlProject::ForgetTopsNotAskedFor() {
  if (m_keptTops.size() <= 2 * m_asked + 64) return;
  for (auto at = m_keptTops.begin(); at != m_keptTops.end();) at = Asked(at->second) ? std::next(at) : Forget(at);
}

NetListRuns CHdlProject::RunsOf(const std::vector<IHdlNetListNode*>& tops) {
  const auto endsRun = [](const IHdlNetListNode* top) {
    return ((reinterpret_cast<std::uintptr_t>(top) >> 4) * 0x9E3779B97F4A7C15ULL) >> 60 == 0;
  };
  NetListRuns runs;
  std::size_t last = 0;  // where the last graph's runs are met again: an edit moves few tops
  for (std::size_t from = 0; from < tops.size();) {
    std::size_t to = from;
    while (to < tops.size() && !endsRun(tops[to++])) {
    }
    const auto same = [&](const std::shared_ptr<const NetListRun>& run) {
      return run->size() == to - from &&
             std::equal(run->begin(), run->end(), tops.begin() + static_cast<std::ptrdiff_t>(from),
                        [](const Prjrep::AutoPtr<IHdlNetListNode>& held, IHdlNetListNode* top) {
                          return held.Get() == top;
                        });
    };
    std::size_t at = last;
    const std::size_t end = std::min(m_lastRuns.size(), last + 4);
    while (at < end && !same(m_lastRuns[at])) ++at;
    if (at < end) {
      runs.push_back(m_lastRuns[at]);
      last = at + 1;
    } else {
      auto run = std::make_shared<NetListRun>();
      run->reserve(to - from);
      for (std::size_t k = from; k < to; ++k) run->emplace_back(tops[k]);
      runs.push_back(std::move(run));
    }
    from = to;
  }
  m_lastRuns = runs;
  return runs;
}

// An unnamed root whose children are the tops: the configured top when it is known, else every
// top candidate, the likely top first (a view keeps the first of the roots that score alike).
Status CHdlProject::XIHdlElaborationData::GetDesignGraph(IHdlNetListNode** root) {
  Prjrep::AutoOut<IHdlNetListNode> result(root);
  if (root == nullptr) return kInvalidParameter;
  CHdlProject& self = This();
  self.Refresh();
  ++self.m_graphs;
  self.m_asked = 0;
  std::vector<IHdlNetListNode*>& children = self.m_graphTops;  // held by their kept tops until the runs hold them
  children.clear();
  IHdlNetListNode* configured = nullptr;
  if (!self.m_settings.top.empty()) configured = self.TopNode(self.m_settings.top);
  if (configured != nullptr) {
    children.push_back(configured);
  } else {
    // A candidate stands for the top found by its name.
    const std::vector<Hdl::scan::TopRef>& candidates = self.m_scanner.TopRefs();
    children.reserve(candidates.size());
    for (const Hdl::scan::TopRef& ref : candidates) {
      IHdlNetListNode* node = self.KeptNodeOf(ref);
      if (node == nullptr) {
        const Hdl::scan::TopCandidate candidate{self.m_scanner.TopUnit(ref.id), false, ref.version, ref.id};
        node = self.TopNode(candidate.unit.name, &candidate);
      }
      if (node != nullptr) children.push_back(node);
    }
  }
  NetListRuns runs = self.RunsOf(children);
  self.ForgetTopsNotAskedFor();
  Prjrep::AutoRelease<IHdlNetListNode> made = NewNetListNode("", "", nullptr, std::move(runs));
  if (!made) return kFailure;
  return result.Assign(made);
}

}  // namespace
}  // namespace Hvd

// The library's entry for the host: registers the parser project's factory.
extern "C" void InstFactoryEntry() { Hvd::RegisterFactoriesOf<Hvd::CHdlProject>(); }
