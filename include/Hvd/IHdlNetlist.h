#pragma once
// The elaborated HDL netlist that the parser component builds for a view: a tree of instance nodes,
// each naming its design unit and giving its instance path.

#include <cstdint>

#include "CitI/IInterface.h"
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

  // 1 on success.
  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
};

}  // namespace UtilI

namespace Hvd {

class IHdlFileIterator;

// The children of one netlist node.
class IHdlNetListNodeIterator : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A9DBA847-511F-43e1-B23B-ECB6D9013DE5}")

  // The child under the cursor, without a reference; null when done.
  virtual CitI::IInterface* CurrentItem() = 0;
  virtual Hvd::Status First() = 0;
  virtual Hvd::Status Next() = 0;
  virtual bool IsDone() = 0;
};

class IHdlNetListNode : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D12022E4-0490-4fe5-9900-1AFFCFE91CDD}")

  // An iterator over the node's children, with one reference; 1 on success.
  virtual Hvd::Status GetChildren(IHdlNetListNodeIterator** children) = 0;
  // The parser's own operation in this place; nothing in this library calls it.
  virtual Hvd::Status ReservedOperation() = 0;
  // The node's design unit (it answers Prjrep::IName) with one reference, or null.
  virtual CitI::IInterface* GetDesignUnit() = 0;
};

class IHdlElaborationData : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6EDDD36C-90E1-4309-8EC4-487DD6DACFAB}")

  virtual Hvd::Status GetUndefinedInstances(CitI::IInterface** instances) = 0;
  virtual Hvd::Status GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) = 0;
  virtual Hvd::Status GetCompileOrder(IHdlNetListNode* top, std::int32_t mode, IHdlFileIterator** files) = 0;
  virtual Hvd::Status GetPorts(const char* name, CitI::IInterface** ports) = 0;
  // The root of the netlist, with one reference; null when there is none.
  virtual Hvd::Status GetDesignGraph(IHdlNetListNode** root) = 0;
};

}  // namespace Hvd
