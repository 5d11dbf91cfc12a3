#pragma once
// The project: the root every client holds. It owns the design, the source files and
// libraries, the properties, the repository and the references to other projects. Its
// operations live in one file per concern beside this header.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IPropertyContext.h"
#include "Hvd/Ipc/IConnectionManager.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IStringSet.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/PointerMap.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "files/library/SourceLibraryManagerHelper.h"
#include "framework/PropertyContext.h"
#include "project/copy/CProjectSaveHelper.h"
#include "project/snapshot/CCheckpointManager.h"
#include "projectfiles/CXMLReader.h"
#include "utils/FileStamp.h"

namespace Hvd {

class CProjectAutonym;

// The revision the project's own user messages name with their source.
inline constexpr char kProjectRevision[] = "$Revision: 1.270.12.3 $";

// Raises one of the project's depth counters for a scope and lowers it on every way out;
// `depth` is the value it was raised to.
struct DepthScope {
  explicit DepthScope(std::atomic<std::int32_t>& counter) : m_counter(counter), depth(++counter) {}
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;
  ~DepthScope() { --m_counter; }
  std::atomic<std::int32_t>& m_counter;
  const std::int32_t depth;
};

class CProject : public TComponent<CProject> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::Project(); }

  CProject();
  CProject(const CProject&) = delete;
  CProject& operator=(const CProject&) = delete;
  ~CProject() override;

  auto QueryTable() {
    return Table(Row<IProject>(&m_XIProject), Row<IProject2>(&m_XIProject), Row<IProject3>(&m_XIProject),
                 Row<IProject4>(&m_XIProject), Row<IFileManager>(&m_XIFileManager),
                 Row<IFileManagerV1>(&m_XIFileManager), Row<IFileManagerV2>(&m_XIFileManager),
                 Row<ISourceLibraryManager>(&m_sourceLibraries), Row<IProjectReferenceSet>(&m_XIProjectReferenceSet),
                 Row<IPropertyInstanceSet>(&m_XIPropertySet), Row<IProjectHelperReference>(&m_XIProjectHelperReference),
                 Row<Prjrep::IName>(&m_XINameHelper), Row<Prjrep::IPersist>(&m_XIPersist),
                 Row<IProjectInternal>(&m_XIProjectInternal), Row<Prjrep::IEventSender>(&m_eventSender),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IEventReceiver>(&m_updateReceiver),
                 Row<IPropertyContext>(&m_propertyContext), Row<IProjectSaveAsArchive>(&m_saveHelper),
                 Row<IProjectSaveAsArchive2>(&m_saveHelper), Row<IProjectSaveAsArchive3>(&m_saveHelper),
                 Row<Prjrep::IAutoNaming>(&m_XIAutoNaming),
                 ForeignRow<Prjrep::ISimpleNamedLookup>([this] { return LookupPart<Prjrep::ISimpleNamedLookup>(); }),
                 ForeignRow<Prjrep::IAutonymLookup>([this] { return LookupPart<Prjrep::IAutonymLookup>(); }),
                 Row<ICompositionControl>(&m_XICompositionControl), Row<CitI::IInterface>(&m_XIProject),
                 Row<IForceSave>(&m_XIForceSave), Row<IProjectSaveState>(&m_XISaveState),
                 ForeignRow<ICheckpointManager>(
                     [this] { return m_checkpointManager ? m_checkpointManager->Face() : nullptr; }));
  }

  // The project behind any of its interfaces; null for anything else.
  static CProject* FromInterface(CitI::IInterface* object);

  // Puts the project into the open state for `projectFile` (the .xhlc path) with `design`:
  // the paths derived from it, the design and the flags. Opening builds on this.
  void EnterOpenState(const String& projectFile, IDesign* design, bool readOnly);
  // Drops what an open project holds; with `final`, also its name, paths and design.
  void ReleaseProject(bool final);

  // The one body of both adds; see IFileManager::ProjectAddFile.
  Status AddFile(const String& path, IFileType* type, IHdlFile** file, bool testExists);
  // Sends `eventId` with a fresh conflict-report set to the project's listeners and the
  // host's relay; the first report that objects decides the answer (1 when none does).
  Status BroadcastWithConflictReports(const Port::XUID& eventId, IConflictReportSet** reports);
  // Composes the given child projects into this project: hooks, files, view events.
  Status ComposeChildProjects(const std::vector<Prjrep::AutoPtr<IProject>>& children);

  // Reads the .xhlc at `path` into the closed project; `reopen` only from Reopen.
  Status ProjectOpenXml(const String& path, bool reopen);
  bool ReadProjectDocument(const String& path);
  // Parses the project file for a reload into the document its open takes; false, with the
  // project untouched, when it does not parse or is of a schema the project does not read.
  bool ReadAhead(const String& path);
  // Whether the project file changed on disk since it was read or written here into something
  // a reload refuses: no regular file (a folder), or one that does not parse (cut short) or is
  // of a schema the project does not read.
  bool ProjectFileRefusedOnDisk() const;
  // Adds the .mhs file that a project with a .zmr file lost, when it is on disk.
  void FixUpProject();
  // An older project (.hlc, .rwk): migrated, then opened as the .xhlc beside it.
  Status OpenOlderProject(const String& path);
  // The save core: both project files unless the project file could not be read, then the
  // projects that own this project's files; `force` saves those without their delay.
  Status SaveProjectFiles(bool force);
  Status WriteSourceProjectFile(const String& path, CitI::IInterface* fileMap);
  Status RenderSourceProjectFile(const String& target, CitI::IInterface* fileMap, bool compareOnly);
  Status WriteGeneratedProjectFile(const String& path, CitI::IInterface* fileMap);
  Status SaveSubProjects(bool force);
  // Inside a close, a forced save of a sub-project is owed to that sub-project's own close,
  // which the release routine of its parent runs, rather than run once per closing ancestor;
  // true when it was taken as owed. What no close reaches is saved when the outermost close
  // ends.
  static bool OweForcedSaveToClose(IProject* project);
  // Whether the older generation's repository (VEL_CORVANE_ENABLE_HLC) stands for the project.
  static bool UsesOlderStorage() { return std::getenv("VEL_CORVANE_ENABLE_HLC") != nullptr; }
  // The open projects that own the project's files, in file order; none is opened for it.
  Status CollectSubProjects(std::vector<Prjrep::AutoPtr<IProject>>& projects);
  // Before the project's own files are written: when another program changed them on disk
  // since they were read or written here, the change check runs (it asks whether to read them
  // again, and does), so that a save never writes over that change unasked. Only outside any
  // save, open, close or reload, where a reload can run.
  // Answers kProjectNotOpened, with nothing read in, when the user chose to read the change in
  // and it could not be read; the save then writes nothing. A question that got no answer (the
  // dialog failed) fails the save the same way, with nothing read in or written.
  Status CheckDiskBeforeWrite();
  // Reads the project file again; see CheckFiles for when it asks first. A file that cannot be
  // read leaves the project as it was and answers kProjectNotOpened.
  Status ReloadProject(bool noQuestion, bool askFirst, bool projectFileChanged, bool generatedFileChanged);
  // Writes the project file, the generated file or both again from memory.
  void RewriteFiles(bool projectFile, bool generatedFile);
  // Whether a save would write anything other than what the project last read from or wrote
  // to its own files; true when that cannot be told, and when the project file on disk is one a
  // reload refuses, which leaves the project in memory its only whole copy.
  bool HoldsUnsavedChanges();

  std::int64_t SaveDelay() const noexcept { return m_saveDelay; }
  IProject* Face() noexcept { return &m_XIProject; }
  // The project is not stored through the repository's objects: its files are its store.
  Status LoadFrom(Prjrep::IStorage*) { return kNotSupported; }
  // An autonym the project made of itself is going.
  void ForgetAutonym(CProjectAutonym* autonym);

 private:
  // The project's face: the accessors here, the rest in the file of its concern.
  struct XIProject : TNested<CProject, IProject4> {
    using TNested::TNested;
    CProject* Project() const noexcept { return &This(); }
    Status GetRepositoryPath(String* path) override;
    Status Open(const String& path) override;
    Status ProjectClose(bool save) override;
    Status Save() override;
    Status GetDesign(IDesign** design) override;
    Status ProjectCleanUp() override;
    Status GetReadOnly(bool* readOnly) override;
    Status IsOpen(bool* open) override;
    Status GetConnectionManager(Ipc::IConnectionManager** manager) override;
    Status ReconcileProject() override;
    Status GetProjectFilePath(String* path) override;
    Status GetGeneratedFilePath(String* path) override;
    Status GetWorkingDirectory(String* path) override;
    Status ChangeWorkingDirectory(const String& directory, bool save, bool reload) override;
    Status Reload() override;
    Status ParseCompileOrderFile(const String& path, std::int32_t mode) override;
    Status CleanupAutoManagedFiles() override;
    Status WriteUsageStatistics() override;
    Status Reopen(const String& path) override;
  } m_XIProject{this};

  struct XIFileManager : TNested<CProject, IFileManager> {
    using TNested::TNested;
    Status GetProjectFiles(IHdlFileIterator** files) override;
    Status ProjectAddFile(const String& path, IFileType* type, IHdlFile** file) override {
      return This().AddFile(path, type, file, true);
    }
    Status ProjectRemoveFile(IHdlFileIterator* at) override;
    Status CheckFiles() override;
    Status RemoveFileByPath(const String& path) override;
    Status RemoveFileByHdlFile(CitI::IInterface* file) override;
    Status FindFileByPath(const String& path, IHdlFileIterator** at) override;
    Status FindFileByHdlFile(CitI::IInterface* file, IHdlFileIterator** at) override;
    Status FindFileCompFromName(const String& name, IHdlFile** file) override;
  } m_XIFileManager{this};

  struct XIProjectInternal : TNested<CProject, IProjectInternal> {
    using TNested::TNested;
    bool FindFileByNameParts(const String& first, const String& second, bool userFilesOnly, IHdlFile** file) override;
    Status ProjectAddFile(const String& path, IFileType* type, IHdlFile** file) override {
      return This().AddFile(path, type, file, false);
    }
    Status ProjectWriteAs(const String& path, CitI::IInterface* fileMap) override;
    Status ProjectWriteCopy(const String& path, CitI::IInterface* fileMap, const String& description,
                            const String& workingDirectory, const String& buildMacro, bool writeGenerated) override;
  } m_XIProjectInternal{this};

  // The references to other projects; adding and removing check the project's state.
  using ReferenceSetBase = Prjrep::TSequenceSetHelper<IProjectReference*, IProjectReferenceSet,
                                                      IProjectReferenceIterator, std::list<IProjectReference*>>;
  struct XIProjectReferenceSet : ReferenceSetBase {
    explicit XIProjectReferenceSet(CProject* project) : m_project(project) {}
    Status Add(IProjectReference* reference) override;
    Status Remove(IProjectReferenceIterator* at) override;
    CProject* m_project;
  } m_XIProjectReferenceSet{this};

  using PropertySetBase = Prjrep::TSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet,
                                                     IPropertyInstanceIterator, std::list<IPropertyInstance*>>;
  PropertySetBase m_XIPropertySet;

  struct XINameHelper : Prjrep::CNameHelper {
    explicit XINameHelper(CProject* project) : m_project(project) {}
    CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
    Status SetName(const String& name) override;
    CProject* m_project;
  } m_XINameHelper{this};

  struct XIProjectHelperReference : TNested<CProject, IProjectHelperReference> {
    using TNested::TNested;
    Status ReservedOperation1() override { return kNotSupported; }
    Status GetCvfProject(IProjectHelper** helper) override;
  } m_XIProjectHelperReference{this};

  Prjrep::TPersistHelper<CProject> m_XIPersist{this};

  struct XIAutoNaming : TNested<CProject, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Status GetAutonym(Prjrep::IAutonym** autonym) override;
  } m_XIAutoNaming{this};

  struct XICompositionControl : TNested<CProject, ICompositionControl> {
    using TNested::TNested;
    Status Compose(CitI::IInterface* argument) override;
    Status Decompose(CitI::IInterface* project) override;
  } m_XICompositionControl{this};

  struct XIForceSave : TNested<CProject, IForceSave> {
    using TNested::TNested;
    Status ForceSave() override;
    Status SetSaveDelay(std::int64_t seconds) override;
  } m_XIForceSave{this};

  struct XISaveState : TNested<CProject, IProjectSaveState> {
    using TNested::TNested;
    Status HasUnsavedChanges(bool* unsaved) override;
  } m_XISaveState{this};

  friend struct XIProject;
  friend struct XIFileManager;
  friend TPropertyContextHelper<CProject>;

  Status GetContextParent(IPropertyContext** parent);
  // The named lookups go to a table of the host, made on first use.
  CitI::IInterface* LookupTable();
  template <class I>
  I* LookupPart() {
    CitI::IInterface* table = LookupTable();
    return table != nullptr ? CastAnswer<I>(table->QueryInterface(I::GetIID())) : nullptr;
  }
  // The project's own listeners get the two file events that reach its receiver.
  static Status Update(CProject* project, Prjrep::IEvent* event);
  static Status UpdateForChildProject(CProject* project, Prjrep::IEvent* event);
  Status ForwardEvent(Prjrep::IEvent* event);
  Status RemoveFile(IHdlFileIterator* at);
  // A file that includes a removed one, in one category of includes.
  struct Includer {
    std::uint32_t category;
    Prjrep::AutoPtr<IHdlFile> file;
  };
  static std::vector<Includer> IncludersOf(IHdlFile* file);
  void IncludeAgain(const String& fullName, const std::vector<Includer>& includers);
  // Files that include one another hold each other: the links go before the files do.
  void UnlinkFiles();
  Prjrep::AutoRelease<IFileType> FileTypeOfPath(const String& path);
  // The project's child projects: those its project-file sources stand for.
  std::vector<Prjrep::AutoPtr<IProject>> ChildProjects();
  // The directory of the project source file.
  String ProjectDirectory() const;
  // The working directory the stored value names, made complete. A received project file must
  // not make the open create folders elsewhere: a value that lies outside the project's
  // directory, links resolved, and is no existing folder gives the project's directory, and
  // `refused` (when given) says so.
  String WorkingDirectoryOf(const String& stored, bool* refused = nullptr) const;
  // Creates the design when the project has none and attaches it to the project.
  Status MakeDesign();
  // Creates the system library "work" when the project has none.
  void MakeWorkLibrary();
  // Opens the repository storage of the project file.
  Status ProjectOpenRepository();
  void CloseRepository();
  // Registers `repository` under the repository path too, where the older storage is asked for.
  void KnowRepositoryByItsPath(Prjrep::IProjectRepository* repository);
  String OlderStoragePath() const;
  bool IsOwnFile(const String& path) const;
  void SaveOlderStorage();
  // With `propertiesRead` false the working directory is the project's own: before the open
  // has read the properties (a reload's design is emptied until then) there is none to ask.
  void DerivePaths(bool propertiesRead);

  // The steps of reading a compile-order file (CompileOrderFile.cpp).
  struct CompileOrderRecord {
    String path;
    String second;
    String library;
    String fourth;
  };
  Status SplitCompileOrderLines(Prjrep::IStringSet* lines, std::vector<CompileOrderRecord>& records);
  Status VerifyCompileOrderFiles(const std::vector<CompileOrderRecord>& records, const String& path);
  Status ResetViewCompileOrder(const String& viewName);
  Status ApplyCompileOrder(const std::vector<CompileOrderRecord>& records);
  // A path of a compile-order file, taken against the project file's directory.
  String CompileOrderPath(const String& listed);

  // What a loaded project holds.
  std::uint64_t m_fileSequence = 0;
  bool m_open = false;
  bool m_readOnly = false;
  bool m_readFailed = false;
  // Why the last save of the project's own file left changes unwritten (no permission, the file
  // or its folder gone); empty when it wrote them or there were none. A saving close stops on it.
  String m_unwritten;
  // Set while a migration builds the project: its own files are written once, whole, when the
  // build is done, so that a migration cut short leaves no part-built project behind.
  bool m_building = false;
  // Set while an open reads the project file in: what memory holds is not yet the project, and
  // a save then (a simulator read from the file rebuilds the views, saving first) would write
  // that part over the file being read.
  bool m_reading = false;
  std::int64_t m_saveDelay = 5;
  // Owned plainly: the manager holds the project without a count.
  std::unique_ptr<CCheckpointManager> m_checkpointManager;
  Prjrep::AutoPtr<Ipc::IConnectionManager> m_connectionManager;
  Prjrep::AutoPtr<IDesign> m_design;
  String m_repositoryPath;
  // The path given to Open, made absolute; the older generation's repository is kept in it.
  String m_openedPath;
  Prjrep::AutoPtr<Prjrep::IProjectRepository> m_repository;
  String m_softwareVersion;
  String m_projectFilePath;
  String m_generatedFilePath;
  Prjrep::CTimestampHelper m_lastSave;
  FileStamp m_projectFileStamp;
  FileStamp m_generatedFileStamp;
  // The generated file's bytes as the project last read or wrote them; none when it did neither.
  std::optional<std::string> m_generatedBytes;
  Prjrep::CTimestampHelper m_fileListChanged;
  std::atomic<std::int32_t> m_changeCheckDepth{0};
  std::atomic<std::int32_t> m_reconcileDepth{0};
  std::atomic<std::int32_t> m_cleanUpDepth{0};
  std::atomic<std::int32_t> m_saveDepth{0};
  // Set while a save looks at the disk first. Such a check writes the unchanged file only once
  // the question is answered, and an unanswered question leaves its reason in `m_unanswered`.
  bool m_checkingBeforeWrite = false;
  std::pair<bool, bool> m_rewriteOnAnswer{false, false};  // the project file, the generated file
  String m_unanswered;
  Prjrep::CEventSenderHelper m_eventSender{&m_XIProject};
  Prjrep::TRefCountHelper<CProject> m_refCount{this};
  CSourceLibraryManagerHelper m_sourceLibraries;
  Prjrep::TBaseEventReceiverHelper<CProject> m_nullReceiver{this};
  TPropertyContextHelper<CProject> m_propertyContext;  // no parent
  // The receiver that other senders are given; it answers for the project like its parts.
  struct UpdateReceiver : Prjrep::TEventReceiverHelper<CProject> {
    using TEventReceiverHelper::TEventReceiverHelper;
    CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
      if (iid == Prjrep::IEventReceiver::GetIID()) return this;
      return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
    }
  } m_updateReceiver{this, &CProject::Update};
  Prjrep::TBaseEventReceiverHelper<CProject> m_childProjectReceiver{this, &CProject::UpdateForChildProject};
  // Accepts every event of the connection manager and does nothing.
  Prjrep::TBaseEventReceiverHelper<CProject> m_ipcReceiver{this};
  Prjrep::AutoPtr<CitI::IInterface> m_lookup;
  // The project's files in the order they came, each reached at once by the file itself, so that
  // finding and removing one does not walk the others.
  class HdlFileSet final
      : public Prjrep::TSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::list<IHdlFile*>> {
    using Base = Prjrep::TSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::list<IHdlFile*>>;

   public:
    Status Add(IHdlFile* file) override {
      const Status added = Base::Add(file);
      if (added == kSuccess && !m_elements.empty()) m_positions.Insert(file, std::prev(m_elements.end()));
      return added;
    }
    void Erase(Position& pos) override {
      if (!AtEnd(pos)) {
        if (const Position* known = m_positions.Find(*pos); known != nullptr && *known == pos) m_positions.Erase(*pos);
      }
      Base::Erase(pos);
    }
    Status Clear() override {
      m_positions.Clear();
      return Base::Clear();
    }
    // An iterator standing on `file`; null when the set does not hold it under that pointer.
    Prjrep::AutoRelease<IHdlFileIterator> IteratorOf(IHdlFile* file) {
      Prjrep::AutoRelease<IHdlFileIterator> at;
      const Position* known = m_positions.Find(file);
      if (known == nullptr || GetIteratorAt(*known, at.Receive()) != kSuccess) at = nullptr;
      return at;
    }

   private:
    TPointerMap<Position> m_positions;
  };
  HdlFileSet m_hdlFiles;
  // The same files as m_hdlFiles, by full name. Ordered: files are added in about the order of
  // their names, which a tree takes at its edge, where a hashed table of a large project would
  // be built again and again as it grows.
  std::map<std::string, IHdlFile*> m_fileIndex;
  // The entry indexed last, where the next is looked for first; end() when there is none.
  std::map<std::string, IHdlFile*>::iterator m_lastIndexed = m_fileIndex.end();
  bool m_reopened = false;
  // The reader of the project file as last opened; the save hands its document to the writer.
  std::unique_ptr<CXMLReader> m_reader;
  // The document of the project source file read by the open's version check, with the path
  // it was read from; taken by the open's own read.
  struct ReadDocument {
    String path;
    Xml::DocumentPtr document;
    std::string bytes;
    std::unique_ptr<ElementIndex> index;
    std::unique_ptr<CXMLReader::DivertedFiles> diverted;
    bool refused = false;  // the file did not parse, and that was reported
  };
  ReadDocument m_readDocument;
  // Set when the open made the design: the release then tears it down.
  bool m_designMadeHere = false;
  // The autonyms the project made of itself, told when the project goes.
  std::vector<CProjectAutonym*> m_autonyms;
  // Save as, copies and archives of the project.
  CProjectSaveHelper m_saveHelper{&m_XIProject};
};

}  // namespace Hvd
