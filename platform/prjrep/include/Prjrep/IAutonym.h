#pragma once
// Autonyms: small persistent records that stand for a component and resolve back to it,
// and the lookups that find objects by name or by autonym.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Prjrep {

class IAutonym : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{63b9b761-7054-4db8-92b1-0570c0834fa4}")

  // The object the autonym stands for, found or re-created in the context's repository
  // when the autonym does not hold it; one reference for the caller.
  virtual Hvd::Status Resolve(CitI::IInterface* context, CitI::IInterface** object) = 0;
  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status GetObject(CitI::IInterface** object) = 0;
  virtual Hvd::Status IsSame(CitI::IInterface* other, bool* same) = 0;
};

class ISaveAutonym : public IAutonym {
 public:
  CITI_DECLARE_IID("{7b683c58-1a7a-4709-af51-fbb4ce380204}")

  virtual Hvd::Status SaveObject(CitI::IInterface* context) = 0;
  virtual Hvd::Status CloseObject(CitI::IInterface* context) = 0;
};

class IAutonymIterator : public TIIterator<IAutonym*> {
 public:
  CITI_DECLARE_IID("{0ce77fb5-9758-456d-969e-2b8574669337}")
};

// The elements of a compound autonym, in the order they were added.
class IAutonymSet : public TISet<IAutonym*, IAutonymIterator> {
 public:
  CITI_DECLARE_IID("{3176b1cd-8dc3-4288-88d1-2058f8c86efe}")
};

// Implemented by objects that can name themselves.
class IAutoNaming : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{b4589f64-f1cb-4351-b184-21cae1ecc25b}")

  // A new autonym that holds the object; one reference for the caller.
  virtual Hvd::Status GetAutonym(IAutonym** autonym) = 0;
};

// Names to objects. Found objects come with one reference for the caller; the table keeps
// its own reference on each registered object until it is withdrawn.
class ISimpleNamedLookup : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{520c01e5-7bb2-40bf-ae09-94bc499fa19c}")

  virtual Hvd::Status Find(const Port::StringBase<char>& name, CitI::IInterface** object) = 0;
  // Registers only when the name is free; 0 when it is taken.
  virtual Hvd::Status Add(const Port::StringBase<char>& name, CitI::IInterface* object) = 0;
  // Registers, replacing what the name stood for; null clears the name.
  virtual Hvd::Status Register(const Port::StringBase<char>& name, CitI::IInterface* object) = 0;
  virtual Hvd::Status Unregister(const Port::StringBase<char>& name) = 0;
  // Withdraws every name under which the object is registered.
  virtual Hvd::Status UnregisterObject(CitI::IInterface* object) = 0;
};

// Autonyms to objects: an entry matches an autonym that IsSame as the registered one.
class IAutonymLookup : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{28ddfd92-7ae5-4cde-a460-00fbd85d4aec}")

  virtual Hvd::Status Resolve(IAutonym* autonym, CitI::IInterface** object) = 0;
  // Resolve, and when nothing is registered, the autonym's own Resolve in `context`, whose
  // object is then registered.
  virtual Hvd::Status ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object) = 0;
  virtual Hvd::Status Register(IAutonym* autonym, CitI::IInterface* object) = 0;
  // The autonym under which the object is registered; one reference for the caller.
  virtual Hvd::Status FindAutonym(CitI::IInterface* object, IAutonym** autonym) = 0;
  virtual Hvd::Status Unregister(IAutonym* autonym) = 0;
};

}  // namespace Prjrep
