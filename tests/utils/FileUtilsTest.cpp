// Copying, removing and zipping files and trees, temporary and project directories, and
// the set of names a tree copy could not copy.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "framework/Holders.h"
#include "utils/FileUtils.h"

namespace {

namespace fs = std::filesystem;
namespace FU = Hvd::FileUtils;
using String = Port::StringBase<char>;
using Port::FaultInjection::Fail;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every entry below `root`, links not followed: relative name -> content, "<dir>" or
// "-> target".
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().lexically_relative(root).string();
    if (it->is_symlink()) {
      tree[name] = "-> " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      tree[name] = "<dir>";
    } else {
      tree[name] = Read(it->path());
    }
  }
  return tree;
}

std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (const auto& record : Port_MsgManData::Captured()) texts.push_back(record.text);
  return texts;
}

unsigned Permissions(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

unsigned Umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::path(::testing::TempDir()) / ("fileutils_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    fs::create_directories(m_root);
    // Something outside every tree that links may point at; it must never change.
    Write(m_root / "outside" / "keep.txt", "keep");
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(m_root, error);
  }

  String P(const std::string& relative) const { return String((m_root / relative).string()); }
  fs::path F(const std::string& relative) const { return m_root / relative; }
  void ExpectOutsideIntact() const {
    EXPECT_EQ(Tree(m_root / "outside"), (std::map<std::string, std::string>{{"keep.txt", "keep"}}));
  }

  fs::path m_root;
  Port::FaultInjection::Scope m_faults;
};

// --- CopyFile ------------------------------------------------------------------------

TEST_F(FileUtilsTest, CopyFileCopiesIntoNewDirectoriesAndReplacesAnExistingFile) {
  Write(F("src/a.v"), "alpha");
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("dst/deep/a.v"), 0), Hvd::kSuccess);
  EXPECT_EQ(Read(F("dst/deep/a.v")), "alpha");

  Write(F("src/a.v"), "beta");
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("dst/deep/a.v"), 0), Hvd::kSuccess);
  EXPECT_EQ(Read(F("dst/deep/a.v")), "beta");
  EXPECT_EQ(Tree(F("dst/deep")).size(), 1u) << "no temporary left beside the target";
  EXPECT_TRUE(Texts().empty());
}

TEST_F(FileUtilsTest, CopyFileOntoALinkReplacesTheLinkNotItsTarget) {
  Write(F("src/a.v"), "alpha");
  fs::create_directories(F("dst"));
  fs::create_symlink(F("outside/keep.txt"), F("dst/a.v"));
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("dst/a.v"), 0), Hvd::kSuccess);
  EXPECT_FALSE(fs::is_symlink(F("dst/a.v")));
  EXPECT_EQ(Read(F("dst/a.v")), "alpha");
  ExpectOutsideIntact();
}

TEST_F(FileUtilsTest, CopyFileNeverTouchesItsSourceUnderAnotherName) {
  Write(F("src/a.v"), "alpha");
  fs::create_symlink(F("src/a.v"), F("src/link.v"));
  fs::create_hard_link(F("src/a.v"), F("src/hard.v"));
  const fs::path cwd = fs::current_path();
  fs::current_path(m_root);
  const std::vector<String> spellings = {P("src/a.v"),  "src/a.v",       P("src/../src/a.v"),
                                         P("src//a.v"), P("src/link.v"), P("src/hard.v")};
  for (const String& destination : spellings) {
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), destination, 0), Hvd::kSuccess) << destination.str();
    EXPECT_EQ(Read(F("src/a.v")), "alpha") << destination.str();
  }
  // And the other way round: the link as the source, the file as the destination.
  EXPECT_EQ(FU::CopyFile(P("src/link.v"), P("src/a.v"), 0), Hvd::kSuccess);
  fs::current_path(cwd);
  EXPECT_EQ(Read(F("src/a.v")), "alpha");
  EXPECT_TRUE(fs::is_symlink(F("src/link.v")));

  // Names differing in case are two files here.
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("src/A.v"), 0), Hvd::kSuccess);
  EXPECT_EQ(Read(F("src/A.v")), "alpha");
  // A name equal to the source is done at once, even when nothing is there.
  EXPECT_EQ(FU::CopyFile(P("src/none.v"), P("src/none.v"), 0), Hvd::kSuccess);
  EXPECT_TRUE(Texts().empty());
}

