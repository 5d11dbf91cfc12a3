// Composing a child project into its parent: the device check, the view-hint passes by the
// child's stop and start views, the file composers its generator and stop view choose, the
// child's IO-buffer settings, and the pruning of what the child no longer supplies.

#include <string_view>

#include "Hvd/IFileManager.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "childproject/ChildProjectHelp.h"
#include "childproject/FileComposer.h"
#include "childproject/Paths.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr const char* kComposeFilesSignature =
    "__int64 __cdecl Hvd::CChildProjectHelp::ComposeFiles(class Hvd::IProject *,class Hvd::IProject *)";

// Warns, once while the report-once window is open, that the child's device differs.
void CheckDeviceSettings(IProject* parent, IProject* child) {
  if (IsReportDeviceMismatchOnce() && IsDeviceMismatchReported()) return;
  String message;
  if (!CompareDeviceSettings(parent, child, message)) return;
  SetDeviceMismatchReported();
  static const Port_MsgManData s_messages =
      Port_MsgManData::createObject("ProjectMgmt", "../src/CChildProjectHelp", 1173, "$Revision: 1.59.4.1 $");
  // Device names and paths may hold '%': the core's name goes in as an argument. The mismatches
  // are lines of their own, their values escaped where they were written.
  s_messages.issueComposed(
      Port_MsgManData::Severity::Warning,
      Port::FormatMessage("The device settings for core '%s' do not match the HLC project settings.\n",
                          Port::FileName(GetObjectFullPath(child)).GetBase().c_str()) +
          message.str());
}

}  // namespace

Status CChildProjectHelp::ComposeFiles(IProject* parent, IProject* child) {
  // Either one missing: nothing to compose, and nothing to warn about.
  if (parent == nullptr || child == nullptr) return kFailure;
  CheckDeviceSettings(parent, child);

  FileComposer composer(parent, child);
  String stopView = GetStopImpView(child);
  const String startView = GetStartImpView(child);
  const String generator = GetGeneratorType(child);
  // A generated core is not synthesized on its own: it stops before synthesis.
  if (generator == "Moldrix" && stopView == "Structural") {
    stopView = "PreSynthesis";
    std::ignore = SetPropertyValueByName(child, "PROP_StopImpView", stopView);
  }

  if (IsAbstractSynthesisView(stopView) || IsAbstractSynthesisView(startView)) {
    composer.AddExcludedType("FILE_UCF");
    composer.ClearSourceViews();
    if (!composer.ExpandSourceViews("BehavioralOnly"))
      return ReportCompositionError(1201, "Invalid SourceView for ViewHint BehavioralOnly", kComposeFilesSignature);
    composer.SetBehavioral(true);
    std::ignore = composer.ComposeViewHintFiles();
  }
  if (IsAbstractSynthesisView(stopView)) {
    composer.ClearExcludedTypes();
    for (const char* type : {"FILE_UCF", "FILE_NGC", "FILE_EDIF"}) composer.AddIncludedType(type);
    composer.ClearSourceViews();
    if (!composer.ExpandSourceViews("SynthesisOnly"))
      return ReportCompositionError(1213, "Invalid SourceView for ViewHint SynthesisOnly", kComposeFilesSignature);
    composer.Reset(4);
    std::ignore = composer.ComposeViewHintFiles();
  }

  if (generator == "Moldrix")
    std::ignore = composer.ComposeSimFilesForMoldrix();
  else if (generator == "TarvisDSP")
    std::ignore = composer.ComposeSimFilesForTarvis();

  if (IsPreSynthesisView(stopView)) {
    std::ignore = composer.ComposePreSynthFiles();
  } else if (IsStructuralView(stopView)) {
    std::ignore = composer.ComposeStructuralFiles();
    // The parent inserts the IO buffers around the child's netlist, not the child.
    PropertyAccessor properties(child);
    properties.SetPropertyValue("PROP_velmSynthAddIObuf", "false");
    properties.SetPropertyValue("PROP_SynthDisableIOInsertion", "true");
    properties.SetPropertyValue("PROP_PrecAddIOPads", "false");
    properties.SetPropertyValue("PROP_InsertIOBuffers", "false");
  }

  std::ignore = composer.RemoveStaleComposedFiles();
  return kSuccess;
}

bool FileComposer::IsStaleChildFile(CitI::IInterface* file) const {
  if (file == nullptr || !m_source) return false;
  // The cheap test in memory first: most of the parent's files did not come from this child.
  AutoCast<IOriginatorRef> originators(file);
  AutoRelease<Prjrep::IAutonymIterator> found;
  if (!originators) return false;
  std::ignore = originators->FindOriginator(m_source.Get(), found.Receive());
  if (!found || found->IsDone()) return false;
  const String path = GetObjectFullPath(file);
  const String childPath = GetObjectFullPath(m_source.Get());
  // The child's own project file: the parent keeps the child through it.
  if (IsSameFile(path.c_str(), childPath.c_str())) return false;
  if (IsSameFile(path.c_str(), ChangeExtension(childPath, ".xhlc").c_str())) return false;
  for (const String& composed : m_composedPaths)
    if (composed == path) return false;
  return !FindFileByPath(m_source.Get(), path);
}

Status FileComposer::RemoveStaleComposedFiles() {
  AutoCast<IFileManager> files(m_destination.Get());
  AutoRelease<IHdlFileIterator> at;
  if (!files || files->GetProjectFiles(at.Receive()) != kSuccess || !at) return kFailure;
  while (!at->IsDone()) {
    const AutoPtr<IHdlFile> file(at->Current());
    if (IsStaleChildFile(file.Get()) && RemoveOriginator(file.Get(), m_source.Get()) == kSuccess &&
        OriginatorCount(file.Get()) == 0) {
      // The project removes only files it is an originator of.
      AddOriginator(file.Get(), m_destination.Get());
      if (files->ProjectRemoveFile(at.Get()) == kSuccess) continue;  // already on the next file
      // Kept (a read-only project, say): it still came from the child, not from the parent.
      std::ignore = RemoveOriginator(file.Get(), m_destination.Get());
      AddOriginator(file.Get(), m_source.Get());
    }
    std::ignore = at->Next();
  }
  return kSuccess;
}

}  // namespace Hvd
