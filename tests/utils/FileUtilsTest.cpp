// Copying, removing and zipping files and trees, temporary and project directories, file stamps and paths.

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "core/Holders.h"
#include "utils/FileStamp.h"
#include "utils/FileUtils.h"

namespace {

namespace fs = std::filesystem;
namespace FU = Hvd::FileUtils;
using String = Port::StringBase<char>;
using Lines = std::vector<std::string>;
using Port::FaultInjection::Fail;
using ::testing::ElementsAre;
using ::testing::StartsWith;

// Files below `root`, each given as "name=content".
void Files(const fs::path& root, std::initializer_list<std::string> files) {
  for (const std::string& file : files) {
    const fs::path path = root / file.substr(0, file.find('='));
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << file.substr(file.find('=') + 1);
  }
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every entry below `root` in name order, links not followed: "name=content", "name/" or "name->target".
std::string Tree(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    entries[entry.path().lexically_relative(root).string()] =
        entry.is_symlink() ? "->" + fs::read_symlink(entry.path()).string()
                           : (entry.is_directory() ? "/" : "=" + Read(entry.path()));
  }
  std::string tree;
  for (const auto& [name, what] : entries) tree += (tree.empty() ? "" : " ") + name + what;
  return tree;
}

Lines Texts() {
  Lines texts;
  for (const auto& record : Port_MsgManData::Captured()) texts.push_back(record.text);
  return texts;
}

// A chain of `depth` directories below `root`, each holding a file, deeper than a path can name.
void DeepTree(const fs::path& root, int depth) {
  const fs::path cwd = fs::current_path();
  fs::create_directories(root);
  fs::current_path(root);
  for (int level = 0; level < depth; ++level) {
    Files(".", {"f.v="});
    fs::create_directory("a_rather_long_directory_name");
    fs::current_path("a_rather_long_directory_name");
  }
  fs::current_path(cwd);
}

std::ptrdiff_t OpenDescriptors() {
  return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

unsigned Permissions(const fs::path& path) { return static_cast<unsigned>(fs::status(path).permissions()) & 07777; }

const unsigned kUmask = [] {
  const mode_t mask = ::umask(0);
  return ::umask(mask), unsigned(mask);
}();

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::path(::testing::TempDir()) / ("fileutils_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    // Something outside every tree that links may point at; it must never change.
    Files(m_root, {"outside/keep.txt=keep"});
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(m_root, error);
  }

  String P(const std::string& relative) const { return String((m_root / relative).string()); }
  std::string S(const std::string& relative) const { return (m_root / relative).string(); }
  static void Reset(const char* operation = "") {  // disarms all, forgets the messages, arms `operation`
    Port::FaultInjection::Clear();
    Port_MsgManData::ClearCaptured();
    if (*operation != '\0') Fail(operation);
  }

  fs::path m_root;
  Port::FaultInjection::Scope m_faults;
};

TEST_F(FileUtilsTest, CopyFileReplacesAFileOrALinkButNeverTheSourceUnderAnotherName) {
  Files(m_root, {"src/a.v=beta", "dst/old/a.v=alpha"});
  fs::create_symlink(S("outside/keep.txt"), S("dst/link.v"));
  for (const char* destination : {"dst/old/a.v", "dst/new/a.v", "dst/link.v"}) {
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), P(destination), 0), Hvd::kSuccess) << destination;
  }
  EXPECT_EQ(Tree(S("dst")), "link.v=beta new/ new/a.v=beta old/ old/a.v=beta") << "and no temporary left";
  EXPECT_EQ(Read(S("outside/keep.txt")), "keep");
  // The source under another name is never touched.
  fs::create_symlink(S("src/a.v"), S("src/link.v"));
  fs::create_hard_link(S("src/a.v"), S("src/hard.v"));
  const fs::path cwd = fs::current_path();
  fs::current_path(m_root);
  for (const String& destination :
       {P("src/a.v"), String("src/a.v"), P("src/../src/a.v"), P("src//a.v"), P("src/link.v"), P("src/hard.v")}) {
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), destination, 0), Hvd::kSuccess) << destination.str();
    EXPECT_EQ(Read(S("src/a.v")), "beta") << destination.str();
  }
  // And the other way round: the link as the source, the file as the destination.
  EXPECT_EQ(FU::CopyFile(P("src/link.v"), P("src/a.v"), 0), Hvd::kSuccess);
  EXPECT_EQ(Read(S("src/a.v")), "beta");
  fs::current_path(cwd);
  EXPECT_TRUE(fs::is_symlink(S("src/link.v")));
  // Names differing in case are two files; a name equal to a missing source is done at once.
  EXPECT_EQ(FU::CopyFile(P("src/a.v"), P("src/A.v"), 0), Hvd::kSuccess);
  EXPECT_EQ(FU::CopyFile(P("src/none.v"), P("src/none.v"), 0), Hvd::kSuccess);
  EXPECT_TRUE(Read(S("src/A.v")) == "beta" && Texts().empty());
}

