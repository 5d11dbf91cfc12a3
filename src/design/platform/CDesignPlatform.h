#pragma once
// The design platform: the device choice of a design as property instances of its platform
// type. It collects the names of the properties that change, runs their code hooks when the
// host says a change is complete, and tells its receivers (the design) once what changed.

#include <cstdint>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesignPlatform.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "design/DetachingReceiver.h"

namespace Hvd {

// A name object for the property instance, made from its name; null when the instance has no
// name or no name object can be made.
Prjrep::AutoRelease<Prjrep::IName> CreateNameFromPropertyInstance(CitI::IInterface* instance);

class CDesignPlatform final : public TComponent<CDesignPlatform> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::DesignPlatform(); }

  CDesignPlatform();
  CDesignPlatform(const CDesignPlatform&) = delete;
  CDesignPlatform& operator=(const CDesignPlatform&) = delete;

  // The root is the set of property instances.
  auto QueryTable() {
    return Table(Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<IDesignPlatform>(&m_XIDesignPlatform), Row<IDesignPlatformInternal>(&m_XIDesignPlatformInternal),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::ITimestamp>(&m_changedStamp),
                 Row<IPropertyInstanceSet>(&m_properties), Row<Prjrep::IEventReceiver>(&m_receiver),
                 Row<IReconcileToDefData>(&m_XIReconcileToDefData), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<CitI::IInterface>(&m_properties));
  }

  // The name, the changed stamp and the property instances, in this order. A failed item is
  // reported and the others are still read or written; the answer is then 0.
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  using NameList =
      TRefdSequenceSetHelper<Prjrep::IName*, Prjrep::INameSet, Prjrep::INameIterator, std::vector<Prjrep::IName*>>;
  using PropertyList = Prjrep::TSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                                  std::vector<IPropertyInstance*>>;

  struct XIDesignPlatformInternal : TNested<CDesignPlatform, IDesignPlatformInternal> {
    using TNested::TNested;
    Status PartialTeardown() override { return This().TearDown(false); }
  } m_XIDesignPlatformInternal{this};

  struct XIDesignPlatform : TNested<CDesignPlatform, IDesignPlatform> {
    using TNested::TNested;
    Status GetName(String* name) override;
    Status GetProperties(IPropertyInstanceIterator** properties) override;
    Status NotifyChanges() override;
  } m_XIDesignPlatform{this};

  struct XIReconcileToDefData : TNested<CDesignPlatform, IReconcileToDefData> {
    using TNested::TNested;
    Status Reconcile() override { return kNotSupported; }
    Status RemoveObsolete(CitI::IInterface*) override { return kNotSupported; }
  } m_XIReconcileToDefData{this};

  struct XICompAdmin : TNested<CDesignPlatform, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* design, CitI::IInterface* unused) override;
    Status InitializeAfterLoad(CitI::IInterface*) override { return kSuccess; }
    Status RegisterForNotifications() override { return kSuccess; }
    Status Teardown() override { return This().TearDown(true); }
  } m_XICompAdmin{this};

  // Listens to the base services' platform-event service; `report` says when that fails.
  void ListenToPlatformEvents(bool report);
  static Status HandleEvent(CDesignPlatform* self, Prjrep::IEvent* event);
  void RecordChange(CitI::IInterface* instance);
  Status RunCodeHooks();
  // The full teardown also lets go of the platform's own receivers.
  Status TearDown(bool full);

  Prjrep::AutoRelease<IDesignPlatformType> m_type;
  Prjrep::CTimestampHelper m_changedStamp{this};
  Prjrep::AutoPtr<NameList> m_changedNames;
  // Whether there is news for the receivers is told by counting changes, not by the stamps:
  // two stamps taken within one clock tick, or across a clock set back, would compare equal
  // or wrong and a change would go unreported. A new platform starts with news.
  std::uint64_t m_changes = 1;
  std::uint64_t m_changesNotified = 0;
  Prjrep::CNameHelper m_name{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  TDetachingReceiver<CDesignPlatform> m_receiver{this, &CDesignPlatform::HandleEvent};
  Prjrep::TRefCountHelper<CDesignPlatform> m_refCount{this};
  Prjrep::TPersistHelper<CDesignPlatform> m_persist{this};
  PropertyList m_properties;
};

}  // namespace Hvd
