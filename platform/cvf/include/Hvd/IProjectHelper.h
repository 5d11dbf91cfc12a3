#pragma once
// The partial-reconfiguration side of one project, kept by a component of its own.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IProjectHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6002c9fe-bb9b-4ed7-9b78-d59cf0c04b07}")

  // Opens the project of a repository or project file path; 1 when it is open.
  virtual std::uint64_t OpenProject(const Port::StringBase<char>& path) = 0;
  virtual std::uint64_t SaveProject(std::int32_t flags) = 0;
  // 1 when closed.
  virtual std::uint64_t CloseProject() = 0;
  // The helper's project with one reference for the caller.
  virtual std::uint64_t GetProjectObject(CitI::IInterface** project) = 0;
};


}  // namespace Hvd
