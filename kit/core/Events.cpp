#include "core/Events.h"

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"

namespace Prjrep {

CEventSenderHelper::~CEventSenderHelper() { RemoveAllReceivers(); }

void CEventSenderHelper::RemoveAllReceivers() {
  m_destroying = true;
  for (std::size_t i = 0; i < m_receivers.Length(); ++i) {
    if (IEventReceiver* receiver = m_receivers.At(i)) std::ignore = RemoveReceiver(receiver);
  }
  m_destroying = false;
}

CitI::IInterface* CEventSenderHelper::QueryInterface(const Port::XUID& iid) {
  if (CitI::IInterface* answer = QueryTable().Answer(iid)) return answer;
  return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
}

Hvd::Status CEventSenderHelper::AddReceiver(IEventReceiver* receiver) {
  if (receiver == nullptr || m_destroying) return Hvd::kFailure;
  if (m_receivers.Contains(receiver)) return Hvd::kSuccess;
  m_receivers.Add(receiver);
  std::ignore = receiver->AddSender(this);
  return Hvd::kSuccess;
}

Hvd::Status CEventSenderHelper::RemoveReceiver(IEventReceiver* receiver) {
  if (receiver == nullptr) return Hvd::kFailure;
  if (m_receivers.Remove(receiver)) std::ignore = receiver->RemoveSender(this);
  return Hvd::kSuccess;
}

Hvd::Status CEventSenderHelper::Send(IEvent* event) {
  // The owning component may lose its last outside reference inside a handler.
  AutoPtr<IEventSender> keepSender(this);
  AutoPtr<IEvent> keepEvent(event);
  if (event == nullptr) return Hvd::kFailure;
  ++m_sendDepth;
  // By position, reading the length anew after every call: entries only empty during a
  // send, and a purge waits until the outermost send is over.
  for (std::size_t i = 0; i < m_receivers.Length(); ++i) {
    if (IEventReceiver* receiver = m_receivers.At(i)) std::ignore = receiver->ReceiveEvent(event);
  }
  if (--m_sendDepth == 0 && m_purgePending) {
    m_purgePending = false;
    m_receivers.Compact();
  }
  return Hvd::kSuccess;
}

Hvd::Status CEventSenderHelper::Purge() {
  if (m_sendDepth > 0) {
    m_purgePending = true;
  } else {
    m_receivers.Compact();
  }
  return Hvd::kSuccess;
}

}  // namespace Prjrep

namespace Hvd {

Status SendEvent(CitI::IInterface* object, const Port::XUID& eventId, CitI::IInterface* argument) {
  Prjrep::AutoCast<Prjrep::IEventSender> sender(object);
  if (!sender) return kBadParameters;
  // No event is made that nobody would receive: a large project's files send many before any
  // view listens to them.
  if (const auto* helper = dynamic_cast<const Prjrep::CEventSenderHelper*>(sender.Get());
      helper != nullptr && helper->ReceiverCount() == 0)
    return kSuccess;
  Prjrep::AutoRelease<Prjrep::IEvent> event = CreateEvent(object, eventId, argument);
  if (!event) return kFailure;
  return sender->Send(event);
}

Prjrep::AutoRelease<Prjrep::IEvent> CreateEvent(CitI::IInterface* sender, const Port::XUID& eventId,
                                                CitI::IInterface* argument) {
  Prjrep::AutoRelease<Prjrep::IEvent> event(CitP::Factory::CreateInstance(Prjrep::ClassId::Event()));
  if (!event) return event;
  std::ignore = event->SetSender(sender);
  std::ignore = event->SetEventId(eventId);
  std::ignore = event->SetArgument(argument);
  return event;
}

void ConnectEventReceiver(CitI::IInterface* sender, CitI::IInterface* receiver) {
  Prjrep::AutoCast<Prjrep::IEventSender> from(sender);
  Prjrep::AutoCast<Prjrep::IEventReceiver> to(receiver);
  if (from.Get() != nullptr) std::ignore = from->AddReceiver(to);
}

}  // namespace Hvd