TEST_F(FileUtilsTest, CopyFileModesStayWithinTheUmaskAndFailuresAreReportedLeavingTheOldFile) {
  Files(m_root, {"src/a.v=alpha", "file=x", "dst/a.v=old"});
  fs::permissions(S("src/a.v"), fs::perms(0640));
  const std::map<std::uint32_t, unsigned> modes = {
      {FU::kKeepPermissions, 0640u}, {FU::kReadOnly, 0444u & ~kUmask}, {FU::kReadWrite, 0666u & ~kUmask}, {3u, 0640u}};
  for (const auto& [mode, permissions] : modes) {
    const std::string name = "modes/" + std::to_string(mode);
    EXPECT_EQ(FU::CopyFile(P("src/a.v"), P(name), mode), Hvd::kSuccess);
    EXPECT_EQ(Permissions(S(name)), permissions) << mode;
  }
  fs::create_directories(S("dst/dir.v"));
  const std::tuple<const char*, const char*, const char*, std::uint32_t, std::string> cases[] = {
      {"", "src/none.v", "dst/none.v", 0, "Source File <" + S("src/none.v") + "> doesn't exist.\n"},
      {"", "src/a.v", "file/a.v", 0, "Destination target <" + S("file/") + "> is not a directory.\n"},
      {"remove_f", "src/a.v", "dst/dir.v", 0, "Failed to clean out destination path <" + S("dst/dir.v") + ">.\n"},
      {"mkdir", "src/a.v", "new/a.v", 0, "Couldn't create the Destination directory <" + S("new/") + ">.\n"},
      {"copy_p", "src/a.v", "dst/a.v", 0, "Failed to copy file <" + S("src/a.v") + "> to <" + S("dst/a.v") + ">\n"},
      {"chmod", "src/a.v", "dst/b.v", 1, "Failed to change file <" + S("dst/b.v") + "> to Read-Only\n"},
      {"chmod", "src/a.v", "dst/c.v", 2, "Failed to change file <" + S("dst/c.v") + "> to Read-Write\n"},
  };
  for (const auto& [operation, source, destination, mode, text] : cases) {
    Reset(operation);
    EXPECT_EQ(FU::CopyFile(P(source), P(destination), mode), Hvd::kDirectoryWriteFailed) << text;
    EXPECT_EQ(Texts(), Lines{"FileUtils::CopyFile - " + text});
  }
  Reset();
  EXPECT_EQ(Tree(S("dst")), "a.v=old b.v=alpha c.v=alpha dir.v/")
      << "a failed copy keeps the old file and leaves no temporary; one whose mode failed stays";
}

TEST_F(FileUtilsTest, RemovalTakesLinksAwayLeavesTheirTargetsAndGoesOnPastFailures) {
  Files(m_root, {"tree/a.v=a", "tree/sub/b.v=b", "one.v=1"});
  fs::create_symlink(S("outside"), S("tree/sub/to_outside"));
  fs::create_symlink(S("tree"), S("tree/sub/to_parent"));
  fs::create_symlink(S("outside/keep.txt"), S("tree/to_file"));
  fs::create_symlink(S("nowhere"), S("tree/dangling"));
  // However the link is spelt, it goes and its target stays; emptying it leaves both.
  for (const char* spelling : {"", "/", "/.", "//", "/./"}) {
    fs::create_symlink(S("outside"), S("top_link"));
    const String link = P("top_link") + spelling;
    EXPECT_TRUE(FU::RemoveDirectoryTree(link, false) == Hvd::kSuccess && fs::is_symlink(S("top_link"))) << spelling;
    EXPECT_TRUE(FU::RemoveItem(link) == Hvd::kSuccess && !fs::is_symlink(S("top_link"))) << spelling;
  }
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree/."), false), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_directory(S("tree")) && fs::is_empty(S("tree")));
  for (const char* name : {"tree", "one.v", "missing"}) EXPECT_EQ(FU::RemoveItem(P(name)), Hvd::kSuccess) << name;
  EXPECT_EQ(Tree(m_root), "outside/ outside/keep.txt=keep");
  // Failures are warned of one by one, the walk goes on past them; the last one's code.
  Files(S("tree"), {"a.v=a", "ro/b.v=b", "z.v=z"});
  Fail("canwrite_dir", 0, "tree/ro");
  Fail("remove_f", 0, "z.v");
  const std::string tail = "> - cleanup failed.\n";
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree"), true), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), (Lines{"Could not remove read-only directory <" + S("tree/ro") + tail,
                            "Could not remove the file <" + S("tree/z.v") + tail,
                            "Could not remove the directory <" + S("tree") + tail}));
  EXPECT_EQ(Port_MsgManData::Captured().at(0).category, "ProjectMgmt");
  EXPECT_EQ(Tree(S("tree")), "ro/ ro/b.v=b z.v=z");
  Reset();
  Fail("UT_DIR", 0, "tree/ro");
  EXPECT_EQ(FU::RemoveDirectoryTree(P("tree"), false), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), Lines{"Could not remove invalid directory <" + S("tree/ro") + tail});
  EXPECT_EQ(Tree(S("tree")), "ro/ ro/b.v=b");
}

