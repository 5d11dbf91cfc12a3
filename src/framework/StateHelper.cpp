#include "framework/StateHelper.h"

#include <optional>
#include <utility>
#include <vector>

#include "core/Interface.h"

namespace Hvd {

namespace {

// The cursor is the state it stands on, not a place in the set: a state removed under it,
// or the whole set cleared, leaves it nothing to read past. Next goes to the first state
// above the one it stood on.
class CStateValueIterator final : public TComponent<CStateValueIterator, IStateValueIterator> {
 public:
  explicit CStateValueIterator(std::shared_ptr<CStateHelper::States> states) : m_states(std::move(states)) {}

  auto QueryTable() { return Table(Row<IStateValueIterator>(this), Row<CitI::IInterface>(this)); }

  Status Reset() override {
    m_cursor.reset();
    if (!m_states->empty()) m_cursor = *m_states->begin();
    return kSuccess;
  }
  Status Next() override {
    if (!m_cursor) return kFailure;
    auto next = m_states->upper_bound(*m_cursor);
    m_cursor.reset();
    if (next != m_states->end()) m_cursor = *next;
    return kSuccess;
  }
  bool IsDone() override { return !m_cursor; }
  Status Current(CStateHelper::String* value) override {
    if (value == nullptr) return kInvalidParameter;
    if (!m_cursor) {
      *value = CStateHelper::String();
      return kFailure;
    }
    *value = *m_cursor;
    return kSuccess;
  }

 private:
  std::shared_ptr<CStateHelper::States> m_states;
  std::optional<CStateHelper::String> m_cursor;  // empty until the first Reset, and at the end
};

}  // namespace

CStateHelper::CStateHelper() = default;

CStateHelper::CStateHelper(CitI::IInterface* owner, const Port::XUID& id) : CStateHelper() {
  SetOwner(owner);
  m_id = id;
}

CStateHelper::~CStateHelper() {
  if (m_states) m_states->clear();
  m_id = Port::XUID();
}

void CStateHelper::SetOwner(CitI::IInterface* owner) noexcept {
  m_owner = owner;
  m_ownerEventSender = owner != nullptr
                           ? CastAnswer<Prjrep::IEventSender>(owner->QueryInterface(Prjrep::IEventSender::GetIID()))
                           : nullptr;
}

CStateHelper::States& CStateHelper::Made() {
  if (!m_states) m_states = std::make_shared<States>();
  return *m_states;
}

// The iterator shares the set, so that it sees what is added after it was made.
std::unique_ptr<IStateValueIterator> CStateHelper::CreateIterator() {
  std::ignore = Made();
  return std::make_unique<CStateValueIterator>(m_states);
}

// The values are read before the set is emptied, so that the set's own iterator (or one
// over a set that shares its states) hands its values over instead of losing them.
Status CStateHelper::SetAll(IStateValueIterator* values) {
  if (values == nullptr || values->Reset() != kSuccess) {
    std::ignore = Clear();
    return kFailure;
  }
  std::vector<String> incoming;
  String value;
  for (; !values->IsDone(); std::ignore = values->Next()) {
    if (values->Current(&value) != kSuccess) break;
    incoming.push_back(value);
  }
  std::ignore = Clear();
  Status result = kSuccess;
  for (const String& state : incoming) {
    if (!Add(state)) result = kFailure;
  }
  return result;
}

bool CStateHelper::Clear() {
  if (!m_states || m_states->empty()) return false;
  m_states->clear();
  return true;
}

// A count, then that many strings in set order.
Status CStateHelper::Save(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  Status status = storage->WriteInt32(static_cast<std::int32_t>(m_states ? m_states->size() : 0));
  if (status != kSuccess || !m_states) return status;
  for (const String& state : *m_states) {
    status = storage->WriteString(&state);
    if (status != kSuccess) return status;
  }
  return kSuccess;
}

// Adds to what is held. The first failed read ends the load, so that a corrupt count costs
// one failed read, not one per counted string.
Status CStateHelper::Load(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  std::int32_t count = 0;
  Status status = storage->ReadInt32(&count);
  if (status != kSuccess) return status;
  for (std::int32_t i = 0; i < count; ++i) {
    String state;
    status = storage->ReadString(&state);
    if (status != kSuccess) return status;
    std::ignore = Add(state);
  }
  return kSuccess;
}

}  // namespace Hvd
