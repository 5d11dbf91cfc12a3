#pragma once
// Setting one named property of an object, as the project-file reader and migration do.

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// Sets the value of the property named `name` of `object` through its keyed property set.
// Nothing happens when the object has no such set or no property of that name; the result
// of the set is not reported.
void SetKeyedPropertyValue(CitI::IInterface* object, const Port::StringBase<char>& name,
                           const Port::StringBase<char>& value);

}  // namespace Hvd
