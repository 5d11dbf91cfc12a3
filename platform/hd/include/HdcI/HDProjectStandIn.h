#pragma once
// Registers the hierarchical-design project's factory; the component library that carries
// the stand-in calls it from its entry. And what only the stand-in offers tests: a reading of a
// partitions file as a project's open reads it, with the work it took.

#include <cstddef>
#include <string>

namespace HdcI {

void RegisterHDProject();

struct StandInPartitionsFile {
  bool read = false;
  std::size_t partitions = 0;
  // How many times two partitions' names were compared to find one named twice.
  std::size_t nameComparisons = 0;
};
__attribute__((visibility("default"))) StandInPartitionsFile StandInReadPartitions(const std::string& path);

}  // namespace HdcI