TEST_F(FileUtilsTest, CopyFileModesStayWithinTheUmaskAndKeepTheOwnersRights) {
  Write(F("src/a.v"), "alpha");
  fs::permissions(F("src/a.v"), fs::perms(0640));
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("dst/ro.v"), FU::kReadOnly), Hvd::kSuccess);
  EXPECT_EQ(Permissions(F("dst/ro.v")), 0444u & ~Umask());
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("dst/rw.v"), FU::kReadWrite), Hvd::kSuccess);
  EXPECT_EQ(Permissions(F("dst/rw.v")), 0666u & ~Umask());
  EXPECT_EQ(Permissions(F("dst/rw.v")) & 0002u, 0u) << "never world-writable beyond the umask";
  for (std::uint32_t mode : {0u, 3u}) {
    const std::string name = "dst/keep" + std::to_string(mode) + ".v";
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), P(name), mode), Hvd::kSuccess);
    EXPECT_EQ(Permissions(F(name)), 0640u);
  }
}

TEST_F(FileUtilsTest, CopyFileReportsEachFailingStepWithItsText) {
  Write(F("src/a.v"), "alpha");
  Write(F("file"), "x");
  fs::create_directories(F("dst/dir.v"));
  struct Case {
    const char* operation;
    String destination;
    std::uint32_t mode;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"", P("file/a.v"), 0,
       "FileUtils::CopyFile - Destination target <" + P("file/").str() + "> is not a directory.\n"},
      {"remove_f", P("dst/dir.v"), 0,
       "FileUtils::CopyFile - Failed to clean out destination path <" + P("dst/dir.v").str() + ">.\n"},
      {"mkdir", P("new/a.v"), 0,
       "FileUtils::CopyFile - Couldn't create the Destination directory <" + P("new/").str() + ">.\n"},
      {"copy_p", P("dst/a.v"), 0,
       "FileUtils::CopyFile - Failed to copy file <" + P("src/a.v").str() + "> to <" + P("dst/a.v").str() + ">\n"},
      {"chmod", P("dst/b.v"), 1,
       "FileUtils::CopyFile - Failed to change file <" + P("dst/b.v").str() + "> to Read-Only\n"},
      {"chmod", P("dst/c.v"), 2,
       "FileUtils::CopyFile - Failed to change file <" + P("dst/c.v").str() + "> to Read-Write\n"},
  };
  for (const Case& c : cases) {
    Port::FaultInjection::Clear();
    Port_MsgManData::ClearCaptured();
    if (*c.operation != '\0') Fail(c.operation);
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), c.destination, c.mode), Hvd::kDirectoryWriteFailed) << c.text;
    EXPECT_EQ(Texts(), std::vector<std::string>{c.text});
    EXPECT_EQ(Port_MsgManData::Captured().at(0).severity, Port_MsgManData::Severity::Debug);
  }
  Port::FaultInjection::Clear();
  EXPECT_EQ(Read(F("dst/b.v")), "alpha") << "a copy whose mode failed stays";
  EXPECT_TRUE(fs::is_directory(F("dst/dir.v")));

  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(FU::CopyFile(P("src/none.v"), P("dst/none.v"), 0), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"FileUtils::CopyFile - Source File <" + P("src/none.v").str() +
                                              "> doesn't exist.\n"});
}

// --- Removal --------------------------------------------------------------------------

