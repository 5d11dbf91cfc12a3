#pragma once
// The registration of each component's factory.

#include "CitP/Factory.h"
#include "framework/Factory.h"
#include "framework/RefCount.h"

namespace Prjrep::standins {

// Registers the factory of `X`; from then on the host's registry keeps it alive.
template <class X>
void RegisterFactoryOf() {
  auto* factory = new Port::TFactory<X>();
  CitP::Factory::RegisterFactory(X::GetCLSID(), factory);
  ReleaseInterface(factory);
}

void RegisterRepository();
void RegisterRegistry();
void RegisterEvent();

}  // namespace Prjrep::standins