// The item given that will not go (a file, a link, a file removed from within its folders) is
// warned of by name with the clean-up status, and stays. A place that is not there, or is no
// directory, cannot be written to and is warned of as such.
TEST_F(FileUtilsTest, AGivenItemThatWillNotGoIsWarnedOfAndStays) {
  Files(m_root, {"one.v=1", "dir/a.v=a"});
  fs::create_symlink(S("outside"), S("link"));
  const std::string tail = "> - cleanup failed.\n";
  const std::string link = "Could not remove the file <" + S("link") + tail;
  Reset("remove_f");
  EXPECT_EQ(FU::RemoveItem(P("one.v")), Hvd::kCleanupFailed);
  EXPECT_EQ(FU::RemoveItem(P("link")), Hvd::kCleanupFailed);
  EXPECT_EQ(FU::RemoveDirectoryTree(P("link/"), true), Hvd::kCleanupFailed);
  EXPECT_EQ(FU::RemoveFileWithin(P("dir/a.v"), {P("dir")}), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), (Lines{"Could not remove the file <" + S("one.v") + tail, link, link,
                            "Could not remove the file <" + S("dir/a.v") + tail}));
  for (const auto& record : Port_MsgManData::Captured()) {
    EXPECT_EQ(record.severity, Port_MsgManData::Severity::Warning);
    EXPECT_EQ(record.category, "ProjectMgmt");
  }
  EXPECT_EQ(Tree(m_root), "dir/ dir/a.v=a link->" + S("outside") + " one.v=1 outside/ outside/keep.txt=keep");

  Reset();
  EXPECT_EQ(FU::RemoveDirectoryTree(P("missing"), false), Hvd::kCleanupFailed);
  EXPECT_EQ(FU::RemoveDirectoryTree(P("one.v"), true), Hvd::kCleanupFailed);
  // Nothing there, or no directory: invalid, not read-only, which would send the user looking
  // at permissions.
  EXPECT_EQ(Texts(), (Lines{"Could not remove invalid directory <" + S("missing") + tail,
                            "Could not remove invalid directory <" + S("one.v") + tail}));
  EXPECT_EQ(Read(S("one.v")), "1");
  // Once it can go, a link given as the tree goes alone.
  EXPECT_EQ(FU::RemoveDirectoryTree(P("link/"), true), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root), "dir/ dir/a.v=a one.v=1 outside/ outside/keep.txt=keep");
}

// As a user who may write and enter a directory but not list it: below the tree it stops only
// its own removal while the walk goes on; given as the tree itself it is warned of as invalid.
TEST_F(FileUtilsTest, ADirectoryThatCannotBeListedIsWarnedOfAndTheWalkGoesOn) {
  if (::getuid() != 0) GTEST_SKIP() << "acts as another user";
  constexpr uid_t kUser = 65534;
  Files(S("tree"), {"a.v=a", "locked/b.v=b", "z.v=z"});
  for (const char* each : {"tree", "tree/a.v", "tree/locked", "tree/locked/b.v", "tree/z.v"})
    ASSERT_EQ(::lchown(S(each).c_str(), kUser, kUser), 0) << each;
  fs::permissions(S("tree/locked"), fs::perms(0300));
  const auto asUser = [&](auto call) {
    Reset();
    EXPECT_EQ(::setresuid(kUser, kUser, 0), 0);
    const Hvd::Status status = call();
    EXPECT_EQ(::setresuid(0, 0, 0), 0);
    return status;
  };
  const std::string tail = "> - cleanup failed.\n";
  const std::string locked = "Could not remove invalid directory <" + S("tree/locked") + tail;
  EXPECT_EQ(asUser([&] { return FU::RemoveDirectoryTree(P("tree"), true); }), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), (Lines{locked, "Could not remove the directory <" + S("tree") + tail}));
  EXPECT_EQ(Tree(S("tree")), "locked/ locked/b.v=b");
  EXPECT_EQ(asUser([&] { return FU::RemoveDirectoryTree(P("tree/locked"), false); }), Hvd::kCleanupFailed);
  EXPECT_EQ(Texts(), Lines{locked});
  EXPECT_EQ(Tree(S("tree")), "locked/ locked/b.v=b");
}

