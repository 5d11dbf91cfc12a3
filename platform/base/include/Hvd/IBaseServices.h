#pragma once
// The base services: the data store of definitions, the property manager and its
// property instances, the device store, the Tcl evaluation service and the code-hook
// component.

#include <cstdint>
#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStorage.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

class IBaseServices : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{40EC2140-A713-46cf-B94A-089290429162}")

  // The service `id`, with one reference for the caller.
  virtual Hvd::Status GetService(const Port::XUID& id, CitI::IInterface** service) = 0;
};

// The component that gives the services, and the services it gives.
CITI_DEFINE_ID(BaseServicesClassId, "{29FEB2D7-AD7A-4dfd-9C8A-316474202823}")
CITI_DEFINE_ID(DataStoreServiceId, "{F6C1E5EB-3384-4572-A267-548A411EE0BD}")
CITI_DEFINE_ID(DeviceStoreServiceId, "{D14B7BF3-ED12-49ce-A18B-01A34B897CB6}")
CITI_DEFINE_ID(PlatformEventServiceId, "{A71051F9-3D17-4bbd-9B56-BD0D9F6FDC8A}")
CITI_DEFINE_ID(TclEvaluationServiceId, "{BB8C50E6-11C9-4fcf-A850-9B4DB2B90493}")
CITI_DEFINE_ID(PropertyManagerClassId, "{2076A846-15F7-4c41-B9A3-3B212221F25D}")
CITI_DEFINE_ID(FamilyTemplatesClassId, "{BF714223-9A6B-4924-B6FF-2A1E766569B6}")
CITI_DEFINE_ID(CodeHookClassId, "{CFE50249-341C-4e8e-A576-BD21965DEC39}")

// Evaluates Tcl commands in the suite's interpreter. Each caller gets a service of its own,
// which answers its own id.
class ITclEvaluation : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{BB8C50E6-11C9-4fcf-A850-9B4DB2B90493}")

  // Makes `object` (null allowed) reachable from Tcl as the global variable `name`.
  virtual Hvd::Status BindObject(CitI::IInterface* object, const Port::StringBase<char>& name) = 0;
  // Where each evaluation from now on writes its result, or its error text; null for
  // nowhere. The caller keeps the string alive while it evaluates.
  virtual Hvd::Status SetResultHolder(Port::StringBase<char>* result) = 0;
  // Evaluates `command` at global level; 1 when it succeeded. `flags` and `mode` are passed
  // on for the interpreter; the stand-in's interpreter needs neither.
  virtual Hvd::Status Evaluate(const Port::StringBase<char>& command, std::int32_t flags, std::int32_t mode) = 0;
};

// The definitions: found by name or by id, and stored by reference.
class IDataStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{3327C668-D163-4d81-8591-EB38990E1A7B}")

  virtual Hvd::Status FindByDefDataId(IDefDataId* id, CitI::IInterface** definition) = 0;
  virtual Hvd::Status FindPropertyTemplate(const Port::StringBase<char>& name, IPropertyTemplate** definition) = 0;
  virtual Hvd::Status FindDefData(const Port::StringBase<char>& name, CitI::IInterface** definition) = 0;
  virtual Hvd::Status ReadDefDataRef(Prjrep::IStorage* storage, CitI::IInterface** definition) = 0;
  virtual Hvd::Status WriteDefDataRef(Prjrep::IStorage* storage, CitI::IInterface* definition) = 0;
};

// The property definitions of the data store.
class IPropertyTemplateStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4DD1AADC-A53C-499c-8D03-5C792CA412B5}")

  virtual Hvd::Status GetTemplate(IDefDataId* id, IPropertyTemplate** definition) = 0;
  // Every property definition, each answering IPropertyTemplate.
  virtual Hvd::Status GetTemplates(Prjrep::IIterator** definitions) = 0;
};

// The platform types of the data store.
class IDesignPlatformTypeStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{C01C442C-9BEE-487c-A925-2160537AB4F0}")

  // One reference for the caller.
  virtual Hvd::Status GetPlatformTypes(IDesignPlatformTypeIterator** types) = 0;
};

// The view types of the data store.
class IViewTypeStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{C26F2507-6BAB-43f4-93F4-3B78B3D39C52}")

  // Every view type in the data's order, each answering IViewType; one reference for the caller.
  virtual Hvd::Status GetViewTypes(Prjrep::IIterator** types) = 0;
};

// The design-unit types of the data store.
class IDesignUnitTypeStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{55CFF712-0391-4a8a-AE29-68FEFD7365B9}")

  // The type that `id` names, with one reference; 0 and null when it names none.
  virtual Hvd::Status GetDesignUnitType(IDefDataId* id, IDesignUnitType** type) = 0;
};

// How a parser plug-in is set up for the files of a type.
class IPlugInConfig : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6a3c9e51-0d27-4b84-9f16-c2e58b7a4d03}")

  // The configuration as one string; files read alike have equal strings.
  virtual Hvd::Status GetConfigString(Port::StringBase<char>* text) = 0;
};

