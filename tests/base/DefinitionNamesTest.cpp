#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "../../platform/base/src/DomText.h"
#include "core/XmlStart.h"

namespace {

namespace X = xercesc;

// Every name that the library's code looks up by string, by its kind's prefix; each must have a definition.
// clang-format off
const std::pair<std::string, const char*> kKnownNames[] = {
    {"DESUT_", "BMM CDC CMD_LOG EDIF_SUBMODULE ELF MDL MDX MEM MOLDRIXHLC PCF SDF SPL SYMBOL TARVISHLC UCF VCD "
     "VHDL_ARCHITECTURE VHDL_ENTITY VHDL_PACKAGE_BODY VHDL_PACKAGE_DECL WQD"},
    {"FILE_", "ABEL BMM CDC EDIF FLOWDRAW HLC KWZ MDL MEM MHS MOLDRIX MOLDRIXHLC NGC NGO SCHEMATIC TARVISHLC UCF TEXT "
     "VERILOG VHDL XHLC ZMR"},
    {"PROP_", "Abstract AutoCompileOrderImp AutoTop BehavioralSimTop BehavioralSimulationBranch BinDirModelSim "
     "BinDirPrecision BinDirSynplify BinDirSynplifyPro BinDirTracelet DesignName DevDevice DevFamily "
     "DevFamilyPMName DevPackage DevSpeed DisableAutomaticHierarchyRegeneration Dummy Enable_Message_Filtering "
     "FitterReportFormat FlowDebugLevel ForceCompileBCD HierarchicalProjectType ImplementationBranch "
     "InsertIOBuffers LastAppliedGoal LastAppliedStrategy ManualCompileOrderImp Map MessageFilterFile "
     "OvraSimDataFileName_behav OvraSimDataFileName_par OvraSpecifySearchDirectoryChkSyntax PIFMap "
     "PIFMapTrailing PIFPar PIFParTrailing PIFTranslate PIFTranslateTrailing PRHackRecursionGuard Par "
     "Parse_Target PartitionCreateDelete PartitionForcePlacement PartitionForceSynth PartitionForceTranslate "
     "PostFitSimTop PostMapSimTop PostMapSimulationBranch PostParSimTop PostRouteSimulationBranch "
     "PostSynthSimTop PostSynthesisSimulationBranch PostTranslateSimulationBranch PostXlateSimTop PreSynthesis "
     "PrecAddIOPads PreferredLanguage ProjectDescription ProjectGeneratorType PropSpecInProjFile "
     "QuorlinFileName Simulator StartImpView StopImpView SynthConstraintsFile SynthDisableIOInsertion SynthTop "
     "SynthTopInstancePath Synthesis_Tool ToolPathModelSim ToolPathPrecision ToolPathSynplify "
     "ToolPathSynplifyPro ToolPathTracelet TopDesignUnit Top_Level_Module_Type TralorSearchPathForSource "
     "Translate UseQuorlin UserConstraintEditorPreference UserEditorCustomSetting UserEditorPreference "
     "UserSpecifiedSynthTop WorkingDirectory WriteDefaultPropToSourceProject intMtnProjectID "
     "intMtnProjectIteration intProjectCreationTimestamp intWorkingDirLocWRTProjDir intWorkingDirUsed "
     "ovraSpecifyDefMacroAndValue ovraSpecifySearchDirectory qlbGenericsParameters qlbVerilogMacros qlbWorkDir "
     "velmSynthAddIObuf velmTrnbldMacro"},
    {"VIEW_", "AbstractSimulation CPLDAbstractSimulation Initial Post-FitAbstractSimulation Post-MapAbstractSimulation "
     "Post-ParAbstractSimulation Post-SynthesisAbstractSimulation Post-TranslateAbstractSimulation"}};
// clang-format on

using namespace Hvd::base::dom;

struct Property {
  std::string kind, defaultValue, label;
  Names allowed, dependsOn;
  std::string part;
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
  std::vector<Family> families;
  std::map<std::string, Names> names;  // of each kind, by the prefix that its names take
  std::map<std::string, Property> properties;
  std::map<std::string, std::pair<Names, Names>> fileTypes;  // extensions and design-unit types
  std::map<std::string, Names> fileTypeKeys;                 // the file types of each key
};

void Read(const X::DOMElement& root, Definitions& d) {
  ForEach(root, u"properties", [&](const X::DOMElement& list) {
    ForEach(list, u"property", [&](const X::DOMElement& e) {
      d.names["PROP_"].push_back(Attr(e, u"name"));
      d.properties[Attr(e, u"name")] = {Attr(e, u"kind"), Attr(e, u"default"), Attr(e, u"label"),
                                        NamesOf(e, u"allowed", true), NamesOf(e, u"dependsOn", true), Attr(e, u"part")};
    });
  });
  for (const auto& [list, tag, prefix] : {std::tuple{u"viewTypes", u"viewType", "VIEW_"},
                                          {u"designUnitTypes", u"designUnitType", "DESUT_"},
                                          {u"transforms", u"transform", "TRAN_"}}) {
    const auto* element = tag;  // copied: not every compiler lets a lambda capture a structured binding
    auto& names = d.names[prefix];
    ForEach(root, list, [&names, element](const X::DOMElement& e) { names = NamesOf(e, element); });
  }
  ForEach(root, u"platformTypes", [&](const X::DOMElement& e) { d.names["DPT_"] = NamesOf(e, u"platformType"); });
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

// Xerces is the process's one start, which the base services share: a start and stop of the
// test's own could race with theirs. Without an error handler the parser counts the errors it
// meets, a missing file among them.
const Definitions& Defs() {
  static const Definitions defs = [] {
    Definitions d;
    if (!Hvd::StartXmlPlatform()) {
      d.errors.push_back("the XML platform could not be started");
      return d;
    }
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

// Every name the code looks up is defined once; properties have fitting defaults and acyclic dependencies; file
// types have distinct extensions and keys and defined design-unit types.
TEST(DefinitionNames, NamesPropertiesAndFileTypesAreConsistent) {
  ASSERT_EQ(Defs().errors, Names{});
  for (const auto& [kind, names] : kKnownNames) {
    for (const auto& name : Words(names)) EXPECT_TRUE(Contains(Defs().names.at(kind), kind + name)) << kind << name;
  }
  Names all, keys, extensions;
  for (const auto& [kind, names] : Defs().names) {
    // Each kind's names take its prefix, since the data store finds every kind by name alone.
    for (const auto& name : names) EXPECT_EQ(name.rfind(kind, 0), 0u) << name;
    all.insert(all.end(), names.begin(), names.end());
  }
  // The project writer files properties under their label, or their name when unlabelled.
  for (const auto& [name, p] : Defs().properties) keys.push_back(p.label.empty() ? name : p.label);
  EXPECT_EQ(Duplicates(all), Names{});
  EXPECT_EQ(Duplicates(keys), Names{});
  // Instance ordering computes a template's depth recursively, so a cycle would not end.
  std::map<std::string, int> depth;  // -1 while on the current path
  const auto acyclic = [&](const std::string& name, auto& self) -> bool {
    int& state = depth[name];
    if (state != 0) return state > 0;
    state = -1;
    for (const auto& dep : Defs().properties.at(name).dependsOn) {
      if (Defs().properties.count(dep) == 0 || !self(dep, self)) return false;
    }
    return (depth[name] = 1) > 0;
  };
  const std::set<std::string> kinds = {"text", "list", "bool", "file", "files"};
  for (const auto& [name, p] : Defs().properties) {
    EXPECT_TRUE(acyclic(name, acyclic)) << "cycle or undefined dependency through " << name;
    EXPECT_TRUE(kinds.count(p.kind)) << name << " has kind '" << p.kind << "'";
    // A value outside the list is stored as empty, so a default outside it would be lost. A
    // device part below the family lists the device store's values, checked below.
    const bool fromStore = p.part == "device" || p.part == "package" || p.part == "speed";
    EXPECT_TRUE(p.kind != "list" || (fromStore && p.allowed.empty()) ||
                (Contains(p.allowed, p.defaultValue) && Duplicates(p.allowed).empty()))
        << name;
    EXPECT_TRUE(p.kind != "bool" || p.defaultValue == "true" || p.defaultValue == "false") << name;
  }
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

// The device properties' defaults name a family, device, package and speed grade of the device
// store, and the family correction finds each family's PM name among the store's keys.
TEST(DefinitionNames, DeviceDefaultsAgreeWithTheDeviceStore) {
  const auto& families = Defs().families;
  Names names, pmNames;
  for (const auto& f : families) {
    names.push_back(f.name);
    pmNames.push_back(f.pmName);
    EXPECT_TRUE(f.key == f.pmName && !f.devices.empty()) << f.name;
    for (const auto& dev : f.devices) EXPECT_FALSE(dev.packages.empty() || dev.speeds.empty()) << dev.name;
  }
  // Store lookups ignore case, so names differing only in case would be ambiguous.
  EXPECT_EQ(Duplicates(names, true), Names{});
  EXPECT_EQ(Duplicates(pmNames, true), Names{});

  const auto property = [](const char* name) {
    const auto found = Defs().properties.find(name);
    return found == Defs().properties.end() ? nullptr : &found->second;
  };
  const Property *family = property("PROP_DevFamily"), *device = property("PROP_DevDevice"),
                 *pmName = property("PROP_DevFamilyPMName"), *package = property("PROP_DevPackage"),
                 *speed = property("PROP_DevSpeed");
  ASSERT_TRUE(family && device && pmName && package && speed);
  EXPECT_TRUE(family->part == "family" && device->part == "device" && package->part == "package" &&
              speed->part == "speed" && device->kind == "list" && package->kind == "list" && speed->kind == "list");
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
