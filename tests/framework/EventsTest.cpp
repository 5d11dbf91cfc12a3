// Events, names and timestamps.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Hvd/EventIds.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "framework/Events.h"
#include "framework/Names.h"
#include "support/Records.h"

namespace {

const Port::XUID kPing("{0F0F0F0F-6666-4666-8666-666666666601}");

class INode : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0F0F0F0F-6666-4666-8666-666666666602}")
};

// A component with a sender, a receiver, an eventing name and a timestamp; it logs what it
// receives and may run a scripted action inside its handler.
class CNode : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{0F0F0F0F-6666-4666-8666-666666666603}")

  CNode() { ++s_alive; }
  ~CNode() override { --s_alive; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{INode::GetIID(), &m_XINode},
                                  {Prjrep::IEventSender::GetIID(), &m_sender},
                                  {Prjrep::IEventReceiver::GetIID(), &m_receiver},
                                  {Prjrep::IName::GetIID(), &m_name},
                                  {Prjrep::ITimestamp::GetIID(), &m_time},
                                  {Prjrep::IPersist::GetIID(), &m_persist},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), &m_XINode}});
  }
  std::uint64_t LoadFrom(Prjrep::IStorage*) { return 1; }
  std::uint64_t SaveTo(Prjrep::IStorage*) { return 1; }

  static std::uint64_t Handle(CNode* self, Prjrep::IEvent* event) {
    Port::XUID id;
    event->GetEventId(id);
    Prjrep::AutoRelease<CitI::IInterface> argument;
    event->GetArgument(argument.Receive());
    Port::StringBase<char> senderName;
    if (Prjrep::AutoCast<Prjrep::IName> named(argument.Get()); named.Get() != nullptr) named->GetName(senderName);
    self->log.push_back(senderName.str());
    if (self->onEvent) self->onEvent();
    return 0;  // a failing handler does not stop the send
  }

  static CNode* Make(const char* name = "") {
    auto* node = new CNode;
    node->m_name.Prjrep::CNameHelper::SetName(name);
    return node;
  }
  CitI::IInterface* Root() { return &m_XINode; }
  void Release() { Prjrep::ReleaseInterface(Root()); }
  int Count() { return m_refCount.GetRefCount(); }

  static inline int s_alive = 0;
  std::vector<std::string> log;
  std::function<void()> onEvent;

  struct XINode : Hvd::TNested<CNode, INode> {
    using TNested::TNested;
  } m_XINode{this};
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::TEventReceiverHelper<CNode> m_receiver{this, &CNode::Handle};
  Hvd::CEventingNameHelper m_name{this};
  Prjrep::CTimestampHelper m_time{this};
  Prjrep::TPersistHelper<CNode> m_persist{this};
  Prjrep::TRefCountHelper<CNode> m_refCount{this};
};

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Prjrep::RegisterComponents();
    testing_support::RegisterTestFactory<CNode>();
  }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    EXPECT_EQ(CNode::s_alive, 0);
  }
  static void Ping(CNode* from) { Hvd::SendEvent(from->Root(), kPing, from->Root()); }
};

TEST_F(EventsTest, ReceiversAreCalledInListOrderAndAnEmptiedEntryIsReused) {
  CNode* sender = CNode::Make("s");
  CNode* r[4] = {CNode::Make(), CNode::Make(), CNode::Make(), CNode::Make()};
  std::vector<int> order;
  for (int i = 0; i < 4; ++i) r[i]->onEvent = [&order, i] { order.push_back(i); };
  for (int i = 0; i < 3; ++i) Hvd::ConnectEventReceiver(sender->Root(), r[i]->Root());
  EXPECT_EQ(sender->m_sender.AddReceiver(&r[0]->m_receiver), 1u);  // already there: one entry
  EXPECT_EQ(r[0]->m_receiver.SenderCount(), 1u);
  sender->m_sender.RemoveReceiver(&r[1]->m_receiver);
  Hvd::ConnectEventReceiver(sender->Root(), r[3]->Root());
  Ping(sender);
  EXPECT_EQ(order, (std::vector<int>{0, 3, 2}));
  EXPECT_EQ(r[0]->log, (std::vector<std::string>{"s"}));
  EXPECT_EQ(sender->m_sender.Send(nullptr), 0u);
  EXPECT_EQ(r[0]->m_receiver.ReceiveEvent(nullptr), 0u);
  EXPECT_EQ(Hvd::SendEvent(nullptr, kPing, nullptr), Hvd::kBadParameters);
  EXPECT_EQ(Hvd::SendEvent(r[0]->m_receiver.QueryInterface(CitI::IInterface::GetIID()), kPing, nullptr),
            Hvd::kBadParameters);
  for (CNode* each : r) each->Release();
  sender->Release();
}

