// The file composers: a generated core's files and simulation files, a child's pre-synthesis
// files, a DSP-tool design's simulation files, and a structural child's constraints, netlists
// and the black box of its top. Each takes the child's files of one view into the parent's
// views of the same family.

#include <strings.h>

#include "Hvd/IFileManager.h"
#include "Hvd/IHdlNetListNode.h"
#include "childproject/FileComposer.h"
#include "childproject/ChildProjectHelp.h"
#include "childproject/ListProperties.h"
#include "childproject/Originators.h"
#include "childproject/Paths.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"
#include "utils/KeyedProperty.h"
#include "utils/NetlistLookup.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

constexpr const char* kMoldrixSignature = "__int64 __cdecl Hvd::FileComposer::ComposeSimFilesForMoldrix(void)";
constexpr const char* kPreSynthSignature = "__int64 __cdecl Hvd::FileComposer::ComposePreSynthFiles(void)";
constexpr const char* kTarvisSignature = "__int64 __cdecl Hvd::FileComposer::ComposeSimFilesForTarvis(void)";
constexpr const char* kStructuralSignature = "__int64 __cdecl Hvd::FileComposer::ComposeStructuralFiles(void)";

// The members of a view, or null when it keeps none.
AutoRelease<IHdlDesignUnitIterator> MembersOf(IView* view) {
  AutoCast<IHdlDesignUnitSet> units(view);
  AutoRelease<IHdlDesignUnitIterator> members;
  if (units && units->GetIterator(members.Receive()) == kSuccess && members) std::ignore = members->Reset();
  return members;
}

void AddToView(IView* view, CitI::IInterface* file) {
  AutoCast<IHdlDesignUnitSet> units(view);
  AutoCast<IHdlDesignUnit> unit(file);
  if (units && unit) std::ignore = units->Add(unit.Get());
}

// VHDL and Verilog files are taken only in the parent's preferred language; others always.
bool LanguageAccepted(const String& type, const String& language) {
  if (strcasecmp(type.c_str(), "FILE_VHDL") == 0) return strcasecmp(language.c_str(), "vhdl") == 0;
  if (strcasecmp(type.c_str(), "FILE_VERILOG") == 0) return strcasecmp(language.c_str(), "verilog") == 0;
  return true;
}

// The walk over a view's members, as files; members that are no file are passed over.
template <class Visit>
void ForEachMemberFile(IHdlDesignUnitIterator* members, Visit visit) {
  for (; !members->IsDone(); std::ignore = members->Next()) {
    const AutoPtr<CitI::IInterface> member(members->Current());
    if (AutoCast<IFile>(member.Get())) visit(member.Get());
  }
}

}  // namespace

AutoRelease<IHdlFile> AddComposedFile(IProject* parent, IProject* child, CitI::IInterface* file, bool mark) {
  const String path = GetObjectFullPath(file);
  if (path.empty()) return nullptr;
  AutoRelease<IFile> found = FindFileByPath(parent, path);
  if (!found) {
    AutoCast<IProjectInternal> internal(parent);
    AutoRelease<IHdlFile> added;
    // The add answers 0 also for a file it took in when the project has no "work" library.
    const Status status = internal ? internal->ProjectAddFile(path, nullptr, added.Receive()) : kFailure;
    if (!added) return nullptr;
    found = AutoRelease<IFile>(Prjrep::AutoReturn<IFile>(added.Get()).Get());
    // Brought in on the child's behalf, not the parent's own; a file the parent had under
    // another spelling of the path stays the parent's.
    if (status != kAlreadyInProject) {
      std::ignore = RemoveOriginator(found.Get(), parent);
      if (mark) SetOriginState(found.Get(), 2);
    }
  }
  AddOriginator(found.Get(), child);
  return AutoRelease<IHdlFile>(Prjrep::AutoReturn<IHdlFile>(found.Get()).Get());
}

