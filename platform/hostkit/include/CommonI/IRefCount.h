#pragma once
// Reference counting of host-side objects, such as factories.

#include <cstdint>

#include "CitI/IInterface.h"

namespace CommonI {

class IRefCount : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xf35246530fb84605ull, 0xa6c16e80946a2cddull};
    return s_iid;
  }

  virtual std::uint64_t AddRef() = 0;
  virtual std::uint64_t Release() = 0;
  virtual std::uint64_t GetRefCount(std::int32_t& count) = 0;
};

}  // namespace CommonI
