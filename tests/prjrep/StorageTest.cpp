// The storage stream: values, objects and their identity, files, and injected faults.

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define HVD_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HVD_ALLOCATION_HOOKS 1
#endif
#endif
#ifdef HVD_ALLOCATION_HOOKS
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
#endif

#include "Prjrep/Storage.h"
#include "prjrep/StandInFixture.h"

namespace {

using namespace Prjrep;
using namespace testing_support;
using Item = AutoRelease<IPersist>;

constexpr Status kItemFailed{0x5EED};
constexpr Status kInjected{0x1000000200000099ull};
enum : std::int32_t { kFailSave = -1, kFailLoad = -2, kShortLoad = -3 };  // chosen by an item's number
int g_alive = 0;                                                          // items alive

// A persistent component: a number and an owned child.
class CItem : public Hvd::TComponent<CItem, IPersist> {
 public:
  CITI_DECLARE_CLSID("{6b1f0e2a-3c4d-4e5f-8a9b-0c1d2e3f4a5b}")
  CItem() { ++g_alive; }
  ~CItem() override { --g_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IPersist>(this), Hvd::Row<IRefCount>(&count), Hvd::Row<CitI::IInterface>(this));
  }
  Status PersistSave(IStorage* s) override {  // a failing save writes its data first
    Status status = s->WriteInt32(n);
    if (status == Hvd::kSuccess) status = s->WriteObject(child);
    return status == Hvd::kSuccess && n == kFailSave ? kItemFailed : status;
  }
  Status PersistLoad(IStorage* s) override {
    Item got;
    Status status = s->ReadInt32(&n);
    if (status == Hvd::kSuccess && n != kShortLoad) status = s->ReadObject(got.Receive());  // a short load skips it
    child = got.Get();
    return status == Hvd::kSuccess && n == kFailLoad ? kItemFailed : status;
  }
  Status GetClassId(Port::XUID& out) override { return Copy(classId, out); }
  Status GetId(Port::XUID& out) override { return Copy(id, out); }
  Status SetId(const Port::XUID& in) override { return Copy(in, id); }
  static Status Copy(const Port::XUID& from, Port::XUID& to) {
    to = from;
    return Hvd::kSuccess;
  }

  std::int32_t n = 0;
  Port::XUID id = Port::XUID::New();
  Port::XUID classId = GetCLSID();
  AutoPtr<IPersist> child;
  TRefCountHelper<CItem> count{this};
};

CItem* C(IPersist* p) { return dynamic_cast<CItem*>(p); }
Item MakeItem(std::int32_t n, IPersist* child = nullptr) {
  auto* item = new CItem();
  item->n = n;
  item->child = child;
  return Item(static_cast<IPersist*>(item));
}
// Read back equal to what was written, as another object.
bool Same(IPersist* read, IPersist* written) {
  return C(read) && C(written) && read != written && C(read)->id == C(written)->id && C(read)->n == C(written)->n;
}

// The largest single allocation while watched, where the sanitizer's allocator can tell:
// a file's claims must not decide how much memory its reader asks for.
std::atomic<bool> g_watchAllocations{false};
std::atomic<std::size_t> g_largestAllocation{0};
bool WatchAllocations() {
#ifdef HVD_ALLOCATION_HOOKS
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(
                                    [](const volatile void*, std::size_t size) {
                                      if (!g_watchAllocations) return;
                                      std::size_t seen = g_largestAllocation;
                                      while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
                                      }
                                    },
                                    [](const volatile void*) {}) != 0;
  return installed;
#else
  return false;
#endif
}

// A stream file made by hand: one root storage holding `values`, each given as its tag and
// encoded fields.
struct StreamFile {
  std::string payload;
  std::uint64_t values = 0;
  StreamFile& U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) payload += static_cast<char>(v >> (8 * i));
    return *this;
  }
  StreamFile& Tag(std::uint8_t tag) {
    payload += static_cast<char>(tag);
    ++values;
    return *this;
  }
  StreamFile& Record(const Port::XUID& classId) {  // begins an object record
    return Tag(7).U64(classId.First()).U64(classId.Second()).U64(0).U64(++instances);
  }
  StreamFile& Int32(std::uint32_t v) {
    Tag(1);
    for (int i = 0; i < 4; ++i) payload += static_cast<char>(v >> (8 * i));
    return *this;
  }
  StreamFile& BackRef(std::uint64_t at) { return Tag(12).U64(at); }
  StreamFile& End() { return Tag(9); }
  void Write(const std::string& path, std::uint64_t claimedValues = 0) const {
    std::string body;
    for (int i = 0; i < 8; ++i) body += static_cast<char>((claimedValues ? claimedValues : values) >> (8 * i));
    body += payload + std::string(16, '\0');  // no child storages, no items
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : body) hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001b3ull;
    StreamFile head;
    head.payload = std::string("HvdStrm\x1a", 8) + std::string("\x02\0\0\0", 4);
    head.U64(1).U64(body.size()).U64(hash);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << head.payload << body;
  }
  std::uint64_t instances = 0;
};

