#include "Components.h"
#include "Prjrep/ClassIds.h"
#include "Hvd/Status.h"
#include "Prjrep/IEvents.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;

// An event: its sender and argument are kept alive for as long as the event lives.
class CEvent final : public Hvd::TComponent<CEvent> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::Event(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IEvent>(&m_XIEvent), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

 private:
  static Status HandOut(const AutoPtr<CitI::IInterface>& held, CitI::IInterface** out) {
    AutoOut<CitI::IInterface> result(out);
    if (out == nullptr) return kFailure;
    return result.Assign(held.Get());
  }

  struct XIEvent : Hvd::TNested<CEvent, IEvent> {
    using TNested::TNested;
    Status GetSender(CitI::IInterface** sender) override { return HandOut(This().m_sender, sender); }
    Status GetEventId(Port::XUID& id) override { return id = This().m_id, kSuccess; }
    Status GetArgument(CitI::IInterface** argument) override { return HandOut(This().m_argument, argument); }
    Status SetSender(CitI::IInterface* sender) override { return This().m_sender.Assign(sender); }
    Status SetEventId(const Port::XUID& id) override { return This().m_id = id, kSuccess; }
    Status SetArgument(CitI::IInterface* argument) override { return This().m_argument.Assign(argument); }
  } m_XIEvent{this};

  TRefCountHelper<CEvent> m_refCount{this};
  AutoPtr<CitI::IInterface> m_sender;
  AutoPtr<CitI::IInterface> m_argument;
  Port::XUID m_id;
};

}  // namespace

void RegisterEvent() { Hvd::RegisterFactoriesOf<CEvent>(); }

}  // namespace Prjrep::standins
