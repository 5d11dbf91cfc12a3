#pragma once
// What hierarchy cursors read, never changed once made, so that a cursor outlives the edits after
// it and the project itself: the reference model's shape (HierarchyShape, ProjectHierarchy.cpp),
// the parts the live model measured below each unit (SourceNode, ProjectTops.cpp), and a cursor's
// node (HierarchyCursor::State).

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "HdlScan/Project.h"
#include "ProjectRecords.h"

namespace Hdl::scan {

// What a hierarchy walked lazily needs of the model, as the model stood when it was made: units by
// dense index and the instances read from each.
struct HierarchyShape {
  struct Edge {
    std::uint32_t target;
    std::uint32_t architecture;
    std::string_view label;
    std::string_view name;
    std::string_view scope;  // "gen/blk/": the named blocks around the instance
  };
  std::shared_ptr<const void> pool;  // the names' storage
  std::vector<UnitInfo> infos;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> elaborated;  // of entities and configurations
  std::vector<std::uint32_t> instanceStart;
  std::vector<Edge> edges;

  // As the project's model elaborates: an instance edge names an architecture only for an entity.
  std::pair<std::uint32_t, std::uint32_t> Elaborate(std::uint32_t unit, std::uint32_t architecture) const {
    const UnitKind kind = infos[unit].kind;
    if (kind == UnitKind::kVhdlEntity && architecture != kNone) return {architecture, architecture};
    if (kind == UnitKind::kVhdlEntity || kind == UnitKind::kVhdlConfiguration) return elaborated[unit];
    return {unit, kNone};
  }
};

// How many nodes the hierarchy below a node of a shape holds, as a hierarchy made whole holds
// them: a unit already expanded on the way down is not expanded again. Worked out once for each
// unit whose instances are read, and the units above it that it may meet again: only those in its
// part of the graph that comes round (units and what they elaborate joined by the instances), so
// that a design whose units do not come round costs one count a unit, however many paths lead
// there. Shared by the cursors of one top's hierarchy, which ask from any thread.
class HierarchySizes {
 public:
  explicit HierarchySizes(const HierarchyShape& shape);
  // The nodes of the hierarchy below a node of `unit` elaborating `source`, the node counted, where
  // `above` are the units expanded above the node; at most kMany.
  std::uint64_t Nodes(std::uint32_t unit, std::uint32_t source, const std::vector<std::uint32_t>& above);
  static constexpr std::uint64_t kMany = ~std::uint64_t{0};

 private:
  // Of `path` and `unit`, those that `source` may meet again, sorted.
  std::vector<std::uint32_t> Within(std::uint32_t source, const std::vector<std::uint32_t>& path,
                                    std::uint32_t unit) const;
  std::uint64_t Count(std::uint32_t source, std::vector<std::uint32_t> within);

  const HierarchyShape& m_shape;      // kept alive by the cursors that hold this
  std::vector<std::uint32_t> m_part;  // the part of the graph that comes round, by unit
  std::mutex m_lock;
  std::vector<std::uint64_t> m_alone;  // by source, with none of its part above it; 0 not known
  std::map<std::pair<std::uint32_t, std::vector<std::uint32_t>>, std::uint64_t> m_within;
};

// The instances read from a unit (a module, an architecture) as bound when it was measured, with
// the hierarchy below each: shared by the units above it and by cursors, never changed once made.
struct SourceNode {
  struct Child {
    std::string_view label;
    std::string_view name;
    std::string_view scope;  // "gen/blk/"
    std::uint32_t unit;      // slot; kNone when bound to nothing
    std::optional<UnitInfo> info;
    std::optional<UnitInfo> architecture;
    std::shared_ptr<const SourceNode> below;  // none: nothing to expand
  };
  std::uint32_t depth = 1;
  std::uint64_t nodes = 1;
  // Some instance at or below elaborates an entity with another architecture than its default:
  // one above may then be the same unit, which is not expanded again, so `nodes` may count more
  // than a hierarchy through it holds.
  bool otherArchitecture = false;
  std::vector<Child> children;

  SourceNode() = default;
  SourceNode(const SourceNode&) = delete;
  SourceNode& operator=(const SourceNode&) = delete;
  // Lets go of the parts below one after another: a deep hierarchy would overflow the stack
  // going down one call a level.
  ~SourceNode() {
    std::vector<std::shared_ptr<const SourceNode>> work;
    auto take = [&work](std::vector<Child>& list) {
      for (Child& child : list) {
        if (child.below) work.push_back(std::move(child.below));
      }
    };
    take(children);
    while (!work.empty()) {
      std::shared_ptr<const SourceNode> last = std::move(work.back());
      work.pop_back();
      // Made mutable by make_shared; const only to those who share it, and none other does.
      if (last.use_count() == 1) take(const_cast<SourceNode&>(*last).children);
    }
  }
};

struct HierarchyCursor::State {
  HierarchyNode node;  // without children
  // Read from the measured units: what its children are read from; `unit` is then a unit slot.
  std::shared_ptr<const SourceNode> measured;
  std::shared_ptr<const void> pool;
  // Lazy: the shape, the node's unit and the unit whose instances are its children.
  std::shared_ptr<const HierarchyShape> shape;
  std::shared_ptr<const State> parent;
  std::uint32_t unit = kNone;
  std::uint32_t source = kNone;
  std::uint32_t architecture = kNone;  // the slot of node.architecture, when read from the measured units
  // Past the node bound: the node's place in the top's hierarchy in preorder, and the count of
  // nodes kept, the first in preorder, as a hierarchy made whole is cut.
  std::uint64_t index = 0;
  std::uint64_t bound = kUncut;
  static constexpr std::uint64_t kUncut = ~std::uint64_t{0};
  // Lazy past the node bound: what places the nodes in preorder.
  std::shared_ptr<HierarchySizes> sizes;
};

}  // namespace Hdl::scan
