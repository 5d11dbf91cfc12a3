#pragma once
// A topological order that breaks cycles, by which the project orders its units and its files
// (ProjectOrder.cpp). It keeps nothing from one run to the next.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Hdl::scan {

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
                                        std::vector<std::vector<std::uint32_t>>* cycles);
  // Whether the hard edges alone close a cycle: only such a cycle is ever reported.
  static bool HasHardCycle(std::size_t n, const std::vector<Edge>& edges);

 private:
  static std::vector<std::uint32_t> Components(std::size_t n, const std::vector<Edge>& edges);
};

}  // namespace Hdl::scan
