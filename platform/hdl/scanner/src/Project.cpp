// The project over the scanner. Scans are kept per file in compact records of interned names; a
// name index lets one file's units come and go without touching the others. What tops and
// hierarchies need is kept up to date edit by edit by unit slot (the live model), so that an edit
// costs what it changes. The compile order and the messages of binding work on a dense copy of the
// graph, rebuilt only when one of them is asked for after a change; the live model answers as it.

#include "HdlScan/Project.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>
#include <functional>
#include <iterator>
#include <mutex>
#include <queue>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "ScanCommon.h"

namespace Hdl::scan {

namespace {

using Sym = std::uint32_t;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// A name within one library; library 0 stands for every library.
constexpr std::uint64_t WatchKey(Sym key, Sym library) { return std::uint64_t{library} << 32 | key; }
// Scans read files and little else: past a few threads the disk and the caller, who takes their
// results one by one, set the pace.
constexpr std::size_t kMaxScanThreads = 8;
// Files the caller takes between wake-ups of the helpers waiting to free their scans.
constexpr std::uint32_t kTakenBatch = 64;
// Files to scan for each thread the project starts by itself: starting and waking threads costs
// more than scanning a few files, which a single edit leaves.
constexpr std::size_t kScansPerThread = 8;

// The slot of each file by its handle, in one flat table: a large project's files are added one
// at a time, and a table of nodes would be read back node by node, scattered in memory, each time
// it grows. Open addressing with linear probing; a removal shifts the entries behind it back.
class HandleIndex {
 public:
  std::size_t Size() const { return m_size + (m_zero ? 1 : 0); }

  const std::uint32_t* Find(FileHandle handle) const {
    if (handle == kFree) return m_zero ? &m_zeroSlot : nullptr;
    if (m_cells.empty()) return nullptr;
    for (std::size_t i = Home(handle);; i = (i + 1) & Mask()) {
      if (m_cells[i].handle == handle) return &m_cells[i].slot;
      if (m_cells[i].handle == kFree) return nullptr;
    }
  }

  // `handle` is not there yet: its file was looked for first.
  void Insert(FileHandle handle, std::uint32_t slot) {
    if (handle == kFree) {
      m_zero = true;
      m_zeroSlot = slot;
      return;
    }
    if ((m_size + 1) * 3 > m_cells.size() * 2) Grow();
    std::size_t i = Home(handle);
    while (m_cells[i].handle != kFree) i = (i + 1) & Mask();
    m_cells[i] = Cell{handle, slot};
    ++m_size;
  }

  bool Erase(FileHandle handle) {
    if (handle == kFree) return std::exchange(m_zero, false);
    if (m_cells.empty()) return false;
    std::size_t hole = Home(handle);
    while (m_cells[hole].handle != handle) {
      if (m_cells[hole].handle == kFree) return false;
      hole = (hole + 1) & Mask();
    }
    // An entry behind the hole moves into it unless its home lies after the hole, on its way.
    for (std::size_t at = (hole + 1) & Mask(); m_cells[at].handle != kFree; at = (at + 1) & Mask()) {
      const std::size_t home = Home(m_cells[at].handle);
      if (((at - home) & Mask()) < ((at - hole) & Mask())) continue;
      m_cells[hole] = m_cells[at];
      hole = at;
    }
    m_cells[hole] = Cell{};
    --m_size;
    return true;
  }

 private:
  static constexpr FileHandle kFree = 0;  // kept apart, as a free cell's mark
  struct Cell {
    FileHandle handle = kFree;
    std::uint32_t slot = 0;
  };

  std::size_t Mask() const { return m_cells.size() - 1; }
  std::size_t Home(FileHandle handle) const {
    std::uint64_t bits = handle;
    bits ^= bits >> 29;
    bits *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(bits >> 32) & Mask();
  }
  // Doubles, to at most two thirds full.
  void Grow() {
    std::vector<Cell> old(m_cells.empty() ? 16 : m_cells.size() * 2);
    old.swap(m_cells);
    for (const Cell& cell : old) {
      if (cell.handle == kFree) continue;
      std::size_t i = Home(cell.handle);
      while (m_cells[i].handle != kFree) i = (i + 1) & Mask();
      m_cells[i] = cell;
    }
  }

  std::vector<Cell> m_cells;
  std::size_t m_size = 0;
  bool m_zero = false;
  std::uint32_t m_zeroSlot = 0;
};

// Every distinct text once, in chunks that never move: views into it stay valid. Each cell of
// the table holds a symbol beside the upper half of its text's hash, which also places it: a probe reads a text only where the hash agrees, and growing reads none, so a large
// project's paths are not reached all over memory each time one is interned.
class StringPool {
 public:
  StringPool() { Intern({}); }

  Sym Intern(std::string_view text) {
    if (m_views.size() * 2 >= m_table.size()) Grow();
    const std::size_t mask = m_table.size() - 1;
    const std::uint64_t tag = Tag(text);
    for (std::size_t slot = tag & mask;; slot = (slot + 1) & mask) {
      const std::uint64_t cell = m_table[slot];
      if (cell == kFreeCell) {
        const Sym sym = static_cast<Sym>(m_views.size());
        m_views.push_back(Store(text));
        m_table[slot] = tag << 32 | sym;
        return sym;
      }
      const Sym found = static_cast<Sym>(cell);
      if (cell >> 32 == tag && m_views[found] == text) return found;
    }
  }
  std::string_view View(Sym sym) const { return m_views[sym]; }
  std::size_t Size() const { return m_views.size(); }

 private:
  static constexpr std::uint64_t kFreeCell = ~std::uint64_t{0};
  static std::uint64_t Tag(std::string_view text) {
    return static_cast<std::uint64_t>(std::hash<std::string_view>()(text)) >> 32;
  }

  void Grow() {
    std::vector<std::uint64_t> table(std::max<std::size_t>(64, m_table.size() * 2), kFreeCell);
    const std::size_t mask = table.size() - 1;
    for (const std::uint64_t cell : m_table) {
      if (cell == kFreeCell) continue;
      std::size_t slot = (cell >> 32) & mask;
      while (table[slot] != kFreeCell) slot = (slot + 1) & mask;
      table[slot] = cell;
    }
    m_table.swap(table);
  }

  std::string_view Store(std::string_view text) {
    constexpr std::size_t kChunk = 64 * 1024;
    if (text.empty()) return {};
    if (text.size() > kChunk / 4) {
      m_large.push_back(std::make_unique<char[]>(text.size()));
      std::memcpy(m_large.back().get(), text.data(), text.size());
      return {m_large.back().get(), text.size()};
    }
    if (m_chunks.empty() || m_used + text.size() > kChunk) {
      m_chunks.push_back(std::make_unique<char[]>(kChunk));
      m_used = 0;
    }
    char* at = m_chunks.back().get() + m_used;
    std::memcpy(at, text.data(), text.size());
    m_used += text.size();
    return {at, text.size()};
  }

  std::vector<std::unique_ptr<char[]>> m_chunks;
  std::vector<std::unique_ptr<char[]>> m_large;
  std::size_t m_used = 0;
  std::vector<std::string_view> m_views;
  std::vector<std::uint64_t> m_table;
};

constexpr std::uint32_t Bit(UnitKind kind) { return 1u << static_cast<unsigned>(kind); }
constexpr std::uint32_t kVerilogCells = Bit(UnitKind::kVerilogModule) | Bit(UnitKind::kVerilogInterface) |
                                        Bit(UnitKind::kVerilogProgram) | Bit(UnitKind::kVerilogPrimitive);
constexpr std::uint32_t kCells = kVerilogCells | Bit(UnitKind::kVhdlEntity);
constexpr std::uint32_t kPackages = Bit(UnitKind::kVhdlPackage) | Bit(UnitKind::kVerilogPackage);
constexpr std::uint32_t kVhdlPrimaries = Bit(UnitKind::kVhdlEntity) | Bit(UnitKind::kVhdlPackage) |
                                         Bit(UnitKind::kVhdlConfiguration) | Bit(UnitKind::kVhdlContext);

bool IsSecondary(UnitKind kind) { return kind == UnitKind::kVhdlArchitecture || kind == UnitKind::kVhdlPackageBody; }

struct RefRec {
  RefKind kind;
  Sym library;  // folded; 0 when the reference names none
  Sym name;     // as written
  Sym key;      // folded
  Sym secondary;
  Sym label;  // an instance's own
  std::uint32_t line;
  std::uint32_t scope;  // in its unit's scopes
};

// A named block around instances, as the scan keeps it.
struct ScopeRec {
  Sym label;
  std::uint32_t parent;
};

// An instance as the hierarchy follows it.
struct InstanceEdge {
  std::uint32_t ref;  // in the unit's references
  std::uint32_t target;
  std::uint32_t architecture;
};

struct UnitRec {
  std::uint32_t file = 0;
  Sym name = 0;
  Sym key = 0;
  Sym primary = 0;
  Sym primaryKey = 0;
  std::uint32_t line = 0;
  std::uint32_t position = 0;  // in its file
  UnitKind kind = UnitKind::kVhdlEntity;
  bool hasPorts = false;
  bool complete = true;
  bool live = false;
  std::vector<RefRec> refs;
  std::vector<ScopeRec> scopes;
  Interface interface;
  // Kept up to date edit by edit (see Impl::Bind): the instances as bound, the units this one
  // counts as instantiated, and the names it looked up, whose units coming or going bind it again.
  bool bound = false;
  std::vector<InstanceEdge> liveEdges;  // targets and architectures by unit slot
  std::vector<std::uint32_t> marks;
  std::vector<std::uint64_t> watching;  // WatchKeys

  // Secondary units are found under their primary's name.
  Sym IndexKey() const { return IsSecondary(kind) ? primaryKey : key; }
};

// Verilog: the macros a file's scan found where the file starts and those it leaves (ScanResult's),
// and the files whose macros it found there, each once.
struct FileMacros {
  std::vector<MacroState> macrosFound;
  bool undefinesAll = false;
  std::vector<MacroState> macrosLeft;
  std::vector<Sym> macrosLeftIn;  // the included file that set each; kNone: the file's own text
  std::vector<std::uint32_t> macroSources;
  // Of `macroSources`, those whose macros that the file found all came from headers it includes
  // itself, such as the guard of a header both include: the file would read the same without them.
  std::vector<std::uint32_t> headerSources;

  bool HasMacros() const { return !macrosFound.empty() || undefinesAll || !macrosLeft.empty(); }
};

struct FileRec {
  FileHandle handle = 0;
  std::int64_t order = 0;
  std::uint64_t sequence = 0;  // when added: breaks ties of equal orders
  Sym path = 0;
  Sym resolved = 0;  // against the base directory
  Sym library = 0;   // folded
  Language language = Language::kAuto;
  bool live = false;
  bool modified = false;
  bool queued = false;
  bool includesChanged = false;  // listed in includeChanges
  std::vector<std::uint32_t> units;
  std::vector<Sym> includes;
  std::vector<Sym> includesMissing;  // where its last scan looked for an include and found none
  std::vector<Message> messages;
  // Only for a file whose scan found or left macros: most files have none, and a large project
  // holds many records.
  std::unique_ptr<FileMacros> macros;

  const FileMacros& Macros() const {
    static const FileMacros kNoMacros;
    return macros ? *macros : kNoMacros;
  }
  bool HasMacros() const { return macros && macros->HasMacros(); }
};

// Records by slot in chunks that never move: a project of many files neither copies them all as
// it grows nor holds room for as many again.
template <class T>
class ChunkedRecords {
 public:
  T& operator[](std::size_t at) { return m_chunks[at / kChunk][at % kChunk]; }
  const T& operator[](std::size_t at) const { return m_chunks[at / kChunk][at % kChunk]; }
  std::size_t size() const { return m_size; }
  T& emplace_back() {
    if (m_size % kChunk == 0) m_chunks.push_back(std::make_unique<T[]>(kChunk));
    return (*this)[m_size++];
  }

 private:
  static constexpr std::size_t kChunk = 1024;
  std::vector<std::unique_ptr<T[]>> m_chunks;
  std::size_t m_size = 0;
};

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

// A topological order in which ties go to the smallest key. Soft edges give way silently when
// they close a cycle, weak ones before any other; a cycle of hard edges is reported and broken at
// its smallest member. Only the nodes of a cycle give way, and only of one that needs nothing
// outside itself: a node that needs the cycle follows all of it.
class Orderer {
 public:
  struct Edge {
    std::uint32_t from;  // needs `to`
    std::uint32_t to;
    bool hard;
    bool weak;  // of a soft edge: the first to give way
  };

