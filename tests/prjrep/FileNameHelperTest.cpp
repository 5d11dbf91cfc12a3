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
  // The relative form, the path moved onto "/c/d/", and whether it is inside the base.
  const char* cases[][3] = {
      {"/p", "/p/src/rtl/a.vhd", "src/rtl/a.vhd /c/d/src/rtl/a.vhd in"},              // child
      {"/w/p", "/w/lib/a.vhd", "../lib/a.vhd /c/lib/a.vhd out"},                      // sibling
      {"/w/p", "/w", ".. /c out"},                                                    // the parent itself
      {"/w/p", "/w/p", ". /c/d out"},                                                 // the base itself
      {"/home/me/p", "/usr/lib/a.vhd", "../../../usr/lib/a.vhd /usr/lib/a.vhd out"},  // only the root shared
      {"/a/b", "/a/bc/x.v", "../bc/x.v /c/bc/x.v out"},  // a prefix of the text is no parent
      {"/p", "/p/sub/", "sub /c/d/sub in"},              // repeated and trailing separators
      {"/p/./q/..", "/p/x/../a.v", "a.v /c/d/a.v in"},   // "." and ".." folded
      {"/p", "/../p/a.v", "a.v /c/d/a.v in"},            // nothing above the root
  };
  for (const auto& [base, path, expected] : cases) {
    ASSERT_TRUE(names->SetBaseDirectory(base) == kSuccess && names->SetPath(path, "") == kSuccess);
    bool inside = false;
    EXPECT_EQ(names->IsInsideBase(&inside), kSuccess);
    EXPECT_EQ(
        Read(&H::GetRelativeName) + " " + Read(&H::GetPathOnDirectory, kSuccess, "/c/d/") + (inside ? " in" : " out"),
        expected)
        << base << " | " << path;
  }
  EXPECT_EQ(Read(&H::GetPathOnDirectory, kSuccess, "rel/dir"), "rel/dir/a.v");
  EXPECT_EQ(Read(&H::GetPathOnDirectory, kFailure, ""), "");
}

TEST_F(FileNameHelperTest, SetPathJoinsItsPartsInTheBaseOfTheMomentAndRefusedCallsChangeNothing) {
  EXPECT_EQ(Read(&H::GetBaseDirectory), "");  // a fresh helper has nothing else to tell
  const auto getters = {&H::GetDirectory, &H::GetFullName,  &H::GetOsPath,
                        &H::GetShortName, &H::GetExtension, &H::GetRelativeName};
  for (auto getter : getters) EXPECT_EQ(Read(getter, kFailure), "");
  EXPECT_TRUE(names->SetPath("", "") == kFailure && names->SetPath("sub/../a.v", "") == kSuccess);  // no base
  EXPECT_EQ(Read(&H::GetOsPath), (std::filesystem::current_path() / "a.v").string());
  EXPECT_TRUE(names->SetBaseDirectory("/p/./lib/") == kSuccess && names->SetBaseDirectory("") == kFailure);
  EXPECT_EQ(Read(&H::GetBaseDirectory), "/p/lib");
  EXPECT_EQ(Read(&H::GetFullName), "a.v");  // a later base does not move the path or give it a relative form
  EXPECT_EQ(Read(&H::GetRelativeName, kFailure), "");

  EXPECT_TRUE(names->SetPath("../src/", "./b.v") == kSuccess && names->SetPath("", "") == kFailure);
  EXPECT_TRUE(Read(&H::GetFullName) == "/p/src/b.v" && Read(&H::GetDirectory) == "/p/src");
  EXPECT_TRUE(names->SetPath("", "c.v") == kSuccess && Read(&H::GetFullName) == "/p/lib/c.v");  // the second alone
  EXPECT_TRUE(names->SetPathInDirectory("w/a.v", "", "/q") == kSuccess &&
              names->SetPathInDirectory("", "", "/r") == kFailure &&
              names->SetPathInDirectory("a.v", "", "") == kFailure);
  EXPECT_TRUE(Read(&H::GetBaseDirectory) == "/q" && Read(&H::GetFullName) == "/q/w/a.v");
  for (auto getter : getters) EXPECT_EQ((names.Get()->*getter)(nullptr), kFailure);  // a missing output
  EXPECT_TRUE(names->GetBaseDirectory(nullptr) == kFailure && names->GetPathOnDirectory("/q", nullptr) == kFailure &&
              names->IsInsideBase(nullptr) == kFailure);
}

TEST_F(FileNameHelperTest, ExtensionsAndShortNames) {
  const char* cases[][2] = {{"/p/a.tar.gz", "gz a.tar.gz"},
                            {"/p/.bashrc", " .bashrc"},
                            {"/p/dir.d/file", " file"},
                            {"/p/file.", " file."},
                            {"/p/dir.d/", "d dir.d"}};
  for (const auto& [path, expected] : cases) {
    ASSERT_EQ(names->SetPath(path, ""), kSuccess);
    EXPECT_EQ(Read(&H::GetExtension) + " " + Read(&H::GetShortName), expected) << path;
  }
}

// Whether a path is taken as it stands or folded first, its forms are what the file-system
// library works out for it.
TEST_F(FileNameHelperTest, EveryFormAgreesWithTheFileSystemLibrary) {
  namespace fs = std::filesystem;
  for (const char* base : {"/", "/p", "/p/q", "/p/./q/"}) {
    ASSERT_EQ(names->SetBaseDirectory(base), kSuccess);
    const fs::path normalBase = fs::path(base).lexically_normal();
    for (const char* path : {"/p/q/r.v", "/p/q", "/p/qr/s.v", "/p", "/", "/p/../x.tar.gz", "/p//q/..s/.t",
                             "/p/q/..", "/x/..y", "/p/q/r."}) {
      ASSERT_EQ(names->SetPath(path, ""), kSuccess);
      std::string normal = fs::path(path).lexically_normal().string();
      while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
      EXPECT_EQ(Read(&H::GetFullName), normal) << path;
      EXPECT_EQ(Read(&H::GetOsPath), normal) << path;
      const fs::path relative = fs::path(normal).lexically_relative(normalBase);
      EXPECT_EQ(Read(&H::GetRelativeName), relative.string()) << path << " in " << base;
      bool inside = false;
      ASSERT_EQ(names->IsInsideBase(&inside), kSuccess);
      EXPECT_EQ(inside, !relative.empty() && relative != "." && *relative.begin() != "..") << path << " in " << base;
      std::string extension = fs::path(normal).extension().string();
      EXPECT_EQ(Read(&H::GetExtension), extension.empty() ? extension : extension.substr(1)) << path;
    }
  }
}

}  // namespace
