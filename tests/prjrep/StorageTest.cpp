// The storage stream: values, objects and their identity, files, and injected faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Prjrep/Storage.h"
#include "framework/Factory.h"
#include "framework/Holders.h"
#include "framework/Interface.h"
#include "framework/RefCount.h"

namespace {

using Prjrep::IPersist;
using Prjrep::IStorage;
using Status = std::uint64_t;
using Text = Port::StringBase<char>;
using Item = Prjrep::AutoRelease<IPersist>;
using Control = Prjrep::AutoCast<Prjrep::IStorageControl>;

constexpr Status kItemFailed = 0x5EED;
constexpr Status kInjected = 0x1000000200000099ull;
enum : std::int32_t { kFailSave = -1, kFailLoad = -2, kShortLoad = -3 };  // chosen by an item's number
int g_alive = 0;                                                          // test components alive

#define RETURN_IF_FAILED(expr) \
  if (const Status s_ = (expr); s_ != 1) return s_

// A persistent component: a number, an owned child and a link that holds no reference.
class CItem : public IPersist {
 public:
  CITI_DECLARE_CLSID("{6b1f0e2a-3c4d-4e5f-8a9b-0c1d2e3f4a5b}")
  CItem() { ++g_alive; }
  ~CItem() override { --g_alive; }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{IPersist::GetIID(), this},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), this}});
  }
  Status PersistSave(IStorage* s) override {  // a failing save writes its data first
    RETURN_IF_FAILED(s->WriteInt32(n));
    RETURN_IF_FAILED(s->WriteObject(child.Get()));
    RETURN_IF_FAILED(s->WriteObjectRef(link));
    return n == kFailSave ? kItemFailed : 1;
  }
  Status PersistLoad(IStorage* s) override {
    Item got, linked;
    RETURN_IF_FAILED(s->ReadInt32(&n));
    RETURN_IF_FAILED(s->ReadObject(got.Receive()));
    child = got.Get();
    if (n == kShortLoad) return 1;  // leaves its link unread
    RETURN_IF_FAILED(s->ReadObjectRef(linked.Receive()));
    link = linked.Get();
    return n == kFailLoad ? kItemFailed : 1;
  }
  Status GetClassId(Port::XUID& out) override { return out = classId, 1; }
  Status GetId(Port::XUID& out) override { return out = id, 1; }
  Status SetId(const Port::XUID& in) override { return id = in, 1; }

  std::int32_t n = 0;
  Port::XUID id = Port::XUID::New(), classId = GetCLSID();
  Prjrep::AutoPtr<IPersist> child;
  IPersist* link = nullptr;
  Prjrep::TRefCountHelper<CItem> m_refCount{this};
};

CItem* C(IPersist* p) { return dynamic_cast<CItem*>(p); }
Item MakeItem(std::int32_t n) {
  auto* item = new CItem();
  item->n = n;
  return Item(static_cast<IPersist*>(item));
}
// Read back equal to what was written, as another object.
bool Same(IPersist* read, IPersist* written) {
  const CItem *a = C(read), *b = C(written);
  return a && b && a != b && a->id == b->id && a->classId == b->classId && a->n == b->n;
}

// A parent and another item sharing a child that links back to the parent, and an item
// linked to itself; written with the parent twice and the child again as a reference.
struct Graph {
  Item parent = MakeItem(1), other = MakeItem(2), self = MakeItem(3);
  IPersist* child;
  const Text text{std::string("af\0ter", 6)};
  Graph() {
    child = (C(parent)->child = C(other)->child = MakeItem(4).Get()).Get();
    C(child)->link = parent;
    C(self)->link = self;
  }
  std::vector<Status> Write(IStorage* s) const {  // a braced list is evaluated in order
    return {s->WriteInt32(7),       s->WriteObject(parent),   s->WriteObject(other), s->WriteObject(self),
            s->WriteObject(parent), s->WriteObjectRef(child), s->WriteString(&text)};
  }
};

struct ReadBack {
  Item p, o, s, p2, wrong, c;
  Text text;
  std::int32_t i = 0;
  std::vector<Status> statuses;
  explicit ReadBack(IStorage* st)
      : statuses{st->ReadInt32(&i),           st->ReadObject(p.Receive()),  st->ReadObject(o.Receive()),
                 st->ReadObject(s.Receive()),    st->ReadObject(p2.Receive()), st->ReadObject(wrong.Receive()),
                 st->ReadObjectRef(c.Receive()), st->ReadString(&text)} {}
  void Check(const Graph& g) {
    // The child's second write is a back reference of the other kind, which ReadObject refuses.
    ASSERT_EQ(statuses, (std::vector<Status>{1, 1, 1, 1, 1, 0, 1, 1}));
    EXPECT_TRUE(i == 7 && text == g.text && wrong.Get() == nullptr && p2.Get() == p.Get());
    EXPECT_TRUE(Same(p, g.parent) && Same(o, g.other) && Same(s, g.self) && Same(c, g.child));
    EXPECT_TRUE(C(p)->child.Get() == c.Get() && C(o)->child.Get() == c.Get() && C(c)->child.Get() == nullptr);
    EXPECT_TRUE(C(c)->link == p.Get() && C(s)->link == s.Get());
  }
};

