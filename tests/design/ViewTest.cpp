// The view, made by class id in a world of doubles (view types, templates, store, manager, design,
// project, a stream of a chosen format version) with real source files.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IState.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "core/Persist.h"
#include "core/Sets.h"
#include "design/view/CView.h"
#include "support/FakeProject.h"

namespace view_test {
namespace {

using Hvd::IView, Hvd::kFailure, Hvd::kSuccess, Hvd::Status;
using Prjrep::AutoCast, Prjrep::AutoOut, Prjrep::AutoPtr, Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Units = std::vector<CitI::IInterface*>;
namespace Event = Hvd::EventId;

// What a property instance sends, as the event's sender, when its value changed.
CITI_DEFINE_ID(PropertyChanged, "{37A5117E-576E-4170-AE29-EB1EF84875D0}")

CitI::IInterface* Root(CitI::IInterface* object) {
  return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

struct IIdSet : Prjrep::TISet<Hvd::IDefDataId*, Hvd::IDefDataIdIterator> {
  CITI_DECLARE_IID("{9342beba-5ebc-4dae-ae0d-d8ae4797cad1}")
};

// A new iterator over the ids of `definitions`, with one reference for the caller.
Status HandOutIds(const Units& definitions, Hvd::IDefDataIdIterator** out) {
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
    Units all(parserOnly);
    for (const auto& [key, definition] : settings) all.insert(all.begin(), definition);
    return HandOutIds(all, out);
  }
  Status GetPropertyTemplate(const Text& key, Hvd::IPropertyTemplate** out) override {
    Template* found = settings.count(key.str()) != 0 ? settings[key.str()] : nullptr;
    return AutoOut<Hvd::IPropertyTemplate>(out).Assign(found), found != nullptr ? kSuccess : kFailure;
  }
  Units unitTypes;                            // ids of the base services' design-unit types
  std::map<std::string, Template*> settings;  // by setting key
  Units parserOnly;
};

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

// A design unit of the kind the test's view type takes, stored as its name: a view read back
// holds new units of the same names.
struct Unit final : Hvd::TComponent<Unit, Hvd::IHdlDesignUnit> {
  CITI_DECLARE_CLSID("{94188320-1aa5-4b93-8b8d-e1ce0aab4788}")
  Unit() = default;
  explicit Unit(const char* name) : name(name) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IHdlDesignUnit>(this), Hvd::Row<Hvd::IDesignUnit>(&m_unit),
                      Hvd::Row<Prjrep::IPersist>(&m_persist), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  static constexpr Status kNo = Hvd::kNotSupported;
  Status GetDesignUnit(CitI::IInterface*, Hvd::IHdlDesignUnit**) override { return kNo; }
  Status ReservedOperation3(CitI::IInterface*, CitI::IInterface*, bool*) override { return kNo; }
  Status ReservedOperation4(Port::XUID*) override { return kNo; }
  Status LoadFrom(Prjrep::IStorage* storage) { return storage->ReadString(&name); }
  Status SaveTo(Prjrep::IStorage* storage) { return storage->WriteString(&name); }
  struct XIDesignUnit : Hvd::TNested<Unit, Hvd::IDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnitType(Hvd::IDesignUnitType** out) override {
      return AutoOut<Hvd::IDesignUnitType>(out).Assign(AutoCast<Hvd::IDesignUnitType>(s_type)), kSuccess;
    }
    Status GetViews(Hvd::IViewIterator**) override { return kNo; }
    Status GetDesignUnitName(Text* out) override { return *out = This().name, kSuccess; }
    Status SetDesignUnitName(const Text&) override { return kNo; }
    Status GetSecondBindingSet(Hvd::ITransformBindingInstanceSet**) override { return kNo; }
    Status GetDesign(Hvd::IDesign**) override { return kNo; }
  } m_unit{this};
  static inline CitI::IInterface* s_type = nullptr;  // the base services' definition, set by the test
  Text name;
  Prjrep::TPersistHelper<Unit> m_persist{this};
  Prjrep::TRefCountHelper<Unit> m_count{this};
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

// The test's definition data, data store and property manager; it lives for the whole test, so
// nothing counts it. What its store does not know, the base services' store answers.
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
    Template* found = FindTemplate(name.str());
    return AutoOut<Hvd::IPropertyTemplate>(out).Assign(found), found != nullptr ? kSuccess : kFailure;
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
    const auto found = std::find_if(templates.begin(), templates.end(), [&](auto& t) { return t->name == name; });
    return found == templates.end() ? nullptr : found->Get();
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
  int created = 0;  // instances the manager made
  Project* project = nullptr;
  std::vector<AutoPtr<Template>> templates;
  std::vector<AutoPtr<ViewType>> viewTypes;
};

World* g_world = nullptr;  // the running test's

Status Instance::LoadFrom(Prjrep::IStorage* storage) {
  Text name, text;
  if (storage->ReadString(&name) != kSuccess || storage->ReadString(&text) != kSuccess) return kFailure;
  definition = g_world->FindTemplate(name.str());
  value = text.str();
  return definition ? kSuccess : kFailure;
}
Status Design::GetDataStore(Hvd::IDataStore** out) { return AutoOut<Hvd::IDataStore>(out).Assign(g_world), kSuccess; }
Status Design::GetPropertyManager(Hvd::IPropertyManager** out) {
  return AutoOut<Hvd::IPropertyManager>(out).Assign(&g_world->manager), kSuccess;
}
Status Design::GetProject(Hvd::IProject** out) {
  AutoOut<Hvd::IProject>(out).Assign(g_world->project);
  return g_world->project != nullptr ? kSuccess : Hvd::kOwnerMissing;
}
Status Services::GetService(const Port::XUID& id, CitI::IInterface** out) {
  const bool store = id == Hvd::DataStoreServiceId();
  return AutoOut<CitI::IInterface>(out).Assign(store ? g_world : nullptr), store ? kSuccess : kFailure;
}

// A stream that reports the format version a test chooses and passes everything else to the
// repository's own stream. With `hugeCount` it reads every second-form count as 2^31 - 1.
#define FORWARD(Op, Arg) \
  Status Op(Arg v) override { return inner->Op(v); }
struct TestStorage final : Hvd::TComponent<TestStorage, Prjrep::IStorage> {
  explicit TestStorage(std::int32_t version)
      : version(version), inner(AutoRelease<Prjrep::IStorage>(Prjrep::CreateStorage())) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IStorage>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Prjrep::IStorageControl* Control() { return AutoCast<Prjrep::IStorageControl>(inner.Get()); }
  Status GetFormatVersion(std::int32_t* out) override { return *out = version, kSuccess; }
  Status ReadObjectRef(Prjrep::IPersist** o) override { return ++referenceReads, inner->ReadObjectRef(o); }
  Status ReadLong(std::int32_t* v) override {
    const Status status = inner->ReadLong(v);
    if (hugeCount) *v = 0x7fffffff;
    return status;
  }
  Status OpenStorage(const Text& n, std::int32_t m, Prjrep::IStorage** c) override {
    return inner->OpenStorage(n, m, c);
  }
  Status OpenItem(const Text& n, std::int32_t m, Prjrep::IStorage** i) override { return inner->OpenItem(n, m, i); }
  std::int32_t version;
  bool hugeCount = false;
  int referenceReads = 0;
  AutoPtr<Prjrep::IStorage> inner;
  Prjrep::TRefCountHelper<TestStorage> m_count{this};
  // clang-format off
  FORWARD(ReadObject, Prjrep::IPersist**) FORWARD(WriteObject, Prjrep::IPersist*)
  FORWARD(WriteObjectRef, Prjrep::IPersist*) FORWARD(ReadBool, bool*) FORWARD(WriteBool, bool)
  FORWARD(ReadXuid, Port::XUID*) FORWARD(WriteXuid, const Port::XUID*) FORWARD(ReadInt32, std::int32_t*)
  FORWARD(WriteInt32, std::int32_t) FORWARD(ReadInt64, std::int64_t*) FORWARD(WriteInt64, std::int64_t)
  FORWARD(WriteLong, std::int32_t) FORWARD(ReadString, Text*) FORWARD(WriteString, const Text*)
  FORWARD(CloseItem, Prjrep::IStorage*) FORWARD(Close, std::int32_t)
};
// clang-format on
#undef FORWARD

// Every event a sender sends, as its id and its argument's identity.
struct Listener {
  explicit Listener(CitI::IInterface* sender) { Hvd::ConnectEventReceiver(sender, &receiver); }
  static Status Hear(Listener* self, Prjrep::IEvent* event) {
    Port::XUID id;
    AutoRelease<CitI::IInterface> argument;
    std::ignore = event->GetEventId(id);
    std::ignore = event->GetArgument(argument.Receive());
    return self->events.emplace_back(id, Root(argument.Get())), kSuccess;
  }
  Units Arguments(const Port::XUID& id) const {
    Units found;
    for (const auto& [heard, argument] : events) {
      if (heard == id) found.push_back(argument);
    }
    return found;
  }
  int Count(const Port::XUID& id) const { return static_cast<int>(Arguments(id).size()); }
  std::vector<std::pair<Port::XUID, CitI::IInterface*>> events;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Hear};
};

