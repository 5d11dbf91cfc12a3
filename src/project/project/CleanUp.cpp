// Bringing a project back to its sources: stale generated files go from the project and the
// disk, the run's reports and the shared constraint data go, and every view and design unit
// forgets its transforms' state.

#include <strings.h>

#include <filesystem>
#include <system_error>

#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Hvd/IFile.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "files/wrapper/CHdlPackageWrapper.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"
#include "utils/FileUtils.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr std::uint32_t kUserSource = 0;
constexpr std::uint32_t kGenerated = 1;

// Whether the clean-up takes the file: any file not added by the user that is gone from disk,
// and a generated one that is on disk but not kept.
bool IsFileToClean(CitI::IInterface* file) {
  AutoCast<IFile> asFile(file);
  AutoCast<Prjrep::IFileNameHelper> names(file);
  if (!asFile || !names) return false;
  std::uint32_t origin = kUserSource;
  std::ignore = asFile->GetOriginState(&origin);
  if (origin == kUserSource) return false;
  bool kept = false;
  std::ignore = asFile->GetFileFlag(&kept);
  String name;
  std::ignore = names->GetFullName(&name);
  std::error_code error;
  const bool exists = !name.empty() && fs::exists(name.c_str(), error);
  return !exists || (!kept && origin == kGenerated);
}

// The paths a clean-up never deletes: each project's own files and directories.
void CollectProjectPaths(IProject2* project, std::vector<String>& paths) {
  String repository, projectFile, generated;
  std::ignore = project->GetRepositoryPath(&repository);
  std::ignore = project->GetProjectFilePath(&projectFile);
  std::ignore = project->GetGeneratedFilePath(&generated);
  paths.push_back(repository);
  const String repositoryDirectory = Port::FileName(Port::FileName(repository).GetHead()).MakeCanonical().GetPath();
  paths.push_back(repositoryDirectory);
  paths.push_back(projectFile);
  if (const String directory = Port::FileName(Port::FileName(projectFile).GetHead()).MakeCanonical().GetPath();
      directory != repositoryDirectory)
    paths.push_back(directory);
  paths.push_back(generated);
}

// `path` normalised, for comparing; empty for an empty path.
fs::path Normal(const String& path) {
  return path.empty() ? fs::path() : fs::path(path.c_str()).lexically_normal();
}

// The folders a clean-up may delete in: the project's own, and its working directory only when
// that resolves inside it. The working directory comes from the project file, which may come
// from anyone: a value that is absolute or climbs out ("../..") names someone else's folder,
// and a generated-file list read from there must not delete files in it.
std::vector<String> FoldersToCleanIn(const String& projectDirectory, const String& workingDirectory) {
  std::vector<String> folders;
  if (projectDirectory.empty()) return folders;
  folders.push_back(projectDirectory);
  std::error_code error;
  const fs::path project = fs::canonical(projectDirectory.c_str(), error);
  if (error || workingDirectory.empty()) return folders;
  const fs::path working = fs::canonical(workingDirectory.c_str(), error);
  if (error) return folders;
  const fs::path below = working.lexically_relative(project);
  if (!below.empty() && *below.begin() != "..") folders.push_back(workingDirectory);
  return folders;
}

// A name read from a project file decides what is deleted: only a regular file that lies, with
// every link on its way resolved, in one of `folders`, and that is none of the kept paths.
void DeleteIfAllowed(const String& name, const std::vector<String>& kept, const std::vector<String>& folders) {
  const fs::path path = Normal(name);
  if (path.empty() || !path.is_absolute()) return;
  for (const String& keep : kept) {
    std::error_code error;
    if (!keep.empty() && (Normal(keep) == path || fs::equivalent(keep.c_str(), path, error))) return;
  }
  std::ignore = FileUtils::RemoveFileWithin(name, folders);
}

// Every transform instance of the bindings forgets its state. 0x...1a when a binding could
// not be read; the walk goes on.
Status ResetTransformState(ITransformBindingSets* sets) {
  if (sets == nullptr) return kFailure;
  Status result = kSuccess;
  auto reset = [&result](ITransformBindingInstanceSet* set) {
    AutoRelease<ITransformBindingInstanceIterator> bindings;
    if (set == nullptr || set->GetIterator(bindings.Receive()) != kSuccess || !bindings) return;
    for (; !bindings->IsDone(); std::ignore = bindings->Next()) {
      ITransformBindingInstance* binding = bindings->Current();
      AutoRelease<ITransformInstanceIterator> instances;
      if (binding == nullptr || binding->GetTransformInstances(instances.Receive()) != kSuccess || !instances) {
        if (result == kSuccess) result = kOwnerMissing;
        continue;
      }
      for (; !instances->IsDone(); std::ignore = instances->Next()) {
        AutoCast<IStatus> status(instances->Current());
        if (!status) continue;
        bool flagged = false;
        if (status->GetStatusFlag(&flagged) == kSuccess && flagged) std::ignore = status->SetStatusValue(5);
        std::ignore = status->SetStatusValue(1);
      }
    }
  };
  AutoRelease<ITransformBindingInstanceSet> first, second;
  std::ignore = sets->GetFirstBindingSet(first.Receive());
  std::ignore = sets->GetSecondBindingSet(second.Receive());
  reset(first.Get());
  reset(second.Get());
  return result;
}

}  // namespace