AutoRelease<IDesignUnit> GetTopDesignUnit(IProject* project) {
  AutoRelease<IView> view = FindViewByName(project, "SynthesisOnly");
  if (!view) return nullptr;
  const String top = GetKeyedPropertyValue(view.Get(), "TOPDESIGNUNIT");
  AutoRelease<IHdlNetListNode> node = FindViewNodeByDuName(view.Get(), top);
  if (!node) return nullptr;
  AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
  return AutoRelease<IDesignUnit>(Prjrep::AutoReturn<IDesignUnit>(unit.Get()).Get());
}

Status FileComposer::ComposeSimFilesForMoldrix() {
  AutoCast<IFileManager> files(m_source.Get());
  AutoRelease<IHdlFileIterator> all;
  if (!files || files->GetProjectFiles(all.Receive()) != kSuccess || !all)
    return ReportCompositionError(2241, "Could not get the file iterator from the source project.", kMoldrixSignature);
  for (; !all->IsDone(); std::ignore = all->Next()) {
    const AutoPtr<IHdlFile> file(all->Current());
    if (AutoCast<IFile>(file.Get()) && !OriginStateIsOne(file.Get()))
      std::ignore = AddComposedFile(m_destination.Get(), m_source.Get(), file.Get(), true);
  }
  AutoRelease<IView> destination = FindViewByName(m_destination.Get(), "PreSimulation");
  AutoRelease<IView> source = FindViewByName(m_source.Get(), "BehavioralSim");
  if (!AutoCast<IHdlDesignUnitSet>(destination.Get()))
    return ReportCompositionError(2251, "Could not get the PreSimulation view from the dest project.", kMoldrixSignature);
  if (!source)
    return ReportCompositionError(2252, "Could not get the Behavioral Simulation view from the source project.",
                                  kMoldrixSignature);
  AutoRelease<IHdlDesignUnitIterator> members = MembersOf(source.Get());
  if (!members)
    return ReportCompositionError(
        2253, "Could not get the file iterator from the source project's Behavioral Simulation view.", kMoldrixSignature);
  const String language = GetPropertyValueByName(m_destination.Get(), "PROP_PreferredLanguage");
  ForEachMemberFile(members.Get(), [&](CitI::IInterface* file) {
    if (!LanguageAccepted(GetDefDataIdName(file), language)) return;
    if (AutoRelease<IHdlFile> added = AddComposedFile(m_destination.Get(), m_source.Get(), file, true); added)
      AddToView(destination.Get(), added.Get());
  });
  return kSuccess;
}

Status FileComposer::ComposePreSynthFiles() {
  AutoRelease<IView> preSynthesis = FindViewByName(m_destination.Get(), "PreSynthesis");
  AutoRelease<IView> structural = FindViewByName(m_destination.Get(), "Structural");
  AutoRelease<IView> source = FindViewByName(m_source.Get(), "PreSynthesis");
  if (!AutoCast<IHdlDesignUnitSet>(preSynthesis.Get()))
    return ReportCompositionError(2281, "Could not get the PreSynthesis view from the dest project.", kPreSynthSignature);
  if (!AutoCast<IHdlDesignUnitSet>(structural.Get()))
    return ReportCompositionError(2282, "Could not get the Structural view from the dest project.", kPreSynthSignature);
  if (!source)
    return ReportCompositionError(2283, "Could not get the PreSynthesis view from the source project.",
                                  kPreSynthSignature);
  AutoRelease<IHdlDesignUnitIterator> members = MembersOf(source.Get());
  if (!members)
    return ReportCompositionError(2284, "Could not get the file iterator from source project's PreSynthesis view.",
                                  kPreSynthSignature);
  const String language = GetPropertyValueByName(m_destination.Get(), "PROP_PreferredLanguage");
  ForEachMemberFile(members.Get(), [&](CitI::IInterface* file) {
    if (OriginStateIsOne(file)) return;
    const String type = GetDefDataIdName(file);
    if (!LanguageAccepted(type, language)) return;
    AutoRelease<IHdlFile> added = AddComposedFile(m_destination.Get(), m_source.Get(), file, true);
    if (!added) return;
    const bool netlist = type == "FILE_NGC" || type == "FILE_EDIF";
    AddToView(netlist ? structural.Get() : preSynthesis.Get(), added.Get());
  });
  return kSuccess;
}

