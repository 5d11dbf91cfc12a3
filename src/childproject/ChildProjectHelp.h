#pragma once
// What a parent project does with the child projects among its sources: finding the child
// of a project-file source, following its views' events, composing its files.

#include "CitI/IInterface.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "core/Holders.h"

namespace Hvd {

// The child project that a project-file source stands for, when it is loaded; null for any
// other file.
Prjrep::AutoRelease<IProject> OpenChildProjectOfFile(CitI::IInterface* file);

// Attaches `receiver` to the events of `object`'s "SynthesisOnly" and "BehavioralSim" views
// and, with `attach`, of `object` itself; or detaches it again. 0 for a null object.
Status RegisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool attach);
Status UnregisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool detach);

// Points where a child and its parent are joined. NOT BUILT YET: they answer "not supported".
inline Status ChildProjectHook(IProject* /*child*/, IProject* /*parent*/) { return kNotSupported; }
inline Status ChildProjectRecordHook(IProject* /*parent*/, IProject* /*child*/) { return kNotSupported; }

// The project's unit that stands for `object`: a file itself, else the project file behind an
// element of the parser's netlist; null when there is none.
Prjrep::AutoRelease<IDesignUnit> GetDesignUnitOf(CitI::IInterface* object);

// The project-file source among `project`'s files that a generated core's file (type
// "FILE_MOLDRIX") was generated with: the one of the same base name. 1 with an empty `file` when
// there is none or `core` is no such file.
Status GetMoldrixHlcFile(IProject* project, IFile* core, IFile** file);

// Brings the child's files into the parent's views, and their records up to date. NOT BUILT
// YET: the three answer "not supported".
class CChildProjectHelp {
 public:
  static Status ComposeFiles(IProject* parent, IProject* child);
};
Status UpdateComposedFileOriginators(IProject* parent, IProject* child);
Status MergeMacroAndSearchPathProperties(IProject* parent, IProject* child);

}  // namespace Hvd