Status CProject::XIProject::ProjectCleanUp() {
  CProject& self = This();
  if (!self.m_open) return Fail(kProjectNotOpen, "ERROR: Project::ProjectCleanUp - Project is not open.\n");
  if (self.m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::ProjectCleanUp - Project is Read Only.\n");
  const DepthScope depth(self.m_cleanUpDepth);
  PropertyAccessor properties(this);
  if (strcasecmp(properties.GetPropertyValue("PROP_HierarchicalProjectType").c_str(), "Static") == 0 &&
      depth.depth == 1) {
    if (properties.GetPropertyValue("PROP_PRHackRecursionGuard") == "true") return kSuccess;
    // The mark must be in the file while the closed partition projects are cleaned by shells
    // of their own, and gone from it after: a save held back by the save delay would leave the
    // file as it was, so both are written at once.
    properties.SetPropertyValue("PROP_PRHackRecursionGuard", "true");
    std::ignore = self.m_XIForceSave.ForceSave();
    const Status result = CleanUpConfigurationProjects();
    properties.SetPropertyValue("PROP_PRHackRecursionGuard", "false");
    std::ignore = self.m_XIForceSave.ForceSave();
    return result;
  }

  BroadcastEvent(this, EventId::CleanUpBegins(), nullptr);
  std::vector<Prjrep::AutoPtr<IProject>> children;
  std::ignore = self.CollectSubProjects(children);
  std::vector<String> kept;
  CollectProjectPaths(this, kept);
  for (const auto& child : children) {
    if (AutoCast<IProject2> second(child.Get()); second) CollectProjectPaths(second.Get(), kept);
  }
  String workingDirectory;
  std::ignore = GetWorkingDirectory(&workingDirectory);
  const std::vector<String> folders = FoldersToCleanIn(self.ProjectDirectory(), workingDirectory);

  AutoRelease<IHdlFileIterator> files;
  if (self.m_XIFileManager.GetProjectFiles(files.Receive()) != kSuccess || !files) {
    std::ignore = Fail(kProjectNotOpen, "ERROR: Project::GetFiles - Project is not opened.\n");
  } else {
    while (!files->IsDone()) {
      IHdlFile* file = files->Current();
      if (!IsFileToClean(file)) {
        std::ignore = files->Next();
        continue;
      }
      String name;
      if (AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetFullName(&name);
      // Only a file the project let go of leaves the disk (a child's composed file stays in
      // both); a removal leaves the iterator on the next file.
      if (self.m_XIFileManager.ProjectRemoveFile(files.Get()) != kSuccess) {
        std::ignore = files->Next();
      } else {
        DeleteIfAllowed(name, kept, folders);
      }
    }
  }
  std::ignore = CHdlPackageWrapper::RemoveParserMessageFile();

  AutoCast<IViewManager> views(self.m_design.Get());
  if (AutoRelease<IViewIterator> at; views && views->FindViewByHint("SynthesisOnly", at.Receive()) == kSuccess && at &&
                                     !at->IsDone()) {
    String top;
    if (at->Current()->GetTopName(&top) == kSuccess && !top.empty()) {
      for (const char* suffix : {"_summary.html", "_envsettings.html"}) {
        const String report = workingDirectory + "/" + top + suffix;
        DeleteIfAllowed(report, kept, folders);
      }
    }
  }

  // The repository's shared constraint manager lets go of the project's constraint data. It
  // is looked up by the autonym of its kind, which makes the repository's manager when none is
  // registered there yet.
  if (AutoCast<Prjrep::IAutonymLookup> lookup(self.m_repository.Get()); lookup) {
    AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(SharedConstraintMgrClassId()));
    AutoRelease<CitI::IInterface> found;
    if (autonym) std::ignore = lookup->ResolveOrCreate(autonym, self.m_repository.Get(), found.Receive());
    if (AutoCast<ISharedConstraintMgr> constraints(found.Get()); constraints) std::ignore = constraints->CleanUp();
  }

  if (AutoRelease<IViewIterator> all; views && views->GetViews(all.Receive()) == kSuccess && all) {
    for (; !all->IsDone(); std::ignore = all->Next()) {
      if (AutoCast<ITransformBindingSets> sets(all->Current()); sets) std::ignore = ResetTransformState(sets.Get());
    }
  }
  if (AutoRelease<IHdlDesignUnitIterator> units;
      self.m_design && self.m_design->GetDesignUnits(units.Receive()) == kSuccess && units) {
    for (; !units->IsDone(); std::ignore = units->Next()) {
      if (AutoCast<ITransformBindingSets> sets(units->Current()); sets) std::ignore = ResetTransformState(sets.Get());
    }
  }
  for (const auto& child : children) std::ignore = child->ProjectCleanUp();
  BroadcastEvent(this, EventId::CleanUpEnds(), nullptr);
  return kSuccess;
}

}  // namespace Hvd
