// The base services library, loaded by name: definitions, property instances, storage, code hooks and
// the device store.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileType.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "core/Holders.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;

// What an iterator holds: strings, or the names of definition ids.
std::string NameOf(const Text& text) { return text.str(); }
std::string NameOf(IDefDataId* id) {
  Text name;
  std::ignore = id->GetDefDataIdName(&name);
  return name.str();
}
template <class It>
Strings Drain(It* it) {
  Strings out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.push_back(NameOf(it->Current()));
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
  ASSERT_TRUE(store->FindDefData("FILE_VHDL", vhdl.Receive()) == kSuccess &&
              store->FindByDefDataId(AutoCast<IDefDataId>(vhdl.Get()), byId.Receive()) == kSuccess &&
              store->FindDefData("VIEW_Initial", view.Receive()) == kSuccess &&
              store->FindDefData("TRAN_synth", synth.Receive()) == kSuccess);
  EXPECT_TRUE(byId.Get() == vhdl.Get() && AutoCast<IFileType>(vhdl.Get()) && AutoCast<IViewType>(view.Get()));
  // A definition of another kind is no property nor platform type; an unknown name is nothing.
  EXPECT_TRUE(!AutoCast<IPropertyTemplate>(view.Get()) && !Template("VIEW_Initial") &&
              !AutoCast<IPropertyTemplate>(synth.Get()) && !AutoCast<IDesignPlatformType>(synth.Get()));
  EXPECT_TRUE(store->FindDefData("PROP_NoSuchThing", view.ReleaseAndReceive()) == kFailure && !view);
  Text label;
  EXPECT_TRUE(AutoCast<IPropertyTemplate2>(Template("PROP_DevFamily").Get())->GetSecondName(&label) == kSuccess &&
              label.str() == "Device Family" && !AutoCast<IPropertyTemplate2>(Template("PROP_Abstract").Get()));
  // Every template, and the dependencies that order their instances.
  AutoRelease<IDefDataIdIterator> deps;
  ASSERT_EQ(Template("PROP_DevDevice")->GetDependencies(deps.Receive()), kSuccess);
  EXPECT_EQ(Drain(deps.Get()), Strings{"PROP_DevFamily"});
  AutoRelease<Prjrep::IIterator> all;
  ASSERT_EQ(AutoCast<IPropertyTemplateStore>(store.Get())->GetTemplates(all.Receive()), kSuccess);
  int count = 0;
  for (; !all->IsDone(); std::ignore = all->Next(), ++count) EXPECT_TRUE(AutoCast<IPropertyTemplate>(all->Current()));
  EXPECT_EQ(count, 124);
}

