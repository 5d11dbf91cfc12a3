#pragma once
// Running Tcl commands in the suite's interpreter, and broadcasting events.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

// `value` as one Tcl word that evaluates to exactly `value`: every character that Tcl
// would interpret is escaped, so text from names, paths and files is never evaluated.
// Every command built from data quotes each value with it. The interpreter reads text as
// UTF-8: a byte that is not part of a UTF-8 character stands for the Latin-1 character of
// its value, and comes back encoded as that character.
Port::StringBase<char> TclWord(const Port::StringBase<char>& value);

// Sends an event through the object's own sender and through the host's broadcast relay.
void BroadcastEvent(CitI::IInterface* object, const Port::XUID& eventId, CitI::IInterface* argument);

// Sends a begin event now and the end event when the scope ends, with one argument.
class EventScope {
 public:
  EventScope(CitI::IInterface* sender, const Port::XUID& beginEvent, const Port::XUID& endEvent,
             CitI::IInterface* argument, bool broadcast);
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;
  ~EventScope();

 private:
  void Send(const Port::XUID& eventId);

  bool m_broadcast;
  Prjrep::AutoPtr<CitI::IInterface> m_sender;
  Prjrep::AutoPtr<CitI::IInterface> m_argument;
  Port::XUID m_endEvent;
};

}  // namespace Hvd

namespace InterpHelp {

// Runs `command` in the Tcl interpreter component; with `passObject`, `object` (null
// allowed) is bound to the variable "this" and " $this" is appended. The interpreter's
// result text goes to `result` when given. 0 when there is no interpreter.
Hvd::Status RunCmd(const char* command, CitI::IInterface* object, bool passObject,
                   Port::StringBase<char>* result);

}  // namespace InterpHelp