template <class Iterator>
Units Drain(Iterator* it) {
  Units found;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) found.push_back(Root(it->Current()));
  return found;
}
Units ViewsOf(CitI::IInterface* file) {
  AutoRelease<Hvd::IViewIterator> it;
  std::ignore = AutoCast<Hvd::IDesignUnit>(file)->GetViews(it.Receive());
  return Drain(it.Get());
}
Hvd::IHdlDesignUnitSet* UnitSet(CitI::IInterface* view) { return AutoCast<Hvd::IHdlDesignUnitSet>(view); }
Units UnitsOf(CitI::IInterface* view) {
  AutoRelease<Hvd::IHdlDesignUnitIterator> it;
  std::ignore = UnitSet(view)->GetIterator(it.Receive());
  return Drain(it.Get());
}
AutoRelease<Hvd::IPropertyInstance> Setting(CitI::IInterface* view, const char* key) {
  return AutoRelease<Hvd::IPropertyInstance>(AutoCast<Hvd::IKeyedPropertySet>(view)->Lookup(key));
}
std::string ValueOf(CitI::IInterface* view, const char* key) {
  Text value;
  if (AutoRelease<Hvd::IPropertyInstance> instance = Setting(view, key); instance)
    std::ignore = instance->GetValue(&value);
  return value.str();
}
void Set(CitI::IInterface* view, const char* key, const char* value) {
  AutoRelease<Hvd::IPropertyInstance> instance = Setting(view, key);
  ASSERT_TRUE(instance) << key;
  std::ignore = instance->SetValue(value);
}
std::uint32_t TopManual(IView* view) {
  std::uint32_t manual = 99;
  return view->IsTopManual(&manual) == kSuccess ? manual : 99;
}
AutoRelease<IView> MadeView() { return AutoRelease<IView>(CitP::Factory::CreateInstance(Hvd::ClassId::View())); }
Status TearDownView(CitI::IInterface* view) { return AutoCast<Hvd::ICompAdmin>(view)->Teardown(); }

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    AutoRelease<Hvd::IBaseServices> services(CitP::Factory::CreateInstance(Hvd::BaseServicesClassId()));
    AutoRelease<CitI::IInterface> store;
    ASSERT_TRUE(services && services->GetService(Hvd::DataStoreServiceId(), store.Receive()) == kSuccess);
    m_world.base = AutoCast<Hvd::IDataStore>(store.Get()).Get();
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    Hvd::RegisterFactoriesOf<Services, Instance, Design, Unit>();
    g_world = &m_world;
    m_world.project = m_project.Get();
    m_synthesis = m_world.AddViewType("VIEW_AbstractSynthesis");
    m_synthesis->unitTypes = {BaseDefinition("DESUT_VHDL_ARCHITECTURE")};
    for (const char* key : {"TOPDESIGNUNIT", "QLBVERILOGMACROS"}) AddSetting(m_synthesis, key, false, "");
    AddSetting(m_synthesis, "AUTOTOP", true, "true");
    AddSetting(m_synthesis, "DISABLEAUTOHIERREGEN", true, "false");
    m_synthesis->parserOnly = {m_world.AddTemplate("PARSER_Extra", false, "")};
  }
  void TearDown() override {
    for (auto& view : m_views) std::ignore = TearDownView(view.Get());
    for (auto& file : m_files) std::ignore = AutoCast<Hvd::ICompAdmin>(file.Get())->Teardown();
    m_views.clear();
    m_files.clear();
    m_design = nullptr;
    m_world.base = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    g_world = nullptr;
  }

  CitI::IInterface* BaseDefinition(const char* name) {
    AutoRelease<CitI::IInterface> found;
    std::ignore = m_world.base->FindDefData(name, found.Receive());
    return found.Get();  // the base services' definitions live as long as the process
  }
  // The template of setting `key`, named apart from the key, as the data store knows it.
  void AddSetting(ViewType* type, const std::string& key, bool isBool, const std::string& value) {
    type->settings[key] = m_world.AddTemplate("T_" + key, isBool, value);
  }
  // A view set up on the design, kept until the test ends.
  IView* NewView(Hvd::IViewType* type, const char* name = "view") {
    AutoRelease<IView> view = MadeView();
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(view.Get())->InitializeAfterCreate(m_design.Get(), type), kSuccess);
    std::ignore = AutoCast<Prjrep::IName>(view.Get())->SetName(name);
    return m_views.emplace_back(std::move(view)).Get();
  }
  Hvd::IHdlDesignUnit* NewFile(const char* type = "FILE_VHDL") {
    AutoRelease<Hvd::IHdlDesignUnit> file(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->InitializeAfterCreate(m_design.Get(), BaseDefinition(type)),
              kSuccess);
    return m_files.emplace_back(std::move(file)).Get();
  }

  World m_world;
  AutoRelease<Project> m_project{new Project()};
  AutoPtr<Hvd::IDesign> m_design{AutoRelease<Hvd::IDesign>(new Design())};
  ViewType* m_synthesis = nullptr;
  std::vector<AutoPtr<IView>> m_views;
  std::vector<AutoPtr<Hvd::IHdlDesignUnit>> m_files;
};

