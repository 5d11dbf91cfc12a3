#pragma once
// A component that sends and receives events. It has a name, stored with it, that announces its
// changes, a timestamp and a teardown count; it records the id and the argument's name of every
// event it receives, may run a test's action inside its handler, and counts its live instances.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Prjrep/StandIns.h"
#include "core/Events.h"
#include "core/Names.h"
#include "support/Records.h"

namespace testing_support {

struct CNode : Hvd::TComponent<CNode> {
  CITI_DECLARE_CLSID("{0F0F0F0F-6666-4666-8666-666666666603}")
  CNode() { ++s_alive; }
  ~CNode() override { --s_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IEventSender>(&m_sender), Hvd::Row<Prjrep::IEventReceiver>(&m_receiver),
                      Hvd::Row<Prjrep::IName>(&m_name), Hvd::Row<Prjrep::ITimestamp>(&m_time),
                      Hvd::Row<Hvd::ICompAdmin>(&m_admin), Hvd::Row<Prjrep::IPersist>(&m_persist),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status LoadFrom(Prjrep::IStorage* storage) {
    Port::StringBase<char> name;
    const Hvd::Status status = storage->ReadString(&name);
    return std::ignore = m_name.Prjrep::CNameHelper::SetName(name), status;
  }
  Hvd::Status SaveTo(Prjrep::IStorage* storage) { return storage->WriteString(&m_name.Name()); }
  static Hvd::Status Handle(CNode* self, Prjrep::IEvent* event) {
    Port::XUID id;
    Prjrep::AutoRelease<CitI::IInterface> argument;
    Port::StringBase<char> name;
    std::ignore = event->GetEventId(id), std::ignore = event->GetArgument(argument.Receive());
    self->ids.push_back(id);
    if (Prjrep::AutoCast<Prjrep::IName> named(argument.Get()); named.Get() != nullptr)
      std::ignore = named->GetName(name);
    self->names.push_back(name.str());
    if (self->onEvent) self->onEvent();
    return Hvd::kFailure;  // a failing handler does not stop the send
  }
  // A new node with one reference for the caller; naming it announces nothing.
  static CNode* Make(const char* name = "") {
    auto* node = new CNode;
    return std::ignore = node->m_name.Prjrep::CNameHelper::SetName(name), node;
  }
  static void Register() { RegisterTestFactory<CNode>(); }
  void Release() { Prjrep::ReleaseInterface(this); }
  static inline int s_alive = 0;
  std::vector<Port::XUID> ids;
  std::vector<std::string> names;  // the argument's name, empty when it has none
  std::function<void()> onEvent;
  int teardowns = 0;
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::TEventReceiverHelper<CNode> m_receiver{this, &CNode::Handle};
  Hvd::CEventingNameHelper m_name{this};
  Prjrep::CTimestampHelper m_time{this};
  struct XAdmin : Hvd::TNested<CNode, Hvd::ICompAdmin> {
    using TNested::TNested;
    Hvd::Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return Hvd::kSuccess; }
    Hvd::Status InitializeAfterLoad(CitI::IInterface*) override { return Hvd::kSuccess; }
    Hvd::Status RegisterForNotifications() override { return Hvd::kSuccess; }
    Hvd::Status Teardown() override { return ++This().teardowns, Hvd::kSuccess; }
  } m_admin{this};
  Prjrep::TPersistHelper<CNode> m_persist{this};
  Prjrep::TRefCountHelper<CNode> m_refCount{this};
};

// The stand-in components and nodes registered; no node left behind.
class NodeFixture : public ::testing::Test {
 protected:
  void SetUp() override { Prjrep::RegisterComponents(), CNode::Register(); }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry(), CitP::Factory::Shutdown();
    EXPECT_EQ(CNode::s_alive, 0);
  }
};

}  // namespace testing_support
