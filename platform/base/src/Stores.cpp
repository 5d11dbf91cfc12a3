// The definition objects, the data store with its platform types, the device store and
// the platform's event sender.

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "BaseData.h"
#include "Prjrep/IEvents.h"
#include "core/Events.h"
#include "core/Holders.h"

namespace Hvd::base {
namespace {

// The set interfaces behind the typed iterators; only the iterators are handed out.
class IDefDataIdSet : public Prjrep::TISet<IDefDataId*, IDefDataIdIterator> {
 public:
  CITI_DECLARE_IID("{5b2e8c1d-7f40-4a93-b6d2-0e9c3a7f1b58}")
};

class IPlatformTypeSet : public Prjrep::TISet<IDesignPlatformType*, IDesignPlatformTypeIterator> {
 public:
  CITI_DECLARE_IID("{be7e1d8b-73bc-458c-9afc-6888c70953bf}")
};

class IDeviceEntrySet : public Prjrep::TISet<IDeviceEntry*, IDeviceFieldIterator> {
 public:
  CITI_DECLARE_IID("{c41f7a9e-2d85-4b06-93e7-6a1b5d0f8c23}")
};

// A list of strings with a count of its own, so that its iterator can keep it alive.
class CStringList final
    : public TComponent<CStringList, Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator,
                                                                      std::vector<Text>>> {
 public:
  auto QueryTable() {
    return Table(Row<Prjrep::IStringSet>(this), Row<Prjrep::IRefCount>(&m_count), Row<Prjrep::IRefCountV1>(&m_count),
                 Row<CitI::IInterface>(this));
  }

 private:
  Prjrep::TRefCountHelper<CStringList> m_count{this};
};

// One parser configuration of the data; it lives as long as the process.
class CPlugInConfig final : public TComponent<CPlugInConfig> {
 public:
  explicit CPlugInConfig(std::string config) : m_config(std::move(config)) {}

