#pragma once

#include <list>

#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Prjrep/IActivatible.h"
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

using CConfigurationElementSetHelper =
    TRefdSequenceSetHelper<IConfigurationElement*, IConfigurationElementSet, IConfigurationElementIterator,
                           std::list<IConfigurationElement*>>;

// One partial-reconfiguration configuration: the static element and one element per
// module, and a project of its own.
class CConfiguration : public TComponent<CConfiguration> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Configuration(); }

  CConfiguration();
  CConfiguration(const CConfiguration&) = delete;
  CConfiguration& operator=(const CConfiguration&) = delete;
  ~CConfiguration() override;

  auto QueryTable() {
    return Table(Row<IConfiguration>(&m_XIConfiguration), Row<IConfigurationPrivate>(&m_XIConfigurationPrivate),
                 Row<ICompositionControl>(&m_XICompositionControl), Row<Prjrep::IActivatible>(&m_XIActivatible),
                 Row<Prjrep::IName>(&m_name), Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IEventReceiver>(&m_eventReceiver),
                 Row<Prjrep::IAutoNaming>(&m_XIAutoNaming), Row<IProjectCompReference>(&m_XIProjectCompReference),
                 Row<IProjectReference>(&m_XIProjectReference), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<CitI::IInterface>(&m_XIConfiguration));
  }

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  Status Initialize(CitI::IInterface* project);
  Status GetProject(IProject** project);
  // The static project's configuration manager, through the static element's project.
  Prjrep::AutoRelease<CitI::IInterface> FindConfigManager();
  // Tells every element that the configuration lets go of it.
  void ReleaseElements();
  // The object of the static element, as a project; empty without one.
  Prjrep::AutoRelease<IProject> StaticProject();
  // Carries the static project's properties into the configuration's project, but those
  // that stay the configuration's own.
  void CopyConfigurationProperties();

  struct XIConfiguration : TNested<CConfiguration, IConfiguration> {
    using TNested::TNested;
    Status GetElements(IConfigurationElementIterator** elements) override;
    Status GetProject(IProject** project) override { return This().GetProject(project); }
  } m_XIConfiguration{this};

  struct XIConfigurationPrivate : TNested<CConfiguration, IConfigurationPrivate> {
    using TNested::TNested;
    Status Initialize(CitI::IInterface* project) override { return This().Initialize(project); }
    Status CreateElement(IPRModule* module, IConfigurationElement** element) override;
    Status RemoveElementForPRModule(CitI::IInterface* module) override;
  } m_XIConfigurationPrivate{this};

  struct XICompositionControl : TNested<CConfiguration, ICompositionControl> {
    using TNested::TNested;
    Status Compose(CitI::IInterface* argument) override;
    Status Decompose(CitI::IInterface* argument) override;
  } m_XICompositionControl{this};

  struct XIActivatible : TNested<CConfiguration, Prjrep::IActivatible> {
    using TNested::TNested;
    Status ReservedOperation1() override { return kNotSupported; }
    Status ReservedOperation2() override { return kNotSupported; }
  } m_XIActivatible{this};

  pr::CPathComponentNameHelper m_name{this};
  Prjrep::TPersistHelper<CConfiguration> m_persist{this};
  Prjrep::TRefCountHelper<CConfiguration> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  pr::TComponentReceiver<CConfiguration> m_eventReceiver{this};

  struct XIAutoNaming : TNested<CConfiguration, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Status GetAutonym(Prjrep::IAutonym** autonym) override;
  } m_XIAutoNaming{this};

  struct XIProjectCompReference : TNested<CConfiguration, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override { return This().Initialize(project); }
    Status GetProject(IProject** project) override { return This().GetProject(project); }
  } m_XIProjectCompReference{this};

  struct XIProjectReference : TNested<CConfiguration, IProjectReference> {
    using TNested::TNested;
    Status GetProjectFileName(Port::StringBase<char>* path) override;
    Status SetProjectFileName(const Port::StringBase<char>&) override { return kSuccess; }
  } m_XIProjectReference{this};

  struct XICompAdmin : TNested<CConfiguration, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return kNotSupported; }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kNotSupported; }
    Status RegisterForNotifications() override { return kNotSupported; }
    Status Teardown() override;
  } m_XICompAdmin{this};

  Prjrep::AutoRelease<IConfigurationElementSet> m_elements;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_project;
};

}  // namespace Hvd
