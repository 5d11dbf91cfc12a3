#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Port/Dir.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Port/Process.h"
#include "hostkit/TempDir.h"

namespace {

using S = Port::StringBase<char>;
using V = std::vector<std::string>;

TEST(ProcessTest, CommandLinesSplitAtBlanksOutsideDoubleQuotes) {
  const std::pair<const char*, V> cases[] = {
      {"\"/usr/bin/zip\" -q -S \"my archive.zip\" .", {"/usr/bin/zip", "-q", "-S", "my archive.zip", "."}},
      {"  a\t\tb  ", {"a", "b"}},
      {"x \"\" pre\"mid dle\"post", {"x", "", "premid dlepost"}},
      {"'a b' $(c) `d` \\e", {"'a", "b'", "$(c)", "`d`", "\\e"}},
      {"   ", {}}};
  for (const auto& [line, want] : cases) {
    V got;
    for (const S& argument : Port::Process::SplitCommandLine(line)) got.push_back(argument.str());
    EXPECT_EQ(got, want) << line;
  }
}

// Were a shell involved, the arguments would run commands, expand or split.
TEST(ProcessTest, ArgumentsReachTheChildLiterallyInItsOwnWorkingDirectoryAndItsExitStatusIsTheResult) {
  TempDir dir;
  const std::string before = Port::File::getcwd().str();
  Port::Process process;
  process.SetWorkingDirectory(dir.path());
  EXPECT_EQ(process.RunNoWindow("\"touch\" \"a $(touch pwned) b\" \"`touch tick`\" 'q' \"*\"", true, true), 0);
  EXPECT_EQ(process.Run(std::vector<S>{"/usr/bin/touch", "x;y", "new\nline"}), 0);
  V names;
  for (const UT_DIR::Entry& entry : UT_DIR(dir.path(), 0)) names.push_back(entry.name.str());
  EXPECT_EQ(names, (V{"'q'", "*", "`touch tick`", "a $(touch pwned) b", "new\nline", "x;y"}));
  EXPECT_EQ(Port::File::getcwd(), before);
  // A relative program path means ours, not one under the child's directory.
  Port::File::mkdir(dir / "here", false);
  ::symlink("/usr/bin/touch", (dir / "here/prog").c_str());
  ASSERT_TRUE(Port::File::chdir(dir / "here"));
  EXPECT_EQ(process.Run(std::vector<S>{"./prog", "made"}), 0);
  ASSERT_TRUE(Port::File::chdir(before));
  EXPECT_TRUE(Port::File::isfile(dir / "made"));
  EXPECT_EQ(process.RunNoWindow("false", true, true), 1);
  for (const std::vector<S>& argv : {std::vector<S>{"/no/such/program"}, {"no-such-program-on-the-path"}, {}}) {
    EXPECT_EQ(process.Run(argv), -1);
  }
  process.SetWorkingDirectory(dir / "none");
  EXPECT_NE(process.Run(std::vector<S>{"true"}), 0);  // a child that cannot start there does not run
}

// The child reads its input from a named file, opened by our name before it changes directory;
// one that cannot be opened keeps the child from running.
TEST(ProcessTest, TheChildReadsItsStandardInputFromTheFileGiven) {
  TempDir dir;
  TempDir::Write(dir / "names", "a $b\n-c\n");
  Port::File::mkdir(dir / "work", false);
  Port::Process process;
  process.SetWorkingDirectory(dir / "work");
  process.SetStandardInput(dir / "names");
  EXPECT_EQ(process.Run(std::vector<S>{"cp", "/dev/stdin", "copied"}), 0);
  EXPECT_EQ(TempDir::Read(dir / "work/copied"), "a $b\n-c\n");
  process.SetStandardInput(dir / "missing");
  EXPECT_EQ(process.Run(std::vector<S>{"touch", "ran"}), -1);
  EXPECT_FALSE(Port::File::exist(dir / "work/ran"));
}

TEST(EnvTest, ExecutablesAreFoundOnThePathAndUnsetIsToldFromEmpty) {
  EXPECT_EQ(::access(Port_Env::GetExecFileName("sh", true).c_str(), X_OK), 0);
  EXPECT_TRUE(Port_Env::GetExecFileName("no-such-program-on-the-path", true).empty());
  EXPECT_EQ(Port_Env::GetExecFileName("/usr/bin/true", true), "/usr/bin/true");
  TempDir dir;
  TempDir::Write(dir / "tool", "");  // on the path, but not executable
  const std::string oldPath = ::getenv("PATH");
  ::setenv("PATH", dir.path().c_str(), 1);
  EXPECT_TRUE(Port_Env::GetExecFileName("tool", true).empty());
  ::chmod((dir / "tool").c_str(), 0755);
  EXPECT_EQ(Port_Env::GetExecFileName("tool", true), dir / "tool");
  // A program planted in the working directory is never found through an empty or relative entry.
  TempDir work;
  TempDir::Write(work / "planted", "");
  ::chmod((work / "planted").c_str(), 0755);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  for (const std::string& path : {":" + dir.path(), dir.path() + ":", dir.path() + ":.",
                                 std::string("bin:") + dir.path()}) {
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(Port_Env::GetExecFileName("planted", true).empty()) << path;
    EXPECT_EQ(Port_Env::GetExecFileName("tool", true), dir / "tool") << path;
  }
  std::filesystem::current_path(before);
  ::setenv("PATH", oldPath.c_str(), 1);
  S value("stale");
  ::unsetenv("HOSTKIT_TEST_VALUE");
  for (const char* set : {static_cast<const char*>(nullptr), "", "on"}) {
    if (set) ::setenv("HOSTKIT_TEST_VALUE", set, 1);
    EXPECT_TRUE(Port_Env::GetEnv("HOSTKIT_TEST_VALUE", value) == (set != nullptr) && value == (set ? set : ""))
        << (set ? set : "unset");
  }
  ::unsetenv("HOSTKIT_TEST_VALUE");
}

// The data files sit in one folder found from the host library, the build tree's as the
// installed one's; a name never leads out of it.
TEST(EnvTest, DataFilesAreFoundInTheDataFolderAndOnlyThere) {
  const std::string script = Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).str();
  const std::string tail = "/HvdDesignData/corvane/scripts/hvd_migrateTasks.tcl";
  ASSERT_TRUE(script.size() > tail.size() && script.compare(script.size() - tail.size(), tail.size(), tail) == 0)
      << script;
  struct stat info;
  EXPECT_TRUE(::stat(script.c_str(), &info) == 0 && S_ISREG(info.st_mode));
  const std::string folder = script.substr(0, script.size() - tail.size() + sizeof("/HvdDesignData") - 1);
  EXPECT_TRUE(Port_Env::GetDataFileName("corvane/scripts/none.tcl", true).empty());
  EXPECT_EQ(Port_Env::GetDataFileName("corvane/scripts/none.tcl", false), folder + "/corvane/scripts/none.tcl");
  EXPECT_TRUE(Port_Env::GetDataFileName("corvane/scripts", true).empty());  // a folder is no data file
  for (const char* outside : {"", "/etc/hostname", "../lib/x", "corvane/../../x", "corvane/scripts/.."})
    EXPECT_TRUE(Port_Env::GetDataFileName(outside, false).empty()) << outside;
  EXPECT_TRUE(Port_Env::GetDataFileName(nullptr, false).empty());
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("GetDataFileName", 0, "hvd_migrateTasks");
  EXPECT_TRUE(Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).empty());
}