  auto QueryTable() {
    return Table(Row<IPlugInConfig>(&m_XIPlugInConfig), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XIPlugInConfig : TNested<CPlugInConfig, IPlugInConfig> {
    using TNested::TNested;
    Status GetConfigString(Text* text) override {
      if (text == nullptr) return kFailure;
      *text = Text(This().m_config);
      return kSuccess;
    }
  } m_XIPlugInConfig{this};
  TImmortalCount<CPlugInConfig> m_count{this};
  std::string m_config;
};

class CDataStore final : public TComponent<CDataStore> {
 public:
  explicit CDataStore(const Data& data) {
    for (const PlugInData& p : data.plugIns) m_plugIns.try_emplace(p.key, std::make_unique<CPlugInConfig>(p.config));
    for (const DefinitionData& d : data.definitions) {
      auto [at, added] = m_byName.try_emplace(d.name, nullptr);
      if (!added) continue;  // the first definition of a name wins
      at->second = std::make_unique<CDefinition>(d);
      if (d.kind == Kind::kProperty) m_properties.push_back(at->second.get());
      if (d.kind == Kind::kPlatform) m_platformTypes.push_back(Prjrep::AutoCast<IDesignPlatformType>(at->second.get()));
      if (d.kind == Kind::kView) m_viewTypes.push_back(at->second.get());
      if (d.kind != Kind::kFile) continue;
      // As with names, the first file type to claim an extension or a key keeps it.
      for (const std::string& extension : d.extensions) m_fileTypesByExtension.try_emplace(extension, at->second.get());
      if (!d.key.empty()) m_fileTypesByKey.try_emplace(d.key, at->second.get());
    }
  }

  auto QueryTable() {
    return Table(Row<IDataStore>(&m_XIDataStore), Row<IPropertyTemplateStore>(&m_XIPropertyTemplateStore),
                 Row<IFamilyTemplates>(&m_XIFamilyTemplates),
                 Row<IDesignPlatformTypeStore>(&m_XIDesignPlatformTypeStore), Row<IViewTypeStore>(&m_XIViewTypeStore),
                 Row<IFileTypeStore>(&m_XIFileTypeStore),
                 Row<IDesignUnitTypeStore>(&m_XIDesignUnitTypeStore), Row<IPlugInConfigStore>(&m_XIPlugInConfigStore),
                 Row<Prjrep::IRefCount>(&m_count), Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

  CDefinition* Find(std::string_view name) const {
    const auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second.get();
  }

 private:
  struct XIDataStore : TNested<CDataStore, IDataStore> {
    using TNested::TNested;
    Status FindByDefDataId(IDefDataId* id, CitI::IInterface** definition) override;
    Status FindPropertyTemplate(const Text& name, IPropertyTemplate** definition) override;
    Status FindDefData(const Text& name, CitI::IInterface** definition) override;
    Status ReadDefDataRef(Prjrep::IStorage* storage, CitI::IInterface** definition) override;
    Status WriteDefDataRef(Prjrep::IStorage* storage, CitI::IInterface* definition) override;
  } m_XIDataStore{this};

  struct XIPropertyTemplateStore : TNested<CDataStore, IPropertyTemplateStore> {
    using TNested::TNested;
    Status GetTemplate(IDefDataId* id, IPropertyTemplate** definition) override;
    Status GetTemplates(Prjrep::IIterator** definitions) override {
      const CDataStore& self = This();
      std::vector<CitI::IInterface*> items(self.m_properties.begin(), self.m_properties.end());
      return HandOut(NewIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>(items), definitions);
    }
  } m_XIPropertyTemplateStore{this};

  // The data gives no family definitions, so every family adds none.
  struct XIFamilyTemplates : TNested<CDataStore, IFamilyTemplates> {
    using TNested::TNested;
    Status GetFamilyTemplates(CitI::IInterface*, Prjrep::IIterator** definitions) override {
      return HandOut(NewIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>({}), definitions);
    }
  } m_XIFamilyTemplates{this};

  struct XIDesignPlatformTypeStore : TNested<CDataStore, IDesignPlatformTypeStore> {
    using TNested::TNested;
    Status GetPlatformTypes(IDesignPlatformTypeIterator** types) override {
      return HandOut(
          NewIterator<IDesignPlatformType*, IPlatformTypeSet, IDesignPlatformTypeIterator>(This().m_platformTypes),
          types);
    }
  } m_XIDesignPlatformTypeStore{this};

  struct XIViewTypeStore : TNested<CDataStore, IViewTypeStore> {
    using TNested::TNested;
    Status GetViewTypes(Prjrep::IIterator** types) override {
      return HandOut(NewIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>(This().m_viewTypes), types);
    }
  } m_XIViewTypeStore{this};

  struct XIFileTypeStore : TNested<CDataStore, IFileTypeStore> {
    using TNested::TNested;
    Status FindFileTypeByExtension(const Text& extension, IFileType** type) override {
      return HandOutFileType(Lookup(This().m_fileTypesByExtension, extension.str()), type);
    }
    Status GetFileType(IDefDataId* id, IFileType** type) override;
    Status FindFileTypeByKey(const Text& key, IFileType** type) override {
      return HandOutFileType(Lookup(This().m_fileTypesByKey, key.str()), type);
    }
  } m_XIFileTypeStore{this};

  struct XIDesignUnitTypeStore : TNested<CDataStore, IDesignUnitTypeStore> {
    using TNested::TNested;
    Status GetDesignUnitType(IDefDataId* id, IDesignUnitType** type) override {
      Prjrep::AutoOut<IDesignUnitType> result(type);
      Text name;
      if (type == nullptr || id == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
      CDefinition* found = This().Find(name.str());
      if (found == nullptr || found->Data().kind != Kind::kDesignUnit) return kFailure;
      return result.Assign(found);
    }
  } m_XIDesignUnitTypeStore{this};

  struct XIPlugInConfigStore : TNested<CDataStore, IPlugInConfigStore> {
    using TNested::TNested;
    Status GetPlugInConfig(const Text& key, IPlugInConfig** config) override {
      Prjrep::AutoOut<IPlugInConfig> result(config);
      const auto found = This().m_plugIns.find(key.str());
      if (config == nullptr || found == This().m_plugIns.end()) return kFailure;
      return result.Assign(found->second.get());
    }
  } m_XIPlugInConfigStore{this};

  using FileTypeIndex = std::map<std::string, CDefinition*, std::less<>>;
  // Extensions are compared ignoring letter case: "leaf.VHD" is as much VHDL as "leaf.vhd".
  struct FoldedLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
      return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
      });
    }
  };
  using ExtensionIndex = std::map<std::string, CDefinition*, FoldedLess>;
  template <class Index>
  static CDefinition* Lookup(const Index& index, std::string_view word) {
    const auto found = index.find(word);
    return found == index.end() ? nullptr : found->second;
  }
  static Status HandOutFileType(CDefinition* found, IFileType** type) {
    Prjrep::AutoOut<IFileType> result(type);
    if (type == nullptr || found == nullptr) return kFailure;
    return result.Assign(found);
  }

  TImmortalCount<CDataStore> m_count{this};
  // Hashed: every file and property made asks here by name.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
  };
  std::unordered_map<std::string, std::unique_ptr<CDefinition>, NameHash, std::equal_to<>> m_byName;
  ExtensionIndex m_fileTypesByExtension;
  FileTypeIndex m_fileTypesByKey;
  std::map<std::string, std::unique_ptr<CPlugInConfig>, std::less<>> m_plugIns;
  std::vector<CDefinition*> m_properties;             // in document order
  std::vector<IDesignPlatformType*> m_platformTypes;  // in document order
  std::vector<CitI::IInterface*> m_viewTypes;         // in document order
};

Status CDataStore::XIDataStore::FindByDefDataId(IDefDataId* id, CitI::IInterface** definition) {
  Prjrep::AutoOut<CitI::IInterface> result(definition);
  Text name;
  if (definition == nullptr || id == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
  CDefinition* found = This().Find(name.str());
  if (found == nullptr) return kFailure;
  return result.Assign(found);
}

Status CDataStore::XIDataStore::FindPropertyTemplate(const Text& name, IPropertyTemplate** definition) {
  Prjrep::AutoOut<IPropertyTemplate> result(definition);
  CDefinition* found = This().Find(name.str());
  if (definition == nullptr || found == nullptr || !found->IsProperty()) return kFailure;
  return result.Assign(found);
}

Status CDataStore::XIDataStore::FindDefData(const Text& name, CitI::IInterface** definition) {
  Prjrep::AutoOut<CitI::IInterface> result(definition);
  CDefinition* found = This().Find(name.str());
  if (definition == nullptr || found == nullptr) return kFailure;
  return result.Assign(found);
}

// Nothing is read without somewhere to put what is found.
Status CDataStore::XIDataStore::ReadDefDataRef(Prjrep::IStorage* storage, CitI::IInterface** definition) {
  Prjrep::AutoOut<CitI::IInterface> result(definition);
  Text name;
  if (definition == nullptr || storage == nullptr || storage->ReadString(&name) != kSuccess) return kFailure;
  CDefinition* found = This().Find(name.str());
  if (found == nullptr) return kFailure;
  return result.Assign(found);
}

Status CDataStore::XIDataStore::WriteDefDataRef(Prjrep::IStorage* storage, CitI::IInterface* definition) {
  Prjrep::AutoCast<IDefDataId> id(definition);
  Text name;
  if (storage == nullptr || !id || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
  return storage->WriteString(&name);
}

Status CDataStore::XIFileTypeStore::GetFileType(IDefDataId* id, IFileType** type) {
  Text name;
  CDefinition* found = id != nullptr && id->GetDefDataIdName(&name) == kSuccess ? This().Find(name.str()) : nullptr;
  return HandOutFileType(found != nullptr && found->Data().kind == Kind::kFile ? found : nullptr, type);
}

Status CDataStore::XIPropertyTemplateStore::GetTemplate(IDefDataId* id, IPropertyTemplate** definition) {
  Prjrep::AutoOut<IPropertyTemplate> result(definition);
  Text name;
  if (definition == nullptr || id == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
  CDefinition* found = This().Find(name.str());
  if (found == nullptr || !found->IsProperty()) return kFailure;
  return result.Assign(found);
}

CDataStore& Store() {
  static CDataStore* const s_store = new CDataStore(TheData());
  return *s_store;
}

class CDeviceEntry final : public TComponent<CDeviceEntry> {
 public:
  CDeviceEntry(std::string name, std::string key) : m_name(std::move(name)), m_key(std::move(key)) {}

  auto QueryTable() {
    return Table(Row<IDeviceEntry>(&m_XIDeviceEntry), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XIDeviceEntry : TNested<CDeviceEntry, IDeviceEntry> {
    using TNested::TNested;
    Status GetName(Text* name) override {
      if (name == nullptr) return kFailure;
      *name = Text(This().m_name);
      return kSuccess;
    }
    Status GetKey(Text* key) override {
      if (key == nullptr) return kFailure;
      *key = Text(This().m_key);
      return kSuccess;
    }
  } m_XIDeviceEntry{this};
  TImmortalCount<CDeviceEntry> m_count{this};
  std::string m_name, m_key;
};

// Each family, then each of its devices followed by that device's packages and speeds.
class CDeviceStore final : public TComponent<CDeviceStore> {
 public:
  explicit CDeviceStore(const Data& data) : m_families(data.families) {
    for (const FamilyData& family : data.families) {
      Add(family.name, family.key);
      for (const DeviceData& device : family.devices) {
        Add(device.name, device.key);
        for (const std::string& package : device.packages) Add(package, package);
        for (const std::string& speed : device.speeds) Add(speed, speed);
      }
    }
  }

  auto QueryTable() {
    return Table(Row<IDeviceStore>(&m_XIDeviceStore), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  void Add(const std::string& name, const std::string& key) {
    m_entries.push_back(std::make_unique<CDeviceEntry>(name, key));
    m_handed.push_back(Prjrep::AutoCast<IDeviceEntry>(m_entries.back().get()));
  }

  struct XIDeviceStore : TNested<CDeviceStore, IDeviceStore> {
    using TNested::TNested;
    Status GetEntries(IDeviceFieldIterator** entries) override {
      return HandOut(NewIterator<IDeviceEntry*, IDeviceEntrySet, IDeviceFieldIterator>(This().m_handed), entries);
    }
    Status ValidateDevice(const Text& family, const Text& device, const Text& package, const Text& speed,
                          std::int32_t* invalid) override {
      if (invalid == nullptr) return kFailure;
      *invalid = This().FirstInvalid(family.str(), device.str(), package.str(), speed.str());
      return kSuccess;
    }
  } m_XIDeviceStore{this};

  std::int32_t FirstInvalid(const std::string& family, const std::string& device, const std::string& package,
                            const std::string& speed) const {
    const auto known = std::find_if(m_families.begin(), m_families.end(),
                                    [&](const FamilyData& entry) { return entry.name == family; });
    if (known == m_families.end()) return 1;
    const auto part = std::find_if(known->devices.begin(), known->devices.end(),
                                   [&](const DeviceData& entry) { return entry.name == device; });
    if (part == known->devices.end()) return 2;
    auto listed = [](const Names& names, const std::string& value) {
      return value.empty() || std::find(names.begin(), names.end(), value) != names.end();
    };
    if (!listed(part->packages, package)) return 3;
    if (!listed(part->speeds, speed)) return 4;
    return 0;
  }
  std::vector<FamilyData> m_families;
  TImmortalCount<CDeviceStore> m_count{this};
  std::vector<std::unique_ptr<CDeviceEntry>> m_entries;
  std::vector<IDeviceEntry*> m_handed;
};

// One sender for the whole process, so that every listener hears every platform event.
class CPlatformEvents final : public TComponent<CPlatformEvents> {
 public:
  auto QueryTable() {
    return Table(Row<Prjrep::IEventSender>(&m_sender), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  Prjrep::CEventSenderHelper m_sender{this};
  TImmortalCount<CPlatformEvents> m_count{this};
};

}  // namespace

Status CDefinition::XIDefDataId::GetDefDataIdName(Text* name) {
  if (name == nullptr) return kFailure;
  *name = Text(This().m_data.name);
  return kSuccess;
}

Status CDefinition::XIDefDataObsolete::IsObsolete(bool* obsolete) {
  if (obsolete == nullptr) return kFailure;
  *obsolete = This().m_data.obsolete;
  return kSuccess;
}

namespace {

// The ids of the defined names among `names`, in their order.
Status HandOutIds(const Names& names, IDefDataIdIterator** out) {
  std::vector<IDefDataId*> ids;
  for (const std::string& name : names) {
    if (CDefinition* found = FindDefinition(name)) ids.push_back(Prjrep::AutoCast<IDefDataId>(found));
  }
  return HandOut(NewIterator<IDefDataId*, IDefDataIdSet, IDefDataIdIterator>(ids), out);
}

}  // namespace

Status CDefinition::XIFileType::GetDesignUnitTypeIds(IDefDataIdIterator** ids) {
  return HandOutIds(This().m_data.unitTypes, ids);
}

Status CDefinition::XIViewType::GetDesignUnitTypeIds(IDefDataIdIterator** ids) {
  return HandOutIds(This().m_data.unitTypes, ids);
}

namespace {

// The view setting that stands for `key` in views of `type`: the property named after the key,
// and for the branch words the one of the type's own word. Every view setting is named
// "PROP_" and its key.
CDefinition* ViewSetting(const DefinitionData& type, std::string_view key) {
  std::string name = "PROP_" + std::string(key);
  if (key == "BRANCH" || key == "SUBBRANCH") {
    const std::string& word = key == "BRANCH" ? type.branch : type.subBranch;
    if (word.empty()) return nullptr;
    name += "_" + word;
  }
  CDefinition* found = FindDefinition(name);
  return found != nullptr && found->Data().kind == Kind::kProperty && found->Data().owner == "view" ? found : nullptr;
}

}  // namespace

// The view settings that the parser reads, those of other branch words left out.
Status CDefinition::XIViewType::GetPropertyTemplates(std::int32_t, IDefDataIdIterator** templates) {
  Names names;
  for (const DefinitionData& d : TheData().definitions) {
    if (d.kind != Kind::kProperty || d.owner != "view" || !d.toParser) continue;
    const std::string_view name = std::string_view(d.name).substr(std::string_view("PROP_").size());
    const std::string_view key = name.substr(0, name.find('_'));
    if (ViewSetting(This().m_data, key) == FindDefinition(d.name)) names.push_back(d.name);
  }
  return HandOutIds(names, templates);
}

Status CDefinition::XIViewType::GetPropertyTemplate(const Text& key, IPropertyTemplate** definition) {
  Prjrep::AutoOut<IPropertyTemplate> result(definition);
  CDefinition* found = ViewSetting(This().m_data, key.str());
  if (definition == nullptr || found == nullptr) return kFailure;
  return result.Assign(found);
}

Status CDefinition::XIPropertyTemplate::GetDependencies(IDefDataIdIterator** dependencies) {
  return HandOutIds(This().m_data.dependsOn, dependencies);
}

Status CDefinition::XIViewTypeFlow::GetBranch(Text* branch) {
  if (branch == nullptr) return kFailure;
  *branch = Text(This().m_data.branch);
  return kSuccess;
}

Status CDefinition::XIViewTypeFlow::GetSubBranch(Text* subBranch) {
  if (subBranch == nullptr) return kFailure;
  *subBranch = Text(This().m_data.subBranch);
  return kSuccess;
}

Status CDefinition::XIViewTypeFlow::GetTransforms(Prjrep::IIterator** transforms) {
  std::vector<CitI::IInterface*> found;
  for (const DefinitionData& d : TheData().definitions) {
    if (d.kind != Kind::kTransform || d.from != This().m_data.name) continue;
    // The first definition of a name is the one the store knows.
    CDefinition* transform = FindDefinition(d.name);
    if (transform != nullptr && &transform->Data() == &d) found.push_back(transform);
  }
  return HandOut(NewIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>(found), transforms);
}

Status CDefinition::XITransformDefinition::GetTargetViewType(IViewType** type) {
  Prjrep::AutoOut<IViewType> result(type);
  CDefinition* target = FindDefinition(This().m_data.to);
  if (type == nullptr || target == nullptr || target->Data().kind != Kind::kView) return kFailure;
  return result.Assign(target);
}

Status CDefinition::XITransformDefinition::GetInputTypes(IDefDataIdIterator** types) {
  return HandOutIds(This().m_data.inputs, types);
}

Status CDefinition::XITransformDefinition::GetOutputTypes(IDefDataIdIterator** types) {
  return HandOutIds(This().m_data.outputs, types);
}

Status CDefinition::XIPropertyTemplate::GetDefaultValue(Text* value) {
  if (value == nullptr) return kFailure;
  *value = Text(This().m_data.defaultValue);
  return kSuccess;
}

Status CDefinition::XIDesignPlatformType::GetPropertyTemplates(IDefDataIdIterator** ids) {
  std::vector<IDefDataId*> found;
  if (const auto& names = This().m_data.platformProperties) {
    for (const std::string& name : *names) {
      if (CDefinition* d = FindPropertyDefinition(name)) found.push_back(&d->m_XIDefDataId);
    }
  }
  return HandOut(NewIterator<IDefDataId*, IDefDataIdSet, IDefDataIdIterator>(found), ids);
}

Status CDefinition::XICodeHookDefn::GetHookName(Text* name) {
  if (name == nullptr) return kFailure;
  *name = Text(This().m_data.hook);
  return kSuccess;
}

// A malformed class id in the data gives no class rather than a wrong one.
Status CDefinition::XICodeHookDefn::GetHookClassId(Port::XUID& classId) {
  try {
    classId = Port::XUID(This().m_data.hookClass.c_str());
  } catch (const std::invalid_argument&) {
    classId = Port::XUID();
    return kFailure;
  }
  return kSuccess;
}

Status CDefinition::XIPropertyTemplate2::GetSecondName(Text* name) {
  if (name == nullptr || This().m_data.label.empty()) return kFailure;
  *name = Text(This().m_data.label);
  return kSuccess;
}

CDefinition* FindDefinition(std::string_view name) { return Store().Find(name); }

CDefinition* FindPropertyDefinition(std::string_view name) {
  CDefinition* found = FindDefinition(name);
  return found != nullptr && found->IsProperty() ? found : nullptr;
}

CDefinition* PropertyDefinitionOf(CitI::IInterface* definition) {
  Prjrep::AutoCast<IDefDataId> id(definition);
  Text name;
  if (id.Get() == nullptr || id->GetDefDataIdName(&name) != kSuccess) return nullptr;
  return FindPropertyDefinition(name.str());
}

Names DevicePartValues(Part part, const std::optional<std::string>& family, const std::optional<std::string>& device) {
  Names values;
  auto add = [&values](const std::string& value) {
    if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
  };
  for (const FamilyData& f : TheData().families) {
    if (family && f.name != *family) continue;
    for (const DeviceData& d : f.devices) {
      if (part == Part::kDevice) {
        add(d.name);
        continue;
      }
      if (device && d.name != *device) continue;
      if (part == Part::kPackage) std::for_each(d.packages.begin(), d.packages.end(), add);
      if (part == Part::kSpeed) std::for_each(d.speeds.begin(), d.speeds.end(), add);
    }
  }
  return values;
}

CitI::IInterface* TheDataStore() { return &Store(); }

CitI::IInterface* TheDeviceStore() {
  static CDeviceStore* const s_store = new CDeviceStore(TheData());
  return s_store;
}

CitI::IInterface* ThePlatformEvents() {
  static CPlatformEvents* const s_events = new CPlatformEvents();
  return s_events;
}

Prjrep::AutoRelease<Prjrep::IStringIterator> NewStringIterator(const Names& values) {
  Prjrep::AutoRelease<Prjrep::IStringSet> list(new CStringList());
  for (const std::string& value : values) std::ignore = list->Add(Text(value));
  Prjrep::AutoRelease<Prjrep::IStringIterator> iterator;
  std::ignore = list->GetIterator(iterator.Receive());  // a failure leaves the holder empty
  return iterator;
}

}  // namespace Hvd::base
