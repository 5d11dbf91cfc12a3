#pragma once
// The helper for the suite's HLC project files: told a project file, it answers what the file
// records of the project's place in a design.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

CITI_DEFINE_ID(HlcFileTypeHelperClassId, "{6f4811ca-27eb-4550-809b-63d5c3a0cff6}")

class IHlcFileTypeHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5a4b9b1e-6a05-41ce-91a9-613fccbfc1be}")

  // The project file that the helper answers for, read at once; 0 when it is no project file
  // that can be read, after which the helper answers as for a file that records nothing.
  virtual Hvd::Status SetFileName(const Port::StringBase<char>& path) = 0;
  // The instance path of the project's implementation top in the design, without the leading
  // "/"; empty when the file records none.
  virtual Hvd::Status GetPathInDesign(Port::StringBase<char>* path) = 0;
};

}  // namespace Hvd
