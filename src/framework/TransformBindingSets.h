#pragma once
// The two sets of transform bindings of a file or a view.

#include <cstdint>
#include <list>

#include "Hvd/ITransformBindingSets.h"
#include "Hvd/Status.h"
#include "core/Holders.h"
#include "core/Sets.h"

namespace Hvd {

// A set of bindings that lives on its own count. Adding or removing a binding keeps the
// binding's own object set on this set's side in step: a binding that leaves the set no
// longer lists the set's owner.
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
  // Each binding once.
  Hvd::Status Add(ITransformBindingInstance* binding) override;
  Hvd::Status Remove(ITransformBindingInstanceIterator* iterator) override;
  Hvd::Status Clear() override;

  virtual Hvd::Status OnBindingAdded(ITransformBindingInstance* binding);
  virtual Hvd::Status OnBindingRemoved(ITransformBindingInstance* binding);

  bool IsFirstSide() const noexcept { return m_isFirstSide; }
  CitI::IInterface* Owner() const noexcept { return m_owner; }

 private:
  // The binding's objects on this set's side, with one reference.
  Prjrep::AutoRelease<Prjrep::ISet> SideObjects(ITransformBindingInstance* binding);

  bool m_isFirstSide;
};

// Component administration over the bindings of a set: each binding that answers ICompAdmin
// is set up after a load with the set's owner, or registered for notifications. A binding
// without ICompAdmin counts as kMissingInterface; every binding is visited, and the first
// result other than 1 is the answer. A null context is refused even for an empty set.
Hvd::Status InitializeComponentsAfterLoad(CTransformBindingSet* set, CitI::IInterface* context);
Hvd::Status RegisterComponentsForNotifications(CTransformBindingSet* set);
// Takes out of the set every binding whose definition is obsolete.
Hvd::Status RemoveObsoleteComponents(CTransformBindingSet* set);

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

  // The first set, then the second. A failure ends the operation: after it the stream is
  // out of step, and the second set would read the first set's entries.
  virtual Hvd::Status PersistLoad(Prjrep::IStorage* storage) {
    const Hvd::Status status = m_firstSet->PersistLoad(storage);
    return status != kSuccess ? status : m_secondSet->PersistLoad(storage);
  }
  virtual Hvd::Status PersistSave(Prjrep::IStorage* storage) {
    const Hvd::Status status = m_firstSet->PersistSave(storage);
    return status != kSuccess ? status : m_secondSet->PersistSave(storage);
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
