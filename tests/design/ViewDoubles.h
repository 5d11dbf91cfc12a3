#pragma once
// The world a view lives in, made up by the test: view types and property templates, a data
// store and a property manager over them, a design and a project, and a storage stream of a
// chosen format version. Source files are the real ones, typed by the base services' data.

#include <map>
#include <string>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "support/FakeProject.h"

namespace view_test {

using Hvd::kFailure, Hvd::kSuccess, Hvd::Status;
using Prjrep::AutoCast, Prjrep::AutoOut, Prjrep::AutoPtr, Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

// What a property instance sends, as the event's sender, when its value changed.
CITI_DEFINE_ID(PropertyChanged, "{37A5117E-576E-4170-AE29-EB1EF84875D0}")

inline CitI::IInterface* Root(CitI::IInterface* object) {
  return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

struct IIdSet : Prjrep::TISet<Hvd::IDefDataId*, Hvd::IDefDataIdIterator> {
  CITI_DECLARE_IID("{9342beba-5ebc-4dae-ae0d-d8ae4797cad1}")
};

// A new iterator over the ids of `definitions`, with one reference for the caller.
inline Status HandOutIds(const std::vector<CitI::IInterface*>& definitions, Hvd::IDefDataIdIterator** out) {
  AutoRelease<IIdSet> set(new Hvd::TRefdSequenceSetHelper<Hvd::IDefDataId*, IIdSet, Hvd::IDefDataIdIterator,
                                                          std::vector<Hvd::IDefDataId*>>());
  for (CitI::IInterface* definition : definitions) std::ignore = set->Add(AutoCast<Hvd::IDefDataId>(definition));
  return set->GetIterator(out);
}

// A definition: its name, whether it is obsolete, and (for `I`) what it answers beside.
template <class Derived, class I>
struct TDefinition : Hvd::TComponent<Derived, I> {
  explicit TDefinition(std::string name) : name(std::move(name)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<I>(this), Hvd::Row<Hvd::IDefDataId>(&m_id), Hvd::Row<Hvd::IDefDataObsolete>(&m_obsolete),
                      Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<CitI::IInterface>(this));
  }
  struct XIDefDataId : Hvd::TNested<TDefinition, Hvd::IDefDataId> {
    using Hvd::TNested<TDefinition, Hvd::IDefDataId>::TNested;
    Status GetDefDataIdName(Text* out) override { return *out = Text(this->This().name), kSuccess; }
  } m_id{this};
  struct XIDefDataObsolete : Hvd::TNested<TDefinition, Hvd::IDefDataObsolete> {
    using Hvd::TNested<TDefinition, Hvd::IDefDataObsolete>::TNested;
    Status IsObsolete(bool* out) override { return *out = this->This().obsolete, kSuccess; }
  } m_obsolete{this};
  Prjrep::TRefCountHelper<TDefinition> m_count{this};
  std::string name;
  bool obsolete = false;
};

struct Template final : TDefinition<Template, Hvd::IPropertyTemplate> {
  Template(std::string name, bool isBool, std::string value)
      : TDefinition(std::move(name)), isBool(isBool), defaultValue(std::move(value)) {}
  Status GetDependencies(Hvd::IDefDataIdIterator** out) override { return HandOutIds({}, out); }
  Status GetDefaultValue(Text* out) override { return *out = Text(defaultValue), kSuccess; }
  bool isBool;
  std::string defaultValue;
};

struct ViewType final : TDefinition<ViewType, Hvd::IViewType> {
  using TDefinition::TDefinition;
  Status GetDesignUnitTypeIds(Hvd::IDefDataIdIterator** out) override { return HandOutIds(unitTypes, out); }
  // The templates of the settings, then those that only the parser reads.
  Status GetPropertyTemplates(std::int32_t, Hvd::IDefDataIdIterator** out) override {
    std::vector<CitI::IInterface*> all(parserOnly);
    for (const auto& [key, definition] : settings) all.insert(all.begin(), definition);
    return HandOutIds(all, out);
  }
  Status GetPropertyTemplate(const Text& key, Hvd::IPropertyTemplate** out) override {
    AutoOut<Hvd::IPropertyTemplate> result(out);
    const auto found = settings.find(key.str());
    return found == settings.end() ? kFailure : (result.Assign(found->second), kSuccess);
  }
  std::vector<CitI::IInterface*> unitTypes;   // ids of the base services' design-unit types
  std::map<std::string, Template*> settings;  // by setting key
  std::vector<CitI::IInterface*> parserOnly;
};

struct World;
World& TheWorld();

// A property instance that tells its receivers of every change of value, and is stored as its
// template's name and its value.
struct Instance final : Hvd::TComponent<Instance, Hvd::IPropertyInstance> {
  CITI_DECLARE_CLSID("{7072757a-6888-4ab4-bc6b-3d93563483a0}")
  Instance() = default;
  explicit Instance(Template* definition) : definition(definition), value(definition->defaultValue) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPropertyInstance>(this),
                      Hvd::RowIf<Hvd::IBoolPropertyInstance>(definition && definition->isBool, &m_bool),
                      Hvd::Row<Prjrep::IEventSender>(&sender), Hvd::Row<Prjrep::IPersist>(&m_persist),
                      Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<CitI::IInterface>(this));
  }
  Status GetName(Text* out) override { return *out = Text(definition->name), kSuccess; }
  Status GetValue(Text* out) override { return *out = Text(value), kSuccess; }
  Status SetValue(const Text& text) override {
    value = text.str();
    return Hvd::SendEvent(this, PropertyChanged(), nullptr);
  }
  Status GetTemplate(Hvd::IPropertyTemplate** out) override {
    return AutoOut<Hvd::IPropertyTemplate>(out).Assign(definition.Get()), kSuccess;
  }
  Status IsDefault(bool* out) override { return *out = value == definition->defaultValue, kSuccess; }
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage) {
    const Text name(definition->name), text(value);
    return storage->WriteString(&name) == kSuccess ? storage->WriteString(&text) : kFailure;
  }
  struct XIBool : Hvd::TNested<Instance, Hvd::IBoolPropertyInstance> {
    using TNested::TNested;
    Status GetBool(bool* out) override { return *out = This().value == "true", kSuccess; }
    Status SetBool(bool flag) override { return This().SetValue(flag ? "true" : "false"); }
  } m_bool{this};
  AutoPtr<Template> definition;
  std::string value;
  Prjrep::CEventSenderHelper sender{this};
  Prjrep::TPersistHelper<Instance> m_persist{this};
  Prjrep::TRefCountHelper<Instance> m_count{this};
};

