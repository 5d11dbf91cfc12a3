#pragma once
// An event receiver that a component can take off the senders it listens to, all of them or
// all but one, while the component lives on (a teardown, a reload).

#include <cstddef>

#include "core/Events.h"

namespace Hvd {

// Answers for its owner like the owner's other parts. The senders it was added to are those
// its base lists, kept in step by the senders themselves, which tell it when they go.
template <class T>
class TDetachingReceiver final : public Prjrep::TEventReceiverHelper<T> {
  using Base = Prjrep::TEventReceiverHelper<T>;

 public:
  using Base::Base;
  ~TDetachingReceiver() override { Detach(nullptr); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IEventReceiver::GetIID()) return this;
    return this->m_owner != nullptr ? this->m_owner->QueryInterface(iid) : nullptr;
  }

  // Refused while detaching, so that a sender reached during the walk cannot add it back.
  Status AddSender(Prjrep::IEventSender* sender) override {
    if (m_detaching) return kFailure;
    return Base::AddSender(sender);
  }

  // Leaves every sender but `keep` (null: every sender).
  void Detach(Prjrep::IEventSender* keep) {
    m_detaching = true;
    const TSlotList<Prjrep::IEventSender*>& senders = this->Senders();
    for (std::size_t i = 0; i < senders.Length(); ++i) {
      Prjrep::IEventSender* sender = senders.At(i);
      // The sender calls back RemoveSender, which empties this entry.
      if (sender != nullptr && sender != keep) std::ignore = sender->RemoveReceiver(this);
    }
    m_detaching = false;
  }

  bool IsListeningTo(Prjrep::IEventSender* sender) const {
    return sender != nullptr && this->Senders().Contains(sender);
  }

 private:
  bool m_detaching = false;
};

}  // namespace Hvd
