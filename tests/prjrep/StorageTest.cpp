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

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Prjrep::IPersist;
using Prjrep::IStorage;
using Status = std::uint64_t;

constexpr Status kItemFailed = 0x5EED;
constexpr Status kInjected = 0x1000000200000099ull;

#define RETURN_IF_FAILED(expr)                        \
  do {                                                \
    if (const Status s_ = (expr); s_ != 1) return s_; \
  } while (0)

int g_alive = 0;  // test components alive

// A persistent component: one value of every kind, an owned child and a link. The link
// holds no reference, since it points to the object itself or to one that owns it.
class CItem : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{6b1f0e2a-3c4d-4e5f-8a9b-0c1d2e3f4a5b}")
  CItem() { ++g_alive; }
  ~CItem() override { --g_alive; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{IPersist::GetIID(), &m_persist},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), &m_persist}});
  }
  IPersist* Persist() { return &m_persist; }
  static CItem* Of(IPersist* p) {
    auto* x = dynamic_cast<XPersist*>(p);
    return x ? x->Owner() : nullptr;
  }

  std::int32_t count = 0, size = 0;
  std::int64_t big = 0;
  bool flag = false;
  std::string name;
  Port::XUID tag, id, classId = GetCLSID();
  AutoPtr<IPersist> child;
  IPersist* link = nullptr;

  // Failures chosen by name: a failing save writes its data first.
  static inline std::string s_failSave, s_failLoad, s_shortLoad;

 private:
  Status Save(IStorage* s) {
    const Port::StringBase<char> text(name);
    RETURN_IF_FAILED(s->WriteInt32(count));
    RETURN_IF_FAILED(s->WriteLong(size));
    RETURN_IF_FAILED(s->WriteInt64(big));
    RETURN_IF_FAILED(s->WriteBool(flag));
    RETURN_IF_FAILED(s->WriteString(&text));
    RETURN_IF_FAILED(s->WriteXuid(&tag));
    RETURN_IF_FAILED(s->WriteObject(child.Get()));
    RETURN_IF_FAILED(s->WriteObjectRef(link));
    return name == s_failSave ? kItemFailed : 1;
  }
  Status Load(IStorage* s) {
    Port::StringBase<char> text;
    AutoRelease<IPersist> got;
    RETURN_IF_FAILED(s->ReadInt32(&count));
    RETURN_IF_FAILED(s->ReadLong(&size));
    RETURN_IF_FAILED(s->ReadInt64(&big));
    RETURN_IF_FAILED(s->ReadBool(&flag));
    RETURN_IF_FAILED(s->ReadString(&text));
    name = text.str();
    RETURN_IF_FAILED(s->ReadXuid(&tag));
    RETURN_IF_FAILED(s->ReadObject(got.Receive()));
    child = got.Get();
    if (name == s_shortLoad) return 1;
    IPersist* linked = nullptr;
    RETURN_IF_FAILED(s->ReadObjectRef(&linked));
    link = linked;
    Prjrep::ReleaseInterface(linked);
    return name == s_failLoad ? kItemFailed : 1;
  }

  struct XPersist : Hvd::TNested<CItem, IPersist> {
    using TNested::TNested;
    CItem* Owner() { return m_pThis; }
    Status PersistLoad(IStorage* s) override { return m_pThis->Load(s); }
    Status PersistSave(IStorage* s) override { return m_pThis->Save(s); }
    Status GetClassId(Port::XUID& out) override {
      out = m_pThis->classId;
      return 1;
    }
    Status GetId(Port::XUID& out) override {
      out = m_pThis->id;
      return 1;
    }
    Status SetId(const Port::XUID& in) override {
      m_pThis->id = in;
      return 1;
    }
  } m_persist{this};
  Prjrep::TRefCountHelper<CItem> m_refCount{this};
};

// A registered class that cannot be loaded: it answers no IPersist.
class CPlain : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{6b1f0e2a-3c4d-4e5f-8a9b-0c1d2e3f4a5c}")
  CPlain() { ++g_alive; }
  ~CPlain() override { --g_alive; }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
  }
  Prjrep::TRefCountHelper<CPlain> m_refCount{this};
};

