// The directory bundle: its life cycle, the items added to it with their companions, and the
// extraction of its contents.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProjectCopy.h"
#include "Port/FaultInjection.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using Hvd::kSuccess;
using Prjrep::AutoCast, Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Names = std::set<std::string>;

void Write(const fs::path& path, const std::string& text = "x") {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// Every file below `root`, relative to it.
Names Tree(const fs::path& root) {
  Names names;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) names.insert(fs::relative(entry.path(), root).string());
  return names;
}

struct DirectoryBundleTest : ::testing::Test {
  void SetUp() override {
    InstFactoryEntry(), Prjrep::RegisterComponents();
    root = fs::temp_directory_path() / ("bundle_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "src");
  }
  void TearDown() override {
    bundle = nullptr;
    Prjrep::ResetNamedObjectRegistry(), CitP::Factory::Shutdown();
    fs::remove_all(root);
  }
  void Make(const char* name = "copy") {
    bundle = AutoRelease<Hvd::IProjectBundle>(CitP::Factory::CreateInstance(Hvd::ClassId::DirectoryProjectBundle()));
    ASSERT_TRUE(bundle);
    ASSERT_EQ(bundle->Initialize(name, root.c_str(), (root / "src").c_str()), kSuccess);
  }

  fs::path root;
  AutoRelease<Hvd::IProjectBundle> bundle;
  Port::FaultInjection::Scope faults;
};

TEST_F(DirectoryBundleTest, LifeCycle) {
  bundle = AutoRelease<Hvd::IProjectBundle>(CitP::Factory::CreateInstance(Hvd::ClassId::DirectoryProjectBundle()));
  EXPECT_EQ(bundle->Create(false), Hvd::kNotSetUp);
  EXPECT_EQ(bundle->Initialize("", root.c_str(), ""), Hvd::kInvalidParameter);
  ASSERT_EQ(bundle->Initialize("copy", root.c_str(), (root / "src").c_str()), kSuccess);
  EXPECT_EQ(bundle->Initialize("other", root.c_str(), ""), Hvd::kOwnerMissing);
  Text name;
  EXPECT_TRUE(AutoCast<Prjrep::IName>(bundle.Get())->GetName(name) == kSuccess && name.str() == "copy");
  EXPECT_EQ(AutoCast<Prjrep::IName>(bundle.Get())->SetName("renamed"), Hvd::kFailure);
  EXPECT_EQ(bundle->ReservedOperation9(), Hvd::kNotSupported);
  EXPECT_EQ(bundle->ReservedOperation10(), Hvd::kNotSupported);
  EXPECT_EQ(bundle->ReservedOperation13(), Hvd::kNotSupported);

  bool exists = true;
  EXPECT_TRUE(bundle->Exists(&exists) == kSuccess && !exists);
  ASSERT_EQ(bundle->Create(false), kSuccess);
  EXPECT_TRUE(bundle->Exists(&exists) == kSuccess && exists);
  EXPECT_EQ(bundle->Create(false), Hvd::kFailure);  // already there
  EXPECT_EQ(bundle->Close(false), kSuccess);          // made here: removed
  EXPECT_FALSE(fs::exists(root / "copy"));

  ASSERT_EQ(bundle->Create(false), kSuccess);
  EXPECT_EQ(bundle->Close(true), kSuccess);
  EXPECT_TRUE(fs::is_directory(root / "copy"));
  ASSERT_EQ(bundle->Open(0), kSuccess);  // read only
  Write(root / "src/a.vhd");
  EXPECT_EQ(bundle->AddItem((root / "src/a.vhd").c_str(), ""), Hvd::kOwnerMissing);
  EXPECT_EQ(bundle->Close(false), kSuccess);  // opened, not made here: kept
  EXPECT_TRUE(fs::is_directory(root / "copy"));

  {
    Port::FaultInjection::Fail("canwrite_dir", 0, "copy");
    EXPECT_EQ(bundle->Open(2), Hvd::kFailure);
  }
  Port::FaultInjection::Clear();
  EXPECT_EQ(bundle->Rename("moved"), kSuccess);
  EXPECT_TRUE(fs::is_directory(root / "moved") && !fs::exists(root / "copy"));
  fs::create_directories(root / "taken");
  EXPECT_EQ(bundle->Rename("taken"), Hvd::kFailure);
  EXPECT_EQ(bundle->Delete(), kSuccess);
  EXPECT_FALSE(fs::exists(root / "moved"));
}

TEST_F(DirectoryBundleTest, ItemsBringTheirCompanions) {
  Make();
  ASSERT_EQ(bundle->Create(false), kSuccess);
  Write(root / "src/sub/a.vhd");
  Write(root / "src/sub/a.sym");
  for (const char* name : {"core.mdx", "core.asy", "core.vho", "core.veo", "core.v", "core.vhd", "core.edn",
                           "core.ngc", "core.sym", "core.mif", "core.ucf", "core_vbnd.tcl", "core_ftype.txt",
                           "core.xco", "CORE.MDX", "CORE.sym", "CORE.vho"})
    Write(root / "src/ip" / name);
  Write(root / "outside/b.vhd");

  EXPECT_EQ(bundle->AddItem((root / "src/sub/a.vhd").c_str(), ""), kSuccess);
  EXPECT_EQ(bundle->AddItem((root / "src/ip/core.mdx").c_str(), ""), kSuccess);
  EXPECT_EQ(bundle->AddItem((root / "src/ip/CORE.MDX").c_str(), ""), kSuccess);
  // Outside the source directory only with a new path.
  EXPECT_EQ(bundle->AddItem((root / "outside/b.vhd").c_str(), ""), Hvd::kFailure);
  EXPECT_EQ(bundle->AddItem((root / "outside/b.vhd").c_str(), "remote/b.vhd"), kSuccess);
  EXPECT_EQ(Tree(root / "copy"),
            (Names{"sub/a.vhd", "sub/a.sym", "ip/core.mdx", "ip/core.asy", "ip/core.vho", "ip/core.veo", "ip/core.v",
                   "ip/core.vhd", "ip/core.edn", "ip/core.ngc", "ip/core.sym", "ip/core.mif", "ip/core.ucf",
                   "ip/core_vbnd.tcl", "ip/core_ftype.txt", "ip/CORE.MDX", "ip/CORE.sym", "remote/b.vhd"}));

  Text path;
  EXPECT_EQ(bundle->GetItemPath("ip/core.mdx", &path), kSuccess);
  EXPECT_EQ(path.str(), (root / "copy/ip/core.mdx").string());
  EXPECT_EQ(bundle->GetItemPath("", &path), Hvd::kInvalidParameter);

  // A companion that cannot be copied fails the item, and so does the item whose companions can.
  Port::FaultInjection::Fail("copy_p", 0, "a.sym");
  EXPECT_EQ(bundle->AddItem((root / "src/sub/a.vhd").c_str(), ""), Hvd::kDirectoryWriteFailed);
  Port::FaultInjection::Clear();
  for (const char* item : {"src/sub/a.vhd", "src/ip/core.mdx"}) {
    Port::FaultInjection::Fail("copy_p", 0, fs::path(item).filename().string());
    EXPECT_NE(bundle->AddItem((root / item).c_str(), ""), kSuccess) << item;
    Port::FaultInjection::Clear();
  }
}

// A copy that did not arrive whole is reported, with the files that failed.
TEST_F(DirectoryBundleTest, ExtractToAnswersItsCopy) {
  Make();
  ASSERT_EQ(bundle->Create(false), kSuccess);
  Write(root / "src/a.vhd", "new a");
  Write(root / "src/b.vhd", "new b");
  ASSERT_EQ(bundle->AddItem((root / "src/a.vhd").c_str(), ""), kSuccess);
  ASSERT_EQ(bundle->AddItem((root / "src/b.vhd").c_str(), ""), kSuccess);
  Write(root / "target/a.vhd", "old a");

  AutoRelease<Prjrep::IStringIterator> failed;
  EXPECT_EQ(bundle->ExtractTo((root / "target").c_str(), failed.Receive()), kSuccess);
  EXPECT_FALSE(failed);
  EXPECT_EQ(Tree(root / "target"), (Names{"a.vhd", "b.vhd"}));

  Port::FaultInjection::Fail("copy_p", 0, "target/b.vhd");
  EXPECT_EQ(bundle->ExtractTo((root / "target").c_str(), failed.ReleaseAndReceive()), Hvd::kDirectoryWriteFailed);
  ASSERT_TRUE(failed && !failed->IsDone());
  EXPECT_EQ(failed->Current().str(), (root / "target/b.vhd").string());
}

}  // namespace

