// The storage tree, the project repository and its file, the name tables, the registry
// and the event object.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "CitP/Factory.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "framework/Holders.h"
#include "support/Fakes.h"
#include "support/Records.h"

namespace {

using namespace Prjrep;
using Status = std::uint64_t;
using Text = Port::StringBase<char>;
using Node = AutoRelease<IStorage>;
using Object = AutoRelease<CitI::IInterface>;
using namespace testing_support;

constexpr Port::XUID kRepository{"{cd48a8b1-2990-4881-8664-52802c04fdff}"};
constexpr Port::XUID kRegistry{"{4fed14a6-b46d-476d-8556-05048be1b55b}"};
constexpr Port::XUID kEvent{"{162FF186-3785-40ba-B5FD-540CADCBE439}"};
constexpr Status kInjected = 0x1000000200000099ull;

template <class I>
AutoRelease<I> Create(const Port::XUID& clsid) {
  return AutoRelease<I>(CitP::Factory::CreateInstance(clsid));
}

// Same by name; resolves to `made` with `status`.
class FakeAutonym final : public IAutonym {
 public:
  FakeAutonym(std::string name, CitI::IInterface* made, Status status)
      : name(std::move(name)), made(made), status(status) {}
  ~FakeAutonym() override { onDestroy ? onDestroy() : void(); }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(
        iid, {{IAutonym::GetIID(), this}, {IRefCount::GetIID(), &count}, {CitI::IInterface::GetIID(), this}});
  }
  Status Resolve(CitI::IInterface*, CitI::IInterface** object) override {
    ++resolves;
    return AutoOut<CitI::IInterface>(object).Assign(made), status;
  }
  Status GetName(Text* out) override { return *out = name, 1; }
  Status GetObject(CitI::IInterface** object) override { return *object = nullptr, 1; }
  Status IsSame(CitI::IInterface* other, bool* same) override {
    Text otherName;
    return *same = AutoCast<IAutonym>(other)->GetName(&otherName) == 1 && otherName == name, 1;
  }

  std::string name;
  CitI::IInterface* made;
  Status status;
  int resolves = 0;
  std::function<void()> onDestroy;  // may reach back into a table
  TRefCountHelper<FakeAutonym> count{this};
};

AutoRelease<FakeAutonym> Nym(const char* name, CitI::IInterface* made = nullptr, Status status = 1) {
  return AutoRelease<FakeAutonym>(new FakeAutonym(name, made, status));
}

struct RepositoryTest : ::testing::Test {
  void SetUp() override {
    RegisterComponents();
    CRecord::Register();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  }
  void TearDown() override {
    ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(dir);
    EXPECT_EQ(CRecord::s_alive, 0);
  }
  std::string dir = ::testing::TempDir() + "repository_XXXXXX";
};

