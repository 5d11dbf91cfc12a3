// The storage stream: values, objects and their identity, files, and injected faults.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <vector>

#include "Port/MsgMan.h"
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
    if (status == kSuccess) status = s->WriteObject(child);
    return status == kSuccess && n == kFailSave ? kItemFailed : status;
  }
  Status PersistLoad(IStorage* s) override {
    Item got;
    Status status = s->ReadInt32(&n);
    if (status == kSuccess && n != kShortLoad) status = s->ReadObject(got.Receive());  // a short load skips it
    child = got.Get();
    return status == kSuccess && n == kFailLoad ? kItemFailed : status;
  }
  Status GetClassId(Port::XUID& out) override { return out = classId, kSuccess; }
  Status GetId(Port::XUID& out) override { return out = id, kSuccess; }
  Status SetId(const Port::XUID& in) override { return id = in, kSuccess; }

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

// The largest single allocation while watched: a file's claims must not decide how much memory its reader asks for.
std::atomic<bool> g_watchAllocations{false};
std::atomic<std::size_t> g_largestAllocation{0};
#if defined(__SANITIZE_ADDRESS__)  // where the sanitizer's allocator can tell
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
void OnAllocation(const volatile void*, std::size_t size) {
  if (g_watchAllocations && size > g_largestAllocation) g_largestAllocation = size;  // on this thread, in practice
}
bool WatchAllocations() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnAllocation, [](const volatile void*) {});
  return installed;
}
#else
bool WatchAllocations() { return false; }
#endif

// A stream file made by hand: one root storage holding `values`, each a tag and encoded fields.
struct StreamFile {
  std::string payload;
  std::uint64_t values = 0, instances = 0;
  StreamFile& Le(std::uint64_t v, int bytes = 8) {  // little-endian
    for (int i = 0; i < bytes; ++i) payload += static_cast<char>(v >> (8 * i));
    return *this;
  }
  StreamFile& Tag(std::uint8_t tag) { return ++values, Le(tag, 1); }
  StreamFile& Record(const Port::XUID& c = CItem::GetCLSID()) {  // begins an object record
    return Tag(7).Le(c.First()).Le(c.Second()).Le(0).Le(++instances);
  }
  StreamFile& Int32(std::uint32_t v) { return Tag(1).Le(v, 4); }
  StreamFile& BackRef(std::uint64_t at) { return Tag(12).Le(at); }
  StreamFile& End() { return Tag(9); }
  void Write(const std::string& path, std::uint64_t claimedValues = 0) const {
    StreamFile body;
    body.Le(claimedValues ? claimedValues : values).payload += payload + std::string(16, '\0');  // no children
    body.WriteAsPayload(path, 1);
  }
  // This file's bytes as the payload of a file of `nodes` storages.
  void WriteAsPayload(const std::string& path, std::uint64_t nodes) const {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : payload) hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001b3ull;
    StreamFile head{std::string("HvdStrm\x1a\x02\0\0\0", 12)};
    head.Le(nodes).Le(payload.size()).Le(hash);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << head.payload << payload;
  }
};

// A file whose root holds empty child storages of these names, in the order given.
void WriteChildren(const std::string& path, const std::vector<std::string>& names) {
  StreamFile body;
  body.Le(0).Le(names.size());
  for (const std::string& name : names) {
    body.Le(name.size()).payload += name;
    body.Le(0).Le(0).Le(0);
  }
  body.Le(0).WriteAsPayload(path, 1 + names.size());
}

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

TEST_F(StorageTest, AFailedSaveLeavesTheStreamAsBeforeAndRecordsThatCannotBeLoadedAreSkippedLeavingNothing) {
  {
    Item failing = MakeItem(kFailSave, MakeItem(6)), unknown = MakeItem(1, MakeItem(3));
    Item bad = MakeItem(kFailLoad, MakeItem(4)), cut = MakeItem(kShortLoad, MakeItem(5));
    Item holder = MakeItem(2, MakeItem(kFailLoad));  // fails inside its owner
    C(unknown)->classId = Port::XUID(0xdead, 0xbeef);
    std::int32_t n = 0;
    for (IPersist* p : {unknown.Get(), unknown.Get(), bad.Get(), cut.Get(), holder.Get()})
      EXPECT_TRUE(storage->WriteObject(p) == kSuccess && storage->WriteInt32(++n) == kSuccess);
    EXPECT_EQ(storage->WriteObject(failing), kItemFailed);
    EXPECT_EQ(C(failing)->count.GetRefCount(), 1);                 // the stream let go
    EXPECT_EQ(storage->WriteObject(C(failing)->child), kSuccess);  // in full: its record inside went away
  }
  EXPECT_GT(g_alive, 0);  // held by the stream until Rewind
  EXPECT_TRUE(control->Rewind() == kSuccess && g_alive == 0);
  // The second is a back reference to a skipped record.
  const Status expected[] = {kFailure, kFailure, kItemFailed, kFailure, kItemFailed};
  for (std::int32_t n = 1; n <= 5; ++n) {
    IPersist* got = reinterpret_cast<IPersist*>(&got);
    std::int32_t i = 0;
    EXPECT_TRUE(storage->ReadObject(&got) == expected[n - 1] && got == nullptr && g_alive == 0) << n;
    EXPECT_TRUE(storage->ReadInt32(&i) == kSuccess && i == n) << n;
  }
  Item child;
  EXPECT_TRUE(storage->ReadObject(child.Receive()) == kSuccess && C(child)->n == 6 && !C(child)->child);
}

