#pragma once
// A view of a design, as other components reach it: one flow stage (a synthesis view, a
// simulation view, ...) with its files, its settings, its top unit and its compile order.

#include <cstddef>
#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IDesign;
class IHdlElaborationData;
class IHdlNetListNode;
class IHdlParserConfig;

// The oldest form of a view: its type, its design and its netlist.
class IViewV1 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D5D259D3-5640-4b87-AA31-6AF43347846C}")

  // The view's type, which answers IDefDataId; one reference for the caller. 0 when the view
  // has none.
  virtual Hvd::Status GetType(IViewType** type) = 0;
  // The view's design with one reference; 0 when it has none.
  virtual Hvd::Status GetDesign(IDesign** design) = 0;
  // The view's elaborated netlist, with one reference; the output is cleared first.
  virtual Hvd::Status GetElaborationData(IHdlElaborationData** data) = 0;
};

// The second form adds which design units the view takes and the view's place in the network.
class IViewV2 : public IViewV1 {
 public:
  CITI_DECLARE_IID("{71DA4930-DEEA-475f-A900-E1F2764A919B}")

  // `accepts` becomes true when the view's type lists the design-unit type of `object`.
  virtual Hvd::Status AcceptsDesignUnit(CitI::IInterface* object, bool* accepts) = 0;
  // The view's two sets of transform bindings, each with one reference.
  virtual Hvd::Status GetFirstBindingSet(ITransformBindingInstanceSet** set) = 0;
  virtual Hvd::Status GetSecondBindingSet(ITransformBindingInstanceSet** set) = 0;
  // The view keeps no parser configuration of its own: the output is cleared and the answer is
  // "not supported".
  virtual Hvd::Status GetParserConfig(IHdlParserConfig** config) = 0;
};

class IView : public IViewV2 {
 public:
  CITI_DECLARE_IID("{7712A3E4-8429-449a-A82C-B7A1B78F3863}")

  // The name of the top design unit.
  virtual Hvd::Status GetTopName(Port::StringBase<char>* name) = 0;
  // The instance path of the top, "/" followed by instance names.
  virtual Hvd::Status GetTopInstance(Port::StringBase<char>* path) = 0;
  // Makes the instance at `path` the view's top; 0 when the view refuses it.
  virtual Hvd::Status SetTopInstance(const Port::StringBase<char>& path) = 0;
  // A new iterator over the files in compile order for `top` (null: the view's own top).
  virtual Hvd::Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t flags, IHdlFileIterator** files) = 0;
  // `manual` becomes 1 when the user chose the top, 0 when the view chooses it.
  virtual Hvd::Status IsTopManual(std::uint32_t* manual) = 0;
  // The netlist node that the view would take as its top, with one reference; null for none.
  virtual Hvd::Status FindBestTopNode(IHdlNetListNode** node) = 0;
};

// What one view asks of another about its compile order.
class IViewInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{AE65980A-309E-4887-83C9-E89258F62C2A}")

  // Numbers the view's files anew from the parser's order for `top`; with `filter`, files
  // that the top does not need leave the order.
  virtual Hvd::Status DetermineCompileOrderAutomatically(IHdlDesignUnit* top, bool filter) = 0;
  // The next automatic request computes the order again.
  virtual Hvd::Status MarkCompileOrderDirty() = 0;
};

// The design units of a view (its source files), or a list of design units handed out.
class IHdlDesignUnitSet : public Prjrep::TISet<IHdlDesignUnit*, IHdlDesignUnitIterator> {
 public:
  CITI_DECLARE_IID("{BAE6D3D5-7643-4e4f-999A-E5AB13BD345F}")
};

class IFileIterator : public Prjrep::TIIterator<IFile*> {
 public:
  CITI_DECLARE_IID("{798BF162-69BB-4ee6-8F01-A7FAA0B41D33}")
};

// The files of a view, seen as files: adding and removing go through the view's design units.
class IFileSet : public Prjrep::TISet<IFile*, IFileIterator> {
 public:
  CITI_DECLARE_IID("{CADD1E87-E08B-45d5-9C15-C2BA0F518BBA}")
};

// Associations of HDL objects with a view. A view keeps none: it refuses every change.
class IHdlAssociationSet : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{44A85A12-A61A-4790-857C-50AF6B9F7AC9}")

  virtual Hvd::Status Add(CitI::IInterface* object) = 0;
  virtual Hvd::Status Remove(CitI::IInterface* object) = 0;
  // A new iterator with one reference; null when there is none.
  virtual Hvd::Status GetIterator(Prjrep::IIterator** associations) = 0;
  virtual std::size_t Size() = 0;
  virtual Hvd::Status Clear() = 0;
};

// What the Tcl layer asks of a view: its files as Tcl text.
class IViewTclHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{dfbd36e9-69a3-4c8d-b18b-76d29fce98f7}")

  // The view's files in compile order for `unit`, in the record layout that `mode` names.
  virtual Port::StringBase<char> GetViewHierarchy(CitI::IInterface* unit, const Port::StringBase<char>& testbench,
                                                  const Port::StringBase<char>& mode) = 0;
  // The paths of the view's files whose type is named `type`, as a Tcl list.
  virtual Port::StringBase<char> GetFilesOfType(const Port::StringBase<char>& type) = 0;
};

}  // namespace Hvd