TEST_F(FileUtilsTest, RemovalReachesBelowThePathLimitLeaksNoDescriptorAndNeverLeavesAChangingTree) {
  DeepTree(S("deep"), 200);
  const std::ptrdiff_t descriptors = OpenDescriptors();
  Fail("canwrite_dir", 3);  // a failure on the way down, the walk then comes back up
  EXPECT_EQ(FU::RemoveItem(P("deep")), Hvd::kCleanupFailed);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  Reset();
  EXPECT_EQ(FU::RemoveItem(P("deep")), Hvd::kSuccess);
  EXPECT_TRUE(!fs::exists(S("deep")) && Texts().empty() && OpenDescriptors() == descriptors);

  // Another process swaps a subdirectory for a link out of the tree once the removal is in it.
  for (int round = 0; round < 20; ++round) {
    // Named as in the outside directory, so that a removal by path through the link hits it.
    Files(S("tree/sub"), {"keep.txt=inside"});
    for (int file = 0; file < 30; ++file) Files(S("tree/sub"), {"a" + std::to_string(file) + "=a"});
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      while (!done && fs::exists(S("tree/sub/a0"))) std::this_thread::yield();
      std::error_code error;
      fs::rename(S("tree/sub"), S("stash"), error);
      fs::create_symlink(S("outside"), S("tree/sub"), error);
    });
    std::ignore = FU::RemoveDirectoryTree(P("tree"), true);  // may fail: the tree changed under it
    done = true;
    swapper.join();
    ASSERT_EQ(Tree(S("outside")), "keep.txt=keep") << "round " << round;
    fs::remove_all(S("tree"));
    fs::remove_all(S("stash"));
  }
}

TEST_F(FileUtilsTest, TreeCopySkipsDatabasesKeepsOddNamesAndLinksAndNeverEntersItsDestination) {
  const std::string odd = "with blank \"quoted\" \xe9\xff.v";
  Files(S("src"),
        {"x.v=x", "sub/y.v=y", "a_qdb/q.v=q", "snapshots/s.v=s", "old_qdb=o", "qdb=kept", odd + "=odd", "work/w.v=w"});
  fs::create_symlink(S("outside"), S("src/to_outside"));
  fs::create_symlink("..", S("src/to_parent"));
  fs::create_symlink("nowhere", S("src/dangling"));
  const std::string expected = "dangling->nowhere qdb=kept sub/ sub/y.v=y to_outside->" + S("outside") +
                               " to_parent->.. " + odd + "=odd work/ work/w.v=w x.v=x";
  EXPECT_EQ(FU::CopyItem(P("src"), P("item"), 0), Hvd::kSuccess);
  EXPECT_EQ(Tree(S("item")), expected);
  // Into a destination inside the source, named directly or through a link into the source.
  fs::create_directories(S("src/work/out"));
  Prjrep::AutoRelease<Prjrep::IStringSet> failed;
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("src/work/out"), 0, failed.Receive()), Hvd::kSuccess);
  EXPECT_EQ(failed.Get(), nullptr) << "no set when every file copies";
  EXPECT_EQ(Tree(S("src/work/out")), expected);
  fs::create_directory_symlink(S("src/work"), S("via"));
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("via/out"), 0, nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(S("src/work/out/work/out")));
  EXPECT_EQ(Read(S("outside/keep.txt")), "keep");
}

