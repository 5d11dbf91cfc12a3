#include "pr/results/ResultCopy.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDesign.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"
#include "utils/InterpHelp.h"

namespace Hvd::PRSync {

using Text = Port::StringBase<char>;

namespace {

// The source files placed by one tree copy, by the name they were given.
using PlacedFiles = std::map<std::string, std::string>;

bool IsSet(const char* name) { return std::getenv(name) != nullptr; }

// The folder holding `path`, without a trailing separator.
Text DirectoryOf(const Text& path) {
  std::string head = Port::FileName(path).GetHead().str();
  if (head.size() > 1 && head.back() == '/') head.pop_back();
  return Text(head);
}

// The static project's directory: that of the manager the helper finds for the configuration.
Text StaticDirectoryOf(CitI::IInterface* configuration) {
  Prjrep::AutoRelease<IPRSolutionHelper> helper(CitP::Factory::CreateInstance(ClassId::PRHelper()));
  Prjrep::AutoRelease<CitI::IInterface> manager;
  if (helper.Get() != nullptr) std::ignore = helper->GetConfigManager(configuration, false, manager.Receive());
  const Text path = GetObjectFullPath(manager.Get());
  return path.empty() ? Text() : DirectoryOf(path);
}

void RunCopy(const char* procedure, const Text& source, const Text& destination) {
  const Text command = Text(procedure) + " " + TclWord(source) + " " + TclWord(destination);
  std::ignore = InterpHelp::RunCmd(command.c_str(), nullptr, false, nullptr);
}

// A partition path "/a/b": not empty, every part a plain folder name.
bool IsUsablePartitionPath(const std::string& path) {
  if (path.size() < 2 || path.front() != '/') return false;
  std::size_t start = 1;
  while (start <= path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (!pr::IsUsableAsPathComponent(Text(part.c_str()))) return false;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return true;
}

bool CopyFilesOf(HdcI::IPartition* partition, const Text& directory, PlacedFiles& placed) {
  if (partition == nullptr) {
    Port_MsgManData::debugStub("CopyPartitionFiles -- Null src_partition");
    return false;
  }
  Text source;
  std::ignore = partition->GetSourceFile(&source);
  if (source.empty()) return true;
  const std::string tail = Port::FileName(source).GetTail().str();
  std::string name = tail;
  if (const auto taken = placed.find(tail); taken != placed.end() && taken->second != source.str()) {
    // A second file of that name goes below its partition's path, which comes from the user's
    // instance path: each of its parts must be a plain folder name, so nothing lands outside.
    const std::string partitionPath = PartitionName(partition).str();
    if (!IsUsablePartitionPath(partitionPath)) {
      Port_MsgManData::debugStub(("CopyPartitionFiles -- Cannot place " + Port::EscapeControls(source) +
                                  " below partition \"" + Port::EscapeControls(partitionPath) + "\"\n").c_str());
      return false;
    }
    name = partitionPath.substr(1) + "/" + tail;
  }
  placed.emplace(name, source.str());
  CopyNewerFileCommand(source, directory + "/" + Text(name));
  return true;
}

Status CopyTreeFiles(HdcI::IPartition* partition, HdcI::IHDProject* project, const Text& directory,
                     const PartitionNames& exclusions, PlacedFiles& placed) {
  if (partition == nullptr) {
    Port_MsgManData::debugStub("Null src partition\n");
    return kFailure;
  }
  std::ignore = CopyFilesOf(partition, directory, placed);
  Prjrep::AutoRelease<HdcI::IPartitionIterator> children;
  if (project != nullptr) std::ignore = project->GetChildPartitions(partition, children.Receive());
  if (children.Get() == nullptr) {
    Port_MsgManData::debugStub("Null child partition iter\n");
    return kFailure;
  }
  for (; !children->IsDone(); std::ignore = children->Next()) {
    HdcI::IPartition* child = children->Current();
    const Text name = PartitionName(child);
    if (std::find(exclusions.begin(), exclusions.end(), name) == exclusions.end())
      std::ignore = CopyTreeFiles(child, project, directory, exclusions, placed);
  }
  return kSuccess;
}

// Reloads the configuration project's shared constraints and has them compiled.
void RecompileConstraints(CitI::IInterface* configuration, AuditRecord& audit) {
  Prjrep::AutoRelease<IProject> project = GetOwningProject(configuration);
  Prjrep::AutoRelease<CitI::IInterface> component(CitP::Factory::CreateInstance(SharedConstraintMgrClassId()));
  Prjrep::AutoRelease<Prjrep::IAutonym> autonym =
      MakeProjectComponentAutonym(GetObjectFullPath(project.Get()), component.Get());
  Prjrep::AutoRelease<CitI::IInterface> resolved = pr::ResolveReference(autonym.Get());
  Prjrep::AutoCast<ISharedConstraintMgr> constraints(resolved.Get());
  if (constraints.Get() == nullptr) return;
  std::ignore = constraints->Reload();
  audit.Note("reload");
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (project.Get() != nullptr) std::ignore = project->GetDesign(&design);
  std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ucfDirectCompileBCD", design, true, nullptr);
}

}  // namespace

void CopyNewerDirCommand(const Text& source, const Text& destination) {
  RunCopy("::velmor::pr::CopyNewerDir", source, destination);
}

void CopyNewerFileCommand(const Text& source, const Text& destination) {
  RunCopy("::velmor::pr::CopyNewerFile", source, destination);
}

bool CopyPartitionFiles(HdcI::IPartition* partition, const Text& directory) {
  PlacedFiles placed;
  return CopyFilesOf(partition, directory, placed);
}

Status CopyPartitionTreeFiles(HdcI::IPartition* partition, HdcI::IHDProject* project, const Text& directory,
                              const PartitionNames& exclusions) {
  PlacedFiles placed;
  return CopyTreeFiles(partition, project, directory, exclusions, placed);
}

Text ConfigurationConstraintData(const Text& path) {
  const std::string extension = Port::FileName(path).GetExtension().str();
  return Text(path.str().substr(0, path.size() - extension.size())) + "_qdb/cst.vbcd";
}

Status CopyConfigurationResults(CitI::IInterface* configuration, bool outOfConfiguration) {
  if (configuration == nullptr) {
    Port_MsgManData::debugStub("Bad input config ptr\n");
    return kFailure;
  }
  const Text configurationPath = GetObjectFullPath(configuration);
  const Text configurationDir = configurationPath.empty() ? Text() : DirectoryOf(configurationPath);
  const Text staticDir = StaticDirectoryOf(configuration);
  const Text& source = outOfConfiguration ? configurationDir : staticDir;
  const Text& destination = outOfConfiguration ? staticDir : configurationDir;
  if (source.empty() || destination.empty()) return kSuccess;

  if (IsSet("VEL_CORVANE_QLB_COPY") && !IsSet("VEL_CORVANE_NO_QLB_COPY")) {
    const AuditRecord audit("pr_audit", "copy_qlb");
    CopyNewerDirCommand(source + (outOfConfiguration ? "/qlb" : "/qlb_cp"),
                        destination + (outOfConfiguration ? "/qlb_cp" : "/qlb"));
    if (!outOfConfiguration) {
      Prjrep::AutoRelease<HdcI::IHDProject> project = GetHDProject(configuration);
      Prjrep::AutoRelease<HdcI::IPartition> root;
      if (project.Get() != nullptr) std::ignore = project->GetRootPartition(root.Receive());
      if (root.Get() != nullptr) std::ignore = CopyPartitionTreeFiles(root.Get(), project.Get(), destination, {});
    }
  }
  CopyNewerDirCommand(source + "/_ngo", destination + "/_ngo");
  if (IsSet("VEL_CORVANE_NO_BCD_COPY")) return kSuccess;

  AuditRecord audit("pr_audit", "copy_bcd");
  audit.Note(outOfConfiguration ? "out" : "in");
  const Text configurationData = ConfigurationConstraintData(configurationPath);
  const Text staticData = staticDir + "/static.vbcd";
  const Text& from = outOfConfiguration ? configurationData : staticData;
  const Text& to = outOfConfiguration ? staticData : configurationData;
  if (Port::File::exist(from)) CopyNewerFileCommand(from, to);
  if (!outOfConfiguration) RecompileConstraints(configuration, audit);
  return kSuccess;
}

}  // namespace Hvd::PRSync
