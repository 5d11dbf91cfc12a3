// Saving: the save with its delay, the forced save, the save core and the project-file
// writers, and the writes under another name.

#include <unistd.h>

#include <cstdlib>

#include "Hvd/IHdlFile.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Prjrep/IFileNameHelper.h"
#include "Port/MsgMan.h"
#include "Port/Time.h"
#include "core/Diagnostics.h"
#include "project/ProjectRoutines.h"
#include "project/UsageStatistics.h"
#include "project/project/CProject.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/GeneratedProjectWriter.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// An existing file must be writable; a new one needs a writable directory.
bool CanWrite(const String& path) {
  if (Port::File::exist(path))
    return !Port::FaultInjection::ShouldFail("canwrite", path.str()) && ::access(path.c_str(), W_OK) == 0;
  String directory = Port::FileName(path).GetHead();
  return Port::File::canwrite_dir(directory.empty() ? String(".") : directory);
}

}  // namespace

Status CProject::XIProject::Save() {
  CProject& self = This();
  if (!self.m_open) return Fail(kProjectNotOpen, "Project::IProject::Save - Project not open.\n");
  if (self.m_readOnly) return Fail(kProjectReadOnly, "Project::IProject::Save - Project is Read Only.\n");
  if (self.m_saveDelay == -1) return kSuccess;
  if (OperationGateGuard gate(this); gate.EnteredAlready()) return kSuccess;
  if (self.m_saveDelay > 0) {
    std::int64_t seconds = 0;
    std::int64_t microseconds = 0;
    std::ignore = self.m_lastSave.GetTime(&seconds, &microseconds);
    UT_CPUTIME::TimeVal now;
    std::ignore = UT_CPUTIME::GetCurrTime(now);
    if (now.sec < seconds + self.m_saveDelay) return kSuccess;
  }
  return self.SaveProjectFiles(false);
}

Status CProject::XIForceSave::ForceSave() {
  CProject& self = This();
  if (self.m_projectFilePath.empty()) return kFailure;
  if (OperationGateGuard gate(&self.m_XIProject); gate.EnteredAlready()) return kSuccess;
  const Status result = self.SaveProjectFiles(true);
  // Only the older generation's repository has a file of its own to write.
  self.SaveOlderStorage();
  return result;
}

Status CProject::SaveProjectFiles(bool force) {
  // The file on disk is the project an open is reading in: there is nothing yet to write.
  if (m_reading) return kSuccess;
  // Another program's change that the user chose to read in, and that could not be read, is
  // neither written over nor taken for saved.
  if (const Status checked = CheckDiskBeforeWrite(); checked != kSuccess) return checked;
  // Raised while the save core or a writer runs, so that a reload asked for meanwhile does nothing.
  const DepthScope depth(m_saveDepth);
  OperationGateGuard gate(&m_XIProject);
  if (gate.EnteredAlready()) return kSuccess;
  if (m_projectFilePath.empty()) return kFailure;
  // A project file that could not be read is never overwritten from what little was read. A
  // file without write permission was warned about and the project goes on in memory; a write
  // that was tried and failed is the save's answer, and the next save tries again.
  Status written = kSuccess;
  if (!m_readFailed) {
    const Status source = WriteSourceProjectFile(String(), nullptr);
    const Status generated = WriteGeneratedProjectFile(String(), nullptr);
    if (source != kSuccess && source != kProjectReadOnly) {
      written = Fail(source, "ERROR: Project::Save - The project file \"%s\" could not be written.\n",
                     m_projectFilePath.c_str());
    } else if (generated != kSuccess && generated != kProjectReadOnly) {
      written = Fail(generated, "ERROR: Project::Save - The generated project file \"%s\" could not be written.\n",
                     m_generatedFilePath.c_str());
    }
  }
  std::ignore = SaveSubProjects(force);
  m_projectFileStamp.Update();
  m_generatedFileStamp.Update();
  if (written != kSuccess) return written;
  std::ignore = m_lastSave.SetToNow();
  return kSuccess;
}

