// Events, names and timestamps.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "Prjrep/Storage.h"
#include "support/EventNode.h"

using testing_support::CNode;
using Names = std::vector<std::string>;
using Sizes = std::vector<std::size_t>;
using Control = Prjrep::AutoCast<Prjrep::IStorageControl>;

namespace {

const Port::XUID kPing("{0F0F0F0F-6666-4666-8666-666666666601}");

class EventsTest : public testing_support::NodeFixture {
 protected:
  static void Ping(CNode* from) { std::ignore = Hvd::SendEvent(from, kPing, from); }
  static void Release(std::initializer_list<CNode*> nodes) {
    for (CNode* each : nodes) each->Release();
  }
};

TEST_F(EventsTest, ReceiversAreCalledInListOrderAndAnEmptiedEntryIsReused) {
  CNode* sender = CNode::Make("s");
  CNode* r[4] = {CNode::Make(), CNode::Make(), CNode::Make(), CNode::Make()};
  std::vector<int> order;
  for (int i = 0; i < 4; ++i) r[i]->onEvent = [&order, i] { order.push_back(i); };
  for (int i = 0; i < 3; ++i) Hvd::ConnectEventReceiver(sender, r[i]);
  EXPECT_EQ(sender->m_sender.AddReceiver(&r[0]->m_receiver), Hvd::kSuccess);  // already there: one entry
  EXPECT_EQ(r[0]->m_receiver.SenderCount(), 1u);
  std::ignore = sender->m_sender.RemoveReceiver(&r[1]->m_receiver);
  Hvd::ConnectEventReceiver(sender, r[3]);
  Ping(sender);
  EXPECT_EQ(order, (std::vector<int>{0, 3, 2}));
  EXPECT_EQ(r[0]->names, Names{"s"});
  EXPECT_EQ(r[0]->ids, std::vector<Port::XUID>{kPing});
  EXPECT_EQ(Hvd::SendEvent(nullptr, kPing, nullptr), Hvd::kBadParameters);
  EXPECT_EQ(Hvd::SendEvent(&r[0]->m_receiver, kPing, nullptr), Hvd::kBadParameters) << "a receiver has no sender";
  Release({r[0], r[1], r[2], r[3], sender});
}

TEST_F(EventsTest, HandlersMayChangeTheListAndReleaseTheSenderDuringASend) {
  CNode *sender = CNode::Make("s"), *first = CNode::Make(), *second = CNode::Make(), *third = CNode::Make(),
        *late = CNode::Make();
  for (CNode* each : {first, second, third}) Hvd::ConnectEventReceiver(sender, each);
  first->onEvent = [&] {
    std::ignore = sender->m_sender.RemoveReceiver(&first->m_receiver);  // itself
    std::ignore = sender->m_sender.RemoveReceiver(&third->m_receiver);  // a later one: not called
    std::ignore = sender->m_sender.Purge();                             // waits for the send to end
    Hvd::ConnectEventReceiver(sender, late);                            // into the emptied entry: not called
    sender->Release();                                                  // the last outside reference
  };
  Ping(sender);
  EXPECT_EQ(CNode::s_alive, 4) << "the sender lives until its send is over";
  EXPECT_EQ((Sizes{first->names.size(), second->names.size(), third->names.size(), late->names.size()}),
            (Sizes{1, 1, 0, 0}));
  EXPECT_EQ(second->m_receiver.SenderCount(), 0u) << "the dying sender detached its receivers";
  Release({first, second, third, late});
}

TEST_F(EventsTest, ReceiversAddedBehindTheWalkHearTheSameEvent) {
  CNode *sender = CNode::Make("s"), *first = CNode::Make(), *appended = CNode::Make();
  Hvd::ConnectEventReceiver(sender, first);
  first->onEvent = [&] {
    if (first->names.size() > 1) return;
    Hvd::ConnectEventReceiver(sender, appended);
    Ping(sender);  // a nested send of the same sender
  };
  Ping(sender);
  EXPECT_EQ((Sizes{first->names.size(), appended->names.size()}), (Sizes{2, 2}));
  Release({sender, first, appended});
}

// The sender's side is covered above: a dying sender detaches its receivers.
TEST_F(EventsTest, AGoingReceiverDetachesFromItsSender) {
  CNode *sender = CNode::Make(), *receiver = CNode::Make();
  Hvd::ConnectEventReceiver(sender, receiver);
  receiver->Release();
  EXPECT_EQ(sender->m_sender.ReceiverCount(), 0u);
  Ping(sender);  // nothing left to call, nothing touched
  sender->Release();
}

TEST_F(EventsTest, AReceiverReconnectsToItsSendersAfterSaveAndLoad) {
  CNode *senders[2] = {CNode::Make("a"), CNode::Make("b")}, *receiver = CNode::Make();
  for (CNode* s : senders) Hvd::ConnectEventReceiver(s, receiver);
  std::ignore = senders[0]->m_sender.RemoveReceiver(&receiver->m_receiver);
  Hvd::ConnectEventReceiver(senders[0], receiver);  // reuses the emptied entry

  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(receiver->m_receiver.PersistSave(storage), Hvd::kSuccess);
  Release({senders[0], senders[1], receiver});
  std::ignore = Control(storage.Get())->Rewind();  // the stream lets go of what it wrote
  ASSERT_EQ(CNode::s_alive, 0);
  CNode* loaded = CNode::Make();
  ASSERT_EQ(loaded->m_receiver.PersistLoad(storage), Hvd::kSuccess);
  EXPECT_EQ(loaded->m_receiver.SenderCount(), 2u);
  std::ignore = Control(storage.Get())->Rewind();  // the re-created senders go: the receiver holds none
  EXPECT_EQ(CNode::s_alive, 1);
  EXPECT_EQ(loaded->m_receiver.SenderCount(), 0u);
  loaded->Release();
}

TEST_F(EventsTest, TheNameChangedEventFollowsTheStoredNameFromTheOwner) {
  CNode *named = CNode::Make("old"), *watcher = CNode::Make();
  Hvd::ConnectEventReceiver(named, watcher);
  EXPECT_EQ(named->m_name.SetName("new"), Hvd::kSuccess);
  EXPECT_EQ(named->m_name.SetName("new"), Hvd::kSuccess);
  EXPECT_EQ(watcher->names, (Names{"new", "new"}));
  Hvd::CEventingNameHelper ownerless;  // nothing to announce from
  EXPECT_EQ(ownerless.SetName("x"), Hvd::kSuccess);
  Release({named, watcher});
}

// A timestamp of another kind whose read fails.
class BrokenTimestamp : public Prjrep::CTimestampHelper {
 public:
  Hvd::Status GetTime(std::int64_t*, std::int64_t*) override { return Hvd::Status{0x77}; }
};


// Outside a send a purge drops the emptied entries at once: a receiver connected after it comes
// last, where it would otherwise take the emptied entry.
TEST_F(EventsTest, APurgeOutsideASendDropsTheEmptiedEntriesAtOnce) {
  CNode* sender = CNode::Make("s");
  CNode* r[4] = {CNode::Make(), CNode::Make(), CNode::Make(), CNode::Make()};
  std::vector<int> order;
  for (int i = 0; i < 4; ++i) r[i]->onEvent = [&order, i] { order.push_back(i); };
  for (int i = 0; i < 3; ++i) Hvd::ConnectEventReceiver(sender, r[i]);
  std::ignore = sender->m_sender.RemoveReceiver(&r[1]->m_receiver);
  std::ignore = sender->m_sender.Purge();
  Hvd::ConnectEventReceiver(sender, r[3]);
  Ping(sender);
  EXPECT_EQ(order, (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(sender->m_sender.ReceiverCount(), 3u);
  Release({r[0], r[1], r[2], r[3], sender});
}
TEST(TimestampTest, OrderNormalisingStorageAndFailures) {
  Prjrep::CTimestampHelper a, b, c;
  std::ignore = a.SetTime(10, 5), std::ignore = b.SetTime(9, 1000007);  // normalised to (10, 7)
  std::ignore = c.SetTime(9, 999);
  std::int32_t order[3] = {5, 5, 5};
  std::ignore = a.Compare(&b, &order[0]), std::ignore = a.Compare(&c, &order[1]);
  std::ignore = a.Compare(&a, &order[2]);
  EXPECT_EQ(std::vector<std::int32_t>(order, order + 3), (std::vector<std::int32_t>{-1, 1, 0}));
  bool later = true;
  BrokenTimestamp broken;
  EXPECT_EQ((std::tuple{a.IsLaterThan(&a, &later), later, a.Compare(&broken, &order[0]),
                        a.IsEarlierThan(&broken, &later), order[0], a.Compare(nullptr, &order[0])}),
            (std::tuple{Hvd::kSuccess, false, Hvd::Status{0x77}, Hvd::Status{0x77}, -1, Hvd::kBadParameters}))
      << "nothing is written from a failed read";
  Port::StringBase<char> text;
  ASSERT_EQ(a.GetTimeString(&text), Hvd::kSuccess);
  EXPECT_TRUE(!text.empty() && text.str().back() != '\n');

  // Stored as two integers; a save stops at the first failure.
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(c.Load(nullptr), Hvd::kBadParameters);
  std::ignore = storage->WriteInt64(7), std::ignore = storage->WriteInt64(-3);  // never normalised
  ASSERT_EQ(c.Load(storage), Hvd::kSuccess);
  std::int64_t seconds = 0, micro = 0;
  std::ignore = c.GetTime(&seconds, &micro);
  EXPECT_TRUE(seconds == 7 && micro == -3) << seconds << " " << micro;
  Control(storage.Get())->FailOperation(1, Hvd::Status{0x55});
  EXPECT_EQ((std::tuple{c.Save(storage), c.Load(storage)}), (std::tuple{Hvd::Status{0x55}, Hvd::kFailure}))
      << "nothing half-written to read back";
}

}  // namespace
