// The definition objects, the data store with its platform types, the device store and
// the platform's event sender.

#include <stdexcept>

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
    : public Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::vector<Text>> {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{Prjrep::IStringSet::GetIID(), this},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  Prjrep::TRefCountHelper<CStringList> m_count{this};
};

class CDataStore final : public CitI::IInterface {
 public:
  explicit CDataStore(const Data& data) {
    for (const DefinitionData& d : data.definitions) {
      auto [at, added] = m_byName.try_emplace(d.name, nullptr);
      if (!added) continue;  // the first definition of a name wins
      at->second = std::make_unique<CDefinition>(d);
      if (d.kind == Kind::kProperty) m_properties.push_back(at->second.get());
      if (d.kind == Kind::kPlatform) {
        m_platformTypes.push_back(
            static_cast<IDesignPlatformType*>(at->second->QueryInterface(IDesignPlatformType::GetIID())));
      }
    }
  }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IDataStore::GetIID(), &m_XIDataStore},
                             {IPropertyTemplateStore::GetIID(), &m_XITemplates},
                             {IFamilyTemplates::GetIID(), &m_XIFamilies},
                             {IDesignPlatformTypeStore::GetIID(), &m_XIPlatformTypes},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

  CDefinition* Find(std::string_view name) const {
    const auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second.get();
  }

 private:
  struct XIDataStore : TNested<CDataStore, IDataStore> {
    using TNested::TNested;
    Hvd::Status FindByDefDataId(IDefDataId* id, CitI::IInterface** definition) override {
      Prjrep::AutoOut<CitI::IInterface> result(definition);
      Text name;
      if (definition == nullptr || id == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
      CDefinition* found = m_pThis->Find(name.str());
      if (found == nullptr) return kFailure;
      return result.Assign(found);
    }
    Hvd::Status FindPropertyTemplate(const Text& name, IPropertyTemplate** definition) override {
      Prjrep::AutoOut<IPropertyTemplate> result(definition);
      CDefinition* found = m_pThis->Find(name.str());
      if (definition == nullptr || found == nullptr || !found->IsProperty()) return kFailure;
      return result.Assign(found);
    }
    Hvd::Status FindDefData(const Text& name, CitI::IInterface** definition) override {
      Prjrep::AutoOut<CitI::IInterface> result(definition);
      CDefinition* found = m_pThis->Find(name.str());
      if (definition == nullptr || found == nullptr) return kFailure;
      return result.Assign(found);
    }
    Hvd::Status ReadDefDataRef(Prjrep::IStorage* storage, CitI::IInterface** definition) override {
      Prjrep::AutoOut<CitI::IInterface> result(definition);
      Text name;
      if (definition == nullptr || storage == nullptr || storage->ReadString(&name) != kSuccess) return kFailure;
      CDefinition* found = m_pThis->Find(name.str());
      if (found == nullptr) return kFailure;
      return result.Assign(found);
    }
    Hvd::Status WriteDefDataRef(Prjrep::IStorage* storage, CitI::IInterface* definition) override {
      Prjrep::AutoCast<IDefDataId> id(definition);
      Text name;
      if (storage == nullptr || id.Get() == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
      return storage->WriteString(&name);
    }
  } m_XIDataStore{this};

  struct XITemplates : TNested<CDataStore, IPropertyTemplateStore> {
    using TNested::TNested;
    Hvd::Status GetTemplate(IDefDataId* id, IPropertyTemplate** definition) override {
      Prjrep::AutoOut<IPropertyTemplate> result(definition);
      Text name;
      if (definition == nullptr || id == nullptr || id->GetDefDataIdName(&name) != kSuccess) return kFailure;
      CDefinition* found = m_pThis->Find(name.str());
      if (found == nullptr || !found->IsProperty()) return kFailure;
      return result.Assign(found);
    }
    Hvd::Status GetTemplates(Prjrep::IIterator** definitions) override {
      std::vector<CitI::IInterface*> items(m_pThis->m_properties.begin(), m_pThis->m_properties.end());
      return HandOutIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>(items, definitions);
    }
  } m_XITemplates{this};

  // The data gives no family definitions, so every family adds none.
  struct XIFamilies : TNested<CDataStore, IFamilyTemplates> {
    using TNested::TNested;
    Hvd::Status GetFamilyTemplates(CitI::IInterface*, Prjrep::IIterator** definitions) override {
      return HandOutIterator<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>({}, definitions);
    }
  } m_XIFamilies{this};

  struct XIPlatformTypes : TNested<CDataStore, IDesignPlatformTypeStore> {
    using TNested::TNested;
    Hvd::Status GetPlatformTypes(IDesignPlatformTypeIterator** types) override {
      return HandOutIterator<IDesignPlatformType*, IPlatformTypeSet, IDesignPlatformTypeIterator>(
          m_pThis->m_platformTypes, types);
    }
  } m_XIPlatformTypes{this};

  TImmortalCount<CDataStore> m_count{this};
  std::map<std::string, std::unique_ptr<CDefinition>, std::less<>> m_byName;
  std::vector<CDefinition*> m_properties;               // in document order
  std::vector<IDesignPlatformType*> m_platformTypes;  // in document order
};

CDataStore& Store() {
  static CDataStore* const s_store = new CDataStore(TheData());
  return *s_store;
}

class CDeviceEntry final : public CitI::IInterface {
 public:
  CDeviceEntry(std::string name, std::string key) : m_name(std::move(name)), m_key(std::move(key)) {}

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IDeviceEntry::GetIID(), &m_XIEntry},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct XIEntry : TNested<CDeviceEntry, IDeviceEntry> {
    using TNested::TNested;
    Hvd::Status GetName(Text* name) override {
      if (name == nullptr) return kFailure;
      *name = Text(m_pThis->m_name);
      return kSuccess;
    }
    Hvd::Status GetKey(Text* key) override {
      if (key == nullptr) return kFailure;
      *key = Text(m_pThis->m_key);
      return kSuccess;
    }
  } m_XIEntry{this};
  TImmortalCount<CDeviceEntry> m_count{this};
  std::string m_name, m_key;
};