#include "Port/MsgMan.h"

namespace {

bool SaidInBundle(const std::string& text) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text == text) return true;
  return false;
}

// Opening where there is no bundle, a rename the system refuses and an extraction whose backup
// of the target fails each answer 0, and leave the bundle and the target as they were.
TEST_F(DirectoryBundleTest, ARefusedOpenRenameOrBackupLeavesEverythingAsItWas) {
  Make();
  const std::string copy = (root / "copy").string();
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(bundle->Open(0), Hvd::kFailure);
  EXPECT_TRUE(SaidInBundle("ERROR: CDirectoryProjectBundle::Open - Directory ProjectBundle doesn't exist at: \"" + copy +
                           "\"\n"));
  Write(root / "src/a.vhd", "new a");
  EXPECT_EQ(bundle->AddItem((root / "src/a.vhd").c_str(), ""), Hvd::kOwnerMissing) << "not open";
  EXPECT_FALSE(fs::exists(root / "copy"));

  ASSERT_EQ(bundle->Create(false), kSuccess);
  ASSERT_EQ(bundle->AddItem((root / "src/a.vhd").c_str(), ""), kSuccess);
  Port::FaultInjection::Fail("rename");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(bundle->Rename("moved"), Hvd::kFailure);
  EXPECT_TRUE(SaidInBundle("CDirectoryProjectBundle::Rename - Couldn't rename \"" + copy + "\" to \"" +
                           (root / "moved").string() + "\".\n"));
  Port::FaultInjection::Clear();
  Text path;
  EXPECT_TRUE(bundle->GetItemPath("a.vhd", &path) == kSuccess && path.str() == copy + "/a.vhd");
  EXPECT_TRUE(fs::exists(root / "copy/a.vhd") && !fs::exists(root / "moved"));

  Write(root / "target/a.vhd", "old a");
  Write(root / "target/b.vhd", "old b");
  Port::FaultInjection::Fail("copy_p", 1);  // the first copy: the target's, before anything is written
  AutoRelease<Prjrep::IStringIterator> failed;
  EXPECT_EQ(bundle->ExtractTo((root / "target").c_str(), failed.Receive()), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(failed);
  std::ifstream in(root / "target/a.vhd");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old a");
  EXPECT_EQ(Tree(root / "target"), (Names{"a.vhd", "b.vhd"}));
}

}  // namespace
