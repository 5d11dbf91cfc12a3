#pragma once
// A map from pointers to small values, in one flat table: the tables kept for each file of a large
// project (a view's list, the parser's mirror) are looked up and filled for every file, and a
// node per entry would cost an allocation, room beyond the entry, and a second place in memory
// to reach.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Hvd {

// Open addressing with linear probing; a removal shifts the entries behind it back, so no
// removed marks pile up. The table grows by half past four fifths full, which keeps it between
// about half and four fifths full as it grows.
template <class V>
class TPointerMap {
 public:
  std::size_t Size() const { return m_size; }

  V* Find(const void* key) {
    if (key == nullptr || m_cells.empty()) return nullptr;
    for (std::size_t i = Home(key);; i = Next(i)) {
      if (m_cells[i].key == key) return &m_cells[i].value;
      if (m_cells[i].key == nullptr) return nullptr;
    }
  }

  // The value of `key`, made from `value` when the key is new; true when it is. The pointer
  // stays good until the next insertion or removal.
  std::pair<V*, bool> Insert(const void* key, const V& value) {
    if (V* found = Find(key)) return {found, false};
    if ((m_size + 1) * 5 > m_cells.size() * 4) Grow();
    std::size_t i = Home(key);
    while (m_cells[i].key != nullptr) i = Next(i);
    m_cells[i] = Cell{key, value};
    ++m_size;
    return {&m_cells[i].value, true};
  }

  // Sets the value of `key`, new or not.
  void Assign(const void* key, const V& value) { *Insert(key, value).first = value; }

  bool Erase(const void* key) {
    if (key == nullptr || m_cells.empty()) return false;
    std::size_t hole = Home(key);
    while (m_cells[hole].key != key) {
      if (m_cells[hole].key == nullptr) return false;
      hole = Next(hole);
    }
    // Each entry after the hole, up to the first free cell, moves into the hole unless its home
    // lies after the hole, on its way.
    for (std::size_t at = Next(hole); m_cells[at].key != nullptr; at = Next(at)) {
      const std::size_t home = Home(m_cells[at].key);
      const bool stays = hole <= at ? (hole < home && home <= at) : (hole < home || home <= at);
      if (stays) continue;
      m_cells[hole] = std::move(m_cells[at]);
      hole = at;
    }
    m_cells[hole] = Cell{};
    --m_size;
    return true;
  }

  // Room for `count` entries at once, so that filling them grows the table no more.
  void Reserve(std::size_t count) {
    std::size_t cells = m_cells.size();
    while (count * 5 > cells * 4) cells = cells == 0 ? 16 : cells + cells / 2;
    if (cells != m_cells.size()) Rehash(cells);
  }

  void Clear() {
    std::vector<Cell>().swap(m_cells);
    m_size = 0;
  }

 private:
  struct Cell {
    const void* key = nullptr;  // null: free
    V value{};
  };

  std::size_t Next(std::size_t i) const { return i + 1 == m_cells.size() ? 0 : i + 1; }
  std::size_t Home(const void* key) const {
    auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
    bits ^= bits >> 29;
    bits *= 0x9E3779B97F4A7C15ull;
    bits ^= bits >> 32;
    // Scaled onto the table, which need not be a power of two.
    return static_cast<std::size_t>((static_cast<unsigned __int128>(bits) * m_cells.size()) >> 64);
  }
  void Grow() { Rehash(m_cells.empty() ? 16 : m_cells.size() + m_cells.size() / 2); }
  void Rehash(std::size_t cells) {
    std::vector<Cell> old(cells);
    old.swap(m_cells);
    // Moved, not copied: a value that owns something is not reached through it.
    for (Cell& cell : old) {
      if (cell.key == nullptr) continue;
      std::size_t i = Home(cell.key);
      while (m_cells[i].key != nullptr) i = Next(i);
      m_cells[i] = std::move(cell);
    }
  }

  std::vector<Cell> m_cells;
  std::size_t m_size = 0;
};

}  // namespace Hvd
