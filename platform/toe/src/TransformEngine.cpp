#include "TransformEngine.h"

#include <algorithm>
#include <string_view>

#include "Hvd/IDesign.h"
#include "Hvd/IViewManager.h"
#include "core/Diagnostics.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string NameOf(CitI::IInterface* definition) {
  Prjrep::AutoCast<IDefDataId> id(definition);
  Text name;
  return id && id->GetDefDataIdName(&name) == kSuccess ? name.str() : std::string();
}

Prjrep::AutoRelease<IViewType> TypeOf(IView* view) {
  Prjrep::AutoRelease<IViewType> type;
  if (view != nullptr) std::ignore = view->GetType(type.Receive());
  return type;
}

bool SameObject(CitI::IInterface* a, CitI::IInterface* b) {
  return a != nullptr && b != nullptr &&
         a->QueryInterface(CitI::IInterface::GetIID()) == b->QueryInterface(CitI::IInterface::GetIID());
}

// The views that keep their own compile order and hierarchy; every other view answers
// through the first of these that its first binding set leads to.
bool IsMajorType(std::string_view type) {
  static constexpr std::string_view kSynthesis = "AbstractSynthesis";
  static constexpr std::string_view kSimulations[] = {"VIEW_AbstractSimulation",
                                                      "VIEW_CPLDAbstractSimulation",
                                                      "VIEW_Post-SynthesisAbstractSimulation",
                                                      "VIEW_Post-TranslateAbstractSimulation",
                                                      "VIEW_Post-MapAbstractSimulation",
                                                      "VIEW_Post-ParAbstractSimulation",
                                                      "VIEW_Post-FitAbstractSimulation"};
  return type.ends_with(kSynthesis) ||
         std::find(std::begin(kSimulations), std::end(kSimulations), type) != std::end(kSimulations);
}

}  // namespace

Status CTransformEngine::XITransformEngine::AddDesignUnit(IDesignUnit* unit) {
  if (unit == nullptr) return Fail(kInvalidParameter, "ERROR: TransformEngine::AddDesignUnit - Invalid Parameter.\n");
  // Which transforms the unit feeds is known only once it is placed in its views, so every
  // transform that has run is told of a new input.
  CTransformEngine& self = This();
  self.m_inputAdded = true;
  self.RequestCalculation();
  return kSuccess;
}

Status CTransformEngine::XITransformEngine::AddView(IView* view) {
  if (view == nullptr) return Fail(kInvalidParameter, "ERROR: TransformEngine::AddView - Invalid Parameter.\n");
  CTransformEngine& self = This();
  const std::string type = NameOf(TypeOf(view).Get());
  for (const Node& node : self.m_nodes) {
    if (SameObject(node.view.Get(), view)) return kSuccess;
    if (node.type == type) {
      return Fail(kFailure, "ERROR: TransformEngine::AddView - The network already has a view of type %s.\n",
                  type.c_str());
    }
  }
  const std::size_t firstNode = self.m_nodes.size();
  const std::size_t firstEdge = self.m_edges.size();
  self.m_nodes.push_back(Node{Prjrep::AutoPtr<IView>(view), type, IsMajorType(type)});
  std::vector<std::string> path;
  const Status grown = self.Grow(firstNode, path);
  const Status linked = self.LinkFirstSets(firstNode, firstEdge);
  self.RequestCalculation();
  return grown != kSuccess ? grown : linked;
}

Status CTransformEngine::Grow(std::size_t node, std::vector<std::string>& path) {
  Prjrep::AutoRelease<IViewType> type = TypeOf(m_nodes[node].view.Get());
  Prjrep::AutoCast<IViewTypeFlow> flow(type.Get());
  Prjrep::AutoRelease<Prjrep::IIterator> transforms;
  if (!flow || flow->GetTransforms(transforms.Receive()) != kSuccess || !transforms) return kSuccess;  // a last view
  path.push_back(m_nodes[node].type);
  Status status = kSuccess;
  for (std::ignore = transforms->Reset(); !transforms->IsDone() && status == kSuccess;
       std::ignore = transforms->Next()) {
    status = Lead(node, transforms->Current(), path);
  }
  path.pop_back();
  return status;
}