TEST_F(ViewTest, FilesEnterOnceByTypeOrManagedAndLeaveOnlyThroughTheViewsOwnPositions) {
  IView* view = NewView(m_synthesis);
  IView* other = NewView(m_synthesis, "other");
  Listener heard(view);
  Hvd::IHdlDesignUnit* vhdl = NewFile();
  Hvd::IHdlDesignUnit* ucf = NewFile("FILE_UCF");
  EXPECT_TRUE(UnitSet(view)->Add(vhdl) == kSuccess && UnitSet(view)->Add(vhdl) == kSuccess);
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  // A type the view does not list is refused, unless the view manages the file.
  EXPECT_EQ(UnitSet(view)->Add(ucf), kFailure);
  ASSERT_EQ(AutoCast<Hvd::IFile>(ucf)->SetOriginState(3), kSuccess);
  EXPECT_EQ(UnitSet(view)->Add(ucf), kSuccess);
  EXPECT_EQ(heard.Arguments(Event::FileAddedToView()), (Units{Root(vhdl), Root(ucf)}));
  EXPECT_EQ(ViewsOf(vhdl), Units{Root(view)});

  // Another view's position is refused; the view's own removes, with the event and a refresh.
  ASSERT_EQ(UnitSet(other)->Add(vhdl), kSuccess);
  AutoRelease<Hvd::IHdlDesignUnitIterator> foreign, own;
  ASSERT_TRUE(UnitSet(other)->GetIterator(foreign.Receive()) == kSuccess &&
              UnitSet(view)->GetIterator(own.Receive()) == kSuccess);
  heard.events.clear();
  EXPECT_EQ(UnitSet(view)->Remove(foreign), kFailure);
  EXPECT_TRUE(heard.events.empty());
  EXPECT_EQ(UnitSet(view)->Remove(own), kSuccess);
  EXPECT_EQ(heard.Arguments(Event::FileRemovedFromView()), Units{Root(vhdl)});
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  EXPECT_TRUE(UnitsOf(other) == Units{Root(vhdl)} && ViewsOf(vhdl) == Units{Root(other)});
  // A position that holds no file removes nothing.
  std::ignore = own->Next();
  EXPECT_TRUE(own->IsDone() && UnitSet(view)->Remove(own) == kSuccess && UnitsOf(view) == Units{Root(ucf)});

  // A file dropped on an HDL-file event leaves quietly, forgets the view, and can come back.
  heard.events.clear();
  ASSERT_EQ(Hvd::SendEvent(ucf, Event::HdlFileEvent(), ucf), kSuccess);
  EXPECT_TRUE(UnitsOf(view).empty() && ViewsOf(ucf).empty() && heard.events.empty());
  EXPECT_EQ(AutoCast<Hvd::IFileSet>(view)->Add(AutoCast<Hvd::IFile>(ucf)), kSuccess);
  EXPECT_EQ(ViewsOf(ucf), Units{Root(view)});

  // Without a design, or in a read-only project, nothing changes.
  AutoRelease<IView> bare = MadeView();
  EXPECT_TRUE(UnitSet(bare)->Add(vhdl) == Hvd::kOwnerMissing && UnitSet(bare)->Add(nullptr) == Hvd::kBadParameters);
  m_project->readOnly = true;
  ASSERT_EQ(UnitSet(view)->GetIterator(own.ReleaseAndReceive()), kSuccess);
  EXPECT_TRUE(UnitSet(view)->Add(vhdl) == Hvd::kProjectReadOnly && UnitSet(view)->Remove(own) == Hvd::kProjectReadOnly);
  EXPECT_EQ(UnitsOf(view), Units{Root(ucf)});
}

