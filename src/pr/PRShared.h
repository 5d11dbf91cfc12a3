#pragma once
// What the partial-reconfiguration components share: references held as autonyms and
// resolved through the process-wide registry on each read, and object identity.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IStorage.h"
#include "core/Holders.h"
#include "core/Events.h"
#include "core/Names.h"

namespace Hvd::pr {

// The object an autonym stands for now, through the registry's autonym lookup; empty when
// the registry is missing or the autonym does not resolve.
Prjrep::AutoRelease<CitI::IInterface> ResolveReference(Prjrep::IAutonym* autonym);

// Reads an autonym written as an object and resolves it. The answer is the read's status:
// an autonym that does not resolve leaves `resolved` empty but is no failed read.
Status ReadReference(Prjrep::IStorage* storage, Prjrep::AutoRelease<CitI::IInterface>& resolved);
// Reads an autonym written as an object, kept unresolved.
Status ReadAutonym(Prjrep::IStorage* storage, Prjrep::AutoPtr<Prjrep::IAutonym>& autonym);
// Writes an autonym as an object; an empty one as the null object.
Status WriteAutonym(Prjrep::IStorage* storage, Prjrep::IAutonym* autonym);

// Two interfaces of one object.
bool SameObject(CitI::IInterface* a, CitI::IInterface* b);

// A name that becomes a directory or file name: not empty, not "." or "..", and without a
// path separator.
bool IsUsableAsPathComponent(const Port::StringBase<char>& name);

// The event receiver of a component that accepts every event and does nothing; it answers
// for the component like the component's other parts.
template <class T>
struct TComponentReceiver final : Prjrep::TEventReceiverHelper<T> {
  using Prjrep::TEventReceiverHelper<T>::TEventReceiverHelper;
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IEventReceiver::GetIID()) return this;
    return this->m_owner != nullptr ? this->m_owner->QueryInterface(iid) : nullptr;
  }
};

// The name of a flavor or configuration, which becomes the name of its project's directory
// and file: a name that cannot be one is refused and changes nothing.
class CPathComponentNameHelper : public CEventingNameHelper {
 public:
  using CEventingNameHelper::CEventingNameHelper;
  Status SetName(const Port::StringBase<char>& name) override;
  // A stored name: empty for one never named, else it must be usable as well.
  Status Restore(const Port::StringBase<char>& name);
};

}  // namespace Hvd::pr
