#pragma once
// Sets of interfaces and their iterators, over a list, a vector or an ordered set of
// pointers. Layers, from the bottom:
//   TSetHelper            owner, container, iterators, positions; holds no references
//   TRefCountSetHelper    the sets that hold one reference on each element
//   TSequenceSetHelper    insertion order, stored as a count and the objects
//   TRefdSequenceSetHelper  a sequence set with a count of its own, handed out by itself
// An iterator keeps its set alive through the set's count (its owner's, for an owned set)
// and is told by its set when a change leaves its position without an element: it then
// answers as at the end instead of touching what is gone.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <list>
#include <new>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "Hvd/Status.h"
#include "Prjrep/ISet.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"

namespace Prjrep {

// How a set walks and changes its container. A position is the container's own iterator;
// in a vector it is an index, which stays meaningful while the vector grows.
template <class Container>
struct TSetContainer;

template <class T>
struct TSetContainer<std::list<T>> {
  using Storage = std::list<T>;
  using Element = T;
  using Position = typename std::list<T>::iterator;
  static constexpr bool kIndexed = false;
  static Position First(std::list<T>& c) { return c.begin(); }
  static bool AtEnd(std::list<T>& c, const Position& p) { return p == c.end(); }
  static void Advance(std::list<T>&, Position& p) { ++p; }
  static Position Before(std::list<T>&, Position p) { return --p; }
  static const T& ValueAt(std::list<T>&, const Position& p) { return *p; }
  static const T& ValueOf(const T& stored) { return stored; }
  static Position EraseAt(std::list<T>& c, const Position& p) { return c.erase(p); }
  static void Append(std::list<T>& c, const T& value) { c.push_back(value); }
};

// The storage of the vector form: a vector whose removal of the first element only moves a
// start mark (a remove-all through an iterator removes at the front, element by element),
// so that it costs no move of the rest. Unlike a deque it allocates nothing while empty and
// only what its elements need: a project holds a few of these sets for each of its files.
template <class T>
class TFrontErasedVector {
 public:
  using value_type = T;
  using iterator = typename std::vector<T>::iterator;
  using const_iterator = typename std::vector<T>::const_iterator;

  std::size_t size() const { return m_items.size() - m_first; }
  bool empty() const { return size() == 0; }
  T& operator[](std::size_t i) { return m_items[m_first + i]; }
  const T& operator[](std::size_t i) const { return m_items[m_first + i]; }
  iterator begin() { return m_items.begin() + static_cast<std::ptrdiff_t>(m_first); }
  iterator end() { return m_items.end(); }
  const_iterator begin() const { return m_items.begin() + static_cast<std::ptrdiff_t>(m_first); }
  const_iterator end() const { return m_items.end(); }

  void push_back(const T& value) { m_items.push_back(value); }
  void clear() {
    m_items.clear();
    m_first = 0;
  }
  void swap(TFrontErasedVector& other) noexcept {
    m_items.swap(other.m_items);
    std::swap(m_first, other.m_first);
  }
  iterator erase(iterator at) {
    if (at != begin()) return m_items.erase(at);
    *at = T();  // nothing stays behind the mark
    ++m_first;
    if (m_first == m_items.size()) {
      clear();
    } else if (m_first * 2 >= m_items.size()) {
      // The marked-off half goes at once: each removal still costs a constant on average.
      m_items.erase(m_items.begin(), begin());
      m_first = 0;
    }
    return begin();
  }

