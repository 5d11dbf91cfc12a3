#pragma once
// Component factories: one per component class, registered with the host's registry.

#include <tuple>

#include "CitI/IInterface.h"
#include "CitP/Factory.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Port {

// Creates objects of class `X` (which names its class id through X::GetCLSID()) and of
// no other class. Counted through CommonI::IRefCount only.
template <class X>
class TFactory final : public Hvd::TComponent<TFactory<X>, CitI::IFactory> {
 public:
  TFactory() noexcept : m_refCount(this) {}
  TFactory(const TFactory&) = delete;
  TFactory& operator=(const TFactory&) = delete;

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<CitI::IInterface>(this), Hvd::Row<CitI::IFactory>(this),
                      Hvd::Row<CommonI::IRefCount>(&m_refCount));
  }

  // The new object's root interface; its one reference passes to the caller, who
  // initialises the object through its ICompAdmin.
  CitI::IInterface* CreateInstance(const XUID& clsid) override {
    if (!(clsid == X::GetCLSID())) return nullptr;
    X* object = new X();
    CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID());
    if (root == nullptr) delete object;
    return root;
  }

 private:
  CommonI::TRefCountHelper<TFactory, 0> m_refCount;
};

}  // namespace Port

namespace Hvd {

// Registers a factory for each of the classes `X...`, in order. The creation reference is
// given up once the host's registry holds the factory, so that the registry alone keeps it.
template <class... X>
void RegisterFactoriesOf() {
  const auto registerOne = [](auto* factory, const Port::XUID& clsid) {
    auto* asFactory = static_cast<CitI::IFactory*>(factory->QueryInterface(CitI::IFactory::GetIID()));
    if (asFactory != nullptr) CitP::Factory::RegisterFactory(clsid, asFactory);
    if (auto* count = static_cast<CommonI::IRefCount*>(factory->QueryInterface(CommonI::IRefCount::GetIID()))) {
      std::ignore = count->Release();
    }
  };
  (registerOne(new Port::TFactory<X>(), X::GetCLSID()), ...);
}

}  // namespace Hvd

// The one entry that each component library exports to the host, which calls it once the
// library is loaded: it registers the library's factories.
extern "C" __attribute__((visibility("default"))) void InstFactoryEntry();
