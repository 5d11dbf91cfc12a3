// Mirroring the view's files and parser properties into the parser project, and the record of
// what was handed over.

#include <iterator>
#include <map>
#include <tuple>
#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Diagnostics.h"
#include "files/wrapper/CHdlPackageWrapper.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

namespace {

bool GlobalIncludeOf(CitI::IInterface* file) {
  bool flag = false;
  AutoCast<IHdlFileV3> v3(file);
  if (!v3 || v3->GetGlobalInclude(&flag) != kSuccess) return false;
  return flag;
}

// Gives the parser file the view file's library; the messages name the calling operation.
Status CopyLibrary(IHdlFile* viewFile, IHdlFile* parserFile, const char* caller) {
  AutoCast<ISourceLibraryMember> from(viewFile);
  AutoCast<ISourceLibraryMember> to(parserFile);
  if (!from || !to) {
    return Fail(kFailure, "Error - CHdlPackageWrapper::%s: Unable to get the ISourceLibraryMember interface.\n",
                caller);
  }
  AutoRelease<ISourceLibrary> library;
  if (from->GetLibrary(library.Receive()) != kSuccess) {
    return Fail(kFailure, "Error - CHdlPackageWrapper::%s: Could get the ISourceLibrary from the IHdlComponent.\n",
                caller);
  }
  if (to->SetLibrary(library.Get()) != kSuccess) {
    return Fail(kFailure, "Error - CHdlPackageWrapper::%s: Could set the ISourceLibrary to the IHdlComponent.\n",
                caller);
  }
  return kSuccess;
}

}  // namespace

Status CHdlPackageWrapper::CreateCHdlFileComponent(IHdlProject* project, IHdlFile* viewFile, IHdlFile** parserFile) {
  if (project == nullptr || viewFile == nullptr || parserFile == nullptr) {
    return Fail(kBadParameters, "Error: Bad parameters.\n");
  }
  *parserFile = nullptr;
  if (project->CreateFile(parserFile) != kSuccess || *parserFile == nullptr) {
    return Fail(kFailure, "Error: Could not create a CHdlFile component.\n");
  }
  IHdlFile* made = *parserFile;
  String directory, name;
  if (viewFile->GetPath(&directory, &name) != kSuccess) return Fail(kFailure, "Error: Could not getPath().\n");
  if (made->SetPath(directory, name) != kSuccess) return Fail(kFailure, "Error: Could not setPath().\n");
  String parser;
  if (viewFile->GetParserName(&parser) != kSuccess) return Fail(kFailure, "Error: Could not getParserName.\n");
  if (made->SetParserName(parser) != kSuccess) return Fail(kFailure, "Error: Could not setParserName().\n");
  AutoCast<IFile> asFile(viewFile);
  if (!asFile) return Fail(kFailure, "Error: Could not get the IFile interface.\n");
  AutoRelease<IFileType> type;
  if (asFile->GetFileType(type.Receive()) != kSuccess || !type) {
    return Fail(kFailure, "Error: Could not get the file type.\n");
  }
  AutoCast<ICompAdmin> admin(made);
  if (!admin) return Fail(kFailure, "Error: Could not get the ICompAdmin interface.\n");
  if (const Status status = admin->InitializeAfterCreate(nullptr, type.Get()); status != kSuccess) {
    return Fail(status, "Error: Could not set the File Type on the HdlFile component.\n");
  }
  if (const Status status = CopyLibrary(viewFile, made, "CreateCHdlFileComponent"); status != kSuccess) return status;
  if (AutoCast<IFileCompReference> link(made); link) std::ignore = link->SetFileComponent(asFile.Get());
  std::uint64_t sequence = 0;
  std::ignore = viewFile->GetFileAddTarget(&sequence);
  std::ignore = made->SetSequenceId(sequence);
  if (AutoCast<IHdlFileV4> v4(made); v4) std::ignore = v4->SetViewId(m_viewId);
  return kSuccess;
}

Status CHdlPackageWrapper::PopulateFileData(CitI::IInterface* file, FileData* data) {
  if (data == nullptr) return Fail(kBadParameters, "Error: CHdlPackageWrapper::PopulateFileData - Bad arguments.\n");
  *data = FileData();
  if (file == nullptr) return Fail(kBadParameters, "Error: CHdlPackageWrapper::PopulateFileData - Bad arguments.\n");
  AutoCast<Prjrep::ITimestamp> stamp(file);
  if (!stamp) {
    return Fail(kFailure, "Error: CHdlPackageWrapper::PopulateFileData - ITimestamp interface is not exposed.\n");
  }
  std::ignore = stamp->GetTime(&data->seconds, &data->microseconds);
  data->library = "work";
  if (AutoCast<ISourceLibraryMember> member(file); member) {
    AutoRelease<ISourceLibrary> library;
    if (member->GetLibrary(library.Receive()) == kSuccess && library) {
      String name;
      if (AutoCast<Prjrep::IName> named(library.Get()); named && named->GetName(name) == kSuccess) {
        data->library = name;
      }
    }
  }
  data->globalInclude = GlobalIncludeOf(file);
  if (AutoCast<IFile> asFile(file); asFile) std::ignore = asFile->GetOriginState(&data->originState);
  if (AutoCast<IHdlFile> hdl(file); hdl) std::ignore = hdl->GetFileAddTarget(&data->place);
  return kSuccess;
}