// Each family, then each of its devices followed by that device's packages and speeds.
class CDeviceStore final : public CitI::IInterface {
 public:
  explicit CDeviceStore(const Data& data) {
    for (const FamilyData& family : data.families) {
      Add(family.name, family.key);
      for (const DeviceData& device : family.devices) {
        Add(device.name, device.key);
        for (const std::string& package : device.packages) Add(package, package);
        for (const std::string& speed : device.speeds) Add(speed, speed);
      }
    }
  }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IDeviceStore::GetIID(), &m_XIStore},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  void Add(const std::string& name, const std::string& key) {
    m_entries.push_back(std::make_unique<CDeviceEntry>(name, key));
    m_handed.push_back(static_cast<IDeviceEntry*>(m_entries.back()->QueryInterface(IDeviceEntry::GetIID())));
  }

  struct XIStore : TNested<CDeviceStore, IDeviceStore> {
    using TNested::TNested;
    Hvd::Status GetEntries(IDeviceFieldIterator** entries) override {
      return HandOutIterator<IDeviceEntry*, IDeviceEntrySet, IDeviceFieldIterator>(m_pThis->m_handed, entries);
    }
  } m_XIStore{this};
  TImmortalCount<CDeviceStore> m_count{this};
  std::vector<std::unique_ptr<CDeviceEntry>> m_entries;
  std::vector<IDeviceEntry*> m_handed;
};

// One sender for the whole process, so that every listener hears every platform event.
class CPlatformEvents final : public CitI::IInterface {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{Prjrep::IEventSender::GetIID(), &m_sender},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  Prjrep::CEventSenderHelper m_sender{this};
  TImmortalCount<CPlatformEvents> m_count{this};
};

}  // namespace