struct StorageTest : ::testing::Test {
  void SetUp() override {
    auto* factory = new Port::TFactory<CItem>();
    CitP::Factory::RegisterFactory(CItem::GetCLSID(), factory);
    Prjrep::ReleaseInterface(factory);
  }
  void TearDown() override {
    storage.Assign(nullptr);
    CitP::Factory::Shutdown();
    EXPECT_EQ(g_alive, 0);
  }
  Prjrep::AutoRelease<IStorage> storage{Prjrep::CreateStorage()};
  Control control{storage.Get()};
};

TEST_F(StorageTest, ValuesComeBackInOrderAndAReadOfAnotherKindOrAnInjectedFaultDoesNothing) {
  const Text text(std::string("two\0words", 9));
  const Port::XUID x = Port::XUID::New();
  std::int32_t i = 0, l = 0;
  std::int64_t big = 0;
  bool flag = true;
  Text got("stale");
  Port::XUID y;
  Item object;
#define KIND(write, read) {[&] { return storage->write; }, [&] { return storage->read; }}
  const std::pair<std::function<Status()>, std::function<Status()>> kinds[] = {
      KIND(WriteInt32(-5), ReadInt32(&i)),          KIND(WriteLong(INT32_MIN), ReadLong(&l)),
      KIND(WriteInt64(INT64_MAX), ReadInt64(&big)), KIND(WriteBool(false), ReadBool(&flag)),
      KIND(WriteString(&text), ReadString(&got)),   KIND(WriteXuid(&x), ReadXuid(&y)),
      KIND(WriteObject(nullptr), ReadObject(object.Receive())),
      KIND(WriteObjectRef(nullptr), ReadObjectRef(object.Receive()))};
#undef KIND
  for (const auto& kind : kinds) EXPECT_EQ(kind.first(), 1u);
  for (const auto& kind : kinds) EXPECT_EQ(kind.second(), 1u);
  EXPECT_TRUE(i == -5 && l == INT32_MIN && big == INT64_MAX && !flag && got == text && y == x && !object.Get());
  for (std::size_t kind = 0; kind < std::size(kinds); ++kind) {
    ASSERT_EQ(kinds[kind].first(), 1u) << kind;
    for (std::size_t other = 0; other < std::size(kinds); ++other) {
      EXPECT_TRUE(other == kind || kinds[other].second() == 0u) << other << " read " << kind;
    }
    EXPECT_EQ(kinds[kind].second(), 1u) << kind;
    EXPECT_EQ(kinds[kind].second(), 0u) << kind << " at the end";
  }

  // Missing pointers and injected faults fail only that operation, which does nothing.
  control->FailOperation(3, kInjected);
  const std::vector<Status> statuses{storage->WriteInt32(1),      storage->WriteString(nullptr),
                                     storage->WriteInt32(2),      storage->WriteXuid(nullptr),
                                     storage->ReadInt32(nullptr), storage->ReadObject(nullptr),
                                     storage->ReadInt32(&i),      storage->ReadInt32(&i)};
  EXPECT_EQ(statuses, (std::vector<Status>{1, 0, kInjected, 0, 0, 0, 1, 0}));
  EXPECT_EQ(i, 1);
  control->FailOperation(2, kInjected);
  EXPECT_EQ(storage->WriteInt32(3), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), kInjected);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, -5);
}

TEST_F(StorageTest, AnObjectWrittenTwiceReadsBackAsOneUntilRewindForgetsIt) {
  {
    Item a = MakeItem(1), r1, r2;
    EXPECT_EQ(storage->WriteObject(a), 1u);
    EXPECT_EQ(control->Rewind(), 1u);
    EXPECT_EQ(storage->WriteObject(a), 1u);  // in full again
    EXPECT_EQ(storage->ReadObject(r1.Receive()), 1u);
    EXPECT_EQ(storage->ReadObject(r2.Receive()), 1u);
    EXPECT_TRUE(r1.Get() != r2.Get() && Same(r2, a));
    Graph g;
    EXPECT_EQ(g.Write(storage), std::vector<Status>(7, 1));
    ReadBack(storage).Check(g);
  }
  EXPECT_GT(g_alive, 0);  // held by the stream until Rewind
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(g_alive, 0);
}

TEST_F(StorageTest, AFailedSaveLeavesTheStreamAsBefore) {
  Item parent = MakeItem(kFailSave), child = MakeItem(2), got;
  C(parent)->child = child.Get();
  std::int32_t i = 0;
  EXPECT_EQ(storage->WriteInt32(1), 1u);
  EXPECT_EQ(storage->WriteObject(parent), kItemFailed);
  EXPECT_EQ(C(parent)->m_refCount.GetRefCount(), 1);  // the stream let go
  EXPECT_EQ(storage->WriteObject(child), 1u);         // in full: its record inside went away
  EXPECT_EQ(storage->WriteInt32(2), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(storage->ReadObject(got.Receive()), 1u);
  EXPECT_TRUE(Same(got, child));
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 2);
}

