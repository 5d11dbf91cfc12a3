#pragma once

#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The partial-reconfiguration helper the suite's Tcl layer calls: configurations from flavor
// lists and instance paths, flavors for instance paths and modules, the configuration manager
// of a project and the separate projects of configurations and flavors. It keeps no state:
// every operation works on what it is given or finds.
class CPRHelper : public TComponent<CPRHelper> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRHelper(); }

  CPRHelper() = default;
  CPRHelper(const CPRHelper&) = delete;
  CPRHelper& operator=(const CPRHelper&) = delete;

  auto QueryTable() {
    return Table(Row<IConfigurationHelper>(&m_XIConfigurationHelper), Row<IFlavorHelper>(&m_XIFlavorHelper),
                 Row<IPRSolutionHelper>(&m_XIPRSolutionHelper), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIConfigurationHelper));
  }

  // Gives the device settings of `source`'s design platform to `destination`'s, property by
  // property, each found by its name.
  Status PushDesignPlatformProps(CitI::IInterface* source, IProject* destination);

 private:
  using String = Port::StringBase<char>;

  struct XIConfigurationHelper : TNested<CPRHelper, IConfigurationHelper> {
    using TNested::TNested;
    Status CreateConfigurationFromFlavorList(CitI::IInterface* context, const String& name, const String& flavors,
                                             IConfiguration** configuration) override;
    Status CreateConfigurationFromFlavorAndInstPathList(CitI::IInterface* context, const String& name,
                                                        Prjrep::IStringIterator* flavors,
                                                        Prjrep::IStringIterator* instancePaths,
                                                        IConfiguration** configuration) override;
    Status FindNamedConfiguration(CitI::IInterface* context, const String& name,
                                  IConfiguration** configuration) override;
    Status DeleteNamedConfiguration(CitI::IInterface* context, const String& name) override;
    Status AssignReconfigurableModuleToConfiguration(CitI::IInterface* context, const String& configuration,
                                                     const String& flavor) override;
  } m_XIConfigurationHelper{this};

  struct XIFlavorHelper : TNested<CPRHelper, IFlavorHelper> {
    using TNested::TNested;
    Status CreateFlavorFromInstPath(CitI::IInterface* context, const String& name, const String& instancePath,
                                    IFlavor** flavor) override;
    Status CreateFlavorFromPRModule(CitI::IInterface* context, const String& name, IPRModule* module,
                                    IFlavor** flavor) override;
    Status FindNamedFlavor(const String& name, const String& instancePath, IFlavor** flavor) override;
    Status DeleteNamedFlavor(CitI::IInterface* context, const String& name) override;
  } m_XIFlavorHelper{this};

  struct XIPRSolutionHelper : TNested<CPRHelper, IPRSolutionHelper> {
    using TNested::TNested;
    Status RunTclCommand(const String& command, bool appendThis) override;
    Status GetConfigManager(CitI::IInterface* context, bool createWhenMissing, CitI::IInterface** manager) override;
    Status CreateConfigManager(CitI::IInterface* context, CitI::IInterface** manager) override;
    Status FindRepositoryObject(const String& repository, const String& name, CitI::IInterface** object) override;
    Status CreateHvdProject(CitI::IInterface* parent, const String& file, CitI::IInterface** project) override;
    Status GetContextFullPath(CitI::IInterface* context, String* path) override;
    Status GetContextProject(CitI::IInterface* context, CitI::IInterface** project) override;
  } m_XIPRSolutionHelper{this};

  Prjrep::TRefCountHelper<CPRHelper> m_refCount{this};
};

}  // namespace Hvd
