// The reference model's hierarchies, and the cursors that walk the snapshots of either model.
// Keeps, of Project::Impl: what bounds a hierarchy (maxNodes); how deep and large the hierarchy
// below every unit is and whether an instance comes round (extents, instanceCycle, extentsStale),
// worked out once per model when first asked for; and the shape that lazy cursors read (shape),
// made once per model. A top's hierarchy is made as it is walked, and past the bound placed in
// preorder by the counts of HierarchySizes, so that it is cut where a hierarchy made whole is.

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

const HierarchyNode& HierarchyCursor::Node() const { return m_state->node; }

// A measured unit's part is never changed, only dropped and measured anew: the same part is the
// same hierarchy below. A node with nothing to read its children from has none.
bool HierarchyCursor::SameAs(const HierarchyCursor& other) const {
  const State& a = *m_state;
  const State& b = *other.m_state;
  if (&a == &b) return true;
  if (a.shape || b.shape || a.parent != b.parent || a.unit != b.unit || a.pool != b.pool) {
    return false;
  }
  if (a.measured != b.measured || (!a.measured && (a.source != kNone || b.source != kNone))) return false;
  if (a.index != b.index || a.bound != b.bound) return false;
  const HierarchyNode& x = a.node;
  const HierarchyNode& y = b.node;
  return x.path == y.path && x.instanceName == y.instanceName && x.unitName == y.unitName && x.unit == y.unit &&
         x.architecture == y.architecture && x.recursive == y.recursive;
}

// Made as Project::Impl::Hierarchy makes them: a unit already expanded on the way down is not
// expanded again.
std::vector<HierarchyCursor> HierarchyCursor::Children() const {
  std::vector<HierarchyCursor> children;
  const State& self = *m_state;
  if (self.measured) {
    children.reserve(self.measured->children.size());
    std::uint64_t next = self.index + 1;  // the next child's place in preorder
    for (const SourceNode::Child& child : self.measured->children) {
      if (next >= self.bound) break;
      auto state = std::make_shared<State>();
      HierarchyNode& node = state->node;
      node.instanceName = std::string(child.label);
      node.path.reserve(self.node.path.size() + 1 + child.scope.size() + child.label.size());
      node.path.append(self.node.path).append("/").append(child.scope).append(child.label);
      node.unitName = std::string(child.name);
      node.unit = child.info;
      node.architecture = child.architecture;
      state->unit = child.unit;
      state->measured = child.below;
      if (child.unit != kNone) {
        for (const State* above = &self; above != nullptr; above = above->parent.get()) {
          if (above->unit == child.unit) {
            node.recursive = true;
            state->measured.reset();
            break;
          }
        }
      }
      state->pool = self.pool;
      state->parent = m_state;
      state->index = next;
      state->bound = self.bound;
      next += state->measured ? state->measured->nodes : 1;
      children.push_back(HierarchyCursor(std::move(state)));
    }
    return children;
  }
  if (self.source == kNone) return children;
  const HierarchyShape& shape = *self.shape;
  children.reserve(shape.instanceStart[self.source + 1] - shape.instanceStart[self.source]);
  std::vector<std::uint32_t> path;  // the units expanded down to this node
  for (const State* above = &self; above != nullptr; above = above->parent.get()) path.push_back(above->unit);
  std::uint64_t next = self.index + 1;  // the next child's place in preorder
  for (std::uint32_t k = shape.instanceStart[self.source]; k < shape.instanceStart[self.source + 1]; ++k) {
    if (next >= self.bound) break;
    const HierarchyShape::Edge& edge = shape.edges[k];
    auto state = std::make_shared<State>();
    HierarchyNode& node = state->node;
    node.instanceName = std::string(edge.label);
    node.path.reserve(self.node.path.size() + 1 + edge.scope.size() + edge.label.size());
    node.path.append(self.node.path).append("/").append(edge.scope).append(edge.label);
    node.unitName = std::string(edge.name);
    state->unit = edge.target;
    if (edge.target != kNone) {
      node.unit = shape.infos[edge.target];
      const auto [source, used] = shape.Elaborate(edge.target, edge.architecture);
      state->source = source;
      if (used != kNone) node.architecture = shape.infos[used];
      if (std::find(path.begin(), path.end(), edge.target) != path.end()) {
        node.recursive = true;
        state->source = kNone;
      }
    }
    state->pool = self.pool;
    state->shape = self.shape;
    state->parent = m_state;
    if (self.sizes) {
      state->index = next;
      state->bound = self.bound;
      state->sizes = self.sizes;
      next += state->source == kNone ? 1 : self.sizes->Nodes(edge.target, state->source, path);
    }
    children.push_back(HierarchyCursor(std::move(state)));
  }
  return children;
}

