// The view's settings: the sixteen keys, their instances made from the view type's templates,
// their reading with defaults, the writes the view makes itself, and the settings that the
// definition data no longer knows. Also the names that classify a view by its type.

#include <algorithm>
#include <string_view>

#include "Hvd/IBaseServices.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace ViewKey {
const Port::StringBase<char> kTopDesignUnit("TOPDESIGNUNIT");
const Port::StringBase<char> kTopDuFile("TOPDUFILE");
const Port::StringBase<char> kTopInstancePath("TOPINSTANCEPATH");
const Port::StringBase<char> kAutoTop("AUTOTOP");
const Port::StringBase<char> kAutoCompileOrder("AUTOCOMPILEORDER");
const Port::StringBase<char> kQuorlin("QUORLIN");
const Port::StringBase<char> kQuorlinFileName("QUORLINFILENAME");
const Port::StringBase<char> kBranch("BRANCH");
const Port::StringBase<char> kSubBranch("SUBBRANCH");
const Port::StringBase<char> kFilterFilesFromCompileOrder("FILTERFILESFROMCOMPILEORDER");
const Port::StringBase<char> kQlbVerilogMacros("QLBVERILOGMACROS");
const Port::StringBase<char> kQlbVeriIncludeDir("QLBVERIINCLUDEDIR");
const Port::StringBase<char> kOvraVerilogMacros("OVRAVERILOGMACROS");
const Port::StringBase<char> kOvraVeriIncludeDir("OVRAVERIINCLUDEDIR");
const Port::StringBase<char> kDisableAutoHierRegen("DISABLEAUTOHIERREGEN");
const Port::StringBase<char> kVhdlSourceAnalysisStandard("VHDLSOURCEANALYSISSTANDARD");
}  // namespace ViewKey

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

// The def-data name of a definition; empty when it has none.
String DefDataName(CitI::IInterface* definition) {
  AutoCast<IDefDataId> id(definition);
  String name;
  if (id) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

}  // namespace

const std::vector<Port::StringBase<char>>& GetViewPropertyNames() {
  // A function-local static: built once, also when views of several threads ask first.
  using namespace ViewKey;
  static const std::vector<Port::StringBase<char>> s_keys{kTopDesignUnit,
                                                          kTopDuFile,
                                                          kTopInstancePath,
                                                          kAutoTop,
                                                          kAutoCompileOrder,
                                                          kQuorlin,
                                                          kQuorlinFileName,
                                                          kBranch,
                                                          kSubBranch,
                                                          kFilterFilesFromCompileOrder,
                                                          kQlbVerilogMacros,
                                                          kQlbVeriIncludeDir,
                                                          kOvraVerilogMacros,
                                                          kOvraVeriIncludeDir,
                                                          kDisableAutoHierRegen,
                                                          kVhdlSourceAnalysisStandard};
  return s_keys;
}

bool IsAbstractSynthesisView(CitI::IInterface* view) {
  return std::string_view(GetDefDataIdName(view)).ends_with("AbstractSynthesis");
}

bool IsMajorView(CitI::IInterface* view) {
  static constexpr std::string_view kSimulations[] = {"VIEW_AbstractSimulation",
                                                      "VIEW_CPLDAbstractSimulation",
                                                      "VIEW_Post-SynthesisAbstractSimulation",
                                                      "VIEW_Post-TranslateAbstractSimulation",
                                                      "VIEW_Post-MapAbstractSimulation",
                                                      "VIEW_Post-ParAbstractSimulation",
                                                      "VIEW_Post-FitAbstractSimulation"};
  const String name = GetDefDataIdName(view);
  return std::string_view(name).ends_with("AbstractSynthesis") ||
         std::find(std::begin(kSimulations), std::end(kSimulations), std::string_view(name)) != std::end(kSimulations);
}

bool CView::BoolSetting(const String& key, bool fallback) {
  AutoRelease<IPropertyInstance> instance = m_properties.GetProperty(key);
  AutoCast<IBoolPropertyInstance> flag(instance.Get());
  bool value = fallback;
  if (!flag || flag->GetBool(&value) != kSuccess) return fallback;
  return value;
}

CView::OwnWrite::OwnWrite(CView& view) : m_view(view) {
  Port::SafeIncr(m_view.m_nestingDepth);
  Port::SafeIncr(m_view.m_batchCount);
}

CView::OwnWrite::~OwnWrite() {
  Port::SafeDecr(m_view.m_batchCount);
  Port::SafeDecr(m_view.m_nestingDepth);
}

Status CView::WriteOwnSetting(const String& key, const String& value) {
  AutoRelease<IPropertyInstance> instance = m_properties.GetProperty(key);
  if (!instance) return kFailure;
  OwnWrite own(*this);
  return instance->SetValue(value);
}

CView::String CView::TextSetting(const String& key) {
  String value;
  if (AutoRelease<IPropertyInstance> instance = m_properties.GetProperty(key); instance)
    std::ignore = instance->GetValue(&value);
  return value;
}

Status CView::SetTopDesignUnitName(const String& name) { return WriteOwnSetting(ViewKey::kTopDesignUnit, name); }

CView::String CView::GetTopInstancePath() {
  AutoRelease<IPropertyInstance> instance = m_properties.GetProperty(ViewKey::kTopInstancePath);
  if (!instance) return m_topInstancePathCache;
  String path;
  std::ignore = instance->GetValue(&path);
  return path;
}

