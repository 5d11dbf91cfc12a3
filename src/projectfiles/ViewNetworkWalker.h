#pragma once
// The walk of a design's view network from its initial view: views, the transform bindings they
// hold and the transform instances of those bindings, depth first; and the recorder that writes
// each transform instance met into the generated-project file.

#include <map>
#include <set>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/IProject.h"
#include "Hvd/ITransformBindingInstance.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IView.h"
#include "core/Holders.h"
#include "projectfiles/ProjectPaths.h"

namespace Hvd {

class GeneratedProjectWriter;

class ViewNetworkWalker {
 public:
  explicit ViewNetworkWalker(IProject* project);
  ViewNetworkWalker(const ViewNetworkWalker&) = delete;
  ViewNetworkWalker& operator=(const ViewNetworkWalker&) = delete;
  virtual ~ViewNetworkWalker();

  // Hooks, each given a borrowed pointer; the walker's own do nothing but visit and follow.
  virtual void VisitTransform(ITransformInstance* instance);
  virtual void EnterBinding(ITransformBindingInstance* binding);
  virtual void LeaveBinding(ITransformBindingInstance* binding);
  virtual void EnterView(IView* view);
  // The view's hook, then its second binding set: each binding's instances, then where it leads.
  virtual void VisitView(IView* view);
  virtual void FollowBinding(ITransformBindingInstance* binding);

  // From the first view of type "VIEW_Initial" in the design's order.
  void Walk();

 protected:
  Prjrep::AutoPtr<IProject> m_project;
  bool m_stop = false;
  bool m_follow = true;

 private:
  // Every view entered, by identity: a view reached again, over another way or round a cycle,
  // is not walked again, so its transforms are met once and a cycle ends.
  std::set<CitI::IInterface*> m_visited;
};

// Writes a "transform" element for each transform instance that has run.
class TransformRecorder : public ViewNetworkWalker {
 public:
  TransformRecorder(IProject* project, xercesc::DOMElement* transforms, xercesc::DOMDocument* document,
                    const SplitPath& outputDirectory, GeneratedProjectWriter& writer);

  void VisitTransform(ITransformInstance* instance) override { RecordTransform(instance); }
  void RecordTransform(ITransformInstance* instance);

 private:
  xercesc::DOMElement* m_transforms;
  xercesc::DOMDocument* m_document;
  // The writer's record; names are made through the writer's own rule, which reads it there.
  [[maybe_unused]] const SplitPath& m_outputDirectory;
  GeneratedProjectWriter& m_writer;
  // Instances recorded, by identity: one instance shared by two bindings is written once.
  std::set<CitI::IInterface*> m_recorded;
};

}  // namespace Hvd