// Values and two items sharing a child, the first written twice; and what reads back.
struct Graph {
  Item child = MakeItem(3);
  Item first = MakeItem(1, child);
  Item second = MakeItem(2, child);
  const Text text{std::string("af\0ter", 6)};
  Item read[3];
  Text readText;
  std::int32_t i = 0;
  std::int64_t big = 0;
  std::vector<Status> Write(IStorage* s) const {  // a braced list is evaluated in order
    return {s->WriteInt32(7),       s->WriteInt64(INT64_MAX), s->WriteObject(first),
            s->WriteObject(second), s->WriteObject(first),    s->WriteString(&text)};
  }
  // Each value after a read of another kind, which fails without advancing.
  std::vector<Status> Read(IStorage* s) {
    return {s->ReadString(&readText), s->ReadInt32(&i),                  // 7
            s->ReadInt32(&i),         s->ReadInt64(&big),                // INT64_MAX
            s->ReadInt64(&big),       s->ReadObject(read[0].Receive()),  // first
            s->ReadInt32(&i),         s->ReadObject(read[1].Receive()),  // second
            s->ReadString(&readText), s->ReadObject(read[2].Receive()),  // first again
            s->ReadInt64(&big),       s->ReadString(&readText),          // text
            s->ReadInt32(&i)};                                           // past the end
  }
  void ReadAndCheck(IStorage* s) {
    ASSERT_EQ(Read(s), (std::vector<Status>{kFailure, kSuccess, kFailure, kSuccess, kFailure, kSuccess, kFailure,
                                            kSuccess, kFailure, kSuccess, kFailure, kSuccess, kFailure}));
    EXPECT_TRUE(i == 7 && big == INT64_MAX && readText == text);
    EXPECT_TRUE(Same(read[0], first) && Same(read[1], second) && Same(C(read[0])->child, child));
    EXPECT_TRUE(read[2].Get() == read[0].Get() && C(read[1])->child.Get() == C(read[0])->child.Get());
  }
};

class StorageTest : public StandInFixture {
 protected:
  void SetUp() override {
    StandInFixture::SetUp();
    RegisterTestFactory<CItem>();
  }
  void TearDown() override {
    storage.Assign(nullptr);
    StandInFixture::TearDown();
    EXPECT_EQ(g_alive, 0);
  }
  AutoRelease<IStorage> storage{CreateStorage()};
  AutoCast<IStorageControl> control{storage.Get()};
};

TEST_F(StorageTest, AFailedSaveLeavesTheStreamAsBefore) {
  Item child = MakeItem(2);
  Item parent = MakeItem(kFailSave, child);
  Item got;
  std::int32_t i = 0;
  EXPECT_EQ(storage->WriteInt32(1), Hvd::kSuccess);
  EXPECT_EQ(storage->WriteObject(parent), kItemFailed);
  EXPECT_EQ(C(parent)->count.GetRefCount(), 1);           // the stream let go
  EXPECT_EQ(storage->WriteObject(child), Hvd::kSuccess);  // in full: its record inside went away
  EXPECT_TRUE(storage->WriteInt32(2) == Hvd::kSuccess && storage->ReadInt32(&i) == Hvd::kSuccess);
  EXPECT_TRUE(storage->ReadObject(got.Receive()) == Hvd::kSuccess && Same(got, child));
  EXPECT_TRUE(storage->ReadInt32(&i) == Hvd::kSuccess && i == 2);
}

TEST_F(StorageTest, RecordsThatCannotBeLoadedAreSkippedWithNothingLeftBehind) {
  {
    Item unknown = MakeItem(1, MakeItem(3));
    Item bad = MakeItem(kFailLoad, MakeItem(4));
    Item cut = MakeItem(kShortLoad, MakeItem(5));
    Item holder = MakeItem(2, MakeItem(kFailLoad));  // fails inside its owner
    C(unknown)->classId = Port::XUID(0xdead, 0xbeef);
    std::int32_t n = 0;
    for (IPersist* p : {unknown.Get(), unknown.Get(), bad.Get(), cut.Get(), holder.Get()}) {
      EXPECT_TRUE(storage->WriteObject(p) == Hvd::kSuccess && storage->WriteInt32(++n) == Hvd::kSuccess);
    }
  }
  EXPECT_GT(g_alive, 0);  // held by the stream until Rewind
  EXPECT_EQ(control->Rewind(), Hvd::kSuccess);
  EXPECT_EQ(g_alive, 0);
  const Status expected[] = {kFailure, kFailure /* back reference to a skipped record */, kItemFailed, kFailure,
                             kItemFailed};
  for (std::int32_t n = 1; n <= 5; ++n) {
    IPersist* got = reinterpret_cast<IPersist*>(&got);
    std::int32_t i = 0;
    EXPECT_TRUE(storage->ReadObject(&got) == expected[n - 1] && got == nullptr && g_alive == 0) << n;
    EXPECT_TRUE(storage->ReadInt32(&i) == Hvd::kSuccess && i == n) << n;
  }
}

