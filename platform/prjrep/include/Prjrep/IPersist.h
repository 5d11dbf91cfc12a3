#pragma once
// Loading and saving of one object through the repository's storage stream.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Prjrep {

class IStorage;

class IPersist : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{e01498e5-d7f8-41f9-ab72-45c28cefe8e0}")

  virtual Hvd::Status PersistLoad(IStorage* storage) = 0;
  virtual Hvd::Status PersistSave(IStorage* storage) = 0;
  virtual Hvd::Status GetClassId(Port::XUID& out) = 0;
  virtual Hvd::Status GetId(Port::XUID& out) = 0;
  virtual Hvd::Status SetId(const Port::XUID& id) = 0;
};

}  // namespace Prjrep