Status CProject::WriteSourceProjectFile(const String& path, CitI::IInterface* fileMap) {
  const DepthScope depth(m_saveDepth);
  // A project being built by a migration is written once, whole, by the migration.
  if (m_building && path.empty()) return kSuccess;
  const String target = path.empty() ? m_projectFilePath : path;
  const bool own = path.empty();
  // The project's own file that cannot be written: its changes stay in memory, and what kept
  // them from the disk is remembered for a close, which must not drop them unasked.
  if (!CanWrite(target)) {
    std::string head = Port::FileName(target).GetHead().str();
    while (head.size() > 1 && head.back() == '/') head.pop_back();
    const String folder(head);
    String cause;
    if (own && !Port::File::isdir(folder.empty() ? String(".") : folder)) {
      cause = "its folder \"" + folder + "\" is gone";
    } else if (own && !Port::File::exist(target)) {
      cause = "the file is gone";
    }
    // Nothing differs from the project's own file: there is nothing the save could not keep.
    const bool changed = !own || !cause.empty() || RenderSourceProjectFile(target, fileMap, true) != kSuccess;
    if (own) m_unwritten = changed ? (cause.empty() ? String("there is no permission to write it") : cause) : String();
    if (!changed) return kProjectReadOnly;
    if (!cause.empty()) {
      Port_MsgManData::createObject("ProjectMgmt", "../src/CProject", 0, kProjectRevision)
          .issueWarning(
              "The source project file \"%s\" cannot be written: %s.\n"
              "Changes will not be saved to this file, but will be stored in memory for the duration of this project "
              "session.\n",
              target.c_str(), cause.c_str());
      return kProjectReadOnly;
    }
    Port_MsgManData::createObject("ProjectMgmt", "../src/CProject", 0, kProjectRevision)
        .issueWarning(
            "The source project file \"%s\" does not have write permissions.\n"
            "Changes will not be saved to this file, but will be stored in memory for the duration of this project "
            "session.\n"
            "If you wish for the changes to be saved to the project file, you should either change the file "
            "permissions \n"
            "of the .xhlc project file to be writable, or use File->Copy Project to make a writable copy of the "
            "project \n"
            "which will include the changes made to the project in this session. \n",
            target.c_str());
    return kProjectReadOnly;
  }
  const Status written = RenderSourceProjectFile(target, fileMap, false);
  if (own && written == kSuccess) m_unwritten = String();
  return written;
}

// Writes `target`, only where a section differs from what it holds; `compareOnly` writes
// nothing and answers kProjectReadOnly where the write would have been.
Status CProject::RenderSourceProjectFile(const String& target, CitI::IInterface* fileMap, bool compareOnly) {
  std::ignore = m_XIProject.CleanupAutoManagedFiles();
  // Where the working directory lies is recorded by every open: the project's own file holds it as
  // an open would find it, so that an open and a close with nothing changed have nothing to write.
  if (fileMap == nullptr && target == m_projectFilePath) RecordWorkingDirectoryPlace(&m_XIProject);
  CProjectSourceXMLWriter writer(target, &m_XIProject);
  if (compareOnly) writer.CompareOnly();
  if (const Status mapped = writer.SetFileMap(fileMap); mapped != kSuccess) return mapped;
  if (m_reader && Port::File::exist(target)) {
    if (!m_reader->HasDocument() && m_reader->ParseFile(target)) m_reader->ReadVersion();
    String version;
    std::ignore = m_reader->GetSchemaVersion(&version);
    // The writer compares with what the target holds now, so another target is never skipped.
    if (std::atoi(version.c_str()) == 2) {
      if (XhlcSnapshot* kept = m_reader->GetSnapshot(); kept != nullptr) return writer.WriteIfChanged(*kept);
      if (m_reader->GetDocument() != nullptr) return writer.WriteIfChanged(m_reader->GetDocument());
    }
  }
  return writer.Write();
}

namespace {

// An automatically managed file that no file includes and that includes none is stale.
bool IsStaleAutoManaged(IHdlFile* file) {
  std::uint32_t origin = 1;
  if (Prjrep::AutoCast<IFile> state(file); state) std::ignore = state->GetOriginState(&origin);
  if (origin != 3) return false;
  Prjrep::AutoCast<IHdlFileV4> related(file);
  if (!related) return false;
  bool noParents = false;
  if (related->HasNoParents(&noParents) != kSuccess || !noParents) return false;
  for (std::uint32_t category = 0; category < 6; ++category) {
    Prjrep::AutoRelease<IHdlFileIterator> children;
    if (related->GetChildFiles(category, children.Receive()) != kSuccess) return false;
    if (children && !children->IsDone()) return false;
  }
  return true;
}

}  // namespace

