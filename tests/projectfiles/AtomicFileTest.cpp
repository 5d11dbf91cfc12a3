// Replacing a file must never leave it half written: each step is made to fail in turn.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "Port/FaultInjection.h"
#include "XmlTestSupport.h"
#include "projectfiles/XmlSerializer.h"
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
  Strings names = Names(dir);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{"other.xhlc", "p.xhlc"}));

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

}  // namespace
