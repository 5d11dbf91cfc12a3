#pragma once
// What the files of the design-data utilities share, and nothing outside them includes:
// the named-autonym class, the process-wide registry, object identity and new references.

#include "CitI/IInterface.h"
#include "Prjrep/ClassIds.h"
#include "Port/XUID.h"
#include "core/Holders.h"
#include "utils/Factory.h"

namespace Hvd::dmutils {

// The process-wide registry as interface `I`. The registry is created for every use; the
// instance is given back when done, whatever its lifetime inside the host.
template <class I>
Prjrep::AutoRelease<I> Registry() {
  return Prjrep::AutoRelease<I>(GetNamedObjectRegistryCLSID());
}

// The root interface, which tells two parts of one object apart from two objects.
inline CitI::IInterface* IdentityOf(CitI::IInterface* object) {
  return object ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

// `object` as `I` with a reference of its own, for handing out an object that the caller
// only borrows; empty when the object does not answer `I`.
template <class I, class Obj>
Prjrep::AutoRelease<I> NewReference(Obj* object) {
  return Prjrep::AutoRelease<I>(Prjrep::AutoReturn<I>(object).Get());
}

}  // namespace Hvd::dmutils
