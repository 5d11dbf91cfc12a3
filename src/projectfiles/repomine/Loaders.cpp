#include "projectfiles/repomine/Loaders.h"

#include <functional>
#include <string>
#include <utility>

#include "Hvd/Status.h"
#include "Prjrep/OldRecords.h"

namespace repomine {

// Reads one record's values in order. After the first read that fails every further read
// does nothing, so a damaged record ends at once, and a damaged count never drives more
// reads than the record holds.
class RecordReader {
 public:
  explicit RecordReader(Prjrep::IStorage* storage) : m_storage(storage) {}
  bool Ok() const noexcept { return m_ok; }

  std::int32_t Version() { return Take<std::int32_t>(Prjrep::old::ReadVersion); }
  std::int32_t Int() { return Take<std::int32_t>(Prjrep::old::ReadInt); }
  std::uint32_t Count() { return Take<std::uint32_t>(Prjrep::old::ReadCount); }
  std::int64_t Wide() { return Take<std::int64_t>(Prjrep::old::ReadWide); }
  std::int64_t Item() { return Take<std::int64_t>(Prjrep::old::ReadItem); }
  bool Bool() { return Take<bool>(Prjrep::old::ReadBool); }
  Port::StringBase<char> String() { return Take<Port::StringBase<char>>(Prjrep::old::ReadString); }
  Port::StringBase<char> FileName() { return Take<Port::StringBase<char>>(Prjrep::old::ReadFileName); }
  Port::XUID Xuid() { return Take<Port::XUID>(Prjrep::old::ReadXuid); }
  void Tag() { std::ignore = Take<std::int32_t>(Prjrep::old::ReadTag); }

  // Object header: id, name and the closing tag; the name.
  Port::StringBase<char> Header() {
    std::ignore = Xuid();
    Port::StringBase<char> name = String();
    Tag();
    return name;
  }
  void IdList(std::vector<Port::XUID>* ids) {
    const std::int32_t n = Int();
    for (std::int32_t i = 0; i < n && m_ok; ++i) {
      const Port::XUID id = Xuid();
      if (m_ok && ids != nullptr) ids->push_back(id);
    }
  }
  void StringList(std::vector<Port::StringBase<char>>* strings) {
    const std::int32_t n = Int();
    for (std::int32_t i = 0; i < n && m_ok; ++i) {
      Port::StringBase<char> s = String();
      if (m_ok && strings != nullptr) strings->push_back(std::move(s));
    }
  }
  // A key map: every pair is read, so that what follows it is read in place; the value of
  // the first view-association key is kept.
  Port::XUID KeyMap() {
    std::ignore = Version();
    const std::int32_t n = Int();
    Port::XUID found;
    bool matched = false;
    for (std::int32_t i = 0; i < n && m_ok; ++i) {
      const Port::XUID key = Xuid();
      const Port::XUID value = Xuid();
      if (m_ok && !matched && key == kViewAssocKey) {
        found = value;
        matched = true;
      }
    }
    return found;
  }

 private:
  template <class T, class Read>
  T Take(Read read) {
    T value{};
    if (m_ok && read(m_storage, &value) != Hvd::kSuccess) {
      m_ok = false;
      value = T{};
    }
    return value;
  }

  Prjrep::IStorage* m_storage;
  bool m_ok = true;
};

}  // namespace repomine

using repomine::RecordReader;

CitI::IInterface* PersistHelper::QueryInterface(const Port::XUID& iid) {
  if (iid == Prjrep::IPersist::GetIID() || iid == CitI::IInterface::GetIID()) return this;
  return nullptr;
}

Hvd::Status PersistHelper::PersistLoad(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Hvd::kInvalidParameter;
  RecordReader in(storage);
  Load(in);
  return in.Ok() ? Hvd::kSuccess : Hvd::kFailure;
}

Hvd::Status PersistHelper::PersistSave(Prjrep::IStorage*) { return Hvd::kSuccess; }
Hvd::Status PersistHelper::GetClassId(Port::XUID&) { return Hvd::kFailure; }
Hvd::Status PersistHelper::GetId(Port::XUID& out) {
  out = m_id;
  return Hvd::kSuccess;
}
Hvd::Status PersistHelper::SetId(const Port::XUID& id) {
  m_id = id;
  return Hvd::kSuccess;
}

