#include "CitP/Factory.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "CommonI/IRefCount.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"

namespace {

CommonI::IRefCount* CountOf(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  return static_cast<CommonI::IRefCount*>(object->QueryInterface(CommonI::IRefCount::GetIID()));
}

struct Registry {
  std::mutex lock;
  // Hashed: every component is made through here, many thousands for a large project.
  std::unordered_map<Port::XUID, CitI::IFactory*> factories;
  std::set<std::string> loaded;
};

Registry& TheRegistry() {
  static Registry s_registry;
  return s_registry;
}

}  // namespace

namespace CitP {

void Factory::RegisterFactory(const Port::XUID& clsid, CitI::IFactory* factory) {
  CommonI::IRefCount* count = CountOf(factory);
  if (count == nullptr) {
    Port_MsgManData::debugStub("ERROR: Factory::RegisterFactory - factory does not answer CommonI::IRefCount.\n");
    return;
  }
  count->AddRef();
  CitI::IFactory* replaced = nullptr;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    CitI::IFactory*& slot = registry.factories[clsid];
    replaced = slot;
    slot = factory;
  }
  if (CommonI::IRefCount* old = CountOf(replaced)) old->Release();
}

CitI::IInterface* Factory::CreateInstance(const Port::XUID& clsid) {
  CitI::IFactory* factory = nullptr;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    const auto found = registry.factories.find(clsid);
    if (found == registry.factories.end()) return nullptr;
    factory = found->second;
    CountOf(factory)->AddRef();  // keeps the factory alive across a concurrent replacement
  }
  CitI::IInterface* object = nullptr;
  try {
    object = factory->CreateInstance(clsid);
  } catch (...) {
    CountOf(factory)->Release();
    throw;
  }
  CountOf(factory)->Release();
  return object;
}

bool Factory::LoadLibraryFactory(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(registry.lock);
    if (registry.loaded.count(name) != 0) return true;
  }
  // The host's folder as it was when the host was loaded, never one named against the working
  // directory of now.
  const std::string host = Port_Env::GetLibraryFolder().str();
  if (host.empty()) {
    Port_MsgManData::debugStub("ERROR: Factory::LoadLibraryFactory - the host library's folder is not known\n");
    return false;
  }
  const std::string path = host + "/" + name + ".so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const std::string message = std::string("ERROR: Factory::LoadLibraryFactory - ") + dlerror() + "\n";
    Port_MsgManData::debugStub(message.c_str());
    return false;
  }
  using Entry = void (*)();
  auto entry = reinterpret_cast<Entry>(dlsym(handle, "InstFactoryEntry"));
  if (entry == nullptr) {
    const std::string message = "ERROR: Factory::LoadLibraryFactory - " + path + " has no InstFactoryEntry\n";
    Port_MsgManData::debugStub(message.c_str());
    dlclose(handle);
    return false;
  }
  entry();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.loaded.insert(name);
  // The library stays mapped: objects and ids it handed out may outlive the registration.
  return true;
}

void Factory::Shutdown() {
  std::map<Port::XUID, CitI::IFactory*> released;  // let go in the order of their class ids
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    released.insert(registry.factories.begin(), registry.factories.end());
    registry.factories.clear();
    registry.loaded.clear();
  }
  for (auto& entry : released) {
    if (CommonI::IRefCount* count = CountOf(entry.second)) count->Release();
  }
}

bool Factory::IsRegistered(const Port::XUID& clsid) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  return registry.factories.count(clsid) != 0;
}

InstanceTableInit::InstanceTableInit() = default;
FactoryInit::FactoryInit() { TheRegistry(); }

}  // namespace CitP
