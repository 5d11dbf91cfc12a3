#pragma once
// Persistence: the standard IPersist of a component, and the stored form of lists.

#include <cstdint>
#include <functional>

#include "Hvd/Status.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"
#include "core/Holders.h"

namespace Prjrep {

// The IPersist of component `T`, embedded as a member. It keeps the instance id (a new one
// for every object) and passes loading and saving to the component's own routines:
//   Status T::LoadFrom(IStorage*)        required
//   Status T::SaveTo(IStorage*)          optional; without it saving is not supported
// and answers T::GetCLSID() as the class id.
template <class T>
class TPersistHelper final : public IPersist {
 public:
  explicit TPersistHelper(T* owner) : m_owner(owner), m_id(Port::XUID::New()) {}
  TPersistHelper(const TPersistHelper&) = delete;
  TPersistHelper& operator=(const TPersistHelper&) = delete;

  // A helper whose owner was cleared answers nothing and loads and saves nothing.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner ? m_owner->QueryInterface(iid) : nullptr;
  }

  Hvd::Status PersistLoad(IStorage* storage) override { return m_owner ? m_owner->LoadFrom(storage) : Hvd::kFailure; }

  Hvd::Status PersistSave(IStorage* storage) override {
    if constexpr (requires(T & owner) { owner.SaveTo(storage); }) {
      return m_owner ? m_owner->SaveTo(storage) : Hvd::kFailure;
    } else {
      return Hvd::kNotSupported;
    }
  }

  Hvd::Status GetClassId(Port::XUID& out) override {
    out = T::GetCLSID();
    return Hvd::kSuccess;
  }

  Hvd::Status GetId(Port::XUID& out) override {
    out = m_id;
    return Hvd::kSuccess;
  }

  Hvd::Status SetId(const Port::XUID& id) override {
    m_id = id;
    return Hvd::kSuccess;
  }

  Hvd::Status SetOwner(T* owner) {
    m_owner = owner;
    return owner ? Hvd::kSuccess : Hvd::kFailure;
  }

  Hvd::Status GetOwner(T** out) {
    if (out == nullptr) return Hvd::kFailure;
    *out = m_owner;
    return m_owner ? Hvd::kSuccess : Hvd::kFailure;
  }

 private:
  T* m_owner;
  Port::XUID m_id;
};

}  // namespace Prjrep

namespace Hvd {

// A list is stored as a 32-bit count followed by exactly that many objects.

// Reads a list. Every object is read before any is handed on, so a failed read leaves
// the receiver untouched: the result is the failing status, and each object read is given
// back. Each object that answers `iid` then goes to `add`; an `add` that is not supported
// makes the whole load fail with kNotSupported instead of dropping the data.
Status LoadObjectList(Prjrep::IStorage* storage, const Port::XUID& iid,
                      const std::function<Status(CitI::IInterface*)>& add);

// Writes a list, stopping at the first failed write and returning its status.
template <class Range, class ObjectOf>
Status SaveObjectList(Prjrep::IStorage* storage, const Range& range, std::size_t count, ObjectOf objectOf) {
  if (storage == nullptr || count > static_cast<std::size_t>(INT32_MAX)) return kFailure;
  Status status = storage->WriteInt32(static_cast<std::int32_t>(count));
  if (status != kSuccess) return status;
  for (const auto& entry : range) {
    Prjrep::AutoCast<Prjrep::IPersist> persist(objectOf(entry));
    status = storage->WriteObject(persist);
    if (status != kSuccess) return status;
  }
  return kSuccess;
}

}  // namespace Hvd