 private:
  std::vector<T> m_items;
  std::size_t m_first = 0;  // elements before it are removed
};

template <class T>
struct TSetContainer<std::vector<T>> {
  using Storage = TFrontErasedVector<T>;
  using Element = T;
  using Position = std::size_t;
  static constexpr bool kIndexed = true;
  static Position First(Storage&) { return 0; }
  static bool AtEnd(Storage& c, const Position& p) { return p >= c.size(); }
  static void Advance(Storage&, Position& p) { ++p; }
  static Position Before(Storage&, Position p) { return p - 1; }
  static const T& ValueAt(Storage& c, const Position& p) { return c[p]; }
  static const T& ValueOf(const T& stored) { return stored; }
  static Position EraseAt(Storage& c, const Position& p) {
    c.erase(c.begin() + static_cast<std::ptrdiff_t>(p));
    return p;
  }
  static void Append(Storage& c, const T& value) { c.push_back(value); }
};

// An ordered set of pointers: each pointer at most once, in pointer order.
template <class T>
struct TSetContainer<std::set<T>> {
  using Storage = std::set<T>;
  using Element = T;
  using Position = typename std::set<T>::iterator;
  static constexpr bool kIndexed = false;
  static Position First(std::set<T>& c) { return c.begin(); }
  static bool AtEnd(std::set<T>& c, const Position& p) { return p == c.end(); }
  static void Advance(std::set<T>&, Position& p) { ++p; }
  static Position Before(std::set<T>&, Position p) { return --p; }
  static const T& ValueAt(std::set<T>&, const Position& p) { return *p; }
  static const T& ValueOf(const T& stored) { return stored; }
  static Position EraseAt(std::set<T>& c, const Position& p) { return c.erase(p); }
  static void Append(std::set<T>& c, const T& value) { c.insert(value); }
};

template <class T, class IIterator, class SetHelper>
class TIteratorHelper;

// The base of every set: `ISet`'s operations over `Container`, no references held.
// `Add` and `GetAt` belong to the set classes above it.
template <class T, class ISet, class IIterator, class Container>
class TSetHelper : public ISet {
 public:
  using Traits = TSetContainer<Container>;
  using Position = typename Traits::Position;
  using Iterator = TIteratorHelper<T, IIterator, TSetHelper>;

  // An iterator's place in the set. The set keeps a list of the cursors of its live
  // iterators so that it can tell them about removals and about its own end.
  struct Cursor {
    TSetHelper* set = nullptr;  // null once the set is gone
    Position pos{};
    bool stale = false;  // the element it stood on left the set by other means
    Cursor* prev = nullptr;
    Cursor* next = nullptr;
  };

  TSetHelper() = default;
  TSetHelper(const TSetHelper&) = delete;
  TSetHelper& operator=(const TSetHelper&) = delete;

  ~TSetHelper() override {
    for (Cursor* c = m_cursors; c != nullptr; c = c->next) c->set = nullptr;
  }

