// The project source file behind a path, the settings section of an older repository, the
// child-project test and the audit log.

#include <filesystem>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IDumper.h"
#include "Port/FileName.h"
#include "Prjrep/IAutonym.h"
#include "utils/Factory.h"
#include "project/ProjectRoutines.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr char kSourceExtension[] = ".xhlc";

bool IsAbsolute(const String& path) { return std::filesystem::path(path.str()).is_absolute(); }

// The source file that the settings of the repository at `path` record, when it exists.
String RecordedSourceFile(const String& path) {
  AutoRelease<Prjrep::IProjectRepository> repository;
  AutoRelease<Prjrep::IRegKeyPairs> keys;
  std::ignore = OpenSettingsSection(kSettingsSection, path, repository.Receive(), nullptr, keys.Receive());
  String value;
  if (!keys || keys->GetValue(kProjectSourceFileKey, &value) != kSuccess || value.empty()) return String();
  if (!IsAbsolute(value)) {
    // Relative to the repository's directory.
    const String beside = Port::FileName(Port::FileName(path).GetAbsolutePath()).GetHead() + value;
    if (Port::File::isfile(beside)) return beside;
  }
  return Port::File::isfile(value) ? value : String();
}

}  // namespace

Status OpenSettingsSection(const String& section, const String& repositoryPath, Prjrep::IProjectRepository** repository,
                           Prjrep::IStorage** storage, Prjrep::IRegKeyPairs** keys) {
  if (repository == nullptr) return kFailure;
  Prjrep::AutoOut<Prjrep::IProjectRepository> found(repository);
  if (storage != nullptr) *storage = nullptr;
  if (keys != nullptr) *keys = nullptr;
  // A file that is no repository is not loaded, so it is neither registered nor written.
  bool known = false;
  AutoRelease<Prjrep::IProjectRepository> held = FindAutonymByName(repositoryPath.c_str(), true, &known);
  if (!known) return kFailure;
  std::ignore = found.Assign(held.Get());
  const String name = "/" + section;
  // Only opened, never made: the section is read here, not written.
  if (AutoCast<Prjrep::IStorage> root(held.Get()); root && storage != nullptr) {
    std::ignore = root->OpenStorage(name, Prjrep::kOpenExisting, storage);
  }
  if (AutoCast<Prjrep::IRegKeyStorage> sections(held.Get()); sections && keys != nullptr) {
    std::ignore = sections->OpenKey(name, Prjrep::kOpenExisting, keys);
  }
  return kSuccess;
}

String InRealFolder(const String& path) {
  const Port::FileName name(path);
  const String tail = name.GetTail();
  if (tail.empty() || tail.str() == "." || tail.str() == "..") return Port::FileName(path).MakeCanonical().GetPath();
  const String folder = Port::FileName(name.GetHead()).MakeCanonical(true).GetPath();
  if (folder.empty()) return Port::FileName(path).MakeCanonical().GetPath();
  return folder.str() == "/" ? "/" + tail : folder + "/" + tail;
}

String ThroughProjectFolder(const String& path, const String& folder) {
  namespace fs = std::filesystem;
  const std::string& text = path.str();
  const std::string& own = folder.str();
  if (text.empty() || text.front() != '/' || own.size() < 2 || own.front() != '/') return path;
  // The steps the path shares with the folder are no links, the folder being where it really is:
  // they lead to themselves, and a path below the folder by its letters is named from it already.
  std::size_t begin = 1;
  std::size_t end = text.find('/', begin);
  while (end != std::string::npos && end <= own.size() && (end == own.size() || own[end] == '/') &&
         own.compare(0, end, text, 0, end) == 0) {
    if (end == own.size()) return path;
    begin = end + 1;
    end = text.find('/', begin);
  }
  // Where each further folder on the way leads (the file's own name is no folder): a step that is
  // no link leads on from where the part before it led, so only a link is resolved.
  std::string leads = text.substr(0, begin - 1);
  for (; end != std::string::npos; begin = end + 1, end = text.find('/', begin)) {
    std::string next = leads + text.substr(begin - 1, end - begin + 1);
    std::error_code error;
    // A part that is not there: no longer part is either.
    const fs::file_status status = fs::symlink_status(next, error);
    if (!error && fs::is_symlink(status)) next = fs::canonical(next, error).string();
    if (error) return path;
    leads = std::move(next);
    if (leads == own) return folder + String(text.substr(end));
    if (leads.size() > own.size() && leads[own.size()] == '/' && leads.compare(0, own.size(), own) == 0)
      return folder + String(leads.substr(own.size())) + String(text.substr(end));
  }
  return path;
}

String ResolveProjectSourceFile(const String& path) {
  if (path.empty()) return path;
  const Port::FileName name(path);
  String result;
  if (name.GetExtension() == kSourceExtension) {
    result = path;
  } else if (!Port::File::exist(path)) {
    result = ReplaceProjectExtension(path, kSourceExtension);
  }
  if (result.empty()) result = RecordedSourceFile(path);
  if (result.empty()) {
    const String sibling = name.GetHead() + name.GetBase() + kSourceExtension;
    if (Port::File::isfile(sibling)) result = sibling;
  }
  if (result.empty()) result = path;
  return InRealFolder(Port::FileName(result).GetAbsolutePath());
}

bool IsChildProject(CitI::IInterface* lookupObject, const String& name, IProject* project) {
  // Held, so that nothing the lookup does can release the project meanwhile.
  const AutoPtr<CitI::IInterface> held(project);
  if (!held) return false;
  AutoCast<Prjrep::ISimpleNamedLookup> lookup(lookupObject);
  AutoRelease<CitI::IInterface> found;
  if (lookup) std::ignore = lookup->Find(name, found.Receive());
  return static_cast<bool>(found);
}

void OpenAuditLog(const String& fileName, const String& registryName) {
  AutoRelease<CitI::IInterface> registered;
  std::ignore = FindNamedObject(registryName.c_str(), registered.Receive());
  if (registered) return;
  AutoRelease<CitI::IInterface> dumper(CitP::Factory::CreateInstance(ClassId::DumperComp()));
  if (!dumper) return;
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), registryName, dumper, true);
  if (AutoCast<IDumper> log(dumper.Get()); log) std::ignore = log->Open(fileName);
}

void CloseAuditLog(const String& registryName) {
  AutoRelease<CitI::IInterface> registered;
  std::ignore = FindNamedObject(registryName.c_str(), registered.Receive());
  if (AutoCast<IDumper> log(registered.Get()); log) std::ignore = log->Close();
  AutoRelease<Prjrep::ISimpleNamedLookup> registry(GetNamedObjectRegistryCLSID());
  if (registry) std::ignore = registry->Unregister(registryName);
}

}  // namespace Hvd
