#pragma once
// The design of a project and its design units.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/IProject.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDataStore;
class IDesignPlatform;
class IHdlDesignUnitIterator;
class IHdlParserConfig;
class IPropertyManager;
class ITransformEngine;
class IViewIterator;

class IDesign : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{3B5E41B0-5054-46c6-AF47-85275B8A76C2}")

  virtual Hvd::Status GetDesignPlatform(IDesignPlatform** platform) = 0;
  virtual Hvd::Status SetDesignPlatform(IDesignPlatform* platform) = 0;
  virtual Hvd::Status GetDesignUnits(IHdlDesignUnitIterator** units) = 0;
  virtual Hvd::Status GetTOE(ITransformEngine** engine) = 0;
  virtual Hvd::Status GetDataStore(IDataStore** store) = 0;
  virtual Hvd::Status GetPropertyManager(IPropertyManager** manager) = 0;
  // The owning project with one reference; 0x100000020000001a when there is none.
  virtual Hvd::Status GetProject(IProject** project) = 0;
  virtual Hvd::Status GetDefaultParserConfig(IHdlParserConfig** config) = 0;
};

// What the project asks of its design around a close or a reload.
class IDesignInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{1848A991-8023-41fa-8B23-514CD44EA8E8}")

  // Empties the design for a reload: views, transform engine, property manager and the
  // design's own properties go; the project, the design platform and the receivers stay.
  virtual Hvd::Status PartialTeardown() = 0;
  // While off, a rebuild of the views sends no views-changed event; the project sends it
  // itself once it has read its file again.
  virtual Hvd::Status DisableViewsChangedEvent() = 0;
  virtual Hvd::Status EnableViewsChangedEvent() = 0;
};

class IDesignUnit : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FC1DAF1A-F9F6-4b06-9795-E73615CD96E2}")

  virtual Hvd::Status GetDesignUnitType(IDesignUnitType** type) = 0;
  virtual Hvd::Status GetViews(IViewIterator** views) = 0;
  virtual Hvd::Status GetDesignUnitName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status SetDesignUnitName(const Port::StringBase<char>& name) = 0;
  virtual Hvd::Status GetSecondBindingSet(ITransformBindingInstanceSet** set) = 0;
  virtual Hvd::Status GetDesign(IDesign** design) = 0;
};

}  // namespace Hvd