// A transform leads to the view of its target type: a new one, or one that another way
// reached already. A transform back to a type on the way here would close a cycle, and
// every walk of the network would run forever; it is left out.
Status CTransformEngine::Lead(std::size_t from, CitI::IInterface* transform, std::vector<std::string>& path) {
  const std::string name = NameOf(transform);
  Prjrep::AutoCast<ITransformDefinition> definition(transform);
  Prjrep::AutoRelease<IViewType> targetType;
  if (definition) std::ignore = definition->GetTargetViewType(targetType.Receive());
  const std::string target = NameOf(targetType.Get());
  if (target.empty()) {
    std::ignore =
        Fail(kFailure, "WARNING: TransformEngine::AddView - Transform %s leads to no view type.\n", name.c_str());
    return kSuccess;
  }
  if (std::find(path.begin(), path.end(), target) != path.end()) {
    std::ignore = Fail(kFailure, "WARNING: TransformEngine::AddView - Transform %s would close a cycle at %s.\n",
                       name.c_str(), target.c_str());
    return kSuccess;
  }
  std::size_t to = NodeOfType(target);
  const bool made = to == kNone;
  if (made) {
    Status status = kSuccess;
    Prjrep::AutoRelease<IView> view = CreateView(from, targetType, target, status);
    if (status != kSuccess) return status;
    to = m_nodes.size();
    m_nodes.push_back(Node{Prjrep::AutoPtr<IView>(std::move(view)), target, IsMajorType(target)});
  }
  const Status bound = Bind(from, to, transform, name);
  if (bound != kSuccess || !made) return bound;
  return Grow(to, path);
}

// The design makes the view, so that it lists it with its others; it is named after its type.
Prjrep::AutoRelease<IView> CTransformEngine::CreateView(std::size_t from, IViewType* type, const std::string& name,
                                                        Status& status) {
  Prjrep::AutoRelease<IDesign> design;
  std::ignore = m_nodes[from].view->GetDesign(design.Receive());
  Prjrep::AutoCast<IViewManager> manager(design.Get());
  Prjrep::AutoRelease<IView> view;
  if (!manager) {
    status = Fail(kMissingInterface, "ERROR: TransformEngine::AddView - The design has no view manager.\n");
    return view;
  }
  status = manager->CreateView(Text(name), type, view.Receive());
  if (status == kSuccess && !view) status = kComponentNotCreated;
  if (status != kSuccess) {
    std::ignore = Fail(status, "ERROR: TransformEngine::AddView - The design made no view of type %s.\n", name.c_str());
  }
  return view;
}

// The upstream view holds the binding in its second set: its files feed the instance.
Status CTransformEngine::Bind(std::size_t from, std::size_t to, CitI::IInterface* transform, const std::string& name) {
  Prjrep::AutoPtr<CTransformInstance>& instance = m_instances[name];
  if (!instance) {
    Prjrep::AutoRelease<CTransform> made(new CTransform(transform, name));
    instance = Prjrep::AutoRelease<CTransformInstance>(new CTransformInstance(made.Get()));
  }
  Prjrep::AutoRelease<CTransformBinding> binding(new CTransformBinding());
  m_edges.push_back(Edge{Prjrep::AutoPtr<CTransformBinding>(binding.Get()), instance, from, to});
  Status status = binding->SetInstance(instance.Get());
  if (status == kSuccess) status = binding->AddTarget(m_nodes[to].view.Get());
  if (status == kSuccess) status = binding->Attach(m_nodes[from].view.Get(), false);
  return status;
}

