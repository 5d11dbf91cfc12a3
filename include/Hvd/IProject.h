#pragma once
// The project, as other components reach it. One object answers all four widenings.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
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
  virtual Hvd::Status GetRepositoryPath(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status Open(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status ProjectClose(bool save) = 0;
  virtual Hvd::Status Save() = 0;
  // The design, without an added reference.
  virtual Hvd::Status GetDesign(IDesign** design) = 0;
  virtual Hvd::Status ProjectCleanUp() = 0;
  virtual Hvd::Status GetReadOnly(bool* readOnly) = 0;
  virtual Hvd::Status IsOpen(bool* open) = 0;
  virtual Hvd::Status GetConnectionManager(Ipc::IConnectionManager** manager) = 0;
  virtual Hvd::Status ReconcileProject() = 0;
};

class IProject2 : public IProject {
 public:
  CITI_DECLARE_IID("{630dab3a-c8de-4702-a188-cc9357f712f2}")

  // The project source file (.xhlc), the generated-project file (.ghlc) and the working
  // directory; 0x1000000200000011 for a null output.
  virtual Hvd::Status GetProjectFilePath(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status GetGeneratedFilePath(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status GetWorkingDirectory(Port::StringBase<char>* path) = 0;
};

class IProject3 : public IProject2 {
 public:
  CITI_DECLARE_IID("{0cde1D9d-e9b8-4e73-a9CC-fee39a9897b1}")

  virtual Hvd::Status ChangeWorkingDirectory(const Port::StringBase<char>& directory, bool save, bool reload) = 0;
  virtual Hvd::Status Reload() = 0;
  virtual Hvd::Status ParseCompileOrderFile(const Port::StringBase<char>& path, std::int32_t mode) = 0;
};

class IProject4 : public IProject3 {
 public:
  CITI_DECLARE_IID("{7D5C3C0C-6FB1-41AB-9344-8FEAED82D084}")

  virtual Hvd::Status CleanupAutoManagedFiles() = 0;
  virtual Hvd::Status WriteUsageStatistics() = 0;
  virtual Hvd::Status Reopen(const Port::StringBase<char>& path) = 0;
};

// A reference from one project to another project's file.
class IProjectReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9332BB2B-226C-43c4-8C5D-F39EB1847DB4}")

  virtual Hvd::Status GetProjectFileName(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status SetProjectFileName(const Port::StringBase<char>& path) = 0;
};

// A component that belongs to a project.
class IProjectCompReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{c9b69cbc-0d15-4cc4-a24d-f403f60d77fd}")

  virtual Hvd::Status SetProject(CitI::IInterface* project) = 0;
  // The owning project with one reference for the caller; 1 when there is one, 0 for a
  // null output or no project.
  virtual Hvd::Status GetProject(IProject** project) = 0;
};

}  // namespace Hvd