TEST_F(FileUtilsTest, RemovalTakesLinksAwayAndLeavesTheirTargets) {
  Write(F("tree/a.v"), "a");
  Write(F("tree/sub/b.v"), "b");
  fs::create_directory_symlink(F("outside"), F("tree/sub/to_outside"));
  fs::create_directory_symlink(F("tree"), F("tree/sub/to_parent"));
  fs::create_symlink(F("outside/keep.txt"), F("tree/to_file"));
  fs::create_symlink(F("nowhere"), F("tree/dangling"));
  fs::create_directory_symlink(F("outside"), F("top_link"));

  EXPECT_EQ(FU::RemoveItem(P("top_link")), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(fs::symlink_status(F("top_link"))));
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree"), false), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_directory(F("tree")));
  EXPECT_TRUE(fs::is_empty(F("tree")));
  EXPECT_EQ(FU::RemoveItem(P("tree")), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(F("tree")));
  ExpectOutsideIntact();

  Write(F("one.v"), "1");
  EXPECT_EQ(FU::RemoveItem(P("one.v")), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(F("one.v")));
  EXPECT_EQ(FU::RemoveItem(P("missing")), Hvd::kSuccess);
  EXPECT_TRUE(Texts().empty());
}

TEST_F(FileUtilsTest, RemovalGoesOnPastFailuresAndWarnsForEach) {
  Write(F("tree/a.v"), "a");
  Write(F("tree/ro/b.v"), "b");
  Write(F("tree/z.v"), "z");
  Fail("canwrite_dir", 0, "tree/ro");
  Fail("remove_f", 0, "z.v");
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree"), true), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Could not remove read-only directory <" + P("tree/ro").str() + "> - cleanup failed.\n",
                         "Could not remove the file <" + P("tree/z.v").str() + "> - cleanup failed.\n",
                         "Could not remove the directory <" + P("tree").str() + "> - cleanup failed.\n"}));
  for (const auto& record : Port_MsgManData::Captured()) {
    EXPECT_EQ(record.severity, Port_MsgManData::Severity::Warning);
    EXPECT_EQ(record.category, "ProjectMgmt");
    EXPECT_EQ(record.source, "../src/FileUtils");
    EXPECT_EQ(record.revision, "$Revision: 1.35.16.1 $");
  }
  EXPECT_FALSE(fs::exists(F("tree/a.v")));
  EXPECT_TRUE(fs::exists(F("tree/ro/b.v")));

  Port::FaultInjection::Clear();
  Port_MsgManData::ClearCaptured();
  Fail("UT_DIR", 0, "tree/ro");
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree"), false), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Could not remove invalid directory <" + P("tree/ro").str() +
                                              "> - cleanup failed.\n"});
  EXPECT_FALSE(fs::exists(F("tree/z.v")));

  Port::FaultInjection::Clear();
  Port_MsgManData::ClearCaptured();
  Fail("remove_f");
  EXPECT_EQ(FU::RemoveItem(P("tree/ro/b.v")), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(),
            std::vector<std::string>{"Could not remove the file <" + P("tree/ro/b.v").str() + "> - cleanup failed.\n"});
}

// --- Tree copies ----------------------------------------------------------------------

TEST_F(FileUtilsTest, TreeCopySkipsDatabasesAndSnapshotsAndKeepsOddNames) {
  Write(F("src/x.v"), "x");
  Write(F("src/sub/y.v"), "y");
  Write(F("src/a_qdb/q.v"), "q");
  Write(F("src/snapshots/s.v"), "s");
  Write(F("src/old_qdb"), "o");
  Write(F("src/qdb"), "kept");
  const std::string odd = "with blank \"quoted\" \xe9\xff.v";
  Write(F("src/" + odd), "odd");
  Prjrep::AutoRelease<Prjrep::IStringSet> failed;
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, failed.Receive()), Hvd::kSuccess);
  EXPECT_EQ(failed.Get(), nullptr) << "no set when every file copies";
  EXPECT_EQ(Tree(F("dst")), (std::map<std::string, std::string>{
                                {"x.v", "x"}, {"sub", "<dir>"}, {"sub/y.v", "y"}, {"qdb", "kept"}, {odd, "odd"}}));
  EXPECT_EQ(FU::CopyItem(P("src"), P("dst2"), 0), Hvd::kSuccess);
  EXPECT_EQ(Tree(F("dst2")), Tree(F("dst")));
}