// What a view does not hold (associations, undefined instances, ports, a parser set-up of its
// own) is refused in the order a caller relies on: without a design, then in a read-only
// project, then as not supported; nothing is handed out.
TEST_F(ViewTest, WhatAViewDoesNotHoldIsRefusedInOrder) {
  AutoRelease<IView> bare = MadeView();
  IView* view = NewView(m_synthesis);
  CitI::IInterface* object = NewFile();
  for (IView* each : {bare.Get(), view}) {
    AutoCast<Hvd::IHdlAssociationSet> set(each);
    const Status expected = each == view ? Hvd::kNotSupported : Hvd::kOwnerMissing;
    EXPECT_TRUE(set->Add(object) == expected && set->Remove(object) == expected);
    Hvd::IHdlParserConfig* config = nullptr;
    EXPECT_EQ(each->GetParserConfig(&config), expected);
    EXPECT_EQ(config, nullptr);
  }
  AutoCast<Hvd::IHdlAssociationSet> set(view);
  Prjrep::IIterator* associations = nullptr;
  EXPECT_TRUE(set->GetIterator(&associations) == Hvd::kNotSupported && associations == nullptr);
  EXPECT_TRUE(set->Size() == 0 && set->Clear() == Hvd::kNotSupported);
  AutoCast<Hvd::IHdlElaborationData> data(view);
  CitI::IInterface* out = object;
  EXPECT_TRUE(data->GetUndefinedInstances(&out) == Hvd::kNotSupported && out == nullptr);
  out = object;
  EXPECT_TRUE(data->GetPorts("top", &out) == Hvd::kNotSupported && out == nullptr);
  m_project->readOnly = true;
  EXPECT_TRUE(set->Add(object) == Hvd::kProjectReadOnly && set->Remove(object) == Hvd::kProjectReadOnly);
  EXPECT_EQ(set->Clear(), Hvd::kProjectReadOnly);
}

