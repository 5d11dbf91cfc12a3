#pragma once
// The two sets of transform bindings of a file or a view.

#include <cstdint>
#include <list>

#include "Hvd/ITransformBindingSets.h"
#include "Hvd/Status.h"
#include "core/Holders.h"
#include "core/Sets.h"

namespace Hvd {

// A set of bindings that lives on its own count. Removing a binding keeps the binding's own
// object set on this set's side in step: a binding that leaves the set no longer lists the
// set's owner. The first set speaks for the bindings' first side, the second for their second.
class CTransformBindingSet final
    : public TRefdSequenceSetHelper<ITransformBindingInstance*, ITransformBindingInstanceSet,
                                    ITransformBindingInstanceIterator, std::list<ITransformBindingInstance*>> {
 public:
  CTransformBindingSet(CitI::IInterface* owner, bool isFirstSide);

  // The set and its own count; the owner is never asked.
  auto QueryTable() {
    return Table(Row<ITransformBindingInstanceSet>(this), Row<CitI::IInterface>(this),
                 Row<Prjrep::IRefCount>(&m_refCount));
  }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override { return QueryTable().Answer(iid); }
  // Each binding once: adding a member again answers 1 and changes nothing.
  Hvd::Status Add(ITransformBindingInstance* binding) override;
  // Removes the binding under the iterator: 1 with no change when it is no member, 0 when
  // the iterator is done. An iterator of another set is accepted: the binding is found in
  // this set's own list, and the iterator steps on in its own set.
  Hvd::Status Remove(ITransformBindingInstanceIterator* iterator) override;
  // The members leave the set first; each is unhooked, in order, then released.
  Hvd::Status Clear() override;

  virtual Hvd::Status OnBindingAdded(ITransformBindingInstance* binding);
  virtual Hvd::Status OnBindingRemoved(ITransformBindingInstance* binding);

  bool Holds(ITransformBindingInstance* binding) const;
  bool IsFirstSide() const noexcept { return m_isFirstSide; }
  CitI::IInterface* Owner() const noexcept { return m_owner; }

 private:
  // The binding's objects on this set's side, with one reference.
  Prjrep::AutoRelease<Prjrep::ISet> SideObjects(ITransformBindingInstance* binding);

  bool m_isFirstSide;
};

// Empties the set through its Clear, which unhooks the owner from every binding.
Hvd::Status ClearTransformBindingSet(CTransformBindingSet* set);
bool ContainsBindingInstance(CTransformBindingSet* set, ITransformBindingInstance* binding);

// Component administration over the bindings of a set: each binding that answers ICompAdmin
// is set up after a load with the set's owner, or registered for notifications. A binding
// without ICompAdmin counts as kMissingInterface; every binding is visited, and the first
// result other than 1 is the answer. A null context is refused even for an empty set.
Hvd::Status InitializeComponentsAfterLoad(CTransformBindingSet* set, CitI::IInterface* context);
Hvd::Status RegisterComponentsForNotifications(CTransformBindingSet* set);
// Takes out of the set every binding whose definition is obsolete; a binding whose
// definition cannot tell stays.
Hvd::Status RemoveObsoleteComponents(CTransformBindingSet* set);
// The same for one binding held on its own: the holder is emptied when it is obsolete.
Hvd::Status RemoveObsoleteComponent(Prjrep::AutoPtr<ITransformBindingInstance>& binding);

// Gives component `T` its two binding sets, made when the component is built.
template <class T>
class TITransformBindingSetsHelper : public ITransformBindingSets {
 public:
  explicit TITransformBindingSetsHelper(T* owner) : m_owner(owner) {
    CitI::IInterface* root = owner->QueryInterface(CitI::IInterface::GetIID());
    m_firstSet = Prjrep::AutoRelease<CTransformBindingSet>(new CTransformBindingSet(root, true));
    m_secondSet = Prjrep::AutoRelease<CTransformBindingSet>(new CTransformBindingSet(root, false));
  }
  TITransformBindingSetsHelper(const TITransformBindingSetsHelper&) = delete;
  TITransformBindingSetsHelper& operator=(const TITransformBindingSetsHelper&) = delete;

  ~TITransformBindingSetsHelper() override {
    m_firstSet = nullptr;
    m_secondSet = nullptr;
  }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner ? m_owner->QueryInterface(iid) : nullptr;
  }

  Hvd::Status GetFirstBindingSet(ITransformBindingInstanceSet** set) override { return HandOut(m_firstSet, set); }
  Hvd::Status GetSecondBindingSet(ITransformBindingInstanceSet** set) override { return HandOut(m_secondSet, set); }

  // The first set, then the second. A failed load of the first set ends the load: the
  // stream is then out of step, and the second set would take in the first set's bindings.
  Hvd::Status PersistLoad(Prjrep::IStorage* storage) override {
    const Hvd::Status status = m_firstSet->PersistLoad(storage);
    return status != kSuccess ? status : m_secondSet->PersistLoad(storage);
  }
  // Both sets are written whatever the first gives; the first result other than 1 is the answer.
  Hvd::Status PersistSave(Prjrep::IStorage* storage) override {
    const Hvd::Status first = m_firstSet->PersistSave(storage);
    const Hvd::Status second = m_secondSet->PersistSave(storage);
    return first != kSuccess ? first : second;
  }

  CTransformBindingSet* FirstSet() const noexcept { return m_firstSet.Get(); }
  CTransformBindingSet* SecondSet() const noexcept { return m_secondSet.Get(); }

 private:
  static Hvd::Status HandOut(const Prjrep::AutoPtr<CTransformBindingSet>& held, ITransformBindingInstanceSet** out) {
    if (out == nullptr) return kInvalidParameter;
    Prjrep::AutoOut<ITransformBindingInstanceSet>(out).Assign(held.Get());
    return kSuccess;
  }

  T* m_owner;
  Prjrep::AutoPtr<CTransformBindingSet> m_firstSet;
  Prjrep::AutoPtr<CTransformBindingSet> m_secondSet;
};

}  // namespace Hvd