Status CProject::XIProject::CleanupAutoManagedFiles() {
  CProject& self = This();
  if (!self.m_open) return kProjectNotOpen;
  Prjrep::AutoRelease<IHdlFileIterator> files;
  if (self.m_hdlFiles.GetIterator(files.Receive()) != kSuccess || !files)
    return Fail(kFailure, "Error CProject::CleanupAutoMangedFiles(): Missing collection iterator\n");
  // Removed only after the walk, so that the walk never stands on a removed file.
  std::vector<String> stale;
  for (; !files->IsDone(); std::ignore = files->Next()) {
    if (!IsStaleAutoManaged(files->Current())) continue;
    String name;
    if (Prjrep::AutoCast<Prjrep::IFileNameHelper> names(files->Current()); names && names->GetFullName(&name) == kSuccess)
      stale.push_back(name);
  }
  for (const String& name : stale) std::ignore = self.m_XIFileManager.RemoveFileByPath(name);
  return kSuccess;
}

// The generated-project file, written whole or not at all; its writer's status is the answer.
Status CProject::WriteGeneratedProjectFile(const String& path, CitI::IInterface* fileMap) {
  const DepthScope depth(m_saveDepth);
  if (m_building && path.empty()) return kSuccess;
  const String target = path.empty() ? m_generatedFilePath : path;
  if (!CanWrite(target)) return kProjectReadOnly;
  // The project's own file belongs to its folder; a copy's, to the folder it is written in.
  GeneratedProjectWriter writer(target, &m_XIProject, path.empty() ? ProjectDirectory() : String());
  if (const Status mapped = writer.SetFileMap(fileMap); mapped != kSuccess) return mapped;
  if (!path.empty()) return writer.Write();
  std::string written;
  const Status status = writer.Write(&written);
  if (status == kSuccess) m_generatedBytes = std::move(written);
  return status;
}

bool CProject::HoldsUnsavedChanges() {
  if (!m_open || m_readFailed || m_building || !m_unwritten.empty() || !m_reader) return true;
  // The older generation's repository, kept beside the files, is written by every save.
  if (UsesOlderStorage() && m_repository) return true;
  // Files never read or written here, or one only parts of which were read, tell nothing.
  if (m_projectFileStamp.inode == 0 || m_generatedFileStamp.inode == 0 || !m_generatedBytes) return true;
  if (!m_reader->HasDocument()) return true;
  if (ProjectFileRefusedOnDisk()) return true;
  // The project file is compared with what was read or written last, not with what another
  // program may have put on disk since.
  if (RenderSourceProjectFile(m_projectFilePath, nullptr, true) != kSuccess) return true;
  GeneratedProjectWriter writer(m_generatedFilePath, &m_XIProject, ProjectDirectory());
  std::string bytes;
  return writer.Render(bytes) != kSuccess || bytes != *m_generatedBytes;
}

Status CProject::XISaveState::HasUnsavedChanges(bool* unsaved) {
  if (unsaved == nullptr) return kInvalidParameter;
  *unsaved = This().HoldsUnsavedChanges();
  return kSuccess;
}

Status CProject::CollectSubProjects(std::vector<Prjrep::AutoPtr<IProject>>& projects) {
  Prjrep::AutoRelease<IHdlFileIterator> files;
  if (m_hdlFiles.GetIterator(files.Receive()) != kSuccess || !files) return kFailure;
  // Only a child project's file has an owner of its own; any other file's is this project.
  for (; !files->IsDone(); std::ignore = files->Next()) {
    if (!IsProjectFileType(files->Current())) continue;
    if (Prjrep::AutoRelease<IProject> owner = GetOwningProject(files->Current()); owner)
      projects.emplace_back(owner.Get());
  }
  return kSuccess;
}

Status CProject::SaveSubProjects(bool force) {
  std::vector<Prjrep::AutoPtr<IProject>> children;
  std::ignore = CollectSubProjects(children);
  for (const Prjrep::AutoPtr<IProject>& child : children) {
    if (force) {
      if (OweForcedSaveToClose(child.Get())) continue;
      if (Prjrep::AutoCast<IForceSave> saver(child.Get()); saver) std::ignore = saver->ForceSave();
    } else {
      std::ignore = child->Save();
    }
  }
  return kSuccess;
}