// Files that belong to no instance (constraints, packages) take the top instance as their place
// in the design graph, once. With no unit at the previous top's path the place is the path given,
// never a name left empty.
TEST_F(ViewTest, TheTopInstanceBecomesThePlaceOfFilesOutsideTheInstances) {
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* ucf = NewFile("FILE_UCF");
  ASSERT_EQ(AutoCast<Hvd::IFile>(ucf)->SetOriginState(3), kSuccess);
  ASSERT_EQ(UnitSet(view)->Add(ucf), kSuccess);
  AutoCast<Hvd::IDesignGraphLocatorSet> places(ucf);
  ASSERT_TRUE(places);
  const auto holds = [&](const char* locator) {
    bool found = false;
    return places->Contains(locator, &found) == kSuccess && found;
  };
  ASSERT_EQ(view->SetTopInstance("/top/u1"), kSuccess);
  EXPECT_TRUE(places->Size() == 1 && holds("/top/u1"));
  ASSERT_EQ(view->SetTopInstance("/other/u2"), kSuccess);
  EXPECT_TRUE(places->Size() == 1 && holds("/top/u1"));
  Text top;
  EXPECT_TRUE(view->GetTopName(&top) == kSuccess && top == "other");
}

// Registering again hands each file back its view and its listener, once however often the
// view registers: what a file says after reaches the view a single time.
TEST_F(ViewTest, RegisteringAgainReconnectsTheViewsFilesOnce) {
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* file = NewFile();
  ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
  // The file no longer knows the view, as after a load: the wiring is not stored.
  ASSERT_EQ(AutoCast<Prjrep::IEventSender>(file)->RemoveReceiver(AutoCast<Prjrep::IEventReceiver>(view)), kSuccess);
  AutoRelease<Hvd::IViewIterator> at;
  ASSERT_EQ(AutoCast<Hvd::IViewSet>(file)->GetIterator(at.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IViewSet>(file)->Remove(at), kSuccess);
  Listener heard(view);
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(file)->SetModified(true), kSuccess);
  EXPECT_TRUE(heard.events.empty() && ViewsOf(file).empty());

  for (int i = 0; i < 2; ++i) EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(view)->RegisterForNotifications(), kSuccess);
  EXPECT_EQ(ViewsOf(file), Units{Root(view)});
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(file)->SetModified(false), kSuccess);
  heard.events.clear();
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(file)->SetModified(true), kSuccess);
  EXPECT_EQ(heard.Arguments(Event::ForwardedChange()), Units{Root(file)});
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
}

// Only files of the asked type that have a path are listed; one placed before it has a path
// is left out rather than listed as an empty word.
TEST_F(ViewTest, TheFilesOfATypeAreThoseWithAPath) {
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* named = NewFile();
  ASSERT_EQ(AutoCast<Prjrep::IFileNameHelper>(named)->SetPathInDirectory("a.vhd", "", "/tmp/lib"), kSuccess);
  for (Hvd::IHdlDesignUnit* file : {NewFile(), named}) ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
  AutoCast<Hvd::IViewTclHelper> tcl(view);
  EXPECT_EQ(tcl->GetFilesOfType("FILE_VHDL").str(), "/tmp/lib/a.vhd ");
  EXPECT_EQ(tcl->GetFilesOfType("FILE_UCF").str(), "");
}

