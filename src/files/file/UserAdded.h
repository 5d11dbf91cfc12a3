// Whether the user added a file that the views now manage, for those that keep or write it as
// the user's.

#pragma once

#include "CitI/IInterface.h"

namespace Hvd {

// True for a managed file (origin state 3) that the user had added, or added while a source
// included it: it stays managed while a source includes it and is the user's again after. False
// for any other file, and for an object that is no file of this library.
bool UserAddedManagedFile(CitI::IInterface* file);

}  // namespace Hvd
