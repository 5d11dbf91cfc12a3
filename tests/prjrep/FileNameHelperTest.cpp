// The path-name component: relative forms, extensions, the inside test and the path moved
// onto another directory, all worked out on the text of '/' paths.

#include <filesystem>

#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "prjrep/StandInFixture.h"

namespace {

using namespace testing_support;
using H = Prjrep::IFileNameHelper;

class FileNameHelperTest : public StandInFixture {
 protected:
  void SetUp() override {
    StandInFixture::SetUp();
    names = Create<H>(Prjrep::ClassId::FileNameHelper());
    ASSERT_NE(names.Get(), nullptr);
  }
  void TearDown() override {
    names = nullptr;
    StandInFixture::TearDown();
  }
  // Each getter clears its output first; "stale" shows when it does not.
  template <class Getter, class... In>
  std::string Read(Getter getter, Status expected = kSuccess, const In&... in) {
    Text out = "stale";
    EXPECT_EQ((names.Get()->*getter)(in..., &out), expected);
    return out.str();
  }
  Prjrep::AutoRelease<H> names;
};

TEST_F(FileNameHelperTest, RelativeFormsTheInsideTestAndThePathOnAnotherDirectory) {
  const struct {
    const char *base, *path, *relative;
    bool inside;
    const char* moved;  // onto "/c/d/"
  } cases[] = {
      {"/p", "/p/src/rtl/a.vhd", "src/rtl/a.vhd", true, "/c/d/src/rtl/a.vhd"},              // child
      {"/w/p", "/w/lib/a.vhd", "../lib/a.vhd", false, "/c/lib/a.vhd"},                      // sibling
      {"/w/p/q", "/w/a.vhd", "../../a.vhd", false, "/a.vhd"},                               // above
      {"/w/p", "/w", "..", false, "/c"},                                                    // the parent itself
      {"/w/p", "/w/p", ".", false, "/c/d"},                                                 // the base itself
      {"/home/me/p", "/usr/lib/a.vhd", "../../../usr/lib/a.vhd", false, "/usr/lib/a.vhd"},  // only the root shared
      {"/", "/a.vhd", "a.vhd", true, "/c/d/a.vhd"},
      {"/a/b", "/a/bc/x.v", "../bc/x.v", false, "/c/bc/x.v"},  // a prefix of the text is no parent
      {"/p", "/p/sub/", "sub", true, "/c/d/sub"},              // repeated and trailing separators
      {"//p//", "/p//sub///a.v", "sub/a.v", true, "/c/d/sub/a.v"},
      {"/p/./q/..", "/p/x/../a.v", "a.v", true, "/c/d/a.v"},  // "." and ".." folded
      {"/p/q", "/p/q/../../r/./a.v", "../../r/a.v", false, "/r/a.v"},
      {"/p", "/../p/a.v", "a.v", true, "/c/d/a.v"},  // nothing above the root
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " | " + c.path);
    ASSERT_TRUE(names->SetBaseDirectory(c.base) == kSuccess && names->SetPath(c.path, "") == kSuccess);
    EXPECT_EQ(Read(&H::GetRelativeName), c.relative);
    EXPECT_EQ(Read(&H::GetPathOnDirectory, kSuccess, "/c/d/"), c.moved);
    bool inside = !c.inside;
    EXPECT_TRUE(names->IsInsideBase(&inside) == kSuccess && inside == c.inside);
  }
  EXPECT_EQ(Read(&H::GetPathOnDirectory, kSuccess, "rel/dir"), "rel/dir/a.v");
  EXPECT_EQ(Read(&H::GetPathOnDirectory, kFailure, ""), "");
}

TEST_F(FileNameHelperTest, SetPathJoinsItsPartsInTheBaseOfTheMomentAndRefusedCallsChangeNothing) {
  EXPECT_EQ(Read(&H::GetBaseDirectory), "");  // a fresh helper has nothing else to tell
  const auto getters = {&H::GetDirectory, &H::GetFullName,  &H::GetOsPath,
                        &H::GetShortName, &H::GetExtension, &H::GetRelativeName};
  for (auto getter : getters) EXPECT_EQ(Read(getter, kFailure), "");
  EXPECT_EQ(names->SetPath("", ""), kFailure);
  ASSERT_EQ(names->SetPath("sub/../a.v", ""), kSuccess);  // relative, with no base
  EXPECT_EQ(Read(&H::GetOsPath), (std::filesystem::current_path() / "a.v").string());
  EXPECT_TRUE(names->SetBaseDirectory("/p/./lib/") == kSuccess && names->SetBaseDirectory("") == kFailure);
  EXPECT_EQ(Read(&H::GetBaseDirectory), "/p/lib");
  EXPECT_EQ(Read(&H::GetFullName), "a.v");  // a later base does not move the path or give it a relative form
  EXPECT_EQ(Read(&H::GetRelativeName, kFailure), "");
  EXPECT_EQ(Read(&H::GetPathOnDirectory, kFailure, "/q"), "");
  bool inside = true;
  EXPECT_TRUE(names->IsInsideBase(&inside) == kSuccess && !inside);

  EXPECT_TRUE(names->SetPath("../src/", "./b.v") == kSuccess && names->SetPath("", "") == kFailure);
  EXPECT_EQ(Read(&H::GetFullName), "/p/src/b.v");
  EXPECT_EQ(Read(&H::GetDirectory), "/p/src");
  EXPECT_EQ(Read(&H::GetOsPath), "/p/src/b.v");
  EXPECT_EQ(names->SetPath("", "c.v"), kSuccess);  // the second part alone is a path too
  EXPECT_EQ(Read(&H::GetFullName), "/p/lib/c.v");

  EXPECT_EQ(names->SetPathInDirectory("w/a.v", "", "/q"), kSuccess);
  EXPECT_TRUE(names->SetPathInDirectory("", "", "/r") == kFailure &&
              names->SetPathInDirectory("a.v", "", "") == kFailure);
  EXPECT_EQ(Read(&H::GetBaseDirectory), "/q");
  EXPECT_EQ(Read(&H::GetFullName), "/q/w/a.v");
  for (auto getter : getters) EXPECT_EQ((names.Get()->*getter)(nullptr), kFailure);  // a missing output
  EXPECT_TRUE(names->GetBaseDirectory(nullptr) == kFailure && names->GetPathOnDirectory("/q", nullptr) == kFailure &&
              names->IsInsideBase(nullptr) == kFailure);
}

TEST_F(FileNameHelperTest, ExtensionsAndShortNames) {
  const struct {
    const char *path, *extension, *shortName;
  } cases[] = {
      {"/p/a.tar.gz", "gz", "a.tar.gz"}, {"/p/.bashrc", "", ".bashrc"},      {"/p/dir.d/file", "", "file"},
      {"/p/file.", "", "file."},         {"/p/.hidden.v", "v", ".hidden.v"}, {"/p/dir.d/", "d", "dir.d"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(names->SetPath(c.path, ""), kSuccess);
    EXPECT_EQ(Read(&H::GetExtension), c.extension) << c.path;
    EXPECT_EQ(Read(&H::GetShortName), c.shortName) << c.path;
  }
}

}  // namespace
