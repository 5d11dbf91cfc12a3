#pragma once
// The partial-reconfiguration side of one project, kept by a component of its own. Callers
// use the operations by name; their order here is the helper's own.

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

  // Makes the project of a project file; may change the working directory.
  virtual Hvd::Status MakeProject(const Port::StringBase<char>& path) = 0;
  // The project's sources changed (callers pass 1): the helper writes its project out.
  virtual Hvd::Status AfterSourcesChanged(std::int32_t flag) = 0;
  // 1 when closed.
  virtual Hvd::Status CloseProject() = 0;
  virtual Hvd::Status AfterMakeProject() = 0;
  // The helper's project with one reference for the caller.
  virtual Hvd::Status GetProject(CitI::IInterface** project) = 0;
};

class IProjectHelper2 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{90e9e283-8bfe-41bd-a189-e1209da8a345}")

  // Opens the project of a repository or project file path, from its file when it is not
  // open yet: the project's repository then keeps the helper, which keeps the project, and
  // the project, the helper and the repository become the active ones. 1 when it is open.
  virtual Hvd::Status OpenProject(const Port::StringBase<char>& path) = 0;
  // The opened project with one reference for the caller.
  virtual Hvd::Status GetProject(CitI::IInterface** project) = 0;
};

// The sources of the helper's project.
class IProjSrcHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5532212d-d0ab-48fe-9225-102e3fd3b8bf}")

  // Adds a source, by path or file key; afterwards it is among the project's files.
  virtual Hvd::Status AddProjectSource(const Port::StringBase<char>& source, std::int32_t flag) = 0;
  // The project takes the source back from a parent it was composed into: 1 when it holds
  // it, "not supported" without a project.
  virtual Hvd::Status HandOverSource(const Port::StringBase<char>& source) = 0;
  // Records the view association of a design unit of the helper's project.
  virtual Hvd::Status SetSourceViewAssociation(CitI::IInterface* designUnit, std::int32_t value) = 0;
};

// Answered by a helper that takes the view associations of the project's sources.
class ISourceViewAssoc : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{e6ed593c-df50-464c-893f-16e7b22ff549}")

  // Adds a source as AddProjectSource does, with `kind` as its view association.
  virtual Hvd::Status AddSourceWithViewAssociation(const Port::StringBase<char>& source, std::int32_t kind) = 0;
  // The association of a design unit of the helper's project; 0 when it has none or the
  // unit is not one of the project's.
  virtual Hvd::Status GetSourceViewAssociation(CitI::IInterface* designUnit, std::int32_t* value) = 0;
};

}  // namespace Hvd
