#pragma once
// Property values by name, the order of properties by their dependencies, and the
// device-store lookup.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

// Reads and writes the properties of a project (or of a bare property manager) by name,
// as text. Built on the stack for one task.
class PropertyAccessor {
 public:
  using String = Port::StringBase<char>;

  PropertyAccessor() = default;
  explicit PropertyAccessor(IProject* project);
  explicit PropertyAccessor(IPropertyManager* manager);
  PropertyAccessor(const PropertyAccessor&) = delete;
  PropertyAccessor& operator=(const PropertyAccessor&) = delete;
  ~PropertyAccessor();

  // The definition of `name`, or null.
  Prjrep::AutoPtr<IPropertyTemplate> GetPropertyTemplate(const String& name);
  // The instance of `name` with a reference for the caller, or empty.
  Prjrep::AutoRelease<IPropertyInstance> GetPropertyInstance(const String& name);
  // Empty when the property is unknown.
  String GetPropertyValue(const String& name);
  // A list property takes the list's own spelling of the value; a value outside the list
  // leaves the property unchanged (with a diagnostic).
  void SetPropertyValue(const String& name, const String& value);
  // The same, and the property is locked afterwards when `lock` is set, unlocked otherwise.
  void SetPropertyValue(const String& name, const String& value, bool lock);
  void SetProperty(const String& name, const String& value, bool locked) { SetPropertyValue(name, value, locked); }

  // Every instance, after the instances its definition depends on; equal depths by name.
  void GetAllPropertyInstances(std::vector<Prjrep::AutoPtr<IPropertyInstance>>& list);
  // The manager's records, in its own order.
  void GetAllPropertyValues(std::vector<Ppm::PropertyRecord>& list);

 private:
  void BuildPropertyNameMap();
  void SetInstanceValue(IPropertyInstance* instance, const String& value);

  Prjrep::AutoPtr<IProject> m_project;
  Prjrep::AutoPtr<IPropertyManager> m_manager;
  Prjrep::AutoPtr<IDataStore> m_dataStore;
  std::unique_ptr<std::map<std::string, Prjrep::AutoPtr<IPropertyTemplate>>> m_nameMap;
};

// Property instances grouped by the dependency level of their definitions: 0 for a
// definition without prerequisites, else one more than the highest of its prerequisites.
class PropertyLevelOrder {
 public:
  PropertyLevelOrder(IPropertyTemplateStore* store, int initialLevels);

  void Add(IPropertyInstance* instance);
  int HighestLevel() const noexcept { return m_highest; }
  // The instances of `level` in the order added; empty for a level without instances.
  const std::vector<Prjrep::AutoPtr<IPropertyInstance>>& Level(int level) const;

  // The level of a definition. Levels are remembered; a dependency cycle gets level 0 and
  // a diagnostic instead of recursing without end.
  int LevelOf(IPropertyTemplate* definition);

 private:
  Prjrep::AutoPtr<IPropertyTemplateStore> m_store;
  std::vector<std::vector<Prjrep::AutoPtr<IPropertyInstance>>> m_levels;
  int m_highest = -1;
  std::map<std::string, int> m_known;
  std::map<std::string, bool> m_inProgress;
};

// The name of the device-store entry whose key is `key`, unless `value` already names an
// entry; empty when no replacement is needed or none is found.
Port::StringBase<char> LookupDeviceStoreField(const Port::StringBase<char>& value, const Port::StringBase<char>& key);

// True for a file-valued property that has at least one path.
bool FilePropertyHasValues(CitI::IInterface* object);
// True for a file-valued property without a path; false for any other object.
bool FilePropertyIsEmpty(CitI::IInterface* object);
// True for a file-valued property that holds one path, not a "|"-separated list.
bool IsSingleFileProperty(CitI::IInterface* instance);

}  // namespace Hvd
