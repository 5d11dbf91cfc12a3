#pragma once
// The component model: nested interface objects and the component's query table.
//
// A component lists what it answers as one table, in its own fixed order:
//
//   auto QueryTable() {
//     return Table(Row<IStorage>(&m_XIStorage),
//                  RowIf<IStorageControl>(m_controlled, &m_XIStorageControl),
//                  LazyRow<IHelper>([this] { return Helper(); }),
//                  Row<Prjrep::IRefCount>(&m_refCount),
//                  Row<CitI::IInterface>(&m_XIStorage));
//   }
//
// A row for `I` takes only a part that is an `I`, so a wrong part fails to compile. The
// component's QueryInterface is the table's answer; TComponent writes it once for all.

#include <tuple>
#include <type_traits>
#include <utility>

#include "CitI/IInterface.h"

namespace Hvd {

// The object's root interface, which tells two interfaces of one component as the same.
inline CitI::IInterface* RootOf(CitI::IInterface* object) {
  return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

// Base of a component's nested interface object `X<Interface>`: it lives inside its
// component, holds no reference, and answers every query with the component's own query.
// Its operations reach the component through This().
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
  Owner& This() const noexcept { return *m_pThis; }

  Owner* m_pThis;
};

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

// The root interface of `part` seen as an `I`: what a query for `I` must hand out, so that
// the caller's cast back to `I` lands on the right base.
template <class I, class Part>
CitI::IInterface* AsAnswer(Part* part) noexcept {
  static_assert(std::is_base_of_v<I, Part>, "a row for an interface takes only a part that is one");
  return part == nullptr ? nullptr : static_cast<CitI::IInterface*>(static_cast<I*>(part));
}

// A row answering `I` with a part fixed at construction.
template <class I>
class TRow {
 public:
  using Interface = I;
  static constexpr bool kForeign = false;
  explicit TRow(CitI::IInterface* part, bool answers = true) noexcept : m_part(part), m_answers(answers) {}
  bool Answers() const noexcept { return m_answers; }
  bool Matches(const Port::XUID& iid) const { return m_answers && iid == IidOf<I>(); }
  CitI::IInterface* Answer() const noexcept { return m_part; }

 private:
  CitI::IInterface* m_part;
  bool m_answers;
};

// A row whose part is made or looked up only when its id is asked for. With `Foreign`, the
// part belongs to another component that this one passes the id on to, so it is none of
// this component's own parts.
template <class I, class Get, bool Foreign = false>
class TLazyRow {
 public:
  using Interface = I;
  static constexpr bool kForeign = Foreign;
  explicit TLazyRow(Get get) : m_get(std::move(get)) {}
  bool Answers() const noexcept { return true; }
  bool Matches(const Port::XUID& iid) const { return iid == IidOf<I>(); }
  CitI::IInterface* Answer() const { return AsAnswer<I>(m_get()); }

 private:
  Get m_get;
};

template <class I, class Part>
TRow<I> Row(Part* part) noexcept {
  return TRow<I>(AsAnswer<I>(part));
}

// Answers only while `condition` holds; otherwise the query goes on to the next rows.
template <class I, class Part>
TRow<I> RowIf(bool condition, Part* part) noexcept {
  return TRow<I>(AsAnswer<I>(part), condition);
}

// `get` returns a pointer to a part that is an `I` (null when there is none).
template <class I, class Get>
TLazyRow<I, Get> LazyRow(Get get) {
  return TLazyRow<I, Get>(std::move(get));
}

// `get` returns the part of another component that answers `I` for this one.
template <class I, class Get>
TLazyRow<I, Get, true> ForeignRow(Get get) {
  return TLazyRow<I, Get, true>(std::move(get));
}

// A component's rows in its order: the first row whose id matches answers, also when a lazy
// row finds no part.
template <class... Rows>
class TQueryTable {
 public:
  explicit TQueryTable(Rows... rows) : m_rows(std::move(rows)...) {}

  CitI::IInterface* Answer(const Port::XUID& iid) const {
    CitI::IInterface* answer = nullptr;
    std::apply([&](const Rows&... row) { (void)((row.Matches(iid) && (answer = row.Answer(), true)) || ...); }, m_rows);
    return answer;
  }

  // Calls `visit(iid, part)` for every row of the component's own parts that answers now, in
  // order; lazy rows are asked for their part.
  template <class Visit>
  void ForEach(Visit visit) const {
    std::apply(
        [&](const Rows&... row) {
          ((!Rows::kForeign && row.Answers() ? visit(IidOf<typename Rows::Interface>(), row.Answer()) : void()), ...);
        },
        m_rows);
  }

 private:
  std::tuple<Rows...> m_rows;
};

// Named apart from the components' QueryTable(), which would hide it.
template <class... Rows>
TQueryTable<Rows...> Table(Rows... rows) {
  return TQueryTable<Rows...>(std::move(rows)...);
}

// The root of a component: its QueryInterface is the answer of Derived::QueryTable().
// `Base` is the root interface, or an interface that the component implements itself.
template <class Derived, class Base = CitI::IInterface>
class TComponent : public Base {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return static_cast<Derived*>(this)->QueryTable().Answer(iid);
  }
};

}  // namespace Hvd