// A FIFO has nothing to copy and reading one would wait for a writer: it stays out with a
// warning, alone or in a tree. A link in the destination where a directory goes is replaced,
// and nothing is written where it led.
TEST_F(FileUtilsTest, CopiesLeaveOutFifosAndReplaceLinksInTheirWay) {
  Files(S("src"), {"a.v=a", "sub/b.v=b"});
  ASSERT_EQ(::mkfifo(S("src/pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(S("src/sub/pipe").c_str(), 0600), 0);
  fs::create_directories(S("dst"));
  fs::create_directory_symlink(S("outside"), S("dst/sub"));
  Prjrep::AutoRelease<Prjrep::IStringSet> failed;
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, failed.Receive()), Hvd::kSuccess);
  EXPECT_EQ(failed.Get(), nullptr);
  EXPECT_EQ(Tree(S("dst")), "a.v=a sub/ sub/b.v=b");
  EXPECT_EQ(Tree(S("outside")), "keep.txt=keep");
  EXPECT_EQ(Texts(), (Lines{"<" + S("src/pipe") + "> is not a regular file and is left out of the copy.\n",
                            "<" + S("src/sub/pipe") + "> is not a regular file and is left out of the copy.\n"}));
  Reset();
  EXPECT_EQ(FU::CopyItem(P("src/pipe"), P("pipe2"), 0), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(fs::symlink_status(S("pipe2"))));
  EXPECT_EQ(FU::CopyFile(P("src/pipe"), P("pipe3"), 0), Hvd::kDirectoryWriteFailed);
}

// Before a copy writes at a path, each link on its way below the destination is taken away, the
// first one only, as nothing lies behind it then; above the destination nothing is touched.
TEST_F(FileUtilsTest, LinksOnTheWayBelowADirectoryAreRemoved) {
  fs::create_directories(S("top/real"));
  fs::create_directory_symlink(S("outside"), S("top/real/link"));
  fs::create_directory_symlink(S("top"), S("above"));
  EXPECT_EQ(FU::RemoveLinksBelow(P("above"), P("above/real/link/keep.txt")), Hvd::kSuccess);
  EXPECT_EQ(Tree(S("top")), "real/");
  EXPECT_TRUE(fs::is_symlink(S("above")));
  fs::create_symlink(S("outside/keep.txt"), S("top/file"));
  EXPECT_EQ(FU::RemoveLinksBelow(P("top/real"), P("top/file")), Hvd::kSuccess) << "not below: left alone";
  EXPECT_TRUE(fs::is_symlink(S("top/file")));
  EXPECT_EQ(FU::RemoveLinksBelow(P("top"), P("top/file")), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(fs::symlink_status(S("top/file"))));
  EXPECT_EQ(Tree(S("outside")), "keep.txt=keep");
  EXPECT_EQ(FU::CopyLink(P("above"), P("top/new/again")), Hvd::kSuccess);
  EXPECT_EQ(fs::read_symlink(S("top/new/again")), S("top"));
}

// The set of failed names is counted: LeakSanitizer sees it if its last release does not free it.
TEST_F(FileUtilsTest, TreeCopyReportsFailuresCollectsFailedFilesAndReturnsTheFirstFailure) {
  EXPECT_EQ(FU::CopyItem(P("none"), P("dst"), 0), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(Texts(), Lines{"FileUtils::CopyItem() - Source Item \"" + S("none") + "\" doesn't appear to exist.\n"});
  Files(S("src"), {"a.v=a"});
  const std::string tree = "FileUtils::CopyDirectoryTree - ";
  const std::pair<const char*, std::string> cases[] = {
      {"canread_dir", "Unable to read source directory <" + S("src") + ">\n"},
      {"mkdir", "Unable to create destination directory <" + S("dst") + ">\n"},
      {"canwrite_dir", "Unable to write destination directory <" + S("dst") + ">\n"},
      {"UT_DIR", "Invalid directory <" + S("src") + ">\n"},
  };
  for (const auto& [operation, text] : cases) {
    Reset(operation);
    EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, nullptr), Hvd::kDirectoryWriteFailed) << operation;
    EXPECT_EQ(Texts(), Lines{tree + text});
  }
  Files(S("src"), {"b.v=b", "sub/c.v=c"});
  Reset();
  Fail("copy_p", 0, "b.v");
  Fail("canwrite_dir", 0, "dst/sub");
  Prjrep::AutoRelease<Prjrep::IStringSet> failed;
  EXPECT_EQ(FU::CopyDirectoryTree(P("src"), P("dst"), 0, failed.Receive()), Hvd::kDirectoryWriteFailed);
  ASSERT_NE(failed.Get(), nullptr);
  Prjrep::AutoRelease<Prjrep::IStringIterator> names;
  ASSERT_EQ(failed->GetIterator(names.Receive()), Hvd::kSuccess);
  EXPECT_EQ(names->Current().str(), S("dst/b.v"));
  EXPECT_TRUE(names->Next() == Hvd::kSuccess && names->IsDone());
  EXPECT_EQ(Texts(),
            (Lines{"FileUtils::CopyFile - Failed to copy file <" + S("src/b.v") + "> to <" + S("dst/b.v") + ">\n",
                   tree + "Unable to write destination directory <" + S("dst/sub") + ">\n",
                   tree + "Unable to copy sub directory <" + S("src/sub") + ">\n"}));
  EXPECT_EQ(Read(S("dst/a.v")), "a");
  Fail("copy_p", 0, "b.v");
  EXPECT_EQ(FU::CopyItem(P("src"), P("dst3"), 0), Hvd::kDirectoryWriteFailed) << "a failed file fails the item";
}

