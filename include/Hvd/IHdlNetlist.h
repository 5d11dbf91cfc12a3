#pragma once
// The elaborated HDL netlist of a view or of a parser project: compile orders and the tree of
// instance nodes, each naming its design unit and giving its instance path. A view answers these
// itself and hands them on from the parser project that mirrors its files.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IHdlNetListNode.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace UtilI {

// How an object gives its Tcl name; a netlist node's name is its instance path, hierarchy levels
// separated by "/".
class ITclCollectable : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xdae8c38b4c444839ull, 0x93666c2227a85b8eull};
    return s_iid;
  }

  // The name; 1 on success.
  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
};

}  // namespace UtilI

namespace Hvd {

class IHdlDesignUnit;
class IHdlFileIterator;

class IHdlElaborationData : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6EDDD36C-90E1-4309-8EC4-487DD6DACFAB}")

  // The instances whose unit is missing, with one reference.
  virtual Hvd::Status GetUndefinedInstances(CitI::IInterface** instances) = 0;
  // A new iterator over the files in compile order, with one reference; `top` may be null.
  virtual Hvd::Status GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) = 0;
  // The same for the files that `top` (a unit, or null) needs; `mode` is the parser's.
  virtual Hvd::Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t mode, IHdlFileIterator** files) = 0;
  // The ports of `name`, with one reference.
  virtual Hvd::Status GetPorts(const char* name, CitI::IInterface** ports) = 0;
  // The root of the netlist, with one reference; null when there is none.
  virtual Hvd::Status GetDesignGraph(IHdlNetListNode** root) = 0;
};

// The same object, able to re-elaborate on request.
class IHdlElaborationData2 : public IHdlElaborationData {
 public:
  CITI_DECLARE_IID("{5856C4F5-9CFE-4C8A-8803-326BCFE4DAA5}")

  // Takes the modified files and changed settings into account before the next request.
  virtual Hvd::Status RefreshElaboration() = 0;
};

}  // namespace Hvd