TEST_F(StorageTest, AFileRoundTripGivesEqualValuesAndObjectsAndDamagedFilesAreRefusedWithoutChange) {
  const std::string good = dir / "good.bin", bad = dir / "bad.bin";
  Graph g;
  g.Write(storage);
  ASSERT_EQ(control->SaveToFile(good.c_str()), kSuccess);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
  EXPECT_EQ(control->SaveToFile((dir / "missing/stream.bin").c_str()), kFailure);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});

  std::int32_t i = 0;
  std::int64_t big = 0;
  EXPECT_TRUE(storage->ReadInt32(&i) == kSuccess && i == 7);
  auto refused = [&](const std::string& content) {
    std::ofstream(bad, std::ios::binary | std::ios::trunc) << content;
    return control->LoadFromFile(bad.c_str()) == kFailure;
  };
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string flipped = bytes;
    flipped[n] = static_cast<char>(flipped[n] ^ 0x5A);
    EXPECT_TRUE(refused(bytes.substr(0, n))) << "prefix " << n;
    EXPECT_TRUE(refused(flipped)) << "byte " << n;
  }
  EXPECT_TRUE(refused(bytes + '\0'));
  EXPECT_EQ(control->LoadFromFile((dir / "none.bin").c_str()), kFailure);
  EXPECT_TRUE(storage->ReadInt64(&big) == kSuccess && big == INT64_MAX);  // neither content nor position changed

  EXPECT_EQ(control->LoadFromFile(good.c_str()), kSuccess);  // replaces and rewinds
  ASSERT_EQ(g.Read(storage), (std::vector<Status>{kFailure, kSuccess, kFailure, kSuccess, kFailure, kSuccess, kFailure,
                                                  kSuccess, kFailure, kSuccess, kFailure, kSuccess, kFailure}));
  EXPECT_TRUE(g.i == 7 && g.big == INT64_MAX && g.readText == g.text);
  EXPECT_TRUE(Same(g.read[0], g.first) && Same(g.read[1], g.second) && Same(C(g.read[0])->child, g.child));
  EXPECT_TRUE(g.read[2].Get() == g.read[0].Get() && C(g.read[1])->child.Get() == C(g.read[0])->child.Get());
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

TEST_F(StorageTest, ObjectsThatContainThemselvesAreNeitherWrittenNorRead) {
  {
    Item loop = MakeItem(1);
    C(loop)->child = loop.Get();
    EXPECT_EQ(storage->WriteObject(loop), kFailure);
    C(loop)->child = nullptr;
  }
  // One item whose child is itself, and two that hold each other.
  const std::string path = dir / "loops.bin";
  StreamFile file;
  file.Record().Int32(1).BackRef(0).End();
  file.Record().Int32(2).Record().Int32(3).BackRef(4).End().End().Write(path);
  ASSERT_EQ(control->LoadFromFile(path.c_str()), kSuccess);
  Item got;
  for (int n = 0; n < 2; ++n) EXPECT_TRUE(storage->ReadObject(got.ReleaseAndReceive()) == kFailure && !got) << n;
  EXPECT_TRUE(control->Rewind() == kSuccess && g_alive == 0);
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

  const std::string path = dir / "deep.bin";
  StreamFile deep;
  for (int n = 0; n < 20000; ++n) deep.Record().Int32(n);
  for (int n = 0; n < 20000; ++n) deep.End();
  deep.Write(path);
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);
  StreamFile().End().Write(path);  // an end without a record
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);

  // A million values claimed, each one byte in the file and none valid.
  StreamFile claims{std::string(std::size_t{1} << 20, '\0')};
  claims.Write(path, std::size_t{1} << 20);
  g_largestAllocation = 0;
  g_watchAllocations = WatchAllocations();
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure);
  const bool watched = g_watchAllocations.exchange(false);
  EXPECT_TRUE(!watched || g_largestAllocation <= std::filesystem::file_size(path)) << g_largestAllocation;
}

// A child storage that no path reaches (an empty name, or one holding the separator, which would
// stand behind the storages it names) is never made, and a file holding one is refused with an
// error naming the file, never loaded with the storage out of reach.
TEST_F(StorageTest, StorageNamesThatNoPathReachesAreNeitherMadeNorLoaded) {
  AutoRelease<IStorage> child;
  for (const char* name : {"", "/", "//"})
    EXPECT_EQ(storage->OpenStorage(name, kCreate, child.ReleaseAndReceive()), kFailure) << name;
  const std::string path = dir / "named.bin";
  for (const std::vector<std::string>& names :
       std::vector<std::vector<std::string>>{{""}, {"/"}, {"a/b"}, {"a", "a/b"}}) {
    WriteChildren(path, names);
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(control->LoadFromFile(path.c_str()), kFailure) << names.back();
    const auto said = Port_MsgManData::Captured();
    EXPECT_TRUE(said.size() == 1 && said[0].severity == Port_MsgManData::Severity::Error &&
                said[0].text.find(path) != std::string::npos)
        << names.back();
  }
  WriteChildren(path, {"a", "b"});
  EXPECT_EQ(control->LoadFromFile(path.c_str()), kSuccess);
  EXPECT_EQ(storage->OpenStorage("b", kRead, child.ReleaseAndReceive()), kSuccess);
}

// A FIFO in the file's place is refused at once: the child process's alarm turns a wait for a
// writer into a failure.
TEST_F(StorageTest, AFifoInTheFilesPlaceIsRefusedWithoutWaiting) {
  const std::string path = dir / "fifo.bin";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(120);
    ::_exit(control->LoadFromFile(path.c_str()) == kFailure ? 0 : 1);
  }
  int status = 0;
  EXPECT_TRUE(::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
