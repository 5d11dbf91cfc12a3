// Helpers that project operations call: property values by key, the device store, a file
// of a type, Tcl procedures with an object, the clean-up of configuration projects and
// project-file extensions.

#include "project/ProjectRoutines.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDefDataId.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"
#include "utils/ShellScript.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr char kObjectVariable[] = "piThisInterface";
constexpr char kCleanupScriptName[] = "_cleanup_project_.tcl";
constexpr char kCleanupScript[] =
    "# clean up a project: \n#\nset filename %s \nif {![file isfile $filename]} {\n   return -code error \"The "
    "project \\\"$filename\\\" does not exist.\"\n}\nproject open $filename\nproject clean\n\n";

// The service `id` of the base services; the base services themselves are not kept.
AutoRelease<CitI::IInterface> BaseService(const Port::XUID& id) {
  AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
  AutoRelease<CitI::IInterface> service;
  if (services) std::ignore = services->GetService(id, service.Receive());
  return service;
}

}  // namespace

AutoRelease<IPropertyInstance> GetProjectPropertyInstance(IProject* project, const String& key) {
  if (project == nullptr) return nullptr;
  return PropertyAccessor(project).GetPropertyInstance(key);
}

String GetProjectPropertyValue(IProject* project, const String& key) {
  String value;
  if (AutoRelease<IPropertyInstance> instance = GetProjectPropertyInstance(project, key); instance) {
    std::ignore = instance->GetValue(&value);
  }
  return value;
}

AutoRelease<IDeviceStore> GetDeviceStore() { return AutoRelease<IDeviceStore>(BaseService(DeviceStoreServiceId())); }

bool FindProjectFileOfType(const String& typeName, IFileManager* files, IFile** file) {
  AutoRelease<IHdlFileIterator> it;
  if (files != nullptr) std::ignore = files->GetProjectFiles(it.Receive());
  if (!it) return false;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    AutoCast<IFile> candidate(it->Current());
    AutoRelease<IFileType> type;
    if (candidate) std::ignore = candidate->GetFileType(type.Receive());
    AutoCast<IDefDataId> id(type.Get());
    String name;
    if (!id || id->GetDefDataIdName(&name) != kSuccess || !(name == typeName)) continue;
    if (file != nullptr) std::ignore = Prjrep::AutoOut<IFile>(file).Assign(candidate.Get());
    return true;
  }
  return false;
}

Status RunTclProcWithObject(const char* procedure, const char* argument, CitI::IInterface* object, std::int32_t flags,
                            String* result) {
  if (procedure == nullptr) return kFailure;
  AutoRelease<ITclEvaluation> tcl(BaseService(TclEvaluationServiceId()));
  if (!tcl) return Fail(kFailure, "RunTclProcWithObject - no Tcl evaluation service for %s.\n", procedure);
  String command(procedure);
  // One word whatever the text holds, so that no brace or bracket in it can end it early.
  if (argument != nullptr) command += " " + TclWord(argument);
  if (object != nullptr) {
    std::ignore = tcl->BindObject(object, kObjectVariable);
    command += " $";
    command += kObjectVariable;
  }
  if (result != nullptr) std::ignore = tcl->SetResultHolder(result);
  return tcl->Evaluate(command, flags, 1);
}

Status CleanUpConfigurationProjects() {
  AutoRelease<CitI::IInterface> helper(CitP::Factory::CreateInstance(ClassId::PRHelper()));
  if (!helper) return kFailure;
  AutoRelease<CitI::IInterface> found;
  if (AutoCast<IPRSolutionHelper> solutions(helper.Get()); solutions) {
    std::ignore = solutions->GetConfigManager(nullptr, false, found.Receive());
  }
  AutoCast<IConfigurationManager> manager(found.Get());
  AutoRelease<IConfigurationIterator> it;
  if (manager) std::ignore = manager->GetConfigurations(it.Receive());
  for (; it && !it->IsDone(); std::ignore = it->Next()) {
    // Held: cleaning up may change what the iterator walks.
    const AutoPtr<IConfiguration> configuration(it->Current());
    if (!configuration) continue;
    if (!GetActiveProjectOfObject(configuration)) {
      WriteAndRunCleanupScript(GetObjectFullPath(configuration));
      continue;
    }
    AutoRelease<IProject> project;
    std::ignore = configuration->GetProject(project.Receive());
    if (project) std::ignore = project->ProjectCleanUp();
    if (AutoCast<ICompositionControl> composition(configuration.Get()); composition) {
      std::ignore = composition->Decompose(nullptr);
      std::ignore = composition->Compose(nullptr);
    }
    if (project) std::ignore = project->Save();
  }
  return kSuccess;
}

void WriteAndRunCleanupScript(const String& projectPath) {
  String script;
  script.Format(kCleanupScript, TclWord(projectPath).c_str());
  std::ignore = RunShellScript(kCleanupScriptName, script.str());
}

String ReplaceProjectExtension(const String& path, const String& extension) {
  static constexpr std::array<std::string_view, 5> kProjectExtensions = {".hlc", ".xhlc", ".ghlc", ".rwk", ".snp"};
  const String wanted = extension.empty() || extension.str().front() == '.' ? extension : "." + extension;
  const Port::FileName name(path);
  const String present = name.GetExtension();
  if (present == wanted) return path;
  String result;
  if (std::find(kProjectExtensions.begin(), kProjectExtensions.end(), std::string_view(present)) !=
      kProjectExtensions.end()) {
    result = Port::FileName(name.GetHead() + name.GetBase() + wanted).GetAbsolutePath();
  } else {
    result = path + wanted;
  }
  Port::FileName canonical(result);
  return canonical.MakeCanonical().GetPath();
}

Status VerifyCreateDir(const Port::StringBase<char>& directory) {
  if (directory.empty() || Port::File::isdir(directory)) return kSuccess;
  if (Port::File::exist(directory))
    return Fail(kFailure, "VerifyCreateDir - Destination target <%s> is not a directory.\n", directory.c_str());
  if (!Port::File::mkdir(directory, true))
    return Fail(kFailure, "VerifyCreateDir - Couldn't create the Destination directory <%s>.\n", directory.c_str());
  return kSuccess;
}

}  // namespace Hvd
