#pragma once
// The set kinds of the library over one element type, and its two string sets.

#include <list>
#include <set>
#include <vector>

#include "Prjrep/IStringSet.h"
#include "core/AssociativeSets.h"
#include "core/Sets.h"
#include "core/StringSets.h"
#include "support/Records.h"

namespace testing_support {

template <class E, class S, class I>
struct SetKinds {
  using List = Prjrep::TSequenceSetHelper<E, S, I, std::list<E>>;
  using Vector = Prjrep::TSequenceSetHelper<E, S, I, std::vector<E>>;
  using Counted = Hvd::TRefdSequenceSetHelper<E, S, I, std::list<E>>;
  using Keyed = Prjrep::TAssociativeSetHelper<E, S, I>;
  // The set-container form: each pointer once, in pointer order, no references.
  struct Pointer : Prjrep::TSetHelper<E, S, I, std::set<E>> {
    Hvd::Status Add(E element) override { return this->m_elements.insert(element), Hvd::kSuccess; }
    E GetAt(const typename Pointer::Position& pos) override { return this->AtEnd(pos) ? nullptr : *pos; }
  };
};

using RecordSets = SetKinds<IRecord*, IRecordSet, IRecordIterator>;

template <class Container>
using StringSet = Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, Container>;
using StringVectorSet = StringSet<std::vector<Port::StringBase<char>>>;
using StringListSet = StringSet<std::list<Port::StringBase<char>>>;

}  // namespace testing_support