// The first set of a view leads to its major view: a major view holds the bindings that lead
// to it, any other view the first of its own bindings on a way to a major view. A view never
// holds there a binding that leads back to itself, so the search for a major view ends.
Status CTransformEngine::LinkFirstSets(std::size_t firstNode, std::size_t firstEdge) {
  std::vector<int> leads(m_nodes.size(), -1);  // whether a node's way on reaches a major view
  std::function<bool(std::size_t)> reachesMajor = [&](std::size_t node) {
    if (leads[node] < 0) {
      leads[node] = m_nodes[node].major ? 1 : 0;
      for (const Edge& edge : m_edges) {
        if (leads[node] == 0 && edge.from == node && reachesMajor(edge.to)) leads[node] = 1;
      }
    }
    return leads[node] == 1;
  };
  Status status = kSuccess;
  const auto fold = [&status](Status next) {
    if (status == kSuccess) status = next;
  };
  for (std::size_t e = firstEdge; e < m_edges.size(); ++e) {
    const Edge& edge = m_edges[e];
    if (m_nodes[edge.to].major) fold(edge.binding->Attach(m_nodes[edge.to].view.Get(), true));
  }
  for (std::size_t n = firstNode; n < m_nodes.size(); ++n) {
    if (m_nodes[n].major) continue;
    const auto way = std::find_if(m_edges.begin(), m_edges.end(),
                                  [&](const Edge& edge) { return edge.from == n && reachesMajor(edge.to); });
    if (way != m_edges.end()) fold(way->binding->Attach(m_nodes[n].view.Get(), true));
  }
  return status;
}

std::size_t CTransformEngine::NodeOfType(const std::string& type) const {
  for (std::size_t n = 0; n < m_nodes.size(); ++n) {
    if (m_nodes[n].type == type) return n;
  }
  return kNone;
}

Status CTransformEngine::XIBatchDelay::BeginBatch() {
  Port::SafeIncr(This().m_batches);
  return kSuccess;
}

// An end without a begin leaves the count below zero, which counts as no batch open.
Status CTransformEngine::XIBatchDelay::EndBatch() {
  CTransformEngine& self = This();
  if (Port::SafeDecr(self.m_batches) < 1 && self.m_calculationPending) self.Calculate();
  return kSuccess;
}

Status CTransformEngine::XITransformAccess::FindTransformInstance(const Text& name, ITransformInstance** instance) {
  Prjrep::AutoOut<ITransformInstance> result(instance);
  if (instance == nullptr)
    return Fail(kInvalidParameter, "ERROR: TransformEngine::FindTransformInstance - Invalid Parameter.\n");
  const auto found = This().m_instances.find(name.str());
  if (found == This().m_instances.end()) return kFailure;
  return result.Assign(found->second.Get());
}

// Recorded values are read back next; a new input noted before then was met by those runs.
Status CTransformEngine::XIStatusCalculator::ClearCalculatedStatus() {
  CTransformEngine& self = This();
  for (auto& [name, instance] : self.m_instances) instance->ForgetCalculated();
  self.m_inputAdded = false;
  return kSuccess;
}

void CTransformEngine::RequestCalculation() {
  if (Port::SafeRead(m_batches) > 0) {
    m_calculationPending = true;
    return;
  }
  Calculate();
}

// An instance that has not run and records nothing has never run; one that has run is out
// of date when a run before it in the network ended after it started, and learns of inputs
// added since. Calculation switched off leaves the work pending.
void CTransformEngine::Calculate() {
  if (!m_calculationEnabled) return;
  m_calculationPending = false;
  for (auto& [name, instance] : m_instances) instance->ForgetCalculated();
  for (const Edge& edge : m_edges) {
    CTransformInstance& instance = *edge.instance.Get();
    if (!instance.HasRun()) {
      if (!instance.HasStatusValues()) instance.AddValue(kNeverRun, true);
      continue;
    }
    if (m_inputAdded) instance.AddValue(kInputAdded, false);
    const bool stale = std::any_of(m_edges.begin(), m_edges.end(), [&](const Edge& before) {
      return before.to == edge.from && before.instance->EndedAfterStartOf(instance);
    });
    if (stale) instance.AddValue(kOutOfDateForPredecessor, true);
  }
  m_inputAdded = false;
}

// Takes every binding out of the views' binding sets and lets go of the views. Without reset
// the instances keep their runs for the network that is built next.
void CTransformEngine::DropNetwork(bool reset) {
  std::vector<Edge> edges;
  edges.swap(m_edges);
  for (Edge& edge : edges) edge.binding->Unhook();
  edges.clear();
  m_nodes.clear();
  m_calculationPending = false;
  if (reset) {
    m_instances.clear();
    m_inputAdded = false;
    return;
  }
  for (auto& [name, instance] : m_instances) {
    instance->ForgetInputs();
    instance->ForgetCalculated();
  }
}

}  // namespace Hvd