CitI::IInterface* CDefinition::QueryInterface(const Port::XUID& iid) {
  if (iid == CitI::IInterface::GetIID()) return this;
  if (iid == IDefDataId::GetIID()) return &m_XIDefDataId;
  if (iid == IDefDataObsolete::GetIID()) return &m_XIObsolete;
  if (iid == Prjrep::IRefCount::GetIID() || iid == Prjrep::IRefCountV1::GetIID()) return &m_count;
  switch (m_data.kind) {
    case Kind::kProperty:
      if (iid == IPropertyTemplate::GetIID()) return &m_XITemplate;
      if (iid == IPropertyTemplate2::GetIID() && !m_data.label.empty()) return &m_XITemplate2;
      if (iid == ICodeHookDefn::GetIID() && !m_data.hook.empty()) return &m_XICodeHook;
      break;
    case Kind::kView:
      if (iid == IViewType::GetIID()) return &m_XIViewType;
      break;
    case Kind::kFile:
      if (iid == IFileType::GetIID()) return &m_XIFileType;
      break;
    case Kind::kDesignUnit:
      if (iid == IDesignUnitType::GetIID()) return &m_XIDesignUnitType;
      break;
    case Kind::kPlatform:
      if (iid == IDesignPlatformType::GetIID()) return &m_XIPlatformType;
      break;
    case Kind::kTransform:  // only named
      break;
  }
  return nullptr;
}

Hvd::Status CDefinition::XIDefDataId::GetDefDataIdName(Text* name) {
  if (name == nullptr) return kFailure;
  *name = Text(m_pThis->m_data.name);
  return kSuccess;
}

Hvd::Status CDefinition::XIObsolete::IsObsolete(bool* obsolete) {
  if (obsolete == nullptr) return kFailure;
  *obsolete = m_pThis->m_data.obsolete;
  return kSuccess;
}

Hvd::Status CDefinition::XITemplate::GetDependencies(IDefDataIdIterator** dependencies) {
  std::vector<IDefDataId*> ids;
  for (const std::string& name : m_pThis->m_data.dependsOn) {
    if (CDefinition* found = FindDefinition(name)) ids.push_back(&found->m_XIDefDataId);
  }
  return HandOutIterator<IDefDataId*, IDefDataIdSet, IDefDataIdIterator>(ids, dependencies);
}

Hvd::Status CDefinition::XITemplate::GetDefaultValue(Text* value) {
  if (value == nullptr) return kFailure;
  *value = Text(m_pThis->m_data.defaultValue);
  return kSuccess;
}

Hvd::Status CDefinition::XIPlatformType::GetPropertyTemplates(IDefDataIdIterator** ids) {
  std::vector<IDefDataId*> found;
  if (const auto& names = m_pThis->m_data.platformProperties) {
    for (const std::string& name : *names) {
      if (CDefinition* d = FindPropertyDefinition(name)) found.push_back(&d->m_XIDefDataId);
    }
  }
  return HandOutIterator<IDefDataId*, IDefDataIdSet, IDefDataIdIterator>(found, ids);
}

Hvd::Status CDefinition::XICodeHook::GetHookName(Text* name) {
  if (name == nullptr) return kFailure;
  *name = Text(m_pThis->m_data.hook);
  return kSuccess;
}

// A malformed class id in the data gives no class rather than a wrong one.
Hvd::Status CDefinition::XICodeHook::GetHookClassId(Port::XUID& classId) {
  try {
    classId = Port::XUID(m_pThis->m_data.hookClass.c_str());
  } catch (const std::invalid_argument&) {
    classId = Port::XUID();
    return kFailure;
  }
  return kSuccess;
}

Hvd::Status CDefinition::XITemplate2::GetSecondName(Text* name) {
  if (name == nullptr || m_pThis->m_data.label.empty()) return kFailure;
  *name = Text(m_pThis->m_data.label);
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

CitI::IInterface* TheDataStore() { return &Store(); }

CitI::IInterface* TheDeviceStore() {
  static CDeviceStore* const s_store = new CDeviceStore(TheData());
  return s_store;
}

CitI::IInterface* ThePlatformEvents() {
  static CPlatformEvents* const s_events = new CPlatformEvents();
  return s_events;
}

Hvd::Status HandOutStrings(const Names& values, Prjrep::IStringIterator** out) {
  if (out == nullptr) return kFailure;
  *out = nullptr;
  auto* list = new CStringList();
  for (const std::string& value : values) std::ignore = list->Add(Text(value));
  const Hvd::Status status = list->GetIterator(out);
  Prjrep::ReleaseInterface(list);
  return status;
}

}  // namespace Hvd::base
