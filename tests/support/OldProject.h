#pragma once
// Writes projects of the older repository for tests: each record family in the order and
// shape of its record version, and whole projects built from a short description.

#include <cstdint>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "Port/XUID.h"
#include "Prjrep/OldRecords.h"
#include "Prjrep/OldRepositoryWriter.h"

namespace oldproject {

using Prjrep::IStorage;
using Port::XUID;
using Text = Port::StringBase<char>;
namespace w = Prjrep::old;

namespace cls {
inline const XUID BoolProp("{456CD80D-F639-4f26-AA03-4EF617B9723B}");
inline const XUID FileProp("{9EC3D83C-25A4-4111-A970-101C54B83D61}");
inline const XUID ListProp("{7AAB3217-FAC0-4089-9549-CF1BAE368DD2}");
inline const XUID StringProp("{5B76B651-2F14-4c8a-BD56-97C40BA48F65}");
inline const XUID IntProp("{E9A8E8EF-E3EB-4a51-8C9B-CD0F356194DC}");
inline const XUID RangeProp("{B29A9C65-646C-47ab-B465-7EE640B5BB6B}");
inline const XUID HdlFile("{E16DACC1-8C84-40e5-9BD1-6CB03EFBC730}");
inline const XUID Entity("{E2CC8569-A0F6-4aca-AFBE-31FF458253C6}");
inline const XUID Arch("{B455570A-EED2-4698-A482-28044A3997D1}");
inline const XUID PackageDecl("{11A2A34D-836F-4a38-919B-B48596CFB15F}");
inline const XUID PackageBody("{125F2E77-A70C-491f-B339-492C7A639441}");
inline const XUID Module("{BD090D6C-F645-4865-81F9-5449CC51FBC8}");
inline const XUID ParserConfigHolder("{FAA048F9-8C24-49c7-85D3-F06A29DD8991}");
inline const XUID DdmFile("{CCD946C3-0A31-4325-B004-6017AB1F3CD8}");
inline const XUID SourceLibrary("{78179803-01DB-4f43-B67F-E83C6C856443}");
inline const XUID DesignUnit("{3E2D75F9-1FAC-47d1-916C-1CD3C8404C08}");
inline const XUID KeyMap("{e0a394b8-1df6-4a01-8db1-62a4783e3e31}");
inline const XUID ViewAssoc("{329eca24-dd7e-4555-8c1f-3a826caa219e}");
inline const XUID CheckPoint("{29071B8C-9AC0-4dc1-9E41-AC6D3E0D244E}");
}  // namespace cls

inline const XUID kViewAssocKey("{b43ce357-4996-431a-a5e7-937d5d45bc56}");

inline void Header(IStorage* s, const std::string& name) {
  std::ignore = w::WriteXuid(s, XUID(9, 9));
  std::ignore = w::WriteString(s, Text(name));
  std::ignore = w::WriteTag(s, 0);
}
inline void IdList(IStorage* s, const std::vector<XUID>& ids) {
  std::ignore = w::WriteInt(s, static_cast<std::int32_t>(ids.size()));
  for (const XUID& id : ids) std::ignore = w::WriteXuid(s, id);
}
inline void StringList(IStorage* s, const std::vector<std::string>& strings) {
  std::ignore = w::WriteInt(s, static_cast<std::int32_t>(strings.size()));
  for (const auto& text : strings) std::ignore = w::WriteString(s, Text(text));
}
// Pairs of key and value, as stored.
inline void KeyMap(IStorage* s, const std::vector<std::pair<XUID, XUID>>& pairs) {
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteInt(s, static_cast<std::int32_t>(pairs.size()));
  for (const auto& [key, value] : pairs) {
    std::ignore = w::WriteXuid(s, key);
    std::ignore = w::WriteXuid(s, value);
  }
}

inline void DbObject(IStorage* s, std::int32_t v, const XUID& parent) {
  std::ignore = w::WriteVersion(s, v);
  std::ignore = w::WriteInt(s, 0);
  std::ignore = w::WriteXuid(s, parent);
  IdList(s, {XUID(5, 5)});
  std::ignore = w::WriteString(s, "a");
  std::ignore = w::WriteString(s, "b");
  std::ignore = w::WriteBool(s, true);
}

inline void HdlFile(IStorage* s, std::int32_t v, const XUID& parent, const std::string& name, const XUID& ddmFile) {
  DbObject(s, v, parent);
  std::ignore = w::WriteWide(s, 1);
  std::ignore = w::WriteFileName(s, Text(name));
  std::ignore = w::WriteString(s, "x");
  std::ignore = w::WriteBool(s, !ddmFile.IsNull());
  if (!ddmFile.IsNull()) std::ignore = w::WriteXuid(s, ddmFile);
  std::ignore = w::WriteXuid(s, XUID(6, 6));
  std::ignore = w::WriteBool(s, false);
  if (v < 10) return;
  std::ignore = w::WriteItem(s, 42);
  std::ignore = w::WriteItem(s, 43);
  StringList(s, {"s1", "s2"});
}

inline void HdlElement(IStorage* s, std::int32_t v, const XUID& parent, const XUID& designUnit) {
  std::ignore = w::WriteWide(s, 1);
  std::ignore = w::WriteWide(s, 2);
  DbObject(s, v, parent);
  std::ignore = w::WriteXuid(s, XUID(7, 7));
  for (int i = 0; i < 5; ++i) std::ignore = w::WriteInt(s, i);
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteXuid(s, XUID(7, 8));
  if (v < 13) {
    std::ignore = w::WriteBool(s, !designUnit.IsNull());
    if (!designUnit.IsNull()) std::ignore = w::WriteXuid(s, designUnit);
  }
  if (v >= 3) StringList(s, {"e"});
  if (v >= 9) std::ignore = w::WriteBool(s, true);
}

// Origination codes: 0 user, 1 generated, 2 imported.
inline void DdmFile(IStorage* s, std::int32_t v, const XUID& library, std::uint32_t origination,
                    const std::string& name = "", const XUID& viewAssoc = XUID(), const XUID& hdlFile = XUID()) {
  std::ignore = w::WriteVersion(s, v);
  Header(s, "ddm");
  if (v < 13) std::ignore = w::WriteXuid(s, hdlFile);
  std::ignore = w::WriteXuid(s, library);
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteCount(s, origination);
  IdList(s, {XUID(1, 2)});
  if (v == 7) std::ignore = w::WriteXuid(s, XUID(3, 4));
  if (v >= 8) IdList(s, {});
  if (v < 13) return;
  std::ignore = w::WriteCount(s, 2);
  std::ignore = w::WriteItem(s, 1);
  std::ignore = w::WriteItem(s, 2);
  std::ignore = w::WriteFileName(s, Text(name));
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteString(s, "z");
  StringList(s, {});
  // The view association's key second, so that the whole map must be read.
  KeyMap(s, {{XUID(8, 8), XUID(8, 9)}, {kViewAssocKey, viewAssoc}, {kViewAssocKey, XUID(1, 1)}});
  IdList(s, {});
  IdList(s, {XUID(2, 2)});
  StringList(s, {"t"});
}

inline void DesignUnit(IStorage* s, std::int32_t v, const XUID& element, const XUID& viewAssoc,
                       const XUID& keyMap = XUID()) {
  std::ignore = w::WriteVersion(s, v);
  std::ignore = w::WriteString(s, "du");
  Header(s, "du");
  std::ignore = w::WriteXuid(s, element);
  for (int i = 0; i < 3; ++i) IdList(s, {});
  std::ignore = w::WriteXuid(s, XUID(4, 4));
  StringList(s, {"q"});
  if (v >= 4) {
    KeyMap(s, {{kViewAssocKey, viewAssoc}});
  } else {
    std::ignore = w::WriteXuid(s, keyMap);
  }
}

inline void SourceLibrary(IStorage* s, const std::string& name) {
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteString(s, Text(name));
  std::ignore = w::WriteInt(s, 0);
  IdList(s, {});
}
inline void ViewAssoc(IStorage* s, std::int32_t bits) {
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteInt(s, bits);
}
inline void CheckPoint(IStorage* s, const std::string& name, const std::string& comment, const std::string& hlc) {
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteString(s, Text(name));
  std::ignore = w::WriteString(s, Text(comment));
  std::ignore = w::WriteString(s, Text(hlc));
}

enum class PropKind { Bool, String, Int };
// A property record; `headed` writes the optional header, `extended` the optional block.
inline void Property(IStorage* s, PropKind kind, std::int32_t v, const std::string& name, const std::string& value,
                     bool headed = true, bool extended = false) {
  std::ignore = w::WriteVersion(s, v);
  std::ignore = w::WriteString(s, Text(name));
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteBool(s, !headed);
  if (headed) Header(s, "prop");
  std::ignore = w::WriteBool(s, extended);
  if (extended) {
    std::ignore = w::WriteInt(s, 0);
    std::ignore = w::WriteBool(s, false);
    std::ignore = w::WriteBool(s, false);
    std::ignore = w::WriteString(s, "e");
    for (int i = 0; i < 3; ++i) std::ignore = w::WriteInt(s, i);
    for (int i = 0; i < 3; ++i) IdList(s, {XUID(1, static_cast<std::uint64_t>(i))});
  }
  switch (kind) {
    case PropKind::Bool:
      std::ignore = w::WriteBool(s, value == "true");
      break;
    case PropKind::String:
      std::ignore = w::WriteString(s, Text(value));
      break;
    case PropKind::Int:
      std::ignore = w::WriteInt(s, std::stoi(value));
      break;
  }
  if (v >= 10) {
    std::ignore = w::WriteBool(s, true);
    std::ignore = w::WriteInt(s, 3);
  }
}

// A project of repository version 13 or later: files with their library, origination
// and view-association bits, string properties, snapshots.
struct File {
  std::string name;
  std::string library;  // "" for none
  std::uint32_t origination = 0;
  std::int32_t bits = 0;
};
struct Snapshot {
  std::string name, comment, hlc;
};

inline bool WriteProject(const std::string& path, const std::vector<File>& files,
                         const std::vector<std::pair<std::string, std::string>>& properties,
                         const std::vector<Snapshot>& snapshots = {}, std::int32_t version = 13) {
  w::RepositoryWriter writer;
  writer.SetProjectVersion(version);
  std::uint64_t next = 100;
  for (const File& file : files) {
    XUID library, assoc;
    if (!file.library.empty()) {
      library = XUID(1, next++);
      SourceLibrary(writer.AddObject(library, cls::SourceLibrary), file.library);
    }
    if (file.bits != 0) {
      assoc = XUID(2, next++);
      ViewAssoc(writer.AddObject(assoc, cls::ViewAssoc), file.bits);
    }
    DdmFile(writer.AddObject(XUID(3, next++), cls::DdmFile), 13, library, file.origination, file.name, assoc);
  }
  for (const auto& [name, value] : properties)
    Property(writer.AddObject(XUID(4, next++), cls::StringProp), PropKind::String, 10, name, value);
  for (const Snapshot& snapshot : snapshots)
    CheckPoint(writer.AddObject(XUID(5, next++), cls::CheckPoint), snapshot.name, snapshot.comment, snapshot.hlc);
  writer.SetKey("/Corvane11", "HLC_VERSION_LAST_SAVED_WITH", "old");
  writer.AddArea("ConstraintSystem");
  writer.AddArea("Cs");
  writer.AddArea("HierarchicalDesign");
  return writer.Save(path);
}

}  // namespace oldproject