TEST_F(ViewTest, BatchesAndReparsesRefreshOnceAndViewsListeningToEachOtherStop) {
  IView* view = NewView(m_synthesis);
  AutoCast<Hvd::IBatchDelay> batch(view);
  Listener heard(view);
  ASSERT_TRUE(batch->BeginBatch() == kSuccess && batch->BeginBatch() == kSuccess);
  const Units files{Root(NewFile()), Root(NewFile())};
  for (auto* file : files) ASSERT_EQ(UnitSet(view)->Add(AutoCast<Hvd::IHdlDesignUnit>(file)), kSuccess);
  EXPECT_TRUE(batch->EndBatch() == kSuccess && heard.Count(Event::ViewChanged()) == 0);
  EXPECT_TRUE(batch->EndBatch() == kSuccess && heard.Count(Event::ViewChanged()) == 1);

  // A modified file is passed on and refreshes at once.
  heard.events.clear();
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(files[0])->SetModified(true), kSuccess);
  EXPECT_TRUE(heard.Arguments(Event::ForwardedChange()) == Units{files[0]} && heard.Count(Event::ViewChanged()) == 1);

  // A forced re-parse marks every file and refreshes once.
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(files[0])->SetModified(false), kSuccess);
  heard.events.clear();
  EXPECT_EQ(AutoCast<Hvd::IHdlElaborationData2>(view)->RefreshElaboration(), kSuccess);
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  for (auto* file : files) {
    bool modified = false;
    EXPECT_TRUE(AutoCast<Hvd::IHdlFile>(file)->IsModified(&modified) == kSuccess && modified);
  }

  IView* other = NewView(m_synthesis, "other");
  Hvd::ConnectEventReceiver(view, other);
  Hvd::ConnectEventReceiver(other, view);
  Listener heardOther(other);
  heard.events.clear();
  ASSERT_EQ(UnitSet(other)->Add(NewFile()), kSuccess);
  EXPECT_TRUE(heardOther.Count(Event::ViewChanged()) == 1 && heard.Count(Event::ViewChanged()) == 1);
}

TEST_F(ViewTest, SettingsComeFromTheTypesTemplatesAndParserSettingsRefreshUnlessHeldBack) {
  IView* view = NewView(m_synthesis);
  EXPECT_TRUE(Setting(view, "TOPDESIGNUNIT") && !Setting(view, "QUORLIN") && TopManual(view) == 0u);
  Set(view, "AUTOTOP", "false");
  EXPECT_EQ(TopManual(view), 1u);
  // Without an AUTOTOP setting the view chooses its top itself.
  EXPECT_EQ(TopManual(NewView(m_world.AddViewType("VIEW_AbstractSimulation"))), 0u);

  // A template that appears later adds its setting; the others stay as they are.
  AutoRelease<Hvd::IPropertyInstance> top = Setting(view, "TOPDESIGNUNIT");
  AddSetting(m_synthesis, "QUORLIN", false, "guide");
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->Reconcile(), kSuccess);
  EXPECT_TRUE(ValueOf(view, "QUORLIN") == "guide" && Root(Setting(view, "TOPDESIGNUNIT").Get()) == Root(top.Get()));

  // A parser setting refreshes, unless the user regenerates the hierarchy; giving that back
  // refreshes what was held back.
  Listener heard(view);
  Set(view, "QLBVERILOGMACROS", "A=1");
  Set(view, "TOPDESIGNUNIT", "top");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  Set(view, "DISABLEAUTOHIERREGEN", "true");
  Set(view, "QLBVERILOGMACROS", "A=2");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  Set(view, "DISABLEAUTOHIERREGEN", "false");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 2);

  for (auto [type, major, synthesis] : {std::tuple{"VIEW_Post-FitAbstractSimulation", true, false},
                                        {"VIEW_Initial", false, false},
                                        {"VIEW_CPLDAbstractSynthesis", true, true}}) {
    IView* typed = NewView(m_world.AddViewType(type));
    EXPECT_TRUE(Hvd::IsMajorView(typed) == major && Hvd::IsAbstractSynthesisView(typed) == synthesis) << type;
  }
}

TEST_F(ViewTest, ReconcileDropsWhatIsNoLongerDefinedAndAnObsoleteViewLetsGoOfEverything) {
  AddSetting(m_synthesis, "QUORLIN", false, "");
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* file = NewFile();
  ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
  AutoRelease<Hvd::IPropertyInstance> dropped = Setting(view, "QUORLIN");
  AutoRelease<Hvd::IPropertyInstance> macros = Setting(view, "TOPDESIGNUNIT");
  m_synthesis->settings.erase("QUORLIN");
  m_world.FindTemplate("T_QLBVERILOGMACROS")->obsolete = true;
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->RemoveObsolete(nullptr), kSuccess);
  EXPECT_FALSE(Setting(view, "QUORLIN") || Setting(view, "QLBVERILOGMACROS"));
  EXPECT_TRUE(Setting(view, "TOPDESIGNUNIT") && Setting(view, "AUTOTOP"));
  Listener heard(view);
  std::ignore = dropped->SetValue("x");
  EXPECT_TRUE(heard.events.empty());

  // A view whose type is obsolete tears itself down, files, settings and listeners included.
  m_synthesis->obsolete = true;
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->RemoveObsolete(nullptr), kSuccess);
  AutoRelease<Hvd::IDesign> design;
  EXPECT_NE(view->GetDesign(design.Receive()), kSuccess);
  EXPECT_TRUE(UnitsOf(view).empty() && ViewsOf(file).empty() && !Setting(view, "TOPDESIGNUNIT"));
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(file)->SetModified(true), kSuccess);
  std::ignore = macros->SetValue("C=1");
  EXPECT_TRUE(heard.events.empty());
  EXPECT_EQ(dynamic_cast<Instance*>(macros.Get())->sender.ReceiverCount(), 0u);
}

