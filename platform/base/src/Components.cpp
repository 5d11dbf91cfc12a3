// The library's components: the base services, the property manager with its property
// instances, the family-template and code-hook components; the library's entry and the
// stand-in's accessors.

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "BaseData.h"
#include "Hvd/IBaseServices.h"
#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/ITclInterp.h"
#include "Port/MsgMan.h"
#include "Prjrep/IPersist.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Persist.h"
#include "core/Factory.h"
#include "core/XmlChars.h"

namespace Hvd::base {
namespace {

// Evaluates in the Tcl interpreter component's interpreter, where the library's own Tcl
// commands run too. Made for each caller, since it keeps the caller's result holder.
class CTclEvaluation final : public TComponent<CTclEvaluation> {
 public:
  auto QueryTable() {
    return Table(Row<ITclEvaluation>(&m_XITclEvaluation), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  // Null when the interpreter's library is not loaded.
  static Prjrep::AutoRelease<ITclInterp> Interpreter() {
    Prjrep::AutoRelease<ITclInterp> interpreter(CitP::Factory::CreateInstance(TclInterpClassId()));
    if (interpreter && interpreter->Init("") != kSuccess) return nullptr;
    return interpreter;
  }

  struct XITclEvaluation : TNested<CTclEvaluation, ITclEvaluation> {
    using TNested::TNested;
    Status BindObject(CitI::IInterface* object, const Text& name) override {
      const Prjrep::AutoRelease<ITclInterp> interpreter = Interpreter();
      return interpreter ? interpreter->BindObject(object, name) : kFailure;
    }
    Status SetResultHolder(Text* result) override {
      This().m_result = result;
      return kSuccess;
    }
    Status Evaluate(const Text& command, std::int32_t flags, std::int32_t) override {
      const Prjrep::AutoRelease<ITclInterp> interpreter = Interpreter();
      if (!interpreter) return kFailure;
      Text text;
      const Status status = interpreter->ExecuteCmd(command, text, flags);
      if (This().m_result != nullptr) *This().m_result = text;
      return status;
    }
  } m_XITclEvaluation{this};
  Prjrep::TRefCountHelper<CTclEvaluation> m_count{this};
  Text* m_result = nullptr;
};

class CBaseServices final : public TComponent<CBaseServices> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::BaseServicesClassId(); }

  auto QueryTable() {
    return Table(Row<IBaseServices>(&m_XIBaseServices), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XIBaseServices : TNested<CBaseServices, IBaseServices> {
    using TNested::TNested;
    Status GetService(const Port::XUID& id, CitI::IInterface** service) override {
      Prjrep::AutoOut<CitI::IInterface> result(service);
      Prjrep::AutoRelease<CitI::IInterface> made;
      CitI::IInterface* found = nullptr;
      if (id == DataStoreServiceId()) {
        found = TheDataStore();
      } else if (id == DeviceStoreServiceId()) {
        found = TheDeviceStore();
      } else if (id == PlatformEventServiceId()) {
        found = ThePlatformEvents();
      } else if (id == TclEvaluationServiceId() && service != nullptr) {
        made.Assign(new CTclEvaluation());
        found = made.Get();
      }
      if (service == nullptr || found == nullptr) return kFailure;
      return result.Assign(found);
    }
  } m_XIBaseServices{this};
  Prjrep::TRefCountHelper<CBaseServices> m_count{this};
};

// Remembers which family it stands for; the data gives no family definitions to apply.
class CFamilySelection final : public TComponent<CFamilySelection> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::FamilyTemplatesClassId(); }

  auto QueryTable() {
    return Table(Row<IFamilySelection>(&m_XIFamilySelection), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XIFamilySelection : TNested<CFamilySelection, IFamilySelection> {
    using TNested::TNested;
    Status SelectFamily(const Text& kind, const Text& value) override {
      CFamilySelection& self = This();
      self.m_kind = kind;
      self.m_value = value;
      return kSuccess;
    }
  } m_XIFamilySelection{this};
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

// A hook name that is a plain procedure name, which goes into a Tcl command as it is; no other
// is run.
bool IsProcedureName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':';
  });
}

// Records each run; the hook's Tcl procedure runs too, with the object as its one argument,
// when the interpreter's library is loaded and defines it.
class CCodeHook final : public TComponent<CCodeHook> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::CodeHookClassId(); }