struct Project final : testing_support::FakeProject {
  Status GetReadOnly(bool* out) override { return *out = readOnly, kSuccess; }
  bool readOnly = false;
};

// Stored as nothing, so that a stored view can refer to it; a view read back gets a new one.
struct Design final : Hvd::TComponent<Design, Hvd::IDesign> {
  CITI_DECLARE_CLSID("{f0d51440-d18b-41d9-a1a2-4a574007b325}")
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IDesign>(this), Hvd::Row<Prjrep::IPersist>(&m_persist),
                      Hvd::Row<Prjrep::IRefCount>(&m_count), Hvd::Row<CitI::IInterface>(this));
  }
  static constexpr Status kNo = Hvd::kNotSupported;
  Status GetDesignPlatform(Hvd::IDesignPlatform**) override { return kNo; }
  Status SetDesignPlatform(Hvd::IDesignPlatform*) override { return kNo; }
  Status GetDesignUnits(Hvd::IHdlDesignUnitIterator**) override { return kNo; }
  Status GetTOE(Hvd::ITransformEngine**) override { return kNo; }
  Status GetDataStore(Hvd::IDataStore** out) override;
  Status GetPropertyManager(Hvd::IPropertyManager** out) override;
  Status GetProject(Hvd::IProject** out) override;
  Status GetDefaultParserConfig(Hvd::IHdlParserConfig**) override { return kNo; }
  Status LoadFrom(Prjrep::IStorage*) { return kSuccess; }
  Status SaveTo(Prjrep::IStorage*) { return kSuccess; }
  Prjrep::TPersistHelper<Design> m_persist{this};
  Prjrep::TRefCountHelper<Design> m_count{this};
};

