// The path rules of the child-project code on POSIX paths.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "childproject/Paths.h"

namespace {

namespace fs = std::filesystem;
using Hvd::IsSameFile, Hvd::JoinPaths, Hvd::MakeRelativePath, Hvd::PathExists, Hvd::PathsEqual;

struct PathCase {
  const char* a;
  const char* b;
  bool equal;
};

TEST(PathsTest, EqualByNameAsATable) {
  const PathCase cases[] = {
      {"/work/a.v", "/work/a.v", true},
      {"/Work/A.v", "/work/a.v", false},  // letter case counts here
      {"/work\\a.v", "/work/a.v", true},  // backslashes are separators
      {"//:/work/a.v", "/work/a.v", true},
      {"/", "", true},  // a lone root stands for its parent
      {"/work/dir/", "/work/dir/", true},
      {"/work/dir/", "/work/dir", false},  // a trailing separator is an element of its own
      {"work/a.v", "/work/a.v", false},
      {"", "", true},
      {"/work/a.v", "/work/b.v", false},
  };
  for (const PathCase& row : cases) {
    EXPECT_EQ(PathsEqual(row.a, row.b), row.equal) << row.a << " vs " << row.b;
    EXPECT_EQ(PathsEqual(row.b, row.a), row.equal) << row.b << " vs " << row.a;
  }
}

TEST(PathsTest, JoinAndRelateAsATable) {
  struct Join {
    const char* path;
    const char* base;
    const char* joined;
  };
  const Join joins[] = {
      {"sub/../x.v", "/proj", "/proj/x.v"},
      {"/abs/y.v", "/proj", "/abs/y.v"},
      {"/abs/y.v", "rel", "/abs/y.v"},
      {"inc", "/proj/core/", "/proj/core/inc"},  // a relative entry is rebased: it is matched then
      {"inc", "rel/base", "inc"},                // onto a base that is not absolute: unchanged
      {"a\\b.v", "/proj", "/proj/a/b.v"},
      {"/", "/proj", "/proj/"},  // the lone root is its parent, "", which is relative
  };
  for (const Join& row : joins) EXPECT_EQ(JoinPaths(row.path, row.base), row.joined) << row.path << " on " << row.base;
  // Idempotent on what it gives.
  EXPECT_EQ(JoinPaths(JoinPaths("sub/../x.v", "/proj").c_str(), "/other"), "/proj/x.v");

  struct Relate {
    const char* target;
    const char* base;
    const char* relative;
  };
  const Relate relates[] = {
      {"/a/b/c.v", "/a/d", "../b/c.v"},
      {"/a/b/c.v", "/a/d/", "../b/c.v"},  // the trailing separator adds no ".."
      {"/a/b/c.v", "/a", "b/c.v"},
      {"/a/x/../b/c.v", "/a/./d", "../b/c.v"},
      {"rel/c.v", "/a", "rel/c.v"},
      {"/a/b/c.v", "rel", "/a/b/c.v"},
  };
  for (const Relate& row : relates)
    EXPECT_EQ(MakeRelativePath(row.target, row.base), row.relative) << row.target << " from " << row.base;
  EXPECT_EQ(MakeRelativePath(Port::StringBase<char>("/a/b/c.v"), Port::StringBase<char>("/a/d")).str(), "../b/c.v");
}

TEST(PathsTest, EmptyBaseJoinsOntoTheWorkingDirectory) {
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(JoinPaths("x.v", ""), (cwd / "x.v").lexically_normal().generic_string());
}

class PathsOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("child_paths_" + std::to_string(getpid()));
    fs::create_directories(m_dir);
    std::ofstream(m_dir / "a.v") << "x";
    fs::create_symlink(m_dir / "a.v", m_dir / "link.v");
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string P(const char* name) const { return (m_dir / name).string(); }
  fs::path m_dir;
};

TEST_F(PathsOnDiskTest, ExistenceAndSameFile) {
  EXPECT_TRUE(PathExists(P("a.v").c_str()));
  EXPECT_TRUE(PathExists(m_dir.c_str()));
  EXPECT_FALSE(PathExists(P("missing.v").c_str()));
  EXPECT_FALSE(PathExists(""));
  EXPECT_TRUE(IsSameFile(P("a.v").c_str(), P("link.v").c_str()));  // two names, one file
  EXPECT_FALSE(IsSameFile(P("a.v").c_str(), P("missing.v").c_str()));
  // Two missing files fall back to their names.
  EXPECT_TRUE(IsSameFile(P("gone/x.v").c_str(), P("gone/../gone/x.v").c_str()) == false);
  EXPECT_TRUE(IsSameFile(P("gone/x.v").c_str(), P("gone/x.v").c_str()));
}

// A status that cannot be read is "does not exist", never an exception.
TEST_F(PathsOnDiskTest, StatusErrorsAreNotThrown) {
  const std::string tooLong = (m_dir / std::string(300, 'n') / "x.v").string();
  EXPECT_ANY_THROW(std::ignore = fs::exists(fs::path(tooLong)));  // the throwing form does throw
  EXPECT_NO_THROW({
    EXPECT_FALSE(PathExists(tooLong.c_str()));
    EXPECT_TRUE(IsSameFile(tooLong.c_str(), tooLong.c_str()));
    EXPECT_FALSE(IsSameFile(tooLong.c_str(), P("a.v").c_str()));
  });
}

}  // namespace
