#pragma once
// An event receiver that a component can take off the senders it listens to, all of them or
// all but one, while the component lives on (a teardown, a reload).

#include <cstddef>

#include "core/Events.h"

namespace Hvd {

// Answers for its owner like the owner's other parts. It keeps its own list of the senders
// it was added to, kept in step by the senders themselves, which tell it when they go.
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
    const Status added = Base::AddSender(sender);
    if (added == kSuccess && !m_senders.Contains(sender)) m_senders.Add(sender);
    return added;
  }

  Status RemoveSender(Prjrep::IEventSender* sender) override {
    if (sender != nullptr) m_senders.Remove(sender);
    return Base::RemoveSender(sender);
  }

  // Leaves every sender but `keep` (null: every sender).
  void Detach(Prjrep::IEventSender* keep) {
    m_detaching = true;
    for (std::size_t i = 0; i < m_senders.Length(); ++i) {
      Prjrep::IEventSender* sender = m_senders.At(i);
      // The sender calls back RemoveSender, which empties this entry.
      if (sender != nullptr && sender != keep) std::ignore = sender->RemoveReceiver(this);
    }
    m_senders.Compact();
    m_detaching = false;
  }

  bool IsListeningTo(Prjrep::IEventSender* sender) const { return sender != nullptr && m_senders.Contains(sender); }

 private:
  TSlotList<Prjrep::IEventSender*> m_senders;
  bool m_detaching = false;
};

}  // namespace Hvd
