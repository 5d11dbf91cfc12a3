// The library's components: the base services, the property manager with its property
// instances, the family-template and code-hook components; the library's entry and the
// stand-in's accessors.

#include <algorithm>
#include <mutex>

#include "BaseData.h"
#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Prjrep/IPersist.h"
#include "framework/Factory.h"
#include "core/Holders.h"
#include "core/Persist.h"

namespace Hvd::base {
namespace {

class CBaseServices final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{29FEB2D7-AD7A-4dfd-9C8A-316474202823}")

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IBaseServices::GetIID(), &m_XIServices},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct XIServices : TNested<CBaseServices, IBaseServices> {
    using TNested::TNested;
    Hvd::Status GetService(const Port::XUID& id, CitI::IInterface** service) override {
      Prjrep::AutoOut<CitI::IInterface> result(service);
      CitI::IInterface* found = nullptr;
      if (id == DataStoreServiceId()) found = TheDataStore();
      else if (id == DeviceStoreServiceId()) found = TheDeviceStore();
      else if (id == PlatformEventServiceId()) found = ThePlatformEvents();
      if (service == nullptr || found == nullptr) return kFailure;
      return result.Assign(found);
    }
  } m_XIServices{this};
  Prjrep::TRefCountHelper<CBaseServices> m_count{this};
};

// Remembers which family it stands for; the data gives no family definitions to apply.
class CFamilySelection final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{BF714223-9A6B-4924-B6FF-2A1E766569B6}")

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IFamilySelection::GetIID(), &m_XISelection},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct XISelection : TNested<CFamilySelection, IFamilySelection> {
    using TNested::TNested;
    Hvd::Status SelectFamily(const Text& kind, const Text& value) override {
      m_pThis->m_kind = kind;
      m_pThis->m_value = value;
      return kSuccess;
    }
  } m_XISelection{this};
  Prjrep::TRefCountHelper<CFamilySelection> m_count{this};
  Text m_kind, m_value;
};

// The hooks run in this process, for the stand-in accessors.
struct HookRuns {
  std::mutex lock;
  std::vector<std::string> runs;
};

HookRuns& TheHookRuns() {
  static HookRuns s_runs;
  return s_runs;
}

// Runs no hook code: the library has no interpreter, so a run is only recorded.
class CCodeHook final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{CFE50249-341C-4e8e-A576-BD21965DEC39}")

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{ICodeHookInstance::GetIID(), &m_XIInstance},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct XIInstance : TNested<CCodeHook, ICodeHookInstance> {
    using TNested::TNested;
    Hvd::Status Run(const Text& hookName, CitI::IInterface* object) override {
      std::string run = hookName.str() + " " + StandInIdentity(object);
      HookRuns& runs = TheHookRuns();
      std::lock_guard<std::mutex> guard(runs.lock);
      runs.runs.push_back(std::move(run));
      return kSuccess;
    }
  } m_XIInstance{this};
  Prjrep::TRefCountHelper<CCodeHook> m_count{this};
};

}  // namespace

