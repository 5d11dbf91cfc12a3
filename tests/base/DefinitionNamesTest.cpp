#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
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
              "TEXT VERILOG VHDL XHLC ZMR"},
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

using namespace Hvd::base::dom;

struct Property {
  std::string kind, defaultValue, label, owner, hook, hookClass;
  Names allowed{}, dependsOn{};  // read after the attributes
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
  Names errors, platformOwners;
  std::map<std::string, Names> names;  // of each kind, by the prefix that its names take
  std::map<std::string, Property> properties;
  std::map<std::string, std::pair<Names, Names>> fileTypes;  // extensions and design-unit types
  std::map<std::string, Names> fileTypeKeys;                 // the file types of each key
  std::vector<Family> families;
};

void Read(const X::DOMElement& root, Definitions& d) {
  ForEach(root, u"properties", [&](const X::DOMElement& list) {
    ForEach(list, u"property", [&](const X::DOMElement& e) {
      const auto attr = [&](const char16_t* name) { return Attr(e, name); };
      d.names["PROP_"].push_back(attr(u"name"));
      Property& p = d.properties[attr(u"name")];
      p = {attr(u"kind"), attr(u"default"), attr(u"label"), attr(u"owner"), attr(u"hook"), attr(u"hookClass")};
      p.allowed = NamesOf(e, u"allowed", true);
      p.dependsOn = NamesOf(e, u"dependsOn", true);
    });
  });
  for (const auto& kind : {std::tuple{u"viewTypes", u"viewType", "VIEW_"},
                           {u"designUnitTypes", u"designUnitType", "DESUT_"},
                           {u"transforms", u"transform", "TRAN_"}}) {
    ForEach(root, std::get<0>(kind),
            [&](const X::DOMElement& e) { d.names[std::get<2>(kind)] = NamesOf(e, std::get<1>(kind)); });
  }
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
      if (!Attr(e, u"key").empty()) d.fileTypeKeys[Attr(e, u"key")].push_back(Attr(e, u"name"));
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
const Definitions& Defs() {
  static const Definitions defs = [] {
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
  }();
  return defs;
}

// The names that occur more than once, with `ignoreCase` once their case is folded.
Names Duplicates(const Names& names, bool ignoreCase = false) {
  std::set<std::string> seen, dups;
  for (std::string name : names) {
    for (char& c : name) c = ignoreCase ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
    if (!seen.insert(name).second) dups.insert(name);
  }
  return Names(dups.begin(), dups.end());
}

bool Contains(const Names& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

const Property* FindProperty(const std::string& name) {
  const auto found = Defs().properties.find(name);
  return found == Defs().properties.end() ? nullptr : &found->second;
}

TEST(DefinitionNames, TheFileDefinesEveryKnownNameOnceAmongItsKind) {
  ASSERT_EQ(Defs().errors, Names{});
  ASSERT_EQ(Defs().names.size(), 6u);
  for (const auto& [kind, names] : kKnownNames) {
    for (const auto& name : Words(names)) EXPECT_TRUE(Contains(Defs().names.at(kind), kind + name)) << kind << name;
  }
  Names all, keys;
  for (const auto& [kind, names] : Defs().names) {
    // Each kind's names take its prefix, since the data store finds every kind by name alone.
    for (const auto& name : names) EXPECT_EQ(name.rfind(kind, 0), 0u) << name;
    all.insert(all.end(), names.begin(), names.end());
  }
  // The project writer files properties under their label, or their name when unlabelled.
  for (const auto& [name, p] : Defs().properties) keys.push_back(p.label.empty() ? name : p.label);
  EXPECT_EQ(Duplicates(all), Names{});
  EXPECT_EQ(Duplicates(keys), Names{});
}

TEST(DefinitionNames, PropertiesHaveKnownKindsFittingDefaultsHookClassesAndAcyclicDependencies) {
  ASSERT_FALSE(Defs().platformOwners.empty());
  for (const auto& owner : Defs().platformOwners) {
    EXPECT_TRUE(std::any_of(Defs().properties.begin(), Defs().properties.end(),
                            [&](const auto& p) { return p.second.owner == owner; }))
        << "no property owned by '" << owner << "'";
  }
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
    return (state[name] = 2) == 2;
  };
  const std::set<std::string> kinds = {"text", "list", "bool", "file", "files"};
  for (const auto& [name, p] : Defs().properties) {
    EXPECT_TRUE(acyclic(name)) << "cycle through " << name;
    EXPECT_TRUE(kinds.count(p.kind)) << name << " has kind '" << p.kind << "'";
    // A value outside the list is stored as empty, so a default outside it would be lost.
    EXPECT_TRUE(p.kind != "list" || (Contains(p.allowed, p.defaultValue) && Duplicates(p.allowed).empty())) << name;
    EXPECT_TRUE(p.kind != "bool" || p.defaultValue == "true" || p.defaultValue == "false") << name;
    // A hook has a name and a braced 36-character class id, the form the class id is read from.
    EXPECT_TRUE((p.hook.empty() && p.hookClass.empty()) || (!p.hook.empty() && p.hookClass.size() == 38 &&
                                                            p.hookClass.front() == '{' && p.hookClass.back() == '}'))
        << name;
  }
}

TEST(DefinitionNames, FileTypesHaveDistinctExtensionsAndKeysAndDefinedUnitTypes) {
  Names extensions;
  for (const auto& [name, f] : Defs().fileTypes) {
    // A file whose type lists no design-unit type cannot be initialised.
    EXPECT_FALSE(f.second.empty()) << name;
    for (const auto& u : f.second) EXPECT_TRUE(Contains(Defs().names.at("DESUT_"), u)) << name << ": " << u;
    extensions.insert(extensions.end(), f.first.begin(), f.first.end());
  }
  EXPECT_EQ(Duplicates(extensions, true), Names{});
  // The project types its project files by these keys, and a file of an unknown extension as "txt".
  EXPECT_EQ(Defs().fileTypeKeys, (std::map<std::string, Names>{{"hlcprojectfile", {"FILE_XHLC"}},
                                                               {"moldrixhlc", {"FILE_MOLDRIXHLC"}},
                                                               {"tarvishlc", {"FILE_TARVISHLC"}}}));
  EXPECT_TRUE(Contains(extensions, "txt"));
}

TEST(DefinitionNames, DeviceDefaultsAgreeWithTheDeviceStore) {
  const auto& families = Defs().families;
  Names names, pmNames;
  for (const auto& f : families) {
    names.push_back(f.name);
    pmNames.push_back(f.pmName);
    // The family correction looks a PM name up among the store's keys.
    EXPECT_TRUE(f.key == f.pmName && !f.devices.empty()) << f.name;
    for (const auto& dev : f.devices) EXPECT_FALSE(dev.packages.empty() || dev.speeds.empty()) << dev.name;
  }
  // Store lookups ignore case, so names differing only in case would be ambiguous.
  EXPECT_EQ(Duplicates(names, true), Names{});
  EXPECT_EQ(Duplicates(pmNames, true), Names{});

  const Property *family = FindProperty("PROP_DevFamily"), *device = FindProperty("PROP_DevDevice"),
                 *pmName = FindProperty("PROP_DevFamilyPMName"), *package = FindProperty("PROP_DevPackage"),
                 *speed = FindProperty("PROP_DevSpeed");
  ASSERT_TRUE(family && device && pmName && package && speed);
  EXPECT_EQ(std::set<std::string>(family->allowed.begin(), family->allowed.end()),
            std::set<std::string>(names.begin(), names.end()));
  const auto f =
      std::find_if(families.begin(), families.end(), [&](auto& x) { return x.name == family->defaultValue; });
  ASSERT_NE(f, families.end()) << "default family " << family->defaultValue;
  EXPECT_EQ(pmName->defaultValue, f->pmName);
  const auto dev =
      std::find_if(f->devices.begin(), f->devices.end(), [&](auto& x) { return x.name == device->defaultValue; });
  ASSERT_NE(dev, f->devices.end()) << "default device " << device->defaultValue;
  EXPECT_TRUE(Contains(dev->packages, package->defaultValue) && Contains(dev->speeds, speed->defaultValue));
}

}  // namespace