using Item = AutoRelease<IPersist>;

Item MakeItem(const std::string& name, int n = 1) {
  auto* item = new CItem();
  item->name = name;
  item->count = n;
  item->size = INT32_MIN + n;
  item->big = INT64_MAX - n;
  item->flag = n % 2 == 1;
  item->tag = Port::XUID(0x1234, static_cast<std::uint64_t>(n));
  item->id = Port::XUID::New();
  return Item(item->Persist());
}

CItem* C(IPersist* p) { return CItem::Of(p); }

void ExpectSameItem(IPersist* read, IPersist* written) {
  CItem* a = CItem::Of(read);
  CItem* b = CItem::Of(written);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->id, b->id);
  EXPECT_EQ(a->classId, b->classId);
  EXPECT_EQ(a->name, b->name);
  EXPECT_EQ(a->count, b->count);
  EXPECT_EQ(a->size, b->size);
  EXPECT_EQ(a->big, b->big);
  EXPECT_EQ(a->flag, b->flag);
  EXPECT_EQ(a->tag, b->tag);
}

template <class X>
void Register() {
  auto* factory = new Port::TFactory<X>();
  CitP::Factory::RegisterFactory(X::GetCLSID(), factory);
  Prjrep::ReleaseInterface(factory);
}

struct StorageTest : ::testing::Test {
  void SetUp() override {
    Register<CItem>();
    Register<CPlain>();
    CItem::s_failSave = CItem::s_failLoad = CItem::s_shortLoad = "";
  }
  void TearDown() override {
    storage.Assign(nullptr);
    CitP::Factory::Shutdown();
    EXPECT_EQ(g_alive, 0);
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  std::string File(const char* name) {
    if (dir.empty()) {
      std::string pattern = ::testing::TempDir() + "storage_XXXXXX";
      dir = ::mkdtemp(pattern.data()) ? pattern : "";
    }
    return dir + "/" + name;
  }
  AutoRelease<IStorage> storage{Prjrep::CreateStorage()};
  AutoCast<Prjrep::IStorageControl> control{storage.Get()};
  std::string dir;
};

// One read of each kind, and a write of a value that only that read accepts.
struct Kind {
  const char* name;
  std::function<Status(IStorage*)> write, read;
};

std::vector<Kind> Kinds() {
  return {
      {"int32", [](IStorage* s) { return s->WriteInt32(1); },
       [](IStorage* s) { std::int32_t v; return s->ReadInt32(&v); }},
      {"long", [](IStorage* s) { return s->WriteLong(1); },
       [](IStorage* s) { std::int32_t v; return s->ReadLong(&v); }},
      {"int64", [](IStorage* s) { return s->WriteInt64(1); },
       [](IStorage* s) { std::int64_t v; return s->ReadInt64(&v); }},
      {"bool", [](IStorage* s) { return s->WriteBool(true); }, [](IStorage* s) { bool v; return s->ReadBool(&v); }},
      {"string", [](IStorage* s) { Port::StringBase<char> t("1"); return s->WriteString(&t); },
       [](IStorage* s) { Port::StringBase<char> v; return s->ReadString(&v); }},
      {"xuid", [](IStorage* s) { Port::XUID x(1, 1); return s->WriteXuid(&x); },
       [](IStorage* s) { Port::XUID v; return s->ReadXuid(&v); }},
      {"object", [](IStorage* s) { return s->WriteObject(nullptr); },
       [](IStorage* s) { IPersist* v = nullptr; return s->ReadObject(&v); }},
      {"object reference", [](IStorage* s) { return s->WriteObjectRef(nullptr); },
       [](IStorage* s) { IPersist* v = nullptr; return s->ReadObjectRef(&v); }},
  };
}

TEST_F(StorageTest, ValuesComeBackInWrittenOrderWithReadsAndWritesMixed) {
  const Port::XUID x = Port::XUID::New();
  const Port::StringBase<char> empty, text(std::string("two\0words", 9));
  std::int32_t i = 0, version = 0;
  EXPECT_EQ(storage->WriteInt32(-5), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, -5);
  // A braced list is evaluated in order; the version is no value of the stream.
  for (Status status : {storage->WriteLong(INT32_MIN), storage->WriteInt64(INT64_MAX), storage->WriteBool(true),
                        storage->WriteBool(false), storage->GetFormatVersion(&version), storage->WriteString(&empty),
                        storage->WriteString(&text), storage->WriteXuid(&x)}) {
    EXPECT_EQ(status, 1u);
  }
  std::int64_t big = 0;
  bool yes = false, no = true;
  Port::StringBase<char> s1("x"), s2;
  Port::XUID y;
  for (Status status : {storage->ReadLong(&i), storage->ReadInt64(&big), storage->ReadBool(&yes),
                        storage->ReadBool(&no), storage->ReadString(&s1), storage->ReadString(&s2),
                        storage->ReadXuid(&y)}) {
    EXPECT_EQ(status, 1u);
  }
  EXPECT_EQ(version, 1);
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_EQ(big, INT64_MAX);
  EXPECT_TRUE(yes);
  EXPECT_FALSE(no);
  EXPECT_EQ(s1, empty);
  EXPECT_EQ(s2, text);
  EXPECT_EQ(y, x);
  EXPECT_EQ(storage->ReadInt32(&i), 0u);  // the end
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, -5);
  EXPECT_EQ(control->OperationCount(), 19);
}

