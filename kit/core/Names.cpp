#include "core/Names.h"

#include "Hvd/EventIds.h"
#include "Port/Time.h"
#include "Prjrep/IStorage.h"
#include "core/Events.h"

namespace Prjrep {

CitI::IInterface* CNameHelper::QueryInterface(const Port::XUID& iid) {
  if (CitI::IInterface* answer = QueryTable().Answer(iid)) return answer;
  return m_owner ? m_owner->QueryInterface(iid) : nullptr;
}

Hvd::Status CNameHelper::SetName(const Port::StringBase<char>& name) {
  m_name = name;
  return Hvd::kSuccess;
}

Hvd::Status CNameHelper::GetName(Port::StringBase<char>& name) {
  name = m_name;
  return Hvd::kSuccess;
}

Hvd::Status CNameHelper::SetOwner(CitI::IInterface* owner) {
  m_owner = owner;
  return Hvd::kSuccess;
}

CitI::IInterface* CTimestampHelper::QueryInterface(const Port::XUID& iid) {
  return m_owner ? m_owner->QueryInterface(iid) : nullptr;
}

Hvd::Status CTimestampHelper::SetToNow() {
  UT_CPUTIME::TimeVal now;
  if (UT_CPUTIME::GetCurrTime(now) != 0) return Hvd::kFailure;
  m_seconds = now.sec;
  m_microseconds = now.usec;
  return Hvd::kSuccess;
}

Hvd::Status CTimestampHelper::SetTime(std::int64_t seconds, std::int64_t microseconds) {
  UT_CPUTIME::TimeVal value{seconds, microseconds};
  UT_CPUTIME::normalize(value);
  m_seconds = value.sec;
  m_microseconds = value.usec;
  return Hvd::kSuccess;
}

Hvd::Status CTimestampHelper::GetTime(std::int64_t* seconds, std::int64_t* microseconds) {
  if (microseconds == nullptr) return Hvd::kBadParameters;
  *microseconds = m_microseconds;
  if (seconds == nullptr) return Hvd::kBadParameters;
  *seconds = m_seconds;
  return Hvd::kSuccess;
}

Hvd::Status CTimestampHelper::GetTimeString(Port::StringBase<char>* text) {
  if (text == nullptr) return Hvd::kBadParameters;
  UT_TIME::CTime(&m_seconds, *text);
  text->Trim("\n", Port::StringBase<char>::kTrimBoth);
  return Hvd::kSuccess;
}

Hvd::Status CTimestampHelper::Order(ITimestamp* other, int& order) {
  std::int64_t seconds = 0;
  std::int64_t microseconds = 0;
  const Hvd::Status status = other->GetTime(&seconds, &microseconds);
  if (status != Hvd::kSuccess) return status;
  if (m_seconds != seconds) {
    order = m_seconds > seconds ? 1 : -1;
  } else if (m_microseconds != microseconds) {
    order = m_microseconds > microseconds ? 1 : -1;
  } else {
    order = 0;
  }
  return Hvd::kSuccess;
}

Hvd::Status CTimestampHelper::Compare(ITimestamp* other, std::int32_t* result) {
  if (other == nullptr || result == nullptr) return Hvd::kBadParameters;
  int order = 0;
  const Hvd::Status status = Order(other, order);
  if (status == Hvd::kSuccess) *result = order;
  return status;
}

Hvd::Status CTimestampHelper::IsLaterThan(ITimestamp* other, bool* result) {
  if (other == nullptr || result == nullptr) return Hvd::kBadParameters;
  int order = 0;
  const Hvd::Status status = Order(other, order);
  if (status == Hvd::kSuccess) *result = order > 0;
  return status;
}

Hvd::Status CTimestampHelper::IsEarlierThan(ITimestamp* other, bool* result) {
  if (other == nullptr || result == nullptr) return Hvd::kBadParameters;
  int order = 0;
  const Hvd::Status status = Order(other, order);
  if (status == Hvd::kSuccess) *result = order < 0;
  return status;
}

Hvd::Status CTimestampHelper::Load(IStorage* storage) {
  if (storage == nullptr) return Hvd::kBadParameters;
  // Both values are read, as stored: they are not normalised.
  const Hvd::Status secondsStatus = storage->ReadInt64(&m_seconds);
  const Hvd::Status microsecondsStatus = storage->ReadInt64(&m_microseconds);
  if (microsecondsStatus != Hvd::kSuccess) return microsecondsStatus;
  return secondsStatus;
}

Hvd::Status CTimestampHelper::Save(IStorage* storage) {
  if (storage == nullptr) return Hvd::kBadParameters;
  const Hvd::Status status = storage->WriteInt64(m_seconds);
  if (status != Hvd::kSuccess) return status;
  return storage->WriteInt64(m_microseconds);
}

}  // namespace Prjrep

namespace Hvd {

Hvd::Status CEventingNameHelper::SetName(const Port::StringBase<char>& name) {
  std::ignore = CNameHelper::SetName(name);
  // Every call announces, also when the name did not change; the send's failure (no owner,
  // no sender) is not the caller's concern.
  std::ignore = SendEvent(m_owner, EventId::NameChanged(), m_owner);
  return kSuccess;
}

}  // namespace Hvd
