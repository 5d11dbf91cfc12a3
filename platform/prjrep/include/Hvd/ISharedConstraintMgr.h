#pragma once
// The constraint manager that a project's configurations share, a component of the host. An
// object of its class is the autonym of the manager's kind: resolved in a project's repository
// (or as the last element of a compound autonym whose first names the project's path), it
// gives that repository's manager. The manager's data is the file "cst.vbcd" in the
// project's database folder, "<project folder>/<project base name>_qdb".

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

CITI_DEFINE_ID(SharedConstraintMgrClassId, "{9F7388CA-90A7-496c-9215-F38C27433842}")

class ISharedConstraintMgr : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{F53793FB-1C04-4606-A655-FB37C6CFA460}")

  // Reads the project's constraint data again from its file; none when there is no file.
  virtual Hvd::Status Reload() = 0;
  // Removes the project's constraint data from its folder; the manager then holds none.
  virtual Hvd::Status CleanUp() = 0;
  // The constraint data as the manager last read it.
  virtual Hvd::Status GetConstraintData(Port::StringBase<char>* data) = 0;
};

}  // namespace Hvd
