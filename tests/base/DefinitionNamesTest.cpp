#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

namespace {

namespace X = xercesc;

// Every name that the library's code looks up by string; each must have a definition.
// clang-format off
constexpr std::string_view kKnownNames[] = {
    "DESUT_BMM", "DESUT_CDC", "DESUT_CMD_LOG", "DESUT_EDIF_SUBMODULE", "DESUT_ELF", "DESUT_MDL",
    "DESUT_MDX", "DESUT_MEM", "DESUT_MOLDRIXHLC", "DESUT_PCF", "DESUT_SDF", "DESUT_SPL",
    "DESUT_SYMBOL", "DESUT_TARVISHLC", "DESUT_UCF", "DESUT_VCD", "DESUT_VHDL_ARCHITECTURE",
    "DESUT_VHDL_ENTITY", "DESUT_VHDL_PACKAGE_BODY", "DESUT_VHDL_PACKAGE_DECL", "DESUT_WQD",
    "FILE_ABEL", "FILE_BMM", "FILE_CDC", "FILE_EDIF", "FILE_FLOWDRAW", "FILE_HLC", "FILE_KWZ",
    "FILE_MDL", "FILE_MEM", "FILE_MHS", "FILE_MOLDRIX", "FILE_MOLDRIXHLC", "FILE_NGC", "FILE_NGO",
    "FILE_SCHEMATIC", "FILE_TARVISHLC", "FILE_UCF", "FILE_VERILOG", "FILE_VHDL", "FILE_XHLC",
    "FILE_ZMR",
    "PROP_Abstract", "PROP_AutoCompileOrderImp", "PROP_AutoTop", "PROP_BehavioralSimTop",
    "PROP_BehavioralSimulationBranch", "PROP_BinDirModelSim", "PROP_BinDirPrecision",
    "PROP_BinDirSynplify", "PROP_BinDirSynplifyPro", "PROP_BinDirTracelet", "PROP_DesignName",
    "PROP_DevDevice", "PROP_DevFamily", "PROP_DevFamilyPMName", "PROP_DevPackage", "PROP_DevSpeed",
    "PROP_DisableAutomaticHierarchyRegeneration", "PROP_Dummy", "PROP_Enable_Message_Filtering",
    "PROP_FitterReportFormat", "PROP_FlowDebugLevel", "PROP_ForceCompileBCD",
    "PROP_HierarchicalProjectType", "PROP_ImplementationBranch", "PROP_InsertIOBuffers",
    "PROP_LastAppliedGoal", "PROP_LastAppliedStrategy", "PROP_ManualCompileOrderImp", "PROP_Map",
    "PROP_MessageFilterFile", "PROP_OvraSimDataFileName_behav", "PROP_OvraSimDataFileName_par",
    "PROP_OvraSpecifySearchDirectoryChkSyntax", "PROP_PIFMap", "PROP_PIFMapTrailing", "PROP_PIFPar",
    "PROP_PIFParTrailing", "PROP_PIFTranslate", "PROP_PIFTranslateTrailing",
    "PROP_PRHackRecursionGuard", "PROP_Par", "PROP_Parse_Target", "PROP_PartitionCreateDelete",
    "PROP_PartitionForcePlacement", "PROP_PartitionForceSynth", "PROP_PartitionForceTranslate",
    "PROP_PostFitSimTop", "PROP_PostMapSimTop", "PROP_PostMapSimulationBranch",
    "PROP_PostParSimTop", "PROP_PostRouteSimulationBranch", "PROP_PostSynthSimTop",
    "PROP_PostSynthesisSimulationBranch", "PROP_PostTranslateSimulationBranch",
    "PROP_PostXlateSimTop", "PROP_PreSynthesis", "PROP_PrecAddIOPads", "PROP_PreferredLanguage",
    "PROP_ProjectDescription", "PROP_ProjectGeneratorType", "PROP_PropSpecInProjFile",
    "PROP_QuorlinFileName", "PROP_Simulator", "PROP_StartImpView", "PROP_StopImpView",
    "PROP_SynthConstraintsFile", "PROP_SynthDisableIOInsertion", "PROP_SynthTop",
    "PROP_SynthTopInstancePath", "PROP_Synthesis_Tool", "PROP_ToolPathModelSim",
    "PROP_ToolPathPrecision", "PROP_ToolPathSynplify", "PROP_ToolPathSynplifyPro",
    "PROP_ToolPathTracelet", "PROP_TopDesignUnit", "PROP_Top_Level_Module_Type",
    "PROP_TralorSearchPathForSource", "PROP_Translate", "PROP_UseQuorlin",
    "PROP_UserConstraintEditorPreference", "PROP_UserEditorCustomSetting",
    "PROP_UserEditorPreference", "PROP_UserSpecifiedSynthTop", "PROP_WorkingDirectory",
    "PROP_WriteDefaultPropToSourceProject", "PROP_intMtnProjectID", "PROP_intMtnProjectIteration",
    "PROP_intProjectCreationTimestamp", "PROP_intWorkingDirLocWRTProjDir", "PROP_intWorkingDirUsed",
    "PROP_ovraSpecifyDefMacroAndValue", "PROP_ovraSpecifySearchDirectory",
    "PROP_qlbGenericsParameters", "PROP_qlbVerilogMacros", "PROP_qlbWorkDir",
    "PROP_velmSynthAddIObuf", "PROP_velmTrnbldMacro",
    "VIEW_AbstractSimulation", "VIEW_CPLDAbstractSimulation", "VIEW_Initial",
    "VIEW_Post-FitAbstractSimulation", "VIEW_Post-MapAbstractSimulation",
    "VIEW_Post-ParAbstractSimulation", "VIEW_Post-SynthesisAbstractSimulation",
    "VIEW_Post-TranslateAbstractSimulation"};
// clang-format on

struct Property {
  std::string name, kind, defaultValue, label;
  std::vector<std::string> allowed, dependsOn;
};
struct FileType {
  std::string name;
  std::vector<std::string> extensions, unitTypes;
};
struct Device {
  std::string name;
  std::vector<std::string> packages, speeds;
};
struct Family {
  std::string name, pmName, key;
  std::vector<Device> devices;
};
struct Definitions {
  std::string root, version;
  std::vector<std::string> errors;
  std::vector<Property> properties;
  std::vector<std::string> viewTypes, designUnitTypes;
  std::vector<FileType> fileTypes;
  std::vector<Family> families;
};

std::string Utf8(const XMLCh* text) {
  if (text == nullptr) return {};
  X::TranscodeToStr out(text, "UTF-8");
  return reinterpret_cast<const char*>(out.str());
}

std::string Attr(const X::DOMElement& e, const char16_t* name) {
  return Utf8(e.getAttribute(name));
}

// Calls f for each child element of the given tag, in document order.
void ForEach(const X::DOMElement* parent, const char16_t* tag,
             const std::function<void(const X::DOMElement&)>& f) {
  if (parent == nullptr) return;
  for (auto* c = parent->getFirstElementChild(); c != nullptr; c = c->getNextElementSibling())
    if (X::XMLString::equals(c->getTagName(), tag)) f(*c);
}

const X::DOMElement* FirstChild(const X::DOMElement* root, const char16_t* tag) {
  const X::DOMElement* found = nullptr;
  ForEach(root, tag, [&](const X::DOMElement& e) { found = found ? found : &e; });
  return found;
}

std::vector<std::string> NamesOf(const X::DOMElement* parent, const char16_t* tag) {
  std::vector<std::string> names;
  ForEach(parent, tag, [&](const X::DOMElement& e) { names.push_back(Attr(e, u"name")); });
  return names;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + ' ') {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

class RecordingHandler : public X::HandlerBase {
 public:
  explicit RecordingHandler(std::vector<std::string>& errors) : errors_(errors) {}
  void warning(const X::SAXParseException&) override {}
  void error(const X::SAXParseException& e) override { Record(e); }
  void fatalError(const X::SAXParseException& e) override { Record(e); }

 private:
  void Record(const X::SAXParseException& e) {
    errors_.push_back("line " + std::to_string(e.getLineNumber()) + ": " + Utf8(e.getMessage()));
  }
  std::vector<std::string>& errors_;
};

void Read(const X::DOMElement* root, Definitions& d) {
  d.root = Utf8(root->getTagName());
  d.version = Attr(*root, u"version");
  ForEach(FirstChild(root, u"properties"), u"property", [&](const X::DOMElement& e) {
    Property p{Attr(e, u"name"), Attr(e, u"kind"), Attr(e, u"default"), Attr(e, u"label"), {}, {}};
    ForEach(&e, u"allowed",
            [&](const X::DOMElement& a) { p.allowed.push_back(Utf8(a.getTextContent())); });
    ForEach(&e, u"dependsOn",
            [&](const X::DOMElement& a) { p.dependsOn.push_back(Utf8(a.getTextContent())); });
    d.properties.push_back(p);
  });
  d.viewTypes = NamesOf(FirstChild(root, u"viewTypes"), u"viewType");
  d.designUnitTypes = NamesOf(FirstChild(root, u"designUnitTypes"), u"designUnitType");
  ForEach(FirstChild(root, u"fileTypes"), u"fileType", [&](const X::DOMElement& e) {
    d.fileTypes.push_back(
        {Attr(e, u"name"), Words(Attr(e, u"extensions")), NamesOf(&e, u"unitType")});
  });
  ForEach(FirstChild(root, u"deviceStore"), u"family", [&](const X::DOMElement& e) {
    Family f{Attr(e, u"name"), Attr(e, u"pmName"), Attr(e, u"key"), {}};
    ForEach(&e, u"device", [&](const X::DOMElement& dev) {
      f.devices.push_back({Attr(dev, u"name"), NamesOf(&dev, u"package"), NamesOf(&dev, u"speed")});
    });
    d.families.push_back(f);
  });
}

// Xerces lives only while the file is read, so nothing of it is left for LeakSanitizer.
Definitions Load() {
  Definitions d;
  X::XMLPlatformUtils::Initialize();
  try {
    RecordingHandler handler(d.errors);
    X::XercesDOMParser parser;
    parser.setValidationScheme(X::XercesDOMParser::Val_Never);
    parser.setDoNamespaces(false);
    parser.setDoSchema(false);
    parser.setLoadExternalDTD(false);
    parser.setSkipDTDValidation(true);
    parser.setCreateEntityReferenceNodes(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.setErrorHandler(&handler);
    parser.parse(HVD_DEFINITIONS_FILE);
    const X::DOMDocument* doc = parser.getDocument();
    if (doc != nullptr && doc->getDocumentElement() != nullptr && d.errors.empty())
      Read(doc->getDocumentElement(), d);
  } catch (const X::XMLException& e) {
    d.errors.push_back(Utf8(e.getMessage()));
  } catch (const X::DOMException& e) {
    d.errors.push_back(Utf8(e.getMessage()));
  }
  X::XMLPlatformUtils::Terminate();
  return d;
}

const Definitions& Defs() {
  static const Definitions defs = Load();
  return defs;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Duplicates(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::vector<std::string> dups;
  for (std::size_t i = 1; i < names.size(); ++i)
    if (names[i] == names[i - 1] && (dups.empty() || dups.back() != names[i]))
      dups.push_back(names[i]);
  return dups;
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

const Property* FindProperty(const std::string& name) {
  for (const auto& p : Defs().properties)
    if (p.name == name) return &p;
  return nullptr;
}

TEST(DefinitionNames, FileParsesWithoutErrors) {
  const auto& d = Defs();
  EXPECT_TRUE(d.errors.empty()) << (d.errors.empty() ? "" : d.errors.front());
  EXPECT_EQ(d.root, "definitions");
  EXPECT_EQ(d.version, "1");
}

TEST(DefinitionNames, EveryKnownNameIsDefinedAmongItsKind) {
  const auto& d = Defs();
  std::vector<std::string> propertyNames, fileTypeNames;
  for (const auto& p : d.properties) propertyNames.push_back(p.name);
  for (const auto& f : d.fileTypes) fileTypeNames.push_back(f.name);
  const std::map<std::string_view, const std::vector<std::string>*> kinds = {
      {"PROP_", &propertyNames},
      {"VIEW_", &d.viewTypes},
      {"FILE_", &fileTypeNames},
      {"DESUT_", &d.designUnitTypes}};
  for (std::string_view name : kKnownNames) {
    const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const auto& s) {
      return name.substr(0, s.first.size()) == s.first;
    });
    ASSERT_NE(kind, kinds.end()) << name;
    EXPECT_TRUE(Contains(*kind->second, std::string(name))) << name << " is not defined";
  }
}

TEST(DefinitionNames, NamesAreUniqueWithinEachKind) {
  const auto& d = Defs();
  // The project writer files properties under their label, or their name when unlabelled.
  std::vector<std::string> propertyNames, propertyKeys, fileTypeNames;
  for (const auto& p : d.properties) {
    propertyNames.push_back(p.name);
    propertyKeys.push_back(p.label.empty() ? p.name : p.label);
  }
  for (const auto& f : d.fileTypes) fileTypeNames.push_back(f.name);
  EXPECT_EQ(Duplicates(propertyNames), std::vector<std::string>{});
  EXPECT_EQ(Duplicates(propertyKeys), std::vector<std::string>{});
  EXPECT_EQ(Duplicates(d.viewTypes), std::vector<std::string>{});
  EXPECT_EQ(Duplicates(fileTypeNames), std::vector<std::string>{});
  EXPECT_EQ(Duplicates(d.designUnitTypes), std::vector<std::string>{});
}

TEST(DefinitionNames, DependenciesNameDefinedPropertiesWithoutCycles) {
  // Instance ordering computes a template's depth recursively, so a cycle would not end.
  std::map<std::string, int> state;  // 1 on the current path, 2 done
  std::function<bool(const Property&)> acyclic = [&](const Property& p) {
    int& s = state[p.name];
    if (s != 0) return s == 2;
    s = 1;
    for (const auto& dep : p.dependsOn) {
      const Property* target = FindProperty(dep);
      EXPECT_NE(target, nullptr) << p.name << " depends on undefined " << dep;
      if (target != nullptr && !acyclic(*target)) return false;
    }
    state[p.name] = 2;
    return true;
  };
  for (const auto& p : Defs().properties) EXPECT_TRUE(acyclic(p)) << "cycle through " << p.name;
}

TEST(DefinitionNames, DefaultsFitTheirKinds) {
  const std::set<std::string> kinds = {"text", "list", "bool", "file", "files"};
  for (const auto& p : Defs().properties) {
    EXPECT_TRUE(kinds.count(p.kind)) << p.name << " has kind '" << p.kind << "'";
    if (p.kind == "list") {
      // A value outside the list is stored as empty, so a default outside it would be lost.
      EXPECT_TRUE(Contains(p.allowed, p.defaultValue))
          << p.name << " default '" << p.defaultValue << "'";
      EXPECT_EQ(Duplicates(p.allowed), std::vector<std::string>{}) << p.name;
    }
    if (p.kind == "bool") {
      EXPECT_TRUE(p.defaultValue == "true" || p.defaultValue == "false")
          << p.name << " default '" << p.defaultValue << "'";
    }
  }
}

TEST(DefinitionNames, FileTypesHaveDistinctExtensionsAndDefinedUnitTypes) {
  const auto& d = Defs();
  std::vector<std::string> extensions;
  for (const auto& f : d.fileTypes) {
    // A file whose type lists no design-unit type cannot be initialised.
    EXPECT_FALSE(f.unitTypes.empty()) << f.name;
    for (const auto& u : f.unitTypes)
      EXPECT_TRUE(Contains(d.designUnitTypes, u)) << f.name << ": " << u;
    for (const auto& e : f.extensions) extensions.push_back(Lower(e));
  }
  EXPECT_EQ(Duplicates(extensions), std::vector<std::string>{});
  const auto vhdl = std::find_if(d.fileTypes.begin(), d.fileTypes.end(),
                                 [](const FileType& f) { return f.name == "FILE_VHDL"; });
  ASSERT_NE(vhdl, d.fileTypes.end());
  EXPECT_TRUE(Contains(vhdl->unitTypes, "DESUT_VHDL_ARCHITECTURE"));
}

TEST(DefinitionNames, DeviceDefaultsAgreeWithTheDeviceStore) {
  const auto& d = Defs();
  ASSERT_FALSE(d.families.empty());
  std::vector<std::string> familyNames, lowerNames, lowerPmNames;
  for (const auto& f : d.families) {
    familyNames.push_back(f.name);
    lowerNames.push_back(Lower(f.name));
    lowerPmNames.push_back(Lower(f.pmName));
    // The family correction looks a PM name up among the store's keys.
    EXPECT_EQ(f.key, f.pmName) << f.name;
    EXPECT_FALSE(f.devices.empty()) << f.name;
    for (const auto& dev : f.devices)
      EXPECT_TRUE(!dev.packages.empty() && !dev.speeds.empty()) << f.name << " " << dev.name;
  }
  // Store lookups ignore case, so names differing only in case would be ambiguous.
  EXPECT_EQ(Duplicates(lowerNames), std::vector<std::string>{});
  EXPECT_EQ(Duplicates(lowerPmNames), std::vector<std::string>{});

  const Property* family = FindProperty("PROP_DevFamily");
  const Property* pmName = FindProperty("PROP_DevFamilyPMName");
  const Property* device = FindProperty("PROP_DevDevice");
  const Property* package = FindProperty("PROP_DevPackage");
  const Property* speed = FindProperty("PROP_DevSpeed");
  ASSERT_TRUE(family && pmName && device && package && speed);
  if (family->kind == "list") {
    EXPECT_EQ(std::set<std::string>(family->allowed.begin(), family->allowed.end()),
              std::set<std::string>(familyNames.begin(), familyNames.end()));
  }
  const auto f = std::find_if(d.families.begin(), d.families.end(),
                              [&](const Family& x) { return x.name == family->defaultValue; });
  ASSERT_NE(f, d.families.end()) << "default family " << family->defaultValue;
  EXPECT_EQ(pmName->defaultValue, f->pmName);
  const auto dev = std::find_if(f->devices.begin(), f->devices.end(),
                                [&](const Device& x) { return x.name == device->defaultValue; });
  ASSERT_NE(dev, f->devices.end()) << "default device " << device->defaultValue;
  EXPECT_TRUE(Contains(dev->packages, package->defaultValue)) << package->defaultValue;
  EXPECT_TRUE(Contains(dev->speeds, speed->defaultValue)) << speed->defaultValue;
}

}  // namespace
