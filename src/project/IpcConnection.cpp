#include "project/IpcConnection.h"

#include <cstdint>
#include <mutex>
#include <tuple>
#include <vector>

#include "CitP/Factory.h"
#include "Port/StringBase.h"
#include "core/RefCount.h"

namespace Hvd {
namespace {

// Each entry holds one reference. Constant-initialised, so that it is ready whenever a
// project first asks; its destruction, when the library is unloaded, gives the managers up.
struct ManagerPool {
  ~ManagerPool() { DrainConnectionManagerPool(); }

  std::mutex lock;
  std::vector<Ipc::IConnectionManager*> managers;
};

constinit ManagerPool g_pool;

// Starts the manager with the values it gives itself.
void Start(Ipc::IConnectionManager* manager) {
  std::int32_t channel = 0;
  Port::StringBase<char> address;
  std::int32_t timeout = 0;
  std::int32_t flags = 0;
  std::ignore = manager->GetChannel(&channel);
  std::ignore = manager->GetAddress(&address);
  std::ignore = manager->GetTimeout(&timeout);
  std::ignore = manager->GetFlags(&flags);
  std::ignore = manager->Start(channel, address, timeout, flags);
}

}  // namespace

Prjrep::AutoRelease<Ipc::IConnectionManager> ObtainConnectionManager(Prjrep::IEventReceiver* receiver) {
  Ipc::IConnectionManager* pooled = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    if (!g_pool.managers.empty()) {
      pooled = g_pool.managers.back();
      g_pool.managers.pop_back();
    }
  }
  // A pooled manager is running already and keeps what it was set up with.
  if (pooled != nullptr) return Prjrep::AutoRelease<Ipc::IConnectionManager>(pooled);

  Prjrep::AutoRelease<Ipc::IConnectionManager> manager(CitP::Factory::CreateInstance(Ipc::ConnectionManagerClassId()));
  if (!manager) return manager;
  Prjrep::AutoRelease<Ipc::IAddSource> addSource(CitP::Factory::CreateInstance(Ipc::AddSourceClassId()));
  if (addSource) std::ignore = manager->AddAddSource(addSource);
  if (receiver != nullptr) {
    if (auto sender = manager.TryAs<Prjrep::IEventSender>()) std::ignore = sender->AddReceiver(receiver);
  }
  Start(manager);
  return manager;
}

void ReturnConnectionManager(Prjrep::AutoPtr<Ipc::IConnectionManager>& manager) {
  if (!manager) return;
  {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    g_pool.managers.push_back(manager.Get());
    Prjrep::AddRefObject(manager.Get());  // the pool's own, taken once the entry exists
  }
  manager = nullptr;
}

Status ShutDownConnectionManager(Ipc::IConnectionManager* manager) {
  if (manager == nullptr) return kFailure;
  Prjrep::AutoRelease<Ipc::IShutDown> request(CitP::Factory::CreateInstance(Ipc::ShutDownClassId()));
  if (!request) return kFailure;
  std::int32_t result = 0;
  return manager->ShutDown(request, &result);
}

void DrainConnectionManagerPool() {
  std::vector<Ipc::IConnectionManager*> released;
  {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    released.swap(g_pool.managers);
  }
  // Outside the lock: a manager's last release may run code of its own.
  for (Ipc::IConnectionManager* manager : released) Prjrep::ReleaseObject(manager);
}

}  // namespace Hvd