Status CHdlPackageWrapper::UpdateParserProperties() {
  constexpr const char* kNoSet =
      "Error: CHdlPackageWrapper::UpdateParserProperties - Unable to get the IPropertyInstanceSet interface.";
  if (!m_project) return Fail(kFailure, "%s\n", kNoSet);
  AutoRelease<IHdlParserConfig> config;
  if (m_project->GetParserConfig(config.Receive()) != kSuccess || !config) return Fail(kFailure, "%s\n", kNoSet);
  AutoCast<IPropertyInstanceSet> set(config.Get());
  if (!set) return Fail(kFailure, "%s\n", kNoSet);
  std::ignore = set->Clear();
  m_rememberedValues.clear();
  for (const auto& [key, instance] : m_viewProperties) {
    if (!instance) continue;
    if (const Status status = set->Add(instance.Get()); status != kSuccess) return status;
    String name, value;
    if (const Status status = instance->GetName(&name); status != kSuccess) return status;
    if (const Status status = instance->GetValue(&value); status != kSuccess) return status;
    m_rememberedValues[name] = value;
  }
  return kSuccess;
}

// Three passes: drop the parser files the view no longer has, add or update the others, then
// remember what the parser now holds. After single changes only the files named are visited, in
// the same order of passes, so that the parser sees the same additions in the same order.
Status CHdlPackageWrapper::UpdateProjectFiles() {
  AutoCast<IHdlFileSet> parserFiles(m_project.Get());
  if (!parserFiles) {
    return Fail(kFailure, "Error: CHdlPackageWrapper::UpdateProjectFiles - Unable to the the IHdlFileSet interface.\n");
  }
  if (!m_compareAll) {
    // A failure part way leaves the next request to compare everything.
    m_compareAll = true;
    // A change set larger than what the parser holds, as the first fill of a large view: the
    // tables take their room at once. Never for fewer, so that single changes never rebuild them.
    if (m_changedKeys.size() > m_parserFiles) Reserve(m_parserFiles + m_changedKeys.size());
    std::vector<decltype(m_viewFiles)::const_iterator> listed;
    listed.reserve(m_changedKeys.size());
    for (const Key& key : m_changedKeys) {
      if (const auto view = m_viewFiles.find(key); view != m_viewFiles.end()) {
        listed.push_back(view);
      } else if (const Status status = RemoveParserFile(key); status != kSuccess) {
        return status;
      } else if (const Status told = ForgetIncludedFile(key); told != kSuccess) {
        return told;
      }
    }
    for (const auto& view : listed) {
      if (const Status status = UpdateProjectFile(view->first, view->second.Get()); status != kSuccess) return status;
    }
    m_changedKeys.clear();
    m_compareAll = false;
    return kSuccess;
  }

  m_parserToView.Clear();
  m_viewToParser.Clear();
  // The parser's files are found again below; what was handed over stays.
  for (auto at = m_handed.begin(); at != m_handed.end();) {
    at->second.parser = nullptr;
    at = at->second.remembered ? std::next(at) : m_handed.erase(at);
  }
  m_parserFiles = 0;
  Reserve(m_viewFiles.size());
  // Whether a key remembered may be one the view no longer lists: only when something was
  // remembered before, or a file turns out to be under another path than it is listed under.
  // Otherwise every key remembered is listed, and none needs looking for in the list again.
  bool unlisted = m_rememberedFiles != 0;
  AutoRelease<IHdlFileIterator> it;
  if (parserFiles->GetIterator(it.Receive()) != kSuccess || !it) {
    return Fail(kFailure,
                "Error: CHdlPackageWrapper::UpdateProjectFiles - Unable to the the IHdlFileIterator interface.\n");
  }
  for (std::ignore = it->Reset(); !it->IsDone();) {
    IHdlFile* parserFile = it->Current();
    Status status;
    const String key = KeyOf(parserFile, &status);
    if (status != kSuccess) return status;
    const auto view = m_viewFiles.find(key);
    if (view == m_viewFiles.end()) {
      std::ignore = parserFiles->Remove(it);  // the iterator moves on to the next file
      continue;
    }
    m_parserToView.Assign(parserFile, view->second.Get());
    m_viewToParser.Assign(view->second.Get(), parserFile);
    Handed& handed = m_handed[view->first];
    if (handed.parser == nullptr) ++m_parserFiles;
    handed.parser = parserFile;
    std::ignore = it->Next();
  }

  for (const auto& [viewKey, viewFile] : m_viewFiles) {
    if (const Status status = UpdateProjectFile(viewKey, viewFile.Get(), &unlisted); status != kSuccess) return status;
  }
  std::vector<Key> leftIncluded;
  for (const auto& [key, time] : m_includedTimes) {
    if (m_viewFiles.find(key) == m_viewFiles.end()) leftIncluded.push_back(key);
  }
  for (const Key& key : leftIncluded) {
    if (const Status status = ForgetIncludedFile(key); status != kSuccess) return status;
  }
  for (auto at = m_handed.begin(); unlisted && at != m_handed.end();) {
    if (at->second.remembered && m_viewFiles.find(at->first) == m_viewFiles.end()) {
      at->second.remembered.reset();
      --m_rememberedFiles;
      if (at->second.parser == nullptr) {
        at = m_handed.erase(at);
        continue;
      }
    }
    ++at;
  }
  m_changedKeys.clear();
  m_compareAll = !m_tracked;
  return kSuccess;
}

