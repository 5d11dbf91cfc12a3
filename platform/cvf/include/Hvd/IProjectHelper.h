#pragma once
// The partial-reconfiguration side of one project, kept by a component of its own.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

// The partial-reconfiguration project helper.
CITI_DEFINE_ID(ProjectHelperClassId, "{0725c3d2-5e9b-4383-a7b6-a80c932eac21}")

class IProjectHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6002c9fe-bb9b-4ed7-9b78-d59cf0c04b07}")

  // Opens the project of a repository or project file path; 1 when it is open.
  virtual Hvd::Status OpenProject(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status SaveProject(std::int32_t flags) = 0;
  // 1 when closed.
  virtual Hvd::Status CloseProject() = 0;
  // The helper's project with one reference for the caller.
  virtual Hvd::Status GetProjectObject(CitI::IInterface** project) = 0;
  // Told after the project's sources changed in bulk (a migration, say).
  virtual Hvd::Status AfterSourcesChanged(std::int32_t flags) = 0;
};

// Answered by a helper that takes the view associations of the project's sources.
class ISourceViewAssoc : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{e6ed593c-df50-464c-893f-16e7b22ff549}")
};


}  // namespace Hvd
