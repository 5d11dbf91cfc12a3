#pragma once
// What only the stand-in base library offers: the record of the code hooks its code-hook
// component ran, so that tests can see which hooks ran on which object; and a reading of a
// definitions file other than its own, so that tests can try files the library must survive.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "CitI/IInterface.h"

namespace Hvd {

// One entry per run, oldest first: the hook name, a space and StandInIdentity(object).
__attribute__((visibility("default"))) std::vector<std::string> StandInHookRuns();
__attribute__((visibility("default"))) void StandInClearHookRuns();

// What the library makes of a definitions file, read as its own data file is read.
struct StandInDefinitions {
  bool loaded = false;
  std::size_t definitions = 0;
  // Of each platform type in document order: the names of the properties it takes.
  std::vector<std::vector<std::string>> platformProperties;
  // How many separate lists hold those names in the library.
  std::size_t platformPropertyLists = 0;
};
// The library's own definitions stay as they are.
__attribute__((visibility("default"))) StandInDefinitions StandInReadDefinitions(const std::string& path);

// An object's identity is its root interface's address, so any interface of it gives the same.
inline std::string StandInIdentity(CitI::IInterface* object) {
  CitI::IInterface* root = object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  if (root == nullptr) root = object;
  std::ostringstream out;
  out << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(root);
  return out.str();
}

}  // namespace Hvd
