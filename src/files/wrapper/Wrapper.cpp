// The wrapper's parser project, what the view hands it, and the tests that tell whether the
// parser must be brought up to date.

#include <mutex>
#include <tuple>

#include "CitP/Factory.h"
#include "Hvd/IFile.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Diagnostics.h"
#include "core/Interface.h"
#include "core/OrderedPlace.h"
#include "files/wrapper/CHdlPackageWrapper.h"
#include "files/wrapper/WorkingDirectory.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

CHdlPackageWrapper::CHdlPackageWrapper() {
  AutoRelease<IHdlProject> project;
  if (CreateSimpleProject(project.Receive()) != kSuccess || !project) {
    std::ignore =
        Fail(kFailure, "Error: CHdlPackageWrapper::CHdlPackageWrapper - Unable to create a simple project.\n");
  }
  m_project = std::move(project);
}

// The parser project goes first, so that it lets go of the view's files while they still live.
CHdlPackageWrapper::~CHdlPackageWrapper() {
  m_project = nullptr;
  m_viewFiles.clear();
  m_keyOfView.Clear();
  m_handed.clear();
  m_rememberedValues.clear();
  m_viewProperties.clear();
  m_parserToView.Clear();
  m_viewToParser.Clear();
}

Status CHdlPackageWrapper::CreateSimpleProject(IHdlProject** project) {
  if (project == nullptr) return Fail(kBadParameters, "Error: Bad parameters.\n");
  Prjrep::AutoOut<IHdlProject> out(project);
  AutoRelease<CitI::IInterface> created(CitP::Factory::CreateInstance(HdlProjectClassId()));
  AutoCast<IHdlProject> answer(created.Get());
  if (!answer) return Fail(kFailure, "Error: Couldn't create an IHdlProject via the factory.\n");
  return out.Assign(answer);
}

CHdlPackageWrapper::String CHdlPackageWrapper::KeyOf(IHdlFile* file, Status* status) {
  String directory, name;
  *status = file != nullptr ? file->GetPath(&directory, &name) : kFailure;
  return String(directory.str() + name.str());
}

Status CHdlPackageWrapper::SetWorkingDirectory(const String& directory) {
  if (m_project) std::ignore = m_project->SetWorkingDirectory(directory);
  StoreWorkingDirectory(directory.str());
  return kSuccess;
}

Status CHdlPackageWrapper::SetProjectDirectory(const String& directory) {
  if (m_project) std::ignore = m_project->SetProjectDirectory(directory);
  return kSuccess;
}

Status CHdlPackageWrapper::SetViewFiles(IFileIterator* files) {
  m_viewFiles.clear();
  m_lastListed = m_viewFiles.end();
  m_keyOfView.Clear();
  m_changedKeys.clear();
  m_compareAll = true;
  if (files == nullptr) return kSuccess;
  for (std::ignore = files->Reset(); !files->IsDone(); std::ignore = files->Next()) {
    AutoCast<IHdlFile> file(files->Current());
    if (!file) continue;  // every view file answers it; anything else has no key
    Status status;
    const String key = KeyOf(file, &status);
    if (key.empty()) continue;
    const Key& listed = ListViewFile(key, file.Get());
    m_keyOfView.Assign(RootOf(file.Get()), listed);
    SeeIncludedFile(listed, file.Get());
  }
  return kSuccess;
}

const CHdlPackageWrapper::Key& CHdlPackageWrapper::ListViewFile(const String& key, IHdlFile* file) {
  // Files mostly come in their project's order, each right after the one before in the order
  // of names.
  const std::string_view text(key);
  auto at = LowerBoundAfter(m_viewFiles, m_lastListed, text);
  if (at == m_viewFiles.end() || std::string_view(at->first) != text) {
    at = m_viewFiles.emplace_hint(at, Key(key), Prjrep::AutoPtr<IHdlFile>(file));
  } else {
    at->second = Prjrep::AutoPtr<IHdlFile>(file);
  }
  m_lastListed = at;
  return at->first;
}

// A file listed twice under one key keeps the entry of the later one; a file leaving takes
// only its own entry away.
void CHdlPackageWrapper::UpdateViewFile(CitI::IInterface* file, bool present) {
  if (!m_tracked) return;
  CitI::IInterface* root = RootOf(file);
  if (root == nullptr) return;
  // While the parser holds nothing, as when a view is first filled, the next request hands over
  // every file in the list's order, just as it would hand over every changed one: no change
  // needs to be named, and a large view's names are not sorted twice.
  if (m_handed.empty()) m_compareAll = true;
  const Key* listed = m_keyOfView.Find(root);
  const bool relisted = listed != nullptr;
  if (relisted) {
    const Key key = *listed;
    m_keyOfView.Erase(root);
    if (const auto at = m_viewFiles.find(key); at != m_viewFiles.end() && RootOf(at->second.Get()) == root) {
      if (at == m_lastListed) m_lastListed = m_viewFiles.end();
      m_viewFiles.erase(at);
    }
    if (!m_compareAll) m_changedKeys.insert(key);
  }
  if (!present) return;
  AutoCast<IHdlFile> hdl(file);
  if (!hdl) return;
  Status status;
  const String text = KeyOf(hdl, &status);
  if (text.empty()) return;
  const Key& key = ListViewFile(text, hdl.Get());
  m_keyOfView.Assign(root, key);
  // Listed again after a change, its time is no longer the one its includers read.
  if (!relisted) SeeIncludedFile(key, hdl.Get());
  if (!m_compareAll) m_changedKeys.insert(key);
}

