#pragma once
// Component factories: one per component class, registered by InstFactoryEntry.

#include "CitI/IInterface.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Holders.h"
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

// Creates an object of class `clsid` and hands it out as its path-name interface. True
// when `*helper` was set; the creation reference passes with it.
bool CreateFileNameHelper(const Port::XUID& clsid, Prjrep::IFileNameHelper** helper);

// Creates the host's named-object registry: its root interface, or empty when no registry
// is registered.
Prjrep::AutoRelease<CitI::IInterface> GetNamedObjectRegistryCLSID();

}  // namespace Hvd

extern "C" __attribute__((visibility("default"))) void InstFactoryEntry();
