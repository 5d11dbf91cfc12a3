#pragma once
// What a parent project does with the child projects among its sources: finding the child
// of a project-file source, following its views' events, composing its files.

#include "CitI/IInterface.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "childproject/ListProperties.h"
#include "childproject/Originators.h"
#include "core/Holders.h"

namespace Hvd {

// The child project that a project-file source stands for: the loaded one, else the one the
// Cvf project helper opens from the file. The active named objects are those of before the
// call afterwards. Null for any other file, or when the child cannot be opened.
Prjrep::AutoRelease<IProject> OpenChildProjectOfFile(CitI::IInterface* file);
// Hands a composed source back to the Cvf projects of its originators: 1, or the last status
// of a helper that was not 1; 0 for a file without originators. 1 at once for a project file.
Status ComposeChildProjectSource(CitI::IInterface* file);
// Removes `other` from the file's originators: 1 when it was one.
Status CollectFileOriginators(CitI::IInterface* file, CitI::IInterface* other);

// True when family, device or package of the two projects differ; the first difference is
// appended to `message` as one line, the second project's value first, the values escaped.
bool CompareDeviceSettings(IProject* first, IProject* second, Port::StringBase<char>& message);
// While the report-once window is open, a device mismatch is reported once. Setting the
// window either way clears the already-reported mark.
bool IsReportDeviceMismatchOnce();
void SetReportDeviceMismatchOnce(bool once);
bool IsDeviceMismatchReported();
void SetDeviceMismatchReported();

// The child's implementation views and the project's hierarchical role, as stored.
Port::StringBase<char> GetStartImpView(IProject* project);
Port::StringBase<char> GetStopImpView(IProject* project);
Port::StringBase<char> GetHierarchicalProjectType(IProject* project);
// The role compared without regard to case.
bool IsHierarchicalProjectType(IProject* project, const char* type);
bool IsStaticHierarchicalProject(IProject* project);
bool IsFlavorHierarchicalProject(IProject* project);
bool IsConfigurationHierarchicalProject(IProject* project);
bool IsNonHierarchicalProject(IProject* project);

// Attaches `receiver` to the events of `object`'s "SynthesisOnly" and "BehavioralSim" views
// and, with `attach`, of `object` itself; or detaches it again. 0 for a null object.
Status RegisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool attach);
Status UnregisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool detach);

// Where a child and its parent are joined; nothing is needed there. Always 1.
inline Status ChildProjectHook(IProject* /*child*/, IProject* /*parent*/) { return kSuccess; }
inline Status ChildProjectRecordHook(IProject* /*parent*/, IProject* /*child*/) { return kSuccess; }

// The project's unit that stands for `object`: a file itself, else the project file behind an
// element of the parser's netlist; null when there is none.
Prjrep::AutoRelease<IDesignUnit> GetDesignUnitOf(CitI::IInterface* object);

// The project-file source among `project`'s files that a generated core's file (type
// "FILE_MOLDRIX") was generated with: the one of the same base name. 1 with an empty `file` when
// there is none or `core` is no such file.
Status GetMoldrixHlcFile(IProject* project, IFile* core, IFile** file);

// Brings the child's files into the parent's views by the child's stop and start views and
// generator, warns when the devices differ, and prunes what the child no longer supplies.
// 1 when it ran to its end, also when a file composer failed; 0 when either project is null or
// a view-hint pass found no view of the child.
class CChildProjectHelp {
 public:
  static Status ComposeFiles(IProject* parent, IProject* child);
};

}  // namespace Hvd
