#include "projectfiles/ViewNetworkWalker.h"

#include "Hvd/ITransformBindingSets.h"
#include "Hvd/IViewManager.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"
#include "projectfiles/GeneratedProjectWriter.h"
#include "projectfiles/GhlcNames.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/DmUtils.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace G = GhlcNames;

ViewNetworkWalker::ViewNetworkWalker(IProject* project) : m_project(project) {}

ViewNetworkWalker::~ViewNetworkWalker() = default;

void ViewNetworkWalker::VisitTransform(ITransformInstance*) {}
void ViewNetworkWalker::EnterBinding(ITransformBindingInstance*) {}
void ViewNetworkWalker::LeaveBinding(ITransformBindingInstance*) {}
void ViewNetworkWalker::EnterView(IView*) {}

void ViewNetworkWalker::Walk() {
  AutoCast<IViewManager> views(DesignOf(m_project.Get()));
  AutoRelease<IViewIterator> at;
  if (!views || views->GetViews(at.Receive()) != kSuccess || !at) return;
  IView* start = nullptr;
  for (; !at->IsDone(); std::ignore = at->Next()) {
    IView* view = at->Current();
    AutoRelease<IViewType> type;
    Text name("UNKNOWN_COMPONENT");
    if (view != nullptr && view->GetType(type.Receive()) == kSuccess && type) {
      if (AutoCast<IDefDataId> id(type.Get()); id) std::ignore = id->GetDefDataIdName(&name);
    }
    if (name == "VIEW_Initial") {
      start = view;
      break;
    }
  }
  // The design keeps its views while the walk runs.
  VisitView(start);
}

void ViewNetworkWalker::VisitView(IView* view) {
  if (view != nullptr && !m_visited.insert(RootOf(view)).second) return;
  EnterView(view);
  if (m_stop) return;
  AutoCast<ITransformBindingSets> sets(view);
  AutoRelease<ITransformBindingInstanceSet> second;
  AutoRelease<ITransformBindingInstanceIterator> bindings;
  if (!sets || sets->GetSecondBindingSet(second.Receive()) != kSuccess || !second ||
      second->GetIterator(bindings.Receive()) != kSuccess || !bindings)
    return;
  for (; !bindings->IsDone(); std::ignore = bindings->Next()) {
    // Held while its way on is walked: nothing below may take the last reference away.
    Prjrep::AutoPtr<ITransformBindingInstance> binding(bindings->Current());
    if (!binding) continue;
    EnterBinding(binding.Get());
    if (m_stop) return;
    if (m_follow) {
      AutoRelease<ITransformInstanceIterator> instances;
      if (binding->GetTransformInstances(instances.Receive()) != kSuccess || !instances) continue;
      for (; !instances->IsDone() && !m_stop; std::ignore = instances->Next()) {
        if (ITransformInstance* instance = instances->Current(); instance != nullptr) VisitTransform(instance);
      }
    }
    if (m_stop) return;
    LeaveBinding(binding.Get());
    if (m_stop) return;
    FollowBinding(binding.Get());
    if (m_stop) return;
  }
}

void ViewNetworkWalker::FollowBinding(ITransformBindingInstance* binding) {
  AutoRelease<Prjrep::IIterator> targets;
  if (binding == nullptr || binding->GetTargets(targets.Receive()) != kSuccess || !targets) return;
  for (; !targets->IsDone() && !m_stop; std::ignore = targets->Next()) {
    VisitView(AutoCast<IView>(targets->Current()).Get());
  }
}

// --- Recording ----------------------------------------------------------------------------

TransformRecorder::TransformRecorder(IProject* project, X::DOMElement* transforms, X::DOMDocument* document,
                                     const SplitPath& outputDirectory, GeneratedProjectWriter& writer)
    : ViewNetworkWalker(project),
      m_transforms(transforms),
      m_document(document),
      m_outputDirectory(outputDirectory),
      m_writer(writer) {}

namespace {

std::int64_t SecondsOf(Prjrep::ITimestamp* time) {
  std::int64_t seconds = 0;
  std::int64_t microseconds = 0;
  if (time == nullptr || time->GetTime(&seconds, &microseconds) != kSuccess) return 0;
  return seconds;
}

}  // namespace

