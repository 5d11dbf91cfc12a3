#pragma once
// Partial-reconfiguration components as other components reach them.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Hvd/IProject.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IConfigurationElementIterator;
class IFlavor;
class IFlavorSet;

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

// The configurations of a project.
class IConfigurationManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A8B589A5-32B1-4515-A463-D09D4A53BD5E}")

  // A new iterator over the configurations, with one reference for the caller.
  virtual Hvd::Status GetConfigurations(IConfigurationIterator** configurations) = 0;
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

}  // namespace Hvd