TEST_F(FileUtilsTest, TreeCopyCopiesLinksAsLinksAndNeverEntersItsDestination) {
  Write(F("src/a.v"), "a");
  fs::create_directory_symlink(F("outside"), F("src/to_outside"));
  fs::create_directory_symlink("..", F("src/to_parent"));
  fs::create_symlink("nowhere", F("src/dangling"));
  fs::create_directories(F("src/work/out"));
  Write(F("src/work/w.v"), "w");
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("src/work/out"), 0, nullptr), Hvd::kSuccess);
  EXPECT_EQ(Tree(F("src/work/out")), (std::map<std::string, std::string>{{"a.v", "a"},
                                                                         {"to_outside", "-> " + F("outside").string()},
                                                                         {"to_parent", "-> .."},
                                                                         {"dangling", "-> nowhere"},
                                                                         {"work", "<dir>"},
                                                                         {"work/w.v", "w"}}));
  ExpectOutsideIntact();

  // The same destination reached through a link into the source.
  fs::create_directory_symlink(F("src/work"), F("via"));
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("via/out"), 0, nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(F("src/work/out/work/out")));
}

TEST_F(FileUtilsTest, TreeCopyCollectsFailedFilesAndKeepsTheFirstFailure) {
  Write(F("src/a.v"), "a");
  Write(F("src/b.v"), "b");
  Write(F("src/sub/c.v"), "c");
  Fail("copy_p", 0, "b.v");
  Fail("canwrite_dir", 0, "dst/sub");
  Prjrep::AutoRelease<Prjrep::IStringSet> failed;
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, failed.Receive()), Hvd::kDirectoryWriteFailed);
  ASSERT_NE(failed.Get(), nullptr);
  ASSERT_EQ(failed->Size(), 1u);
  Prjrep::AutoRelease<Prjrep::IStringIterator> it;
  ASSERT_EQ(failed->GetIterator(it.Receive()), Hvd::kSuccess);
  EXPECT_EQ(it->Current(), P("dst/b.v"));
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{
          "FileUtils::CopyFile - Failed to copy file <" + P("src/b.v").str() + "> to <" + P("dst/b.v").str() + ">\n",
          "FileUtils::CopyDirectoryTree - Unable to write destination directory <" + P("dst/sub").str() + ">\n",
          "FileUtils::CopyDirectoryTree - Unable to copy sub directory <" + P("src/sub").str() + ">\n"}));
  EXPECT_EQ(Read(F("dst/a.v")), "a");

  Port::FaultInjection::Clear();
  Fail("copy_p", 0, "b.v");
  EXPECT_EQ(FU::CopyItem(P("src"), P("dst3"), 0), Hvd::kDirectoryWriteFailed);
}

TEST_F(FileUtilsTest, TreeCopyReportsEachFailingStepWithItsText) {
  Write(F("src/a.v"), "a");
  struct Case {
    const char* operation;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"canread_dir", "FileUtils::CopyDirectoryTree - Unable to read source directory <" + P("src").str() + ">\n"},
      {"mkdir", "FileUtils::CopyDirectoryTree - Unable to create destination directory <" + P("dst").str() + ">\n"},
      {"canwrite_dir",
       "FileUtils::CopyDirectoryTree - Unable to write destination directory <" + P("dst").str() + ">\n"},
      {"UT_DIR", "FileUtils::CopyDirectoryTree - Invalid directory <" + P("src").str() + ">\n"},
  };
  for (const Case& c : cases) {
    Port::FaultInjection::Clear();
    Port_MsgManData::ClearCaptured();
    Fail(c.operation);
    EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, nullptr), Hvd::kDirectoryWriteFailed) << c.operation;
    EXPECT_EQ(Texts(), std::vector<std::string>{c.text});
  }
  Port::FaultInjection::Clear();
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(FU::CopyItem(P("none"), P("dst"), 0), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"FileUtils::CopyItem() - Source Item \"" + P("none").str() +
                                              "\" doesn't appear to exist.\n"});
}

