#pragma once
// What the base services library shares inside itself: the definitions read from the data
// file, the immortal definition objects, the process-wide stores and the iterator makers.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Sets.h"
#include "core/StringSets.h"

namespace Hvd::base {

using Text = Port::StringBase<char>;
using Names = std::vector<std::string>;

enum class Kind { kProperty, kView, kFile, kDesignUnit, kTransform, kPlatform };

// Which part of the target device a device setting chooses, from the top down: each part's
// allowed values follow the parts above it.
enum class Part { kNone = -1, kFamily, kDevice, kPackage, kSpeed };
constexpr int kParts = 4;

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
  bool toParser = false;  // of a view setting: its instance is handed to the view's parser
  std::string hook;       // the code hook's name; empty: none
  std::string hookClass;  // the braced id of the class that runs the hook
  Part part = Part::kNone;  // of a device setting: the part of the device it chooses
  Names allowed;
  Names dependsOn;
  Names extensions;
  std::string key;     // of a file type: the word a project file's generator looks it up by; empty: none
  std::string plugIn;  // of a file type: the key of its parser's configuration; empty: none
  Names unitTypes;
  std::string branch, subBranch;  // of a view type: the words that its views take
  std::string from, to;           // of a transform: the view types it leads from and to
  Names inputs, outputs;          // of a transform: the file types it takes and makes
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

// A parser plug-in's configuration, under the key that file types name.
struct PlugInData {
  std::string key, config;
};

struct Data {
  std::vector<DefinitionData> definitions;  // in document order
  std::vector<FamilyData> families;
  std::vector<PlugInData> plugIns;
  bool loaded = false;
};

// The data file, read on first use; the same object for the whole process.
const Data& TheData();

// The count of an object that lives as long as the process: counting changes nothing, so
// holders and sets may count it like any other object. Its owner lists it for both counting
// ids, so every query goes to the owner.
template <class Owner>
class TImmortalCount final : public TNested<Owner, Prjrep::IRefCount> {
  using Base = TNested<Owner, Prjrep::IRefCount>;

 public:
  using Base::Base;

  Status AddRef() override { return kSuccess; }
  Status Release() override { return kSuccess; }
  std::int32_t GetRefCount() override { return 1; }
};

// One definition of the data: one object per name for the whole process, so that the
// identity of a definition can be compared.
class CDefinition final : public TComponent<CDefinition> {
 public:
  explicit CDefinition(const DefinitionData& data) noexcept : m_data(data) {}
  CDefinition(const CDefinition&) = delete;
  CDefinition& operator=(const CDefinition&) = delete;

  // Every definition is named; the rest follows its kind.
  auto QueryTable() {
    const Kind kind = m_data.kind;
    const bool property = kind == Kind::kProperty;
    return Table(Row<CitI::IInterface>(this), Row<IDefDataId>(&m_XIDefDataId),
                 Row<IDefDataObsolete>(&m_XIDefDataObsolete), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), RowIf<IPropertyTemplate>(property, &m_XIPropertyTemplate),
                 RowIf<IPropertyTemplate2>(property && !m_data.label.empty(), &m_XIPropertyTemplate2),
                 RowIf<ICodeHookDefn>(property && !m_data.hook.empty(), &m_XICodeHookDefn),
                 RowIf<IViewType>(kind == Kind::kView, &m_XIViewType),
                 RowIf<IViewTypeFlow>(kind == Kind::kView, &m_XIViewTypeFlow),
                 RowIf<ITransformDefinition>(kind == Kind::kTransform, &m_XITransformDefinition),
                 RowIf<IFileType>(kind == Kind::kFile, &m_XIFileType),
                 RowIf<IDesignUnitType>(kind == Kind::kDesignUnit, &m_XIDesignUnitType),
                 RowIf<IDesignPlatformType>(kind == Kind::kPlatform, &m_XIDesignPlatformType));
  }

  const DefinitionData& Data() const noexcept { return m_data; }
  bool IsProperty() const noexcept { return m_data.kind == Kind::kProperty; }

