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

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const UT_DIR::Entry& entry : UT_DIR(directory, 0)) names.push_back(entry.name.str());
  return names;
}

// Sets the umask for one test and puts the old one back.
class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
  ~UmaskScope() { ::umask(m_old); }

 private:
  mode_t m_old;
};

class FileTest : public ::testing::Test {
 protected:
  TempDir dir;
  Port::FaultInjection::Scope faults;
};

TEST(FileNameTest, SplitsAPathIntoHeadTailBaseAndExtension) {
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
    // A head and its tail form the path again.
    EXPECT_EQ(name.GetHead() + name.GetTail(), c.path);
  }
  FileName name{S("/a/b.v")};
  EXPECT_EQ(name.SetTail("").GetPath(), "/a/");
  EXPECT_EQ(name.SetTail("c.vhd").GetPath(), "/a/c.vhd");
  EXPECT_EQ(FileName::GetPathSeparator(), '/');
}

TEST(FileNameTest, ValidPathsAreNonEmptyWithComponentsTheHostCanName) {
  EXPECT_TRUE(FileName::IsValidPath("/tmp/a b/$(x)/\"q\""));
  EXPECT_FALSE(FileName::IsValidPath(""));
  EXPECT_FALSE(FileName::IsValidPath(S(std::string("a\0b", 3))));
  EXPECT_TRUE(FileName::IsValidPath(S("/x/" + std::string(255, 'n'))));
  EXPECT_FALSE(FileName::IsValidPath(S("/x/" + std::string(256, 'n') + "/y")));
}

TEST_F(FileTest, PredicatesFollowLinksAndTellFilesFromDirectories) {
  TempDir::Write(dir / "f", "x");
  fs::create_directory(dir / "d");
  fs::create_symlink(dir / "d", dir / "to_d");
  fs::create_symlink(dir / "gone", dir / "dangling");
  EXPECT_TRUE(File::exist(dir / "f") && File::isfile(dir / "f") && !File::isdir(dir / "f"));
  EXPECT_TRUE(File::isdir(dir / "d") && !File::isfile(dir / "d"));
  EXPECT_TRUE(File::isdir(dir / "to_d"));
  EXPECT_FALSE(File::exist(dir / "dangling") || File::exist(dir / "none"));
  EXPECT_TRUE(File::canread(dir / "f") && File::canread_dir(dir / "d") && File::canwrite_dir(dir / "d"));
  EXPECT_FALSE(File::canwrite_dir(dir / "f") || File::canread_dir(dir / "f") || File::canread(dir / "none"));
}

TEST_F(FileTest, MkdirMakesParentsOnlyWhenRecursiveAndRmdirTakesOnlyEmptyDirectories) {
  EXPECT_FALSE(File::mkdir(dir / "a/b", false));
  EXPECT_TRUE(File::mkdir(dir / "a/b/c/", true));
  EXPECT_TRUE(File::isdir(dir / "a/b/c"));
  EXPECT_TRUE(File::mkdir(dir / "a/b", true));    // already there
  EXPECT_FALSE(File::mkdir(dir / "a/b", false));  // a new one was asked for
  TempDir::Write(dir / "file", "");
  EXPECT_FALSE(File::mkdir(dir / "file/sub", true));
  {
    UmaskScope mask(022);
    EXPECT_TRUE(File::mkdir(dir / "private", false, 0700));
    EXPECT_EQ(ModeOf(dir / "private"), 0700u);
  }
  EXPECT_FALSE(File::rmdir(dir / "a/b"));
  EXPECT_TRUE(File::rmdir(dir / "a/b/c") && File::rmdir(dir / "a/b"));
  EXPECT_FALSE(File::exist(dir / "a/b"));
}

TEST_F(FileTest, RemoveRemovesALinkAndNeverItsTarget) {
  fs::create_directory(dir / "shared");
  TempDir::Write(dir / "shared/keep", "data");
  fs::create_symlink(dir / "shared", dir / "to_dir");
  fs::create_symlink(dir / "shared/keep", dir / "to_file");
  EXPECT_TRUE(File::remove_f(dir / "to_dir"));
  EXPECT_TRUE(File::remove_f(dir / "to_file"));
  EXPECT_FALSE(fs::is_symlink(dir / "to_dir") || fs::is_symlink(dir / "to_file"));
  EXPECT_EQ(TempDir::Read(dir / "shared/keep"), "data");

  ::chmod((dir / "shared/keep").c_str(),
          0444);  // read-only does not stop a forced removal
  EXPECT_TRUE(File::remove_f(dir / "shared/keep"));
  EXPECT_FALSE(File::exist(dir / "shared/keep"));
  EXPECT_TRUE(File::remove_f(dir / "never_was"));
  EXPECT_FALSE(File::remove_f(dir / "shared"));  // directories go through rmdir
}

TEST_F(FileTest, CopyTakesContentsAndPermissions) {
  TempDir::Write(dir / "src", "contents\n");
  ::chmod((dir / "src").c_str(), 0750);
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "contents\n");
  EXPECT_EQ(ModeOf(dir / "dst"), 0750u);
  EXPECT_FALSE(File::copy_p(dir / "none", dir / "dst2"));
  EXPECT_FALSE(File::copy_p(dir / "src", dir / "no_dir/dst"));
  EXPECT_FALSE(File::copy_p(dir.path(),
                            dir / "dst3"));  // a directory is not a file to copy
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst", "src"}));
}