// --- Zip ------------------------------------------------------------------------------

TEST_F(FileUtilsTest, ZipRoundTripsATreeWithoutMovingUs) {
  if (Port_Env::GetExecFileName("zip", true).empty() || Port_Env::GetExecFileName("unzip", true).empty()) {
    GTEST_SKIP() << "zip or unzip not on PATH";
  }
  Write(F("tree/a.v"), "a");
  Write(F("tree/sub dir/b $(touch pwned).v"), "b");
  Write(F("tree/sub dir/`c`.v"), "c");
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(FU::ZipDirectory(P("tree"), P("out.zip")), Hvd::kSuccess);
  EXPECT_EQ(fs::current_path(), cwd);
  EXPECT_TRUE(Texts().empty());

  // A relative archive lands inside the zipped directory.
  EXPECT_EQ(FU::ZipDirectory(P("tree"), "inner.zip"), Hvd::kSuccess);
  EXPECT_TRUE(fs::exists(F("tree/inner.zip")));
  fs::remove(F("tree/inner.zip"));

  fs::create_directories(F("unpacked"));
  Port::Process unzip;
  unzip.SetWorkingDirectory(P("unpacked"));
  ASSERT_EQ(unzip.Run({"unzip", "-q", P("out.zip")}), 0);
  EXPECT_EQ(Tree(F("unpacked")), Tree(F("tree")));
  EXPECT_FALSE(fs::exists(F("tree/pwned")));
}

TEST_F(FileUtilsTest, ZipReportsEachFailureWithItsText) {
  fs::create_directories(F("tree"));
  Fail("GetExecFileName");
  EXPECT_EQ(FU::ZipDirectory(P("tree"), P("out.zip")), Hvd::kZipNotFound);
  EXPECT_EQ(Texts(), std::vector<std::string>{"ERROR: FileUtils::ZipDirectory - Unable to find Velmor Zip program\n"});
  Port::FaultInjection::Clear();
  const String zip = Port_Env::GetExecFileName("zip", true);
  if (zip.empty()) GTEST_SKIP() << "zip not on PATH";

  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(FU::ZipDirectory(P("missing"), P("out.zip")), Hvd::kZipNotFound);
  EXPECT_EQ(Texts(), std::vector<std::string>{"ERROR: FileUtils::ZipDirectory -  Unable to change directory to <" +
                                              P("missing").str() + ">\n"});

  for (const String& archive : {P("out.zip"), P("a\"b.zip")}) {
    Port::FaultInjection::Clear();
    Port_MsgManData::ClearCaptured();
    if (archive == P("out.zip")) Fail("Run");
    EXPECT_EQ(FU::ZipDirectory(P("tree"), archive), Hvd::kZipNotFound);
    EXPECT_EQ(Texts(), std::vector<std::string>{"ERROR: FileUtils::ZipDirectory - Failed to run the command <\"" +
                                                zip.str() + "\" -q -r \"" + archive.str() + "\" .>\n"});
  }
  EXPECT_FALSE(fs::exists(F("out.zip")));
}

// --- Temporary and project directories --------------------------------------------------

TEST_F(FileUtilsTest, TempDirectoriesAreNewPrivateAndNamedWithAnId) {
  String first;
  String second;
  ASSERT_EQ(FU::CreateTempDirectory(first), Hvd::kSuccess);
  ASSERT_EQ(FU::CreateTempDirectory(second), Hvd::kSuccess);
  EXPECT_NE(first, second);
  for (const String& path : {first, second}) {
    EXPECT_EQ(path.str().front(), '/');
    EXPECT_TRUE(fs::is_directory(path.str()));
    EXPECT_EQ(Permissions(path.str()) & 077u, 0u);
    const std::string tail = path.str().substr(path.size() - 37);
    EXPECT_EQ(tail.front(), '_');
    EXPECT_EQ(tail.find_first_of("{}"), std::string::npos);
    EXPECT_EQ(FU::RemoveItem(path), Hvd::kSuccess);
  }

  Fail("mkdir");
  String failed("stale");
  EXPECT_EQ(FU::CreateTempDirectory(failed), Hvd::kTempDirNotCreated);
  EXPECT_TRUE(failed.empty());
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("FileUtils::CreateTempDirectory - Unable to create temporary directory <", 0), 0u);
}

