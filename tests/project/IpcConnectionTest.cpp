// The process-wide pool of connection managers, with the connection components doubled.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CitP/Factory.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "core/RefCount.h"
#include "project/IpcConnection.h"

namespace {
using Hvd::kFailure, Hvd::kSuccess, Hvd::Status;
using Hvd::Ipc::IAddSource, Hvd::Ipc::IConnectionManager, Hvd::Ipc::IShutDown;
using ManagerPtr = Prjrep::AutoPtr<IConnectionManager>;

std::vector<std::string> g_calls;  // what the managers were asked, in order
int g_alive = 0;                   // fakes not yet destroyed

int Starts() { return static_cast<int>(std::count(g_calls.begin(), g_calls.end(), "start 7 pipe:designs 30 5")); }

// Counts itself among the living fakes.
struct CAlive {
  CAlive() { ++g_alive; }
  ~CAlive() { --g_alive; }
};

class CFakeManager : public Hvd::TComponent<CFakeManager, IConnectionManager> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::Ipc::ConnectionManagerClassId(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IConnectionManager>(this), Hvd::Row<Prjrep::IEventSender>(&m_sender),
                      Hvd::Row<CitI::IInterface>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  Status AddAddSource(IAddSource* handler) override {
    m_addSource = handler;
    return Log("add-source");
  }
  Status GetChannel(std::int32_t* channel) override { return Log("channel", *channel = 7); }
  Status GetAddress(Port::StringBase<char>* address) override { return Log("address", *address = "pipe:designs"); }
  Status GetTimeout(std::int32_t* timeout) override { return Log("timeout", *timeout = 30); }
  Status GetFlags(std::int32_t* flags) override { return Log("flags", *flags = 5); }
  Status Start(std::int32_t channel, const Port::StringBase<char>& address, std::int32_t timeout,
               std::int32_t flags) override {
    return Log("start " + std::to_string(channel) + " " + address.str() + " " + std::to_string(timeout) + " " +
               std::to_string(flags));
  }
  Status ShutDown(IShutDown* request, std::int32_t* result) override {
    std::ignore = Log("shut-down " + std::to_string(request != nullptr) + " " + std::to_string(*result));
    return Hvd::kNotSetUp;  // any answer but the success one, to see that it is passed on
  }

 private:
  // Records the call; the values it gave are set in the arguments.
  template <class... Given>
  static Status Log(std::string call, const Given&...) {
    g_calls.push_back(std::move(call));
    return kSuccess;
  }
  CAlive m_alive;
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::AutoPtr<IAddSource> m_addSource;
  Prjrep::TRefCountHelper<CFakeManager> m_refCount{this};
};

// A counted component answering `I` only, made under class id `Id()`.
template <class I, const Port::XUID& (*Id)()>
class CFakeComponent : public Hvd::TComponent<CFakeComponent<I, Id>, I> {
 public:
  static const Port::XUID& GetCLSID() { return Id(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<I>(this), Hvd::Row<CitI::IInterface>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }

 private:
  CAlive m_alive;
  Prjrep::TRefCountHelper<CFakeComponent> m_refCount{this};
};
using CFakeAddSource = CFakeComponent<IAddSource, Hvd::Ipc::AddSourceClassId>;
using CFakeShutDown = CFakeComponent<IShutDown, Hvd::Ipc::ShutDownClassId>;
// Registered under the manager's class id, but no connection manager.
using CNotAManager = CFakeComponent<IAddSource, Hvd::Ipc::ConnectionManagerClassId>;

using Receiver = Prjrep::TEventReceiverHelper<void>;

class IpcConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { g_calls.clear(); }
  void TearDown() override {
    Hvd::DrainConnectionManagerPool();
    CitP::Factory::Shutdown();
    EXPECT_EQ(g_alive, 0) << "every fake given up";
  }
};

TEST_F(IpcConnectionTest, MissingComponentsLeaveNoOrAPartialConnection) {
  Receiver receiver;
  EXPECT_FALSE(Hvd::ObtainConnectionManager(&receiver));
  EXPECT_EQ(Hvd::ShutDownConnectionManager(nullptr), kFailure);

  Hvd::RegisterFactoriesOf<CNotAManager>();
  EXPECT_FALSE(Hvd::ObtainConnectionManager(&receiver));
  EXPECT_EQ(g_alive, 0) << "what was made is given up again";

  // Without add-source handler and shut-down request: still started, but cannot be shut down.
  Hvd::RegisterFactoriesOf<CFakeManager>();
  ManagerPtr manager = Hvd::ObtainConnectionManager(nullptr);
  ASSERT_TRUE(manager);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"channel", "address", "timeout", "flags", "start 7 pipe:designs 30 5"}));
  EXPECT_EQ(Hvd::ShutDownConnectionManager(manager), kFailure);
  EXPECT_EQ(g_calls.size(), 5u) << "the manager is not asked to shut down";
}

TEST_F(IpcConnectionTest, NewManagerIsSetUpStartedAndShutDown) {
  Hvd::RegisterFactoriesOf<CFakeManager, CFakeAddSource, CFakeShutDown>();
  Receiver receiver;
  ManagerPtr manager = Hvd::ObtainConnectionManager(&receiver);
  ASSERT_TRUE(manager);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"add-source", "channel", "address", "timeout", "flags",
                                               "start 7 pipe:designs 30 5"}));
  EXPECT_EQ(receiver.SenderCount(), 1u) << "registered with the manager's event sender";

  g_calls.clear();
  EXPECT_EQ(Hvd::ShutDownConnectionManager(manager), Hvd::kNotSetUp) << "the manager's own answer";
  EXPECT_EQ(g_calls, (std::vector<std::string>{"shut-down 1 0"}));
  EXPECT_EQ(g_alive, 2) << "the request is given up, the manager keeps its handler";
}

TEST_F(IpcConnectionTest, ReturnedManagersAreHandedOutAgainLastFirst) {
  Hvd::RegisterFactoriesOf<CFakeManager>();
  ManagerPtr first = Hvd::ObtainConnectionManager(nullptr);
  IConnectionManager* const firstObject = first.Get();
  Hvd::ReturnConnectionManager(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(g_alive, 1) << "the pool keeps it";
  ManagerPtr none;
  Hvd::ReturnConnectionManager(none);  // pools nothing

  Receiver receiver;
  ManagerPtr again = Hvd::ObtainConnectionManager(&receiver);
  EXPECT_EQ(again.Get(), firstObject);
  EXPECT_EQ(Starts(), 1) << "no second start";
  EXPECT_EQ(receiver.SenderCount(), 0u) << "nothing else is done to a pooled manager";

  ManagerPtr second = Hvd::ObtainConnectionManager(nullptr);  // the pool is empty again
  ASSERT_TRUE(second);
  EXPECT_NE(second.Get(), firstObject);
  EXPECT_EQ(Starts(), 2);
  IConnectionManager* const secondObject = second.Get();
  Hvd::ReturnConnectionManager(again);
  Hvd::ReturnConnectionManager(second);
  ManagerPtr last = Hvd::ObtainConnectionManager(nullptr);
  EXPECT_EQ(last.Get(), secondObject);

  Hvd::DrainConnectionManagerPool();
  EXPECT_EQ(g_alive, 1) << "only the manager still held is left";
}

}  // namespace
