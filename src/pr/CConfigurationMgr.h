#pragma once

#include <list>

#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "pr/PRShared.h"

namespace Hvd {

using CConfigurationSetHelper =
    TRefdSequenceSetHelper<IConfiguration*, IConfigurationSet, IConfigurationIterator, std::list<IConfiguration*>>;
using CPlainPRModuleSetHelper =
    TRefdSequenceSetHelper<IPRModule*, IPRModuleSet, IPRModuleIterator, std::list<IPRModule*>>;

// The configuration manager of a static project: its reconfigurable modules, its
// configurations and the one that is active.
class CConfigurationMgr : public TComponent<CConfigurationMgr> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationMgr(); }

  CConfigurationMgr();
  CConfigurationMgr(const CConfigurationMgr&) = delete;
  CConfigurationMgr& operator=(const CConfigurationMgr&) = delete;

  auto QueryTable() {
    return Table(Row<IConfigurationManager>(&m_XIConfigurationManager), Row<Prjrep::IAutoNaming>(&m_XIAutoNaming),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IName>(&m_name), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<IProjectCompReference>(&m_XIProjectCompReference), Row<IProjectReference>(&m_XIProjectReference),
                 Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IEventReceiver>(&m_eventReceiver),
                 Row<CitI::IInterface>(&m_XIConfigurationManager), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<IPRModuleManager>(&m_XIPRModuleManager));
  }

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  // The module set of a manager: removing a module closes its project first.
  class CPRModuleSetHelper final : public CPlainPRModuleSetHelper {
   public:
    CPRModuleSetHelper() = default;
    ~CPRModuleSetHelper() override = default;
    using CPlainPRModuleSetHelper::Remove;
    Status Remove(IPRModuleIterator* iterator) override;
  };

  // The sets, made again (and said so) when a teardown took them.
  IConfigurationSet* Configurations();
  IPRModuleSet* Modules();
  // Whether two configurations are one: by their projects' paths, and by identity while
  // either has none, so that two unbound configurations are never taken as the same.
  static bool IsSameConfiguration(CitI::IInterface* first, CitI::IInterface* second);
  // Finds `configuration` in the set; the iterator stands on it.
  Prjrep::AutoRelease<IConfigurationIterator> FindMember(IConfiguration* configuration);
  void SetProject(IProject* project, Status& result);
  void RefreshProjectName();
  static void EnsurePartition(IProject* project, const Port::StringBase<char>& instancePath);

  struct XIConfigurationManager : TNested<CConfigurationMgr, IConfigurationManager> {
    using TNested::TNested;
    Status GetConfigurations(IConfigurationIterator** configurations) override;
    Status CreateConfiguration(IConfiguration** configuration) override;
    Status AddConfiguration(IConfiguration* configuration) override;
    Status ReservedOperation4() override { return kNotSupported; }
    Status SetActiveConfiguration(IConfiguration* configuration) override;
    Status GetActiveConfiguration(IConfiguration** configuration) override;
    Status ReservedOperation7() override { return kNotSupported; }
    Status ReservedOperation8() override { return kNotSupported; }
    Status RemovePRModule(IPRModule* module) override;
    Status RemoveConfiguration(IConfiguration* configuration) override;
    Status RemoveFlavor(IFlavor* flavor) override;
  } m_XIConfigurationManager{this};

  struct XIPRModuleManager : TNested<CConfigurationMgr, IPRModuleManager> {
    using TNested::TNested;
    Status GetPRModules(IPRModuleIterator** modules) override;
    Status CreatePRModule(const Port::StringBase<char>& instancePath, IPRModule** module) override;
    Status RemovePRModule(IPRModule* module) override;
    Status FindPRModule(const Port::StringBase<char>& instancePath, IPRModule** module) override;
  } m_XIPRModuleManager{this};

  struct XIAutoNaming : TNested<CConfigurationMgr, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Status GetAutonym(Prjrep::IAutonym** autonym) override;
  } m_XIAutoNaming{this};

  Prjrep::TPersistHelper<CConfigurationMgr> m_persist{this};

  struct XIProjectCompReference : TNested<CConfigurationMgr, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override;
    Status GetProject(IProject** project) override;
  } m_XIProjectCompReference{this};

  struct XIProjectReference : TNested<CConfigurationMgr, IProjectReference> {
    using TNested::TNested;
    Status GetProjectFileName(Port::StringBase<char>* path) override;
    Status SetProjectFileName(const Port::StringBase<char>& path) override;
  } m_XIProjectReference{this};
  Port::StringBase<char> m_projectName;

  struct XICompAdmin : TNested<CConfigurationMgr, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return kNotSupported; }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kNotSupported; }
    Status RegisterForNotifications() override { return kNotSupported; }
    Status Teardown() override;
  } m_XICompAdmin{this};

  Prjrep::CNameHelper m_name{this};
  Prjrep::TRefCountHelper<CConfigurationMgr> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  pr::TComponentReceiver<CConfigurationMgr> m_eventReceiver{this};
  // Declared so that the project goes first and the configuration set last.
  Prjrep::AutoRelease<IConfigurationSet> m_configurations;
  Prjrep::AutoRelease<IPRModuleSet> m_modules;
  Prjrep::AutoPtr<IConfiguration> m_active;
  Prjrep::AutoPtr<IProject> m_project;
};

}  // namespace Hvd
