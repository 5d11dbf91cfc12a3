// Path names, files and directories on the host, and the failures a test can inject into them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "Port/Dir.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "hostkit/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Port::File;
using Port::FileName;
using S = Port::StringBase<char>;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// The listing of a directory: its names in order, a directory's with "/" and a link's with "@".
std::string List(const std::string& directory) {
  std::string names;
  for (const UT_DIR::Entry& entry : UT_DIR(directory, 0)) {
    const bool link = entry.kind == UT_DIR::Kind::kLink, directory = entry.kind == UT_DIR::Kind::kDirectory;
    names += entry.name.str() + (link ? "@ " : directory ? "/ " : " ");
  }
  return names;
}

// Each test starts with a directory "d", a file "f" holding "x" and the umask 022, put back afterwards.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(d);
    TempDir::Write(f, "x");
  }
  void TearDown() override { ::umask(m_umask); }
  TempDir dir;
  const std::string d = dir / "d", f = dir / "f";
  Port::FaultInjection::Scope faults;
  mode_t m_umask = ::umask(022);
};

TEST(FileNameTest, SplitsAPathAndTellsValidPaths) {
  // Each path, then its head, tail, base and extension.
  const char* cases[] = {"/a/b.v",      "/a/|b.v|b|.v", "b.tar.gz", "|b.tar.gz|b.tar|.gz", "/b", "/|b|b|", "a/.rc",
                         "a/|.rc|.rc|", "a/dir/",       "a/dir/|||"};
  for (std::size_t i = 0; i < std::size(cases); i += 2) {
    const FileName name{S(cases[i])};
    EXPECT_EQ(name.GetHead(false, false) + "|" + name.GetTail() + "|" + name.GetBase() + "|" + name.GetExtension(),
              cases[i + 1]);
  }
  FileName name{S("/a/b.v")};
  EXPECT_EQ(name.SetTail("").GetPath(), "/a/");
  EXPECT_EQ(name.SetTail("c.vhd").GetPath(), "/a/c.vhd");
  // Valid paths are non-empty, with components the host can name.
  EXPECT_TRUE(FileName::IsValidPath("/tmp/a b/$(x)/\"q\"") && FileName::IsValidPath(S("/x/" + std::string(255, 'n'))));
  EXPECT_FALSE(FileName::IsValidPath("") || FileName::IsValidPath(S(std::string("a\0b", 3))) ||
               FileName::IsValidPath(S("/x/" + std::string(256, 'n') + "/y")));
}

// Names already in normal form take a short way; every name must still come out as the
// lexical normal form, without trailing separators, and an absolute name as it was given.
// (None of these names leads through a link, where a ".." is taken as the system takes it.)
TEST(FileNameTest, CanonicalAndAbsoluteNamesAreTheLexicalNormalForm) {
  const char* cases[] = {"/a/b.vhd", "/a/b/",  "/",       "a/b",      "a/",       "/a//b",  "//a",    "/a/./b",
                         "/a/../b",  "./a",    "a/.",     "a/..",     "../a",     ".",      "..",     "/a/.b/..c",
                         "/a/.../b", "/a/b/.", "/a/b//",  "a\\..\\b", "/..",     "/.x/x.", "/a/b..", "a//"};
  for (const char* text : cases) {
    std::string expected = fs::path(text).lexically_normal().string();
    while (expected.size() > 1 && expected.back() == '/') expected.pop_back();
    EXPECT_EQ(FileName(S(text)).MakeCanonical().GetPath(), expected) << text;
  }
  EXPECT_EQ(FileName(S("/a/./b/../c")).GetAbsolutePath(), "/a/./b/../c") << "absolute is not normal";
  EXPECT_EQ(FileName(S("a/b")).GetAbsolutePath(), fs::current_path().string() + "/a/b");
}