TEST_F(RepositoryTest, StoragesKeepTheirChildrenItemsAreEmptiedByCreateAndReopeningGivesTheSameNode) {
  Node root(CreateStorage()), a, again, sub, item, same, byName, none;
  std::int32_t i = 0;
  // Missing names and wrong modes.
  EXPECT_TRUE(root->OpenStorage("a", kOpenExisting, none.Receive()) == 0 &&
              root->OpenItem("a", kRead, none.Receive()) == 0);
  EXPECT_TRUE(root->OpenItem("a", kOpenExisting, none.Receive()) == 0 && root->OpenItem("a", 5, none.Receive()) == 0);
  EXPECT_TRUE(root->OpenStorage("a", 5, none.Receive()) == 0 && root->OpenStorage("a", kCreate, nullptr) == 0);

  ASSERT_TRUE(root->OpenStorage("a", kCreate, a.Receive()) == 1 && a->OpenItem("x", kCreate, item.Receive()) == 1);
  ASSERT_EQ(a->OpenStorage("sub", kCreate, sub.Receive()), 1u);
  EXPECT_TRUE(item->WriteInt32(1) == 1 && item->WriteInt32(2) == 1 && item->ReadInt32(&i) == 1);
  EXPECT_EQ(item->OpenStorage("s", kCreate, none.Receive()), 0u);  // items hold values only

  EXPECT_TRUE(root->OpenStorage("a", kCreate, again.Receive()) == 1 && again.Get() == a.Get());  // keeps children
  EXPECT_TRUE(again->OpenStorage("sub", kOpenExisting, same.Receive()) == 1 && same.Get() == sub.Get());
  EXPECT_TRUE(again->OpenItem("x", kOpenExisting, same.Receive()) == 1 && same.Get() == item.Get());
  EXPECT_TRUE(item->ReadInt32(&i) == 1 && i == 2);                       // kOpenExisting left the position
  EXPECT_TRUE(root->OpenItem("a", kOpenExisting, none.Receive()) == 0);  // storages and items apart
  EXPECT_TRUE(root->OpenItem("a", kCreate, byName.Receive()) == 1 && byName.Get() != a.Get());

  EXPECT_TRUE(a->CloseItem(item) == 1 && item->ReadInt32(&i) == 1 && i == 1);  // rewound
  EXPECT_TRUE(root->CloseItem(item) == 0 && a->CloseItem(nullptr) == 0 && a->CloseItem(sub) == 0);
  EXPECT_TRUE(a->OpenItem("x", kRead, same.Receive()) == 1 && item->ReadInt32(&i) == 1 && i == 1);
  EXPECT_TRUE(a->OpenItem("x", kCreate, same.Receive()) == 1 && same.Get() == item.Get());
  EXPECT_EQ(item->ReadInt32(&i), 0u);  // emptied
  EXPECT_TRUE(item->WriteInt32(3) == 1 && root->WriteInt32(7) == 1 && root->Close(0) == 1);

  // The whole tree goes to the file and comes back; the tree's operations fail on demand.
  const std::string path = dir + "/tree.bin";
  Node loaded(CreateStorage()), la, lx;
  ASSERT_EQ(AutoCast<IStorageControl>(root.Get())->SaveToFile(path.c_str()), 1u);
  AutoCast<IStorageControl> control(loaded.Get());
  ASSERT_TRUE(control->LoadFromFile(path.c_str()) == 1 && loaded->OpenStorage("a", kOpenExisting, la.Receive()) == 1);
  EXPECT_TRUE(loaded->ReadInt32(&i) == 1 && i == 7);
  EXPECT_TRUE(la->OpenStorage("sub", kOpenExisting, none.Receive()) == 1 &&
              loaded->OpenItem("a", kRead, none.Receive()) == 1);
  EXPECT_TRUE(la->OpenItem("x", kRead, lx.Receive()) == 1 && lx->ReadInt32(&i) == 1 && i == 3);
  EXPECT_EQ(AutoCast<IStorageControl>(lx.Get())->LoadFromFile(path.c_str()), 0u);  // an item has no children
  Node deep(CreateStorage()), level;
  int depth = 0;
  for (IStorage* at = deep; at->OpenStorage("d", kCreate, level.Receive()) == 1 && ++depth < 200;) at = level;
  EXPECT_EQ(AutoCast<IStorageControl>(deep.Get())->SaveToFile(path.c_str()), 0u);  // too deep to read back
  control->FailOperation(2, kInjected);
  EXPECT_TRUE(la->OpenItem("x", kCreate, none.Receive()) == 1 && lx->ReadInt32(&i) == 0);  // counted per node
  EXPECT_TRUE(loaded->CloseItem(nullptr) == 0 && loaded->OpenStorage("a", kCreate, none.Receive()) == kInjected);
}

