#include "HdlElements.h"

#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "Hvd/IDesign.h"
#include "Hvd/IHdlNetlist.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// Elements split at ";" and "|", trimmed, empty ones dropped.
std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(";|", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    const std::size_t first = item.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos) {
      item = item.substr(first, item.find_last_not_of(" \t\r\n") - first + 1);
      items.emplace_back(item);
    }
    start = end + 1;
  }
  return items;
}

// A property's name as its definition names it, else as the instance does.
std::string PropertyName(IPropertyInstance* property) {
  Text name;
  Prjrep::AutoRelease<IPropertyTemplate> definition;
  if (property->GetTemplate(definition.Receive()) == kSuccess) {
    if (auto id = definition.TryAs<IDefDataId>(); id && id->GetDefDataIdName(&name) == kSuccess && !name.empty()) {
      return name.str();
    }
  }
  name = Text();
  std::ignore = property->GetName(&name);
  return name.str();
}

// The configuration: a sequence of property instances, each held with a reference.
class CParserConfig final : public TComponent<CParserConfig> {
 public:
  CParserConfig() { std::ignore = m_properties.SetOwner(this); }

  auto QueryTable() {
    return Table(Row<IHdlParserConfig>(&m_XIHdlParserConfig), Row<IPropertyInstanceSet>(&m_properties),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIHdlParserConfig));
  }

 private:
  struct XIHdlParserConfig : TNested<CParserConfig, IHdlParserConfig> {
    using TNested::TNested;
  } m_XIHdlParserConfig{this};

  Prjrep::TRefCountHelper<CParserConfig> m_refCount{this};
  Prjrep::TSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                             std::vector<IPropertyInstance*>>
      m_properties;
};

// A design-unit type named by its definition-data name ("DESUT_VHDL_ENTITY").
class CUnitType final : public TComponent<CUnitType> {
 public:
  explicit CUnitType(std::string name) : m_name(std::move(name)) {}

  auto QueryTable() {
    return Table(Row<IDesignUnitType>(&m_XIDesignUnitType), Row<IDefDataId>(&m_XIDefDataId),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIDesignUnitType));
  }

 private:
  struct XIDesignUnitType : TNested<CUnitType, IDesignUnitType> {
    using TNested::TNested;
  } m_XIDesignUnitType{this};

  struct XIDefDataId : TNested<CUnitType, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override {
      if (name == nullptr) return kInvalidParameter;
      *name = This().m_name;
      return kSuccess;
    }
  } m_XIDefDataId{this};

  Prjrep::TRefCountHelper<CUnitType> m_refCount{this};
  std::string m_name;
};

// A unit as the scanner found it, in its file.
class CDesignUnit final : public TComponent<CDesignUnit> {
 public:
  CDesignUnit(const Hdl::scan::UnitInfo& unit, IHdlFile* file)
      : m_name(unit.Label()), m_type(new CUnitType(Hdl::scan::UnitTypeName(unit.kind))), m_file(file) {}

  auto QueryTable() {
    return Table(Row<IHdlDesignUnit>(&m_XIHdlDesignUnit), Row<IDesignUnit>(&m_XIDesignUnit),
                 Row<IHdlElement>(&m_XIHdlElement), Row<Prjrep::IName>(&m_XIName), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(&m_XIHdlDesignUnit));
  }

 private:
  struct XIHdlDesignUnit : TNested<CDesignUnit, IHdlDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnit(CitI::IInterface*, IHdlDesignUnit** unit) override {
      Prjrep::AutoOut<IHdlDesignUnit> result(unit);
      if (unit == nullptr) return kInvalidParameter;
      return result.Assign(this);
    }
    Status ReservedOperation3(CitI::IInterface*, CitI::IInterface*, bool* result) override {
      if (result != nullptr) *result = false;
      return kNotSupported;
    }
    Status ReservedOperation4(Port::XUID* id) override {
      if (id != nullptr) *id = Port::XUID{};
      return kNotSupported;
    }
  } m_XIHdlDesignUnit{this};

  struct XIDesignUnit : TNested<CDesignUnit, IDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnitType(IDesignUnitType** type) override {
      Prjrep::AutoOut<IDesignUnitType> result(type);
      if (type == nullptr) return kInvalidParameter;
      return result.Assign(This().m_type);
    }
    Status GetViews(IViewIterator**) override { return kNotSupported; }
    Status GetDesignUnitName(Text* name) override {
      if (name == nullptr) return kInvalidParameter;
      *name = This().m_name;
      return kSuccess;
    }
    Status SetDesignUnitName(const Text&) override { return kNotSupported; }
    Status GetSecondBindingSet(ITransformBindingInstanceSet**) override { return kNotSupported; }
    Status GetDesign(IDesign**) override { return kNotSupported; }
  } m_XIDesignUnit{this};

  struct XIHdlElement : TNested<CDesignUnit, IHdlElement> {
    using TNested::TNested;
    Status GetHdlFile(IHdlFile** file) override {
      Prjrep::AutoOut<IHdlFile> result(file);
      if (file == nullptr || !This().m_file) return kFailure;
      return result.Assign(This().m_file);
    }
    Status GetSourceFile(IHdlFile** file) override { return GetHdlFile(file); }
    Status ReservedOperation4() override { return kNotSupported; }
    bool ReservedQuery5() override { return false; }
  } m_XIHdlElement{this};

  // A unit's name is what the scanner found; it is not renamed from outside.
  struct XIName : TNested<CDesignUnit, Prjrep::IName> {
    using TNested::TNested;
    Status SetName(const Text&) override { return kNotSupported; }
    Status GetName(Text& name) override {
      name = This().m_name;
      return kSuccess;
    }
    Status SetOwner(CitI::IInterface*) override { return kNotSupported; }
  } m_XIName{this};

  Prjrep::TRefCountHelper<CDesignUnit> m_refCount{this};
  std::string m_name;
  Prjrep::AutoRelease<IDesignUnitType> m_type;
  Prjrep::AutoPtr<IHdlFile> m_file;
};