TEST_F(StorageTest, EachReadAcceptsOnlyItsOwnKindAndAFailedReadDoesNotAdvance) {
  const auto kinds = Kinds();
  for (const Kind& written : kinds) {
    ASSERT_EQ(written.write(storage), 1u) << written.name;
    for (const Kind& other : kinds) {
      if (&other == &written) continue;
      EXPECT_EQ(other.read(storage), 0u) << other.name << " read " << written.name;
    }
    EXPECT_EQ(written.read(storage), 1u) << written.name;
    EXPECT_EQ(written.read(storage), 0u) << written.name << " at the end";
  }

  // Missing pointers are refused and neither write nor consume.
  IPersist* sentinel = reinterpret_cast<IPersist*>(&sentinel);
  std::int32_t i = 0;
  EXPECT_EQ(storage->WriteString(nullptr), 0u);
  EXPECT_EQ(storage->WriteXuid(nullptr), 0u);
  EXPECT_EQ(storage->GetFormatVersion(nullptr), 0u);
  EXPECT_EQ(storage->ReadObject(&sentinel), 0u);
  EXPECT_EQ(sentinel, nullptr);
  EXPECT_EQ(storage->WriteInt32(4), 1u);
  EXPECT_EQ(storage->ReadInt32(nullptr), 0u);
  EXPECT_EQ(storage->ReadObject(nullptr), 0u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 4);
}

TEST_F(StorageTest, AnObjectWrittenTwiceReadsBackAsOneAlsoThroughChildrenAndLinks) {
  Item parent = MakeItem("parent", 1), other = MakeItem("other", 2), self = MakeItem("self", 3);
  {
    Item child = MakeItem("child", 4);
    C(parent)->child = child.Get();
    C(other)->child = child.Get();  // shared
    C(child)->link = parent;        // back to its owner
    C(self)->link = self;
  }
  IPersist* child = C(parent)->child;
  for (IPersist* p : {parent.Get(), other.Get(), self.Get(), parent.Get()}) EXPECT_EQ(storage->WriteObject(p), 1u);
  EXPECT_EQ(storage->WriteObjectRef(child), 1u);

  Item p1, o1, s1, p2, c1;
  EXPECT_EQ(storage->ReadObject(p1.Receive()), 1u);
  EXPECT_EQ(storage->ReadObject(o1.Receive()), 1u);
  EXPECT_EQ(storage->ReadObject(s1.Receive()), 1u);
  EXPECT_EQ(storage->ReadObject(p2.Receive()), 1u);
  IPersist* got = nullptr;
  EXPECT_EQ(storage->ReadObject(&got), 0u);  // a back reference of the other kind
  EXPECT_EQ(storage->ReadObjectRef(c1.Receive()), 1u);
  ExpectSameItem(p1, parent);
  ExpectSameItem(o1, other);
  ExpectSameItem(s1, self);
  ExpectSameItem(c1, child);
  EXPECT_EQ(p2.Get(), p1.Get());
  EXPECT_EQ(C(p1)->child.Get(), c1.Get());
  EXPECT_EQ(C(o1)->child.Get(), c1.Get());
  EXPECT_EQ(C(c1)->link, p1.Get());
  EXPECT_EQ(C(s1)->link, s1.Get());
  EXPECT_EQ(C(c1)->child.Get(), nullptr);  // null objects come back null
}

