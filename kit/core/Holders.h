#pragma once
// Interface holders. Each turns the object it is given into an `I` pointer by querying it
// for the id of `I`, and takes or gives up a reference according to its kind:
//   AutoCast    borrows: takes no reference, gives none up;
//   AutoRelease adopts the reference that came with the object and gives it up;
//   AutoPtr     adds a reference of its own and gives it up;
//   AutoReturn  adds a reference that passes to whoever receives the pointer;
//   AutoOut     writes a pointer with an added reference into a caller's output variable;
//   SmartPtr    keeps a set alive for as long as an iterator over it exists.
// A function that hands out a reference returns an AutoRelease, which cannot be dropped
// unnoticed; a raw pointer is always borrowed. Holding an object as another interface is
// always written out: a constructor, TryAs<J>() or As<J>().

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "Hvd/Status.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Prjrep {

template <class I>
class AutoCast {
 public:
  using Interface = I;

  AutoCast() noexcept = default;
  AutoCast(std::nullptr_t) noexcept {}  // NOLINT: implicit by design
  template <class Obj>
  explicit AutoCast(Obj* obj) : m_p(Query(obj)) {}
  template <class J>
  explicit AutoCast(const AutoCast<J>& holder) : m_p(Query(holder.Get())) {}
  AutoCast(const AutoCast& other) noexcept = default;
  AutoCast& operator=(const AutoCast& other) noexcept = default;
  ~AutoCast() { m_p = nullptr; }

  I* Get() const noexcept { return m_p; }
  I* operator->() const noexcept { return m_p; }
  operator I*() const noexcept { return m_p; }  // NOLINT: passes the pointer on, as the model asks
  explicit operator bool() const noexcept { return m_p != nullptr; }

  // The held object as `J`, borrowed: empty when it does not answer `J`.
  template <class J>
  AutoCast<J> TryAs() const {
    return AutoCast<J>(m_p);
  }
  // The same for an interface the object is known to answer.
  template <class J>
  AutoCast<J> As() const {
    AutoCast<J> answer(m_p);
    assert(answer.Get() != nullptr && "the object does not answer the interface");
    return answer;
  }

 protected:
  template <class Obj>
  static I* Query(Obj* obj) {
    if (obj == nullptr) return nullptr;
    return Hvd::CastAnswer<I>(obj->QueryInterface(Hvd::IidOf<I>()));
  }
  static CitI::IInterface* Root(I* p) noexcept { return p; }

  // Holds `q` and gives up the reference of the pointer held before.
  void Replace(I* q) {
    I* old = std::exchange(m_p, q);
    if (old != nullptr) ReleaseObject(Root(old));
  }
  // Holds `q` with a reference of its own; `q` already held changes nothing.
  void Keep(I* q) {
    if (q == m_p) return;
    if (q != nullptr) AddRefObject(Root(q));
    Replace(q);
  }
  // Takes over what `other` holds, reference included.
  void TakeFrom(AutoCast& other) {
    if (this != &other) Replace(std::exchange(other.m_p, nullptr));
  }

  I* m_p = nullptr;
};

template <class I>
class [[nodiscard]] AutoRelease : public AutoCast<I> {
  using Base = AutoCast<I>;

 public:
  AutoRelease() noexcept = default;
  AutoRelease(std::nullptr_t) noexcept {}  // NOLINT
  template <class Obj>
  explicit AutoRelease(Obj* obj) {
    Assign(obj);
  }
  AutoRelease(const AutoRelease&) = delete;
  AutoRelease& operator=(const AutoRelease&) = delete;
  AutoRelease(AutoRelease&& other) noexcept { this->TakeFrom(other); }
  // Takes over another holder's reference, held as `I`: given up when the object does not
  // answer `I`.
  template <class J>
  explicit AutoRelease(AutoRelease<J>&& other) {
    Assign(other.Detach());
  }
  AutoRelease& operator=(AutoRelease&& other) noexcept {
    this->TakeFrom(other);
    return *this;
  }
  ~AutoRelease() { this->Replace(nullptr); }

  // Adopts the reference that came with `obj`. The duplicate reference of the object
  // already held, and the reference of an object that does not answer `I`, are given up.
  template <class Obj>
  Hvd::Succeeded Assign(Obj* obj) {
    I* q = Base::Query(obj);
    if (q == nullptr && obj != nullptr) ReleaseObject(obj);
    if (q == this->m_p) {
      if (q != nullptr) ReleaseObject(Base::Root(q));
      return {};
    }
    this->Replace(q);
    return {};
  }
  Hvd::Succeeded Assign(std::nullptr_t) {
    this->Replace(nullptr);
    return {};
  }

  // Hands out the pointer variable of an empty holder, so that an operation's output
  // argument lands in it and its reference is adopted. A full holder would lose track of
  // its reference: empty it first.
  I** Receive() {
    assert(this->m_p == nullptr && "Receive on a holder that still holds an object");
    return &this->m_p;
  }
  // Gives up what the holder holds, then receives: for a holder filled again and again.
  I** ReleaseAndReceive() {
    this->Replace(nullptr);
    return &this->m_p;
  }

  // Gives the held reference to the caller and empties the holder.
  I* Detach() noexcept { return std::exchange(this->m_p, nullptr); }
};

