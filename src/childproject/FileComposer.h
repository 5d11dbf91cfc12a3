#pragma once
// The composition record of one child project: its files come from the source project (the
// child) into the destination project (the parent). The per-file steps bring one file in by
// path, through the parent's Cvf project, with its originators, source-view association and
// source library; the view-hint transfer gathers the child's files of the views a hint names;
// the file composers carry the simulation, pre-synthesis and structural families over; the
// pruning and the decomposition take the child's files out again.

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

class FileComposer {
 public:
  using String = Port::StringBase<char>;

  // `viewAssociationKind` is 4 for a "SynthesisOnly" hint, else 0.
  FileComposer(IProject* destination, IProject* source, std::int32_t viewAssociationKind = 0);
  FileComposer(const FileComposer&) = delete;
  FileComposer& operator=(const FileComposer&) = delete;

  IProject* Destination() const noexcept { return m_destination.Get(); }
  IProject* Source() const noexcept { return m_source.Get(); }
  std::int32_t ViewAssociationKind() const noexcept { return m_viewAssociationKind; }

  // Empties the start and stop views and the behavioural flag, with a new kind.
  void Reset(std::int32_t viewAssociationKind);
  // The names of the views the network variant of the transfer starts and stops at; clears
  // the behavioural flag.
  void SetStartStopViews(const String& start, const String& stop);
  void SetBehavioral(bool behavioral) noexcept { m_behavioral = behavioral; }

  // --- View-hint transfer ---
  // Lets go of the child's views found for the last hint.
  void ClearSourceViews();
  // Appends the child's views that the hint stands for; false when there is none at all.
  bool ExpandSourceViews(const String& hint);
  std::size_t SourceViewCount() const noexcept { return m_sourceViews.size(); }
  // File-type names ("FILE_UCF") the transfer skips, and, when any is given, the only ones it takes.
  void AddExcludedType(const String& type) { m_excludedTypes.push_back(type); }
  void AddIncludedType(const String& type) { m_includedTypes.push_back(type); }
  void ClearExcludedTypes() noexcept { m_excludedTypes.clear(); }
  // Brings the files of the source views that pass the type filter into the destination, with
  // their library: 1 also when none qualified; 0 without source views or either project.
  Status ComposeViewHintFiles();
  // Gathers those files into the files to compose, each once. Always 1.
  Status CollectHintFiles();
  // The destination's file of `path`, added when missing, with the source as originator,
  // placed in the initial view and along the view network from the start view; null when the
  // destination keeps no files.
  Prjrep::AutoRelease<IHdlFile> AddFileAlongViewNetwork(const String& path);
  // Adds the file to `view` and to every view reached from it through the transforms, up to a
  // view of the same kind as `stopView`; each view once, so a loop in the network ends.
  void WalkViewNetwork(IView* view, IHdlFile* file, const String& stopView);
  // Full paths added by the network variant.
  const std::vector<String>& ComposedPaths() const noexcept { return m_composedPaths; }

  // --- Pruning ---
  // Takes the child out of the originators of the destination's files it no longer holds,
  // and out of the destination the files left with no originator. 0 without the
  // destination's file list.
  Status RemoveStaleComposedFiles();
  // True for a destination file the child brought in and no longer holds; never for the
  // child's own project file or its ".xhlc" twin.
  bool IsStaleChildFile(CitI::IInterface* file) const;

  // --- File composers: 1 when they ran, 0 (with a diagnostic) when a view is missing ---
  // All files of a generated core, then its simulation files into "PreSimulation".
  Status ComposeSimFilesForMoldrix();
  // The child's "PreSynthesis" view into the destination's "PreSynthesis" and "Structural".
  Status ComposePreSynthFiles();
  // The child's "BehavioralSim" view into the destination's, unfiltered.
  Status ComposeSimFilesForTarvis();
  // Constraints and netlists of the child's "PreSynthesis" view, and a black box of its top.
  Status ComposeStructuralFiles();
  // The files to compose, each once, in the order they were first added.
  void AddFileToCompose(IFile* file);
  const std::vector<Prjrep::AutoPtr<IFile>>& FilesToCompose() const noexcept { return m_files; }

  // The Cvf projects of the two projects, created when missing.
  Prjrep::AutoRelease<IProjectHelper> DestinationCvfProject() const;
  Prjrep::AutoRelease<IProjectHelper> SourceCvfProject() const;
  // The projects' files of a full path, or null.
  Prjrep::AutoRelease<IFile> DestinationFile(const String& path) const;
  Prjrep::AutoRelease<IFile> SourceFile(const String& path) const;