// Keys that already hold an instance keep it, so that a call after the definition data
// gained templates only adds what is missing.
Status CView::CreateViewProperties() {
  if (!m_viewType)
    return Fail(kOwnerMissing, "ERROR: View::CreateViewProperties - No ViewType object defined for this View.\n");
  for (const String& key : GetViewPropertyNames()) {
    if (m_properties.GetProperty(key)) continue;
    AutoRelease<IPropertyTemplate> definition;
    if (m_viewType->GetPropertyTemplate(key, definition.Receive()) != kSuccess || !definition) continue;
    // The template's own name finds it in the data store; it need not be the key.
    AutoRelease<IPropertyInstance> instance = CreatePropertyInstance(DefDataName(definition.Get()));
    if (instance) std::ignore = m_properties.SetProperty(key, instance.Get());
  }
  return kSuccess;
}

Prjrep::AutoRelease<IPropertyInstance> CView::CreatePropertyInstance(const String& name) {
  if (name.empty()) {
    std::ignore = Fail(kInvalidParameter, "ERROR: View::CreatePropertyInstance - Invalid Parameter.\n");
    return nullptr;
  }
  if (!m_design) {
    std::ignore = Fail(kOwnerMissing, "ERROR: View::CreatePropertyInstance - No parent Design for View.\n");
    return nullptr;
  }
  AutoRelease<IDataStore> store = DataStore();
  AutoRelease<IPropertyTemplate> definition;
  if (store) std::ignore = store->FindPropertyTemplate(name, definition.Receive());
  AutoCast<IDefDataObsolete> obsolete(definition.Get());
  bool isObsolete = true;
  if (!obsolete || obsolete->IsObsolete(&isObsolete) != kSuccess || isObsolete) return nullptr;
  AutoRelease<IPropertyManager> manager;
  std::ignore = m_design->GetPropertyManager(manager.Receive());
  AutoRelease<IPropertyInstance> instance;
  if (manager) std::ignore = manager->CreatePropertyInstance(definition, nullptr, instance.Receive());
  if (instance) std::ignore = RegisterForNotifications(instance.Get());
  return instance;
}

CView::String CView::GetViewPropertyKeyForTemplate(CitI::IInterface* definition) {
  const String name = DefDataName(definition);
  if (name.empty() || !m_viewType) return String();
  for (const String& key : GetViewPropertyNames()) {
    AutoRelease<IPropertyTemplate> own;
    if (m_viewType->GetPropertyTemplate(key, own.Receive()) == kSuccess && own && DefDataName(own.Get()) == name)
      return key;
  }
  return String();
}

bool CView::IsPropertyObsolete(IPropertyInstance* instance) {
  if (instance == nullptr) {
    std::ignore = Fail(kInvalidParameter, "ERROR: View::IsPropertyObsolete - Invalid Parameter.\n");
    return false;
  }
  AutoRelease<IPropertyTemplate> definition;
  std::ignore = instance->GetTemplate(definition.Receive());
  if (!definition || IsDefDataObsolete(definition.Get())) return true;
  const String name = DefDataName(definition.Get());
  if (name.empty()) return true;
  if (!GetViewPropertyKeyForTemplate(definition.Get()).empty()) return false;
  AutoRelease<IDefDataIdIterator> templates;
  if (!m_viewType || m_viewType->GetPropertyTemplates(0, templates.Receive()) != kSuccess || !templates) return true;
  for (std::ignore = templates->Reset(); !templates->IsDone(); std::ignore = templates->Next()) {
    if (DefDataName(templates->Current()) == name) return false;
  }
  return true;
}

// A view whose type the definition data dropped goes altogether; otherwise the settings and
// bindings whose definitions were dropped go.
Status CView::XIReconcileToDefData::RemoveObsolete(CitI::IInterface*) {
  CView& self = This();
  if (self.m_viewType && IsDefDataObsolete(self.m_viewType.Get())) {
    std::ignore = self.m_XICompAdmin.Teardown();
    return kSuccess;
  }
  for (auto pos = self.m_properties.begin(); pos != self.m_properties.end();) {
    IPropertyInstance* instance = pos->second;
    if (!self.IsPropertyObsolete(instance)) {
      ++pos;
      continue;
    }
    std::ignore = self.UnRegisterForNotifications(instance);
    std::ignore = self.RemoveParserConfigProp(instance);  // the instance need not be one of the parser's
    self.m_properties.RemoveAt(pos);
  }
  const Status first = RemoveObsoleteComponents(self.m_transformBindings.FirstSet());
  const Status second = RemoveObsoleteComponents(self.m_transformBindings.SecondSet());
  return first != kSuccess ? first : second;
}

Status CView::GetContextParent(IPropertyContext** parent) {
  if (parent == nullptr) return Fail(kInvalidParameter, "ERROR: View::GetContextParent - Invalid Parameter.\n");
  Prjrep::AutoOut<IPropertyContext> result(parent);
  if (!m_design) return Fail(kOwnerMissing, "ERROR: View::GetContextParent - No Design parent for View.\n");
  AutoCast<IPropertyContext> context(m_design.Get());
  if (!context) return kMissingInterface;
  return result.Assign(context);
}

}  // namespace Hvd
