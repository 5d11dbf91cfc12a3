#pragma once
// The objects that the parser project hands out besides its files: its configuration, the design
// units of the files, and the nodes of the design graph.

#include <functional>
#include <string>
#include <vector>

#include "HdlScan/Project.h"
#include "Hvd/IDefData.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetListNode.h"
#include "Hvd/IHdlPortList.h"
#include "Hvd/IHdlProject.h"
#include "core/Holders.h"

namespace Hvd {

// The parser settings, read from the configuration's properties. Lists are split at ";" and at
// "|" (the separator of file-list properties); blanks around an element and empty elements are
// dropped, so "A;B=2 | C" gives the three macros A, B=2 and C.
struct ParserSettings {
  std::vector<std::string> macros;
  std::vector<std::string> includeDirs;
  std::string vhdlStandard;  // empty: the scanner's default
  std::string top;           // the top unit that the design graph starts from; empty: every candidate

  bool operator==(const ParserSettings&) const = default;
};

// A new, empty parser configuration with one reference.
Prjrep::AutoRelease<IHdlParserConfig> NewParserConfig();
// The settings that the properties of `config` (a configuration or any property-instance set) give.
ParserSettings ReadSettings(CitI::IInterface* config);

// A design unit found by the scanner in `file`, with one reference.
Prjrep::AutoRelease<IHdlDesignUnit> NewDesignUnit(const Hdl::scan::UnitInfo& unit, IHdlFile* file);

// The interface of a unit as the scanner read it, with one reference.
Prjrep::AutoRelease<IHdlPortList> NewPortList(Hdl::scan::Interface interface);

// A node's children come in runs that nodes may share: a graph's root made again after an edit
// holds the runs the edit left alone, not a reference to each of its children again.
using NetListRun = std::vector<Prjrep::AutoPtr<IHdlNetListNode>>;
using NetListRuns = std::vector<std::shared_ptr<const NetListRun>>;

// A node of the design graph: `unit` may be null (the root, or an instance bound to nothing).
Prjrep::AutoRelease<IHdlNetListNode> NewNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit,
                                                    NetListRuns children);

// Makes a node's children; called once, when they are first asked for.
using NetListChildren = std::function<NetListRun()>;
// A node whose children are made by `children` when first asked for.
Prjrep::AutoRelease<IHdlNetListNode> NewNetListNode(std::string path, std::string instanceName, CitI::IInterface* unit,
                                                    NetListChildren children);

}  // namespace Hvd