TEST_F(FileUtilsTest, ZipRoundTripsATreeWithoutAShellOrMovingUsAndReportsEachFailure) {
  Files(S("tree"), {"a.v=a", "sub dir/b $(touch pwned).v=b", "sub dir/`c`.v=c"});
  const String zip = Port_Env::GetExecFileName("zip", true);
  if (zip.empty()) GTEST_SKIP() << "zip not on PATH";
  const std::string head = "ERROR: FileUtils::ZipDirectory - ";
  const std::string run = head + "Failed to run the command <\"" + zip.str() + "\" -q -r -y \"";
  const std::string bare = "> has no extension: zip would add \".zip\" to it\n";
  const std::tuple<const char*, String, String, std::string> cases[] = {
      {"GetExecFileName", P("tree"), P("out.zip"), head + "Unable to find Velmor Zip program\n"},
      {"", P("missing"), P("out.zip"), head + " Unable to change directory to <" + S("missing") + ">\n"},
      {"Run", P("tree"), P("out.zip"), run + S("out.zip") + "\" .>\n"},
      {"", P("tree"), P("a\"b.zip"), run + S("a\"b.zip") + "\" .>\n"},
      {"isfile", P("tree"), P("made.zip"), head + "No archive was made at <" + S("made.zip") + ">\n"},
      // Names zip would read as options or extend are refused before it runs.
      {"", P("tree"), "--help", head + "The archive <" + S("tree/--help") + bare},
      {"", P("tree"), "noext", head + "The archive <" + S("tree/noext") + bare},
  };
  for (const auto& [operation, directory, archive, text] : cases) {
    Reset(operation);
    EXPECT_EQ(FU::ZipDirectory(directory, archive), Hvd::kZipNotFound) << text;
    EXPECT_EQ(Texts(), Lines{text});
  }
  Reset();
  for (const char* made : {"out.zip", "tree/--help.zip", "tree/noext.zip"}) EXPECT_FALSE(fs::exists(S(made))) << made;
  if (Port_Env::GetExecFileName("unzip", true).empty()) GTEST_SKIP() << "unzip not on PATH";
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(FU::ZipDirectory(P("tree"), P("out.zip")), Hvd::kSuccess);
  // A relative archive lands inside the zipped directory.
  EXPECT_EQ(FU::ZipDirectory(P("tree"), "inner.zip"), Hvd::kSuccess);
  EXPECT_EQ(FU::ZipDirectory(P("tree"), "--help.zip"), Hvd::kSuccess);
  EXPECT_TRUE(fs::current_path() == cwd && Texts().empty());
  EXPECT_TRUE(fs::remove(S("tree/inner.zip")) && fs::remove(S("tree/--help.zip")));
  fs::create_directories(S("unpacked"));
  Port::Process unzip;
  unzip.SetWorkingDirectory(P("unpacked"));
  ASSERT_EQ(unzip.Run({"unzip", "-q", P("out.zip")}), 0);
  EXPECT_EQ(Tree(S("unpacked")), Tree(S("tree")));
  EXPECT_FALSE(fs::exists(S("tree/pwned")));
}

// Listed names are added literally from where they are: a dash, a bracket or a star means
// nothing, a directory adds only itself, and a name a list cannot carry stops zip from running.
TEST_F(FileUtilsTest, ListedNamesAreZippedLiterallyFromWhereTheyAre) {
  Files(S("tree"), {"-a.v=a", "br[ack]et.v=b", "braet.v=not listed", "st*r.v=s", "sub dir/ $x .v=c", "sub dir/d.v=d"});
  if (Port_Env::GetExecFileName("zip", true).empty() || Port_Env::GetExecFileName("unzip", true).empty())
    GTEST_SKIP() << "zip or unzip not on PATH";
  const std::string head = "ERROR: FileUtils::ZipNames - ";
  Reset();
  EXPECT_EQ(FU::ZipNames(P("tree"), {String("-a.v"), String("new\nline")}, P("out.zip")), Hvd::kZipNotFound);
  EXPECT_EQ(FU::ZipNames(P("tree"), {String("-a.v")}, String("out.zip")), Hvd::kZipNotFound);
  EXPECT_EQ(FU::ZipNames(P("tree"), {String("missing.v")}, P("out.zip")), Hvd::kZipNotFound);
  const Lines said = Texts();
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0], head + "The name <new\\nline> cannot be given to zip in a list\n");  // on one line
  EXPECT_EQ(said[1], head + "The archive <out.zip> is not a complete path\n");
  EXPECT_EQ(said[2].rfind(head + "zip could not add the 1 names to <" + S("out.zip") + ">", 0), 0u) << said[2];
  EXPECT_FALSE(fs::exists(S("out.zip.names")));
  fs::remove(S("out.zip"));

  Reset();
  EXPECT_EQ(FU::ZipNames(P("tree"), {}, P("out.zip")), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(S("out.zip"))) << "nothing to add, nothing made";
  EXPECT_EQ(FU::ZipNames(P("tree"), {String("-a.v"), String("br[ack]et.v"), String("st*r.v"), String("sub dir")},
                         P("out.zip")),
            Hvd::kSuccess);
  // Added to an archive that is there already.
  EXPECT_EQ(FU::ZipNames(P("tree"), {String("sub dir/ $x .v")}, P("out.zip")), Hvd::kSuccess);
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(fs::exists(S("out.zip.names")));
  fs::create_directories(S("unpacked"));
  Port::Process unzip;
  unzip.SetWorkingDirectory(P("unpacked"));
  ASSERT_EQ(unzip.Run({"unzip", "-q", P("out.zip")}), 0);
  Files(S("expected"), {"-a.v=a", "br[ack]et.v=b", "st*r.v=s", "sub dir/ $x .v=c"});
  EXPECT_EQ(Tree(S("unpacked")), Tree(S("expected")));
}

