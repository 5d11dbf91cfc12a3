// The project object: construction, destruction, its accessors and small faces.

#include <cstdlib>
#include <filesystem>

#include "CitP/Factory.h"
#include "Hvd/ICompAdmin.h"
#include "Port/FileName.h"
#include "Port/Version.h"
#include "Prjrep/ClassIds.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Diagnostics.h"
#include "project/CProjectAutonym.h"
#include "project/IpcConnection.h"
#include "project/UsageStatistics.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// `path` with forward slashes and without a leading "//" before a drive colon.
std::string SlashForm(const String& path) {
  std::string text = path.str();
  if (text.size() >= 3 && text[0] == '/' && text[1] == '/' && text[2] == ':') text.erase(0, 2);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

String Canonical(const String& path) {
  Port::FileName name(path);
  return name.MakeCanonical().GetPath();
}

}  // namespace

CProject::CProject() {
  std::ignore = m_XIPropertySet.SetOwner(&m_XIProject);
  std::ignore = m_XIProjectReferenceSet.SetOwner(&m_XIProject);
  std::ignore = m_hdlFiles.SetOwner(&m_XIProject);
  std::ignore = m_XINameHelper.SetOwner(&m_XIProject);
  std::ignore = m_propertyContext.SetOwner(this);
  m_sourceLibraries.SetOwner(&m_XIProject);
  m_checkpointManager = std::make_unique<CCheckpointManager>(&m_XIProject);
  if (const char* delay = std::getenv("VEL_CORVANE_SAVE_DELAY"); delay != nullptr)
    m_saveDelay = std::strtoll(delay, nullptr, 0);
  m_softwareVersion = Port::Version::getValue("version");
}

CProject::~CProject() {
  for (CProjectAutonym* autonym : m_autonyms) autonym->ForgetOwningProject();
  m_autonyms.clear();
  ReleaseProject(true);
  m_fileIndex.clear();
  m_lastIndexed = m_fileIndex.end();
  std::ignore = m_hdlFiles.Clear();
  m_lookup = nullptr;
  std::ignore = m_XIPropertySet.Clear();
  std::ignore = m_XIProjectReferenceSet.Clear();
  m_sourceLibraries.ClearAllLibraries();
  m_repository = nullptr;
  m_design = nullptr;
  ReturnConnectionManager(m_connectionManager);
  m_checkpointManager.reset();
}

CProject* CProject::FromInterface(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  auto* face = dynamic_cast<XIProject*>(object->QueryInterface(IProject::GetIID()));
  return face != nullptr ? face->Project() : nullptr;
}

CProject::String CProject::ProjectDirectory() const {
  Port::FileName name(m_projectFilePath);
  std::string head = SlashForm(name.GetHead());
  while (head.size() > 1 && head.back() == '/') head.pop_back();
  return String(head.c_str());
}

void CProject::EnterOpenState(const String& projectFile, IDesign* design, bool readOnly) {
  m_projectFilePath = projectFile;
  m_design = design;
  m_open = true;
  m_readOnly = readOnly;
  DerivePaths(true);
}

