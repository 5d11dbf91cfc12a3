// The shared constraint manager: found by the autonym of its kind in a repository, one per
// repository, its data in the database folder of the repository's file.

#include <filesystem>

#include "Hvd/ISharedConstraintMgr.h"
#include "Prjrep/IProjectRepository.h"
#include "core/Interface.h"
#include "prjrep/StandInFixture.h"

namespace {

using namespace Prjrep;
using namespace testing_support;
namespace fs = std::filesystem;
using SharedConstraintMgrTest = StandInFixture;

AutoRelease<Hvd::ISharedConstraintMgr> ManagerIn(CitI::IInterface* context) {
  auto kind = Create<IAutonym>(Hvd::SharedConstraintMgrClassId());
  Object found;
  if (kind.Get() != nullptr) std::ignore = kind->Resolve(context, found.Receive());
  return AutoRelease<Hvd::ISharedConstraintMgr>(std::move(found));
}

std::string DataOf(Hvd::ISharedConstraintMgr* manager) {
  Text data;
  EXPECT_EQ(manager->GetConstraintData(&data), Hvd::kSuccess);
  return data.str();
}

TEST_F(SharedConstraintMgrTest, OneManagerPerRepositoryKeepsItsDataInTheDatabaseFolder) {
  fs::create_directories(dir / "top_qdb");
  TempDir::Write(dir / "top_qdb/cst.vbcd", "first");
  TempDir::Write(dir / "top_qdb/other", "not the manager's");
  auto registry = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());
  Object repository;
  ASSERT_EQ(registry->ResolveOrCreate(PathNym(dir / "top.hlc"), nullptr, repository.Receive()), kSuccess);

  auto manager = ManagerIn(repository);
  ASSERT_TRUE(manager);
  EXPECT_EQ(DataOf(manager), "first");
  EXPECT_EQ(ManagerIn(repository).Get(), manager.Get()) << "registered in the repository";
  Object looked;
  EXPECT_TRUE(AutoCast<IAutonymLookup>(repository.Get())
                  ->Resolve(Create<IAutonym>(Hvd::SharedConstraintMgrClassId()), looked.Receive()) == kSuccess &&
              Hvd::RootOf(looked.Get()) == Hvd::RootOf(manager.Get()));

  TempDir::Write(dir / "top_qdb/cst.vbcd", "second");
  EXPECT_EQ(manager->Reload(), Hvd::kSuccess);
  EXPECT_EQ(DataOf(manager), "second");
  EXPECT_EQ(manager->CleanUp(), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(dir / "top_qdb/cst.vbcd"));
  EXPECT_TRUE(fs::exists(dir / "top_qdb/other"));
  EXPECT_EQ(DataOf(manager), "");
  EXPECT_EQ(manager->CleanUp(), Hvd::kSuccess) << "nothing left to remove";
  EXPECT_EQ(manager->Reload(), Hvd::kSuccess);

  // A folder in the data's place is not the manager's to remove or read.
  fs::create_directories(dir / "top_qdb/cst.vbcd/inner");
  EXPECT_NE(manager->Reload(), Hvd::kSuccess);
  EXPECT_NE(manager->CleanUp(), Hvd::kSuccess);
  EXPECT_TRUE(fs::exists(dir / "top_qdb/cst.vbcd/inner"));
}

TEST_F(SharedConstraintMgrTest, OnlyARepositoryWithAPathHasAManager) {
  auto registry = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());
  EXPECT_FALSE(ManagerIn(nullptr));
  EXPECT_FALSE(ManagerIn(registry)) << "the registry is no repository";
  auto unnamed = Create<CitI::IInterface>(ClassId::Repository());
  EXPECT_FALSE(ManagerIn(unnamed));
  // A repository kept in memory has the path it is registered under.
  ASSERT_EQ(registry->Register(PathNym(dir / "mem.xhlc"), unnamed), kSuccess);
  auto manager = ManagerIn(unnamed);
  ASSERT_TRUE(manager);
  fs::create_directories(dir / "mem_qdb");
  TempDir::Write(dir / "mem_qdb/cst.vbcd", "kept");
  EXPECT_EQ(manager->Reload(), Hvd::kSuccess);
  EXPECT_EQ(DataOf(manager), "kept");
}

// Constraint data is read only up to a bound far past any constraints: a larger file (sparse
// here) is refused unread, and the manager then holds no data rather than a part of it.
TEST_F(SharedConstraintMgrTest, AFileFarLargerThanAnyConstraintsIsRefusedUnread) {
  fs::create_directories(dir / "top_qdb");
  TempDir::Write(dir / "top_qdb/cst.vbcd", "first");
  auto registry = Create<IAutonymLookup>(ClassId::NamedObjectRegistry());
  Object repository;
  ASSERT_EQ(registry->ResolveOrCreate(PathNym(dir / "top.hlc"), nullptr, repository.Receive()), kSuccess);
  auto manager = ManagerIn(repository);
  ASSERT_TRUE(manager);
  EXPECT_EQ(DataOf(manager), "first");
  fs::resize_file(dir / "top_qdb/cst.vbcd", std::uintmax_t{256} << 20);
  EXPECT_NE(manager->Reload(), Hvd::kSuccess);
  EXPECT_EQ(DataOf(manager), "");
}

}  // namespace
