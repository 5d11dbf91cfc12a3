#include "framework/TransformBindingSets.h"

#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"

namespace Hvd {

CTransformBindingSet::CTransformBindingSet(CitI::IInterface* owner, bool isFirstSide) : m_isFirstSide(isFirstSide) {
  std::ignore = SetOwner(owner);
}

Hvd::Status CTransformBindingSet::Add(ITransformBindingInstance* binding) {
  if (binding == nullptr) return kFailure;
  for (ITransformBindingInstance* held : m_elements) {
    if (held == binding) return kSuccess;
  }
  const Hvd::Status status = TRefdSequenceSetHelper::Add(binding);
  if (status == kSuccess) std::ignore = OnBindingAdded(binding);
  return status;
}

Hvd::Status CTransformBindingSet::Remove(ITransformBindingInstanceIterator* iterator) {
  // The binding is kept alive past its release by the set, for its hook.
  Prjrep::AutoPtr<ITransformBindingInstance> leaving(iterator != nullptr && !iterator->IsDone() ? iterator->Current()
                                                                                                : nullptr);
  const Hvd::Status status = TRefdSequenceSetHelper::Remove(iterator);
  if (status == kSuccess && leaving.Get() != nullptr) std::ignore = OnBindingRemoved(leaving);
  return status;
}

Hvd::Status CTransformBindingSet::Clear() {
  std::vector<Prjrep::AutoPtr<ITransformBindingInstance>> leaving(m_elements.begin(), m_elements.end());
  ReleaseAll();
  for (auto& binding : leaving) std::ignore = OnBindingRemoved(binding);
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

Hvd::Status CTransformBindingSet::OnBindingAdded(ITransformBindingInstance* binding) {
  std::ignore = SideObjects(binding);  // the binding lists its objects itself; nothing to change here
  return kSuccess;
}

Hvd::Status CTransformBindingSet::OnBindingRemoved(ITransformBindingInstance* binding) {
  Prjrep::AutoRelease<Prjrep::ISet> objects = SideObjects(binding);
  if (objects.Get() == nullptr || m_owner == nullptr) return kSuccess;
  CitI::IInterface* ownerRoot = m_owner->QueryInterface(CitI::IInterface::GetIID());
  Prjrep::AutoRelease<Prjrep::IIterator> it;
  if (objects->GetIterator(it.Receive()) != kSuccess || it.Get() == nullptr) return kSuccess;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
    CitI::IInterface* object = it->Current();
    if (object != nullptr && object->QueryInterface(CitI::IInterface::GetIID()) == ownerRoot) {
      return objects->Remove(it);
    }
  }
  return kSuccess;
}

namespace {

// Runs `admin` on every binding of the set that answers ICompAdmin; folds as described in the
// header.
template <class Admin>
Hvd::Status ForEachAdmin(CTransformBindingSet* set, Admin admin) {
  if (set == nullptr) return kSuccess;
  Prjrep::AutoRelease<ITransformBindingInstanceIterator> it;
  if (set->GetIterator(it.Receive()) != kSuccess || it.Get() == nullptr) return kSuccess;
  Hvd::Status result = kSuccess;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoCast<ICompAdmin> member(it->Current());
    const Hvd::Status status = member ? admin(member.Get()) : kMissingInterface;
    if (result == kSuccess) result = status;
  }
  return result;
}

}  // namespace

Hvd::Status InitializeComponentsAfterLoad(CTransformBindingSet* set, CitI::IInterface* context) {
  if (context == nullptr) return kBadParameters;
  CitI::IInterface* owner = set != nullptr ? set->Owner() : nullptr;
  return ForEachAdmin(set, [owner](ICompAdmin* member) { return member->InitializeAfterLoad(owner); });
}

Hvd::Status RegisterComponentsForNotifications(CTransformBindingSet* set) {
  return ForEachAdmin(set, [](ICompAdmin* member) { return member->RegisterForNotifications(); });
}

Hvd::Status RemoveObsoleteComponents(CTransformBindingSet* set) {
  if (set == nullptr) return kSuccess;
  Prjrep::AutoRelease<ITransformBindingInstanceIterator> it;
  if (set->GetIterator(it.Receive()) != kSuccess || it.Get() == nullptr) return kSuccess;
  while (!it->IsDone()) {
    ITransformBindingInstance* binding = it->Current();
    Prjrep::AutoRelease<CitI::IInterface> definition;
    if (binding != nullptr) std::ignore = binding->GetDefinition(definition.Receive());
    Prjrep::AutoCast<IDefDataObsolete> test(definition.Get());
    bool obsolete = false;
    if (test && test->IsObsolete(&obsolete) == kSuccess && obsolete) {
      std::ignore = set->Remove(it);  // leaves the iterator on the next binding
    } else {
      std::ignore = it->Next();
    }
  }
  return kSuccess;
}

}  // namespace Hvd