void CProject::ReleaseProject(bool final) {
  ReturnConnectionManager(m_connectionManager);
  if (!m_open && !final) return;
  const bool wasOpen = m_open;
  // The child projects are let go before the files that lead to them: only those open, as
  // one opened here would only be closed again, and its helper would stay behind registered
  // in that project's repository, in the way of whoever opens it next.
  std::vector<Prjrep::AutoPtr<IProject>> children;
  std::ignore = CollectSubProjects(children);
  for (const Prjrep::AutoPtr<IProject>& child : children) {
    std::ignore = UnregisterChildViewEvents(&m_childProjectReceiver, child.Get(), true);
    std::ignore = CloseOwningCvfProject(child.Get(), nullptr);
  }
  UnlinkFiles();
  m_fileIndex.clear();
  m_lastIndexed = m_fileIndex.end();
  std::ignore = m_hdlFiles.Clear();
  std::ignore = m_XIPropertySet.Clear();
  std::ignore = m_XIProjectReferenceSet.Clear();
  m_sourceLibraries.ClearAllLibraries();
  m_fileSequence = 0;
  m_generatedBytes.reset();
  m_open = false;
  m_readOnly = false;
  m_readFailed = false;
  // The same manager stays, so that a face of it handed out before stays good; the
  // snapshots it listed go.
  if (m_checkpointManager) m_checkpointManager->Reset();
  CloseRepository();
  m_updateReceiver.DisconnectAll();
  m_childProjectReceiver.DisconnectAll();
  if (final) {
    m_eventSender.RemoveAllReceivers();
    m_reader.reset();
    if (m_design && m_designMadeHere) {
      if (Prjrep::AutoCast<ICompAdmin> admin(m_design.Get()); admin) std::ignore = admin->Teardown();
    }
    m_designMadeHere = false;
    m_design = nullptr;
    std::ignore = m_XINameHelper.CNameHelper::SetName(String());
    m_projectFilePath = String();
    m_generatedFilePath = String();
    m_repositoryPath = String();
    m_openedPath = String();
    // Last, so that nothing the teardown above registers outlives the close. A reload keeps
    // the lookup: what the reconfiguration objects registered in it is not registered again.
    m_lookup = nullptr;
    // What resolved an autonym to this project found it in the process-wide registry from then
    // on; a closed project is no answer to it. A project opened again on the file is resolved
    // afresh, as a new process finds it.
    if (wasOpen) std::ignore = ForwardToNamedObjectRegistry(&m_XIProject);
  }
}

// --- Accessors ---------------------------------------------------------------------------

Status CProject::XIProject::GetRepositoryPath(String* path) {
  if (path == nullptr) return kInvalidParameter;
  *path = String();
  const String& stored = This().m_repositoryPath;
  if (Port::FileName(stored).GetTail().empty()) return kSuccess;
  *path = Canonical(Port::FileName(stored).GetAbsolutePath());
  return kSuccess;
}

Status CProject::XIProject::GetDesign(IDesign** design) {
  CProject& self = This();
  if (!self.m_open) return Fail(kProjectNotOpen, "ERROR: Project::GetDesign - Project is not open.\n");
  if (design == nullptr) return Fail(kInvalidParameter, "ERROR: Project::GetDesign - Invalid Parameter.\n");
  *design = nullptr;
  if (!self.m_design) return Fail(kOwnerMissing, "ERROR: Project::GetDesign - No Design Object.\n");
  *design = self.m_design.Get();  // borrowed: the project keeps the design
  return kSuccess;
}

Status CProject::XIProject::GetReadOnly(bool* readOnly) {
  if (!This().m_open) return Fail(kProjectNotOpen, "ERROR: Project::GetReadOnly - Project is not opened.\n");
  if (readOnly == nullptr) return Fail(kInvalidParameter, "ERROR: Project::GetReadOnly - Invalid Parameter.\n");
  *readOnly = This().m_readOnly;
  return kSuccess;
}

Status CProject::XIProject::IsOpen(bool* open) {
  if (open == nullptr) return kInvalidParameter;
  *open = This().m_open;
  return kSuccess;
}

Status CProject::XIProject::GetProjectFilePath(String* path) {
  if (path == nullptr) return kInvalidParameter;
  if (!This().m_projectFilePath.empty()) *path = Canonical(This().m_projectFilePath);
  return kSuccess;
}

Status CProject::XIProject::GetGeneratedFilePath(String* path) {
  if (path == nullptr) return kInvalidParameter;
  if (!This().m_generatedFilePath.empty()) *path = Canonical(This().m_generatedFilePath);
  return kSuccess;
}

// "." or nothing is the project's own directory; an absolute value stands as it is; any
// other is taken relative to the project's directory.
Status CProject::XIProject::GetWorkingDirectory(String* path) {
  if (path == nullptr) return kInvalidParameter;
  CProject& self = This();
  String value;
  if (self.m_open && self.m_design) value = PropertyAccessor(this).GetPropertyValue("PROP_WorkingDirectory");
  *path = self.WorkingDirectoryOf(value);
  return kSuccess;
}

