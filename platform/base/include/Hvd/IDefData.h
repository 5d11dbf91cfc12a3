#pragma once
// Definition data of the base services: view types, property templates and instances, and
// the obsolete flag of a definition.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDefDataObsolete : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5709417A-AF32-4090-BC5C-37CF6701068F}")

  virtual std::uint64_t IsObsolete(bool* obsolete) = 0;
};

// The type of a view; it answers IDefDataId.
class IViewType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9FC9C959-67CF-44cc-B2AA-CFFF3178C051}")
};

// The type of a design unit; it answers IDefDataId.
class IDesignUnitType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2f6d8e14-7a3b-4c59-b0e2-8d41c6a7f395}")
};

// The definition of a property; it answers IDefDataId.
class IPropertyTemplate : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6DC175E5-2E0A-4286-8A17-8406613E9F61}")
};

// One property's value in one context.
class IPropertyInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{192C8C8B-0BCC-4db7-9A89-EC528B0D0358}")

  virtual std::uint64_t GetName(Port::StringBase<char>* name) = 0;
  virtual std::uint64_t GetValue(Port::StringBase<char>* value) = 0;
  virtual std::uint64_t SetValue(const Port::StringBase<char>& value) = 0;
  // The definition, with one reference for the caller.
  virtual std::uint64_t GetTemplate(IPropertyTemplate** definition) = 0;
  // True when the value is the definition's default.
  virtual std::uint64_t IsDefault(bool* isDefault) = 0;
};

}  // namespace Hvd
