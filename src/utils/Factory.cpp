#include "utils/Factory.h"
#include "Prjrep/ClassIds.h"

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
  return Prjrep::AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
}

}  // namespace Hvd
