#pragma once
// The transform engine: the network of a design's processes, in which views are bound to
// transforms and transform instances record their runs. The design creates and owns it; the
// engine also answers IBatchDelay, ITransformAccess and IStatusCalculator.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDesignUnit;
class IProject;
class ITransformInstance;
class IView;

// The component, created by class id; its root answers ITransformEngine.
CITI_DEFINE_ID(TransformEngineClassId, "{889BF57B-3B2C-4d8d-9B57-ADC934F80FA4}")

class ITransformEngine : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9355F294-9553-4191-8F77-D98337376BA0}")

  // The project whose design owns the engine.
  virtual Hvd::Status SetProject(IProject* project) = 0;
  // A design unit that the project has just gained.
  virtual Hvd::Status AddDesignUnit(IDesignUnit* unit) = 0;
  // The design's initial view; the engine builds the network of views from it.
  virtual Hvd::Status AddView(IView* view) = 0;
};

class ITransformAccess : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7779dd29-a84f-47d0-a2f6-8c4c56e36612}")

  // Drops the network (`reset` true) before the design rebuilds its views.
  virtual Hvd::Status ClearNetwork(bool reset) = 0;
  // The instance of the transform of that name, with one reference; null when there is none.
  virtual Hvd::Status FindTransformInstance(const Port::StringBase<char>& name, ITransformInstance** instance) = 0;
};

// Computes the instances' statuses from their runs; called after recorded runs are read back.
class IStatusCalculator : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{39062320-5cf2-4c13-95fb-e44c026b40f3}")

  // Switches the calculation on or off.
  virtual Hvd::Status SetCalculationEnabled(bool enabled) = 0;
  // Forgets calculated statuses before recorded ones are read back.
  virtual Hvd::Status ClearCalculatedStatus() = 0;
  // Calculates every instance's status.
  virtual Hvd::Status CalculateStatus() = 0;
};

}  // namespace Hvd
