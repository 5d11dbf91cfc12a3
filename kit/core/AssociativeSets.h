#pragma once
// Sets whose elements are stored under a string key and walked in key order. Keys
// compare as unsigned bytes over the shorter length, the shorter key first on an equal
// prefix (Port::StringBase<char>'s own order). The owning component chooses the keys.

#include <map>

#include "Port/StringBase.h"
#include "core/Sets.h"

namespace Prjrep {

template <class T>
struct TSetContainer<std::map<Port::StringBase<char>, T>> {
  using Map = std::map<Port::StringBase<char>, T>;
  using Storage = Map;
  using Element = T;
  using Position = typename Map::iterator;
  static constexpr bool kIndexed = false;
  static Position First(Map& c) { return c.begin(); }
  static bool AtEnd(Map& c, const Position& p) { return p == c.end(); }
  static void Advance(Map&, Position& p) { ++p; }
  static Position Before(Map&, Position p) { return --p; }
  static const T& ValueAt(Map&, const Position& p) { return p->second; }
  static const T& ValueOf(const typename Map::value_type& stored) { return stored.second; }
  static Position EraseAt(Map& c, const Position& p) { return c.erase(p); }
};

// Stored as the count and the objects in key order; the keys are not stored.
template <class T, class ISet, class IIterator, class Container = std::map<Port::StringBase<char>, T>>
class TAssociativeSetHelper : public TRefCountSetHelper<T, ISet, IIterator, Container> {
  using Base = TRefCountSetHelper<T, ISet, IIterator, Container>;

 public:
  using Position = typename Base::Position;

  ~TAssociativeSetHelper() override { this->ReleaseAll(); }

  // Entries come in under a key only.
  Hvd::Status Add(T) override { return Hvd::kNotSupported; }

  Hvd::Status Clear() override {
    this->ReleaseAll();
    return Hvd::kSuccess;
  }

  void Erase(Position& pos) override { this->EraseForward(pos); }

  T GetAt(const Position& pos) override { return this->AtEnd(pos) ? nullptr : pos->second; }

  // Stores `element` under `key`, replacing what was there. The new element's reference is
  // taken before the old one is given up, so storing the element already there changes no
  // count. A null element is refused: it could not be told from the end, nor stored.
  virtual Hvd::Status SetByKey(Port::StringBase<char> key, T element) {
    if (element == nullptr) return Hvd::kFailure;
    auto [entry, inserted] = this->m_elements.try_emplace(std::move(key), element);
    this->TakeReference(element);
    if (!inserted) {
      T old = std::exchange(entry->second, element);
      this->GiveUpReference(old);
    }
    return Hvd::kSuccess;
  }
};

}  // namespace Prjrep
