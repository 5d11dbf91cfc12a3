#pragma once
// The name and the timestamp of a component, each an embedded helper.

#include <cstdint>

#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"

namespace Prjrep {

class CNameHelper : public IName {
 public:
  explicit CNameHelper(CitI::IInterface* owner = nullptr) noexcept : m_owner(owner) {}
  CNameHelper(const CNameHelper&) = delete;
  CNameHelper& operator=(const CNameHelper&) = delete;

  // The name is the helper itself; every other id is the owner's.
  auto QueryTable() { return Hvd::Table(Hvd::Row<IName>(this)); }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  Hvd::Status SetName(const Port::StringBase<char>& name) override;
  Hvd::Status GetName(Port::StringBase<char>& name) override;
  Hvd::Status SetOwner(CitI::IInterface* owner) override;

  const Port::StringBase<char>& Name() const noexcept { return m_name; }

 protected:
  CitI::IInterface* m_owner;
  Port::StringBase<char> m_name;
};

// The point in time of a component, as seconds and microseconds; (0, 0) until set.
class CTimestampHelper : public ITimestamp {
 public:
  explicit CTimestampHelper(CitI::IInterface* owner = nullptr) noexcept : m_owner(owner) {}
  CTimestampHelper(const CTimestampHelper&) = delete;
  CTimestampHelper& operator=(const CTimestampHelper&) = delete;

  // Answers only through its component, which answers ITimestamp with this helper.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  Hvd::Status SetToNow() override;
  Hvd::Status SetTime(std::int64_t seconds, std::int64_t microseconds) override;
  Hvd::Status GetTime(std::int64_t* seconds, std::int64_t* microseconds) override;
  Hvd::Status GetTimeString(Port::StringBase<char>* text) override;
  Hvd::Status Compare(ITimestamp* other, std::int32_t* result) override;
  Hvd::Status IsLaterThan(ITimestamp* other, bool* result) override;
  Hvd::Status IsEarlierThan(ITimestamp* other, bool* result) override;
  Hvd::Status Load(IStorage* storage) override;
  Hvd::Status Save(IStorage* storage) override;

  void SetOwner(CitI::IInterface* owner) noexcept { m_owner = owner; }

 private:
  // -1, 0 or 1 against the other's value; the other's failed read is passed on.
  Hvd::Status Order(ITimestamp* other, int& order);

  CitI::IInterface* m_owner;
  std::int64_t m_seconds = 0;
  std::int64_t m_microseconds = 0;
};

}  // namespace Prjrep

namespace Hvd {

// A name helper that announces every change of name from its owner, after storing it.
class CEventingNameHelper : public Prjrep::CNameHelper {
 public:
  using CNameHelper::CNameHelper;
  Hvd::Status SetName(const Port::StringBase<char>& name) override;
};

}  // namespace Hvd