void DbObjectLoader::Load(RecordReader& in) {
  Version = in.Version();
  std::ignore = in.Int();
  ParentId = in.Xuid();
  in.IdList(&ChildIds);
  std::ignore = in.String();
  std::ignore = in.String();
  std::ignore = in.Bool();
}

void HdlFileLoader::Load(RecordReader& in) {
  DbObjectLoader::Load(in);
  std::ignore = in.Wide();
  FileName = in.FileName();
  std::ignore = in.String();
  if (in.Bool()) FusedDdmFileId = in.Xuid();
  std::ignore = in.Xuid();
  std::ignore = in.Bool();
  if (Version < 10) return;
  Item = in.Item();
  std::ignore = in.Item();
  in.StringList(&Strings);
}

void HdlElementLoader::Load(RecordReader& in) {
  // These two precede the version in the stored record.
  std::ignore = in.Wide();
  std::ignore = in.Wide();
  DbObjectLoader::Load(in);
  std::ignore = in.Xuid();
  for (int i = 0; i < 5; ++i) std::ignore = in.Int();
  std::ignore = in.Bool();
  std::ignore = in.Xuid();
  if (Version < 13 && in.Bool()) DesignUnitId = in.Xuid();
  if (Version >= 3) in.StringList(nullptr);
  if (Version >= 9) std::ignore = in.Bool();
}

void DdmFileLoader::Load(RecordReader& in) {
  Version = in.Version();
  std::ignore = in.Header();
  if (Version < 13) HdlFileId = in.Xuid();
  LibraryId = in.Xuid();
  std::ignore = in.Bool();
  switch (in.Count()) {
    case 1:
      Origination = "generated";
      break;
    case 2:
      Origination = "imported";
      break;
    default:
      Origination = "user";
  }
  if (!in.Ok()) Origination = "generated";
  in.IdList(&Ids);
  if (Version == 7) std::ignore = in.Xuid();
  if (Version >= 8) in.IdList(&Ids);
  if (Version < 13) return;
  const std::uint32_t n = in.Count();
  for (std::uint32_t i = 0; i < n && in.Ok(); ++i) std::ignore = in.Item();
  FileName = in.FileName();
  std::ignore = in.Wide();
  std::ignore = in.Wide();
  std::ignore = in.String();
  in.StringList(nullptr);
  ViewAssocId = in.KeyMap();
  in.IdList(nullptr);
  in.IdList(nullptr);
  in.StringList(nullptr);
}

void DdmDesignUnitLoader::Load(RecordReader& in) {
  Version = in.Version();
  std::ignore = in.String();
  std::ignore = in.Header();
  FusedHdlElementId = in.Xuid();
  for (int i = 0; i < 3; ++i) in.IdList(nullptr);
  std::ignore = in.Xuid();
  in.StringList(nullptr);
  if (Version >= 4) {
    ViewAssocId = in.KeyMap();
  } else {
    KeyMapId = in.Xuid();
  }
}

void XuidKeyMapLoader::Load(RecordReader& in) { ViewAssocId = in.KeyMap(); }

void SourceLibraryLoader::Load(RecordReader& in) {
  Version = in.Version();
  Name = in.String();
  std::ignore = in.Int();
  in.IdList(nullptr);
}

void ViewAssocLoader::Load(RecordReader& in) {
  Version = in.Version();
  Bits = static_cast<std::uint32_t>(in.Int());
}

void CheckPointLoader::Load(RecordReader& in) {
  Version = in.Version();
  Name = in.String();
  Comment = in.String();
  HlcFileName = in.String();
}

