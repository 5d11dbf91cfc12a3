#pragma once

#include <list>

#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
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

using CFlavorSetHelper = TRefdSequenceSetHelper<IFlavor*, IFlavorSet, IFlavorIterator, std::list<IFlavor*>>;

// One reconfigurable module: the instance path of its partition, its flavors and the
// flavor active at the moment.
class CPRModule : public TComponent<CPRModule> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModule(); }

  CPRModule();
  CPRModule(const CPRModule&) = delete;
  CPRModule& operator=(const CPRModule&) = delete;

  auto QueryTable() {
    return Table(Row<IPRModule>(&m_XIPRModule), Row<ISettablePRModule>(&m_XISettablePRModule),
                 Row<IPRProperties>(&m_XIPRProperties), Row<Prjrep::IName>(&m_name),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IEventReceiver>(&m_eventReceiver),
                 Row<Prjrep::IAutoNaming>(&m_XIAutoNaming), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<CitI::IInterface>(&m_XIPRModule));
  }

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  void HoldActiveFlavor(IFlavor* flavor) { m_activeFlavor.Assign(flavor); }

  struct XIPRModule : TNested<CPRModule, IPRModule> {
    using TNested::TNested;
    Status GetInstancePath(Port::StringBase<char>& path) override;
    Status GetAuxiliaryString(Port::StringBase<char>& text) override;
    Status GetFlavorSet(IFlavorSet** flavors) override;
    Status GetActiveFlavor(IFlavor** flavor) override;
    Status SetActiveFlavor(IFlavor* flavor) override;
    Status FindFlavorWithGivenName(const Port::StringBase<char>& name, IFlavor** flavor) override;
  } m_XIPRModule{this};

  struct XISettablePRModule : TNested<CPRModule, ISettablePRModule> {
    using TNested::TNested;
    Status SetInstancePath(const Port::StringBase<char>& path) override;
    Status SetAuxiliaryString(const Port::StringBase<char>& text) override;
    Status AddFlavor(IFlavor* flavor) override;
    Status RemoveFlavor(IFlavor* flavor) override;
    Status SetActiveFlavor(IFlavor* flavor) override;
  } m_XISettablePRModule{this};

  struct XIPRProperties : TNested<CPRModule, IPRProperties> {
    using TNested::TNested;
    Status ReservedOperation1() override { return kNotSupported; }
    Status ReservedOperation2() override { return kNotSupported; }
    Status ReservedOperation3() override { return kNotSupported; }
  } m_XIPRProperties{this};

  struct XIAutoNaming : TNested<CPRModule, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Status GetAutonym(Prjrep::IAutonym** autonym) override;
  } m_XIAutoNaming{this};

  struct XICompAdmin : TNested<CPRModule, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return kNotSupported; }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kNotSupported; }
    Status RegisterForNotifications() override { return kNotSupported; }
    Status Teardown() override;
  } m_XICompAdmin{this};

  Prjrep::CNameHelper m_name{this};
  Prjrep::TPersistHelper<CPRModule> m_persist{this};
  Prjrep::TRefCountHelper<CPRModule> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  pr::TComponentReceiver<CPRModule> m_eventReceiver{this};
  Port::StringBase<char> m_instancePath;
  Port::StringBase<char> m_auxiliary;
  Prjrep::AutoRelease<IFlavorSet> m_flavors;  // none after a teardown
  Prjrep::AutoPtr<IFlavor> m_activeFlavor;
};

}  // namespace Hvd