// Another name for the project source file; the project's own paths and stamps stay. The
// writer's status is the answer, and a project file that could not be read is never copied
// from what little was read.
Status CProject::XIProjectInternal::ProjectWriteAs(const String& path, CitI::IInterface* fileMap) {
  CProject& self = This();
  if (path.empty()) return kFailure;
  if (self.m_readFailed)
    return Fail(kProjectNotOpened, "ERROR: Project::ProjectWriteAs - The project file could not be read.\n");
  PropertyAccessor properties(&self.m_XIProject);
  const String workingDirectory = properties.GetPropertyValue("PROP_WorkingDirectory");
  if (!workingDirectory.empty()) properties.SetPropertyValue("PROP_WorkingDirectory", Port::FileName(path).GetTail());
  const Status written = self.WriteSourceProjectFile(ReplaceProjectExtension(path, ".xhlc"), fileMap);
  std::ignore = self.WriteGeneratedProjectFile(ReplaceProjectExtension(path, ".ghlc"), fileMap);
  properties.SetPropertyValue("PROP_WorkingDirectory", workingDirectory);
  return written;
}

// A relative working directory belongs to the copy, so it is made, and the generated file
// put, beside the copy's project file, never beside the current directory.
Status CProject::XIProjectInternal::ProjectWriteCopy(const String& path, CitI::IInterface* fileMap,
                                                     const String& description, const String& workingDirectory,
                                                     const String& buildMacro, bool writeGenerated) {
  CProject& self = This();
  if (path.empty()) return kFailure;
  if (self.m_readFailed)
    return Fail(kProjectNotOpened, "ERROR: Project::ProjectWriteCopy - The project file could not be read.\n");
  const String sourceName = ReplaceProjectExtension(Port::FileName(path).GetAbsolutePath(), ".xhlc");
  const String directory = Port::FileName(sourceName).GetHead();
  const String generatedDirectory =
      workingDirectory.empty()           ? directory
      : IsAbsolutePath(workingDirectory) ? workingDirectory
                                         : directory + "/" + workingDirectory;
  if (const Status made = VerifyCreateDir(directory); made != kSuccess) return made;
  if (const Status made = VerifyCreateDir(generatedDirectory); made != kSuccess) return made;
  const String generatedName =
      Port::FileName(generatedDirectory + "/" + Port::FileName(sourceName).GetBase() + ".ghlc").MakeCanonical().GetPath();

  PropertyAccessor properties(&self.m_XIProject);
  const String oldDescription = properties.GetPropertyValue("PROP_ProjectDescription");
  const String oldWorkingDirectory = properties.GetPropertyValue("PROP_WorkingDirectory");
  const String oldMacro = properties.GetPropertyValue("PROP_velmTrnbldMacro");
  // Kept in the form the copy's file writes it, mostly from the copy's folder: the folder's name,
  // which the file then does not hold, is not held to what the file can carry.
  const String stored = CopysWorkingDirectory(workingDirectory, sourceName);
  properties.SetPropertyValue("PROP_ProjectDescription", description);
  properties.SetPropertyValue("PROP_WorkingDirectory", stored);
  if (!buildMacro.empty()) properties.SetPropertyValue("PROP_velmTrnbldMacro", buildMacro);
  // A value refused is told by its property; the copy then does not write another in its place.
  Status written = !properties.GetPropertyInstance("PROP_WorkingDirectory") ||
                           properties.GetPropertyValue("PROP_WorkingDirectory") == stored
                       ? kSuccess
                       : kInvalidParameter;
  if (written == kSuccess) written = self.WriteSourceProjectFile(sourceName, fileMap);
  if (writeGenerated && written == kSuccess) written = self.WriteGeneratedProjectFile(generatedName, fileMap);
  properties.SetPropertyValue("PROP_WorkingDirectory", oldWorkingDirectory);
  properties.SetPropertyValue("PROP_ProjectDescription", oldDescription);
  if (!buildMacro.empty()) properties.SetPropertyValue("PROP_velmTrnbldMacro", oldMacro);
  return written;
}

}  // namespace Hvd
