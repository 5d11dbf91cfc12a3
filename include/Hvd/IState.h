#pragma once
// Named states with which clients mark a design, a view or a source file.

#include <memory>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStorage.h"

namespace Hvd {

// Walks the states of a set in their order. It is not counted: whoever creates it deletes it.
class IStateValueIterator : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{8D8D6EAB-45F8-4841-99DA-506CBDD11C1B}")

  // To the first state.
  virtual Hvd::Status Reset() = 0;
  // 0 when already done.
  virtual Hvd::Status Next() = 0;
  virtual bool IsDone() = 0;
  // The state under the cursor; when done the value is emptied and the answer is 0.
  virtual Hvd::Status Current(Port::StringBase<char>* value) = 0;
};

// States compare byte for byte, so letter case matters.
class IState : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{283B14B0-7B93-4a7d-850B-D0C23A810973}")

  // A new iterator over the states; Reset places it on the first.
  virtual std::unique_ptr<IStateValueIterator> CreateIterator() = 0;
  virtual bool Contains(const Port::StringBase<char>& state) = 0;
  // False when the state was there already.
  virtual bool Add(const Port::StringBase<char>& state) = 0;
  // False when the state was not there.
  virtual bool Remove(const Port::StringBase<char>& state) = 0;
  // Replaces the states with the values of `values`: 1 when every value was new, 0 when one
  // repeated another or the iterator could not be reset (the set is then left empty).
  virtual Hvd::Status SetAll(IStateValueIterator* values) = 0;
  // False when there was none.
  virtual bool Clear() = 0;
  // Adds the stored states to those held.
  virtual Hvd::Status Load(Prjrep::IStorage* storage) = 0;
  virtual Hvd::Status Save(Prjrep::IStorage* storage) = 0;
};

}  // namespace Hvd
