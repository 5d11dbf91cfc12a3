#pragma once
// One named property of an object, read or set through its keyed property set.

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// Sets the value of the property named `name` of `object` through its keyed property set.
// Nothing happens when the object has no such set or no property of that name; the result
// of the set is not reported.
void SetKeyedPropertyValue(CitI::IInterface* object, const Port::StringBase<char>& name,
                           const Port::StringBase<char>& value);
// The value of that property; empty when the object has no such set or no such property.
Port::StringBase<char> GetKeyedPropertyValue(CitI::IInterface* object, const Port::StringBase<char>& name);

}  // namespace Hvd
