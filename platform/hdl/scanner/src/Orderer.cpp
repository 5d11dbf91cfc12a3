// The Orderer: a topological order in which ties go to the smallest key and cycles give way as
// Orderer.h tells, with the strongly connected components it needs once the order gets stuck.
// Every run starts afresh from the nodes and edges it is given; it keeps no state.

#include "Orderer.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <memory>
#include <queue>
#include <utility>

#include "ProjectRecords.h"

namespace Hdl::scan {

namespace {

// The strongly connected components among some nodes, over the edges between them (Tarjan's,
// without recursion). Its room is kept from one numbering to the next, so that numbering a few
// nodes again costs only as much as they are.
class StrongComponents {
 public:
  StrongComponents(std::size_t n, const std::vector<std::uint32_t>& start, const std::vector<std::uint32_t>& next)
      : m_start(start), m_next(next), m_stamp(n, 0), m_index(n, 0), m_low(n, 0), m_cursor(n, 0), m_onStack(n, 0) {}

  // Numbers the components among `nodes` from `first` on into `component`; returns the next number.
  std::uint32_t Number(const std::vector<std::uint32_t>& nodes, std::uint32_t first,
                       std::vector<std::uint32_t>& component) {
    ++m_round;
    for (std::uint32_t v : nodes) {
      m_stamp[v] = m_round;
      m_index[v] = kNone;
    }
    std::uint32_t counter = 0, components = first;
    for (std::uint32_t root : nodes) {
      if (m_index[root] != kNone) continue;
      m_calls.push_back(root);
      while (!m_calls.empty()) {
        const std::uint32_t v = m_calls.back();
        if (m_index[v] == kNone) {
          m_index[v] = m_low[v] = counter++;
          m_cursor[v] = m_start[v];
          m_stack.push_back(v);
          m_onStack[v] = 1;
        }
        bool descended = false;
        while (m_cursor[v] < m_start[v + 1]) {
          const std::uint32_t w = m_next[m_cursor[v]++];
          if (!Holds(w)) continue;
          if (m_index[w] == kNone) {
            m_calls.push_back(w);
            descended = true;
            break;
          }
          if (m_onStack[w]) m_low[v] = std::min(m_low[v], m_index[w]);
        }
        if (descended) continue;
        m_calls.pop_back();
        if (!m_calls.empty()) m_low[m_calls.back()] = std::min(m_low[m_calls.back()], m_low[v]);
        if (m_low[v] != m_index[v]) continue;
        std::uint32_t w = kNone;
        do {
          w = m_stack.back();
          m_stack.pop_back();
          m_onStack[w] = 0;
          component[w] = components;
        } while (w != v);
        ++components;
      }
    }
    return components;
  }
  // Whether `node` was among the nodes last numbered.
  bool Holds(std::uint32_t node) const { return m_stamp[node] == m_round; }

