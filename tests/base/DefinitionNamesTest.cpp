#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>

#include "../../platform/base/src/DomText.h"

namespace {

namespace X = xercesc;

// Every name that the library's code looks up by string; each must have a definition.
// clang-format off
constexpr std::string_view kKnownNames[] = {
    "DESUT_BMM", "DESUT_CDC", "DESUT_CMD_LOG", "DESUT_EDIF_SUBMODULE", "DESUT_ELF", "DESUT_MDL", "DESUT_MDX",
    "DESUT_MEM", "DESUT_MOLDRIXHLC", "DESUT_PCF", "DESUT_SDF", "DESUT_SPL", "DESUT_SYMBOL", "DESUT_TARVISHLC",
    "DESUT_UCF", "DESUT_VCD", "DESUT_VHDL_ARCHITECTURE", "DESUT_VHDL_ENTITY", "DESUT_VHDL_PACKAGE_BODY",
    "DESUT_VHDL_PACKAGE_DECL", "DESUT_WQD",
    "FILE_ABEL", "FILE_BMM", "FILE_CDC", "FILE_EDIF", "FILE_FLOWDRAW", "FILE_HLC", "FILE_KWZ", "FILE_MDL", "FILE_MEM",
    "FILE_MHS", "FILE_MOLDRIX", "FILE_MOLDRIXHLC", "FILE_NGC", "FILE_NGO", "FILE_SCHEMATIC", "FILE_TARVISHLC",
    "FILE_UCF", "FILE_VERILOG", "FILE_VHDL", "FILE_XHLC", "FILE_ZMR",
    "PROP_Abstract", "PROP_AutoCompileOrderImp", "PROP_AutoTop", "PROP_BehavioralSimTop",
    "PROP_BehavioralSimulationBranch", "PROP_BinDirModelSim", "PROP_BinDirPrecision", "PROP_BinDirSynplify",
    "PROP_BinDirSynplifyPro", "PROP_BinDirTracelet", "PROP_DesignName", "PROP_DevDevice", "PROP_DevFamily",
    "PROP_DevFamilyPMName", "PROP_DevPackage", "PROP_DevSpeed", "PROP_DisableAutomaticHierarchyRegeneration",
    "PROP_Dummy", "PROP_Enable_Message_Filtering", "PROP_FitterReportFormat", "PROP_FlowDebugLevel",
    "PROP_ForceCompileBCD", "PROP_HierarchicalProjectType", "PROP_ImplementationBranch", "PROP_InsertIOBuffers",
    "PROP_LastAppliedGoal", "PROP_LastAppliedStrategy", "PROP_ManualCompileOrderImp", "PROP_Map",
    "PROP_MessageFilterFile", "PROP_OvraSimDataFileName_behav", "PROP_OvraSimDataFileName_par",
    "PROP_OvraSpecifySearchDirectoryChkSyntax", "PROP_PIFMap", "PROP_PIFMapTrailing", "PROP_PIFPar",
    "PROP_PIFParTrailing", "PROP_PIFTranslate", "PROP_PIFTranslateTrailing", "PROP_PRHackRecursionGuard", "PROP_Par",
    "PROP_Parse_Target", "PROP_PartitionCreateDelete", "PROP_PartitionForcePlacement", "PROP_PartitionForceSynth",
    "PROP_PartitionForceTranslate", "PROP_PostFitSimTop", "PROP_PostMapSimTop", "PROP_PostMapSimulationBranch",
    "PROP_PostParSimTop", "PROP_PostRouteSimulationBranch", "PROP_PostSynthSimTop",
    "PROP_PostSynthesisSimulationBranch", "PROP_PostTranslateSimulationBranch", "PROP_PostXlateSimTop",
    "PROP_PreSynthesis", "PROP_PrecAddIOPads", "PROP_PreferredLanguage", "PROP_ProjectDescription",
    "PROP_ProjectGeneratorType", "PROP_PropSpecInProjFile", "PROP_QuorlinFileName", "PROP_Simulator",
    "PROP_StartImpView", "PROP_StopImpView", "PROP_SynthConstraintsFile", "PROP_SynthDisableIOInsertion",
    "PROP_SynthTop", "PROP_SynthTopInstancePath", "PROP_Synthesis_Tool", "PROP_ToolPathModelSim",
    "PROP_ToolPathPrecision", "PROP_ToolPathSynplify", "PROP_ToolPathSynplifyPro", "PROP_ToolPathTracelet",
    "PROP_TopDesignUnit", "PROP_Top_Level_Module_Type", "PROP_TralorSearchPathForSource", "PROP_Translate",
    "PROP_UseQuorlin", "PROP_UserConstraintEditorPreference", "PROP_UserEditorCustomSetting",
    "PROP_UserEditorPreference", "PROP_UserSpecifiedSynthTop", "PROP_WorkingDirectory",
    "PROP_WriteDefaultPropToSourceProject", "PROP_intMtnProjectID", "PROP_intMtnProjectIteration",
    "PROP_intProjectCreationTimestamp", "PROP_intWorkingDirLocWRTProjDir", "PROP_intWorkingDirUsed",
    "PROP_ovraSpecifyDefMacroAndValue", "PROP_ovraSpecifySearchDirectory", "PROP_qlbGenericsParameters",
    "PROP_qlbVerilogMacros", "PROP_qlbWorkDir", "PROP_velmSynthAddIObuf", "PROP_velmTrnbldMacro",
    "VIEW_AbstractSimulation", "VIEW_CPLDAbstractSimulation", "VIEW_Initial", "VIEW_Post-FitAbstractSimulation",
    "VIEW_Post-MapAbstractSimulation", "VIEW_Post-ParAbstractSimulation", "VIEW_Post-SynthesisAbstractSimulation",
    "VIEW_Post-TranslateAbstractSimulation"};
// clang-format on

using Hvd::base::dom::Names;

struct Property {
  std::string kind, defaultValue, label;
  Names allowed, dependsOn;
  std::string owner, hook, hookClass;
};
struct FileType {
  Names extensions, unitTypes;
};
struct Device {
  std::string name;
  Names packages, speeds;
};
struct Family {
  std::string name, pmName, key;
  std::vector<Device> devices;
};
struct Definitions {
  std::string root, version;
  Names errors;
  std::map<std::string, Names> names;  // of each kind, by the prefix that its names take
  std::map<std::string, Property> properties;
  std::map<std::string, FileType> fileTypes;
  std::vector<Family> families;
  Names platformOwners;
};

using namespace Hvd::base::dom;

void Read(const X::DOMElement& root, Definitions& d) {
  d.root = Utf8(root.getTagName());
  d.version = Attr(root, u"version");
  ForEach(root, u"properties", [&](const X::DOMElement& list) {
    ForEach(list, u"property", [&](const X::DOMElement& e) {
      d.names["PROP_"].push_back(Attr(e, u"name"));
      d.properties[Attr(e, u"name")] = {Attr(e, u"kind"), Attr(e, u"default"), Attr(e, u"label"),
                                        NamesOf(e, u"allowed", true), NamesOf(e, u"dependsOn", true),
                                        Attr(e, u"owner"), Attr(e, u"hook"), Attr(e, u"hookClass")};
    });
  });
  ForEach(root, u"viewTypes", [&](const X::DOMElement& list) { d.names["VIEW_"] = NamesOf(list, u"viewType"); });
  ForEach(root, u"designUnitTypes",
          [&](const X::DOMElement& list) { d.names["DESUT_"] = NamesOf(list, u"designUnitType"); });
  ForEach(root, u"transforms", [&](const X::DOMElement& list) { d.names["TRAN_"] = NamesOf(list, u"transform"); });
  ForEach(root, u"platformTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"platformType", [&](const X::DOMElement& e) {
      d.names["DPT_"].push_back(Attr(e, u"name"));
      d.platformOwners.push_back(Attr(e, u"owner"));
    });
  });
  ForEach(root, u"fileTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"fileType", [&](const X::DOMElement& e) {
      d.names["FILE_"].push_back(Attr(e, u"name"));
      d.fileTypes[Attr(e, u"name")] = {Words(Attr(e, u"extensions")), NamesOf(e, u"unitType")};
    });
  });
  ForEach(root, u"deviceStore", [&](const X::DOMElement& list) {
    ForEach(list, u"family", [&](const X::DOMElement& e) {
      Family& f = d.families.emplace_back(Family{Attr(e, u"name"), Attr(e, u"pmName"), Attr(e, u"key"), {}});
      ForEach(e, u"device", [&](const X::DOMElement& dev) {
        f.devices.push_back({Attr(dev, u"name"), NamesOf(dev, u"package"), NamesOf(dev, u"speed")});
      });
    });
  });
}

