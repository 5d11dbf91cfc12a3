#include "utils/PropertyAccessor.h"

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <cctype>

#include "CitP/Factory.h"
#include "Hvd/IDesign.h"
#include "Port/MsgMan.h"
#include "utils/DmUtils.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

namespace {

String DefDataName(CitI::IInterface* object) {
  String name;
  if (AutoCast<IDefDataId> id(object); id.Get() != nullptr) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

AutoRelease<CitI::IInterface> Service(const Port::XUID& id) {
  AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
  AutoRelease<CitI::IInterface> service;
  if (services.Get() != nullptr) std::ignore = services->GetService(id, service.Receive());
  return service;
}

// Walks a string iterator; stops when `visit` answers true.
template <class Visit>
void ForEachString(Prjrep::IStringIterator* it, Visit visit) {
  if (it == nullptr) return;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    if (visit(it->Current())) return;
  }
}

}  // namespace

PropertyAccessor::PropertyAccessor(IProject* project) : m_project(project) {
  IDesign* design = nullptr;  // the project hands out its design without a reference
  if (m_project.Get() == nullptr || m_project->GetDesign(&design) != kSuccess || design == nullptr) return;
  AutoRelease<IPropertyManager> manager;
  std::ignore = design->GetPropertyManager(manager.Receive());
  m_manager = manager.Get();
  AutoRelease<IDataStore> store;
  std::ignore = design->GetDataStore(store.Receive());
  m_dataStore = store.Get();
}

PropertyAccessor::PropertyAccessor(IPropertyManager* manager) : m_manager(manager) {
  if (m_manager.Get() == nullptr) return;
  m_dataStore = AutoRelease<IDataStore>(Service(DataStoreServiceId()).Detach());
}

PropertyAccessor::~PropertyAccessor() {
  m_nameMap.reset();
  m_manager = nullptr;
  m_project = nullptr;
}

AutoPtr<IPropertyTemplate> PropertyAccessor::GetPropertyTemplate(const String& name) {
  AutoPtr<IPropertyTemplate> found;
  if (m_dataStore.Get() == nullptr) return found;
  if (m_nameMap == nullptr) {
    AutoCast<IPropertyTemplateStore> store(m_dataStore.Get());
    if (store.Get() == nullptr) return found;
    AutoRelease<CitI::IInterface> entry;
    std::ignore = m_dataStore->FindDefData(name, entry.Receive());
    AutoRelease<IPropertyTemplate> direct;
    if (AutoCast<IDefDataId> id(entry.Get()); id.Get() != nullptr)
      std::ignore = store->GetTemplate(id, direct.Receive());
    if (direct.Get() != nullptr) return AutoPtr<IPropertyTemplate>(direct.Get());
    BuildPropertyNameMap();
  }
  if (m_nameMap != nullptr) {
    const auto at = m_nameMap->find(name.str());
    if (at != m_nameMap->end()) found = at->second.Get();
  }
  return found;
}

void PropertyAccessor::BuildPropertyNameMap() {
  AutoCast<IPropertyTemplateStore> store(m_dataStore.Get());
  if (m_nameMap != nullptr || store.Get() == nullptr) return;
  m_nameMap = std::make_unique<std::map<std::string, AutoPtr<IPropertyTemplate>>>();
  auto enter = [this](Prjrep::IIterator* it) {
    for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      AutoCast<IPropertyTemplate> definition(it->Current());
      if (definition.Get() == nullptr) continue;
      const String name = DefDataName(definition.Get());
      if (!name.empty()) (*m_nameMap)[name.str()] = definition.Get();
      String label;
      if (AutoCast<IPropertyTemplate2> second(definition.Get()); second.Get() != nullptr)
        std::ignore = second->GetSecondName(&label);
      if (!label.empty()) (*m_nameMap)[label.str()] = definition.Get();
    }
  };
  AutoRelease<Prjrep::IIterator> all;
  std::ignore = store->GetTemplates(all.Receive());
  enter(all);
  if (m_project.Get() == nullptr) return;
  // The device family's own definitions come last, so they replace the store's.
  AutoRelease<IFamilySelection> family(CitP::Factory::CreateInstance(FamilyTemplatesClassId()));
  AutoCast<IFamilyTemplates> familyTemplates(m_dataStore.Get());
  if (family.Get() == nullptr || familyTemplates.Get() == nullptr) return;
  std::ignore = family->SelectFamily("PM", GetPropertyValue("PROP_DevFamilyPMName"));
  AutoRelease<Prjrep::IIterator> ofFamily;
  std::ignore = familyTemplates->GetFamilyTemplates(family, ofFamily.Receive());
  enter(ofFamily);
}

