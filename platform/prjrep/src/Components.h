#pragma once
// The registration of each component's factory.

#include "CitP/Factory.h"
#include "core/Holders.h"
#include "framework/Factory.h"

namespace Prjrep::standins {

// Registers the factory of `X`; from then on the host's registry keeps it alive.
template <class X>
void RegisterFactoryOf() {
  const AutoRelease<CitI::IFactory> factory(new Port::TFactory<X>());
  CitP::Factory::RegisterFactory(X::GetCLSID(), factory.Get());
}

// Class ids that components create one another by.
CITI_DEFINE_ID(RepositoryClassId, "{cd48a8b1-2990-4881-8664-52802c04fdff}")
CITI_DEFINE_ID(RegistryClassId, "{4fed14a6-b46d-476d-8556-05048be1b55b}")

void RegisterRepository();
void RegisterRegistry();
void RegisterEvent();
void RegisterOperationGate();
void RegisterAutonyms();
void RegisterRelayAndAttachment();
void RegisterFileNameHelper();
// Puts one operation gate into the registry under "OperationGate" unless one is there;
// needs the registry's and the gate's factories.
void RegisterSharedOperationGate();

}  // namespace Prjrep::standins
