// The storage tree, the name tables of a repository and of the registry, and the event object.

#include "Prjrep/IEvents.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/Storage.h"
#include "prjrep/StandInFixture.h"
#include "support/Fakes.h"

namespace {

using namespace Prjrep;
using namespace testing_support;
using Node = AutoRelease<IStorage>;
using RepositoryTest = StandInFixture;


TEST_F(RepositoryTest, StoragesKeepTheirChildrenAndItemsAreEmptiedByCreate) {
  Node root(CreateStorage());
  Node a, sub, item, same;
  std::int32_t i = 0;
  EXPECT_EQ(root->OpenStorage("a", kOpenExisting, a.Receive()), Hvd::kFailure);
  EXPECT_EQ(root->OpenItem("a", kRead, item.Receive()), Hvd::kFailure);
  ASSERT_EQ(root->OpenStorage("a", kCreate, a.Receive()), Hvd::kSuccess);
  ASSERT_TRUE(a->OpenStorage("sub", kCreate, sub.Receive()) == Hvd::kSuccess && a->OpenItem("x", kCreate, item.Receive()) == Hvd::kSuccess);
  EXPECT_TRUE(item->WriteInt32(1) == Hvd::kSuccess && item->WriteInt32(2) == Hvd::kSuccess && item->ReadInt32(&i) == Hvd::kSuccess);
  EXPECT_EQ(root->OpenItem("a", kOpenExisting, same.Receive()), Hvd::kFailure);  // storages and items apart

  EXPECT_TRUE(root->OpenStorage("a", kCreate, same.Receive()) == Hvd::kSuccess && same.Get() == a.Get());
  EXPECT_TRUE(a->OpenStorage("sub", kOpenExisting, same.ReleaseAndReceive()) == Hvd::kSuccess && same.Get() == sub.Get());
  EXPECT_TRUE(a->OpenItem("x", kOpenExisting, same.ReleaseAndReceive()) == Hvd::kSuccess && same.Get() == item.Get());
  EXPECT_TRUE(item->ReadInt32(&i) == Hvd::kSuccess && i == 2);                             // kOpenExisting left the position
  EXPECT_TRUE(a->CloseItem(item) == Hvd::kSuccess && item->ReadInt32(&i) == Hvd::kSuccess && i == 1);  // rewound
  EXPECT_TRUE(a->OpenItem("x", kRead, same.ReleaseAndReceive()) == Hvd::kSuccess && item->ReadInt32(&i) == Hvd::kSuccess && i == 1);
  EXPECT_TRUE(a->OpenItem("x", kCreate, same.ReleaseAndReceive()) == Hvd::kSuccess && item->ReadInt32(&i) == Hvd::kFailure);  // emptied
}

TEST_F(RepositoryTest, NamesAreAddedWhenFreeReplacedByRegisterAndWithdrawnByNameOrObject) {
  CountLog la, lb;
  auto* a = new FakeComponent(la);
  auto* b = new FakeComponent(lb);
  {
    auto names = Create<ISimpleNamedLookup>(Prjrep::ClassId::Repository());
    Object found;
    EXPECT_TRUE(names->Add("n", a->AsB()) == Hvd::kSuccess && names->Add("n", b->AsA()) == Hvd::kFailure && a->Count() == 2);
    EXPECT_TRUE(names->Register("n", b->AsB()) == Hvd::kSuccess && a->Count() == 1);
    EXPECT_TRUE(names->Find("n", found.Receive()) == Hvd::kSuccess && found.Get() == b->AsA());  // by the root
    EXPECT_TRUE(names->Unregister("n") == Hvd::kSuccess && names->Unregister("n") == Hvd::kFailure && names->Find("n", found.ReleaseAndReceive()) == Hvd::kFailure);

    EXPECT_TRUE(names->Add("x", a->AsA()) == Hvd::kSuccess && names->Register("y", a->AsB()) == Hvd::kSuccess);
    EXPECT_EQ(AutoCast<IAutonymLookup>(names)->Register(PathNym("p"), a->AsA()), Hvd::kSuccess);
    EXPECT_TRUE(names->Add("z", b->AsA()) == Hvd::kSuccess && names->UnregisterObject(a->AsB()) == Hvd::kSuccess);
    EXPECT_TRUE(a->Count() == 1 && names->Find("z", found.Receive()) == Hvd::kSuccess);  // all of a's names and autonyms went
  }  // the table's reference on b goes with the repository
  ReleaseInterface(a->AsA());
  ReleaseInterface(b->AsA());
  EXPECT_TRUE(la.destroyed == 1 && lb.destroyed == 1);
}

TEST_F(RepositoryTest, RegistryInstancesShareOneTableThatResetEmpties) {
  CountLog log;
  auto* object = new FakeComponent(log);
  auto one = Create<ISimpleNamedLookup>(Prjrep::ClassId::NamedObjectRegistry());
  auto two = Create<ISimpleNamedLookup>(Prjrep::ClassId::NamedObjectRegistry());
  Object found;
  EXPECT_TRUE(one->Add("shared", object->AsB()) == Hvd::kSuccess && two->Find("shared", found.Receive()) == Hvd::kSuccess);
  EXPECT_TRUE(one.Get() != two.Get() && found.Get() == object->AsA());
  found.Assign(nullptr);
  ReleaseInterface(object->AsA());
  EXPECT_EQ(log.destroyed, 0);  // held by the table alone
  ResetNamedObjectRegistry();
  EXPECT_TRUE(log.destroyed == 1 && one->Find("shared", found.Receive()) == Hvd::kFailure);
}

TEST_F(RepositoryTest, AnEventKeepsItsSenderAndArgumentAliveAndHandsThemOutWithAReference) {
  CountLog ls, la;
  auto* sender = new FakeComponent(ls);
  auto* argument = new FakeComponent(la);
  auto event = Create<IEvent>(Prjrep::ClassId::Event());
  Object got;
  EXPECT_TRUE(event->SetSender(sender->AsB()) == Hvd::kSuccess && event->SetArgument(argument->AsA()) == Hvd::kSuccess);
  ReleaseInterface(sender->AsA());
  ReleaseInterface(argument->AsA());
  EXPECT_TRUE(event->GetSender(got.Receive()) == Hvd::kSuccess && got.Get() == sender->AsA() && sender->Count() == 2);
  EXPECT_TRUE(event->GetArgument(got.ReleaseAndReceive()) == Hvd::kSuccess && got.Get() == argument->AsA() && argument->Count() == 2);
  got.Assign(nullptr);
  event.Assign(nullptr);
  EXPECT_TRUE(ls.destroyed == 1 && la.destroyed == 1);
}

}  // namespace
