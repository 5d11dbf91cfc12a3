// The library's one export: registers a factory for every component class.

#include "CitP/Factory.h"
#include "framework/Factory.h"
#include "library/RegisteredClasses.h"

namespace {

// Registers the factory of `X`, then gives up the creation reference: from here on the
// host's registry keeps the factory alive.
template <class X>
void Register() {
  auto* factory = new Port::TFactory<X>();
  auto* asFactory = static_cast<CitI::IFactory*>(factory->QueryInterface(CitI::IFactory::GetIID()));
  if (asFactory == nullptr) return;
  CitP::Factory::RegisterFactory(X::GetCLSID(), asFactory);
  if (auto* count = static_cast<CommonI::IRefCount*>(factory->QueryInterface(CommonI::IRefCount::GetIID()))) {
    count->Release();
  }
}

template <class... X>
void RegisterAll(Hvd::TypeList<X...>) {
  (Register<X>(), ...);
}

}  // namespace

extern "C" void InstFactoryEntry() { RegisterAll(Hvd::RegisteredClasses{}); }