// Room for `count` files in the tables kept for each file, made at once before they are filled
// for every file: a large project's tables would otherwise be built again many times over.
void CHdlPackageWrapper::Reserve(std::size_t count) {
  m_parserToView.Reserve(count);
  m_viewToParser.Reserve(count);
  m_handed.reserve(count);
}

// The parser's file of a key the view no longer lists leaves the parser.
Status CHdlPackageWrapper::RemoveParserFile(const Key& key) {
  const auto found = m_handed.find(key);
  if (found == m_handed.end()) return kSuccess;
  IHdlFile* parserFile = found->second.parser;
  if (found->second.remembered) --m_rememberedFiles;
  if (parserFile != nullptr) --m_parserFiles;
  m_handed.erase(found);
  if (parserFile == nullptr) return kSuccess;
  if (IHdlFile* const* mapped = m_parserToView.Find(parserFile); mapped != nullptr) {
    if (IHdlFile* const* back = m_viewToParser.Find(*mapped); back != nullptr && *back == parserFile)
      m_viewToParser.Erase(*mapped);
    m_parserToView.Erase(parserFile);
  }
  AutoCast<IHdlFileSet> parserFiles(m_project.Get());
  AutoRelease<IHdlFileIterator> it;
  if (!parserFiles || parserFiles->GetIterator(it.Receive()) != kSuccess || !it) {
    return Fail(kFailure,
                "Error: CHdlPackageWrapper::UpdateProjectFiles - Unable to the the IHdlFileIterator interface.\n");
  }
  // The parser's set answers no lookup: its files are compared by identity only.
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    if (it->Current() == parserFile) return parserFiles->Remove(it) == kSuccess ? kSuccess : kFailure;
  }
  return kSuccess;
}

