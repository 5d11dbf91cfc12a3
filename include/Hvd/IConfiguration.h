#pragma once
// Partial-reconfiguration components as other components reach them.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Hvd/IProject.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

class IConfigurationElement;
class IConfigurationElementIterator;
class IFlavor;
class IFlavorSet;
class IPRModule;

class IConfiguration : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{18469541-98f8-44bd-be25-dde97aed59bb}")

  virtual Hvd::Status GetElements(IConfigurationElementIterator** elements) = 0;
  virtual Hvd::Status GetProject(IProject** project) = 0;
};

class IConfigurationIterator : public Prjrep::TIIterator<IConfiguration*> {
 public:
  CITI_DECLARE_IID("{6caa6968-111a-4fdf-9502-597791230c15}")
};

class IConfigurationSet : public Prjrep::TISet<IConfiguration*, IConfigurationIterator> {
 public:
  CITI_DECLARE_IID("{b1ec0b38-a610-4788-b25e-bf10ee7f64fc}")
};

// What the configuration manager alone does to a configuration.
class IConfigurationPrivate : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B970C4F0-0897-4E57-8EF3-D3BF3A25F62C}")

  // Binds the configuration to its project; 0 when no autonym can be made of it.
  virtual Hvd::Status Initialize(CitI::IInterface* project) = 0;
  // Appends an element for `module`, or the static element for null.
  virtual Hvd::Status CreateElement(IPRModule* module, IConfigurationElement** element) = 0;
  virtual Hvd::Status RemoveElementForPRModule(CitI::IInterface* module) = 0;
};

// One line of a configuration: the flavor chosen for one module, or the static project.
class IConfigurationElement : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7FC5A9CD-5641-43AF-A4A8-561E7CEFA060}")

  virtual Hvd::Status GetIsStatic(bool* isStatic) = 0;
  virtual Hvd::Status GetPRModule(IPRModule** module) = 0;
  // The flavor, or the static project on the static element.
  virtual Hvd::Status GetFlavor(CitI::IInterface** flavor) = 0;
};

class ISettableConfigurationElement : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{78B8A5F4-40FA-4B92-A99B-5D7B17CC0F3A}")

  virtual Hvd::Status SetIsStatic(bool isStatic) = 0;
  virtual Hvd::Status SetPRModule(Prjrep::IAutonym* module) = 0;
  virtual Hvd::Status SetFlavor(CitI::IInterface* flavor) = 0;
};

class IConfigurationElementIterator : public Prjrep::TIIterator<IConfigurationElement*> {
 public:
  CITI_DECLARE_IID("{7ABD6E82-44F7-45E2-A3A4-80C3307A21E9}")
};

class IConfigurationElementSet : public Prjrep::TISet<IConfigurationElement*, IConfigurationElementIterator> {
 public:
  CITI_DECLARE_IID("{5F812214-2039-462A-9A4A-9D6E89C3E308}")
};

// The configurations of a project.
class IConfigurationManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A8B589A5-32B1-4515-A463-D09D4A53BD5E}")

  // A new iterator over the configurations, with one reference for the caller.
  virtual Hvd::Status GetConfigurations(IConfigurationIterator** configurations) = 0;
  virtual Hvd::Status CreateConfiguration(IConfiguration** configuration) = 0;
  virtual Hvd::Status AddConfiguration(IConfiguration* configuration) = 0;
  virtual Hvd::Status ReservedOperation4() = 0;
  // Null deactivates.
  virtual Hvd::Status SetActiveConfiguration(IConfiguration* configuration) = 0;
  virtual Hvd::Status GetActiveConfiguration(IConfiguration** configuration) = 0;
  virtual Hvd::Status ReservedOperation7() = 0;
  virtual Hvd::Status ReservedOperation8() = 0;
  virtual Hvd::Status RemovePRModule(IPRModule* module) = 0;
  virtual Hvd::Status RemoveConfiguration(IConfiguration* configuration) = 0;
  virtual Hvd::Status RemoveFlavor(IFlavor* flavor) = 0;
};

class IFlavor : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6fbc0526-d578-45e9-a802-9e41dd6fcc36}")

  virtual Hvd::Status GetText(Port::StringBase<char>* text) = 0;
  virtual Hvd::Status GetPRModule(CitI::IInterface** module) = 0;
  virtual Hvd::Status GetProject(IProject** project) = 0;
};

class IPRModule : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{00f12fab-c9ae-4d51-8937-f9a40004a222}")

  // The module's instance path, which names it.
  virtual Hvd::Status GetInstancePath(Port::StringBase<char>& path) = 0;
  virtual Hvd::Status GetAuxiliaryString(Port::StringBase<char>& text) = 0;
  virtual Hvd::Status GetFlavorSet(IFlavorSet** flavors) = 0;
  virtual Hvd::Status GetActiveFlavor(IFlavor** flavor) = 0;
  virtual Hvd::Status SetActiveFlavor(IFlavor* flavor) = 0;
  virtual Hvd::Status FindFlavorWithGivenName(const Port::StringBase<char>& name, IFlavor** flavor) = 0;
};

class IPRModuleIterator : public Prjrep::TIIterator<IPRModule*> {
 public:
  CITI_DECLARE_IID("{f5de0774-7b18-4a92-ac3d-b5f06258ca4e}")
};

class IPRModuleSet : public Prjrep::TISet<IPRModule*, IPRModuleIterator> {
 public:
  CITI_DECLARE_IID("{6a9eddd3-9ab4-4618-9bbc-eddd25157814}")
};

