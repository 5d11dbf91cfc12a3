#pragma once
// Placing a project's files in the views that take them, and holding back the views'
// recomputation while many files are placed.

#include <functional>
#include <map>
#include <vector>

#include "Hvd/IBatchDelay.h"
#include "Hvd/IFile.h"
#include "Hvd/IProject.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "files/file/GoneViews.h"

namespace Hvd {

class ITransformInstance;
class CView;

// Which views take files of which type, found once for one operation by walking the view
// network from the initial view. Built on the stack and dropped at the end of the operation;
// the views it lists stay alive through the design's view list meanwhile.
class FileTypeViewCache {
 public:
  using ViewList = std::vector<IView*>;
  // A view's BRANCH and SUBBRANCH.
  struct ViewWords {
    Port::StringBase<char> branch;
    Port::StringBase<char> subBranch;
  };

  explicit FileTypeViewCache(IProject* project);
  ~FileTypeViewCache();
  FileTypeViewCache(const FileTypeViewCache&) = delete;
  FileTypeViewCache& operator=(const FileTypeViewCache&) = delete;

  // The views that take the file's type; false when `views` is null or none does.
  bool GetViewsForFile(CitI::IInterface* file, ViewList* views);
  // Places one file in every view that takes it by type, view class and origin state; with
  // `only`, in those of them that these words name.
  void UpdateFileViews(IFile* file, const std::vector<ViewBranchWords>* only = nullptr);
  // The views that take the file by type, view class and origin state, whether or not they hold
  // it now. False when none does.
  bool GetViewsTakingFile(IFile* file, ViewList* views);
  // Places every file of the project, inside one batch delay of every view.
  void UpdateAllFileViews();

 private:
  class ViewPopulator;

  void Fill();
  // A transform instance of a view's bindings, with the file types it takes.
  struct ViewInstance {
    Prjrep::AutoPtr<ITransformInstance> instance;
    const std::vector<Port::StringBase<char>>* inputTypes;
  };

  const ViewWords& WordsOf(IView* view);
  const std::vector<ViewInstance>& InstancesOf(IView* view);
  void AddFileToView(IFile* file, IView* view, const Port::StringBase<char>& fileType);

  std::map<Port::StringBase<char>, ViewList> m_views;
  std::map<IView*, ViewWords> m_words;
  // The file types that each transform instance met so far takes.
  std::map<ITransformInstance*, std::vector<Port::StringBase<char>>> m_inputTypes;
  // The transform instances of each view's bindings, in binding and instance order.
  std::map<IView*, std::vector<ViewInstance>> m_instances;
  Prjrep::AutoPtr<IProject> m_project;
};

// Holds the batch delay of every view of the project's design and of its transform engine for
// its lifetime, so that each recomputes once when it ends.
class BatchDelayScope {
 public:
  explicit BatchDelayScope(IProject* project);
  ~BatchDelayScope();
  BatchDelayScope(const BatchDelayScope&) = delete;
  BatchDelayScope& operator=(const BatchDelayScope&) = delete;

 private:
  Prjrep::AutoPtr<IProject> m_project;
  // Exactly the delays begun here, views in list order and the engine last: a view made while
  // the scope is open never had its delay begun, and ending it would unbalance its count.
  std::vector<Prjrep::AutoPtr<IBatchDelay>> m_delayed;
};

// Places every file of the project in the views that take it.
void PlaceAllFilesInViews(IProject* project);

// Places one file of the design's open project in the views that take it; the way a file
// asks for it (files/FileViewPlacement.h).
void PlaceProjectFileInViews(IFile* file, IDesign* design, bool backOnDisk);

// Acts on each view of `design` that is one of this library's, from a list collected first: a
// view's refresh tells others, which may reach the design's list of views.
void ForEachOwnView(IDesign* design, const std::function<void(CView&)>& act);

// Reads the recorded status of the transforms back from the generated-project file at `path`.
// The reader of that file lives on a floor above the design; the project installs it as it
// makes its design. Without it the answer is "not supported" and the status starts anew.
using TransformStatusReader = Status (*)(IProject* project, const Port::StringBase<char>& path);
void SetTransformStatusReader(TransformStatusReader reader) noexcept;
Status ReadTransformStatusBack(IProject* project, const Port::StringBase<char>& path);

}  // namespace Hvd