  // The set's own interface is the set; every other id is the owner's. Without an owner
  // the set is its own root and answers nothing else.
  auto QueryTable() { return Hvd::Table(Hvd::Row<ISet>(this), Hvd::RowIf<CitI::IInterface>(m_owner == nullptr, this)); }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* answer = QueryTable().Answer(iid)) return answer;
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }

  // A set interface may add removals of its own (by value); they stay visible beside this one.
  using ISet::Remove;
  // Removes the element under `iterator`, which must be a live iterator of this very set;
  // the iterator takes the position that Erase leaves.
  Hvd::Status Remove(IIterator* iterator) override {
    if (iterator == nullptr) return Hvd::kFailure;
    auto* own = dynamic_cast<Iterator*>(iterator);
    if (own == nullptr || own->m_cursor.set != this || own->IsDone()) return Hvd::kFailure;
    Position pos = own->m_cursor.pos;
    Erase(pos);
    own->m_cursor.pos = pos;
    own->m_cursor.stale = false;
    return Hvd::kSuccess;
  }

  Hvd::Status GetIterator(IIterator** out) override {
    if (out == nullptr) return Hvd::kFailure;
    *out = nullptr;
    auto* iterator = new (std::nothrow) Iterator(this);
    if (iterator == nullptr) return Hvd::kFailure;
    auto* answer = static_cast<IIterator*>(iterator->QueryInterface(IIterator::GetIID()));
    if (answer == nullptr) {
      ReleaseInterface(iterator);
      return Hvd::kFailure;
    }
    *out = answer;
    return Hvd::kSuccess;
  }

  // An iterator standing on the element at `pos`, for a set that knows where an element is
  // and must not search for it.
  Hvd::Status GetIteratorAt(const Position& pos, IIterator** out) {
    const Hvd::Status status = GetIterator(out);
    if (status != Hvd::kSuccess) return status;
    dynamic_cast<Iterator&>(**out).m_cursor.pos = pos;
    return Hvd::kSuccess;
  }

  std::size_t Size() override { return m_elements.size(); }

  Hvd::Status Clear() override {
    InvalidateCursors();
    m_elements.clear();
    return Hvd::kSuccess;
  }

  virtual Hvd::Status SetOwner(CitI::IInterface* owner) {
    m_owner = owner;
    return Hvd::kSuccess;
  }

  // Removes the element at `pos` without releasing it; `pos` moves back to the element
  // before it, or to the new first element when the first was removed.
  virtual void Erase(Position& pos) {
    if (Traits::AtEnd(m_elements, pos)) return;
    if (pos == Traits::First(m_elements)) {
      pos = RemoveAt(pos);
    } else {
      Position before = Traits::Before(m_elements, pos);
      RemoveAt(pos);
      pos = before;
    }
  }

  virtual Hvd::Status PersistLoad(IStorage*) { return Hvd::kNotSupported; }
  virtual Hvd::Status PersistSave(IStorage*) { return Hvd::kNotSupported; }

  // The element at `pos`, without a reference; null (or empty) at the end.
  virtual T GetAt(const Position& pos) = 0;

 protected:
  friend Iterator;

  // Takes the element at `pos` out of the container and answers the position after it.
  // Iterators on that element become stale; in a vector, later ones move down with it.
  Position RemoveAt(Position pos) {
    for (Cursor* c = m_cursors; c != nullptr; c = c->next) {
      if (c->stale) continue;
      if (c->pos == pos) {
        c->stale = true;
      } else if constexpr (Traits::kIndexed) {
        if (c->pos > pos) --c->pos;
      }
    }
    return Traits::EraseAt(m_elements, pos);
  }

  // Appends a value; an iterator that was done stays done.
  void AppendElement(const typename Traits::Element& value) {
    const std::size_t before = m_elements.size();
    Traits::Append(m_elements, value);
    if constexpr (Traits::kIndexed) {
      for (Cursor* c = m_cursors; c != nullptr; c = c->next) {
        if (c->pos >= before) c->pos = m_elements.size();
      }
    }
  }

  void InvalidateCursors() {
    for (Cursor* c = m_cursors; c != nullptr; c = c->next) c->stale = true;
  }

  bool AtEnd(const Position& pos) { return Traits::AtEnd(m_elements, pos); }

  CitI::IInterface* m_owner = nullptr;
  typename Traits::Storage m_elements;

 private:
  void Attach(Cursor* cursor) {
    cursor->set = this;
    cursor->pos = Traits::First(m_elements);
    cursor->next = m_cursors;
    if (m_cursors != nullptr) m_cursors->prev = cursor;
    m_cursors = cursor;
  }

  void Detach(Cursor* cursor) {
    if (cursor->prev != nullptr)
      cursor->prev->next = cursor->next;
    else
      m_cursors = cursor->next;
    if (cursor->next != nullptr) cursor->next->prev = cursor->prev;
    cursor->set = nullptr;
  }

  Cursor* m_cursors = nullptr;
};

// The iterator of every set over `SetHelper`'s container: counted by itself, holding its
// set alive for its whole life.
template <class T, class IIterator, class SetHelper>
class TIteratorHelper final : public Hvd::TComponent<TIteratorHelper<T, IIterator, SetHelper>, IIterator> {
 public:
  explicit TIteratorHelper(SetHelper* set) : m_set(set), m_refCount(this) { set->Attach(&m_cursor); }
  TIteratorHelper(const TIteratorHelper&) = delete;
  TIteratorHelper& operator=(const TIteratorHelper&) = delete;
  ~TIteratorHelper() override {
    if (m_cursor.set != nullptr) m_cursor.set->Detach(&m_cursor);
  }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<CitI::IInterface>(this), Hvd::Row<IIterator>(this), Hvd::Row<IRefCount>(&m_refCount));
  }

  T Current() override { return IsDone() ? T{} : m_cursor.set->GetAt(m_cursor.pos); }

  Hvd::Status Reset() override {
    if (m_cursor.set == nullptr) return Hvd::kFailure;
    m_cursor.pos = SetHelper::Traits::First(m_cursor.set->m_elements);
    m_cursor.stale = false;
    return Hvd::kSuccess;
  }

  Hvd::Status Next() override {
    if (IsDone()) return Hvd::kFailure;
    SetHelper::Traits::Advance(m_cursor.set->m_elements, m_cursor.pos);
    return Hvd::kSuccess;
  }

  bool IsDone() override { return m_cursor.set == nullptr || m_cursor.stale || m_cursor.set->AtEnd(m_cursor.pos); }

 private:
  friend SetHelper;

  SmartPtr<SetHelper> m_set;
  TRefCountHelper<TIteratorHelper> m_refCount;
  typename SetHelper::Cursor m_cursor;
};

