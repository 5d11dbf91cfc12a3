#include "framework/Factory.h"

#include "CitP/Factory.h"
#include "core/Holders.h"

namespace Hvd {

bool CreateFileNameHelper(const Port::XUID& clsid, Prjrep::IFileNameHelper** helper) {
  if (helper == nullptr) return false;
  *helper = nullptr;
  // The holder gives the object up again when it is no path-name helper.
  Prjrep::AutoRelease<Prjrep::IFileNameHelper> created(CitP::Factory::CreateInstance(clsid));
  *helper = created.Detach();
  return *helper != nullptr;
}

Prjrep::AutoRelease<CitI::IInterface> GetNamedObjectRegistryCLSID() {
  static constexpr Port::XUID s_clsid{"{4fed14a6-b46d-476d-8556-05048be1b55b}"};
  return Prjrep::AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(s_clsid));
}

}  // namespace Hvd