 private:
  struct XIDefDataId : TNested<CDefinition, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override;
  } m_XIDefDataId{this};
  struct XIDefDataObsolete : TNested<CDefinition, IDefDataObsolete> {
    using TNested::TNested;
    Status IsObsolete(bool* obsolete) override;
  } m_XIDefDataObsolete{this};
  struct XIPropertyTemplate : TNested<CDefinition, IPropertyTemplate> {
    using TNested::TNested;
    Status GetDependencies(IDefDataIdIterator** dependencies) override;
    Status GetDefaultValue(Text* value) override;
  } m_XIPropertyTemplate{this};
  struct XIPropertyTemplate2 : TNested<CDefinition, IPropertyTemplate2> {
    using TNested::TNested;
    Status GetSecondName(Text* name) override;
  } m_XIPropertyTemplate2{this};
  struct XIDesignPlatformType : TNested<CDefinition, IDesignPlatformType> {
    using TNested::TNested;
    Status GetPropertyTemplates(IDefDataIdIterator** ids) override;
  } m_XIDesignPlatformType{this};
  struct XICodeHookDefn : TNested<CDefinition, ICodeHookDefn> {
    using TNested::TNested;
    Status GetHookName(Text* name) override;
    Status GetHookClassId(Port::XUID& classId) override;
  } m_XICodeHookDefn{this};
  struct XIViewTypeFlow : TNested<CDefinition, IViewTypeFlow> {
    using TNested::TNested;
    Status GetBranch(Text* branch) override;
    Status GetSubBranch(Text* subBranch) override;
    Status GetTransforms(Prjrep::IIterator** transforms) override;
  } m_XIViewTypeFlow{this};
  struct XITransformDefinition : TNested<CDefinition, ITransformDefinition> {
    using TNested::TNested;
    Status GetTargetViewType(IViewType** type) override;
    Status GetInputTypes(IDefDataIdIterator** types) override;
    Status GetOutputTypes(IDefDataIdIterator** types) override;
  } m_XITransformDefinition{this};
  struct XIFileType : TNested<CDefinition, IFileType> {
    using TNested::TNested;
    Status GetDesignUnitTypeIds(IDefDataIdIterator** ids) override;
    Status GetPlugInKey(Text* key) override {
      if (key == nullptr) return kFailure;
      *key = Text(This().m_data.plugIn);
      return kSuccess;
    }
  } m_XIFileType{this};
  // The data names the unit types a view type takes; it gives view types no property templates.
  struct XIViewType : TNested<CDefinition, IViewType> {
    using TNested::TNested;
    Status GetDesignUnitTypeIds(IDefDataIdIterator** ids) override;
    Status GetPropertyTemplates(std::int32_t group, IDefDataIdIterator** templates) override;
    Status GetPropertyTemplate(const Text& key, IPropertyTemplate** definition) override;
  } m_XIViewType{this};
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

// What the device store allows for `part` below the family: the devices of the family, or the
// packages or speeds of the device in the family. A part above that is not given allows each
// of its values, so the answer is then every value of that part, each once.
Names DevicePartValues(Part part, const std::optional<std::string>& family, const std::optional<std::string>& device);

// Registers the factory of the HLC file-type helper.
void RegisterHlcFileTypeHelper();

// The process-wide objects behind the services; none is ever destroyed.
CitI::IInterface* TheDataStore();
CitI::IInterface* TheDeviceStore();
CitI::IInterface* ThePlatformEvents();

// A new iterator over `items`, with one reference for the caller; it keeps its set alive.
template <class T, class ISetT, class IIter>
Prjrep::AutoRelease<IIter> NewIterator(const std::vector<T>& items) {
  Prjrep::AutoRelease<ISetT> set(new TRefdSequenceSetHelper<T, ISetT, IIter, std::vector<T>>());
  for (T item : items) std::ignore = set->Add(item);
  Prjrep::AutoRelease<IIter> iterator;
  std::ignore = set->GetIterator(iterator.Receive());  // a failure leaves the holder empty
  return iterator;
}

// A new iterator over copies of `values`, with one reference for the caller.
Prjrep::AutoRelease<Prjrep::IStringIterator> NewStringIterator(const Names& values);

// Passes the reference of `made` to an operation's output variable: a failure when nothing
// was made or there is nowhere to put it.
template <class I>
Status HandOut(Prjrep::AutoRelease<I> made, I** out) {
  Prjrep::AutoOut<I> result(out);
  if (out == nullptr || !made) return kFailure;
  return result.Assign(made.Get());
}

}  // namespace Hvd::base