// The plug-in configurations of the data store, by the key a file type gives.
class IPlugInConfigStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{8FC59817-52F3-4fe2-9F86-88CA250D7F1E}")

  // The configuration of `key`, with one reference; 0 and null when there is none.
  virtual Hvd::Status GetPlugInConfig(const Port::StringBase<char>& key, IPlugInConfig** config) = 0;
};

// Runs a code hook on an object, such as a changed property instance or a removed file.
class ICodeHookInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FDD65C8C-A17C-4a08-88F8-ED2330AD9FA8}")

  virtual Hvd::Status Run(const Port::StringBase<char>& hookName, CitI::IInterface* object) = 0;
};

// The definitions that a device family adds or replaces.
class IFamilyTemplates : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4c3a2407-3d51-4d5b-a8b3-be40048c75b9}")

  // The definitions of the family that `family` (the family-template component) was told.
  virtual Hvd::Status GetFamilyTemplates(CitI::IInterface* family, Prjrep::IIterator** definitions) = 0;
};

// The family-template component: told which family it stands for.
class IFamilySelection : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9a4d2c61-0f3e-4b7a-a5d8-6e1c7b3f2094}")

  // `kind` is "PM": `value` is the family's parts-manager name.
  virtual Hvd::Status SelectFamily(const Port::StringBase<char>& kind, const Port::StringBase<char>& value) = 0;
};

class IPropertyInstance;

class IPropertyManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A5820D93-2E0C-4feb-BE76-BE93E76F0212}")

  // The instance of `definition` in `context` (null: the manager's own); one reference.
  virtual Hvd::Status GetPropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                                            IPropertyInstance** instance) = 0;
  virtual Hvd::Status CreatePropertyInstance(IPropertyTemplate* definition, CitI::IInterface* context,
                                               IPropertyInstance** instance) = 0;
};

namespace Ppm {

class IPropertyMgrInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0D1C55B2-5553-47d9-8CC0-E4D2EA6F656F}")

  virtual Hvd::Status SetProject(CitI::IInterface* project) = 0;
};

// One property as the manager keeps it; the instance is borrowed from the manager.
struct PropertyRecord {
  Port::StringBase<char> name;
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  IPropertyInstance* instance = nullptr;
};

class IPropertyFetchInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{043d4146-5534-4809-9b51-d90086f6c56a}")

  virtual Hvd::Status FetchProperties(std::vector<PropertyRecord>& records) = 0;
};

}  // namespace Ppm

// A property whose value is one of a list.
class IListPropertyInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{20BACECC-B800-45cf-89B2-F3D6E2051D09}")

  virtual Hvd::Status GetAllowedValues(Prjrep::IStringIterator** values) = 0;
};

class IBoolPropertyInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{CE8D1DB4-66AC-4afd-91CC-B8A67204FEF3}")

  virtual Hvd::Status GetBool(bool* value) = 0;
  virtual Hvd::Status SetBool(bool value) = 0;
};

// A property whose value can be locked against change.
class ILockable : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FEB25ACF-0E2C-4023-9A22-D1AB06CD6571}")

  virtual Hvd::Status Lock() = 0;
  virtual Hvd::Status IsLocked(bool* locked) = 0;
  virtual Hvd::Status Unlock() = 0;
};

// A property whose value is a file path, or a "|"-separated list of paths.
class IFilePropertyInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5ADA0FE3-591F-4c1d-9C36-F23B1043735A}")

  virtual Hvd::Status IsFileList(bool* list) = 0;
  // The paths, one string each; one reference for the caller.
  virtual Hvd::Status GetValues(Prjrep::IStringIterator** values) = 0;
};

// One entry of the device store: a family, device, package or speed.
class IDeviceEntry : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{b7f05c2e-4d18-4a63-9c0b-2e8a6f1d7c45}")

  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status GetKey(Port::StringBase<char>* key) = 0;
};

class IDeviceFieldIterator : public Prjrep::TIIterator<IDeviceEntry*> {
 public:
  CITI_DECLARE_IID("{d3a96e17-8b2c-4f05-a1e4-5c7b0d9f2a68}")
};

class IDeviceStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{55CC6788-3DC7-4bcd-936B-4D06E9DCF373}")

  virtual Hvd::Status GetEntries(IDeviceFieldIterator** entries) = 0;
  // Which of the four values this installation does not know, by names: 1 the family, 2 the
  // device (of that family), 3 the package, 4 the speed (of that device); 0 when all are
  // known. An empty package or speed is not set, and so not wrong.
  virtual Hvd::Status ValidateDevice(const Port::StringBase<char>& family, const Port::StringBase<char>& device,
                                     const Port::StringBase<char>& package, const Port::StringBase<char>& speed,
                                     std::int32_t* invalid) = 0;
};

}  // namespace Hvd
