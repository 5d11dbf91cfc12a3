#pragma once
// The name and the point in time of a component.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStorage.h"

namespace Prjrep {

class IName : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{02C092B4-7972-4bbe-8340-B370F411CC8F}")

  virtual Hvd::Status SetName(const Port::StringBase<char>& name) = 0;
  virtual Hvd::Status GetName(Port::StringBase<char>& name) = 0;
  virtual Hvd::Status SetOwner(CitI::IInterface* owner) = 0;
};

class INameIterator : public TIIterator<IName*> {
 public:
  CITI_DECLARE_IID("{65C8DD9E-42D5-4533-AE82-62FC89EC42A5}")
};

// Names in the order they were added, each a name object of its own.
class INameSet : public TISet<IName*, INameIterator> {
 public:
  CITI_DECLARE_IID("{3F23E91A-B4A2-48fb-99FA-90029B457F42}")
};

class ITimestamp : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{40930B37-B328-47ef-8C5B-3694519FCEDD}")

  virtual Hvd::Status SetToNow() = 0;
  virtual Hvd::Status SetTime(std::int64_t seconds, std::int64_t microseconds) = 0;
  virtual Hvd::Status GetTime(std::int64_t* seconds, std::int64_t* microseconds) = 0;
  virtual Hvd::Status GetTimeString(Port::StringBase<char>* text) = 0;
  // 1 when this is later, -1 when earlier, 0 when equal.
  virtual Hvd::Status Compare(ITimestamp* other, std::int32_t* result) = 0;
  virtual Hvd::Status IsLaterThan(ITimestamp* other, bool* result) = 0;
  virtual Hvd::Status IsEarlierThan(ITimestamp* other, bool* result) = 0;
  // Two 64-bit integers: seconds, then microseconds.
  virtual Hvd::Status Load(IStorage* storage) = 0;
  virtual Hvd::Status Save(IStorage* storage) = 0;
};

}  // namespace Prjrep
