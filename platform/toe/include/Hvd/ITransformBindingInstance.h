#pragma once
// A binding of the transform engine: it ties objects on its two sides (views, files) to transform
// instances and leads to the views downstream.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class ITransformInstanceIterator;

// The binding component, created by class id when a stored binding is read back.
CITI_DEFINE_ID(TransformBindingClassId, "{2c957c72-71c3-4151-8d85-d6313b021609}")

class ITransformBindingInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4E3EFC7C-3722-410c-8A19-4A8A72DA125F}")

  // The binding's definition (it answers IDefDataObsolete), with one reference.
  virtual Hvd::Status GetDefinition(CitI::IInterface** definition) = 0;
  // A new iterator over the binding's transform instances, with one reference.
  virtual Hvd::Status GetTransformInstances(ITransformInstanceIterator** instances) = 0;
  // A new iterator over the objects (views) the binding leads to, with one reference.
  virtual Hvd::Status GetTargets(Prjrep::IIterator** targets) = 0;
  // The engine's own operation in this place; nothing in this library calls it.
  virtual Hvd::Status ReservedOperation5() = 0;
  // The objects (views, files) that hold the binding in their second set, with one reference.
  virtual Hvd::Status GetSecondSideObjects(Prjrep::ISet** objects) = 0;
  // The objects that hold the binding in their first set, with one reference.
  virtual Hvd::Status GetFirstSideObjects(Prjrep::ISet** objects) = 0;
};

}  // namespace Hvd