TEST_F(StorageTest, RecordsThatCannotBeLoadedAreSkippedWithNothingLeftBehind) {
  {
    Item unknown = MakeItem(1), bad = MakeItem(kFailLoad), cut = MakeItem(kShortLoad), holder = MakeItem(2);
    C(unknown)->classId = Port::XUID(0xdead, 0xbeef);
    C(unknown)->child = MakeItem(3).Get();
    C(bad)->child = MakeItem(4).Get();
    C(holder)->child = MakeItem(kFailLoad).Get();  // fails inside its owner
    int n = 0;
    for (IPersist* p : {unknown.Get(), unknown.Get(), bad.Get(), cut.Get(), holder.Get()}) {
      EXPECT_EQ(storage->WriteObject(p), 1u);
      EXPECT_EQ(storage->WriteInt32(++n), 1u);
    }
  }
  EXPECT_EQ(control->Rewind(), 1u);
  const Status expected[] = {0, 0 /* back reference to a skipped record */, kItemFailed, 0, kItemFailed};
  for (int n = 1; n <= 5; ++n) {
    IPersist* got = reinterpret_cast<IPersist*>(&got);
    std::int32_t i = 0;
    EXPECT_EQ(storage->ReadObject(&got), expected[n - 1]) << n;
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(g_alive, 0) << n;
    EXPECT_TRUE(storage->ReadInt32(&i) == 1 && i == n) << n;
  }
}

TEST_F(StorageTest, AFileRoundTripGivesEqualObjectsAndDamagedFilesAreRefusedLeavingTheStreamAsItWas) {
  std::string dir = ::testing::TempDir() + "storage_XXXXXX";
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  const std::string good = dir + "/good.bin", bad = dir + "/bad.bin", missing = dir + "/none.bin";
  Graph g;
  g.Write(storage);
  ASSERT_EQ(control->SaveToFile(good.c_str()), 1u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
  EXPECT_EQ(control->SaveToFile((dir + "/missing/stream.bin").c_str()), 0u);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  Prjrep::AutoRelease<IStorage> target(Prjrep::CreateStorage());
  Control targetControl(target.Get());
  std::int32_t i = 0;
  for (Status status : {target->WriteInt32(9), target->WriteInt32(8), target->ReadInt32(&i)}) EXPECT_EQ(status, 1u);
  auto refused = [&](const std::string& content) {
    std::ofstream(bad, std::ios::binary | std::ios::trunc) << content;
    return targetControl->LoadFromFile(bad.c_str()) == 0;
  };
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string flipped = bytes;
    flipped[n] = static_cast<char>(flipped[n] ^ 0x5A);
    EXPECT_TRUE(refused(bytes.substr(0, n))) << "prefix " << n;
    EXPECT_TRUE(refused(flipped)) << "byte " << n;
  }
  EXPECT_TRUE(refused(bytes + '\0'));
  for (const char* path : {missing.c_str(), dir.c_str(), static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(targetControl->LoadFromFile(path), 0u);
  }
  EXPECT_TRUE(target->ReadInt32(&i) == 1 && i == 8);  // neither content nor read position changed

  EXPECT_EQ(targetControl->LoadFromFile(good.c_str()), 1u);  // replaces and rewinds
  ReadBack(target).Check(g);
  EXPECT_EQ(target->ReadInt32(&i), 0u);
  std::filesystem::remove_all(dir);
}

TEST_F(StorageTest, EveryOperationOfAScenarioCanFailWithTheInjectedStatusAndLeakNothing) {
  std::vector<Status> clean;
  std::int64_t total = 0;
  for (std::int64_t k = 0; k <= total; ++k) {  // k == 0: no fault
    Prjrep::AutoRelease<IStorage> s(Prjrep::CreateStorage());
    Control c(s.Get());
    c->FailOperation(k, kInjected);
    std::vector<Status> got = Graph().Write(s);  // the graph is held by the stream alone
    c->Rewind();
    const std::vector<Status> read = ReadBack(s).statuses;
    got.insert(got.end(), read.begin(), read.end());
    if (k == 0) {
      clean = got;
      total = c->OperationCount();
      ASSERT_GT(total, 30);
    } else {  // everything before the fault as without it, and the fault once
      const auto at = std::find(got.begin(), got.end(), kInjected);
      ASSERT_NE(at, got.end()) << "k=" << k;
      EXPECT_TRUE(std::equal(got.begin(), at, clean.begin())) << "k=" << k;
      EXPECT_EQ(std::count(at, got.end(), kInjected), 1) << "k=" << k;
    }
    s.Assign(nullptr);
    EXPECT_EQ(g_alive, 0) << "k=" << k;
  }
}

}  // namespace
