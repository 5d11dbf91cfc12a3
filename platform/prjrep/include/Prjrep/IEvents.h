#pragma once
// Change notifications between components: an event object carries its sender, an event
// id and one argument; senders and receivers keep plain pointers to each other.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Prjrep/IStorage.h"

namespace Prjrep {

class IEvent : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9760C86D-941B-41ce-8609-77FCDAE07146}")

  // The sender and argument come with one reference for the caller.
  virtual std::uint64_t GetSender(CitI::IInterface** sender) = 0;
  virtual std::uint64_t GetEventId(Port::XUID& id) = 0;
  virtual std::uint64_t GetArgument(CitI::IInterface** argument) = 0;
  virtual std::uint64_t SetSender(CitI::IInterface* sender) = 0;
  virtual std::uint64_t SetEventId(const Port::XUID& id) = 0;
  virtual std::uint64_t SetArgument(CitI::IInterface* argument) = 0;
};

class IEventReceiver;

class IEventSender : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{82108F49-98A8-4f53-92A0-2669D1BA407E}")

  virtual std::uint64_t AddReceiver(IEventReceiver* receiver) = 0;
  virtual std::uint64_t RemoveReceiver(IEventReceiver* receiver) = 0;
  virtual std::uint64_t Send(IEvent* event) = 0;
  // Drops the entries that removals emptied.
  virtual std::uint64_t Purge() = 0;
};

class IEventReceiver : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{78AF817C-5874-438d-83B7-80A9A1956E24}")

  virtual std::uint64_t ReceiveEvent(IEvent* event) = 0;
  virtual std::uint64_t AddSender(IEventSender* sender) = 0;
  virtual std::uint64_t RemoveSender(IEventSender* sender) = 0;
  // The senders, stored as a count and their objects; loading reconnects to them.
  virtual std::uint64_t PersistLoad(IStorage* storage) = 0;
  virtual std::uint64_t PersistSave(IStorage* storage) = 0;
};

}  // namespace Prjrep
