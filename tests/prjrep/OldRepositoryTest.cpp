// The older repository's face of the repository: client areas by any spelling, the open
// modes, object tables, typed record values and the fixture writer that makes them.

#include "Port/FaultInjection.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IRegKeyPairs.h"
#include "Prjrep/OldRecords.h"
#include "Prjrep/OldRepositoryWriter.h"
#include "StandInFixture.h"

namespace {

using namespace testing_support;
using namespace Prjrep;
using Hvd::kFailure;
using Hvd::kSuccess;
using Node = AutoRelease<IStorage>;

const Port::XUID kClassA("{00000000-0000-0000-0000-00000000000a}");
const Port::XUID kClassB("{00000000-0000-0000-0000-00000000000b}");

// Reads one int32 and one string from the entry, remembering them.
class Probe final : public IPersist {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID&) override { return this; }
  Hvd::Status PersistLoad(IStorage* s) override {
    ++loads;
    if (old::ReadInt(s, &number) != kSuccess) return kFailure;
    return old::ReadString(s, &text);
  }
  Hvd::Status PersistSave(IStorage*) override { return kSuccess; }
  Hvd::Status GetClassId(Port::XUID&) override { return kFailure; }
  Hvd::Status GetId(Port::XUID&) override { return kFailure; }
  Hvd::Status SetId(const Port::XUID&) override { return kFailure; }
  std::int32_t number = 0;
  Text text;
  int loads = 0;
};

class OldRepositoryTest : public StandInFixture {
 protected:
  std::string Make() {
    old::RepositoryWriter writer;
    writer.SetProjectVersion(12);
    IStorage* a = writer.AddObject(Port::XUID(1, 1), kClassA);
    std::ignore = old::WriteInt(a, 7);
    std::ignore = old::WriteString(a, "seven");
    IStorage* b = writer.AddObject(Port::XUID(2, 2), kClassB);
    std::ignore = old::WriteString(b, "wrong order");
    writer.AddArea("Cs");
    writer.SetKey("/Corvane11", "XHLC_FILE", "p.xhlc");
    const std::string path = dir / "old.hlc";
    EXPECT_TRUE(writer.Save(path));
    return path;
  }
  Node OpenArea(const std::string& path, const char* area, std::int32_t mode, AutoRelease<IProjectRepositoryInternal>& repo) {
    repo = Create<IProjectRepositoryInternal>(ClassId::Repository());
    Node storage;
    std::ignore = repo->Open(path.c_str(), area, mode, storage.Receive(), nullptr);
    return storage;
  }
};

TEST_F(OldRepositoryTest, AreasAndTheVersionStreamAreReachedHoweverTheClientSpellsThem) {
  const std::string path = Make();
  AutoRelease<IProjectRepositoryInternal> repo;
  Node plain = OpenArea(path, "Corvane", kOpenRepositoryRead, repo);
  ASSERT_TRUE(plain);
  Node slashed = OpenArea(path, "/Corvane", kOpenRepositoryRead, repo);
  ASSERT_TRUE(slashed);
  Node main, stream;
  ASSERT_EQ(slashed->OpenStorage("/Corvane/hvd_project_main", kOpenExisting, main.Receive()), kSuccess);
  ASSERT_EQ(main->OpenItem("hvd_project_main", kRead, stream.Receive()), kSuccess);
  std::int32_t version = 0;
  EXPECT_TRUE(old::ReadVersion(stream.Get(), &version) == kSuccess && version == 12);
  // A missing area or file is no repository to read; creation makes them.
  EXPECT_FALSE(OpenArea(path, "HierarchicalDesign", kOpenRepositoryRead, repo));
  EXPECT_FALSE(OpenArea(dir / "none.hlc", "Corvane", kOpenRepositoryRead, repo));
  EXPECT_TRUE(OpenArea(dir / "new.hlc", "Corvane", kOpenRepositoryCreate, repo));
}