AutoRelease<IPropertyInstance> PropertyAccessor::GetPropertyInstance(const String& name) {
  if (m_manager.Get() == nullptr) return nullptr;
  AutoPtr<IPropertyTemplate> definition = GetPropertyTemplate(name);
  if (definition.Get() == nullptr) return nullptr;
  AutoRelease<IPropertyInstance> instance;
  std::ignore = m_manager->GetPropertyInstance(definition, nullptr, instance.Receive());
  return instance;
}

String PropertyAccessor::GetPropertyValue(const String& name) {
  String value;
  AutoRelease<IPropertyInstance> instance = GetPropertyInstance(name);
  if (instance.Get() != nullptr) std::ignore = instance->GetValue(&value);
  return value;
}

void PropertyAccessor::SetInstanceValue(IPropertyInstance* instance, const String& value) {
  String text = value;
  if (AutoCast<IListPropertyInstance> list(instance); list.Get() != nullptr) {
    AutoRelease<Prjrep::IStringIterator> allowed;
    std::ignore = list->GetAllowedValues(allowed.Receive());
    bool matched = false;
    ForEachString(allowed, [&](const String& entry) {
      matched = boost::algorithm::iequals(entry.str(), value.str());
      if (matched) text = entry;
      return matched;
    });
    if (!matched) {
      // A stale or mistyped value must not wipe what the property holds.
      String name;
      std::ignore = instance->GetName(&name);
      String message;
      message.Format("WARNING: PropertyAccessor::SetPropertyValue - \"%s\" is not a value of %s; left unchanged.\n",
                     value.c_str(), name.c_str());
      Port_MsgManData::debugStub(message.c_str());
      return;
    }
  }
  std::ignore = instance->SetValue(text);
}

void PropertyAccessor::SetPropertyValue(const String& name, const String& value) {
  AutoRelease<IPropertyInstance> instance = GetPropertyInstance(name);
  if (instance.Get() != nullptr) SetInstanceValue(instance, value);
}

void PropertyAccessor::SetPropertyValue(const String& name, const String& value, bool lock) {
  AutoRelease<IPropertyInstance> instance = GetPropertyInstance(name);
  if (instance.Get() == nullptr) return;
  // Unlocked first: a locked value would refuse the new one.
  AutoCast<ILockable> lockable(instance.Get());
  if (lockable.Get() != nullptr) std::ignore = lockable->Unlock();
  SetInstanceValue(instance, value);
  if (lockable.Get() != nullptr && lock) std::ignore = lockable->Lock();
}

void PropertyAccessor::GetAllPropertyInstances(std::vector<AutoPtr<IPropertyInstance>>& list) {
  list.clear();
  AutoCast<Ppm::IPropertyFetchInternal> fetch(m_manager.Get());
  if (fetch.Get() == nullptr) return;
  std::vector<Ppm::PropertyRecord> records;
  std::ignore = fetch->FetchProperties(records);
  PropertyLevelOrder levels(AutoCast<IPropertyTemplateStore>(m_dataStore.Get()), 10);
  for (const Ppm::PropertyRecord& record : records) {
    if (record.instance != nullptr) levels.Add(record.instance);
  }
  for (int level = 0; level <= levels.HighestLevel(); ++level) {
    std::vector<AutoPtr<IPropertyInstance>> bucket = levels.Level(level);
    std::sort(bucket.begin(), bucket.end(),
              [](const auto& a, const auto& b) { return GetDefDataIdName(a.Get()) < GetDefDataIdName(b.Get()); });
    list.insert(list.end(), bucket.begin(), bucket.end());
  }
}

void PropertyAccessor::GetAllPropertyValues(std::vector<Ppm::PropertyRecord>& list) {
  list.clear();
  if (AutoCast<Ppm::IPropertyFetchInternal> fetch(m_manager.Get()); fetch.Get() != nullptr) {
    std::ignore = fetch->FetchProperties(list);
  }
}

