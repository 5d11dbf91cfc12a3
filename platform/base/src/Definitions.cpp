// The data file, read once with Xerces into plain structures.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>

#include "BaseData.h"
#include "DomText.h"
#include "Hvd/BaseStandIn.h"
#include "Port/Process.h"
#include "core/XmlStart.h"

namespace Hvd::base {
namespace {

namespace X = xercesc;

using namespace dom;

bool Flag(const X::DOMElement& e, const char16_t* name) { return Attr(e, name) == "true"; }

Part PartOf(const std::string& word) {
  if (word == "family") return Part::kFamily;
  if (word == "device") return Part::kDevice;
  if (word == "package") return Part::kPackage;
  if (word == "speed") return Part::kSpeed;
  return Part::kNone;
}

DefinitionData Named(Kind kind, const X::DOMElement& e) {
  DefinitionData d;
  d.kind = kind;
  d.name = Attr(e, u"name");
  d.obsolete = Flag(e, u"obsolete");
  return d;
}

void Read(const X::DOMElement& root, Data& data) {
  auto& defs = data.definitions;
  ForEach(root, u"properties", [&](const X::DOMElement& list) {
    ForEach(list, u"property", [&](const X::DOMElement& e) {
      DefinitionData d = Named(Kind::kProperty, e);
      d.valueKind = Attr(e, u"kind");
      d.defaultValue = Attr(e, u"default");
      d.label = Attr(e, u"label");
      d.lockable = Flag(e, u"lockable");
      d.owner = Attr(e, u"owner");
      d.toParser = Flag(e, u"parser");
      d.hook = Attr(e, u"hook");
      d.hookClass = Attr(e, u"hookClass");
      d.part = PartOf(Attr(e, u"part"));
      d.allowed = NamesOf(e, u"allowed", true);
      d.dependsOn = NamesOf(e, u"dependsOn", true);
      defs.push_back(std::move(d));
    });
  });
  ForEach(root, u"viewTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"viewType", [&](const X::DOMElement& e) {
      DefinitionData d = Named(Kind::kView, e);
      d.branch = Attr(e, u"branch");
      d.subBranch = Attr(e, u"subbranch");
      d.unitTypes = NamesOf(e, u"unitType");
      defs.push_back(std::move(d));
    });
  });
  ForEach(root, u"fileTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"fileType", [&](const X::DOMElement& e) {
      DefinitionData d = Named(Kind::kFile, e);
      d.extensions = Words(Attr(e, u"extensions"));
      d.key = Attr(e, u"key");
      d.plugIn = Attr(e, u"plugIn");
      d.unitTypes = NamesOf(e, u"unitType");
      defs.push_back(std::move(d));
    });
  });
  ForEach(root, u"plugIns", [&](const X::DOMElement& list) {
    ForEach(list, u"plugIn", [&](const X::DOMElement& e) {
      data.plugIns.push_back({Attr(e, u"key"), Attr(e, u"config")});
    });
  });
  ForEach(root, u"designUnitTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"designUnitType", [&](const X::DOMElement& e) { defs.push_back(Named(Kind::kDesignUnit, e)); });
  });
  ForEach(root, u"transforms", [&](const X::DOMElement& list) {
    ForEach(list, u"transform", [&](const X::DOMElement& e) {
      DefinitionData d = Named(Kind::kTransform, e);
      d.from = Attr(e, u"from");
      d.to = Attr(e, u"to");
      d.inputs = Words(Attr(e, u"inputs"));
      d.outputs = Words(Attr(e, u"outputs"));
      defs.push_back(std::move(d));
    });
  });
  // A platform type takes the properties of its owner, so each property is listed once; the
  // platform types of one owner share its one list rather than each copying it.
  std::map<std::string, std::shared_ptr<Names>, std::less<>> byOwner;
  for (const DefinitionData& p : defs) {
    if (p.kind != Kind::kProperty) continue;
    auto& names = byOwner[p.owner];
    if (names == nullptr) names = std::make_shared<Names>();
    names->push_back(p.name);
  }
  ForEach(root, u"platformTypes", [&](const X::DOMElement& list) {
    ForEach(list, u"platformType", [&](const X::DOMElement& e) {
      DefinitionData d = Named(Kind::kPlatform, e);
      d.owner = Attr(e, u"owner");
      auto& names = byOwner[d.owner];
      if (names == nullptr) names = std::make_shared<Names>();
      d.platformProperties = names;
      defs.push_back(std::move(d));
    });
  });
  ForEach(root, u"deviceStore", [&](const X::DOMElement& list) {
    ForEach(list, u"family", [&](const X::DOMElement& e) {
      FamilyData& f = data.families.emplace_back();
      f.name = Attr(e, u"name");
      f.pmName = Attr(e, u"pmName");
      f.key = Attr(e, u"key");
      ForEach(e, u"device", [&](const X::DOMElement& dev) {
        f.devices.push_back({Attr(dev, u"name"), Attr(dev, u"key"), NamesOf(dev, u"package"), NamesOf(dev, u"speed")});
      });
    });
  });
}

// Far deeper than the data nests, yet far short of what exhausts the stack in the DOM's own
// recursive walks, such as the one that gathers the text of a value.
constexpr int kMaxDepth = 32;

// Xerces is the process's one start, shared with the library: a start and stop of its own here
// would race with the library's reads on other threads. The file is our own: a document type or
// an entity in it is refused rather than followed, and so is nesting deeper than the data needs.
Data Load(const char* path) {
  Data data;
  if (!StartXmlPlatform()) return data;
  try {
    X::SecurityManager security;
    X::XercesDOMParser parser;
    SetUpDataParser(parser, security, false);
    parser.parse(path);
    const X::DOMDocument* doc = parser.getDocument();
    if (parser.getErrorCount() == 0 && doc != nullptr && doc->getDoctype() == nullptr &&
        doc->getDocumentElement() != nullptr && WithinDepth(*doc->getDocumentElement(), kMaxDepth)) {
      Read(*doc->getDocumentElement(), data);
      data.loaded = true;
    }
  } catch (...) {
    data = Data();
  }
  return data;
}

}  // namespace

namespace {

// The installation's data file, found from the libraries' folder as it was when they were
// loaded, else the one of the source tree it was built from.
std::string DefinitionsPath() {
  const Port::StringBase<char> installed = Port_Env::GetDataFileName("definitions.xml", true);
  return installed.empty() ? std::string(HVD_BASE_DEFINITIONS_FILE) : installed.str();
}

}  // namespace

const Data& TheData() {
  // Never freed: the definition objects refer into it until the process ends.
  static const Data* const s_data = new Data(Load(DefinitionsPath().c_str()));
  return *s_data;
}

}  // namespace Hvd::base

namespace Hvd {

StandInDefinitions StandInReadDefinitions(const std::string& path) {
  const base::Data data = base::Load(path.c_str());
  StandInDefinitions read;
  read.loaded = data.loaded;
  read.definitions = data.definitions.size();
  std::set<const void*> lists;
  for (const base::DefinitionData& d : data.definitions) {
    if (d.kind != base::Kind::kPlatform) continue;
    read.platformProperties.push_back(*d.platformProperties);
    lists.insert(d.platformProperties.get());
  }
  read.platformPropertyLists = lists.size();
  return read;
}

}  // namespace Hvd