TEST_F(StorageTest, TheStreamKeepsWhatItRemembersUntilRewindAndForgetsItThen) {
  Item a = MakeItem("a");
  EXPECT_EQ(storage->WriteObject(a), 1u);
  a.Assign(nullptr);
  EXPECT_EQ(g_alive, 1);
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(g_alive, 0);

  // Forgotten: the same object is written in full again.
  Item b = MakeItem("b");
  EXPECT_EQ(storage->WriteObject(b), 1u);
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(storage->WriteObject(b), 1u);
  Item r1, r2;
  EXPECT_EQ(storage->ReadObject(r1.Receive()), 1u);  // the record of `a`
  EXPECT_EQ(storage->ReadObject(r1.Receive()), 1u);
  EXPECT_EQ(storage->ReadObject(r2.Receive()), 1u);
  EXPECT_NE(r1.Get(), r2.Get());
  ExpectSameItem(r2, b);
  r1.Assign(nullptr);
  r2.Assign(nullptr);
  b.Assign(nullptr);
  EXPECT_EQ(g_alive, 4);  // three read and `b` written, held by the stream
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(g_alive, 0);
}

TEST_F(StorageTest, AFailedSaveLeavesTheStreamAsBefore) {
  Item parent = MakeItem("parent"), child = MakeItem("child", 2);
  C(parent)->child = child.Get();
  CItem::s_failSave = "parent";
  EXPECT_EQ(storage->WriteInt32(1), 1u);
  EXPECT_EQ(storage->WriteObject(parent), kItemFailed);
  EXPECT_EQ(static_cast<Prjrep::IRefCount*>(parent->QueryInterface(Prjrep::IRefCount::GetIID()))->GetRefCount(), 1);
  EXPECT_EQ(storage->WriteObject(child), 1u);  // in full: its first record went away
  EXPECT_EQ(storage->WriteInt32(2), 1u);

  std::int32_t i = 0;
  Item got;
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(storage->ReadObject(got.Receive()), 1u);
  ExpectSameItem(got, child);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 2);
}

TEST_F(StorageTest, RecordsThatCannotBeLoadedAreSkippedWithNothingLeftBehind) {
  {
    Item unknown = MakeItem("unknown"), plain = MakeItem("plain"), bad = MakeItem("bad"), shortish = MakeItem("short"),
         holder = MakeItem("holder");
    C(unknown)->classId = Port::XUID(0xdead, 0xbeef);
    C(unknown)->child = MakeItem("inner").Get();
    C(plain)->classId = CPlain::GetCLSID();
    C(bad)->child = MakeItem("inner").Get();
    C(holder)->child = MakeItem("bad").Get();  // fails inside its owner
    int n = 0;
    for (IPersist* p : {unknown.Get(), unknown.Get(), plain.Get(), bad.Get(), shortish.Get(), holder.Get()}) {
      EXPECT_EQ(storage->WriteObject(p), 1u);
      EXPECT_EQ(storage->WriteInt32(++n), 1u);
    }
  }
  EXPECT_EQ(control->Rewind(), 1u);
  EXPECT_EQ(g_alive, 0);
  CItem::s_failLoad = "bad";
  CItem::s_shortLoad = "short";
  const Status expected[] = {0, 0 /* back reference to a skipped record */, 0, kItemFailed, 0, kItemFailed};
  for (int n = 1; n <= 6; ++n) {
    IPersist* got = reinterpret_cast<IPersist*>(&got);
    EXPECT_EQ(storage->ReadObject(&got), expected[n - 1]) << n;
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(g_alive, 0) << n;
    std::int32_t i = 0;
    EXPECT_EQ(storage->ReadInt32(&i), 1u);
    EXPECT_EQ(i, n);
  }
}