// One property's value. It refers to nothing but its definition, which lives as long as the
// process, so an instance may outlive its manager and its context.
class CPropertyInstance final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{8e3f1c52-6a4d-4b7e-9f21-3c5d7a9b0e64}")

  CPropertyInstance() = default;
  explicit CPropertyInstance(CDefinition* definition)
      : m_definition(definition), m_value(definition->Data().defaultValue) {}

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == CitI::IInterface::GetIID()) return this;
    if (iid == IPropertyInstance::GetIID()) return &m_XIInstance;
    if (iid == Prjrep::IPersist::GetIID()) return &m_persist;
    if (iid == Prjrep::IRefCount::GetIID() || iid == Prjrep::IRefCountV1::GetIID()) return &m_count;
    // The rest follows the definition, which a created but not yet loaded instance lacks.
    if (m_definition == nullptr) return nullptr;
    const DefinitionData& d = m_definition->Data();
    if (iid == IDefDataObsolete::GetIID()) return &m_XIObsolete;
    if (iid == ILockable::GetIID() && d.lockable) return &m_XILockable;
    if (iid == IListPropertyInstance::GetIID() && d.valueKind == "list") return &m_XIList;
    if (iid == IBoolPropertyInstance::GetIID() && d.valueKind == "bool") return &m_XIBool;
    if (iid == IFilePropertyInstance::GetIID() && (d.valueKind == "file" || d.valueKind == "files")) return &m_XIFile;
    return nullptr;
  }

  // The definition's name, the value and the lock.
  Status LoadFrom(Prjrep::IStorage* storage) {
    Text name, value;
    bool locked = false;
    if (storage == nullptr || storage->ReadString(&name) != kSuccess || storage->ReadString(&value) != kSuccess ||
        storage->ReadBool(&locked) != kSuccess) {
      return kFailure;
    }
    CDefinition* definition = FindPropertyDefinition(name.str());
    if (definition == nullptr) return kFailure;
    m_definition = definition;
    m_value = value.str();
    m_locked = locked && definition->Data().lockable;
    return kSuccess;
  }

  Status SaveTo(Prjrep::IStorage* storage) {
    if (storage == nullptr || m_definition == nullptr) return kFailure;
    const Text name(m_definition->Data().name);
    const Text value(m_value);
    if (storage->WriteString(&name) != kSuccess || storage->WriteString(&value) != kSuccess) return kFailure;
    return storage->WriteBool(m_locked);
  }

  CDefinition* Definition() const noexcept { return m_definition; }

 private:
  Status Store(std::string value) {
    if (m_definition == nullptr || m_locked) return kFailure;
    const DefinitionData& d = m_definition->Data();
    // A list keeps only its allowed values; anything else is stored as empty.
    if (d.valueKind == "list" && std::find(d.allowed.begin(), d.allowed.end(), value) == d.allowed.end()) {
      value.clear();
    }
    m_value = std::move(value);
    return kSuccess;
  }

  struct XIInstance : TNested<CPropertyInstance, IPropertyInstance> {
    using TNested::TNested;
    Hvd::Status GetName(Text* name) override {
      if (name == nullptr || m_pThis->m_definition == nullptr) return kFailure;
      *name = Text(m_pThis->m_definition->Data().name);
      return kSuccess;
    }
    Hvd::Status GetValue(Text* value) override {
      if (value == nullptr || m_pThis->m_definition == nullptr) return kFailure;
      *value = Text(m_pThis->m_value);
      return kSuccess;
    }
    Hvd::Status SetValue(const Text& value) override { return m_pThis->Store(value.str()); }
    Hvd::Status GetTemplate(IPropertyTemplate** definition) override {
      Prjrep::AutoOut<IPropertyTemplate> result(definition);
      if (definition == nullptr || m_pThis->m_definition == nullptr) return kFailure;
      return result.Assign(m_pThis->m_definition);
    }
    Hvd::Status IsDefault(bool* isDefault) override {
      if (isDefault == nullptr || m_pThis->m_definition == nullptr) return kFailure;
      *isDefault = m_pThis->m_value == m_pThis->m_definition->Data().defaultValue;
      return kSuccess;
    }
  } m_XIInstance{this};

  struct XIObsolete : TNested<CPropertyInstance, IDefDataObsolete> {
    using TNested::TNested;
    Hvd::Status IsObsolete(bool* obsolete) override {
      if (obsolete == nullptr) return kFailure;
      *obsolete = m_pThis->m_definition->Data().obsolete;
      return kSuccess;
    }
  } m_XIObsolete{this};

  struct XILockable : TNested<CPropertyInstance, ILockable> {
    using TNested::TNested;
    Hvd::Status Lock() override {
      m_pThis->m_locked = true;
      return kSuccess;
    }
    Hvd::Status IsLocked(bool* locked) override {
      if (locked == nullptr) return kFailure;
      *locked = m_pThis->m_locked;
      return kSuccess;
    }
    Hvd::Status Unlock() override {
      m_pThis->m_locked = false;
      return kSuccess;
    }
  } m_XILockable{this};

  struct XIList : TNested<CPropertyInstance, IListPropertyInstance> {
    using TNested::TNested;
    Hvd::Status GetAllowedValues(Prjrep::IStringIterator** values) override {
      return HandOutStrings(m_pThis->m_definition->Data().allowed, values);
    }
  } m_XIList{this};

  struct XIBool : TNested<CPropertyInstance, IBoolPropertyInstance> {
    using TNested::TNested;
    Hvd::Status GetBool(bool* value) override {
      if (value == nullptr) return kFailure;
      *value = m_pThis->m_value == "true";
      return kSuccess;
    }
    Hvd::Status SetBool(bool value) override { return m_pThis->Store(value ? "true" : "false"); }
  } m_XIBool{this};

  struct XIFile : TNested<CPropertyInstance, IFilePropertyInstance> {
    using TNested::TNested;
    Hvd::Status IsFileList(bool* list) override {
      if (list == nullptr) return kFailure;
      *list = m_pThis->m_definition->Data().valueKind == "files";
      return kSuccess;
    }
    // A list is split at "|", empty entries dropped; a single path is taken whole.
    Hvd::Status GetValues(Prjrep::IStringIterator** values) override {
      const std::string& value = m_pThis->m_value;
      Names paths;
      if (m_pThis->m_definition->Data().valueKind != "files") {
        if (!value.empty()) paths.push_back(value);
      } else {
        std::size_t begin = 0;
        while (begin <= value.size()) {
          const std::size_t end = std::min(value.find('|', begin), value.size());
          if (end > begin) paths.push_back(value.substr(begin, end - begin));
          begin = end + 1;
        }
      }
      return HandOutStrings(paths, values);
    }
  } m_XIFile{this};

  Prjrep::TPersistHelper<CPropertyInstance> m_persist{this};
  Prjrep::TRefCountHelper<CPropertyInstance> m_count{this};
  CDefinition* m_definition = nullptr;  // immortal, so not counted
  std::string m_value;
  bool m_locked = false;
};