void PropLoader::Load(RecordReader& in) {
  Version = in.Version();
  Name = in.String();
  std::ignore = in.Bool();
  std::ignore = in.Wide();
  std::ignore = in.Wide();
  if (!in.Bool() && in.Ok()) HeaderName = in.Header();
  if (in.Bool()) {
    std::ignore = in.Int();
    std::ignore = in.Bool();
    std::ignore = in.Bool();
    std::ignore = in.String();
    for (int i = 0; i < 3; ++i) std::ignore = in.Int();
    for (int i = 0; i < 3; ++i) in.IdList(nullptr);
  }
  LoadValue(in);
  if (Version >= 10) {
    std::ignore = in.Bool();
    std::ignore = in.Int();
  }
}

void BoolPropLoader::LoadValue(RecordReader& in) {
  const bool value = in.Bool();
  if (in.Ok()) Value = value ? "true" : "false";
}
void StringPropLoader::LoadValue(RecordReader& in) { Value = in.String(); }
void IntPropLoader::LoadValue(RecordReader& in) {
  const std::int32_t value = in.Int();
  if (in.Ok()) Value = Port::StringBase<char>(std::to_string(value));
}

namespace {

template <class T>
std::unique_ptr<PersistHelper> Make() {
  return std::make_unique<T>();
}

struct LoaderRow {
  Port::XUID classId;
  std::unique_ptr<PersistHelper> (*make)();
};

// The old class ids in table order; the first match decides.
constexpr LoaderRow kLoaders[] = {
    {Port::XUID("{456CD80D-F639-4f26-AA03-4EF617B9723B}"), &Make<BoolPropLoader>},
    {Port::XUID("{9EC3D83C-25A4-4111-A970-101C54B83D61}"), &Make<FilePropLoader>},
    {Port::XUID("{7AAB3217-FAC0-4089-9549-CF1BAE368DD2}"), &Make<ListPropLoader>},
    {Port::XUID("{5B76B651-2F14-4c8a-BD56-97C40BA48F65}"), &Make<StringPropLoader>},
    {Port::XUID("{E9A8E8EF-E3EB-4a51-8C9B-CD0F356194DC}"), &Make<IntPropLoader>},
    {Port::XUID("{B29A9C65-646C-47ab-B465-7EE640B5BB6B}"), &Make<RangePropLoader>},
    {Port::XUID("{E16DACC1-8C84-40e5-9BD1-6CB03EFBC730}"), &Make<HdlFileLoader>},
    {Port::XUID("{E2CC8569-A0F6-4aca-AFBE-31FF458253C6}"), &Make<EntityDeclLoader>},
    {Port::XUID("{B455570A-EED2-4698-A482-28044A3997D1}"), &Make<ArchLoader>},
    {Port::XUID("{11A2A34D-836F-4a38-919B-B48596CFB15F}"), &Make<PackageDeclLoader>},
    {Port::XUID("{125F2E77-A70C-491f-B339-492C7A639441}"), &Make<PackageBodyLoader>},
    {Port::XUID("{BD090D6C-F645-4865-81F9-5449CC51FBC8}"), &Make<ModuleLoader>},
    {Port::XUID("{FAA048F9-8C24-49c7-85D3-F06A29DD8991}"), &Make<ParserConfigHolderLoader>},
    {Port::XUID("{CCD946C3-0A31-4325-B004-6017AB1F3CD8}"), &Make<DdmFileLoader>},
    {Port::XUID("{78179803-01DB-4f43-B67F-E83C6C856443}"), &Make<SourceLibraryLoader>},
    {Port::XUID("{3E2D75F9-1FAC-47d1-916C-1CD3C8404C08}"), &Make<DdmDesignUnitLoader>},
    {Port::XUID("{e0a394b8-1df6-4a01-8db1-62a4783e3e31}"), &Make<XuidKeyMapLoader>},
    {Port::XUID("{329eca24-dd7e-4555-8c1f-3a826caa219e}"), &Make<ViewAssocLoader>},
    {Port::XUID("{29071B8C-9AC0-4dc1-9E41-AC6D3E0D244E}"), &Make<CheckPointLoader>},
};

}  // namespace

std::unique_ptr<PersistHelper> CreateLoaderForClassId(const Port::XUID& classId) {
  for (const LoaderRow& row : kLoaders) {
    if (row.classId == classId) return row.make();
  }
  return nullptr;
}