  static std::vector<std::uint32_t> Run(std::size_t n, const std::vector<std::uint64_t>& keys,
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

 private:
  // The strongly connected component of each node over every edge.
  static std::vector<std::uint32_t> Components(std::size_t n, const std::vector<Edge>& edges) {
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
};

// The macros where each file starts, as the files before it in file order leave them: the
// project's own macros, then each file's changes. Scans on other threads look into it while the
// project replaces what a file leaves, so both hold its lock.
class MacroHistory {
 public:
  struct Found {
    std::optional<MacroDefinition> definition;  // none: not defined
    std::uint32_t source = kNone;               // the file that left it so; kNone: the project's own
  };

  explicit MacroHistory(const std::vector<std::string>& given) {
    for (const std::string& setting : given) {
      std::string name;
      MacroDefinition definition;
      if (detail::ParseMacroSetting(setting, &name, &definition)) m_given[std::move(name)] = std::move(definition);
    }
  }

  // What the file `source` at `position` in file order leaves to the files after it.
  void Add(std::uint32_t position, std::uint32_t source, bool undefinesAll, const std::vector<MacroState>& left) {
    const std::unique_lock<std::shared_mutex> hold(m_lock);
    Insert(position, source, undefinesAll, left);
  }
  // The same file leaves something else now.
  void Replace(std::uint32_t position, std::uint32_t source, bool undefinedAll, const std::vector<MacroState>& was,
               bool undefinesAll, const std::vector<MacroState>& left) {
    const std::unique_lock<std::shared_mutex> hold(m_lock);
    auto of = [source](const Change& c) { return c.source == source; };
    if (undefinedAll) m_clears.erase(std::remove_if(m_clears.begin(), m_clears.end(), of), m_clears.end());
    for (const MacroState& state : was) {
      const auto found = m_changes.find(state.name);
      if (found != m_changes.end()) {
        std::erase_if(found->second, of);
        if (found->second.empty()) m_changes.erase(found);
      }
    }
    Insert(position, source, undefinesAll, left);
  }

  // The macro where the file at `position` starts.
  Found At(const std::string& name, std::uint32_t position) const {
    const std::shared_lock<std::shared_mutex> hold(m_lock);
    auto before = [position](const std::vector<Change>& list) {
      const auto at =
          std::partition_point(list.begin(), list.end(), [position](const Change& c) { return c.position < position; });
      return at == list.begin() ? nullptr : &*(at - 1);
    };
    const Change* cleared = before(m_clears);
    if (const auto found = m_changes.find(name); found != m_changes.end()) {
      const Change* change = before(found->second);
      if (change != nullptr && (cleared == nullptr || change->position >= cleared->position)) {
        return {change->definition, change->source};
      }
    }
    if (cleared != nullptr) return {std::nullopt, cleared->source};
    const auto given = m_given.find(name);
    if (given == m_given.end()) return {};
    return {given->second, kNone};
  }

 private:
  struct Change {
    std::uint32_t position;
    std::uint32_t source;
    std::optional<MacroDefinition> definition;
  };

  void Insert(std::uint32_t position, std::uint32_t source, bool undefinesAll, const std::vector<MacroState>& left) {
    auto after = [position](const auto& entry) { return entry.position > position; };
    if (undefinesAll) {
      m_clears.insert(std::find_if(m_clears.begin(), m_clears.end(), after), Change{position, source, {}});
    }
    for (const MacroState& state : left) {
      std::vector<Change>& changes = m_changes[state.name];
      changes.insert(std::find_if(changes.rbegin(), changes.rend(), [&](const Change& c) { return !after(c); }).base(),
                     Change{position, source, state.definition});
    }
  }

  std::unordered_map<std::string, MacroDefinition> m_given;
  std::unordered_map<std::string, std::vector<Change>> m_changes;  // by position
  std::vector<Change> m_clears;                                    // `undefineall`, by position
  mutable std::shared_mutex m_lock;
};

}  // namespace

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
  // Built whole (a tree cut at the node bound, or with instances that come round): the node in it.
  std::shared_ptr<const HierarchyNode> tree;
  const HierarchyNode* at = nullptr;
};

namespace {

HierarchyNode FieldsOf(const HierarchyNode& node) {
  HierarchyNode fields;
  fields.path = node.path;
  fields.instanceName = node.instanceName;
  fields.unitName = node.unitName;
  fields.unit = node.unit;
  fields.architecture = node.architecture;
  fields.recursive = node.recursive;
  return fields;
}

}  // namespace

const HierarchyNode& HierarchyCursor::Node() const { return m_state->node; }

// A measured unit's part is never changed, only dropped and measured anew: the same part is the
// same hierarchy below. A node with nothing to read its children from has none.
bool HierarchyCursor::SameAs(const HierarchyCursor& other) const {
  const State& a = *m_state;
  const State& b = *other.m_state;
  if (&a == &b) return true;
  if (a.tree || b.tree || a.shape || b.shape || a.parent != b.parent || a.unit != b.unit || a.pool != b.pool) {
    return false;
  }
  if (a.measured != b.measured || (!a.measured && (a.source != kNone || b.source != kNone))) return false;
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
    for (const SourceNode::Child& child : self.measured->children) {
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
      children.push_back(HierarchyCursor(std::move(state)));
    }
    return children;
  }
  if (self.tree) {
    children.reserve(self.at->children.size());
    for (const HierarchyNode& child : self.at->children) {
      auto state = std::make_shared<State>();
      state->node = FieldsOf(child);
      state->pool = self.pool;
      state->tree = self.tree;
      state->at = &child;
      children.push_back(HierarchyCursor(std::move(state)));
    }
    return children;
  }
  if (self.source == kNone) return children;
  const HierarchyShape& shape = *self.shape;
  children.reserve(shape.instanceStart[self.source + 1] - shape.instanceStart[self.source]);
  for (std::uint32_t k = shape.instanceStart[self.source]; k < shape.instanceStart[self.source + 1]; ++k) {
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
      for (const State* above = &self; above != nullptr; above = above->parent.get()) {
        if (above->unit == edge.target) {
          node.recursive = true;
          state->source = kNone;
          break;
        }
      }
    }
    state->pool = self.pool;
    state->shape = self.shape;
    state->parent = m_state;
    children.push_back(HierarchyCursor(std::move(state)));
  }
  return children;
}

std::string UnitInfo::Label() const {
  if (kind == UnitKind::kVhdlArchitecture) return std::string(primary) + "(" + std::string(name) + ")";
  if (kind == UnitKind::kVhdlPackageBody) return std::string(name) + "(body)";
  return std::string(name);
}

struct Project::Impl {
  // ---- state

  // Shared with the hierarchy snapshots, whose names are views into it.
  std::shared_ptr<StringPool> poolOwner = std::make_shared<StringPool>();
  StringPool& pool = *poolOwner;
  std::vector<Sym> folded;  // by symbol; kNone until asked for

  ChunkedRecords<FileRec> files;
  std::vector<std::uint32_t> freeFiles;
  HandleIndex byHandle;
  std::uint64_t nextSequence = 0;
  std::vector<std::uint32_t> pending;

  std::vector<UnitRec> units;
  std::vector<std::uint32_t> freeUnits;
  std::unordered_map<Sym, std::vector<std::uint32_t>> index;  // folded name -> unit slots
  // The same slots by folded name and library (WatchKey): with many libraries that share names,
  // a lookup within one library reads only that library's units.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> libraryIndex;
  std::unordered_map<Sym, std::uint32_t> libraryFiles;        // library -> live files in it
  std::unordered_map<Sym, std::vector<std::uint32_t>> includers;
  // Files that looked for an include at the path and found none: a file appearing there changes
  // what they read.
  std::unordered_map<Sym, std::vector<std::uint32_t>> seekers;
  std::vector<FileHandle> includeChanges;  // files whose includes changed since they were last asked for

  std::vector<std::string> macros;
  std::vector<std::string> includeDirs;
  std::optional<VhdlStandard> standard;
  std::string baseDirectory;
  Reader reader;
  std::size_t maxNodes = 1000000;
  Sym work = 0;

  // Files in file order and each one's place in it, rebuilt when files come, go or move.
  bool fileOrderStale = true;
  std::vector<std::uint32_t> inFileOrder;
  std::vector<std::uint32_t> placeOf;  // by file slot
  // Scans that found or left macros; while there are none no file depends on another's macros.
  std::size_t macroFiles = 0;
  // Files came, went or moved: the macros a file finds where it starts may have changed.
  bool macrosMoved = false;
  std::size_t scanThreads = 0;  // 0: one a core, up to kMaxScanThreads

  // ---- the model, rebuilt by Resolve when dirty and asked for: the compile order, the messages,
  // Units and whole hierarchies; the live model falls back on it where a hierarchy comes round

  bool dirty = true;
  std::vector<std::uint32_t> dense;    // dense index -> unit slot, in file order
  std::vector<std::uint32_t> denseOf;  // unit slot -> dense index
  std::vector<Orderer::Edge> edges;
  std::vector<std::uint32_t> instanceStart;  // per dense unit, into instanceEdges
  std::vector<InstanceEdge> instanceEdges;
  std::vector<std::uint32_t> secondaryStart;  // per dense primary: its architectures or body
  std::vector<std::uint32_t> secondaries;
  std::vector<std::uint32_t> depStart;  // per dense unit: what it needs
  std::vector<std::uint32_t> deps;
  std::vector<bool> instantiated;
  std::vector<bool> late;               // configurations that only configurations need
  std::vector<std::uint32_t> order;     // dense indices
  std::vector<std::uint32_t> position;  // dense -> place in order
  std::vector<std::uint32_t> fileOrder;
  // The order waits until asked for: ResolveOrder works it out from the bindings.
  bool orderDirty = true;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> secondaryUsers;  // (user, primary)
  // Messages of binding, of ordering and of queries, kept apart since the order may be worked out
  // after a query; they are read in that sequence.
  std::vector<Message> modelMessages;
  std::vector<Message> orderMessages;
  std::vector<Message> queryMessages;
  std::vector<Message>* messageSink = &modelMessages;
  // How deep and how large the hierarchy below a unit whose instances are read (a module, an
  // architecture) is, by that unit's dense index. Followed as Hierarchy follows it: an instance that
  // binds to nothing, or closes a recursion, is one node that is not expanded.
  struct Extent {
    std::uint32_t depth = 1;
    std::uint64_t nodes = 1;  // held at the largest value a design with much reuse would pass
  };
  // Every message in file order, gathered again only after the messages changed.
  std::vector<Message> allMessages;
  bool messagesStale = true;
  // Worked out from the model when first asked for: the extents of the hierarchies below every
  // unit, whether following instances comes round to a unit whose instances are already being
  // followed, and the snapshot that lazy hierarchies read.
  std::vector<Extent> extents;
  bool extentsStale = true;
  bool instanceCycle = false;
  std::shared_ptr<const HierarchyShape> shape;

  // ---- the live model, by unit slot: what tops, hierarchies and interfaces need, kept up to date
  // edit by edit. A unit that comes or goes, or whose file changes library or place, binds again
  // the units that looked up its name; what they measured is dropped, and so is what the units
  // above them measured. The model above is the reference the live one answers as.