// Enough files for the view's lookup table to grow several times; files leave in a scrambled
// order, some quietly, some through the view's own positions, and come back at the end.
TEST_F(ViewTest, ManyFilesLeaveInAnyOrderAndComeBackAtTheEnd) {
  IView* view = NewView(m_synthesis);
  Listener heard(view);
  std::vector<Hvd::IHdlDesignUnit*> files;
  Units model;
  for (int i = 0; i < 90; ++i) {
    files.push_back(NewFile());
    ASSERT_EQ(UnitSet(view)->Add(files.back()), kSuccess);
    model.push_back(Root(files.back()));
  }
  std::vector<int> scrambled(files.size());
  for (std::size_t i = 0; i < scrambled.size(); ++i) scrambled[i] = static_cast<int>(i);
  std::shuffle(scrambled.begin(), scrambled.end(), std::mt19937(9));
  for (std::size_t n = 0; n < 60; ++n) {
    Hvd::IHdlDesignUnit* file = files[static_cast<std::size_t>(scrambled[n])];
    if (n % 2 == 0) {
      ASSERT_EQ(Hvd::SendEvent(file, Event::HdlFileEvent(), file), kSuccess);
    } else {
      AutoRelease<Hvd::IFileIterator> other;
      ASSERT_EQ(AutoCast<Hvd::IFileSet>(view)->GetIterator(other.Receive()), kSuccess);
      while (!other->IsDone() && Root(other->Current()) != Root(file)) std::ignore = other->Next();
      ASSERT_EQ(AutoCast<Hvd::IFileSet>(view)->Remove(other), kSuccess);
    }
    model.erase(std::find(model.begin(), model.end(), Root(file)));
    ASSERT_EQ(UnitsOf(view), model) << n;
  }
  // Those still held are not taken again; those gone come back at the end.
  heard.events.clear();
  for (std::size_t n = 50; n < 70; ++n) {
    Hvd::IHdlDesignUnit* file = files[static_cast<std::size_t>(scrambled[n])];
    ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
    if (n < 60) model.push_back(Root(file));
  }
  EXPECT_EQ(heard.Count(Event::FileAddedToView()), 10);
  EXPECT_EQ(UnitsOf(view), model);
}

TEST_F(ViewTest, TheParserGetsTheViewsOwnInstancesFoundAgainOnEveryRefresh) {
  IView* view = NewView(m_synthesis);
  EXPECT_EQ(m_world.created, 5);  // one per setting, one for the template only the parser reads
  for (int i = 0; i < 2; ++i) ASSERT_EQ(AutoCast<Hvd::IHdlElaborationData2>(view)->RefreshElaboration(), kSuccess);
  ASSERT_EQ(UnitSet(view)->Add(NewFile()), kSuccess);
  EXPECT_EQ(m_world.created, 5);
  EXPECT_EQ(dynamic_cast<Instance*>(Setting(view, "QLBVERILOGMACROS").Get())->sender.ReceiverCount(), 1u);
  // A view that is not major hands nothing to a parser.
  ViewType* initial = m_world.AddViewType("VIEW_Initial");
  initial->settings = m_synthesis->settings;
  initial->parserOnly = m_synthesis->parserOnly;
  NewView(initial);
  EXPECT_EQ(m_world.created, 9);
}

TEST_F(ViewTest, AViewReadsBackWhatItWroteAtVersionsFourToSix) {
  IView* view = NewView(m_synthesis, "Synthesis");
  Set(view, "TOPDESIGNUNIT", "top");
  ASSERT_TRUE(AutoCast<Hvd::IState>(view)->Add("Synthesized"));
  std::int64_t written[3] = {};
  for (std::int32_t version = 4; version <= 6; ++version) {
    SCOPED_TRACE(version);
    AutoRelease<TestStorage> storage(new TestStorage(version));
    ASSERT_EQ(AutoCast<Prjrep::IPersist>(view)->PersistSave(storage.Get()), kSuccess);
    written[version - 4] = storage->Control()->OperationCount();
    const Text end("end");
    ASSERT_TRUE(storage->inner->WriteString(&end) == kSuccess && storage->Control()->Rewind() == kSuccess);

    IView* loaded = m_views.emplace_back(MadeView()).Get();
    ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded)->PersistLoad(storage.Get()), kSuccess);
    Text rest, name;
    EXPECT_TRUE(storage->inner->ReadString(&rest) == kSuccess && rest.str() == "end");
    EXPECT_TRUE(AutoCast<Prjrep::IName>(loaded)->GetName(name) == kSuccess && name.str() == "Synthesis");
    AutoRelease<Hvd::IViewType> type;
    EXPECT_TRUE(loaded->GetType(type.Receive()) == kSuccess && Root(type.Get()) == Root(m_synthesis));
    EXPECT_TRUE(ValueOf(loaded, "TOPDESIGNUNIT") == "top" && ValueOf(loaded, "AUTOTOP") == "true");
    EXPECT_TRUE(AutoCast<Hvd::IState>(loaded)->Contains("Synthesized"));

    // Set up as the host sets it up, it hears its settings again.
    AutoRelease<Hvd::IDesign> design;
    ASSERT_EQ(loaded->GetDesign(design.Receive()), kSuccess);
    EXPECT_TRUE(AutoCast<Hvd::ICompAdmin>(loaded)->InitializeAfterLoad(design.Get()) == kSuccess &&
                AutoCast<Hvd::ICompAdmin>(loaded)->RegisterForNotifications() == kSuccess);
    Listener heard(loaded);
    Set(loaded, "QLBVERILOGMACROS", "B=1");
    EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
    std::ignore = TearDownView(loaded);  // before the storage lets go of the design it read
  }
  // Version 5 adds two numbers, version 6 one string more.
  EXPECT_TRUE(written[1] - written[0] == 2 && written[2] - written[1] == 1);
}

