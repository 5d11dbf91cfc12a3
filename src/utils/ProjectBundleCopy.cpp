// The copy policy of a project copy: which of the project's files, directories and referenced
// files go into the bundle, and under which names.

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Port/Dir.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"
#include "utils/FileStamp.h"
#include "utils/FileMessages.h"
#include "utils/FileUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd::FileUtils {

namespace {

namespace fs = std::filesystem;
using String = Port::StringBase<char>;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

enum : std::uint32_t {
  kSourcesOfType0 = 2,
  kSourcesOfType2 = 4,
  kSourcesOfType1 = 8,  // and the file-valued properties
  kProjectDirectory = 16,
  kSnapshots = 32,
  kRemote = 64,
  kMacroDirectories = 128,
  kSourcesOfType3 = 256,
  kAllFlags = 511,
};

using FileMessages::Debug;

String Slashed(const String& path) { return MakeSlashPath(path); }

String ParentOf(const String& path) { return String(fs::path(Slashed(path).str()).parent_path().string()); }

String LeafOf(const String& path) { return String(fs::path(Slashed(path).str()).filename().string()); }

// True when folding would change nothing but a trailing '/': no empty, "." or ".." step after
// the root. Most of a project's paths are so, and are then taken as they are.
bool Folded(const std::string& path) {
  std::size_t start = !path.empty() && path.front() == '/' ? 1 : 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view step(path.data() + start, end - start);
    if (step.empty() || step == "." || step == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string Normal(const String& path) {
  std::string normal = std::move(Slashed(path).str());
  if (!Folded(normal)) normal = fs::path(normal).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// One call's state: what went into the bundle, and the first failure. Without a bundle it only
// looks for the listed sources that are gone, silent but for those, and maps no name.
class BundleCopy {
 public:
  BundleCopy(IProject* project, std::uint32_t flags, ICPFileMapInternal* fileMap, IProjectBundle* bundle)
      : m_project(project), m_flags(flags), m_map(fileMap), m_bundle(bundle) {}

  Status Run(String& buildMacro, bool& remote);
  Status LookForGoneSources();

 private:
  bool Flag(std::uint32_t bit) const { return (m_flags & bit) != 0; }
  bool LookingOnly() const { return m_bundle == nullptr; }
  void Warn(const char* format, const String& a = String(), const String& b = String()) const {
    if (!LookingOnly()) Debug(format, a, b);
  }
  void Record(Status status) {
    if (m_result == kSuccess && status != kSuccess) m_result = status;
  }
  // Hands one item over; a refusal is written and becomes the answer when it is the first.
  Status Add(const String& source, const String& destination, const String& shownName) {
    const Status added = m_bundle->AddItem(source, destination);
    m_added[std::move(Slashed(source).str())] = destination;
    if (added != kSuccess) {
      Debug("WARNING: Couldn't add \"%s\" to the ProjectBundle.\n", shownName);
      Record(added);
    }
    return added;
  }
  // `name` through the file map; false (with the warning) when it gives no name.
  bool Map(const String& name, String* mapped, bool force, const String& directory, const String& leaf) {
    if (m_map->MapFileName(name, mapped, force) != kSuccess) {
      Debug("WARNING: Couldn't get the Mapped File Name for \"%s/%s\".\n", directory, leaf);
      return false;
    }
    return !mapped->empty();
  }
  bool InProject(const String& source) const { return m_inProject.count(Slashed(source).str()) != 0; }
  // Whether `item` names this project among its originators, as FindOriginator would find it;
  // the project's path, the same for every file, is worked out once.
  bool OriginatesHere(IHdlFile* item);

  void AddCompanions(const String& directory, bool withConfiguration);
  void CollectProjectFiles(IHdlFileIterator* items);
  // True when the copy of `source` would land on another of the project's own files, as when
  // a project is copied into a directory of its own that holds some of its files.
  bool Overwrites(const String& source, const String& destination);
  void AddSources();
  void AddSource(IHdlFile* item);
  void AddFileProperties();
  Status WalkProjectDirectory();
  bool HoldsAdded(const String& directory) const;
  void AddAllButAdded(const String& directory, const String& destination);
  void AddMacroDirectories(String& buildMacro);

  IProject* m_project;
  std::uint32_t m_flags;
  ICPFileMapInternal* m_map;
  IProjectBundle* m_bundle;
  AutoRelease<Prjrep::IFileNameHelper> m_inProjectDirectory;  // P: based on the project directory
  AutoRelease<Prjrep::IFileNameHelper> m_inSourceDirectory;   // S: based on the project file's directory
  String m_projectDirectory;
  std::unordered_map<std::string, String> m_added;  // looked up by whole name only
  std::set<std::string> m_inProject;
  std::unordered_set<std::string> m_projectFiles;  // every file of the project, normal
  std::optional<String> m_projectPath;  // its full path, once asked for
  bool m_remote = false;
  Status m_result = kSuccess;
};

Status BundleCopy::Run(String& buildMacro, bool& remote) {
  bool open = false;
  if (const Status asked = m_project->IsOpen(&open); asked != kSuccess)
    return Fail(asked, "ERROR: FileUtils::AddProjectContentsToBundle - Could not get Open state from the Project.\n");
  if (!open) return Fail(kProjectNotOpen, "ERROR: FileUtils::AddProjectContentsToBundle - Project is not open.\n");
  AutoCast<IFileManager> files(m_project);
  if (!files) {
    return Fail(kMissingInterface,
                "ERROR: FileUtils::AddProjectContentsToBundle - Cannot get File Manager from the Project.\n");
  }
  if (!CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_inProjectDirectory.Receive()) ||
      !CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_inSourceDirectory.Receive()))
    return kComponentNotCreated;

  // The project's name (its repository path) lies in the project directory; the project file
  // in the source directory.
  String name;
  String projectFile;
  std::ignore = m_project->GetRepositoryPath(&name);
  if (AutoCast<IProject2> paths(m_project); paths) std::ignore = paths->GetProjectFilePath(&projectFile);
  m_projectDirectory = Port::FileName(name).GetHead(false, true);
  const String sourceDirectory = Port::FileName(projectFile).GetHead(false, true);
  std::ignore = m_inProjectDirectory->SetBaseDirectory(m_projectDirectory);
  if (const Status based = m_inSourceDirectory->SetBaseDirectory(sourceDirectory); based != kSuccess) return based;

  AddCompanions(ParentOf(projectFile), true);
  AddCompanions(ParentOf(name), false);

  AutoRelease<IHdlFileIterator> items;
  m_result = files->GetProjectFiles(items.Receive());
  if (m_result == kSuccess && items) {
    CollectProjectFiles(items.Get());
    std::ignore = items->Reset();
    for (; !items->IsDone(); std::ignore = items->Next()) AddSource(items->Current());
  }
  AddFileProperties();
  if (Flag(kProjectDirectory)) {
    if (const Status walked = WalkProjectDirectory(); walked != kSuccess) return walked;
  }
  if (Flag(kMacroDirectories)) AddMacroDirectories(buildMacro);
  remote = m_remote;
  return m_result;
}

// The sources a copy with these flags would take, each gone one named in an error, before
// anything is made or copied.
Status BundleCopy::LookForGoneSources() {
  AutoCast<IFileManager> files(m_project);
  AutoCast<IProject2> paths(m_project);
  String projectFile;
  AutoRelease<IHdlFileIterator> items;
  // A project whose sources cannot be gone through is told of by the copy itself.
  if (!files || !paths || paths->GetProjectFilePath(&projectFile) != kSuccess ||
      !CreateFileNameHelper(Prjrep::ClassId::FileNameHelper(), m_inSourceDirectory.Receive()) ||
      m_inSourceDirectory->SetBaseDirectory(Port::FileName(projectFile).GetHead(false, true)) != kSuccess ||
      files->GetProjectFiles(items.Receive()) != kSuccess || !items)
    return kSuccess;
  for (; !items->IsDone(); std::ignore = items->Next()) AddSource(items->Current());
  return m_result;
}

void BundleCopy::CollectProjectFiles(IHdlFileIterator* items) {
  for (std::ignore = items->Reset(); !items->IsDone(); std::ignore = items->Next()) {
    String directory;
    String leaf;
    if (items->Current() != nullptr && items->Current()->GetPath(&directory, &leaf) == kSuccess)
      m_projectFiles.insert(Normal(directory + leaf));
  }
}

bool BundleCopy::Overwrites(const String& source, const String& destination) {
  String landing = destination;
  if (landing.empty() && m_map->MapFileName(source, &landing, true) != kSuccess) return false;
  const std::string target = Normal(landing);
  if (target.empty() || target == Normal(source) || m_projectFiles.count(target) == 0) return false;
  Debug("WARNING: Couldn't add \"%s\" to the ProjectBundle: its copy \"%s\" would replace a file of the project.\n",
        source, landing);
  Record(kDirectoryWriteFailed);
  return true;
}

// The symbol files beside the project file and the project name, and the configuration
// directory beside the project file. A directory that cannot be read is a failed item.
void BundleCopy::AddCompanions(const String& directory, bool withConfiguration) {
  if (directory.empty()) return;
  std::error_code error;
  fs::directory_iterator entries(directory.str(), error);
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    const fs::path& path = entries->path();
    std::error_code typeError;
    const bool isDirectory = entries->is_directory(typeError);
    const bool isFile = !typeError && !isDirectory && entries->exists(typeError) && !typeError;
    const bool companion = isFile && path.extension() == ".sym";
    const bool configuration = withConfiguration && isDirectory && path.filename() == "hlcconfig";
    if (!companion && !configuration) continue;
    const String source(path.string());
    String destination;
    if (!Map(source, &destination, configuration, String(path.parent_path().string()),
             String(path.filename().string()))) {
      Record(kDirectoryWriteFailed);
      continue;
    }
    std::ignore = Add(source, destination, source);
  }
  if (error) {
    Debug("WARNING: FileUtils::AddProjectContentsToBundle - Couldn't read the directory <%s>.\n", directory);
    Record(kDirectoryWriteFailed);
  }
}

bool BundleCopy::OriginatesHere(IHdlFile* item) {
  AutoCast<IOriginatorRef> originators(item);
  if (!originators) return true;
  AutoRelease<Prjrep::IAutonymIterator> walk;
  if (originators->GetOriginatorIterator(walk.Receive()) != kSuccess || !walk) return true;
  if (!m_projectPath) m_projectPath = GetObjectFullPath(m_project);
  const String& project = *m_projectPath;
  // Without a path the project is found nowhere, and only a file without originators is left out.
  if (project.empty()) return !walk->IsDone();
  for (std::ignore = walk->Reset(); !walk->IsDone(); std::ignore = walk->Next()) {
    if (GetObjectFullPath(walk->Current()) == project) return true;
  }
  return false;
}

void BundleCopy::AddSource(IHdlFile* item) {
  if (item == nullptr || IsProjectFileType(item)) return;
  if (!OriginatesHere(item)) return;  // another project's file
  AutoCast<IFile> file(item);
  if (!file) {
    Warn("WARNING: Got a NULL IHdlFile from the iterator.\n");
    return;
  }
  String directory;
  String leaf;
  if (item->GetPath(&directory, &leaf) != kSuccess) {
    Warn("WARNING: Couldn't get the path for the HdlFile component.\n");
    return;
  }
  String source;
  std::uint32_t type = 0;
  if (m_inSourceDirectory->SetPath(directory, leaf) != kSuccess) {
    Warn("WARNING: Couldn't set the path on the filename helper for \"%s%s\".\n", directory, leaf);
    return;
  }
  if (m_inSourceDirectory->GetOsPath(&source) != kSuccess) {
    Warn("WARNING: Couldn't get the OS FileName for \"%s%s\".\n", directory, leaf);
    return;
  }
  if (file->GetOriginState(&type) != kSuccess) {
    Warn("WARNING: Couldn't get the OriginationType for \"%s%s\".\n", directory, leaf);
    return;
  }

  String destination;
  if (((type == 2 && Flag(kSourcesOfType2)) || (type == 1 && Flag(kSourcesOfType1))) &&
      m_map->IsFromSourceWorkingDir(source)) {
    if (!LookingOnly()) std::ignore = m_map->MapWorkingFileName(source, &destination, type == 1);
  } else if (LookingOnly()) {
    // Only whether the copy would take it: a source outside goes along with the remote ones.
    bool inside = false;
    std::ignore = m_inSourceDirectory->IsInsideBase(&inside);
    if (!inside && !Flag(kRemote)) return;
  } else {
    bool inside = false;
    std::ignore = m_inSourceDirectory->IsInsideBase(&inside);
    String extension;
    std::ignore = m_inSourceDirectory->GetExtension(&extension);
    if (!inside) {
      m_remote = true;
      if (!Flag(kRemote)) return;
      if (!Map(source, &destination, false, ParentOf(source), LeafOf(source))) return;
      if (extension == "vmp") {
        const String from = ParentOf(source);
        const String to = ParentOf(destination);
        Debug("Handling a remote nbt source from %s to %s\n", from, to);
        std::ignore = Add(from, to, from);
      }
    } else if (m_map->IsInSourceDatabaseDir(source)) {
      std::ignore = m_map->MapFileName(source, &destination, false);
    } else {
      m_inProject.insert(Slashed(source).str());
      if (extension == "vmp") {
        String mapped;
        if (m_map->MapFileName(source, &mapped, false) == kSuccess && !mapped.empty()) {
          const String from = ParentOf(source);
          const String to = ParentOf(mapped);
          Debug("Handling a local nbt source from %s to %s\n", from, to);
          std::ignore = Add(from, to, from);
        }
      }
      destination = String();
    }
  }
  const bool wanted = (type == 0 && Flag(kSourcesOfType0)) || (type == 1 && Flag(kSourcesOfType1)) ||
                      (type == 2 && Flag(kSourcesOfType2)) || (type == 3 && Flag(kSourcesOfType3));
  if (!wanted || (!LookingOnly() && Overwrites(source, destination))) return;
  // A listed source that is gone fails the copy, and the user is told which one it is. A folder
  // at its name is a source off the disk too: copied, it would bring a whole tree in its place.
  std::error_code error;
  if (fs::symlink_status(fs::path(source.str()), error).type() == fs::file_type::not_found) {
    FileMessages::Error(__LINE__, "The source file \"%s\" of the project does not exist.\n", source);
    Record(kDirectoryWriteFailed);
    return;
  }
  if (fs::is_directory(fs::path(source.str()), error)) {
    FileMessages::Error(__LINE__, "The source file \"%s\" of the project is a folder, not a file.\n", source);
    Record(kDirectoryWriteFailed);
    return;
  }
  if (LookingOnly()) return;
  if (m_bundle->AddItem(source, destination) != kSuccess) {
    Debug("WARNING: Couldn't add \"%s\" to the ProjectBundle.\n", source);
    Record(kDirectoryWriteFailed);
  }
  m_added[std::move(Slashed(source).str())] = destination;
}

// A list-valued property names several files, each of which goes along.
void BundleCopy::AddFileProperties() {
  std::vector<Ppm::PropertyRecord> records;
  PropertyAccessor(m_project).GetAllPropertyValues(records);
  for (const Ppm::PropertyRecord& record : records) {
    if (!AutoCast<IFilePropertyInstance>(record.instance)) continue;
    String value;
    if (record.instance->GetValue(&value) != kSuccess || value.empty()) continue;
    const String& name = record.name;
    if (name == "PROP_OvraSimDataFileName_behav" || name == "PROP_OvraSimDataFileName_par") continue;
    if (name != "PROP_SynthConstraintsFile" && !Flag(kSourcesOfType1)) continue;
    const std::vector<String> paths =
        IsSingleFileProperty(record.instance) ? std::vector<String>{value} : value.Split("|");
    for (const String& path : paths) {
      if (path.empty()) continue;
      String source;
      std::ignore = m_inProjectDirectory->SetPath(path, String());
      std::ignore = m_inProjectDirectory->GetOsPath(&source);
      // A folder-valued property at the project directory itself (the working directory "."
      // by default) names no file to bring along: the project directory is what the copy is.
      if (source.empty() || Normal(source) == Normal(m_projectDirectory)) continue;
      bool inside = false;
      std::ignore = m_inProjectDirectory->IsInsideBase(&inside);
      String destination;
      if (inside) {
        m_inProject.insert(Slashed(source).str());
      } else {
        if (!Flag(kRemote)) continue;
        if (!Map(source, &destination, false, ParentOf(source), LeafOf(source))) continue;
      }
      std::error_code error;
      if (!fs::exists(source.str(), error) || error) continue;
      std::ignore = Add(source, destination, source);
    }
  }
}

Status BundleCopy::WalkProjectDirectory() {
  UT_DIR listing(m_projectDirectory, 0);
  if (!listing.isValid()) {
    return Fail(kDirectoryWriteFailed, "FileUtils::AddProjectContentsToBundle - Invalid directory <%s>\n",
                m_projectDirectory.c_str());
  }
  // A snapshot restore's working folder, this project's or another's beside it or below, is no
  // part of the project: restored, a copy of one would stand where that restore keeps its proof
  // and journal, and stop that project's next open.
  const std::set<std::string> restores = RestoreFolderNames(m_projectDirectory, listing);
  for (const UT_DIR::Entry& entry : listing) {
    const String& name = entry.name;
    if (name == "." || name == ".." || name == "tmp" || (name == "snapshots" && !Flag(kSnapshots))) continue;
    if (entry.kind == UT_DIR::Kind::kDirectory && restores.count(name.str()) != 0) continue;
    if (const Status set = m_inProjectDirectory->SetPath(name, String()); set != kSuccess) return set;
    String source;
    if (const Status named = m_inProjectDirectory->GetOsPath(&source); named != kSuccess) {
      Debug("WARNING: Couldn't get the OS FileName for \"%s\".\n", name);
      Record(named);
      continue;
    }
    if (InProject(source)) continue;
    String destination;
    if (!Map(source, &destination, false, m_projectDirectory, name)) continue;
    if (m_map->IsFromSourceWorkingDir(source)) {
      std::ignore = m_map->MapWorkingFileName(source, &destination, false);
    } else {
      destination = String();
    }
    if (entry.kind == UT_DIR::Kind::kDirectory && HoldsAdded(source)) {
      AddAllButAdded(source, destination.empty() ? String() : destination);
      continue;
    }
    std::ignore = Add(source, destination, source);
  }
  return kSuccess;
}

bool BundleCopy::HoldsAdded(const String& directory) const {
  const std::string prefix = Slashed(directory).str() + "/";
  const auto first = m_inProject.lower_bound(prefix);
  return first != m_inProject.end() && first->compare(0, prefix.size(), prefix) == 0;
}

// A directory that holds sources already handed over goes entry by entry, so that those
// sources are not copied a second time; what lands in the bundle is the same.
void BundleCopy::AddAllButAdded(const String& directory, const String& destination) {
  UT_DIR listing(directory, 0);
  if (!listing.isValid()) {
    Debug("WARNING: Couldn't add \"%s\" to the ProjectBundle.\n", directory);
    Record(kDirectoryWriteFailed);
    return;
  }
  const std::set<std::string> restores = RestoreFolderNames(directory, listing);
  for (const UT_DIR::Entry& entry : listing) {
    if (entry.kind == UT_DIR::Kind::kDirectory && restores.count(entry.name.str()) != 0) continue;
    const String source = Slashed(directory) + String("/") + entry.name;
    if (InProject(source)) continue;
    const String target = destination.empty() ? String() : Slashed(destination) + String("/") + entry.name;
    if (entry.kind == UT_DIR::Kind::kDirectory && HoldsAdded(source)) {
      AddAllButAdded(source, target);
      continue;
    }
    std::ignore = Add(source, target, source);
  }
}

// A macro directory that already went along keeps the place it was given; one that went along
// under its own relative place is named by where the map puts it.
void BundleCopy::AddMacroDirectories(String& buildMacro) {
  const auto append = [&buildMacro](const String& directory) {
    if (!buildMacro.empty()) buildMacro += "|";
    buildMacro += directory;
  };
  const String macro = PropertyAccessor(m_project).GetPropertyValue("PROP_velmTrnbldMacro");
  for (const String& token : macro.Split("|")) {
    if (token.empty()) continue;
    if (!UT_DIR(token, 1).isValid()) {
      FileMessages::Warn(__LINE__, "The macro search path directory, %s, is not valid and will not be copied.\n",
                         token);
      continue;
    }
    if (const Status set = m_inProjectDirectory->SetPath(token, String()); set != kSuccess) {
      Record(set);
      continue;
    }
    String directory;
    if (const Status named = m_inProjectDirectory->GetOsPath(&directory); named != kSuccess) {
      Debug("WARNING: Couldn't get the OS FileName for \"%s\".\n", token);
      Record(named);
      continue;
    }
    directory = Slashed(directory);
    if (const auto known = m_added.find(directory.str()); known != m_added.end()) {
      String destination = known->second;
      if (destination.empty()) std::ignore = m_map->MapFileName(directory, &destination, true);
      append(destination.empty() ? directory : destination);
      continue;
    }
    String destination;
    if (!Map(directory, &destination, false, ParentOf(directory), LeafOf(directory))) continue;
    if (m_map->IsFromSourceWorkingDir(directory)) std::ignore = m_map->MapWorkingFileName(directory, &destination, false);

    Status walked = kSuccess;
    std::error_code error;
    fs::directory_iterator entries(directory.str(), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
      std::error_code typeError;
      const bool isFile = entries->exists(typeError) && !typeError && !entries->is_directory(typeError) && !typeError;
      const String leaf(entries->path().filename().string());
      const String from = directory + String("/") + leaf;
      if (!isFile) {
        Debug("Skipping non file %s in macro search path\n", from);
        continue;
      }
      const String to = Slashed(destination) + String("/") + leaf;
      Debug("Mapping MACRO file %s to %s\n", from, to);
      const Status added = m_bundle->AddItem(from, to);
      m_added[from.str()] = to;
      if (walked == kSuccess && added != kSuccess) walked = added;
    }
    if (error) walked = kDirectoryWriteFailed;
    append(destination);
    if (walked == kSuccess) {
      bool inside = false;
      std::ignore = m_inProjectDirectory->IsInsideBase(&inside);
      if (!inside) m_remote = true;
    } else {
      Debug("WARNING: Couldn't add \"%s\" to the ProjectBundle.\n", directory);
      Record(walked);
    }
  }
}

}  // namespace