TEST_F(FileUtilsTest, ProjectPathsGetAUsableDirectory) {
  const fs::path cwd = fs::current_path();
  fs::current_path(m_root);
  String bare("design.hlc");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(bare), Hvd::kSuccess);
  fs::current_path(cwd);
  EXPECT_EQ(bare, P("design/design.hlc"));
  EXPECT_TRUE(fs::is_directory(F("design")));

  String nested = P("a/b/top.hlc");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(nested), Hvd::kSuccess);
  EXPECT_EQ(nested, P("a/b/top.hlc"));
  EXPECT_TRUE(fs::is_directory(F("a/b")));

  String empty;
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(empty), Hvd::kFailure);
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "DEBUG: ValidateOrCreateHLCPathDirectory cannot accept a non_empty path. Nothing to do.\n"});

  Port_MsgManData::ClearCaptured();
  Fail("mkdir");
  String failing = P("c/top.hlc");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(failing), Hvd::kFailure);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Warning: Could not create directory " + P("c").str() + "\n"});
  EXPECT_EQ(Port_MsgManData::Captured().at(0).category, "ProjectMgmt");

  Port::FaultInjection::Clear();
  Port_MsgManData::ClearCaptured();
  String invalid(std::string(P("d").str() + "/" + std::string(300, 'n') + "/top.hlc"));
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(invalid), Hvd::kFailure);
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0].rfind("Warning: Path=" + P("d").str() + "/", 0), 0u);
}

TEST_F(FileUtilsTest, ProjectDirectoryWithoutRightsKeepsOwnerAccess) {
  fs::create_directories(F("locked"));
  fs::permissions(F("locked"), fs::perms(0750));
  Fail("canread", 0, "locked");
  Fail("canwrite_dir", 0, "locked");
  String path = P("locked/top.hlc");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kSuccess);
  EXPECT_EQ(Permissions(F("locked")) & 0700u, 0700u);
  EXPECT_EQ(Permissions(F("locked")) & 0050u, 0050u & ~Umask()) << "others' rights not taken or widened";

  Port_MsgManData::ClearCaptured();
  Fail("chmod");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kSuccess);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Warning: Could not change permissions for directory " +
                                              P("locked").str() + "\n"});
}

// --- The failed-file set ----------------------------------------------------------------

TEST(FileNameSetTest, AnswersItsFacesAndFreesItselfOnTheLastRelease) {
  auto* object = new Hvd::CFileNameSet();
  Prjrep::IStringSet* set = object->GetStringSet();
  EXPECT_EQ(object->QueryInterface(Prjrep::IStringSet::GetIID()), set);
  EXPECT_EQ(object->QueryInterface(CitI::IInterface::GetIID()), set);
  EXPECT_EQ(object->QueryInterface(Port::XUID::New()), nullptr);
  auto* count = static_cast<Prjrep::IRefCount*>(object->QueryInterface(Prjrep::IRefCount::GetIID()));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(set->QueryInterface(Prjrep::IRefCount::GetIID()), count);
  EXPECT_EQ(count->GetRefCount(), 1);

  set->Add("b.v");
  set->Add("a.v");
  Prjrep::AutoRelease<Prjrep::IStringIterator> it;
  ASSERT_EQ(set->GetIterator(it.Receive()), Hvd::kSuccess);
  std::vector<std::string> names;
  for (; !it->IsDone(); it->Next()) names.push_back(it->Current().str());
  EXPECT_EQ(names, (std::vector<std::string>{"b.v", "a.v"}));
  it.Assign(nullptr);

  count->AddRef();
  EXPECT_EQ(count->GetRefCount(), 2);
  count->Release();
  count->Release();  // the last: LSan would report a leak otherwise
}

}  // namespace
