#pragma once
// The component model: nested interface objects and the component's query table.

#include <initializer_list>
#include <type_traits>

#include "CitI/IInterface.h"

namespace Hvd {

// Base of a component's nested interface object `X<Interface>`: it lives inside its
// component, holds no reference, and answers every query with the component's own query.
template <class Owner, class I>
class TNested : public I {
 public:
  explicit TNested(Owner* owner) noexcept : m_pThis(owner) {}
  TNested(const TNested&) = delete;
  TNested& operator=(const TNested&) = delete;
  ~TNested() override { m_pThis = nullptr; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_pThis ? m_pThis->QueryInterface(iid) : nullptr;
  }

 protected:
  Owner* m_pThis;
};

// One row of a component's query: an interface id and the part that answers it.
struct QueryEntry {
  const Port::XUID& iid;
  CitI::IInterface* part;
};

// The part of the first row whose id equals `iid`, or null. Components list their rows
// in their own fixed order, the root id among them.
inline CitI::IInterface* AnswerQuery(const Port::XUID& iid, std::initializer_list<QueryEntry> rows) noexcept {
  for (const QueryEntry& row : rows) {
    if (row.iid == iid) return row.part;
  }
  return nullptr;
}

// The id that a holder queries for type `I`: an interface's own id; the root id for
// CitI::IInterface; for a class, the id of the interface it derives from.
template <class I>
const Port::XUID& IidOf() {
  return I::GetIID();
}

// Converts a query answer to `I`. An interface is what the query promised; a class type
// is checked, since the part that answers an id need not be that class.
template <class I>
I* CastAnswer(CitI::IInterface* answer) noexcept {
  if constexpr (std::is_abstract_v<I>) {
    return static_cast<I*>(answer);
  } else {
    return dynamic_cast<I*>(answer);
  }
}

}  // namespace Hvd
