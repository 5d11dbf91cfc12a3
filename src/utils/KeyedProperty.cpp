#include "utils/KeyedProperty.h"

#include "Hvd/IDefData.h"
#include "Hvd/IKeyedPropertySet.h"
#include "core/Holders.h"

namespace Hvd {

void SetKeyedPropertyValue(CitI::IInterface* object, const Port::StringBase<char>& name,
                           const Port::StringBase<char>& value) {
  Prjrep::AutoCast<IKeyedPropertySet> properties(object);
  if (!properties) return;
  Prjrep::AutoRelease<IPropertyInstance> instance(properties->Lookup(name));
  if (instance) std::ignore = instance->SetValue(value);
}

Port::StringBase<char> GetKeyedPropertyValue(CitI::IInterface* object, const Port::StringBase<char>& name) {
  Port::StringBase<char> value;
  Prjrep::AutoCast<IKeyedPropertySet> properties(object);
  if (!properties) return value;
  Prjrep::AutoRelease<IPropertyInstance> instance(properties->Lookup(name));
  if (instance) std::ignore = instance->GetValue(&value);
  return value;
}

}  // namespace Hvd
