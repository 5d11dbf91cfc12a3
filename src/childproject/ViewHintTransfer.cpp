// The view-hint transfer: the child's files of the views a hint names come into the parent,
// filtered by file type; and the variant that follows the parent's view network instead.

#include <strings.h>

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "Hvd/IBatchDelay.h"
#include "Hvd/IFileManager.h"
#include "Hvd/ITransformBindingInstance.h"
#include "childproject/FileComposer.h"
#include "childproject/Originators.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

bool EndsWith(const String& name, std::string_view end) { return std::string_view(name).ends_with(end); }

// Holds a batch on the view while the files come in, so it recomputes once; ends it once.
class BatchHold {
 public:
  explicit BatchHold(IView* view) : m_batch(view) {
    if (m_batch && m_batch->BeginBatch() != kSuccess) m_batch = nullptr;
  }
  BatchHold(const BatchHold&) = delete;
  BatchHold& operator=(const BatchHold&) = delete;
  ~BatchHold() {
    if (m_batch) std::ignore = m_batch->EndBatch();
  }

 private:
  AutoCast<IBatchDelay> m_batch;
};

}  // namespace

bool IsAbstractSynthesisView(const String& name) { return EndsWith(name, "AbstractSynthesis"); }
bool IsPreSynthesisView(const String& name) { return EndsWith(name, "PreSynthesis"); }
bool IsStructuralView(const String& name) { return EndsWith(name, "Structural"); }

bool SameViewKind(const String& a, const String& b) {
  return (IsAbstractSynthesisView(a) && IsAbstractSynthesisView(b)) || (IsPreSynthesisView(a) && IsPreSynthesisView(b)) ||
         (IsStructuralView(a) && IsStructuralView(b));
}

void ExpandViewKind(IProject* project, const String& hint, std::vector<AutoPtr<IView>>& views) {
  struct Kind {
    const char* hint;
    std::initializer_list<const char*> names;
  };
  static const Kind kKinds[] = {
      {"BehavioralOnly", {"AbstractSynth", "AbstractSim"}},
      {"PostImplSimOnly", {"PostSynthSim", "PostTransSim", "PostMapSim", "PostRouteSim"}},
      {"SimulationOnly", {"AbstractSim", "PostSynthSim", "PostTransSim", "PostMapSim", "PostRouteSim"}},
  };
  const auto append = [&](const String& name) {
    if (AutoRelease<IView> view = FindViewByName(project, name); view) views.emplace_back(view.Get());
  };
  for (const Kind& kind : kKinds) {
    // Hints are names: compared without regard to case.
    if (strcasecmp(hint.c_str(), kind.hint) != 0) continue;
    for (const char* name : kind.names) append(name);
    return;
  }
  append(hint);
}

void FileComposer::ClearSourceViews() { m_sourceViews.clear(); }

bool FileComposer::ExpandSourceViews(const String& hint) {
  ExpandViewKind(m_source.Get(), hint, m_sourceViews);
  return !m_sourceViews.empty();
}

bool FileComposer::TypeAccepted(const String& type) const {
  const auto listed = [&type](const std::vector<String>& types) {
    return std::find(types.begin(), types.end(), type) != types.end();
  };
  return !listed(m_excludedTypes) && (m_includedTypes.empty() || listed(m_includedTypes));
}

Status FileComposer::CollectHintFiles() {
  for (const AutoPtr<IView>& view : m_sourceViews) {
    AutoCast<IHdlDesignUnitSet> units(view.Get());
    AutoRelease<IHdlDesignUnitIterator> members;
    if (!units || units->GetIterator(members.Receive()) != kSuccess || !members) continue;
    for (std::ignore = members->Reset(); !members->IsDone(); std::ignore = members->Next()) {
      CitI::IInterface* member = members->Current();
      if (!AutoCast<IHdlFile>(member) || !TypeAccepted(GetDefDataIdName(member))) continue;
      AddFileToCompose(AutoCast<IFile>(member).Get());
    }
  }
  return kSuccess;
}

Status FileComposer::ComposeViewHintFiles() {
  if (m_sourceViews.empty() || !m_destination || !m_source) return kFailure;
  m_files.clear();
  m_seen.clear();
  std::ignore = CollectHintFiles();
  if (m_files.empty()) return kSuccess;
  AutoRelease<IView> synthesis = FindViewByName(m_destination.Get(), "SynthesisOnly");
  const BatchHold batch(synthesis.Get());
  for (const AutoPtr<IFile>& file : m_files) {
    const String path = GetObjectFullPath(file.Get());
    AutoRelease<IHdlFile> added;
    if (m_behavioral)
      added = AddComposedFileWithDesignUnitAssociation(path);
    else if (!m_startView.empty() || !m_stopView.empty())
      added = AddFileAlongViewNetwork(path);
    else if (m_viewAssociationKind != 0)
      added = AddComposedFileWithViewAssociation(path);
    else
      added = AddComposedFileByPath(path);
    CopySourceLibraryMembership(file.Get(), added.Get());
  }
  return kSuccess;
}

AutoRelease<IHdlFile> FileComposer::AddFileAlongViewNetwork(const String& path) {
  AutoRelease<IFile> found = DestinationFile(path);
  AutoRelease<IHdlFile> file(Prjrep::AutoReturn<IHdlFile>(found.Get()).Get());
  if (!file) {
    AutoCast<IFileManager> files(m_destination.Get());
    if (!files) return nullptr;
    if (files->ProjectAddFile(path, nullptr, file.Receive()) != kSuccess || !file) return nullptr;
    std::ignore = RemoveOriginator(file.Get(), m_destination.Get());
  }
  AddOriginator(file.Get(), m_source.Get());
  if (AutoRelease<IView> initial = FindViewByName(m_destination.Get(), "VIEW_Initial"); initial)
    AddFileToViewAsDesignUnit(initial.Get(), file.Get());
  if (AutoRelease<IView> start = FindViewByName(m_destination.Get(), m_startView); start)
    WalkViewNetwork(start.Get(), file.Get(), m_stopView);
  m_composedPaths.push_back(path);
  return file;
}

void FileComposer::WalkViewNetwork(IView* view, IHdlFile* file, const String& stopView) {
  std::unordered_set<CitI::IInterface*> visited;
  WalkViewNetwork(view, file, stopView, visited);
}

void FileComposer::WalkViewNetwork(IView* view, IHdlFile* file, const String& stopView,
                                   std::unordered_set<CitI::IInterface*>& visited) {
  if (view == nullptr || file == nullptr) return;
  if (!visited.insert(view->QueryInterface(CitI::IInterface::GetIID())).second) return;
  AddFileToViewAsDesignUnit(view, file);
  if (SameViewKind(GetDefDataIdName(view), stopView)) return;
  AutoRelease<ITransformBindingInstanceSet> second;
  AutoRelease<ITransformBindingInstanceIterator> bindings;
  if (view->GetSecondBindingSet(second.Receive()) != kSuccess || !second ||
      second->GetIterator(bindings.Receive()) != kSuccess || !bindings)
    return;
  for (; !bindings->IsDone(); std::ignore = bindings->Next()) {
    const AutoPtr<ITransformBindingInstance> binding(bindings->Current());
    AutoRelease<Prjrep::IIterator> targets;
    if (!binding || binding->GetTargets(targets.Receive()) != kSuccess || !targets) continue;
    for (; !targets->IsDone(); std::ignore = targets->Next())
      WalkViewNetwork(AutoCast<IView>(targets->Current()).Get(), file, stopView, visited);
  }
}

}  // namespace Hvd
