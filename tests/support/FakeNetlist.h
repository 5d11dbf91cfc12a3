#pragma once
// A netlist in memory: nodes with instance paths and unit names that count the references taken.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Hvd/IHdlNetlist.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "support/ViewDouble.h"

namespace testing_support {

// Objects handed out with a reference (iterators, design units) and not yet released.
struct NetlistObjects {
  static inline int s_alive = 0;
};

// The reference-count face of a fake whose references are counted but never delete it.
template <class Owner>
struct CountedRefs : Hvd::TNested<Owner, Prjrep::IRefCount> {
  using Hvd::TNested<Owner, Prjrep::IRefCount>::TNested;
  Hvd::Status AddRef() override { return ++refs, Hvd::kSuccess; }
  Hvd::Status Release() override { return --refs, Hvd::kSuccess; }
  std::int32_t GetRefCount() override { return refs; }
  int refs = 0;
};

// The rows of a counted fake: its count under both ids, then the given rows.
template <class Count, class... Rows>
auto CountedTable(Count* count, Rows... rows) {
  return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(count), Hvd::Row<Prjrep::IRefCountV1>(count), rows...);
}

// A design unit that only has a name; deleted by its last release.
struct FakeDesignUnit : Hvd::TComponent<FakeDesignUnit, Prjrep::IName> {
  explicit FakeDesignUnit(std::string name) : m_name(std::move(name)) { ++NetlistObjects::s_alive; }
  ~FakeDesignUnit() override { --NetlistObjects::s_alive; }
  auto QueryTable() { return CountedTable(&m_count, Hvd::Row<Prjrep::IName>(this), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::Status SetName(const Port::StringBase<char>& name) override { return m_name = name.str(), Hvd::kSuccess; }
  Hvd::Status GetName(Port::StringBase<char>& name) override { return name = m_name.c_str(), Hvd::kSuccess; }
  Hvd::Status SetOwner(CitI::IInterface*) override { return Hvd::kSuccess; }
  std::string m_name;
  Prjrep::TRefCountHelper<FakeDesignUnit> m_count{this};
};

// An entry of the tree, owned by it: a netlist node, or (`isNode` false) only a Tcl name.
struct FakeNetNode : Hvd::TComponent<FakeNetNode, Hvd::IHdlNetListNode> {
  FakeNetNode(std::string path, std::string unit, bool isNode = true)
      : m_path(std::move(path)), m_unit(std::move(unit)), m_isNode(isNode) {}
  auto QueryTable() {
    return CountedTable(&m_count, Hvd::Row<UtilI::ITclCollectable>(&m_name), Hvd::Row<CitI::IInterface>(&m_name),
                        Hvd::RowIf<Hvd::IHdlNetListNode>(m_isNode, this));
  }
  Hvd::Status GetChildren(Hvd::IHdlNetListNodeIterator** children) override;
  Hvd::Status ReservedOperation3() override { return Hvd::kFailure; }
  CitI::IInterface* GetDesignUnit() override {
    return m_unit.empty() ? nullptr : static_cast<Prjrep::IName*>(new FakeDesignUnit(m_unit));
  }
  Hvd::Status ReservedOperation5() override { return Hvd::kFailure; }
  Hvd::Status GetInstanceName(Port::StringBase<char>*) override { return Hvd::kFailure; }
  FakeNetNode* Add(std::string path, std::string unit = "", bool isNode = true) {
    return m_children.emplace_back(std::make_unique<FakeNetNode>(std::move(path), std::move(unit), isNode)).get();
  }
  // References held by others; 0 once all are given back.
  int References() const { return m_count.refs; }
  // References still held anywhere in the subtree.
  int SubtreeReferences() const {
    int total = m_count.refs;
    for (const auto& child : m_children) total += child->SubtreeReferences();
    return total;
  }
  int nameReads = 0, childrenCalls = 0;
  Hvd::Status nameStatus = Hvd::kSuccess, childrenStatus = Hvd::kSuccess;
  bool childrenMissing = false;
  struct XName : Hvd::TNested<FakeNetNode, UtilI::ITclCollectable> {
    using TNested::TNested;
    Hvd::Status GetName(Port::StringBase<char>* name) override {
      *name = This().m_path.c_str();
      return ++This().nameReads, This().nameStatus;
    }
  };
  std::string m_path, m_unit;
  bool m_isNode;
  std::vector<std::unique_ptr<FakeNetNode>> m_children;
  XName m_name{this};
  CountedRefs<FakeNetNode> m_count{this};
};

// The children of one node, holding a reference on it; deleted by its last release.
struct FakeNetNodeIterator : Hvd::TComponent<FakeNetNodeIterator, Hvd::IHdlNetListNodeIterator> {
  explicit FakeNetNodeIterator(FakeNetNode* node) : m_node(node) { ++NetlistObjects::s_alive, ++m_node->m_count.refs; }
  ~FakeNetNodeIterator() override { --NetlistObjects::s_alive, --m_node->m_count.refs; }
  auto QueryTable() {
    return CountedTable(&m_count, Hvd::Row<Hvd::IHdlNetListNodeIterator>(this), Hvd::Row<CitI::IInterface>(this));
  }
  CitI::IInterface* CurrentItem() override { return IsDone() ? nullptr : m_node->m_children[m_at].get(); }
  Hvd::Status First() override { return m_at = 0, Hvd::kSuccess; }
  Hvd::Status Next() override { return IsDone() ? Hvd::kFailure : (++m_at, Hvd::kSuccess); }
  bool IsDone() override { return m_at >= m_node->m_children.size(); }
  FakeNetNode* m_node;
  std::size_t m_at = 0;
  Prjrep::TRefCountHelper<FakeNetNodeIterator> m_count{this};
};

inline Hvd::Status FakeNetNode::GetChildren(Hvd::IHdlNetListNodeIterator** children) {
  ++childrenCalls;
  *children = childrenMissing ? nullptr : new FakeNetNodeIterator(this);
  return childrenStatus;
}

// A view (owned by the test) whose elaboration data, if `hasData`, hands out `root` (may be null).
struct FakeNetlistView : TViewDouble<FakeNetlistView> {
  explicit FakeNetlistView(FakeNetNode* root, bool hasData = true) : m_root(root), m_hasData(hasData) {}
  auto QueryTable() {
    return CountedTable(&m_count, Hvd::Row<Hvd::IHdlElaborationData>(&m_data), Hvd::Row<Hvd::IView>(this),
                        Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetType(Hvd::IViewType** type) override { return *type = nullptr, Hvd::kFailure; }
  Hvd::Status GetDesign(Hvd::IDesign** design) override { return *design = nullptr, Hvd::kFailure; }
  Hvd::Status GetElaborationData(Hvd::IHdlElaborationData** data) override {
    *data = m_hasData ? &m_data : nullptr;
    m_count.refs += m_hasData ? 1 : 0;
    return m_hasData ? Hvd::kSuccess : Hvd::kFailure;
  }
  // References held by others on the view and its elaboration data.
  int References() const { return m_count.refs; }
  struct XData : Hvd::TNested<FakeNetlistView, Hvd::IHdlElaborationData> {
    using TNested::TNested;
    static constexpr Hvd::Status kNo = Hvd::kNotSupported;
    Hvd::Status GetUndefinedInstances(CitI::IInterface**) override { return kNo; }
    Hvd::Status GetCompileOrder(Hvd::IHdlNetListNode*, Hvd::IHdlFileIterator**) override { return kNo; }
    Hvd::Status GetCompileOrder(Hvd::IHdlDesignUnit*, std::uint32_t, Hvd::IHdlFileIterator**) override { return kNo; }
    Hvd::Status GetPorts(const char*, CitI::IInterface**) override { return kNo; }
    Hvd::Status GetDesignGraph(Hvd::IHdlNetListNode** root) override {
      if ((*root = This().m_root) != nullptr) ++This().m_root->m_count.refs;
      return Hvd::kSuccess;
    }
  };
  FakeNetNode* m_root;
  bool m_hasData;
  XData m_data{this};
  CountedRefs<FakeNetlistView> m_count{this};
};

}  // namespace testing_support