HierarchySizes::HierarchySizes(const HierarchyShape& shape) : m_shape(shape), m_alone(shape.infos.size(), 0) {
  // The graph: a unit whose instances are read leads to the units it instantiates, a unit to what
  // it elaborates. Its parts that come round, by Tarjan's walk, kept on a stack of its own.
  const std::uint32_t n = static_cast<std::uint32_t>(shape.infos.size());
  std::vector<std::vector<std::uint32_t>> out(n);
  for (std::uint32_t s = 0; s < n; ++s) {
    for (std::uint32_t k = shape.instanceStart[s]; k < shape.instanceStart[s + 1]; ++k) {
      const HierarchyShape::Edge& edge = shape.edges[k];
      if (edge.target == kNone) continue;
      out[s].push_back(edge.target);
      const std::uint32_t elaborated = shape.Elaborate(edge.target, edge.architecture).first;
      if (elaborated != kNone && elaborated != edge.target) out[edge.target].push_back(elaborated);
    }
    const std::uint32_t elaborated = shape.Elaborate(s, kNone).first;
    if (elaborated != kNone && elaborated != s) out[s].push_back(elaborated);
  }
  m_part.assign(n, kNone);
  std::vector<std::uint32_t> order(n, kNone);
  std::vector<std::uint32_t> low(n, 0);
  std::vector<std::uint32_t> open;
  std::vector<std::uint8_t> onOpen(n, 0);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> walk;  // (vertex, next edge)
  std::uint32_t counter = 0;
  for (std::uint32_t start = 0; start < n; ++start) {
    if (order[start] != kNone) continue;
    walk.emplace_back(start, 0);
    while (!walk.empty()) {
      auto& [v, next] = walk.back();
      if (next == 0 && order[v] == kNone) {
        order[v] = low[v] = counter++;
        open.push_back(v);
        onOpen[v] = 1;
      }
      if (next < out[v].size()) {
        const std::uint32_t w = out[v][next++];
        if (order[w] == kNone) {
          walk.emplace_back(w, 0);
        } else if (onOpen[w]) {
          low[v] = std::min(low[v], order[w]);
        }
        continue;
      }
      const std::uint32_t done = v;
      walk.pop_back();
      if (!walk.empty()) low[walk.back().first] = std::min(low[walk.back().first], low[done]);
      if (low[done] != order[done]) continue;
      std::uint32_t w = kNone;
      do {
        w = open.back();
        open.pop_back();
        onOpen[w] = 0;
        m_part[w] = done;
      } while (w != done);
    }
  }
}

// An expanded unit above a node is met again below it only where it leads back there: in the
// node's part of the graph.
std::vector<std::uint32_t> HierarchySizes::Within(std::uint32_t source, const std::vector<std::uint32_t>& path,
                                                  std::uint32_t unit) const {
  std::vector<std::uint32_t> within;
  for (std::uint32_t above : path) {
    if (above != kNone && m_part[above] == m_part[source]) within.push_back(above);
  }
  if (m_part[unit] == m_part[source]) within.push_back(unit);
  std::sort(within.begin(), within.end());
  within.erase(std::unique(within.begin(), within.end()), within.end());
  return within;
}

std::uint64_t HierarchySizes::Nodes(std::uint32_t unit, std::uint32_t source, const std::vector<std::uint32_t>& above) {
  const std::lock_guard<std::mutex> hold(m_lock);
  return Count(source, Within(source, above, unit));
}

