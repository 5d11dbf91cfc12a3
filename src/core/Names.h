#pragma once
// The name and the timestamp of a component, each an embedded helper.

#include <cstdint>

#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IName.h"

namespace Prjrep {

class CNameHelper : public IName {
 public:
  explicit CNameHelper(CitI::IInterface* owner = nullptr) noexcept : m_owner(owner) {}
  CNameHelper(const CNameHelper&) = delete;
  CNameHelper& operator=(const CNameHelper&) = delete;

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  std::uint64_t SetName(const Port::StringBase<char>& name) override;
  std::uint64_t GetName(Port::StringBase<char>& name) override;
  std::uint64_t SetOwner(CitI::IInterface* owner) override;

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
  std::uint64_t SetToNow() override;
  std::uint64_t SetTime(std::int64_t seconds, std::int64_t microseconds) override;
  std::uint64_t GetTime(std::int64_t* seconds, std::int64_t* microseconds) override;
  std::uint64_t GetTimeString(Port::StringBase<char>* text) override;
  std::uint64_t Compare(ITimestamp* other, std::int32_t* result) override;
  std::uint64_t IsLaterThan(ITimestamp* other, bool* result) override;
  std::uint64_t IsEarlierThan(ITimestamp* other, bool* result) override;
  std::uint64_t Load(IStorage* storage) override;
  std::uint64_t Save(IStorage* storage) override;

  void SetOwner(CitI::IInterface* owner) noexcept { m_owner = owner; }

 private:
  // -1, 0 or 1 against the other's value; the other's failed read is passed on.
  std::uint64_t Order(ITimestamp* other, int& order);

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
  std::uint64_t SetName(const Port::StringBase<char>& name) override;
};

}  // namespace Hvd
