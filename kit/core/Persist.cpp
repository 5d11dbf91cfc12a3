#include "core/Persist.h"

#include <vector>

namespace Hvd {

Status LoadObjectList(Prjrep::IStorage* storage, const Port::XUID& iid,
                      const std::function<Status(CitI::IInterface*)>& add) {
  if (storage == nullptr) return kFailure;
  std::int32_t count = 0;
  Status status = storage->ReadInt32(&count);
  if (status != kSuccess) return status;
  // A corrupt count cannot make this loop long: the first read past the stream's end fails.
  std::vector<Prjrep::AutoRelease<Prjrep::IPersist>> objects;
  for (std::int32_t i = 0; i < count; ++i) {
    Prjrep::AutoRelease<Prjrep::IPersist> object;
    status = storage->ReadObject(object.Receive());
    if (status != kSuccess) return status;
    objects.push_back(std::move(object));
  }
  for (auto& object : objects) {
    if (object.Get() == nullptr) continue;
    CitI::IInterface* element = object->QueryInterface(iid);
    if (element != nullptr && add(element) == kNotSupported) return kNotSupported;
  }
  return kSuccess;
}

}  // namespace Hvd
