// The base services library, loaded by name: definitions, property instances, storage and
// the device store.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IFileType.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/Storage.h"
#include "core/Holders.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;

template <class It>
Strings Drain(It* it) {
  Strings out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.push_back(it->Current().str());
  return out;
}

Strings IdNames(IDefDataIdIterator* it) {
  Strings out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Text name;
    std::ignore = it->Current()->GetDefDataIdName(&name);
    out.push_back(name.str());
  }
  return out;
}

class BaseServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    services.Assign(CitP::Factory::CreateInstance(BaseServicesClassId()));
    manager.Assign(CitP::Factory::CreateInstance(PropertyManagerClassId()));
    ASSERT_TRUE(services.Get() && manager.Get());
    store.Assign(Service(DataStoreServiceId()));
    ASSERT_NE(store.Get(), nullptr);
  }
  CitI::IInterface* Service(const Port::XUID& id) {
    CitI::IInterface* service = nullptr;
    std::ignore = services->GetService(id, &service);
    return service;
  }
  AutoRelease<IPropertyTemplate> Template(const char* name) {
    AutoRelease<IPropertyTemplate> t;
    std::ignore = store->FindPropertyTemplate(name, t.Receive());
    return t;
  }
  AutoRelease<IPropertyInstance> Instance(const char* name, CitI::IInterface* context = nullptr) {
    AutoRelease<IPropertyInstance> i;
    EXPECT_EQ(manager->GetPropertyInstance(Template(name), context, i.Receive()), kSuccess) << name;
    return i;
  }
  static std::string Value(IPropertyInstance* i) {
    Text v;
    std::ignore = i->GetValue(&v);
    return v.str();
  }

  // First, so the library is shut down only after the holders below have released.
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<IBaseServices> services;
  AutoRelease<IPropertyManager> manager;
  AutoRelease<IDataStore> store;
};

TEST_F(BaseServicesTest, FindsEachDefinitionByNameAndIdAsOneObjectOfItsKind) {
  AutoRelease<CitI::IInterface> vhdl, byId, view, synth;
  ASSERT_EQ(store->FindDefData("FILE_VHDL", vhdl.Receive()), kSuccess);
  EXPECT_NE(AutoCast<IFileType>(vhdl.Get()).Get(), nullptr);
  ASSERT_EQ(store->FindByDefDataId(AutoCast<IDefDataId>(vhdl.Get()), byId.Receive()), kSuccess);
  EXPECT_EQ(byId.Get(), vhdl.Get());
  ASSERT_EQ(store->FindDefData("VIEW_Initial", view.Receive()), kSuccess);
  EXPECT_NE(AutoCast<IViewType>(view.Get()).Get(), nullptr);
  ASSERT_EQ(store->FindDefData("TRAN_synth", synth.Receive()), kSuccess);
  // A definition of another kind is no property nor platform type; an unknown name is nothing.
  EXPECT_TRUE(AutoCast<IPropertyTemplate>(view.Get()).Get() == nullptr && Template("VIEW_Initial").Get() == nullptr);
  EXPECT_TRUE(AutoCast<IPropertyTemplate>(synth.Get()).Get() == nullptr &&
              AutoCast<IDesignPlatformType>(synth.Get()).Get() == nullptr);
  EXPECT_EQ(store->FindDefData("PROP_NoSuchThing", view.ReleaseAndReceive()), kFailure);
  EXPECT_EQ(view.Get(), nullptr);
  Text label;
  EXPECT_EQ(AutoCast<IPropertyTemplate2>(Template("PROP_DevFamily").Get())->GetSecondName(&label), kSuccess);
  EXPECT_EQ(label.str(), "Device Family");
  EXPECT_EQ(AutoCast<IPropertyTemplate2>(Template("PROP_Abstract").Get()).Get(), nullptr);
  // Every template, and the dependencies that order their instances.
  AutoRelease<IDefDataIdIterator> deps;
  ASSERT_EQ(Template("PROP_DevDevice")->GetDependencies(deps.Receive()), kSuccess);
  EXPECT_EQ(IdNames(deps), Strings{"PROP_DevFamily"});
  AutoRelease<Prjrep::IIterator> all;
  ASSERT_EQ(AutoCast<IPropertyTemplateStore>(store.Get())->GetTemplates(all.Receive()), kSuccess);
  int count = 0;
  for (; !all->IsDone(); std::ignore = all->Next(), ++count)
    EXPECT_NE(AutoCast<IPropertyTemplate>(all->Current()).Get(), nullptr);
  EXPECT_EQ(count, 98);
}