// The sets that hold one reference on each element. The reference is taken and given up
// through one road (the element's Prjrep::IRefCount, else CommonI::IRefCount).
template <class T, class ISet, class IIterator, class Container>
class TRefCountSetHelper : public TSetHelper<T, ISet, IIterator, Container> {
  using Base = TSetHelper<T, ISet, IIterator, Container>;

 public:
  using Element = std::remove_pointer_t<T>;

  // The count and the elements' objects, in the set's order.
  Hvd::Status PersistSave(IStorage* storage) override {
    return Hvd::SaveObjectList(storage, this->m_elements, this->m_elements.size(),
                               [](const auto& stored) -> CitI::IInterface* { return Traits::ValueOf(stored); });
  }

  // Adds what was stored through Add, so that a set class's own rules apply. A set whose
  // Add is not supported reports the load as not supported rather than dropping the data.
  Hvd::Status PersistLoad(IStorage* storage) override {
    return Hvd::LoadObjectList(storage, Hvd::IidOf<Element>(), [this](CitI::IInterface* object) {
      return this->Add(Hvd::CastAnswer<Element>(object));
    });
  }

 protected:
  using Traits = typename Base::Traits;

  static void TakeReference(T element) { AddRefInterface(element); }
  static void GiveUpReference(T element) { ReleaseInterface(element); }

  // Empties the container first and releases afterwards, so that a release that reaches
  // back into the set finds it already empty.
  void ReleaseAll() {
    this->InvalidateCursors();
    typename Traits::Storage taken;
    taken.swap(this->m_elements);
    for (const auto& stored : taken) {
      if (T element = Traits::ValueOf(stored)) GiveUpReference(element);
    }
  }

  // Erases forward: `pos` moves to the element after the removed one, which is released
  // once it is out of the container.
  void EraseForward(typename Base::Position& pos) {
    if (this->AtEnd(pos)) return;
    T element = Traits::ValueAt(this->m_elements, pos);
    pos = this->RemoveAt(pos);
    if (element != nullptr) GiveUpReference(element);
  }
};

// A set in insertion order holding one reference per element, stored as a count and the
// elements' objects.
template <class T, class ISet, class IIterator, class Container>
class TSequenceSetHelper : public TRefCountSetHelper<T, ISet, IIterator, Container> {
  using Base = TRefCountSetHelper<T, ISet, IIterator, Container>;

 public:
  using Position = typename Base::Position;

  ~TSequenceSetHelper() override { this->ReleaseAll(); }

  // Appends, then takes the reference, so that a failed append leaves no count raised.
  Hvd::Status Add(T element) override {
    if (element == nullptr) return Hvd::kFailure;
    this->AppendElement(element);
    this->TakeReference(element);
    return Hvd::kSuccess;
  }

  Hvd::Status Clear() override {
    this->ReleaseAll();
    return Hvd::kSuccess;
  }

  void Erase(Position& pos) override { this->EraseForward(pos); }

  T GetAt(const Position& pos) override {
    return this->AtEnd(pos) ? nullptr : Base::Traits::ValueAt(this->m_elements, pos);
  }
};

}  // namespace Prjrep

namespace Hvd {

// A sequence set that is an object of its own: made with count 1, handed out, destroyed
// by its last release. An owner, when it has one, answers first.
template <class T, class ISet, class IIterator, class Container>
class TRefdSequenceSetHelper : public Prjrep::TSequenceSetHelper<T, ISet, IIterator, Container> {
  using Base = Prjrep::TSequenceSetHelper<T, ISet, IIterator, Container>;

 public:
  TRefdSequenceSetHelper() : m_refCount(this) {}

  // The set's answer first, its owner's included; its own count only when that finds none.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* answer = Base::QueryInterface(iid)) return answer;
    return Table(Row<Prjrep::IRefCount>(&m_refCount)).Answer(iid);
  }

  ~TRefdSequenceSetHelper() override { this->ReleaseAll(); }

 protected:
  Prjrep::TRefCountHelper<TRefdSequenceSetHelper> m_refCount;
};

}  // namespace Hvd