TEST_F(EventsTest, HandlersMayChangeTheListAndReleaseTheSenderDuringASend) {
  CNode* sender = CNode::Make("s");
  CNode* first = CNode::Make();
  CNode* second = CNode::Make();
  CNode* third = CNode::Make();
  CNode* late = CNode::Make();
  for (CNode* each : {first, second, third}) Hvd::ConnectEventReceiver(sender->Root(), each->Root());
  first->onEvent = [&] {
    sender->m_sender.RemoveReceiver(&first->m_receiver);  // itself
    sender->m_sender.RemoveReceiver(&third->m_receiver);  // a later one: not called
    sender->m_sender.Purge();                             // waits for the send to end
    Hvd::ConnectEventReceiver(sender->Root(), late->Root());  // into the emptied entry: not called
    sender->Release();                                    // the last outside reference
  };
  Ping(sender);
  EXPECT_EQ(CNode::s_alive, 4) << "the sender lives until its send is over";
  EXPECT_EQ(first->log.size(), 1u);
  EXPECT_EQ(second->log.size(), 1u);
  EXPECT_TRUE(third->log.empty());
  EXPECT_TRUE(late->log.empty());
  EXPECT_EQ(second->m_receiver.SenderCount(), 0u) << "the dying sender detached its receivers";
  for (CNode* each : {first, second, third, late}) each->Release();
}

TEST_F(EventsTest, ReceiversAddedBehindTheWalkHearTheSameEvent) {
  CNode* sender = CNode::Make("s");
  CNode* first = CNode::Make();
  CNode* appended = CNode::Make();
  Hvd::ConnectEventReceiver(sender->Root(), first->Root());
  bool connected = false;
  first->onEvent = [&] {
    if (connected) return;
    connected = true;
    Hvd::ConnectEventReceiver(sender->Root(), appended->Root());
    Ping(sender);  // a nested send of the same sender
  };
  Ping(sender);
  EXPECT_EQ(first->log.size(), 2u);
  EXPECT_EQ(appended->log.size(), 2u);
  for (CNode* each : {sender, first, appended}) each->Release();
}

TEST_F(EventsTest, EitherSideDetachesBothWaysWhenItGoes) {
  CNode* sender = CNode::Make();
  CNode* receiver = CNode::Make();
  Hvd::ConnectEventReceiver(sender->Root(), receiver->Root());
  receiver->Release();
  EXPECT_EQ(sender->m_sender.ReceiverCount(), 0u);
  Ping(sender);  // nothing left to call, nothing touched
  CNode* other = CNode::Make();
  Hvd::ConnectEventReceiver(sender->Root(), other->Root());
  sender->Release();
  EXPECT_EQ(other->m_receiver.SenderCount(), 0u);
  other->Release();
}

TEST_F(EventsTest, AReceiverReconnectsToItsSendersAfterSaveAndLoad) {
  CNode* senders[2] = {CNode::Make("a"), CNode::Make("b")};
  CNode* receiver = CNode::Make();
  for (CNode* s : senders) Hvd::ConnectEventReceiver(s->Root(), receiver->Root());
  senders[0]->m_sender.RemoveReceiver(&receiver->m_receiver);
  Hvd::ConnectEventReceiver(senders[0]->Root(), receiver->Root());  // reuses the emptied entry

  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(receiver->m_receiver.PersistSave(storage), 1u);
  for (CNode* s : senders) s->Release();
  receiver->Release();
  auto* control = static_cast<Prjrep::IStorageControl*>(storage->QueryInterface(Prjrep::IStorageControl::GetIID()));
  control->Rewind();  // the stream lets go of what it wrote
  ASSERT_EQ(CNode::s_alive, 0);
  CNode* loaded = CNode::Make();
  ASSERT_EQ(loaded->m_receiver.PersistLoad(storage), 1u);
  EXPECT_EQ(loaded->m_receiver.SenderCount(), 2u);
  control->Rewind();  // the stream lets the re-created senders go: the receiver holds none
  EXPECT_EQ(CNode::s_alive, 1);
  EXPECT_EQ(loaded->m_receiver.SenderCount(), 0u);
  loaded->Release();
}

