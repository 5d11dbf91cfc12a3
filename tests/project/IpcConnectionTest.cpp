// The process-wide pool of connection managers, with the connection components doubled.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Prjrep/StandIns.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "core/RefCount.h"
#include "project/IpcConnection.h"
#include "project/project/CProject.h"

namespace {
using Hvd::kFailure, Hvd::kSuccess, Hvd::Status;
using Hvd::Ipc::IAddSource, Hvd::Ipc::IConnectionManager, Hvd::Ipc::IShutDown;
using ManagerPtr = Prjrep::AutoPtr<IConnectionManager>;
using Calls = std::vector<std::string>;

Calls g_calls;    // what the managers were asked, in order
int g_alive = 0;  // fakes not yet destroyed

// A counted component made under class id `Id()`, answering `I` and an event sender.
template <class Derived, class I, const Port::XUID& (*Id)()>
struct CFake : Hvd::TComponent<Derived, I> {
  static const Port::XUID& GetCLSID() { return Id(); }
  CFake() { ++g_alive; }
  ~CFake() override { --g_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<I>(this), Hvd::Row<Prjrep::IEventSender>(&m_sender), Hvd::Row<CitI::IInterface>(this),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::TRefCountHelper<CFake> m_refCount{this};
};
template <class I, const Port::XUID& (*Id)()>
struct CFakeComponent : CFake<CFakeComponent<I, Id>, I, Id> {};
using CFakeAddSource = CFakeComponent<IAddSource, Hvd::Ipc::AddSourceClassId>;
using CFakeShutDown = CFakeComponent<IShutDown, Hvd::Ipc::ShutDownClassId>;
using CNotAManager = CFakeComponent<IAddSource, Hvd::Ipc::ConnectionManagerClassId>;

// Answers a shut-down with anything but success, to see that the answer is passed on.
struct CFakeManager : CFake<CFakeManager, IConnectionManager, Hvd::Ipc::ConnectionManagerClassId> {
  Status AddAddSource(IAddSource* handler) override {
    return m_addSource = handler, g_calls.push_back("add-source"), kSuccess;
  }
  Status GetChannel(std::int32_t* channel) override { return *channel = 7, kSuccess; }
  Status GetAddress(Port::StringBase<char>* address) override { return *address = "pipe:designs", kSuccess; }
  Status GetTimeout(std::int32_t* timeout) override { return *timeout = 30, kSuccess; }
  Status GetFlags(std::int32_t* flags) override { return *flags = 5, kSuccess; }
  // Started with the values the getters above gave, or the call says otherwise.
  Status Start(std::int32_t channel, const Port::StringBase<char>& address, std::int32_t timeout,
               std::int32_t flags) override {
    return g_calls.push_back(channel == 7 && address == "pipe:designs" && timeout == 30 && flags == 5 ? "start" : "?"),
           kSuccess;
  }
  Status ShutDown(IShutDown* request, std::int32_t* result) override {
    return g_calls.push_back(request && *result == 0 ? "shut-down" : "?"), Hvd::kNotSetUp;
  }
  Prjrep::AutoPtr<IAddSource> m_addSource;
};

class IpcConnectionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    g_calls.clear();
    Hvd::DrainConnectionManagerPool();
    CitP::Factory::Shutdown();
    EXPECT_EQ(g_alive, 0) << "every fake given up";
  }
  Prjrep::TEventReceiverHelper<void> m_receiver;
};