TEST_F(OldRepositoryTest, TheObjectTableKeepsItsOrderAndValuesKeepTheirTypes) {
  const std::string path = Make();
  EXPECT_EQ(old::CountObjects(path, "Corvane"), 2);
  AutoRelease<IProjectRepositoryInternal> repo;
  Node area = OpenArea(path, "Corvane", kOpenRepositoryRead, repo);
  AutoCast<IObjTableAccess> access(area.Get());
  AutoRelease<IObjectTableInfoIterator> it;
  ASSERT_TRUE(access && access->GetObjectTableIterator(it.Receive()) == kSuccess);
  ASSERT_EQ(it->Reset(), kSuccess);
  Port::XUID instance, type;
  ASSERT_TRUE(it->GetInfo(&instance, &type, 0, 0, nullptr) == kSuccess && instance == Port::XUID(1, 1) && type == kClassA);
  Probe first;
  EXPECT_TRUE(it->LoadObject(&first) == kSuccess && first.number == 7 && first.text == "seven");
  ASSERT_EQ(it->Next(), kSuccess);
  Probe second;  // its record holds a string where the probe reads an int32
  EXPECT_TRUE(it->GetInfo(&instance, &type, 0, 0, nullptr) == kSuccess && type == kClassB);
  EXPECT_EQ(it->LoadObject(&second), kFailure);
  EXPECT_EQ(second.number, 0);
  EXPECT_TRUE(it->Next() == kSuccess && it->IsDone());
  EXPECT_EQ(it->LoadObject(&second), kFailure);
  EXPECT_EQ(it->Next(), kFailure);
}

TEST_F(OldRepositoryTest, ClearingAnAreaKeepsTheOthersAndTheSections) {
  const std::string path = Make();
  {
    AutoRelease<IProjectRepositoryInternal> repo;
    Node area = OpenArea(path, "Corvane", kCreate, repo);
    ASSERT_TRUE(area);
    AutoCast<IRegKeyStorage> sections(repo.Get());
    AutoRelease<IRegKeyPairs> keys;
    ASSERT_EQ(sections->OpenKey("/Corvane11", kOpenExisting, keys.Receive()), kSuccess);
    ASSERT_EQ(keys->SetValue("HLC_VERSION_LAST_SAVED_WITH", "9.1"), kSuccess);
    ASSERT_EQ(AutoCast<IProjectRepository>(repo.Get())->Close(), kSuccess);
  }
  EXPECT_EQ(old::CountAreaContents(path, "Corvane"), 0);
  EXPECT_EQ(old::CountAreaContents(path, "Cs"), 1);
  EXPECT_EQ(old::ReadKey(path, "/Corvane11", "XHLC_FILE"), "p.xhlc");
  EXPECT_EQ(old::ReadKey(path, "/Corvane11", "HLC_VERSION_LAST_SAVED_WITH"), "9.1");
}

TEST_F(OldRepositoryTest, InjectedFaultsTakeTheOpenTheTableAccessAndTheIterator) {
  const std::string path = Make();
  Port::FaultInjection::Scope scope;
  AutoRelease<IProjectRepositoryInternal> repo;
  Port::FaultInjection::Fail("RepositoryOpen", 1);
  EXPECT_FALSE(OpenArea(path, "Corvane", kOpenRepositoryRead, repo));
  Node area = OpenArea(path, "Corvane", kOpenRepositoryRead, repo);
  ASSERT_TRUE(area);
  Port::FaultInjection::Fail("IObjTableAccess", 1);
  EXPECT_FALSE(AutoCast<IObjTableAccess>(area.Get()));
  AutoCast<IObjTableAccess> access(area.Get());
  ASSERT_TRUE(access);
  Port::FaultInjection::Fail("ObjectTableIterator", 1);
  AutoRelease<IObjectTableInfoIterator> it;
  EXPECT_EQ(access->GetObjectTableIterator(it.Receive()), kFailure);
  EXPECT_FALSE(it);
}

}  // namespace