  auto QueryTable() {
    return Table(Row<ICodeHookInstance>(&m_XICodeHookInstance), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XICodeHookInstance : TNested<CCodeHook, ICodeHookInstance> {
    using TNested::TNested;
    Status Run(const Text& hookName, CitI::IInterface* object) override {
      std::string run = hookName.str() + " " + StandInIdentity(object);
      {
        HookRuns& runs = TheHookRuns();
        std::lock_guard<std::mutex> guard(runs.lock);
        runs.runs.push_back(std::move(run));
      }
      return RunProcedure(hookName, object);
    }

   private:
    // Without an object there is nothing to hand the procedure, and without the interpreter
    // nothing to run it; a procedure the interpreter lacks is not the hook's fault either.
    static Status RunProcedure(const Text& procedure, CitI::IInterface* object) {
      if (object == nullptr || !IsProcedureName(procedure.str())) return kSuccess;
      const Prjrep::AutoRelease<ITclInterp> interpreter(CitP::Factory::CreateInstance(TclInterpClassId()));
      if (!interpreter || interpreter->Init("") != kSuccess) return kSuccess;
      Text defined;
      if (interpreter->ExecuteCmd("info commands " + procedure, defined, 0) != kSuccess || defined.empty())
        return kSuccess;
      if (interpreter->BindObject(object, "this") != kSuccess) return kFailure;
      Text result;
      const Status status = interpreter->ExecuteCmd(procedure + " $this", result, 0);
      std::ignore = interpreter->BindObject(nullptr, "this");
      if (status != kSuccess) {
        const std::string message = "Code hook " + procedure.str() + " failed: " + result.str() + "\n";
        Port_MsgManData::debugStub(message.c_str());
      }
      return status;
    }
  } m_XICodeHookInstance{this};
  Prjrep::TRefCountHelper<CCodeHook> m_count{this};
};

}  // namespace

class CPropertyInstance;

// The device settings of one context, by part: the instance of each, or null. Shared by those
// instances, so that each outlives neither the record nor its siblings' links to it.
struct DeviceParts {
  std::array<CPropertyInstance*, kParts> members{};
};

// One property's value. It refers to nothing but its definition, which lives as long as the
// process, and for a device setting to the device settings of its context, so an instance may
// outlive its manager and its context.
class CPropertyInstance final : public TComponent<CPropertyInstance> {
 public:
  CITI_DECLARE_CLSID("{8e3f1c52-6a4d-4b7e-9f21-3c5d7a9b0e64}")

  CPropertyInstance() = default;
  explicit CPropertyInstance(CDefinition* definition)
      : m_definition(definition), m_value(definition->Data().defaultValue) {}
  CPropertyInstance(const CPropertyInstance&) = delete;
  CPropertyInstance& operator=(const CPropertyInstance&) = delete;
  ~CPropertyInstance() {
    if (m_parts && m_parts->members[PartIndex()] == this) m_parts->members[PartIndex()] = nullptr;
  }

  // A device setting takes its part among the device settings of its context, in place of the
  // instance it replaces there.
  void JoinParts(const std::shared_ptr<DeviceParts>& parts) {
    if (m_definition == nullptr || m_definition->Data().part == Part::kNone) return;
    m_parts = parts;
    m_parts->members[PartIndex()] = this;
  }

  // The rest follows the definition, which a created but not yet loaded instance lacks.
  auto QueryTable() {
    const DefinitionData* d = m_definition != nullptr ? &m_definition->Data() : nullptr;
    const std::string_view kind = d != nullptr ? std::string_view(d->valueKind) : std::string_view();
    return Table(Row<CitI::IInterface>(this), Row<IPropertyInstance>(&m_XIPropertyInstance),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IEventSender>(&m_sender),
                 Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), RowIf<IDefDataObsolete>(d != nullptr, &m_XIDefDataObsolete),
                 RowIf<ILockable>(d != nullptr && d->lockable, &m_XILockable),
                 RowIf<IListPropertyInstance>(kind == "list", &m_XIListPropertyInstance),
                 RowIf<IBoolPropertyInstance>(kind == "bool", &m_XIBoolPropertyInstance),
                 RowIf<IFilePropertyInstance>(kind == "file" || kind == "files", &m_XIFilePropertyInstance));
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