// --- Dependency levels ------------------------------------------------------------------

PropertyLevelOrder::PropertyLevelOrder(IPropertyTemplateStore* store, int initialLevels)
    : m_store(store), m_levels(static_cast<std::size_t>(std::max(initialLevels, 0))) {}

void PropertyLevelOrder::Add(IPropertyInstance* instance) {
  if (instance == nullptr) return;
  AutoRelease<IPropertyTemplate> definition;
  std::ignore = instance->GetTemplate(definition.Receive());
  const int level = LevelOf(definition);
  if (static_cast<std::size_t>(level) >= m_levels.size()) m_levels.resize(static_cast<std::size_t>(level) + 2);
  m_levels[static_cast<std::size_t>(level)].emplace_back(instance);
  m_highest = std::max(m_highest, level);
}

const std::vector<AutoPtr<IPropertyInstance>>& PropertyLevelOrder::Level(int level) const {
  static const std::vector<AutoPtr<IPropertyInstance>> s_none;
  if (level < 0 || static_cast<std::size_t>(level) >= m_levels.size()) return s_none;
  return m_levels[static_cast<std::size_t>(level)];
}

int PropertyLevelOrder::LevelOf(IPropertyTemplate* definition) {
  if (definition == nullptr) return 0;
  const std::string name = GetDefDataIdName(definition).str();
  if (const auto known = m_known.find(name); known != m_known.end()) return known->second;
  if (m_inProgress[name]) {
    String message;
    message.Format("ERROR: PropertyLevelOrder - the definition %s depends on itself.\n", name.c_str());
    Port_MsgManData::debugStub(message.c_str());
    return 0;
  }
  m_inProgress[name] = true;
  int level = 0;
  AutoRelease<IDefDataIdIterator> dependencies;
  std::ignore = definition->GetDependencies(dependencies.Receive());
  for (; dependencies.Get() != nullptr && !dependencies->IsDone(); std::ignore = dependencies->Next()) {
    AutoRelease<IPropertyTemplate> prerequisite;
    if (m_store.Get() != nullptr) std::ignore = m_store->GetTemplate(dependencies->Current(), prerequisite.Receive());
    if (prerequisite.Get() != nullptr) level = std::max(level, LevelOf(prerequisite) + 1);
  }
  m_inProgress.erase(name);
  m_known[name] = level;
  return level;
}

// --- Device store and file properties ---------------------------------------------------

String LookupDeviceStoreField(const String& value, const String& key) {
  AutoRelease<IDeviceStore> store(Service(DeviceStoreServiceId()).Detach());
  if (store.Get() == nullptr) return String();
  AutoRelease<IDeviceFieldIterator> entries;
  std::ignore = store->GetEntries(entries.Receive());
  if (entries.Get() == nullptr) return String();
  for (std::ignore = entries->Reset(); !entries->IsDone(); std::ignore = entries->Next()) {
    String name;
    std::ignore = entries->Current()->GetName(&name);
    if (boost::algorithm::iequals(name.str(), value.str())) return String();  // already a valid entry
  }
  for (std::ignore = entries->Reset(); !entries->IsDone(); std::ignore = entries->Next()) {
    String entryKey;
    std::ignore = entries->Current()->GetKey(&entryKey);
    if (boost::algorithm::iequals(entryKey.str(), key.str())) {
      String name;
      std::ignore = entries->Current()->GetName(&name);
      return name;
    }
  }
  return String();
}

bool FilePropertyHasValues(CitI::IInterface* object) {
  AutoCast<IFilePropertyInstance> file(object);
  if (file.Get() == nullptr) return false;
  AutoRelease<Prjrep::IStringIterator> values;
  return file->GetValues(values.Receive()) == kSuccess && values.Get() != nullptr && !values->IsDone();
}

bool FilePropertyIsEmpty(CitI::IInterface* object) {
  return AutoCast<IFilePropertyInstance>(object).Get() != nullptr && !FilePropertyHasValues(object);
}

bool IsSingleFileProperty(CitI::IInterface* instance) {
  AutoCast<IFilePropertyInstance> file(instance);
  bool list = true;
  return file.Get() != nullptr && file->IsFileList(&list) == kSuccess && !list;
}

}  // namespace Hvd