CProject::String CProject::WorkingDirectoryOf(const String& stored, bool* refused) const {
  if (refused != nullptr) *refused = false;
  const std::string text = SlashForm(stored);
  const String directory = ProjectDirectory();
  if (text.empty() || text == ".") return directory;
  String path;
  if (std::filesystem::path(text).is_absolute()) {
    path = stored;
  } else {
    std::string joined = directory.str();
    if (!joined.empty() && joined.back() != '/' && joined.back() != ':') joined += '/';
    joined += text;
    path = Canonical(String(joined.c_str()));
  }
  std::error_code error;
  if (directory.empty() || std::filesystem::is_directory(path.str(), error)) return path;
  // What exists of each is resolved through its links; the rest is taken as written.
  const std::filesystem::path project = std::filesystem::weakly_canonical(directory.str(), error);
  const std::filesystem::path working = error ? std::filesystem::path()
                                              : std::filesystem::weakly_canonical(path.str(), error);
  const std::filesystem::path below = error ? std::filesystem::path("..") : working.lexically_relative(project);
  if (!below.empty() && *below.begin() != "..") return path;
  if (refused != nullptr) *refused = true;
  return directory;
}

// --- Operations that come with opening, saving and the copies ---------------------------

Status CProject::XIProject::WriteUsageStatistics() { return WriteMetrionData(this); }
// The autonym names the project without holding it: the project's files keep autonyms of
// their originators, and a counted one would keep the project alive through its own files.
Status CProject::XIAutoNaming::GetAutonym(Prjrep::IAutonym** autonym) {
  Prjrep::AutoOut<Prjrep::IAutonym> out(autonym);
  auto* made = new CProjectAutonym;
  made->SetOwningProject(&This());
  made->OwnerSlot() = This().m_autonyms.size();
  This().m_autonyms.push_back(made);
  Prjrep::AutoRelease<Prjrep::IAutonym> held(made->QueryInterface(Prjrep::IAutonym::GetIID()));
  return out.Assign(held.Get());
}

// Every file's originator holds one: a large project's close lets go of them all, each without
// a search or the list moved up behind it.
void CProject::ForgetAutonym(CProjectAutonym* autonym) {
  const std::size_t slot = autonym->OwnerSlot();
  if (slot >= m_autonyms.size() || m_autonyms[slot] != autonym) return;
  m_autonyms[slot] = m_autonyms.back();
  m_autonyms[slot]->OwnerSlot() = slot;
  m_autonyms.pop_back();
}

Status CProject::XIForceSave::SetSaveDelay(std::int64_t seconds) {
  This().m_saveDelay = seconds;
  return kSuccess;
}

// --- Name, helper reference, lookups, property context -----------------------------------

CitI::IInterface* CProject::XINameHelper::QueryInterface(const Port::XUID& iid) {
  return m_project->QueryInterface(iid);
}

Status CProject::XINameHelper::SetName(const String& name) {
  if (m_project->QueryInterface(IProject::GetIID()) == nullptr) return kMissingInterface;
  if (!m_project->m_open) return Fail(kProjectNotOpen, "ERROR: Project::SetName - Project is not opened.\n");
  if (m_project->m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::SetName - Project is Read Only.\n");
  m_name = name;
  return kSuccess;
}

Status CProject::XIProjectHelperReference::GetCvfProject(IProjectHelper** helper) {
  if (helper == nullptr) return kFailure;
  *helper = Hvd::GetCvfProject(&This().m_XIProject, false).Detach();
  return *helper != nullptr ? kSuccess : kFailure;
}

CitI::IInterface* CProject::LookupTable() {
  if (!m_lookup) {
    Prjrep::AutoRelease<CitI::IInterface> created(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedLookupTable()));
    m_lookup = std::move(created);
  }
  return m_lookup.Get();
}

Status CProject::GetContextParent(IPropertyContext** parent) {
  if (parent == nullptr) return Fail(kInvalidParameter, "ERROR: Project::GetContextParent - Invalid Parameter.\n");
  *parent = nullptr;
  return kSuccess;
}

}  // namespace Hvd
