#include "project/copy/PartitionsFile.h"

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <tuple>

#include "CitP/Factory.h"
#include "HdcI/IHDProject.h"
#include "Port/FileName.h"
#include "Prjrep/IAutonym.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "core/RegularFile.h"
#include "utils/DmUtils.h"
#include "utils/FileUtils.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;
namespace fs = std::filesystem;

fs::file_type OwnType(const String& path) {
  std::error_code error;
  return fs::symlink_status(fs::path(path.str()), error).type();
}

// Far beyond any partitions file.
constexpr std::uintmax_t kMaxBytes = 64u << 20;

// The hierarchical-design project that the open project's repository holds, when it has one.
Prjrep::AutoRelease<HdcI::IHDProject> HDProjectOf(IProject* project) {
  const String path = GetObjectFullPath(project);
  if (path.empty()) return nullptr;
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), false);
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  Prjrep::AutoRelease<CitI::IInterface> found;
  if (!names || names->Find("HDProject", found.Receive()) != kSuccess) return nullptr;
  return Prjrep::AutoRelease<HdcI::IHDProject>(std::move(found));
}

// A partitions file left at the copy's name belongs to no partitions of this project; only a
// file or a link there is taken away.
Status RemoveStale(const String& path) {
  const fs::file_type type = OwnType(path);
  if (type != fs::file_type::regular && type != fs::file_type::symlink) return kSuccess;
  return Port::File::remove_f(path) ? kSuccess : kDirectoryWriteFailed;
}

// Whether `written` is what a hierarchical-design project holding nothing writes, which its
// project's close does not write. Asked of what it wrote, since listing its partitions would
// make the root partition of the design's top.
// The empty form is written into a folder of its own outside the project, so that no name of
// the project's is written or removed for it.
bool HoldsNothing(const String& written) {
  Prjrep::AutoRelease<HdcI::IHDProject> empty(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
  String folder;
  std::string token;
  if (!empty || FileUtils::CreateTempDirectory(folder, token) != kSuccess) return false;
  const std::string scratch = folder.str() + "/" + fs::path(written.str()).filename().string();
  std::string ours;
  std::string theirs;
  const bool same = empty->Write(String(scratch), nullptr) == kSuccess && ReadRegularFile(scratch, ours, kMaxBytes) &&
                    ReadRegularFile(written.str(), theirs, kMaxBytes) && ours == theirs;
  // A folder that stays is named in a warning.
  std::ignore = FileUtils::RemoveTempDirectory(folder, token);
  return same;
}

}  // namespace

String PartitionsFileOf(const String& projectFile) { return HdcI::HDProjectFileOf(projectFile); }

Status CarryPartitionsFile(IProject* project, const String& sourceProjectFile, const String& destinationProjectFile,
                           MadeFolders* made) {
  const String source = PartitionsFileOf(sourceProjectFile);
  const String destination = PartitionsFileOf(destinationProjectFile);
  if (source.empty() || destination.empty() || source == destination) return kSuccess;
  const bool onDisk = OwnType(source) == fs::file_type::regular;
  Status status = kSuccess;
  if (Prjrep::AutoRelease<HdcI::IHDProject> design = HDProjectOf(project); design) {
    // What the project's close would write, written for the copy.
    status = design->Write(destination, nullptr);
    if (status == kSuccess && !onDisk && HoldsNothing(destination)) status = RemoveStale(destination);
  } else {
    status = onDisk ? FileUtils::CopyFile(source, destination, FileUtils::kReadWrite, made) : RemoveStale(destination);
  }
  if (status != kSuccess)
    return Fail(status, "ERROR: The partitions file of the copy could not be written: \"%s\".\n", destination.c_str());
  return kSuccess;
}

}  // namespace Hvd