class ISettablePRModule : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D0B88ACF-20C7-4156-AE21-7CA36F0A4480}")

  virtual Hvd::Status SetInstancePath(const Port::StringBase<char>& path) = 0;
  virtual Hvd::Status SetAuxiliaryString(const Port::StringBase<char>& text) = 0;
  virtual Hvd::Status AddFlavor(IFlavor* flavor) = 0;
  virtual Hvd::Status RemoveFlavor(IFlavor* flavor) = 0;
  // Holds the flavor without announcing it to the registry.
  virtual Hvd::Status SetActiveFlavor(IFlavor* flavor) = 0;
};

// The reconfigurable modules of a project.
class IPRModuleManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{54f08d8b-ce71-4518-8e51-a5ceb1dd4e46}")

  virtual Hvd::Status GetPRModules(IPRModuleIterator** modules) = 0;
  virtual Hvd::Status CreatePRModule(const Port::StringBase<char>& instancePath, IPRModule** module) = 0;
  virtual Hvd::Status RemovePRModule(IPRModule* module) = 0;
  virtual Hvd::Status FindPRModule(const Port::StringBase<char>& instancePath, IPRModule** module) = 0;
};

// Properties of a module or flavor; no component of the library offers them.
class IPRProperties : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A9BD5A4D-CA03-4FAD-BEDB-081FD4FBB356}")

  virtual Hvd::Status ReservedOperation1() = 0;
  virtual Hvd::Status ReservedOperation2() = 0;
  virtual Hvd::Status ReservedOperation3() = 0;
};

class IFlavorIterator : public Prjrep::TIIterator<IFlavor*> {
 public:
  CITI_DECLARE_IID("{c0312bd2-0199-4f8e-bb1d-36f91e96321e}")
};

class IFlavorSet : public Prjrep::TISet<IFlavor*, IFlavorIterator> {
 public:
  CITI_DECLARE_IID("{61b48331-e045-4914-96bb-948ccb38539a}")
};

class ISettableFlavor : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{771683A5-E793-4F71-AD37-600F45B50BD7}")

  virtual Hvd::Status SetText(const Port::StringBase<char>& text) = 0;
  virtual Hvd::Status SetPRModule(Prjrep::IAutonym* module) = 0;
  // Binds the flavor to its project; 0 when no autonym can be made of it.
  virtual Hvd::Status SetProject(CitI::IInterface* project) = 0;
};

// Partial-reconfiguration services that work on a whole project.
class IPRSolutionHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{1C0A7EEE-5297-4018-BCC4-C8D05742BA2F}")

  virtual Hvd::Status RunTclCommand(const Port::StringBase<char>& command, bool appendThis) = 0;
  virtual Hvd::Status GetConfigManager(CitI::IInterface* context, bool createWhenMissing,
                                         CitI::IInterface** manager) = 0;
  virtual Hvd::Status CreateConfigManager(CitI::IInterface* context, CitI::IInterface** manager) = 0;
  // The object registered under `name` for the repository `repository`.
  virtual Hvd::Status FindRepositoryObject(const Port::StringBase<char>& repository,
                                             const Port::StringBase<char>& name, CitI::IInterface** object) = 0;
  virtual Hvd::Status CreateHvdProject(CitI::IInterface* parent, const Port::StringBase<char>& file,
                                         CitI::IInterface** project) = 0;
  virtual Hvd::Status GetContextFullPath(CitI::IInterface* context, Port::StringBase<char>* path) = 0;
  virtual Hvd::Status GetContextProject(CitI::IInterface* context, CitI::IInterface** project) = 0;
};

// Configurations made, found, deleted and edited by name, for the suite's Tcl layer.
class IConfigurationHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{1ff5279d-1281-42fe-b172-5db647f28923}")

  // `flavors` names flavors separated by "|"; each module takes the earliest of its own.
  virtual Hvd::Status CreateConfigurationFromFlavorList(CitI::IInterface* context, const Port::StringBase<char>& name,
                                                          const Port::StringBase<char>& flavors,
                                                          IConfiguration** configuration) = 0;
  // The n-th flavor name is chosen for the module at the n-th instance path.
  virtual Hvd::Status CreateConfigurationFromFlavorAndInstPathList(CitI::IInterface* context,
                                                                     const Port::StringBase<char>& name,
                                                                     Prjrep::IStringIterator* flavors,
                                                                     Prjrep::IStringIterator* instancePaths,
                                                                     IConfiguration** configuration) = 0;
  virtual Hvd::Status FindNamedConfiguration(CitI::IInterface* context, const Port::StringBase<char>& name,
                                               IConfiguration** configuration) = 0;
  virtual Hvd::Status DeleteNamedConfiguration(CitI::IInterface* context, const Port::StringBase<char>& name) = 0;
  virtual Hvd::Status AssignReconfigurableModuleToConfiguration(CitI::IInterface* context,
                                                                  const Port::StringBase<char>& configuration,
                                                                  const Port::StringBase<char>& flavor) = 0;
};

// Flavors made for instance paths or modules, found and deleted by name.
class IFlavorHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5E63C7F5-630D-4424-8100-A024A4FC9D8D}")

  virtual Hvd::Status CreateFlavorFromInstPath(CitI::IInterface* context, const Port::StringBase<char>& name,
                                                 const Port::StringBase<char>& instancePath, IFlavor** flavor) = 0;
  virtual Hvd::Status CreateFlavorFromPRModule(CitI::IInterface* context, const Port::StringBase<char>& name,
                                                 IPRModule* module, IFlavor** flavor) = 0;
  // 1 whenever `flavor` is given; it stays empty when none is found. An empty instance path
  // searches every module.
  virtual Hvd::Status FindNamedFlavor(const Port::StringBase<char>& name, const Port::StringBase<char>& instancePath,
                                        IFlavor** flavor) = 0;
  virtual Hvd::Status DeleteNamedFlavor(CitI::IInterface* context, const Port::StringBase<char>& name) = 0;
};

}  // namespace Hvd
