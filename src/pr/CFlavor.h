#pragma once

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
#include "pr/PRShared.h"

namespace Hvd {

// One flavor of a reconfigurable module: a named variant with a project of its own.
class CFlavor : public TComponent<CFlavor> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Flavor(); }

  CFlavor() = default;
  CFlavor(const CFlavor&) = delete;
  CFlavor& operator=(const CFlavor&) = delete;

  auto QueryTable() {
    return Table(Row<IFlavor>(&m_XIFlavor), Row<ISettableFlavor>(&m_XISettableFlavor),
                 Row<IPRProperties>(&m_XIPRProperties), Row<IProjectReference>(&m_XIProjectReference),
                 Row<IProjectCompReference>(&m_XIProjectCompReference), Row<Prjrep::IAutoNaming>(&m_XIAutoNaming),
                 Row<ICompAdmin>(&m_XICompAdmin), Row<Prjrep::IName>(&m_name), Row<Prjrep::IPersist>(&m_persist),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IEventSender>(&m_eventSender),
                 Row<Prjrep::IEventReceiver>(&m_eventReceiver), Row<CitI::IInterface>(&m_XIFlavor));
  }

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  Status SetProject(CitI::IInterface* project);
  Status GetProject(IProject** project);

  struct XIFlavor : TNested<CFlavor, IFlavor> {
    using TNested::TNested;
    Status GetText(Port::StringBase<char>* text) override;
    Status GetPRModule(CitI::IInterface** module) override;
    Status GetProject(IProject** project) override { return This().GetProject(project); }
  } m_XIFlavor{this};

  struct XISettableFlavor : TNested<CFlavor, ISettableFlavor> {
    using TNested::TNested;
    Status SetText(const Port::StringBase<char>& text) override;
    Status SetPRModule(Prjrep::IAutonym* module) override;
    Status SetProject(CitI::IInterface* project) override { return This().SetProject(project); }
  } m_XISettableFlavor{this};

  struct XIPRProperties : TNested<CFlavor, IPRProperties> {
    using TNested::TNested;
    Status ReservedOperation1() override { return kNotSupported; }
    Status ReservedOperation2() override { return kNotSupported; }
    Status ReservedOperation3() override { return kNotSupported; }
  } m_XIPRProperties{this};

  pr::CPathComponentNameHelper m_name{this};

  struct XIProjectReference : TNested<CFlavor, IProjectReference> {
    using TNested::TNested;
    Status GetProjectFileName(Port::StringBase<char>* path) override;
    Status SetProjectFileName(const Port::StringBase<char>&) override { return kSuccess; }
  } m_XIProjectReference{this};

  Prjrep::TPersistHelper<CFlavor> m_persist{this};

  struct XIProjectCompReference : TNested<CFlavor, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override { return This().SetProject(project); }
    Status GetProject(IProject** project) override { return This().GetProject(project); }
  } m_XIProjectCompReference{this};

  Prjrep::TRefCountHelper<CFlavor> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  pr::TComponentReceiver<CFlavor> m_eventReceiver{this};

  struct XIAutoNaming : TNested<CFlavor, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Status GetAutonym(Prjrep::IAutonym** autonym) override;
  } m_XIAutoNaming{this};

  struct XICompAdmin : TNested<CFlavor, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return kNotSupported; }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kNotSupported; }
    Status RegisterForNotifications() override { return kNotSupported; }
    Status Teardown() override;
  } m_XICompAdmin{this};

  Port::StringBase<char> m_text;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_module;
  Prjrep::AutoPtr<Prjrep::IAutonym> m_project;
};

}  // namespace Hvd
