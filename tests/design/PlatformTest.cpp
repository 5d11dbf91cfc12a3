// The design platform on a design double: the device properties of the base services' first
// platform type, stored and read back; and, with property instances that announce their
// changes, the names it collects, the code hooks it runs and the one event that tells them.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesignPlatform.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Factory.h"
#include "core/Names.h"
#include "design/DesignDoubles.h"
#include "support/DesignDouble.h"

namespace design_tests {
namespace {

using namespace Hvd;

const Strings kDevice = {"PROP_DevDevice",  "PROP_DevFamily",      "PROP_DevFamilyPMName",
                         "PROP_DevPackage", "PROP_DevSpeed",       "PROP_PreferredLanguage",
                         "PROP_Simulator",  "PROP_Synthesis_Tool", "PROP_Top_Level_Module_Type"};

// The family's definition, whose code hook it runs itself: it counts the runs and does what the
// test says.
class HookDouble final : public TComponent<HookDouble, ICodeHookInstance> {
 public:
  CITI_DECLARE_CLSID("{5d0b7e6a-3c9f-4a81-b2d4-7e1f0c6a9b35}")
  auto QueryTable() {
    return Table(Row<ICodeHookInstance>(this), Row<ICodeHookDefn>(&m_XICodeHookDefn),
                 Row<IPropertyTemplate>(&m_XIPropertyTemplate), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Status Run(const Text&, CitI::IInterface* object) override {
    ++s_runs;
    if (s_action) s_action(AutoCast<IPropertyInstance>(object));
    return kSuccess;
  }
  static inline int s_runs = 0;
  static inline std::function<void(IPropertyInstance*)> s_action;

 private:
  struct XICodeHookDefn : TNested<HookDouble, ICodeHookDefn> {
    using TNested::TNested;
    Status GetHookName(Text* name) override { return *name = "settle", kSuccess; }
    Status GetHookClassId(Port::XUID& id) override { return id = GetCLSID(), kSuccess; }
  } m_XICodeHookDefn{this};
  struct XIPropertyTemplate : TNested<HookDouble, IPropertyTemplate> {
    using TNested::TNested;
    Status GetDependencies(IDefDataIdIterator**) override { return kNotSupported; }
    Status GetDefaultValue(Text*) override { return kNotSupported; }
  } m_XIPropertyTemplate{this};
  Prjrep::TRefCountHelper<HookDouble> m_refCount{this};
};

// A property instance that moves its timestamp and announces each change of its value; the
// family's definition is the hook double.
class InstanceDouble final : public TComponent<InstanceDouble, IPropertyInstance> {
 public:
  InstanceDouble(std::string name, CitI::IInterface* definition) : m_name(std::move(name)) {
    if (m_name == "PROP_DevFamily") {
      m_definition = AutoRelease<CitI::IInterface>(static_cast<ICodeHookInstance*>(new HookDouble()));
    } else {
      std::ignore = m_definition.Assign(definition);
    }
  }
  auto QueryTable() {
    return Table(Row<IPropertyInstance>(this), Row<Prjrep::ITimestamp>(&m_stamp), Row<Prjrep::IEventSender>(&m_sender),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetName(Text* name) override { return *name = Text(m_name), kSuccess; }
  Status GetValue(Text* value) override { return *value = m_value, kSuccess; }
  Status SetValue(const Text& value) override {
    static std::int64_t s_tick = 0;
    if (value == m_value) return kSuccess;
    m_value = value;
    std::ignore = m_stamp.SetTime(++s_tick, 0);
    return SendEvent(this, EventId::PropertyChangeA(), this);
  }
  Status GetTemplate(IPropertyTemplate** out) override {
    return Prjrep::AutoOut<IPropertyTemplate>(out).Assign(m_definition.Get());
  }
  Status IsDefault(bool*) override { return kNotSupported; }

 private:
  Prjrep::CTimestampHelper m_stamp{this};
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::TRefCountHelper<InstanceDouble> m_refCount{this};
  std::string m_name;
  Text m_value;
  AutoPtr<CitI::IInterface> m_definition;
};

// Makes an instance double for each definition and keeps it by name.
class ManagerDouble final : public TComponent<ManagerDouble, IPropertyManager> {
 public:
  auto QueryTable() {
    return Table(Row<IPropertyManager>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetPropertyInstance(IPropertyTemplate*, CitI::IInterface*, IPropertyInstance**) override {
    return kNotSupported;
  }
  Status CreatePropertyInstance(IPropertyTemplate* definition, CitI::IInterface*, IPropertyInstance** out) override {
    const std::string name = TypeName(definition);
    made[name] = AutoRelease<IPropertyInstance>(static_cast<IPropertyInstance*>(new InstanceDouble(name, definition)));
    return Prjrep::AutoOut<IPropertyInstance>(out).Assign(made[name].Get());
  }
  std::map<std::string, AutoPtr<IPropertyInstance>> made;

 private:
  Prjrep::TRefCountHelper<ManagerDouble> m_refCount{this};
};

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(owner->UseBaseServices());
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    RegisterFactoriesOf<HookDouble>();
    HookDouble::s_runs = 0;
  }
  void TearDown() override { HookDouble::s_action = nullptr; }

  AutoRelease<IDesignPlatform> NewPlatform() {
    return AutoRelease<IDesignPlatform>(CitP::Factory::CreateInstance(ClassId::DesignPlatform()));
  }
  static Strings Properties(IDesignPlatform* platform) {
    AutoRelease<IPropertyInstanceIterator> it;
    EXPECT_EQ(platform->GetProperties(it.Receive()), kSuccess);
    return Each(it.Get(), TypeName);
  }
  // The base services' notice that a change of properties is complete.
  static void ChangesComplete() {
    AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
    AutoRelease<CitI::IInterface> service;
    ASSERT_EQ(services->GetService(PlatformEventServiceId(), service.Receive()), kSuccess);
    AutoCast<Prjrep::IEventSender> sender(service.Get());
    ASSERT_EQ(sender->Send(CreateEvent(service, EventId::PropertyChangesComplete(), nullptr)), kSuccess);
  }

  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<testing_support::DesignDouble> owner{new testing_support::DesignDouble()};
  Listener listener;
};

TEST_F(PlatformTest, ItTakesTheFirstPlatformTypeWithItsPropertiesAndIsStoredAndReadBack) {
  AutoRelease<IDesignPlatform> platform = NewPlatform(), copy = NewPlatform();
  AutoCast<ICompAdmin> admin(platform.Get());
  AutoRelease<testing_support::DesignDouble> storeless(new testing_support::DesignDouble());
  EXPECT_EQ(admin->InitializeAfterCreate(nullptr, nullptr), kFailure);
  EXPECT_EQ(admin->InitializeAfterCreate(storeless.Get(), nullptr), kFailure);
  EXPECT_TRUE(Properties(platform).empty());
  ASSERT_EQ(admin->InitializeAfterCreate(owner.Get(), nullptr), kSuccess);
  EXPECT_EQ(Properties(platform), kDevice);
  AutoRelease<IPropertyInstanceIterator> it;
  ASSERT_EQ(platform->GetProperties(it.Receive()), kSuccess);
  ASSERT_EQ(it->Current()->SetValue("LM2-90"), kSuccess);

  // Stored and read back: the name, the changed stamp, the properties with their values.
  AutoRelease<CitI::IInterface> storage(Prjrep::CreateStorage());
  ASSERT_EQ(AutoCast<Prjrep::ITimestamp>(platform.Get())->SetTime(1234, 56), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(platform.Get())->PersistSave(AutoCast<Prjrep::IStorage>(storage.Get())),
            kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind(), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(copy.Get())->PersistLoad(AutoCast<Prjrep::IStorage>(storage.Get())), kSuccess);
  Text name, device;
  std::int64_t seconds = 0, microseconds = 0;
  std::ignore = AutoCast<Prjrep::ITimestamp>(copy.Get())->GetTime(&seconds, &microseconds);
  ASSERT_EQ(copy->GetProperties(it.ReleaseAndReceive()), kSuccess);
  std::ignore = it->Current()->GetValue(&device);
  EXPECT_TRUE(copy->GetName(&name) == kSuccess && name == "DPT_Default" && device == "LM2-90");
  EXPECT_TRUE(seconds == 1234 && microseconds == 56 && Properties(copy) == kDevice);
  EXPECT_EQ(AutoCast<Prjrep::IPersist>(copy.Get())->PersistSave(nullptr), kInvalidParameter);
  EXPECT_TRUE(admin->Teardown() == kSuccess && Properties(platform).empty());
}

TEST_F(PlatformTest, ChangedNamesAreCollectedHooksRunAndTheReceiversHearOnceWhatChanged) {
  AutoRelease<ManagerDouble> manager(new ManagerDouble());
  owner->manager = manager.Get();
  AutoRelease<IDesignPlatform> platform = NewPlatform();
  ASSERT_EQ(AutoCast<ICompAdmin>(platform.Get())->InitializeAfterCreate(owner.Get(), nullptr), kSuccess);
  listener.Listen(platform);
  IPropertyInstance* family = manager->made["PROP_DevFamily"];
  IPropertyInstance* device = manager->made["PROP_DevDevice"];
  IPropertyInstance* package = manager->made["PROP_DevPackage"];
  AutoCast<Prjrep::IEventReceiver> receiver(platform.Get());
  const auto heard = [&] { return listener.Count(EventId::DesignPlatformChanged()); };
  const auto names = [&] { return listener.heard.back().names; };
  const auto notify = [&] { ASSERT_EQ(platform->NotifyChanges(), kSuccess); };
  const auto told = [&](IPropertyInstance* instance) {
    ASSERT_EQ(receiver->ReceiveEvent(CreateEvent(platform, EventId::PropertyChangeB(), instance)), kSuccess);
  };

  notify(), notify();  // a new platform has news once
  EXPECT_TRUE(heard() == 1 && names().empty());

  // The family's hook settles its own value and the package: every change's name, in order and
  // as often as it came, goes out in one event once the hooks have run.
  HookDouble::s_action = [&](IPropertyInstance* instance) {
    std::ignore = instance->SetValue("Settled");
    std::ignore = package->SetValue("fg-settled");
  };
  ASSERT_TRUE(family->SetValue("Other") == kSuccess && device->SetValue("D2") == kSuccess);
  ChangesComplete();
  EXPECT_EQ(heard(), 2);
  EXPECT_EQ(names(), (Strings{"PROP_DevFamily", "PROP_DevDevice", "PROP_DevFamily", "PROP_DevPackage"}));
  // Hooks that change nothing tell nothing, although a name waits for the next notice.
  ASSERT_EQ(device->SetValue("D3"), kSuccess);
  ChangesComplete();
  EXPECT_TRUE(HookDouble::s_runs == 2 && heard() == 2);
  notify();
  EXPECT_TRUE(heard() == 3 && names() == Strings{"PROP_DevDevice"});

  // News does not hang on the clock: a change stamped before the last notice is told. A change
  // whose name cannot be had is told with the names there are.
  ASSERT_EQ(device->SetValue("D4"), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::ITimestamp>(platform.Get())->SetTime(1, 0), kSuccess);
  notify();
  told(nullptr);
  notify();
  EXPECT_TRUE(heard() == 5 && names().empty());

  // A partial teardown stops the platform hearing its properties but keeps its receivers; the
  // full one lets them go too.
  ASSERT_EQ(AutoCast<IDesignPlatformInternal>(platform.Get())->PartialTeardown(), kSuccess);
  ASSERT_EQ(device->SetValue("D5"), kSuccess);
  notify();
  EXPECT_TRUE(heard() == 5 && Properties(platform).empty());
  told(device);
  notify();
  ASSERT_EQ(AutoCast<ICompAdmin>(platform.Get())->Teardown(), kSuccess);
  told(device);
  notify();
  EXPECT_EQ(heard(), 6);
  owner->manager = nullptr;
}

}  // namespace
}  // namespace design_tests