Status FileComposer::ComposeSimFilesForTarvis() {
  AutoRelease<IView> destination = FindViewByName(m_destination.Get(), "BehavioralSim");
  AutoRelease<IView> source = FindViewByName(m_source.Get(), "BehavioralSim");
  if (!AutoCast<IHdlDesignUnitSet>(destination.Get()))
    return ReportCompositionError(2301, "Could not get the Behavioral Simulation view from the dest project.",
                                  kTarvisSignature);
  if (!source)
    return ReportCompositionError(2302, "Could not get the Behavioral Simulation view from the source project.",
                                  kTarvisSignature);
  AutoRelease<IHdlDesignUnitIterator> members = MembersOf(source.Get());
  if (!members)
    return ReportCompositionError(
        2303, "Could not get the file iterator from the source project's Behavioral Simulation view.", kTarvisSignature);
  ForEachMemberFile(members.Get(), [&](CitI::IInterface* file) {
    if (AutoRelease<IHdlFile> added = AddComposedFile(m_destination.Get(), m_source.Get(), file, false); added)
      AddToView(destination.Get(), added.Get());
  });
  return kSuccess;
}

Status FileComposer::ComposeStructuralFiles() {
  AutoRelease<IView> preSynthesis = FindViewByName(m_destination.Get(), "PreSynthesis");
  AutoRelease<IView> structural = FindViewByName(m_destination.Get(), "Structural");
  AutoRelease<IView> source = FindViewByName(m_source.Get(), "PreSynthesis");
  AutoRelease<IHdlDesignUnitIterator> members = MembersOf(source.Get());
  if (!source)
    return ReportCompositionError(2326, "Could not get the PreSynthesis view from the source project.",
                                  kStructuralSignature);
  if (!AutoCast<IHdlDesignUnitSet>(preSynthesis.Get()))
    return ReportCompositionError(2327, "Could not get the PreSynthesis view from the dest project.",
                                  kStructuralSignature);
  if (!AutoCast<IHdlDesignUnitSet>(structural.Get()))
    return ReportCompositionError(2328, "Could not get the Structural view from the dest project.",
                                  kStructuralSignature);
  if (!members)
    return ReportCompositionError(2329, "Could not get the file iterator from source project's PreSynthesis view.",
                                  kStructuralSignature);
  ForEachMemberFile(members.Get(), [&](CitI::IInterface* file) {
    const String type = GetDefDataIdName(file);
    const bool constraints = type == "FILE_UCF";
    if (!constraints && !(type == "FILE_NGC")) return;
    if (AutoRelease<IHdlFile> added = AddComposedFile(m_destination.Get(), m_source.Get(), file, constraints); added)
      AddToView(constraints ? preSynthesis.Get() : structural.Get(), added.Get());
  });

  const String blackBox = GenerateBlackBox();
  if (blackBox.empty() || !PathExists(blackBox.c_str())) return kSuccess;
  AutoCast<IProjectInternal> internal(m_destination.Get());
  AutoRelease<IHdlFile> added;
  if (internal) std::ignore = internal->ProjectAddFile(blackBox, nullptr, added.Receive());
  if (!added) return kSuccess;
  SetOriginState(added.Get(), 2);
  AddToView(preSynthesis.Get(), added.Get());
  return kSuccess;
}

String FileComposer::GenerateBlackBox() {
  AutoRelease<IDesignUnit> top = GetTopDesignUnit(m_source.Get());
  AutoRelease<IDesignUnit> unit = GetDesignUnitOf(top.Get());
  if (!unit) return String();
  const String childPath = GetObjectFullPath(m_source.Get());
  // The path is data: one quoted word, never substituted by the interpreter.
  const String command("::velmor::Hvd::hvd_generateBlackBox " + TclWord(childPath).str());
  String result;
  if (InterpHelp::RunCmd(command.c_str(), unit.Get(), true, &result) != kSuccess || result.empty()) return String();
  // A relative answer names a file beside the child; the same absolute form is tested and added.
  const String directory = ListPropertyMerger(nullptr, nullptr).ProjectDirectory(m_source.Get());
  if (directory.empty() && !result.str().starts_with('/')) return String();
  return JoinPaths(result, directory);
}

}  // namespace Hvd