// Each missing component leaves out its own step only; what was made is given up again.
TEST_F(IpcConnectionTest, NewManagersAreSetUpStartedAndShutDownWithTheComponentsThere) {
  EXPECT_TRUE(!Hvd::ObtainConnectionManager(&m_receiver) && Hvd::ShutDownConnectionManager(nullptr) == kFailure);
  Hvd::RegisterFactoriesOf<CNotAManager>();
  EXPECT_FALSE(Hvd::ObtainConnectionManager(&m_receiver));

  Hvd::RegisterFactoriesOf<CFakeManager>();
  ManagerPtr bare = Hvd::ObtainConnectionManager(nullptr);
  EXPECT_EQ(Hvd::ShutDownConnectionManager(bare), kFailure) << "no shut-down request";
  Hvd::RegisterFactoriesOf<CFakeAddSource, CFakeShutDown>();
  ManagerPtr manager = Hvd::ObtainConnectionManager(&m_receiver);
  EXPECT_EQ(m_receiver.SenderCount(), 1u) << "registered with the manager's event sender";
  EXPECT_EQ(Hvd::ShutDownConnectionManager(manager), Hvd::kNotSetUp) << "the manager's own answer";
  EXPECT_TRUE(g_calls == (Calls{"start", "add-source", "start", "shut-down"}) && g_alive == 3)
      << "both managers and the handler kept, the request given up";
}

// A pooled manager is handed out as it is: not started again, no receiver registered.
TEST_F(IpcConnectionTest, ReturnedManagersAreHandedOutAgainLastFirst) {
  Hvd::RegisterFactoriesOf<CFakeManager>();
  ManagerPtr first = Hvd::ObtainConnectionManager(nullptr), second = Hvd::ObtainConnectionManager(nullptr), none;
  IConnectionManager* const pooled[] = {first.Get(), second.Get()};
  for (ManagerPtr* manager : {&first, &none, &second}) Hvd::ReturnConnectionManager(*manager);  // none pools nothing
  EXPECT_TRUE(!first && !second && g_alive == 2) << "the pool keeps them";

  ManagerPtr last = Hvd::ObtainConnectionManager(nullptr), earlier = Hvd::ObtainConnectionManager(&m_receiver);
  ManagerPtr fresh = Hvd::ObtainConnectionManager(nullptr);  // the pool is empty again
  EXPECT_TRUE(last.Get() == pooled[1] && earlier.Get() == pooled[0] && fresh);
  EXPECT_TRUE(g_calls == (Calls{"start", "start", "start"}) && m_receiver.SenderCount() == 0u);
  Hvd::ReturnConnectionManager(last);
  Hvd::DrainConnectionManagerPool();
  EXPECT_EQ(g_alive, 2) << "only the managers still held are left";
}

// A project asks for a manager once and hands out the one it holds; its close shuts the
// manager down, and the next project that asks is given it from the pool, not started again.
TEST_F(IpcConnectionTest, AProjectKeepsOneManagerAndLeavesItToTheNextAfterItsClose) {
  InstFactoryEntry();
  Prjrep::RegisterComponents();
  Hvd::RegisterFactoriesOf<CFakeManager, CFakeAddSource, CFakeShutDown>();
  IConnectionManager* kept = nullptr;
  {
    Prjrep::AutoRelease<Hvd::IProject> first(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetConnectionManager(nullptr), kFailure);
    Prjrep::AutoRelease<IConnectionManager> manager, again;
    ASSERT_TRUE(first->GetConnectionManager(manager.Receive()) == kSuccess && manager);
    ASSERT_TRUE(first->GetConnectionManager(again.Receive()) == kSuccess && again.Get() == manager.Get());
    kept = manager.Get();
    EXPECT_EQ(g_calls, (Calls{"add-source", "start"}));
    Hvd::CProject::FromInterface(first.Get())->EnterOpenState("/nowhere/p.xhlc", nullptr, false);
    EXPECT_EQ(first->ProjectClose(false), kSuccess);
    EXPECT_EQ(g_calls, (Calls{"add-source", "start", "shut-down"}));
  }
  {
    Prjrep::AutoRelease<Hvd::IProject> second(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    Prjrep::AutoRelease<IConnectionManager> manager;
    ASSERT_EQ(second->GetConnectionManager(manager.Receive()), kSuccess);
    EXPECT_EQ(manager.Get(), kept);
    EXPECT_EQ(g_calls, (Calls{"add-source", "start", "shut-down"})) << "not started again";
  }
  Prjrep::ResetNamedObjectRegistry();
}

}  // namespace