// The nodes below a node elaborating `source` with the units `within` expanded on the way there,
// the node counted; walked on a stack of its own, each count kept.
std::uint64_t HierarchySizes::Count(std::uint32_t source, std::vector<std::uint32_t> within) {
  const auto add = [](std::uint64_t a, std::uint64_t b) { return b > kMany - a ? kMany : a + b; };
  const auto known = [&](std::uint32_t s, const std::vector<std::uint32_t>& w) -> std::uint64_t {
    if (w.empty()) return m_alone[s];
    const auto found = m_within.find({s, w});
    return found == m_within.end() ? 0 : found->second;
  };
  if (const std::uint64_t nodes = known(source, within)) return nodes;
  struct Frame {
    std::uint32_t source;
    std::vector<std::uint32_t> within;
    std::uint32_t next;
    std::uint64_t nodes;
  };
  std::vector<Frame> stack;
  stack.push_back({source, std::move(within), m_shape.instanceStart[source], 1});
  std::uint64_t last = 0;
  while (true) {
    Frame& frame = stack.back();
    if (frame.next == m_shape.instanceStart[frame.source + 1]) {
      last = frame.nodes;
      if (frame.within.empty()) {
        m_alone[frame.source] = last;
      } else {
        m_within.emplace(std::make_pair(frame.source, std::move(frame.within)), last);
      }
      stack.pop_back();
      if (stack.empty()) return last;
      stack.back().nodes = add(stack.back().nodes, last);
      ++stack.back().next;
      continue;
    }
    const HierarchyShape::Edge& edge = m_shape.edges[frame.next];
    const std::uint32_t below = edge.target == kNone ? kNone : m_shape.Elaborate(edge.target, edge.architecture).first;
    if (below == kNone || std::binary_search(frame.within.begin(), frame.within.end(), edge.target)) {
      frame.nodes = add(frame.nodes, 1);  // unbound, a leaf, or met again: not expanded
      ++frame.next;
      continue;
    }
    std::vector<std::uint32_t> deeper = Within(below, frame.within, edge.target);
    if (const std::uint64_t nodes = known(below, deeper)) {
      frame.nodes = add(frame.nodes, nodes);
      ++frame.next;
      continue;
    }
    const std::uint32_t start = m_shape.instanceStart[below];
    stack.push_back({below, std::move(deeper), start, 1});  // the edge is taken again once counted
  }
}

// The architecture an entity elaborates with by default: the last one compiled. Only a choice
// between several needs the compile order. An entity defined again has none: its name finds the
// one used; of an architecture defined again, the one used is (Before tells which); one that a
// later definition of the entity made obsolete is none.
std::uint32_t Project::Impl::DefaultArchitecture(std::uint32_t entity) {
  const UnitRec& owner = units[dense[entity]];
  if (Find(owner.key, Bit(UnitKind::kVhdlEntity), LibraryOf(owner), 0, true) != entity) return kNone;
  std::uint32_t best = kNone;
  for (std::uint32_t k = secondaryStart[entity]; k < secondaryStart[entity + 1]; ++k) {
    const std::uint32_t candidate = secondaries[k];
    if (units[dense[candidate]].kind != UnitKind::kVhdlArchitecture || OwnerOf(dense[candidate]) != dense[entity])
      continue;
    const auto first = secondaries.begin() + secondaryStart[entity];
    const bool again = std::any_of(first, secondaries.begin() + secondaryStart[entity + 1], [&](std::uint32_t other) {
      return units[dense[other]].kind == UnitKind::kVhdlArchitecture &&
             units[dense[other]].key == units[dense[candidate]].key && Before(dense[other], dense[candidate]);
    });
    if (again) continue;
    if (best != kNone) ResolveOrder();
    if (best == kNone || AnalysedAfter(dense[candidate], dense[best])) best = candidate;
  }
  return best;
}

// What a node of `unit` elaborates: an entity's architecture, a configuration's entity and the
// architecture it names. Instances are read from the returned unit.
std::pair<std::uint32_t, std::uint32_t> Project::Impl::Elaborate(std::uint32_t unit, std::uint32_t architecture) {
  const UnitRec& rec = units[dense[unit]];
  if (rec.kind == UnitKind::kVhdlConfiguration) {
    const std::uint32_t entity = Find(rec.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(rec), 0, true);
    if (entity == kNone) return {kNone, kNone};
    for (const RefRec& ref : rec.refs) {
      if (ref.kind == RefKind::kArchitecture) {
        architecture = FindSecondary(entity, UnitKind::kVhdlArchitecture, ref.key);
        break;
      }
    }
    if (architecture == kNone) architecture = DefaultArchitecture(entity);
    return {architecture, architecture};
  }
  if (rec.kind == UnitKind::kVhdlEntity) {
    if (architecture == kNone) architecture = DefaultArchitecture(unit);
    return {architecture, architecture};
  }
  return {unit, kNone};
}

