#pragma once
// A component attached to a file or a view, answering one interface on its behalf.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Prjrep {

class IComponentAttachment : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{f0d3c266-36e2-4989-ad27-86ca5c04de30}")

  virtual Hvd::Status SetOwner(CitI::IInterface* owner) = 0;
  // The interface `iid` of the attachment, or null; no reference added.
  virtual CitI::IInterface* GetInterface(const Port::XUID& iid) = 0;
  // Lets go of the owner.
  virtual Hvd::Status Detach() = 0;
};

// What the attachment answers as its owner's interface.
class IAttachedInterface : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{bbbf2201-123b-4241-9e96-54cf4bcf25f0}")

  // The file or view the attachment belongs to, with one reference; null once detached.
  virtual Hvd::Status GetOwner(CitI::IInterface** owner) = 0;
};

}  // namespace Prjrep