// A ".." steps up from where the steps before it lead, at any depth; other links stay as named.
TEST_F(FileTest, ADotDotInACanonicalNameStepsUpFromWhereTheLinkBeforeItLeads) {
  const std::string real = fs::canonical(dir.path()).string();
  fs::create_directories(d + "/x/y");
  fs::create_directories(dir / "links/a");
  fs::create_directory_symlink("../d/x", dir / "links/x");
  fs::create_directory_symlink("../../d/x/y", dir / "links/a/y");
  fs::create_symlink("loop", dir / "loop");
  const auto canonical = [](const std::string& path) { return FileName(S(path)).MakeCanonical().GetPath().str(); };
  const std::string links = real + "/links";
  EXPECT_EQ(canonical(links + "/x/../f"), real + "/d/f");
  EXPECT_EQ(canonical(links + "/a/y/../../z/./"), real + "/d/z");
  EXPECT_EQ(canonical(links + "/a/y/../y/../../links/x/g"), real + "/d/links/x/g") << "each \"..\" from its own part";
  EXPECT_EQ(canonical(links + "/x/none/../g"), real + "/d/x/g") << "a missing part folds by its letters";
  EXPECT_EQ(canonical(links + "/x/g"), links + "/x/g") << "a link before no \"..\" is kept";
  EXPECT_EQ(canonical("links/x/../f"), "links/f") << "a relative name's base is not known";
  EXPECT_FALSE(FileName(S(canonical(links + "/x/../f"))).LeadsNowhere());
  EXPECT_FALSE(FileName(S("../f")).LeadsNowhere());

  // A ".." after a link the system cannot follow (ENOENT, ELOOP) is kept with what follows it, the
  // steps before it taken as the system takes them, with or without resolving links.
  fs::create_symlink("gone", dir / "links/dang");
  const std::pair<std::string, std::string> nowhere[] = {
      {real + "/loop/../f", real + "/loop/../f"},
      {links + "/dang/../f", links + "/dang/../f"},
      {links + "/dang/sub/./../../f/", links + "/dang/sub/../../f"},
      {links + "/x/../../loop/../f", real + "/loop/../f"}};
  for (const auto& [given, kept] : nowhere) {
    for (const bool resolve : {false, true}) {
      FileName name{S(given)};
      EXPECT_EQ(name.MakeCanonical(resolve).GetPath().str(), kept) << given << " " << resolve;
      EXPECT_TRUE(name.LeadsNowhere()) << given;
    }
  }
}

TEST_F(FileTest, PredicatesFollowLinksListingsSeeThemAndTemporaryNamesAreFresh) {
  fs::create_symlink(d, dir / "a_link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  EXPECT_TRUE(File::exist(f) && File::isfile(f) && !File::isdir(f));
  EXPECT_TRUE(File::isdir(d) && !File::isfile(d) && File::isdir(dir / "a_link"));
  EXPECT_FALSE(File::exist(dir / "dangling") || File::exist(dir / "none"));
  EXPECT_TRUE(File::canread(f) && File::canread_dir(d) && File::canwrite_dir(d));
  EXPECT_FALSE(File::canwrite_dir(f) || File::canread_dir(f) || File::canread(dir / "none"));
  EXPECT_EQ(List(dir.path()), "a_link@ d/ dangling@ f ") << "sorted, without dot entries";
  const UT_DIR missing(dir / "none", 0);
  EXPECT_TRUE(!missing.isValid() && missing.begin() == missing.end() && !UT_DIR(f, 0).isValid());
  const S first = File::tmpnam(dir.path().c_str()), second = File::tmpnam(dir.path().c_str());
  EXPECT_NE(first, second);
  EXPECT_EQ(FileName(first).GetHead(), dir.path() + "/");
  EXPECT_FALSE(File::exist(first));
}

TEST_F(FileTest, MkdirMakesParentsOnlyWhenRecursiveAndRmdirTakesOnlyEmptyDirectories) {
  EXPECT_FALSE(File::mkdir(d + "/a/b", false) || File::mkdir(f + "/sub", true));
  EXPECT_TRUE(File::mkdir(d + "/a/b/c/", true) && File::mkdir(d + "/a/b", true));  // the second: already there
  EXPECT_FALSE(File::mkdir(d + "/a/b", false));                                    // a new one was asked for
  EXPECT_TRUE(File::mkdir(dir / "private", false, 0700));
  EXPECT_EQ(ModeOf(dir / "private"), 0700u);
  EXPECT_FALSE(File::rmdir(d + "/a/b"));
  EXPECT_TRUE(File::rmdir(d + "/a/b/c") && File::rmdir(d + "/a/b") && !File::exist(d + "/a/b"));
}

TEST_F(FileTest, RemoveRemovesALinkAndNeverItsTarget) {
  TempDir::Write(d + "/keep", "data");
  fs::create_symlink(d, dir / "to_dir");
  fs::create_symlink(d + "/keep", dir / "to_file");
  EXPECT_TRUE(File::remove_f(dir / "to_dir") && File::remove_f(dir / "to_file"));
  EXPECT_EQ(List(dir.path()), "d/ f ");
  EXPECT_EQ(TempDir::Read(d + "/keep"), "data");
  ::chmod((d + "/keep").c_str(), 0444);  // read-only does not stop a forced removal
  EXPECT_TRUE(File::remove_f(d + "/keep") && File::remove_f(dir / "never_was"));
  EXPECT_FALSE(File::exist(d + "/keep"));
  EXPECT_FALSE(File::remove_f(d));  // directories go through rmdir
}

// A child ended at the chosen call leaves what a kill there would; the temporary of its copy
// does not stop the next copy, even one that draws the same name.
TEST_F(FileTest, AnArmedEndStopsTheProcessAtTheChosenCallAndACopyCutShortLeavesTheNextOneFree) {
  TempDir::Write(dir / "src", "new");
  // A copy before the fork: the child then draws the names the parent draws next.
  ASSERT_TRUE(File::copy_p(dir / "src", dir / "first"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Port::FaultInjection::Exit("*", 3);
    std::ignore = File::exist(f);
    std::ignore = File::isdir(d);
    std::ignore = File::copy_p(dir / "src", dir / "dst");  // ends before its rename
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), Port::FaultInjection::kExitStatus);
  EXPECT_FALSE(fs::exists(dir / "dst"));
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "new");
}

