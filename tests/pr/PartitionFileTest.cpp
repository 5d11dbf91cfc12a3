// The partitions file of a hierarchical-design project as its stand-in writes and reads it:
// the work of reading a large one, and files that are not whole.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "HdcI/HDProjectStandIn.h"
#include "HdcI/IHDProject.h"
#include "pr/PRSupport.h"

namespace {

using namespace pr_testing;
namespace fs = std::filesystem;
using Hvd::kInvalidParameter;

class PartitionFileTest : public PRTest {
 protected:
  void SetUp() override {
    PRTest::SetUp();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
    m_dir = fs::temp_directory_path() / ("partition_file_" + std::to_string(getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    PRTest::TearDown();
    fs::remove_all(m_dir);
  }
  static void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  }
  static std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path m_dir;
};

// A file as the earlier release wrote it, without an end mark, with `count` partitions.
std::string EarlierFile(std::size_t count) {
  std::string text = "hdproject 1\ntext 0 kept\n";
  for (std::size_t index = 0; index < count; ++index)
    text += "partition /top/u" + std::to_string(index) + "\n  top 0 kept 0 single 0\n";
  return text;
}

TEST_F(PartitionFileTest, ReadingGrowsWithThePartitionsNotWithTheirPairs) {
  for (const std::size_t count : {std::size_t{1024}, std::size_t{8192}}) {
    const fs::path file = m_dir / ("many" + std::to_string(count) + ".hdp");
    WriteText(file, EarlierFile(count));
    const HdcI::StandInPartitionsFile read = HdcI::StandInReadPartitions(file.string());
    EXPECT_TRUE(read.read);
    EXPECT_EQ(read.partitions, count);
    const auto bound = static_cast<std::size_t>(4.0 * static_cast<double>(count) * std::log2(count));
    EXPECT_LE(read.nameComparisons, bound) << count << " partitions";
  }
  // A name given twice is still refused, wherever the second one stands.
  WriteText(m_dir / "twice.hdp", EarlierFile(100) + "partition /top/u7\n");
  EXPECT_FALSE(HdcI::StandInReadPartitions((m_dir / "twice.hdp").string()).read);
}

// A file cut short at any point, a line end among them, is refused; so is one with more after
// its end. A file of the earlier release, which has no end mark, is read as before.
TEST_F(PartitionFileTest, AFileThatIsNotWholeIsRefused) {
  AutoRelease<HdcI::IHDProject> design(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
  ASSERT_TRUE(design);
  for (const char* name : {"/top", "/top/u1", "/top/u2"}) {
    AutoRelease<HdcI::IPartition> made;
    ASSERT_EQ(design->CreatePartition(name, made.Receive()), kSuccess);
    std::ignore = made->AddListEntry("one");
  }
  std::ignore = design->SetTextSetting(1, "kept");
  const fs::path file = m_dir / "whole.hdp";
  ASSERT_EQ(design->Write(file.c_str(), nullptr), kSuccess);
  const std::string whole = ReadText(file);
  EXPECT_EQ(HdcI::StandInReadPartitions(file.string()).partitions, 3u);

  const fs::path cut = m_dir / "cut.hdp";
  for (std::size_t size = 0; size < whole.size(); ++size) {
    // Every line end, and a few places within lines.
    if (whole[size] != '\n' && size % 7 != 0) continue;
    WriteText(cut, whole.substr(0, size + (whole[size] == '\n' ? 1 : 0)));
    if (size + 1 == whole.size()) continue;  // the whole file
    EXPECT_FALSE(HdcI::StandInReadPartitions(cut.string()).read) << whole.substr(0, size + 1);
  }
  WriteText(cut, whole + "partition /top/u3\n");
  EXPECT_FALSE(HdcI::StandInReadPartitions(cut.string()).read);

  WriteText(cut, EarlierFile(2));
  EXPECT_EQ(HdcI::StandInReadPartitions(cut.string()).partitions, 2u);
}

// What no project file can hold is refused in every value the file keeps, and the file is
// written as it was; a file another program wrote with it is not read in, and the error names
// the file and the line.
TEST_F(PartitionFileTest, WhatNoProjectFileCanHoldIsRefusedAndAFileHoldingItIsNotReadIn) {
  AutoRelease<HdcI::IHDProject> design(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
  ASSERT_TRUE(design);
  const fs::path file = m_dir / "values.hdp";
  ASSERT_EQ(AutoCast<HdcI::IHDProjectSetup>(design.Get())->Bind(file.c_str(), nullptr), kSuccess);
  AutoRelease<HdcI::IPartition> top;
  ASSERT_EQ(design->CreatePartition("/top", top.Receive()), kSuccess);
  ASSERT_EQ(top->AddListEntry("one"), kSuccess);
  ASSERT_EQ(design->Write(file.c_str(), nullptr), kSuccess);
  const std::string written = ReadText(file);
  for (const char* bad : {"/top/u\x01", "/top/u\x1b"}) {
    AutoRelease<HdcI::IPartition> refused;
    EXPECT_EQ(design->CreatePartition(bad, refused.Receive()), kInvalidParameter);
    EXPECT_FALSE(refused);
    EXPECT_EQ(top->SetName(bad), kInvalidParameter);
    EXPECT_EQ(top->SetSourceFile(bad), kInvalidParameter);
    EXPECT_EQ(top->AddListEntry(bad), kInvalidParameter);
    EXPECT_EQ(AutoCast<HdcI::IPartitionText>(top.Get())->SetText(0, bad), kInvalidParameter);
    EXPECT_EQ(design->SetPathSetting(0, bad), kInvalidParameter);
    EXPECT_EQ(design->SetTextSetting(0, bad), kInvalidParameter);
  }
  ASSERT_EQ(design->Write(file.c_str(), nullptr), kSuccess);
  EXPECT_EQ(ReadText(file), written);

  std::string theirs = written;
  const std::size_t entry = theirs.find("  entry one\n");
  ASSERT_NE(entry, std::string::npos);
  WriteText(file, theirs.insert(entry + 9, "\x1b"));
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
  const std::string line = std::to_string(std::count(theirs.begin(), theirs.begin() + entry, '\n') + 1);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(design->Write(file.c_str(), nullptr), kFailure);  // asks, and by default reads it in
  bool named = false;
  for (const auto& record : Port_MsgManData::Captured())
    named = named || (record.severity == Port_MsgManData::Severity::Error &&
                      record.text.find("\"" + file.string() + "\"") != std::string::npos &&
                      record.text.find("line " + line + ", column 10 holds the control character \\x1b") !=
                          std::string::npos);
  EXPECT_TRUE(named);
  EXPECT_EQ(ReadText(file), theirs);
  EXPECT_FALSE(HdcI::StandInReadPartitions(file.string()).read);
}

// A file another program changed is read in; a partition the user then takes away leaves the
// text this project wrote before, and the next write still writes it over the other's file.
TEST_F(PartitionFileTest, AFileReadInIsWrittenOverWhenTheTextIsBackToWhatThisProjectWroteBefore) {
  const fs::path file = m_dir / "shared.hdp";
  const auto design = [] {
    AutoRelease<HdcI::IHDProject> made(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
    return made;
  };
  const auto create = [](HdcI::IHDProject* in, const char* name) {
    AutoRelease<HdcI::IPartition> made;
    return in->CreatePartition(name, made.Receive());
  };
  AutoRelease<HdcI::IHDProject> mine = design();
  ASSERT_TRUE(mine);
  ASSERT_EQ(AutoCast<HdcI::IHDProjectSetup>(mine.Get())->Bind(file.c_str(), nullptr), kSuccess);
  ASSERT_EQ(create(mine.Get(), "/top/u1"), kSuccess);
  ASSERT_EQ(mine->Write(file.c_str(), nullptr), kSuccess);
  const std::string written = ReadText(file);

  // Another program's file, one more partition, a second later so that its stamp differs.
  AutoRelease<HdcI::IHDProject> theirs = design();
  ASSERT_EQ(create(theirs.Get(), "/top/u1"), kSuccess);
  ASSERT_EQ(create(theirs.Get(), "/top/u2"), kSuccess);
  const fs::path other = m_dir / "other.hdp";
  ASSERT_EQ(theirs->Write(other.c_str(), nullptr), kSuccess);
  WriteText(file, ReadText(other));
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));

  ASSERT_EQ(mine->Write(file.c_str(), nullptr), kSuccess);  // asks, and by default reads it in
  AutoRelease<HdcI::IPartition> second;
  ASSERT_EQ(mine->FindPartition("/top/u2", second.Receive()), kSuccess);
  ASSERT_EQ(mine->RemovePartition(second.Get()), kSuccess);
  ASSERT_EQ(mine->Write(file.c_str(), nullptr), kSuccess);
  EXPECT_EQ(ReadText(file), written);
}

}  // namespace
