// The broadcast relay and the attachment of files and views.

#include "Components.h"
#include "Prjrep/ClassIds.h"
#include "Hvd/Status.h"
#include "Prjrep/IAttachment.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

// Every relay instance sends through one process-wide sender, so that a listener added
// through one instance hears what is broadcast through another.
CEventSenderHelper& SharedSender() {
  static auto* const s_sender = new CEventSenderHelper(nullptr);
  return *s_sender;
}

class CBroadcastRelay final : public Hvd::TComponent<CBroadcastRelay> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::BroadcastRelay(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IEventSender>(&SharedSender()), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

 private:
  TRefCountHelper<CBroadcastRelay> m_refCount{this};
};

// Answers, as its owner's, an interface that leads back to the owner.
class CAttachment final : public Hvd::TComponent<CAttachment> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::Attachment(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IComponentAttachment>(&m_XIAttachment), Hvd::Row<IAttachedInterface>(&m_XIAttached),
                      Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

 private:
  struct XIAttachment : Hvd::TNested<CAttachment, IComponentAttachment> {
    using TNested::TNested;
    Hvd::Status SetOwner(CitI::IInterface* owner) override {
      This().m_owner = owner;
      return Hvd::kSuccess;
    }
    CitI::IInterface* GetInterface(const Port::XUID& iid) override { return This().QueryInterface(iid); }
    Hvd::Status Detach() override {
      This().m_owner = nullptr;
      return Hvd::kSuccess;
    }
  } m_XIAttachment{this};
  struct XIAttached : Hvd::TNested<CAttachment, IAttachedInterface> {
    using TNested::TNested;
    Hvd::Status GetOwner(CitI::IInterface** owner) override {
      AutoOut<CitI::IInterface>(owner).Assign(This().m_owner);
      return owner != nullptr && *owner != nullptr ? Hvd::kSuccess : Hvd::kFailure;
    }
  } m_XIAttached{this};
  TRefCountHelper<CAttachment> m_refCount{this};
  CitI::IInterface* m_owner = nullptr;  // the file or view it belongs to; not counted
};

}  // namespace

void RegisterRelayAndAttachment() {
  Hvd::RegisterFactoriesOf<CBroadcastRelay>();
  Hvd::RegisterFactoriesOf<CAttachment>();
}

}  // namespace Prjrep::standins