template <class I>
class [[nodiscard]] AutoPtr : public AutoCast<I> {
  using Base = AutoCast<I>;

 public:
  AutoPtr() noexcept = default;
  AutoPtr(std::nullptr_t) noexcept {}  // NOLINT
  template <class Obj>
  explicit AutoPtr(Obj* obj) {
    Assign(obj);
  }
  template <class J>
  explicit AutoPtr(const AutoCast<J>& holder) {
    Assign(holder.Get());
  }
  AutoPtr(const AutoPtr& other) : Base() { Assign(other.Get()); }
  AutoPtr(AutoPtr&& other) noexcept { this->TakeFrom(other); }
  // Takes over the reference that an AutoRelease holds.
  template <class J>
  AutoPtr(AutoRelease<J>&& other) {  // NOLINT: a handed-out reference becomes a kept one
    Adopt(other);
  }
  template <class J>
  AutoPtr& operator=(AutoRelease<J>&& other) {
    Adopt(other);
    return *this;
  }
  AutoPtr& operator=(const AutoPtr& other) {
    Assign(other.Get());
    return *this;
  }
  AutoPtr& operator=(AutoPtr&& other) noexcept {
    this->TakeFrom(other);
    return *this;
  }
  template <class Obj>
  AutoPtr& operator=(Obj* obj) {
    Assign(obj);
    return *this;
  }
  ~AutoPtr() { this->Replace(nullptr); }

  template <class Obj>
  Hvd::Succeeded Assign(Obj* obj) {
    this->Keep(Base::Query(obj));
    return {};
  }
  Hvd::Succeeded Assign(std::nullptr_t) {
    this->Replace(nullptr);
    return {};
  }

 private:
  // The object `other` holds, as `I`, with the reference `other` had; `other` ends empty.
  // What does not answer `I`, or is held already, keeps its reference in `other`.
  template <class J>
  void Adopt(AutoRelease<J>& other) {
    I* q = Base::Query(other.Get());
    // An empty holder, or one whose object does not answer `I`, empties this one too.
    if (q == nullptr) {
      other.Assign(nullptr);
      this->Replace(nullptr);
      return;
    }
    if (q == this->m_p) {
      other.Assign(nullptr);
      return;
    }
    std::ignore = other.Detach();
    this->Replace(q);
  }
};

// Builds a return value: `return AutoReturn<I>(obj);` hands the caller one reference.
template <class I>
class AutoReturn : public AutoCast<I> {
  using Base = AutoCast<I>;

 public:
  AutoReturn() noexcept = default;
  template <class Obj>
  explicit AutoReturn(Obj* obj) {
    Assign(obj);
  }
  template <class J>
  explicit AutoReturn(const AutoCast<J>& holder) {
    Assign(holder.Get());
  }
  AutoReturn(const AutoReturn&) = delete;
  AutoReturn& operator=(const AutoReturn&) = delete;
  ~AutoReturn() { this->m_p = nullptr; }  // the reference belongs to the receiver

  // A second assignment gives up the reference added for the first, which nobody received.
  template <class Obj>
  Hvd::Succeeded Assign(Obj* obj) {
    this->Keep(Base::Query(obj));
    return {};
  }
};

// Fills an output argument: the constructor clears the caller's variable, Assign writes a
// pointer with one added reference for the caller.
template <class I>
class AutoOut {
 public:
  explicit AutoOut(I** out) noexcept : m_out(out) {
    if (m_out != nullptr) *m_out = nullptr;
  }
  AutoOut(const AutoOut&) = delete;
  AutoOut& operator=(const AutoOut&) = delete;

  I** Get() const noexcept { return m_out; }

  // A second assignment gives up the reference that this holder wrote before, when the
  // caller's variable still holds it.
  template <class Obj>
  Hvd::Succeeded Assign(Obj* obj) {
    I* q = obj == nullptr ? nullptr : Hvd::CastAnswer<I>(obj->QueryInterface(Hvd::IidOf<I>()));
    if (m_out == nullptr) return {};
    if (q == *m_out) return {};
    if (q != nullptr) AddRefObject(q);
    I* old = std::exchange(*m_out, q);
    if (old != nullptr && old == m_written) ReleaseObject(old);
    m_written = q;
    return {};
  }
  Hvd::Succeeded Assign(std::nullptr_t) { return Assign(static_cast<I*>(nullptr)); }
  template <class J>
  Hvd::Succeeded Assign(const AutoCast<J>& holder) {
    return Assign(holder.Get());
  }

 private:
  I** m_out;
  I* m_written = nullptr;
};

// An iterator's hold on its set: one reference from construction to destruction. What
// was not counted at construction (a set without owner or count of its own) is not
// released either, so a set that answers a count only later is never over-released.
template <class X>
class SmartPtr {
 public:
  explicit SmartPtr(X* set) : m_p(set), m_counted(AddRefIfCounted(m_p)) {}
  SmartPtr(const SmartPtr&) = delete;
  SmartPtr& operator=(const SmartPtr&) = delete;
  ~SmartPtr() {
    if (m_counted) ReleaseInterface(m_p);
  }

  X* Get() const noexcept { return m_p; }
  X* operator->() const noexcept { return m_p; }
  // False when the holder keeps nothing alive.
  bool Counted() const noexcept { return m_counted; }

 private:
  X* m_p;
  bool m_counted;
};

}  // namespace Prjrep