TEST_F(BaseServicesTest, ThePlatformTypeCarriesThePlatformProperties) {
  AutoRelease<IDesignPlatformTypeIterator> types;
  ASSERT_EQ(AutoCast<IDesignPlatformTypeStore>(store.Get())->GetPlatformTypes(types.Receive()), kSuccess);
  std::ignore = types->Reset();
  ASSERT_FALSE(types->IsDone());
  IDesignPlatformType* type = types->Current();
  Text name;
  ASSERT_EQ(AutoCast<IDefDataId>(type)->GetDefDataIdName(&name), kSuccess);
  EXPECT_EQ(name.str(), "DPT_Default");
  AutoRelease<IDefDataIdIterator> ids;
  ASSERT_EQ(type->GetPropertyTemplates(ids.Receive()), kSuccess);
  EXPECT_EQ(IdNames(ids),
            (Strings{"PROP_DevDevice", "PROP_DevFamily", "PROP_DevFamilyPMName", "PROP_DevPackage", "PROP_DevSpeed",
                     "PROP_PreferredLanguage", "PROP_Simulator", "PROP_Synthesis_Tool", "PROP_Top_Level_Module_Type"}));
  // Each id leads back to its property definition, as the platform looks them up.
  std::ignore = ids->Reset();
  AutoRelease<CitI::IInterface> found;
  ASSERT_EQ(store->FindByDefDataId(ids->Current(), found.Receive()), kSuccess);
  EXPECT_EQ(AutoCast<IPropertyTemplate>(found.Get()).Get(), Template("PROP_DevDevice").Get());
  std::ignore = types->Next();
  EXPECT_TRUE(types->IsDone());
}

TEST_F(BaseServicesTest, ACodeHookRunsOnTheObjectThroughItsClass) {
  AutoCast<ICodeHookDefn> hook(Template("PROP_DevFamily").Get());
  ASSERT_NE(hook.Get(), nullptr);
  EXPECT_EQ(AutoCast<ICodeHookDefn>(Template("PROP_DevDevice").Get()).Get(), nullptr);
  Text name;
  Port::XUID hookClass;
  ASSERT_TRUE(hook->GetHookName(&name) == kSuccess && hook->GetHookClassId(hookClass) == kSuccess);
  EXPECT_EQ(name.str(), "::velmor::Hvd::hvd_DeviceChanged");
  EXPECT_EQ(hookClass, CodeHookClassId());
  // As the platform runs it: made from the class id, run on the instance through any interface.
  AutoRelease<CitI::IInterface> component(CitP::Factory::CreateInstance(hookClass));
  AutoCast<ICodeHookInstance> runner(component.Get());
  ASSERT_NE(runner.Get(), nullptr);
  auto family = Instance("PROP_DevFamily");
  StandInClearHookRuns();
  EXPECT_EQ(runner->Run(name, AutoCast<IListPropertyInstance>(family.Get())), kSuccess);
  EXPECT_EQ(runner->Run("::velmor::Hvd::hvd_chFileRemoveHelper", nullptr), kSuccess);
  EXPECT_EQ(StandInHookRuns(),
            (Strings{name.str() + " " + StandInIdentity(family.Get()), "::velmor::Hvd::hvd_chFileRemoveHelper 0x0"}));
  EXPECT_NE(StandInIdentity(family.Get()), StandInIdentity(Instance("PROP_DevDevice").Get()));
}

TEST_F(BaseServicesTest, AnInstancePerContextStartsAtItsDefault) {
  auto own = Instance("PROP_DevDevice");
  AutoRelease<CitI::IInterface> context(CitP::Factory::CreateInstance(FamilyTemplatesClassId()));
  auto other = Instance("PROP_DevDevice", context);
  EXPECT_EQ(Instance("PROP_DevDevice").Get(), own.Get());
  ASSERT_NE(other.Get(), own.Get());
  EXPECT_EQ(Value(own), "LM2-45");
  bool isDefault = false;
  EXPECT_EQ(own->SetValue("LM2-90"), kSuccess);
  EXPECT_TRUE(own->IsDefault(&isDefault) == kSuccess && !isDefault);
  EXPECT_TRUE(other->IsDefault(&isDefault) == kSuccess && isDefault);
  EXPECT_EQ(Value(own), "LM2-90");
  // Creating replaces the context's instance with a fresh one at the default.
  AutoRelease<IPropertyInstance> fresh;
  ASSERT_EQ(manager->CreatePropertyInstance(Template("PROP_DevDevice"), nullptr, fresh.Receive()), kSuccess);
  EXPECT_EQ(Value(fresh), "LM2-45");
  EXPECT_EQ(Instance("PROP_DevDevice").Get(), fresh.Get());
  std::vector<Ppm::PropertyRecord> records;
  std::ignore = AutoCast<Ppm::IPropertyFetchInternal>(manager.Get())->FetchProperties(records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].instance == other.Get() && records[1].instance == fresh.Get());
}