 private:
  static bool Holds(const Names& names, const std::string& value) {
    return std::find(names.begin(), names.end(), value) != names.end();
  }

  std::size_t PartIndex() const { return static_cast<std::size_t>(m_definition->Data().part); }

  // The value chosen for `part` in this instance's context; none when no instance chooses it.
  std::optional<std::string> Chosen(Part part) const {
    const CPropertyInstance* member = m_parts ? m_parts->members[static_cast<std::size_t>(part)] : nullptr;
    return member != nullptr ? std::optional<std::string>(member->m_value) : std::nullopt;
  }

  // A device part below the family takes what the device store has under the parts chosen
  // above it; any other list takes the values its definition names.
  Names AllowedValues() const {
    const DefinitionData& d = m_definition->Data();
    if (d.part == Part::kNone || d.part == Part::kFamily) return d.allowed;
    return DevicePartValues(d.part, Chosen(Part::kFamily), Chosen(Part::kDevice));
  }

  // A new family or device would leave the parts below it naming a part it does not have: each
  // keeps its value where it is still allowed, else takes its default where that is, else the
  // first allowed. A lock does not hold a part the device no longer has. The parts moved are
  // added to `moved`.
  void KeepPartsBelowValid(std::vector<Prjrep::AutoPtr<IPropertyInstance>>& moved) {
    if (!m_parts) return;
    for (std::size_t below = PartIndex() + 1; below < kParts; ++below) {
      CPropertyInstance* member = m_parts->members[below];
      if (member == nullptr) continue;
      const Names allowed = member->AllowedValues();
      if (allowed.empty() || Holds(allowed, member->m_value)) continue;
      const std::string& fallback = member->m_definition->Data().defaultValue;
      member->m_value = Holds(allowed, fallback) ? fallback : allowed.front();
      moved.emplace_back(&member->m_XIPropertyInstance);
    }
  }

  // Whoever listens (a view to its settings, the design platform to the device settings) hears
  // of a new value with the instance as sender and argument, and of nothing else.
  static void AnnounceChange(IPropertyInstance* instance) {
    std::ignore = SendEvent(instance, EventId::PropertyChangeA(), instance);
  }

  // What SetValue and SetBool store, while the instance is defined and unlocked.
  Status Store(std::string value) {
    if (m_definition == nullptr || m_locked) return kFailure;
    const DefinitionData& d = m_definition->Data();
    // A list takes only one of its allowed values; anything else is refused and the value kept.
    if (d.valueKind == "list" && !Holds(AllowedValues(), value)) {
      const std::string message = "ERROR: PropertyInstance::SetValue - \"" + value + "\" is not an allowed value of " +
                                  d.name + ".\n";
      Port_MsgManData::debugStub(message.c_str());
      return kInvalidParameter;
    }
    // The project's files keep the value, and they cannot hold every character. A view's settings
    // are kept in no file: a path the view records there may hold what the project's folder does,
    // which is anything but a NUL.
    const std::string what = "The " + d.name + " value";
    if (d.owner == "view" ? !NulFree("ProjectMgmt", what, value) : !XmlFits("ProjectMgmt", what, value))
      return kInvalidParameter;
    const bool changed = value != m_value;
    m_value = std::move(value);
    std::vector<Prjrep::AutoPtr<IPropertyInstance>> moved;
    KeepPartsBelowValid(moved);
    // Told once every part holds its new value, so that a listener reads a settled device.
    if (changed) AnnounceChange(&m_XIPropertyInstance);
    for (const auto& member : moved) AnnounceChange(member.Get());
    return kSuccess;
  }

