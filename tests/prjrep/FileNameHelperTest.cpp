// The path-name component: relative forms, extensions, the inside test and the path moved
// onto another directory, all worked out on the text of '/' paths.

#include <filesystem>

#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/ClassIds.h"
#include "prjrep/StandInFixture.h"

namespace {

using namespace testing_support;
using Prjrep::IFileNameHelper;


class FileNameHelperTest : public StandInFixture {
 protected:
  void SetUp() override {
    StandInFixture::SetUp();
    names = Create<IFileNameHelper>(Prjrep::ClassId::FileNameHelper());
    ASSERT_NE(names.Get(), nullptr);
  }
  void TearDown() override {
    names = nullptr;
    StandInFixture::TearDown();
  }
  // Each getter clears its output first; "stale" shows when it does not.
  template <class Getter>
  std::string Read(Getter getter, Status expected = Hvd::kSuccess) {
    Text out = "stale";
    EXPECT_EQ((names.Get()->*getter)(&out), expected);
    return out.str();
  }
  Prjrep::AutoRelease<IFileNameHelper> names;
};

TEST_F(FileNameHelperTest, RelativeFormsAcrossDirectories) {
  struct Case {
    const char* base;
    const char* path;
    const char* relative;
    bool inside;
  };
  const Case cases[] = {
      {"/p", "/p/a.vhd", "a.vhd", true},                          // child
      {"/p", "/p/src/rtl/a.vhd", "src/rtl/a.vhd", true},          // deeper child
      {"/w/p", "/w/lib/a.vhd", "../lib/a.vhd", false},            // sibling
      {"/w/p/q", "/w/a.vhd", "../../a.vhd", false},               // above
      {"/w/p", "/w", "..", false},                                // the parent itself
      {"/w/p", "/w/p", ".", false},                               // the base itself
      {"/home/me/p", "/usr/lib/a.vhd", "../../../usr/lib/a.vhd", false},  // only the root shared
      {"/", "/a.vhd", "a.vhd", true},
      {"/a/b", "/a/bc/x.v", "../bc/x.v", false},                  // a prefix of the text is no parent
      {"/a/b", "/a/bc", "../bc", false},
      {"/p/", "/p/a.vhd", "a.vhd", true},                         // trailing separators
      {"/p", "/p/sub/", "sub", true},
      {"//p//", "/p//sub///a.v", "sub/a.v", true},
      {"/p/./q/..", "/p/x/../a.v", "a.v", true},                  // "." and ".." folded
      {"/p/q", "/p/q/../../r/./a.v", "../../r/a.v", false},
      {"/p", "/../p/a.v", "a.v", true},                           // nothing above the root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " | " + c.path);
    ASSERT_EQ(names->SetBaseDirectory(c.base), Hvd::kSuccess);
    ASSERT_EQ(names->SetPath(c.path, ""), Hvd::kSuccess);
    EXPECT_EQ(Read(&IFileNameHelper::GetRelativeName), c.relative);
    bool inside = !c.inside;
    EXPECT_EQ(names->IsInsideBase(&inside), Hvd::kSuccess);
    EXPECT_EQ(inside, c.inside);
  }
}

TEST_F(FileNameHelperTest, SettingThePathJoinsItsPartsAndResolvesItAgainstTheBase) {
  EXPECT_EQ(names->SetPath("", ""), Hvd::kFailure);  // nothing to set
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName, Hvd::kFailure), "");
  EXPECT_EQ(Read(&IFileNameHelper::GetRelativeName, Hvd::kFailure), "");

  EXPECT_EQ(names->SetPath("/p/src/", "a.vhd"), Hvd::kSuccess);
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/p/src/a.vhd");
  EXPECT_EQ(Read(&IFileNameHelper::GetDirectory), "/p/src");
  EXPECT_EQ(Read(&IFileNameHelper::GetShortName), "a.vhd");
  EXPECT_EQ(Read(&IFileNameHelper::GetOsPath), "/p/src/a.vhd");
  EXPECT_EQ(Read(&IFileNameHelper::GetRelativeName, Hvd::kFailure), "");  // no base yet
  EXPECT_EQ(names->SetPath("", ""), Hvd::kFailure);
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/p/src/a.vhd");  // a refused path changes nothing

  EXPECT_EQ(names->SetBaseDirectory(""), Hvd::kFailure);
  EXPECT_EQ(Read(&IFileNameHelper::GetBaseDirectory), "");
  EXPECT_EQ(names->SetBaseDirectory("/p/./lib/"), Hvd::kSuccess);
  EXPECT_EQ(Read(&IFileNameHelper::GetBaseDirectory), "/p/lib");
  EXPECT_EQ(names->SetPath("../src/./b.v", ""), Hvd::kSuccess);
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/p/src/b.v");
  EXPECT_EQ(Read(&IFileNameHelper::GetRelativeName), "../src/b.v");
  EXPECT_EQ(names->SetPath("", "c.v"), Hvd::kSuccess);  // the second part alone is a path too
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/p/lib/c.v");

  EXPECT_EQ(names->SetPathInDirectory("w/a.v", "", "/q"), kSuccess);
  EXPECT_EQ(Read(&IFileNameHelper::GetBaseDirectory), "/q");
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/q/w/a.v");
  EXPECT_EQ(names->SetPathInDirectory("", "", "/r"), kFailure);
  EXPECT_EQ(names->SetPathInDirectory("a.v", "", ""), kFailure);
  EXPECT_EQ(Read(&IFileNameHelper::GetBaseDirectory), "/q");  // refused calls change nothing
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "/q/w/a.v");
}

