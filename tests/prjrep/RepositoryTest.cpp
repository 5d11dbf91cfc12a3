// The storage tree, the name table of a repository, and the event object.

#include "Prjrep/ClassIds.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/Storage.h"
#include "prjrep/StandInFixture.h"
#include "support/Fakes.h"

namespace {

using namespace Prjrep;
using namespace testing_support;
using Node = AutoRelease<IStorage>;
using RepositoryTest = StandInFixture;

TEST_F(RepositoryTest, StoragesKeepTheirChildrenAndItemsAreEmptiedByCreate) {
  Node root(CreateStorage()), a, sub, item, same;
  std::int32_t i = 0;
  EXPECT_TRUE(root->OpenStorage("a", kOpenExisting, a.Receive()) == kFailure &&
              root->OpenItem("a", kRead, item.Receive()) == kFailure);
  ASSERT_EQ(root->OpenStorage("a", kCreate, a.Receive()), kSuccess);
  ASSERT_TRUE(a->OpenStorage("sub", kCreate, sub.Receive()) == kSuccess &&
              a->OpenItem("x", kCreate, item.Receive()) == kSuccess);
  EXPECT_TRUE(item->WriteInt32(1) == kSuccess && item->WriteInt32(2) == kSuccess && item->ReadInt32(&i) == kSuccess);
  EXPECT_EQ(root->OpenItem("a", kOpenExisting, same.Receive()), kFailure);  // storages and items apart

  EXPECT_TRUE(root->OpenStorage("a", kCreate, same.Receive()) == kSuccess && same.Get() == a.Get());
  EXPECT_TRUE(a->OpenStorage("sub", kOpenExisting, same.ReleaseAndReceive()) == kSuccess && same.Get() == sub.Get());
  EXPECT_TRUE(a->OpenItem("x", kOpenExisting, same.ReleaseAndReceive()) == kSuccess && same.Get() == item.Get());
  EXPECT_TRUE(item->ReadInt32(&i) == kSuccess && i == 2);  // kOpenExisting left the position
  EXPECT_TRUE(a->CloseItem(item) == kSuccess && item->ReadInt32(&i) == kSuccess && i == 1);  // rewound
  EXPECT_TRUE(a->OpenItem("x", kRead, same.ReleaseAndReceive()) == kSuccess && item->ReadInt32(&i) == kSuccess &&
              i == 1);
  EXPECT_TRUE(a->OpenItem("x", kCreate, same.ReleaseAndReceive()) == kSuccess && item->ReadInt32(&i) == kFailure);
}

TEST_F(RepositoryTest, TheRootStorageIsPartOfTheRepositoryAndItsChildStoragesAreNot) {
  auto repo = Create<IProjectRepositoryInternal>(ClassId::Repository());
  const Port::XUID &id = CitI::IInterface::GetIID();
  Node root, child;
  ASSERT_TRUE(repo->Open(dir / "a.rep", "", kCreate, root.Receive(), nullptr) == kSuccess &&  // no area: the root
              root->OpenStorage("a", kCreate, child.Receive()) == kSuccess);
  EXPECT_TRUE(root->QueryInterface(id) == repo->QueryInterface(id) && AutoCast<ISimpleNamedLookup>(root.Get()));
  EXPECT_EQ(AutoCast<IRefCount>(root.Get())->GetRefCount(), 2);  // the repository's count
  EXPECT_TRUE(child->QueryInterface(id) != repo->QueryInterface(id) && !AutoCast<ISimpleNamedLookup>(child.Get()));
  root.Assign(nullptr);
  EXPECT_EQ(AutoCast<IRefCount>(repo.Get())->GetRefCount(), 1);  // a child storage holds none of it
}

TEST_F(RepositoryTest, NamesAreAddedWhenFreeReplacedByRegisterAndWithdrawnByNameOrObject) {
  CountLog la, lb;
  auto *a = new FakeComponent(la), *b = new FakeComponent(lb);
  {
    auto names = Create<ISimpleNamedLookup>(ClassId::Repository());
    Object found;
    EXPECT_TRUE(names->Add("n", a->AsB()) == kSuccess && names->Add("n", b->AsA()) == kFailure && a->Count() == 2);
    EXPECT_TRUE(names->Register("n", b->AsB()) == kSuccess && a->Count() == 1);
    EXPECT_TRUE(names->Find("n", found.Receive()) == kSuccess && found.Get() == b->AsA());  // by the root
    EXPECT_TRUE(names->Unregister("n") == kSuccess && names->Unregister("n") == kFailure &&
                names->Find("n", found.ReleaseAndReceive()) == kFailure);
    // Registering null clears the name and lets go of what it stood for; a free name stays free.
    EXPECT_TRUE(names->Register("m", b->AsA()) == kSuccess && b->Count() == 2);
    EXPECT_TRUE(names->Register("m", nullptr) == kSuccess && b->Count() == 1);
    EXPECT_TRUE(names->Find("m", found.ReleaseAndReceive()) == kFailure && !found);
    EXPECT_TRUE(names->Register("m", nullptr) == kSuccess && names->Find("m", found.ReleaseAndReceive()) == kFailure);
    EXPECT_EQ(names->Add("m", nullptr), kFailure);

    EXPECT_TRUE(names->Add("x", a->AsA()) == kSuccess && names->Register("y", a->AsB()) == kSuccess);
    EXPECT_EQ(AutoCast<IAutonymLookup>(names)->Register(PathNym("p"), a->AsA()), kSuccess);
    EXPECT_TRUE(names->Add("z", b->AsA()) == kSuccess && names->UnregisterObject(a->AsB()) == kSuccess);
    EXPECT_TRUE(a->Count() == 1 && names->Find("z", found.Receive()) == kSuccess);  // all of a's names went
  }  // the table's reference on b goes with the repository
  for (auto *c : {a, b}) ReleaseInterface(c->AsA());
  EXPECT_TRUE(la.destroyed == 1 && lb.destroyed == 1);
}

TEST_F(RepositoryTest, AnEventKeepsItsSenderAndArgumentAliveAndHandsThemOutWithAReference) {
  CountLog ls, la;
  auto *sender = new FakeComponent(ls), *argument = new FakeComponent(la);
  auto event = Create<IEvent>(ClassId::Event());
  Object got;
  EXPECT_TRUE(event->SetSender(sender->AsB()) == kSuccess && event->SetArgument(argument->AsA()) == kSuccess);
  for (auto *c : {sender, argument}) ReleaseInterface(c->AsA());
  EXPECT_TRUE(event->GetSender(got.Receive()) == kSuccess && got.Get() == sender->AsA() && sender->Count() == 2);
  EXPECT_TRUE(event->GetArgument(got.ReleaseAndReceive()) == kSuccess && argument->Count() == 2);
  got.Assign(nullptr), event.Assign(nullptr);
  EXPECT_TRUE(ls.destroyed == 1 && la.destroyed == 1);
}

}  // namespace