// The base services as a view being read back reaches them, before it knows its design.
struct Services final : Hvd::TComponent<Services, Hvd::IBaseServices> {
  static const Port::XUID& GetCLSID() { return Hvd::BaseServicesClassId(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IBaseServices>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetService(const Port::XUID& id, CitI::IInterface** out) override;
  Prjrep::TRefCountHelper<Services> m_count{this};
};

// The test's definition data, its data store and its property manager. It lives for the whole
// test, so nothing counts it. What its store does not know, the base services' store answers,
// so that source files find their types.
struct World final : Hvd::IDataStore {
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* own = Hvd::Table(Hvd::Row<Hvd::IDataStore>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                                           Hvd::Row<Hvd::IPropertyManager>(&manager), Hvd::Row<CitI::IInterface>(this))
                                    .Answer(iid))
      return own;
    return base ? base->QueryInterface(iid) : nullptr;
  }
  Status FindByDefDataId(Hvd::IDefDataId* id, CitI::IInterface** out) override {
    return base->FindByDefDataId(id, out);
  }
  Status FindPropertyTemplate(const Text& name, Hvd::IPropertyTemplate** out) override {
    AutoOut<Hvd::IPropertyTemplate> result(out);
    Template* found = FindTemplate(name.str());
    return found != nullptr ? (result.Assign(found), kSuccess) : kFailure;
  }
  Status FindDefData(const Text& name, CitI::IInterface** out) override { return base->FindDefData(name, out); }
  // View types are stored by name.
  Status ReadDefDataRef(Prjrep::IStorage* storage, CitI::IInterface** out) override {
    AutoOut<CitI::IInterface> result(out);
    Text name;
    if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
    for (auto& type : viewTypes) {
      if (type->name == name.str()) return result.Assign(type.Get()), kSuccess;
    }
    return kFailure;
  }
  Status WriteDefDataRef(Prjrep::IStorage* storage, CitI::IInterface* definition) override {
    auto* type = dynamic_cast<ViewType*>(definition);
    const Text name(type != nullptr ? type->name : "");
    return name.empty() ? kFailure : storage->WriteString(&name);
  }

  Template* AddTemplate(const std::string& name, bool isBool, const std::string& value) {
    return templates.emplace_back(AutoRelease<Template>(new Template(name, isBool, value))).Get();
  }
  ViewType* AddViewType(const std::string& name) {
    return viewTypes.emplace_back(AutoRelease<ViewType>(new ViewType(name))).Get();
  }
  Template* FindTemplate(const std::string& name) {
    for (auto& t : templates) {
      if (t->name == name) return t.Get();
    }
    return nullptr;
  }

  struct XIPropertyManager : Hvd::TNested<World, Hvd::IPropertyManager> {
    using TNested::TNested;
    Status GetPropertyInstance(Hvd::IPropertyTemplate*, CitI::IInterface*, Hvd::IPropertyInstance**) override {
      return Hvd::kNotSupported;
    }
    Status CreatePropertyInstance(Hvd::IPropertyTemplate* definition, CitI::IInterface*,
                                  Hvd::IPropertyInstance** out) override {
      ++This().created;
      AutoRelease<Hvd::IPropertyInstance> made(new Instance(dynamic_cast<Template*>(definition)));
      return AutoOut<Hvd::IPropertyInstance>(out).Assign(made.Get()), kSuccess;
    }
  } manager{this};
  struct XICount : Hvd::TNested<World, Prjrep::IRefCount> {
    using TNested::TNested;
    Status AddRef() override { return kSuccess; }
    Status Release() override { return kSuccess; }
    std::int32_t GetRefCount() override { return 1; }
  } m_count{this};

  AutoPtr<Hvd::IDataStore> base;
  int created = 0;             // instances the manager made
  Project* project = nullptr;  // the test's; not counted
  std::vector<AutoPtr<Template>> templates;
  std::vector<AutoPtr<ViewType>> viewTypes;
};

inline World*& WorldSlot() {
  static World* s_world = nullptr;
  return s_world;
}
inline World& TheWorld() { return *WorldSlot(); }