namespace {

// The instances of every context, in creation order. Contexts are compared by their root
// interface and not counted: a context only names where an instance belongs.
class CPropertyManager final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{2076A846-15F7-4c41-B9A3-3B212221F25D}")

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IPropertyManager::GetIID(), &m_XIManager},
                             {Ppm::IPropertyMgrInternal::GetIID(), &m_XIInternal},
                             {Ppm::IPropertyFetchInternal::GetIID(), &m_XIFetch},
                             {Prjrep::IRefCount::GetIID(), &m_count},
                             {Prjrep::IRefCountV1::GetIID(), &m_count},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct Entry {
    CitI::IInterface* context;
    CDefinition* definition;
    Prjrep::AutoPtr<IPropertyInstance> instance;
  };

  CitI::IInterface* KeyOf(CitI::IInterface* context) {
    if (context == nullptr) return this;
    CitI::IInterface* root = context->QueryInterface(CitI::IInterface::GetIID());
    return root != nullptr ? root : context;
  }

  std::vector<Entry>::iterator Find(CitI::IInterface* key, CDefinition* definition) {
    return std::find_if(m_entries.begin(), m_entries.end(),
                        [&](const Entry& e) { return e.context == key && e.definition == definition; });
  }

  Status Instance(IPropertyTemplate* definition, CitI::IInterface* context, bool fresh,
                  IPropertyInstance** instance) {
    Prjrep::AutoOut<IPropertyInstance> result(instance);
    CDefinition* found = PropertyDefinitionOf(definition);
    if (instance == nullptr || found == nullptr) return kFailure;
    CitI::IInterface* key = KeyOf(context);
    auto at = Find(key, found);
    if (at != m_entries.end() && !fresh) return result.Assign(at->instance.Get());
    // A replaced instance leaves the records; the new one comes last.
    if (at != m_entries.end()) m_entries.erase(at);
    Prjrep::AutoRelease<IPropertyInstance> created(new CPropertyInstance(found));
    m_entries.push_back({key, found, Prjrep::AutoPtr<IPropertyInstance>(created.Get())});
    return result.Assign(created.Get());
  }

  struct XIManager : TNested<CPropertyManager, IPropertyManager> {
    using TNested::TNested;
    Hvd::Status GetPropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                                      IPropertyInstance** instance) override {
      return m_pThis->Instance(definition, context, false, instance);
    }
    Hvd::Status CreatePropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                                         IPropertyInstance** instance) override {
      return m_pThis->Instance(definition, context, true, instance);
    }
  } m_XIManager{this};

  // The project is not needed: instances are kept by context alone.
  struct XIInternal : TNested<CPropertyManager, Ppm::IPropertyMgrInternal> {
    using TNested::TNested;
    Hvd::Status SetProject(CitI::IInterface*) override { return kSuccess; }
  } m_XIInternal{this};

  struct XIFetch : TNested<CPropertyManager, Ppm::IPropertyFetchInternal> {
    using TNested::TNested;
    Hvd::Status FetchProperties(std::vector<Ppm::PropertyRecord>& records) override {
      records.clear();
      for (const Entry& e : m_pThis->m_entries) {
        Ppm::PropertyRecord record;
        record.name = Text(e.definition->Data().name);
        record.instance = e.instance.Get();
        records.push_back(std::move(record));
      }
      return kSuccess;
    }
  } m_XIFetch{this};

  Prjrep::TRefCountHelper<CPropertyManager> m_count{this};
  std::vector<Entry> m_entries;
};

template <class X>
void RegisterFactoryOf() {
  auto* factory = new Port::TFactory<X>();
  CitP::Factory::RegisterFactory(X::GetCLSID(), factory);
  Prjrep::ReleaseInterface(factory);
}

}  // namespace
}  // namespace Hvd::base

// The library's entry for the host: registers the factory of every component.
extern "C" void InstFactoryEntry() {
  using namespace Hvd::base;
  RegisterFactoryOf<CBaseServices>();
  RegisterFactoryOf<CPropertyManager>();
  RegisterFactoryOf<CPropertyInstance>();
  RegisterFactoryOf<CFamilySelection>();
  RegisterFactoryOf<CCodeHook>();
}

std::vector<std::string> Hvd::StandInHookRuns() {
  auto& runs = Hvd::base::TheHookRuns();
  std::lock_guard<std::mutex> guard(runs.lock);
  return runs.runs;
}

void Hvd::StandInClearHookRuns() {
  auto& runs = Hvd::base::TheHookRuns();
  std::lock_guard<std::mutex> guard(runs.lock);
  runs.runs.clear();
}
