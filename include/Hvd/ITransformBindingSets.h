#pragma once
// The two sets of transform bindings that every file and every view keeps.

#include <cstdint>

#include "Hvd/ITransformBindingInstance.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStorage.h"

namespace Hvd {

class ITransformBindingInstanceIterator : public Prjrep::TIIterator<ITransformBindingInstance*> {
 public:
  CITI_DECLARE_IID("{51847251-BCBB-4505-86F6-4E33635FEBED}")
};

class ITransformBindingInstanceSet
    : public Prjrep::TISet<ITransformBindingInstance*, ITransformBindingInstanceIterator> {
 public:
  CITI_DECLARE_IID("{5D668616-2130-473f-87CA-0293AEC8F386}")
};

class ITransformBindingSets : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B274802E-4516-46f7-8C43-C72662B53265}")

  // Each set with one reference for the caller.
  virtual Hvd::Status GetFirstBindingSet(ITransformBindingInstanceSet** set) = 0;
  virtual Hvd::Status GetSecondBindingSet(ITransformBindingInstanceSet** set) = 0;
  // Both sets in turn, as part of the owner's own load and save.
  virtual Hvd::Status PersistLoad(Prjrep::IStorage* storage) = 0;
  virtual Hvd::Status PersistSave(Prjrep::IStorage* storage) = 0;
};

}  // namespace Hvd
