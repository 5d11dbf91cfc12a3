#pragma once
// Change notifications between components: an event object carries its sender, an event
// id and one argument; senders and receivers keep plain pointers to each other.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/IStorage.h"

namespace Prjrep {

class IEvent : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9760C86D-941B-41ce-8609-77FCDAE07146}")

  // The sender and argument come with one reference for the caller.
  virtual Hvd::Status GetSender(CitI::IInterface** sender) = 0;
  virtual Hvd::Status GetEventId(Port::XUID& id) = 0;
  virtual Hvd::Status GetArgument(CitI::IInterface** argument) = 0;
  virtual Hvd::Status SetSender(CitI::IInterface* sender) = 0;
  virtual Hvd::Status SetEventId(const Port::XUID& id) = 0;
  virtual Hvd::Status SetArgument(CitI::IInterface* argument) = 0;
};

class IEventReceiver;

class IEventSender : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{82108F49-98A8-4f53-92A0-2669D1BA407E}")

  virtual Hvd::Status AddReceiver(IEventReceiver* receiver) = 0;
  virtual Hvd::Status RemoveReceiver(IEventReceiver* receiver) = 0;
  virtual Hvd::Status Send(IEvent* event) = 0;
  // Drops the entries that removals emptied.
  virtual Hvd::Status Purge() = 0;
};

class IEventReceiver : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{78AF817C-5874-438d-83B7-80A9A1956E24}")

  virtual Hvd::Status ReceiveEvent(IEvent* event) = 0;
  virtual Hvd::Status AddSender(IEventSender* sender) = 0;
  virtual Hvd::Status RemoveSender(IEventSender* sender) = 0;
  // The senders, stored as a count and their objects; loading reconnects to them.
  virtual Hvd::Status PersistLoad(IStorage* storage) = 0;
  virtual Hvd::Status PersistSave(IStorage* storage) = 0;
};

}  // namespace Prjrep
