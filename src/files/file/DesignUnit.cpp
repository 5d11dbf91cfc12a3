// The file seen as a design unit and as an HDL element: its file type, its design-unit type,
// the parser that reads it, its views and its design. An automatically managed file answers its
// types through the first file that includes it.

#include "core/Diagnostics.h"
#include "files/file/CFile.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

// Marks the file as asking its parents for as long as it does.
class AskingParents {
 public:
  explicit AskingParents(bool& flag) : m_flag(flag) { m_flag = true; }
  AskingParents(const AskingParents&) = delete;
  AskingParents& operator=(const AskingParents&) = delete;
  ~AskingParents() { m_flag = false; }

 private:
  bool& m_flag;
};

}  // namespace

template <class I>
Prjrep::AutoPtr<I> CFile::FirstParentAs() {
  for (CFileRelationSet* parents : ParentSets()) {
    if (!parents) continue;
    for (const AutoPtr<IHdlFile>& parent : parents->Files()) {
      if (AutoCast<I> answer(parent.Get()); answer) return AutoPtr<I>(answer);
    }
  }
  return AutoPtr<I>();
}

void CFile::ResolveDesignUnitType() {
  m_designUnitType = nullptr;
  if (!m_fileType) return;
  String typeName;
  if (AutoCast<IDefDataId> id(m_fileType.Get()); id) std::ignore = id->GetDefDataIdName(&typeName);
  // A VHDL file stands for its architecture; any other file for the first unit type its
  // type lists.
  const bool vhdl = typeName == "FILE_VHDL";
  AutoRelease<IDefDataIdIterator> ids;
  std::ignore = m_fileType->GetDesignUnitTypeIds(ids.Receive());
  IDefDataId* chosen = nullptr;
  for (; ids && !ids->IsDone() && chosen == nullptr; std::ignore = ids->Next()) {
    IDefDataId* id = ids->Current();
    String name;
    if (id != nullptr && (!vhdl || (id->GetDefDataIdName(&name) == kSuccess && name == "DESUT_VHDL_ARCHITECTURE")))
      chosen = id;
  }
  AutoRelease<IDesignUnitTypeStore> store = DataStorePart<IDesignUnitTypeStore>();
  if (chosen == nullptr || !store) return;
  AutoRelease<IDesignUnitType> found;
  std::ignore = store->GetDesignUnitType(chosen, found.Receive());
  m_designUnitType = std::move(found);
}

Status CFile::XIFile::GetFileType(IFileType** type) {
  CFile& self = This();
  if (type == nullptr) return Fail(kFailure, "ERROR: CFile::GetFileType - Invalid Parameter.\n");
  AutoOut<IFileType> out(type);
  if (self.m_originState == kAutoManaged && !self.m_askingParents) {
    if (AutoPtr<IFile> parent = self.FirstParentAs<IFile>(); parent) {
      AskingParents asking(self.m_askingParents);
      return parent->GetFileType(type);
    }
  }
  if (!self.m_fileType) return Fail(kFailure, "ERROR: CFile::GetFileType - No FileType object.\n");
  out.Assign(self.m_fileType.Get());
  return kSuccess;
}

Status CFile::XIDesignUnit::GetDesignUnitType(IDesignUnitType** type) {
  CFile& self = This();
  if (type == nullptr)
    return Fail(kInvalidParameter, "ERROR: CFile::XIDesignUnit::GetDesignUnitType - Invalid Parameter.\n");
  AutoOut<IDesignUnitType> out(type);
  if (self.m_originState == kAutoManaged && !self.m_askingParents) {
    if (AutoPtr<IDesignUnit> parent = self.FirstParentAs<IDesignUnit>(); parent) {
      AskingParents asking(self.m_askingParents);
      return parent->GetDesignUnitType(type);
    }
  }
  if (!self.m_designUnitType) self.ResolveDesignUnitType();
  if (!self.m_designUnitType)
    return Fail(kOwnerMissing, "ERROR: CFile::XIDesignUnit::GetDesignUnitType - No DesignUnitType.\n");
  out.Assign(self.m_designUnitType.Get());
  return kSuccess;
}

Status CFile::XIDesignUnit::GetViews(IViewIterator** views) { return This().m_views.GetIterator(views); }

Status CFile::XIDesignUnit::GetDesign(IDesign** design) {
  if (design == nullptr) return Fail(kInvalidParameter, "ERROR: DesignUnit::GetDesign - Invalid Parameter.\n");
  AutoOut<IDesign>(design).Assign(This().m_design.Get());
  return kSuccess;
}

Status CFile::XIHdlDesignUnit::GetDesignUnit(CitI::IInterface*, IHdlDesignUnit** unit) {
  if (unit == nullptr) return kFailure;
  AutoOut<IHdlDesignUnit>(unit).Assign(this);
  return kSuccess;
}

Status CFile::XIHdlElement::GetHdlFile(IHdlFile** file) {
  if (file == nullptr) return kFailure;
  AutoOut<IHdlFile>(file).Assign(&This().m_XIHdlFile);
  return kSuccess;
}

Status CFile::XIHdlFile::GetDesignUnits(IHdlParserConfig*, IHdlDesignUnitIterator** units) {
  AutoOut<IHdlDesignUnitIterator> out(units);
  AutoCast<IHdlDesignUnit> unit(this);
  if (!unit) return Fail(kFailure, "ERROR: CFile::getDesignUnits() - IHdlDesignUnit is not exposed.\n");
  if (units == nullptr) return kInvalidParameter;
  AutoRelease<IHdlDesignUnitIterator> iterator(new CSingleDuIter(unit.Get()));
  out.Assign(iterator.Get());
  return kSuccess;
}

// The configuration string of the parser plug-in of the file's type.
Status CFile::XIHdlFile::GetParserName(String* name) {
  CFile& self = This();
  if (name == nullptr) return kInvalidParameter;
  *name = String();
  AutoRelease<IDataStore> store = self.DataStorePart<IDataStore>();
  if (!store) return kFailure;
  AutoCast<IPlugInConfigStore> configs(store.Get());
  if (!configs) return Fail(kFailure, "Error: IPlugInConfigStore interface is not exposed.\n");
  String key;
  if (!self.m_fileType || self.m_fileType->GetPlugInKey(&key) != kSuccess || key.empty()) return kFailure;
  AutoRelease<IPlugInConfig> config;
  if (configs->GetPlugInConfig(key, config.Receive()) != kSuccess || !config) return kFailure;
  return config->GetConfigString(name);
}

}  // namespace Hvd
