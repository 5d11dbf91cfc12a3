#pragma once
// Named states with which clients mark a design, a view or a source file.

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// States compare byte for byte, so letter case matters.
class IState : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{283B14B0-7B93-4a7d-850B-D0C23A810973}")

  virtual bool Contains(const Port::StringBase<char>& state) = 0;
  // False when the state was there already.
  virtual bool Add(const Port::StringBase<char>& state) = 0;
  // False when the state was not there.
  virtual bool Remove(const Port::StringBase<char>& state) = 0;
  // False when there was none.
  virtual bool Clear() = 0;
};

}  // namespace Hvd