// A unit's generics, parameters and ports, kept as the scanner read them.
class CPortList final : public TComponent<CPortList, IHdlPortList> {
 public:
  explicit CPortList(Hdl::scan::Interface interface) : m_interface(std::move(interface)) {}

  auto QueryTable() {
    return Table(Row<IHdlPortList>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

  std::uint32_t GetCount(HdlPortSection section) override {
    switch (section) {
      case HdlPortSection::kContext:
        return static_cast<std::uint32_t>(m_interface.context.size());
      case HdlPortSection::kGenerics:
        return static_cast<std::uint32_t>(m_interface.generics.size());
      case HdlPortSection::kPorts:
        return static_cast<std::uint32_t>(m_interface.ports.size());
    }
    return 0;
  }

  Status GetEntry(HdlPortSection section, std::uint32_t index, Text* name, Text* mode, Text* type, Text* dims,
                  Text* value) override {
    for (Text* out : {name, mode, type, dims, value}) {
      if (out != nullptr) *out = Text();
    }
    if (index >= GetCount(section)) return kInvalidParameter;
    if (section == HdlPortSection::kContext) {
      if (name != nullptr) *name = m_interface.context[index];
      return kSuccess;
    }
    const Hdl::scan::Declaration& entry =
        section == HdlPortSection::kGenerics ? m_interface.generics[index] : m_interface.ports[index];
    if (name != nullptr) *name = entry.name;
    if (mode != nullptr) *mode = entry.mode;
    if (type != nullptr) *type = entry.type;
    if (dims != nullptr) *dims = entry.dims;
    if (value != nullptr) *value = entry.value;
    return kSuccess;
  }

  bool IsAnsi() override { return m_interface.ansi; }
  bool IsComplete() override { return m_interface.complete; }

 private:
  Prjrep::TRefCountHelper<CPortList> m_refCount{this};
  Hdl::scan::Interface m_interface;
};

// The children of a node, in the scanner's order.
class CNodeIterator final : public TComponent<CNodeIterator, IHdlNetListNodeIterator> {
 public:
  // The node's runs, shared rather than copied: a graph's root is walked after every edit.
  explicit CNodeIterator(std::shared_ptr<const NetListRuns> runs) : m_runs(std::move(runs)) { Settle(); }

  auto QueryTable() {
    return Table(Row<IHdlNetListNodeIterator>(this), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

  CitI::IInterface* CurrentItem() override { return IsDone() ? nullptr : (*(*m_runs)[m_run])[m_at].Get(); }
  Status First() override {
    m_run = 0;
    m_at = 0;
    Settle();
    return kSuccess;
  }
  Status Next() override {
    if (IsDone()) return kFailure;
    ++m_at;
    Settle();
    return kSuccess;
  }
  bool IsDone() override { return m_run >= m_runs->size(); }

 private:
  // Past the end of a run, on to the first child of the next run that has one.
  void Settle() {
    while (m_run < m_runs->size() && m_at >= (*m_runs)[m_run]->size()) {
      ++m_run;
      m_at = 0;
    }
  }

  Prjrep::TRefCountHelper<CNodeIterator> m_refCount{this};
  std::shared_ptr<const NetListRuns> m_runs;
  std::size_t m_run = 0;
  std::size_t m_at = 0;
};

class CNetListNode final : public TComponent<CNetListNode> {
 public:
  CNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit, NetListRuns children)
      : m_path(std::move(path)),
        m_instanceName(std::move(instanceName)),
        m_unit(unit),
        m_children(std::make_shared<const NetListRuns>(std::move(children))) {}
  CNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit, NetListChildren children)
      : m_path(std::move(path)),
        m_instanceName(std::move(instanceName)),
        m_unit(unit),
        m_makeChildren(std::move(children)) {}

  auto QueryTable() {
    return Table(Row<IHdlNetListNode>(&m_XIHdlNetListNode), Row<UtilI::ITclCollectable>(&m_XITclCollectable),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIHdlNetListNode));
  }

 private:
  struct XIHdlNetListNode : TNested<CNetListNode, IHdlNetListNode> {
    using TNested::TNested;
    Status GetChildren(IHdlNetListNodeIterator** children) override {
      Prjrep::AutoOut<IHdlNetListNodeIterator> result(children);
      if (children == nullptr) return kInvalidParameter;
      CNetListNode& self = This();
      if (self.m_makeChildren) {
        // Taken out first: a node is made once, even when making it fails part way.
        const NetListChildren make = std::move(self.m_makeChildren);
        self.m_makeChildren = nullptr;
        try {
          self.m_children = std::make_shared<const NetListRuns>(NetListRuns{std::make_shared<const NetListRun>(make())});
        } catch (const std::bad_alloc&) {
          return kFailure;
        }
      }
      auto* iterator = new (std::nothrow) CNodeIterator(self.m_children);
      if (iterator == nullptr) return kFailure;
      Prjrep::AutoRelease<IHdlNetListNodeIterator> held(iterator);
      return result.Assign(held);
    }
    Status ReservedOperation3() override { return kNotSupported; }
    CitI::IInterface* GetDesignUnit() override {
      if (!This().m_unit) return nullptr;
      Prjrep::AddRefObject(This().m_unit.Get());
      return This().m_unit.Get();
    }
    Status ReservedOperation5() override { return kNotSupported; }
    Status GetInstanceName(Text* name) override {
      if (name == nullptr) return kInvalidParameter;
      *name = This().m_instanceName;
      return kSuccess;
    }
  } m_XIHdlNetListNode{this};

  struct XITclCollectable : TNested<CNetListNode, UtilI::ITclCollectable> {
    using TNested::TNested;
    Status GetName(Text* name) override {
      if (name == nullptr) return kInvalidParameter;
      *name = This().m_path;
      return kSuccess;
    }
  } m_XITclCollectable{this};

  Prjrep::TRefCountHelper<CNetListNode> m_refCount{this};
  std::string m_path;
  std::string m_instanceName;
  Prjrep::AutoPtr<CitI::IInterface> m_unit;
  std::shared_ptr<const NetListRuns> m_children = std::make_shared<const NetListRuns>();
  NetListChildren m_makeChildren;  // until the children are first asked for
};

}  // namespace