// "gen/blk/": the labels of the named blocks from the unit down to `scope`.
std::string Project::Impl::ScopePath(const UnitRec& unit, std::uint32_t scope) const {
  std::vector<Sym> labels;
  for (; scope < unit.scopes.size(); scope = unit.scopes[scope].parent) labels.push_back(unit.scopes[scope].label);
  std::string path;
  for (auto label = labels.rbegin(); label != labels.rend(); ++label) path += std::string(pool.View(*label)) + "/";
  return path;
}

const std::shared_ptr<const HierarchyShape>& Project::Impl::Shape() {
  if (shape) return shape;
  auto made = std::make_shared<HierarchyShape>();
  const std::size_t n = dense.size();
  made->pool = poolOwner;
  made->infos.reserve(n);
  made->elaborated.assign(n, {kNone, kNone});
  for (std::uint32_t i = 0; i < n; ++i) {
    made->infos.push_back(Info(i));
    const UnitKind kind = units[dense[i]].kind;
    if (kind == UnitKind::kVhdlEntity || kind == UnitKind::kVhdlConfiguration)
      made->elaborated[i] = Elaborate(i, kNone);
  }
  made->instanceStart = instanceStart;
  made->edges.reserve(instanceEdges.size());
  for (std::uint32_t i = 0; i < n; ++i) {
    const UnitRec& unit = units[dense[i]];
    for (std::uint32_t k = instanceStart[i]; k < instanceStart[i + 1]; ++k) {
      const InstanceEdge& edge = instanceEdges[k];
      const RefRec& ref = unit.refs[edge.ref];
      std::string_view scope;
      if (ref.scope < unit.scopes.size()) scope = pool.View(pool.Intern(ScopePath(unit, ref.scope)));
      made->edges.push_back({edge.target, edge.architecture, pool.View(ref.label), pool.View(ref.name), scope});
    }
  }
  shape = std::move(made);
  return shape;
}

// The top's hierarchy, made as it is walked. Past the node bound it is cut where a hierarchy made
// whole is, and says so; the extents tell a hierarchy within the bound without a count where no
// instance comes round.
HierarchyCursor Project::Impl::Root(std::uint32_t top, std::string_view topName) {
  Extents();
  const auto [source, used] = Elaborate(top, kNone);
  auto state = std::make_shared<HierarchyCursor::State>();
  state->pool = poolOwner;
  state->shape = Shape();
  state->unit = top;
  state->source = source;
  if (source != kNone && (instanceCycle || extents[source].nodes > maxNodes)) {
    auto sizes = std::make_shared<HierarchySizes>(*state->shape);
    if (sizes->Nodes(top, source, {}) > maxNodes) {
      state->sizes = std::move(sizes);
      state->bound = maxNodes;
      ReportCut(units[dense[top]]);
    }
  }
  state->node.path = std::string(pool.View(units[dense[top]].name));
  state->node.unitName = std::string(topName);
  state->node.unit = Info(top);
  if (used != kNone) state->node.architecture = Info(used);
  return HierarchyCursor(std::move(state));
}