TEST_F(RepositoryTest, ARepositoryWritesItsTreeOnCloseAndAFreshOneReadsItBackButRefusesADamagedFile) {
  const std::string path = dir + "/project.rep", damaged = dir + "/damaged.rep";
  {
    auto repo = Create<IProjectRepositoryInternal>(kRepository);
    Node area, kind, item, same;
    CitI::IInterface* other = reinterpret_cast<CitI::IInterface*>(&other);
    EXPECT_EQ(repo->Open(path, "Section", kOpenExisting, area.Receive(), &other), 0u);  // no such file
    ASSERT_EQ(repo->Open(path, "Section", kCreate, area.Receive(), &other), 1u);
    EXPECT_EQ(other, nullptr);
    ASSERT_TRUE(area->OpenStorage("Kind", kCreate, kind.Receive()) == 1 &&
                kind->OpenItem("Item", kCreate, item.Receive()) == 1);
    ASSERT_EQ(item->WriteObject(AutoCast<IPersist>(AutoRelease<IRecord>(CRecord::Make(42)).Get())), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(AutoCast<IProjectRepository>(repo.Get())->Close(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
    Text got;
    EXPECT_TRUE(repo->GetPath(&got) == 1 && got == path.c_str());

    // Still in memory: the repository is its root storage, which holds the area. A damaged
    // file changes nothing.
    std::filesystem::copy_file(path, damaged);
    std::fstream(damaged, std::ios::in | std::ios::out | std::ios::binary).seekp(-1, std::ios::end).put('!');
    EXPECT_EQ(repo->Open(damaged, "Section", kCreate, same.Receive(), nullptr), 0u);
    EXPECT_TRUE(repo->GetPath(&got) == 1 && got == path.c_str());
    EXPECT_TRUE(AutoCast<IStorage>(repo.Get())->OpenStorage("Section", kOpenExisting, same.Receive()) == 1);
    EXPECT_EQ(same.Get(), area.Get());
  }
  auto fresh = Create<IProjectRepositoryInternal>(kRepository);
  Node area, kind, item;
  AutoRelease<IPersist> read;
  ASSERT_EQ(fresh->Open(path, "Section", kOpenExisting, area.Receive(), nullptr), 1u);
  ASSERT_TRUE(area->OpenStorage("Kind", kOpenExisting, kind.Receive()) == 1 &&
              kind->OpenItem("Item", kRead, item.Receive()) == 1);
  ASSERT_EQ(item->ReadObject(read.Receive()), 1u);
  EXPECT_EQ(AutoCast<IRecord>(read.Get())->Value(), 42);

  auto unsaved = Create<IProjectRepository>(kRepository);
  AutoCast<IProjectRepositoryInternal> internal(unsaved.Get());
  EXPECT_TRUE(unsaved->Save(0) == 1 && unsaved->Flush() == 1);  // no path: nothing to write
  ASSERT_EQ(internal->Open(dir + "/gone/x.rep", "", kCreate, area.Receive(), nullptr), 1u);
  EXPECT_EQ(AutoCast<CitI::IInterface>(area.Get()).Get(), AutoCast<CitI::IInterface>(unsaved.Get()).Get());  // root
  EXPECT_TRUE(unsaved->Close() == 0 && internal->Close(0) == 0);
}

TEST_F(RepositoryTest, NamesAreAddedWhenFreeReplacedByRegisterAndWithdrawnByNameOrObject) {
  CountLog la, lb;
  auto *a = new FakeComponent(la), *b = new FakeComponent(lb);
  {
    auto names = Create<ISimpleNamedLookup>(kRepository);
    AutoCast<IAutonymLookup> nyms(names.Get());
    Object found;
    EXPECT_TRUE(names->Add("n", a->AsB()) == 1 && names->Add("n", b->AsA()) == 0 && a->Count() == 2);
    EXPECT_TRUE(names->Find("n", found.Receive()) == 1 && found.Get() == a->AsA());
    EXPECT_TRUE(names->Register("n", b->AsB()) == 1 && names->Find("n", found.Receive()) == 1);
    EXPECT_TRUE(found.Get() == b->AsA() && a->Count() == 1);
    EXPECT_TRUE(names->Unregister("n") == 1 && names->Unregister("n") == 0 && names->Find("n", found.Receive()) == 0);
    EXPECT_EQ(found.Get(), nullptr);

    EXPECT_TRUE(names->Add("x", a->AsA()) == 1 && names->Register("y", a->AsB()) == 1 &&
                names->Add("z", b->AsA()) == 1);
    EXPECT_EQ(nyms->Register(Nym("p"), a->AsA()), 1u);
    EXPECT_EQ(names->UnregisterObject(a->AsB()), 1u);  // every name and autonym of the object
    EXPECT_TRUE(names->Find("x", found.Receive()) == 0 && names->Find("y", found.Receive()) == 0);
    EXPECT_TRUE(nyms->Resolve(Nym("p"), found.Receive()) == 0 && a->Count() == 1);
    EXPECT_EQ(names->UnregisterObject(a->AsA()), 0u);
    EXPECT_TRUE(names->Add("w", nullptr) == 0 && names->Find("z", nullptr) == 0 &&
                names->UnregisterObject(nullptr) == 0);
  }  // the table's reference on b goes with the repository
  for (FakeComponent* mine : {a, b}) ReleaseInterface(mine->AsA());
  EXPECT_TRUE(la.destroyed == 1 && lb.destroyed == 1);
}

TEST_F(RepositoryTest, AutonymsMatchByNameAndResolveOrCreateRegistersWhatTheAutonymResolves) {
  CountLog log;
  auto* object = new FakeComponent(log);
  {
    auto nyms = Create<IAutonymLookup>(kRepository);
    auto first = Nym("p"), twin = Nym("p"), maker = Nym("m", object->AsB()), failing = Nym("f", nullptr, 0x77);
    Object found;
    AutoRelease<IAutonym> nym;
    EXPECT_TRUE(nyms->Register(first, object->AsB()) == 1 && nyms->Register(nullptr, object->AsA()) == 0);
    EXPECT_TRUE(nyms->Resolve(twin, found.Receive()) == 1 && found.Get() == object->AsA());
    EXPECT_TRUE(nyms->Resolve(Nym("q"), found.Receive()) == 0 && found.Get() == nullptr);
    EXPECT_TRUE(nyms->FindAutonym(object->AsA(), nym.Receive()) == 1 && nym.Get() == first.Get());
    EXPECT_TRUE(nyms->Register(twin, object->AsA()) == 1 && nyms->FindAutonym(object->AsB(), nym.Receive()) == 1);
    EXPECT_EQ(nym.Get(), twin.Get());  // replaced, not added
    EXPECT_TRUE(nyms->Unregister(first) == 1 && nyms->Unregister(twin) == 0 &&
                nyms->FindAutonym(object->AsA(), nym.Receive()) == 0);

    EXPECT_TRUE(nyms->ResolveOrCreate(maker, nullptr, found.Receive()) == 1 && found.Get() == object->AsA());
    auto again = Nym("m");
    EXPECT_TRUE(nyms->ResolveOrCreate(again, nullptr, found.Receive()) == 1 && found.Get() == object->AsA());
    EXPECT_TRUE(maker->resolves == 1 && again->resolves == 0);
    EXPECT_TRUE(nyms->ResolveOrCreate(failing, nullptr, found.Receive()) == 0x77 && found.Get() == nullptr);
    EXPECT_EQ(nyms->Resolve(failing, found.Receive()), 0u);

    // An autonym whose end reaches back into the table finds it consistent.
    int probed = 0;
    maker->onDestroy = [&, table = nyms.Get()] {
      Object left;
      probed += table->Resolve(Nym("m"), left.Receive()) == 0 && table->Unregister(Nym("p")) == 0;
    };
    maker.Assign(nullptr);
    EXPECT_TRUE(nyms->Unregister(again) == 1 && probed == 1);
  }
  ReleaseInterface(object->AsA());
  EXPECT_EQ(log.destroyed, 1);
}

TEST_F(RepositoryTest, RegistryInstancesShareOneTableThatResetEmptiesAndTheLibraryRegistersItsClasses) {
  CountLog log;
  auto* object = new FakeComponent(log);
  {
    auto one = Create<ISimpleNamedLookup>(kRegistry), two = Create<ISimpleNamedLookup>(kRegistry);
    ASSERT_TRUE(one.Get() && two.Get() && one.Get() != two.Get() && AutoCast<IAutonymLookup>(two.Get()).Get());
    Object found;
    EXPECT_TRUE(one->Add("shared", object->AsB()) == 1 && two->Find("shared", found.Receive()) == 1);
    EXPECT_EQ(found.Get(), object->AsA());
  }
  ReleaseInterface(object->AsA());
  EXPECT_EQ(log.destroyed, 0);  // held by the table alone
  ResetNamedObjectRegistry();
  Object found;
  EXPECT_TRUE(log.destroyed == 1 && Create<ISimpleNamedLookup>(kRegistry)->Find("shared", found.Receive()) == 0);

  CitP::Factory::Shutdown();
  EXPECT_FALSE(CitP::Factory::IsRegistered(kEvent));
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libPrjrep"));
  for (const Port::XUID& clsid : {kRepository, kRegistry, kEvent}) EXPECT_TRUE(CitP::Factory::IsRegistered(clsid));
}

TEST_F(RepositoryTest, AnEventKeepsItsSenderAndArgumentAliveAndHandsThemOutWithAReference) {
  CountLog ls, la;
  auto *sender = new FakeComponent(ls), *argument = new FakeComponent(la);
  const Port::XUID id = Port::XUID::New();
  {
    auto event = Create<IEvent>(kEvent);
    Object got;
    Port::XUID read;
    EXPECT_TRUE(event->GetSender(got.Receive()) == 1 && got.Get() == nullptr && event->GetArgument(nullptr) == 0);
    EXPECT_TRUE(event->SetSender(sender->AsB()) == 1 && event->SetArgument(argument->AsA()) == 1 &&
                event->SetEventId(id) == 1);
    for (FakeComponent* mine : {sender, argument}) ReleaseInterface(mine->AsA());
    EXPECT_TRUE(ls.destroyed == 0 && la.destroyed == 0);
    EXPECT_TRUE(event->GetSender(got.Receive()) == 1 && got.Get() == sender->AsA() && sender->Count() == 2);
    EXPECT_TRUE(event->GetArgument(got.Receive()) == 1 && got.Get() == argument->AsA() && argument->Count() == 2);
    EXPECT_TRUE(event->GetEventId(read) == 1 && read == id);
  }
  EXPECT_TRUE(ls.destroyed == 1 && la.destroyed == 1);
}

}  // namespace
