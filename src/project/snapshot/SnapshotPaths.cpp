#include "project/snapshot/SnapshotPaths.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProjectInfo.h"
#include "Port/FileName.h"
#include "project/ProjectRoutines.h"
#include "utils/DmUtils.h"

namespace Hvd::Snapshots {

namespace fs = std::filesystem;

namespace {

String ProjectFile(IProject2* project) {
  String path;
  if (project != nullptr) std::ignore = project->GetProjectFilePath(&path);
  return path;
}

std::string WithoutTrailingSeparators(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// The object named `name` in the repository of that project file, without making one. An open
// project's repository is named by its project file; the older generation's by its .hlc name.
Prjrep::AutoRelease<CitI::IInterface> FindInRepositoryOf(const String& projectFile, const char* name) {
  Prjrep::AutoRelease<CitI::IInterface> found;
  if (projectFile.empty()) return found;
  const String canonical = Port::FileName(Port::FileName(projectFile).GetAbsolutePath()).MakeCanonical().GetPath();
  for (const String& repositoryFile : {canonical, GetRepositoryFileName(projectFile)}) {
    Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(repositoryFile.c_str(), false);
    if (repository) std::ignore = FindNamedObjectIn(repository.Get(), String(name), found.Receive());
    if (found) break;
  }
  return found;
}

}  // namespace

bool IsValidName(const String& name) {
  const std::string& text = name.str();
  if (text.empty() || text == "." || text == "..") return false;
  if (text.find_first_of("/\\") != std::string::npos || text.find('\0') != std::string::npos) return false;
  return Port::FileName::IsValidPath(name);
}

String ProjectDirectory(IProject2* project) {
  const String file = ProjectFile(project);
  if (file.empty()) return String();
  return String(WithoutTrailingSeparators(Port::FileName(file).GetHead().str()));
}

String SnapshotsDirectory(IProject2* project) {
  const String directory = ProjectDirectory(project);
  return directory.empty() ? directory : directory + "/snapshots";
}

bool SnapshotsDirectoryIsLink(IProject2* project) {
  const String directory = SnapshotsDirectory(project);
  std::error_code error;
  return !directory.empty() && fs::symlink_status(fs::path(directory.str()), error).type() == fs::file_type::symlink;
}

String MarkerPath(IProject2* project, const String& name) {
  if (!IsValidName(name)) return String();
  const String file = ProjectFile(project);
  if (file.empty()) return String();
  const String path = SnapshotsDirectory(project) + "/" + name + "/" + Port::FileName(file).GetTail();
  return ReplaceProjectExtension(path, ".snp");
}

String WorkingDirectoryForCopy(IProject2* project) {
  String working;
  if (project == nullptr || project->GetWorkingDirectory(&working) != kSuccess || working.empty()) return String();
  const fs::path directory = fs::path(ProjectDirectory(project).str()).lexically_normal();
  const fs::path target = fs::path(working.str()).lexically_normal();
  const fs::path relative = target.lexically_relative(directory);
  if (relative.empty()) return working;
  const std::string text = relative.generic_string();
  if (text == "..") return working;
  if (text.rfind("../", 0) == 0) return working;
  return String(text == "." ? std::string() : WithoutTrailingSeparators(text));
}

String GetRepositoryFileName(const String& projectFile) {
  const Port::FileName name(projectFile);
  if (name.GetExtension() == ".hlc") return projectFile;
  const std::string head = WithoutTrailingSeparators(name.GetHead().str());
  std::string directory = head;
  if (Port::File::exist(projectFile)) {
    Prjrep::AutoRelease<IProjectInfo> info(CitP::Factory::CreateInstance(ClassId::ProjectInfo()));
    Prjrep::AutoRelease<IPropertyInstance> property;
    String value;
    if (info && info->ReadProjectData(projectFile) == kSuccess &&
        info->GetProperty("Working Directory", property.Receive()) == kSuccess && property &&
        property->GetValue(&value) == kSuccess && !value.empty()) {
      if (fs::path(value.str()).is_absolute()) {
        directory = value.str();
      } else {
        directory = name.GetHead().str() + value.str();
      }
    }
  }
  Port::FileName result(String(directory + "/" + name.GetBase().str() + ".hlc"));
  return result.MakeCanonical().GetPath();
}

Prjrep::AutoRelease<IProject> FindOpenHvdProject(const String& projectFile) {
  return Prjrep::AutoRelease<IProject>(FindInRepositoryOf(projectFile, "HvdProject"));
}

Prjrep::AutoRelease<IProjectHelper> FindOpenCvfProjectHelper(const String& projectFile) {
  return Prjrep::AutoRelease<IProjectHelper>(FindInRepositoryOf(projectFile, "CvfProject"));
}

}  // namespace Hvd::Snapshots
