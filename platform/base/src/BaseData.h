#pragma once
// What the base services library shares inside itself: the definitions read from the data
// file, the immortal definition objects, the process-wide stores and the iterator makers.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IFileType.h"
#include "Hvd/Status.h"
#include "Prjrep/IRefCount.h"
#include "Prjrep/IStringSet.h"
#include "core/Interface.h"
#include "core/Sets.h"
#include "core/StringSets.h"

namespace Hvd::base {

using Text = Port::StringBase<char>;
using Names = std::vector<std::string>;

enum class Kind { kProperty, kView, kFile, kDesignUnit, kTransform, kPlatform };

// One definition as the data file gives it; the fields of one kind stay empty for the others.
struct DefinitionData {
  Kind kind = Kind::kProperty;
  std::string name;
  bool obsolete = false;
  std::string valueKind;  // text, list, bool, file or files
  std::string defaultValue;
  std::string label;
  bool lockable = false;
  std::string owner;      // of a property: which object carries it; of a platform type: whose properties it takes
  std::string hook;       // the code hook's name; empty: none
  std::string hookClass;  // the braced id of the class that runs the hook
  Names allowed;
  Names dependsOn;
  Names extensions;
  Names unitTypes;
  // Of a platform type, in document order: its owner's list, shared by all the owner's types.
  std::shared_ptr<const Names> platformProperties;
};

struct DeviceData {
  std::string name, key;
  Names packages, speeds;
};

struct FamilyData {
  std::string name, pmName, key;
  std::vector<DeviceData> devices;
};

struct Data {
  std::vector<DefinitionData> definitions;  // in document order
  std::vector<FamilyData> families;
  bool loaded = false;
};

// The data file, read on first use; the same object for the whole process.
const Data& TheData();

// The count of an object that lives as long as the process: counting changes nothing, so
// holders and sets may count it like any other object.
template <class Owner>
class TImmortalCount final : public Prjrep::IRefCount {
 public:
  explicit TImmortalCount(Owner* owner) noexcept : m_owner(owner) {}
  TImmortalCount(const TImmortalCount&) = delete;
  TImmortalCount& operator=(const TImmortalCount&) = delete;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IRefCountV1::GetIID() || iid == Prjrep::IRefCount::GetIID()) return this;
    return m_owner->QueryInterface(iid);
  }
  Hvd::Status AddRef() override { return kSuccess; }
  Hvd::Status Release() override { return kSuccess; }
  std::int32_t GetRefCount() override { return 1; }

 private:
  Owner* m_owner;
};

// One definition of the data: one object per name for the whole process, so that the
// identity of a definition can be compared.
class CDefinition final : public CitI::IInterface {
 public:
  explicit CDefinition(const DefinitionData& data) noexcept : m_data(data) {}
  CDefinition(const CDefinition&) = delete;
  CDefinition& operator=(const CDefinition&) = delete;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

  const DefinitionData& Data() const noexcept { return m_data; }
  bool IsProperty() const noexcept { return m_data.kind == Kind::kProperty; }

 private:
  struct XIDefDataId : TNested<CDefinition, IDefDataId> {
    using TNested::TNested;
    Hvd::Status GetDefDataIdName(Text* name) override;
  } m_XIDefDataId{this};
  struct XIObsolete : TNested<CDefinition, IDefDataObsolete> {
    using TNested::TNested;
    Hvd::Status IsObsolete(bool* obsolete) override;
  } m_XIObsolete{this};
  struct XITemplate : TNested<CDefinition, IPropertyTemplate> {
    using TNested::TNested;
    Hvd::Status GetDependencies(IDefDataIdIterator** dependencies) override;
    Hvd::Status GetDefaultValue(Text* value) override;
  } m_XITemplate{this};
  struct XITemplate2 : TNested<CDefinition, IPropertyTemplate2> {
    using TNested::TNested;
    Hvd::Status GetSecondName(Text* name) override;
  } m_XITemplate2{this};
  struct XIPlatformType : TNested<CDefinition, IDesignPlatformType> {
    using TNested::TNested;
    Hvd::Status GetPropertyTemplates(IDefDataIdIterator** ids) override;
  } m_XIPlatformType{this};
  struct XICodeHook : TNested<CDefinition, ICodeHookDefn> {
    using TNested::TNested;
    Hvd::Status GetHookName(Text* name) override;
    Hvd::Status GetHookClassId(Port::XUID& classId) override;
  } m_XICodeHook{this};
  TNested<CDefinition, IViewType> m_XIViewType{this};
  TNested<CDefinition, IFileType> m_XIFileType{this};
  TNested<CDefinition, IDesignUnitType> m_XIDesignUnitType{this};
  TImmortalCount<CDefinition> m_count{this};
  const DefinitionData& m_data;
};

// The definition of the name, of any kind; null for an unknown name.
CDefinition* FindDefinition(std::string_view name);
// The property definition of the name; null for an unknown name or another kind.
CDefinition* FindPropertyDefinition(std::string_view name);
// The property definition that `definition` names through its IDefDataId, or null.
CDefinition* PropertyDefinitionOf(CitI::IInterface* definition);

// The process-wide objects behind the services; none is ever destroyed.
CitI::IInterface* TheDataStore();
CitI::IInterface* TheDeviceStore();
CitI::IInterface* ThePlatformEvents();

// A new iterator over `items` with one reference for the caller; it keeps its set alive.
template <class T, class ISetT, class IIter>
Hvd::Status HandOutIterator(const std::vector<T>& items, IIter** out) {
  if (out == nullptr) return kFailure;
  *out = nullptr;
  auto* set = new TRefdSequenceSetHelper<T, ISetT, IIter, std::vector<T>>();
  for (T item : items) std::ignore = set->Add(item);
  const Hvd::Status status = set->GetIterator(out);
  Prjrep::ReleaseInterface(set);
  return status;
}

// A new iterator over copies of `values`, with one reference for the caller.
Hvd::Status HandOutStrings(const Names& values, Prjrep::IStringIterator** out);

}  // namespace Hvd::base
