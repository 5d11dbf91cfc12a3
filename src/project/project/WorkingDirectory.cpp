// Moving the project's working directory, where its generated file lives.

#include <filesystem>

#include "CitP/Factory.h"
#include "Port/FileName.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "core/Diagnostics.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// The same component, told by the root each face answers.
bool SameObject(CitI::IInterface* a, CitI::IInterface* b) {
  return a != nullptr && b != nullptr &&
         a->QueryInterface(CitI::IInterface::GetIID()) == b->QueryInterface(CitI::IInterface::GetIID());
}

// `directory` as the project stores it: relative to the project file's directory when the
// two share a root, else absolute.
String RelativeTo(const String& directory, const String& projectDirectory) {
  const std::filesystem::path target = MakeSlashPath(directory.c_str());
  const std::filesystem::path base = MakeSlashPath(projectDirectory.c_str());
  const std::filesystem::path relative = target.lexically_normal().lexically_relative(base.lexically_normal());
  return String((relative.empty() ? target.lexically_normal() : relative).generic_string().c_str());
}

}  // namespace

Status CProject::XIProject::ChangeWorkingDirectory(const String& directory, bool save, bool reload) {
  CProject& self = This();
  // A closed project has no paths to move, and a read-only one is not changed.
  if (!self.m_open)
    return Fail(kProjectNotOpen, "ERROR: Project::ChangeWorkingDirectory - Project is not opened.\n");
  if (self.m_readOnly)
    return Fail(kProjectReadOnly, "ERROR: Project::ChangeWorkingDirectory - Project is Read Only.\n");
  const String absolute = Port::FileName(directory).GetAbsolutePath();
  if (const Status made = VerifyCreateDir(absolute); made != kSuccess) return made;

  const String value = RelativeTo(absolute, self.ProjectDirectory());
  PropertyAccessor properties(this);
  const String old = properties.GetPropertyValue("PROP_WorkingDirectory");
  properties.SetPropertyValue("PROP_WorkingDirectory", value);
  Status result = kSuccess;
  if (old != value && old != directory) {
    // The repository moves too; the project and its helpers' projects go with it.
    const bool hadRepository = static_cast<bool>(self.m_repository);
    Prjrep::AutoRelease<CitI::IInterface> cvf, tcl;
    bool wasActive = false;
    if (hadRepository) {
      std::ignore = FindNamedObjectIn(self.m_repository.Get(), "CvfProject", cvf.Receive());
      std::ignore = FindNamedObjectIn(self.m_repository.Get(), "TclProject", tcl.Receive());
      wasActive = SameObject(GetActiveRepository().Get(), self.m_repository.Get());
      if (Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(self.m_repository.Get()); names) {
        if (cvf) std::ignore = names->UnregisterObject(cvf.Get());
        if (tcl) std::ignore = names->UnregisterObject(tcl.Get());
      }
      self.CloseRepository();
    }
    const String base = Port::FileName(self.m_projectFilePath).GetBase();
    self.m_repositoryPath = Port::FileName(absolute + "/" + base + ".hlc").MakeCanonical().GetPath();
    self.m_generatedFilePath = ChangeExtension(self.m_repositoryPath, ".ghlc");
    if (hadRepository) {
      result = self.ProjectOpenRepository();
      if (CitI::IInterface* repository = self.m_repository.Get(); repository != nullptr) {
        if (wasActive) {
          Prjrep::AutoRelease<CitI::IInterface> registry(
              CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
          std::ignore = RegisterNamedObject(registry.Get(), "ActiveRepository", repository, true);
        }
        if (cvf) std::ignore = RegisterNamedObject(repository, "CvfProject", cvf.Get(), true);
        if (tcl) std::ignore = RegisterNamedObject(repository, "TclProject", tcl.Get(), true);
        std::ignore = RegisterNamedObject(repository, "ActiveHvdProject", &self.m_XIProject, true);
      }
    }
  }
  if (save) std::ignore = self.SaveProjectFiles(false);
  if (reload) std::ignore = self.ReloadProject(true, false, false, false);
  self.m_projectFileStamp.path = self.m_projectFilePath;
  self.m_generatedFileStamp.path = self.m_generatedFilePath;
  self.m_projectFileStamp.Update();
  self.m_generatedFileStamp.Update();
  // Nothing is written from a project whose file could not be read.
  if (!Port::File::exist(self.m_generatedFilePath) && !self.m_readFailed) {
    std::ignore = self.WriteGeneratedProjectFile(String(), nullptr);
    self.m_generatedFileStamp.Update();
  }
  return result;
}

}  // namespace Hvd
