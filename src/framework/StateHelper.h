#pragma once
// The state set that a design, a view and a source file each keep and answer as IState.

#include <memory>
#include <set>

#include "Hvd/IState.h"
#include "Port/StringBase.h"
#include "Port/XUID.h"
#include "Prjrep/IEvents.h"

namespace Hvd {

// Lives inside its owner and answers every query through it; the states are kept in byte
// order, each once.
class CStateHelper final : public IState {
 public:
  using String = Port::StringBase<char>;
  // Shared with the set's iterators, so that an iterator that outlives its set walks an
  // empty list instead of freed memory.
  using States = std::set<String>;

  CStateHelper();
  CStateHelper(CitI::IInterface* owner, const Port::XUID& id);
  CStateHelper(const CStateHelper&) = delete;
  CStateHelper& operator=(const CStateHelper&) = delete;
  ~CStateHelper() override;

  // Also keeps the owner's event sender, for the owner's use; the owner is not counted.
  void SetOwner(CitI::IInterface* owner) noexcept;
  Prjrep::IEventSender* OwnerEventSender() const noexcept { return m_ownerEventSender; }
  // Which kind of owner the states belong to (design, view or file).
  void SetId(const Port::XUID& id) noexcept { m_id = id; }
  const Port::XUID& Id() const noexcept { return m_id; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }
  std::unique_ptr<IStateValueIterator> CreateIterator() override;
  bool Contains(const String& state) override { return m_states && m_states->count(state) != 0; }
  bool Add(const String& state) override { return Made().insert(state).second; }
  bool Remove(const String& state) override { return m_states && m_states->erase(state) != 0; }
  Hvd::Status SetAll(IStateValueIterator* values) override;
  bool Clear() override;
  Hvd::Status Load(Prjrep::IStorage* storage) override;
  Hvd::Status Save(Prjrep::IStorage* storage) override;

 private:
  CitI::IInterface* m_owner = nullptr;
  Prjrep::IEventSender* m_ownerEventSender = nullptr;
  // The set and its storage are made when a state is first added or an iterator asked for:
  // most owners never hold a state.
  States& Made();

  Port::XUID m_id;
  std::shared_ptr<States> m_states;
};

}  // namespace Hvd
