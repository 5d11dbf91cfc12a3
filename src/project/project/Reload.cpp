// Change detection and reload: the project notices that its files changed on disk and reads
// itself again, after asking the user unless the project is another project's part.

#include <strings.h>
#include <sys/stat.h>

#include <utility>

#include "Hvd/EventIds.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Events.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// A sub-project is marked in the operation gate by the parent that composes or adds it, or
// was generated as one.
bool IsSubProject(IProject* project) {
  Prjrep::AutoRelease<CitI::IInterface> gate;
  std::ignore = FindNamedObject("OperationGate", gate.Receive());
  if (gate && IsChildProject(gate.Get(), MakeInterfaceKey("subproject", project), project)) return true;
  const String generator = GetProjectPropertyValue(project, "PROP_ProjectGeneratorType");
  std::ignore = Fail(kSuccess, "Non-Child has a Project Generator value of %s\n", generator.c_str());
  return strcasecmp(generator.c_str(), "TarvisDSP") == 0 || strcasecmp(generator.c_str(), "Moldrix") == 0;
}

}  // namespace

Status CProject::XIFileManager::CheckFiles() {
  CProject& self = This();
  const DepthScope depth(self.m_changeCheckDepth);
  if (depth.depth > 1) return kSuccess;
  if (!self.m_open) return Fail(kProjectNotOpen, "ERROR: Project::CheckFiles - Project is not opened.\n");
  if (self.m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::CheckFiles - Project is Read Only.\n");
  Status unread = kSuccess;  // a reload the user asked for that could not read the file
  const bool projectFileChanged = self.m_projectFileStamp.IsChanged();
  const bool generatedFileChanged = self.m_generatedFileStamp.IsChanged();
  if (projectFileChanged || generatedFileChanged) {
    if (projectFileChanged)
      std::ignore = Fail(kSuccess, "xhlc %s is newer.\n", self.m_projectFilePath.c_str());
    if (generatedFileChanged)
      std::ignore = Fail(kSuccess, "ghlc %s is newer.\n", self.m_generatedFilePath.c_str());
    // The unchanged file is written again from memory, unless memory holds nothing read: a
    // project whose file could not be read never overwrites the other file from that. Before a
    // save, only once the question is answered: one left unanswered writes nothing.
    if (!self.m_readFailed) {
      if (self.m_checkingBeforeWrite) {
        self.m_rewriteOnAnswer = {!projectFileChanged, !generatedFileChanged};
      } else {
        self.RewriteFiles(!projectFileChanged, !generatedFileChanged);
      }
    }
    const FileStamp projectStamp = self.m_projectFileStamp;
    const FileStamp generatedStamp = self.m_generatedFileStamp;
    self.m_projectFileStamp.Update();
    self.m_generatedFileStamp.Update();
    const Status reloaded = self.ReloadProject(false, true, projectFileChanged, generatedFileChanged);
    self.m_rewriteOnAnswer = {false, false};
    if (reloaded == kSuccess) return kSuccess;
    // Not read in: the change stays noticed, so that no later save writes over it unasked.
    if (reloaded == kProjectNotOpened || !self.m_unanswered.empty()) {
      if (projectFileChanged) self.m_projectFileStamp = projectStamp;
      if (generatedFileChanged) self.m_generatedFileStamp = generatedStamp;
      unread = reloaded;
    }
    // Unanswered, nothing else is done either: the save that asked stops here.
    if (!self.m_unanswered.empty()) return kFailure;
  }
  std::vector<Prjrep::AutoPtr<IProject>> children;
  std::ignore = self.CollectSubProjects(children);
  for (const Prjrep::AutoPtr<IProject>& child : children) {
    Prjrep::AutoCast<IFileManager> files(child.Get());
    if (!files) continue;
    // A child that reloads is composed here again: its device difference is told once.
    SetReportDeviceMismatchOnce(true);
    std::ignore = files->CheckFiles();
    SetReportDeviceMismatchOnce(false);
  }
  std::ignore = self.m_XIProject.CleanupAutoManagedFiles();
  return unread;
}

Status CProject::CheckDiskBeforeWrite() {
  if (m_saveDepth.load() != 0 || !m_open || m_readOnly || m_readFailed || m_building) return kSuccess;
  // A stamp never taken (no file was there when the project last looked) records nothing read.
  const bool projectFileChanged = m_projectFileStamp.inode != 0 && m_projectFileStamp.IsChanged();
  const bool generatedFileChanged = m_generatedFileStamp.inode != 0 && m_generatedFileStamp.IsChanged();
  if (!projectFileChanged && !generatedFileChanged) return kSuccess;
  const CXMLReader* before = m_reader.get();
  m_checkingBeforeWrite = true;
  m_unanswered = String();
  const Status checked = m_XIFileManager.CheckFiles();
  m_checkingBeforeWrite = false;
  if (!m_unanswered.empty()) {
    const String reason = std::exchange(m_unanswered, String());
    // Named as the question named them: the file or files that changed.
    if (!projectFileChanged) {
      return Fail(kProjectNotOpened,
                  "ERROR: Project - The generated project file \"%s\" changed on disk, and the question whether to "
                  "read the project in or to write this project over it got no answer: %s\nNothing was read in or "
                  "written; the next save asks again.\n",
                  m_generatedFilePath.c_str(), reason.c_str());
    }
    if (generatedFileChanged) {
      return Fail(kProjectNotOpened,
                  "ERROR: Project - The project file \"%s\" and the generated project file \"%s\" changed on disk, "
                  "and the question whether to read them in or to write this project over them got no answer: "
                  "%s\nNothing was read in or written; the next save asks again.\n",
                  m_projectFilePath.c_str(), m_generatedFilePath.c_str(), reason.c_str());
    }
    return Fail(kProjectNotOpened,
                "ERROR: Project - The project file \"%s\" changed on disk, and the question whether to read it in "
                "or to write this project over it got no answer: %s\nNothing was read in or written; the next save "
                "asks again.\n",
                m_projectFilePath.c_str(), reason.c_str());
  }
  // Not read in again (the user said no, or it could not be read): the document read before no
  // longer stands for the file, so a save compares with what the file holds now.
  if (projectFileChanged && m_reader && m_reader.get() == before) {
    if (m_reader->GetDocument() != nullptr) m_reader->GetDocument()->setDocumentURI(nullptr);
    if (XhlcSnapshot* kept = m_reader->GetSnapshot(); kept != nullptr) kept->ForgetFile();
  }
  if (checked != kProjectNotOpened) return kSuccess;
  return Fail(checked, "ERROR: Project - The project file \"%s\" changed on disk and could not be read again.\n",
              m_projectFilePath.c_str());
}

Status CProject::XIProject::ReconcileProject() {
  CProject& self = This();
  const DepthScope depth(self.m_reconcileDepth);
  if (depth.depth >= 2) return kSuccess;
  if (!self.m_open) return Fail(kProjectNotOpen, "ERROR: Project::ReconcileProject - Project is not opened.\n");
  if (self.m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::ReconcileProject - Project is read only.\n");
  return self.m_XIFileManager.CheckFiles();
}

namespace {

// Whether the parsed file is of a schema the project reads; `version` gives the one it holds.
bool OfAcceptedSchema(CXMLReader& reader, String& version) {
  reader.ReadVersion();
  return reader.GetSchemaVersion(&version) == kSuccess && CXMLReader::IsAcceptedSchemaVersion(version);
}

}  // namespace

bool CProject::ReadAhead(const String& path) {
  CXMLReader reader(&m_XIProject);
  reader.DivertFileEntries();
  if (!reader.ParseFile(path)) return false;
  String version;
  if (!OfAcceptedSchema(reader, version)) {
    std::ignore =
        Fail(kFailure, "Error: IProject::Reload - Unsupported version (\"%s\") of XHLC file.\n", version.c_str());
    return false;
  }
  // Taken in this order, so that the document is not parsed again whole on the way.
  std::unique_ptr<CXMLReader::DivertedFiles> diverted = reader.TakeDivertedFiles();
  std::string bytes = reader.TakeBytes();
  std::unique_ptr<ElementIndex> index = reader.TakeIndex();
  m_readDocument = {path, reader.TakeDocument(), std::move(bytes), std::move(index), std::move(diverted)};
  return m_readDocument.document != nullptr;
}

bool CProject::ProjectFileRefusedOnDisk() const {
  // Unchanged since it was read or written here, it is what was read: it is not read again.
  if (m_projectFileStamp.inode == 0 || !m_projectFileStamp.IsChanged()) return false;
  struct stat info {};
  if (::stat(m_projectFilePath.c_str(), &info) != 0) return false;
  // Nothing but a regular file is opened: a folder at the name is not looked into.
  if (!S_ISREG(info.st_mode)) return true;
  // Read within the bounds a reload reads it in, and told nowhere: the question asked next says it.
  Xml::SafeDomParser parser;
  Xml::DocumentPtr document = parser.ParseFile(m_projectFilePath.c_str());
  CXMLReader reader;
  String version;
  return !reader.AdoptDocument(m_projectFilePath, std::move(document)) || !OfAcceptedSchema(reader, version);
}

Status CProject::XIProject::Reload() { return This().ReloadProject(true, true, false, false); }

namespace {

void ReportUnreadReload(const String& path) {
  Port_MsgManData::createObject("ProjectMgmt", "CProject", 5070, kProjectRevision)
      .issueError(
          "Corvane discovered errors in the project file \"%s\", while reloading the project.\n"
          "To avoid losing process status, it is recommended that the user\n"
          "1.Close the project immediately.\n"
          "2.Correct the errors in the xhlc file outside of Corvane. (The errors are shown in the console)\n"
          "3.Re-Open the project.\n"
          "The xhlc file is generated by Corvane and is intended for tool-use only. Editing the file while the "
          "project\n"
          "is open can cause project corruption and loss of data.\n",
          path.c_str());
}

}  // namespace

void CProject::RewriteFiles(bool projectFile, bool generatedFile) {
  if (projectFile) std::ignore = WriteSourceProjectFile(String(), nullptr);
  if (generatedFile) std::ignore = WriteGeneratedProjectFile(String(), nullptr);
}

Status CProject::ReloadProject(bool noQuestion, bool askFirst, bool projectFileChanged, bool generatedFileChanged) {
  // What the change check left to write once the question is settled.
  const std::pair<bool, bool> rewrite = std::exchange(m_rewriteOnAnswer, {false, false});
  const auto settled = [&] { RewriteFiles(rewrite.first, rewrite.second); };
  const DepthScope depth(m_saveDepth);
  if (depth.depth >= 2) {
    settled();
    return kFailure;  // a save, an open, a close or a reload is under way
  }
  if (askFirst) {
    const Status answered = BroadcastWithConflictReports(EventId::ReloadQuery(), nullptr);
    if (answered != kSuccess) {
      settled();
      return answered;
    }
  }
  const bool subProject = IsSubProject(&m_XIProject);
  bool droppingUnsaved = false;  // the user chose, in a save, to read the other program's file
  if (!subProject && !noQuestion) {
    String text;
    if (generatedFileChanged && !projectFileChanged) {
      text = "The generated project " + Port::EscapeControls(m_generatedFilePath) +
             " has changed on disk.\nWould you like to reload?";
    } else if (generatedFileChanged) {
      text = "Both the project " + Port::EscapeControls(m_projectFilePath) + " and the generated project " +
             Port::EscapeControls(m_generatedFilePath) + " have changed on disk.\nWould you like to reload?";
    } else {
      text = "The project " + Port::EscapeControls(m_projectFilePath) +
             " has changed on disk.\nWould you like to reload?";
    }
    // The paths are quoted as one word, so that no character of theirs is read as Tcl, and shown
    // with their control characters escaped, so that none starts a line of its own.
    const String command = "::velmor::Hvd::hvd_DisplayQuestionDialog " + TclWord(text) + " 1";
    String answer = "1";
    const Status asked = InterpHelp::RunCmd(command.c_str(), nullptr, false, &answer);
    // Before a save, a question nobody answered neither drops this project's unsaved changes
    // nor writes over the other program's: the save stops, and the next one asks again.
    if (asked != kSuccess && m_checkingBeforeWrite) {
      // Without an interpreter the answer is left as it started.
      m_unanswered = answer.empty() || answer == "1" ? String("the question could not be asked") : answer;
      return kFailure;
    }
    if (answer == "2") {
      settled();
      return kFailure;
    }
    // Read in as it is on disk, as a fresh open reads it: the file that did not change is not
    // written again from memory first, which would keep the changes the user chose to drop.
    droppingUnsaved = m_checkingBeforeWrite;
  } else {
    settled();
  }
  const String path = m_projectFilePath;
  // The file is read whole before anything of the project goes: one that another program left
  // unreadable (truncated, half written) leaves the project in memory as it was.
  if (!ReadAhead(path)) {
    ReportUnreadReload(path);
    // Unlike a failed open, the read-ahead let nothing go: say what the user still holds.
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueError("The project is kept as it was before the reload, and nothing is written to \"%s\" until it "
                    "reads. To keep this project, answer \"no\" to the question to reload: that writes this project "
                    "over the file that could not be read.\n",
                    path.c_str());
    return kProjectNotOpened;
  }
  if (subProject) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueInfo("INFO: Reloading subproject \"%s\".\n", m_projectFilePath.c_str());
    std::ignore = SendEvent(&m_XIProject, EventId::ReloadBegins(), nullptr);
  } else {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueInfo("INFO: Reloading \"%s\".\n", m_projectFilePath.c_str());
    BroadcastEvent(&m_XIProject, EventId::ReloadBegins(), nullptr);
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 5058, kProjectRevision).issueStatus("Reloading the project.\n");
  }
  // The design stays with the project: it is emptied here and filled again by the open. It is
  // held here as well, since an open that refuses the file (a device the user declines) lets it go.
  const Prjrep::AutoPtr<IDesignInternal> design(m_design.Get());
  ReleaseProject(false);
  if (design) std::ignore = design->PartialTeardown();
  // The views the open builds again announce no change on their own: the project announces
  // them once, after the whole file is read. The switch is turned back on whatever the open
  // answers, so that a failed reload does not silence the design for good.
  if (design) std::ignore = design->DisableViewsChangedEvent();
  const Status opened = ProjectOpenXml(path, false);
  m_readDocument = {};
  if (design) std::ignore = design->EnableViewsChangedEvent();
  if (opened == kProjectNotOpened) {
    ReportUnreadReload(path);
    return opened;
  }
  // What was read is what the project holds now, as after an open: the next save finds no
  // change on disk until another program makes one.
  m_projectFileStamp.Update();
  m_generatedFileStamp.Update();
  if (subProject) {
    std::ignore = SendEvent(&m_XIProject, EventId::ReloadEnds(), nullptr);
  } else {
    BroadcastEvent(&m_XIProject, EventId::ReloadEnds(), nullptr);
    if (m_design) std::ignore = SendEvent(m_design.Get(), EventId::ViewsChanged(), nullptr);
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 5106, kProjectRevision)
        .issueStatus("Finished reloading the project.\n");
  }
  if (droppingUnsaved && opened == kSuccess) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueWarning("The project was read in again from \"%s\" as it is on disk: any changes made here since "
                      "it was last saved were dropped.\n",
                      path.c_str());
  }
  return opened;
}

}  // namespace Hvd
