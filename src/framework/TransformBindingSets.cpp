#include "framework/TransformBindingSets.h"

#include <algorithm>
#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"

namespace Hvd {

namespace {

using Bindings = std::vector<Prjrep::AutoPtr<ITransformBindingInstance>>;


// The members of a set, each kept alive, so that a walk that calls out is not cut short by a
// set that changes under it.
Bindings Members(CTransformBindingSet* set) {
  Bindings members;
  Prjrep::AutoRelease<ITransformBindingInstanceIterator> it;
  if (set == nullptr || set->GetIterator(it.Receive()) != kSuccess || !it) return members;
  for (; !it->IsDone(); std::ignore = it->Next()) members.emplace_back(it->Current());
  return members;
}

// Runs `admin` on every member that answers ICompAdmin; a member without it folds
// kMissingInterface. The first result other than 1 is the answer.
template <class Admin>
Status ForEachAdmin(CTransformBindingSet* set, Admin admin) {
  Status result = kSuccess;
  for (const auto& binding : Members(set)) {
    Prjrep::AutoCast<ICompAdmin> member(binding.Get());
    const Status status = member ? admin(member.Get()) : kMissingInterface;
    if (result == kSuccess) result = status;
  }
  return result;
}

bool IsObsolete(ITransformBindingInstance* binding) {
  Prjrep::AutoRelease<CitI::IInterface> definition;
  if (binding == nullptr || binding->GetDefinition(definition.Receive()) != kSuccess) return false;
  Prjrep::AutoCast<IDefDataObsolete> test(definition.Get());
  bool obsolete = false;
  return test && test->IsObsolete(&obsolete) == kSuccess && obsolete;
}

}  // namespace

CTransformBindingSet::CTransformBindingSet(CitI::IInterface* owner, bool isFirstSide) : m_isFirstSide(isFirstSide) {
  std::ignore = SetOwner(owner);
}

bool CTransformBindingSet::Holds(ITransformBindingInstance* binding) const {
  return binding != nullptr && std::find(m_elements.begin(), m_elements.end(), binding) != m_elements.end();
}

// The binding is taken as its own ITransformBindingInstance part, so that one object is one member.
Status CTransformBindingSet::Add(ITransformBindingInstance* binding) {
  if (binding == nullptr) return kFailure;
  auto* part = CastAnswer<ITransformBindingInstance>(binding->QueryInterface(ITransformBindingInstance::GetIID()));
  if (part == nullptr) return kMissingInterface;
  if (Holds(part)) return kSuccess;
  const Status status = TRefdSequenceSetHelper::Add(part);
  if (status == kSuccess) std::ignore = OnBindingAdded(part);
  return status;
}

Status CTransformBindingSet::Remove(ITransformBindingInstanceIterator* iterator) {
  if (iterator == nullptr) return kInvalidParameter;
  // Kept alive past the set's release, for the hook.
  Prjrep::AutoPtr<ITransformBindingInstance> leaving(iterator->Current());
  if (!Holds(leaving.Get())) return kSuccess;
  if (iterator->IsDone()) return kFailure;
  if (TRefdSequenceSetHelper::Remove(iterator) != kSuccess) {
    // Another set's iterator: its position means nothing in this list.
    auto pos = std::find(m_elements.begin(), m_elements.end(), leaving.Get());
    Erase(pos);
    std::ignore = iterator->Next();
  }
  std::ignore = OnBindingRemoved(leaving);
  return kSuccess;
}

Status CTransformBindingSet::Clear() {
  InvalidateCursors();
  std::list<ITransformBindingInstance*> leaving;
  leaving.swap(m_elements);
  for (ITransformBindingInstance* binding : leaving) std::ignore = OnBindingRemoved(binding);
  for (ITransformBindingInstance* binding : leaving) GiveUpReference(binding);
  return kSuccess;
}

Prjrep::AutoRelease<Prjrep::ISet> CTransformBindingSet::SideObjects(ITransformBindingInstance* binding) {
  Prjrep::AutoRelease<Prjrep::ISet> objects;
  if (m_isFirstSide) {
    std::ignore = binding->GetFirstSideObjects(objects.Receive());
  } else {
    std::ignore = binding->GetSecondSideObjects(objects.Receive());
  }
  return objects;
}

// The engine enters the owner on the binding's side itself; nothing is changed here.
Status CTransformBindingSet::OnBindingAdded(ITransformBindingInstance* binding) {
  std::ignore = SideObjects(binding);
  return kSuccess;
}

// Takes the owner off the binding's side: the first entry that is the owner's object.
Status CTransformBindingSet::OnBindingRemoved(ITransformBindingInstance* binding) {
  if (binding == nullptr) return kSuccess;
  Prjrep::AutoRelease<Prjrep::ISet> objects = SideObjects(binding);
  CitI::IInterface* owner = RootOf(m_owner);
  Prjrep::AutoRelease<Prjrep::IIterator> it;
  if (!objects || owner == nullptr || objects->GetIterator(it.Receive()) != kSuccess || !it) return kSuccess;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    if (RootOf(it->Current()) == owner) return objects->Remove(it);
  }
  return kSuccess;
}

Status ClearTransformBindingSet(CTransformBindingSet* set) { return set != nullptr ? set->Clear() : kSuccess; }

bool ContainsBindingInstance(CTransformBindingSet* set, ITransformBindingInstance* binding) {
  return set != nullptr && set->Holds(binding);
}

// The set's owner, not the context, is what the bindings are set up with; the context only
// has to be there.
Status InitializeComponentsAfterLoad(CTransformBindingSet* set, CitI::IInterface* context) {
  if (context == nullptr) return kBadParameters;
  CitI::IInterface* owner = set != nullptr ? set->Owner() : nullptr;
  return ForEachAdmin(set, [owner](ICompAdmin* member) { return member->InitializeAfterLoad(owner); });
}

Status RegisterComponentsForNotifications(CTransformBindingSet* set) {
  return ForEachAdmin(set, [](ICompAdmin* member) { return member->RegisterForNotifications(); });
}

// An obsolete binding leaves through Remove, so that it no longer lists the owner either.
Status RemoveObsoleteComponents(CTransformBindingSet* set) {
  Prjrep::AutoRelease<ITransformBindingInstanceIterator> it;
  if (set == nullptr || set->GetIterator(it.Receive()) != kSuccess || !it) return kSuccess;
  while (!it->IsDone()) {
    if (IsObsolete(it->Current())) {
      std::ignore = set->Remove(it);  // leaves the iterator on the next binding
    } else {
      std::ignore = it->Next();
    }
  }
  return kSuccess;
}

Status RemoveObsoleteComponent(Prjrep::AutoPtr<ITransformBindingInstance>& binding) {
  if (IsObsolete(binding.Get())) binding = nullptr;
  return kSuccess;
}

}  // namespace Hvd