TEST_F(StorageTest, AFileRoundTripGivesEqualValuesAndObjectsAndDamagedFilesAreRefusedWithoutChange) {
  const std::string good = dir + "/good.bin";
  const std::string bad = dir + "/bad.bin";
  Graph g;
  g.Write(storage);
  ASSERT_EQ(control->SaveToFile(good.c_str()), Hvd::kSuccess);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
  EXPECT_EQ(control->SaveToFile((dir + "/missing/stream.bin").c_str()), Hvd::kFailure);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  std::int32_t i = 0;
  std::int64_t big = 0;
  EXPECT_TRUE(storage->ReadInt32(&i) == Hvd::kSuccess && i == 7);
  auto refused = [&](const std::string& content) {
    std::ofstream(bad, std::ios::binary | std::ios::trunc) << content;
    return control->LoadFromFile(bad.c_str()) == Hvd::kFailure;
  };
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string flipped = bytes;
    flipped[n] = static_cast<char>(flipped[n] ^ 0x5A);
    EXPECT_TRUE(refused(bytes.substr(0, n))) << "prefix " << n;
    EXPECT_TRUE(refused(flipped)) << "byte " << n;
  }
  EXPECT_TRUE(refused(bytes + '\0'));
  EXPECT_EQ(control->LoadFromFile((dir + "/none.bin").c_str()), Hvd::kFailure);
  EXPECT_TRUE(storage->ReadInt64(&big) == Hvd::kSuccess && big == INT64_MAX);  // neither content nor position changed

  EXPECT_EQ(control->LoadFromFile(good.c_str()), Hvd::kSuccess);  // replaces and rewinds
  g.ReadAndCheck(storage);
}

TEST_F(StorageTest, EveryOperationOfAScenarioCanFailWithTheInjectedStatusAndLeakNothing) {
  std::vector<Status> clean;
  for (std::int64_t k = 0, total = 0; k <= total; ++k) {  // k == 0: no fault
    AutoRelease<IStorage> s(CreateStorage());
    AutoCast<IStorageControl> c(s.Get());
    c->FailOperation(k, kInjected);
    std::vector<Status> got = Graph().Write(s);  // the graph is held by the stream alone
    std::ignore = c->Rewind();
    const std::vector<Status> read = Graph().Read(s);
    got.insert(got.end(), read.begin(), read.end());
    if (k == 0) {
      clean = got;
      total = c->OperationCount();
      ASSERT_GT(total, 10);
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

TEST_F(StorageTest, AnObjectThatContainsItselfIsNeitherWrittenNorRead) {
  Item loop = MakeItem(1);
  C(loop)->child = loop.Get();
  EXPECT_EQ(storage->WriteObject(loop), Hvd::kFailure);
  EXPECT_EQ(C(loop)->count.GetRefCount(), 2);  // the stream let go; the rest is the loop's own
  C(loop)->child = nullptr;
  loop.Assign(nullptr);

  // One item whose child is itself, and two that hold each other.
  const std::string path = dir + "/loops.bin";
  const Port::XUID item = CItem::GetCLSID();
  StreamFile()
      .Record(item)
      .Int32(1)
      .BackRef(0)
      .End()
      .Record(item)
      .Int32(2)
      .Record(item)
      .Int32(3)
      .BackRef(4)
      .End()
      .End()
      .Write(path);
  ASSERT_EQ(control->LoadFromFile(path.c_str()), Hvd::kSuccess);
  for (int n = 0; n < 2; ++n) {
    Item got;
    EXPECT_TRUE(storage->ReadObject(got.Receive()) == Hvd::kFailure && got.Get() == nullptr) << n;
  }
  EXPECT_EQ(control->Rewind(), Hvd::kSuccess);
  EXPECT_EQ(g_alive, 0);
}

TEST_F(StorageTest, ObjectsNestNoDeeperThanStoragesAndFilesClaimingMoreAreRefusedWithoutLargeAllocations) {
  auto chain = [](int length) {
    Item top;
    for (int n = 0; n < length; ++n) top = MakeItem(n, top);
    return top;
  };
  Item got;
  EXPECT_EQ(storage->WriteObject(chain(129)), kFailure);
  ASSERT_EQ(storage->WriteObject(chain(128)), kSuccess);
  ASSERT_EQ(storage->ReadObject(got.Receive()), kSuccess);
  int depth = 0;
  for (IPersist* p = got; p != nullptr; p = C(p)->child) ++depth;
  EXPECT_EQ(depth, 128);
  got.Assign(nullptr);

  const std::string path = dir + "/deep.bin";
  StreamFile deep;
  for (int n = 0; n < 20000; ++n) deep.Record(CItem::GetCLSID()).Int32(n);
  for (int n = 0; n < 20000; ++n) deep.End();
  deep.Write(path);
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);
  StreamFile stray;
  stray.End().Write(path);
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);

  // A million values claimed, each one byte in the file and none valid.
  StreamFile claims;
  claims.payload.assign(std::size_t{1} << 20, '\0');
  claims.Write(path, std::size_t{1} << 20);
  g_largestAllocation = 0;
  g_watchAllocations = WatchAllocations();
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);
  if (g_watchAllocations.exchange(false)) {
    EXPECT_LE(g_largestAllocation, std::filesystem::file_size(path));
  }
}

}  // namespace
