#pragma once
// What only the stand-in base library offers: the record of the code hooks its code-hook
// component ran, so that tests can see which hooks ran on which object.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "CitI/IInterface.h"

namespace Hvd {

// One entry per run, oldest first: the hook name, a space and StandInIdentity(object).
__attribute__((visibility("default"))) std::vector<std::string> StandInHookRuns();
__attribute__((visibility("default"))) void StandInClearHookRuns();

// An object's identity is its root interface's address, so any interface of it gives the same.
inline std::string StandInIdentity(CitI::IInterface* object) {
  CitI::IInterface* root = object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  if (root == nullptr) root = object;
  std::ostringstream out;
  out << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(root);
  return out.str();
}

}  // namespace Hvd
