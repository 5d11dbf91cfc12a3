#pragma once
// Creation of the components that the library's code makes by class id.

#include "CitI/IInterface.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Factory.h"
#include "core/Holders.h"

namespace Hvd {

// Creates an object of class `clsid` and hands it out as its path-name interface. True
// when `*helper` was set; the creation reference passes with it.
bool CreateFileNameHelper(const Port::XUID& clsid, Prjrep::IFileNameHelper** helper);

// Creates the host's named-object registry: its root interface, or empty when no registry
// is registered.
Prjrep::AutoRelease<CitI::IInterface> GetNamedObjectRegistryCLSID();

}  // namespace Hvd