TEST_F(FileTest, CopyReplacesTheTargetWholeOrNotAtAllAndNeverALinksTarget) {
  TempDir::Write(dir / "src", "new");
  ::chmod((dir / "src").c_str(), 0750);
  TempDir::Write(dir / "dst", "old");
  Port::FaultInjection::Fail("copy_p");  // strikes after the copy is written, before it replaces the target
  EXPECT_FALSE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "old");
  EXPECT_EQ(List(dir.path()), "d/ dst f src ");  // no temporary left
  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "new");
  EXPECT_EQ(ModeOf(dir / "dst"), 0750u);
  fs::create_symlink(f, dir / "link");
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "link"));
  EXPECT_EQ(List(dir.path()), "d/ dst f link src ");
  EXPECT_TRUE(TempDir::Read(dir / "link") == "new" && TempDir::Read(f) == "x");
  // Neither a missing source, nor a directory, nor into a missing directory.
  EXPECT_FALSE(File::copy_p(dir / "none", d + "/a") || File::copy_p(d, d + "/b") || File::copy_p(f, dir / "no/c"));
  EXPECT_EQ(List(d), "");
}

TEST_F(FileTest, CopyRefusesAFifoWithoutWaitingForAWriter) {
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  auto copy = std::async(std::launch::async, [&] { return File::copy_p(dir / "pipe", dir / "out"); });
  if (copy.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the copy waits for a writer of the FIFO";
    // A writer that comes and goes lets the blocked open return, so the test ends.
    const int writer = ::open((dir / "pipe").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  EXPECT_FALSE(copy.get());
  EXPECT_EQ(List(dir.path()), "d/ f pipe ");
  // The listing tells the FIFO from a file.
  for (const UT_DIR::Entry& entry : UT_DIR(dir.path(), 0))
    EXPECT_EQ(entry.kind == UT_DIR::Kind::kOther, entry.name == "pipe") << entry.name.str();
}

// No special bits and no more than the umask allows; asked for nothing, the owner still reads a file and keeps
// every right on a directory; read-only keeps a program runnable.
TEST_F(FileTest, ChmodNeverWidensPastTheUmaskNorTakesTheOwnersRights) {
  struct Case {
    const std::string& path;
    mode_t umask, before, asked, after;
  };
  for (const Case& c : {Case{f, 022, 0600, 0666, 0644}, Case{f, 022, 0644, 0444, 0444}, Case{f, 022, 0644, 04777, 0644},
                        Case{f, 022, 0644, 0, 0400}, Case{f, 022, 0755, 0444, 0555}, Case{f, 077, 0755, 0666, 0700},
                        Case{d, 022, 0755, 5, 0705}}) {
    ::umask(c.umask);
    ::chmod(c.path.c_str(), c.before);
    EXPECT_TRUE(File::chmod(c.path, c.asked));
    EXPECT_EQ(ModeOf(c.path), c.after) << std::oct << c.umask << " " << c.before << " " << c.asked;
  }
  EXPECT_FALSE(File::chmod(dir / "none", 0644));
}

// Each fails when its failure is injected and succeeds once it is gone (the other operations' failures are injected
// by the file utilities' tests); a failure may aim at the nth call or a path.
TEST_F(FileTest, EveryOperationFailsWhenAFailureIsInjected) {
  const std::vector<std::pair<const char*, std::function<bool()>>> operations = {
      {"exist", [&] { return File::exist(f); }},
      {"isdir", [&] { return File::isdir(d); }},
      {"rename", [&] { return File::rename(f, f); }},
      {"rmdir", [&] { return File::mkdir(d + "/new", true) && File::rmdir(d + "/new"); }},
      {"getcwd", [&] { return !File::getcwd().empty(); }},
      {"chdir", [&] { return File::chdir(File::getcwd()); }},
      {"tmpnam", [&] { return !File::tmpnam(nullptr).empty(); }}};
  for (const auto& [name, operation] : operations) {
    Port::FaultInjection::Fail(name);
    EXPECT_FALSE(operation()) << name;
    Port::FaultInjection::Clear();
    EXPECT_TRUE(operation()) << name;
  }
  Port::FaultInjection::Fail("mkdir", 2);  // a counted failure strikes once
  EXPECT_TRUE(File::mkdir(d + "/1", false) && !File::mkdir(d + "/2", false) && File::mkdir(d + "/3", false));
  EXPECT_FALSE(File::exist(d + "/2"));
  Port::FaultInjection::Fail("isdir", 0, "/d/3");  // uncounted: every matching call
  EXPECT_TRUE(File::isdir(d + "/1") && !File::isdir(d + "/3") && !File::isdir(d + "/3"));
  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::isdir(d + "/3"));
}

}  // namespace
