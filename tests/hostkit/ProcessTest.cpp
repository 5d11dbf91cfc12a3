#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Port/Dir.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Port/Process.h"
#include "hostkit/TempDir.h"

namespace {

using S = Port::StringBase<char>;

std::vector<std::string> Strings(const std::vector<S>& values) {
  std::vector<std::string> strings;
  for (const S& value : values) strings.push_back(value.str());
  return strings;
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const UT_DIR::Entry& entry : UT_DIR(directory, 0)) names.push_back(entry.name.str());
  return names;
}

TEST(ProcessTest, CommandLinesSplitAtBlanksOutsideDoubleQuotes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Strings(Port::Process::SplitCommandLine("\"/usr/bin/zip\" -q -r -S \"my archive.zip\" .")),
            (V{"/usr/bin/zip", "-q", "-r", "-S", "my archive.zip", "."}));
  EXPECT_EQ(Strings(Port::Process::SplitCommandLine("  a\t\tb  ")), (V{"a", "b"}));
  EXPECT_EQ(Strings(Port::Process::SplitCommandLine("x \"\" pre\"mid dle\"post")), (V{"x", "", "premid dlepost"}));
  EXPECT_EQ(Strings(Port::Process::SplitCommandLine("'a b' $(c) `d` \\e")), (V{"'a", "b'", "$(c)", "`d`", "\\e"}));
  EXPECT_TRUE(Port::Process::SplitCommandLine("   ").empty());
}

TEST(ProcessTest, ArgumentsReachTheChildLiterallyInItsOwnWorkingDirectory) {
  TempDir dir;
  const std::string before = Port::File::getcwd().str();
  Port::Process process;
  process.SetWorkingDirectory(dir.path());
  // Were a shell involved, these would run commands, expand or split.
  EXPECT_EQ(process.RunNoWindow("\"touch\" \"a $(touch pwned) b\" \"`touch tick`\" 'q' \"*\"", true, true), 0);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"'q'", "*", "`touch tick`", "a $(touch pwned) b"}));
  EXPECT_EQ(Port::File::getcwd(), before);

  EXPECT_EQ(process.Run(std::vector<S>{"/usr/bin/touch", "x;y", "new\nline"}), 0);
  EXPECT_TRUE(Port::File::isfile(dir / "x;y") && Port::File::isfile(dir / "new\nline"));
  EXPECT_FALSE(Port::File::exist(S(before + "/x;y")));

  // A relative program path means ours, not one under the child's directory.
  Port::File::mkdir(dir / "here", false);
  ::symlink("/usr/bin/touch", (dir / "here/prog").c_str());
  ASSERT_TRUE(Port::File::chdir(dir / "here"));
  EXPECT_EQ(process.Run(std::vector<S>{"./prog", "made"}), 0);
  ASSERT_TRUE(Port::File::chdir(before));
  EXPECT_TRUE(Port::File::isfile(dir / "made"));

  process.SetWorkingDirectory(dir / "none");
  EXPECT_NE(process.Run(std::vector<S>{"true"}),
            0);  // a child that cannot start there does not run
}

TEST(ProcessTest, TheResultIsTheChildsExitStatus) {
  Port::Process process;
  EXPECT_EQ(process.Run("true", true, true), 0);
  EXPECT_EQ(process.RunNoWindow("false", true, true), 1);
  EXPECT_EQ(process.Run(std::vector<S>{"/no/such/program"}), -1);
  EXPECT_EQ(process.Run(std::vector<S>{"no-such-program-on-the-path"}), -1);
  EXPECT_EQ(process.Run(std::vector<S>{}), -1);
}

TEST(EnvTest, ExecutablesAreFoundOnThePath) {
  const S sh = Port_Env::GetExecFileName("sh", true);
  ASSERT_FALSE(sh.empty());
  EXPECT_EQ(Port::FileName(sh).GetTail(), "sh");
  EXPECT_EQ(::access(sh.c_str(), X_OK), 0);
  EXPECT_TRUE(Port_Env::GetExecFileName("no-such-program-on-the-path", true).empty());
  EXPECT_EQ(Port_Env::GetExecFileName("/usr/bin/true", true), "/usr/bin/true");

  TempDir dir;
  TempDir::Write(dir / "tool", "");  // on the path, but not executable
  const std::string oldPath = ::getenv("PATH");
  ::setenv("PATH", dir.path().c_str(), 1);
  EXPECT_TRUE(Port_Env::GetExecFileName("tool", true).empty());
  ::chmod((dir / "tool").c_str(), 0755);
  EXPECT_EQ(Port_Env::GetExecFileName("tool", true), dir / "tool");
  ::setenv("PATH", oldPath.c_str(), 1);
}

TEST(EnvTest, GetEnvTellsUnsetFromEmpty) {
  S value("stale");
  ::unsetenv("HOSTKIT_TEST_VALUE");
  EXPECT_FALSE(Port_Env::GetEnv("HOSTKIT_TEST_VALUE", value));
  EXPECT_EQ(value, "");
  ::setenv("HOSTKIT_TEST_VALUE", "", 1);
  EXPECT_TRUE(Port_Env::GetEnv("HOSTKIT_TEST_VALUE", value));
  EXPECT_EQ(value, "");
  ::setenv("HOSTKIT_TEST_VALUE", "on", 1);
  EXPECT_TRUE(Port_Env::GetEnv("HOSTKIT_TEST_VALUE", value));
  EXPECT_EQ(value, "on");
  ::unsetenv("HOSTKIT_TEST_VALUE");
  EXPECT_FALSE(Port_Env::IsNt());
}

TEST(ProcessTest, InjectedFailuresStopRunsAndLookups) {
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("Run");
  Port::FaultInjection::Fail("GetExecFileName", 0, "sh");
  Port::Process process;
  EXPECT_NE(process.RunNoWindow("true", true, true), 0);
  EXPECT_TRUE(Port_Env::GetExecFileName("sh", true).empty());
  EXPECT_FALSE(Port_Env::GetExecFileName("true", true).empty());
}

}  // namespace