TEST_F(StorageTest, AFileRoundTripGivesEqualObjectsAndLoadingReplacesAndRewinds) {
  Item parent = MakeItem("parent"), self = MakeItem("self", 2);
  C(parent)->child = MakeItem("child", 3).Get();
  C(C(parent)->child)->link = parent;
  C(self)->link = self;
  const Port::StringBase<char> text(std::string("af\0ter", 6));
  EXPECT_EQ(storage->WriteObject(parent), 1u);
  EXPECT_EQ(storage->WriteObjectRef(self), 1u);
  EXPECT_EQ(storage->WriteObjectRef(C(parent)->child), 1u);
  EXPECT_EQ(storage->WriteString(&text), 1u);
  const std::string path = File("stream.bin");
  ASSERT_EQ(control->SaveToFile(path.c_str()), 1u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

  AutoRelease<IStorage> fresh(Prjrep::CreateStorage());
  AutoCast<Prjrep::IStorageControl> freshControl(fresh.Get());
  EXPECT_EQ(fresh->WriteInt32(9), 1u);
  EXPECT_EQ(freshControl->LoadFromFile(path.c_str()), 1u);
  Item p, s, c;
  Port::StringBase<char> after;
  EXPECT_EQ(fresh->ReadObject(p.Receive()), 1u);
  IPersist* got = nullptr;
  EXPECT_EQ(fresh->ReadObject(&got), 0u);  // a record of the other kind
  EXPECT_EQ(fresh->ReadObjectRef(s.Receive()), 1u);
  EXPECT_EQ(fresh->ReadObjectRef(c.Receive()), 1u);
  EXPECT_EQ(fresh->ReadString(&after), 1u);
  EXPECT_EQ(after, text);
  std::int32_t i = 0;
  EXPECT_EQ(fresh->ReadInt32(&i), 0u);  // the earlier content is gone
  ExpectSameItem(p, parent);
  ExpectSameItem(s, self);
  ExpectSameItem(c, C(parent)->child);
  EXPECT_EQ(C(p)->child.Get(), c.Get());
  EXPECT_EQ(C(c)->link, p.Get());
  EXPECT_EQ(C(s)->link, s.Get());
  EXPECT_EQ(control->SaveToFile((dir + "/missing/stream.bin").c_str()), 0u);
}

TEST_F(StorageTest, DamagedFilesAreRefusedAndLeaveTheStreamAsItWas) {
  {
    Item parent = MakeItem("p");
    C(parent)->child = MakeItem("c").Get();
    EXPECT_EQ(storage->WriteObject(parent), 1u);
  }
  const std::string good = File("good.bin"), bad = File("bad.bin");
  ASSERT_EQ(control->SaveToFile(good.c_str()), 1u);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 40u);

  AutoRelease<IStorage> target(Prjrep::CreateStorage());
  AutoCast<Prjrep::IStorageControl> targetControl(target.Get());
  std::int32_t i = 0;
  EXPECT_EQ(target->WriteInt32(7), 1u);
  EXPECT_EQ(target->WriteInt32(8), 1u);
  EXPECT_EQ(target->ReadInt32(&i), 1u);
  auto refused = [&](const std::string& content) {
    std::ofstream(bad, std::ios::binary | std::ios::trunc) << content;
    return targetControl->LoadFromFile(bad.c_str()) == 0;
  };
  for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_TRUE(refused(bytes.substr(0, n))) << "prefix " << n;
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string flipped = bytes;
    flipped[n] = static_cast<char>(flipped[n] ^ 0x5A);
    EXPECT_TRUE(refused(flipped)) << "byte " << n;
  }
  EXPECT_TRUE(refused(bytes + '\0'));
  EXPECT_EQ(targetControl->LoadFromFile((dir + "/none.bin").c_str()), 0u);
  EXPECT_EQ(targetControl->LoadFromFile(dir.c_str()), 0u);
  EXPECT_EQ(targetControl->LoadFromFile(nullptr), 0u);
  EXPECT_EQ(target->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 8);
  EXPECT_EQ(target->ReadInt32(&i), 0u);
  EXPECT_EQ(targetControl->LoadFromFile(good.c_str()), 1u);
}

