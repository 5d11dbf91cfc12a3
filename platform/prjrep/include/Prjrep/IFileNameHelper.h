#pragma once
// The repository's path-name component.

#include "CitI/IInterface.h"

namespace Prjrep {

class IFileNameHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FA5E7073-3DF3-4e72-9A04-BC21A13DD24C}")
};

}  // namespace Prjrep
