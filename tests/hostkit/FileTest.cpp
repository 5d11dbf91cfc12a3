#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
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
using Names = std::vector<std::string>;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

Names List(const std::string& directory) {
  Names names;
  for (const UT_DIR::Entry& entry : UT_DIR(directory, 0)) names.push_back(entry.name.str());
  return names;
}

// Sets the umask for one scope and puts the old one back.
struct UmaskScope {
  explicit UmaskScope(mode_t mask) : old(::umask(mask)) {}
  ~UmaskScope() { ::umask(old); }
  mode_t old;
};

// Each test starts with a directory "d" and a file "f" holding "x".
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(d);
    TempDir::Write(f, "x");
  }
  TempDir dir;
  const std::string d = dir / "d", f = dir / "f";
  Port::FaultInjection::Scope faults;
};

TEST(FileNameTest, SplitsAPathAndTellsValidPaths) {
  struct Case {
    const char *path, *head, *tail, *base, *extension;
  };
  for (const Case& c :
       {Case{"/a/b.v", "/a/", "b.v", "b", ".v"}, Case{"b.tar.gz", "", "b.tar.gz", "b.tar", ".gz"},
        Case{"/b", "/", "b", "b", ""}, Case{"a/.rc", "a/", ".rc", ".rc", ""}, Case{"a/dir/", "a/dir/", "", "", ""}}) {
    const FileName name{S(c.path)};
    EXPECT_EQ(name.GetHead(false, false), c.head) << c.path;
    EXPECT_EQ(name.GetTail(), c.tail) << c.path;
    EXPECT_EQ(name.GetBase(), c.base) << c.path;
    EXPECT_EQ(name.GetExtension(), c.extension) << c.path;
  }
  FileName name{S("/a/b.v")};
  EXPECT_EQ(name.SetTail("").GetPath(), "/a/");
  EXPECT_EQ(name.SetTail("c.vhd").GetPath(), "/a/c.vhd");
  // Valid paths are non-empty, with components the host can name.
  EXPECT_TRUE(FileName::IsValidPath("/tmp/a b/$(x)/\"q\""));
  EXPECT_TRUE(FileName::IsValidPath(S("/x/" + std::string(255, 'n'))));
  EXPECT_FALSE(FileName::IsValidPath("") || FileName::IsValidPath(S(std::string("a\0b", 3))));
  EXPECT_FALSE(FileName::IsValidPath(S("/x/" + std::string(256, 'n') + "/y")));
}

TEST_F(FileTest, PredicatesFollowLinksListingsSeeThemAndBothTellFilesFromDirectories) {
  fs::create_symlink(d, dir / "a_link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  EXPECT_TRUE(File::exist(f) && File::isfile(f) && !File::isdir(f));
  EXPECT_TRUE(File::isdir(d) && !File::isfile(d) && File::isdir(dir / "a_link"));
  EXPECT_FALSE(File::exist(dir / "dangling") || File::exist(dir / "none"));
  EXPECT_TRUE(File::canread(f) && File::canread_dir(d) && File::canwrite_dir(d));
  EXPECT_FALSE(File::canwrite_dir(f) || File::canread_dir(f) || File::canread(dir / "none"));
  // A listing is sorted, without dot entries.
  const UT_DIR listing(dir.path(), 0);
  ASSERT_TRUE(listing.isValid());
  std::vector<std::pair<std::string, UT_DIR::Kind>> seen;
  for (UT_DIR_ITERATOR entry = listing.begin(); entry != listing.end(); ++entry) {
    seen.emplace_back(entry->name.str(), entry->kind);
  }
  using K = UT_DIR::Kind;
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, K>>{
                      {"a_link", K::kLink}, {"d", K::kDirectory}, {"dangling", K::kLink}, {"f", K::kFile}}));
  const UT_DIR missing(dir / "none", 0);
  EXPECT_TRUE(!missing.isValid() && missing.begin() == missing.end());
  EXPECT_FALSE(UT_DIR(f, 0).isValid());
}

TEST_F(FileTest, MkdirMakesParentsOnlyWhenRecursiveAndRmdirTakesOnlyEmptyDirectories) {
  EXPECT_FALSE(File::mkdir(d + "/a/b", false));
  EXPECT_TRUE(File::mkdir(d + "/a/b/c/", true));
  EXPECT_TRUE(File::mkdir(d + "/a/b", true));    // already there
  EXPECT_FALSE(File::mkdir(d + "/a/b", false));  // a new one was asked for
  EXPECT_FALSE(File::mkdir(f + "/sub", true));
  {
    UmaskScope mask(022);
    EXPECT_TRUE(File::mkdir(dir / "private", false, 0700));
    EXPECT_EQ(ModeOf(dir / "private"), 0700u);
  }
  EXPECT_FALSE(File::rmdir(d + "/a/b"));
  EXPECT_TRUE(File::rmdir(d + "/a/b/c") && File::rmdir(d + "/a/b"));
  EXPECT_FALSE(File::exist(d + "/a/b"));
}

TEST_F(FileTest, RemoveRemovesALinkAndNeverItsTarget) {
  TempDir::Write(d + "/keep", "data");
  fs::create_symlink(d, dir / "to_dir");
  fs::create_symlink(d + "/keep", dir / "to_file");
  EXPECT_TRUE(File::remove_f(dir / "to_dir") && File::remove_f(dir / "to_file"));
  EXPECT_FALSE(fs::is_symlink(dir / "to_dir") || fs::is_symlink(dir / "to_file"));
  EXPECT_EQ(TempDir::Read(d + "/keep"), "data");

  ::chmod((d + "/keep").c_str(), 0444);  // read-only does not stop a forced removal
  EXPECT_TRUE(File::remove_f(d + "/keep"));
  EXPECT_FALSE(File::exist(d + "/keep"));
  EXPECT_TRUE(File::remove_f(dir / "never_was"));
  EXPECT_FALSE(File::remove_f(d));  // directories go through rmdir
}

