#pragma once
// The shape of every set and iterator interface.

#include <cstddef>
#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Prjrep {

template <class T>
class TIIterator : public CitI::IInterface {
 public:
  // The element under the cursor, without a reference; null (or empty) when done.
  virtual T Current() = 0;
  virtual Hvd::Status Reset() = 0;
  // 0 when already done; 1 otherwise, also when the step reaches the end.
  virtual Hvd::Status Next() = 0;
  virtual bool IsDone() = 0;
};

template <class T, class IIterator>
class TISet : public CitI::IInterface {
 public:
  virtual Hvd::Status Add(T element) = 0;
  // Removes the element under the iterator; the iterator moves as the set's kind says.
  virtual Hvd::Status Remove(IIterator* iterator) = 0;
  // A new iterator on the first element, with one reference for the caller.
  virtual Hvd::Status GetIterator(IIterator** out) = 0;
  virtual std::size_t Size() = 0;
  virtual Hvd::Status Clear() = 0;
};

// A set of objects of any kind.
class IIterator : public TIIterator<CitI::IInterface*> {
 public:
  CITI_DECLARE_IID("{3c5e8f5a-2b1d-4a07-9e64-7f1a0c2d9b31}")
};

class ISet : public TISet<CitI::IInterface*, IIterator> {
 public:
  CITI_DECLARE_IID("{4EEF3E91-5FAB-46b3-A346-7871275F9AE8}")
};

}  // namespace Prjrep
