#pragma once
// Property instances kept under names, as a view keeps its settings.

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IPropertyInstance;

// A lookup of elements by key.
template <class T, class Key>
class TIKeyedLookup : public CitI::IInterface {
 public:
  // The element stored under `key` with one reference for the caller; null when absent.
  virtual T Lookup(const Key& key) = 0;
};

class IKeyedPropertySet : public TIKeyedLookup<IPropertyInstance*, Port::StringBase<char>> {
 public:
  CITI_DECLARE_IID("{E504CE24-C999-46d4-B4AD-2E04D6235C14}")
};

}  // namespace Hvd
