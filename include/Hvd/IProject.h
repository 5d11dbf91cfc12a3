#pragma once
// The project, as other components reach it. One object answers all four widenings.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IDesign;
class ICheckpoint;
class ICheckpointIterator;
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

class IProjectReferenceIterator : public Prjrep::TIIterator<IProjectReference*> {
 public:
  CITI_DECLARE_IID("{B3CCB87A-DD11-4318-89D2-1E887F220F6F}")
};

// The project's references to other projects. Add and Remove refuse a null argument, a
// closed project and a read-only one.
class IProjectReferenceSet : public Prjrep::TISet<IProjectReference*, IProjectReferenceIterator> {
 public:
  CITI_DECLARE_IID("{FBE8DF46-620B-4509-8476-993135741619}")
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

class IProjectHelper;

// The project's Cvf project helper.
class IProjectHelperReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{3259c984-781d-4acb-9af4-8bea87b0c587}")

  virtual Hvd::Status ReservedOperation1() = 0;
  // The Cvf project with one reference, or null; 0 for a null output.
  virtual Hvd::Status GetCvfProject(IProjectHelper** helper) = 0;
};

// Child projects composed into a project and taken out again.
class ICompositionControl : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{cc4224b1-6da8-4397-801e-95f471db1c7f}")

  virtual Hvd::Status Compose(CitI::IInterface* argument) = 0;
  // Takes `project` out, or every child project for null.
  virtual Hvd::Status Decompose(CitI::IInterface* project) = 0;
};

// Saving the project at once, whatever the save delay says.
class IForceSave : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{bf23d568-8013-4fe4-9b4e-ebd5a56f3445}")

  virtual Hvd::Status ForceSave() = 0;
  virtual Hvd::Status SetSaveDelay(std::int64_t seconds) = 0;
};

// Whether the project holds anything its files, as it last read or wrote them, do not: a host
// that saves before it closes asks, so that a close with nothing to save writes nothing.
class IProjectSaveState : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2220175c-482a-4004-8c29-fdd1153287a3}")

  // True also when that cannot be told (a file never read, or not read whole), and when another
  // program left the project file one that no open reads (cut short, a folder at its name).
  virtual Hvd::Status HasUnsavedChanges(bool* unsaved) = 0;
};

// Project look-ups for other libraries, through one interface.
class IProjRefUtils : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5aff8968-528c-4d11-a7da-e6778356e958}")

  // Each hands out what it finds with one reference for the caller (null when none).
  virtual Hvd::Status GetOwningProject(CitI::IInterface* object, IProject** project) = 0;
  virtual Hvd::Status GetObjectFullPath(Port::StringBase<char>* path, CitI::IInterface* object) = 0;
  virtual Hvd::Status GetActiveProjectOfRepository(const Port::StringBase<char>& repository, IProject** project) = 0;
  virtual Hvd::Status GetCvfProject(CitI::IInterface* object, IProjectHelper** helper) = 0;
};

// The project's snapshots, as they are on disk under the project's "snapshots" directory.
class ICheckpointManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{CC2B6961-0907-4a25-9836-A1CCC616207F}")

  // A snapshot object of that name, without files yet (see CreateCheckpointProject); 0 when
  // a snapshot of that name exists.
  virtual Hvd::Status CreateCheckpoint(const Port::StringBase<char>& name, const Port::StringBase<char>& description,
                                       ICheckpoint** checkpoint) = 0;
  // Deletes the files of the snapshot under `at` and takes it out of its listing.
  virtual Hvd::Status RemoveCheckpoint(ICheckpointIterator* at) = 0;
  // 0 when no snapshot has that name.
  virtual Hvd::Status RemoveCheckpointByName(const Port::StringBase<char>& name) = 0;
  // A fresh listing from disk; a listing made earlier stays as it was.
  virtual Hvd::Status GetCheckpoints(ICheckpointIterator** checkpoints) = 0;
  // The snapshot of exactly that name, with one reference; 0 when there is none.
  virtual Hvd::Status FindCheckpoint(const Port::StringBase<char>& name, ICheckpoint** checkpoint) = 0;
};

}  // namespace Hvd
