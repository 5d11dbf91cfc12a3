#pragma once
// Key sections of a repository: string values by key, kept in the repository's file
// together with its storage tree.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Prjrep {

// One key section.
class IRegKeyPairs : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{376dfd5a-e08d-4140-8857-be4c85e39009}")

  // 1 and the value of `key`; 0 and an empty value when the section has no such key.
  virtual Hvd::Status GetValue(const Port::StringBase<char>& key, Port::StringBase<char>* value) = 0;
  // Sets the value of `key`, adding the key when it is new.
  virtual Hvd::Status SetValue(const Port::StringBase<char>& key, const Port::StringBase<char>& value) = 0;
};

// The repository's second storage interface: its key sections, by name.
class IRegKeyStorage : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4026998c-1eee-4db3-bc9f-615ec0ffd949}")

  // Opens the section `name` with one reference for the caller. The modes are the
  // storage's: kOpenExisting fails for a missing section, kCreate makes it.
  virtual Hvd::Status OpenKey(const Port::StringBase<char>& name, std::int32_t mode, IRegKeyPairs** keys) = 0;
};

}  // namespace Prjrep
