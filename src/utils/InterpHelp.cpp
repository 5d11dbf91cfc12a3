#include "utils/InterpHelp.h"
#include "Prjrep/ClassIds.h"

#include <cstring>

#include "CitP/Factory.h"
#include "Hvd/ITclInterp.h"
#include "core/Diagnostics.h"
#include "core/Events.h"

namespace Hvd {

Port::StringBase<char> TclWord(const Port::StringBase<char>& value) {
  if (value.empty()) return Port::StringBase<char>("{}");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string word;
  word.reserve(value.size() * 2);
  for (const char c : value.str()) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      // Tcl splits words and list elements on all six of these, so none may appear raw.
      case ' ': word += "\\ "; continue;
      case '\t': word += "\\t"; continue;
      case '\n': word += "\\n"; continue;
      case '\v': word += "\\v"; continue;
      case '\f': word += "\\f"; continue;
      case '\r': word += "\\r"; continue;
      default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      // The other control characters are not special, but are kept out of logged commands;
      // four digits, because \u takes up to four and a hex digit may follow.
      word += "\\u00";
      word += kHex[byte >> 4];
      word += kHex[byte & 0xF];
      continue;
    }
    if (std::strchr("[]{}$\";\\#", c) != nullptr) word += '\\';
    word += c;
  }
  return Port::StringBase<char>(word);
}

void BroadcastEvent(CitI::IInterface* object, const Port::XUID& eventId, CitI::IInterface* argument) {
  Prjrep::AutoRelease<CitI::IInterface> relay(CitP::Factory::CreateInstance(Prjrep::ClassId::BroadcastRelay()));
  std::ignore = SendEvent(object, eventId, argument);
  std::ignore = SendEvent(relay, eventId, argument);
}

EventScope::EventScope(CitI::IInterface* sender, const Port::XUID& beginEvent, const Port::XUID& endEvent,
                       CitI::IInterface* argument, bool broadcast)
    : m_broadcast(broadcast), m_sender(sender), m_argument(argument), m_endEvent(endEvent) {
  Send(beginEvent);
}

EventScope::~EventScope() { Send(m_endEvent); }

void EventScope::Send(const Port::XUID& eventId) {
  if (m_broadcast) {
    BroadcastEvent(m_sender, eventId, m_argument);
  } else {
    std::ignore = SendEvent(m_sender, eventId, m_argument);
  }
}

}  // namespace Hvd

namespace InterpHelp {

Hvd::Status RunCmd(const char* command, CitI::IInterface* object, bool passObject, Port::StringBase<char>* result) {
  static const Port::StringBase<char> kThis("this");
  Prjrep::AutoRelease<Hvd::ITclInterp> interpreter(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  if (interpreter.Get() == nullptr) {
    return Hvd::Fail(Hvd::kFailure, "InterpHelp::RunCmd: No TOE interpreter found.\n");
  }
  std::ignore = interpreter->Init("");
  Port::StringBase<char> line(command ? command : "");
  if (passObject) {
    std::ignore = interpreter->BindObject(object, kThis);
    line += " $";
    line += kThis;
  }
  line += "\n";
  Port::StringBase<char> text;
  const Hvd::Status status = interpreter->ExecuteCmd(line, text, 1);
  // The object is the caller's for this command only.
  if (passObject) std::ignore = interpreter->BindObject(nullptr, kThis);
  if (result != nullptr) *result = text;
  return status;
}

}  // namespace InterpHelp
