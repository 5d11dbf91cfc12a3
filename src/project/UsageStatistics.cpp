#include "project/UsageStatistics.h"

#include <strings.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Port/XUID.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "projectfiles/metrion/XmlReader.h"
#include "projectfiles/metrion/XmlWriter.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

constexpr const char* kApplication = "kv";
constexpr const char* kStatisticsFile = "metrion_kv.xml";

// Placeholder defaults of the definitions, which count as unset.
constexpr const char* kUnsetId = "0";
constexpr const char* kUnsetTimestamp = "YYYY-MM-DDTHH:MM:SS";

// Settings that name places or designs of the user: never recorded.
const std::set<std::string> kNeverCaptured = {
    "PROP_WorkingDirectory",    "PROP_SynthTop",           "PROP_SynthTopInstancePath", "PROP_UserSpecifiedSynthTop",
    "PROP_BehavioralSimTop",    "PROP_PostXlateSimTop",    "PROP_PostMapSimTop",        "PROP_PostParSimTop",
    "PROP_PostFitSimTop",       "PROP_PostSynthSimTop",    "PROP_MessageFilterFile",    "PROP_QuorlinFileName",
    "PROP_DesignName",
};

const std::set<std::string> kInternal = {
    "PROP_Dummy",
    "internalRanStuffAlready",
    "PROP_HierarchicalProjectType",
    "PROP_Abstract",
    "PROP_PreSynthesis",
    "PROP_BehavioralSimulationBranch",
    "PROP_ForceCompileBCD",
    "PROP_ImplementationBranch",
    "PROP_Map",
    "PROP_Par",
    "PROP_PartitionCreateDelete",
    "PROP_PartitionForcePlacement",
    "PROP_PartitionForceSynth",
    "PROP_PartitionForceTranslate",
    "PROP_PostMapSimulationBranch",
    "PROP_PostRouteSimulationBranch",
    "PROP_PostSynthesisSimulationBranch",
    "PROP_PostTranslateSimulationBranch",
    "PROP_Translate",
    "PROP_Parse_Target",
};

// Recorded whatever their value.
const std::set<std::string> kDesign = {
    "PROP_DevFamily",
    "PROP_DevDevice",
    "PROP_DevPackage",
    "PROP_DevSpeed",
    "PROP_DevFamilyPMName",
    "PROP_Top_Level_Module_Type",
    "PROP_Synthesis_Tool",
    "PROP_Simulator",
    "PROP_PreferredLanguage",
    "PROP_LastAppliedGoal",
    "PROP_LastAppliedStrategy",
    "PROP_Enable_Message_Filtering",
    "PROP_UseQuorlin",
    "PROP_intProjectCreationTimestamp",
    "PROP_intMtnProjectID",
    "PROP_intWorkingDirLocWRTProjDir",
    "PROP_intWorkingDirUsed",
    "PROP_PropSpecInProjFile",
    "PROP_AutoTop",
    "PROP_ManualCompileOrderImp",
};

bool IsUnset(const String& value, const char* placeholder) {
  return value.empty() || strcasecmp(value.c_str(), placeholder) == 0;
}

// A new id as 32 hexadecimal digits.
std::string NewProjectId() {
  std::string text = Port::XUID::New().GetAsString().str();
  if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
  for (int removed = 0; removed < 10; ++removed) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) break;
    text.erase(dash, 1);
  }
  return text;
}

std::string LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[64] = {};
  if (localtime_r(&now, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
    return std::string();
  std::string result(text);
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) result.pop_back();
  return result;
}

// Back slashes as "/", and without a trailing separator unless the path is only the root.
std::string Portable(const String& path) {
  std::string text = path.str();
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::string ParentOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().lexically_normal().generic_string();
}

std::size_t ElementCount(const std::string& path) {
  std::size_t count = 0;
  bool inElement = false;
  for (const char c : path) {
    const bool separator = c == '/' || c == '\\';
    if (!separator && !inElement) ++count;
    inElement = !separator;
  }
  return count;
}

}  // namespace

void EnsureUsageIdentity(IProject* project) {
  if (project == nullptr) return;
  PropertyAccessor properties(project);
  if (IsUnset(properties.GetPropertyValue("PROP_intMtnProjectID"), kUnsetId))
    properties.SetPropertyValue("PROP_intMtnProjectID", NewProjectId().c_str());
  if (IsUnset(properties.GetPropertyValue("PROP_intProjectCreationTimestamp"), kUnsetTimestamp)) {
    const std::string now = LocalTimestamp();
    if (!now.empty()) properties.SetPropertyValue("PROP_intProjectCreationTimestamp", now.c_str());
  }
}

WorkingDirectoryPlace ClassifyWorkingDirectory(const std::string& projectDirectory,
                                               const std::string& workingDirectory) {
  namespace fs = std::filesystem;
  if (workingDirectory.empty() ||
      fs::path(workingDirectory).lexically_normal() == fs::path(projectDirectory).lexically_normal())
    return {"No", "Same"};
  if (ParentOf(workingDirectory) == ParentOf(projectDirectory)) return {"Yes", "Parallel"};
  // Whole elements only: "/x/proj" does not hold "/x/project2".
  const std::string inside =
      !projectDirectory.empty() && projectDirectory.back() == '/' ? projectDirectory : projectDirectory + "/";
  if (!projectDirectory.empty() && workingDirectory.compare(0, inside.size(), inside) == 0)
    return {"Yes", "UnderProjDir"};
  const std::size_t projectElements = ElementCount(projectDirectory);
  const std::size_t workingElements = ElementCount(workingDirectory);
  if (projectElements < workingElements) return {"Yes", "OutSideBelow"};
  if (workingElements < projectElements) return {"Yes", "OutSideAbove"};
  std::ignore = Fail(kSuccess,
                     "WARNING: CProject::CollectMetrionData(): Unable to calculate Working Directory location relative "
                     "to Project Directory");
  return {"Yes", "UnableToCalculate"};
}

