#pragma once
// The file's two sets of transform bindings, each made when it is first handed out or
// filled: few files are bound to a transform, and a project holds many files. A set not
// made yet answers as the empty set it would be.

#include "Hvd/ITransformBindingSets.h"
#include "Hvd/Status.h"
#include "core/Holders.h"
#include "framework/TransformBindingSets.h"

namespace Hvd {

class CFileBindingSets final : public ITransformBindingSets {
 public:
  // `owner` answers every query; the sets are made for its root.
  explicit CFileBindingSets(CitI::IInterface* owner) : m_owner(owner) {}
  CFileBindingSets(const CFileBindingSets&) = delete;
  CFileBindingSets& operator=(const CFileBindingSets&) = delete;

  ~CFileBindingSets() override {
    m_firstSet = nullptr;
    m_secondSet = nullptr;
  }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }

  Hvd::Status GetFirstBindingSet(ITransformBindingInstanceSet** set) override { return HandOut(true, set); }
  Hvd::Status GetSecondBindingSet(ITransformBindingInstanceSet** set) override { return HandOut(false, set); }

  // The first set, then the second. A failed load of the first set ends the load: the
  // stream is then out of step, and the second set would take in the first set's bindings.
  Hvd::Status PersistLoad(Prjrep::IStorage* storage) override {
    const Hvd::Status status = Made(true)->PersistLoad(storage);
    return status != kSuccess ? status : Made(false)->PersistLoad(storage);
  }
  // Both sets are written whatever the first gives; the first result other than 1 is the
  // answer. A set not made is written as an empty one, without keeping it.
  Hvd::Status PersistSave(Prjrep::IStorage* storage) override {
    const Hvd::Status first = SaveOf(true, storage);
    const Hvd::Status second = SaveOf(false, storage);
    return first != kSuccess ? first : second;
  }

  // The sets as made so far; null for a set not made yet, which the set helpers take as empty.
  CTransformBindingSet* FirstSet() const noexcept { return m_firstSet.Get(); }
  CTransformBindingSet* SecondSet() const noexcept { return m_secondSet.Get(); }

 private:
  Prjrep::AutoPtr<CTransformBindingSet>& Held(bool first) { return first ? m_firstSet : m_secondSet; }

  CTransformBindingSet* Made(bool first) {
    Prjrep::AutoPtr<CTransformBindingSet>& held = Held(first);
    if (!held) held = Prjrep::AutoRelease<CTransformBindingSet>(New(first));
    return held.Get();
  }

  CTransformBindingSet* New(bool first) const {
    CitI::IInterface* root = m_owner != nullptr ? m_owner->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
    return new CTransformBindingSet(root, first);
  }

  Hvd::Status HandOut(bool first, ITransformBindingInstanceSet** out) {
    if (out == nullptr) return kInvalidParameter;
    Prjrep::AutoOut<ITransformBindingInstanceSet>(out).Assign(Made(first));
    return kSuccess;
  }

  Hvd::Status SaveOf(bool first, Prjrep::IStorage* storage) {
    if (CTransformBindingSet* held = Held(first).Get()) return held->PersistSave(storage);
    const Prjrep::AutoRelease<CTransformBindingSet> empty(New(first));
    return empty->PersistSave(storage);
  }

  CitI::IInterface* m_owner;
  Prjrep::AutoPtr<CTransformBindingSet> m_firstSet;
  Prjrep::AutoPtr<CTransformBindingSet> m_secondSet;
};

}  // namespace Hvd
