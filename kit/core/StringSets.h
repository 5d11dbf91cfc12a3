#pragma once
// Sets of string values, held by copy, over a vector or a list. They count no elements;
// an owned set answers its owner's interfaces, count included.

#include <vector>

#include "Port/StringBase.h"
#include "Prjrep/IStorage.h"
#include "core/Sets.h"

namespace Prjrep {

template <class T, class ISet, class IIterator, class Container>
class TScalarSequenceSetHelper : public TSetHelper<T, ISet, IIterator, Container> {
  using Base = TSetHelper<T, ISet, IIterator, Container>;

 public:
  using Position = typename Base::Position;
  using Traits = typename Base::Traits;

  // Appends a copy; neither empty values nor repeats are refused here.
  Hvd::Status Add(T element) override {
    this->AppendElement(element);
    return Hvd::kSuccess;
  }

  // Erases forward: `pos` moves to the value after the removed one.
  void Erase(Position& pos) override {
    if (!this->AtEnd(pos)) pos = this->RemoveAt(pos);
  }

  T GetAt(const Position& pos) override { return this->AtEnd(pos) ? T{} : Traits::ValueAt(this->m_elements, pos); }

  virtual Hvd::Status GetAtInto(const Position& pos, T& out) {
    if (this->AtEnd(pos)) return Hvd::kFailure;
    out = Traits::ValueAt(this->m_elements, pos);
    return Hvd::kSuccess;
  }

  virtual Hvd::Status ReadElement(IStorage* storage, T& value) = 0;
  virtual Hvd::Status WriteElement(IStorage* storage, const T& value) = 0;

  // 1 or 0. Every value is read before any is added, so a failed read leaves the set as it
  // was; the values then go through Add, so a set class's own rules apply.
  Hvd::Status PersistLoad(IStorage* storage) override {
    std::int32_t count = 0;
    if (storage == nullptr || storage->ReadInt32(&count) != Hvd::kSuccess) return Hvd::kFailure;
    std::vector<T> values;
    for (std::int32_t i = 0; i < count; ++i) {
      T value{};
      if (ReadElement(storage, value) != Hvd::kSuccess) return Hvd::kFailure;
      values.push_back(std::move(value));
    }
    for (const T& value : values) std::ignore = this->Add(value);
    return Hvd::kSuccess;
  }

  // 1 or 0; stops at the first failed write.
  Hvd::Status PersistSave(IStorage* storage) override {
    if (storage == nullptr || this->m_elements.size() > static_cast<std::size_t>(INT32_MAX)) return Hvd::kFailure;
    if (storage->WriteInt32(static_cast<std::int32_t>(this->m_elements.size())) != Hvd::kSuccess) {
      return Hvd::kFailure;
    }
    for (const T& value : this->m_elements) {
      if (WriteElement(storage, value) != Hvd::kSuccess) return Hvd::kFailure;
    }
    return Hvd::kSuccess;
  }
};

template <class ISet, class IIterator, class Container>
class TStringSequenceSetHelper : public TScalarSequenceSetHelper<Port::StringBase<char>, ISet, IIterator, Container> {
 public:
  Hvd::Status ReadElement(IStorage* storage, Port::StringBase<char>& value) override {
    return storage->ReadString(&value);
  }
  Hvd::Status WriteElement(IStorage* storage, const Port::StringBase<char>& value) override {
    return storage->WriteString(&value);
  }
};

}  // namespace Prjrep
