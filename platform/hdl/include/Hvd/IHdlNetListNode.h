#pragma once
// The instance nodes of an elaborated HDL netlist, built by the HDL parser component: a tree in
// which every node names its design unit and its instance.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

// The children of one netlist node.
class IHdlNetListNodeIterator : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A9DBA847-511F-43e1-B23B-ECB6D9013DE5}")

  // The child under the cursor, without a reference; null when done.
  virtual CitI::IInterface* CurrentItem() = 0;
  // Back to the first child.
  virtual Hvd::Status First() = 0;
  // One child on; 0 when already done.
  virtual Hvd::Status Next() = 0;
  // True past the last child.
  virtual bool IsDone() = 0;
};

// A node also answers UtilI::ITclCollectable, whose name is its instance path.
class IHdlNetListNode : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D12022E4-0490-4fe5-9900-1AFFCFE91CDD}")

  // An iterator over the node's children, with one reference; 1 on success.
  virtual Hvd::Status GetChildren(IHdlNetListNodeIterator** children) = 0;
  // The parser's own operation in this place; nothing in this library calls it.
  virtual Hvd::Status ReservedOperation3() = 0;
  // The node's design unit (it answers Prjrep::IName, IDesignUnit and IHdlElement) with one
  // reference, or null.
  virtual CitI::IInterface* GetDesignUnit() = 0;
  // The parser's own operation in this place; nothing in this library calls it.
  virtual Hvd::Status ReservedOperation5() = 0;
  // The node's instance name; empty for a top-level instance.
  virtual Hvd::Status GetInstanceName(Port::StringBase<char>* name) = 0;
};

}  // namespace Hvd