// The extents, into `extents`; notes whether some instance comes round to a unit being followed.
void Project::Impl::Extents() {
  if (!extentsStale) return;
  extentsStale = false;
  instanceCycle = false;
  const std::size_t n = dense.size();
  extents.assign(n, Extent{});
  std::vector<std::uint8_t> state(n, 0);                       // 0 not seen, 1 on the path, 2 measured
  std::vector<std::pair<std::uint32_t, std::uint32_t>> stack;  // (source, next instance edge)
  for (std::uint32_t start = 0; start < n; ++start) {
    if (state[start] != 0 || instanceStart[start] == instanceStart[start + 1]) continue;
    stack.emplace_back(start, instanceStart[start]);
    state[start] = 1;
    while (!stack.empty()) {
      const auto [source, next] = stack.back();
      if (next == instanceStart[source + 1]) {
        state[source] = 2;
        stack.pop_back();
        continue;
      }
      const InstanceEdge& edge = instanceEdges[next];
      const std::uint32_t child = edge.target == kNone ? kNone : Elaborate(edge.target, edge.architecture).first;
      if (child != kNone && state[child] == 0) {
        state[child] = 1;
        stack.emplace_back(child, instanceStart[child]);  // the edge is taken again once the child is measured
        continue;
      }
      if (child != kNone && state[child] == 1) instanceCycle = true;
      const Extent below = child == kNone || state[child] == 1 ? Extent{} : extents[child];
      Extent& at = extents[source];
      at.depth = std::max(at.depth, below.depth + 1);
      at.nodes = below.nodes > ~std::uint64_t{0} - at.nodes ? ~std::uint64_t{0} : at.nodes + below.nodes;
      ++stack.back().second;
    }
  }
}

void Project::Impl::ReportCut(const UnitRec& top) {
  const FileRec& file = files[top.file];
  Message message;
  message.kind = MessageKind::kHierarchyLimit;
  message.path = std::string(pool.View(file.path));
  message.file = file.handle;
  message.text =
      "the hierarchy below " + Describe(top) + " passes " + std::to_string(maxNodes) + " nodes: it is cut there";
  QueryMessage(std::move(message));
}

std::optional<HierarchyNode> Project::Impl::Hierarchy(std::uint32_t top, std::string_view topName) {
  struct Flat {
    HierarchyNode node;
    std::uint32_t parent;
    std::uint32_t unit;
    std::uint32_t source;  // the unit whose instances are its children
    std::uint32_t next;    // the next instance edge to follow
  };
  std::vector<Flat> flat;
  std::vector<bool> onPath(dense.size(), false);
  auto open = [&](HierarchyNode node, std::uint32_t parent, std::uint32_t unit, std::uint32_t architecture) {
    std::uint32_t source = kNone;
    if (unit != kNone) {
      node.unit = Info(unit);
      const auto [from, used] = Elaborate(unit, architecture);
      source = from;
      if (used != kNone) node.architecture = Info(used);
      if (onPath[unit]) {
        node.recursive = true;
        source = kNone;
      }
    }
    flat.push_back(Flat{std::move(node), parent, unit, source, source == kNone ? 0 : instanceStart[source]});
    if (unit != kNone && source != kNone) onPath[unit] = true;
  };
  HierarchyNode root;
  root.path = std::string(pool.View(units[dense[top]].name));
  root.unitName = std::string(topName);
  open(std::move(root), kNone, top, kNone);
  std::vector<std::uint32_t> stack{0};
  bool cut = false;
  while (!stack.empty()) {
    const std::uint32_t at = stack.back();
    Flat& node = flat[at];
    if (node.source == kNone || node.next >= instanceStart[node.source + 1] || cut) {
      if (node.unit != kNone && node.source != kNone) onPath[node.unit] = false;
      stack.pop_back();
      continue;
    }
    if (flat.size() >= maxNodes) {
      cut = true;
      ReportCut(units[dense[top]]);
      continue;
    }
    const InstanceEdge& edge = instanceEdges[node.next++];
    const UnitRec& source = units[dense[node.source]];
    const RefRec& ref = source.refs[edge.ref];
    HierarchyNode child;
    // The path keeps the generate and block labels around the instance.
    child.instanceName = std::string(pool.View(ref.label));
    child.path = node.node.path + "/" + ScopePath(source, ref.scope) + child.instanceName;
    child.unitName = std::string(pool.View(ref.name));
    open(std::move(child), at, edge.target, edge.architecture);
    stack.push_back(static_cast<std::uint32_t>(flat.size() - 1));
  }
  // Preorder puts every child after its parent: fold the list into a tree from the back.
  for (std::size_t i = flat.size(); i-- > 1;) {
    HierarchyNode& node = flat[i].node;
    std::reverse(node.children.begin(), node.children.end());
    flat[flat[i].parent].node.children.push_back(std::move(node));
  }
  std::reverse(flat[0].node.children.begin(), flat[0].node.children.end());
  return std::move(flat[0].node);
}

}  // namespace Hdl::scan
