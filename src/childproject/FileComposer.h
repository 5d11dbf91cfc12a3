#pragma once
// The composition record of one child project: its files come from the source project (the
// child) into the destination project (the parent). The per-file steps bring one file in by
// path, through the parent's Cvf project, with its originators, source-view association and
// source library; the decomposition takes the child's files out again.

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "CitI/IInterface.h"
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
  // Clears the behavioural flag.
  void SetStartStopViews(IView* start, IView* stop);
  void SetBehavioral(bool behavioral) noexcept { m_behavioral = behavioral; }
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
  // NOT BUILT YET: answers "not supported".
  Status SetComposedFilesLocators();

 private:
  // Steps 1 to 3 of an add: the destination's file of `path`, added by `add` when missing
  // and then freed of the destination as originator.
  template <class Add>
  Prjrep::AutoRelease<IFile> FindOrAdd(const String& path, Add add);

  Prjrep::AutoPtr<IProject> m_destination;
  Prjrep::AutoPtr<IProject> m_source;
  std::int32_t m_viewAssociationKind;
  Prjrep::AutoPtr<IView> m_startView;
  Prjrep::AutoPtr<IView> m_stopView;
  bool m_behavioral = false;
  std::vector<Prjrep::AutoPtr<IFile>> m_files;
  std::unordered_set<CitI::IInterface*> m_seen;
};

// The name of the file's source library; empty when it is in none.
Port::StringBase<char> GetFileLibraryName(CitI::IInterface* file);
// The project's library of that name, created when missing; null for an empty name.
Prjrep::AutoRelease<ISourceLibrary> FindOrCreateSourceLibrary(IProject* project, const Port::StringBase<char>& name);
// Copies the named property's value from `pair.second` to `pair.first` when both have it.
void CopyPropertyValueBetween(IProject* first, IProject* second, const char* name);
// True when the file lists `object` among its originators, or keeps no originators at all.
bool HasOriginatorMatching(CitI::IInterface* object, CitI::IInterface* file);

}  // namespace Hvd