TEST_F(BaseServicesTest, KindsAnswerTheirOwnInterfaces) {
  auto family = Instance("PROP_DevFamily");
  AutoRelease<Prjrep::IStringIterator> allowed;
  ASSERT_EQ(AutoCast<IListPropertyInstance>(family.Get())->GetAllowedValues(allowed.Receive()), kSuccess);
  EXPECT_EQ(Drain(allowed.Get()), (Strings{"Lumora II", "Orvanta", "Pellis CPLD"}));
  auto flag = Instance("PROP_AutoTop");
  bool value = false;
  EXPECT_TRUE(AutoCast<IBoolPropertyInstance>(flag.Get())->SetBool(false) == kSuccess && Value(flag) == "false");
  EXPECT_TRUE(AutoCast<IBoolPropertyInstance>(flag.Get())->GetBool(&value) == kSuccess && !value);
  EXPECT_EQ(AutoCast<IListPropertyInstance>(flag.Get()).Get(), nullptr);
  auto dirs = Instance("PROP_TralorSearchPathForSource");
  AutoRelease<Prjrep::IStringIterator> paths;
  AutoCast<IFilePropertyInstance> files(dirs.Get());
  ASSERT_EQ(files->GetValues(paths.Receive()), kSuccess);
  EXPECT_TRUE(paths->IsDone());
  std::ignore = dirs->SetValue("a/b|c d|e");
  ASSERT_EQ(files->GetValues(paths.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Drain(paths.Get()), (Strings{"a/b", "c d", "e"}));
}

TEST_F(BaseServicesTest, ALockedInstanceRefusesChangeAndSurvivesTheStorageLocked) {
  auto device = Instance("PROP_DevDevice");
  AutoCast<ILockable> lock(device.Get());
  ASSERT_NE(lock.Get(), nullptr);
  EXPECT_EQ(AutoCast<ILockable>(Instance("PROP_Abstract").Get()).Get(), nullptr);
  std::ignore = device->SetValue("LM2-20");
  std::ignore = lock->Lock();
  EXPECT_EQ(device->SetValue("LM2-90"), kFailure);
  EXPECT_EQ(Value(device), "LM2-20");
  AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(storage->WriteObject(AutoCast<Prjrep::IPersist>(device.Get())), kSuccess);
  ASSERT_EQ(store->WriteDefDataRef(storage, Template("PROP_DevSpeed")), kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  AutoRelease<Prjrep::IPersist> read;
  ASSERT_EQ(storage->ReadObject(read.Receive()), kSuccess);
  AutoCast<IPropertyInstance> copy(read.Get());
  ASSERT_TRUE(copy.Get() != nullptr && copy.Get() != device.Get());
  bool locked = false;
  EXPECT_EQ(Value(copy), "LM2-20");
  EXPECT_TRUE(AutoCast<ILockable>(read.Get())->IsLocked(&locked) == kSuccess && locked);
  AutoRelease<CitI::IInterface> ref;
  ASSERT_EQ(store->ReadDefDataRef(storage, ref.Receive()), kSuccess);
  EXPECT_EQ(AutoCast<IPropertyTemplate>(ref.Get()).Get(), Template("PROP_DevSpeed").Get());
  std::ignore = lock->Unlock();
  EXPECT_EQ(device->SetValue("LM2-90"), kSuccess);
}

TEST_F(BaseServicesTest, ServicesAndTheDeviceStore) {
  AutoRelease<Prjrep::IEventSender> events(Service(PlatformEventServiceId()));
  EXPECT_NE(events.Get(), nullptr);
  EXPECT_EQ(Service(FamilyTemplatesClassId()), nullptr);
  AutoRelease<IDeviceStore> devices(Service(DeviceStoreServiceId()));
  AutoRelease<IDeviceFieldIterator> entries;
  ASSERT_EQ(devices->GetEntries(entries.Receive()), kSuccess);
  Strings seen;
  for (; !entries->IsDone(); std::ignore = entries->Next()) {
    Text name, key;
    std::ignore = entries->Current()->GetName(&name);
    std::ignore = entries->Current()->GetKey(&key);
    seen.push_back(name.str() + "=" + key.str());
  }
  ASSERT_GE(seen.size(), 7u);
  EXPECT_EQ(Strings(seen.begin(), seen.begin() + 7), (Strings{"Lumora II=lumora2", "LM2-20=lm2x20", "fg256=fg256",
                                                              "fg484=fg484", "-1=-1", "-2=-2", "LM2-45=lm2x45"}));
  EXPECT_EQ(seen.size(), 3u + 8u + 16u + 17u);
}

}  // namespace