  struct XIPropertyInstance : TNested<CPropertyInstance, IPropertyInstance> {
    using TNested::TNested;
    Status GetName(Text* name) override {
      const CPropertyInstance& self = This();
      if (name == nullptr || self.m_definition == nullptr) return kFailure;
      *name = Text(self.m_definition->Data().name);
      return kSuccess;
    }
    Status GetValue(Text* value) override {
      const CPropertyInstance& self = This();
      if (value == nullptr || self.m_definition == nullptr) return kFailure;
      *value = Text(self.m_value);
      return kSuccess;
    }
    Status SetValue(const Text& value) override { return This().Store(value.str()); }
    Status GetTemplate(IPropertyTemplate** definition) override {
      Prjrep::AutoOut<IPropertyTemplate> result(definition);
      CDefinition* own = This().m_definition;
      if (definition == nullptr || own == nullptr) return kFailure;
      return result.Assign(own);
    }
    Status IsDefault(bool* isDefault) override {
      const CPropertyInstance& self = This();
      if (isDefault == nullptr || self.m_definition == nullptr) return kFailure;
      *isDefault = self.m_value == self.m_definition->Data().defaultValue;
      return kSuccess;
    }
  } m_XIPropertyInstance{this};

  struct XIDefDataObsolete : TNested<CPropertyInstance, IDefDataObsolete> {
    using TNested::TNested;
    Status IsObsolete(bool* obsolete) override {
      if (obsolete == nullptr) return kFailure;
      *obsolete = This().m_definition->Data().obsolete;
      return kSuccess;
    }
  } m_XIDefDataObsolete{this};

  struct XILockable : TNested<CPropertyInstance, ILockable> {
    using TNested::TNested;
    Status Lock() override {
      This().m_locked = true;
      return kSuccess;
    }
    Status IsLocked(bool* locked) override {
      if (locked == nullptr) return kFailure;
      *locked = This().m_locked;
      return kSuccess;
    }
    Status Unlock() override {
      This().m_locked = false;
      return kSuccess;
    }
  } m_XILockable{this};

  struct XIListPropertyInstance : TNested<CPropertyInstance, IListPropertyInstance> {
    using TNested::TNested;
    Status GetAllowedValues(Prjrep::IStringIterator** values) override {
      return HandOut(NewStringIterator(This().AllowedValues()), values);
    }
  } m_XIListPropertyInstance{this};

  struct XIBoolPropertyInstance : TNested<CPropertyInstance, IBoolPropertyInstance> {
    using TNested::TNested;
    Status GetBool(bool* value) override {
      if (value == nullptr) return kFailure;
      *value = This().m_value == "true";
      return kSuccess;
    }
    Status SetBool(bool value) override { return This().Store(value ? "true" : "false"); }
  } m_XIBoolPropertyInstance{this};

  struct XIFilePropertyInstance : TNested<CPropertyInstance, IFilePropertyInstance> {
    using TNested::TNested;
    Status IsFileList(bool* list) override {
      if (list == nullptr) return kFailure;
      *list = This().m_definition->Data().valueKind == "files";
      return kSuccess;
    }
    Status GetValues(Prjrep::IStringIterator** values) override;
  } m_XIFilePropertyInstance{this};

  Prjrep::TPersistHelper<CPropertyInstance> m_persist{this};
  Prjrep::TRefCountHelper<CPropertyInstance> m_count{this};
  Prjrep::CEventSenderHelper m_sender{this};
  CDefinition* m_definition = nullptr;  // immortal, so not counted
  std::shared_ptr<DeviceParts> m_parts;  // of a device setting made by a manager; else null
  std::string m_value;
  bool m_locked = false;
};

// A list is split at "|", empty entries dropped; a single path is taken whole.
Status CPropertyInstance::XIFilePropertyInstance::GetValues(Prjrep::IStringIterator** values) {
  const CPropertyInstance& self = This();
  const std::string& value = self.m_value;
  Names paths;
  if (self.m_definition->Data().valueKind != "files") {
    if (!value.empty()) paths.push_back(value);
  } else {
    std::size_t begin = 0;
    while (begin <= value.size()) {
      const std::size_t end = std::min(value.find('|', begin), value.size());
      if (end > begin) paths.push_back(value.substr(begin, end - begin));
      begin = end + 1;
    }
  }
  return HandOut(NewStringIterator(paths), values);
}

namespace {

// The instances of every context, in creation order. Contexts are compared by their root
// interface and not counted: a context only names where an instance belongs.
class CPropertyManager final : public TComponent<CPropertyManager> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::PropertyManagerClassId(); }