// Archives zipped apart join into one that lists the entries of each in turn and unpacks to
// what they hold; what is not a plain archive is refused and nothing is written.
TEST_F(FileUtilsTest, ZipsJoinInTurnAndAnythingElseIsRefused) {
  Files(S("tree"), {"a.v=a", "b.v=bb", "sub/c.v=ccc", "d.v=dddd"});
  if (Port_Env::GetExecFileName("zip", true).empty() || Port_Env::GetExecFileName("unzip", true).empty())
    GTEST_SKIP() << "zip or unzip not on PATH";
  ASSERT_EQ(FU::ZipNames(P("tree"), {String("d.v"), String("a.v")}, P("one.zip")), Hvd::kSuccess);
  ASSERT_EQ(FU::ZipNames(P("tree"), {String("sub"), String("sub/c.v")}, P("two.zip")), Hvd::kSuccess);
  ASSERT_EQ(FU::ZipNames(P("tree"), {String("b.v")}, P("three.zip")), Hvd::kSuccess);
  Reset();
  ASSERT_EQ(FU::JoinZips({P("one.zip"), P("two.zip"), P("three.zip")}, P("all.zip")), Hvd::kSuccess);
  EXPECT_TRUE(Texts().empty());
  Port::Process unzip;
  unzip.SetWorkingDirectory(P("unpacked"));
  fs::create_directories(S("unpacked"));
  ASSERT_EQ(unzip.Run({"unzip", "-tq", P("all.zip")}), 0);
  ASSERT_EQ(unzip.Run({"unzip", "-q", P("all.zip")}), 0);
  EXPECT_EQ(Tree(S("unpacked")), Tree(S("tree")));
  const std::string listed = S("listed.txt");
  ASSERT_EQ(std::system(("unzip -Z1 " + S("all.zip") + " > " + listed).c_str()), 0);
  std::ifstream in(listed);
  std::vector<std::string> order;
  for (std::string line; std::getline(in, line);) order.push_back(line);
  EXPECT_EQ(order, (std::vector<std::string>{"d.v", "a.v", "sub/", "sub/c.v", "b.v"}));

  Files(S("bad"), {"not.zip=plain text, long enough to hold an end record"});
  EXPECT_EQ(FU::JoinZips({P("one.zip"), P("bad/not.zip")}, P("none.zip")), Hvd::kZipNotFound);
  // An archive with a comment is not joined either.
  fs::copy_file(S("one.zip"), S("commented.zip"));
  ASSERT_EQ(std::system(("echo note | zip -qz " + S("commented.zip")).c_str()), 0);
  EXPECT_EQ(FU::JoinZips({P("commented.zip"), P("two.zip")}, P("none.zip")), Hvd::kZipNotFound);
  EXPECT_FALSE(fs::exists(S("none.zip")));
  EXPECT_EQ(Texts().size(), 2u);
}

// A part is read only up to what a join can hold: a larger one (a sparse terabyte) is refused
// at once, naming it, and nothing is written. In a child process, whose alarm turns reading the
// whole part into a failure.
TEST_F(FileUtilsTest, AZipPartLargerThanAJoinCanHoldIsRefusedUnread) {
  Files(m_root, {"huge.zip=PK"});
  fs::resize_file(S("huge.zip"), std::uintmax_t{1} << 40);
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(120);
    const bool refused = FU::JoinZips({P("huge.zip")}, P("all.zip")) == Hvd::kZipNotFound && Texts().size() == 1 &&
                         Texts()[0].find("huge.zip") != std::string::npos &&
                         Texts()[0].find("too large") != std::string::npos;
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::exists(S("all.zip")));
}

TEST_F(FileUtilsTest, TempDirectoriesAreNewAndPrivate) {
  String first, second, failed("stale");
  std::string token;
  ASSERT_TRUE(FU::CreateTempDirectory(first, token) == Hvd::kSuccess &&
              FU::CreateTempDirectory(second, token) == Hvd::kSuccess);
  EXPECT_NE(first, second);
  for (const String& path : {first, second}) {
    EXPECT_TRUE(fs::path(path.str()).is_absolute() && (Permissions(path.str()) & 077u) == 0u) << path.str();
    EXPECT_EQ(FU::RemoveItem(path), Hvd::kSuccess);
  }
  Fail("mkdir");
  EXPECT_TRUE(FU::CreateTempDirectory(failed, token) == Hvd::kTempDirNotCreated && failed.empty());
  EXPECT_THAT(Texts(),
              ElementsAre(StartsWith("FileUtils::CreateTempDirectory - Unable to create temporary directory <")));
}