// Adds the parser's file of a view file, or passes on what changed on it, and remembers what the
// parser now holds.
Status CHdlPackageWrapper::UpdateProjectFile(const Key& viewKey, IHdlFile* viewFile, bool* moved) {
  Status status;
  const String text = KeyOf(viewFile, &status);
  if (status != kSuccess) return status;
  // Mostly the file is still where it was listed: the listing's key serves.
  const bool listed = std::string_view(text) == std::string_view(viewKey);
  if (!listed && moved != nullptr) *moved = true;
  const Key key = listed ? viewKey : Key(text);
  AutoCast<IHdlFileSet> parserFiles(m_project.Get());
  if (!parserFiles) {
    return Fail(kFailure, "Error: CHdlPackageWrapper::UpdateProjectFiles - Unable to the the IHdlFileSet interface.\n");
  }
  // A file the view manages itself (origin 3) is text that its includers read: no file of the
  // parser's own, whose macros would otherwise order the others as no fresh open's view does.
  if (IsManagedByView(viewFile)) {
    if (const Status status = UpdateIncludedFile(key, viewFile); status != kSuccess) return status;
    return RemoveParserFile(key);
  }
  if (!m_includedTimes.empty()) m_includedTimes.erase(key);  // a source of the parser's again
  // Looked up once: a new key's entry is made by the lookup, and stays while its file is made.
  const auto [found, fresh] = m_handed.try_emplace(key);
  Handed& handed = found->second;
  if (handed.parser == nullptr) {
    AutoRelease<IHdlFile> made;
    if (CreateCHdlFileComponent(m_project.Get(), viewFile, made.Receive()) != kSuccess) {
      if (fresh) m_handed.erase(key);
      return Fail(kFailure, "Error: Unable to create and IHdlFile component.\n");
    }
    if (AutoCast<IHdlFileV3> to(made.Get()); to && AutoCast<IHdlFileV3>(viewFile)) {
      std::ignore = to->SetGlobalInclude(GlobalIncludeOf(viewFile));
    }
    const Status added = parserFiles->Add(made.Get());
    m_parserToView.Assign(made.Get(), viewFile);
    m_viewToParser.Assign(viewFile, made.Get());
    handed.parser = made.Get();
    ++m_parserFiles;
    if (added != kSuccess) return Fail(kFailure, "Error: Unable to add a file to the project.\n");
  } else {
    IHdlFile* parserFile = handed.parser;
    // The key may now be another view file's: the parser's file follows it.
    if (IHdlFile* const* mapped = m_parserToView.Find(parserFile); mapped != nullptr && *mapped != viewFile) {
      if (IHdlFile* const* back = m_viewToParser.Find(*mapped); back != nullptr && *back == parserFile)
        m_viewToParser.Erase(*mapped);
    }
    m_parserToView.Assign(parserFile, viewFile);
    m_viewToParser.Assign(viewFile, parserFile);
    FileData now;
    std::ignore = PopulateFileData(viewFile, &now);
    const FileData then = handed.remembered ? *handed.remembered : FileData();
    if (now.seconds != then.seconds || now.microseconds != then.microseconds) {
      std::ignore = parserFile->SetModified(true);
    }
    if (!(now.library == then.library)) {
      if (const Status copied = CopyLibrary(viewFile, parserFile, "UpdateProjectFiles"); copied != kSuccess) {
        return copied;
      }
      std::ignore = parserFile->SetModified(true);
    }
    if (now.globalInclude != then.globalInclude) {
      if (AutoCast<IHdlFileV3> to(parserFile); to) std::ignore = to->SetGlobalInclude(now.globalInclude);
      std::ignore = parserFile->SetModified(true);
    }
    // A file taken out and added back between two parses comes back last among the project's
    // files, as it would had the parser seen it go: its parser file moves there too.
    if (now.place != then.place) std::ignore = parserFile->SetSequenceId(now.place);
  }
  FileData data;
  std::ignore = PopulateFileData(viewFile, &data);
  if (!handed.remembered) ++m_rememberedFiles;
  handed.remembered = std::move(data);
  return kSuccess;
}

bool CHdlPackageWrapper::IsManagedByView(IHdlFile* file) {
  std::uint32_t origin = 0;
  AutoCast<IFile> asFile(file);
  return asFile && asFile->GetOriginState(&origin) == kSuccess && origin == 3;
}

CHdlPackageWrapper::FileTime CHdlPackageWrapper::TimeOf(IHdlFile* file) {
  FileTime time{-1, 0};
  if (AutoCast<Prjrep::ITimestamp> stamp(file); stamp) std::ignore = stamp->GetTime(&time.first, &time.second);
  return time;
}

// Listed for the first time, the file holds what its includers' last scan read: an open's scan
// or the one that found it reads it after the view's check on disk that gave it this time.
void CHdlPackageWrapper::SeeIncludedFile(const Key& key, IHdlFile* file) {
  if (IsManagedByView(file)) m_includedTimes.try_emplace(key, TimeOf(file));
}

bool CHdlPackageWrapper::IsIncludedFileChanged(const Key& key, IHdlFile* file) const {
  const auto seen = m_includedTimes.find(key);
  return seen != m_includedTimes.end() && seen->second != TimeOf(file);
}

Status CHdlPackageWrapper::UpdateIncludedFile(const Key& key, IHdlFile* viewFile) {
  const FileTime now = TimeOf(viewFile);
  const auto [seen, fresh] = m_includedTimes.try_emplace(key, now);
  if (fresh || seen->second == now) return kSuccess;
  seen->second = now;
  return TellIncluders(key);
}

// Gone from the view (off the disk, or no longer included), the file is read by no includer as
// it was: those left read what the disk holds now.
Status CHdlPackageWrapper::ForgetIncludedFile(const Key& key) {
  const auto seen = m_includedTimes.find(key);
  if (seen == m_includedTimes.end()) return kSuccess;
  m_includedTimes.erase(seen);
  return TellIncluders(key);
}

// The parser is told through a file of its own that names the path and stays out of its set.
Status CHdlPackageWrapper::TellIncluders(std::string_view path) {
  AutoRelease<IHdlFile> named;
  if (!m_project || m_project->CreateFile(named.Receive()) != kSuccess || !named) {
    return Fail(kFailure, "Error: Could not create a CHdlFile component.\n");
  }
  const std::size_t slash = path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1;
  if (named->SetPath(String(std::string(path.substr(0, slash))), String(std::string(path.substr(slash)))) != kSuccess) {
    return Fail(kFailure, "Error: Could not setPath().\n");
  }
  return named->SetModified(true);
}

}  // namespace Hvd