  auto QueryTable() {
    return Table(Row<IPropertyManager>(&m_XIPropertyManager), Row<Ppm::IPropertyMgrInternal>(&m_XIPropertyMgrInternal),
                 Row<Ppm::IPropertyFetchInternal>(&m_XIPropertyFetchInternal), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
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

  // The instance of `definition` in `context`, borrowed from the records; `fresh` replaces the
  // one there was. Null when `definition` names no property definition.
  IPropertyInstance* Instance(IPropertyTemplate* definition, CitI::IInterface* context, bool fresh) {
    CDefinition* found = PropertyDefinitionOf(definition);
    if (found == nullptr) return nullptr;
    CitI::IInterface* key = KeyOf(context);
    auto at = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return e.context == key && e.definition == found; });
    if (at != m_entries.end()) {
      if (!fresh) return at->instance.Get();
      m_entries.erase(at);  // a replaced instance leaves the records; the new one comes last
    }
    auto* made = new CPropertyInstance(found);
    Prjrep::AutoRelease<IPropertyInstance> created(made);
    if (found->Data().part != Part::kNone) {
      std::shared_ptr<DeviceParts>& parts = m_deviceParts[key];
      if (!parts) parts = std::make_shared<DeviceParts>();
      made->JoinParts(parts);
    }
    m_entries.push_back({key, found, std::move(created)});
    return m_entries.back().instance.Get();
  }

  struct XIPropertyManager : TNested<CPropertyManager, IPropertyManager> {
    using TNested::TNested;
    Status GetPropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                               IPropertyInstance** instance) override {
      return HandOutInstance(definition, context, false, instance);
    }
    Status CreatePropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                                  IPropertyInstance** instance) override {
      return HandOutInstance(definition, context, true, instance);
    }

   private:
    // The caller gets a reference of its own; nothing is made without an output variable.
    Status HandOutInstance(IPropertyTemplate* definition, CitI::IInterface* context, bool fresh,
                           IPropertyInstance** instance) {
      Prjrep::AutoOut<IPropertyInstance> result(instance);
      IPropertyInstance* kept = instance != nullptr ? This().Instance(definition, context, fresh) : nullptr;
      if (kept == nullptr) return kFailure;
      return result.Assign(kept);
    }
  } m_XIPropertyManager{this};

  // The project is not needed: instances are kept by context alone.
  struct XIPropertyMgrInternal : TNested<CPropertyManager, Ppm::IPropertyMgrInternal> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface*) override { return kSuccess; }
  } m_XIPropertyMgrInternal{this};

  struct XIPropertyFetchInternal : TNested<CPropertyManager, Ppm::IPropertyFetchInternal> {
    using TNested::TNested;
    Status FetchProperties(std::vector<Ppm::PropertyRecord>& records) override {
      records.clear();
      for (const Entry& e : This().m_entries) {
        Ppm::PropertyRecord record;
        record.name = Text(e.definition->Data().name);
        record.instance = e.instance.Get();
        records.push_back(std::move(record));
      }
      return kSuccess;
    }
  } m_XIPropertyFetchInternal{this};

  Prjrep::TRefCountHelper<CPropertyManager> m_count{this};
  std::vector<Entry> m_entries;
  std::map<CitI::IInterface*, std::shared_ptr<DeviceParts>> m_deviceParts;  // by context
};

}  // namespace
}  // namespace Hvd::base

// The library's entry for the host: registers the factory of every component.
extern "C" void InstFactoryEntry() {
  using namespace Hvd::base;
  Hvd::RegisterFactoriesOf<CBaseServices, CPropertyManager, CPropertyInstance, CFamilySelection, CCodeHook>();
  RegisterHlcFileTypeHelper();
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
