#pragma once

#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Prjrep/IAutonym.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "pr/PRShared.h"

namespace Hvd {

// One element of a configuration: the flavor chosen for one module, or, on the static
// element, the static project. Its references are autonyms, resolved on each read.
class CConfigurationElement : public TComponent<CConfigurationElement> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationElement(); }

  CConfigurationElement() = default;
  CConfigurationElement(const CConfigurationElement&) = delete;
  CConfigurationElement& operator=(const CConfigurationElement&) = delete;

  auto QueryTable() {
    return Table(Row<IConfigurationElement>(&m_XIConfigurationElement), Row<Prjrep::IName>(&m_name),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IEventReceiver>(&m_eventReceiver),
                 Row<IProjectCompReference>(&m_XIProjectCompReference),
                 Row<ISettableConfigurationElement>(&m_XISettableConfigurationElement),
                 Row<ICompositionControl>(&m_XICompositionControl), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<CitI::IInterface>(&m_XIConfigurationElement));
  }

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  // Adds the flavor's project to the configuration's project through its Cvf helper.
  Status ComposeFlavor();

  struct XIConfigurationElement : TNested<CConfigurationElement, IConfigurationElement> {
    using TNested::TNested;
    Status GetIsStatic(bool* isStatic) override;
    Status GetPRModule(IPRModule** module) override;
    Status GetFlavor(CitI::IInterface** flavor) override;
  } m_XIConfigurationElement{this};

  struct XIProjectCompReference : TNested<CConfigurationElement, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override;
    Status GetProject(IProject** project) override;
  } m_XIProjectCompReference{this};

  struct XISettableConfigurationElement : TNested<CConfigurationElement, ISettableConfigurationElement> {
    using TNested::TNested;
    Status SetIsStatic(bool isStatic) override;
    Status SetPRModule(Prjrep::IAutonym* module) override;
    Status SetFlavor(CitI::IInterface* flavor) override;
  } m_XISettableConfigurationElement{this};

  struct XICompositionControl : TNested<CConfigurationElement, ICompositionControl> {
    using TNested::TNested;
    Status Compose(CitI::IInterface*) override;
    Status Decompose(CitI::IInterface*) override { return kSuccess; }
  } m_XICompositionControl{this};

  struct XICompAdmin : TNested<CConfigurationElement, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* configuration, CitI::IInterface*) override;
    Status InitializeAfterLoad(CitI::IInterface* configuration) override;
    Status RegisterForNotifications() override { return kNotSupported; }
    Status Teardown() override;
  } m_XICompAdmin{this};

  Prjrep::CNameHelper m_name{this};
  Prjrep::TPersistHelper<CConfigurationElement> m_persist{this};
  Prjrep::TRefCountHelper<CConfigurationElement> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  pr::TComponentReceiver<CConfigurationElement> m_eventReceiver{this};
  bool m_isStatic = false;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_module;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_flavor;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_project;
  // Borrowed: the configuration owns the element and lets go of it (through Teardown)
  // before it goes.
  IConfiguration* m_configuration = nullptr;
};

}  // namespace Hvd