TEST_F(FileTest, CopyReplacesTheTargetWholeOrNotAtAllAndNeverALinksTarget) {
  TempDir::Write(dir / "src", "new");
  ::chmod((dir / "src").c_str(), 0750);
  TempDir::Write(dir / "dst", "old");
  Port::FaultInjection::Fail("copy_p");  // strikes after the copy is written, before it replaces the target
  EXPECT_FALSE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "old");
  EXPECT_EQ(List(dir.path()), (Names{"d", "dst", "f", "src"}));  // no temporary left

  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "new");
  EXPECT_EQ(ModeOf(dir / "dst"), 0750u);

  fs::create_symlink(f, dir / "link");
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "link"));
  EXPECT_FALSE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(TempDir::Read(dir / "link"), "new");
  EXPECT_EQ(TempDir::Read(f), "x");
  // Neither a missing source, nor a directory, nor into a missing directory.
  EXPECT_FALSE(File::copy_p(dir / "none", d + "/a") || File::copy_p(d, d + "/b") || File::copy_p(f, dir / "no/c"));
  EXPECT_TRUE(List(d).empty());
}

TEST_F(FileTest, ChmodNeverWidensPastTheUmaskNorTakesTheOwnersRights) {
  // No special bits and no more than the umask allows; asked for nothing, the owner still reads a file and keeps
  // every right on a directory; read-only keeps a program runnable.
  struct Case {
    const std::string& path;
    mode_t umask, before, asked, after;
  };
  for (const Case& c : {Case{f, 022, 0600, 0666, 0644}, Case{f, 022, 0644, 0444, 0444}, Case{f, 022, 0644, 04777, 0644},
                        Case{f, 022, 0644, 0, 0400}, Case{f, 022, 0755, 0444, 0555}, Case{f, 077, 0755, 0666, 0700},
                        Case{d, 022, 0755, 5, 0705}}) {
    UmaskScope mask(c.umask);
    ::chmod(c.path.c_str(), c.before);
    EXPECT_TRUE(File::chmod(c.path, c.asked));
    EXPECT_EQ(ModeOf(c.path), c.after) << std::oct << c.umask << " " << c.before << " " << c.asked;
  }
  EXPECT_FALSE(File::chmod(dir / "none", 0644));
}

TEST_F(FileTest, TemporaryNamesAreFreshNamesInTheGivenDirectory) {
  const S first = File::tmpnam(dir.path().c_str()), second = File::tmpnam(dir.path().c_str());
  EXPECT_NE(first, second);
  EXPECT_EQ(FileName(first).GetHead(), dir.path() + "/");
  EXPECT_FALSE(File::exist(first));
}

TEST_F(FileTest, EveryOperationFailsWhenAFailureIsInjected) {
  const std::vector<std::pair<const char*, std::function<bool()>>> operations = {
      {"exist", [&] { return File::exist(f); }},
      {"isdir", [&] { return File::isdir(d); }},
      {"isfile", [&] { return File::isfile(f); }},
      {"canread", [&] { return File::canread(f); }},
      {"canread_dir", [&] { return File::canread_dir(d); }},
      {"canwrite_dir", [&] { return File::canwrite_dir(d); }},
      {"mkdir", [&] { return File::mkdir(d + "/new", true); }},
      {"copy_p", [&] { return File::copy_p(f, d + "/copy"); }},
      {"chmod", [&] { return File::chmod(f, 0644); }},
      {"rename", [&] { return File::rename(d + "/copy", d + "/copy2"); }},
      {"remove_f", [&] { return File::remove_f(d + "/copy2"); }},
      {"rmdir", [&] { return File::rmdir(d + "/new"); }},
      {"getcwd", [&] { return !File::getcwd().empty(); }},
      {"chdir", [&] { return File::chdir(File::getcwd()); }},
      {"tmpnam", [&] { return !File::tmpnam(nullptr).empty(); }},
      {"UT_DIR", [&] { return UT_DIR(d, 0).isValid(); }},
  };
  for (const auto& [name, operation] : operations) {
    Port::FaultInjection::Fail(name);
    EXPECT_FALSE(operation()) << name;
    Port::FaultInjection::Clear();
    EXPECT_TRUE(operation()) << name;  // and each succeeds once the failure is gone
  }
}

TEST_F(FileTest, InjectedFailuresCanAimAtTheNthCallAndAtAPath) {
  Port::FaultInjection::Fail("mkdir", 2);
  EXPECT_TRUE(File::mkdir(d + "/1", false));
  EXPECT_FALSE(File::mkdir(d + "/2", false));
  EXPECT_TRUE(File::mkdir(d + "/3", false));  // a counted failure strikes once
  EXPECT_FALSE(File::exist(d + "/2"));

  Port::FaultInjection::Fail("isdir", 0, "/d/3");
  EXPECT_TRUE(File::isdir(d + "/1"));
  EXPECT_FALSE(File::isdir(d + "/3") || File::isdir(d + "/3"));  // uncounted: every matching call
  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::isdir(d + "/3"));
}

}  // namespace