TEST_F(FileTest, CopyOverAFileReplacesItWholeOrNotAtAll) {
  TempDir::Write(dir / "src", "new");
  TempDir::Write(dir / "dst", "old");
  Port::FaultInjection::Fail("copy_p");
  EXPECT_FALSE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "old");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dst", "src"}));  // no temporary left

  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "new");
}

TEST_F(FileTest, CopyOntoALinkReplacesTheLinkNotItsTarget) {
  TempDir::Write(dir / "src", "new");
  TempDir::Write(dir / "target", "outside");
  fs::create_symlink(dir / "target", dir / "dst");
  EXPECT_TRUE(File::copy_p(dir / "src", dir / "dst"));
  EXPECT_FALSE(fs::is_symlink(dir / "dst"));
  EXPECT_EQ(TempDir::Read(dir / "dst"), "new");
  EXPECT_EQ(TempDir::Read(dir / "target"), "outside");
}

TEST_F(FileTest, ChmodNeverWidensPastTheUmaskNorTakesTheOwnersRights) {
  TempDir::Write(dir / "f", "");
  fs::create_directory(dir / "d");
  UmaskScope mask(022);
  EXPECT_TRUE(File::chmod(dir / "f", 0666));
  EXPECT_EQ(ModeOf(dir / "f"), 0644u);
  EXPECT_TRUE(File::chmod(dir / "f", 0444));
  EXPECT_EQ(ModeOf(dir / "f"), 0444u);
  EXPECT_TRUE(File::chmod(dir / "f", 04777));  // no special bits, no write for others
  EXPECT_EQ(ModeOf(dir / "f"), 0644u);
  EXPECT_TRUE(File::chmod(dir / "f", 0));  // the owner can still read
  EXPECT_EQ(ModeOf(dir / "f"), 0400u);
  EXPECT_TRUE(File::chmod(dir / "d", 5));  // the owner keeps every right on a directory
  EXPECT_EQ(ModeOf(dir / "d"), 0705u);

  ::chmod((dir / "f").c_str(), 0755);
  EXPECT_TRUE(File::chmod(dir / "f", 0444));  // read-only keeps a program runnable
  EXPECT_EQ(ModeOf(dir / "f"), 0555u);

  UmaskScope strict(077);
  EXPECT_TRUE(File::chmod(dir / "f", 0666));
  EXPECT_EQ(ModeOf(dir / "f"), 0700u);
  EXPECT_FALSE(File::chmod(dir / "none", 0644));
}

TEST_F(FileTest, DirectoryListingIsSortedWithoutDotEntriesAndSeesLinksAsLinks) {
  fs::create_directory(dir / "sub");
  TempDir::Write(dir / "b.v", "");
  fs::create_symlink(dir / "sub", dir / "a_link");
  const UT_DIR listing(dir.path(), 0);
  ASSERT_TRUE(listing.isValid());
  std::vector<std::pair<std::string, UT_DIR::Kind>> seen;
  for (UT_DIR_ITERATOR entry = listing.begin(); entry != listing.end(); ++entry) {
    seen.emplace_back(entry->name.str(), entry->kind);
  }
  using K = UT_DIR::Kind;
  EXPECT_EQ(seen,
            (std::vector<std::pair<std::string, K>>{{"a_link", K::kLink}, {"b.v", K::kFile}, {"sub", K::kDirectory}}));

  const UT_DIR missing(dir / "none", 0);
  EXPECT_FALSE(missing.isValid());
  EXPECT_EQ(missing.begin(), missing.end());
  EXPECT_FALSE(UT_DIR(dir / "b.v", 0).isValid());
}

TEST_F(FileTest, WorkingDirectoryTemporaryNamesAndRenaming) {
  const S before = File::getcwd();
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(File::chdir(dir.path()));
  EXPECT_EQ(File::getcwd(), fs::canonical(dir.path()).string());
  EXPECT_FALSE(File::chdir(dir / "none"));
  EXPECT_TRUE(File::chdir(before));

  const S first = File::tmpnam(dir.path().c_str()), second = File::tmpnam(dir.path().c_str());
  EXPECT_NE(first, second);
  EXPECT_EQ(FileName(first).GetHead(), dir.path() + "/");
  EXPECT_FALSE(File::exist(first));
  EXPECT_FALSE(File::tmpnam(nullptr).empty());

  TempDir::Write(dir / "a", "1");
  EXPECT_TRUE(File::rename(dir / "a", dir / "b"));
  EXPECT_FALSE(File::rename(dir / "a", dir / "c"));
  EXPECT_EQ(TempDir::Read(dir / "b"), "1");
}

TEST_F(FileTest, EveryOperationFailsWhenAFailureIsInjected) {
  fs::create_directory(dir / "d");
  TempDir::Write(dir / "f", "x");
  const std::string d = dir / "d", f = dir / "f";
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
  fs::create_directory(dir / "d");
  Port::FaultInjection::Fail("mkdir", 2);
  EXPECT_TRUE(File::mkdir(dir / "d/1", false));
  EXPECT_FALSE(File::mkdir(dir / "d/2", false));
  EXPECT_TRUE(File::mkdir(dir / "d/3", false));  // a counted failure strikes once

  EXPECT_FALSE(File::exist(dir / "d/2"));
  Port::FaultInjection::Fail("isdir", 0, "/d/3");
  EXPECT_TRUE(File::isdir(dir / "d/1"));
  EXPECT_FALSE(File::isdir(dir / "d/3"));
  EXPECT_FALSE(File::isdir(dir / "d/3"));  // uncounted: every matching call
  Port::FaultInjection::Clear();
  EXPECT_TRUE(File::isdir(dir / "d/3"));
}

}  // namespace