Status AddProjectContentsToBundle(IProject* project, std::uint32_t flags, ICPFileMapInternal* fileMap,
                                  IProjectBundle* bundle, String& buildMacro, bool* remoteSources) {
  if (remoteSources != nullptr) *remoteSources = false;
  buildMacro = String();
  if (project == nullptr || fileMap == nullptr || bundle == nullptr)
    return Fail(kInvalidParameter, "FileUtils::AddProjectContentsToBundle - Invalid input argument(s).\n");
  if (flags > kAllFlags) {
    String text;
    text.Format(
        "WARNING: FileUtils::AddProjectContentsToBundle - Invalid fields found in _nFlags <%d>. They will be "
        "ignored.\n",
        static_cast<int>(flags));
    Port_MsgManData::debugStub(text.c_str());
  }
  bool remote = false;
  const Status result = BundleCopy(project, flags & kAllFlags, fileMap, bundle).Run(buildMacro, remote);
  if (remoteSources != nullptr) *remoteSources = remote;
  return result;
}

Status FindGoneSources(IProject* project, std::uint32_t flags, ICPFileMapInternal* fileMap) {
  if (project == nullptr || fileMap == nullptr) return kInvalidParameter;
  return BundleCopy(project, flags & kAllFlags, fileMap, nullptr).LookForGoneSources();
}

}  // namespace Hvd::FileUtils
