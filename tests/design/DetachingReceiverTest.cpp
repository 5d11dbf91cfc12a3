// A receiver that leaves its senders while its owner lives on: which senders still list it,
// which it still hears, and that none keeps it once it is gone.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "design/DetachingReceiver.h"
#include "support/EventNode.h"

namespace {

using testing_support::CNode;

struct Listener : Hvd::TComponent<Listener> {
  auto QueryTable() { return Hvd::Table(Hvd::Row<CitI::IInterface>(this)); }
  static Hvd::Status Count(Listener* self, Prjrep::IEvent*) { return ++self->heard.events, Hvd::kSuccess; }
  struct {
    int events = 0;
  } heard;
};

class DetachingReceiverTest : public testing_support::NodeFixture {
 protected:
  // Past the length at which a list is searched instead of indexed.
  static constexpr int kSenders = 40;
  void SetUp() override {
    NodeFixture::SetUp();
    for (int i = 0; i < kSenders; ++i) senders.push_back(CNode::Make());
  }
  void TearDown() override {
    for (CNode* node : senders) node->Release();
    NodeFixture::TearDown();
  }
  void SendFromAll() {
    for (CNode* node : senders) ASSERT_EQ(node->m_sender.Send(Hvd::CreateEvent(node, Port::XUID(), nullptr)), Hvd::kSuccess);
  }
  std::vector<CNode*> senders;
};

TEST_F(DetachingReceiverTest, KeepsOnlyTheSenderAskedForHearsItAloneAndIsLetGoOfByAllWhenGone) {
  Listener owner;
  auto receiver = std::make_unique<Hvd::TDetachingReceiver<Listener>>(&owner, &Listener::Count);
  for (CNode* node : senders) ASSERT_EQ(node->m_sender.AddReceiver(receiver.get()), Hvd::kSuccess);
  ASSERT_EQ(senders[7]->m_sender.AddReceiver(receiver.get()), Hvd::kSuccess);  // once only
  EXPECT_EQ(receiver->SenderCount(), static_cast<std::size_t>(kSenders));
  SendFromAll();
  EXPECT_EQ(owner.heard.events, kSenders);

  Prjrep::IEventSender* keep = &senders[12]->m_sender;
  receiver->Detach(keep);
  for (CNode* node : senders) {
    const bool kept = &node->m_sender == keep;
    EXPECT_EQ(receiver->IsListeningTo(&node->m_sender), kept);
    EXPECT_EQ(node->m_sender.ReceiverCount(), kept ? 1u : 0u);
  }
  owner.heard.events = 0;
  SendFromAll();
  EXPECT_EQ(owner.heard.events, 1);

  // Added back in another order after the walk: each heard once, each listed once.
  for (int i = kSenders - 1; i >= 0; i -= 2) ASSERT_EQ(senders[i]->m_sender.AddReceiver(receiver.get()), Hvd::kSuccess);
  EXPECT_EQ(receiver->SenderCount(), static_cast<std::size_t>(kSenders / 2 + 1));
  owner.heard.events = 0;
  SendFromAll();
  EXPECT_EQ(owner.heard.events, kSenders / 2 + 1);

  // One sender lets go by itself: the receiver no longer counts it.
  ASSERT_EQ(senders[kSenders - 1]->m_sender.RemoveReceiver(receiver.get()), Hvd::kSuccess);
  EXPECT_FALSE(receiver->IsListeningTo(&senders[kSenders - 1]->m_sender));
  EXPECT_EQ(receiver->SenderCount(), static_cast<std::size_t>(kSenders / 2));

  receiver.reset();
  for (CNode* node : senders) EXPECT_EQ(node->m_sender.ReceiverCount(), 0u);
  owner.heard.events = 0;
  SendFromAll();  // nothing left to call
  EXPECT_EQ(owner.heard.events, 0);
}

}  // namespace
