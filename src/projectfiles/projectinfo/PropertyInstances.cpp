#include "projectfiles/projectinfo/PropertyInstances.h"

#include <new>

#include "core/Diagnostics.h"

namespace Hvd {

Status PropertyInstance::GetName(Port::StringBase<char>* name) {
  if (name == nullptr) return Fail(kInvalidParameter, "PropertyInstance::GetName - no output given\n");
  *name = m_name;
  return kSuccess;
}

Status PropertyInstance::GetValue(Port::StringBase<char>* value) {
  if (value == nullptr) return Fail(kInvalidParameter, "PropertyInstance::GetValue - no output given\n");
  *value = m_value;
  return kSuccess;
}

Status PropertyInstance::SetValue(const Port::StringBase<char>&) { return kNotSupported; }

Status PropertyInstance::GetTemplate(IPropertyTemplate** definition) {
  if (definition != nullptr) *definition = nullptr;
  return kNotSupported;
}

Status PropertyInstance::IsDefault(bool* isDefault) {
  if (isDefault != nullptr) *isDefault = false;
  return kNotSupported;
}

Prjrep::AutoRelease<IPropertyInstance> MakePropertyInstance(const Port::StringBase<char>& name,
                                                            const Port::StringBase<char>& value) {
  return Prjrep::AutoRelease<IPropertyInstance>(new (std::nothrow) PropertyInstance(name, value));
}

}  // namespace Hvd
