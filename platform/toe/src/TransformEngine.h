#pragma once
// The transform engine: builds a design's network of views from the definition data, keeps
// its transform instances, and calculates their statuses once no batch holds the work back.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Hvd/IBatchDelay.h"
#include "Hvd/IDefData.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/IView.h"
#include "TransformNetwork.h"

namespace Hvd {

class CTransformEngine final : public TComponent<CTransformEngine> {
 public:
  static const Port::XUID& GetCLSID() { return TransformEngineClassId(); }

  CTransformEngine() = default;
  CTransformEngine(const CTransformEngine&) = delete;
  CTransformEngine& operator=(const CTransformEngine&) = delete;
  ~CTransformEngine() override { DropNetwork(true); }

  auto QueryTable() {
    return Table(Row<ITransformEngine>(&m_XITransformEngine), Row<IBatchDelay>(&m_XIBatchDelay),
                 Row<ITransformAccess>(&m_XITransformAccess), Row<IStatusCalculator>(&m_XIStatusCalculator),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

 private:
  // A view of the network, by the name of its type; the network has one view of a type.
  struct Node {
    Prjrep::AutoPtr<IView> view;
    std::string type;
    bool major;
  };
  // A binding from the view at one node to the view at another.
  struct Edge {
    Prjrep::AutoPtr<CTransformBinding> binding;
    Prjrep::AutoPtr<CTransformInstance> instance;
    std::size_t from;
    std::size_t to;
  };

  struct XITransformEngine : TNested<CTransformEngine, ITransformEngine> {
    using TNested::TNested;
    // Kept for the design's sake; the engine reaches the design through the views.
    Status SetProject(IProject* project) override {
      This().m_project = project;
      return kSuccess;
    }
    Status AddDesignUnit(IDesignUnit* unit) override;
    Status AddView(IView* view) override;
  } m_XITransformEngine{this};

  struct XIBatchDelay : TNested<CTransformEngine, IBatchDelay> {
    using TNested::TNested;
    Status BeginBatch() override;
    Status EndBatch() override;
  } m_XIBatchDelay{this};

  struct XITransformAccess : TNested<CTransformEngine, ITransformAccess> {
    using TNested::TNested;
    Status ClearNetwork(bool reset) override {
      This().DropNetwork(reset);
      return kSuccess;
    }
    Status FindTransformInstance(const Port::StringBase<char>& name, ITransformInstance** instance) override;
  } m_XITransformAccess{this};

  struct XIStatusCalculator : TNested<CTransformEngine, IStatusCalculator> {
    using TNested::TNested;
    Status SetCalculationEnabled(bool enabled) override {
      This().m_calculationEnabled = enabled;
      return kSuccess;
    }
    Status ClearCalculatedStatus() override;
    Status CalculateStatus() override {
      This().RequestCalculation();
      return kSuccess;
    }
  } m_XIStatusCalculator{this};

  // Adds the views and bindings that the transforms of the node's view type lead to.
  // `path` holds the types from the root down to the node, so that no cycle is followed.
  Status Grow(std::size_t node, std::vector<std::string>& path);
  Status Lead(std::size_t from, CitI::IInterface* transform, std::vector<std::string>& path);
  Prjrep::AutoRelease<IView> CreateView(std::size_t from, IViewType* type, const std::string& name, Status& status);
  Status Bind(std::size_t from, std::size_t to, CitI::IInterface* transform, const std::string& name);
  // Enters the first binding sets of the nodes and edges from the given ones on.
  Status LinkFirstSets(std::size_t firstNode, std::size_t firstEdge);
  std::size_t NodeOfType(const std::string& type) const;

  void RequestCalculation();
  void Calculate();
  void DropNetwork(bool reset);

  Prjrep::TRefCountHelper<CTransformEngine> m_refCount{this};
  IProject* m_project = nullptr;  // borrowed: the project owns the design that owns the engine
  std::vector<Node> m_nodes;
  std::vector<Edge> m_edges;  // in the order of a walk from the first view
  // Every instance by its transform's name; kept over a network cleared without reset.
  std::map<std::string, Prjrep::AutoPtr<CTransformInstance>, std::less<>> m_instances;
  std::int32_t m_batches = 0;
  bool m_calculationPending = false;
  bool m_calculationEnabled = true;
  bool m_inputAdded = false;
};

}  // namespace Hvd
