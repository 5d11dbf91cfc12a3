#pragma once
// The host's component framework: factories registered by class id, creation by class id,
// and loading of sibling component libraries.

#include "CitI/IInterface.h"
#include "Port/Init.h"

namespace CitP {

class Factory {
 public:
  // Records `factory` under `clsid`, keeping one reference through CommonI::IRefCount
  // while registered. A later registration of the same class id replaces the earlier one.
  static void RegisterFactory(const Port::XUID& clsid, CitI::IFactory* factory);

  // The new object's root interface with one reference for the caller, or null when no
  // factory is registered under `clsid` or the factory refuses it.
  static CitI::IInterface* CreateInstance(const Port::XUID& clsid);

  // Loads "<name>.so" from the directory that holds the host library and calls its
  // InstFactoryEntry, once per library. False, with a debug message, when that fails.
  static bool LoadLibraryFactory(const char* name);

  // Releases every registered factory and forgets the loaded libraries' registrations.
  static void Shutdown();

  static bool IsRegistered(const Port::XUID& clsid);
};

class InstanceTableInit {
 public:
  InstanceTableInit();
};

class FactoryInit {
 public:
  FactoryInit();
};

}  // namespace CitP

static CitP::InstanceTableInit s_citpInstanceTableInit;
static CitP::FactoryInit s_citpFactoryInit;