 private:
  const std::vector<std::uint32_t>& m_start;
  const std::vector<std::uint32_t>& m_next;
  std::uint32_t m_round = 0;
  std::vector<std::uint32_t> m_stamp, m_index, m_low, m_cursor;
  std::vector<std::uint8_t> m_onStack;
  std::vector<std::uint32_t> m_stack, m_calls;
};

}  // namespace

std::vector<std::uint32_t> Orderer::Run(std::size_t n, const std::vector<std::uint64_t>& keys,
                                        const std::vector<Edge>& edges,
                                        std::vector<std::vector<std::uint32_t>>* cycles) {
  std::vector<std::uint32_t> userStart(n + 1, 0);
  for (const Edge& e : edges) ++userStart[e.to + 1];
  for (std::size_t i = 0; i < n; ++i) userStart[i + 1] += userStart[i];
  std::vector<std::uint32_t> users(edges.size());
  std::vector<std::uint8_t> userHard(edges.size());
  std::vector<std::uint8_t> userYields(edges.size());
  std::vector<std::uint32_t> fill(userStart.begin(), userStart.end() - 1);
  std::vector<std::uint32_t> pending(n, 0);
  std::vector<std::uint32_t> hardPending(n, 0);
  std::vector<std::uint32_t> firmPending(n, 0);  // on edges other than the weak ones of a cycle
  // A weak edge only gives way where it closes a cycle: across components it holds as a soft one.
  const bool anyWeak = std::any_of(edges.begin(), edges.end(), [](const Edge& e) { return e.weak && !e.hard; });
  const std::vector<std::uint32_t> component = anyWeak ? Components(n, edges) : std::vector<std::uint32_t>();
  for (const Edge& e : edges) {
    const bool yields = anyWeak && e.weak && !e.hard && component[e.from] == component[e.to];
    users[fill[e.to]] = e.from;
    userYields[fill[e.to]] = yields;
    userHard[fill[e.to]++] = e.hard;
    ++pending[e.from];
    if (e.hard) ++hardPending[e.from];
    if (!yields) ++firmPending[e.from];
  }
  // The nodes by key; mostly in order already.
  std::vector<std::uint32_t> byKey(n);
  for (std::uint32_t i = 0; i < n; ++i) byKey[i] = i;
  auto byKeyLess = [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; };
  if (!std::is_sorted(byKey.begin(), byKey.end(), byKeyLess)) std::sort(byKey.begin(), byKey.end(), byKeyLess);
  std::vector<std::uint32_t> rank(n);
  for (std::uint32_t r = 0; r < n; ++r) rank[byKey[r]] = r;
  // The ready nodes as bits by rank; below `lowest` none is set. Cheaper than a heap: a node is
  // set once and the search for the next moves on word by word.
  std::vector<std::uint64_t> ready((n + 63) / 64, 0);
  std::size_t lowest = n;
  auto setReady = [&](std::uint32_t node) {
    const std::uint32_t r = rank[node];
    ready[r / 64] |= std::uint64_t{1} << (r % 64);
    lowest = std::min<std::size_t>(lowest, r);
  };
  auto takeReady = [&]() -> std::uint32_t {
    for (std::size_t word = lowest / 64; word < ready.size(); ++word) {
      std::uint64_t bits = ready[word];
      if (word == lowest / 64) bits &= ~std::uint64_t{0} << (lowest % 64);
      if (bits == 0) continue;
      const std::size_t r = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
      ready[word] &= ~(std::uint64_t{1} << (r % 64));
      lowest = r;
      return byKey[r];
    }
    lowest = n;
    return kNone;
  };
  std::vector<std::uint8_t> done(n, 0);
  using Entry = std::pair<std::uint64_t, std::uint32_t>;
  // Nodes that only soft edges hold back, and those that only weak edges of a cycle hold back;
  // kept from the first time the order gets stuck on.
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> hardReady;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> firmReady;
  // Every node of a component that waits on nothing outside itself: where a hard cycle is sought.
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> closedReady;
  bool stuckOnce = false;
  // From the first time the order gets stuck: the strongly connected components of the nodes
  // left, their members, and how many edges each still waits on that leave it. A component
  // whose count is 0 is closed: only there may a cycle give way. Breaking a cycle numbers the
  // rest of its component again, since it may fall apart, the parts under the whole. A node
  // outside a component that needs one of its members needs all of them, so such an edge is
  // met only once the whole component is done.
  std::vector<std::uint32_t> depStart;
  std::vector<std::uint32_t> deps;
  std::vector<std::uint32_t> depSlot;  // the edge's place among its target's users
  std::vector<std::uint8_t> met;       // by place among the users
  std::vector<std::uint32_t> part;     // the component of each node left
  std::vector<std::vector<std::uint32_t>> members;
  std::vector<std::uint32_t> outPending;
  std::vector<std::uint32_t> parent;     // the component a part was split from
  std::vector<std::uint32_t> remaining;  // members not yet done
  std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> deferred;  // (place, target)
  std::unique_ptr<StrongComponents> strong;
  auto closed = [&](std::uint32_t node) { return outPending[part[node]] == 0; };
  auto offer = [&](std::uint32_t c) {
    for (std::uint32_t v : members[c]) {
      if (done[v]) continue;
      closedReady.emplace(keys[v], v);
      if (hardPending[v] == 0) hardReady.emplace(keys[v], v);
      if (firmPending[v] == 0) firmReady.emplace(keys[v], v);
    }
  };
  for (std::uint32_t i = 0; i < n; ++i) {
    if (pending[i] == 0) setReady(i);
  }
  std::vector<std::uint32_t> order;
  order.reserve(n);
  // The edge at place `k` among the users of `target` holds its user back no more.
  auto meet = [&](std::uint32_t k, std::uint32_t target) {
    const std::uint32_t user = users[k];
    if (done[user]) return;
    if (--pending[user] == 0) setReady(user);
    if (userHard[k] && --hardPending[user] == 0 && stuckOnce && closed(user)) hardReady.emplace(keys[user], user);
    if (!userYields[k] && --firmPending[user] == 0 && stuckOnce && closed(user)) {
      firmReady.emplace(keys[user], user);
    }
    if (!stuckOnce) return;
    met[k] = 1;
    if (part[user] != part[target] && --outPending[part[user]] == 0) offer(part[user]);
  };
  // The largest component that holds `target` but not `user`; kNone when they share a part.
  auto apart = [&](std::uint32_t user, std::uint32_t target) {
    auto holdsUser = [&](std::uint32_t c) {
      for (std::uint32_t u = part[user]; u != kNone; u = parent[u]) {
        if (u == c) return true;
      }
      return false;
    };
    std::uint32_t widest = kNone;
    for (std::uint32_t c = part[target]; c != kNone && !holdsUser(c); c = parent[c]) widest = c;
    return widest;
  };
  auto emit = [&](std::uint32_t node) {
    done[node] = 1;
    order.push_back(node);
    for (std::uint32_t k = userStart[node]; k < userStart[node + 1]; ++k) {
      const std::uint32_t user = users[k];
      if (done[user]) continue;
      const std::uint32_t whole = stuckOnce ? apart(user, node) : kNone;
      if (whole == kNone) {
        meet(k, node);
      } else {
        deferred[whole].emplace_back(k, node);
      }
    }
    if (!stuckOnce) return;
    for (std::uint32_t c = part[node]; c != kNone; c = parent[c]) {
      if (--remaining[c] != 0) continue;
      std::vector<std::pair<std::uint32_t, std::uint32_t>> waiting;
      waiting.swap(deferred[c]);
      for (const auto& [k, target] : waiting) meet(k, target);
    }
  };
  // Numbers the components among `nodes`, all left, and offers those that are closed.
  auto number = [&](const std::vector<std::uint32_t>& nodes, std::uint32_t whole) {
    const auto first = static_cast<std::uint32_t>(members.size());
    const std::uint32_t next = strong->Number(nodes, first, part);
    members.resize(next);
    outPending.resize(next, 0);
    parent.resize(next, whole);
    remaining.resize(next, 0);
    deferred.resize(next);
    for (std::uint32_t v : nodes) {
      members[part[v]].push_back(v);
      ++remaining[part[v]];
      for (std::uint32_t k = depStart[v]; k < depStart[v + 1]; ++k) {
        if (!met[depSlot[k]] && part[deps[k]] != part[v]) ++outPending[part[v]];
      }
    }
    for (std::uint32_t c = first; c < next; ++c) {
      if (outPending[c] == 0) offer(c);
    }
  };
  // Emits a node where a cycle gives way, and numbers the rest of its component again.
  auto breakAt = [&](std::uint32_t node) {
    const std::uint32_t c = part[node];
    emit(node);
    std::vector<std::uint32_t> rest;
    for (std::uint32_t v : members[c]) {
      if (!done[v]) rest.push_back(v);
    }
    members[c].clear();
    members[c].shrink_to_fit();
    if (!rest.empty()) number(rest, c);
  };
  std::size_t byKeyAt = 0;
  std::vector<std::uint32_t> hardStart;
  std::vector<std::uint32_t> hardDeps;
  std::vector<std::uint32_t> visited(n, kNone);
  std::uint32_t walk = 0;
  while (order.size() < n) {
    if (const std::uint32_t node = takeReady(); node != kNone) {
      emit(node);
      continue;
    }
    if (!stuckOnce) {
      stuckOnce = true;
      depStart.assign(n + 1, 0);
      for (const Edge& e : edges) ++depStart[e.from + 1];
      for (std::size_t i = 0; i < n; ++i) depStart[i + 1] += depStart[i];
      deps.assign(edges.size(), 0);
      depSlot.assign(edges.size(), 0);
      met.assign(edges.size(), 0);
      {
        std::vector<std::uint32_t> at(depStart.begin(), depStart.end() - 1);
        for (std::uint32_t target = 0; target < n; ++target) {
          for (std::uint32_t k = userStart[target]; k < userStart[target + 1]; ++k) {
            deps[at[users[k]]] = target;
            depSlot[at[users[k]]++] = k;
            met[k] = done[target];
          }
        }
      }
      strong = std::make_unique<StrongComponents>(n, depStart, deps);
      part.assign(n, kNone);
      std::vector<std::uint32_t> left;
      for (std::uint32_t i = 0; i < n; ++i) {
        if (!done[i]) left.push_back(i);
      }
      number(left, kNone);
    }
    bool broken = false;
    for (auto* queue : {&firmReady, &hardReady}) {
      while (!broken && !queue->empty()) {
        const std::uint32_t node = queue->top().second;
        queue->pop();
        // One whose component has opened again is offered anew when it closes.
        if (!done[node] && closed(node)) {
          breakAt(node);  // only weak, or only soft, edges held it back
          broken = true;
        }
      }
    }
    if (broken) continue;
    if (hardStart.empty()) {
      hardStart.assign(n + 1, 0);
      for (const Edge& e : edges) {
        if (e.hard) ++hardStart[e.from + 1];
      }
      for (std::size_t i = 0; i < n; ++i) hardStart[i + 1] += hardStart[i];
      hardDeps.assign(hardStart.back(), 0);
      std::vector<std::uint32_t> at(hardStart.begin(), hardStart.end() - 1);
      for (const Edge& e : edges) {
        if (e.hard) hardDeps[at[e.from]++] = e.to;
      }
    }
    while (!closedReady.empty() && (done[closedReady.top().second] || !closed(closedReady.top().second))) {
      closedReady.pop();
    }
    // Every node of a closed component waits on a hard edge within it, so following them must
    // come round. The nodes left always hold a closed component; the smallest left stands in
    // should that ever fail.
    std::vector<std::uint32_t> path;
    std::uint32_t node = kNone;
    if (!closedReady.empty()) {
      node = closedReady.top().second;
    } else {
      while (done[byKey[byKeyAt]]) ++byKeyAt;
      node = byKey[byKeyAt];
    }
    ++walk;
    while (visited[node] != walk) {
      visited[node] = walk;
      path.push_back(node);
      std::uint32_t next = kNone;
      for (std::uint32_t k = hardStart[node]; k < hardStart[node + 1]; ++k) {
        if (!done[hardDeps[k]]) {
          next = hardDeps[k];
          break;
        }
      }
      if (next == kNone) break;
      node = next;
    }
    std::vector<std::uint32_t> cycle(std::find(path.begin(), path.end(), node), path.end());
    if (cycle.empty()) cycle.push_back(node);
    std::uint32_t first = cycle.front();
    for (std::uint32_t member : cycle) {
      if (keys[member] < keys[first]) first = member;
    }
    if (cycles) cycles->push_back(cycle);
    breakAt(first);
  }
  return order;
}

// The strongly connected component of each node over every edge.
std::vector<std::uint32_t> Orderer::Components(std::size_t n, const std::vector<Edge>& edges) {
  std::vector<std::uint32_t> start(n + 1, 0);
  for (const Edge& e : edges) ++start[e.from + 1];
  for (std::size_t i = 0; i < n; ++i) start[i + 1] += start[i];
  std::vector<std::uint32_t> next(edges.size());
  {
    std::vector<std::uint32_t> at(start.begin(), start.end() - 1);
    for (const Edge& e : edges) next[at[e.from]++] = e.to;
  }
  std::vector<std::uint32_t> all(n), component(n, kNone);
  for (std::uint32_t i = 0; i < n; ++i) all[i] = i;
  StrongComponents(n, start, next).Number(all, 0, component);
  return component;
}

bool Orderer::HasHardCycle(std::size_t n, const std::vector<Edge>& edges) {
  std::vector<Edge> hard;
  for (const Edge& e : edges) {
    if (!e.hard) continue;
    if (e.from == e.to) return true;
    hard.push_back(e);
  }
  std::vector<std::uint32_t> component = Components(n, hard);
  std::sort(component.begin(), component.end());
  return std::adjacent_find(component.begin(), component.end()) != component.end();
}

}  // namespace Hdl::scan
