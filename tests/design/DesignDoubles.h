#pragma once
// What the design's and the platform's tests share: iterator walks, names, and a listener.

#include <algorithm>
#include <string>
#include <vector>

#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "utils/DmUtils.h"

namespace design_tests {

using Hvd::Status;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;

// Each element an iterator walks to, mapped through `f`.
template <class It, class F>
auto Each(It* it, F f) {
  std::vector<decltype(f(it->Current()))> out;
  if (it != nullptr)
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) out.push_back(f(it->Current()));
  return out;
}

// The name of the object's definition (a view's type, a property's template), its own name, its root.
inline std::string TypeName(CitI::IInterface* object) { return Hvd::GetDefDataIdName(object).str(); }
inline std::string NameOf(CitI::IInterface* object) {
  Text name;
  if (AutoCast<Prjrep::IName> named(object); named) std::ignore = named->GetName(name);
  return name.str();
}
using Hvd::RootOf;

// Every event heard: its id, its argument, and the names when the argument lists names.
struct Listener {
  struct Heard {
    Port::XUID id;
    CitI::IInterface* argument;
    Strings names;
  };
  static Status Record(Listener* self, Prjrep::IEvent* event) {
    Heard& heard = self->heard.emplace_back();
    AutoRelease<CitI::IInterface> argument;
    std::ignore = event->GetEventId(heard.id) == event->GetArgument(argument.Receive());
    heard.argument = RootOf(argument.Get());
    heard.names = Each(AutoCast<Prjrep::INameIterator>(argument.Get()).Get(), NameOf);
    return Hvd::kSuccess;
  }
  void Listen(CitI::IInterface* sender) { Hvd::ConnectEventReceiver(sender, &receiver); }
  int Count(const Port::XUID& id) const { return static_cast<int>(std::ranges::count(heard, id, &Heard::id)); }
  std::vector<Heard> heard;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Record};
};

}  // namespace design_tests
