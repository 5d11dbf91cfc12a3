#pragma once
// The project, as other components reach it. One object answers all four widenings.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDesign;
namespace Ipc {
class IConnectionManager;
}

class IProject : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{155462E3-6B65-42e1-94AB-FC281C0EF860}")

  // The canonical path of the project's repository (.hlc); empty when it has none.
  virtual std::uint64_t GetRepositoryPath(Port::StringBase<char>* path) = 0;
  virtual std::uint64_t Open(const Port::StringBase<char>& path) = 0;
  virtual std::uint64_t ProjectClose(bool save) = 0;
  virtual std::uint64_t Save() = 0;
  // The design, without an added reference.
  virtual std::uint64_t GetDesign(IDesign** design) = 0;
  virtual std::uint64_t ProjectCleanUp() = 0;
  virtual std::uint64_t GetReadOnly(bool* readOnly) = 0;
  virtual std::uint64_t IsOpen(bool* open) = 0;
  virtual std::uint64_t GetConnectionManager(Ipc::IConnectionManager** manager) = 0;
  virtual std::uint64_t ReconcileProject() = 0;
};

class IProject2 : public IProject {
 public:
  CITI_DECLARE_IID("{630dab3a-c8de-4702-a188-cc9357f712f2}")

  // The project source file (.xhlc), the generated-project file (.ghlc) and the working
  // directory; 0x1000000200000011 for a null output.
  virtual std::uint64_t GetProjectFilePath(Port::StringBase<char>* path) = 0;
  virtual std::uint64_t GetGeneratedFilePath(Port::StringBase<char>* path) = 0;
  virtual std::uint64_t GetWorkingDirectory(Port::StringBase<char>* path) = 0;
};

class IProject3 : public IProject2 {
 public:
  CITI_DECLARE_IID("{0cde1D9d-e9b8-4e73-a9CC-fee39a9897b1}")

  virtual std::uint64_t ChangeWorkingDirectory(const Port::StringBase<char>& directory, bool save, bool reload) = 0;
  virtual std::uint64_t Reload() = 0;
  virtual std::uint64_t ParseCompileOrderFile(const Port::StringBase<char>& path, std::int32_t mode) = 0;
};

class IProject4 : public IProject3 {
 public:
  CITI_DECLARE_IID("{7D5C3C0C-6FB1-41AB-9344-8FEAED82D084}")

  virtual std::uint64_t CleanupAutoManagedFiles() = 0;
  virtual std::uint64_t WriteUsageStatistics() = 0;
  virtual std::uint64_t Reopen(const Port::StringBase<char>& path) = 0;
};

// A reference from one project to another project's file.
class IProjectReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9332BB2B-226C-43c4-8C5D-F39EB1847DB4}")

  virtual std::uint64_t GetProjectFileName(Port::StringBase<char>* path) = 0;
  virtual std::uint64_t SetProjectFileName(const Port::StringBase<char>& path) = 0;
};

// A component that belongs to a project.
class IProjectCompReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{c9b69cbc-0d15-4cc4-a24d-f403f60d77fd}")

  virtual std::uint64_t SetProject(CitI::IInterface* project) = 0;
  // The owning project with one reference for the caller; 1 when there is one, 0 for a
  // null output or no project.
  virtual std::uint64_t GetProject(IProject** project) = 0;
};

}  // namespace Hvd
