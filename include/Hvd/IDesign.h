#pragma once
// The design of a project and its design units.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/IProject.h"
#include "Hvd/ITransformBindingSets.h"
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

  virtual std::uint64_t GetDesignPlatform(IDesignPlatform** platform) = 0;
  virtual std::uint64_t SetDesignPlatform(IDesignPlatform* platform) = 0;
  virtual std::uint64_t GetDesignUnits(IHdlDesignUnitIterator** units) = 0;
  virtual std::uint64_t GetTOE(ITransformEngine** engine) = 0;
  virtual std::uint64_t GetDataStore(IDataStore** store) = 0;
  virtual std::uint64_t GetPropertyManager(IPropertyManager** manager) = 0;
  // The owning project with one reference; 0x100000020000001a when there is none.
  virtual std::uint64_t GetProject(IProject** project) = 0;
  virtual std::uint64_t GetDefaultParserConfig(IHdlParserConfig** config) = 0;
};

class IDesignUnit : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FC1DAF1A-F9F6-4b06-9795-E73615CD96E2}")

  virtual std::uint64_t GetDesignUnitType(IDesignUnitType** type) = 0;
  virtual std::uint64_t GetViews(IViewIterator** views) = 0;
  virtual std::uint64_t GetDesignUnitName(Port::StringBase<char>* name) = 0;
  virtual std::uint64_t SetDesignUnitName(const Port::StringBase<char>& name) = 0;
  virtual std::uint64_t GetSecondBindingSet(ITransformBindingInstanceSet** set) = 0;
  virtual std::uint64_t GetDesign(IDesign** design) = 0;
};

}  // namespace Hvd
