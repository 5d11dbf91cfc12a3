#pragma once
// Reference counting of the library's components.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Prjrep {

// Older form of IRefCount, answered by the same object.
class IRefCountV1 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{566CB84B-9321-4486-9F02-9C0F505504E0}")

  // Both return 1, never the count.
  virtual Hvd::Status AddRef() = 0;
  virtual Hvd::Status Release() = 0;
  virtual std::int32_t GetRefCount() = 0;
};

class IRefCount : public IRefCountV1 {
 public:
  CITI_DECLARE_IID("{80b45faf-a340-43e6-b60b-0435fadea5f3}")
};

}  // namespace Prjrep
