#pragma once
// A source file of a project, as the project sees it.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Hvd/IFileType.h"

namespace Hvd {

class IFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A828BA00-CF8B-4056-950C-728692B60A9D}")

  // The file's type, which answers IDefDataId; one reference for the caller.
  virtual Hvd::Status GetFileType(IFileType** type) = 0;
  virtual Hvd::Status GetFileFlag(bool* flag) = 0;
  virtual Hvd::Status SetFileFlag(bool flag) = 0;
  // 0 added by the user, 1 and 3 added automatically (3: managed automatically).
  virtual Hvd::Status GetOriginState(std::uint32_t* state) = 0;
  virtual Hvd::Status SetOriginState(std::uint32_t state) = 0;
};

}  // namespace Hvd
