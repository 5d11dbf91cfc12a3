// The stored properties of the project source file: read into the reader's map, answered one
// by one, and applied to the open project in the order the device settings need.

#include <boost/algorithm/string/predicate.hpp>
#include <cstdlib>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "projectfiles/CXMLReader.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace N = XmlNames;

namespace {

struct LabelRow {
  const char* name;
  const char* label;
};
constexpr LabelRow kLabels[] = {
    {"PROP_DevFamily", "Device Family"},
    {"PROP_DevDevice", "Device"},
    {"PROP_DevPackage", "Package"},
    {"PROP_DevSpeed", "Speed Grade"},
    {"PROP_DevFamilyPMName", "PROP_DevFamilyPMName"},
    {"PROP_Top_Level_Module_Type", "Top-Level Source Type"},
    {"PROP_Synthesis_Tool", "Synthesis Tool"},
    {"PROP_Simulator", "Simulator"},
    {"PROP_PreferredLanguage", "Preferred Language"},
    {"PROP_WorkingDirectory", "Working Directory"},
};

// The device settings first, so that the platform's choices follow them; the order is the
// order of their dependencies.
constexpr const char* kFirstPass[] = {
    "PROP_WorkingDirectory",
    "PROP_DevFamily",
    "PROP_DevDevice",
    "PROP_DevPackage",
    "PROP_DevSpeed",
    "PROP_DevFamilyPMName",
    "PROP_Top_Level_Module_Type",
    "PROP_Synthesis_Tool",
    "PROP_Simulator",
    "PROP_PreferredLanguage",
};

constexpr const char* kRetiredSimulatorMessage =
    "ModelSim Velmor Edition III is no longer supported for simulation.\n\nThe project Simulator setting has been "
    "reset to 'Ovra (VHDL/Verilog)'.\n\nYou can change your simulator setting by selecting the Project -> Design "
    "Properties...\nmenu entry and then choosing a simulator from the listed choices.";

Text TemplateLabel(IPropertyInstance* instance) {
  Text label;
  AutoRelease<IPropertyTemplate> definition;
  if (instance->GetTemplate(definition.Receive()) != kSuccess) return label;
  if (AutoCast<IPropertyTemplate2> second(definition.Get()); second) std::ignore = second->GetSecondName(&label);
  return label;
}

}  // namespace

bool CXMLReader::GetPropertyLabel(const String& name, String* key) {
  for (const LabelRow& row : kLabels) {
    if (name == row.name) {
      if (key != nullptr) *key = row.label;
      return true;
    }
  }
  if (key != nullptr) *key = name;
  return false;
}

void CXMLReader::ReadProperties() {
  if (!m_document) return;
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  const std::vector<X::DOMElement*> properties = InDocument(xml.GetNamespaceURI(), N::kPropertyW);
  for (XMLSize_t i = 0; i < properties.size(); ++i) {
    const auto* property = properties[i];
    PropertyEntry& entry = m_properties[AttributeText(xml, property, N::kNameW)];
    entry.value = AttributeText(xml, property, N::kValueW);
    entry.locked = boost::algorithm::iequals(AttributeText(xml, property, N::kLockedW).str(), N::kTrue);
  }
  // A family stored under a name the device store no longer knows is found by its PM name.
  auto family = m_properties.find("Device Family");
  if (family == m_properties.end()) family = m_properties.find("PROP_DevFamily");
  const auto pmName = m_properties.find("PROP_DevFamilyPMName");
  if (family == m_properties.end() || pmName == m_properties.end()) return;
  if (Text known = LookupDeviceStoreField(family->second.value, pmName->second.value); !known.empty())
    family->second.value = known;
}

bool CXMLReader::GetPropertyValue(const String& name, String* value) {
  if (value == nullptr) return false;
  value->str().clear();
  if (m_properties.empty()) ReadProperties();
  String key;
  std::ignore = GetPropertyLabel(name, &key);
  // A labelled property is stored, and so looked up, under its label only.
  const auto found = m_properties.find(key);
  if (found == m_properties.end()) return false;
  *value = found->second.value;
  if ((key == "PROP_WorkingDirectory" || key == "Working Directory") &&
      std::getenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR") == nullptr) {
    AutoRelease<Prjrep::IFileNameHelper> names(CitP::Factory::CreateInstance(Prjrep::ClassId::FileNameHelper()));
    String full;
    if (names && names->SetPathInDirectory(*value, String(), m_directory) == kSuccess &&
        names->GetFullName(&full) == kSuccess)
      *value = full;
  }
  return true;
}

bool CXMLReader::GetPropertyNames(Prjrep::IStringSet** names) {
  if (names == nullptr) return false;
  Prjrep::AutoOut<Prjrep::IStringSet> out(names);
  if (m_properties.empty()) ReadProperties();
  AutoRelease<Prjrep::IStringSet> set(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet()));
  if (!set) return false;
  for (const auto& [key, entry] : m_properties) std::ignore = set->Add(key);
  out.Assign(set.Get());
  return true;
}

void CXMLReader::ApplyEntry(CitI::IInterface* object, const PropertyEntry& entry) {
  AutoCast<IPropertyInstance> instance(object);
  if (!instance) return;
  std::ignore = instance->SetValue(entry.value);
  if (AutoCast<ILockable> lock(object); lock) {
    std::ignore = lock->Unlock();
    if (entry.locked) std::ignore = lock->Lock();
  }
}

void CXMLReader::ApplyProperties() {
  if (!m_document || m_project == nullptr) return;
  if (m_properties.empty()) ReadProperties();
  PropertyMap left = m_properties;
  IDesign* design = DesignOf(m_project);
  AutoRelease<IDesignPlatform> platform;
  if (design == nullptr || design->GetDesignPlatform(platform.Receive()) != kSuccess || !platform) return;

  PropertyAccessor accessor(m_project);
  for (const char* name : kFirstPass) {
    String key;
    std::ignore = GetPropertyLabel(name, &key);
    auto found = left.find(key);
    if (found == left.end()) found = left.find(name);
    if (found == left.end()) continue;
    PropertyEntry entry = found->second;
    if (Text(name) == "PROP_Simulator" && (boost::algorithm::iequals(entry.value.str(), "Modelsim-ZV Verilog") ||
                                           boost::algorithm::iequals(entry.value.str(), "Modelsim-ZV VHDL"))) {
      entry.value = "Ovra (VHDL/Verilog)";
      // The text is the program's own, never the file's: nothing read is evaluated.
      const Text command = Text("::velmor::Hvd::hvd_DisplayMessageBox \"") + kRetiredSimulatorMessage + "\" 2";
      std::ignore = InterpHelp::RunCmd(command.c_str(), nullptr, false, nullptr);
    }
    accessor.SetProperty(name, entry.value, entry.locked);
    left.erase(found);
  }
  std::ignore = platform->NotifyChanges();

  std::vector<AutoPtr<IPropertyInstance>> instances;
  accessor.GetAllPropertyInstances(instances);
  for (const AutoPtr<IPropertyInstance>& instance : instances) {
    if (!instance) continue;
    String key = TemplateLabel(instance.Get());
    if (key.empty()) std::ignore = instance->GetName(&key);
    const auto found = left.find(key);
    if (found == left.end()) continue;
    ApplyEntry(instance.Get(), found->second);
    left.erase(found);
  }
  for (const auto& [key, entry] : left) {
    if (AutoRelease<IPropertyInstance> instance = accessor.GetPropertyInstance(key); instance)
      ApplyEntry(instance.Get(), entry);
  }
}

}  // namespace Hvd