// The host library's folder is fixed when it is loaded: found through a relative LD_LIBRARY_PATH
// and asked only after a change of directory, the data files and the sibling libraries are still
// its own, not those at the same relative places below the new working directory.
TEST(EnvTest, TheLibraryFolderIsTheOneItWasLoadedFromEvenAfterAChangeOfDirectory) {
  const std::string script = Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).str();
  ASSERT_FALSE(script.empty());
  TempDir dir;
  const std::filesystem::path elsewhere = dir / "elsewhere";
  const std::filesystem::path planted =
      (elsewhere / std::filesystem::path(script).lexically_relative(HOSTKIT_LIBRARY_DIR)).lexically_normal();
  ASSERT_EQ(planted.string().rfind(dir.path() + "/", 0), 0u) << planted;
  std::filesystem::create_directories(elsewhere);
  std::filesystem::create_directories(planted.parent_path());
  TempDir::Write(planted.string(), "error planted\n");

  const std::string command = std::string("cd '") + HOSTKIT_LIBRARY_DIR + "' && LD_LIBRARY_PATH=. exec '" +
                              LIBRARY_FOLDER_PROBE + "' '" + elsewhere.string() + "'";
  FILE* probe = ::popen(command.c_str(), "r");
  ASSERT_NE(probe, nullptr);
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, probe) != nullptr) output += buffer;
  EXPECT_EQ(::pclose(probe), 0);
  EXPECT_EQ(output, script + "\n1\n");
}

TEST(ProcessTest, InjectedFailuresStopRunsAndLookups) {
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("Run");
  Port::FaultInjection::Fail("GetExecFileName", 0, "sh");
  EXPECT_NE(Port::Process().RunNoWindow("true", true, true), 0);
  EXPECT_TRUE(Port_Env::GetExecFileName("sh", true).empty());
  EXPECT_FALSE(Port_Env::GetExecFileName("true", true).empty());
}

}  // namespace