TEST_F(BaseServicesTest, FileTypesAreFoundByExtensionInAnyCaseExactKeyAndIdAndNothingElse) {
  AutoCast<IFileTypeStore> types(store.Get());
  ASSERT_TRUE(types);
  const auto named = [&](const char* name) {
    AutoRelease<CitI::IInterface> definition;
    std::ignore = store->FindDefData(name, definition.Receive());
    return definition;
  };
  AutoRelease<IFileType> found;
  const auto byExtension = [&](const char* extension) {
    return types->FindFileTypeByExtension(extension, found.ReleaseAndReceive()) == kSuccess ? found.Get() : nullptr;
  };
  const auto byKey = [&](const char* key) {
    return types->FindFileTypeByKey(key, found.ReleaseAndReceive()) == kSuccess ? found.Get() : nullptr;
  };
  // Every extension word of a type finds it, as the one object that its name finds.
  EXPECT_TRUE(byExtension("txt") == AutoCast<IFileType>(named("FILE_TEXT").Get()).Get() && found);
  EXPECT_EQ(byExtension("vhdl"), AutoCast<IFileType>(named("FILE_VHDL").Get()).Get());
  EXPECT_EQ(byKey("hlcprojectfile"), AutoCast<IFileType>(named("FILE_XHLC").Get()).Get());
  EXPECT_EQ(byKey("tarvishlc"), AutoCast<IFileType>(named("FILE_TARVISHLC").Get()).Get());
  EXPECT_EQ(byKey("moldrixhlc"), AutoCast<IFileType>(named("FILE_MOLDRIXHLC").Get()).Get());
  ASSERT_EQ(types->GetFileType(AutoCast<IDefDataId>(named("FILE_UCF").Get()), found.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(NameOf(AutoCast<IDefDataId>(found.Get())), "FILE_UCF");
  // An extension is the same in any letter case; a key is not.
  EXPECT_EQ(byExtension("VHD"), AutoCast<IFileType>(named("FILE_VHDL").Get()).Get());
  EXPECT_EQ(byExtension("Sv"), AutoCast<IFileType>(named("FILE_VERILOG").Get()).Get());
  EXPECT_EQ(byExtension("TXT"), AutoCast<IFileType>(named("FILE_TEXT").Get()).Get());
  EXPECT_FALSE(byKey("HLCPROJECTFILE") || byKey("MoldrixHLC"));
  // Unknown, dotted or partial words, a definition of another kind and no id find nothing and
  // leave the output null; a missing output is refused.
  EXPECT_FALSE(byExtension("tarvishlc") || byKey("txt"));
  for (const char* word : {".txt", ".TXT", "tx", "TXTX", "", "FILE_XHLC"}) {
    IFileType* type = reinterpret_cast<IFileType*>(&type);
    EXPECT_TRUE(types->FindFileTypeByExtension(word, &type) == kFailure && type == nullptr) << word;
    type = reinterpret_cast<IFileType*>(&type);
    EXPECT_TRUE(types->FindFileTypeByKey(word, &type) == kFailure && type == nullptr) << word;
  }
  for (IDefDataId* id : {AutoCast<IDefDataId>(named("VIEW_Initial").Get()).Get(), static_cast<IDefDataId*>(nullptr)}) {
    EXPECT_TRUE(types->GetFileType(id, found.ReleaseAndReceive()) == kFailure && !found);
  }
  EXPECT_EQ(types->FindFileTypeByExtension("txt", nullptr), kFailure);
}

TEST_F(BaseServicesTest, ACodeHookRunsOnTheObjectThroughItsClass) {
  AutoCast<ICodeHookDefn> hook(Template("PROP_DevFamily").Get());
  ASSERT_TRUE(hook && !AutoCast<ICodeHookDefn>(Template("PROP_DevDevice").Get()));
  Text name;
  Port::XUID hookClass;
  ASSERT_TRUE(hook->GetHookName(&name) == kSuccess && hook->GetHookClassId(hookClass) == kSuccess);
  EXPECT_TRUE(name.str() == "::velmor::Hvd::hvd_DeviceChanged" && hookClass == CodeHookClassId());
  // As the platform runs it: made from the class id, run on the instance through any interface.
  AutoRelease<CitI::IInterface> component(CitP::Factory::CreateInstance(hookClass));
  AutoCast<ICodeHookInstance> runner(component.Get());
  ASSERT_TRUE(runner);
  auto family = Instance("PROP_DevFamily");
  StandInClearHookRuns();
  EXPECT_TRUE(runner->Run(name, AutoCast<IListPropertyInstance>(family.Get())) == kSuccess &&
              runner->Run("::velmor::Hvd::hvd_chFileRemoveHelper", nullptr) == kSuccess);
  EXPECT_EQ(StandInHookRuns(),
            (Strings{name.str() + " " + StandInIdentity(family.Get()), "::velmor::Hvd::hvd_chFileRemoveHelper 0x0"}));
  EXPECT_NE(StandInIdentity(family.Get()), StandInIdentity(Instance("PROP_DevDevice").Get()));
}

TEST_F(BaseServicesTest, AnInstancePerContextStartsAtItsDefaultAndCreatingReplacesIt) {
  auto own = Instance("PROP_DevDevice");
  AutoRelease<CitI::IInterface> context(CitP::Factory::CreateInstance(FamilyTemplatesClassId()));
  auto other = Instance("PROP_DevDevice", context);
  EXPECT_TRUE(Instance("PROP_DevDevice").Get() == own.Get() && other.Get() != own.Get() && Value(own) == "LM2-45");
  bool ownDefault = true, otherDefault = false;
  EXPECT_TRUE(own->SetValue("LM2-90") == kSuccess && Value(own) == "LM2-90");
  EXPECT_TRUE(own->IsDefault(&ownDefault) == kSuccess && other->IsDefault(&otherDefault) == kSuccess && !ownDefault &&
              otherDefault);
  AutoRelease<IPropertyInstance> fresh;
  ASSERT_EQ(manager->CreatePropertyInstance(Template("PROP_DevDevice"), nullptr, fresh.Receive()), kSuccess);
  EXPECT_TRUE(Value(fresh) == "LM2-45" && Instance("PROP_DevDevice").Get() == fresh.Get());
  std::vector<Ppm::PropertyRecord> records;
  std::ignore = AutoCast<Ppm::IPropertyFetchInternal>(manager.Get())->FetchProperties(records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].instance == other.Get() && records[1].instance == fresh.Get());
}

TEST_F(BaseServicesTest, KindsAnswerTheirOwnInterfaces) {
  auto family = Instance("PROP_DevFamily"), flag = Instance("PROP_AutoTop");
  auto dirs = Instance("PROP_TralorSearchPathForSource");
  AutoRelease<Prjrep::IStringIterator> allowed, paths;
  ASSERT_EQ(AutoCast<IListPropertyInstance>(family.Get())->GetAllowedValues(allowed.Receive()), kSuccess);
  EXPECT_EQ(Drain(allowed.Get()), (Strings{"Lumora II", "Orvanta", "Pellis CPLD"}));
  bool value = true;
  EXPECT_TRUE(AutoCast<IBoolPropertyInstance>(flag.Get())->SetBool(false) == kSuccess && Value(flag) == "false");
  EXPECT_TRUE(AutoCast<IBoolPropertyInstance>(flag.Get())->GetBool(&value) == kSuccess && !value);
  EXPECT_FALSE(AutoCast<IListPropertyInstance>(flag.Get()));
  AutoCast<IFilePropertyInstance> files(dirs.Get());
  ASSERT_TRUE(files->GetValues(paths.Receive()) == kSuccess && paths->IsDone());
  std::ignore = dirs->SetValue("a/b|c d|e");
  ASSERT_EQ(files->GetValues(paths.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Drain(paths.Get()), (Strings{"a/b", "c d", "e"}));
}

// A list is set only to one of its allowed values, exactly as written; any other is refused
// and the value it held stays, also for a lockable list that is unlocked.
TEST_F(BaseServicesTest, AListRefusesAValueItDoesNotAllowAndKeepsItsOwn) {
  auto family = Instance("PROP_DevFamily"), format = Instance("PROP_FitterReportFormat");
  ASSERT_EQ(family->SetValue("Orvanta"), kSuccess);
  for (const char* refused : {"Nonsense", "", "orvanta", "Orvanta "})
    EXPECT_TRUE(family->SetValue(refused) == kInvalidParameter && Value(family) == "Orvanta") << refused;
  EXPECT_TRUE(format->SetValue("Text") == kSuccess && format->SetValue("PDF") != kSuccess && Value(format) == "Text");
  bool isDefault = true;
  EXPECT_TRUE(family->IsDefault(&isDefault) == kSuccess && !isDefault);
  // Other kinds take any text.
  auto abstract = Instance("PROP_Abstract");
  EXPECT_TRUE(abstract->SetValue("anything at all") == kSuccess && Value(abstract) == "anything at all");
}

// The device, package and speed grade are lists of what the device store has under the family
// and device of the same context; a new family or device leaves the parts below it valid.
TEST_F(BaseServicesTest, DevicePartsFollowTheFamilyAndDeviceOfTheirContext) {
  auto family = Instance("PROP_DevFamily"), device = Instance("PROP_DevDevice");
  auto package = Instance("PROP_DevPackage"), speed = Instance("PROP_DevSpeed");
  const auto part = [&] { return Strings{Value(family), Value(device), Value(package), Value(speed)}; };
  const auto allowed = [](IPropertyInstance* instance) {
    AutoRelease<Prjrep::IStringIterator> values;
    EXPECT_EQ(AutoCast<IListPropertyInstance>(instance)->GetAllowedValues(values.Receive()), kSuccess);
    return Drain(values.Get());
  };
  EXPECT_EQ(allowed(device), (Strings{"LM2-20", "LM2-45", "LM2-90"}));
  for (const char* refused : {"XYZ", "", "OV250", "lm2-45"})
    EXPECT_TRUE(device->SetValue(refused) == kInvalidParameter && Value(device) == "LM2-45") << refused;
  // A lock does not hold a device the new family lacks.
  ASSERT_EQ(AutoCast<ILockable>(device.Get())->Lock(), kSuccess);
  ASSERT_EQ(family->SetValue("Orvanta"), kSuccess);
  EXPECT_EQ(part(), (Strings{"Orvanta", "OV100", "cs196", "-4"}));
  EXPECT_EQ(allowed(device), (Strings{"OV100", "OV250"}));
  EXPECT_EQ(allowed(package), (Strings{"cs196", "tq144"}));
  std::ignore = AutoCast<ILockable>(device.Get())->Unlock();
  EXPECT_TRUE(device->SetValue("OV250") == kSuccess && package->SetValue("tq144") == kInvalidParameter &&
              package->SetValue("ft256") == kSuccess && speed->SetValue("-5") == kSuccess);
  ASSERT_EQ(device->SetValue("OV100"), kSuccess);
  EXPECT_EQ(part(), (Strings{"Orvanta", "OV100", "cs196", "-5"}));

  // Another context has its own family; a replaced instance takes its place among the parts.
  AutoRelease<CitI::IInterface> context(CitP::Factory::CreateInstance(FamilyTemplatesClassId()));
  EXPECT_TRUE(Instance("PROP_DevDevice", context)->SetValue("LM2-90") == kSuccess);
  AutoRelease<IPropertyInstance> fresh;
  ASSERT_EQ(manager->CreatePropertyInstance(Template("PROP_DevPackage"), nullptr, fresh.Receive()), kSuccess);
  package = AutoRelease<IPropertyInstance>();
  EXPECT_TRUE(fresh->SetValue("fg484") == kInvalidParameter && family->SetValue("Pellis CPLD") == kSuccess);
  EXPECT_TRUE(Value(fresh) == "tq144" && Value(device) == "PC128" && Value(speed) == "-7");

  // A setting read from storage belongs to no context: it takes a part any family has.
  AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(storage->WriteObject(AutoCast<Prjrep::IPersist>(device.Get())), kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  AutoRelease<Prjrep::IPersist> read;
  ASSERT_EQ(storage->ReadObject(read.Receive()), kSuccess);
  AutoCast<IPropertyInstance> copy(read.Get());
  EXPECT_TRUE(copy->SetValue("OV250") == kSuccess && copy->SetValue("XYZ") == kInvalidParameter &&
              Value(copy) == "OV250" && Value(device) == "PC128");
}

// What an instance's listeners hear: each event as "name=value" of its sender when heard, marked
// when its id or its argument is not the change's.
struct Listener {
  static Status Hear(Listener* self, Prjrep::IEvent* event) {
    Port::XUID id;
    AutoRelease<CitI::IInterface> sender, argument;
    std::ignore = event->GetEventId(id);
    std::ignore = event->GetSender(sender.Receive());
    std::ignore = event->GetArgument(argument.Receive());
    AutoCast<IPropertyInstance> instance(sender.Get());
    Text name, value;
    if (instance) {
      std::ignore = instance->GetName(&name);
      std::ignore = instance->GetValue(&value);
    }
    self->heard.push_back(name.str() + "=" + value.str() + (id == EventId::PropertyChangeA() ? "" : " (other id)") +
                          (argument.Get() == sender.Get() ? "" : " (other argument)"));
    return kSuccess;
  }
  void Follow(IPropertyInstance* instance) {
    AutoCast<Prjrep::IEventSender> sender(instance);
    ASSERT_TRUE(sender) << "the instance has no one to tell";
    ASSERT_EQ(sender->AddReceiver(&receiver), kSuccess);
  }
  Strings heard;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Hear};
};

// A new value is told once, with the instance as sender and argument; the same value again or a
// refused one tells nothing. The parts of the device that a new family moves are told too, once
// every part holds its new value.
TEST_F(BaseServicesTest, AnInstanceTellsItsListenersOfEachNewValueOnly) {
  Prjrep::RegisterComponents();  // the events' own component
  auto family = Instance("PROP_DevFamily"), device = Instance("PROP_DevDevice");
  auto package = Instance("PROP_DevPackage"), speed = Instance("PROP_DevSpeed"), flag = Instance("PROP_AutoTop");
  Listener listener;
  for (IPropertyInstance* instance : {family.Get(), device.Get(), package.Get(), speed.Get(), flag.Get()})
    listener.Follow(instance);
  AutoCast<IBoolPropertyInstance> flagBool(flag.Get());
  EXPECT_TRUE(flag->SetValue("true") == kSuccess && flagBool->SetBool(true) == kSuccess &&
              family->SetValue("Nonsense") == kInvalidParameter);
  EXPECT_TRUE(listener.heard.empty());
  EXPECT_TRUE(flagBool->SetBool(false) == kSuccess && flag->SetValue("true") == kSuccess);
  EXPECT_EQ(listener.heard, (Strings{"PROP_AutoTop=false", "PROP_AutoTop=true"}));

  listener.heard.clear();
  ASSERT_EQ(family->SetValue("Orvanta"), kSuccess);
  EXPECT_EQ(listener.heard, (Strings{"PROP_DevFamily=Orvanta", "PROP_DevDevice=OV100", "PROP_DevPackage=cs196",
                                     "PROP_DevSpeed=-4"}));
  // A device that keeps the package and speed grade moves only itself.
  listener.heard.clear();
  ASSERT_EQ(device->SetValue("OV250"), kSuccess);
  EXPECT_EQ(listener.heard, (Strings{"PROP_DevDevice=OV250"}));
}

TEST_F(BaseServicesTest, ALockedInstanceRefusesChangeAndSurvivesTheStorageLocked) {
  auto device = Instance("PROP_DevDevice");
  AutoCast<ILockable> lock(device.Get());
  ASSERT_TRUE(lock && !AutoCast<ILockable>(Instance("PROP_Abstract").Get()));
  std::ignore = device->SetValue("LM2-20");
  std::ignore = lock->Lock();
  EXPECT_TRUE(device->SetValue("LM2-90") == kFailure && Value(device) == "LM2-20");
  AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_TRUE(storage->WriteObject(AutoCast<Prjrep::IPersist>(device.Get())) == kSuccess &&
              store->WriteDefDataRef(storage, Template("PROP_DevSpeed")) == kSuccess);
  std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
  AutoRelease<Prjrep::IPersist> read;
  AutoRelease<CitI::IInterface> ref;
  ASSERT_TRUE(storage->ReadObject(read.Receive()) == kSuccess &&
              store->ReadDefDataRef(storage, ref.Receive()) == kSuccess);
  AutoCast<IPropertyInstance> copy(read.Get());
  bool locked = false;
  ASSERT_TRUE(copy && copy.Get() != device.Get());
  EXPECT_TRUE(Value(copy) == "LM2-20" && AutoCast<ILockable>(read.Get())->IsLocked(&locked) == kSuccess && locked);
  EXPECT_EQ(AutoCast<IPropertyTemplate>(ref.Get()).Get(), Template("PROP_DevSpeed").Get());
  EXPECT_TRUE(lock->Unlock() == kSuccess && device->SetValue("LM2-90") == kSuccess);
}

TEST_F(BaseServicesTest, ServicesAndTheDeviceStore) {
  AutoRelease<Prjrep::IEventSender> events(Service(PlatformEventServiceId()));
  AutoRelease<IDeviceStore> devices(Service(DeviceStoreServiceId()));
  EXPECT_TRUE(events && !Service(FamilyTemplatesClassId()));
  AutoRelease<IDeviceFieldIterator> entries;
  ASSERT_EQ(devices->GetEntries(entries.Receive()), kSuccess);
  Strings seen;
  for (Text name, key; !entries->IsDone(); std::ignore = entries->Next()) {
    EXPECT_TRUE(entries->Current()->GetName(&name) == kSuccess && entries->Current()->GetKey(&key) == kSuccess);
    seen.push_back(name.str() + "=" + key.str());
  }
  ASSERT_EQ(seen.size(), 3u + 8u + 17u + 20u);
  EXPECT_EQ(Strings(seen.begin(), seen.begin() + 7), (Strings{"Lumora II=lumora2", "LM2-20=lm2x20", "fg256=fg256",
                                                              "fg484=fg484", "-1=-1", "-2=-2", "LM2-45=lm2x45"}));
}

}  // namespace