inline Status Instance::LoadFrom(Prjrep::IStorage* storage) {
  Text name, text;
  if (storage->ReadString(&name) != kSuccess || storage->ReadString(&text) != kSuccess) return kFailure;
  definition = TheWorld().FindTemplate(name.str());
  value = text.str();
  return definition ? kSuccess : kFailure;
}

inline Status Design::GetDataStore(Hvd::IDataStore** out) {
  return AutoOut<Hvd::IDataStore>(out).Assign(&TheWorld()), kSuccess;
}
inline Status Design::GetPropertyManager(Hvd::IPropertyManager** out) {
  return AutoOut<Hvd::IPropertyManager>(out).Assign(&TheWorld().manager), kSuccess;
}
inline Status Design::GetProject(Hvd::IProject** out) {
  AutoOut<Hvd::IProject>(out).Assign(TheWorld().project);
  return TheWorld().project != nullptr ? kSuccess : Hvd::kOwnerMissing;
}
inline Status Services::GetService(const Port::XUID& id, CitI::IInterface** out) {
  AutoOut<CitI::IInterface> result(out);
  return id == Hvd::DataStoreServiceId() ? (result.Assign(&TheWorld()), kSuccess) : kFailure;
}

// A stream that reports the format version a test chooses and passes everything else to the
// repository's own stream. With `hugeCount` it reads every second-form count as 2^31 - 1.
struct TestStorage final : Hvd::TComponent<TestStorage, Prjrep::IStorage> {
  explicit TestStorage(std::int32_t version)
      : version(version), inner(AutoRelease<Prjrep::IStorage>(Prjrep::CreateStorage())) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IStorage>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Prjrep::IStorageControl* Control() { return AutoCast<Prjrep::IStorageControl>(inner.Get()); }
  Status GetFormatVersion(std::int32_t* out) override { return *out = version, kSuccess; }
  Status ReadObject(Prjrep::IPersist** o) override { return inner->ReadObject(o); }
  Status WriteObject(Prjrep::IPersist* o) override { return inner->WriteObject(o); }
  Status ReadObjectRef(Prjrep::IPersist** o) override { return ++referenceReads, inner->ReadObjectRef(o); }
  Status WriteObjectRef(Prjrep::IPersist* o) override { return inner->WriteObjectRef(o); }
  Status ReadBool(bool* v) override { return inner->ReadBool(v); }
  Status WriteBool(bool v) override { return inner->WriteBool(v); }
  Status ReadXuid(Port::XUID* v) override { return inner->ReadXuid(v); }
  Status WriteXuid(const Port::XUID* v) override { return inner->WriteXuid(v); }
  Status ReadInt32(std::int32_t* v) override { return inner->ReadInt32(v); }
  Status WriteInt32(std::int32_t v) override { return inner->WriteInt32(v); }
  Status ReadInt64(std::int64_t* v) override { return inner->ReadInt64(v); }
  Status WriteInt64(std::int64_t v) override { return inner->WriteInt64(v); }
  Status ReadLong(std::int32_t* v) override {
    const Status status = inner->ReadLong(v);
    if (hugeCount) *v = 0x7fffffff;
    return status;
  }
  Status WriteLong(std::int32_t v) override { return inner->WriteLong(v); }
  Status ReadString(Text* v) override { return inner->ReadString(v); }
  Status WriteString(const Text* v) override { return inner->WriteString(v); }
  Status OpenStorage(const Text& n, std::int32_t m, Prjrep::IStorage** c) override {
    return inner->OpenStorage(n, m, c);
  }
  Status OpenItem(const Text& n, std::int32_t m, Prjrep::IStorage** i) override { return inner->OpenItem(n, m, i); }
  Status CloseItem(Prjrep::IStorage* i) override { return inner->CloseItem(i); }
  Status Close(std::int32_t f) override { return inner->Close(f); }
  std::int32_t version;
  bool hugeCount = false;
  int referenceReads = 0;
  AutoPtr<Prjrep::IStorage> inner;
  Prjrep::TRefCountHelper<TestStorage> m_count{this};
};

}  // namespace view_test
