// Replacing a file must never leave it half written: each step is made to fail in turn.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"
#include "XmlTestSupport.h"
#include "utils/XmlSerializer.h"
#include "core/AtomicFile.h"

namespace {

using XmlTest::Names;
using XmlTest::Strings;

TEST(AtomicFileTest, AFailedStepLeavesTheOldFileAndNoTemporaryAndSuccessKeepsPermissions) {
  Port::FaultInjection::Scope scope;
  TempDir dir;
  const std::string path = dir / "p.xhlc", old = "old \x01\x02 bytes\n";
  std::string message;
  ASSERT_EQ(Hvd::WriteFileAtomically(path, old, &message), Hvd::kSuccess) << message;
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  for (const char* step : {"open", "write", "fsync", "close", "rename"}) {
    Port::FaultInjection::Fail(step, 1, "p.xhlc");
    EXPECT_EQ(Hvd::WriteFileAtomically(path, "new content", &message), Hvd::kFailure) << step;
    EXPECT_NE(message.find(step), std::string::npos) << message;
    EXPECT_TRUE(TempDir::Read(path) == old && Names(dir) == Strings{"p.xhlc"}) << step;
  }
  // Nothing stays armed: the next write goes through, with the file's permissions kept.
  ASSERT_EQ(Hvd::WriteFileAtomically(path, std::string(100000, 'x')), Hvd::kSuccess);
  struct stat info {};
  EXPECT_TRUE(TempDir::Read(path) == std::string(100000, 'x') && Names(dir) == Strings{"p.xhlc"});
  EXPECT_TRUE(::stat(path.c_str(), &info) == 0 && (info.st_mode & 07777) == 0640u);
  message.clear();
  EXPECT_TRUE(Hvd::WriteFileAtomically(dir / "missing/p.xhlc", "x", &message) == Hvd::kFailure && !message.empty());

  // Documents go through the same writer.
  auto document = XmlTest::NewDocument();
  ASSERT_TRUE(document);
  Port::FaultInjection::Fail("rename", 1, "p.xhlc");
  EXPECT_EQ(Hvd::Xml::WriteDocumentFile(document.get(), path, &message), Hvd::kFailure);
  EXPECT_TRUE(TempDir::Read(path) == std::string(100000, 'x') && Names(dir) == Strings{"p.xhlc"});
  EXPECT_EQ(Hvd::Xml::WriteDocumentFile(nullptr, path, &message), Hvd::kFailure);
}

// The names in a folder, in order.
Strings Sorted(const std::string& folder) {
  Strings names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The umask is the process's: writers on many threads at once neither change it nor see it
// changed, and a new file gets the mode it gives.
TEST(AtomicFileTest, NewFilesTakeTheUmaskWhichNoWriteChanges) {
  TempDir dir;
  const mode_t before = ::umask(027);
  std::vector<std::thread> writers;
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([&dir, t] {
      for (int i = 0; i < 100; ++i) {
        const std::string path = dir / ("f" + std::to_string(t) + "_" + std::to_string(i));
        if (Hvd::WriteFileAtomically(path, "x") != Hvd::kSuccess || ModeOf(path) != 0640) ADD_FAILURE() << path;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(::umask(before), 027u);
}

// The temporary's name does not grow with the target's: the longest names a folder takes work.
TEST(AtomicFileTest, NamesUpToTheLongestAFolderTakesAreWritten) {
  TempDir dir;
  for (const std::size_t length : {245u, 255u}) {
    const std::string name(length, 'n'), path = dir / name;
    std::string message;
    EXPECT_EQ(Hvd::WriteFileAtomically(path, "long", &message), Hvd::kSuccess) << length << ": " << message;
    EXPECT_TRUE(TempDir::Read(path) == "long" && Names(dir) == Strings{name}) << length;
    std::filesystem::remove(path);
  }
}

// A writer killed before its rename leaves its temporary behind: here the file size limit kills
// it in the middle of its write. The next write of the same target removes what such writers
// left, and only that: writers of one target on many threads never take each other's.
TEST(AtomicFileTest, TemporariesOfKilledWritersAreRemovedByTheNextWriteOfTheirTarget) {
  TempDir dir;
  const std::string path = dir / "p.xhlc", other = dir / "other.xhlc";
  const auto killedWriting = [](const std::string& target) {
    const pid_t child = ::fork();
    if (child == 0) {
      const struct rlimit small = {4096, 4096}, noCore = {0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      ::setrlimit(RLIMIT_FSIZE, &small);
      std::ignore = Hvd::WriteFileAtomically(target, std::string(1 << 20, 'x'));
      ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
  };
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "old"), Hvd::kSuccess);
  ASSERT_TRUE(killedWriting(path) && killedWriting(path) && killedWriting(other));
  ASSERT_EQ(Names(dir).size(), 3u) << "the target and a temporary each: the second write removed the first's";

  ASSERT_EQ(Hvd::WriteFileAtomically(path, "new"), Hvd::kSuccess);
  EXPECT_EQ(TempDir::Read(path), "new");
  EXPECT_EQ(Names(dir).size(), 2u) << "the other target's temporary is left to its own writes";
  ASSERT_EQ(Hvd::WriteFileAtomically(other, "o"), Hvd::kSuccess);
  EXPECT_EQ(Sorted(dir.path()), (Strings{"other.xhlc", "p.xhlc"}));

  std::vector<std::thread> writers;
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([&path, t] {
      for (int i = 0; i < 50; ++i) {
        std::string message;
        if (Hvd::WriteFileAtomically(path, std::to_string(t), &message) != Hvd::kSuccess) ADD_FAILURE() << message;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(Names(dir).size(), 2u);
}

// A link is written through: the file it ends at is replaced in its own folder, and every link
// on the way stays as it was. A link to nothing is refused, as it could make a file anywhere; a
// loop is a failure.
TEST(AtomicFileTest, LinksAreWrittenThroughAndKept) {
  TempDir dir;
  const std::string shared = dir / "shared", file = shared + "/p.xhlc";
  ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
  TempDir::Write(file, "old");
  ASSERT_EQ(::symlink("shared/p.xhlc", (dir / "link.xhlc").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "link.xhlc").c_str(), (dir / "chain.xhlc").c_str()), 0);
  ASSERT_EQ(::symlink("shared/new.xhlc", (dir / "dangling.xhlc").c_str()), 0);
  ASSERT_EQ(::symlink("loop2", (dir / "loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", (dir / "loop2").c_str()), 0);
  std::string message;
  ASSERT_EQ(Hvd::WriteFileAtomically(dir / "chain.xhlc", "new", &message), Hvd::kSuccess) << message;
  EXPECT_EQ(Hvd::WriteFileAtomically(dir / "dangling.xhlc", "made", &message), Hvd::kFailure);
  EXPECT_NE(message.find("dangling.xhlc\": it is a link to \"" + shared + "/new.xhlc\", which does not exist"),
            std::string::npos)
      << message;
  EXPECT_EQ(TempDir::Read(file), "new");
  for (const char* link : {"link.xhlc", "chain.xhlc", "dangling.xhlc"}) {
    EXPECT_TRUE(std::filesystem::is_symlink(dir / link)) << link;
  }
  EXPECT_EQ(std::filesystem::read_symlink(dir / "link.xhlc"), "shared/p.xhlc");
  EXPECT_EQ(Hvd::WriteFileAtomically(dir / "loop1", "x", &message), Hvd::kFailure);
  EXPECT_NE(message.find("loop1"), std::string::npos) << message;
  EXPECT_EQ(Sorted(dir.path()), (Strings{"chain.xhlc", "dangling.xhlc", "link.xhlc", "loop1", "loop2", "shared"}));
  EXPECT_EQ(Sorted(shared), Strings{"p.xhlc"});
}

// Whatever a link leads to that is no regular file, a FIFO, a folder or a socket, nothing is
// written through it or waited on: the write is refused, naming the link and its end, and the
// link and its end stay as they were.
TEST(AtomicFileTest, ALinkToNoRegularFileIsRefused) {
  TempDir dir;
  const std::string fifo = dir / "fifo", folder = dir / "folder", socket = dir / "socket";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket.size(), sizeof address.sun_path);
  socket.copy(address.sun_path, socket.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  for (const auto& [end, kind] : {std::pair{fifo, "a FIFO"}, {folder, "a folder"}, {socket, "a socket"}}) {
    const std::string link = end + ".xhlc";
    ASSERT_EQ(::symlink(end.c_str(), link.c_str()), 0);
    std::string message;
    EXPECT_EQ(Hvd::WriteFileAtomically(link, "bytes", &message), Hvd::kFailure) << kind;
    EXPECT_NE(message.find("\"" + link + "\": it is a link to \"" + end + "\", " + kind), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << kind;
  }
  ::close(listener);
  struct stat info {};
  EXPECT_TRUE(::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_EQ(Sorted(dir.path()), (Strings{"fifo", "fifo.xhlc", "folder", "folder.xhlc", "socket", "socket.xhlc"}));
}

// A file the library writes on its own follows a link only to a regular file inside its folder,
// links resolved at every step. Any other link is replaced by a regular file, with a warning that
// names it, and what it led to is left as it was.
TEST(AtomicFileTest, AFileWrittenOnItsOwnFollowsALinkOnlyToARegularFileInItsFolder) {
  TempDir dir;
  const std::string project = dir / "project", outside = dir / "outside";
  ASSERT_EQ(::mkdir(project.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((project + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
  TempDir::Write(project + "/sub/kept.ghlc", "old");
  TempDir::Write(outside + "/user.txt", "the user's");
  ASSERT_EQ(::mkfifo((project + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(outside.c_str(), (project + "/away").c_str()), 0);
  const std::pair<const char*, const char*> links[] = {
      {"inside.ghlc", "sub/kept.ghlc"},     {"outside.ghlc", "../outside/user.txt"},
      {"through.ghlc", "away/user.txt"},    {"dangling.hdp", "../outside/made.hdp"},
      {"fifo.log", "fifo"},                 {"folder.log", "sub"}};
  for (const auto& [name, to] : links) ASSERT_EQ(::symlink(to, (project + "/" + name).c_str()), 0);

  Port_MsgManData::ClearCaptured();
  for (const auto& [name, to] : links) {
    std::string message;
    EXPECT_EQ(Hvd::WriteOwnFileAtomically(project + "/" + name, name, project, &message), Hvd::kSuccess)
        << name << ": " << message;
  }
  EXPECT_EQ(TempDir::Read(project + "/sub/kept.ghlc"), "inside.ghlc");
  EXPECT_TRUE(std::filesystem::is_symlink(project + "/inside.ghlc"));
  std::vector<std::string> warned;
  for (const auto& record : Port_MsgManData::Captured())
    if (record.severity == Port_MsgManData::Severity::Warning) warned.push_back(record.text);
  ASSERT_EQ(warned.size(), 5u);
  for (const auto& [name, to] : links) {
    if (std::string(name) == "inside.ghlc") continue;
    const std::string path = project + "/" + name;
    EXPECT_FALSE(std::filesystem::is_symlink(path)) << name;
    EXPECT_EQ(TempDir::Read(path), name);
    EXPECT_TRUE(std::any_of(warned.begin(), warned.end(),
                            [&](const std::string& text) { return text.rfind("\"" + path + "\" is a link to ", 0) == 0; }))
        << name;
  }
  EXPECT_EQ(TempDir::Read(outside + "/user.txt"), "the user's");
  EXPECT_EQ(Sorted(outside), Strings{"user.txt"});
  struct stat info {};
  EXPECT_TRUE(::lstat((project + "/fifo").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_EQ(Sorted(project + "/sub"), Strings{"kept.ghlc"});
}

// Below a scratch folder, on the thread that named it, a write is not flushed: an armed fsync
// failure never reaches it, and the file is still whole with no temporary left. Any other file,
// one reached through a link out of the folder, one on another thread or after the scope, is
// flushed as ever.
TEST(AtomicFileTest, WritesBelowAScratchFolderGoUnflushedOnItsThreadOnly) {
  Port::FaultInjection::Scope faults;
  TempDir dir;
  const std::string scratch = dir / "scratch", beside = dir / "scratch2";
  ASSERT_EQ(::mkdir(scratch.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((scratch + "/deep").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(beside.c_str(), 0755), 0);
  ASSERT_EQ(::symlink((beside + "/out.xhlc").c_str(), (scratch + "/link.xhlc").c_str()), 0);
  Port::FaultInjection::Fail("fsync");
  const auto write = [](const std::string& path) { return Hvd::WriteFileAtomically(path, "bytes"); };
  {
    const Hvd::UnflushedBelow unflushed(scratch + "/");
    EXPECT_EQ(write(scratch + "/deep/p.xhlc"), Hvd::kSuccess);
    EXPECT_EQ(TempDir::Read(scratch + "/deep/p.xhlc"), "bytes");
    EXPECT_EQ(Sorted(scratch + "/deep"), Strings{"p.xhlc"});
    EXPECT_EQ(write(beside + "/p.xhlc"), Hvd::kFailure);
    EXPECT_EQ(write(scratch + "/link.xhlc"), Hvd::kFailure);
    EXPECT_EQ(write(scratch + "/deep/../q.xhlc"), Hvd::kFailure);
    Hvd::Status elsewhere = Hvd::kSuccess;
    std::thread([&] { elsewhere = write(scratch + "/r.xhlc"); }).join();
    EXPECT_EQ(elsewhere, Hvd::kFailure);
    {
      const Hvd::UnflushedBelow inner(beside);
      EXPECT_EQ(write(beside + "/p.xhlc"), Hvd::kSuccess);
      EXPECT_EQ(write(scratch + "/s.xhlc"), Hvd::kSuccess);
    }
    EXPECT_EQ(write(beside + "/q.xhlc"), Hvd::kFailure);
  }
  EXPECT_EQ(write(scratch + "/t.xhlc"), Hvd::kFailure);
  EXPECT_EQ(Sorted(scratch), (Strings{"deep", "link.xhlc", "s.xhlc"}));
  EXPECT_EQ(Sorted(beside), Strings{"p.xhlc"});
}

// A replaced file keeps its owner and group. Where the writer may not give them (the fault hook
// plays such a writer, as the tests run as root), the set-id bits go: they would grant the
// writer's rights instead.
TEST(AtomicFileTest, AReplacedFileKeepsItsOwnerOrLosesItsSetIdBits) {
  Port::FaultInjection::Scope scope;
  TempDir dir;
  const std::string path = dir / "p.xhlc";
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "old"), Hvd::kSuccess);
  ASSERT_EQ(::chmod(path.c_str(), 06750), 0);
  struct stat before {};
  struct stat after {};
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
    ASSERT_EQ(::chmod(path.c_str(), 06750), 0);  // chown dropped the set-id bits
  }
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "kept"), Hvd::kSuccess);
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_TRUE(after.st_uid == before.st_uid && after.st_gid == before.st_gid) << after.st_uid << ":" << after.st_gid;
  EXPECT_EQ(after.st_mode & 07777, 06750u);

  Port::FaultInjection::Fail("fchown", 0, "p.xhlc");
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "new"), Hvd::kSuccess);
  EXPECT_EQ(TempDir::Read(path), "new");
  EXPECT_EQ(ModeOf(path), 0750u);
}

// A file the writer may not write is refused like any failed write and left as it was, also
// through a link. Root may write any file, so there the fault hook plays the refusal.
TEST(AtomicFileTest, AFileTheWriterMayNotWriteIsLeftAlone) {
  Port::FaultInjection::Scope scope;
  TempDir dir;
  const std::string path = dir / "p.xhlc";
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "old"), Hvd::kSuccess);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::symlink("p.xhlc", (dir / "link").c_str()), 0);
  if (::geteuid() == 0) Port::FaultInjection::Fail("access", 0, "");
  for (const std::string& name : {path, dir / "link"}) {
    std::string message;
    EXPECT_EQ(Hvd::WriteFileAtomically(name, "new", &message), Hvd::kFailure) << name;
    EXPECT_NE(message.find("cannot write \"" + name + "\": access failed"), std::string::npos) << message;
  }
  EXPECT_TRUE(TempDir::Read(path) == "old" && ModeOf(path) == 0444u);
  EXPECT_EQ(Sorted(dir.path()), (Strings{"link", "p.xhlc"}));
}

}  // namespace