void CHdlPackageWrapper::MarkFileChanged(CitI::IInterface* file) {
  CitI::IInterface* root = RootOf(file);
  if (root == nullptr || m_keyOfView.Find(root) == nullptr) return;
  // Read the key again: a file that moved is listed under its new path.
  UpdateViewFile(file, true);
}

Status CHdlPackageWrapper::SetViewProperties(IPropertyInstanceIterator* properties) {
  m_viewProperties.clear();
  if (properties == nullptr) return kSuccess;
  for (std::ignore = properties->Reset(); !properties->IsDone(); std::ignore = properties->Next()) {
    IPropertyInstance* instance = properties->Current();
    String name;
    if (instance == nullptr || instance->GetName(&name) != kSuccess || name.empty()) continue;
    m_viewProperties[name] = Prjrep::AutoPtr<IPropertyInstance>(instance);
  }
  return kSuccess;
}

Status CHdlPackageWrapper::UpdateElaborationData() {
  AutoCast<IHdlElaborationData2> elaboration(m_project.Get());
  return elaboration ? elaboration->RefreshElaboration() : kSuccess;
}

Status CHdlPackageWrapper::ArePropertySetsEqual(bool* equal) {
  if (equal == nullptr) return kBadParameters;
  *equal = false;
  for (const auto& [key, instance] : m_viewProperties) {
    String name, value;
    if (!instance || instance->GetName(&name) != kSuccess) return kSuccess;
    const auto remembered = m_rememberedValues.find(name);
    if (remembered == m_rememberedValues.end()) return kSuccess;
    if (instance->GetValue(&value) != kSuccess || !(value == remembered->second)) return kSuccess;
  }
  for (const auto& [name, value] : m_rememberedValues) {
    const auto found = m_viewProperties.find(name);
    if (found == m_viewProperties.end() || !found->second) return kSuccess;
  }
  *equal = true;
  return kSuccess;
}

bool CHdlPackageWrapper::Differs(const FileData& now, const FileData& then) {
  return now.seconds != then.seconds || now.microseconds != then.microseconds ||
         now.globalInclude != then.globalInclude || !(now.library == then.library) ||
         now.originState != then.originState || now.place != then.place;
}

// Whether the parser's file handed for a name stands for this view file; a name never handed
// to the parser has no file to stand for.
bool CHdlPackageWrapper::HandedFor(IHdlFile* viewFile, const Handed& handed) {
  if (handed.parser == nullptr) return true;
  IHdlFile* const* mapped = m_parserToView.Find(handed.parser);
  return mapped != nullptr && *mapped == viewFile;
}

// Files the view manages itself (origin 3) are never compiled: their changes alone ask for no
// new parse, unless the parser still holds a file for one (a source of the user's that became one).
bool CHdlPackageWrapper::IsFileStale(const Key& key) {
  const auto handed = m_handed.find(key);
  const bool remembered = handed != m_handed.end() && handed->second.remembered;
  const auto view = m_viewFiles.find(key);
  if (view == m_viewFiles.end()) return remembered || m_includedTimes.contains(key);
  if (IsManagedByView(view->second.Get())) {
    return handed != m_handed.end() || IsIncludedFileChanged(key, view->second.Get());
  }
  if (!remembered) return true;
  // Another file under the same name, as one removed and added back: the parser's file must
  // stand for the new one.
  if (!HandedFor(view->second.Get(), handed->second)) return true;
  FileData now;
  std::ignore = PopulateFileData(view->second.Get(), &now);
  if (Differs(now, *handed->second.remembered)) return true;
  bool modified = false;
  IHdlFile* parser = handed->second.parser;
  return parser != nullptr && parser->IsModified(&modified) == kSuccess && modified;
}

// After a whole new list every file is compared; after single changes only the files named.
Status CHdlPackageWrapper::AreFilesUpToDate(bool* upToDate) {
  if (upToDate == nullptr) return kBadParameters;
  *upToDate = false;
  if (!m_compareAll) {
    for (const Key& key : m_changedKeys) {
      if (IsFileStale(key)) return kSuccess;
    }
    *upToDate = true;
    return kSuccess;
  }
  for (const auto& [viewKey, file] : m_viewFiles) {
    if (IsManagedByView(file.Get())) {
      if (m_handed.find(viewKey) != m_handed.end()) return kSuccess;  // still the parser's
      // Changed since its includers read it: they read it again.
      if (IsIncludedFileChanged(viewKey, file.Get())) return kSuccess;
      continue;  // managed by the view itself, never compiled
    }
    Status status;
    const String key = KeyOf(file, &status);
    if (status != kSuccess) return status;
    const auto handed = m_handed.find(key);
    if (handed == m_handed.end() || !handed->second.remembered) return kSuccess;
    if (!HandedFor(file.Get(), handed->second)) return kSuccess;
    FileData now;
    std::ignore = PopulateFileData(file.Get(), &now);
    if (Differs(now, *handed->second.remembered)) return kSuccess;
  }
  for (const auto& [key, handed] : m_handed) {
    if (handed.remembered && m_viewFiles.find(key) == m_viewFiles.end()) return kSuccess;
  }
  for (const auto& [key, time] : m_includedTimes) {
    if (m_viewFiles.find(key) == m_viewFiles.end()) return kSuccess;
  }
  AutoCast<IHdlFileSet> parserFiles(m_project.Get());
  if (parserFiles) {
    AutoRelease<IHdlFileIterator> it;
    if (parserFiles->GetIterator(it.Receive()) == kSuccess && it) {
      for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
        bool modified = false;
        if (IHdlFile* file = it->Current(); file != nullptr && file->IsModified(&modified) == kSuccess && modified) {
          return kSuccess;
        }
      }
    }
  }
  *upToDate = true;
  return kSuccess;
}

}  // namespace Hvd
