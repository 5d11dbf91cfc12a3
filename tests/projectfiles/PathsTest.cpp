// Project-relative file names: the written form of a file seen from the project directory,
// and the way back to the absolute path when the project is read.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Port/FileName.h"
#include "projectfiles/ProjectPaths.h"

namespace {

using Text = Port::StringBase<char>;

std::string Written(const Hvd::SplitPath& record, const Text& path) {
  Text out = "stale";
  Hvd::NormalizeFileName(record, path, out);
  return out.str();
}

TEST(ProjectPathsTest, WrittenFormsSeenFromTheProjectDirectory) {
  const Hvd::SplitPath record("/p/q/a.xhlc", true);
  ASSERT_TRUE(record.components == (std::vector<Text>{"/", "p", "q"}));
  const struct {
    const char *path, *written;
  } cases[] = {{"/p/q/src/x.vhd", "src/x.vhd"},
               {"\\p\\q\\src\\x.vhd", "src/x.vhd"},  // backslashes never reach the output
               {"/p/x.vhd", "../x.vhd"},
               {"/z/x.vhd", "/z/x.vhd"},  // only the root in common
               {"x.vhd", "x.vhd"},
               {"/p/q//src/./x", "src/x"},
               {"/p/q/../r/x.vhd", "../r/x.vhd"},
               {"/p/Q/x.vhd", "../Q/x.vhd"},  // components differing in case are different directories
               {"/P/q/x.vhd", "/P/q/x.vhd"}};
  for (const auto& c : cases) EXPECT_EQ(Written(record, c.path), c.written) << c.path;

  Text out = "/p/q/src/x.vhd";  // the output may be the input
  Hvd::NormalizeFileName(record, out, out);
  EXPECT_EQ(out.str(), "src/x.vhd");
  for (const char* directory : {"/p/q/src", "/p/q/src//", "/p/q/src\\"}) {
    Hvd::RelativeName(record, directory, "x.vhd", out);
    EXPECT_EQ(out.str(), "src/x.vhd") << directory;
  }
  Hvd::RelativeName(Hvd::SplitPath(), "/p/q/", "x.vhd", out);  // an empty record shares nothing
  EXPECT_EQ(out.str(), "/p/q/x.vhd");
}

TEST(ProjectPathsTest, MakeAbsoluteProjectPathJoinsOnlyRelativeNames) {
  const struct {
    const char *path, *absolute;
  } cases[] = {{"src/x.vhd", "/p/q/src/x.vhd"},
               {"../r/./x.vhd", "/p/r/x.vhd"},
               {"/", "/p/q"},  // one character is never absolute
               {"\\z\\..\\x.vhd", "\\z\\..\\x.vhd"},
               {"C:/x.vhd", "C:/x.vhd"}};
  for (const char* directory : {"/p/q", "/p/q/"}) {
    for (const auto& c : cases) {
      Text path = c.path;
      Hvd::MakeAbsoluteProjectPath(path, directory);
      EXPECT_EQ(path.str(), c.absolute) << directory << " | " << c.path;
    }
  }
}

// Every path over a small alphabet of steps, including ".", "..", empty steps (repeated
// separators) and case variants, written relative to several project files and read back.
TEST(ProjectPathsTest, AWrittenNameReadBackIsTheOriginalPath) {
  const std::vector<std::string> steps = {"p", "P", "q", "src", "Src", ".", "..", ""};
  std::vector<std::string> directories = {"/"};
  for (std::size_t length = 0, begin = 0; length < 3; ++length) {
    const std::size_t end = directories.size();
    for (std::size_t i = begin; i < end; ++i) {
      for (const std::string& step : steps) directories.push_back(directories[i] + step + "/");
    }
    begin = end;
  }
  const auto canonical = [](const Text& path) { return Port::FileName(path).MakeCanonical().GetPath().str(); };
  for (const char* project : {"/p/q/a.xhlc", "/p/a.xhlc", "/a.xhlc", "/p/Q/../q//a.xhlc"}) {
    const Hvd::SplitPath record(project, true);
    for (const std::string& directory : directories) {
      const Text original = directory + "x.vhd";
      Text path = Written(record, original);
      ASSERT_EQ(path.str().find('\\'), std::string::npos);
      Hvd::MakeAbsoluteProjectPath(path, record.head);
      ASSERT_EQ(canonical(path), canonical(original)) << project << " | " << original.str();
    }
  }
}

}  // namespace