void TransformRecorder::RecordTransform(ITransformInstance* instance) {
  if (instance == nullptr || m_transforms == nullptr) return;
  if (!m_recorded.insert(RootOf(instance)).second) return;
  AutoCast<IStatus> status(instance);
  if (status) {
    // A transform that never ran, or was reset, has nothing to preserve.
    bool neverRun = false;
    bool reset = false;
    if ((status->HasStatusValue(0, &neverRun) == kSuccess && neverRun) ||
        (status->HasStatusValue(1, &reset) == kSuccess && reset))
      return;
  }
  AutoRelease<ITransform> transform;
  Text name;
  if (instance->GetTransform(transform.Receive()) == kSuccess && transform) name = GetDefDataIdName(transform.Get());

  const XMLNamespaceHelper xml(m_document, XmlNames::kNamespaceUriW);
  X::DOMElement* element = xml.CreateElement(G::kTransformW);
  m_transforms->appendChild(element);
  SetPrefixedAttribute(xml, element, XmlNames::kNameW, name);

  std::int64_t start = 0, end = 0, properties = 0, inputs = 0;
  if (AutoCast<ITransformInstance2> runs(instance); runs) {
    AutoRelease<Prjrep::ITimestamp> time;
    if (runs->GetStartTime(time.Receive()) == kSuccess) start = SecondsOf(time.Get());
    if (runs->GetEndTime(time.ReleaseAndReceive()) == kSuccess) end = SecondsOf(time.Get());
    // A project copy's checksums would describe files that the copy does not have.
    if (!m_writer.HasFileMap()) {
      if (runs->GetInputChecksum(&inputs) != kSuccess) inputs = 0;
      if (runs->GetPropertyChecksum(&properties) != kSuccess) properties = 0;
    }
  }
  const std::pair<const XMLCh*, std::int64_t> numbers[] = {{G::kStartTimeW, start},
                                                           {G::kEndTimeW, end},
                                                           {G::kPropertyChecksumW, properties},
                                                           {G::kInputChecksumW, inputs}};
  for (const auto& [attribute, value] : numbers) {
    if (value != 0) SetPrefixedAttribute(xml, element, attribute, GhlcNumber(value));
  }

  AutoRelease<IStatusValueIterator> values;
  if (status && status->GetStatusValues(values.Receive()) == kSuccess && values) {
    for (; !values->IsDone(); std::ignore = values->Next()) {
      const std::uint32_t value = values->Current();
      // A value without a name could not be read back as itself; it is left out, not guessed.
      const auto valueName = G::StatusName(value);
      if (!valueName) {
        Port_MsgManData::debugStub(
            Port::FormatMessage("Error: TransformRecorder::RecordTransform - status value %u of %s is out of range.\n",
                                value, name.c_str())
                .c_str());
        continue;
      }
      X::DOMElement* child = xml.CreateElement(G::kStatusW);
      SetPrefixedAttribute(xml, child, G::kValueW, Text(std::string(*valueName)));
      element->appendChild(child);
    }
  }

  AutoRelease<Prjrep::ISet> outputs;
  AutoRelease<Prjrep::IIterator> files;
  if (instance->GetOutputFiles(outputs.Receive()) != kSuccess || !outputs ||
      outputs->GetIterator(files.Receive()) != kSuccess || !files)
    return;
  // One element per written name, in name order: a file listed twice, or two files of one
  // name, give one.
  std::set<Text> names;
  for (; !files->IsDone(); std::ignore = files->Next()) {
    if (!AutoCast<IFile>(files->Current())) continue;
    if (Text written = m_writer.MakeFileName(files->Current()); !written.empty()) names.insert(written);
  }
  for (const Text& written : names) {
    X::DOMElement* outfile = xml.CreateElement(G::kOutFileW);
    SetPrefixedAttribute(xml, outfile, XmlNames::kNameW, written);
    element->appendChild(outfile);
  }
}

}  // namespace Hvd
