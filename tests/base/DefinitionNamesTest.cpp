#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "../../platform/base/src/DomText.h"

namespace {

namespace X = xercesc;

// Every name that the library's code looks up by string, by its kind's prefix; each must have a definition.
// clang-format off
const std::pair<std::string, const char*> kKnownNames[] = {
    {"DESUT_", "BMM CDC CMD_LOG EDIF_SUBMODULE ELF MDL MDX MEM MOLDRIXHLC PCF SDF SPL SYMBOL TARVISHLC UCF VCD "
               "VHDL_ARCHITECTURE VHDL_ENTITY VHDL_PACKAGE_BODY VHDL_PACKAGE_DECL WQD"},
    {"FILE_", "ABEL BMM CDC EDIF FLOWDRAW HLC KWZ MDL MEM MHS MOLDRIX MOLDRIXHLC NGC NGO SCHEMATIC TARVISHLC UCF "
              "VERILOG VHDL XHLC ZMR"},
    {"PROP_", "Abstract AutoCompileOrderImp AutoTop BehavioralSimTop BehavioralSimulationBranch BinDirModelSim "
              "BinDirPrecision BinDirSynplify BinDirSynplifyPro BinDirTracelet DesignName DevDevice DevFamily "
              "DevFamilyPMName DevPackage DevSpeed DisableAutomaticHierarchyRegeneration Dummy "
              "Enable_Message_Filtering FitterReportFormat FlowDebugLevel ForceCompileBCD HierarchicalProjectType "
              "ImplementationBranch InsertIOBuffers LastAppliedGoal LastAppliedStrategy ManualCompileOrderImp Map "
              "MessageFilterFile OvraSimDataFileName_behav OvraSimDataFileName_par "
              "OvraSpecifySearchDirectoryChkSyntax PIFMap PIFMapTrailing PIFPar PIFParTrailing PIFTranslate "
              "PIFTranslateTrailing PRHackRecursionGuard Par Parse_Target PartitionCreateDelete "
              "PartitionForcePlacement PartitionForceSynth PartitionForceTranslate PostFitSimTop PostMapSimTop "
              "PostMapSimulationBranch PostParSimTop PostRouteSimulationBranch PostSynthSimTop "
              "PostSynthesisSimulationBranch PostTranslateSimulationBranch PostXlateSimTop PreSynthesis "
              "PrecAddIOPads PreferredLanguage ProjectDescription ProjectGeneratorType PropSpecInProjFile "
              "QuorlinFileName Simulator StartImpView StopImpView SynthConstraintsFile SynthDisableIOInsertion "
              "SynthTop SynthTopInstancePath Synthesis_Tool ToolPathModelSim ToolPathPrecision ToolPathSynplify "
              "ToolPathSynplifyPro ToolPathTracelet TopDesignUnit Top_Level_Module_Type TralorSearchPathForSource "
              "Translate UseQuorlin UserConstraintEditorPreference UserEditorCustomSetting UserEditorPreference "
              "UserSpecifiedSynthTop WorkingDirectory WriteDefaultPropToSourceProject intMtnProjectID "
              "intMtnProjectIteration intProjectCreationTimestamp intWorkingDirLocWRTProjDir intWorkingDirUsed "
              "ovraSpecifyDefMacroAndValue ovraSpecifySearchDirectory qlbGenericsParameters qlbVerilogMacros "
              "qlbWorkDir velmSynthAddIObuf velmTrnbldMacro"},
    {"VIEW_", "AbstractSimulation CPLDAbstractSimulation Initial Post-FitAbstractSimulation "
              "Post-MapAbstractSimulation Post-ParAbstractSimulation Post-SynthesisAbstractSimulation "
              "Post-TranslateAbstractSimulation"}};
// clang-format on

using Hvd::base::dom::Names;

struct Property {
  std::string kind, defaultValue, label, owner, hook, hookClass;
  Names allowed{}, dependsOn{};  // read after the attributes
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
  Names errors;
  std::map<std::string, Names> names;  // of each kind, by the prefix that its names take
  std::map<std::string, Property> properties;
  std::map<std::string, FileType> fileTypes;
  std::vector<Family> families;
  Names platformOwners;
};

using namespace Hvd::base::dom;

void Read(const X::DOMElement& root, Definitions& d) {
  ForEach(root, u"properties", [&](const X::DOMElement& list) {
    ForEach(list, u"property", [&](const X::DOMElement& e) {
      d.names["PROP_"].push_back(Attr(e, u"name"));
      const auto attr = [&](const char16_t* name) { return Attr(e, name); };
      Property& p = d.properties[attr(u"name")];
      p = {attr(u"kind"), attr(u"default"), attr(u"label"), attr(u"owner"), attr(u"hook"), attr(u"hookClass")};
      p.allowed = NamesOf(e, u"allowed", true);
      p.dependsOn = NamesOf(e, u"dependsOn", true);
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

// The names that occur more than once, with `ignoreCase` once their case is folded.
Names Duplicates(Names names, bool ignoreCase = false) {
  for (auto& name : names) {
    for (char& c : name) c = ignoreCase ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
  }
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

TEST(DefinitionNames, TheFileParsesAndDefinesEveryKnownNameAmongItsKind) {
  ASSERT_EQ(Defs().errors, Names{});
  for (const auto& [kind, names] : kKnownNames) {
    for (const auto& name : Words(names)) EXPECT_TRUE(Contains(Defs().names.at(kind), kind + name)) << kind << name;
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
    extensions.insert(extensions.end(), f.extensions.begin(), f.extensions.end());
  }
  EXPECT_EQ(Duplicates(extensions, true), Names{});
}

TEST(DefinitionNames, DeviceDefaultsAgreeWithTheDeviceStore) {
  const auto& families = Defs().families;
  ASSERT_FALSE(families.empty());
  Names names, pmNames;
  for (const auto& f : families) {
    names.push_back(f.name);
    pmNames.push_back(f.pmName);
    // The family correction looks a PM name up among the store's keys.
    EXPECT_EQ(f.key, f.pmName) << f.name;
    EXPECT_FALSE(f.devices.empty()) << f.name;
    for (const auto& dev : f.devices) EXPECT_FALSE(dev.packages.empty() || dev.speeds.empty()) << dev.name;
  }
  // Store lookups ignore case, so names differing only in case would be ambiguous.
  EXPECT_EQ(Duplicates(names, true), Names{});
  EXPECT_EQ(Duplicates(pmNames, true), Names{});

  const Property* family = FindProperty("PROP_DevFamily");
  const Property* device = FindProperty("PROP_DevDevice");
  ASSERT_TRUE(family && device && FindProperty("PROP_DevFamilyPMName") && FindProperty("PROP_DevPackage") &&
              FindProperty("PROP_DevSpeed"));
  EXPECT_EQ(std::set<std::string>(family->allowed.begin(), family->allowed.end()),
            std::set<std::string>(names.begin(), names.end()));
  const auto f = Named(families, family->defaultValue);
  ASSERT_NE(f, families.end()) << "default family " << family->defaultValue;
  EXPECT_EQ(FindProperty("PROP_DevFamilyPMName")->defaultValue, f->pmName);
  const auto dev = Named(f->devices, device->defaultValue);
  ASSERT_NE(dev, f->devices.end()) << "default device " << device->defaultValue;
  EXPECT_TRUE(Contains(dev->packages, FindProperty("PROP_DevPackage")->defaultValue));
  EXPECT_TRUE(Contains(dev->speeds, FindProperty("PROP_DevSpeed")->defaultValue));
}

}  // namespace