Prjrep::AutoRelease<IHdlParserConfig> NewParserConfig() {
  return Prjrep::AutoRelease<IHdlParserConfig>(new (std::nothrow) CParserConfig());
}

ParserSettings ReadSettings(CitI::IInterface* config) {
  ParserSettings settings;
  Prjrep::AutoCast<IPropertyInstanceSet> properties(config);
  Prjrep::AutoRelease<IPropertyInstanceIterator> it;
  if (!properties || properties->GetIterator(it.Receive()) != kSuccess || !it) return settings;
  std::vector<std::string> macros[2];
  std::vector<std::string> dirs[2];
  for (; !it->IsDone(); std::ignore = it->Next()) {
    IPropertyInstance* property = it->Current();
    if (property == nullptr) continue;
    // A view's settings are read by their keys, with or without the properties' prefix.
    std::string name = PropertyName(property);
    if (name.starts_with("PROP_")) name.erase(0, 5);
    Text value;
    if (property->GetValue(&value) != kSuccess) continue;
    // The project's lists first, then those of the tool that overrides them.
    if (name == "QLBVERILOGMACROS") macros[0] = SplitList(value.str());
    if (name == "OVRAVERILOGMACROS") macros[1] = SplitList(value.str());
    if (name == "QLBVERIINCLUDEDIR") dirs[0] = SplitList(value.str());
    if (name == "OVRAVERIINCLUDEDIR") dirs[1] = SplitList(value.str());
    if (name == "VHDLSOURCEANALYSISSTANDARD") settings.vhdlStandard = value.str();
    if (name == "TOPDESIGNUNIT") settings.top = value.str();
  }
  for (int i = 0; i < 2; ++i) {
    settings.macros.insert(settings.macros.end(), macros[i].begin(), macros[i].end());
    settings.includeDirs.insert(settings.includeDirs.end(), dirs[i].begin(), dirs[i].end());
  }
  return settings;
}

Prjrep::AutoRelease<IHdlDesignUnit> NewDesignUnit(const Hdl::scan::UnitInfo& unit, IHdlFile* file) {
  return Prjrep::AutoRelease<IHdlDesignUnit>(new (std::nothrow) CDesignUnit(unit, file));
}

Prjrep::AutoRelease<IHdlPortList> NewPortList(Hdl::scan::Interface interface) {
  return Prjrep::AutoRelease<IHdlPortList>(new (std::nothrow) CPortList(std::move(interface)));
}

Prjrep::AutoRelease<IHdlNetListNode> NewNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit,
                                                    NetListRuns children) {
  return Prjrep::AutoRelease<IHdlNetListNode>(
      new (std::nothrow) CNetListNode(std::move(path), std::move(instanceName), unit, std::move(children)));
}

Prjrep::AutoRelease<IHdlNetListNode> NewNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit,
                                                    NetListChildren children) {
  return Prjrep::AutoRelease<IHdlNetListNode>(
      new (std::nothrow) CNetListNode(std::move(path), std::move(instanceName), unit, std::move(children)));
}

}  // namespace Hvd
