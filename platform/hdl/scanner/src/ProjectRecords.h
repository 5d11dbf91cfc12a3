#pragma once
// What the project keeps of its files, by slot: every text once in a pool of interned names
// (StringPool), each file's slot by its handle (HandleIndex), and the compact records of files,
// units, references and macros (FileRec, UnitRec, RefRec, FileMacros) in chunks that never move
// (ChunkedRecords). Project::Impl (ProjectImpl.h) holds them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HdlScan/Project.h"
#include "HdlScan/Scan.h"

namespace Hdl::scan {

using Sym = std::uint32_t;
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// A name within one library; library 0 stands for every library.
constexpr std::uint64_t WatchKey(Sym key, Sym library) { return std::uint64_t{library} << 32 | key; }

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
inline constexpr std::uint32_t kVerilogCells = Bit(UnitKind::kVerilogModule) | Bit(UnitKind::kVerilogInterface) |
                                               Bit(UnitKind::kVerilogProgram) | Bit(UnitKind::kVerilogPrimitive);
inline constexpr std::uint32_t kCells = kVerilogCells | Bit(UnitKind::kVhdlEntity);
inline constexpr std::uint32_t kPackages = Bit(UnitKind::kVhdlPackage) | Bit(UnitKind::kVerilogPackage);
inline constexpr std::uint32_t kVhdlPrimaries = Bit(UnitKind::kVhdlEntity) | Bit(UnitKind::kVhdlPackage) |
                                                Bit(UnitKind::kVhdlConfiguration) | Bit(UnitKind::kVhdlContext);

inline bool IsSecondary(UnitKind kind) {
  return kind == UnitKind::kVhdlArchitecture || kind == UnitKind::kVhdlPackageBody;
}

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
  // Where the unit is listed by name (Impl::Bucket): the key, but for a VHDL extended name, that of
  // its characters, so that a Verilog name of the same characters is found beside it.
  Sym bucket = 0;
  Sym primaryBucket = 0;
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
  Sym IndexKey() const { return IsSecondary(kind) ? primaryBucket : bucket; }
};

// Verilog: the macros a file's scan found where the file starts and those it leaves (ScanResult's),
// and the files whose macros it found there, each once.
struct FileMacros {
  std::vector<MacroState> macrosFound;
  std::vector<std::uint32_t> macrosFoundAt;  // lines
  std::vector<std::uint32_t> foundSources;  // the file that left each so; kNone: none
  bool undefinesAll = false;
  std::vector<MacroState> macrosLeft;
  std::vector<Sym> macrosLeftIn;  // the included file that set each; kNone: the file's own text
  std::vector<std::string> macrosUsedUndefined;
  std::vector<std::uint32_t> macrosUsedUndefinedAt;  // lines
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


}  // namespace Hdl::scan
