#pragma once
// A netlist built in memory: nodes with instance paths and design-unit names, owned by the tree and
// counting the references that callers take on them, so that a test can see every one given back.

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

namespace testing_support {

// Objects handed out with a reference (iterators, design units) and not yet released.
struct NetlistObjects {
  static inline int s_alive = 0;
};

// The reference-count face of a fake whose references are counted but never delete it.
template <class Owner>
struct CountedRefs : Hvd::TNested<Owner, Prjrep::IRefCount> {
  using Hvd::TNested<Owner, Prjrep::IRefCount>::TNested;
  Hvd::Status AddRef() override {
    ++refs;
    return Hvd::kSuccess;
  }
  Hvd::Status Release() override {
    --refs;
    return Hvd::kSuccess;
  }
  std::int32_t GetRefCount() override { return refs; }
  int refs = 0;
};

// A design unit that only has a name; deleted by its last release.
class FakeDesignUnit : public Hvd::TComponent<FakeDesignUnit, Prjrep::IName> {
 public:
  explicit FakeDesignUnit(std::string name) : m_name(std::move(name)) { ++NetlistObjects::s_alive; }
  ~FakeDesignUnit() override { --NetlistObjects::s_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<Prjrep::IRefCountV1>(&m_count),
                      Hvd::Row<Prjrep::IName>(this), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status SetName(const Port::StringBase<char>& name) override {
    m_name = name.str();
    return Hvd::kSuccess;
  }
  Hvd::Status GetName(Port::StringBase<char>& name) override {
    name = m_name.c_str();
    return Hvd::kSuccess;
  }
  Hvd::Status SetOwner(CitI::IInterface*) override { return Hvd::kSuccess; }

 private:
  std::string m_name;
  Prjrep::TRefCountHelper<FakeDesignUnit> m_count{this};
};

// An entry of the tree: a netlist node, or (with `isNode` false) an object that only has a Tcl
// name. References taken on it are counted and never delete it; the tree owns it.
class FakeNetNode : public Hvd::TComponent<FakeNetNode, Hvd::IHdlNetListNode> {
 public:
  FakeNetNode(std::string path, std::string unit, bool isNode = true)
      : m_path(std::move(path)), m_unit(std::move(unit)), m_isNode(isNode), m_name(this), m_count(this) {}

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<Prjrep::IRefCountV1>(&m_count),
                      Hvd::Row<UtilI::ITclCollectable>(&m_name), Hvd::Row<CitI::IInterface>(&m_name),
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
    m_children.push_back(std::make_unique<FakeNetNode>(std::move(path), std::move(unit), isNode));
    return m_children.back().get();
  }

  // References held by others; 0 once all are given back.
  int References() const { return m_count.refs; }
  // References still held anywhere in the subtree.
  int SubtreeReferences() const {
    int total = m_count.refs;
    for (const auto& child : m_children) total += child->SubtreeReferences();
    return total;
  }
  int nameReads = 0;
  int childrenCalls = 0;
  Hvd::Status nameStatus = Hvd::kSuccess;
  Hvd::Status childrenStatus = Hvd::kSuccess;
  bool childrenMissing = false;

 private:
  friend class FakeNetNodeIterator;
  friend class FakeNetlistView;
  struct XName : Hvd::TNested<FakeNetNode, UtilI::ITclCollectable> {
    using TNested::TNested;
    Hvd::Status GetName(Port::StringBase<char>* name) override {
      FakeNetNode& node = This();
      ++node.nameReads;
      *name = node.m_path.c_str();
      return node.nameStatus;
    }
  };

  std::string m_path;
  std::string m_unit;
  bool m_isNode;
  std::vector<std::unique_ptr<FakeNetNode>> m_children;
  XName m_name;
  CountedRefs<FakeNetNode> m_count;
};

// The children of one node, holding a reference on it; deleted by its last release.
class FakeNetNodeIterator : public Hvd::TComponent<FakeNetNodeIterator, Hvd::IHdlNetListNodeIterator> {
 public:
  explicit FakeNetNodeIterator(FakeNetNode* node) : m_node(node) {
    ++NetlistObjects::s_alive;
    ++m_node->m_count.refs;
  }
  ~FakeNetNodeIterator() override {
    --NetlistObjects::s_alive;
    --m_node->m_count.refs;
  }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<Prjrep::IRefCountV1>(&m_count),
                      Hvd::Row<Hvd::IHdlNetListNodeIterator>(this), Hvd::Row<CitI::IInterface>(this));
  }
  CitI::IInterface* CurrentItem() override { return IsDone() ? nullptr : m_node->m_children[m_at].get(); }
  Hvd::Status First() override {
    m_at = 0;
    return Hvd::kSuccess;
  }
  Hvd::Status Next() override { return IsDone() ? Hvd::kFailure : (++m_at, Hvd::kSuccess); }
  bool IsDone() override { return m_at >= m_node->m_children.size(); }

 private:
  FakeNetNode* m_node;
  std::size_t m_at = 0;
  Prjrep::TRefCountHelper<FakeNetNodeIterator> m_count{this};
};

inline Hvd::Status FakeNetNode::GetChildren(Hvd::IHdlNetListNodeIterator** children) {
  ++childrenCalls;
  *children = childrenMissing ? nullptr : new FakeNetNodeIterator(this);
  return childrenStatus;
}

// A view whose elaboration data hands out `root` (may be null); with `hasData` false the view has
// no elaboration data. Both are the same counted object, owned by the test.
class FakeNetlistView : public Hvd::TComponent<FakeNetlistView, Hvd::IView> {
 public:
  explicit FakeNetlistView(FakeNetNode* root, bool hasData = true)
      : m_root(root), m_hasData(hasData), m_data(this), m_count(this) {}

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<Prjrep::IRefCountV1>(&m_count),
                      Hvd::Row<Hvd::IHdlElaborationData>(&m_data), Hvd::Row<Hvd::IView>(this),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetType(Hvd::IViewType** type) override {
    *type = nullptr;
    return Hvd::kFailure;
  }
  Hvd::Status GetDesign(Hvd::IDesign** design) override {
    *design = nullptr;
    return Hvd::kFailure;
  }
  Hvd::Status GetElaborationData(Hvd::IHdlElaborationData** data) override {
    *data = m_hasData ? &m_data : nullptr;
    m_count.refs += m_hasData ? 1 : 0;
    return m_hasData ? Hvd::kSuccess : Hvd::kFailure;
  }

  // References held by others on the view and its elaboration data.
  int References() const { return m_count.refs; }

 private:
  struct XData : Hvd::TNested<FakeNetlistView, Hvd::IHdlElaborationData> {
    using TNested::TNested;
    static constexpr Hvd::Status kNo = Hvd::kNotSupported;
    Hvd::Status GetUndefinedInstances(CitI::IInterface**) override { return kNo; }
    Hvd::Status GetCompileOrder(Hvd::IHdlNetListNode*, Hvd::IHdlFileIterator**) override { return kNo; }
    Hvd::Status GetCompileOrder(Hvd::IHdlDesignUnit*, std::uint32_t, Hvd::IHdlFileIterator**) override { return kNo; }
    Hvd::Status GetPorts(const char*, CitI::IInterface**) override { return kNo; }
    Hvd::Status GetDesignGraph(Hvd::IHdlNetListNode** root) override {
      *root = This().m_root;
      if (*root != nullptr) ++This().m_root->m_count.refs;
      return Hvd::kSuccess;
    }
  };

  FakeNetNode* m_root;
  bool m_hasData;
  XData m_data;
  CountedRefs<FakeNetlistView> m_count;
};

}  // namespace testing_support