  // The destination's file of `path`, added through its Cvf project when missing, with the
  // source as originator (and not the destination itself); null when it is not there after.
  Prjrep::AutoRelease<IHdlFile> AddComposedFileByPath(const String& path);
  // The same, added with the record's view-association kind.
  Prjrep::AutoRelease<IHdlFile> AddComposedFileWithViewAssociation(const String& path);
  // The same, and the child's source-view association of its own file of that path is
  // carried over; null without both projects' Cvf projects.
  Prjrep::AutoRelease<IHdlFile> AddComposedFileWithDesignUnitAssociation(const String& path);
  // Puts the file into the view's design units; nothing when either is missing.
  static void AddFileToViewAsDesignUnit(IView* view, CitI::IInterface* file);
  // Puts the destination file into the destination's library named like the source file's,
  // created when missing. Nothing for a missing destination file or a source file in no library.
  void CopySourceLibraryMembership(CitI::IInterface* sourceFile, CitI::IInterface* destinationFile);
  // The same for the destination's file of the source file's path.
  void CopySourceFileLibrary(CitI::IInterface* sourceFile);
  // Sets the view-class bit of `kind` on the destination's file of `path`.
  void SetFileViewClassForKind(std::int32_t kind, const String& path);
  // The same for every file to compose.
  void SetComposedFilesViewClass(std::int32_t kind);
  // Takes out of the destination every file whose only originator was the source, project
  // files excepted; a file that cannot be removed keeps the source as originator. 0 when a
  // project or the destination's file list is missing.
  Status RemoveDecomposedFiles();
  // Adds the source's core description (its project path with the extension "mdx") to the
  // destination and its "SynthesisOnly" view.
  void AddCoreDescriptionFile();
  // Takes the files to compose out of the destination's view of that name. Always 0.
  Status RemoveComposedFilesFromView(const char* viewName);
  // Places the destination's files of the files to compose in the design: at the child's path
  // in the design that its project file records, or, in a configuration's project, at the
  // instance path of the configuration's element that the child is the flavor of.
  void SetComposedFilesLocators();

 private:
  // Adds `locator` to the locator set of the destination's file of every file to compose.
  void AddLocatorToComposedFiles(const String& locator);
  // Steps 1 to 3 of an add: the destination's file of `path`, added by `add` when missing
  // and then freed of the destination as originator.
  template <class Add>
  Prjrep::AutoRelease<IFile> FindOrAdd(const String& path, Add add);
  // Adds to the walk's views those not in `visited`.
  void WalkViewNetwork(IView* view, IHdlFile* file, const String& stopView,
                       std::unordered_set<CitI::IInterface*>& visited);
  // Whether a file of that type passes the transfer's type filter.
  bool TypeAccepted(const String& type) const;
  // The path of the black box the Tcl procedure makes for the child's top, absolute against
  // the child's directory; empty when none was made.
  String GenerateBlackBox();

  Prjrep::AutoPtr<IProject> m_destination;
  Prjrep::AutoPtr<IProject> m_source;
  std::int32_t m_viewAssociationKind;
  String m_startView;
  String m_stopView;
  bool m_behavioral = false;
  std::vector<Prjrep::AutoPtr<IView>> m_sourceViews;
  std::vector<String> m_excludedTypes;
  std::vector<String> m_includedTypes;
  std::vector<String> m_composedPaths;
  std::vector<Prjrep::AutoPtr<IFile>> m_files;
  std::unordered_set<CitI::IInterface*> m_seen;
};

// The first view of the project that the view name or hint selects, or null.
Prjrep::AutoRelease<IView> FindViewByName(IProject* project, const Port::StringBase<char>& name);
// Appends the project's views that a hint stands for ("BehavioralOnly", "PostImplSimOnly",
// "SimulationOnly" name several; any other hint itself), in the table's order.
void ExpandViewKind(IProject* project, const Port::StringBase<char>& hint,
                    std::vector<Prjrep::AutoPtr<IView>>& views);
// View kinds by the end of a view's type name.
bool IsAbstractSynthesisView(const Port::StringBase<char>& name);
bool IsPreSynthesisView(const Port::StringBase<char>& name);
bool IsStructuralView(const Port::StringBase<char>& name);
// True when both names end with the same one of those kinds.
bool SameViewKind(const Port::StringBase<char>& a, const Port::StringBase<char>& b);

// The parent's file of the child file's full path, added when missing (then not the parent's
// own, and with origin state 2 when `mark`), with the child as originator; null when the file
// has no path or cannot be added.
Prjrep::AutoRelease<IHdlFile> AddComposedFile(IProject* parent, IProject* child, CitI::IInterface* file, bool mark);
// The unit of the top that the project's synthesis view names, or null.
Prjrep::AutoRelease<IDesignUnit> GetTopDesignUnit(IProject* project);
// Writes the composition's developer diagnostic for `line` and answers 0.
Status ReportCompositionError(int line, const char* reason, const char* signature);

// The name of the file's source library; empty when it is in none.
Port::StringBase<char> GetFileLibraryName(CitI::IInterface* file);
// The project's library of that name, created when missing; null for an empty name.
Prjrep::AutoRelease<ISourceLibrary> FindOrCreateSourceLibrary(IProject* project, const Port::StringBase<char>& name);
// Copies the named property's value from `pair.second` to `pair.first` when both have it.
void CopyPropertyValueBetween(IProject* first, IProject* second, const char* name);
// True when the file lists `object` among its originators, or keeps no originators at all.
bool HasOriginatorMatching(CitI::IInterface* object, CitI::IInterface* file);

}  // namespace Hvd