  bool changed = true;                                           // since the last query
  // Units that looked a name up: under the name and the library when the lookup kept to that
  // library, else under the name alone (library 0), which units of every library concern.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> watchers;
  std::vector<std::uint32_t> instCount;                          // by slot: the units that instantiate it
  std::unordered_set<std::uint32_t> roots;                       // units that can be top and nothing instantiates
  std::vector<std::shared_ptr<const SourceNode>> measured;       // by slot; none: not measured
  // Measured where an entity's architecture was chosen by the compile order, which any edit may move.
  std::vector<std::uint32_t> orderMeasured;
  std::vector<std::uint32_t> toBind;
  std::vector<std::uint8_t> bindQueued;  // by slot
  std::vector<std::uint8_t> onPath;      // by slot, while measuring
  // The tops as last ranked, with the fields that rank them; where each stands there, by slot.
  struct Ranked {
    std::uint32_t slot;
    bool bench;
    std::uint32_t depth;
    std::uint64_t nodes;
    std::int64_t order;
    std::uint64_t sequence;
    std::uint32_t position;
    bool operator==(const Ranked&) const = default;
  };
  std::vector<Ranked> rankedTops;
  // The ranking's working lists, kept with their room: a design of many roots is ranked after every edit.
  struct {
    std::vector<std::uint8_t> dropped;
    std::vector<Ranked> tops;
  } rankScratch;
  std::vector<TopRef> answerRefs;  // the last answer: rankedTops with their versions, or the reference model's
  std::vector<TopCandidate> answerCandidates;
  std::vector<std::uint32_t> rankedAt;
  // Counts the syncs that found edits: what a top elaborates to is read once per model, though the
  // graph ranks the tops and then checks their roots.
  std::uint64_t generation = 0;
  struct Elaborated {
    std::uint64_t generation = ~std::uint64_t{0};
    // What an entity elaborates to is settled by the units of its name alone, unless the compile
    // order chose among several architectures: it then holds while that name's stamp does.
    bool byName = false;
    std::uint64_t stamp = 0;
    std::pair<std::uint32_t, std::uint32_t> found;
  };
  std::vector<Elaborated> topElaborated;  // by slot
  // By key, the count of touches at the last one of its units: what was read from the units of
  // one name holds while its stamp stays, however many other names an edit touched.
  std::uint64_t touches = 0;
  std::vector<std::uint64_t> keyStamps;
  std::uint64_t KeyStamp(Sym key) const { return key < keyStamps.size() ? keyStamps[key] : 0; }
  // By slot, the root state last found unchanged for that top, with its name's stamp then: while
  // the stamp holds, the top's name still finds that unit and the unit's fields are as they were.
  struct RootCheck {
    const HierarchyCursor::State* state = nullptr;
    std::uint64_t stamp = 0;
  };
  std::vector<RootCheck> rootChecked;
  // The roots whose rank may have moved since the last ranking: those that came or went, whose
  // measurement was dropped, or whose name's units were touched. Ranking reads only them; a root
  // chosen by the compile order, or a configuration, is read every time.
  std::vector<std::uint32_t> rootsDirty;
  std::vector<std::uint8_t> rootDirtyFlag;  // by slot
  std::vector<std::uint32_t> rootsVolatile;
  bool allRootsDirty = true;
  std::vector<std::uint64_t> rootVersion;  // by slot: the count of touches when last ranked
  void DirtyRoot(std::uint32_t slot) {
    if (rootDirtyFlag.size() <= slot) rootDirtyFlag.resize(std::max<std::size_t>(slot + 1, units.size()), 0);
    if (rootDirtyFlag[slot]) return;
    rootDirtyFlag[slot] = 1;
    rootsDirty.push_back(slot);
  }
  // The units of one name, an entity and its architectures among them.
  void DirtyName(Sym key) {
    const auto found = index.find(key);
    if (found == index.end()) return;
    for (std::uint32_t slot : found->second) DirtyRoot(slot);
  }
  void DropDirtyRoots() {
    for (std::uint32_t slot : rootsDirty) rootDirtyFlag[slot] = 0;
    rootsDirty.clear();
    allRootsDirty = true;
  }
  // Units with ports first, then the deepest, the larger, and the later in file order, as Before tells it.
  static bool RanksBefore(const Ranked& a, const Ranked& b) {
    if (a.bench != b.bench) return b.bench;
    if (a.depth != b.depth) return a.depth > b.depth;
    if (a.nodes != b.nodes) return a.nodes > b.nodes;
    if (a.order != b.order) return b.order < a.order;
    if (a.sequence != b.sequence) return b.sequence < a.sequence;
    return b.position < a.position;
  }

  Impl() { work = pool.Intern("work"); }

  // ---- names

  Sym Fold(Sym sym) {
    if (folded.size() < pool.Size()) folded.resize(pool.Size(), kNone);
    if (folded[sym] == kNone) {
      const Sym result = pool.Intern(detail::FoldVhdl(pool.View(sym)));
      if (folded.size() < pool.Size()) folded.resize(pool.Size(), kNone);
      folded[sym] = result;
      folded[result] = result;
    }
    return folded[sym];
  }
  Sym FoldedIntern(std::string_view text) { return Fold(pool.Intern(text)); }

  // ---- files

  FileRec* FileOf(FileHandle handle) {
    const std::uint32_t* slot = byHandle.Find(handle);
    return slot == nullptr ? nullptr : &files[*slot];
  }
  const FileRec* FileOf(FileHandle handle) const {
    const std::uint32_t* slot = byHandle.Find(handle);
    return slot == nullptr ? nullptr : &files[*slot];
  }

  Sym Resolve(std::string_view path) {
    if (baseDirectory.empty() && IsNormalPath(path)) return pool.Intern(path);  // most are: no copy
    return pool.Intern(baseDirectory.empty() ? detail::NormalizePath(path) : detail::JoinPath(baseDirectory, path));
  }
  // What NormalizePath gives back unchanged: no empty, "." or ".." steps.
  static bool IsNormalPath(std::string_view path) {
    if (path.empty() || (path.size() > 1 && path.back() == '/')) return false;
    for (std::size_t at = path[0] == '/' ? 1 : 0; at <= path.size();) {
      std::size_t slash = path.find('/', at);
      if (slash == std::string_view::npos) slash = path.size();
      const std::string_view step = path.substr(at, slash - at);
      if (step.empty() ? path != "/" : step == "." || step == "..") return false;
      at = slash + 1;
    }
    return true;
  }

  Language LanguageOf(const FileRec& file) const {
    return file.language != Language::kAuto ? file.language : LanguageOfPath(pool.View(file.path));
  }

  void MarkModified(std::uint32_t slot) {
    FileRec& file = files[slot];
    file.modified = true;
    if (!file.queued) {
      file.queued = true;
      pending.push_back(slot);
    }
  }

  // The files that included the path, or looked for an include there in vain.
  void MarkIncluders(Sym path) {
    MarkListed(includers, path);
    MarkListed(seekers, path);
  }

  void MarkListed(const std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath, Sym path) {
    const auto found = byPath.find(path);
    if (found == byPath.end()) return;
    for (std::uint32_t slot : found->second) {
      if (files[slot].live) MarkModified(slot);
    }
  }