TEST_F(FileNameHelperTest, ARelativePathWithoutBaseHasNoRelativeFormAndAnOsPathFromTheCurrentDirectory) {
  ASSERT_EQ(names->SetPath("sub/../a.v", ""), kSuccess);
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "a.v");
  EXPECT_EQ(Read(&IFileNameHelper::GetOsPath), (std::filesystem::current_path() / "a.v").string());
  ASSERT_EQ(names->SetBaseDirectory("/p"), kSuccess);  // a later base does not move the path
  EXPECT_EQ(Read(&IFileNameHelper::GetFullName), "a.v");
  EXPECT_EQ(Read(&IFileNameHelper::GetRelativeName, Hvd::kFailure), "");
  Text moved = "stale";
  EXPECT_EQ(names->GetPathOnDirectory("/q", &moved), kFailure);
  EXPECT_EQ(moved, "");
  bool inside = true;
  EXPECT_EQ(names->IsInsideBase(&inside), kSuccess);
  EXPECT_FALSE(inside);
}

TEST_F(FileNameHelperTest, Extensions) {
  struct Case {
    const char* path;
    const char* extension;
    const char* shortName;
  };
  const Case cases[] = {
      {"/p/a.vhd", "vhd", "a.vhd"},        {"/p/a.tar.gz", "gz", "a.tar.gz"}, {"/p/.bashrc", "", ".bashrc"},
      {"/p/dir.d/file", "", "file"},       {"/p/file.", "", "file."},         {"/p/A.VHD", "VHD", "A.VHD"},
      {"/p/.hidden.v", "v", ".hidden.v"},  {"/p/dir.d/", "d", "dir.d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_EQ(names->SetPath(c.path, ""), kSuccess);
    EXPECT_EQ(Read(&IFileNameHelper::GetExtension), c.extension);
    EXPECT_EQ(Read(&IFileNameHelper::GetShortName), c.shortName);
  }
}

TEST_F(FileNameHelperTest, ThePathOnAnotherDirectory) {
  struct Case {
    const char* base;
    const char* path;
    const char* directory;
    const char* moved;
  };
  const Case cases[] = {
      {"/p", "/p/src/a.vhd", "/copy", "/copy/src/a.vhd"},
      {"/w/p", "/w/lib/a.vhd", "/x/copy", "/x/lib/a.vhd"},  // a sibling stays a sibling
      {"/p", "/p/a.v", "/copy/", "/copy/a.v"},
      {"/p", "/p", "/copy", "/copy"},
      {"/p", "/p/a.v", "rel/dir", "rel/dir/a.v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " onto " + c.directory);
    ASSERT_EQ(names->SetBaseDirectory(c.base), kSuccess);
    ASSERT_EQ(names->SetPath(c.path, ""), kSuccess);
    Text moved = "stale";
    EXPECT_EQ(names->GetPathOnDirectory(c.directory, &moved), kSuccess);
    EXPECT_EQ(moved, c.moved);
  }
  Text moved = "stale";
  EXPECT_EQ(names->GetPathOnDirectory("", &moved), kFailure);
  EXPECT_EQ(moved, "");
}

TEST_F(FileNameHelperTest, MissingOutputsFailAndAFreshHelperHasNothingToTell) {
  EXPECT_EQ(Read(&IFileNameHelper::GetBaseDirectory), "");
  for (auto getter : {&IFileNameHelper::GetDirectory, &IFileNameHelper::GetFullName, &IFileNameHelper::GetOsPath,
                      &IFileNameHelper::GetShortName, &IFileNameHelper::GetExtension,
                      &IFileNameHelper::GetRelativeName}) {
    EXPECT_EQ(Read(getter, Hvd::kFailure), "");
  }
  ASSERT_EQ(names->SetPathInDirectory("/p/a.v", "", "/p"), kSuccess);
  for (auto getter : {&IFileNameHelper::GetBaseDirectory, &IFileNameHelper::GetDirectory,
                      &IFileNameHelper::GetFullName, &IFileNameHelper::GetOsPath, &IFileNameHelper::GetShortName,
                      &IFileNameHelper::GetExtension, &IFileNameHelper::GetRelativeName}) {
    EXPECT_EQ((names.Get()->*getter)(nullptr), kFailure);
  }
  EXPECT_EQ(names->GetPathOnDirectory("/q", nullptr), kFailure);
  EXPECT_EQ(names->IsInsideBase(nullptr), kFailure);
}

}  // namespace