// Xerces lives only while the file is read, so nothing of it is left for LeakSanitizer.
// Without an error handler the parser counts the errors it meets, a missing file among them.
Definitions Load() {
  Definitions d;
  X::XMLPlatformUtils::Initialize();
  {
    X::XercesDOMParser parser;
    parser.setLoadExternalDTD(false);
    parser.setCreateEntityReferenceNodes(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.parse(HVD_DEFINITIONS_FILE);
    const X::DOMDocument* doc = parser.getDocument();
    if (parser.getErrorCount() != 0 || doc == nullptr || doc->getDocumentElement() == nullptr) {
      d.errors.push_back(std::to_string(parser.getErrorCount()) + " errors in " HVD_DEFINITIONS_FILE);
    } else {
      Read(*doc->getDocumentElement(), d);
    }
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

Names Duplicates(Names names) {
  std::sort(names.begin(), names.end());
  Names dups;
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (names[i] == names[i - 1] && (dups.empty() || dups.back() != names[i])) dups.push_back(names[i]);
  }
  return dups;
}

bool Contains(const Names& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

// The entry of the given name, or the end.
template <class List>
auto Named(const List& list, const std::string& name) {
  return std::find_if(list.begin(), list.end(), [&](const auto& x) { return x.name == name; });
}

const Property* FindProperty(const std::string& name) {
  const auto found = Defs().properties.find(name);
  return found == Defs().properties.end() ? nullptr : &found->second;
}

TEST(DefinitionNames, FileParsesWithoutErrors) {
  EXPECT_EQ(Defs().errors, Names{});
  EXPECT_EQ(Defs().root, "definitions");
  EXPECT_EQ(Defs().version, "1");
}

TEST(DefinitionNames, EveryKnownNameIsDefinedAmongItsKind) {
  for (std::string_view name : kKnownNames) {
    const auto kind = Defs().names.find(std::string(name.substr(0, name.find('_') + 1)));
    ASSERT_NE(kind, Defs().names.end()) << name;
    EXPECT_TRUE(Contains(kind->second, std::string(name))) << name << " is not defined";
  }
}

TEST(DefinitionNames, NamesAreUniqueWithinEachKind) {
  ASSERT_EQ(Defs().names.size(), 6u);
  Names all;
  for (const auto& [kind, names] : Defs().names) {
    // Each kind's names take its prefix, since the data store finds every kind by name alone.
    for (const auto& name : names) EXPECT_EQ(name.rfind(kind, 0), 0u) << name;
    all.insert(all.end(), names.begin(), names.end());
  }
  EXPECT_EQ(Duplicates(all), Names{});
  // The project writer files properties under their label, or their name when unlabelled.
  Names keys;
  for (const auto& [name, p] : Defs().properties) keys.push_back(p.label.empty() ? name : p.label);
  EXPECT_EQ(Duplicates(keys), Names{});
}

TEST(DefinitionNames, PlatformTypesHavePropertiesAndHooksHaveClasses) {
  for (const auto& owner : Defs().platformOwners) {
    const bool any = std::any_of(Defs().properties.begin(), Defs().properties.end(),
                                 [&](const auto& p) { return p.second.owner == owner; });
    EXPECT_TRUE(any) << "no property owned by '" << owner << "'";
  }
  EXPECT_FALSE(Defs().platformOwners.empty());
  for (const auto& [name, p] : Defs().properties) {
    if (p.hook.empty() && p.hookClass.empty()) continue;
    EXPECT_FALSE(p.hook.empty()) << name;
    // Braced 36-character id text, the form the class id is read from.
    EXPECT_TRUE(p.hookClass.size() == 38 && p.hookClass.front() == '{' && p.hookClass.back() == '}') << name;
  }
}

TEST(DefinitionNames, DependenciesNameDefinedPropertiesWithoutCycles) {
  // Instance ordering computes a template's depth recursively, so a cycle would not end.
  std::map<std::string, int> state;  // 1 on the current path, 2 done
  std::function<bool(const std::string&)> acyclic = [&](const std::string& name) {
    int& s = state[name];
    if (s != 0) return s == 2;
    s = 1;
    for (const auto& dep : FindProperty(name)->dependsOn) {
      EXPECT_NE(FindProperty(dep), nullptr) << name << " depends on undefined " << dep;
      if (FindProperty(dep) != nullptr && !acyclic(dep)) return false;
    }
    state[name] = 2;
    return true;
  };
  for (const auto& [name, p] : Defs().properties) EXPECT_TRUE(acyclic(name)) << "cycle through " << name;
}

TEST(DefinitionNames, DefaultsFitTheirKinds) {
  const std::set<std::string> kinds = {"text", "list", "bool", "file", "files"};
  for (const auto& [name, p] : Defs().properties) {
    EXPECT_TRUE(kinds.count(p.kind)) << name << " has kind '" << p.kind << "'";
    if (p.kind == "list") {
      // A value outside the list is stored as empty, so a default outside it would be lost.
      EXPECT_TRUE(Contains(p.allowed, p.defaultValue)) << name << " default " << p.defaultValue;
      EXPECT_EQ(Duplicates(p.allowed), Names{}) << name;
    }
    EXPECT_TRUE(p.kind != "bool" || p.defaultValue == "true" || p.defaultValue == "false") << name;
  }
}

TEST(DefinitionNames, FileTypesHaveDistinctExtensionsAndDefinedUnitTypes) {
  Names extensions;
  for (const auto& [name, f] : Defs().fileTypes) {
    // A file whose type lists no design-unit type cannot be initialised.
    EXPECT_FALSE(f.unitTypes.empty()) << name;
    for (const auto& u : f.unitTypes) EXPECT_TRUE(Contains(Defs().names.at("DESUT_"), u)) << name << ": " << u;
    for (const auto& e : f.extensions) extensions.push_back(Lower(e));
  }
  EXPECT_EQ(Duplicates(extensions), Names{});
  ASSERT_EQ(Defs().fileTypes.count("FILE_VHDL"), 1u);
  EXPECT_TRUE(Contains(Defs().fileTypes.at("FILE_VHDL").unitTypes, "DESUT_VHDL_ARCHITECTURE"));
}

TEST(DefinitionNames, DeviceDefaultsAgreeWithTheDeviceStore) {
  const auto& families = Defs().families;
  ASSERT_FALSE(families.empty());
  std::set<std::string> names;
  Names lowerNames;
  Names lowerPmNames;
  for (const auto& f : families) {
    names.insert(f.name);
    lowerNames.push_back(Lower(f.name));
    lowerPmNames.push_back(Lower(f.pmName));
    // The family correction looks a PM name up among the store's keys.
    EXPECT_EQ(f.key, f.pmName) << f.name;
    EXPECT_FALSE(f.devices.empty()) << f.name;
    for (const auto& dev : f.devices) EXPECT_FALSE(dev.packages.empty() || dev.speeds.empty()) << dev.name;
  }
  // Store lookups ignore case, so names differing only in case would be ambiguous.
  EXPECT_EQ(Duplicates(lowerNames), Names{});
  EXPECT_EQ(Duplicates(lowerPmNames), Names{});

  const Property* family = FindProperty("PROP_DevFamily");
  const Property* device = FindProperty("PROP_DevDevice");
  ASSERT_TRUE(family && device && FindProperty("PROP_DevFamilyPMName") && FindProperty("PROP_DevPackage") &&
              FindProperty("PROP_DevSpeed"));
  if (family->kind == "list") {
    EXPECT_EQ(std::set<std::string>(family->allowed.begin(), family->allowed.end()), names);
  }
  const auto f = Named(families, family->defaultValue);
  ASSERT_NE(f, families.end()) << "default family " << family->defaultValue;
  EXPECT_EQ(FindProperty("PROP_DevFamilyPMName")->defaultValue, f->pmName);
  const auto dev = Named(f->devices, device->defaultValue);
  ASSERT_NE(dev, f->devices.end()) << "default device " << device->defaultValue;
  EXPECT_TRUE(Contains(dev->packages, FindProperty("PROP_DevPackage")->defaultValue));
  EXPECT_TRUE(Contains(dev->speeds, FindProperty("PROP_DevSpeed")->defaultValue));
}

}  // namespace
