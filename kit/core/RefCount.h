#pragma once
// Reference counting: the counting helpers that components and factories embed, and the
// free functions that add or give up a reference on any object.

#include <cstdint>
#include <utility>

#include "CommonI/IRefCount.h"
#include "Port/SafeIncr.h"
#include "Prjrep/IRefCount.h"
#include "core/Interface.h"

namespace Hvd {

// What both counting helpers share: a count starting at 1 and a plain pointer to the owner,
// which the release that reaches zero deletes.
template <class Interface, class Owner>
class TCountCore : public Interface {
 public:
  explicit TCountCore(Owner* owner) noexcept : m_owner(owner) {}
  TCountCore(const TCountCore&) = delete;
  TCountCore& operator=(const TCountCore&) = delete;

  // The host's counting interface answers a plain 64-bit code, the library's a Status; both 1.
  using Result = decltype(std::declval<Interface&>().AddRef());

  Result AddRef() override {
    Port::SafeIncr(m_count);
    return Result{1};
  }

  Result Release() override {
    // Decide on zero from this call's own decrement: exactly one release sees it.
    if (Port::SafeDecr(m_count) == 0) {
      Owner* owner = m_owner;
      m_owner = nullptr;
      delete owner;  // frees this helper too
    }
    return Result{1};
  }

 protected:
  CitI::IInterface* OwnerQuery(const Port::XUID& iid) { return m_owner ? m_owner->QueryInterface(iid) : nullptr; }
  std::int32_t Count() { return Port::SafeRead(m_count); }

 private:
  std::int32_t m_count = 1;
  Owner* m_owner;
};

}  // namespace Hvd

namespace Prjrep {

// The count of a component, embedded as a member and answering Prjrep::IRefCount. The
// component's constructor sets the owner.
template <class T>
class TRefCountHelper final : public Hvd::TCountCore<IRefCount, T> {
 public:
  using Hvd::TCountCore<IRefCount, T>::TCountCore;

  // Both counting ids are the helper itself; every other id is the owner's.
  auto QueryTable() { return Hvd::Table(Hvd::Row<IRefCountV1>(this), Hvd::Row<IRefCount>(this)); }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* answer = QueryTable().Answer(iid)) return answer;
    return this->OwnerQuery(iid);
  }

  std::int32_t GetRefCount() override { return this->Count(); }
};

// Gives up or adds one reference to any object: through Prjrep::IRefCount when the object
// answers it, else through CommonI::IRefCount; nothing for null or an uncounted object.
void ReleaseInterface(CitI::IInterface* object);
void AddRefInterface(CitI::IInterface* object);
// AddRefInterface that says whether the object was counted at all.
bool AddRefIfCounted(CitI::IInterface* object);

// The same for an object asked directly (without first asking for its root interface).
// Holders and sets count through these, so that adding and giving up always take one road.
void AddRefObject(CitI::IInterface* object);
void ReleaseObject(CitI::IInterface* object);

}  // namespace Prjrep

namespace CommonI {

// The count of a factory, answering CommonI::IRefCount.
template <class T, int N>
class TRefCountHelper final : public Hvd::TCountCore<IRefCount, T> {
 public:
  using Hvd::TCountCore<IRefCount, T>::TCountCore;

  auto QueryTable() { return Hvd::Table(Hvd::Row<IRefCount>(this)); }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* answer = QueryTable().Answer(iid)) return answer;
    return this->OwnerQuery(iid);
  }

  std::uint64_t GetRefCount(std::int32_t& count) override {
    count = this->Count();
    return 1;
  }
};

// Releases `var` through CommonI::IRefCount (when it answers) and sets it to null.
template <class T>
void ReleaseRef(T*& var) {
  if (var == nullptr) return;
  if (auto* count = static_cast<IRefCount*>(var->QueryInterface(IRefCount::GetIID()))) count->Release();
  var = nullptr;
}

// Counted assignment through CommonI::IRefCount; adds before it releases, so that
// assigning a variable to itself is safe.
template <class T>
T*& AssignRef(T*& destination, T* const& source) {
  T* const incoming = source;
  if (incoming != nullptr) {
    if (auto* count = static_cast<IRefCount*>(incoming->QueryInterface(IRefCount::GetIID()))) count->AddRef();
  }
  T* const old = destination;
  destination = incoming;
  if (old != nullptr) {
    if (auto* count = static_cast<IRefCount*>(old->QueryInterface(IRefCount::GetIID()))) count->Release();
  }
  return destination;
}

}  // namespace CommonI

namespace Hvd {

// Lowers, when the scope ends, a re-entrancy counter that its user has just raised with
// Port::SafeIncr.
class ScopedSafeIncrement {
 public:
  explicit ScopedSafeIncrement(std::int32_t* counter) noexcept : m_counter(counter) {}
  ScopedSafeIncrement(const ScopedSafeIncrement&) = delete;
  ScopedSafeIncrement& operator=(const ScopedSafeIncrement&) = delete;
  ~ScopedSafeIncrement() {
    if (m_counter != nullptr) Port::SafeDecr(*m_counter);
  }

 private:
  std::int32_t* m_counter;
};

}  // namespace Hvd