  void MarkLanguage(bool verilog) {
    for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
      if (!files[slot].live) continue;
      const Language language = LanguageOf(files[slot]);
      if ((language == Language::kVhdl) != verilog) MarkModified(slot);
    }
  }

  void MarkAll() {
    for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
      if (files[slot].live) MarkModified(slot);
    }
  }

  void CountLibrary(Sym library, int delta) {
    std::uint32_t& count = libraryFiles[library];
    count = static_cast<std::uint32_t>(static_cast<int>(count) + delta);
    if (count == 0) libraryFiles.erase(library);
  }

  void DropUnits(FileRec& file) {
    for (std::uint32_t slot : file.units) {
      UnitRec& unit = units[slot];
      auto& bucket = index[unit.IndexKey()];
      bucket.erase(std::find(bucket.begin(), bucket.end(), slot));
      if (bucket.empty()) index.erase(unit.IndexKey());
      Unlist(slot, LibraryOf(unit));
      Unbind(slot);
      unit.live = false;  // the units that counted it as instantiated let go of it as no top
      roots.erase(slot);
      DirtyRoot(slot);
      Touch(unit.IndexKey(), LibraryOf(unit));
      unit = UnitRec{};
      freeUnits.push_back(slot);
    }
    file.units.clear();
  }

  void DropIncludes(std::uint32_t slot) {
    FileRec& file = files[slot];
    DropFrom(includers, file.includes, slot);
    DropFrom(seekers, file.includesMissing, slot);
    file.includes.clear();
    file.includesMissing.clear();
  }

  static void DropFrom(std::unordered_map<Sym, std::vector<std::uint32_t>>& byPath, const std::vector<Sym>& paths,
                       std::uint32_t slot) {
    for (Sym path : paths) {
      auto found = byPath.find(path);
      if (found == byPath.end()) continue;
      auto& list = found->second;
      list.erase(std::remove(list.begin(), list.end(), slot), list.end());
      if (list.empty()) byPath.erase(found);
    }
  }

  ScanOptions Options() const {
    ScanOptions options;
    options.macros = macros;
    for (const std::string& dir : includeDirs) {
      options.includeDirs.push_back(baseDirectory.empty() ? dir : detail::JoinPath(baseDirectory, dir));
    }
    options.vhdlStandard = standard;
    options.reader = reader;
    return options;
  }

  // Takes a file's scan in place of the last one; what it does not keep stays in `result`.
  void Take(std::uint32_t slot, ScanResult& result) {
    DropUnits(files[slot]);
    const std::vector<Sym> includedBefore = files[slot].includes;
    DropIncludes(slot);
    FileRec& file = files[slot];
    file.modified = false;
    if (file.HasMacros()) --macroFiles;
    if (result.macrosFound.empty() && !result.undefinesAll && result.macrosLeft.empty() &&
        result.macrosLeftIn.empty()) {
      file.macros.reset();
    } else {
      if (!file.macros) file.macros = std::make_unique<FileMacros>();
      FileMacros& macros = *file.macros;
      macros.macrosFound = std::move(result.macrosFound);
      macros.undefinesAll = result.undefinesAll;
      macros.macrosLeft = std::move(result.macrosLeft);
      macros.macrosLeftIn.clear();
      for (const std::string& in : result.macrosLeftIn) macros.macrosLeftIn.push_back(in.empty() ? kNone : pool.Intern(in));
      macros.macroSources.clear();
      macros.headerSources.clear();
    }
    if (file.HasMacros()) ++macroFiles;
    file.messages = std::move(result.messages);
    for (Message& message : file.messages) message.file = file.handle;
    for (const std::string& include : result.includes) {
      const Sym path = pool.Intern(include);
      file.includes.push_back(path);
      includers[path].push_back(slot);
    }
    for (const std::string& missing : result.includesMissing) {
      const Sym path = pool.Intern(missing);
      file.includesMissing.push_back(path);
      seekers[path].push_back(slot);
    }
    if (file.includes != includedBefore && !file.includesChanged) {
      file.includesChanged = true;
      includeChanges.push_back(file.handle);
    }
    std::uint32_t position = 0;
    for (Unit& scanned : result.units) {
      std::uint32_t unitSlot;
      if (freeUnits.empty()) {
        unitSlot = static_cast<std::uint32_t>(units.size());
        units.emplace_back();
      } else {
        unitSlot = freeUnits.back();
        freeUnits.pop_back();
      }
      UnitRec& unit = units[unitSlot];
      unit.file = slot;
      unit.kind = scanned.kind;
      unit.name = pool.Intern(scanned.name);
      unit.key = Fold(unit.name);
      unit.primary = pool.Intern(scanned.primary);
      unit.primaryKey = Fold(unit.primary);
      unit.line = scanned.line;
      unit.position = position++;
      unit.hasPorts = scanned.hasPorts;
      unit.complete = scanned.complete;
      unit.interface = std::move(scanned.interface);
      unit.live = true;
      unit.refs.reserve(scanned.references.size());
      for (const Reference& ref : scanned.references) {
        RefRec rec{};
        rec.kind = ref.kind;
        rec.library = ref.library.empty() ? 0 : FoldedIntern(ref.library);
        rec.name = pool.Intern(ref.name);
        rec.key = Fold(rec.name);
        rec.secondary = ref.secondary.empty() ? 0 : FoldedIntern(ref.secondary);
        rec.label = ref.label.empty() ? 0 : pool.Intern(ref.label);
        rec.line = ref.line;
        rec.scope = ref.scope;
        unit.refs.push_back(rec);
      }
      unit.scopes.clear();
      for (const Scope& scope : scanned.scopes) unit.scopes.push_back({pool.Intern(scope.label), scope.parent});
      index[unit.IndexKey()].push_back(unitSlot);
      libraryIndex[WatchKey(unit.IndexKey(), file.library)].push_back(unitSlot);
      file.units.push_back(unitSlot);
      GrowSlots();
      if (CanBeTop(unit.kind) && instCount[unitSlot] == 0) {
        roots.insert(unitSlot);
        DirtyRoot(unitSlot);
      }
      Touch(unit.IndexKey(), file.library);
      Queue(unitSlot);
    }
  }

  void OrderFilesByPlace() {
    if (!fileOrderStale) return;
    fileOrderStale = false;
    inFileOrder.clear();
    for (std::uint32_t slot = 0; slot < files.size(); ++slot) {
      if (files[slot].live) inFileOrder.push_back(slot);
    }
    std::sort(inFileOrder.begin(), inFileOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
      return files[a].order != files[b].order ? files[a].order < files[b].order : files[a].sequence < files[b].sequence;
    });
    placeOf.assign(files.size(), kNone);
    for (std::uint32_t k = 0; k < inFileOrder.size(); ++k) placeOf[inFileOrder[k]] = k;
  }

  // A file added after every other in file order (the usual case: the next sequence, no smaller
  // order) goes last without sorting them all again.
  void PlaceAdded(std::uint32_t slot) {
    if (fileOrderStale) return;
    const FileRec& file = files[slot];
    if (!inFileOrder.empty() && files[inFileOrder.back()].order > file.order) {
      fileOrderStale = true;
      return;
    }
    if (placeOf.size() < files.size()) placeOf.resize(files.size(), kNone);
    placeOf[slot] = static_cast<std::uint32_t>(inFileOrder.size());
    inFileOrder.push_back(slot);
  }

  // A file that goes leaves the others in their order; only those after it move up.
  void PlaceRemoved(std::uint32_t slot) {
    if (fileOrderStale) return;
    const std::uint32_t place = placeOf[slot];
    inFileOrder.erase(inFileOrder.begin() + place);
    placeOf[slot] = kNone;
    for (std::uint32_t k = place; k < inFileOrder.size(); ++k) placeOf[inFileOrder[k]] = k;
  }

  bool IsVerilog(const FileRec& file) const {
    const Language language = LanguageOf(file);
    return language == Language::kVerilog || language == Language::kSystemVerilog;
  }

  // What the files in file order leave, as they were scanned last.
  // The messages in the order the project gives them: each file's scan in file order, then those
  // of the last binding, ordering and query.
  template <class Visit>
  void ForEachMessage(const Visit& visit) const {
    for (std::uint32_t slot : inFileOrder) {
      for (const Message& message : files[slot].messages) visit(message);
    }
    for (const auto* list : {&modelMessages, &orderMessages, &queryMessages}) {
      for (const Message& message : *list) visit(message);
    }
  }

  void FillHistory(MacroHistory& history) const {
    for (std::uint32_t slot : inFileOrder) {
      const FileRec& file = files[slot];
      if (file.HasMacros()) history.Add(placeOf[slot], slot, file.macros->undefinesAll, file.macros->macrosLeft);
    }
  }

  // For `files` to scan: as many as the caller chose, else one for every few files up to the cores.
  std::size_t ScanThreads(std::size_t files) const {
    static const std::size_t cores = std::thread::hardware_concurrency();  // which asks the system each time
    if (scanThreads != 0) return scanThreads;
    return std::clamp<std::size_t>(std::min(cores, (files + kScansPerThread - 1) / kScansPerThread), 1, kMaxScanThreads);
  }

  // Scans the files, each with the macros that the files before it in file order leave, on up to
  // ScanThreads threads, the caller's among them. The caller takes the results in file order as
  // they come, so a file scanned on one thread finds the macros of every file before it. With more
  // threads a scan may start before an earlier file is taken and guess that file's macros from its
  // last scan; Update's next round repeats the scans that guessed wrong. `history` holds what the
  // files leave, and is kept up to date as their scans are taken. True when a file now leaves
  // other macros than before: the files after it may start with others.
  bool ScanInFileOrder(std::vector<std::uint32_t>& slots, const ScanOptions& options, MacroHistory& history) {
    if (slots.empty()) return false;
    std::sort(slots.begin(), slots.end(), [&](std::uint32_t a, std::uint32_t b) { return placeOf[a] < placeOf[b]; });
    // A job for every file waits from the start, its result only from its scan until it is taken:
    // a large project scans many files at once. The path is the pool's, whose text never moves.
    struct Job {
      std::string_view path;
      Language language = Language::kAuto;
      std::uint32_t place = 0;
      std::unique_ptr<ScanResult> result;
      std::exception_ptr error;
      bool byCaller = false;
      std::atomic<bool> done{false};  // the fields above are written before it is set
    };
    // Each thread's options, whose macros are those where the thread's current file starts. Scans
    // touch nothing of the project but their job and the history.
    struct Scanner {
      Scanner(const ScanOptions& base, const MacroHistory& history) : options(base) {
        options.macrosAtStart = [this, &history](const std::string& name) {
          return history.At(name, place).definition;
        };
      }
      Scanner(const Scanner&) = delete;
      Scanner& operator=(const Scanner&) = delete;
      void Scan(Job& job) {
        place = job.place;
        try {
          job.result = std::make_unique<ScanResult>(ScanFile(std::string(job.path), job.language, options));
        } catch (...) {
          job.error = std::current_exception();
        }
      }
      ScanOptions options;
      std::uint32_t place = 0;
    };
    std::vector<Job> jobs(slots.size());
    for (std::size_t k = 0; k < slots.size(); ++k) {
      const FileRec& file = files[slots[k]];
      jobs[k].path = pool.View(file.resolved);
      jobs[k].language = file.language;  // kAuto: ScanFile goes by the extension
      jobs[k].place = placeOf[slots[k]];
    }
    std::atomic<std::size_t> next{0};
    // Scans the next job; `mine`, on a helper, keeps it for freeing. Only the caller waits for a
    // job, and only for the one it takes next, so a finished job wakes at most that one thread.
    auto scanNext = [&](Scanner& scanner, std::vector<std::size_t>* mine) {
      const std::size_t k = next.fetch_add(1);
      if (k >= jobs.size()) return false;
      scanner.Scan(jobs[k]);
      jobs[k].byCaller = mine == nullptr;
      if (mine != nullptr) mine->push_back(k);
      jobs[k].done.store(true, std::memory_order_release);
      jobs[k].done.notify_one();
      return true;
    };
    // The jobs before it are taken: the caller has what it keeps of their results. A helper frees
    // the rest of its own, on the thread that allocated them, so that the memory goes back without
    // waiting on another thread's heap; at the end it waits for its last.
    std::atomic<std::uint32_t> taken{0};
    auto release = [&](const std::vector<std::size_t>& mine, std::size_t& first, bool last) {
      for (;;) {
        const std::uint32_t upTo = taken.load(std::memory_order_acquire);
        while (first < mine.size() && mine[first] < upTo) jobs[mine[first++]].result.reset();
        if (!last || first == mine.size()) return;
        taken.wait(upTo, std::memory_order_acquire);
      }
    };
    // Stops the helpers and waits for them on every way out, before the jobs go.
    struct Helpers {
      std::atomic<std::size_t>& next;
      std::atomic<std::uint32_t>& taken;
      std::size_t end;
      std::vector<std::thread> threads;
      ~Helpers() {
        next.store(end);
        taken.store(static_cast<std::uint32_t>(end), std::memory_order_release);
        taken.notify_all();
        for (std::thread& thread : threads) thread.join();
      }
    } helpers{next, taken, jobs.size(), {}};
    const std::size_t extra = std::min(ScanThreads(jobs.size()), jobs.size()) - 1;
    try {
      for (std::size_t t = 0; t < extra; ++t) {
        helpers.threads.emplace_back([&] {
          try {
            Scanner scanner(options, history);
            std::vector<std::size_t> mine;
            std::size_t first = 0;
            while (scanNext(scanner, &mine)) release(mine, first, false);
            release(mine, first, true);
          } catch (...) {
            // no room for the options: the caller scans what is left
          }
        });
      }
    } catch (const std::system_error&) {
      // fewer threads, the same results
    }
    Scanner scanner(options, history);
    bool leavesMoved = false;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
      while (!jobs[k].done.load(std::memory_order_acquire)) {
        if (scanNext(scanner, nullptr)) continue;
        jobs[k].done.wait(false, std::memory_order_acquire);
      }
      if (jobs[k].error) std::rethrow_exception(jobs[k].error);
      const std::uint32_t slot = slots[k];
      const bool undefinedAll = files[slot].Macros().undefinesAll;
      const std::vector<MacroState> was = files[slot].Macros().macrosLeft;
      const std::vector<Sym> wasIn = files[slot].Macros().macrosLeftIn;
      Take(slot, *jobs[k].result);
      const FileMacros& now = files[slot].Macros();
      if (undefinedAll || !was.empty() || now.undefinesAll || !now.macrosLeft.empty()) {
        history.Replace(jobs[k].place, slot, undefinedAll, was, now.undefinesAll, now.macrosLeft);
      }
      leavesMoved = leavesMoved || undefinedAll != now.undefinesAll || was != now.macrosLeft || wasIn != now.macrosLeftIn;
      if (jobs[k].byCaller) jobs[k].result.reset();
      // Helpers that have scanned all they took wait to free their results; waking them for each
      // file taken costs more than the results they hold meanwhile.
      taken.store(static_cast<std::uint32_t>(k + 1), std::memory_order_release);
      if ((k + 1) % kTakenBatch == 0) taken.notify_all();
    }
    return leavesMoved;
  }

  // The Verilog files whose scans found other macros where they start than the files before them
  // now leave there, as `history` holds it; notes for each file the files whose macros it found.
  // Of every file, or only of `among` (in file order) when no other file can start otherwise.
  std::vector<std::uint32_t> Disagreeing(const MacroHistory& history, const std::vector<std::uint32_t>* among) {
    std::vector<std::uint32_t> result;
    for (std::uint32_t slot : among != nullptr ? *among : inFileOrder) {
      if (!files[slot].macros) continue;  // found no macros: depends on no file's
      FileRec& rec = files[slot];
      FileMacros& file = *rec.macros;
      file.macroSources.clear();
      file.headerSources.clear();
      std::vector<std::uint32_t> ownSources;  // macros of the source's own text, or of headers this file lacks
      bool agrees = true;
      for (const MacroState& found : file.macrosFound) {
        const MacroHistory::Found now = history.At(found.name, placeOf[slot]);
        agrees = agrees && found.definition == now.definition;
        if (now.source == kNone) continue;
        file.macroSources.push_back(now.source);
        if (!SetInSharedHeader(rec, files[now.source], found.name)) ownSources.push_back(now.source);
      }
      auto unique = [](std::vector<std::uint32_t>& list) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
      };
      unique(file.macroSources);
      unique(ownSources);
      std::set_difference(file.macroSources.begin(), file.macroSources.end(), ownSources.begin(), ownSources.end(),
                          std::back_inserter(file.headerSources));
      if (!agrees) result.push_back(slot);
    }
    return result;
  }

  // True when `source` last set `name` in a header that `file` includes as well.
  static bool SetInSharedHeader(const FileRec& file, const FileRec& sourceFile, const std::string& name) {
    const FileMacros& source = sourceFile.Macros();
    for (std::size_t k = source.macrosLeft.size(); k-- > 0;) {
      if (source.macrosLeft[k].name != name) continue;
      const Sym in = k < source.macrosLeftIn.size() ? source.macrosLeftIn[k] : kNone;
      return in != kNone && std::find(file.includes.begin(), file.includes.end(), in) != file.includes.end();
    }
    return false;
  }

  // Verilog macros carry on from file to file in file order, as when a list of files is compiled as
  // one: a file sees what the files before it leave. A scan that found other macros than those is
  // repeated; each round settles at least the first file in file order that disagreed, so the
  // rounds end. Returns the number of files scanned, each once however often it was.
  std::size_t Update() {
    if (pending.empty() && !macrosMoved) return 0;
    const ScanOptions options = Options();
    OrderFilesByPlace();
    std::vector<std::uint32_t> slots;
    for (std::uint32_t slot : pending) {
      FileRec& file = files[slot];
      file.queued = false;
      if (file.live && file.modified) slots.push_back(slot);
    }
    pending.clear();
    std::vector<bool> counted(files.size(), false);
    std::size_t scanned = 0;
    while (!slots.empty() || macrosMoved) {
      // Only a file that leaves other macros, goes or moves changes where the files after it
      // start; else only the files scanned can disagree.
      bool everyFile = macrosMoved;
      MacroHistory history(macros);
      if (macroFiles > 0) FillHistory(history);
      if (!slots.empty()) {
        everyFile = ScanInFileOrder(slots, options, history) || everyFile;
        for (std::uint32_t slot : slots) {
          if (!counted[slot]) ++scanned;
          counted[slot] = true;
        }
        dirty = changed = true;
      }
      macrosMoved = false;
      if (macroFiles > 0) {
        slots = Disagreeing(history, everyFile ? nullptr : &slots);
        dirty = changed = true;
      } else {
        slots.clear();
      }
    }
    return scanned;
  }

  // ---- the live model

  void GrowSlots() {
    const std::size_t n = units.size();
    if (instCount.size() >= n) return;
    instCount.resize(n, 0);
    measured.resize(n);
    bindQueued.resize(n, 0);
    onPath.resize(n, 0);
  }

  void Queue(std::uint32_t slot) {
    if (bindQueued[slot]) return;
    bindQueued[slot] = 1;
    toBind.push_back(slot);
  }

  void Mark(std::uint32_t target, bool add) {
    DirtyRoot(target);
    if (add) {
      if (instCount[target]++ == 0) roots.erase(target);
    } else if (--instCount[target] == 0 && units[target].live && CanBeTop(units[target].kind)) {
      roots.insert(target);
    }
  }

  // Drops what the unit measured and what the units above it measured: those that looked up its
  // name. A unit not measured has nothing measured above it.
  void Unmeasure(std::uint32_t slot) {
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

  void Unbind(std::uint32_t slot) {
    Unmeasure(slot);
    UnitRec& unit = units[slot];
    if (!unit.bound) return;
    unit.bound = false;
    for (std::uint32_t target : unit.marks) Mark(target, false);
    for (const std::uint64_t key : unit.watching) {
      const auto found = watchers.find(key);
      std::vector<std::uint32_t>& list = found->second;
      list.erase(std::find(list.begin(), list.end(), slot));
      if (list.empty()) watchers.erase(found);
    }
    unit.marks.clear();
    unit.watching.clear();
    unit.liveEdges.clear();
  }

  // Units under `key` in `library` came, went or moved: those that looked the name up there, or
  // in every library, bind again.
  void Touch(Sym key, Sym library) {
    if (keyStamps.size() <= key) keyStamps.resize(std::max<std::size_t>(key + 1, pool.Size()), 0);
    keyStamps[key] = ++touches;
    DirtyName(key);
    for (const Sym scope : {Sym{0}, library}) {
      const auto found = watchers.find(WatchKey(key, scope));
      if (found == watchers.end()) continue;
      const std::vector<std::uint32_t> list = found->second;
      for (std::uint32_t slot : list) {
        Unbind(slot);
        Queue(slot);
      }
    }
  }

  void Unlist(std::uint32_t slot, Sym library) {
    const std::uint64_t key = WatchKey(units[slot].IndexKey(), library);
    auto& bucket = libraryIndex[key];
    bucket.erase(std::find(bucket.begin(), bucket.end(), slot));
    if (bucket.empty()) libraryIndex.erase(key);
  }

  // The file's units find and are found otherwise: after a new library (moved from `previous`)
  // or place in file order.
  void Rebind(const FileRec& file, Sym previous) {
    for (std::uint32_t slot : file.units) {
      if (previous != file.library) {
        Unlist(slot, previous);
        libraryIndex[WatchKey(units[slot].IndexKey(), file.library)].push_back(slot);
        Touch(units[slot].IndexKey(), previous);
      }
      Unbind(slot);
      Queue(slot);
      Touch(units[slot].IndexKey(), file.library);
    }
  }

  // The units under `key`: of one library, or of every library when `library` is 0.
  const std::vector<std::uint32_t>* Listed(Sym key, Sym library) const {
    if (library == 0) {
      const auto found = index.find(key);
      return found == index.end() ? nullptr : &found->second;
    }
    const auto found = libraryIndex.find(WatchKey(key, library));
    return found == libraryIndex.end() ? nullptr : &found->second;
  }

  // Brings the live model up to the edits; every query does it first.
  void Sync() {
    if (changed || !toBind.empty()) ++generation;
    if (changed) {
      changed = false;
      queryMessages.clear();
      messagesStale = true;
      for (std::uint32_t slot : orderMeasured) Unmeasure(slot);
      orderMeasured.clear();
    }
    for (std::uint32_t slot : toBind) {
      bindQueued[slot] = 0;
      if (units[slot].live && !units[slot].bound) Bind(slot);
    }
    toBind.clear();
  }

  // File order, the tie-break of the model: earlier is less.
  bool Before(std::uint32_t a, std::uint32_t b) const {
    const FileRec& fileA = files[units[a].file];
    const FileRec& fileB = files[units[b].file];
    if (fileA.order != fileB.order) return fileA.order < fileB.order;
    if (fileA.sequence != fileB.sequence) return fileA.sequence < fileB.sequence;
    return units[a].position < units[b].position;
  }

  // Find, by slot.
  std::uint32_t FindLive(Sym key, std::uint32_t mask, Sym library, Sym exact, bool fromVhdl) const {
    const std::vector<std::uint32_t>* listed = Listed(key, library);
    if (listed == nullptr) return kNone;
    std::uint32_t best = kNone;
    bool bestOther = true;
    for (std::uint32_t slot : *listed) {
      const UnitRec& unit = units[slot];
      if (!(mask & Bit(unit.kind)) || (library != 0 && LibraryOf(unit) != library)) continue;
      const bool vhdl = IsVhdl(unit.kind);
      if (!vhdl && exact != 0 && unit.name != exact) continue;
      const bool other = vhdl != fromVhdl;
      if (best == kNone || (other != bestOther ? !other : Before(slot, best))) {
        best = slot;
        bestOther = other;
      }
    }
    return best;
  }

  std::uint32_t FindSecondaryLive(std::uint32_t primary, UnitKind kind, Sym key) const {
    const UnitRec& owner = units[primary];
    const std::vector<std::uint32_t>* listed = Listed(owner.key, LibraryOf(owner));
    if (listed == nullptr) return kNone;
    std::uint32_t best = kNone;
    for (std::uint32_t slot : *listed) {
      const UnitRec& unit = units[slot];
      if (unit.kind != kind || LibraryOf(unit) != LibraryOf(owner) || (key != 0 && unit.key != key)) continue;
      if (best == kNone || Before(slot, best)) best = slot;
    }
    return best;
  }

  // DefaultArchitecture, by slot: an entity's architectures are those of its name and library
  // when it is the first entity there. A choice between several sets `byOrder`.
  std::uint32_t DefaultArchitectureLive(std::uint32_t entity, bool* byOrder) {
    const UnitRec& owner = units[entity];
    if (FindLive(owner.key, Bit(UnitKind::kVhdlEntity), LibraryOf(owner), 0, true) != entity) return kNone;
    std::uint32_t best = kNone;
    for (std::uint32_t slot : *Listed(owner.key, LibraryOf(owner))) {
      const UnitRec& unit = units[slot];
      if (unit.kind != UnitKind::kVhdlArchitecture || LibraryOf(unit) != LibraryOf(owner)) continue;
      if (best == kNone) {
        best = slot;
        continue;
      }
      *byOrder = true;
      ResolveOrder();
      if (position[denseOf[slot]] > position[denseOf[best]]) best = slot;
    }
    return best;
  }

  // Elaborate, by slot.
  std::pair<std::uint32_t, std::uint32_t> ElaborateLive(std::uint32_t unit, std::uint32_t architecture, bool* byOrder) {
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

  // The unit's instances and the units it counts as instantiated, bound as Resolve binds them.
  void Bind(std::uint32_t slot) {
    UnitRec& unit = units[slot];
    unit.bound = true;
    const Sym own = LibraryOf(unit);
    const bool vhdl = IsVhdl(unit.kind);
    // A lookup that found its unit in one library, or looked in no other, is settled by that
    // library's units alone.
    auto watch = [&](Sym name, Sym library) {
      const std::uint64_t key = WatchKey(name, library);
      if (std::find(unit.watching.begin(), unit.watching.end(), key) != unit.watching.end()) return;
      unit.watching.push_back(key);
      watchers[key].push_back(slot);
    };
    auto mark = [&](std::uint32_t target) {
      unit.marks.push_back(target);
      Mark(target, true);
    };
    for (std::uint32_t r = 0; r < unit.refs.size(); ++r) {
      const RefRec& ref = unit.refs[r];
      const Sym library = ref.library == work ? own : ref.library;
      switch (ref.kind) {
        case RefKind::kInstance: {
          std::uint32_t target = FindLive(ref.key, kCells, own, vhdl ? 0 : ref.name, vhdl);
          watch(ref.key, target != kNone ? own : 0);
          if (target == kNone) target = FindLive(ref.key, kCells, 0, vhdl ? 0 : ref.name, vhdl);
          if (target != kNone) mark(target);
          unit.liveEdges.push_back({r, target, kNone});
          break;
        }
        case RefKind::kEntityInstance:
        case RefKind::kEntityBinding:
        case RefKind::kConfigurationInstance:
        case RefKind::kConfigurationBinding: {
          // A library outside the project holds no unit: nothing is found there either way.
          const bool entity = ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kEntityBinding;
          const std::uint32_t mask = entity ? Bit(UnitKind::kVhdlEntity) : Bit(UnitKind::kVhdlConfiguration);
          const Sym within = ref.library != 0 ? library : own;
          std::uint32_t target = FindLive(ref.key, mask, within, 0, true);
          watch(ref.key, target != kNone || ref.library != 0 ? within : 0);
          if (target == kNone && ref.library == 0) target = FindLive(ref.key, mask, 0, 0, true);
          if (target == kNone && entity) {
            target = FindLive(ref.key, kVerilogCells, ref.library != 0 ? library : own, 0, true);
            if (target == kNone && ref.library == 0) target = FindLive(ref.key, kVerilogCells, 0, 0, true);
          }
          std::uint32_t architecture = kNone;
          if (target != kNone) {
            if (entity && ref.secondary != 0 && units[target].kind == UnitKind::kVhdlEntity) {
              architecture = FindSecondaryLive(target, UnitKind::kVhdlArchitecture, ref.secondary);
            }
            mark(target);
            if (!entity) {
              const UnitRec& configuration = units[target];
              watch(configuration.primaryKey, LibraryOf(configuration));
              const std::uint32_t configured =
                  FindLive(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(configuration), 0, true);
              if (configured != kNone) mark(configured);
            }
          }
          if (ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kConfigurationInstance) {
            unit.liveEdges.push_back({r, target, architecture});
          }
          break;
        }
        default:
          break;
      }
    }
  }

  UnitInfo InfoOf(std::uint32_t slot) const {
    const UnitRec& unit = units[slot];
    const FileRec& file = files[unit.file];
    UnitInfo info;
    info.kind = unit.kind;
    info.name = pool.View(unit.name);
    info.primary = pool.View(unit.primary);
    info.library = pool.View(file.library);
    info.path = pool.View(file.path);
    info.file = file.handle;
    info.line = unit.line;
    info.hasPorts = unit.hasPorts;
    info.complete = unit.complete;
    return info;
  }

  // Measures the hierarchy below `start` (a unit whose instances are read) and what it needs
  // below, keeping each unit's part; false when following instances comes round, which the
  // reference model's walk settles.
  bool Measure(std::uint32_t start) {
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
      if (source != kNone) {
        child.below = measured[source];
        depth = child.below->depth;
        nodes = child.below->nodes;
      }
      SourceNode& at = *stack.back().made;
      at.depth = std::max(at.depth, depth + 1);
      at.nodes = nodes > ~std::uint64_t{0} - at.nodes ? ~std::uint64_t{0} : at.nodes + nodes;
      at.children.push_back(std::move(child));
      ++stack.back().next;
    }
    return true;
  }

  std::uint32_t FindTopLive(std::string_view name, std::string_view library) {
    return FindTopWith(name, library, [this](auto... args) { return FindLive(args...); });
  }

  // A top by name through `find` (the live model's or the reference's): the exact spelling first.
  template <class Finder>
  std::uint32_t FindTopWith(std::string_view name, std::string_view library, Finder find) {
    const Sym exact = pool.Intern(name);
    const Sym lib = library.empty() ? 0 : FoldedIntern(library);
    const std::uint32_t mask = kCells | Bit(UnitKind::kVhdlConfiguration);
    std::uint32_t found = find(Fold(exact), mask, lib, exact, false);
    if (found == kNone) found = find(Fold(exact), mask, lib, Sym{0}, false);
    return found;
  }

  // ElaborateLive of a top as it stands alone.
  std::pair<std::uint32_t, std::uint32_t> ElaborateTop(std::uint32_t top) {
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
  bool TopCandidatesLive() {
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
      if (!roots.contains(slot)) {
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
  bool RootLiveStill(const HierarchyCursor::State& kept, std::uint32_t top, std::string_view topName, bool known) {
    const auto [source, used] = ElaborateTop(top);
    if (!Measure(source) || (source != kNone && measured[source]->nodes > maxNodes)) return false;
    if (kept.tree || kept.shape || kept.parent || kept.unit != top || kept.pool != poolOwner) return false;
    if (source == kNone ? kept.measured || kept.source != kNone : kept.measured != measured[source]) return false;
    if (known) return kept.architecture == used;
    const HierarchyNode& node = kept.node;
    return !node.recursive && node.instanceName.empty() && node.path == pool.View(units[top].name) &&
           node.unitName == topName && node.unit && SameInfo(*node.unit, top) &&
           (used == kNone ? !node.architecture : node.architecture && SameInfo(*node.architecture, used));
  }

  // Whether `kept` was found unchanged for `topName` while nothing of that name has been touched.
  bool CheckedLately(const HierarchyCursor::State& kept, std::string_view topName) const {
    if (kept.unit >= rootChecked.size()) return false;
    const RootCheck& check = rootChecked[kept.unit];
    return check.state == &kept && check.stamp == KeyStamp(units[kept.unit].IndexKey()) &&
           kept.node.unitName == topName;
  }

  void NoteChecked(const HierarchyCursor::State& kept) {
    if (rootChecked.size() <= kept.unit) rootChecked.resize(units.size());
    rootChecked[kept.unit] = {&kept, KeyStamp(units[kept.unit].IndexKey())};
  }

  // info == InfoOf(slot); the names read from the pool are mostly the very views kept.
  bool SameInfo(const UnitInfo& info, std::uint32_t slot) const {
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

  // The top's hierarchy read from the measured units; the reference model's where the hierarchy
  // comes round or passes the node bound.
  HierarchyCursor RootLive(std::uint32_t top, std::string_view topName) {
    bool byOrder = false;
    const auto [source, used] = ElaborateLive(top, kNone, &byOrder);
    if (!Measure(source) || (source != kNone && measured[source]->nodes > maxNodes)) {
      Resolve();
      return Root(denseOf[top], topName);
    }
    auto state = std::make_shared<HierarchyCursor::State>();
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

  void ReportUnknownTop(std::string_view name) {
    Message message;
    message.kind = MessageKind::kUnknownTop;
    message.text = "no entity, module or configuration '" + std::string(name) + "' in the project";
    QueryMessage(std::move(message));
  }

  // ---- the model

  Sym LibraryOf(const UnitRec& unit) const { return files[unit.file].library; }
  bool IsProjectLibrary(Sym library) const { return libraryFiles.count(library) != 0; }

  // The best unit under `key` of the kinds in `mask`: in `library` unless it is 0, the name spelt
  // exactly for Verilog kinds when `exact` is set, the language of the asker first, then file order.
  std::uint32_t Find(Sym key, std::uint32_t mask, Sym library, Sym exact, bool fromVhdl) const {
    const auto found = index.find(key);
    if (found == index.end()) return kNone;
    std::uint32_t best = kNone;
    std::uint64_t bestRank = ~std::uint64_t{0};
    for (std::uint32_t slot : found->second) {
      const UnitRec& unit = units[slot];
      if (!(mask & Bit(unit.kind)) || (library != 0 && LibraryOf(unit) != library)) continue;
      const bool vhdl = IsVhdl(unit.kind);
      if (!vhdl && exact != 0 && unit.name != exact) continue;
      const std::uint64_t rank = (std::uint64_t{vhdl != fromVhdl} << 32) | denseOf[slot];
      if (rank < bestRank) {
        bestRank = rank;
        best = denseOf[slot];
      }
    }
    return best;
  }

  // Secondary units of `primary` (architectures of an entity, the body of a package).
  std::uint32_t FindSecondary(std::uint32_t primary, UnitKind kind, Sym key) const {
    const UnitRec& owner = units[dense[primary]];
    const auto found = index.find(owner.key);
    if (found == index.end()) return kNone;
    std::uint32_t best = kNone;
    for (std::uint32_t slot : found->second) {
      const UnitRec& unit = units[slot];
      if (unit.kind != kind || LibraryOf(unit) != LibraryOf(owner) || (key != 0 && unit.key != key)) continue;
      best = std::min(best, denseOf[slot]);
    }
    return best;
  }

  // "gen/blk/": the labels of the named blocks from the unit down to `scope`.
  std::string ScopePath(const UnitRec& unit, std::uint32_t scope) const {
    std::vector<Sym> labels;
    for (; scope < unit.scopes.size(); scope = unit.scopes[scope].parent) labels.push_back(unit.scopes[scope].label);
    std::string path;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) path += std::string(pool.View(*label)) + "/";
    return path;
  }

  std::string Describe(const UnitRec& unit) const {
    std::string text(pool.View(unit.name));
    if (unit.kind == UnitKind::kVhdlArchitecture) text = std::string(pool.View(unit.primary)) + "(" + text + ")";
    if (unit.kind == UnitKind::kVhdlPackageBody) text += "(body)";
    return "'" + text + "'";
  }

  // Messages of queries, kept once however often the query is repeated.
  void QueryMessage(Message message) {
    for (const Message& known : queryMessages) {
      if (known.kind == message.kind && known.text == message.text) return;
    }
    queryMessages.push_back(std::move(message));
    messagesStale = true;
  }

  void ModelMessage(MessageKind kind, const UnitRec& unit, std::uint32_t line, std::string text) {
    const FileRec& file = files[unit.file];
    Message message;
    message.kind = kind;
    message.severity = Severity::kWarning;
    message.path = std::string(pool.View(file.path));
    message.line = line;
    message.text = std::move(text);
    message.file = file.handle;
    messageSink->push_back(std::move(message));
  }

  void Missing(const UnitRec& unit, const RefRec& ref, const char* what) {
    std::string name(pool.View(ref.name));
    if (ref.library != 0) name = std::string(pool.View(ref.library)) + "." + name;
    ModelMessage(MessageKind::kMissingUnit, unit, ref.line,
                 std::string(what) + " '" + name + "' needed by " + Describe(unit) + " is not in the project");
  }

  void Resolve() {
    if (!dirty) return;
    dirty = false;
    orderDirty = true;
    modelMessages.clear();
    orderMessages.clear();
    messagesStale = true;
    extentsStale = true;
    shape.reset();

    // Dense numbering in file order: it is also every tie-break.
    dense.clear();
    OrderFilesByPlace();
    for (std::uint32_t slot : inFileOrder)
      dense.insert(dense.end(), files[slot].units.begin(), files[slot].units.end());
    const std::size_t n = dense.size();
    denseOf.assign(units.size(), kNone);
    for (std::uint32_t i = 0; i < n; ++i) denseOf[dense[i]] = i;

    edges.clear();
    instanceStart.assign(n + 1, 0);
    instanceEdges.clear();
    instantiated.assign(n, false);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> secondaryPairs;  // (primary, secondary)
    secondaryUsers.clear();
    std::vector<Orderer::Edge> unitEdges;

    for (std::uint32_t i = 0; i < n; ++i) {
      const UnitRec& unit = units[dense[i]];
      const Sym own = LibraryOf(unit);
      const bool vhdl = IsVhdl(unit.kind);
      unitEdges.clear();
      auto need = [&](std::uint32_t target, bool hard, bool weak = false) {
        if (target != kNone && target != i) unitEdges.push_back({i, target, hard, weak});
      };
      DuplicateCheck(i, unit);
      // A file that found macros of earlier files follows them, unless that closes a cycle: a
      // package it imports from a later file counts for more, and where it found only what a
      // header it includes itself sets, a module it instantiates from a later file too.
      const FileMacros& macros = files[unit.file].Macros();
      for (std::uint32_t source : macros.macroSources) {
        const bool header = std::binary_search(macros.headerSources.begin(), macros.headerSources.end(), source);
        for (std::uint32_t other : files[source].units) need(denseOf[other], false, header);
      }

      if (unit.kind == UnitKind::kVhdlArchitecture || unit.kind == UnitKind::kVhdlPackageBody ||
          unit.kind == UnitKind::kVhdlConfiguration) {
        const bool body = unit.kind == UnitKind::kVhdlPackageBody;
        const std::uint32_t primary =
            Find(unit.primaryKey, body ? Bit(UnitKind::kVhdlPackage) : Bit(UnitKind::kVhdlEntity), own, 0, true);
        if (primary == kNone) {
          ModelMessage(MessageKind::kMissingUnit, unit, unit.line,
                       std::string(body ? "package '" : "entity '") + std::string(pool.View(unit.primary)) + "' of " +
                           Describe(unit) + " is not in the project");
        } else if (unit.kind == UnitKind::kVhdlConfiguration) {
          need(primary, true);
        } else {
          need(primary, true);
          secondaryPairs.emplace_back(primary, i);
        }
      }

      for (std::uint32_t r = 0; r < unit.refs.size(); ++r) {
        const RefRec& ref = unit.refs[r];
        Sym library = ref.library == work ? own : ref.library;
        switch (ref.kind) {
          case RefKind::kUse:
          case RefKind::kContext: {
            if (!IsProjectLibrary(library)) break;  // a library from outside, such as ieee
            const std::uint32_t mask =
                ref.kind == RefKind::kContext ? Bit(UnitKind::kVhdlContext) : (kVhdlPrimaries | kPackages);
            const std::uint32_t target = Find(ref.key, mask, library, 0, true);
            if (target == kNone) Missing(unit, ref, ref.kind == RefKind::kContext ? "context" : "unit");
            need(target, true);
            if (target != kNone && units[dense[target]].kind == UnitKind::kVhdlPackage) {
              secondaryUsers.emplace_back(i, target);
            }
            break;
          }
          case RefKind::kInstance: {
            std::uint32_t target = Find(ref.key, kCells, own, vhdl ? 0 : ref.name, vhdl);
            if (target == kNone) target = Find(ref.key, kCells, 0, vhdl ? 0 : ref.name, vhdl);
            if (target == kNone) {
              Missing(unit, ref, vhdl ? "component" : "module");
            } else {
              instantiated[target] = true;
              if (units[dense[target]].kind == UnitKind::kVhdlEntity) secondaryUsers.emplace_back(i, target);
            }
            need(target, false);
            instanceEdges.push_back({r, target, kNone});
            ++instanceStart[i + 1];
            break;
          }
          case RefKind::kEntityInstance:
          case RefKind::kEntityBinding:
          case RefKind::kConfigurationInstance:
          case RefKind::kConfigurationBinding: {
            const bool entity = ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kEntityBinding;
            const bool outside = ref.library != 0 && !IsProjectLibrary(library);
            const std::uint32_t mask = entity ? Bit(UnitKind::kVhdlEntity) : Bit(UnitKind::kVhdlConfiguration);
            std::uint32_t target = outside ? kNone : Find(ref.key, mask, ref.library != 0 ? library : own, 0, true);
            if (target == kNone && ref.library == 0) target = Find(ref.key, mask, 0, 0, true);
            // Without a VHDL entity of that name a Verilog module is bound, its name compared as VHDL does.
            if (target == kNone && entity && !outside) {
              target = Find(ref.key, kVerilogCells, ref.library != 0 ? library : own, 0, true);
              if (target == kNone && ref.library == 0) target = Find(ref.key, kVerilogCells, 0, 0, true);
            }
            std::uint32_t architecture = kNone;
            if (target == kNone) {
              if (!outside) Missing(unit, ref, entity ? "entity" : "configuration");
            } else {
              need(target, true);
              if (entity && ref.secondary != 0 && units[dense[target]].kind == UnitKind::kVhdlEntity) {
                architecture = FindSecondary(target, UnitKind::kVhdlArchitecture, ref.secondary);
                if (architecture == kNone) {
                  ModelMessage(MessageKind::kMissingUnit, unit, ref.line,
                               "architecture '" + std::string(pool.View(ref.secondary)) + "' of entity '" +
                                   std::string(pool.View(ref.name)) + "' is not in the project");
                }
                need(architecture, true);
              }
              instantiated[target] = true;
              if (entity) secondaryUsers.emplace_back(i, target);
              if (!entity) {
                const UnitRec& configuration = units[dense[target]];
                const std::uint32_t configured =
                    Find(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(configuration), 0, true);
                if (configured != kNone) instantiated[configured] = true;
              }
            }
            if (ref.kind == RefKind::kEntityInstance || ref.kind == RefKind::kConfigurationInstance) {
              instanceEdges.push_back({r, target, architecture});
              ++instanceStart[i + 1];
            }
            break;
          }
          case RefKind::kArchitecture: {
            const std::uint32_t entity = Find(unit.primaryKey, Bit(UnitKind::kVhdlEntity), own, 0, true);
            if (entity == kNone) break;  // reported with the configuration
            const std::uint32_t architecture = FindSecondary(entity, UnitKind::kVhdlArchitecture, ref.key);
            if (architecture == kNone) Missing(unit, ref, "architecture");
            need(architecture, true);
            break;
          }
          case RefKind::kImport:
          case RefKind::kScope: {
            std::uint32_t target = Find(ref.key, kPackages, own, ref.name, false);
            if (target == kNone) target = Find(ref.key, kPackages, 0, ref.name, false);
            if (target == kNone && ref.kind == RefKind::kImport) Missing(unit, ref, "package");
            need(target, true);
            break;
          }
        }
      }
      // Repeated needs of one unit count once; a hard one wins, then one that is not weak.
      std::sort(unitEdges.begin(), unitEdges.end(), [](const Orderer::Edge& a, const Orderer::Edge& b) {
        if (a.to != b.to) return a.to < b.to;
        return a.hard != b.hard ? a.hard > b.hard : a.weak < b.weak;
      });
      for (std::size_t k = 0; k < unitEdges.size(); ++k) {
        if (k == 0 || unitEdges[k].to != unitEdges[k - 1].to) edges.push_back(unitEdges[k]);
      }
    }
    for (std::size_t i = 0; i < n; ++i) instanceStart[i + 1] += instanceStart[i];

    // A configuration needs every architecture of its entity.
    secondaryStart.assign(n + 1, 0);
    for (const auto& [primary, secondary] : secondaryPairs) ++secondaryStart[primary + 1];
    for (std::size_t i = 0; i < n; ++i) secondaryStart[i + 1] += secondaryStart[i];
    secondaries.assign(secondaryPairs.size(), 0);
    {
      std::vector<std::uint32_t> fill(secondaryStart.begin(), secondaryStart.end() - 1);
      for (const auto& [primary, secondary] : secondaryPairs) secondaries[fill[primary]++] = secondary;
    }
  }

  // The compile order of the bound model, with its cycle messages: worked out only when an order,
  // the messages or the order of architectures is asked for.
  void ResolveOrder() {
    Resolve();
    if (!orderDirty) return;
    orderDirty = false;
    orderMessages.clear();
    messagesStale = true;
    messageSink = &orderMessages;
    struct Restore {
      std::vector<Message>*& sink;
      std::vector<Message>* was;
      ~Restore() { sink = was; }
    } restore{messageSink, &modelMessages};
    const std::size_t n = dense.size();
    for (std::uint32_t i = 0; i < n; ++i) {
      const UnitRec& unit = units[dense[i]];
      if (unit.kind != UnitKind::kVhdlConfiguration) continue;
      const std::uint32_t entity = Find(unit.primaryKey, Bit(UnitKind::kVhdlEntity), LibraryOf(unit), 0, true);
      if (entity == kNone) continue;
      for (std::uint32_t k = secondaryStart[entity]; k < secondaryStart[entity + 1]; ++k) {
        edges.push_back({i, secondaries[k], true, false});
      }
    }
    // A unit that uses a package follows the package's body, one that instantiates an entity the
    // entity's architectures: tools that elaborate as they compile need them. Soft, since package
    // bodies may use each other and architectures may instantiate each other's entities.
    std::sort(secondaryUsers.begin(), secondaryUsers.end());
    secondaryUsers.erase(std::unique(secondaryUsers.begin(), secondaryUsers.end()), secondaryUsers.end());
    for (const auto& [user, primary] : secondaryUsers) {
      for (std::uint32_t k = secondaryStart[primary]; k < secondaryStart[primary + 1]; ++k) {
        if (secondaries[k] != user) edges.push_back({user, secondaries[k], false, false});
      }
    }

    depStart.assign(n + 1, 0);
    for (const Orderer::Edge& e : edges) ++depStart[e.from + 1];
    for (std::size_t i = 0; i < n; ++i) depStart[i + 1] += depStart[i];
    deps.assign(edges.size(), 0);
    {
      std::vector<std::uint32_t> fill(depStart.begin(), depStart.end() - 1);
      for (const Orderer::Edge& e : edges) deps[fill[e.from]++] = e.to;
    }

    // Configurations that only configurations need go last; otherwise file order breaks ties.
    late.assign(n, false);
    {
      std::vector<bool> needed(n, false);
      std::vector<std::uint32_t> work;
      for (std::uint32_t i = 0; i < n; ++i) {
        if (units[dense[i]].kind != UnitKind::kVhdlConfiguration) work.push_back(i);
      }
      while (!work.empty()) {
        const std::uint32_t at = work.back();
        work.pop_back();
        for (std::uint32_t k = depStart[at]; k < depStart[at + 1]; ++k) {
          if (!needed[deps[k]]) {
            needed[deps[k]] = true;
            work.push_back(deps[k]);
          }
        }
      }
      for (std::uint32_t i = 0; i < n; ++i)
        late[i] = units[dense[i]].kind == UnitKind::kVhdlConfiguration && !needed[i];
    }
    std::vector<std::uint64_t> keys(n);
    for (std::uint32_t i = 0; i < n; ++i) keys[i] = (std::uint64_t{late[i]} << 63) | i;
    std::vector<std::vector<std::uint32_t>> cycles;
    order = Orderer::Run(n, keys, edges, &cycles);
    position.assign(n, 0);
    for (std::uint32_t k = 0; k < n; ++k) position[order[k]] = k;
    std::vector<bool> inUnitCycle(files.size(), false);
    for (const auto& cycle : cycles) {
      std::string text = "units need each other:";
      for (std::uint32_t member : cycle) {
        text += " " + Describe(units[dense[member]]) + " ->";
        inUnitCycle[units[dense[member]].file] = true;
      }
      text += " " + Describe(units[dense[cycle.front()]]);
      const UnitRec& first = units[dense[cycle.front()]];
      ModelMessage(MessageKind::kCycle, first, first.line, std::move(text));
    }
    OrderFiles(inUnitCycle);
  }

  void DuplicateCheck(std::uint32_t i, const UnitRec& unit) {
    const auto found = index.find(unit.IndexKey());
    if (found == index.end()) return;
    // The one used is the first in file order, wherever the edits left it in the index.
    std::uint32_t first = kNone;
    for (std::uint32_t slot : found->second) {
      const UnitRec& other = units[slot];
      if (denseOf[slot] >= i || other.kind != unit.kind || LibraryOf(other) != LibraryOf(unit)) continue;
      const bool same = IsVhdl(unit.kind) ? other.key == unit.key : other.name == unit.name;
      if (!same || (IsSecondary(unit.kind) && other.primaryKey != unit.primaryKey)) continue;
      if (first == kNone || denseOf[slot] < denseOf[first]) first = slot;
    }
    if (first == kNone) return;
    ModelMessage(MessageKind::kDuplicateUnit, unit, unit.line,
                 Describe(unit) + " is defined again; the one in " +
                     std::string(pool.View(files[units[first].file].path)) + " is used");
  }

  void OrderFiles(const std::vector<bool>& inUnitCycle) {
    const std::vector<std::uint32_t>& liveFiles = inFileOrder;
    const std::vector<std::uint32_t>& fileDense = placeOf;
    // Unit edges come grouped by the unit that needs, and units by file: one pass drops repeats.
    std::vector<Orderer::Edge> fileEdges;
    std::vector<std::uint32_t> lastFrom(liveFiles.size(), kNone);
    std::vector<std::uint32_t> edgeOf(liveFiles.size(), 0);
    for (const Orderer::Edge& e : edges) {
      const std::uint32_t from = fileDense[units[dense[e.from]].file];
      const std::uint32_t to = fileDense[units[dense[e.to]].file];
      if (from == to) continue;
      if (lastFrom[to] == from) {
        fileEdges[edgeOf[to]].hard = fileEdges[edgeOf[to]].hard || e.hard;
        fileEdges[edgeOf[to]].weak = fileEdges[edgeOf[to]].weak && e.weak;
        continue;
      }
      lastFrom[to] = from;
      edgeOf[to] = static_cast<std::uint32_t>(fileEdges.size());
      fileEdges.push_back({from, to, e.hard, e.weak});
    }
    for (std::uint32_t slot : liveFiles) {  // for the files without units, which no unit edge gave
      const FileMacros& macros = files[slot].Macros();
      for (std::uint32_t source : macros.macroSources) {
        const bool header = std::binary_search(macros.headerSources.begin(), macros.headerSources.end(), source);
        fileEdges.push_back({fileDense[slot], fileDense[source], false, header});
      }
    }
    std::vector<std::uint64_t> keys(liveFiles.size());
    for (std::uint32_t k = 0; k < liveFiles.size(); ++k) {
      const FileRec& file = files[liveFiles[k]];
      bool allLate = !file.units.empty();
      for (std::uint32_t slot : file.units) allLate = allLate && late[denseOf[slot]];
      keys[k] = (std::uint64_t{allLate} << 63) | k;
    }
    std::vector<std::vector<std::uint32_t>> cycles;
    const std::vector<std::uint32_t> sorted = Orderer::Run(liveFiles.size(), keys, fileEdges, &cycles);
    fileOrder.clear();
    for (std::uint32_t k : sorted) fileOrder.push_back(liveFiles[k]);
    for (const auto& cycle : cycles) {
      bool known = true;
      for (std::uint32_t member : cycle) known = known && inUnitCycle[liveFiles[member]];
      if (known) continue;
      std::string text = "files need each other, though their units do not:";
      for (std::uint32_t member : cycle) text += " " + std::string(pool.View(files[liveFiles[member]].path));
      const FileRec& first = files[liveFiles[cycle.front()]];
      Message message;
      message.kind = MessageKind::kFileCycle;
      message.path = std::string(pool.View(first.path));
      message.text = std::move(text);
      message.file = first.handle;
      orderMessages.push_back(std::move(message));
    }
  }

  // ---- answers

  UnitInfo Info(std::uint32_t denseIndex) const { return InfoOf(dense[denseIndex]); }

  // A top by name: an entity, module, program or configuration, the exact spelling first.
  // FindTop, with a message when nothing of that name can be a top.
  std::uint32_t FindTopOrReport(std::string_view name, std::string_view library) {
    const std::uint32_t found = FindTop(name, library);
    if (found == kNone) ReportUnknownTop(name);
    return found;
  }

  std::uint32_t FindTop(std::string_view name, std::string_view library) {
    return FindTopWith(name, library, [this](auto... args) { return Find(args...); });
  }

  // The architecture an entity elaborates with by default: the last one compiled. Only a choice
  // between several needs the compile order.
  std::uint32_t DefaultArchitecture(std::uint32_t entity) {
    std::uint32_t best = kNone;
    for (std::uint32_t k = secondaryStart[entity]; k < secondaryStart[entity + 1]; ++k) {
      const std::uint32_t candidate = secondaries[k];
      if (units[dense[candidate]].kind != UnitKind::kVhdlArchitecture) continue;
      if (best != kNone) ResolveOrder();
      if (best == kNone || position[candidate] > position[best]) best = candidate;
    }
    return best;
  }

  // What a node of `unit` elaborates: an entity's architecture, a configuration's entity and the
  // architecture it names. Instances are read from the returned unit.
  std::pair<std::uint32_t, std::uint32_t> Elaborate(std::uint32_t unit, std::uint32_t architecture) {
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

  const std::shared_ptr<const HierarchyShape>& Shape() {
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

  // The top's hierarchy, made as it is walked where that gives what Hierarchy gives: when the
  // tree stays within the node bound and no instance comes round; else made whole.
  HierarchyCursor Root(std::uint32_t top, std::string_view topName) {
    Extents();
    const auto [source, used] = Elaborate(top, kNone);
    const std::uint64_t size = source == kNone ? 1 : extents[source].nodes;
    auto state = std::make_shared<HierarchyCursor::State>();
    state->pool = poolOwner;
    if (instanceCycle || size > maxNodes) {
      state->tree = std::make_shared<const HierarchyNode>(*Hierarchy(top, topName));
      state->at = state->tree.get();
      state->node = FieldsOf(*state->tree);
      return HierarchyCursor(std::move(state));
    }
    state->shape = Shape();
    state->unit = top;
    state->source = source;
    state->node.path = std::string(pool.View(units[dense[top]].name));
    state->node.unitName = std::string(topName);
    state->node.unit = Info(top);
    if (used != kNone) state->node.architecture = Info(used);
    return HierarchyCursor(std::move(state));
  }

  // The extents, into `extents`; notes whether some instance comes round to a unit being followed.
  void Extents() {
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

  std::optional<HierarchyNode> Hierarchy(std::uint32_t top, std::string_view topName) {
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
        const FileRec& file = files[units[dense[top]].file];
        Message message;
        message.kind = MessageKind::kHierarchyLimit;
        message.path = std::string(pool.View(file.path));
        message.file = file.handle;
        message.text = "the hierarchy below " + Describe(units[dense[top]]) + " passes " + std::to_string(maxNodes) +
                       " nodes: it is cut there";
        QueryMessage(std::move(message));
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

  CompileOrder OrderOf(const std::vector<bool>* wanted) const {
    CompileOrder result;
    std::vector<bool> fileWanted(files.size(), wanted == nullptr);
    std::vector<std::uint32_t> work;
    for (std::uint32_t i : order) {
      if (wanted != nullptr && !(*wanted)[i]) continue;
      result.units.push_back(Info(i));
      if (!fileWanted[units[dense[i]].file]) work.push_back(units[dense[i]].file);
      fileWanted[units[dense[i]].file] = true;
    }
    // With the files whose macros they find, though these may hold no unit that is needed.
    while (!work.empty()) {
      const std::uint32_t slot = work.back();
      work.pop_back();
      for (std::uint32_t source : files[slot].Macros().macroSources) {
        if (!fileWanted[source]) work.push_back(source);
        fileWanted[source] = true;
      }
    }
    for (std::uint32_t slot : fileOrder) {
      if (fileWanted[slot]) result.files.push_back(files[slot].handle);
    }
    return result;
  }

  // Everything `top` needs, with the architectures of the entities and the bodies of the packages.
  std::vector<bool> Closure(std::uint32_t top) const {
    std::vector<bool> seen(dense.size(), false);
    std::vector<std::uint32_t> work{top};
    seen[top] = true;
    while (!work.empty()) {
      const std::uint32_t at = work.back();
      work.pop_back();
      auto reach = [&](std::uint32_t next) {
        if (!seen[next]) {
          seen[next] = true;
          work.push_back(next);
        }
      };
      for (std::uint32_t k = depStart[at]; k < depStart[at + 1]; ++k) reach(deps[k]);
      for (std::uint32_t k = secondaryStart[at]; k < secondaryStart[at + 1]; ++k) reach(secondaries[k]);
    }
    return seen;
  }
};

Project::Project() : m_impl(std::make_unique<Impl>()) {}
Project::~Project() = default;

bool Project::AddFile(FileHandle handle, std::string_view path, std::int64_t order, std::string_view library) {
  Impl& d = *m_impl;
  if (d.byHandle.Find(handle) != nullptr) return false;
  std::uint32_t slot;
  if (d.freeFiles.empty()) {
    slot = static_cast<std::uint32_t>(d.files.size());
    d.files.emplace_back();
  } else {
    slot = d.freeFiles.back();
    d.freeFiles.pop_back();
    d.files[slot] = FileRec{};
  }
  FileRec& file = d.files[slot];
  file.handle = handle;
  file.order = order;
  file.sequence = d.nextSequence++;
  file.path = d.pool.Intern(path);
  file.resolved = d.Resolve(path);
  file.library = d.FoldedIntern(library.empty() ? std::string_view("work") : library);
  file.live = true;
  d.byHandle.Insert(handle, slot);
  d.CountLibrary(file.library, +1);
  d.MarkModified(slot);
  d.MarkListed(d.seekers, file.resolved);  // an include looked for in vain is now found
  d.dirty = d.changed = true;
  d.PlaceAdded(slot);
  return true;
}

bool Project::Remove(FileHandle handle) {
  Impl& d = *m_impl;
  const std::uint32_t* found = d.byHandle.Find(handle);
  if (found == nullptr) return false;
  const std::uint32_t slot = *found;
  d.byHandle.Erase(handle);
  d.PlaceRemoved(slot);
  d.DropUnits(d.files[slot]);
  d.DropIncludes(slot);
  d.CountLibrary(d.files[slot].library, -1);
  if (d.files[slot].HasMacros()) --d.macroFiles;
  // The files after it start otherwise only when it left them macros.
  const FileMacros& left = d.files[slot].Macros();
  if (left.undefinesAll || !left.macrosLeft.empty()) d.macrosMoved = true;
  d.files[slot] = FileRec{};
  d.freeFiles.push_back(slot);
  d.dirty = d.changed = true;
  return true;
}

bool Project::SetPath(FileHandle handle, std::string_view path) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  file->path = m_impl->pool.Intern(path);
  file->resolved = m_impl->Resolve(path);
  m_impl->MarkModified(*m_impl->byHandle.Find(handle));
  m_impl->MarkListed(m_impl->seekers, file->resolved);
  return true;
}

bool Project::SetOrder(FileHandle handle, std::int64_t order) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  if (file->order != order) {
    m_impl->dirty = m_impl->changed = true;
    m_impl->fileOrderStale = true;
    m_impl->macrosMoved = true;
    file->order = order;
    m_impl->Rebind(*file, file->library);
  }
  return true;
}

bool Project::SetLibrary(FileHandle handle, std::string_view library) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  const Sym folded = m_impl->FoldedIntern(library.empty() ? std::string_view("work") : library);
  if (folded != file->library) {
    const Sym previous = file->library;
    m_impl->CountLibrary(previous, -1);
    m_impl->CountLibrary(folded, +1);
    file->library = folded;
    m_impl->dirty = m_impl->changed = true;
    m_impl->Rebind(*file, previous);
  }
  return true;
}

bool Project::SetLanguage(FileHandle handle, Language language) {
  FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return false;
  if (file->language != language) {
    file->language = language;
    m_impl->MarkModified(*m_impl->byHandle.Find(handle));
  }
  return true;
}

bool Project::SetModified(FileHandle handle) {
  const std::uint32_t* found = m_impl->byHandle.Find(handle);
  if (found == nullptr) return false;
  m_impl->MarkModified(*found);
  m_impl->MarkIncluders(m_impl->files[*found].resolved);
  return true;
}

void Project::SetPathModified(std::string_view path) {
  const Sym resolved = m_impl->Resolve(path);
  for (std::uint32_t slot = 0; slot < m_impl->files.size(); ++slot) {
    if (m_impl->files[slot].live && m_impl->files[slot].resolved == resolved) m_impl->MarkModified(slot);
  }
  m_impl->MarkIncluders(resolved);
}

bool Project::IsModified(FileHandle handle) const {
  const FileRec* file = m_impl->FileOf(handle);
  return file != nullptr && file->modified;
}

bool Project::Contains(FileHandle handle) const { return m_impl->byHandle.Find(handle) != nullptr; }
std::size_t Project::FileCount() const { return m_impl->byHandle.Size(); }

std::optional<std::string_view> Project::PathOf(FileHandle handle) const {
  const FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return std::nullopt;
  return m_impl->pool.View(file->path);
}

void Project::SetMacros(std::vector<std::string> macros) {
  if (macros == m_impl->macros) return;
  m_impl->macros = std::move(macros);
  m_impl->MarkLanguage(true);
}

void Project::SetIncludeDirs(std::vector<std::string> dirs) {
  if (dirs == m_impl->includeDirs) return;
  m_impl->includeDirs = std::move(dirs);
  m_impl->MarkLanguage(true);
}

bool Project::SetVhdlStandard(std::string_view standard) {
  VhdlStandard parsed;
  if (!ParseVhdlStandard(standard, &parsed)) return false;
  SetVhdlStandard(parsed);
  return true;
}

void Project::SetVhdlStandard(std::optional<VhdlStandard> standard) {
  if (standard == m_impl->standard) return;
  m_impl->standard = standard;
  m_impl->MarkLanguage(false);
}

void Project::SetBaseDirectory(std::string_view directory) {
  if (directory == m_impl->baseDirectory) return;
  m_impl->baseDirectory = std::string(directory);
  for (std::size_t slot = 0; slot < m_impl->files.size(); ++slot) {
    FileRec& file = m_impl->files[slot];
    if (file.live) file.resolved = m_impl->Resolve(m_impl->pool.View(file.path));
  }
  m_impl->MarkAll();
}

void Project::SetReader(Reader reader) {
  m_impl->reader = std::move(reader);
  m_impl->MarkAll();
}

const std::vector<std::string>& Project::Macros() const { return m_impl->macros; }
const std::vector<std::string>& Project::IncludeDirs() const { return m_impl->includeDirs; }
std::optional<VhdlStandard> Project::GetVhdlStandard() const { return m_impl->standard; }
void Project::SetMaxHierarchyNodes(std::size_t nodes) {
  m_impl->maxNodes = std::max<std::size_t>(nodes, 1);
  m_impl->allRootsDirty = true;  // a root's hierarchy may now be cut, or no longer
}
void Project::SetScanThreads(std::size_t threads) { m_impl->scanThreads = threads; }

std::size_t Project::Update() { return m_impl->Update(); }

std::vector<std::string_view> Project::IncludesOf(FileHandle handle) const {
  std::vector<std::string_view> paths;
  if (const FileRec* file = m_impl->FileOf(handle)) {
    for (const Sym path : file->includes) paths.push_back(m_impl->pool.View(path));
  }
  return paths;
}

// A file removed since is left out, and so is a file added under its handle but not scanned yet.
std::vector<FileHandle> Project::TakeIncludeChanges() {
  std::vector<FileHandle> changed;
  for (const FileHandle handle : std::exchange(m_impl->includeChanges, {})) {
    FileRec* file = m_impl->FileOf(handle);
    if (file == nullptr || !file->includesChanged) continue;
    file->includesChanged = false;
    changed.push_back(handle);
  }
  return changed;
}
void Project::Invalidate() {
  Impl& d = *m_impl;
  d.dirty = d.changed = true;
  d.allRootsDirty = true;
  for (std::uint32_t slot = 0; slot < d.units.size(); ++slot) {
    if (!d.units[slot].live) continue;
    d.Unbind(slot);
    d.Queue(slot);
  }
}

std::vector<UnitInfo> Project::Units() {
  m_impl->Update();
  m_impl->Sync();
  m_impl->Resolve();
  std::vector<UnitInfo> result;
  result.reserve(m_impl->dense.size());
  for (std::uint32_t i = 0; i < m_impl->dense.size(); ++i) result.push_back(m_impl->Info(i));
  return result;
}

std::vector<UnitInfo> Project::UnitsOf(FileHandle handle) {
  m_impl->Update();
  m_impl->Sync();
  std::vector<UnitInfo> result;
  const FileRec* file = m_impl->FileOf(handle);
  if (file == nullptr) return result;
  for (std::uint32_t slot : file->units) result.push_back(m_impl->InfoOf(slot));
  return result;
}

CompileOrder Project::GetCompileOrder() {
  m_impl->Update();
  m_impl->Sync();
  m_impl->ResolveOrder();
  return m_impl->OrderOf(nullptr);
}

CompileOrder Project::GetCompileOrder(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  m_impl->ResolveOrder();
  const std::uint32_t found = m_impl->FindTopOrReport(top, library);
  if (found == kNone) {
    return {};
  }
  const std::vector<bool> wanted = m_impl->Closure(found);
  return m_impl->OrderOf(&wanted);
}

const std::vector<TopRef>& Project::TopRefs() {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  if (d.TopCandidatesLive()) return d.answerRefs;
  // Some hierarchy comes round: the whole model's walk settles how deep each is.
  d.Resolve();
  d.Extents();
  std::vector<std::uint32_t> tops;
  for (std::uint32_t i = 0; i < d.dense.size(); ++i) {
    if (CanBeTop(d.units[d.dense[i]].kind) && !d.instantiated[i]) tops.push_back(i);
  }
  // The unit a synthesis tool would pick comes first: the deepest hierarchy, then the larger, then
  // the later definition. Testbenches follow every unit with ports.
  const std::vector<Impl::Extent>& extents = d.extents;
  std::vector<std::pair<Impl::Extent, bool>> rank(d.dense.size());
  for (std::uint32_t i : tops) {
    const std::uint32_t source = d.Elaborate(i, kNone).first;
    rank[i] = {source == kNone ? Impl::Extent{} : extents[source], !d.units[d.dense[i]].hasPorts};
  }
  std::sort(tops.begin(), tops.end(), [&](std::uint32_t a, std::uint32_t b) {
    const auto& [extentA, benchA] = rank[a];
    const auto& [extentB, benchB] = rank[b];
    if (benchA != benchB) return benchB;
    if (extentA.depth != extentB.depth) return extentA.depth > extentB.depth;
    if (extentA.nodes != extentB.nodes) return extentA.nodes > extentB.nodes;
    return a > b;
  });
  // Ranked by the reference model, a candidate's version is not known.
  d.answerRefs.clear();
  for (std::uint32_t i : tops) d.answerRefs.push_back({d.dense[i] + 1, 0});
  return d.answerRefs;
}

UnitInfo Project::TopUnit(std::uint32_t id) const {
  return id == 0 || id > m_impl->units.size() ? UnitInfo{} : m_impl->InfoOf(id - 1);
}

const std::vector<TopCandidate>& Project::TopCandidates() {
  const std::vector<TopRef>& refs = TopRefs();
  std::vector<TopCandidate>& result = m_impl->answerCandidates;
  result.clear();
  result.reserve(refs.size());
  for (const TopRef& ref : refs) {
    result.push_back({TopUnit(ref.id), !m_impl->units[ref.id - 1].hasPorts, ref.version, ref.id});
  }
  return result;
}

std::optional<HierarchyNode> Project::Hierarchy(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  m_impl->Resolve();
  const std::uint32_t found = m_impl->FindTopOrReport(top, library);
  if (found == kNone) {
    return std::nullopt;
  }
  return m_impl->Hierarchy(found, top);
}

std::optional<HierarchyCursor> Project::HierarchyRoot(std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  const std::uint32_t found = m_impl->FindTopLive(top, library);
  if (found == kNone) {
    m_impl->ReportUnknownTop(top);
    return std::nullopt;
  }
  return m_impl->RootLive(found, top);
}

bool Project::RootUnchanged(const HierarchyCursor& kept, std::string_view top, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  const HierarchyCursor::State& state = *kept.m_state;
  const bool known = library.empty() && m_impl->CheckedLately(state, top);
  // An unknown top is left to HierarchyRoot, which reports it.
  const std::uint32_t found = known ? state.unit : m_impl->FindTopLive(top, library);
  if (found == kNone || !m_impl->RootLiveStill(state, found, top, known)) return false;
  if (library.empty() && found == state.unit) m_impl->NoteChecked(state);
  return true;
}

std::optional<Interface> Project::InterfaceOf(std::string_view name, std::string_view library) {
  m_impl->Update();
  m_impl->Sync();
  std::uint32_t found = m_impl->FindTopLive(name, library);
  if (found != kNone && m_impl->units[found].kind == UnitKind::kVhdlConfiguration) {
    const UnitRec& configuration = m_impl->units[found];
    found = m_impl->FindLive(configuration.primaryKey, Bit(UnitKind::kVhdlEntity), m_impl->LibraryOf(configuration), 0,
                             true);
  }
  if (found == kNone) return std::nullopt;
  return m_impl->units[found].interface;
}

const std::vector<Message>& Project::Messages() {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  d.ResolveOrder();
  if (d.messagesStale) {
    d.messagesStale = false;
    d.allMessages.clear();
    d.ForEachMessage([&d](const Message& message) { d.allMessages.push_back(message); });
  }
  return d.allMessages;
}

void Project::VisitMessages(const std::function<void(const Message&)>& visit) {
  Impl& d = *m_impl;
  d.Update();
  d.Sync();
  d.ResolveOrder();
  d.ForEachMessage(visit);
}

const std::vector<Message>& Project::ScanMessagesOf(FileHandle handle) {
  static const std::vector<Message> kNoMessages;
  m_impl->Update();
  const FileRec* file = m_impl->FileOf(handle);
  return file != nullptr ? file->messages : kNoMessages;
}

}  // namespace Hdl::scan
