#include "Port/MsgMan.h"

#include <gtest/gtest.h>

namespace {

using Severity = Port_MsgManData::Severity;

class MsgManTest : public ::testing::Test {
 protected:
  void SetUp() override { Port_MsgManData::ClearCaptured(); }
  void TearDown() override { Port_MsgManData::ClearCaptured(); }
};

TEST_F(MsgManTest, IssuedMessagesAreCapturedWithTheirSource) {
  const auto msg = Port_MsgManData::createObject("ProjectMgmt", "Project.cpp", 42, "1.7");
  msg.issueError("cannot open %s (%d)", "a.prj", 13);
  msg.issueWarning("w%d", 1);
  msg.issueInfo("%s", "info");
  msg.issueStatus("%05.2f%%", 2.5);

  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 4u);
  const Severity order[] = {Severity::Error, Severity::Warning, Severity::Info, Severity::Status};
  const char* texts[] = {"cannot open a.prj (13)", "w1", "info", "02.50%"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].severity, order[i]) << i;
    EXPECT_EQ(records[i].category, "ProjectMgmt");
    EXPECT_EQ(records[i].source, "Project.cpp");
    EXPECT_EQ(records[i].line, 42);
    EXPECT_EQ(records[i].revision, "1.7");
    EXPECT_EQ(records[i].text, texts[i]);
  }
}

TEST_F(MsgManTest, DebugStubIsKeptVerbatim) {
  Port_MsgManData::debugStub("ERROR: 100%s done\n");
  Port_MsgManData::debugStub(nullptr);
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].severity, Severity::Debug);
  EXPECT_EQ(records[0].text, "ERROR: 100%s done\n");
  EXPECT_EQ(records[0].category, "");
  EXPECT_EQ(records[1].text, "");
}

TEST_F(MsgManTest, ClearCapturedEmptiesTheSink) {
  const auto msg = Port_MsgManData::createObject(nullptr, nullptr, 0, nullptr);
  msg.issueInfo("x");
  Port_MsgManData::debugStub("y\n");
  ASSERT_EQ(Port_MsgManData::Captured().size(), 2u);
  EXPECT_EQ(Port_MsgManData::Captured()[0].category, "");
  Port_MsgManData::ClearCaptured();
  EXPECT_TRUE(Port_MsgManData::Captured().empty());
  msg.issueWarning("z");
  ASSERT_EQ(Port_MsgManData::Captured().size(), 1u);
  EXPECT_EQ(Port_MsgManData::Captured()[0].text, "z");
}

}  // namespace
