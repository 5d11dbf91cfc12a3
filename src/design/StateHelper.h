#pragma once
// The state set that a design, a view and a source file each keep and answer as IState.

#include <set>

#include "Hvd/IState.h"
#include "Port/StringBase.h"
#include "Port/XUID.h"

namespace Hvd {

// Lives inside its owner and answers every query through it; the states are kept in byte
// order, each once.
class CStateHelper final : public IState {
 public:
  CStateHelper() = default;
  CStateHelper(CitI::IInterface* owner, const Port::XUID& id) : m_owner(owner), m_id(id) {}
  CStateHelper(const CStateHelper&) = delete;
  CStateHelper& operator=(const CStateHelper&) = delete;

  void SetOwner(CitI::IInterface* owner) noexcept { m_owner = owner; }
  // Which kind of owner the states belong to (design, view or file).
  void SetId(const Port::XUID& id) noexcept { m_id = id; }
  const Port::XUID& Id() const noexcept { return m_id; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }
  bool Contains(const Port::StringBase<char>& state) override { return m_states.count(state) != 0; }
  bool Add(const Port::StringBase<char>& state) override { return m_states.insert(state).second; }
  bool Remove(const Port::StringBase<char>& state) override { return m_states.erase(state) != 0; }
  bool Clear() override {
    if (m_states.empty()) return false;
    m_states.clear();
    return true;
  }

 private:
  CitI::IInterface* m_owner = nullptr;
  Port::XUID m_id;
  std::set<Port::StringBase<char>> m_states;
};

}  // namespace Hvd