TEST_F(EventsTest, TheNameChangedEventFollowsTheStoredNameFromTheOwner) {
  CNode* named = CNode::Make("old");
  CNode* watcher = CNode::Make();
  Hvd::ConnectEventReceiver(named->Root(), watcher->Root());
  EXPECT_EQ(named->m_name.SetName("new"), 1u);
  EXPECT_EQ(named->m_name.SetName("new"), 1u);
  EXPECT_EQ(watcher->log, (std::vector<std::string>{"new", "new"}));

  Hvd::CEventingNameHelper ownerless;
  EXPECT_EQ(ownerless.SetName("x"), 1u);
  EXPECT_EQ(ownerless.Name(), "x");
  EXPECT_EQ(ownerless.QueryInterface(Prjrep::IName::GetIID()), &ownerless);
  EXPECT_EQ(ownerless.QueryInterface(INode::GetIID()), nullptr);
  named->Release();
  watcher->Release();
}

// A timestamp of another kind whose read fails.
class BrokenTimestamp : public Prjrep::CTimestampHelper {
 public:
  std::uint64_t GetTime(std::int64_t*, std::int64_t*) override { return 0x77; }
};

TEST(TimestampTest, OrderNullsAndFailedReads) {
  Prjrep::CTimestampHelper a, b, c;
  a.SetTime(10, 5);
  b.SetTime(10, 7);
  c.SetTime(9, 999);
  std::int32_t order = 5;
  a.Compare(&b, &order);
  EXPECT_EQ(order, -1);
  a.Compare(&c, &order);
  EXPECT_EQ(order, 1);
  a.Compare(&a, &order);
  EXPECT_EQ(order, 0);
  bool later = true, earlier = true;
  a.IsLaterThan(&a, &later);
  a.IsEarlierThan(&a, &earlier);
  EXPECT_FALSE(later || earlier);

  BrokenTimestamp broken;
  order = 5;
  EXPECT_EQ(a.Compare(&broken, &order), 0x77u);
  EXPECT_EQ(order, 5) << "nothing is written from a failed read";
  EXPECT_EQ(a.Compare(nullptr, &order), Hvd::kBadParameters);

  std::int64_t seconds = -1, micro = -1;
  EXPECT_EQ(a.GetTime(nullptr, &micro), Hvd::kBadParameters);
  EXPECT_EQ(micro, 5);
  EXPECT_EQ(seconds, -1);
  Prjrep::CTimestampHelper fresh;
  fresh.GetTime(&seconds, &micro);
  EXPECT_EQ(seconds, 0);
  EXPECT_EQ(micro, 0);
  a.SetTime(0, 2500000);  // normalised
  a.GetTime(&seconds, &micro);
  EXPECT_EQ(seconds, 2);
  EXPECT_EQ(micro, 500000);
  Port::StringBase<char> text;
  ASSERT_EQ(a.GetTimeString(&text), 1u);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.str().back(), '\n');
}

TEST(TimestampTest, StoredAsTwoIntegersAndASaveStopsAtTheFirstFailure) {
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  auto* control = static_cast<Prjrep::IStorageControl*>(storage->QueryInterface(Prjrep::IStorageControl::GetIID()));
  Prjrep::CTimestampHelper stored;
  ASSERT_EQ(stored.Load(nullptr), Hvd::kBadParameters);
  storage->WriteInt64(7);
  storage->WriteInt64(-3);  // never normalised
  Prjrep::CTimestampHelper loaded;
  ASSERT_EQ(loaded.Load(storage), 1u);
  std::int64_t seconds = 0, micro = 0;
  loaded.GetTime(&seconds, &micro);
  EXPECT_EQ(seconds, 7);
  EXPECT_EQ(micro, -3);

  control->FailOperation(1, 0x55);
  EXPECT_EQ(loaded.Save(storage), 0x55u);
  EXPECT_EQ(loaded.Load(storage), 0u) << "nothing half-written to read back";
}

}  // namespace
