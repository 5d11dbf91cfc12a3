// Where the files of a copied project land: inside the project, in its database directory, in
// its working directory, and from anywhere else.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CitP/Factory.h"
#include "Port/MsgMan.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "project/copy/CFileMapHelper.h"
#include "project/copy/CopyPath.h"
#include "utils/FileStamp.h"

namespace {

using Hvd::kSuccess;
using Text = Port::StringBase<char>;

struct FileMapTest : ::testing::Test {
  void SetUp() override {
    InstFactoryEntry(), Prjrep::RegisterComponents();
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override { Prjrep::ResetNamedObjectRegistry(), CitP::Factory::Shutdown(); }

  // Source project /src/p.xhlc working in /src/work; the copy is /dst/q.xhlc working in /dst/out.
  void MapWith(bool mapping, bool remote, bool onRequest = false) {
    ASSERT_EQ(map.SetupMap(mapping, remote, "/src", "/dst", "/dst/remote_sources", onRequest, "/src/work/p.hlc",
                           "/dst/q.xhlc", "/dst/out"),
              kSuccess);
  }
  std::string Map(const char* path, bool force = false) {
    Text mapped;
    EXPECT_EQ(map.MapFileName(path, &mapped, force), kSuccess) << path;
    return mapped.str();
  }
  std::string MapWorking(const char* path) {
    Text mapped;
    EXPECT_EQ(map.MapWorkingFileName(path, &mapped, false), kSuccess) << path;
    return mapped.str();
  }

  Hvd::CFileMapHelper map;
};

TEST_F(FileMapTest, NamesStayUnlessTheCopyMovesThemOrOnRequest) {
  MapWith(false, false);
  EXPECT_EQ(Map("/src/sub/a.vhd"), "/src/sub/a.vhd");
  EXPECT_EQ(Map("/elsewhere/b.vhd"), "/elsewhere/b.vhd");

  MapWith(true, true, true);
  EXPECT_EQ(Map("/src/sub/a.vhd"), "/src/sub/a.vhd");
  EXPECT_EQ(Map("/src/sub/a.vhd", true), "/dst/sub/a.vhd");

  Text untouched("kept");
  EXPECT_EQ(map.MapFileName("", &untouched, true), Hvd::kInvalidParameter);
  EXPECT_EQ(untouched.str(), "kept");
  // The helper interface is the map itself; nothing else is answered.
  EXPECT_EQ(map.QueryInterface(Hvd::ICPFileMapInternal::GetIID()), static_cast<Hvd::ICPFileMapInternal*>(&map));
  EXPECT_EQ(map.QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
}

TEST_F(FileMapTest, InsideKeepsItsPlaceTheDatabaseFollowsTheWorkingDirectory) {
  MapWith(true, true);
  EXPECT_EQ(Map("/src/sub/a.vhd"), "/dst/sub/a.vhd");
  EXPECT_EQ(Map("/src/work/p_qdb/state.db"), "/dst/out/q_qdb/state.db");
  EXPECT_EQ(MapWorking("/src/work/p_qdb/state.db"), "/dst/out/q_qdb/state.db");
  EXPECT_EQ(MapWorking("/src/work/top.ngc"), "/dst/out/top.ngc");
  EXPECT_EQ(MapWorking("/src/work/netemit/x/n.v"), "/dst/out/netemit/x/n.v");

  // Not from the working directory: said so, and mapped as any other file.
  EXPECT_EQ(MapWorking("/src/sub/a.vhd"), "/dst/sub/a.vhd");
  bool said = false;
  for (const auto& record : Port_MsgManData::Captured())
    said |= record.text.find("which is not from the source working dir\n-> /src/work.") != std::string::npos;
  EXPECT_TRUE(said);

  EXPECT_TRUE(map.IsFromSourceWorkingDir("/src/work"));
  EXPECT_TRUE(map.IsFromSourceWorkingDir("/src/work/a.log"));
  EXPECT_TRUE(map.IsFromSourceWorkingDir("/src/work/_vmsgs/m.xml"));
  EXPECT_TRUE(map.IsFromSourceWorkingDir("/src/work/netemit/d/n.v"));
  EXPECT_TRUE(map.IsFromSourceWorkingDir("/src/work/p_qdb/s.db"));
  EXPECT_FALSE(map.IsFromSourceWorkingDir("/src/work/other/a.v"));
  EXPECT_FALSE(map.IsFromSourceWorkingDir("/src/work/netemit/n.v"));
  EXPECT_TRUE(map.IsInSourceDatabaseDir("/src/work/p_qdb/s.db"));
  EXPECT_FALSE(map.IsInSourceDatabaseDir("/src/work/p_qdb/deeper/s.db"));
}

// Every spelling of a place inside the project maps to the same place, asked once or again;
// a sibling directory sharing the project directory's name as a prefix is not inside it.
TEST_F(FileMapTest, EverySpellingOfAnInsidePlaceMapsAlike) {
  MapWith(true, true);
  for (const char* spelling : {"/src/sub/a.vhd", "/src/./sub/a.vhd", "/src//sub/a.vhd", "/src/x/../sub/a.vhd",
                               "/src/sub/a.vhd"})
    EXPECT_EQ(Map(spelling), "/dst/sub/a.vhd") << spelling;
  EXPECT_EQ(Map("/src/work/p_qdb/s.db"), "/dst/out/q_qdb/s.db");
  EXPECT_EQ(Map("/srcx/a.vhd"), "/dst/remote_sources/_/srcx/a.vhd");

  // Asked on request, a name stays until it is forced, and the forced answer does not stick.
  MapWith(true, true, true);
  EXPECT_EQ(Map("/src/sub/a.vhd"), "/src/sub/a.vhd");
  EXPECT_EQ(Map("/src/sub/a.vhd", true), "/dst/sub/a.vhd");
  EXPECT_EQ(Map("/src/sub/a.vhd"), "/src/sub/a.vhd");
}

// Each leading ".." becomes a "_" directory; a place is never given to two files, and nothing
// leaves the remote-sources directory.
TEST_F(FileMapTest, OutsideFilesGoBelowTheRemoteSourcesWithoutColliding) {
  MapWith(true, false);
  EXPECT_EQ(Map("/lib/a.vhd"), "/lib/a.vhd");  // remote sources off

  MapWith(true, true);
  EXPECT_EQ(Map("/lib/a.vhd"), "/dst/remote_sources/_/lib/a.vhd");
  EXPECT_EQ(Map("/a/x.vhd"), "/dst/remote_sources/_/a/x.vhd");
  EXPECT_EQ(Map("/b/x.vhd"), "/dst/remote_sources/_/b/x.vhd");
  EXPECT_EQ(Map("/"), "/dst/remote_sources/_");
  // The same file asked again keeps its place.
  EXPECT_EQ(Map("/a/x.vhd"), "/dst/remote_sources/_/a/x.vhd");

  ASSERT_EQ(map.SetupMap(true, true, "/w/p", "/d", "/d/rs", false, "/w/p/p.hlc", "/d/p.xhlc", "/d"), kSuccess);
  EXPECT_EQ(Map("/lib/a.vhd"), "/d/rs/_/_/lib/a.vhd");
  EXPECT_EQ(Map("/w/.a/f"), "/d/rs/_/.a/f");
  // A real directory named "_" would give the place of "../../f": the later file goes apart.
  EXPECT_EQ(Map("/f"), "/d/rs/_/_/f");
  EXPECT_EQ(Map("/w/_/f"), "/d/rs/_2/_/_/f");
}

TEST_F(FileMapTest, SetUpWarnsOfARelativeWorkingDirectoryAndNeedsASourceDirectoryToMap) {
  ASSERT_EQ(map.SetupMap(true, true, "/src", "/dst", "/dst/rs", false, "/src/p.hlc", "/dst/q.xhlc", "out"), kSuccess);
  bool warned = false;
  for (const auto& record : Port_MsgManData::Captured())
    warned |= record.severity == Port_MsgManData::Severity::Warning &&
              record.text == "CFileMapHelper::SetupMap destination working dir out, is not a complete path\n";
  EXPECT_TRUE(warned);

  Hvd::CFileMapHelper bare;
  ASSERT_EQ(bare.SetupMap(true, true, "", "/dst", "/dst/rs", false, "/src/p.hlc", "/dst/q.xhlc", "/dst"), kSuccess);
  Text mapped;
  EXPECT_EQ(bare.MapFileName("/src/a.vhd", &mapped, false), Hvd::kComponentNotCreated);
}

// A path already in normal form is taken as it is, any other is built anew: both ways give
// what folding the slashed path gives, and compare alike.
TEST(CopyPathTest, NormalFormsAreTheFoldedSlashedPaths) {
  namespace P = Hvd::CopyPath;
  const std::string withNul("/a/b\0/c", 7);
  for (const std::string& path : {std::string("/src/d1/u.vhd"), std::string("/"), std::string("a"), std::string(""),
                                  std::string(".."), std::string("a/./b"), std::string("/a//b/"), std::string("a\\b"),
                                  std::string("//:x/y"), std::string("/a/../b"), std::string("x/"), withNul}) {
    const Text text(path);
    std::string folded = Hvd::MakeSlashPath(path.c_str());
    EXPECT_EQ(Hvd::MakeSlashPath(text), Text(folded)) << path;
    if (!folded.empty()) folded = std::filesystem::path(folded).lexically_normal().string();
    while (folded.size() > 1 && folded.back() == '/') folded.pop_back();
    EXPECT_EQ(P::Normal(text), Text(folded)) << path;
    EXPECT_EQ(P::IsNormal(text), Text(folded) == text) << path;
    EXPECT_TRUE(P::Same(text, Text(folded))) << path;
    const std::size_t slash = folded.rfind('/');
    EXPECT_EQ(P::Parent(text), Text(slash == std::string::npos ? "" : slash == 0 ? "/" : folded.substr(0, slash)))
        << path;
    EXPECT_EQ(P::Leaf(text), Text(slash == std::string::npos ? folded : folded.substr(slash + 1))) << path;
  }
  EXPECT_FALSE(P::Same(Text("/a/b"), Text("/a/c")));
  EXPECT_FALSE(P::Same(Text("/a/b"), Text("/a/b/c")));
}

}  // namespace

namespace {

// A name the map gave is the copy's already and stays when asked for again, as a working file
// too. A database file or a remote file spelt other than in normal form goes where its normal
// spelling goes.
TEST_F(FileMapTest, GivenNamesStayAndOtherSpellingsMapAlike) {
  MapWith(true, true);
  EXPECT_EQ(MapWorking("/src/work/top.ngc"), "/dst/out/top.ngc");
  EXPECT_EQ(MapWorking("/dst/out/top.ngc"), "/dst/out/top.ngc");
  EXPECT_EQ(Map("/dst/out/top.ngc"), "/dst/out/top.ngc");

  EXPECT_EQ(Map("/src/work/./p_qdb/s.db"), "/dst/out/q_qdb/s.db");
  EXPECT_EQ(Map("/src/work//p_qdb/s.db"), "/dst/out/q_qdb/s.db");
  EXPECT_EQ(Map("/lib/a.vhd"), "/dst/remote_sources/_/lib/a.vhd");
  for (const char* spelling : {"/lib//a.vhd", "/lib/./a.vhd", "/lib/x/../a.vhd"})
    EXPECT_EQ(Map(spelling), "/dst/remote_sources/_/lib/a.vhd") << spelling;
}

// Without a path relative to the source directory (here one given relative), a remote file
// loses its root and keeps the rest of its path below the remote sources.
TEST_F(FileMapTest, ARemoteFileWithoutARelativePathKeepsWhatFollowsItsRoot) {
  ASSERT_EQ(map.SetupMap(true, true, "src", "/dst", "/dst/rs", false, "/src/work/p.hlc", "/dst/q.xhlc", "/dst/out"),
            kSuccess);
  EXPECT_EQ(Map("/x/a.vhd"), "/dst/rs/x/a.vhd");
  EXPECT_EQ(Map("/x/y/b.vhd"), "/dst/rs/x/y/b.vhd");
}

}  // namespace
