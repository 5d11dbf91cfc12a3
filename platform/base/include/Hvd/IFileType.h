#pragma once
// The type of a source file, as the base services define it; it answers IDefDataId.

#include "CitI/IInterface.h"

namespace Hvd {

class IFileType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6b0f2d3e-8c41-4f7a-9e25-1d7c3a5b9f02}")
};

}  // namespace Hvd
