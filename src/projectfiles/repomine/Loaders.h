#pragma once
// Loaders of the objects of the older project repository: each keeps the fields of one
// stored record that the migration needs and reads past the rest in stored order.

#include <cstdint>
#include <memory>
#include <vector>

#include "Port/StringBase.h"
#include "Port/XUID.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"

namespace repomine {
class RecordReader;
}

// Base of every loader. A loader is not reference counted: its owner deletes it, and the
// repository only borrows it to load a record.
class PersistHelper : public Prjrep::IPersist {
 public:
  ~PersistHelper() override = default;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  // 0x1000000200000011 for a null storage; 0 when the record ends or holds another kind of
  // value where one is read, in which case the fields read so far are kept.
  Hvd::Status PersistLoad(Prjrep::IStorage* storage) override;
  Hvd::Status PersistSave(Prjrep::IStorage* storage) override;
  Hvd::Status GetClassId(Port::XUID& out) override;
  Hvd::Status GetId(Port::XUID& out) override;
  Hvd::Status SetId(const Port::XUID& id) override;

  const Port::XUID& Id() const noexcept { return m_id; }
  std::int32_t Version = 0;

 protected:
  virtual void Load(repomine::RecordReader& in) = 0;

 private:
  Port::XUID m_id;
};

class DbObjectLoader : public PersistHelper {
 public:
  Port::XUID ParentId;
  std::vector<Port::XUID> ChildIds;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class ParserConfigHolderLoader final : public DbObjectLoader {};

class HdlFileLoader final : public DbObjectLoader {
 public:
  Port::StringBase<char> FileName;
  Port::XUID FusedDdmFileId;
  std::int64_t Item = 0;
  std::vector<Port::StringBase<char>> Strings;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class HdlElementLoader : public DbObjectLoader {
 public:
  Port::XUID DesignUnitId;

 protected:
  void Load(repomine::RecordReader& in) override;
};
class EntityDeclLoader final : public HdlElementLoader {};
class ArchLoader final : public HdlElementLoader {};
class PackageDeclLoader final : public HdlElementLoader {};
class PackageBodyLoader final : public HdlElementLoader {};
class ModuleLoader final : public HdlElementLoader {};

class DdmFileLoader final : public PersistHelper {
 public:
  Port::XUID HdlFileId;
  Port::XUID LibraryId;
  Port::XUID ViewAssocId;
  std::vector<Port::XUID> Ids;
  Port::StringBase<char> FileName;
  Port::StringBase<char> LibraryName;  // filled by correlation
  std::uint32_t AssociationBits = 0;   // filled by correlation
  Port::StringBase<char> Origination{"generated"};

 protected:
  void Load(repomine::RecordReader& in) override;
};

class DdmDesignUnitLoader final : public PersistHelper {
 public:
  Port::XUID KeyMapId;
  Port::XUID ViewAssocId;
  Port::XUID FusedHdlElementId;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class SourceLibraryLoader final : public PersistHelper {
 public:
  Port::StringBase<char> Name;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class ViewAssocLoader final : public PersistHelper {
 public:
  std::uint32_t Bits = 0;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class XuidKeyMapLoader final : public PersistHelper {
 public:
  Port::XUID ViewAssocId;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class CheckPointLoader final : public PersistHelper {
 public:
  Port::StringBase<char> Name;
  Port::StringBase<char> Comment;
  Port::StringBase<char> HlcFileName;

 protected:
  void Load(repomine::RecordReader& in) override;
};

class PropLoader : public PersistHelper {
 public:
  Port::StringBase<char> Name;
  Port::StringBase<char> Value;
  Port::StringBase<char> HeaderName;  // read, not used

 protected:
  void Load(repomine::RecordReader& in) override;
  // The value that follows the common part, by kind.
  virtual void LoadValue(repomine::RecordReader& in) = 0;
};

class BoolPropLoader final : public PropLoader {
 protected:
  void LoadValue(repomine::RecordReader& in) override;
};
class StringPropLoader : public PropLoader {
 protected:
  void LoadValue(repomine::RecordReader& in) override;
};
class FilePropLoader final : public StringPropLoader {};
class ListPropLoader final : public StringPropLoader {};
class IntPropLoader : public PropLoader {
 protected:
  void LoadValue(repomine::RecordReader& in) override;
};
class RangePropLoader final : public IntPropLoader {};

// The loader for an old class id, or null for a class outside the table.
std::unique_ptr<PersistHelper> CreateLoaderForClassId(const Port::XUID& classId);

// The key of a key map's entry that names the view association.
inline constexpr Port::XUID kViewAssocKey{"{b43ce357-4996-431a-a5e7-937d5d45bc56}"};
