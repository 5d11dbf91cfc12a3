#pragma once
// The project, as other components reach it.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IProject : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{155462E3-6B65-42e1-94AB-FC281C0EF860}")

  virtual std::uint64_t Save() = 0;
  // The canonical path of the project file; empty when the project has none.
  virtual std::uint64_t GetProjectFilePath(Port::StringBase<char>& path) = 0;
};

// A reference from one project to another project's file.
class IProjectReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9332BB2B-226C-43c4-8C5D-F39EB1847DB4}")

  // 1 when the path is not empty.
  virtual std::uint64_t GetProjectPath(Port::StringBase<char>& path) = 0;
  virtual std::uint64_t SetProjectPath(const Port::StringBase<char>& path) = 0;
};

// A component that belongs to a project.
class IProjectCompReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{c9b69cbc-0d15-4cc4-a24d-f403f60d77fd}")

  // The owning project with one reference for the caller; non-zero when there is one,
  // 0 for a null output.
  virtual std::uint64_t GetProject(IProject** project) = 0;
};

}  // namespace Hvd
