#pragma once
// The hierarchical-design project of a project: its partitions, named by instance paths
// ("/"-separated, with a leading "/"), with their stage stamps, settings and texts. Each
// project publishes it in its repository's named lookup as "HDProject".

#include <cstdint>
#include <string>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {
class IProjectHelper;
}

namespace HdcI {

// The stand-in's component, made by class id.
CITI_DEFINE_ID(HDProjectClassId, "{6b0e1c52-7d43-4f1e-9a26-3c8d5e7f0a14}")

class IPartition : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2f6d8a1e-5c34-4b7a-9e02-8d1c6b4a3f57}")

  virtual Hvd::Status SetTop(bool top) = 0;
  virtual Hvd::Status IsTop(bool* top) = 0;
  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status SetName(const Port::StringBase<char>& name) = 0;
  // Stage index 0 to 4.
  virtual Hvd::Status SetStageStamp(std::int32_t stage, std::int64_t stamp) = 0;
  virtual Hvd::Status GetStageStamp(std::int32_t stage, std::int64_t* stamp) = 0;
  // Index 0 to 2.
  virtual Hvd::Status SetStageFlag(std::int32_t index, std::uint8_t flag) = 0;
  virtual Hvd::Status GetStageFlag(std::int32_t index, std::uint8_t* flag) = 0;
  virtual Hvd::Status SetSingleValue(std::int64_t value) = 0;
  virtual Hvd::Status GetSingleValue(std::int64_t* value) = 0;
  // Empty when the partition has none.
  virtual Hvd::Status SetSourceFile(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status GetSourceFile(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status AddListEntry(const Port::StringBase<char>& entry) = 0;
  virtual Hvd::Status GetListEntries(Prjrep::IStringIterator** entries) = 0;
  virtual Hvd::Status ClearList() = 0;
  virtual Hvd::Status SetKept(bool kept) = 0;
};

class IPartitionIterator : public Prjrep::TIIterator<IPartition*> {
 public:
  CITI_DECLARE_IID("{9c4e2b71-0a58-4d36-b1f3-6e7d2c8a5b40}")
};

// Queried from a partition.
class IPartitionStage : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0x510FD4BA1AD7459Bull, 0x8BEF4E302FC4E644ull};
    return s_iid;
  }

  // Stage index 0 to 4.
  virtual Hvd::Status SetPrimaryStamp(std::int32_t stage, std::int64_t stamp) = 0;
  virtual Hvd::Status GetPrimaryStamp(std::int32_t stage, std::int64_t* stamp) = 0;
  virtual Hvd::Status SetSecondaryStamp(std::int32_t stage, std::int64_t stamp) = 0;
  virtual Hvd::Status GetSecondaryStamp(std::int32_t stage, std::int64_t* stamp) = 0;
};

// Queried from a partition.
class IPartitionText : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xE5E114963C0E42FCull, 0xB9E53558F81CEE15ull};
    return s_iid;
  }

  // Index 0 to 5.
  virtual Hvd::Status SetText(std::int32_t index, const Port::StringBase<char>& text) = 0;
  virtual Hvd::Status GetText(std::int32_t index, Port::StringBase<char>* text) = 0;
};

class IHDProject : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xF358B3BB63AA4D89ull, 0xA57E507733C84974ull};
    return s_iid;
  }

  virtual Hvd::Status GetFileName(Port::StringBase<char>* path) = 0;
  // The project helper that owns it, with a reference for the caller.
  virtual Hvd::Status GetOwner(CitI::IInterface** owner) = 0;
  virtual Hvd::Status Write(const Port::StringBase<char>& path, Hvd::IProjectHelper* helper) = 0;
  virtual Hvd::Status PrepareWrite() = 0;
  // The new partition, or null.
  virtual Hvd::Status CreatePartition(const Port::StringBase<char>& name, IPartition** partition) = 0;
  virtual Hvd::Status GetRootPartition(IPartition** partition) = 0;
  // Null for a name it does not hold.
  virtual Hvd::Status FindPartition(const Port::StringBase<char>& name, IPartition** partition) = 0;
  virtual Hvd::Status GetPartitions(IPartitionIterator** partitions) = 0;
  virtual Hvd::Status GetPartitionRecord(IPartition* partition, IPartition** record) = 0;
  // The direct children of `partition`.
  virtual Hvd::Status GetChildPartitions(IPartition* partition, IPartitionIterator** children) = 0;
  virtual Hvd::Status RemovePartition(IPartition* partition) = 0;
  // Index 0 to 3.
  virtual Hvd::Status SetPathSetting(std::int32_t index, const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status GetPathSetting(std::int32_t index, Port::StringBase<char>* path) = 0;
  virtual Hvd::Status SetTextSetting(std::int32_t index, const Port::StringBase<char>& text) = 0;
  virtual Hvd::Status GetTextSetting(std::int32_t index, Port::StringBase<char>* text) = 0;
};

// The stand-in's own setup, which the host does when it opens a project.
class IHDProjectSetup : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{d41a7c93-2e68-4b05-8f1d-5a3b9e0c7264}")

  // The file the component is written to and the project helper that owns it (null lets go
  // of it).
  virtual Hvd::Status Bind(const Port::StringBase<char>& path, CitI::IInterface* owner) = 0;
  // Makes the component the hierarchical-design project of an open project (`Hvd::IProject`),
  // owned by `owner`: bound to the file beside the project file named by HDProjectFileOf, with
  // the partitions that file keeps, and registered as "HDProject" in the project's repository.
  // When the project closes, the component writes its file and leaves the repository. A
  // project that has one already keeps it (1); a file that cannot be read is refused (0),
  // nothing is published and the file stays as it is.
  virtual Hvd::Status Publish(CitI::IInterface* project, CitI::IInterface* owner) = 0;
  // Writes the file now as the project's close writes it, so that a caller can keep the project
  // open when that fails: another program's file that cannot be read in, the question whether
  // to read it in left unanswered, or a write that fails. The partitions are kept either way.
  virtual Hvd::Status WriteAsClosing() = 0;
};

// The file that keeps the partitions of the project whose project file is `projectFile`:
// beside it, with the extension ".hdp" for the project file's own.
inline Port::StringBase<char> HDProjectFileOf(const Port::StringBase<char>& projectFile) {
  const std::string& path = projectFile.str();
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return Port::StringBase<char>((hasExtension ? path.substr(0, dot) : path) + ".hdp");
}

}  // namespace HdcI
