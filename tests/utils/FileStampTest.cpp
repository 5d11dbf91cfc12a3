// File stamps and path helpers.

#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "utils/FileStamp.h"

namespace {

void SetTime(const std::string& path, std::int64_t seconds) {
  struct utimbuf times {
    static_cast<time_t>(seconds), static_cast<time_t>(seconds)
  };
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

TEST(FileStampTest, ALaterTimeOrAnotherSizeIsAChangeAMissingFileIsNot) {
  const std::string path = ::testing::TempDir() + "stamp_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path) << "abc";
  SetTime(path, 1000000);
  Hvd::FileStamp stamp;
  stamp.Update();  // no path: nothing taken, nothing changed
  EXPECT_FALSE(stamp.IsChanged());
  stamp.path = path;
  stamp.Update();
  EXPECT_EQ(stamp.time, 1000000);
  EXPECT_EQ(stamp.size, 3);
  EXPECT_FALSE(stamp.IsChanged());

  SetTime(path, 999000);  // touched to an older time, same size
  EXPECT_FALSE(stamp.IsChanged());
  std::ofstream(path) << "ab";  // shrinks
  SetTime(path, 1000000);
  EXPECT_TRUE(stamp.IsChanged());
  std::ofstream(path) << "abc";
  SetTime(path, 1000001);
  EXPECT_TRUE(stamp.IsChanged());

  std::filesystem::remove(path);
  EXPECT_FALSE(stamp.IsChanged());
  stamp.Update();
  EXPECT_EQ(stamp.time, 0);
  EXPECT_EQ(stamp.size, 0);
}

TEST(PathHelpersTest, ExtensionsAbsolutePathsAndSlashes) {
  using Hvd::ChangeExtension;
  EXPECT_EQ(ChangeExtension("/p/top.xhlc", ".hlc"), "/p/top.hlc");
  EXPECT_EQ(ChangeExtension("/p.d/top", ".hlc"), "/p.d/top.hlc");
  EXPECT_EQ(ChangeExtension("/p/.profile", ".x"), "/p/.x");
  EXPECT_EQ(ChangeExtension("top.v", ""), "top");

  EXPECT_FALSE(Hvd::IsAbsolutePath("/"));
  EXPECT_FALSE(Hvd::IsAbsolutePath("a/b"));
  EXPECT_TRUE(Hvd::IsAbsolutePath("/a"));
  EXPECT_TRUE(Hvd::IsAbsolutePath("C:"));
  EXPECT_TRUE(Hvd::IsAbsolutePath("\\\\server"));

  EXPECT_EQ(Hvd::MakeSlashPath("//:a\\b"), "a/b");
  EXPECT_EQ(Hvd::GetObjectName(nullptr), "");
}

}  // namespace