TEST_F(FileUtilsTest, ProjectPathsGetAUsableDirectoryWithTheOwnersRights) {
  const fs::path cwd = fs::current_path();
  fs::current_path(m_root);  // a bare name gets a directory of its own, named after it
  for (const auto& [given, wanted] :
       {std::pair{String("design.hlc"), P("design/design.hlc")}, std::pair{P("a/b/top.hlc"), P("a/b/top.hlc")}}) {
    String path = given;
    EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kSuccess) << given.str();
    EXPECT_TRUE(path == wanted && fs::is_directory(fs::path(wanted.str()).parent_path())) << wanted.str();
  }
  fs::current_path(cwd);
  const std::tuple<const char*, std::string, ::testing::Matcher<std::string>> failures[] = {
      {"", "", "DEBUG: ValidateOrCreateHLCPathDirectory cannot accept a non_empty path. Nothing to do.\n"},
      {"mkdir", S("c/top.hlc"), "Warning: Could not create directory " + S("c") + "\n"},
      {"", S("d/") + std::string(300, 'n') + "/top.hlc", StartsWith("Warning: Path=" + S("d") + "/")},
  };
  for (const auto& [operation, given, text] : failures) {
    Reset(operation);
    String path(given);
    EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kFailure) << given;
    EXPECT_THAT(Texts(), ElementsAre(text));
  }
  // A directory without rights gets its owner's back; others' are neither taken nor widened.
  Reset();
  fs::create_directories(S("locked"));
  fs::permissions(S("locked"), fs::perms(0750));
  Fail("canread", 0, "locked");
  Fail("canwrite_dir", 0, "locked");
  String path = P("locked/top.hlc");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kSuccess);
  EXPECT_EQ(Permissions(S("locked")) & 0750u, 0700u | (0050u & ~kUmask));
  Port_MsgManData::ClearCaptured();
  Fail("chmod");
  EXPECT_EQ(Hvd::ValidateOrCreateHLCPathDirectory(path), Hvd::kSuccess);
  EXPECT_EQ(Texts(), Lines{"Warning: Could not change permissions for directory " + S("locked") + "\n"});
}

TEST(FileStampTest, ALaterTimeOrAnotherSizeIsAChangeAMissingFileIsNot) {
  const std::string path = ::testing::TempDir() + "stamp_" + std::to_string(getpid()) + ".txt";
  const auto write = [&](const char* text, time_t seconds) {
    std::ofstream(path) << text;
    const utimbuf times{seconds, seconds};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  };
  write("abc", 1000000);
  Hvd::FileStamp stamp;
  stamp.Update();  // no path: nothing taken, nothing changed
  EXPECT_FALSE(stamp.IsChanged());
  stamp.path = path;
  stamp.Update();
  EXPECT_TRUE(stamp.time == 1000000 && stamp.size == 3 && !stamp.IsChanged());
  std::string changed;  // touched to an older time with the same size, shrunk, touched to a later time, removed
  for (const auto& [text, seconds] : {std::pair{"abc", 999000}, {"ab", 1000000}, {"abc", 1000001}}) {
    write(text, seconds);
    changed += stamp.IsChanged() ? "y" : "n";
  }
  std::filesystem::remove(path);
  EXPECT_EQ(changed + (stamp.IsChanged() ? "y" : "n"), "nyyn");
  stamp.Update();
  EXPECT_TRUE(stamp.time == 0 && stamp.size == 0);
}

TEST(PathHelpersTest, ExtensionsAbsolutePathsAndSlashes) {
  const char* extensions[][3] = {{"/p/top.xhlc", ".hlc", "/p/top.hlc"},
                                 {"/p.d/top", ".hlc", "/p.d/top.hlc"},
                                 {"/p/.profile", ".x", "/p/.x"},
                                 {"top.v", "", "top"}};
  for (const auto& c : extensions) EXPECT_EQ(Hvd::ChangeExtension(c[0], c[1]), c[2]) << c[0];
  for (const char* path : {"/", "a/b"}) EXPECT_FALSE(Hvd::IsAbsolutePath(path)) << path;
  for (const char* path : {"/a", "C:", "\\\\server"}) EXPECT_TRUE(Hvd::IsAbsolutePath(path)) << path;
  EXPECT_EQ(Hvd::MakeSlashPath("//:a\\b"), "a/b");
  EXPECT_EQ(Hvd::GetObjectName(nullptr), "");
}

}  // namespace