// A view read back holds its units again, in their order and each once as its own: a unit it
// holds is not taken a second time, and each leaves through the view's own positions.
TEST_F(ViewTest, AViewReadBackHoldsItsUnitsAgainInTheirOrder) {
  Unit::s_type = BaseDefinition("DESUT_VHDL_ARCHITECTURE");
  IView* view = NewView(m_synthesis, "Synthesis");
  std::vector<AutoRelease<Unit>> units;
  for (const char* name : {"b", "a", "c"}) {
    units.emplace_back(new Unit(name));
    ASSERT_EQ(UnitSet(view)->Add(units.back().Get()), kSuccess) << name;
  }
  AutoRelease<TestStorage> storage(new TestStorage(6));
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(view)->PersistSave(storage.Get()), kSuccess);
  ASSERT_EQ(storage->Control()->Rewind(), kSuccess);
  IView* loaded = m_views.emplace_back(MadeView()).Get();
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded)->PersistLoad(storage.Get()), kSuccess);
  const auto names = [&] {
    std::vector<std::string> found;
    for (CitI::IInterface* unit : UnitsOf(loaded)) {
      Text name;
      std::ignore = AutoCast<Hvd::IDesignUnit>(unit)->GetDesignUnitName(&name);
      found.push_back(name.str());
    }
    return found;
  };
  ASSERT_EQ(names(), (std::vector<std::string>{"b", "a", "c"}));

  const Units read = UnitsOf(loaded);
  for (CitI::IInterface* unit : read) EXPECT_EQ(UnitSet(loaded)->Add(AutoCast<Hvd::IHdlDesignUnit>(unit)), kSuccess);
  EXPECT_EQ(UnitsOf(loaded), read);
  AutoRelease<Hvd::IHdlDesignUnitIterator> at;
  ASSERT_EQ(UnitSet(loaded)->GetIterator(at.Receive()), kSuccess);
  ASSERT_EQ(at->Next(), kSuccess);
  ASSERT_EQ(UnitSet(loaded)->Remove(at), kSuccess);
  EXPECT_EQ(names(), (std::vector<std::string>{"b", "c"}));
  std::ignore = TearDownView(loaded);  // before the storage lets go of the design it read
}

TEST_F(ViewTest, ADamagedStreamFailsAtTheFirstBadReadAndLeavesNothingBehind) {
  IView* view = NewView(m_synthesis, "Synthesis");
  ASSERT_TRUE(AutoCast<Hvd::IState>(view)->Add("Synthesized"));
  AutoRelease<TestStorage> storage(new TestStorage(6));
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(view)->PersistSave(storage.Get()), kSuccess);
  Prjrep::IStorageControl* control = storage->Control();
  const std::int64_t before = control->OperationCount();
  // Loads the stream from its start, with read `k` failing (none for 0); true when it loaded.
  const auto load = [&](std::int64_t k) {
    EXPECT_EQ(control->Rewind(), kSuccess);
    control->FailOperation(k, kFailure);
    AutoRelease<IView> loaded = MadeView();
    const bool done = AutoCast<Prjrep::IPersist>(loaded.Get())->PersistLoad(storage.Get()) == kSuccess;
    control->FailOperation(0, kSuccess);
    std::ignore = TearDownView(loaded);
    return done;
  };
  ASSERT_TRUE(load(0));
  const std::int64_t reads = control->OperationCount() - before;
  ASSERT_GT(reads, 10);
  // Each read failing in turn fails the load, and what it read is let go.
  for (std::int64_t k = 1; k <= reads; ++k) EXPECT_FALSE(load(k)) << k;
  // A count that no view can hold is not read on.
  storage->hugeCount = true;
  storage->referenceReads = 0;
  EXPECT_FALSE(load(0));
  EXPECT_EQ(storage->referenceReads, 1);  // the design only
}

}  // namespace
}  // namespace view_test
