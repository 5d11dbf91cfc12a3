#pragma once
// The property context of the project, a design or a view: parent, class id and instance
// id, answered by the owning component.

#include <cstdint>

#include "Hvd/IPropertyContext.h"
#include "Hvd/Status.h"
#include "Prjrep/IPersist.h"

namespace Hvd {

// `T` answers IPersist and IPropertyContext in its query and provides
//   Status T::GetContextParent(IPropertyContext** parent).
// An owner that builds the helper with itself must build its persistence member first.
template <class T>
class TPropertyContextHelper : public IPropertyContext {
 public:
  TPropertyContextHelper() = default;
  explicit TPropertyContextHelper(T* owner) { SetOwner(owner); }
  TPropertyContextHelper(const TPropertyContextHelper&) = delete;
  TPropertyContextHelper& operator=(const TPropertyContextHelper&) = delete;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner ? m_owner->QueryInterface(iid) : nullptr;
  }

  Hvd::Status GetContextParent(IPropertyContext** parent) override {
    return m_owner ? m_owner->GetContextParent(parent) : kFailure;
  }

  Hvd::Status GetContextClassId(Port::XUID& id) override { return m_persist ? m_persist->GetClassId(id) : kFailure; }

  Hvd::Status GetContextId(Port::XUID& id) override { return m_persist ? m_persist->GetId(id) : kFailure; }

  // Sets the owner once; 1 when the owner answers IPersist. An owner without it stays
  // set all the same.
  virtual Hvd::Status SetOwner(T* owner) {
    if (m_owner != nullptr) return kFailure;
    m_owner = owner;
    if (owner == nullptr) return kFailure;
    m_persist = dynamic_cast<Prjrep::IPersist*>(owner->QueryInterface(Prjrep::IPersist::GetIID()));
    return m_persist ? kSuccess : kFailure;
  }

 private:
  T* m_owner = nullptr;
  Prjrep::IPersist* m_persist = nullptr;
};

}  // namespace Hvd
