// The hierarchies measured by unit slot and the tops ranked from them. Keeps, of Project::Impl:
// the hierarchy below each unit whose instances are read (measured, onPath), shared by the units
// above it, and those whose architecture the compile order chose (orderMeasured), dropped at every
// change; Unmeasure drops a unit's part and the parts above it when the unit binds again. The tops
// as last ranked (rankedTops, rankedAt, rankScratch, answerRefs, answerCandidates): only the roots
// marked since (rootsDirty, rootDirtyFlag, rootsVolatile, allRootsDirty) are read again and merged
// in. And the caches that outlast the queries while an edit leaves their names alone: what a top
// elaborates to (topElaborated, by generation or by its name's stamp in keyStamps), the version it
// was ranked with (rootVersion, from touches), and the root state last found unchanged
// (rootChecked).

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ProjectImpl.h"

namespace Hdl::scan {

// Drops what the unit measured and what the units above it measured: those that looked up its
// name. A unit not measured has nothing measured above it.
void Project::Impl::Unmeasure(std::uint32_t slot) {
  std::vector<std::uint32_t> work{slot};
  while (!work.empty()) {
    const std::uint32_t at = work.back();
    work.pop_back();
    if (!measured[at]) continue;
    measured[at].reset();
    DirtyName(units[at].IndexKey());
    for (const Sym library : {Sym{0}, LibraryOf(units[at])}) {
      const auto found = watchers.find(WatchKey(units[at].IndexKey(), library));
      if (found != watchers.end()) work.insert(work.end(), found->second.begin(), found->second.end());
    }
  }
}

// DefaultArchitecture, by slot: an entity's architectures are those of its name and library
// when it is the entity used there, analysed with it (OwnerOf), not those after an entity of the
// name defined again, nor before a later definition in their file; of an architecture defined
// again, the one used (Before tells which). A choice between several sets `byOrder`.
std::uint32_t Project::Impl::DefaultArchitectureLive(std::uint32_t entity, bool* byOrder) {
  const UnitRec& owner = units[entity];
  if (FindLive(owner.key, Bit(UnitKind::kVhdlEntity), LibraryOf(owner), 0, true) != entity) return kNone;
  const std::vector<std::uint32_t>& listed = *Listed(owner.IndexKey(), LibraryOf(owner));
  const auto candidate = [&](std::uint32_t slot) {
    const UnitRec& architecture = units[slot];
    if (architecture.kind != UnitKind::kVhdlArchitecture || LibraryOf(architecture) != LibraryOf(owner) ||
        architecture.primaryKey != owner.key)
      return false;
    return OwnerOf(slot) == entity;
  };
  std::uint32_t best = kNone;
  for (std::uint32_t slot : listed) {
    if (!candidate(slot)) continue;
    const bool again = std::any_of(listed.begin(), listed.end(), [&](std::uint32_t other) {
      return other != slot && units[other].key == units[slot].key && Before(other, slot) && candidate(other);
    });
    if (again) continue;
    if (best == kNone) {
      best = slot;
      continue;
    }
    *byOrder = true;
    ResolveOrder();
    if (AnalysedAfter(slot, best)) best = slot;
  }
  return best;
}

// Whether the entity has an architecture besides `architecture`, which its default may be: told
// without the compile order, which an edit would make Measure work out again.
bool Project::Impl::HasOtherArchitecture(std::uint32_t entity, std::uint32_t architecture) const {
  const UnitRec& owner = units[entity];
  const std::vector<std::uint32_t>* listed = Listed(owner.IndexKey(), LibraryOf(owner));
  return listed != nullptr && std::any_of(listed->begin(), listed->end(), [&](std::uint32_t slot) {
           return slot != architecture && units[slot].kind == UnitKind::kVhdlArchitecture &&
                  LibraryOf(units[slot]) == LibraryOf(owner) && units[slot].primaryKey == owner.key;
         });
}

// Elaborate, by slot.
std::pair<std::uint32_t, std::uint32_t> Project::Impl::ElaborateLive(std::uint32_t unit, std::uint32_t architecture,
                                                                    bool* byOrder) {
  const UnitRec& rec = units[unit];
  if (rec.kind == UnitKind::kVhdlConfiguration) {
    const std::uint32_t entity = FindLive(rec.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(rec), 0, true);
    if (entity == kNone) return {kNone, kNone};
    for (const RefRec& ref : rec.refs) {
      if (ref.kind == RefKind::kArchitecture) {
        architecture = FindSecondaryLive(entity, UnitKind::kVhdlArchitecture, ref.key);
        break;
      }
    }
    if (architecture == kNone) architecture = DefaultArchitectureLive(entity, byOrder);
    return {architecture, architecture};
  }
  if (rec.kind == UnitKind::kVhdlEntity) {
    if (architecture == kNone) architecture = DefaultArchitectureLive(unit, byOrder);
    return {architecture, architecture};
  }
  return {unit, kNone};
}

// Measures the hierarchy below `start` (a unit whose instances are read) and what it needs
// below, keeping each unit's part; false when following instances comes round, which the
// reference model's walk settles.
bool Project::Impl::Measure(std::uint32_t start) {
  if (start == kNone || measured[start]) return true;
  struct Frame {
    std::uint32_t slot;
    std::uint32_t next;
    std::shared_ptr<SourceNode> made;
    bool byOrder;
  };
  std::vector<Frame> stack;
  auto open = [&](std::uint32_t slot) {
    onPath[slot] = 1;
    auto made = std::make_shared<SourceNode>();
    made->children.reserve(units[slot].liveEdges.size());
    stack.push_back({slot, 0, std::move(made), false});
  };
  open(start);
  while (!stack.empty()) {
    const std::uint32_t slot = stack.back().slot;
    const UnitRec& unit = units[slot];
    const std::uint32_t next = stack.back().next;
    if (next == unit.liveEdges.size()) {
      onPath[slot] = 0;
      if (stack.back().byOrder) orderMeasured.push_back(slot);
      measured[slot] = std::move(stack.back().made);
      stack.pop_back();
      continue;
    }
    const InstanceEdge& edge = unit.liveEdges[next];
    bool byOrder = false;
    std::uint32_t source = kNone;
    std::uint32_t used = kNone;
    if (edge.target != kNone) std::tie(source, used) = ElaborateLive(edge.target, edge.architecture, &byOrder);
    const bool other = edge.architecture != kNone && HasOtherArchitecture(edge.target, edge.architecture);
    stack.back().byOrder = stack.back().byOrder || byOrder;
    if (source != kNone && !measured[source]) {
      if (onPath[source]) {
        for (const Frame& frame : stack) onPath[frame.slot] = 0;
        return false;
      }
      open(source);  // the edge is taken again once the child is measured
      continue;
    }
    const RefRec& ref = unit.refs[edge.ref];
    SourceNode::Child child;
    child.label = pool.View(ref.label);
    child.name = pool.View(ref.name);
    if (ref.scope < unit.scopes.size()) child.scope = pool.View(pool.Intern(ScopePath(unit, ref.scope)));
    child.unit = edge.target;
    if (edge.target != kNone) child.info = InfoOf(edge.target);
    if (used != kNone) child.architecture = InfoOf(used);
    std::uint32_t depth = 1;
    std::uint64_t nodes = 1;
    SourceNode& at = *stack.back().made;
    at.otherArchitecture = at.otherArchitecture || other;
    if (source != kNone) {
      child.below = measured[source];
      depth = child.below->depth;
      nodes = child.below->nodes;
      at.otherArchitecture = at.otherArchitecture || child.below->otherArchitecture;
    }
    at.depth = std::max(at.depth, depth + 1);
    at.nodes = nodes > ~std::uint64_t{0} - at.nodes ? ~std::uint64_t{0} : at.nodes + nodes;
    at.children.push_back(std::move(child));
    ++stack.back().next;
  }
  return true;
}

std::uint32_t Project::Impl::FindTopLive(std::string_view name, std::string_view library) {
  return FindTopWith(name, library, [this](auto... args) { return FindLive(args...); });
}

// ElaborateLive of a top as it stands alone.
std::pair<std::uint32_t, std::uint32_t> Project::Impl::ElaborateTop(std::uint32_t top) {
  if (topElaborated.size() < units.size()) topElaborated.resize(units.size());
  Elaborated& kept = topElaborated[top];
  const UnitRec& unit = units[top];
  if (kept.generation != generation && !(kept.byName && kept.stamp == KeyStamp(unit.IndexKey()))) {
    bool byOrder = false;
    kept.found = ElaborateLive(top, kNone, &byOrder);
    kept.generation = generation;
    kept.byName = unit.kind != UnitKind::kVhdlConfiguration && !byOrder;
    kept.stamp = KeyStamp(unit.IndexKey());
  }
  return kept.found;
}

// The tops ranked as the reference ranks them; none when some hierarchy below them comes round.
// An edit changes few of them: the tops that still rank by the same fields keep their order of
// the last answer, and only the others are sorted and merged in. The fields end in the unit's
// place in file order, which no two units share, so this is the order a whole sort gives.
// False when some hierarchy below a top comes round, which the reference model settles.
bool Project::Impl::TopCandidatesLive() {
  if (allRootsDirty) {
    allRootsDirty = false;
    for (std::uint32_t slot : roots) DirtyRoot(slot);
    for (const Ranked& top : rankedTops) DirtyRoot(top.slot);
  }
  for (std::uint32_t slot : rootsVolatile) DirtyRoot(slot);
  rootsVolatile.clear();
  if (rankedAt.size() < units.size()) rankedAt.resize(units.size(), kNone);
  if (rootVersion.size() < units.size()) rootVersion.resize(units.size(), 0);
  std::vector<std::uint8_t>& dropped = rankScratch.dropped;
  dropped.assign(rankedTops.size(), 0);
  std::vector<Ranked> moved;
  for (std::uint32_t slot : rootsDirty) {
    const std::uint32_t at = rankedAt[slot];
    if (!roots.contains(slot) || DefinedAgainLive(slot)) {
      if (at != kNone) dropped[at] = 1;
      continue;
    }
    const std::uint32_t source = ElaborateTop(slot).first;
    if (!Measure(source)) {
      DropDirtyRoots();
      return false;
    }
    if (!topElaborated[slot].byName) rootsVolatile.push_back(slot);
    // The version vouches for what HierarchyRoot answers by the unit's name: when that is another
    // unit of the name, whose hierarchy may change unseen here, none is known. Which unit the name
    // finds changes only with the units of the name, which rank this one again.
    rootVersion[slot] = FindTopLive(pool.View(units[slot].name), {}) == slot ? ++touches : 0;
    const UnitRec& unit = units[slot];
    const FileRec& file = files[unit.file];
    Ranked ranked{slot, !unit.hasPorts, 1, 1, file.order, file.sequence, unit.position};
    if (source != kNone) {
      ranked.depth = measured[source]->depth;
      ranked.nodes = measured[source]->nodes;
    }
    if (at != kNone && rankedTops[at] == ranked) continue;
    if (at != kNone) dropped[at] = 1;
    moved.push_back(ranked);
  }
  for (std::uint32_t slot : rootsDirty) rootDirtyFlag[slot] = 0;
  rootsDirty.clear();
  std::sort(moved.begin(), moved.end(), RanksBefore);
  std::vector<Ranked>& tops = rankScratch.tops;
  tops.clear();
  tops.reserve(rankedTops.size() + moved.size());
  auto next = moved.begin();
  for (std::size_t at = 0; at < rankedTops.size(); ++at) {
    if (dropped[at]) continue;
    for (; next != moved.end() && RanksBefore(*next, rankedTops[at]); ++next) tops.push_back(*next);
    tops.push_back(rankedTops[at]);
  }
  tops.insert(tops.end(), next, moved.end());
  for (const Ranked& top : rankedTops) rankedAt[top.slot] = kNone;
  rankedTops.swap(tops);
  answerRefs.clear();
  for (std::uint32_t at = 0; at < rankedTops.size(); ++at) {
    const std::uint32_t slot = rankedTops[at].slot;
    rankedAt[slot] = at;
    answerRefs.push_back({slot + 1, rootVersion[slot]});
  }
  return true;
}

// Whether RootLive(top, topName) would answer as `kept`, read from the model as it is now,
// without making a cursor; false where RootLive would turn to the reference model. `known`: the
// top and its units' fields are known to be as when `kept` was last checked.
bool Project::Impl::RootLiveStill(const HierarchyCursor::State& kept, std::uint32_t top, std::string_view topName,
                                  bool known) {
  const auto [source, used] = ElaborateTop(top);
  if (!Measure(source) || (source != kNone && measured[source]->nodes > maxNodes)) return false;
  if (kept.shape || kept.parent || kept.unit != top || kept.pool != poolOwner ||
      kept.bound != HierarchyCursor::State::kUncut) {
    return false;
  }
  if (source == kNone ? kept.measured || kept.source != kNone : kept.measured != measured[source]) return false;
  if (known) return kept.architecture == used;
  const HierarchyNode& node = kept.node;
  return !node.recursive && node.instanceName.empty() && node.path == pool.View(units[top].name) &&
         node.unitName == topName && node.unit && SameInfo(*node.unit, top) &&
         (used == kNone ? !node.architecture : node.architecture && SameInfo(*node.architecture, used));
}

// Whether `kept` was found unchanged for `topName` while nothing of that name has been touched.
bool Project::Impl::CheckedLately(const HierarchyCursor::State& kept, std::string_view topName) const {
  if (kept.unit >= rootChecked.size()) return false;
  const RootCheck& check = rootChecked[kept.unit];
  return check.state == &kept && check.stamp == KeyStamp(units[kept.unit].IndexKey()) &&
         kept.node.unitName == topName;
}

void Project::Impl::NoteChecked(const HierarchyCursor::State& kept) {
  if (rootChecked.size() <= kept.unit) rootChecked.resize(units.size());
  rootChecked[kept.unit] = {&kept, KeyStamp(units[kept.unit].IndexKey())};
}

// info == InfoOf(slot); the names read from the pool are mostly the very views kept.
bool Project::Impl::SameInfo(const UnitInfo& info, std::uint32_t slot) const {
  const auto same = [](std::string_view a, std::string_view b) {
    return (a.data() == b.data() && a.size() == b.size()) || a == b;
  };
  const UnitRec& unit = units[slot];
  const FileRec& file = files[unit.file];
  return info.kind == unit.kind && info.file == file.handle && info.line == unit.line &&
         info.hasPorts == unit.hasPorts && info.complete == unit.complete && same(info.name, pool.View(unit.name)) &&
         same(info.primary, pool.View(unit.primary)) && same(info.library, pool.View(file.library)) &&
         same(info.path, pool.View(file.path));
}

// The top's hierarchy read from the measured units, which share what is below a unit however
// many instances lead there; past the node bound it is cut where a hierarchy made whole is, and
// says so. The reference model's where the hierarchy comes round, or where it passes the bound
// and a unit in it may be the same as one above, so that where to cut depends on the path.
HierarchyCursor Project::Impl::RootLive(std::uint32_t top, std::string_view topName) {
  bool byOrder = false;
  const auto [source, used] = ElaborateLive(top, kNone, &byOrder);
  const bool measuredWhole = Measure(source);
  const bool cut = measuredWhole && source != kNone && measured[source]->nodes > maxNodes;
  if (!measuredWhole || (cut && measured[source]->otherArchitecture)) {
    Resolve();
    return Root(denseOf[top], topName);
  }
  auto state = std::make_shared<HierarchyCursor::State>();
  if (cut) {
    state->bound = maxNodes;
    ReportCut(units[top]);
  }
  state->pool = poolOwner;
  state->unit = top;
  if (source != kNone) state->measured = measured[source];
  state->node.path = std::string(pool.View(units[top].name));
  state->node.unitName = std::string(topName);
  state->node.unit = InfoOf(top);
  if (used != kNone) state->node.architecture = InfoOf(used);
  state->architecture = used;
  return HierarchyCursor(std::move(state));
}

void Project::Impl::ReportUnknownTop(std::string_view name) {
  Message message;
  message.kind = MessageKind::kUnknownTop;
  message.text = "no entity, module or configuration '" + std::string(name) + "' in the project";
  QueryMessage(std::move(message));
}

}  // namespace Hdl::scan