void CollectMetrionData(CitI::IInterface* object) {
  Prjrep::AutoCast<IProject2> project(object);
  if (!project) return;
  String workingDirectory;
  std::ignore = project->GetWorkingDirectory(&workingDirectory);

  PropertyAccessor properties(project.Get());
  const std::string statistics = Portable(workingDirectory) + "/" + kStatisticsFile;
  std::error_code error;
  if (std::filesystem::exists(statistics, error)) {
    const MtnC::XmlReader reader(statistics);
    const std::string iteration = reader.GetValue("Project Information", "", "ProjectIteration");
    if (!iteration.empty()) properties.SetPropertyValue("PROP_intMtnProjectIteration", iteration.c_str());
  }
  RecordWorkingDirectoryPlace(project.Get());
}

void RecordWorkingDirectoryPlace(CitI::IInterface* object) {
  Prjrep::AutoCast<IProject2> project(object);
  if (!project) return;
  String projectFile, workingDirectory;
  std::ignore = project->GetProjectFilePath(&projectFile);
  std::ignore = project->GetWorkingDirectory(&workingDirectory);
  const std::string projectDirectory = Portable(String(ParentOf(Portable(projectFile)).c_str()));
  const WorkingDirectoryPlace place = ClassifyWorkingDirectory(projectDirectory, Portable(workingDirectory));
  PropertyAccessor properties(project.Get());
  properties.SetPropertyValue("PROP_intWorkingDirUsed", place.used);
  properties.SetPropertyValue("PROP_intWorkingDirLocWRTProjDir", place.location);
}

Status WriteMetrionData(CitI::IInterface* object) {
  Prjrep::AutoCast<IProject> opened(object);
  bool open = false;
  if (!opened || opened->IsOpen(&open) != kSuccess || !open) return kProjectNotOpen;
  Prjrep::AutoCast<IProject4> project(object);
  if (!project) return kMissingInterface;
  String workingDirectory, projectFile;
  std::ignore = project->GetWorkingDirectory(&workingDirectory);
  std::ignore = project->GetProjectFilePath(&projectFile);
  std::ignore = Fail(kSuccess, "metrion: project dir is \"%s\"\n", workingDirectory.c_str());

  MtnC::XmlWriter writer(kApplication, workingDirectory.str());
  PropertyAccessor properties(project.Get());
  std::vector<Prjrep::AutoPtr<IPropertyInstance>> instances;
  properties.GetAllPropertyInstances(instances);
  writer.WriteHeader();

  writer.BeginSection("Project Information", false);
  writer.AddProperty("ProjectID", properties.GetPropertyValue("PROP_intMtnProjectID").str(), "project");
  writer.AddProperty("ProjectIteration", properties.GetPropertyValue("PROP_intMtnProjectIteration").str(), "project");
  writer.AddProperty("ProjectFile", projectFile.str(), "project");
  writer.AddProperty("ProjectCreationTimestamp", properties.GetPropertyValue("PROP_intProjectCreationTimestamp").str(),
                     "project");
  writer.EndSection();

  writer.BeginSection("Project Statistics", true);
  for (const Prjrep::AutoPtr<IPropertyInstance>& instance : instances) {
    if (!instance) {
      std::ignore = Fail(kSuccess, "Failed to get the iPropInst from iterator\n");
      continue;
    }
    String name, value;
    bool isDefault = false;
    std::ignore = instance->GetName(&name);
    std::ignore = instance->GetValue(&value);
    std::ignore = instance->IsDefault(&isDefault);
    if (kNeverCaptured.count(name.str()) != 0 || kInternal.count(name.str()) != 0) continue;
    const bool design = kDesign.count(name.str()) != 0;
    if (!design && isDefault) continue;
    // A path says where the user works: only that it changed is recorded.
    if (Prjrep::AutoCast<IFilePropertyInstance> file(instance.Get()); file) {
      if (isDefault) continue;
      std::ignore = Fail(kSuccess, "FILE_TYPE:%s\n", name.c_str());
      value = "changed";
    }
    writer.AddProperty(name.str(), value.str(), design ? "design" : "process");
  }

  std::map<std::string, int> counts;  // byte order, the shorter of a common prefix first
  Prjrep::AutoCast<IFileManager> manager(project.Get());
  Prjrep::AutoRelease<IHdlFileIterator> files;
  if (manager && manager->GetProjectFiles(files.Receive()) == kSuccess && files) {
    for (; !files->IsDone(); std::ignore = files->Next()) {
      Prjrep::AutoCast<IFile> file(files->Current());
      std::uint32_t origin = 1;
      if (!file || file->GetOriginState(&origin) != kSuccess || origin != 0) continue;
      Prjrep::AutoRelease<IFileType> type;
      if (file->GetFileType(type.Receive()) != kSuccess || !type) continue;
      const std::string typeName = GetDefDataIdName(type.Get()).str();
      if (typeName.empty() || typeName == "FILE_MOLDRIXHLC") continue;
      ++counts[typeName];
    }
  }
  for (const auto& [typeName, count] : counts) writer.AddProperty(typeName, std::to_string(count), "source");
  writer.EndSection();

  if (std::string message; !writer.WriteFile(&message))
    return Fail(kFailure, "ERROR: CProject::WriteMetrionData - %s\n", message.c_str());
  return kSuccess;
}

}  // namespace Hvd