TEST_F(StorageTest, AnInjectedFaultFailsExactlyTheChosenOperation) {
  EXPECT_EQ(storage->WriteObject(MakeItem("a")), 1u);  // its own eight values count too
  EXPECT_EQ(control->OperationCount(), 9);
  control->FailOperation(2, kInjected);
  EXPECT_EQ(storage->WriteInt32(1), 1u);
  EXPECT_EQ(storage->WriteInt32(2), kInjected);
  EXPECT_EQ(storage->WriteInt32(3), 1u);
  control->FailOperation(1, kInjected);
  control->FailOperation(0, kInjected);
  IPersist* got = nullptr;
  EXPECT_EQ(storage->ReadObject(&got), 1u);
  Prjrep::ReleaseInterface(got);
  std::int32_t i = 0;
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(storage->ReadInt32(&i), 1u);
  EXPECT_EQ(i, 3);  // the failed write wrote nothing
  EXPECT_EQ(control->OperationCount(), 9 + 3 + 1 + 8 + 2);
}

// Writes a small graph, rewinds and reads it back; the statuses of the top-level operations.
std::vector<Status> WriteThenRead(IStorage* s, Prjrep::IStorageControl* control) {
  std::vector<Status> statuses;
  const Port::StringBase<char> text("end");
  {
    Item parent = MakeItem("parent"), self = MakeItem("self", 2);
    C(parent)->child = MakeItem("child", 3).Get();
    C(C(parent)->child)->link = parent;
    C(self)->link = self;
    statuses.push_back(s->WriteInt32(1));
    statuses.push_back(s->WriteObject(parent));
    statuses.push_back(s->WriteObjectRef(C(parent)->child));
    statuses.push_back(s->WriteObject(self));
    statuses.push_back(s->WriteObject(self));
    statuses.push_back(s->WriteString(&text));
  }
  control->Rewind();
  std::int32_t version = 0, i = 0;
  Item p, c, s1, s2;
  Port::StringBase<char> got;
  statuses.push_back(s->GetFormatVersion(&version));
  statuses.push_back(s->ReadInt32(&i));
  statuses.push_back(s->ReadObject(p.Receive()));
  statuses.push_back(s->ReadObjectRef(c.Receive()));
  statuses.push_back(s->ReadObject(s1.Receive()));
  statuses.push_back(s->ReadObject(s2.Receive()));
  statuses.push_back(s->ReadString(&got));
  return statuses;
}

TEST_F(StorageTest, EveryOperationOfAScenarioCanFailWithTheInjectedStatusAndLeakNothing) {
  for (Status status : WriteThenRead(storage, control)) EXPECT_EQ(status, 1u);
  const std::int64_t total = control->OperationCount();
  ASSERT_GT(total, 40);
  storage.Assign(nullptr);
  ASSERT_EQ(g_alive, 0);

  for (std::int64_t k = 1; k <= total; ++k) {
    AutoRelease<IStorage> s(Prjrep::CreateStorage());
    AutoCast<Prjrep::IStorageControl> c(s.Get());
    c->FailOperation(k, kInjected);
    const std::vector<Status> statuses = WriteThenRead(s, c);
    std::size_t first = 0;
    while (first < statuses.size() && statuses[first] == 1) ++first;
    ASSERT_LT(first, statuses.size()) << "k=" << k;
    EXPECT_EQ(statuses[first], kInjected) << "k=" << k;
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kInjected), 1) << "k=" << k;
    s.Assign(nullptr);
    EXPECT_EQ(g_alive, 0) << "k=" << k;
  }
}

}  // namespace
